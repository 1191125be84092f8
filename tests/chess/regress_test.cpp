// Inputs from strangers that the game window must survive: the kept fuzzer
// findings of tests/chess/regress/ (gamefile-*: game files, epd-*: EPD texts)
// and hand-built hostile game files, each taken through what the window does
// with them.
#include "chess/gamerecord.h"
#include "chess/moveentry.h"
#include "chess/notation.h"
#include "chess/rules.h"
#include "platform/binary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

using namespace quorel::chess;
namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Loads bytes as a received game file and shows it the way the game window
// does: the move list in every language, the thinking times, the board at
// every half-move, and the record saved and loaded again.
void ReplayGameFile(const std::string& bytes) {
    TGameRecord rec;
    if (!LoadFromBytes(bytes, "in.QRL", rec).Ok) return;
    ASSERT_LE(rec.MoveCount, kMaxMoveRecords);
    ASSERT_LE(rec.CurrentPly, rec.MoveCount);
    for (int k = 1; k <= rec.MoveCount; ++k) {
        for (int lang = kEnglish; lang <= kFrench; ++lang)
            EXPECT_FALSE(SanOfMove(rec.Move(k), lang).empty()) << "record " << k;
        EXPECT_FALSE(IccfOfMove(rec.Move(k)).empty());
        EXPECT_GE(ShownMoveThinkingTime(rec, k), 0);
    }
    const TThinkingTotals t = ThinkingTotals(rec);
    EXPECT_GE(t.ShownWhite(), 0);
    EXPECT_GE(t.ShownBlack(), 0);
    for (int ply = 0; ply <= rec.MoveCount; ++ply) {
        TChessPosition pos = PositionAtPly(rec, ply);
        (void)pos.GetEPDString();
        (void)SideToMoveInCheck(rec, pos);
    }
    // Plies beyond the record end at its last move.
    EXPECT_EQ(PositionAtPly(rec, 100000), PositionAtPly(rec, rec.MoveCount));
    TGameRecord again;
    ASSERT_TRUE(LoadFromBytes(rec.ToFileBytes(), "again.QRL", again).Ok);
    EXPECT_EQ(again.MoveCount, rec.MoveCount);
}

// An EPD text as a set-up position: read, written back, and every move the
// rules accept on it entered.
void ReplayEpd(const std::string& text) {
    TBoardRecord board{};
    if (!BoardFromEPD(text, board)) return;
    TBoardRecord back{};
    ASSERT_TRUE(BoardFromEPD(EPDFromBoard(board), back));
    EXPECT_EQ(back, board);
    std::vector<std::string> moves;
    ASSERT_TRUE(LegalMovesOfEPD(text, moves));
}

TEST(Regress, ReplayEveryKeptInput) {
    const fs::path dir = fs::path(QUOREL_SOURCE_DIR) / "tests/chess/regress";
    ASSERT_TRUE(fs::is_directory(dir));
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        SCOPED_TRACE(name);
        if (name.rfind("gamefile-", 0) == 0) ReplayGameFile(ReadAll(e.path()));
        if (name.rfind("epd-", 0) == 0) ReplayEpd(ReadAll(e.path()));
    }
}

// Every move field at the values furthest from a real move, in a full
// record whose shown half-move lies beyond its end and whose set-up text is
// refused: the window shows it without failing.
TEST(Regress, HostileMoveRecordsAreShown) {
    TGameRecord rec = TGameRecord::NewGame();
    rec.Version = kGameFileVersion;
    rec.SetupPosition = 1;
    rec.SetupEPD = std::string(89, '8');
    rec.MoveListLanguage = 0xFF;
    rec.MoveCount = uint16_t(kMaxMoveRecords);
    const double dates[] = {std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(), -1e300, 1e300, 45000.0};
    const int squares[] = {-128, -1, 0, 8, 77, 78, 127};
    for (int k = 1; k <= int(kMaxMoveRecords); ++k) {
        TMoveRecord& m = rec.Move(k);
        m.From = int8_t(squares[k % 7]);
        m.To = int8_t(squares[(k / 7) % 7]);
        m.Piece = uint8_t(k * 37);
        m.Promotion = uint8_t(k % 3 == 0 ? 0xFF : k);
        m.Captured = uint8_t(k * 11);
        m.Annotation = uint8_t(k);
        m.Disambiguation = 0x11;
        m.EnPassant = uint8_t(k % 2);
        m.Check = 1;
        m.Received = dates[k % 5];
        m.Replied = dates[(k / 5) % 5];
        m.Penalization = int8_t(k % 2 ? -128 : 127);
    }
    std::string bytes = rec.ToFileBytes();
    quorel::PutU16(reinterpret_cast<uint8_t*>(bytes.data()) + 545, 0xFFFF); // CurrentPly
    TGameRecord loaded;
    ASSERT_TRUE(LoadFromBytes(bytes, "hostile.QRL", loaded).Ok);
    EXPECT_EQ(loaded.CurrentPly, kMaxMoveRecords);
    // A refused set-up text starts from the initial position.
    EXPECT_EQ(StartPosition(loaded), TChessPosition());
    ReplayGameFile(bytes);
}

} // namespace
