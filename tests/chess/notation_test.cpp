// SAN in five languages, ICCF numeric and annotation texts, written from
// moves entered on real positions (so disambiguation and check come from the
// rules, as in the game window).
#include "chess_test_util.h"

#include <gtest/gtest.h>

namespace {

using namespace quorel::chess;
using quorel::chess::testing::Enter;
using quorel::chess::testing::SetupGame;

struct SanRow {
    const char* name;
    const char* epd;
    const char* move;   // "a1d1", promotion letter appended
    const char* san[5]; // English, Spanish, German, Italian, French
    const char* iccf;
};
void PrintTo(const SanRow& r, std::ostream* os) {
    *os << r.name;
}

class San : public ::testing::TestWithParam<SanRow> {};

TEST_P(San, WrittenInEveryLanguage) {
    const SanRow& r = GetParam();
    TChessPosition pos;
    TGameRecord rec = SetupGame(r.epd, pos);
    ASSERT_TRUE(Enter(rec, pos, r.move).Accepted) << r.move;
    const TMoveRecord& m = rec.Move(1);
    for (int lang = 0; lang < 5; ++lang)
        EXPECT_EQ(SanOfMove(m, lang), r.san[lang]) << lang;
    EXPECT_EQ(IccfOfMove(m), r.iccf);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, San,
    ::testing::Values(SanRow{"KnightFromStart",
                             "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
                             "g1f3",
                             {"Nf3", "Cf3", "Sf3", "Cf3", "Cf3"},
                             "7163"},
                      SanRow{"PawnDoubleStep",
                             "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
                             "e2e4",
                             {"e4", "e4", "e4", "e4", "e4"},
                             "5254"},
                      SanRow{"BishopMove",
                             "4k3/8/8/3p4/8/8/8/B3K3 w - -",
                             "a1d4",
                             {"Bd4", "Ad4", "Ld4", "Ad4", "Fd4"},
                             "1144"},
                      SanRow{"BishopTakes",
                             "4k3/8/8/8/3p4/8/8/B3K3 w - -",
                             "a1d4",
                             {"Bxd4", "Axd4", "Lxd4", "Axd4", "Fxd4"},
                             "1144"},
                      SanRow{"QueenCheck",
                             "4k3/8/8/8/8/8/8/3QK3 w - -",
                             "d1d7",
                             {"Qd7+", "Dd7+", "Dd7+", "Dd7+", "Dd7+"},
                             "4147"},
                      SanRow{"KingStep",
                             "4k3/8/8/8/8/8/8/4K3 w - -",
                             "e1f2",
                             {"Kf2", "Rf2", "Kf2", "Rf2", "Rf2"},
                             "5162"},
                      SanRow{"RooksOnOneRankGiveTheFile",
                             "4k3/8/8/8/8/8/8/R4RK1 w - -",
                             "a1d1",
                             {"Rad1", "Tad1", "Tad1", "Tad1", "Tad1"},
                             "1141"},
                      SanRow{"RooksOnOneFileGiveTheRank",
                             "4k3/8/8/R7/8/8/8/R5K1 w - -",
                             "a1a3",
                             {"R1a3", "T1a3", "T1a3", "T1a3", "T1a3"},
                             "1113"},
                      // Three queens reach b2: the file, the rank or both single one out.
                      SanRow{"ThreeQueensFileAndRank",
                             "4k3/8/8/8/8/Q7/8/Q1Q1K3 w - -",
                             "a1b2",
                             {"Qa1b2", "Da1b2", "Da1b2", "Da1b2", "Da1b2"},
                             "1122"},
                      SanRow{"ThreeQueensRank",
                             "4k3/8/8/8/8/Q7/8/Q1Q1K3 w - -",
                             "a3b2",
                             {"Q3b2", "D3b2", "D3b2", "D3b2", "D3b2"},
                             "1322"},
                      SanRow{"ThreeQueensFile",
                             "4k3/8/8/8/8/Q7/8/Q1Q1K3 w - -",
                             "c1b2",
                             {"Qcb2", "Dcb2", "Dcb2", "Dcb2", "Dcb2"},
                             "3122"},
                      // A pinned knight still counts as a second piece able to reach c3.
                      SanRow{"PinnedKnightStillCounts",
                             "4r1k1/8/8/8/8/8/4N3/1N2K3 w - -",
                             "b1c3",
                             {"Nbc3", "Cbc3", "Sbc3", "Cbc3", "Cbc3"},
                             "2133"},
                      SanRow{"PawnCaptureGivesFile",
                             "4k3/8/8/8/3p4/4P3/8/4K3 w - -",
                             "e3d4",
                             {"exd4", "exd4", "exd4", "exd4", "exd4"},
                             "5344"},
                      SanRow{"CastlingShortWithCheck",
                             "5k2/8/8/8/8/8/8/4K2R w K -",
                             "e1g1",
                             {"O-O+", "O-O+", "O-O+", "O-O+", "O-O+"},
                             "5171"},
                      SanRow{"CastlingLongBlack",
                             "r3k3/8/8/8/8/8/8/4K3 b q -",
                             "e8c8",
                             {"O-O-O", "O-O-O", "O-O-O", "O-O-O", "O-O-O"},
                             "5838"},
                      SanRow{"EnPassant",
                             "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6",
                             "e5d6",
                             {"exd6 {e.p.}", "exd6 {e.p.}", "exd6 {e.p.}", "exd6 {e.p.}",
                              "exd6 {e.p.}"},
                             "5546"},
                      SanRow{"PromotionCaptureEnglishLetter",
                             "1n6/P6k/8/8/8/8/8/4K3 w - -",
                             "a7b8q",
                             {"axb8=Q", "axb8=Q", "axb8=Q", "axb8=Q", "axb8=Q"},
                             "17281"},
                      SanRow{"UnderPromotionKnightCheck",
                             "8/P1k5/8/8/8/8/8/4K3 w - -",
                             "a7a8n",
                             {"a8=N+", "a8=N+", "a8=N+", "a8=N+", "a8=N+"},
                             "17184"},
                      SanRow{"BlackPromotesToRook",
                             "4k3/8/8/8/8/8/p7/4K3 b - -",
                             "a2a1r",
                             {"a1=R+", "a1=R+", "a1=R+", "a1=R+", "a1=R+"},
                             "12112"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SanText, MateAnnotationSuppressesPlus) {
    TMoveRecord m;
    m.From = 44;
    m.To = 64;
    m.Piece = kWhiteQueen;
    m.Check = 1;
    EXPECT_EQ(SanOfMove(m), "Qe7+");
    m.Annotation = 2; // "#"
    EXPECT_EQ(SanOfMove(m), "Qe7");
    m.Annotation = 3; // "!" keeps the "+"
    EXPECT_EQ(SanOfMove(m), "Qe7+");
    TMoveRecord castle;
    castle.From = 4;
    castle.To = 6;
    castle.Piece = kWhiteKing;
    castle.Check = 1;
    castle.Annotation = 2;
    EXPECT_EQ(SanOfMove(castle), "O-O");
}

TEST(SanText, PawnDisambiguationIsNeverWritten) {
    TMoveRecord m;
    m.From = 14;
    m.To = 34;
    m.Piece = kWhitePawn;
    m.Disambiguation = kDisambiguateFile | kDisambiguateRank;
    EXPECT_EQ(SanOfMove(m), "e4");
}

TEST(SanText, BadLanguageFallsBackToEnglish) {
    TMoveRecord m;
    m.From = 6;
    m.To = 25;
    m.Piece = kWhiteKnight;
    EXPECT_EQ(SanOfMove(m, 7), "Nf3");
    EXPECT_EQ(SanOfMove(m, -1), "Nf3");
}

TEST(AnnotationTexts, EveryCode) {
    const char* expected[] = {"", "", "#", "!", "!!", "?", "??", "?!", "!?", "*", ""};
    for (int a = 0; a <= 10; ++a)
        EXPECT_EQ(AnnotationText(a), expected[a]) << a;
    EXPECT_EQ(AnnotationText(255), "");
}

} // namespace
