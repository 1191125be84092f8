#include "platform/recordfile.h"

#include "platform/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorel {
namespace {

bool PWriteAll(int fd, const uint8_t* p, size_t n, off_t at) {
    while (n > 0) {
        ssize_t w = ::pwrite(fd, p, n, at);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= size_t(w);
        at += w;
    }
    return true;
}

bool PReadAll(int fd, uint8_t* p, size_t n, off_t at) {
    while (n > 0) {
        ssize_t r = ::pread(fd, p, n, at);
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) return false;
        p += r;
        n -= size_t(r);
        at += r;
    }
    return true;
}

} // namespace

TRecordFile::~TRecordFile() {
    Close();
}

void TRecordFile::Init(size_t size) {
    Close();
    buf_.assign(size, 0);
    pos_ = 0;
}

bool TRecordFile::OpenFd(const std::filesystem::path& path, int flags, bool lock) {
    Close();
    lockedByOther_ = false;
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    if (lock && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        lockedByOther_ = errno == EWOULDBLOCK;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    // Kept absolute: the program changes its current folder during the run,
    // and Pack must write beside the file that was opened.
    std::error_code ec;
    path_ = std::filesystem::absolute(path, ec);
    if (ec) path_ = path;
    pos_ = 0;
    return true;
}

bool TRecordFile::Open(const std::filesystem::path& path) {
    readOnly_ = false;
    return OpenFd(path, O_RDWR, true);
}

bool TRecordFile::OpenReadOnly(const std::filesystem::path& path) {
    if (!OpenFd(path, O_RDONLY, false)) return false;
    readOnly_ = true;
    return true;
}

bool TRecordFile::Create(const std::filesystem::path& path) {
    readOnly_ = false;
    // Lock before truncating, so a file another process holds is never cut.
    if (!OpenFd(path, O_RDWR | O_CREAT, true)) return false;
    if (::ftruncate(fd_, 0) != 0) {
        Close();
        return false;
    }
    return true;
}

void TRecordFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_); // releases the lock
        fd_ = -1;
    }
    pos_ = 0;
}

long TRecordFile::Count() const {
    if (fd_ < 0 || buf_.empty()) return 0;
    struct stat st;
    if (::fstat(fd_, &st) != 0) return 0;
    return long(st.st_size / off_t(DiskRecordLength()));
}

long TRecordFile::Current() const {
    if (fd_ < 0 || Count() == 0) return 0;
    return pos_ / long(DiskRecordLength()) + 1;
}

bool TRecordFile::Read() {
    if (fd_ < 0 || buf_.empty()) return false;
    std::vector<uint8_t> rec(buf_.size());
    if (!PReadAll(fd_, rec.data(), rec.size(), off_t(pos_))) return false;
    buf_.swap(rec);
    return true;
}

bool TRecordFile::Write() {
    if (fd_ < 0 || readOnly_ || buf_.empty()) return false;
    std::vector<uint8_t> rec(buf_);
    rec.push_back(0);
    return PWriteAll(fd_, rec.data(), rec.size(), off_t(pos_));
}

void TRecordFile::Go(long n) {
    long count = Count();
    if (n > count) n = count;
    if (n < 1) n = 1;
    pos_ = (n - 1) * long(DiskRecordLength());
    Read();
}

void TRecordFile::Next() {
    if (Current() < Count()) {
        pos_ += long(DiskRecordLength());
        Read();
    }
}

bool TRecordFile::Append() {
    if (fd_ < 0 || readOnly_ || buf_.empty()) return false;
    pos_ = Count() * long(DiskRecordLength());
    buf_.back() = 0;
    return Write();
}

void TRecordFile::Clear() {
    std::fill(buf_.begin(), buf_.end(), uint8_t(0));
}

void TRecordFile::ToggleDeleted() {
    if (Count() > 0 && !buf_.empty()) {
        Read();
        buf_.back() = buf_.back() == 1 ? 0 : 1;
        Write();
    }
}

bool TRecordFile::IsDeleted() const {
    return !buf_.empty() && buf_.back() == 1;
}

bool TRecordFile::Truncate() {
    if (fd_ < 0 || readOnly_) return false;
    bool ok = ::ftruncate(fd_, 0) == 0;
    pos_ = 0;
    Clear();
    return ok;
}

bool TRecordFile::TruncateTo(long count) {
    if (fd_ < 0 || readOnly_ || count < 0) return false;
    const off_t size = off_t(count) * off_t(DiskRecordLength());
    pos_ = long(size);
    return ::ftruncate(fd_, size) == 0;
}

bool TRecordFile::Flush() {
    return fd_ >= 0 && SyncOrDefer(fd_);
}

bool TRecordFile::Pack() {
    if (fd_ < 0 || readOnly_ || buf_.empty()) return false;
    std::filesystem::path folder = path_.parent_path();
    std::random_device rd;
    std::filesystem::path tmp;
    int tfd = -1;
    for (int attempt = 0; attempt < 16 && tfd < 0; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".pack%08x.tmp", unsigned(rd()));
        tmp = folder / name;
        tfd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (tfd < 0 && errno != EEXIST) break;
    }
    if (tfd < 0) return false;
    // The packed file is locked before it takes the old name, so no other
    // process can slip in between the rename and our lock.
    ::flock(tfd, LOCK_EX | LOCK_NB);
    struct stat st;
    if (::fstat(fd_, &st) == 0) ::fchmod(tfd, st.st_mode & 07777);

    const size_t len = DiskRecordLength();
    const long count = Count();
    std::vector<uint8_t> rec(len);
    off_t out = 0;
    bool ok = true;
    for (long n = 1; n <= count && ok; ++n) {
        if (!PReadAll(fd_, rec.data(), len - 1, off_t((n - 1) * long(len)))) {
            ok = false;
            break;
        }
        if (rec[len - 2] == 1) continue; // deleted
        rec[len - 1] = 0;
        ok = PWriteAll(tfd, rec.data(), len, out);
        out += off_t(len);
    }
    ok = ok && ::fsync(tfd) == 0 && ::rename(tmp.c_str(), path_.c_str()) == 0;
    if (!ok) {
        ::close(tfd);
        ::unlink(tmp.c_str());
        return false;
    }
    int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    ::close(fd_);
    fd_ = tfd;
    pos_ = 0;
    Clear();
    First();
    return true;
}

} // namespace quorel
