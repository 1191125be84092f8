// The mailbox store against hand-built index bytes.
#include "mail/store.h"
#include "mail_test_util.h"
#include "platform/datetime.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <regex>
#include <set>

using namespace quorel::mail;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

const std::array<std::string, 5> kNames = {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"};

void PutStr(Bytes& b, size_t at, const std::string& s) {
    b[at] = uint8_t(s.size());
    std::memcpy(&b[at + 1], s.data(), s.size());
}

// One mail.lst record as it lies on disk (158 bytes), built by hand.
Bytes IndexBytes(const std::string& from, const std::string& to, const std::string& subject,
                 const std::string& file, uint8_t atts, double date, uint8_t saveCopy,
                 int32_t folder, uint8_t deleted = 0) {
    Bytes b(158, 0);
    PutStr(b, 0, from);
    PutStr(b, 26, to);
    PutStr(b, 52, subject);
    PutStr(b, 113, file);
    b[126] = atts;
    std::memcpy(&b[129], &date, 8);
    b[137] = saveCopy;
    std::memcpy(&b[138], &folder, 4); // the test host is little-endian
    b[156] = deleted;
    return b;
}

Bytes FolderBytes(const std::string& name, int32_t number) {
    Bytes b(156, 0);
    PutStr(b, 0, name);
    std::memcpy(&b[101], &number, 4);
    return b;
}

void WriteBytes(const fs::path& p, const std::vector<Bytes>& records) {
    std::string data;
    for (const auto& r : records)
        data.append(reinterpret_cast<const char*>(r.data()), r.size());
    mailtest::WriteFile(p, data);
}

Bytes FileBytes(const fs::path& p) {
    std::string s = mailtest::ReadFile(p);
    return Bytes(s.begin(), s.end());
}

std::string SimpleMessage(const std::string& from, const std::string& subject) {
    return mailtest::Crlf("From: " + from + "\nTo: Ann <ann@x.org>\nSubject: " + subject +
                          "\n\nbody\n");
}

TmsMessage Msg(const std::string& name, const std::string& address, const std::string& to) {
    TmsMessage m;
    m.Sender = {name, address};
    m.Recipients.Add(to, to.empty() ? "" : "to@x.org");
    if (to.empty()) m.Recipients[0].Address = "noname@x.org";
    m.Subject = "Subject of " + address;
    m.Body = {"hello"};
    return m;
}

TEST(StoreRecords, IndexLayoutBothWays) {
    const Bytes hand =
        IndexBytes("M\xfcller", "Bob", "Hi there", "12345678.032", 2, 45000.75, 1, 11);
    TMailIndexRecord r = TMailIndexRecord::FromBytes(hand.data());
    EXPECT_EQ(r.From, "Müller"); // Windows-1252 on disk
    EXPECT_EQ(r.To, "Bob");
    EXPECT_EQ(r.Subject, "Hi there");
    EXPECT_EQ(r.FileName, "12345678.032");
    EXPECT_EQ(r.AttachmentCount, 2);
    EXPECT_EQ(r.Date, 45000.75);
    EXPECT_EQ(r.SaveCopy, 1);
    EXPECT_EQ(r.Folder, 11);
    EXPECT_FALSE(r.Deleted);
    Bytes out(157, 0xEE);
    r.ToBytes(out.data());
    EXPECT_EQ(out, Bytes(hand.begin(), hand.begin() + 157));

    // Long texts are cut to their capacity; the reserved bytes stay zero.
    r.From = std::string(40, 'f');
    r.Subject = std::string(70, 's');
    r.Deleted = true;
    r.ToBytes(out.data());
    EXPECT_EQ(out[0], 25);
    EXPECT_EQ(out[52], 60);
    EXPECT_EQ(out[156], 1);
    for (size_t i : {127, 128, 142, 150, 155})
        EXPECT_EQ(out[i], 0) << i;

    const Bytes folder = FolderBytes("Games 2026", -3);
    TFolderRecord f = TFolderRecord::FromBytes(folder.data());
    EXPECT_EQ(f.Name, "Games 2026");
    EXPECT_EQ(f.Number, -3);
    Bytes fout(155, 0xEE);
    f.ToBytes(fout.data());
    EXPECT_EQ(fout, Bytes(folder.begin(), folder.begin() + 155));
}

TEST(Store, OpenCreatesTheFiveFolders) {
    mailtest::TempDir dir;
    {
        TMailStore s;
        ASSERT_TRUE(s.Open(dir.path(), kNames));
        EXPECT_EQ(s.IndexCount(), 0);
        EXPECT_EQ(s.QueuedCount(), 0);
        // A second writer is refused while the store is open.
        TMailStore other;
        EXPECT_FALSE(other.Open(dir.path(), kNames));
        EXPECT_TRUE(other.IndexLocked());
    }
    EXPECT_EQ(fs::file_size(dir.path() / "mail.lst"), 0u);
    const Bytes folders = FileBytes(dir.path() / "folder.lst");
    Bytes expected;
    for (int i = 0; i < 5; ++i) {
        Bytes r = FolderBytes(kNames[size_t(i)], i + 1);
        expected.insert(expected.end(), r.begin(), r.end());
    }
    EXPECT_EQ(folders, expected);
    // An existing folder.lst is kept as it is.
    TMailStore s;
    ASSERT_TRUE(s.Open(dir.path(), {"A", "B", "C", "D", "E"}));
    const std::array<std::string, 4> shown = {"Neu", "Ausgang", "Gesendet", "Papierkorb"};
    auto entries = s.FolderEntries(&shown);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].Text(), "Neu [0]");
    EXPECT_EQ(entries[4].Text(), "?? [0]");
}

TEST(Store, QueueFileCountAndFind) {
    mailtest::TempDir dir;
    TMailStore s;
    ASSERT_TRUE(s.Open(dir.path(), kNames));
    MailboxChanged = false;
    fs::path q1 = s.QueueMessage(Msg("Me", "me@x.org", "Opponent"), true);
    EXPECT_TRUE(MailboxChanged);
    EXPECT_TRUE(std::regex_match(q1.filename().string(), std::regex("[0-9]{8}\\.032")));
    EXPECT_EQ(fs::file_size(dir.path() / "mail.lst"), 158u);
    fs::path q2 = s.QueueMessage(Msg("", "me@x.org", ""), false);
    EXPECT_EQ(fs::file_size(dir.path() / "mail.lst"), 316u);
    fs::path r1 = s.FileReceivedMessage(Msg("", "them@x.org", ""));
    EXPECT_EQ(fs::file_size(dir.path() / "mail.lst"), 474u);

    const Bytes idx = FileBytes(dir.path() / "mail.lst");
    TMailIndexRecord a = TMailIndexRecord::FromBytes(&idx[0]);
    TMailIndexRecord b = TMailIndexRecord::FromBytes(&idx[158]);
    TMailIndexRecord c = TMailIndexRecord::FromBytes(&idx[316]);
    EXPECT_EQ(a.From, "Me");
    EXPECT_EQ(a.To, "Opponent");
    EXPECT_EQ(a.Folder, 2);
    EXPECT_EQ(a.SaveCopy, 1);
    EXPECT_EQ(a.FileName, q1.filename().string());
    EXPECT_NEAR(a.Date, quorel::Now(), 0.01);
    EXPECT_EQ(b.From, "me@x.org");   // address when the name is empty
    EXPECT_EQ(b.To, "noname@x.org"); // queued: address when the name is empty
    EXPECT_EQ(b.SaveCopy, 0);
    EXPECT_EQ(c.From, "them@x.org");
    EXPECT_EQ(c.To, ""); // received: the name only
    EXPECT_EQ(c.Folder, 1);
    EXPECT_EQ(idx[157], 0); // pad byte

    EXPECT_EQ(s.CountOf(kFolderQueued), 2);
    EXPECT_EQ(s.QueuedCount(), 2);
    EXPECT_EQ(s.CountOf(kFolderNew), 1);
    EXPECT_EQ(s.CountOf(kFolderTrash), 0);

    // Find by file name: case-insensitive; a miss keeps the current record.
    std::string upper = r1.filename().string();
    for (char& ch : upper)
        ch = char(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_EQ(s.FindByFileName(upper), 3);
    s.Index().Go(2);
    EXPECT_EQ(s.FindByFileName("99999999.032"), 0);
    EXPECT_EQ(s.Index().Current(), 2);
    EXPECT_EQ(s.FindByFolder(kFolderNew), 3);
    EXPECT_EQ(s.FindByFolder(77), 0);
    EXPECT_EQ(s.GetFileName(1), q1);

    // Changing a queued message overwrites its file and its record.
    TmsMessage changed = Msg("Me", "me@x.org", "Other");
    changed.Subject = "changed";
    EXPECT_EQ(s.QueueMessage(changed, false, q1.filename()), q1);
    EXPECT_EQ(s.IndexCount(), 3);
    TMailIndexRecord again;
    ASSERT_TRUE(s.ReadRecord(1, again));
    EXPECT_EQ(again.Subject, "changed");
    EXPECT_EQ(again.SaveCopy, 0);
    TmsMessage loaded;
    loaded.LoadFromFile(q1);
    EXPECT_EQ(loaded.Subject, "changed");
}

TEST(Store, NoRecordWithoutItsFile) {
    mailtest::TempDir dir;
    TMailStore s;
    ASSERT_TRUE(s.Open(dir.path(), kNames));
    // The message file cannot be written (a folder holds its name): the
    // operation fails and the index does not name a missing file.
    fs::create_directory(dir.path() / "12345678.032");
    EXPECT_THROW(s.QueueMessage(Msg("A", "a@x.org", "B"), true, "12345678.032"), EMessageError);
    EXPECT_EQ(s.IndexCount(), 0);
    EXPECT_EQ(fs::file_size(dir.path() / "mail.lst"), 0u);
}

TEST(Store, SendQueueBookkeeping) {
    mailtest::TempDir dir;
    TMailStore s;
    ASSERT_TRUE(s.Open(dir.path(), kNames));
    fs::path deleteAfter = s.QueueMessage(Msg("A", "a@x.org", "1"), false);
    fs::path received = s.FileReceivedMessage(Msg("R", "r@x.org", ""));
    fs::path keepCopy = s.QueueMessage(Msg("B", "b@x.org", "2"), true);
    fs::path refused = s.QueueMessage(Msg("C", "c@x.org", "3"), true);
    fs::path later = s.QueueMessage(Msg("D", "d@x.org", "4"), false);

    std::vector<std::string> sent;
    TmsMessage msg;
    TSendResult res = s.SendQueue(msg, [&](TmsMessage& m, const TMailIndexRecord&) {
        sent.push_back(m.Sender.Address);
        return m.Sender.Address != "c@x.org"; // the server refuses the third
    });
    EXPECT_EQ(sent, (std::vector<std::string>{"a@x.org", "b@x.org", "c@x.org"}));
    EXPECT_EQ(res.Sent, 2);
    EXPECT_FALSE(res.Completed);
    EXPECT_TRUE(res.Packed);
    EXPECT_FALSE(fs::exists(deleteAfter));
    EXPECT_TRUE(fs::exists(keepCopy));
    EXPECT_EQ(fs::file_size(dir.path() / "mail.lst"), 4u * 158u);
    auto all = s.AllRecords();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].second.FileName, received.filename().string());
    EXPECT_EQ(all[1].second.Folder, kFolderSent);
    EXPECT_EQ(all[2].second.Folder, kFolderQueued);
    EXPECT_EQ(all[3].second.Folder, kFolderQueued);
    EXPECT_EQ(s.QueuedCount(), 2);

    // A second pass sends the rest.
    res = s.SendQueue(msg, [](TmsMessage&, const TMailIndexRecord&) { return true; });
    EXPECT_EQ(res.Sent, 2);
    EXPECT_TRUE(res.Completed);
    EXPECT_TRUE(res.Packed); // "later" had SaveCopy 0
    EXPECT_FALSE(fs::exists(later));
    EXPECT_EQ(s.QueuedCount(), 0);
    EXPECT_EQ(s.CountOf(kFolderSent), 2);
}

TEST(Store, FoldersAndDeleting) {
    mailtest::TempDir dir;
    TMailStore s;
    ASSERT_TRUE(s.Open(dir.path(), kNames));
    EXPECT_EQ(s.NewFolderNumber(), 11);
    EXPECT_EQ(s.AddFolder("Club games"), 11);
    EXPECT_EQ(s.AddFolder(std::string(150, 'x')), 12);
    EXPECT_EQ(s.FolderEntries()[6].Name.size(), 100u);
    EXPECT_FALSE(s.RenameFolder(kFolderSent, "x"));
    EXPECT_TRUE(s.RenameFolder(kFolderTrash, "Bin")); // renamed but shown as Trash
    EXPECT_TRUE(s.RenameFolder(11, "Club"));
    EXPECT_FALSE(s.DeleteFolder(kFolderTrash));

    fs::path f = s.FileReceivedMessage(Msg("A", "a@x.org", ""));
    ASSERT_TRUE(s.MoveMessage(1, 11));
    EXPECT_EQ(s.CountOf(11), 1);
    ASSERT_TRUE(s.DeleteFolder(11)); // its messages are deleted, not moved
    EXPECT_FALSE(fs::exists(f));
    EXPECT_EQ(s.IndexCount(), 0);
    EXPECT_EQ(s.AddFolder("again"), 11);

    // Deleting in New Mail moves to Trash; in Trash it removes file and record.
    fs::path g = s.FileReceivedMessage(Msg("B", "b@x.org", ""));
    ASSERT_TRUE(s.DeleteMessage(1));
    EXPECT_EQ(s.CountOf(kFolderTrash), 1);
    EXPECT_TRUE(fs::exists(g));
    ASSERT_TRUE(s.DeleteMessage(1));
    EXPECT_FALSE(fs::exists(g));
    ASSERT_TRUE(s.PackIndex());
    EXPECT_EQ(s.IndexCount(), 0);

    while (s.Folders().Count() < kMaxFolders)
        ASSERT_GT(s.AddFolder("f"), 0);
    EXPECT_EQ(s.AddFolder("one too many"), 0);
}

TEST(Store, RebuildIndexFromHandBuiltBytes) {
    mailtest::TempDir dir;
    const fs::path box = dir.path();
    // Files: two in old extensions, one indexed under a vanished folder, one
    // indexed with folder 0, one unindexed, one empty (unreadable) file, and
    // a file that is not part of the mailbox.
    mailtest::WriteFile(box / "00000001.000", SimpleMessage("Old New <on@x.org>", "old new"));
    mailtest::WriteFile(box / "00000002.002", SimpleMessage("<oq@x.org>", "old queued"));
    mailtest::WriteFile(box / "11111111.032", SimpleMessage("a@x.org", "lost folder"));
    mailtest::WriteFile(box / "33333333.032", SimpleMessage("c@x.org", "folder zero"));
    mailtest::WriteFile(box / "55555555.032", SimpleMessage("Fresh <f@x.org>", "unindexed"));
    mailtest::WriteFile(box / "44444444.032", "");
    mailtest::WriteFile(box / "notes.txt", "not mail");
    WriteBytes(box / "mail.lst",
               {IndexBytes("a", "", "lost folder", "11111111.032", 0, 45000, 0, 42),
                IndexBytes("b", "", "file gone", "22222222.032", 0, 45001, 0, 1),
                IndexBytes("c", "", "folder zero", "33333333.032", 0, 45002, 0, 0),
                IndexBytes("d", "", "old new", "00000001.000", 1, 45003, 0, 4)});
    WriteBytes(box / "folder.lst", {FolderBytes("N", 1), FolderBytes("Q", 2), FolderBytes("S", 3),
                                    FolderBytes("T", 4), FolderBytes("??", 5)});

    TMailStore s;
    ASSERT_TRUE(s.Open(box, kNames));
    EXPECT_TRUE(s.NeedsRebuild());
    long progressTotal = 0, progressLast = 0;
    TRebuildCallbacks cb;
    cb.Progress = [&](long done, long total) {
        progressTotal = total;
        progressLast = done;
    };
    cb.Text = [](const std::string& key) {
        return key == "@ErrorLoading" ? std::string("Fehler beim Laden") : key;
    };
    auto messages = s.RebuildIndex(cb);
    EXPECT_EQ(progressTotal, 6);
    EXPECT_EQ(progressLast, 6);
    EXPECT_EQ(messages, std::vector<std::string>{"Fehler beim Laden 44444444.032"});

    // The unreadable file now has a new ".ERR" name and no record.
    auto errs = quorel::ListFilesMatching(box, "*.ERR");
    ASSERT_EQ(errs.size(), 1u);
    EXPECT_TRUE(std::regex_match(errs[0].filename().string(), std::regex("[0-9]{8}\\.ERR")));
    EXPECT_FALSE(fs::exists(box / "44444444.032"));
    EXPECT_FALSE(fs::exists(box / "00000001.000"));
    EXPECT_FALSE(fs::exists(box / "00000002.002"));

    std::map<std::string, TMailIndexRecord> bySubject;
    for (auto& [n, r] : s.AllRecords())
        bySubject[r.Subject] = r;
    ASSERT_EQ(bySubject.size(), 5u);
    EXPECT_EQ(bySubject.count("file gone"), 0u);
    EXPECT_EQ(bySubject["lost folder"].Folder, 5);
    EXPECT_EQ(bySubject["folder zero"].Folder, 5);
    // The indexed old file keeps its record: folder from the extension, new name.
    EXPECT_EQ(bySubject["old new"].Folder, 1);
    EXPECT_EQ(bySubject["old new"].From, "d");
    EXPECT_TRUE(std::regex_match(bySubject["old new"].FileName, std::regex("[0-9]{8}\\.032")));
    EXPECT_TRUE(fs::exists(box / bySubject["old new"].FileName));
    // The unindexed old file is loaded: folder 2 from ".002".
    EXPECT_EQ(bySubject["old queued"].Folder, 2);
    EXPECT_EQ(bySubject["old queued"].From, "oq@x.org");
    EXPECT_EQ(bySubject["old queued"].To, "Ann");
    EXPECT_TRUE(fs::exists(box / bySubject["old queued"].FileName));
    // A plain unindexed file goes to "??" with its modification time.
    EXPECT_EQ(bySubject["unindexed"].Folder, 5);
    EXPECT_EQ(bySubject["unindexed"].From, "Fresh");
    EXPECT_NEAR(bySubject["unindexed"].Date, quorel::Now(), 0.01);
    EXPECT_FALSE(s.NeedsRebuild());

    // An empty mailbox truncates the index.
    for (const auto& p : quorel::ListFilesMatching(box, "*.0??"))
        fs::remove(p);
    s.RebuildIndex();
    EXPECT_EQ(s.IndexCount(), 0);
    EXPECT_EQ(fs::file_size(box / "mail.lst"), 0u);
}

TEST(Store, MessageListLines) {
    TMailIndexRecord r;
    r.From = "Opponent";
    r.To = "Me";
    r.Subject = "Game 7";
    r.Date = quorel::EncodeDate(2026, 3, 5) + quorel::EncodeTime(14, 7, 0);
    auto pad = [](std::string s, size_t n) {
        s.resize(n, ' ');
        return s;
    };
    EXPECT_EQ(MessageListLine(r, "Player"),
              pad("Opponent", 25) + "\t" + pad("Game 7", 40) + "\t" + pad("03.05.26 14:07", 20));
    EXPECT_EQ(MessageListLine(r, "Opponent").substr(0, 25), pad("To: Me", 25));
    r.From = "";
    EXPECT_EQ(MessageListLine(r, "").substr(0, 25), pad("??", 25));
    r.From = std::string(30, 'w');
    r.AttachmentCount = 1;
    r.Subject = std::string(58, 's');
    const std::string line = MessageListLine(r, "x");
    EXPECT_EQ(line.substr(0, 26), std::string(25, 'w') + "\t");
    EXPECT_EQ(line.substr(26, 41), std::string(40, 's') + "\t"); // " [attch]" cut away
    r.Subject = "Move";
    EXPECT_EQ(MessageListLine(r, "x").substr(26, 40), pad("Move [attch]", 40));
    r.From = "Müller";
    EXPECT_EQ(MessageListLine(r, "x").substr(0, 27), "Müller" + std::string(19, ' ') + "\t");
}

TEST(Store, NewMessageFileNames) {
    mailtest::TempDir dir;
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        fs::path p = NewMessageFileName(dir.path(), "032");
        const std::string n = p.filename().string();
        ASSERT_TRUE(std::regex_match(n, std::regex("[0-9]{8}\\.032"))) << n;
        EXPECT_LT(std::stoi(n.substr(0, 5)), 60000);
        EXPECT_LT(std::stoi(n.substr(5, 3)), 999);
        EXPECT_EQ(p.parent_path(), dir.path());
        EXPECT_FALSE(fs::exists(p));
        mailtest::WriteFile(p, "x");
        seen.insert(n);
    }
    EXPECT_EQ(seen.size(), 200u);
}

} // namespace

namespace {

TEST(Store, DateAndMessageIdHeaders) {
    // The Date header carries the offset in effect at that local time.
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    struct Row {
        const char* tz;
        int year, month, day, hour, minute, second;
        const char* text;
    } rows[] = {
        {"Europe/Berlin", 2026, 12, 7, 17, 5, 9, "Mon, 07 Dec 2026 17:05:09 +0100"},
        {"Europe/Berlin", 2026, 7, 1, 8, 0, 0, "Wed, 01 Jul 2026 08:00:00 +0200"},
        {"America/New_York", 2026, 1, 31, 23, 59, 59, "Sat, 31 Jan 2026 23:59:59 -0500"},
        {"UTC", 2024, 2, 29, 0, 0, 1, "Thu, 29 Feb 2024 00:00:01 +0000"},
    };
    for (const Row& r : rows) {
        setenv("TZ", r.tz, 1);
        tzset();
        const double date =
            quorel::EncodeDate(r.year, r.month, r.day) + quorel::EncodeTime(r.hour, r.minute, r.second);
        EXPECT_EQ(RfcDate(date), r.text) << r.tz;
    }
    if (oldTz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();

    const std::regex id(R"(<[0-9a-f]+\.[0-9a-f]{16}\.quorel@([^@<> ]+)>)");
    std::smatch m;
    const std::string a = NewMessageId("Ann <ann@Mail.Example.org>");
    ASSERT_TRUE(std::regex_match(a, m, id)) << a;
    EXPECT_EQ(m[1], "Mail.Example.org");
    EXPECT_NE(NewMessageId("ann@x.org"), NewMessageId("ann@x.org"));
    const std::string none = NewMessageId("");
    ASSERT_TRUE(std::regex_match(none, m, id)) << none;
    EXPECT_EQ(m[1], "quorel.invalid");
}

} // namespace
