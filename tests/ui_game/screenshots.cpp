// Takes the screenshots of the manual and the review under an X server
// (Xvfb): the frame with two games, a maximised game window, the five pages
// of the game window, the pieces on both square colours and board setup. Usage: ui_screenshots OUTDIR (DISPLAY set). Not a test.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "shell/startup.h"
#include "ui/boardsetup/boardsetup.h"
#include "ui/boardview/chessdiagram.h"
#include "ui/common/appcontext.h"
#include "ui/frame/mainform.h"
#include "ui/game/gamewindow.h"

#if __has_include("ui/dialogs/register.h")
#include "ui/dialogs/register.h"
#define QUOREL_HAVE_DIALOGS 1
#endif

using namespace quorel;
using namespace quorel::ui;

namespace {

QString g_out;

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(15);
    }
}

void Shot(const QString& name, QRect area = {}) {
    Settle();
    QStringList args{QStringLiteral("-window"), QStringLiteral("root")};
    if (!area.isEmpty())
        args << QStringLiteral("-crop")
             << QStringLiteral("%1x%2+%3+%4")
                    .arg(area.width())
                    .arg(area.height())
                    .arg(area.x())
                    .arg(area.y());
    args << QDir(g_out).filePath(name);
    const int rc = QProcess::execute(QStringLiteral("import"), args);
    std::printf("%s %s\n", qPrintable(name), rc == 0 ? "ok" : "FAILED");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(g_out);

    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("games"));
    QFile::copy(QStringLiteral(QUOREL_SOURCE_DIR "/docs/samples/sample.qrl"),
                home.filePath(QStringLiteral("games/SAMPLE.QRL")));
    Write(home.filePath(QStringLiteral("quorel.ini")),
          "[Setup]\r\nUser Name=Ana Souto\r\nEmail Address=ana.souto@example.org\r\n"
          "User_Country=ESP\r\nBegin_Maximized=NO\r\nLight Squares Color=11917808\r\n"
          "Dark Squares Color=6523061\r\n");
    Write(home.filePath(QStringLiteral("games/SAMPLE.TXT")),
          "Opening: Ruy Lopez, Closed.\r\nHe answers within two days; keep the pace.\r\n");
    TProgramFolderEnv env;
    env.QuorelHome = home.path().toStdString();
    TShellSession session(env);
    if (!session.CheckSingleInstance() || !session.CreateFrame()) return 1;
    session.CreateAddressBook();
    TAddressRecord joerg;
    joerg.Name = "Jörg Weber";
    joerg.Email = "joerg.weber@example.net";
    joerg.MailingAddress = "Lindenstraße 12";
    joerg.City = "Freiburg";
    joerg.State = "Baden-Württemberg";
    joerg.Zip = "79098";
    joerg.Country = "Germany";
    joerg.Notes = "Met at the 2024 team final. Prefers the Ruy Lopez.";
    session.AddressBook().Add(joerg);
#ifdef QUOREL_HAVE_DIALOGS
    RegisterDialogs();
#endif

    {
        TMainForm frame(session);
        frame.setGeometry(0, 0, 1280, 900);
        frame.show();
        TForm2* sample = frame.OpenGameWindow(QStringLiteral("SAMPLE.QRL"));
        TForm2* fresh = frame.OpenGameWindow(QStringLiteral("NONAME.QRL"));
        for (auto [from, to] : {std::pair{14, 34}, {64, 44}, {6, 25}, {71, 52}})
            fresh->DiagramMouseUp(from, to);
        sample->MoveListClick(15);
        sample->parentWidget()->setGeometry(0, 0, 880, 640);
        fresh->parentWidget()->setGeometry(390, 150, 880, 640);
        fresh->parentWidget()->raise();
        Shot(QStringLiteral("ui-frame.png"));

        // The whole screen, the game window maximised: the board grows.
        frame.setGeometry(0, 0, 1600, 1000);
        fresh->parentWidget()->hide();
        sample->parentWidget()->showMaximized();
        Shot(QStringLiteral("ui-game-maximised.png"), QRect(0, 0, 1600, 1000));
    }

    {
        // Every piece on both square colours, at the default square size
        // and at twice it.
        chess::TChessPosition pos;
        chess::TBoardRecord b{};
        pos.MakeBoardFromEPD("8/8/KQRBNP2/1KQRBNP1/kqrbnp2/1kqrbnp1/8/8 w - -", b);
        for (int size : {TChessDiagram::kSquare, 2 * TChessDiagram::kSquare}) {
            TChessDiagram2D board;
            board.SetColors(QColor(240, 217, 181), QColor(181, 136, 99));
            board.SetSquareSize(size);
            board.ShowPosition(pos);
            board.move(0, 0);
            board.show();
            Shot(QStringLiteral("ui-pieces-%1.png").arg(size), board.frameGeometry());
        }
    }

    TForm2 game;
    game.RefreshGame(QStringLiteral("SAMPLE.QRL"));
    game.MoveListClick(11);
    game.move(0, 0);
    game.show();
    auto* pages = game.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    const char* names[] = {"main", "time", "options", "notes", "bio"};
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        Shot(QStringLiteral("ui-game-%1.png").arg(QLatin1String(names[i])), game.frameGeometry());
    }
    game.hide();

    TBoardSetup setup;
    setup.SetEPD(QStringLiteral("r3k2r/ppq2ppp/2n1bn2/3p4/3P4/2NBBN2/PPQ2PPP/R3K2R w KQkq -"));
    setup.move(0, 0);
    setup.show();
    setup.SelectPiece(2);
    Shot(QStringLiteral("ui-boardsetup.png"), setup.frameGeometry());
    setup.hide();

    return 0;
}
