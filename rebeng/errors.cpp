#include "rebeng/errors.h"

namespace quorel::rebeng {

std::string ErrorText(int error) {
    switch (error) {
    case kOk:
        return "No error";
    case kNoInstance:
        return "No engine instance";
    case kBadState:
        return "Operation not valid in the current mode or state";
    case kTooManyInstances:
        return "Too many engine instances";
    case kEngineNotFound:
        return "Engine program not found or not executable";
    case kEngineNotUci:
        return "The engine program is not a UCI engine";
    case kEngineDied:
        return "The engine program died";
    case kEngineNoAnswer:
        return "The engine program does not answer";
    case kPgnUnreadable:
        return "Cannot read the PGN file";
    case kPgnBad:
        return "Bad PGN: the game in the file cannot be played";
    case kEpdBad:
        return "Bad EPD: the text is not a position";
    case kOutputUnwritable:
        return "Cannot write the analysis file";
    case kNoResult:
        return "No analysis available";
    case kBadArgument:
        return "Bad argument";
    case kNothingToAnalyse:
        return "No moves to analyse in the PGN file";
    default:
        return "";
    }
}

} // namespace quorel::rebeng
