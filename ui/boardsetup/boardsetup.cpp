#include "ui/boardsetup/boardsetup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/boardview/chessdiagram.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"

namespace quorel::ui {

namespace {

// Piece codes of the twelve buttons: White K Q R B N P, Black k q r b n p.
constexpr int kButtonPiece[12] = {6, 5, 4, 3, 2, 1, 12, 11, 10, 9, 8, 7};
constexpr const char* kButtonName[12] = {"PanelWK", "PanelWQ", "PanelWR", "PanelWB",
                                         "PanelWN", "PanelWP", "PanelBK", "PanelBQ",
                                         "PanelBR", "PanelBB", "PanelBN", "PanelBP"};

// English texts of the dialog's messages (used when a table lacks a key).
QString EnglishOf(const QString& key) {
    static const QHash<QString, QString> texts = {
        {"@ErrorEPD", "Error in EPD description"},
        {"@ErrorEPDRank", "Error in EPD rank description"},
        {"@ErrorEPDPosition", "Error in EPD position description"},
        {"@ErrorEPDMoveRight", "Error in EPD move right description"},
        {"@ErrorEPDEp", "Error in EPD ep field description"},
        {"@NoWhiteKing", "No white king on the board"},
        {"@TooManyWhiteKings", "Too many white kings on the board"},
        {"@NoBlackKing", "No black king on the board"},
        {"@TooManyBlackKings", "Too many black kings on the board"},
        {"@TooManyWhiteQueens", "Too many white queens on the board"},
        {"@TooManyBlackQueens", "Too many black queens on the board"},
        {"@TooManyWhiteRooks", "Too many white rooks on the board"},
        {"@TooManyBlackRooks", "Too many black rooks on the board"},
        {"@TooManyWhiteBishops", "Too many white bishops on the board"},
        {"@TooManyBlackBishops", "Too many black bishops on the board"},
        {"@TooManyWhiteKnights", "Too many white knights on the board"},
        {"@TooManyBlackKnights", "Too many black knights on the board"},
        {"@TooManyWhitePawns", "Too many white pawns on the board"},
        {"@TooManyBlackPawns", "Too many black pawns on the board"},
        {"@TooManyWhitePieces", "Too many white pieces on the board"},
        {"@TooManyBlackPieces", "Too many black pieces on the board"},
        {"@NoWhiteCastling", "No white castling allowed"},
        {"@NoBlackCastling", "No black castling allowed"},
        {"@NoWhiteShortCastling", "No white short castling allowed"},
        {"@NoWhiteLongCastling", "No white long castling allowed"},
        {"@NoBlackShortCastling", "No black short castling allowed"},
        {"@NoBlackLongCastling", "No black long castling allowed"},
        {"@WhitePawn8th", "No white pawn(s) allowed at 8th rank"},
        {"@BlackPawn8th", "No black pawn(s) allowed at 8th rank"},
        {"@BlackPawn1st", "No black pawn(s) allowed at 1st rank"},
        {"@WhitePawn1st", "No white pawn(s) allowed at 1st rank"},
        {"@EpInvalid", "ep field invalid"},
        {"@EPDInputTitle", "QUOREL: EPD input"},
        {"@EPDInputPrompt", "Enter EPD string"},
        {"@None", "none"},
        {"@HintDrag", "Move pieces by mouse dragging"},
        {"@HintClick", "Position pieces by mouse clicking"},
        {"@HintSelect", "Click to select piece"},
        {"@HintDeselect", "Click to deselect piece"},
    };
    return texts.value(key);
}

int PieceOfLetter(QChar c) {
    static const QString letters = QStringLiteral("PNBRQKpnbrqk");
    const int i = letters.indexOf(c);
    return i < 0 ? 0 : i + 1;
}

QChar LetterOfPiece(int piece) {
    return QStringLiteral("PNBRQKpnbrqk").at(piece - 1);
}

// Splits off the field up to the first blank; rest gets what follows it
// (empty when the text has no blank: the text then ends after this field).
QString Field(const QString& text, QString& rest, bool& more) {
    // text and rest may be the same string: take the field first.
    const int blank = text.indexOf(QLatin1Char(' '));
    const QString field = blank < 0 ? text : text.left(blank);
    more = blank >= 0;
    rest = more ? text.mid(blank + 1) : QString();
    return field;
}

QIcon PieceIcon(int piece) {
    QPixmap pm(QSize(34, 34) * 2);
    pm.setDevicePixelRatio(2);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    TChessDiagram2D::DrawPiece(p, QRectF(0, 0, 34, 34), piece);
    return QIcon(pm);
}

} // namespace

TBoardSetup::TBoardSetup(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TBoardSetup"));
    setWindowTitle(QStringLiteral("Board setup"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    board_ = new TChessDiagram2D(this);
    const TAppContext& ctx = AppContext();
    board_->SetColors(ctx.lightColor, ctx.darkColor);
    board_->SetBitmaps(ctx.lightBitmap, ctx.darkBitmap);
    board_->SetUseBitmaps(ctx.useBitmapSquares);
    connect(board_, &TChessDiagram::OnMouseDown, this, &TBoardSetup::ChessBoardMouseDown);
    connect(board_, &TChessDiagram::OnMouseUp, this,
            [this](int from, int to, Qt::MouseButton) { ChessBoardMouseUp(from, to); });

    auto* pieceGrid = new QGridLayout;
    pieceGrid->setSpacing(2);
    for (int i = 0; i < 12; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(kButtonName[i]));
        b->setCheckable(true);
        b->setIcon(PieceIcon(kButtonPiece[i]));
        b->setIconSize(QSize(34, 34));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setText(QString(LetterOfPiece(kButtonPiece[i])));
        connect(b, &QToolButton::clicked, this, [this, i] { SelectPiece(i + 1); });
        pieces_[i] = b;
        pieceGrid->addWidget(b, i / 6, i % 6);
    }

    auto* castling = new QGroupBox(QStringLiteral("Castling"), this);
    castling->setObjectName(QStringLiteral("GroupCastling"));
    cbWoo_ = new QCheckBox(QStringLiteral("O-O"), castling);
    cbWoo_->setObjectName(QStringLiteral("CBWoo"));
    cbWooo_ = new QCheckBox(QStringLiteral("O-O-O"), castling);
    cbWooo_->setObjectName(QStringLiteral("CBWooo"));
    cbBoo_ = new QCheckBox(QStringLiteral("O-O"), castling);
    cbBoo_->setObjectName(QStringLiteral("CBBoo"));
    cbBooo_ = new QCheckBox(QStringLiteral("O-O-O"), castling);
    cbBooo_->setObjectName(QStringLiteral("CBBooo"));
    auto* cg = new QGridLayout(castling);
    auto* lw = new QLabel(QStringLiteral("White"), castling);
    lw->setObjectName(QStringLiteral("LabelCastleWhite"));
    auto* lb = new QLabel(QStringLiteral("Black"), castling);
    lb->setObjectName(QStringLiteral("LabelCastleBlack"));
    cg->addWidget(lw, 0, 0);
    cg->addWidget(cbWoo_, 0, 1);
    cg->addWidget(cbWooo_, 0, 2);
    cg->addWidget(lb, 1, 0);
    cg->addWidget(cbBoo_, 1, 1);
    cg->addWidget(cbBooo_, 1, 2);

    auto* side = new QGroupBox(QStringLiteral("Side to move"), this);
    side->setObjectName(QStringLiteral("GroupSide"));
    rbWhite_ = new QRadioButton(QStringLiteral("White"), side);
    rbWhite_->setObjectName(QStringLiteral("RBwhite"));
    rbBlack_ = new QRadioButton(QStringLiteral("Black"), side);
    rbBlack_->setObjectName(QStringLiteral("RBblack"));
    rbWhite_->setChecked(true);
    auto* sl = new QHBoxLayout(side);
    sl->addWidget(rbWhite_);
    sl->addWidget(rbBlack_);
    sl->addStretch(1);

    epField_ = new QComboBox(this);
    epField_->setObjectName(QStringLiteral("EPfieldSelect"));
    epField_->addItem(Msg(QStringLiteral("@None")));
    for (int f = 0; f < 8; ++f)
        epField_->addItem(QString(QChar('a' + f)) + QLatin1Char('3'));
    for (int f = 0; f < 8; ++f)
        epField_->addItem(QString(QChar('a' + f)) + QLatin1Char('6'));
    auto* epLabel = new QLabel(QStringLiteral("En passant"), this);
    epLabel->setObjectName(QStringLiteral("LabelEP"));
    auto* epRow = new QHBoxLayout;
    epRow->addWidget(epLabel);
    epRow->addWidget(epField_);
    epRow->addStretch(1);

    toolsButton_ = new QPushButton(QStringLiteral("Tools"), this);
    toolsButton_->setObjectName(QStringLiteral("ToolsButton"));
    toolsButton_->setAutoDefault(false);
    toolsMenu_ = new QMenu(this);
    toolsMenu_->setObjectName(QStringLiteral("ToolsMenu"));
    auto addTool = [this](const char* name, const char* text, void (TBoardSetup::*slot)()) {
        auto* a = toolsMenu_->addAction(QLatin1String(text));
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
    };
    addTool("piInitial", "&Initial position", &TBoardSetup::piInitialClick);
    addTool("piClear", "&Clear board", &TBoardSetup::piClearClick);
    addTool("piEnterEPD", "Enter &EPD string", &TBoardSetup::piEnterEPDClick);
    toolsButton_->setMenu(toolsMenu_);

    btnOK_ = new QPushButton(QStringLiteral("OK"), this);
    btnOK_->setObjectName(QStringLiteral("BtnOK"));
    btnOK_->setDefault(true);
    btnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    btnCancel_->setAutoDefault(false);
    connect(btnOK_, &QPushButton::clicked, this, &TBoardSetup::BtnOKClick);
    connect(btnCancel_, &QPushButton::clicked, this, &TBoardSetup::BtnCancelClick);

    auto* right = new QVBoxLayout;
    right->addLayout(pieceGrid);
    right->addWidget(castling);
    right->addWidget(side);
    right->addLayout(epRow);
    right->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(toolsButton_);
    buttons->addStretch(1);
    buttons->addWidget(btnOK_);
    buttons->addWidget(btnCancel_);
    right->addLayout(buttons);
    auto* lay = new QHBoxLayout(this);
    lay->addWidget(board_, 0, Qt::AlignTop);
    lay->addLayout(right);

    ApplyLanguage(this);
    UpdateHints();
}

QString TBoardSetup::Msg(const QString& key) const {
    QString t = LangText(QStringLiteral("TBoardSetup"), key);
    return t.isEmpty() ? EnglishOf(key) : t;
}

void TBoardSetup::Error(const QString& key, const QString& title) {
    Tell(this, QMessageBox::Critical, title, Msg(key));
}

void TBoardSetup::showEvent(QShowEvent* e) {
    ClearControls();
    if (!epd_.isEmpty() && !FillFromEPD(epd_)) {
        Error(QStringLiteral("@ErrorEPD"), QStringLiteral("Quorel"));
        ClearControls();
    }
    QDialog::showEvent(e);
}

void TBoardSetup::ClearControls() {
    TChessPosition empty;
    empty.SetBoard(chess::TBoardRecord{});
    board_->ShowPosition(empty);
    if (selected_) SelectPiece(selected_); // deselect
    for (QCheckBox* c : {cbWoo_, cbWooo_, cbBoo_, cbBooo_})
        c->setChecked(false);
    epField_->setCurrentIndex(0);
}

bool TBoardSetup::FillFromEPD(const QString& text) {
    TChessPosition& pos = board_->Position();
    QString rest;
    bool more = false;
    // 1. Placement.
    const QString placement = Field(text, rest, more).left(64);
    int rank = 7, file = 0;
    bool ok = true;
    for (QChar c : placement) {
        if (c == QLatin1Char('/')) continue;
        if (c >= QLatin1Char('1') && c <= QLatin1Char('8')) {
            const int n = c.digitValue();
            if (file + n > 9) {
                Error(QStringLiteral("@ErrorEPDRank"));
                return false;
            }
            for (int i = 0; i < n; ++i) {
                if (file < 8 && rank >= 0) pos.PutPieceOnSquare(0, rank * 10 + file);
                if (++file == 8 && rank > 0) {
                    --rank;
                    file = 0;
                }
            }
            continue;
        }
        const int piece = PieceOfLetter(c);
        if (piece == 0 || file > 7) {
            ok = false;
            break;
        }
        pos.PutPieceOnSquare(piece, rank * 10 + file);
        if (++file == 8 && rank > 0) {
            --rank;
            file = 0;
        }
    }
    board_->Redraw();
    if (!ok || rank != 0 || file != 8) {
        Error(QStringLiteral("@ErrorEPDPosition"));
        return false;
    }
    if (!more) return true;
    // 2. Side to move.
    QString field = Field(rest, rest, more);
    if (field == QLatin1String("w"))
        rbWhite_->setChecked(true);
    else if (field == QLatin1String("b"))
        rbBlack_->setChecked(true);
    else {
        Error(QStringLiteral("@ErrorEPDMoveRight"));
        return false;
    }
    if (!more) return true;
    // 3. Castling.
    field = Field(rest, rest, more);
    if (field != QLatin1String("-")) {
        for (QChar c : field) {
            if (c == QLatin1Char('K'))
                cbWoo_->setChecked(true);
            else if (c == QLatin1Char('Q'))
                cbWooo_->setChecked(true);
            else if (c == QLatin1Char('k'))
                cbBoo_->setChecked(true);
            else if (c == QLatin1Char('q'))
                cbBooo_->setChecked(true);
            else
                break;
        }
    }
    if (!more) return true;
    // 4. En passant.
    field = Field(rest, rest, more);
    if (field != QLatin1String("-")) {
        const int item = epField_->findText(field.left(2));
        if (field.size() < 2 || item <= 0) {
            Error(QStringLiteral("@ErrorEPDEp"));
            return false;
        }
        epField_->setCurrentIndex(item);
    }
    // 5. Whatever follows is kept as the opcode text.
    opcodes_ = more ? rest.trimmed() : QString();
    return true;
}

QString TBoardSetup::BuildEPD() const {
    const TChessPosition& pos = board_->Position();
    QString epd;
    for (int rank = 7; rank >= 0; --rank) {
        int run = 0;
        for (int file = 0; file < 8; ++file) {
            const int piece = pos.PieceOnSquare(rank * 10 + file);
            if (piece == 0) {
                ++run;
                continue;
            }
            if (run) epd += QString::number(run);
            run = 0;
            epd += LetterOfPiece(piece);
        }
        if (run) epd += QString::number(run);
        if (rank > 0) epd += QLatin1Char('/');
    }
    epd += rbBlack_->isChecked() ? QStringLiteral(" b ") : QStringLiteral(" w ");
    QString castling;
    if (cbWoo_->isChecked()) castling += QLatin1Char('K');
    if (cbWooo_->isChecked()) castling += QLatin1Char('Q');
    if (cbBoo_->isChecked()) castling += QLatin1Char('k');
    if (cbBooo_->isChecked()) castling += QLatin1Char('q');
    epd += castling.isEmpty() ? QStringLiteral("-") : castling;
    if (epField_->currentIndex() <= 0)
        epd += QStringLiteral(" -");
    else
        epd += QLatin1Char(' ') + epField_->currentText();
    if (!opcodes_.isEmpty()) epd += QLatin1Char(' ') + opcodes_;
    return epd;
}

QString TBoardSetup::CheckPosition() {
    const TChessPosition& pos = board_->Position();
    int count[13] = {};
    for (int rank = 0; rank < 8; ++rank)
        for (int file = 0; file < 8; ++file)
            count[pos.PieceOnSquare(rank * 10 + file)]++;
    // 1. Kings.
    if (count[6] == 0) return QStringLiteral("@NoWhiteKing");
    if (count[6] > 1) return QStringLiteral("@TooManyWhiteKings");
    if (count[12] == 0) return QStringLiteral("@NoBlackKing");
    if (count[12] > 1) return QStringLiteral("@TooManyBlackKings");
    // 2. Pieces by kind.
    struct Limit {
        int white, black, max;
        const char *whiteKey, *blackKey;
    };
    static const Limit limits[] = {
        {5, 11, 9, "@TooManyWhiteQueens", "@TooManyBlackQueens"},
        {4, 10, 10, "@TooManyWhiteRooks", "@TooManyBlackRooks"},
        {3, 9, 10, "@TooManyWhiteBishops", "@TooManyBlackBishops"},
        {2, 8, 10, "@TooManyWhiteKnights", "@TooManyBlackKnights"},
        {1, 7, 8, "@TooManyWhitePawns", "@TooManyBlackPawns"},
    };
    for (const Limit& l : limits) {
        if (count[l.white] > l.max) return QLatin1String(l.whiteKey);
        if (count[l.black] > l.max) return QLatin1String(l.blackKey);
    }
    // 3. Pieces per colour.
    int white = 0, black = 0;
    for (int p = 1; p <= 6; ++p)
        white += count[p];
    for (int p = 7; p <= 12; ++p)
        black += count[p];
    if (white > 16) return QStringLiteral("@TooManyWhitePieces");
    if (black > 16) return QStringLiteral("@TooManyBlackPieces");
    // 4. Castling rights.
    if ((cbWoo_->isChecked() || cbWooo_->isChecked()) &&
        (pos.PieceOnSquare(4) != 6 || count[4] == 0)) {
        cbWoo_->setChecked(false);
        cbWooo_->setChecked(false);
        return QStringLiteral("@NoWhiteCastling");
    }
    if ((cbBoo_->isChecked() || cbBooo_->isChecked()) &&
        (pos.PieceOnSquare(74) != 12 || count[10] == 0)) {
        cbBoo_->setChecked(false);
        cbBooo_->setChecked(false);
        return QStringLiteral("@NoBlackCastling");
    }
    if (cbWoo_->isChecked() && pos.PieceOnSquare(7) != 4) {
        cbWoo_->setChecked(false);
        return QStringLiteral("@NoWhiteShortCastling");
    }
    if (cbWooo_->isChecked() && pos.PieceOnSquare(0) != 4) {
        cbWooo_->setChecked(false);
        return QStringLiteral("@NoWhiteLongCastling");
    }
    if (cbBoo_->isChecked() && pos.PieceOnSquare(77) != 10) {
        cbBoo_->setChecked(false);
        return QStringLiteral("@NoBlackShortCastling");
    }
    if (cbBooo_->isChecked() && pos.PieceOnSquare(70) != 10) {
        cbBooo_->setChecked(false);
        return QStringLiteral("@NoBlackLongCastling");
    }
    // 5. Pawns on the first and last ranks.
    auto onRank = [&](int piece, int rank) {
        for (int file = 0; file < 8; ++file)
            if (pos.PieceOnSquare(rank * 10 + file) == piece) return true;
        return false;
    };
    if (onRank(1, 7)) return QStringLiteral("@WhitePawn8th");
    if (onRank(7, 7)) return QStringLiteral("@BlackPawn8th");
    if (onRank(7, 0)) return QStringLiteral("@BlackPawn1st");
    if (onRank(1, 0)) return QStringLiteral("@WhitePawn1st");
    // 6. En passant.
    const int item = epField_->currentIndex();
    if (item > 0) {
        const bool whiteToMove = rbWhite_->isChecked();
        bool valid = false;
        if (whiteToMove && item >= 9) {
            const int sq = 50 + (item - 9);
            valid = pos.PieceOnSquare(sq - 10) == 7;
        } else if (!whiteToMove && item >= 1 && item <= 8) {
            const int sq = 20 + (item - 1);
            valid = pos.PieceOnSquare(sq + 10) == 1;
        }
        if (!valid) {
            epField_->setCurrentIndex(0);
            return QStringLiteral("@EpInvalid");
        }
    }
    return {};
}

void TBoardSetup::BtnOKClick() {
    const QString failure = CheckPosition();
    if (!failure.isEmpty()) {
        Error(failure);
        return;
    }
    epd_ = BuildEPD();
    ok_ = true;
    accept();
}

void TBoardSetup::BtnCancelClick() {
    ok_ = false;
    epd_.clear();
    reject();
}

void TBoardSetup::piInitialClick() {
    epd_ = QStringLiteral("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    opcodes_.clear();
    ClearControls();
    if (!FillFromEPD(epd_)) ClearControls();
}

void TBoardSetup::piClearClick() {
    ClearControls();
    epd_.clear();
    opcodes_.clear();
}

void TBoardSetup::piEnterEPDClick() {
    bool ok = false;
    const QString text = AskText(this, Msg(QStringLiteral("@EPDInputTitle")),
                                 Msg(QStringLiteral("@EPDInputPrompt")), QString(), &ok);
    if (!ok || text.isEmpty()) return;
    // A text that fails has shown its own error; the board and the controls
    // go back to what they were.
    const TChessPosition board = board_->Position();
    const bool white = rbWhite_->isChecked();
    const bool castling[4] = {cbWoo_->isChecked(), cbWooo_->isChecked(), cbBoo_->isChecked(),
                              cbBooo_->isChecked()};
    const int ep = epField_->currentIndex();
    const QString epd = epd_, opcodes = opcodes_;
    const int piece = selected_;
    opcodes_.clear();
    ClearControls();
    if (FillFromEPD(text)) {
        epd_ = text;
        return;
    }
    board_->ShowPosition(board);
    (white ? rbWhite_ : rbBlack_)->setChecked(true);
    cbWoo_->setChecked(castling[0]);
    cbWooo_->setChecked(castling[1]);
    cbBoo_->setChecked(castling[2]);
    cbBooo_->setChecked(castling[3]);
    epField_->setCurrentIndex(ep);
    epd_ = epd;
    opcodes_ = opcodes;
    if (piece) SelectPiece(piece);
}

void TBoardSetup::SelectPiece(int button) {
    if (button < 1 || button > 12) return;
    selected_ = selected_ == button ? 0 : button;
    for (int i = 0; i < 12; ++i)
        pieces_[i]->setChecked(selected_ == i + 1);
    board_->SetDragEnabled(selected_ == 0);
    UpdateHints();
}

void TBoardSetup::UpdateHints() {
    const QString boardHint =
        Msg(selected_ ? QStringLiteral("@HintClick") : QStringLiteral("@HintDrag"));
    board_->setToolTip(boardHint);
    board_->setStatusTip(boardHint);
    for (int i = 0; i < 12; ++i) {
        const QString h = Msg(selected_ == i + 1 ? QStringLiteral("@HintDeselect")
                                                 : QStringLiteral("@HintSelect"));
        pieces_[i]->setToolTip(h);
        pieces_[i]->setStatusTip(h);
    }
}

void TBoardSetup::ChessBoardMouseDown(int square, Qt::MouseButton button) {
    TChessPosition& pos = board_->Position();
    if (button == Qt::RightButton) {
        pos.PutPieceOnSquare(0, square);
        board_->Redraw();
    } else if (button == Qt::LeftButton && selected_) {
        pos.PutPieceOnSquare(kButtonPiece[selected_ - 1], square);
        board_->Redraw();
    }
}

void TBoardSetup::ChessBoardMouseUp(int from, int to) {
    TChessPosition& pos = board_->Position();
    if (to < 0 || from == to) {
        board_->Redraw();
        return;
    }
    const int piece = pos.PieceOnSquare(from);
    const int target = pos.PieceOnSquare(to);
    const bool sameColour =
        target != 0 && (chess::IsWhitePiece(piece) == chess::IsWhitePiece(target));
    if (piece != 0 && !sameColour) {
        pos.PutPieceOnSquare(0, from);
        pos.PutPieceOnSquare(piece, to);
    }
    board_->Redraw();
}

} // namespace quorel::ui
