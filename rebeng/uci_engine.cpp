#include "rebeng/uci_engine.h"

#include "rebeng/errors.h"

#include <cerrno>
#include <sstream>

namespace quorel::rebeng {

bool ParseInfoLine(const std::string& line, SearchInfo& info) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word != "info") return false;
    SearchInfo next;
    bool havePv = false, bound = false;
    int multipv = 1;
    while (in >> word) {
        if (word == "depth") {
            in >> next.depth;
        } else if (word == "time") {
            in >> next.timeMs;
        } else if (word == "nodes") {
            in >> next.nodes;
        } else if (word == "multipv") {
            in >> multipv;
        } else if (word == "score") {
            std::string kind;
            in >> kind >> next.score;
            next.mate = kind == "mate";
            if (kind != "mate" && kind != "cp") return false;
        } else if (word == "lowerbound" || word == "upperbound") {
            bound = true;
        } else if (word == "string") {
            return false; // free text to the end of the line
        } else if (word == "pv") {
            while (in >> word)
                next.pv.push_back(word);
            havePv = !next.pv.empty();
            break;
        } else if (word == "seldepth" || word == "nps" || word == "hashfull" || word == "tbhits" ||
                   word == "cpuload" || word == "currmovenumber" || word == "currmove" ||
                   word == "sbhits" || word == "selbestmove") {
            in >> word; // one value we do not use
        } else if (word == "wdl") {
            in >> word >> word >> word;
        }
        if (in.fail()) return false;
    }
    if (!havePv || bound || multipv != 1) return false;
    next.valid = true;
    info = std::move(next);
    return true;
}

int UciEngine::Open(const std::string& program, const std::string& folder, int& sysErr,
                    std::chrono::milliseconds timeout) {
    sysErr = 0;
    int rc = proc_.Start(
        program, folder, [this](const std::string& l) { OnLine(l); }, [this] { OnExit(); });
    if (rc != 0) {
        sysErr = rc;
        return kEngineNotFound;
    }
    proc_.Send("uci");
    std::unique_lock<std::mutex> lock(m_);
    bool ok = cv_.wait_for(lock, timeout, [this] { return uciok_ || dead_; });
    if (ok && uciok_) return kOk;
    lock.unlock();
    Close(200);
    return kEngineNotUci;
}

void UciEngine::Close(int graceMs) {
    proc_.Terminate(graceMs);
}

bool UciEngine::Alive() const {
    std::lock_guard<std::mutex> lock(m_);
    return uciok_ && !dead_;
}

std::string UciEngine::Name() const {
    std::lock_guard<std::mutex> lock(m_);
    return name_;
}

bool UciEngine::SetOption(const std::string& name, const std::string& value) {
    return proc_.Send("setoption name " + name + " value " + value);
}

int UciEngine::Sync(std::chrono::milliseconds timeout) {
    uint64_t before;
    {
        std::lock_guard<std::mutex> lock(m_);
        if (dead_) return kEngineDied;
        before = readyCount_;
    }
    if (!proc_.Send("isready")) return kEngineDied;
    std::unique_lock<std::mutex> lock(m_);
    if (!cv_.wait_for(lock, timeout, [&] { return readyCount_ > before || dead_; }))
        return kEngineNoAnswer;
    return dead_ ? kEngineDied : kOk;
}

int UciEngine::StartSearch(const std::string& position, const std::string& go) {
    if (int rc = StopSearch(); rc != kOk) return rc;
    {
        std::lock_guard<std::mutex> lock(m_);
        if (dead_) return kEngineDied;
        searching_ = true;
        bestMove_.clear();
        info_ = SearchInfo{};
        searchStart_ = std::chrono::steady_clock::now();
    }
    if (!proc_.Send(position) || !proc_.Send("go " + go)) {
        std::lock_guard<std::mutex> lock(m_);
        searching_ = false;
        return kEngineDied;
    }
    return kOk;
}

int UciEngine::StopSearch(std::chrono::milliseconds timeout) {
    {
        std::lock_guard<std::mutex> lock(m_);
        if (dead_) return kEngineDied;
        if (!searching_) return kOk;
    }
    proc_.Send("stop");
    std::unique_lock<std::mutex> lock(m_);
    if (!cv_.wait_for(lock, timeout, [this] { return !searching_ || dead_; }))
        return kEngineNoAnswer;
    return searching_ ? kEngineDied : kOk;
}

bool UciEngine::WaitSearch(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait_for(lock, timeout, [this] { return !searching_ || dead_; });
    return !searching_ && !bestMove_.empty();
}

bool UciEngine::Searching() const {
    std::lock_guard<std::mutex> lock(m_);
    return searching_ && !dead_;
}

void UciEngine::ClearInfo() {
    std::lock_guard<std::mutex> lock(m_);
    info_ = SearchInfo{};
}

SearchInfo UciEngine::Latest() const {
    std::lock_guard<std::mutex> lock(m_);
    return info_;
}

std::string UciEngine::BestMove() const {
    std::lock_guard<std::mutex> lock(m_);
    return bestMove_;
}

std::chrono::steady_clock::time_point UciEngine::SearchStart() const {
    std::lock_guard<std::mutex> lock(m_);
    return searchStart_;
}

void UciEngine::OnLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(m_);
    if (line == "uciok") {
        uciok_ = true;
    } else if (line == "readyok") {
        ++readyCount_;
    } else if (line.rfind("id name ", 0) == 0) {
        name_ = line.substr(8);
    } else if (line.rfind("bestmove", 0) == 0) {
        if (!searching_) return;
        std::istringstream in(line.substr(8));
        in >> bestMove_;
        if (bestMove_.empty()) bestMove_ = "(none)";
        searching_ = false;
    } else if (line.rfind("info ", 0) == 0) {
        if (searching_) ParseInfoLine(line, info_);
        return;
    } else {
        return;
    }
    cv_.notify_all();
}

void UciEngine::OnExit() {
    std::lock_guard<std::mutex> lock(m_);
    dead_ = true;
    cv_.notify_all();
}

} // namespace quorel::rebeng
