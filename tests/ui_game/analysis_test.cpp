// Engine analysis in the game window, against the fake UCI engine (lines
// known in advance) and against Stockfish: lines and hint marks that follow
// the board, the engine file, the report of the marked moves in its viewer,
// the refusals and their boxes, several windows at once, and no engine
// process left once an analysis or its window has ended.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

#include "chess/gamerecord.h"
#include "shell/startup.h"
#include "ui/boardview/chessdiagram.h"
#include "ui/common/appcontext.h"
#include "ui/frame/mainform.h"
#include "ui/game/analysisviewer.h"
#include "ui/game/gamewindow.h"
#include "ui/game/secondsdialog.h"
#include "uitest_util.h"

using namespace quorel;
using quorel::ui::TForm2;

namespace {

// Processes whose parent is this test program (the engines it started).
std::vector<int> ChildPids() {
    std::vector<int> out;
    DIR* d = opendir("/proc");
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        const int pid = std::atoi(e->d_name);
        if (pid <= 0) continue;
        std::ifstream st("/proc/" + std::string(e->d_name) + "/stat");
        std::string line;
        std::getline(st, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        int ppid = 0;
        rest >> state >> ppid;
        if (ppid == getpid()) out.push_back(pid);
    }
    closedir(d);
    return out;
}

bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (done()) return true;
        QTest::qWait(20);
    }
    return done();
}

QString MemoText(TForm2& w) {
    return w.findChild<QPlainTextEdit*>(QStringLiteral("AnalysisMemo"))->toPlainText();
}
QString HintText(TForm2& w) {
    return w.findChild<QLabel*>(QStringLiteral("HintLabel"))->text();
}
bool PanelShown(TForm2& w) {
    return !w.findChild<QWidget*>(QStringLiteral("PanelRebel"))->isHidden();
}
bool HintMarks(TForm2& w, int from, int to) {
    return w.Board()->HintFrom() == from && w.Board()->HintTo() == to;
}

// The fake engine's first move for the positions after 0, 1, 2 and 3 half-moves.
class AnalysisTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::TAppContext& ctx = ui::AppContext();
        ctx.enginePath = QStringLiteral(FAKE_UCI);
        ctx.engineRefreshMs = 100;
        qputenv("FAKE_UCI_PV_0", "e2e4 e7e5");
        qputenv("FAKE_UCI_PV_1", "e7e5 g1f3");
        qputenv("FAKE_UCI_PV_2", "g1f3 b8c6");
        qputenv("FAKE_UCI_PV_3", "b8c6 f1b5");
        qunsetenv("FAKE_UCI_MODE");
        qunsetenv("FAKE_UCI_LOG");
    }
    void TearDown() override {
        EXPECT_TRUE(WaitUntil([] { return ChildPids().empty(); }, 3000))
            << "an engine process was left behind";
    }
    std::string EngineFile() const {
        QFile f(program_.Program() + QStringLiteral("/QUOREL.PGN"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return f.readAll().toStdString();
    }
    uitest::TempProgram program_;
};

chess::TGameRecord GameOf(const std::vector<std::pair<int, int>>& moves) {
    TForm2 w;
    for (auto [from, to] : moves)
        w.DiagramMouseUp(from, to);
    chess::TGameRecord rec = w.Record();
    rec.White = "Ann";
    rec.Black = "Bob";
    return rec;
}

TEST_F(AnalysisTest, LinesAndHintFollowTheBoard) {
    QPointer<TForm2> window = new TForm2; // deletes itself when closed
    TForm2& w = *window;
    w.show();
    w.AnalyzePositionItemClick();
    ASSERT_TRUE(w.AnalysisActive());
    EXPECT_TRUE(PanelShown(w));
    EXPECT_EQ(ChildPids().size(), 1u);
    // A new game: the movetext "*" and "Game begin"; then the engine's line
    // and its first move marked on e2 and e4.
    EXPECT_NE(EngineFile().find("\r\n\r\n*\r\n"), std::string::npos) << EngineFile();
    EXPECT_TRUE(MemoText(w).contains(QStringLiteral("\nGame begin\n")));
    ASSERT_TRUE(WaitUntil([&] { return HintMarks(w, 14, 34); })) << MemoText(w).toStdString();
    EXPECT_EQ(HintText(w), QStringLiteral("e2-e4"));
    EXPECT_TRUE(MemoText(w).contains(QStringLiteral("12. 00:03 +0.31  e2-e4 e7-e5")));

    // A move on the board: the file is rewritten and the hint is Black's.
    uitest::Drag(w.Board(), 14, 34);
    ASSERT_EQ(w.Record().MoveCount, 1);
    EXPECT_NE(EngineFile().find("\r\n\r\n1.e4  *\r\n"), std::string::npos) << EngineFile();
    EXPECT_TRUE(MemoText(w).contains(QStringLiteral("Last Move : 1.e4 (Black to play)")));
    ASSERT_TRUE(WaitUntil([&] { return HintMarks(w, 64, 44); }));
    EXPECT_EQ(HintText(w), QStringLiteral("e7-e5"));

    // Navigation back: the first position again, and its hint shown again.
    w.RewButtonClick();
    EXPECT_NE(EngineFile().find("\r\n\r\n*\r\n"), std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return HintMarks(w, 14, 34); }));

    // While a piece is dragged the text and the marks stay as they are.
    w.NextButtonClick();
    const QString before = MemoText(w);
    const QPoint half(ui::TChessDiagram::kSquare / 2, ui::TChessDiagram::kSquare / 2);
    const QPoint g8 = w.Board()->SquareOrigin(76) + half;
    QTest::mousePress(w.Board(), Qt::LeftButton, {}, g8);
    QTest::mouseMove(w.Board(), g8 + QPoint(5, 5));
    ASSERT_TRUE(w.Board()->Dragging());
    QTest::qWait(400);
    EXPECT_EQ(MemoText(w), before);
    EXPECT_EQ(w.Board()->HintFrom(), -1);
    QTest::mouseRelease(w.Board(), Qt::LeftButton, {}, g8);
    ASSERT_TRUE(WaitUntil([&] { return HintMarks(w, 64, 44); }));

    // Ctrl+R stops it: panel hidden, marks gone, the engine program ended.
    QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
    EXPECT_FALSE(w.AnalysisActive());
    EXPECT_FALSE(PanelShown(w));
    EXPECT_EQ(w.Board()->HintFrom(), -1);
    EXPECT_TRUE(ChildPids().empty());
    // Ctrl+R again starts it; closing the window ends it.
    QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(w.AnalysisActive());
    EXPECT_EQ(ChildPids().size(), 1u);
    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::No); // the moves made are not saved
    w.close();
    EXPECT_TRUE(ChildPids().empty());
    EXPECT_TRUE(WaitUntil([&] { return window.isNull(); }));
}

TEST_F(AnalysisTest, MarkedMovesGiveTheirReportInTheViewer) {
    chess::TGameRecord rec = GameOf({{14, 34}, {64, 44}, {6, 25}, {71, 52}});
    rec.Move(1).Annotation = 9; // "*"
    rec.Move(3).Annotation = 9;
    program_.WriteGame(QStringLiteral("MARKED.QRL"), rec);
    TForm2 w;
    w.RefreshGame(QStringLiteral("MARKED.QRL"));
    w.show();
    EXPECT_EQ(w.MovesMarked(), 2);
    uitest::ModalAnswers answers;
    answers.Then([](QWidget* d) {
        auto* dialog = qobject_cast<ui::TSecondsDialog*>(d);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->Seconds(), 5);
        dialog->EditSeconds()->setValue(10);
        dialog->close(); // no cancel: the value counts however it is closed
    });
    w.AnalyzeMarkedItemClick();
    EXPECT_EQ(answers.Pending(), 0);
    ASSERT_TRUE(w.AnalysisActive());
    EXPECT_TRUE(
        MemoText(w).contains(QStringLiteral("Analyzing 2 moves marked\nSeconds/move  : 10")));
    // The game goes to the engine whole, with the two marks.
    EXPECT_NE(EngineFile().find("1.e4 {*} e5 2.Nf3 {*} Nc6  *\r\n"), std::string::npos)
        << EngineFile();
    EXPECT_EQ(EngineFile().find("[Event \"ALL\"]"), std::string::npos);

    ui::TAnalysisViewer* viewer = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (QWidget* t : QApplication::topLevelWidgets())
            if (auto* v = qobject_cast<ui::TAnalysisViewer*>(t); v && v->isVisible()) viewer = v;
        return viewer != nullptr;
    }));
    std::unique_ptr<ui::TAnalysisViewer> owned(viewer);
    EXPECT_FALSE(w.AnalysisActive());
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Rebel analysis : Ann - Bob"));
    QStringList moves;
    for (const QString& line : viewer->Lines())
        if (QRegularExpression(QStringLiteral("^\\d+\\.(\\.\\.)?\\S+$")).match(line).hasMatch())
            moves << line;
    EXPECT_EQ(moves, (QStringList{QStringLiteral("1.e4"), QStringLiteral("2.Nf3")}))
        << viewer->Lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(viewer->Lines().contains(QStringLiteral("Moves analysed : 2 of 2")));
    // The report file is gone once shown; saving writes the lines as a text file.
    EXPECT_TRUE(QDir(program_.Program()).entryList({QStringLiteral("*.ANA")}).isEmpty());
    const QString saved = program_.Program() + QStringLiteral("/report.txt");
    ASSERT_TRUE(viewer->SaveToFile(saved));
    QFile f(saved);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("Game analysis\r\nWhite   : Ann\r\n"));
    // Printing goes page after page (here into a PDF file).
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = program_.Program() + QStringLiteral("/report.pdf");
    printer.setOutputFileName(pdf);
    QStringList many = viewer->Lines();
    for (int i = 0; i < 6; ++i)
        many += many; // some 1 500 lines: many pages
    viewer->SetLines(many);
    viewer->PrintLines(printer);
    QFile printed(pdf);
    ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
    EXPECT_GE(printed.readAll().count("/Type /Page\n"), 20);
}

TEST_F(AnalysisTest, RefusalsShowTheirBoxAndStartNothing) {
    program_.WriteGame(QStringLiteral("PLAIN.QRL"), GameOf({{14, 34}}));
    TForm2 w;
    w.RefreshGame(QStringLiteral("PLAIN.QRL"));
    w.show();
    uitest::ModalAnswers answers;
    // No marked move.
    answers.Press(QMessageBox::Ok);
    w.AnalyzeMarkedItemClick();
    // A missing engine folder.
    ui::AppContext().enginePath = QStringLiteral("/nonexistent/engines/stockfish");
    answers.Press(QMessageBox::Ok);
    w.AnalyzePositionItemClick();
    EXPECT_FALSE(PanelShown(w));
    // A program that is no UCI engine.
    ui::AppContext().enginePath = QStringLiteral(FAKE_UCI);
    qputenv("FAKE_UCI_MODE", "notuci");
    answers.Press(QMessageBox::Ok);
    w.AnalyzePositionItemClick();
    qunsetenv("FAKE_UCI_MODE");
    EXPECT_FALSE(PanelShown(w));
    ASSERT_EQ(answers.Pending(), 0);
    EXPECT_EQ(answers.Texts(), (QStringList{w.Msg(QStringLiteral("@NoMovesMarked")),
                                            QStringLiteral("REBEL(tm) Engine not found"),
                                            QStringLiteral("REBEL ENGINE ERROR : The engine "
                                                           "program is not a UCI engine")}));
    EXPECT_FALSE(w.AnalysisActive());
    EXPECT_TRUE(ChildPids().empty());

    // An engine file that cannot be written: the panel says so and no
    // engine starts; later it stops a running analysis in the same way.
    const QString file = program_.Program() + QStringLiteral("/QUOREL.PGN");
    QFile::remove(file); // written for the refused start above
    ASSERT_TRUE(QDir().mkpath(file));
    w.AnalyzePositionItemClick();
    EXPECT_FALSE(w.AnalysisActive());
    EXPECT_TRUE(PanelShown(w));
    EXPECT_TRUE(MemoText(w).contains(w.Msg(QStringLiteral("@EngineFileNotWritten")) + file));
    EXPECT_TRUE(ChildPids().empty());
    w.StopRebel1Click(); // the panel's Exit
    EXPECT_FALSE(PanelShown(w));
    ASSERT_TRUE(QDir().rmdir(file));
    w.AnalyzePositionItemClick();
    ASSERT_TRUE(w.AnalysisActive());
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir().mkpath(file));
    w.RewButtonClick();
    EXPECT_FALSE(w.AnalysisActive());
    EXPECT_TRUE(PanelShown(w));
    EXPECT_TRUE(MemoText(w).contains(w.Msg(QStringLiteral("@EngineFileNotWritten"))));
    EXPECT_TRUE(ChildPids().empty());
    w.SetModified(false);
}

TEST_F(AnalysisTest, WindowsAnalyseAtOnceUpToTheInstanceLimit) {
    std::vector<std::unique_ptr<TForm2>> windows;
    for (int i = 0; i < 16; ++i) {
        windows.push_back(std::make_unique<TForm2>());
        windows.back()->AnalyzePositionItemClick();
        ASSERT_TRUE(windows.back()->AnalysisActive()) << i;
    }
    EXPECT_EQ(ChildPids().size(), 16u);
    // The seventeenth is refused with the limit named.
    TForm2 extra;
    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    extra.AnalyzePositionItemClick();
    EXPECT_FALSE(extra.AnalysisActive());
    ASSERT_EQ(answers.Texts().size(), 1);
    EXPECT_TRUE(answers.Texts()[0].startsWith(QStringLiteral("REBEL ENGINE ERROR : 16 ")))
        << answers.Texts()[0].toStdString();
    // Each window follows its own board while the others run.
    TForm2& a = *windows[0];
    TForm2& b = *windows[1];
    a.show();
    b.show();
    uitest::Drag(a.Board(), 14, 34);
    ASSERT_EQ(a.Record().MoveCount, 1);
    ASSERT_TRUE(WaitUntil([&] { return HintMarks(a, 64, 44) && HintMarks(b, 14, 34); }));
    // Closing windows (or destroying them with the program) ends their engines.
    a.SetModified(false);
    windows.front().release()->close(); // the window deletes itself
    EXPECT_EQ(ChildPids().size(), 15u);
    windows.clear();
    EXPECT_TRUE(ChildPids().empty());
}

TEST_F(AnalysisTest, TheProgramUsesTheEngineSettingsAndEndsEnginesWhenItCloses) {
    QTemporaryDir home;
    QFile ini(home.filePath(QStringLiteral("quorel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[REBEL]\r\nRebel_Engine_Path=" FAKE_UCI "\r\nRebel_engine_version=1\r\n"
              "Rebel_engine_hash_size=3\r\nRebel_engine_refresh_rate=150\r\n");
    ini.close();
    const QString log = home.filePath(QStringLiteral("engine.log"));
    qputenv("FAKE_UCI_LOG", log.toLocal8Bit());
    TProgramFolderEnv env;
    env.QuorelHome = home.path().toStdString();
    env.ExecutableFolder = home.path().toStdString();
    TShellSession session(env);
    ASSERT_TRUE(session.CheckSingleInstance());
    ASSERT_TRUE(session.CreateFrame());
    session.CreateAddressBook();
    {
        ui::TMainForm frame(session);
        frame.show();
        TForm2* w = frame.OpenGameWindow(QStringLiteral("NONAME.QRL"));
        ASSERT_NE(w, nullptr);
        w->AnalyzePositionItemClick();
        ASSERT_TRUE(w->AnalysisActive());
        for (const char* line : {"Engine version   :  REBEL 9", "Hash table size  :  2 Mb",
                                 "Refresh interval : 150 ms"})
            EXPECT_TRUE(MemoText(*w).contains(QLatin1String(line))) << line;
        ASSERT_TRUE(WaitUntil([&] { return HintMarks(*w, 14, 34); }));
        QFile sent(log);
        ASSERT_TRUE(sent.open(QIODevice::ReadOnly));
        EXPECT_TRUE(sent.readAll().contains("setoption name Hash value 2\n"));
        // The engine file is the program folder's, wherever the engine is.
        EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("QUOREL.PGN"))));
        frame.close();
        EXPECT_TRUE(ChildPids().empty());
    }
    qunsetenv("FAKE_UCI_LOG");
}

TEST_F(AnalysisTest, StockfishHintIsALegalMoveOfThePositionShown) {
    ui::AppContext().enginePath = QStringLiteral("/usr/games/stockfish");
    ASSERT_TRUE(QFile::exists(ui::AppContext().enginePath)) << "the stockfish package is missing";
    // 1.e4 e5 2.Nf3 Nc6 3.Bb5 a6, shown after 2...Nc6 with White to move.
    program_.WriteGame(QStringLiteral("RUY.QRL"),
                       GameOf({{14, 34}, {64, 44}, {6, 25}, {71, 52}, {5, 41}, {60, 50}}));
    TForm2 w;
    w.RefreshGame(QStringLiteral("RUY.QRL"));
    w.MoveListClick(3);
    ASSERT_EQ(w.Record().CurrentPly, 4);
    w.show();
    w.AnalyzePositionItemClick();
    ASSERT_TRUE(w.AnalysisActive());
    ASSERT_TRUE(WaitUntil([&] { return w.Board()->HintFrom() >= 0; }, 10000))
        << MemoText(w).toStdString();
    const int from = w.Board()->HintFrom(), to = w.Board()->HintTo();
    // The move the hint marks is accepted on the board shown (White's move).
    EXPECT_NE(w.Board()->Position().PieceOnSquare(from), 0);
    EXPECT_LE(w.Board()->Position().PieceOnSquare(from), 6);
    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::Yes); // the later moves of the game are dropped
    w.DiagramMouseUp(from, to);
    EXPECT_EQ(w.Record().MoveCount, 5) << from << "-" << to;
    EXPECT_EQ(w.Record().Move(5).From, from);
    w.StopRebel1Click();
    w.SetModified(false);
}

} // namespace
