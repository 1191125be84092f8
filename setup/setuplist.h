#pragma once
// The setup list SETUP.LST: the program name, default group and folder, the
// work list of folders to create, files to copy and menu items to add, and
// the optional extra install program.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::setup {

// Name of the list beside the setup program.
inline constexpr const char* kSetupListName = "SETUP.LST";

// What a setup list holds once read.
struct TSetupList {
    std::string ProgramName;    // P: required; title is ProgramName + " Setup"
    std::string GroupName;      // G: empty = no menu group is made
    std::string DefaultDir;     // DD: default text of the folder field
    std::string MainFile;       // FM target: the file of the overwrite question
    std::string InstallProgram; // I: run after copying, "" = none
    // D, F, FM (entered as F) and GA lines in file order, each as type word,
    // one blank and argument.
    std::vector<std::string> WorkList;
};

// Receives the text of each information box "-DEBUG" shows while reading.
using TDebugBox = std::function<void(const std::string& text)>;

// Reads the list's text. sourceFolder is where the I program must exist.
// Comment lines begin with "#" or ";"; blank lines are skipped; a trailing CR
// and trailing blanks are cut from every line. Returns the message that ends
// the program (exact wording of the installer), or nullopt on success.
// debugBox may be empty (no "-DEBUG").
std::optional<std::string> ParseSetupList(std::string_view text, const std::string& sourceFolder,
                                          TSetupList& list, const TDebugBox& debugBox = {});

// Finds SETUP.LST in sourceFolder (letter case ignored) and parses it; a
// list that is not UTF-8 is read as Windows-1252. When it
// cannot be opened the message is "Can't find " + folder + "/" + "SETUP.LST".
std::optional<std::string> ReadSetupList(const std::string& sourceFolder, TSetupList& list,
                                         const TDebugBox& debugBox = {});

// Text of the folder field at start: the DD argument, or home + "/" + the
// first word of the program name.
std::string DefaultTargetFolder(const TSetupList& list, const std::string& home);

// Splits "word rest" at the first blank: {word, rest}; rest is "" without blank.
std::pair<std::string, std::string> SplitFirstBlank(std::string_view s);
// Splits at the last blank: {front, last}; front is "" without blank.
std::pair<std::string, std::string> SplitLastBlank(std::string_view s);

} // namespace quorel::setup
