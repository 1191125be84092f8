#pragma once
// The game list (TSelectDialog): one row per game file of the games folder,
// the in-play filter, several rows selectable at once; open, delete, import
// of previous-format files and export of the selected games to PGN.
#include <QDialog>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "ui/dialogs/gamelist.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace quorel::ui {

class TSelectDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TSelectDialog(QWidget* parent = nullptr);

    // Rebuilds the rows from the games folder.
    void RefreshList();
    // Filter buttons.
    void InPlayButtonClick();
    void AllGamesButtonClick();
    // Commands.
    void DeleteButtonClick();
    void ImportButtonClick();
    void PGNbuttonClick();
    void OkButtonClick();

    // The file names of the selected rows, top to bottom (after OK).
    QStringList SelectedFiles() const;
    bool InPlayOnly() const { return inPlayOnly_; }
    void SetInPlayOnly(bool on);

    // Rows as shown (for tests): the row texts and the status line.
    const std::vector<TGameListRow>& Rows() const { return rows_; }
    QString StatusText() const;
    QTreeWidget* List() const { return list_; }

    // Whether a game window holds the file (delete refuses it); set by the
    // caller, none open when unset.
    std::function<bool(const QString& fileName)> isOpen;

    QString Msg(const QString& key) const;

  private:
    void UpdateFilterButtons();

    QTreeWidget* list_;
    QLabel* status_;
    QPushButton *inPlay_, *allGames_, *ok_;
    std::vector<TGameListRow> rows_;
    bool inPlayOnly_ = false;
};

} // namespace quorel::ui
