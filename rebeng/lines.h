#pragma once
// The texts the library hands out: analysis lines, evaluations and the
// variations of the game-analysis report.
#include "rebeng/game_text.h"
#include "rebeng/uci_engine.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quorel::rebeng {

// Longest analysis line handed out (the caller's buffer holds 400 bytes).
constexpr size_t kMaxLineLength = 399;

// Search time as minutes and seconds: 3 400 ms → "00:03", 754 000 → "12:34".
std::string ClockText(long long ms);

// Centipawns as pawns with a sign and two decimals: 31 → "+0.31", -125 →
// "-1.25", 0 → "+0.00".
std::string PawnsText(int centipawns);

// The analysis line of a search report on the position root:
//   depth ". " time " " score "  " variation      12. 00:03 +0.31  Ng1-f3 Ng8-f6
//   depth ". " time " Mate in N moves " variation  9. 00:01 Mate in 2 moves Qd1-h5 g7-g6
// Scores are in pawns from White's point of view; "Mated in N moves" when
// the side to move is the one mated. Moves are written long with English
// piece letters (LongMoveText), castling as the king's move, each followed by
// a blank. The variation is cut at a whole move so that the line has at most
// kMaxLineLength characters.
// elapsedMs stands in when the engine gave no time.
std::string FormatAnalysisLine(const SearchInfo& info, const GameWalker& root, long long elapsedMs);

// The line shown when the position has no move: "Draw by stalemate" or
// "Checkmate, no move to analyse".
std::string GameOverLine(bool inCheck);

// An evaluation for the report, from White's point of view: "+0.31",
// "-1.25", "+M3" (White mates in 3), "-M2" (Black mates in 2). score is the
// engine's, from the side to move's view.
std::string EvalText(bool mate, int score, bool whiteToMove);

// The mark the report gives a move by what it loses against the engine's
// move, both scores the engine's from the mover's view (mate scores in
// moves): "??" when it loses 3 pawns or more or walks into a mate the best
// move avoids, "?" when it loses 1 pawn or more, else "".
std::string MoveMark(bool bestMate, int bestScore, bool playedMate, int playedScore);

// A variation in SAN with move numbers from root: "3.Bb5 a6 4.Ba4 Nf6" or
// "3...a6 4.Ba4"; at most maxPlies half-moves; stops at the first move that
// is not legal.
std::string SanLine(const GameWalker& root, const std::vector<std::string>& pv, size_t maxPlies);

} // namespace quorel::rebeng
