// The message editor driven as the player drives it: Create message in a
// game window, Send into the mailbox, changing a queued message, the checks
// that keep the mailbox untouched, the close question and the hand-off to an
// outside mail program (a stand-in script that records its command line).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "compose/gameblock.h"
#include "mail/store.h"
#include "platform/files.h"
#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/editor/editor.h"
#include "ui/frame/mainform.h"
#include "ui/game/gamewindow.h"
#include "uitest_util.h"

using namespace quorel;
using quorel::ui::TEditorDialog;
using quorel::ui::TForm2;
namespace fs = std::filesystem;

namespace {

// A program folder with a running session (settings, mailbox, address
// book), made the run's context; the player is Ana Souto.
class Session {
  public:
    Session() : session_(Env()) {
        EXPECT_TRUE(session_.CheckSingleInstance());
        session_.ScanCommandLine({});
        EXPECT_TRUE(session_.CreateFrame());
        bool ok = false;
        session_.CreateAddressBook(&ok);
        TSettings& s = session_.Settings();
        s.UserName = "Ana Souto";
        s.EmailAddress = "ana@example.org";
        ui::TAppContext& ctx = ui::AppContext();
        ctx = ui::TAppContext{};
        ctx.session = &session_;
        ctx.programFolder = QString::fromStdString(session_.Folders().Program.string());
        ctx.gamesFolder = QString::fromStdString(session_.Folders().Games.string());
        ctx.userName = QStringLiteral("Ana Souto");
        ctx.emailAddress = QStringLiteral("ana@example.org");
    }
    ~Session() {
        ui::AppContext().session = nullptr;
        session_.DestroyFrame();
    }
    TShellSession& Get() { return session_; }
    mail::TMailStore& Store() { return session_.MailStore(); }
    fs::path Mailbox() const { return session_.Folders().Mailbox; }
    fs::path Games() const { return session_.Folders().Games; }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    // The mail files of the mailbox folder with the given extension.
    std::vector<fs::path> MailFiles(const char* pattern) const {
        return ListFilesMatching(Mailbox(), pattern);
    }

    // The sample game (20 plies) as a game of Ana against Jörg Weiß.
    chess::TGameRecord WriteGame(const std::string& name, int notation) {
        chess::TGameRecord rec;
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(QUOREL_SOURCE_DIR "/docs/samples/sample.qrl", bytes));
        EXPECT_TRUE(chess::LoadFromBytes(bytes, name, rec).Ok);
        rec.White = "Ana Souto";
        rec.WhiteAddress = "ana@example.org";
        rec.Black = "Jörg Weiß";
        rec.BlackAddress = "joerg@example.de";
        rec.NotationFormat = uint8_t(notation);
        rec.SendGameFile = 1;
        rec.SendSignature = 0;
        EXPECT_TRUE(chess::SaveToFile(Games(), name, rec, "").Ok);
        return rec;
    }

  private:
    TProgramFolderEnv Env() const {
        TProgramFolderEnv env;
        env.QuorelHome = dir_.path().toStdString();
        env.ExecutableFolder = dir_.path().toStdString();
        return env;
    }
    QTemporaryDir dir_;
    TShellSession session_;
};

TEditorDialog* OpenEditor() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* e = qobject_cast<TEditorDialog*>(w); e && e->isVisible()) return e;
    return nullptr;
}

// An editor opened by the game window's Create message on game name.
TEditorDialog* CreateMessage(const QString& name) {
    TForm2 game;
    game.RefreshGame(name);
    game.CreateMessageButtonClick();
    return OpenEditor();
}

} // namespace

TEST(Editor, CreateMessageHoldsTheBlockOfTheGamesFormatAndTheOpponent) {
    struct Case {
        int notation;
        const char* firstLine;
    };
    for (const Case c : {Case{0, "[Event "}, Case{3, " Event      : "}}) {
        Session s;
        const chess::TGameRecord rec = s.WriteGame("GAME.QRL", c.notation);
        QPointer<TEditorDialog> editor = CreateMessage(QStringLiteral("GAME.QRL"));
        ASSERT_TRUE(editor);
        const compose::TMessageDraft d = editor->Draft();
        EXPECT_EQ(d.Recipient, "Jörg Weiß");
        EXPECT_EQ(d.Address, "joerg@example.de");
        ASSERT_FALSE(d.Body.empty());
        EXPECT_EQ(d.Body[0].rfind(c.firstLine, 0), 0u) << d.Body[0];
        EXPECT_EQ(d.Body, compose::GameBlockLines(rec)) << "format " << c.notation;
        EXPECT_EQ(d.Subject, compose::SubjectPart(rec));
        const std::string gameFile = (s.Games() / "GAME.QRL").string();
        EXPECT_EQ(d.Attachments, std::vector<std::string>{gameFile});
        EXPECT_EQ(editor->GameFile().toStdString(), gameFile);
        EXPECT_EQ(editor->windowTitle(),
                  QStringLiteral("Message to : Jörg Weiß <joerg@example.de>"));
        EXPECT_FALSE(editor->BodyModified());
        delete editor;
    }
}

TEST(Editor, SendQueuesOneFileAndRecordAndAChangeReplacesBoth) {
    Session s;
    s.WriteGame("GAME.QRL", 0);
    QPointer<TEditorDialog> editor = CreateMessage(QStringLiteral("GAME.QRL"));
    ASSERT_TRUE(editor);
    ASSERT_TRUE(editor->QueueBtnClick());
    QTRY_VERIFY(editor.isNull()); // closed and freed
    ASSERT_EQ(s.Store().IndexCount(), 1);
    ASSERT_EQ(s.MailFiles("*.032").size(), 1u);
    mail::TMailIndexRecord r;
    ASSERT_TRUE(s.Store().ReadRecord(1, r));
    EXPECT_EQ(r.Folder, mail::kFolderQueued);
    EXPECT_EQ(r.To, "Jörg Weiß");
    EXPECT_EQ(r.AttachmentCount, 1);
    const fs::path queued = s.Mailbox() / r.FileName;

    // Reply / Change on the queued message: the viewer loads it, calls
    // SetData and names the file; Send overwrites file and record.
    auto* change = new TEditorDialog;
    change->msMessage.LoadFromFile(queued);
    change->SetData();
    change->SetEditedFile(QString::fromStdString(queued.string()));
    EXPECT_EQ(change->Draft().Address, "joerg@example.de");
    compose::TMessageDraft d = change->Draft();
    d.Subject = "Changed subject";
    change->SetDraft(d);
    QPointer<TEditorDialog> guard = change;
    ASSERT_TRUE(change->QueueBtnClick());
    QTRY_VERIFY(guard.isNull());
    ASSERT_EQ(s.Store().IndexCount(), 1);
    ASSERT_EQ(s.MailFiles("*.032").size(), 1u);
    ASSERT_TRUE(s.Store().ReadRecord(1, r));
    EXPECT_EQ(r.Subject, "Changed subject");
    EXPECT_EQ(s.Mailbox() / r.FileName, queued);
    mail::TmsMessage back;
    back.LoadFromFile(queued);
    EXPECT_EQ(back.Subject, "Changed subject");
}

TEST(Editor, AddressChecksLeaveTheMailboxUntouched) {
    struct Case {
        const char* address;
        QString expectedText;
    };
    const Case cases[] = {
        {"joerg.example.de", QStringLiteral("ERROR : \"@\" not found in email address")},
        {"", QStringLiteral("You must fill the ADDRESS field")},
    };
    for (const Case& c : cases) {
        Session s;
        TEditorDialog editor;
        compose::TMessageDraft d;
        d.Recipient = "Jörg";
        d.Address = c.address;
        d.Body = {"1.e4 *"};
        editor.SetDraft(d);
        editor.show();
        uitest::ModalAnswers answers;
        answers.Press(QMessageBox::Ok);
        EXPECT_FALSE(editor.QueueBtnClick());
        EXPECT_EQ(answers.Texts(), QStringList{c.expectedText});
        EXPECT_TRUE(editor.isVisible());
        EXPECT_EQ(s.Store().IndexCount(), 0);
        EXPECT_TRUE(s.MailFiles("*.0??").empty());
    }
}

TEST(Editor, CloseQuestionCancelKeepsTheEditorAndOkDiscards) {
    Session s;
    QPointer<TEditorDialog> editor = new TEditorDialog;
    compose::TMessageDraft d;
    d.Recipient = "Jörg";
    d.Address = "joerg@example.de";
    editor->SetDraft(d);
    editor->show();
    // An editor nobody typed into closes without a question.
    {
        QPointer<TEditorDialog> quiet = new TEditorDialog;
        quiet->show();
        EXPECT_TRUE(quiet->close());
        QTRY_VERIFY(quiet.isNull());
    }
    QTest::keyClicks(editor->findChild<QPlainTextEdit*>(QStringLiteral("Memo1")), "hello");
    ASSERT_TRUE(editor->BodyModified());
    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::Cancel);
    answers.Press(QMessageBox::Ok);
    EXPECT_FALSE(editor->close());
    ASSERT_FALSE(editor.isNull());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->close());
    QTRY_VERIFY(editor.isNull());
    EXPECT_EQ(answers.Texts(),
              QStringList({QStringLiteral("Do you want to discard the message to Jörg ?"),
                           QStringLiteral("Do you want to discard the message to Jörg ?")}));
}

TEST(Editor, FrameOpensSeveralEditorsAsChildWindows) {
    Session s;
    ui::TMainForm frame(s.Get());
    frame.MailCreateMessageClick();
    frame.MailCreateMessageClick();
    int editors = 0;
    for (QMdiSubWindow* w : frame.MdiArea()->subWindowList())
        editors += qobject_cast<TEditorDialog*>(w->widget()) != nullptr;
    EXPECT_EQ(editors, 2);
}

TEST(Editor, PegasusHandOffWritesTheMessageFileStartsTheProgramAndFilesTheCopy) {
    Session s;
    // The stand-in for Pegasus Mail records its command line.
    const QString program = s.Path(QStringLiteral("pmail/pegasus"));
    QDir().mkpath(s.Path(QStringLiteral("pmail")));
    {
        QFile f(program);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\necho \"$0 $*\" > \"$(dirname \"$0\")/cmdline.tmp\"\n"
                "mv \"$(dirname \"$0\")/cmdline.tmp\" \"$(dirname \"$0\")/cmdline.txt\"\n");
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    s.Get().Settings().PegasusPath = program.toStdString();

    QPointer<TEditorDialog> editor = new TEditorDialog;
    compose::TMessageDraft d;
    d.Recipient = "Weiß, Jörg";
    d.Address = "joerg@example.de";
    d.Subject = "[Open (1). Move :  10....Nf6] ";
    d.CarbonCopy = {"a@x.org", "b@y.org"};
    d.Attachments = {"/g/GAME.QRL", "/g/notes.txt"};
    d.Body = {"1.e4 e5 *", "Jörg"};
    editor->SetDraft(d);
    editor->show();
    ASSERT_TRUE(editor->PegasusAction()->isVisible());

    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::Ok); // "@NoCommas": go on
    answers.Press(QMessageBox::Ok); // "@MessageSentPegasus"
    ASSERT_TRUE(editor->PegasusButtonClick());
    EXPECT_EQ(answers.Texts().value(1), QStringLiteral("Message succesfully delivered"));

    const QString msgFile = s.Path(QStringLiteral("pmail/quorel.msg"));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(msgFile.toStdString(), bytes));
    EXPECT_EQ(bytes, "*** QUOREL->PEGASUS message file\r\n"
                     "TO:Wei\xDF, J\xF6rg <joerg@example.de>\r\n"
                     "SU:[Open (1). Move :  10....Nf6] \r\n"
                     "RE:ana@example.org\r\n"
                     "CC:a@x.org,b@y.org\r\n"
                     "CS:1\r\n"
                     "AT:/g/GAME.QRL,Unknown,0\r\n"
                     "AT:/g/notes.txt,Unknown,0\r\n"
                     "\r\n"
                     "1.e4 e5 *\r\n"
                     "J\xF6rg\r\n");
    const QString cmdline = s.Path(QStringLiteral("pmail/cmdline.txt"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(cmdline), 10000);
    QFile f(cmdline);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()).trimmed(), program + QStringLiteral(" -J ") + msgFile);

    // The copy in Sent Mail: no attachments, their paths in the body, the
    // comma of the name replaced.
    QTRY_VERIFY(editor.isNull());
    ASSERT_EQ(s.Store().IndexCount(), 1);
    mail::TMailIndexRecord r;
    ASSERT_TRUE(s.Store().ReadRecord(1, r));
    EXPECT_EQ(r.Folder, mail::kFolderSent);
    EXPECT_EQ(fs::path(r.FileName).extension(), ".003");
    mail::TmsMessage copy;
    copy.LoadFromFile(s.Mailbox() / r.FileName);
    EXPECT_EQ(copy.Attachments.Count(), 0u);
    EXPECT_EQ(copy.Recipients[0].Name, "Weiß  Jörg");
    EXPECT_EQ(copy.Body, (std::vector<std::string>{"1.e4 e5 *", "Jörg", "",
                                                   "This message contained attachments : ", "",
                                                   "     /g/GAME.QRL", "     /g/notes.txt", "",
                                                   "Message sent trough Pegasus Mail"}));
}

TEST(Editor, PegasusThatCannotStartKeepsTheEditorOpenAndFilesNothing) {
    Session s;
    QDir().mkpath(s.Path(QStringLiteral("pmail")));
    s.Get().Settings().PegasusPath = s.Path(QStringLiteral("pmail/missing")).toStdString();
    TEditorDialog editor;
    compose::TMessageDraft d;
    d.Recipient = "Jörg";
    d.Address = "joerg@example.de";
    d.Body = {"1.e4 *"};
    editor.SetDraft(d);
    editor.show();
    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    EXPECT_FALSE(editor.PegasusButtonClick());
    EXPECT_EQ(answers.Texts(),
              QStringList{QStringLiteral(
                  "Could not send message, check the Pegasus Mail path in Config Dialog")});
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(s.Store().IndexCount(), 0);
}

TEST(Editor, DesktopHandOffGivesEveryFieldToXdgEmail) {
    Session s;
    const QString bin = s.Path(QStringLiteral("bin"));
    QDir().mkpath(bin);
    const QByteArray oldPath = qgetenv("PATH");
    {
        TEditorDialog editor;
        qputenv("PATH", "/nonexistent");
        editor.UpdateToolsMenu();
        EXPECT_FALSE(editor.DesktopMailAction()->isVisible());
    }
    // The stand-in records its arguments, each ended by a NUL byte.
    {
        QFile f(bin + QStringLiteral("/xdg-email"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nd=$(dirname \"$0\")\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done "
                "> \"$d/args.tmp\"\nmv \"$d/args.tmp\" \"$d/args\"\n");
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    qputenv("PATH", bin.toLocal8Bit() + ":" + oldPath);

    // A queued message being changed, handed over without a copy: it leaves
    // the queue (to Trash) so that it is not sent twice.
    mail::TmsMessage queued;
    queued.Sender = {"Ana Souto", "ana@example.org"};
    queued.Recipients.Add("Jörg", "joerg@example.de");
    queued.Body = {"old"};
    const fs::path queuedFile = s.Store().QueueMessage(queued, true);
    const std::string game = (s.Games() / "GAME.QRL").string();
    s.WriteGame("GAME.QRL", 0);

    QPointer<TEditorDialog> editor = new TEditorDialog;
    compose::TMessageDraft d;
    d.Recipient = "Jörg";
    d.Address = "joerg@example.de";
    d.Subject = "[Open (1). Move :  10....Nf6] ";
    d.CarbonCopy = {"a@x.org"};
    d.Attachments = {game};
    d.Body = {"1.e4 e5 *", "Jörg"};
    d.SaveCopy = false;
    d.EditedFile = queuedFile;
    editor->SetDraft(d);
    editor->show();
    ASSERT_TRUE(editor->DesktopMailAction()->isVisible());
    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    const bool handed = editor->DesktopMailClick();
    qputenv("PATH", oldPath);
    ASSERT_TRUE(handed);

    const QString argsFile = bin + QStringLiteral("/args");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(argsFile), 10000);
    QFile f(argsFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QList<QByteArray> args = f.readAll().split('\0');
    args.removeLast();
    EXPECT_EQ(args,
              (QList<QByteArray>{"--cc", "a@x.org", "--subject", "[Open (1). Move :  10....Nf6] ",
                                 "--body", "1.e4 e5 *\nJörg", "--attach",
                                 QByteArray::fromStdString(game), "joerg@example.de"}));
    QTRY_VERIFY(editor.isNull());
    ASSERT_EQ(s.Store().IndexCount(), 1);
    mail::TMailIndexRecord r;
    ASSERT_TRUE(s.Store().ReadRecord(1, r));
    EXPECT_EQ(r.Folder, mail::kFolderTrash);
}

TEST(Editor, CreateMessageSavesAChangedGameSoTheAttachmentHoldsTheMove) {
    Session s;
    s.WriteGame("GAME.QRL", 0);
    TForm2 game;
    game.RefreshGame(QStringLiteral("GAME.QRL"));
    game.show();
    game.DiagramMouseUp(13, 33); // 11.d4
    ASSERT_TRUE(game.Modified());
    game.CreateMessageButtonClick();
    EXPECT_FALSE(game.Modified());
    chess::TGameRecord onDisk;
    ASSERT_TRUE(chess::LoadFromFile(s.Games(), "GAME.QRL", onDisk).Ok);
    EXPECT_EQ(onDisk.MoveCount, 21);
    QPointer<TEditorDialog> editor = OpenEditor();
    ASSERT_TRUE(editor);
    EXPECT_NE(editor->Draft().Subject.find(" 11.d4] "), std::string::npos)
        << editor->Draft().Subject;
    EXPECT_EQ(editor->Draft().Attachments,
              std::vector<std::string>{(s.Games() / "GAME.QRL").string()});
    delete editor;
}

TEST(Editor, PrintGoesThroughThePrintDialog) {
    Session s;
    TEditorDialog editor;
    compose::TMessageDraft d;
    d.Body = {"1.e4 e5 *", "Jörg"};
    editor.SetDraft(d);
    editor.show();
    const QString pdf = s.Path(QStringLiteral("message.pdf"));
    uitest::ModalAnswers answers;
    answers.Then([&pdf](QWidget* w) {
        auto* dialog = qobject_cast<QPrintDialog*>(w);
        if (!dialog) {
            w->close();
            return;
        }
        // Without a printer the dialog offers printing to a PDF file; its
        // own fields decide where the pages go.
        if (auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers")))
            printers->setCurrentIndex(printers->count() - 1);
        if (auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
            file->setText(pdf);
        dialog->accept();
    });
    editor.PrintButtonClick();
    EXPECT_EQ(answers.Pending(), 0);
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5) == "%PDF-");
}
