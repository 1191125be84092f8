// PGN files from anywhere: the kept fuzzer findings of tests/pgn/regress/
// (reader-*) and hand-written hostile files are read game by game, each game
// converted and its record written and read back, as an import does.
#include "chess/gamerecord.h"
#include "chess/notation.h"
#include "chess/rules.h"
#include "pgn/reader.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace quorel::pgn {
namespace {

namespace ch = quorel::chess;

// Reads every game of the file at path; returns how many there were.
long ReplayFile(const fs::path& path) {
    TPGNReader reader;
    EXPECT_TRUE(reader.OpenFile(path));
    long games = 0;
    while (reader.ReadNextGame(true)) {
        ++games;
        EXPECT_TRUE(reader.BuildGameRecord());
        const ch::TGameRecord& rec = reader.GameRecord;
        EXPECT_LE(rec.MoveCount, ch::kMaxMoveRecords);
        for (int k = 1; k <= rec.MoveCount; ++k)
            EXPECT_FALSE(ch::SanOfMove(rec.Move(k)).empty());
        (void)ch::PositionAtPly(rec, rec.MoveCount);
        ch::TGameRecord back;
        EXPECT_TRUE(ch::LoadFromBytes(rec.ToFileBytes(), "import.QRL", back).Ok);
        EXPECT_EQ(back.MoveCount, rec.MoveCount);
    }
    // The listing without moves counts the same games.
    long listed = 0;
    EXPECT_TRUE(reader.SeekGame(0, false));
    while (reader.ReadNextGame(false))
        ++listed;
    EXPECT_EQ(listed, games);
    return games;
}

TEST(Regress, ReplayEveryKeptInput) {
    const fs::path dir = fs::path(QUOREL_SOURCE_DIR) / "tests/pgn/regress";
    ASSERT_TRUE(fs::is_directory(dir));
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().rfind("reader-", 0) != 0) continue;
        SCOPED_TRACE(e.path().filename().string());
        ReplayFile(e.path());
    }
}

TEST(Regress, HostileGamesAreReadAndCut) {
    // Tokens the move library must refuse without harm, a FEN tag the
    // position readers refuse, bytes that are no text, and lone brackets.
    test::TempDir dir;
    const std::string text = std::string("[Event \"tokens\"]\n\n1.e4 e5 2.Qa1b2c3d4 *\n\n") +
                             "[Event \"promotion\"]\n\n1.exd8= *\n\n" +
                             "[Event \"castling\"]\n\n1.O-O-O-O *\n\n" +
                             "[Event \"fen\"]\n[FEN \"9/9/9 x KQkq z9\"]\n\n1.e4 *\n\n" +
                             "[Event \"bytes\"]\n\n1.e4 \xff\xfe" + std::string(3, '\0') +
                             " e5 *\n\n" + "[\n[\"\n[Event \"" + std::string(300, '"') + "\n";
    test::WriteFile(dir / "hostile.pgn", text);
    EXPECT_EQ(ReplayFile(dir / "hostile.pgn"), 5) << "the file ends inside the last tag section";
    TPGNReader reader;
    ASSERT_TRUE(reader.OpenFile(dir / "hostile.pgn"));
    const int expected[] = {2, 0, 0, 0, 1};
    for (int moves : expected) {
        ASSERT_TRUE(reader.ReadNextGame(true));
        SCOPED_TRACE(reader.Event);
        reader.BuildGameRecord();
        EXPECT_EQ(reader.GameRecord.MoveCount, moves);
        EXPECT_FALSE(reader.ParseError.empty());
    }
}

} // namespace
} // namespace quorel::pgn
