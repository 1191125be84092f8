// The connection logic against scripted servers and a real mailbox store in
// a temporary folder: the send pass and its recovery, filing of retrieved
// messages with their attachments, and the info-log lines.
#include "fake_server.h"
#include "mail/connection.h"
#include "platform/files.h"
#include "shell/lang/multilang.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quorel::mail;
using quorel::mail::test::FakeServer;
namespace fs = std::filesystem;

namespace {

const std::array<std::string, 5> kFolders = {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"};

struct Fixture {
    fs::path root;
    TMailStore store;
    std::unique_ptr<TConnectionLogic> logic;
    std::shared_ptr<quorel::TMultiLang> lang;

    explicit Fixture(const std::string& name) {
        root = fs::path(QUOREL_BINARY_DIR) / "mail_net_tmp" / name;
        fs::remove_all(root);
        for (auto d : {"mailbox", "games", "attach"})
            fs::create_directories(root / d);
        EXPECT_TRUE(store.Open(root / "mailbox", kFolders));
        logic = std::make_unique<TConnectionLogic>(store);
        lang = std::make_shared<quorel::TMultiLang>(
            quorel::TMultiLang::ForWindow("TConnectionDialog"));
        logic->Text = [l = lang](const std::string& k) { return l->Text(k); };
        TMailConfig& c = logic->Config;
        c.Pop3UserName = "player";
        c.Pop3Password = "secret";
        c.ProgramFolder = root;
        c.MailboxFolder = root / "mailbox";
        c.GamesFolder = root / "games";
        c.AttachFolder = root / "attach";
        c.TimeOut = 10;
        logic->FormCreate();
    }

    long Queue(const std::string& subject, bool saveCopy) {
        TmsMessage m;
        m.Sender = TmsMailAddress("Ann", "ann@example.org");
        m.Recipients.Add("Bob", "bob@example.org");
        m.Subject = subject;
        m.Body = {"move " + subject};
        store.QueueMessage(m, saveCopy);
        return store.IndexCount();
    }
};

std::string ReadFile(const fs::path& p) {
    std::string s;
    EXPECT_TRUE(quorel::ReadWholeFile(p, s)) << p;
    return s;
}

} // namespace

TEST(ConnectionSend, EmptyQueueDoesNotConnect) {
    Fixture f("send_empty");
    f.logic->Config.SmtpServer = "127.0.0.1:1";
    EXPECT_TRUE(f.logic->SendButtonClick());
    EXPECT_EQ(f.logic->InfoLog,
              (std::vector<std::string>{"", "There is no mail in delivery queue", ""}));
}

TEST(ConnectionSend, SecondOfThreeRefusedKeepsItAndTheRestQueued) {
    Fixture f("send_refused");
    f.Queue("one", false); // deleted after sending: the index is packed
    f.Queue("two", true);
    f.Queue("three", true);
    const std::string file2 = [&] {
        TMailIndexRecord r;
        f.store.ReadRecord(2, r);
        return r.FileName;
    }();
    FakeServer server({"S:220 ready", "C", "S:250 hello", "C", "S:250 ok", "C", "S:250 ok", "C",
                       "S:354 go", "D", "S:250 queued", "C", "S:250 ok", "C",
                       "S:550 mailbox unavailable", "C", "S:221 bye"});
    f.logic->Config.SmtpServer = server.Address();
    EXPECT_FALSE(f.logic->SendButtonClick());
    server.Join();

    const std::string s = server.Address();
    EXPECT_EQ(
        f.logic->InfoLog,
        (std::vector<std::string>{"", "** SENDING", "", "Connecting with SMTP server " + s + "...",
                                  "Preparing message...", "Sending message 1/3...", "Message sent",
                                  "Preparing message...", "Sending message 2/3...",
                                  "Closing connection...", "Connection closed"}));
    // Message one went and its record is gone (packed); two and three wait.
    ASSERT_EQ(f.store.IndexCount(), 2);
    TMailIndexRecord r;
    ASSERT_TRUE(f.store.ReadRecord(1, r));
    EXPECT_EQ(r.Subject, "two");
    EXPECT_EQ(r.Folder, kFolderQueued);
    EXPECT_EQ(r.FileName, file2);
    ASSERT_TRUE(f.store.ReadRecord(2, r));
    EXPECT_EQ(r.Subject, "three");
    EXPECT_EQ(r.Folder, kFolderQueued);
    EXPECT_TRUE(fs::exists(f.root / "mailbox" / file2));
    EXPECT_TRUE(f.logic->ControlsEnabled);
    // The failed session's protocol log was appended to SMTP.LOG.
    EXPECT_NE(ReadFile(f.root / "SMTP.LOG").find("550 mailbox unavailable\r\n"), std::string::npos);
}

TEST(ConnectionSend, SavedCopiesMoveToSentMail) {
    Fixture f("send_copy");
    f.Queue("one", true);
    FakeServer server({"S:220 ready", "C", "S:250 hello", "C", "S:250 ok", "C", "S:250 ok", "C",
                       "S:354 go", "D", "S:250 queued", "C", "S:221 bye"});
    f.logic->Config.SmtpServer = server.Address();
    EXPECT_TRUE(f.logic->SendButtonClick());
    TMailIndexRecord r;
    ASSERT_TRUE(f.store.ReadRecord(1, r));
    EXPECT_EQ(r.Folder, kFolderSent);
    EXPECT_FALSE(f.logic->GaugeVisible);
}

TEST(ConnectionList, RefreshListLineFormat) {
    Fixture f("list_format");
    TmsRemoteInfoItem a, b;
    a.Size = 1234;
    a.Header = {"Received: from x", "From: Ann <ann@example.org>", "Subject: Game 1"};
    b.Size = 7;
    b.Header = {"X-From: Bob", "Subject: first", "Subject: second"};
    f.logic->RemotePOP.RemoteInfo = {a, b};
    f.logic->RefreshList();
    EXPECT_EQ(f.logic->ListLines, (std::vector<std::string>{
                                      " Ann <ann@example.org>|  Subject:  Game 1  Size: 1234 bytes",
                                      " Bob|  Subject:  second  Size: 7 bytes"}));
    EXPECT_EQ(f.logic->InfoLog,
              (std::vector<std::string>{"Updating remote information...", "2 messages listed"}));
    f.logic->RetrievebuttonClick(); // nothing selected
    f.logic->DeleteButtonClick();
    EXPECT_EQ(f.logic->InfoLog.back(), "You must select messages to delete");
    EXPECT_EQ(f.logic->InfoLog[f.logic->InfoLog.size() - 2],
              "You must select messages to retrieve");
}

TEST(ConnectionRetrieve, FilesMessageSavesAttachmentsSafelyThenDeletes) {
    // The transfer asks for the UIDLs after STAT; a server without UIDL
    // ("-ERR") gets every marked message.
    Fixture f("retrieve_file");
    // An older game of that name in the games folder is backed up first.
    quorel::AtomicWriteFile(f.root / "games" / "Game1.qrl", "old game");
    TmsMessage in;
    in.Sender = TmsMailAddress("Bob Opponent", "bob@example.org");
    in.Recipients.Add("Ann", "ann@example.org");
    in.Subject = "Game 1: 12. Nf3";
    in.Body = {"12. Nf3"};
    std::string game(3000, '\0');
    for (size_t i = 0; i < game.size(); ++i)
        game[i] = char(i * 7);
    in.Attachments.Add("Game1.qrl", game);
    in.Attachments.Add("../../../evil.txt", "not outside");
    const std::string raw = in.SaveToString() + ".\r\n";
    FakeServer server({"S:+OK ready",
                       "C",
                       "S:-ERR",
                       "C",
                       "S:+OK",
                       "C",
                       "S:+OK",
                       "C",
                       "S:+OK 1 9999",
                       "C",
                       "S:-ERR no UIDL",
                       "C",
                       "S:+OK 1 9999",
                       "C",
                       "S:+OK",
                       "R:" + raw,
                       "C",
                       "S:+OK deleted",
                       "C",
                       "S:+OK bye"});
    f.logic->Config.Pop3Server = server.Address();
    f.logic->UpdateServerName();
    f.logic->EditDelete = true;
    f.logic->RemotePOP.RemoteInfo.resize(1);
    f.logic->ListLines = {"x"};
    f.logic->Selected = {true};
    std::vector<std::string> asked;
    f.logic->AskSaveGame = [&](const std::string& sender, const std::string& name) {
        asked.push_back(sender + "|" + name);
        return true;
    };
    EXPECT_TRUE(f.logic->Retrieve());
    server.Join();
    EXPECT_EQ(asked, (std::vector<std::string>{"Bob Opponent|Game1.qrl"}));
    const fs::path games = f.root / "games", attach = f.root / "attach";
    EXPECT_EQ(ReadFile(games / "Game1.qrl"), game);
    EXPECT_EQ(ReadFile(games / "Game1.BAK"), "old game");
    EXPECT_EQ(ReadFile(attach / "evil.txt"), "not outside");
    EXPECT_FALSE(fs::exists(f.root / "evil.txt"));
    // DELE only after the message was filed.
    const std::string got = server.Received();
    EXPECT_NE(got.find("RETR 1\r\nDELE 1\r\n"), std::string::npos);

    const std::string s = server.Address();
    const std::vector<std::string> expectedLog = {
        "",
        "** RETRIEVING",
        "",
        "Connecting with POP3 server " + s,
        "Retrieving message 1",
        "Creating backup of existing file : " + (games / "Game1.BAK").string(),
        "Attachment saved as " + (games / "Game1.qrl").string(),
        "Attachment saved as " + (attach / "evil.txt").string(),
        "Deleting message 1",
        "Closing connection...",
        "Connection closed"};
    EXPECT_EQ(f.logic->InfoLog, expectedLog);

    ASSERT_EQ(f.store.IndexCount(), 1);
    TMailIndexRecord r;
    ASSERT_TRUE(f.store.ReadRecord(1, r));
    EXPECT_EQ(r.Folder, kFolderNew);
    EXPECT_EQ(r.From, "Bob Opponent");
    EXPECT_EQ(r.To, "Ann");
    EXPECT_EQ(r.Subject, "Game 1: 12. Nf3");
    EXPECT_EQ(r.AttachmentCount, 0);
    EXPECT_EQ(r.FileName.size(), 12u);
    EXPECT_EQ(r.FileName.substr(8), ".032");
    TmsMessage stored;
    stored.LoadFromFile(f.root / "mailbox" / r.FileName);
    EXPECT_TRUE(stored.Attachments.Empty());
    EXPECT_EQ(
        stored.Body,
        (std::vector<std::string>{
            "12. Nf3", "---", "This message contained attachments, which have been saved as : ", "",
            "   " + (games / "Game1.qrl").string(), "   " + (attach / "evil.txt").string()}));
}

TEST(ConnectionRetrieve, AMessageThatCannotBeFiledIsFiledAsItsTextOrStaysOnTheServer) {
    // Row 1: the attach folder is a file, so the attachment cannot be
    // written: the message is filed as "original.eml" and deleted. Row 2:
    // the mailbox folder is gone too: nothing is on disk, so nothing is
    // deleted and the transfer ends.
    for (bool mailboxGone : {false, true}) {
        SCOPED_TRACE(mailboxGone);
        Fixture f(mailboxGone ? "retrieve_fail_all" : "retrieve_fail_raw");
        fs::remove_all(f.root / "attach");
        quorel::AtomicWriteFile(f.root / "attach", "x");
        f.logic->Config.AttachFolder = f.root / "attach" / "sub";
        if (mailboxGone) {
            for (const auto& e : fs::directory_iterator(f.root / "mailbox"))
                if (e.path().extension() != ".lst") fs::remove(e.path());
            fs::rename(f.root / "mailbox", f.root / "mailbox.away");
            quorel::AtomicWriteFile(f.root / "mailbox", "x");
        }
        TmsMessage in;
        in.Sender = TmsMailAddress("Bob", "bob@example.org");
        in.Recipients.Add("Ann", "ann@example.org");
        in.Subject = "s";
        in.Body = {"b", ".dotted"};
        in.Attachments.Add("notes.txt", "n");
        const std::string raw = in.SaveToString();
        std::string stuffed;
        for (size_t a = 0, b; a < raw.size(); a = b + 1) {
            b = raw.find('\n', a);
            std::string line = raw.substr(a, b - a + 1);
            stuffed += (line[0] == '.' ? "." : "") + line;
        }
        FakeServer::Script script = {"S:+OK ready",  "C", "S:-ERR", "C",
                                     "S:+OK",        "C", "S:+OK",  "C",
                                     "S:+OK 1 9999", "C", "S:-ERR", "C",
                                     "S:+OK 1 9999", "C", "S:+OK",  "R:" + stuffed + ".\r\n"};
        if (!mailboxGone) script.insert(script.end(), {"C", "S:+OK deleted"});
        script.insert(script.end(), {"C", "S:+OK bye"});
        FakeServer server(script);
        f.logic->Config.Pop3Server = server.Address();
        f.logic->UpdateServerName();
        f.logic->EditDelete = true;
        f.logic->RemotePOP.RemoteInfo.resize(1);
        f.logic->ListLines = {"x"};
        f.logic->Selected = {true};
        EXPECT_EQ(f.logic->Retrieve(), !mailboxGone);
        server.Join();
        const auto& log = f.logic->InfoLog;
        auto err = std::find_if(log.begin(), log.end(), [](const std::string& l) {
            return l.rfind("POP3 ERROR: Cannot write ", 0) == 0;
        });
        EXPECT_NE(err, log.end());
        if (mailboxGone) {
            EXPECT_EQ(server.Received().find("DELE"), std::string::npos);
            EXPECT_EQ(f.store.IndexCount(), 0);
            EXPECT_NE(std::find(log.begin(), log.end(),
                                "Error during transfer, aborting...  " + server.Address()),
                      log.end());
            continue;
        }
        EXPECT_NE(server.Received().find("DELE 1\r\n"), std::string::npos);
        ASSERT_EQ(f.store.IndexCount(), 1);
        TMailIndexRecord r;
        ASSERT_TRUE(f.store.ReadRecord(1, r));
        EXPECT_EQ(r.Folder, kFolderNew);
        EXPECT_EQ(r.From, "Bob");
        EXPECT_EQ(r.Subject, "s");
        EXPECT_EQ(r.AttachmentCount, 1);
        TmsMessage stored;
        stored.LoadFromFile(f.root / "mailbox" / r.FileName);
        ASSERT_EQ(stored.Attachments.Count(), 1u);
        EXPECT_EQ(stored.Attachments[0].FileName(), "original.eml");
        EXPECT_EQ(stored.Attachments[0].Content, raw); // unstuffed, no terminator
        EXPECT_EQ(stored.Body.at(0),
                  "The following error has been occured while processing the message:");
        EXPECT_EQ(log.back(), "Connection closed");
    }
}

TEST(ConnectionRetrieve, StopDuringATransferRunsTheRecovery) {
    Fixture f("retrieve_stop");
    FakeServer::Script script = {"S:+OK ready",    "C", "S:-ERR", "C",
                                 "S:+OK",          "C", "S:+OK",  "C",
                                 "S:+OK 1 600000", "C", "S:-ERR", "C",
                                 "S:+OK 1 600000", "C", "S:+OK",  "R:Subject: big\r\n\r\n"};
    for (int i = 0; i < 20; ++i) {
        script.push_back("R:" + std::string(30000, 'a') + "\r\n");
        script.push_back("SLEEP:20");
    }
    script.push_back("R:.\r\n");
    FakeServer server(script);
    f.logic->Config.Pop3Server = server.Address();
    f.logic->UpdateServerName();
    f.logic->RemotePOP.RemoteInfo.resize(1);
    f.logic->ListLines = {"x"};
    f.logic->Selected = {true};
    f.logic->Pump = [&] {
        if (f.logic->GaugePosition >= 10 && f.logic->RemotePOP.Connected())
            f.logic->CloseBtnClick();
    };
    EXPECT_FALSE(f.logic->Retrieve());
    const std::string s = server.Address();
    auto& log = f.logic->InfoLog;
    auto it = std::find(log.begin(), log.end(), "Cancelling connection with " + s + " ...");
    ASSERT_NE(it, log.end());
    EXPECT_EQ(std::vector<std::string>(it, log.end()),
              (std::vector<std::string>{
                  "Cancelling connection with " + s + " ...", "Closing connection...",
                  "Connection closed", "POP3 ERROR: Operation has been canceled",
                  "Error during transfer, aborting...  " + s, "Clearing remote information"}));
    EXPECT_EQ(f.store.IndexCount(), 0);
}

TEST(ConnectionRetrieve, DottedLinesArriveAsTheyWereTyped) {
    // On the wire "..." is the sender's "..": un-stuffed once, it is kept,
    // the last line included; only the server's terminator goes.
    Fixture f("retrieve_dots");
    f.logic->RemotePOPUserMessageSave(0,
                                      "From: Bob <bob@example.org>\r\nTo: Ann <ann@example.org>\r\n"
                                      "Subject: s\r\n\r\nline\r\n..\r\n...\r\n.\r\n");
    f.logic->RemotePOPUserMessageSave(1, "From: bob@example.org\r\nSubject: empty\r\n\r\n.\r\n");
    ASSERT_EQ(f.store.IndexCount(), 2);
    TMailIndexRecord r;
    ASSERT_TRUE(f.store.ReadRecord(1, r));
    TmsMessage m;
    m.LoadFromFile(f.root / "mailbox" / r.FileName);
    EXPECT_EQ(m.Body, (std::vector<std::string>{"line", ".", ".."}));
    ASSERT_TRUE(f.store.ReadRecord(2, r));
    EXPECT_EQ(r.From, "bob@example.org"); // the address when there is no name
    EXPECT_EQ(r.To, "");
    EXPECT_TRUE(MailboxChanged);
}

TEST(AttachmentNames, StayInsideTheirFolder) {
    struct Row {
        const char* in;
        const char* out;
    };
    for (Row r : {Row{"game.qrl", "game.qrl"}, Row{"../../.bashrc", "bashrc"}, Row{"/etc/x", "x"},
                  Row{"C:\\games\\a.QRL", "a.QRL"}, Row{"..", "att.3"}, Row{"a..b", "a.b"},
                  Row{"\x01name\x1f.txt", "name.txt"}, Row{"...", "att.3"}, Row{"", "att.3"},
                  Row{" .hidden ", "hidden"}})
        EXPECT_EQ(SafeAttachmentName(r.in, "att.3"), r.out) << r.in;
}

TEST(AttachmentNames, LongNamesAreCutInWholeCharactersKeepingTheExtension) {
    const std::string cjk = [] {
        std::string s;
        for (int i = 0; i < 90; ++i)
            s += "棋"; // 3 bytes each
        return s;
    }();
    struct Row {
        std::string in;
        size_t max;
        std::string out;
    };
    const Row rows[] = {
        {"short.qrl", 237, "short.qrl"},
        {std::string(246, 'g') + ".qrl", 237, std::string(233, 'g') + ".qrl"},
        {cjk + ".QRL", 237, cjk.substr(0, 3 * 77) + ".QRL"}, // 233 bytes hold 77 whole ones
        {std::string(300, 'x'), 237, std::string(237, 'x')}, // no extension
        {"a." + std::string(200, 'e'), 20, "a." + std::string(18, 'e')}, // not an extension
    };
    for (const Row& r : rows) {
        const std::string got = FitFileName(r.in, r.max);
        EXPECT_EQ(got, r.out) << r.in.size();
        EXPECT_LE(got.size(), r.max);
    }
    // The limit leaves room for the temporary name of the atomic write.
    const fs::path dir = fs::path(QUOREL_BINARY_DIR) / "mail_net_tmp";
    fs::create_directories(dir);
    const std::string longest =
        FitFileName(std::string(300, 'n') + ".qrl", AttachmentNameLimit(dir));
    EXPECT_TRUE(quorel::AtomicWriteFile(dir / longest, "x"));
    fs::path backup = dir / longest;
    EXPECT_TRUE(quorel::AtomicWriteFile(backup.replace_extension(".BAK"), "x"));

    std::vector<std::string> lines = {"short", std::string(10, 'a') + "é" + std::string(5, 'b')};
    SplitLongLines(lines, 11); // "é" would be cut in two at byte 11
    EXPECT_EQ(lines,
              (std::vector<std::string>{"short", std::string(10, 'a'), "é" + std::string(5, 'b')}));
}

TEST(ConnectionSettings, ServerWithoutPortTakesThePortOfItsSecurity) {
    struct Row {
        TMailSecurity security;
        bool signIn;
        uint16_t smtp, pop3;
    };
    const Row rows[] = {{TMailSecurity::None, false, 25, 110},
                        {TMailSecurity::StartTls, false, 25, 110},
                        {TMailSecurity::StartTls, true, 587, 110},
                        {TMailSecurity::Tls, true, 465, 995}};
    Fixture f("settings_ports");
    for (const Row& r : rows) {
        f.logic->Config.SmtpSecurity = f.logic->Config.Pop3Security = r.security;
        f.logic->Config.SmtpUserName = r.signIn ? "ann" : "";
        f.logic->UpdateServerName();
        EXPECT_EQ(f.logic->msSMTP.DefaultPort, r.smtp);
        EXPECT_EQ(f.logic->RemotePOP.DefaultPort, r.pop3);
    }
}

TEST(LanguageTable, EveryKeyOfTheLogicHasSevenTexts) {
    auto lang = quorel::TMultiLang::ForWindow("TConnectionDialog");
    for (const char* key : {"@Sending",
                            "@OpeningSMTP",
                            "@Preparing",
                            "@SendingMessage",
                            "@Success",
                            "@ClosingConnection",
                            "@ConnectionClosed",
                            "@Cancelling",
                            "@Retrieving",
                            "@OpeningPOP3",
                            "@RetrievingMessage",
                            "@Deleting",
                            "@NoMail",
                            "@NoMailInServer",
                            "@Clearing",
                            "@Updating",
                            "@Listed",
                            "@MustSelect",
                            "@ErrorTransferring",
                            "@MustSelectToDelete",
                            "@CannotConnect",
                            "@Backup",
                            "@AttachSaved",
                            "@FiledOriginal"}) {
        for (int l = 0; l < 7; ++l)
            EXPECT_FALSE(lang.TextIn(key, l).empty()) << key << " " << l;
    }
    EXPECT_EQ(lang.TextIn("@ErrorTransferring", 0), "Error during transfer, aborting... ");
    EXPECT_EQ(lang.TextIn("@Backup", 0), "Creating backup of existing file : ");
}

TEST(ConnectionList, RefusedConnectionIsReportedOnceAndRecovers) {
    Fixture f("list_refused");
    uint16_t port;
    {
        FakeServer probe(FakeServer::Script{});
        port = probe.Port();
    }
    const std::string s = "127.0.0.1:" + std::to_string(port);
    f.logic->Config.Pop3Server = s;
    EXPECT_FALSE(f.logic->UpdateButtonClick());
    EXPECT_EQ(
        f.logic->InfoLog,
        (std::vector<std::string>{"", "** RETRIEVING", "", "Connecting with POP3 server " + s,
                                  "POP3 ERROR: [10061] Connection refused", "Closing connection...",
                                  "Connection closed", "Clearing remote information",
                                  "Updating remote information...", "0 messages listed"}));
    EXPECT_TRUE(f.logic->ControlsEnabled);
    // The queue against a refusing SMTP server stays as it is.
    f.Queue("one", true);
    f.logic->InfoLog.clear();
    f.logic->Config.SmtpServer = s;
    EXPECT_FALSE(f.logic->SendButtonClick());
    EXPECT_EQ(
        f.logic->InfoLog,
        (std::vector<std::string>{"", "** SENDING", "", "Connecting with SMTP server " + s + "...",
                                  "SMTP ERROR: [10061] Connection refused", "Closing connection...",
                                  "Connection closed"}));
    TMailIndexRecord r;
    ASSERT_TRUE(f.store.ReadRecord(1, r));
    EXPECT_EQ(r.Folder, kFolderQueued);
}
