#pragma once
// The install steps: copy the work list into the target folder, make the
// menu group, run the extra install program, report the outcome. Every box
// and question goes through TSetupUi, so the steps run the same way behind
// the window, unattended, and in tests.
#include "setup/desktopmenu.h"
#include "setup/setuplist.h"

#include <string>
#include <vector>

namespace quorel::setup {

// What the installer shows and asks. Every box has the caption "Setup".
class TSetupUi {
  public:
    virtual ~TSetupUi() = default;
    // An information or failure box; returns when it is closed.
    virtual void Message(const std::string& text) = 0;
    // A Yes/No question; true = Yes.
    virtual bool Ask(const std::string& text) = 0;
    // Shows or hides the "Setup Progress" window.
    virtual void ShowProgress(bool visible) = 0;
    // The progress window's two lines: action or source path, target path.
    virtual void Progress(const std::string& line1, const std::string& line2) = 0;
    // The "Select Group" window: groups listed, name holds the default and
    // receives the chosen name. false = cancelled.
    virtual bool SelectGroup(const std::vector<std::string>& groups, std::string& name) = 0;
    // Waits ms milliseconds while the window stays alive.
    virtual void Wait(int ms) = 0;
};

// How one run of Install ended.
enum class TInstallResult {
    Refused,   // a check failed or the user said No: back to the main window
    Installed, // "<program> installed" was shown: close
    Aborted,   // "<program> installation aborted" was shown: close
};

class TInstaller {
  public:
    // sourceFolder: folder of the setup program and its list. menu may be
    // null (no menu at all: the group step fails like a refused menu).
    TInstaller(TSetupList list, std::string sourceFolder, TSetupUi& ui, TProgramManager* menu,
               bool debug = false);

    // Installs into the folder typed in the folder field.
    TInstallResult Install(const std::string& folderField);

    // The work list as it stands (lines still to do).
    const std::vector<std::string>& WorkList() const { return list_.WorkList; }
    // Macro lines sent to the menu in the last run.
    const std::vector<std::string>& Macros() const { return macros_; }
    // The target folder with trailing "/" of the last run.
    const std::string& TargetFolder() const { return target_; }

    // Title of a GA item: the GA title, or the program name when the target
    // file's extension is exactly ".EXE".
    static std::string ItemTitle(const std::string& title, const std::string& file,
                                 const std::string& programName);

  private:
    bool CopyWorkList();
    bool MakeGroup(); // false = the menu could not be reached
    bool RunInstallProgram();
    TInstallResult Finish(bool installed);

    TSetupList list_;
    std::string source_; // with trailing "/"
    TSetupUi& ui_;
    TProgramManager* menu_;
    bool debug_;
    std::string target_; // with trailing "/"
    std::vector<std::string> macros_;
};

// Copies source to target, replacing target: the data goes to a temporary
// file beside target that is then renamed over it (a running program being
// replaced keeps its old file). The source's permissions are kept.
bool CopyFileReplacing(const std::string& source, const std::string& target);

// Runs "./" + program + " " + argument from folder and waits for its end.
// Returns the exit code (128 + signal number when killed); -1 when it could
// not be started, -2 when waiting failed. pump is called while it runs.
int RunAndWait(const std::string& folder, const std::string& program, const std::string& argument,
               const std::function<void()>& pump = {});

} // namespace quorel::setup
