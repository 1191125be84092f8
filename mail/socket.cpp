#include "mail/socket.h"

#include "mail/tls.h"
#include "platform/codepage.h"
#include "platform/files.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace quorel::mail {

namespace {
constexpr int kSliceMs = 25;       // one poll slice
constexpr int kPumpEveryMs = 50;   // pump at least this often while busy
constexpr size_t kMaxLine = 65536; // longest server line accepted
constexpr size_t kReceiveChunk = 16384;

const std::map<int, const char*>& WinsockTexts() {
    static const std::map<int, const char*> t = {
        {0, "No Error"},
        {10004, "Interrupted system call"},
        {10009, "Bad file number"},
        {10013, "Permission denied"},
        {10014, "Bad address"},
        {10022, "Invalid argument"},
        {10024, "Too many open files"},
        {10035, "Operation would block"},
        {10036, "Operation now in progress"},
        {10037, "Operation already in progress"},
        {10038, "Socket operation on non-socket"},
        {10039, "Destination address required"},
        {10040, "Message too long"},
        {10041, "Protocol wrong type for socket"},
        {10042, "Bad protocol option"},
        {10043, "Protocol not supported"},
        {10044, "Socket type not supported"},
        {10045, "Operation not supported on socket"},
        {10046, "Protocol family not supported"},
        {10047, "Address family not supported by protocol family"},
        {10048, "Address already in use"},
        {10049, "Can't assign requested address"},
        {10050, "Network is down"},
        {10051, "Network is unreachable"},
        {10052, "Net dropped connection or reset"},
        {10053, "Software caused connection abort"},
        {10054, "Connection reset by peer"},
        {10055, "No buffer space available"},
        {10056, "Socket is already connected"},
        {10057, "Socket is not connected"},
        {10058, "Cannot send after socket shutdown"},
        {10059, "Too many references, can't splice"},
        {10060, "Connection timed out"},
        {10061, "Connection refused"},
        {10062, "Too many levels of symbolic links"},
        {10063, "File name too long"},
        {10064, "Host is down"},
        {10065, "No route to host"},
        {10066, "Directory not empty"},
        {10067, "Too many processes"},
        {10068, "Too many users"},
        {10069, "Disc Quota Exceeded"},
        {10070, "Stale NFS file handle"},
        {10071, "Too many levels of remote in path"},
        {10091, "Network subsystem is unavailable"},
        {10092, "Winsock DLL Version out of range"},
        {10093, "Winsock not loaded yet"},
        {10094, "Graceful shutdown in progress"},
        {11001, "Host not found"},
        {11002, "Non-authoritative 'Host not found' (try again or check DNS setup)"},
        {11003, "Non-recoverable errors: FORMERR, REFUSED, NOTIMP"},
        {11004, "Valid name, no data record (check DNS setup)"},
    };
    return t;
}

void IgnoreSigPipe() {
    // Writes to a connection the peer has closed must fail with EPIPE, not
    // end the program (TLS writes go through write(), which cannot take
    // MSG_NOSIGNAL).
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}
} // namespace

std::string MailNetText(int number) {
    switch (number) {
    case 57000:
        return "Operation timed out";
    case 57001:
        return "Operation has been canceled";
    case 57002:
        return "Server property is required";
    case 57003:
        return "Invalid Winsock version";
    case 57004:
        return "Error resolving remote host";
    case 57005:
        return "Service name is required";
    case 57008:
        return "You have to connect to the server first";
    case 57010:
        return "Function %s not found";
    case 57011:
        return "Winsock is not loaded";
    case 57012:
        return "Winsock not found";
    case 57100:
        return "The address of sender is required";
    case 57101:
        return "At least one Recipient, CC or BCC must be entered";
    case 57102:
        return "MailMessage property must be assigned";
    case 57103:
        return "UserName property is required";
    case 57104:
        return "Password property is required";
    default:
        return "";
    }
}

std::string WinsockErrorText(int code) {
    auto it = WinsockTexts().find(code);
    if (it == WinsockTexts().end()) return "Error #" + std::to_string(code);
    return "[" + std::to_string(code) + "] " + it->second;
}

int WinsockCodeFromErrno(int err) {
    switch (err) {
    case 0:
        return 0;
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
        return 10013;
    case EPERM:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
        return 10024;
    case ENFILE:
        return 10024;
    case EWOULDBLOCK:
        return 10035;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
        return 10054;
    case EPIPE:
        return 10054;
    case ENOBUFS:
        return 10055;
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    case EUSERS:
        return 10068;
    case EDQUOT:
        return 10069;
    case ESTALE:
        return 10070;
    case EREMOTE:
        return 10071;
    default:
        return 10000 + err;
    }
}

int WinsockCodeFromResolver(int rc) {
    switch (rc) {
    case EAI_NONAME:
        return 11001;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return 11004;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
        return 11004;
#endif
    case EAI_AGAIN:
        return 11002;
    case EAI_FAIL:
        return 11003;
    case EAI_MEMORY:
        return 10055;
    case EAI_SYSTEM:
        return WinsockCodeFromErrno(errno);
    default:
        return 11003;
    }
}

TMailSecurity ParseMailSecurity(std::string_view text) {
    std::string t = AsciiUpper(text);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.pop_back();
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
        t.erase(0, 1);
    if (t == "STARTTLS") return TMailSecurity::StartTls;
    if (t == "TLS") return TMailSecurity::Tls;
    return TMailSecurity::None;
}

std::string MailSecurityName(TMailSecurity s) {
    switch (s) {
    case TMailSecurity::StartTls:
        return "STARTTLS";
    case TMailSecurity::Tls:
        return "TLS";
    default:
        return "NONE";
    }
}

// ---- name look-up in a helper thread (cancellable by abandoning it) ------

struct TagSocket::Lookup {
    std::mutex m;
    bool done = false;
    int rc = 0;
    uint32_t address = 0;
};

TagSocket::TagSocket() {
    IgnoreSigPipe();
}

TagSocket::~TagSocket() {
    if (fd_ >= 0) {
        tls_.reset();
        ::close(fd_);
        fd_ = -1;
    }
}

void TagSocket::SaveLog() {
    if (LogFileName.empty() || log_.empty()) return;
    std::string text;
    for (const auto& l : log_) {
        text += Utf8ToCp1252(l);
        text += "\r\n";
    }
    AppendToFile(LogFileName, text);
}

void TagSocket::AddLog(std::string_view line) {
    if (!LogFileName.empty()) log_.emplace_back(line);
}

std::chrono::steady_clock::time_point TagSocket::NewDeadline() const {
    return std::chrono::steady_clock::now() + std::chrono::seconds(TimeOut > 0 ? TimeOut : 1);
}

void TagSocket::MaybePump() {
    auto now = std::chrono::steady_clock::now();
    if (now - lastPump_ >= std::chrono::milliseconds(kPumpEveryMs)) {
        lastPump_ = now;
        if (Pump) Pump();
    }
}

void TagSocket::CheckCancel() {
    if (cancelled_) Canceled();
}

void TagSocket::Cancel() {
    cancelled_ = true;
    if (OnCancel) OnCancel();
    lookup_.reset();
    Close();
}

void TagSocket::Close() {
    if (fd_ < 0) return;
    if (OnClosing) OnClosing();
    if (tls_) tls_->Shutdown();
    tls_.reset();
    ::close(fd_);
    fd_ = -1;
    rbuf_.clear();
    rpos_ = 0;
    if (OnClosed) OnClosed();
}

void TagSocket::RequireConnection() {
    // Stop pressed between two waits (the pump after a send) closed the
    // socket: the operation fails as canceled, not as never connected.
    CheckCancel();
    if (fd_ < 0) PropertyFailure(57008);
}

// ---- failures --------------------------------------------------------------

void TagSocket::SocketFailureText(const std::string& text, int code) {
    errorOccurred_ = true;
    errorCode_ = code;
    std::string msg = text;
    if (OnError) OnError(msg);
    // A reset line, a failed TLS negotiation and a connection that never
    // came about leave nothing to talk to: the socket is closed, so that a
    // later Disconnect does not talk into it and Connect starts afresh.
    if (code == 10054 || code == 0 || connecting_) Close();
    throw ESocketError(msg, code);
}

void TagSocket::SocketFailure(int code) {
    SocketFailureText(WinsockErrorText(code), code);
}

void TagSocket::TimedOut() {
    timedOut_ = true;
    std::string msg = MailNetText(57000);
    if (OnError) OnError(msg);
    lookup_.reset();
    Close();
    throw ETimedOutError(msg);
}

void TagSocket::Canceled() {
    std::string msg = MailNetText(57001);
    if (OnError) OnError(msg);
    Close();
    throw ECanceledError(msg);
}

void TagSocket::ServerFailure() {
    throw EServerError(lastReply_);
}

void TagSocket::RefusedTls() {
    SocketFailureText(
        kTlsFailedText + std::string("the server refused to start TLS: ") + lastReply_, 0);
}

void TagSocket::PropertyFailure(int number) {
    throw EMailPropertyError(MailNetText(number));
}

// ---- open, connect, TLS --------------------------------------------------

void TagSocket::ResolveHost(const std::string& host) {
    in_addr a{};
    if (inet_pton(AF_INET, host.c_str(), &a) == 1) {
        address_ = a.s_addr;
        return;
    }
    auto st = std::make_shared<Lookup>();
    lookup_ = st;
    // The thread owns copies of everything it uses: an abandoned look-up may
    // end after this socket is gone.
    std::thread([st, host, resolver = Resolver] {
        uint32_t addr = 0;
        int rc;
        if (resolver) {
            rc = resolver(host, addr);
        } else {
            addrinfo hints{};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* res = nullptr;
            rc = getaddrinfo(host.c_str(), nullptr, &hints, &res);
            if (rc == 0 && res)
                addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
            if (res) freeaddrinfo(res);
        }
        std::lock_guard<std::mutex> g(st->m);
        st->rc = rc;
        st->address = addr;
        st->done = true;
    }).detach();
    auto deadline = NewDeadline();
    for (;;) {
        {
            std::lock_guard<std::mutex> g(st->m);
            if (st->done) {
                lookup_.reset();
                if (st->rc != 0) SocketFailure(WinsockCodeFromResolver(st->rc));
                address_ = st->address;
                return;
            }
        }
        if (cancelled_ || lookup_ != st) Canceled();
        if (std::chrono::steady_clock::now() >= deadline) TimedOut();
        ::poll(nullptr, 0, kSliceMs);
        lastPump_ = {};
        MaybePump();
    }
}

void TagSocket::Open() {
    if (OnOpen) OnOpen();
    if (Server.empty()) PropertyFailure(57002);
    CheckOpenProperties();
    cancelled_ = timedOut_ = closedByPeer_ = errorOccurred_ = connecting_ = false;
    errorCode_ = 0;
    lastReply_.clear();
    rbuf_.clear();
    rpos_ = 0;

    std::string portText;
    auto colon = Server.find(':');
    host_ = Server.substr(0, colon);
    if (colon != std::string::npos) portText = Server.substr(colon + 1);

    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0 && name[0]) {
        localHost_ = name;
    } else {
        localHost_ = host_;
    }

    ResolveHost(host_);
    in_addr a{};
    a.s_addr = address_;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    addressText_ = text;

    long p = 0;
    if (!portText.empty()) {
        char* end = nullptr;
        p = std::strtol(portText.c_str(), &end, 10);
        if (*end != '\0' || p > 65535) p = 0;
    }
    if (p > 0) {
        port_ = uint16_t(p);
    } else {
        if (ServiceName.empty()) PropertyFailure(57005);
        servent* se = getservbyname(ServiceName.c_str(), "tcp");
        port_ = se ? ntohs(uint16_t(se->s_port)) : DefaultPort;
    }

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) SocketFailure(WinsockCodeFromErrno(errno));
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fd_ = fd;
}

void TagSocket::WaitFor(short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        CheckCancel();
        if (fd_ < 0) SocketFailure(10057);
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) TimedOut();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        pollfd p{fd_, events, 0};
        int r = ::poll(&p, 1, int(std::min<long long>(left + 1, kSliceMs)));
        if (r > 0) {
            MaybePump();
            CheckCancel();
            return;
        }
        if (r < 0 && errno != EINTR) SocketFailure(WinsockCodeFromErrno(errno));
        lastPump_ = {};
        MaybePump();
    }
}

void TagSocket::TcpConnect() {
    RequireConnection();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port_);
    sa.sin_addr.s_addr = address_;
    connecting_ = true;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        if (errno != EINPROGRESS) SocketFailure(WinsockCodeFromErrno(errno));
        WaitFor(POLLOUT, NewDeadline());
        int err = 0;
        socklen_t len = sizeof err;
        getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err != 0) SocketFailure(WinsockCodeFromErrno(err));
    }
    connecting_ = false;
    if (Security == TMailSecurity::Tls) StartTls();
}

void TagSocket::StartTls() {
    RequireConnection();
    auto tls = std::make_unique<TTlsSession>();
    if (!tls->Begin(fd_, host_, TrustedCertificate)) {
        std::string text = kTlsFailedText + tls->ErrorText();
        AddLog(text);
        Close();
        SocketFailureText(text, 0);
    }
    auto deadline = NewDeadline();
    for (;;) {
        auto st = tls->Handshake();
        if (st == TTlsSession::Status::Ok) break;
        if (st == TTlsSession::Status::WantRead) {
            WaitFor(POLLIN, deadline);
        } else if (st == TTlsSession::Status::WantWrite) {
            WaitFor(POLLOUT, deadline);
        } else {
            std::string text =
                (tls->CertificateFailed() ? kCertificateFailedText : kTlsFailedText) +
                tls->ErrorText();
            AddLog(text);
            tls.reset();
            SocketFailureText(text, 0);
        }
    }
    tls_ = std::move(tls);
    rbuf_.clear();
    rpos_ = 0;
}

// ---- lines and data --------------------------------------------------------

void TagSocket::SendAll(std::string_view data) {
    size_t done = 0;
    auto deadline = NewDeadline();
    while (done < data.size()) {
        CheckCancel();
        RequireConnection();
        size_t put = 0;
        if (tls_) {
            auto st = tls_->Write(data.data() + done, data.size() - done, put);
            if (st == TTlsSession::Status::WantWrite) {
                WaitFor(POLLOUT, deadline);
                continue;
            }
            if (st == TTlsSession::Status::WantRead) {
                WaitFor(POLLIN, deadline);
                continue;
            }
            if (st == TTlsSession::Status::Closed) {
                closedByPeer_ = true;
                SocketFailure(10054);
            }
            if (st == TTlsSession::Status::Failed)
                SocketFailureText(kTlsFailedText + tls_->ErrorText(), 0);
        } else {
            ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                    WaitFor(POLLOUT, deadline);
                    continue;
                }
                SocketFailure(WinsockCodeFromErrno(errno));
            }
            put = size_t(n);
        }
        done += put;
        deadline = NewDeadline();
    }
    MaybePump();
}

void TagSocket::CompactBuffer() {
    if (rpos_ == 0) return;
    if (rpos_ == rbuf_.size()) {
        rbuf_.clear();
        rpos_ = 0;
    } else if (rpos_ > kReceiveChunk * 4) {
        rbuf_.erase(0, rpos_);
        rpos_ = 0;
    }
}

void TagSocket::FillBuffer() {
    char buf[kReceiveChunk];
    auto deadline = NewDeadline();
    for (;;) {
        CheckCancel();
        RequireConnection();
        size_t got = 0;
        if (tls_) {
            auto st = tls_->Read(buf, sizeof buf, got);
            if (st == TTlsSession::Status::WantRead) {
                WaitFor(POLLIN, deadline);
                continue;
            }
            if (st == TTlsSession::Status::WantWrite) {
                WaitFor(POLLOUT, deadline);
                continue;
            }
            if (st == TTlsSession::Status::Closed) {
                closedByPeer_ = true;
                SocketFailure(10054);
            }
            if (st == TTlsSession::Status::Failed)
                SocketFailureText(kTlsFailedText + tls_->ErrorText(), 0);
        } else {
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                    WaitFor(POLLIN, deadline);
                    continue;
                }
                SocketFailure(WinsockCodeFromErrno(errno));
            }
            if (n == 0) {
                closedByPeer_ = true;
                SocketFailure(10054);
            }
            got = size_t(n);
        }
        rbuf_.append(buf, got);
        return;
    }
}

void TagSocket::SendLine(std::string_view line, std::string_view logAs) {
    RequireConnection();
    std::string data(line);
    data += "\r\n";
    SendAll(data);
    AddLog(logAs.empty() ? line : logAs);
}

void TagSocket::SendLines(const std::vector<std::pair<std::string, std::string>>& lines) {
    RequireConnection();
    std::string data;
    for (const auto& [line, logAs] : lines) {
        data += line;
        data += "\r\n";
    }
    SendAll(data);
    for (const auto& [line, logAs] : lines)
        AddLog(logAs.empty() ? line : logAs);
}

std::string TagSocket::ReceiveLine() {
    RequireConnection();
    CompactBuffer();
    size_t scanFrom = rpos_;
    for (;;) {
        size_t lf = rbuf_.find('\n', scanFrom);
        if (lf != std::string::npos) {
            std::string line = rbuf_.substr(rpos_, lf - rpos_);
            rpos_ = lf + 1;
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                line.pop_back();
            lastReply_ = line;
            AddLog(line);
            return line;
        }
        if (rbuf_.size() - rpos_ > kMaxLine) {
            std::string text = kLineTooLongText;
            AddLog(text);
            rbuf_.clear();
            rpos_ = 0;
            SocketFailureText(text, 0);
        }
        scanFrom = rbuf_.size();
        FillBuffer();
    }
}

void TagSocket::SendStream(std::string_view data, size_t blockSize) {
    RequireConnection();
    AddLog("Suppressing the message body");
    // Blocks of blockSize bytes, each followed by its progress event. The
    // blocks go to the transport in runs of up to 16 KB (one write, one TLS
    // record) and the events of a run follow once the whole run is sent.
    constexpr size_t kRun = 16384;
    size_t pos = 0, sent = 0;
    std::vector<size_t> ends;
    while (pos < data.size()) {
        pos += std::min(blockSize, data.size() - pos);
        ends.push_back(pos);
        if (pos - sent + blockSize > kRun || pos == data.size()) {
            SendAll(data.substr(sent, pos - sent));
            sent = pos;
            if (OnProgress) {
                for (size_t end : ends) {
                    int perc = int((end * 100 + data.size() / 2) / data.size());
                    OnProgress(perc, uint32_t(end));
                }
            }
            ends.clear();
        }
    }
    if (OnProgress) OnProgress(0, 0);
}

void TagSocket::ReceiveData(std::string& out, long expected) {
    RequireConnection();
    static constexpr std::string_view kEnd = "\r\n.\r\n";
    for (;;) {
        // Pipelined replies may all be here already: the window's events
        // still run, and Stop still ends the transfer.
        MaybePump();
        CheckCancel();
        RequireConnection();
        CompactBuffer();
        if (rpos_ < rbuf_.size()) {
            // Take what is buffered, up to and including the terminator.
            size_t oldSize = out.size();
            size_t back = std::min<size_t>(oldSize, kEnd.size() - 1);
            std::string_view avail(rbuf_.data() + rpos_, rbuf_.size() - rpos_);
            std::string probe = out.substr(oldSize - back) + std::string(avail);
            size_t hit = probe.find(kEnd);
            // Data that is only the terminating line (an empty message).
            bool lone = false;
            if (oldSize < 3) {
                std::string head = out + std::string(avail.substr(0, 3));
                lone = head.compare(0, 3, ".\r\n") == 0;
            }
            size_t take;
            bool end = false;
            if (lone) {
                take = 3 - oldSize;
                end = true;
            } else if (hit != std::string::npos) {
                take = hit + kEnd.size() - back;
                end = true;
            } else {
                take = avail.size();
            }
            out.append(avail.substr(0, take));
            rpos_ += take;
            if (OnProgress) {
                if (expected > 0) {
                    OnProgress(int((out.size() * 100 + size_t(expected) / 2) / size_t(expected)),
                               uint32_t(out.size()));
                } else {
                    OnProgress(-1, uint32_t(out.size()));
                }
            }
            if (end) return;
        }
        FillBuffer();
    }
}

void TagSocket::ReceiveBytes(std::string& out, size_t n) {
    RequireConnection();
    size_t got = 0;
    for (;;) {
        CompactBuffer();
        size_t take = std::min(n - got, rbuf_.size() - rpos_);
        out.append(rbuf_, rpos_, take);
        rpos_ += take;
        got += take;
        if (OnProgress && n > 0 && take > 0)
            OnProgress(int((got * 100 + n / 2) / n), uint32_t(got));
        if (got == n) return;
        FillBuffer();
    }
}

} // namespace quorel::mail
