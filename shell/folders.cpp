// Program folder resolution and the files kept below it.
#include "shell/folders.h"

#include "platform/codepage.h"
#include "platform/files.h"

#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace quorel {

namespace fs = std::filesystem;

namespace {
std::optional<std::string> Env(const char* name) {
    const char* v = std::getenv(name);
    if (!v) return std::nullopt;
    return std::string(v);
}
} // namespace

fs::path ExecutableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

TProgramFolderEnv CurrentProgramFolderEnv() {
    TProgramFolderEnv env;
    env.QuorelHome = Env("QUOREL_HOME");
    env.XdgDataHome = Env("XDG_DATA_HOME");
    env.Home = Env("HOME");
    env.ExecutableFolder = ExecutableFolder();
    return env;
}

fs::path ResolveProgramFolder(const TProgramFolderEnv& env) {
    std::error_code ec;
    if (env.QuorelHome && !env.QuorelHome->empty()) return fs::absolute(*env.QuorelHome, ec);
    const fs::path& exe = env.ExecutableFolder;
    if (!exe.empty() && ::access(exe.c_str(), W_OK) == 0 &&
        (FindFileNoCase(exe, "quorel.ini") || fs::is_directory(exe / "games", ec)))
        return fs::absolute(exe, ec);
    fs::path data;
    if (env.XdgDataHome && !env.XdgDataHome->empty() && fs::path(*env.XdgDataHome).is_absolute())
        data = *env.XdgDataHome;
    else
        data = fs::path(env.Home ? *env.Home : std::string("/tmp")) / ".local" / "share";
    return data / "quorel";
}

TFolders FoldersOf(const fs::path& programFolder) {
    TFolders f;
    f.Program = programFolder;
    f.Mailbox = programFolder / "mailbox";
    f.Games = programFolder / "games";
    f.Attach = programFolder / "attach";
    f.HelpFile = programFolder / "quorel.hlp";
    f.LastGames = programFolder / "lastgame.lst";
    f.AddressBook = programFolder / "address.lst";
    f.OldAddressList = programFolder / "quorel.lst";
    f.Wallpaper = programFolder / "w_paper.bmp";
    return f;
}

bool EnsureFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec);
}

std::vector<std::string> ReadLastGames(const fs::path& path) {
    std::vector<std::string> out;
    std::string data;
    if (!ReadWholeFile(path, data)) return out;
    std::string line;
    auto flush = [&] {
        size_t a = line.find_first_not_of(" \t");
        if (a != std::string::npos) out.push_back(Cp1252ToUtf8(line));
        line.clear();
    };
    for (char c : data) {
        if (c == '\n')
            flush();
        else if (c != '\r')
            line += c;
    }
    flush();
    return out;
}

bool WriteLastGames(const fs::path& path, const std::vector<std::string>& files,
                    std::string* error) {
    std::string text;
    for (const auto& f : files)
        text += Utf8ToCp1252(f) + "\r\n";
    return AtomicWriteFile(path, text, error);
}

int RemoveAnalysisReports(const fs::path& folder) {
    int removed = 0;
    for (const fs::path& p : ListFilesMatching(folder, "*.ANA")) {
        std::error_code ec;
        if (fs::remove(p, ec)) ++removed;
    }
    return removed;
}

} // namespace quorel
