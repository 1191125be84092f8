// The setup list reader: every message that ends the program, and what a
// good list yields.
#include "setup/folders.h"
#include "setup/setuplist.h"
#include "testutil.h"

#include <gtest/gtest.h>

namespace quorel::setup::test {
namespace {

struct ErrorRow {
    const char* name;
    const char* text;
    const char* error; // nullptr = the list is good
};

// The message for each way a list can be bad; the order of the lines decides
// which message comes first.
const ErrorRow kErrorRows[] = {
    {"only_comments_and_program", "# a comment\n; another\nP Demo\n",
     "No files/directories found in SETUP.LST"},
    {"only_menu_items", "P Demo\nG Demo\nGA Demo demo\n",
     "No files/directories found in SETUP.LST"},
    {"default_folder_is_no_work", "P Demo\nDD /opt/demo\n",
     "No files/directories found in SETUP.LST"},
    {"unexpected_type", "P Demo\nX something\nF a a\n", "X - unexpected line type\nin SETUP.LST"},
    {"type_words_are_exact", "P Demo\nf a a\n", "f - unexpected line type\nin SETUP.LST"},
    {"type_without_argument", "P Demo\nZ\n", "Z - unexpected line type\nin SETUP.LST"},
    {"unexpected_before_missing_name", "Q x\n", "Q - unexpected line type\nin SETUP.LST"},
    {"leading_blank_is_an_empty_type", "P Demo\n F a a\n", " - unexpected line type\nin SETUP.LST"},
    {"no_program_name", "D games\nF a a\n", "Program name missing in SETUP.LST"},
    {"empty_program_name", "P\nD games\n", "Program name missing in SETUP.LST"},
    {"empty_list", "", "Program name missing in SETUP.LST"},
    {"install_program_missing", "P Demo\nI nothere.sh\nD games\n",
     "Special install program\nnothere.sh\ndoesn't exists"},
    {"install_program_is_a_folder", "P Demo\nI sub\nD games\n",
     "Special install program\nsub\ndoesn't exists"},
    {"install_program_outside_source", "P Demo\nI ../outside.sh\nD games\n",
     "Special install program\n../outside.sh\ndoesn't exists"},
    {"install_program_checked_before_work", "I nothere.sh\n",
     "Special install program\nnothere.sh\ndoesn't exists"},
    {"one_folder_is_enough", "P Demo\nD games\n", nullptr},
    {"one_file_is_enough", "P Demo\nF a a\n", nullptr},
    {"main_file_is_enough", "P Demo\nFM a a\n", nullptr},
    {"install_program_found", "P Demo\nI extra.sh\nD games\n", nullptr},
    {"install_program_any_case", "P Demo\nI EXTRA.SH\nD games\n", nullptr},
    {"crlf_blank_lines_and_trailing_blanks", "P Demo  \r\n\r\n   \r\nD games\t\r\n", nullptr},
};

class ListErrors : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(ListErrors, MessageOrSuccess) {
    TempDir root;
    const std::string src = root / "src";
    WriteFile(src + "/extra.sh", "#!/bin/sh\n", 0755);
    WriteFile(root / "outside.sh", "#!/bin/sh\n", 0755);
    fs::create_directories(src + "/sub");
    TSetupList list;
    auto err = ParseSetupList(GetParam().text, src, list);
    if (GetParam().error) {
        ASSERT_TRUE(err.has_value());
        EXPECT_EQ(*err, GetParam().error);
    } else {
        EXPECT_FALSE(err.has_value()) << *err;
    }
}

INSTANTIATE_TEST_SUITE_P(SetupList, ListErrors, ::testing::ValuesIn(kErrorRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SetupList, ValuesAndWorkListInFileOrder) {
    TempDir src;
    WriteFile(src / "extra.sh", "#!/bin/sh\n", 0755);
    const char* text = "# Demo list\r\n"
                       "P Quorel Chess 4.0\r\n"
                       "G Quorel Group\r\n"
                       "DD /opt/quorel\r\n"
                       "D games\r\n"
                       "F qrltool  qrltool\r\n"
                       "GA Quorel Manual docs/index.html\r\n"
                       "FM quorel quorel\r\n"
                       "; the last lines\r\n"
                       "D docs\r\n"
                       "I extra.sh\r\n";
    TSetupList list;
    std::vector<std::string> boxes;
    auto err =
        ParseSetupList(text, src.path(), list, [&](const std::string& s) { boxes.push_back(s); });
    ASSERT_FALSE(err.has_value()) << *err;
    EXPECT_EQ(list.ProgramName, "Quorel Chess 4.0");
    EXPECT_EQ(list.GroupName, "Quorel Group");
    EXPECT_EQ(list.DefaultDir, "/opt/quorel");
    EXPECT_EQ(list.MainFile, "quorel");
    EXPECT_EQ(list.InstallProgram, "extra.sh");
    // Everything after the first blank is the argument, further blanks included.
    const std::vector<std::string> work{"D games", "F qrltool  qrltool",
                                        "GA Quorel Manual docs/index.html", "F quorel quorel",
                                        "D docs"};
    EXPECT_EQ(list.WorkList, work);
    // "-DEBUG" shows one box for each P, G, FM and I line, DD gets none.
    const std::vector<std::string> expected{"Program to install : Quorel Chess 4.0",
                                            "Default group : Quorel Group", "Main file : quorel",
                                            "Special install program : extra.sh"};
    EXPECT_EQ(boxes, expected);
}

TEST(SetupList, DebugBoxComesBeforeTheMissingProgramMessage) {
    TempDir src;
    TSetupList list;
    std::vector<std::string> boxes;
    auto err = ParseSetupList("P Demo\nI gone.sh\n", src.path(), list,
                              [&](const std::string& s) { boxes.push_back(s); });
    ASSERT_TRUE(err.has_value());
    EXPECT_EQ(boxes.back(), "Special install program : gone.sh");
}

TEST(SetupList, ReadFromFolder) {
    TempDir src;
    TSetupList list;
    // No list at all.
    auto err = ReadSetupList(src.path(), list);
    ASSERT_TRUE(err.has_value());
    EXPECT_EQ(*err, "Can't find " + src.path() + "/SETUP.LST");
    // A folder of that name is no list either.
    fs::create_directories(src / "SETUP.LST");
    err = ReadSetupList(src.path() + "/", list);
    ASSERT_TRUE(err.has_value());
    EXPECT_EQ(*err, "Can't find " + src.path() + "/SETUP.LST");
    fs::remove(src / "SETUP.LST");
    // The name is found in any letter case.
    WriteFile(src / "setup.lst", "P Demo\nD games\n");
    err = ReadSetupList(src.path(), list);
    EXPECT_FALSE(err.has_value());
    EXPECT_EQ(list.ProgramName, "Demo");
}

TEST(SetupList, WindowsCodePageListsAreRead) {
    TempDir src;
    // "Peón" in Windows-1252, and a file of that name on disk in UTF-8.
    WriteFile(src / "SETUP.LST", "P Pe\xF3n\r\nF pe\xF3n.txt pe\xF3n.txt\r\n");
    TSetupList list;
    auto err = ReadSetupList(src.path(), list);
    ASSERT_FALSE(err.has_value()) << *err;
    EXPECT_EQ(list.ProgramName, "Pe\xC3\xB3n");
    EXPECT_EQ(list.WorkList.at(0), "F pe\xC3\xB3n.txt pe\xC3\xB3n.txt");
    // A UTF-8 list is kept as it is.
    WriteFile(src / "SETUP.LST", "P Pe\xC3\xB3n\nD games\n");
    ASSERT_FALSE(ReadSetupList(src.path(), list).has_value());
    EXPECT_EQ(list.ProgramName, "Pe\xC3\xB3n");
}

// Any bytes give either a message or a list; never a crash.
TEST(SetupList, ArbitraryBytes) {
    TempDir src;
    unsigned seed = 12345;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    const char* words[] = {"P ",  "G ", "D ", "DD ", "F ",   "FM ",
                           "GA ", "I ", "# ", "\n",  "\r\n", " "};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        int parts = int(next() % 40);
        for (int i = 0; i < parts; ++i) {
            if (next() % 3 == 0) {
                text += char(next() % 256);
            } else {
                text += words[next() % (sizeof words / sizeof *words)];
            }
        }
        TSetupList list;
        auto err = ParseSetupList(text, src.path(), list);
        if (!err) {
            EXPECT_FALSE(list.ProgramName.empty()) << text;
            for (const auto& w : list.WorkList)
                EXPECT_FALSE(w.empty());
        }
    }
}

TEST(SetupList, DefaultTargetFolder) {
    TSetupList list;
    list.ProgramName = "Quorel Chess 4.0";
    EXPECT_EQ(DefaultTargetFolder(list, "/home/ana"), "/home/ana/Quorel");
    EXPECT_EQ(DefaultTargetFolder(list, "/home/ana/"), "/home/ana/Quorel");
    EXPECT_EQ(DefaultTargetFolder(list, "/"), "/Quorel");
    list.DefaultDir = "/opt/quorel";
    EXPECT_EQ(DefaultTargetFolder(list, "/home/ana"), "/opt/quorel");
}

TEST(Folders, CompareWithoutCaseButKeepAsTyped) {
    TempDir t;
    fs::create_directories(t / "Games/Old");
    // Existing parts are found in any case, new parts keep the typed case.
    EXPECT_EQ(ResolveInFolder(t.path(), "GAMES/old/New"), t / "Games/Old/New");
    EXPECT_EQ(ResolveInFolder(t.path() + "/", "games\\OLD"), t / "Games/Old");
    EXPECT_EQ(ResolveInFolder(t.path(), "./games/../Games"), t / "Games");
    // Never out of the folder.
    EXPECT_EQ(ResolveInFolder(t.path(), "../x"), "");
    EXPECT_EQ(ResolveInFolder(t.path(), "a/../../x"), "");
    EXPECT_EQ(ResolveInFolder(t.path(), "/etc/passwd"), "");
    EXPECT_EQ(ResolveInFolder(t.path(), "\\etc"), "");
    EXPECT_EQ(ResolveInFolder(t.path(), ""), "");

    EXPECT_TRUE(SameFolder("/tmp/Some/Folder/", "/TMP/some/folder"));
    EXPECT_TRUE(SameFolder(t.path(), t.path() + "/Games/.."));
    EXPECT_FALSE(SameFolder("/tmp/a", "/tmp/ab"));
    EXPECT_FALSE(SameFolder("", "/"));
    EXPECT_EQ(NormalizeFolder("  /opt/Quorel/ "), "/opt/Quorel");
    EXPECT_EQ(NormalizeFolder("~/Quorel"), HomeFolder() + "/Quorel");
    EXPECT_EQ(NormalizeFolder("/"), "/");
    EXPECT_EQ(WithSlash("/"), "/");
    EXPECT_EQ(WithSlash("/a//"), "/a/");
}

} // namespace
} // namespace quorel::setup::test
