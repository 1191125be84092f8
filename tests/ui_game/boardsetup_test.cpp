// Board setup: the first failing check decides, its corrections, the EPD
// exchanged with the caller, and the refusals of entered EPD text.
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QTest>
#include <gtest/gtest.h>

#include "ui/boardsetup/boardsetup.h"
#include "ui/boardview/chessdiagram.h"
#include "uitest_util.h"

using namespace quorel;
using quorel::ui::TBoardSetup;

TEST(BoardSetup, FirstFailingCheckDecides) {
    uitest::TempProgram program;
    struct Row {
        const char* epd; // "" = empty board
        const char* key;
    } rows[] = {
        {"", "@NoWhiteKing"},
        {"k7/8/8/8/8/8/8/KK6 w - -", "@TooManyWhiteKings"}, // before any Black test
        {"8/8/8/8/8/8/8/K7 w - -", "@NoBlackKing"},
        {"kk6/8/8/8/8/8/8/K7 w - -", "@TooManyBlackKings"},
        {"k7/8/8/8/8/8/QQQQQQQQ/KQQ5 w - -", "@TooManyWhiteQueens"},
        {"k7/8/8/8/8/8/8/K7 w - -", ""},
        {"kppppppp/pp6/8/8/8/8/8/K7 w - -", "@TooManyBlackPawns"},
        {"k7/8/8/8/QQQQQQQQ/Q7/PPPPPPPP/K7 w - -", "@TooManyWhitePieces"},
        {"4k3/8/8/8/8/8/8/4K3 w K -", "@NoWhiteCastling"},  // no rook at all
        {"4k3/8/8/8/8/8/8/R2K4 w Q -", "@NoWhiteCastling"}, // king not on e1
        {"4k3/8/8/8/8/8/8/R3K3 w K -", "@NoWhiteShortCastling"},
        {"4k3/8/8/8/8/8/8/4K2R w Q -", "@NoWhiteLongCastling"},
        {"r3k3/8/8/8/8/8/8/4K3 w k -", "@NoBlackShortCastling"},
        {"4k2r/8/8/8/8/8/8/4K3 w q -", "@NoBlackLongCastling"},
        {"P3k3/8/8/8/8/8/8/4K3 w - -", "@WhitePawn8th"},
        {"p3k3/8/8/8/8/8/8/4K3 w - -", "@BlackPawn8th"},
        {"4k3/8/8/8/8/8/8/p3K3 w - -", "@BlackPawn1st"},
        {"4k3/8/8/8/8/8/8/P3K3 w - -", "@WhitePawn1st"},
        {"4k3/8/8/3p4/8/8/8/4K3 w - d6", ""}, // the Black pawn stands on d5
        {"4k3/8/8/8/8/8/8/4K3 w - e6", "@EpInvalid"},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", ""},
        {"4k3/8/8/8/3Pp3/8/8/4K3 b - d3", ""},
        {"4k3/8/8/8/3Pp3/8/8/4K3 w - d3", "@EpInvalid"}, // wrong side for rank 3
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", ""},
    };
    for (const Row& r : rows) {
        TBoardSetup dialog;
        dialog.ClearControls();
        if (*r.epd) {
            ASSERT_TRUE(dialog.FillFromEPD(QLatin1String(r.epd))) << r.epd;
        }
        EXPECT_EQ(dialog.CheckPosition(), QLatin1String(r.key)) << r.epd;
    }
}

TEST(BoardSetup, CheckCorrectsAndASecondOKPasses) {
    uitest::TempProgram program;
    TBoardSetup dialog;
    dialog.SetEPD(QStringLiteral("4k3/8/8/8/8/8/8/R3K3 w KQ -"));
    dialog.show();
    auto* oo = dialog.findChild<QCheckBox*>(QStringLiteral("CBWoo"));
    auto* ooo = dialog.findChild<QCheckBox*>(QStringLiteral("CBWooo"));
    ASSERT_TRUE(oo->isChecked() && ooo->isChecked());
    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    dialog.BtnOKClick();
    ASSERT_EQ(answers.Texts(), QStringList{QStringLiteral("No white short castling allowed")});
    EXPECT_FALSE(oo->isChecked());
    EXPECT_TRUE(ooo->isChecked());
    EXPECT_FALSE(dialog.OK());
    dialog.BtnOKClick();
    EXPECT_TRUE(dialog.OK());
    EXPECT_EQ(dialog.EPD(), QStringLiteral("4k3/8/8/8/8/8/8/R3K3 w Q -"));
}

TEST(BoardSetup, InitialPositionToolGivesTheExactEPD) {
    uitest::TempProgram program;
    TBoardSetup dialog;
    dialog.show();
    dialog.piInitialClick();
    dialog.BtnOKClick();
    EXPECT_TRUE(dialog.OK());
    EXPECT_EQ(dialog.EPD(), QStringLiteral("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"));
}

TEST(BoardSetup, OpcodesAndEnPassantSurviveTheRoundTrip) {
    uitest::TempProgram program;
    TBoardSetup dialog;
    dialog.SetEPD(QStringLiteral("4k3/8/8/3pP3/8/8/8/4K3 w - d6 bm exd6; id \"x\";"));
    dialog.show();
    dialog.BtnOKClick();
    EXPECT_EQ(dialog.EPD(), QStringLiteral("4k3/8/8/3pP3/8/8/8/4K3 w - d6 bm exd6; id \"x\";"));
}

TEST(BoardSetup, RefusedEPDTextsShowTheirMessagesAndClearTheBoard) {
    uitest::TempProgram program;
    struct Row {
        const char* epd;
        const char* message;
    } rows[] = {
        {"4k3/8/8/8/8/8/8/4K3 x - -", "Error in EPD move right description"},
        {"4k3/8/8/8/8/8/8 w - -", "Error in EPD position description"},
        {"4k3/8/8/8/8/8/8/4K2222 w - -", "Error in EPD rank description"},
        {"4k3/8/8/8/8/8/8/4K3 w - e5", "Error in EPD ep field description"},
    };
    for (const Row& r : rows) {
        TBoardSetup dialog;
        dialog.SetEPD(QLatin1String(r.epd));
        uitest::ModalAnswers answers;
        answers.Press(QMessageBox::Ok);
        answers.Press(QMessageBox::Ok);
        dialog.show();
        QTRY_COMPARE_WITH_TIMEOUT(answers.Pending(), 0, 3000);
        ASSERT_EQ(answers.Texts().size(), 2) << r.epd;
        EXPECT_EQ(answers.Texts()[0], QLatin1String(r.message)) << r.epd;
        EXPECT_EQ(answers.Texts()[1], QStringLiteral("Error in EPD description")) << r.epd;
        for (int sq : {4, 74})
            EXPECT_EQ(dialog.Board()->Position().PieceOnSquare(sq), 0) << r.epd;
    }
}

// A mistyped EPD entered by the player shows one error and leaves the board
// and the controls as they were.
TEST(BoardSetup, MistypedEnteredEPDShowsOneErrorAndKeepsTheBoard) {
    uitest::TempProgram program;
    struct Row {
        const char* text;
        const char* message;
    } rows[] = {
        {"hello world", "Error in EPD position description"},
        {"4k3/8/8/8/8/8/8/4K3 x - -", "Error in EPD move right description"},
        {"4k3/8/8/8/8/8/8/4K3 w - e5", "Error in EPD ep field description"},
    };
    for (const Row& r : rows) {
        TBoardSetup dialog;
        dialog.SetEPD(QStringLiteral("r3k3/8/8/3pP3/8/8/8/4K2R b Kq -"));
        dialog.show();
        const chess::TBoardRecord before = dialog.Board()->Position().GetBoard();
        const QString epdBefore = dialog.BuildEPD();
        uitest::ModalAnswers answers;
        answers.Then([&](QWidget* d) {
            auto* input = qobject_cast<QInputDialog*>(d);
            ASSERT_NE(input, nullptr);
            input->setTextValue(QLatin1String(r.text));
            input->accept();
        });
        answers.Press(QMessageBox::Ok);
        answers.Press(QMessageBox::Ok); // a second error would be answered here
        dialog.piEnterEPDClick();
        QTest::qWait(100);
        EXPECT_EQ(answers.Texts(), QStringList{QLatin1String(r.message)}) << r.text;
        EXPECT_EQ(dialog.Board()->Position().GetBoard(), before) << r.text;
        EXPECT_EQ(dialog.BuildEPD(), epdBefore) << r.text;
    }
}

TEST(BoardSetup, BoardEditingByClicksAndDrags) {
    uitest::TempProgram program;
    TBoardSetup dialog;
    dialog.show();
    auto* board = dialog.Board();
    const QPoint half(19, 19);
    dialog.SelectPiece(1); // White king
    EXPECT_FALSE(board->DragEnabled());
    QTest::mouseClick(board, Qt::LeftButton, {}, board->SquareOrigin(4) + half);
    dialog.SelectPiece(7); // Black king
    QTest::mouseClick(board, Qt::LeftButton, {}, board->SquareOrigin(74) + half);
    QTest::mouseClick(board, Qt::LeftButton, {}, board->SquareOrigin(75) + half);
    EXPECT_EQ(board->Position().PieceOnSquare(4), 6);
    EXPECT_EQ(board->Position().PieceOnSquare(74), 12);
    QTest::mouseClick(board, Qt::RightButton, {}, board->SquareOrigin(75) + half);
    EXPECT_EQ(board->Position().PieceOnSquare(75), 0);
    dialog.SelectPiece(7); // deselect: dragging again
    EXPECT_EQ(dialog.SelectedButton(), 0);
    EXPECT_TRUE(board->DragEnabled());
    uitest::Drag(board, 4, 14); // to an empty square
    EXPECT_EQ(board->Position().PieceOnSquare(14), 6);
    EXPECT_EQ(board->Position().PieceOnSquare(4), 0);
    uitest::Drag(board, 14, 74); // onto the other colour: replaced
    EXPECT_EQ(board->Position().PieceOnSquare(74), 6);
}
