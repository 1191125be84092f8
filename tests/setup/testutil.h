#pragma once
// Shared helpers of the installer tests: a temporary folder, small file
// helpers and a TSetupUi that records what it was shown and answers from a
// script.
#include "setup/installer.h"

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quorel::setup::test {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "setup-test-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

  private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& text, unsigned mode = 0644) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    ::chmod(path.c_str(), mode);
}

inline std::string AsciiUpperForTest(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

// Records every call as one line of text: "msg: ...", "ask: ...",
// "progress: a | b", "show", "hide", "group: g1,g2 | default", "wait 100".
class RecordingUi : public TSetupUi {
  public:
    std::vector<std::string> log;
    std::deque<bool> answers; // answers of Ask, Yes when none is left
    bool groupOk = true;      // SelectGroup result
    std::string groupChoice;  // name chosen in the group window ("" = keep default)
    bool logWaits = false;

    void Message(const std::string& text) override { log.push_back("msg: " + text); }
    bool Ask(const std::string& text) override {
        log.push_back("ask: " + text);
        if (answers.empty()) return true;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowProgress(bool visible) override { log.push_back(visible ? "show" : "hide"); }
    void Progress(const std::string& a, const std::string& b) override {
        log.push_back("progress: " + a + " | " + b);
    }
    bool SelectGroup(const std::vector<std::string>& groups, std::string& name) override {
        std::string g;
        for (const auto& s : groups)
            g += (g.empty() ? "" : ",") + s;
        log.push_back("group: " + g + " | " + name);
        if (!groupChoice.empty()) name = groupChoice;
        return groupOk;
    }
    // The pace of the work list is logged; the short waits that keep a
    // window alive while the extra program runs are not (their number
    // depends on the clock).
    void Wait(int ms) override {
        if (logWaits && ms >= 100) log.push_back("wait " + std::to_string(ms));
    }
    // Lines of the log that begin with prefix.
    std::vector<std::string> With(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& l : log)
            if (l.rfind(prefix, 0) == 0) out.push_back(l);
        return out;
    }
};

} // namespace quorel::setup::test
