#include "ui/boardview/chessdiagram.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <array>

#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"

namespace quorel::ui {

namespace {

// The twelve piece pictures (SVG, compiled in as resources), loaded once.
// Each fills a 40x40 tile in which the piece keeps its own size and place,
// so a pawn stays smaller than a king when every tile fills a square.
QSvgRenderer* PieceRenderer(int piece) {
    static const std::array<QSvgRenderer*, 13> renderers = [] {
        static const char* const names[13] = {nullptr, "wp", "wn", "wb", "wr", "wq", "wk",
                                              "bp",    "bn", "bb", "br", "bq", "bk"};
        std::array<QSvgRenderer*, 13> r{};
        for (int i = 1; i <= 12; ++i) {
            r[size_t(i)] = new QSvgRenderer(
                QStringLiteral(":/quorel/pieces/%1.svg").arg(QLatin1String(names[i])));
            // The tiles leave a margin of 3 units or more around every
            // piece; 2 of them are cut so the pieces fill the square better.
            r[size_t(i)]->setViewBox(QRectF(2, 2, 36, 36));
        }
        return r;
    }();
    return piece >= 1 && piece <= 12 ? renderers[size_t(piece)] : nullptr;
}

bool SameColour(int a, int b) {
    return a != 0 && b != 0 && (a <= 6) == (b <= 6);
}

} // namespace

// ---------------------------------------------------------------------------

TChessDiagram::TChessDiagram(QWidget* parent) : QWidget(parent) {
    setFixedSize(kBoard, kBoard);
    setMouseTracking(false);
}

void TChessDiagram::SetWhiteIsAtBottom(bool v) {
    whiteIsAtBottom_ = v;
    Redraw();
}

void TChessDiagram::SetSquareSize(int pixels) {
    pixels = std::max(pixels, int(kSquare));
    if (pixels == squareSize_) return;
    squareSize_ = pixels;
    setFixedSize(BoardSize(), BoardSize());
    RefreshSquares();
}

int TChessDiagram::SquareSizeFor(QSize area) {
    return std::max(int(kSquare), std::min(area.width(), area.height()) / 8);
}

void TChessDiagram::ClearSelection() {
    if (selected_ < 0) return;
    selected_ = -1;
    RefreshSquares();
}

void TChessDiagram::ShowPosition(const TChessPosition& p) {
    position_ = p;
    selected_ = -1; // the piece clicked may be gone
    Redraw();
}

int TChessDiagram::SquareAtPoint(QPoint p) const {
    const int board = BoardSize();
    if (p.x() < 0 || p.y() < 0 || p.x() >= board || p.y() >= board) return -1;
    const int file = p.x() / squareSize_;
    const int rank = 7 - p.y() / squareSize_;
    const int sq = rank * 10 + file;
    return whiteIsAtBottom_ ? sq : 77 - sq;
}

QPoint TChessDiagram::SquareOrigin(int square) const {
    const int sq = whiteIsAtBottom_ ? square : 77 - square;
    return {(sq % 10) * squareSize_, (7 - sq / 10) * squareSize_};
}

// ---------------------------------------------------------------------------

TChessDiagram2D::TChessDiagram2D(QWidget* parent) : TChessDiagram(parent) {
    setObjectName(QStringLiteral("ChessBoard"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    const QString dragging =
        LangText(QStringLiteral("TChessDiagram"), QStringLiteral("@PieceDragging"));
    if (!dragging.isEmpty()) SetPieceDraggingText(dragging);
    Redraw();
}

void TChessDiagram2D::SetColors(QColor light, QColor dark) {
    light_ = light;
    dark_ = dark;
    Redraw();
}

void TChessDiagram2D::SetBitmaps(const QString& lightFile, const QString& darkFile) {
    lightBitmap_ = lightFile.isEmpty() ? QPixmap() : QPixmap(lightFile);
    darkBitmap_ = darkFile.isEmpty() ? QPixmap() : QPixmap(darkFile);
    Redraw();
}

void TChessDiagram2D::SetUseBitmaps(bool on) {
    useBitmaps_ = on;
    Redraw();
}

void TChessDiagram2D::DrawPiece(QPainter& p, const QRectF& rect, int piece) {
    QSvgRenderer* r = PieceRenderer(piece);
    if (!r || !r->isValid()) return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    r->render(&p, rect);
    p.restore();
}

void TChessDiagram2D::PaintSquare(QPainter& p, int square, int piece, int size) const {
    const int sq = whiteIsAtBottom_ ? square : 77 - square;
    const QRect r(QPoint((sq % 10) * size, (7 - sq / 10) * size), QSize(size, size));
    const bool dark = ((square / 10) + (square % 10)) % 2 == 0; // a1 is dark
    const QPixmap& bmp = dark ? darkBitmap_ : lightBitmap_;
    if (useBitmaps_ && !bmp.isNull())
        p.drawTiledPixmap(r, bmp);
    else
        p.fillRect(r, dark ? dark_ : light_);
    const int pen = std::max(2, size / 19);
    auto mark = marks_.find(square);
    if (mark != marks_.end()) {
        const QColor c = mark->second == 1 ? QColor(40, 160, 60, 150) : QColor(230, 190, 30, 160);
        p.fillRect(r, c);
        p.setPen(QPen(c.darker(150), pen));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(r).adjusted(pen / 2.0, pen / 2.0, -pen / 2.0, -pen / 2.0));
    }
    if (square == selected_) {
        const QColor c(40, 110, 220);
        p.fillRect(r, QColor(c.red(), c.green(), c.blue(), 90));
        p.setPen(QPen(c, pen));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(r).adjusted(pen / 2.0, pen / 2.0, -pen / 2.0, -pen / 2.0));
    }
    DrawPiece(p, r, piece);
}

void TChessDiagram2D::PaintBoard(QPainter& p, int skipSquare, int squareSize) const {
    const int size = squareSize > 0 ? squareSize : squareSize_;
    for (int rank = 0; rank < 8; ++rank)
        for (int file = 0; file < 8; ++file) {
            const int sq = rank * 10 + file;
            PaintSquare(p, sq, sq == skipSquare ? 0 : position_.PieceOnSquare(sq), size);
        }
}

void TChessDiagram2D::RebuildOffscreen(int skipSquare) {
    const qreal dpr = devicePixelRatioF();
    offscreen_ = QPixmap(QSize(BoardSize(), BoardSize()) * dpr);
    offscreen_.setDevicePixelRatio(dpr);
    QPainter p(&offscreen_);
    PaintBoard(p, skipSquare);
}

void TChessDiagram2D::Redraw() {
    marks_.clear();
    hintFrom_ = hintTo_ = -1;
    RebuildOffscreen(dragging_ ? lastPressed_ : -1);
    update();
}

void TChessDiagram2D::RefreshSquares() {
    RebuildOffscreen(dragging_ ? lastPressed_ : -1);
    update();
}

void TChessDiagram2D::DrawSquare(int square, int piece) {
    if (offscreen_.isNull()) RebuildOffscreen();
    QPainter p(&offscreen_);
    PaintSquare(p, square, piece, squareSize_);
    update(QRect(SquareOrigin(square), QSize(squareSize_, squareSize_)));
}

void TChessDiagram2D::MarkSquare(int square, int piece, int kind) {
    marks_[square] = kind == 1 ? 1 : 2;
    DrawSquare(square, piece);
}

void TChessDiagram2D::ClearMarks() {
    marks_.clear();
    RebuildOffscreen();
    update();
}

int TChessDiagram2D::MarkAt(int square) const {
    auto it = marks_.find(square);
    return it == marks_.end() ? 0 : it->second;
}

QImage TChessDiagram2D::GetBitmap() const {
    QImage img(kBoard, kBoard, QImage::Format_RGB32);
    QPainter p(&img);
    PaintBoard(p, -1, kSquare);
    return img;
}

bool TChessDiagram2D::SaveDiagramToFile(const QString& path) const {
    return GetBitmap().save(path, "BMP");
}

void TChessDiagram2D::CopyDiagramToClipboard() const {
    QApplication::clipboard()->setImage(GetBitmap());
}

QRect TChessDiagram2D::DragRect() const {
    return QRect(dragOrigin_, QSize(squareSize_, squareSize_));
}

void TChessDiagram2D::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    if (offscreen_.isNull() || !qFuzzyCompare(offscreen_.devicePixelRatio(), devicePixelRatioF()))
        RebuildOffscreen(dragging_ ? lastPressed_ : -1);
    p.drawPixmap(e->rect(), offscreen_,
                 QRectF(QPointF(e->rect().topLeft()) * offscreen_.devicePixelRatio(),
                        QSizeF(e->rect().size()) * offscreen_.devicePixelRatio()));
    PaintHint(p);
    if (dragging_) DrawPiece(p, DragRect(), dragPiece_);
}

void TChessDiagram2D::SetHint(int from, int to) {
    const bool valid = !chess::IsEdgeSquare(from) && !chess::IsEdgeSquare(to);
    hintFrom_ = valid ? from : -1;
    hintTo_ = valid ? to : -1;
    update();
}

void TChessDiagram2D::ClearHint() {
    hintFrom_ = hintTo_ = -1;
    update();
}

void TChessDiagram2D::PaintHint(QPainter& p) const {
    if (hintFrom_ < 0 || hintTo_ < 0) return;
    // The squares at the size the board is shown now.
    const qreal size = SquareSize();
    auto rectOf = [&](int square) { return QRectF(SquareOrigin(square), QSizeF(size, size)); };
    const QColor colour(25, 100, 215);
    const qreal pen = std::max<qreal>(2.0, size * 0.09);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, pen));
    p.drawRect(rectOf(hintFrom_).adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2));
    QColor tint = colour;
    tint.setAlpha(70);
    p.fillRect(rectOf(hintTo_), tint);
    p.drawRect(rectOf(hintTo_).adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2));
    p.restore();
}

void TChessDiagram2D::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ScreenChangeInternal) RebuildOffscreen(dragging_ ? lastPressed_ : -1);
    QWidget::changeEvent(e);
}

void TChessDiagram2D::mousePressEvent(QMouseEvent* e) {
    if (dragging_) {
        Tell(this, QMessageBox::Information, QApplication::applicationName(), pieceDraggingText_);
        // The message box took the mouse: a drag whose button is up by now
        // can never end with a drop, so the piece goes back.
        if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) CancelDrag();
        return;
    }
    const int sq = SquareAtPoint(e->position().toPoint());
    if (sq < 0) return;
    lastPressed_ = sq;
    emit OnMouseDown(sq, e->button());
    if (!dragEnabled_ || e->button() != Qt::LeftButton) return;
    const int piece = position_.PieceOnSquare(sq);
    if (selected_ >= 0) {
        // The second click of a click move.
        const int from = selected_;
        const int moving = position_.PieceOnSquare(from);
        ClearSelection();
        if (sq == from) return;
        if (!SameColour(piece, moving)) {
            EmitMove(from, sq, e->button());
            return;
        }
        // Another piece of the same colour: it is picked up instead.
    }
    if (piece == 0) return;
    dragPiece_ = piece;
    dragging_ = true;
    dragOrigin_ = SquareOrigin(sq);
    RebuildOffscreen(sq);
    update(DragRect());
}

void TChessDiagram2D::CancelDrag() {
    if (!dragging_) return;
    dragging_ = false;
    RebuildOffscreen();
    update();
}

void TChessDiagram2D::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_) return;
    if (!(e->buttons() & Qt::LeftButton)) { // released where this view never saw it
        CancelDrag();
        return;
    }
    const QPoint origin = e->position().toPoint() - QPoint(squareSize_ / 2, squareSize_ / 2);
    if (origin == dragOrigin_) return;
    const QRect old = DragRect();
    dragOrigin_ = origin;
    // Only the union of the old and the new piece area is repainted.
    update(old.united(DragRect()));
}

void TChessDiagram2D::mouseReleaseEvent(QMouseEvent* e) {
    if (!dragging_ || e->button() != Qt::LeftButton) return;
    dragging_ = false;
    const QPoint centre = dragOrigin_ + QPoint(squareSize_ / 2, squareSize_ / 2);
    const int to = SquareAtPoint(centre);
    if (to == lastPressed_) {
        // Put down where it was picked up: a click, which selects the piece
        // for a click on its target square.
        selected_ = to;
        RebuildOffscreen();
        update();
        return;
    }
    RebuildOffscreen();
    update();
    EmitMove(lastPressed_, to, e->button());
}

void TChessDiagram2D::EmitMove(int from, int to, Qt::MouseButton button) {
    const int piece = position_.PieceOnSquare(from);
    dropTarget_ = to;
    lastPromotion_ = 0;
    if (piece == 1 && to > 69) lastPromotion_ = promotionChoice_;
    if (piece == 7 && to >= 0 && to < 8) lastPromotion_ = promotionChoice_ + 6;
    emit OnMouseUp(from, to, button);
}

} // namespace quorel::ui
