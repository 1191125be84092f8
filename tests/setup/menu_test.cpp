// The desktop menu that stands in for the group step: when it counts as
// reachable, which groups it lists, and the files the macro lines write.
#include "setup/desktopmenu.h"
#include "setup/singleinstance.h"
#include "testutil.h"

#include <gtest/gtest.h>

namespace quorel::setup::test {
namespace {

// A desktop's own menu file: nested menus, a comment with a fake menu in it
// and an escaped name.
constexpr const char* kSystemMenu = R"(<?xml version="1.0"?>
<Menu>
  <Name>Applications</Name>
  <DefaultAppDirs/>
  <!-- <Menu><Name>Commented</Name></Menu> -->
  <Menu>
    <Name>Games</Name>
    <Directory>Games.directory</Directory>
    <Menu><Name>Board Games</Name></Menu>
  </Menu>
  <Menu>
    <Name>Office &amp; Work</Name>
    <Include><Category>Office</Category></Include>
  </Menu>
</Menu>
)";

class Menu : public ::testing::Test {
  protected:
    TMenuFolders Folders() {
        TMenuFolders f;
        f.DataHome = root / "data";
        f.ConfigHome = root / "config";
        f.ConfigDirs = {root / "etc1", root / "etc2"};
        return f;
    }
    TempDir root;
};

TEST_F(Menu, ReachableOnlyWithAMenuOrApplicationsFolder) {
    TDesktopMenu none(Folders());
    EXPECT_FALSE(none.Connect());
    WriteFile(root / "etc2/menus/other.menu", kSystemMenu);
    EXPECT_FALSE(none.Connect()); // not an applications menu
    WriteFile(root / "etc2/menus/xfce-applications.menu", kSystemMenu);
    EXPECT_TRUE(none.Connect());
    fs::remove(root / "etc2/menus/xfce-applications.menu");
    fs::create_directories(root / "data/applications");
    EXPECT_TRUE(none.Connect());
}

TEST_F(Menu, GroupsAreTheTopLevelMenus) {
    EXPECT_EQ(TopLevelMenuNames(kSystemMenu), (std::vector<std::string>{"Games", "Office & Work"}));
    WriteFile(root / "etc1/menus/applications.menu", kSystemMenu);
    WriteFile(root / "config/menus/applications-merged/a.menu",
              "<Menu><Name>Applications</Name><Menu><Name>chess</Name></Menu>"
              "<Menu><Name>games</Name></Menu></Menu>");
    TDesktopMenu m(Folders());
    ASSERT_TRUE(m.Connect());
    EXPECT_EQ(m.Groups(), (std::vector<std::string>{"chess", "Games", "Office & Work"}));
}

TEST_F(Menu, NewGroupWithAProgramAndADocument) {
    fs::create_directories(root / "data/applications");
    const std::string inst = root / "Quorel Folder";
    WriteFile(inst + "/quorel", "#!/bin/sh\n", 0755);
    WriteFile(inst + "/docs/index.html", "<html></html>");
    TDesktopMenu m(Folders());
    ASSERT_TRUE(m.Connect());
    EXPECT_TRUE(m.Execute("[creategroup(\"Quorel & Co\")]"));
    EXPECT_TRUE(m.Execute("[Additem(" + inst + "/quorel, \"Quorel\")]"));
    EXPECT_TRUE(m.Execute("[Additem(" + inst + "/docs/index.html, \"Quorel manual\")]"));
    EXPECT_TRUE(m.Execute("[ShowGroup(\"Quorel & Co\")]"));
    m.Disconnect();

    EXPECT_EQ(ReadFile(root / "data/desktop-directories/setup-quorel-co.directory"),
              "[Desktop Entry]\nType=Directory\nName=Quorel & Co\nIcon=folder\n");
    EXPECT_EQ(ReadFile(root / "data/applications/setup-quorel-co-quorel.desktop"),
              "[Desktop Entry]\nType=Application\nName=Quorel\nExec=\"" + inst +
                  "/quorel\"\nPath=" + inst + "\nTerminal=false\n");
    EXPECT_EQ(ReadFile(root / "data/applications/setup-quorel-co-quorel-manual.desktop"),
              "[Desktop Entry]\nType=Application\nName=Quorel manual\nExec=xdg-open \"" + inst +
                  "/docs/index.html\"\nPath=" + inst + "/docs\nTerminal=false\n");
    const std::string menuFile = root / "config/menus/applications-merged/setup-quorel-co.menu";
    const std::string menu = ReadFile(menuFile);
    EXPECT_NE(menu.find("<Name>Quorel &amp; Co</Name>"), std::string::npos);
    EXPECT_NE(menu.find("<Directory>setup-quorel-co.directory</Directory>"), std::string::npos);
    EXPECT_EQ(TopLevelMenuNames(menu), std::vector<std::string>{"Quorel & Co"});

    // The desktop's own tools agree, where they are installed.
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0) {
        std::string cmd = "desktop-file-validate '" + root / "data/applications/" +
                          "setup-quorel-co-quorel.desktop' '" + root / "data/applications/" +
                          "setup-quorel-co-quorel-manual.desktop' '" +
                          root / "data/desktop-directories/setup-quorel-co.directory'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
    if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("xmllint --noout '" + menuFile + "'").c_str()), 0);
    }

    // A second installation adds to the group and keeps what is there.
    TDesktopMenu again(Folders());
    EXPECT_TRUE(again.Execute("[creategroup(\"Quorel & Co\")]"));
    EXPECT_TRUE(again.Execute("[Additem(" + inst + "/quorel, \"Tool\")]"));
    const std::string menu2 = ReadFile(menuFile);
    for (const char* id : {"setup-quorel-co-quorel.desktop",
                           "setup-quorel-co-quorel-manual.desktop", "setup-quorel-co-tool.desktop"})
        EXPECT_NE(menu2.find(std::string("<Filename>") + id + "</Filename>"), std::string::npos)
            << id;
}

TEST_F(Menu, DesktopsOwnGroupKeepsItsFolderEntry) {
    WriteFile(root / "etc1/menus/applications.menu", kSystemMenu);
    TDesktopMenu m(Folders());
    ASSERT_TRUE(m.Connect());
    EXPECT_TRUE(m.Execute("[creategroup(\"games\")]"));
    EXPECT_TRUE(m.Execute("[Additem(/opt/x/quorel, \"Quorel\")]"));
    std::string menu = ReadFile(root / "config/menus/applications-merged/setup-games.menu");
    EXPECT_EQ(menu.find("<Directory>"), std::string::npos);
    EXPECT_FALSE(fs::exists(root / "data/desktop-directories/setup-games.directory"));
    // A file that does not exist (yet) is opened, not started.
    EXPECT_NE(ReadFile(root / "data/applications/setup-games-quorel.desktop")
                  .find("Exec=xdg-open \"/opt/x/quorel\""),
              std::string::npos);
}

TEST_F(Menu, MacrosNotUnderstood) {
    TDesktopMenu m(Folders());
    for (const char* bad :
         {"", "[creategroup(\"\")]", "[creategroup(Demo)]",
          "[Additem(/x/y, \"T\")]", // no group made yet
          "[Deletegroup(\"Demo\")]", "[ShowGroup(\"Demo\")]", "[creategroup(\"Demo\")"})
        EXPECT_FALSE(m.Execute(bad)) << bad;
    EXPECT_TRUE(m.Execute("[CREATEGROUP(\"Demo\")]"));
    EXPECT_FALSE(m.Execute("[Additem(/x/y, T)]"));
    EXPECT_FALSE(m.Execute("[Additem(, \"T\")]"));
    // A comma in the folder name is part of the path.
    EXPECT_TRUE(m.Execute("[Additem(/x/a, b/y, \"T, two\")]"));
    EXPECT_NE(ReadFile(root / "data/applications/setup-demo-t-two.desktop")
                  .find("Exec=xdg-open \"/x/a, b/y\""),
              std::string::npos);
}

TEST(DesktopEntry, Escaping) {
    struct Row {
        const char* in;
        const char* exec;
    };
    const Row rows[] = {
        {"/opt/q/quorel", R"("/opt/q/quorel")"},     {"/home/a b/q", R"("/home/a b/q")"},
        {"/x/$HOME`id`", R"("/x/\\$HOME\\`id\\`")"}, {"/x/100%", R"("/x/100%%")"},
        {"/x/a\"b\\c", R"("/x/a\\"b\\\\c")"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(TDesktopMenu::ExecArgument(r.in), r.exec) << r.in;
    EXPECT_EQ(TDesktopMenu::EscapeValue("a\nb\\c\t"), "a\\nb\\\\c\\t");
    EXPECT_EQ(TDesktopMenu::IdPart("  Quorel 4.0 (Chess)! "), "quorel-4-0-chess");
    EXPECT_EQ(TDesktopMenu::IdPart("???"), "item");
}

TEST(SingleInstance, SecondStartRaisesTheFirst) {
    TempDir t;
    {
        TSingleInstance first("Setup V1.0", t.path());
        ASSERT_EQ(first.Acquire(), TSingleInstance::TState::First);
        EXPECT_GE(first.ListenFd(), 0);
        EXPECT_FALSE(first.TakeRaiseRequests());
        TSingleInstance second("Setup V1.0", t.path());
        EXPECT_EQ(second.Acquire(), TSingleInstance::TState::OtherRaised);
        EXPECT_EQ(second.ListenFd(), -1);
        EXPECT_TRUE(first.TakeRaiseRequests());
        EXPECT_FALSE(first.TakeRaiseRequests());
        // Another name is another instance.
        TSingleInstance other("Other", t.path());
        EXPECT_EQ(other.Acquire(), TSingleInstance::TState::First);
    }
    // The first has ended: the next start is the first again.
    TSingleInstance next("Setup V1.0", t.path());
    EXPECT_EQ(next.Acquire(), TSingleInstance::TState::First);
}

TEST(SingleInstance, StaleSocketOfACrashedSetup) {
    TempDir t;
    int fd = -1;
    {
        TSingleInstance crashed("Setup V1.0", t.path());
        ASSERT_EQ(crashed.Acquire(), TSingleInstance::TState::First);
        fd = ::dup(crashed.ListenFd());
    }
    // Leave a socket file nobody listens on.
    ::close(fd);
    WriteFile(t / "setup-v1-0.sock", "");
    TSingleInstance next("Setup V1.0", t.path());
    EXPECT_EQ(next.Acquire(), TSingleInstance::TState::First);
}

} // namespace
} // namespace quorel::setup::test
