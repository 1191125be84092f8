#pragma once
// The board with its coordinates, growing with the window: TBoardPanel holds
// a board view and the sixteen coordinate labels beside it and gives the
// board the largest whole-pixel squares that fit (38 at the least);
// TBoardBesideLayout puts the panel on the left of one other widget and lets
// the board grow only with the room that widget does not ask for.
#include <QLayout>
#include <QWidget>

class QLabel;

namespace quorel::ui {

class TChessDiagram;

class TBoardPanel : public QWidget {
    Q_OBJECT
  public:
    // Width of the rank labels and height of the file labels.
    static constexpr int kLabel = 16;

    // Takes board as its child; creates the labels "FileLabel1".."FileLabel8"
    // (a to h as the board is drawn, left to right) and "RankLabel1".."RankLabel8"
    // (top to bottom).
    explicit TBoardPanel(TChessDiagram* board, QWidget* parent = nullptr);

    QLabel* FileLabel(int i) const { return fileLabels_[i]; }
    QLabel* RankLabel(int i) const { return rankLabels_[i]; }
    // Shows or hides the labels; the board takes their room when hidden.
    void SetCoordinatesShown(bool on);
    bool CoordinatesShown() const { return shown_; }
    int Margin() const { return shown_ ? kLabel : 0; }

    // The panel's width for a board with squares of the given size.
    int WidthFor(int squareSize) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    void Relayout();

    TChessDiagram* board_;
    QLabel* fileLabels_[8]{};
    QLabel* rankLabels_[8]{};
    bool shown_ = true;
};

// Two items: the board panel on the left, one widget on the right. The right
// widget gets its preferred width first; the panel takes the rest, but no
// more than a square board of the full height needs; whatever is left over
// goes to the right widget again.
class TBoardBesideLayout : public QLayout {
    Q_OBJECT
  public:
    TBoardBesideLayout(TBoardPanel* panel, QWidget* right, QWidget* parent = nullptr);
    ~TBoardBesideLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    void setGeometry(const QRect& r) override;

  private:
    TBoardPanel* panel_;
    QList<QLayoutItem*> items_; // [0] the panel, [1] the right widget
};

} // namespace quorel::ui
