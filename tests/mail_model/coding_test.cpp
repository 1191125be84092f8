// Transfer codings, charsets and content types.
#include "mail/charset.h"
#include "mail/coding.h"
#include "mail/message.h"
#include "mail/mimetypes.h"
#include "mail_test_util.h"

#include <gtest/gtest.h>

using namespace quorel::mail;

namespace {

TEST(Base64, KnownVectorsAndLineLayout) {
    // RFC 4648 test vectors, each on one CR LF line.
    const std::vector<std::pair<std::string, std::string>> rows = {{"", ""},
                                                                   {"f", "Zg=="},
                                                                   {"fo", "Zm8="},
                                                                   {"foo", "Zm9v"},
                                                                   {"foob", "Zm9vYg=="},
                                                                   {"fooba", "Zm9vYmE="},
                                                                   {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, coded] : rows) {
        EXPECT_EQ(Base64Encode(plain), coded.empty() ? "" : coded + "\r\n") << plain;
        EXPECT_EQ(Base64EncodeFlat(plain), coded) << plain;
        EXPECT_EQ(Base64Decode(coded), plain) << coded;
    }
    // 57 source bytes make one 76-character line.
    std::string data;
    for (int i = 0; i < 115; ++i)
        data += char(i * 7);
    std::string coded = Base64Encode(data);
    ASSERT_EQ(coded.size(), 78u + 78u + 4u + 2u);
    EXPECT_EQ(coded.substr(76, 2), "\r\n");
    EXPECT_EQ(coded.substr(154, 2), "\r\n");
    EXPECT_EQ(Base64Decode(coded), data);
}

TEST(Base64, DecoderToleratesNoiseAndStopsAtPadding) {
    EXPECT_EQ(Base64Decode("Zm9v\r\nYmFy\r\n"), "foobar");
    EXPECT_EQ(Base64Decode(" Zm 9v*Ym\tFy "), "foobar");
    EXPECT_EQ(Base64Decode("Zm8=Zm9v"), "fo"); // nothing after the pad
    EXPECT_EQ(Base64Decode("Zm9vY"), "foo");   // a lone last character is dropped
    EXPECT_EQ(Base64Decode("!!!!"), "");
    // Every byte value survives, whatever the alignment of line breaks.
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    for (size_t cut = 0; cut < 8; ++cut) {
        std::string flat = Base64EncodeFlat(all);
        flat.insert(cut * 3 + 1, "\r\n");
        EXPECT_EQ(Base64Decode(flat), all) << cut;
    }
}

TEST(QuotedPrintable, CutsAsTheProgramDoes) {
    struct Row {
        const char* name;
        std::string paragraph;
        std::vector<std::string> lines;
    };
    const std::vector<Row> rows = {
        {"empty", "", {""}},
        {"escapes", "a=b\tc\x7f\x80\xff", {"a=3Db=09c\x7f=80=FF"}},
        {"blanks kept", "  two  ", {"  two  "}},
        {"exactly 65", std::string(65, 'x'), {std::string(65, 'x')}},
        {"66 without blank", std::string(66, 'x'), {std::string(65, 'x') + "=", "x"}},
        {"cut before last blank",
         std::string(40, 'a') + " " + std::string(20, 'b') + " " + std::string(10, 'c'),
         {std::string(40, 'a') + " " + std::string(20, 'b') + "=", " " + std::string(10, 'c')}},
        {"blank first byte of a piece",
         " " + std::string(70, 'd'),
         {" " + std::string(64, 'd') + "=", std::string(6, 'd')}},
        {"escapes count as one source byte", std::string(65, '='), {[] {
             std::string s;
             for (int i = 0; i < 65; ++i)
                 s += "=3D";
             return s;
         }()}},
    };
    for (const auto& r : rows) {
        std::vector<std::string> out;
        QuotedPrintableEncodeParagraph(r.paragraph, out);
        EXPECT_EQ(out, r.lines) << r.name;
        std::vector<std::string_view> views(out.begin(), out.end());
        EXPECT_EQ(QuotedPrintableDecode(views), r.paragraph) << r.name;
    }
    EXPECT_THROW(
        {
            std::vector<std::string> out;
            QuotedPrintableEncodeParagraph(std::string(24576, 'x'), out);
        },
        EMessageError);
}

TEST(QuotedPrintable, DecoderCases) {
    auto dec = [](std::vector<std::string_view> l) { return QuotedPrintableDecode(l, "\n"); };
    EXPECT_EQ(dec({"a=3Db", "c"}), "a=b\nc");
    EXPECT_EQ(dec({"soft=", "break"}), "softbreak");
    EXPECT_EQ(dec({"soft=  ", "blanks"}), "softblanks");
    EXPECT_EQ(dec({"=e9=E9"}), "\xe9\xe9");
    EXPECT_EQ(dec({"bad=ZZ end=", ""}), "bad=ZZ end");
    EXPECT_EQ(dec({"=4"}), "=4");
    EXPECT_EQ(QuotedPrintableEncode("a\r\nb\n"), "a\r\nb\r\n");
}

TEST(Uuencode, TraditionalLayout) {
    EXPECT_EQ(UuencodeLines("Cat"), std::vector<std::string>{"#0V%T"});
    std::string data;
    for (int i = 0; i < 100; ++i)
        data += char(255 - i);
    auto lines = UuencodeLines(data);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0][0], 'M'); // 45 bytes
    EXPECT_EQ(lines[0].size(), 61u);
    EXPECT_EQ(lines[2][0], char(32 + 10));
    std::string back;
    for (const auto& l : lines)
        ASSERT_TRUE(UudecodeLine(l, back));
    EXPECT_EQ(back, data);
    std::string out;
    EXPECT_FALSE(UudecodeLine("M", out)); // announces 45 bytes, holds none
    EXPECT_TRUE(UudecodeLine("`", out));
    EXPECT_TRUE(out.empty());
}

TEST(EncodedWords, BothDirections) {
    EXPECT_EQ(EncodeHeaderText("plain text"), "plain text");
    EXPECT_EQ(EncodeHeaderText("Café au lait"), "=?iso-8859-1?Q?Caf=E9_au_lait?=");
    EXPECT_EQ(EncodeHeaderText("€"), "=?utf-8?Q?=E2=82=AC?="); // not in ISO-8859-1
    EXPECT_EQ(EncodeHeaderText("Ход"), "=?utf-8?Q?=D0=A5=D0=BE=D0=B4?=");
    // Long text: several words of at most 75 characters, never splitting a
    // UTF-8 character; decoding joins them again.
    std::string longText;
    for (int i = 0; i < 40; ++i)
        longText += "Жж ";
    std::string enc = EncodeHeaderText(longText);
    size_t pos = 0;
    while (pos < enc.size()) {
        size_t sp = enc.find(' ', pos);
        std::string word = enc.substr(pos, sp == std::string::npos ? std::string::npos : sp - pos);
        EXPECT_LE(word.size(), 75u);
        EXPECT_EQ(word.rfind("=?utf-8?Q?", 0), 0u);
        pos = sp == std::string::npos ? enc.size() : sp + 1;
    }
    EXPECT_EQ(DecodeHeaderText(enc), longText);

    struct Row {
        std::string in, out;
    };
    const std::vector<Row> rows = {
        {"=?ISO-8859-1?Q?Andr=E9?= Pirard <PIRARD@vm1.ulg.ac.be>",
         "André Pirard <PIRARD@vm1.ulg.ac.be>"},
        {"=?utf-8?B?0KXQvtC0?=", "Ход"},
        {"=?iso-8859-1?q?this=20is?= =?iso-8859-1?q?_some_text?=", "this is some text"},
        {"a =?iso-8859-2?Q?=B1?= b", "a ą b"},
        {"=?koi8-r?B?8NLJ18XU?=", "Привет"},
        {"=?utf-8*en?Q?x?=", "x"},
        {"=?bogus?Q?abc?=", "abc"},
        {"=?utf-8?X?abc?=", "=?utf-8?X?abc?="},
        {"=?utf-8?Q?no end", "=?utf-8?Q?no end"},
        {"raw \xe9t\xe9", "raw été"}, // 8-bit text that is not UTF-8
        {"raw été", "raw été"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(DecodeHeaderText(r.in), r.out) << r.in;
}

TEST(Charsets, ConversionAndFallback) {
    EXPECT_EQ(ToUtf8("caf\xe9", "ISO-8859-1"), "café");
    EXPECT_EQ(ToUtf8("caf\xe9", "latin1"), "café");
    EXPECT_EQ(ToUtf8("\x80", "windows-1252"), "€");
    EXPECT_EQ(ToUtf8("\xb1", "iso-8859-2"), "ą");
    EXPECT_EQ(ToUtf8("\xcf\xf0\xe8", "windows-1251"), "При");
    EXPECT_EQ(ToUtf8("café", "utf-8"), "café");
    EXPECT_EQ(ToUtf8("caf\xe9", "utf-8"), "café"); // declared wrongly
    EXPECT_EQ(ToUtf8("caf\xe9", "no-such-charset"), "café");
    EXPECT_EQ(ToUtf8("caf\xe9", ""), "café");
    EXPECT_TRUE(IsValidUtf8("Ход"));
    EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));     // overlong
    EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80")); // surrogate
    EXPECT_TRUE(FitsLatin1("Café"));
    EXPECT_FALSE(FitsLatin1("€"));
    EXPECT_EQ(Utf8ToLatin1("Café €"), "Caf\xe9 ?");
    EXPECT_EQ(NormalizeCharset("\"UTF8\""), "utf-8");
}

TEST(Charsets, SevenBitCharsetsAreConvertedThoughTheirBytesAreAscii) {
    struct Row {
        const char* in;
        const char* charset;
        const char* out;
    };
    const Row rows[] = {
        {"\x1b$BF|K\\8l\x1b(B", "ISO-2022-JP", "日本語"},
        {"\x1b$BF|K\\8l\x1b(B", "csISO2022JP", "日本語"},
        {"K+APY-nig +Jl4-", "UTF-7", "König ♞"},
        {"~{OsFe~} ~~", "HZ-GB-2312", "象棋 ~"},
        {"plain", "iso-2022-jp", "plain"},
        {"a+b", "us-ascii", "a+b"}, // "+" is only special in UTF-7
        {"~{x", "windows-1252", "~{x"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ToUtf8(r.in, r.charset), r.out) << r.charset;
    // Header words and body lines of a message in ISO-2022-JP.
    TmsMessage m;
    m.LoadFromString("From: a@example.org\r\nSubject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=\r\n"
                     "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"
                     "Content-Transfer-Encoding: 7bit\r\n\r\n\x1b$BF|K\\8l\x1b(B 1. e4\r\n");
    EXPECT_EQ(m.Subject, "日本語");
    EXPECT_EQ(m.Body, (std::vector<std::string>{"日本語 1. e4"}));
}

TEST(ContentTypes, SystemTableBuiltInAndDefault) {
    mailtest::TempDir dir;
    mailtest::WriteFile(dir.path() / "mime.types",
                        "# comment\napplication/x-chess-game qrl pgn\ntext/x-test tst\n\n");
    SetMimeTypesFile(dir.path() / "mime.types");
    EXPECT_EQ(ContentTypeFromExtension("game.QRL"), "application/x-chess-game");
    EXPECT_EQ(ContentTypeFromExtension("a.b.tst"), "text/x-test");
    EXPECT_EQ(ContentTypeFromExtension("notes.txt"), "text/plain"); // built-in
    EXPECT_EQ(ContentTypeFromExtension("x.unknownext"), "application/octet-stream");
    EXPECT_EQ(ContentTypeFromExtension("noext"), "application/octet-stream");
    EXPECT_EQ(ContentTypeFromExtension("dir.d/noext"), "application/octet-stream");
    SetMimeTypesFile("");
    EXPECT_EQ(ContentTypeFromExtension("game.qrl"), "application/octet-stream");
    EXPECT_EQ(ContentTypeFromExtension("page.HTM"), "text/html");

    // The coding follows the content type.
    TmsAttItem a;
    a.SetFileName("page.html");
    EXPECT_EQ(a.ContentType, "text/html");
    EXPECT_EQ(a.Coding, kCodingQuotedPrintable);
    a.SetFileName("mail.eml");
    EXPECT_EQ(a.Coding, kCodingAsIs);
    a.SetFileName("game.qrl");
    EXPECT_EQ(a.Coding, kCodingBase64);
    a.SetFileName("");
    EXPECT_EQ(a.ContentType, "application/octet-stream"); // unchanged by an empty name
    EXPECT_EQ(CodingForContentType("Text/Plain; charset=x"), kCodingQuotedPrintable);
}

TEST(Addresses, FromText) {
    struct Row {
        std::string text, name, address;
    };
    const std::vector<Row> rows = {
        {"John Smith <js@x.org>", "John Smith", "js@x.org"},
        {"\"J. Smith\" <js@x.org>", "J. Smith", "js@x.org"},
        {"<js@x.org>", "", "js@x.org"},
        {"  \"\"Quoted\"\"  < \"js@x.org\" >", "Quoted", "js@x.org"},
        {"js@x.org (John Smith)", "John Smith", "js@x.org"},
        {"js@x.org", "", "js@x.org"},
        {" js@x.org ", "", "js@x.org"},
    };
    for (const auto& r : rows) {
        TmsMailAddress a = TmsMailAddress::FromText(r.text);
        EXPECT_EQ(a.Name, r.name) << r.text;
        EXPECT_EQ(a.Address, r.address) << r.text;
    }
    try {
        TmsMailAddress::FromText("John <js@x.org");
        FAIL() << "accepted a < without >";
    } catch (const EMessageError& e) {
        EXPECT_STREQ(e.what(), "Unable to parse email address");
    }
    EXPECT_THROW(TmsMailAddress::FromText("John >x< js"), EMessageError);
    EXPECT_EQ(TmsMailAddress(std::string(300, 'n'), "a").Name.size(), 255u);
}

} // namespace
