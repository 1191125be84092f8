#include "mail/connection.h"

#include "platform/codepage.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/text.h"

#include <unistd.h>

#include <algorithm>

namespace quorel::mail {

namespace fs = std::filesystem;

std::string SafeAttachmentName(std::string_view name, std::string_view fallback) {
    // Last path component (either separator).
    auto cut = name.find_last_of("/\\");
    if (cut != std::string_view::npos) name = name.substr(cut + 1);
    std::string out;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f) continue;
        out += char(c);
    }
    // No ".." anywhere, no leading dots, no surrounding blanks.
    for (size_t p; (p = out.find("..")) != std::string::npos;)
        out.erase(p, 1);
    while (!out.empty() && (out.front() == '.' || out.front() == ' '))
        out.erase(0, 1);
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    if (out.empty()) return std::string(fallback);
    return out;
}

std::string FitFileName(std::string_view name, size_t maxBytes) {
    if (name.size() <= maxBytes) return std::string(name);
    // The extension is kept whole when it is a short one.
    std::string_view stem = name, ext;
    if (auto dot = name.rfind('.'); dot != std::string_view::npos && dot > 0 &&
                                    name.size() - dot <= 16 && name.size() - dot < maxBytes / 2) {
        stem = name.substr(0, dot);
        ext = name.substr(dot);
    }
    return CutUtf8(std::string(stem), maxBytes - ext.size()) + std::string(ext);
}

size_t AttachmentNameLimit(const fs::path& folder) {
    long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (max <= 0) max = 255;
    // Room for the temporary name of the atomic write ("." + name +
    // ".xxxxxxxx.tmp") and for a ".BAK" backup replacing a shorter extension.
    constexpr long kReserve = 14 + 4;
    return size_t(std::max(max - kReserve, 16L));
}

void SplitLongLines(std::vector<std::string>& lines, size_t maxBytes) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].size() <= maxBytes) continue;
        size_t cut = maxBytes;
        // Never inside a UTF-8 character.
        while (cut > 0 && (static_cast<unsigned char>(lines[i][cut]) & 0xC0) == 0x80)
            --cut;
        if (cut == 0) cut = maxBytes;
        std::string rest = lines[i].substr(cut);
        lines[i].resize(cut);
        lines.insert(lines.begin() + long(i) + 1, std::move(rest));
    }
}

std::string UnstuffPop3Text(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    size_t pos = 0;
    while (pos < raw.size()) {
        size_t lf = raw.find('\n', pos);
        size_t end = lf == std::string_view::npos ? raw.size() : lf + 1;
        std::string_view line = raw.substr(pos, end - pos);
        std::string_view bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r'))
            bare.remove_suffix(1);
        if (bare == "." && end == raw.size()) break; // the terminating line
        if (!line.empty() && line[0] == '.') line.remove_prefix(1);
        out += line;
        pos = end;
    }
    return out;
}

TConnectionLogic::TConnectionLogic(TMailStore& store) : store_(store) {
    msSMTP.MailMessage = &msMessage;
    msSMTP.DefaultPort = 25;
    RemotePOP.DefaultPort = 110;

    auto pump = [this] {
        if (Pump) Pump();
    };
    msSMTP.Pump = pump;
    RemotePOP.Pump = pump;

    msSMTP.OnOpen = [this] {
        Add("");
        Add(T("@Sending"));
        Add("");
        Add(T("@OpeningSMTP") + " " + msSMTP.Server + "...");
        DisableControls();
    };
    msSMTP.OnPrepare = [this] { Add(T("@Preparing")); };
    msSMTP.OnSending = [this] {
        Add(T("@SendingMessage") + " " + std::to_string(SentCount) + "/" +
            std::to_string(QueuedCount) + "...");
    };
    msSMTP.OnMailSent = [this] { Add(T("@Success")); };
    auto closing = [this] { Add(T("@ClosingConnection")); };
    auto closed = [this] {
        Add(T("@ConnectionClosed"));
        EnableControls();
    };
    msSMTP.OnClosing = closing;
    msSMTP.OnClosed = closed;
    RemotePOP.OnClosing = closing;
    RemotePOP.OnClosed = closed;
    msSMTP.OnCancel = [this] { Add(T("@Cancelling") + " " + msSMTP.Server + " ..."); };
    RemotePOP.OnCancel = [this] { Add(T("@Cancelling") + " " + RemotePOP.Server + " ..."); };
    msSMTP.OnError = [this](std::string& msg) { Add("SMTP ERROR: " + msg); };
    RemotePOP.OnError = [this](std::string& msg) { Add("POP3 ERROR: " + msg); };
    auto progress = [this](int perc, uint32_t) {
        if (perc >= 0) SetGauge(std::min(perc, 100), GaugeVisible);
    };
    msSMTP.OnProgress = progress;
    RemotePOP.OnProgress = progress;
    RemotePOP.OnOpen = [this] {
        Add("");
        Add(T("@Retrieving"));
        Add("");
        Add(T("@OpeningPOP3") + " " + RemotePOP.Server);
        DisableControls();
    };
    RemotePOP.OnRetrieving = [this](int num) {
        Add(T("@RetrievingMessage") + " " + std::to_string(num + 1));
    };
    RemotePOP.OnDeleting = [this](int num) { Add(T("@Deleting") + " " + std::to_string(num + 1)); };
    RemotePOP.OnUserMessageSave = [this](int num, const std::string& contents) {
        RemotePOPUserMessageSave(num, contents);
    };
}

TConnectionLogic::~TConnectionLogic() = default;

std::string TConnectionLogic::T(const std::string& key) const {
    if (Text) return Text(key);
    return key;
}

void TConnectionLogic::Add(const std::string& line) {
    InfoLog.push_back(line);
    if (OnInfoLine) OnInfoLine(line);
}

void TConnectionLogic::SetGauge(int pos, bool visible) {
    GaugePosition = pos;
    GaugeVisible = visible;
    if (OnGaugeChanged) OnGaugeChanged();
}

void TConnectionLogic::EnableControls() {
    ControlsEnabled = true;
    if (OnControlsEnabled) OnControlsEnabled(true);
}

void TConnectionLogic::DisableControls() {
    ControlsEnabled = false;
    if (OnControlsEnabled) OnControlsEnabled(false);
}

void TConnectionLogic::UpdateServerName() {
    msSMTP.Server = Config.SmtpServer;
    msSMTP.Security = Config.SmtpSecurity;
    msSMTP.UserName = Config.SmtpUserName;
    msSMTP.Password = Config.SmtpPassword;
    msSMTP.TrustedCertificate = Config.TrustedCertificate;
    msSMTP.TimeOut = Config.TimeOut;
    RemotePOP.Server = Config.Pop3Server;
    RemotePOP.UserName = Config.Pop3UserName;
    RemotePOP.Password = Config.Pop3Password;
    RemotePOP.Security = Config.Pop3Security;
    RemotePOP.TrustedCertificate = Config.TrustedCertificate;
    RemotePOP.TimeOut = Config.TimeOut;
    RemotePOP.SetMessageDirectory(Config.MailboxFolder.string());
    // A server given without ":" port gets the port of its security: POP3
    // over TLS 995; SMTP over TLS 465, STARTTLS with a sign-in the
    // submission port 587 (what providers offer to mail programs today);
    // otherwise the classic 110 and 25.
    const bool tls = Config.Pop3Security == TMailSecurity::Tls;
    RemotePOP.ServiceName = tls ? "pop3s" : "pop3";
    RemotePOP.DefaultPort = tls ? 995 : 110;
    if (Config.SmtpSecurity == TMailSecurity::Tls) {
        msSMTP.ServiceName = "submissions";
        msSMTP.DefaultPort = 465;
    } else if (Config.SmtpSecurity == TMailSecurity::StartTls && !Config.SmtpUserName.empty()) {
        msSMTP.ServiceName = "submission";
        msSMTP.DefaultPort = 587;
    } else {
        msSMTP.ServiceName = "smtp";
        msSMTP.DefaultPort = 25;
    }
}

void TConnectionLogic::FormCreate() {
    UpdateServerName();
    InfoLog.clear();
    EditDelete = Config.DeleteMessagesAfterRetrieving;
    msSMTP.LogFileName = (Config.ProgramFolder / "SMTP.LOG").string();
    RemotePOP.LogFileName = (Config.ProgramFolder / "POP3.LOG").string();
}

void TConnectionLogic::FormDestroy() {
    msSMTP.SaveLog();
    RemotePOP.SaveLog();
}

void TConnectionLogic::EditDeleteClick(bool checked) {
    EditDelete = checked;
    Config.DeleteMessagesAfterRetrieving = checked;
    if (OnDeleteSettingChanged) OnDeleteSettingChanged(checked);
}

void TConnectionLogic::CloseBtnClick() {
    if (msSMTP.Connected()) msSMTP.Cancel();
    if (RemotePOP.Connected()) RemotePOP.Cancel();
    SetGauge(GaugePosition, false);
}

void TConnectionLogic::SafeDisconnect(TmsMailBase& client) {
    try {
        client.Disconnect();
    } catch (const std::exception&) {
        // A refused QUIT or a dead line: the connection goes anyway.
    }
    client.Close();
}

// ---- sending -----------------------------------------------------------------

bool TConnectionLogic::SendButtonClick() {
    LastError.clear();
    UpdateServerName();
    SetGauge(0, true);
    return SendMail();
}

bool TConnectionLogic::SendMail() {
    QueuedCount = int(store_.CountOf(kFolderQueued));
    if (QueuedCount == 0) {
        Add("");
        Add(T("@NoMail"));
        Add("");
        return true;
    }
    DisableControls();
    try {
        msSMTP.Connect();
    } catch (const std::exception& e) {
        // Socket failures are already in the log (OnError).
        LastError = e.what();
        if (msSMTP.Connected()) msSMTP.Close();
        EnableControls();
        return false;
    }
    SentCount = 0;
    MailboxChanged = true;
    bool completed = true;
    try {
        for (long n : store_.QueuedRecords()) {
            TMailIndexRecord rec;
            if (!store_.ReadRecord(n, rec) || rec.Folder != kFolderQueued) continue;
            ++SentCount;
            msMessage.LoadFromFile(store_.MailboxFolder() / rec.FileName);
            msSMTP.Send();
            store_.MarkSent(n);
        }
        msSMTP.Disconnect();
    } catch (const EMailNetError& e) {
        LastError = e.what();
        completed = false;
    } catch (const std::exception& e) {
        // A message that cannot be loaded or encoded.
        LastError = e.what();
        Add("SMTP ERROR: " + LastError);
        completed = false;
    }
    if (!completed) {
        SafeDisconnect(msSMTP);
        msSMTP.SaveLog();
        EnableControls();
    }
    store_.FinishSendPass();
    SetGauge(0, false);
    return completed;
}

// ---- listing -------------------------------------------------------------------

bool TConnectionLogic::UpdateButtonClick() {
    LastError.clear();
    UpdateServerName();
    bool ok = UpdateRemoteInfo();
    RefreshList();
    return ok;
}

bool TConnectionLogic::UpdateRemoteInfo() {
    DisableControls();
    ListLines.clear();
    Selected.clear();
    RemotePOP.RemoteInfo.clear();
    try {
        RemotePOP.GetRemoteInfo();
        if (RemotePOP.RemoteInfo.empty()) Add(T("@NoMailInServer"));
        return true;
    } catch (const std::exception& e) {
        LastError = e.what();
        RemotePOP.RemoteInfo.clear();
        SafeDisconnect(RemotePOP);
        Add(T("@Clearing"));
        EnableControls();
        return false;
    }
}

namespace {
// Header text from a server as UTF-8 (8-bit text that is not UTF-8 is read
// as Windows-1252).
std::string HeaderText(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = s[i];
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return Cp1252ToUtf8(s);
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return Cp1252ToUtf8(s);
        i += n;
    }
    return std::string(s);
}
} // namespace

void TConnectionLogic::RefreshList() {
    Add(T("@Updating"));
    ListLines.clear();
    for (const auto& item : RemotePOP.RemoteInfo) {
        std::string from, subject;
        for (const auto& line : item.Header) {
            if (line.find("From:") != std::string::npos) from = line.substr(line.find(':') + 1);
            if (line.find("Subject:") != std::string::npos)
                subject = line.substr(line.find(':') + 1);
        }
        ListLines.push_back(HeaderText(from) + "|  Subject: " + HeaderText(subject) +
                            "  Size: " + std::to_string(item.Size) + " bytes");
    }
    Selected.assign(ListLines.size(), false);
    Add(std::to_string(RemotePOP.RemoteInfo.size()) + " " + T("@Listed"));
}

void TConnectionLogic::MArkALl() {
    if (!ListLines.empty()) Selected.assign(ListLines.size(), true);
}

// ---- retrieving and deleting ------------------------------------------------

bool TConnectionLogic::Transfer(const char* failureKey) {
    DisableControls();
    try {
        RemotePOP.TransferMarked();
        return true;
    } catch (const std::exception& e) {
        LastError = e.what();
        Add(T(failureKey) + " " + RemotePOP.Server);
        Add(T("@Clearing"));
        RemotePOP.RemoteInfo.clear();
        SafeDisconnect(RemotePOP);
        EnableControls();
        return false;
    }
}

bool TConnectionLogic::Retrieve() {
    Selected.resize(ListLines.size(), false);
    for (size_t i = 0; i < Selected.size() && i < RemotePOP.RemoteInfo.size(); ++i) {
        if (!Selected[i]) continue;
        RemotePOP.RemoteInfo[i].Retrieve = true;
        if (EditDelete) RemotePOP.RemoteInfo[i].Delete = true;
    }
    return Transfer("@ErrorTransferring");
}

bool TConnectionLogic::Delete() {
    Selected.resize(ListLines.size(), false);
    for (size_t i = 0; i < Selected.size() && i < RemotePOP.RemoteInfo.size(); ++i) {
        if (Selected[i]) RemotePOP.RemoteInfo[i].Delete = true;
    }
    return Transfer("@CannotConnect");
}

bool TConnectionLogic::RetrievebuttonClick() {
    LastError.clear();
    UpdateServerName();
    if (std::find(Selected.begin(), Selected.end(), true) == Selected.end()) {
        Add(T("@MustSelect"));
        return true;
    }
    MailboxChanged = true;
    SetGauge(0, true);
    // The listing after the transfer runs in the transfer's session.
    RemotePOP.KeepConnected = true;
    bool ok = Retrieve();
    RemotePOP.KeepConnected = false;
    SetGauge(GaugePosition, false);
    UpdateRemoteInfo();
    RefreshList();
    return ok;
}

bool TConnectionLogic::RetrieveAll() {
    RemotePOP.KeepConnected = true;
    bool ok = UpdateButtonClick();
    RemotePOP.KeepConnected = false;
    if (ok && !ListLines.empty()) {
        MArkALl();
        ok = RetrievebuttonClick();
    }
    // An empty server: the listing's session ends here.
    if (RemotePOP.Connected()) SafeDisconnect(RemotePOP);
    return ok;
}

bool TConnectionLogic::DeleteButtonClick() {
    LastError.clear();
    if (std::find(Selected.begin(), Selected.end(), true) == Selected.end()) {
        Add(T("@MustSelectToDelete"));
        return true;
    }
    bool ok = Delete();
    UpdateRemoteInfo();
    RefreshList();
    return ok;
}

void TConnectionLogic::Quicktransfer1Click() {
    RetrieveAll();
    SendButtonClick();
}

// ---- filing a retrieved message ---------------------------------------------

void TConnectionLogic::RemotePOPUserMessageSave(int, const std::string& contents) {
    try {
        FileDecodedMessage(contents);
    } catch (const EMailNetError&) {
        throw;
    } catch (const std::exception& e) {
        // One message must never block the mailbox: what cannot be filed as
        // it is gets filed as its original text (and only when even that
        // fails does the transfer end, leaving it on the server).
        Add("POP3 ERROR: " + std::string(e.what()));
        FileOriginalText(contents, e.what());
    }
}

void TConnectionLogic::FileDecodedMessage(const std::string& contents) {
    msMessage.Clear();
    msMessage.LoadFromString(contents);

    if (!msMessage.Attachments.Empty()) {
        msMessage.Body.push_back("---");
        msMessage.Body.push_back("This message contained attachments, which have been saved as : ");
        msMessage.Body.push_back("");
        for (size_t i = 0; i < msMessage.Attachments.Count(); ++i) {
            const TmsAttItem& att = msMessage.Attachments[i];
            std::string name = SafeAttachmentName(att.FileName(), "att." + std::to_string(i));
            fs::path folder = Config.AttachFolder;
            std::string ext = AsciiUpper(fs::path(name).extension().string());
            if (ext == ".QRL") {
                bool toGames = AskSaveGame ? AskSaveGame(msMessage.Sender.Name, name) : false;
                if (toGames) folder = Config.GamesFolder;
            }
            name = FitFileName(name, AttachmentNameLimit(folder));
            // An existing file of that name (in any letter case) is the
            // one replaced, after a backup copy.
            fs::path target = folder / name;
            if (auto existing = FindFileNoCase(folder, name)) {
                target = *existing;
                fs::path backup = target;
                backup.replace_extension(".BAK");
                std::string old;
                std::string error;
                if (!ReadWholeFile(target, old) || !AtomicWriteFile(backup, old, &error))
                    throw EMessageError("Cannot make the backup " + backup.string() + " " + error);
                Add(T("@Backup") + backup.string());
            }
            std::string error;
            if (!AtomicWriteFile(target, att.Content, &error))
                throw EMessageError("Cannot write " + target.string() + ": " + error);
            msMessage.Body.push_back("   " + target.string());
            Add(T("@AttachSaved") + " " + target.string());
        }
        msMessage.Attachments.Clear();
    }
    if (!msMessage.Body.empty() && msMessage.Body.back() == "..") msMessage.Body.pop_back();
    SplitLongLines(msMessage.Body, kLongestStoredLine);

    // The message file and its index record are on disk before the client
    // goes on (and may delete the message on the server).
    store_.FileReceivedMessage(msMessage);
    MailboxChanged = true;
}

void TConnectionLogic::FileOriginalText(const std::string& contents, const std::string& error) {
    // The fields decoded so far name the message in the list.
    TmsMessage raw;
    raw.Clear();
    raw.Sender = msMessage.Sender;
    raw.Subject = msMessage.Subject;
    if (!msMessage.Recipients.Empty())
        raw.Recipients.Add(msMessage.Recipients[0].Name, msMessage.Recipients[0].Address);
    raw.Body = {"The following error has been occured while processing the message:", error,
                "The original message will be stored as an attachment"};
    TmsAttItem& a = raw.Attachments.Add();
    a.SetFileNameOnly("original.eml");
    a.ContentType = "message/rfc822";
    // Base64 keeps any line length and any boundary-like line of the
    // original out of the stored file's structure.
    a.Coding = kCodingBase64;
    a.Content = UnstuffPop3Text(contents);
    fs::path file = store_.FileReceivedMessage(raw);
    Add(T("@FiledOriginal") + " " + file.string());
    MailboxChanged = true;
}

} // namespace quorel::mail
