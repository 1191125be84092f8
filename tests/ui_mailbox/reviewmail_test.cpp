// The mailbox viewer over hand-built mailboxes: index and folder records
// written byte by byte, mail files written as text.
#include <QAction>
#include <QCoreApplication>
#include <QHeaderView>
#include <QEventLoop>
#include <QInputDialog>
#include <QPointer>
#include <QTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QSplitter>
#include <QPlainTextEdit>
#include <QTableView>
#include <QToolBar>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "dlgtest_util.h"
#include "platform/datetime.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/frame/mainform.h"
#include "compose/gameblock.h"
#include "ui/editor/editor.h"
#include "ui/mailbox/reviewmail.h"

using namespace quorel;
using namespace quorel::ui;
using namespace quorel::mail;
namespace fs = std::filesystem;

namespace {

void PutStr(std::string& b, size_t at, const std::string& s) {
    b[at] = char(s.size());
    std::memcpy(&b[at + 1], s.data(), s.size());
}

// One mail.lst record as it lies on disk: 158 bytes.
std::string IndexBytes(const std::string& from, const std::string& to, const std::string& subject,
                       const std::string& file, uint8_t atts, double date, int32_t folder) {
    std::string b(158, '\0');
    PutStr(b, 0, from);
    PutStr(b, 26, to);
    PutStr(b, 52, subject);
    PutStr(b, 113, file);
    b[126] = char(atts);
    std::memcpy(&b[129], &date, 8);
    std::memcpy(&b[138], &folder, 4); // the test host is little-endian
    return b;
}

// One folder.lst record: 156 bytes.
std::string FolderBytes(const std::string& name, int32_t number) {
    std::string b(156, '\0');
    PutStr(b, 0, name);
    std::memcpy(&b[101], &number, 4);
    return b;
}

std::string MailText(const std::string& from, const std::string& to, const std::string& subject,
                     const std::string& body) {
    return "From: " + from + "\r\nTo: " + to + "\r\nSubject: " + subject +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n" + body;
}

void Write(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

const double kDay = EncodeDate(2026, 3, 5);

// A mailbox: New Mail with three messages (one with an attachment), one
// queued message, one in the player's folder "Club" (11).
class Viewer : public ::testing::Test {
  protected:
    void SetUp() override {
        SetUiLanguage(0);
        AppContext() = TAppContext{};
        AppContext().userName = QStringLiteral("Ana Ruiz");
        box = fs::path(dir.path().toStdString()) / "mailbox";
        fs::create_directories(box);
        Write(box / "folder.lst", FolderBytes("New Mail", 1) + FolderBytes("Queued Mail", 2) +
                                      FolderBytes("Sent Mail", 3) + FolderBytes("Trash", 4) +
                                      FolderBytes("??", 5) + FolderBytes("Club", 11));
        struct M {
            const char *file, *from, *to, *subject, *body;
            uint8_t atts;
            double time;
            int32_t folder;
        };
        const M mails[] = {
            {"10000001.032", "Cid Campos", "Ana Ruiz", "Game 7: 12. Nf3", "12. Nf3\r\nYour move.\r\n",
             0, EncodeTime(9, 0, 0), 1},
            {"10000002.032", "bo berg", "Ana Ruiz", "alpha", "Hello\r\n", 1, EncodeTime(7, 0, 0), 1},
            {"10000003.032", "Dora Diaz", "Ana Ruiz", "Zugzwang", "z\r\n", 0, EncodeTime(8, 0, 0), 1},
            {"10000004.032", "Ana Ruiz", "Cid Campos", "Game 7: 12... Nc6", "12... Nc6\r\n", 0,
             EncodeTime(10, 0, 0), 2},
            {"10000005.032", "Eva Ehm", "Ana Ruiz", "club news", "news\r\n", 0, EncodeTime(6, 0, 0),
             11},
        };
        std::string index;
        for (const M& m : mails) {
            index += IndexBytes(m.from, m.to, m.subject, m.file, m.atts, kDay + m.time, m.folder);
            Write(box / m.file,
                  MailText(std::string(m.from) + " <" + Lower(m.from) + "@example.org>",
                           std::string(m.to) + " <" + Lower(m.to) + "@example.org>", m.subject,
                           m.body));
        }
        Write(box / "mail.lst", index);
    }
    void TearDown() override {
        viewer.reset();
        store.Close();
    }
    static std::string Lower(std::string s) {
        for (char& c : s)
            c = c == ' ' ? '.' : char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }
    // Opens the store and the viewer, and runs the opening checks.
    void Open() {
        ASSERT_TRUE(store.Open(box, {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"}));
        viewer = std::make_unique<TReviewMailDialog>(store, &settings);
        viewer->show();
        viewer->Start();
    }
    QStringList Pane() const {
        QStringList out;
        for (int i = 0; i < viewer->FolderPane()->count(); ++i)
            out << viewer->FolderPane()->item(i)->text();
        return out;
    }
    QStringList Column(int c) const {
        QStringList out;
        for (int r = 0; r < viewer->Model()->rowCount(); ++r)
            out << viewer->Model()->index(r, c).data().toString();
        return out;
    }
    long IndexSize() const { return long(fs::file_size(box / "mail.lst")); }

    QTemporaryDir dir;
    fs::path box;
    TMailStore store;
    TSettings settings;
    std::unique_ptr<TReviewMailDialog> viewer;
};

} // namespace

TEST_F(Viewer, ShowsCountsListAndBody) {
    settings.MailViewerVerticalBarX = 170;
    settings.MailViewerHorizontalBarY = 150;
    dlgtest::Modals modals; // none expected
    Open();
    EXPECT_EQ(Pane(), (QStringList{"New Mail [3]", "Queued Mail [1]", "Sent Mail [0]", "Trash [0]",
                                   "?? [0]", "Club [1]"}));
    // Sorted by the whole line at first: the sender decides, letter case aside.
    EXPECT_EQ(Column(0), (QStringList{"bo berg", "Cid Campos", "Dora Diaz"}));
    EXPECT_EQ(Column(1), (QStringList{"alpha [attch]", "Game 7: 12. Nf3", "Zugzwang"}));
    EXPECT_EQ(Column(2)[1], QStringLiteral("03.05.26 09:00"));
    EXPECT_EQ(viewer->Model()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Date"));
    EXPECT_EQ(viewer->Body()->toPlainText(), QStringLiteral("Hello"));
    viewer->ListBoxClick(1);
    EXPECT_EQ(viewer->Body()->toPlainText(), QStringLiteral("12. Nf3\nYour move."));
    QString headers;
    modals.Then([&headers](QWidget* w) {
        auto* h = qobject_cast<THeadersDialog*>(w);
        ASSERT_NE(h, nullptr);
        headers = h->Text()->toPlainText();
        h->accept();
    });
    viewer->HeadersBtnClick();
    EXPECT_TRUE(headers.startsWith(
        QStringLiteral("From: Cid Campos <cid.campos@example.org>\nTo: Ana Ruiz")))
        << headers.toStdString();
    // The player's own queued message shows its recipient.
    viewer->OutlineMouseUp(1);
    EXPECT_EQ(Column(0), QStringList{"To: Cid Campos"});
    EXPECT_EQ(viewer->VerticalBar()->sizes().front(), 170);
    EXPECT_EQ(viewer->HorizontalBar()->sizes().front(), 150);

    // Mail filed elsewhere shows when the viewer is activated again.
    TmsMessage m;
    m.Sender = {"Fay", "fay@example.org"};
    m.Recipients.Add("Ana Ruiz", "ana.ruiz@example.org");
    m.Subject = "new game";
    m.Body = {"hi"};
    store.FileReceivedMessage(m);
    ASSERT_TRUE(MailboxChanged);
    viewer->MailboxChangedRefresh();
    EXPECT_FALSE(MailboxChanged);
    EXPECT_EQ(Pane()[0], QStringLiteral("New Mail [4]"));
    const QList<int> sizes = viewer->VerticalBar()->sizes();
    viewer->VerticalBar()->setSizes({210, sizes[0] + sizes[1] - 210});
    viewer->close();
    EXPECT_EQ(settings.MailViewerVerticalBarX, 210);
    EXPECT_EQ(modals.Texts(), QStringList());
}

TEST_F(Viewer, SortsByEachColumnBothWays) {
    Open();
    struct Step {
        int head;
        QStringList senders;
    };
    // Every click reverses the direction, whichever head it is.
    const Step steps[] = {
        {0, {"Dora Diaz", "Cid Campos", "bo berg"}},
        {0, {"bo berg", "Cid Campos", "Dora Diaz"}},
        {1, {"Dora Diaz", "Cid Campos", "bo berg"}},  // Zugzwang, Game, alpha
        {1, {"bo berg", "Cid Campos", "Dora Diaz"}},  // alpha, Game, Zugzwang
        {2, {"Cid Campos", "Dora Diaz", "bo berg"}},  // 09:00, 08:00, 07:00
        {2, {"bo berg", "Dora Diaz", "Cid Campos"}},
    };
    viewer->ListBoxClick(2); // Dora's message stays the one shown
    for (const Step& s : steps) {
        viewer->headerSectionClick(s.head);
        EXPECT_EQ(Column(0), s.senders) << s.head;
        const int shown = viewer->ShownRow();
        EXPECT_EQ(Column(0)[shown], QStringLiteral("Dora Diaz"));
        EXPECT_EQ(viewer->Body()->toPlainText(), QStringLiteral("z"));
    }
    EXPECT_EQ(viewer->List()->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
}

TEST_F(Viewer, DeletesToTrashThenForGood) {
    Open();
    const long size = IndexSize();
    dlgtest::Modals modals;
    viewer->SelectRows({0, 2});
    modals.Press(QMessageBox::No);
    viewer->DeleteButtonClick();
    EXPECT_EQ(Pane()[0], QStringLiteral("New Mail [3]"));

    viewer->SelectRows({0, 2});
    modals.Press(QMessageBox::Yes);
    viewer->DeleteButtonClick();
    EXPECT_EQ(modals.Texts().last(), QStringLiteral("Do you want to erase selected messages?"));
    EXPECT_EQ(Pane()[0], QStringLiteral("New Mail [1]"));
    EXPECT_EQ(Pane()[3], QStringLiteral("Trash [2]"));
    EXPECT_EQ(Column(0), QStringList{"Cid Campos"});
    EXPECT_TRUE(fs::exists(box / "10000002.032"));
    EXPECT_EQ(IndexSize(), size);

    viewer->OutlineMouseUp(3);
    ASSERT_EQ(Column(0), (QStringList{"bo berg", "Dora Diaz"}));
    viewer->SelectRows({0});
    modals.Press(QMessageBox::Yes);
    viewer->DeleteButtonClick();
    EXPECT_FALSE(fs::exists(box / "10000002.032"));
    EXPECT_TRUE(fs::exists(box / "10000003.032"));
    EXPECT_EQ(IndexSize(), size - 158);
    EXPECT_EQ(Pane()[3], QStringLiteral("Trash [1]"));

    // Delete all: elsewhere to Trash, in Trash for good.
    viewer->OutlineMouseUp(5);
    modals.Press(QMessageBox::Ok);
    viewer->Deleteallmessages1Click();
    EXPECT_EQ(Pane()[5], QStringLiteral("Club [0]"));
    EXPECT_EQ(Pane()[3], QStringLiteral("Trash [2]"));
    viewer->OutlineMouseUp(3);
    modals.Press(QMessageBox::Ok);
    viewer->Deleteallmessages1Click();
    EXPECT_EQ(Pane()[3], QStringLiteral("Trash [0]"));
    EXPECT_FALSE(fs::exists(box / "10000005.032"));
    EXPECT_EQ(IndexSize(), 2 * 158);
    EXPECT_EQ(viewer->Body()->toPlainText(), QString());
    EXPECT_EQ(modals.Pending(), 0);
}

TEST_F(Viewer, DragAndDropFollowsTheFolderRules) {
    Open();
    // From New Mail: Trash, "??" and Club take messages; New, Queued, Sent do not.
    const bool fromNew[] = {false, false, false, true, true, true};
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(viewer->OutlineDragOver(row), fromNew[row]) << row;
    viewer->SelectRows({1, 2});
    viewer->OutlineDragDrop(1); // refused: nothing moves
    EXPECT_EQ(Pane()[0], QStringLiteral("New Mail [3]"));
    viewer->SelectRows({1, 2});
    viewer->OutlineDragDrop(5);
    EXPECT_EQ(Pane()[0], QStringLiteral("New Mail [1]"));
    EXPECT_EQ(Pane()[5], QStringLiteral("Club [3]"));
    EXPECT_EQ(Column(0), QStringList{"bo berg"});
    // Never onto the folder the messages are in, never out of Queued Mail.
    viewer->OutlineMouseUp(5);
    EXPECT_FALSE(viewer->OutlineDragOver(5));
    viewer->OutlineMouseUp(1);
    for (int row = 0; row < 6; ++row)
        EXPECT_FALSE(viewer->OutlineDragOver(row)) << row;
    viewer->SelectRows({0});
    viewer->OutlineDragDrop(3);
    EXPECT_EQ(Pane()[1], QStringLiteral("Queued Mail [1]"));
    // The model hands the rows to a drag.
    viewer->OutlineMouseUp(0);
    QMimeData* data = viewer->Model()->mimeData({viewer->Model()->index(0, 0)});
    EXPECT_TRUE(data->hasFormat(viewer->Model()->mimeTypes().front()));
    delete data;
}

TEST_F(Viewer, FolderCommandsAndTheirRefusals) {
    Open();
    dlgtest::Modals modals;
    auto answer = [&](const QString& text) {
        modals.Then([text](QWidget* w) {
            auto* input = qobject_cast<QInputDialog*>(w);
            ASSERT_NE(input, nullptr);
            EXPECT_EQ(input->windowTitle(), QStringLiteral("Creating a new folder"));
            input->setTextValue(text);
            input->accept();
        });
    };
    answer(QStringLiteral("Openings"));
    viewer->AddFolder();
    ASSERT_EQ(Pane().size(), 7);
    EXPECT_EQ(Pane()[6], QStringLiteral("Openings [0]"));

    // New, Queued and Sent keep their names; Trash may be renamed but shows its text.
    viewer->OutlineMouseUp(2);
    modals.Press(QMessageBox::Ok);
    viewer->Renamefolder1Click();
    EXPECT_EQ(modals.Texts().last(), QStringLiteral("Cannot rename this folder"));
    viewer->OutlineMouseUp(5);
    modals.Then([](QWidget* w) {
        auto* input = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(input, nullptr);
        EXPECT_EQ(input->labelText(), QStringLiteral("Enter new folder name"));
        input->setTextValue(QStringLiteral("Club games"));
        input->accept();
    });
    viewer->Renamefolder1Click();
    EXPECT_EQ(Pane()[5], QStringLiteral("Club games [1]"));

    // The first four folders stay; a player's folder goes with its messages.
    viewer->OutlineMouseUp(3);
    modals.Press(QMessageBox::Ok);
    viewer->DeleteFolder();
    EXPECT_EQ(modals.Texts().last(), QStringLiteral("Cannot delete this folder"));
    viewer->OutlineMouseUp(5);
    modals.Press(QMessageBox::Cancel);
    viewer->DeleteFolder();
    EXPECT_EQ(Pane().size(), 7);
    modals.Press(QMessageBox::Ok);
    viewer->DeleteFolder();
    EXPECT_EQ(modals.Texts().last(), QStringLiteral("Delete this folder?"));
    EXPECT_EQ(Pane(), (QStringList{"New Mail [3]", "Queued Mail [1]", "Sent Mail [0]", "Trash [0]",
                                   "?? [0]", "Openings [0]"}));
    EXPECT_FALSE(fs::exists(box / "10000005.032"));
    EXPECT_EQ(viewer->CurrentFolder(), kFolderNew);
    // The freed number is given out again.
    answer(QStringLiteral("Endgames"));
    viewer->AddFolder();
    EXPECT_EQ(store.FolderEntries().back().Number, 11);
    EXPECT_EQ(modals.Pending(), 0);
}

TEST_F(Viewer, ReplyAndChangeFillTheEditor) {
    Open();
    struct Case {
        int folderRow, listRow;
        bool forward;
        std::string recipient, address, subject, editedFile, caption;
        std::vector<std::string> body;
    };
    const std::string box_ = box.string();
    const Case cases[] = {
        // A reply to Cid's move: to the sender, every line quoted.
        {0, 1, false, "Cid Campos", "cid.campos@example.org", "Game 7: 12. Nf3", "",
         "Message to : Cid Campos <cid.campos@example.org>", {">12. Nf3", ">Your move."}},
        // A change of the queued answer: the same recipient and file.
        {1, 0, false, "Cid Campos", "cid.campos@example.org", "Game 7: 12... Nc6",
         box_ + "/10000004.032", "Message to : Cid Campos <cid.campos@example.org>",
         {"12... Nc6"}},
        // A forward: no recipient, the original's heading above its text.
        {0, 1, true, "", "", "Fwd. Game 7: 12. Nf3", "", "Message to : ",
         {"Forwarded message follows, originally:", "",
          "\tFrom\t: Cid Campos <cid.campos@example.org>",
          "\tTo\t: Ana Ruiz <ana.ruiz@example.org>", "\tSubject\t: Game 7: 12. Nf3", "", "---",
          "", "", "12. Nf3", "Your move."}},
    };
    for (const Case& c : cases) {
        viewer->OutlineMouseUp(c.folderRow);
        viewer->SelectRows({c.listRow});
        if (c.forward)
            viewer->Forward1Click();
        else
            viewer->OpenButtonClick();
        TEditorDialog* editor = viewer->LastEditor();
        ASSERT_NE(editor, nullptr);
        const compose::TMessageDraft d = editor->Draft();
        EXPECT_EQ(d.Recipient, c.recipient);
        EXPECT_EQ(d.Address, c.address);
        EXPECT_EQ(d.Subject, c.subject);
        EXPECT_EQ(d.Body, c.body);
        EXPECT_TRUE(d.CarbonCopy.empty());
        EXPECT_TRUE(d.Attachments.empty());
        EXPECT_EQ(editor->EditedFile().toStdString(), c.editedFile);
        EXPECT_EQ(editor->windowTitle().toStdString(), c.caption);
        EXPECT_FALSE(editor->BodyModified());
        editor->close();
        delete editor;
    }
}

TEST_F(Viewer, RebuildsTheIndexWhenFilesAndRecordsDisagree) {
    // An old-style file of New Mail that the index does not know, and a
    // record whose file was deleted by hand.
    Write(box / "20000001.000", MailText("Gil <gil@example.org>", "Ana Ruiz <a@example.org>",
                                         "from an old mailbox", "old\r\n"));
    Write(box / "20000002.032", MailText("Hal <hal@example.org>", "Ana Ruiz <a@example.org>",
                                         "unfiled", "u\r\n"));
    fs::remove(box / "10000003.032");
    dlgtest::Modals modals;
    modals.Press(QMessageBox::Ok);
    Open();
    EXPECT_EQ(modals.Texts(),
              QStringList{QStringLiteral("Database Index Error. The index will be rebuilt")});
    EXPECT_EQ(Pane(), (QStringList{"New Mail [3]", "Queued Mail [1]", "Sent Mail [0]", "Trash [0]",
                                   "?? [1]", "Club [1]"}));
    EXPECT_EQ(Column(0), (QStringList{"bo berg", "Cid Campos", "Gil"}));
    EXPECT_FALSE(fs::exists(box / "20000001.000"));
    EXPECT_EQ(store.MailFileCount(), store.IndexCount());

    // A record whose file vanished while the viewer is open: the body
    // cannot be loaded, so the index is rebuilt again.
    fs::remove(box / "10000001.032");
    modals.Press(QMessageBox::Ok);
    viewer->ListBoxClick(1);
    EXPECT_EQ(modals.Texts().size(), 2);
    EXPECT_EQ(Pane()[0], QStringLiteral("New Mail [2]"));
    EXPECT_EQ(modals.Pending(), 0);
}

TEST_F(Viewer, WarnsAboveTwoThousandMessages) {
    for (int total : {2000, 2001}) {
        std::string index;
        for (int i = 0; i < total; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "%08d.032", 30000000 + i);
            index += IndexBytes("X", "Ana Ruiz", "s", name, 0, kDay, 1);
            if (!fs::exists(box / name)) Write(box / name, MailText("X <x@y.z>", "a@y.z", "s", ""));
        }
        for (int i = 1; i <= 5; ++i)
            fs::remove(box / ("1000000" + std::to_string(i) + ".032"));
        Write(box / "mail.lst", index);
        dlgtest::Modals modals;
        if (total > 2000) modals.Press(QMessageBox::Ok);
        Open();
        EXPECT_EQ(viewer->Model()->rowCount(), total);
        if (total > 2000)
            EXPECT_EQ(modals.Texts(), QStringList{QStringLiteral(
                                          "Your message base is very large [2001 emails], it is "
                                          "reccomended to purge old messages")});
        else
            EXPECT_EQ(modals.Texts(), QStringList());
        viewer.reset();
        store.Close();
    }
}

TEST(MailViewerFrame, CtrlWOpensOneViewerAndBringsItToTheFront) {
    SetUiLanguage(0);
    dlgtest::TempFolder folder(true);
    TMainForm frame(*folder.Session());
    QAction* show = frame.findChild<QAction*>(QStringLiteral("MailShowViewerItem"));
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));
    EXPECT_TRUE(frame.findChild<QToolBar*>(QStringLiteral("ToolBar"))->actions().contains(show));
    EXPECT_EQ(show->iconText(), QStringLiteral("Mailbox"));
    frame.show();
    show->trigger();
    TReviewMailDialog* first = TReviewMailDialog::Instance();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->FolderPane()->count(), 5);
    show->trigger();
    EXPECT_EQ(TReviewMailDialog::Instance(), first);
    EXPECT_EQ(frame.findChildren<TReviewMailDialog*>().size(), 1);
    ASSERT_NE(first->SubWindow(), nullptr); // a child window of the frame
    EXPECT_EQ(frame.MdiArea()->activeSubWindow(), first->SubWindow());
    // Mail filed while another child window is active shows when the viewer
    // is activated again.
    frame.OpenGameWindow(QStringLiteral("NONAME.QRL"));
    TmsMessage m;
    m.Sender = {"Fay", "fay@example.org"};
    m.Subject = "news";
    folder.Session()->MailStore().FileReceivedMessage(m);
    show->trigger();
    EXPECT_EQ(frame.MdiArea()->activeSubWindow(), first->SubWindow());
    EXPECT_EQ(first->FolderPane()->item(0)->text(), QStringLiteral("New Mail [1]"));
    QPointer<QMdiSubWindow> sub = first->SubWindow();
    first->ExitBtnClick();
    EXPECT_FALSE(sub->isVisible());
    QEventLoop loop; // deleteLater runs in an event loop
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(sub.isNull());
    EXPECT_EQ(TReviewMailDialog::Instance(), nullptr);
}

TEST_F(Viewer, EveryLanguageHasItsTexts) {
    ASSERT_TRUE(store.Open(box, {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"}));
    QStringList seen;
    for (int language = 0; language < 7; ++language) {
        SetUiLanguage(language);
        TReviewMailDialog v(store, &settings);
        v.show();
        v.Start();
        EXPECT_EQ(dlgtest::EmptyVisibleTexts(&v), QStringList{}) << language;
        QStringList texts{v.windowTitle(), v.FolderPane()->item(3)->text()};
        for (QAction* a : v.actions())
            texts << a->text();
        for (int c = 0; c < 3; ++c)
            texts << v.Model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        EXPECT_FALSE(texts.contains(QString())) << language;
        THeadersDialog headers({}, &v);
        texts << headers.windowTitle();
        seen << texts.join(QLatin1Char('|'));
    }
    seen.removeDuplicates();
    EXPECT_EQ(seen.size(), 7);
    SetUiLanguage(0);
}
