// Move entry on the board (DiagramMouseUp without the window) and the list of
// moves the rules accept.
#include "chess/moveentry.h"

#include "chess/notation.h"

#include <algorithm>

namespace quorel::chess {

TMoveEntryResult EnterMove(TGameRecord& rec, TChessPosition& pos, Square from, Square to,
                           const PromotionChooser& choosePromotion, double now) {
    TMoveEntryResult result;
    TMoveRecord move;
    move.From = int8_t(from);
    move.To = int8_t(to);
    TMoveCheck check;
    if (!IsValidMove(rec, pos, move, true, rec.CurrentPly, &check)) {
        if (!check.Refusal.Key.empty()) result.Messages.push_back(check.Refusal);
        return result;
    }
    const TGameRecord savedRecord = rec;
    const TChessPosition savedPosition = pos;

    move.Piece = uint8_t(pos.PieceOnSquare(from));
    move.Captured = uint8_t(pos.PieceOnSquare(to));
    const bool white = IsWhitePiece(move.Piece);
    if (PieceKind(move.Piece) == 1 && (RankOf(to) == 7 || RankOf(to) == 0)) {
        const int choice = choosePromotion ? choosePromotion(white) : 0;
        static constexpr int kKinds[4] = {5, 4, 3, 2}; // Queen, Rook, Bishop, Knight
        if (choice < 0 || choice > 3) return result;
        move.Promotion = uint8_t(MakePiece(kKinds[choice], white));
    }
    move.EnPassant = check.EnPassant ? 1 : 0;
    if (!DoMove(pos, move, rec.CurrentPly)) {
        result.Messages.push_back({"", kTooManyMovesText, ""});
        return result;
    }

    rec.Board = pos.GetBoard();
    rec.CurrentPly = uint16_t(rec.CurrentPly + 1);
    rec.MoveCount = rec.CurrentPly;
    // Records after the new one are dropped.
    std::fill(rec.Moves.begin() + rec.MoveCount, rec.Moves.end(), TMoveRecord{});
    move.Disambiguation = Coincidencia(rec, pos, move);
    move.Received = move.Replied = now;
    move.Penalization = 0;
    rec.Move(rec.CurrentPly) = move;
    rec.Move(rec.CurrentPly).Check = SideToMoveInCheck(rec, pos) ? 1 : 0;

    if (SideNotToMoveInCheck(rec, pos)) {
        result.Messages.push_back({"@KingWouldBeInCheck", "", ""});
        ReverseMove(pos, rec, move);
        rec = savedRecord;
        pos = savedPosition; // ReverseMove does not bring back the en-passant square
        return result;
    }
    result.Accepted = true;
    return result;
}

std::vector<std::string> LegalMoves(const TGameRecord& rec, const TChessPosition& pos) {
    std::vector<std::string> out;
    const bool white = WhiteToMove(rec);
    for (int i = 0; i < 64; ++i) {
        const Square from = SquareOfIndex(i);
        const int piece = pos.PieceOnSquare(from);
        if (piece == 0 || IsWhitePiece(piece) != white) continue;
        for (int j = 0; j < 64; ++j) {
            const Square to = SquareOfIndex(j);
            TMoveRecord probe;
            probe.From = int8_t(from);
            probe.To = int8_t(to);
            if (!IsValidMove(rec, pos, probe, true, rec.CurrentPly)) continue;
            const bool promotes = PieceKind(piece) == 1 && (RankOf(to) == 7 || RankOf(to) == 0);
            for (int choice = 0; choice < (promotes ? 4 : 1); ++choice) {
                TGameRecord r = rec;
                TChessPosition p = pos;
                TMoveEntryResult e = EnterMove(
                    r, p, from, to, [choice](bool) { return choice; }, 0.0);
                if (e.Accepted) out.push_back(LongAlgebraic(r.Move(r.CurrentPly)));
            }
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool LegalMovesOfEPD(std::string_view epd, std::vector<std::string>& moves) {
    TChessPosition pos(TBoardRecord{});
    TBoardRecord board{};
    if (!pos.MakeBoardFromEPD(epd, board)) return false;
    TGameRecord rec;
    rec.SetupPosition = 1;
    rec.SetupEPD = std::string(epd.substr(0, 89));
    rec.SetupWhiteFirst = pos.WhiteOnMove() ? 1 : 0;
    rec.Board = board;
    moves = LegalMoves(rec, pos);
    return true;
}

} // namespace quorel::chess
