// The install steps against real folders: what is copied, shown and asked,
// in which order, and what happens when a step fails.
#include "setup/folders.h"
#include "setup/installer.h"
#include "testutil.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace quorel::setup::test {
namespace {

class FakeMenu : public TProgramManager {
  public:
    bool reachable = true;
    bool executeOk = true;
    int connects = 0, disconnects = 0;
    std::vector<std::string> groups{"Accessories", "Games"};
    std::vector<std::string> executed;
    bool Connect() override {
        ++connects;
        return reachable;
    }
    std::vector<std::string> Groups() override { return groups; }
    bool Execute(const std::string& m) override {
        executed.push_back(m);
        return executeOk;
    }
    void Disconnect() override { ++disconnects; }
};

// The extra install program writes its arguments and folder into the target
// and ends with exit code 3.
constexpr const char* kExtra = "#!/bin/sh\n"
                               "printf '%s\\n' \"$#\" \"$1\" \"$(pwd)\" > \"$1/extra.out\"\n"
                               "exit 3\n";

class Install : public ::testing::Test {
  protected:
    void SetUp() override {
        src = root / "src";
        // The target has a blank and missing parents.
        target = root / "Target Folder/Demo";
        WriteFile(src + "/QUOREL", "program bytes\n", 0755);
        WriteFile(src + "/Docs/Manual.txt", "manual\n");
        WriteFile(src + "/extra.sh", kExtra, 0755);
    }
    TSetupList List(const std::string& text) {
        TSetupList list;
        auto err = ParseSetupList(text, src, list);
        EXPECT_FALSE(err.has_value()) << *err;
        return list;
    }
    bool Exists(const std::string& p) { return fs::exists(p); }

    TempDir root;
    std::string src, target;
    RecordingUi ui;
    FakeMenu menu;
};

TEST_F(Install, WholeRunInOrder) {
    TSetupList list = List("P Demo Chess\n"
                           "G Demo\n"
                           "D games\n"
                           "D DOCS\n"
                           "FM QUOREL quorel\n"
                           "F docs/manual.txt docs/Manual.txt\n"
                           "GA Manual docs/Manual.txt\n"
                           "GA Demo quorel\n"
                           "GA Old DEMO.EXE\n"
                           "GA Small demo.exe\n"
                           "I extra.sh\n");
    fs::create_directories(target + "/Games"); // the D line's folder exists, other case
    ui.logWaits = true;
    TInstaller inst(list, src, ui, &menu, /*debug=*/true);
    ASSERT_EQ(inst.Install(target), TInstallResult::Installed);

    const std::vector<std::string> expected{
        "show",
        "progress: Directory already exists | " + target + "/Games",
        "wait 100",
        "progress: Create directory | " + target + "/DOCS",
        "wait 100",
        "progress: " + src + "/QUOREL | " + target + "/quorel",
        "wait 100",
        "progress: " + src + "/Docs/Manual.txt | " + target + "/DOCS/Manual.txt",
        "wait 100",
        "hide",
        "group: Accessories,Games | Demo",
        "msg: cmd : ./extra.sh " + target,
        "msg: exit code : 3",
        "msg: Demo Chess installed",
    };
    EXPECT_EQ(ui.log, expected);
    const std::vector<std::string> macros{
        "[creategroup(\"Demo\")]",
        "[Additem(" + target + "/docs/Manual.txt, \"Manual\")]",
        "[Additem(" + target + "/quorel, \"Demo\")]",
        "[Additem(" + target + "/DEMO.EXE, \"Demo Chess\")]", // ".EXE" takes the program name
        "[Additem(" + target + "/demo.exe, \"Small\")]",      // ".exe" keeps its title
        "[ShowGroup(\"Demo\")]",
    };
    EXPECT_EQ(menu.executed, macros);
    EXPECT_EQ(menu.disconnects, 1);
    EXPECT_TRUE(inst.WorkList().empty());

    EXPECT_EQ(ReadFile(target + "/quorel"), "program bytes\n");
    EXPECT_EQ(fs::status(target + "/quorel").permissions() & fs::perms::all, fs::perms(0755));
    EXPECT_EQ(ReadFile(target + "/DOCS/Manual.txt"), "manual\n");
    EXPECT_FALSE(Exists(target + "/games")); // the existing Games was used
    // The extra program got the target without trailing "/" as one argument,
    // and ran in the source folder.
    EXPECT_EQ(ReadFile(target + "/extra.out"), "1\n" + target + "\n" + src + "\n");
}

TEST_F(Install, FailingCopyAbortsAndStopsEverythingAfter) {
    TSetupList list = List("P Demo\nG Demo\nD games\nF missing.txt missing.txt\n"
                           "FM QUOREL quorel\nGA Demo quorel\nI extra.sh\n");
    TInstaller inst(list, src, ui, &menu);
    ASSERT_EQ(inst.Install(target), TInstallResult::Aborted);
    const std::vector<std::string> expected{
        "show",
        "progress: Create directory | " + target + "/games",
        "progress: " + src + "/missing.txt | " + target + "/missing.txt",
        "msg: Can't copy file " + src + "/missing.txt",
        "hide",
        "msg: Demo installation aborted",
    };
    EXPECT_EQ(ui.log, expected);
    EXPECT_TRUE(inst.WorkList().empty());
    EXPECT_TRUE(Exists(target + "/games"));
    EXPECT_FALSE(Exists(target + "/quorel"));
    EXPECT_FALSE(Exists(target + "/extra.out"));
    EXPECT_EQ(menu.connects, 0);
}

TEST_F(Install, CopyOntoAFolderFailsAndKeepsTheFolder) {
    TSetupList list = List("P Demo\nD games\nF QUOREL games\n");
    WriteFile(target + "/games/kept.qrl", "game");
    TInstaller inst(list, src, ui, nullptr);
    ASSERT_EQ(inst.Install(target), TInstallResult::Aborted);
    EXPECT_EQ(ui.With("msg:").front(), "msg: Can't copy file " + src + "/QUOREL");
    EXPECT_EQ(ReadFile(target + "/games/kept.qrl"), "game");
    // No temporary file is left behind.
    for (const auto& e : fs::directory_iterator(target))
        EXPECT_EQ(e.path().filename(), "games") << e.path();
}

TEST_F(Install, NamesThatLeaveTheTargetFail) {
    {
        TSetupList list = List("P Demo\nD ../outside\n");
        RecordingUi u;
        TInstaller inst(list, src, u, nullptr);
        EXPECT_EQ(inst.Install(target), TInstallResult::Aborted);
        EXPECT_EQ(u.With("msg:").front(), "msg: Can't create directory " + target + "/../outside");
        EXPECT_FALSE(Exists(root / "Target Folder/outside"));
    }
    {
        TSetupList list = List("P Demo\nF QUOREL ../../evil\n");
        RecordingUi u;
        TInstaller inst(list, src, u, nullptr);
        EXPECT_EQ(inst.Install(target), TInstallResult::Aborted);
        EXPECT_EQ(u.With("msg:").front(), "msg: Can't copy file " + src + "/QUOREL");
        EXPECT_FALSE(Exists(root / "evil"));
    }
}

TEST_F(Install, SourceFolderIsRefusedInAnyCase) {
    TSetupList list = List("P Demo\nD games\n");
    for (const std::string& typed :
         {AsciiUpperForTest(src), src + "/", src + "/./", src + "/../src"}) {
        RecordingUi u;
        TInstaller inst(list, src, u, &menu);
        EXPECT_EQ(inst.Install(typed), TInstallResult::Refused) << typed;
        ASSERT_EQ(u.log.size(), 1u) << typed;
        EXPECT_EQ(u.log[0].rfind("msg: Can't install into the source directory ", 0), 0u);
    }
    EXPECT_FALSE(Exists(src + "/games"));
}

TEST_F(Install, TargetThatCannotBeCreated) {
    WriteFile(root / "plainfile", "x");
    TSetupList list = List("P Demo\nD games\n");
    for (const std::string& typed : {root / "plainfile/sub", std::string("   ")}) {
        RecordingUi u;
        TInstaller inst(list, src, u, nullptr);
        EXPECT_EQ(inst.Install(typed), TInstallResult::Aborted);
        const std::vector<std::string> expected{"msg: Can't create target directory " + typed,
                                                "msg: Demo installation aborted"};
        EXPECT_EQ(u.log, expected);
    }
}

TEST_F(Install, OverwriteQuestionForTheMainFile) {
    TSetupList list = List("P Demo\nFM QUOREL quorel\n");
    WriteFile(target + "/QUOREL", "old\n"); // exists in another letter case
    ui.answers = {false};
    TInstaller inst(list, src, ui, nullptr);
    EXPECT_EQ(inst.Install(target), TInstallResult::Refused);
    const std::vector<std::string> asked{"ask: " + target + "/\nalready exists.\nOverwrite data ?"};
    EXPECT_EQ(ui.log, asked);
    EXPECT_EQ(ReadFile(target + "/QUOREL"), "old\n");

    // Yes: the file is replaced, under the name it already has.
    RecordingUi yes;
    TInstaller again(list, src, yes, nullptr);
    EXPECT_EQ(again.Install(target), TInstallResult::Installed);
    EXPECT_EQ(ReadFile(target + "/QUOREL"), "program bytes\n");
    EXPECT_FALSE(Exists(target + "/quorel") &&
                 !fs::equivalent(target + "/quorel", target + "/QUOREL"));
}

TEST_F(Install, GroupStepOutcomes) {
    const std::string text = "P Demo\nG Demo\nFM QUOREL quorel\nGA Demo quorel\nI extra.sh\n";
    const std::string noGroup =
        "msg: Can't create group, you have to create it manually, the program is installed";
    struct Row {
        const char* name;
        std::string list;
        bool reachable, executeOk, groupOk;
        bool extraRuns;
        bool groupMessage;
        size_t macros;
    };
    const Row rows[] = {
        {"menu_reached", text, true, true, true, true, false, 3},
        // No menu: the program is installed, the extra program is skipped.
        {"no_menu", text, false, true, true, false, true, 0},
        {"menu_refuses_an_item", text, true, false, true, false, true, 3},
        {"group_window_cancelled", text, true, true, false, true, false, 0},
        // No G line: GA lines are dropped and the menu is never asked.
        {"no_group_line", "P Demo\nFM QUOREL quorel\nGA Demo quorel\nI extra.sh\n", true, true,
         true, true, false, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fs::remove_all(target);
        FakeMenu m;
        m.reachable = r.reachable;
        m.executeOk = r.executeOk;
        RecordingUi u;
        u.groupOk = r.groupOk;
        TInstaller inst(List(r.list), src, u, &m);
        EXPECT_EQ(inst.Install(target), TInstallResult::Installed);
        EXPECT_EQ(Exists(target + "/extra.out"), r.extraRuns);
        auto msgs = u.With("msg:");
        EXPECT_EQ(std::find(msgs.begin(), msgs.end(), noGroup) != msgs.end(), r.groupMessage);
        EXPECT_EQ(msgs.back(), "msg: Demo installed");
        EXPECT_EQ(m.executed.size(), r.macros);
        EXPECT_EQ(m.connects, std::string(r.name) == "no_group_line" ? 0 : 1);
        EXPECT_TRUE(u.With("ask:").empty()); // no "work list not empty" question
    }
}

TEST_F(Install, GroupChosenInTheWindow) {
    TSetupList list = List("P Demo\nG Demo\nD games\nGA Demo quorel\n");
    ui.groupChoice = "Games";
    TInstaller inst(list, src, ui, &menu);
    EXPECT_EQ(inst.Install(target), TInstallResult::Installed);
    ASSERT_EQ(menu.executed.size(), 3u);
    EXPECT_EQ(menu.executed.front(), "[creategroup(\"Games\")]");
    EXPECT_EQ(menu.executed.back(), "[ShowGroup(\"Games\")]");
}

TEST_F(Install, ExtraProgramThatCannotStart) {
    WriteFile(src + "/extra.sh", kExtra, 0644); // not executable
    TSetupList list = List("P Demo\nD games\nI extra.sh\n");
    TInstaller inst(list, src, ui, nullptr);
    EXPECT_EQ(inst.Install(target), TInstallResult::Aborted);
    auto msgs = ui.With("msg:");
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0], "msg: Error in executing\nspecial install program\nextra.sh");
    EXPECT_EQ(msgs[1], "msg: Demo installation aborted");
}

TEST(CopyFileReplacing, ReplacesReadOnlyFilesAndKeepsFolders) {
    TempDir t;
    WriteFile(t / "src", "new", 0750);
    WriteFile(t / "old", "old", 0444);
    EXPECT_TRUE(CopyFileReplacing(t / "src", t / "old"));
    EXPECT_EQ(ReadFile(t / "old"), "new");
    EXPECT_EQ(fs::status(t / "old").permissions() & fs::perms::all, fs::perms(0750));
    fs::create_directories(t / "dir");
    EXPECT_FALSE(CopyFileReplacing(t / "src", t / "dir"));
    EXPECT_TRUE(fs::is_directory(t / "dir"));
    EXPECT_FALSE(CopyFileReplacing(t / "nothere", t / "x"));
    EXPECT_FALSE(CopyFileReplacing(t / "dir", t / "x")); // a folder is no file to copy
    EXPECT_FALSE(CopyFileReplacing(t / "src", t / "nofolder/x"));
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(t.path()))
        ++n;
    EXPECT_EQ(n, 3u); // src, old, dir: no temporary file left
}

TEST(RunAndWait, ExitCodesAndSignals) {
    TempDir t;
    WriteFile(t / "ok.sh", "#!/bin/sh\nexit 0\n", 0755);
    WriteFile(t / "seven.sh", "#!/bin/sh\nexit 7\n", 0755);
    WriteFile(t / "killed.sh", "#!/bin/sh\nkill -9 $$\n", 0755);
    EXPECT_EQ(RunAndWait(t.path(), "ok.sh", "x"), 0);
    EXPECT_EQ(RunAndWait(t.path(), "seven.sh", "x"), 7);
    EXPECT_EQ(RunAndWait(t.path(), "killed.sh", "x"), 128 + 9);
    EXPECT_EQ(RunAndWait(t.path(), "missing.sh", "x"), -1);
    int pumps = 0;
    WriteFile(t / "slow.sh", "#!/bin/sh\nsleep 0.2\n", 0755);
    EXPECT_EQ(RunAndWait(t.path(), "slow.sh", "x",
                         [&] {
                             ++pumps;
                             ::usleep(5000);
                         }),
              0);
    EXPECT_GT(pumps, 0); // the window is kept alive while it waits
}

} // namespace
} // namespace quorel::setup::test
