#pragma once
// TSecondsDialog ("Seconds per position"): how long the engine thinks about
// each position of a game analysis. One number field and an OK button; it
// has no cancel, and its value is taken however it is closed.
#include <QDialog>

class QSpinBox;

namespace quorel::ui {

class TSecondsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TSecondsDialog(QWidget* parent = nullptr);
    // The seconds chosen: 5 to 10 000 000, in steps of 5 from the start value 5.
    int Seconds() const;
    void SetSeconds(int seconds);
    QSpinBox* EditSeconds() const { return edit_; }

  private:
    QSpinBox* edit_;
};

} // namespace quorel::ui
