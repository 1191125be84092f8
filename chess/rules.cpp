// The geometric move check, castling, check detection, DoMove/ReverseMove and
// disambiguation.
#include "chess/rules.h"

#include <algorithm>
#include <cstdlib>

namespace quorel::chess {

namespace {
int Sign(int v) {
    return (v > 0) - (v < 0);
}

bool SameColour(int a, int b) {
    return (IsWhitePiece(a) && IsWhitePiece(b)) || (IsBlackPiece(a) && IsBlackPiece(b));
}

constexpr int kKnightSteps[8] = {21, 19, 12, 8, -21, -19, -12, -8};
constexpr int kKingSteps[8] = {1, -1, 10, -10, 9, -9, 11, -11};
constexpr int kStraightSteps[4] = {1, -1, 10, -10};
constexpr int kDiagonalSteps[4] = {9, -9, 11, -11};

// Records 1..min(ply, MoveCount, 400) of one colour.
template <typename Fn> bool AnyRecordOf(const TGameRecord& rec, int ply, bool white, Fn fn) {
    int last = ply;
    if (last > int(kMaxMoveRecords)) last = int(kMaxMoveRecords);
    for (int k = 1; k <= last; ++k)
        if (IsWhitesRecord(rec, k) == white && fn(rec.Move(k))) return true;
    return false;
}

// The common part of White may castle / Black may castle.
bool MayCastle(const TGameRecord& rec, const TChessPosition& pos, int ply, bool white,
               TUserMessage* refusal) {
    const int king = white ? kWhiteKing : kBlackKing;
    const Square at = FindKing(pos, white);
    if (at >= 0 && SquareAttacked(pos, at, !white)) {
        if (refusal) *refusal = TUserMessage{"@KingInCheck", "", ""};
        return false;
    }
    if (AnyRecordOf(rec, ply, white, [&](const TMoveRecord& m) { return m.Piece == king; })) {
        if (refusal) *refusal = TUserMessage{"@KingHasBeenMoved", "", ""};
        return false;
    }
    return true;
}

// The wing-specific conditions of castling: the right of that wing in the
// position, the rook on its corner that never moved and was never taken, the
// squares between empty, and the square the king crosses not attacked.
bool WingAllows(const TGameRecord& rec, const TChessPosition& pos, int ply, bool white,
                bool kingside) {
    const int base = white ? 0 : 70;
    const int rook = white ? kWhiteRook : kBlackRook;
    const Square corner = base + (kingside ? 7 : 0);
    bool right = white ? (kingside ? pos.WhiteCanCastleKingside() : pos.WhiteCanCastleQueenside())
                       : (kingside ? pos.BlackCanCastleKingside() : pos.BlackCanCastleQueenside());
    if (!right || pos.PieceOnSquare(corner) != rook) return false;
    if (kingside) {
        if (pos.SomethingOn(base + 5) || pos.SomethingOn(base + 6)) return false;
    } else {
        if (pos.SomethingOn(base + 1) || pos.SomethingOn(base + 2) || pos.SomethingOn(base + 3))
            return false;
    }
    if (AnyRecordOf(rec, ply, white, [&](const TMoveRecord& m) { return m.From == corner; }))
        return false;
    if (AnyRecordOf(rec, ply, !white, [&](const TMoveRecord& m) { return m.To == corner; }))
        return false;
    const Square crossed = base + (kingside ? 5 : 3);
    return !SquareAttacked(pos, crossed, !white);
}

bool WalkIsClear(const TChessPosition& pos, Square from, Square to, int mover) {
    const int step = Sign(RankOf(to) - RankOf(from)) * 10 + Sign(FileOf(to) - FileOf(from));
    for (Square sq = from + step;; sq += step) {
        if (IsEdgeSquare(sq)) return false;
        const int p = pos.PieceOnSquare(sq);
        if (p != 0) return sq == to && !SameColour(p, mover);
        if (sq == to) return true;
    }
}
} // namespace

Square FindKing(const TChessPosition& pos, bool white) {
    const int king = white ? kWhiteKing : kBlackKing;
    Square found = -1;
    for (int i = 0; i < 64; ++i)
        if (pos.PieceOnSquare(SquareOfIndex(i)) == king) found = SquareOfIndex(i);
    return found;
}

bool SquareAttacked(const TChessPosition& pos, Square sq, bool byWhite) {
    if (IsEdgeSquare(sq)) return false;
    auto at = [&](Square s) { return IsEdgeSquare(s) ? 0 : pos.PieceOnSquare(s); };
    const int pawn = MakePiece(kWhitePawn, byWhite);
    if (byWhite ? (at(sq - 9) == pawn || at(sq - 11) == pawn)
                : (at(sq + 9) == pawn || at(sq + 11) == pawn))
        return true;
    for (int d : kKnightSteps)
        if (at(sq + d) == MakePiece(kWhiteKnight, byWhite)) return true;
    for (int d : kKingSteps)
        if (at(sq + d) == MakePiece(kWhiteKing, byWhite)) return true;
    auto slides = [&](const int(&steps)[4], int kind) {
        for (int d : steps) {
            for (Square s = sq + d; !IsEdgeSquare(s); s += d) {
                const int p = pos.PieceOnSquare(s);
                if (p == 0) continue;
                if (p == MakePiece(kind, byWhite) || p == MakePiece(kWhiteQueen, byWhite))
                    return true;
                break;
            }
        }
        return false;
    };
    return slides(kStraightSteps, kWhiteRook) || slides(kDiagonalSteps, kWhiteBishop);
}

bool WhiteMayCastle(const TGameRecord& rec, const TChessPosition& pos, int currentPly,
                    TUserMessage* refusal) {
    return MayCastle(rec, pos, currentPly, true, refusal);
}

bool BlackMayCastle(const TGameRecord& rec, const TChessPosition& pos, int currentPly,
                    TUserMessage* refusal) {
    return MayCastle(rec, pos, currentPly, false, refusal);
}

bool IsValidMove(const TGameRecord& rec, const TChessPosition& pos, const TMoveRecord& move,
                 bool checkSide, int currentPly, TMoveCheck* result) {
    TMoveCheck local;
    TMoveCheck& r = result ? *result : local;
    r = TMoveCheck{};

    const Square from = move.From, to = move.To;
    if (IsEdgeSquare(from) || IsEdgeSquare(to)) return false;
    const int P = pos.PieceOnSquare(from);
    const int T = pos.PieceOnSquare(to);
    const int kind = PieceKind(P);
    if (kind == 0) return false; // empty square (or a code that is no piece)
    const bool white = IsWhitePiece(P);

    if (checkSide) {
        if ((white && T == kBlackKing) || (!white && T == kWhiteKing)) return false;
        if (white != WhiteToMoveAt(rec, currentPly)) return false;
    }
    if (T != 0 && (SameColour(P, T) || PieceKind(T) == 0)) return false;

    const int df = FileOf(to) - FileOf(from);
    const int dr = RankOf(to) - RankOf(from);
    bool valid = false;
    switch (kind) {
    case 1: { // pawn: d counted in the pawn's direction
        const int d = white ? to - from : from - to;
        const int fwd = white ? 10 : -10;
        const int startRank = white ? 1 : 6, epRank = white ? 4 : 3;
        const int enemyPawn = white ? kBlackPawn : kWhitePawn;
        if (d == 10) {
            valid = T == 0;
        } else if (d == 20) {
            valid = RankOf(from) == startRank && T == 0 && !pos.SomethingOn(from + fwd);
        } else if (d == 9 || d == 11) {
            // The square beside From that the capturing pawn passes.
            const Square beside = from + df;
            if (T == 0 && RankOf(from) == epRank && pos.PieceOnSquare(beside) == enemyPawn &&
                pos.EnPassantSquare() == to) {
                r.Capture = true;
                r.CapturedPiece = enemyPawn;
                r.EnPassant = true;
                r.EnPassantPawn = beside;
                return true;
            }
            valid = T != 0 && !SameColour(P, T);
        }
        break;
    }
    case 2:
        valid =
            (std::abs(df) == 1 && std::abs(dr) == 2) || (std::abs(df) == 2 && std::abs(dr) == 1);
        break;
    case 3:
        valid = std::abs(df) == std::abs(dr) && WalkIsClear(pos, from, to, P);
        break;
    case 4:
        valid = (df == 0 || dr == 0) && WalkIsClear(pos, from, to, P);
        break;
    case 5:
        valid =
            (std::abs(df) == std::abs(dr) || df == 0 || dr == 0) && WalkIsClear(pos, from, to, P);
        break;
    case 6: {
        const int base = white ? 0 : 70;
        if (from == base + 4 && (to == base + 6 || to == base + 2)) {
            const bool may = white ? WhiteMayCastle(rec, pos, currentPly, &r.Refusal)
                                   : BlackMayCastle(rec, pos, currentPly, &r.Refusal);
            if (may && WingAllows(rec, pos, currentPly, white, to == base + 6)) return true;
            return false;
        }
        valid = std::abs(df) <= 1 && std::abs(dr) <= 1;
        break;
    }
    default:
        break;
    }
    if (valid && T != 0) {
        r.Capture = true;
        r.CapturedPiece = T;
    }
    return valid;
}

bool SideToMoveInCheck(const TGameRecord& rec, const TChessPosition& pos) {
    const bool white = WhiteToMove(rec);
    const Square king = FindKing(pos, white);
    return king >= 0 && SquareAttacked(pos, king, !white);
}

bool SideNotToMoveInCheck(const TGameRecord& rec, const TChessPosition& pos) {
    const bool white = !WhiteToMove(rec);
    const Square king = FindKing(pos, white);
    return king >= 0 && SquareAttacked(pos, king, !white);
}

void MakeMove(TChessPosition& pos, const TMoveRecord& move) {
    const Square from = move.From, to = move.To;
    if (IsEdgeSquare(from) || IsEdgeSquare(to)) return;
    const int mover = pos.PieceOnSquare(from);
    int piece = mover;
    pos.PutPieceOnSquare(kEmpty, from);
    const bool lastRank = RankOf(to) == 7 || RankOf(to) == 0;
    if ((mover == kWhitePawn || mover == kBlackPawn) && lastRank && move.Promotion != 0)
        piece = move.Promotion;

    Square ep = 0;
    if (mover == kWhitePawn && RankOf(from) == 1 && RankOf(to) == 3 &&
        (pos.PieceOnSquare(to + 1) == kBlackPawn || pos.PieceOnSquare(to - 1) == kBlackPawn))
        ep = from + 10;
    if (mover == kBlackPawn && RankOf(from) == 6 && RankOf(to) == 4 &&
        (pos.PieceOnSquare(to + 1) == kWhitePawn || pos.PieceOnSquare(to - 1) == kWhitePawn))
        ep = from - 10;
    pos.SetEnPassantSquareTo(ep);

    if (move.EnPassant) {
        if (mover == kWhitePawn) pos.PutPieceOnSquare(kEmpty, to - 10);
        if (mover == kBlackPawn) pos.PutPieceOnSquare(kEmpty, to + 10);
    }
    if (mover == kWhiteKing && from == 4 && to == 6) {
        pos.PutPieceOnSquare(kWhiteRook, 5);
        pos.PutPieceOnSquare(kEmpty, 7);
    } else if (mover == kWhiteKing && from == 4 && to == 2) {
        pos.PutPieceOnSquare(kWhiteRook, 3);
        pos.PutPieceOnSquare(kEmpty, 0);
    } else if (mover == kBlackKing && from == 74 && to == 76) {
        pos.PutPieceOnSquare(kBlackRook, 75);
        pos.PutPieceOnSquare(kEmpty, 77);
    } else if (mover == kBlackKing && from == 74 && to == 72) {
        pos.PutPieceOnSquare(kBlackRook, 73);
        pos.PutPieceOnSquare(kEmpty, 70);
    }
    pos.PutPieceOnSquare(piece, to);
}

bool DoMove(TChessPosition& pos, const TMoveRecord& move, int currentPly) {
    if (currentPly / 2 >= kMaxMovePairs) return false;
    MakeMove(pos, move);
    return true;
}

void ReverseMove(TChessPosition& pos, const TMoveRecord& move, bool moverIsWhite) {
    const Square from = move.From, to = move.To;
    if (IsEdgeSquare(from) || IsEdgeSquare(to)) return;
    const int piece = pos.PieceOnSquare(to);
    pos.PutPieceOnSquare(move.Captured, to);
    pos.PutPieceOnSquare(piece, from);
    if (move.Promotion != 0) pos.PutPieceOnSquare(moverIsWhite ? kWhitePawn : kBlackPawn, from);
    if (move.EnPassant) {
        pos.SetEnPassantSquareTo(to);
        if (IsWhitePiece(piece)) pos.PutPieceOnSquare(kBlackPawn, to - 10);
        if (IsBlackPiece(piece)) pos.PutPieceOnSquare(kWhitePawn, to + 10);
    }
    if (piece == kWhiteKing && from == 4 && to == 6) {
        pos.PutPieceOnSquare(kWhiteRook, 7);
        pos.PutPieceOnSquare(kEmpty, 5);
    } else if (piece == kWhiteKing && from == 4 && to == 2) {
        pos.PutPieceOnSquare(kWhiteRook, 0);
        pos.PutPieceOnSquare(kEmpty, 3);
    } else if (piece == kBlackKing && from == 74 && to == 76) {
        pos.PutPieceOnSquare(kBlackRook, 77);
        pos.PutPieceOnSquare(kEmpty, 75);
    } else if (piece == kBlackKing && from == 74 && to == 72) {
        pos.PutPieceOnSquare(kBlackRook, 70);
        pos.PutPieceOnSquare(kEmpty, 73);
    }
}

void ReverseMove(TChessPosition& pos, const TGameRecord& rec, const TMoveRecord& move) {
    ReverseMove(pos, move, !WhiteToMove(rec));
}

uint8_t Coincidencia(const TGameRecord& rec, TChessPosition& pos, const TMoveRecord& move) {
    const Square from = move.From, to = move.To;
    if (IsEdgeSquare(from) || IsEdgeSquare(to)) return 0;
    bool any = false, sameFile = false, sameRank = false;
    for (int i = 0; i < 64; ++i) {
        const Square sq = SquareOfIndex(i);
        if (sq == to || pos.PieceOnSquare(sq) != move.Piece) continue;
        // The position before the move, for the test only.
        const TBoardRecord after = pos.GetBoard();
        pos.PutPieceOnSquare(kEmpty, to);
        pos.PutPieceOnSquare(move.Piece, from);
        TMoveRecord probe;
        probe.From = int8_t(sq);
        probe.To = int8_t(to);
        const bool reaches = IsValidMove(rec, pos, probe, false, rec.CurrentPly);
        pos.SetBoard(after);
        if (!reaches) continue;
        any = true;
        sameFile = sameFile || FileOf(sq) == FileOf(from);
        sameRank = sameRank || RankOf(sq) == RankOf(from);
    }
    if (!any) return 0;
    if (!sameFile) return kDisambiguateFile;
    if (!sameRank) return kDisambiguateRank;
    return kDisambiguateFile | kDisambiguateRank;
}

TChessPosition StartPosition(const TGameRecord& rec) {
    TChessPosition pos;
    if (rec.SetupPosition == 1) {
        TChessPosition setup(TBoardRecord{});
        TBoardRecord board{};
        if (setup.MakeBoardFromEPD(rec.SetupEPD, board)) pos = setup;
    }
    return pos;
}

TChessPosition PositionAtPly(const TGameRecord& rec, int ply) {
    TChessPosition pos = StartPosition(rec);
    const int last = std::min<int>({ply, rec.MoveCount, int(kMaxMoveRecords)});
    for (int k = 1; k <= last; ++k)
        MakeMove(pos, rec.Move(k));
    return pos;
}

} // namespace quorel::chess
