#include "mail/charset.h"

#include "platform/codepage.h"

#include <cerrno>
#include <iconv.h>
#include <string>

namespace quorel::mail {
namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Next code point of utf8 at i (advances i); U+FFFD for a malformed byte.
uint32_t NextCodePoint(std::string_view s, size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + size_t(len) > s.size()) {
        ++i;
        return 0xFFFD;
    }
    uint32_t cp = c & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        unsigned char d = static_cast<unsigned char>(s[i + size_t(k)]);
        if ((d & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    i += size_t(len);
    return cp;
}

// The fallback for text whose charset is unknown or wrong.
std::string Fallback(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    return Cp1252ToUtf8(text);
}

bool IconvToUtf8(std::string_view text, const std::string& charset, std::string& out) {
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == iconv_t(-1)) return false;
    out.clear();
    std::string buf(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    bool ok = true;
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf.data(), buf.size() - oLeft);
        if (r == size_t(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    if (ok) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        iconv(cd, nullptr, nullptr, &o, &oLeft);
        out.append(buf.data(), buf.size() - oLeft);
    }
    iconv_close(cd);
    return ok;
}

// HZ (RFC 1843) → EUC-CN bytes, which iconv knows although HZ itself is
// missing from some iconv builds: between "~{" and "~}" each pair of
// 7-bit bytes is a GB 2312 character with both high bits cleared; "~~" is a
// tilde and "~" + line feed a line continuation.
std::string HzToEucCn(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool gb = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '~' && i + 1 < text.size()) {
            char n = text[i + 1];
            if (n == '{' || n == '}' || n == '~' || n == '\n') {
                ++i;
                if (n == '{') gb = true;
                if (n == '}') gb = false;
                if (n == '~') out += '~';
                continue;
            }
        }
        if (gb && c != '\r' && c != '\n' && i + 1 < text.size()) {
            out += char(static_cast<unsigned char>(c) | 0x80);
            out += char(static_cast<unsigned char>(text[++i]) | 0x80);
            continue;
        }
        if (c == '\n') gb = false; // a shift never runs past the line end
        out += c;
    }
    return out;
}

} // namespace

bool IsSevenBitCharset(std::string_view normalized) {
    const std::string c = AsciiLower(normalized);
    return c.starts_with("iso-2022") || c.starts_with("iso2022") || c.starts_with("csiso2022") ||
           c == "utf-7" || c == "utf7" || c == "unicode-1-1-utf-7" || c == "csunicode11utf7" ||
           c == "hz" || c == "hz-gb-2312";
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        uint32_t min;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            min = 0x10000;
        } else {
            return false;
        }
        if (i + size_t(len) > n) return false;
        uint32_t cp = c & (0x7F >> len);
        for (int k = 1; k < len; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + size_t(k)]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += size_t(len);
    }
    return true;
}

std::string NormalizeCharset(std::string_view charset) {
    std::string c = AsciiLower(charset);
    while (!c.empty() && (c.back() == ' ' || c.back() == '"' || c.back() == '\''))
        c.pop_back();
    size_t b = c.find_first_not_of(" \"'");
    c = b == std::string::npos ? std::string() : c.substr(b);
    if (c == "utf8") return "utf-8";
    if (c == "ascii" || c == "us_ascii" || c == "ansi_x3.4-1968" || c == "us") return "us-ascii";
    if (c == "latin1" || c == "latin-1" || c == "l1" || c == "iso_8859-1" || c == "iso8859-1" ||
        c == "iso-8859-1" || c == "iso_8859-1:1987")
        return "iso-8859-1";
    if (c == "cp1252") return "windows-1252";
    return c;
}

std::string ToUtf8(std::string_view text, std::string_view charset) {
    bool ascii = true;
    for (unsigned char ch : text)
        if (ch >= 0x80) {
            ascii = false;
            break;
        }
    const std::string cs = NormalizeCharset(charset);
    // ASCII bytes mean ASCII characters only in charsets that extend ASCII;
    // the 7-bit ones (ISO-2022-*, UTF-7, HZ) code other characters with
    // escape sequences in ASCII bytes, so those go through iconv too.
    if (ascii && (cs.empty() || !IsSevenBitCharset(cs))) return std::string(text);
    if (cs.empty() || cs == "us-ascii" || cs == "utf-8") return Fallback(text);
    if (cs == "iso-8859-1") {
        std::string out;
        out.reserve(text.size() * 2);
        for (unsigned char ch : text)
            AppendUtf8(out, ch);
        return out;
    }
    if (cs == "windows-1252") return Cp1252ToUtf8(text);
    std::string out;
    if (cs == "hz" || cs == "hz-gb-2312") {
        if (IconvToUtf8(text, "HZ", out)) return out;
        if (IconvToUtf8(HzToEucCn(text), "EUC-CN", out)) return out;
        return Fallback(text);
    }
    if (IconvToUtf8(text, cs, out)) return out;
    return Fallback(text);
}

bool FitsLatin1(std::string_view utf8) {
    size_t i = 0;
    while (i < utf8.size())
        if (NextCodePoint(utf8, i) > 0xFF) return false;
    return true;
}

std::string Utf8ToLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        uint32_t cp = NextCodePoint(utf8, i);
        out += cp <= 0xFF ? char(cp) : '?';
    }
    return out;
}

} // namespace quorel::mail
