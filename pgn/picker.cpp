// The game picker's list logic: rows, filter, sorting, search and scan.
#include "pgn/picker.h"

#include "platform/codepage.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <numeric>

namespace quorel::pgn {

namespace {

// Byte offset of the character at index chars (or s.size()).
size_t CharOffset(std::string_view s, size_t chars) {
    size_t count = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == chars) return i;
            ++count;
        }
    }
    return s.size();
}

size_t CharCount(std::string_view s) {
    size_t count = 0;
    for (char c : s)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// UTF-8 -> lower-case wide text (bytes that are not UTF-8 are taken as
// Latin-1).
std::wstring Folded(std::string_view s) {
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = c;
        size_t n = 1;
        if (c >= 0xC0 && c < 0xF8) {
            size_t extra = c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
            if (i + extra < s.size()) {
                uint32_t v = c & (0x3F >> extra);
                bool ok = true;
                for (size_t k = 1; k <= extra; ++k) {
                    unsigned char d = static_cast<unsigned char>(s[i + k]);
                    if ((d & 0xC0) != 0x80) {
                        ok = false;
                        break;
                    }
                    v = (v << 6) | (d & 0x3F);
                }
                if (ok) {
                    cp = v;
                    n = extra + 1;
                }
            }
        }
        // Latin-1 capitals fold by themselves, whatever the C locale is.
        if ((cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)) cp += 0x20;
        out.push_back(wchar_t(std::towlower(wint_t(cp))));
        i += n;
    }
    return out;
}

std::string_view KeyPart(std::string_view row, const TSortKey& key) {
    size_t b = CharOffset(row, size_t(std::max(key.Start, 1) - 1));
    if (key.Width < 0) return row.substr(b);
    size_t e = b + CharOffset(row.substr(b), size_t(key.Width));
    return row.substr(b, e - b);
}

} // namespace

PickerValues PickerValuesOf(const TPGNReader& r) {
    return {r.Site, r.Event, r.White, r.Black, r.Result, r.Date, r.ECO};
}

std::string ListRow(const PickerValues& values) {
    std::string row;
    row.reserve(160);
    for (int c = 0; c < kPickerColumns; ++c) {
        const std::string& v = values[size_t(c)];
        if (c == kColumnEco) {
            row += v;
            break;
        }
        const size_t width = size_t(ColumnWidths[size_t(c)]);
        size_t cut = CharOffset(v, width);
        row.append(v, 0, cut);
        size_t have = CharCount(std::string_view(v).substr(0, cut));
        row.append(width - have, ' ');
        row += '\t';
    }
    return row;
}

bool TPickerFilter::Empty() const {
    return std::all_of(Boxes.begin(), Boxes.end(), [](const std::string& b) { return b.empty(); });
}

bool TPickerFilter::Passes(const PickerValues& values) const {
    bool any = false, all = true, someBox = false;
    for (size_t c = 0; c < Boxes.size(); ++c) {
        if (Boxes[c].empty()) continue;
        someBox = true;
        bool match = values[c].find(Boxes[c]) != std::string::npos;
        any = any || match;
        all = all && match;
    }
    if (Mode == 1) return all;
    return any || !someBox;
}

bool HeaderClick(TSortKey& key, int column) {
    if (column < 0 || column >= kPickerColumns || column == kColumnDate) return false;
    key.Start = ColumnStarts[size_t(column)];
    key.Width = ColumnWidths[size_t(column)];
    key.Descending = !key.Descending;
    return true;
}

int CompareText(std::string_view a, std::string_view b) {
    std::wstring fa = Folded(a), fb = Folded(b);
    int c = std::wcscoll(fa.c_str(), fb.c_str());
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void SortRows(std::vector<TPickerRow>& rows, const TSortKey& key) {
    std::vector<std::wstring> keys(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        keys[i] = Folded(KeyPart(rows[i].Text, key));
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        int c = std::wcscoll(keys[x].c_str(), keys[y].c_str());
        return key.Descending ? c > 0 : c < 0;
    });
    std::vector<TPickerRow> sorted;
    sorted.reserve(rows.size());
    for (size_t i : order)
        sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
}

long FindNextRow(const std::vector<TPickerRow>& rows, long selected, std::string_view text) {
    if (text.empty()) return -1;
    const std::string needle = AsciiUpper(text);
    for (long i = selected < 0 ? 0 : selected + 1; i < long(rows.size()); ++i) {
        if (AsciiUpper(rows[size_t(i)].Text).find(needle) != std::string::npos) return i;
    }
    return -1;
}

TScanResult ScanGames(TPGNReader& reader, const fs::path& fileName,
                      const std::function<void(long n, const TPGNReader&)>& onGame,
                      const ScanProgress& progress, const std::atomic<bool>* cancel) {
    TScanResult result;
    if (!reader.OpenFile(fileName)) return result;
    result.Opened = true;
    const std::atomic<bool>* oldCancel = reader.Cancel;
    reader.Cancel = cancel;
    uint64_t lastReport = 0;
    while (reader.ReadNextGame(false)) {
        ++result.Games;
        if (onGame) onGame(result.Games, reader);
        if (progress && reader.BytesRead() - lastReport >= (64u << 10)) {
            lastReport = reader.BytesRead();
            progress(result.Games, lastReport, reader.FileSize());
        }
    }
    result.Cancelled = cancel && cancel->load();
    reader.Cancel = oldCancel;
    if (progress) progress(result.Games, reader.BytesRead(), reader.FileSize());
    reader.CloseFile();
    return result;
}

TScanResult RefreshList(TPGNReader& reader, const fs::path& fileName, const TPickerFilter& filter,
                        const TSortKey& key, std::vector<TPickerRow>& rows,
                        const ScanProgress& progress, const std::atomic<bool>* cancel) {
    rows.clear();
    TScanResult result = ScanGames(
        reader, fileName,
        [&](long n, const TPGNReader& r) {
            PickerValues values = PickerValuesOf(r);
            if (filter.Passes(values)) rows.push_back({n, ListRow(values)});
        },
        progress, cancel);
    result.Listed = long(rows.size());
    SortRows(rows, key);
    return result;
}

std::string RefreshCaption(const std::string& fileName, long listed, long games,
                           const std::string& gamesText) {
    return fileName + "  " + std::to_string(listed) + "/" + std::to_string(games) + " " + gamesText;
}

} // namespace quorel::pgn
