#pragma once
// Game files for the composer tests, built byte by byte at the file's
// offsets (the board field from an EPD text), and loaded with the program's
// own loader as the game window would.
#include "chess/gamerecord.h"
#include "tests/chess/chess_test_util.h"

#include <string>
#include <vector>

namespace composetest {

using quorel::chess::testing::Bytes;

// One move record; squares as rank × 10 + file, pieces as piece codes.
struct Mv {
    int from = 0, to = 0, piece = 0;
    int captured = 0, promotion = 0, annotation = 0, check = 0;
    double received = 0, replied = 0;
    int penalization = 0;
};

// Header fields; strings are Windows-1252 bytes as the file holds them.
struct Header {
    std::string event, site, date, round, white, black, result = "*";
    std::string whiteAddress, blackAddress, whiteElo, blackElo, eco, whiteCountry, blackCountry;
    int setup = 0, whiteFirst = 0;
    std::string setupEpd;
    std::string boardEpd = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
    int currentPly = -1; // -1: the last move
    int format = 0, dates = 0, diagram = 0, language = 0, signature = 0, gameFile = 0;
    std::string ifMove;
};

inline std::string GameFileBytes(const Header& h, const std::vector<Mv>& moves) {
    Bytes f(676 + moves.size() * 42);
    quorel::chess::TBoardRecord board{};
    quorel::chess::TChessPosition pos(board);
    EXPECT_TRUE(pos.MakeBoardFromEPD(h.boardEpd, board)) << h.boardEpd;
    f.Str(0, "QRL300")
        .Str(7, h.event)
        .Str(48, h.site)
        .Str(89, h.date)
        .Str(130, h.round)
        .Str(133, h.white)
        .Str(174, h.black)
        .Str(215, h.result)
        .Str(226, h.whiteAddress)
        .Str(307, h.blackAddress)
        .Str(388, h.whiteElo)
        .Str(393, h.blackElo)
        .Str(398, h.eco)
        .Str(409, h.whiteCountry)
        .Str(413, h.blackCountry)
        .U8(417, uint8_t(h.setup))
        .Str(418, h.setupEpd)
        .U8(508, uint8_t(h.whiteFirst))
        .Raw(509, board.data(), 34)
        .U16(543, uint16_t(moves.size()))
        .U16(545, uint16_t(h.currentPly < 0 ? moves.size() : size_t(h.currentPly)))
        .U8(557, uint8_t(h.format))
        .U8(558, uint8_t(h.dates))
        .U8(560, uint8_t(h.diagram))
        .U8(561, uint8_t(h.language))
        .U8(563, uint8_t(h.signature))
        .U8(564, uint8_t(h.gameFile))
        .Str(575, h.ifMove);
    for (size_t i = 0; i < moves.size(); ++i) {
        const Mv& m = moves[i];
        const size_t at = 676 + i * 42;
        f.U8(at, uint8_t(m.from))
            .U8(at + 1, uint8_t(m.to))
            .U8(at + 2, uint8_t(m.promotion))
            .U8(at + 3, uint8_t(m.annotation))
            .U8(at + 4, uint8_t(m.piece))
            .U8(at + 5, uint8_t(m.captured))
            .U8(at + 8, uint8_t(m.check))
            .F64(at + 18, m.received)
            .F64(at + 26, m.replied)
            .U8(at + 34, uint8_t(int8_t(m.penalization)));
    }
    return f.b;
}

inline quorel::chess::TGameRecord LoadGame(const Header& h, const std::vector<Mv>& moves) {
    quorel::chess::TGameRecord rec;
    auto r = quorel::chess::LoadFromBytes(GameFileBytes(h, moves), "TEST.QRL", rec);
    EXPECT_TRUE(r.Ok);
    return rec;
}

} // namespace composetest
