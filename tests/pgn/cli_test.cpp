// qrltool pgn list / import / export, run as a program.
#include "chess/gamerecord.h"
#include "pgn/writer.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace quorel::pgn {
namespace {

using test::ReadFile;
using test::RunCommand;
using test::TempDir;
using test::WriteFile;

const char* kTwoGames = "[Event \"Open\"]\n[Site \"Linares\"]\n[Date \"1991.02.23\"]\n"
                        "[White \"Kasparov, Garry\"]\n[Black \"Karpov, Anatoly\"]\n"
                        "[Result \"1-0\"]\n[ECO \"B80\"]\n\n1.e4 c5 2.Nf3 d6 1-0\n\n"
                        "[Event \"Open\"]\n[Site \"Wijk\"]\n[White \"Tal, Mikhail\"]\n"
                        "[Black \"Smyslov, Vasily\"]\n[Result \"*\"]\n\n1.d4 Zf6 *\n";

std::string Tool() {
    return std::string(QRLTOOL_PATH);
}

TEST(QrlToolPgn, ListPrintsRowsAndSummary) {
    TempDir dir;
    WriteFile(dir / "g.pgn", kTwoGames);
    int status = 0;
    std::string out = RunCommand(Tool() + " pgn list " + (dir / "g.pgn").string(), &status);
    EXPECT_EQ(status, 0);
    std::string row1 = "1\tLinares   \tOpen" + std::string(26, ' ') + "\tKasparov, Garry" +
                       std::string(15, ' ') + "\tKarpov, Anatoly" + std::string(15, ' ') +
                       "\t1-0       \t1991.02.23\tB80\n";
    std::string row2 = "2\tWijk      \tOpen" + std::string(26, ' ') + "\tTal, Mikhail" +
                       std::string(18, ' ') + "\tSmyslov, Vasily" + std::string(15, ' ') +
                       "\t*         \t?         \t?\n";
    EXPECT_EQ(out, row1 + row2 + "2 games\n");

    out = RunCommand(Tool() + " pgn list " + (dir / "g.pgn").string() + " --white Tal", &status);
    EXPECT_EQ(out, row2 + "1 games\n");
    out = RunCommand(Tool() + " pgn list " + (dir / "g.pgn").string() +
                         " --and --white Tal --site Linares",
                     &status);
    EXPECT_EQ(out, "0 games\n");
    RunCommand(Tool() + " pgn list " + (dir / "none.pgn").string() + " 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
}

TEST(QrlToolPgn, ImportWritesGameFilesAndReportsErrors) {
    TempDir dir;
    WriteFile(dir / "g.pgn", kTwoGames);
    int status = 0;
    std::string out = RunCommand(Tool() + " pgn import " + (dir / "g.pgn").string() + " --to " +
                                     (dir / "games").string(),
                                 &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "1\tKASPAROV  GARRY - KARPOV  ANATOLY (1).QRL\t4\tok\n"
                   "2\tTAL  MIKHAIL - SMYSLOV  VASILY (1).QRL\t1\t"
                   "Error parsing  Move Num   : 1 Move       : [Zf6]\n");
    chess::TGameRecord rec;
    ASSERT_TRUE(
        chess::ReadGameHeader(dir / "games", "KASPAROV  GARRY - KARPOV  ANATOLY (1).QRL", rec));
    EXPECT_EQ(rec.MoveCount, 4);
    EXPECT_EQ(rec.ECO, "B80");

    // One game, again: the next free number; a dry run writes nothing.
    out = RunCommand(Tool() + " pgn import " + (dir / "g.pgn").string() + " --game 1 --to " +
                         (dir / "games").string(),
                     &status);
    EXPECT_EQ(out, "1\tKASPAROV  GARRY - KARPOV  ANATOLY (2).QRL\t4\tok\n");
    out = RunCommand(Tool() + " pgn import " + (dir / "g.pgn").string() + " --dry-run --to " +
                         (dir / "dry").string(),
                     &status);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(fs::exists(dir / "dry"));

    // Export: an empty line before each game, to standard output or a file.
    fs::path game = dir / "games" / "KASPAROV  GARRY - KARPOV  ANATOLY (1).QRL";
    out = RunCommand(Tool() + " pgn export '" + game.string() + "' 2>/dev/null", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, PGNTextBytes("\r\n" + PGNGameText(rec)));
    RunCommand(Tool() + " pgn export '" + game.string() + "' '" + game.string() + "' --to " +
                   (dir / "out.pgn").string() + " 2>/dev/null",
               &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(dir / "out.pgn"),
              PGNTextBytes("\r\n" + PGNGameText(rec) + "\r\n" + PGNGameText(rec)));
    RunCommand(Tool() + " pgn export '" + game.string() + "' --to " +
                   (dir / "g.pgn" / "x.pgn").string() + " 2>/dev/null",
               &status);
    EXPECT_EQ(status, 1) << "a write error is reported";
}

} // namespace
} // namespace quorel::pgn
