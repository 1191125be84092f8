// Writes seed game files for fuzz_gamefile into the folder given as argument:
// long games the fuzzer would not grow on its own (up to the record's 400
// half-moves), a set-up game with Black to move first, and a game with dates,
// penalties, promotions and en passant.
#include "chess/gamerecord.h"
#include "chess/moveentry.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace quorel::chess;

namespace {

void Write(const std::string& path, const TGameRecord& rec) {
    std::ofstream(path, std::ios::binary) << rec.ToFileBytes();
}

// Enters "e2e4"-style moves; stops at the first refusal.
void Play(TGameRecord& rec, TChessPosition& pos, const char* const* moves, int count, double day) {
    for (int i = 0; i < count; ++i) {
        const std::string m = moves[i];
        const int choice = m.size() > 4 ? int(std::string("qrbn").find(m[4])) : 0;
        const TMoveEntryResult r = EnterMove(
            rec, pos, SquareFromText(m.substr(0, 2)), SquareFromText(m.substr(2, 2)),
            [choice](bool) { return choice; }, day + i);
        if (!r.Accepted) return;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string dir = argv[1];

    // Knights out and back until the record is full.
    TGameRecord rec = TGameRecord::NewGame();
    TChessPosition pos;
    static const char* const kShuffle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (int i = 0; i < 396; ++i)
        Play(rec, pos, &kShuffle[i % 4], 1, 45000 + i);
    for (int k = rec.MoveCount + 1; k <= int(kMaxMoveRecords); ++k)
        rec.Move(k) = rec.Move(k - 4);
    rec.MoveCount = uint16_t(kMaxMoveRecords);
    rec.CurrentPly = 200;
    rec.Version = kGameFileVersion;
    Write(dir + "/full.QRL", rec);

    // A set-up position with Black to move first.
    TGameRecord setup = TGameRecord::NewGame();
    const char* epd = "r3k2r/1P6/8/8/3p4/8/4P3/R3K2R b KQkq - ";
    TChessPosition spos(TBoardRecord{});
    spos.MakeBoardFromEPD(epd, setup.Board);
    setup.SetupPosition = 1;
    setup.SetupEPD = epd;
    setup.SetupWhiteFirst = 0;
    static const char* const kSetup[] = {"e8g8", "e2e4", "d4e3", "b7a8n", "f8a8", "e1c1"};
    Play(setup, spos, kSetup, 6, 45100);
    setup.Version = kGameFileVersion;
    setup.MoveListLanguage = 2;
    setup.Move(2).Penalization = -3;
    Write(dir + "/setup.QRL", setup);

    // An opening with checks and captures, dates of an earlier version.
    TGameRecord open = TGameRecord::NewGame();
    TChessPosition opos;
    static const char* const kOpen[] = {"e2e4", "d7d5", "e4d5", "d8d5", "b1c3", "d5e5",
                                        "f1e2", "e5e2", "g1e2", "c7c5", "d2d4", "c5d4"};
    Play(open, opos, kOpen, 12, 45000 + 693594.0);
    open.Version = kGameFileVersion;
    Write(dir + "/open.QRL", open);
    return 0;
}
