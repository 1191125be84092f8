#pragma once
// One engine instance of the library: its engine program, the analysis it
// runs (continuous, one timed position, or the moves of a game) and the
// error numbers of its last operation. Every public operation is safe to
// call from several threads; they are carried out one after the other.
#include "rebeng/game_text.h"
#include "rebeng/uci_engine.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorel::rebeng {

// Hash index 0..6 (256 kB, 512 kB, 1, 2, 4, 13, 28 MB) → the engine's Hash
// option in MB (at least 1). Out of range → 1.
int HashMegabytes(int hash);

class Instance {
  public:
    // engName and engPath name the engine program (empty folder: the current
    // folder, then PATH). Nothing is started yet.
    Instance(int appli, std::string engName, std::string engPath, int kind);
    // Stops the analysis and ends the engine program.
    ~Instance();

    // Each operation returns its success and leaves Error()/SysError() set.
    bool StartPGN(const std::string& file, int mode, int hash);
    bool UpdatePGN(const std::string& file);
    bool AnalysisLine(std::string& out);
    bool StartEPD(const std::string& epd, int secs, int hash, int evalMode);
    bool WriteEPDResult(const std::string& file);
    bool StartGame(const std::string& file, int secs, int hash);
    bool WriteGameReport(const std::string& file);
    bool Stop();
    bool IsRunning();
    // Process id of the engine program, 0 when none runs.
    int EnginePid();
    // Stops the analysis; ends the engine program (terminate) or keeps it
    // idle for the next instance that names the same program.
    void Release(bool terminate);

    int Error() const { return error_.load(); }
    int SysError() const { return sysError_.load(); }

    // The game-analysis report as text (LF line ends); "" before any game analysis.
    std::string GameReport() const;
    // The timed position's result line; "" before any.
    std::string EPDResult() const;

  private:
    enum class Job { None, Continuous, Epd, Game };
    struct GameEntry {
        size_t ply = 0; // index of the move in GameText::moves
        std::string bestSan, bestEval, playedEval, mainLine;
        std::string mark; // "??" or "?" when the move played loses against the best
        int depth = 0;
    };

    bool Fail(int error, int sysError = 0);
    void StopLocked();
    int EnsureEngine(int hash);
    int StartContinuous();
    void EpdWorker(std::string epd, int secs, int evalMode);
    void GameWorker(int secs);
    // One timed search; false when stopped or the engine failed (error set).
    bool TimedSearch(const std::string& position, const std::string& go, int secs, SearchInfo& info,
                     std::string& best);

    const std::string engName_, engPath_;
    std::mutex opMutex_; // one operation at a time
    std::atomic<int> error_{0}, sysError_{0};

    std::unique_ptr<UciEngine> engine_;
    int engineHash_ = -1;

    mutable std::mutex stateMutex_; // what the worker shares with the callers
    Job job_ = Job::None;
    Job lastJob_ = Job::None;
    int mode_ = 3;
    GameText game_;
    GameWalker root_;
    std::string gameOverLine_;
    std::thread worker_;
    std::atomic<bool> workerRunning_{false};
    std::atomic<bool> stopRequested_{false};
    std::string epdResult_;
    std::vector<GameEntry> entries_;
    size_t targets_ = 0;
    bool gameStopped_ = false;
    int gameSecs_ = 0;
    std::string gameEngine_;
};

// Where the engine programs left idle by releases without termination wait.
// Ends them all (for the library's unload).
void EndParkedEngines();

} // namespace quorel::rebeng
