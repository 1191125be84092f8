// The PGN writer: exact game text, the three targets, write errors, and the
// round trip reader -> game file -> writer -> reader.
#include "chess/moveentry.h"
#include "chess/notation.h"
#include "pgn/reader.h"
#include "pgn/writer.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quorel::pgn {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
namespace ch = quorel::chess;

// A game record from PGN text through the reader.
ch::TGameRecord FromPgn(const std::string& text) {
    TempDir dir;
    WriteFile(dir / "g.pgn", text);
    TPGNReader r;
    EXPECT_TRUE(r.OpenFile(dir / "g.pgn"));
    EXPECT_TRUE(r.ReadNextGame(true));
    r.BuildGameRecord();
    EXPECT_EQ(r.ParseError, "");
    return r.GameRecord;
}

std::string Tags(const char* result, const char* fen = nullptr) {
    std::string t = "[Event \"E\"]\r\n[Site \"S\"]\r\n[Date \"2024.01.02\"]\r\n[Round \"3\"]\r\n"
                    "[White \"W\"]\r\n[Black \"B\"]\r\n[Result \"" +
                    std::string(result) + "\"]\r\n";
    if (fen) t += "[FEN \"" + std::string(fen) + "\"]\r\n";
    return t + "\r\n";
}

ch::TGameRecord Game(const std::string& moves, const char* result = "*",
                     const char* fen = nullptr) {
    std::string pgn = "[Event \"E\"]\n[Site \"S\"]\n[Date \"2024.01.02\"]\n[Round \"3\"]\n"
                      "[White \"W\"]\n[Black \"B\"]\n[Result \"" +
                      std::string(result) + "\"]\n";
    if (fen) pgn += "[FEN \"" + std::string(fen) + "\"]\n";
    return FromPgn(pgn + "\n" + moves + "\n");
}

TEST(PGNPlayerName, Table) {
    const std::pair<const char*, const char*> cases[] = {
        {"Garry Kasparov", "Kasparov, Garry"},
        {"Jose Raul Capablanca", "Raul Capablanca, Jose"},
        {"Kasparov, Garry", "Kasparov, Garry"},
        {"Kasparov", "Kasparov"},
        {"Van der Wiel, John", "Van der Wiel, John"},
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(PGNPlayerName(in), out) << in;
}

TEST(PGNGameText, ExactText) {
    struct Case {
        const char* name;
        ch::TGameRecord rec;
        std::string expected;
    };
    std::string twelve = "1.Nf3 Nf6 2.Ng1 Ng8 3.Nf3 Nf6 4.Ng1 Ng8 5.Nf3 Nf6 6.Ng1 Ng8";
    ch::TGameRecord noResult = Game("*");
    noResult.Result = "";
    // PGN is written with English piece letters whatever the move list shows.
    ch::TGameRecord german = Game("1.e4 e5 2.Nf3 Nc6 3.Bb5 a6 4.O-O *");
    german.MoveListLanguage = ch::kGerman;
    german.Date = "";
    std::string germanText = Tags("*") + "1.e4 e5 2.Nf3 Nc6 3.Bb5 a6 4.O-O  *\r\n";
    germanText.replace(germanText.find("2024.01.02"), 10, "????.??.??");
    const Case cases[] = {
        {"four half-moves", Game("1.e4 e5 2.Nf3 Nc6 *"), Tags("*") + "1.e4 e5 2.Nf3 Nc6  *\r\n"},
        {"no moves and no result", noResult,
         "[Event \"E\"]\r\n[Site \"S\"]\r\n[Date \"2024.01.02\"]\r\n[Round \"3\"]\r\n"
         "[White \"W\"]\r\n[Black \"B\"]\r\n[Result \"\"]\r\n\r\n *\r\n"},
        {"no moves with a result", Game("1-0", "1-0"), Tags("1-0") + " 1-0\r\n"},
        {"exactly twelve half-moves", Game(twelve + " 1/2-1/2", "1/2-1/2"),
         Tags("1/2-1/2") + "1.Nf3 Nf6 2.Ng1 Ng8 3.Nf3 Nf6 4.Ng1 Ng8 5.Nf3 Nf6 6.Ng1 Ng8 \r\n"
                           " 1/2-1/2\r\n"},
        {"thirteen half-moves", Game(twelve + " 7.e4 *"),
         Tags("*") + "1.Nf3 Nf6 2.Ng1 Ng8 3.Nf3 Nf6 4.Ng1 Ng8 5.Nf3 Nf6 6.Ng1 Ng8 \r\n7.e4  *\r\n"},
        {"black moved first", Game("1... Kd7 2.e4 Ke6 *", "*", "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1"),
         Tags("*", "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1") + "Kd7 2.e4 Ke6  *\r\n"},
        {"white moved first in a set-up", Game("1.e4 Kd7 *", "*", "4k3/8/8/8/8/8/4P3/4K3 w - -"),
         Tags("*", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1") + "1.e4 Kd7  *\r\n"},
        {"german move list, unknown date", german, germanText},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PGNGameText(c.rec), c.expected) << c.name;

    // The names given win over the record's, and are rearranged.
    ch::TGameRecord rec = Game("1.d4 *");
    std::string text = PGNGameText(rec, "Mikhail Tal", "Smyslov, Vasily");
    EXPECT_NE(text.find("[White \"Tal, Mikhail\"]\r\n[Black \"Smyslov, Vasily\"]\r\n"),
              std::string::npos);
}

TEST(PGNExport, TargetsAndFraming) {
    TempDir dir;
    ch::TGameRecord rec = Game("1.e4 e5 *");
    rec.White = "J\xc3\xbcrgen M\xc3\xbcller";
    const std::string text = PGNGameText(rec, rec.White, rec.Black);
    const std::string bytes = PGNTextBytes(text);
    EXPECT_NE(bytes.find("[White \"M\xfcller, J\xfcrgen\"]"), std::string::npos)
        << "files are written in Windows-1252";

    // File export: the game text and one empty line; overwrite or append.
    fs::path f = dir / "out.pgn";
    ASSERT_TRUE(ExportGameToFile(f, rec, rec.White, rec.Black, true).Ok);
    EXPECT_EQ(ReadFile(f), bytes + "\r\n");
    ASSERT_TRUE(ExportGameToFile(f, rec, rec.White, rec.Black, false).Ok);
    EXPECT_EQ(ReadFile(f), bytes + "\r\n" + bytes + "\r\n");
    ASSERT_TRUE(ExportGameToFile(f, rec, rec.White, rec.Black, true).Ok);
    EXPECT_EQ(ReadFile(f), bytes + "\r\n");

    // Clipboard: exactly the game text.
    std::string clip;
    ASSERT_TRUE(WriteClipboardFile(dir.path(), rec, rec.White, rec.Black, &clip).Ok);
    EXPECT_EQ(ReadFile(dir / "clipbrd.pgn"), bytes);
    EXPECT_EQ(clip, text);

    // Write errors are reported, for both ways of writing.
    WriteFile(dir / "plain", "x");
    for (bool overwrite : {true, false}) {
        TWriteResult w = ExportGameToFile(dir / "plain" / "out.pgn", rec, "a", "b", overwrite);
        EXPECT_FALSE(w.Ok);
        EXPECT_FALSE(w.Error.empty());
    }
    EXPECT_FALSE(WriteClipboardFile(dir / "plain", rec, "a", "b").Ok);
}

TEST(PGNExport, ListExportSkipsBadFilesAndCountsSelectedRows) {
    TempDir dir;
    ch::TGameRecord a = Game("1.e4 e5 *");
    ch::TGameRecord b = Game("1.d4 d5 2.c4 *");
    ASSERT_TRUE(ch::SaveToFile(dir.path(), "A.QRL", a, "").Ok);
    ASSERT_TRUE(ch::SaveToFile(dir.path(), "B.QRL", b, "").Ok);
    WriteFile(dir / "BAD.QRL", std::string(676, 'x'));
    TListExportResult r =
        ListExportToFile(dir.path(), {"A.QRL", "BAD.QRL", "B.QRL"}, dir / "list.pgn", true);
    ASSERT_TRUE(r.Write.Ok);
    EXPECT_EQ(r.Exported, 2);
    ASSERT_EQ(r.Messages.size(), 2u);
    EXPECT_NE(r.Messages[0].find("BAD.QRL"), std::string::npos);
    EXPECT_EQ(r.Messages[1], "3 games exported");
    EXPECT_EQ(ReadFile(dir / "list.pgn"),
              PGNTextBytes("\r\n" + PGNGameText(a) + "\r\n" + PGNGameText(b)));
    // Appending keeps the games apart: every game begins with an empty line.
    ASSERT_TRUE(ListExportToFile(dir.path(), {"A.QRL"}, dir / "list.pgn", false).Write.Ok);
    EXPECT_EQ(ReadFile(dir / "list.pgn"), PGNTextBytes("\r\n" + PGNGameText(a) + "\r\n" +
                                                       PGNGameText(b) + "\r\n" + PGNGameText(a)));
}

TEST(PGNRoundTrip, ImportSaveExportImport) {
    TempDir dir;
    const char* pgn =
        "[Event \"Round trip\"]\n[Site \"Zurich\"]\n[Date \"1953.09.01\"]\n[Round \"7\"]\n"
        "[White \"Smyslov, Vasily\"]\n[Black \"Keres, Paul\"]\n[Result \"1-0\"]\n\n"
        // A legal game with en passant (15.cxd6), castling on both wings and
        // an under-promotion (30.dxe8=N).
        "1. Nc3 Nh6 2. b3 f5 3. e3 c5 4. g3 b6 5. Nge2 Nf7 6. d3 e5 7. Ne4 g5 8. h4 Bg7 "
        "9. hxg5 O-O 10. Bd2 a6 11. d4 Qe8 12. dxc5 Nd8 13. g4 Bh8 14. b4 d5 15. cxd6 Qb5 "
        "16. Rh5 Qd3 17. Rh2 Ndc6 18. b5 Qa3 19. Bh3 Kf7 20. Bg2 Nd8 21. Rh6 Be6 22. f3 axb5 "
        "23. g6+ hxg6 24. Ba5 Qd3 25. Nf4 Ra6 26. c3 g5 27. d7 fxe4 28. Qd2 exf4 29. O-O-O Re8 "
        "30. dxe8=N Be5 31. Qf2 Qb1+ 32. Kxb1 Bh8 33. Qf1 Ra8 34. Bxb6 fxe3 35. Qxb5 Kf8 "
        "36. Rf6+ Ke7 37. Kc1 Bd5 38. Qa6 Ra7 39. Bxe3 Rd7 40. Qc8 Nf7 41. Rd2 Rb7 42. Bf1 Nh6 "
        "43. Rf8 Bb3 44. Rf7+ Kxf7 45. f4 Na6 46. Qc4+ Kf8 47. Qc6 Bd5 48. Qc5+ Kf7 49. Qa5 Nc7 "
        "50. Ba7 Bc4 1-0\n";
    ch::TGameRecord first = FromPgn(pgn);
    ASSERT_EQ(first.MoveCount, 100);
    EXPECT_EQ(first.Move(29).EnPassant, 1);
    EXPECT_EQ(first.Move(59).Promotion, ch::kWhiteKnight);
    ASSERT_TRUE(ch::SaveToFile(dir.path(), "GAME.QRL", first, "").Ok);
    TListExportResult r = ListExportToFile(dir.path(), {"GAME.QRL"}, dir / "again.pgn", true);
    ASSERT_TRUE(r.Write.Ok);
    ch::TGameRecord second = FromPgn(ReadFile(dir / "again.pgn"));
    ASSERT_EQ(second.MoveCount, first.MoveCount);
    for (int k = 1; k <= first.MoveCount; ++k) {
        EXPECT_EQ(second.Move(k).From, first.Move(k).From) << k;
        EXPECT_EQ(second.Move(k).To, first.Move(k).To) << k;
        EXPECT_EQ(second.Move(k).Promotion, first.Move(k).Promotion) << k;
        EXPECT_EQ(second.Move(k).Piece, first.Move(k).Piece) << k;
    }
    EXPECT_EQ(second.Event, "Round trip");
    EXPECT_EQ(second.Site, first.Site);
    EXPECT_EQ(second.Date, first.Date);
    EXPECT_EQ(second.Round, first.Round);
    EXPECT_EQ(second.White, first.White);
    EXPECT_EQ(second.Black, first.Black);
    EXPECT_EQ(second.Result, "1-0");
}

// Moves entered as on the board, with three queens able to reach b2 and two
// knights on one file, in a game whose move list is German and whose date is
// empty: the export is read by pgn-extract without a complaint and names the
// same moves, and the reader brings back every move as entered.
TEST(PGNRoundTrip, MovesEnteredOnTheBoard) {
    const std::string tool = "/usr/games/pgn-extract";
    ASSERT_TRUE(fs::exists(tool)) << "pgn-extract is not installed (scripts/setup.sh)";
    const std::string moves = "a1b2 g8f6 c1c3 f6d5 b7b8n g4e3";
    ch::TChessPosition pos(ch::TBoardRecord{});
    ch::TGameRecord rec;
    const std::string epd = "4k1n1/1P6/8/8/6n1/Q7/8/Q1Q4K w - -";
    ASSERT_TRUE(pos.MakeBoardFromEPD(epd, rec.Board));
    rec.SetupPosition = 1;
    rec.SetupEPD = epd;
    rec.SetupWhiteFirst = 1;
    rec.Date = "";
    rec.Result = "*";
    rec.MoveListLanguage = ch::kGerman;
    std::istringstream in(moves);
    for (std::string m; in >> m;) {
        const int choice = m.size() > 4 ? int(std::string("qrbn").find(m[4])) : 0;
        ASSERT_TRUE(ch::EnterMove(
                        rec, pos, ch::SquareFromText(m.substr(0, 2)),
                        ch::SquareFromText(m.substr(2, 2)), [choice](bool) { return choice; },
                        45000.0)
                        .Accepted)
            << m;
    }
    TempDir dir;
    ASSERT_TRUE(ExportGameToFile(dir / "game.pgn", rec, "Ann", "Bob", true).Ok);
    const std::string text = ReadFile(dir / "game.pgn");
    EXPECT_NE(text.find("[Date \"????.??.??\"]"), std::string::npos) << text;
    EXPECT_NE(text.find("1.Qa1b2 N8f6 2.Qcc3 Nd5 3.b8=N Nge3"), std::string::npos) << text;

    int status = 0;
    test::RunCommand(tool + " -s -Wuci -l " + (dir / "log").string() + " -o " +
                         (dir / "uci").string() + " " + (dir / "game.pgn").string(),
                     &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(dir / "log"), "") << "pgn-extract complained";
    std::string uci = ReadFile(dir / "uci");
    for (char& c : uci)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(uci.find(moves + " *"), std::string::npos) << uci;

    ch::TGameRecord back = FromPgn(text);
    ASSERT_EQ(back.MoveCount, rec.MoveCount);
    for (int k = 1; k <= rec.MoveCount; ++k) {
        EXPECT_EQ(back.Move(k).From, rec.Move(k).From) << k;
        EXPECT_EQ(back.Move(k).To, rec.Move(k).To) << k;
        EXPECT_EQ(back.Move(k).Promotion, rec.Move(k).Promotion) << k;
        EXPECT_EQ(back.Move(k).Disambiguation, rec.Move(k).Disambiguation) << k;
    }
    // Exported again, the game is the same text.
    EXPECT_EQ(PGNTextBytes(PGNGameText(back, "Ann", "Bob")) + "\r\n", text);
}

} // namespace
} // namespace quorel::pgn
