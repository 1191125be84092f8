// libFuzzer target: an EPD text from outside (a set-up position of a game
// file or a PGN FEN tag). The reader, then what the rules do on the position
// it accepts: every from/to pair through the move check, the check tests,
// and the list of moves the move entry accepts. An accepted EPD must read
// back to the same board from the text the program writes for it.
#include "chess/moveentry.h"
#include "chess/notation.h"
#include "chess/rules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace quorel::chess;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TChessPosition pos(TBoardRecord{});
    TBoardRecord board{};
    if (!pos.MakeBoardFromEPD(text, board)) {
        TBoardRecord other{};
        if (BoardFromEPD(text, other)) std::abort(); // the two readers agree
        return 0;
    }
    // The text written for the board reads back to the same board.
    const std::string epd = pos.GetEPDString();
    TBoardRecord back{};
    if (!BoardFromEPD(epd, back) || back != board) std::abort();

    TGameRecord rec;
    rec.SetupPosition = 1;
    rec.SetupEPD = std::string(text.substr(0, 89));
    rec.SetupWhiteFirst = pos.WhiteOnMove() ? 1 : 0;
    rec.Board = board;
    (void)SideToMoveInCheck(rec, pos);
    (void)SideNotToMoveInCheck(rec, pos);
    (void)FindKing(pos, true);
    (void)FindKing(pos, false);
    for (int i = 0; i < 64; ++i) {
        for (int j = 0; j < 64; ++j) {
            TMoveRecord probe;
            probe.From = int8_t(SquareOfIndex(i));
            probe.To = int8_t(SquareOfIndex(j));
            TMoveCheck check;
            (void)IsValidMove(rec, pos, probe, true, 0, &check);
            (void)IsValidMove(rec, pos, probe, false, 1, &check);
        }
    }
    std::vector<std::string> moves;
    if (!LegalMovesOfEPD(text, moves)) std::abort();
    // Each accepted move entered and shown as the move list shows it.
    for (const std::string& m : moves) {
        TGameRecord r = rec;
        TChessPosition p = pos;
        const Square from = SquareFromText(m.substr(0, 2));
        const Square to = SquareFromText(m.substr(2, 2));
        const int choice = m.size() > 4 ? int(std::string("qrbn").find(m[4])) : 0;
        TMoveEntryResult e = EnterMove(
            r, p, from, to, [choice](bool) { return choice; }, 45000.0);
        if (!e.Accepted) std::abort();
        for (int lang = kEnglish; lang <= kFrench; ++lang)
            (void)SanOfMove(r.Move(r.CurrentPly), lang);
        (void)IccfOfMove(r.Move(r.CurrentPly));
    }
    return 0;
}
