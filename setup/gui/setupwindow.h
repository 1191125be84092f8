#pragma once
// The setup program's windows: the main window "Setup", the progress window
// "Setup Progress" and the group window "Select Group". The install steps
// themselves are TInstaller's; these windows only show and ask.
#include "setup/installer.h"

#include <QDialog>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace quorel::setup {

// Title of the main window; a second setup looks for it.
inline constexpr const char* kSetupTitle = "Setup V1.0";

class TProgressWindow : public QDialog {
    Q_OBJECT
  public:
    explicit TProgressWindow(QWidget* parent = nullptr);
    void SetLines(const QString& line1, const QString& line2);

  private:
    QLabel* line1_;
    QLabel* line2_;
};

class TGroupWindow : public QDialog {
    Q_OBJECT
  public:
    TGroupWindow(const std::vector<std::string>& groups, const QString& name,
                 QWidget* parent = nullptr);
    QString GroupName() const;

  private:
    void GroupClicked(QListWidgetItem* item);
    QListWidget* list_;
    QLineEdit* edit_;
};

class TSetupWindow : public QWidget, public TSetupUi {
    Q_OBJECT
  public:
    // unattended: boxes go to standard error, questions are answered Yes and
    // the group window takes its default name; the steps are the same.
    TSetupWindow(TSetupList list, QString sourceFolder, bool debug, bool unattended,
                 QWidget* parent = nullptr);

    QString Folder() const;
    void SetFolder(const QString& folder);
    // Runs the installation as the Install button does; closes the window
    // unless the installation was refused.
    TInstallResult Install();
    // Restores the window and brings it to the front (a second setup asked).
    void BringToFront();

    // TSetupUi
    void Message(const std::string& text) override;
    bool Ask(const std::string& text) override;
    void ShowProgress(bool visible) override;
    void Progress(const std::string& line1, const std::string& line2) override;
    bool SelectGroup(const std::vector<std::string>& groups, std::string& name) override;
    void Wait(int ms) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Browse();
    void About();

    TSetupList list_;
    QString source_;
    bool debug_, unattended_;
    bool ran_ = false;  // the installation has run: close without asking
    bool busy_ = false; // the installation is running: closing waits
    QLineEdit* folder_;
    QPushButton* install_;
    TProgressWindow* progress_;
};

} // namespace quorel::setup
