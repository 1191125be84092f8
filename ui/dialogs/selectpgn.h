#pragma once
// The PGN game picker (TSelectPGN): lists every game of a PGN file in seven
// columns, filters the list by tag (OR or AND), sorts it by a header click,
// searches it, and loads the chosen game through the program's one PGN
// reader. While a file is scanned the caption counts the games found; the
// window stays responsive and the scan can be cancelled.
#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "pgn/picker.h"
#include "pgn/reader.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace quorel::ui {

class TForm2;

class TSelectPGN : public QDialog {
    Q_OBJECT
  public:
    explicit TSelectPGN(QWidget* parent = nullptr);
    ~TSelectPGN() override;

    // State the commands set before each showing.
    QString PGNFileName;
    bool NeedRefresh = true;
    bool OpenInNewWindow = true;

    // The program's one reader: after "OK" without OpenInNewWindow its
    // GameRecord holds the chosen game and its file is still open (the
    // command closes it).
    pgn::TPGNReader& Reader() { return *reader_; }

    void RefreshList();
    void SortList();
    void HeaderControl1SectionClick(int column);
    void SearchButtonClick();
    void FirstLineButtonClick();
    void ClearButtonClick();
    void AndButtonClick();
    void NewPGNFileButtonClick();
    void OkButtonClick();
    void CancelButtonClick();

    // Filter as the boxes and mode buttons hold it.
    pgn::TPickerFilter Filter() const;
    QLineEdit* FilterBox(int column) const { return boxes_[column]; }
    QLineEdit* SearchBox() const { return search_; }
    QRadioButton* AndButton() const { return and_; }
    QTreeWidget* List() const { return list_; }
    const std::vector<pgn::TPickerRow>& Rows() const { return rows_; }
    int SelectedRow() const;
    void SelectRow(int row);
    bool Scanning() const { return scanning_; }

    // Opens the chosen game in a new game window (OpenInNewWindow); by
    // default through the frame's New command.
    std::function<TForm2*()> createGameWindow;

    QString Msg(const QString& key) const;

  protected:
    void showEvent(QShowEvent* e) override;
    void reject() override;

  private:
    void FillList();
    void SetBusy(bool busy);

    std::unique_ptr<pgn::TPGNReader> reader_;
    std::vector<pgn::TPickerRow> rows_;
    pgn::TSortKey sortKey_;
    std::atomic<bool> cancel_{false};
    bool scanning_ = false;

    QTreeWidget* list_;
    QLineEdit* boxes_[pgn::kPickerColumns]{};
    QLineEdit* search_;
    QRadioButton *or_, *and_;
    QPushButton *refresh_, *clear_, *first_, *searchButton_, *newFile_, *cancel_Button_, *ok_;
};

// The picker of the run (created on first use; its reader is the program's
// only one).
TSelectPGN& PgnPicker();

} // namespace quorel::ui
