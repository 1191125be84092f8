#pragma once
// The connection dialog (TConnectionDialog, "Sending and retrieving mail"):
// the window over TConnectionLogic. The Transfer and Tools commands run the
// logic on the GUI thread; its network waits pump this window's events, so
// the window answers and Stop cancels a transfer at once. The session info
// log, the remote-message list (the header part of each line in bold italic
// blue), the delete-after-retrieving box and the gauge show the logic's
// state; a game file that arrives asks TSaveAttachmentDialog.
#include <QDialog>
#include <memory>

#include "mail/connection.h"

class QAction;
class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace quorel {
class TSettings;
}

namespace quorel::ui {

class TConnectionDialog : public QDialog {
    Q_OBJECT
  public:
    // store must be open; settings (may be null in tests) receives
    // Delete_messages_after_retrieving when the box is clicked.
    TConnectionDialog(mail::TMailStore& store, const mail::TMailConfig& config, TSettings* settings,
                      QWidget* parent = nullptr);
    ~TConnectionDialog() override;

    mail::TConnectionLogic& Logic() { return *logic_; }
    QListWidget* RemoteList() const { return list_; }
    QPlainTextEdit* InfoLog() const { return memo_; }
    QProgressBar* Gauge() const { return gauge_; }
    // True while a command runs (its network waits pump the events).
    bool Busy() const { return busy_ > 0; }

    // The commands (menu entries and buttons).
    void UpdateButtonClick();
    void RetrievebuttonClick();
    void SendButtonClick();
    void Quicktransfer1Click();
    void DeleteButtonClick();
    void MarkAllButtonClick();
    void CloseBtnClick(); // Stop
    void ExitBtnClick();

    QString Msg(const QString& key) const;

  protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

  private:
    // Runs a command of the logic with the list selection handed over
    // before and the list rebuilt after; refused while another one runs.
    void Run(const std::function<void()>& command);
    void RefreshList();
    void ControlsEnabled(bool enabled);
    void GaugeChanged();

    std::unique_ptr<mail::TConnectionLogic> logic_;
    TSettings* settings_;
    QPlainTextEdit* memo_;
    QListWidget* list_;
    QCheckBox* editDelete_;
    QProgressBar* gauge_;
    QPushButton *stop_, *exit_;
    QList<QAction*> commands_;
    int busy_ = 0;
    bool closeWanted_ = false;
    bool logsSaved_ = false;
};

// The game-file question of a retrieval (TSaveAttachmentDialog, "Choose
// option"): true for "Yes, save it" (the games folder), false for the
// attach folder.
bool AskSaveGameFile(QWidget* parent, const QString& sender, const QString& fileName);

} // namespace quorel::ui
