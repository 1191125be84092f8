#include "mail/imap.h"

#include "mail/coding.h"
#include "platform/codepage.h"
#include "platform/files.h"

#include <algorithm>
#include <map>

namespace quorel::mail {

namespace {

// A literal larger than this is not taken from a server (a message of a
// quarter of a gigabyte is no chess mail).
constexpr size_t kMaxLiteral = size_t(256) << 20;
// UIDs per command, so that no command line grows without end.
constexpr size_t kUidsPerCommand = 400;

bool StartsNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i], b = prefix[i];
        if (a >= 'a' && a <= 'z') a = char(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = char(b - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

// The size of the literal announced at the end of line ("{123}" or
// "{123+}"), or false.
bool LiteralAtEnd(std::string_view line, size_t& n) {
    if (line.empty() || line.back() != '}') return false;
    size_t open = line.rfind('{');
    if (open == std::string_view::npos) return false;
    std::string_view digits = line.substr(open + 1, line.size() - open - 2);
    if (!digits.empty() && digits.back() == '+') digits.remove_suffix(1);
    if (digits.empty() || digits.size() > 12) return false;
    n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + size_t(c - '0');
    }
    return true;
}

uint32_t ToUint32(std::string_view s) {
    if (s.empty() || s.size() > 10) return 0;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + uint64_t(c - '0');
    }
    return v > 0xFFFFFFFFu ? 0 : uint32_t(v);
}

// Walks the data items of a response whose literals are kept apart.
class Cursor {
  public:
    Cursor(std::string_view text, const std::vector<std::string>& literals, size_t pos)
        : t_(text), lits_(literals), pos_(pos) {}

    void SkipBlanks() {
        while (pos_ < t_.size() && t_[pos_] == ' ')
            ++pos_;
    }
    bool At(char c) {
        SkipBlanks();
        return pos_ < t_.size() && t_[pos_] == c;
    }
    bool AtEnd() {
        SkipBlanks();
        return pos_ >= t_.size();
    }
    void Skip() { ++pos_; }

    // An item name: an atom with its [section] and <origin> parts.
    std::string Name() {
        SkipBlanks();
        std::string out;
        while (pos_ < t_.size()) {
            char c = t_[pos_];
            if (c == '[' || c == '<') {
                char close = c == '[' ? ']' : '>';
                size_t end = t_.find(close, pos_);
                if (end == std::string_view::npos) end = t_.size() - 1;
                out.append(t_.substr(pos_, end - pos_ + 1));
                pos_ = end + 1;
                continue;
            }
            if (c == ' ' || c == '(' || c == ')') break;
            out += c;
            ++pos_;
        }
        return out;
    }

    // A value: a quoted string, a literal, NIL ("" and nil), an atom, or a
    // parenthesised list (skipped, its text returned).
    std::string Value(bool* nil = nullptr) {
        SkipBlanks();
        if (nil) *nil = false;
        if (pos_ >= t_.size()) return "";
        char c = t_[pos_];
        if (c == '"') return Quoted();
        if (c == '{') return Literal();
        if (c == '(') {
            size_t start = pos_;
            SkipList();
            return std::string(t_.substr(start, pos_ - start));
        }
        std::string atom = Name();
        if (nil && (atom == "NIL" || atom == "nil")) *nil = true;
        return atom;
    }

  private:
    std::string Quoted() {
        std::string out;
        ++pos_;
        while (pos_ < t_.size() && t_[pos_] != '"') {
            if (t_[pos_] == '\\' && pos_ + 1 < t_.size()) ++pos_;
            out += t_[pos_++];
        }
        ++pos_;
        return out;
    }
    std::string Literal() {
        size_t close = t_.find('}', pos_);
        pos_ = close == std::string_view::npos ? t_.size() : close + 1;
        return lit_ < lits_.size() ? lits_[lit_++] : std::string();
    }
    void SkipList() {
        int depth = 0;
        while (pos_ < t_.size()) {
            char c = t_[pos_];
            if (c == '"') {
                Quoted();
                continue;
            }
            if (c == '{') {
                Literal();
                continue;
            }
            ++pos_;
            if (c == '(') ++depth;
            if (c == ')' && --depth == 0) return;
        }
    }

    std::string_view t_;
    const std::vector<std::string>& lits_;
    size_t pos_;
    size_t lit_ = 0;
};

struct FetchData {
    uint32_t Uid = 0;
    uint32_t Size = 0;
    bool HasHeader = false, HasBody = false;
    std::string Header, Body;
};

// "* n FETCH (...)": false for any other response.
bool ParseFetch(std::string_view text, const std::vector<std::string>& literals, FetchData& f) {
    if (!StartsNoCase(text, "* ")) return false;
    size_t sp = text.find(' ', 2);
    if (sp == std::string_view::npos || !StartsNoCase(text.substr(sp + 1), "FETCH (")) return false;
    Cursor c(text, literals, sp + 8); // after "FETCH ("
    while (!c.AtEnd() && !c.At(')')) {
        std::string name = AsciiUpper(c.Name());
        if (name.empty()) break;
        bool nil = false;
        std::string value = c.Value(&nil);
        if (name == "UID") {
            f.Uid = ToUint32(value);
        } else if (name == "RFC822.SIZE") {
            f.Size = ToUint32(value);
        } else if (name.rfind("BODY[HEADER", 0) == 0) {
            f.HasHeader = !nil;
            f.Header = std::move(value);
        } else if (name == "BODY[]" || name.rfind("BODY[]<", 0) == 0 || name == "RFC822") {
            f.HasBody = !nil;
            f.Body = std::move(value);
        }
    }
    return true;
}

std::vector<std::string> HeaderLines(std::string_view header) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < header.size()) {
        size_t lf = header.find('\n', pos);
        std::string line(
            header.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos));
        pos = lf == std::string_view::npos ? header.size() : lf + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        lines.push_back(std::move(line));
    }
    return lines;
}

template <class F> void InChunks(const std::vector<uint32_t>& uids, F f) {
    for (size_t i = 0; i < uids.size(); i += kUidsPerCommand) {
        std::vector<uint32_t> part(uids.begin() + long(i),
                                   uids.begin() + long(std::min(uids.size(), i + kUidsPerCommand)));
        f(part);
    }
}

bool NeedsSasl(std::string_view s) {
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u == 0 || u == '\r' || u == '\n' || u >= 0x80) return true;
    }
    return false;
}

} // namespace

std::string ImapToPop3Form(std::string_view message) {
    std::string out;
    out.reserve(message.size() + message.size() / 64 + 8);
    size_t start = 0;
    while (start < message.size()) {
        size_t lf = message.find('\n', start);
        size_t stop = lf == std::string_view::npos ? message.size() : lf + 1;
        if (message[start] == '.') out += '.';
        out.append(message.substr(start, stop - start));
        start = stop;
    }
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    out += ".\r\n";
    return out;
}

std::string UidSet(const std::vector<uint32_t>& uids) {
    std::string out;
    for (size_t i = 0; i < uids.size();) {
        size_t j = i;
        while (j + 1 < uids.size() && uids[j + 1] == uids[j] + 1)
            ++j;
        if (!out.empty()) out += ',';
        out += std::to_string(uids[i]);
        if (j > i) out += ":" + std::to_string(uids[j]);
        i = j + 1;
    }
    return out;
}

std::string ImapQuote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

TmsIMAP::TmsIMAP() {
    DefaultPort = 143;
    ServiceName = "imap";
}

bool TmsIMAP::HasCapability(std::string_view name) const {
    std::string up = AsciiUpper(std::string(name));
    return std::find(caps_.begin(), caps_.end(), up) != caps_.end();
}

void TmsIMAP::CheckOpenProperties() {
    if (UserName.empty()) PropertyFailure(57103);
    if (Password.empty() && !(OAuth.On() && !OAuth.TokenCommand.empty())) PropertyFailure(57104);
    // The port of the service: 993 for TLS from the first byte.
    bool tls = Security == TMailSecurity::Tls;
    ServiceName = tls ? "imaps" : "imap";
    DefaultPort = tls ? 993 : 143;
}

std::string TmsIMAP::NextTag() {
    std::string n = std::to_string(++tagCounter_);
    return "Q" + std::string(n.size() < 4 ? 4 - n.size() : 0, '0') + n;
}

TmsIMAP::Response TmsIMAP::ReadResponse() {
    Response r;
    std::string line = ReceiveLine();
    for (;;) {
        r.Text += line;
        size_t n = 0;
        if (!LiteralAtEnd(line, n)) break;
        if (n > kMaxLiteral)
            SocketFailureText("Server literal of " + std::to_string(n) +
                                  " bytes is too large; connection closed",
                              0);
        std::string literal;
        literal.reserve(std::min(n, size_t(16) << 20));
        ReceiveBytes(literal, n);
        r.Literals.push_back(std::move(literal));
        line = ReceiveLine();
    }
    return r;
}

void TmsIMAP::ParseCapabilities(std::string_view list) {
    caps_.clear();
    size_t pos = 0;
    while (pos < list.size()) {
        size_t sp = list.find(' ', pos);
        std::string word(
            list.substr(pos, sp == std::string_view::npos ? std::string_view::npos : sp - pos));
        pos = sp == std::string_view::npos ? list.size() : sp + 1;
        if (!word.empty() && word.back() == ']') word.pop_back();
        if (!word.empty()) caps_.push_back(AsciiUpper(word));
    }
}

void TmsIMAP::Untagged(const Response& r) {
    std::string_view t = r.Text;
    t.remove_prefix(2);
    // Response codes inside OK / NO / BAD / PREAUTH: [CAPABILITY ...],
    // [UIDVALIDITY n].
    size_t bracket = t.find('[');
    bool status = StartsNoCase(t, "OK ") || StartsNoCase(t, "NO ") || StartsNoCase(t, "BAD ") ||
                  StartsNoCase(t, "PREAUTH ") || StartsNoCase(t, "BYE ");
    if (status && bracket != std::string_view::npos && bracket < 9) {
        std::string_view code = t.substr(bracket + 1);
        code = code.substr(0, code.find(']'));
        if (StartsNoCase(code, "CAPABILITY ")) ParseCapabilities(code.substr(11));
        if (StartsNoCase(code, "UIDVALIDITY ")) UidValidity = ToUint32(code.substr(12));
    }
    if (StartsNoCase(t, "CAPABILITY ")) {
        ParseCapabilities(t.substr(11));
    } else if (StartsNoCase(t, "SEARCH")) {
        std::string_view rest = t.substr(6);
        size_t pos = 0;
        while (pos < rest.size()) {
            size_t sp = rest.find(' ', pos);
            std::string_view w =
                rest.substr(pos, sp == std::string_view::npos ? std::string_view::npos : sp - pos);
            pos = sp == std::string_view::npos ? rest.size() : sp + 1;
            if (uint32_t v = ToUint32(w)) searchResult_.push_back(v);
        }
    } else {
        size_t sp = t.find(' ');
        if (sp != std::string_view::npos && StartsNoCase(t.substr(sp + 1), "EXISTS"))
            MessageCount = long(ToUint32(t.substr(0, sp)));
    }
}

bool TmsIMAP::AwaitTagged(const std::string& tag, const Handler& handler) {
    for (;;) {
        Response r = ReadResponse();
        if (r.Text.rfind("* ", 0) == 0) {
            Untagged(r);
            if (handler) handler(r);
            continue;
        }
        if (r.Text.rfind(tag + " ", 0) != 0) continue; // a stray continuation or tag
        std::string_view status = std::string_view(r.Text).substr(tag.size() + 1);
        size_t bracket = status.find('[');
        if (bracket != std::string_view::npos &&
            StartsNoCase(status.substr(bracket + 1), "CAPABILITY ")) {
            std::string_view code = status.substr(bracket + 12);
            ParseCapabilities(code.substr(0, code.find(']')));
        }
        return StartsNoCase(status, "OK");
    }
}

void TmsIMAP::Command(const std::string& command, const Handler& handler, std::string_view logAs) {
    std::string tag = NextTag();
    std::string logged = logAs.empty() ? std::string() : tag + " " + std::string(logAs);
    SendLine(tag + " " + command, logged);
    if (!AwaitTagged(tag, handler)) ServerFailure();
}

void TmsIMAP::AuthenticateSasl(const std::string& mechanism, const std::string& initial,
                               bool oauth) {
    std::string tag = NextTag();
    bool sentInitial = HasCapability("SASL-IR");
    caps_.clear(); // the server may name new ones in its OK
    if (sentInitial) {
        SendLine(tag + " AUTHENTICATE " + mechanism + " " + initial,
                 tag + " AUTHENTICATE " + mechanism + " ****");
    } else {
        SendLine(tag + " AUTHENTICATE " + mechanism);
    }
    std::string refusal;
    for (;;) {
        Response r = ReadResponse();
        if (r.Text.rfind("+", 0) == 0) {
            if (!sentInitial) {
                SendLine(initial, "****");
                sentInitial = true;
            } else if (oauth) {
                // The error challenge: answer it so that the server ends the
                // exchange with its failure reply.
                refusal = OAuthChallengeText(std::string_view(r.Text).substr(1));
                SendLine(OAuthErrorChallengeAnswer(mechanism));
            } else {
                SendLine("*"); // a challenge PLAIN does not have: abandon
            }
            continue;
        }
        if (r.Text.rfind("* ", 0) == 0) {
            Untagged(r);
            continue;
        }
        if (r.Text.rfind(tag + " ", 0) != 0) continue;
        std::string_view status = std::string_view(r.Text).substr(tag.size() + 1);
        size_t bracket = status.find('[');
        if (bracket != std::string_view::npos &&
            StartsNoCase(status.substr(bracket + 1), "CAPABILITY ")) {
            std::string_view code = status.substr(bracket + 12);
            ParseCapabilities(code.substr(0, code.find(']')));
        }
        if (StartsNoCase(status, "OK")) return;
        if (oauth) throw EServerError(OAuthRefusalText(refusal, LastReply()));
        ServerFailure();
    }
}

void TmsIMAP::Authenticate(const std::string& token) {
    if (caps_.empty()) Command("CAPABILITY");
    if (OAuth.On()) {
        std::vector<std::string> offered;
        for (const auto& c : caps_)
            if (c.rfind("AUTH=", 0) == 0) offered.push_back(c.substr(5));
        std::string mech = OAuth.Choose(offered);
        std::string host = Server.substr(0, Server.find(':'));
        AuthenticateSasl(mech, OAuthInitialResponse(mech, UserName, token, host, Port()), true);
    } else if (HasCapability("LOGINDISABLED") || NeedsSasl(UserName) || NeedsSasl(Password)) {
        std::string plain;
        plain += '\0';
        plain += UserName;
        plain += '\0';
        plain += Password;
        AuthenticateSasl("PLAIN", Base64EncodeFlat(plain), false);
    } else {
        caps_.clear();
        Command("LOGIN " + ImapQuote(UserName) + " " + ImapQuote(Password), {},
                "LOGIN " + ImapQuote(UserName) + " ****");
    }
    if (caps_.empty()) Command("CAPABILITY");
}

void TmsIMAP::Select() {
    UidValidity = 0;
    MessageCount = 0;
    Command("SELECT " + ImapQuote(Mailbox));
    if (UidValidity == 0)
        throw EServerError("The server gave no UIDVALIDITY for " + Mailbox +
                           "; its messages cannot be told apart between sessions");
    if (OnMailboxSelected) OnMailboxSelected(UidValidity);
}

void TmsIMAP::Login() {
    // The token comes first: without one, nothing goes to the server.
    std::string token;
    if (OAuth.On()) token = ObtainOAuthToken(*this, OAuth, Password);
    TcpConnect();
    caps_.clear();
    tagCounter_ = 0;
    Response greeting = ReadResponse();
    preauth_ = StartsNoCase(greeting.Text, "* PREAUTH");
    if (!preauth_ && !StartsNoCase(greeting.Text, "* OK")) ServerFailure();
    Untagged(greeting);
    if (Security == TMailSecurity::StartTls) {
        // A connection that is signed in already can no longer start TLS.
        if (preauth_) RefusedTls();
        std::string tag = NextTag();
        SendLine(tag + " STARTTLS");
        if (!AwaitTagged(tag, {})) RefusedTls();
        StartTls();
        caps_.clear(); // what was said in plain text no longer counts
    }
    if (preauth_) {
        if (caps_.empty()) Command("CAPABILITY");
    } else {
        Authenticate(token);
    }
    Select();
}

void TmsIMAP::Logout() {
    Command("LOGOUT");
}

void TmsIMAP::GetRemoteInfo() {
    Connect();
    if (OnUpdatingInfo) OnUpdatingInfo();
    RemoteInfo.clear();
    AllUids.clear();
    if (MessageCount > 0) {
        // One short response per message (a SEARCH answer is one line, too
        // long for the line buffer in a mailbox that keeps years of mail).
        Command("UID FETCH 1:* (UID)", [&](const Response& r) {
            FetchData f;
            if (ParseFetch(r.Text, r.Literals, f) && f.Uid != 0) AllUids.push_back(f.Uid);
        });
        std::sort(AllUids.begin(), AllUids.end());
        AllUids.erase(std::unique(AllUids.begin(), AllUids.end()), AllUids.end());
    }
    if (OnUidsListed) OnUidsListed();
    std::vector<uint32_t> wanted;
    for (uint32_t uid : AllUids)
        if (!(IsFiled && IsFiled(uid))) wanted.push_back(uid);
    std::map<uint32_t, TImapMessageInfo> found;
    InChunks(wanted, [&](const std::vector<uint32_t>& part) {
        Command("UID FETCH " + UidSet(part) +
                    " (UID RFC822.SIZE BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE)])",
                [&](const Response& r) {
                    FetchData f;
                    if (!ParseFetch(r.Text, r.Literals, f) || f.Uid == 0) return;
                    TImapMessageInfo& item = found[f.Uid];
                    item.Uid = f.Uid;
                    if (f.Size) item.Size = f.Size;
                    if (f.HasHeader) item.Header = HeaderLines(f.Header);
                });
    });
    // A message expunged meanwhile is simply not listed.
    for (uint32_t uid : wanted) {
        auto it = found.find(uid);
        if (it == found.end()) continue;
        RemoteInfo.push_back(std::move(it->second));
        if (OnNextInfoUpdated) OnNextInfoUpdated(int(RemoteInfo.size() - 1));
    }
    if (!KeepConnected) Disconnect();
    if (OnInfoUpdated) OnInfoUpdated();
}

void TmsIMAP::Expunge(const std::vector<uint32_t>& uids) {
    if (HasCapability("UIDPLUS")) {
        InChunks(uids, [&](const std::vector<uint32_t>& part) {
            Command("UID EXPUNGE " + UidSet(part));
        });
        return;
    }
    // A plain EXPUNGE removes every message flagged \Deleted: only when all
    // of them are ours.
    searchResult_.clear();
    Command("UID SEARCH DELETED");
    std::set<uint32_t> ours(uids.begin(), uids.end());
    for (uint32_t uid : searchResult_) {
        if (!ours.count(uid)) {
            NotExpunged = uids;
            AddLog("Not expunged: other messages in " + Mailbox + " are flagged \\Deleted");
            return;
        }
    }
    Command("EXPUNGE");
}

void TmsIMAP::TransferMarked() {
    if (RemoteInfo.empty()) return;
    const uint32_t listed = UidValidity;
    Connect();
    Flagged.clear();
    NotExpunged.clear();
    if (listed != 0 && UidValidity != listed) {
        Disconnect();
        throw EServerError("The server numbered the messages of " + Mailbox +
                           " afresh (UIDVALIDITY changed); update the list first");
    }
    // The filed messages are flushed to disk together, before anything is
    // flagged for deletion and at the end.
    TDeferredSync filing;
    if (OnTransferringData) OnTransferringData();

    std::map<uint32_t, int> index;
    std::vector<uint32_t> toFetch;
    for (size_t i = 0; i < RemoteInfo.size(); ++i) {
        index[RemoteInfo[i].Uid] = int(i);
        if (RemoteInfo[i].Retrieve) toFetch.push_back(RemoteInfo[i].Uid);
    }
    std::sort(toFetch.begin(), toFetch.end());
    std::set<uint32_t> filed;
    InChunks(toFetch, [&](const std::vector<uint32_t>& part) {
        Command("UID FETCH " + UidSet(part) + " (UID RFC822.SIZE BODY.PEEK[])",
                [&](const Response& r) {
                    FetchData f;
                    if (!ParseFetch(r.Text, r.Literals, f) || !f.HasBody) return;
                    auto it = index.find(f.Uid);
                    if (it == index.end() || filed.count(f.Uid) ||
                        !RemoteInfo[size_t(it->second)].Retrieve)
                        return;
                    if (OnRetrieving) OnRetrieving(it->second);
                    if (Cancelled()) Canceled();    // Stop pressed in the event
                    if (!OnUserMessageSave) return; // nobody files it: not retrieved
                    OnUserMessageSave(it->second, ImapToPop3Form(f.Body));
                    filed.insert(f.Uid);
                    if (OnRetrieved) OnRetrieved(it->second);
                });
    });

    std::vector<uint32_t> doomed;
    for (const auto& item : RemoteInfo)
        if (item.Delete && (!item.Retrieve || filed.count(item.Uid))) doomed.push_back(item.Uid);
    std::sort(doomed.begin(), doomed.end());
    if (!doomed.empty()) {
        // Every message filed so far is on disk before the server is told to
        // delete one.
        std::string error;
        if (!filing.Commit(&error))
            throw EMailNetError("Cannot save the retrieved messages: " + error);
        for (uint32_t uid : doomed)
            if (OnDeleting) OnDeleting(index[uid]);
        InChunks(doomed, [&](const std::vector<uint32_t>& part) {
            Command("UID STORE " + UidSet(part) + " +FLAGS.SILENT (\\Deleted)");
        });
        Flagged = doomed;
        Expunge(doomed);
    }
    std::string error;
    if (!filing.Commit(&error)) throw EMailNetError("Cannot save the retrieved messages: " + error);
    if (OnDataTransfered) OnDataTransfered();
    Disconnect();
}

} // namespace quorel::mail
