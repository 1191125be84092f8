// Reading the PGN game text handed to the engine: the five move-list
// languages, FEN tags, marks, the all-moves line and the UCI position.
#include "rebeng/game_text.h"

#include "chess/moveentry.h"

#include <random>

#include <gtest/gtest.h>

namespace quorel::rebeng {
namespace {

std::string Tags(const std::string& extra = "") {
    return "[Event \"Club\"]\r\n[Site \"?\"]\r\n[Date \"2026.12.07\"]\r\n[Round \"1\"]\r\n"
           "[White \"Smith, Ann\"]\r\n[Black \"Bob\"]\r\n[Result \"*\"]\r\n" +
           extra + "\r\n";
}

std::vector<std::string> Ucis(const GameText& g) {
    std::vector<std::string> out;
    for (const auto& m : g.moves)
        out.push_back(m.uci);
    return out;
}

// The same game (knight, bishop, rook, queen, king moves, both castlings) as
// the writer puts it in each language.
struct LanguageRow {
    int language;
    std::string movetext;
};
const std::vector<std::string> kRuyLopez = {
    "e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6", "b5a4", "g8f6", "e1g1", "f8e7", "f1e1",
    "d7d6", "d2d4", "c8d7", "b1c3", "e8g8", "d1e2", "f8e8", "g1h1", "d8c8", "c1g5", "e8f8"};

TEST(GameTextTest, ReadsEveryMoveListLanguage) {
    const std::vector<LanguageRow> rows = {
        {0, "1.e4 e5 2.Nf3 Nc6 3.Bb5 a6 4.Ba4 Nf6 5.O-O Be7 6.Re1 d6 \r\n"
            "7.d4 Bd7 8.Nc3 O-O 9.Qe2 Re8 10.Kh1 Qc8 11.Bg5 Rf8  *"},
        {1, "1.e4 e5 2.Cf3 Cc6 3.Ab5 a6 4.Aa4 Cf6 5.O-O Ae7 6.Te1 d6 \r\n"
            "7.d4 Ad7 8.Cc3 O-O 9.De2 Te8 10.Rh1 Dc8 11.Ag5 Tf8  *"},
        {2, "1.e4 e5 2.Sf3 Sc6 3.Lb5 a6 4.La4 Sf6 5.O-O Le7 6.Te1 d6 \r\n"
            "7.d4 Ld7 8.Sc3 O-O 9.De2 Te8 10.Kh1 Dc8 11.Lg5 Tf8  *"},
        {3, "1.e4 e5 2.Cf3 Cc6 3.Ab5 a6 4.Aa4 Cf6 5.O-O Ae7 6.Te1 d6 \r\n"
            "7.d4 Ad7 8.Cc3 O-O 9.De2 Te8 10.Rh1 Dc8 11.Ag5 Tf8  *"},
        {4, "1.e4 e5 2.Cf3 Cc6 3.Fb5 a6 4.Fa4 Cf6 5.O-O Fe7 6.Te1 d6 \r\n"
            "7.d4 Fd7 8.Cc3 O-O 9.De2 Te8 10.Rh1 Dc8 11.Fg5 Tf8  *"},
    };
    for (const auto& row : rows) {
        GameText g;
        std::string why;
        ASSERT_TRUE(ReadGameText(Tags() + row.movetext + "\r\n", g, why))
            << "language " << row.language << ": " << why;
        EXPECT_EQ(Ucis(g), kRuyLopez) << "language " << row.language;
        // Spanish and Italian use the same letters; the first that plays wins.
        EXPECT_EQ(g.language, row.language == 3 ? 1 : row.language);
        EXPECT_EQ(g.moves[4].san, "Bb5");
        EXPECT_EQ(g.moves[18].san, "Kh1");
        EXPECT_EQ(GameText::NumberText(g.moves[19]), "10...");
    }
}

TEST(GameTextTest, TagsMarksAndTheAllMovesLine) {
    GameText g;
    std::string why;
    std::string text = "[Event \"ALL\"]\r\n" + Tags() + "1.e4 {*} e5 2.Nf3 Nc6 {*}  *\r\n";
    ASSERT_TRUE(ReadGameText(text, g, why)) << why;
    EXPECT_TRUE(g.analyseAll);
    EXPECT_EQ(g.Tag("Event"), "Club");
    EXPECT_EQ(g.Tag("White"), "Smith, Ann");
    ASSERT_EQ(g.moves.size(), 4u);
    EXPECT_TRUE(g.moves[0].marked);
    EXPECT_FALSE(g.moves[1].marked);
    EXPECT_FALSE(g.moves[2].marked);
    EXPECT_TRUE(g.moves[3].marked);

    // Without the all-moves line, an ordinary first Event tag is kept.
    ASSERT_TRUE(ReadGameText(Tags() + "1.e4  *\r\n", g, why));
    EXPECT_FALSE(g.analyseAll);
    EXPECT_EQ(g.Tag("Event"), "Club");
}

TEST(GameTextTest, NoMovesAndOnlyTheFirstGame) {
    GameText g;
    std::string why;
    ASSERT_TRUE(ReadGameText(Tags() + "*\r\n", g, why)) << why;
    EXPECT_TRUE(g.moves.empty());
    EXPECT_EQ(g.PositionCommand(0), "position startpos");
    ASSERT_TRUE(ReadGameText(Tags() + "1.d4  *\r\n\r\n" + Tags() + "1.e4 *\r\n", g, why));
    EXPECT_EQ(Ucis(g), std::vector<std::string>{"d2d4"});
}

TEST(GameTextTest, SetUpPositionWhereBlackMovesFirst) {
    GameText g;
    std::string why;
    std::string text = Tags("[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - \"]\r\n") + "Kd7 2.e4 Kd6  *\r\n";
    ASSERT_TRUE(ReadGameText(text, g, why)) << why;
    EXPECT_EQ(Ucis(g), (std::vector<std::string>{"e8d7", "e2e4", "d7d6"}));
    EXPECT_EQ(GameText::NumberText(g.moves[0]), "1...");
    EXPECT_EQ(GameText::NumberText(g.moves[1]), "2.");
    EXPECT_EQ(g.PositionCommand(2), "position fen 4k3/8/8/8/8/8/4P3/4K3 b - - 0 1 moves e8d7 e2e4");
}

TEST(GameTextTest, EnPassantPromotionAndCheckSigns) {
    GameText g;
    std::string why;
    ASSERT_TRUE(ReadGameText(Tags() + "1.e4 Nf6 2.e5 d5 3.exd6 {e.p.} exd6  *", g, why)) << why;
    EXPECT_EQ(g.moves[4].uci, "e5d6");
    EXPECT_EQ(g.moves[4].record.EnPassant, 1);
    EXPECT_EQ(g.moves[4].san, "exd6 {e.p.}");

    std::string fen = "[FEN \"8/4P1k1/8/8/8/8/8/4K3 w - - \"]\r\n";
    ASSERT_TRUE(ReadGameText(Tags(fen) + "1.e8=Q Kf6 2.Qe5+!  *", g, why)) << why;
    EXPECT_EQ(Ucis(g), (std::vector<std::string>{"e7e8q", "g7f6", "e8e5"}));
    EXPECT_EQ(g.moves[2].san, "Qe5+");
    // The promotion letter of the language (Spanish D = queen, C = knight).
    ASSERT_TRUE(ReadGameText(Tags(fen) + "1.e8=C+ Rg6  *", g, why)) << why;
    EXPECT_EQ(g.moves[0].uci, "e7e8n");
}

TEST(GameTextTest, RefusesWhatCannotBePlayed) {
    struct Row {
        std::string text;
        std::string why;
    };
    const std::vector<Row> rows = {
        {Tags() + "1.e4 e5 2.Ke3  *", "move 3 \"Ke3\" cannot be played"},
        {Tags() + "1.e5  *", "move 1 \"e5\" cannot be played"},
        {Tags() + "1.e4 Xx9  *", "move 2 \"Xx9\" cannot be played"},
        {Tags("[FEN \"8/8/8/8/8/8/8/8 w - - \"]\r\n") + "*", "FEN tag is not a legal position"},
        // White to move while Black's king is attacked: no engine takes that.
        {Tags("[FEN \"4k3/8/8/8/8/8/8/4R1K1 w - - \"]\r\n") + "*",
         "FEN tag is not a legal position"},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        GameText g;
        std::string why;
        bool ok = ReadGameText(rows[i].text, g, why);
        EXPECT_FALSE(ok) << i;
        EXPECT_NE(why.find(rows[i].why), std::string::npos) << i << ": " << why;
    }
}

TEST(GameTextTest, UciFenKeepsOnlyPossibleCastlingAndEnPassant) {
    struct Row {
        std::string epd, fen;
    };
    const std::vector<Row> rows = {
        {"4k3/8/8/8/8/8/8/4K3 w KQkq -", "4k3/8/8/8/8/8/8/4K3 w - - 0 1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"},
        {"r3k3/8/8/8/8/8/8/4K2R b Kq -", "r3k3/8/8/8/8/8/8/4K2R b Kq - 0 1"},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"},
        {"4k3/8/8/4P3/8/8/8/4K3 w - d6", "4k3/8/8/4P3/8/8/8/4K3 w - - 0 1"},
    };
    for (const auto& row : rows) {
        GameWalker w;
        ASSERT_TRUE(w.SetUp(row.epd)) << row.epd;
        EXPECT_EQ(UciFen(w.Position()), row.fen) << row.epd;
    }
}

TEST(GameTextTest, MatchSanToleratesLongFormsAndSigns) {
    GameWalker w;
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"Nf3", "g1f3"},  {"Ng1f3", "g1f3"}, {"Ng1-f3", "g1f3"}, {"e2-e4", "e2e4"},
        {"e4!?", "e2e4"}, {"Nh3?", "g1h3"},  {"Nf6", ""},        {"Qd3", ""},
        {"O-O", ""},      {"Bb5", ""}};
    for (const auto& [san, uci] : rows)
        EXPECT_EQ(MatchSan(w, san, 0), uci) << san;
}

} // namespace
} // namespace quorel::rebeng

namespace quorel::rebeng {
namespace {

// The walker's own move list (fast, used for every move read) gives exactly
// the moves the chess core's rules accept, along random games from several
// starts (castling, en passant and promotion among them).
TEST(GameWalkerTest, LegalMovesAgreeWithTheChessCore) {
    const std::vector<std::string> starts = {
        "", "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq -", "4k3/8/8/3pP3/8/8/8/4K3 w - d6",
        "r3k3/1P6/8/8/8/8/6p1/4K2R b Kq -", "4k3/8/8/8/8/8/8/R3K2R b KQ -"};
    std::mt19937 rng(7);
    int compared = 0;
    for (const std::string& start : starts) {
        GameWalker w;
        if (!start.empty()) {
            ASSERT_TRUE(w.SetUp(start)) << start;
        }
        for (int ply = 0; ply < 60; ++ply) {
            std::vector<std::string> mine = w.LegalMoves();
            ASSERT_EQ(mine, chess::LegalMoves(w.Record(), w.Position()))
                << start << " after " << ply << " plies: " << w.Position().GetEPDString();
            ++compared;
            if (mine.empty()) break;
            ASSERT_TRUE(w.Play(mine[rng() % mine.size()]));
        }
    }
    EXPECT_GT(compared, 200);
}

} // namespace
} // namespace quorel::rebeng
