// The board view: geometry with both orientations, drops, clicks and
// promotion codes, square styles, the exported picture, the board growing
// with its panel and the finish of the pieces.
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "ui/boardview/boardpanel.h"
#include "ui/boardview/chessdiagram.h"
#include "uitest_util.h"

using namespace quorel;
using quorel::ui::TChessDiagram;
using quorel::ui::TChessDiagram2D;

TEST(BoardView, SquareAtPointFollowsOrientation) {
    TChessDiagram2D board;
    struct Row {
        bool whiteAtBottom;
        QPoint point;
        int square;
    } rows[] = {
        {true, {1, 1}, 70},    // top-left is a8 with White at the bottom
        {true, {303, 303}, 7}, // bottom-right is h1
        {true, {38 * 4 + 5, 38 * 4 + 5}, 34},
        {false, {1, 1}, 7}, // top-left is h1 with Black at the bottom
        {false, {303, 303}, 70},
        {true, {-1, 5}, -1}, // off the board
        {true, {304, 5}, -1},
    };
    for (const Row& r : rows) {
        board.SetWhiteIsAtBottom(r.whiteAtBottom);
        EXPECT_EQ(board.SquareAtPoint(r.point), r.square)
            << r.point.x() << "," << r.point.y() << " white at bottom " << r.whiteAtBottom;
        if (r.square >= 0) {
            EXPECT_EQ(board.SquareAtPoint(board.SquareOrigin(r.square)), r.square);
        }
    }
}

TEST(BoardView, DropGivesTargetAndPromotionCode) {
    struct Row {
        const char* epd;
        int from, to, promotionChoice;
        int expectedTarget, expectedPromotion;
    } rows[] = {
        {"k7/6P1/8/8/8/8/8/K7 w - -", 66, 76, 5, 76, 5}, // g7-g8: queen by default
        {"k7/6P1/8/8/8/8/8/K7 w - -", 66, 76, 2, 76, 2}, // another choice set
        {"k7/8/8/8/8/8/1p6/K7 b - -", 11, 1, 5, 1, 11},  // b2-b1 for Black: code + 6
        {"k7/8/8/8/8/8/4P3/K7 w - -", 14, 24, 5, 24, 0}, // no promotion
    };
    for (const Row& r : rows) {
        TChessDiagram2D board;
        chess::TChessPosition pos;
        chess::TBoardRecord b{};
        ASSERT_TRUE(pos.MakeBoardFromEPD(r.epd, b));
        board.ShowPosition(pos);
        board.SetPromotionChoice(r.promotionChoice);
        int gotFrom = -2, gotTo = -2;
        QObject::connect(&board, &TChessDiagram::OnMouseUp, [&](int f, int t, Qt::MouseButton) {
            gotFrom = f;
            gotTo = t;
        });
        uitest::Drag(&board, r.from, r.to);
        EXPECT_EQ(gotFrom, r.from) << r.epd;
        EXPECT_EQ(gotTo, r.expectedTarget) << r.epd;
        EXPECT_EQ(board.LastPromotion(), r.expectedPromotion) << r.epd;
        EXPECT_FALSE(board.Dragging());
    }
}

TEST(BoardView, ExportedPictureShowsSquaresAndPieces) {
    TChessDiagram2D board;
    board.SetColors(QColor(240, 220, 180), QColor(90, 60, 30));
    board.ShowPosition(chess::TChessPosition());
    const QImage img = board.GetBitmap();
    ASSERT_EQ(img.size(), QSize(304, 304));
    // a3 (dark, empty) and b3 (light, empty): the colours of the settings.
    EXPECT_EQ(img.pixelColor(5, 5 * 38 + 5), QColor(90, 60, 30));
    EXPECT_EQ(img.pixelColor(38 + 5, 5 * 38 + 5), QColor(240, 220, 180));
    // The king on e1 leaves dark outline pixels in the middle of its square.
    int dark = 0;
    for (int y = 7 * 38; y < 8 * 38; ++y)
        for (int x = 4 * 38; x < 5 * 38; ++x)
            if (qGray(img.pixel(x, y)) < 40) ++dark;
    EXPECT_GT(dark, 60);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("d.BMP"));
    ASSERT_TRUE(board.SaveDiagramToFile(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("BM"));
    EXPECT_EQ(QImage::fromData(bytes, "BMP").size(), QSize(304, 304));
}

TEST(BoardView, BitmapSquaresReplaceColoursAndBack) {
    QTemporaryDir dir;
    QImage light(8, 8, QImage::Format_RGB32), dark(8, 8, QImage::Format_RGB32);
    light.fill(QColor(200, 0, 0));
    dark.fill(QColor(0, 0, 200));
    const QString lf = dir.filePath(QStringLiteral("l.bmp")),
                  df = dir.filePath(QStringLiteral("d.bmp"));
    ASSERT_TRUE(light.save(lf) && dark.save(df));
    TChessDiagram2D board;
    board.SetColors(Qt::white, Qt::gray);
    board.SetBitmaps(lf, df);
    board.SetUseBitmaps(true);
    QImage img = board.GetBitmap();
    EXPECT_EQ(img.pixelColor(5, 5 * 38 + 5), QColor(0, 0, 200));      // a3 dark
    EXPECT_EQ(img.pixelColor(38 + 5, 5 * 38 + 5), QColor(200, 0, 0)); // b3 light
    board.SetUseBitmaps(false);
    img = board.GetBitmap();
    EXPECT_EQ(img.pixelColor(5, 5 * 38 + 5), QColor(Qt::gray));
}

TEST(BoardView, MarksAreDrawnUnderThePiece) {
    TChessDiagram2D board;
    board.SetColors(Qt::white, Qt::gray);
    board.ShowPosition(chess::TChessPosition());
    board.MarkSquare(24, 0, 1);
    board.MarkSquare(34, 0, 2);
    EXPECT_EQ(board.MarkAt(24), 1);
    EXPECT_EQ(board.MarkAt(34), 2);
    const QImage img = board.GetBitmap();
    EXPECT_NE(img.pixelColor(4 * 38 + 19, 5 * 38 + 19), QColor(Qt::gray)); // e3 is marked
    board.Redraw();
    EXPECT_EQ(board.MarkAt(24), 0);
}

TEST(BoardView, SecondPressDuringADragOnlyShowsPieceDragging) {
    TChessDiagram2D board;
    board.ShowPosition(chess::TChessPosition());
    board.show();
    int drops = 0;
    QObject::connect(&board, &TChessDiagram::OnMouseUp,
                     [&](int, int, Qt::MouseButton) { ++drops; });
    const QPoint half(19, 19);
    QTest::mousePress(&board, Qt::LeftButton, {}, board.SquareOrigin(14) + half);
    ASSERT_TRUE(board.Dragging());
    QTest::mouseMove(&board, board.SquareOrigin(24) + half);
    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    QTest::mousePress(&board, Qt::RightButton, Qt::NoModifier, board.SquareOrigin(50) + half);
    EXPECT_EQ(answers.Texts(), QStringList{QStringLiteral("piece dragging")});
    EXPECT_EQ(board.LastSquarePressed(), 14);
    EXPECT_EQ(drops, 0);
}

// Click entry: a click selects a piece, a second click gives the move (or
// deselects, or picks another piece of the same colour).
TEST(BoardView, ClickOnAPieceThenOnTheTargetGivesTheMove) {
    struct Row {
        const char* what;
        std::vector<int> clicks;
        int from, to, promotion, selectedAfter;
    } rows[] = {
        {"piece then empty square", {14, 34}, 14, 34, 0, -1},
        {"piece then enemy piece", {6, 70}, 6, 70, 0, -1},
        {"same square twice deselects", {14, 14}, -1, -1, 0, -1},
        {"own piece switches", {14, 13, 33}, 13, 33, 0, -1},
        {"empty square first", {44, 34}, -1, -1, 0, -1},
        {"one click selects", {6}, -1, -1, 0, 6},
        {"pawn to the last rank", {66, 76}, 66, 76, 5, -1},
    };
    for (const Row& r : rows) {
        TChessDiagram2D board;
        chess::TChessPosition pos;
        chess::TBoardRecord b{};
        ASSERT_TRUE(pos.MakeBoardFromEPD("r3k3/6P1/8/8/8/8/PPPPP3/4K1N1 w - -", b));
        board.ShowPosition(pos);
        board.show();
        int from = -1, to = -1, drops = 0;
        QObject::connect(&board, &TChessDiagram::OnMouseUp, [&](int f, int t, Qt::MouseButton) {
            from = f;
            to = t;
            ++drops;
        });
        for (int sq : r.clicks)
            QTest::mouseClick(&board, Qt::LeftButton, {}, board.SquareOrigin(sq) + QPoint(19, 19));
        EXPECT_EQ(drops, r.from < 0 ? 0 : 1) << r.what;
        EXPECT_EQ(from, r.from) << r.what;
        EXPECT_EQ(to, r.to) << r.what;
        if (r.from >= 0) {
            EXPECT_EQ(board.LastPromotion(), r.promotion) << r.what;
        }
        EXPECT_EQ(board.SelectedSquare(), r.selectedAfter) << r.what;
    }
}

// The panel gives the board the largest whole squares that fit (38 at the
// least); the pointer maps to squares of that size; the exported picture
// keeps 38-pixel squares.
TEST(BoardView, BoardGrowsWithItsPanelInWholeSquares) {
    TChessDiagram2D* board = new TChessDiagram2D;
    ui::TBoardPanel panel(board);
    panel.show();
    struct Row {
        QSize panel;
        int square;
    } rows[] = {
        {{320, 320}, 38}, {{200, 150}, 38}, {{1000, 700}, 85}, {{500, 900}, 60}, {{816, 816}, 100},
    };
    for (const Row& r : rows) {
        panel.resize(r.panel);
        EXPECT_EQ(board->SquareSize(), r.square) << r.panel.width() << "x" << r.panel.height();
        EXPECT_EQ(board->size(), QSize(8 * r.square, 8 * r.square));
        EXPECT_EQ(board->SquareAtPoint({8 * r.square - 1, 8 * r.square - 1}), 7);
        EXPECT_EQ(board->SquareAtPoint({r.square, r.square - 1}), 71);
        EXPECT_EQ(panel.FileLabel(7)->geometry(),
                  QRect(ui::TBoardPanel::kLabel + 7 * r.square, 8 * r.square, r.square,
                        ui::TBoardPanel::kLabel));
        EXPECT_EQ(board->GetBitmap().size(), QSize(304, 304));
    }
}

// Every piece looks finished on both square colours: no square colour
// showing through inside a piece, and no light rim around a black piece.
TEST(BoardView, PiecesAreFilledAndHaveNoRim) {
    // Not greys: a blend of a piece's black and white could match those.
    const QColor squares[] = {QColor(240, 217, 181), QColor(181, 136, 99), QColor(70, 110, 160),
                              QColor(90, 60, 30)};
    for (const QColor& bg : squares)
        for (int piece = 1; piece <= 12; ++piece) {
            const int n = 76; // a 38-pixel square at device pixel ratio 2
            QImage img(n, n, QImage::Format_RGB32);
            img.fill(bg);
            {
                QPainter p(&img);
                TChessDiagram2D::DrawPiece(p, QRectF(0, 0, n, n), piece);
            }
            // The square's colour reachable from the corner is outside.
            std::vector<char> outside(size_t(n * n), 0);
            std::vector<QPoint> stack{{0, 0}};
            while (!stack.empty()) {
                const QPoint q = stack.back();
                stack.pop_back();
                if (q.x() < 0 || q.y() < 0 || q.x() >= n || q.y() >= n) continue;
                char& o = outside[size_t(q.y() * n + q.x())];
                if (o || img.pixelColor(q) != bg) continue;
                o = 1;
                stack.insert(stack.end(), {q + QPoint(1, 0), q - QPoint(1, 0), q + QPoint(0, 1),
                                           q - QPoint(0, 1)});
            }
            int holes = 0, rim = 0, edges = 0, inked = 0;
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x) {
                    const QColor c = img.pixelColor(x, y);
                    if (outside[size_t(y * n + x)]) continue;
                    ++inked;
                    if (c == bg) ++holes;
                    const bool edge = (x > 0 && outside[size_t(y * n + x - 1)]) ||
                                      (x < n - 1 && outside[size_t(y * n + x + 1)]) ||
                                      (y > 0 && outside[size_t((y - 1) * n + x)]) ||
                                      (y < n - 1 && outside[size_t((y + 1) * n + x)]);
                    edges += edge;
                    if (piece > 6 && edge && qGray(c.rgb()) > qGray(bg.rgb()) + 24) ++rim;
                }
            EXPECT_GT(inked, n * n / 10) << "piece " << piece;
            EXPECT_EQ(holes, 0) << "piece " << piece << " on " << bg.name().toStdString();
            // A light line inside a black piece may end at its outline; a
            // rim would light up the whole outline.
            EXPECT_LT(rim * 20, edges) << "piece " << piece << " on " << bg.name().toStdString();
        }
}
