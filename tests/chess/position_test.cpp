// The board record's byte layout, the flag word, squares and the EPD text.
#include "chess/notation.h"
#include "chess/position.h"

#include <gtest/gtest.h>

namespace {

using namespace quorel::chess;

TEST(BoardRecord, InitialPositionBytes) {
    // Hand-built: word 0 = 4235h (a1 R, b1 N, c1 B, d1 Q) stored as 35 42;
    // word 1 = 6324h (e1 K, f1 B, g1 N, h1 R); rank 8 words A89Bh and C98Ah.
    const TBoardRecord expected = {0x35, 0x42, 0x24, 0x63, 0x11, 0x11, 0x11, 0x11, 0,    0,   0, 0,
                                   0,    0,    0,    0,    0,    0,    0,    0,    0,    0,   0, 0,
                                   0x77, 0x77, 0x77, 0x77, 0x9B, 0xA8, 0x8A, 0xC9, 0x1F, 0x00};
    TChessPosition pos;
    pos.SetBoard(TBoardRecord{});
    pos.Initialize();
    EXPECT_EQ(pos.GetBoard(), expected);
    EXPECT_EQ(pos.GetNormalizedBoard(), expected);
}

TEST(BoardRecord, NibblePlacementPerSquare) {
    // Board index i = rank*8+file; 4w → high nibble of byte 2w+1, 4w+1 its low
    // nibble, 4w+2 high nibble of byte 2w, 4w+3 its low nibble.
    struct Row {
        Square sq;
        size_t byte;
        uint8_t value;
    } rows[] = {
        {0, 1, 0xC0}, {1, 1, 0x0C},  {2, 0, 0xC0},   {3, 0, 0x0C},
        {4, 3, 0xC0}, {17, 6, 0x0C}, {74, 31, 0xC0}, {77, 30, 0x0C},
    };
    for (const Row& r : rows) {
        TChessPosition pos(TBoardRecord{});
        pos.PutPieceOnSquare(kBlackKing, r.sq);
        TBoardRecord expected{};
        expected[r.byte] = r.value;
        EXPECT_EQ(pos.GetBoard(), expected) << "square " << r.sq;
        EXPECT_EQ(pos.PieceOnSquare(r.sq), kBlackKing);
    }
}

TEST(BoardRecord, FlagWordBitsAndEnPassantByte) {
    TChessPosition pos(TBoardRecord{});
    pos.SetWhiteCanCastleKingside(true);
    EXPECT_EQ(pos.GetBoard()[32], 0x01);
    pos.SetBlackCanCastleQueenside(true);
    pos.SetWhiteOnMove(true);
    EXPECT_EQ(pos.GetBoard()[32], 0x19);
    pos.SetWhiteCanCastleKingside(false);
    EXPECT_EQ(pos.GetBoard()[32], 0x18);
    EXPECT_TRUE(pos.BlackCanCastleQueenside());
    EXPECT_FALSE(pos.BlackCanCastleKingside());
    pos.SetEnPassantSquareTo(53);
    EXPECT_EQ(pos.GetBoard()[33], 53);
    EXPECT_EQ(pos.EnPassantSquare(), 53);
}

TEST(BoardRecord, EdgeSquaresAreOffTheBoard) {
    for (Square sq : {-1, 8, 9, 18, 39, 78, 80, 99, 127})
        EXPECT_TRUE(TChessPosition::EdgeSquare(sq)) << sq;
    for (Square sq : {0, 7, 10, 44, 70, 77})
        EXPECT_FALSE(TChessPosition::EdgeSquare(sq)) << sq;
    TChessPosition pos;
    const TBoardRecord before = pos.GetBoard();
    pos.PutPieceOnSquare(kWhiteQueen, 8);
    pos.PutPieceOnSquare(kWhiteQueen, -1);
    pos.PutPieceOnSquare(kWhiteQueen, 78);
    EXPECT_EQ(pos.GetBoard(), before);
    EXPECT_EQ(pos.PieceOnSquare(9), 0);
    EXPECT_FALSE(pos.SomethingOn(-10));
}

TEST(Squares, FromTextAndNames) {
    EXPECT_EQ(SquareFromText("e4"), 34);
    EXPECT_EQ(SquareFromText("a1"), 0);
    EXPECT_EQ(SquareFromText("h8"), 77);
    EXPECT_EQ(SquareFromText("z4"), 30); // any other letter gives file a
    EXPECT_TRUE(IsEdgeSquare(SquareFromText("e9")));
    EXPECT_TRUE(IsEdgeSquare(SquareFromText("e")));
    EXPECT_EQ(SquareName(53), "d6");
    EXPECT_EQ(SquareName(8), "");
}

TEST(Epd, WriterOfInitialPositionAndRoundTrip) {
    TChessPosition pos;
    const std::string epd = pos.GetEPDString();
    EXPECT_EQ(epd, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ");
    TChessPosition other(TBoardRecord{});
    TBoardRecord out{};
    ASSERT_TRUE(other.MakeBoardFromEPD(epd, out));
    EXPECT_EQ(out, pos.GetBoard());
}

TEST(Epd, WriterFlagsAndEnPassant) {
    TChessPosition pos;
    pos.SetWhiteOnMove(false);
    pos.SetWhiteCanCastleKingside(false);
    pos.SetBlackCanCastleQueenside(false);
    pos.SetEnPassantSquareTo(24);
    EXPECT_EQ(pos.GetEPDString(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b Qk e3 ");
    pos.SetWhiteCanCastleQueenside(false);
    pos.SetBlackCanCastleKingside(false);
    EXPECT_EQ(pos.GetEPDString(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b - e3 ");
}

struct EpdRow {
    const char* name;
    const char* epd;
    bool ok;
    Square ep;
    bool white;
};
void PrintTo(const EpdRow& r, std::ostream* os) {
    *os << r.name;
}

class EpdReader : public ::testing::TestWithParam<EpdRow> {};

TEST_P(EpdReader, ReadsOrRefuses) {
    const EpdRow& r = GetParam();
    TChessPosition pos(TBoardRecord{});
    TBoardRecord out{};
    out.fill(0xEE);
    const bool ok = pos.MakeBoardFromEPD(r.epd, out);
    ASSERT_EQ(ok, r.ok) << r.epd;
    if (!ok) {
        TBoardRecord untouched{};
        untouched.fill(0xEE);
        EXPECT_EQ(out, untouched) << "a refused EPD must not write the caller's record";
        return;
    }
    EXPECT_EQ(out, pos.GetBoard());
    EXPECT_EQ(pos.EnPassantSquare(), r.ep);
    EXPECT_EQ(pos.WhiteOnMove(), r.white);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EpdReader,
    ::testing::Values(
        EpdRow{"BlackToMoveE3", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3", true, 24,
               false},
        EpdRow{"BlackToMoveE4Dropped", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e4",
               true, 0, false},
        EpdRow{"WhiteToMoveE3Dropped", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e3",
               true, 0, true},
        EpdRow{"WhiteToMoveD6", "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3",
               true, 53, true},
        EpdRow{"FenCountersIgnored", "8/8/8/8/8/8/8/4K2k w - - 12 40", true, 0, true},
        EpdRow{"SevenRanks", "8/8/8/8/8/8/8 w - -", false, 0, true},
        EpdRow{"NineRanks", "8/8/8/8/8/8/8/8/8 w - -", false, 0, true},
        EpdRow{"RankTooLong", "ppppppppp/8/8/8/8/8/8/8 w - -", false, 0, true},
        EpdRow{"UnknownLetter", "8/8/8/8/8/8/8/4X3 w - -", false, 0, true},
        EpdRow{"BadSide", "8/8/8/8/8/8/8/8 x - -", false, 0, true},
        EpdRow{"NoEnPassantField", "8/8/8/8/8/8/8/8 b KQkq", true, 0, false},
        EpdRow{"RunsOutAfterTheSide", "8/8/8/8/8/8/8/8 w ", false, 0, true},
        EpdRow{"OnlyPlacement", "8/8/8/8/8/8/8/8", false, 0, true},
        EpdRow{"Empty", "", false, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Epd, SlashesAreOptional) {
    TChessPosition a(TBoardRecord{}), b(TBoardRecord{});
    TBoardRecord ra{}, rb{};
    ASSERT_TRUE(a.MakeBoardFromEPD("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", ra));
    ASSERT_TRUE(b.MakeBoardFromEPD("rnbqkbnrpppppppp8888PPPPPPPPRNBQKBNR w KQkq -", rb));
    EXPECT_EQ(ra, rb);
    EXPECT_EQ(ra, TChessPosition().GetBoard());
}

TEST(Epd, CastlingLettersAnywhereInTheField) {
    TChessPosition pos(TBoardRecord{});
    TBoardRecord out{};
    ASSERT_TRUE(pos.MakeBoardFromEPD("r3k2r/8/8/8/8/8/8/R3K2R b qK -", out));
    EXPECT_TRUE(pos.WhiteCanCastleKingside());
    EXPECT_FALSE(pos.WhiteCanCastleQueenside());
    EXPECT_FALSE(pos.BlackCanCastleKingside());
    EXPECT_TRUE(pos.BlackCanCastleQueenside());
    EXPECT_EQ(EPDFromBoard(out), "r3k2r/8/8/8/8/8/8/R3K2R b Kq - ");
}

TEST(Epd, RefusedTextLeavesPlacedSquaresOnThePosition) {
    TChessPosition pos;
    TBoardRecord out{};
    EXPECT_FALSE(pos.MakeBoardFromEPD("8/8/8/8/8/8/8/8 x", out));
    EXPECT_EQ(pos.PieceOnSquare(4), 0);                 // the empty placement was written
    EXPECT_FALSE(BoardFromEPD("8/8/8/8/8/8/8/8", out)); // no side
}

// A placement with only the side (how a PGN set-up without one is stored)
// or without the en-passant field is a position without those rights.
TEST(Epd, MissingCastlingAndEnPassantFieldsGiveNone) {
    TChessPosition pos;
    TBoardRecord out{};
    ASSERT_TRUE(pos.MakeBoardFromEPD("r3k2r/8/8/8/8/8/8/R3K2R w", out));
    EXPECT_FALSE(pos.WhiteCanCastleKingside());
    EXPECT_FALSE(pos.BlackCanCastleQueenside());
    EXPECT_EQ(EPDFromBoard(out), "r3k2r/8/8/8/8/8/8/R3K2R w - - ");
    ASSERT_TRUE(pos.MakeBoardFromEPD("r3k2r/8/8/8/8/8/8/R3K2R b Kq", out));
    EXPECT_FALSE(pos.WhiteOnMove());
    EXPECT_TRUE(pos.WhiteCanCastleKingside());
    EXPECT_TRUE(pos.BlackCanCastleQueenside());
    EXPECT_EQ(EPDFromBoard(out), "r3k2r/8/8/8/8/8/8/R3K2R b Kq - ");
}

} // namespace
