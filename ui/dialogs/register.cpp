#include "ui/dialogs/register.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"
#include "ui/dialogs/addressdialog.h"
#include "ui/dialogs/configdialog.h"
#include "ui/dialogs/dlgutil.h"
#include "ui/dialogs/selectdialog.h"
#include "ui/dialogs/selectpgn.h"
#include "ui/frame/mainform.h"
#include "ui/game/gamewindow.h"

namespace quorel::ui {

TMainForm* FrameOf(QWidget* w) {
    for (QWidget* p = w; p; p = p->parentWidget())
        if (auto* frame = qobject_cast<TMainForm*>(p)) return frame;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* frame = qobject_cast<TMainForm*>(top)) return frame;
    return nullptr;
}

namespace {

TAddressBook* RunBook() {
    TShellSession* session = AppContext().session;
    if (!session || !session->AddressBook().IsOpen()) return nullptr;
    return &session->AddressBook();
}

bool IsClipboardFile(const QString& file) {
    const QString clip = QDir(AppContext().programFolder).filePath(QStringLiteral("clipbrd.pgn"));
    return QFileInfo(file).absoluteFilePath() == QFileInfo(clip).absoluteFilePath();
}

// Shows the picker modally. It belongs to the frame (so that it lives for
// the run, whichever game window asked for it), or to parent without one.
int ShowPicker(TSelectPGN& picker, QWidget* parent) {
    QWidget* owner = FrameOf(parent);
    if (!owner) owner = parent;
    if (owner && picker.parentWidget() != owner)
        picker.setParent(owner, picker.windowFlags() | Qt::Dialog);
    return picker.exec();
}

QStringList SelectGames(QWidget* parent) {
    TSelectDialog dialog(parent);
    TShellSession* session = AppContext().session;
    if (session) dialog.SetInPlayOnly(session->Settings().ListOnlyGamesInPlay);
    TMainForm* frame = FrameOf(parent);
    dialog.isOpen = [frame](const QString& file) {
        return frame && frame->FindGameWindow(file) != nullptr;
    };
    dialog.RefreshList();
    const bool ok = dialog.exec() == QDialog::Accepted;
    // The filter is kept for the run and written at exit.
    if (session) session->Settings().ListOnlyGamesInPlay = dialog.InPlayOnly();
    return ok ? dialog.SelectedFiles() : QStringList();
}

void ImportPgnGames(QWidget* parent) {
    TSelectPGN& picker = PgnPicker();
    bool refresh = true;
    const QString file = ChoosePgnFile(parent, &refresh);
    if (file.isEmpty()) return;
    picker.PGNFileName = file;
    picker.NeedRefresh = refresh;
    picker.OpenInNewWindow = true;
    ShowPicker(picker, parent);
}

bool PickPgnGame(QWidget* parent, const QString& pgnFile, chess::TGameRecord& out) {
    TSelectPGN& picker = PgnPicker();
    // The same file as last time shows its list as it was; the clipboard
    // file is new every time.
    const bool same =
        !picker.PGNFileName.isEmpty() &&
        QFileInfo(picker.PGNFileName).absoluteFilePath() == QFileInfo(pgnFile).absoluteFilePath() &&
        !IsClipboardFile(pgnFile) && !picker.Rows().empty();
    picker.PGNFileName = pgnFile;
    picker.NeedRefresh = !same;
    picker.OpenInNewWindow = false;
    const bool ok = ShowPicker(picker, parent) == QDialog::Accepted && picker.Reader().IsOpen();
    if (ok) out = picker.Reader().GameRecord;
    picker.Reader().CloseFile();
    return ok;
}

bool Configure(QWidget* parent) {
    TShellSession* session = AppContext().session;
    if (!session) return false;
    TConfigDialog dialog(*session, parent);
    return dialog.exec() == QDialog::Accepted;
}

void AddressBook(QWidget* parent) {
    TAddressBook* book = RunBook();
    if (!book) return;
    TAddressDialog dialog(*book, parent);
    dialog.exec();
}

bool PickAddress(QWidget* parent, TAddressPick& chosen) {
    TAddressBook* book = RunBook();
    if (!book) return false;
    TAddressDialog dialog(*book, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    const TAddressRecord r = book->Buffered();
    chosen.name = QU(r.Name);
    chosen.email = QU(r.Email);
    chosen.country = QU(r.Country);
    return true;
}

bool PickCountry(QWidget* parent, QString& line) {
    TCountriesListDialog dialog(parent);
    dialog.Select(line);
    if (dialog.exec() != QDialog::Accepted) return false;
    line = dialog.Chosen();
    return !line.isEmpty();
}

bool EditBioEntry(QWidget* parent, const QString& name, const QString& email, bool add) {
    TAddressBook* book = RunBook();
    if (!book) return false;
    TAddressRecord r;
    long n = add ? 0 : book->FindByEmail(SU(email.trimmed()), &r);
    if (n == 0) {
        r = TAddressRecord{};
        r.Name = SU(name);
        r.Email = SU(email.trimmed());
    }
    TEditAddressDialog editor(parent);
    editor.SetRecord(r);
    if (editor.exec() != QDialog::Accepted) return false;
    return n > 0 ? book->Update(n, editor.Record()) : book->Add(editor.Record()) > 0;
}

} // namespace

QString ChoosePgnFile(QWidget* parent, bool* needRefresh) {
    const QString previous = PgnPicker().PGNFileName;
    if (!previous.isEmpty() && QFileInfo::exists(previous) && !IsClipboardFile(previous)) {
        if (needRefresh) *needRefresh = PgnPicker().Rows().empty();
        return previous;
    }
    const QString file = QFileDialog::getOpenFileName(
        parent, LangText(QStringLiteral("TSelectPGN"), QStringLiteral("@OpenPGNTitle")),
        AppContext().programFolder, QStringLiteral("PGN files (*.pgn *.PGN);;ALL files (*)"));
    if (needRefresh) *needRefresh = true;
    return file;
}

void RegisterDialogs() {
    TDialogHooks& hooks = DialogHooks();
    hooks.selectGames = SelectGames;
    hooks.importPgnGames = ImportPgnGames;
    hooks.pickPgnGame = PickPgnGame;
    hooks.choosePgnFile = [](QWidget* parent) { return ChoosePgnFile(parent, nullptr); };
    hooks.configure = Configure;
    hooks.addressBook = AddressBook;
    hooks.pickAddress = PickAddress;
    hooks.pickCountry = PickCountry;
    hooks.editBioEntry = EditBioEntry;
}

} // namespace quorel::ui
