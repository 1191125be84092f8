#include "platform/text.h"

#include <algorithm>
#include <cstdio>

namespace quorel {

std::string JsonQuote(std::string_view s) {
    std::string out = "\"";
    out.reserve(s.size() + 2);
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

std::string CutUtf8(std::string s, size_t n) {
    if (s.size() <= n) return s;
    size_t cut = n;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut;
    s.resize(cut);
    return s;
}

std::string PadUtf8(std::string_view s, size_t width) {
    std::string out;
    size_t chars = 0, i = 0;
    while (i < s.size() && chars < width) {
        size_t len = 1;
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0xF0)
            len = 4;
        else if (c >= 0xE0)
            len = 3;
        else if (c >= 0xC0)
            len = 2;
        len = std::min(len, s.size() - i);
        out.append(s.substr(i, len));
        i += len;
        ++chars;
    }
    out.append(width - chars, ' ');
    return out;
}

} // namespace quorel
