#pragma once
// TRVG: the move library's own position and pseudo-legal move generator.
//
// Board: a 10 x 10 mailbox indexed by the internal square
// (file + 1) * 10 + (rank + 1), so a1 = 11, h8 = 88; one file is +-10, one
// rank +-1; squares whose tens or units digit is 0 or 9 are the frame.
// The position record below is the library's one process-wide record; its
// byte layout (6 116 bytes of 32-bit integers) is fixed.
#include <cstdint>

namespace trvg {

// Colours and pieces as stored in the board.
enum : int32_t { kFrame = -1, kEmpty = 0, kWhite = 1, kBlack = 2 };
enum : int32_t { kKing = 1, kQueen = 2, kBishop = 3, kKnight = 4, kRook = 5, kPawn = 6 };

// Move flags.
enum : int32_t {
    kFlagEnPassant = 1,
    kFlagPromotion = 2,
    kFlagCapture = 4,
    kFlagCastleKing = 0x10,
    kFlagCastleQueen = 0x20,
    kFlagHitsKing = 0x40
};

// Castling-right bits of the two castling words.
enum : int32_t { kCastleKingSide = 0x10, kCastleQueenSide = 0x20 };

// Error numbers.
enum : int32_t {
    kErrNone = 0,
    kErrMemory = 1,
    kErrParameter = 2,
    kErrColour = 3,
    kErrField = 4,
    kErrPiece = 5
};

constexpr int kMaxMoves = 254;

struct TRVGMove {
    int32_t piece, from, to, flags, extra;
};

struct TRVGSquare {
    int32_t colour, piece;
};

struct TRVGPosition {
    int32_t side;       // 1 White, 2 Black, -1 not set
    TRVGSquare sq[100]; // indexed by internal square
    int32_t ep;         // en-passant target square, 0 = none
    TRVGMove moves[kMaxMoves];
    int32_t count;     // entries in moves
    int32_t ownKing;   // king square of the side to move
    int32_t otherKing; // king square of the other side
    int32_t zero0;
    int32_t queens[9]; // squares of the side to move's pieces, 0-ended
    int32_t zero1;
    int32_t bishops[10];
    int32_t zero2;
    int32_t knights[10];
    int32_t zero3;
    int32_t rooks[10];
    int32_t zero4;
    int32_t pawns[8];
    int32_t castle[2]; // White, Black: 0x10 king-side, 0x20 queen-side
};
static_assert(sizeof(TRVGPosition) == 6116, "position record layout");

// The process-wide error number; every operation sets it to 0 first.
extern int32_t g_errno;

// Piece counts of the position pos by [colour + 1][piece + 1] (and whether a
// playable square holds a bad code), taken by CheckPosition and kept up to
// date by ApplyMove; pos = null when they must be taken again (set-up).
struct TShadow {
    const TRVGPosition* pos = nullptr;
    bool bad = false;
    // Whether the side to move is in check, once known (set by ApplyMove
    // from the move just made, or by the first legality test).
    bool checkKnown = false;
    bool inCheck = false;
    int count[4][8] = {};
};
extern TShadow g_shadow;

inline bool IsPlayable(int s) {
    return s >= 11 && s <= 88 && s % 10 >= 1 && s % 10 <= 8;
}
inline int Opponent(int side) {
    return side == kWhite ? kBlack : kWhite;
}
// Internal square -> the main program's square (rank * 10 + file).
inline int ToMainSquare(int s) {
    return s / 10 + (s % 10) * 10 - 11;
}

// trvgutil: set-up and checks.
int32_t Clear(TRVGPosition* p); // 0 or -1
void SetInitialPosition(TRVGPosition* p);
int32_t SetFromText(TRVGPosition* p, const char* text); // 0 or -1
bool IsValidSquare(int s);
bool IsValidEnPassantSquare(int side, int s);
bool CheckPosition(const TRVGPosition* p);
// kind 1: the initial position; kind 3: the position text. 0 or -1.
int32_t SetUp(TRVGPosition* p, int kind, const char* text);

// trvmovgen: generation and making.
int32_t GenerateMoves(TRVGPosition* p);
int32_t FindMove(TRVGPosition* p, int from, int to, int promotion);
int32_t MakeMove(TRVGPosition* p, int index);
// The same without the square and position checks, for a position that has
// just passed them (index within the list).
int32_t FindMoveUnchecked(TRVGPosition* p, int from, int to, int promotion);
void MakeMoveUnchecked(TRVGPosition* p, int index);

// Makes move m (an entry the generator lists, or one given by Candidates)
// without generating the next list: the list is marked stale and rebuilt by
// EnsureMoves before anything reads it. The SAN path makes its moves this
// way, since it finds them without the full list.
void ApplyMove(TRVGPosition* p, const TRVGMove& m);
void EnsureMoves(TRVGPosition* p);

// The entries the generator would list for the side to move with this piece
// kind and destination, in list order (at most 40). The same entries as a
// scan of the full list, found from the destination backwards.
int Candidates(const TRVGPosition* p, int piece, int to, TRVGMove* out);
// True when square s is attacked by a piece of colour by on board sq.
bool IsAttacked(const TRVGSquare* sq, int s, int by);
// True when the list entry can be played without leaving the mover's king
// attacked; castling also may not start from or pass an attacked square.
// (The board is changed for the test and restored.)
bool IsLegal(TRVGPosition* p, const TRVGMove& m);

// trvg_pgn: SAN matching. 0 with the move in found, or -1 with the error set.
int32_t MatchSan(TRVGPosition* p, const char* san, TRVGMove& found);

} // namespace trvg
