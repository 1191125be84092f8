#include "platform/codepage.h"

#include <array>
#include <cstdint>
#include <iconv.h>
#include <locale.h>

namespace quorel {
namespace {

// Unicode code points of Windows-1252 bytes 0x80..0x9F. The five bytes the
// code page leaves unassigned keep the C1 control of the same number.
constexpr std::array<uint16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t CodePointOf(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) return kHigh[b - 0x80];
    return b;
}

int ByteOf(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
    for (size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == cp) return int(0x80 + i);
    return -1;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// iconv's transliteration of one character to Windows-1252 under the given
// locale ("" when it has none: iconv writes '?' or refuses the character).
std::string IconvTransliterate(const std::string& utf8, const char* localeName) {
    locale_t loc = newlocale(LC_CTYPE_MASK, localeName, locale_t(nullptr));
    if (loc == locale_t(nullptr)) return "";
    // The transliteration tables are those of the thread's LC_CTYPE.
    const locale_t previous = uselocale(loc);
    std::string out;
    iconv_t cd = iconv_open("CP1252//TRANSLIT", "UTF-8");
    if (cd != iconv_t(-1)) {
        char buf[16];
        char* in = const_cast<char*>(utf8.data());
        size_t inLeft = utf8.size();
        char* o = buf;
        size_t outLeft = sizeof buf;
        if (iconv(cd, &in, &inLeft, &o, &outLeft) != size_t(-1) && inLeft == 0)
            out.assign(buf, size_t(o - buf));
        iconv_close(cd);
    }
    uselocale(previous);
    freelocale(loc);
    return out == "?" ? "" : out;
}

// The nearest Windows-1252 text of a code point the code page lacks: the
// C.UTF-8 locale's tables know the Latin letters with marks (Ł, Ż, ő, ș),
// the C locale's built-in table a few more (Cyrillic, ligatures).
std::string Transliterate(uint32_t cp) {
    std::string utf8;
    AppendUtf8(utf8, cp);
    for (const char* name : {"C.UTF-8", "C"}) {
        std::string t = IconvTransliterate(utf8, name);
        if (!t.empty()) return t;
    }
    return "?";
}

} // namespace

std::string Utf8ToCp1252(std::string_view s, bool* changed) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += char(c);
            ++i;
            continue;
        }
        int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        uint32_t cp = 0;
        bool ok = len != 0 && i + size_t(len) <= s.size();
        if (ok) {
            cp = c & (0xFF >> (len + 1));
            for (int k = 1; k < len; ++k) {
                unsigned char cc = static_cast<unsigned char>(s[i + size_t(k)]);
                if ((cc & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = (cp << 6) | (cc & 0x3F);
            }
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed.
        if (ok && ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) ||
                   (len == 4 && cp < 0x10000) || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF))
            ok = false;
        if (!ok) {
            out += '?';
            if (changed) *changed = true;
            ++i; // resynchronise on the next byte
            continue;
        }
        int b = ByteOf(cp);
        if (b < 0) {
            out += Transliterate(cp);
            if (changed) *changed = true;
        } else {
            out += char(b);
        }
        i += size_t(len);
    }
    return out;
}

bool NeedsTransliteration(std::string_view utf8) {
    bool changed = false;
    Utf8ToCp1252(utf8, &changed);
    return changed;
}

std::string Cp1252ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (char ch : s)
        AppendUtf8(out, CodePointOf(static_cast<unsigned char>(ch)));
    return out;
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return out;
}

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

} // namespace quorel
