#include "ui/editor/editor.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

#include "chess/gamerecord.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"
#include "ui/common/widgets.h"
#include "ui/editor/editor_util.h"

namespace quorel::ui {

namespace {

QLabel* Label(QWidget* parent, const char* name, const char* text) {
    return NamedLabel(parent, name, text);
}

QPushButton* Button(QWidget* parent, const char* name, const char* text) {
    return NamedButton(parent, name, text);
}

QToolButton* Tool(QWidget* parent, const char* name, const char* text) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(QLatin1String(text));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    return b;
}

QStringList Items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// Creation

TEditorDialog::TEditorDialog(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TEditorDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    BuildWidgets();
    ApplyLanguage(this);
    // FormCreate: no edited file, no game file; the word-wrap flag and the
    // font from the settings.
    editedFile_.clear();
    gameFile_.clear();
    const TSettings* s = RunSettings();
    editWordWrap_->setChecked(s ? s->EditorWordWrap : true);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (s && !s->EditorFont.empty()) font.setFamily(QString::fromStdString(s->EditorFont));
    if (s && s->EditorFontSize > 0) font.setPointSize(s->EditorFontSize);
    memo_->setFont(font);
    EditWordWrapClick();
    RepaintButtons();
    SetCaption();
    resize(720, 600);
}

TEditorDialog* TEditorDialog::Open(QWidget* origin) {
    auto* editor = new TEditorDialog;
    // The frame is the nearest window up the chain that holds an MDI area
    // (a game window sits inside it; a dialog of the frame has it as parent).
    QMdiArea* mdi = nullptr;
    for (QWidget* w = origin ? origin->window() : nullptr; w && !mdi;
         w = w->parentWidget() ? w->parentWidget()->window() : nullptr)
        mdi = w->findChild<QMdiArea*>();
    if (!mdi) {
        editor->show();
        return editor;
    }
    QMdiSubWindow* sub = mdi->addSubWindow(editor);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(editor->style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    sub->setWindowTitle(editor->windowTitle());
    connect(editor, &TEditorDialog::captionChanged, sub, &QWidget::setWindowTitle);
    sub->resize(editor->size());
    sub->show();
    mdi->setActiveSubWindow(sub);
    return editor;
}

void TEditorDialog::BuildWidgets() {
    // Command row: Send, Tools, Cut, Copy, Paste ... Exit.
    queueButton_ = Button(this, "QueueBtn", "Send");
    queueButton_->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    toolsButton_ = Button(this, "ToolsButton", "Tools");
    cutButton_ = Tool(this, "CutButton", "Cut");
    copyButton_ = Tool(this, "CopyButton", "Copy");
    pasteButton_ = Tool(this, "PasteButton", "Paste");
    exitButton_ = Button(this, "ExitButton", "Exit");
    exitButton_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    connect(queueButton_, &QPushButton::clicked, this, [this] { QueueBtnClick(); });
    connect(exitButton_, &QPushButton::clicked, this, &TEditorDialog::ExitClick);
    auto* commands = new QHBoxLayout;
    commands->setSpacing(4);
    commands->addWidget(queueButton_);
    commands->addWidget(toolsButton_);
    commands->addSpacing(12);
    commands->addWidget(cutButton_);
    commands->addWidget(copyButton_);
    commands->addWidget(pasteButton_);
    commands->addStretch(1);
    commands->addWidget(exitButton_);

    // Header fields.
    editRecipient_ = new QLineEdit(this);
    editRecipient_->setObjectName(QStringLiteral("EditRecipient"));
    editAddress_ = new QLineEdit(this);
    editAddress_->setObjectName(QStringLiteral("EditAddress"));
    editSubject_ = new QLineEdit(this);
    editSubject_->setObjectName(QStringLiteral("EditSubject"));
    editSubject_->setMaxLength(255);
    editCarbonCopy_ = new QComboBox(this);
    editCarbonCopy_->setObjectName(QStringLiteral("EditCarbonCopy"));
    editCarbonCopy_->setEditable(true);
    editCarbonCopy_->setInsertPolicy(QComboBox::InsertAtBottom);
    editAttachments_ = new QComboBox(this);
    editAttachments_->setObjectName(QStringLiteral("EditAttachments"));
    editAttachments_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(editRecipient_, &QLineEdit::textChanged, this, &TEditorDialog::SetCaption);
    connect(editAddress_, &QLineEdit::textChanged, this, &TEditorDialog::SetCaption);

    auto* addressButton = Button(this, "addressbutton", "?");
    auto* findCc = Button(this, "FindCarbonCopyButton", "?");
    auto* clearCc = Button(this, "ClearCarbonCopyButton", "Clear");
    auto* findAtt = Button(this, "FindAttachmentsbutton", "?");
    auto* clearAtt = Button(this, "ClearAttachmentsButton", "Clear");
    auto* gameButton = Button(this, "Button1", "< Game");
    for (QPushButton* b : {addressButton, findCc, findAtt})
        b->setFixedWidth(32);
    connect(addressButton, &QPushButton::clicked, this, &TEditorDialog::addressbuttonClick);
    connect(findCc, &QPushButton::clicked, this, &TEditorDialog::FindCarbonCopyButtonClick);
    connect(clearCc, &QPushButton::clicked, this, &TEditorDialog::ClearCarbonCopyButtonClick);
    connect(findAtt, &QPushButton::clicked, this, &TEditorDialog::FindAttachmentsbuttonClick);
    connect(clearAtt, &QPushButton::clicked, this, &TEditorDialog::ClearAttachmentsButtonClick);
    connect(gameButton, &QPushButton::clicked, this, &TEditorDialog::Button1Click);
    // The address book buttons need the address book.
    addressButton->setVisible(bool(DialogHooks().pickAddress));
    findCc->setVisible(bool(DialogHooks().pickAddress));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->addWidget(Label(this, "LabelRecipient", "Mail to:"), 0, 0);
    grid->addWidget(editRecipient_, 0, 1);
    grid->addWidget(Label(this, "LabelAddress", "Address:"), 0, 2);
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(editAddress_, 1);
    addressRow->addWidget(addressButton);
    grid->addLayout(addressRow, 0, 3);
    grid->addWidget(Label(this, "LabelSubject", "Subject:"), 1, 0);
    grid->addWidget(editSubject_, 1, 1, 1, 3);
    grid->addWidget(Label(this, "LabelCarbonCopy", "Carbon copy:"), 2, 0);
    auto* ccRow = new QHBoxLayout;
    ccRow->addWidget(editCarbonCopy_, 1);
    ccRow->addWidget(findCc);
    ccRow->addWidget(clearCc);
    grid->addLayout(ccRow, 2, 1, 1, 3);
    grid->addWidget(Label(this, "LabelAttachments", "Attachments:"), 3, 0);
    auto* attRow = new QHBoxLayout;
    attRow->addWidget(editAttachments_, 1);
    attRow->addWidget(findAtt);
    attRow->addWidget(clearAtt);
    attRow->addWidget(gameButton);
    grid->addLayout(attRow, 3, 1, 1, 3);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(3, 3);

    editSignature_ = new QCheckBox(QStringLiteral("Add signature"), this);
    editSignature_->setObjectName(QStringLiteral("EditSignature"));
    editSignature_->setChecked(true);
    editSaveCopy_ = new QCheckBox(QStringLiteral("Save a copy"), this);
    editSaveCopy_->setObjectName(QStringLiteral("EditSaveCopy"));
    editSaveCopy_->setChecked(true);
    editWordWrap_ = new QCheckBox(QStringLiteral("Word wrap"), this);
    editWordWrap_->setObjectName(QStringLiteral("EditWordWrap"));
    connect(editWordWrap_, &QCheckBox::clicked, this, &TEditorDialog::EditWordWrapClick);
    auto* flags = new QHBoxLayout;
    flags->addWidget(editSignature_);
    flags->addWidget(editSaveCopy_);
    flags->addWidget(editWordWrap_);
    flags->addStretch(1);

    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("Memo1"));
    memo_->setTabChangesFocus(false);
    connect(cutButton_, &QToolButton::clicked, memo_, &QPlainTextEdit::cut);
    connect(copyButton_, &QToolButton::clicked, memo_, &QPlainTextEdit::copy);
    connect(pasteButton_, &QToolButton::clicked, memo_, &QPlainTextEdit::paste);

    BuildToolsMenu();

    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(6, 6, 6, 6);
    lay->addLayout(commands);
    lay->addLayout(grid);
    lay->addLayout(flags);
    lay->addWidget(memo_, 1);
}

void TEditorDialog::BuildToolsMenu() {
    toolsMenu_ = new QMenu(this);
    toolsMenu_->setObjectName(QStringLiteral("ToolsMenu"));
    auto add = [this](const char* name, const char* text, auto slot) {
        auto* a = new QAction(QLatin1String(text), this);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        toolsMenu_->addAction(a);
        return a;
    };
    mergeAction_ =
        add("MergeButton", "Merge games in this message...", &TEditorDialog::MergeButtonClick);
    mergeAction_->setVisible(bool(DialogHooks().selectGames));
    add("PrintButton", "Print this message", &TEditorDialog::PrintButtonClick);
    add("SaveToDiskButton", "Save message to disk", &TEditorDialog::SaveToDiskButtonClick);
    add("LoadFileBtn", "Insert text from disk file", &TEditorDialog::LoadFileBtnClick);
    add("FontButton", "Set up the fonts", &TEditorDialog::FontButtonClick);
    toolsMenu_->addSeparator();
    pegasusAction_ = add("PegasusButton", "Send this message trough PEGASUS MAIL (tm) ",
                         [this] { PegasusButtonClick(); });
    desktopAction_ = add("DesktopMailButton", "Send through the desktop mail program",
                         [this] { DesktopMailClick(); });
    toolsMenu_->addSeparator();
    auto* cut = add("CutItem", "Cut", [this] { memo_->cut(); });
    cut->setShortcut(QKeySequence::Cut);
    auto* copy = add("CopyItem", "Copy", [this] { memo_->copy(); });
    copy->setShortcut(QKeySequence::Copy);
    auto* paste = add("PasteItem", "Paste", [this] { memo_->paste(); });
    paste->setShortcut(QKeySequence::Paste);
    toolsMenu_->addSeparator();
    add("ExitItem", "Exit", &TEditorDialog::ExitClick);
    toolsButton_->setMenu(toolsMenu_);
    connect(toolsMenu_, &QMenu::aboutToShow, this, &TEditorDialog::UpdateToolsMenu);
    UpdateToolsMenu();
}

void TEditorDialog::UpdateToolsMenu() {
    pegasusAction_->setVisible(!PegasusPath().isEmpty());
    desktopAction_->setVisible(!DesktopMailProgram().isEmpty());
}

void TEditorDialog::RepaintButtons() {
    const bool colour = AppContext().colouredButtons;
    cutButton_->setIcon(ButtonIcon(style()->standardIcon(QStyle::SP_DialogDiscardButton), colour));
    copyButton_->setIcon(
        ButtonIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView), colour));
    pasteButton_->setIcon(ButtonIcon(style()->standardIcon(QStyle::SP_DialogApplyButton), colour));
    queueButton_->setIcon(ButtonIcon(style()->standardIcon(QStyle::SP_ArrowForward), colour));
    exitButton_->setIcon(ButtonIcon(style()->standardIcon(QStyle::SP_DialogCloseButton), colour));
}

void TEditorDialog::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    // FormActivate: the body has the focus; the hand-off entries follow the
    // settings as they are now.
    UpdateToolsMenu();
    memo_->setFocus();
}

QString TEditorDialog::Msg(const QString& key) const {
    return LangText(QStringLiteral("TEditorDialog"), key);
}

QString TEditorDialog::ProgramFolder() const {
    return AppContext().programFolder;
}

// ---------------------------------------------------------------------------
// Fields

compose::TMessageDraft TEditorDialog::Draft() const {
    compose::TMessageDraft d;
    d.Recipient = editRecipient_->text().toStdString();
    d.Address = editAddress_->text().trimmed().toStdString();
    d.Subject = editSubject_->text().toStdString();
    d.Body = BodyLines(memo_->toPlainText());
    QStringList cc = Items(editCarbonCopy_);
    // An address typed but not yet entered with Return counts as well.
    const QString typed = editCarbonCopy_->currentText().trimmed();
    if (!typed.isEmpty() && !cc.contains(typed)) cc << typed;
    for (const QString& c : cc)
        d.CarbonCopy.push_back(c.toStdString());
    for (const QString& a : Items(editAttachments_))
        d.Attachments.push_back(a.toStdString());
    d.Signature = editSignature_->isChecked();
    d.SaveCopy = editSaveCopy_->isChecked();
    d.EditedFile = editedFile_.toStdString();
    d.GameFile = gameFile_.toStdString();
    return d;
}

void TEditorDialog::SetDraft(const compose::TMessageDraft& d) {
    editRecipient_->setText(QString::fromStdString(d.Recipient));
    editAddress_->setText(QString::fromStdString(d.Address));
    editSubject_->setText(QString::fromStdString(d.Subject));
    editCarbonCopy_->clear();
    for (const std::string& c : d.CarbonCopy)
        editCarbonCopy_->addItem(QString::fromStdString(c));
    editAttachments_->clear();
    for (const std::string& a : d.Attachments)
        editAttachments_->addItem(QString::fromStdString(a));
    editSignature_->setChecked(d.Signature);
    editSaveCopy_->setChecked(d.SaveCopy);
    editedFile_ = QString::fromStdString(d.EditedFile.string());
    gameFile_ = QString::fromStdString(d.GameFile.string());
    const bool modified = BodyModified();
    memo_->setPlainText(BodyText(d.Body));
    SetBodyModified(modified);
    SetCaption();
}

bool TEditorDialog::BodyModified() const {
    return memo_->document()->isModified();
}

void TEditorDialog::SetBodyModified(bool on) {
    memo_->document()->setModified(on);
}

void TEditorDialog::AppendBodyLines(const std::vector<std::string>& lines) {
    compose::TMessageDraft d = Draft();
    d.Body.insert(d.Body.end(), lines.begin(), lines.end());
    const bool modified = BodyModified();
    memo_->setPlainText(BodyText(d.Body));
    SetBodyModified(modified);
    memo_->moveCursor(QTextCursor::End);
}

void TEditorDialog::SetCaption() {
    const QString caption = Msg(QStringLiteral("@MessageTo")) + QStringLiteral(" : ") +
                            editRecipient_->text() + QStringLiteral(" <") + editAddress_->text() +
                            QStringLiteral(">");
    setWindowTitle(caption);
    emit captionChanged(caption);
}

void TEditorDialog::WriteGame(const chess::TGameRecord& rec) {
    compose::TMessageDraft d = Draft();
    compose::TBlockOptions opt;
    opt.OwnAddress = AppContext().emailAddress.toStdString();
    compose::WriteGame(d, rec, opt);
    SetDraft(d);
    // The player sees the message from its top and can write a greeting there.
    memo_->moveCursor(QTextCursor::Start);
}

void TEditorDialog::SetData() {
    compose::TMessageDraft d = Draft();
    if (!msMessage.Recipients.Empty()) {
        d.Recipient = msMessage.Recipients[0].Name;
        d.Address = msMessage.Recipients[0].Address;
    }
    d.Subject = msMessage.Subject;
    d.Body = msMessage.Body;
    d.CarbonCopy.clear();
    for (const mail::TmsMailAddress& a : msMessage.CC)
        d.CarbonCopy.push_back(a.Address);
    SetDraft(d);
    SetBodyModified(false);
}

// ---------------------------------------------------------------------------
// Small commands

void TEditorDialog::EditWordWrapClick() {
    const bool wrap = editWordWrap_->isChecked();
    if (TSettings* s = RunSettings()) s->EditorWordWrap = wrap;
    memo_->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    memo_->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void TEditorDialog::FontButtonClick() {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, memo_->font(), this);
    if (!ok) return;
    memo_->setFont(font);
    if (TSettings* s = RunSettings()) {
        s->EditorFont = font.family().toStdString();
        s->EditorFontSize = font.pointSize();
    }
}

void TEditorDialog::addressbuttonClick() {
    if (!DialogHooks().pickAddress) return;
    TAddressPick pick;
    if (!DialogHooks().pickAddress(this, pick)) return;
    editRecipient_->setText(pick.name);
    editAddress_->setText(pick.email);
}

void TEditorDialog::FindCarbonCopyButtonClick() {
    if (!DialogHooks().pickAddress) return;
    TAddressPick pick;
    if (!DialogHooks().pickAddress(this, pick) || pick.email.trimmed().isEmpty()) return;
    editCarbonCopy_->addItem(pick.email.trimmed());
    editCarbonCopy_->setCurrentIndex(editCarbonCopy_->count() - 1);
}

void TEditorDialog::ClearCarbonCopyButtonClick() {
    editCarbonCopy_->clear();
    editCarbonCopy_->clearEditText();
}

void TEditorDialog::FindAttachmentsbuttonClick() {
    const QString file =
        QFileDialog::getOpenFileName(this, Msg(QStringLiteral("@AttachTitle")), ProgramFolder(),
                                     Msg(QStringLiteral("@AllFilter")));
    if (file.isEmpty()) return;
    editAttachments_->addItem(QFileInfo(file).absoluteFilePath());
    editAttachments_->setCurrentIndex(editAttachments_->count() - 1);
}

void TEditorDialog::ClearAttachmentsButtonClick() {
    editAttachments_->clear();
}

void TEditorDialog::Button1Click() {
    if (gameFile_.isEmpty() || Items(editAttachments_).contains(gameFile_)) return;
    editAttachments_->addItem(gameFile_);
    editAttachments_->setCurrentIndex(editAttachments_->count() - 1);
}

void TEditorDialog::LoadFileBtnClick() {
    const QString file =
        QFileDialog::getOpenFileName(this, Msg(QStringLiteral("@InsertTitle")), ProgramFolder(),
                                     Msg(QStringLiteral("@AllFilter")));
    if (file.isEmpty()) return;
    std::string bytes;
    if (!ReadWholeFile(file.toStdString(), bytes)) {
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@ErrorReadingFile")) + QStringLiteral(" ") + file);
        return;
    }
    AppendBodyLines(BodyLines(TextFileToQString(bytes)));
    SetBodyModified(true);
}

void TEditorDialog::MergeButtonClick() {
    if (!DialogHooks().selectGames) return;
    const QStringList files = DialogHooks().selectGames(this);
    for (const QString& f : files) {
        const QString name = QFileInfo(f).fileName();
        chess::TGameRecord rec;
        const chess::TLoadResult r =
            chess::LoadFromFile(AppContext().gamesFolder.toStdString(), name.toStdString(), rec);
        if (!r.Ok) continue;
        gameFile_ = QDir(AppContext().gamesFolder).filePath(name);
        AppendBodyLines({""});
        WriteGame(rec);
    }
}

void TEditorDialog::DisableControls() {
    queueButton_->setEnabled(false);
    toolsButton_->setEnabled(false);
}

void TEditorDialog::EnableControls() {
    queueButton_->setEnabled(true);
    toolsButton_->setEnabled(true);
}

void TEditorDialog::ExitClick() {
    CloseWindow();
}

void TEditorDialog::CloseWindow() {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void TEditorDialog::closeEvent(QCloseEvent* e) {
    // FormCloseQuery: edits are only given up when the player says so.
    if (BodyModified()) {
        const QString text = Msg(QStringLiteral("@WantDiscard")) + QStringLiteral(" ") +
                             editRecipient_->text() + QStringLiteral(" ?");
        if (Ask(this, QStringLiteral("Quorel"), text, QMessageBox::Ok | QMessageBox::Cancel,
                QMessageBox::Cancel) != QMessageBox::Ok) {
            e->ignore();
            return;
        }
    }
    e->accept();
}

} // namespace quorel::ui
