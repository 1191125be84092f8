#include "setup/installer.h"

#include "setup/folders.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quorel::setup {

namespace fs = std::filesystem;

namespace {
// Pace of the work list, so the progress window can be read.
constexpr int kStepPauseMs = 100;

bool WriteAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        n -= size_t(w);
    }
    return true;
}
} // namespace

bool CopyFileReplacing(const std::string& source, const std::string& target) {
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    fs::path t(target);
    std::string tmpl = (t.parent_path() / ("." + t.filename().string() + ".setup-XXXXXX")).string();
    int out = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    char buf[65536];
    for (;;) {
        ssize_t r = ::read(in, buf, sizeof buf);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) ok = false;
        if (r <= 0) break;
        if (!WriteAll(out, buf, size_t(r))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    ok = ok && ::fchmod(out, st.st_mode & 07777) == 0;
    ok = ok && ::fsync(out) == 0;
    ok = ::close(out) == 0 && ok;
    // rename() replaces a file but not a folder, which must not be lost.
    ok = ok && ::rename(tmpl.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(tmpl.c_str());
    return ok;
}

int RunAndWait(const std::string& folder, const std::string& program, const std::string& argument,
               const std::function<void()>& pump) {
    std::string path = ResolveInFolder(folder, program);
    if (path.empty()) return -1;
    std::string argv0 = "./" + program;
    std::string arg1 = argument;
    char* argv[] = {argv0.data(), arg1.data(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addchdir_np(&fa, WithoutSlash(folder).c_str());
    pid_t pid = 0;
    int rc = posix_spawn(&pid, path.c_str(), &fa, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return -1;
    for (;;) {
        int status = 0;
        pid_t w = ::waitpid(pid, &status, WNOHANG);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return -2;
        if (w == pid) {
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
            continue;
        }
        if (pump) {
            pump();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

TInstaller::TInstaller(TSetupList list, std::string sourceFolder, TSetupUi& ui,
                       TProgramManager* menu, bool debug)
    : list_(std::move(list)), source_(WithSlash(sourceFolder)), ui_(ui), menu_(menu),
      debug_(debug) {}

std::string TInstaller::ItemTitle(const std::string& title, const std::string& file,
                                  const std::string& programName) {
    std::string ext = fs::path(file).extension().string();
    return ext == ".EXE" ? programName : title;
}

TInstallResult TInstaller::Install(const std::string& folderField) {
    macros_.clear();
    std::string folder = NormalizeFolder(folderField);
    // 1. Never into the folder being installed from.
    if (!folder.empty() && SameFolder(folder, source_)) {
        ui_.Message("Can't install into the source directory " + WithSlash(folder));
        return TInstallResult::Refused;
    }
    // 2. The target folder, with any missing parents.
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) {
        ec.clear();
        if (!folder.empty()) fs::create_directories(folder, ec);
        if (folder.empty() || ec || !fs::is_directory(folder, ec)) {
            ui_.Message("Can't create target directory " + folderField);
            return Finish(false);
        }
    }
    target_ = WithSlash(folder);
    // 3. The overwrite question for the main file.
    if (!list_.MainFile.empty()) {
        std::string main = ResolveInFolder(target_, list_.MainFile);
        if (!main.empty() && fs::exists(main, ec)) {
            if (!ui_.Ask(target_ + "\nalready exists.\nOverwrite data ?"))
                return TInstallResult::Refused;
        }
    }
    // 4. Folders and files.
    ui_.ShowProgress(true);
    bool copied = CopyWorkList();
    ui_.ShowProgress(false);
    if (!copied) return Finish(false);
    // 5. The menu group.
    if (!list_.GroupName.empty() && !MakeGroup()) {
        ui_.Message("Can't create group, you have to create it manually, the program is installed");
        return Finish(true);
    }
    // 6. Items with no group to go in.
    std::erase_if(list_.WorkList, [](const std::string& w) { return w.rfind("GA ", 0) == 0; });
    // 7. The extra install program.
    if (!list_.InstallProgram.empty() && !RunInstallProgram()) return Finish(false);
    // 8. Anything left undone.
    if (!list_.WorkList.empty()) {
        if (ui_.Ask("Setup work list not empty - show list ?"))
            for (const std::string& w : list_.WorkList)
                ui_.Message(w);
        return Finish(false);
    }
    return Finish(true);
}

bool TInstaller::CopyWorkList() {
    auto& work = list_.WorkList;
    for (size_t i = 0; i < work.size();) {
        auto [type, arg] = SplitFirstBlank(work[i]);
        if (type == "D") {
            std::string path = ResolveInFolder(target_, arg);
            std::error_code ec;
            if (!path.empty() && fs::is_directory(path, ec)) {
                ui_.Progress("Directory already exists", path);
            } else {
                ui_.Progress("Create directory", path.empty() ? target_ + arg : path);
                if (!path.empty()) fs::create_directories(path, ec);
                if (path.empty() || !fs::is_directory(path, ec)) {
                    ui_.Message("Can't create directory " + (path.empty() ? target_ + arg : path));
                    work.clear();
                    return false;
                }
            }
        } else if (type == "F") {
            auto [src, dst] = SplitFirstBlank(arg);
            std::string from = ResolveInFolder(source_, src);
            std::string to = ResolveInFolder(target_, dst);
            std::string fromShown = from.empty() ? source_ + src : from;
            ui_.Progress(fromShown, to.empty() ? target_ + dst : to);
            if (from.empty() || to.empty() || !CopyFileReplacing(from, to)) {
                ui_.Message("Can't copy file " + fromShown);
                work.clear();
                return false;
            }
        } else {
            ++i; // GA lines wait for the group step
            continue;
        }
        work.erase(work.begin() + long(i));
        ui_.Wait(kStepPauseMs);
    }
    return true;
}

bool TInstaller::MakeGroup() {
    if (!menu_ || !menu_->Connect()) return false;
    std::string name = list_.GroupName;
    if (ui_.SelectGroup(menu_->Groups(), name)) {
        const char q = '"';
        macros_.push_back("[creategroup(" + std::string(1, q) + name + q + ")]");
        auto& work = list_.WorkList;
        for (size_t i = 0; i < work.size();) {
            auto [type, arg] = SplitFirstBlank(work[i]);
            if (type != "GA") {
                ++i;
                continue;
            }
            auto [title, file] = SplitLastBlank(arg);
            macros_.push_back("[Additem(" + target_ + file + ", " + q +
                              ItemTitle(title, file, list_.ProgramName) + q + ")]");
            work.erase(work.begin() + long(i));
        }
        bool ok = true;
        for (const std::string& m : macros_)
            ok = menu_->Execute(m) && ok;
        std::string show = "[ShowGroup(" + std::string(1, q) + name + q + ")]";
        macros_.push_back(show);
        ok = menu_->Execute(show) && ok;
        menu_->Disconnect();
        return ok;
    }
    menu_->Disconnect();
    return true;
}

bool TInstaller::RunInstallProgram() {
    const std::string& prog = list_.InstallProgram;
    std::string arg = WithoutSlash(target_);
    if (debug_) ui_.Message("cmd : ./" + prog + " " + arg);
    int code = RunAndWait(source_, prog, arg, [this] { ui_.Wait(20); });
    if (code == -1) {
        ui_.Message("Error in executing\nspecial install program\n" + prog);
        return false;
    }
    if (code == -2) {
        ui_.Message("Error in waiting for\nspecial install program\n" + prog);
    } else if (code != 0) {
        ui_.Message("exit code : " + std::to_string(code));
    }
    return true;
}

TInstallResult TInstaller::Finish(bool installed) {
    ui_.Message(list_.ProgramName + (installed ? " installed" : " installation aborted"));
    return installed ? TInstallResult::Installed : TInstallResult::Aborted;
}

} // namespace quorel::setup
