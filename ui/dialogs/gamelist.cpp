#include "ui/dialogs/gamelist.h"
#include "platform/text.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <system_error>

#include "pgn/picker.h"
#include "platform/datetime.h"
#include "platform/files.h"

namespace quorel::ui {

std::string PadOrCut(std::string_view text, int width) {
    return PadUtf8(text, width < 0 ? 0 : size_t(width));
}

bool IsMyTurn(const chess::TGameRecord& rec, std::string_view email) {
    if (rec.Result != "*") return false;
    const bool even = rec.MoveCount % 2 == 0;
    return (rec.WhiteAddress == email && even) || (rec.BlackAddress == email && !even);
}

std::string GameListDate(const chess::TGameRecord& rec, double fileDate) {
    double date = fileDate;
    // A game with the date register on and no move yet has no last move to
    // take the date from: the file's date stands in for it.
    if (rec.SendDates == 1 && rec.MoveCount >= 1 && rec.MoveCount <= chess::kMaxMoveRecords)
        date = rec.Move(rec.MoveCount).Replied;
    return FormatDateTime("mm.dd.yy", date);
}

std::string GameListRowText(const chess::TGameRecord& rec, bool myTurn, std::string_view date) {
    const std::string round = rec.Round.empty() ? std::string("-") : rec.Round;
    const std::string cols[6] = {rec.Site,   rec.Event + " (" + round + ") ",
                                 rec.White,  rec.Black,
                                 rec.Result, myTurn ? "Yes" : "No"};
    std::string row;
    for (int i = 0; i < 6; ++i) {
        row += PadOrCut(cols[i], kGameListWidths[i]);
        row += '\t';
    }
    row += date;
    row += '\t';
    return row;
}

double FileModificationDate(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    const std::time_t t = st.st_mtime;
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return 0;
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
           EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec);
}

TGameListScan ScanGamesFolder(const fs::path& gamesFolder, bool inPlayOnly,
                              std::string_view email) {
    TGameListScan scan;
    for (const fs::path& file : ListFilesMatching(gamesFolder, "*.qrl")) {
        ++scan.Total;
        const std::string name = file.filename().string();
        chess::TGameRecord rec;
        if (!chess::ReadGameHeader(gamesFolder, name, rec)) {
            ++scan.Errors;
            continue;
        }
        if (inPlayOnly && rec.Result != "*") continue;
        const bool mine = IsMyTurn(rec, email);
        const std::string date = GameListDate(rec, FileModificationDate(file));
        scan.Rows.push_back({GameListRowText(rec, mine, date), name});
    }
    std::stable_sort(scan.Rows.begin(), scan.Rows.end(),
                     [](const TGameListRow& a, const TGameListRow& b) {
                         return pgn::CompareText(a.Text, b.Text) < 0;
                     });
    return scan;
}

void DeleteGameFiles(const fs::path& gamesFolder, std::string_view fileName) {
    std::error_code ec;
    fs::remove(chess::GameFilePath(gamesFolder, fileName), ec);
    fs::remove(chess::NotesFilePath(gamesFolder, fileName), ec);
}

} // namespace quorel::ui
