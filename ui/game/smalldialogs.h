#pragma once
// The small modal dialogs of the game window: promotion choice, the comment
// (annotation) dialog and the date picker.
#include <QDate>
#include <QDialog>

class QCalendarWidget;
class QListWidget;
class QPushButton;

namespace quorel::ui {

// "Queen", "Rook", "Bishop", "Knight": ChosenPiece gives the White piece
// code 5, 4, 3, 2 (add 6 for Black).
class TPromotionDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TPromotionDialog(QWidget* parent = nullptr);
    int ChosenPiece() const;
    QListWidget* List() const { return list_; }

  private:
    QListWidget* list_;
};

// The comment dialog: nine annotation items; ChosenAnnotation is the
// record's Annotation value (item index + 1).
class TDiacriticDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TDiacriticDialog(QWidget* parent = nullptr);
    void SetAnnotation(int annotation);
    int ChosenAnnotation() const;
    QListWidget* List() const { return list_; }

  private:
    QListWidget* list_;
};

// The date picker with a calendar.
class TCalendarDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TCalendarDialog(QWidget* parent = nullptr);
    void SetDate(QDate d);
    QDate Date() const;
    QCalendarWidget* Calendar() const { return calendar_; }

  private:
    QCalendarWidget* calendar_;
};

} // namespace quorel::ui
