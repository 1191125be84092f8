#pragma once
// What every window of the run needs from the frame: folders and the
// player's settings (filled by the frame at start-up from the settings
// record, or by tests), and the dialogs that other windows provide.
#include <QColor>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "chess/gamerecord.h"

class QWidget;

namespace quorel {
class TShellSession;
}

namespace quorel::ui {

struct TAppContext {
    QString programFolder; // settings, lastgame.lst, clipbrd.pgn
    QString gamesFolder;   // game files
    QString profile = QStringLiteral("quorel");
    bool debugMode = false;

    // The player (settings "User Name", "Email Address", "User_Country").
    QString userName, emailAddress, userCountry;

    // Board and frame look.
    bool displayCoordinates = true;
    bool colouredButtons = true;
    QColor lightColor{255, 255, 255};
    QColor darkColor{128, 128, 128};
    QColor backgroundColor{0, 128, 128};
    bool useBitmapSquares = false;
    QString lightBitmap, darkBitmap;

    // Engine analysis (section REBEL): the engine program's full path, the
    // engine kind (0 Rebel Decade 2.0, 1 Rebel 9), the hash size index 0..6
    // and the polling period of the game windows' analysis timer.
    QString enginePath;
    int engineVersion = 0;
    int engineHashSize = 0;
    int engineRefreshMs = 1000;

    // The frame's session (settings, address book, mailbox) while the
    // program runs; null in tests that build windows alone.
    TShellSession* session = nullptr;
};

// The run's context (one per process).
TAppContext& AppContext();

// An address-book entry as the game window shows it on the Bio page.
struct TBioData {
    QString name, email, address, city, state, zip, country, notes;
    QString photoFile; // empty: the built-in "UNKNOWN" picture
};

// Entry chosen in the address book (name, e-mail address, country code).
struct TAddressPick {
    QString name, email, country;
};

// Dialogs that live in other parts of the program. A hook left unset means
// the command is not offered (its menu entry or button is hidden).
struct TDialogHooks {
    // File / Open a game...: the game list; returns the chosen file names.
    std::function<QStringList(QWidget* parent)> selectGames;
    // File / Import games from PGN file...
    std::function<void(QWidget* parent)> importPgnGames;
    // File / Config...: the settings dialog (true on OK).
    std::function<bool(QWidget* parent)> configure;
    // Address book window (frame menu).
    std::function<void(QWidget* parent)> addressBook;
    // Address book as a picker (game window's White / Black buttons).
    std::function<bool(QWidget* parent, TAddressPick& chosen)> pickAddress;
    // Countries list; on OK the chosen line (its first three characters are
    // the country code).
    std::function<bool(QWidget* parent, QString& line)> pickCountry;
    // PGN game picker on a file: converts the chosen game into out.
    std::function<bool(QWidget* parent, const QString& pgnFile, chess::TGameRecord& out)>
        pickPgnGame;
    // The PGN file the game window's import from a file shows (the picker's
    // last file, or one chosen by the player); "" = cancelled. Unset: the
    // game window asks with a file dialog.
    std::function<QString(QWidget* parent)> choosePgnFile;
    // Address-book entry look-up by e-mail address (Bio page).
    std::function<std::optional<TBioData>(const QString& email)> findBio;
    // Entry editor: edits the entry of email (add = a new entry with name
    // and email); true when it was stored.
    std::function<bool(QWidget* parent, const QString& name, const QString& email, bool add)>
        editBioEntry;
    // Help / About...
    std::function<void(QWidget* parent)> about;
};

TDialogHooks& DialogHooks();

} // namespace quorel::ui
