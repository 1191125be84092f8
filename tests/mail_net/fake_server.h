#pragma once
// A scripted TCP server on 127.0.0.1 for dialogue tests. Each accepted
// connection plays one script; every byte the client sends is recorded, so a
// test compares the client's side of the dialogue byte for byte.
//
// Script steps:
//   "S:text"     send text + CR LF
//   "R:bytes"    send bytes as they are
//   "C"          wait for one client line (up to LF)
//   "D"          wait for the end of message data (a line of a lone ".")
//   "CLOSE"      close the connection now
//   "SLEEP:ms"   pause
//   "HOLD"       say nothing until the client goes away
// After the last step the server reads until the client closes.
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorel::mail::test {

class FakeServer {
  public:
    using Script = std::vector<std::string>;

    explicit FakeServer(std::vector<Script> connections) : scripts_(std::move(connections)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sa.sin_port = 0;
        ::bind(listen_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::listen(listen_, 4);
        socklen_t len = sizeof sa;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    explicit FakeServer(Script one) : FakeServer(std::vector<Script>{std::move(one)}) {}

    ~FakeServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(listen_);
    }

    // Waits until every script has been played and its client has gone.
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

    uint16_t Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    // Bytes the client sent on connection i (0-based).
    std::string Received(size_t i = 0) {
        std::lock_guard<std::mutex> g(m_);
        return i < received_.size() ? received_[i] : std::string();
    }
    size_t Connections() {
        std::lock_guard<std::mutex> g(m_);
        return received_.size();
    }

  private:
    bool WaitReadable(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stop_) {
            if (::poll(&p, 1, 20) > 0) return true;
            if (std::chrono::steady_clock::now() > end) return false;
        }
        return false;
    }
    // Reads what is there into the record; false when the client closed.
    bool ReadSome(int fd, size_t idx, std::string& pending) {
        char buf[65536];
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return false;
        std::lock_guard<std::mutex> g(m_);
        received_[idx].append(buf, size_t(n));
        pending.append(buf, size_t(n));
        return true;
    }
    void SendAll(int fd, const std::string& s) {
        size_t done = 0;
        while (done < s.size()) {
            ssize_t n = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return;
            done += size_t(n);
        }
    }
    void Run() {
        for (size_t idx = 0; idx < scripts_.size() && !stop_; ++idx) {
            if (!WaitReadable(listen_, 20000)) return;
            int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;
            {
                std::lock_guard<std::mutex> g(m_);
                received_.emplace_back();
            }
            std::string pending;
            bool open = true;
            for (const std::string& step : scripts_[idx]) {
                if (!open || stop_) break;
                if (step.rfind("S:", 0) == 0) {
                    SendAll(fd, step.substr(2) + "\r\n");
                } else if (step.rfind("R:", 0) == 0) {
                    SendAll(fd, step.substr(2));
                } else if (step == "C") {
                    for (;;) {
                        auto lf = pending.find('\n');
                        if (lf != std::string::npos) {
                            pending.erase(0, lf + 1);
                            break;
                        }
                        if (!WaitReadable(fd, 20000) || !ReadSome(fd, idx, pending)) {
                            open = false;
                            break;
                        }
                    }
                } else if (step == "D") {
                    for (;;) {
                        auto end = pending.find("\r\n.\r\n");
                        if (end != std::string::npos) {
                            pending.erase(0, end + 5);
                            break;
                        }
                        if (!WaitReadable(fd, 20000) || !ReadSome(fd, idx, pending)) {
                            open = false;
                            break;
                        }
                    }
                } else if (step == "CLOSE") {
                    open = false;
                } else if (step.rfind("SLEEP:", 0) == 0) {
                    std::this_thread::sleep_for(
                        std::chrono::milliseconds(std::stoi(step.substr(6))));
                } else if (step == "HOLD") {
                    while (WaitReadable(fd, 30000) && ReadSome(fd, idx, pending)) {
                    }
                    open = false;
                }
            }
            // Record whatever else the client says until it closes.
            if (open) {
                while (WaitReadable(fd, 3000) && ReadSome(fd, idx, pending)) {
                }
            }
            ::close(fd);
        }
    }

    std::vector<Script> scripts_;
    int listen_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex m_;
    std::vector<std::string> received_;
};

} // namespace quorel::mail::test
