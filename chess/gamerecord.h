#pragma once
// The game record and its game file: a 676-byte header followed by up to 400
// move records of 42 bytes, little-endian, written byte for byte; the notes
// file beside it; the bulk header reader of the game list; default file
// names; thinking time; and the conversion of previous-format files.
//
// Text members are UTF-8; they are converted to and from Windows-1252 at the
// file boundary and cut to their capacity (in bytes after conversion) when
// written. Nothing here shows a window: failures come back as TUserMessage
// values whose Key is the language-table key the caller shows.
#include "chess/position.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::chess {

namespace fs = std::filesystem;

constexpr size_t kGameHeaderSize = 676;
constexpr size_t kMaxMoveRecords = 400;
constexpr size_t kGameRecordSize = kGameHeaderSize + kMaxMoveRecords * TMoveRecord::kSize; // 17476
constexpr size_t kOldGameFileSize = 2745; // the previous format's fixed block
constexpr const char* kGameFileVersion = "QRL300";
constexpr const char* kOldGameFileMark = "QUOREL";

// A message for the player: Before + text of Key (from the window's language
// table; Key empty = no table text) + After. Keys begin with "@".
struct TUserMessage {
    std::string Key;    // "@DataFileNotValid", … or "" for a literal text
    std::string Before; // variable part shown before the key's text (e.g. a count)
    std::string After;  // variable part appended after the key's text (e.g. " : path")
    bool operator==(const TUserMessage&) const = default;
};
// English text of a key used by this module ("" for an unknown key).
std::string EnglishText(std::string_view key);
// The message in English: Before + EnglishText(Key) + After.
std::string EnglishMessage(const TUserMessage& m);

// One game: header fields by their file names, then 400 move-record slots.
struct TGameRecord {
    std::string Version;                   // 0: string[6], "QRL300" in every valid file
    std::string Event;                     // 7: string[40]
    std::string Site;                      // 48: string[40]
    std::string Date;                      // 89: string[40], free text (the tag date)
    std::string Round;                     // 130: string[2]
    std::string White;                     // 133: string[40], White's name
    std::string Black;                     // 174: string[40], Black's name
    std::string Result;                    // 215: string[10]; saved as "*" when empty
    std::string WhiteAddress;              // 226: string[80], White's e-mail address
    std::string BlackAddress;              // 307: string[80], Black's e-mail address
    std::string WhiteElo;                  // 388: string[4]
    std::string BlackElo;                  // 393: string[4]
    std::string ECO;                       // 398: string[10]
    std::string WhiteCountry;              // 409: string[3]
    std::string BlackCountry;              // 413: string[3]
    uint8_t SetupPosition = 0;             // 417: 1 = the game starts from a set-up position
    std::string SetupEPD;                  // 418: string[89], EPD of the set-up start position
    uint8_t SetupWhiteFirst = 0;           // 508: 1 = White moves first in the set-up position
    TBoardRecord Board{};                  // 509: board record of the position at CurrentPly
    uint16_t MoveCount = 0;                // 543: number of move records, 0..400
    uint16_t CurrentPly = 0;               // 545: the half-move shown, 0..MoveCount
    std::array<uint8_t, 10> Reserved547{}; // 547: kept as read, zero in new records
    uint8_t NotationFormat = 0;            // 557: 0 PGN standard .. 4 ICCF algebraic
    uint8_t SendDates = 0;                 // 558: 1 = date register in messages
    uint8_t Reserved559 = 0;               // 559: carried over from old files
    uint8_t SendDiagram = 0;               // 560: 1 = board diagram in messages
    uint8_t MoveListLanguage = 0;          // 561: 0 English .. 4 French piece letters
    uint8_t BoardReversed = 0;             // 562: 1 = Black at the bottom
    uint8_t SendSignature = 0;             // 563: 1 = append the signature file
    uint8_t SendGameFile = 0;              // 564: 1 = attach the game file
    std::array<uint8_t, 10> Reserved565{}; // 565: kept as read, zero in new records
    std::string IfMove;                    // 575: string[100], "if move" / comment text
    std::array<TMoveRecord, kMaxMoveRecords> Moves{}; // slot i holds record k = i + 1

    // Record k (1..400), the system's numbering. k outside 1..400 throws std::out_of_range.
    TMoveRecord& Move(int k);
    const TMoveRecord& Move(int k) const;

    // Back to the zeroed record (every field empty or 0, Board all zero).
    void Clear() { *this = TGameRecord{}; }
    // A new game: the zeroed record with the initial position in Board.
    static TGameRecord NewGame();

    // Makes every text what the file would hold: Windows-1252 characters only
    // (others transliterated, Utf8ToCp1252) and at most its capacity in bytes
    // (GetData's cut).
    void CutToCapacity();
    // True when some text holds characters outside Windows-1252, which the
    // game file keeps only transliterated ("Łukasz" is saved as "Lukasz").
    bool HasTextOutsideCodePage() const;

    // The file image: header and records 1..MoveCount (MoveCount cut to
    // 400). Version, Result ("*" when empty) are written as they are here.
    std::string ToFileBytes() const;
    // The 676 header bytes alone.
    std::string HeaderBytes() const;
    // Reads the header from 676 bytes at p (no validation; strings honour
    // their length byte, never read past capacity).
    void HeaderFromBytes(const uint8_t* p);
};

// ---------------------------------------------------------------------------
// Whose move. White is to move at ply p when p is even, or odd in a set-up
// game where Black moved first (SetupPosition 1, SetupWhiteFirst 0).
bool WhiteToMoveAt(const TGameRecord& rec, int ply);
// White is to move at rec.CurrentPly.
bool WhiteToMove(const TGameRecord& rec);
// Record k is White's (the same rule applied to k − 1).
bool IsWhitesRecord(const TGameRecord& rec, int k);
// Full moves of MoveCount half-moves: MoveCount div 2, plus 1 when odd.
int FullMoveCount(int moveCount);

// ---------------------------------------------------------------------------
// Game files. gamesFolder is the games folder; fileName may carry a folder
// part, which is dropped (files are always taken from the games folder).
// Names are looked up without regard to letter case.

// The path a game file name stands for in the games folder: the existing entry
// whose name matches without case, else folder / name. Folder parts of
// fileName are dropped.
fs::path GameFilePath(const fs::path& gamesFolder, std::string_view fileName);

struct TLoadResult {
    bool Ok = false;
    fs::path Path;                      // full path of the file (also on failure)
    std::vector<TUserMessage> Messages; // on failure: "@DataFileNotValid", " : " + path
};
// LoadFromFile: clears rec, reads the header and MoveCount move records,
// reduces dates of an earlier version (whole part above 693594) by 693594.
// Refused (rec holds what was read) when the file is missing or short, the
// Version is not exactly "QRL300", or MoveCount is above 400. A CurrentPly
// above MoveCount is taken as MoveCount.
TLoadResult LoadFromFile(const fs::path& gamesFolder, std::string_view fileName, TGameRecord& rec);
// The same on bytes already in memory (path only names the file in messages).
TLoadResult LoadFromBytes(std::string_view bytes, const fs::path& path, TGameRecord& rec);

struct TSaveResult {
    bool Ok = false;
    fs::path Path;      // the game file written (existing name kept when it matched without case)
    fs::path NotesPath; // the notes file written
    std::string Error;  // system's reason on failure ("" on success)
    std::vector<TUserMessage> Messages; // on failure: "@ErrorWrittingToFile"
};
// SaveToFile: sets rec.Version to "QRL300", writes the game file (header then
// records 1..MoveCount) and the notes file (notes text, lines written in
// Windows-1252 with CR LF) each through an atomic replace: on any failure the
// old files stay as they were and the result carries "@ErrorWrittingToFile".
// The caller copies its window fields into rec first (GetData) and clears its
// modified flag only when Ok.
TSaveResult SaveToFile(const fs::path& gamesFolder, std::string_view fileName, TGameRecord& rec,
                       std::string_view notes);

// The notes file of a game file: same name, extension ".TXT" (an existing
// name that matches without case is used instead).
fs::path NotesFilePath(const fs::path& gamesFolder, std::string_view gameFileName);
// Reads the notes file into notes (UTF-8, LF line ends); creates it empty when
// missing. False with "@TextFileNotLoaded" in message when it cannot be read.
bool LoadNotesFile(const fs::path& gamesFolder, std::string_view gameFileName, std::string& notes,
                   TUserMessage* message = nullptr);
// Save as: the notes of oldName are carried over to newName (the new notes
// file is deleted if present, then the old one copied to it). False when the
// copy fails; a missing old notes file is no failure.
bool CarryNotesOver(const fs::path& gamesFolder, std::string_view oldName,
                    std::string_view newName);

// Read game header (the game list's and PGN export's bulk reader): the header
// and MoveCount records, no date conversion. On failure message gets plain
// English: "Error loading file : NAME" or "Data file not valid : NAME".
bool ReadGameHeader(const fs::path& gamesFolder, std::string_view fileName, TGameRecord& rec,
                    std::string* message = nullptr);

// Is game file: true exactly when the first 7 bytes are the previous-format
// mark string[6] "QUOREL". A failed read sets message to "Error Loading : NAME".
bool IsGameFile(const fs::path& gamesFolder, std::string_view fileName,
                std::string* message = nullptr);

// Default game file name: "WHITE - BLACK (n).QRL" in upper case, n the first
// number whose file does not exist in the games folder (checked without case).
// Empty names become "Unknown"; ",", ".", "/", "\" and control characters
// become blanks; each name is cut to 40 characters. Returned without folder.
std::string DefaultGameFileName(const fs::path& gamesFolder, std::string_view white,
                                std::string_view black);

// Copies source to destination in blocks of 2048 bytes; false on any failure.
bool CopyFile(const fs::path& source, const fs::path& destination);

// ---------------------------------------------------------------------------
// Thinking time, in days.
// Julian day number of the calendar day of a date (time of day ignored); a
// date that is not finite or lies outside years 1..9999 counts as day 0.
long DayNumberOf(double date);
// Time of record k: day number(Replied) − day number(Received) + Penalization (may be negative).
long MoveThinkingTime(const TGameRecord& rec, int k);
// As shown: at least 0.
long ShownMoveThinkingTime(const TGameRecord& rec, int k);
struct TThinkingTotals {
    long White = 0; // sum of White's records' times, unclamped
    long Black = 0; // sum of Black's records' times, unclamped
    long ShownWhite() const { return White < 0 ? 0 : White; }
    long ShownBlack() const { return Black < 0 ? 0 : Black; }
};
// Totals over records 1..MoveCount by whose record each is.
TThinkingTotals ThinkingTotals(const TGameRecord& rec);

// Earlier-version dates: whole part above 693594 → reduced by 693594.0.
double ConvertOldDate(double date);

// ---------------------------------------------------------------------------
// Previous-format files.
// Builds the new file image (header + MoveCount records) from the 2745-byte
// block of a previous-format file. False when the block is short, not marked
// "QUOREL", or claims more than 200 half-moves.
bool ConvertOldGameBytes(std::string_view oldBytes, std::string& newBytes);
// Import old files: converts every "*.qrl" of the games folder that is in the
// previous format, keeping the old content as NAME.old. messages gets, in
// order, "Old QRL file version : NAME" per file (and "Data file not valid :
// NAME" for a file that cannot be converted), then "@OldFilesNotFound" or
// "N " + "@GamesImportedMessage". Returns the number of files converted.
int ImportOldFiles(const fs::path& gamesFolder, std::vector<TUserMessage>& messages);

} // namespace quorel::chess
