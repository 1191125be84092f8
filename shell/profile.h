#pragma once
// The profile the program runs under (command line), the file names derived
// from it, and the password file.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorel {

inline constexpr std::string_view kDefaultProfile = "quorel";

struct TCommandLine {
    bool DebugMode = false;                             // "-DEBUGMODE"
    std::string Profile = std::string(kDefaultProfile); // "-USER:" name, case as typed
};

// Scans the program's arguments (without the program name). Each argument
// is upper-cased for the comparisons: "-DEBUGMODE" sets the debug flag; an
// argument that contains "-USER:" loses its first six characters, the rest
// is trimmed and, when not empty, becomes the profile name as typed.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// profile + ".ini" and profile + ".pwd".
std::string SettingsFileName(std::string_view profile);
std::string PasswordFileName(std::string_view profile);
// The SMTP password file beside the POP3 one: same record and scrambling,
// owner-only permissions ("<profile>-smtp.pwd").
std::string SmtpPasswordFileName(std::string_view profile);

// Password file: one 256-byte record, a length byte and up to 255
// characters combined by XOR with the built-in 80-character key (character
// i with key character ((i-1) mod 80)+1); bytes after the text are zero.
inline constexpr size_t kPasswordRecordSize = 256;
// Any 80 characters do; these are fixed for good, since changing them would
// make every stored password unreadable.
inline constexpr char kPasswordKey[] =
    "Qz7#kP2mW9vX4tL8bN1rF6cJ3hD0sG5yQ@eR&uT*iO(pA)lK-jH=gF+dS[aZ]xC;vB:nM<,>.?/|~Yw%";
static_assert(sizeof(kPasswordKey) == 81, "the password key has exactly 80 characters");

// Scrambles (or, applied again, unscrambles) Windows-1252 bytes.
std::string ScramblePassword(std::string_view text);
// The 256-byte record of password (UTF-8; converted to Windows-1252 and cut
// to 255 characters).
std::string EncodePasswordRecord(std::string_view password);
// The password of a record; a short record is read as far as it goes.
std::string DecodePasswordRecord(std::string_view record);

// Reads the password file; nullopt when it does not exist or cannot be read.
std::optional<std::string> ReadPasswordFile(const std::filesystem::path& path);
// Writes the password file in one step, readable by the owner only (0600).
bool WritePasswordFile(const std::filesystem::path& path, std::string_view password,
                       std::string* error = nullptr);

} // namespace quorel
