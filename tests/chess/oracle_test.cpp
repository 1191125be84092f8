// The rules against an outside oracle: for thousands of positions the moves
// the program accepts (what `qrltool moves` prints, LegalMovesOfEPD) must be
// exactly the legal moves Stockfish lists with `go perft 1`. Positions come
// from random legal play with a fixed seed from several start positions,
// plus hand-picked ones (pins, en passant, every castling case, promotions).
#include "chess/moveentry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using quorel::chess::LegalMovesOfEPD;

constexpr const char* kStockfish = "/usr/games/stockfish";

// One Stockfish process for the whole test, spoken to over UCI pipes.
class Stockfish {
  public:
    bool Start() {
        if (access(kStockfish, X_OK) != 0) return false;
        int toChild[2], fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) return false;
        pid_ = fork();
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            dup2(toChild[0], 0);
            dup2(fromChild[1], 1);
            close(toChild[1]);
            close(fromChild[0]);
            execl(kStockfish, kStockfish, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        in_ = fdopen(fromChild[0], "r");
        out_ = fdopen(toChild[1], "w");
        Send("uci");
        if (!ReadUntil("uciok")) return false;
        Send("isready");
        return ReadUntil("readyok");
    }
    ~Stockfish() {
        if (out_) {
            Send("quit");
            std::fclose(out_);
        }
        if (in_) std::fclose(in_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    void Send(const std::string& line) {
        std::fputs((line + "\n").c_str(), out_);
        std::fflush(out_);
    }
    bool ReadLine(std::string& line) {
        line.clear();
        int c;
        while ((c = std::fgetc(in_)) != EOF && c != '\n')
            line += char(c);
        return c != EOF || !line.empty();
    }
    bool ReadUntil(const std::string& prefix, std::vector<std::string>* lines = nullptr) {
        std::string line;
        while (ReadLine(line)) {
            if (line.rfind(prefix, 0) == 0) {
                if (lines) lines->push_back(line);
                return true;
            }
            if (lines) lines->push_back(line);
        }
        return false;
    }
    // Sorted legal moves of position (a "position ..." argument list).
    std::vector<std::string> Perft1(const std::string& position) {
        Send("position " + position);
        Send("go perft 1");
        std::vector<std::string> lines, moves;
        ReadUntil("Nodes searched", &lines);
        for (const std::string& l : lines) {
            const size_t colon = l.find(':');
            if (colon != std::string::npos && colon >= 4 && colon <= 5 &&
                l.find(' ') == colon + 1 && l.rfind("Nodes", 0) != 0)
                moves.push_back(l.substr(0, colon));
        }
        std::sort(moves.begin(), moves.end());
        return moves;
    }
    // FEN of position as Stockfish sees it.
    std::string Fen(const std::string& position) {
        Send("position " + position);
        Send("d");
        std::vector<std::string> lines;
        ReadUntil("Checkers", &lines);
        for (const std::string& l : lines)
            if (l.rfind("Fen: ", 0) == 0) return l.substr(5);
        return "";
    }

  private:
    pid_t pid_ = -1;
    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
};

std::string Diff(const std::vector<std::string>& ours, const std::vector<std::string>& theirs) {
    std::string s;
    for (const auto& m : ours)
        if (!std::binary_search(theirs.begin(), theirs.end(), m)) s += " +" + m;
    for (const auto& m : theirs)
        if (!std::binary_search(ours.begin(), ours.end(), m)) s += " -" + m;
    return s;
}

class OracleTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::signal(SIGPIPE, SIG_IGN);
        engine_ = new Stockfish;
        started_ = engine_->Start();
    }
    static void TearDownTestSuite() {
        delete engine_;
        engine_ = nullptr;
    }
    void SetUp() override {
        // The oracle is part of the test set-up (scripts/setup.d/chess.pkgs):
        // without it the rules are unchecked, which is a failure.
        ASSERT_TRUE(started_) << kStockfish << " is missing or does not speak UCI";
    }
    // Compares the two move sets of one FEN; returns false on a difference.
    bool Compare(const std::string& fen, const std::vector<std::string>& theirs) {
        std::vector<std::string> ours;
        EXPECT_TRUE(LegalMovesOfEPD(fen, ours)) << fen;
        EXPECT_EQ(ours, theirs) << "position " << fen << ":" << Diff(ours, theirs)
                                << " (+ only ours, - only Stockfish's)";
        return ours == theirs;
    }
    static Stockfish* engine_;
    static bool started_;
};
Stockfish* OracleTest::engine_ = nullptr;
bool OracleTest::started_ = false;

TEST_F(OracleTest, HandPickedPositionsMatchStockfish) {
    const char* kFens[] = {
        // Castling: every right, through and into attacked squares, in check,
        // rights missing, rook missing, squares occupied, b1/b8 attacked (allowed).
        "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
        "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1",
        "r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1",
        "r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1",
        "r3k2r/8/8/8/8/8/8/R3K2R b Qk - 0 1",
        "r3k2r/8/8/8/8/8/5r2/R3K2R w KQ - 0 1", // f2 rook: f1 attacked
        "r3k2r/8/8/8/8/8/3r4/R3K2R w KQ - 0 1", // d1 attacked
        "r3k2r/8/8/8/8/8/6r1/R3K2R w KQ - 0 1", // g1 attacked (destination)
        "r3k2r/8/8/8/8/8/2r5/R3K2R w KQ - 0 1", // c1 attacked (destination)
        "r3k2r/8/8/8/8/8/1r6/R3K2R w KQ - 0 1", // b1 attacked: queen-side allowed
        "r3k2r/8/8/8/8/8/4r3/R3K2R w KQ - 0 1", // in check
        "r3k2r/8/8/8/8/8/8/RN2K1nR w KQ - 0 1", // b1 and g1 occupied
        "r3k2r/8/8/8/8/8/8/4K2R w KQ - 0 1",    // a1 rook missing, right kept
        "r3k2r/1B6/8/8/8/8/8/R3K2R b kq - 0 1", // b7 bishop: c8 attacked, d8 not
        "r3k2r/8/8/1B6/8/8/8/R3K2R b kq - 0 1", // e8 in check from b5
        "r3k2r/8/8/8/8/8/8/R3K2R b kq - 0 1",
        "rn2k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1",
        "r3k2r/8/8/8/6N1/8/8/R3K2R b kq - 0 1", // g4 knight hits f6/h6, not f8
        "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
        "4k3/8/8/8/8/8/8/4K2R w K - 0 1",
        "4k3/8/8/8/8/8/8/R3K3 w Q - 0 1",
        "r3k3/8/8/8/8/8/8/4K3 b q - 0 1",
        "4k2r/8/8/8/8/8/8/4K3 b k - 0 1",
        "4k2r/6P1/8/8/8/8/8/4K3 b k - 0 1", // pawn on g7 attacks f8
        // Pins.
        "4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1",
        "4k3/8/8/7b/8/8/4P3/3K4 w - - 0 1",
        "4k3/8/8/8/q7/8/2B5/4K3 w - - 0 1",
        "3qk3/8/8/8/8/8/3P4/3K4 w - - 0 1",
        "k7/1q6/8/8/8/8/6B1/K7 b - - 0 1",   // queen pinned on the diagonal
        "8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1", // en passant exposing the king
        "8/8/8/KPp4r/8/8/8/7k w - c6 0 1",   // horizontal pin through both pawns
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        // En passant.
        "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
        "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3",
        "rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b KQkq d3 0 2",
        "8/8/3k4/8/2pP4/8/8/3K4 b - d3 0 1",
        "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1", // en passant removes the checker
        "4k3/8/8/2PpP3/8/8/8/4K3 w - d6 0 1",
        // Promotions, with and without capture, and under-promotion into check.
        "r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/p7/1N2K3 b - - 0 1",
        "1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1",
        "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
        "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N w - - 0 1",
        // Checks and double checks, stalemate, mate.
        "4k3/8/8/8/8/8/3n4/R3K2r w Q - 0 1",
        "4k3/8/5N2/8/1b6/8/8/4K2R b K - 0 1",
        "7k/5Q2/8/8/8/8/8/K7 b - - 0 1",
        "R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1",
        // Standard perft positions.
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
        "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    };
    for (const char* fen : kFens)
        Compare(fen, engine_->Perft1(std::string("fen ") + fen));
}

TEST_F(OracleTest, RandomPlayMatchesStockfish) {
    const char* kStarts[] = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
        "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1",
        "4k3/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - - 0 1",
    };
    std::mt19937 rng(20261207);
    int positions = 0, mismatches = 0;
    const int kTarget = 3000, kGameLength = 120;
    for (int game = 0; positions < kTarget && mismatches < 5; ++game) {
        std::string fen = kStarts[game % std::size(kStarts)];
        for (int ply = 0; ply < kGameLength && positions < kTarget; ++ply) {
            const std::vector<std::string> theirs = engine_->Perft1("fen " + fen);
            ++positions;
            if (!Compare(fen, theirs)) ++mismatches;
            if (theirs.empty()) break; // mate or stalemate
            const std::string& move = theirs[rng() % theirs.size()];
            fen = engine_->Fen("fen " + fen + " moves " + move);
            ASSERT_FALSE(fen.empty());
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GE(positions, kTarget);
}

} // namespace
