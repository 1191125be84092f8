// setup: installs a program from the folder it is started in, as its
// SETUP.LST says.
//   setup [-DEBUG] [-INSTALL:folder]
// -DEBUG shows the values read from the list and the extra install program's
// command line. -INSTALL:folder installs into folder without asking (boxes go
// to standard error); the exit code is 0 when the program was installed.
#include "setup/folders.h"
#include "setup/gui/setupwindow.h"
#include "setup/singleinstance.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstring>

using namespace quorel::setup;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    bool debug = false, unattended = false;
    QString target;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-DEBUG") == 0) debug = true;
        if (std::strncmp(argv[i], "-INSTALL:", 9) == 0) {
            unattended = true;
            target = QString::fromLocal8Bit(argv[i] + 9);
        }
    }
    auto box = [&](const std::string& text) {
        if (unattended) {
            std::fprintf(stderr, "Setup: %s\n", text.c_str());
        } else {
            QMessageBox::information(nullptr, "Setup", QString::fromStdString(text));
        }
    };

    // 1. One setup at a time: a second start brings the first to the front.
    TSingleInstance single(kSetupTitle);
    if (single.Acquire() == TSingleInstance::TState::OtherRaised) {
        // An unattended run must not look like a finished installation.
        if (unattended) std::fprintf(stderr, "Setup: %s is already running\n", kSetupTitle);
        return unattended ? 1 : 0;
    }

    // 2.-4. The setup list beside this program.
    std::string source = ExecutableFolder();
    TSetupList list;
    TDebugBox debugBox;
    if (debug) debugBox = box;
    if (auto error = ReadSetupList(source, list, debugBox)) {
        box(*error);
        return 1;
    }

    TSetupWindow window(list, QString::fromStdString(source), debug, unattended);
    if (single.ListenFd() >= 0) {
        auto* notifier = new QSocketNotifier(single.ListenFd(), QSocketNotifier::Read, &window);
        QObject::connect(notifier, &QSocketNotifier::activated, &window, [&] {
            if (single.TakeRaiseRequests()) window.BringToFront();
        });
    }
    window.show();
    int result = 0;
    if (unattended) {
        QTimer::singleShot(0, &window, [&] {
            window.SetFolder(target);
            TInstallResult r = window.Install();
            result = r == TInstallResult::Installed ? 0 : 1;
            if (r == TInstallResult::Refused) app.exit(1);
        });
    }
    int rc = app.exec();
    return unattended ? (rc != 0 ? rc : result) : rc;
}
