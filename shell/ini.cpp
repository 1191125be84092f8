// The INI reader/writer behind the settings file.
#include "shell/ini.h"

#include "platform/codepage.h"
#include "platform/files.h"

#include <system_error>

namespace quorel {

namespace {

constexpr size_t npos = std::string::npos;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<std::string> IniSectionName(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return std::string(Trim(line.substr(1, close - 1)));
}

std::optional<std::string> IniKeyName(std::string_view line) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return std::string(Trim(t.substr(0, eq)));
}

TIniFile TIniFile::FromText(std::string_view cp1252Text) {
    TIniFile ini;
    const std::string text = Cp1252ToUtf8(cp1252Text);
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            ini.lines_.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) ini.lines_.push_back(line);
    return ini;
}

TIniFile TIniFile::Load(const std::filesystem::path& path, bool* existed) {
    std::string data;
    const bool ok = ReadWholeFile(path, data);
    if (existed) *existed = ok;
    return ok ? FromText(data) : TIniFile();
}

size_t TIniFile::FindSection(std::string_view section) const {
    const std::string_view wanted = Trim(section);
    for (size_t i = 0; i < lines_.size(); ++i) {
        auto name = IniSectionName(lines_[i]);
        if (name && EqualNoCase(*name, wanted)) return i;
    }
    return npos;
}

size_t TIniFile::SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && !IniSectionName(lines_[i]))
        ++i;
    return i;
}

size_t TIniFile::FindKey(size_t header, std::string_view key) const {
    const std::string_view wanted = Trim(key);
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        auto name = IniKeyName(lines_[i]);
        if (name && EqualNoCase(*name, wanted)) return i;
    }
    return npos;
}

std::optional<std::string> TIniFile::Get(std::string_view section, std::string_view key) const {
    const size_t header = FindSection(section);
    if (header == npos) return std::nullopt;
    const size_t at = FindKey(header, key);
    if (at == npos) return std::nullopt;
    const std::string& line = lines_[at];
    std::string_view value = Trim(std::string_view(line).substr(line.find('=') + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    auto v = Get(section, key);
    return v ? *v : std::string(defaultValue);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    // Line breaks would split the entry into lines of their own.
    std::string clean(value);
    for (char& c : clean)
        if (c == '\r' || c == '\n') c = ' ';
    size_t header = FindSection(section);
    if (header == npos) {
        if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
        lines_.push_back("[" + std::string(Trim(section)) + "]");
        lines_.push_back(std::string(Trim(key)) + "=" + clean);
        return;
    }
    size_t at = FindKey(header, key);
    if (at != npos) {
        lines_[at] = *IniKeyName(lines_[at]) + "=" + clean;
        return;
    }
    // After the section's last non-blank line, so the blank line that
    // separates it from the next section stays below the new key.
    size_t insert = SectionEnd(header);
    while (insert > header + 1 && Trim(lines_[insert - 1]).empty())
        --insert;
    lines_.insert(lines_.begin() + long(insert), std::string(Trim(key)) + "=" + clean);
}

bool TIniFile::DeleteKey(std::string_view section, std::string_view key) {
    const size_t header = FindSection(section);
    if (header == npos) return false;
    const size_t at = FindKey(header, key);
    if (at == npos) return false;
    lines_.erase(lines_.begin() + long(at));
    return true;
}

std::string TIniFile::ToText() const {
    std::string out;
    for (const auto& l : lines_)
        out += l + "\r\n";
    return Utf8ToCp1252(out);
}

bool TIniFile::Save(const std::filesystem::path& path, unsigned mode, std::string* error) const {
    // An existing file takes the wanted mode first: the replacement keeps
    // the old file's permissions.
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        std::filesystem::permissions(path, std::filesystem::perms(mode),
                                     std::filesystem::perm_options::replace, ec);
    return AtomicWriteFile(path, ToText(), error, mode);
}

} // namespace quorel
