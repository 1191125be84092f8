// The dialogs as the frame calls them through the registered hooks: Open
// brings a game that is already open to the front and opens the others,
// the frame's PGN import opens the chosen game in a new window, and the
// game list refuses to delete a game that a window holds.
#include <QApplication>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "dlgtest_util.h"
#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/dialogs/register.h"
#include "ui/dialogs/selectdialog.h"
#include "ui/dialogs/selectpgn.h"
#include "ui/frame/mainform.h"
#include "ui/game/gamewindow.h"

using namespace quorel;
using namespace quorel::ui;

namespace {

chess::TGameRecord Named(const char* white, const char* black) {
    chess::TGameRecord rec = chess::TGameRecord::NewGame();
    rec.White = white;
    rec.Black = black;
    rec.Result = "*";
    return rec;
}

void SelectAll(QWidget* w) {
    auto* list = qobject_cast<TSelectDialog*>(w);
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < list->List()->topLevelItemCount(); ++i)
        list->List()->topLevelItem(i)->setSelected(true);
    list->OkButtonClick();
}

class FrameDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        SetUiLanguage(0);
        folder.WriteGame(QStringLiteral("A.QRL"), Named("Ana", "Bo"));
        folder.WriteGame(QStringLiteral("B.QRL"), Named("Cid", "Dora"));
        RegisterDialogs();
        frame = std::make_unique<TMainForm>(*folder.Session());
    }
    void TearDown() override {
        frame.reset();
        DialogHooks() = TDialogHooks{};
    }
    dlgtest::TempFolder folder{true};
    std::unique_ptr<TMainForm> frame;
};

} // namespace

TEST_F(FrameDialogs, OpenBringsOpenGamesToTheFrontAndOpensTheOthers) {
    TForm2* a = frame->OpenGameWindow(QStringLiteral("A.QRL"));
    ASSERT_NE(a, nullptr);
    frame->OpenGameWindow(QLatin1String(TForm2::kNoName));
    dlgtest::Modals modals;
    modals.Then(SelectAll);
    frame->FileOpenClick();
    EXPECT_EQ(modals.Pending(), 0);
    const QList<TForm2*> windows = frame->GameWindows();
    ASSERT_EQ(windows.size(), 3); // A once, the new game, B
    int withA = 0;
    for (TForm2* w : windows)
        if (QFileInfo(w->FileName()).fileName() == QLatin1String("A.QRL")) ++withA;
    EXPECT_EQ(withA, 1);
    EXPECT_EQ(QFileInfo(frame->GameWindows().last()->FileName()).fileName(),
              QStringLiteral("B.QRL"));
    // The game list's filter is kept for the run.
    EXPECT_FALSE(folder.Session()->Settings().ListOnlyGamesInPlay);
}

TEST_F(FrameDialogs, DeleteRefusesTheGameOfAnOpenWindow) {
    frame->OpenGameWindow(QStringLiteral("A.QRL"));
    dlgtest::Modals modals;
    modals.Then([](QWidget* w) {
        auto* list = qobject_cast<TSelectDialog*>(w);
        ASSERT_NE(list, nullptr);
        for (int i = 0; i < list->List()->topLevelItemCount(); ++i)
            list->List()->topLevelItem(i)->setSelected(true);
        // Confirmation, then the refusal for A; the list stays open.
        QTimer::singleShot(0, list, [list] { list->DeleteButtonClick(); });
    });
    modals.Press(QMessageBox::Ok);
    modals.Press(QMessageBox::Ok);
    modals.Then([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    frame->FileOpenClick();
    EXPECT_EQ(modals.Pending(), 0);
    ASSERT_EQ(modals.Texts().size(), 2);
    EXPECT_EQ(modals.Texts()[1], QStringLiteral("A.QRL : Cannot delete an opened game!"));
    EXPECT_TRUE(QFileInfo::exists(folder.Games() + QStringLiteral("/A.QRL")));
    EXPECT_FALSE(QFileInfo::exists(folder.Games() + QStringLiteral("/B.QRL")));
}

TEST_F(FrameDialogs, PgnImportOpensTheGameInANewWindow) {
    const QString pgn = folder.Path(QStringLiteral("in.pgn"));
    folder.WriteText(pgn, "[Event \"Club\"]\r\n[White \"Eva\"]\r\n[Black \"Gil\"]\r\n"
                          "[Result \"*\"]\r\n\r\n1.d4 Nf6 2.c4 *\r\n\r\n");
    // The picker remembers its file: the import shows it without asking.
    PgnPicker().PGNFileName = pgn;
    dlgtest::Modals modals;
    modals.Then([](QWidget* w) {
        QPointer<TSelectPGN> picker = qobject_cast<TSelectPGN*>(w);
        ASSERT_FALSE(picker.isNull());
        QTimer::singleShot(0, picker, [picker] {
            if (picker->Rows().empty()) picker->RefreshList();
            picker->SelectRow(0);
            picker->OkButtonClick();
        });
    });
    const int before = int(frame->GameWindows().size());
    DialogHooks().importPgnGames(frame.get());
    EXPECT_EQ(modals.Pending(), 0);
    ASSERT_EQ(int(frame->GameWindows().size()), before + 1);
    TForm2* opened = frame->GameWindows().last();
    EXPECT_EQ(opened->Record().Event, "Club");
    EXPECT_EQ(opened->Record().MoveCount, 3);
    EXPECT_EQ(opened->FileName(), QLatin1String(TForm2::kNoName));
    EXPECT_TRUE(opened->Modified());
}

TEST_F(FrameDialogs, CtrlTAndTheConnectButtonOpenTheConnectionDialog) {
    QAction* connect = frame->findChild<QAction*>(QStringLiteral("MailConnectionItem"));
    ASSERT_NE(connect, nullptr);
    EXPECT_EQ(connect->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    auto* bar = frame->findChild<QToolBar*>(QStringLiteral("ToolBar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->actions().contains(connect));
    EXPECT_EQ(connect->iconText(), QStringLiteral("Connect"));
    QString title;
    QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        title = w->windowTitle();
        w->findChild<QPushButton*>(QStringLiteral("ExitBtn"))->click();
    });
    connect->trigger();
    EXPECT_EQ(title, QStringLiteral("Sending and retrieving mail"));
}
