// Reading the compiled-in language tables.
#include "shell/lang/langtable.h"

#include "shell/lang/embedded.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace quorel {

const char* const kLanguageNames[kLanguageCount] = {"English", "Spanish", "German",    "Italian",
                                                    "French",  "Catalan", "Portuguese"};

ELangTableError::ELangTableError(const std::string& file, int line, const std::string& reason)
    : std::runtime_error(file + ":" + std::to_string(line) + ": " + reason), file_(file),
      line_(line) {}

bool IsContinuationKey(std::string_view key) {
    if (key == "\"") return true;
    if (key.size() != 6 || key[0] != '"') return false;
    std::string rest(key.substr(1));
    for (char& c : rest)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return rest == ".hint";
}

namespace {

bool ValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n;
        if (c < 0x80)
            n = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            n = 1;
        else if ((c >> 4) == 0xE)
            n = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3;
        else
            return false;
        if (i + n >= s.size() && n > 0) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

bool IsBlank(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// "~" → empty; "\n" → line break.
std::string DecodeText(std::string_view raw) {
    if (raw == "~") return {};
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += raw[i];
        }
    }
    return out;
}

} // namespace

TLangTable ParseLangTable(std::string_view windowClass, std::string_view fileName,
                          std::string_view text) {
    const std::string file(fileName);
    std::vector<std::string> lines;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            if (start < text.size()) lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);
    for (auto& l : lines)
        if (!l.empty() && l.back() == '\r') l.pop_back();

    TLangTable table;
    table.windowClass = std::string(windowClass);
    table.fileName = file;
    std::set<std::string> seen;
    size_t i = 0;
    while (i < lines.size()) {
        const std::string& key = lines[i];
        const int keyLine = int(i) + 1;
        if (IsBlank(key) || key[0] == '#') {
            ++i;
            continue;
        }
        if (!ValidUtf8(key)) throw ELangTableError(file, keyLine, "the line is not valid UTF-8");
        if (key.front() == ' ' || key.front() == '\t' || key.back() == ' ' || key.back() == '\t')
            throw ELangTableError(file, keyLine, "the key \"" + key + "\" has surrounding blanks");
        if (!IsContinuationKey(key) && !seen.insert(key).second)
            throw ELangTableError(file, keyLine, "the key \"" + key + "\" appears twice");
        table.words.push_back(key);
        table.keyLines.push_back(keyLine);
        int tildes = 0;
        bool englishTilde = false;
        for (int lang = 0; lang < kLanguageCount; ++lang) {
            const size_t at = i + 1 + size_t(lang);
            if (at >= lines.size())
                throw ELangTableError(file, keyLine,
                                      "the entry \"" + key + "\" has " + std::to_string(lang) +
                                          " of " + std::to_string(kLanguageCount) +
                                          " texts (the file ends)");
            const std::string& raw = lines[at];
            if (IsBlank(raw))
                throw ELangTableError(file, int(at) + 1,
                                      "the entry \"" + key + "\" has a blank " +
                                          kLanguageNames[lang] +
                                          " text (a missing line? write ~ for a deliberately "
                                          "empty text)");
            if (!ValidUtf8(raw))
                throw ELangTableError(file, int(at) + 1, "the line is not valid UTF-8");
            if (raw == "~") {
                ++tildes;
                if (lang == 0) englishTilde = true;
            }
            table.words.push_back(DecodeText(raw));
        }
        if (englishTilde && tildes != kLanguageCount)
            throw ELangTableError(file, keyLine + 1,
                                  "the entry \"" + key +
                                      "\" has no English text to fall back on (~ in English is "
                                      "allowed only when every text is ~)");
        i += 1 + kLanguageCount;
        if (i < lines.size() && !IsBlank(lines[i]))
            throw ELangTableError(file, int(i) + 1,
                                  "a blank line is expected after the seventh text of \"" + key +
                                      "\" (line " + std::to_string(keyLine) +
                                      "): an extra text line?");
    }
    return table;
}

namespace {
std::mutex gMutex;
std::map<std::string, std::unique_ptr<TLangTable>, std::less<>> gParsed;
} // namespace

const TLangTable* FindLangTable(std::string_view windowClass) {
    std::lock_guard<std::mutex> lock(gMutex);
    if (auto it = gParsed.find(windowClass); it != gParsed.end()) return it->second.get();
    for (size_t k = 0; k < lang_data::kTableCount; ++k) {
        const auto& e = lang_data::kTables[k];
        if (windowClass != e.windowClass) continue;
        std::string_view text(reinterpret_cast<const char*>(e.data), e.size);
        auto table = std::make_unique<TLangTable>(ParseLangTable(e.windowClass, e.fileName, text));
        const TLangTable* result = table.get();
        gParsed.emplace(std::string(windowClass), std::move(table));
        return result;
    }
    return nullptr;
}

std::vector<std::string> LangTableNames() {
    std::vector<std::string> names;
    for (size_t k = 0; k < lang_data::kTableCount; ++k)
        names.emplace_back(lang_data::kTables[k].windowClass);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace quorel
