// Takes the screenshots of the manual's analysis chapter under an X server
// (Xvfb) with Stockfish: a game window analysing with its hint on the board,
// and the report of a whole-game analysis in its viewer. Prints how long the
// start of an analysis kept the window busy. Usage: ui_analysis_screenshots
// OUTDIR (DISPLAY set). Not a test.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "shell/startup.h"
#include "ui/boardview/chessdiagram.h"
#include "ui/common/appcontext.h"
#include "ui/frame/mainform.h"
#include "ui/game/analysisviewer.h"
#include "ui/game/gamewindow.h"
#include "ui/game/secondsdialog.h"

using namespace quorel;
using namespace quorel::ui;

namespace {

QString g_out;

void Wait(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

void Shot(const QString& name, QRect area) {
    Wait(300);
    const QStringList args{QStringLiteral("-window"), QStringLiteral("root"),
                           QStringLiteral("-crop"),
                           QStringLiteral("%1x%2+%3+%4")
                               .arg(area.width())
                               .arg(area.height())
                               .arg(area.x())
                               .arg(area.y()),
                           QDir(g_out).filePath(name)};
    const int rc = QProcess::execute(QStringLiteral("import"), args);
    std::printf("%s %s\n", qPrintable(name), rc == 0 ? "ok" : "FAILED");
}

// The area of a frame's child window on the screen.
QRect ScreenArea(QWidget* child) {
    QWidget* sub = child->parentWidget();
    return QRect(sub->mapToGlobal(QPoint(0, 0)), sub->size());
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
          "Begin_Maximized=NO\r\nLight Squares Color=11917808\r\nDark Squares Color=6523061\r\n"
          "[REBEL]\r\nRebel_Engine_Path=/usr/games/stockfish\r\n"
          "Rebel_engine_refresh_rate=500\r\n");
    TProgramFolderEnv env;
    env.QuorelHome = home.path().toStdString();
    TShellSession session(env);
    if (!session.CheckSingleInstance() || !session.CreateFrame()) return 1;
    session.CreateAddressBook();

    TMainForm frame(session);
    frame.setGeometry(0, 0, 1280, 900);
    frame.show();
    Wait(200);

    // A game window analysing the position shown.
    TForm2* game = frame.OpenGameWindow(QStringLiteral("SAMPLE.QRL"));
    game->MoveListClick(11);
    game->parentWidget()->setGeometry(0, 0, 960, 760);
    Wait(200);
    QElapsedTimer busy;
    busy.start();
    game->AnalyzePositionItemClick();
    std::printf("start_ms=%lld\n", static_cast<long long>(busy.elapsed()));
    Wait(6000);
    std::printf("hint %d-%d\n", game->Board()->HintFrom(), game->Board()->HintTo());
    Shot(QStringLiteral("ui-analysis-panel.png"), ScreenArea(game));
    game->StopRebel1Click();

    // The whole game of the shortest mate, analysed move by move.
    TForm2* fool = frame.OpenGameWindow(QStringLiteral("NONAME.QRL"));
    for (auto [from, to] : {std::pair{15, 25}, {64, 44}, {16, 36}, {73, 37}})
        fool->DiagramMouseUp(from, to);
    fool->parentWidget()->setGeometry(60, 40, 960, 760);
    QTimer answer;
    answer.setInterval(50);
    QObject::connect(&answer, &QTimer::timeout, [&answer] {
        if (auto* d = qobject_cast<TSecondsDialog*>(QApplication::activeModalWidget())) {
            d->SetSeconds(5);
            d->accept();
            answer.stop();
        }
    });
    answer.start();
    fool->AnalyzeEntireItemClick();
    TAnalysisViewer* viewer = nullptr;
    for (int i = 0; i < 1200 && !viewer; ++i) {
        Wait(100);
        viewer = frame.findChild<TAnalysisViewer*>();
    }
    if (!viewer) {
        std::printf("no report\n");
        return 1;
    }
    viewer->parentWidget()->setGeometry(180, 90, 720, 640);
    viewer->parentWidget()->raise();
    Shot(QStringLiteral("ui-analysis-report.png"), ScreenArea(viewer));
    for (TForm2* w : frame.GameWindows())
        w->SetModified(false);
    frame.close();
    return 0;
}
