#include "rebeng/instance.h"

#include "chess/notation.h"
#include "platform/files.h"
#include "rebeng/errors.h"
#include "rebeng/lines.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace quorel::rebeng {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

int HashMegabytes(int hash) {
    static const int kMb[7] = {1, 1, 1, 2, 4, 13, 28};
    return hash >= 0 && hash <= 6 ? kMb[hash] : 1;
}

namespace {

// The engine program and the folder it runs in. A folder given: the program
// in it. No folder: a program of that name in the current folder, else the
// name searched in PATH.
void ResolveProgram(const std::string& name, const std::string& folder, std::string& program,
                    std::string& cwd) {
    std::error_code ec;
    if (!folder.empty()) {
        program = fs::absolute(fs::path(folder) / name, ec).string();
        cwd = folder;
    } else if (name.find('/') == std::string::npos && fs::exists(fs::path(".") / name, ec)) {
        program = fs::absolute(name, ec).string();
        cwd.clear();
    } else {
        program = name;
        cwd.clear();
    }
}

struct Parked {
    std::string program;
    std::unique_ptr<UciEngine> engine;
};
// Never destroyed: the library's registry ends the parked engines when it is
// destroyed itself, which may be after any other static object here.
std::mutex& ParkMutex() {
    static auto* m = new std::mutex;
    return *m;
}
std::vector<Parked>& ParkedList() {
    static auto* list = new std::vector<Parked>;
    return *list;
}
void Park(const std::string& program, std::unique_ptr<UciEngine> engine) {
    std::lock_guard<std::mutex> lock(ParkMutex());
    ParkedList().push_back({program, std::move(engine)});
}
std::unique_ptr<UciEngine> Unpark(const std::string& program) {
    std::unique_ptr<UciEngine> found;
    std::vector<std::unique_ptr<UciEngine>> dead;
    {
        std::lock_guard<std::mutex> lock(ParkMutex());
        auto& list = ParkedList();
        for (auto it = list.begin(); it != list.end();) {
            if (!it->engine->Alive()) {
                dead.push_back(std::move(it->engine));
                it = list.erase(it);
            } else if (!found && it->program == program) {
                found = std::move(it->engine);
                it = list.erase(it);
            } else {
                ++it;
            }
        }
    }
    return found; // the dead ones are reaped here, outside the lock
}

bool WriteTextFile(const std::string& file, const std::string& text, int& sysErr) {
    std::string data;
    for (char c : text) {
        if (c == '\n') data += '\r';
        data += c;
    }
    errno = 0;
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) {
        sysErr = errno;
        return false;
    }
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (std::fclose(f) != 0) ok = false;
    sysErr = ok ? 0 : (errno ? errno : EIO);
    return ok;
}

} // namespace

void EndParkedEngines() {
    std::vector<Parked> list;
    {
        std::lock_guard<std::mutex> lock(ParkMutex());
        list.swap(ParkedList());
    }
    // Destroying them quits each program.
}

// ---------------------------------------------------------------------------

Instance::Instance(int /*appli*/, std::string engName, std::string engPath, int /*kind*/)
    : engName_(std::move(engName)), engPath_(std::move(engPath)) {}

Instance::~Instance() {
    Release(true);
}

bool Instance::Fail(int error, int sysError) {
    error_ = error;
    sysError_ = sysError;
    return false;
}

int Instance::EnsureEngine(int hash) {
    std::string program, cwd;
    ResolveProgram(engName_, engPath_, program, cwd);
    if (engine_ && !engine_->Alive()) {
        engine_->Close(100);
        engine_.reset();
    }
    if (!engine_) {
        engine_ = Unpark(program);
        engineHash_ = -1;
    }
    if (!engine_) {
        auto e = std::make_unique<UciEngine>();
        int sys = 0;
        if (int rc = e->Open(program, cwd, sys); rc != kOk) {
            sysError_ = sys;
            return rc;
        }
        engine_ = std::move(e);
    }
    int mb = HashMegabytes(hash);
    if (mb != engineHash_) {
        engine_->SetOption("Hash", std::to_string(mb));
        engineHash_ = mb;
    }
    engine_->Send("ucinewgame");
    return engine_->Sync();
}

void Instance::StopLocked() {
    Job job;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        job = job_;
    }
    if (job == Job::Continuous && engine_) {
        if (int rc = engine_->StopSearch(); rc != kOk) error_ = rc;
    }
    if (worker_.joinable()) {
        stopRequested_ = true;
        // The worker may be just about to start its next search: stop until it is gone.
        while (workerRunning_) {
            if (engine_) engine_->StopSearch(1s);
            if (workerRunning_) std::this_thread::sleep_for(5ms);
        }
        worker_.join();
        stopRequested_ = false;
    }
    std::lock_guard<std::mutex> lock(stateMutex_);
    job_ = Job::None;
}

// ---------------------------------------------------------------------------
// Continuous analysis.

int Instance::StartContinuous() {
    size_t n = game_.moves.size();
    size_t plies = n;
    std::string go = "infinite";
    if (mode_ == 2 && n > 0) {
        plies = n - 1;
        go += " searchmoves " + game_.moves[n - 1].uci;
    }
    GameWalker root = game_.After(plies);
    std::string over;
    if (root.LegalMoves().empty()) over = GameOverLine(root.InCheck());
    if (int rc = engine_->StopSearch(); rc != kOk) return rc;
    engine_->ClearInfo();
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        root_ = root;
        gameOverLine_ = over;
    }
    if (!over.empty()) return kOk; // nothing to search: the line says why
    return engine_->StartSearch(game_.PositionCommand(plies), go);
}

bool Instance::StartPGN(const std::string& file, int mode, int hash) {
    std::lock_guard<std::mutex> op(opMutex_);
    error_ = 0;
    sysError_ = 0;
    if (mode < 1 || mode > 3 || hash < 0 || hash > 6 || file.empty()) return Fail(kBadArgument);
    std::string text;
    errno = 0;
    if (!ReadWholeFile(file, text)) return Fail(kPgnUnreadable, errno ? errno : ENOENT);
    GameText game;
    std::string why;
    if (!ReadGameText(text, game, why)) return Fail(kPgnBad);
    StopLocked();
    if (int rc = EnsureEngine(hash); rc != kOk) return Fail(rc, sysError_);
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        game_ = std::move(game);
        mode_ = mode;
        job_ = Job::Continuous;
        lastJob_ = Job::Continuous;
    }
    if (int rc = StartContinuous(); rc != kOk) {
        std::lock_guard<std::mutex> lock(stateMutex_);
        job_ = Job::None;
        return Fail(rc);
    }
    return true;
}

bool Instance::UpdatePGN(const std::string& file) {
    std::lock_guard<std::mutex> op(opMutex_);
    error_ = 0;
    sysError_ = 0;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        if (job_ != Job::Continuous) return Fail(kBadState);
    }
    if (file.empty()) return Fail(kBadArgument);
    std::string text;
    errno = 0;
    if (!ReadWholeFile(file, text)) return Fail(kPgnUnreadable, errno ? errno : ENOENT);
    GameText game;
    std::string why;
    if (!ReadGameText(text, game, why)) return Fail(kPgnBad); // the old position stays
    if (!engine_ || !engine_->Alive()) {
        std::lock_guard<std::mutex> lock(stateMutex_);
        job_ = Job::None;
        return Fail(kEngineDied);
    }
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        game_ = std::move(game);
    }
    if (int rc = StartContinuous(); rc != kOk) return Fail(rc);
    return true;
}

bool Instance::AnalysisLine(std::string& out) {
    std::lock_guard<std::mutex> op(opMutex_);
    if (!engine_) return false;
    GameWalker root;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        if (job_ == Job::None && lastJob_ == Job::None) return false;
        if (job_ == Job::Continuous && !gameOverLine_.empty()) {
            out = gameOverLine_;
            return true;
        }
        root = root_;
    }
    SearchInfo info = engine_->Latest();
    if (!info.valid) return false;
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - engine_->SearchStart())
                       .count();
    out = FormatAnalysisLine(info, root, elapsed);
    return true;
}

// ---------------------------------------------------------------------------
// Timed searches.

bool Instance::TimedSearch(const std::string& position, const std::string& go, int secs,
                           SearchInfo& info, std::string& best) {
    if (stopRequested_) return false;
    if (int rc = engine_->StartSearch(position, go); rc != kOk) {
        error_ = rc;
        return false;
    }
    if (!engine_->WaitSearch(std::chrono::milliseconds(secs * 1000LL) + 10s)) {
        if (engine_->Alive()) {
            engine_->StopSearch();
            error_ = kEngineNoAnswer;
        } else {
            error_ = kEngineDied;
        }
        return false;
    }
    info = engine_->Latest();
    best = engine_->BestMove();
    return !stopRequested_;
}

bool Instance::StartEPD(const std::string& epd, int secs, int hash, int evalMode) {
    std::lock_guard<std::mutex> op(opMutex_);
    error_ = 0;
    sysError_ = 0;
    if (secs < 1 || hash < 0 || hash > 6 || evalMode < 0 || evalMode > 2) return Fail(kBadArgument);
    GameWalker w;
    if (!w.SetUp(epd)) return Fail(kEpdBad);
    StopLocked();
    if (int rc = EnsureEngine(hash); rc != kOk) return Fail(rc, sysError_);
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        job_ = Job::Epd;
        lastJob_ = Job::Epd;
        epdResult_.clear();
        root_ = w;
    }
    workerRunning_ = true;
    worker_ = std::thread(&Instance::EpdWorker, this, epd, secs, evalMode);
    return true;
}

void Instance::EpdWorker(std::string epd, int secs, int evalMode) {
    GameWalker w;
    w.SetUp(epd);
    // The four position fields, then the operations of the text that this
    // search does not replace.
    std::istringstream in(w.Position().GetEPDString());
    std::string f[4];
    in >> f[0] >> f[1] >> f[2] >> f[3];
    std::string result = f[0] + " " + f[1] + " " + f[2] + " " + f[3];
    std::istringstream given(epd);
    std::string skip;
    for (int i = 0; i < 4; ++i)
        given >> skip;
    std::string rest;
    std::getline(given, rest);
    std::string kept;
    bool hadCe = false;
    std::stringstream ops(rest);
    for (std::string o; std::getline(ops, o, ';');) {
        std::istringstream oi(o);
        std::string code;
        if (!(oi >> code)) continue;
        if (code == "ce") hadCe = true;
        if (code == "bm" || code == "ce" || code == "acd" || code == "acs" || code == "pv" ||
            code == "dm")
            continue;
        size_t a = o.find_first_not_of(' ');
        kept += " " + o.substr(a) + ";";
    }

    std::string ops2;
    if (!w.LegalMoves().empty()) {
        SearchInfo info;
        std::string best;
        auto t0 = std::chrono::steady_clock::now();
        bool done = TimedSearch("position fen " + UciFen(w.Position()),
                                "movetime " + std::to_string(secs * 1000), secs, info, best);
        long long took =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - t0)
                .count();
        if (!best.empty() && best != "(none)" && (done || info.valid)) {
            GameWalker b = w;
            chess::TMoveRecord m;
            if (b.Play(best, &m)) ops2 += " bm " + chess::SanOfMove(m) + ";";
            bool writeCe = evalMode == 1 || (evalMode == 2 && hadCe);
            if (writeCe && info.valid) {
                int ce = info.score;
                if (info.mate)
                    ce = info.score > 0 ? 32767 - (2 * info.score - 1) : -32767 + 2 * -info.score;
                ops2 += " ce " + std::to_string(ce) + ";";
            }
            if (info.valid && info.mate && info.score > 0)
                ops2 += " dm " + std::to_string(info.score) + ";";
            ops2 += " acd " + std::to_string(info.depth) + ";";
            ops2 += " acs " + std::to_string(took) + ";";
            std::string line = SanLine(w, info.pv, 40);
            // EPD's pv is plain SAN without move numbers.
            std::string plain;
            std::istringstream li(line);
            for (std::string t; li >> t;) {
                size_t dot = t.find_last_of('.');
                if (dot != std::string::npos) t = t.substr(dot + 1);
                plain += (plain.empty() ? "" : " ") + t;
            }
            if (!plain.empty()) ops2 += " pv " + plain + ";";
        }
    }
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        epdResult_ = result + ops2 + kept;
    }
    workerRunning_ = false;
}

bool Instance::WriteEPDResult(const std::string& file) {
    std::lock_guard<std::mutex> op(opMutex_);
    error_ = 0;
    sysError_ = 0;
    if (file.empty()) return Fail(kBadArgument);
    std::string text = EPDResult();
    if (text.empty()) return Fail(kNoResult);
    int sys = 0;
    if (!WriteTextFile(file, text + "\n", sys)) return Fail(kOutputUnwritable, sys);
    return true;
}

std::string Instance::EPDResult() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return lastJob_ == Job::Epd ? epdResult_ : "";
}

// ---------------------------------------------------------------------------
// Game analysis.

bool Instance::StartGame(const std::string& file, int secs, int hash) {
    std::lock_guard<std::mutex> op(opMutex_);
    error_ = 0;
    sysError_ = 0;
    if (secs < 1 || hash < 0 || hash > 6 || file.empty()) return Fail(kBadArgument);
    std::string text;
    errno = 0;
    if (!ReadWholeFile(file, text)) return Fail(kPgnUnreadable, errno ? errno : ENOENT);
    GameText game;
    std::string why;
    if (!ReadGameText(text, game, why)) return Fail(kPgnBad);
    size_t targets = 0;
    for (const GameMove& m : game.moves)
        if (game.analyseAll || m.marked) ++targets;
    if (targets == 0) return Fail(kNothingToAnalyse);
    StopLocked();
    if (int rc = EnsureEngine(hash); rc != kOk) return Fail(rc, sysError_);
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        game_ = std::move(game);
        job_ = Job::Game;
        lastJob_ = Job::Game;
        entries_.clear();
        targets_ = targets;
        gameStopped_ = false;
        gameSecs_ = secs;
        gameEngine_ = engine_->Name();
    }
    workerRunning_ = true;
    worker_ = std::thread(&Instance::GameWorker, this, secs);
    return true;
}

void Instance::GameWorker(int secs) {
    GameText game;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        game = game_;
    }
    const std::string ms = std::to_string(secs * 1000);
    GameWalker w = game.Start();
    size_t at = 0;
    bool stopped = false;
    for (size_t i = 0; i < game.moves.size() && !stopped; ++i) {
        if (!(game.analyseAll || game.moves[i].marked)) continue;
        while (at < i)
            w.Play(game.moves[at++].uci);
        engine_->ClearInfo();
        {
            std::lock_guard<std::mutex> lock(stateMutex_);
            root_ = w;
        }
        const std::string position = game.PositionCommand(i);
        SearchInfo info;
        std::string best;
        if (!TimedSearch(position, "movetime " + ms, secs, info, best) || !info.valid) {
            stopped = true;
            break;
        }
        GameEntry e;
        e.ply = i;
        e.depth = info.depth;
        e.bestEval = EvalText(info.mate, info.score, w.WhiteToMove());
        GameWalker b = w;
        chess::TMoveRecord m;
        e.bestSan = b.Play(best, &m) ? chess::SanOfMove(m) : best;
        e.mainLine = SanLine(w, info.pv, 16);
        if (best == game.moves[i].uci) {
            e.playedEval = e.bestEval;
        } else {
            // The move played, searched alone to the same depth.
            SearchInfo played;
            std::string dummy;
            engine_->ClearInfo();
            if (!TimedSearch(position,
                             "depth " + std::to_string(std::max(1, info.depth)) + " movetime " +
                                 ms + " searchmoves " + game.moves[i].uci,
                             secs, played, dummy) ||
                !played.valid) {
                stopped = true;
                break;
            }
            e.playedEval = EvalText(played.mate, played.score, w.WhiteToMove());
            e.mark = MoveMark(info.mate, info.score, played.mate, played.score);
        }
        std::lock_guard<std::mutex> lock(stateMutex_);
        entries_.push_back(std::move(e));
    }
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        gameStopped_ = stopped;
    }
    workerRunning_ = false;
}

std::string Instance::GameReport() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (lastJob_ != Job::Game) return "";
    std::ostringstream r;
    r << "Game analysis\n";
    r << "White   : " << game_.Tag("White") << "\n";
    r << "Black   : " << game_.Tag("Black") << "\n";
    r << "Event   : " << game_.Tag("Event") << "\n";
    r << "Date    : " << game_.Tag("Date") << "\n";
    r << "Engine  : " << gameEngine_ << ", " << gameSecs_
      << (gameSecs_ == 1 ? " second" : " seconds") << " per position\n";
    r << "Evaluations in pawns from White's point of view; +M3: White mates in 3 moves.\n";
    std::string blunders, mistakes;
    for (const GameEntry& e : entries_) {
        const GameMove& m = game_.moves[e.ply];
        r << "\n" << GameText::NumberText(m) << m.san << "\n";
        r << "   Played    : " << m.san << "  " << e.playedEval;
        if (!e.mark.empty()) r << "  " << e.mark;
        r << "\n";
        std::string& list = e.mark == "??" ? blunders : mistakes;
        if (!e.mark.empty()) list += (list.empty() ? "" : ", ") + GameText::NumberText(m) + m.san;
        r << "   Engine    : " << e.bestSan << "  " << e.bestEval << "  (depth " << e.depth
          << ")\n";
        r << "   Main line : " << e.mainLine << "\n";
    }
    r << "\nMoves analysed : " << entries_.size() << " of " << targets_;
    if (gameStopped_) r << " (analysis stopped)";
    r << "\n";
    if (!blunders.empty()) r << "Blunders (?\?)  : " << blunders << "\n";
    if (!mistakes.empty()) r << "Mistakes (?)   : " << mistakes << "\n";
    return r.str();
}

bool Instance::WriteGameReport(const std::string& file) {
    std::lock_guard<std::mutex> op(opMutex_);
    error_ = 0;
    sysError_ = 0;
    if (file.empty()) return Fail(kBadArgument);
    std::string text = GameReport();
    if (text.empty()) return Fail(kNoResult);
    int sys = 0;
    if (!WriteTextFile(file, text, sys)) return Fail(kOutputUnwritable, sys);
    return true;
}

// ---------------------------------------------------------------------------

bool Instance::Stop() {
    std::lock_guard<std::mutex> op(opMutex_);
    error_ = 0;
    sysError_ = 0;
    StopLocked();
    return error_ == 0;
}

bool Instance::IsRunning() {
    std::lock_guard<std::mutex> op(opMutex_);
    Job job;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        job = job_;
    }
    switch (job) {
    case Job::None:
        return false;
    case Job::Continuous:
        if (engine_ && engine_->Alive()) return true;
        error_ = kEngineDied;
        break;
    case Job::Epd:
    case Job::Game:
        if (workerRunning_) return true;
        if (worker_.joinable()) worker_.join();
        break;
    }
    std::lock_guard<std::mutex> lock(stateMutex_);
    job_ = Job::None;
    return false;
}

int Instance::EnginePid() {
    std::lock_guard<std::mutex> op(opMutex_);
    return engine_ ? int(engine_->Pid()) : 0;
}

void Instance::Release(bool terminate) {
    std::lock_guard<std::mutex> op(opMutex_);
    StopLocked();
    if (!engine_) return;
    if (terminate || !engine_->Alive()) {
        engine_->Close();
    } else {
        std::string program, cwd;
        ResolveProgram(engName_, engPath_, program, cwd);
        Park(program, std::move(engine_));
    }
    engine_.reset();
}

} // namespace quorel::rebeng
