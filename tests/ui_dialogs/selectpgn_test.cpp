// The PGN picker on small files made here: the list, OR and AND filters,
// header sorting, search, loading the chosen game, a scan cancelled from
// the window, and the game window's import with Yes and with No.
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "dlgtest_util.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/dialogs/register.h"
#include "ui/dialogs/selectpgn.h"
#include "ui/game/gamewindow.h"

using namespace quorel;
using namespace quorel::ui;

namespace {

std::string PgnGame(const std::string& event, const std::string& site, const std::string& white,
                    const std::string& black, const std::string& result, const std::string& eco,
                    const std::string& moves) {
    return "[Event \"" + event + "\"]\r\n[Site \"" + site +
           "\"]\r\n[Date \"2024.01.02\"]\r\n"
           "[Round \"1\"]\r\n[White \"" +
           white + "\"]\r\n[Black \"" + black +
           "\"]\r\n"
           "[Result \"" +
           result + "\"]\r\n[ECO \"" + eco + "\"]\r\n\r\n" + moves + "\r\n\r\n";
}

// Four games; the last one is followed by an empty line so that it is found.
std::string SmallFile() {
    return PgnGame("Spring Open", "Madrid", "Souto, Ana", "Cid, Bo", "1-0", "C60",
                   "1.e4 e5 2.Nf3 Nc6 3.Bb5 a6 1-0") +
           PgnGame("Autumn Cup", "Berlin", "Dora", "Souto, Ana", "0-1", "B01",
                   "1.e4 d5 2.exd5 Qxd5 0-1") +
           PgnGame("Spring Open", "Aachen", "Eva", "Fritz", "1/2-1/2", "A00", "1.a3 a6 1/2-1/2") +
           PgnGame("Club Match", "Zug", "Gil", "Souto, Ana", "*", "D02", "1.d4 d5 2.Nf3 *");
}

QStringList Column(const TSelectPGN& picker, int column) {
    QStringList out;
    for (int i = 0; i < picker.List()->topLevelItemCount(); ++i)
        out << picker.List()->topLevelItem(i)->text(column);
    return out;
}

class PickerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetUiLanguage(0);
        file = folder.Path(QStringLiteral("games.pgn"));
        folder.WriteText(file, SmallFile());
        picker.PGNFileName = file;
    }
    dlgtest::TempFolder folder;
    QString file;
    TSelectPGN picker;
};

} // namespace

TEST_F(PickerTest, ListsEveryGameWithCaption) {
    picker.RefreshList();
    ASSERT_EQ(picker.Rows().size(), 4u);
    // Initial key: the whole row, ascending (so by Site).
    EXPECT_EQ(Column(picker, 0), (QStringList{"Aachen", "Berlin", "Madrid", "Zug"}));
    EXPECT_EQ(picker.windowTitle(), file + QStringLiteral("  4/4 games"));
    EXPECT_EQ(picker.List()->headerItem()->text(6), QStringLiteral("ECO"));
}

TEST_F(PickerTest, FiltersOrAndAnd) {
    struct Case {
        QString event, white, black;
        bool andMode;
        QStringList sites;
    } cases[] = {
        {"", "", "", false, {"Aachen", "Berlin", "Madrid", "Zug"}}, // all empty: every game
        {"Spring", "", "", false, {"Aachen", "Madrid"}},
        {"Spring", "", "Ana", false, {"Aachen", "Berlin", "Madrid", "Zug"}}, // OR
        {"Spring", "", "Ana", true, {}},                                     // AND
        {"Spring", "Souto", "", true, {"Madrid"}},
        {"spring", "", "", false, {}}, // with case
    };
    for (const Case& c : cases) {
        picker.ClearButtonClick();
        picker.FilterBox(1)->setText(c.event);
        picker.FilterBox(2)->setText(c.white);
        picker.FilterBox(3)->setText(c.black);
        picker.AndButton()->setChecked(c.andMode);
        if (!c.andMode)
            picker.findChild<QRadioButton*>(QStringLiteral("OrButton"))->setChecked(true);
        dlgtest::Modals modals; // an empty file would ask; none of these do
        picker.AndButtonClick();
        EXPECT_EQ(Column(picker, 0), c.sites) << c.event.toStdString() << "/" << c.andMode;
        EXPECT_EQ(modals.Texts(), QStringList{});
    }
    EXPECT_EQ(picker.windowTitle(), file + QStringLiteral("  0/4 games"));
}

TEST_F(PickerTest, HeaderClicksSortDescendingThenAscending) {
    picker.RefreshList();
    picker.HeaderControl1SectionClick(2); // White, descending
    EXPECT_EQ(Column(picker, 2), (QStringList{"Souto, Ana", "Gil", "Eva", "Dora"}));
    picker.HeaderControl1SectionClick(5); // Date: nothing
    EXPECT_EQ(Column(picker, 2), (QStringList{"Souto, Ana", "Gil", "Eva", "Dora"}));
    picker.HeaderControl1SectionClick(6); // ECO, ascending (the direction flips)
    EXPECT_EQ(Column(picker, 6), (QStringList{"A00", "B01", "C60", "D02"}));
    // A refresh keeps the key and direction.
    picker.RefreshList();
    EXPECT_EQ(Column(picker, 6), (QStringList{"A00", "B01", "C60", "D02"}));
    // The header of the window sorts too.
    emit picker.List()->header()->sectionClicked(0);
    EXPECT_EQ(Column(picker, 0), (QStringList{"Zug", "Madrid", "Berlin", "Aachen"}));
}

TEST_F(PickerTest, SearchForwardWithoutWrapping) {
    picker.RefreshList(); // Aachen, Berlin, Madrid, Zug
    picker.SearchBox()->setText(QStringLiteral("souto"));
    picker.SearchButtonClick();
    EXPECT_EQ(picker.SelectedRow(), 1); // Berlin
    picker.SearchButtonClick();
    EXPECT_EQ(picker.SelectedRow(), 2); // Madrid
    picker.SearchButtonClick();
    EXPECT_EQ(picker.SelectedRow(), 3); // Zug
    dlgtest::Modals modals;
    modals.Press(QMessageBox::Ok);
    picker.SearchButtonClick();
    EXPECT_EQ(modals.Texts(), QStringList{QStringLiteral("No more matches")});
    EXPECT_EQ(picker.SelectedRow(), 3);
    picker.FirstLineButtonClick();
    EXPECT_EQ(picker.SelectedRow(), 0);
    modals.Press(QMessageBox::Ok);
    picker.SearchBox()->clear();
    picker.SearchButtonClick(); // an empty text matches nothing
    EXPECT_EQ(modals.Texts().size(), 2);
}

TEST_F(PickerTest, MissingAndEmptyFiles) {
    dlgtest::Modals modals;
    modals.Press(QMessageBox::Ok);
    picker.PGNFileName = folder.Path(QStringLiteral("none.pgn"));
    picker.RefreshList();
    EXPECT_EQ(modals.Texts().value(0),
              QStringLiteral("Cannot open PGN file : ") + picker.PGNFileName);
    modals.Press(QMessageBox::Ok);
    folder.WriteText(folder.Path(QStringLiteral("empty.pgn")), "just text\r\n");
    picker.PGNFileName = folder.Path(QStringLiteral("empty.pgn"));
    picker.RefreshList();
    EXPECT_EQ(modals.Texts().value(1), QStringLiteral("Cannot find any PGN record!"));
    EXPECT_TRUE(picker.Rows().empty());
}

TEST_F(PickerTest, OkLoadsTheChosenGameAndLeavesTheFileOpen) {
    picker.OpenInNewWindow = false;
    picker.RefreshList();
    picker.SelectRow(2); // Madrid: the first game of the file
    picker.OkButtonClick();
    EXPECT_EQ(picker.result(), QDialog::Accepted);
    EXPECT_TRUE(picker.Reader().IsOpen());
    const chess::TGameRecord& rec = picker.Reader().GameRecord;
    EXPECT_EQ(rec.Event, "Spring Open");
    EXPECT_EQ(rec.Site, "Madrid");
    EXPECT_EQ(rec.MoveCount, 6);
    picker.Reader().CloseFile();
    // Without a selection OK is Cancel.
    picker.List()->clearSelection();
    picker.List()->setCurrentItem(nullptr);
    picker.OkButtonClick();
    EXPECT_EQ(picker.result(), QDialog::Rejected);
}

TEST_F(PickerTest, OpenInNewWindowShowsTheGameUnsaved) {
    TForm2* opened = nullptr;
    picker.createGameWindow = [&opened] { return opened = new TForm2; };
    picker.OpenInNewWindow = true;
    picker.RefreshList();
    picker.SelectRow(1); // Berlin: the second game
    picker.OkButtonClick();
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->Record().Event, "Autumn Cup");
    EXPECT_EQ(opened->Record().MoveCount, 4);
    EXPECT_TRUE(opened->Modified());
    EXPECT_EQ(opened->FileName(), QLatin1String(TForm2::kNoName));
    EXPECT_FALSE(picker.Reader().IsOpen());
    delete opened;
}

TEST_F(PickerTest, CancelStopsALargeScanAndTheWindowStays) {
    std::string big;
    for (int i = 0; i < 3000; ++i)
        big += PgnGame("Event " + std::to_string(i), "Site", "W", "B", "*", "A00", "1.e4 e5 *");
    const QString bigFile = folder.Path(QStringLiteral("big.pgn"));
    folder.WriteText(bigFile, big);
    picker.PGNFileName = bigFile;
    // The first events pumped by the scan press Cancel.
    QTimer::singleShot(0, &picker, [this] {
        EXPECT_TRUE(picker.Scanning());
        // The caption counts the games found so far.
        EXPECT_TRUE(picker.windowTitle().endsWith(QStringLiteral(" games")))
            << picker.windowTitle().toStdString();
        EXPECT_NE(picker.windowTitle(), QStringLiteral("0 games"));
        picker.CancelButtonClick();
    });
    picker.RefreshList();
    EXPECT_FALSE(picker.Scanning());
    EXPECT_GT(picker.Rows().size(), 0u);
    EXPECT_LT(picker.Rows().size(), 3000u);
    picker.RefreshList(); // a scan that runs to the end
    EXPECT_EQ(picker.Rows().size(), 3000u);
}

// Picks the first row once the picker's own scan has ended (this may be
// called from the events the scan pumps).
void ChooseFirstRow(QPointer<TSelectPGN> picker) {
    if (!picker) return;
    if (picker->Scanning()) {
        QTimer::singleShot(0, [picker] { ChooseFirstRow(picker); });
        return;
    }
    if (picker->Rows().empty()) picker->RefreshList();
    picker->SelectRow(0);
    picker->OkButtonClick();
}

// The game window's import from the clipboard through the registered
// picker: Yes takes the whole record, No only the moves.
TEST(PgnImport, YesTakesTheRecordNoKeepsTheHeader) {
    dlgtest::TempFolder folder;
    SetUiLanguage(0);
    RegisterDialogs();
    for (const bool yes : {true, false}) {
        TForm2 window;
        window.RefreshGame(QLatin1String(TForm2::kNoName));
        window.RecordForTest().Event = "My own event";
        window.RecordForTest().White = "Me";
        window.Setdata();
        QApplication::clipboard()->setText(
            QString::fromStdString(PgnGame("Spring Open", "Madrid", "Souto, Ana", "Cid, Bo", "1-0",
                                           "C60", "1.e4 e5 2.Nf3 Nc6 3.Bb5 a6 1-0")));
        dlgtest::Modals modals;
        modals.Then([](QWidget* w) {
            auto* picker = qobject_cast<TSelectPGN*>(w);
            ASSERT_NE(picker, nullptr);
            ChooseFirstRow(picker);
        });
        modals.Press(yes ? QMessageBox::Yes : QMessageBox::No);
        window.ImportFromClipboard();
        EXPECT_EQ(modals.Pending(), 0);
        const chess::TGameRecord& rec = window.Record();
        EXPECT_EQ(rec.MoveCount, 6);
        EXPECT_EQ(rec.Event, yes ? "Spring Open" : "My own event");
        EXPECT_EQ(rec.White, yes ? "Souto, Ana" : "Me");
        EXPECT_EQ(rec.Move(3).From, 6); // Nf3 from g1
        EXPECT_EQ(rec.Move(3).To, 25);
        EXPECT_TRUE(window.Modified());
    }
    DialogHooks() = TDialogHooks{};
}

// "Import game record from PGN file" shows the last picked file's list again
// instead of asking for a file.
TEST(PgnImport, FromFileReusesThePickersLastFile) {
    dlgtest::TempFolder folder;
    SetUiLanguage(0);
    RegisterDialogs();
    const QString file = folder.Path(QStringLiteral("last.pgn"));
    folder.WriteText(file, PgnGame("Spring Open", "Madrid", "Souto, Ana", "Cid, Bo", "1-0", "C60",
                                   "1.e4 e5 2.Nf3 Nc6 3.Bb5 a6 1-0"));
    PgnPicker().PGNFileName = file;
    TForm2 window;
    window.RefreshGame(QLatin1String(TForm2::kNoName));
    dlgtest::Modals modals;
    QString shownFile;
    modals.Then([&shownFile](QWidget* w) {
        auto* picker = qobject_cast<TSelectPGN*>(w);
        ASSERT_NE(picker, nullptr); // the picker, not a file dialog
        shownFile = picker->PGNFileName;
        ChooseFirstRow(picker);
    });
    modals.Press(QMessageBox::Yes);
    window.ImportFromPgnFile();
    EXPECT_EQ(modals.Pending(), 0);
    EXPECT_EQ(shownFile, file);
    EXPECT_EQ(window.Record().MoveCount, 6);
    EXPECT_EQ(window.Record().Event, "Spring Open");
    PgnPicker().PGNFileName.clear();
    DialogHooks() = TDialogHooks{};
}
