#include "mail/coding.h"

#include "mail/charset.h"
#include "mail/message.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace quorel::mail {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHex[] = "0123456789ABCDEF";

// Two output characters for every 12-bit value: the encoder's inner loop
// does two lookups per three source bytes.
struct PairTable {
    std::array<uint16_t, 4096> pair{};
    PairTable() {
        for (int i = 0; i < 4096; ++i) {
            unsigned char a = static_cast<unsigned char>(kAlphabet[i >> 6]);
            unsigned char b = static_cast<unsigned char>(kAlphabet[i & 63]);
            pair[size_t(i)] = uint16_t(a | (b << 8)); // little-endian byte order
        }
    }
};
const PairTable& Pairs() {
    static const PairTable t;
    return t;
}

// Decoding tables: each character's 6 bits already shifted into place for
// its position in a group of four; invalid characters carry a high bit.
constexpr uint32_t kBad = 0x80000000u;
struct DecodeTables {
    std::array<int8_t, 256> value{};
    std::array<std::array<uint32_t, 256>, 4> d{};
    DecodeTables() {
        value.fill(-1);
        for (auto& t : d)
            t.fill(kBad);
        for (int i = 0; i < 64; ++i) {
            unsigned char c = static_cast<unsigned char>(kAlphabet[i]);
            value[c] = int8_t(i);
            d[0][c] = uint32_t(i) << 18;
            d[1][c] = uint32_t(i) << 12;
            d[2][c] = uint32_t(i) << 6;
            d[3][c] = uint32_t(i);
        }
    }
};
const DecodeTables& Dec() {
    static const DecodeTables t;
    return t;
}

inline char* EncodeGroups(const unsigned char* s, size_t groups, char* o) {
    const uint16_t* p = Pairs().pair.data();
    // Two groups (6 source bytes → 8 characters) per step where possible.
    size_t g = 0;
    for (; g + 3 <= groups; g += 2, s += 6, o += 8) {
        // One 8-byte load covers both groups (the next group's bytes exist).
        uint64_t x;
        std::memcpy(&x, s, 8);
        x = __builtin_bswap64(x);
        const uint32_t v1 = uint32_t(x >> 40) & 0xFFFFFF;
        const uint32_t v2 = uint32_t(x >> 16) & 0xFFFFFF;
        const uint64_t w = uint64_t(p[v1 >> 12]) | (uint64_t(p[v1 & 0xFFF]) << 16) |
                           (uint64_t(p[v2 >> 12]) << 32) | (uint64_t(p[v2 & 0xFFF]) << 48);
        std::memcpy(o, &w, 8); // little-endian host: characters in order
    }
    for (; g < groups; ++g, s += 3, o += 4) {
        const uint32_t v = (uint32_t(s[0]) << 16) | (uint32_t(s[1]) << 8) | s[2];
        const uint32_t w = uint32_t(p[v >> 12]) | (uint32_t(p[v & 0xFFF]) << 16);
        std::memcpy(o, &w, 4);
    }
    return o;
}

inline char* EncodeTail(const unsigned char* s, size_t rest, char* o) {
    if (rest == 0) return o;
    uint32_t v = uint32_t(s[0]) << 16;
    if (rest == 2) v |= uint32_t(s[1]) << 8;
    *o++ = kAlphabet[(v >> 18) & 63];
    *o++ = kAlphabet[(v >> 12) & 63];
    *o++ = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    *o++ = '=';
    return o;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Length of the UTF-8 sequence starting with lead byte c (1 for anything
// that is not a valid lead, so malformed text still advances).
size_t Utf8Len(unsigned char c) {
    if (c < 0xC0) return 1;
    if (c < 0xE0) return 2;
    if (c < 0xF0) return 3;
    if (c < 0xF8) return 4;
    return 1;
}

} // namespace

std::string Base64Encode(std::string_view data) {
    const size_t n = data.size();
    const size_t fullLines = n / 57, rest = n % 57;
    size_t size = fullLines * 78;
    if (rest) size += (rest + 2) / 3 * 4 + 2;
    // Lines are coded into a small buffer that stays in the cache and
    // appended to reserved space: the output is written to memory once.
    std::string out;
    out.reserve(size);
    constexpr size_t kBatch = 16;
    char buf[kBatch * 78];
    auto s = reinterpret_cast<const unsigned char*>(data.data());
    for (size_t l = 0; l < fullLines;) {
        const size_t batch = std::min(kBatch, fullLines - l);
        char* o = buf;
        for (size_t k = 0; k < batch; ++k, s += 57) {
            o = EncodeGroups(s, 19, o);
            *o++ = '\r';
            *o++ = '\n';
        }
        out.append(buf, size_t(o - buf));
        l += batch;
    }
    if (rest) {
        char* o = EncodeGroups(s, rest / 3, buf);
        o = EncodeTail(s + rest / 3 * 3, rest % 3, o);
        *o++ = '\r';
        *o++ = '\n';
        out.append(buf, size_t(o - buf));
    }
    return out;
}

std::string Base64EncodeFlat(std::string_view data) {
    std::string out((data.size() + 2) / 3 * 4, '\0');
    auto s = reinterpret_cast<const unsigned char*>(data.data());
    char* o = EncodeGroups(s, data.size() / 3, out.data());
    EncodeTail(s + data.size() / 3 * 3, data.size() % 3, o);
    return out;
}

std::string Base64Decode(std::string_view text) {
    const auto& T = Dec();
    const size_t n = text.size();
    auto s = reinterpret_cast<const unsigned char*>(text.data());
    std::string out(n / 4 * 3 + 3, '\0');
    auto o = reinterpret_cast<unsigned char*>(out.data());
    uint32_t acc = 0;
    int k = 0;
    size_t i = 0;
    while (i < n) {
        if (k == 0) {
            // Fast path: whole groups of four alphabet characters.
            while (i + 4 <= n) {
                uint32_t x = T.d[0][s[i]] | T.d[1][s[i + 1]] | T.d[2][s[i + 2]] | T.d[3][s[i + 3]];
                if (x & kBad) break;
                o[0] = uint8_t(x >> 16);
                o[1] = uint8_t(x >> 8);
                o[2] = uint8_t(x);
                o += 3;
                i += 4;
            }
            if (i >= n) break;
        }
        unsigned char c = s[i++];
        if (c == '=') break;
        int v = T.value[c];
        if (v < 0) continue;
        acc = (acc << 6) | uint32_t(v);
        if (++k == 4) {
            o[0] = uint8_t(acc >> 16);
            o[1] = uint8_t(acc >> 8);
            o[2] = uint8_t(acc);
            o += 3;
            k = 0;
            acc = 0;
        }
    }
    if (k == 2) {
        *o++ = uint8_t(acc >> 4);
    } else if (k == 3) {
        *o++ = uint8_t(acc >> 10);
        *o++ = uint8_t(acc >> 2);
    }
    out.resize(size_t(o - reinterpret_cast<unsigned char*>(out.data())));
    return out;
}

void QuotedPrintableEncodeParagraph(std::string_view p, std::vector<std::string>& out) {
    if (p.size() >= 24576) throw EMessageError("Paragraph is too large");
    auto encodePiece = [](std::string_view piece) {
        std::string line;
        line.reserve(piece.size() + 8);
        for (unsigned char c : piece) {
            if (c < 32 || c == '=' || c >= 128) {
                line += '=';
                line += kHex[c >> 4];
                line += kHex[c & 15];
            } else {
                line += char(c);
            }
        }
        return line;
    };
    if (p.empty()) {
        out.emplace_back();
        return;
    }
    size_t pos = 0;
    while (pos < p.size()) {
        size_t len = p.size() - pos;
        if (len > 65) {
            len = 65;
            // Cut before the last blank within these 65 bytes; a blank at
            // the piece's first byte would give an empty piece (and no
            // progress), so then the piece is cut after 65 bytes.
            std::string_view window = p.substr(pos, 65);
            size_t blank = window.rfind(' ');
            if (blank != std::string_view::npos && blank > 0) len = blank;
        }
        std::string line = encodePiece(p.substr(pos, len));
        pos += len;
        if (pos < p.size()) line += '=';
        out.push_back(std::move(line));
    }
}

std::string QuotedPrintableEncode(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t lf = text.find('\n', start);
        std::string_view para =
            text.substr(start, lf == std::string_view::npos ? text.npos : lf - start);
        if (lf != std::string_view::npos && !para.empty() && para.back() == '\r')
            para.remove_suffix(1);
        if (lf == std::string_view::npos && para.empty()) break; // text ended with LF
        QuotedPrintableEncodeParagraph(para, lines);
        if (lf == std::string_view::npos) break;
        start = lf + 1;
    }
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

std::string QuotedPrintableDecode(const std::vector<std::string_view>& lines,
                                  std::string_view lineEnd) {
    std::string out;
    size_t total = 0;
    for (auto l : lines)
        total += l.size() + lineEnd.size();
    out.reserve(total);
    for (size_t li = 0; li < lines.size(); ++li) {
        std::string_view l = lines[li];
        bool soft = false;
        // A soft break may be followed by blanks that a transport added.
        size_t end = l.size();
        while (end > 0 && (l[end - 1] == ' ' || l[end - 1] == '\t'))
            --end;
        if (end > 0 && l[end - 1] == '=') {
            soft = true;
            l = l.substr(0, end - 1);
        }
        for (size_t i = 0; i < l.size(); ++i) {
            char c = l[i];
            if (c == '=' && i + 2 < l.size()) {
                int h = HexValue(l[i + 1]), lo = HexValue(l[i + 2]);
                if (h >= 0 && lo >= 0) {
                    out += char(h * 16 + lo);
                    i += 2;
                    continue;
                }
            }
            out += c;
        }
        if (!soft && li + 1 < lines.size()) out += lineEnd;
    }
    return out;
}

std::vector<std::string> UuencodeLines(std::string_view data) {
    auto enc = [](unsigned v) { return v & 63 ? char((v & 63) + 32) : '`'; };
    std::vector<std::string> out;
    auto s = reinterpret_cast<const unsigned char*>(data.data());
    for (size_t pos = 0; pos < data.size(); pos += 45) {
        size_t len = std::min<size_t>(45, data.size() - pos);
        std::string line;
        line.reserve(62);
        line += enc(unsigned(len));
        for (size_t i = 0; i < len; i += 3) {
            unsigned a = s[pos + i], b = i + 1 < len ? s[pos + i + 1] : 0,
                     c = i + 2 < len ? s[pos + i + 2] : 0;
            line += enc(a >> 2);
            line += enc(((a << 4) | (b >> 4)) & 63);
            line += enc(((b << 2) | (c >> 6)) & 63);
            line += enc(c & 63);
        }
        out.push_back(std::move(line));
    }
    return out;
}

bool UudecodeLine(std::string_view line, std::string& out) {
    if (line.empty()) return true;
    auto dec = [](char c) { return unsigned((static_cast<unsigned char>(c) - 32) & 63); };
    unsigned len = dec(line[0]);
    if (len == 0) return true;
    size_t need = (len + 2) / 3 * 4;
    if (line.size() < 1 + need) {
        // Some writers drop trailing blanks; accept a line that still holds
        // enough characters for the bytes it announces.
        if (line.size() < 1 + (len * 4 + 2) / 3) return false;
    }
    auto at = [&](size_t i) { return i < line.size() ? dec(line[i]) : 0u; };
    size_t pos = 1;
    for (unsigned n = 0; n < len; pos += 4) {
        unsigned a = at(pos), b = at(pos + 1), c = at(pos + 2), d = at(pos + 3);
        out += char((a << 2) | (b >> 4));
        if (++n < len)
            out += char(((b << 4) | (c >> 2)) & 0xFF);
        else
            break;
        if (++n < len)
            out += char(((c << 6) | d) & 0xFF);
        else
            break;
        ++n;
    }
    return true;
}

std::string EncodeHeaderText(std::string_view utf8) {
    bool ascii = true;
    for (unsigned char c : utf8)
        if (c >= 128) ascii = false;
    if (ascii) return std::string(utf8);
    const bool latin1 = FitsLatin1(utf8);
    const std::string prefix = latin1 ? "=?iso-8859-1?Q?" : "=?utf-8?Q?";
    const size_t room = 75 - prefix.size() - 2;
    std::string out, word;
    auto flush = [&] {
        if (word.empty()) return;
        if (!out.empty()) out += ' ';
        out += prefix + word + "?=";
        word.clear();
    };
    size_t i = 0;
    while (i < utf8.size()) {
        size_t len = std::min(Utf8Len(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        std::string_view ch = utf8.substr(i, len);
        i += len;
        std::string bytes = latin1 ? Utf8ToLatin1(ch) : std::string(ch);
        std::string enc;
        for (unsigned char c : bytes) {
            if (c == ' ') {
                enc += '_';
            } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '!' || c == '*' || c == '+' || c == '-' || c == '/') {
                enc += char(c);
            } else {
                enc += '=';
                enc += kHex[c >> 4];
                enc += kHex[c & 15];
            }
        }
        if (word.size() + enc.size() > room) flush();
        word += enc;
    }
    flush();
    return out;
}

namespace {

// One encoded word at text[pos] ("=?charset?X?data?="): on success sets the
// decoded UTF-8 text and the position after the word.
bool DecodeWord(std::string_view text, size_t pos, std::string& decoded, size_t& after) {
    if (text.compare(pos, 2, "=?") != 0) return false;
    size_t q1 = text.find('?', pos + 2);
    if (q1 == text.npos || q1 == pos + 2) return false;
    if (q1 + 2 >= text.size() || text[q1 + 2] != '?') return false;
    char enc = char(text[q1 + 1] | 0x20);
    if (enc != 'q' && enc != 'b') return false;
    size_t end = text.find("?=", q1 + 3);
    if (end == text.npos) return false;
    std::string_view charset = text.substr(pos + 2, q1 - pos - 2);
    if (size_t star = charset.find('*'); star != charset.npos) charset = charset.substr(0, star);
    std::string_view data = text.substr(q1 + 3, end - q1 - 3);
    if (data.find(' ') != data.npos) return false; // encoded words hold no blanks
    std::string bytes;
    if (enc == 'b') {
        bytes = Base64Decode(data);
    } else {
        for (size_t i = 0; i < data.size(); ++i) {
            char c = data[i];
            if (c == '_') {
                bytes += ' ';
            } else if (c == '=' && i + 2 < data.size() && HexValue(data[i + 1]) >= 0 &&
                       HexValue(data[i + 2]) >= 0) {
                bytes += char(HexValue(data[i + 1]) * 16 + HexValue(data[i + 2]));
                i += 2;
            } else {
                bytes += c;
            }
        }
    }
    decoded = ToUtf8(bytes, charset);
    after = end + 2;
    return true;
}

} // namespace

std::string DecodeHeaderText(std::string_view text) {
    std::string out;
    size_t pos = 0, plainStart = 0;
    bool lastWasWord = false;
    while (pos < text.size()) {
        size_t next = text.find("=?", pos);
        if (next == text.npos) break;
        std::string decoded;
        size_t after = 0;
        if (!DecodeWord(text, next, decoded, after)) {
            pos = next + 2;
            continue;
        }
        std::string_view gap = text.substr(plainStart, next - plainStart);
        bool blankGap = gap.find_first_not_of(" \t") == gap.npos;
        if (!(lastWasWord && blankGap)) out += ToUtf8(gap, "");
        out += decoded;
        lastWasWord = true;
        pos = plainStart = after;
    }
    out += ToUtf8(text.substr(plainStart), "");
    return out;
}

std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

} // namespace quorel::mail
