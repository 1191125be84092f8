// With the real engine (Stockfish from Debian): hints taken from its analysis
// lines are legal moves, a game analysis reports exactly the marked moves,
// and Stop and release leave no engine process behind.
#include "engine/analysis.h"
#include "engine/rebelengine.h"
#include "rebeng/game_text.h"
#include "rebeng/rebeng32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace quorel::engine {
namespace {

namespace fs = std::filesystem;

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

bool WaitFor(const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited < ms; waited += 10) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

std::string Pgn(const std::string& fen, const std::string& movetext) {
    std::string tags = "[Event \"Test\"]\r\n[Site \"?\"]\r\n[Date \"?\"]\r\n[Round \"1\"]\r\n"
                       "[White \"A\"]\r\n[Black \"B\"]\r\n[Result \"*\"]\r\n";
    if (!fen.empty()) tags += "[FEN \"" + fen + "\"]\r\n";
    return tags + "\r\n" + movetext + "\r\n";
}

class StockfishTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(STOCKFISH)) << "the stockfish package is missing";
        char tmpl[] = "/tmp/engine_sf_XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override {
        EXPECT_EQ(ChildPids(), std::vector<int>{}) << "an engine process was left behind";
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void UseStockfish(TRebelEngine& e) {
        e.SetDLLPath(REBENG_DIR);
        fs::path sf(STOCKFISH);
        e.SetEngName(sf.filename().string());
        e.SetPath(sf.parent_path().string());
        ASSERT_EQ(e.Path(), sf.parent_path().string());
    }
    std::string Write(const std::string& text) {
        std::string file = (dir_ / "QUOREL.PGN").string();
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }
    // Analyses the game of the engine file through the library's own calls
    // (one second a position) and returns the report's text; empty when a
    // call failed (the failure is recorded).
    std::string GameReport(const std::string& file, int timeoutMs) {
        void* lib = dlopen(REBENG_DIR "/REBENG32.so", RTLD_NOW);
        EXPECT_NE(lib, nullptr);
        if (!lib) return {};
        auto allocate = reinterpret_cast<RebelEngineAllocateFn>(dlsym(lib, "RebelEngineAllocate"));
        auto start = reinterpret_cast<RebelEngineStartAnalyseGameFn>(
            dlsym(lib, "RebelEngineStartAnalyseGame"));
        auto running = reinterpret_cast<RebelEngineIsRunningFn>(dlsym(lib, "RebelEngineIsRunning"));
        auto report = reinterpret_cast<RebelEngineGetAnalysisGameFn>(
            dlsym(lib, "RebelEngineGetAnalysisGame"));
        auto release = reinterpret_cast<RebelEngineFreeFn>(dlsym(lib, "RebelEngineFree"));
        fs::path sf(STOCKFISH);
        int h = allocate(2, sf.filename().c_str(), sf.parent_path().c_str(), 2);
        EXPECT_GE(h, 0);
        if (h < 0) return {};
        std::string text;
        const std::string out = (dir_ / "report.ANA").string();
        if (start(h, file.c_str(), 1, 0) == 1 &&
            WaitFor([&] { return running(h) == 0; }, timeoutMs) && report(h, out.c_str()) == 1) {
            std::ifstream in(out, std::ios::binary);
            std::stringstream all;
            all << in.rdbuf();
            text = all.str();
        }
        EXPECT_FALSE(text.empty()) << "the game analysis gave no report";
        EXPECT_EQ(release(h, 1), 1);
        return text;
    }
    fs::path dir_;
};

TEST_F(StockfishTest, HintsOfRealLinesAreLegalMoves) {
    struct Row {
        std::string fen, movetext, expectHint; // how the hint begins ("" = any legal move)
    };
    const std::vector<Row> rows = {
        {"", "1.e4  *", ""},
        {"", "1.d4 Nf6 2.c4 e6 3.Nc3 Bb4  *", ""},
        {"r3k2r/pppq1ppp/2n2n2/2bpp3/2BPP3/2N2N2/PPPQ1PPP/R3K2R b KQkq -", "*", ""},
        {"k7/8/1K6/8/8/8/8/7R w - -", "*", "Rh1-h8 "},      // mate in one
        {"1r5k/P7/8/8/8/8/8/K7 w - -", "*", "a7xb8"},       // the pawn takes and promotes
        {"4k3/8/8/8/8/8/4P3/4K3 b - -", "Kd7 2.e4  *", ""}, // Black moved first
    };
    TRebelEngine e;
    UseStockfish(e);
    e.SetMode(REmode::ModNext);
    bool started = false;
    for (const auto& row : rows) {
        std::string file = Write(Pgn(row.fen, row.movetext));
        if (!started) {
            ASSERT_TRUE(e.Start(file)) << e.ErrorText();
            started = true;
        } else {
            ASSERT_TRUE(e.UpdatePGN(file)) << e.ErrorText();
        }
        rebeng::GameText game;
        std::string why;
        ASSERT_TRUE(rebeng::ReadGameText(Pgn(row.fen, row.movetext), game, why)) << why;
        std::vector<std::string> legal = game.After(game.moves.size()).LegalMoves();
        // Poll as the window does until a line of some depth arrives.
        std::string line, hint;
        ASSERT_TRUE(WaitFor(
            [&] {
                line = e.AnalysisLine();
                hint = ExtractHintMove(line);
                return !hint.empty() && std::atoi(line.c_str()) >= 8;
            },
            3000))
            << line;
        chess::Square from, to;
        ASSERT_TRUE(ParseHintMove(hint, from, to)) << line;
        std::string prefix = chess::SquareName(from) + chess::SquareName(to);
        EXPECT_TRUE(std::any_of(legal.begin(), legal.end(), [&](const std::string& m) {
            return m.rfind(prefix, 0) == 0;
        })) << line;
        if (!row.expectHint.empty()) {
            EXPECT_EQ(hint.substr(0, row.expectHint.size()), row.expectHint) << line;
        }
        EXPECT_LE(line.size(), 399u);
    }
    ASSERT_TRUE(e.Stop());
    EXPECT_FALSE(e.IsRunning());
    ASSERT_TRUE(e.Deallocate());
}

TEST_F(StockfishTest, GameAnalysisReportsExactlyTheMarkedMoves) {
    // The binding allows 5 seconds or more per position; the library's own
    // calls take one.
    const std::string text =
        GameReport(Write(Pgn("", "1.e4 e5 2.Nf3 {*} Nc6 3.Bb5 a6 {*} 4.Ba4 Nf6  *")), 20000);
    std::vector<std::string> analysed;
    std::regex moveLine(R"(^\d+\.(\.\.)?\S+\r?$)");
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (std::regex_match(l, moveLine)) analysed.push_back(l.substr(0, l.size() - 1));
    EXPECT_EQ(analysed, (std::vector<std::string>{"2.Nf3", "3...a6"})) << text;
    EXPECT_NE(text.find("Moves analysed : 2 of 2"), std::string::npos) << text;
    EXPECT_NE(text.find("Engine  : Stockfish"), std::string::npos) << text;
}

TEST_F(StockfishTest, WholeGameReportMarksTheBlunder) {
    // The engine file of "Entire Game": the all-moves line first.
    const std::string r =
        GameReport(Write("[Event \"ALL\"]\r\n" + Pgn("", "1.f3 e5 2.g4 Qh4#  0-1")), 30000);
    EXPECT_NE(r.find("Moves analysed : 4 of 4"), std::string::npos) << r;
    EXPECT_NE(r.find("2.g4\r\n   Played    : g4  -M1  ??\r\n"), std::string::npos) << r;
    EXPECT_NE(r.find("Blunders (?\?)  : 2.g4\r\n"), std::string::npos) << r;
    // The mate itself is the engine's own choice.
    EXPECT_NE(r.find("   Played    : Qh4+  -M1\r\n   Engine    : Qh4+"), std::string::npos) << r;
}

TEST_F(StockfishTest, StopAndReleaseLeaveNoEngineProcess) {
    std::string file = Write(Pgn("", "1.e4 {*} e5 {*} 2.Nf3 {*}  *"));
    {
        TRebelEngine e;
        UseStockfish(e);
        ASSERT_TRUE(e.Start(file));
        EXPECT_EQ(ChildPids(), std::vector<int>{e.Handle()});
        ASSERT_TRUE(e.Stop());
        EXPECT_FALSE(e.IsRunning());
        // A game analysis stopped before its first position is done.
        e.SetMode(REmode::ModGame);
        e.SetSecsPerPos(60);
        ASSERT_TRUE(e.Start(file));
        EXPECT_TRUE(e.IsRunning());
        ASSERT_TRUE(e.Stop());
        EXPECT_FALSE(e.IsRunning());
        fs::path out = dir_ / "r.ANA";
        ASSERT_TRUE(e.GetAnalysisResult(out.string()));
        std::ifstream in(out, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_NE(text.str().find("(analysis stopped)"), std::string::npos) << text.str();
        ASSERT_TRUE(e.Deallocate());
        EXPECT_EQ(ChildPids(), std::vector<int>{});
        // The window closes while the engine thinks: the component ends it.
        UseStockfish(e);
        ASSERT_TRUE(e.Start(file));
        EXPECT_EQ(ChildPids().size(), 1u);
    }
    EXPECT_EQ(ChildPids(), std::vector<int>{});
}

} // namespace
} // namespace quorel::engine
