#include "mail/oauth.h"

#include "mail/coding.h"
#include "platform/codepage.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quorel::mail {

namespace {

constexpr int kSliceMs = 50;
constexpr size_t kMaxErrorBytes = 4096;

std::string Named(const std::string& program) {
    return "OAuth2 token command \"" + program + "\"";
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string TrimBlanks(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

// Closes a descriptor once, whatever way the run ends.
struct Fd {
    int fd = -1;
    ~Fd() { Reset(); }
    void Reset() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

// Reads what is there, keeping up to keep bytes; with overflow, one byte
// more marks that there was too much. False at end of file or on an error.
bool Drain(Fd& f, std::string& into, size_t keep, bool overflow) {
    char buf[4096];
    ssize_t n = ::read(f.fd, buf, sizeof buf);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n <= 0) {
        f.Reset();
        return false;
    }
    size_t room = into.size() < keep ? keep - into.size() : 0;
    into.append(buf, std::min(size_t(n), room));
    if (size_t(n) > room && overflow) into.push_back('\0');
    return true;
}

// The JSON value of key in a flat object, as text ("" when absent): strings
// without their quotes and escapes resolved, numbers and words as written.
std::string JsonField(std::string_view json, std::string_view key) {
    size_t pos = 0;
    while ((pos = json.find('"', pos)) != std::string_view::npos) {
        // Read one string.
        std::string text;
        size_t i = pos + 1;
        for (; i < json.size() && json[i] != '"'; ++i) {
            if (json[i] == '\\' && i + 1 < json.size()) {
                ++i;
                char c = json[i];
                text += c == 'n' ? ' ' : c == 't' ? ' ' : c;
            } else {
                text += json[i];
            }
        }
        if (i >= json.size()) return "";
        size_t after = i + 1;
        while (after < json.size() && IsBlank(json[after]))
            ++after;
        if (after < json.size() && json[after] == ':') {
            // A key: is it ours?
            size_t v = after + 1;
            while (v < json.size() && IsBlank(json[v]))
                ++v;
            if (text == key && v < json.size()) {
                if (json[v] == '"') {
                    std::string value;
                    for (size_t k = v + 1; k < json.size() && json[k] != '"'; ++k) {
                        if (json[k] == '\\' && k + 1 < json.size()) ++k;
                        value += json[k];
                    }
                    return value;
                }
                size_t e = json.find_first_of(",}", v);
                return TrimBlanks(
                    json.substr(v, e == std::string_view::npos ? json.size() - v : e - v));
            }
        }
        pos = after;
    }
    return "";
}

// Only printable ASCII without blanks reaches a protocol line.
std::string Printable(std::string_view s, size_t max) {
    std::string out;
    for (char c : s) {
        if (out.size() >= max) break;
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f) out += c;
    }
    return out;
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    size_t i = 0;
    auto unterminated = [&](char q) {
        throw EOAuthError("OAuth2 Token Command has an unterminated " +
                          std::string(q == '\'' ? "single" : "double") +
                          " quote: " + std::string(command));
    };
    while (i < command.size()) {
        char c = command[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            ++i;
        } else if (c == '#' && !inWord) {
            break; // a comment up to the end
        } else if (c == '\\') {
            if (i + 1 < command.size()) {
                if (command[i + 1] != '\n') {
                    word += command[i + 1];
                    inWord = true;
                }
                i += 2;
            } else {
                word += '\\'; // a trailing backslash stays
                inWord = true;
                ++i;
            }
        } else if (c == '\'') {
            size_t end = command.find('\'', i + 1);
            if (end == std::string_view::npos) unterminated('\'');
            word.append(command.substr(i + 1, end - i - 1));
            inWord = true;
            i = end + 1;
        } else if (c == '"') {
            size_t k = i + 1;
            for (;;) {
                if (k >= command.size()) unterminated('"');
                char d = command[k];
                if (d == '"') break;
                if (d == '\\' && k + 1 < command.size() &&
                    std::strchr("$`\"\\\n", command[k + 1]) != nullptr) {
                    if (command[k + 1] != '\n') word += command[k + 1];
                    k += 2;
                    continue;
                }
                word += d;
                ++k;
            }
            inWord = true;
            i = k + 1;
        } else {
            word += c;
            inWord = true;
            ++i;
        }
    }
    if (inWord) words.push_back(std::move(word));
    if (words.empty()) throw EOAuthError("OAuth2 Token Command is empty");
    return words;
}

std::string RunTokenCommand(const std::string& command, const TTokenCommandOptions& options) {
    std::vector<std::string> args = SplitCommandLine(command);
    const std::string name = Named(args[0]);

    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0)
        throw EOAuthError(name + " could not be started: " + std::strerror(errno));
    Fd out{outPipe[0]}, outW{outPipe[1]};
    if (::pipe2(errPipe, O_CLOEXEC) != 0)
        throw EOAuthError(name + " could not be started: " + std::strerror(errno));
    Fd err{errPipe[0]}, errW{errPipe[1]};

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, outW.fd, 1);
    posix_spawn_file_actions_adddup2(&fa, errW.fd, 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group, so that a time-out ends the helpers it started.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                        POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);

    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &fa, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) throw EOAuthError(name + " could not be started: " + std::strerror(rc));
    outW.Reset();
    errW.Reset();
    ::fcntl(out.fd, F_SETFL, O_NONBLOCK);
    ::fcntl(err.fd, F_SETFL, O_NONBLOCK);

    std::string output, errors;
    int status = 0;
    bool exited = false;
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::seconds(std::max(1, options.TimeOutSeconds));
    auto stop = [&](const std::string& why, bool canceled) {
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        if (canceled) throw ECanceledError(why);
        throw EOAuthError(why);
    };
    while (!exited) {
        if (options.Cancelled && options.Cancelled()) stop(MailNetText(57001), true);
        if (std::chrono::steady_clock::now() >= deadline)
            stop(name + " did not finish within " +
                     std::to_string(std::max(1, options.TimeOutSeconds)) + " seconds",
                 false);
        if (out.fd >= 0 || err.fd >= 0) {
            pollfd p[2] = {{out.fd, POLLIN, 0}, {err.fd, POLLIN, 0}};
            int r = ::poll(p, 2, kSliceMs);
            if (r > 0) {
                if (out.fd >= 0 && p[0].revents) Drain(out, output, options.MaxOutput, true);
                if (err.fd >= 0 && p[1].revents) Drain(err, errors, kMaxErrorBytes, false);
                if (output.size() > options.MaxOutput)
                    stop(name + " printed more than " + std::to_string(options.MaxOutput) +
                             " bytes",
                         false);
            }
            continue;
        }
        // Both pipes closed: wait for the end of the process.
        pid_t w = ::waitpid(pid, &status, WNOHANG);
        if (w == pid) {
            exited = true;
        } else if (w < 0 && errno != EINTR) {
            break;
        } else {
            ::poll(nullptr, 0, kSliceMs / 5);
        }
    }

    if (WIFSIGNALED(status))
        throw EOAuthError(name + " was ended by signal " + std::to_string(WTERMSIG(status)));
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        std::string first = TrimBlanks(errors.substr(0, errors.find('\n')));
        std::string text = name + " failed with exit status " + std::to_string(WEXITSTATUS(status));
        if (!first.empty()) text += ": " + first;
        throw EOAuthError(text);
    }
    std::string token = TrimBlanks(output);
    if (token.empty()) throw EOAuthError(name + " printed no access token");
    for (char c : token) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f)
            throw EOAuthError(name + " printed more than one word or characters an access token "
                                     "cannot hold");
    }
    return token;
}

std::string OAuthMechanismName(std::string_view mechanism) {
    std::string up = AsciiUpper(std::string(mechanism));
    if (up == "XOAUTH2" || up == "OAUTHBEARER") return up;
    return "";
}

std::string XOAuth2InitialResponse(std::string_view user, std::string_view token) {
    std::string s = "user=";
    s += user;
    s += "\x01"
         "auth=Bearer ";
    s += token;
    s += "\x01\x01";
    return Base64EncodeFlat(s);
}

std::string OAuthBearerInitialResponse(std::string_view user, std::string_view token,
                                       std::string_view host, unsigned port) {
    std::string s = "n,a=";
    for (char c : user) {
        if (c == ',') {
            s += "=2C";
        } else if (c == '=') {
            s += "=3D";
        } else {
            s += c;
        }
    }
    s += ",\x01";
    if (!host.empty()) {
        s += "host=";
        s += host;
        s += '\x01';
    }
    if (port != 0) s += "port=" + std::to_string(port) + "\x01";
    s += "auth=Bearer ";
    s += token;
    s += "\x01\x01";
    return Base64EncodeFlat(s);
}

std::string OAuthInitialResponse(std::string_view mechanism, std::string_view user,
                                 std::string_view token, std::string_view host, unsigned port) {
    if (OAuthMechanismName(mechanism) == "OAUTHBEARER")
        return OAuthBearerInitialResponse(user, token, host, port);
    return XOAuth2InitialResponse(user, token);
}

std::string OAuthErrorChallengeAnswer(std::string_view mechanism) {
    return OAuthMechanismName(mechanism) == "OAUTHBEARER" ? "AQ==" : "";
}

std::string OAuthChallengeText(std::string_view base64Challenge) {
    std::string text = "the server refused the access token";
    std::string json = Base64Decode(TrimBlanks(base64Challenge));
    if (json.find('{') == std::string::npos) return text;
    std::string status = Printable(JsonField(json, "status"), 60);
    std::string scope = Printable(JsonField(json, "scope"), 200);
    std::string details;
    if (!status.empty()) details += "status " + status;
    if (!scope.empty()) details += (details.empty() ? "" : ", ") + std::string("scope ") + scope;
    if (!details.empty()) text += " (" + details + ")";
    return text;
}

std::string OAuthRefusalText(const std::string& challengeText, const std::string& reply) {
    std::string text = "OAuth 2.0 sign-in refused: ";
    text += challengeText.empty() ? "the server did not accept the access token" : challengeText;
    return text + " - server reply: " + reply;
}

std::string TOAuthSignIn::Choose(const std::vector<std::string>& offered) const {
    std::string forced = OAuthMechanismName(Mechanism);
    if (!forced.empty()) return forced;
    for (const char* m : {"XOAUTH2", "OAUTHBEARER"})
        for (const auto& o : offered)
            if (o == m) return m;
    return "XOAUTH2";
}

std::string ObtainOAuthToken(TagSocket& client, const TOAuthSignIn& signIn,
                             const std::string& password) {
    auto fail = [&](std::string msg, bool canceled) -> std::string {
        if (client.OnError) client.OnError(msg);
        client.Close();
        if (canceled) throw ECanceledError(msg);
        throw EOAuthError(msg);
    };
    if (signIn.TokenCommand.empty()) {
        if (password.empty())
            return fail("OAuth 2.0 sign-in needs an OAuth2 Token Command or an access token",
                        false);
        return password;
    }
    TTokenCommandOptions o;
    o.TimeOutSeconds = signIn.TokenTimeOut;
    auto lastPump = std::chrono::steady_clock::now();
    o.Cancelled = [&] {
        auto now = std::chrono::steady_clock::now();
        if (client.Pump && now - lastPump >= std::chrono::milliseconds(kSliceMs)) {
            lastPump = now;
            client.Pump();
        }
        return client.Cancelled();
    };
    try {
        return RunTokenCommand(signIn.TokenCommand, o);
    } catch (const ECanceledError& e) {
        return fail(e.what(), true);
    } catch (const EOAuthError& e) {
        return fail(e.what(), false);
    }
}

} // namespace quorel::mail
