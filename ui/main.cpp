// quorel: the desktop program. Process start in its order: single-instance
// test, command line, the frame and the dialogs of the run (behind a splash
// window), the settings dialog on the first run, then the message loop.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSplashScreen>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/frame/mainform.h"

#if __has_include("ui/dialogs/register.h")
#include "ui/dialogs/register.h"
#define QUOREL_HAVE_DIALOGS 1
#endif

namespace {

// The about box without its buttons.
QPixmap SplashPicture() {
    QPixmap pm(360, 170);
    pm.fill(QColor(0, 128, 128));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(34);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 30, 360, 50), Qt::AlignCenter, QStringLiteral("Quorel 4.00"));
    f.setPixelSize(15);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(0, 90, 360, 30), Qt::AlignCenter,
               QStringLiteral("\u265E  correspondence chess by e-mail  \u2658"));
    return pm;
}

} // namespace

int main(int argc, char** argv) {
    // A file-size limit reached while writing (a mail file, the index) is a
    // failed write the program reports and cleans up after, not a signal
    // that ends the run halfway.
    std::signal(SIGXFSZ, SIG_IGN);
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorel"));

    quorel::TShellSession session;
    // 1. Single instance.
    if (!session.CheckSingleInstance()) {
        QMessageBox::critical(nullptr, QStringLiteral("Quorel"),
                              QLatin1String(quorel::kAlreadyRunningText));
        return quorel::kAlreadyRunningExitCode;
    }
    // 2. Command line.
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    session.ScanCommandLine(args);

    // 3-4. The frame and the dialogs of the run, behind the splash window.
    QSplashScreen splash(SplashPicture());
    splash.show();
    app.processEvents();
    std::string error;
    if (!session.CreateFrame(&error))
        QMessageBox::warning(nullptr, QStringLiteral("Quorel"), QString::fromStdString(error));
    bool bookOk = true;
    std::string bookError;
    const std::string imported = session.CreateAddressBook(&bookOk, &bookError);
    if (!bookOk)
        QMessageBox::warning(nullptr, QStringLiteral("Quorel"), QString::fromStdString(bookError));
#ifdef QUOREL_HAVE_DIALOGS
    quorel::ui::RegisterDialogs();
#endif
    quorel::ui::TMainForm frame(session);
    if (!imported.empty())
        QMessageBox::information(nullptr, QStringLiteral("Quorel"),
                                 QString::fromStdString(imported));

    // 6. Title, then the message loop (the frame's first activation reopens
    // the games of the last exit).
    QApplication::setApplicationDisplayName(QLatin1String(quorel::kApplicationTitle));
    if (session.Settings().BeginMaximized) {
        // Without a window manager "maximized" means nothing: take the screen.
        if (QScreen* screen = frame.screen()) frame.setGeometry(screen->availableGeometry());
        frame.showMaximized();
    } else {
        frame.show();
    }
    splash.finish(&frame);

    // Start-up measurement for the bench script: report and leave once the
    // frame has been shown and the last games reopened.
    if (qEnvironmentVariableIsSet("QUOREL_STARTUP_BENCH")) {
        QTimer::singleShot(0, &frame, [&] {
            std::printf("startup_ms=%lld games=%lld\n", static_cast<long long>(clock.elapsed()),
                        static_cast<long long>(frame.GameWindows().size()));
            std::fflush(stdout);
            frame.close();
        });
        return app.exec();
    }

    // 5. First run: the settings dialog.
    if (session.FirstRun() && quorel::ui::DialogHooks().configure)
        QTimer::singleShot(0, &frame, [&frame] { frame.FileConfigClick(); });
    return app.exec();
}
