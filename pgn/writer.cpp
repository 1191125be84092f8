// The PGN writer and its three targets.
#include "pgn/writer.h"

#include "chess/notation.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace quorel::pgn {

namespace {

void TagLine(std::string& out, std::string_view name, std::string_view value) {
    out += '[';
    out += name;
    out += " \"";
    out += value;
    out += "\"]\r\n";
}

// The FEN tag of a set-up: the stored EPD (placement, side, castling, en
// passant) completed with the half-move clock and move number that PGN
// readers require; a text that already has them is written as stored.
std::string FenOfSetup(std::string_view epd) {
    while (!epd.empty() && epd.back() == ' ')
        epd.remove_suffix(1);
    int fields = 0;
    for (size_t i = 0; i < epd.size(); ++i)
        if (epd[i] != ' ' && (i == 0 || epd[i - 1] == ' ')) ++fields;
    std::string fen(epd);
    if (fields == 4) fen += " 0 1";
    return fen;
}

} // namespace

std::string PGNPlayerName(std::string_view name) {
    size_t blank = name.find(' ');
    if (blank == std::string_view::npos || name.find(',') != std::string_view::npos)
        return std::string(name);
    std::string out(name.substr(blank + 1));
    out += ", ";
    out += name.substr(0, blank);
    return out;
}

std::string PGNGameText(const chess::TGameRecord& rec, std::string_view white,
                        std::string_view black) {
    std::string out;
    out.reserve(512 + size_t(rec.MoveCount) * 8);
    TagLine(out, "Event", rec.Event);
    TagLine(out, "Site", rec.Site);
    // An empty date is the PGN standard's unknown date.
    TagLine(out, "Date", rec.Date.empty() ? std::string_view("????.??.??") : rec.Date);
    TagLine(out, "Round", rec.Round);
    TagLine(out, "White", PGNPlayerName(white));
    TagLine(out, "Black", PGNPlayerName(black));
    TagLine(out, "Result", rec.Result);
    if (rec.SetupPosition == 1) TagLine(out, "FEN", FenOfSetup(rec.SetupEPD));
    out += "\r\n";

    const bool blackFirst = rec.SetupPosition == 1 && rec.SetupWhiteFirst == 0;
    const int count = std::min<int>(rec.MoveCount, int(chess::kMaxMoveRecords));
    for (int k = 1; k <= count; ++k) {
        const bool numbered = blackFirst ? (k % 2 == 0 && k > 1) : (k % 2 == 1);
        if (numbered) {
            out += std::to_string(k / 2 + 1);
            out += '.';
        }
        // PGN readers know English piece letters only, whatever the move list shows.
        out += chess::SanOfMove(rec.Move(k), chess::kEnglish);
        out += ' ';
        if (k % 12 == 0) out += "\r\n";
    }
    out += rec.Result.empty() ? std::string(" *") : " " + rec.Result;
    out += "\r\n";
    return out;
}

std::string PGNGameText(const chess::TGameRecord& rec) {
    return PGNGameText(rec, rec.White, rec.Black);
}

std::string PGNTextBytes(std::string_view utf8) {
    return Utf8ToCp1252(utf8);
}

TWriteResult WritePGNText(const fs::path& path, std::string_view utf8, bool overwrite) {
    TWriteResult r;
    const std::string bytes = PGNTextBytes(utf8);
    r.Ok = overwrite ? AtomicWriteFile(path, bytes, &r.Error) : AppendToFile(path, bytes, &r.Error);
    if (!r.Ok && r.Error.empty()) r.Error = "write failed";
    return r;
}

TWriteResult ExportGameToFile(const fs::path& path, const chess::TGameRecord& rec,
                              std::string_view white, std::string_view black, bool overwrite) {
    return WritePGNText(path, PGNGameText(rec, white, black) + "\r\n", overwrite);
}

TWriteResult WriteClipboardFile(const fs::path& programFolder, const chess::TGameRecord& rec,
                                std::string_view white, std::string_view black,
                                std::string* clipboardText) {
    std::string text = PGNGameText(rec, white, black);
    TWriteResult r = WritePGNText(programFolder / "clipbrd.pgn", text, true);
    if (clipboardText) *clipboardText = std::move(text);
    return r;
}

std::string GamesExportedText(int selected) {
    return std::to_string(selected) + " games exported";
}

TListExportResult ListExportText(const fs::path& gamesFolder,
                                 const std::vector<std::string>& fileNames, std::string& text) {
    TListExportResult result;
    text.clear();
    for (const std::string& name : fileNames) {
        chess::TGameRecord rec;
        std::string message;
        if (!chess::ReadGameHeader(gamesFolder, name, rec, &message)) {
            result.Messages.push_back(message);
            continue;
        }
        text += "\r\n";
        text += PGNGameText(rec);
        ++result.Exported;
    }
    result.Messages.push_back(GamesExportedText(int(fileNames.size())));
    result.Write.Ok = true;
    return result;
}

TListExportResult ListExportToFile(const fs::path& gamesFolder,
                                   const std::vector<std::string>& fileNames,
                                   const fs::path& target, bool overwrite) {
    std::string text;
    TListExportResult result = ListExportText(gamesFolder, fileNames, text);
    result.Write = WritePGNText(target, text, overwrite);
    return result;
}

} // namespace quorel::pgn
