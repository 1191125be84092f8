// Timings and pictures of the mailbox viewer (run by hand, see
// bench/mailbox.sh): builds a mailbox of N messages spread over several
// folders (most of them in New Mail), then measures opening the viewer on
// it, switching folders, sorting, and rebuilding the index from the files.
//   ui_mailbox_bench DIR N [--shot FILE.png]
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPixmap>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "mail/store.h"
#include "platform/datetime.h"
#include "shell/settings.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/mailbox/reviewmail.h"

using namespace quorel;
using namespace quorel::mail;
namespace fs = std::filesystem;

namespace {

const char* kPeople[] = {"Cid Campos",   "Dora Diaz",     "Eva Ehrlich", "Jan Novak",
                         "Mikko Lahti",  "Sofia Rossi",   "Tom Berg",    "Lucie Martin",
                         "Pau Puig",     "Rui Costa",     "ICCF Server", "Club Secretary"};
const char* kEvents[] = {"WS/M/812", "Club ch. 2026", "Olympiad 21 prel.", "Friendly",
                         "Thematic: Benko", "Veterans cup"};
const char* kMoves[] = {"12. Nf3",   "12... Nc6", "18. Rxe5", "24... Qd7", "7. O-O",
                        "31. Kg2",   "9... h6",   "40. Rd8+", "15. Bb5",  "22... Rfe8"};

std::string Mail(const std::string& from, const std::string& subject, int i) {
    std::string addr = from;
    for (char& c : addr)
        c = c == ' ' ? '.' : char(std::tolower(static_cast<unsigned char>(c)));
    return "From: " + from + " <" + addr + "@example.org>\r\nTo: Ana Ruiz <ana@example.org>\r\n"
           "Subject: " + subject + "\r\nMIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=us-ascii\r\n\r\n"
           "Dear Ana,\r\n\r\nmy reply in game " + std::to_string(i) + ": " +
           kMoves[i % 10] + "\r\n\r\nBest regards,\r\n" + from + "\r\n";
}

// Writes the mailbox: n messages, 4 in 5 of them in New Mail, the others
// spread over Queued, Sent, Trash and three player's folders.
void Build(const fs::path& box, int n) {
    fs::remove_all(box);
    fs::create_directories(box);
    std::string folders;
    const char* names[] = {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??",
                           "Club 2026", "ICCF", "Friends"};
    for (int i = 0; i < 8; ++i) {
        TFolderRecord f;
        f.Name = names[i];
        f.Number = i < 5 ? i + 1 : 11 + (i - 5);
        std::string b(kFolderRecordSize + 1, '\0');
        f.ToBytes(reinterpret_cast<uint8_t*>(b.data()));
        folders += b;
    }
    std::ofstream(box / "folder.lst", std::ios::binary) << folders;
    const int32_t others[] = {2, 3, 3, 4, 11, 11, 12, 13};
    std::string index;
    const double start = EncodeDate(2026, 1, 2);
    for (int i = 0; i < n; ++i) {
        TMailIndexRecord r;
        const bool mine = i % 7 == 3;
        const std::string who = kPeople[i % 12];
        r.Folder = i % 5 != 4 ? 1 : others[(i / 5) % 8];
        if (r.Folder == 2 || r.Folder == 3) {
            r.From = "Ana Ruiz";
            r.To = who;
        } else {
            r.From = mine ? "Ana Ruiz" : who;
            r.To = mine ? who : "Ana Ruiz";
        }
        r.Subject = std::string(kEvents[i % 6]) + " game " + std::to_string(i % 97 + 1) + ": " +
                    kMoves[i % 10];
        r.AttachmentCount = i % 3 == 0 ? 1 : 0;
        r.Date = start + i * 0.37;
        char name[16];
        std::snprintf(name, sizeof name, "%08d.032", 10000000 + i);
        r.FileName = name;
        std::string b(kIndexRecordSize + 1, '\0');
        r.ToBytes(reinterpret_cast<uint8_t*>(b.data()));
        index += b;
        std::ofstream(box / name, std::ios::binary) << Mail(r.From, r.Subject, i);
    }
    std::ofstream(box / "mail.lst", std::ios::binary) << index;
}

double Ms(QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: ui_mailbox_bench DIR N [--shot FILE.png]\n");
        return 2;
    }
    const fs::path box = fs::path(argv[1]) / "mailbox";
    const int n = std::atoi(argv[2]);
    const char* shot = argc >= 5 && std::strcmp(argv[3], "--shot") == 0 ? argv[4] : nullptr;
    ui::SetUiLanguage(0);
    ui::AppContext().userName = QStringLiteral("Ana Ruiz");
    ui::AppContext().programFolder = QString::fromStdString(argv[1]);
    // A mailbox of that size left by an earlier run is used again.
    const fs::path mark = fs::path(argv[1]) / ("built-" + std::to_string(n));
    if (!fs::exists(mark) || !fs::exists(box / "mail.lst")) {
        Build(box, n);
        std::ofstream{mark};
    }

    TMailStore store;
    TSettings settings;
    settings.ViewerWordWrap = true;
    settings.MailViewerVerticalBarX = 170;
    settings.MailViewerHorizontalBarY = 260;
    // The warning about a message base above 2000 messages is answered at
    // once (it is part of opening such a mailbox).
    QTimer answer;
    answer.setInterval(1);
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    answer.start();
    QElapsedTimer t;
    t.start();
    if (!store.Open(box, {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"})) return 1;
    auto* viewer = new ui::TReviewMailDialog(store, &settings);
    viewer->show();
    viewer->Start();
    QApplication::processEvents();
    const double firstOpen = Ms(t);
    // Opening again (the toolkit's fonts and styles are loaded by now, as
    // they are in the running program).
    delete viewer;
    t.restart();
    viewer = new ui::TReviewMailDialog(store, &settings);
    viewer->show();
    viewer->Start();
    QApplication::processEvents();
    const double open = Ms(t);
    const int newRows = viewer->Model()->rowCount();

    t.restart();
    viewer->OutlineMouseUp(5);
    viewer->OutlineMouseUp(0);
    QApplication::processEvents();
    const double change = Ms(t) / 2;

    t.restart();
    viewer->headerSectionClick(2);
    QApplication::processEvents();
    const double sort = Ms(t);

    if (shot) {
        viewer->headerSectionClick(2);
        viewer->resize(1000, 640);
        viewer->move(20, 20);
        viewer->SelectRows({2});
        Settle();
        viewer->grab().save(QString::fromLocal8Bit(shot));
        const QString panes = QString::fromLocal8Bit(shot).replace(QStringLiteral(".png"),
                                                                   QStringLiteral("-club.png"));
        viewer->OutlineMouseUp(5);
        viewer->SelectRows({1, 2, 3});
        Settle();
        viewer->grab().save(panes);
        // The reply to a message of New Mail in the message editor.
        viewer->OutlineMouseUp(0);
        viewer->SelectRows({2});
        viewer->OpenButtonClick();
        if (QWidget* editor = viewer->LastEditor()) {
            editor->resize(760, 560);
            Settle();
            editor->grab().save(QString::fromLocal8Bit(shot).replace(QStringLiteral(".png"),
                                                                      QStringLiteral("-reply.png")));
            delete editor;
        }
        delete viewer;
        return 0;
    }
    delete viewer;

    // Rebuild from the files alone (every message read), then with every
    // record present (the files only matched by name).
    store.Close();
    fs::remove(mark); // the rebuild files every message in "??"
    fs::remove(box / "mail.lst");
    if (!store.Open(box, {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"})) return 1;
    t.restart();
    store.RebuildIndex();
    const double rebuildAll = Ms(t);
    t.restart();
    store.RebuildIndex();
    const double rebuildKnown = Ms(t);

    std::printf("messages %d (New Mail %d)\n", n, newRows);
    std::printf("open first window of the run %8.1f ms\n", firstOpen);
    std::printf("open viewer on New Mail      %8.1f ms\n", open);
    std::printf("switch folder                %8.1f ms\n", change);
    std::printf("sort by date                 %8.1f ms\n", sort);
    std::printf("rebuild, index missing       %8.1f ms\n", rebuildAll);
    std::printf("rebuild, index complete      %8.1f ms\n", rebuildKnown);
    return 0;
}
