#include "platform/binary.h"
#include "platform/codepage.h"

#include <gtest/gtest.h>

using namespace quorel;

TEST(CodePage, RoundTripsEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    std::string utf8 = Cp1252ToUtf8(all);
    EXPECT_EQ(Utf8ToCp1252(utf8), all);
}

TEST(CodePage, KnownCharacters) {
    struct Row {
        const char* utf8;
        const char* cp;
    } rows[] = {
        {"\xE2\x82\xAC", "\x80"}, // euro sign
        {"\xC3\xB1", "\xF1"},     // n with tilde
        {"\xC3\x87", "\xC7"},     // C cedilla
        {"\xE2\x80\x9C", "\x93"}, // left double quotation mark
        {"\xC5\x93", "\x9C"},     // oe ligature
        {"plain ascii", "plain ascii"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Utf8ToCp1252(r.utf8), r.cp) << r.utf8;
        EXPECT_EQ(Cp1252ToUtf8(r.cp), r.utf8) << r.utf8;
    }
}

TEST(CodePage, UnmappableAndMalformedBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");         // CJK
    EXPECT_EQ(Utf8ToCp1252("a\xF0\x9F\x98\x80z"), "a?z"); // emoji, 4 bytes
    EXPECT_EQ(Utf8ToCp1252("a\xC3z"), "a?z");             // truncated sequence
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");            // overlong '/'
    EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");       // surrogate
    EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");                 // cut at the end
}

TEST(CodePage, LettersOutsideTheCodePageAreTransliteratedAndReported) {
    struct Row {
        const char* utf8;
        const char* cp;
        bool changed;
    } rows[] = {
        // Windows-1252 keeps its own accented letters (o acute) as they are.
        {"\xC5\x81ukasz, \xC5\xBB\xC3\xB3\xC5\x82\xC4\x87", "Lukasz, Z\xF3lc", true},
        {"Erd\xC5\x91s, \xC8\x98tefan", "Erdos, Stefan", true},
        {"\xD0\xAF", "YA", true},                                // Cyrillic capital ya
        {"\xE4\xB8\xAD", "?", true},                             // CJK: no letters to give
        {"a\xC3z", "a?z", true},                                 // malformed
        {"M\xC3\xBCller \xE2\x82\xAC", "M\xFCller \x80", false}, // all in the code page
        {"plain", "plain", false},
    };
    for (const Row& r : rows) {
        bool changed = false;
        EXPECT_EQ(Utf8ToCp1252(r.utf8, &changed), r.cp) << r.utf8;
        EXPECT_EQ(changed, r.changed) << r.utf8;
        EXPECT_EQ(NeedsTransliteration(r.utf8), r.changed) << r.utf8;
    }
}

TEST(CodePage, CaseHelpersTouchOnlyAscii) {
    EXPECT_TRUE(EqualNoCase("Game.QRL", "game.qrl"));
    EXPECT_FALSE(EqualNoCase("game.qrl", "game.qr"));
    EXPECT_FALSE(EqualNoCase("\xC3\xB1", "\xC3\x91")); // n/N tilde are not folded
    EXPECT_EQ(AsciiUpper("e4-\xC3\xB1"), "E4-\xC3\xB1");
}

TEST(ShortString, LayoutCutAndPadding) {
    uint8_t buf[8];
    std::memset(buf, 0xAA, sizeof buf);
    PutShortString(buf, 6,
                   "Espa\xC3\xB1"
                   "a 1999");
    // Cut to 6 bytes after conversion: "Espa\xF1a".
    const uint8_t expect[7] = {6, 'E', 's', 'p', 'a', 0xF1, 'a'};
    EXPECT_EQ(0, std::memcmp(buf, expect, 7));
    EXPECT_EQ(buf[7], 0xAA) << "wrote past its field";
    EXPECT_EQ(GetShortString(buf, 6), "Espa\xC3\xB1"
                                      "a");

    PutShortString(buf, 6, "ab");
    const uint8_t shortExpect[7] = {2, 'a', 'b', 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(buf, shortExpect, 7));
}

TEST(ShortString, LengthByteAboveCapacityIsClamped) {
    const uint8_t bad[5] = {200, 'a', 'b', 'c', 'd'};
    EXPECT_EQ(GetShortString(bad, 4), "abcd");
}

TEST(Binary, LittleEndianFields) {
    uint8_t b[8] = {};
    PutU16(b, 0x4235);
    EXPECT_EQ(b[0], 0x35);
    EXPECT_EQ(b[1], 0x42);
    PutI16(b, -2);
    EXPECT_EQ(GetI16(b), -2);
    PutI32(b, -123456);
    EXPECT_EQ(GetI32(b), -123456);
    PutDouble(b, 36526.5);
    const uint8_t expect[8] = {0, 0, 0, 0, 0xD0, 0xD5, 0xE1, 0x40}; // 36526.5 as IEEE double
    EXPECT_EQ(0, std::memcmp(b, expect, 8));
    EXPECT_DOUBLE_EQ(GetDouble(expect), 36526.5);
}
