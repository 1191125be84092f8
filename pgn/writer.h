#pragma once
// The PGN writer: a game record as PGN game text (the seven roster tags, an
// optional FEN tag and the moves in SAN with plain move numbers), and the
// three targets that write it: a file export with overwrite or append, the
// clipboard file, and the game list's export of several game files.
//
// Text is built in UTF-8 with CR LF line ends and written in Windows-1252.
// Every write failure is reported (result false and the system's reason);
// an overwritten file is replaced in one step, never left half-written.
#include "chess/gamerecord.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::pgn {

namespace fs = std::filesystem;

// "First Last" -> "Last, First": a name with a blank and no comma is
// rearranged at its first blank; any other name is returned unchanged.
std::string PGNPlayerName(std::string_view name);

// The PGN game text of rec, every line ending in CR LF; white and black are
// the names written (through PGNPlayerName). Moves are written with English
// piece letters whatever the record's MoveListLanguage; an empty Date is
// written "????.??.??".
std::string PGNGameText(const chess::TGameRecord& rec, std::string_view white,
                        std::string_view black);
// The same with the record's own names.
std::string PGNGameText(const chess::TGameRecord& rec);

struct TWriteResult {
    bool Ok = false;
    std::string Error; // the system's reason when !Ok
};

// The game window's export: the game text and one empty line, to path.
// overwrite: the file is replaced as a whole (created when missing);
// otherwise the text is appended to its end (created when missing).
TWriteResult ExportGameToFile(const fs::path& path, const chess::TGameRecord& rec,
                              std::string_view white, std::string_view black, bool overwrite);

// The clipboard export: programFolder/clipbrd.pgn holds exactly the game
// text. clipboardText (optional) gets the text for the system clipboard.
TWriteResult WriteClipboardFile(const fs::path& programFolder, const chess::TGameRecord& rec,
                                std::string_view white, std::string_view black,
                                std::string* clipboardText = nullptr);

// The game list's export: each game file (loaded from gamesFolder with the
// bulk header reader) as an empty line and its game text; a file that cannot
// be loaded is left out with the loader's message in messages. The closing
// message "N games exported" (N = the number of names given) is appended last.
struct TListExportResult {
    TWriteResult Write;
    int Exported = 0; // games written
    std::vector<std::string> Messages;
};
// The text alone (for standard output); Write.Ok is true.
TListExportResult ListExportText(const fs::path& gamesFolder,
                                 const std::vector<std::string>& fileNames, std::string& text);
TListExportResult ListExportToFile(const fs::path& gamesFolder,
                                   const std::vector<std::string>& fileNames,
                                   const fs::path& target, bool overwrite);

// PGN text (UTF-8) as the bytes written to files: Windows-1252.
std::string PGNTextBytes(std::string_view utf8);
// Writes PGN text to path: replaced as a whole, or appended (created when
// missing).
TWriteResult WritePGNText(const fs::path& path, std::string_view utf8, bool overwrite);

// Plain text of the closing message.
std::string GamesExportedText(int selected);

} // namespace quorel::pgn
