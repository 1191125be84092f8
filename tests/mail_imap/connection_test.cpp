// The connection dialog's logic and qrltool against the imap_servers
// fixture: Update, Download and Quick transfer over IMAP file as over POP3
// (game file question, New Mail) and never twice; POP3 mail left on the
// server is filed once and listed as filed; OAuth 2.0 through the settings.
#include "mail/connection.h"
#include "platform/files.h"
#include "servers_util.h"
#include "shell/lang/multilang.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <thread>

using namespace quorel::mail;
namespace fs = std::filesystem;

namespace {

const std::array<std::string, 5> kFolders = {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"};

using imaptest::ServerEnv;
using imaptest::Shell;

class ConnectionServers : public ::testing::Test {
  protected:
    void SetUp() override {
        env = ServerEnv();
        ASSERT_FALSE(env.empty()) << "the imap_servers fixture did not run";
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        user = "conn";
        for (char c : name)
            if (std::isalnum(static_cast<unsigned char>(c))) user += char(std::tolower(c));
        root = fs::path(QUOREL_BINARY_DIR) / "mail_imap_tmp" / user;
        fs::remove_all(root);
        for (auto d : {"mailbox", "games", "attach"})
            fs::create_directories(root / d);
        Shell(Doveadm("expunge") + " mailbox INBOX all");
        ASSERT_TRUE(store.Open(root / "mailbox", kFolders));
        logic = std::make_unique<TConnectionLogic>(store);
        auto lang = std::make_shared<quorel::TMultiLang>(
            quorel::TMultiLang::ForWindow("TConnectionDialog"));
        logic->Text = [lang](const std::string& k) { return lang->Text(k); };
        logic->AskSaveGame = [this](const std::string&, const std::string& file) {
            asked.push_back(file);
            return true;
        };
        TMailConfig& c = logic->Config;
        c.Imap = true;
        c.Pop3Server = "127.0.0.1:" + env["IMAPS_PORT"];
        c.Pop3Security = TMailSecurity::Tls;
        c.Pop3UserName = user;
        c.Pop3Password = env["MAIL_PASSWORD"];
        c.SmtpServer = "127.0.0.1:" + env["SMTP_PORT"];
        c.SmtpSecurity = TMailSecurity::StartTls;
        c.TrustedCertificate = env["CERT"];
        c.ProgramFolder = root;
        c.MailboxFolder = root / "mailbox";
        c.GamesFolder = root / "games";
        c.AttachFolder = root / "attach";
        c.TimeOut = 20;
        logic->FormCreate();
    }
    void TearDown() override {
        if (logic) logic->FormDestroy();
    }

    std::string Doveadm(const std::string& command) {
        return "doveadm -c " + env["DOVECOT_CONF"] + " " + command + " -u " + user;
    }
    // A message from the opponent, with a game file when game is not empty.
    void Deliver(const std::string& subject, const std::string& game = {}) {
        TmsMessage m;
        m.Sender = TmsMailAddress("Opponent", "opp@quorel.test");
        m.Recipients.Add("Player", user + "@quorel.test");
        m.Subject = subject;
        m.Body = {"24. Qh5", "Regards"};
        if (!game.empty()) m.Attachments.Add("Match.QRL", game);
        Shell(Doveadm("save"), m.SaveToString());
    }
    long OnServer() {
        std::string s = Shell(Doveadm("mailbox status") + " messages INBOX");
        auto p = s.find("messages=");
        return p == std::string::npos ? -1 : std::atol(s.c_str() + p + 9);
    }
    long NewMail() { return store.CountOf(kFolderNew); }
    std::string Log() const {
        std::string all;
        for (const auto& l : logic->InfoLog)
            all += l + "\n";
        return all;
    }
    bool Has(const std::string& prefix) const {
        for (const auto& l : logic->InfoLog)
            if (l.rfind(prefix, 0) == 0) return true;
        return false;
    }

    std::map<std::string, std::string> env;
    std::string user;
    fs::path root;
    TMailStore store;
    std::unique_ptr<TConnectionLogic> logic;
    std::vector<std::string> asked;
};

TEST_F(ConnectionServers, ImapUpdateDownloadAndQuickTransferFileEachMessageOnce) {
    const std::string game(5000, 'g');
    for (TMailSecurity security : {TMailSecurity::Tls, TMailSecurity::StartTls}) {
        SCOPED_TRACE(int(security));
        Shell(Doveadm("expunge") + " mailbox INBOX all");
        logic->Config.Pop3Security = security;
        logic->Config.Pop3Server =
            "127.0.0.1:" + env[security == TMailSecurity::Tls ? "IMAPS_PORT" : "IMAP_PORT"];
        const long before = NewMail();
        asked.clear();
        Deliver("Game 7", game);
        Deliver("Hello");

        ASSERT_TRUE(logic->UpdateButtonClick()) << Log();
        ASSERT_EQ(logic->ListLines.size(), 2u);
        EXPECT_NE(logic->ListLines[0].find("Game 7"), std::string::npos);
        EXPECT_EQ(logic->Filed, (std::vector<bool>{false, false}));
        EXPECT_TRUE(Has("Connecting with IMAP server 127.0.0.1:")) << Log();

        // Download of the selected message: the game file question, New Mail.
        logic->Selected = {true, false};
        ASSERT_TRUE(logic->RetrievebuttonClick()) << Log();
        EXPECT_EQ(asked, (std::vector<std::string>{"Match.QRL"}));
        std::string saved;
        ASSERT_TRUE(quorel::ReadWholeFile(root / "games" / "Match.QRL", saved));
        EXPECT_TRUE(saved == game);
        EXPECT_EQ(NewMail(), before + 1);
        // The listing after it leaves the filed message out.
        ASSERT_EQ(logic->ListLines.size(), 1u);
        EXPECT_NE(logic->ListLines[0].find("Hello"), std::string::npos);

        // Quick transfer files the rest; a second one files nothing.
        logic->Quicktransfer1Click();
        EXPECT_EQ(NewMail(), before + 2) << Log();
        EXPECT_TRUE(logic->ListLines.empty());
        EXPECT_TRUE(logic->RetrieveAll()) << Log();
        EXPECT_EQ(NewMail(), before + 2);
        EXPECT_EQ(OnServer(), 2);

        // Delete after retrieving: only the message filed now leaves the server.
        Deliver("Third");
        logic->EditDelete = true;
        EXPECT_TRUE(logic->RetrieveAll()) << Log();
        logic->EditDelete = false;
        EXPECT_EQ(NewMail(), before + 3);
        EXPECT_EQ(OnServer(), 2);
    }
    // The protocol log of the session went to IMAP.LOG.
    logic->FormDestroy();
    std::string log;
    EXPECT_TRUE(quorel::ReadWholeFile(root / "IMAP.LOG", log));
    EXPECT_NE(log.find("SELECT"), std::string::npos);
    logic.reset();
}

TEST_F(ConnectionServers, Pop3LeftOnTheServerIsFiledOnceAndListedAsFiled) {
    TMailConfig c = logic->Config;
    c.Imap = false;
    c.Pop3Server = "127.0.0.1:" + env["POP3_PORT"];
    c.Pop3Security = TMailSecurity::StartTls;
    logic->Config = c;
    Deliver("One");
    Deliver("Two", "game");
    EXPECT_TRUE(logic->RetrieveAll()) << Log();
    EXPECT_EQ(NewMail(), 2);
    // A new session of the dialog reads the ids from the mailbox folder.
    logic->FormDestroy();
    logic = std::make_unique<TConnectionLogic>(store);
    logic->Config = c;
    logic->FormCreate();
    Deliver("Three");
    ASSERT_TRUE(logic->UpdateButtonClick());
    EXPECT_EQ(logic->Filed, (std::vector<bool>{true, true, false}));
    logic->MArkALl();
    EXPECT_TRUE(logic->RetrievebuttonClick());
    EXPECT_EQ(NewMail(), 3);
    EXPECT_TRUE(logic->RetrieveAll());
    EXPECT_EQ(NewMail(), 3);
    EXPECT_EQ(OnServer(), 3);
    EXPECT_EQ(logic->Filed, (std::vector<bool>{true, true, true}));
}

TEST_F(ConnectionServers, OAuthSignInThroughTheSettings) {
    TMailConfig& c = logic->Config;
    c.Pop3OAuth = c.SmtpOAuth = true;
    c.Pop3Password.clear();
    struct Case {
        std::string command;
        const char* error; // nullptr: signed in
    } cases[] = {
        {"echo tok-" + user, nullptr},
        {"sh -c 'echo no refresh token >&2; exit 2'",
         "OAuth2 token command \"sh\" failed with exit status 2: no refresh token"},
        {"echo expired", "OAuth 2.0 sign-in refused"},
    };
    long sent = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.command);
        c.OAuthTokenCommand = k.command;
        logic->InfoLog.clear();
        // SMTP: the POP3 user signs in when no SMTP user is set.
        TmsMessage m;
        m.Sender = TmsMailAddress("Player", user + "@quorel.test");
        m.Recipients.Add("Me", user + "@quorel.test");
        m.Subject = "Move";
        m.Body = {"1. e4"};
        const std::string file = store.QueueMessage(m, true).filename().string();
        const bool sentOk = logic->SendButtonClick();
        TMailIndexRecord rec;
        ASSERT_TRUE(store.ReadRecord(store.FindByFileName(file), rec));
        const bool listed = logic->UpdateButtonClick();
        if (!k.error) {
            EXPECT_TRUE(sentOk) << Log();
            EXPECT_TRUE(listed) << Log();
            EXPECT_EQ(rec.Folder, kFolderSent);
            ++sent;
        } else {
            EXPECT_FALSE(sentOk);
            EXPECT_FALSE(listed);
            EXPECT_EQ(rec.Folder, kFolderQueued);
            EXPECT_NE(logic->LastError.find(k.error), std::string::npos) << logic->LastError;
            if (std::string(k.error).rfind("OAuth2", 0) == 0) {
                EXPECT_TRUE(Has(std::string("IMAP ERROR: ") + k.error)) << Log();
            }
            store.DeleteMessage(store.FindByFileName(file));
        }
    }
    for (int i = 0; i < 100 && OnServer() < sent; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(OnServer(), sent);
}

TEST_F(ConnectionServers, QrltoolFetchesOverImapOnce) {
    logic.reset();
    const fs::path home = root / "home";
    fs::create_directories(home);
    const std::string ini = "[Setup]\r\nPOP3 Server=127.0.0.1:" + env["IMAPS_PORT"] +
                            "\r\nPOP3 User Name=" + user +
                            "\r\nPOP3 Security=TLS\r\nMail Protocol=IMAP\r\n"
                            "POP3 Sign-in=OAUTH2\r\nOAuth2 Token Command=echo tok-" +
                            user + "\r\nTrusted Certificate=" + env["CERT"] + "\r\n";
    ASSERT_TRUE(quorel::AtomicWriteFile(home / "quorel.ini", ini));
    Deliver("Game 8", "qrl");
    Deliver("Hello");
    const std::string tool =
        "QUOREL_HOME='" + home.string() + "' '" + std::string(QUOREL_BINARY_DIR) + "/bin/qrltool' ";
    int rc = -1;
    std::string out = Shell(tool + "mail list-server 2>&1", {}, &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("Game 8"), std::string::npos) << out;
    out = Shell(tool + "mail fetch --save-games yes 2>&1", {}, &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("Connecting with IMAP server"), std::string::npos) << out;
    out = Shell(tool + "mail fetch 2>&1", {}, &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("0 messages listed"), std::string::npos) << out;
    std::string game;
    EXPECT_TRUE(quorel::ReadWholeFile(home / "games" / "Match.QRL", game));
    TMailStore fetched;
    ASSERT_TRUE(fetched.Open(home / "mailbox", kFolders));
    EXPECT_EQ(fetched.CountOf(kFolderNew), 2);
    EXPECT_EQ(OnServer(), 2);
}

} // namespace
