#include "setup/singleinstance.h"

#include "setup/desktopmenu.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace quorel::setup {

namespace {
constexpr char kRaise[] = "raise\n";

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    return true;
}
} // namespace

TSingleInstance::TSingleInstance(std::string name, std::string folder) {
    if (folder.empty()) {
        const char* run = std::getenv("XDG_RUNTIME_DIR");
        struct stat st {};
        if (run && *run && ::stat(run, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid()) {
            folder = run;
        } else {
            folder = "/tmp/quorel-setup-" + std::to_string(getuid());
            ::mkdir(folder.c_str(), 0700);
        }
    }
    std::string id = TDesktopMenu::IdPart(name);
    socket_ = folder + "/" + id + ".sock";
    lock_ = folder + "/" + id + ".lock";
}

TSingleInstance::~TSingleInstance() {
    if (listen_ >= 0) {
        ::close(listen_);
        ::unlink(socket_.c_str());
    }
}

TSingleInstance::TState TSingleInstance::Acquire() {
    sockaddr_un addr{};
    if (!FillAddress(socket_, addr)) return TState::Failed;
    int lockFd = ::open(lock_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd >= 0) ::flock(lockFd, LOCK_EX);
    TState state = TState::Failed;
    int c = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (c >= 0 && ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        ssize_t w = ::send(c, kRaise, sizeof kRaise - 1, MSG_NOSIGNAL);
        state = w > 0 ? TState::OtherRaised : TState::Failed;
    } else {
        // Nobody listens: a socket file left by a setup that crashed is stale.
        ::unlink(socket_.c_str());
        int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::listen(s, 4) == 0) {
            listen_ = s;
            state = TState::First;
        } else if (s >= 0) {
            ::close(s);
        }
    }
    if (c >= 0) ::close(c);
    if (lockFd >= 0) ::close(lockFd); // releases the lock
    return state;
}

bool TSingleInstance::TakeRaiseRequests() {
    if (listen_ < 0) return false;
    bool raise = false;
    for (;;) {
        int c = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) break;
        pollfd p{c, POLLIN, 0};
        char buf[16] = {};
        // The caller sends before it closes; wait a moment for slow senders.
        if (::poll(&p, 1, 500) > 0 && ::recv(c, buf, sizeof buf - 1, 0) > 0 &&
            std::strncmp(buf, kRaise, sizeof kRaise - 1) == 0)
            raise = true;
        ::close(c);
    }
    return raise;
}

} // namespace quorel::setup
