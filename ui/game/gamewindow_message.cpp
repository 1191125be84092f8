// The game window's "Create message": the game rendered into a new message
// editor, with the game file ready to be attached.
#include <QDir>
#include <QFileInfo>

#include "ui/common/appcontext.h"
#include "ui/editor/editor.h"
#include "ui/game/gamewindow.h"

namespace quorel::ui {

void TForm2::CreateMessageButtonClick() {
    // The fields and the position shown on the board go into the record
    // (GetData copies the board into Board), so the message shows what the
    // player sees.
    GetData();
    // The attached game file must hold the move the message announces: a
    // game changed since its last save (or never saved) is saved first, and
    // no message is written when that save fails or is cancelled.
    if (rec_.SendGameFile == 1 && (modified_ || !HasFile()) && !SaveButtonClick()) return;
    const chess::TGameRecord copy = rec_;
    TEditorDialog* editor = TEditorDialog::Open(this);
    editor->SetGameFile(QDir(AppContext().gamesFolder).filePath(QFileInfo(fileName_).fileName()));
    editor->WriteGame(copy);
}

} // namespace quorel::ui
