#pragma once
// Helpers of the PGN tests: temporary folders and whole-file reads/writes.
#include <filesystem>
#include <string>

namespace quorel::pgn::test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

void WriteFile(const fs::path& p, const std::string& bytes);
std::string ReadFile(const fs::path& p);
// Runs a shell command; returns its standard output, exit status in status.
std::string RunCommand(const std::string& command, int* status = nullptr);

} // namespace quorel::pgn::test
