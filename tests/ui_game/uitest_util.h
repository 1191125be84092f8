#pragma once
// Helpers of the GUI tests: temporary program folders, answering modal
// dialogs from a timer, and mouse drags on the board view.
#include <QDir>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "chess/gamerecord.h"

namespace quorel::ui {
class TChessDiagram;
}

namespace uitest {

// A program folder with a games folder, made the run's context.
class TempProgram {
  public:
    TempProgram();
    QString Program() const { return dir_.path(); }
    QString Games() const { return dir_.path() + QStringLiteral("/games"); }
    // Writes rec as a game file NAME in the games folder.
    void WriteGame(const QString& name, quorel::chess::TGameRecord rec) const;
    std::string ReadFile(const QString& name) const; // from the games folder
    void CopySample(const QString& name) const;      // docs/samples/sample.qrl

  private:
    QTemporaryDir dir_;
};

// Queues handlers for the modal dialogs that will appear next, one handler
// per dialog, in order. Each handler gets the dialog and must close it.
class ModalAnswers {
  public:
    ModalAnswers();
    ~ModalAnswers();
    void Then(std::function<void(QWidget*)> handler);
    // Clicks a standard button of the next message box and records its text.
    void Press(QMessageBox::StandardButton button);
    const QStringList& Texts() const { return texts_; }
    int Pending() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
    QStringList texts_;
};

// A game record that starts from an EPD position.
quorel::chess::TGameRecord GameFromEPD(const std::string& epd);

// Drags the piece of square from to square to with the mouse.
void Drag(quorel::ui::TChessDiagram* board, int from, int to);

} // namespace uitest
