// libFuzzer target: a game file received from an opponent. The loader, then
// what the game window does with a loaded record: the position at every
// half-move, each move's SAN in the five move-list languages and its ICCF
// text, the thinking times, and the record written back and read again. The
// same bytes also go through the conversion of previous-format files. Any
// crash, hang or sanitizer report is a finding; keep the input in
// tests/chess/regress/.
#include "chess/gamerecord.h"
#include "chess/notation.h"
#include "chess/rules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quorel::chess;

namespace {

void ShowRecord(const TGameRecord& rec) {
    // The move list: every record in every language.
    for (int k = 1; k <= rec.MoveCount; ++k) {
        const TMoveRecord& m = rec.Move(k);
        for (int lang = kEnglish; lang <= kFrench; ++lang)
            (void)SanOfMove(m, lang);
        (void)SanOfMove(m, rec.MoveListLanguage);
        (void)IccfOfMove(m);
        (void)LongAlgebraic(m);
        (void)AnnotationText(m);
        (void)ShownMoveThinkingTime(rec, k);
        (void)IsWhitesRecord(rec, k);
    }
    const TThinkingTotals t = ThinkingTotals(rec);
    (void)t.ShownWhite();
    (void)t.ShownBlack();
    (void)FullMoveCount(rec.MoveCount);

    // Stepping through the game: the board at every half-move.
    for (int ply = 0; ply <= rec.MoveCount; ++ply) {
        TChessPosition pos = PositionAtPly(rec, ply);
        (void)pos.GetEPDString();
        TGameRecord at = rec;
        at.CurrentPly = uint16_t(ply);
        (void)SideToMoveInCheck(at, pos);
        (void)SideNotToMoveInCheck(at, pos);
        if (ply > 0) {
            // Taking the move back, as the window's "previous move" does.
            ReverseMove(pos, at, rec.Move(ply));
        }
    }
    (void)EPDFromBoard(rec.Board);
    (void)StartPosition(rec).GetEPDString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TGameRecord rec;
    TLoadResult r = LoadFromBytes(bytes, "fuzz.QRL", rec);
    if (r.Ok) {
        if (rec.MoveCount > kMaxMoveRecords || rec.CurrentPly > rec.MoveCount) std::abort();
        ShowRecord(rec);
        // Saved and read again: a loaded record always makes a valid file.
        TGameRecord again;
        if (!LoadFromBytes(rec.ToFileBytes(), "again.QRL", again).Ok) std::abort();
        if (again.MoveCount != rec.MoveCount) std::abort();
    }
    // Previous-format files go through the converter, then the loader.
    std::string converted;
    if (ConvertOldGameBytes(bytes, converted)) {
        TGameRecord old;
        if (!LoadFromBytes(converted, "old.QRL", old).Ok) std::abort();
        ShowRecord(old);
    }
    return 0;
}
