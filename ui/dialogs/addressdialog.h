#pragma once
// The address book (TAddressDialog): the list of the player's opponents
// over the run's address book, with add, edit and delete; as a picker its OK
// (or a double-click) leaves the chosen entry in the book's buffer. The
// entry editor (TEditAddressDialog, "Bio Editor") and the fixed countries
// list (TCountriesListDialog) live here too.
#include <QDialog>

#include "shell/addressbook.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace quorel::ui {

class TAddressDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TAddressDialog(TAddressBook& book, QWidget* parent = nullptr);

    void RefreshList();
    void AddButtonClick();
    void EditButtonClick();
    void DeleteButtonClick();
    void OkButtonClick();

    // Record number of the selected row (0: none).
    long SelectedRecord() const;
    void SelectRecord(long record);
    QTreeWidget* List() const { return list_; }
    QString StatusText() const;
    TAddressBook& Book() { return book_; }

    QString Msg(const QString& key) const;

  protected:
    void done(int result) override;

  private:
    TAddressBook& book_;
    QTreeWidget* list_;
    QLabel* status_;
};

class TEditAddressDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TEditAddressDialog(QWidget* parent = nullptr);

    // Fields from r / into r (each text cut to its capacity; the unused
    // bytes of r are kept).
    void SetRecord(const TAddressRecord& r);
    TAddressRecord Record() const;

    void BrowseButtonClick();
    // Shows the photo of the path in the Photo field (relative paths are
    // taken from the program folder).
    void ShowPhoto();

    QLineEdit* Field(const char* objectName) const;
    QPlainTextEdit* Notes() const { return notes_; }

  private:
    TAddressRecord record_;
    QPlainTextEdit* notes_;
    QLabel* photo_;
};

class TCountriesListDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TCountriesListDialog(QWidget* parent = nullptr);
    // The chosen line ("ESP\ Spain"); empty when none.
    QString Chosen() const;
    void Select(const QString& code);
    QListWidget* List() const { return list_; }

  private:
    QListWidget* list_;
};

// The built-in picture shown for an entry without a photo.
QPixmap UnknownPicture(int size);

} // namespace quorel::ui
