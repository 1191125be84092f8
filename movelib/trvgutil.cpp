// trvgutil: clearing, the initial position, FEN-style set-up and the
// validity check of the library's position.
#include "movelib/trvg.h"

#include <cstring>

namespace trvg {

int32_t g_errno = kErrNone;
TShadow g_shadow;

int32_t Clear(TRVGPosition* p) {
    g_errno = kErrNone;
    if (!p) {
        g_errno = kErrParameter;
        return -1;
    }
    g_shadow.pos = nullptr;
    std::memset(p, 0, sizeof *p);
    p->side = -1;
    for (int s = 0; s < 100; ++s) {
        if (!IsPlayable(s)) p->sq[s] = {kFrame, kFrame};
    }
    for (auto& m : p->moves)
        m = {-1, -1, -1, 0, -1};
    return 0;
}

void SetInitialPosition(TRVGPosition* p) {
    g_shadow.pos = nullptr;
    static const int32_t back[8] = {kRook, kKnight, kBishop, kQueen,
                                    kKing, kBishop, kKnight, kRook};
    for (int f = 0; f < 8; ++f) {
        for (int r = 0; r < 8; ++r)
            p->sq[(f + 1) * 10 + r + 1] = {kEmpty, kEmpty};
        p->sq[(f + 1) * 10 + 1] = {kWhite, back[f]};
        p->sq[(f + 1) * 10 + 2] = {kWhite, kPawn};
        p->sq[(f + 1) * 10 + 7] = {kBlack, kPawn};
        p->sq[(f + 1) * 10 + 8] = {kBlack, back[f]};
    }
    p->side = kWhite;
    p->castle[0] = p->castle[1] = kCastleKingSide | kCastleQueenSide;
    p->ep = 0;
}

bool IsValidSquare(int s) {
    if (IsPlayable(s)) return true;
    g_errno = kErrField;
    return false;
}

bool IsValidEnPassantSquare(int side, int s) {
    if (IsPlayable(s) && ((side == kWhite && s % 10 == 6) || (side == kBlack && s % 10 == 3)))
        return true;
    g_errno = kErrField;
    return false;
}

namespace {

// The 36 frame squares and the 64 playable squares, for the check.
struct SquareTables {
    int frame[36];
    int board[64];
    constexpr SquareTables() : frame(), board() {
        int nf = 0, nb = 0;
        for (int s = 0; s < 100; ++s) {
            if (s >= 11 && s <= 88 && s % 10 >= 1 && s % 10 <= 8) {
                board[nb++] = s;
            } else {
                frame[nf++] = s;
            }
        }
    }
};
constexpr SquareTables kTables;
constexpr const int (&kFrameSquares)[36] = kTables.frame;
constexpr const int (&kBoardSquares)[64] = kTables.board;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int32_t Fail(int32_t err) {
    g_errno = err;
    return -1;
}

} // namespace

int32_t SetFromText(TRVGPosition* p, const char* text) {
    g_errno = kErrNone;
    g_shadow.pos = nullptr;
    if (!p || !text) return Fail(kErrParameter);
    // Up to four fields separated by blanks or tabs.
    const char* field[4] = {};
    size_t len[4] = {};
    int n = 0;
    for (const char* c = text; *c && n < 4;) {
        while (IsBlank(*c))
            ++c;
        if (!*c) break;
        field[n] = c;
        while (*c && !IsBlank(*c))
            ++c;
        len[n] = size_t(c - field[n]);
        ++n;
    }
    if (n < 2) return Fail(kErrParameter);

    // Placement: exactly seven "/", rank 8 first.
    int slashes = 0;
    for (size_t i = 0; i < len[0]; ++i)
        slashes += field[0][i] == '/';
    if (slashes != 7) return Fail(kErrParameter);
    char grid[8][8]; // [rank][file], rank 0 = rank 8
    std::memset(grid, ' ', sizeof grid);
    int row = 0, file = 0;
    for (size_t i = 0; i < len[0]; ++i) {
        char c = field[0][i];
        if (c == '/') {
            ++row;
            file = 0;
        } else if (c >= '0' && c <= '9') {
            file += c - '0';
            if (file > 8) file = 8;
        } else {
            if (row > 7 || file > 7) return Fail(kErrColour);
            grid[row][file++] = c;
        }
    }

    // Side to move.
    if (len[1] == 1 && field[1][0] == 'w') {
        p->side = kWhite;
    } else if (len[1] == 1 && field[1][0] == 'b') {
        p->side = kBlack;
    } else {
        return Fail(kErrColour);
    }

    for (int r = 0; r < 8; ++r) {
        for (int f = 0; f < 8; ++f) {
            int s = (f + 1) * 10 + (8 - r);
            char c = grid[r][f];
            TRVGSquare v{kEmpty, kEmpty};
            if (c != ' ') {
                int colour = (c >= 'a' && c <= 'z') ? kBlack : kWhite;
                char u = colour == kBlack ? char(c - 'a' + 'A') : c;
                switch (u) {
                case 'K':
                    v = {colour, kKing};
                    break;
                case 'Q':
                    v = {colour, kQueen};
                    break;
                case 'B':
                    v = {colour, kBishop};
                    break;
                case 'N':
                    v = {colour, kKnight};
                    break;
                case 'R':
                    v = {colour, kRook};
                    break;
                case 'P':
                    v = {colour, kPawn};
                    break;
                default:
                    return Fail(kErrPiece);
                }
            }
            p->sq[s] = v;
        }
    }

    // Castling rights.
    p->castle[0] = p->castle[1] = 0;
    if (n > 2 && !(len[2] == 1 && field[2][0] == '-')) {
        if (len[2] > 4) return Fail(kErrParameter);
        for (size_t i = 0; i < len[2]; ++i) {
            switch (field[2][i]) {
            case 'K':
                p->castle[0] |= kCastleKingSide;
                break;
            case 'Q':
                p->castle[0] |= kCastleQueenSide;
                break;
            case 'k':
                p->castle[1] |= kCastleKingSide;
                break;
            case 'q':
                p->castle[1] |= kCastleQueenSide;
                break;
            default:
                return Fail(kErrParameter);
            }
        }
    }

    // En passant.
    p->ep = 0;
    if (n > 3 && !(len[3] == 1 && field[3][0] == '-')) {
        if (len[3] != 2 || field[3][0] < 'a' || field[3][0] > 'h' || field[3][1] < '1' ||
            field[3][1] > '8')
            return Fail(kErrParameter);
        int s = (field[3][0] - 'a' + 1) * 10 + (field[3][1] - '0');
        if (!IsValidEnPassantSquare(p->side, s)) return Fail(kErrParameter);
        p->ep = s;
    }
    return 0;
}

bool CheckPosition(const TRVGPosition* p) {
    g_errno = kErrNone;
    if (!p) {
        g_errno = kErrParameter;
        return false;
    }
    if (p->side != kWhite && p->side != kBlack) {
        g_errno = kErrColour;
        return false;
    }
    // The counts are taken from the board once and then kept up to date by
    // ApplyMove; the frame never changes after that.
    if (g_shadow.pos != p) {
        for (int s : kFrameSquares) {
            if (p->sq[s].colour != kFrame || p->sq[s].piece != kFrame) {
                g_errno = kErrField;
                return false;
            }
        }
        // Piece counts per colour and kind, without a branch per square:
        // count[colour + 1][piece + 1]; a bad code on a playable square is
        // collected in bad.
        std::memset(g_shadow.count, 0, sizeof g_shadow.count);
        unsigned bad = 0;
        for (int s : kBoardSquares) {
            const unsigned c = unsigned(p->sq[s].colour + 1), k = unsigned(p->sq[s].piece + 1);
            bad |= (c > 3u) | (k > 7u);
            ++g_shadow.count[c & 3u][k & 7u];
        }
        g_shadow.bad = bad != 0;
        g_shadow.checkKnown = false;
        g_shadow.pos = p;
    }
    const auto& count = g_shadow.count;
    unsigned bad = g_shadow.bad;
    for (int c = kWhite; c <= kBlack; ++c) {
        const int* n = count[c + 1];
        int total = 0;
        for (int k = kKing; k <= kPawn; ++k)
            total += n[k + 1];
        // An own-coloured square must hold a piece 1..6.
        if (n[0] != 0 || n[1] != 0) bad = 1;
        if (n[kKing + 1] != 1 || total > 16 || n[kQueen + 1] > 9 || n[kBishop + 1] > 10 ||
            n[kKnight + 1] > 10 || n[kRook + 1] > 10 || n[kPawn + 1] > 8)
            bad = 1;
    }
    if (bad) {
        g_errno = kErrPiece;
        return false;
    }
    if (p->ep != 0 && !IsValidEnPassantSquare(p->side, p->ep)) return false;
    for (int c = 0; c < 2; ++c) {
        int32_t rights = p->castle[c];
        if ((rights & ~(kCastleKingSide | kCastleQueenSide)) != 0 ||
            (rights != 0 && count[c + 2][kRook + 1] == 0)) {
            g_errno = kErrParameter;
            return false;
        }
    }
    return true;
}

int32_t SetUp(TRVGPosition* p, int kind, const char* text) {
    if (Clear(p) != 0) return -1;
    if (kind == 1) {
        SetInitialPosition(p);
    } else if (kind == 3) {
        if (SetFromText(p, text) != 0) return -1;
    } else {
        return Fail(kErrParameter);
    }
    if (!CheckPosition(p)) return -1;
    GenerateMoves(p);
    g_errno = kErrNone;
    return 0;
}

} // namespace trvg
