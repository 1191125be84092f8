#include "mail/pop3.h"

#include "platform/files.h"

#include <cstdlib>

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
    if (!IsPositive(ReceiveLine())) ServerFailure();
    if (Security == TMailSecurity::StartTls) {
        SendLine("STLS");
        if (!IsPositive(ReceiveLine())) RefusedTls();
        StartTls();
    }
    if (OAuth.On()) {
        AuthenticateOAuth(token);
    } else {
        Command("USER " + UserName);
        Command("PASS " + Password, "PASS ****");
    }
    Stat();
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

uint32_t TmsRemotePOP::ListSize(int i) {
    Command("LIST " + std::to_string(i + 1));
    std::string rest = LastReply().size() > 4 ? LastReply().substr(4) : "";
    long v = ToNumber(WordAfterBlank(rest), 0);
    return v > 0 ? uint32_t(v) : 0;
}

void TmsRemotePOP::FetchInfo(int i, TmsRemoteInfoItem& item) {
    item.Size = ListSize(i);
    Command("TOP " + std::to_string(i + 1) + " 1");
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
    for (long i = 0; i < MessageCount; ++i) {
        TmsRemoteInfoItem item;
        FetchInfo(int(i), item);
        RemoteInfo.push_back(std::move(item));
        if (OnNextInfoUpdated) OnNextInfoUpdated(int(i));
    }
    if (!KeepConnected) Disconnect();
    if (OnInfoUpdated) OnInfoUpdated();
}

void TmsRemotePOP::RetrieveMessage(int i) {
    uint32_t size = ListSize(i);
    if (OnRetrieving) OnRetrieving(i);
    Command("RETR " + std::to_string(i + 1));
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

void TmsRemotePOP::DeleteMessage(int i) {
    // Every message filed so far is on disk before the server is told to
    // delete one: a crash or a full disk must never cost a message.
    if (TDeferredSync* pending = TDeferredSync::Active()) {
        std::string error;
        if (!pending->Commit(&error))
            throw EMailNetError("Cannot save message " + std::to_string(i + 1) + ": " + error);
    }
    if (OnDeleting) OnDeleting(i);
    SendLine("DELE " + std::to_string(i + 1));
    ReceiveLine(); // the status is not checked
}

void TmsRemotePOP::TransferMarked() {
    if (RemoteInfo.empty()) return;
    Connect();
    // The retrieved messages are flushed to disk together, before the first
    // deletion and at the end, instead of three flushes per message.
    TDeferredSync filing;
    if (OnTransferringData) OnTransferringData();
    for (size_t i = 0; i < RemoteInfo.size(); ++i) {
        TmsRemoteInfoItem& item = RemoteInfo[i];
        if (item.Retrieve) {
            FetchInfo(int(i), item);
            RetrieveMessage(int(i));
        }
        if (item.Delete) {
            FetchInfo(int(i), item);
            DeleteMessage(int(i));
        }
    }
    std::string error;
    if (!filing.Commit(&error)) throw EMailNetError("Cannot save the retrieved messages: " + error);
    if (OnDataTransfered) OnDataTransfered();
    Disconnect();
}

} // namespace quorel::mail
