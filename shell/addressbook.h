#pragma once
// The address book: the record file address.lst in the program folder,
// 755-byte records (756 on disk), kept open and locked for the whole run.
#include "platform/recordfile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorel {

inline constexpr size_t kAddressRecordSize = 755;

// One entry. Byte layout (offsets; text fields are string[n], Windows-1252):
// Name [80] @0, Email [80] @81, Notes [255] @162, Photo [80] @418,
// MailingAddress [40] @499, State [20] @540, Zip [10] @561, Country [20]
// @572, City [30] @593, 130 bytes not used @624 (kept as read, zero in new
// records), deletion mark @754.
struct TAddressRecord {
    std::string Name, Email, Notes, Photo, MailingAddress, State, Zip, Country, City;
    std::array<uint8_t, 130> Unused{};
    bool Deleted = false;

    static TAddressRecord FromBytes(const uint8_t* p);
    // Texts are converted to Windows-1252 and cut to their capacity.
    void ToBytes(uint8_t* p) const;
};

// One row of the list: Name, tab, Email, tab, Notes; with its record number.
struct TAddressRow {
    long Record = 0;
    std::string Text;
};

// The 152 countries, "AFG\ Afghanistan" .. "ZRE\ Zaire", in their order.
extern const std::array<const char*, 152> kCountries;
// The three-letter code of a country entry (its first three characters).
std::string CountryCode(std::string_view entry);

// Old plain-text address list, one entry per line: split at the first ';',
// or at the first ',' when the line has none; lines with neither are
// skipped. Name and address lose their trailing blanks.
struct TOldAddress {
    std::string Name, Email;
};
std::vector<TOldAddress> ParseOldAddressList(std::string_view cp1252Text);

class TAddressBook {
  public:
    enum class OpenResult {
        Opened,  // an existing book, now locked for this process
        Created, // the book did not exist and was created empty
        Locked,  // another process holds the book (another Quorel running)
        Failed,  // cannot be opened or created
    };

    TAddressBook();
    // Opens path (address.lst) for the run; when it cannot be opened and
    // does not exist, creates it. A book another process holds is never
    // created over.
    OpenResult OpenOrCreate(const std::filesystem::path& path);
    // Why the last OpenOrCreate failed, in words ("Permission denied", ...);
    // empty after a success.
    const std::string& OpenError() const { return openError_; }
    // Opens an existing book for the run; false when missing or locked.
    bool Open(const std::filesystem::path& path);
    // Opens an existing book to look only (no lock, no writing).
    bool OpenReadOnly(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }
    bool LockedByOther() const { return file_.LockedByOther(); }

    long Count() const { return file_.Count(); }
    // Record n (1-based, clamped like the record file's Go).
    TAddressRecord Get(long n);
    // The record in the buffer: the last one read or written (after a pick,
    // the chosen entry).
    TAddressRecord Buffered() const { return TAddressRecord::FromBytes(file_.Buffer()); }
    std::vector<TAddressRow> Rows();
    // "@Title" + " " + count + " " + "@Registers" with the given texts.
    std::string StatusText(std::string_view title, std::string_view registers) const;

    // Appends r as a live record; its number, 0 on failure.
    long Add(const TAddressRecord& r);
    // Writes r over record n; false when n is out of range.
    bool Update(long n, const TAddressRecord& r);
    // Marks record n deleted and packs the book; false when out of range.
    bool Delete(long n);
    // The first live record whose e-mail address equals email without
    // regard to case (surrounding blanks ignored); 0 when none.
    long FindByEmail(std::string_view email, TAddressRecord* out = nullptr);

    // The entry appended to a newly created book.
    static TAddressRecord SampleEntry(const std::filesystem::path& programFolder);
    // Appends every entry of an old list: Notes "Imported", Photo
    // programFolder/unknown.bmp. Returns the number appended.
    int ImportOldList(const std::vector<TOldAddress>& entries,
                      const std::filesystem::path& programFolder);

    TRecordFile& File() { return file_; }

  private:
    TRecordFile file_;
    std::string openError_;
};

} // namespace quorel
