#include "setup/folders.h"

#include "platform/codepage.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace quorel::setup {

namespace fs = std::filesystem;

std::string HomeFolder() {
    if (const char* h = std::getenv("HOME"); h && *h) return WithoutSlash(h);
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return WithoutSlash(pw->pw_dir);
    return "/";
}

std::string ExecutableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return WithoutSlash(fs::current_path(ec).string());
    return WithoutSlash(exe.parent_path().string());
}

std::string WithSlash(std::string_view folder) {
    std::string s = WithoutSlash(folder);
    if (s != "/") s += '/';
    return s;
}

std::string WithoutSlash(std::string_view folder) {
    std::string s(folder);
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

std::string NormalizeFolder(std::string_view text) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string_view::npos) return "";
    size_t e = text.find_last_not_of(" \t");
    std::string s(text.substr(b, e - b + 1));
    if (s == "~" || s.rfind("~/", 0) == 0) s = HomeFolder() + s.substr(1);
    fs::path p(s);
    if (p.is_relative()) {
        std::error_code ec;
        p = fs::current_path(ec) / p;
    }
    return WithoutSlash(p.lexically_normal().string());
}

bool SameFolder(std::string_view a, std::string_view b) {
    std::string na = NormalizeFolder(a), nb = NormalizeFolder(b);
    if (na.empty() || nb.empty()) return false;
    if (EqualNoCase(na, nb)) return true;
    std::error_code ec;
    return fs::equivalent(na, nb, ec) && !ec;
}

std::string ResolveInFolder(std::string_view base, std::string_view rel) {
    std::string r(rel);
    for (char& c : r)
        if (c == '\\') c = '/';
    if (r.empty() || r[0] == '/') return "";
    fs::path relPath = fs::path(r).lexically_normal();
    std::vector<std::string> parts;
    for (const auto& part : relPath) {
        std::string s = part.string();
        if (s.empty() || s == ".") continue;
        if (s == "..") return "";
        parts.push_back(s);
    }
    if (parts.empty()) return "";
    std::string out = WithoutSlash(base);
    bool onDisk = true; // every part so far exists, so later ones may be looked up
    for (const std::string& part : parts) {
        std::string next = out + (out == "/" ? "" : "/") + part;
        std::error_code ec;
        if (onDisk && !fs::exists(fs::symlink_status(next, ec))) {
            std::string found;
            for (fs::directory_iterator it(out, ec), end; !ec && it != end; it.increment(ec)) {
                std::string name = it->path().filename().string();
                if (EqualNoCase(name, part)) {
                    found = name;
                    break;
                }
            }
            if (found.empty()) {
                onDisk = false;
            } else {
                next = out + (out == "/" ? "" : "/") + found;
            }
        }
        out = next;
    }
    return out;
}

} // namespace quorel::setup
