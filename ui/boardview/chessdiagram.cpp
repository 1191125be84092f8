#include "ui/boardview/chessdiagram.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"

namespace quorel::ui {

namespace {

// Glyph outlines of the twelve pieces, built once from DejaVu Sans's chess
// symbols at a large size and scaled to each square: vector paths stay sharp
// at every device pixel ratio.
struct PieceGlyphs {
    QPainterPath outline[6]; // white symbols U+2654..U+2659 (K Q R B N P)
    QPainterPath filled[6];  // black symbols U+265A..U+265F
    QRectF bounds[6];
};

const PieceGlyphs& Glyphs() {
    static const PieceGlyphs glyphs = [] {
        if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Sans")))
            QFontDatabase::addApplicationFont(
                QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(200);
        font.setStyleStrategy(QFont::PreferOutline);
        PieceGlyphs g;
        for (int i = 0; i < 6; ++i) {
            g.outline[i].addText(0, 0, font, QString(QChar(char16_t(0x2654 + i))));
            g.filled[i].addText(0, 0, font, QString(QChar(char16_t(0x265A + i))));
            g.bounds[i] = g.outline[i].boundingRect().united(g.filled[i].boundingRect());
        }
        return g;
    }();
    return glyphs;
}

// Piece code 1..6 (pawn..king, either colour after reduction) → glyph index
// in the order K Q R B N P.
int GlyphIndex(int piece) {
    static const int map[7] = {0, 5, 4, 3, 2, 1, 0};
    return map[(piece - 1) % 6 + 1];
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

void TChessDiagram::ShowPosition(const TChessPosition& p) {
    position_ = p;
    Redraw();
}

int TChessDiagram::SquareAtPoint(QPoint p) const {
    if (p.x() < 0 || p.y() < 0 || p.x() >= kBoard || p.y() >= kBoard) return -1;
    const int file = p.x() / kSquare;
    const int rank = 7 - p.y() / kSquare;
    const int sq = rank * 10 + file;
    return whiteIsAtBottom_ ? sq : 77 - sq;
}

QPoint TChessDiagram::SquareOrigin(int square) const {
    const int sq = whiteIsAtBottom_ ? square : 77 - square;
    return {(sq % 10) * kSquare, (7 - sq / 10) * kSquare};
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
    if (piece < 1 || piece > 12) return;
    const PieceGlyphs& g = Glyphs();
    const int i = GlyphIndex(piece);
    const QRectF b = g.bounds[i];
    // Every glyph is scaled by the same factor (taken from the king, the
    // tallest) so that pawns stay smaller than kings; each is centred.
    const QRectF kb = g.bounds[0];
    const double scale = rect.height() * 0.84 / std::max(kb.width(), kb.height());
    QTransform t;
    t.translate(rect.center().x(), rect.center().y() + rect.height() * 0.01);
    t.scale(scale, scale);
    t.translate(-b.center().x(), -b.center().y());
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    if (piece <= 6) {
        p.setBrush(Qt::white);
        p.drawPath(t.map(g.filled[i]));
        p.setBrush(Qt::black);
        p.drawPath(t.map(g.outline[i]));
    } else {
        // A thin light rim keeps black pieces readable on dark squares.
        p.setPen(QPen(QColor(255, 255, 255, 150), 1.0));
        p.setBrush(Qt::black);
        p.drawPath(t.map(g.filled[i]));
    }
    p.restore();
}

void TChessDiagram2D::PaintSquare(QPainter& p, int square, int piece) const {
    const QPoint o = SquareOrigin(square);
    const QRect r(o, QSize(kSquare, kSquare));
    const bool dark = ((square / 10) + (square % 10)) % 2 == 0; // a1 is dark
    const QPixmap& bmp = dark ? darkBitmap_ : lightBitmap_;
    if (useBitmaps_ && !bmp.isNull())
        p.drawTiledPixmap(r, bmp);
    else
        p.fillRect(r, dark ? dark_ : light_);
    auto mark = marks_.find(square);
    if (mark != marks_.end()) {
        const QColor c = mark->second == 1 ? QColor(40, 160, 60, 150) : QColor(230, 190, 30, 160);
        p.fillRect(r, c);
        p.setPen(QPen(c.darker(150), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(r).adjusted(1, 1, -1, -1));
    }
    DrawPiece(p, r, piece);
}

void TChessDiagram2D::PaintBoard(QPainter& p, int skipSquare) const {
    for (int rank = 0; rank < 8; ++rank)
        for (int file = 0; file < 8; ++file) {
            const int sq = rank * 10 + file;
            PaintSquare(p, sq, sq == skipSquare ? 0 : position_.PieceOnSquare(sq));
        }
}

void TChessDiagram2D::RebuildOffscreen(int skipSquare) {
    const qreal dpr = devicePixelRatioF();
    offscreen_ = QPixmap(QSize(kBoard, kBoard) * dpr);
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

void TChessDiagram2D::DrawSquare(int square, int piece) {
    if (offscreen_.isNull()) RebuildOffscreen();
    QPainter p(&offscreen_);
    PaintSquare(p, square, piece);
    update(QRect(SquareOrigin(square), QSize(kSquare, kSquare)));
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
    PaintBoard(p);
    return img;
}

bool TChessDiagram2D::SaveDiagramToFile(const QString& path) const {
    return GetBitmap().save(path, "BMP");
}

void TChessDiagram2D::CopyDiagramToClipboard() const {
    QApplication::clipboard()->setImage(GetBitmap());
}

QRect TChessDiagram2D::DragRect() const {
    return QRect(dragOrigin_, QSize(kSquare, kSquare));
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
    // The square size of the board as it is shown now.
    const qreal size = std::min(width(), height()) / 8.0;
    auto rectOf = [&](int square) {
        const int sq = whiteIsAtBottom_ ? square : 77 - square;
        return QRectF((sq % 10) * size, (7 - sq / 10) * size, size, size);
    };
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
    const QPoint origin = e->position().toPoint() - QPoint(kSquare / 2, kSquare / 2);
    if (origin == dragOrigin_) return;
    const QRect old = DragRect();
    dragOrigin_ = origin;
    // Only the union of the old and the new piece area is repainted.
    update(old.united(DragRect()));
}

void TChessDiagram2D::mouseReleaseEvent(QMouseEvent* e) {
    if (!dragging_ || e->button() != Qt::LeftButton) return;
    dragging_ = false;
    const QPoint centre = dragOrigin_ + QPoint(kSquare / 2, kSquare / 2);
    const int to = SquareAtPoint(centre);
    dropTarget_ = to;
    lastPromotion_ = 0;
    if (dragPiece_ == 1 && to > 69) lastPromotion_ = promotionChoice_;
    if (dragPiece_ == 7 && to >= 0 && to < 8) lastPromotion_ = promotionChoice_ + 6;
    RebuildOffscreen();
    update();
    emit OnMouseUp(lastPressed_, to, e->button());
}

} // namespace quorel::ui
