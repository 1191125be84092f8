// Queuing from the editor's fields: every queued message read back by
// Python's email package (sender, recipient, copies, subject, body, game
// file, Date, Message-ID), a changed message replacing its file and record,
// failures that leave the mailbox as it was, and qrltool render and queue.
#include "compose/gameblock.h"
#include "compose_test_util.h"
#include "mail/mimetypes.h"
#include "tests/mail_model/mail_test_util.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <sys/resource.h>

namespace {

using namespace quorel;
using namespace composetest;
namespace fs = std::filesystem;

const std::array<std::string, 5> kNames = {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"};

Header Club() {
    Header h;
    h.event = "Club Cup";
    h.round = "3";
    h.white = "Ann Lee";
    h.black = "J\xF6rg Meyer";
    h.whiteAddress = "ann@x.org";
    h.blackAddress = "jorg@y.de";
    h.boardEpd = "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq -";
    h.format = 2;
    h.dates = 1;
    h.signature = 1;
    h.gameFile = 1;
    return h;
}
const std::vector<Mv> kMoves = {{14, 34, 1, 0, 0, 0, 0, 46083, 46085},
                                {64, 44, 7, 0, 0, 0, 0, 46090, 46091},
                                {6, 25, 2, 0, 0, 0, 0, 46095, 46098}};

// Every file of a folder with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out[e.path().filename().string()] = mailtest::ReadFile(e.path());
    return out;
}

class Queue : public ::testing::Test {
  protected:
    void SetUp() override {
        mail::SetMimeTypesFile("");
        fs::create_directories(dir.path() / "mailbox");
        fs::create_directories(dir.path() / "games");
        ASSERT_TRUE(store.Open(dir.path() / "mailbox", kNames));
        gameBytes = GameFileBytes(Club(), kMoves);
        mailtest::WriteFile(dir.path() / "games" / "CLUB.QRL", gameBytes);
        mailtest::WriteFile(dir.path() / "sig.txt", "-- \r\nRegards, J\xF6rg\r\n");
        sender = {"Ann P. Lee", "ann@x.org", dir.path() / "sig.txt"};
    }
    // The editor as the game window opens it, plus what the player typed.
    compose::TMessageDraft Draft() {
        compose::TMessageDraft d;
        d.GameFile = dir.path() / "games" / "CLUB.QRL";
        compose::WriteGame(d, LoadGame(Club(), kMoves), {"ann@x.org", '/'});
        for (const char* l : {"J\xC3\xB6rg, your move was strong.", "..", ".", ".x", ""})
            d.Body.push_back(l);
        d.CarbonCopy = {"cc1@z.org", "cc2@z.org"};
        return d;
    }

    mailtest::TempDir dir;
    mail::TMailStore store;
    std::string gameBytes;
    compose::TSenderSettings sender;
};

std::string BodyText(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "\n";
    return out;
}

std::string Esc(std::string s) {
    std::string out;
    for (char c : s)
        out += c == '\n' ? std::string("\\n") : c == '\t' ? std::string("\\t") : std::string(1, c);
    return out;
}

TEST_F(Queue, PythonReadsEveryQueuedMessage) {
    compose::TMessageDraft withGame = Draft();
    compose::TMessageDraft plain;
    plain.Recipient = "Bob";
    plain.Address = "bob@y.org";
    plain.Subject = "Hello";
    plain.Body = {"Plain ASCII", ".."};
    plain.Signature = false;
    plain.SaveCopy = false;
    const std::string sig = "-- \nRegards, J\u00F6rg\n";
    struct Row {
        compose::TMessageDraft draft;
        std::string expected; // Python's reading without date and message-id (Python
                          // folds the display name's double blank)
        std::string charset;
    } rows[] = {
        {withGame,
         "from: Ann P Lee <ann@x.org>\nto: J\u00F6rg Meyer <jorg@y.de>\ncc:  <cc1@z.org>\n"
         "cc:  <cc2@z.org>\nsubject: [Club Cup (3). Move :   2.Nf3] \nbody: " +
             Esc(BodyText(withGame.Body) + sig) + "\natt: CLUB.QRL|" +
             mail::ContentTypeFromExtension("CLUB.QRL") + "|" + std::to_string(gameBytes.size()) +
             "|" + mailtest::Sha256Hex(gameBytes),
         "iso-8859-1"},
        {plain,
         "from: Ann P Lee <ann@x.org>\nto: Bob <bob@y.org>\nsubject: Hello\nbody: Plain ASCII\\n..\\n",
         "us-ascii"},
    };
    // The body holds "´" and "ö" from the block and the player.
    ASSERT_NE(BodyText(withGame.Body).find("White\u00B4s time :  3/5\t (Ann Lee)"), std::string::npos);
    for (const Row& r : rows) {
        const long before = store.IndexCount();
        const compose::TQueueResult q = compose::QueueDraft(store, r.draft, sender);
        ASSERT_TRUE(q.Ok) << q.Error;
        EXPECT_FALSE(q.SignatureMissing);
        EXPECT_TRUE(mail::MailboxChanged);
        const std::string raw = mailtest::ReadFile(q.File);
        EXPECT_NE(raw.find("charset=\"" + r.charset + "\""), std::string::npos) << raw;
        EXPECT_TRUE(std::all_of(raw.begin(), raw.end(), [](char c) { return (c & 0x80) == 0; }))
            << "8-bit bytes in a 7-bit message";
        int status = -1;
        std::string got =
            mailtest::Run("python3 " + mailtest::PyScript() + " queued " + q.File.string(), &status);
        ASSERT_EQ(status, 0) << got;
        const size_t date = got.find("\ndate: ");
        ASSERT_NE(date, std::string::npos) << got;
        EXPECT_EQ(got.substr(0, date), "file: " + q.File.filename().string() + "\n" + r.expected);
        const std::string tail = got.substr(date);
        EXPECT_NE(tail.find("\ndate: 20"), std::string::npos) << tail; // parsed, with an offset
        EXPECT_EQ(tail.find("\ndate: -"), std::string::npos) << tail;
        EXPECT_NE(tail.find("@x.org>\n"), std::string::npos) << tail; // the sender's domain

        ASSERT_EQ(store.IndexCount(), before + 1);
        mail::TMailIndexRecord rec;
        ASSERT_TRUE(store.ReadRecord(store.IndexCount(), rec));
        EXPECT_EQ(rec.FileName, q.File.filename().string());
        EXPECT_EQ(rec.Folder, mail::kFolderQueued);
        EXPECT_EQ(rec.From, "Ann P  Lee");
        EXPECT_EQ(rec.SaveCopy, r.draft.SaveCopy ? 1 : 0);
        EXPECT_EQ(rec.AttachmentCount, r.draft.Attachments.size());

        // Loaded back (as the send pass does), Date and Message-ID stay.
        mail::TmsMessage m;
        m.LoadFromFile(q.File);
        const std::string again = m.SaveToString();
        for (const char* field : {"Date", "Message-ID"})
            EXPECT_NE(again.find(std::string("\r\n") + field + ": " +
                                 m.Headers.GetRawFieldValue(field) + "\r\n"),
                      std::string::npos)
                << field;
        EXPECT_EQ(m.Body, r.draft.Signature ? [&] {
            auto b = r.draft.Body;
            b.insert(b.end(), {"-- ", "Regards, J\u00F6rg"});
            return b;
        }()
                                            : r.draft.Body);
    }
}

TEST_F(Queue, ChangedMessageReplacesItsFileAndRecord) {
    compose::TMessageDraft d = Draft();
    const compose::TQueueResult first = compose::QueueDraft(store, d, sender);
    ASSERT_TRUE(first.Ok) << first.Error;
    d.EditedFile = first.File;
    d.Body = {"Second thoughts"};
    d.Attachments.clear();
    const compose::TQueueResult second = compose::QueueDraft(store, d, sender);
    ASSERT_TRUE(second.Ok) << second.Error;
    EXPECT_EQ(second.File, first.File);
    EXPECT_EQ(store.IndexCount(), 1);
    mail::TMailIndexRecord rec;
    ASSERT_TRUE(store.ReadRecord(1, rec));
    EXPECT_EQ(rec.AttachmentCount, 0);
    mail::TmsMessage m;
    m.LoadFromFile(second.File);
    EXPECT_EQ(m.Body.front(), "Second thoughts");
    EXPECT_EQ(Snapshot(dir.path() / "mailbox").size(), 3u); // mail.lst, folder.lst, one mail file
}

// A failure anywhere from building the message to its index record leaves
// every file of the mailbox as it was (a full disk is a file-size limit).
TEST_F(Queue, FailuresLeaveTheMailboxAsItWas) {
    const compose::TQueueResult queued = compose::QueueDraft(store, Draft(), sender);
    ASSERT_TRUE(queued.Ok) << queued.Error;
    mail::TMailIndexRecord filler;
    filler.Subject = "older message";
    filler.Folder = mail::kFolderSent;
    for (int i = 0; i < 60; ++i)
        ASSERT_GT(store.AppendRecord(filler), 0);
    const auto indexSize = long(fs::file_size(dir.path() / "mailbox" / "mail.lst"));
    enum Limit { kNone, kAtIndexEnd, kInsideRecord, kSmallFile };
    struct Row {
        const char* what;
        Limit limit;
        bool change, missingAttachment;
    } rows[] = {
        {"attachment gone", kNone, false, true},
        {"index full", kAtIndexEnd, false, false},
        {"index record torn", kInsideRecord, false, false},
        {"mail file cannot be written", kSmallFile, false, false},
        {"changed message cannot be written", kSmallFile, true, false},
    };
    for (const Row& r : rows) {
        compose::TMessageDraft d = Draft();
        if (r.change) d.EditedFile = queued.File;
        if (r.missingAttachment) d.Attachments.push_back((dir.path() / "gone.pgn").string());
        const auto before = Snapshot(dir.path() / "mailbox");
        mail::MailboxChanged = false;
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = r.limit == kAtIndexEnd     ? rlim_t(indexSize)
                         : r.limit == kInsideRecord ? rlim_t(indexSize + 50)
                         : r.limit == kSmallFile    ? rlim_t(300)
                                                    : old.rlim_cur;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const compose::TQueueResult q = compose::QueueDraft(store, d, sender);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
        EXPECT_FALSE(q.Ok) << r.what;
        EXPECT_FALSE(q.Error.empty()) << r.what;
        EXPECT_FALSE(mail::MailboxChanged) << r.what;
        EXPECT_EQ(Snapshot(dir.path() / "mailbox"), before) << r.what;
        EXPECT_EQ(store.IndexCount(), 61) << r.what;
    }
    // The store still queues once the disk has room again.
    EXPECT_TRUE(compose::QueueDraft(store, Draft(), sender).Ok);
    EXPECT_EQ(store.IndexCount(), 62);
}

TEST_F(Queue, ChecksAndSignatureFile) {
    struct Row {
        std::string recipient, address;
        compose::TDraftCheck check;
    } rows[] = {
        {"Ann", "", compose::TDraftCheck::NoAddress},
        {"Ann", "ann.x.org", compose::TDraftCheck::NoAtSign},
        {"Lee, Ann", "ann@x.org", compose::TDraftCheck::CommaInName},
        {"Ann", "ann@x.org", compose::TDraftCheck::Ok},
    };
    for (const Row& r : rows) {
        compose::TMessageDraft d;
        d.Recipient = r.recipient;
        d.Address = r.address;
        EXPECT_EQ(compose::CheckDraft(d), r.check) << r.address;
    }
    // An unreadable signature file: queued without it, and said so.
    compose::TMessageDraft d = Draft();
    d.Attachments.clear();
    sender.SignatureFile = dir.path() / "missing.txt";
    const compose::TQueueResult q = compose::QueueDraft(store, d, sender);
    ASSERT_TRUE(q.Ok) << q.Error;
    EXPECT_TRUE(q.SignatureMissing);
    mail::TmsMessage m;
    m.LoadFromFile(q.File);
    EXPECT_EQ(m.Body, d.Body);
    EXPECT_EQ(m.Headers.GetFieldValue("X-Mailer"), "Quorel 4.00");
}

// qrltool, run with a program folder of its own.
std::string Tool(const std::string& args, int* code) {
    const std::string cmd = std::string(QUOREL_BINARY_DIR) + "/bin/qrltool " + args + " 2>&1";
    int status = -1;
    std::string out = mailtest::Run(cmd, &status);
    *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

TEST_F(Queue, QrltoolRender) {
    Header h = Club();
    h.format = 0;
    h.dates = 0;
    h.ifMove = "If 3...Nc6 4.Bb5";
    mailtest::WriteFile(dir.path() / "games" / "PGN.QRL", GameFileBytes(h, kMoves));
    int code = -1;
    EXPECT_EQ(Tool("render '" + (dir.path() / "games" / "PGN.QRL").string() + "' --own ann@x.org",
                   &code),
              "To: J\u00F6rg Meyer <jorg@y.de>\n"
              "Subject: [Club Cup (3). Move :   2.Nf3] \n"
              "\n"
              "[Event \"Club Cup\"]\n[Site \"?\"]\n[Date \"?\"]\n[Round \"3\"]\n"
              "[White \"Lee, Ann\"]\n[Black \"Meyer, J\u00F6rg\"]\n[Result \"*\"]\n"
              "\n1.e4 e5 2.Nf3 *\n\nIf 3...Nc6 4.Bb5\n\n");
    EXPECT_EQ(code, 0);
    const fs::path bad = dir.path() / "games" / "BAD.QRL";
    mailtest::WriteFile(bad, "QRL299");
    EXPECT_EQ(Tool("render '" + bad.string() + "'", &code),
              "Data file not valid or not found : " + bad.string() + "\n");
    EXPECT_EQ(code, 1);
}

// qrltool mail queue on a full disk: exit 1, the message text, nothing left.
TEST_F(Queue, QrltoolQueueOnAFullDisk) {
    store.Close();
    const fs::path home = dir.path() / "home";
    fs::create_directories(home / "mailbox");
    {
        mail::TMailStore s;
        ASSERT_TRUE(s.Open(home / "mailbox", kNames));
        mail::TMailIndexRecord filler;
        filler.Folder = mail::kFolderSent;
        for (int i = 0; i < 100; ++i) // 15 800 bytes, beyond the 10 240-byte limit below
            ASSERT_GT(s.AppendRecord(filler), 0);
    }
    mailtest::WriteFile(dir.path() / "body.txt", "12...Nf6\n");
    const auto before = Snapshot(home / "mailbox");
    const std::string cmd = "bash -c \"ulimit -f 10; QUOREL_HOME='" + home.string() + "' '" +
                            std::string(QUOREL_BINARY_DIR) +
                            "/bin/qrltool' mail queue --to b@y.org --subject x --body-file '" +
                            (dir.path() / "body.txt").string() + "' 2>&1\"";
    int status = -1;
    const std::string failed = mailtest::Run(cmd, &status);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << failed;
    EXPECT_NE(failed.find("Unexpected error, message could not be created"), std::string::npos)
        << failed;
    EXPECT_EQ(Snapshot(home / "mailbox"), before);
}

} // namespace
