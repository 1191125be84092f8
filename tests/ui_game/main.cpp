// GUI tests: one QApplication for the whole program (offscreen platform).
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#if __has_include("ui/dialogs/register.h")
#include "ui/dialogs/register.h"
#define QUOREL_HAVE_DIALOGS 1
#endif

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);
#ifdef QUOREL_HAVE_DIALOGS
    // The windows show every command the program offers.
    quorel::ui::RegisterDialogs();
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
