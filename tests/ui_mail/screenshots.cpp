// Screenshots of the message editor under an X server (Xvfb): a PGN message
// and an ICCF move-table message, each opened by the game window's Create
// message inside the frame. Usage: ui_mail_screenshots OUTDIR (DISPLAY set).
// Not a test.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <string>

#include "chess/gamerecord.h"
#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/editor/editor.h"
#include "ui/frame/mainform.h"
#include "ui/game/gamewindow.h"

#if __has_include("ui/dialogs/register.h")
#include "ui/dialogs/register.h"
#define QUOREL_HAVE_DIALOGS 1
#endif

using namespace quorel;
using namespace quorel::ui;

namespace {

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(15);
    }
}

void Shot(const QString& file) {
    Settle();
    const int rc = QProcess::execute(QStringLiteral("import"),
                                     {QStringLiteral("-window"), QStringLiteral("root"), file});
    std::printf("%s %s\n", qPrintable(file), rc == 0 ? "ok" : "FAILED");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

// The sample game as Ana's game against Jörg in the given notation.
void WriteGame(const std::filesystem::path& games, const std::string& name, int notation) {
    std::string bytes;
    QFile f(QStringLiteral(QUOREL_SOURCE_DIR "/docs/samples/sample.qrl"));
    if (!f.open(QIODevice::ReadOnly)) return;
    const QByteArray b = f.readAll();
    chess::TGameRecord rec;
    if (!chess::LoadFromBytes(std::string(b.constData(), size_t(b.size())), name, rec).Ok) return;
    rec.White = "Ana Souto";
    rec.WhiteAddress = "ana.souto@example.org";
    rec.Black = "Jörg Weber";
    rec.BlackAddress = "joerg.weber@example.net";
    rec.WhiteCountry = "ESP";
    rec.BlackCountry = "GER";
    rec.NotationFormat = uint8_t(notation);
    rec.SendGameFile = 1;
    rec.SendDates = 1;
    rec.SendDiagram = 1;
    rec.IfMove = "If 11.d4 then 11...Bg4";
    chess::SaveToFile(games, name, rec, "");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    QTemporaryDir home;
    Write(home.filePath(QStringLiteral("quorel.ini")),
          "[Setup]\r\nUser Name=Ana Souto\r\nEmail Address=ana.souto@example.org\r\n"
          "User_Country=ESP\r\nBegin_Maximized=NO\r\nPegasus_Path=/opt/pmail/winpm\r\n");
    TProgramFolderEnv env;
    env.QuorelHome = home.path().toStdString();
    TShellSession session(env);
    if (!session.CheckSingleInstance() || !session.CreateFrame()) return 1;
    session.CreateAddressBook();
#ifdef QUOREL_HAVE_DIALOGS
    RegisterDialogs();
#endif
    WriteGame(session.Folders().Games, "PGN.QRL", 0);
    WriteGame(session.Folders().Games, "ICCF.QRL", 3);

    TMainForm frame(session);
    frame.setGeometry(0, 0, 1400, 960);
    frame.show();
    const struct {
        const char* game;
        const char* shot;
    } shots[] = {{"PGN.QRL", "ui-editor-pgn.png"}, {"ICCF.QRL", "ui-editor-iccf.png"}};
    for (const auto& s : shots) {
        TForm2* game = frame.OpenGameWindow(QLatin1String(s.game));
        game->parentWidget()->setGeometry(0, 0, 880, 640);
        game->CreateMessageButtonClick();
        QMdiSubWindow* sub = frame.MdiArea()->activeSubWindow();
        sub->setGeometry(300, 40, 900, 800);
        Shot(QDir(out).filePath(QLatin1String(s.shot)));
        sub->widget()->findChild<QWidget*>(QStringLiteral("Memo1"))->setFocus();
        frame.WindowCloseAllClick();
        Settle();
    }
    return 0;
}
