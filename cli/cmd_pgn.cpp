// qrltool commands of the PGN module: pgn list, pgn import, pgn export.
#include "chess/gamerecord.h"
#include "chess/notation.h"
#include "cli/command.h"
#include "pgn/picker.h"
#include "pgn/reader.h"
#include "pgn/writer.h"
#include "platform/codepage.h"
#include "platform/files.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <unordered_set>

namespace quorel::cli {
namespace {

namespace fs = std::filesystem;
using namespace quorel::pgn;

// Output in large blocks: listings of 100 000 games are common.
class Out {
  public:
    explicit Out(std::FILE* f) : f_(f) { buf_.reserve(1 << 16); }
    ~Out() { Flush(); }
    Out& operator<<(std::string_view s) {
        buf_ += s;
        if (buf_.size() >= (1 << 16)) Flush();
        return *this;
    }
    Out& operator<<(long n) { return *this << std::string_view(std::to_string(n)); }
    void Flush() {
        if (!buf_.empty()) std::fwrite(buf_.data(), 1, buf_.size(), f_);
        buf_.clear();
    }

  private:
    std::FILE* f_;
    std::string buf_;
};

// One line: the error box text with its line breaks made blanks.
std::string OneLine(std::string s) {
    std::replace(s.begin(), s.end(), '\r', ' ');
    std::replace(s.begin(), s.end(), '\n', ' ');
    return s;
}

bool ParseCount(const std::string& s, long& n) {
    if (s.empty() || s.size() > 9 || !std::all_of(s.begin(), s.end(), ::isdigit)) return false;
    n = std::stol(s);
    return true;
}

// Game file names for one import: the default name ("WHITE - BLACK (n).QRL")
// numbered past the names the folder holds and, unless only trying
// (remember false: a dry run keeps its memory flat), the names given out so
// far. The folder is listed once, so importing many games does not look
// through the whole folder for every game.
class NameAllocator {
  public:
    NameAllocator(const fs::path& folder, bool remember) : remember_(remember) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            used_.insert(AsciiUpper(it->path().filename().string()));
    }
    std::string Next(const std::string& white, const std::string& black) {
        // The first candidate, as the default name has it in an empty folder.
        const std::string first =
            chess::DefaultGameFileName(fs::path("/nonexistent/quorel-import"), white, black);
        const std::string stem = first.substr(0, first.rfind(" (") + 2);
        for (long k = 1;; ++k) {
            std::string name = stem + std::to_string(k) + ").QRL";
            std::string key = AsciiUpper(name);
            if (used_.count(key)) continue;
            if (remember_) used_.insert(std::move(key));
            return name;
        }
    }

  private:
    bool remember_;
    std::unordered_set<std::string> used_;
};

int List(std::vector<std::string> args) {
    TPickerFilter filter;
    static const char* const kBoxes[kPickerColumns] = {"--site",   "--event", "--white", "--black",
                                                       "--result", "--date",  "--eco"};
    for (int c = 0; c < kPickerColumns; ++c)
        TakeOption(args, kBoxes[c], filter.Boxes[size_t(c)]);
    if (TakeFlag(args, "--and")) filter.Mode = 1;
    if (TakeFlag(args, "--or")) filter.Mode = 0;
    if (args.size() != 1) {
        std::cerr << "usage: qrltool pgn list FILE [--and|--or] [--site S] [--event S] "
                     "[--white S] [--black S] [--result S] [--date S] [--eco S]\n";
        return 2;
    }
    TPGNReader reader;
    reader.OnMessage = [](const std::string& m) { std::cerr << m << "\n"; };
    Out out(stdout);
    TScanResult r = ScanGames(reader, args[0], [&](long n, const TPGNReader& rd) {
        PickerValues values = PickerValuesOf(rd);
        if (!filter.Passes(values)) return;
        out << n << "\t" << ListRow(values) << "\n";
        ++r.Listed;
    });
    if (!r.Opened) {
        out.Flush();
        std::cerr << "Cannot open PGN file : " << args[0] << "\n";
        return 1;
    }
    out << r.Listed << " games\n";
    out.Flush();
    if (r.Games == 0) {
        std::cerr << "Cannot find any PGN record!\n";
        return 1;
    }
    return 0;
}

int Import(std::vector<std::string> args) {
    std::string folder, game;
    TakeOption(args, "--to", folder);
    bool hasGame = TakeOption(args, "--game", game);
    bool dryRun = TakeFlag(args, "--dry-run");
    // --uci: each line also carries the converted moves in long algebraic form
    // (for comparing with other converters).
    bool uci = TakeFlag(args, "--uci");
    long wanted = 0;
    if (args.size() != 1 || (folder.empty() && !dryRun) ||
        (hasGame && (!ParseCount(game, wanted) || wanted < 1))) {
        std::cerr << "usage: qrltool pgn import FILE --to FOLDER [--game N] [--dry-run] [--uci]\n";
        return 2;
    }
    if (!dryRun) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (!fs::is_directory(folder)) {
            std::cerr << "Cannot use folder : " << folder << "\n";
            return 1;
        }
    }
    TPGNReader reader;
    reader.OnMessage = [](const std::string& m) { std::cerr << m << "\n"; };
    if (!reader.OpenFile(args[0])) {
        std::cerr << "Cannot open PGN file : " << args[0] << "\n";
        return 1;
    }
    Out out(stdout);
    int failures = 0;
    NameAllocator names(fs::path(folder), !dryRun);
    // The new game files go to disk together at the end (the PGN file is
    // still there if the machine stops half-way), not four flushes per game.
    TDeferredSync flushAtEnd;
    auto convert = [&](long n) {
        reader.BuildGameRecord();
        chess::TGameRecord& rec = reader.GameRecord;
        std::string name = names.Next(rec.White, rec.Black);
        std::string status = !reader.ParseError.empty() ? OneLine(reader.ParseError)
                             : !reader.Notice.empty()   ? reader.Notice
                                                        : "ok";
        if (!dryRun) {
            chess::TSaveResult saved = chess::SaveToFile(folder, name, rec, "");
            if (!saved.Ok) {
                status = "Error writing to file: " + saved.Error;
                ++failures;
            }
        }
        out << n << "\t" << name << "\t" << long(rec.MoveCount) << "\t" << status;
        if (uci) {
            out << "\t";
            for (int k = 1; k <= rec.MoveCount; ++k)
                out << (k > 1 ? " " : "") << chess::LongAlgebraic(rec.Move(k));
        }
        out << "\n";
    };
    long n = 0;
    if (hasGame) {
        if (!reader.SeekGame(wanted, true)) {
            std::cerr << "Game not loaded\n";
            return 1;
        }
        convert(wanted);
        n = 1;
    } else {
        while (reader.ReadNextGame(true))
            convert(++n);
    }
    reader.CloseFile();
    std::string flushError;
    if (!flushAtEnd.Commit(&flushError)) {
        std::cerr << "Error writing to file: " << flushError << "\n";
        ++failures;
    }
    out.Flush();
    if (n == 0) {
        std::cerr << "Cannot find any PGN record!\n";
        return 1;
    }
    return failures == 0 ? 0 : 1;
}

int Export(std::vector<std::string> args) {
    std::string target;
    bool toFile = TakeOption(args, "--to", target);
    bool append = TakeFlag(args, "--append");
    if (args.empty()) {
        std::cerr << "usage: qrltool pgn export GAMEFILE... [--to FILE] [--append]\n";
        return 2;
    }
    // Each game file is read from its own folder.
    std::string text;
    int failures = 0;
    for (const std::string& a : args) {
        fs::path p(a);
        fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
        std::string part;
        TListExportResult r = ListExportText(folder, {p.filename().string()}, part);
        if (r.Exported == 0) {
            ++failures;
            std::cerr << r.Messages.front() << "\n";
        }
        text += part;
    }
    if (toFile) {
        TWriteResult w = WritePGNText(target, text, !append);
        if (!w.Ok) {
            std::cerr << "Error writing to file : " << target << ": " << w.Error << "\n";
            return 1;
        }
    } else {
        std::string bytes = PGNTextBytes(text);
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
            std::fflush(stdout) != 0) {
            std::cerr << "Error writing to standard output\n";
            return 1;
        }
    }
    std::cerr << GamesExportedText(int(args.size())) << "\n";
    return failures == 0 ? 0 : 1;
}

QrlCommand listCmd{"pgn list", "FILE [--and|--or] [--site S] [--event S] [--white S] ...",
                   "list the games of a PGN file as the game picker shows them",
                   [](const std::vector<std::string>& a) { return List(a); }};
QrlCommand importCmd{"pgn import", "FILE --to FOLDER [--game N] [--dry-run] [--uci]",
                     "convert the games of a PGN file into game files",
                     [](const std::vector<std::string>& a) { return Import(a); }};
QrlCommand exportCmd{"pgn export", "GAMEFILE... [--to FILE] [--append]",
                     "write game files as PGN, an empty line before each game",
                     [](const std::vector<std::string>& a) { return Export(a); }};

} // namespace
} // namespace quorel::cli
