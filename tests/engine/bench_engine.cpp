// Engine analysis figures (not a test): reading long games in every
// move-list language, and with the real engine the time to the first
// analysis line, the restart after the game file changed, and the release.
// Prints a Markdown report: bench_engine > bench/RESULTS-engine.md
#include "engine/analysis.h"
#include "engine/rebelengine.h"
#include "rebeng/game_text.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace quorel;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// A long legal game: moves drawn from the legal ones with a fixed seed.
chess::TGameRecord LongGame(int plies) {
    rebeng::GameWalker w;
    std::mt19937 rng(20261207);
    for (int i = 0; i < plies; ++i) {
        auto legal = w.LegalMoves();
        if (legal.empty()) break;
        w.Play(legal[rng() % legal.size()]);
    }
    chess::TGameRecord rec = w.Record();
    rec.Event = "Bench";
    rec.Result = "*";
    return rec;
}

// Waits until the binding hands out a line; the time in ms, -1 on time-out.
double FirstLine(engine::TRebelEngine& e, Clock::time_point from) {
    while (Ms(from, Clock::now()) < 10000) {
        if (!e.AnalysisLine().empty()) return Ms(from, Clock::now());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return -1;
}

} // namespace

int main() {
    std::printf("# Engine analysis: measured figures\n\n");
    std::printf("Produced by `bench_engine` (target of tests/engine, not run by ctest):\n"
                "`cmake --build BUILD --target bench_engine && BUILD/bin/bench_engine`.\n\n");

    std::printf("## Reading the engine file (PGN game text, rules of the chess core)\n\n");
    std::printf("| Game | Language | Plies | Read and played (ms) |\n|---|---|---|---|\n");
    chess::TGameRecord game = LongGame(300);
    const char* names[5] = {"English", "Spanish", "German", "Italian", "French"};
    for (int language = 0; language < 5; ++language) {
        game.MoveListLanguage = uint8_t(language);
        game.CurrentPly = game.MoveCount;
        std::string text = engine::RebelPGNText(game, engine::REmode::ModNext, false, "A", "B");
        rebeng::GameText parsed;
        std::string why;
        auto t0 = Clock::now();
        bool ok = rebeng::ReadGameText(text, parsed, why);
        auto t1 = Clock::now();
        std::printf("| random legal game | %s | %zu | %.1f%s |\n", names[language],
                    parsed.moves.size(), Ms(t0, t1), ok ? "" : " (refused)");
    }

    const char* stockfish = "/usr/games/stockfish";
    if (!fs::exists(stockfish)) {
        std::printf("\nStockfish is not installed: no engine figures.\n");
        return 0;
    }
    char tmpl[] = "/tmp/bench_engine_XXXXXX";
    fs::path dir = mkdtemp(tmpl);
    fs::path file = dir / "QUOREL.PGN";
    auto write = [&](const std::string& movetext) {
        std::ofstream(file, std::ios::binary)
            << "[Event \"B\"]\r\n[Site \"?\"]\r\n[Date \"?\"]\r\n[Round \"1\"]\r\n[White \"A\"]"
               "\r\n[Black \"B\"]\r\n[Result \"*\"]\r\n\r\n"
            << movetext << "\r\n";
    };
    std::printf("\n## With Stockfish (%s), through the binding and REBENG32.so\n\n", stockfish);
    std::printf("| Step | Time (ms) |\n|---|---|\n");
    engine::TRebelEngine e;
    e.SetDLLPath(REBENG_DIR);
    e.SetEngName("stockfish");
    e.SetPath("/usr/games");
    write("1.e4  *");
    auto t0 = Clock::now();
    bool started = e.Start(file.string());
    auto t1 = Clock::now();
    std::printf("| load library, start engine (handshake), start analysis | %.1f%s |\n", Ms(t0, t1),
                started ? "" : " (failed)");
    std::printf("| start to first analysis line | %.1f |\n", FirstLine(e, t0));
    double total = 0;
    const int updates = 10;
    for (int i = 0; i < updates; ++i) {
        write(i % 2 ? "1.e4 e5  *" : "1.d4 d5  *");
        auto u0 = Clock::now();
        e.UpdatePGN(file.string());
        total += FirstLine(e, u0);
    }
    std::printf("| file changed: update to first line of the new position (mean of %d) | %.1f |\n",
                updates, total / updates);
    auto s0 = Clock::now();
    e.Stop();
    auto s1 = Clock::now();
    std::printf("| stop a running analysis | %.1f |\n", Ms(s0, s1));
    e.Deallocate();
    auto s2 = Clock::now();
    std::printf("| release (engine program ends) | %.1f |\n", Ms(s1, s2));
    fs::remove_all(dir);
    return 0;
}
