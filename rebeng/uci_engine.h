#pragma once
// A UCI engine program in use: the "uci" handshake, options, and one search
// at a time with its latest principal variation.
#include "rebeng/uci_process.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace quorel::rebeng {

// The latest "info … pv …" report of a search.
struct SearchInfo {
    bool valid = false; // a report with a principal variation arrived
    int depth = 0;
    int timeMs = -1;   // the engine's "time", -1 when it gave none
    bool mate = false; // score is "mate N" (moves; negative: the side to move is mated)
    int score = 0;     // centipawns or mate moves, from the side to move's view
    long long nodes = 0;
    std::vector<std::string> pv; // moves in UCI form ("e2e4", "e7e8q")
};

// Parses one "info" line into info. Lines without "pv", bound scores
// (lowerbound/upperbound) and reports of other lines than the first
// (multipv > 1) leave info unchanged and give false.
bool ParseInfoLine(const std::string& line, SearchInfo& info);

class UciEngine {
  public:
    UciEngine() = default;
    UciEngine(const UciEngine&) = delete;
    UciEngine& operator=(const UciEngine&) = delete;
    ~UciEngine() { Close(); }

    // Starts the program and completes the handshake ("uci" … "uciok").
    // Returns 0 or a library error number (errors.h); sysErr gets errno.
    int Open(const std::string& program, const std::string& folder, int& sysErr,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // "quit", then kill after graceMs; reaps the program.
    void Close(int graceMs = 1000);

    bool Alive() const;
    pid_t Pid() const { return proc_.Pid(); }
    // The engine's "id name", or "" before the handshake.
    std::string Name() const;

    // Sends one command line as it is.
    bool Send(const std::string& line) { return proc_.Send(line); }
    // Forgets the latest report (before the caller changes what it belongs to).
    void ClearInfo();
    // Sends "setoption name NAME value VALUE".
    bool SetOption(const std::string& name, const std::string& value);
    // "isready" … "readyok". Returns 0 or a library error number.
    int Sync(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Starts a search: the position command, then the go command (without
    // the word "go"). A search still running is stopped first. Returns 0 or
    // a library error number.
    int StartSearch(const std::string& position, const std::string& go);
    // Sends "stop" to a running search and waits for its best move. Returns
    // 0, or a library error number when the engine died or did not answer.
    int StopSearch(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Waits until the search ends (best move), the engine dies or timeout
    // passes. True when the search ended with a best move.
    bool WaitSearch(std::chrono::milliseconds timeout);

    bool Searching() const;
    // The latest report of the current (or last) search.
    SearchInfo Latest() const;
    // The best move of the last finished search ("" when none; "(none)" when
    // the position had no move).
    std::string BestMove() const;
    // When the current search started.
    std::chrono::steady_clock::time_point SearchStart() const;

  private:
    void OnLine(const std::string& line);
    void OnExit();

    UciProcess proc_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool uciok_ = false;
    bool dead_ = false;
    uint64_t readyCount_ = 0;
    bool searching_ = false;
    std::string name_;
    std::string bestMove_;
    SearchInfo info_;
    std::chrono::steady_clock::time_point searchStart_{};
};

} // namespace quorel::rebeng
