// REBENG32.so through its 19 exports, driving the fake UCI engine: what the
// library sends to the engine, the lines and files it hands out, its error
// numbers, and that no engine process outlives its instance.
#include "rebeng/rebeng32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Lib {
    void* module = nullptr;
    RebelEngineVersionFn Version;
    RebelEngineVerDateFn VerDate;
    RebelEngineMaxInstancesFn MaxInstances;
    RebelEngineInstancesFn Instances;
    RebelEngineGetErrorFn GetError;
    RebelEngineGetSysErrorFn GetSysError;
    RebelEngineGetErrorTextFn GetErrorText;
    RebelEngineAllocateFn Allocate;
    RebelEngineFreeFn Free;
    RebelEngineStartPGNFn StartPGN;
    RebelEngineUpdatePGNFn UpdatePGN;
    RebelEngineGetAnalysisLineFn GetAnalysisLine;
    RebelEngineStartEPDFn StartEPD;
    RebelEngineGetAnalysisEPDFn GetAnalysisEPD;
    RebelEngineStartAnalyseGameFn StartAnalyseGame;
    RebelEngineGetAnalysisGameFn GetAnalysisGame;
    RebelEngineStopFn Stop;
    RebelEngineIsRunningFn IsRunning;
    RebelEngineGetHandleFn GetHandle;

    Lib() {
        module = dlopen(REBENG_SO, RTLD_NOW | RTLD_LOCAL);
        if (!module) return;
        void** slots[19] = {
            (void**)&Version,         (void**)&VerDate,        (void**)&MaxInstances,
            (void**)&Instances,       (void**)&GetError,       (void**)&GetSysError,
            (void**)&GetErrorText,    (void**)&Allocate,       (void**)&Free,
            (void**)&StartPGN,        (void**)&UpdatePGN,      (void**)&GetAnalysisLine,
            (void**)&StartEPD,        (void**)&GetAnalysisEPD, (void**)&StartAnalyseGame,
            (void**)&GetAnalysisGame, (void**)&Stop,           (void**)&IsRunning,
            (void**)&GetHandle};
        for (int i = 0; i < 19; ++i)
            *slots[i] = dlsym(module, quorel::rebeng::kFunctionNames[i]);
    }
};
Lib& L() {
    static Lib lib;
    return lib;
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 5) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// Processes whose parent is this one (running or not yet reaped).
std::vector<int> ChildPids() {
    std::vector<int> out;
    DIR* d = opendir("/proc");
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        int pid = std::atoi(e->d_name);
        if (pid <= 0) continue;
        std::ifstream st("/proc/" + std::string(e->d_name) + "/stat");
        std::string line;
        std::getline(st, line);
        size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state;
        int ppid = 0;
        rest >> state >> ppid;
        if (ppid == getpid()) out.push_back(pid);
    }
    closedir(d);
    return out;
}

std::string Line(int h) {
    char buf[400];
    int32_t len = 0;
    if (!L().GetAnalysisLine(h, buf, 400, &len)) return "";
    return std::string(buf, size_t(len));
}

std::string Tags(const std::string& extra = "") {
    return "[Event \"Club\"]\r\n[Site \"?\"]\r\n[Date \"2026.12.07\"]\r\n[Round \"1\"]\r\n"
           "[White \"Smith, Ann\"]\r\n[Black \"Bob\"]\r\n[Result \"*\"]\r\n" +
           extra + "\r\n";
}

class LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(L().module, nullptr) << dlerror();
        char tmpl[] = "/tmp/rebeng_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        log_ = dir_ / "uci.log";
        setenv("FAKE_UCI_LOG", log_.c_str(), 1);
        for (const char* v : {"FAKE_UCI_MODE", "FAKE_UCI_PV", "FAKE_UCI_SCORE", "FAKE_UCI_PV_0",
                              "FAKE_UCI_PV_3", "FAKE_UCI_PV_4"})
            unsetenv(v);
        fake_ = fs::path(FAKE_UCI);
    }
    void TearDown() override {
        for (int h : handles_)
            L().Free(h, 1);
        EXPECT_EQ(ChildPids(), std::vector<int>{}) << "an engine process was left behind";
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    int NewFake() {
        int h = L().Allocate(2, fake_.filename().c_str(), fake_.parent_path().c_str(), 2);
        EXPECT_GE(h, 0);
        handles_.push_back(h);
        return h;
    }
    fs::path Pgn(const std::string& name, const std::string& text) {
        fs::path p = dir_ / name;
        WriteFile(p, text);
        return p;
    }
    std::vector<std::string> LogLines() {
        std::vector<std::string> out;
        std::istringstream in(ReadFile(log_));
        for (std::string l; std::getline(in, l);)
            out.push_back(l);
        return out;
    }
    // The engine writes its log as it reads: give it a moment.
    bool Logged(const std::string& line) {
        return WaitFor(
            [&] {
                auto lines = LogLines();
                return std::find(lines.begin(), lines.end(), line) != lines.end();
            },
            2000);
    }
    bool NotLogged(const std::string& line) {
        auto lines = LogLines();
        return std::find(lines.begin(), lines.end(), line) == lines.end();
    }

    fs::path dir_, log_, fake_;
    std::vector<int> handles_;
};

TEST_F(LibraryTest, ExportsExactlyTheNineteenFunctions) {
    std::FILE* p = popen("nm -D --defined-only " REBENG_SO, "r");
    ASSERT_NE(p, nullptr);
    std::set<std::string> exported;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) {
        std::istringstream in(buf);
        std::string addr, type, name;
        if (in >> addr >> type >> name) exported.insert(name);
    }
    pclose(p);
    std::set<std::string> expected(std::begin(quorel::rebeng::kFunctionNames),
                                   std::end(quorel::rebeng::kFunctionNames));
    EXPECT_EQ(exported, expected);
}

TEST_F(LibraryTest, VersionDateAndInstanceCounting) {
    EXPECT_EQ(L().Version(), 0x01020100);
    EXPECT_EQ(L().VerDate(), 0x07122026);
    const int max = L().MaxInstances();
    EXPECT_EQ(max, 16);
    EXPECT_EQ(L().Instances(), 0);
    EXPECT_EQ(L().Allocate(2, "", "", 2), -1);
    EXPECT_EQ(L().Allocate(2, nullptr, nullptr, 2), -1);
    std::vector<int> ids;
    for (int i = 0; i < max; ++i)
        ids.push_back(L().Allocate(2, "x", "", 2));
    EXPECT_EQ(L().Allocate(2, "x", "", 2), -1);
    EXPECT_EQ(L().Instances(), max);
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), size_t(max));
    EXPECT_EQ(*std::min_element(ids.begin(), ids.end()), 0);
    EXPECT_EQ(L().Free(ids[3], 1), 1);
    EXPECT_EQ(L().Free(ids[3], 1), 0);
    EXPECT_EQ(L().Allocate(2, "x", "", 2), ids[3]); // the free number is used again
    for (int id : ids)
        EXPECT_EQ(L().Free(id, 1), 1);
    EXPECT_EQ(L().Instances(), 0);
}

TEST_F(LibraryTest, ErrorNumbersAndTexts) {
    char buf[400];
    int32_t len = 0;
    ASSERT_EQ(L().GetErrorText(4, buf, 400, &len), 1);
    EXPECT_EQ(std::string(buf), "Engine program not found or not executable");
    EXPECT_EQ(len, 42);
    ASSERT_EQ(L().GetErrorText(1, buf, 5, &len), 1);
    EXPECT_EQ(std::string(buf), "No e");
    EXPECT_EQ(len, 4);
    len = 0;
    EXPECT_EQ(L().GetErrorText(999, buf, 400, &len), 0);
    EXPECT_EQ(len, 0);
    // Unknown handles.
    EXPECT_EQ(L().GetError(12345), 1);
    EXPECT_EQ(L().GetSysError(12345), 0);
    EXPECT_EQ(L().StartPGN(12345, "x", 3, 0), 0);
    EXPECT_EQ(L().IsRunning(-1), 0);
    EXPECT_EQ(L().GetHandle(-1), 0);
}

TEST_F(LibraryTest, ContinuousAnalysisByMode) {
    setenv("FAKE_UCI_PV_3", "b8c6 f1b5", 1);
    setenv("FAKE_UCI_PV_4", "f1b5 a7a6", 1);
    setenv("FAKE_UCI_SCORE", "cp 20", 1);
    fs::path game = Pgn("game.pgn", Tags() + "1.e4 e5 2.Nf3  *\r\n");
    int h = NewFake();
    ASSERT_EQ(L().StartPGN(h, game.c_str(), 3, 5), 1) << L().GetError(h);
    EXPECT_EQ(L().GetError(h), 0);
    EXPECT_EQ(L().IsRunning(h), 1);
    ASSERT_TRUE(WaitFor([&] { return !Line(h).empty(); }));
    // Black to move: the engine's +0.20 for Black is -0.20 for White.
    EXPECT_EQ(Line(h), "12. 00:03 -0.20  Nb8-c6 Bf1-b5 ");
    EXPECT_TRUE(Logged("setoption name Hash value 13"));
    EXPECT_TRUE(Logged("position startpos moves e2e4 e7e5 g1f3"));
    EXPECT_TRUE(Logged("go infinite"));
    int pid = L().GetHandle(h);
    EXPECT_GT(pid, 0);
    EXPECT_EQ(ChildPids(), std::vector<int>{pid});

    // The file changes: the engine is stopped and set on the new position.
    WriteFile(game, Tags() + "1.e4 e5 2.Nf3 Nc6  *\r\n");
    ASSERT_EQ(L().UpdatePGN(h, game.c_str()), 1);
    EXPECT_TRUE(Logged("stop"));
    EXPECT_TRUE(Logged("position startpos moves e2e4 e7e5 g1f3 b8c6"));
    ASSERT_TRUE(WaitFor([&] { return Line(h).find("Bf1-b5") != std::string::npos; }));
    EXPECT_EQ(Line(h), "12. 00:03 +0.20  Bf1-b5 a7-a6 ");

    // Mode 2: the position before the last move, searching the move played.
    ASSERT_EQ(L().StartPGN(h, game.c_str(), 2, 0), 1);
    EXPECT_TRUE(Logged("setoption name Hash value 1"));
    EXPECT_TRUE(Logged("position startpos moves e2e4 e7e5 g1f3"));
    EXPECT_TRUE(Logged("go infinite searchmoves b8c6"));
    ASSERT_TRUE(WaitFor([&] { return Line(h).find("Nb8-c6") != std::string::npos; }));
    EXPECT_EQ(Line(h), "12. 00:03 +0.40  Nb8-c6 ");

    // Mode 1 evaluates the position after the last move, like mode 3.
    ASSERT_EQ(L().StartPGN(h, game.c_str(), 1, 0), 1);
    ASSERT_TRUE(WaitFor([&] { return LogLines().back() == "go infinite"; }));
    EXPECT_EQ(*(LogLines().end() - 2), "position startpos moves e2e4 e7e5 g1f3 b8c6");

    ASSERT_EQ(L().Stop(h), 1);
    EXPECT_EQ(L().IsRunning(h), 0);
    EXPECT_EQ(L().UpdatePGN(h, game.c_str()), 0);
    EXPECT_EQ(L().GetError(h), 2);
    EXPECT_EQ(L().GetHandle(h), pid); // the engine waits for the next analysis
    ASSERT_EQ(L().Free(h, 1), 1);
    handles_.clear();
    EXPECT_TRUE(Logged("quit"));
    EXPECT_EQ(ChildPids(), std::vector<int>{});
}

TEST_F(LibraryTest, PositionsWithoutAMoveAreNotSearched) {
    int h = NewFake();
    fs::path mate =
        Pgn("mate.pgn", Tags("[FEN \"6k1/5ppp/8/8/8/8/8/R5K1 w - - \"]\r\n") + "1.Ra8+  *\r\n");
    ASSERT_EQ(L().StartPGN(h, mate.c_str(), 3, 0), 1);
    EXPECT_EQ(Line(h), "Checkmate, no move to analyse");
    EXPECT_EQ(L().IsRunning(h), 1);
    EXPECT_TRUE(NotLogged("go infinite"));
    fs::path stalemate =
        Pgn("stale.pgn", Tags("[FEN \"k7/8/1Q6/8/8/8/8/4K3 b - - \"]\r\n") + "*\r\n");
    ASSERT_EQ(L().UpdatePGN(h, stalemate.c_str()), 1);
    EXPECT_EQ(Line(h), "Draw by stalemate");
    // Mode 2 there analyses the mating move itself.
    ASSERT_EQ(L().StartPGN(h, mate.c_str(), 2, 0), 1);
    EXPECT_TRUE(Logged("go infinite searchmoves a1a8"));
}

TEST_F(LibraryTest, FailuresComeWithTheirNumbers) {
    fs::path good = Pgn("good.pgn", Tags() + "1.e4 {*}  *\r\n");
    fs::path bad = Pgn("bad.pgn", Tags() + "1.e4 e4  *\r\n");
    fs::path unmarked = Pgn("plain.pgn", Tags() + "1.e4  *\r\n");
    struct Row {
        std::string what;
        std::function<int32_t(int)> call;
        int error, sysError;
    };
    const std::vector<Row> rows = {
        {"bad PGN", [&](int h) { return L().StartPGN(h, bad.c_str(), 3, 0); }, 9, 0},
        {"missing PGN", [&](int h) { return L().StartPGN(h, (dir_ / "none.pgn").c_str(), 3, 0); },
         8, ENOENT},
        {"mode 0", [&](int h) { return L().StartPGN(h, good.c_str(), 0, 0); }, 13, 0},
        {"hash 7", [&](int h) { return L().StartPGN(h, good.c_str(), 3, 7); }, 13, 0},
        {"update while idle", [&](int h) { return L().UpdatePGN(h, good.c_str()); }, 2, 0},
        {"bad EPD", [&](int h) { return L().StartEPD(h, "8/8/8 w - -", 1, 0, 1); }, 10, 0},
        {"seconds 0", [&](int h) { return L().StartAnalyseGame(h, good.c_str(), 0, 0); }, 13, 0},
        {"no marked moves", [&](int h) { return L().StartAnalyseGame(h, unmarked.c_str(), 1, 0); },
         14, 0},
        {"no report yet", [&](int h) { return L().GetAnalysisGame(h, (dir_ / "r.txt").c_str()); },
         12, 0},
        {"no EPD result yet",
         [&](int h) { return L().GetAnalysisEPD(h, (dir_ / "r.txt").c_str()); }, 12, 0},
    };
    int h = NewFake();
    for (const auto& row : rows) {
        EXPECT_EQ(row.call(h), 0) << row.what;
        EXPECT_EQ(L().GetError(h), row.error) << row.what;
        EXPECT_EQ(L().GetSysError(h), row.sysError) << row.what;
    }
    // The last error stays until the next operation.
    EXPECT_EQ(L().IsRunning(h), 0);
    EXPECT_EQ(L().GetError(h), 12);
    // A report that cannot be written.
    ASSERT_EQ(L().StartAnalyseGame(h, good.c_str(), 1, 0), 1);
    ASSERT_TRUE(WaitFor([&] { return L().IsRunning(h) == 0; }));
    EXPECT_EQ(L().GetAnalysisGame(h, (dir_ / "no" / "r.txt").c_str()), 0);
    EXPECT_EQ(L().GetError(h), 11);
    EXPECT_EQ(L().GetSysError(h), ENOENT);
}

TEST_F(LibraryTest, EngineProgramsThatCannotServe) {
    fs::path game = Pgn("game.pgn", Tags() + "1.e4  *\r\n");
    // Missing program.
    int h = L().Allocate(2, "no_such_engine", dir_.c_str(), 2);
    handles_.push_back(h);
    EXPECT_EQ(L().StartPGN(h, game.c_str(), 3, 0), 0);
    EXPECT_EQ(L().GetError(h), 4);
    EXPECT_EQ(L().GetSysError(h), ENOENT);
    // A program that does not speak UCI.
    setenv("FAKE_UCI_MODE", "notuci", 1);
    h = NewFake();
    EXPECT_EQ(L().StartPGN(h, game.c_str(), 3, 0), 0);
    EXPECT_EQ(L().GetError(h), 5);
    EXPECT_EQ(L().GetHandle(h), 0);
    // A program that dies while it analyses.
    setenv("FAKE_UCI_MODE", "die-on-go", 1);
    h = NewFake();
    L().StartPGN(h, game.c_str(), 3, 0);
    ASSERT_TRUE(WaitFor([&] { return L().IsRunning(h) == 0; }));
    EXPECT_EQ(L().GetError(h), 6);
    // The next start brings up a new program.
    unsetenv("FAKE_UCI_MODE");
    EXPECT_EQ(L().StartPGN(h, game.c_str(), 3, 0), 1);
    EXPECT_EQ(L().IsRunning(h), 1);
}

TEST_F(LibraryTest, GameAnalysisReportsTheMarkedMoves) {
    setenv("FAKE_UCI_PV_0", "d2d4 d7d5", 1);
    setenv("FAKE_UCI_PV_3", "b8c6 f1b5", 1);
    fs::path game = Pgn("game.pgn", Tags() + "1.e4 {*} e5 2.Nf3 Nc6 {*}  *\r\n");
    int h = NewFake();
    ASSERT_EQ(L().StartAnalyseGame(h, game.c_str(), 1, 0), 1);
    ASSERT_TRUE(WaitFor([&] { return L().IsRunning(h) == 0; }));
    EXPECT_EQ(L().GetError(h), 0);
    fs::path report = dir_ / "00042007.ANA";
    ASSERT_EQ(L().GetAnalysisGame(h, report.c_str()), 1);
    EXPECT_EQ(ReadFile(report),
              "Game analysis\r\n"
              "White   : Smith, Ann\r\n"
              "Black   : Bob\r\n"
              "Event   : Club\r\n"
              "Date    : 2026.12.07\r\n"
              "Engine  : FakeUci 1.0, 1 second per position\r\n"
              "Evaluations in pawns from White's point of view; +M3: White mates in 3 moves.\r\n"
              "\r\n"
              "1.e4\r\n"
              "   Played    : e4  -0.40\r\n"
              "   Engine    : d4  +0.31  (depth 12)\r\n"
              "   Main line : 1.d4 d5\r\n"
              "\r\n"
              "2...Nc6\r\n"
              "   Played    : Nc6  -0.31\r\n"
              "   Engine    : Nc6  -0.31  (depth 12)\r\n"
              "   Main line : 2...Nc6 3.Bb5\r\n"
              "\r\n"
              "Moves analysed : 2 of 2\r\n");
    EXPECT_TRUE(Logged("position startpos"));
    EXPECT_TRUE(Logged("go movetime 1000"));
    EXPECT_TRUE(Logged("go depth 12 movetime 1000 searchmoves e2e4"));
    EXPECT_TRUE(Logged("position startpos moves e2e4 e7e5 g1f3"));
    EXPECT_TRUE(NotLogged("go depth 12 movetime 1000 searchmoves b8c6"));

    // The all-moves line: every move.
    WriteFile(game, "[Event \"ALL\"]\r\n" + Tags() + "1.e4 e5 2.Nf3 Nc6  *\r\n");
    ASSERT_EQ(L().StartAnalyseGame(h, game.c_str(), 1, 0), 1);
    ASSERT_TRUE(WaitFor([&] { return L().IsRunning(h) == 0; }));
    ASSERT_EQ(L().GetAnalysisGame(h, report.c_str()), 1);
    std::string text = ReadFile(report);
    EXPECT_NE(text.find("Moves analysed : 4 of 4\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n1...e5\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Event   : Club\r\n"), std::string::npos) << text;
}

TEST_F(LibraryTest, StopEndsAGameAnalysisAtOnce) {
    setenv("FAKE_UCI_MODE", "slow", 1);
    fs::path game = Pgn("game.pgn", Tags() + "1.e4 {*} e5 {*}  *\r\n");
    int h = NewFake();
    ASSERT_EQ(L().StartAnalyseGame(h, game.c_str(), 3600, 0), 1);
    EXPECT_EQ(L().IsRunning(h), 1);
    ASSERT_TRUE(WaitFor([&] { return Logged("go movetime 3600000"); }));
    ASSERT_EQ(L().Stop(h), 1);
    EXPECT_EQ(L().IsRunning(h), 0);
    fs::path report = dir_ / "r.ana";
    ASSERT_EQ(L().GetAnalysisGame(h, report.c_str()), 1);
    EXPECT_NE(ReadFile(report).find("Moves analysed : 0 of 2 (analysis stopped)\r\n"),
              std::string::npos);
}

TEST_F(LibraryTest, TimedPositionResult) {
    setenv("FAKE_UCI_PV_0", "c7c5 g1f3", 1);
    const char* epd = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 id \"e4\"; ce 5;";
    struct Row {
        int evalMode;
        std::string epd, result;
    };
    const std::string fields = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -";
    const std::string withEp = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3";
    // Mode 2 writes the score only when the text carried one.
    const std::vector<Row> rows = {
        {1, epd, withEp + " bm c5; ce 31; acd 12; acs 0; pv c5 Nf3; id \"e4\";\r\n"},
        {2, epd, withEp + " bm c5; ce 31; acd 12; acs 0; pv c5 Nf3; id \"e4\";\r\n"},
        {0, epd, withEp + " bm c5; acd 12; acs 0; pv c5 Nf3; id \"e4\";\r\n"},
        {2, fields, fields + " bm c5; acd 12; acs 0; pv c5 Nf3;\r\n"},
    };
    int h = NewFake();
    fs::path out = dir_ / "epd.txt";
    for (const auto& row : rows) {
        ASSERT_EQ(L().StartEPD(h, row.epd.c_str(), 1, 0, row.evalMode), 1);
        ASSERT_TRUE(WaitFor([&] { return L().IsRunning(h) == 0; }));
        ASSERT_EQ(L().GetAnalysisEPD(h, out.c_str()), 1);
        EXPECT_EQ(ReadFile(out), row.result) << row.evalMode;
    }
    EXPECT_TRUE(Logged("position fen rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"));
}

TEST_F(LibraryTest, AnEngineReleasedWithoutTerminationServesTheNextInstance) {
    fs::path game = Pgn("game.pgn", Tags() + "1.e4  *\r\n");
    int h = NewFake();
    ASSERT_EQ(L().StartPGN(h, game.c_str(), 3, 0), 1);
    int pid = L().GetHandle(h);
    ASSERT_EQ(L().Free(h, 0), 1);
    handles_.clear();
    EXPECT_EQ(ChildPids(), std::vector<int>{pid});
    int h2 = NewFake();
    ASSERT_EQ(L().StartPGN(h2, game.c_str(), 3, 0), 1);
    EXPECT_EQ(L().GetHandle(h2), pid);
    EXPECT_EQ(ChildPids(), std::vector<int>{pid});
}

} // namespace
