#pragma once
// Windows-1252 at every file boundary; UTF-8 inside the program.
#include <string>
#include <string_view>

namespace quorel {

// UTF-8 → Windows-1252. Characters the code page lacks are written as their
// nearest Windows-1252 letters (iconv's transliteration: "Łukasz" → "Lukasz",
// "Я" → "YA"); those without any, and malformed UTF-8 sequences, become '?'.
// changed (optional) is set true when any character had to be so altered,
// and left alone otherwise.
std::string Utf8ToCp1252(std::string_view utf8, bool* changed = nullptr);

// True when text (UTF-8) would be altered by Utf8ToCp1252.
bool NeedsTransliteration(std::string_view utf8);

// Windows-1252 → UTF-8. The five unassigned bytes (0x81 0x8D 0x8F 0x90 0x9D)
// map to the C1 control of the same number, so a round trip keeps every byte.
std::string Cp1252ToUtf8(std::string_view cp);

// True when every byte is below 0x80.
bool IsAscii(std::string_view s);

// Upper/lower case of ASCII letters only (file names, keys, tags).
std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);
bool EqualNoCase(std::string_view a, std::string_view b);

} // namespace quorel
