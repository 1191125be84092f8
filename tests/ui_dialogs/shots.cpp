// Screenshots of the dialogs for the documentation (not a test): builds a
// program folder with a few games, a PGN file and address-book entries,
// shows each dialog and saves its picture as dialogs-NAME.png in the folder
// given on the command line. Run under a real X server (Xvfb).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "chess/gamerecord.h"
#include "platform/datetime.h"
#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/dialogs/addressdialog.h"
#include "ui/dialogs/configdialog.h"
#include "ui/dialogs/selectdialog.h"
#include "ui/dialogs/selectpgn.h"

using namespace quorel;
using namespace quorel::ui;

namespace {

void Save(QWidget& w, const QString& folder, const char* name) {
    w.show();
    w.raise();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    const QString file =
        folder + QStringLiteral("/dialogs-") + QLatin1String(name) + QStringLiteral(".png");
    if (!w.grab().save(file)) std::fprintf(stderr, "cannot save %s\n", qPrintable(file));
    w.hide();
}

chess::TGameRecord Game(const char* site, const char* event, const char* round, const char* white,
                        const char* black, const char* result, const char* wa, const char* ba,
                        int moves, int y, int m, int d) {
    chess::TGameRecord rec = chess::TGameRecord::NewGame();
    rec.Site = site;
    rec.Event = event;
    rec.Round = round;
    rec.White = white;
    rec.Black = black;
    rec.Result = result;
    rec.WhiteAddress = wa;
    rec.BlackAddress = ba;
    rec.MoveCount = uint16_t(moves);
    rec.SendDates = 1;
    if (moves > 0) rec.Move(moves).Replied = EncodeDate(y, m, d);
    return rec;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    const int language = argc > 2 ? std::atoi(argv[2]) : 0;
    QTemporaryDir dir;
    TProgramFolderEnv env;
    env.QuorelHome = dir.path().toStdString();
    TShellSession session(env);
    session.CheckSingleInstance();
    session.CreateFrame();
    session.CreateAddressBook();
    TAppContext& ctx = AppContext();
    ctx.session = &session;
    ctx.programFolder = dir.path();
    ctx.gamesFolder = dir.path() + QStringLiteral("/games");
    ctx.emailAddress = QStringLiteral("ana.souto@example.org");
    SetUiLanguage(language);
    const std::string games = ctx.gamesFolder.toStdString();
    const char* me = "ana.souto@example.org";
    const struct {
        chess::TGameRecord rec;
        const char* file;
    } list[] = {
        {Game("ICCF", "WC Semifinal 41", "3", "Ana Souto", "Hans Berger", "*", me, "hb@example.de",
              24, 2024, 3, 12),
         "G1.QRL"},
        {Game("ICCF", "WC Semifinal 41", "7", "Paolo Conti", "Ana Souto", "*", "pc@example.it", me,
              17, 2024, 3, 9),
         "G2.QRL"},
        {Game("IECG", "Open Email 2024", "", "Ana Souto", "Marie Dubois", "*", me, "md@example.fr",
              9, 2024, 3, 14),
         "G3.QRL"},
        {Game("IECG", "Open Email 2024", "", "Jordi Puig", "Ana Souto", "1-0", "jp@example.cat", me,
              61, 2024, 1, 30),
         "G4.QRL"},
        {Game("Club", "Friendly", "1", "Ana Souto", "Rui Costa", "1/2-1/2", me, "rc@example.pt", 40,
              2023, 12, 2),
         "G5.QRL"},
    };
    for (const auto& g : list) {
        chess::TGameRecord rec = g.rec;
        chess::SaveToFile(games, g.file, rec, "");
    }

    TSelectDialog select;
    select.RefreshList();
    select.List()->topLevelItem(1)->setSelected(true);
    Save(select, out, "gamelist");

    std::string pgn;
    const char* players[][2] = {{"Kasparov, G", "Karpov, A"},   {"Tal, M", "Botvinnik, M"},
                                {"Fischer, R", "Spassky, B"},   {"Capablanca, J", "Alekhine, A"},
                                {"Petrosian, T", "Spassky, B"}, {"Carlsen, M", "Caruana, F"}};
    const char* ecos[] = {"B44", "E69", "D59", "D63", "C07", "C42"};
    for (int i = 0; i < 6; ++i)
        pgn += std::string("[Event \"World Championship\"]\r\n[Site \"") +
               (i % 2 ? "Moscow" : "Reykjavik") + "\"]\r\n[Date \"19" + std::to_string(60 + i * 7) +
               ".05.01\"]\r\n[Round \"" + std::to_string(i + 1) + "\"]\r\n[White \"" +
               players[i][0] + "\"]\r\n[Black \"" + players[i][1] +
               "\"]\r\n[Result \"1/2-1/2\"]\r\n[ECO \"" + ecos[i] +
               "\"]\r\n\r\n1.e4 e5 2.Nf3 Nc6 1/2-1/2\r\n\r\n";
    const QString pgnFile = dir.path() + QStringLiteral("/classics.pgn");
    QFile f(pgnFile);
    f.open(QIODevice::WriteOnly);
    f.write(pgn.data(), qint64(pgn.size()));
    f.close();
    TSelectPGN picker;
    picker.PGNFileName = pgnFile;
    picker.NeedRefresh = false;
    picker.RefreshList();
    picker.FilterBox(1)->setText(QStringLiteral("World"));
    picker.SelectRow(2);
    Save(picker, out, "picker");

    TSettings s = session.ReadSettingsForDialog();
    s.UserName = "Ana Souto";
    s.EmailAddress = me;
    s.SmtpServer = "smtp.example.org";
    s.Pop3Server = "pop.example.org";
    s.Pop3UserName = "ana.souto";
    s.UserCountry = "ESP";
    session.SaveDialogSettings(s, "secret");
    TConfigDialog config(session);
    Save(config, out, "settings");
    // A provider chosen from the list (IMAP first).
    auto* protocol = config.findChild<QComboBox*>(QStringLiteral("MailProtocolGroup"));
    auto* provider = config.findChild<QComboBox*>(QStringLiteral("ProviderGroup"));
    protocol->setCurrentIndex(1);
    provider->setCurrentIndex(0);
    emit provider->activated(0);
    Save(config, out, "settings-provider");

    TAddressRecord r;
    const char* people[][3] = {{"Hans Berger", "hb@example.de", "Semifinal 41, plays the French"},
                               {"Paolo Conti", "pc@example.it", "Slow but steady"},
                               {"Marie Dubois", "md@example.fr", "Open Email 2024"}};
    for (const auto& p : people) {
        r.Name = p[0];
        r.Email = p[1];
        r.Notes = p[2];
        session.AddressBook().Add(r);
    }
    TAddressDialog address(session.AddressBook());
    address.SelectRecord(2);
    Save(address, out, "addressbook");

    TEditAddressDialog editor;
    r = session.AddressBook().Get(2);
    r.City = "Milano";
    r.Country = "Italy";
    editor.SetRecord(r);
    Save(editor, out, "bioeditor");
    TCountriesListDialog countries;
    countries.Select(QStringLiteral("ESP"));
    Save(countries, out, "countries");
    return 0;
}
