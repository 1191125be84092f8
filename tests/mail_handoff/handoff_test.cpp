// The hand-off to outside mail programs against hand-built bytes, and the
// copy it files in Sent Mail.
#include "mail/handoff.h"
#include "mail/store.h"
#include "mail_test_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quorel::mail;
namespace fs = std::filesystem;

namespace {

const std::array<std::string, 5> kNames = {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"};

THandoffMessage Sample() {
    THandoffMessage m;
    m.Recipient = "Souto, Ana";
    m.Address = "ana@example.org";
    m.Subject = "[Open (1). Move :   5....Nf6] ";
    m.Body = {"1.e4 e5 *", "", "Jörg´s move"};
    return m;
}

} // namespace

TEST(PegasusHandoff, MessageFileBytes) {
    struct Case {
        const char* name;
        std::vector<std::string> cc, attachments;
        bool saveCopy;
        std::string expectedHead; // the lines between RE: and the empty line
    };
    const Case cases[] = {
        {"no copies, save a copy", {}, {}, true, "CS:1\r\n"},
        {"two copies on one line, no saved copy",
         {"a@x.org", "b@y.org"},
         {},
         false,
         "CC:a@x.org,b@y.org\r\nCS:0\r\n"},
        {"two attachments in list order",
         {},
         {"/home/p/games/GAME.QRL", "/tmp/notes.txt"},
         true,
         "CS:1\r\nAT:/home/p/games/GAME.QRL,Unknown,0\r\nAT:/tmp/notes.txt,Unknown,0\r\n"},
    };
    for (const Case& c : cases) {
        THandoffMessage m = Sample();
        m.CarbonCopies = c.cc;
        m.Attachments = c.attachments;
        m.SaveCopy = c.saveCopy;
        // Windows-1252 bytes: ö = F6, ´ = B4; the comma of the name stays.
        const std::string expected = "*** QUOREL->PEGASUS message file\r\n"
                                     "TO:Souto, Ana <ana@example.org>\r\n"
                                     "SU:[Open (1). Move :   5....Nf6] \r\n"
                                     "RE:me@example.net\r\n" +
                                     c.expectedHead +
                                     "\r\n"
                                     "1.e4 e5 *\r\n"
                                     "\r\n"
                                     "J\xF6rg\xB4s move\r\n";
        EXPECT_EQ(PegasusMessageText(m, "me@example.net"), expected) << c.name;
    }
}

TEST(PegasusHandoff, FileLocationAndCommand) {
    EXPECT_EQ(PegasusMessageFile("/opt/pmail/winpm-32", "/mbox"),
              fs::path("/opt/pmail/quorel.msg"));
    EXPECT_EQ(PegasusMessageFile("pmail", "/mbox"), fs::path("/mbox/quorel.msg"));
    EXPECT_EQ(PegasusCommand("/opt/p mail/winpm", "/opt/p mail/quorel.msg"),
              (std::vector<std::string>{"/opt/p mail/winpm", "-J", "/opt/p mail/quorel.msg"}));

    mailtest::TempDir dir;
    const fs::path file = dir.path() / "quorel.msg";
    mailtest::WriteFile(file, "an older, longer message file\r\n\r\n\r\n");
    ASSERT_TRUE(WritePegasusMessageFile(file, "new\r\n"));
    EXPECT_EQ(mailtest::ReadFile(file), "new\r\n"); // replaced, not appended
    std::string error;
    EXPECT_FALSE(WritePegasusMessageFile(dir.path() / "missing" / "quorel.msg", "x", &error));
    EXPECT_FALSE(error.empty());
}

TEST(DesktopHandoff, ArgumentsAndPathLookup) {
    THandoffMessage m = Sample();
    m.CarbonCopies = {"a@x.org"};
    m.Attachments = {"/g/GAME.QRL"};
    // Every value is one argument of its own: quotes, blanks and "--" inside
    // the subject or body never become options or shell words.
    m.Subject = "--attach /etc/passwd \"x\"";
    EXPECT_EQ(XdgEmailArguments(m),
              (std::vector<std::string>{
                  "--cc", "a@x.org", "--subject", "--attach /etc/passwd \"x\"", "--body",
                  "1.e4 e5 *\n\nJörg´s move", "--attach", "/g/GAME.QRL", "ana@example.org"}));

    mailtest::TempDir dir;
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    mailtest::WriteFile(dir.path() / "a" / "xdg-email", "not executable");
    mailtest::WriteFile(dir.path() / "b" / "xdg-email", "#!/bin/sh\n");
    chmod((dir.path() / "b" / "xdg-email").c_str(), 0755);
    const std::string path = (dir.path() / "a").string() + "::" + (dir.path() / "b").string();
    EXPECT_EQ(FindOnPath("xdg-email", path), (dir.path() / "b" / "xdg-email").string());
    EXPECT_EQ(FindOnPath("xdg-email", (dir.path() / "a").string()), "");
    EXPECT_EQ(FindOnPath("xdg-email", ""), "");
}

TEST(HandoffCopy, FiledInSentMailNewOrOverAChangedQueuedMessage) {
    mailtest::TempDir dir;
    TMailStore store;
    ASSERT_TRUE(store.Open(dir.path(), kNames));

    TmsMessage msg;
    msg.Sender = {"Me", "me@example.net"};
    msg.Recipients.Add("Souto  Ana", "ana@example.org");
    msg.Subject = "[Open (1). Move :   5....Nf6] ";
    msg.Body = {"1.e4 e5 *"};
    AddHandoffNote(msg, {"/g/GAME.QRL", "/tmp/n.txt"}, kPegasusCopyNote);
    EXPECT_EQ(msg.Body, (std::vector<std::string>{"1.e4 e5 *", "",
                                                  "This message contained attachments : ", "",
                                                  "     /g/GAME.QRL", "     /tmp/n.txt", "",
                                                  "Message sent trough Pegasus Mail"}));

    MailboxChanged = false;
    ASSERT_TRUE(FileHandoffCopy(store, msg));
    EXPECT_TRUE(MailboxChanged);
    ASSERT_EQ(store.IndexCount(), 1);
    TMailIndexRecord r;
    ASSERT_TRUE(store.ReadRecord(1, r));
    EXPECT_EQ(r.Folder, kFolderSent);
    EXPECT_EQ(r.SaveCopy, 1);
    EXPECT_EQ(r.AttachmentCount, 0);
    EXPECT_EQ(r.From, "Me");
    EXPECT_EQ(r.To, "Souto  Ana");
    EXPECT_EQ(fs::path(r.FileName).extension(), ".003");
    TmsMessage back;
    back.LoadFromFile(dir.path() / r.FileName);
    EXPECT_EQ(back.Body, msg.Body);
    EXPECT_EQ(back.Attachments.Count(), 0u);
    EXPECT_FALSE(back.Headers.GetFieldValue("Date").empty());
    EXPECT_FALSE(back.Headers.GetFieldValue("Message-ID").empty());

    // A queued message that was being changed: its file and record become
    // the copy; no second record.
    TmsMessage queued = msg;
    queued.Body = {"queued"};
    const fs::path q = store.QueueMessage(queued, true);
    ASSERT_EQ(store.IndexCount(), 2);
    ASSERT_TRUE(FileHandoffCopy(store, msg, q));
    ASSERT_EQ(store.IndexCount(), 2);
    ASSERT_TRUE(store.ReadRecord(2, r));
    EXPECT_EQ(r.FileName, q.filename().string());
    EXPECT_EQ(r.Folder, kFolderSent);
    back.LoadFromFile(q);
    EXPECT_EQ(back.Body.back(), "Message sent trough Pegasus Mail");
}

TEST(SaveToDisk, TextFileWithAndWithoutToHeader) {
    const std::vector<std::string> body = {"1.e4 *", "", "Jörg"};
    EXPECT_EQ(MessageTextFile("ana@example.org", body, true),
              "To: ana@example.org\r\n\r\n1.e4 *\r\n\r\nJ\xF6rg\r\n\r\n");
    EXPECT_EQ(MessageTextFile("ana@example.org", body, false), "1.e4 *\r\n\r\nJ\xF6rg\r\n\r\n");
    EXPECT_EQ(MessageTextFile("a@b", {}, false), "\r\n");
}
