// The encoder: TmsMessage → Internet mail text (CR LF line ends).
//
// Header block: "From:", "To:", "CC:" with labels padded to 10 characters,
// Return-Receipt-To, X-Priority, the extra header lines, "Subject:" and
// "Mime-Version: 1.0"; then one of the body forms (plain, multipart,
// alternative, single document, single attachment, uuencoded). No header
// value can carry a line break: CR and LF inside names, addresses, the
// subject and extra header lines are written as blanks, and non-ASCII text
// goes out as RFC 2047 encoded words.
#include "mail/charset.h"
#include "mail/coding.h"
#include "mail/message.h"
#include "platform/codepage.h"

namespace quorel::mail {
namespace {

// Collects output lines; every line ends with CR LF. Lines are written as
// they are: the message file is plain Internet mail text, and the dots of
// lines that begin with one are doubled only on the wire (SMTP DATA) and
// undone when a server's text is read (LoadFromPop3Text).
class LineWriter {
  public:
    void Line(std::string_view l) {
        out_ += l;
        out_ += "\r\n";
    }
    // Text already made of CR LF lines (base64, quoted-printable output).
    void Raw(std::string_view text) { out_ += text; }
    // Bytes written as lines: split at LF (a CR before it dropped), no
    // empty last line for text that ends with a line end.
    void TextAsLines(std::string_view text) {
        size_t start = 0;
        while (start < text.size()) {
            size_t lf = text.find('\n', start);
            std::string_view l = text.substr(start, lf == text.npos ? text.npos : lf - start);
            if (lf != text.npos && !l.empty() && l.back() == '\r') l.remove_suffix(1);
            Line(l);
            if (lf == text.npos) break;
            start = lf + 1;
        }
    }
    std::string Take() { return std::move(out_); }

  private:
    std::string out_;
};

std::string PadLabel(std::string label) {
    while (label.size() < 10)
        label += ' ';
    return label;
}

// A display name as written in From/To/CC: encoded words for non-ASCII text,
// double quotes for a name with "." and no double quote.
std::string FormatName(const std::string& name) {
    std::string n = OneLine(name);
    if (!IsAscii(n)) return EncodeHeaderText(n);
    // Also a name with a comma or another separator: unquoted, it would be
    // read back as two addresses or a broken one.
    if (n.find_first_of(".,;:<>@()[]") != n.npos && n.find('"') == n.npos) return "\"" + n + "\"";
    return n;
}

std::string FormatAddress(const TmsMailAddress& a) {
    return FormatName(a.Name) + " <" + OneLine(a.Address) + ">";
}

void WriteAddressList(LineWriter& w, const char* label, const TmsAddressList& list) {
    if (list.Empty()) return;
    for (size_t i = 0; i < list.Count(); ++i) {
        std::string line = i == 0 ? PadLabel(label) : std::string(10, ' ');
        line += FormatAddress(list[i]);
        if (i + 1 < list.Count()) line += ',';
        w.Line(line);
    }
}

const char* CodingName(uint8_t coding) {
    switch (coding) {
    case kCodingAsIs:
        return "7 bit";
    case kCodingQuotedPrintable:
        return "Quoted-Printable";
    default:
        return "Base64";
    }
}

bool IsSpecialPart(const std::string& name) {
    std::string n = AsciiLower(name);
    return n.rfind("_alt.", 0) == 0 || n == "_htmbody.htm" || n == "_rtfbody.rtf";
}

// A name inside a quoted parameter: no line breaks, no double quotes,
// encoded words for non-ASCII text.
std::string ParamName(const std::string& fileName) {
    std::string n = OneLine(FileNamePart(fileName));
    for (char& c : n)
        if (c == '"') c = '\'';
    return IsAscii(n) ? n : EncodeHeaderText(n);
}

// beforeDelimiter: a boundary line follows (multipart), which takes the line
// end before it; otherwise the text's own last line end ends the content.
void WriteContent(LineWriter& w, const TmsAttItem& a, bool beforeDelimiter) {
    switch (a.Coding) {
    case kCodingAsIs:
        w.TextAsLines(a.Content);
        break;
    case kCodingQuotedPrintable:
        w.Raw(QuotedPrintableEncode(a.Content));
        break;
    default:
        w.Raw(Base64Encode(a.Content));
        return;
    }
    // The line end before a delimiter belongs to the delimiter: a text that
    // ends with a line end gets one more (empty) line so that it keeps it.
    if (beforeDelimiter && !a.Content.empty() && a.Content.back() == '\n') w.Line("");
}

// The body's charset as written: us-ascii stays while the text is ASCII;
// ISO-8859-1 when asked for or when the text needs it and it can hold it;
// UTF-8 only for text that ISO-8859-1 cannot hold.
struct BodyPlan {
    TCharSet charset = TCharSet::csUSASCII;
    bool longLines = false;
    bool quoted = false;
    std::vector<std::string> lines; // in the output charset
};

BodyPlan PlanBody(const std::vector<std::string>& body, TCharSet wanted) {
    BodyPlan p;
    bool ascii = true, latin1 = true;
    for (const auto& l : body) {
        if (!IsAscii(l)) {
            ascii = false;
            if (!FitsLatin1(l)) latin1 = false;
        }
    }
    if (wanted == TCharSet::csUTF8)
        p.charset = TCharSet::csUTF8;
    else if (ascii)
        p.charset = wanted;
    else if (latin1)
        p.charset = TCharSet::csISO8859;
    else
        p.charset = TCharSet::csUTF8;
    for (const auto& l : body) {
        std::string out = p.charset == TCharSet::csISO8859 ? Utf8ToLatin1(l) : l;
        if (out.size() > 255) p.longLines = true;
        p.lines.push_back(std::move(out));
    }
    p.quoted = p.charset != TCharSet::csUSASCII || p.longLines;
    return p;
}

void WritePlainHeaders(LineWriter& w, const BodyPlan& p) {
    switch (p.charset) {
    case TCharSet::csUSASCII:
        w.Line("Content-Type: text/plain; charset=\"us-ascii\"");
        break;
    case TCharSet::csISO8859:
        w.Line("Content-Type: text/plain; charset=\"iso-8859-1\"");
        break;
    case TCharSet::csUTF8:
        w.Line("Content-Type: text/plain; charset=\"utf-8\"");
        break;
    }
    w.Line(p.quoted ? "Content-Transfer-Encoding: quoted-printable"
                    : "Content-Transfer-Encoding: 7bit");
}

void WritePlainBody(LineWriter& w, const BodyPlan& p) {
    if (!p.quoted) {
        for (const auto& l : p.lines)
            w.Line(l);
        return;
    }
    std::vector<std::string> coded;
    for (const auto& l : p.lines)
        QuotedPrintableEncodeParagraph(l, coded);
    for (const auto& l : coded)
        w.Line(l);
}

void WritePlainForm(LineWriter& w, const BodyPlan& p) {
    WritePlainHeaders(w, p);
    w.Line("");
    WritePlainBody(w, p);
}

void WriteMultipartForm(LineWriter& w, const TmsMessage& m, const std::string& contentType,
                        const BodyPlan& p, bool alternative) {
    const std::string boundary = TmsMessage::NewBoundary();
    w.Line("Content-Type: " + contentType + "; boundary=\"" + boundary + "\"");
    w.Line("");
    w.Line(MessageText(kTextMultipartPreamble));
    w.Line("");
    w.Line("--" + boundary);
    const size_t n = m.Attachments.Count();
    if (!m.Body.empty()) {
        WritePlainForm(w, p);
        w.Line("");
        w.Line(n == 0 ? "--" + boundary + "--" : "--" + boundary);
    }
    for (size_t i = 0; i < n; ++i) {
        const TmsAttItem& a = m.Attachments[i];
        const bool special = IsSpecialPart(a.FileName());
        std::string ct = "Content-Type: " + OneLine(a.ContentType);
        if (!special) ct += "; name=\"" + ParamName(a.FileName()) + "\"";
        w.Line(ct);
        w.Line(std::string("Content-Transfer-Encoding: ") + CodingName(a.Coding));
        if (!special && !alternative)
            w.Line("Content-Disposition: attachment; filename=\"" + ParamName(a.FileName()) + "\"");
        w.Line("");
        WriteContent(w, a, true);
        w.Line(i + 1 == n ? "--" + boundary + "--" : "--" + boundary);
    }
}

void WriteSingleDocument(LineWriter& w, const TmsMessage& m, const std::string& contentType,
                         const BodyPlan& p) {
    // The document is the "_htmbody.htm"/"_rtfbody.rtf" part; a decoded
    // HTML or RTF message keeps its document in the body lines instead.
    std::string doc;
    bool fromBody = true;
    for (const auto& a : m.Attachments) {
        std::string n = AsciiLower(a.FileName());
        if (n == "_htmbody.htm" || n == "_rtfbody.rtf") {
            doc = a.Content;
            fromBody = false;
            break;
        }
    }
    TCharSet cs = p.charset;
    if (fromBody) {
        for (const auto& l : p.lines) {
            doc += l;
            doc += "\r\n";
        }
    } else if (!IsAscii(doc)) {
        if (IsValidUtf8(doc) && !FitsLatin1(doc)) {
            cs = TCharSet::csUTF8;
        } else {
            if (IsValidUtf8(doc)) doc = Utf8ToLatin1(doc);
            cs = TCharSet::csISO8859;
        }
    }
    std::string line = "Content-Type: " + contentType;
    if (cs == TCharSet::csUSASCII && !p.longLines) {
        w.Line(line);
        w.Line("");
        w.TextAsLines(doc);
        return;
    }
    line += cs == TCharSet::csUTF8 ? "; charset=\"utf-8\"" : "; charset=\"iso-8859-1\"";
    w.Line(line);
    w.Line("Content-Transfer-Encoding: quoted-printable");
    w.Line("");
    w.Raw(QuotedPrintableEncode(doc));
}

void WriteSingleAttachment(LineWriter& w, const TmsAttItem& a) {
    w.Line("Content-Type: " + OneLine(a.ContentType) + "; name=\"" + ParamName(a.FileName()) +
           "\"");
    w.Line(std::string("Content-Transfer-Encoding: ") + CodingName(a.Coding));
    w.Line("");
    WriteContent(w, a, false);
}

void WriteUuForm(LineWriter& w, const TmsMessage& m) {
    w.Line("");
    for (const auto& l : m.Body)
        w.Line(l);
    for (const auto& a : m.Attachments) {
        w.Line("");
        w.Line("begin 600 " + OneLine(FileNamePart(a.FileName())));
        for (const auto& l : UuencodeLines(a.Content))
            w.Line(l);
        w.Line("`");
        w.Line("end");
    }
}

} // namespace

std::string TmsMessage::SaveToString() const {
    LineWriter w;
    // Standard headers.
    w.Line(PadLabel("From:") + FormatAddress(Sender));
    WriteAddressList(w, "To:", Recipients);
    WriteAddressList(w, "CC:", CC);
    if (ReturnReceipt) w.Line("Return-Receipt-To: <" + OneLine(Sender.Address) + ">");
    if (Priority == TPriority::ptHigh) w.Line("X-Priority: 1");
    if (Priority == TPriority::ptLow) w.Line("X-Priority: 5");
    // Extra header lines, without the fields written above or below.
    TmsHeaders extra = Headers;
    for (const char* f :
         {"From", "To", "CC", "BCC", "Return-Receipt-To", "X-Priority", "Subject", "Mime-Version",
          "Content-Type", "X-Encoding", "Content-Transfer-Encoding"})
        extra.RemoveField(f);
    for (const auto& l : extra.Lines) {
        std::string line = OneLine(l);
        // An empty line would end the header block early.
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        w.Line(line);
    }
    if (!Subject.empty()) {
        std::string s = OneLine(Subject);
        if (s.size() > 255) {
            size_t cut = 255;
            while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
                --cut;
            s.resize(cut);
        }
        w.Line("Subject:  " + EncodeHeaderText(s));
    }
    if (Encoding == TMsgEncoding::meUU) {
        WriteUuForm(w, *this);
        return w.Take();
    }
    w.Line("Mime-Version: 1.0");

    const std::string ct = ContentType();
    const std::string lct = AsciiLower(ct);
    const BodyPlan plan = PlanBody(Body, CharSet);
    if (lct == "multipart/mixed") {
        WriteMultipartForm(w, *this, ct, plan, false);
    } else if (lct == "multipart/alternative") {
        WriteMultipartForm(w, *this, ct, plan, true);
    } else if (lct == "text/html" || lct == "text/rtf") {
        WriteSingleDocument(w, *this, lct, plan);
    } else if (Attachments.Empty()) {
        // "text/plain" (or a stored type with nothing to attach).
        WritePlainForm(w, plan);
    } else {
        WriteSingleAttachment(w, Attachments[0]);
    }
    return w.Take();
}

} // namespace quorel::mail
