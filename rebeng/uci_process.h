#pragma once
// One running engine program with its standard input and output connected to
// this process. A reader thread hands every output line to a callback; the
// exit of the program (end of its output) is reported once to another.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

namespace quorel::rebeng {

class UciProcess {
  public:
    using LineHandler = std::function<void(const std::string& line)>;
    using ExitHandler = std::function<void()>;

    UciProcess() = default;
    UciProcess(const UciProcess&) = delete;
    UciProcess& operator=(const UciProcess&) = delete;
    // Ends the program as Terminate does.
    ~UciProcess();

    // Starts program (a path; a name without "/" is searched in PATH) with its
    // working folder set to folder (empty: inherited). onLine gets every line
    // the program writes, without its line end; onExit is called once when its
    // output ends. Both run on the reader thread. Returns 0 or the system's
    // error number (ENOENT when the program does not exist or cannot run).
    int Start(const std::string& program, const std::string& folder, LineHandler onLine,
              ExitHandler onExit);

    // Writes line and a line end to the program. False when it is not running
    // or the write failed (the program closed its input). Never raises SIGPIPE.
    bool Send(const std::string& line);

    // Asks the program to end ("quit"), waits up to graceMs for it, kills it
    // when it is still there, reaps it and ends the reader thread. Must not be
    // called from a handler.
    void Terminate(int graceMs = 1000);

    // Process id of the program, 0 when none was started or it was reaped.
    pid_t Pid() const { return pid_.load(); }
    // True until the program's output ended.
    bool Running() const { return running_.load(); }

  private:
    void ReadLoop(LineHandler onLine, ExitHandler onExit);

    std::atomic<pid_t> pid_{0};
    std::atomic<bool> running_{false};
    int fd_ = -1;
    std::mutex writeMutex_;
    std::thread reader_;
};

} // namespace quorel::rebeng
