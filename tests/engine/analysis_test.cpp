// The window-free analysis logic: the engine file, the analysis text lines,
// hints and their squares, the report file name and the engine file's folder.
#include "engine/analysis.h"

#include "chess/notation.h"
#include "pgn/writer.h"
#include "rebeng/game_text.h"
#include "rebeng/lines.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace quorel::engine {
namespace {

using chess::TGameRecord;

// A game of the given moves (long algebraic) played through the rules, with
// the records the game window would store; marks: half-moves annotated "*".
TGameRecord MakeGame(const std::vector<std::string>& moves, const std::vector<int>& marks = {},
                     const std::string& fen = "") {
    rebeng::GameWalker w;
    if (!fen.empty()) {
        EXPECT_TRUE(w.SetUp(fen));
    }
    for (const auto& m : moves)
        EXPECT_TRUE(w.Play(m)) << m;
    TGameRecord rec = w.Record();
    rec.Event = "Club";
    rec.Site = "?";
    rec.Date = "2026.12.07";
    rec.Round = "1";
    rec.White = "stored white";
    rec.Black = "stored black";
    rec.Result = "*";
    for (int k : marks)
        rec.Move(k).Annotation = 9;
    return rec;
}

const std::string kTags = "[Event \"Club\"]\r\n[Site \"?\"]\r\n[Date \"2026.12.07\"]\r\n"
                          "[Round \"1\"]\r\n[White \"Smith, Ann\"]\r\n[Black \"Bob\"]\r\n"
                          "[Result \"*\"]\r\n\r\n";

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(EngineFileTest, TextByMode) {
    TGameRecord g = MakeGame({"e2e4", "e7e5", "g1f3"}, {1, 3});
    struct Row {
        std::string name;
        int currentPly;
        REmode mode;
        bool all;
        std::string text;
    };
    const std::vector<Row> rows = {
        {"position after 1.e4", 1, REmode::ModNext, false, kTags + "1.e4  *\r\n"},
        {"no move yet", 0, REmode::ModNext, false, kTags + "*\r\n"},
        {"last move", 2, REmode::ModLast, false, kTags + "1.e4 e5  *\r\n"},
        {"marked moves", 1, REmode::ModGame, false, kTags + "1.e4 {*} e5 2.Nf3 {*}  *\r\n"},
        {"all moves", 0, REmode::ModGame, true,
         "[Event \"ALL\"]\r\n" + kTags + "1.e4 {*} e5 2.Nf3 {*}  *\r\n"},
    };
    for (const auto& row : rows) {
        TGameRecord r = g;
        r.CurrentPly = uint16_t(row.currentPly);
        EXPECT_EQ(RebelPGNText(r, row.mode, row.all, "Ann Smith", "Bob"), row.text) << row.name;
    }
}

TEST(EngineFileTest, MovetextMatchesThePgnWriter) {
    std::vector<std::string> twelve = {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6",
                                       "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"};
    std::vector<std::string> thirteen = twelve;
    thirteen.push_back("e2e4");
    std::vector<TGameRecord> games = {
        MakeGame({}),
        MakeGame(twelve),
        MakeGame(thirteen),
        MakeGame({"e2e4", "g8f6", "e4e5", "d7d5", "e5d6"}),
        MakeGame({"e8d7", "e2e4", "d7d6"}, {}, "4k3/8/8/8/8/8/4P3/4K3 b - -"),
        MakeGame({"e2e4", "d7d6"}, {}, "4k3/3p4/8/8/8/8/4P3/4K3 w - -"),
    };
    games[3].MoveListLanguage = 2;
    for (TGameRecord& g : games) {
        g.CurrentPly = g.MoveCount;
        std::string pgn = pgn::PGNGameText(g, "Ann Smith", "Bob");
        EXPECT_EQ(RebelPGNText(g, REmode::ModGame, false, "Ann Smith", "Bob"), pgn);
        if (g.MoveCount > 0) {
            EXPECT_EQ(RebelPGNText(g, REmode::ModNext, false, "Ann Smith", "Bob"), pgn);
        }
    }
    // The engine reads PGN: English piece letters whatever the move list shows.
    EXPECT_EQ(RebelMovetext(games[3], 5, false), "1.e4 Nf6 2.e5 d5 3.exd6 {e.p.}  *");
    // Black moved first: no number before its move, White's from 2.
    EXPECT_EQ(RebelMovetext(games[4], 3, false), "Kd7 2.e4 Kd6  *");
    EXPECT_EQ(RebelMovetext(games[2], 13, false),
              "1.Nf3 Nf6 2.Ng1 Ng8 3.Nf3 Nf6 4.Ng1 Ng8 5.Nf3 Nf6 6.Ng1 Ng8 \r\n7.e4  *");
}

TEST(EngineFileTest, CreateRebelPGNFileWritesTellsAndDescribes) {
    char tmpl[] = "/tmp/engine_file_XXXXXX";
    fs::path dir = mkdtemp(tmpl);
    fs::path file = dir / kEngineFileName;
    TGameRecord g = MakeGame({"e2e4", "e7e5"}, {2});
    TRebelEngine engine; // no instance: UpdatePGN does nothing
    struct Row {
        int currentPly;
        REmode mode;
        bool active;
        std::vector<std::string> memo;
    };
    const std::vector<Row> rows = {
        {0, REmode::ModNext, false, {"", "Game begin", ""}},
        {1, REmode::ModNext, true, {"", "Last Move : 1.e4 (Black to play)", ""}},
        {2, REmode::ModLast, true, {"", "Last Move : 1... e5 (White to play)", ""}},
        {2, REmode::ModGame, false, {"", "Analyzing....."}},
    };
    for (const auto& row : rows) {
        TGameRecord r = g;
        r.CurrentPly = uint16_t(row.currentPly);
        engine.SetMode(row.mode);
        TEngineFileResult res =
            CreateRebelPGNFile(engine, file, r, "J\xc3\xbcrgen Weiss", "Bob", row.active, false);
        EXPECT_FALSE(res.Skipped);
        EXPECT_TRUE(res.Written);
        EXPECT_EQ(res.Memo, row.memo) << row.currentPly;
        std::string bytes = ReadFile(file);
        // Windows-1252 in the file.
        EXPECT_NE(bytes.find("[White \"Weiss, J\xfcrgen\"]\r\n"), std::string::npos);
    }
    EXPECT_EQ(engine.Errno(), 2);
    // A running game analysis keeps its file.
    std::string before = ReadFile(file);
    TGameRecord r = g;
    r.CurrentPly = 1;
    TEngineFileResult res = CreateRebelPGNFile(engine, file, r, "X", "Y", true, false);
    EXPECT_TRUE(res.Skipped);
    EXPECT_TRUE(res.Memo.empty());
    EXPECT_EQ(ReadFile(file), before);
    fs::remove_all(dir);
}

TEST(EngineFileTest, AlwaysInTheProgramFolderWithItsFullPath) {
    char tmpl[] = "/tmp/engine_folder_XXXXXX";
    fs::path dir = mkdtemp(tmpl);
    EXPECT_EQ(EngineFileName("/home/p"), fs::path("/home/p/QUOREL.PGN"));
    EXPECT_EQ(EngineFileName("/home/p/"), fs::path("/home/p/QUOREL.PGN"));
    const fs::path before = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(EngineFileName("prog"), dir / "prog" / "QUOREL.PGN");
    {
        // The engine's folder is current during the start, and only then.
        TEngineFolder folder(before / "x" / "stockfish");
        EXPECT_FALSE(folder.Entered());
        TEngineFolder engine(fs::path(FAKE_UCI));
        EXPECT_TRUE(engine.Entered());
        EXPECT_EQ(fs::current_path(), fs::path(FAKE_UCI).parent_path());
    }
    EXPECT_EQ(fs::current_path(), dir);
    EXPECT_TRUE(TEngineFolder("stockfish").Entered());
    EXPECT_EQ(
        EngineLibraryFolders("/home/p", "/opt/q/bin"),
        (std::vector<fs::path>{"/home/p", "/opt/q/bin", "/opt/q/lib", "/opt/q/share/quorel"}));
    fs::current_path(before);
    fs::remove_all(dir);
}

TEST(AnalysisTextTest, LastMoveDescriptionAndMarkedMoves) {
    TGameRecord g = MakeGame({"e2e4", "e7e5", "g1f3", "b8c6"}, {2, 4});
    EXPECT_EQ(MovesMarked(g), 2);
    g.Move(3).Annotation = 3; // "!"
    EXPECT_EQ(MovesMarked(g), 2);
    g.MoveCount = 3; // records above MoveCount do not count
    EXPECT_EQ(MovesMarked(g), 1);
    g.MoveCount = 4;
    const std::vector<std::pair<int, std::string>> rows = {{0, ""},
                                                           {1, "1.e4 (Black to play)"},
                                                           {2, "1... e5 (White to play)"},
                                                           {3, "2.Nf3 (Black to play)"},
                                                           {4, "2... Nc6 (White to play)"}};
    for (const auto& [ply, text] : rows) {
        g.CurrentPly = uint16_t(ply);
        EXPECT_EQ(LastMoveDescription(g), text) << ply;
    }
    TGameRecord b = MakeGame({"e8d7"}, {}, "4k3/8/8/8/8/8/4P3/4K3 b - -");
    EXPECT_EQ(LastMoveDescription(b), "1... Kd7 (White to play)");
}

TEST(AnalysisTextTest, BannerLines) {
    EXPECT_EQ(BannerLines("stockfish", 0, 0, REmode::ModNext, false, 0, 5, 1000),
              (std::vector<std::string>{
                  "Engine analysis with stockfish", "", "Engine version   :  DECADE 2.0",
                  "Hash table size  :  256 kb", "Analysis mode   :  Analyzing next move",
                  "Refresh interval : 1000 ms"}));
    EXPECT_EQ(BannerLines("x", 1, 5, REmode::ModGame, false, 3, 10, 500),
              (std::vector<std::string>{"Engine analysis with x", "", "Engine version   :  REBEL 9",
                                        "Hash table size  :  13 Mb",
                                        "Analysis mode   :  Analyzing 3 moves marked",
                                        "Seconds/move  : 10", "Refresh interval : 500 ms"}));
    struct Row {
        int hash;
        std::string line;
    };
    for (const auto& [hash, line] : std::vector<Row>{{1, "Hash table size  :  512 kb"},
                                                     {2, "Hash table size  :  1 Mb"},
                                                     {3, "Hash table size  :  2 Mb"},
                                                     {4, "Hash table size  :  4 Mb"},
                                                     {6, "Hash table size  :  28 Mb"},
                                                     {7, "Hash table size  :  256 kb"},
                                                     {-1, "Hash table size  :  256 kb"}})
        EXPECT_EQ(BannerLines("x", 0, hash, REmode::ModEval, false, 0, 5, 1)[3], line);
    EXPECT_EQ(BannerLines("x", 0, 0, REmode::ModEval, false, 0, 5, 1)[4],
              "Analysis mode   :  Evaluating position");
    EXPECT_EQ(BannerLines("x", 0, 0, REmode::ModLast, false, 0, 5, 1)[4],
              "Analysis mode   :  Analyzing last move");
    EXPECT_EQ(BannerLines("x", 0, 0, REmode::ModGame, true, 0, 5, 1)[4],
              "Analysis mode   :  Analyzing all moves");
}

TEST(HintTest, ExtractHintMove) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"12. 00:03 +0.31  Ng1-f3 Ng8-f6", "Ng1-f3 "},
        {"7. 01:01 -0.25  e7-e5 Ng1-f3 ", "e7-e5 "},
        {"20. 12:34 +12.34  Ke1-g1 ", "Ke1-g1 "},
        {"9. 00:01 Mate in 2 moves Qd1-h5 g7-g6 ", "Qd1-h5 "},
        {"9. 00:01 Mated in 3 moves h7-h6 Ra1-a8 ", "h7-h6 "},
        {"Mate Qd1-h5 g6", "Qd1-h5 "},
        {"Draw by stalemate", "Draw"},
        {"12. 00:03 +0.31  Ng1-f3", ""}, // no blank after the move
        {"Checkmate, no move to analyse", ""},
        {"no dots here", ""},
        {"1. one dot only", ""},
        {"", ""},
    };
    for (const auto& [line, hint] : rows)
        EXPECT_EQ(ExtractHintMove(line), hint) << line;
}

TEST(HintTest, ParseHintMove) {
    struct Row {
        std::string hint;
        bool ok;
        chess::Square from, to;
    };
    const std::vector<Row> rows = {
        {"Ng1-f3 ", true, 6, 25},  {"e2-e4 ", true, 14, 34},  {"Ke1-g1 ", true, 4, 6},
        {"e7xd8Q ", true, 64, 73}, {" Qd1xh5 ", true, 3, 47}, {"Draw", false, 0, 0},
        {"", false, 0, 0},         {"Ni9-f3 ", false, 0, 0},  {"Ng1", false, 0, 0},
    };
    for (const auto& row : rows) {
        chess::Square from = -5, to = -5;
        EXPECT_EQ(ParseHintMove(row.hint, from, to), row.ok) << row.hint;
        if (row.ok) {
            EXPECT_EQ(from, row.from) << row.hint;
            EXPECT_EQ(to, row.to) << row.hint;
        } else {
            EXPECT_EQ(from, -5) << "untouched: " << row.hint;
        }
    }
}

// Every line the library writes gives the window the squares of its first move.
TEST(HintTest, LibraryLinesGiveTheFirstMoveSquares) {
    struct Row {
        std::string epd;
        bool mate;
        int score;
        std::vector<std::string> pv;
    };
    const std::vector<Row> rows = {
        {"", false, 31, {"g1f3", "g8f6"}},
        {"", false, -250, {"e2e4"}},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", false, 5, {"e8c8", "e1g1"}},
        {"3r2k1/4P3/8/8/8/8/8/4K3 w - -", false, 900, {"e7d8q"}},
        {"6k1/5ppp/8/8/8/8/8/R5K1 w - -", true, 1, {"a1a8"}},
        {"6k1/5ppp/8/8/8/8/8/R5K1 b - -", true, -2, {"h7h6", "a1a8"}},
    };
    for (const auto& row : rows) {
        rebeng::GameWalker w;
        if (!row.epd.empty()) {
            ASSERT_TRUE(w.SetUp(row.epd));
        }
        rebeng::SearchInfo info;
        info.valid = true;
        info.depth = 10;
        info.timeMs = 1000;
        info.mate = row.mate;
        info.score = row.score;
        info.pv = row.pv;
        std::string line = rebeng::FormatAnalysisLine(info, w, 0);
        chess::Square from, to;
        ASSERT_TRUE(ParseHintMove(ExtractHintMove(line), from, to)) << line;
        EXPECT_EQ(chess::SquareName(from) + chess::SquareName(to), row.pv[0].substr(0, 4)) << line;
    }
}

TEST(HintTest, PollAddsEachLineOnceAndMovesTheMarks) {
    TAnalysisPoll poll;
    TPollStep s = poll.Take("12. 00:03 +0.31  Ng1-f3 Ng8-f6 ");
    EXPECT_TRUE(s.AddLine);
    EXPECT_TRUE(s.NewHint);
    EXPECT_EQ(s.Hint, "Ng1-f3 ");
    EXPECT_FALSE(s.HaveOldSquares);
    EXPECT_TRUE(s.HaveSquares);
    EXPECT_EQ(s.From, 6);
    EXPECT_EQ(s.To, 25);
    // The same line again: nothing.
    s = poll.Take("12. 00:03 +0.31  Ng1-f3 Ng8-f6 ");
    EXPECT_FALSE(s.AddLine);
    EXPECT_FALSE(s.NewHint);
    // A deeper line with the same move: added, same hint.
    s = poll.Take("13. 00:04 +0.29  Ng1-f3 d7-d5 ");
    EXPECT_TRUE(s.AddLine);
    EXPECT_FALSE(s.NewHint);
    // Another move: the old squares are redrawn, the new ones marked.
    s = poll.Take("14. 00:05 +0.35  e2-e4 e7-e5 ");
    EXPECT_TRUE(s.NewHint);
    EXPECT_TRUE(s.HaveOldSquares);
    EXPECT_EQ(s.OldFrom, 6);
    EXPECT_EQ(s.OldTo, 25);
    EXPECT_EQ(s.From, 14);
    EXPECT_EQ(s.To, 34);
    s = poll.Take("Draw by stalemate");
    EXPECT_TRUE(s.NewHint);
    EXPECT_EQ(s.Hint, "Draw");
    EXPECT_FALSE(s.HaveSquares);
    EXPECT_FALSE(poll.Take("").AddLine);
    poll.Reset();
    EXPECT_TRUE(poll.Take("14. 00:05 +0.35  e2-e4 e7-e5 ").NewHint);
    // A new position: the same move suggested again is shown and marked again.
    poll.ForgetHint();
    s = poll.Take("3. 00:00 +0.20  e2-e4 c7-c5 ");
    EXPECT_TRUE(s.NewHint);
    EXPECT_FALSE(s.HaveOldSquares);
    EXPECT_TRUE(s.HaveSquares);
}

TEST(ReportFileTest, NewNameIsDrawnUntilFree) {
    char tmpl[] = "/tmp/engine_report_XXXXXX";
    fs::path dir = mkdtemp(tmpl);
    std::ofstream(dir / "00042007.ANA") << "x";
    std::vector<int> draws = {42, 7, 59999, 998};
    size_t next = 0;
    std::vector<int> bounds;
    fs::path name = NewReportFileName(dir, [&](int bound) {
        bounds.push_back(bound);
        return draws[next++];
    });
    EXPECT_EQ(name, dir / "59999998.ANA");
    EXPECT_EQ(bounds, (std::vector<int>{60000, 999, 60000, 999}));
    fs::path any = NewReportFileName(dir);
    EXPECT_EQ(any.parent_path(), dir);
    EXPECT_EQ(any.filename().string().size(), 12u);
    EXPECT_EQ(any.extension(), ".ANA");
    fs::remove_all(dir);
}

TEST(ConfigureTest, FollowsTheSettingsInTheWindowsOrder) {
    fs::path fake(FAKE_UCI);
    TRebelEngine e;
    ConfigureRebelEngine(e, {"/nonexistent", REBENG_DIR}, fake, 1, 4);
    EXPECT_EQ(e.DLLPath(), REBENG_DIR);
    // The folder was tested with the name held before (REBEL.EXE): not taken.
    EXPECT_EQ(e.Path(), "");
    EXPECT_EQ(e.EngName(), fake.filename().string());
    EXPECT_EQ(e.Engine(), REengType::EngR9);
    EXPECT_EQ(e.HashSize(), REhash::Hash4MB);
    // Configured again (the name is now known): the folder is taken.
    ConfigureRebelEngine(e, {}, fake, 0, 9);
    EXPECT_EQ(e.Path(), fake.parent_path().string());
    EXPECT_EQ(e.Engine(), REengType::EngDec2);
    EXPECT_EQ(e.HashSize(), REhash::Hash256kb);
}

// Starts an engine: the library is loaded from here on, so this runs last.
TEST(RunningEngineTest, AFileThatCannotBeWrittenIsNeverHandedToTheEngine) {
    char tmpl[] = "/tmp/engine_unwritable_XXXXXX";
    fs::path dir = mkdtemp(tmpl);
    fs::path good = dir / "good" / kEngineFileName;
    fs::create_directories(good.parent_path());
    // A folder where the file should be fails even for the super-user.
    fs::path bad = dir / "bad" / kEngineFileName;
    fs::create_directories(bad);
    TGameRecord g = MakeGame({"e2e4", "e7e5"});
    const fs::path log = dir / "engine.log";
    setenv("FAKE_UCI_LOG", log.c_str(), 1);
    setenv("FAKE_UCI_PV_1", "e7e5 g1f3", 1);
    TRebelEngine engine;
    engine.SetDLLPath(REBENG_DIR);
    fs::path fake(FAKE_UCI);
    engine.SetEngName(fake.filename().string());
    engine.SetPath(fake.parent_path().string());
    engine.SetMode(REmode::ModNext);
    g.CurrentPly = 1;
    ASSERT_TRUE(CreateRebelPGNFile(engine, good, g, "X", "Y", false, false).Written);
    ASSERT_TRUE(engine.Start(good.string())) << engine.ErrorText();
    auto lineAfter = [&](const std::string& san) {
        for (int i = 0; i < 300; ++i) {
            std::string line = engine.AnalysisLine();
            if (line.find(san) != std::string::npos) return line;
            usleep(10000);
        }
        return std::string();
    };
    EXPECT_NE(lineAfter("e7-e5"), "");
    g.CurrentPly = 2;
    TEngineFileResult res = CreateRebelPGNFile(engine, bad, g, "X", "Y", true, false);
    EXPECT_FALSE(res.Written);
    EXPECT_TRUE(res.Memo.empty());
    EXPECT_NE(res.Error.find(bad.string()), std::string::npos) << res.Error;
    // The engine was not told: it got one position, the one after 1.e4.
    EXPECT_TRUE(engine.Stop());
    EXPECT_TRUE(engine.Deallocate());
    unsetenv("FAKE_UCI_LOG");
    std::istringstream sent(ReadFile(log));
    std::vector<std::string> positions;
    for (std::string line; std::getline(sent, line);)
        if (line.rfind("position", 0) == 0) positions.push_back(line);
    EXPECT_EQ(positions, std::vector<std::string>{"position startpos moves e2e4"});
    fs::remove_all(dir);
}

} // namespace
} // namespace quorel::engine
