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

TConnectionLogic::TConnectionLogic(TMailStore& store) : store_(store) {
    msSMTP.MailMessage = &msMessage;
    msSMTP.DefaultPort = 25;
    RemotePOP.DefaultPort = 110;

    auto pump = [this] {
        if (Pump) Pump();
    };
    msSMTP.Pump = pump;
    RemotePOP.Pump = pump;
    RemoteIMAP.Pump = pump;

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
    RemoteIMAP.OnClosing = closing;
    RemoteIMAP.OnClosed = closed;
    msSMTP.OnCancel = [this] { Add(T("@Cancelling") + " " + msSMTP.Server + " ..."); };
    RemotePOP.OnCancel = [this] { Add(T("@Cancelling") + " " + RemotePOP.Server + " ..."); };
    msSMTP.OnError = [this](std::string& msg) { Add("SMTP ERROR: " + msg); };
    RemotePOP.OnError = [this](std::string& msg) { Add("POP3 ERROR: " + msg); };
    RemoteIMAP.OnCancel = [this] { Add(T("@Cancelling") + " " + RemoteIMAP.Server + " ..."); };
    RemoteIMAP.OnError = [this](std::string& msg) { Add("IMAP ERROR: " + msg); };
    auto progress = [this](int perc, uint32_t) {
        if (perc >= 0) SetGauge(std::min(perc, 100), GaugeVisible);
    };
    msSMTP.OnProgress = progress;
    RemotePOP.OnProgress = progress;
    RemoteIMAP.OnProgress = progress;
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
    // In the listing's session, after the log-in: the UIDLs tell which
    // messages are already filed.
    RemotePOP.OnUpdatingInfo = [this] {
        listedUidl_.clear();
        try {
            listedUidl_ = RemotePOP.Uidl();
        } catch (const EServerError&) {
            // A server without UIDL: nothing is shown as filed.
        }
    };
    RemoteIMAP.OnOpen = [this] {
        Add("");
        Add(T("@Retrieving"));
        Add("");
        Add(T("@OpeningIMAP") + " " + RemoteIMAP.Server);
        DisableControls();
    };
    RemoteIMAP.OnRetrieving = [this](int num) {
        Add(T("@RetrievingMessage") + " " + std::to_string(num + 1));
    };
    RemoteIMAP.OnDeleting = [this](int num) {
        Add(T("@Deleting") + " " + std::to_string(num + 1));
    };
    // UpdateServerName puts FileOnce (each message filed once) between the
    // clients and RemotePOPUserMessageSave.
    auto file = [this](int num, const std::string& contents) {
        RemotePOPUserMessageSave(num, contents);
    };
    RemotePOP.OnUserMessageSave = file;
    RemoteIMAP.OnUserMessageSave = file;
}

TConnectionLogic::~TConnectionLogic() = default;

TmsMailBase& TConnectionLogic::Remote() {
    if (Config.Imap) return RemoteIMAP;
    return RemotePOP;
}

void TConnectionLogic::SetKeepConnected(bool keep) {
    RemotePOP.KeepConnected = keep && !Config.Imap;
    RemoteIMAP.KeepConnected = keep && Config.Imap;
}

size_t TConnectionLogic::RemoteCount() const {
    return Config.Imap ? RemoteIMAP.RemoteInfo.size() : RemotePOP.RemoteInfo.size();
}

namespace {
// The port written after the server name ("host:993"), else 0.
unsigned PortGiven(const std::string& server) {
    const size_t colon = server.rfind(':');
    if (colon == std::string::npos) return 0;
    unsigned port = 0;
    for (size_t i = colon + 1; i < server.size(); ++i) {
        if (server[i] < '0' || server[i] > '9' || port > 65535) return 0;
        port = port * 10 + unsigned(server[i] - '0');
    }
    return port <= 65535 ? port : 0;
}
} // namespace

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
    RemoteIMAP.Server = Config.Pop3Server;
    RemoteIMAP.UserName = Config.Pop3UserName;
    RemoteIMAP.Password = Config.Pop3Password;
    RemoteIMAP.Security = Config.Pop3Security;
    RemoteIMAP.TrustedCertificate = Config.TrustedCertificate;
    RemoteIMAP.TimeOut = Config.TimeOut;
    // OAuth 2.0: the mechanism the server offers, the token from the
    // player's command. SMTP signs in only with a user name, which the
    // POP3 user gives when none is set.
    auto oauth = [this](bool on) {
        TOAuthSignIn o;
        if (on) {
            o.Mechanism = "OAUTH2";
            o.TokenCommand = Config.OAuthTokenCommand;
            o.TokenTimeOut = Config.TimeOut;
        }
        return o;
    };
    RemotePOP.OAuth = oauth(Config.Pop3OAuth);
    RemoteIMAP.OAuth = oauth(Config.Pop3OAuth);
    msSMTP.OAuth = oauth(Config.SmtpOAuth);
    if (Config.SmtpOAuth && msSMTP.UserName.empty()) msSMTP.UserName = Config.Pop3UserName;
    // Each message is filed once per account (the ids are read by FormCreate;
    // an owner that skipped it gets them here).
    if (Uids.FileName().empty() && !Config.MailboxFolder.empty()) {
        std::string error;
        if (!Uids.Load(Config.MailboxFolder, &error)) Add(T("@UidsUnreadable") + " " + error);
    }
    AccountKey = TUidStore::AccountKey(Config.Imap ? "IMAP" : "POP3",
                                       Config.Pop3Server.substr(0, Config.Pop3Server.rfind(':')),
                                       PortGiven(Config.Pop3Server), Config.Pop3UserName);
    auto file = [this](int num, const std::string& contents) {
        RemotePOPUserMessageSave(num, contents);
    };
    FileOnce(RemotePOP, Uids, AccountKey, file);
    FileOnce(RemoteIMAP, Uids, AccountKey, file);
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
    } else if (Config.SmtpSecurity == TMailSecurity::StartTls && !msSMTP.UserName.empty()) {
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
    RemoteIMAP.LogFileName = (Config.ProgramFolder / "IMAP.LOG").string();
    std::string error;
    if (!Uids.Load(Config.MailboxFolder, &error)) Add(T("@UidsUnreadable") + " " + error);
}

void TConnectionLogic::FormDestroy() {
    msSMTP.SaveLog();
    RemotePOP.SaveLog();
    RemoteIMAP.SaveLog();
}

void TConnectionLogic::EditDeleteClick(bool checked) {
    EditDelete = checked;
    Config.DeleteMessagesAfterRetrieving = checked;
    if (OnDeleteSettingChanged) OnDeleteSettingChanged(checked);
}

void TConnectionLogic::CloseBtnClick() {
    if (msSMTP.Connected()) msSMTP.Cancel();
    if (RemotePOP.Connected()) RemotePOP.Cancel();
    if (RemoteIMAP.Connected()) RemoteIMAP.Cancel();
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
    Filed.clear();
    listedUidl_.clear();
    RemotePOP.RemoteInfo.clear();
    RemoteIMAP.RemoteInfo.clear();
    try {
        if (Config.Imap)
            RemoteIMAP.GetRemoteInfo();
        else
            RemotePOP.GetRemoteInfo();
        if (RemoteCount() == 0) Add(T("@NoMailInServer"));
        return true;
    } catch (const std::exception& e) {
        LastError = e.what();
        RemotePOP.RemoteInfo.clear();
        RemoteIMAP.RemoteInfo.clear();
        SafeDisconnect(Remote());
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
    Filed.clear();
    auto line = [this](uint32_t size, const std::vector<std::string>& header) {
        std::string from, subject;
        for (const auto& l : header) {
            if (l.find("From:") != std::string::npos) from = l.substr(l.find(':') + 1);
            if (l.find("Subject:") != std::string::npos) subject = l.substr(l.find(':') + 1);
        }
        ListLines.push_back(HeaderText(from) + "|  Subject: " + HeaderText(subject) +
                            "  Size: " + std::to_string(size) + " bytes");
    };
    if (Config.Imap) {
        for (const auto& item : RemoteIMAP.RemoteInfo)
            line(item.Size, item.Header);
        Filed.assign(ListLines.size(), false);
    } else {
        for (size_t i = 0; i < RemotePOP.RemoteInfo.size(); ++i) {
            line(RemotePOP.RemoteInfo[i].Size, RemotePOP.RemoteInfo[i].Header);
            const size_t n = size_t(RemotePOP.NumberOf(i) - 1);
            Filed.push_back(n < listedUidl_.size() && !listedUidl_[n].empty() &&
                            Uids.Known(AccountKey, listedUidl_[n]));
        }
    }
    Selected.assign(ListLines.size(), false);
    Add(std::to_string(RemoteCount()) + " " + T("@Listed"));
}

void TConnectionLogic::MArkALl() {
    if (!ListLines.empty()) Selected.assign(ListLines.size(), true);
}

// ---- retrieving and deleting ------------------------------------------------

bool TConnectionLogic::Transfer(const char* failureKey) {
    DisableControls();
    try {
        if (Config.Imap) {
            RemoteIMAP.TransferMarked();
            // Flagged \Deleted but left in the mailbox: a plain EXPUNGE
            // would also have removed messages flagged by another program.
            if (!RemoteIMAP.NotExpunged.empty())
                Add(T("@NotExpunged") + " " + UidSet(RemoteIMAP.NotExpunged));
        } else {
            RemotePOP.TransferMarked();
        }
        return true;
    } catch (const std::exception& e) {
        LastError = e.what();
        Add(T(failureKey) + " " + Remote().Server);
        Add(T("@Clearing"));
        RemotePOP.RemoteInfo.clear();
        RemoteIMAP.RemoteInfo.clear();
        SafeDisconnect(Remote());
        EnableControls();
        return false;
    }
}

namespace {
template <class Item>
void MarkSelected(std::vector<Item>& items, const std::vector<bool>& selected, bool retrieve,
                  bool del) {
    for (size_t i = 0; i < selected.size() && i < items.size(); ++i) {
        if (!selected[i]) continue;
        if (retrieve) items[i].Retrieve = true;
        if (del) items[i].Delete = true;
    }
}
} // namespace

bool TConnectionLogic::Retrieve() {
    Selected.resize(ListLines.size(), false);
    MarkSelected(RemotePOP.RemoteInfo, Selected, true, EditDelete);
    MarkSelected(RemoteIMAP.RemoteInfo, Selected, true, EditDelete);
    return Transfer("@ErrorTransferring");
}

bool TConnectionLogic::Delete() {
    Selected.resize(ListLines.size(), false);
    MarkSelected(RemotePOP.RemoteInfo, Selected, false, true);
    MarkSelected(RemoteIMAP.RemoteInfo, Selected, false, true);
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
    SetKeepConnected(true);
    bool ok = Retrieve();
    SetKeepConnected(false);
    SetGauge(GaugePosition, false);
    UpdateRemoteInfo();
    RefreshList();
    return ok;
}

bool TConnectionLogic::RetrieveAll() {
    SetKeepConnected(true);
    bool ok = UpdateButtonClick();
    SetKeepConnected(false);
    if (ok && !ListLines.empty()) {
        MArkALl();
        ok = RetrievebuttonClick();
    }
    // An empty server: the listing's session ends here.
    if (Remote().Connected()) SafeDisconnect(Remote());
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
        Add((Config.Imap ? "IMAP ERROR: " : "POP3 ERROR: ") + std::string(e.what()));
        FileOriginalText(contents, e.what());
    }
}

void TConnectionLogic::FileDecodedMessage(const std::string& contents) {
    msMessage.Clear();
    msMessage.LoadFromPop3Text(contents);

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
    // No trailing-".." step: LoadFromPop3Text already dropped the server's
    // terminator, so a last ".." line is the sender's own text.
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
