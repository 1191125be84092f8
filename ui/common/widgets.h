#pragma once
// Small widget helpers shared by the windows: named labels and buttons (the
// language tables find widgets by objectName), the grey tool-bar icons of the
// "coloured buttons" setting, and the overwrite-or-append question.
#include <QIcon>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace quorel::ui {

QLabel* NamedLabel(QWidget* parent, const char* name, const char* text);
// A button that never becomes the dialog's default by gaining focus.
QPushButton* NamedButton(QWidget* parent, const char* name, const char* text);

// The icon drawn in grey, for a run without coloured buttons.
QIcon GreyIcon(const QIcon& icon);

// The overwrite-or-append choice for an existing target file ("Append" is
// the default, and closing the box appends too); true for "Overwrite file".
// The box is named "OverwriteOrAppend" so tests can answer it.
bool AskOverwriteOrAppend(QWidget* parent, const QString& title, const QString& shown,
                          const QString& overwriteText, const QString& appendText);

} // namespace quorel::ui
