// The frame: reopening the games of the last exit, writing them back, and
// the close query that a game window can cancel.
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/frame/mainform.h"
#include "ui/game/gamewindow.h"
#include "uitest_util.h"

using namespace quorel;
using quorel::ui::TForm2;
using quorel::ui::TMainForm;

namespace {

struct Home {
    QTemporaryDir dir;
    TProgramFolderEnv Env() const {
        TProgramFolderEnv env;
        env.QuorelHome = dir.path().toStdString();
        env.ExecutableFolder = dir.path().toStdString();
        return env;
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QByteArray Read(const QString& name) const {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void Write(const QString& name, const QByteArray& bytes) const {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

void StartSession(TShellSession& session) {
    ASSERT_TRUE(session.CheckSingleInstance());
    session.ScanCommandLine({});
    ASSERT_TRUE(session.CreateFrame());
    bool ok = false;
    session.CreateAddressBook(&ok);
    ASSERT_TRUE(ok);
}

} // namespace

TEST(Frame, ReopensTheGamesOfTheLastExitAndWritesThemBack) {
    Home home;
    const QByteArray sample = [] {
        QFile f(QStringLiteral(QUOREL_SOURCE_DIR "/docs/samples/sample.qrl"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_FALSE(sample.isEmpty());
    QDir(home.dir.path()).mkpath(QStringLiteral("games"));
    home.Write(QStringLiteral("games/FIRST.QRL"), sample);
    home.Write(QStringLiteral("games/SECOND.QRL"), sample);
    home.Write(QStringLiteral("lastgame.lst"), "FIRST.QRL\r\n\r\n  \r\nSECOND.QRL\r\n");
    {
        TShellSession session(home.Env());
        StartSession(session);
        TMainForm frame(session);
        frame.show();
        const QList<TForm2*> games = frame.GameWindows();
        ASSERT_EQ(games.size(), 2);
        EXPECT_TRUE(games[0]->FileName().endsWith(QStringLiteral("FIRST.QRL")));
        EXPECT_TRUE(games[1]->FileName().endsWith(QStringLiteral("SECOND.QRL")));
        EXPECT_EQ(games[0]->windowTitle(), QStringLiteral("Ana Souto - Jörg Weber"));
        EXPECT_EQ(frame.windowTitle(), QStringLiteral("Quorel 4.00"));

        frame.FileNewClick();
        ASSERT_EQ(frame.GameWindows().size(), 3);
        EXPECT_EQ(frame.GameWindows()[2]->windowTitle(), QStringLiteral("? - ?"));
        EXPECT_EQ(frame.FindGameWindow(QStringLiteral("second.qrl")), games[1]);

        // A game window that cancels its close query keeps the program.
        games[1]->RewButtonClick();
        uitest::ModalAnswers cancel;
        cancel.Press(QMessageBox::Cancel);
        EXPECT_FALSE(frame.close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(cancel.Texts().size(), 1);
        EXPECT_TRUE(frame.isVisible());
        EXPECT_EQ(frame.GameWindows().size(), 2); // the new game closed without a question
        EXPECT_EQ(home.Read(QStringLiteral("lastgame.lst")),
                  "FIRST.QRL\r\n\r\n  \r\nSECOND.QRL\r\n");

        uitest::ModalAnswers no;
        no.Press(QMessageBox::No);
        EXPECT_TRUE(frame.close());
        EXPECT_EQ(no.Texts().size(), 1);
    }
    const QList<QByteArray> lines = home.Read(QStringLiteral("lastgame.lst")).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].trimmed().endsWith("FIRST.QRL")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].trimmed().endsWith("SECOND.QRL")) << lines[1].toStdString();

    // The next start reopens them again.
    TShellSession session(home.Env());
    StartSession(session);
    TMainForm frame(session);
    frame.show();
    EXPECT_EQ(frame.GameWindows().size(), 2);
    frame.close();
}

TEST(Frame, SettingsGiveTheLookOfTheRun) {
    Home home;
    home.Write(QStringLiteral("quorel.ini"),
               "[SETUP]\r\nBackground_Color=255\r\nlight squares color=65280\r\n"
               "Display Coordenates=NO\r\nUser Name=Rui\r\nBegin_Maximized=NO\r\n");
    TShellSession session(home.Env());
    StartSession(session);
    TMainForm frame(session);
    EXPECT_EQ(ui::AppContext().backgroundColor, QColor(255, 0, 0));
    EXPECT_EQ(ui::AppContext().lightColor, QColor(0, 255, 0));
    EXPECT_FALSE(ui::AppContext().displayCoordinates);
    EXPECT_EQ(ui::AppContext().userName, QStringLiteral("Rui"));
    EXPECT_EQ(frame.MdiArea()->background().color(), QColor(255, 0, 0));
    frame.show();
    TForm2* game = frame.OpenGameWindow(QStringLiteral("NONAME.QRL"));
    ASSERT_NE(game, nullptr);
    EXPECT_FALSE(game->findChild<QLabel*>(QStringLiteral("FileLabel1"))->isVisible());
    frame.close();
}

TEST(Frame, SettingsDialogAppliesColoursAtOnceAndLanguageAtNextStart) {
    Home home;
    TShellSession session(home.Env());
    StartSession(session);
    TMainForm frame(session);
    ASSERT_EQ(ui::UiLanguage(), 0);
    const auto saved = ui::DialogHooks().configure;
    ui::DialogHooks().configure = [&session](QWidget*) {
        session.Settings().Language = 2;
        session.Settings().BackgroundColor = 0x00ff00; // green (red is the low byte)
        return true;
    };
    frame.FileConfigClick();
    ui::DialogHooks().configure = saved;
    EXPECT_EQ(ui::UiLanguage(), 0);
    EXPECT_EQ(frame.MdiArea()->background().color(), QColor(0, 255, 0));
    TForm2* game = frame.OpenGameWindow(QStringLiteral("NONAME.QRL"));
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(game->findChild<QLabel*>(QStringLiteral("LabelMoves"))->text(),
              QStringLiteral("Moves"));
}
