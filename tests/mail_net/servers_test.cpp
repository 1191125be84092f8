// End to end against the private Exim (SMTP) and Dovecot (POP3) servers that
// the mail_servers fixture starts on 127.0.0.1: a queued message with a game
// file goes out by SMTP, comes back by POP3, is filed in New Mail and its
// game file lands in the games folder unchanged; TLS, STARTTLS, AUTH and the
// failures that real servers produce.
#include "chess/moveentry.h"
#include "compose/gameblock.h"
#include "mail/connection.h"
#include "platform/files.h"
#include "shell/lang/multilang.h"
#include "tests/common/mail_servers_env.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace quorel::mail;
namespace fs = std::filesystem;

namespace {

const std::array<std::string, 5> kFolders = {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"};

class RealServers : public ::testing::Test {
  protected:
    void SetUp() override {
        env = mailtest::ServerEnv("QUOREL_MAIL_SERVERS");
        ASSERT_FALSE(env.empty()) << "the mail_servers fixture did not run";
        root = fs::path(QUOREL_BINARY_DIR) / "mail_net_tmp" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        for (auto d : {"mailbox", "games", "attach"})
            fs::create_directories(root / d);
        ASSERT_TRUE(store.Open(root / "mailbox", kFolders));
        logic = std::make_unique<TConnectionLogic>(store);
        auto lang = std::make_shared<quorel::TMultiLang>(
            quorel::TMultiLang::ForWindow("TConnectionDialog"));
        logic->Text = [lang](const std::string& k) { return lang->Text(k); };
        TMailConfig& c = logic->Config;
        c.SmtpServer = "127.0.0.1:" + env["SMTP_PORT"];
        c.Pop3Server = "127.0.0.1:" + env["POP3_PORT"];
        c.Pop3UserName = env["MAIL_USER"];
        c.Pop3Password = env["MAIL_PASSWORD"];
        c.TrustedCertificate = env["CERT"];
        c.ProgramFolder = root;
        c.MailboxFolder = root / "mailbox";
        c.GamesFolder = root / "games";
        c.AttachFolder = root / "attach";
        c.TimeOut = 20;
        logic->FormCreate();
        logic->AskSaveGame = [](const std::string&, const std::string&) { return true; };
        Drain();
    }

    // A plain POP3 client on the test account.
    void Plain(TmsRemotePOP& pop) {
        pop.Server = "127.0.0.1:" + env["POP3_PORT"];
        pop.UserName = env["MAIL_USER"];
        pop.Password = env["MAIL_PASSWORD"];
    }
    // Deletes everything on the server.
    void Drain() {
        TmsRemotePOP pop;
        Plain(pop);
        pop.GetRemoteInfo();
        for (auto& item : pop.RemoteInfo)
            item.Delete = true;
        pop.TransferMarked();
    }
    // Number of messages on the server once delivery of want has finished
    // (or the wait is over).
    long WaitForMessages(long want) {
        long n = 0;
        for (int i = 0; i < 100; ++i) {
            TmsRemotePOP pop;
            Plain(pop);
            pop.GetRemoteInfo();
            n = pop.MessageCount;
            if (n >= want) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return n;
    }

    std::string Queue(const std::string& to, const std::string& gameName, const std::string& game,
                      const std::string& cc = "") {
        TmsMessage m;
        m.Sender = TmsMailAddress("Ann Player", "ann@example.org");
        m.Recipients.Add("Opponent", to);
        if (!cc.empty()) m.CC.Add(" ", cc);
        m.Subject = "Game 7: 23. Rd1";
        m.Body = {"23. Rd1", ".", "Regards"};
        if (!gameName.empty()) m.Attachments.Add(gameName, game);
        return store.QueueMessage(m, true).filename().string();
    }

    // True when some protocol-log line of client begins with prefix.
    static bool Logged(const TagSocket& client, const std::string& prefix) {
        for (const auto& l : client.Log())
            if (l.rfind(prefix, 0) == 0) return true;
        return false;
    }
    bool Has(const std::string& line) const {
        return std::find(logic->InfoLog.begin(), logic->InfoLog.end(), line) !=
               logic->InfoLog.end();
    }
    std::string Log() const {
        std::string s;
        for (const auto& l : logic->InfoLog)
            s += l + "\n";
        return s;
    }

    std::map<std::string, std::string> env;
    fs::path root;
    TMailStore store;
    std::unique_ptr<TConnectionLogic> logic;
};

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 g(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = char(g());
    return s;
}

} // namespace

TEST_F(RealServers, QueueSendFetchFileAcrossEverySecurityMode) {
    struct Row {
        TMailSecurity smtp;
        const char* smtpPort;
        bool auth;
        const char* mech;
        TMailSecurity pop3;
        const char* pop3Port;
    };
    const Row rows[] = {
        {TMailSecurity::None, "SMTP_PORT", false, "", TMailSecurity::None, "POP3_PORT"},
        {TMailSecurity::StartTls, "SMTP_PORT", true, "", TMailSecurity::StartTls, "POP3_PORT"},
        {TMailSecurity::Tls, "SMTPS_PORT", true, "LOGIN", TMailSecurity::Tls, "POP3S_PORT"},
        {TMailSecurity::None, "SMTP_PORT", true, "PLAIN", TMailSecurity::None, "POP3_PORT"},
    };
    unsigned seed = 1;
    for (const Row& r : rows) {
        SCOPED_TRACE(MailSecurityName(r.smtp) + "/" + MailSecurityName(r.pop3) + " " + r.mech);
        logic->InfoLog.clear();
        TMailConfig& c = logic->Config;
        c.SmtpSecurity = r.smtp;
        c.SmtpServer = "127.0.0.1:" + env[r.smtpPort];
        c.SmtpUserName = r.auth ? env["MAIL_USER"] : "";
        c.SmtpPassword = r.auth ? env["MAIL_PASSWORD"] : "";
        c.Pop3Security = r.pop3;
        c.Pop3Server = "127.0.0.1:" + env[r.pop3Port];
        logic->msSMTP.AuthMechanism = r.mech;

        const std::string game = RandomBytes(20000 + seed, seed);
        const std::string gameName = "Game" + std::to_string(seed) + ".qrl";
        ++seed;
        const std::string queued = Queue("player@quorel.test", gameName, game);
        ASSERT_TRUE(logic->SendButtonClick()) << Log();
        EXPECT_TRUE(Has("Message sent"));
        TMailIndexRecord rec;
        ASSERT_TRUE(store.ReadRecord(store.FindByFileName(queued), rec));
        EXPECT_EQ(rec.Folder, kFolderSent);
        ASSERT_EQ(WaitForMessages(1), 1);

        ASSERT_TRUE(logic->UpdateButtonClick()) << Log();
        ASSERT_EQ(logic->ListLines.size(), 1u);
        EXPECT_NE(logic->ListLines[0].find("|  Subject:   Game 7: 23. Rd1  Size: "),
                  std::string::npos)
            << logic->ListLines[0];
        logic->MArkALl();
        logic->EditDelete = true;
        ASSERT_TRUE(logic->RetrievebuttonClick()) << Log();

        std::string saved;
        ASSERT_TRUE(quorel::ReadWholeFile(root / "games" / gameName, saved));
        EXPECT_TRUE(saved == game) << "the game file changed on its way";
        auto fresh = store.FolderRecords(kFolderNew);
        ASSERT_FALSE(fresh.empty());
        EXPECT_EQ(fresh.back().second.From, "Ann Player");
        EXPECT_EQ(fresh.back().second.Subject, "Game 7: 23. Rd1");
        // Delete-after-retrieve left the server empty.
        EXPECT_TRUE(logic->RemotePOP.RemoteInfo.empty());
        EXPECT_TRUE(Has("There is no mail in server")) << Log();
        EXPECT_EQ(WaitForMessages(0), 0);
        // The lone "." body line arrives as it was written.
        TmsMessage stored;
        stored.LoadFromFile(root / "mailbox" / fresh.back().second.FileName);
        ASSERT_GE(stored.Body.size(), 3u);
        EXPECT_EQ(stored.Body[0], "23. Rd1");
    }
    // Secrets never reach the protocol logs.
    logic->FormDestroy();
    std::string smtpLog, popLog;
    ASSERT_TRUE(quorel::ReadWholeFile(root / "SMTP.LOG", smtpLog));
    ASSERT_TRUE(quorel::ReadWholeFile(root / "POP3.LOG", popLog));
    EXPECT_EQ(smtpLog.find(env["MAIL_PASSWORD"]), std::string::npos);
    EXPECT_EQ(popLog.find("PASS " + env["MAIL_PASSWORD"]), std::string::npos);
    EXPECT_NE(popLog.find("PASS ****"), std::string::npos);
    EXPECT_NE(smtpLog.find("AUTH PLAIN ****"), std::string::npos);
}

TEST_F(RealServers, HostileMailNeverBlocksTheMailbox) {
    // Five messages put straight into the account's maildir: an attachment
    // name of 250 bytes, a 100 KB line, ISO-2022-JP, a broken MIME
    // structure, then a normal move message with its game file.
    const fs::path maildir = fs::path(std::getenv("QUOREL_MAIL_SERVERS")) / "maildirs" / "player";
    const std::string head =
        "From: Bob Opponent <bob@example.org>\r\nTo: Ann <player@quorel.test>\r\n"
        "MIME-Version: 1.0\r\n";
    const std::string longName = std::string(246, 'n') + ".txt";
    const std::string longLine(100000, 'L');
    const std::string game = RandomBytes(3000, 7);
    TmsMessage move;
    move.Sender = TmsMailAddress("Bob Opponent", "bob@example.org");
    move.Recipients.Add("Ann", "player@quorel.test");
    move.Subject = "Game 9: 31. Qh5";
    move.Body = {"31. Qh5"};
    move.Attachments.Add("Game9.qrl", game);
    const std::vector<std::string> messages = {
        head +
            "Subject: long name\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
            "--b1\r\nContent-Type: text/plain\r\n\r\nsee attachment\r\n--b1\r\n"
            "Content-Type: text/plain; name=\"" +
            longName +
            "\"\r\n"
            "Content-Disposition: attachment; filename=\"" +
            longName + "\"\r\n\r\nnotes\r\n--b1--\r\n",
        head + "Subject: long line\r\nContent-Type: text/plain\r\n\r\n" + longLine + "\r\nend\r\n",
        head + "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=\r\n"
               "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n\x1b$BF|K\\8l\x1b(B\r\n",
        head + "Subject: broken\r\nContent-Type: multipart/mixed; boundary=\"nowhere\"\r\n\r\n"
               "--elsewhere\r\nContent-Type: text/plain\r\n\r\nlost\r\n",
        move.SaveToString(),
    };
    for (size_t i = 0; i < messages.size(); ++i) {
        const fs::path file = maildir / "new" / ("170000000" + std::to_string(i) + ".M1P1.quorel");
        ASSERT_TRUE(quorel::AtomicWriteFile(file, messages[i]));
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write |
                                  fs::perms::group_read | fs::perms::others_read);
    }
    ASSERT_EQ(WaitForMessages(5), 5);
    ASSERT_TRUE(logic->UpdateButtonClick()) << Log();
    logic->MArkALl();
    logic->EditDelete = true;
    ASSERT_TRUE(logic->RetrievebuttonClick()) << Log();

    const auto filed = store.FolderRecords(kFolderNew);
    ASSERT_EQ(filed.size(), 5u) << Log();
    std::map<std::string, TmsMessage> bySubject;
    for (const auto& [n, r] : filed) {
        TmsMessage m;
        m.LoadFromFile(root / "mailbox" / r.FileName);
        bySubject[m.Subject] = m;
    }
    // The long name is cut, keeping ".txt", and the file is there.
    const auto& note = bySubject["long name"].Body;
    ASSERT_FALSE(note.empty());
    const fs::path saved = note.back().substr(3);
    EXPECT_EQ(saved.extension(), ".txt");
    EXPECT_LT(saved.filename().string().size(), longName.size());
    EXPECT_TRUE(fs::exists(saved)) << saved;
    // The long line is kept, in pieces.
    std::string joined;
    for (const auto& l : bySubject["long line"].Body)
        if (l != "end") joined += l;
    EXPECT_EQ(joined, longLine);
    EXPECT_EQ(bySubject.count("日本語"), 1u);
    EXPECT_EQ(bySubject["日本語"].Body.at(0), "日本語");
    EXPECT_EQ(bySubject["broken"].Body.at(0),
              "The following error has been occured while processing the message:");
    // The move message's game file, and an empty server.
    std::string got;
    ASSERT_TRUE(quorel::ReadWholeFile(root / "games" / "Game9.qrl", got));
    EXPECT_TRUE(got == game);
    EXPECT_TRUE(logic->RemotePOP.RemoteInfo.empty());
    EXPECT_EQ(WaitForMessages(0), 0);
}

TEST_F(RealServers, RetrievingWithoutDeleteLeavesTheMessage) {
    Queue("player@quorel.test", "", "");
    ASSERT_TRUE(logic->SendButtonClick()) << Log();
    ASSERT_EQ(WaitForMessages(1), 1);
    ASSERT_TRUE(logic->UpdateButtonClick());
    logic->MArkALl();
    logic->EditDelete = false;
    ASSERT_TRUE(logic->RetrievebuttonClick()) << Log();
    EXPECT_EQ(logic->ListLines.size(), 1u);
    EXPECT_EQ(store.CountOf(kFolderNew), 1);
    EXPECT_EQ(WaitForMessages(1), 1);
}

TEST_F(RealServers, RefusedRecipientStaysQueuedUnlessProceeding) {
    const std::string file = Queue("refused@quorel.test", "", "");
    EXPECT_FALSE(logic->SendButtonClick());
    TMailIndexRecord rec;
    ASSERT_TRUE(store.ReadRecord(store.FindByFileName(file), rec));
    EXPECT_EQ(rec.Folder, kFolderQueued);
    EXPECT_TRUE(Logged(logic->msSMTP, "550 "));
    // With Proceed, the remaining recipient gets it.
    std::string rejected;
    logic->msSMTP.OnAddressRejected = [&](const std::string& a, const std::string&, bool& proceed) {
        rejected = a;
        proceed = true;
    };
    store.DeleteMessage(store.FindByFileName(file));
    store.DeleteMessage(store.FindByFileName(file));
    store.PackIndex();
    const std::string file2 = Queue("refused@quorel.test", "", "", "player@quorel.test");
    EXPECT_TRUE(logic->SendButtonClick()) << Log();
    EXPECT_EQ(rejected, "refused@quorel.test");
    EXPECT_EQ(WaitForMessages(1), 1);
}

TEST_F(RealServers, CertificateFailuresAreClearErrorsNeverPlainText) {
    struct Row {
        std::string trusted;
    };
    for (const Row& r : {Row{""}, Row{env["OTHER_CERT"]}}) {
        SCOPED_TRACE(r.trusted);
        logic->InfoLog.clear();
        logic->Config.TrustedCertificate = r.trusted;
        logic->Config.Pop3Security = TMailSecurity::Tls;
        logic->Config.Pop3Server = "127.0.0.1:" + env["POP3S_PORT"];
        EXPECT_FALSE(logic->UpdateButtonClick());
        EXPECT_TRUE(
            Has("POP3 ERROR: TLS certificate not accepted: self-signed certificate (127.0.0.1)"))
            << Log();
        EXPECT_TRUE(Has("Clearing remote information"));

        logic->InfoLog.clear();
        const std::string file = Queue("player@quorel.test", "", "");
        logic->Config.SmtpSecurity = TMailSecurity::StartTls;
        EXPECT_FALSE(logic->SendButtonClick());
        EXPECT_TRUE(
            Has("SMTP ERROR: TLS certificate not accepted: self-signed certificate (127.0.0.1)"))
            << Log();
        TMailIndexRecord rec;
        ASSERT_TRUE(store.ReadRecord(store.FindByFileName(file), rec));
        EXPECT_EQ(rec.Folder, kFolderQueued);
        // Nothing went out in the clear after the failure.
        const auto& log = logic->msSMTP.Log();
        EXPECT_EQ(std::find(log.begin(), log.end(), "MAIL FROM:<ann@example.org>"), log.end());
    }
    EXPECT_EQ(WaitForMessages(0), 0);
}

TEST_F(RealServers, WrongPasswordsFailCleanly) {
    const std::string file = Queue("player@quorel.test", "", "");
    logic->Config.SmtpUserName = env["MAIL_USER"];
    logic->Config.SmtpPassword = "wrong";
    logic->Config.SmtpSecurity = TMailSecurity::StartTls;
    EXPECT_FALSE(logic->SendButtonClick());
    EXPECT_TRUE(Logged(logic->msSMTP, "535 "));
    EXPECT_EQ(logic->LastError.substr(0, 4), "535 ") << logic->LastError;
    TMailIndexRecord rec;
    ASSERT_TRUE(store.ReadRecord(store.FindByFileName(file), rec));
    EXPECT_EQ(rec.Folder, kFolderQueued);

    logic->Config.Pop3Password = "wrong";
    EXPECT_FALSE(logic->UpdateButtonClick());
    EXPECT_TRUE(Logged(logic->RemotePOP, "-ERR"));
    EXPECT_FALSE(logic->RemotePOP.Connected());
}

// qrltool over the program folder: settings file, both password files, the
// queue, send, list-server and fetch, as a script would use them.
TEST_F(RealServers, QrltoolQueueSendListFetch) {
    const fs::path home = root / "home";
    fs::create_directories(home);
    const std::string ini = "[Setup]\r\nSMTP Server=127.0.0.1:" + env["SMTPS_PORT"] +
                            "\r\nPOP3 Server=127.0.0.1:" + env["POP3_PORT"] +
                            "\r\nPOP3 User Name=" + env["MAIL_USER"] +
                            "\r\nEmail Address=ann@example.org\r\nUser Name=Ann Player\r\n"
                            "SMTP Security=TLS\r\nPOP3 Security=STARTTLS\r\nSMTP User Name=" +
                            env["MAIL_USER"] + "\r\nTrusted Certificate=" + env["CERT"] + "\r\n";
    ASSERT_TRUE(quorel::AtomicWriteFile(home / "quorel.ini", ini));
    const std::string game = RandomBytes(7777, 99);
    ASSERT_TRUE(quorel::AtomicWriteFile(root / "Match.QRL", game));
    ASSERT_TRUE(quorel::AtomicWriteFile(root / "body.txt", "24. Qh5\nRegards\n"));
    const std::string tool = std::string(QUOREL_BINARY_DIR) + "/bin/qrltool";
    const std::string pre = "QUOREL_HOME='" + home.string() + "' '" + tool + "' ";
    auto run = [&](const std::string& args, std::string* out = nullptr,
                   const std::string& input = "") {
        std::string cmd = "printf '%s\\n' '" + input + "' | " + pre + args + " 2>&1";
        int rc;
        std::string text = mailtest::Shell(cmd, {}, &rc);
        if (out) *out = text;
        return rc;
    };
    std::string out;
    ASSERT_EQ(run("password pop3", nullptr, env["MAIL_PASSWORD"]), 0);
    ASSERT_EQ(run("password smtp", nullptr, env["MAIL_PASSWORD"]), 0);
    EXPECT_EQ(fs::status(home / "quorel-smtp.pwd").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(run("mail queue --to " + env["MAIL_USER"] + "@" + env["MAIL_DOMAIN"] +
                      " --name Opponent --subject 'Game 9' --body-file '" +
                      (root / "body.txt").string() + "' --attach '" +
                      (root / "Match.QRL").string() + "'",
                  &out),
              0)
        << out;
    ASSERT_EQ(run("mail send", &out), 0) << out;
    EXPECT_NE(out.find("Sending message 1/1...\nMessage sent\n"), std::string::npos) << out;
    ASSERT_EQ(WaitForMessages(1), 1);
    ASSERT_EQ(run("mail list-server", &out), 0) << out;
    EXPECT_NE(out.find("Ann Player <ann@example.org>|  Subject:   Game 9  Size: "),
              std::string::npos)
        << out;
    ASSERT_EQ(run("mail fetch --delete --save-games yes", &out), 0) << out;
    std::string saved;
    ASSERT_TRUE(quorel::ReadWholeFile(home / "games" / "Match.QRL", saved)) << out;
    EXPECT_TRUE(saved == game);
    EXPECT_EQ(WaitForMessages(0), 0);
    // The queued copy went to Sent Mail, the received one to New Mail.
    ASSERT_EQ(run("mail send", &out), 0);
    EXPECT_NE(out.find("There is no mail in delivery queue"), std::string::npos);
    // A queue that cannot go out gives a failing exit code.
    ASSERT_EQ(run("mail queue --to refused@" + env["MAIL_DOMAIN"] + " --subject x --body-file '" +
                  (root / "body.txt").string() + "'"),
              0);
    EXPECT_EQ(run("mail send", &out), 1) << out;
}

// The move message from end to end: a move entered as the board enters it,
// the game saved, its message queued from the composer's fields, sent with
// qrltool mail send, and fetched by the opponent's own program folder, where
// the game file arrives byte for byte and the body as it was written.
TEST_F(RealServers, MoveMessageFromTheBoardToTheOpponent) {
    const std::string opponent = env["MAIL_USER"] + "@" + env["MAIL_DOMAIN"];
    const std::string tool = std::string(QUOREL_BINARY_DIR) + "/bin/qrltool";
    auto run = [&](const fs::path& home, const std::string& args, const std::string& input = "") {
        const std::string cmd = "printf '%s\\n' '" + input + "' | QUOREL_HOME='" + home.string() +
                                "' '" + tool + "' " + args + " 2>&1";
        int rc;
        std::string text = mailtest::Shell(cmd, {}, &rc);
        return std::make_pair(rc, text);
    };
    auto program = [&](const std::string& name, const std::string& own) {
        const fs::path home = root / name;
        for (auto d : {"mailbox", "games", "attach"})
            fs::create_directories(home / d);
        const std::string ini = "[Setup]\r\nSMTP Server=127.0.0.1:" + env["SMTPS_PORT"] +
                                "\r\nPOP3 Server=127.0.0.1:" + env["POP3_PORT"] +
                                "\r\nPOP3 User Name=" + env["MAIL_USER"] + "\r\nEmail Address=" +
                                own + "\r\nUser Name=" + name +
                                "\r\nSMTP Security=TLS\r\nPOP3 Security=STARTTLS\r\nSMTP User Name=" +
                                env["MAIL_USER"] + "\r\nTrusted Certificate=" + env["CERT"] + "\r\n";
        EXPECT_TRUE(quorel::AtomicWriteFile(home / "quorel.ini", ini));
        EXPECT_EQ(run(home, "password pop3", env["MAIL_PASSWORD"]).first, 0);
        EXPECT_EQ(run(home, "password smtp", env["MAIL_PASSWORD"]).first, 0);
        return home;
    };
    const fs::path ann = program("ann", "ann@example.org");
    const fs::path bob = program("bob", opponent);

    namespace chess = quorel::chess;
    chess::TGameRecord rec = chess::TGameRecord::NewGame();
    rec.Event = "Friendly";
    rec.Round = "1";
    rec.White = "Ann Player";
    rec.Black = "J\u00F6rg Opponent";
    rec.WhiteAddress = "ann@example.org";
    rec.BlackAddress = opponent;
    rec.SendDates = 1;
    rec.SendGameFile = 1;
    chess::TChessPosition pos;
    ASSERT_TRUE(chess::EnterMove(rec, pos, 14, 34, {}, 46090.5).Accepted);
    const std::string name = "ANN PLAYER - JORG OPPONENT (1).QRL";
    ASSERT_TRUE(chess::SaveToFile(ann / "games", name, rec, "").Ok);
    std::string game;
    ASSERT_TRUE(quorel::ReadWholeFile(ann / "games" / name, game));

    quorel::compose::TMessageDraft draft;
    draft.GameFile = ann / "games" / name;
    quorel::compose::WriteGame(draft, rec, {"ann@example.org", '/'});
    EXPECT_EQ(draft.Address, opponent);
    draft.Body.insert(draft.Body.end(), {"Your move, J\u00F6rg.", "..", "."});
    {
        TMailStore annStore;
        ASSERT_TRUE(annStore.Open(ann / "mailbox", kFolders));
        const auto q = quorel::compose::QueueDraft(annStore, draft,
                                                   {"Ann Player", "ann@example.org", {}});
        ASSERT_TRUE(q.Ok) << q.Error;
    }
    auto sent = run(ann, "mail send");
    ASSERT_EQ(sent.first, 0) << sent.second;
    ASSERT_EQ(WaitForMessages(1), 1);
    auto fetched = run(bob, "mail fetch --delete --save-games yes");
    ASSERT_EQ(fetched.first, 0) << fetched.second;

    std::string arrived;
    ASSERT_TRUE(quorel::ReadWholeFile(bob / "games" / name, arrived)) << fetched.second;
    EXPECT_TRUE(arrived == game);
    TMailStore bobStore;
    ASSERT_TRUE(bobStore.OpenReadOnly(bob / "mailbox"));
    auto received = bobStore.FolderRecords(kFolderNew);
    ASSERT_EQ(received.size(), 1u);
    // (Header values are read trimmed: the subject's trailing blank stays behind.)
    EXPECT_EQ(received[0].second.Subject, "[Friendly (1). Move :   1.e4]");
    TmsMessage m;
    m.LoadFromFile(bobStore.GetFileName(received[0].first));
    // The body as written, then the note of the saved game file.
    ASSERT_GE(m.Body.size(), draft.Body.size());
    EXPECT_EQ(std::vector<std::string>(m.Body.begin(), m.Body.begin() + long(draft.Body.size())),
              draft.Body);
    EXPECT_FALSE(m.Headers.GetFieldValue("Message-ID").empty());
    EXPECT_FALSE(m.Headers.GetFieldValue("Date").empty());
}

// A certificate that is trusted but names another host is refused: the host
// name (here the IP address) is checked, not only the signature.
TEST_F(RealServers, TrustedCertificateForAnotherHostIsRefused) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    ASSERT_EQ(SSL_CTX_use_certificate_file(ctx, env["OTHER_CERT"].c_str(), SSL_FILETYPE_PEM), 1);
    ASSERT_EQ(SSL_CTX_use_PrivateKey_file(ctx, env["OTHER_KEY"].c_str(), SSL_FILETYPE_PEM), 1);
    int lfd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(lfd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ::listen(lfd, 1);
    socklen_t len = sizeof sa;
    getsockname(lfd, reinterpret_cast<sockaddr*>(&sa), &len);
    std::thread server([&] {
        int fd = ::accept(lfd, nullptr, nullptr);
        if (fd < 0) return;
        SSL* ssl = SSL_new(ctx);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) SSL_write(ssl, "+OK ready\r\n", 11);
        SSL_free(ssl);
        ::close(fd);
    });
    logic->Config.TrustedCertificate = env["OTHER_CERT"];
    logic->Config.Pop3Security = TMailSecurity::Tls;
    logic->Config.Pop3Server = "127.0.0.1:" + std::to_string(ntohs(sa.sin_port));
    EXPECT_FALSE(logic->UpdateButtonClick());
    server.join();
    ::close(lfd);
    SSL_CTX_free(ctx);
    EXPECT_TRUE(Has("POP3 ERROR: TLS certificate not accepted: IP address mismatch (127.0.0.1)"))
        << Log();
    const auto& log = logic->RemotePOP.Log();
    EXPECT_EQ(std::find(log.begin(), log.end(), "+OK ready"), log.end());
}

// Quick transfer: list, mark all, retrieve, then send — in that order, so the
// message sent in the same run is not among those retrieved.
TEST_F(RealServers, QuickTransferRetrievesThenSends) {
    Queue("player@quorel.test", "", "");
    ASSERT_TRUE(logic->SendButtonClick()) << Log();
    ASSERT_EQ(WaitForMessages(1), 1);
    const std::string second = Queue("player@quorel.test", "Second.qrl", "second game");
    logic->EditDelete = true;
    logic->InfoLog.clear();
    logic->Quicktransfer1Click();
    EXPECT_EQ(store.CountOf(kFolderNew), 1) << Log();
    TMailIndexRecord rec;
    ASSERT_TRUE(store.ReadRecord(store.FindByFileName(second), rec));
    EXPECT_EQ(rec.Folder, kFolderSent);
    EXPECT_FALSE(fs::exists(root / "games" / "Second.qrl"));
    EXPECT_EQ(WaitForMessages(1), 1); // the second message waits for the next run
    const auto retrieving =
        std::find(logic->InfoLog.begin(), logic->InfoLog.end(), "Retrieving message 1");
    const auto sending =
        std::find(logic->InfoLog.begin(), logic->InfoLog.end(), "Sending message 1/1...");
    ASSERT_NE(retrieving, logic->InfoLog.end());
    ASSERT_NE(sending, logic->InfoLog.end());
    EXPECT_LT(retrieving, sending);
}
