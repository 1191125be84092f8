// The address book against hand-built records, the old list import and the
// countries list.
#include "shell/addressbook.h"
#include "testutil.h"

using namespace quorel;
using namespace shelltest;

namespace {

// One on-disk record (755 bytes + pad) built field by field at its offsets.
std::string HandBuiltRecord(const std::string& name, const std::string& email,
                            const std::string& notes, char unusedFill = 0, char mark = 0) {
    std::string r;
    r += ShortString(name, 80);        // 0
    r += ShortString(email, 80);       // 81
    r += ShortString(notes, 255);      // 162
    r += ShortString("p.bmp", 80);     // 418
    r += ShortString("Main St 1", 40); // 499
    r += ShortString("Prov", 20);      // 540
    r += ShortString("08001", 10);     // 561
    r += ShortString("ESP", 20);       // 572
    r += ShortString("Barcelona", 30); // 593
    EXPECT_EQ(r.size(), 624u);
    r += std::string(130, unusedFill); // 624
    r += mark;                         // 754
    r += '\0';                         // pad
    return r;
}

class AddressBookTest : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path path = dir / "address.lst";
    TAddressBook book;
};

} // namespace

TEST_F(AddressBookTest, ReadsHandBuiltRecordsAtTheirOffsets) {
    WriteBytes(path, HandBuiltRecord("Ana Garc\xED"
                                     "a",
                                     "Ana@Example.org", "plays the Sicilian") +
                         HandBuiltRecord("Bob", "bob@example.org", "", 'U'));
    ASSERT_EQ(book.OpenOrCreate(path), TAddressBook::OpenResult::Opened);
    ASSERT_EQ(book.Count(), 2);
    const TAddressRecord r = book.Get(1);
    EXPECT_EQ(r.Name, "Ana Garc\u00eda");
    EXPECT_EQ(r.Email, "Ana@Example.org");
    EXPECT_EQ(r.Notes, "plays the Sicilian");
    EXPECT_EQ(r.Photo, "p.bmp");
    EXPECT_EQ(r.MailingAddress, "Main St 1");
    EXPECT_EQ(r.State, "Prov");
    EXPECT_EQ(r.Zip, "08001");
    EXPECT_EQ(r.Country, "ESP");
    EXPECT_EQ(r.City, "Barcelona");
    EXPECT_FALSE(r.Deleted);

    const auto rows = book.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Record, 1);
    EXPECT_EQ(rows[0].Text, "Ana Garc\u00eda\tAna@Example.org\tplays the Sicilian");
    EXPECT_EQ(rows[1].Text, "Bob\tbob@example.org\t");
    EXPECT_EQ(book.StatusText("Address Book", "Registers"), "Address Book 2 Registers");

    TAddressRecord found;
    EXPECT_EQ(book.FindByEmail("  ana@EXAMPLE.org ", &found), 1);
    EXPECT_EQ(found.Name, "Ana Garc\u00eda");
    EXPECT_EQ(book.FindByEmail("bob@example.org"), 2);
    EXPECT_EQ(book.Buffered().Name, "Bob"); // the pick stays in the buffer
    EXPECT_EQ(book.FindByEmail("nobody@example.org"), 0);
    EXPECT_EQ(book.FindByEmail(""), 0);
}

TEST_F(AddressBookTest, WritesTheExactBytesAndEditsInPlace) {
    ASSERT_EQ(book.OpenOrCreate(path), TAddressBook::OpenResult::Created);
    TAddressRecord r;
    r.Name = "Ana Garc\u00eda";
    r.Email = "Ana@Example.org";
    r.Notes = "plays the Sicilian";
    r.Photo = "p.bmp";
    r.MailingAddress = "Main St 1";
    r.State = "Prov";
    r.Zip = "08001";
    r.Country = "ESP";
    r.City = "Barcelona";
    EXPECT_EQ(book.Add(r), 1);
    EXPECT_EQ(ReadBytes(path), HandBuiltRecord("Ana Garc\xED"
                                               "a",
                                               "Ana@Example.org", "plays the Sicilian"));

    // Editing keeps the bytes the program does not use.
    book.Close();
    WriteBytes(path, HandBuiltRecord("Old", "old@example.org", "n", 'U'));
    ASSERT_TRUE(book.Open(path));
    TAddressRecord edited = book.Get(1);
    edited.Name = std::string(90, 'N'); // cut to 80
    edited.Notes = "new notes";
    ASSERT_TRUE(book.Update(1, edited));
    EXPECT_EQ(ReadBytes(path),
              HandBuiltRecord(std::string(80, 'N'), "old@example.org", "new notes", 'U'));
    EXPECT_FALSE(book.Update(2, edited));
    EXPECT_FALSE(book.Update(0, edited));
}

TEST_F(AddressBookTest, DeletePacksTheFile) {
    WriteBytes(path, HandBuiltRecord("A", "a@x", "") + HandBuiltRecord("B", "b@x", "") +
                         HandBuiltRecord("C", "c@x", ""));
    ASSERT_TRUE(book.Open(path));
    ASSERT_TRUE(book.Delete(2));
    EXPECT_EQ(ReadBytes(path), HandBuiltRecord("A", "a@x", "") + HandBuiltRecord("C", "c@x", ""));
    EXPECT_FALSE(book.Delete(3));
    ASSERT_TRUE(book.Delete(1));
    ASSERT_TRUE(book.Delete(1));
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_EQ(book.Count(), 0);
    EXPECT_TRUE(book.Rows().empty());
    EXPECT_EQ(book.StatusText("Address Book", "Registers"), "Address Book 0 Registers");
    // Still ours after packing: another writer is refused.
    TAddressBook other;
    EXPECT_EQ(other.OpenOrCreate(path), TAddressBook::OpenResult::Locked);
    EXPECT_TRUE(fs::exists(path));
}

TEST(OldAddressList, SplitRules) {
    const std::string text = "Ana Garcia   ;ana@example.org  \r\n"
                             "Smith, John;john@example.org\r\n" // ';' wins over ','
                             "Bob,bob@example.org\r\n"
                             "no separator here\r\n"
                             "\r\n"
                             ";only@address\n"
                             "Jos\xE9;jose@example.org";
    const auto entries = ParseOldAddressList(text);
    struct {
        const char *name, *email;
    } expected[] = {{"Ana Garcia", "ana@example.org"},
                    {"Smith, John", "john@example.org"},
                    {"Bob", "bob@example.org"},
                    {"", "only@address"},
                    {"Jos\u00e9", "jose@example.org"}};
    ASSERT_EQ(entries.size(), std::size(expected));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].Name, expected[i].name);
        EXPECT_EQ(entries[i].Email, expected[i].email);
    }
}

TEST_F(AddressBookTest, ImportAndSampleEntry) {
    ASSERT_EQ(book.OpenOrCreate(path), TAddressBook::OpenResult::Created);
    book.Add(TAddressBook::SampleEntry("/prog"));
    EXPECT_EQ(book.ImportOldList({{std::string(100, 'L'), "l@x"}, {"B", "b@x"}}, "/prog"), 2);
    ASSERT_EQ(book.Count(), 3);
    EXPECT_EQ(book.Get(1).Photo, "/prog/vignet.bmp");
    const TAddressRecord imported = book.Get(2);
    EXPECT_EQ(imported.Name, std::string(80, 'L'));
    EXPECT_EQ(imported.Notes, "Imported");
    EXPECT_EQ(imported.Photo, "/prog/unknown.bmp");
    // Fields the import leaves empty are empty strings with zero bytes.
    EXPECT_EQ(ReadBytes(path).substr(756 + 499, 41), std::string(41, '\0'));
    // A program folder too long for the photo field keeps the bare name.
    EXPECT_EQ(TAddressBook::SampleEntry("/" + std::string(80, 'd')).Photo, "vignet.bmp");
}

TEST(Countries, TheFixedListInItsOrder) {
    EXPECT_EQ(kCountries.size(), 152u);
    EXPECT_STREQ(kCountries.front(), "AFG\\ Afghanistan");
    EXPECT_STREQ(kCountries[1], "AIR\\ Aboard aircraft");
    EXPECT_STREQ(kCountries[92], "NET\\ The Internet");
    EXPECT_STREQ(kCountries[108], "PRC\\ People's Republic of China");
    EXPECT_STREQ(kCountries.back(), "ZRE\\ Zaire");
    for (const char* c : kCountries) {
        const std::string s(c);
        EXPECT_EQ(s.substr(3, 2), "\\ ") << s;
        EXPECT_EQ(CountryCode(s).size(), 3u);
    }
    EXPECT_EQ(CountryCode(kCountries[39]), "ESP");
}
