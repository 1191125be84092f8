// TRebelEngine: the setter rules, the build-date text, and loading the
// library with every failure path. The library's loaded and load-failed flags
// belong to the whole process, so each scenario that loads runs in a process
// of its own (a death-test child that must exit with 0).
#include "engine/rebelengine.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorel::engine {
namespace {

namespace fs = std::filesystem;

// Checks inside a scenario child: a failure prints and exits with 1.
#define REQUIRE(cond)                                                                              \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::cerr << __FILE__ << ":" << __LINE__ << ": " #cond "\n";                           \
            std::_Exit(1);                                                                         \
        }                                                                                          \
    } while (0)
#define REQUIRE_EQ(a, b)                                                                           \
    do {                                                                                           \
        auto va = (a);                                                                             \
        auto vb = (b);                                                                             \
        if (!(va == vb)) {                                                                         \
            std::cerr << __FILE__ << ":" << __LINE__ << ": " #a " is [" << va << "], expected ["   \
                      << vb << "]\n";                                                              \
            std::_Exit(1);                                                                         \
        }                                                                                          \
    } while (0)

// Runs a scenario in a fresh process (the test program started again, so
// nothing of this process's state is inherited).
#define ISOLATED(body)                                                                             \
    do {                                                                                           \
        GTEST_FLAG_SET(death_test_style, "threadsafe");                                            \
        EXPECT_EXIT(                                                                               \
            {                                                                                      \
                body;                                                                              \
                std::_Exit(0);                                                                     \
            },                                                                                     \
            ::testing::ExitedWithCode(0), "");                                                     \
    } while (0)

struct Box {
    TMessageKind kind;
    std::string text;
};
struct Boxes {
    std::mutex m;
    std::vector<Box> shown;
    void Attach(TRebelEngine& e) {
        e.SetMessageHandler([this](TMessageKind k, const std::string& t) {
            std::lock_guard<std::mutex> lock(m);
            shown.push_back({k, t});
        });
    }
};

std::string Cwd() {
    return fs::current_path().string();
}

// A temporary folder with a game file for the fake engine.
struct Scratch {
    fs::path dir;
    Scratch() {
        char tmpl[] = "/tmp/engine_test_XXXXXX";
        dir = mkdtemp(tmpl);
        std::ofstream(dir / "game.pgn", std::ios::binary)
            << "[Event \"Club\"]\r\n[Site \"?\"]\r\n[Date \"?\"]\r\n[Round \"1\"]\r\n"
               "[White \"A\"]\r\n[Black \"B\"]\r\n[Result \"*\"]\r\n\r\n1.e4 {*} e5  *\r\n";
        setenv("FAKE_UCI_LOG", (dir / "uci.log").c_str(), 1);
        setenv("FAKE_UCI_PV_2", "g1f3 b8c6", 1);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string Game() const { return (dir / "game.pgn").string(); }
};

// A component set up for the fake engine and the library in folder.
void UseFake(TRebelEngine& e, const std::string& libFolder) {
    e.SetDLLPath(libFolder);
    fs::path fake(FAKE_UCI);
    e.SetEngName(fake.filename().string());
    e.SetPath(fake.parent_path().string());
}

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 5) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// ---------------------------------------------------------------------------

TEST(RebelEngineTest, DefaultsAfterCreation) {
    TRebelEngine e;
    EXPECT_EQ(e.Version(), 100);
    EXPECT_EQ(e.VerDate(), "01-FEB-1998");
    EXPECT_FALSE(e.Debug());
    EXPECT_EQ(e.DLLName(), "REBENG32");
    EXPECT_EQ(e.DLLPath(), "");
    EXPECT_TRUE(e.TerminateOnExit());
    EXPECT_EQ(e.ID(), -1);
    EXPECT_EQ(e.Handle(), -1);
    EXPECT_EQ(e.EngName(), "REBEL.EXE");
    EXPECT_EQ(e.Path(), "");
    EXPECT_EQ(e.Engine(), REengType::EngDec2);
    EXPECT_EQ(e.Appli(), REappliType::AppDIAGROM);
    EXPECT_EQ(e.Mode(), REmode::ModNext);
    EXPECT_EQ(e.HashSize(), REhash::Hash256kb);
    EXPECT_EQ(e.SecsPerPos(), 5);
    EXPECT_EQ(e.EPDevalMode(), REEPDeval::EPDevalCheckCE);
    EXPECT_EQ(e.AnalysisTimer(), 0);
    EXPECT_EQ(e.Errno(), 0);
    EXPECT_EQ(e.SysErrno(), 0);
    EXPECT_FALSE(e.PollerRunning());
}

TEST(RebelEngineTest, NumberSetters) {
    struct Row {
        int in, out;
    };
    TRebelEngine e;
    for (auto [in, out] : std::vector<Row>{{3, 5},
                                           {5, 5},
                                           {6, 6},
                                           {-1, 5},
                                           {359999, 359999},
                                           {360000, 359999},
                                           {400000, 359999}}) {
        e.SetSecsPerPos(in);
        EXPECT_EQ(e.SecsPerPos(), out) << in;
    }
    for (auto [in, out] : std::vector<Row>{{250, 250},
                                           {50, 250},
                                           {0, 0},
                                           {100, 100},
                                           {99, 100},
                                           {60000, 60000},
                                           {60001, 60000},
                                           {-5, 60000}}) {
        e.SetAnalysisTimer(in);
        EXPECT_EQ(e.AnalysisTimer(), out) << in;
    }
    for (auto [in, out] : std::vector<Row>{{1, 1}, {2, 2}, {0, 0}, {3, 0}, {-1, 0}}) {
        e.SetEPDevalMode(in);
        EXPECT_EQ(int(e.EPDevalMode()), out) << in;
    }
    for (auto [in, out] : std::vector<Row>{{0, 0}, {4, 4}, {5, 4}, {-1, 4}, {2, 2}}) {
        e.SetMode(in);
        EXPECT_EQ(int(e.Mode()), out) << in;
    }
    for (auto [in, out] : std::vector<Row>{{0, 0}, {2, 2}, {1, 1}, {3, 1}, {-7, 1}}) {
        e.SetAppli(in);
        EXPECT_EQ(int(e.Appli()), out) << in;
    }
}

TEST(RebelEngineTest, HashSizeNeedsRebel9) {
    TRebelEngine e;
    e.SetHashSize(REhash::Hash13MB);
    EXPECT_EQ(e.HashSize(), REhash::Hash256kb);
    e.SetEngine(REengType::EngR9);
    EXPECT_EQ(e.Engine(), REengType::EngR9);
    e.SetHashSize(REhash::Hash13MB);
    EXPECT_EQ(e.HashSize(), REhash::Hash13MB);
    e.SetHashSize(7); // out of range: kept
    EXPECT_EQ(e.HashSize(), REhash::Hash13MB);
    e.SetEngine(REengType::EngDec1);
    EXPECT_EQ(e.Engine(), REengType::EngDec1);
    EXPECT_EQ(e.HashSize(), REhash::Hash13MB); // set earlier, stays
    e.SetHashSize(REhash::Hash2MB);
    EXPECT_EQ(e.HashSize(), REhash::Hash256kb);
}

TEST(RebelEngineTest, EngineNameAndFolder) {
    TRebelEngine e;
    e.SetEngName("bin/stockfish");
    EXPECT_EQ(e.EngName(), "REBEL.EXE");
    e.SetEngName("C:\\REBEL\\REBEL.EXE");
    EXPECT_EQ(e.EngName(), "REBEL.EXE");
    fs::path fake(FAKE_UCI);
    e.SetPath(fake.parent_path().string()); // no REBEL.EXE there
    EXPECT_EQ(e.Path(), "");
    e.SetEngName(fake.filename().string());
    EXPECT_EQ(e.EngName(), fake.filename().string());
    e.SetPath(fake.parent_path().string());
    EXPECT_EQ(e.Path(), fake.parent_path().string());
    e.SetPath("/nonexistent");
    EXPECT_EQ(e.Path(), fake.parent_path().string());
}

TEST(RebelEngineTest, BuildDateText) {
    struct Row {
        uint32_t packed;
        std::string text;
    };
    const std::vector<Row> rows = {
        {0x01021998, "01-FEB-1998"},
        {0x31122099, "31-DEC-2099"},
        {0x07122026, "07-DEC-2026"},
        {0x15062000, "15-JUN-2000"},
        {0x01131998, ""},
        {0x00021998, ""},
        {0x32011998, ""},
        {0x01002001, ""},
        {0x01012101, ""},
        {0x01011898, ""},
        {0x0A011998, ""},
        {0x010119A0, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TRebelEngine::VerDateText(row.packed), row.text) << std::hex << row.packed;
}

TEST(RebelEngineTest, OperationsWithoutAnInstance) {
    // None of these loads the library.
    TRebelEngine e;
    EXPECT_FALSE(e.Deallocate());
    EXPECT_EQ(e.Errno(), 1);
    EXPECT_FALSE(e.Stop());
    EXPECT_EQ(e.Errno(), 2);
    EXPECT_FALSE(e.IsRunning());
    EXPECT_EQ(e.Errno(), 2);
    EXPECT_EQ(e.AnalysisLine(), "");
    EXPECT_EQ(e.Errno(), 2);
    EXPECT_FALSE(e.UpdatePGN("x.pgn"));
    EXPECT_EQ(e.Errno(), 2);
    e.SetMode(REmode::ModNext);
    EXPECT_FALSE(e.GetAnalysisResult("x.ana"));
    EXPECT_EQ(e.Errno(), 2);
    e.SetMode(REmode::ModGame);
    EXPECT_FALSE(e.GetAnalysisResult(""));
    EXPECT_EQ(e.Errno(), 2);
    EXPECT_FALSE(TRebelEngine::DLLloaded());
}

// ---------------------------------------------------------------------------
// Loading.

TEST(RebelEngineLoadTest, LibraryNameAndFolderSetters) {
    ISOLATED({
        TRebelEngine e;
        e.SetDLLName("lib/REBENG32");
        REQUIRE_EQ(e.DLLName(), "REBENG32");
        e.SetDLLName("MyEng.Dll");
        REQUIRE_EQ(e.DLLName(), "MyEng");
        e.SetDLLName("Other.dll.bak");
        REQUIRE_EQ(e.DLLName(), "Other");
        e.SetDLLName("REBENG32.so");
        REQUIRE_EQ(e.DLLName(), "REBENG32");
        e.SetDLLPath("/nonexistent");
        REQUIRE_EQ(e.DLLPath(), "");
        e.SetDLLPath(REBENG_DIR);
        REQUIRE_EQ(e.DLLPath(), REBENG_DIR);
        e.SetDLLPath(VARIANTS_DIR); // no library right there
        REQUIRE_EQ(e.DLLPath(), REBENG_DIR);
        REQUIRE(chdir(REBENG_DIR) == 0);
        e.SetDLLPath(""); // ./REBENG32.so exists
        REQUIRE_EQ(e.DLLPath(), "");
        // Loaded: both are fixed.
        REQUIRE_EQ(e.DLLVersion(), 0x01020100);
        e.SetDLLName("Other");
        REQUIRE_EQ(e.DLLName(), "REBENG32");
        e.SetDLLPath(VARIANTS_DIR "/v105");
        REQUIRE_EQ(e.DLLPath(), "");
    });
}

TEST(RebelEngineLoadTest, MissingLibraryFailsEveryLaterStartAtOnce) {
    ISOLATED({
        Scratch s;
        Boxes boxes;
        TRebelEngine e;
        boxes.Attach(e);
        e.SetDebug(true);
        e.SetDLLName("NO_SUCH_LIB");
        REQUIRE(!e.Start(s.Game()));
        REQUIRE_EQ(e.Errno(), -1);
        REQUIRE(e.SysErrno() != 0);
        REQUIRE_EQ(e.ErrorText(), "DLL load error");
        REQUIRE_EQ(e.ID(), -1);
        REQUIRE_EQ(boxes.shown.size(), size_t(1));
        REQUIRE(boxes.shown[0].kind == TMessageKind::Error);
        REQUIRE_EQ(boxes.shown[0].text, "Rebel Engine Component: can't load neither DLL \n" +
                                            Cwd() + "/NO_SUCH_LIB.so\nnor NO_SUCH_LIB");
        REQUIRE(!TRebelEngine::DLLloaded());
        // A second component with a good library does not try again.
        TRebelEngine f;
        boxes.Attach(f);
        f.SetDebug(true);
        UseFake(f, REBENG_DIR);
        REQUIRE_EQ(f.DLLPath(), REBENG_DIR);
        REQUIRE(!f.Start(s.Game()));
        REQUIRE_EQ(f.Errno(), -1);
        REQUIRE_EQ(f.ErrorText(), "DLL load error");
        REQUIRE_EQ(f.DLLVersion(), 0);
        REQUIRE_EQ(f.NoOfInstances(), 0);
        REQUIRE_EQ(boxes.shown.size(), size_t(1));
        REQUIRE(!TRebelEngine::DLLloaded());
    });
}

TEST(RebelEngineLoadTest, MissingLibraryWithoutDebugShowsNoBox) {
    ISOLATED({
        Boxes boxes;
        TRebelEngine e;
        boxes.Attach(e);
        e.SetDLLName("NO_SUCH_LIB");
        REQUIRE(!e.Start("x.pgn"));
        REQUIRE_EQ(e.Errno(), -1);
        REQUIRE(boxes.shown.empty());
    });
}

void RefusedLibrary(const std::string& folder, const std::string& box) {
    Scratch s;
    Boxes boxes;
    TRebelEngine e;
    boxes.Attach(e); // Debug off: these boxes are shown anyway
    UseFake(e, folder);
    REQUIRE_EQ(e.DLLPath(), folder);
    REQUIRE(!e.Start(s.Game()));
    REQUIRE_EQ(e.Errno(), -1);
    REQUIRE_EQ(e.ErrorText(), "DLL load error");
    REQUIRE_EQ(boxes.shown.size(), size_t(1));
    REQUIRE(boxes.shown[0].kind == TMessageKind::Error);
    REQUIRE_EQ(boxes.shown[0].text, box);
    REQUIRE(!TRebelEngine::DLLloaded());
    // Unloaded again; no later attempt.
    REQUIRE(dlopen((folder + "/REBENG32.so").c_str(), RTLD_NOW | RTLD_NOLOAD) == nullptr);
    REQUIRE(!e.Start(s.Game()));
    REQUIRE_EQ(boxes.shown.size(), size_t(1));
}

TEST(RebelEngineLoadTest, VersionOutsideTheRangeIsRefused) {
    ISOLATED(RefusedLibrary(VARIANTS_DIR "/old",
                            "Rebel Engine Component: DLL version mismatch\n"
                            "Component  : 0x01020100\nRebEng DLL : 0x01020000\n"
                            "DLL too old for this component version"));
    ISOLATED(RefusedLibrary(VARIANTS_DIR "/new",
                            "Rebel Engine Component: DLL version mismatch\n"
                            "Component  : 0x01020100\nRebEng DLL : 0x0102010A\n"
                            "DLL too new for this component version"));
}

TEST(RebelEngineLoadTest, MissingFunctionIsRefused) {
    ISOLATED(RefusedLibrary(VARIANTS_DIR "/nohandle",
                            "Rebel Engine Component: loading DLL " VARIANTS_DIR
                            "/nohandle/REBENG32.so\nCan't get address of function "
                            "RebelEngineGetHandle"));
    ISOLATED(RefusedLibrary(VARIANTS_DIR "/noversion",
                            "Rebel Engine Component: loading DLL " VARIANTS_DIR
                            "/noversion/REBENG32.so\nCan't get address of function "
                            "RebelEngineVersion"));
}

TEST(RebelEngineLoadTest, VersionInsideTheRangeLoadsWithAnInformationBox) {
    ISOLATED({
        Scratch s;
        Boxes boxes;
        TRebelEngine e;
        boxes.Attach(e);
        e.SetDebug(true);
        UseFake(e, VARIANTS_DIR "/v105");
        REQUIRE(e.Start(s.Game()));
        REQUIRE_EQ(e.Errno(), 0);
        REQUIRE(TRebelEngine::DLLloaded());
        REQUIRE_EQ(e.DLLVersion(), 0x01020105);
        REQUIRE_EQ(boxes.shown.size(), size_t(1));
        REQUIRE(boxes.shown[0].kind == TMessageKind::Information);
        REQUIRE_EQ(boxes.shown[0].text, "Rebel Engine Component: DLL version differs\n"
                                        "Component  : 0x01020100\nRebEng DLL : 0x01020105");
        REQUIRE(e.Deallocate());
    });
}

TEST(RebelEngineLoadTest, ALibraryAlreadyInTheProcessIsUsed) {
    ISOLATED({
        REQUIRE(dlopen(REBENG_DIR "/REBENG32.so", RTLD_NOW) != nullptr);
        Boxes boxes;
        TRebelEngine e;
        boxes.Attach(e);
        e.SetDebug(true);
        REQUIRE_EQ(e.DLLVersion(), 0x01020100);
        REQUIRE(TRebelEngine::DLLloaded());
        REQUIRE_EQ(boxes.shown.size(), size_t(1));
        REQUIRE(boxes.shown[0].kind == TMessageKind::Information);
        REQUIRE_EQ(boxes.shown[0].text, "Rebel Engine Component: DLL already loaded");
        REQUIRE_EQ(e.DLLVerDate(), "07-DEC-2026");
    });
}

TEST(RebelEngineLoadTest, MissingEngineProgram) {
    ISOLATED({
        Scratch s;
        TRebelEngine e;
        e.SetDLLPath(REBENG_DIR);
        e.SetEngName("no_such_engine");
        REQUIRE(!e.Start(s.Game()));
        REQUIRE(e.ID() >= 0); // the instance exists; its engine did not start
        REQUIRE_EQ(e.Errno(), 4);
        REQUIRE_EQ(e.SysErrno(), ENOENT);
        REQUIRE_EQ(e.ErrorText(), "Engine program not found or not executable");
        REQUIRE_EQ(e.Handle(), 0);
        REQUIRE(e.Deallocate());
    });
}

// ---------------------------------------------------------------------------
// A whole cycle with the fake engine.

TEST(RebelEngineCycleTest, StartPollStopRelease) {
    ISOLATED({
        Scratch s;
        TRebelEngine e;
        UseFake(e, REBENG_DIR);
        e.SetAppli(REappliType::AppQUOREL);
        REQUIRE_EQ(e.MaxNoOfInstances(), 16);
        REQUIRE_EQ(e.NoOfInstances(), 0);
        REQUIRE_EQ(e.DLLVerDate(), "07-DEC-2026");
        REQUIRE(e.Start(s.Game()));
        REQUIRE(e.ID() >= 0);
        REQUIRE(e.Handle() > 0);
        REQUIRE_EQ(e.NoOfInstances(), 1);
        REQUIRE(e.IsRunning());
        REQUIRE(WaitFor([&] { return !e.AnalysisLine().empty(); }));
        REQUIRE_EQ(e.AnalysisLine(), "12. 00:03 +0.31  Ng1-f3 Nb8-c6 ");
        // While an instance exists, these stay.
        e.SetEngine(REengType::EngR9);
        REQUIRE(e.Engine() == REengType::EngDec2);
        e.SetAppli(REappliType::AppNone);
        REQUIRE(e.Appli() == REappliType::AppQUOREL);
        e.SetEngName("other");
        REQUIRE(e.EngName() != "other");
        e.SetPath("/tmp");
        REQUIRE(e.Path() != "/tmp");
        REQUIRE(e.UpdatePGN(s.Game()));
        REQUIRE(!e.UpdatePGN((s.dir / "none.pgn").string()));
        REQUIRE_EQ(e.Errno(), 8);
        REQUIRE_EQ(e.SysErrno(), ENOENT);
        REQUIRE_EQ(e.ErrorText(), "Cannot read the PGN file");
        // No result file in a continuous mode.
        REQUIRE(!e.GetAnalysisResult((s.dir / "r.ana").string()));
        REQUIRE_EQ(e.Errno(), 2);
        REQUIRE(e.Stop());
        REQUIRE(!e.IsRunning());
        REQUIRE(e.Handle() > 0);

        // A game analysis of the marked move; the report comes through the binding.
        e.SetMode(REmode::ModGame);
        REQUIRE(e.Start(s.Game()));
        REQUIRE(WaitFor([&] { return !e.IsRunning(); }));
        std::string report = (s.dir / "12345678.ANA").string();
        REQUIRE(e.GetAnalysisResult(report));
        std::ifstream in(report, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        REQUIRE(text.str().find("\r\n1.e4\r\n") != std::string::npos);
        REQUIRE(text.str().find("Moves analysed : 1 of 1\r\n") != std::string::npos);

        REQUIRE(e.Deallocate());
        REQUIRE_EQ(e.ID(), -1);
        REQUIRE(e.Mode() == REmode::ModNext);
        REQUIRE(e.Appli() == REappliType::AppDIAGROM);
        REQUIRE_EQ(e.EngName(), "REBEL.EXE");
        REQUIRE_EQ(e.Errno(), 0);
        REQUIRE(!e.Deallocate());
        REQUIRE_EQ(e.Errno(), 1);

        // A second component uses the library already loaded.
        TRebelEngine f;
        UseFake(f, "");
        REQUIRE(f.Start(s.Game()));
        REQUIRE_EQ(f.NoOfInstances(), 1);
    });
}

TEST(RebelEngineCycleTest, BackgroundPollerRaisesOnAnalysis) {
    ISOLATED({
        Scratch s;
        TRebelEngine e;
        UseFake(e, REBENG_DIR);
        std::mutex m;
        std::vector<std::string> lines;
        e.SetOnAnalysis([&](TRebelEngine* sender, const std::string& line) {
            REQUIRE(sender == &e);
            std::lock_guard<std::mutex> lock(m);
            lines.push_back(line);
        });
        e.SetAnalysisTimer(100);
        REQUIRE(e.Start(s.Game()));
        REQUIRE(e.PollerRunning());
        REQUIRE(WaitFor([&] {
            std::lock_guard<std::mutex> lock(m);
            return !lines.empty();
        }));
        std::this_thread::sleep_for(std::chrono::milliseconds(350));
        REQUIRE(e.Stop());
        REQUIRE(!e.PollerRunning());
        // The same line is raised once.
        REQUIRE_EQ(lines.size(), size_t(1));
        REQUIRE_EQ(lines[0], "12. 00:03 +0.31  Ng1-f3 Nb8-c6 ");
        // Without a timer there is no poller.
        e.SetAnalysisTimer(0);
        REQUIRE(e.Start(s.Game()));
        REQUIRE(!e.PollerRunning());
    });
}

} // namespace
} // namespace quorel::engine
