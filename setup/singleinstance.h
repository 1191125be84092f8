#pragma once
// One running setup at a time. The first setup listens on a local socket
// named after its window title; a later start connects, asks the first to
// come to the front and ends. A lock file orders two starts at once.
#include <string>

namespace quorel::setup {

class TSingleInstance {
  public:
    enum class TState { First, OtherRaised, Failed };

    // folder: where the socket and lock live ("" = $XDG_RUNTIME_DIR, else a
    // private folder in /tmp for this user). name: the instance's name.
    TSingleInstance(std::string name, std::string folder = "");
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // First: this process is the only setup and listens; OtherRaised: a
    // running setup was asked to come to the front (end this one); Failed:
    // no socket could be made (run anyway, unguarded).
    TState Acquire();

    // The listening socket (non-blocking), -1 unless First.
    int ListenFd() const { return listen_; }

    // Accepts waiting connections; true when one of them asked to raise.
    bool TakeRaiseRequests();

    const std::string& SocketPath() const { return socket_; }

  private:
    std::string socket_, lock_;
    int listen_ = -1;
};

} // namespace quorel::setup
