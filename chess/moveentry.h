#pragma once
// Move entry: what the game window does when the player drops a piece on the
// board (DiagramMouseUp), without any window. The window copies its fields
// into the record first (GetData), calls EnterMove, shows the returned
// messages, and on acceptance refreshes its fields (Setdata), marks the game
// modified and rebuilds the move list.
#include "chess/gamerecord.h"
#include "chess/position.h"
#include "chess/rules.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::chess {

// The promotion dialog: called with the mover's colour; returns 0 "Queen",
// 1 "Rook", 2 "Bishop", 3 "Knight", or -1 when the player cancels (the move
// is then refused like an invalid one). An empty chooser promotes to a queen.
using PromotionChooser = std::function<int(bool white)>;

struct TMoveEntryResult {
    bool Accepted = false;              // the move was made and stored as record rec.CurrentPly
    std::vector<TUserMessage> Messages; // to show, in order: "@KingInCheck",
                                        // "@KingHasBeenMoved", "@KingWouldBeInCheck",
                                        // or the literal "Too many moves!"
};

// Enters the move from → to on pos and rec: checks it (side to move, rules),
// asks for a promotion piece, makes it, stores it as record CurrentPly + 1
// (later records dropped: MoveCount := CurrentPly) with Received = Replied =
// now, Penalization 0, disambiguation and check flag, and Board := pos.
// A refused move leaves pos and rec exactly as they were.
TMoveEntryResult EnterMove(TGameRecord& rec, TChessPosition& pos, Square from, Square to,
                           const PromotionChooser& choosePromotion, double now);

// Every move the rules accept for the side to move of an EPD position, with
// the EPD's castling rights and no move history, as sorted long algebraic
// texts (a promotion gives four: q, r, b, n). False when the EPD is refused.
bool LegalMovesOfEPD(std::string_view epd, std::vector<std::string>& moves);

// The same for the side to move at rec.CurrentPly on pos (rec and pos are
// left as they were).
std::vector<std::string> LegalMoves(const TGameRecord& rec, const TChessPosition& pos);

} // namespace quorel::chess
