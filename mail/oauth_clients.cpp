// OAuth 2.0 sign-in (SASL XOAUTH2 / OAUTHBEARER) of the SMTP and POP3
// clients, and the POP3 UIDL listing that lets mail stay on the server
// without being filed twice.
#include "mail/oauth.h"
#include "mail/pop3.h"
#include "mail/smtp.h"
#include "platform/codepage.h"

#include <cstdlib>

namespace quorel::mail {

namespace {
std::string HostOf(const std::string& server) {
    return server.substr(0, server.find(':'));
}
} // namespace

void TmsSMTP::AuthenticateOAuth(const std::string& token) {
    std::vector<std::string> offered;
    for (const auto& e : extensions_) {
        std::string up = AsciiUpper(e);
        if (up.rfind("AUTH", 0) != 0 || up.size() < 5) continue;
        size_t pos = 5;
        while (pos < up.size()) {
            size_t sp = up.find(' ', pos);
            offered.push_back(
                up.substr(pos, sp == std::string::npos ? std::string::npos : sp - pos));
            pos = sp == std::string::npos ? up.size() : sp + 1;
        }
    }
    std::string mech = OAuth.Choose(offered);
    std::string initial = OAuthInitialResponse(mech, UserName, token, HostOf(Server), Port());
    SendLine("AUTH " + mech + " " + initial, "AUTH " + mech + " ****");
    int code = ReadReply();
    std::string refusal;
    if (code == 334) {
        // The error challenge; the answer makes the server end with its
        // failure reply.
        refusal = OAuthChallengeText(LastReply().size() > 4 ? LastReply().substr(4) : "");
        SendLine(OAuthErrorChallengeAnswer(mech));
        code = ReadReply();
    }
    if (code / 100 != 2) throw EServerError(OAuthRefusalText(refusal, LastReply()));
}

void TmsCustomPOP::AuthenticateOAuth(const std::string& token) {
    std::vector<std::string> offered;
    if (OAuthMechanismName(OAuth.Mechanism).empty()) {
        // Which mechanisms does the server offer? (CAPA, RFC 2449)
        SendLine("CAPA");
        if (IsPositive(ReceiveLine())) {
            std::string data;
            ReceiveData(data, -1);
            size_t pos = 0;
            while (pos < data.size()) {
                size_t lf = data.find('\n', pos);
                std::string line = AsciiUpper(
                    data.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos));
                pos = lf == std::string::npos ? data.size() : lf + 1;
                while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                    line.pop_back();
                if (line.rfind("SASL ", 0) != 0) continue;
                size_t p = 5;
                while (p < line.size()) {
                    size_t sp = line.find(' ', p);
                    offered.push_back(
                        line.substr(p, sp == std::string::npos ? std::string::npos : sp - p));
                    p = sp == std::string::npos ? line.size() : sp + 1;
                }
            }
        }
    }
    std::string mech = OAuth.Choose(offered);
    std::string initial = OAuthInitialResponse(mech, UserName, token, HostOf(Server), Port());
    auto challenge = [](const std::string& l) {
        return l.rfind("+OK", 0) != 0 && l.rfind("+", 0) == 0;
    };
    std::string line;
    if (initial.size() + mech.size() + 6 <= 255) {
        SendLine("AUTH " + mech + " " + initial, "AUTH " + mech + " ****");
        line = ReceiveLine();
    } else {
        // A POP3 command line holds 255 octets (RFC 5034): a longer initial
        // response follows the server's empty challenge.
        SendLine("AUTH " + mech);
        line = ReceiveLine();
        if (!challenge(line)) throw EServerError(OAuthRefusalText("", line));
        SendLine(initial, "****");
        line = ReceiveLine();
    }
    std::string refusal;
    if (challenge(line)) {
        refusal = OAuthChallengeText(line.substr(1));
        SendLine(OAuthErrorChallengeAnswer(mech));
        line = ReceiveLine();
    }
    if (!IsPositive(line) || challenge(line)) throw EServerError(OAuthRefusalText(refusal, line));
}

std::vector<std::string> TmsCustomPOP::Uidl() {
    Command("UIDL");
    std::string data;
    ReceiveData(data, -1);
    std::vector<std::string> uids(size_t(MessageCount > 0 ? MessageCount : 0));
    size_t pos = 0;
    while (pos < data.size()) {
        size_t lf = data.find('\n', pos);
        std::string line = data.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
        pos = lf == std::string::npos ? data.size() : lf + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        size_t sp = line.find(' ');
        if (sp == std::string::npos || sp == 0) continue;
        char* end = nullptr;
        long n = std::strtol(line.c_str(), &end, 10);
        if (end != line.c_str() + sp || n < 1 || n > 1000000) continue;
        if (size_t(n) > uids.size()) uids.resize(size_t(n));
        uids[size_t(n - 1)] = line.substr(sp + 1);
    }
    return uids;
}

} // namespace quorel::mail
