#pragma once
// The local mailbox: one mail file per message in the mailbox folder plus two
// record files there, the index mail.lst (one 157-byte record per message)
// and the folder list folder.lst (one 155-byte record per folder). Both are
// opened once and kept open (and locked) for the whole run.
#include "mail/message.h"
#include "platform/recordfile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quorel::mail {

// Folder numbers.
inline constexpr int32_t kFolderNew = 1;     // received messages
inline constexpr int32_t kFolderQueued = 2;  // waiting to be sent
inline constexpr int32_t kFolderSent = 3;    // sent copies
inline constexpr int32_t kFolderTrash = 4;   // deleted elsewhere
inline constexpr int32_t kFolderUnfiled = 5; // "??": folder missing or 0
inline constexpr int32_t kFirstUserFolder = 11;
inline constexpr long kMaxFolders = 200;

// Record sizes as given to TRecordFile (one pad byte more on disk).
inline constexpr size_t kIndexRecordSize = 157;
inline constexpr size_t kFolderRecordSize = 155;

// Extension of new mail files.
inline constexpr const char* kMailExtension = "032";

// Program-wide flag: a message was queued or filed outside the viewer; the
// viewer reloads when it sees it set, and clears it.
extern bool MailboxChanged;

// One mail.lst record. Byte layout (offsets): From string[25] @0, To
// string[25] @26, Subject string[60] @52, FileName string[12] @113,
// AttachmentCount u8 @126, reserved @127..128, Date double @129, SaveCopy u8
// @137, Folder i32 @138, reserved @142..155, Deleted @156.
struct TMailIndexRecord {
    std::string From;     // sender's name, or address when the name is empty
    std::string To;       // first recipient's name (queued: address when no name)
    std::string Subject;  // up to 60 characters
    std::string FileName; // mail file name without folder (12 characters)
    uint8_t AttachmentCount = 0;
    double Date = 0;      // days since 1899-12-30, local time
    uint8_t SaveCopy = 0; // 1: keep in Sent Mail after sending
    int32_t Folder = 0;
    bool Deleted = false;

    // Reads a record from kIndexRecordSize bytes (strings Windows-1252 → UTF-8).
    static TMailIndexRecord FromBytes(const uint8_t* p);
    // Writes the record over kIndexRecordSize bytes, reserved bytes zero,
    // strings cut to their capacity after conversion to Windows-1252.
    void ToBytes(uint8_t* p) const;
};

// One folder.lst record: Name string[100] @0, Number i32 @101, reserved
// @105..153, Deleted @154.
struct TFolderRecord {
    std::string Name;
    int32_t Number = 0;
    bool Deleted = false;

    static TFolderRecord FromBytes(const uint8_t* p);
    void ToBytes(uint8_t* p) const;
};

// A new file name in folder: 5 digits (random below 60000) + 3 digits
// (random below 999) + "." + extension, drawn again while a file of that
// name exists (compared without case). Returns the full path.
std::filesystem::path NewMessageFileName(const std::filesystem::path& folder,
                                         std::string_view extension);

// The Date header's value for a local date (RFC 5322, with the local offset
// in effect then): "Mon, 07 Dec 2026 17:05:09 +0100".
std::string RfcDate(double localDate);
// A new Message-ID header value "<unique@domain>", the domain taken from the
// sender's address (after its last "@"; "quorel.invalid" when it has none).
std::string NewMessageId(std::string_view senderAddress);

// The viewer's list line of one index record: who (From, "??" when empty,
// "To: " + To when From equals userName) padded to 25, TAB, subject (with
// " [attch]" when there are attachments, within 60) padded to 40, TAB, the
// date as "mm.dd.yy hh:mm" padded to 20. Padding cuts or fills with blanks.
std::string MessageListLine(const TMailIndexRecord& r, std::string_view userName);

// A folder pane entry: Name (the language text for folders 1-4 whatever the
// stored name) + " [" + count + "]".
struct TFolderEntry {
    long Record = 0; // folder.lst record number
    int32_t Number = 0;
    std::string Name; // shown name
    long Count = 0;   // index records with that folder number
    std::string Text() const { return Name + " [" + std::to_string(Count) + "]"; }
};

// Outcome of sending one queued message (see SendQueue).
using SendFn = std::function<bool(TmsMessage& msg, const TMailIndexRecord& rec)>;

struct TSendResult {
    int Sent = 0;          // messages sent successfully
    bool Completed = true; // false when a send failed and the pass stopped
    bool Packed = false;   // the index was packed after deletions
};

// Progress and texts of RebuildIndex.
struct TRebuildCallbacks {
    // Called once with the number of files (before the first), then after
    // each file with the running count.
    std::function<void(long done, long total)> Progress;
    // Language lookup for "@ErrorLoading" (English "Error loading message"
    // when empty).
    std::function<std::string(const std::string& key)> Text;
};

class TMailStore {
  public:
    TMailStore();
    ~TMailStore();
    TMailStore(const TMailStore&) = delete;
    TMailStore& operator=(const TMailStore&) = delete;

    // Opens mailboxFolder/mail.lst and mailboxFolder/folder.lst for the run
    // (locked), creating each when it cannot be opened; a new folder.lst gets
    // five records: folderNames[0..3] as folders 1-4 (the language texts of
    // "@NewMail" .. "@TrashMail") and folderNames[4] ("??") as folder 5.
    // False when either file cannot be opened or created (for instance when
    // another program holds it: IndexLocked() then tells).
    bool Open(const std::filesystem::path& mailboxFolder,
              const std::array<std::string, 5>& folderNames);
    // Opens both files for reading only, without locks and without creating
    // them (commands that only look). False when either is missing.
    bool OpenReadOnly(const std::filesystem::path& mailboxFolder);
    void Close();
    bool IsOpen() const;
    // True when Open failed because another program holds a file.
    bool IndexLocked() const;

    const std::filesystem::path& MailboxFolder() const { return folder_; }
    // The record files themselves (the viewer walks them record by record).
    TRecordFile& Index() { return index_; }
    TRecordFile& Folders() { return folders_; }

    // --- index access ---
    long IndexCount() const { return index_.Count(); }
    // Reads index record n (1-based); false when n is out of range.
    bool ReadRecord(long n, TMailIndexRecord& out);
    // Writes rec over index record n; false when n is out of range.
    bool WriteRecord(long n, const TMailIndexRecord& rec);
    // Appends rec (deletion mark cleared) and flushes the index to disk;
    // returns the new record number, 0 on failure.
    long AppendRecord(const TMailIndexRecord& rec);
    // Every index record in file order with its record number.
    std::vector<std::pair<long, TMailIndexRecord>> AllRecords();
    // The records of one folder, in index order.
    std::vector<std::pair<long, TMailIndexRecord>> FolderRecords(int32_t folder);
    // Number of index records with Folder = n (deletion marks not looked at).
    long CountOf(int32_t folder);
    // Number of queued messages (CountOf(kFolderQueued)).
    int QueuedCount();
    // From record 1, the first record whose FileName equals name (without
    // case); it becomes current and its number is returned. 0 when none
    // matches: the index then stays on the record current before.
    long FindByFileName(std::string_view name);
    // The same for the Folder field of mail.lst.
    long FindByFolder(int32_t folder);
    // mailbox folder / FileName of index record n ("" path when out of range).
    std::filesystem::path GetFileName(long n);
    // Toggles the deletion mark of index record n.
    void MarkDeleted(long n);
    // Packs the index (rewritten atomically).
    bool PackIndex();

    // --- the store operations ---
    // Queues msg: saved as a new file NewMessageFileName(mailbox, "032"), or
    // over editedFile (its file name in the mailbox) when given; the file is
    // on disk before the index record is written. The record: From (name or
    // address), To (first recipient's name or address), Subject, FileName,
    // AttachmentCount, Folder 2, Date now, SaveCopy. A changed message
    // replaces the record holding its file name, a new one is appended.
    // A message without a Date or Message-ID header gets one here (RfcDate of
    // now, NewMessageId of the sender's address); both stay in the file and
    // go out unchanged when it is sent. Sets MailboxChanged. Returns the
    // file's path. Throws EMessageError when the file or the index record
    // cannot be written; the mailbox is then as it was (a new file removed,
    // a changed file restored, the index records and count unchanged).
    std::filesystem::path QueueMessage(const TmsMessage& msg, bool saveCopy,
                                       const std::filesystem::path& editedFile = {});
    // Files a received (already decoded and stripped) message in New Mail:
    // new file name, save, record (From name or address, To first
    // recipient's name, Subject, FileName, AttachmentCount, Date now,
    // Folder 1), append, MailboxChanged. Returns the file's path. Throws
    // EMessageError when the file or its record cannot be written (the file
    // is then removed).
    std::filesystem::path FileReceivedMessage(const TmsMessage& msg);

    // Record numbers of the queued messages (Folder 2) in file order, taken
    // over the records that exist now.
    std::vector<long> QueuedRecords();
    // After record n was sent: SaveCopy 1 → Folder 3 and the record is
    // rewritten (Date unchanged); otherwise the file is deleted and the
    // record marked deleted (a pack is then pending).
    void MarkSent(long n);
    // Packs the index when MarkSent marked any record; true when it packed.
    bool FinishSendPass();
    // The whole send pass: for each queued record in file order, load its
    // file into msg and call send; after a success MarkSent; the first
    // failure (false or an exception from send or from loading) ends the
    // pass. FinishSendPass runs in every case. Exceptions from send are
    // passed on after the pack.
    TSendResult SendQueue(TmsMessage& msg, const SendFn& send);

    // --- folders ---
    // Every folder record in record order with its count and shown name
    // (folderNames for folders 1-4 when given, else the stored names).
    std::vector<TFolderEntry> FolderEntries(const std::array<std::string, 4>* names = nullptr);
    // The same, counting over records already read with AllRecords().
    std::vector<TFolderEntry> FolderEntries(
        const std::array<std::string, 4>* names,
        const std::vector<std::pair<long, TMailIndexRecord>>& records);
    // The smallest number from 11 upward that no folder record has.
    int32_t NewFolderNumber();
    // Appends a folder (name cut to 100 characters); returns its number, or
    // 0 when kMaxFolders folder records exist.
    int32_t AddFolder(const std::string& name);
    // Renames folder number; false for folders below 4 or a missing one.
    bool RenameFolder(int32_t number, const std::string& name);
    // Deletes folder number with its messages (files deleted; records of
    // files that cannot be deleted stay); false for folders below 5.
    bool DeleteFolder(int32_t number);
    // Moves index record n to folder (record rewritten).
    bool MoveMessage(long n, int32_t folder);
    // Deletes index record n as the viewer does: outside Trash it moves to
    // Trash; in Trash the file is deleted and, when that succeeds, the
    // record is marked (pack afterwards with PackIndex).
    bool DeleteMessage(long n);

    // Rebuilds the index from the "*.0??" files of the mailbox folder (see
    // the class comment in store.cpp). Returns the messages for the player
    // ("Error loading message" + " " + file name per unreadable file, which
    // is renamed to a new ".ERR" name).
    std::vector<std::string> RebuildIndex(const TRebuildCallbacks& cb = {});

    // Number of "*.0??" files in the mailbox folder.
    long MailFileCount() const;
    // True when the viewer must rebuild at start: file count differs from
    // the record count, or some record has Folder 0.
    bool NeedsRebuild();

  private:
    long FindInt32(TRecordFile& f, size_t offset, int32_t value);
    std::filesystem::path folder_;
    TRecordFile index_;
    TRecordFile folders_;
    bool pendingPack_ = false;
};

} // namespace quorel::mail
