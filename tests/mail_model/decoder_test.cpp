// The decoder: header fields, each body form, recovery, raw POP3 text, and
// decode(encode(m)) == m for every form the encoder writes.
#include "mail/message.h"
#include "mail/mimetypes.h"
#include "mail_test_util.h"

#include <gtest/gtest.h>

using namespace quorel::mail;
using mailtest::Crlf;

namespace {

struct Att {
    std::string name, content;
    uint8_t coding;
};

std::vector<Att> Atts(const TmsMessage& m) {
    std::vector<Att> out;
    for (const auto& a : m.Attachments)
        out.push_back({a.FileName(), a.Content, a.Coding});
    return out;
}

bool operator==(const Att& a, const Att& b) {
    return a.name == b.name && a.content == b.content && a.coding == b.coding;
}
std::ostream& operator<<(std::ostream& o, const Att& a) {
    return o << "{" << a.name << ", " << a.content.size() << " bytes, " << int(a.coding) << "}";
}

const char* kRecoveryLine0 = "The following error has been occured while processing the message:";

TEST(Decoder, HeaderFields) {
    TmsMessage m;
    m.Priority = TPriority::ptLow;
    m.LoadFromString(Crlf("Received: from a\n"
                          "\tby b\n"
                          "from: =?iso-8859-1?Q?Andr=E9?= <andre@x.org>\n"
                          "To: Ann <ann@x.org>, \"Doe, Bob\" <bob@x.org>,\n"
                          "  carl@x.org (Carl C)\n"
                          "Cc: <dora@x.org>\n"
                          "Subject: =?utf-8?B?0KXQvtC0?=\n"
                          " continued\n"
                          "X-Priority: 1 (Highest)\n"
                          "Return-Receipt-To: <andre@x.org>\n"
                          "\n"
                          "Body line\n"));
    EXPECT_EQ(m.Sender, TmsMailAddress("André", "andre@x.org"));
    ASSERT_EQ(m.Recipients.Count(), 3u);
    EXPECT_EQ(m.Recipients[1], TmsMailAddress("Doe, Bob", "bob@x.org"));
    EXPECT_EQ(m.Recipients[2], TmsMailAddress("Carl C", "carl@x.org"));
    ASSERT_EQ(m.CC.Count(), 1u);
    EXPECT_EQ(m.CC[0].Address, "dora@x.org");
    EXPECT_EQ(m.Subject, "Ход continued");
    EXPECT_EQ(m.Priority, TPriority::ptHigh);
    EXPECT_TRUE(m.ReturnReceipt);
    EXPECT_EQ(m.Headers.Count(), 10u);
    EXPECT_EQ(m.Headers.GetFieldValue("received"), "from a by b");
    EXPECT_EQ(m.Headers.GetFieldValue("X-Missing"), "");
    // No MIME-Version: a plain (uuencode-style) message.
    EXPECT_EQ(m.Encoding, TMsgEncoding::meUU);
    EXPECT_EQ(m.Body, std::vector<std::string>{"Body line"});

    TmsHeaders h = m.Headers;
    h.RemoveField("Subject");
    h.RemoveField("received:");
    EXPECT_EQ(h.Count(), 6u);
    EXPECT_FALSE(h.HasField("SUBJECT"));
    EXPECT_EQ(h.Lines[0].rfind("from:", 0), 0u);
}

TEST(Decoder, TextBodies) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::string> body;
        TCharSet charset;
        std::string contentType;
    };
    const std::string head = "From: a@x.org\nMime-Version: 1.0\n";
    const std::vector<Row> rows = {
        {"no content type",
         head + "\nline 1\n\nline 3\n",
         {"line 1", "", "line 3"},
         TCharSet::csUSASCII,
         "text/plain"},
        {"quoted-printable latin-1",
         head + "Content-Type: text/plain; charset=iso-8859-1\n"
                "Content-Transfer-Encoding: quoted-printable\n\nCaf=E9 soft=\nbreak\n\n",
         {"Café softbreak", ""},
         TCharSet::csISO8859,
         "text/plain"},
        {"base64 utf-8",
         head + "Content-Type: text/plain; charset=\"utf-8\"\n"
                "Content-Transfer-Encoding: base64\n\n0KXQvtC0CmU0Cg==\n",
         {"Ход", "e4"},
         TCharSet::csUSASCII,
         "text/plain"},
        {"8bit windows-1251",
         head + "Content-Type: text/plain; charset=windows-1251\n\n\xcf\xf0\xe8\n",
         {"При"},
         TCharSet::csUSASCII,
         "text/plain"},
        {"html kept as content type",
         head + "Content-Type: TEXT/HTML; charset=us-ascii\n\n<p>x</p>\n",
         {"<p>x</p>"},
         TCharSet::csUSASCII,
         "text/html"},
    };
    for (const auto& r : rows) {
        TmsMessage m;
        m.LoadFromString(Crlf(r.text));
        EXPECT_EQ(m.Body, r.body) << r.name;
        EXPECT_EQ(m.CharSet, r.charset) << r.name;
        EXPECT_EQ(m.ContentType(), r.contentType) << r.name;
        EXPECT_EQ(m.Encoding, TMsgEncoding::meMIME) << r.name;
        EXPECT_TRUE(m.Attachments.Empty()) << r.name;
    }
}

TEST(Decoder, AttachmentForms) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::string> body;
        std::vector<Att> atts;
        TMsgEncoding encoding = TMsgEncoding::meMIME;
    };
    const std::string head = "From: a@x.org\nMIME-Version: 1.0\n";
    const std::vector<Row> rows = {
        {"uuencoded blocks in a plain text",
         "From: a@x.org\n\nHere it is\n\nbegin 644 ../game.qrl\n#0V%T\n`\nend\nafter\n",
         {"Here it is", "after"},
         {{"game.qrl", "Cat", kCodingBase64}},
         TMsgEncoding::meUU},
        {"uuencoded block inside a MIME text restarts as plain text",
         head + "Content-Type: text/plain\n\nHi\nbegin 600 c.bin\n#0V%T\nend\n",
         {"Hi"},
         {{"c.bin", "Cat", kCodingBase64}},
         TMsgEncoding::meUU},
        {"begin without end is text",
         "From: a@x.org\n\nbegin 644 x\n#0V%T\n",
         {"begin 644 x", "#0V%T"},
         {},
         TMsgEncoding::meUU},
        {"named text body is an attachment",
         head + "Content-Type: text/plain; name=\"n.txt\"\nContent-Transfer-Encoding: "
                "quoted-printable\n\na=3Db\nc\n",
         {},
         {{"n.txt", "a=b\r\nc\r\n",
           kCodingQuotedPrintable}}}, // the text's last line end is content
        {"non-text body is an attachment",
         head + "Content-Type: image/png\nContent-Disposition: attachment; "
                "filename*=utf-8''%C3%A9t%C3%A9.png\nContent-Transfer-Encoding: base64\n\n"
                "iVBORw0KGgo=\n",
         {},
         {{"été.png", std::string("\x89PNG\r\n\x1a\n", 8), kCodingBase64}}},
        {"multipart with unnamed second part and x-uue",
         head + "Content-Type: multipart/mixed; BOUNDARY=b1\n\npreamble\n--b1\n\nbody\n\n"
                "--b1\nContent-Type: application/x-thing\nContent-Transfer-Encoding: 8bit\n\n"
                "raw 1\nraw 2\n--b1\nContent-Type: application/octet-stream; name=\"u.bin\"\n"
                "Content-Transfer-Encoding: X-UUENCODE\n\nbegin 600 u.bin\n#0V%T\n`\nend\n"
                "--b1--\nepilogue\n",
         {"body"},
         {{"att.0", "raw 1\r\nraw 2", kCodingAsIs}, {"u.bin", "Cat", kCodingBase64}}},
        {"nested alternative unpacked into body and _alt parts",
         head + "Content-Type: multipart/mixed; boundary=\"outer\"\n\n--outer\n"
                "Content-Type: multipart/alternative; boundary=\"inner\"\n\n--inner\n"
                "Content-Type: text/plain\n\nplain\n--inner\nContent-Type: text/html\n\n"
                "<b>html</b>\n--inner--\n\n--outer\nContent-Type: application/pdf\n"
                "Content-Disposition: attachment; filename=\"c:\\docs\\r.pdf\"\n"
                "Content-Transfer-Encoding: base64\n\nJVBERg==\n--outer--\n",
         {"plain"},
         {{"_alt.0", "<b>html</b>", kCodingAsIs}, {"r.pdf", "%PDF", kCodingBase64}}},
        {"top-level alternative",
         head + "Content-Type: multipart/alternative; boundary=z\n\n--z\n"
                "Content-Type: text/plain; charset=iso-8859-1\n"
                "Content-Transfer-Encoding: quoted-printable\n\nol=E9\n--z\n"
                "Content-Type: text/html\n\n<i>ol\xe9</i>\n--z--\n",
         {"olé"},
         {{"_alt.0", "<i>ol\xe9</i>", kCodingAsIs}}},
        {"first part that is a file is not the body",
         head + "Content-Type: multipart/mixed; boundary=q\n\n--q\n"
                "Content-Type: application/octet-stream; name=\"a.qrl\"\n"
                "Content-Transfer-Encoding: base64\n\nQ2F0\n--q--\n",
         {},
         {{"a.qrl", "Cat", kCodingBase64}}},
    };
    for (const auto& r : rows) {
        TmsMessage m;
        m.LoadFromString(Crlf(r.text));
        EXPECT_EQ(m.Body, r.body) << r.name;
        EXPECT_EQ(Atts(m), r.atts) << r.name;
        EXPECT_EQ(m.Encoding, r.encoding) << r.name;
    }
}

TEST(Decoder, RecoveryKeepsTheOriginalText) {
    const std::string head = "From: Ann <a@x.org>\nSubject: broken\nMIME-Version: 1.0\n";
    struct Row {
        const char* name;
        std::string text;
        std::string error;
    };
    const std::vector<Row> rows = {
        {"wrong boundary",
         head + "Content-Type: multipart/mixed; boundary=\"right\"\n\n--wrong\n\nx\n--wrong--\n",
         "Cannot find boundary"},
        {"no boundary parameter", head + "Content-Type: multipart/mixed\n\n--x\n\nb\n--x--\n",
         "Cannot find boundary"},
        {"no closing boundary",
         head + "Content-Type: multipart/mixed; boundary=b\n\n--b\n\nbody\n--b\n\nmore\n",
         "Cannot find closing boundary"},
        {"broken uuencoded part",
         head + "Content-Type: multipart/mixed; boundary=b\n\n--b\n\nbody\n--b\n"
                "Content-Transfer-Encoding: x-uue\n\nbegin 600 x\nMabc\nend\n--b--\n",
         "Error decoding the attachment"},
        {"unparsable address", "From: Ann <a@x.org\nSubject: broken\n\nbody\n",
         "Unable to parse email address"},
    };
    for (const auto& r : rows) {
        const std::string text = Crlf(r.text);
        TmsMessage m;
        m.LoadFromString(text);
        ASSERT_EQ(m.Body.size(), 3u) << r.name;
        EXPECT_EQ(m.Body[0], kRecoveryLine0) << r.name;
        EXPECT_EQ(m.Body[1], r.error) << r.name;
        EXPECT_EQ(m.Body[2], "The original message will be stored as an attachment") << r.name;
        ASSERT_EQ(m.Attachments.Count(), 1u) << r.name;
        EXPECT_EQ(m.Attachments[0].FileName(), "original.eml");
        EXPECT_EQ(m.Attachments[0].ContentType, "message/rfc822");
        EXPECT_EQ(m.Attachments[0].Coding, kCodingAsIs);
        EXPECT_EQ(m.Attachments[0].Content, text) << r.name;
        EXPECT_EQ(m.Encoding, TMsgEncoding::meMIME);
    }
    // Fields decoded before the failure are kept.
    TmsMessage m;
    m.LoadFromString(Crlf(rows[0].text));
    EXPECT_EQ(m.Sender.Address, "a@x.org");
    EXPECT_EQ(m.Subject, "broken");
    // The recovered message is stored as note + original, and reads back.
    TmsMessage again;
    again.LoadFromString(m.SaveToString());
    ASSERT_EQ(again.Attachments.Count(), 1u);
    EXPECT_EQ(again.Attachments[0].Content, Crlf(rows[0].text));
    EXPECT_EQ(again.Body, m.Body);
}

TEST(Decoder, RawPop3TextAndStoredDots) {
    // What a POP3 server returns: dot-stuffed lines and the final ".";
    // every leading dot is undone exactly once.
    TmsMessage m;
    m.LoadFromPop3Text(Crlf("From: a@x.org\nSubject: dots\n\n..\n...\n...more\n.x\nend\n.\n"));
    EXPECT_EQ(m.Body, (std::vector<std::string>{".", "..", "..more", "x", "end"}));
    // Stored as plain text, every line reads back as it was, the last "."
    // included (a message file has no terminator line).
    m.Body.push_back(".");
    TmsMessage again;
    again.LoadFromString(m.SaveToString());
    EXPECT_EQ(again.Body, m.Body);
    EXPECT_EQ(UnstuffPop3Text("a\r\n..\r\n.\r\n"), "a\r\n.\r\n");
    EXPECT_EQ(UnstuffPop3Text(".\r\n..\r\n.\r\n"), "\r\n.\r\n");
}

TEST(Decoder, MalformedInputNeverThrows) {
    const std::vector<std::string> inputs = {
        "",
        "\n",
        "no header at all",
        "From: <\n\n",
        "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"\"\n\n",
        "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=a\n\n--a\n--a\n--a--",
        "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=a\n\n--a\nContent-Type: "
        "multipart/mixed; boundary=a\n\n--a\n--a--\n",
        "MIME-Version: 1.0\nContent-Type: text/plain; name*0*=x'';name*99999=y\n\nz",
        "MIME-Version: 1.0\nContent-Transfer-Encoding: base64\n\n====\n",
        "Subject: =?=?=?utf-8?Q?=?=\n\n",
        std::string("From: a\0b@x\n\n\0\0", 16),
        "From: a@x.org\n\nbegin 644 x\nM\nend\n",
    };
    for (const auto& in : inputs) {
        TmsMessage m;
        EXPECT_NO_THROW(m.LoadFromString(in)) << in;
        EXPECT_NO_THROW(m.SaveToString()) << in;
    }
}

// decode(encode(m)) gives m back for every form the encoder writes.
TEST(Decoder, RoundTripOfEveryForm) {
    SetMimeTypesFile("");
    TmsMessage::SetBoundaryGenerator([] { return std::string("87654321"); });
    std::string binary;
    for (int i = 0; i < 1000; ++i)
        binary += char((i * 131 + 7) & 0xFF);
    struct Row {
        const char* name;
        std::function<void(TmsMessage&)> fill;
    };
    const std::vector<Row> rows = {
        {"plain",
         [](TmsMessage& m) {
             m.Body = {"a", ".", "", "b"};
         }},
        {"plain latin-1",
         [](TmsMessage& m) {
             m.Body = {"Café", "x"};
         }},
        {"plain utf-8 with long line",
         [](TmsMessage& m) {
             m.Body = {"Ход " + std::string(400, 'x'), ""};
         }},
        {"mixed",
         [&](TmsMessage& m) {
             m.Body = {"see attachments"};
             m.Attachments.Add("game.qrl", binary);
             m.Attachments.Add("notes.txt", "n1\r\nn2=\r\n");
             m.Attachments.Add("Ход.pgn", "1. e4 *");
         }},
        {"alternative",
         [](TmsMessage& m) {
             m.Body = {"plain"};
             TmsAttItem& a = m.Attachments.Add();
             a.SetFileName("_alt.0");
             a.ContentType = "text/html";
             a.Coding = kCodingQuotedPrintable;
             a.Content = "<p>x</p>";
         }},
        {"single attachment", [&](TmsMessage& m) { m.Attachments.Add("b.png", binary); }},
        {"uuencoded",
         [&](TmsMessage& m) {
             m.Encoding = TMsgEncoding::meUU;
             m.Body = {"text", ""};
             m.Attachments.Add("a.qrl", binary);
             m.Attachments.Add("b.qrl", "Cat");
         }},
    };
    for (const auto& r : rows) {
        TmsMessage m;
        m.Sender = {"J. Smith", "js@x.org"};
        m.Recipients.Add("Ann", "ann@x.org");
        m.Recipients.Add("Bob, Jr.", "bob@x.org");
        m.CC.Add("Zoë", "z@x.org");
        m.Subject = "Round trip – " + std::string(r.name);
        m.Priority = TPriority::ptLow;
        r.fill(m);
        TmsMessage d;
        d.LoadFromString(m.SaveToString());
        EXPECT_EQ(d.Sender, m.Sender) << r.name;
        EXPECT_EQ(d.Recipients, m.Recipients) << r.name;
        EXPECT_EQ(d.CC, m.CC) << r.name;
        EXPECT_EQ(d.Subject, m.Subject) << r.name;
        EXPECT_EQ(d.Priority, m.Priority) << r.name;
        EXPECT_EQ(d.Body, m.Body) << r.name;
        EXPECT_EQ(d.Encoding, m.Encoding) << r.name;
        EXPECT_EQ(Atts(d), Atts(m)) << r.name;
        EXPECT_EQ(d.ContentType(), m.ContentType()) << r.name;
        // A second pass changes nothing.
        TmsMessage d2;
        d2.LoadFromString(d.SaveToString());
        EXPECT_EQ(d2.SaveToString(), d.SaveToString()) << r.name;
    }
    TmsMessage::SetBoundaryGenerator({});
}

} // namespace
