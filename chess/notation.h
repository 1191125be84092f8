#pragma once
// Text writers and readers of the chess core: SAN in five languages, ICCF
// numeric notation, annotation symbols, and EPD.
#include "chess/position.h"

#include <string>
#include <string_view>

namespace quorel::chess {

// Move-list languages (field MoveListLanguage).
enum MoveLanguage : int { kEnglish = 0, kSpanish = 1, kGerman = 2, kItalian = 3, kFrench = 4 };

// Piece letter of kind 2..6 (knight..king) in language 0..4; "" for a pawn,
// a bad kind or a bad language (bad languages fall back to English).
std::string PieceLetter(int kind, int language);

// SAN of a stored move record in language 0..4: "O-O", "Rad1", "exd6 {e.p.}",
// "axb8=Q+". "+" only with Check set and an annotation other than "#"; the
// annotation itself is not written. The promotion letter is always English.
std::string SanOfMove(const TMoveRecord& move, int language = kEnglish);

// ICCF numeric: from and to as (file+1)(rank+1), then 1..4 for a promotion
// to queen, rook, bishop, knight ("5254", "17181").
std::string IccfOfMove(const TMoveRecord& move);

// Annotation text: 0 or 1 "", 2 "#", 3 "!", 4 "!!", 5 "?", 6 "??", 7 "?!",
// 8 "!?", 9 "*"; any other value "".
std::string AnnotationText(const TMoveRecord& move);
std::string AnnotationText(int annotation);

// EPD of a board record (TChessPosition::GetEPDString).
std::string EPDFromBoard(const TBoardRecord& board);
// Board record from EPD text (TChessPosition::MakeBoardFromEPD on an empty
// board); false leaves out untouched.
bool BoardFromEPD(std::string_view epd, TBoardRecord& out);

// Long algebraic form used by engines and qrltool: "e2e4", "e7e8q".
std::string LongAlgebraic(const TMoveRecord& move);

} // namespace quorel::chess
