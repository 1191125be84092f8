// TPGNReader: the annotation filter, tag values, the scan of a file game by
// game, and the conversion of movetext into the game record.
#include "chess/notation.h"
#include "pgn/reader.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

namespace quorel::pgn {
namespace {

using test::TempDir;
using test::WriteFile;
namespace ch = quorel::chess;

std::vector<std::string> Tokens(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> out;
    for (std::string t; in >> t;)
        out.push_back(t);
    return out;
}

// --- StripAnnotations -----------------------------------------------------

struct StripCase {
    const char* name;
    std::vector<const char*> lines; // consecutive lines, state carried over
    std::vector<std::string> tokens;
    bool clean = true; // state after the last line
};

const StripCase kStrip[] = {
    {"comment, NAG and marks",
     {"1.e4 e5 2.Nf3 {a comment} Nc6 $1 3.Bb5! a6 1-0"},
     {"1.e4", "e5", "2.Nf3", "Nc6", "3.Bb5", "a6", "1-0"}},
    {"NAGs of several digits go whole", {"e4 $13 e5 $146 Nf3 $2"}, {"e4", "e5", "Nf3"}},
    {"marks of every kind", {"e4!? e5?? Nf3!! Nc6?!"}, {"e4", "e5", "Nf3", "Nc6"}},
    {"nested variations", {"e4 (e3 (d3 d6) c5) e5"}, {"e4", "e5"}},
    {"comment across lines", {"e4 {opens", "goes on", "ends} e5"}, {"e4", "e5"}},
    {"variation across lines with a comment holding a parenthesis",
     {"e4 (d4 {a ( in here} d5", "c4 (c3)", "Nc3) e5"},
     {"e4", "e5"}},
    {"semicolon comment hides braces", {"e4 ; says {more", "e5"}, {"e4", "e5"}},
    {"comment and variation between moves without blanks",
     {"1.e4{x}e5(d5)2.Nf3"},
     {"1.e4", "e5", "2.Nf3"}},
    {"tabs separate moves", {"e4\te5"}, {"e4", "e5"}},
    {"a lone dollar stays for the converter", {"e4 $ e5"}, {"e4", "$", "e5"}},
    {"open comment at the end", {"e4 {still open"}, {"e4"}, false},
    {"open variation at the end", {"e4 (d4"}, {"e4"}, false},
};

TEST(StripAnnotations, Table) {
    for (const auto& c : kStrip) {
        SCOPED_TRACE(c.name);
        TStripState state;
        std::string all;
        for (const char* line : c.lines)
            all += " " + TPGNReader::StripAnnotations(line, state);
        EXPECT_EQ(Tokens(all), c.tokens);
        EXPECT_EQ(state.Clean(), c.clean);
    }
}

TEST(TagValue, Table) {
    EXPECT_EQ(TPGNReader::TagValue("[Event \"Hastings\"]"), "Hastings");
    EXPECT_EQ(TPGNReader::TagValue("[Event \"\"]"), "");
    EXPECT_EQ(TPGNReader::TagValue("[Event \"a \"quoted\" b\"]"), "a \"quoted\" b");
    // The value ends two characters before the end of the line.
    EXPECT_EQ(TPGNReader::TagValue("[Event \"X\"] "), "X\"");
    EXPECT_EQ(TPGNReader::TagValue("[Event X]"), "");
    EXPECT_EQ(TPGNReader::TagValue("\""), "");
}

TEST(LibraryErrorText, Table) {
    const char* texts[] = {"No error",          "Error in memory allocation",
                           "Invalid parameter", "Invalid color",
                           "Invalid field",     "Invalid piece type"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(LibraryErrorText(i), texts[i]);
    EXPECT_EQ(LibraryErrorText(6), "");
    EXPECT_EQ(LibraryErrorText(-1), "");
    EXPECT_TRUE(IsResultToken("1/2-1/2"));
    EXPECT_TRUE(IsResultToken("#"));
    EXPECT_FALSE(IsResultToken("1/2"));
}

// --- scanning files -------------------------------------------------------

class ReaderFile : public ::testing::Test {
  protected:
    // Writes text as the file and opens it.
    void Open(const std::string& text) {
        WriteFile(dir_ / "games.pgn", text);
        reader_.OnMessage = [this](const std::string& m) { messages_.push_back(m); };
        ASSERT_TRUE(reader_.OpenFile(dir_ / "games.pgn"));
    }
    // Every game: (Event, movetext tokens) with readMoves; the count alone
    // must agree with a scan without moves.
    std::vector<std::pair<std::string, std::vector<std::string>>> All() {
        std::vector<std::pair<std::string, std::vector<std::string>>> games;
        while (reader_.ReadNextGame(true)) {
            std::string text;
            for (const auto& l : reader_.MovetextLines)
                text += " " + l;
            games.push_back({reader_.Event, Tokens(text)});
        }
        long listed = 0;
        EXPECT_TRUE(reader_.SeekGame(0, false));
        while (reader_.ReadNextGame(false))
            ++listed;
        EXPECT_EQ(listed, long(games.size())) << "listing and loading count differently";
        return games;
    }
    TempDir dir_;
    TPGNReader reader_;
    std::vector<std::string> messages_;
};

TEST_F(ReaderFile, LastGameOnTheLastLineIsReturned) {
    for (const char* end : {"", "\n", "\r\n", "\n\n"}) {
        SCOPED_TRACE(std::string("file end: ") + (end[0] ? "line end" : "none"));
        Open(std::string("[Event \"A\"]\n\n1.e4 e5 *\n\n[Event \"B\"]\n\n1.d4 d5 1-0") + end);
        auto games = All();
        ASSERT_EQ(games.size(), 2u);
        EXPECT_EQ(games[1].first, "B");
        EXPECT_EQ(games[1].second, (std::vector<std::string>{"1.d4", "d5", "1-0"}));
    }
    // Movetext right after the tags, on the file's last line.
    Open("[Event \"A\"]\n1.e4 e5");
    auto games = All();
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].second.size(), 2u);
}

TEST_F(ReaderFile, EndOfFileInsideTheTagsSaysSo) {
    Open("[Event \"A\"]\n\n1.e4 *\n\n[Event \"B\"]\n[Site \"x\"]\n");
    EXPECT_TRUE(reader_.ReadNextGame(true));
    EXPECT_FALSE(reader_.ReadNextGame(true));
    EXPECT_EQ(messages_, std::vector<std::string>{"Fin del fichero"});
}

TEST_F(ReaderFile, TagsDefaultsSpellingsAndWidths) {
    Open("[Event \"" + std::string(90, 'e') +
         "\"]\n[Round \"123456789012\"]\n[WhiteElo \"2700\"]\n[BlackELO \"2650x\"]\n"
         "[WhiteNA \"w@example.org\"]\n[BlackCountry \"" +
         std::string(25, 'c') + "\"]\n[Annotator \"ignored\"]\n[White \"Smith, J\"] \n\n1.e4 *\n");
    ASSERT_TRUE(reader_.ReadNextGame(true));
    EXPECT_EQ(reader_.Event, std::string(80, 'e'));
    EXPECT_EQ(reader_.Round, "1234567890");
    EXPECT_EQ(reader_.WhiteELO, "2700");
    EXPECT_EQ(reader_.BlackELO, "2650");
    EXPECT_EQ(reader_.WhiteNA, "w@example.org");
    EXPECT_EQ(reader_.BlackCountry, std::string(20, 'c'));
    EXPECT_EQ(reader_.White, "Smith, J"); // a blank after the bracket is no part of it
    for (const std::string* missing :
         {&reader_.Site, &reader_.Date, &reader_.Black, &reader_.Result, &reader_.ECO})
        EXPECT_EQ(*missing, "?");
    EXPECT_EQ(reader_.BlackNA, "");
    EXPECT_EQ(reader_.FEN, "");

    reader_.BuildGameRecord();
    const ch::TGameRecord& rec = reader_.GameRecord;
    EXPECT_EQ(rec.Version, "QRL300");
    EXPECT_EQ(rec.Event, std::string(40, 'e'));
    EXPECT_EQ(rec.Round, "12");
    EXPECT_EQ(rec.WhiteElo, "2700");
    EXPECT_EQ(rec.BlackCountry, "ccc");
    EXPECT_EQ(rec.WhiteAddress, "w@example.org");
    EXPECT_EQ(rec.Result, "?");
}

TEST_F(ReaderFile, TagTextInWindowsCodePageBecomesUtf8) {
    Open("[White \"M\xfcller\"]\n[Black \"M\xc3\xbcller\"]\n\n1.e4 *\n");
    ASSERT_TRUE(reader_.ReadNextGame(false));
    EXPECT_EQ(reader_.White, "M\xc3\xbcller");
    EXPECT_EQ(reader_.Black, "M\xc3\xbcller");
}

TEST_F(ReaderFile, MovetextOfAnyShape) {
    std::string longLine;
    for (int i = 0; i < 30; ++i)
        longLine += std::to_string(i + 1) + ".Nf3 Nf6 " + "Ng1 Ng8 ";
    Open("1.e4 e5 *\n\n" // a game without tags
         "[Event \"long\"]\n\n" +
         longLine +
         "*\n\n" // 300+ characters in one line
         "[Event \"comment first\"]\n\n{An introduction\nover two lines}\n1.d4 d5 *\n\n"
         "[Event \"escape\"]\n\n%ignored line\n1.c4 c5 *\n\n"
         "[Event \"clock comments\"]\n\n1.e4 {\n[%clk 0:03:00]\n} e5 *\n\n"
         "[Event \"set-up\"]\n[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - 0 23\"]\n\n23... Kd7 24.e4 *\n\n"
         "[Event \"variation\"]\n\n1.e4 (1.d4 d5\n2.c4) 1...e5 *\n");
    auto games = All();
    ASSERT_EQ(games.size(), 7u);
    EXPECT_EQ(games[0].first, "?");
    EXPECT_EQ(games[0].second.size(), 3u);
    EXPECT_EQ(games[1].second.size(), 121u) << "a line longer than 255 characters lost moves";
    EXPECT_EQ(games[2].second, (std::vector<std::string>{"1.d4", "d5", "*"}));
    EXPECT_EQ(games[3].second, (std::vector<std::string>{"1.c4", "c5", "*"}));
    EXPECT_EQ(games[4].second, (std::vector<std::string>{"1.e4", "e5", "*"}));
    EXPECT_EQ(games[5].second, (std::vector<std::string>{"23...", "Kd7", "24.e4", "*"}));
    EXPECT_EQ(games[6].second, (std::vector<std::string>{"1.e4", "1...e5", "*"}));
}

TEST_F(ReaderFile, UnterminatedCommentCostsOneGameOnly) {
    Open("[Event \"A\"]\n\n1.e4 {never closed\n\n[Event \"B\"]\n\n1.d4 *\n");
    auto games = All();
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(games[1].first, "B");
}

TEST_F(ReaderFile, HugeLinesAndMovetextAreHeldWithBoundedMemory) {
    // A downloaded file may be one endless line or one endless game: the
    // reader keeps at most kMaxLineBytes of a line and kMaxMovetextBytes of a
    // game's movetext, reads the moves that come first, and still finds the
    // next game.
    std::string junk;
    for (size_t i = 0; junk.size() < 3 * kMaxMovetextBytes; ++i)
        junk += "Zz" + std::to_string(i % 1000) + " ";
    std::string manyLines;
    for (int i = 0; i < 40; ++i)
        manyLines += junk.substr(0, kMaxMovetextBytes / 16) + "\n";
    Open("[Event \"one line\"]\n\n1.e4 e5 " + junk + "*\n\n" +
         "[Event \"many lines\"]\n\n1.d4 d5\n" + manyLines + "*\n\n" +
         "[Event \"after\"]\n\n1.c4 *\n");
    std::vector<std::string> events;
    while (reader_.ReadNextGame(true)) {
        events.push_back(reader_.Event);
        SCOPED_TRACE(reader_.Event);
        size_t kept = 0;
        for (const auto& l : reader_.MovetextLines) {
            EXPECT_LE(l.size(), kMaxLineBytes);
            kept += l.size();
        }
        EXPECT_LE(kept, kMaxMovetextBytes);
        ASSERT_FALSE(reader_.MovetextLines.empty());
        // The moves at the start survive and are converted.
        ASSERT_TRUE(reader_.BuildGameRecord());
        EXPECT_EQ(reader_.GameRecord.MoveCount, events.size() < 3 ? 2 : 1);
    }
    EXPECT_EQ(events, (std::vector<std::string>{"one line", "many lines", "after"}));
}

TEST_F(ReaderFile, SeekGameAndCancel) {
    Open("[Event \"A\"]\n\n1.e4 *\n\n[Event \"B\"]\n\n1.d4 *\n\n[Event \"C\"]\n\n1.c4 *\n");
    EXPECT_TRUE(reader_.SeekGame(2, true));
    EXPECT_EQ(reader_.Event, "B");
    EXPECT_EQ(reader_.MovetextLines, std::vector<std::string>{"1.d4 *"});
    EXPECT_TRUE(reader_.SeekGame(3, false));
    EXPECT_EQ(reader_.Event, "C");
    EXPECT_TRUE(reader_.SeekGame(0, true));
    EXPECT_FALSE(reader_.SeekGame(5, true));
    std::atomic<bool> cancel{true};
    reader_.Cancel = &cancel;
    EXPECT_TRUE(reader_.SeekGame(0, true));
    EXPECT_FALSE(reader_.ReadNextGame(true));
}

TEST(ReaderOpen, MissingFileOrFolder) {
    TempDir dir;
    TPGNReader r;
    EXPECT_FALSE(r.OpenFile(dir / "none.pgn"));
    EXPECT_FALSE(r.OpenFile(dir.path()));
    EXPECT_FALSE(r.ReadNextGame(true));
}

// --- BuildGameRecord ------------------------------------------------------

// Reads the one game of text and converts it.
ch::TGameRecord Convert(const std::string& text, TPGNReader& r) {
    TempDir dir;
    WriteFile(dir / "g.pgn", text);
    EXPECT_TRUE(r.OpenFile(dir / "g.pgn"));
    EXPECT_TRUE(r.ReadNextGame(true));
    EXPECT_TRUE(r.BuildGameRecord());
    r.CloseFile();
    return r.GameRecord;
}

int Sq(const char* n) {
    return (n[1] - '1') * 10 + (n[0] - 'a');
}

TEST(BuildGameRecord, TheExampleGame) {
    TPGNReader r;
    auto rec = Convert("[Event \"x\"]\n\n1.e4 e5 2.Nf3 {a comment} Nc6 $1 3.Bb5! a6 1-0\n", r);
    EXPECT_EQ(rec.MoveCount, 6);
    EXPECT_EQ(rec.CurrentPly, 0);
    EXPECT_EQ(r.ParseError, "");
    EXPECT_EQ(rec.Move(1).From, Sq("e2"));
    EXPECT_EQ(rec.Move(1).To, Sq("e4"));
    EXPECT_EQ(rec.Move(1).Piece, ch::kWhitePawn);
    EXPECT_EQ(rec.Move(4).Piece, ch::kBlackKnight);
    EXPECT_EQ(rec.Move(5).Piece, ch::kWhiteBishop);
    EXPECT_EQ(rec.Move(7), ch::TMoveRecord{});
    // The start position is in Board, as for a new game.
    EXPECT_EQ(rec.Board, ch::TGameRecord::NewGame().Board);
}

TEST(BuildGameRecord, LongNagsNoLongerStopTheGame) {
    TPGNReader r;
    auto rec = Convert("1.e4 $13 e5 $146 2.Nf3 $1 *\n", r);
    EXPECT_EQ(rec.MoveCount, 3);
    EXPECT_EQ(r.ParseError, "");
}

TEST(BuildGameRecord, RefusedTokenGivesTheErrorText) {
    TPGNReader r;
    TempDir dir;
    r.DebugMode = true;
    r.ProgramFolder = dir.path();
    auto rec = Convert("1.e4 e5 2.Zf3 Nc6 *\n", r);
    EXPECT_EQ(rec.MoveCount, 2);
    EXPECT_EQ(r.ParseError, "Error parsing \rMove Num   : 2\rMove       : [Zf3]");
    EXPECT_EQ(test::ReadFile(dir / "pgn.log"), "1.e4 e5 2.Zf3 Nc6 *\r\n");
    // A result token ends the game silently; so does "#".
    for (const char* end : {"1-0", "0-1", "1/2-1/2", "*", "#"}) {
        auto done = Convert(std::string("1.e4 e5 ") + end + " 2.Nf3\n", r);
        EXPECT_EQ(done.MoveCount, 2) << end;
        EXPECT_EQ(r.ParseError, "") << end;
    }
}

TEST(BuildGameRecord, SetUpWithBlackToMove) {
    TPGNReader r;
    auto rec = Convert("[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - 0 1\"]\n\n1... Kd7 *\n", r);
    EXPECT_EQ(rec.SetupPosition, 1);
    EXPECT_EQ(rec.SetupWhiteFirst, 0);
    EXPECT_EQ(rec.SetupEPD, "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1");
    ASSERT_EQ(rec.MoveCount, 1);
    EXPECT_EQ(rec.Move(1).Piece, ch::kBlackKing);
    EXPECT_EQ(rec.Move(1).To, Sq("d7"));
    EXPECT_EQ(rec.Board, [] {
        ch::TBoardRecord b{};
        ch::BoardFromEPD("4k3/8/8/8/8/8/4P3/4K3 b - -", b);
        return b;
    }());

    // Without a side the text gets " w"; White's moves follow on odd plies.
    auto w = Convert("[FEN \"4k3/8/8/8/8/8/4P3/4K3\"]\n\n1.e4 Kd7 2.e5 *\n", r);
    EXPECT_EQ(w.SetupEPD, "4k3/8/8/8/8/8/4P3/4K3 w");
    EXPECT_EQ(w.SetupWhiteFirst, 1);
    EXPECT_EQ(w.MoveCount, 3);
    EXPECT_EQ(w.Move(3).Piece, ch::kWhitePawn);
}

// A set-up text the move library would take but the game's own position
// reader refuses (a rank of nine squares) must not become a game that the
// window replays from another position.
TEST(BuildGameRecord, SetUpTheGameCannotShowIsRefused) {
    TPGNReader r;
    const std::string fen = "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    auto rec = Convert("[FEN \"" + fen + "\"]\n\n1.e4 e5 *\n", r);
    EXPECT_EQ(r.ParseError, "Error parsing \rFEN        : [" + fen + "]");
    EXPECT_EQ(rec.MoveCount, 0);
    // The next game of the same reader starts clean.
    auto next = Convert("1.d4 d5 *\n", r);
    EXPECT_EQ(r.ParseError, "");
    EXPECT_EQ(next.MoveCount, 2);
    EXPECT_EQ(next.SetupPosition, 0);
}

TEST(BuildGameRecord, SpecialMoves) {
    TPGNReader r;
    // En passant: the captured pawn leaves the mirror, so Qd5 later is no capture.
    auto ep = Convert("1.e4 a6 2.e5 d5 3.exd6 Qxd6 4.d4 Qd5 *\n", r);
    ASSERT_EQ(ep.MoveCount, 8);
    EXPECT_EQ(ep.Move(5).EnPassant, 1);
    EXPECT_EQ(ep.Move(5).Captured, 0);
    EXPECT_EQ(ep.Move(6).Captured, ch::kWhitePawn);
    EXPECT_EQ(ep.Move(8).Captured, 0);

    // Castling written with zeros; the rook is on f1 afterwards.
    auto castle = Convert("1.e4 e5 2.Nf3 Nc6 3.Bc4 Bc5 4.0-0 Nf6 5.Re1 0-0 *\n", r);
    ASSERT_EQ(castle.MoveCount, 10);
    EXPECT_EQ(castle.Move(7).From, Sq("e1"));
    EXPECT_EQ(castle.Move(7).To, Sq("g1"));
    EXPECT_EQ(castle.Move(9).Piece, ch::kWhiteRook);
    EXPECT_EQ(castle.Move(9).From, Sq("f1"));
    EXPECT_EQ(castle.Move(10).Piece, ch::kBlackKing);

    // Promotions carry the piece of the side that moves, with or without "=".
    auto w = Convert("[FEN \"8/4P3/8/8/8/8/k7/4K3 w - - 0 1\"]\n\n1.e8=N Kb2 2.Nd6 *\n", r);
    EXPECT_EQ(w.Move(1).Promotion, ch::kWhiteKnight);
    EXPECT_EQ(w.Move(3).Piece, ch::kWhiteKnight);
    auto q = Convert("[FEN \"8/4P3/8/8/8/8/k7/4K3 w - - 0 1\"]\n\n1.e8 Kb2 2.Qe2+ *\n", r);
    EXPECT_EQ(q.Move(1).Promotion, ch::kWhiteQueen);
    EXPECT_EQ(q.Move(3).Piece, ch::kWhiteQueen);
    EXPECT_EQ(q.Move(3).Check, 1);
    auto b = Convert("[FEN \"4k3/8/8/8/8/8/1p6/R3K3 b - - 0 1\"]\n\n1... bxa1=R# *\n", r);
    EXPECT_EQ(b.Move(1).Promotion, ch::kBlackRook);
    EXPECT_EQ(b.Move(1).Captured, ch::kWhiteRook);
    EXPECT_EQ(b.Move(1).Annotation, 2);
    EXPECT_EQ(b.Move(1).Check, 1);
}

// What other programs write: a byte-order mark before the first tag, a stray
// "}" outside any comment, a long-form move with its promotion letter.
TEST(BuildGameRecord, OtherProgramsShapes) {
    TPGNReader r;
    auto bom = Convert("\xEF\xBB\xBF[Event \"First\"]\n[Site \"Here\"]\n\n1.e4 e5 *\n", r);
    EXPECT_EQ(bom.Event, "First");
    EXPECT_EQ(bom.MoveCount, 2);
    auto brace = Convert("[Event \"A\"]\n\n1.e4 } e5 2.Nf3 {a comment} }Nc6 *\n", r);
    EXPECT_EQ(r.ParseError, "");
    EXPECT_EQ(brace.MoveCount, 4);
    const std::pair<const char*, int> promotions[] = {
        {"d7d8n", ch::kWhiteKnight}, {"d7d8N", ch::kWhiteKnight}, {"d7d8b", ch::kWhiteBishop},
        {"d7d8R", ch::kWhiteRook},   {"d7d8q", ch::kWhiteQueen},  {"d7d8", ch::kWhiteQueen},
    };
    for (const auto& [move, piece] : promotions) {
        auto g = Convert(
            std::string("[FEN \"7k/3P4/8/8/8/8/8/4K3 w - - 0 1\"]\n\n1.") + move + " *\n", r);
        EXPECT_EQ(r.ParseError, "") << move;
        ASSERT_EQ(g.MoveCount, 1) << move;
        EXPECT_EQ(g.Move(1).Promotion, piece) << move;
    }
}

TEST(BuildGameRecord, DisambiguationAsWritten) {
    TPGNReader r;
    auto rec = Convert("[FEN \"4k3/8/8/8/8/5N2/8/RN2K2R w - - 0 1\"]\n\n"
                       "1.Nbd2 Kd8 2.Nf3d4 Ke8 3.R1h2 Kd8 4.Qd1 *\n",
                       r);
    ASSERT_EQ(rec.MoveCount, 6);
    EXPECT_EQ(rec.Move(1).Disambiguation, ch::kDisambiguateFile);
    // A full square is both, so that the game is exported as it was written.
    EXPECT_EQ(rec.Move(3).Disambiguation, ch::kDisambiguateFile | ch::kDisambiguateRank);
    EXPECT_EQ(rec.Move(5).Disambiguation, ch::kDisambiguateRank);
    EXPECT_EQ(r.ParseError, "Error parsing \rMove Num   : 4\rMove       : [Qd1]");
}

TEST(BuildGameRecord, PinnedKnightIsNotTaken) {
    // Two knights reach d2; the one on f3 is pinned by the h5 bishop, so the
    // legal SAN "Nd2" names the b1 knight.
    TPGNReader r;
    auto rec = Convert("[FEN \"4k3/8/8/7b/8/5N2/8/1N1K4 w - - 0 1\"]\n\n1.Nd2 Bxf3+ 2.Nxf3 *\n", r);
    ASSERT_EQ(rec.MoveCount, 3);
    EXPECT_EQ(rec.Move(1).From, Sq("b1"));
    EXPECT_EQ(rec.Move(2).Captured, ch::kWhiteKnight);
    EXPECT_EQ(rec.Move(3).From, Sq("d2"));
    EXPECT_EQ(r.ParseError, "");
}

TEST(BuildGameRecord, NothingOfThePreviousGameRemains) {
    // A long set-up game with every header field filled, then a short plain
    // one: the record equals the short game converted by a fresh reader.
    std::string first = "[Event \"E\"]\n[Site \"S\"]\n[Date \"D\"]\n[Round \"9\"]\n"
                        "[White \"W\"]\n[Black \"B\"]\n[Result \"1-0\"]\n[WhiteElo \"1\"]\n"
                        "[BlackElo \"2\"]\n[WhiteNA \"a@b\"]\n[BlackNA \"c@d\"]\n[ECO \"A00\"]\n"
                        "[WhiteCountry \"ESP\"]\n[BlackCountry \"CAT\"]\n"
                        "[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - 0 1\"]\n\n1... Kd7 ";
    for (int i = 0; i < 60; ++i)
        first += i % 2 ? "Ke1 Kd7 " : "Kd1 Ke8 ";
    first += "*\n\n";
    const std::string second = "[Event \"Short\"]\n\n1.e4 *\n";
    TPGNReader r;
    test::TempDir dir;
    WriteFile(dir / "two.pgn", first + second);
    ASSERT_TRUE(r.OpenFile(dir / "two.pgn"));
    ASSERT_TRUE(r.ReadNextGame(true));
    r.BuildGameRecord();
    ASSERT_EQ(r.GameRecord.MoveCount, 121);
    ASSERT_TRUE(r.ReadNextGame(true));
    r.BuildGameRecord();
    TPGNReader fresh;
    ch::TGameRecord alone = Convert(second, fresh);
    EXPECT_EQ(r.GameRecord.ToFileBytes(), alone.ToFileBytes());
    for (int k = 1; k <= int(ch::kMaxMoveRecords); ++k)
        ASSERT_EQ(r.GameRecord.Move(k), alone.Move(k)) << k;
}

TEST(BuildGameRecord, MoreThan400HalfMovesAreCut) {
    std::string text = "1.";
    for (int i = 0; i < 101; ++i)
        text += "Nf3 Nf6 Ng1 Ng8 ";
    TPGNReader r;
    auto rec = Convert(text + "1/2-1/2\n", r);
    EXPECT_EQ(rec.MoveCount, 400);
    EXPECT_EQ(r.Notice, kTooManyHalfMovesText);
    EXPECT_EQ(r.ParseError, "");
    EXPECT_EQ(rec.Move(400).To, Sq("g8"));

    std::string exact = "1.";
    for (int i = 0; i < 100; ++i)
        exact += "Nf3 Nf6 Ng1 Ng8 ";
    auto full = Convert(exact + "1/2-1/2\n", r);
    EXPECT_EQ(full.MoveCount, 400);
    EXPECT_EQ(r.Notice, "");
}

} // namespace
} // namespace quorel::pgn
