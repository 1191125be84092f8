// Untrusted input: game files, previous-format files and EPD texts from
// outside are read without crashing, and what is accepted is consistent.
// Fixed seeds keep every run the same; run under the sanitizer preset these
// rows double as a small fuzzing pass.
#include "chess/gamerecord.h"
#include "chess/moveentry.h"
#include "chess/notation.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace quorel::chess;

std::string ValidGameBytes() {
    TGameRecord rec = TGameRecord::NewGame();
    TChessPosition pos;
    rec.White = "White";
    rec.Version = kGameFileVersion;
    const Square moves[][2] = {{14, 34}, {64, 44}, {6, 25}, {71, 52}, {5, 41}, {60, 50}};
    for (const auto& m : moves)
        EXPECT_TRUE(EnterMove(rec, pos, m[0], m[1], nullptr, 45000).Accepted);
    return rec.ToFileBytes();
}

TEST(Robustness, MutatedGameFilesLoadConsistentlyOrAreRefused) {
    const std::string valid = ValidGameBytes();
    std::mt19937 rng(7);
    int accepted = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string bytes = valid;
        const int edits = 1 + int(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t at = rng() % bytes.size();
            // Favour the counts and the move records, where the loader must stay in bounds.
            const size_t hot[] = {543, 544, 545, 546, at};
            bytes[hot[rng() % 5]] = char(rng());
        }
        if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
        TGameRecord rec;
        const TLoadResult r = LoadFromBytes(bytes, "x.qrl", rec);
        if (!r.Ok) {
            EXPECT_EQ(r.Messages.size(), 1u);
            continue;
        }
        ++accepted;
        ASSERT_LE(rec.MoveCount, kMaxMoveRecords);
        ASSERT_LE(rec.CurrentPly, rec.MoveCount);
        ASSERT_GE(bytes.size(), kGameHeaderSize + rec.MoveCount * TMoveRecord::kSize);
        // What was accepted writes out and reads back to the same header.
        TGameRecord again;
        ASSERT_TRUE(LoadFromBytes(rec.ToFileBytes(), "y.qrl", again).Ok);
        EXPECT_EQ(again.HeaderBytes(), rec.HeaderBytes());
        for (int k = 1; k <= rec.MoveCount; ++k) {
            (void)SanOfMove(rec.Move(k), k % 5);
            (void)IccfOfMove(rec.Move(k));
        }
        (void)ThinkingTotals(rec);
        (void)EPDFromBoard(rec.Board);
    }
    EXPECT_GT(accepted, 100) << "the mutations should not all hit the version mark";
}

TEST(Robustness, RandomPreviousFormatBlocks) {
    std::mt19937 rng(11);
    for (int i = 0; i < 500; ++i) {
        std::string old(2745, '\0');
        for (char& c : old)
            c = char(rng());
        old.replace(0, 7, "\x06QUOREL");
        std::string out;
        const unsigned count = unsigned(uint8_t(old[2651])) | unsigned(uint8_t(old[2652])) << 8;
        EXPECT_EQ(ConvertOldGameBytes(old, out), count <= 200);
        if (count > 200) continue;
        TGameRecord rec;
        EXPECT_TRUE(LoadFromBytes(out, "c.qrl", rec).Ok);
        EXPECT_EQ(rec.MoveCount, count);
    }
}

TEST(Robustness, RandomEpdTextsRoundTripOrFail) {
    std::mt19937 rng(3);
    const std::string pieces = "pnbrqkPNBRQK";
    const char* sides[] = {"w", "b", "x", ""};
    const char* eps[] = {"-", "e3", "d6", "a9", "h3", "c6", ""};
    int accepted = 0;
    for (int i = 0; i < 1500; ++i) {
        // A placement of eight ranks of random pieces and empty runs, then
        // random fields; some texts are cut or have a character replaced.
        std::string text;
        for (int rank = 0; rank < 8; ++rank) {
            int file = 0;
            while (file < 8) {
                if (rng() % 3 == 0) {
                    const int run = 1 + int(rng() % unsigned(8 - file));
                    text += char('0' + run);
                    file += run;
                } else {
                    text += pieces[rng() % pieces.size()];
                    ++file;
                }
            }
            if (rank < 7) text += '/';
        }
        std::string castling;
        for (char c : std::string("KQkq"))
            if (rng() % 2) castling += c;
        text += std::string(" ") + sides[rng() % 4] + " " + (castling.empty() ? "-" : castling) +
                " " + eps[rng() % 7];
        if (rng() % 5 == 0) text.resize(rng() % text.size());
        if (!text.empty() && rng() % 5 == 0) text[rng() % text.size()] = "x9/ 0"[rng() % 5];
        TBoardRecord board{};
        if (!BoardFromEPD(text, board)) continue;
        ++accepted;
        TBoardRecord again{};
        ASSERT_TRUE(BoardFromEPD(EPDFromBoard(board), again)) << text;
        EXPECT_EQ(again, board) << text;
        // Whatever the position, the move list is made without crashing, and
        // every listed move is accepted by the move entry.
        std::vector<std::string> moves;
        ASSERT_TRUE(LegalMovesOfEPD(text, moves));
    }
    EXPECT_GT(accepted, 300);
}

} // namespace
