// The store of filed message ids: the file's exact bytes, reading it back,
// UIDVALIDITY changes and accounts kept apart.
#include "mail/uidstore.h"
#include "platform/files.h"

#include <gtest/gtest.h>

using namespace quorel::mail;
namespace fs = std::filesystem;

namespace {
fs::path Folder(const char* name) {
    fs::path p = fs::path(QUOREL_BINARY_DIR) / "mail_imap_tmp" / name;
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}
} // namespace

TEST(UidStore, WritesReadsAndKeepsAccountsApart) {
    fs::path dir = Folder("store");
    TUidStore s;
    ASSERT_TRUE(s.Load(dir)); // no file yet: empty
    const std::string imap = TUidStore::AccountKey("IMAP", "Imap.Example.ORG", 993, "José Pérez");
    const std::string pop = TUidStore::AccountKey("POP3", "pop.example.org", 995, "jose");
    EXPECT_EQ(imap, "IMAP imap.example.org 993 Jos%C3%A9%20P%C3%A9rez");
    EXPECT_FALSE(s.SetUidValidity(imap, 1700000000)); // the first value is no change
    s.Remember(imap, "17");
    s.Remember(imap, "4");
    s.Remember(pop, "00000001 4f2a%x"); // a UIDL holding what the file cannot
    ASSERT_TRUE(s.Save());

    std::string text;
    ASSERT_TRUE(quorel::ReadWholeFile(dir / "uids.lst", text));
    EXPECT_EQ(text, "# Quorel: messages already filed, per mail account\r\n"
                    "A IMAP imap.example.org 993 Jos%C3%A9%20P%C3%A9rez\r\n"
                    "V 1700000000\r\n"
                    "U 17\r\n"
                    "U 4\r\n"
                    "A POP3 pop.example.org 995 jose\r\n"
                    "U 00000001%204f2a%25x\r\n");

    // Read back, with a damaged line and a foreign line in between.
    text.insert(text.find("U 17"), "garbage line\r\nU with blank\r\nX 1\r\n");
    ASSERT_TRUE(quorel::AtomicWriteFile(dir / "uids.lst", text));
    TUidStore r;
    ASSERT_TRUE(r.Load(dir));
    EXPECT_TRUE(r.Known(imap, "17"));
    EXPECT_TRUE(r.Known(imap, "4"));
    EXPECT_FALSE(r.Known(imap, "5"));
    EXPECT_FALSE(r.Known(pop, "17"));
    EXPECT_TRUE(r.Known(pop, "00000001 4f2a%x"));
    EXPECT_EQ(r.UidValidity(imap), 1700000000u);
    // Same server and user on another port, or another user: another account.
    EXPECT_FALSE(
        r.Known(TUidStore::AccountKey("IMAP", "imap.example.org", 143, "José Pérez"), "4"));
    EXPECT_FALSE(r.Known(TUidStore::AccountKey("IMAP", "imap.example.org", 993, "jose"), "4"));
    EXPECT_EQ(r.Count(imap), 2u);

    // Appended ids: read back with the rest; a last line cut short by a
    // crash ("U 1" of "U 12") does not count as filed.
    ASSERT_TRUE(r.Add(pop, "uid-9"));
    std::string appended;
    ASSERT_TRUE(quorel::ReadWholeFile(dir / "uids.lst", appended));
    EXPECT_EQ(appended.substr(text.size()), "A POP3 pop.example.org 995 jose\r\nU uid-9\r\n");
    ASSERT_TRUE(quorel::AppendToFile(dir / "uids.lst", "A POP3 pop.example.org 995 jose\r\nU 1"));
    TUidStore a;
    ASSERT_TRUE(a.Load(dir));
    EXPECT_TRUE(a.Known(pop, "uid-9"));
    EXPECT_TRUE(a.Known(pop, "00000001 4f2a%x"));
    EXPECT_FALSE(a.Known(pop, "1"));
}

TEST(UidStore, NewUidValidityForgetsAndListingPrunes) {
    fs::path dir = Folder("validity");
    TUidStore s;
    ASSERT_TRUE(s.Load(dir));
    const std::string a = TUidStore::AccountKey("IMAP", "h", 143, "u");
    s.SetUidValidity(a, 7);
    for (const char* u : {"1", "2", "3"})
        s.Remember(a, u);
    EXPECT_FALSE(s.SetUidValidity(a, 7));
    EXPECT_EQ(s.Count(a), 3u);
    s.KeepOnly(a, {"2", "3", "9"}); // 1 left the server
    EXPECT_FALSE(s.Known(a, "1"));
    EXPECT_TRUE(s.Known(a, "2"));
    EXPECT_TRUE(s.SetUidValidity(a, 8)); // renumbered: nothing is known any more
    EXPECT_EQ(s.Count(a), 0u);
    ASSERT_TRUE(s.Save());
    TUidStore r;
    ASSERT_TRUE(r.Load(dir));
    EXPECT_EQ(r.UidValidity(a), 8u);
    EXPECT_EQ(r.Count(a), 0u);
}
