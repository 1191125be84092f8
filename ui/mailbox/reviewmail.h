#pragma once
// The mailbox viewer (TReviewMailDialog): the folders with their message
// counts, the messages of the chosen folder in a sortable three-column list
// and the body of the chosen message; reply, change, forward, delete, move
// by drag and drop, print, save, the header lines, folder management and a
// rebuild of the index from the mail files. At most one viewer exists; it
// reloads when it is activated after mail was queued or filed elsewhere.
#include <QAbstractTableModel>
#include <QDialog>
#include <QListWidget>
#include <QPointer>
#include <optional>
#include <vector>

#include "mail/mailview.h"
#include "mail/store.h"
#include "ui/editor/editor.h"

class QAction;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QToolBar;
class QMenuBar;
class QMdiSubWindow;

namespace quorel {
struct TSettings;
}

namespace quorel::ui {

// The message list over the index records of one folder: a model, so that
// a folder of ten thousand messages opens at once.
class TMailListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;
    void SetEntries(std::vector<mail::TListEntry> entries);
    const std::vector<mail::TListEntry>& Entries() const { return entries_; }
    void SetHeads(const QStringList& heads);
    void Sort(const mail::TListSort& sort);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override {
        return Qt::MoveAction | Qt::CopyAction;
    }

  private:
    std::vector<mail::TListEntry> entries_;
    QStringList heads_;
};

class TReviewMailDialog;

// The folder pane: accepts messages dragged from the list when the viewer's
// rules allow it.
class TFolderPane : public QListWidget {
    Q_OBJECT
  public:
    TFolderPane(TReviewMailDialog* owner, QWidget* parent);

  protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

  private:
    TReviewMailDialog* owner_;
};

// The header lines of a message in a read-only window with an OK button.
class THeadersDialog : public QDialog {
    Q_OBJECT
  public:
    THeadersDialog(const QStringList& lines, QWidget* parent);
    QPlainTextEdit* Text() const { return text_; }

  private:
    QPlainTextEdit* text_;
};

class TReviewMailDialog : public QDialog {
    Q_OBJECT
  public:
    // store: the run's mailbox (open); settings: the run's settings (fonts,
    // word wrap, splitter positions; written back on closing), or nullptr.
    TReviewMailDialog(mail::TMailStore& store, TSettings* settings, QWidget* parent = nullptr);
    ~TReviewMailDialog() override;

    // The frame's child window that holds the viewer (nullptr when the
    // viewer is a window of its own).
    QMdiSubWindow* SubWindow() const;
    // Escape closes the viewer.
    void reject() override;

    // The open viewer, or nullptr.
    static TReviewMailDialog* Instance();
    // The frame's mail-viewer command: brings the open viewer to the front,
    // or creates one (busy cursor meanwhile), runs its opening checks and
    // shows it.
    static TReviewMailDialog* ShowViewer(mail::TMailStore& store, TSettings* settings,
                                         QWidget* parent);

    // The opening checks: rebuild when files and index disagree or a record
    // has no folder, fill the panes, warn about a very large message base.
    void Start();
    // Reloads after mail was queued or filed elsewhere (MailboxChanged),
    // and clears the flag. Called on activation and by the connection
    // dialog when it closes.
    void MailboxChangedRefresh();

    // Commands.
    void OutlineMouseUp(int paneRow); // select a folder
    void ListBoxClick(int listRow);   // select a message
    void OpenButtonClick();           // reply, or change a queued message
    void Forward1Click();
    void DeleteButtonClick();
    void Deleteallmessages1Click();
    void MarkAllButtonClick();
    void PrintButtonClick();
    void SaveButtonClick();
    void HeadersBtnClick();
    void AddFolder();
    void DeleteFolder();
    void Renamefolder1Click();
    // Drag and drop onto the folder pane's entry paneRow.
    bool OutlineDragOver(int paneRow) const;
    void OutlineDragDrop(int paneRow);
    void headerSectionClick(int column);
    void RebuildIndex();
    void ChangeViewerFont1Click();
    void CopyToClipboardButtonClick();
    void ExitBtnClick();

    // State, for the frame and the tests.
    int32_t CurrentFolder() const { return currentFolder_; }
    int ShownRow() const { return shownRow_; }
    QListWidget* FolderPane() const { return outline_; }
    QTableView* List() const { return list_; }
    TMailListModel* Model() const { return model_; }
    QPlainTextEdit* Body() const { return memo_; }
    const mail::TmsMessage& Message() const { return message_; }
    const mail::TListSort& SortOrder() const { return sort_; }
    // The message editor last opened by Reply / Change or Forward.
    TEditorDialog* LastEditor() const { return lastEditor_.data(); }
    QSplitter* VerticalBar() const { return vsplit_; }
    QSplitter* HorizontalBar() const { return hsplit_; }
    // The list rows of the selected messages, ascending.
    QList<int> SelectedRows() const;
    // Selects the list rows (and shows the first of them).
    void SelectRows(const QList<int>& rows);

    QString Msg(const QString& key) const;

  protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void BuildWindow();
    // Folder pane from the index (read again unless reread is false).
    void RefreshFolders(bool reread = true);
    // Message list of the current folder from the records last read.
    void RefreshList(int selectRow = 0);
    void RefreshMemo();
    bool LoadEntry(int row, mail::TmsMessage& msg);
    // Opens a message editor filled for a reply, a change or a forward;
    // saveCopy: the queued message's own choice when it is changed.
    void OpenEditor(const mail::TEditorFill& fill, std::optional<bool> saveCopy);
    void EnableControls(bool on);
    void KeepSplitters();
    std::array<std::string, 4> FolderNames() const;
    int PaneRowOf(int32_t folder) const;

    mail::TMailStore& store_;
    TSettings* settings_;
    std::vector<std::pair<long, mail::TMailIndexRecord>> records_; // the index as last read
    std::vector<mail::TFolderEntry> folders_;
    int32_t currentFolder_ = mail::kFolderNew;
    int shownRow_ = -1;
    long shownRecord_ = 0;
    mail::TmsMessage message_;
    mail::TListSort sort_;
    bool inRebuild_ = false;
    bool closing_ = false; // the frame's child window is closing
    int barX_ = 0, barY_ = 0; // splitter positions to apply when first shown

    QMenuBar* menu_ = nullptr;
    QToolBar* buttons_ = nullptr;
    QSplitter* vsplit_ = nullptr; // folder pane | list and body
    QSplitter* hsplit_ = nullptr; // list | body
    TFolderPane* outline_ = nullptr;
    QTableView* list_ = nullptr;
    TMailListModel* model_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    QPointer<TEditorDialog> lastEditor_;
};

} // namespace quorel::ui
