#include "ui/game/gamewindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "chess/moveentry.h"
#include "chess/notation.h"
#include "chess/rules.h"
#include "pgn/writer.h"
#include "platform/codepage.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "ui/boardsetup/boardsetup.h"
#include "ui/boardview/boardpanel.h"
#include "ui/boardview/chessdiagram.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"
#include "ui/common/widgets.h"
#include "ui/game/smalldialogs.h"
#include "ui/help/helpwindow.h"

namespace quorel::ui {

using namespace quorel::chess;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

const char* const kResults[] = {"*", "1-0", "0-1", "1/2-1/2"};

QLineEdit* Edit(QWidget* parent, const char* name, int maxLength) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(maxLength);
    return e;
}

QLabel* Label(QWidget* parent, const char* name, const char* text) {
    return NamedLabel(parent, name, text);
}

QPushButton* Button(QWidget* parent, const char* name, const char* text) {
    return NamedButton(parent, name, text);
}

QLabel* Panel(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(80);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

QDate ToQDate(double date) {
    const CalendarDate d = DecodeDate(date);
    return QDate(d.year, d.month, d.day);
}

// The built-in "UNKNOWN" picture: a grey silhouette.
QPixmap UnknownPhoto() {
    QPixmap pm(96, 112);
    pm.fill(QColor(225, 225, 225));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 150, 150));
    p.drawEllipse(QRectF(30, 18, 36, 40));
    p.drawRoundedRect(QRectF(16, 64, 64, 60), 28, 28);
    p.setPen(QColor(120, 120, 120));
    p.setBrush(Qt::NoBrush);
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    return pm;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction

TForm2::TForm2(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TForm2"));
    setAttribute(Qt::WA_DeleteOnClose);
    rec_ = TGameRecord::NewGame();
    fileName_ = QLatin1String(kNoName);
    BuildWidgets();
    ApplyLanguage(this);
    RefreshGame(QLatin1String(kNoName));
}

void TForm2::BuildWidgets() {
    const TAppContext& ctx = AppContext();

    // Board with its coordinates.
    board_ = new TChessDiagram2D(this);
    board_->SetColors(ctx.lightColor, ctx.darkColor);
    board_->SetBitmaps(ctx.lightBitmap, ctx.darkBitmap);
    board_->SetUseBitmaps(ctx.useBitmapSquares);
    connect(board_, &TChessDiagram::OnMouseUp, this,
            [this](int from, int to, Qt::MouseButton) { DiagramMouseUp(from, to); });

    // The board grows with the window; its coordinate labels go with it.
    boardPanel_ = new TBoardPanel(board_, this);
    for (int i = 0; i < 8; ++i) {
        rankLabels_[i] = boardPanel_->RankLabel(i);
        fileLabels_[i] = boardPanel_->FileLabel(i);
    }

    // Command buttons.
    auto navButton = [this](const char* name, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(style()->standardIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setAutoRaise(false);
        b->setIconSize(QSize(20, 20));
        return b;
    };
    rewButton_ = navButton("RewButton", QStyle::SP_MediaSkipBackward);
    rewButton_->setText(QStringLiteral("First"));
    backButton_ = navButton("BackButton", QStyle::SP_MediaSeekBackward);
    backButton_->setText(QStringLiteral("Previous"));
    nextButton_ = navButton("NextButton", QStyle::SP_MediaSeekForward);
    nextButton_->setText(QStringLiteral("Next"));
    fwdButton_ = navButton("FwdButton", QStyle::SP_MediaSkipForward);
    fwdButton_->setText(QStringLiteral("Last"));
    connect(rewButton_, &QToolButton::clicked, this, &TForm2::RewButtonClick);
    connect(backButton_, &QToolButton::clicked, this, &TForm2::BackButtonClick);
    connect(nextButton_, &QToolButton::clicked, this, &TForm2::NextButtonClick);
    connect(fwdButton_, &QToolButton::clicked, this, &TForm2::FwdButtonClick);

    messageButton_ = Button(this, "MessageButton", "Create message");
    connect(messageButton_, &QPushButton::clicked, this, &TForm2::CreateMessageButtonClick);
    saveButton_ = Button(this, "SaveButton", "Save");
    reloadButton_ = Button(this, "ReloadButton", "Reload");
    cloneButton_ = Button(this, "CloneButton", "Clone");
    toolsButton_ = Button(this, "ToolsButton", "Tools");
    exitButton_ = Button(this, "ExitButton", "Exit");
    connect(saveButton_, &QPushButton::clicked, this, [this] { SaveButtonClick(); });
    connect(reloadButton_, &QPushButton::clicked, this, &TForm2::ReloadGame);
    connect(cloneButton_, &QPushButton::clicked, this, &TForm2::CloneGame);
    connect(exitButton_, &QPushButton::clicked, this, [this] {
        if (auto* sub = parentWidget(); sub && sub->inherits("QMdiSubWindow"))
            sub->close();
        else
            close();
    });
    BuildToolsMenu();

    auto* commands = new QHBoxLayout;
    commands->setSpacing(4);
    commands->addWidget(rewButton_);
    commands->addWidget(backButton_);
    commands->addWidget(nextButton_);
    commands->addWidget(fwdButton_);
    commands->addSpacing(8);
    commands->addWidget(messageButton_);
    commands->addWidget(saveButton_);
    commands->addWidget(reloadButton_);
    commands->addWidget(cloneButton_);
    commands->addWidget(toolsButton_);
    commands->addWidget(BuildRebelButton());
    commands->addStretch(1);
    commands->addWidget(exitButton_);

    // Pages.
    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("PageControl1"));
    pages_->addTab(BuildMainPage(), QStringLiteral("Main"));
    pages_->addTab(BuildTimePage(), QStringLiteral("Time"));
    pages_->addTab(BuildOptionsPage(), QStringLiteral("Options"));
    pages_->addTab(BuildNotesPage(), QStringLiteral("Notes"));
    bioPage_ = BuildBioPage();
    pages_->addTab(bioPage_, QStringLiteral("Bio"));
    connect(pages_, &QTabWidget::currentChanged, this, [this](int) {
        if (pages_->currentWidget() == bioPage_) SetBio();
    });

    auto* body = new TBoardBesideLayout(boardPanel_, pages_);
    body->setSpacing(6);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(6, 6, 6, 6);
    lay->addLayout(commands);
    lay->addLayout(body, 1);
}

void TForm2::BuildToolsMenu() {
    toolsMenu_ = new QMenu(this);
    toolsMenu_->setObjectName(QStringLiteral("ToolsMenu"));
    auto add = [this](QMenu* menu, const char* name, const char* text, auto slot) {
        auto* a = new QAction(QLatin1String(text), this);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        menu->addAction(a);
        return a;
    };
    add(toolsMenu_, "piReverse", "Reverse the board", &TForm2::ReverseBoard);
    add(toolsMenu_, "piBoardSetup", "Board setup", &TForm2::BoardSetupClick);
    toolsMenu_->addSeparator();
    auto* pgn = toolsMenu_->addMenu(QStringLiteral("PGN"));
    pgn->setObjectName(QStringLiteral("miPGN"));
    actExportFile_ =
        add(pgn, "piExportPGN", "Export game record to PGN file", &TForm2::ExportPgnToFile);
    actExportClipboard_ = add(pgn, "piCopyPGN", "Copy to clipboard", &TForm2::ExportPgnToClipboard);
    pgn->addSeparator();
    actImportFile_ =
        add(pgn, "piImportPGN", "Import games from PGN file", &TForm2::ImportFromPgnFile);
    actImportClipboard_ = add(pgn, "piImportClipboard", "Import game record from clipboard",
                              &TForm2::ImportFromClipboard);
    auto* diagram = toolsMenu_->addMenu(QStringLiteral("Diagram"));
    diagram->setObjectName(QStringLiteral("miDiagram"));
    add(diagram, "piSaveBMP", "Save diagram to BMP file", &TForm2::SaveDiagramToBmp);
    add(diagram, "piCopyBMP", "Copy to clipboard", &TForm2::CopyDiagramToClipboard);
    toolsButton_->setMenu(toolsMenu_);
    // Commands whose window is not part of this program are not offered.
    const TDialogHooks& hooks = DialogHooks();
    actImportFile_->setVisible(bool(hooks.pickPgnGame));
    actImportClipboard_->setVisible(bool(hooks.pickPgnGame));
}

QWidget* TForm2::BuildMainPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabMain"));
    editEvent_ = Edit(page, "EditEvent", 40);
    editSite_ = Edit(page, "EditSite", 40);
    editDate_ = Edit(page, "EditDate", 40);
    editRound_ = Edit(page, "EditRound", 2);
    editRound_->setMaximumWidth(40);
    editECO_ = Edit(page, "EditECOcode", 10);
    editECO_->setMaximumWidth(60);
    editResult_ = new QComboBox(page);
    editResult_->setObjectName(QStringLiteral("EditResult"));
    for (const char* r : kResults)
        editResult_->addItem(QLatin1String(r));
    auto* findDate = Button(page, "FindDateBtn", "...");
    findDate->setMaximumWidth(32);
    connect(findDate, &QPushButton::clicked, this, &TForm2::FindDateBtnClick);

    auto* tags = new QGridLayout;
    tags->addWidget(Label(page, "LabelEvent", "Event"), 0, 0);
    tags->addWidget(editEvent_, 0, 1, 1, 3);
    tags->addWidget(Label(page, "LabelSite", "Site"), 1, 0);
    tags->addWidget(editSite_, 1, 1, 1, 3);
    tags->addWidget(Label(page, "LabelDate", "Date"), 2, 0);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(editDate_);
    dateRow->addWidget(findDate);
    tags->addLayout(dateRow, 2, 1);
    tags->addWidget(Label(page, "LabelRound", "Round"), 2, 2);
    tags->addWidget(editRound_, 2, 3);
    tags->addWidget(Label(page, "LabelResult", "Result"), 3, 0);
    tags->addWidget(editResult_, 3, 1);
    tags->addWidget(Label(page, "LabelECO", "ECO"), 3, 2);
    tags->addWidget(editECO_, 3, 3);
    tags->setColumnStretch(1, 1);

    auto* players = new QGroupBox(QStringLiteral("Players"), page);
    players->setObjectName(QStringLiteral("GroupPlayers"));
    editWhite_ = Edit(players, "EditWhite", 40);
    editBlack_ = Edit(players, "EditBlack", 40);
    editWhiteAddress_ = Edit(players, "EditWhiteAddress", 80);
    editBlackAddress_ = Edit(players, "EditBlackAddress", 80);
    editWhiteElo_ = Edit(players, "EditWhiteElo", 4);
    editBlackElo_ = Edit(players, "EditBlackELO", 4);
    editWhiteCountry_ = Edit(players, "EditWhiteCountry", 3);
    editBlackCountry_ = Edit(players, "EditBlackCountry", 3);
    for (QLineEdit* e : {editWhiteAddress_, editBlackAddress_})
        e->setMinimumWidth(170);
    for (QLineEdit* e : {editWhiteElo_, editBlackElo_})
        e->setMaximumWidth(48);
    for (QLineEdit* e : {editWhiteCountry_, editBlackCountry_})
        e->setMaximumWidth(44);
    findAddress1_ = Button(players, "FindAddress1Btn", "White");
    findAddress2_ = Button(players, "FindAddress2Btn", "Black");
    auto* country1 = Button(players, "CountryBtn1", "?");
    auto* country2 = Button(players, "CountryBtn2", "?");
    for (QPushButton* b : {country1, country2})
        b->setMaximumWidth(26);
    auto* pg = new QGridLayout(players);
    pg->addWidget(Label(players, "LabelName", "Name"), 0, 1);
    pg->addWidget(Label(players, "LabelAddress", "E-mail address"), 0, 2);
    pg->addWidget(Label(players, "LabelElo", "Elo"), 0, 3);
    pg->addWidget(Label(players, "LabelCountry", "Country"), 0, 4, 1, 2);
    // Without the address book the rows are named by labels instead.
    auto* rowWhite = Label(players, "LabelWhite", "White");
    auto* rowBlack = Label(players, "LabelBlack", "Black");
    rowWhite->setVisible(!DialogHooks().pickAddress);
    rowBlack->setVisible(!DialogHooks().pickAddress);
    pg->addWidget(rowWhite, 1, 0);
    pg->addWidget(rowBlack, 2, 0);
    pg->addWidget(findAddress1_, 1, 0);
    pg->addWidget(editWhite_, 1, 1);
    pg->addWidget(editWhiteAddress_, 1, 2);
    pg->addWidget(editWhiteElo_, 1, 3);
    pg->addWidget(editWhiteCountry_, 1, 4);
    pg->addWidget(country1, 1, 5);
    pg->addWidget(findAddress2_, 2, 0);
    pg->addWidget(editBlack_, 2, 1);
    pg->addWidget(editBlackAddress_, 2, 2);
    pg->addWidget(editBlackElo_, 2, 3);
    pg->addWidget(editBlackCountry_, 2, 4);
    pg->addWidget(country2, 2, 5);
    pg->setColumnStretch(1, 2);
    pg->setColumnStretch(2, 3);

    moveList_ = new QListWidget(page);
    moveList_->setObjectName(QStringLiteral("MoveList"));
    moveList_->setMinimumHeight(120);
    editIfMove_ = Edit(page, "EditIfMove", 100);

    auto* lay = new QVBoxLayout(page);
    lay->addLayout(tags);
    lay->addWidget(players);
    lay->addWidget(Label(page, "LabelMoves", "Moves"));
    lay->addWidget(moveList_, 1);
    lay->addWidget(Label(page, "LabelIfMove", "If move / Comment"));
    lay->addWidget(editIfMove_);
    lay->addWidget(BuildRebelPanel(page), 1);

    for (QLineEdit* e : {editEvent_, editSite_, editDate_, editRound_, editECO_, editWhiteAddress_,
                         editBlackAddress_, editWhiteElo_, editBlackElo_, editWhiteCountry_,
                         editBlackCountry_, editIfMove_})
        connect(e, &QLineEdit::textEdited, this, [this] { EditChanged(false); });
    for (QLineEdit* e : {editWhite_, editBlack_})
        connect(e, &QLineEdit::textEdited, this, [this] { EditChanged(true); });
    connect(editResult_, &QComboBox::activated, this, [this] { EditChanged(false); });
    for (QLineEdit* e : {editWhite_, editBlack_, editWhiteAddress_, editBlackAddress_})
        e->installEventFilter(this);

    connect(findAddress1_, &QPushButton::clicked, this, [this] {
        TAddressPick pick;
        if (DialogHooks().pickAddress && DialogHooks().pickAddress(this, pick))
            FillPlayer(true, pick.name, pick.email, pick.country);
    });
    connect(findAddress2_, &QPushButton::clicked, this, [this] {
        TAddressPick pick;
        if (DialogHooks().pickAddress && DialogHooks().pickAddress(this, pick))
            FillPlayer(false, pick.name, pick.email, pick.country);
    });
    findAddress1_->setVisible(bool(DialogHooks().pickAddress));
    findAddress2_->setVisible(bool(DialogHooks().pickAddress));
    auto pickCountry = [this](QLineEdit* target) {
        QString line;
        if (DialogHooks().pickCountry && DialogHooks().pickCountry(this, line) && !line.isEmpty()) {
            target->setText(line.left(3));
            EditChanged(false);
        }
    };
    connect(country1, &QPushButton::clicked, this, [=, this] { pickCountry(editWhiteCountry_); });
    connect(country2, &QPushButton::clicked, this, [=, this] { pickCountry(editBlackCountry_); });
    country1->setVisible(bool(DialogHooks().pickCountry));
    country2->setVisible(bool(DialogHooks().pickCountry));

    connect(moveList_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { MoveListClick(moveList_->row(item)); });
    // Keyboard selection (Up, Down, Home, End, Page keys) moves the board too.
    connect(moveList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) MoveListClick(row);
    });
    connect(moveList_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { MoveListDblClick(moveList_->row(item)); });
    return page;
}

QWidget* TForm2::BuildTimePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabTime"));
    editSendDate_ = new QCheckBox(QStringLiteral("Send Date Register"), page);
    editSendDate_->setObjectName(QStringLiteral("EditSendDate"));
    connect(editSendDate_, &QCheckBox::clicked, this, [this] { EditChanged(false); });

    auto* times = new QGroupBox(QStringLiteral("Time Register"), page);
    times->setObjectName(QStringLiteral("GroupTime"));
    whiteCurrent_ = Panel(times, "WhiteCurrent");
    whiteTotal_ = Panel(times, "WhiteTotal");
    blackCurrent_ = Panel(times, "BlackCurrent");
    blackTotal_ = Panel(times, "BlackTotal");
    auto* tg = new QGridLayout(times);
    tg->addWidget(Label(times, "LabelCurrent", "Current"), 0, 1);
    tg->addWidget(Label(times, "LabelTotal", "Total"), 0, 2);
    tg->addWidget(Label(times, "LabelTimeWhite", "White"), 1, 0);
    tg->addWidget(whiteCurrent_, 1, 1);
    tg->addWidget(whiteTotal_, 1, 2);
    tg->addWidget(Label(times, "LabelTimeBlack", "Black"), 2, 0);
    tg->addWidget(blackCurrent_, 2, 1);
    tg->addWidget(blackTotal_, 2, 2);
    tg->addWidget(Label(times, "LabelDays", "days"), 1, 3);
    tg->setColumnStretch(4, 1);

    auto* dates = new QGroupBox(QStringLiteral("Date Register"), page);
    dates->setObjectName(QStringLiteral("GroupDates"));
    receivedPanel_ = Panel(dates, "ReceivedPanel");
    repliedPanel_ = Panel(dates, "RepliedPanel");
    receivedButton_ = Button(dates, "ReceivedButton", "Calendar");
    repliedButton_ = Button(dates, "RepliedButton", "Calendar");
    receivedToday_ = Button(dates, "ReceivedTodayBtn", "Today");
    repliedToday_ = Button(dates, "RepliedTodayBtn", "Today");
    editPenalization_ = new QSpinBox(dates);
    editPenalization_->setObjectName(QStringLiteral("EditPenalization"));
    editPenalization_->setRange(-127, 127);
    auto* dg = new QGridLayout(dates);
    dg->addWidget(Label(dates, "LabelReceived", "Received:"), 0, 0);
    dg->addWidget(receivedPanel_, 0, 1);
    dg->addWidget(receivedButton_, 0, 2);
    dg->addWidget(receivedToday_, 0, 3);
    dg->addWidget(Label(dates, "LabelReplied", "Replied:"), 1, 0);
    dg->addWidget(repliedPanel_, 1, 1);
    dg->addWidget(repliedButton_, 1, 2);
    dg->addWidget(repliedToday_, 1, 3);
    dg->addWidget(Label(dates, "LabelPenalization", "Penalization"), 2, 0);
    dg->addWidget(editPenalization_, 2, 1);
    dg->setColumnStretch(4, 1);
    connect(receivedButton_, &QPushButton::clicked, this, &TForm2::ReceivedButtonClick);
    connect(repliedButton_, &QPushButton::clicked, this, &TForm2::RepliedButtonClick);
    connect(receivedToday_, &QPushButton::clicked, this, &TForm2::ReceivedTodayBtnClick);
    connect(repliedToday_, &QPushButton::clicked, this, &TForm2::RepliedTodayBtnClick);
    connect(editPenalization_, &QSpinBox::valueChanged, this, [this](int v) {
        if (loading_ || rec_.CurrentPly == 0) return;
        rec_.Move(rec_.CurrentPly).Penalization = int8_t(v);
        SetModified(true);
        SetDates();
        SetTotalDates();
    });

    auto* lay = new QVBoxLayout(page);
    lay->addWidget(editSendDate_);
    lay->addWidget(times);
    lay->addWidget(dates);
    lay->addStretch(1);
    return page;
}

QWidget* TForm2::BuildOptionsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabOptions"));
    editLanguage_ = new QComboBox(page);
    editLanguage_->setObjectName(QStringLiteral("EditLanguage"));
    editLanguage_->addItems({QStringLiteral("English"), QStringLiteral("Spanish"),
                             QStringLiteral("German"), QStringLiteral("Italian"),
                             QStringLiteral("French")});
    editNotationFormat_ = new QComboBox(page);
    editNotationFormat_->setObjectName(QStringLiteral("EditNotationFormat"));
    editNotationFormat_->addItems(
        {QStringLiteral("PGN standard format"), QStringLiteral("PGN extended format"),
         QStringLiteral("Plain text"), QStringLiteral("ICCF format (Postal) numeric"),
         QStringLiteral("ICCF format (postal) algebraic")});
    editSendDiagram_ = new QCheckBox(QStringLiteral("Send diagram"), page);
    editSendDiagram_->setObjectName(QStringLiteral("EditSendDiagram"));
    editSendSignature_ = new QCheckBox(QStringLiteral("Send signature"), page);
    editSendSignature_->setObjectName(QStringLiteral("EditSendSignature"));
    editSendGameFile_ = new QCheckBox(QStringLiteral("Send game attached"), page);
    editSendGameFile_->setObjectName(QStringLiteral("EditSendGameFile"));
    auto* form = new QFormLayout;
    form->addRow(Label(page, "LabelLanguage", "Move list language"), editLanguage_);
    form->addRow(Label(page, "LabelNotation", "Notation"), editNotationFormat_);
    auto* lay = new QVBoxLayout(page);
    lay->addLayout(form);
    lay->addWidget(editSendDiagram_);
    lay->addWidget(editSendSignature_);
    lay->addWidget(editSendGameFile_);
    lay->addStretch(1);
    for (QComboBox* c : {editLanguage_, editNotationFormat_})
        connect(c, &QComboBox::activated, this, [this] { EditChanged(false); });
    for (QCheckBox* c : {editSendDiagram_, editSendSignature_, editSendGameFile_})
        connect(c, &QCheckBox::clicked, this, [this] { EditChanged(false); });
    return page;
}

QWidget* TForm2::BuildNotesPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabNotes"));
    notesMemo_ = new QPlainTextEdit(page);
    notesMemo_->setObjectName(QStringLiteral("NotesMemo"));
    auto* clear = Button(page, "ClearButton", "Clear");
    connect(notesMemo_, &QPlainTextEdit::textChanged, this, [this] {
        if (!loading_) SetModified(true);
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        notesMemo_->clear();
        SetModified(true);
    });
    auto* lay = new QVBoxLayout(page);
    lay->addWidget(notesMemo_, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(clear);
    lay->addLayout(row);
    return page;
}

QWidget* TForm2::BuildBioPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabBio"));
    bioName_ = new QLabel(page);
    bioName_->setObjectName(QStringLiteral("BioName"));
    QFont f = bioName_->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    bioName_->setFont(f);
    bioPhoto_ = new QLabel(page);
    bioPhoto_->setObjectName(QStringLiteral("BioPhoto"));
    bioPhoto_->setFixedSize(100, 116);
    bioPhoto_->setAlignment(Qt::AlignCenter);
    auto ro = [page](const char* name) {
        auto* e = new QLineEdit(page);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(true);
        return e;
    };
    bioAddress_ = ro("BioAddress");
    bioCity_ = ro("BioCity");
    bioState_ = ro("BioState");
    bioZip_ = ro("BioZip");
    bioCountry_ = ro("BioCountry");
    bioNotes_ = new QPlainTextEdit(page);
    bioNotes_->setObjectName(QStringLiteral("BioNotes"));
    bioNotes_->setReadOnly(true);
    bioEdit_ = Button(page, "Button1", "Edit");
    bioAdd_ = Button(page, "Button2", "Add");
    auto* form = new QFormLayout;
    form->addRow(Label(page, "LabelBioAddress", "Address"), bioAddress_);
    form->addRow(Label(page, "LabelBioCity", "City"), bioCity_);
    form->addRow(Label(page, "LabelBioState", "State"), bioState_);
    form->addRow(Label(page, "LabelBioZip", "Postal code"), bioZip_);
    form->addRow(Label(page, "LabelBioCountry", "Country"), bioCountry_);
    auto* top = new QHBoxLayout;
    top->addWidget(bioPhoto_, 0, Qt::AlignTop);
    top->addLayout(form, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bioEdit_);
    buttons->addWidget(bioAdd_);
    auto* lay = new QVBoxLayout(page);
    lay->addWidget(bioName_);
    lay->addLayout(top);
    lay->addWidget(Label(page, "LabelBioNotes", "Notes"));
    lay->addWidget(bioNotes_, 1);
    lay->addLayout(buttons);
    const bool canEdit = bool(DialogHooks().editBioEntry);
    bioEdit_->setVisible(canEdit);
    bioAdd_->setVisible(canEdit);
    connect(bioEdit_, &QPushButton::clicked, this, [this] {
        if (DialogHooks().editBioEntry(this, OpponentName(), OpponentAddress(), false)) SetBio();
    });
    connect(bioAdd_, &QPushButton::clicked, this, [this] {
        if (DialogHooks().editBioEntry(this, OpponentName(), OpponentAddress(), true)) SetBio();
    });
    return page;
}

// ---------------------------------------------------------------------------
// Messages

QString TForm2::Msg(const QString& key) const {
    QString t = LangText(QStringLiteral("TForm2"), key);
    if (t.isEmpty()) t = Q(EnglishText(S(key)));
    return t;
}

QString TForm2::Msg(const TUserMessage& m) const {
    return Q(m.Before) + (m.Key.empty() ? QString() : Msg(Q(m.Key))) + Q(m.After);
}

void TForm2::ShowMessages(const std::vector<TUserMessage>& messages) {
    for (const TUserMessage& m : messages)
        Tell(this, QMessageBox::Warning, QStringLiteral("Quorel"), Msg(m));
}

// ---------------------------------------------------------------------------
// Loading and the fields

bool TForm2::HasFile() const {
    return QFileInfo(fileName_).fileName().compare(QLatin1String(kNoName), Qt::CaseInsensitive) !=
           0;
}

void TForm2::RefreshGame(const QString& fileName) {
    fileName_ = fileName;
    bool loaded = false;
    if (HasFile()) {
        TGameRecord rec;
        TLoadResult r = LoadFromFile(S(AppContext().gamesFolder), S(fileName), rec);
        if (r.Ok) {
            rec_ = rec;
            fileName_ = Q(r.Path.string());
            loaded = true;
        } else {
            ShowMessages(r.Messages);
            // A file that could not be read is never saved over: the window
            // holds a new game, which Save names anew.
            fileName_ = QLatin1String(kNoName);
        }
    }
    if (!loaded) rec_ = TGameRecord::NewGame();
    SetCoordenates();
    Setdata();
    LoadNotes();
    Actualizatablero();
    SetModified(false);
}

void TForm2::LoadNotes() {
    loading_ = true;
    std::string notes;
    if (HasFile()) {
        TUserMessage m;
        if (!LoadNotesFile(S(AppContext().gamesFolder), S(QFileInfo(fileName_).fileName()), notes,
                           &m))
            ShowMessages({m});
    }
    notesMemo_->setPlainText(Q(notes));
    loading_ = false;
}

void TForm2::SetNotes() {
    LoadNotes();
}

void TForm2::Setdata() {
    loading_ = true;
    editEvent_->setText(Q(rec_.Event));
    editSite_->setText(Q(rec_.Site));
    editRound_->setText(Q(rec_.Round));
    editDate_->setText(Q(rec_.Date));
    const QString result = Q(rec_.Result).trimmed();
    const int ri = editResult_->findText(result.isEmpty() ? QStringLiteral("*") : result);
    if (ri >= 0) editResult_->setCurrentIndex(ri); // anything else leaves the list as it was
    editECO_->setText(Q(rec_.ECO));
    editWhite_->setText(Q(rec_.White));
    editBlack_->setText(Q(rec_.Black));
    editWhiteAddress_->setText(Q(rec_.WhiteAddress));
    editBlackAddress_->setText(Q(rec_.BlackAddress));
    editWhiteElo_->setText(Q(rec_.WhiteElo));
    editBlackElo_->setText(Q(rec_.BlackElo));
    editWhiteCountry_->setText(Q(rec_.WhiteCountry));
    editBlackCountry_->setText(Q(rec_.BlackCountry));
    editIfMove_->setText(Q(rec_.IfMove));
    editNotationFormat_->setCurrentIndex(rec_.NotationFormat <= 4 ? rec_.NotationFormat : 0);
    editLanguage_->setCurrentIndex(rec_.MoveListLanguage <= 4 ? rec_.MoveListLanguage : 0);
    editSendDate_->setChecked(rec_.SendDates != 0);
    editSendDiagram_->setChecked(rec_.SendDiagram != 0);
    editSendSignature_->setChecked(rec_.SendSignature != 0);
    editSendGameFile_->setChecked(rec_.SendGameFile != 0);
    loading_ = false;
    SetDates();
    SetTotalDates();
    SetCaption();
    ColourNames();
    updatemovelist();
    if (pages_->currentWidget() == bioPage_) SetBio();
    SetModified(false);
}

void TForm2::GetData() {
    rec_.Event = S(editEvent_->text());
    rec_.Site = S(editSite_->text());
    rec_.Round = S(editRound_->text());
    rec_.Date = S(editDate_->text());
    rec_.Result = S(editResult_->currentText());
    if (rec_.Result.empty()) rec_.Result = "*";
    rec_.ECO = S(editECO_->text());
    rec_.White = S(editWhite_->text());
    rec_.Black = S(editBlack_->text());
    rec_.WhiteAddress = S(editWhiteAddress_->text());
    rec_.BlackAddress = S(editBlackAddress_->text());
    rec_.WhiteElo = S(editWhiteElo_->text());
    rec_.BlackElo = S(editBlackElo_->text());
    rec_.WhiteCountry = S(editWhiteCountry_->text());
    rec_.BlackCountry = S(editBlackCountry_->text());
    rec_.IfMove = S(editIfMove_->text().left(100));
    rec_.NotationFormat = uint8_t(std::max(0, editNotationFormat_->currentIndex()));
    rec_.MoveListLanguage = uint8_t(std::max(0, editLanguage_->currentIndex()));
    rec_.SendDates = editSendDate_->isChecked() ? 1 : 0;
    rec_.SendDiagram = editSendDiagram_->isChecked() ? 1 : 0;
    rec_.SendSignature = editSendSignature_->isChecked() ? 1 : 0;
    rec_.SendGameFile = editSendGameFile_->isChecked() ? 1 : 0;
    rec_.Board = board_->Position().GetBoard();
    // The game file holds Windows-1252 only: say once per window that some
    // letters are saved transliterated.
    if (!property("quorelTransliterationTold").toBool() && rec_.HasTextOutsideCodePage()) {
        setProperty("quorelTransliterationTold", true);
        Tell(this, QMessageBox::Information, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@TextsTransliterated")));
    }
}

void TForm2::EditChanged(bool nameChanged) {
    if (loading_) return;
    SetModified(true);
    if (nameChanged) SetCaption();
}

void TForm2::SetModified(bool on) {
    modified_ = on;
    saveButton_->setEnabled(on);
    reloadButton_->setEnabled(on && HasFile());
    cloneButton_->setEnabled(!on && HasFile());
}

void TForm2::SetCaption() {
    QString w = editWhite_->text(), b = editBlack_->text();
    if (w.isEmpty()) w = QStringLiteral("?");
    if (b.isEmpty()) b = QStringLiteral("?");
    const QString caption = w + QStringLiteral(" - ") + b;
    setWindowTitle(caption);
    emit captionChanged(caption);
}

void TForm2::ColourNames() {
    const bool whiteToMove = WhiteToMove(rec_);
    auto colour = [](QLineEdit* e, bool red) {
        QPalette p = e->palette();
        p.setColor(QPalette::Text, red ? QColor(200, 0, 0) : QColor(0, 0, 0));
        e->setPalette(p);
    };
    colour(editWhite_, whiteToMove);
    colour(editBlack_, !whiteToMove);
}

void TForm2::updatemovelist() {
    const QSignalBlocker quiet(moveList_); // no navigation while the list is rebuilt
    moveList_->clear();
    for (int k = 1; k <= rec_.MoveCount; ++k) {
        const TMoveRecord& m = rec_.Move(k);
        QString line;
        if (IsWhitesRecord(rec_, k))
            line = QString::number(FullMoveCount(k)) + QStringLiteral(".");
        else
            line = QStringLiteral("............ ");
        line += Q(SanOfMove(m, kEnglish)) + Q(AnnotationText(m));
        moveList_->addItem(line);
    }
    SelectMoveLine();
}

void TForm2::SelectMoveLine() {
    const QSignalBlocker quiet(moveList_); // the board is already there
    const int row = int(rec_.CurrentPly) - 1;
    if (row >= 0 && row < moveList_->count()) {
        moveList_->setCurrentRow(row);
        moveList_->scrollToItem(moveList_->item(row));
    } else {
        moveList_->setCurrentRow(-1);
        moveList_->clearSelection();
    }
}

void TForm2::SetDates() {
    const bool any = rec_.CurrentPly > 0 && rec_.CurrentPly <= rec_.MoveCount;
    for (QWidget* w : std::initializer_list<QWidget*>{
             receivedButton_, repliedButton_, receivedToday_, repliedToday_, editPenalization_})
        w->setEnabled(any);
    loading_ = true;
    if (!any) {
        receivedPanel_->clear();
        repliedPanel_->clear();
        whiteCurrent_->clear();
        blackCurrent_->clear();
        editPenalization_->setValue(0);
        loading_ = false;
        return;
    }
    const TMoveRecord& m = rec_.Move(rec_.CurrentPly);
    receivedPanel_->setText(Q(FormatDateTime("mm/dd/yy", m.Received)));
    repliedPanel_->setText(Q(FormatDateTime("mm/dd/yy", m.Replied)));
    editPenalization_->setValue(m.Penalization);
    const QString days = QString::number(ShownMoveThinkingTime(rec_, rec_.CurrentPly));
    const bool whites = IsWhitesRecord(rec_, rec_.CurrentPly);
    whiteCurrent_->setText(whites ? days : QStringLiteral("-"));
    blackCurrent_->setText(whites ? QStringLiteral("-") : days);
    loading_ = false;
}

void TForm2::SetTotalDates() {
    const TThinkingTotals t = ThinkingTotals(rec_);
    whiteTotal_->setText(QString::number(t.ShownWhite()));
    blackTotal_->setText(QString::number(t.ShownBlack()));
}

void TForm2::SetCoordenates() {
    const bool show = AppContext().displayCoordinates;
    const bool reversed = rec_.BoardReversed != 0;
    for (int i = 0; i < 8; ++i) {
        fileLabels_[i]->setText(QString(QChar(reversed ? 'h' - i : 'a' + i)));
        // Rank labels run from the top of the board down.
        rankLabels_[i]->setText(QString::number(reversed ? i + 1 : 8 - i));
    }
    boardPanel_->SetCoordinatesShown(show);
}

void TForm2::Actualizatablero() {
    board_->SetWhiteIsAtBottom(rec_.BoardReversed == 0);
    TChessPosition pos(rec_.Board);
    board_->ShowPosition(pos);
    SetCoordenates();
    MarkLastMove();
}

void TForm2::MarkLastMove() {
    if (rec_.CurrentPly == 0 || rec_.CurrentPly > rec_.MoveCount) return;
    const TMoveRecord& m = rec_.Move(rec_.CurrentPly);
    if (IsEdgeSquare(m.From) || IsEdgeSquare(m.To)) return;
    board_->MarkSquare(m.From, board_->Position().PieceOnSquare(m.From), 1);
    board_->MarkSquare(m.To, board_->Position().PieceOnSquare(m.To), 2);
}

// ---------------------------------------------------------------------------
// Navigation

void TForm2::RebuildStartPosition(TChessPosition& pos) const {
    pos.Initialize();
    if (rec_.SetupPosition == 1) {
        TBoardRecord b;
        TChessPosition setup;
        if (setup.MakeBoardFromEPD(rec_.SetupEPD, b)) pos.SetBoard(b);
    }
}

void TForm2::AfterNavigation() {
    rec_.Board = board_->Position().GetBoard();
    SetDates();
    ColourNames();
    Actualizatablero();
    SelectMoveLine();
    RebelPositionChanged();
}

void TForm2::RewButtonClick() {
    if (rec_.CurrentPly == 0) return;
    SetModified(true);
    rec_.CurrentPly = 0;
    RebuildStartPosition(board_->Position());
    AfterNavigation();
}

void TForm2::BackButtonClick() {
    if (rec_.CurrentPly == 0) return;
    SetModified(true);
    rec_.CurrentPly--;
    ShowPlyFromGame();
    AfterNavigation();
}

// Going back, the position is replayed from the game: taking a move back
// cannot tell the en-passant square the earlier position had.
void TForm2::ShowPlyFromGame() {
    board_->Position() = PositionAtPly(rec_, rec_.CurrentPly);
}

void TForm2::NextButtonClick() {
    if (rec_.CurrentPly >= rec_.MoveCount) return;
    SetModified(true);
    rec_.CurrentPly++;
    MakeMove(board_->Position(), rec_.Move(rec_.CurrentPly));
    AfterNavigation();
}

void TForm2::FwdButtonClick() {
    if (rec_.CurrentPly >= rec_.MoveCount) return;
    SetModified(true);
    while (rec_.CurrentPly < rec_.MoveCount) {
        rec_.CurrentPly++;
        MakeMove(board_->Position(), rec_.Move(rec_.CurrentPly));
    }
    AfterNavigation();
}

void TForm2::MoveListClick(int row) {
    const int target = row + 1;
    if (row < 0 || target > rec_.MoveCount || target == rec_.CurrentPly) {
        SelectMoveLine();
        return;
    }
    SetModified(true);
    if (rec_.CurrentPly > target) {
        rec_.CurrentPly = uint16_t(target);
        ShowPlyFromGame();
    }
    while (rec_.CurrentPly < target) {
        rec_.CurrentPly++;
        MakeMove(board_->Position(), rec_.Move(rec_.CurrentPly));
    }
    // The date register follows the selected move as with the buttons.
    AfterNavigation();
}

void TForm2::MoveListDblClick(int row) {
    const int k = row + 1;
    if (row < 0 || k > rec_.MoveCount) return;
    TDiacriticDialog dialog(this);
    dialog.SetAnnotation(rec_.Move(k).Annotation);
    if (dialog.exec() != QDialog::Accepted) return;
    rec_.Move(k).Annotation = uint8_t(dialog.ChosenAnnotation());
    updatemovelist();
    SetModified(true);
}

// ---------------------------------------------------------------------------
// Move entry

void TForm2::DiagramMouseUp(int from, int to) {
    if (IsEdgeSquare(from) || IsEdgeSquare(to) || from == to) {
        Actualizatablero();
        return;
    }
    GetData();
    const int suggested = board_->LastPromotion();
    auto choose = [this, suggested](bool) {
        TPromotionDialog dialog(this);
        static const int rowOf[6] = {0, 0, 3, 2, 1, 0}; // White code 2..5 → row
        const int code = suggested > 6 ? suggested - 6 : suggested;
        if (code >= 2 && code <= 5) dialog.List()->setCurrentRow(rowOf[code]);
        if (dialog.exec() != QDialog::Accepted) return -1;
        return dialog.List()->currentRow();
    };
    // The move is tried on copies: with an earlier half-move shown, the
    // player is asked before the later moves are dropped.
    TGameRecord rec = rec_;
    TChessPosition pos = board_->Position();
    const bool dropsLaterMoves = rec_.CurrentPly < rec_.MoveCount;
    TMoveEntryResult r = EnterMove(rec, pos, from, to, choose, Now());
    ShowMessages(r.Messages);
    if (!r.Accepted ||
        (dropsLaterMoves &&
         Ask(this, QStringLiteral("Quorel"), Msg(QStringLiteral("@DeleteLaterMoves")),
             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)) {
        Actualizatablero();
        return;
    }
    rec_ = rec;
    board_->Position() = pos;
    Setdata();
    Actualizatablero();
    SetModified(true);
    RebelPositionChanged();
}

// ---------------------------------------------------------------------------
// Dates

bool TForm2::AskDatePlausible(double chosen, bool received) {
    const int k = rec_.CurrentPly;
    double other = 0;
    if (received) {
        if (k <= 1) return true; // no previous move
        other = rec_.Move(k - 1).Replied;
    } else {
        other = rec_.Move(k).Received;
    }
    if (DayNumberOf(chosen) >= DayNumberOf(other)) return true;
    const QString text =
        Msg(QStringLiteral("@DateNotLogical")) + QLatin1Char('"') +
        Msg(received ? QStringLiteral("@ReceivedDate") : QStringLiteral("@RepliedDate")) +
        QStringLiteral("\" < \"") +
        Msg(received ? QStringLiteral("@SentDate") : QStringLiteral("@ReceivedDate2")) +
        QStringLiteral("\"\n") + Msg(QStringLiteral("@ContinueAnyway"));
    return Ask(this, QStringLiteral("Quorel"), text, QMessageBox::Ok | QMessageBox::Cancel,
               QMessageBox::Ok) == QMessageBox::Ok;
}

void TForm2::SetDateFromCalendar(bool received) {
    if (rec_.CurrentPly == 0) return;
    TMoveRecord& m = rec_.Move(rec_.CurrentPly);
    TCalendarDialog dialog(this);
    const double current = received ? m.Received : m.Replied;
    dialog.SetDate(current > 1 ? ToQDate(current) : QDate::currentDate());
    if (dialog.exec() != QDialog::Accepted) return;
    // Both calendars mark the game modified, so a changed date is never
    // lost on close.
    SetModified(true);
    const QDate d = dialog.Date();
    const double chosen = EncodeDate(d.year(), d.month(), d.day());
    if (!AskDatePlausible(chosen, received)) return;
    (received ? m.Received : m.Replied) = chosen;
    SetDates();
    SetTotalDates();
}

void TForm2::ReceivedButtonClick() {
    SetDateFromCalendar(true);
}
void TForm2::RepliedButtonClick() {
    SetDateFromCalendar(false);
}

void TForm2::ReceivedTodayBtnClick() {
    if (rec_.CurrentPly == 0) return;
    SetModified(true);
    rec_.Move(rec_.CurrentPly).Received = Now();
    SetDates();
    SetTotalDates();
}

void TForm2::RepliedTodayBtnClick() {
    if (rec_.CurrentPly == 0) return;
    SetModified(true);
    rec_.Move(rec_.CurrentPly).Replied = Now();
    SetDates();
    SetTotalDates();
}

void TForm2::FindDateBtnClick() {
    TCalendarDialog dialog(this);
    dialog.SetDate(QDate::currentDate());
    if (dialog.exec() != QDialog::Accepted) return;
    const QDate d = dialog.Date();
    editDate_->setText(QStringLiteral("%1.%2.%3").arg(d.year()).arg(d.month()).arg(d.day()));
    EditChanged(false);
}

// ---------------------------------------------------------------------------
// Players

bool TForm2::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::MouseButtonDblClick) {
        const TAppContext& ctx = AppContext();
        if (o == editWhite_ || o == editWhiteAddress_) {
            FillPlayer(true, ctx.userName, ctx.emailAddress, ctx.userCountry);
            return true;
        }
        if (o == editBlack_ || o == editBlackAddress_) {
            FillPlayer(false, ctx.userName, ctx.emailAddress, ctx.userCountry);
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

void TForm2::FillPlayer(bool white, const QString& name, const QString& email,
                        const QString& country) {
    (white ? editWhite_ : editBlack_)->setText(name.left(40));
    (white ? editWhiteAddress_ : editBlackAddress_)->setText(email.left(80));
    (white ? editWhiteCountry_ : editBlackCountry_)->setText(country.left(3));
    EditChanged(true);
}

QString TForm2::OpponentAddress() const {
    const QString me = AppContext().emailAddress;
    if (me.compare(editWhiteAddress_->text(), Qt::CaseInsensitive) == 0)
        return editBlackAddress_->text();
    if (me.compare(editBlackAddress_->text(), Qt::CaseInsensitive) == 0)
        return editWhiteAddress_->text();
    return QStringLiteral("?");
}

QString TForm2::OpponentName() const {
    const QString me = AppContext().emailAddress;
    if (me.compare(editWhiteAddress_->text(), Qt::CaseInsensitive) == 0) return editBlack_->text();
    if (me.compare(editBlackAddress_->text(), Qt::CaseInsensitive) == 0) return editWhite_->text();
    return QStringLiteral("?");
}

void TForm2::SetBio() {
    bioName_->setText(OpponentName());
    std::optional<TBioData> bio;
    if (DialogHooks().findBio) bio = DialogHooks().findBio(OpponentAddress());
    if (bio) {
        bioAddress_->setText(bio->address);
        bioCity_->setText(bio->city);
        bioState_->setText(bio->state);
        bioZip_->setText(bio->zip);
        bioCountry_->setText(bio->country);
        bioNotes_->setPlainText(bio->notes);
        QPixmap photo(bio->photoFile);
        bioPhoto_->setPixmap(photo.isNull() ? UnknownPhoto()
                                            : photo.scaled(bioPhoto_->size(), Qt::KeepAspectRatio,
                                                           Qt::SmoothTransformation));
    } else {
        for (QLineEdit* e : {bioAddress_, bioCity_, bioState_, bioZip_, bioCountry_})
            e->clear();
        bioNotes_->clear();
        bioPhoto_->setPixmap(UnknownPhoto());
    }
    bioEdit_->setEnabled(bio.has_value());
    bioAdd_->setEnabled(!bio.has_value());
}

// ---------------------------------------------------------------------------
// Board orientation and set-up

void TForm2::ReverseBoard() {
    rec_.BoardReversed = rec_.BoardReversed ? 0 : 1;
    SetModified(true);
    Actualizatablero();
}

void TForm2::BoardSetupClick() {
    TChessPosition pos = board_->Position();
    pos.SetWhiteOnMove(WhiteToMove(rec_));
    TBoardSetup dialog(this);
    dialog.SetEPD(Q(pos.GetEPDString()).trimmed());
    if (dialog.exec() != QDialog::Accepted || !dialog.OK()) return;
    if (Ask(this, QStringLiteral("Quorel"), Msg(QStringLiteral("@ResetMoveList")),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) != QMessageBox::Ok)
        return;
    GetData();
    const TGameRecord before = rec_;
    const bool wasModified = modified_;
    const std::string epd = S(dialog.EPD());
    TBoardRecord board;
    TChessPosition setup;
    if (!setup.MakeBoardFromEPD(epd, board)) return;
    rec_.MoveCount = 0;
    rec_.CurrentPly = 0;
    rec_.Board = board;
    rec_.SetupPosition = 1;
    rec_.SetupEPD = epd.substr(0, 89);
    rec_.SetupWhiteFirst = setup.WhiteOnMove() ? 1 : 0;
    RefreshAfterRecordChange();
    SetModified(true);
    if (SideNotToMoveInCheck(rec_, board_->Position())) {
        Tell(this, QMessageBox::Warning, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@KingCannotBeTaken")));
        // The game goes back to the record as it was before the set-up,
        // whether or not it was ever saved (a never-saved game has no file
        // to reload from).
        rec_ = before;
        RefreshAfterRecordChange();
        SetModified(wasModified);
    }
}

void TForm2::RefreshAfterRecordChange() {
    const QString notes = notesMemo_->toPlainText();
    const bool wasModified = modified_;
    Setdata();
    loading_ = true;
    notesMemo_->setPlainText(notes);
    loading_ = false;
    Actualizatablero();
    SetModified(wasModified);
    RebelPositionChanged();
}

// ---------------------------------------------------------------------------
// Saving

bool TForm2::SaveToFile() {
    GetData();
    TSaveResult r =
        chess::SaveToFile(S(AppContext().gamesFolder), S(QFileInfo(fileName_).fileName()), rec_,
                          S(notesMemo_->toPlainText()));
    if (!r.Ok) {
        QString text = Msg(QStringLiteral("@ErrorWrittingToFile"));
        if (!r.Error.empty()) text += QStringLiteral(" : ") + Q(r.Error);
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"), text);
        return false;
    }
    fileName_ = Q(r.Path.string());
    SetModified(false);
    return true;
}

bool TForm2::Savefileas() {
    GetData();
    const QString def = Q(DefaultGameFileName(S(AppContext().gamesFolder), rec_.White, rec_.Black));
    bool ok = false;
    QString name = AskText(this, Msg(QStringLiteral("@SaveFileAs")),
                           Msg(QStringLiteral("@FileName")), def, &ok)
                       .trimmed();
    if (!ok || name.isEmpty()) return false;
    name = QFileInfo(name).fileName(); // never outside the games folder
    if (name.isEmpty()) return false;
    const QString suffix = QFileInfo(name).suffix();
    if (suffix.isEmpty())
        name += QStringLiteral(".QRL");
    else if (suffix.compare(QStringLiteral("QRL"), Qt::CaseInsensitive) != 0)
        name = name.left(name.size() - suffix.size()) + QStringLiteral("QRL");
    const fs::path target = GameFilePath(S(AppContext().gamesFolder), S(name));
    if (fs::exists(target) &&
        Ask(this, QStringLiteral("Quorel"), Msg(QStringLiteral("@FileAlreadyExists")),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
        return false;
    const QString old = fileName_;
    fileName_ = name;
    // The notes page is written with the game, so the notes typed before
    // the first save go to the new notes file as they are.
    if (!SaveToFile()) {
        fileName_ = old;
        SetModified(true);
        return false;
    }
    setWindowTitle(Msg(QStringLiteral("@NewGame")));
    return true;
}

bool TForm2::SaveButtonClick() {
    const bool ok = HasFile() ? SaveToFile() : Savefileas();
    SetCaption();
    SetModified(!ok);
    return ok;
}

void TForm2::ReloadGame() {
    if (!modified_ || !HasFile()) return;
    TGameRecord rec;
    TLoadResult r =
        LoadFromFile(S(AppContext().gamesFolder), S(QFileInfo(fileName_).fileName()), rec);
    if (!r.Ok) {
        ShowMessages(r.Messages);
        return;
    }
    rec_ = rec;
    Setdata();
    LoadNotes();
    Actualizatablero();
    SetModified(false);
    RebelPositionChanged();
}

void TForm2::CloneGame() {
    if (!HasFile()) return;
    TForm2* twin = createSibling ? createSibling() : new TForm2;
    if (!twin) return;
    twin->RefreshGame(fileName_);
    twin->fileName_ = QLatin1String(kNoName);
    twin->SetModified(true);
    twin->show();
}

void TForm2::closeEvent(QCloseEvent* e) {
    if (modified_) {
        const QString text = editWhite_->text() + QStringLiteral("-") + editBlack_->text() +
                             QStringLiteral("\n\n") + Msg(QStringLiteral("@HasChanged"));
        const auto answer =
            Ask(this, QStringLiteral("Quorel"), text,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (answer != QMessageBox::Yes && answer != QMessageBox::No) {
            e->ignore();
            return;
        }
        // A save that fails or is cancelled keeps the window (and the game) open.
        if (answer == QMessageBox::Yes && !SaveButtonClick()) {
            e->ignore();
            return;
        }
    }
    StopRebelOnClose();
    e->accept();
}

void TForm2::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F1) {
        THelpWindow* help = THelpWindow::Instance(window());
        help->show();
        help->raise();
        return;
    }
    // Ctrl+R starts and stops engine analysis.
    if (e->key() == Qt::Key_R && (e->modifiers() & Qt::ControlModifier)) {
        RebelCtrlR();
        return;
    }
    QWidget::keyPressEvent(e);
}

// ---------------------------------------------------------------------------
// Import and export

void TForm2::ImportPickedGame(const TGameRecord& picked) {
    const auto answer =
        Ask(this, QStringLiteral("Quorel"), Msg(QStringLiteral("@PGNImportRecordHeader")),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes) {
        rec_ = picked;
        rec_.CurrentPly = rec_.MoveCount;
    } else if (answer == QMessageBox::No) {
        GetData();
        const int count = std::min<int>(picked.MoveCount, int(kMaxMoveRecords));
        rec_.MoveCount = rec_.CurrentPly = uint16_t(count);
        for (int k = 1; k <= count; ++k) {
            uint8_t src[TMoveRecord::kSize], dst[TMoveRecord::kSize];
            picked.Move(k).ToBytes(src);
            rec_.Move(k).ToBytes(dst);
            std::copy(src, src + 10, dst); // From .. the reserved byte after Check
            rec_.Move(k) = TMoveRecord::FromBytes(dst);
        }
        // The moves only make sense from the start position they were
        // played from.
        rec_.SetupPosition = picked.SetupPosition;
        rec_.SetupEPD = picked.SetupEPD;
        rec_.SetupWhiteFirst = picked.SetupWhiteFirst;
    } else {
        return;
    }
    // Rebuild the position by replaying every move from the start.
    const uint16_t last = rec_.MoveCount;
    rec_.CurrentPly = 0;
    RebuildStartPosition(board_->Position());
    while (rec_.CurrentPly < last) {
        rec_.CurrentPly++;
        MakeMove(board_->Position(), rec_.Move(rec_.CurrentPly));
    }
    rec_.Board = board_->Position().GetBoard();
    Setdata();
    Actualizatablero();
    SetModified(true);
    RebelPositionChanged();
}

void TForm2::ImportFromClipboard() {
    if (!DialogHooks().pickPgnGame) return;
    const QString text = QApplication::clipboard()->text();
    const QString path = QDir(AppContext().programFolder).filePath(QStringLiteral("clipbrd.pgn"));
    std::string bytes = Utf8ToCp1252(S(text));
    bytes = ToCrLf(bytes) + "\r\n\r\n";
    if (!AtomicWriteFile(S(path), bytes)) {
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@ProblemUpdatingClipboard")));
        return;
    }
    TGameRecord picked;
    if (DialogHooks().pickPgnGame(this, path, picked)) ImportPickedGame(picked);
}

void TForm2::ImportFromPgnFile() {
    if (!DialogHooks().pickPgnGame) return;
    const QString file = DialogHooks().choosePgnFile
                             ? DialogHooks().choosePgnFile(this)
                             : QFileDialog::getOpenFileName(
                                   this, Msg(QStringLiteral("@ImportPGNTitle")),
                                   AppContext().programFolder, Msg(QStringLiteral("@PGNFilter")));
    if (file.isEmpty()) return;
    TGameRecord picked;
    if (DialogHooks().pickPgnGame(this, file, picked)) ImportPickedGame(picked);
}

void TForm2::ExportPgnToFile() {
    QString file =
        QFileDialog::getSaveFileName(this, Msg(QStringLiteral("@ExportPGNTitle")),
                                     AppContext().programFolder, QStringLiteral("*.pgn"));
    if (file.isEmpty()) return;
    const QFileInfo info(file);
    file = info.dir().filePath(info.completeBaseName() + QStringLiteral(".pgn"));
    bool overwrite = true;
    if (QFileInfo::exists(file))
        overwrite = AskOverwriteOrAppend(this, Msg(QStringLiteral("@SelectOption")),
                                         QFileInfo(file).fileName(),
                                         Msg(QStringLiteral("@OverwriteFile")),
                                         Msg(QStringLiteral("@AppendFile")));
    GetData();
    const pgn::TWriteResult r = pgn::ExportGameToFile(S(file), rec_, S(editWhite_->text()),
                                                      S(editBlack_->text()), overwrite);
    if (!r.Ok)
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@ErrorWrittingToFile")) + QStringLiteral(" : ") + Q(r.Error));
}

void TForm2::ExportPgnToClipboard() {
    GetData();
    std::string text;
    const pgn::TWriteResult r = pgn::WriteClipboardFile(
        S(AppContext().programFolder), rec_, S(editWhite_->text()), S(editBlack_->text()), &text);
    if (!r.Ok) {
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@ProblemUpdatingClipboard")));
        return;
    }
    QApplication::clipboard()->setText(Q(text));
}

void TForm2::SaveDiagramToBmp() {
    QString file =
        QFileDialog::getSaveFileName(this, Msg(QStringLiteral("@SaveDiagramTitle")),
                                     AppContext().programFolder, QStringLiteral("*.bmp"));
    if (file.isEmpty()) return;
    const QFileInfo info(file);
    file = info.dir().filePath(info.completeBaseName() + QStringLiteral(".BMP"));
    if (!board_->SaveDiagramToFile(file))
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@ErrorWrittingToFile")));
}

void TForm2::CopyDiagramToClipboard() {
    board_->CopyDiagramToClipboard();
}

} // namespace quorel::ui
