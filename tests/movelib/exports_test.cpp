// QRLPGN32 through its exports only: the built shared library is loaded with
// dlopen, as any program that links it sees it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Pgn2Move = int32_t (*)(const char*, const char*);
using IntFn = int32_t (*)();

struct Library {
    void* handle = nullptr;
    Pgn2Move pgn2move = nullptr;
    IntFn errnoFn = nullptr;
    IntFn version = nullptr;
    Library() {
        handle = dlopen(QRLPGN32_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        pgn2move = reinterpret_cast<Pgn2Move>(dlsym(handle, "QRLpgn2move"));
        errnoFn = reinterpret_cast<IntFn>(dlsym(handle, "QRLgetTRVGerrno"));
        version = reinterpret_cast<IntFn>(dlsym(handle, "QRLPGNversion"));
    }
};

Library& Lib() {
    static Library lib;
    return lib;
}

// rank * 10 + file from "e4".
int Sq(const char* name) {
    return (name[1] - '1') * 10 + (name[0] - 'a');
}

struct Result {
    int32_t value;
    int32_t error;
};

Result Call(const char* position, const char* move) {
    int32_t v = Lib().pgn2move(position, move);
    return {v, Lib().errnoFn()};
}

// Sets the start: the initial position (position null) or a FEN text, then
// plays the given moves, each of which must be accepted.
void Start(const char* position, const std::vector<const char*>& moves) {
    Result r = position ? Call(position, "") : Call("", "");
    ASSERT_EQ(r.value, -1) << (position ? position : "reset");
    ASSERT_EQ(r.error, 0);
    for (const char* m : moves) {
        Result mr = Call("", m);
        ASSERT_NE(mr.value, 0) << m << " error " << mr.error;
        ASSERT_EQ(mr.error, 0) << m;
    }
}

class MoveLibrary : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(Lib().handle, nullptr) << dlerror(); }
};

TEST_F(MoveLibrary, ExportsAreFoundAndVersionIsFixed) {
    ASSERT_NE(Lib().pgn2move, nullptr);
    ASSERT_NE(Lib().errnoFn, nullptr);
    ASSERT_NE(Lib().version, nullptr);
    EXPECT_EQ(Lib().version(), 131344);
    // The library's own functions stay hidden.
    EXPECT_EQ(dlsym(Lib().handle, "_ZN4trvg8MatchSanEPNS_12TRVGPositionEPKcRNS_8TRVGMoveE"),
              nullptr);
    EXPECT_EQ(dlsym(Lib().handle, "_ZN4trvg7g_errnoE"), nullptr);
}

// Setting a position: the result is -1 with error 0, or 0 with the error.
struct PositionCase {
    const char* name;
    const char* fen;
    int32_t error; // 0: accepted
};

const PositionCase kPositions[] = {
    {"two kings only", "8/8/8/8/8/8/8/K6k w - -", 0},
    {"black king missing", "8/8/8/8/8/8/8/K7 w - -", 5},
    {"castling rights without white rooks", "r3k2r/8/8/8/8/8/8/4K3 w KQkq -", 2},
    {"eight slashes", "8/8/8/8/8/8/8/8/K6k w - -", 2},
    {"upper-case side", "8/8/8/8/8/8/8/K6k W - -", 3},
    {"side missing", "8/8/8/8/8/8/8/K6k", 2},
    {"en passant e3 with white to move", "4k3/8/8/8/4P3/8/8/4K3 w - e3", 2},
    {"en passant d6 with white to move", "4k3/8/8/3pP3/8/8/8/4K3 w - d6", 0},
    {"unknown piece letter", "8/8/8/8/8/8/8/K5Xk w - -", 5},
    {"piece beyond file h", "8/8/8/8/8/8/8/K6kq w - -", 3},
    {"five castling letters", "r3k2r/8/8/8/8/8/8/R3K2R w KQkqK -", 2},
    {"castling letter x", "r3k2r/8/8/8/8/8/8/R3K2R w Kx -", 2},
    {"two white kings", "8/8/8/8/8/8/8/KK5k w - -", 5},
    {"nine white pawns", "4k3/8/8/8/8/P7/PPPPPPPP/4K3 w - -", 5},
    {"tabs between fields", "8/8/8/8/8/8/8/K6k\tb\t-\t-", 0},
    {"clock fields ignored", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 0},
};

TEST_F(MoveLibrary, SettingPositions) {
    for (const auto& c : kPositions) {
        SCOPED_TRACE(c.name);
        Result r = Call(c.fen, nullptr);
        if (c.error == 0) {
            EXPECT_EQ(r.value, -1);
        } else {
            EXPECT_EQ(r.value, 0);
        }
        EXPECT_EQ(r.error, c.error);
    }
}

// One move on a start position: the packed result or the error.
struct MoveCase {
    const char* name;
    const char* fen; // null: the initial position
    std::vector<const char*> before;
    const char* move;
    const char* from; // null: the move must fail with error
    const char* to;
    int flags;
    int last; // bits 24..31
    int32_t error;
};

const MoveCase kMoves[] = {
    {"double step names the skipped square", nullptr, {}, "e4", "e2", "e4", 0, 24, 0},
    {"knight from the initial position", nullptr, {}, "Nf3", "g1", "f3", 0, 0, 0},
    {"castling king-side with zeros",
     nullptr,
     {"e4", "e5", "Nf3", "Nc6", "Bc4", "Bc5"},
     "0-0",
     "e1",
     "g1",
     0x10,
     0,
     0},
    {"castling with a check sign",
     nullptr,
     {"e4", "e5", "Nf3", "Nc6", "Bc4", "Bc5"},
     "O-O+",
     "e1",
     "g1",
     0x10,
     0,
     0},
    {"black castles queen-side",
     "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -",
     {},
     "O-O-O",
     "e8",
     "c8",
     0x20,
     0,
     0},
    {"queen-side text never castles king-side",
     "r3k2r/8/8/8/8/8/8/R3K2R w K -",
     {},
     "O-O-O",
     nullptr,
     nullptr,
     0,
     0,
     2},
    {"castling without the king on e1",
     "4k3/8/8/8/8/8/8/3K3R w K -",
     {},
     "O-O",
     nullptr,
     nullptr,
     0,
     0,
     2},
    // Castling is matched only when legal.
    {"castling through an attacked square",
     "4kr2/8/8/8/8/8/8/4K2R w K -",
     {},
     "O-O",
     nullptr,
     nullptr,
     0,
     0,
     2},
    {"castling out of check", "4r1k1/8/8/8/8/8/8/4K2R w K -", {}, "O-O", nullptr, nullptr, 0, 0, 2},
    {"castling into check", "4k1r1/8/8/8/8/8/8/4K2R w K -", {}, "O-O", nullptr, nullptr, 0, 0, 2},
    {"promotion without a piece is a queen",
     "8/4P3/8/8/8/8/k7/4K3 w - -",
     {},
     "e8",
     "e7",
     "e8",
     0x02,
     2,
     0},
    {"promotion to a knight", "8/4P3/8/8/8/8/k7/4K3 w - -", {}, "e8=N", "e7", "e8", 0x02, 4, 0},
    {"promotion to a rook", "8/4P3/8/8/8/8/k7/4K3 w - -", {}, "e8=R", "e7", "e8", 0x02, 5, 0},
    {"promotion to a bishop", "8/4P3/8/8/8/8/k7/4K3 w - -", {}, "e8=B", "e7", "e8", 0x02, 3, 0},
    {"promotion to a king", "8/4P3/8/8/8/8/k7/4K3 w - -", {}, "e8=K", nullptr, nullptr, 0, 0, 5},
    // The long form names the promotion piece by a letter after the destination.
    {"long form to a knight", "8/4P3/8/8/8/8/k7/4K3 w - -", {}, "e7e8n", "e7", "e8", 0x02, 4, 0},
    {"long form to a rook, capital",
     "8/4P3/8/8/8/8/k7/4K3 w - -",
     {},
     "e7e8R",
     "e7",
     "e8",
     0x02,
     5,
     0},
    {"long form to a bishop", "8/4P3/8/8/8/8/k7/4K3 w - -", {}, "e7e8b", "e7", "e8", 0x02, 3, 0},
    {"long form to a queen", "8/4P3/8/8/8/8/k7/4K3 w - -", {}, "e7e8q+", "e7", "e8", 0x02, 2, 0},
    {"long form capture to a knight",
     "3r4/4P3/8/8/8/8/k7/4K3 w - -",
     {},
     "e7xd8N",
     "e7",
     "d8",
     0x06,
     4,
     0},
    {"black promotes with a capture",
     "4k3/8/8/8/8/8/1p6/R3K3 b - -",
     {},
     "bxa1=Q+",
     "b2",
     "a1",
     0x06,
     2,
     0},
    {"pawn capture names its file", nullptr, {"e4", "d5"}, "exd5", "e4", "d5", 0x04, 0, 0},
    {"x without a file is a straight move",
     nullptr,
     {"e4", "d5"},
     "xd5",
     nullptr,
     nullptr,
     0,
     0,
     2},
    {"en passant", "4k3/8/8/3pP3/8/8/8/4K3 w - d6", {}, "exd6", "e5", "d6", 0x05, 0, 0},
    {"en passant after a double step",
     nullptr,
     {"e4", "a6", "e5", "d5"},
     "exd6",
     "e5",
     "d6",
     0x05,
     0,
     0},
    {"black to move from a set-up", "4k3/8/8/8/8/8/4P3/4K3 b - -", {}, "Kd7", "e8", "d7", 0, 0, 0},
    {"a capture on the king's square is marked",
     "4k3/8/8/8/8/8/4Q3/4K3 w - -",
     {},
     "Qxe8",
     "e2",
     "e8",
     0x44,
     0,
     0},
    // Two knights can reach d2: the first in the scan (f3) unless it is pinned.
    {"free knights: the first in the scan",
     "4k3/8/8/8/8/5N2/8/1N2K3 w - -",
     {},
     "Nd2",
     "f3",
     "d2",
     0,
     0,
     0},
    {"pinned knight is passed over",
     "4k3/8/8/7b/8/5N2/8/1N1K4 w - -",
     {},
     "Nd2",
     "b1",
     "d2",
     0,
     0,
     0},
    {"pinned knight named by its file",
     "4k3/8/8/7b/8/5N2/8/1N1K4 w - -",
     {},
     "Nfd2",
     nullptr,
     nullptr,
     0,
     0,
     2},
    {"knight named by its file", "4k3/8/8/8/8/5N2/8/1N2K3 w - -", {}, "Nbd2", "b1", "d2", 0, 0, 0},
    {"knight named by its rank", "4k3/8/8/8/8/5N2/8/1N2K3 w - -", {}, "N1d2", "b1", "d2", 0, 0, 0},
    {"pinned pawn cannot capture",
     "4k3/8/8/1b6/2P5/3p4/4K3/8 w - -",
     {},
     "cxd3",
     nullptr,
     nullptr,
     0,
     0,
     2},
    // In check: only moves that end the check.
    {"a move that leaves the check is refused",
     "4k3/8/8/8/8/8/p3r3/R3K3 w - -",
     {},
     "Rxa2",
     nullptr,
     nullptr,
     0,
     0,
     2},
    {"a block ends the check", "4k3/8/8/4r3/8/8/8/2B1K3 w - -", {}, "Be3", "c1", "e3", 0, 0, 0},
    {"a move beside the line does not",
     "4k3/8/8/4r3/8/8/8/2B1K3 w - -",
     {},
     "Bd2",
     nullptr,
     nullptr,
     0,
     0,
     2},
    {"capturing the checker", "4k3/8/8/8/8/8/4r3/R3K2R w - -", {}, "Kxe2", "e1", "e2", 0x04, 0, 0},
    {"a discovered check must be answered",
     "4k3/p7/8/8/8/8/4N3/4R1K1 w - -",
     {"Nc3"},
     "a6",
     nullptr,
     nullptr,
     0,
     0,
     2},
    {"a knight's check must be answered",
     "4k3/p7/8/8/4N3/8/8/4K3 w - -",
     {"Nf6+"},
     "a6",
     nullptr,
     nullptr,
     0,
     0,
     2},
    {"a promotion's check must be answered",
     "7k/P6p/8/8/8/8/8/4K3 w - -",
     {"a8=Q+"},
     "h6",
     nullptr,
     nullptr,
     0,
     0,
     2},
    {"after the check the king steps aside",
     "4k3/p7/8/8/8/8/4N3/4R1K1 w - -",
     {"Nc3"},
     "Kd7",
     "e8",
     "d7",
     0,
     0,
     0},
    {"king may not step into check",
     "4k3/8/8/8/8/8/r7/4K3 w - -",
     {},
     "Ke2",
     nullptr,
     nullptr,
     0,
     0,
     2},
    // Three queens reach b3: from-square, file and rank.
    {"queen named by its square",
     "4k3/8/8/8/Q1Q5/8/Q7/4K3 w - -",
     {},
     "Qa2b3",
     "a2",
     "b3",
     0,
     0,
     0},
    {"queen named by its file: first in the scan",
     "4k3/8/8/8/Q1Q5/8/Q7/4K3 w - -",
     {},
     "Qab3",
     "a4",
     "b3",
     0,
     0,
     0},
    {"queen named by its rank: first in the scan",
     "4k3/8/8/8/Q1Q5/8/Q7/4K3 w - -",
     {},
     "Q4b3",
     "c4",
     "b3",
     0,
     0,
     0},
    {"from-square that cannot move there",
     "4k3/8/8/8/Q1Q5/8/Q7/4K3 w - -",
     {},
     "Qa2a5",
     nullptr,
     nullptr,
     0,
     0,
     2},
    {"unknown piece letter", nullptr, {}, "Zf3", nullptr, nullptr, 0, 0, 5},
    {"lower-case piece letter", nullptr, {}, "nf3", nullptr, nullptr, 0, 0, 4},
    {"destination off the board", nullptr, {}, "Ni3", nullptr, nullptr, 0, 0, 4},
    {"one character", nullptr, {}, "e", nullptr, nullptr, 0, 0, 2},
    {"blank text", nullptr, {}, "   ", nullptr, nullptr, 0, 0, 2},
    {"white cannot play a black move", nullptr, {}, "e5", nullptr, nullptr, 0, 0, 2},
    {"blanks around the move", nullptr, {}, "  d4 ", "d2", "d4", 0, 23, 0},
};

TEST_F(MoveLibrary, MatchingMoves) {
    for (const auto& c : kMoves) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Start(c.fen, c.before));
        Result r = Call("", c.move);
        EXPECT_EQ(r.error, c.error);
        if (!c.from) {
            EXPECT_EQ(r.value, 0);
            continue;
        }
        const uint32_t v = uint32_t(r.value);
        EXPECT_EQ(int(v & 0xFF), Sq(c.from));
        EXPECT_EQ(int((v >> 8) & 0xFF), Sq(c.to));
        EXPECT_EQ(int((v >> 16) & 0xFF), c.flags);
        EXPECT_EQ(int(v >> 24), c.last);
    }
}

TEST_F(MoveLibrary, PositionTextAndMoveInOneCall) {
    Result r = Call("4k3/8/8/8/8/8/4P3/4K3 w - -", "e3");
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.value & 0xFFFF, Sq("e2") | (Sq("e3") << 8));
    // The position goes on from there: Black to move.
    r = Call("", "Kd7");
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.value & 0xFFFF, Sq("e8") | (Sq("d7") << 8));
}

TEST_F(MoveLibrary, ResetAndRefusalKeepThePosition) {
    ASSERT_NO_FATAL_FAILURE(Start(nullptr, {"e4", "e5"}));
    // A refused move leaves the position as it was: White is still to move.
    Result r = Call("", "Nf6");
    EXPECT_EQ(r.value, 0);
    EXPECT_EQ(r.error, 2);
    r = Call("", "Nf3");
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.value & 0xFFFF, Sq("g1") | (Sq("f3") << 8));
    // Two empty texts (or nulls) reset to the initial position.
    r = Call(nullptr, nullptr);
    EXPECT_EQ(r.value, -1);
    EXPECT_EQ(r.error, 0);
    r = Call("", "e4");
    EXPECT_EQ(uint32_t(r.value), uint32_t(Sq("e2") | (Sq("e4") << 8) | (24 << 24)));
    // A failed set-up leaves no usable position until the next set-up.
    r = Call("8/8/8/8/8/8/8/K7 w - -", "");
    EXPECT_EQ(r.error, 5);
    r = Call("", "Ka2");
    EXPECT_EQ(r.value, 0);
    EXPECT_NE(r.error, 0);
    r = Call("", "");
    EXPECT_EQ(r.value, -1);
    EXPECT_EQ(Call("", "e4").error, 0);
}

TEST_F(MoveLibrary, EnPassantTakesOnlyAPawn) {
    // A position text may name an en-passant square with no pawn beside it;
    // the capture must not take whatever stands there instead.
    struct Case {
        const char* name;
        const char* fen;
        const char* capture;
    };
    const Case refused[] = {
        {"king beside", "8/8/8/3Pk3/8/8/8/4K3 w - e6", "dxe6"},
        {"own knight beside", "4k3/8/8/3PN3/8/8/8/4K3 w - e6", "dxe6"},
        {"nothing beside", "4k3/8/8/3P4/8/8/8/4K3 w - e6", "dxe6"},
        {"black, rook beside", "4k3/8/8/8/3pR3/8/8/4K3 b - e3", "dxe3"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Start(c.fen, {}));
        Result r = Call("", c.capture);
        EXPECT_EQ(r.value, 0);
        EXPECT_EQ(r.error, 2);
    }
    // With the pawn beside, the capture is made and flagged.
    ASSERT_NO_FATAL_FAILURE(Start("4k3/8/8/3Pp3/8/8/8/4K3 w - e6", {}));
    Result r = Call("", "dxe6");
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.value & 0xFFFF, Sq("d5") | (Sq("e6") << 8));
    EXPECT_EQ((uint32_t(r.value) >> 16) & 0x01, 0x01u);
    // The king is still there: Black can move it.
    EXPECT_NE(Call("", "Kd8").value, 0);
}

// Plays one kept input (see regress/README.md) and checks every answer: a
// refusal says why, an accepted move names two board squares.
void ReplayInput(const std::string& text) {
    auto check = [](Result r) {
        EXPECT_GE(r.error, 0);
        EXPECT_LE(r.error, 5);
        if (r.value == 0) {
            EXPECT_NE(r.error, 0);
        } else if (r.value != -1) {
            EXPECT_EQ(r.error, 0);
            for (int s : {int(r.value & 0xFF), int((r.value >> 8) & 0xFF)}) {
                EXPECT_LE(s, 77);
                EXPECT_LE(s % 10, 7);
            }
        }
    };
    size_t at = 0;
    bool first = true;
    while (at <= text.size()) {
        size_t nl = text.find('\n', at);
        if (nl == std::string::npos) nl = text.size();
        const std::string line = text.substr(at, nl - at);
        at = nl + 1;
        SCOPED_TRACE(line);
        if (first) {
            first = false;
            check(Call(line.c_str(), ""));
        } else if (!line.empty() && line[0] == '!') {
            const size_t bar = line.find('|');
            const std::string fen = line.substr(1, bar == std::string::npos ? bar : bar - 1);
            const std::string san = bar == std::string::npos ? "" : line.substr(bar + 1);
            check(Call(fen.c_str(), san.c_str()));
        } else {
            check(Call(nullptr, line.c_str()));
        }
    }
}

TEST_F(MoveLibrary, KeptInputsReplay) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(QUOREL_SOURCE_DIR) / "tests/movelib/regress";
    ASSERT_TRUE(fs::is_directory(dir));
    int replayed = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().rfind("movelib-", 0) != 0) continue;
        SCOPED_TRACE(e.path().filename().string());
        std::ifstream in(e.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        ReplayInput(text.str());
        ++replayed;
    }
    EXPECT_GE(replayed, 1);
}

TEST_F(MoveLibrary, ManyQueensStayWithinTheLimits) {
    // Nine queens and a pawn: every list and array bound is reached; the
    // tenth queen makes the next position fail the check (error 5).
    ASSERT_NO_FATAL_FAILURE(Start("QQQQQQQ1/QQ5P/8/8/8/8/8/k3K3 w - -", {}));
    Result r = Call("", "h8=Q");
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(int((uint32_t(r.value) >> 16) & 0xFF) & 0x02, 0x02);
    r = Call("", "Kb1");
    EXPECT_EQ(r.value, 0);
    EXPECT_EQ(r.error, 5);
    // A crowded but valid position: 9 queens, 2 rooks, 2 bishops, 2 knights.
    ASSERT_NO_FATAL_FAILURE(Start("k7/8/2QQQ3/1QNBRQ2/2QBNQ2/2QRQ3/8/7K w - -", {}));
    r = Call("", "Kg2");
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.value & 0xFFFF, Sq("h1") | (Sq("g2") << 8));
}

} // namespace
