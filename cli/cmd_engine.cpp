// qrltool analyse, analyse-position: engine analysis of a game file through
// the engine binding and REBENG32.so, as the game window runs it.
#include "chess/gamerecord.h"
#include "chess/position.h"
#include "cli/command.h"
#include "engine/analysis.h"
#include "engine/rebelengine.h"
#include "platform/codepage.h"
#include "shell/folders.h"
#include "shell/ini.h"
#include "shell/profile.h"
#include "shell/settings.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>
#include <unistd.h>

namespace quorel::cli {
namespace {

namespace fs = std::filesystem;
using namespace quorel::engine;

const char* const kEngineFileErrorText = "The engine file cannot be written: ";
const char* const kNoMovesMarkedText =
    "No moves marked for comment. Double-click over the movelist to mark moves";

struct Session {
    fs::path gameFile;
    chess::TGameRecord rec;
    fs::path enginePath;
    fs::path programFolder;
    TSettings settings; // the engine's version and hash size, the refresh rate
    int refreshMs = 1000;
};

// Loads the game and finds the folders; prints the reason and returns false on failure.
bool Prepare(std::vector<std::string>& args, Session& s) {
    std::string engine;
    const bool engineGiven = TakeOption(args, "--engine", engine);
    if (args.size() != 1) {
        std::cerr << "qrltool: one game file expected\n";
        return false;
    }
    s.programFolder = ResolveProgramFolder(CurrentProgramFolderEnv());
    EnsureFolder(s.programFolder);
    // The engine settings of the program's settings file, as the window uses
    // them; --engine or $QUOREL_ENGINE name another engine program.
    s.settings =
        TSettings::Read(TIniFile::Load(s.programFolder / SettingsFileName(kDefaultProfile)));
    if (s.settings.RebelEngineRefreshRate > 0) s.refreshMs = s.settings.RebelEngineRefreshRate;
    const char* env = std::getenv("QUOREL_ENGINE");
    if (!engineGiven) engine = env && *env ? env : s.settings.RebelEnginePath;
    if (engine.empty()) {
        const char* pathList = std::getenv("PATH");
        engine = ProposedEnginePath(pathList ? pathList : "");
    }
    std::error_code ec;
    s.gameFile = fs::absolute(args[0], ec);
    // A name without a folder is a program on the PATH.
    s.enginePath = fs::path(engine).has_parent_path() ? fs::absolute(engine, ec) : fs::path(engine);
    chess::TLoadResult load =
        chess::LoadFromFile(s.gameFile.parent_path(), s.gameFile.filename().string(), s.rec);
    if (!load.Ok) {
        for (const auto& m : load.Messages)
            std::cerr << chess::EnglishMessage(m) << "\n";
        return false;
    }
    return true;
}

// Algorithms of the window's start: the engine's folder made current, the
// binding configured, the banner and the engine file. False when the engine's
// folder does not exist.
bool StartAnalysis(TRebelEngine& eng, Session& s, bool analyseAll, std::vector<std::string>& memo) {
    TEngineFolder folder(s.enginePath);
    if (!folder.Entered()) {
        std::cerr << kEngineNotFoundText << "\n";
        return false;
    }
    ConfigureRebelEngine(eng, EngineLibraryFolders(s.programFolder, ExecutableFolder()),
                         s.enginePath, s.settings.RebelEngineVersion,
                         s.settings.RebelEngineHashSize);
    for (const std::string& line :
         BannerLines(s.enginePath.filename().string(), s.settings.RebelEngineVersion,
                     s.settings.RebelEngineHashSize, eng.Mode(), analyseAll, MovesMarked(s.rec),
                     eng.SecsPerPos(), s.refreshMs))
        memo.push_back(line);
    fs::path file = EngineFileName(s.programFolder);
    TEngineFileResult written =
        CreateRebelPGNFile(eng, file, s.rec, s.rec.White, s.rec.Black, false, analyseAll);
    for (const std::string& line : written.Memo)
        memo.push_back(line);
    for (const std::string& line : memo)
        std::cout << line << "\n";
    memo.clear();
    if (!written.Written) {
        std::cerr << kEngineFileErrorText << written.Error << "\n";
        return false;
    }
    if (!eng.Start(file.string())) {
        std::cerr << kEngineErrorText << eng.ErrorText() << "\n";
        return false;
    }
    return true;
}

void ShowBoxes(TRebelEngine& eng) {
    eng.SetMessageHandler([](TMessageKind, const std::string& text) { std::cerr << text << "\n"; });
}

int Analyse(std::vector<std::string> args) {
    bool all = TakeFlag(args, "--all");
    TakeFlag(args, "--marked");
    std::string secs = "5";
    TakeOption(args, "--secs", secs);
    Session s;
    if (!Prepare(args, s)) return 1;
    if (!all && MovesMarked(s.rec) == 0) {
        std::cerr << kNoMovesMarkedText << "\n";
        return 1;
    }
    TRebelEngine eng;
    ShowBoxes(eng);
    eng.SetAppli(REappliType::AppQUOREL);
    eng.SetSecsPerPos(std::atoi(secs.c_str()));
    eng.SetMode(REmode::ModGame);
    std::vector<std::string> memo;
    if (!StartAnalysis(eng, s, all, memo)) return 1;
    while (eng.IsRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(s.refreshMs));
    fs::path report = NewReportFileName(s.programFolder);
    eng.GetAnalysisResult(report.string());
    int rc = 0;
    std::error_code ec;
    if (fs::exists(report, ec)) {
        std::cout << "\n" << kReportCaptionText << s.gameFile.filename().string() << "\n";
        for (const std::string& line : ReadReportLines(report))
            std::cout << line << "\n";
        fs::remove(report, ec);
    } else {
        std::cerr << kNoAnalysisText << "\n";
        rc = 1;
    }
    eng.Deallocate();
    return rc;
}

int AnalysePosition(std::vector<std::string> args) {
    std::string ply, secs = "5";
    bool havePly = TakeOption(args, "--ply", ply);
    TakeOption(args, "--secs", secs);
    Session s;
    if (!Prepare(args, s)) return 1;
    if (havePly) {
        int n = std::atoi(ply.c_str());
        s.rec.CurrentPly = uint16_t(std::clamp(n, 0, int(s.rec.MoveCount)));
    }
    TRebelEngine eng;
    ShowBoxes(eng);
    eng.SetAppli(REappliType::AppQUOREL);
    eng.SetMode(REmode::ModNext);
    std::vector<std::string> memo;
    if (!StartAnalysis(eng, s, false, memo)) return 1;
    TAnalysisPoll poll;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(secs.c_str()));
    while (std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(s.refreshMs));
        if (!eng.IsRunning()) break;
        TPollStep step = poll.Take(eng.AnalysisLine());
        if (step.AddLine) std::cout << poll.LastLine() << "\n";
        if (step.NewHint) {
            std::cout << "Hint : " << step.Hint;
            if (step.HaveSquares)
                std::cout << "  marks " << chess::SquareName(step.From) << " (1) "
                          << chess::SquareName(step.To) << " (2)";
            std::cout << "\n";
        }
        std::cout.flush();
    }
    eng.Stop();
    eng.Deallocate();
    return 0;
}

QrlCommand analyseCmd{"analyse", "GAMEFILE [--all|--marked] [--secs N] [--engine PATH]",
                      "analyse the marked (or all) moves of a game with the engine and print the "
                      "report (at least 5 seconds per position)",
                      [](const std::vector<std::string>& a) { return Analyse(a); }};
QrlCommand analysePositionCmd{
    "analyse-position", "GAMEFILE [--ply N] [--secs N] [--engine PATH]",
    "analyse the position after half-move N for N seconds, printing each analysis line and hint",
    [](const std::vector<std::string>& a) { return AnalysePosition(a); }};

} // namespace
} // namespace quorel::cli
