// trvg_pgn: finds the move that a SAN text names among the generator's
// entries. The entries of one piece kind and destination are taken in list
// order (Candidates), which is all that decides the match.
// Only legal moves match: a move that leaves the mover's king attacked, or a
// castling out of or through check, is passed over, so that a pinned piece
// never takes a move that belongs to another piece of its kind.
#include "movelib/trvg.h"

#include <cstring>

namespace trvg {

namespace {

int32_t Fail(int32_t err) {
    g_errno = err;
    return -1;
}

bool IsFile(char c) {
    return c >= 'a' && c <= 'h';
}
bool IsRank(char c) {
    return c >= '1' && c <= '8';
}

// The first legal entry from -> to (with the promotion piece, when one is
// given) of the piece that stands on from; -1 when there is none.
int32_t FirstLegal(TRVGPosition* p, int from, int to, int32_t promotion, TRVGMove& found) {
    if (!IsPlayable(from) || p->sq[from].colour != p->side) return -1;
    TRVGMove list[40];
    const int n = Candidates(p, p->sq[from].piece, to, list);
    for (int i = 0; i < n; ++i) {
        const TRVGMove& m = list[i];
        if (m.from != from) continue;
        if (promotion != 0 && !((m.flags & kFlagPromotion) && m.extra == promotion)) continue;
        if (IsLegal(p, m)) {
            found = m;
            return 0;
        }
    }
    return -1;
}

int32_t MatchCastling(TRVGPosition* p, bool queenSide, TRVGMove& found) {
    int32_t right = queenSide ? kCastleQueenSide : kCastleKingSide;
    if (!(p->castle[p->side == kWhite ? 0 : 1] & right)) return Fail(kErrParameter);
    int home = p->side == kWhite ? 1 : 8;
    int to = (queenSide ? 30 : 70) + home;
    if (FirstLegal(p, 50 + home, to, 0, found) < 0 || !(found.flags & right))
        return Fail(kErrParameter);
    return 0;
}

// The promotion piece of a letter after a long-form move: q, r, b or n in
// either case; 0 for anything else (check marks, annotations).
int32_t LongFormPromotion(char c) {
    switch (c) {
    case 'q':
    case 'Q':
        return kQueen;
    case 'r':
    case 'R':
        return kRook;
    case 'b':
    case 'B':
        return kBishop;
    case 'n':
    case 'N':
        return kKnight;
    default:
        return 0;
    }
}

} // namespace

int32_t MatchSan(TRVGPosition* p, const char* san, TRVGMove& found) {
    g_errno = kErrNone;
    if (!CheckPosition(p)) return -1;
    if (!san) return Fail(kErrParameter);
    const char* b = san;
    while (*b && static_cast<unsigned char>(*b) <= ' ')
        ++b;
    const char* e = b + std::strlen(b);
    while (e > b && static_cast<unsigned char>(e[-1]) <= ' ')
        --e;
    const size_t n = size_t(e - b);
    if (n == 0) return Fail(kErrParameter);

    auto starts = [b, n](const char* prefix) {
        size_t k = std::strlen(prefix);
        return n >= k && std::memcmp(b, prefix, k) == 0;
    };
    if (starts("O-O-O") || starts("0-0-0")) return MatchCastling(p, true, found);
    if (starts("O-O") || starts("0-0")) return MatchCastling(p, false, found);

    // Piece letter.
    int32_t piece = kPawn;
    size_t i = 0;
    if (b[0] >= 'A' && b[0] <= 'Z') {
        switch (b[0]) {
        case 'K':
            piece = kKing;
            break;
        case 'Q':
            piece = kQueen;
            break;
        case 'B':
            piece = kBishop;
            break;
        case 'N':
            piece = kKnight;
            break;
        case 'R':
            piece = kRook;
            break;
        case 'P':
            piece = kPawn;
            break;
        default:
            return Fail(kErrPiece);
        }
        i = 1;
    }
    const char* r = b + i; // the rest
    const size_t rn = n - i;
    if (rn < 2) return Fail(kErrParameter);

    // Destination: after an "x", else the character before the last digit.
    const void* xp = std::memchr(r, 'x', rn);
    const long x = xp ? long(static_cast<const char*>(xp) - r) : -1;
    long d;
    if (x >= 0) {
        d = x + 1;
    } else {
        long lastDigit = -1;
        for (long k = long(rn) - 1; k >= 0; --k) {
            if (r[k] >= '0' && r[k] <= '9') {
                lastDigit = k;
                break;
            }
        }
        d = lastDigit < 0 ? 0 : lastDigit - 1;
    }
    if (d < 0 || d + 1 >= long(rn) || !IsFile(r[d]) || !IsRank(r[d + 1])) return Fail(kErrField);
    const int to = (r[d] - 'a' + 1) * 10 + (r[d + 1] - '0');

    // Promotion piece.
    int32_t promotion = 0;
    const void* ep = std::memchr(r, '=', rn);
    if (ep) {
        long q = long(static_cast<const char*>(ep) - r);
        if (q == 0 || (x >= 0 && q < x)) return Fail(kErrParameter);
        char c = q + 1 < long(rn) ? r[q + 1] : '\0';
        switch (c) {
        case 'Q':
            promotion = kQueen;
            break;
        case 'R':
            promotion = kRook;
            break;
        case 'B':
            promotion = kBishop;
            break;
        case 'N':
            promotion = kKnight;
            break;
        default:
            return Fail(kErrPiece);
        }
    }

    // Disambiguation.
    int byFile = 0, byRank = 0;
    if (d != 0 && r[0] != 'x') {
        if (d != 1 && r[1] != 'x') {
            // A full from-square (the long form "d7d8" some programs write).
            if (!IsFile(r[0]) || !IsRank(r[1])) return Fail(kErrParameter);
            int from = (r[0] - 'a' + 1) * 10 + (r[1] - '0');
            // The long form names the promotion piece by a letter right after
            // the destination, without "=": "d7d8n", "d7d8N".
            if (promotion == 0 && d + 2 < long(rn)) promotion = LongFormPromotion(r[d + 2]);
            if (FirstLegal(p, from, to, promotion, found) < 0) return Fail(kErrParameter);
            return 0;
        }
        if (IsFile(r[0])) {
            byFile = r[0] - 'a' + 1;
        } else if (IsRank(r[0])) {
            byRank = r[0] - '0';
        } else {
            return Fail(kErrField);
        }
    }

    TRVGMove list[40];
    const int count = Candidates(p, piece, to, list);
    for (int k = 0; k < count; ++k) {
        const TRVGMove& m = list[k];
        if (promotion != 0 && !((m.flags & kFlagPromotion) && m.extra == promotion)) continue;
        if (byFile != 0) {
            if (m.from / 10 != byFile) continue;
        } else if (byRank != 0) {
            if (m.from % 10 != byRank) continue;
        } else if (piece == kPawn && m.from / 10 != to / 10) {
            continue;
        }
        if (IsLegal(p, m)) {
            found = m;
            return 0;
        }
    }
    return Fail(kErrParameter);
}

} // namespace trvg
