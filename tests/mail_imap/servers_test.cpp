// End to end against the private Dovecot that the imap_servers fixture
// starts on 127.0.0.1: IMAP over STARTTLS, TLS and plain text, filing each
// message once across fetches (IMAP UIDs, POP3 UIDLs), retrieve-and-delete
// expunging only what was filed, a mailbox renumbered by the server, and
// OAuth 2.0 sign-in through token commands, accepted and refused.
#include "mail/imap.h"
#include "mail/message.h"
#include "mail/pop3.h"
#include "mail/uidstore.h"
#include "platform/files.h"
#include "servers_util.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quorel::mail;
namespace fs = std::filesystem;

namespace {

using imaptest::ServerEnv;
using imaptest::Shell;

// The messages a test files, decoded as the connection dialog decodes them,
// and the store of their ids.
struct Filer {
    TUidStore store;
    std::string account;
    std::vector<std::string> subjects;
    std::vector<std::vector<std::string>> bodies;

    // What the connection dialog's filing takes from a message.
    TFileMessage Filing() {
        return [this](int, const std::string& contents) {
            TmsMessage m;
            m.LoadFromPop3Text(contents);
            subjects.push_back(m.Subject);
            bodies.push_back(m.Body);
        };
    }
    void Attach(TmsIMAP& c) { FileOnce(c, store, account, Filing()); }
};

class ImapServers : public ::testing::Test {
  protected:
    void SetUp() override {
        filer = Filer();
        env = ServerEnv();
        ASSERT_FALSE(env.empty()) << "the imap_servers fixture did not run";
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        user.clear();
        for (char c : name)
            if (std::isalnum(static_cast<unsigned char>(c))) user += char(std::tolower(c));
        root = fs::path(QUOREL_BINARY_DIR) / "mail_imap_tmp" / user;
        fs::remove_all(root);
        fs::create_directories(root);
        // An empty mailbox, whatever an earlier run left.
        Shell("doveadm -c " + env["DOVECOT_CONF"] + " expunge -u " + user + " mailbox INBOX all");
        filer.account = TUidStore::AccountKey("IMAP", "127.0.0.1", 0, user);
        ASSERT_TRUE(filer.store.Load(root));
    }

    void Deliver(const std::string& subject, const std::string& body) {
        std::string msg = "From: Opponent <opp@quorel.test>\r\nTo: " + user +
                          "@quorel.test\r\nSubject: " + subject +
                          "\r\nDate: Mon, 07 Dec 2026 10:00:00 +0000\r\n\r\n" + body;
        Shell("doveadm -c " + env["DOVECOT_CONF"] + " save -u " + user, msg);
    }
    long OnServer() {
        std::string s = Shell("doveadm -c " + env["DOVECOT_CONF"] + " mailbox status -u " + user +
                              " messages INBOX");
        auto p = s.find("messages=");
        return p == std::string::npos ? -1 : std::atol(s.c_str() + p + 9);
    }
    void Renumber(uint32_t validity) {
        Shell("doveadm -c " + env["DOVECOT_CONF"] + " mailbox update -u " + user +
              " --uid-validity " + std::to_string(validity) + " INBOX");
    }

    void Setup(TmsIMAP& c, TMailSecurity security = TMailSecurity::StartTls) {
        c.Security = security;
        c.Server = "127.0.0.1:" + env[security == TMailSecurity::Tls ? "IMAPS_PORT" : "IMAP_PORT"];
        c.UserName = user;
        c.Password = env["MAIL_PASSWORD"];
        c.TrustedCertificate = env["CERT"];
        c.TimeOut = 20;
        c.LogFileName = (root / "IMAP.LOG").string();
    }

    // Lists, retrieves every listed message (deleting it when asked), and
    // returns the number filed.
    size_t Fetch(TmsIMAP& c, bool remove) {
        size_t before = filer.subjects.size();
        c.GetRemoteInfo();
        for (auto& item : c.RemoteInfo) {
            item.Retrieve = true;
            item.Delete = remove;
        }
        c.TransferMarked();
        return filer.subjects.size() - before;
    }

    std::string LogText(const TagSocket& c) {
        std::string all;
        for (const auto& l : c.Log())
            all += l + "\n";
        return all;
    }

    std::map<std::string, std::string> env;
    std::string user;
    fs::path root;
    Filer filer;
};

TEST_F(ImapServers, ListRetrieveAndDeleteFileEachMessageOnce) {
    for (auto security : {TMailSecurity::StartTls, TMailSecurity::Tls, TMailSecurity::None}) {
        SCOPED_TRACE(MailSecurityName(security));
        SetUp();
        Deliver("Game 1: 12. Nf3", "12. Nf3\r\n.dot line\r\n.\r\nend\r\n");
        Deliver("Game 2: 3. e4", "3. e4\r\n");
        TmsIMAP c;
        Setup(c, security);
        filer.Attach(c);

        c.GetRemoteInfo();
        EXPECT_FALSE(c.Connected());
        ASSERT_EQ(c.RemoteInfo.size(), 2u);
        EXPECT_NE(c.UidValidity, 0u);
        const TImapMessageInfo& first = c.RemoteInfo[0];
        EXPECT_GT(first.Size, 100u);
        std::vector<std::string> want = {"From: Opponent <opp@quorel.test>",
                                         "Subject: Game 1: 12. Nf3",
                                         "Date: Mon, 07 Dec 2026 10:00:00 +0000"};
        EXPECT_EQ(first.Header, want);
        EXPECT_EQ(c.TlsActive(), false); // logged out

        // Retrieve without deleting: both filed, the lines that begin with a
        // dot come through unchanged, the server keeps both.
        for (auto& item : c.RemoteInfo)
            item.Retrieve = true;
        c.TransferMarked();
        ASSERT_EQ(filer.subjects, (std::vector<std::string>{"Game 1: 12. Nf3", "Game 2: 3. e4"}));
        EXPECT_EQ(filer.bodies[0], (std::vector<std::string>{"12. Nf3", ".dot line", ".", "end"}));
        EXPECT_EQ(OnServer(), 2);

        // A second fetch files nothing.
        EXPECT_EQ(Fetch(c, false), 0u);
        EXPECT_TRUE(c.RemoteInfo.empty());
        EXPECT_EQ(c.AllUids.size(), 2u);

        // Retrieve and delete: only the new message, and only it is expunged.
        Deliver("Game 3: 40. Qh7#", "40. Qh7#\r\n");
        EXPECT_EQ(Fetch(c, true), 1u);
        EXPECT_EQ(filer.subjects.back(), "Game 3: 40. Qh7#");
        EXPECT_EQ(c.Flagged.size(), 1u);
        EXPECT_TRUE(c.NotExpunged.empty());
        EXPECT_EQ(OnServer(), 2);
        // The next listing drops the deleted message's id from the store.
        EXPECT_EQ(filer.store.Count(filer.account), 3u);
        c.GetRemoteInfo();
        EXPECT_EQ(filer.store.Count(filer.account), 2u);
        TUidStore onDisk;
        ASSERT_TRUE(onDisk.Load(root));
        EXPECT_EQ(onDisk.Count(filer.account), 2u);

        // The protocol log holds the dialogue but no password and no text.
        std::string log = LogText(c);
        EXPECT_NE(log.find("LOGIN \"" + user + "\" ****"), std::string::npos) << log;
        EXPECT_NE(log.find("UID EXPUNGE"), std::string::npos) << log;
        EXPECT_EQ(log.find("secret"), std::string::npos) << log;
        EXPECT_EQ(log.find("Qh7#\r"), std::string::npos);
        EXPECT_EQ(log.find("40. Qh7#"), std::string::npos) << log;
    }
}

TEST_F(ImapServers, AFilingFailureDeletesNothing) {
    for (int i = 1; i <= 3; ++i)
        Deliver("Move " + std::to_string(i), "body\r\n");
    TmsIMAP c;
    Setup(c);
    filer.Attach(c);
    c.GetRemoteInfo();
    ASSERT_EQ(c.RemoteInfo.size(), 3u) << LogText(c);
    auto file = c.OnUserMessageSave;
    c.OnUserMessageSave = [&](int num, const std::string& contents) {
        if (num == 1) throw EMailNetError("disk full");
        file(num, contents);
    };
    for (auto& item : c.RemoteInfo)
        item.Retrieve = item.Delete = true;
    EXPECT_THROW(c.TransferMarked(), EMailNetError);
    c.Close();
    EXPECT_EQ(filer.subjects, std::vector<std::string>{"Move 1"});
    EXPECT_EQ(OnServer(), 3); // nothing flagged before the failure

    // The next transfer files the two others once and deletes all three
    // that are marked and filed by now.
    c.OnUserMessageSave = file;
    EXPECT_EQ(Fetch(c, true), 2u);
    EXPECT_EQ(filer.subjects, (std::vector<std::string>{"Move 1", "Move 2", "Move 3"}));
    EXPECT_EQ(OnServer(), 1); // Move 1 was not listed again, so it stays
}

TEST_F(ImapServers, StopAndTimeOutEndTheTransferAsInPop3) {
    for (int i = 1; i <= 3; ++i)
        Deliver("Move " + std::to_string(i), std::string(20000, 'x') + "\r\n");
    TmsIMAP c;
    Setup(c);
    filer.Attach(c);
    c.GetRemoteInfo();
    ASSERT_EQ(c.RemoteInfo.size(), 3u);
    for (auto& item : c.RemoteInfo)
        item.Retrieve = item.Delete = true;
    // Stop pressed as the first message comes in.
    bool cancelEvent = false;
    std::string error;
    c.OnRetrieving = [&](int) { c.Cancel(); };
    c.OnCancel = [&] { cancelEvent = true; };
    c.OnError = [&](std::string& m) { error = m; };
    EXPECT_THROW(c.TransferMarked(), ECanceledError);
    EXPECT_TRUE(cancelEvent);
    EXPECT_EQ(error, "Operation has been canceled");
    EXPECT_FALSE(c.Connected());
    EXPECT_TRUE(filer.subjects.empty());
    EXPECT_EQ(OnServer(), 3); // nothing expunged
    c.OnRetrieving = nullptr;
    EXPECT_EQ(Fetch(c, false), 3u); // and the next transfer works

    // A server that accepts the connection and never greets.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::listen(fd, 1);
    TmsIMAP mute;
    Setup(mute, TMailSecurity::None);
    mute.Server = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    mute.TimeOut = 1;
    EXPECT_THROW(mute.GetRemoteInfo(), ETimedOutError);
    EXPECT_FALSE(mute.Connected());
    ::close(fd);
}

TEST_F(ImapServers, RenumberedMailboxIsListedAfreshWithoutDuplicates) {
    Deliver("First", "a\r\n");
    Deliver("Second", "b\r\n");
    TmsIMAP c;
    Setup(c, TMailSecurity::Tls);
    filer.Attach(c);
    EXPECT_EQ(Fetch(c, false), 2u);
    EXPECT_EQ(Fetch(c, false), 0u);
    uint32_t old = c.UidValidity;

    // Renumbered between listing and transfer: nothing is retrieved.
    Deliver("Third", "c\r\n");
    c.GetRemoteInfo();
    ASSERT_EQ(c.RemoteInfo.size(), 1u);
    Renumber(old + 1000);
    c.RemoteInfo[0].Retrieve = true;
    c.RemoteInfo[0].Delete = true;
    try {
        c.TransferMarked();
        ADD_FAILURE() << "transfer after renumbering";
    } catch (const EServerError& e) {
        EXPECT_NE(std::string(e.what()).find("UIDVALIDITY changed"), std::string::npos);
    }
    EXPECT_EQ(filer.subjects.size(), 2u);
    EXPECT_EQ(OnServer(), 3);

    // The next listing forgets the old UIDs and shows every message once.
    c.GetRemoteInfo();
    EXPECT_EQ(c.UidValidity, old + 1000);
    EXPECT_EQ(filer.store.UidValidity(filer.account), old + 1000);
    ASSERT_EQ(c.RemoteInfo.size(), 3u) << LogText(c);
    std::set<uint32_t> uids;
    for (const auto& item : c.RemoteInfo)
        uids.insert(item.Uid);
    EXPECT_EQ(uids.size(), 3u);
}

TEST_F(ImapServers, Pop3WithoutDeletingFilesEachMessageOnce) {
    Deliver("One", "1\r\n");
    Deliver("Two", "2\r\n");
    filer.account = TUidStore::AccountKey("POP3", "127.0.0.1", 0, user);
    auto fetch = [&] {
        TmsRemotePOP pop;
        pop.Server = "127.0.0.1:" + env["POP3_PORT"];
        pop.Security = TMailSecurity::StartTls;
        pop.TrustedCertificate = env["CERT"];
        pop.UserName = user;
        pop.Password = env["MAIL_PASSWORD"];
        pop.TimeOut = 20;
        pop.GetRemoteInfo();
        for (auto& item : pop.RemoteInfo)
            item.Retrieve = true;
        // Each run reads the store afresh from the mailbox folder.
        filer.store = TUidStore();
        EXPECT_TRUE(filer.store.Load(root));
        FileOnce(pop, filer.store, filer.account, filer.Filing());
        size_t before = filer.subjects.size();
        pop.TransferMarked();
        return filer.subjects.size() - before;
    };
    EXPECT_EQ(fetch(), 2u);
    EXPECT_EQ(fetch(), 0u);
    Deliver("Three", "3\r\n");
    EXPECT_EQ(fetch(), 1u);
    EXPECT_EQ(filer.subjects, (std::vector<std::string>{"One", "Two", "Three"}));
    EXPECT_EQ(OnServer(), 3);
}

TEST_F(ImapServers, OAuthTokensAcceptedAndRefused) {
    Deliver("Kept", "k\r\n");
    const std::string good = "echo tok-" + user;
    struct Case {
        const char* protocol;
        const char* mechanism;
        std::string command;
        const char* error; // nullptr: accepted
    } cases[] = {
        {"IMAP", "XOAUTH2", good, nullptr},
        {"IMAP", "OAUTHBEARER", good, nullptr},
        {"IMAP", "OAUTH2", good, nullptr},
        {"POP3", "XOAUTH2", good, nullptr},
        {"POP3", "OAUTHBEARER", good, nullptr},
        {"POP3", "OAUTH2", good, nullptr},
        // Longer than a POP3 command line: sent after the empty challenge.
        {"POP3", "OAUTHBEARER", good + "." + std::string(300, 'x'), nullptr},
        {"POP3", "XOAUTH2", good + "." + std::string(300, 'x'), nullptr},
        {"IMAP", "XOAUTH2", "echo tok-someoneelse",
         "OAuth 2.0 sign-in refused: the server refused the access token (status "},
        {"IMAP", "OAUTHBEARER", "echo expired",
         "OAuth 2.0 sign-in refused: the server refused the access token (status "},
        {"POP3", "XOAUTH2", "echo expired",
         "OAuth 2.0 sign-in refused: the server refused the access token (status "},
        {"POP3", "OAUTHBEARER", "echo expired",
         "OAuth 2.0 sign-in refused: the server refused the access token (status "},
        {"IMAP", "OAUTH2", "sh -c 'echo no refresh token >&2; exit 2'",
         "OAuth2 token command \"sh\" failed with exit status 2: no refresh token"},
        {"POP3", "OAUTH2", "true", "OAuth2 token command \"true\" printed no access token"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(std::string(k.protocol) + " " + k.mechanism + " " + k.command);
        std::string errorEvent;
        TOAuthSignIn signIn;
        signIn.Mechanism = k.mechanism;
        signIn.TokenCommand = k.command;
        try {
            if (std::string(k.protocol) == "IMAP") {
                TmsIMAP c;
                Setup(c);
                c.Password.clear(); // the token command stands in for it
                c.OAuth = signIn;
                c.OnError = [&](std::string& m) { errorEvent = m; };
                filer.Attach(c);
                c.GetRemoteInfo();
                ASSERT_EQ(c.RemoteInfo.size(), 1u);
                std::string log = LogText(c);
                EXPECT_EQ(log.find("tok-"), std::string::npos) << log;
                EXPECT_NE(log.find("AUTHENTICATE"), std::string::npos) << log;
            } else {
                TmsRemotePOP p;
                p.Server = "127.0.0.1:" + env["POP3_PORT"];
                p.UserName = user;
                p.OAuth = signIn;
                p.TimeOut = 20;
                p.LogFileName = (root / "POP3.LOG").string();
                p.OnError = [&](std::string& m) { errorEvent = m; };
                p.GetRemoteInfo();
                ASSERT_EQ(p.RemoteInfo.size(), 1u);
                EXPECT_EQ(LogText(p).find("tok-"), std::string::npos);
            }
            EXPECT_EQ(k.error, nullptr) << "accepted";
        } catch (const EMailNetError& e) {
            ASSERT_NE(k.error, nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(k.error), std::string::npos) << e.what();
            // A token command that fails is reported like a socket failure;
            // a refused token is a server's refusal.
            if (dynamic_cast<const EOAuthError*>(&e)) {
                EXPECT_EQ(errorEvent, e.what());
            }
        }
    }
    EXPECT_TRUE(filer.subjects.empty());
    EXPECT_EQ(OnServer(), 1);
}

} // namespace

namespace {

TEST_F(ImapServers, SmtpSendsWithOAuthTokensAndSendsNothingWithout) {
    struct Case {
        const char* mechanism;
        std::string command;
        const char* error; // nullptr: sent
    } cases[] = {
        {"OAUTH2", "echo tok-" + user, nullptr},
        {"OAUTHBEARER", "echo tok-" + user, nullptr},
        {"XOAUTH2", "echo tok-someoneelse", "OAuth 2.0 sign-in refused"},
        {"OAUTHBEARER", "echo expired", "OAuth 2.0 sign-in refused"},
        {"XOAUTH2", "sh -c 'echo token endpoint unreachable >&2; exit 1'",
         "OAuth2 token command \"sh\" failed with exit status 1: token endpoint unreachable"},
        {"XOAUTH2", "printf ''", "OAuth2 token command \"printf\" printed no access token"},
    };
    long sent = 0;
    for (const auto& k : cases) {
        SCOPED_TRACE(std::string(k.mechanism) + " " + k.command);
        TmsMessage m;
        m.Sender = TmsMailAddress("Player", user + "@quorel.test");
        m.Recipients.Add("Me", user + "@quorel.test");
        m.Subject = std::string("Move by ") + k.mechanism;
        m.Body = {"1. e4"};
        TmsSMTP smtp;
        smtp.Server = "127.0.0.1:" + env["SMTP_PORT"];
        smtp.Security = TMailSecurity::StartTls;
        smtp.TrustedCertificate = env["CERT"];
        smtp.UserName = user;
        smtp.OAuth.Mechanism = k.mechanism;
        smtp.OAuth.TokenCommand = k.command;
        smtp.MailMessage = &m;
        smtp.TimeOut = 20;
        smtp.LogFileName = (root / "SMTP.LOG").string();
        try {
            smtp.Connect();
            smtp.Send();
            smtp.Disconnect();
            ++sent;
            EXPECT_EQ(k.error, nullptr);
            EXPECT_EQ(LogText(smtp).find("tok-"), std::string::npos) << LogText(smtp);
        } catch (const EMailNetError& e) {
            ASSERT_NE(k.error, nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(k.error), std::string::npos) << e.what();
            smtp.Close();
        }
    }
    // Exactly the accepted ones arrive.
    for (int i = 0; i < 100 && OnServer() < sent; ++i)
        usleep(100 * 1000);
    EXPECT_EQ(OnServer(), 2);
    usleep(300 * 1000);
    EXPECT_EQ(OnServer(), 2);
}

} // namespace
