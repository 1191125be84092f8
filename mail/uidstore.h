#pragma once
// The messages already filed, per mail account, so that mail left on the
// server is never filed twice: POP3 UIDLs (RFC 1939) and IMAP UIDs with the
// mailbox's UIDVALIDITY. Kept in the mailbox folder as "uids.lst", a small
// text file rewritten atomically:
//
//   A <protocol> <host> <port> <user>     an account (user %-escaped)
//   V <uidvalidity>                       IMAP only
//   U <uid>                               one per filed message (%-escaped)
//
// Lines end in CR LF; everything is printable ASCII. Unknown lines are
// skipped, so a damaged file costs at most a message filed again. An account
// may appear more than once (lines appended since the last rewrite).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::mail {

class TmsIMAP;
class TmsRemotePOP;

constexpr const char* kUidStoreFileName = "uids.lst";

class TUidStore {
  public:
    // The key of an account: protocol ("POP3", "IMAP"), host (in lower
    // case), port and user name.
    static std::string AccountKey(std::string_view protocol, std::string_view host, unsigned port,
                                  std::string_view user);

    // Reads folder/uids.lst; a missing file is an empty store. False with
    // error set when the file exists but cannot be read.
    bool Load(const std::filesystem::path& mailboxFolder, std::string* error = nullptr);
    // Rewrites the file (temporary file, flush, rename).
    bool Save(std::string* error = nullptr) const;

    bool Known(const std::string& account, std::string_view uid) const;
    void Remember(const std::string& account, std::string_view uid);
    // Remembers uid and appends it to the file at once ("A" and "U" line):
    // one small append per filed message instead of a rewrite; the next
    // Save folds the appended lines in. A last line without its line end
    // (an append cut short by a crash) is ignored when the file is read.
    bool Add(const std::string& account, std::string_view uid, std::string* error = nullptr);
    // IMAP: records the mailbox's UIDVALIDITY. A value other than the one
    // remembered means the server numbered its messages afresh: the old
    // UIDs are forgotten and true is returned.
    bool SetUidValidity(const std::string& account, uint32_t validity);
    uint32_t UidValidity(const std::string& account) const;
    // Forgets the UIDs of messages no longer on the server (call only with
    // the complete list of a listing that succeeded), so the file does not
    // grow without end.
    void KeepOnly(const std::string& account, const std::set<std::string>& onServer);
    size_t Count(const std::string& account) const;

    const std::filesystem::path& FileName() const { return file_; }

  private:
    struct Account {
        uint32_t Validity = 0;
        std::set<std::string> Uids;
    };
    std::filesystem::path file_;
    std::map<std::string, Account> accounts_;
};

// The owner's filing of one retrieved message (the connection dialog's
// RemotePOPUserMessageSave): num and the raw text as the POP3 client hands
// it over.
using TFileMessage = std::function<void(int num, const std::string& contents)>;

// Files each message of an IMAP account once: the listing leaves out what is
// filed, a new UIDVALIDITY forgets the old UIDs, and every message handed to
// file is remembered, the store saved, before the next one comes (a store
// that cannot be saved ends the transfer before anything is deleted); the
// ids of messages gone from the server are dropped at each listing. Sets
// the client's IsFiled, OnMailboxSelected, OnUidsListed and
// OnUserMessageSave.
void FileOnce(TmsIMAP& imap, TUidStore& store, const std::string& account, TFileMessage file);
// The same for POP3 without deleting: at the start of each transfer, in its
// own session (OnTransferringData), the UIDLs are read and the messages
// already filed are not retrieved, the ids of messages gone from the server
// dropped; every filed one is remembered. A server without UIDL keeps the
// original behaviour. Sets OnTransferringData and OnUserMessageSave.
void FileOnce(TmsRemotePOP& pop, TUidStore& store, const std::string& account, TFileMessage file);

} // namespace quorel::mail
