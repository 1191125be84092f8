#pragma once
// The IMAP client TmsIMAP (IMAP4rev1 / IMAP4rev2 as servers speak them):
// retrieval from INBOX as an alternative to POP3, on the same socket, TLS,
// cancel and time-out as the POP3 client, with the same events, so the
// connection dialog files an IMAP message exactly as a POP3 one.
//
// Dialogue: greeting; STARTTLS when Security is StartTls (implicit TLS on
// 993 when it is Tls); CAPABILITY; LOGIN with quoted strings, AUTHENTICATE
// PLAIN when LOGIN is disabled or the credentials need it, or AUTHENTICATE
// XOAUTH2 / OAUTHBEARER when OAuth is on; SELECT INBOX (UIDVALIDITY);
// UID FETCH 1:* (UID), then UID FETCH of size and From/Subject/Date of the
// messages not yet filed for the listing; UID FETCH BODY.PEEK[] to retrieve (the server's \Seen
// flag is left alone); UID STORE +FLAGS.SILENT (\Deleted) and UID EXPUNGE of exactly the messages
// this client flagged; LOGOUT. Secrets never reach the protocol log, nor do message texts.
#include "mail/oauth.h"
#include "mail/smtp.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::mail {

// One message of the mailbox.
struct TImapMessageInfo {
    uint32_t Uid = 0;
    uint32_t Size = 0;               // RFC822.SIZE
    std::vector<std::string> Header; // its From, Subject and Date lines
    bool Retrieve = false;
    bool Delete = false;
};

// A message text as the POP3 client hands it to OnUserMessageSave: every
// line beginning with "." gets a second one, the text ends in CR LF and the
// terminating "." line follows.
std::string ImapToPop3Form(std::string_view message);
// "1:3,7,9:10" for the sorted, distinct UIDs given.
std::string UidSet(const std::vector<uint32_t>& uids);
// An IMAP quoted string: "..." with " and \ escaped.
std::string ImapQuote(std::string_view s);

class TmsIMAP : public TmsMailBase {
  public:
    TmsIMAP(); // DefaultPort 143, service "imap"; 993 / "imaps" with Security Tls

    std::string UserName; // required (57103)
    std::string Password; // required (57104) unless a token command gives the token
    TOAuthSignIn OAuth;   // off: LOGIN / AUTHENTICATE PLAIN
    std::string Mailbox = "INBOX";

    // From SELECT.
    uint32_t UidValidity = 0;
    long MessageCount = 0;
    // Every UID in the mailbox at the last listing (filed or not).
    std::vector<uint32_t> AllUids;
    // The messages listed: those IsFiled does not claim, in UID order.
    std::vector<TImapMessageInfo> RemoteInfo;
    // When false (the default) the listing ends with a log-out.
    bool KeepConnected = false;
    // The UIDs the last TransferMarked flagged \Deleted, and those of them it
    // could not expunge (no UIDPLUS and other messages flagged \Deleted by
    // someone else: a plain EXPUNGE would have removed those too).
    std::vector<uint32_t> Flagged, NotExpunged;

    // After SELECT, with the mailbox's UIDVALIDITY: the owner compares it
    // with the one remembered (TUidStore::SetUidValidity).
    std::function<void(uint32_t uidValidity)> OnMailboxSelected;
    // True for a message already filed: it is left out of the listing.
    std::function<bool(uint32_t uid)> IsFiled;
    // Every UID in the mailbox, once the listing has read them (AllUids).
    std::function<void()> OnUidsListed;

    // Num is the index into RemoteInfo.
    std::function<void(int num)> OnRetrieving, OnRetrieved, OnDeleting, OnNextInfoUpdated;
    std::function<void()> OnUpdatingInfo, OnInfoUpdated, OnTransferringData, OnDataTransfered;
    // The message in the POP3 client's form (ImapToPop3Form); it lives only
    // for the call. An exception thrown here ends the transfer before the
    // message is flagged for deletion.
    std::function<void(int num, const std::string& contents)> OnUserMessageSave;

    // Connects and fills AllUids and RemoteInfo.
    void GetRemoteInfo();
    // Connects, retrieves the marked messages, flags and expunges the ones
    // marked for deletion (a message marked for both only once it is filed),
    // disconnects. The mailbox must still have the UIDVALIDITY of the
    // listing; otherwise nothing is retrieved or deleted.
    void TransferMarked();

    const std::vector<std::string>& Capabilities() const { return caps_; }
    bool HasCapability(std::string_view name) const;

  protected:
    void CheckOpenProperties() override;
    void Login() override;
    void Logout() override;

  private:
    // One server response: its lines joined, each literal's bytes apart.
    struct Response {
        std::string Text;
        std::vector<std::string> Literals;
    };
    using Handler = std::function<void(const Response&)>;

    Response ReadResponse();
    std::string NextTag();
    // Sends tag + " " + command and reads until the tagged reply, which must
    // be OK. Untagged responses go to the common bookkeeping and to handler.
    void Command(const std::string& command, const Handler& handler = {},
                 std::string_view logAs = {});
    // Waits for the tagged reply of tag; true when it is OK.
    bool AwaitTagged(const std::string& tag, const Handler& handler);
    void Untagged(const Response& r);
    void ParseCapabilities(std::string_view list);
    void Authenticate(const std::string& token);
    void AuthenticateSasl(const std::string& mechanism, const std::string& initial, bool oauth);
    void Select();
    void Expunge(const std::vector<uint32_t>& uids);

    std::vector<std::string> caps_;
    unsigned tagCounter_ = 0;
    bool preauth_ = false;
    std::vector<uint32_t> searchResult_;
};

} // namespace quorel::mail
