// The texts the library hands out: engine reports parsed, analysis lines,
// evaluations and report variations.
#include "rebeng/instance.h"
#include "rebeng/lines.h"

#include <gtest/gtest.h>

namespace quorel::rebeng {
namespace {

TEST(InfoLineTest, TakesOnlyCompleteFirstLineReports) {
    struct Row {
        std::string line;
        bool taken;
        int depth, timeMs;
        bool mate;
        int score;
        std::vector<std::string> pv;
    };
    const std::vector<Row> rows = {
        {"info depth 18 seldepth 24 multipv 1 score cp 31 nodes 91 nps 9 hashfull 4 tbhits 0 "
         "time 3400 pv g1f3 g8f6 c2c4",
         true,
         18,
         3400,
         false,
         31,
         {"g1f3", "g8f6", "c2c4"}},
        {"info depth 9 score mate -3 time 12 pv e1f1 d8d1",
         true,
         9,
         12,
         true,
         -3,
         {"e1f1", "d8d1"}},
        {"info depth 7 score cp 12 wdl 500 300 200 pv e2e4", true, 7, -1, false, 12, {"e2e4"}},
        {"info depth 18 score cp 40 lowerbound time 10 pv e2e4", false, 0, 0, false, 0, {}},
        {"info depth 18 score cp 40 upperbound time 10 pv e2e4", false, 0, 0, false, 0, {}},
        {"info depth 18 multipv 2 score cp 10 time 10 pv d2d4", false, 0, 0, false, 0, {}},
        {"info depth 18 currmove e2e4 currmovenumber 1", false, 0, 0, false, 0, {}},
        {"info string NNUE evaluation using nn.nnue enabled", false, 0, 0, false, 0, {}},
        {"info depth 3 score cp 1 pv", false, 0, 0, false, 0, {}},
        {"bestmove e2e4", false, 0, 0, false, 0, {}},
    };
    for (const auto& row : rows) {
        SearchInfo info;
        info.depth = 99;
        EXPECT_EQ(ParseInfoLine(row.line, info), row.taken) << row.line;
        if (!row.taken) {
            EXPECT_EQ(info.depth, 99) << "left unchanged: " << row.line;
            continue;
        }
        EXPECT_TRUE(info.valid);
        EXPECT_EQ(info.depth, row.depth);
        EXPECT_EQ(info.timeMs, row.timeMs);
        EXPECT_EQ(info.mate, row.mate);
        EXPECT_EQ(info.score, row.score);
        EXPECT_EQ(info.pv, row.pv);
    }
}

GameWalker At(const std::string& epd, const std::vector<std::string>& moves = {}) {
    GameWalker w;
    if (!epd.empty()) {
        EXPECT_TRUE(w.SetUp(epd)) << epd;
    }
    for (const auto& m : moves)
        EXPECT_TRUE(w.Play(m)) << m;
    return w;
}

SearchInfo Info(int depth, int timeMs, bool mate, int score, std::vector<std::string> pv) {
    SearchInfo i;
    i.valid = true;
    i.depth = depth;
    i.timeMs = timeMs;
    i.mate = mate;
    i.score = score;
    i.pv = std::move(pv);
    return i;
}

TEST(AnalysisLineTest, FormsTheWindowReads) {
    struct Row {
        GameWalker root;
        SearchInfo info;
        std::string line;
    };
    const std::vector<Row> rows = {
        {At(""), Info(12, 3400, false, 31, {"g1f3", "g8f6"}), "12. 00:03 +0.31  Ng1-f3 Ng8-f6 "},
        // Black to move: the engine's +0.25 for Black is -0.25 for White.
        {At("", {"e2e4"}), Info(7, 61000, false, 25, {"e7e5", "g1f3"}),
         "7. 01:01 -0.25  e7-e5 Ng1-f3 "},
        {At("", {"e2e4"}), Info(7, 0, false, -1234, {"d7d5", "e4d5"}),
         "7. 00:00 +12.34  d7-d5 e4xd5 "},
        {At("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"), Info(5, 100, false, 0, {"e1g1", "e8c8"}),
         "5. 00:00 +0.00  Ke1-g1 Ke8-c8 "},
        {At("3r2k1/4P3/8/8/8/8/8/4K3 w - -"), Info(3, 10, false, 900, {"e7d8q"}),
         "3. 00:00 +9.00  e7xd8Q "},
        {At("4k3/8/8/3pP3/8/8/8/4K3 w - d6"), Info(3, 10, false, 50, {"e5d6"}),
         "3. 00:00 +0.50  e5xd6 "},
        {At("6k1/5ppp/8/8/8/8/8/R5K1 w - -"), Info(9, 1500, true, 1, {"a1a8"}),
         "9. 00:01 Mate in 1 moves Ra1-a8 "},
        {At("6k1/5ppp/8/8/8/8/8/R5K1 b - -"), Info(9, 1500, true, -2, {"h7h6", "a1a8"}),
         "9. 00:01 Mated in 2 moves h7-h6 Ra1-a8 "},
        // No time from the engine: the elapsed time stands in (754 s).
        {At(""), Info(20, -1, false, 5, {"d2d4"}), "20. 12:34 +0.05  d2-d4 "},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FormatAnalysisLine(row.info, row.root, 754000), row.line);
}

TEST(AnalysisLineTest, LongVariationsAreCutAtAWholeMove) {
    std::vector<std::string> pv;
    for (int i = 0; i < 100; ++i)
        for (const char* m : {"g1f3", "g8f6", "f3g1", "f6g8"})
            pv.push_back(m);
    std::string line = FormatAnalysisLine(Info(30, 5000, false, 0, pv), At(""), 0);
    EXPECT_LE(line.size(), kMaxLineLength);
    EXPECT_GT(line.size(), kMaxLineLength - 8);
    EXPECT_EQ(line.back(), ' ');
    // Every word after the score is a whole move.
    std::string moves = line.substr(line.find("  ") + 2);
    for (size_t p = 0; p < moves.size(); p += 7)
        EXPECT_EQ(moves[p], 'N') << p;
}

TEST(AnalysisLineTest, AVariationStopsAtAMoveFromAnEmptySquare) {
    EXPECT_EQ(FormatAnalysisLine(Info(1, 0, false, 0, {"e2e4", "e2e4", "d7d5"}), At(""), 0),
              "1. 00:00 +0.00  e2-e4 ");
}

TEST(AnalysisLineTest, SmallTexts) {
    EXPECT_EQ(ClockText(0), "00:00");
    EXPECT_EQ(ClockText(59999), "00:59");
    EXPECT_EQ(ClockText(6000000), "100:00");
    EXPECT_EQ(PawnsText(-5), "-0.05");
    EXPECT_EQ(PawnsText(100), "+1.00");
    EXPECT_EQ(EvalText(false, 31, true), "+0.31");
    EXPECT_EQ(EvalText(false, 31, false), "-0.31");
    EXPECT_EQ(EvalText(true, 3, true), "+M3");
    EXPECT_EQ(EvalText(true, 3, false), "-M3");
    EXPECT_EQ(EvalText(true, -2, false), "+M2");
    EXPECT_EQ(GameOverLine(false), "Draw by stalemate");
    EXPECT_EQ(HashMegabytes(0), 1);
    EXPECT_EQ(HashMegabytes(3), 2);
    EXPECT_EQ(HashMegabytes(6), 28);
    EXPECT_EQ(HashMegabytes(7), 1);
}

TEST(ReportTest, MoveMarksByWhatTheMovePlayedLoses) {
    struct Row {
        bool bestMate;
        int best;
        bool playedMate;
        int played;
        const char* mark;
    };
    const Row rows[] = {
        {false, 31, false, 31, ""},     {false, 31, false, -60, ""},   // 0.91 lost
        {false, 31, false, -69, "?"},   {false, 31, false, -268, "?"}, // 1.00, 2.99
        {false, 31, false, -270, "??"}, {false, -60, true, -1, "??"},  // walks into mate
        {true, -3, true, -1, ""},    // mated either way, only sooner: not a blunder by mark
        {true, 3, true, 5, ""},      // a slower mate is still a mate
        {true, 2, false, 900, "??"}, // a mate thrown away
        {false, 500, false, 350, "?"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(MoveMark(r.bestMate, r.best, r.playedMate, r.played), r.mark)
            << r.best << " " << r.played;
}

TEST(SanLineTest, NumbersAndStopsAtIllegalMoves) {
    EXPECT_EQ(SanLine(At(""), {"e2e4", "e7e5", "g1f3"}, 10), "1.e4 e5 2.Nf3");
    EXPECT_EQ(SanLine(At("", {"e2e4"}), {"e7e5", "g1f3", "b8c6"}, 10), "1...e5 2.Nf3 Nc6");
    EXPECT_EQ(SanLine(At("", {"e2e4"}), {"e7e5", "g1f3", "b8c6"}, 2), "1...e5 2.Nf3");
    EXPECT_EQ(SanLine(At(""), {"e2e4", "e2e4"}, 10), "1.e4");
    EXPECT_EQ(SanLine(At("6k1/5ppp/8/8/8/8/8/R5K1 w - -"), {"a1a8"}, 5), "1.Ra8+");
}

} // namespace
} // namespace quorel::rebeng
