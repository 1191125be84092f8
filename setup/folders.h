#pragma once
// Folder rules of the installer on this platform: folders are compared
// without regard to letter case (the way the lists were written) but used
// as typed, since another spelling names another folder here.
#include <string>
#include <string_view>

namespace quorel::setup {

// The user's home folder ($HOME, else the password database).
std::string HomeFolder();

// The folder of the running executable, without trailing "/".
std::string ExecutableFolder();

// Turns the folder field's text into an absolute folder without trailing
// "/" (except "/" itself): blanks around it are cut, a leading "~" becomes the
// home folder, a relative folder is taken from the current folder and "." and
// ".." parts are resolved by text. "" stays "".
std::string NormalizeFolder(std::string_view text);

// True when both folders name the same place: equal without regard to case
// after NormalizeFolder, or the same folder on disk.
bool SameFolder(std::string_view a, std::string_view b);

// Joins base (with or without trailing "/") and rel. Each part of rel that
// already exists under a different letter case is used in the spelling found
// on disk; parts that do not exist are used as typed. "\" in rel counts as a
// separator (lists written for the old system). Returns "" when rel is
// absolute or climbs out of base with "..".
std::string ResolveInFolder(std::string_view base, std::string_view rel);

// Folder text with exactly one trailing "/".
std::string WithSlash(std::string_view folder);
// Folder text without trailing "/" (except "/" itself).
std::string WithoutSlash(std::string_view folder);

} // namespace quorel::setup
