#pragma once
// The TCP client socket shared by the SMTP and POP3 clients (TagSocket) and
// the exceptions and numbered texts of the network layer.
//
// The socket is non-blocking; every wait (name look-up, connect, each line,
// each data block) runs poll() in short slices and calls Pump between them,
// so the owner's event processing goes on and Cancel() takes effect at once.
// Each wait is bounded by TimeOut seconds without progress.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::mail {

class TTlsSession;

// ---- exceptions ----------------------------------------------------------

class EMailNetError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
// A socket-level failure (text "[code] description" or "Error #code").
class ESocketError : public EMailNetError {
  public:
    ESocketError(const std::string& text, int code) : EMailNetError(text), Code(code) {}
    int Code;
};
// A negative server reply; the text is the reply line.
class EServerError : public EMailNetError {
  public:
    using EMailNetError::EMailNetError;
};
class ETimedOutError : public EMailNetError {
  public:
    using EMailNetError::EMailNetError;
};
class ECanceledError : public EMailNetError {
  public:
    using EMailNetError::EMailNetError;
};
// The network library is missing or incomplete (kept for the table's sake:
// POSIX sockets are always there).
class EWinsockDLLError : public EMailNetError {
  public:
    using EMailNetError::EMailNetError;
};
// A component property is missing (server, user name, password, message).
class EMailPropertyError : public EMailNetError {
  public:
    using EMailNetError::EMailNetError;
};

// ---- texts -----------------------------------------------------------------

// Numbered texts of the network layer: 57000–57012 and 57100–57104 ("" for a
// number without a text).
std::string MailNetText(int number);
// "[10061] Connection refused" for the Winsock codes that have a text,
// otherwise "Error #" + code.
std::string WinsockErrorText(int code);
// errno of a socket call → Winsock code (ECONNREFUSED → 10061, …);
// unknown values give 10000 + errno.
int WinsockCodeFromErrno(int err);
// getaddrinfo() result → Winsock code (EAI_NONAME → 11001, …).
int WinsockCodeFromResolver(int rc);

// Text of a failed TLS set-up or handshake, e.g. a certificate that does not
// verify. Not in the numbered table: the extension's own texts.
constexpr const char* kTlsFailedText = "TLS negotiation failed: ";
constexpr const char* kCertificateFailedText = "TLS certificate not accepted: ";
constexpr const char* kLineTooLongText = "Server line longer than 65536 bytes; connection closed";
constexpr const char* kClosedByPeerText = "[10054] Connection reset by peer";

// ---- security ------------------------------------------------------------

// Per-server transport security: none (the original plain dialogue),
// STARTTLS (SMTP STARTTLS / POP3 STLS after the greeting) or TLS from the
// first byte.
enum class TMailSecurity { None, StartTls, Tls };
// "NONE", "STARTTLS", "TLS" (any case); anything else → None.
TMailSecurity ParseMailSecurity(std::string_view text);
std::string MailSecurityName(TMailSecurity s);

// ---- the socket ----------------------------------------------------------

class TagSocket {
  public:
    TagSocket();
    virtual ~TagSocket();
    TagSocket(const TagSocket&) = delete;
    TagSocket& operator=(const TagSocket&) = delete;

    // Host name or dotted address, optionally ":" port.
    std::string Server;
    // Port used when neither Server nor the service table gives one.
    uint16_t DefaultPort = 0;
    // Service name looked up for the port ("smtp", "pop3").
    std::string ServiceName;
    // Seconds a wait may last without progress.
    int TimeOut = 60;
    // Transport security and the optional extra trusted certificate file
    // (PEM) added to the system's CA store.
    TMailSecurity Security = TMailSecurity::None;
    std::string TrustedCertificate;

    // Called between the poll slices of every wait (the window's event
    // processing). May call Cancel().
    std::function<void()> Pump;

    // The host-name look-up, run in a helper thread: returns 0 and the IPv4
    // address (network order), or a getaddrinfo() error code. Empty: the
    // system resolver. A look-up that never ends (a dead DNS server) still
    // leaves the wait to Cancel and TimeOut.
    using TResolver = std::function<int(const std::string& host, uint32_t& address)>;
    TResolver Resolver;

    // Events.
    std::function<void()> OnOpen, OnClosing, OnClosed, OnCancel;
    std::function<void(std::string& msg)> OnError;
    std::function<void(int perc, uint32_t transferred)> OnProgress;

    // Protocol log: kept in memory only when LogFileName is set.
    std::string LogFileName;
    const std::vector<std::string>& Log() const { return log_; }
    // Appends the in-memory log's text (CR LF lines) to LogFileName.
    void SaveLog();

    bool Connected() const { return fd_ >= 0; }
    // Sets the cancelled flag, raises OnCancel, abandons a pending look-up
    // and closes the socket. Safe to call from Pump or an event handler.
    void Cancel();
    // Closes the connection (OnClosing, OnClosed) when it is open.
    void Close();

    const std::string& LastReply() const { return lastReply_; }
    const std::string& LocalHostName() const { return localHost_; }
    const std::string& RemoteAddress() const { return addressText_; }
    uint16_t Port() const { return port_; }
    bool Cancelled() const { return cancelled_; }
    bool TimedOutFlag() const { return timedOut_; }
    bool ClosedByPeer() const { return closedByPeer_; }
    bool TlsActive() const { return tls_ != nullptr; }

  protected:
    // Resolves the host and the port and creates the socket (raises OnOpen).
    void Open();
    // Checks of the owner's own required properties, made by Open after the
    // server check (POP3: user name and password).
    virtual void CheckOpenProperties() {}
    // TCP connect with the wait; then TLS when Security is Tls.
    void TcpConnect();
    // Starts TLS on the open connection (STARTTLS / STLS / implicit TLS).
    void StartTls();

    // Sends line + CR LF; logs logAs instead of the line when given.
    void SendLine(std::string_view line, std::string_view logAs = {});
    // Sends several lines in one write (pipelined commands, RFC 2449); each
    // is logged as its logAs text when that is not empty.
    void SendLines(const std::vector<std::pair<std::string, std::string>>& linesAndLogAs);
    // Reads one line (CR LF cut off), sets the last reply and logs it.
    std::string ReceiveLine();
    // Sends data in blocks of blockSize bytes, raising OnProgress after each
    // block and (0, 0) at the end.
    void SendStream(std::string_view data, size_t blockSize);
    // Receives data until it ends with CR LF "." CR LF (the terminating line
    // is kept). expected < 0 when the size is unknown.
    void ReceiveData(std::string& out, long expected);
    // Receives exactly n more bytes (an IMAP literal) onto out, raising
    // OnProgress with the share of n received.
    void ReceiveBytes(std::string& out, size_t n);

    void AddLog(std::string_view line);
    void RequireConnection();
    // Runs the owner's event processing when it has not run for a while
    // (also while data keeps arriving without a wait), then honours a
    // Cancel made from it.
    void MaybePump();
    void CheckCancel();

    // Failure reporting: OnError first, then the exception.
    [[noreturn]] void SocketFailure(int code);
    [[noreturn]] void SocketFailureText(const std::string& text, int code);
    [[noreturn]] void TimedOut();
    [[noreturn]] void Canceled();
    [[noreturn]] void ServerFailure(); // EServerError with the last reply
    [[noreturn]] void PropertyFailure(int number);
    // The server would not start TLS (STARTTLS / STLS refused): an error
    // line with its reply, and the connection is closed — never a fall-back
    // to the plain dialogue.
    [[noreturn]] void RefusedTls();

  private:
    enum class IoStatus { Ok, Again, WantWrite, WantRead, Closed, Failed };
    // One wait for the socket to become readable/writable, honouring Cancel
    // and the time-out; deadline is the end of the current wait.
    void WaitFor(short events, std::chrono::steady_clock::time_point deadline);
    std::chrono::steady_clock::time_point NewDeadline() const;
    // Reads what is there into the receive buffer; waits when nothing is.
    void FillBuffer();
    // Drops consumed bytes from the front of the receive buffer.
    void CompactBuffer();
    void SendAll(std::string_view data);
    void ResolveHost(const std::string& host);

    int fd_ = -1;
    std::unique_ptr<TTlsSession> tls_;
    std::string host_;
    std::string localHost_;
    std::string addressText_;
    uint32_t address_ = 0; // network order
    uint16_t port_ = 0;
    bool cancelled_ = false, timedOut_ = false, closedByPeer_ = false, errorOccurred_ = false;
    bool connecting_ = false; // between Open's socket and the end of the TCP connect
    int errorCode_ = 0;
    std::string lastReply_;
    std::vector<std::string> log_;
    std::string rbuf_; // received bytes not yet consumed
    size_t rpos_ = 0;
    std::chrono::steady_clock::time_point lastPump_{};
    struct Lookup;
    std::shared_ptr<Lookup> lookup_;
};

} // namespace quorel::mail
