#pragma once
// The logic of the connection dialog ("Sending and retrieving mail"), free of
// any window: it sends the queue through the SMTP client, lists, retrieves
// and deletes the messages on the POP3 server, and files every retrieved
// message in New Mail with its attachments saved as files. The dialog (or
// qrltool) drives it through the handler methods below, shows InfoLog,
// ListLines and the gauge, and answers the game-file question through
// AskSaveGame.
#include "mail/imap.h"
#include "mail/pop3.h"
#include "mail/smtp.h"
#include "mail/store.h"
#include "mail/uidstore.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quorel::mail {

// The settings the connection needs, copied in by the owner (the settings
// record lives in the shell, which depends on this library).
struct TMailConfig {
    std::string SmtpServer;                           // "SMTP Server"
    std::string Pop3Server;                           // "POP3 Server"
    std::string Pop3UserName;                         // "POP3 User Name"
    std::string Pop3Password;                         // the POP3 password file
    TMailSecurity SmtpSecurity = TMailSecurity::None; // "SMTP Security"
    TMailSecurity Pop3Security = TMailSecurity::None; // "POP3 Security"
    std::string SmtpUserName;                         // "SMTP User Name" (empty: no AUTH)
    std::string SmtpPassword;                         // the SMTP password file
    std::string TrustedCertificate;                   // "Trusted Certificate" (empty: none)
    bool DeleteMessagesAfterRetrieving = false;       // "Delete_messages_after_retrieving"
    int TimeOut = 60;                                 // seconds without progress per wait
    // "Mail Protocol": IMAP retrieves through the POP3 server, port,
    // security, user and password fields.
    bool Imap = false;
    bool SmtpOAuth = false;              // "SMTP Sign-in" = OAUTH2
    bool Pop3OAuth = false;              // "POP3 Sign-in" = OAUTH2 (for IMAP too)
    std::string OAuthTokenCommand;       // "OAuth2 Token Command"
    std::filesystem::path ProgramFolder; // SMTP.LOG, POP3.LOG and IMAP.LOG go here
    std::filesystem::path MailboxFolder;
    std::filesystem::path GamesFolder;
    std::filesystem::path AttachFolder;
};

// A name for an attachment file taken from a message: only its last path
// component, without control characters, ".." runs and leading dots; an
// empty result becomes fallback. The name can never leave its folder.
std::string SafeAttachmentName(std::string_view name, std::string_view fallback);

// name cut to at most maxBytes bytes in whole UTF-8 characters, keeping a
// short extension whole ("…long….qrl" stays a ".qrl").
std::string FitFileName(std::string_view name, size_t maxBytes);
// The longest attachment name the program writes into folder: the file
// system's name limit less the room its temporary and backup names need.
size_t AttachmentNameLimit(const std::filesystem::path& folder);
// Splits every line longer than maxBytes into lines of at most maxBytes,
// never inside a UTF-8 character.
void SplitLongLines(std::vector<std::string>& lines, size_t maxBytes);

// Body lines longer than this are stored split (the quoted-printable coder
// refuses paragraphs of 24576 bytes and more).
inline constexpr size_t kLongestStoredLine = 16384;

class TConnectionLogic {
  public:
    // store must be open for the lifetime of this object.
    explicit TConnectionLogic(TMailStore& store);
    ~TConnectionLogic();

    // The current settings; UpdateServerName copies them into the clients.
    TMailConfig Config;

    // --- owner's hooks ---
    // Language text of an "@" key of the dialog's table (the key itself when
    // unset).
    std::function<std::string(const std::string& key)> Text;
    // Every info-log line as it is added.
    std::function<void(const std::string& line)> OnInfoLine;
    // A game file arrived: true saves it in the games folder, false in the
    // attach folder. Unset: the attach folder.
    std::function<bool(const std::string& senderName, const std::string& fileName)> AskSaveGame;
    // Transfer and Tools buttons enabled or disabled.
    std::function<void(bool enabled)> OnControlsEnabled;
    // Gauge position (0..100) and visibility changes.
    std::function<void()> OnGaugeChanged;
    // The check box changed: the owner writes Delete_messages_after_retrieving.
    std::function<void(bool checked)> OnDeleteSettingChanged;
    // Event processing between network waits (the window's message loop).
    std::function<void()> Pump;

    // --- state shown by the dialog ---
    std::vector<std::string> InfoLog;   // "Session Info"
    std::vector<std::string> ListLines; // remote-message list, server order
    std::vector<bool> Selected;         // multi-selection of ListLines
    bool EditDelete = false;            // "Delete messages after retrieving"
    bool ControlsEnabled = true;
    int GaugePosition = 0;
    bool GaugeVisible = false;
    // The text of the failure that ended the last operation ("" after a
    // success): the server's reply for refusals, else the error message.
    std::string LastError;
    int QueuedCount = 0;
    int SentCount = 0;

    TmsMessage msMessage;
    TmsSMTP msSMTP;
    TmsRemotePOP RemotePOP;
    TmsIMAP RemoteIMAP; // in place of RemotePOP when Config.Imap
    // The ids of the messages filed, per account (uids.lst in the mailbox
    // folder, loaded by FormCreate), and the key of the account in use.
    TUidStore Uids;
    std::string AccountKey;
    // Per ListLines entry: the message is already filed (POP3 with mail
    // left on the server; an IMAP listing leaves such messages out).
    std::vector<bool> Filed;

    // --- the dialog's handlers ---
    void FormCreate();
    void FormDestroy(); // appends the protocol logs to their files
    // True when the listing worked.
    bool UpdateButtonClick();
    // True when nothing was selected or the transfer worked.
    bool RetrievebuttonClick();
    // Sends the queue; true when every queued message went out (or there
    // was none).
    bool SendButtonClick();
    void Quicktransfer1Click();
    bool DeleteButtonClick();
    void MarkAllButtonClick() { MArkALl(); }
    void CloseBtnClick(); // Stop
    void EditDeleteClick(bool checked);

    // --- internal operations (public for the dialog and tests) ---
    void UpdateServerName();
    void EnableControls();
    void DisableControls();
    void MArkALl();
    // True when the listing worked.
    bool UpdateRemoteInfo();
    void RefreshList();
    bool Retrieve();
    bool Delete();
    bool SendMail();
    // Files one retrieved message (raw text as the POP3 client got it) in
    // New Mail. A message that cannot be filed as decoded is filed as its
    // original text ("original.eml"); throws only when not even that can be
    // written, so the message stays on the server.
    void RemotePOPUserMessageSave(int num, const std::string& contents);
    // The listing, every message marked and retrieved, and the listing
    // after it, in one POP3 session (Quick transfer and qrltool mail fetch).
    bool RetrieveAll();

    // Adds a line to the info log.
    void Add(const std::string& line);
    // The language text of key.
    std::string T(const std::string& key) const;

    // The retrieving client of Config.Imap.
    TmsMailBase& Remote();
    bool RemoteConnected() const { return RemotePOP.Connected() || RemoteIMAP.Connected(); }

  private:
    void SetKeepConnected(bool keep);
    size_t RemoteCount() const;
    void SetGauge(int pos, bool visible);
    void SafeDisconnect(TmsMailBase& client);
    bool Transfer(const char* failureKey);
    void FileDecodedMessage(const std::string& contents);
    void FileOriginalText(const std::string& contents, const std::string& error);
    TMailStore& store_;
    // POP3 listing: the UIDL of each server message number (empty without
    // UIDL).
    std::vector<std::string> listedUidl_;
};

} // namespace quorel::mail
