#pragma once
// Record files: equal-sized binary records with a one-byte deletion mark,
// read and written one at a time through a buffer owned by the file object.
// On disk each record is the caller's size bytes followed by one pad byte
// (written 0, ignored when read); records are numbered from 1; the last byte
// of the caller's record is the deletion mark (1 deleted, 0 live).
//
// Open takes an exclusive advisory lock (flock) for the whole time the file
// is open, so a second writer — another running program — is refused at once;
// readers that only look (OpenReadOnly) take no lock.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorel {

class TRecordFile {
  public:
    TRecordFile() = default;
    ~TRecordFile();
    TRecordFile(const TRecordFile&) = delete;
    TRecordFile& operator=(const TRecordFile&) = delete;

    // record length := size + 1; not open; buffer zero-filled.
    void Init(size_t size);
    // Opens an existing file for reading and writing with the exclusive lock.
    // False when the file is missing, cannot be opened or is locked by
    // another process (then LockedByOther() is true).
    bool Open(const std::filesystem::path& path);
    // Opens for reading only, without a lock (Write/Append/Pack fail).
    bool OpenReadOnly(const std::filesystem::path& path);
    // Creates or truncates the file and locks it. Refused when another
    // process holds the lock.
    bool Create(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    bool LockedByOther() const { return lockedByOther_; }

    long Count() const;
    long Current() const;
    // Reads the record at the position into the buffer unless at end of
    // file; the position stays at the record's start. False at end of file
    // or on a short record (buffer unchanged).
    bool Read();
    // Writes the buffer and a zero pad byte at the position; stays there.
    bool Write();
    void Go(long n); // n clamped to 1..Count, then Read
    void First() { Go(1); }
    void Next();
    bool Append();
    void Clear();
    void ToggleDeleted();
    bool IsDeleted() const;
    bool Truncate();
    // Cuts the file to its first count records (a torn record after them
    // goes too); the position moves to the new end.
    bool TruncateTo(long count);
    // Rewrites the file without deleted records: the packed copy is written
    // beside the old file, flushed, and renamed over it in one step; the
    // file is then reopened (and relocked), cleared and positioned at record 1.
    bool Pack();
    // Flushes the file's data to disk.
    bool Flush();

    uint8_t* Buffer() { return buf_.data(); }
    const uint8_t* Buffer() const { return buf_.data(); }
    size_t RecordSize() const { return buf_.size(); }
    size_t DiskRecordLength() const { return buf_.size() + 1; }
    const std::filesystem::path& Path() const { return path_; }

  private:
    bool OpenFd(const std::filesystem::path& path, int flags, bool lock);
    int fd_ = -1;
    bool readOnly_ = false;
    bool lockedByOther_ = false;
    long pos_ = 0; // byte offset
    std::vector<uint8_t> buf_;
    std::filesystem::path path_;
};

} // namespace quorel
