#pragma once
// The settings file: a Windows-style INI file read and written the way the
// Windows profile functions do. Section and key names are matched without
// regard to ASCII case; values are trimmed, and a value wrapped in one pair
// of double quotes loses them. Writing changes only the line of the key
// written (or adds it): comments, unknown sections, unknown keys and odd
// lines are kept as they were. Files are Windows-1252 with CR LF line ends;
// text inside the program is UTF-8.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorel {

class TIniFile {
  public:
    TIniFile() = default;
    // The file's lines (Windows-1252 → UTF-8; LF, CR LF or CR line ends).
    static TIniFile FromText(std::string_view cp1252Text);
    // Loads path; a missing or unreadable file gives an empty INI (the
    // program then runs with the defaults). existed tells which it was.
    static TIniFile Load(const std::filesystem::path& path, bool* existed = nullptr);

    // The value of key in section; nullopt when the section or the key is
    // absent. The first section of that name (and its first such key) wins.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Get with a default for an absent key.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // Sets key in section: the existing line is rewritten in place (its key
    // spelling kept), a new key goes after the section's last key line, and
    // a new section is added at the end of the file.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Removes the key's line; false when it was absent.
    bool DeleteKey(std::string_view section, std::string_view key);

    // The whole file, Windows-1252 with CR LF line ends.
    std::string ToText() const;
    // Writes the file in one step (temporary file + rename). mode is the
    // permission of the written file (0600 for files that hold secrets,
    // applied to an existing file too). false with error on failure.
    bool Save(const std::filesystem::path& path, unsigned mode, std::string* error = nullptr) const;

    const std::vector<std::string>& Lines() const { return lines_; }

  private:
    // Index of the section's header line, or npos.
    size_t FindSection(std::string_view section) const;
    // Index of the key's line within the section starting at header, or npos.
    size_t FindKey(size_t header, std::string_view key) const;
    size_t SectionEnd(size_t header) const; // first line after the section
    std::vector<std::string> lines_;        // UTF-8, without line ends
};

// Parts of one INI line (exposed for tests).
// "[name]" → name (trimmed); nullopt for other lines.
std::optional<std::string> IniSectionName(std::string_view line);
// "key=value" → key (trimmed); nullopt for comments (';'), blank lines,
// section headers and lines without '='.
std::optional<std::string> IniKeyName(std::string_view line);

} // namespace quorel
