// The installable folder laid out by the dist script, installed by its own
// setup program (unattended, offscreen) into a temporary home; the installed
// programs then run from the target folder.
#include "setup/setuplist.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quorel::setup::test {
namespace {

const std::string kDist = SETUP_DIST_DIR;

class Dist : public ::testing::Test {
  protected:
    void SetUp() override {
        home = root / "home";
        fs::create_directories(home);
        fs::create_directories(root / "data/applications");
        fs::create_directories(root / "run");
        fs::permissions(root / "run", fs::perms::owner_all);
        env = {"HOME=" + home,
               "XDG_DATA_HOME=" + root / "data",
               "XDG_CONFIG_HOME=" + root / "config",
               "XDG_CONFIG_DIRS=" + root / "nothing",
               "XDG_RUNTIME_DIR=" + root / "run",
               "QT_QPA_PLATFORM=offscreen",
               "LC_ALL=C.UTF-8",
               "PATH=/usr/bin:/bin"};
    }

    // Starts argv in folder cwd with this test's environment; output goes to
    // the file out. Returns the process id.
    pid_t Start(std::vector<std::string> argv, const std::string& cwd, const std::string& out) {
        std::vector<char*> av, ev;
        for (auto& a : argv)
            av.push_back(a.data());
        av.push_back(nullptr);
        for (auto& e : env)
            ev.push_back(e.data());
        ev.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
        posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&fa, 1, 2);
        pid_t pid = -1;
        int rc = posix_spawn(&pid, argv[0].c_str(), &fa, nullptr, av.data(), ev.data());
        posix_spawn_file_actions_destroy(&fa);
        return rc == 0 ? pid : -1;
    }
    int Wait(pid_t pid) {
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int Run(std::vector<std::string> argv, const std::string& cwd, std::string& output) {
        std::string out = root / "output.txt";
        int rc = Wait(Start(std::move(argv), cwd, out));
        output = ReadFile(out);
        return rc;
    }

    TempDir root;
    std::string home;
    std::vector<std::string> env;
};

TEST_F(Dist, SetupInstallsAWorkingQuorel) {
    ASSERT_TRUE(fs::exists(kDist + "/setup")) << kDist;
    TSetupList list;
    auto err = ReadSetupList(kDist, list);
    ASSERT_FALSE(err.has_value()) << *err;
    EXPECT_EQ(list.ProgramName, "Quorel");

    const std::string target = home + "/Quorel";
    std::string out;
    // Started from another folder: setup finds its list beside itself.
    ASSERT_EQ(Run({kDist + "/setup", "-INSTALL:" + target}, root.path(), out), 0) << out;
    EXPECT_NE(out.find("Setup: Quorel installed"), std::string::npos) << out;

    // Every folder and file of the list is there, byte for byte, with its mode.
    size_t files = 0;
    for (const std::string& w : list.WorkList) {
        auto [type, arg] = SplitFirstBlank(w);
        if (type == "D") {
            EXPECT_TRUE(fs::is_directory(target + "/" + arg)) << arg;
        }
        if (type != "F") continue;
        auto [from, to] = SplitFirstBlank(arg);
        ++files;
        EXPECT_EQ(ReadFile(target + "/" + to), ReadFile(kDist + "/" + from)) << to;
        EXPECT_EQ(fs::status(target + "/" + to).permissions(),
                  fs::status(kDist + "/" + from).permissions())
            << to;
    }
    EXPECT_GE(files, 3u);
    // A portable installation: its games folder is in the program folder.
    EXPECT_TRUE(fs::is_directory(target + "/games"));
    EXPECT_FALSE(fs::exists(target + "/setup"));

    // The installed command-line companion runs from the target folder.
    ASSERT_EQ(Run({target + "/qrltool", "--help"}, target, out), 0) << out;
    EXPECT_EQ(out.rfind("usage: qrltool", 0), 0u) << out;

    if (fs::exists(target + "/quorel")) {
        // The window program finds the move library of its own folder, and
        // the menu starts it there.
        ASSERT_EQ(Run({"/usr/bin/ldd", target + "/quorel"}, target, out), 0) << out;
        EXPECT_EQ(out.find("not found"), std::string::npos) << out;
        if (out.find("libQRLPGN32.so") != std::string::npos) {
            EXPECT_NE(out.find("libQRLPGN32.so => " + target + "/libQRLPGN32.so"),
                      std::string::npos)
                << out;
        }
        std::string launcher = ReadFile(root / "data/applications/setup-quorel-quorel.desktop");
        EXPECT_NE(launcher.find("Exec=\"" + target + "/quorel\"\n"), std::string::npos) << launcher;
        EXPECT_NE(launcher.find("Path=" + target + "\n"), std::string::npos) << launcher;
        EXPECT_TRUE(fs::exists(root / "config/menus/applications-merged/setup-quorel.menu"));
    }

    if (fs::exists(target + "/quorel")) {
        // The installed program starts from the menu's folder and keeps its
        // data there (a portable installation), not below home. The start-up
        // probe shows the frame, reports and leaves.
        env.push_back("QUOREL_STARTUP_BENCH=1");
        pid_t pid = Start({target + "/quorel"}, target, root / "quorel.txt");
        ASSERT_GT(pid, 0);
        int rc = -1;
        for (int i = 0; i < 600 && rc < 0; ++i) { // at most 30 s
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        if (rc < 0) {
            ::kill(pid, SIGKILL);
            Wait(pid);
        }
        env.pop_back();
        std::string qout = ReadFile(root / "quorel.txt");
        EXPECT_EQ(rc, 0) << qout;
        EXPECT_NE(qout.find("startup_ms="), std::string::npos) << qout;
        EXPECT_TRUE(fs::is_directory(target + "/mailbox"));
        EXPECT_FALSE(fs::exists(root / "data/quorel")); // $XDG_DATA_HOME/quorel
    }

    // Installing again asks about the main file; unattended means Yes.
    ASSERT_EQ(Run({kDist + "/setup", "-INSTALL:" + target}, root.path(), out), 0) << out;
    EXPECT_NE(out.find("already exists.\nOverwrite data ? Yes"), std::string::npos) << out;
}

TEST_F(Dist, RefusesTheSourceFolder) {
    std::string out;
    std::string typed = AsciiUpperForTest(kDist) + "/";
    EXPECT_EQ(Run({kDist + "/setup", "-INSTALL:" + typed}, root.path(), out), 1) << out;
    EXPECT_NE(out.find("Can't install into the source directory"), std::string::npos) << out;
}

TEST_F(Dist, NoMenuFoldersMeansNoGroupButAnInstalledProgram) {
    fs::remove_all(root / "data/applications");
    std::string out;
    ASSERT_EQ(Run({kDist + "/setup", "-INSTALL:" + home + "/Q"}, root.path(), out), 0) << out;
    if (fs::exists(home + "/Q/quorel")) {
        EXPECT_NE(out.find("Can't create group, you have to create it manually, the program is "
                           "installed"),
                  std::string::npos)
            << out;
    }
    EXPECT_NE(out.find("Setup: Quorel installed"), std::string::npos) << out;
}

TEST_F(Dist, SecondSetupEndsAndLeavesTheFirst) {
    pid_t first = Start({kDist + "/setup"}, root.path(), root / "first.txt");
    ASSERT_GT(first, 0);
    // Wait (bounded) until the first setup listens.
    const std::string sock = root / "run/setup-v1-0.sock";
    for (int i = 0; i < 400 && !fs::exists(sock); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(sock));
    std::string out;
    EXPECT_EQ(Run({kDist + "/setup"}, root.path(), out), 0) << out;
    // The first is still running.
    int status = 0;
    EXPECT_EQ(::waitpid(first, &status, WNOHANG), 0);
    ::kill(first, SIGTERM);
    Wait(first);
}

} // namespace
} // namespace quorel::setup::test
