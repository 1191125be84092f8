// The game window: move entry by dragging (promotion, refusal of a move into
// check), navigation and the move list, saving and reloading, the close
// query, the date register and the restart from a set-up position.
#include <QApplication>
#include <QCalendarWidget>
#include <QDialog>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include "chess/rules.h"
#include "platform/datetime.h"
#include "ui/boardsetup/boardsetup.h"
#include "ui/boardview/chessdiagram.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/game/gamewindow.h"
#include "ui/game/smalldialogs.h"
#include "uitest_util.h"

using namespace quorel;
using quorel::ui::TForm2;

namespace {

// The position the record's moves lead to, replayed from the start.
chess::TChessPosition Replay(const chess::TGameRecord& rec, int plies) {
    chess::TChessPosition pos;
    if (rec.SetupPosition == 1) {
        chess::TBoardRecord b{};
        chess::TChessPosition p;
        p.MakeBoardFromEPD(rec.SetupEPD, b);
        pos.SetBoard(b);
    }
    for (int k = 1; k <= plies; ++k)
        chess::MakeMove(pos, rec.Move(k));
    return pos;
}

QListWidget* MoveList(TForm2& w) {
    return w.findChild<QListWidget*>(QStringLiteral("MoveList"));
}

} // namespace

TEST(GameWindow, DraggedPawnPromotesToTheChosenPiece) {
    uitest::TempProgram program;
    program.WriteGame(QStringLiteral("PROMO.QRL"),
                      uitest::GameFromEPD("k7/6P1/8/8/8/8/8/K7 w - -"));
    TForm2 w;
    w.RefreshGame(QStringLiteral("PROMO.QRL"));
    w.show();
    uitest::ModalAnswers answers;
    QString offered;
    answers.Then([&](QWidget* d) {
        auto* dialog = qobject_cast<ui::TPromotionDialog*>(d);
        ASSERT_NE(dialog, nullptr);
        offered = dialog->List()->item(3)->text();
        dialog->List()->setCurrentRow(3); // Knight
        dialog->accept();
    });
    uitest::Drag(w.Board(), 66, 76);
    EXPECT_EQ(answers.Pending(), 0);
    EXPECT_EQ(offered, QStringLiteral("Knight"));
    const chess::TGameRecord& rec = w.Record();
    ASSERT_EQ(rec.MoveCount, 1);
    EXPECT_EQ(rec.CurrentPly, 1);
    EXPECT_EQ(rec.Move(1).From, 66);
    EXPECT_EQ(rec.Move(1).To, 76);
    EXPECT_EQ(rec.Move(1).Promotion, chess::kWhiteKnight);
    EXPECT_EQ(w.Board()->Position().PieceOnSquare(76), chess::kWhiteKnight);
    EXPECT_EQ(w.Board()->Position().PieceOnSquare(66), 0);
    EXPECT_EQ(chess::TChessPosition(rec.Board).PieceOnSquare(76), chess::kWhiteKnight);
    EXPECT_TRUE(w.Modified());
    ASSERT_EQ(MoveList(w)->count(), 1);
    EXPECT_EQ(MoveList(w)->item(0)->text(), QStringLiteral("1.g8=N"));
    EXPECT_EQ(MoveList(w)->currentRow(), 0);
}

TEST(GameWindow, MoveIntoCheckIsRefusedAndTheRecordStaysAsItWas) {
    uitest::TempProgram program;
    program.WriteGame(QStringLiteral("CHECK.QRL"),
                      uitest::GameFromEPD("k7/8/8/8/8/8/1r6/K7 w - -"));
    TForm2 w;
    w.RefreshGame(QStringLiteral("CHECK.QRL"));
    w.show();
    const std::string before = w.Record().ToFileBytes();
    const chess::TBoardRecord boardBefore = w.Board()->Position().GetBoard();
    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    uitest::Drag(w.Board(), 0, 1); // Ka1-b1, attacked by the rook on b2
    ASSERT_EQ(answers.Texts().size(), 1);
    EXPECT_EQ(answers.Texts()[0], QStringLiteral("The king would be in check"));
    EXPECT_EQ(w.Record().ToFileBytes(), before);
    EXPECT_EQ(w.Board()->Position().GetBoard(), boardBefore);
    EXPECT_FALSE(w.Modified());
    EXPECT_EQ(MoveList(w)->count(), 0);

    // A piece of the side not to move cannot be dragged at all.
    uitest::Drag(w.Board(), 11, 21);
    EXPECT_EQ(w.Record().ToFileBytes(), before);
}

TEST(GameWindow, NavigationMovesThePositionAndTheSelection) {
    uitest::TempProgram program;
    program.CopySample(QStringLiteral("SAMPLE.QRL"));
    TForm2 w;
    w.RefreshGame(QStringLiteral("SAMPLE.QRL"));
    w.show();
    const int count = w.Record().MoveCount;
    ASSERT_EQ(count, 20);
    ASSERT_EQ(MoveList(w)->count(), count);
    EXPECT_EQ(MoveList(w)->currentRow(), count - 1);
    EXPECT_FALSE(w.Modified());

    struct Step {
        const char* what;
        std::function<void()> act;
        int ply;
        bool modified;
    } steps[] = {
        {"Next at the end does nothing", [&] { w.NextButtonClick(); }, count, false},
        {"Previous", [&] { w.BackButtonClick(); }, count - 1, true},
        {"First", [&] { w.RewButtonClick(); }, 0, true},
        {"Previous at the start", [&] { w.BackButtonClick(); }, 0, true},
        {"Next", [&] { w.NextButtonClick(); }, 1, true},
        {"click on line 6", [&] { w.MoveListClick(5); }, 6, true},
        {"click on line 3", [&] { w.MoveListClick(2); }, 3, true},
        {"Last", [&] { w.FwdButtonClick(); }, count, true},
    };
    for (const Step& s : steps) {
        s.act();
        const chess::TGameRecord& rec = w.Record();
        EXPECT_EQ(rec.CurrentPly, s.ply) << s.what;
        EXPECT_EQ(w.Modified(), s.modified) << s.what;
        EXPECT_EQ(MoveList(w)->currentRow(), s.ply - 1) << s.what;
        EXPECT_EQ(w.Board()->Position().GetBoard(), Replay(rec, s.ply).GetBoard()) << s.what;
        EXPECT_EQ(rec.Board, w.Board()->Position().GetBoard()) << s.what;
    }
}

TEST(GameWindow, FirstAndPreviousAtTheStartDoNotMarkModified) {
    uitest::TempProgram program;
    TForm2 w;
    w.show();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("? - ?"));
    w.RewButtonClick();
    w.BackButtonClick();
    EXPECT_FALSE(w.Modified());
    EXPECT_FALSE(w.findChild<QPushButton*>(QStringLiteral("SaveButton"))->isEnabled());
    EXPECT_FALSE(w.findChild<QPushButton*>(QStringLiteral("ReloadButton"))->isEnabled());
    EXPECT_FALSE(w.findChild<QPushButton*>(QStringLiteral("CloneButton"))->isEnabled());
}

TEST(GameWindow, SaveThenReloadGivesTheSameBytes) {
    uitest::TempProgram program;
    program.CopySample(QStringLiteral("SAMPLE.QRL"));
    std::string saved;
    {
        TForm2 w;
        w.RefreshGame(QStringLiteral("SAMPLE.QRL"));
        w.MoveListClick(7); // navigation is part of the record (CurrentPly, Board)
        ASSERT_TRUE(w.Modified());
        ASSERT_TRUE(w.SaveButtonClick());
        EXPECT_FALSE(w.Modified());
        saved = program.ReadFile(QStringLiteral("SAMPLE.QRL"));
        EXPECT_EQ(saved, w.Record().ToFileBytes());
        EXPECT_EQ(w.Record().CurrentPly, 8);
    }
    TForm2 again;
    again.RefreshGame(QStringLiteral("SAMPLE.QRL"));
    EXPECT_EQ(again.Record().CurrentPly, 8);
    EXPECT_EQ(again.Record().ToFileBytes(), saved);
    // A change, Reload: the file's record again, unmodified.
    again.FwdButtonClick();
    ASSERT_TRUE(again.Modified());
    again.ReloadGame();
    EXPECT_FALSE(again.Modified());
    EXPECT_EQ(again.Record().ToFileBytes(), saved);
    // Saving unchanged writes the very same bytes.
    again.MoveListClick(6);
    again.MoveListClick(7);
    ASSERT_TRUE(again.SaveButtonClick());
    EXPECT_EQ(program.ReadFile(QStringLiteral("SAMPLE.QRL")), saved);
}

TEST(GameWindow, SaveAsNamesANewGameAndKeepsItsNotes) {
    uitest::TempProgram program;
    TForm2 w;
    w.show();
    auto* white = w.findChild<QLineEdit*>(QStringLiteral("EditWhite"));
    QTest::keyClicks(white, QStringLiteral("Smith"));
    auto* notes = w.findChild<QPlainTextEdit*>(QStringLiteral("NotesMemo"));
    notes->setPlainText(QStringLiteral("first line\nsecond line"));
    EXPECT_TRUE(w.Modified());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Smith - ?"));
    uitest::ModalAnswers answers;
    QString offered;
    answers.Then([&](QWidget* d) {
        auto* input = qobject_cast<QInputDialog*>(d);
        ASSERT_NE(input, nullptr);
        offered = input->textValue();
        input->setTextValue(QStringLiteral("mygame"));
        input->accept();
    });
    ASSERT_TRUE(w.SaveButtonClick());
    EXPECT_EQ(offered, QStringLiteral("SMITH - UNKNOWN (1).QRL"));
    EXPECT_TRUE(w.FileName().endsWith(QStringLiteral("mygame.QRL")));
    EXPECT_FALSE(w.Modified());
    EXPECT_EQ(program.ReadFile(QStringLiteral("mygame.QRL")).size(), 676u);
    EXPECT_EQ(program.ReadFile(QStringLiteral("mygame.TXT")), "first line\r\nsecond line\r\n");
}

// The save-as question shows a long offered name whole, and its buttons
// speak the run's language, not the toolkit's English.
TEST(GameWindow, SaveAsQuestionFitsTheNameAndSpeaksTheLanguage) {
    uitest::TempProgram program;
    ui::SetUiLanguage(1); // Spanish
    TForm2 w;
    w.show();
    w.findChild<QLineEdit*>(QStringLiteral("EditWhite"))
        ->setText(QStringLiteral("Wallington-Smythe, Maximilian Alexander"));
    w.findChild<QLineEdit*>(QStringLiteral("EditBlack"))
        ->setText(QStringLiteral("Villanueva de la Cañada, Francisco Javier"));
    uitest::ModalAnswers answers;
    int fieldWidth = 0, textWidth = 0;
    QStringList buttons;
    answers.Then([&](QWidget* d) {
        auto* input = qobject_cast<QInputDialog*>(d);
        ASSERT_NE(input, nullptr);
        auto* field = input->findChild<QLineEdit*>();
        ASSERT_NE(field, nullptr);
        fieldWidth = field->width();
        textWidth = field->fontMetrics().horizontalAdvance(field->text());
        for (auto* b : input->findChildren<QPushButton*>())
            buttons << b->text();
        input->reject();
    });
    EXPECT_FALSE(w.SaveButtonClick());
    ui::SetUiLanguage(0);
    EXPECT_GT(fieldWidth, textWidth);
    EXPECT_TRUE(buttons.contains(QStringLiteral("Aceptar"))) << buttons.join('|').toStdString();
    EXPECT_TRUE(buttons.contains(QStringLiteral("Cancelar"))) << buttons.join('|').toStdString();
}

TEST(GameWindow, CloseQueryAnswers) {
    struct Row {
        QMessageBox::StandardButton answer;
        bool staysOpen;
        bool fileChanged;
    } rows[] = {
        {QMessageBox::Cancel, true, false},
        {QMessageBox::No, false, false},
        {QMessageBox::Yes, false, true},
    };
    for (const Row& r : rows) {
        uitest::TempProgram program;
        program.CopySample(QStringLiteral("SAMPLE.QRL"));
        const std::string original = program.ReadFile(QStringLiteral("SAMPLE.QRL"));
        QPointer<TForm2> w = new TForm2;
        w->RefreshGame(QStringLiteral("SAMPLE.QRL"));
        w->show();
        w->RewButtonClick();
        ASSERT_TRUE(w->Modified());
        uitest::ModalAnswers answers;
        answers.Press(r.answer);
        const bool closed = w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(answers.Texts().size(), 1);
        EXPECT_EQ(answers.Texts()[0],
                  QStringLiteral("Ana Souto-Jörg Weber\n\nhas changed, do you want to save it?"));
        EXPECT_EQ(closed, !r.staysOpen) << r.answer;
        EXPECT_EQ(!w.isNull(), r.staysOpen) << r.answer;
        const std::string now = program.ReadFile(QStringLiteral("SAMPLE.QRL"));
        EXPECT_EQ(now != original, r.fileChanged) << r.answer;
        if (r.fileChanged) {
            EXPECT_EQ(uint8_t(now[545]), 0); // CurrentPly 0 was saved
        }
        delete w.data();
    }
}

TEST(GameWindow, CalendarDatesMarkModifiedAndAskWhenImplausible) {
    uitest::TempProgram program;
    program.CopySample(QStringLiteral("SAMPLE.QRL"));
    TForm2 w;
    w.RefreshGame(QStringLiteral("SAMPLE.QRL"));
    w.show();
    w.MoveListClick(3); // record 4
    w.SaveButtonClick();
    ASSERT_FALSE(w.Modified());
    const double received = w.Record().Move(4).Received;
    // Replied before Received: the question; OK keeps the date, and the
    // change is never lost on close.
    uitest::ModalAnswers answers;
    answers.Then([&](QWidget* d) {
        auto* cal = qobject_cast<ui::TCalendarDialog*>(d);
        ASSERT_NE(cal, nullptr);
        const quorel::CalendarDate r = DecodeDate(received);
        cal->SetDate(QDate(r.year, r.month, r.day).addDays(-3));
        cal->accept();
    });
    answers.Press(QMessageBox::Ok);
    w.RepliedButtonClick();
    ASSERT_EQ(answers.Texts().size(), 1);
    EXPECT_EQ(answers.Texts()[0],
              QStringLiteral("The date entered is not logical!. \"Replied Date\" < "
                             "\"Received Date\"\nContinue anyway?"));
    EXPECT_TRUE(w.Modified());
    EXPECT_EQ(chess::DayNumberOf(w.Record().Move(4).Replied), chess::DayNumberOf(received) - 3);

    // Received of record 1 never asks about a previous move.
    w.RewButtonClick();
    w.NextButtonClick();
    uitest::ModalAnswers first;
    first.Then([](QWidget* d) {
        auto* cal = qobject_cast<ui::TCalendarDialog*>(d);
        ASSERT_NE(cal, nullptr);
        cal->SetDate(QDate(1990, 1, 1));
        cal->accept();
    });
    first.Press(QMessageBox::Ok); // would be left unanswered if no question came
    w.ReceivedButtonClick();
    EXPECT_EQ(first.Texts().size(), 0);
    EXPECT_EQ(w.Record().Move(1).Received, EncodeDate(1990, 1, 1));
}

TEST(GameWindow, SetupWithTheKingInCheckRestoresTheNeverSavedGame) {
    uitest::TempProgram program;
    TForm2 w;
    w.show();
    uitest::Drag(w.Board(), 14, 34); // 1. e4
    ASSERT_EQ(w.Record().MoveCount, 1);
    const std::string before = w.Record().ToFileBytes();
    uitest::ModalAnswers answers;
    answers.Then([](QWidget* d) {
        auto* setup = qobject_cast<ui::TBoardSetup*>(d);
        ASSERT_NE(setup, nullptr);
        setup->ClearControls();
        // White to move while Black's king stands in check from the rook.
        ASSERT_TRUE(setup->FillFromEPD(QStringLiteral("k7/8/8/8/8/8/8/R3K3 w - -")));
        setup->BtnOKClick();
    });
    answers.Press(QMessageBox::Ok); // "@ResetMoveList"
    answers.Press(QMessageBox::Ok); // "The king cannot be taken"
    w.BoardSetupClick();
    ASSERT_EQ(answers.Texts().size(), 2);
    EXPECT_EQ(answers.Texts()[1], QStringLiteral("The king cannot be taken"));
    EXPECT_EQ(w.Record().ToFileBytes(), before);
    EXPECT_EQ(w.HasFile(), false);

    // A valid set-up restarts the game from it.
    uitest::ModalAnswers again;
    again.Then([](QWidget* d) {
        auto* setup = qobject_cast<ui::TBoardSetup*>(d);
        setup->ClearControls();
        ASSERT_TRUE(setup->FillFromEPD(QStringLiteral("k7/8/8/8/8/8/8/R3K3 b - -")));
        setup->BtnOKClick();
    });
    again.Press(QMessageBox::Ok);
    w.BoardSetupClick();
    EXPECT_EQ(w.Record().MoveCount, 0);
    EXPECT_EQ(w.Record().SetupPosition, 1);
    EXPECT_EQ(w.Record().SetupEPD, "k7/8/8/8/8/8/8/R3K3 b - -");
    EXPECT_EQ(w.Record().SetupWhiteFirst, 0);
    EXPECT_TRUE(w.Modified());
}

TEST(GameWindow, ImportWithYesTakesEverythingAndWithNoOnlyTheMoves) {
    uitest::TempProgram program;
    program.CopySample(QStringLiteral("SAMPLE.QRL"));
    chess::TGameRecord picked;
    ASSERT_TRUE(chess::LoadFromFile(program.Games().toStdString(), "SAMPLE.QRL", picked).Ok);
    for (QMessageBox::StandardButton answer :
         {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
        TForm2 w;
        w.show();
        auto* white = w.findChild<QLineEdit*>(QStringLiteral("EditWhite"));
        QTest::keyClicks(white, QStringLiteral("Mine"));
        uitest::ModalAnswers answers;
        answers.Press(answer);
        w.ImportPickedGame(picked);
        const chess::TGameRecord& rec = w.Record();
        if (answer == QMessageBox::Cancel) {
            EXPECT_EQ(rec.MoveCount, 0);
            continue;
        }
        EXPECT_EQ(rec.MoveCount, picked.MoveCount);
        EXPECT_EQ(rec.CurrentPly, picked.MoveCount);
        EXPECT_EQ(w.Board()->Position().GetBoard(), Replay(picked, picked.MoveCount).GetBoard());
        EXPECT_EQ(rec.White, answer == QMessageBox::Yes ? picked.White : std::string("Mine"));
        for (int k = 1; k <= picked.MoveCount; ++k) {
            EXPECT_EQ(rec.Move(k).From, picked.Move(k).From);
            EXPECT_EQ(rec.Move(k).Received,
                      answer == QMessageBox::Yes ? picked.Move(k).Received : 0.0);
        }
        EXPECT_TRUE(w.Modified());
    }
}

TEST(GameWindow, TimeRegisterFollowsPenalizationAndToday) {
    uitest::TempProgram program;
    program.CopySample(QStringLiteral("SAMPLE.QRL"));
    TForm2 w;
    w.RefreshGame(QStringLiteral("SAMPLE.QRL"));
    w.show();
    w.MoveListClick(1); // record 2, Black's
    w.SaveButtonClick();
    auto panel = [&](const char* name) { return w.findChild<QLabel*>(QLatin1String(name)); };
    auto* penalization = w.findChild<QSpinBox*>(QStringLiteral("EditPenalization"));
    const long before = chess::ShownMoveThinkingTime(w.Record(), 2);
    const chess::TThinkingTotals totals = chess::ThinkingTotals(w.Record());
    EXPECT_EQ(panel("WhiteCurrent")->text(), QStringLiteral("-"));
    EXPECT_EQ(panel("BlackCurrent")->text(), QString::number(before));
    ASSERT_FALSE(w.Modified());

    penalization->setValue(5);
    EXPECT_TRUE(w.Modified());
    EXPECT_EQ(w.Record().Move(2).Penalization, 5);
    EXPECT_EQ(panel("BlackCurrent")->text(),
              QString::number(chess::ShownMoveThinkingTime(w.Record(), 2)));
    EXPECT_EQ(panel("BlackTotal")->text(),
              QString::number(std::max(0L, totals.Black - before +
                                               chess::ShownMoveThinkingTime(w.Record(), 2))));

    // At the start the register is empty and its buttons are off.
    w.RewButtonClick();
    EXPECT_TRUE(panel("ReceivedPanel")->text().isEmpty());
    EXPECT_FALSE(w.findChild<QPushButton*>(QStringLiteral("ReceivedTodayBtn"))->isEnabled());
    EXPECT_FALSE(penalization->isEnabled());

    w.NextButtonClick();
    const double now = quorel::Now();
    w.RepliedTodayBtnClick();
    EXPECT_NEAR(w.Record().Move(1).Replied, now, 1.0 / 24);
    EXPECT_EQ(panel("RepliedPanel")->text(),
              QString::fromStdString(quorel::FormatDateTime("mm/dd/yy", now)));
}

TEST(GameWindow, CommentDialogAnnotatesTheMove) {
    uitest::TempProgram program;
    program.CopySample(QStringLiteral("SAMPLE.QRL"));
    TForm2 w;
    w.RefreshGame(QStringLiteral("SAMPLE.QRL"));
    w.show();
    uitest::ModalAnswers answers;
    answers.Then([](QWidget* d) {
        auto* dialog = qobject_cast<ui::TDiacriticDialog*>(d);
        ASSERT_NE(dialog, nullptr);
        dialog->List()->setCurrentRow(3); // "Very good move : !!"
        dialog->accept();
    });
    w.MoveListDblClick(2); // record 3: 2.Nf3
    EXPECT_EQ(w.Record().Move(3).Annotation, 4);
    EXPECT_EQ(MoveList(w)->item(2)->text(), QStringLiteral("2.Nf3!!"));
    EXPECT_TRUE(w.Modified());
}

TEST(GameWindow, CancelledPromotionRefusesTheMove) {
    uitest::TempProgram program;
    program.WriteGame(QStringLiteral("PROMO.QRL"),
                      uitest::GameFromEPD("k7/6P1/8/8/8/8/8/K7 w - -"));
    TForm2 w;
    w.RefreshGame(QStringLiteral("PROMO.QRL"));
    w.show();
    const std::string before = w.Record().ToFileBytes();
    uitest::ModalAnswers answers;
    answers.Then([](QWidget* d) { qobject_cast<QDialog*>(d)->reject(); });
    uitest::Drag(w.Board(), 66, 76);
    EXPECT_EQ(w.Record().ToFileBytes(), before);
    EXPECT_EQ(w.Board()->Position().PieceOnSquare(66), chess::kWhitePawn);
}

TEST(GameWindow, CloneIsAnUnnamedModifiedCopy) {
    uitest::TempProgram program;
    program.CopySample(QStringLiteral("SAMPLE.QRL"));
    TForm2 w;
    w.RefreshGame(QStringLiteral("SAMPLE.QRL"));
    EXPECT_TRUE(w.findChild<QPushButton*>(QStringLiteral("CloneButton"))->isEnabled());
    TForm2* twin = nullptr;
    w.createSibling = [&twin] { return twin = new TForm2; };
    w.CloneGame();
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(twin->FileName(), QStringLiteral("NONAME.QRL"));
    EXPECT_TRUE(twin->Modified());
    EXPECT_EQ(twin->Record().ToFileBytes(), w.Record().ToFileBytes());
    twin->SetModified(false);
    delete twin;
}

TEST(GameWindow, OwnDetailsByDoubleClickAndTheOpponent) {
    uitest::TempProgram program; // the player: Ana Souto, ana@example.org, ESP
    TForm2 w;
    w.show();
    auto edit = [&](const char* name) { return w.findChild<QLineEdit*>(QLatin1String(name)); };
    QTest::mouseDClick(edit("EditBlackAddress"), Qt::LeftButton);
    EXPECT_EQ(edit("EditBlack")->text(), QStringLiteral("Ana Souto"));
    EXPECT_EQ(edit("EditBlackAddress")->text(), QStringLiteral("ana@example.org"));
    EXPECT_EQ(edit("EditBlackCountry")->text(), QStringLiteral("ESP"));
    EXPECT_TRUE(w.Modified());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("? - Ana Souto"));
    EXPECT_EQ(w.OpponentAddress(), QString());
    QTest::keyClicks(edit("EditWhite"), QStringLiteral("Rui"));
    QTest::keyClicks(edit("EditWhiteAddress"), QStringLiteral("rui@example.pt"));
    ui::AppContext().emailAddress = QStringLiteral("ANA@Example.org"); // letter case ignored
    EXPECT_EQ(w.OpponentName(), QStringLiteral("Rui"));
    EXPECT_EQ(w.OpponentAddress(), QStringLiteral("rui@example.pt"));
    ui::AppContext().emailAddress = QStringLiteral("someone@else.org");
    EXPECT_EQ(w.OpponentName(), QStringLiteral("?"));
    EXPECT_EQ(w.OpponentAddress(), QStringLiteral("?"));
}
