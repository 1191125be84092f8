// The game window's engine analysis: the Rebel menu and button, Ctrl+R, the
// panel with the analysis text and the suggested move, the polling timer,
// the engine file after every move and navigation, the seconds dialog and
// the report viewer. The engine is reached only through the window's
// binding (RebelEngine1); the logic without a screen is engine/analysis.h.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/analysis.h"
#include "engine/rebelengine.h"
#include "shell/folders.h"
#include "ui/boardview/chessdiagram.h"
#include "ui/common/appcontext.h"
#include "ui/common/msgbox.h"
#include "ui/game/analysisviewer.h"
#include "ui/game/gamewindow.h"
#include "ui/game/secondsdialog.h"

namespace quorel::ui {

namespace fs = std::filesystem;
using engine::REmode;

// What the window keeps for its analysis. A child object of the window: the
// binding (and with it the engine program) ends when the window is destroyed.
struct TRebelState : QObject {
    using QObject::QObject;
    engine::TRebelEngine RebelEngine1;
    engine::TAnalysisPoll poll; // last analysis line, last hint and its squares
    bool active = false;        // an analysis runs
    bool analyseAll = true;     // ModGame: every move, or only those marked "*"
    bool silver = true;         // the running sign of a game analysis
    fs::path engineFile;
    QStringList lastReport; // the last report, for "Show last report"

    QPushButton* RebelBtn = nullptr;
    QMenu* RebelMenu = nullptr;
    QAction *AnalyzePositionItem = nullptr, *AnalyzegameItem = nullptr,
            *AnalyzeEntireItem = nullptr, *AnalyzeMarkedItem = nullptr, *StopRebel1 = nullptr,
            *ShowReportItem = nullptr;
    QFrame* PanelRebel = nullptr;
    QPlainTextEdit* AnalysisMemo = nullptr;
    QLabel* HintLabel = nullptr;
    QPushButton* CloseRebelBtn = nullptr;
    QTimer* Timer1 = nullptr;
};

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kWhite(0xFF, 0xFF, 0xFF);

void SetMemoColour(QPlainTextEdit* memo, const QColor& text) {
    QPalette p = memo->palette();
    p.setColor(QPalette::Base, QColor(16, 28, 56));
    p.setColor(QPalette::Text, text);
    memo->setPalette(p);
}

// The report in a viewer captioned "Rebel analysis : " + the game's caption;
// a child window of the frame when the game window is one.
void OpenReportViewer(QWidget* game, const QStringList& lines) {
    auto* viewer = new TAnalysisViewer;
    viewer->setWindowTitle(Q(engine::kReportCaptionText) + game->windowTitle());
    viewer->SetLines(lines);
    QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(game->parentWidget());
    if (sub && sub->mdiArea()) sub->mdiArea()->addSubWindow(viewer);
    viewer->show();
}

} // namespace

// ---------------------------------------------------------------------------
// Widgets

QPushButton* TForm2::BuildRebelButton() {
    rebel_ = new TRebelState(this);
    TRebelState& r = *rebel_;
    r.setObjectName(QStringLiteral("RebelEngine1"));
    r.RebelEngine1.SetAppli(engine::REappliType::AppQUOREL);
    // The binding's own boxes (a library with a missing function or of
    // another version); its informational ones appear only in debug mode.
    r.RebelEngine1.SetMessageHandler([this](engine::TMessageKind kind, const std::string& text) {
        Tell(this,
             kind == engine::TMessageKind::Error ? QMessageBox::Critical : QMessageBox::Information,
             QStringLiteral("Quorel"), Q(text));
    });

    r.RebelMenu = new QMenu(this);
    r.RebelMenu->setObjectName(QStringLiteral("RebelMenu"));
    auto add = [this](QMenu* menu, const char* name, const char* text, auto slot) {
        auto* a = new QAction(QLatin1String(text), this);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        menu->addAction(a);
        return a;
    };
    r.AnalyzePositionItem = add(r.RebelMenu, "AnalyzePositionItem", "Analyze position",
                                &TForm2::AnalyzePositionItemClick);
    QMenu* game = r.RebelMenu->addMenu(QStringLiteral("Analyze game"));
    game->setObjectName(QStringLiteral("AnalyzegameMenu"));
    r.AnalyzegameItem = game->menuAction();
    r.AnalyzegameItem->setObjectName(QStringLiteral("AnalyzegameItem"));
    r.AnalyzeEntireItem =
        add(game, "AnalyzeEntireItem", "Entire Game", &TForm2::AnalyzeEntireItemClick);
    r.AnalyzeMarkedItem = add(game, "AnalyzeMarkedItem", "Marked moves with \"*\" in the movelist",
                              &TForm2::AnalyzeMarkedItemClick);
    r.StopRebel1 = add(r.RebelMenu, "StopRebel1", "Stop Rebel", &TForm2::StopRebel1Click);
    r.RebelMenu->addSeparator();
    r.ShowReportItem = add(r.RebelMenu, "ShowReportItem", "Show last report", [this] {
        if (!rebel_->lastReport.isEmpty()) OpenReportViewer(this, rebel_->lastReport);
    });
    r.ShowReportItem->setEnabled(false);
    r.StopRebel1->setEnabled(false);
    // Shown beside both commands; the window's own shortcut below does the work.
    for (QAction* a : {r.AnalyzePositionItem, r.StopRebel1}) {
        a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
        a->setShortcutContext(Qt::WidgetShortcut);
    }
    auto* ctrlR = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
    ctrlR->setContext(Qt::WidgetWithChildrenShortcut);
    connect(ctrlR, &QShortcut::activated, this, &TForm2::RebelCtrlR);

    r.RebelBtn = new QPushButton(QStringLiteral("Rebel"), this);
    r.RebelBtn->setObjectName(QStringLiteral("RebelBtn"));
    r.RebelBtn->setAutoDefault(false);
    r.RebelBtn->setMenu(r.RebelMenu);

    r.Timer1 = new QTimer(this);
    r.Timer1->setObjectName(QStringLiteral("Timer1"));
    const int period = AppContext().engineRefreshMs;
    r.Timer1->setInterval(period > 0 ? period : 1000);
    connect(r.Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);
    return r.RebelBtn;
}

QWidget* TForm2::BuildRebelPanel(QWidget* page) {
    TRebelState& r = *rebel_;
    r.PanelRebel = new QFrame(page);
    r.PanelRebel->setObjectName(QStringLiteral("PanelRebel"));
    r.PanelRebel->setFrameShape(QFrame::StyledPanel);
    r.AnalysisMemo = new QPlainTextEdit(r.PanelRebel);
    r.AnalysisMemo->setObjectName(QStringLiteral("AnalysisMemo"));
    r.AnalysisMemo->setReadOnly(true);
    // Lines carry whole variations: they wrap so that none is cut off.
    r.AnalysisMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    r.AnalysisMemo->setMaximumBlockCount(5000); // a long analysis keeps its recent lines
    r.AnalysisMemo->setMinimumHeight(110);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    r.AnalysisMemo->setFont(mono);
    SetMemoColour(r.AnalysisMemo, kSilver);
    auto* caption = new QLabel(QStringLiteral("Suggested move:"), r.PanelRebel);
    caption->setObjectName(QStringLiteral("LabelHint"));
    r.HintLabel = new QLabel(r.PanelRebel);
    r.HintLabel->setObjectName(QStringLiteral("HintLabel"));
    QFont bold = r.HintLabel->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    r.HintLabel->setFont(bold);
    r.HintLabel->setFrameShape(QFrame::StyledPanel);
    r.HintLabel->setFrameShadow(QFrame::Sunken);
    r.HintLabel->setMinimumWidth(110);
    r.HintLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    r.CloseRebelBtn = new QPushButton(QStringLiteral("E&xit"), r.PanelRebel);
    r.CloseRebelBtn->setObjectName(QStringLiteral("CloseRebelBtn"));
    r.CloseRebelBtn->setAutoDefault(false);
    connect(r.CloseRebelBtn, &QPushButton::clicked, this, &TForm2::StopRebel1Click);
    auto* row = new QHBoxLayout;
    row->addWidget(caption);
    row->addWidget(r.HintLabel, 1);
    row->addWidget(r.CloseRebelBtn);
    auto* lay = new QVBoxLayout(r.PanelRebel);
    lay->setContentsMargins(4, 4, 4, 4);
    lay->addWidget(r.AnalysisMemo, 1);
    lay->addLayout(row);
    r.PanelRebel->hide();
    return r.PanelRebel;
}

// ---------------------------------------------------------------------------
// Commands

bool TForm2::AnalysisActive() const {
    return rebel_ && rebel_->active;
}

int TForm2::MovesMarked() const {
    return engine::MovesMarked(rec_);
}

void TForm2::AnalyzePositionItemClick() {
    rebel_->RebelEngine1.SetMode(REmode::ModNext);
    RebelBtnClick();
}

void TForm2::AnalyzeEntireItemClick() {
    if (rebel_->active) return;
    GetSecondsPerMove();
    rebel_->RebelEngine1.SetMode(REmode::ModGame);
    rebel_->analyseAll = true;
    RebelBtnClick();
}

void TForm2::AnalyzeMarkedItemClick() {
    if (rebel_->active) return;
    if (MovesMarked() <= 0) {
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@NoMovesMarked")));
        return;
    }
    GetSecondsPerMove();
    rebel_->analyseAll = false;
    rebel_->RebelEngine1.SetMode(REmode::ModGame);
    RebelBtnClick();
}

void TForm2::GetSecondsPerMove() {
    TSecondsDialog dialog(this);
    dialog.exec(); // no cancel: the value is taken however the dialog is closed
    rebel_->RebelEngine1.SetSecsPerPos(dialog.Seconds());
}

void TForm2::RebelCtrlR() {
    // The shortcut of "Analyze position" and of "Stop Rebel".
    if (rebel_->active)
        StopRebel1Click();
    else
        AnalyzePositionItemClick();
}

void TForm2::AddAnalysisLine(const QString& line) {
    rebel_->AnalysisMemo->appendPlainText(line);
}

// The start: the engine's folder, the binding configured from the settings,
// the panel with its banner, the engine file, then the engine.
void TForm2::RebelBtnClick() {
    TRebelState& r = *rebel_;
    if (r.active) return;
    const TAppContext& ctx = AppContext();
    engine::TRebelEngine& eng = r.RebelEngine1;
    const fs::path enginePath = ctx.enginePath.trimmed().toStdString();
    // The folder is current only while the engine starts: the program keeps
    // the games folder current.
    engine::TEngineFolder folder(enginePath);
    if (!folder.Entered()) {
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"), Q(engine::kEngineNotFoundText));
        return;
    }
    const fs::path program = ctx.programFolder.toStdString();
    eng.SetAppli(engine::REappliType::AppQUOREL);
    engine::ConfigureRebelEngine(eng, engine::EngineLibraryFolders(program, ExecutableFolder()),
                                 enginePath, ctx.engineVersion, ctx.engineHashSize);

    r.AnalysisMemo->clear();
    SetMemoColour(r.AnalysisMemo, kSilver);
    r.silver = true;
    r.AnalysisMemo->show();
    r.PanelRebel->show();
    r.HintLabel->setText(Msg(QStringLiteral("@Wait")));
    board_->ClearHint();
    r.PanelRebel->repaint();

    const int marked = MovesMarked();
    for (const std::string& line : engine::BannerLines(
             enginePath.filename().string(), ctx.engineVersion, ctx.engineHashSize, eng.Mode(),
             r.analyseAll, marked, eng.SecsPerPos(), r.Timer1->interval()))
        AddAnalysisLine(Q(line));

    r.engineFile = engine::EngineFileName(program);
    GetData();
    const engine::TEngineFileResult file =
        engine::CreateRebelPGNFile(eng, r.engineFile, rec_, editWhite_->text().toStdString(),
                                   editBlack_->text().toStdString(), false, r.analyseAll);
    for (const std::string& line : file.Memo)
        AddAnalysisLine(Q(line));
    if (!file.Written) {
        // The engine never gets a position it was not given: the panel says
        // why and stays until the player closes it.
        AddAnalysisLine(QString());
        AddAnalysisLine(Msg(QStringLiteral("@EngineFileNotWritten")) + Q(file.Error));
        r.HintLabel->clear();
        return;
    }
    // Each window's analysis holds one of the library's instances.
    const int most = eng.ID() == -1 ? eng.MaxNoOfInstances() : 0;
    if (most > 0 && eng.NoOfInstances() >= most) {
        const QString error =
            Q(engine::kEngineErrorText) + Msg(QStringLiteral("@TooManyAnalyses")).arg(most);
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"), error);
        SetAnalysis(false);
        return;
    }
    if (eng.Start(r.engineFile.string())) {
        r.poll.Reset();
        SetAnalysis(true);
        return;
    }
    const QString error = Q(engine::kEngineErrorText) + Q(eng.ErrorText());
    Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"), error);
    SetAnalysis(false);
    EndRebelInstance();
}

void TForm2::StopRebel1Click() {
    TRebelState& r = *rebel_;
    if (!r.active) {
        // A panel left open by a failed start only closes.
        SetAnalysis(false);
        EndRebelInstance();
        return;
    }
    r.RebelEngine1.Stop();
    SetAnalysis(false);
    if (r.RebelEngine1.Mode() == REmode::ModGame) ShowAnalysisText();
    EndRebelInstance();
}

void TForm2::StopRebelOnClose() {
    if (!rebel_) return;
    if (rebel_->active) {
        rebel_->RebelEngine1.Stop();
        SetAnalysis(false);
    }
    EndRebelInstance();
}

void TForm2::EndRebelInstance() {
    // The engine program ends with its instance; the next analysis starts
    // a new one with the settings of that moment.
    if (rebel_->RebelEngine1.ID() != -1) rebel_->RebelEngine1.Deallocate();
}

void TForm2::SetAnalysis(bool on) {
    TRebelState& r = *rebel_;
    r.active = on;
    r.AnalysisMemo->setVisible(on);
    r.PanelRebel->setVisible(on);
    r.AnalyzePositionItem->setEnabled(!on);
    r.AnalyzegameItem->setEnabled(!on);
    r.StopRebel1->setEnabled(on);
    if (on) {
        r.Timer1->start();
        pages_->setCurrentIndex(0);
    } else {
        r.Timer1->stop();
        board_->ClearHint();
    }
}

// ---------------------------------------------------------------------------
// The engine file and the polling

void TForm2::RebelPositionChanged() {
    if (!rebel_ || !rebel_->active) return;
    CreateRebelPGNFile();
}

void TForm2::CreateRebelPGNFile() {
    TRebelState& r = *rebel_;
    engine::TRebelEngine& eng = r.RebelEngine1;
    // A running game analysis keeps the file it started with.
    if (eng.Mode() == REmode::ModGame) return;
    r.Timer1->stop();
    GetData();
    const engine::TEngineFileResult file =
        engine::CreateRebelPGNFile(eng, r.engineFile, rec_, editWhite_->text().toStdString(),
                                   editBlack_->text().toStdString(), r.active, r.analyseAll);
    if (!file.Written) {
        // The engine would go on with the old position while the board shows
        // the new one: it is stopped, and the panel says why.
        eng.Stop();
        SetAnalysis(false);
        EndRebelInstance();
        r.PanelRebel->show();
        r.AnalysisMemo->show();
        r.HintLabel->clear();
        AddAnalysisLine(QString());
        AddAnalysisLine(Msg(QStringLiteral("@EngineFileNotWritten")) + Q(file.Error));
        return;
    }
    for (const std::string& line : file.Memo)
        AddAnalysisLine(Q(line));
    // The old hint belongs to the old position.
    r.poll.ForgetHint();
    r.HintLabel->setText(Msg(QStringLiteral("@Wait")));
    board_->ClearHint();
    if (r.active) r.Timer1->start();
}

void TForm2::Timer1Timer() {
    TRebelState& r = *rebel_;
    if (!r.active) return;
    // While a piece is dragged the board and the text stay as they are.
    if (board_->Dragging()) return;
    engine::TRebelEngine& eng = r.RebelEngine1;
    const bool game = eng.Mode() == REmode::ModGame;
    if (!eng.IsRunning()) {
        const int error = eng.Errno();
        const QString text = Q(eng.ErrorText());
        SetAnalysis(false);
        if (game) {
            ShowAnalysisText();
        } else if (error != 0 && !text.isEmpty()) {
            // A continuous analysis ends only when the engine failed.
            Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
                 Q(engine::kEngineErrorText) + text);
        }
        EndRebelInstance();
        return;
    }
    if (game) {
        r.silver = !r.silver;
        SetMemoColour(r.AnalysisMemo, r.silver ? kSilver : kWhite);
        return;
    }
    const engine::TPollStep step = r.poll.Take(eng.AnalysisLine());
    if (step.AddLine) AddAnalysisLine(Q(r.poll.LastLine()));
    if (!step.NewHint) return;
    r.HintLabel->setText(Q(step.Hint).trimmed());
    board_->ClearHint();
    if (step.HaveSquares) board_->SetHint(step.From, step.To);
}

// The report of a game analysis, in a viewer beside the game windows.
void TForm2::ShowAnalysisText() {
    TRebelState& r = *rebel_;
    const fs::path name = engine::NewReportFileName(AppContext().programFolder.toStdString());
    r.RebelEngine1.GetAnalysisResult(name.string());
    std::error_code ec;
    if (!fs::exists(name, ec)) {
        Tell(this, QMessageBox::Warning, QStringLiteral("Quorel"), Q(engine::kNoAnalysisText));
        return;
    }
    QStringList lines;
    for (const std::string& line : engine::ReadReportLines(name))
        lines << Q(line);
    fs::remove(name, ec);
    r.lastReport = lines;
    r.ShowReportItem->setEnabled(true);
    OpenReportViewer(this, lines);
}

} // namespace quorel::ui
