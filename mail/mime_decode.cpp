// The decoder: Internet mail text → TmsMessage; the mirror of
// mime_encode.cpp.
//
// The text is split into lines once (views into the text, LF or CR LF
// ends). The header lines up to the first empty line become Headers; the
// fields come from them; the body is then read as plain text with uuencoded
// blocks (no MIME-Version 1.0), as a multipart message, as a text body, or
// as one attachment. Everything is linear in the size of the text; nested
// multiparts are followed to a fixed depth; nothing grows beyond a small
// multiple of the input. What cannot be decoded raises EMessageParserError,
// which LoadFromString turns into the error note plus "original.eml".
#include "mail/charset.h"
#include "platform/text.h"
#include "mail/coding.h"
#include "mail/message.h"
#include "platform/codepage.h"

#include <algorithm>
#include <map>

namespace quorel::mail {
namespace {

using LineList = std::vector<std::string_view>;

constexpr int kMaxDepth = 4; // nested multiparts followed inside a first part

std::string Trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == s.npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}


// Splits text at LF (a CR before it dropped). A final line end does not
// start another line.
LineList SplitLines(std::string_view text) {
    LineList out;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        size_t end = lf == text.npos ? text.size() : lf;
        std::string_view l = text.substr(start, end - start);
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        out.push_back(l);
        if (lf == text.npos) break;
        start = lf + 1;
    }
    return out;
}

// Splits decoded text into body lines; dropFinal: a final line end closes
// the last line instead of opening an empty one.
std::vector<std::string> TextLines(const std::string& text, bool dropFinal) {
    std::vector<std::string> out;
    if (text.empty()) return out;
    size_t start = 0;
    for (;;) {
        size_t lf = text.find('\n', start);
        size_t end = lf == std::string::npos ? text.size() : lf;
        std::string l = text.substr(start, end - start);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        out.push_back(std::move(l));
        if (lf == std::string::npos) break;
        start = lf + 1;
    }
    if (dropFinal && text.back() == '\n') out.pop_back();
    return out;
}

std::string Join(const LineList& lines, size_t from, size_t to, std::string_view sep) {
    size_t total = 0;
    for (size_t i = from; i < to; ++i)
        total += lines[i].size() + sep.size();
    std::string out;
    out.reserve(total);
    for (size_t i = from; i < to; ++i) {
        if (i > from) out += sep;
        out += lines[i];
    }
    return out;
}

// A structured field: type and parameters ("text/plain; charset=x"), with
// RFC 2231 parameter continuations and charsets. Keys in lower case;
// extended values already converted to UTF-8.
struct Field {
    std::string type;
    std::map<std::string, std::string> params;
    std::string Param(const std::string& key) const {
        auto it = params.find(key);
        return it == params.end() ? std::string() : it->second;
    }
};

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

Field ParseField(std::string_view v) {
    Field f;
    // Split at ";" outside double quotes.
    std::vector<std::string> items;
    std::string cur;
    bool quoted = false;
    for (size_t i = 0; i < v.size(); ++i) {
        char c = v[i];
        if (c == '\\' && quoted && i + 1 < v.size()) {
            cur += c;
            cur += v[++i];
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (c == ';' && !quoted) {
            items.push_back(cur);
            cur.clear();
            continue;
        }
        cur += c;
    }
    items.push_back(cur);
    f.type = AsciiLower(Trim(items[0]));
    struct Segment {
        long index;
        bool extended;
        std::string value;
    };
    std::map<std::string, std::vector<Segment>> parts;
    for (size_t k = 1; k < items.size(); ++k) {
        const std::string& it = items[k];
        size_t eq = it.find('=');
        if (eq == std::string::npos) continue;
        std::string name = AsciiLower(Trim(std::string_view(it).substr(0, eq)));
        std::string value = Trim(std::string_view(it).substr(eq + 1));
        if (name.empty()) continue;
        if (value.size() >= 2 && value.front() == '"') {
            std::string un;
            for (size_t i = 1; i < value.size(); ++i) {
                if (value[i] == '"') break;
                // Windows mailers write paths with bare backslashes: only
                // an escaped quote or backslash loses its backslash.
                if (value[i] == '\\' && i + 1 < value.size() &&
                    (value[i + 1] == '"' || value[i + 1] == '\\'))
                    ++i;
                un += value[i];
            }
            value = un;
        }
        bool extended = false;
        long index = -1;
        if (name.back() == '*') {
            extended = true;
            name.pop_back();
        }
        size_t star = name.rfind('*');
        if (star != std::string::npos) {
            std::string num = name.substr(star + 1);
            if (!num.empty() && num.size() < 6 &&
                std::all_of(num.begin(), num.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                index = std::stol(num);
                name = name.substr(0, star);
            }
        }
        parts[name].push_back({index, extended, value});
    }
    for (auto& [name, segs] : parts) {
        std::stable_sort(segs.begin(), segs.end(),
                         [](const Segment& a, const Segment& b) { return a.index < b.index; });
        // A plain parameter wins over continuations of the same name.
        if (segs.front().index < 0 && !segs.front().extended) {
            f.params[name] = segs.front().value;
            continue;
        }
        std::string charset, bytes;
        bool anyExtended = false;
        for (size_t s = 0; s < segs.size(); ++s) {
            std::string val = segs[s].value;
            if (segs[s].extended) {
                anyExtended = true;
                if (s == 0) {
                    size_t q1 = val.find('\''), q2 = std::string::npos;
                    if (q1 != std::string::npos) q2 = val.find('\'', q1 + 1);
                    if (q2 != std::string::npos) {
                        charset = val.substr(0, q1);
                        val = val.substr(q2 + 1);
                    }
                }
                std::string dec;
                for (size_t i = 0; i < val.size(); ++i) {
                    if (val[i] == '%' && i + 2 < val.size() && Hex(val[i + 1]) >= 0 &&
                        Hex(val[i + 2]) >= 0) {
                        dec += char(Hex(val[i + 1]) * 16 + Hex(val[i + 2]));
                        i += 2;
                    } else {
                        dec += val[i];
                    }
                }
                bytes += dec;
            } else {
                bytes += val;
            }
        }
        f.params[name] = anyExtended ? ToUtf8(bytes, charset) : bytes;
    }
    return f;
}

bool IsDelimiter(std::string_view line, std::string_view delim) {
    if (line.size() < delim.size() || line.compare(0, delim.size(), delim) != 0) return false;
    return line.substr(delim.size()).find_first_not_of(" \t") == std::string_view::npos;
}

// "begin" + blank + octal mode + blank + name.
bool IsBeginLine(std::string_view line, std::string* name) {
    if (line.size() < 9 || line.compare(0, 6, "begin ") != 0) return false;
    size_t i = 6;
    size_t digits = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '7')
        ++i, ++digits;
    if (digits == 0 || digits > 4 || i >= line.size() || line[i] != ' ') return false;
    std::string n = Trim(line.substr(i + 1));
    if (n.empty()) return false;
    if (name) *name = n;
    return true;
}

bool IsEndLine(std::string_view line) {
    return Trim(line) == "end";
}

class Decoder {
  public:
    Decoder(TmsMessage& m, std::string_view text) : m_(m), text_(text) {}

    void Run() {
        lines_ = SplitLines(text_);
        size_t h = 0;
        while (h < lines_.size() && !lines_[h].empty())
            ++h;
        for (size_t i = 0; i < h; ++i)
            m_.Headers.Add(std::string(lines_[i]));
        bodyStart_ = h < lines_.size() ? h + 1 : h;

        ReadFields();

        std::string mime = Trim(m_.Headers.GetFieldValue("MIME-VERSION"));
        mime = mime.substr(0, mime.find_first_of(" \t("));
        if (mime != "1.0") {
            DecodeUu();
            return;
        }
        const std::string ctRaw = m_.Headers.GetFieldValue("Content-Type");
        const std::string lct = AsciiLower(ctRaw);
        const Field ct = ParseField(ctRaw);
        const size_t end = lines_.size();
        if (lct.find("multipart/alternative") != std::string::npos) {
            DecodeMultipart(ct, bodyStart_, end, true, 0);
        } else if (lct.find("multipart") != std::string::npos) {
            DecodeMultipart(ct, bodyStart_, end, false, 0);
        } else if (Trim(ctRaw).empty() || lct.find("text/") != std::string::npos) {
            if (!ct.Param("name").empty()) {
                AddAttachment(m_.Headers, ct, bodyStart_, end, false, true);
                return;
            }
            std::string cte =
                AsciiLower(Trim(m_.Headers.GetFieldValue("Content-Transfer-Encoding")));
            if (cte != "quoted-printable" && cte != "base64") {
                for (size_t i = bodyStart_; i < end; ++i) {
                    if (IsBeginLine(lines_[i], nullptr) && EndFollows(i)) {
                        // A uuencoded block in a MIME text: read the whole
                        // text again as plain text.
                        m_.Headers.RemoveField("MIME-VERSION");
                        m_.Headers.RemoveField("CONTENT-TYPE");
                        m_.Headers.RemoveField("CONTENT-TRANSFER-ENCODING");
                        DecodeUu();
                        return;
                    }
                }
            }
            m_.Body = DecodeText(m_.Headers, ct, bodyStart_, end, false);
            if (ct.type == "text/html" || ct.type == "text/rtf") m_.SetContentType(ct.type);
        } else {
            AddAttachment(m_.Headers, ct, bodyStart_, end, false, true);
        }
    }

  private:
    void ReadFields() {
        try {
            const TmsHeaders& h = m_.Headers;
            std::string from = h.GetFieldValue("FROM");
            if (!Trim(from).empty()) m_.Sender = TmsMailAddress::FromText(from);
            ReadList(h.GetFieldValue("TO"), m_.Recipients);
            ReadList(h.GetFieldValue("CC"), m_.CC);
            m_.Subject = CutUtf8(h.GetFieldValue("Subject"), 255);
            std::string prio = Trim(h.GetFieldValue("X-Priority"));
            prio = prio.substr(0, prio.find_first_of(" \t("));
            m_.Priority = prio == "1"   ? TPriority::ptHigh
                          : prio == "5" ? TPriority::ptLow
                                        : TPriority::ptNormal;
            m_.ReturnReceipt = h.HasField("Return-receipt-to");
        } catch (const EMessageError& e) {
            throw EMessageParserError(e.what());
        }
    }

    // Addresses separated by commas; a comma inside double quotes or angle
    // brackets ("Smith, John" <js@x>) does not separate.
    static void ReadList(const std::string& value, TmsAddressList& list) {
        std::string cur;
        bool quoted = false;
        int angle = 0;
        auto flush = [&] {
            if (!Trim(cur).empty()) list.Add(TmsMailAddress::FromText(cur));
            cur.clear();
        };
        for (char c : value) {
            if (c == '"') quoted = !quoted;
            if (!quoted && c == '<') ++angle;
            if (!quoted && c == '>' && angle > 0) --angle;
            if (c == ',' && !quoted && angle == 0) {
                flush();
                continue;
            }
            cur += c;
        }
        flush();
    }

    // Whether an "end" line follows line i (computed once from the back, so
    // many "begin" lines cost no more than one pass).
    bool EndFollows(size_t i) {
        if (!lastEndKnown_) {
            lastEnd_ = 0;
            hasEnd_ = false;
            for (size_t k = lines_.size(); k-- > 0;)
                if (IsEndLine(lines_[k])) {
                    lastEnd_ = k;
                    hasEnd_ = true;
                    break;
                }
            lastEndKnown_ = true;
        }
        return hasEnd_ && lastEnd_ > i;
    }

    // Plain text: body lines plus one attachment per uuencoded block.
    void DecodeUu() {
        m_.Encoding = TMsgEncoding::meUU;
        m_.Body.clear();
        m_.Attachments.Clear();
        size_t i = bodyStart_;
        const size_t n = lines_.size();
        while (i < n) {
            std::string name;
            if (IsBeginLine(lines_[i], &name) && EndFollows(i)) {
                // The encoder puts one empty line before each block.
                if (!m_.Body.empty() && m_.Body.back().empty()) m_.Body.pop_back();
                std::string content;
                size_t j = i + 1;
                for (; j < n && !IsEndLine(lines_[j]); ++j)
                    if (!UudecodeLine(lines_[j], content))
                        throw EMessageParserError(kErrDecodingAttachment);
                TmsAttItem& a = m_.Attachments.Add();
                a.SetFileName(SafeName(name, "att.", m_.Attachments.Count() - 1));
                a.Coding = kCodingBase64;
                a.UUEncoded = true;
                a.Content = std::move(content);
                i = j + 1;
                continue;
            }
            m_.Body.push_back(ToUtf8(lines_[i], ""));
            ++i;
        }
    }

    // The file name part of a name from the message, or prefix + number.
    static std::string SafeName(const std::string& raw, const char* prefix, size_t number) {
        std::string n = FileNamePart(DecodeHeaderText(raw));
        if (n.empty()) n = prefix + std::to_string(number);
        return CutUtf8(n, 255);
    }

    // A multipart body between lines from and to (exclusive).
    void DecodeMultipart(const Field& ct, size_t from, size_t to, bool alternative, int depth) {
        const std::string b = ct.Param("boundary");
        if (b.empty()) throw EMessageParserError(kErrNoBoundary);
        const std::string delim = "--" + b, close = delim + "--";
        size_t i = from;
        while (i < to && !IsDelimiter(lines_[i], delim))
            ++i;
        if (i >= to) throw EMessageParserError(kErrNoBoundary);
        ++i;
        bool first = true;
        for (;;) {
            TmsHeaders ph;
            while (i < to && !lines_[i].empty() && !IsDelimiter(lines_[i], delim) &&
                   !IsDelimiter(lines_[i], close))
                ph.Add(std::string(lines_[i++]));
            if (i < to && lines_[i].empty()) ++i;
            const size_t cs = i;
            while (i < to && !IsDelimiter(lines_[i], delim) && !IsDelimiter(lines_[i], close))
                ++i;
            if (i >= to) throw EMessageParserError(kErrNoClosingBoundary);
            DecodePart(ph, cs, i, alternative, first, depth);
            first = false;
            if (IsDelimiter(lines_[i], close)) break;
            ++i;
        }
    }

    void DecodePart(const TmsHeaders& ph, size_t from, size_t to, bool alternative, bool first,
                    int depth) {
        const Field pf = ParseField(ph.GetRawFieldValue("Content-Type"));
        const std::string type = pf.type.empty() ? "text/plain" : pf.type;
        if (first && !bodyTaken_) {
            if (type.rfind("multipart/", 0) == 0 && depth < kMaxDepth) {
                DecodeMultipart(pf, from, to, alternative || type == "multipart/alternative",
                                depth + 1);
                return;
            }
            const Field disp = ParseField(ph.GetRawFieldValue("Content-Disposition"));
            if (type.rfind("text/", 0) == 0 && pf.Param("name").empty() &&
                disp.Param("filename").empty() && disp.type != "attachment") {
                m_.Body = DecodeText(ph, pf, from, to, true);
                bodyTaken_ = true;
                return;
            }
        }
        AddAttachment(ph, pf, from, to, alternative);
    }

    // Text of lines [from, to) decoded by the transfer coding and converted
    // from the declared charset.
    std::vector<std::string> DecodeText(const TmsHeaders& h, const Field& ct, size_t from,
                                        size_t to, bool inPart) {
        const std::string cte = AsciiLower(Trim(h.GetRawFieldValue("Content-Transfer-Encoding")));
        const std::string charset = ct.Param("charset");
        if (cte == "quoted-printable") {
            m_.CharSet = TCharSet::csISO8859;
            LineList part(lines_.begin() + long(from), lines_.begin() + long(to));
            return TextLines(ToUtf8(QuotedPrintableDecode(part, "\n"), charset), inPart);
        }
        if (cte == "base64") return TextLines(ToUtf8(Base64Decode(Span(from, to)), charset), true);
        std::vector<std::string> out;
        out.reserve(to - from);
        for (size_t i = from; i < to; ++i)
            out.push_back(ToUtf8(lines_[i], charset));
        // The line end before a part's delimiter belongs to the delimiter.
        if (inPart && !out.empty() && out.back().empty()) out.pop_back();
        return out;
    }

    // The bytes of the text from the start of line from to the end of line
    // to - 1 (line ends included; base64 skips them).
    std::string_view Span(size_t from, size_t to) const {
        if (from >= to) return {};
        const char* b = lines_[from].data();
        const char* e = lines_[to - 1].data() + lines_[to - 1].size();
        if (b < text_.data() || e > text_.data() + text_.size() || e < b) return {};
        return std::string_view(b, size_t(e - b));
    }

    // toEnd: the part runs to the end of the text (a one-part message), so
    // the text's last line end belongs to the content.
    void AddAttachment(const TmsHeaders& h, const Field& ct, size_t from, size_t to,
                       bool alternative, bool toEnd = false) {
        const bool finalLineEnd = toEnd && to > from && !text_.empty() && text_.back() == '\n';
        TmsAttItem a;
        a.ContentType = CutUtf8(ct.type.empty() ? "text/plain" : ct.type, 255);
        std::string name = ct.Param("name");
        if (name.empty())
            name = ParseField(h.GetRawFieldValue("Content-Disposition")).Param("filename");
        a.SetFileNameOnly(SafeName(name, alternative ? "_alt." : "att.", m_.Attachments.Count()));
        const std::string cte = AsciiLower(Trim(h.GetRawFieldValue("Content-Transfer-Encoding")));
        if (cte == "base64") {
            a.Coding = kCodingBase64;
            a.Content = Base64Decode(Span(from, to));
        } else if (cte.rfind("x-uue", 0) == 0) {
            a.Coding = kCodingBase64;
            a.UUEncoded = true;
            for (size_t i = from; i < to; ++i) {
                std::string_view l = lines_[i];
                if (IsBeginLine(l, nullptr) || IsEndLine(l) || Trim(l) == "`" || l.empty())
                    continue;
                if (!UudecodeLine(l, a.Content)) throw EMessageParserError(kErrDecodingAttachment);
            }
        } else if (cte == "quoted-printable") {
            a.Coding = kCodingQuotedPrintable;
            LineList part(lines_.begin() + long(from), lines_.begin() + long(to));
            a.Content = QuotedPrintableDecode(part, "\r\n");
            if (finalLineEnd) {
                const std::string last = Trim(lines_[to - 1]);
                if (last.empty() || last.back() != '=') a.Content += "\r\n";
            }
        } else {
            a.Coding = kCodingAsIs;
            a.Content = Join(lines_, from, to, "\r\n");
            if (finalLineEnd) a.Content += "\r\n";
        }
        m_.Attachments.Add(std::move(a));
    }

    TmsMessage& m_;
    std::string_view text_;
    LineList lines_;
    size_t bodyStart_ = 0;
    bool bodyTaken_ = false;
    bool lastEndKnown_ = false, hasEnd_ = false;
    size_t lastEnd_ = 0;
};

} // namespace

std::string UnstuffPop3Text(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    size_t start = 0;
    while (start < raw.size()) {
        size_t lf = raw.find('\n', start);
        size_t stop = lf == raw.npos ? raw.size() : lf + 1;
        std::string_view line = raw.substr(start, stop - start);
        std::string_view content = line;
        while (!content.empty() && (content.back() == '\n' || content.back() == '\r'))
            content.remove_suffix(1);
        start = stop;
        if (content == "." && start >= raw.size()) break; // the terminating line
        if (!content.empty() && content.front() == '.') line.remove_prefix(1);
        out.append(line);
    }
    return out;
}

void TmsMessage::LoadFromPop3Text(std::string_view raw) {
    LoadFromString(UnstuffPop3Text(raw));
}

void TmsMessage::LoadFromString(std::string_view text) {
    Clear();
    try {
        Decoder(*this, text).Run();
    } catch (const EMessageParserError& e) {
        Body = {"The following error has been occured while processing the message:", e.what(),
                "The original message will be stored as an attachment"};
        Attachments.Clear();
        storedContentType_.clear();
        Encoding = TMsgEncoding::meMIME;
        TmsAttItem& a = Attachments.Add();
        a.SetFileNameOnly("original.eml");
        a.ContentType = "message/rfc822";
        a.Coding = kCodingAsIs;
        a.Content = std::string(text);
    }
}

} // namespace quorel::mail
