#pragma once
// Small UTF-8 text helpers shared by the program's list columns, mail fields
// and JSON output.
#include <string>
#include <string_view>

namespace quorel {

// s as a JSON string literal: quotes, backslashes and control characters
// (and DEL) escaped, everything else (UTF-8 included) kept.
std::string JsonQuote(std::string_view s);

// Cuts UTF-8 text to at most n bytes without splitting a character.
std::string CutUtf8(std::string s, size_t n);

// Cuts or fills with blanks to exactly width characters (UTF-8 aware).
std::string PadUtf8(std::string_view s, size_t width);

} // namespace quorel
