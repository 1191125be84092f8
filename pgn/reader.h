#pragma once
// The PGN reader (TPGNReader): a line scanner that finds the games of a PGN
// file, keeps the tags of the current game, collects its movetext lines and
// converts them into the game record by handing each move to the move
// library QRLPGN32 through its exports.
//
// The file is read through a fixed buffer, one line at a time; only the
// current game is held, so a file of any size is scanned with the same
// memory (see kMaxLineBytes and kMaxMovetextBytes). Tag values are UTF-8 (a
// value that is not valid UTF-8 is taken as Windows-1252); movetext lines are
// kept as read.
#include "chess/gamerecord.h"
#include "chess/position.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::pgn {

namespace fs = std::filesystem;

// Tokens that end a game's movetext without an error box, compared exactly.
inline constexpr std::array<std::string_view, 5> ResultTokens = {"1-0", "0-1", "#", "*", "1/2-1/2"};
bool IsResultToken(std::string_view token);

// A move the library refused; the message is the library's error text.
class PGNtoQRLexception : public std::exception {
  public:
    explicit PGNtoQRLexception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// Text of a QRLgetTRVGerrno number: 0 "No error" .. 5 "Invalid piece type";
// any other number gives "".
std::string LibraryErrorText(int error);

// Widths of the reader's tag fields, in characters.
struct TagWidths {
    static constexpr size_t Event = 80, Site = 80, Date = 80, Round = 10, White = 80, Black = 80,
                            Result = 10, ECO = 10, WhiteNA = 80, BlackNA = 80, WhiteELO = 4,
                            BlackELO = 4, WhiteCountry = 20, BlackCountry = 20, FEN = 89;
};

// Memory the reader holds for one game, whatever the file: a line longer than
// kMaxLineBytes is read as several lines of that length, and movetext beyond
// kMaxMovetextBytes (after comments, variations and NAGs are taken out) is
// scanned but not kept. A game needs a few kilobytes of either: its 400
// half-moves come first.
inline constexpr size_t kMaxLineBytes = size_t(1) << 20;
inline constexpr size_t kMaxMovetextBytes = size_t(1) << 20;

// The message shown when the file ends inside a tag section.
inline constexpr const char* kEndOfFileInTagsText = "Fin del fichero";
// Said once for a game whose movetext holds more half-moves than the record.
inline constexpr const char* kTooManyHalfMovesText =
    "Game too long: only the first 400 half-moves were imported";

// The comment and variation state that StripAnnotations carries from one
// movetext line to the next.
struct TStripState {
    bool InComment = false; // inside { }
    int VariationDepth = 0; // nesting of ( )
    bool Clean() const { return !InComment && VariationDepth == 0; }
};

class TPGNReader {
  public:
    // Creates the reader with empty tags (ResetTags).
    TPGNReader();
    ~TPGNReader();
    TPGNReader(const TPGNReader&) = delete;
    TPGNReader& operator=(const TPGNReader&) = delete;

    // Stores the name and opens the file for reading from its start, with no
    // pending line. False when it cannot be opened (then no file is open).
    bool OpenFile(const fs::path& fileName);
    void CloseFile();
    bool IsOpen() const { return file_ != nullptr; }

    // Reads the next game: its tags and, with readMoves, its movetext lines
    // (filtered by StripAnnotations; at most kMaxMovetextBytes of them).
    // False at the end of the file, when the file ends inside a tag section
    // (OnMessage gets "Fin del fichero"), or when Cancel was set. Both values
    // of readMoves step over the same lines, so game numbers agree between a
    // listing and a load.
    bool ReadNextGame(bool readMoves);

    // Rewinds to the start and reads N games; true when N games were read
    // (N below 1: true at once). The N-th game's tags and lines remain.
    bool SeekGame(long count, bool readMoves);

    // Converts the stored tags and movetext into GameRecord: every move up to
    // the first token the library refuses, at most 400. Always true; a
    // refused token other than a result sets ParseError to the error box
    // text, a game cut at 400 half-moves sets Notice.
    bool BuildGameRecord();

    // Empties every tag, sets the eight roster tags and ECO to "?", empties
    // the movetext lines.
    void ResetTags();

    // Removes comments ({ } across lines, ; to the end of the line),
    // variations (( ), nested and across lines), every "!" and "?", and every
    // NAG ($ and its digits) from one movetext line. A removed comment,
    // variation or NAG leaves a blank so that the moves on both sides stay
    // apart; tabs become blanks.
    static std::string StripAnnotations(std::string_view line, TStripState& state);

    // The value of a tag line: the characters after its first double quote
    // up to, not including, the line's last two characters ("" when there
    // are none).
    static std::string TagValue(std::string_view line);

    // Plays token on the library (with positionText as the start position
    // when not empty) and builds its move record from the library's result,
    // the token and the mirror position, which it advances. Throws
    // PGNtoQRLexception with the library's error text when refused.
    chess::TMoveRecord ApplySanMove(const std::string& positionText, const std::string& token);

    // Writes the movetext lines to programFolder/pgn.log (CR LF); false on a
    // write error.
    bool WriteParseLog(const fs::path& programFolder) const;

    // Bytes consumed so far and the file's size (for progress).
    uint64_t BytesRead() const { return consumed_; }
    uint64_t FileSize() const { return fileSize_; }

    // --- state -------------------------------------------------------------
    fs::path FileName;
    std::string Event, Site, Date, Round, White, Black, Result, ECO, WhiteNA, BlackNA, WhiteELO,
        BlackELO, WhiteCountry, BlackCountry, FEN;
    chess::TGameRecord GameRecord;
    std::vector<std::string> MovetextLines;

    // Set by BuildGameRecord: the error box text ("Error parsing " CR
    // "Move Num   : " n CR "Move       : [" token "]"), "" when none.
    std::string ParseError;
    // Set by BuildGameRecord when the game was cut to 400 half-moves.
    std::string Notice;
    // Debug mode: BuildGameRecord writes pgn.log into ProgramFolder on a
    // parse failure.
    bool DebugMode = false;
    fs::path ProgramFolder;
    // Messages the reader shows ("Fin del fichero"); ignored when empty.
    std::function<void(const std::string&)> OnMessage;
    // When set and true, ReadNextGame stops and returns false.
    const std::atomic<bool>* Cancel = nullptr;

  private:
    bool ReadLine(std::string& line);
    bool AtEnd();
    bool Fill();
    void StoreTag(std::string_view line);

    std::FILE* file_ = nullptr;
    std::vector<char> buf_;
    size_t pos_ = 0, len_ = 0;
    bool eof_ = false;
    uint64_t consumed_ = 0, fileSize_ = 0;
    bool hasPending_ = false;
    std::string pending_;
    std::string line_;
    // The mirror position: piece codes by square (rank * 10 + file) and the
    // side to move; set from the standard position or the FEN text.
    std::array<uint8_t, 78> mirror_{};
    bool mirrorWhite_ = true;
    // Move-record slots that the last conversion may have filled.
    int slotsUsed_ = int(chess::kMaxMoveRecords);
};

} // namespace quorel::pgn
