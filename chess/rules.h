#pragma once
// The rules of the game window: the geometric move check, castling, check
// detection, making and taking back moves on a position, and disambiguation.
// The side to move comes from the game record's half-move count, never from
// the position's flag.
#include "chess/gamerecord.h"
#include "chess/position.h"

#include <string>

namespace quorel::chess {

// What a move check found besides its yes/no answer. Every check starts from
// a cleared value.
struct TMoveCheck {
    bool Capture = false;     // the move takes a piece
    int CapturedPiece = 0;    // code of the piece taken (the pawn's code for en passant)
    bool EnPassant = false;   // the move is an en-passant capture
    Square EnPassantPawn = 0; // square of the pawn taken en passant
    TUserMessage Refusal;     // castling refused with a message box: "@KingInCheck" or
                              // "@KingHasBeenMoved" (Key empty otherwise)
};

// Is valid move: From → To of move on pos at half-move currentPly. With
// checkSide on, a piece of the side not to move is refused and no king may be
// taken. Moves into check are NOT refused here (the move entry takes them
// back). Castling is accepted only when the wing's flag is set in pos, king and
// rook never moved and the rook's corner was never taken (records 1..currentPly
// of rec), the king is not in check and the square it crosses is not attacked.
// result (may be null) is cleared first and then filled.
bool IsValidMove(const TGameRecord& rec, const TChessPosition& pos, const TMoveRecord& move,
                 bool checkSide, int currentPly, TMoveCheck* result = nullptr);

// White may castle / Black may castle at rec.CurrentPly on pos: false with
// "@KingInCheck" when the king is attacked, "@KingHasBeenMoved" when a record
// of that side moved the king; otherwise true (wing-specific tests are part
// of IsValidMove).
bool WhiteMayCastle(const TGameRecord& rec, const TChessPosition& pos, int currentPly,
                    TUserMessage* refusal = nullptr);
bool BlackMayCastle(const TGameRecord& rec, const TChessPosition& pos, int currentPly,
                    TUserMessage* refusal = nullptr);

// True when some piece of the given colour attacks sq on pos (pawns by their
// capture diagonals, kings by one step; castling and en passant do not count).
bool SquareAttacked(const TChessPosition& pos, Square sq, bool byWhite);

// The square of the last king of that colour in the scan a1..h1, a2..h2, …,
// h8; -1 when there is none.
Square FindKing(const TChessPosition& pos, bool white);

// Side to move in check at rec.CurrentPly (false when that king is missing).
bool SideToMoveInCheck(const TGameRecord& rec, const TChessPosition& pos);
// Side not to move in check at rec.CurrentPly (false when that king is missing).
bool SideNotToMoveInCheck(const TGameRecord& rec, const TChessPosition& pos);

// Makes move on pos without the length limit: promotion, en-passant square of
// the position (set only when an enemy pawn stands beside the pawn's arrival
// square), en-passant capture, castling rook. Castling and side flags are not
// changed.
void MakeMove(TChessPosition& pos, const TMoveRecord& move);
// DoMove: false (nothing changed) when currentPly div 2 ≥ 198 ("Too many
// moves!"); else MakeMove and true.
bool DoMove(TChessPosition& pos, const TMoveRecord& move, int currentPly);
constexpr int kMaxMovePairs = 198; // DoMove refuses from half-move 396 on
constexpr const char* kTooManyMovesText = "Too many moves!";

// ReverseMove: takes move back on the position after it. moverIsWhite says
// which colour the pawn of a promotion was.
void ReverseMove(TChessPosition& pos, const TMoveRecord& move, bool moverIsWhite);
// The same with the mover taken from the record: White when White is not to
// move at rec.CurrentPly (the half-move count after the move).
void ReverseMove(TChessPosition& pos, const TGameRecord& rec, const TMoveRecord& move);

// Coincidencia, on the position after move: what SAN must write of the
// from-square so that it names this piece among every other piece of the same
// code that could have reached To (pins ignored): 0 when there is none, else
// kDisambiguateFile when the file alone tells them apart, else
// kDisambiguateRank when the rank alone does, else both bits.
uint8_t Coincidencia(const TGameRecord& rec, TChessPosition& pos, const TMoveRecord& move);

// The start position of a game: the set-up EPD when SetupPosition is 1 (the
// initial position when that text is refused), else the initial position.
TChessPosition StartPosition(const TGameRecord& rec);
// The position after records 1..ply made on the start position (ply cut to
// 0..MoveCount), without the length limit of DoMove.
TChessPosition PositionAtPly(const TGameRecord& rec, int ply);

} // namespace quorel::chess
