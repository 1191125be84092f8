// The IMAP client's side of the dialogue, byte for byte, against a scripted
// server: what it does where Dovecot never leads it (no UIDPLUS, LOGIN
// disabled, no SASL-IR, capabilities only on request).
#include "mail/imap.h"
#include "tests/mail_net/fake_server.h"

#include <gtest/gtest.h>

using namespace quorel::mail;
using quorel::mail::test::FakeServer;

namespace {
const char* kLogin[] = {"S:* OK IMAP4rev1 ready",
                        "C",
                        "S:* CAPABILITY IMAP4rev1 AUTH=PLAIN",
                        "S:Q0001 OK done",
                        "C",
                        "S:Q0002 OK logged in",
                        "C",
                        "S:* CAPABILITY IMAP4rev1",
                        "S:Q0003 OK",
                        "C",
                        "S:* 2 EXISTS",
                        "S:* OK [UIDVALIDITY 42] ok",
                        "S:Q0004 OK [READ-WRITE] done"};
const char* kLoginSent = "Q0001 CAPABILITY\r\n"
                         "Q0002 LOGIN \"ann\" \"pa\\\"ss\"\r\n"
                         "Q0003 CAPABILITY\r\n"
                         "Q0004 SELECT \"INBOX\"\r\n";
} // namespace

TEST(ImapDialogue, WithoutUidplusOnlyAMailboxOfOurDeletionsIsExpunged) {
    struct Case {
        const char* searchReply; // the server's \Deleted messages
        const char* tail;        // what the client sends after the search
        bool expunged;
    } cases[] = {
        {"S:* SEARCH 7", "Q0008 EXPUNGE\r\nQ0009 LOGOUT\r\n", true},
        // Someone else flagged message 3: a plain EXPUNGE would remove it too.
        {"S:* SEARCH 3 7", "Q0008 LOGOUT\r\n", false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.searchReply);
        FakeServer::Script script(std::begin(kLogin), std::end(kLogin));
        for (const char* step :
             {"C", "S:* 1 FETCH (UID 7 RFC822.SIZE 21 BODY[] {21}", "R:Subject: x\r\n\r\n.dots\r\n",
              "S:)", "S:Q0005 OK", "C", "S:Q0006 OK", "C", k.searchReply, "S:Q0007 OK", "C",
              "S:Q0008 OK", "C", "S:* BYE", "S:Q0009 OK"})
            script.push_back(step);
        FakeServer server(script);
        TmsIMAP c;
        c.Server = server.Address();
        c.UserName = "ann";
        c.Password = "pa\"ss";
        c.TimeOut = 5;
        c.UidValidity = 42; // as listed
        TImapMessageInfo item;
        item.Uid = 7;
        item.Retrieve = item.Delete = true;
        c.RemoteInfo = {item};
        std::string saved;
        c.OnUserMessageSave = [&](int, const std::string& s) { saved = s; };
        c.TransferMarked();
        server.Join();
        EXPECT_EQ(saved, "Subject: x\r\n\r\n..dots\r\n.\r\n");
        EXPECT_EQ(server.Received(), std::string(kLoginSent) +
                                         "Q0005 UID FETCH 7 (UID RFC822.SIZE BODY.PEEK[])\r\n"
                                         "Q0006 UID STORE 7 +FLAGS.SILENT (\\Deleted)\r\n"
                                         "Q0007 UID SEARCH DELETED\r\n" +
                                         k.tail);
        EXPECT_EQ(c.Flagged, std::vector<uint32_t>{7});
        EXPECT_EQ(c.NotExpunged.empty(), k.expunged);
    }
}

TEST(ImapDialogue, LoginDisabledSignsInWithPlainAfterTheContinuation) {
    FakeServer server({"S:* OK [CAPABILITY IMAP4rev1 LOGINDISABLED AUTH=PLAIN] hi", "C", "S:+ ",
                       "C", "S:Q0001 OK [CAPABILITY IMAP4rev1 UIDPLUS] in", "C",
                       "S:* OK [UIDVALIDITY 1] x", "S:* 0 EXISTS", "S:Q0002 OK", "C",
                       "S:Q0003 OK"});
    TmsIMAP c;
    c.Server = server.Address();
    c.UserName = "ann";
    c.Password = "pa\"ss";
    c.TimeOut = 5;
    c.LogFileName = "unused.log";
    c.GetRemoteInfo();
    server.Join();
    EXPECT_TRUE(c.RemoteInfo.empty());
    EXPECT_TRUE(c.HasCapability("UIDPLUS"));
    EXPECT_EQ(server.Received(), "Q0001 AUTHENTICATE PLAIN\r\n"
                                 "AGFubgBwYSJzcw==\r\n"
                                 "Q0002 SELECT \"INBOX\"\r\n"
                                 "Q0003 LOGOUT\r\n");
    for (const auto& line : c.Log())
        EXPECT_EQ(line.find("AGFubg"), std::string::npos) << line;
}

TEST(ImapDialogue, StopEndsAHangingTokenCommandBeforeAnythingIsSent) {
    FakeServer server(FakeServer::Script{"S:* OK ready", "HOLD"});
    TmsIMAP c;
    c.Server = server.Address();
    c.UserName = "ann";
    c.OAuth.Mechanism = "OAUTH2";
    c.OAuth.TokenCommand = "sleep 20";
    std::string error;
    c.OnError = [&](std::string& m) { error = m; };
    c.Pump = [&] { c.Cancel(); };
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(c.GetRemoteInfo(), ECanceledError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(error, "Operation has been canceled");
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(server.Connections(), 0u);
}
