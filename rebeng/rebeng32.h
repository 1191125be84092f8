#pragma once
// The C interface of the engine library REBENG32.so: 19 functions looked up
// by name at run time by the engine binding (engine/rebelengine.h) and
// implemented by rebeng/exports.cpp over any UCI chess engine program.
//
// Every integer is 32 bits. Texts are zero-terminated single-byte strings
// owned by the caller for the duration of the call. "handle" is the instance
// number returned by RebelEngineAllocate. Success flags are non-zero on
// success. After every call on an instance, RebelEngineGetError(handle) and
// RebelEngineGetSysError(handle) give the library's error number (0 = none)
// and the system's error number (errno) of the last operation on it.
// The PGN file is read as Windows-1252 (or ASCII) text with the piece letters
// of any move-list language; the result files are written as Windows-1252
// text with CR LF line ends (tag values are copied byte for byte).
#include <cstdint>

extern "C" {

// Version of the library: 0x01020100 .. 0x01020109 are understood by the binding.
using RebelEngineVersionFn = int32_t (*)();
// Build date as packed decimal digits: bits 31-24 day, 23-16 month,
// 15-8 century, 7-0 year in century (0x07122026 = 7 December 2026).
using RebelEngineVerDateFn = int32_t (*)();
using RebelEngineMaxInstancesFn = int32_t (*)();
using RebelEngineInstancesFn = int32_t (*)();
using RebelEngineGetErrorFn = int32_t (*)(int32_t handle);
using RebelEngineGetSysErrorFn = int32_t (*)(int32_t handle);
// Writes the text of error number err into buf (at most size - 1 characters
// and a terminating zero) and its length into *len. Non-zero when a text was written.
using RebelEngineGetErrorTextFn = int32_t (*)(int32_t err, char* buf, int32_t size, int32_t* len);
// appli: 0, 1, 2 (calling application); engName/engPath: the engine program's
// file name and folder (empty folder: the current folder, then PATH); kind: 1, 2 or 9.
// The instance number (0 or more), negative on failure.
using RebelEngineAllocateFn = int32_t (*)(int32_t appli, const char* engName, const char* engPath,
                                          int32_t kind);
using RebelEngineFreeFn = int32_t (*)(int32_t handle, int32_t terminate);
// mode: 1 evaluate the position after the last move, 2 the position before
// the last move searching the move played only, 3 the position after the
// last move (the next move). hash: 0..6 (256 kB .. 28 MB).
using RebelEngineStartPGNFn = int32_t (*)(int32_t handle, const char* pgnFile, int32_t mode,
                                          int32_t hash);
using RebelEngineUpdatePGNFn = int32_t (*)(int32_t handle, const char* pgnFile);
using RebelEngineGetAnalysisLineFn = int32_t (*)(int32_t handle, char* buf, int32_t size,
                                                 int32_t* len);
using RebelEngineStartEPDFn = int32_t (*)(int32_t handle, const char* epd, int32_t secs,
                                          int32_t hash, int32_t evalMode);
using RebelEngineGetAnalysisEPDFn = int32_t (*)(int32_t handle, const char* outFile);
using RebelEngineStartAnalyseGameFn = int32_t (*)(int32_t handle, const char* pgnFile, int32_t secs,
                                                  int32_t hash);
using RebelEngineGetAnalysisGameFn = int32_t (*)(int32_t handle, const char* outFile);
using RebelEngineStopFn = int32_t (*)(int32_t handle);
using RebelEngineIsRunningFn = int32_t (*)(int32_t handle);
// The process id of the instance's engine program, 0 when none runs.
using RebelEngineGetHandleFn = int32_t (*)(int32_t handle);

} // extern "C"

namespace quorel::rebeng {

// The names of the 19 functions in the order the binding looks them up.
inline constexpr const char* kFunctionNames[19] = {
    "RebelEngineVersion",         "RebelEngineVerDate",        "RebelEngineMaxInstances",
    "RebelEngineInstances",       "RebelEngineGetError",       "RebelEngineGetSysError",
    "RebelEngineGetErrorText",    "RebelEngineAllocate",       "RebelEngineFree",
    "RebelEngineStartPGN",        "RebelEngineUpdatePGN",      "RebelEngineGetAnalysisLine",
    "RebelEngineStartEPD",        "RebelEngineGetAnalysisEPD", "RebelEngineStartAnalyseGame",
    "RebelEngineGetAnalysisGame", "RebelEngineStop",           "RebelEngineIsRunning",
    "RebelEngineGetHandle"};

// Lowest and highest library version the binding accepts.
inline constexpr int32_t kLowestVersion = 0x01020100;
inline constexpr int32_t kHighestVersion = 0x01020109;

} // namespace quorel::rebeng
