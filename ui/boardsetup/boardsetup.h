#pragma once
// Board setup (TBoardSetup): composes a start position on a board or from
// an EPD string and hands back a checked EPD text.
#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QMenu;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace quorel::ui {

class TChessDiagram2D;

class TBoardSetup : public QDialog {
    Q_OBJECT
  public:
    explicit TBoardSetup(QWidget* parent = nullptr);

    // The EPD exchanged with the caller: set before showing; after OK the
    // checked EPD of the composed position.
    void SetEPD(const QString& epd) { epd_ = epd; }
    QString EPD() const { return epd_; }
    bool OK() const { return ok_; }
    QString Opcodes() const { return opcodes_; }

    // Empties the board and the controls.
    void ClearControls();
    // Fills the controls from an EPD text; false (after its message) when
    // the text is refused.
    bool FillFromEPD(const QString& epd);
    // The EPD of the controls (placement, side, castling, en passant, opcodes).
    QString BuildEPD() const;
    // The checks of OK in order; returns the first failing message key
    // ("" when the position passes) after applying its correction.
    QString CheckPosition();

    TChessDiagram2D* Board() const { return board_; }
    void SelectPiece(int button); // 1..12, clicking the selected one deselects
    int SelectedButton() const { return selected_; }

    // Tools.
    void piInitialClick();
    void piClearClick();
    void piEnterEPDClick();

    void BtnOKClick();
    void BtnCancelClick();

    QString Msg(const QString& key) const;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void ChessBoardMouseDown(int square, Qt::MouseButton button);
    void ChessBoardMouseUp(int from, int to);
    void UpdateHints();
    void Error(const QString& key, const QString& title = QStringLiteral("QUOREL"));

    TChessDiagram2D* board_;
    QToolButton* pieces_[12];
    QCheckBox *cbWoo_, *cbWooo_, *cbBoo_, *cbBooo_;
    QRadioButton *rbWhite_, *rbBlack_;
    QComboBox* epField_;
    QPushButton *btnOK_, *btnCancel_, *toolsButton_;
    QMenu* toolsMenu_;
    int selected_ = 0;
    QString epd_, opcodes_;
    bool ok_ = false;
};

} // namespace quorel::ui
