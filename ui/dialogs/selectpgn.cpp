#include "ui/dialogs/selectpgn.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"
#include "ui/dialogs/dlgutil.h"
#include "ui/frame/mainform.h"
#include "ui/game/gamewindow.h"

namespace quorel::ui {

namespace {
const char* const kHeaderKeys[pgn::kPickerColumns] = {"@Site",   "@Event", "@White", "@Black",
                                                      "@Result", "@Date",  "@Eco"};
const char* const kBoxNames[pgn::kPickerColumns] = {
    "EditSite", "EditEvent", "EditWhite", "EditBlack", "EditResult", "EditDate", "EditEco"};
const char* const kLabelNames[pgn::kPickerColumns] = {
    "LabelSite", "LabelEvent", "LabelWhite", "LabelBlack", "LabelResult", "LabelDate", "LabelEco"};
const char* const kLabelTexts[pgn::kPickerColumns] = {"Site",   "Event", "White", "Black",
                                                      "Result", "Date",  "ECO"};
constexpr int kColumnDateIndex = pgn::kColumnDate;
} // namespace

TSelectPGN::TSelectPGN(QWidget* parent) : QDialog(parent), reader_(new pgn::TPGNReader) {
    setObjectName(QStringLiteral("TSelectPGN"));
    setWindowTitle(QStringLiteral("Select PGN game"));

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("GameList"));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(pgn::kPickerColumns);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setAllColumnsShowFocus(true);
    list_->setUniformRowHeights(true);
    list_->header()->setObjectName(QStringLiteral("HeaderControl1"));
    list_->header()->setSectionsClickable(true);
    list_->header()->setSortIndicatorShown(false);
    list_->header()->setStretchLastSection(true);

    auto* filters = new QGroupBox(QStringLiteral("Filter masks"), this);
    filters->setObjectName(QStringLiteral("FilterGroup"));
    auto* grid = new QGridLayout(filters);
    for (int c = 0; c < pgn::kPickerColumns; ++c) {
        auto* label = new QLabel(QLatin1String(kLabelTexts[c]), filters);
        label->setObjectName(QLatin1String(kLabelNames[c]));
        boxes_[c] = new QLineEdit(filters);
        boxes_[c]->setObjectName(QLatin1String(kBoxNames[c]));
        label->setBuddy(boxes_[c]);
        grid->addWidget(label, 0, c);
        grid->addWidget(boxes_[c], 1, c);
    }
    grid->setColumnStretch(0, 1);
    for (int c = 1; c <= 3; ++c)
        grid->setColumnStretch(c, 2);
    for (int c = 4; c <= 6; ++c)
        grid->setColumnStretch(c, 1);

    auto* mode = new QGroupBox(QStringLiteral("Filter mode"), this);
    mode->setObjectName(QStringLiteral("ModeGroup"));
    or_ = new QRadioButton(QStringLiteral("OR comparation"), mode);
    or_->setObjectName(QStringLiteral("OrButton"));
    and_ = new QRadioButton(QStringLiteral("AND comparation"), mode);
    and_->setObjectName(QStringLiteral("AndButton"));
    or_->setChecked(true);
    auto* modeLayout = new QVBoxLayout(mode);
    modeLayout->addWidget(or_);
    modeLayout->addWidget(and_);

    auto button = [this](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    refresh_ = button("RefreshButton", "&Refresh list!");
    clear_ = button("ClearButton", "C&lear filter masks");
    first_ = button("FirstLineButton", "&First line");
    searchButton_ = button("SearchButton", "&+Search");
    newFile_ = button("NewPGNFileButton", "&New PGN file");
    cancel_Button_ = button("CancelButton", "&Cancel");
    ok_ = button("OkButton", "&Ok");
    ok_->setDefault(true);
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("EditSearch"));
    auto* searchLabel = new QLabel(QStringLiteral("Search:"), this);
    searchLabel->setObjectName(QStringLiteral("LabelSearch"));
    searchLabel->setBuddy(search_);

    auto* middle = new QHBoxLayout;
    middle->addWidget(filters, 1);
    middle->addWidget(mode);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(search_, 1);
    searchRow->addWidget(searchButton_);
    searchRow->addWidget(first_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refresh_);
    buttons->addWidget(clear_);
    buttons->addWidget(newFile_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_Button_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(middle);
    layout->addLayout(searchRow);
    layout->addLayout(buttons);

    connect(refresh_, &QPushButton::clicked, this, &TSelectPGN::RefreshList);
    connect(clear_, &QPushButton::clicked, this, &TSelectPGN::ClearButtonClick);
    connect(first_, &QPushButton::clicked, this, &TSelectPGN::FirstLineButtonClick);
    connect(searchButton_, &QPushButton::clicked, this, &TSelectPGN::SearchButtonClick);
    connect(search_, &QLineEdit::returnPressed, this, &TSelectPGN::SearchButtonClick);
    connect(newFile_, &QPushButton::clicked, this, &TSelectPGN::NewPGNFileButtonClick);
    connect(cancel_Button_, &QPushButton::clicked, this, &TSelectPGN::CancelButtonClick);
    connect(ok_, &QPushButton::clicked, this, &TSelectPGN::OkButtonClick);
    connect(and_, &QRadioButton::clicked, this, &TSelectPGN::AndButtonClick);
    connect(or_, &QRadioButton::clicked, this, &TSelectPGN::AndButtonClick);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OkButtonClick(); });
    connect(list_->header(), &QHeaderView::sectionClicked, this,
            &TSelectPGN::HeaderControl1SectionClick);

    ApplyLanguage(this);
    QStringList headers;
    for (const char* key : kHeaderKeys)
        headers << Msg(QLatin1String(key));
    list_->setHeaderLabels(headers);
    // Columns as wide as their characters need in the window's font (a
    // date is digits, which are wider than the average character).
    const int ch = fontMetrics().averageCharWidth();
    for (int c = 0; c < pgn::kPickerColumns - 1; ++c)
        list_->setColumnWidth(c, (std::min(pgn::ColumnWidths[size_t(c)], 24) + 3) * ch);
    list_->setColumnWidth(kColumnDateIndex,
                          fontMetrics().horizontalAdvance(QStringLiteral("0000.00.00")) + 3 * ch);
    list_->setAlternatingRowColors(true);
    resize(std::max(900, 120 * ch), 560);

    reader_->OnMessage = [this](const std::string& text) {
        Tell(this, QMessageBox::Warning, BoxTitle(), QU(text));
    };
}

TSelectPGN::~TSelectPGN() = default;

QString TSelectPGN::Msg(const QString& key) const {
    return LangText(QStringLiteral("TSelectPGN"), key);
}

void TSelectPGN::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // FormActivate: a new file is scanned once the window is on screen, so
    // that the caption can show the progress.
    if (!PGNFileName.isEmpty() && NeedRefresh) {
        NeedRefresh = false;
        QPointer<TSelectPGN> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self && self->isVisible()) self->RefreshList();
        });
    }
}

pgn::TPickerFilter TSelectPGN::Filter() const {
    pgn::TPickerFilter f;
    for (int c = 0; c < pgn::kPickerColumns; ++c)
        f.Boxes[size_t(c)] = SU(boxes_[c]->text());
    f.Mode = and_->isChecked() ? 1 : 0;
    return f;
}

void TSelectPGN::SetBusy(bool busy) {
    scanning_ = busy;
    for (QWidget* w : std::initializer_list<QWidget*>{refresh_, clear_, first_, searchButton_,
                                                      newFile_, ok_, list_, or_, and_})
        w->setEnabled(!busy);
}

void TSelectPGN::RefreshList() {
    if (scanning_) return;
    const QString file = PGNFileName;
    if (file.isEmpty() || !QFileInfo::exists(file)) {
        Tell(this, QMessageBox::Critical, BoxTitle(),
             Msg(QStringLiteral("@ErrorOpening")) + QStringLiteral(" : ") + file);
        return;
    }
    const QString gamesText = Msg(QStringLiteral("@Games"));
    cancel_ = false;
    SetBusy(true);
    list_->clear();
    rows_.clear();
    QPointer<TSelectPGN> self(this);
    // Progress in the caption; the events pumped here keep the window
    // responsive and let Cancel stop the scan.
    auto progress = [this, self, gamesText](long games, uint64_t, uint64_t) {
        if (!self) return;
        setWindowTitle(QString::number(games) + QLatin1Char(' ') + gamesText);
        QApplication::processEvents();
    };
    std::vector<pgn::TPickerRow> rows;
    const pgn::TScanResult r =
        pgn::RefreshList(*reader_, SU(file), Filter(), sortKey_, rows, progress, &cancel_);
    if (!self) return;
    SetBusy(false);
    if (!r.Opened) {
        Tell(this, QMessageBox::Critical, BoxTitle(),
             Msg(QStringLiteral("@ErrorOpening")) + QStringLiteral(" : ") + file);
        return;
    }
    rows_ = std::move(rows);
    if (r.Games == 0 && !r.Cancelled)
        Tell(this, QMessageBox::Critical, BoxTitle(), Msg(QStringLiteral("@CannotFindPGN")));
    setWindowTitle(QU(pgn::RefreshCaption(SU(file), r.Listed, r.Games, SU(gamesText))));
    FillList();
}

void TSelectPGN::FillList() {
    list_->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(rows_.size()));
    for (const pgn::TPickerRow& row : rows_) {
        QStringList cols = QU(row.Text).split(QLatin1Char('\t'));
        for (QString& c : cols)
            c = c.trimmed();
        auto* item = new QTreeWidgetItem(cols);
        item->setData(0, Qt::UserRole, qlonglong(row.Game));
        items << item;
    }
    list_->addTopLevelItems(items);
}

void TSelectPGN::SortList() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const long game = SelectedRow() >= 0 ? rows_[size_t(SelectedRow())].Game : 0;
    pgn::SortRows(rows_, sortKey_);
    FillList();
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].Game == game) SelectRow(int(i));
    QApplication::restoreOverrideCursor();
}

void TSelectPGN::HeaderControl1SectionClick(int column) {
    if (scanning_) return;
    if (pgn::HeaderClick(sortKey_, column)) SortList();
}

int TSelectPGN::SelectedRow() const {
    QTreeWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) return -1;
    return list_->indexOfTopLevelItem(item);
}

void TSelectPGN::SelectRow(int row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (!item) return;
    list_->setCurrentItem(item);
    item->setSelected(true);
    list_->scrollToItem(item);
}

void TSelectPGN::SearchButtonClick() {
    const long found = pgn::FindNextRow(rows_, SelectedRow(), SU(search_->text()));
    if (found < 0) {
        Tell(this, QMessageBox::Critical, BoxTitle(), Msg(QStringLiteral("@NoMoreMatches")));
        return;
    }
    SelectRow(int(found));
}

void TSelectPGN::FirstLineButtonClick() {
    if (SelectedRow() > 0) SelectRow(0);
}

void TSelectPGN::ClearButtonClick() {
    for (QLineEdit* box : boxes_)
        box->clear();
}

void TSelectPGN::AndButtonClick() {
    RefreshList();
}

void TSelectPGN::NewPGNFileButtonClick() {
    const QString dir =
        PGNFileName.isEmpty() ? AppContext().programFolder : QFileInfo(PGNFileName).absolutePath();
    const QString file = QFileDialog::getOpenFileName(this, Msg(QStringLiteral("@OpenPGNTitle")),
                                                      dir, QStringLiteral("*.pgn"));
    if (file.isEmpty()) return;
    PGNFileName = file;
    RefreshList();
}

void TSelectPGN::CancelButtonClick() {
    if (scanning_) {
        cancel_ = true;
        return;
    }
    QDialog::reject();
}

void TSelectPGN::reject() {
    // Escape or closing the window during a scan stops the scan first.
    if (scanning_) {
        cancel_ = true;
        return;
    }
    QDialog::reject();
}

void TSelectPGN::OkButtonClick() {
    if (scanning_) return;
    const int row = SelectedRow();
    if (row < 0) {
        QDialog::reject();
        return;
    }
    const long game = rows_[size_t(row)].Game;
    if (!reader_->OpenFile(SU(PGNFileName))) {
        Tell(this, QMessageBox::Critical, BoxTitle(),
             Msg(QStringLiteral("@ErrorOpening")) + QStringLiteral(" : ") + PGNFileName);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!reader_->SeekGame(game, true)) {
        QApplication::restoreOverrideCursor();
        reader_->CloseFile();
        Tell(this, QMessageBox::Information, BoxTitle(), Msg(QStringLiteral("@GameNotLoaded")));
        return;
    }
    reader_->DebugMode = AppContext().debugMode;
    reader_->ProgramFolder = SU(AppContext().programFolder);
    reader_->BuildGameRecord();
    QApplication::restoreOverrideCursor();
    if (!reader_->ParseError.empty())
        Tell(this, QMessageBox::Critical, BoxTitle(), QU(reader_->ParseError));
    if (!reader_->Notice.empty())
        Tell(this, QMessageBox::Information, BoxTitle(), QU(reader_->Notice));

    if (OpenInNewWindow) {
        TForm2* window = nullptr;
        if (createGameWindow)
            window = createGameWindow();
        else if (TMainForm* frame = FrameOf(parentWidget()))
            window = frame->OpenGameWindow(QLatin1String(TForm2::kNoName));
        if (window) {
            chess::TGameRecord rec = reader_->GameRecord;
            rec.BoardReversed = 0;
            rec.CurrentPly = 0;
            // The record shows its start position: the set-up one, or the
            // initial position (the converter leaves the board empty then).
            if (rec.SetupPosition != 1) rec.Board = chess::TGameRecord::NewGame().Board;
            window->RecordForTest() = rec;
            window->Setdata();
            // Turning the board twice redraws it from the record.
            window->ReverseBoard();
            window->ReverseBoard();
            window->SetModified(true);
        }
        reader_->CloseFile();
    }
    accept();
}

TSelectPGN& PgnPicker() {
    static QPointer<TSelectPGN> picker;
    if (!picker) {
        picker = new TSelectPGN;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, picker.data(),
                         &QObject::deleteLater);
    }
    return *picker;
}

} // namespace quorel::ui
