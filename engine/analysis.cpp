#include "engine/analysis.h"

#include "chess/notation.h"
#include "pgn/writer.h"
#include "platform/codepage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <random>
#include <unistd.h>

namespace quorel::engine {

using chess::TGameRecord;

fs::path EngineFileName(const fs::path& programFolder) {
    std::error_code ec;
    fs::path folder = fs::absolute(programFolder, ec);
    if (ec) folder = programFolder;
    return folder.lexically_normal() / kEngineFileName;
}

std::vector<fs::path> EngineLibraryFolders(const fs::path& programFolder,
                                           const fs::path& executableFolder) {
    std::vector<fs::path> out = {programFolder};
    if (!executableFolder.empty()) {
        out.push_back(executableFolder);
        out.push_back((executableFolder / ".." / "lib").lexically_normal());
        out.push_back((executableFolder / ".." / "share" / "quorel").lexically_normal());
    }
    return out;
}

TEngineFolder::TEngineFolder(const fs::path& enginePath) {
    std::error_code ec;
    previous_ = fs::current_path(ec);
    const fs::path folder = enginePath.parent_path();
    if (enginePath.empty()) return;
    if (folder.empty()) {
        entered_ = true;
        return;
    }
    entered_ = chdir(folder.c_str()) == 0;
    changed_ = entered_;
}

TEngineFolder::~TEngineFolder() {
    if (changed_ && !previous_.empty() && chdir(previous_.c_str()) != 0) {
        // The previous folder is gone: nothing to return to.
    }
}

std::string RebelMovetext(const TGameRecord& rec, int count, bool marks) {
    std::string out;
    const bool blackFirst = rec.SetupPosition == 1 && rec.SetupWhiteFirst == 0;
    count = std::clamp(count, 0, int(chess::kMaxMoveRecords));
    for (int k = 1; k <= count; ++k) {
        const bool numbered = blackFirst ? (k % 2 == 0 && k > 1) : (k % 2 == 1);
        if (numbered) out += std::to_string(k / 2 + 1) + ".";
        out += chess::SanOfMove(rec.Move(k), chess::kEnglish); // as the PGN writer
        out += ' ';
        if (marks && chess::AnnotationText(rec.Move(k)) == "*") out += kMarkText;
        if (k % 12 == 0) out += "\r\n";
    }
    out += rec.Result.empty() ? std::string(" *") : " " + rec.Result;
    return out;
}

std::string RebelPGNText(const TGameRecord& rec, REmode mode, bool analyseAll,
                         std::string_view white, std::string_view black) {
    std::string out;
    if (mode == REmode::ModGame && analyseAll) out += std::string(kAllMovesLine) + "\r\n";
    // The tag lines and the empty line of the PGN game text.
    TGameRecord tagsOnly = rec;
    tagsOnly.MoveCount = 0;
    std::string text = pgn::PGNGameText(tagsOnly, white, black);
    size_t end = text.find("\r\n\r\n");
    out += end == std::string::npos ? text : text.substr(0, end + 4);
    if (mode != REmode::ModGame && rec.CurrentPly == 0) {
        out += std::string(kNoMovesText) + "\r\n";
        return out;
    }
    int count = mode == REmode::ModGame ? rec.MoveCount : std::min(rec.CurrentPly, rec.MoveCount);
    out += RebelMovetext(rec, count, mode == REmode::ModGame);
    out += "\r\n";
    return out;
}

std::string LastMoveDescription(const TGameRecord& rec) {
    int ply = rec.CurrentPly;
    if (ply <= 0 || ply > int(chess::kMaxMoveRecords)) return "";
    int n = (ply + 1) / 2;
    std::string move = chess::SanOfMove(rec.Move(ply), chess::kEnglish);
    if (chess::WhiteToMoveAt(rec, ply))
        return std::to_string(n) + "... " + move + " (White to play)";
    return std::to_string(n) + "." + move + " (Black to play)";
}

TEngineFileResult CreateRebelPGNFile(TRebelEngine& engine, const fs::path& file,
                                     const TGameRecord& rec, std::string_view white,
                                     std::string_view black, bool analysisActive, bool analyseAll) {
    TEngineFileResult r;
    const REmode mode = engine.Mode();
    if (analysisActive && mode == REmode::ModGame) {
        r.Skipped = true;
        return r;
    }
    try {
        const pgn::TWriteResult w =
            pgn::WritePGNText(file, RebelPGNText(rec, mode, analyseAll, white, black), true);
        r.Written = w.Ok;
        if (!w.Ok) {
            r.Error = w.Error.empty() ? file.string() : file.string() + ": " + w.Error;
            return r;
        }
        if (rec.CurrentPly == 0 && mode != REmode::ModGame) {
            r.Memo = {"", kGameBeginText, ""};
            engine.UpdatePGN(file.string());
            return r;
        }
        engine.UpdatePGN(file.string());
        if (mode == REmode::ModGame)
            r.Memo = {"", kAnalyzingText};
        else
            r.Memo = {"", std::string(kLastMoveText) + LastMoveDescription(rec), ""};
    } catch (const std::exception& e) {
        r.Written = false;
        r.Error = file.string() + ": " + e.what();
        r.Memo.clear();
    }
    return r;
}

int MovesMarked(const TGameRecord& rec) {
    int n = 0;
    int count = std::min<int>(rec.MoveCount, int(chess::kMaxMoveRecords));
    for (int k = 1; k <= count; ++k)
        if (chess::AnnotationText(rec.Move(k)) == "*") ++n;
    return n;
}

std::vector<std::string> BannerLines(const std::string& engineName, int versionSetting,
                                     int hashSetting, REmode mode, bool analyseAll, int movesMarked,
                                     int secsPerPos, int refreshMs) {
    std::vector<std::string> lines;
    lines.push_back("Engine analysis with " + engineName);
    lines.push_back("");
    lines.push_back(versionSetting == 1 ? "Engine version   :  REBEL 9"
                                        : "Engine version   :  DECADE 2.0");
    static const char* const kHash[7] = {"256 kb", "512 kb", "1 Mb", "2 Mb",
                                         "4 Mb",   "13 Mb",  "28 Mb"};
    lines.push_back(std::string("Hash table size  :  ") +
                    (hashSetting >= 1 && hashSetting <= 6 ? kHash[hashSetting] : kHash[0]));
    switch (mode) {
    case REmode::ModEval:
        lines.push_back("Analysis mode   :  Evaluating position");
        break;
    case REmode::ModLast:
        lines.push_back("Analysis mode   :  Analyzing last move");
        break;
    case REmode::ModNext:
        lines.push_back("Analysis mode   :  Analyzing next move");
        break;
    case REmode::ModGame:
        lines.push_back(analyseAll ? std::string("Analysis mode   :  Analyzing all moves")
                                   : "Analysis mode   :  Analyzing " + std::to_string(movesMarked) +
                                         " moves marked");
        lines.push_back("Seconds/move  : " + std::to_string(secsPerPos));
        break;
    case REmode::ModPos:
        break;
    }
    lines.push_back("Refresh interval : " + std::to_string(refreshMs) + " ms");
    return lines;
}

std::string ExtractHintMove(const std::string& line) {
    std::string s = line;
    if (s.find("Draw") != std::string::npos) return "Draw";
    if (s.find("Mate") != std::string::npos) {
        size_t p = s.find("moves");
        if (p != std::string::npos)
            s.erase(0, std::min(s.size(), p + 6));
        else
            s.erase(0, std::min(s.size(), s.find("Mate") + 5));
    } else {
        size_t p = s.find('.');
        if (p == std::string::npos) return "";
        s.erase(0, p + 1);
        p = s.find('.');
        if (p == std::string::npos) return "";
        s.erase(0, std::min(s.size(), p + 5));
    }
    size_t blank = s.find(' ');
    return blank == std::string::npos ? "" : s.substr(0, blank + 1);
}

bool ParseHintMove(const std::string& hint, chess::Square& from, chess::Square& to) {
    size_t a = 0, b = hint.size();
    while (a < b && std::isspace(static_cast<unsigned char>(hint[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(hint[b - 1])))
        --b;
    std::string h = hint.substr(a, b - a);
    if (!h.empty() && std::string("BKNQR").find(h[0]) != std::string::npos) h.erase(0, 1);
    if (h.size() < 5) return false;
    auto square = [](const std::string& t, chess::Square& out) {
        if (t[0] < 'a' || t[0] > 'h' || t[1] < '1' || t[1] > '8') return false;
        out = chess::SquareFromText(t);
        return true;
    };
    chess::Square f, t;
    if (!square(h.substr(0, 2), f) || !square(h.substr(3, 2), t)) return false;
    from = f;
    to = t;
    return true;
}

TPollStep TAnalysisPoll::Take(const std::string& line) {
    TPollStep step;
    if (line.empty() || line == lastLine_) return step;
    step.AddLine = true;
    lastLine_ = line;
    std::string hint = ExtractHintMove(line);
    if (hint.empty() || hint == lastHint_) return step;
    step.NewHint = true;
    step.Hint = hint;
    step.HaveOldSquares = haveSquares_;
    step.OldFrom = from_;
    step.OldTo = to_;
    haveSquares_ = ParseHintMove(hint, from_, to_);
    step.HaveSquares = haveSquares_;
    step.From = from_;
    step.To = to_;
    lastHint_ = hint;
    return step;
}

void TAnalysisPoll::Reset() {
    lastLine_.clear();
    ForgetHint();
}

void TAnalysisPoll::ForgetHint() {
    lastHint_.clear();
    haveSquares_ = false;
}

std::vector<std::string> ReadReportLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(Cp1252ToUtf8(line));
    }
    return lines;
}

fs::path NewReportFileName(const fs::path& folder, const std::function<int(int)>& random) {
    std::function<int(int)> draw = random;
    if (!draw) {
        auto engine = std::make_shared<std::mt19937>(std::random_device{}());
        draw = [engine](int n) { return int((*engine)() % unsigned(n)); };
    }
    for (;;) {
        char name[32];
        int first = draw(60000);
        int second = draw(999);
        std::snprintf(name, sizeof name, "%05d%03d.ANA", first, second);
        fs::path p = folder / name;
        std::error_code ec;
        if (!fs::exists(p, ec)) return p;
    }
}

void ConfigureRebelEngine(TRebelEngine& engine, const std::vector<fs::path>& libraryFolders,
                          const fs::path& enginePath, int versionSetting, int hashSetting) {
    for (const fs::path& folder : libraryFolders) {
        if (!engine.DLLPath().empty()) break;
        engine.SetDLLPath(folder.string());
    }
    engine.SetPath(enginePath.parent_path().string());
    engine.SetEngName(enginePath.filename().string());
    engine.SetEngine(versionSetting == 1 ? REengType::EngR9 : REengType::EngDec2);
    engine.SetHashSize(hashSetting >= 0 && hashSetting <= 6 ? hashSetting : 0);
}

} // namespace quorel::engine
