// trvmovgen: the pseudo-legal move generator, move lookup and move making of
// the library's position. The order of the generated list is part of the
// contract: the SAN matcher takes the first entry that fits.
#include "movelib/trvg.h"

#include <cstring>
#include <initializer_list>

namespace trvg {

namespace {

bool GivesCheck(const TRVGPosition* p, const TRVGMove& m, int by);

// The list no longer belongs to the position (a move was made by ApplyMove).
bool g_movesStale = false;
// King squares by colour, kept by GenerateMoves and ApplyMove; 0 = unknown.
int g_king[3] = {0, 0, 0};

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

    // Sliding and king steps never leave the 10 x 10 board before meeting
    // the frame; knight jumps may, so they are bounded by IsPlayable.
    void Walk(int32_t piece, int from, const int* dirs, int ndirs, bool slide) {
        for (int i = 0; i < ndirs; ++i) {
            for (int t = from + dirs[i];
                 slide || piece == kKing ? p->sq[t].colour != kFrame : IsPlayable(t);
                 t += dirs[i]) {
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
            if (t == p->ep && Empty(t) && Holds(t - d, other, kPawn)) {
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

// The playable squares from 88 down to 11.
struct ScanOrder {
    int sq[64];
    constexpr ScanOrder() : sq() {
        int n = 0;
        for (int s = 88; s >= 11; --s)
            if (s % 10 >= 1 && s % 10 <= 8) sq[n++] = s;
    }
};
constexpr ScanOrder kScan;
constexpr const int (&kScanOrder)[64] = kScan.sq;

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
    // One pass without a branch per square: every square goes into the
    // bucket of its kind when it holds a piece of the side to move, else into
    // bucket 0, which is not used.
    int bucket[7][64];
    int nb[7] = {};
    int otherKing = 0;
    for (int s : kScanOrder) {
        const TRVGSquare& v = p->sq[s];
        const unsigned own =
            unsigned(v.colour == g.side) & unsigned(v.piece >= kKing) & unsigned(v.piece <= kPawn);
        const unsigned kind = own * unsigned(v.piece);
        bucket[kind][nb[kind]++] = s;
        otherKing = (v.colour == g.other && v.piece == kKing) ? s : otherKing;
    }
    p->otherKing = otherKing;
    g_king[g.other] = otherKing;
    g_king[g.side] = nb[kKing] > 0 ? bucket[kKing][0] : 0;
    g_movesStale = false;
    int* kings = bucket[kKing];
    int* queens = bucket[kQueen];
    int* rooks = bucket[kRook];
    int* bishops = bucket[kBishop];
    int* knights = bucket[kKnight];
    int* pawns = bucket[kPawn];
    const int nk = nb[kKing], nq = nb[kQueen], nr = nb[kRook], nbis = nb[kBishop], nn = nb[kKnight],
              np = nb[kPawn];
    if (nk > 0) p->ownKing = kings[0];
    Store(p->queens, 9, queens, nq);
    Store(p->bishops, 10, bishops, nbis);
    Store(p->knights, 10, knights, nn);
    Store(p->rooks, 10, rooks, nr);
    Store(p->pawns, 8, pawns, np);

    for (int i = 0; i < nk; ++i)
        g.King(kings[i]);
    for (int i = 0; i < nq; ++i)
        g.Walk(kQueen, queens[i], kQueenDirs, 8, true);
    for (int i = 0; i < nr; ++i)
        g.Walk(kRook, rooks[i], kRookDirs, 4, true);
    for (int i = 0; i < nbis; ++i)
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

void EnsureMoves(TRVGPosition* p) {
    if (g_movesStale) GenerateMoves(p);
}

int32_t FindMove(TRVGPosition* p, int from, int to, int promotion) {
    g_errno = kErrNone;
    if (!IsValidSquare(from) || !IsValidSquare(to)) return -1;
    if (!CheckPosition(p)) return -1;
    return FindMoveUnchecked(p, from, to, promotion);
}

int32_t FindMoveUnchecked(TRVGPosition* p, int from, int to, int promotion) {
    EnsureMoves(p);
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
    if (CheckPosition(p)) EnsureMoves(p);
    if (!CheckPosition(p) || index < 0 || index >= p->count) {
        g_errno = kErrParameter;
        return -1;
    }
    MakeMoveUnchecked(p, index);
    return 0;
}

void MakeMoveUnchecked(TRVGPosition* p, int index) {
    EnsureMoves(p);
    ApplyMove(p, p->moves[index]);
    GenerateMoves(p);
}

void ApplyMove(TRVGPosition* p, const TRVGMove& m) {
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

    if (g_shadow.pos == p) {
        const int other = Opponent(side);
        if (target.colour == other) --g_shadow.count[other + 1][target.piece + 1];
        if (m.flags & kFlagEnPassant) --g_shadow.count[other + 1][kPawn + 1];
        if (m.flags & kFlagPromotion) {
            --g_shadow.count[side + 1][kPawn + 1];
            ++g_shadow.count[side + 1][m.extra + 1];
        }
    }
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
        g_king[side] = m.to;
    }

    p->side = Opponent(side);
    g_movesStale = true;
    if (g_shadow.pos == p) {
        g_shadow.inCheck = GivesCheck(p, m, side);
        g_shadow.checkKnown = true;
    }
}

int Candidates(const TRVGPosition* p, int piece, int to, TRVGMove* out) {
    const int side = p->side, other = Opponent(side);
    if (!IsPlayable(to)) return 0;
    const TRVGSquare target = p->sq[to];
    if (target.colour == side) return 0; // never onto an own piece
    const int32_t flags = (target.colour == other ? kFlagCapture : 0) |
                          (target.colour == other && target.piece == kKing ? kFlagHitsKing : 0);
    auto own = [p, side](int s, int kind) {
        return s >= 0 && s < 100 && p->sq[s].colour == side && p->sq[s].piece == kind;
    };
    auto empty = [p](int s) { return p->sq[s].colour == kEmpty; };
    int n = 0;
    switch (piece) {
    case kKing: {
        const int home = side == kWhite ? 1 : 8;
        if (own(50 + home, kKing) && target.colour == kEmpty) {
            if (to == 70 + home && own(80 + home, kRook) && empty(60 + home))
                out[n++] = {kKing, 50 + home, to, kFlagCastleKing, 0};
            if (to == 30 + home && own(10 + home, kRook) && empty(20 + home) && empty(40 + home))
                out[n++] = {kKing, 50 + home, to, kFlagCastleQueen, 0};
        }
        for (int d : kKingSteps)
            if (own(to - d, kKing)) out[n++] = {kKing, to - d, to, flags, 0};
        break;
    }
    case kKnight:
        for (int d : kKnightSteps)
            if (IsPlayable(to - d) && own(to - d, kKnight))
                out[n++] = {kKnight, to - d, to, flags, 0};
        break;
    case kQueen:
    case kRook:
    case kBishop: {
        const int* dirs = piece == kQueen ? kQueenDirs : piece == kRook ? kRookDirs : kBishopDirs;
        const int ndirs = piece == kQueen ? 8 : 4;
        for (int i = 0; i < ndirs; ++i) {
            int t = to + dirs[i];
            while (p->sq[t].colour == kEmpty)
                t += dirs[i];
            if (own(t, piece)) out[n++] = {piece, t, to, flags, 0};
        }
        break;
    }
    case kPawn: {
        const int d = side == kWhite ? 1 : -1;
        const bool last = to % 10 == (side == kWhite ? 8 : 1);
        auto add = [&](int from, int32_t f) {
            if (last) {
                for (int32_t k : kPromotions)
                    out[n++] = {kPawn, from, to, f | kFlagPromotion, k};
            } else {
                out[n++] = {kPawn, from, to, f, 0};
            }
        };
        // Captures, from the two neighbouring files. En passant takes the
        // pawn beside: a position text may name the square with no pawn there
        // (or with another piece), and then there is no such capture.
        const bool epPawn = p->sq[to - d].colour == other && p->sq[to - d].piece == kPawn;
        for (int from : {to - d - 10, to - d + 10}) {
            if (!own(from, kPawn)) continue;
            if (to == p->ep && target.colour == kEmpty && epPawn) {
                out[n++] = {kPawn, from, to, kFlagEnPassant | kFlagCapture, 0};
            } else if (target.colour == other) {
                add(from, flags);
            }
        }
        if (target.colour == kEmpty) {
            if (own(to - d, kPawn)) add(to - d, 0);
            const int from = to - 2 * d;
            if (own(from, kPawn) && from % 10 == (side == kWhite ? 2 : 7) && empty(to - d))
                out[n++] = {kPawn, from, to, 0, to - d};
        }
        break;
    }
    default:
        break;
    }
    // List order: pieces in scan order (higher squares first); entries of one
    // piece keep their order.
    for (int i = 1; i < n; ++i) {
        TRVGMove m = out[i];
        int j = i;
        while (j > 0 && out[j - 1].from < m.from) {
            out[j] = out[j - 1];
            --j;
        }
        out[j] = m;
    }
    return n;
}

namespace {

// For every square, the playable squares a knight jump away (0-ended).
struct KnightTable {
    int8_t to[100][9];
    constexpr KnightTable() : to() {
        for (int s = 0; s < 100; ++s) {
            int n = 0;
            for (int d : kKnightSteps) {
                int t = s + d;
                if (t >= 11 && t <= 88 && t % 10 >= 1 && t % 10 <= 8) to[s][n++] = int8_t(t);
            }
        }
    }
};
constexpr KnightTable kKnightTable;

} // namespace

namespace {

// The step that leads from a towards b along a rank, file or diagonal; 0
// when they share none.
int LineStep(int a, int b) {
    const int df = b / 10 - a / 10, dr = b % 10 - a % 10;
    if (df == 0 && dr == 0) return 0;
    if (df == 0) return dr > 0 ? 1 : -1;
    if (dr == 0) return df > 0 ? 10 : -10;
    if (df == dr || df == -dr) return (df > 0 ? 10 : -10) + (dr > 0 ? 1 : -1);
    return 0;
}

bool Orthogonal(int step) {
    return step == 1 || step == -1 || step == 10 || step == -10;
}

// The first piece from s along step is a slider of colour by that moves
// along that line.
bool SliderOnRay(const TRVGSquare* sq, int s, int step, int by) {
    int t = s + step;
    while (sq[t].colour == kEmpty)
        t += step;
    if (sq[t].colour != by) return false;
    return sq[t].piece == kQueen || sq[t].piece == (Orthogonal(step) ? kRook : kBishop);
}

// The king square of colour (the kept one when it still holds that king).
int KingSquare(const TRVGSquare* sq, int colour) {
    int k = g_king[colour];
    if (k != 0 && sq[k].colour == colour && sq[k].piece == kKing) return k;
    k = 0;
    for (int s : kScanOrder)
        if (sq[s].colour == colour && sq[s].piece == kKing) k = s;
    g_king[colour] = k;
    return k;
}

// After side by made m (the board shows the new position): is the other
// king attacked? The piece that moved and the line it left are looked at;
// castling and en passant, which move two pieces, get the full test.
bool GivesCheck(const TRVGPosition* p, const TRVGMove& m, int by) {
    const int k = KingSquare(p->sq, Opponent(by));
    if (k == 0) return false;
    if (m.flags & (kFlagEnPassant | kFlagCastleKing | kFlagCastleQueen))
        return IsAttacked(p->sq, k, by);
    const int to = m.to;
    const int piece = p->sq[to].piece;
    bool direct = false;
    switch (piece) {
    case kPawn:
        direct = by == kWhite ? (k == to + 11 || k == to - 9) : (k == to - 11 || k == to + 9);
        break;
    case kKnight:
        for (const int8_t* t = kKnightTable.to[to]; *t && !direct; ++t)
            direct = *t == k;
        break;
    case kKing: {
        const int d = k - to;
        direct =
            d == 1 || d == -1 || d == 9 || d == -9 || d == 10 || d == -10 || d == 11 || d == -11;
        break;
    }
    default: {
        const int step = LineStep(to, k);
        if (step != 0 && (piece == kQueen || (piece == kRook) == Orthogonal(step))) {
            int t = to + step;
            while (t != k && p->sq[t].colour == kEmpty)
                t += step;
            direct = t == k;
        }
        break;
    }
    }
    if (direct) return true;
    const int step = LineStep(k, m.from);
    return step != 0 && SliderOnRay(p->sq, k, step, by);
}

} // namespace

bool IsAttacked(const TRVGSquare* sq, int s, int by) {
    // s is a playable square: every probe below stays on the 10 x 10 board,
    // and the frame (colour -1) ends every ray.
    auto holds = [sq, by](int t, int piece) { return sq[t].colour == by && sq[t].piece == piece; };
    for (int d : kRookDirs) {
        int t = s + d;
        while (sq[t].colour == kEmpty)
            t += d;
        if (sq[t].colour == by && (sq[t].piece == kRook || sq[t].piece == kQueen)) return true;
    }
    for (int d : kBishopDirs) {
        int t = s + d;
        while (sq[t].colour == kEmpty)
            t += d;
        if (sq[t].colour == by && (sq[t].piece == kBishop || sq[t].piece == kQueen)) return true;
    }
    for (const int8_t* t = kKnightTable.to[s]; *t; ++t)
        if (holds(*t, kKnight)) return true;
    // Pawns: a White pawn on x attacks x + 11 and x - 9.
    if (by == kWhite ? (holds(s - 11, kPawn) || holds(s + 9, kPawn))
                     : (holds(s + 11, kPawn) || holds(s - 9, kPawn)))
        return true;
    for (int d : kKingSteps)
        if (holds(s + d, kKing)) return true;
    return false;
}

bool IsLegal(TRVGPosition* p, const TRVGMove& m) {
    const int side = p->side, other = Opponent(side);
    if (p->sq[m.from].piece != kKing &&
        !(m.flags & (kFlagEnPassant | kFlagCastleKing | kFlagCastleQueen))) {
        // Any other move: when the king is not in check now, only the line
        // from the king through the square the piece leaves can open.
        const int king = KingSquare(p->sq, side);
        if (king == 0) return true;
        bool inCheck;
        if (g_shadow.pos == p && g_shadow.checkKnown) {
            inCheck = g_shadow.inCheck;
        } else {
            inCheck = IsAttacked(p->sq, king, other);
            if (g_shadow.pos == p) {
                g_shadow.checkKnown = true;
                g_shadow.inCheck = inCheck;
            }
        }
        if (!inCheck) {
            const int step = LineStep(king, m.from);
            if (step == 0) return true;
            TRVGSquare* b = p->sq;
            const TRVGSquare savedFrom = b[m.from], savedTo = b[m.to];
            b[m.to] = savedFrom;
            b[m.from] = {kEmpty, kEmpty};
            const bool attacked = SliderOnRay(b, king, step, other);
            b[m.to] = savedTo;
            b[m.from] = savedFrom;
            return !attacked;
        }
    }
    if (m.flags & (kFlagCastleKing | kFlagCastleQueen)) {
        // Not out of check, not through an attacked square.
        int pass = (m.flags & kFlagCastleKing) ? m.from + 10 : m.from - 10;
        if (IsAttacked(p->sq, m.from, other) || IsAttacked(p->sq, pass, other)) return false;
    }
    TRVGSquare* b = p->sq;
    // Squares the move changes, saved to be put back after the test.
    int changed[4] = {m.from, m.to, m.from, m.from};
    if (m.flags & kFlagEnPassant) changed[2] = side == kWhite ? m.to - 1 : m.to + 1;
    if (m.flags & kFlagCastleKing) {
        changed[2] = m.from + 10;
        changed[3] = m.from + 30;
    } else if (m.flags & kFlagCastleQueen) {
        changed[2] = m.from - 10;
        changed[3] = m.from - 40;
    }
    TRVGSquare saved[4];
    for (int i = 0; i < 4; ++i)
        saved[i] = b[changed[i]];

    const TRVGSquare mover = b[m.from];
    b[m.to] = mover;
    b[m.from] = {kEmpty, kEmpty};
    if (m.flags & kFlagEnPassant) b[changed[2]] = {kEmpty, kEmpty};
    if (m.flags & (kFlagCastleKing | kFlagCastleQueen)) {
        b[changed[2]] = b[changed[3]];
        b[changed[3]] = {kEmpty, kEmpty};
    }
    int king = mover.piece == kKing ? m.to : g_king[side];
    if (king == 0 || b[king].colour != side || b[king].piece != kKing) {
        king = 0;
        for (int s : kScanOrder)
            if (b[s].colour == side && b[s].piece == kKing) king = s;
    }
    const bool legal = king == 0 || !IsAttacked(b, king, other);
    for (int i = 3; i >= 0; --i)
        b[changed[i]] = saved[i];
    return legal;
}

} // namespace trvg
