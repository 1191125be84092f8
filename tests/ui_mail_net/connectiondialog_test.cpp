// The connection dialog window against the real Dovecot (POP3) and Exim
// (SMTP) servers of the mail_servers fixture: Send, Update, Retrieve of the
// selected lines with the game-file question, Quick transfer, Stop during a
// large transfer, and the failures a player meets (a refused password, a
// server that is down, a certificate that does not verify).
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <thread>

#include "mail/connection.h"
#include "platform/files.h"
#include "tests/common/mail_servers_env.h"
#include "ui/common/langapply.h"
#include "ui/connection/connectiondialog.h"

using namespace quorel::mail;
using quorel::ui::TConnectionDialog;
namespace fs = std::filesystem;

namespace {

const std::array<std::string, 5> kFolders = {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"};

// Answers the game-file question with its Yes button whenever it appears.
class AnswerGameQuestions {
  public:
    AnswerGameQuestions() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || w->objectName() != QLatin1String("TSaveAttachmentDialog")) return;
            if (auto* yes = w->findChild<QPushButton*>(QStringLiteral("YesButton"))) {
                ++asked;
                yes->click();
            }
        });
        timer_.start();
    }
    int asked = 0;

  private:
    QTimer timer_;
};

class ConnectionWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        env = mailtest::ServerEnv("QUOREL_MAIL_SERVERS");
        ASSERT_FALSE(env.empty()) << "the mail_servers fixture did not run";
        root = fs::path(dir.path().toStdString());
        for (auto d : {"mailbox", "games", "attach"})
            fs::create_directories(root / d);
        ASSERT_TRUE(store.Open(root / "mailbox", kFolders));
        config.SmtpServer = "127.0.0.1:" + env["SMTP_PORT"];
        config.Pop3Server = "127.0.0.1:" + env["POP3_PORT"];
        config.Pop3UserName = env["MAIL_USER"];
        config.Pop3Password = env["MAIL_PASSWORD"];
        config.TrustedCertificate = env["CERT"];
        config.ProgramFolder = root;
        config.MailboxFolder = root / "mailbox";
        config.GamesFolder = root / "games";
        config.AttachFolder = root / "attach";
        config.TimeOut = 20;
        ServerMessages(true);
    }

    // Messages on the server (all deleted first when drain is set).
    long ServerMessages(bool drain = false) {
        TmsRemotePOP pop;
        pop.Server = config.Pop3Server;
        pop.UserName = config.Pop3UserName;
        pop.Password = config.Pop3Password;
        pop.GetRemoteInfo();
        if (drain) {
            for (auto& item : pop.RemoteInfo)
                item.Delete = true;
            pop.TransferMarked();
            return 0;
        }
        return pop.MessageCount;
    }
    long WaitForServer(long want) {
        long n = 0;
        for (int i = 0; i < 100 && (n = ServerMessages()) < want; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return n;
    }
    void Queue(const std::string& subject, const std::string& game = "") {
        TmsMessage m;
        m.Sender = TmsMailAddress("Ann Player", "ann@example.org");
        m.Recipients.Add("Opponent", env["MAIL_USER"] + "@quorel.test");
        m.Subject = subject;
        m.Body = {"23. Rd1"};
        if (!game.empty()) m.Attachments.Add("Game7.qrl", game);
        store.QueueMessage(m, true);
    }
    // Messages put straight into the account's maildir (faster than SMTP
    // for many or large ones).
    void Deliver(int count, size_t bodyBytes) {
        const fs::path newDir =
            fs::path(std::getenv("QUOREL_MAIL_SERVERS")) / "maildirs" / "player" / "new";
        const std::string line(998, 'x');
        std::string body;
        while (body.size() < bodyBytes)
            body += line + "\r\n";
        for (int i = 0; i < count; ++i) {
            const fs::path f = newDir / ("17100" + std::to_string(1000 + i) + ".M1P1.ui");
            ASSERT_TRUE(quorel::AtomicWriteFile(f, "From: Bob <bob@example.org>\r\nSubject: big " +
                                                       std::to_string(i) + "\r\n\r\n" + body));
            fs::permissions(f, fs::perms::owner_read | fs::perms::owner_write |
                                   fs::perms::group_read | fs::perms::others_read);
        }
    }
    std::unique_ptr<TConnectionDialog> Open() {
        auto d = std::make_unique<TConnectionDialog>(store, config, nullptr);
        d->show();
        return d;
    }
    static QStringList Log(TConnectionDialog& d) {
        return d.InfoLog()->toPlainText().split(QLatin1Char('\n'));
    }
    static void Trigger(TConnectionDialog& d, const char* action) {
        auto* a = d.findChild<QAction*>(QLatin1String(action));
        ASSERT_NE(a, nullptr) << action;
        ASSERT_TRUE(a->isEnabled()) << action;
        a->trigger();
    }

    QTemporaryDir dir;
    std::map<std::string, std::string> env;
    fs::path root;
    TMailStore store;
    TMailConfig config;
};

} // namespace

TEST_F(ConnectionWindow, SendUpdateRetrieveSelectedAndQuickTransfer) {
    const std::string game(2500, 'g');
    Queue("Game 7: 23. Rd1", game);
    Queue("Game 8: 12. c4");
    Queue("Game 9: 1. e4");
    auto d = Open();
    Trigger(*d, "SendButton");
    EXPECT_EQ(store.CountOf(kFolderSent), 3);
    EXPECT_TRUE(Log(*d).contains(QStringLiteral("Sending message 3/3...")));
    ASSERT_EQ(WaitForServer(3), 3);

    Trigger(*d, "UpdateButton");
    ASSERT_EQ(d->RemoteList()->count(), 3);
    EXPECT_TRUE(Log(*d).contains(QStringLiteral("3 messages listed")));
    // Download games 7 and 9 (in the server's order), deleting them there.
    for (int i = 0; i < 3; ++i) {
        const QString line = d->RemoteList()->item(i)->text();
        EXPECT_TRUE(
            line.startsWith(QStringLiteral("     Ann Player <ann@example.org>|  Subject:   ")))
            << line.toStdString();
        d->RemoteList()->item(i)->setSelected(line.contains(QStringLiteral("Game 7")) ||
                                              line.contains(QStringLiteral("Game 9")));
    }
    d->findChild<QAbstractButton*>(QStringLiteral("EditDelete"))->click();
    MailboxChanged = false;
    {
        AnswerGameQuestions answer;
        Trigger(*d, "Retrievebutton");
        EXPECT_EQ(answer.asked, 1);
    }
    EXPECT_TRUE(MailboxChanged);
    EXPECT_EQ(store.CountOf(kFolderNew), 2);
    std::string saved;
    ASSERT_TRUE(quorel::ReadWholeFile(root / "games" / "Game7.qrl", saved));
    EXPECT_EQ(saved, game);
    ASSERT_EQ(d->RemoteList()->count(), 1); // the list after the transfer
    EXPECT_NE(d->RemoteList()->item(0)->text().indexOf(QStringLiteral("Game 8")), -1);
    EXPECT_FALSE(d->Gauge()->isVisible());
    EXPECT_EQ(ServerMessages(), 1);
    // A picture of the window after the transfer (QUOREL_SHOT_DIR, by hand
    // under Xvfb).
    if (const char* shots = std::getenv("QUOREL_SHOT_DIR")) {
        QApplication::processEvents();
        d->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/connection.png"));
    }

    // Quick transfer: the one left comes in, the new queue goes out.
    Queue("Game 10: 5. Nf3");
    Trigger(*d, "Quicktransfer1");
    EXPECT_EQ(store.CountOf(kFolderNew), 3);
    EXPECT_EQ(store.CountOf(kFolderQueued), 0);
    EXPECT_EQ(WaitForServer(1), 1); // the message just sent

    // Mail left on the server is filed once and listed greyed, as filed.
    d->findChild<QAbstractButton*>(QStringLiteral("EditDelete"))->click();
    Trigger(*d, "Quicktransfer1");
    EXPECT_EQ(store.CountOf(kFolderNew), 4);
    Trigger(*d, "UpdateButton");
    ASSERT_EQ(d->RemoteList()->count(), 1);
    const QListWidgetItem* filed = d->RemoteList()->item(0);
    EXPECT_TRUE(filed->text().startsWith(QStringLiteral("\u2713 ")) &&
                filed->text().endsWith(QStringLiteral("(already filed)")))
        << filed->text().toStdString();
    EXPECT_EQ(filed->foreground().color(),
              d->RemoteList()->palette().color(QPalette::Disabled, QPalette::Text));
    Trigger(*d, "Quicktransfer1");
    EXPECT_EQ(store.CountOf(kFolderNew), 4);
    EXPECT_EQ(ServerMessages(), 1);

    // Closing appends both protocol logs to their files.
    d->close();
    EXPECT_TRUE(fs::exists(root / "SMTP.LOG"));
    EXPECT_TRUE(fs::exists(root / "POP3.LOG"));
}

TEST_F(ConnectionWindow, StopEndsALargeTransferAtOnceAndLosesNothing) {
    const int count = 40;
    Deliver(count, 400000);
    ASSERT_EQ(WaitForServer(count), count);
    auto d = Open();
    Trigger(*d, "UpdateButton");
    ASSERT_EQ(d->RemoteList()->count(), count);
    d->RemoteList()->selectAll();
    d->findChild<QAbstractButton*>(QStringLiteral("EditDelete"))->click();

    // While the transfer runs, a timer keeps ticking (the window answers)
    // and presses Stop once a few messages are in.
    int ticks = 0;
    qint64 longestGap = 0;
    QElapsedTimer sinceStop, sinceTick;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        if (gap > 200 && std::getenv("QUOREL_DEBUG_GAPS"))
            fprintf(stderr, "gap %lld ms before: %s | filed %ld\n", (long long)gap,
                    d->InfoLog()->toPlainText().split('\n').last().toUtf8().constData(),
                    store.CountOf(kFolderNew));
        longestGap = std::max(longestGap, gap);
        ++ticks;
        if (!sinceStop.isValid() && store.CountOf(kFolderNew) >= 5 && d->Gauge()->isVisible() &&
            d->Gauge()->value() > 20) {
            sinceStop.start();
            d->findChild<QPushButton*>(QStringLiteral("CloseBtn"))->click();
        }
    });
    timer.start();
    sinceTick.start();
    Trigger(*d, "Retrievebutton");
    timer.stop();
    ASSERT_TRUE(sinceStop.isValid()) << "the transfer ended before Stop";
    EXPECT_LT(sinceStop.elapsed(), 1000);
    EXPECT_GE(ticks, 1);
    EXPECT_LT(longestGap, 250); // the events ran all along
    const QStringList log = Log(*d);
    EXPECT_TRUE(log.contains(QStringLiteral("POP3 ERROR: Operation has been canceled")));
    EXPECT_TRUE(log.contains(QStringLiteral("Error during transfer, aborting...  ") +
                             QString::fromStdString(config.Pop3Server)));
    // Every filed message is whole; none is lost: what is not filed is
    // still on the server.
    const long filed = store.CountOf(kFolderNew);
    EXPECT_LT(filed, count);
    EXPECT_EQ(long(quorel::ListFilesMatching(root / "mailbox", "*.032").size()), filed);
    for (const auto& [n, r] : store.FolderRecords(kFolderNew)) {
        TmsMessage m;
        m.LoadFromFile(root / "mailbox" / r.FileName);
        EXPECT_GE(m.Body.size(), 400u) << r.Subject;
    }
    EXPECT_GE(filed + WaitForServer(count - filed), count);
    EXPECT_TRUE(d->findChild<QAction*>(QStringLiteral("UpdateButton"))->isEnabled());
}

TEST_F(ConnectionWindow, RefusedPasswordServerDownAndUntrustedCertificate) {
    struct Row {
        const char* name;
        std::function<void(TMailConfig&)> change;
        QString error;
    };
    const std::string down = "127.0.0.1:" + env["SPARE_PORT"];
    const Row rows[] = {
        {"refused password", [](TMailConfig& c) { c.Pop3Password = "wrong"; }, QString()},
        {"server down", [&](TMailConfig& c) { c.Pop3Server = down; },
         QStringLiteral("POP3 ERROR: [10061] Connection refused")},
        {"certificate",
         [&](TMailConfig& c) {
             c.Pop3Security = TMailSecurity::Tls;
             c.Pop3Server = "127.0.0.1:" + env["POP3S_PORT"];
             c.TrustedCertificate = env["OTHER_CERT"];
         },
         QStringLiteral("POP3 ERROR: TLS certificate not accepted: self-signed certificate "
                        "(127.0.0.1)")},
    };
    Deliver(1, 100);
    ASSERT_EQ(WaitForServer(1), 1);
    const TMailConfig good = config;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        config = good;
        r.change(config);
        auto d = Open();
        Trigger(*d, "UpdateButton");
        const QStringList log = Log(*d);
        if (!r.error.isEmpty()) {
            EXPECT_TRUE(log.contains(r.error)) << log.join('\n').toStdString();
        }
        EXPECT_TRUE(log.contains(QStringLiteral("Clearing remote information")));
        EXPECT_EQ(d->RemoteList()->count(), 0);
        EXPECT_TRUE(d->findChild<QAction*>(QStringLiteral("UpdateButton"))->isEnabled());
        // A refused password: the server's "-ERR" reply is in the protocol
        // log, and the message is still there.
        if (r.error.isEmpty()) {
            const auto& plog = d->Logic().RemotePOP.Log();
            EXPECT_TRUE(std::any_of(plog.begin(), plog.end(),
                                    [](const std::string& l) { return l.rfind("-ERR", 0) == 0; }));
        }
    }
    config = good;
    EXPECT_EQ(ServerMessages(), 1);
}

TEST_F(ConnectionWindow, BothWindowsSpeakEverySevenLanguages) {
    QStringList seen;
    for (int language = 0; language < 7; ++language) {
        quorel::ui::SetUiLanguage(language);
        auto d = Open();
        QStringList texts = {d->windowTitle()};
        // The program's own widgets (the toolkit's start with "qt_").
        auto own = [](QObject* o) {
            return !o->objectName().isEmpty() && !o->objectName().startsWith(QStringLiteral("qt_"));
        };
        for (QAction* a : d->findChildren<QAction*>())
            if (own(a)) texts << a->text();
        for (QAbstractButton* b : d->findChildren<QAbstractButton*>())
            if (own(b)) texts << b->text();
        for (QLabel* l : d->findChildren<QLabel*>())
            texts << l->text();
        // The game-file question, answered No.
        QStringList question;
        QTimer::singleShot(0, [&] {
            QWidget* w = QApplication::activeModalWidget();
            ASSERT_NE(w, nullptr);
            question << w->windowTitle();
            for (QLabel* l : w->findChildren<QLabel*>())
                question << l->text();
            for (QPushButton* b : w->findChildren<QPushButton*>())
                question << b->text();
            w->findChild<QPushButton*>(QStringLiteral("NoButton"))->click();
        });
        EXPECT_FALSE(quorel::ui::AskSaveGameFile(d.get(), QStringLiteral("Bob"),
                                                 QStringLiteral("Game1.qrl")));
        EXPECT_TRUE(question.contains(QStringLiteral("Bob")));
        texts << question;
        for (const QString& t : texts)
            EXPECT_FALSE(t.trimmed().isEmpty()) << "language " << language;
        EXPECT_FALSE(d->Msg(QStringLiteral("@FiledOriginal")).startsWith(QLatin1Char('@')));
        seen << texts.join(QLatin1Char('|'));
    }
    quorel::ui::SetUiLanguage(0);
    seen.removeDuplicates();
    EXPECT_EQ(seen.size(), 7);
}
