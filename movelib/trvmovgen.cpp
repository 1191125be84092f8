// trvmovgen: the pseudo-legal move generator, move lookup and move making of
// the library's position. The order of the generated list is part of the
// contract: the SAN matcher takes the first entry that fits.
#include "movelib/trvg.h"

#include <cstring>

namespace trvg {

namespace {

constexpr int kKingSteps[8] = {1, -1, 9, -9, 10, -10, 11, -11};
constexpr int kQueenDirs[8] = {9, -9, 11, -11, 1, -1, 10, -10};
constexpr int kRookDirs[4] = {1, -1, 10, -10};
constexpr int kBishopDirs[4] = {9, -9, 11, -11};
constexpr int kKnightSteps[8] = {8, 12, 19, 21, -8, -12, -19, -21};
// Promotions in list order: queen, rook, bishop, knight.
constexpr int32_t kPromotions[4] = {kQueen, kRook, kBishop, kKnight};

struct Generator {
    TRVGPosition* p;
    int side, other;

    void Add(int32_t piece, int from, int to, int32_t flags, int32_t extra) {
        // The list has room for 254 entries; further moves are dropped.
        if (p->count >= kMaxMoves) return;
        p->moves[p->count++] = {piece, from, to, flags, extra};
    }

    void Walk(int32_t piece, int from, const int* dirs, int ndirs, bool slide) {
        for (int i = 0; i < ndirs; ++i) {
            for (int t = from + dirs[i]; IsPlayable(t); t += dirs[i]) {
                int c = p->sq[t].colour;
                if (c == kEmpty) {
                    Add(piece, from, t, 0, 0);
                } else {
                    if (c == other) Add(piece, from, t, kFlagCapture, 0);
                    break;
                }
                if (!slide) break;
            }
        }
    }

    bool Holds(int s, int colour, int piece) const {
        return p->sq[s].colour == colour && p->sq[s].piece == piece;
    }
    bool Empty(int s) const { return p->sq[s].colour == kEmpty; }

    void King(int s) {
        int home = side == kWhite ? 1 : 8; // rank digit of the back rank
        if (s == 50 + home && Holds(s, side, kKing)) {
            if (Holds(80 + home, side, kRook) && Empty(60 + home) && Empty(70 + home))
                Add(kKing, s, 70 + home, kFlagCastleKing, 0);
            if (Holds(10 + home, side, kRook) && Empty(20 + home) && Empty(30 + home) &&
                Empty(40 + home))
                Add(kKing, s, 30 + home, kFlagCastleQueen, 0);
        }
        Walk(kKing, s, kKingSteps, 8, false);
    }

    void PawnTo(int s, int t, int32_t flags, bool last) {
        if (last) {
            for (int32_t k : kPromotions)
                Add(kPawn, s, t, flags | kFlagPromotion, k);
        } else {
            Add(kPawn, s, t, flags, 0);
        }
    }

    void Pawn(int s) {
        int d = side == kWhite ? 1 : -1;
        int lastRank = side == kWhite ? 8 : 1;
        int caps[2] = {side == kWhite ? s - 9 : s + 9, side == kWhite ? s + 11 : s - 11};
        for (int t : caps) {
            if (!IsPlayable(t)) continue;
            if (t == p->ep && Empty(t)) {
                Add(kPawn, s, t, kFlagEnPassant | kFlagCapture, 0);
            } else if (p->sq[t].colour == other) {
                PawnTo(s, t, kFlagCapture, t % 10 == lastRank);
            }
        }
        int t = s + d;
        if (IsPlayable(t) && Empty(t)) {
            PawnTo(s, t, 0, t % 10 == lastRank);
            int startRank = side == kWhite ? 2 : 7;
            if (s % 10 == startRank && Empty(t + d)) Add(kPawn, s, t + d, 0, t);
        }
    }
};

// Records up to cap squares in a 0-ended array of the position record.
void Store(int32_t* arr, int cap, const int* squares, int n) {
    for (int i = 0; i < cap; ++i)
        arr[i] = i < n ? squares[i] : 0;
}

} // namespace

int32_t GenerateMoves(TRVGPosition* p) {
    g_errno = kErrNone;
    if (!p) {
        g_errno = kErrParameter;
        return 0;
    }
    Generator g{p, p->side, Opponent(p->side)};
    p->count = 0;

    // Piece list of the side to move, by kind, each in scan order 88 .. 11.
    // The lists hold every piece; the record's arrays keep what fits.
    int kings[64], queens[64], rooks[64], bishops[64], knights[64], pawns[64];
    int nk = 0, nq = 0, nr = 0, nb = 0, nn = 0, np = 0;
    p->ownKing = p->otherKing = 0;
    for (int s = 88; s >= 11; --s) {
        const TRVGSquare& v = p->sq[s];
        if (v.colour == g.other) {
            if (v.piece == kKing) p->otherKing = s;
            continue;
        }
        if (v.colour != g.side) continue;
        switch (v.piece) {
        case kKing:
            kings[nk++] = s;
            break;
        case kQueen:
            queens[nq++] = s;
            break;
        case kRook:
            rooks[nr++] = s;
            break;
        case kBishop:
            bishops[nb++] = s;
            break;
        case kKnight:
            knights[nn++] = s;
            break;
        case kPawn:
            pawns[np++] = s;
            break;
        default:
            break;
        }
    }
    if (nk > 0) p->ownKing = kings[0];
    Store(p->queens, 9, queens, nq);
    Store(p->bishops, 10, bishops, nb);
    Store(p->knights, 10, knights, nn);
    Store(p->rooks, 10, rooks, nr);
    Store(p->pawns, 8, pawns, np);

    for (int i = 0; i < nk; ++i)
        g.King(kings[i]);
    for (int i = 0; i < nq; ++i)
        g.Walk(kQueen, queens[i], kQueenDirs, 8, true);
    for (int i = 0; i < nr; ++i)
        g.Walk(kRook, rooks[i], kRookDirs, 4, true);
    for (int i = 0; i < nb; ++i)
        g.Walk(kBishop, bishops[i], kBishopDirs, 4, true);
    for (int i = 0; i < nn; ++i)
        g.Walk(kKnight, knights[i], kKnightSteps, 8, false);
    for (int i = 0; i < np; ++i)
        g.Pawn(pawns[i]);

    for (int i = 0; i < p->count; ++i) {
        TRVGMove& m = p->moves[i];
        if (!(m.flags & (kFlagCastleKing | kFlagCastleQueen)) && m.to == p->otherKing &&
            p->otherKing != 0)
            m.flags |= kFlagHitsKing;
    }
    return p->count;
}

int32_t FindMove(TRVGPosition* p, int from, int to, int promotion) {
    g_errno = kErrNone;
    if (!IsValidSquare(from) || !IsValidSquare(to)) return -1;
    if (!CheckPosition(p)) return -1;
    for (int i = 0; i < p->count; ++i) {
        const TRVGMove& m = p->moves[i];
        if (m.from == from && m.to == to &&
            (promotion == 0 || ((m.flags & kFlagPromotion) && m.extra == promotion)))
            return i;
    }
    return -1;
}

int32_t MakeMove(TRVGPosition* p, int index) {
    g_errno = kErrNone;
    if (!CheckPosition(p) || index < 0 || index >= p->count) {
        g_errno = kErrParameter;
        return -1;
    }
    const TRVGMove m = p->moves[index];
    const int side = p->side;
    const TRVGSquare mover = p->sq[m.from];
    const TRVGSquare target = p->sq[m.to];

    // New en-passant square.
    p->ep = 0;
    if (mover.piece == kPawn) {
        if (side == kWhite && m.to - m.from == 2) p->ep = m.to - 1;
        if (side == kBlack && m.from - m.to == 2) p->ep = m.to + 1;
    }

    // Castling rights lost by a rook leaving or being captured on a corner.
    auto corner = [p](int s) {
        switch (s) {
        case 11:
            p->castle[0] &= ~kCastleQueenSide;
            break;
        case 81:
            p->castle[0] &= ~kCastleKingSide;
            break;
        case 18:
            p->castle[1] &= ~kCastleQueenSide;
            break;
        case 88:
            p->castle[1] &= ~kCastleKingSide;
            break;
        default:
            break;
        }
    };
    if (mover.piece == kRook) corner(m.from);
    if (target.piece == kRook) corner(m.to);

    p->sq[m.to] = mover;
    p->sq[m.from] = {kEmpty, kEmpty};
    if (m.flags & kFlagEnPassant) p->sq[side == kWhite ? m.to - 1 : m.to + 1] = {kEmpty, kEmpty};
    if (m.flags & kFlagPromotion) p->sq[m.to].piece = m.extra;

    if (mover.piece == kKing) {
        int home = side == kWhite ? 1 : 8;
        if (m.flags & kFlagCastleKing) {
            p->sq[60 + home] = p->sq[80 + home];
            p->sq[80 + home] = {kEmpty, kEmpty};
        } else if (m.flags & kFlagCastleQueen) {
            p->sq[40 + home] = p->sq[10 + home];
            p->sq[10 + home] = {kEmpty, kEmpty};
        }
        p->castle[side == kWhite ? 0 : 1] = 0;
    }

    p->side = Opponent(side);
    GenerateMoves(p);
    return 0;
}

bool IsAttacked(const TRVGSquare* sq, int s, int by) {
    auto holds = [sq, by](int t, int piece) {
        return t >= 0 && t < 100 && sq[t].colour == by && sq[t].piece == piece;
    };
    // Pawns: a White pawn on x attacks x + 11 and x - 9.
    if (by == kWhite ? (holds(s - 11, kPawn) || holds(s + 9, kPawn))
                     : (holds(s + 11, kPawn) || holds(s - 9, kPawn)))
        return true;
    for (int d : kKnightSteps)
        if (holds(s + d, kKnight)) return true;
    for (int d : kKingSteps)
        if (holds(s + d, kKing)) return true;
    for (int d : kRookDirs) {
        int t = s + d;
        while (IsPlayable(t) && sq[t].colour == kEmpty)
            t += d;
        if (holds(t, kRook) || holds(t, kQueen)) return true;
    }
    for (int d : kBishopDirs) {
        int t = s + d;
        while (IsPlayable(t) && sq[t].colour == kEmpty)
            t += d;
        if (holds(t, kBishop) || holds(t, kQueen)) return true;
    }
    return false;
}

bool IsLegal(const TRVGPosition* p, const TRVGMove& m) {
    const int side = p->side, other = Opponent(side);
    if (m.flags & (kFlagCastleKing | kFlagCastleQueen)) {
        // Not out of check, not through an attacked square.
        int pass = (m.flags & kFlagCastleKing) ? m.from + 10 : m.from - 10;
        if (IsAttacked(p->sq, m.from, other) || IsAttacked(p->sq, pass, other)) return false;
    }
    TRVGSquare b[100];
    std::memcpy(b, p->sq, sizeof b);
    const TRVGSquare mover = b[m.from];
    b[m.to] = mover;
    b[m.from] = {kEmpty, kEmpty};
    if (m.flags & kFlagEnPassant) b[side == kWhite ? m.to - 1 : m.to + 1] = {kEmpty, kEmpty};
    if (m.flags & kFlagCastleKing) {
        b[m.from + 10] = b[m.from + 30];
        b[m.from + 30] = {kEmpty, kEmpty};
    } else if (m.flags & kFlagCastleQueen) {
        b[m.from - 10] = b[m.from - 40];
        b[m.from - 40] = {kEmpty, kEmpty};
    }
    int king = mover.piece == kKing ? m.to : p->ownKing;
    if (king == 0) return true; // no king to expose (never after a passed check)
    return !IsAttacked(b, king, other);
}

} // namespace trvg
