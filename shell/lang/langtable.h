#pragma once
// Language tables as data files: one file per window class in the Words
// layout (a key line, then one text per language), compiled into the
// program and looked up by the window's class name.
//
// File format (tables/README.md has the full description):
//   - an entry is a key line followed by exactly seven text lines, in the
//     order English, Spanish, German, Italian, French, Catalan, Portuguese;
//   - entries are separated by blank lines; lines beginning with '#' between
//     entries are comments;
//   - a text is never blank: "~" stands for a deliberately empty text (it
//     falls back to English in the program's windows); "\n" in a text is a
//     line break;
//   - UTF-8, LF or CR LF line ends.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorel {

// Number of languages every table holds, and their names in index order.
inline constexpr int kLanguageCount = 7;
extern const char* const kLanguageNames[kLanguageCount];

// A malformed table. what() is "<file>:<line>: <reason>".
class ELangTableError : public std::runtime_error {
  public:
    ELangTableError(const std::string& file, int line, const std::string& reason);
    const std::string& File() const { return file_; }
    int Line() const { return line_; }

  private:
    std::string file_;
    int line_;
};

struct TLangTable {
    std::string windowClass; // "TMainForm"
    std::string fileName;    // "TMainForm.lng"
    // The Words list: key, seven texts, key, seven texts, ... ("~" already
    // turned into the empty text, "\n" into a line break).
    std::vector<std::string> words;
    // Source line of each entry's key, entry by entry (for reports).
    std::vector<int> keyLines;

    size_t EntryCount() const { return words.size() / (kLanguageCount + 1); }
    const std::string& Key(size_t entry) const { return words[entry * (kLanguageCount + 1)]; }
    const std::string& Text(size_t entry, int language) const {
        return words[entry * (kLanguageCount + 1) + 1 + size_t(language)];
    }
};

// True for the continuation keys ("\"" and "\".Hint" in any letter case),
// which may repeat within a table.
bool IsContinuationKey(std::string_view key);

// Parses text in the file format above. Throws ELangTableError naming
// fileName and the offending line when the text is malformed: a missing or
// extra text line, a blank text, a key with surrounding blanks, a repeated
// key, invalid UTF-8, or an English "~" in an entry whose other texts are
// not all "~".
TLangTable ParseLangTable(std::string_view windowClass, std::string_view fileName,
                          std::string_view text);

// The compiled-in table of windowClass (exact name, e.g. "TMainForm");
// nullptr when there is none. Parsed on first use and kept for the run;
// throws ELangTableError when that table is malformed.
const TLangTable* FindLangTable(std::string_view windowClass);

// The window class names of every compiled-in table, sorted.
std::vector<std::string> LangTableNames();

} // namespace quorel
