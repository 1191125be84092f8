#pragma once
// Character sets of mail text. The program keeps UTF-8 inside; message text
// arrives in any declared charset and leaves as us-ascii, iso-8859-1 or
// utf-8.
#include <string>
#include <string_view>

namespace quorel::mail {

// True when text is well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view text);

// text (bytes in charset) → UTF-8. Charset names are matched without case
// ("us-ascii", "iso-8859-1", "latin1", "windows-1252", "utf-8", and anything
// iconv knows, the 7-bit ones included). An empty, unknown or ASCII
// charset, or bytes that are not valid in the declared charset, fall back
// to: the text itself when it is valid UTF-8, else Windows-1252. Never
// throws.
std::string ToUtf8(std::string_view text, std::string_view charset);

// True for the charsets that code non-ASCII characters in ASCII bytes
// (ISO-2022-JP/KR/CN and the like, UTF-7, HZ): text in them must be
// converted even when it holds no byte above 127. normalized is the
// NormalizeCharset form.
bool IsSevenBitCharset(std::string_view normalized);

// True when every character of utf8 exists in ISO-8859-1.
bool FitsLatin1(std::string_view utf8);
// UTF-8 → ISO-8859-1 bytes; characters it lacks become "?".
std::string Utf8ToLatin1(std::string_view utf8);

// The charset parameter's canonical lower-case form ("iso-8859-1" for
// "ISO_8859-1", "latin1", "l1"; "utf-8" for "utf8"; "us-ascii" for "ascii").
std::string NormalizeCharset(std::string_view charset);

} // namespace quorel::mail
