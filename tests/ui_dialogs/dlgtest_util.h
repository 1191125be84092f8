#pragma once
// Helpers of the dialog tests: a temporary program folder made the run's
// context (optionally with a shell session over it), and answers to the
// modal windows that appear next.
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "chess/gamerecord.h"

namespace quorel {
class TShellSession;
}

namespace dlgtest {

class TempFolder {
  public:
    // withSession: a shell session over the folder (settings, address book),
    // as the frame has at run time.
    explicit TempFolder(bool withSession = false);
    ~TempFolder();
    QString Program() const { return dir_.path(); }
    QString Games() const { return dir_.path() + QStringLiteral("/games"); }
    QString Path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
    void WriteGame(const QString& name, quorel::chess::TGameRecord rec) const;
    void WriteText(const QString& path, const std::string& bytes) const;
    std::string ReadText(const QString& path) const;
    quorel::TShellSession* Session() const { return session_.get(); }

  private:
    QTemporaryDir dir_;
    QString oldCwd_;
    std::unique_ptr<quorel::TShellSession> session_;
};

// Handlers for the modal windows that appear next, one per window, in order.
class Modals {
  public:
    Modals();
    ~Modals();
    void Then(std::function<void(QWidget*)> handler);
    // Presses a button of the next message box and records its text.
    void Press(QMessageBox::StandardButton button);
    // Presses the button with this text (mnemonic ampersands ignored).
    void PressText(const QString& text);
    const QStringList& Texts() const { return *texts_; }
    int Pending() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::shared_ptr<QStringList> texts_;
};

// Every visible text of a window that is empty: labels, buttons, group
// boxes, the caption, combo box items and tree headers. Names the widgets.
QStringList EmptyVisibleTexts(QWidget* window);

} // namespace dlgtest
