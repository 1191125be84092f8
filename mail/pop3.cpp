#include "mail/pop3.h"

#include "platform/files.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <future>

namespace quorel::mail {

namespace {
// The text after the first blank of s, up to the next blank (or the end).
std::string WordAfterBlank(std::string_view s) {
    auto b = s.find(' ');
    if (b == std::string_view::npos) return "";
    s = s.substr(b + 1);
    auto e = s.find(' ');
    return std::string(s.substr(0, e));
}

long ToNumber(const std::string& s, long fallback) {
    if (s.empty()) return fallback;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0') return fallback;
    return v;
}
} // namespace

TmsCustomPOP::TmsCustomPOP() {
    DefaultPort = 110;
    ServiceName = "pop3";
}

void TmsCustomPOP::CheckOpenProperties() {
    if (UserName.empty()) PropertyFailure(57103);
    if (Password.empty() && !(OAuth.On() && !OAuth.TokenCommand.empty())) PropertyFailure(57104);
}

void TmsCustomPOP::Command(const std::string& line, std::string_view logAs) {
    SendLine(line, logAs);
    if (!IsPositive(ReceiveLine())) ServerFailure();
}

void TmsCustomPOP::Login() {
    // OAuth 2.0: the token first, so that nothing is sent without one.
    const std::string token = OAuth.On() ? ObtainOAuthToken(*this, OAuth, Password) : std::string();
    TcpConnect();
    ++session_;
    Pipelining = false;
    if (!IsPositive(ReceiveLine())) ServerFailure();
    if (Security == TMailSecurity::StartTls) {
        SendLine("STLS");
        if (!IsPositive(ReceiveLine())) RefusedTls();
        StartTls();
    }
    // After STLS: the capabilities may differ once TLS is on (RFC 2595).
    Capabilities();
    if (OAuth.On()) {
        AuthenticateOAuth(token);
    } else {
        Command("USER " + UserName);
        Command("PASS " + Password, "PASS ****");
    }
    Stat();
}

void TmsCustomPOP::Capabilities() {
    SendLine("CAPA");
    if (!IsPositive(ReceiveLine())) return;
    for (;;) {
        std::string line = ReceiveLine();
        if (line == ".") break;
        std::string word = line.substr(0, line.find(' '));
        for (char& c : word)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        if (word == "PIPELINING") Pipelining = true;
    }
}

void TmsCustomPOP::Run(const std::vector<TPending>& commands) {
    if (Pipelining) {
        std::vector<std::pair<std::string, std::string>> lines;
        lines.reserve(commands.size());
        for (const auto& c : commands)
            lines.emplace_back(c.Line, c.LogAs);
        SendLines(lines);
        for (const auto& c : commands) {
            MaybePump();
            CheckCancel();
            c.ReadReply();
        }
        return;
    }
    for (const auto& c : commands) {
        SendLine(c.Line, c.LogAs);
        c.ReadReply();
    }
}

void TmsCustomPOP::Stat() {
    Command("STAT");
    std::string rest = LastReply().size() > 4 ? LastReply().substr(4) : "";
    auto b = rest.find(' ');
    if (b == std::string::npos) return;
    MessageCount = ToNumber(rest.substr(0, b), 0);
    std::string size = rest.substr(b + 1);
    size = size.substr(0, size.find(' '));
    TotalSize = ToNumber(size, 0);
}

void TmsCustomPOP::Logout() {
    Command("QUIT");
}

// ---- TmsRemotePOP ----------------------------------------------------------

void TmsRemotePOP::SetMessageDirectory(const std::string& dir) {
    messageDirectory_ = dir;
    if (!dir.empty() && dir.back() != '/') messageDirectory_ += '/';
}

void TmsRemotePOP::SessionDeletions() {
    if (deletedIn_ != session_) {
        deleted_.assign(size_t(std::max(MessageCount, 0L)) + 1, false);
        deletedIn_ = session_;
    }
}

int TmsRemotePOP::NumberOf(size_t i) const {
    if (listedIn_ == session_ && i < numbers_.size()) return numbers_[i];
    return int(i) + 1;
}

uint32_t TmsRemotePOP::ReadListReply() {
    if (!IsPositive(ReceiveLine())) ServerFailure();
    std::string rest = LastReply().size() > 4 ? LastReply().substr(4) : "";
    long v = ToNumber(WordAfterBlank(rest), 0);
    return v > 0 ? uint32_t(v) : 0;
}

void TmsRemotePOP::ReadTopReply(TmsRemoteInfoItem& item) {
    if (!IsPositive(ReceiveLine())) ServerFailure();
    std::string data;
    ReceiveData(data, -1);
    item.Header.clear();
    size_t pos = 0;
    while (pos < data.size()) {
        size_t lf = data.find('\n', pos);
        std::string line = data.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
        pos = lf == std::string::npos ? data.size() : lf + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break; // the header ends at the first empty line
        item.Header.push_back(line);
    }
}

void TmsRemotePOP::GetRemoteInfo() {
    Connect();
    if (OnUpdatingInfo) OnUpdatingInfo();
    RemoteInfo.clear();
    numbers_.clear();
    SessionDeletions();
    // Within a session that deleted messages their numbers stay taken.
    std::vector<int> numbers;
    for (long n = 1; n <= MessageCount; ++n)
        if (!deleted_[size_t(n)]) numbers.push_back(int(n));
    const size_t depth = Pipelining ? kPipelineDepth : 1;
    for (size_t at = 0; at < numbers.size(); at += depth) {
        const size_t end = std::min(numbers.size(), at + depth);
        std::vector<TmsRemoteInfoItem> items(end - at);
        std::vector<TPending> commands;
        for (size_t k = at; k < end; ++k) {
            TmsRemoteInfoItem& item = items[k - at];
            const std::string n = std::to_string(numbers[k]);
            commands.push_back({"LIST " + n, "", [this, &item] { item.Size = ReadListReply(); }});
            commands.push_back({"TOP " + n + " 1", "", [this, &item, k] {
                                    ReadTopReply(item);
                                    RemoteInfo.push_back(std::move(item));
                                    if (OnNextInfoUpdated) OnNextInfoUpdated(int(k));
                                }});
        }
        Run(commands);
    }
    numbers_ = numbers;
    listedIn_ = session_;
    if (!KeepConnected) Disconnect();
    if (OnInfoUpdated) OnInfoUpdated();
}

void TmsRemotePOP::ReadRetrReply(int i, uint32_t size) {
    if (OnRetrieving) OnRetrieving(i);
    if (!IsPositive(ReceiveLine())) ServerFailure();
    std::string data;
    data.reserve(size + 64);
    ReceiveData(data, long(size));
    if (OnUserMessageSave) {
        OnUserMessageSave(i, data);
    } else {
        std::string error;
        if (!AtomicWriteFile(messageDirectory_ + "msg_" + std::to_string(i) + ".eml", data, &error))
            throw EMailNetError("Cannot save message " + std::to_string(i + 1) + ": " + error);
    }
    if (OnRetrieved) OnRetrieved(i);
}

void TmsRemotePOP::TransferMarked() {
    if (RemoteInfo.empty()) return;
    Connect();
    // The retrieved messages are flushed to disk together, before the
    // deletions that follow them and at the end, instead of three flushes
    // per message. A message is deleted on the server only once it is on
    // disk: its DELE goes out with the group after the one that filed it.
    TDeferredSync filing;
    auto commit = [this, &filing] {
        if (!filing.Pending()) return;
        // The flush of a group of large messages can take a while: it runs
        // beside the owner's event processing, which goes on (Stop included).
        std::string error;
        auto flushed = std::async(std::launch::async, [&] { return filing.Commit(&error); });
        while (flushed.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
            if (Pump) Pump();
        if (!flushed.get()) throw EMailNetError("Cannot save the retrieved messages: " + error);
        if (Cancelled()) Canceled();
    };
    if (OnTransferringData) OnTransferringData();
    SessionDeletions();
    std::vector<size_t> marked;
    for (size_t i = 0; i < RemoteInfo.size(); ++i)
        if (RemoteInfo[i].Retrieve || RemoteInfo[i].Delete) marked.push_back(i);
    const size_t depth = Pipelining ? kPipelineDepth : 1;
    std::vector<size_t> toDelete;
    size_t at = 0;
    while (at < marked.size() || !toDelete.empty()) {
        commit();
        std::vector<TPending> commands;
        for (size_t i : toDelete) {
            const int n = NumberOf(i);
            commands.push_back({"DELE " + std::to_string(n), "", [this, i, n] {
                                    if (OnDeleting) OnDeleting(int(i));
                                    ReceiveLine(); // the status is not checked
                                    if (size_t(n) < deleted_.size()) deleted_[size_t(n)] = true;
                                }});
        }
        std::vector<size_t> next;
        for (size_t k = 0; k < depth && at < marked.size(); ++k) {
            const size_t i = marked[at++];
            TmsRemoteInfoItem& item = RemoteInfo[i];
            if (item.Retrieve) {
                const std::string n = std::to_string(NumberOf(i));
                commands.push_back(
                    {"LIST " + n, "", [this, &item] { item.Size = ReadListReply(); }});
                commands.push_back(
                    {"RETR " + n, "", [this, &item, i] { ReadRetrReply(int(i), item.Size); }});
            }
            if (item.Delete) next.push_back(i);
        }
        Run(commands);
        toDelete = std::move(next);
    }
    commit();
    if (OnDataTransfered) OnDataTransfered();
    if (!KeepConnected) Disconnect();
}

} // namespace quorel::mail
