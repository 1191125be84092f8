#pragma once
// What the game picker (TSelectPGN) does without a window: the list row of a
// game, the filter, the sort key and order, the search, and the scan of a
// whole file (RefreshList) with progress and cancellation. The window only
// wires its controls to these.
#include "pgn/reader.h"

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::pgn {

// The seven columns of the list, in order.
enum PickerColumn : int {
    kColumnSite = 0,
    kColumnEvent,
    kColumnWhite,
    kColumnBlack,
    kColumnResult,
    kColumnDate,
    kColumnEco
};
constexpr int kPickerColumns = 7;

// Characters of each column in a row (the last, ECO, is written unchanged).
inline constexpr std::array<int, kPickerColumns> ColumnWidths = {10, 30, 30, 30, 10, 10, 10};
// 1-based character position where each column starts in a row.
inline constexpr std::array<int, kPickerColumns> ColumnStarts = {1, 12, 43, 74, 105, 116, 127};

// The values of one game in column order.
using PickerValues = std::array<std::string, kPickerColumns>;
PickerValues PickerValuesOf(const TPGNReader& reader);

// The row text: each column but the last padded with blanks or cut to its
// width (in characters), tab-separated; ECO unchanged.
std::string ListRow(const PickerValues& values);

// The seven filter boxes and the mode (0 "OR comparation", 1 "AND
// comparation"). A box matches when its text occurs in the game's full tag
// value, case-sensitive. AND: every non-empty box matches. OR: some
// non-empty box matches, or all boxes are empty.
struct TPickerFilter {
    std::array<std::string, kPickerColumns> Boxes;
    int Mode = 0;
    bool Passes(const PickerValues& values) const;
    bool Empty() const;
};

// One listed game: its 1-based number in the file and its row text.
struct TPickerRow {
    long Game = 0;
    std::string Text;
};

// The sort key: a part of each row (1-based start, width in characters, -1
// for the rest of the row) and the direction. Initially the whole row,
// ascending.
struct TSortKey {
    int Start = 1;
    int Width = -1;
    bool Descending = false;
};

// A click on a column header: sets the key to that column and flips the
// direction, true (sort now). A click on Date changes nothing: false.
bool HeaderClick(TSortKey& key, int column);

// Case-insensitive, locale-aware comparison (<0, 0, >0) of UTF-8 texts.
int CompareText(std::string_view a, std::string_view b);

// Sorts rows by the key (stable).
void SortRows(std::vector<TPickerRow>& rows, const TSortKey& key);

// Search: the first row after selected (-1: from the first row) whose text
// contains text, letters a-z compared as upper case; -1 when none up to the
// last row (no wrap-around) or when text is empty.
long FindNextRow(const std::vector<TPickerRow>& rows, long selected, std::string_view text);

// Progress of a scan: games found so far, bytes read, file size. Called after
// every game at most every 64 KB of input, and at the end.
using ScanProgress = std::function<void(long games, uint64_t done, uint64_t total)>;

struct TScanResult {
    bool Opened = false;    // false: "@ErrorOpening" + " : " + file name
    bool Cancelled = false; // the cancel flag stopped the scan
    long Games = 0;         // games read (n); 0 after a full scan: "@CannotFindPGN"
    long Listed = 0;        // games that passed the filter
};

// Reads every game's tags (no movetext) and calls onGame(n, reader) for each,
// in file order. The reader's file is closed at the end.
TScanResult ScanGames(TPGNReader& reader, const fs::path& fileName,
                      const std::function<void(long n, const TPGNReader&)>& onGame,
                      const ScanProgress& progress = {}, const std::atomic<bool>* cancel = nullptr);

// RefreshList: rows of the games that pass the filter, then sorted by key.
TScanResult RefreshList(TPGNReader& reader, const fs::path& fileName, const TPickerFilter& filter,
                        const TSortKey& key, std::vector<TPickerRow>& rows,
                        const ScanProgress& progress = {},
                        const std::atomic<bool>* cancel = nullptr);

// The caption after a scan: file name, two blanks, listed "/" games, a
// blank and the text of "@Games".
std::string RefreshCaption(const std::string& fileName, long listed, long games,
                           const std::string& gamesText);

} // namespace quorel::pgn
