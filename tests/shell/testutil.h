#pragma once
// Helpers shared by the shell tests: a fresh temporary folder per test and
// whole-file byte access.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace shelltest {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "quorel-shell-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

inline std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}
inline unsigned Mode(const fs::path& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 ? unsigned(st.st_mode & 0777) : 0u;
}
// A string[n] field: length byte, text, zero fill up to n.
inline std::string ShortString(const std::string& text, size_t n) {
    std::string s(1, char(text.size()));
    s += text;
    s.resize(n + 1, '\0');
    return s;
}

// Keeps the current directory of the test process as it was.
class KeepCurrentDir {
  public:
    KeepCurrentDir() : saved_(fs::current_path()) {}
    ~KeepCurrentDir() {
        std::error_code ec;
        fs::current_path(saved_, ec);
    }

  private:
    fs::path saved_;
};

} // namespace shelltest
