#pragma once
// The library's error numbers and their texts (RebelEngineGetErrorText).
// 1 and 2 carry the meanings the engine binding gives its own codes of the
// same numbers, so that its error text reads right either way.
#include <string>

namespace quorel::rebeng {

enum Error : int {
    kOk = 0,
    kNoInstance = 1, // the handle names no engine instance
    kBadState = 2,   // the operation does not apply now
    kTooManyInstances = 3,
    kEngineNotFound = 4,    // the engine program does not exist or cannot run
    kEngineNotUci = 5,      // no "uciok" after "uci"
    kEngineDied = 6,        // the engine program ended on its own
    kEngineNoAnswer = 7,    // no "readyok" / "bestmove" in time
    kPgnUnreadable = 8,     // the PGN file cannot be read
    kPgnBad = 9,            // the game in the PGN file cannot be played
    kEpdBad = 10,           // the EPD text is not a position
    kOutputUnwritable = 11, // the result file cannot be written
    kNoResult = 12,         // no analysis result to write yet
    kBadArgument = 13,      // a missing text or a value out of range
    kNothingToAnalyse = 14, // a game analysis without moves to analyse
};

// The text of an error number; "" for a number the library does not use.
std::string ErrorText(int error);

} // namespace quorel::rebeng
