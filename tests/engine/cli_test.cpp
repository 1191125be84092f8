// qrltool analyse and analyse-position, run as a program against the fake
// UCI engine: what the player sees, the engine file, no report left behind.
#include "chess/gamerecord.h"
#include "rebeng/game_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int rc = -1;
    std::string out;
};

ToolRun Qrltool(const std::string& args) {
    ToolRun r;
    std::FILE* p = popen((std::string(QRLTOOL) + " " + args + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    int status = pclose(p);
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class AnalyseCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/engine_cli_XXXXXX";
        dir_ = mkdtemp(tmpl);
        fs::create_directories(dir_ / "home");
        fs::create_directories(dir_ / "games");
        fs::create_directories(dir_ / "eng");
        fs::create_symlink(FAKE_UCI, dir_ / "eng" / "fake_uci");
        setenv("QUOREL_HOME", (dir_ / "home").c_str(), 1);
        unsetenv("FAKE_UCI_LOG");
        unsetenv("FAKE_UCI_MODE");
        setenv("FAKE_UCI_PV_1", "e7e5 g1f3", 1);
        setenv("FAKE_UCI_PV_0", "d2d4 d7d5", 1);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    // Saves a game of these moves with the given half-moves annotated "*".
    std::string Game(const std::vector<std::string>& moves, const std::vector<int>& marks) {
        quorel::rebeng::GameWalker w;
        for (const auto& m : moves)
            EXPECT_TRUE(w.Play(m));
        quorel::chess::TGameRecord rec = w.Record();
        rec.White = "Ann Smith";
        rec.Black = "J\xc3\xbcrgen";
        rec.Event = "Club";
        rec.Result = "*";
        for (int k : marks)
            rec.Move(k).Annotation = 9;
        auto saved = quorel::chess::SaveToFile(dir_ / "games", "G.QRL", rec, "");
        EXPECT_TRUE(saved.Ok) << saved.Error;
        return "'" + saved.Path.string() + "'";
    }
    std::string Engine() const { return "--engine '" + (dir_ / "eng" / "fake_uci").string() + "'"; }

    fs::path dir_;
};

TEST_F(AnalyseCommandTest, AnalysesTheMarkedMovesAndPrintsTheReport) {
    std::string game = Game({"e2e4", "e7e5"}, {1});
    ToolRun r = Qrltool("analyse " + game + " --secs 1 " + Engine());
    ASSERT_EQ(r.rc, 0) << r.out;
    EXPECT_NE(r.out.find("Analysis mode   :  Analyzing 1 moves marked\nSeconds/move  : 5\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\nAnalyzing.....\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Rebel analysis : G.QRL\nGame analysis\nWhite   : Smith, Ann\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(
        r.out.find("\n1.e4\n   Played    : e4  -0.40\n   Engine    : d4  +0.31  (depth 12)\n"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Moves analysed : 1 of 1\n"), std::string::npos) << r.out;
    // The report file is Windows-1252; the terminal gets UTF-8.
    EXPECT_NE(r.out.find("Black   : J\xc3\xbcrgen\n"), std::string::npos) << r.out;
    // The engine file in the program folder, never beside the engine (even
    // when that folder can be written); no report left behind.
    EXPECT_FALSE(fs::exists(dir_ / "eng" / "QUOREL.PGN"));
    std::ifstream in(dir_ / "home" / "QUOREL.PGN", std::ios::binary);
    std::stringstream file;
    file << in.rdbuf();
    EXPECT_NE(file.str().find("\r\n\r\n1.e4 {*} e5  *\r\n"), std::string::npos) << file.str();
    for (const auto& e : fs::directory_iterator(dir_ / "home"))
        EXPECT_NE(e.path().extension(), ".ANA") << e.path();

    ToolRun all = Qrltool("analyse " + game + " --all " + Engine());
    ASSERT_EQ(all.rc, 0) << all.out;
    EXPECT_NE(all.out.find("Moves analysed : 2 of 2\n"), std::string::npos) << all.out;
}

TEST_F(AnalyseCommandTest, RefusesWithoutMarkedMovesOrEngine) {
    std::string game = Game({"e2e4"}, {});
    ToolRun r = Qrltool("analyse " + game + " " + Engine());
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, "No moves marked for comment. Double-click over the movelist to mark moves\n");
    r = Qrltool("analyse " + game + " --all --engine /nonexistent/folder/engine");
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.out.find("REBEL(tm) Engine not found"), std::string::npos) << r.out;
    r = Qrltool("analyse " + game + " --all --engine '" + (dir_ / "eng" / "none").string() + "'");
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.out.find("REBEL ENGINE ERROR : Engine program not found or not executable"),
              std::string::npos)
        << r.out;
}

TEST_F(AnalyseCommandTest, AnalysesAPositionAndShowsTheHint) {
    std::string game = Game({"e2e4", "e7e5"}, {});
    ToolRun r = Qrltool("analyse-position " + game + " --ply 1 --secs 1 " + Engine());
    ASSERT_EQ(r.rc, 0) << r.out;
    EXPECT_NE(r.out.find("Analysis mode   :  Analyzing next move\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nLast Move : 1.e4 (Black to play)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n12. 00:03 -0.31  e7-e5 Ng1-f3 \nHint : e7-e5   marks e7 (1) e5 (2)\n"),
              std::string::npos)
        << r.out;
    r = Qrltool("analyse-position " + game + " --ply 0 --secs 1 " + Engine());
    ASSERT_EQ(r.rc, 0) << r.out;
    EXPECT_NE(r.out.find("\nGame begin\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Hint : d2-d4 "), std::string::npos) << r.out;
    // Without --engine the program's settings name the engine and its options.
    std::ofstream(dir_ / "home" / "quorel.ini", std::ios::binary)
        << "[REBEL]\r\nRebel_Engine_Path=" << (dir_ / "eng" / "fake_uci").string()
        << "\r\nRebel_engine_version=1\r\nRebel_engine_hash_size=3\r\n"
           "Rebel_engine_refresh_rate=200\r\n";
    r = Qrltool("analyse-position " + game + " --ply 1 --secs 1");
    ASSERT_EQ(r.rc, 0) << r.out;
    for (const char* line : {"Engine version   :  REBEL 9\n", "Hash table size  :  2 Mb\n",
                             "Refresh interval : 200 ms\n", "Hint : e7-e5 "})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
}

} // namespace
