#include "ui/boardview/boardpanel.h"

#include <QLabel>
#include <QResizeEvent>
#include <algorithm>

#include "ui/boardview/chessdiagram.h"

namespace quorel::ui {

TBoardPanel::TBoardPanel(TChessDiagram* board, QWidget* parent) : QWidget(parent), board_(board) {
    setObjectName(QStringLiteral("BoardPanel"));
    board_->setParent(this);
    for (int i = 0; i < 8; ++i) {
        rankLabels_[i] = new QLabel(this);
        rankLabels_[i]->setObjectName(QStringLiteral("RankLabel%1").arg(i + 1));
        rankLabels_[i]->setAlignment(Qt::AlignCenter);
        fileLabels_[i] = new QLabel(this);
        fileLabels_[i]->setObjectName(QStringLiteral("FileLabel%1").arg(i + 1));
        fileLabels_[i]->setAlignment(Qt::AlignCenter);
    }
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Relayout();
}

void TBoardPanel::SetCoordinatesShown(bool on) {
    shown_ = on;
    for (int i = 0; i < 8; ++i) {
        fileLabels_[i]->setVisible(on);
        rankLabels_[i]->setVisible(on);
    }
    Relayout();
    updateGeometry();
}

int TBoardPanel::WidthFor(int squareSize) const {
    return Margin() + 8 * squareSize;
}

QSize TBoardPanel::sizeHint() const {
    return minimumSizeHint();
}

QSize TBoardPanel::minimumSizeHint() const {
    return {Margin() + TChessDiagram::kBoard, TChessDiagram::kBoard + Margin()};
}

void TBoardPanel::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Relayout();
}

void TBoardPanel::Relayout() {
    const int m = Margin();
    const int s = TChessDiagram::SquareSizeFor(size() - QSize(m, m));
    board_->SetSquareSize(s);
    board_->move(m, 0);
    for (int i = 0; i < 8; ++i) {
        rankLabels_[i]->setGeometry(0, i * s, m, s);
        fileLabels_[i]->setGeometry(m + i * s, 8 * s, s, m);
    }
}

// ---------------------------------------------------------------------------

TBoardBesideLayout::TBoardBesideLayout(TBoardPanel* panel, QWidget* right, QWidget* parent)
    : QLayout(parent), panel_(panel) {
    addWidget(panel);
    addWidget(right);
}

TBoardBesideLayout::~TBoardBesideLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void TBoardBesideLayout::addItem(QLayoutItem* item) {
    items_.append(item);
}

int TBoardBesideLayout::count() const {
    return int(items_.size());
}

QLayoutItem* TBoardBesideLayout::itemAt(int index) const {
    return index >= 0 && index < items_.size() ? items_[index] : nullptr;
}

QLayoutItem* TBoardBesideLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

QSize TBoardBesideLayout::sizeHint() const {
    QSize s;
    for (const QLayoutItem* item : items_) {
        const QSize h = item->sizeHint();
        s.rwidth() += h.width();
        s.rheight() = std::max(s.height(), h.height());
    }
    s.rwidth() += spacing() * std::max(0, int(items_.size()) - 1);
    const QMargins m = contentsMargins();
    return s + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize TBoardBesideLayout::minimumSize() const {
    QSize s;
    for (const QLayoutItem* item : items_) {
        const QSize h = item->minimumSize();
        s.rwidth() += h.width();
        s.rheight() = std::max(s.height(), h.height());
    }
    s.rwidth() += spacing() * std::max(0, int(items_.size()) - 1);
    const QMargins m = contentsMargins();
    return s + QSize(m.left() + m.right(), m.top() + m.bottom());
}

Qt::Orientations TBoardBesideLayout::expandingDirections() const {
    return Qt::Horizontal | Qt::Vertical;
}

void TBoardBesideLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    if (items_.size() < 2) return;
    const QRect r = contentsRect();
    const int gap = std::max(0, spacing());
    QLayoutItem* right = items_[1];
    const int leftMin = items_[0]->minimumSize().width();
    // Room the right widget does not ask for goes to the board, as far as a
    // square board of the full height can use it.
    int left = r.width() - gap - right->sizeHint().width();
    left = std::max(left, r.width() - gap - right->maximumSize().width());
    const int m = panel_->Margin();
    left = std::min(left, panel_->WidthFor(TChessDiagram::SquareSizeFor(
                              QSize(r.width(), r.height() - m))));
    left = std::max(left, leftMin);
    left = std::min(left, std::max(leftMin, r.width() - gap - right->minimumSize().width()));
    items_[0]->setGeometry(QRect(r.x(), r.y(), left, r.height()));
    right->setGeometry(QRect(r.x() + left + gap, r.y(), std::max(0, r.width() - left - gap),
                             r.height()));
}

} // namespace quorel::ui
