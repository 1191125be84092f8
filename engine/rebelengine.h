#pragma once
// TRebelEngine: the binding to the engine library REBENG32.so. It loads the
// library at run time (once per process, never unloaded after success),
// checks its version, allocates one engine instance, starts and stops
// analyses, fetches the current analysis line and turns the library's error
// numbers into texts. One component belongs to each game window; the loaded
// library is shared by all of them. Qt-free: message boxes go through a
// callback the window supplies.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quorel::engine {

// Engine kind, passed to the library as 1, 2 or 9.
enum class REengType { EngDec1, EngDec2, EngR9 };
// Calling application, passed as 0, 1 or 2.
enum class REappliType { AppNone = 0, AppDIAGROM = 1, AppQUOREL = 2 };
// Kind of analysis, held as 0 to 4.
enum class REmode { ModPos = 0, ModEval = 1, ModLast = 2, ModNext = 3, ModGame = 4 };
// Hash table size, held as 0 to 6.
enum class REhash { Hash256kb = 0, Hash512kb, Hash1MB, Hash2MB, Hash4MB, Hash13MB, Hash28MB };
// EPD evaluation mode, passed as 0, 1 or 2.
enum class REEPDeval { EPDevalNone = 0, EPDevalAlways = 1, EPDevalCheckCE = 2 };

// The kind of a message box.
enum class TMessageKind { Information, Error };
using TMessageHandler = std::function<void(TMessageKind kind, const std::string& text)>;

class TRebelEngine;
// OnAnalysis: raised by the background poller (on its thread) when the line changes.
using TREAnalysisEvent = std::function<void(TRebelEngine* sender, const std::string& line)>;

// Result codes of the binding itself (errno); any other value is the library's.
constexpr int kErrLoad = -1;                  // "DLL load error"
constexpr int kErrNoInstance = 1;             // no engine instance
constexpr int kErrNotNow = 2;                 // not in the current mode or state
constexpr int kComponentVersion = 0x01020100; // the library version this binding was made for

class TRebelEngine {
  public:
    // The defaults of the table: Appli held as 1, Engine EngDec2, Mode
    // ModNext, HashSize Hash256kb, SecsPerPos 5, EPDevalMode EPDevalCheckCE,
    // AnalysisTimer 0, DLLName "REBENG32", EngName "REBEL.EXE", TerminateOnExit.
    TRebelEngine();
    // Releases the instance (as Deallocate) and ends the poller.
    ~TRebelEngine();
    TRebelEngine(const TRebelEngine&) = delete;
    TRebelEngine& operator=(const TRebelEngine&) = delete;

    // Where message boxes go; without a handler they are not shown.
    void SetMessageHandler(TMessageHandler handler) { messages_ = std::move(handler); }

    int Version() const { return 100; }
    std::string VerDate() const { return "01-FEB-1998"; }
    bool Debug() const { return debug_; }
    void SetDebug(bool on) { debug_ = on; }

    // The library's version; loads the library on the first read and keeps
    // the value (0 and errno -1 when it cannot be loaded).
    int DLLVersion();
    // The library's build date ("07-DEC-2026"); computed once and kept; ""
    // when the library cannot be loaded or the date is not a date.
    std::string DLLVerDate();
    std::string DLLName() const { return dllName_; }
    // Only while the library is not loaded; a name with a folder part is
    // refused; everything from the first ".DLL" (any case) on is cut off, and
    // so is a final ".so".
    void SetDLLName(const std::string& name);
    std::string DLLPath() const { return dllPath_; }
    // Only while the library is not loaded: taken when folder/DLLName.so
    // exists (empty folder: ./DLLName.so); otherwise the setting stays.
    void SetDLLPath(const std::string& folder);
    // The library is loaded (one flag for the whole process).
    static bool DLLloaded();
    // RebelEngineMaxInstances, read once and kept.
    int MaxNoOfInstances();
    // RebelEngineInstances.
    int NoOfInstances();

    bool TerminateOnExit() const { return terminateOnExit_; }
    void SetTerminateOnExit(bool on) { terminateOnExit_ = on; }
    // The engine instance number; -1 = none.
    int ID() const { return id_; }
    // RebelEngineGetHandle after the last start or stop (-1 before).
    int Handle() const { return handle_; }

    std::string EngName() const { return engName_; }
    // Only while no instance exists; a name with a folder part is refused.
    void SetEngName(const std::string& name);
    std::string Path() const { return path_; }
    // Only while no instance exists: taken when folder/EngName exists (empty
    // folder: ./EngName).
    void SetPath(const std::string& folder);

    // 1 → EngDec1, 9 → EngR9, anything else → EngDec2.
    REengType Engine() const;
    // Ignored while an instance exists.
    void SetEngine(REengType engine);
    // Any value other than 0, 1, 2 reads as AppDIAGROM (1).
    REappliType Appli() const;
    // Ignored while an instance exists; the ordinal is stored as it is.
    void SetAppli(int ordinal);
    void SetAppli(REappliType a) { SetAppli(int(a)); }
    // A stored value outside 0..4 reads as ModNext.
    REmode Mode() const;
    // Ordinals 0..4 are stored; any other is ignored.
    void SetMode(int ordinal);
    void SetMode(REmode m) { SetMode(int(m)); }
    REhash HashSize() const { return REhash(hash_); }
    // Stored (0..6) only with Engine EngR9; with any other engine it becomes 0.
    void SetHashSize(int ordinal);
    void SetHashSize(REhash h) { SetHashSize(int(h)); }
    int SecsPerPos() const { return secsPerPos_; }
    // 360000 or more → 359999; below 6 → 5.
    void SetSecsPerPos(int secs);
    REEPDeval EPDevalMode() const { return REEPDeval(epdEval_); }
    // 1 → 1, 2 → 2, anything else → 0.
    void SetEPDevalMode(int ordinal);
    void SetEPDevalMode(REEPDeval m) { SetEPDevalMode(int(m)); }
    int AnalysisTimer() const { return analysisTimer_; }
    // 0 and 100..60000 are stored; other values ignored.
    void SetAnalysisTimer(int ms);
    void SetOnAnalysis(TREAnalysisEvent handler) { onAnalysis_ = std::move(handler); }

    // The engine's current analysis line; "" unless an instance exists
    // (else errno 2) and the library wrote a line.
    std::string AnalysisLine();

    // Result code of the last operation (the property errno).
    int Errno() const { return errno_; }
    // The library's or the platform's error number of the last operation.
    int SysErrno() const { return sysErrno_; }
    // Text of Errno(): "DLL load error" for -1, else the library's text ("" when none).
    std::string ErrorText();

    // Reading Deallocate: no instance → errno 1, false. Otherwise frees the
    // instance (terminating the engine with TerminateOnExit); on success every
    // property returns to its default (ID -1 included) and the result is true.
    // The message handler and OnAnalysis stay connected.
    bool Deallocate();

    // Starts an analysis by Mode: ModPos a timed search of the EPD text arg;
    // ModGame the analysis of the moves of the PGN file arg; ModEval, ModLast,
    // ModNext the continuous analysis of the PGN file arg. Allocates the
    // instance first when there is none.
    bool Start(const std::string& arg);
    // Only with an instance and Mode ModEval/ModLast/ModNext, else errno 2.
    bool UpdatePGN(const std::string& pgnFile);
    // Only with Mode ModPos or ModGame and a non-empty name, else errno 2:
    // the library writes its result into outFile.
    bool GetAnalysisResult(const std::string& outFile);
    // No instance: errno 2, false. Stops the analysis and the poller; sets Handle.
    bool Stop();
    // No instance: errno 2, false; else whether the analysis runs.
    bool IsRunning();
    // The poller thread runs.
    bool PollerRunning() const { return pollerRunning_; }

    // The packed decimal build date as text: day, "-JAN-" … "-DEC-", year
    // (0x01021998 → "01-FEB-1998"); "" when a field is out of range.
    static std::string VerDateText(uint32_t packed);

  private:
    void Defaults();
    bool LoadDLL();
    bool LoadDLLLocked(std::vector<std::pair<TMessageKind, std::string>>& boxes);
    int Allocate();
    void AfterCall(); // errno/sys_errno from the library for the instance
    void Show(TMessageKind kind, const std::string& text) const;
    void RunPoller();
    void EndPoller();

    TMessageHandler messages_;
    TREAnalysisEvent onAnalysis_;
    bool debug_ = false;
    int dllVersion_ = 0;
    bool dllVersionKnown_ = false;
    std::string dllVerDate_;
    bool dllVerDateKnown_ = false;
    std::string dllName_ = "REBENG32";
    std::string dllPath_;
    int maxInstances_ = 0;
    bool maxInstancesKnown_ = false;
    bool terminateOnExit_ = true;
    int id_ = -1;
    int handle_ = -1;
    std::string engName_ = "REBEL.EXE";
    std::string path_;
    int engine_ = 2;
    int appli_ = 1;
    int mode_ = 3;
    int hash_ = 0;
    int secsPerPos_ = 5;
    int epdEval_ = 2;
    int analysisTimer_ = 0;
    int errno_ = 0;
    int sysErrno_ = 0;

    // TRebEngAnaThread: the background poller.
    std::thread poller_;
    std::mutex pollerMutex_;
    std::condition_variable pollerWake_;
    bool pollerStop_ = false;
    std::atomic<bool> pollerRunning_{false};
    std::string lastLine_;
};

} // namespace quorel::engine
