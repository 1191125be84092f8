#pragma once
// Message boxes of the program: the standard buttons carry the texts of the
// run's language (table TMessageBox) rather than the toolkit's own.
#include <QMessageBox>

namespace quorel::ui {

// Asks with the given buttons; returns the button pressed (Cancel/Escape
// when the box is closed otherwise).
QMessageBox::StandardButton Ask(QWidget* parent, const QString& title, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton,
                                QMessageBox::Icon icon = QMessageBox::Question);

// Shows a message with an OK button.
void Tell(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text);

// Asks for one line of text (a file name, an EPD): the OK and Cancel buttons
// carry the run's language and the field is wide enough to show the offered
// text whole. ok tells whether the player pressed OK.
QString AskText(QWidget* parent, const QString& title, const QString& label, const QString& offered,
                bool* ok);

// Gives the standard buttons of box the texts of the run's language.
void TranslateButtons(QMessageBox& box);

} // namespace quorel::ui
