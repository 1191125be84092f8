#pragma once
// A TLS client session over a connected non-blocking socket (OpenSSL).
// The peer's certificate is verified against the system's CA store, plus an
// optional extra trusted certificate file, and against the host name (or the
// IP address when the server was given as one). A failed verification is a
// failure of the handshake, never a fall-back to plain text.
#include <cstddef>
#include <string>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace quorel::mail {

class TTlsSession {
  public:
    enum class Status { Ok, WantRead, WantWrite, Closed, Failed };

    TTlsSession() = default;
    ~TTlsSession();
    TTlsSession(const TTlsSession&) = delete;
    TTlsSession& operator=(const TTlsSession&) = delete;

    // Prepares the session on fd for host. False with ErrorText() set when
    // the context cannot be made (for example an unreadable trusted file).
    bool Begin(int fd, const std::string& host, const std::string& trustedFile);
    // One step of the handshake; Ok when it is complete.
    Status Handshake();
    // Reads up to n bytes (got > 0 on Ok).
    Status Read(char* buf, size_t n, size_t& got);
    // Writes up to n bytes (put > 0 on Ok).
    Status Write(const char* buf, size_t n, size_t& put);
    // Sends close_notify without waiting for the answer.
    void Shutdown();

    // Text of the last failure; CertificateFailed() tells whether it was the
    // peer's certificate that did not verify.
    const std::string& ErrorText() const { return error_; }
    bool CertificateFailed() const { return certFailed_; }

  private:
    Status Map(int ret, const char* what);
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    std::string host_;
    std::string error_;
    bool certFailed_ = false;
};

} // namespace quorel::mail
