#include "engine/rebelengine.h"

#include "rebeng/rebeng32.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quorel::engine {

namespace fs = std::filesystem;

namespace {

// The process-wide library state: the two flags and the 19 addresses.
struct Library {
    std::mutex mutex;
    bool loaded = false;
    bool loadFailed = false;
    int loadErrno = 0;
    void* module = nullptr;
    RebelEngineVersionFn Version = nullptr;
    RebelEngineVerDateFn VerDate = nullptr;
    RebelEngineMaxInstancesFn MaxInstances = nullptr;
    RebelEngineInstancesFn Instances = nullptr;
    RebelEngineGetErrorFn GetError = nullptr;
    RebelEngineGetSysErrorFn GetSysError = nullptr;
    RebelEngineGetErrorTextFn GetErrorText = nullptr;
    RebelEngineAllocateFn Allocate = nullptr;
    RebelEngineFreeFn Free = nullptr;
    RebelEngineStartPGNFn StartPGN = nullptr;
    RebelEngineUpdatePGNFn UpdatePGN = nullptr;
    RebelEngineGetAnalysisLineFn GetAnalysisLine = nullptr;
    RebelEngineStartEPDFn StartEPD = nullptr;
    RebelEngineGetAnalysisEPDFn GetAnalysisEPD = nullptr;
    RebelEngineStartAnalyseGameFn StartAnalyseGame = nullptr;
    RebelEngineGetAnalysisGameFn GetAnalysisGame = nullptr;
    RebelEngineStopFn Stop = nullptr;
    RebelEngineIsRunningFn IsRunning = nullptr;
    RebelEngineGetHandleFn GetHandle = nullptr;

    // The addresses of the other 18 functions, in table order.
    void** Slot(int i) {
        void** slots[19] = {reinterpret_cast<void**>(&Version),
                            reinterpret_cast<void**>(&VerDate),
                            reinterpret_cast<void**>(&MaxInstances),
                            reinterpret_cast<void**>(&Instances),
                            reinterpret_cast<void**>(&GetError),
                            reinterpret_cast<void**>(&GetSysError),
                            reinterpret_cast<void**>(&GetErrorText),
                            reinterpret_cast<void**>(&Allocate),
                            reinterpret_cast<void**>(&Free),
                            reinterpret_cast<void**>(&StartPGN),
                            reinterpret_cast<void**>(&UpdatePGN),
                            reinterpret_cast<void**>(&GetAnalysisLine),
                            reinterpret_cast<void**>(&StartEPD),
                            reinterpret_cast<void**>(&GetAnalysisEPD),
                            reinterpret_cast<void**>(&StartAnalyseGame),
                            reinterpret_cast<void**>(&GetAnalysisGame),
                            reinterpret_cast<void**>(&Stop),
                            reinterpret_cast<void**>(&IsRunning),
                            reinterpret_cast<void**>(&GetHandle)};
        return slots[i];
    }
};
// Never destroyed: components destroyed late in the program's exit still
// release their instances through it.
Library& Lib() {
    static auto* lib = new Library;
    return *lib;
}

std::string Hex8(int32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", uint32_t(v));
    return buf;
}

bool HasFolderPart(const std::string& name) {
    return name.find('/') != std::string::npos || name.find('\\') != std::string::npos;
}

bool FileExists(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

// dlsym into a function pointer slot.
void* Lookup(void* module, const char* name) {
    return dlsym(module, name);
}

const char* const kBoxPrefix = "Rebel Engine Component: ";

} // namespace

// ---------------------------------------------------------------------------

TRebelEngine::TRebelEngine() {
    Defaults();
}

TRebelEngine::~TRebelEngine() {
    EndPoller();
    if (id_ != -1) Deallocate();
}

void TRebelEngine::Defaults() {
    debug_ = false;
    dllVersion_ = 0;
    dllVersionKnown_ = false;
    dllVerDate_.clear();
    dllVerDateKnown_ = false;
    dllName_ = "REBENG32";
    dllPath_.clear();
    maxInstances_ = 0;
    maxInstancesKnown_ = false;
    terminateOnExit_ = true;
    id_ = -1;
    handle_ = -1;
    engName_ = "REBEL.EXE";
    path_.clear();
    engine_ = 2;
    appli_ = 1;
    mode_ = 3;
    hash_ = 0;
    secsPerPos_ = 5;
    epdEval_ = 2;
    analysisTimer_ = 0;
    errno_ = 0;
    sysErrno_ = 0;
    lastLine_.clear();
}

void TRebelEngine::Show(TMessageKind kind, const std::string& text) const {
    if (messages_) messages_(kind, text);
}

bool TRebelEngine::DLLloaded() {
    std::lock_guard<std::mutex> lock(Lib().mutex);
    return Lib().loaded;
}

// Algorithms: loading the library. Message boxes are shown after the
// process-wide lock is released, so that a window's handler may call the
// binding again while its box is open.
bool TRebelEngine::LoadDLL() {
    std::vector<std::pair<TMessageKind, std::string>> boxes;
    bool ok = LoadDLLLocked(boxes);
    for (const auto& [kind, text] : boxes)
        Show(kind, text);
    return ok;
}

bool TRebelEngine::LoadDLLLocked(std::vector<std::pair<TMessageKind, std::string>>& boxes) {
    auto box = [&](TMessageKind kind, const std::string& text) { boxes.emplace_back(kind, text); };
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mutex);
    if (lib.loaded) return true;
    if (lib.loadFailed) {
        sysErrno_ = lib.loadErrno;
        return false;
    }
    const std::string file = dllName_ + ".so";

    auto fail = [&](void* module, int sysErr) {
        if (module) dlclose(module);
        lib.loadFailed = true;
        lib.loadErrno = sysErr;
        sysErrno_ = sysErr;
        return false;
    };
    // Looks up the 19 functions; the first one missing fails with its box.
    auto bind = [&](void* module, const std::string& path) {
        for (int i = 0; i < 19; ++i) {
            void* f = Lookup(module, rebeng::kFunctionNames[i]);
            if (!f) {
                box(TMessageKind::Error, std::string(kBoxPrefix) + "loading DLL " + path +
                                             "\nCan't get address of function " +
                                             rebeng::kFunctionNames[i]);
                return false;
            }
            *lib.Slot(i) = f;
        }
        return true;
    };

    // A library of that name already in the process is used as it is.
    if (void* present = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
        if (!bind(present, file)) return fail(present, 0);
        lib.module = present;
        lib.loaded = true;
        if (debug_) box(TMessageKind::Information, std::string(kBoxPrefix) + "DLL already loaded");
        return true;
    }

    std::string folder = dllPath_;
    if (folder.empty()) {
        std::error_code ec;
        folder = fs::current_path(ec).string();
    }
    std::string path = (fs::path(folder) / file).string();
    errno = 0;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    std::string loadedFrom = path;
    if (!module) {
        module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        loadedFrom = file;
    }
    if (!module) {
        int err = errno ? errno : ENOENT;
        if (debug_)
            box(TMessageKind::Error,
                std::string(kBoxPrefix) + "can't load neither DLL \n" + path + "\nnor " + dllName_);
        return fail(nullptr, err);
    }

    auto version = reinterpret_cast<RebelEngineVersionFn>(Lookup(module, "RebelEngineVersion"));
    if (!version) {
        box(TMessageKind::Error, std::string(kBoxPrefix) + "loading DLL " + loadedFrom +
                                     "\nCan't get address of function RebelEngineVersion");
        return fail(module, 0);
    }
    int32_t v = version();
    if (v < rebeng::kLowestVersion || v > rebeng::kHighestVersion) {
        box(TMessageKind::Error,
            std::string(kBoxPrefix) + "DLL version mismatch\nComponent  : 0x" +
                Hex8(kComponentVersion) + "\nRebEng DLL : 0x" + Hex8(v) + "\n" +
                (v < rebeng::kLowestVersion ? "DLL too old for this component version"
                                            : "DLL too new for this component version"));
        return fail(module, 0);
    }
    if (!bind(module, loadedFrom)) return fail(module, 0);
    lib.module = module;
    lib.loaded = true;
    return true;
}

void TRebelEngine::AfterCall() {
    Library& lib = Lib();
    errno_ = lib.GetError(id_);
    sysErrno_ = lib.GetSysError(id_);
}

// Algorithms: creating the instance.
int TRebelEngine::Allocate() {
    if (!LoadDLL()) {
        errno_ = kErrLoad;
        return -1;
    }
    Library& lib = Lib();
    if (debug_) {
        int32_t v = lib.Version();
        if (v != kComponentVersion)
            Show(TMessageKind::Information,
                 std::string(kBoxPrefix) + "DLL version differs\nComponent  : 0x" +
                     Hex8(kComponentVersion) + "\nRebEng DLL : 0x" + Hex8(v));
    }
    int id = lib.Allocate(int(Appli()), engName_.c_str(), path_.c_str(), engine_);
    if (id >= 0) id_ = id;
    AfterCall();
    return id_;
}

// ---------------------------------------------------------------------------
// Properties.

int TRebelEngine::DLLVersion() {
    if (!dllVersionKnown_) {
        if (!LoadDLL()) {
            errno_ = kErrLoad;
            return 0;
        }
        dllVersion_ = Lib().Version();
        dllVersionKnown_ = true;
    }
    return dllVersion_;
}

std::string TRebelEngine::DLLVerDate() {
    if (!dllVerDateKnown_) {
        if (!LoadDLL()) {
            errno_ = kErrLoad;
            return "";
        }
        dllVerDate_ = VerDateText(uint32_t(Lib().VerDate()));
        dllVerDateKnown_ = true;
    }
    return dllVerDate_;
}

std::string TRebelEngine::VerDateText(uint32_t packed) {
    auto bcd = [](uint32_t byte, int& out) {
        int hi = int(byte >> 4) & 15, lo = int(byte) & 15;
        if (hi > 9 || lo > 9) return false;
        out = hi * 10 + lo;
        return true;
    };
    int day, month, century, year;
    if (!bcd(packed >> 24, day) || !bcd((packed >> 16) & 0xFF, month) ||
        !bcd((packed >> 8) & 0xFF, century) || !bcd(packed & 0xFF, year))
        return "";
    if (day < 1 || day > 31 || month < 1 || month > 12 || century < 19 || century > 20) return "";
    static const char* const kMonths[12] = {"-JAN-", "-FEB-", "-MAR-", "-APR-", "-MAY-", "-JUN-",
                                            "-JUL-", "-AUG-", "-SEP-", "-OCT-", "-NOV-", "-DEC-"};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%s%d", day, kMonths[month - 1], century * 100 + year);
    return buf;
}

void TRebelEngine::SetDLLName(const std::string& name) {
    if (DLLloaded() || HasFolderPart(name)) return;
    std::string n = name;
    for (size_t i = 0; i + 4 <= n.size(); ++i) {
        std::string part = n.substr(i, 4);
        for (char& c : part)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        if (part == ".DLL") {
            n.resize(i);
            break;
        }
    }
    if (n.size() >= 3 && n.compare(n.size() - 3, 3, ".so") == 0) n.resize(n.size() - 3);
    dllName_ = n;
}

void TRebelEngine::SetDLLPath(const std::string& folder) {
    if (DLLloaded()) return;
    const std::string file = dllName_ + ".so";
    if (folder.empty() ? FileExists(fs::path(".") / file) : FileExists(fs::path(folder) / file))
        dllPath_ = folder;
}

int TRebelEngine::MaxNoOfInstances() {
    if (!maxInstancesKnown_) {
        if (!LoadDLL()) {
            errno_ = kErrLoad;
            return 0;
        }
        maxInstances_ = Lib().MaxInstances();
        maxInstancesKnown_ = true;
    }
    return maxInstances_;
}

int TRebelEngine::NoOfInstances() {
    if (!LoadDLL()) {
        errno_ = kErrLoad;
        return 0;
    }
    return Lib().Instances();
}

void TRebelEngine::SetEngName(const std::string& name) {
    if (id_ != -1 || HasFolderPart(name)) return;
    engName_ = name;
}

void TRebelEngine::SetPath(const std::string& folder) {
    if (id_ != -1) return;
    if (folder.empty() ? FileExists(fs::path(".") / engName_)
                       : FileExists(fs::path(folder) / engName_))
        path_ = folder;
}

REengType TRebelEngine::Engine() const {
    return engine_ == 1 ? REengType::EngDec1 : engine_ == 9 ? REengType::EngR9 : REengType::EngDec2;
}

void TRebelEngine::SetEngine(REengType engine) {
    if (id_ != -1) return;
    engine_ = engine == REengType::EngDec1 ? 1 : engine == REengType::EngR9 ? 9 : 2;
}

REappliType TRebelEngine::Appli() const {
    return appli_ >= 0 && appli_ <= 2 ? REappliType(appli_) : REappliType::AppDIAGROM;
}

void TRebelEngine::SetAppli(int ordinal) {
    if (id_ != -1) return;
    appli_ = ordinal;
}

REmode TRebelEngine::Mode() const {
    return mode_ >= 0 && mode_ <= 4 ? REmode(mode_) : REmode::ModNext;
}

void TRebelEngine::SetMode(int ordinal) {
    if (ordinal >= 0 && ordinal <= 4) mode_ = ordinal;
}

void TRebelEngine::SetHashSize(int ordinal) {
    if (engine_ != 9)
        hash_ = 0;
    else if (ordinal >= 0 && ordinal <= 6)
        hash_ = ordinal;
}

void TRebelEngine::SetSecsPerPos(int secs) {
    secsPerPos_ = secs >= 360000 ? 359999 : secs < 6 ? 5 : secs;
}

void TRebelEngine::SetEPDevalMode(int ordinal) {
    epdEval_ = ordinal == 1 || ordinal == 2 ? ordinal : 0;
}

void TRebelEngine::SetAnalysisTimer(int ms) {
    if (ms == 0 || (ms >= 100 && ms <= 60000)) analysisTimer_ = ms;
}

// ---------------------------------------------------------------------------
// Operations.

std::string TRebelEngine::ErrorText() {
    if (errno_ == kErrLoad) return "DLL load error";
    if (!LoadDLL()) {
        errno_ = kErrLoad;
        return "";
    }
    char buf[400] = {};
    int32_t len = 0;
    if (Lib().GetErrorText(errno_, buf, 400, &len) == 0) return "";
    if (len < 0 || len > 399) len = 0;
    return std::string(buf, size_t(len));
}

bool TRebelEngine::Start(const std::string& arg) {
    if (id_ == -1 && Allocate() < 0) return false;
    if (!LoadDLL()) {
        errno_ = kErrLoad;
        return false;
    }
    Library& lib = Lib();
    int32_t ok = 0;
    switch (Mode()) {
    case REmode::ModPos:
        ok = lib.StartEPD(id_, arg.c_str(), secsPerPos_, hash_, epdEval_);
        break;
    case REmode::ModGame:
        ok = lib.StartAnalyseGame(id_, arg.c_str(), secsPerPos_, hash_);
        break;
    case REmode::ModEval:
    case REmode::ModLast:
    case REmode::ModNext:
        ok = lib.StartPGN(id_, arg.c_str(), int(Mode()), hash_);
        break;
    }
    AfterCall();
    int32_t handle = lib.GetHandle(id_);
    handle_ = handle;
    if (ok != 0 && analysisTimer_ > 0) RunPoller();
    return ok != 0;
}

bool TRebelEngine::UpdatePGN(const std::string& pgnFile) {
    REmode m = Mode();
    if (id_ == -1 || !(m == REmode::ModEval || m == REmode::ModLast || m == REmode::ModNext)) {
        errno_ = kErrNotNow;
        return false;
    }
    if (!LoadDLL()) {
        errno_ = kErrLoad;
        return false;
    }
    int32_t ok = Lib().UpdatePGN(id_, pgnFile.c_str());
    AfterCall();
    return ok != 0;
}

std::string TRebelEngine::AnalysisLine() {
    if (id_ == -1) {
        errno_ = kErrNotNow;
        return "";
    }
    if (!LoadDLL()) {
        errno_ = kErrLoad;
        return "";
    }
    char buf[400] = {};
    int32_t len = 0;
    int32_t ok = Lib().GetAnalysisLine(id_, buf, 400, &len);
    AfterCall();
    if (ok == 0 || len <= 0) return "";
    if (len > 399) len = 399;
    return std::string(buf, size_t(len));
}

bool TRebelEngine::GetAnalysisResult(const std::string& outFile) {
    REmode m = Mode();
    if (!(m == REmode::ModPos || m == REmode::ModGame) || outFile.empty()) {
        errno_ = kErrNotNow;
        return false;
    }
    if (!LoadDLL()) {
        errno_ = kErrLoad;
        return false;
    }
    int32_t ok = m == REmode::ModPos ? Lib().GetAnalysisEPD(id_, outFile.c_str())
                                     : Lib().GetAnalysisGame(id_, outFile.c_str());
    AfterCall();
    return ok != 0;
}

bool TRebelEngine::Stop() {
    if (id_ == -1) {
        errno_ = kErrNotNow;
        return false;
    }
    if (!LoadDLL()) {
        errno_ = kErrLoad;
        return false;
    }
    Library& lib = Lib();
    int32_t ok = lib.Stop(id_);
    int err = lib.GetError(id_), sysErr = lib.GetSysError(id_);
    EndPoller();
    handle_ = lib.GetHandle(id_);
    errno_ = err;
    sysErrno_ = sysErr;
    return ok != 0;
}

bool TRebelEngine::IsRunning() {
    if (id_ == -1) {
        errno_ = kErrNotNow;
        return false;
    }
    if (!LoadDLL()) {
        errno_ = kErrLoad;
        return false;
    }
    int32_t running = Lib().IsRunning(id_);
    AfterCall();
    return running != 0;
}

bool TRebelEngine::Deallocate() {
    if (id_ == -1) {
        errno_ = kErrNoInstance;
        return false;
    }
    if (!LoadDLL()) {
        errno_ = kErrLoad;
        return false;
    }
    EndPoller();
    int32_t ok = Lib().Free(id_, terminateOnExit_ ? 1 : 0);
    AfterCall();
    if (ok == 0) return false;
    Defaults();
    return true;
}

// ---------------------------------------------------------------------------
// The background poller (TRebEngAnaThread).

void TRebelEngine::RunPoller() {
    EndPoller();
    {
        std::lock_guard<std::mutex> lock(pollerMutex_);
        pollerStop_ = false;
    }
    pollerRunning_ = true;
    const int id = id_;
    const int period = analysisTimer_;
    poller_ = std::thread([this, id, period] {
        Library& lib = Lib();
        std::unique_lock<std::mutex> lock(pollerMutex_);
        while (!pollerStop_) {
            if (pollerWake_.wait_for(lock, std::chrono::milliseconds(period),
                                     [this] { return pollerStop_; }))
                break;
            lock.unlock();
            char buf[400] = {};
            int32_t len = 0;
            bool running = lib.IsRunning(id) != 0;
            bool haveLine = running && lib.GetAnalysisLine(id, buf, 400, &len) != 0 && len > 0;
            if (!haveLine) {
                lock.lock();
                break;
            }
            std::string line(buf, size_t(std::min<int32_t>(len, 399)));
            if (line != lastLine_) {
                lastLine_ = line;
                if (onAnalysis_) onAnalysis_(this, line);
            }
            lock.lock();
        }
        pollerRunning_ = false;
    });
}

void TRebelEngine::EndPoller() {
    {
        std::lock_guard<std::mutex> lock(pollerMutex_);
        pollerStop_ = true;
    }
    pollerWake_.notify_all();
    if (poller_.joinable() && poller_.get_id() != std::this_thread::get_id()) poller_.join();
}

} // namespace quorel::engine
