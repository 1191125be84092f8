// The encoder, byte for byte against hand-written messages of every form.
#include "mail/message.h"
#include "mail/mimetypes.h"
#include "mail_test_util.h"

#include <gtest/gtest.h>

using namespace quorel::mail;
using mailtest::Crlf;
namespace fs = std::filesystem;

namespace {

class EncoderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TmsMessage::SetBoundaryGenerator([] { return std::string("12345678"); });
        SetMimeTypesFile(""); // the built-in table only: same types on every machine
    }
    void TearDown() override { TmsMessage::SetBoundaryGenerator({}); }
};

TEST_F(EncoderTest, PlainFormWithAllStandardHeaders) {
    TmsMessage m;
    m.Sender = {"J. Smith", "js@example.com"};
    m.Recipients.Add("Ann Lee", "ann@example.org");
    m.Recipients.Add("Bob", "bob@example.org");
    m.Recipients.Add("", "carl@example.org");
    m.CC.Add("Dora", "dora@example.org");
    m.BCC.Add("Hidden", "hidden@example.org");
    m.ReturnReceipt = true;
    m.Priority = TPriority::ptHigh;
    m.Headers.Add("X-Mailer: Quorel");
    m.Headers.Add("Subject: an old subject"); // replaced by the model's own
    m.Headers.Add("Content-Type: text/html");
    m.Headers.Add("  continued"); // belongs to the removed field
    m.Subject = "Move 12. Nf3";
    m.Body = {"Hello", ".", "..", "Bye"};
    const std::string expected = Crlf("From:     \"J. Smith\" <js@example.com>\n"
                                      "To:       Ann Lee <ann@example.org>,\n"
                                      "          Bob <bob@example.org>,\n"
                                      "           <carl@example.org>\n"
                                      "CC:       Dora <dora@example.org>\n"
                                      "Return-Receipt-To: <js@example.com>\n"
                                      "X-Priority: 1\n"
                                      "X-Mailer: Quorel\n"
                                      "Subject:  Move 12. Nf3\n"
                                      "Mime-Version: 1.0\n"
                                      "Content-Type: text/plain; charset=\"us-ascii\"\n"
                                      "Content-Transfer-Encoding: 7bit\n"
                                      "\n"
                                      "Hello\n"
                                      ".\n"
                                      "..\n"
                                      "Bye\n");
    EXPECT_EQ(m.SaveToString(), expected);
    EXPECT_EQ(m.Body[1], "."); // the model is not changed by encoding
    m.Priority = TPriority::ptLow;
    EXPECT_NE(m.SaveToString().find("\r\nX-Priority: 5\r\n"), std::string::npos);
}

TEST_F(EncoderTest, LongLinesGoQuotedPrintableAndHeadersNeverBreak) {
    TmsMessage m;
    m.Sender = {"", "me@x.org"};
    m.Recipients.Add("Eve\nX-Evil: 1", "eve@x.org");
    m.Subject = "Hi\r\nBcc: evil@x.org";
    m.Headers.Add("X-Note: a\r\nX-Injected: yes");
    m.Headers.Add(""); // would end the header block early
    const std::string longLine =
        std::string(70, 'a') + " " + std::string(100, 'b') + " " + std::string(128, 'c');
    ASSERT_EQ(longLine.size(), 300u);
    m.Body = {"tab\there=x", longLine};
    const std::string expected =
        Crlf("From:      <me@x.org>\n"
             "To:       \"Eve X-Evil: 1\" <eve@x.org>\n"
             "X-Note: a  X-Injected: yes\n"
             "Subject:  Hi  Bcc: evil@x.org\n"
             "Mime-Version: 1.0\n"
             "Content-Type: text/plain; charset=\"us-ascii\"\n"
             "Content-Transfer-Encoding: quoted-printable\n"
             "\n"
             "tab=09here=3Dx\n" +
             std::string(65, 'a') + "=\n" + "aaaaa=\n" + " " + std::string(64, 'b') + "=\n" +
             std::string(36, 'b') + "=\n" + " " + std::string(64, 'c') + "=\n" +
             std::string(64, 'c') + "\n");
    EXPECT_EQ(m.SaveToString(), expected);
}

TEST_F(EncoderTest, Iso8859AndUtf8BodiesAndEncodedWords) {
    TmsMessage m;
    m.Sender = {"José", "j@x.org"};
    m.Recipients.Add("Zoë", "z@x.org");
    m.Subject = "Café";
    m.CharSet = TCharSet::csISO8859;
    m.Body = {"Café crème", "plain"};
    EXPECT_EQ(m.SaveToString(), Crlf("From:     =?iso-8859-1?Q?Jos=E9?= <j@x.org>\n"
                                     "To:       =?iso-8859-1?Q?Zo=EB?= <z@x.org>\n"
                                     "Subject:  =?iso-8859-1?Q?Caf=E9?=\n"
                                     "Mime-Version: 1.0\n"
                                     "Content-Type: text/plain; charset=\"iso-8859-1\"\n"
                                     "Content-Transfer-Encoding: quoted-printable\n"
                                     "\n"
                                     "Caf=E9 cr=E8me\n"
                                     "plain\n"));
    // Text that ISO-8859-1 cannot hold goes out as UTF-8, even when the
    // message asks for US-ASCII.
    m.CharSet = TCharSet::csUSASCII;
    m.Subject = "Ход";
    m.Body = {"Ход e4"};
    EXPECT_EQ(m.SaveToString(), Crlf("From:     =?iso-8859-1?Q?Jos=E9?= <j@x.org>\n"
                                     "To:       =?iso-8859-1?Q?Zo=EB?= <z@x.org>\n"
                                     "Subject:  =?utf-8?Q?=D0=A5=D0=BE=D0=B4?=\n"
                                     "Mime-Version: 1.0\n"
                                     "Content-Type: text/plain; charset=\"utf-8\"\n"
                                     "Content-Transfer-Encoding: quoted-printable\n"
                                     "\n"
                                     "=D0=A5=D0=BE=D0=B4 e4\n"));
}

TEST_F(EncoderTest, MultipartMixed) {
    TmsMessage m;
    m.Sender = {"Quorel Player", "qp@example.com"};
    m.Recipients.Add("Opponent", "op@example.org");
    m.Subject = "Game 1";
    m.Body = {"See the game."};
    m.Attachments.Add("game.qrl", "QRL game data");
    m.Attachments.Add("notes.txt", "line1\r\nline2\r\n");
    ASSERT_EQ(m.Attachments[1].Coding, kCodingQuotedPrintable);
    EXPECT_EQ(m.ContentType(), "multipart/mixed");
    EXPECT_EQ(m.SaveToString(), Crlf("From:     Quorel Player <qp@example.com>\n"
                                     "To:       Opponent <op@example.org>\n"
                                     "Subject:  Game 1\n"
                                     "Mime-Version: 1.0\n"
                                     "Content-Type: multipart/mixed; boundary=\"12345678\"\n"
                                     "\n"
                                     "This is a multipart message in MIME format\n"
                                     "\n"
                                     "--12345678\n"
                                     "Content-Type: text/plain; charset=\"us-ascii\"\n"
                                     "Content-Transfer-Encoding: 7bit\n"
                                     "\n"
                                     "See the game.\n"
                                     "\n"
                                     "--12345678\n"
                                     "Content-Type: application/octet-stream; name=\"game.qrl\"\n"
                                     "Content-Transfer-Encoding: Base64\n"
                                     "Content-Disposition: attachment; filename=\"game.qrl\"\n"
                                     "\n"
                                     "UVJMIGdhbWUgZGF0YQ==\n"
                                     "--12345678\n"
                                     "Content-Type: text/plain; name=\"notes.txt\"\n"
                                     "Content-Transfer-Encoding: Quoted-Printable\n"
                                     "Content-Disposition: attachment; filename=\"notes.txt\"\n"
                                     "\n"
                                     "line1\n"
                                     "line2\n"
                                     "\n"
                                     "--12345678--\n"));
}

TEST_F(EncoderTest, MultipartAlternativeAndSingleDocument) {
    TmsMessage m;
    m.Sender = {"A", "a@x.org"};
    m.Body = {"Plain text"};
    TmsAttItem& alt = m.Attachments.Add();
    alt.SetFileName("_alt.0");
    alt.ContentType = "text/html";
    alt.Coding = kCodingAsIs;
    alt.Content = "<p>Hi</p>";
    EXPECT_EQ(m.ContentType(), "multipart/alternative");
    EXPECT_EQ(m.SaveToString(), Crlf("From:     A <a@x.org>\n"
                                     "Mime-Version: 1.0\n"
                                     "Content-Type: multipart/alternative; boundary=\"12345678\"\n"
                                     "\n"
                                     "This is a multipart message in MIME format\n"
                                     "\n"
                                     "--12345678\n"
                                     "Content-Type: text/plain; charset=\"us-ascii\"\n"
                                     "Content-Transfer-Encoding: 7bit\n"
                                     "\n"
                                     "Plain text\n"
                                     "\n"
                                     "--12345678\n"
                                     "Content-Type: text/html\n"
                                     "Content-Transfer-Encoding: 7 bit\n"
                                     "\n"
                                     "<p>Hi</p>\n"
                                     "--12345678--\n"));

    TmsMessage d;
    d.Sender = {"A", "a@x.org"};
    d.Attachments.Add("_htmbody.htm", "<html>\r\n<b>Hi</b>\r\n</html>\r\n");
    EXPECT_EQ(d.ContentType(), "text/html");
    EXPECT_EQ(d.SaveToString(), Crlf("From:     A <a@x.org>\n"
                                     "Mime-Version: 1.0\n"
                                     "Content-Type: text/html\n"
                                     "\n"
                                     "<html>\n"
                                     "<b>Hi</b>\n"
                                     "</html>\n"));
    d.CharSet = TCharSet::csISO8859;
    d.Attachments[0].SetFileName("_rtfbody.rtf");
    d.Attachments[0].Content = "{\\rtf1 a=b}";
    EXPECT_EQ(d.SaveToString(), Crlf("From:     A <a@x.org>\n"
                                     "Mime-Version: 1.0\n"
                                     "Content-Type: text/rtf; charset=\"iso-8859-1\"\n"
                                     "Content-Transfer-Encoding: quoted-printable\n"
                                     "\n"
                                     "{\\rtf1 a=3Db}\n"));
}

TEST_F(EncoderTest, SingleAttachmentAndUuencodedForms) {
    TmsMessage m;
    m.Sender = {"A", "a@x.org"};
    m.Attachments.Add("board.png", std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(m.ContentType(), "image/png");
    EXPECT_EQ(m.SaveToString(), Crlf("From:     A <a@x.org>\n"
                                     "Mime-Version: 1.0\n"
                                     "Content-Type: image/png; name=\"board.png\"\n"
                                     "Content-Transfer-Encoding: Base64\n"
                                     "\n"
                                     "iVBORw0KGgo=\n"));

    TmsMessage u;
    u.Sender = {"A", "a@x.org"};
    u.Recipients.Add("B", "b@x.org");
    u.Subject = "UU";
    u.Encoding = TMsgEncoding::meUU;
    u.Body = {"Here it is", "."};
    u.Attachments.Add("dir/game.qrl", "Cat");
    EXPECT_EQ(u.ContentType(), "");
    EXPECT_EQ(u.SaveToString(), Crlf("From:     A <a@x.org>\n"
                                     "To:       B <b@x.org>\n"
                                     "Subject:  UU\n"
                                     "\n"
                                     "Here it is\n"
                                     ".\n"
                                     "\n"
                                     "begin 600 game.qrl\n"
                                     "#0V%T\n"
                                     "`\n"
                                     "end\n"));
}

TEST_F(EncoderTest, ContentTypeWhenRead) {
    struct Row {
        const char* name;
        std::vector<std::string> body;
        std::vector<std::string> attachments; // file names
        std::string stored;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"empty message", {}, {}, "", "text/plain"},
        {"body only", {"x"}, {}, "", "text/plain"},
        {"body keeps stored type", {"x"}, {}, "text/html", "text/html"},
        {"one attachment no body", {}, {"a.png"}, "", "image/png"},
        {"two attachments no body", {}, {"a.png", "b.qrl"}, "", "multipart/mixed"},
        {"body and attachment", {"x"}, {"b.qrl"}, "text/html", "multipart/mixed"},
        {"rtf body part", {}, {"_rtfbody.rtf"}, "", "text/rtf"},
        {"html body part", {}, {"_HTMBODY.HTM"}, "", "text/html"},
        {"alternative wins", {"x"}, {"b.qrl", "_ALT.1"}, "", "multipart/alternative"},
    };
    for (const auto& r : rows) {
        TmsMessage m;
        m.Body = r.body;
        for (const auto& a : r.attachments)
            m.Attachments.Add(a, "x");
        m.SetContentType(r.stored);
        EXPECT_EQ(m.ContentType(), r.expected) << r.name;
    }
}

TEST_F(EncoderTest, CheckAndClear) {
    TmsMessage m;
    try {
        m.Check();
        FAIL() << "no sender accepted";
    } catch (const EMessageError& e) {
        EXPECT_EQ(e.Code(), 57100);
        EXPECT_STREQ(e.what(), "The address of sender is required");
    }
    m.Sender = {"", "a@x.org"};
    try {
        m.Check();
        FAIL() << "no recipient accepted";
    } catch (const EMessageError& e) {
        EXPECT_EQ(e.Code(), 57101);
    }
    m.BCC.Add("", "b@x.org");
    EXPECT_NO_THROW(m.Check());

    m.Priority = TPriority::ptHigh;
    m.ReturnReceipt = true;
    m.Encoding = TMsgEncoding::meUU;
    m.CharSet = TCharSet::csISO8859;
    m.Subject = "s";
    m.Body = {"b"};
    m.Headers.Add("X: y");
    m.SetContentType("text/html");
    m.Clear();
    EXPECT_TRUE(m.Sender.Address.empty());
    EXPECT_TRUE(m.BCC.Empty());
    EXPECT_TRUE(m.Body.empty());
    EXPECT_EQ(m.Headers.Count(), 0u);
    EXPECT_EQ(m.Encoding, TMsgEncoding::meMIME);
    EXPECT_EQ(m.CharSet, TCharSet::csUSASCII);
    EXPECT_EQ(m.StoredContentType(), "");
    EXPECT_EQ(m.Priority, TPriority::ptHigh); // kept
    EXPECT_TRUE(m.ReturnReceipt);             // kept
}

TEST_F(EncoderTest, QuotedPrintableParagraphLimit) {
    TmsMessage m;
    m.Sender = {"", "a@x.org"};
    m.Body = {std::string(24575, 'x')};
    EXPECT_NO_THROW(m.SaveToString());
    m.Body = {std::string(24576, 'x')};
    try {
        m.SaveToString();
        FAIL() << "a paragraph of 24576 bytes was coded";
    } catch (const EMessageError& e) {
        EXPECT_STREQ(e.what(), "Paragraph is too large");
    }
}

TEST_F(EncoderTest, SaveToFileAndSaveAttachmentStayInTheirFolder) {
    mailtest::TempDir dir;
    TmsMessage m;
    m.Sender = {"", "a@x.org"};
    m.Body = {"x"};
    m.SaveToFile(dir.path() / "m.032");
    EXPECT_EQ(mailtest::ReadFile(dir.path() / "m.032"), m.SaveToString());

    m.Attachments.Add("../../evil.qrl", "data");
    fs::path saved = m.SaveAttachment(0, dir.path());
    EXPECT_EQ(saved, dir.path() / "evil.qrl");
    EXPECT_EQ(mailtest::ReadFile(saved), "data");
    m.Attachments.Add("..", "x");
    EXPECT_THROW(m.SaveAttachment(1, dir.path()), EMessageError);
    EXPECT_THROW(m.SaveAttachment(7, dir.path()), EMessageError);
}

} // namespace
