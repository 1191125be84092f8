#pragma once
// The game list's rows without a window: one row per game file of the games
// folder with its site, event and round, players, result, whose turn it is
// and the date of the last move; the in-play filter; the status text.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "chess/gamerecord.h"

namespace quorel::ui {

namespace fs = std::filesystem;

// Character widths of the six padded columns (the date is not padded).
inline constexpr int kGameListWidths[6] = {10, 30, 20, 20, 10, 4};

// text padded with blanks or cut to exactly width characters (UTF-8 code
// points, so a name with accents keeps its column).
std::string PadOrCut(std::string_view text, int width);

// "Yes" when the game is in play ("*") and the player (by e-mail address,
// compared exactly) has White with an even MoveCount or Black with an odd
// one.
bool IsMyTurn(const chess::TGameRecord& rec, std::string_view email);

// The date column: with SendDates set and at least one move, the Replied
// date of the last move record; otherwise fileDate (the file's modification
// date). Formatted "mm.dd.yy".
std::string GameListDate(const chess::TGameRecord& rec, double fileDate);

// The row text: six padded columns each followed by a tab, then the date and
// a final tab.
std::string GameListRowText(const chess::TGameRecord& rec, bool myTurn, std::string_view date);

struct TGameListRow {
    std::string Text;
    std::string FileName; // without folder
};

struct TGameListScan {
    std::vector<TGameListRow> Rows; // sorted by text
    int Total = 0;                  // "*.qrl" files seen
    int Errors = 0;                 // unreadable or not valid
};

// Refresh: every "*.qrl" of gamesFolder (letter case ignored), with the
// in-play filter when inPlayOnly.
TGameListScan ScanGamesFolder(const fs::path& gamesFolder, bool inPlayOnly, std::string_view email);

// The modification date of a file as a local day count (0 when unknown).
double FileModificationDate(const fs::path& path);

// Deletes a game file and its notes file (same name, extension ".TXT") from
// the games folder; failures are not reported.
void DeleteGameFiles(const fs::path& gamesFolder, std::string_view fileName);

} // namespace quorel::ui
