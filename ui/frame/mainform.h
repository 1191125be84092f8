#pragma once
// The frame (TMainForm): a multiple-document window whose children are game
// windows; File, Window and Help menus, a tool bar, a status line showing
// the hint under the mouse, the background colour and optional wallpaper,
// the close query and the shutdown writes.
#include <QMainWindow>
#include <QStringList>

class QMdiArea;
class QMdiSubWindow;
class QAction;
class QMenu;
class QToolBar;

namespace quorel {
class TShellSession;
}

namespace quorel::ui {

class TForm2;

class TMainForm : public QMainWindow {
    Q_OBJECT
  public:
    // session has run the frame's creation (TShellSession::CreateFrame).
    explicit TMainForm(TShellSession& session, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Opens a game window on a file ("NONAME.QRL" = a new game); nullptr when
    // the window cannot be created (after the message).
    TForm2* OpenGameWindow(const QString& fileName);
    // The game window holding fileName (compared without case), or nullptr.
    TForm2* FindGameWindow(const QString& fileName) const;
    QList<TForm2*> GameWindows() const;
    QMdiArea* MdiArea() const { return mdi_; }

    // First activation: reopens the games of lastgame.lst (once).
    void FirstActivation();
    // Re-reads the look from the run's settings (after the settings dialog).
    void ApplyLook();

    // Commands.
    void FileNewClick();
    // Mail / Open Connection Dialog (and the tool bar's Connect button).
    void MailConnectionClick();
    void FileOpenClick();
    void FileImportOldClick();
    void FileConfigClick();
    void WindowCloseAllClick();
    void HelpIndexClick();
    // Mail / Show Mail Viewer: brings the open viewer to the front or opens one.
    void MailViewerClick();
    void OpenDocument(const QString& fileName);
    // Mail / Create Message (an empty editor) and Edit Signature File.
    void MailCreateMessageClick();
    void MailEditSignatureClick();

    QString Msg(const QString& key) const;

  protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void BuildMenus();
    QAction* Action(const char* name, const char* text, const QKeySequence& key = {});
    void WriteShutdown();

    TShellSession& session_;
    QMdiArea* mdi_;
    QToolBar* toolBar_ = nullptr;
    QAction *fileNew_ = nullptr, *fileOpen_ = nullptr, *fileExit_ = nullptr;
    QAction* mailViewer_ = nullptr;
    bool activated_ = false;
    bool shutDown_ = false;
    QAction* mailConnect_ = nullptr;
};

} // namespace quorel::ui
