#include "platform/files.h"

#include "platform/codepage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quorel {
namespace {

std::string SysError(const std::string& what, int err) {
    return what + ": " + std::strerror(err);
}

bool WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

void SyncFolder(const fs::path& folder) {
    int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        SyncOrDefer(dfd);
        ::close(dfd);
    }
}

thread_local TDeferredSync* activeSync = nullptr;

} // namespace

TDeferredSync::TDeferredSync() : outer_(activeSync) {
    activeSync = this;
}

TDeferredSync::~TDeferredSync() {
    Commit();
    for (const Volume& v : volumes_)
        ::close(v.fd);
    activeSync = outer_;
}

TDeferredSync* TDeferredSync::Active() {
    return activeSync;
}

void TDeferredSync::Note(int fd) {
    pending_ = true;
    struct stat st;
    if (::fstat(fd, &st) != 0) return;
    for (const Volume& v : volumes_)
        if (v.dev == st.st_dev) return;
    int keep = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (keep >= 0) volumes_.push_back({st.st_dev, keep});
}

bool TDeferredSync::Commit(std::string* error) {
    if (!pending_) return true;
    if (outer_) {
        // The outer scope decides when the data goes to disk.
        for (const Volume& v : volumes_)
            outer_->Note(v.fd);
        pending_ = false;
        return true;
    }
    bool ok = true;
    for (const Volume& v : volumes_) {
        if (::syncfs(v.fd) != 0 && ok) {
            ok = false;
            if (error) *error = std::string("Cannot flush to disk: ") + std::strerror(errno);
        }
    }
    if (ok) pending_ = false;
    return ok;
}

bool SyncOrDefer(int fd) {
    if (TDeferredSync* d = TDeferredSync::Active()) {
        d->Note(fd);
        return true;
    }
    return ::fsync(fd) == 0;
}

std::optional<fs::path> FindFileNoCase(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    fs::path exact = folder / std::string(name);
    if (fs::exists(exact, ec)) return exact;
    // A plain readdir loop: a games folder may hold thousands of files and
    // every save looks up its name, so no path object is built per entry.
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view entry(e->d_name);
        if (!EqualNoCase(entry, name)) continue;
        // Several case variants: the first by name order, so the choice is stable.
        if (!found || entry < *found) found = std::string(entry);
    }
    ::closedir(dir);
    if (!found) return std::nullopt;
    return folder / *found;
}

bool WildcardMatchNoCase(std::string_view pat, std::string_view name) {
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    while (n < name.size()) {
        if (p < pat.size() && (pat[p] == '?' || lower(pat[p]) == lower(name[n]))) {
            ++p;
            ++n;
        } else if (p < pat.size() && pat[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == '*')
        ++p;
    return p == pat.size();
}

std::vector<fs::path> ListFilesMatching(const fs::path& folder, std::string_view pattern) {
    // Sorted by name as plain strings: comparing whole paths part by part
    // took most of the time in a mailbox of ten thousand files.
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (!it->is_regular_file(ec2)) continue;
        std::string name = it->path().filename().string();
        if (WildcardMatchNoCase(pattern, name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    std::vector<fs::path> out;
    out.reserve(names.size());
    for (const auto& name : names)
        out.push_back(folder / name);
    return out;
}

bool ReadWholeFile(const fs::path& path, std::string& out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string data;
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) data.reserve(size_t(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (r == 0) break;
        data.append(buf, size_t(r));
    }
    ::close(fd);
    out.swap(data);
    return true;
}

bool AtomicWriteFile(const fs::path& path, std::string_view data, std::string* error,
                     unsigned mode) {
    fs::path folder = path.parent_path();
    // Seeded once per thread: opening the entropy source for every file cost
    // more than writing a small file (O_EXCL below keeps the names apart).
    static thread_local std::mt19937 rd{std::random_device{}()};
    fs::path tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", unsigned(rd()));
        tmp = folder / ("." + path.filename().string() + suffix);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        if (error) *error = SysError(path.string(), errno);
        return false;
    }
    // An existing file keeps its permissions (a secret stays 0600).
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
    else
        ::fchmod(fd, mode);
    bool ok = WriteAll(fd, data.data(), data.size()) && SyncOrDefer(fd);
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        if (error) *error = SysError(path.string(), err);
        return false;
    }
    SyncFolder(folder);
    return true;
}

bool AppendToFile(const fs::path& path, std::string_view data, std::string* error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = SysError(path.string(), errno);
        return false;
    }
    bool ok = WriteAll(fd, data.data(), data.size()) && SyncOrDefer(fd);
    int err = errno;
    ::close(fd);
    if (!ok && error) *error = SysError(path.string(), err);
    return ok;
}

bool FsyncFile(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

std::string ToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace quorel
