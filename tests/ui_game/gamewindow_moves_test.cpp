// The game window's move entry beside dragging and the last move: clicks,
// entering a move while an earlier half-move is shown (the question, en
// passant after going back), keyboard selection in the move list, and a game
// file that could not be read.
#include <QFile>
#include <QInputDialog>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "chess/rules.h"
#include "ui/boardview/chessdiagram.h"
#include "ui/game/gamewindow.h"
#include "uitest_util.h"

using namespace quorel;
using quorel::ui::TForm2;

namespace {

QListWidget* MoveList(TForm2& w) {
    return w.findChild<QListWidget*>(QStringLiteral("MoveList"));
}

// 1.e4 a6 2.e5 d5 3.Nf3 entered on the board: after 2...d5 the pawn on e5
// may take en passant.
void EnterOpening(TForm2& w) {
    for (auto [from, to] : {std::pair{14, 34}, {60, 50}, {34, 44}, {63, 43}, {6, 25}})
        uitest::Drag(w.Board(), from, to);
    ASSERT_EQ(w.Record().MoveCount, 5);
}

void Click(ui::TChessDiagram* board, int square) {
    const QPoint half(board->SquareSize() / 2, board->SquareSize() / 2);
    QTest::mouseClick(board, Qt::LeftButton, {}, board->SquareOrigin(square) + half);
}

} // namespace

// Back to the position after 2...d5 by each way of going back (the key Up
// in the move list moves the board as a click does), e5xd6 en passant is
// accepted once the player agrees to lose 3.Nf3.
TEST(GameWindowMoves, EnPassantAfterGoingBackDropsLaterMovesOnYes) {
    struct Row {
        const char* way;
        std::function<void(TForm2&)> back;
    } rows[] = {
        {"Previous", [](TForm2& w) { w.BackButtonClick(); }},
        {"click on the line", [](TForm2& w) { w.MoveListClick(3); }},
        {"key Up", [](TForm2& w) {
             MoveList(w)->setFocus();
             QTest::keyClick(MoveList(w), Qt::Key_Up);
         }},
    };
    for (const Row& r : rows) {
        uitest::TempProgram program;
        TForm2 w;
        w.show();
        EnterOpening(w);
        r.back(w);
        ASSERT_EQ(w.Record().CurrentPly, 4) << r.way;
        EXPECT_EQ(w.Board()->Position(), chess::PositionAtPly(w.Record(), 4)) << r.way;
        EXPECT_EQ(w.Board()->Position().EnPassantSquare(), 53) << r.way;
        uitest::ModalAnswers answers;
        answers.Press(QMessageBox::Yes);
        uitest::Drag(w.Board(), 44, 53);
        EXPECT_EQ(answers.Texts(),
                  QStringList{QStringLiteral("The moves after this one will be deleted. Do you "
                                             "want to enter the move?")})
            << r.way;
        const chess::TGameRecord& rec = w.Record();
        ASSERT_EQ(rec.MoveCount, 5) << r.way;
        EXPECT_EQ(rec.CurrentPly, 5) << r.way;
        EXPECT_EQ(rec.Move(5).To, 53) << r.way;
        EXPECT_NE(rec.Move(5).EnPassant, 0) << r.way;
        EXPECT_EQ(w.Board()->Position().PieceOnSquare(43), 0) << r.way; // d5 taken
        EXPECT_EQ(MoveList(w)->item(4)->text(), QStringLiteral("3.exd6 {e.p.}")) << r.way;
    }
}

// No keeps the game exactly as it was, and a move at the end of the game
// asks nothing.
TEST(GameWindowMoves, NoToTheQuestionLeavesTheGameAsItWas) {
    uitest::TempProgram program;
    TForm2 w;
    w.show();
    EnterOpening(w);
    w.MoveListClick(1); // after 1...a6
    const std::string before = w.Record().ToFileBytes();
    const chess::TBoardRecord board = w.Board()->Position().GetBoard();
    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::No);
    uitest::Drag(w.Board(), 34, 44);
    EXPECT_EQ(answers.Texts().size(), 1);
    EXPECT_EQ(w.Record().ToFileBytes(), before);
    EXPECT_EQ(w.Board()->Position().GetBoard(), board);
    EXPECT_EQ(MoveList(w)->count(), 5);
    EXPECT_EQ(MoveList(w)->currentRow(), 1);

    w.FwdButtonClick();
    uitest::ModalAnswers none;
    none.Press(QMessageBox::Yes);
    uitest::Drag(w.Board(), 50, 40); // 3...a5
    EXPECT_TRUE(none.Texts().isEmpty());
    EXPECT_EQ(w.Record().MoveCount, 6);
}

// A click on a piece and a click on the target square make the move; a
// click on an empty square first or on the side not to move makes none.
TEST(GameWindowMoves, ClickThenClickMakesTheMove) {
    uitest::TempProgram program;
    TForm2 w;
    w.show();
    Click(w.Board(), 33); // d4 is empty: nothing selected
    Click(w.Board(), 14);
    EXPECT_EQ(w.Board()->SelectedSquare(), 14);
    Click(w.Board(), 34);
    ASSERT_EQ(w.Record().MoveCount, 1);
    EXPECT_EQ(w.Record().Move(1).From, 14);
    EXPECT_EQ(w.Record().Move(1).To, 34);
    EXPECT_EQ(w.Board()->SelectedSquare(), -1);
    EXPECT_EQ(w.Board()->Position().PieceOnSquare(34), chess::kWhitePawn);
    Click(w.Board(), 11); // a White pawn while Black is to move: refused
    Click(w.Board(), 31);
    EXPECT_EQ(w.Record().MoveCount, 1);
    Click(w.Board(), 66);
    Click(w.Board(), 46);
    EXPECT_EQ(w.Record().MoveCount, 2);
}

// A game file that could not be read is never saved over: Save asks for a
// new name.
TEST(GameWindowMoves, FailedLoadSavesUnderANewName) {
    uitest::TempProgram program;
    program.CopySample(QStringLiteral("BROKEN.QRL"));
    std::string bytes = program.ReadFile(QStringLiteral("BROKEN.QRL"));
    bytes[543] = char(401 & 0xFF); // MoveCount 401: refused on load
    bytes[544] = char(401 >> 8);
    {
        QFile f(program.Games() + QStringLiteral("/BROKEN.QRL"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.data(), qint64(bytes.size()));
    }
    TForm2 w;
    {
        uitest::ModalAnswers answers;
        for (int i = 0; i < 3; ++i)
            answers.Press(QMessageBox::Ok);
        w.RefreshGame(QStringLiteral("BROKEN.QRL"));
        EXPECT_FALSE(answers.Texts().isEmpty());
    }
    w.show();
    uitest::Drag(w.Board(), 14, 34);
    ASSERT_TRUE(w.Modified());
    uitest::ModalAnswers answers;
    bool asked = false;
    answers.Then([&](QWidget* d) {
        auto* input = qobject_cast<QInputDialog*>(d);
        ASSERT_NE(input, nullptr);
        asked = true;
        input->setTextValue(QStringLiteral("rescued"));
        input->accept();
    });
    ASSERT_TRUE(w.SaveButtonClick());
    EXPECT_TRUE(asked);
    EXPECT_EQ(program.ReadFile(QStringLiteral("BROKEN.QRL")), bytes);
    EXPECT_TRUE(w.FileName().endsWith(QStringLiteral("rescued.QRL")));
    EXPECT_EQ(program.ReadFile(QStringLiteral("rescued.QRL")), w.Record().ToFileBytes());
}
