// The game list: row text, whose turn it is, the date column, the in-play
// filter, the status line, delete with its checks and the PGN export of the
// selected rows, over real game files in a temporary games folder.
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "dlgtest_util.h"
#include "platform/datetime.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/dialogs/gamelist.h"
#include "ui/dialogs/selectdialog.h"

using namespace quorel;
using namespace quorel::ui;

namespace {

const char* kMe = "ana@example.org";

chess::TGameRecord Game(const std::string& site, const std::string& event, const std::string& round,
                        const std::string& white, const std::string& black,
                        const std::string& result, const std::string& whiteAddress,
                        const std::string& blackAddress, int moveCount) {
    chess::TGameRecord rec = chess::TGameRecord::NewGame();
    rec.Site = site;
    rec.Event = event;
    rec.Round = round;
    rec.White = white;
    rec.Black = black;
    rec.Result = result;
    rec.WhiteAddress = whiteAddress;
    rec.BlackAddress = blackAddress;
    rec.MoveCount = uint16_t(moveCount);
    rec.CurrentPly = uint16_t(moveCount);
    // Plausible moves: 1.e4 e5 2.Nf3 (the list reads only the header and the
    // last record's date).
    const int from[3] = {14, 64, 6}, to[3] = {34, 44, 25}, piece[3] = {1, 7, 2};
    for (int k = 1; k <= moveCount && k <= 3; ++k) {
        rec.Move(k).From = uint8_t(from[k - 1]);
        rec.Move(k).To = uint8_t(to[k - 1]);
        rec.Move(k).Piece = uint8_t(piece[k - 1]);
    }
    return rec;
}

} // namespace

TEST(GameListRow, ColumnsArePaddedCutAndTabbed) {
    chess::TGameRecord rec = Game("Madrid", "Open", "12", "Ana Souto", "Bo", "*", kMe, "b@x", 0);
    EXPECT_EQ(GameListRowText(rec, true, "03.05.24"),
              "Madrid    \tOpen (12)                     \tAna Souto           \t"
              "Bo                  \t*         \tYes \t03.05.24\t");
    // An empty round shows as "-"; a long event is cut so that the column
    // stays 30 characters; a long site is cut to 10.
    rec.Round = "";
    rec.Event = "International Correspondence Masters";
    rec.Site = "Vilanova i la Geltru";
    const std::string row = GameListRowText(rec, false, "01.02.03");
    EXPECT_EQ(row.substr(0, 11), "Vilanova i\t");
    EXPECT_EQ(row.substr(11, 31), "International Correspondence M\t");
    rec.Event = "Liga";
    EXPECT_EQ(GameListRowText(rec, false, "x").substr(11, 31), "Liga (-)                      \t");
    // Characters, not bytes: an accented name keeps its column.
    EXPECT_EQ(PadOrCut("Müller", 8), "Müller  ");
    EXPECT_EQ(PadOrCut("Ñandú Pérez", 5), "Ñandú");
}

TEST(GameListRow, MyTurnByAddressAndParity) {
    struct Case {
        std::string result, white, black;
        int moves;
        bool mine;
    } cases[] = {
        {"*", kMe, "b@x", 0, true},  // White to move, no moves yet
        {"*", kMe, "b@x", 1, false}, // after White's first move
        {"*", kMe, "b@x", 2, true},  // Black replied
        {"*", "w@x", kMe, 1, true},  // Black to move
        {"*", "w@x", kMe, 2, false},
        {"1-0", "w@x", kMe, 1, false}, // finished games never
        {"1/2-1/2", kMe, "b@x", 0, false},
        {"*", "ANA@example.org", "b@x", 0, false}, // letter case counts
        {"*", "w@x", "b@x", 0, false},             // not my game
    };
    for (const Case& c : cases) {
        const chess::TGameRecord rec =
            Game("S", "E", "1", "W", "B", c.result, c.white, c.black, c.moves);
        EXPECT_EQ(IsMyTurn(rec, kMe), c.mine)
            << c.result << " " << c.white << " " << c.black << " " << c.moves;
    }
}

TEST(GameListRow, DateFromTheLastReplyOrTheFile) {
    chess::TGameRecord rec = Game("S", "E", "1", "W", "B", "*", kMe, "b", 2);
    const double file = EncodeDate(2023, 11, 30);
    EXPECT_EQ(GameListDate(rec, file), "11.30.23");
    rec.SendDates = 1;
    rec.Move(2).Replied = EncodeDate(2024, 3, 5) + 0.5;
    EXPECT_EQ(GameListDate(rec, file), "03.05.24");
    rec.MoveCount = 0; // no move to take the date from
    EXPECT_EQ(GameListDate(rec, file), "11.30.23");
}

class GameListWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        SetUiLanguage(0);
        folder.WriteGame("A.QRL",
                         Game("Madrid", "Open", "12", "Ana Souto", "Bo", "*", kMe, "b@x", 0));
        folder.WriteGame("B.QRL",
                         Game("Berlin", "Cup", "1", "Ana Souto", "Cid", "*", kMe, "c@x", 1));
        folder.WriteGame("C.qrl",
                         Game("Aachen", "Liga", "", "Dora", "Ana Souto", "*", "d@x", kMe, 1));
        folder.WriteGame("D.QRL",
                         Game("Zug", "Final", "3", "Eva", "Ana Souto", "1-0", "e@x", kMe, 3));
        folder.WriteText(folder.Games() + QStringLiteral("/junk.qrl"), "not a game file");
        folder.WriteText(folder.Games() + QStringLiteral("/notes.txt"), "ignored");
    }
    dlgtest::TempFolder folder;
};

TEST_F(GameListWindow, RowsSortedWithTurnAndStatus) {
    TSelectDialog dialog;
    dialog.RefreshList();
    ASSERT_EQ(dialog.Rows().size(), 4u);
    // Sorted by the row text: Aachen, Berlin, Madrid, Zug.
    EXPECT_EQ(dialog.Rows()[0].FileName, "C.qrl");
    EXPECT_EQ(dialog.Rows()[1].FileName, "B.QRL");
    EXPECT_EQ(dialog.Rows()[2].FileName, "A.QRL");
    EXPECT_EQ(dialog.Rows()[3].FileName, "D.QRL");
    QTreeWidget* list = dialog.List();
    ASSERT_EQ(list->topLevelItemCount(), 4);
    EXPECT_EQ(list->topLevelItem(0)->text(5), QStringLiteral("Yes")); // Black to move, me Black
    EXPECT_EQ(list->topLevelItem(1)->text(5), QStringLiteral("No"));  // I moved as White
    EXPECT_EQ(list->topLevelItem(2)->text(5), QStringLiteral("Yes")); // no move yet, me White
    EXPECT_EQ(list->topLevelItem(3)->text(5), QStringLiteral("No"));  // finished
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("Liga (-)"));
    EXPECT_EQ(list->headerItem()->text(5), QStringLiteral("My turn"));
    EXPECT_EQ(dialog.StatusText(), QStringLiteral("4 of 5 games listed  (1 errors found)"));

    dialog.InPlayButtonClick();
    EXPECT_EQ(dialog.Rows().size(), 3u);
    EXPECT_TRUE(dialog.InPlayOnly());
    EXPECT_EQ(dialog.StatusText(), QStringLiteral("3 of 5 games listed  (1 errors found)"));
    EXPECT_FALSE(dialog.findChild<QWidget*>(QStringLiteral("InPlayButton"))->isEnabled());
    EXPECT_TRUE(dialog.findChild<QWidget*>(QStringLiteral("AllGamesButton"))->isEnabled());
    dialog.AllGamesButtonClick();
    EXPECT_EQ(dialog.Rows().size(), 4u);
}

TEST_F(GameListWindow, EmptyFolderStatus) {
    dlgtest::TempFolder empty;
    TSelectDialog dialog;
    dialog.RefreshList();
    EXPECT_EQ(dialog.StatusText(), QStringLiteral("0 of 0 games listed  (0 errors found)"));
}

TEST_F(GameListWindow, MultiSelectionGivesTheFilesTopToBottom) {
    TSelectDialog dialog;
    dialog.RefreshList();
    dialog.List()->topLevelItem(3)->setSelected(true);
    dialog.List()->topLevelItem(1)->setSelected(true);
    EXPECT_EQ(dialog.SelectedFiles(),
              (QStringList{QStringLiteral("B.QRL"), QStringLiteral("D.QRL")}));
}

TEST_F(GameListWindow, DeleteChecksSelectionConfirmationAndOpenGames) {
    TSelectDialog dialog;
    dialog.isOpen = [](const QString& f) {
        return f.compare(QStringLiteral("b.qrl"), Qt::CaseInsensitive) == 0;
    };
    dialog.RefreshList();
    folder.WriteText(folder.Games() + QStringLiteral("/A.TXT"), "notes of A");
    {
        dlgtest::Modals modals;
        modals.Press(QMessageBox::Ok);
        dialog.DeleteButtonClick(); // nothing selected
        EXPECT_EQ(modals.Texts(),
                  QStringList{QStringLiteral("There are not files selected to delete")});
    }
    dialog.List()->topLevelItem(1)->setSelected(true); // B (open)
    dialog.List()->topLevelItem(2)->setSelected(true); // A
    {
        dlgtest::Modals modals;
        modals.Press(QMessageBox::Cancel);
        dialog.DeleteButtonClick();
        EXPECT_EQ(modals.Texts().value(0),
                  QStringLiteral("2 games selected to delete, are you sure?"));
        EXPECT_TRUE(QFileInfo::exists(folder.Games() + QStringLiteral("/A.QRL")));
    }
    {
        dlgtest::Modals modals;
        modals.Press(QMessageBox::Ok);
        modals.Press(QMessageBox::Ok);
        dialog.DeleteButtonClick();
        EXPECT_EQ(modals.Texts().value(1), QStringLiteral("B.QRL : Cannot delete an opened game!"));
    }
    EXPECT_TRUE(QFileInfo::exists(folder.Games() + QStringLiteral("/B.QRL")));
    EXPECT_FALSE(QFileInfo::exists(folder.Games() + QStringLiteral("/A.QRL")));
    EXPECT_FALSE(QFileInfo::exists(folder.Games() + QStringLiteral("/A.TXT")));
    EXPECT_EQ(dialog.Rows().size(), 3u);
}

TEST_F(GameListWindow, ExportSelectedGamesToPgnWithAppend) {
    TSelectDialog dialog;
    dialog.RefreshList();
    dialog.List()->topLevelItem(2)->setSelected(true); // A, no moves
    const QString target = folder.Path(QStringLiteral("out.pgn"));
    folder.WriteText(target, "previous\r\n");
    dlgtest::Modals modals;
    QString fileDialogState;
    modals.Then([target, &fileDialogState](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(fd, nullptr);
        // Typed into the name field as a player would (selectFile() leaves
        // that field alone once it has the focus), then OK. The dialog's
        // folder model fills in the background, so a dialog that is still
        // open is tried again a few times and then given up, never waited on.
        auto attempt = std::make_shared<std::function<void(int)>>();
        std::weak_ptr<std::function<void(int)>> self = attempt;
        *attempt = [fd = QPointer<QFileDialog>(fd), target, self, &fileDialogState](int left) {
            if (!fd || !fd->isVisible()) return;
            auto* name = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (name) name->setText(target);
            QMetaObject::invokeMethod(fd, "accept");
            if (!fd->isVisible()) return;
            fileDialogState = QStringLiteral("still open: [%1] -> [%2]")
                                  .arg(name ? name->text() : QString(),
                                       fd->selectedFiles().join(QLatin1Char('|')));
            if (left == 0) {
                fd->reject();
                return;
            }
            QTimer::singleShot(50, fd, [again = self.lock(), left] { (*again)(left - 1); });
        };
        (*attempt)(20);
    });
    modals.PressText(QStringLiteral("Append"));
    modals.Press(QMessageBox::Ok);
    dialog.PGNbuttonClick();
    EXPECT_EQ(modals.Pending(), 0) << fileDialogState.toStdString();
    EXPECT_EQ(modals.Texts().value(1), QStringLiteral("1 games exported"));
    const std::string text = folder.ReadText(target);
    EXPECT_EQ(text.rfind("previous\r\n\r\n[Event \"Open\"]\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("[White \"Souto, Ana\"]\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n\r\n *\r\n"), std::string::npos) << text;
}
