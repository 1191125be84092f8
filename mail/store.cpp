// The mailbox store: record layouts of mail.lst and folder.lst, the store
// operations on them and the index rebuild.
//
// RebuildIndex walks every "*.0??" file of the mailbox folder: a file that
// already has a record gets its folder from an old extension (.000 New,
// .001 unfiled, .002 Queued, .003 Sent; such files are renamed to a new
// ".032" name); any other file is loaded and indexed in folder 5 (or the
// folder of its old extension) with the file's modification time; a file
// that cannot be loaded is renamed to a new ".ERR" name. Then records whose
// file is gone are removed, and records with folder 0 or a folder that no
// longer exists move to folder 5.
//
// A mail file is always complete on disk (written to a temporary file,
// fsynced and renamed) before the index record that names it is written.
#include "mail/store.h"
#include "platform/text.h"

#include "platform/binary.h"
#include "platform/codepage.h"
#include "platform/datetime.h"
#include "platform/files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include <dirent.h>
#include <sys/stat.h>

namespace quorel::mail {

bool MailboxChanged = false;

namespace fs = std::filesystem;

namespace {

constexpr size_t kIndexDisk = kIndexRecordSize + 1;
constexpr size_t kFolderDisk = kFolderRecordSize + 1;

// Characters (code points) of UTF-8 text.
size_t Utf8Length(std::string_view s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}


std::string CutChars(std::string_view s, size_t width) {
    if (Utf8Length(s) <= width) return std::string(s);
    std::string p = PadUtf8(s, width);
    return p;
}

double FileDate(const fs::path& p) {
    struct stat st;
    if (::stat(p.c_str(), &st) != 0) return Now();
    std::time_t t = st.st_mtime;
    std::tm tm{};
    localtime_r(&t, &tm);
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
           EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::string Ext(const fs::path& p) {
    std::string e = p.extension().string();
    if (!e.empty() && e[0] == '.') e.erase(0, 1);
    return AsciiLower(e);
}

// Folder of an old extension, 0 for any other.
int32_t FolderOfOldExtension(const std::string& ext) {
    if (ext == "000") return kFolderNew;
    if (ext == "001") return kFolderUnfiled;
    if (ext == "002") return kFolderQueued;
    if (ext == "003") return kFolderSent;
    return 0;
}

std::vector<TMailIndexRecord> ParseIndex(const std::string& bytes) {
    std::vector<TMailIndexRecord> out;
    const size_t n = bytes.size() / kIndexDisk;
    out.reserve(n);
    auto p = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t i = 0; i < n; ++i)
        out.push_back(TMailIndexRecord::FromBytes(p + i * kIndexDisk));
    return out;
}

TMailIndexRecord RecordFor(const TmsMessage& m, bool toAddressFallback) {
    TMailIndexRecord r;
    r.From = m.Sender.Name.empty() ? m.Sender.Address : m.Sender.Name;
    if (!m.Recipients.Empty()) {
        r.To = m.Recipients[0].Name;
        if (r.To.empty() && toAddressFallback) r.To = m.Recipients[0].Address;
    }
    r.Subject = m.Subject;
    r.AttachmentCount = uint8_t(std::min<size_t>(m.Attachments.Count(), 255));
    return r;
}

} // namespace

// ---- record layouts ----

TMailIndexRecord TMailIndexRecord::FromBytes(const uint8_t* p) {
    TMailIndexRecord r;
    r.From = GetShortString(p + 0, 25);
    r.To = GetShortString(p + 26, 25);
    r.Subject = GetShortString(p + 52, 60);
    r.FileName = GetShortString(p + 113, 12);
    r.AttachmentCount = p[126];
    r.Date = GetDouble(p + 129);
    r.SaveCopy = p[137];
    r.Folder = GetI32(p + 138);
    r.Deleted = p[156] == 1;
    return r;
}

void TMailIndexRecord::ToBytes(uint8_t* p) const {
    std::memset(p, 0, kIndexRecordSize);
    PutShortString(p + 0, 25, From);
    PutShortString(p + 26, 25, To);
    PutShortString(p + 52, 60, Subject);
    PutShortString(p + 113, 12, FileName);
    p[126] = AttachmentCount;
    PutDouble(p + 129, Date);
    p[137] = SaveCopy;
    PutI32(p + 138, Folder);
    p[156] = Deleted ? 1 : 0;
}

TFolderRecord TFolderRecord::FromBytes(const uint8_t* p) {
    TFolderRecord r;
    r.Name = GetShortString(p, 100);
    r.Number = GetI32(p + 101);
    r.Deleted = p[154] == 1;
    return r;
}

void TFolderRecord::ToBytes(uint8_t* p) const {
    std::memset(p, 0, kFolderRecordSize);
    PutShortString(p, 100, Name);
    PutI32(p + 101, Number);
    p[154] = Deleted ? 1 : 0;
}

// ---- free functions ----

fs::path NewMessageFileName(const fs::path& folder, std::string_view extension) {
    // Seeded from the time of day (and the system's entropy, so that two
    // calls in the same tick differ).
    static std::mt19937 rng;
    rng.seed(unsigned(std::chrono::steady_clock::now().time_since_epoch().count()) ^
             std::random_device{}());
    std::uniform_int_distribution<int> a(0, 59999), b(0, 998);
    const std::string ext(extension);
    for (;;) {
        char name[32];
        std::snprintf(name, sizeof name, "%05d%03d.", a(rng), b(rng));
        std::string base = name;
        fs::path p = folder / (base + ext);
        std::error_code ec;
        if (fs::exists(p, ec) || fs::exists(folder / (base + AsciiLower(ext)), ec) ||
            fs::exists(folder / (base + AsciiUpper(ext)), ec))
            continue;
        return p;
    }
}

std::string RfcDate(double localDate) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const CalendarDate c = DecodeDate(localDate);
    const ClockTime t = DecodeTime(localDate);
    std::tm tm{};
    tm.tm_year = c.year - 1900;
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    long offset = 0; // minutes east of UTC in effect at that local time
    if (std::mktime(&tm) != std::time_t(-1)) offset = tm.tm_gmtoff / 60;
    const int weekday = DayOfWeek(localDate) - 1; // 0 = Sunday
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  kDays[(weekday % 7 + 7) % 7], c.day, kMonths[(c.month + 11) % 12], c.year,
                  t.hour, t.minute, t.second, offset < 0 ? '-' : '+', std::labs(offset) / 60,
                  std::labs(offset) % 60);
    return buf;
}

std::string NewMessageId(std::string_view senderAddress) {
    std::string domain;
    const size_t at = senderAddress.rfind('@');
    if (at != senderAddress.npos) domain = std::string(senderAddress.substr(at + 1));
    std::erase_if(domain, [](char ch) {
        return static_cast<unsigned char>(ch) <= ' ' || ch == '<' || ch == '>' || ch == '@';
    });
    if (domain.empty()) domain = "quorel.invalid";
    static std::mt19937_64 gen{std::random_device{}()};
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    char buf[80];
    std::snprintf(buf, sizeof buf, "%llx.%016llx.quorel",
                  static_cast<unsigned long long>(
                      std::chrono::duration_cast<std::chrono::microseconds>(now).count()),
                  static_cast<unsigned long long>(gen()));
    return "<" + std::string(buf) + "@" + domain + ">";
}

std::string MessageListLine(const TMailIndexRecord& r, std::string_view userName) {
    std::string who = r.From.empty() ? "??" : r.From;
    if (who == userName) who = "To: " + r.To;
    std::string subject = r.Subject;
    if (r.AttachmentCount > 0) subject = CutChars(subject + " [attch]", 60);
    return PadUtf8(who, 25) + "\t" + PadUtf8(subject, 40) + "\t" +
           PadUtf8(FormatDateTime("mm.dd.yy hh:nn", r.Date), 20);
}

// ---- the store ----

TMailStore::TMailStore() {
    index_.Init(kIndexRecordSize);
    folders_.Init(kFolderRecordSize);
}

TMailStore::~TMailStore() {
    Close();
}

bool TMailStore::Open(const fs::path& mailboxFolder, const std::array<std::string, 5>& names) {
    Close();
    folder_ = mailboxFolder;
    index_.Init(kIndexRecordSize);
    folders_.Init(kFolderRecordSize);
    const fs::path idx = folder_ / "mail.lst", fld = folder_ / "folder.lst";
    if (!index_.Open(idx)) {
        if (index_.LockedByOther() || !index_.Create(idx)) return false;
    }
    if (!folders_.Open(fld)) {
        if (folders_.LockedByOther() || !folders_.Create(fld)) {
            index_.Close();
            return false;
        }
        for (int i = 0; i < 5; ++i) {
            TFolderRecord r;
            r.Name = names[size_t(i)];
            r.Number = i + 1;
            folders_.Clear();
            r.ToBytes(folders_.Buffer());
            folders_.Append();
        }
        folders_.Flush();
    }
    return true;
}

bool TMailStore::OpenReadOnly(const fs::path& mailboxFolder) {
    Close();
    folder_ = mailboxFolder;
    index_.Init(kIndexRecordSize);
    folders_.Init(kFolderRecordSize);
    if (!index_.OpenReadOnly(folder_ / "mail.lst")) return false;
    if (!folders_.OpenReadOnly(folder_ / "folder.lst")) {
        index_.Close();
        return false;
    }
    return true;
}

void TMailStore::Close() {
    index_.Close();
    folders_.Close();
    pendingPack_ = false;
}

bool TMailStore::IsOpen() const {
    return index_.IsOpen() && folders_.IsOpen();
}

bool TMailStore::IndexLocked() const {
    return index_.LockedByOther() || folders_.LockedByOther();
}

bool TMailStore::ReadRecord(long n, TMailIndexRecord& out) {
    if (n < 1 || n > index_.Count()) return false;
    index_.Go(n);
    out = TMailIndexRecord::FromBytes(index_.Buffer());
    return true;
}

bool TMailStore::WriteRecord(long n, const TMailIndexRecord& rec) {
    if (n < 1 || n > index_.Count()) return false;
    index_.Go(n);
    rec.ToBytes(index_.Buffer());
    return index_.Write();
}

long TMailStore::AppendRecord(const TMailIndexRecord& rec) {
    index_.Clear();
    rec.ToBytes(index_.Buffer());
    if (!index_.Append()) return 0;
    index_.Flush();
    return index_.Count();
}

std::vector<std::pair<long, TMailIndexRecord>> TMailStore::AllRecords() {
    std::string bytes;
    std::vector<std::pair<long, TMailIndexRecord>> out;
    if (!index_.IsOpen() || !ReadWholeFile(index_.Path(), bytes)) return out;
    auto recs = ParseIndex(bytes);
    out.reserve(recs.size());
    for (size_t i = 0; i < recs.size(); ++i)
        out.emplace_back(long(i + 1), std::move(recs[i]));
    return out;
}

std::vector<std::pair<long, TMailIndexRecord>> TMailStore::FolderRecords(int32_t folder) {
    auto all = AllRecords();
    std::vector<std::pair<long, TMailIndexRecord>> out;
    for (auto& e : all)
        if (e.second.Folder == folder) out.push_back(std::move(e));
    return out;
}

long TMailStore::CountOf(int32_t folder) {
    std::string bytes;
    if (!index_.IsOpen() || !ReadWholeFile(index_.Path(), bytes)) return 0;
    long n = 0;
    auto p = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t i = 0; i + kIndexDisk <= bytes.size(); i += kIndexDisk)
        if (GetI32(p + i + 138) == folder) ++n;
    return n;
}

int TMailStore::QueuedCount() {
    return int(CountOf(kFolderQueued));
}

long TMailStore::FindByFileName(std::string_view name) {
    const long before = index_.Current();
    const long count = index_.Count();
    for (long n = 1; n <= count; ++n) {
        index_.Go(n);
        if (EqualNoCase(GetShortString(index_.Buffer() + 113, 12), name)) return n;
    }
    if (before > 0) index_.Go(before);
    return 0;
}

long TMailStore::FindInt32(TRecordFile& f, size_t offset, int32_t value) {
    const long before = f.Current();
    const long count = f.Count();
    for (long n = 1; n <= count; ++n) {
        f.Go(n);
        if (GetI32(f.Buffer() + offset) == value) return n;
    }
    if (before > 0) f.Go(before);
    return 0;
}

long TMailStore::FindByFolder(int32_t folder) {
    return FindInt32(index_, 138, folder);
}

fs::path TMailStore::GetFileName(long n) {
    TMailIndexRecord r;
    if (!ReadRecord(n, r)) return {};
    return folder_ / r.FileName;
}

void TMailStore::MarkDeleted(long n) {
    if (n < 1 || n > index_.Count()) return;
    index_.Go(n);
    index_.ToggleDeleted();
}

bool TMailStore::PackIndex() {
    return index_.Pack();
}

fs::path TMailStore::QueueMessage(const TmsMessage& msg, bool saveCopy,
                                  const fs::path& editedFile) {
    TmsMessage m = msg;
    if (!m.Headers.HasField("Date")) m.Headers.Add("Date: " + RfcDate(Now()));
    if (!m.Headers.HasField("Message-ID"))
        m.Headers.Add("Message-ID: " + NewMessageId(m.Sender.Address));
    const fs::path path = editedFile.empty() ? NewMessageFileName(folder_, kMailExtension)
                                             : folder_ / editedFile.filename();
    // A changed message's old file and record come back if the index cannot
    // take the new record.
    std::string oldFile;
    const bool hadFile = !editedFile.empty() && ReadWholeFile(path, oldFile);
    const long n = editedFile.empty() ? 0 : FindByFileName(path.filename().string());
    TMailIndexRecord oldRecord;
    if (n > 0 && !ReadRecord(n, oldRecord)) throw EMessageError("Cannot read the mailbox index");
    const long countBefore = index_.Count();

    m.SaveToFile(path); // complete on disk before the record names it
    TMailIndexRecord r = RecordFor(m, true);
    r.FileName = path.filename().string();
    r.Folder = kFolderQueued;
    r.Date = Now();
    r.SaveCopy = saveCopy ? 1 : 0;
    bool ok = index_.IsOpen();
    if (ok && n > 0) {
        ok = WriteRecord(n, r) && index_.Flush();
        if (!ok) WriteRecord(n, oldRecord);
    } else if (ok) {
        ok = AppendRecord(r) == countBefore + 1 && index_.Flush();
    }
    if (!ok) {
        if (index_.Count() != countBefore || n == 0) index_.TruncateTo(countBefore);
        index_.Flush();
        std::error_code ec;
        if (hadFile)
            AtomicWriteFile(path, oldFile);
        else
            fs::remove(path, ec);
        throw EMessageError("Cannot write the mailbox index " + index_.Path().string());
    }
    MailboxChanged = true;
    return path;
}

fs::path TMailStore::FileReceivedMessage(const TmsMessage& msg) {
    const fs::path path = NewMessageFileName(folder_, kMailExtension);
    msg.SaveToFile(path);
    TMailIndexRecord r = RecordFor(msg, false);
    r.FileName = path.filename().string();
    r.Date = Now();
    r.Folder = kFolderNew;
    if (AppendRecord(r) == 0) {
        // No record, no file: the caller keeps the message (on the server).
        std::error_code ec;
        fs::remove(path, ec);
        throw EMessageError("Cannot write the mailbox index");
    }
    MailboxChanged = true;
    return path;
}

std::vector<long> TMailStore::QueuedRecords() {
    std::vector<long> out;
    for (auto& [n, r] : AllRecords())
        if (r.Folder == kFolderQueued && !r.Deleted) out.push_back(n);
    return out;
}

void TMailStore::MarkSent(long n) {
    TMailIndexRecord r;
    if (!ReadRecord(n, r)) return;
    if (r.SaveCopy == 1) {
        r.Folder = kFolderSent;
        WriteRecord(n, r);
    } else {
        std::error_code ec;
        fs::remove(folder_ / r.FileName, ec);
        r.Deleted = true;
        WriteRecord(n, r);
        pendingPack_ = true;
    }
    index_.Flush();
}

bool TMailStore::FinishSendPass() {
    if (!pendingPack_) return false;
    pendingPack_ = false;
    return index_.Pack();
}

TSendResult TMailStore::SendQueue(TmsMessage& msg, const SendFn& send) {
    TSendResult res;
    MailboxChanged = true;
    try {
        for (long n : QueuedRecords()) {
            TMailIndexRecord r;
            if (!ReadRecord(n, r) || r.Folder != kFolderQueued) continue;
            try {
                msg.LoadFromFile(folder_ / r.FileName);
            } catch (const EMessageError&) {
                res.Completed = false;
                break;
            }
            if (!send(msg, r)) {
                res.Completed = false;
                break;
            }
            MarkSent(n);
            ++res.Sent;
        }
    } catch (...) {
        res.Packed = FinishSendPass();
        throw;
    }
    res.Packed = FinishSendPass();
    return res;
}

std::vector<TFolderEntry> TMailStore::FolderEntries(const std::array<std::string, 4>* names) {
    return FolderEntries(names, AllRecords());
}

std::vector<TFolderEntry> TMailStore::FolderEntries(
    const std::array<std::string, 4>* names,
    const std::vector<std::pair<long, TMailIndexRecord>>& records) {
    std::unordered_map<int32_t, long> counts;
    for (auto& [n, r] : records)
        ++counts[r.Folder];
    std::vector<TFolderEntry> out;
    std::string bytes;
    if (!folders_.IsOpen() || !ReadWholeFile(folders_.Path(), bytes)) return out;
    auto p = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t i = 0; i + kFolderDisk <= bytes.size(); i += kFolderDisk) {
        TFolderRecord f = TFolderRecord::FromBytes(p + i);
        if (f.Deleted) continue;
        TFolderEntry e;
        e.Record = long(i / kFolderDisk + 1);
        e.Number = f.Number;
        e.Name = f.Name;
        if (names && out.size() < 4) e.Name = (*names)[out.size()];
        e.Count = counts.count(f.Number) ? counts[f.Number] : 0;
        out.push_back(std::move(e));
    }
    return out;
}

int32_t TMailStore::NewFolderNumber() {
    std::set<int32_t> used;
    const long count = folders_.Count();
    for (long n = 1; n <= count; ++n) {
        folders_.Go(n);
        used.insert(GetI32(folders_.Buffer() + 101));
    }
    int32_t k = kFirstUserFolder;
    while (used.count(k))
        ++k;
    return k;
}

int32_t TMailStore::AddFolder(const std::string& name) {
    if (folders_.Count() >= kMaxFolders) return 0;
    TFolderRecord r;
    r.Name = name;
    r.Number = NewFolderNumber();
    folders_.Clear();
    r.ToBytes(folders_.Buffer());
    if (!folders_.Append()) return 0;
    folders_.Flush();
    return r.Number;
}

bool TMailStore::RenameFolder(int32_t number, const std::string& name) {
    if (number < kFolderTrash) return false;
    long n = FindInt32(folders_, 101, number);
    if (n == 0) return false;
    TFolderRecord r = TFolderRecord::FromBytes(folders_.Buffer());
    r.Name = name;
    r.ToBytes(folders_.Buffer());
    bool ok = folders_.Write();
    folders_.Flush();
    return ok;
}

bool TMailStore::DeleteFolder(int32_t number) {
    if (number < kFolderUnfiled) return false;
    for (auto& [n, r] : FolderRecords(number)) {
        std::error_code ec;
        if (fs::remove(folder_ / r.FileName, ec) || !fs::exists(folder_ / r.FileName, ec)) {
            r.Deleted = true;
            WriteRecord(n, r);
        }
    }
    index_.Pack();
    long f = FindInt32(folders_, 101, number);
    if (f > 0) {
        folders_.ToggleDeleted();
        folders_.Pack();
    }
    return true;
}

bool TMailStore::MoveMessage(long n, int32_t folder) {
    TMailIndexRecord r;
    if (!ReadRecord(n, r)) return false;
    r.Folder = folder;
    bool ok = WriteRecord(n, r);
    index_.Flush();
    return ok;
}

bool TMailStore::DeleteMessage(long n) {
    TMailIndexRecord r;
    if (!ReadRecord(n, r)) return false;
    if (r.Folder != kFolderTrash) {
        r.Folder = kFolderTrash;
        return WriteRecord(n, r);
    }
    std::error_code ec;
    if (!fs::remove(folder_ / r.FileName, ec)) return false;
    r.Deleted = true;
    return WriteRecord(n, r);
}

long TMailStore::MailFileCount() const {
    // Counted straight from the directory: the viewer asks at every start,
    // and a mailbox may hold ten thousand files.
    DIR* dir = ::opendir(folder_.empty() ? "." : folder_.c_str());
    if (!dir) return 0;
    long n = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_type != DT_REG && e->d_type != DT_UNKNOWN) continue;
        if (!WildcardMatchNoCase("*.0??", e->d_name)) continue;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st;
            if (::stat((folder_ / e->d_name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        }
        ++n;
    }
    ::closedir(dir);
    return n;
}

bool TMailStore::NeedsRebuild() {
    auto all = AllRecords();
    if (MailFileCount() != long(all.size())) return true;
    for (auto& [n, r] : all)
        if (r.Folder == 0) return true;
    return false;
}

std::vector<std::string> TMailStore::RebuildIndex(const TRebuildCallbacks& cb) {
    std::vector<std::string> messages;
    const auto files = ListFilesMatching(folder_, "*.0??");
    const long total = long(files.size());
    if (total == 0) {
        index_.Truncate();
        return messages;
    }
    if (cb.Progress) cb.Progress(0, total);
    const std::string errorText =
        cb.Text ? cb.Text("@ErrorLoading") : std::string("Error loading message");

    // File name (upper case) → first record holding it, as "find by file
    // name" would give, kept in memory so the rebuild stays linear.
    std::unordered_map<std::string, long> byName;
    {
        auto all = AllRecords();
        for (auto& [n, r] : all)
            byName.emplace(AsciiUpper(r.FileName), n);
    }
    // Extension rule: old extensions give the folder and a new name.
    auto applyExtension = [&](fs::path& path, TMailIndexRecord& r) {
        int32_t f = FolderOfOldExtension(Ext(path));
        if (f == 0) return;
        fs::path renamed = NewMessageFileName(folder_, kMailExtension);
        std::error_code ec;
        fs::rename(path, renamed, ec);
        if (ec) return; // keeps its name and folder; retried by the next rebuild
        r.Folder = f;
        path = renamed;
        r.FileName = renamed.filename().string();
    };

    long done = 0;
    for (fs::path path : files) {
        const std::string name = path.filename().string();
        auto it = byName.find(AsciiUpper(name));
        if (it != byName.end()) {
            TMailIndexRecord r;
            if (ReadRecord(it->second, r)) {
                applyExtension(path, r);
                WriteRecord(it->second, r);
                byName.emplace(AsciiUpper(r.FileName), it->second);
            }
        } else {
            TmsMessage m;
            bool loaded = true;
            try {
                m.LoadFromFile(path);
            } catch (const EMessageError&) {
                loaded = false;
            }
            if (!loaded) {
                messages.push_back(errorText + " " + name);
                std::error_code ec;
                fs::rename(path, NewMessageFileName(folder_, "ERR"), ec);
            } else {
                TMailIndexRecord r = RecordFor(m, false);
                r.FileName = name;
                r.Date = FileDate(path);
                r.Folder = kFolderUnfiled;
                applyExtension(path, r);
                // The files exist already: one flush at the end suffices.
                index_.Clear();
                r.ToBytes(index_.Buffer());
                if (index_.Append()) byName.emplace(AsciiUpper(r.FileName), index_.Count());
            }
        }
        if (cb.Progress) cb.Progress(++done, total);
    }

    // Records whose file is gone, and records without a folder.
    std::unordered_set<std::string> present;
    for (const auto& p : ListFilesMatching(folder_, "*"))
        present.insert(AsciiUpper(p.filename().string()));
    std::unordered_set<int32_t> numbers;
    {
        std::string bytes;
        if (ReadWholeFile(folders_.Path(), bytes)) {
            auto p = reinterpret_cast<const uint8_t*>(bytes.data());
            for (size_t i = 0; i + kFolderDisk <= bytes.size(); i += kFolderDisk)
                if (p[i + 154] != 1) numbers.insert(GetI32(p + i + 101));
        }
    }
    bool marked = false;
    for (auto& [n, r] : AllRecords()) {
        bool changed = false;
        if (!present.count(AsciiUpper(r.FileName)) && !r.Deleted) {
            r.Deleted = true;
            marked = changed = true;
        }
        if (r.Folder == 0 || !numbers.count(r.Folder)) {
            r.Folder = kFolderUnfiled;
            changed = true;
        }
        if (changed) WriteRecord(n, r);
    }
    if (marked) index_.Pack();
    index_.Flush();
    MailboxChanged = true;
    return messages;
}

} // namespace quorel::mail
