#include "rebeng/uci_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quorel::rebeng {

UciProcess::~UciProcess() {
    Terminate(200);
}

int UciProcess::Start(const std::string& program, const std::string& folder, LineHandler onLine,
                      ExitHandler onExit) {
    if (pid_.load() != 0) return EBUSY;
    // A socket pair rather than pipes: writes use MSG_NOSIGNAL, so an engine
    // that died never raises SIGPIPE in the host program.
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return errno;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, sv[1], 0);
    posix_spawn_file_actions_adddup2(&actions, sv[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    // Its own process group: a Ctrl+C in the terminal reaches the host, which
    // then ends the engine in order, instead of killing the engine under it.
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                        POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv{const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    int rc = program.find('/') == std::string::npos
                 ? posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), environ)
                 : posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(sv[1]);
    if (rc != 0) {
        close(sv[0]);
        return rc;
    }
    fd_ = sv[0];
    pid_ = pid;
    running_ = true;
    reader_ = std::thread(&UciProcess::ReadLoop, this, std::move(onLine), std::move(onExit));
    return 0;
}

void UciProcess::ReadLoop(LineHandler onLine, ExitHandler onExit) {
    std::string pending;
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pending.append(buf, size_t(n));
        size_t start = 0;
        for (size_t nl; (nl = pending.find('\n', start)) != std::string::npos; start = nl + 1) {
            std::string line = pending.substr(start, nl - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (onLine) onLine(line);
        }
        pending.erase(0, start);
        // An engine that writes without line ends must not grow this forever.
        if (pending.size() > 1 << 20) pending.clear();
    }
    running_ = false;
    if (onExit) onExit();
}

bool UciProcess::Send(const std::string& line) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    if (fd_ < 0 || !running_) return false;
    std::string data = line + "\n";
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

void UciProcess::Terminate(int graceMs) {
    pid_t pid = pid_.load();
    if (pid > 0) {
        Send("quit");
        int status = 0;
        bool reaped = false;
        for (int waited = 0; waited <= graceMs; waited += 10) {
            pid_t r = waitpid(pid, &status, WNOHANG);
            if (r == pid || (r < 0 && errno == ECHILD)) {
                reaped = true;
                break;
            }
            usleep(10000);
        }
        if (!reaped) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        pid_ = 0;
    }
    if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
    if (reader_.joinable()) reader_.join();
    std::lock_guard<std::mutex> lock(writeMutex_);
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    running_ = false;
}

} // namespace quorel::rebeng
