// The SMTP and POP3 dialogues byte for byte against a scripted server, the
// socket layer's failures, and the texts of the network layer.
#include "fake_server.h"
#include "mail/pop3.h"
#include "mail/smtp.h"
#include "platform/files.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <netdb.h>

using namespace quorel::mail;
using quorel::mail::test::FakeServer;
namespace fs = std::filesystem;

namespace {

TmsMessage PlainMessage() {
    TmsMessage m;
    m.Sender = TmsMailAddress("Ann Player", "ann@example.org");
    m.Recipients.Add("Bob", "bob@example.org");
    m.CC.Add(" ", "carl@example.org");
    m.BCC.Add("", "dora@example.org");
    m.Subject = "Game 12";
    m.Body = {"1. e4 e5", ".", "end"};
    return m;
}

struct Events {
    std::vector<std::string> seen;
    void Wire(TagSocket& s) {
        s.OnOpen = [this] { seen.push_back("open"); };
        s.OnClosing = [this] { seen.push_back("closing"); };
        s.OnClosed = [this] { seen.push_back("closed"); };
        s.OnCancel = [this] { seen.push_back("cancel"); };
        s.OnError = [this](std::string& m) { seen.push_back("error:" + m); };
    }
};

fs::path TempDir(const std::string& name) {
    fs::path d = fs::path(QUOREL_BINARY_DIR) / "mail_net_tmp" / name;
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

// The standard successful SMTP exchange after the greeting and HELO, for
// one message with three envelope recipients.
FakeServer::Script SmtpAfterHelo() {
    return {"C", "S:250 sender ok", "C", "S:250 ok",     "C", "S:250 ok", "C", "S:250 ok",
            "C", "S:354 go ahead",  "D", "S:250 queued", "C", "S:221 bye"};
}

FakeServer::Script Concat(FakeServer::Script a, const FakeServer::Script& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

// ---- SMTP ----------------------------------------------------------------

TEST(SmtpDialogue, OriginalHeloFlowByteForByte) {
    TmsMessage msg = PlainMessage();
    const std::string stream = msg.SaveToString();
    // A multi-line greeting; HELO with the host name refused, bare HELO taken.
    FakeServer server(
        Concat({"S:220-smtp.example.org first line", "S:220-second line",
                "S:220 smtp.example.org ready", "C", "S:501 bad host name", "C", "S:250 hello"},
               SmtpAfterHelo()));
    TmsSMTP smtp;
    smtp.Server = server.Address();
    smtp.LogFileName = "unused";
    smtp.MailMessage = &msg;
    std::vector<std::string> order;
    smtp.OnPrepare = [&] { order.push_back("prepare"); };
    smtp.OnSending = [&] { order.push_back("sending"); };
    smtp.OnMailSent = [&] { order.push_back("sent"); };
    std::vector<std::pair<int, uint32_t>> progress;
    smtp.OnProgress = [&](int p, uint32_t t) { progress.emplace_back(p, t); };
    smtp.Connect();
    smtp.Send();
    smtp.Disconnect();
    server.Join();

    // The lone "." body line goes out doubled.
    const size_t dot = stream.find("\r\n.\r\n");
    ASSERT_NE(dot, std::string::npos);
    const std::string wire = stream.substr(0, dot + 2) + "." + stream.substr(dot + 2);
    const std::string host = smtp.LocalHostName();
    const std::string expected = "HELO " + host + "\r\nHELO\r\n" +
                                 "MAIL FROM:<ann@example.org>\r\n"
                                 "RCPT TO:<bob@example.org>\r\n"
                                 "RCPT TO:<carl@example.org>\r\n"
                                 "RCPT TO:<dora@example.org>\r\n"
                                 "DATA\r\n" +
                                 wire + "\r\n.\r\nQUIT\r\n";
    EXPECT_EQ(server.Received(), expected);
    EXPECT_EQ(order, (std::vector<std::string>{"prepare", "sending", "sent"}));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(0, 0u));
    EXPECT_EQ(progress[progress.size() - 2], std::make_pair(100, uint32_t(wire.size())));
    // The log holds the dialogue but not the body.
    const auto& log = smtp.Log();
    EXPECT_EQ(log.front(), "220-smtp.example.org first line");
    EXPECT_NE(std::find(log.begin(), log.end(), "Suppressing the message body"), log.end());
    EXPECT_EQ(std::find(log.begin(), log.end(), "1. e4 e5"), log.end());
    EXPECT_FALSE(smtp.Connected());
}

TEST(SmtpDialogue, DataGoesOutIn2047ByteBlocksWithProgress) {
    TmsMessage msg = PlainMessage();
    msg.Body.assign(300, std::string(60, 'x'));
    const std::string stream = msg.SaveToString();
    FakeServer server(Concat({"S:220 ready", "C", "S:250 hello"}, SmtpAfterHelo()));
    TmsSMTP smtp;
    smtp.Server = server.Address();
    smtp.MailMessage = &msg;
    std::vector<uint32_t> transferred;
    smtp.OnProgress = [&](int, uint32_t t) { transferred.push_back(t); };
    smtp.Connect();
    smtp.Send();
    smtp.Disconnect();
    server.Join();
    const size_t blocks = (stream.size() + 2046) / 2047;
    ASSERT_EQ(transferred.size(), blocks + 1);
    for (size_t i = 0; i + 1 < blocks; ++i)
        EXPECT_EQ(transferred[i], (i + 1) * 2047);
    EXPECT_EQ(transferred[blocks - 1], stream.size());
    EXPECT_NE(server.Received().find(stream), std::string::npos);
}

TEST(SmtpDialogue, RefusedRecipientWithAndWithoutProceed) {
    struct Row {
        bool proceed;
        bool fails;
    };
    for (Row row : {Row{false, true}, Row{true, false}}) {
        SCOPED_TRACE(row.proceed);
        TmsMessage msg = PlainMessage();
        FakeServer::Script script = {"S:220 ready",
                                     "C",
                                     "S:250 hello",
                                     "C",
                                     "S:250 ok",
                                     "C",
                                     "S:250 ok",
                                     "C",
                                     "S:250 ok",
                                     "C",
                                     "S:550 no such user dora"};
        if (row.proceed)
            script = Concat(script, {"C", "S:354 go", "D", "S:250 queued", "C", "S:221 bye"});
        else
            script = Concat(script, {"C", "S:221 bye"});
        FakeServer server(script);
        TmsSMTP smtp;
        smtp.Server = server.Address();
        smtp.MailMessage = &msg;
        std::string rejected, reply;
        smtp.OnAddressRejected = [&](const std::string& a, const std::string& r, bool& proceed) {
            rejected = a;
            reply = r;
            proceed = row.proceed;
        };
        smtp.Connect();
        if (row.fails) {
            try {
                smtp.Send();
                FAIL() << "send went through";
            } catch (const EServerError& e) {
                EXPECT_STREQ(e.what(), "550 no such user dora");
            }
        } else {
            smtp.Send();
        }
        smtp.Disconnect();
        server.Join();
        EXPECT_EQ(rejected, "dora@example.org"); // the BCC address
        EXPECT_EQ(reply, "550 no such user dora");
        EXPECT_EQ(server.Received().find("DATA") != std::string::npos, row.proceed);
    }
}

TEST(SmtpDialogue, EnvelopeListReplacesTheRecipients) {
    TmsMessage msg = PlainMessage();
    FakeServer server({"S:220 ready", "C", "S:250 hello", "C", "S:250 ok", "C", "S:250 ok", "C",
                       "S:354 go", "D", "S:250 queued", "C", "S:221 bye"});
    TmsSMTP smtp;
    smtp.Server = server.Address();
    smtp.MailMessage = &msg;
    smtp.EnvelopeRecipients = {"only@example.org"};
    smtp.Connect();
    smtp.Send();
    smtp.Disconnect();
    server.Join();
    const std::string got = server.Received();
    EXPECT_NE(got.find("RCPT TO:<only@example.org>\r\nDATA\r\n"), std::string::npos);
    EXPECT_EQ(got.find("RCPT TO:<bob@"), std::string::npos);
}

TEST(SmtpDialogue, AuthPlainAndLoginAreMaskedInTheLog) {
    struct Row {
        const char* mech;
        FakeServer::Script script;
        std::string sent;
        std::vector<std::string> logged;
    };
    const std::string ehlo = "S:250-mail.example.org";
    std::vector<Row> rows = {
        {"",
         {"S:220 ready", "C", ehlo, "S:250-AUTH LOGIN PLAIN", "S:250 HELP", "C", "S:235 ok", "C",
          "S:221 bye"},
         "AUTH PLAIN AHBsYXllcgBzM2NyZXQ=\r\n",
         {"AUTH PLAIN ****", "235 ok"}},
        {"",
         {"S:220 ready", "C", ehlo, "S:250 AUTH LOGIN", "C", "S:334 VXNlcm5hbWU6", "C",
          "S:334 UGFzc3dvcmQ6", "C", "S:235 ok", "C", "S:221 bye"},
         "AUTH LOGIN\r\ncGxheWVy\r\nczNjcmV0\r\n",
         {"AUTH LOGIN", "334 VXNlcm5hbWU6", "****", "334 UGFzc3dvcmQ6", "****", "235 ok"}},
        {"LOGIN",
         {"S:220 ready", "C", ehlo, "S:250 AUTH PLAIN LOGIN", "C", "S:334 VXNlcm5hbWU6", "C",
          "S:334 UGFzc3dvcmQ6", "C", "S:235 ok", "C", "S:221 bye"},
         "AUTH LOGIN\r\ncGxheWVy\r\nczNjcmV0\r\n",
         {"AUTH LOGIN", "334 VXNlcm5hbWU6", "****", "334 UGFzc3dvcmQ6", "****", "235 ok"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sent);
        FakeServer server(row.script);
        TmsSMTP smtp;
        smtp.Server = server.Address();
        smtp.LogFileName = "unused";
        smtp.UserName = "player";
        smtp.Password = "s3cret";
        smtp.AuthMechanism = row.mech;
        smtp.Connect();
        smtp.Disconnect();
        server.Join();
        EXPECT_EQ(server.Received(),
                  "EHLO " + smtp.LocalHostName() + "\r\n" + row.sent + "QUIT\r\n");
        const auto& log = smtp.Log();
        auto it = std::find(log.begin(), log.end(), row.logged.front());
        ASSERT_NE(it, log.end());
        EXPECT_EQ(std::vector<std::string>(it, it + long(row.logged.size())), row.logged);
        for (const auto& l : log)
            EXPECT_EQ(l.find("s3cret"), std::string::npos);
    }
}

TEST(SmtpDialogue, RefusedAuthFailsWithTheReply) {
    FakeServer server({"S:220 ready", "C", "S:250 AUTH PLAIN", "C", "S:535 bad credentials"});
    TmsSMTP smtp;
    smtp.Server = server.Address();
    smtp.UserName = "player";
    smtp.Password = "wrong";
    EXPECT_THROW(
        {
            try {
                smtp.Connect();
            } catch (const EServerError& e) {
                EXPECT_STREQ(e.what(), "535 bad credentials");
                throw;
            }
        },
        EServerError);
    smtp.Close();
}

TEST(SmtpDialogue, MissingMessageAndUnsendableMessage) {
    FakeServer server({"S:220 ready", "C", "S:250 hello", "C", "S:221 bye"});
    TmsSMTP smtp;
    smtp.Server = server.Address();
    smtp.Connect();
    try {
        smtp.Send();
        FAIL();
    } catch (const EMailPropertyError& e) {
        EXPECT_STREQ(e.what(), "MailMessage property must be assigned");
    }
    TmsMessage noSender = PlainMessage();
    noSender.Sender.Address.clear();
    smtp.MailMessage = &noSender;
    try {
        smtp.Send();
        FAIL();
    } catch (const EMessageError& e) {
        EXPECT_STREQ(e.what(), "The address of sender is required");
    }
    smtp.Disconnect();
}

TEST(SmtpDialogue, ReplyCodes) {
    EXPECT_EQ(TmsSMTP::ReplyCode("250 ok"), 250);
    EXPECT_EQ(TmsSMTP::ReplyCode("354"), 354);
    EXPECT_EQ(TmsSMTP::ReplyCode("2x0 odd"), -1);
    EXPECT_EQ(TmsSMTP::ReplyCode("25"), -1);
}

// ---- POP3 ----------------------------------------------------------------

TEST(Pop3Dialogue, ListingByteForByte) {
    // The TOP data of message 2 arrives in pieces, its terminator split.
    FakeServer server({"S:+OK POP3 ready",
                       "C",
                       "S:-ERR unknown command", // CAPA: an old server
                       "C",
                       "S:+OK",
                       "C",
                       "S:+OK logged in",
                       "C",
                       "S:+OK 2 3000",
                       "C",
                       "S:+OK 1 1200",
                       "C",
                       "S:+OK top follows",
                       "R:From: Ann <ann@example.org>\r\nSubject: Game 1\r\n\r\nfirst\r\n.\r\n",
                       "C",
                       "S:+OK 2 1800",
                       "C",
                       "S:+OK",
                       "R:X-From: Bob\r\nSubject: Re: Game 2\r\n continued\r\n\r\nbody\r",
                       "SLEEP:50",
                       "R:\n.",
                       "SLEEP:50",
                       "R:\r\n",
                       "C",
                       "S:+OK bye"});
    TmsRemotePOP pop;
    pop.Server = server.Address();
    pop.UserName = "player";
    pop.Password = "s3cret";
    pop.LogFileName = "unused";
    std::vector<int> next;
    pop.OnNextInfoUpdated = [&](int n) { next.push_back(n); };
    Events ev;
    ev.Wire(pop);
    pop.GetRemoteInfo();
    server.Join();
    EXPECT_EQ(
        server.Received(),
        "CAPA\r\nUSER player\r\nPASS s3cret\r\nSTAT\r\nLIST 1\r\nTOP 1 1\r\nLIST 2\r\nTOP 2 1\r\n"
        "QUIT\r\n");
    EXPECT_EQ(pop.MessageCount, 2);
    EXPECT_EQ(pop.TotalSize, 3000);
    ASSERT_EQ(pop.RemoteInfo.size(), 2u);
    EXPECT_EQ(pop.RemoteInfo[0].Size, 1200u);
    EXPECT_EQ(pop.RemoteInfo[0].Header,
              (std::vector<std::string>{"From: Ann <ann@example.org>", "Subject: Game 1"}));
    EXPECT_EQ(pop.RemoteInfo[1].Size, 1800u);
    EXPECT_EQ(pop.RemoteInfo[1].Header,
              (std::vector<std::string>{"X-From: Bob", "Subject: Re: Game 2", " continued"}));
    EXPECT_EQ(next, (std::vector<int>{0, 1}));
    EXPECT_EQ(ev.seen, (std::vector<std::string>{"open", "closing", "closed"}));
    const auto& log = pop.Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "PASS ****"), log.end());
    for (const auto& l : log)
        EXPECT_EQ(l.find("s3cret"), std::string::npos);
}

TEST(Pop3Dialogue, EmptyMailboxListsNothingAndLogsOut) {
    FakeServer server({"S:+OK ready", "C", "S:-ERR", "C", "S:+OK", "C", "S:+OK", "C", "S:+OK 0 0",
                       "C", "S:+OK bye"});
    TmsRemotePOP pop;
    pop.Server = server.Address();
    pop.UserName = "u";
    pop.Password = "p";
    pop.GetRemoteInfo();
    server.Join();
    EXPECT_TRUE(pop.RemoteInfo.empty());
    EXPECT_EQ(server.Received(), "CAPA\r\nUSER u\r\nPASS p\r\nSTAT\r\nQUIT\r\n");
}

TEST(Pop3Dialogue, TransferRetrievesThenDeletesAndSavesWithoutHandler) {
    const std::string msg1 = "Subject: one\r\n\r\nbody one\r\n.\r\n";
    FakeServer server({"S:+OK ready", "C", "S:-ERR", "C", "S:+OK", "C", "S:+OK", "C", "S:+OK 2 100",
                       // message 1: retrieve (its deletion waits until it is on disk)
                       "C", "S:+OK 1 40", "C", "S:+OK", "R:" + msg1,
                       // message 1 deleted, message 2: delete only
                       "C", "S:+OK deleted", "C", "S:-ERR odd", "C", "S:+OK bye"});
    const fs::path dir = TempDir("pop3_nohandler");
    TmsRemotePOP pop;
    pop.Server = server.Address();
    pop.UserName = "u";
    pop.Password = "p";
    pop.SetMessageDirectory(dir.string());
    pop.RemoteInfo.resize(2);
    pop.RemoteInfo[0].Retrieve = pop.RemoteInfo[0].Delete = true;
    pop.RemoteInfo[1].Delete = true;
    std::vector<std::string> order;
    pop.OnRetrieving = [&](int n) { order.push_back("retrieving " + std::to_string(n)); };
    pop.OnRetrieved = [&](int n) { order.push_back("retrieved " + std::to_string(n)); };
    // Filed messages are flushed together, but always before a deletion.
    bool unflushedAtDeletion = false;
    bool filedWithoutFlush = false;
    pop.OnRetrieved = [&](int n) {
        order.push_back("retrieved " + std::to_string(n));
        auto* pending = quorel::TDeferredSync::Active();
        filedWithoutFlush = pending && pending->Pending();
    };
    pop.OnDeleting = [&](int n) {
        order.push_back("deleting " + std::to_string(n));
        auto* pending = quorel::TDeferredSync::Active();
        unflushedAtDeletion = unflushedAtDeletion || !pending || pending->Pending();
    };
    pop.TransferMarked();
    server.Join();
    EXPECT_TRUE(filedWithoutFlush);
    EXPECT_FALSE(unflushedAtDeletion);
    EXPECT_EQ(quorel::TDeferredSync::Active(), nullptr);
    EXPECT_EQ(server.Received(), "CAPA\r\nUSER u\r\nPASS p\r\nSTAT\r\n"
                                 "LIST 1\r\nRETR 1\r\nDELE 1\r\nDELE 2\r\nQUIT\r\n");
    EXPECT_EQ(order, (std::vector<std::string>{"retrieving 0", "retrieved 0", "deleting 0",
                                               "deleting 1"}));
    std::string saved;
    ASSERT_TRUE(quorel::ReadWholeFile(dir / "msg_0.eml", saved));
    EXPECT_EQ(saved, msg1); // raw, terminator kept, no unstuffing
}

TEST(Pop3Dialogue, PipeliningServerGetsEachGroupOfCommandsInOneGo) {
    // The server answers only once it holds every command of the group: a
    // client that waits for each reply would time out here. The listing and
    // the transfer after it share the session; message 1's DELE waits for
    // the group after the one that filed it.
    FakeServer server({"S:+OK ready", "C", "S:+OK", "S:TOP", "S:PIPELINING", "S:.", "C", "S:+OK",
                       "C", "S:+OK", "C", "S:+OK 2 300",
                       // the listing: LIST 1, TOP 1 1, LIST 2, TOP 2 1
                       "C", "C", "C", "C", "S:+OK 1 100", "S:+OK", "R:Subject: a\r\n\r\n.\r\n",
                       "S:+OK 2 200", "S:+OK", "R:Subject: b\r\n\r\n.\r\n",
                       // the transfer: LIST 1, RETR 1, LIST 2, RETR 2
                       "C", "C", "C", "C", "S:+OK 1 100", "S:+OK", "R:Subject: a\r\n\r\nA\r\n.\r\n",
                       "S:+OK 2 200", "S:+OK", "R:Subject: b\r\n\r\nB\r\n.\r\n",
                       // then DELE 1 and DELE 2 together
                       "C", "C", "S:+OK", "S:+OK", "C", "S:+OK bye"});
    TmsRemotePOP pop;
    pop.Server = server.Address();
    pop.UserName = "u";
    pop.Password = "p";
    pop.TimeOut = 3;
    pop.KeepConnected = true;
    pop.GetRemoteInfo();
    EXPECT_TRUE(pop.Pipelining);
    ASSERT_EQ(pop.RemoteInfo.size(), 2u);
    EXPECT_EQ(pop.RemoteInfo[1].Header, (std::vector<std::string>{"Subject: b"}));
    std::vector<std::string> order;
    pop.OnRetrieving = [&](int n) { order.push_back("retrieving " + std::to_string(n)); };
    pop.OnDeleting = [&](int n) { order.push_back("deleting " + std::to_string(n)); };
    pop.OnUserMessageSave = [&](int n, const std::string& text) {
        order.push_back("saved " + std::to_string(n) + " " + std::to_string(text.size()));
    };
    for (auto& item : pop.RemoteInfo)
        item.Retrieve = item.Delete = true;
    pop.KeepConnected = false;
    pop.TransferMarked();
    server.Join();
    EXPECT_EQ(server.Received(), "CAPA\r\nUSER u\r\nPASS p\r\nSTAT\r\n"
                                 "LIST 1\r\nTOP 1 1\r\nLIST 2\r\nTOP 2 1\r\n"
                                 "LIST 1\r\nRETR 1\r\nLIST 2\r\nRETR 2\r\n"
                                 "DELE 1\r\nDELE 2\r\nQUIT\r\n");
    EXPECT_EQ(order, (std::vector<std::string>{"retrieving 0", "saved 0 20", "retrieving 1",
                                               "saved 1 20", "deleting 0", "deleting 1"}));
}

TEST(Pop3Dialogue, StatWithoutBlankLeavesCountsAndNegativeRepliesFail) {
    {
        FakeServer server(
            {"S:+OK ready", "C", "S:-ERR", "C", "S:+OK", "C", "S:-ERR wrong password"});
        TmsRemotePOP pop;
        pop.Server = server.Address();
        pop.UserName = "u";
        pop.Password = "bad";
        try {
            pop.GetRemoteInfo();
            FAIL();
        } catch (const EServerError& e) {
            EXPECT_STREQ(e.what(), "-ERR wrong password");
        }
        pop.Close();
    }
    {
        FakeServer server(
            {"S:+OK ready", "C", "S:-ERR", "C", "S:+OK", "C", "S:+OK", "C", "S:+OK", "C", "S:+OK"});
        TmsRemotePOP pop;
        pop.Server = server.Address();
        pop.UserName = "u";
        pop.Password = "p";
        pop.MessageCount = 0;
        pop.GetRemoteInfo();
        EXPECT_EQ(pop.MessageCount, 0);
    }
}

TEST(Pop3Dialogue, RequiredProperties) {
    struct Row {
        std::string server, user, pass, text;
    };
    for (const Row& r : {Row{"", "u", "p", "Server property is required"},
                         Row{"127.0.0.1:1", "", "p", "UserName property is required"},
                         Row{"127.0.0.1:1", "u", "", "Password property is required"}}) {
        TmsRemotePOP pop;
        pop.Server = r.server;
        pop.UserName = r.user;
        pop.Password = r.pass;
        try {
            pop.GetRemoteInfo();
            FAIL() << r.text;
        } catch (const EMailPropertyError& e) {
            EXPECT_EQ(e.what(), r.text);
        }
    }
}

// ---- socket failures -----------------------------------------------------

TEST(SocketFailures, RefusedUnknownHostAndServerPorts) {
    // A port that nobody listens on: bind one, then close it.
    uint16_t freePort;
    {
        FakeServer probe(FakeServer::Script{});
        freePort = probe.Port();
    }
    struct Row {
        std::string server;
        std::string text;
        int code;
    };
    const std::string longLabel(70, 'x'); // rejected by the resolver without any query
    for (const Row& r :
         {Row{"127.0.0.1:" + std::to_string(freePort), "[10061] Connection refused", 10061},
          Row{longLabel + ".invalid:25", "[11001] Host not found", 11001}}) {
        SCOPED_TRACE(r.server);
        TmsSMTP smtp;
        smtp.Server = r.server;
        Events ev;
        ev.Wire(smtp);
        try {
            smtp.Connect();
            FAIL();
        } catch (const ESocketError& e) {
            EXPECT_EQ(e.what(), r.text);
            EXPECT_EQ(e.Code, r.code);
        }
        ASSERT_GE(ev.seen.size(), 2u);
        EXPECT_EQ(ev.seen[0], "open");
        EXPECT_EQ(ev.seen[1], "error:" + r.text);
    }
    // "host:" falls back to the service table, then DefaultPort.
    TmsSMTP smtp;
    smtp.Server = "127.0.0.1:";
    smtp.ServiceName = "no-such-service-quorel";
    smtp.DefaultPort = freePort;
    EXPECT_THROW(smtp.Connect(), ESocketError);
    EXPECT_EQ(smtp.Port(), freePort);
}

// A name look-up that hangs (a dead DNS server) until the test releases it.
struct HangingResolver {
    struct State {
        std::mutex m;
        std::condition_variable cv;
        bool released = false;
    };
    std::shared_ptr<State> state = std::make_shared<State>();
    TagSocket::TResolver Function() const {
        return [st = state](const std::string&, uint32_t&) {
            std::unique_lock<std::mutex> lock(st->m);
            st->cv.wait_for(lock, std::chrono::seconds(30), [&] { return st->released; });
            return EAI_AGAIN;
        };
    }
    ~HangingResolver() {
        std::lock_guard<std::mutex> g(state->m);
        state->released = true;
        state->cv.notify_all();
    }
};

TEST(SocketFailures, HangingNameLookUpYieldsToCancelAndTimeOut) {
    HangingResolver dns;
    using Clock = std::chrono::steady_clock;
    {
        SCOPED_TRACE("Cancel from the owner's events");
        TmsSMTP smtp;
        smtp.Server = "mail.quorel.test";
        smtp.Resolver = dns.Function();
        Events ev;
        ev.Wire(smtp);
        int pumps = 0;
        smtp.Pump = [&] {
            if (++pumps == 3) smtp.Cancel();
        };
        const auto start = Clock::now();
        EXPECT_THROW(smtp.Connect(), ECanceledError);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)); // not the look-up's 30 s
        EXPECT_FALSE(smtp.Connected());
        ASSERT_FALSE(ev.seen.empty());
        EXPECT_EQ(ev.seen.front(), "open");
        EXPECT_EQ(ev.seen.back(), "error:" + MailNetText(57001));
        // A cancelled client can be opened again.
        smtp.Resolver = [](const std::string&, uint32_t& a) {
            a = htonl(INADDR_LOOPBACK);
            return 0;
        };
        FakeServer server({"S:220 ready", "C", "S:250 hello", "C", "S:221 bye"});
        smtp.Server = server.Address();
        smtp.Server.replace(0, smtp.Server.find(':'), "mail.quorel.test");
        smtp.Pump = nullptr;
        EXPECT_NO_THROW(smtp.Connect());
        EXPECT_NO_THROW(smtp.Disconnect());
        server.Join();
    }
    {
        SCOPED_TRACE("TimeOut bounds the look-up");
        TmsRemotePOP pop;
        pop.Server = "pop.quorel.test";
        pop.UserName = "u";
        pop.Password = "p";
        pop.TimeOut = 1;
        pop.Resolver = dns.Function();
        Events ev;
        ev.Wire(pop);
        const auto start = Clock::now();
        EXPECT_THROW(pop.GetRemoteInfo(), ETimedOutError);
        const auto waited = Clock::now() - start;
        EXPECT_GE(waited, std::chrono::milliseconds(900));
        EXPECT_LT(waited, std::chrono::seconds(5));
        EXPECT_TRUE(pop.TimedOutFlag());
        ASSERT_GE(ev.seen.size(), 2u);
        EXPECT_EQ(ev.seen[1], "error:" + MailNetText(57000));
    }
}

TEST(SocketFailures, SilentServerTimesOutAfterTheConfiguredTime) {
    FakeServer server({"HOLD"});
    TmsRemotePOP pop;
    pop.Server = server.Address();
    pop.UserName = "u";
    pop.Password = "p";
    pop.TimeOut = 1;
    Events ev;
    ev.Wire(pop);
    int pumps = 0;
    pop.Pump = [&] { ++pumps; };
    EXPECT_THROW(pop.GetRemoteInfo(), ETimedOutError);
    EXPECT_TRUE(pop.TimedOutFlag());
    EXPECT_FALSE(pop.Connected());
    EXPECT_GT(pumps, 0); // the owner's events ran while waiting
    EXPECT_EQ(ev.seen,
              (std::vector<std::string>{"open", "error:Operation timed out", "closing", "closed"}));
}

TEST(SocketFailures, CancelDuringATransferStopsAtOnce) {
    std::string big = "Subject: big\r\n\r\n";
    FakeServer::Script script = {"S:+OK ready", "C", "S:-ERR",         "C", "S:+OK",          "C",
                                 "S:+OK",       "C", "S:+OK 1 900000", "C", "S:+OK 1 900000", "C",
                                 "S:+OK"};
    for (int i = 0; i < 30; ++i) {
        script.push_back("R:" + std::string(30000, 'a') + "\r\n");
        script.push_back("SLEEP:20");
    }
    script.push_back("R:.\r\n");
    FakeServer server(script);
    TmsRemotePOP pop;
    pop.Server = server.Address();
    pop.UserName = "u";
    pop.Password = "p";
    pop.RemoteInfo.resize(1);
    pop.RemoteInfo[0].Retrieve = true;
    pop.RemoteInfo[0].Delete = true;
    Events ev;
    ev.Wire(pop);
    bool saved = false;
    pop.OnUserMessageSave = [&](int, const std::string&) { saved = true; };
    // The Stop button: pressed from the event processing once data flows.
    bool flowing = false;
    pop.OnProgress = [&](int, uint32_t t) { flowing = t > 60000; };
    pop.Pump = [&] {
        if (flowing && !pop.Cancelled()) pop.Cancel();
    };
    EXPECT_THROW(pop.TransferMarked(), ECanceledError);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(pop.Connected());
    server.Join();
    EXPECT_EQ(server.Received().find("DELE"), std::string::npos);
    auto cancel = std::find(ev.seen.begin(), ev.seen.end(), "cancel");
    ASSERT_NE(cancel, ev.seen.end());
    EXPECT_EQ(std::vector<std::string>(cancel, ev.seen.end()),
              (std::vector<std::string>{"cancel", "closing", "closed",
                                        "error:Operation has been canceled"}));
}

TEST(SocketFailures, ServerClosingInTheMiddleOfRetrIsAResetError) {
    FakeServer server({"S:+OK ready", "C", "S:-ERR", "C", "S:+OK", "C", "S:+OK", "C", "S:+OK 1 500",
                       "C", "S:+OK 1 500", "C", "S:+OK", "R:Subject: x\r\n\r\nhalf of the bo",
                       "CLOSE"});
    TmsRemotePOP pop;
    pop.Server = server.Address();
    pop.UserName = "u";
    pop.Password = "p";
    pop.RemoteInfo.resize(1);
    pop.RemoteInfo[0].Retrieve = pop.RemoteInfo[0].Delete = true;
    bool saved = false;
    pop.OnUserMessageSave = [&](int, const std::string&) { saved = true; };
    try {
        pop.TransferMarked();
        FAIL();
    } catch (const ESocketError& e) {
        EXPECT_STREQ(e.what(), "[10054] Connection reset by peer");
    }
    EXPECT_FALSE(saved);
    EXPECT_FALSE(pop.Connected());
}

TEST(SocketFailures, OverlongLinesUpTo64KAreReadBeyondThatRefused) {
    const std::string longReply = "+OK " + std::string(60000, 'y');
    FakeServer server({"S:" + longReply, "C", "S:-ERR", "C", "S:+OK", "C", "S:+OK", "C",
                       "S:+OK 0 0", "C", "R:" + std::string(70000, 'z'), "HOLD"});
    TmsRemotePOP pop;
    pop.Server = server.Address();
    pop.UserName = "u";
    pop.Password = "p";
    pop.KeepConnected = true;
    pop.LogFileName = "unused";
    pop.GetRemoteInfo();
    EXPECT_EQ(pop.Log().front(), longReply);
    Events ev;
    ev.Wire(pop);
    try {
        pop.Disconnect();
        FAIL();
    } catch (const ESocketError& e) {
        EXPECT_EQ(std::string(e.what()), kLineTooLongText);
    }
    EXPECT_FALSE(pop.Connected());
    EXPECT_EQ(ev.seen.front(), std::string("error:") + kLineTooLongText);
}

// ---- texts -----------------------------------------------------------------

TEST(NetTexts, WinsockTextsAndErrnoMapping) {
    struct Row {
        int code;
        const char* text;
    };
    for (Row r :
         {Row{10054, "[10054] Connection reset by peer"},
          Row{10060, "[10060] Connection timed out"}, Row{10061, "[10061] Connection refused"},
          Row{11001, "[11001] Host not found"}, Row{10065, "[10065] No route to host"},
          Row{10080, "Error #10080"}, Row{12345, "Error #12345"}})
        EXPECT_EQ(WinsockErrorText(r.code), r.text);
    struct Map {
        int err, code;
    };
    for (Map m : {Map{ECONNREFUSED, 10061}, Map{ECONNRESET, 10054}, Map{ETIMEDOUT, 10060},
                  Map{EHOSTUNREACH, 10065}, Map{ENETUNREACH, 10051}, Map{EADDRINUSE, 10048}})
        EXPECT_EQ(WinsockCodeFromErrno(m.err), m.code) << m.err;
    EXPECT_EQ(WinsockCodeFromResolver(EAI_NONAME), 11001);
    EXPECT_EQ(WinsockCodeFromResolver(EAI_AGAIN), 11002);
    EXPECT_EQ(MailNetText(57000), "Operation timed out");
    EXPECT_EQ(MailNetText(57001), "Operation has been canceled");
    EXPECT_EQ(MailNetText(57008), "You have to connect to the server first");
    EXPECT_EQ(MailNetText(57104), "Password property is required");
    EXPECT_EQ(MailNetText(57006), "");
}

TEST(NetTexts, SecurityNames) {
    EXPECT_EQ(ParseMailSecurity(" starttls "), TMailSecurity::StartTls);
    EXPECT_EQ(ParseMailSecurity("TLS"), TMailSecurity::Tls);
    EXPECT_EQ(ParseMailSecurity(""), TMailSecurity::None);
    EXPECT_EQ(ParseMailSecurity("SSL"), TMailSecurity::None);
    EXPECT_EQ(MailSecurityName(TMailSecurity::StartTls), "STARTTLS");
}

TEST(TlsDialogue, RefusedStartTlsIsAnErrorNeverAPlainFallBack) {
    struct Row {
        bool smtp;
        FakeServer::Script script;
        std::string sentTail;
        std::string reply;
    };
    const std::vector<Row> rows = {
        {true,
         {"S:220 ready", "C", "S:250-mail.example.org", "S:250 AUTH PLAIN", "C",
          "S:454 TLS not available"},
         "STARTTLS\r\n",
         "454 TLS not available"},
        {false, {"S:+OK ready", "C", "S:-ERR no STLS here"}, "STLS\r\n", "-ERR no STLS here"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.reply);
        FakeServer server(r.script);
        std::unique_ptr<TmsMailBase> client;
        if (r.smtp) {
            auto smtp = std::make_unique<TmsSMTP>();
            smtp->UserName = "player";
            smtp->Password = "s3cret";
            client = std::move(smtp);
        } else {
            auto pop = std::make_unique<TmsRemotePOP>();
            pop->UserName = "player";
            pop->Password = "s3cret";
            client = std::move(pop);
        }
        client->Server = server.Address();
        client->Security = TMailSecurity::StartTls;
        Events ev;
        ev.Wire(*client);
        try {
            client->Connect();
            FAIL();
        } catch (const ESocketError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "TLS negotiation failed: the server refused to start TLS: " + r.reply);
        }
        EXPECT_FALSE(client->Connected());
        server.Join();
        const std::string got = server.Received();
        ASSERT_GE(got.size(), r.sentTail.size());
        EXPECT_EQ(got.substr(got.size() - r.sentTail.size()), r.sentTail); // nothing after it
        EXPECT_EQ(got.find("s3cret"), std::string::npos);
        EXPECT_EQ(got.find("USER"), std::string::npos);
        EXPECT_EQ(ev.seen.at(1),
                  "error:TLS negotiation failed: the server refused to start TLS: " + r.reply);
    }
}

TEST(SmtpDialogue, LinesBeginningWithADotSurviveTheTransfer) {
    // Every line that begins with a dot goes doubled on the wire, or the
    // server eats the dot.
    struct Row {
        const char* stored;
        const char* wire;
    } rows[] = {
        {"a\r\n.\r\nb\r\n", "a\r\n..\r\nb\r\n"},
        {"a\r\n..\r\nb\r\n", "a\r\n...\r\nb\r\n"},
        {"...Nf6 was best\r\n", "....Nf6 was best\r\n"},
        {".hidden\r\n.x", "..hidden\r\n..x"},
        {"no dots\r\n", "no dots\r\n"},
        {"", ""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(quorel::mail::StuffDotsForData(r.stored), r.wire) << r.stored;
}
