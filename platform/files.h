#pragma once
// File helpers: case-insensitive names, wildcard listing, whole-file reads and
// the atomic replace every rewritten file goes through.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace quorel {

namespace fs = std::filesystem;

// The entry of folder whose name equals name without regard to ASCII case;
// an exact match wins over a case-folded one. nullopt when there is none.
std::optional<fs::path> FindFileNoCase(const fs::path& folder, std::string_view name);

// Wildcard match of a file name ('*' any run, '?' one character), ASCII case
// ignored: "*.qrl" matches "A.QRL".
bool WildcardMatchNoCase(std::string_view pattern, std::string_view name);

// Regular files of folder whose names match pattern, sorted by name.
std::vector<fs::path> ListFilesMatching(const fs::path& folder, std::string_view pattern);

// Reads the whole file into out. False (out untouched) when it cannot be read.
bool ReadWholeFile(const fs::path& path, std::string& out);

// Replaces path with data in one step: writes a temporary file in the same
// folder, fsyncs it, renames it over path and fsyncs the folder. On failure
// the old file is left as it was, the temporary file is removed, error gets
// the system's text and false is returned. mode applies to a new file (0600
// for files that hold secrets).
bool AtomicWriteFile(const fs::path& path, std::string_view data, std::string* error = nullptr,
                     unsigned mode = 0644);

// Appends data to path (created when missing) and flushes it to disk.
bool AppendToFile(const fs::path& path, std::string_view data, std::string* error = nullptr);

// Writes data to a new file or truncates an existing one, then fsyncs it;
// for files whose content is built elsewhere as a whole (exports the user
// asked to overwrite go through AtomicWriteFile instead).
bool FsyncFile(const fs::path& path);

// While a TDeferredSync is alive on a thread, the writes of that thread that
// would flush each file to disk (AtomicWriteFile, AppendToFile, a record
// file's Flush) leave the data to the kernel and only note the file system
// they wrote to; Commit() then makes everything written so far durable with
// one syncfs per file system. Retrieving a hundred messages costs one journal
// commit instead of three per message, and the caller still decides exactly
// when the data must be on disk (before a message is deleted on the server).
// The destructor commits what is left. Scopes nest: an inner scope commits
// only into the outer one's notes.
class TDeferredSync {
  public:
    TDeferredSync();
    ~TDeferredSync();
    TDeferredSync(const TDeferredSync&) = delete;
    TDeferredSync& operator=(const TDeferredSync&) = delete;

    // Flushes every file system written to since the last Commit. False, with
    // the system's text in error, when one of them cannot be flushed.
    bool Commit(std::string* error = nullptr);
    // True when something was written since the last Commit.
    bool Pending() const { return pending_; }

    // The scope active on this thread, or nullptr: writers ask it whether to
    // flush themselves.
    static TDeferredSync* Active();
    // Notes that fd (an open file or folder) was written without a flush.
    void Note(int fd);

  private:
    struct Volume {
        dev_t dev;
        int fd; // a descriptor on that file system, kept for syncfs
    };
    std::vector<Volume> volumes_;
    TDeferredSync* outer_;
    bool pending_ = false;
};

// fsync(fd), unless a TDeferredSync scope is active on this thread: then the
// flush is left to its Commit. True when the data is (or will be) flushed.
bool SyncOrDefer(int fd);

// Text with LF or CR LF line ends → CR LF line ends.
std::string ToCrLf(std::string_view text);

} // namespace quorel
