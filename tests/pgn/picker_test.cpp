// The game picker's logic: row text, filter, sorting, search and the scan.
#include "pgn/picker.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <atomic>

namespace quorel::pgn {
namespace {

TEST(PickerRow, ColumnsArePaddedOrCutAndTabSeparated) {
    PickerValues v = {"Hastings Premier",   "Congress", "Capablanca, Jose Raul",
                      std::string(35, 'B'), "1/2-1/2",  "1934.12.28",
                      "C77 extra"};
    std::string row = ListRow(v);
    std::string expected = "Hastings P\t" + std::string("Congress") + std::string(22, ' ') + "\t" +
                           "Capablanca, Jose Raul" + std::string(9, ' ') + "\t" +
                           std::string(30, 'B') + "\t" + "1/2-1/2   \t" + "1934.12.28\t" +
                           "C77 extra";
    EXPECT_EQ(row, expected);
    // The columns begin at 1, 12, 43, 74, 105, 116 and 127.
    for (int c = 1; c < kPickerColumns; ++c)
        EXPECT_EQ(row[size_t(ColumnStarts[size_t(c)] - 2)], '\t') << c;
    // Widths count characters, not bytes.
    PickerValues u = {"M\xc3\xbcnchen", "", "", "", "", "", ""};
    EXPECT_EQ(ListRow(u).substr(0, 12), "M\xc3\xbcnchen   \t");
}

struct FilterCase {
    const char* name;
    std::array<std::string, kPickerColumns> boxes;
    int mode;
    bool passes;
};

TEST(PickerFilter, Table) {
    const PickerValues game = {"Linares",    "Torneo", "Kasparov, Garry", "Karpov, Anatoly", "1-0",
                               "1991.??.??", "B80"};
    const FilterCase cases[] = {
        {"all empty, OR", {}, 0, true},
        {"all empty, AND", {}, 1, true},
        {"OR, one box matches", {"", "", "Kasparov", "", "", "", ""}, 0, true},
        {"OR, text is case-sensitive", {"", "", "kasparov", "", "", "", ""}, 0, false},
        {"OR, one of two matches", {"", "", "Tal", "Karpov", "", "", ""}, 0, true},
        {"AND, one of two matches", {"", "", "Tal", "Karpov", "", "", ""}, 1, false},
        {"AND, both match", {"Lin", "", "", "", "1-0", "", ""}, 1, true},
        {"each box looks at its own tag", {"", "", "", "", "", "", "Linares"}, 0, false},
        {"date and eco boxes", {"", "", "", "", "", "1991", "B8"}, 1, true},
    };
    for (const auto& c : cases) {
        TPickerFilter f;
        f.Boxes = c.boxes;
        f.Mode = c.mode;
        EXPECT_EQ(f.Passes(game), c.passes) << c.name;
    }
}

TEST(PickerSort, HeaderClicksAndOrder) {
    TSortKey key;
    EXPECT_EQ(key.Start, 1);
    EXPECT_EQ(key.Width, -1);
    EXPECT_FALSE(key.Descending);
    EXPECT_FALSE(HeaderClick(key, kColumnDate));
    EXPECT_EQ(key.Start, 1);
    ASSERT_TRUE(HeaderClick(key, kColumnWhite));
    EXPECT_EQ(key.Start, 43);
    EXPECT_EQ(key.Width, 30);
    EXPECT_TRUE(key.Descending) << "the first click sorts in descending order";
    ASSERT_TRUE(HeaderClick(key, kColumnEco));
    EXPECT_EQ(key.Start, 127);
    EXPECT_FALSE(key.Descending) << "one direction flag for all columns";

    auto row = [](const char* white, const char* eco) {
        return ListRow({"s", "e", white, "b", "r", "d", eco});
    };
    std::vector<TPickerRow> rows = {
        {1, row("bronstein", "B01")}, {2, row("Alekhine", "A00")}, {3, row("Botvinnik", "A00")}};
    TSortKey white;
    HeaderClick(white, kColumnWhite);
    white.Descending = false;
    SortRows(rows, white);
    EXPECT_EQ(rows[0].Game, 2);
    EXPECT_EQ(rows[1].Game, 3); // "Botvinnik" before "bronstein": case does not count
    EXPECT_EQ(rows[2].Game, 1);
    TSortKey eco;
    HeaderClick(eco, kColumnEco);
    SortRows(rows, eco); // descending; equal keys keep their order
    EXPECT_EQ(rows[0].Game, 1);
    EXPECT_EQ(rows[1].Game, 2);
    EXPECT_EQ(rows[2].Game, 3);
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_EQ(CompareText("\xc3\x89tienne", "\xc3\xa9tienne"), 0);
}

TEST(PickerSearch, FromTheRowAfterTheSelection) {
    std::vector<TPickerRow> rows = {
        {1, "Linares\tKasparov"}, {2, "Wijk\tkarpov"}, {3, "Linares\tKARPOV"}};
    EXPECT_EQ(FindNextRow(rows, -1, "karpov"), 1);
    EXPECT_EQ(FindNextRow(rows, 1, "karpov"), 2);
    EXPECT_EQ(FindNextRow(rows, 2, "karpov"), -1) << "no wrap-around";
    EXPECT_EQ(FindNextRow(rows, -1, ""), -1);
    EXPECT_EQ(FindNextRow(rows, 0, "LINARES"), 2);
}

TEST(PickerScan, RefreshListWithProgressAndCancel) {
    test::TempDir dir;
    std::string text;
    for (int i = 1; i <= 300; ++i)
        text += "[Event \"E" + std::to_string(i) + "\"]\n[White \"" +
                (i % 3 == 0 ? "Tal" : "Smyslov") + "\"]\n\n1.e4 {" + std::string(300, 'x') +
                "} e5 *\n\n";
    test::WriteFile(dir / "many.pgn", text);
    TPGNReader reader;
    TPickerFilter filter;
    filter.Boxes[kColumnWhite] = "Tal";
    std::vector<TPickerRow> rows;
    long lastGames = 0;
    uint64_t lastDone = 0, total = 0;
    TScanResult r = RefreshList(reader, dir / "many.pgn", filter, TSortKey{}, rows,
                                [&](long games, uint64_t done, uint64_t size) {
                                    EXPECT_GE(games, lastGames);
                                    EXPECT_GE(done, lastDone);
                                    lastGames = games;
                                    lastDone = done;
                                    total = size;
                                });
    EXPECT_TRUE(r.Opened);
    EXPECT_EQ(r.Games, 300);
    EXPECT_EQ(r.Listed, 100);
    ASSERT_EQ(rows.size(), 100u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].Game % 3, 0);
        if (i > 0) {
            EXPECT_LE(CompareText(rows[i - 1].Text, rows[i].Text), 0);
        }
    }
    EXPECT_EQ(lastGames, 300);
    EXPECT_EQ(lastDone, text.size());
    EXPECT_EQ(total, text.size());
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(RefreshCaption("many.pgn", r.Listed, r.Games, "Games"), "many.pgn  100/300 Games");

    std::atomic<bool> cancel{false};
    long seen = 0;
    TScanResult c = ScanGames(
        reader, dir / "many.pgn",
        [&](long n, const TPGNReader&) {
            seen = n;
            if (n == 10) cancel = true;
        },
        {}, &cancel);
    EXPECT_TRUE(c.Cancelled);
    EXPECT_EQ(seen, 10);

    TScanResult missing = RefreshList(reader, dir / "none.pgn", filter, TSortKey{}, rows);
    EXPECT_FALSE(missing.Opened);
}

} // namespace
} // namespace quorel::pgn
