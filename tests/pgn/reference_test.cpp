// Conversion checked against two independent PGN readers: the from- and
// to-square and promotion of every move must agree, game for game.
//  - pgn-extract (Debian) converts the real games of its eco.pgn to long
//    algebraic form (-Wuci);
//  - chess.js (npm) plays seeded random legal games with the cases that
//    matter (castling, en passant, every promotion, disambiguation, pins,
//    set-ups with Black to move) and writes them in the shapes of real files.
// Both are installed by scripts/setup.d/pgn.*.
#include "chess/notation.h"
#include "pgn/reader.h"
#include "pgn/writer.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace quorel::pgn {
namespace {

using test::RunCommand;
using test::TempDir;

// Every game of a file, converted: the moves in long algebraic form.
std::vector<std::vector<std::string>> ConvertAll(const fs::path& file, int* errors) {
    std::vector<std::vector<std::string>> games;
    TPGNReader r;
    EXPECT_TRUE(r.OpenFile(file)) << file;
    *errors = 0;
    while (r.ReadNextGame(true)) {
        r.BuildGameRecord();
        if (!r.ParseError.empty()) {
            ++*errors;
            ADD_FAILURE() << "game " << games.size() + 1 << ": " << r.ParseError;
        }
        std::vector<std::string> moves;
        for (int k = 1; k <= r.GameRecord.MoveCount; ++k)
            moves.push_back(chess::LongAlgebraic(r.GameRecord.Move(k)));
        games.push_back(std::move(moves));
    }
    return games;
}

// pgn-extract -Wuci output: each game's tags, an empty line, its moves.
std::vector<std::vector<std::string>> ReadUci(const fs::path& file) {
    std::vector<std::vector<std::string>> games;
    std::ifstream in(file);
    bool inMoves = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inMoves = false;
            continue;
        }
        if (line.empty()) continue;
        if (!inMoves) games.emplace_back();
        inMoves = true;
        std::istringstream words(line);
        for (std::string w; words >> w;) {
            if (IsResultToken(w)) continue;
            std::transform(w.begin(), w.end(), w.begin(), ::tolower);
            games.back().push_back(w);
        }
    }
    return games;
}

std::string Find(const std::vector<std::string>& candidates) {
    for (const auto& c : candidates)
        if (fs::exists(c)) return c;
    return {};
}

void ExpectSameGames(const std::vector<std::vector<std::string>>& ours,
                     const std::vector<std::vector<std::string>>& reference) {
    ASSERT_EQ(ours.size(), reference.size());
    int differing = 0;
    for (size_t g = 0; g < ours.size(); ++g) {
        if (ours[g] == reference[g]) continue;
        if (++differing > 5) continue;
        size_t k = 0;
        while (k < ours[g].size() && k < reference[g].size() && ours[g][k] == reference[g][k])
            ++k;
        ADD_FAILURE() << "game " << g + 1 << " differs at half-move " << k + 1 << ": "
                      << (k < ours[g].size() ? ours[g][k] : "(none)") << " instead of "
                      << (k < reference[g].size() ? reference[g][k] : "(none)");
    }
    EXPECT_EQ(differing, 0);
}

TEST(Reference, RealGamesAgreeWithPgnExtract) {
    const std::string tool = Find({"/usr/games/pgn-extract", "/usr/bin/pgn-extract"});
    const std::string eco = Find({"/usr/share/pgn-extract/eco.pgn"});
    ASSERT_FALSE(tool.empty()) << "pgn-extract is not installed (scripts/setup.sh)";
    ASSERT_FALSE(eco.empty()) << "pgn-extract's eco.pgn is missing";
    TempDir dir;
    int status = 0;
    RunCommand(tool + " -s -Wuci -o " + (dir / "uci.txt").string() + " " + eco + " 2>/dev/null",
               &status);
    ASSERT_EQ(status, 0);
    auto reference = ReadUci(dir / "uci.txt");
    int errors = 0;
    auto ours = ConvertAll(eco, &errors);
    EXPECT_GE(ours.size(), 2000u);
    EXPECT_EQ(errors, 0);
    ExpectSameGames(ours, reference);

    // The same games written by our writer and read again give the same moves.
    TPGNReader r;
    ASSERT_TRUE(r.OpenFile(eco));
    std::string all;
    while (r.ReadNextGame(true)) {
        r.BuildGameRecord();
        all += "\r\n" + PGNGameText(r.GameRecord);
    }
    r.CloseFile();
    test::WriteFile(dir / "again.pgn", PGNTextBytes(all));
    auto again = ConvertAll(dir / "again.pgn", &errors);
    EXPECT_EQ(errors, 0);
    ExpectSameGames(again, ours);
}

TEST(Reference, GeneratedGamesAgreeWithChessJs) {
    const char* env = std::getenv("QUOREL_CHESSJS");
    const std::string chessjs = env ? env : "/opt/quorel-test/node_modules/chess.js";
    ASSERT_TRUE(fs::exists(fs::path(chessjs) / "package.json"))
        << "chess.js is not installed (scripts/setup.sh)";
    TempDir dir;
    int status = 0;
    std::string out = RunCommand("node " + std::string(QUOREL_PGN_TEST_DIR) + "/gen_games.js " +
                                     chessjs + " " + dir.path().string() + " 600 20240611 2>&1",
                                 &status);
    ASSERT_EQ(status, 0) << out;

    // Every case was played often enough to count.
    std::map<std::string, long> coverage;
    std::ifstream cov(dir / "coverage.txt");
    for (std::string key; cov >> key;)
        cov >> coverage[key];
    for (const char* key :
         {"blackFirst", "enPassant", "castleKing", "castleQueen", "promoteQ", "promoteR",
          "promoteB", "promoteN", "byFile", "byRank", "bySquare", "pinnedTwin"})
        EXPECT_GE(coverage[key], 10) << key;

    std::vector<std::vector<std::string>> reference;
    std::ifstream exp(dir / "expected.txt");
    for (std::string line; std::getline(exp, line);) {
        std::istringstream words(line);
        reference.emplace_back();
        for (std::string w; words >> w;)
            reference.back().push_back(w);
    }
    int errors = 0;
    auto ours = ConvertAll(dir / "games.pgn", &errors);
    EXPECT_EQ(errors, 0);
    ExpectSameGames(ours, reference);
}

} // namespace
} // namespace quorel::pgn
