#pragma once
// The program folder and the folders and fixed files below it.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorel {

// What the program folder is chosen from.
struct TProgramFolderEnv {
    std::optional<std::string> QuorelHome;  // $QUOREL_HOME
    std::optional<std::string> XdgDataHome; // $XDG_DATA_HOME
    std::optional<std::string> Home;        // $HOME
    std::filesystem::path ExecutableFolder; // folder of the running program
};

// The environment of this process.
TProgramFolderEnv CurrentProgramFolderEnv();
// Folder of the running executable (/proc/self/exe); empty when unknown.
std::filesystem::path ExecutableFolder();

// $QUOREL_HOME when set and not empty; else the executable's folder when it
// is writable and holds "quorel.ini" or a "games" folder (a portable
// installation); else $XDG_DATA_HOME/quorel ($HOME/.local/share/quorel when
// $XDG_DATA_HOME is unset, empty or relative). The result is absolute.
std::filesystem::path ResolveProgramFolder(const TProgramFolderEnv& env);

// The folders and fixed files of a program folder.
struct TFolders {
    std::filesystem::path Program;
    std::filesystem::path Mailbox;        // program/mailbox
    std::filesystem::path Games;          // program/games
    std::filesystem::path Attach;         // program/attach
    std::filesystem::path HelpFile;       // program/quorel.hlp
    std::filesystem::path LastGames;      // program/lastgame.lst
    std::filesystem::path AddressBook;    // program/address.lst
    std::filesystem::path OldAddressList; // program/quorel.lst
    std::filesystem::path Wallpaper;      // program/w_paper.bmp
};
TFolders FoldersOf(const std::filesystem::path& programFolder);

// Creates folder (and its parents) when missing; failure is not reported
// beyond the result.
bool EnsureFolder(const std::filesystem::path& folder);

// lastgame.lst: one game file name per line (Windows-1252, CR LF). Reading
// skips blank lines (a missing file gives none); writing replaces the file.
std::vector<std::string> ReadLastGames(const std::filesystem::path& path);
bool WriteLastGames(const std::filesystem::path& path, const std::vector<std::string>& files,
                    std::string* error = nullptr);

// Deletes every file of folder whose extension is "ANA" in any letter case
// (the temporary analysis reports); returns how many were deleted.
int RemoveAnalysisReports(const std::filesystem::path& folder);

} // namespace quorel
