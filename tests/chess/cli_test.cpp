// qrltool's chess commands, run as the program itself: game show (JSON read
// back by python3), moves, game convert-old, and the sample game of the
// README's first command.
#include "chess/moveentry.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

namespace {

using namespace quorel::chess;

const std::string kQrltool = std::string(QUOREL_BINARY_DIR) + "/bin/qrltool";
const std::string kSample = std::string(QUOREL_SOURCE_DIR) + "/docs/samples/sample.qrl";

struct ShellRun {
    int status = -1;
    std::string out;
};

// Runs a shell command line, returning its exit status and standard output.
ShellRun Shell(const std::string& command) {
    ShellRun r;
    std::FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

TEST(QrltoolGameShow, JsonKeysAndValuesOfTheSample) {
    // python3 reads the JSON (so it must be valid) and prints what we check.
    const char* script = R"PY(
import json, sys
d = json.load(sys.stdin)
print("|".join(d.keys()))
print("|".join(d["Moves"][0].keys()))
print(len(d["Moves"]), d["White"], d["Black"], d["WhiteTotal"], d["BlackTotal"])
print(" ".join(m["SAN"] for m in d["Moves"]))
print(" ".join(m["ICCF"] for m in d["Moves"][:3]))
print(d["Board"])
print(sum(m["Days"] for m in d["Moves"]), d["Moves"][13]["Penalization"])
)PY";
    const ShellRun r =
        Shell(kQrltool + " game show " + Quote(kSample) + " | python3 -c " + Quote(script));
    ASSERT_EQ(r.status, 0) << r.out;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 7u) << r.out;
    EXPECT_EQ(lines[0],
              "Version|Event|Site|Date|Round|White|Black|Result|WhiteAddress|BlackAddress|"
              "WhiteElo|BlackElo|ECO|WhiteCountry|BlackCountry|SetupPosition|SetupEPD|"
              "SetupWhiteFirst|MoveCount|CurrentPly|NotationFormat|SendDates|SendDiagram|"
              "MoveListLanguage|BoardReversed|SendSignature|SendGameFile|IfMove|Board|WhiteTotal|"
              "BlackTotal|Moves");
    EXPECT_EQ(lines[1], "From|To|Promotion|Annotation|Piece|Captured|Disambiguation|EnPassant|"
                        "Check|Received|Replied|Penalization|SAN|ICCF|Days");
    EXPECT_EQ(lines[2], "20 Ana Souto Jörg Weber 20 29");
    EXPECT_EQ(lines[3], "e4 e5 Nf3 Nc6 Bb5 a6 Ba4 Nf6 O-O Be7 Re1 b5 Bb3 d6 c3 O-O h3 Na5 Bc2 c5");
    EXPECT_EQ(lines[4], "5254 5755 7163");
    EXPECT_EQ(lines[5], "r1bq1rk1/4bppp/p2p1n2/npp1p3/4P3/2P2N1P/PPBP1PP1/RNBQR1K1 w KQkq - ");
    EXPECT_EQ(lines[6], "49 -1");
}

TEST(QrltoolGameShow, RefusedFileGivesTheMessageAndExitOne) {
    const std::string bad = std::string(QUOREL_BINARY_DIR) + "/chess-cli-bad.qrl";
    std::ofstream(bad, std::ios::binary) << "QRL300 but not a game file";
    const ShellRun r = Shell(kQrltool + " game show " + Quote(bad) + " 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Data file not valid or not found : " + bad + "\n");
    std::remove(bad.c_str());
}

TEST(QrltoolMoves, PrintsWhatTheRulesAccept) {
    const char* fens[] = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
        "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1",
    };
    for (const char* fen : fens) {
        const ShellRun r = Shell(kQrltool + " moves " + Quote(fen));
        ASSERT_EQ(r.status, 0) << fen;
        std::vector<std::string> expected;
        ASSERT_TRUE(LegalMovesOfEPD(fen, expected));
        EXPECT_EQ(Lines(r.out), expected) << fen;
    }
    const ShellRun initial =
        Shell(kQrltool + " moves rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(initial.out, "a2a3\na2a4\nb1a3\nb1c3\nb2b3\nb2b4\nc2c3\nc2c4\nd2d3\nd2d4\ne2e3\n"
                           "e2e4\nf2f3\nf2f4\ng1f3\ng1h3\ng2g3\ng2g4\nh2h3\nh2h4\n");
    const ShellRun promo = Shell(kQrltool + " moves " + Quote("8/4P3/8/8/8/k7/8/K7 w - -"));
    EXPECT_EQ(promo.out, "a1b1\ne7e8b\ne7e8n\ne7e8q\ne7e8r\n");
    EXPECT_EQ(Shell(kQrltool + " moves " + Quote("8/8/8 w - -") + " 2>/dev/null").status, 1);
}

TEST(QrltoolConvertOld, ConvertsAndReports) {
    const std::string dir = std::string(QUOREL_BINARY_DIR) + "/chess-cli-convert";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string old(2745, '\0');
    old.replace(0, 7, "\x06QUOREL");
    std::ofstream(dir + "/A.QRL", std::ios::binary) << old;
    const ShellRun r = Shell(kQrltool + " game convert-old " + Quote(dir));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Old QRL file version : A.QRL\n"
                     "1 games imported. Your former QRL files have been saved as *.OLD\n");
    EXPECT_EQ(std::filesystem::file_size(dir + "/A.QRL"), 676u);
    const ShellRun again = Shell(kQrltool + " game convert-old " + Quote(dir));
    EXPECT_EQ(again.out, "Old QRL files not found\n");
    std::filesystem::remove_all(dir);
}

// The sample game is what the move entry makes: replaying its moves from the
// initial position gives the same records (dates aside) and the same Board.
TEST(SampleGame, ReplaysThroughTheMoveEntry) {
    TGameRecord sample;
    const std::filesystem::path path(kSample);
    ASSERT_TRUE(LoadFromFile(path.parent_path(), path.filename().string(), sample).Ok);
    ASSERT_EQ(sample.MoveCount, 20);
    TGameRecord rec = TGameRecord::NewGame();
    TChessPosition pos;
    for (int k = 1; k <= sample.MoveCount; ++k) {
        const TMoveRecord& m = sample.Move(k);
        ASSERT_TRUE(EnterMove(rec, pos, m.From, m.To, nullptr, m.Received).Accepted) << k;
        TMoveRecord mine = rec.Move(k);
        mine.Replied = m.Replied;
        mine.Penalization = m.Penalization;
        mine.Annotation = m.Annotation;
        EXPECT_EQ(mine, m) << k;
    }
    EXPECT_EQ(rec.Board, sample.Board);
}

} // namespace
