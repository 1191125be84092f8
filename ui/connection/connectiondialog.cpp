#include "ui/connection/connectiondialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/settings.h"
#include "ui/common/langapply.h"

namespace quorel::ui {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// A remote-message line: the part before the first "|" (the sender) in bold
// italic blue, the rest (subject and size) in the list's own style.
class TRemoteLineDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, p, opt.widget);

        const qsizetype bar = text.indexOf(QLatin1Char('|'));
        // The sender keeps the blanks after "From:" in the line; drawn
        // without them it lines up with the list's edge.
        const QString head = (bar < 0 ? text : text.left(bar)).trimmed() + QLatin1Char(' ');
        const QString detail = bar < 0 ? QString() : text.mid(bar + 1);
        const bool selected = opt.state & QStyle::State_Selected;
        QRect r = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
        p->save();
        QFont bold = opt.font;
        bold.setBold(true);
        bold.setItalic(true);
        p->setFont(bold);
        p->setPen(selected ? opt.palette.color(QPalette::HighlightedText) : QColor(0, 0, 255));
        const QFontMetrics fmBold(bold);
        const QString shownHead = fmBold.elidedText(head, Qt::ElideRight, r.width());
        p->drawText(r, Qt::AlignLeft | Qt::AlignVCenter, shownHead);
        const int used = fmBold.horizontalAdvance(shownHead);
        p->setFont(opt.font);
        p->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        QRect rest = r.adjusted(used, 0, 0, 0);
        if (rest.width() > 0)
            p->drawText(rest, Qt::AlignLeft | Qt::AlignVCenter,
                        QFontMetrics(opt.font).elidedText(detail, Qt::ElideRight, rest.width()));
        p->restore();
    }
};

} // namespace

TConnectionDialog::TConnectionDialog(mail::TMailStore& store, const mail::TMailConfig& config,
                                     TSettings* settings, QWidget* parent)
    : QDialog(parent), logic_(std::make_unique<mail::TConnectionLogic>(store)),
      settings_(settings) {
    setObjectName(QStringLiteral("TConnectionDialog"));
    setWindowTitle(QStringLiteral("Sending and retrieving mail"));

    // Commands: the Transfer and Tools menus, repeated as buttons.
    auto* menus = new QMenuBar(this);
    menus->setObjectName(QStringLiteral("MainMenu"));
    auto command = [this](const char* name, const char* text, void (TConnectionDialog::*slot)()) {
        auto* a = new QAction(QLatin1String(text), this);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        commands_.append(a);
        return a;
    };
    QAction* update = command("UpdateButton", "Update remote server information",
                              &TConnectionDialog::UpdateButtonClick);
    QAction* retrieve = command("Retrievebutton", "Download selected messages",
                                &TConnectionDialog::RetrievebuttonClick);
    QAction* send =
        command("SendButton", "Upload queued mail", &TConnectionDialog::SendButtonClick);
    QAction* quick =
        command("Quicktransfer1", "Quick transfer", &TConnectionDialog::Quicktransfer1Click);
    QAction* del =
        command("DeleteButton", "Delete marked messages", &TConnectionDialog::DeleteButtonClick);
    QAction* markAll = command("MarkAllButton", "Mark all messages on server",
                               &TConnectionDialog::MarkAllButtonClick);
    quick->setShortcut(QKeySequence(Qt::Key_F9));
    QMenu* transfer = menus->addMenu(QStringLiteral("Transfer"));
    transfer->setObjectName(QStringLiteral("Transfer1"));
    transfer->addActions({update, retrieve, send});
    transfer->addSeparator();
    transfer->addAction(quick);
    QMenu* tools = menus->addMenu(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("Tools1"));
    tools->addActions({del, markAll});

    auto* buttons = new QHBoxLayout;
    for (QAction* a : {update, retrieve, send, quick}) {
        auto* b = new QToolButton(this);
        b->setDefaultAction(a);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    stop_->setObjectName(QStringLiteral("CloseBtn"));
    stop_->setAutoDefault(false);
    exit_ = new QPushButton(QStringLiteral("Exit"), this);
    exit_->setObjectName(QStringLiteral("ExitBtn"));
    exit_->setAutoDefault(false);
    connect(stop_, &QPushButton::clicked, this, &TConnectionDialog::CloseBtnClick);
    connect(exit_, &QPushButton::clicked, this, &TConnectionDialog::ExitBtnClick);
    buttons->addWidget(stop_);
    buttons->addWidget(exit_);

    auto* remoteLabel = new QLabel(QStringLiteral("Messages on the server"), this);
    remoteLabel->setObjectName(QStringLiteral("RemoteLabel"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("listbox"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setItemDelegate(new TRemoteLineDelegate(list_));
    list_->setUniformItemSizes(true);
    remoteLabel->setBuddy(list_);

    auto* infoLabel = new QLabel(QStringLiteral("Session Info"), this);
    infoLabel->setObjectName(QStringLiteral("SessionInfoLabel"));
    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("Memo"));
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setMaximumBlockCount(20000);
    infoLabel->setBuddy(memo_);

    editDelete_ = new QCheckBox(QStringLiteral("Delete messages after retrieving"), this);
    editDelete_->setObjectName(QStringLiteral("EditDelete"));
    gauge_ = new QProgressBar(this);
    gauge_->setObjectName(QStringLiteral("Gauge"));
    gauge_->setRange(0, 100);
    gauge_->setVisible(false);

    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(remoteLabel);
    topLayout->addWidget(list_);
    auto* bottom = new QWidget(this);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addWidget(infoLabel);
    bottomLayout->addWidget(memo_);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(top);
    split->addWidget(bottom);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);

    auto* status = new QHBoxLayout;
    status->addWidget(editDelete_);
    status->addWidget(gauge_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menus);
    layout->addLayout(buttons);
    layout->addWidget(split, 1);
    layout->addLayout(status);

    // The logic's hooks.
    mail::TConnectionLogic& l = *logic_;
    l.Config = config;
    l.Text = [this](const std::string& key) { return Msg(Q(key)).toStdString(); };
    l.OnInfoLine = [this](const std::string& line) {
        memo_->appendPlainText(Q(line));
        memo_->verticalScrollBar()->setValue(memo_->verticalScrollBar()->maximum());
    };
    l.OnControlsEnabled = [this](bool enabled) { ControlsEnabled(enabled); };
    l.OnGaugeChanged = [this] { GaugeChanged(); };
    l.OnDeleteSettingChanged = [this](bool checked) {
        if (settings_) settings_->DeleteMessagesAfterRetrieving = checked;
    };
    l.AskSaveGame = [this](const std::string& sender, const std::string& name) {
        return AskSaveGameFile(this, Q(sender), Q(name));
    };
    // The network waits run this window's events (Stop, Exit, repaints).
    l.Pump = [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); };

    // FormCreate.
    l.FormCreate();
    memo_->clear();
    editDelete_->setChecked(l.EditDelete);
    connect(editDelete_, &QCheckBox::toggled, this,
            [this](bool on) { logic_->EditDeleteClick(on); });

    ApplyLanguage(this);
    resize(760, 560);
}

TConnectionDialog::~TConnectionDialog() {
    if (!logsSaved_) logic_->FormDestroy();
}

QString TConnectionDialog::Msg(const QString& key) const {
    const QString t = LangText(QStringLiteral("TConnectionDialog"), key);
    return t.isEmpty() ? key : t;
}

void TConnectionDialog::ControlsEnabled(bool enabled) {
    for (QAction* a : commands_)
        a->setEnabled(enabled && busy_ == 0);
    editDelete_->setEnabled(enabled);
}

void TConnectionDialog::GaugeChanged() {
    gauge_->setValue(logic_->GaugePosition);
    gauge_->setVisible(logic_->GaugeVisible);
}

void TConnectionDialog::RefreshList() {
    const mail::TConnectionLogic& l = *logic_;
    list_->clear();
    for (size_t i = 0; i < l.ListLines.size(); ++i) {
        auto* item = new QListWidgetItem(Q(l.ListLines[i]), list_);
        item->setSelected(i < l.Selected.size() && l.Selected[i]);
        // A message left on the server and already filed: greyed, with a
        // mark, so that it is not taken for new mail.
        if (i < l.Filed.size() && l.Filed[i]) {
            item->setText(QStringLiteral("\u2713 ") + item->text() + QStringLiteral("  (") +
                          Msg(QStringLiteral("@AlreadyFiled")) + QStringLiteral(")"));
            item->setForeground(list_->palette().brush(QPalette::Disabled, QPalette::Text));
        }
    }
}

void TConnectionDialog::Run(const std::function<void()>& command) {
    if (busy_ > 0) return; // the commands are off while one runs
    ++busy_;
    for (QAction* a : commands_)
        a->setEnabled(false);
    // The list's selection is what Download and Delete work on.
    mail::TConnectionLogic& l = *logic_;
    l.Selected.assign(l.ListLines.size(), false);
    for (int i = 0; i < list_->count() && size_t(i) < l.Selected.size(); ++i)
        l.Selected[size_t(i)] = list_->item(i)->isSelected();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    command();
    QApplication::restoreOverrideCursor();
    --busy_;
    RefreshList();
    GaugeChanged();
    ControlsEnabled(!l.msSMTP.Connected() && !l.RemoteConnected());
    if (closeWanted_) {
        closeWanted_ = false;
        close();
    }
}

void TConnectionDialog::UpdateButtonClick() {
    Run([this] { logic_->UpdateButtonClick(); });
}

void TConnectionDialog::RetrievebuttonClick() {
    Run([this] { logic_->RetrievebuttonClick(); });
}

void TConnectionDialog::SendButtonClick() {
    Run([this] { logic_->SendButtonClick(); });
}

void TConnectionDialog::Quicktransfer1Click() {
    Run([this] { logic_->Quicktransfer1Click(); });
}

void TConnectionDialog::DeleteButtonClick() {
    Run([this] { logic_->DeleteButtonClick(); });
}

void TConnectionDialog::MarkAllButtonClick() {
    if (busy_ > 0) return;
    logic_->MArkALl();
    list_->selectAll();
}

void TConnectionDialog::CloseBtnClick() {
    logic_->CloseBtnClick();
    GaugeChanged();
}

void TConnectionDialog::ExitBtnClick() {
    CloseBtnClick();
    close();
}

void TConnectionDialog::reject() {
    // Escape: as Exit.
    close();
}

void TConnectionDialog::closeEvent(QCloseEvent* e) {
    if (busy_ > 0) {
        // A command is still on the stack: cancel it; the window closes as
        // soon as it has run its recovery.
        closeWanted_ = true;
        CloseBtnClick();
        e->ignore();
        return;
    }
    // FormClose / FormDestroy: the protocol logs are appended to their
    // files; MailboxChanged stays set for the viewer, which reloads.
    if (!logsSaved_) {
        logic_->FormDestroy();
        logsSaved_ = true;
    }
    e->accept();
    done(QDialog::Accepted);
}

// ---- the game-file question -----------------------------------------------------

bool AskSaveGameFile(QWidget* parent, const QString& sender, const QString& fileName) {
    QDialog d(parent);
    d.setObjectName(QStringLiteral("TSaveAttachmentDialog"));
    d.setWindowTitle(QStringLiteral("Choose option"));
    auto* question =
        new QLabel(QStringLiteral("A game file has arrived. Save it in the games folder?"), &d);
    question->setObjectName(QStringLiteral("LabelQuestion"));
    question->setWordWrap(true);
    auto* senderCaption = new QLabel(QStringLiteral("From:"), &d);
    senderCaption->setObjectName(QStringLiteral("LabelSenderCaption"));
    auto* senderValue = new QLabel(&d);
    senderValue->setObjectName(QStringLiteral("LabelSender"));
    senderValue->setTextFormat(Qt::PlainText);
    auto* fileCaption = new QLabel(QStringLiteral("Game file:"), &d);
    fileCaption->setObjectName(QStringLiteral("LabelFileNameCaption"));
    auto* fileValue = new QLabel(&d);
    fileValue->setObjectName(QStringLiteral("LabelFileName"));
    fileValue->setTextFormat(Qt::PlainText);
    QFont strong = fileValue->font();
    strong.setBold(true);
    senderValue->setFont(strong);
    fileValue->setFont(strong);
    auto* yes = new QPushButton(QStringLiteral("Yes, save it"), &d);
    yes->setObjectName(QStringLiteral("YesButton"));
    yes->setDefault(true);
    auto* no = new QPushButton(QStringLiteral("No, save it to attachments directory"), &d);
    no->setObjectName(QStringLiteral("NoButton"));
    QObject::connect(yes, &QPushButton::clicked, &d, &QDialog::accept);
    QObject::connect(no, &QPushButton::clicked, &d, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(senderCaption, senderValue);
    form->addRow(fileCaption, fileValue);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(yes);
    row->addWidget(no);
    auto* layout = new QVBoxLayout(&d);
    layout->addWidget(question);
    layout->addLayout(form);
    layout->addLayout(row);
    ApplyLanguage(&d);
    // The labels the table names are captions; the values are set after it.
    senderValue->setText(sender);
    fileValue->setText(fileName);
    return d.exec() == QDialog::Accepted;
}

} // namespace quorel::ui
