#pragma once
// The board view: one chess position drawn as an 8x8 diagram of square
// squares of whole logical pixels, 38 by default and at the least (304x304);
// the owner may give it bigger squares (SetSquareSize) as its window grows.
// Pieces are SVG pictures drawn at the device's resolution, so the board stays
// sharp on high-DPI screens. Mouse drags, and a click on a piece followed by a
// click on the target square, become square pairs for the owner.
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <map>

#include "chess/position.h"

namespace quorel::ui {

using chess::TChessPosition;

// Base class: position, orientation, version and the drag bookkeeping.
class TChessDiagram : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kSquare = 38;
    static constexpr int kBoard = 8 * kSquare; // 304

    explicit TChessDiagram(QWidget* parent = nullptr);

    // Side of one square in logical pixels (kSquare unless the owner chose
    // more); the widget is 8 squares wide and high.
    int SquareSize() const { return squareSize_; }
    int BoardSize() const { return 8 * squareSize_; }
    // Sets the square size (at least kSquare), resizes the widget and redraws.
    void SetSquareSize(int pixels);
    // The largest whole square size whose board fits in area (at least kSquare).
    static int SquareSizeFor(QSize area);

    QString Version() const { return QStringLiteral("1.0"); }

    bool WhiteIsAtBottom() const { return whiteIsAtBottom_; }
    void SetWhiteIsAtBottom(bool v); // flips and redraws

    // The position shown. ShowPosition copies the position and redraws every
    // square; Position() gives write access for callers that then Redraw().
    void ShowPosition(const TChessPosition& p);
    TChessPosition& Position() { return position_; }
    const TChessPosition& Position() const { return position_; }
    virtual void Redraw() = 0;

    // Square under a logical pixel of the widget (orientation applied);
    // -1 outside the board.
    int SquareAtPoint(QPoint p) const;
    // Top-left logical pixel of a square (orientation applied).
    QPoint SquareOrigin(int square) const;

    int LastSquarePressed() const { return lastPressed_; }
    int DropTarget() const { return dropTarget_; }
    // Piece code a pawn becomes when dropped on its last rank: the White code
    // (2..5); a Black pawn gets code + 6. Default 5 (queen).
    int PromotionChoice() const { return promotionChoice_; }
    void SetPromotionChoice(int whiteCode) { promotionChoice_ = whiteCode; }
    // Promotion code of the last drop: 0 unless a pawn reached its last rank.
    int LastPromotion() const { return lastPromotion_; }
    bool Dragging() const { return dragging_; }
    // With dragging off a press only reports the square (set-up click mode).
    void SetDragEnabled(bool on) { dragEnabled_ = on; }
    bool DragEnabled() const { return dragEnabled_; }

    // Click entry: a piece clicked without being dragged stays selected
    // until the next click, which gives the move (OnMouseUp) unless it hits
    // the selected square again (deselects) or another piece of the same
    // colour (selects that one). -1 when nothing is selected.
    int SelectedSquare() const { return selected_; }
    void ClearSelection();

    // Text of the message shown on a second press during a drag.
    void SetPieceDraggingText(const QString& t) { pieceDraggingText_ = t; }

  signals:
    // A press on a square (before any drag starts).
    void OnMouseDown(int square, Qt::MouseButton button);
    // A drag ended: source and target square (target -1 off the board).
    void OnMouseUp(int from, int to, Qt::MouseButton button);

  protected:
    // Repaints every square without clearing the marks (selection changes).
    virtual void RefreshSquares() = 0;

    TChessPosition position_;
    bool whiteIsAtBottom_ = true;
    int lastPressed_ = -1;
    int dropTarget_ = -1;
    int promotionChoice_ = 5;
    int lastPromotion_ = 0;
    int dragPiece_ = 0;
    bool dragging_ = false;
    bool dragEnabled_ = true;
    int squareSize_ = kSquare;
    int selected_ = -1;
    QPoint dragOrigin_; // top-left of the dragged piece, logical pixels
    QString pieceDraggingText_ = QStringLiteral("piece dragging");
};

// Drawing class: flat colours or tiled square bitmaps, piece glyphs, square
// marks, export to a bitmap file and the clipboard.
class TChessDiagram2D : public TChessDiagram {
    Q_OBJECT
  public:
    explicit TChessDiagram2D(QWidget* parent = nullptr);

    // Square style (settings of the profile). Bitmaps that fail to load fall
    // back to the colours.
    void SetColors(QColor light, QColor dark);
    void SetBitmaps(const QString& lightFile, const QString& darkFile);
    void SetUseBitmaps(bool on);
    bool UseBitmaps() const { return useBitmaps_; }
    QColor LightColor() const { return light_; }
    QColor DarkColor() const { return dark_; }

    void Redraw() override;
    // Paints one square with the given piece (0 = empty) and shows it.
    void DrawSquare(int square, int piece);
    // Highlights a square (kind 1 = first mark, otherwise the second) with
    // the piece drawn on top. Marks are cleared by ClearMarks or Redraw.
    void MarkSquare(int square, int piece, int kind);
    void ClearMarks();
    // Ends a running drag without a drop: the piece is drawn back on its square.
    void CancelDrag();

    // The engine's suggested move: a frame on the from-square (mark kind 1)
    // and a framed tint on the to-square (kind 2), drawn over the board at
    // the current square size. Squares outside the board clear the hint; so
    // do ClearHint and Redraw (a new position). Not part of the exported picture.
    void SetHint(int from, int to);
    void ClearHint();
    int HintFrom() const { return hintFrom_; }
    int HintTo() const { return hintTo_; }
    int MarkAt(int square) const;

    // The 304x304 picture with 38-pixel squares whatever the size shown
    // (device pixel ratio 1), as the exports use it.
    QImage GetBitmap() const;
    // Writes the picture as a Windows bitmap file; false when it fails.
    bool SaveDiagramToFile(const QString& path) const;
    void CopyDiagramToClipboard() const;

    // Draws a piece picture into rect (used by the set-up dialog's buttons).
    static void DrawPiece(QPainter& p, const QRectF& rect, int piece);
    // Paints the whole board (squares, marks, pieces) with squares of the
    // given size (0: the size shown).
    void PaintBoard(QPainter& p, int skipSquare = -1, int squareSize = 0) const;

    QSize sizeHint() const override { return {BoardSize(), BoardSize()}; }
    QSize minimumSizeHint() const override { return {kBoard, kBoard}; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void changeEvent(QEvent*) override;

  private:
    void PaintSquare(QPainter& p, int square, int piece, int size) const;
    void RefreshSquares() override;
    void EmitMove(int from, int to, Qt::MouseButton button);
    void RebuildOffscreen(int skipSquare = -1);
    QRect DragRect() const;
    void PaintHint(QPainter& p) const;

    QColor light_{255, 255, 255};
    QColor dark_{128, 128, 128};
    QPixmap lightBitmap_, darkBitmap_;
    bool useBitmaps_ = false;
    std::map<int, int> marks_; // square -> kind
    QPixmap offscreen_;        // the board without the dragged piece
    int hintFrom_ = -1, hintTo_ = -1;
};

} // namespace quorel::ui
