#include "mail/tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <map>
#include <mutex>
#include <sys/stat.h>

namespace quorel::mail {

namespace {
std::string OpenSslErrors() {
    std::string out;
    unsigned long e;
    while ((e = ERR_get_error()) != 0) {
        char buf[256];
        ERR_error_string_n(e, buf, sizeof buf);
        if (!out.empty()) out += "; ";
        out += buf;
    }
    return out;
}

bool IsIpAddress(const std::string& host) {
    in_addr a4;
    in6_addr a6;
    return inet_pton(AF_INET, host.c_str(), &a4) == 1 ||
           inet_pton(AF_INET6, host.c_str(), &a6) == 1;
}
// The client context for one trusted file: reading the system's CA store
// costs milliseconds, so a context is made once per trusted file (and its
// modification time) and shared by every later session. The returned
// context carries a reference for the caller.
SSL_CTX* SharedContext(const std::string& trustedFile, std::string& error) {
    static std::mutex m;
    static std::map<std::string, SSL_CTX*> cache;
    std::string key = trustedFile;
    if (!trustedFile.empty()) {
        struct stat st {};
        if (::stat(trustedFile.c_str(), &st) == 0)
            key += "|" + std::to_string(st.st_mtim.tv_sec) + "." +
                   std::to_string(st.st_mtim.tv_nsec) + "|" + std::to_string(st.st_size);
    }
    std::lock_guard<std::mutex> g(m);
    auto it = cache.find(key);
    if (it == cache.end()) {
        SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
        if (!ctx) {
            error = "cannot create the TLS context: " + OpenSslErrors();
            return nullptr;
        }
        SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
        SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
        if (SSL_CTX_set_default_verify_paths(ctx) != 1) ERR_clear_error(); // no system store
        if (!trustedFile.empty() &&
            SSL_CTX_load_verify_locations(ctx, trustedFile.c_str(), nullptr) != 1) {
            error =
                "cannot read the trusted certificate file " + trustedFile + ": " + OpenSslErrors();
            SSL_CTX_free(ctx);
            return nullptr;
        }
        it = cache.emplace(key, ctx).first;
    }
    SSL_CTX_up_ref(it->second);
    return it->second;
}
} // namespace

TTlsSession::~TTlsSession() {
    if (ssl_) SSL_free(ssl_);
    if (ctx_) SSL_CTX_free(ctx_);
}

bool TTlsSession::Begin(int fd, const std::string& host, const std::string& trustedFile) {
    host_ = host;
    ERR_clear_error();
    ctx_ = SharedContext(trustedFile, error_);
    if (!ctx_) return false;
    ssl_ = SSL_new(ctx_);
    if (!ssl_ || SSL_set_fd(ssl_, fd) != 1) {
        error_ = "cannot create the TLS session: " + OpenSslErrors();
        return false;
    }
    SSL_set_mode(ssl_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    if (IsIpAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl_, host.c_str());
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
    }
    return true;
}

TTlsSession::Status TTlsSession::Map(int ret, const char* what) {
    int err = SSL_get_error(ssl_, ret);
    switch (err) {
    case SSL_ERROR_WANT_READ:
        return Status::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return Status::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        return Status::Closed;
    case SSL_ERROR_SYSCALL:
        if (ERR_peek_error() == 0) return Status::Closed;
        [[fallthrough]];
    default: {
        long vr = SSL_get_verify_result(ssl_);
        if (vr != X509_V_OK) {
            certFailed_ = true;
            error_ = std::string(X509_verify_cert_error_string(vr)) + " (" + host_ + ")";
            ERR_clear_error();
        } else {
            error_ = std::string(what) + ": " + OpenSslErrors();
        }
        return Status::Failed;
    }
    }
}

TTlsSession::Status TTlsSession::Handshake() {
    ERR_clear_error();
    int r = SSL_connect(ssl_);
    if (r == 1) return Status::Ok;
    Status s = Map(r, "handshake");
    if (s == Status::Closed) {
        long vr = SSL_get_verify_result(ssl_);
        if (vr != X509_V_OK) {
            certFailed_ = true;
            error_ = std::string(X509_verify_cert_error_string(vr)) + " (" + host_ + ")";
        } else {
            error_ = "the server closed the connection during the handshake";
        }
        return Status::Failed;
    }
    return s;
}

TTlsSession::Status TTlsSession::Read(char* buf, size_t n, size_t& got) {
    ERR_clear_error();
    got = 0;
    int r = SSL_read_ex(ssl_, buf, n, &got);
    if (r == 1) return Status::Ok;
    return Map(0, "read");
}

TTlsSession::Status TTlsSession::Write(const char* buf, size_t n, size_t& put) {
    ERR_clear_error();
    put = 0;
    int r = SSL_write_ex(ssl_, buf, n, &put);
    if (r == 1) return Status::Ok;
    return Map(0, "write");
}

void TTlsSession::Shutdown() {
    if (ssl_) {
        ERR_clear_error();
        SSL_shutdown(ssl_);
        ERR_clear_error();
    }
}

} // namespace quorel::mail
