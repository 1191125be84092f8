// Untrusted input: mutated settings files, language tables, address books
// and password files are read without crashing and with bounded results.
#include "platform/files.h"
#include "shell/addressbook.h"
#include "shell/ini.h"
#include "shell/lang/langtable.h"
#include "shell/profile.h"
#include "shell/settings.h"
#include "testutil.h"

#include <random>

using namespace quorel;
using namespace shelltest;

namespace {
// Byte-level mutations of text with a fixed seed: flips, insertions of
// structural characters, deletions and truncation.
std::vector<std::string> Mutations(const std::string& seed, int count) {
    std::mt19937 rng(12345);
    const std::string structural = "[]=;\"\r\n~#\\\xC3\xFF ";
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        std::string s = seed;
        const int edits = 1 + int(rng() % 6);
        for (int e = 0; e < edits && !s.empty(); ++e) {
            const size_t at = rng() % s.size();
            switch (rng() % 4) {
            case 0:
                s[at] = char(rng() % 256);
                break;
            case 1:
                s.insert(at, 1, structural[rng() % structural.size()]);
                break;
            case 2:
                s.erase(at, 1 + rng() % 8);
                break;
            case 3:
                s.resize(at);
                break;
            }
        }
        out.push_back(s);
    }
    return out;
}
} // namespace

TEST(Robustness, MutatedSettingsFilesReadWithinBounds) {
    const std::string seed = "[Setup]\r\nLanguage=3\r\nMail_Viewer_Font=Courier New\r\n"
                             "Editor_Font_Size=12\r\n[REBEL]\r\nRebel_engine_hash_size=4\r\n";
    for (const std::string& text : Mutations(seed, 400)) {
        TIniFile ini = TIniFile::FromText(text);
        const TSettings s = TSettings::Read(ini);
        EXPECT_GE(s.Language, 0);
        EXPECT_LE(s.Language, 6);
        EXPECT_LE(s.RebelEngineHashSize, 6);
        EXPECT_GE(s.RebelEngineHashSize, 0);
        // A rewrite keeps every line it did not touch.
        const size_t before = ini.Lines().size();
        ini.WriteString("Setup", "Language", "1");
        EXPECT_LE(ini.Lines().size(), before + 3);
        EXPECT_EQ(TSettings::Read(ini).Language, 1);
    }
}

TEST(Robustness, MutatedLanguageTablesParseOrNameTheirLine) {
    const TLangTable* table = FindLangTable("TAddressDialog");
    ASSERT_NE(table, nullptr);
    std::string seed;
    ASSERT_TRUE(
        ReadWholeFile(fs::path(QUOREL_SOURCE_DIR) / "shell/lang/tables/TAddressDialog.lng", seed));
    int refused = 0;
    for (const std::string& text : Mutations(seed, 400)) {
        try {
            const TLangTable t = ParseLangTable("TAddressDialog", "TAddressDialog.lng", text);
            EXPECT_EQ(t.words.size(), t.EntryCount() * 8);
        } catch (const ELangTableError& e) {
            ++refused;
            EXPECT_GE(e.Line(), 1);
            EXPECT_EQ(std::string(e.what()).rfind("TAddressDialog.lng:", 0), 0u);
        }
    }
    EXPECT_GT(refused, 100); // most mutations break the strict layout
}

TEST(Robustness, OversizedLengthBytesStayInsideTheirFields) {
    TempDir dir;
    std::string rec(756, 'x');
    for (size_t off : {0, 81, 162, 418, 499, 540, 561, 572, 593})
        rec[off] = '\xFF';
    rec[754] = 0;
    WriteBytes(dir / "address.lst", rec);
    TAddressBook book;
    ASSERT_TRUE(book.Open(dir / "address.lst"));
    const TAddressRecord r = book.Get(1);
    EXPECT_EQ(r.Name, std::string(80, 'x'));
    EXPECT_EQ(r.Notes, std::string(255, 'x'));
    EXPECT_EQ(r.Zip, std::string(10, 'x'));
    EXPECT_EQ(r.City, std::string(30, 'x'));
    // Password records of any length decode without reading past the data.
    for (size_t n = 0; n < 8; ++n)
        DecodePasswordRecord(std::string(n, '\xFF'));
    EXPECT_EQ(DecodePasswordRecord(std::string(1, '\xFF')), "");
}
