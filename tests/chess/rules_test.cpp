// The rules as the game window uses them: side to move from the half-move
// count, castling (with the refusals the position and the record call for),
// en passant, promotion, moves into check, the length limit, and taking
// moves back.
#include "chess/rules.h"
#include "chess_test_util.h"

#include <gtest/gtest.h>

namespace {

using namespace quorel::chess;
using quorel::chess::testing::Enter;
using quorel::chess::testing::Play;
using quorel::chess::testing::SetupGame;

const char* kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

TEST(WhoseMove, FromTheHalfMoveCount) {
    TGameRecord normal;
    TGameRecord blackFirst;
    blackFirst.SetupPosition = 1;
    blackFirst.SetupWhiteFirst = 0;
    TGameRecord whiteFirst;
    whiteFirst.SetupPosition = 1;
    whiteFirst.SetupWhiteFirst = 1;
    for (int ply = 0; ply < 6; ++ply) {
        EXPECT_EQ(WhiteToMoveAt(normal, ply), ply % 2 == 0);
        EXPECT_EQ(WhiteToMoveAt(whiteFirst, ply), ply % 2 == 0);
        EXPECT_EQ(WhiteToMoveAt(blackFirst, ply), ply % 2 == 1);
    }
    EXPECT_TRUE(IsWhitesRecord(normal, 1));
    EXPECT_FALSE(IsWhitesRecord(normal, 2));
    EXPECT_FALSE(IsWhitesRecord(blackFirst, 1));
    EXPECT_TRUE(IsWhitesRecord(blackFirst, 2));
    const int counts[][2] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {396, 198}, {399, 200}};
    for (auto [moves, full] : counts)
        EXPECT_EQ(FullMoveCount(moves), full) << moves;
}

TEST(MoveEntry, SideToMoveComesFromTheRecordNotTheFlag) {
    TChessPosition pos;
    TGameRecord rec = TGameRecord::NewGame();
    pos.SetWhiteOnMove(false); // ignored: ply 0 of a normal game is White's
    EXPECT_FALSE(Enter(rec, pos, "e7e5").Accepted);
    EXPECT_TRUE(Enter(rec, pos, "e2e4").Accepted);
    EXPECT_FALSE(Enter(rec, pos, "d2d4").Accepted);
    EXPECT_TRUE(Enter(rec, pos, "e7e5").Accepted);
}

TEST(MoveEntry, StoresTheRecordAndTheBoard) {
    TChessPosition pos;
    TGameRecord rec = TGameRecord::NewGame();
    ASSERT_TRUE(Enter(rec, pos, "e2e4", 46000.25).Accepted);
    EXPECT_EQ(rec.MoveCount, 1);
    EXPECT_EQ(rec.CurrentPly, 1);
    const TMoveRecord& m = rec.Move(1);
    EXPECT_EQ(m.From, 14);
    EXPECT_EQ(m.To, 34);
    EXPECT_EQ(m.Piece, kWhitePawn);
    EXPECT_EQ(m.Captured, 0);
    EXPECT_EQ(m.Received, 46000.25);
    EXPECT_EQ(m.Replied, 46000.25);
    EXPECT_EQ(m.Penalization, 0);
    EXPECT_EQ(rec.Board, pos.GetBoard());
    EXPECT_EQ(pos.EnPassantSquare(), 0) << "no Black pawn beside e4";
    EXPECT_EQ(EPDFromBoard(rec.Board), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - ");
}

TEST(MoveEntry, LaterRecordsAreDroppedWhenPlayingFromAnEarlierPly) {
    TChessPosition pos;
    TGameRecord rec = TGameRecord::NewGame();
    Play(rec, pos, "e2e4 e7e5 g1f3");
    // Back to ply 1, as the window's Previous button does.
    ReverseMove(pos, rec, rec.Move(3));
    rec.CurrentPly = 2;
    ReverseMove(pos, rec, rec.Move(2));
    rec.CurrentPly = 1;
    ASSERT_TRUE(Enter(rec, pos, "c7c5").Accepted);
    EXPECT_EQ(rec.MoveCount, 2);
    EXPECT_EQ(rec.Move(2).To, 42);
    EXPECT_EQ(rec.Move(3), TMoveRecord{});
}

TEST(MoveEntry, EnPassantAfterTheDoubleStepBeside) {
    TChessPosition pos;
    TGameRecord rec = TGameRecord::NewGame();
    Play(rec, pos, "e2e4 g8f6 e4e5 d7d5");
    EXPECT_EQ(pos.EnPassantSquare(), 53);
    ASSERT_TRUE(Enter(rec, pos, "e5d6").Accepted);
    const TMoveRecord& m = rec.Move(5);
    EXPECT_EQ(m.EnPassant, 1);
    EXPECT_EQ(m.Captured, 0);
    EXPECT_EQ(pos.PieceOnSquare(43), 0) << "the d5 pawn is taken";
    EXPECT_EQ(pos.PieceOnSquare(53), kWhitePawn);
    EXPECT_EQ(SanOfMove(m), "exd6 {e.p.}");
}

TEST(MoveEntry, EnPassantOnlyRightAfterTheDoubleStep) {
    TChessPosition pos;
    TGameRecord rec = TGameRecord::NewGame();
    Play(rec, pos, "e2e4 g8f6 e4e5 d7d5 b1c3 b8c6");
    EXPECT_FALSE(Enter(rec, pos, "e5d6").Accepted);
}

TEST(MoveEntry, MoveIntoCheckLeavesEverythingAsBefore) {
    TChessPosition pos;
    TGameRecord rec = SetupGame("4k3/4r3/8/8/8/8/4N3/4K3 w - -", pos);
    rec.Event = "Club";
    const TGameRecord before = rec;
    const TBoardRecord board = pos.GetBoard();
    TMoveEntryResult r = Enter(rec, pos, "e2c3");
    EXPECT_FALSE(r.Accepted);
    ASSERT_EQ(r.Messages.size(), 1u);
    EXPECT_EQ(r.Messages[0].Key, "@KingWouldBeInCheck");
    EXPECT_EQ(pos.GetBoard(), board);
    EXPECT_EQ(rec.HeaderBytes(), before.HeaderBytes());
    EXPECT_EQ(rec.Moves, before.Moves);
}

TEST(MoveEntry, KingIsNeverTakenAndOwnPiecesAreNotTaken) {
    TChessPosition pos;
    TGameRecord rec = SetupGame("4k3/8/8/8/8/8/8/R3K2r w - -", pos);
    EXPECT_FALSE(Enter(rec, pos, "a1e1").Accepted);
    EXPECT_TRUE(Enter(rec, pos, "e1f2").Accepted);
    TGameRecord illegal = SetupGame("4k3/8/8/8/8/8/8/4K2r b - -", pos);
    EXPECT_FALSE(Enter(illegal, pos, "h1e1").Accepted) << "a king is never captured";
}

TEST(MoveEntry, PromotionChoiceAndCancel) {
    TChessPosition pos;
    TGameRecord rec = SetupGame("8/P6k/8/8/8/8/8/4K3 w - -", pos);
    const TChessPosition start = pos;
    TMoveEntryResult cancelled = EnterMove(
        rec, pos, 60, 70, [](bool) { return -1; }, 1.0);
    EXPECT_FALSE(cancelled.Accepted);
    EXPECT_EQ(pos, start);
    const int expected[4] = {kWhiteQueen, kWhiteRook, kWhiteBishop, kWhiteKnight};
    for (int choice = 0; choice < 4; ++choice) {
        TChessPosition p = start;
        TGameRecord r = rec;
        bool asked = false;
        ASSERT_TRUE(EnterMove(
                        r, p, 60, 70,
                        [&](bool white) {
                            asked = white;
                            return choice;
                        },
                        1.0)
                        .Accepted);
        EXPECT_TRUE(asked);
        EXPECT_EQ(r.Move(1).Promotion, expected[choice]);
        EXPECT_EQ(r.Move(1).Piece, kWhitePawn);
        EXPECT_EQ(p.PieceOnSquare(70), expected[choice]);
    }
}

TEST(MoveEntry, CheckFlagOfTheMove) {
    TChessPosition pos;
    TGameRecord rec = TGameRecord::NewGame();
    Play(rec, pos, "e2e4 e7e5 d1h5 b8c6 f1c4 g8f6 h5f7");
    EXPECT_EQ(rec.Move(7).Check, 1);
    EXPECT_EQ(rec.Move(7).Captured, kBlackPawn);
    EXPECT_EQ(rec.Move(6).Check, 0);
    EXPECT_TRUE(SideToMoveInCheck(rec, pos));
    EXPECT_FALSE(SideNotToMoveInCheck(rec, pos));
    EXPECT_TRUE(LegalMoves(rec, pos).empty()) << "mate";
}

TEST(MoveEntry, TooManyMovesFromHalfMove396) {
    TChessPosition pos;
    TGameRecord rec = TGameRecord::NewGame();
    rec.MoveCount = rec.CurrentPly = 395; // Black to move
    ASSERT_TRUE(Enter(rec, pos, "e7e5").Accepted) << "the move made from half-move 395";
    EXPECT_EQ(rec.MoveCount, 396);
    const TGameRecord before = rec;
    const TChessPosition beforePos = pos;
    TMoveEntryResult r = Enter(rec, pos, "e2e4");
    EXPECT_FALSE(r.Accepted);
    ASSERT_EQ(r.Messages.size(), 1u);
    EXPECT_EQ(r.Messages[0].Before, "Too many moves!");
    EXPECT_EQ(rec.MoveCount, 396);
    EXPECT_EQ(rec.Moves, before.Moves);
    EXPECT_EQ(pos, beforePos);
}

// ---------------------------------------------------------------------------
// Castling. Each row: a game (start EPD and moves), the castling move, and
// whether it is accepted, with the message key of a refusal shown to the player.
struct CastleRow {
    const char* name;
    const char* epd;
    const char* moves;
    const char* castle;
    bool accepted;
    const char* message;
};
void PrintTo(const CastleRow& r, std::ostream* os) {
    *os << r.name;
}

class Castling : public ::testing::TestWithParam<CastleRow> {};

TEST_P(Castling, AcceptedOrRefused) {
    const CastleRow& r = GetParam();
    TChessPosition pos;
    TGameRecord rec = SetupGame(r.epd, pos);
    Play(rec, pos, r.moves);
    const TGameRecord before = rec;
    const TChessPosition beforePos = pos;
    TMoveEntryResult e = Enter(rec, pos, r.castle);
    EXPECT_EQ(e.Accepted, r.accepted);
    std::string keys;
    for (const TUserMessage& m : e.Messages)
        keys += m.Key;
    EXPECT_EQ(keys, r.message);
    if (!r.accepted) {
        EXPECT_EQ(pos, beforePos);
        EXPECT_EQ(rec.Moves, before.Moves);
        return;
    }
    // The rook stands beside the king.
    const Square to = SquareFromText(std::string(r.castle).substr(2, 2));
    const int rook = RankOf(to) == 0 ? kWhiteRook : kBlackRook;
    EXPECT_EQ(pos.PieceOnSquare(FileOf(to) == 6 ? to - 1 : to + 1), rook);
    EXPECT_EQ(pos.PieceOnSquare(FileOf(to) == 6 ? to + 1 : to - 2), 0);
}

const char* kCastleStart = "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq -";

INSTANTIATE_TEST_SUITE_P(
    Rows, Castling,
    ::testing::Values(
        CastleRow{"WhiteShort", kCastleStart, "", "e1g1", true, ""},
        CastleRow{"WhiteLong", kCastleStart, "", "e1c1", true, ""},
        CastleRow{"BlackShort", kCastleStart, "a2a3", "e8g8", true, ""},
        CastleRow{"BlackLong", kCastleStart, "a2a3", "e8c8", true, ""},
        CastleRow{"KingReturnedToE1", kCastleStart, "e1f1 a7a6 f1e1 a6a5", "e1g1", false,
                  "@KingHasBeenMoved"},
        CastleRow{"BlackKingReturned", kCastleStart, "a2a3 e8d8 a3a4 d8e8 b2b3", "e8c8", false,
                  "@KingHasBeenMoved"},
        CastleRow{"KingInCheck", "4k3/8/8/8/8/8/4r3/R3K2R w KQ -", "", "e1g1", false,
                  "@KingInCheck"},
        CastleRow{"RookMissingFromH1", "4k3/8/8/8/8/8/8/R3K3 w KQ -", "", "e1g1", false, ""},
        CastleRow{"RookMovedAndBack", kCastleStart, "h1g1 a7a6 g1h1 a6a5", "e1g1", false, ""},
        CastleRow{"OtherWingAfterRookMoved", kCastleStart, "h1g1 a7a6 g1h1 a6a5", "e1c1", true, ""},
        CastleRow{"CornerRookTakenAndReplaced", "r3k2r/8/8/8/8/7R/6b1/R3K2R b KQkq -",
                  "g2h1 h3h1 a8b8", "e1g1", false, ""},
        CastleRow{"NoRightInSetupPosition", "r3k2r/8/8/8/8/8/8/R3K2R w Qkq -", "", "e1g1", false,
                  ""},
        CastleRow{"NoRightBlackLong", "r3k2r/8/8/8/8/8/8/R3K2R b KQk -", "", "e8c8", false, ""},
        CastleRow{"ThroughAttackedF1", "4k3/8/8/8/8/8/5r2/R3K2R w KQ -", "", "e1g1", false, ""},
        CastleRow{"ThroughAttackedD1", "4k3/8/8/8/8/8/3r4/R3K2R w KQ -", "", "e1c1", false, ""},
        CastleRow{"IntoAttackedG1", "4k3/8/8/8/8/8/6r1/R3K2R w KQ -", "", "e1g1", false,
                  "@KingWouldBeInCheck"},
        CastleRow{"AttackedB1IsNoHindrance", "4k3/8/8/8/8/8/1r6/R3K2R w KQ -", "", "e1c1", true,
                  ""},
        CastleRow{"SquareBetweenOccupied", "4k3/8/8/8/8/8/8/RN2K2R w KQ -", "", "e1c1", false, ""},
        CastleRow{"ThroughPawnAttackedF8", "4k2r/6P1/8/8/8/8/8/4K3 b k -", "", "e8g8", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
TEST(MakeAndTakeBack, ReverseMoveRestoresThePosition) {
    struct Row {
        const char* epd;
        const char* move;
    } rows[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1g1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1c1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8g8"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8c8"},
        {"1n5k/P7/8/8/8/8/8/4K3 w - -", "a7b8q"},
        {"4k3/8/8/8/8/8/p7/1N2K3 b - -", "a2b1n"},
        {"rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6", "e5d6"},
        {"rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b KQkq d3", "e4d3"},
        {"4k3/8/8/3p4/8/8/8/3QK3 w - -", "d1d5"},
    };
    for (const Row& r : rows) {
        TChessPosition pos;
        TGameRecord rec = SetupGame(r.epd, pos);
        const TChessPosition start = pos;
        ASSERT_TRUE(Enter(rec, pos, r.move).Accepted) << r.epd << " " << r.move;
        ReverseMove(pos, rec, rec.Move(1));
        EXPECT_EQ(pos, start) << r.epd << " " << r.move;
    }
}

TEST(MakeAndTakeBack, DoMoveKeepsCastlingAndSideFlags) {
    TChessPosition pos;
    TMoveRecord m;
    m.From = 4;
    m.To = 6;
    pos.PutPieceOnSquare(0, 5);
    pos.PutPieceOnSquare(0, 6);
    ASSERT_TRUE(DoMove(pos, m, 0));
    EXPECT_EQ(pos.GetBoard()[32], 0x1F);
    EXPECT_EQ(pos.PieceOnSquare(5), kWhiteRook);
    EXPECT_EQ(pos.PieceOnSquare(7), 0);
    EXPECT_FALSE(DoMove(pos, m, 396));
    EXPECT_TRUE(DoMove(pos, TMoveRecord{}, 395));
}

TEST(MakeAndTakeBack, PositionAtPlyReplaysTheRecords) {
    TChessPosition pos;
    TGameRecord rec = SetupGame("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R b KQkq -", pos);
    const TChessPosition start = pos;
    Play(rec, pos, "a7a5 e1g1 e8c8 b2b4 a5b4");
    EXPECT_EQ(PositionAtPly(rec, 5), pos);
    EXPECT_EQ(PositionAtPly(rec, 99), pos);
    EXPECT_EQ(PositionAtPly(rec, 0), start);
    EXPECT_EQ(StartPosition(rec), start);
    rec.SetupEPD = "not an epd";
    EXPECT_EQ(StartPosition(rec), TChessPosition());
    rec.SetupPosition = 0;
    EXPECT_EQ(StartPosition(rec), TChessPosition());
}

TEST(CheckDetection, MissingKingIsNotInCheck) {
    TChessPosition pos;
    TGameRecord rec = SetupGame("8/8/8/8/8/8/8/R3K3 b - -", pos);
    EXPECT_FALSE(SideToMoveInCheck(rec, pos));
    EXPECT_FALSE(SideNotToMoveInCheck(rec, pos));
}

TEST(CheckDetection, AttacksOfEveryPiece) {
    struct Row {
        const char* epd;
        bool inCheck;
    } rows[] = {
        {"4k3/3P4/8/8/8/8/8/4K3 b - -", true},   {"4k3/4P3/8/8/8/8/8/4K3 b - -", false},
        {"4k3/8/3N4/8/8/8/8/4K3 b - -", true},   {"4k3/8/8/1B6/8/8/8/4K3 b - -", true},
        {"4k3/8/8/1B6/2p5/8/8/4K3 b - -", true}, {"4k3/8/2p5/1B6/8/8/8/4K3 b - -", false},
        {"4k3/8/8/8/8/8/8/4R1K1 b - -", true},   {"4k3/4p3/8/8/8/8/8/4R1K1 b - -", false},
        {"4k3/8/8/8/Q7/8/8/6K1 b - -", true},    {"8/8/8/8/8/8/3k4/4K3 w - -", true},
        {"4k3/8/8/8/8/8/3p4/4K3 w - -", true},   {"4k3/8/8/8/8/8/4p3/4K3 w - -", false},
    };
    for (const Row& r : rows) {
        TChessPosition pos;
        TGameRecord rec = SetupGame(r.epd, pos);
        EXPECT_EQ(SideToMoveInCheck(rec, pos), r.inCheck) << r.epd;
    }
}

TEST(IsValidMoveResults, CaptureAndEnPassantAreReported) {
    TChessPosition pos;
    TGameRecord rec = SetupGame("rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6", pos);
    TMoveRecord m;
    m.From = 44;
    m.To = 53;
    TMoveCheck c;
    c.Capture = true;
    c.CapturedPiece = 99;
    ASSERT_TRUE(IsValidMove(rec, pos, m, true, 0, &c));
    EXPECT_TRUE(c.EnPassant);
    EXPECT_EQ(c.EnPassantPawn, 43);
    EXPECT_EQ(c.CapturedPiece, kBlackPawn);
    m.To = 54; // e5-e6: no capture, results cleared
    ASSERT_TRUE(IsValidMove(rec, pos, m, true, 0, &c));
    EXPECT_FALSE(c.Capture);
    EXPECT_FALSE(c.EnPassant);
    EXPECT_EQ(c.CapturedPiece, 0);
    m.From = 3;
    m.To = 73; // d1-d8 blocked by d2
    EXPECT_FALSE(IsValidMove(rec, pos, m, true, 0, &c));
    m.From = 18; // edge square
    EXPECT_FALSE(IsValidMove(rec, pos, m, false, 0, &c));
}

TEST(LegalMoveList, InitialPositionAndPromotions) {
    std::vector<std::string> moves;
    ASSERT_TRUE(LegalMovesOfEPD(kStart, moves));
    EXPECT_EQ(moves.size(), 20u);
    ASSERT_TRUE(LegalMovesOfEPD("8/4P3/8/8/8/k7/8/K7 w - -", moves));
    const std::vector<std::string> expected = {"a1b1", "e7e8b", "e7e8n", "e7e8q", "e7e8r"};
    EXPECT_EQ(moves, expected);
    EXPECT_FALSE(LegalMovesOfEPD("not an epd", moves));
}

} // namespace
