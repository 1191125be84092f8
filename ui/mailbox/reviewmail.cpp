#include "ui/mailbox/reviewmail.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragMoveEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "compose/gameblock.h"
#include "platform/text.h"
#include "shell/settings.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"
#include "ui/editor/editor.h"
#include "ui/common/widgets.h"

namespace quorel::ui {

using namespace quorel::mail;

namespace {

const char* kMailMime = "application/x-quorel-mail-rows";
const char* kClass = "TReviewMailDialog";

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QPointer<TReviewMailDialog> g_viewer;

} // namespace

// ---- the message list ----

void TMailListModel::SetEntries(std::vector<TListEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

void TMailListModel::SetHeads(const QStringList& heads) {
    heads_ = heads;
    emit headerDataChanged(Qt::Horizontal, 0, 2);
}

void TMailListModel::Sort(const TListSort& sort) {
    beginResetModel();
    SortMessageList(entries_, sort);
    endResetModel();
}

int TMailListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

int TMailListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant TMailListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || size_t(index.row()) >= entries_.size()) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    // The line's tab-separated parts, without their padding.
    const std::string& line = entries_[size_t(index.row())].Line;
    size_t from = 0;
    for (int c = 0; c < index.column(); ++c) {
        from = line.find('\t', from);
        if (from == std::string::npos) return QString();
        ++from;
    }
    size_t to = line.find('\t', from);
    if (to == std::string::npos) to = line.size();
    while (to > from && line[to - 1] == ' ')
        --to;
    return Q(std::string_view(line).substr(from, to - from));
}

QVariant TMailListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section < heads_.size())
        return heads_[section];
    return QAbstractTableModel::headerData(section, o, role);
}

Qt::ItemFlags TMailListModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled;
}

QStringList TMailListModel::mimeTypes() const {
    return {QLatin1String(kMailMime)};
}

QMimeData* TMailListModel::mimeData(const QModelIndexList& indexes) const {
    auto* data = new QMimeData;
    QByteArray rows;
    for (const QModelIndex& i : indexes)
        if (i.column() == 0) rows += QByteArray::number(i.row()) + ' ';
    data->setData(QLatin1String(kMailMime), rows);
    return data;
}

// ---- the folder pane ----

TFolderPane::TFolderPane(TReviewMailDialog* owner, QWidget* parent)
    : QListWidget(parent), owner_(owner) {
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void TFolderPane::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasFormat(QLatin1String(kMailMime)))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TFolderPane::dragMoveEvent(QDragMoveEvent* e) {
    const int row = indexAt(e->position().toPoint()).row();
    if (e->mimeData()->hasFormat(QLatin1String(kMailMime)) && owner_->OutlineDragOver(row))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TFolderPane::dropEvent(QDropEvent* e) {
    const int row = indexAt(e->position().toPoint()).row();
    if (!e->mimeData()->hasFormat(QLatin1String(kMailMime)) || !owner_->OutlineDragOver(row)) {
        e->ignore();
        return;
    }
    // The viewer moves the records itself; the list is rebuilt, so the
    // drag's source must not remove rows.
    e->setDropAction(Qt::CopyAction);
    e->accept();
    owner_->OutlineDragDrop(row);
}

// ---- the headers window ----

THeadersDialog::THeadersDialog(const QStringList& lines, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("THeadersDialog"));
    setWindowTitle(QStringLiteral("Headers"));
    auto* layout = new QVBoxLayout(this);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("HeadersMemo"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setPlainText(lines.join(QLatin1Char('\n')));
    layout->addWidget(text_);
    auto* box = new QDialogButtonBox(this);
    QPushButton* ok = box->addButton(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setText(QStringLiteral("OK"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(box);
    resize(640, 420);
    ApplyLanguage(this);
}

// ---- the viewer ----

TReviewMailDialog::TReviewMailDialog(TMailStore& store, TSettings* settings, QWidget* parent)
    : QDialog(parent, Qt::Window), store_(store), settings_(settings) {
    setObjectName(QLatin1String(kClass));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("Mailbox"));
    BuildWindow();
    ApplyLanguage(this);
    model_->SetHeads({Msg(QStringLiteral("@Sender")), Msg(QStringLiteral("@Subject")),
                      Msg(QStringLiteral("@Date"))});
    g_viewer = this;
}

TReviewMailDialog::~TReviewMailDialog() {
    if (g_viewer == this) g_viewer = nullptr;
}

TReviewMailDialog* TReviewMailDialog::Instance() {
    return g_viewer.data();
}


TReviewMailDialog* TReviewMailDialog::ShowViewer(TMailStore& store, TSettings* settings,
                                                 QWidget* parent) {
    if (TReviewMailDialog* open = Instance()) {
        if (auto* sub = open->SubWindow()) {
            sub->showNormal();
            sub->mdiArea()->setActiveSubWindow(sub);
        } else {
            open->showNormal();
            open->raise();
            open->activateWindow();
        }
        return open;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto* viewer = new TReviewMailDialog(store, settings);
    // A child window of the frame, beside the game windows and the message
    // editors it opens; a window of its own when there is no frame.
    QMdiArea* mdi = nullptr;
    for (QWidget* w = parent ? parent->window() : nullptr; w && !mdi;
         w = w->parentWidget() ? w->parentWidget()->window() : nullptr)
        mdi = w->findChild<QMdiArea*>();
    if (mdi) {
        QMdiSubWindow* sub = mdi->addSubWindow(viewer);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowIcon(viewer->style()->standardIcon(QStyle::SP_DirHomeIcon));
        sub->resize(viewer->size());
        // Coming back to the viewer shows what was queued or filed meanwhile.
        connect(mdi, &QMdiArea::subWindowActivated, viewer, [viewer](QMdiSubWindow* active) {
            if (active && active == viewer->SubWindow()) viewer->MailboxChangedRefresh();
        });
        sub->show();
        mdi->setActiveSubWindow(sub);
    } else {
        viewer->setParent(parent, Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose, true);
        viewer->show();
    }
    QApplication::restoreOverrideCursor();
    viewer->Start();
    if (!mdi) {
        viewer->raise();
        viewer->activateWindow();
    }
    return viewer;
}

QMdiSubWindow* TReviewMailDialog::SubWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void TReviewMailDialog::reject() {
    // Escape closes the viewer with its child window; while that window
    // closes, the dialog's own close ends in here and just hides it.
    if (SubWindow() && !closing_)
        ExitBtnClick();
    else
        QDialog::reject();
}

QString TReviewMailDialog::Msg(const QString& key) const {
    return LangText(QLatin1String(kClass), key);
}

void TReviewMailDialog::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    menu_ = new QMenuBar(this);
    menu_->setObjectName(QStringLiteral("MainMenu"));
    layout->setMenuBar(menu_);
    buttons_ = new QToolBar(this);
    buttons_->setObjectName(QStringLiteral("ButtonBar"));
    buttons_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout->addWidget(buttons_);

    auto action = [this](const char* name, const char* text, auto slot,
                         const QKeySequence& key = {}) {
        auto* a = new QAction(QLatin1String(text), this);
        a->setObjectName(QLatin1String(name));
        if (!key.isEmpty()) a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        return a;
    };
    QMenu* message = menu_->addMenu(QStringLiteral("&Message"));
    message->setObjectName(QStringLiteral("MessageMenu"));
    QAction* open = action("OpenButton", "&Reply / Change", &TReviewMailDialog::OpenButtonClick,
                           QKeySequence(Qt::CTRL | Qt::Key_R));
    QAction* forward = action("Forward1", "&Forward", &TReviewMailDialog::Forward1Click,
                              QKeySequence(Qt::CTRL | Qt::Key_F));
    QAction* del = action("DeleteButton", "&Delete", &TReviewMailDialog::DeleteButtonClick,
                          QKeySequence(QKeySequence::Delete));
    QAction* delAll =
        action("Deleteallmessages1", "Delete &all messages in folder",
               &TReviewMailDialog::Deleteallmessages1Click);
    QAction* markAll = action("MarkAllButton", "&Select all messages in folder",
                              &TReviewMailDialog::MarkAllButtonClick,
                              QKeySequence(QKeySequence::SelectAll));
    QAction* print = action("PrintButton", "&Print", &TReviewMailDialog::PrintButtonClick,
                            QKeySequence(QKeySequence::Print));
    QAction* save = action("SaveButton", "Sa&ve to text file...",
                           &TReviewMailDialog::SaveButtonClick, QKeySequence(QKeySequence::Save));
    QAction* headers =
        action("HeadersBtn", "View &Headers", &TReviewMailDialog::HeadersBtnClick);
    QAction* copy = action("CopyToClipboardButton", "&Copy to clipboard",
                           &TReviewMailDialog::CopyToClipboardButtonClick);
    QAction* exit = action("ExitBtn", "E&xit", &TReviewMailDialog::ExitBtnClick);
    message->addActions({open, forward});
    message->addSeparator();
    message->addActions({del, delAll, markAll});
    message->addSeparator();
    message->addActions({print, save, headers, copy});
    message->addSeparator();
    message->addAction(exit);

    QMenu* folder = menu_->addMenu(QStringLiteral("F&older"));
    folder->setObjectName(QStringLiteral("FolderMenu"));
    folder->addAction(action("NewFolder1", "&New Folder...", &TReviewMailDialog::AddFolder));
    folder->addAction(
        action("Renamefolder1", "&Rename folder...", &TReviewMailDialog::Renamefolder1Click));
    folder->addAction(action("DeleteFolder1", "&Delete Folder", &TReviewMailDialog::DeleteFolder));

    QMenu* tools = menu_->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("ToolsMenu"));
    tools->addAction(
        action("Reindex1", "Reindex the &message base", &TReviewMailDialog::RebuildIndex));
    tools->addAction(action("ChangeViewerFont1", "Set up the &fonts...",
                            &TReviewMailDialog::ChangeViewerFont1Click));

    buttons_->addActions({open, forward, del, print, save, headers});
    buttons_->addSeparator();
    buttons_->addAction(exit);

    vsplit_ = new QSplitter(Qt::Horizontal, this);
    vsplit_->setObjectName(QStringLiteral("VerticalBar"));
    vsplit_->setChildrenCollapsible(false);
    outline_ = new TFolderPane(this, vsplit_);
    outline_->setObjectName(QStringLiteral("Outline"));
    outline_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(outline_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { OutlineMouseUp(outline_->row(item)); });
    hsplit_ = new QSplitter(Qt::Vertical, vsplit_);
    hsplit_->setObjectName(QStringLiteral("HorizontalBar"));
    hsplit_->setChildrenCollapsible(false);
    list_ = new QTableView(hsplit_);
    list_->setObjectName(QStringLiteral("ListBox"));
    model_ = new TMailListModel(list_);
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setShowGrid(false);
    list_->setWordWrap(false);
    list_->setAlternatingRowColors(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setDragEnabled(true);
    list_->setDragDropMode(QAbstractItemView::DragOnly);
    list_->setDefaultDropAction(Qt::MoveAction);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
    QHeaderView* head = list_->horizontalHeader();
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->setStretchLastSection(false);
    head->setSectionsClickable(true);
    head->setHighlightSections(false);
    head->setDefaultSectionSize(200);
    head->resizeSection(0, 130);
    head->resizeSection(1, 200);
    head->resizeSection(2, 200);
    // The subject takes the width the other two heads leave free.
    head->setSectionResizeMode(1, QHeaderView::Stretch);
    head->setMinimumSectionSize(40);
    connect(head, &QHeaderView::sectionClicked, this, &TReviewMailDialog::headerSectionClick);
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) ListBoxClick(current.row());
            });
    memo_ = new QPlainTextEdit(hsplit_);
    memo_->setObjectName(QStringLiteral("Memo"));
    memo_->setReadOnly(true);
    layout->addWidget(vsplit_, 1);

    // Body font, word wrap and the splitter positions from the settings.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    int vx = 130, hy = 130;
    bool wrap = true;
    if (settings_) {
        if (!settings_->MailViewerFont.empty()) font.setFamily(Q(settings_->MailViewerFont));
        if (settings_->MailViewerFontSize > 0) font.setPointSize(settings_->MailViewerFontSize);
        if (settings_->MailViewerVerticalBarX > 0) vx = settings_->MailViewerVerticalBarX;
        if (settings_->MailViewerHorizontalBarY > 0) hy = settings_->MailViewerHorizontalBarY;
        wrap = settings_->ViewerWordWrap;
    }
    memo_->setFont(font);
    memo_->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    resize(900, 620);
    barX_ = vx;
    barY_ = hy;
}

void TReviewMailDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (barX_ <= 0) return;
    // The splitters take their kept positions once the window has its size.
    layout()->activate();
    const auto place = [](QSplitter* s, int first) {
        const QList<int> sizes = s->sizes();
        int total = 0;
        for (int v : sizes)
            total += v;
        if (total > first) s->setSizes({first, total - first});
    };
    place(vsplit_, barX_);
    place(hsplit_, barY_);
    barX_ = barY_ = 0;

}

std::array<std::string, 4> TReviewMailDialog::FolderNames() const {
    return {Msg(QStringLiteral("@NewMail")).toStdString(),
            Msg(QStringLiteral("@QueuedMail")).toStdString(),
            Msg(QStringLiteral("@SentMail")).toStdString(),
            Msg(QStringLiteral("@TrashMail")).toStdString()};
}

int TReviewMailDialog::PaneRowOf(int32_t folder) const {
    for (size_t i = 0; i < folders_.size(); ++i)
        if (folders_[i].Number == folder) return int(i);
    return -1;
}

void TReviewMailDialog::Start() {
    // The index is rebuilt when files and records disagree or a record has
    // no folder (each check once, in this order).
    records_ = store_.AllRecords();
    bool rebuild = store_.MailFileCount() != long(records_.size());
    if (!rebuild)
        rebuild = std::any_of(records_.begin(), records_.end(), [](const auto& e) {
            return e.second.Folder == 0;
        });
    currentFolder_ = kFolderNew;
    if (rebuild) {
        Tell(this, QMessageBox::Critical, windowTitle(),
             Msg(QStringLiteral("@DatabaseIndexError")));
        RebuildIndex(); // fills the panes
    } else {
        RefreshFolders(false);
        RefreshList(0);
    }
    const long count = store_.IndexCount();
    if (count > 2000)
        Tell(this, QMessageBox::Warning, windowTitle(),
             Msg(QStringLiteral("@LargeBase")) + QStringLiteral(" [") + QString::number(count) +
                 QLatin1Char(' ') + Msg(QStringLiteral("@Emails")) + QStringLiteral("], ") +
                 Msg(QStringLiteral("@Purge")));
    MailboxChanged = false;
}

void TReviewMailDialog::RefreshFolders(bool reread) {
    if (reread) records_ = store_.AllRecords();
    const auto names = FolderNames();
    folders_ = store_.FolderEntries(&names, records_);
    outline_->clear();
    for (const auto& f : folders_)
        outline_->addItem(Q(f.Text()));
    int row = PaneRowOf(currentFolder_);
    if (row < 0 && !folders_.empty()) {
        row = 0;
        currentFolder_ = folders_[0].Number;
    }
    if (row >= 0) outline_->setCurrentRow(row);
}

void TReviewMailDialog::RefreshList(int selectRow) {
    const std::string user = AppContext().userName.toStdString();
    auto entries = BuildMessageList(records_, currentFolder_, user);
    SortMessageList(entries, sort_);
    model_->SetEntries(std::move(entries));
    shownRow_ = -1;
    shownRecord_ = 0;
    const int rows = model_->rowCount();
    if (rows == 0) {
        RefreshMemo();
        return;
    }
    selectRow = std::clamp(selectRow, 0, rows - 1);
    SelectRows({selectRow});
    list_->scrollTo(model_->index(selectRow, 0), QAbstractItemView::PositionAtTop);
}

void TReviewMailDialog::SelectRows(const QList<int>& rows) {
    QItemSelectionModel* sel = list_->selectionModel();
    QSignalBlocker block(sel);
    sel->clearSelection();
    QItemSelection selection;
    for (int r : rows)
        selection.select(model_->index(r, 0), model_->index(r, 2));
    sel->select(selection, QItemSelectionModel::Select);
    if (!rows.isEmpty()) {
        sel->setCurrentIndex(model_->index(rows.front(), 0), QItemSelectionModel::NoUpdate);
        list_->scrollTo(model_->index(rows.front(), 0));
        ListBoxClick(rows.front());
    }
    list_->viewport()->update();
}

QList<int> TReviewMailDialog::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& i : list_->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TReviewMailDialog::ListBoxClick(int listRow) {
    if (listRow < 0 || listRow >= model_->rowCount()) return;
    if (listRow != shownRow_ ||
        model_->Entries()[size_t(listRow)].Record != shownRecord_) {
        shownRow_ = listRow;
        shownRecord_ = 0;
    }
    RefreshMemo();
}

bool TReviewMailDialog::LoadEntry(int row, TmsMessage& msg) {
    if (row < 0 || row >= model_->rowCount()) return false;
    const TListEntry& e = model_->Entries()[size_t(row)];
    try {
        msg = TmsMessage();
        msg.LoadFromFile(store_.MailboxFolder() / e.Rec.FileName);
        return true;
    } catch (const std::exception&) {
        if (!inRebuild_) {
            Tell(this, QMessageBox::Critical, windowTitle(),
                 Msg(QStringLiteral("@DatabaseIndexError")));
            RebuildIndex();
        }
        return false;
    }
}

void TReviewMailDialog::RefreshMemo() {
    if (model_->rowCount() == 0 || shownRow_ < 0) {
        memo_->clear();
        message_ = TmsMessage();
        shownRow_ = -1;
        shownRecord_ = 0;
        return;
    }
    const long record = model_->Entries()[size_t(shownRow_)].Record;
    if (record == shownRecord_) return;
    TmsMessage msg;
    if (!LoadEntry(shownRow_, msg)) return;
    message_ = std::move(msg);
    shownRecord_ = record;
    QStringList lines;
    lines.reserve(qsizetype(message_.Body.size()));
    for (const auto& l : message_.Body)
        lines << Q(l);
    memo_->setPlainText(lines.join(QLatin1Char('\n')));
}

void TReviewMailDialog::OutlineMouseUp(int paneRow) {
    if (paneRow < 0 || size_t(paneRow) >= folders_.size()) return;
    currentFolder_ = folders_[size_t(paneRow)].Number;
    outline_->setCurrentRow(paneRow);
    RefreshList(0);
}

void TReviewMailDialog::OpenButtonClick() {
    if (SelectedRows().isEmpty() || shownRow_ < 0) return;
    TmsMessage msg;
    if (!LoadEntry(shownRow_, msg)) return;
    const bool queued = currentFolder_ == kFolderQueued;
    const TMailIndexRecord& rec = model_->Entries()[size_t(shownRow_)].Rec;
    const std::string file = (store_.MailboxFolder() / rec.FileName).string();
    const std::string messageTo = Msg(QStringLiteral("@MessageTo")).toStdString();
    // A change keeps the player's choice about a copy in Sent Mail.
    OpenEditor(BuildReplyOrChange(msg, queued, file, messageTo),
               queued ? std::optional<bool>(rec.SaveCopy == 1) : std::nullopt);
}

void TReviewMailDialog::OpenEditor(const TEditorFill& fill, std::optional<bool> saveCopy) {
    TEditorDialog* editor = TEditorDialog::Open(this);
    lastEditor_ = editor;
    // The editor's message object holds the stored message (attachments
    // left out); its fields come from it, then take the reply's, change's
    // or forward's own recipient, copies, subject and body.
    editor->msMessage = fill.Message;
    editor->SetEditedFile(Q(fill.EditedFile));
    editor->SetData();
    compose::TMessageDraft d = editor->Draft();
    d.Recipient = fill.EditRecipient;
    d.Address = fill.EditAddress;
    d.Subject = fill.EditSubject;
    d.Body = fill.Body;
    d.CarbonCopy = fill.EditCarbonCopy;
    d.Attachments.clear();
    d.EditedFile = fill.EditedFile;
    if (saveCopy) d.SaveCopy = *saveCopy;
    editor->SetDraft(d);
    editor->SetBodyModified(false);
    if (editor->windowTitle() != Q(fill.Caption)) {
        editor->setWindowTitle(Q(fill.Caption));
        emit editor->captionChanged(Q(fill.Caption));
    }
    editor->raise();
    editor->activateWindow();
}

void TReviewMailDialog::Forward1Click() {
    if (SelectedRows().isEmpty() || shownRow_ < 0) return;
    TmsMessage msg;
    if (!LoadEntry(shownRow_, msg)) return;
    OpenEditor(BuildForward(msg, Msg(QStringLiteral("@MessageTo")).toStdString()), std::nullopt);
}

void TReviewMailDialog::DeleteButtonClick() {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) return;
    if (Ask(this, windowTitle(), Msg(QStringLiteral("@ConfirmDeletion")),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    const int top = list_->rowAt(0);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        store_.DeleteMessage(model_->Entries()[size_t(*it)].Record);
    store_.PackIndex();
    RefreshFolders();
    RefreshList(std::max(top, 0));
}

void TReviewMailDialog::Deleteallmessages1Click() {
    if (Ask(this, windowTitle(), Msg(QStringLiteral("@ConfirmDeletion")),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    for (const auto& [n, r] : store_.FolderRecords(currentFolder_))
        store_.DeleteMessage(n);
    store_.PackIndex();
    RefreshFolders();
    RefreshList(0);
}

void TReviewMailDialog::MarkAllButtonClick() {
    list_->selectAll();
}

bool TReviewMailDialog::OutlineDragOver(int paneRow) const {
    if (paneRow < 0 || size_t(paneRow) >= folders_.size()) return false;
    return CanDropOnFolder(paneRow, folders_[size_t(paneRow)].Number, currentFolder_);
}

void TReviewMailDialog::OutlineDragDrop(int paneRow) {
    if (!OutlineDragOver(paneRow)) return;
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) return;
    const int32_t target = folders_[size_t(paneRow)].Number;
    const int top = list_->rowAt(0);
    EnableControls(false);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        store_.MoveMessage(model_->Entries()[size_t(*it)].Record, target);
    RefreshFolders();
    RefreshList(std::max(top, 0));
    EnableControls(true);
}

void TReviewMailDialog::headerSectionClick(int column) {
    static const TSortKey keys[] = {TSortKey::Sender, TSortKey::Subject, TSortKey::Date};
    if (column < 0 || column > 2) return;
    sort_.Click(keys[column]);
    list_->horizontalHeader()->setSortIndicatorShown(true);
    list_->horizontalHeader()->setSortIndicator(
        column, sort_.Ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    // The shown message stays selected where the sort puts it.
    const long shown = shownRecord_;
    model_->Sort(sort_);
    int row = 0;
    const auto& entries = model_->Entries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].Record == shown) row = int(i);
    shownRow_ = -1;
    shownRecord_ = 0;
    if (!entries.empty()) {
        SelectRows({row});
        list_->scrollTo(model_->index(row, 0));
    } else {
        RefreshMemo();
    }
}

void TReviewMailDialog::AddFolder() {
    if (store_.Folders().Count() >= kMaxFolders) {
        Tell(this, QMessageBox::Warning, windowTitle(), Msg(QStringLiteral("@TooManyFolders")));
        return;
    }
    bool ok = false;
    const QString name = AskText(this, Msg(QStringLiteral("@CreatingFolder")),
                                 Msg(QStringLiteral("@FolderName")), QString(), &ok);
    if (!ok || name.trimmed().isEmpty()) return;
    if (store_.AddFolder(name.trimmed().left(100).toStdString()) == 0) return;
    RefreshFolders();
}

void TReviewMailDialog::Renamefolder1Click() {
    if (!CanRenameFolder(currentFolder_)) {
        Tell(this, QMessageBox::Warning, windowTitle(), Msg(QStringLiteral("@CannotRename")));
        return;
    }
    bool ok = false;
    const QString name = AskText(this, Msg(QStringLiteral("@NewName")),
                                 Msg(QStringLiteral("@EnterNewName")), QString(), &ok);
    if (!ok || name.trimmed().isEmpty()) return;
    store_.RenameFolder(currentFolder_, name.trimmed().left(100).toStdString());
    RefreshFolders();
}

void TReviewMailDialog::DeleteFolder() {
    if (!CanDeleteFolder(currentFolder_)) {
        Tell(this, QMessageBox::Warning, windowTitle(), Msg(QStringLiteral("@CannotDelete")));
        return;
    }
    if (Ask(this, windowTitle(), Msg(QStringLiteral("@DeleteThisFolder")),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    store_.DeleteFolder(currentFolder_);
    currentFolder_ = kFolderNew;
    RefreshFolders();
    RefreshList(0);
}

void TReviewMailDialog::EnableControls(bool on) {
    menu_->setEnabled(on);
    buttons_->setEnabled(on);
    outline_->setEnabled(on);
    list_->setEnabled(on);
}

void TReviewMailDialog::RebuildIndex() {
    if (inRebuild_) return;
    inRebuild_ = true;
    EnableControls(false);
    QProgressDialog progress(this);
    progress.setObjectName(QStringLiteral("ProgressForm"));
    progress.setWindowTitle(Msg(QStringLiteral("@Reindexing")));
    progress.setLabelText(Msg(QStringLiteral("@Reindexing")) + QStringLiteral("..."));
    progress.setCancelButton(nullptr);
    progress.setMinimumDuration(0);
    progress.setWindowModality(Qt::WindowModal);
    TRebuildCallbacks cb;
    cb.Progress = [&progress](long done, long total) {
        if (done == 0) {
            progress.setRange(0, int(total));
            progress.show();
        }
        progress.setValue(int(done));
        if (done % 64 == 0) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    cb.Text = [this](const std::string& key) { return Msg(Q(key)).toStdString(); };
    const std::vector<std::string> errors = store_.RebuildIndex(cb);
    progress.hide();
    if (!errors.empty()) {
        QStringList lines;
        for (const auto& e : errors)
            lines << Q(e);
        Tell(this, QMessageBox::Critical, windowTitle(), lines.join(QLatin1Char('\n')));
    }
    // A message that cannot be loaded even now (a file the program may not
    // read) leaves the body empty instead of starting another rebuild.
    RefreshFolders();
    RefreshList(0);
    inRebuild_ = false;
    MailboxChanged = false; // the viewer shows the rebuilt index already
    EnableControls(true);
}

void TReviewMailDialog::MailboxChangedRefresh() {
    if (!MailboxChanged) return;
    MailboxChanged = false;
    RefreshFolders();
    RefreshList(0);
}

void TReviewMailDialog::changeEvent(QEvent* e) {
    QDialog::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && !inRebuild_)
        MailboxChangedRefresh();
}

void TReviewMailDialog::PrintButtonClick() {
    if (shownRow_ < 0) return;
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    std::array<std::string, 12> months;
    const QLocale locale;
    for (int m = 1; m <= 12; ++m)
        months[size_t(m - 1)] = locale.monthName(m).toStdString();
    const double date = model_->Entries()[size_t(shownRow_)].Rec.Date;
    QFont regular(QStringLiteral("Courier New"), 10);
    regular.setStyleHint(QFont::Monospace);
    QFont bold = regular;
    bold.setBold(true);
    QPainter painter;
    if (!painter.begin(&printer)) return;
    const QRect page = painter.viewport();
    int y = 0;
    for (const TPrintLine& line : PrintLines(message_, date, months)) {
        painter.setFont(line.Bold ? bold : regular);
        const int h = painter.fontMetrics().lineSpacing();
        if (y + h > page.height()) {
            printer.newPage();
            y = 0;
        }
        painter.drawText(0, y + painter.fontMetrics().ascent(), Q(line.Text));
        y += h;
    }
    painter.end();
}

void TReviewMailDialog::SaveButtonClick() {
    if (shownRow_ < 0) return;
    QFileDialog dialog(this, Msg(QStringLiteral("@SaveTitle")), AppContext().programFolder,
                       Msg(QStringLiteral("@TextFiles")) + QStringLiteral(" (*.txt)"));
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(QStringLiteral("*.txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString file = dialog.selectedFiles().front();
    bool append = false;
    if (QFileInfo::exists(file))
        append = !AskOverwriteOrAppend(this, Msg(QStringLiteral("@SelectOption")),
                                       QDir::toNativeSeparators(file),
                                       Msg(QStringLiteral("@OverwriteFile")),
                                       Msg(QStringLiteral("@Append")));
    std::string error;
    if (!SaveMessageAsText(file.toStdString(), message_, append, &error))
        Tell(this, QMessageBox::Critical, windowTitle(),
             Msg(QStringLiteral("@CannotSave")) + QLatin1Char(' ') +
                 QDir::toNativeSeparators(file) + QStringLiteral("\n") + Q(error));
}

void TReviewMailDialog::HeadersBtnClick() {
    if (shownRow_ < 0) return;
    QStringList lines;
    for (const auto& l : message_.Headers.Lines)
        lines << Q(l);
    THeadersDialog dialog(lines, this);
    dialog.exec();
}

void TReviewMailDialog::ChangeViewerFont1Click() {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, memo_->font(), this);
    if (!ok) return;
    memo_->setFont(font);
    if (settings_) {
        settings_->MailViewerFont = CutUtf8(font.family().toStdString(), 31);
        settings_->MailViewerFontSize = font.pointSize();
    }
}

void TReviewMailDialog::CopyToClipboardButtonClick() {
    memo_->copy();
}

void TReviewMailDialog::ExitBtnClick() {
    if (QMdiSubWindow* sub = SubWindow()) {
        closing_ = true;
        sub->close();
        closing_ = false;
    } else {
        close();
    }
}

void TReviewMailDialog::KeepSplitters() {
    if (!settings_) return;
    const QList<int> v = vsplit_->sizes(), h = hsplit_->sizes();
    if (!v.isEmpty() && v.front() > 0) settings_->MailViewerVerticalBarX = v.front();
    if (!h.isEmpty() && h.front() > 0) settings_->MailViewerHorizontalBarY = h.front();
}

void TReviewMailDialog::closeEvent(QCloseEvent* e) {
    KeepSplitters();
    QDialog::closeEvent(e);
}

} // namespace quorel::ui
