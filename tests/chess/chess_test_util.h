#pragma once
// Helpers shared by the chess tests: games set up from EPD, moves entered
// the way the board does it, and hand-built file images.
#include "chess/moveentry.h"
#include "chess/notation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quorel::chess::testing {

// A game starting from epd (SetupPosition 1), at half-move 0.
inline TGameRecord SetupGame(const std::string& epd, TChessPosition& pos) {
    TGameRecord rec;
    pos = TChessPosition(TBoardRecord{});
    EXPECT_TRUE(pos.MakeBoardFromEPD(epd, rec.Board)) << epd;
    rec.SetupPosition = 1;
    rec.SetupEPD = epd;
    rec.SetupWhiteFirst = pos.WhiteOnMove() ? 1 : 0;
    return rec;
}

// Enters a move written "e2e4" / "a7a8n" through the move entry; returns its result.
inline TMoveEntryResult Enter(TGameRecord& rec, TChessPosition& pos, const std::string& move,
                              double now = 45000.5) {
    const Square from = SquareFromText(move.substr(0, 2));
    const Square to = SquareFromText(move.substr(2, 2));
    int choice = 0;
    if (move.size() > 4) {
        const std::string kinds = "qrbn";
        choice = int(kinds.find(move[4]));
    }
    return EnterMove(
        rec, pos, from, to, [choice](bool) { return choice; }, now);
}

// Enters every move of a blank-separated list; fails the test on a refusal.
inline void Play(TGameRecord& rec, TChessPosition& pos, const std::string& moves) {
    size_t at = 0;
    while (at < moves.size()) {
        size_t end = moves.find(' ', at);
        if (end == std::string::npos) end = moves.size();
        const std::string m = moves.substr(at, end - at);
        if (!m.empty()) {
            ASSERT_TRUE(Enter(rec, pos, m).Accepted) << "move " << m;
        }
        at = end + 1;
    }
}

// Hand-built byte images, written field by field at fixed offsets.
struct Bytes {
    std::string b;
    explicit Bytes(size_t n) : b(n, '\0') {}
    // string[n] from raw Windows-1252 bytes.
    Bytes& Str(size_t at, const std::string& cp, size_t lengthByte = std::string::npos) {
        b[at] = char(lengthByte == std::string::npos ? cp.size() : lengthByte);
        std::memcpy(&b[at + 1], cp.data(), cp.size());
        return *this;
    }
    Bytes& U8(size_t at, uint8_t v) {
        b[at] = char(v);
        return *this;
    }
    Bytes& U16(size_t at, uint16_t v) {
        b[at] = char(v & 0xFF);
        b[at + 1] = char(v >> 8);
        return *this;
    }
    Bytes& F64(size_t at, double v) {
        std::memcpy(&b[at], &v, 8);
        return *this;
    }
    Bytes& Raw(size_t at, const void* p, size_t n) {
        std::memcpy(&b[at], p, n);
        return *this;
    }
};

} // namespace quorel::chess::testing
