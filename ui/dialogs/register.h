#pragma once
// Fills the program's dialog hooks (ui/common/appcontext.h) with the
// windows of this folder: the game list, the PGN picker and its import
// commands, the settings dialog, the address book, its entry editor and the
// countries list.
#include <QString>

class QWidget;

namespace quorel::ui {

void RegisterDialogs();

// The PGN file of the last picker showing ("" before the first one): the
// game window's "Import game record from PGN file" shows that file's list
// again instead of asking for a file (the picker's "New PGN file" chooses
// another). ChoosePgnFile gives that file, or asks for one with the file
// dialog; "" when the player cancels. needRefresh tells whether the file is
// a new choice.
QString ChoosePgnFile(QWidget* parent, bool* needRefresh);

} // namespace quorel::ui
