#pragma once
// The game window's engine analysis without a window: the engine file that
// carries the game to the engine (CreateRebelPGNFile), the banner lines and
// last-move description of the analysis text, the hint taken from an
// analysis line and its two squares, the marked moves, the report file name,
// and the configuration of the binding from the settings. The window wires
// its memo, hint label, board marks and timer to these.
#include "chess/gamerecord.h"
#include "chess/position.h"
#include "engine/rebelengine.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::engine {

namespace fs = std::filesystem;

// Literal texts of the analysis.
inline constexpr const char* kAllMovesLine = "[Event \"ALL\"]";
inline constexpr const char* kMarkText = "{*} ";
inline constexpr const char* kNoMovesText = "*";
inline constexpr const char* kGameBeginText = "Game begin";
inline constexpr const char* kLastMoveText = "Last Move : ";
inline constexpr const char* kAnalyzingText = "Analyzing.....";
inline constexpr const char* kEngineNotFoundText = "REBEL(tm) Engine not found";
inline constexpr const char* kEngineErrorText = "REBEL ENGINE ERROR : ";
inline constexpr const char* kReportCaptionText = "Rebel analysis : ";
inline constexpr const char* kNoAnalysisText = "No analysis available";
inline constexpr const char* kEngineFileName = "QUOREL.PGN";

// The engine file: always the program folder's "QUOREL.PGN", as a full path
// (the engine runs in its own folder, so a relative name would point there;
// and engines often live in folders such as /usr/games that must not get the
// player's files).
fs::path EngineFileName(const fs::path& programFolder);

// The folders where the engine library may be: the program folder, the
// executable's folder, and ../lib and ../share/quorel beside it (an
// installed program). The binding takes the first that holds the library.
std::vector<fs::path> EngineLibraryFolders(const fs::path& programFolder,
                                           const fs::path& executableFolder);

// Step 1 of the start: the engine program's folder made the current folder
// (the binding finds the engine there), and the previous one made current
// again when this object ends. Entered() is false when the folder does not
// exist ("REBEL(tm) Engine not found"); a path without a folder part names
// a program in the current folder or on the PATH and is always entered.
class TEngineFolder {
  public:
    explicit TEngineFolder(const fs::path& enginePath);
    ~TEngineFolder();
    TEngineFolder(const TEngineFolder&) = delete;
    TEngineFolder& operator=(const TEngineFolder&) = delete;
    bool Entered() const { return entered_; }

  private:
    fs::path previous_;
    bool entered_ = false;
    bool changed_ = false;
};

// The engine file's text (UTF-8, CR LF): in ModGame with analyseAll the
// all-moves line; the tag lines of the PGN game text (names through
// PGNPlayerName); an empty line; the movetext of half-moves 1..N (N =
// MoveCount in ModGame, else CurrentPly) numbered and broken as the PGN game
// text, "{*} " after each move annotated "*" in ModGame, ending with a blank
// and the result (" *" when empty); or the single line "*" when CurrentPly is
// 0 outside ModGame.
std::string RebelPGNText(const chess::TGameRecord& rec, REmode mode, bool analyseAll,
                         std::string_view white, std::string_view black);

// The movetext part alone (no line end after the result).
std::string RebelMovetext(const chess::TGameRecord& rec, int count, bool marks);

// What CreateRebelPGNFile did.
struct TEngineFileResult {
    bool Skipped = false;          // a game analysis runs: its file is never rewritten
    bool Written = false;          // the file was written
    std::string Error;             // why it was not written (the system's reason)
    std::vector<std::string> Memo; // lines to add to the analysis text
};

// CreateRebelPGNFile (the window stops its timer around it): does nothing
// while a game analysis is active; otherwise writes the engine file, tells
// the engine (UpdatePGN, which does nothing before a start or in ModGame)
// and returns the analysis-text lines: "", "Game begin", "" at the start of
// the game; "", "Analyzing....." in ModGame; else "", "Last Move : " + the
// last-move description, "". A file that cannot be written gives Written
// false with the reason in Error, no lines, and the engine is not told: it
// must never analyse a position it did not receive. The caller reports the
// failure and neither starts nor keeps the engine on the old file.
TEngineFileResult CreateRebelPGNFile(TRebelEngine& engine, const fs::path& file,
                                     const chess::TGameRecord& rec, std::string_view white,
                                     std::string_view black, bool analysisActive, bool analyseAll);

// The last move: n = (CurrentPly + 1) div 2 and record CurrentPly in English
// SAN; "n.move (Black to play)" when Black is to move, else "n... move (White
// to play)". "" at CurrentPly 0.
std::string LastMoveDescription(const chess::TGameRecord& rec);

// Half-moves 1..MoveCount annotated "*".
int MovesMarked(const chess::TGameRecord& rec);

// The banner of the analysis text: a title naming the engine, an empty line,
// the engine version, hash table size, analysis mode (with the seconds per
// move in ModGame) and refresh interval lines.
std::vector<std::string> BannerLines(const std::string& engineName, int versionSetting,
                                     int hashSetting, REmode mode, bool analyseAll, int movesMarked,
                                     int secsPerPos, int refreshMs);

// The suggested move of an analysis line: "Draw" for a line with "Draw";
// after "Mate … moves" (or "Mate") the next word; otherwise the word after
// the score; each with its trailing blank. "" when the line does not have
// that form.
std::string ExtractHintMove(const std::string& line);

// The from- and to-squares of a hint ("Ng1-f3 ", "e2-e4 ", "e7-e8Q "): a
// leading piece letter B K N Q R is skipped, then two characters, one
// separator, two characters. False when they are not board squares.
bool ParseHintMove(const std::string& hint, chess::Square& from, chess::Square& to);

// One poll of the analysis line (the window's timer): a new line is added
// once; a new hint replaces the marks of the previous one.
struct TPollStep {
    bool AddLine = false; // line is new: add it to the analysis text
    bool NewHint = false; // hint is new: show it
    std::string Hint;
    bool HaveOldSquares = false; // the previous hint's squares to redraw
    chess::Square OldFrom = 0, OldTo = 0;
    bool HaveSquares = false; // squares of the new hint to mark (kinds 1 and 2)
    chess::Square From = 0, To = 0;
};
class TAnalysisPoll {
  public:
    TPollStep Take(const std::string& line);
    // A new analysis: the last line and hint are forgotten.
    void Reset();
    // The position changed (a move, a navigation): the hint and its squares
    // are forgotten, so the next hint is shown and marked even when it is the
    // same move text as before.
    void ForgetHint();
    const std::string& LastLine() const { return lastLine_; }
    const std::string& LastHint() const { return lastHint_; }

  private:
    std::string lastLine_, lastHint_;
    bool haveSquares_ = false;
    chess::Square from_ = 0, to_ = 0;
};

// A new report file name in folder: 5 digits (random below 60000), 3 digits
// (random below 999) and ".ANA", drawn until no such file exists. random(n)
// gives a number in 0..n-1 (the default draws from a random device).
fs::path NewReportFileName(const fs::path& folder, const std::function<int(int)>& random = nullptr);

// The lines of a report file written by the engine (Windows-1252, CR LF) as
// UTF-8 text without line ends; empty when the file cannot be read.
std::vector<std::string> ReadReportLines(const fs::path& file);

// Configures the binding from the settings as the window does before each
// start: DLLPath := the first of libraryFolders holding the library (a
// folder without it is not taken); Path := the engine's folder (tested with
// the EngName held so far); EngName := the engine's file name; Engine :=
// EngR9 for version setting 1, else EngDec2; HashSize := the hash setting
// (outside 0..6: 0).
void ConfigureRebelEngine(TRebelEngine& engine, const std::vector<fs::path>& libraryFolders,
                          const fs::path& enginePath, int versionSetting, int hashSetting);

} // namespace quorel::engine
