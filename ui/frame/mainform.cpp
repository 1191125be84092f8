#include "ui/frame/mainform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include "chess/gamerecord.h"
#include "shell/mailconfig.h"
#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/common/msgbox.h"
#include "ui/editor/editor.h"
#include "ui/connection/connectiondialog.h"
#include "ui/game/gamewindow.h"
#include "ui/help/helpwindow.h"
#include "ui/mailbox/reviewmail.h"
#include "ui/common/widgets.h"

namespace quorel::ui {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Windows colour value (red in the low byte) → QColor.
QColor ColourOf(int32_t c) {
    const uint32_t v = uint32_t(c);
    return QColor(int(v & 0xff), int((v >> 8) & 0xff), int((v >> 16) & 0xff));
}


// A path from the settings: absolute as given, otherwise below the program folder.
QString SettingsPath(const std::string& p, const QString& programFolder) {
    if (p.empty()) return {};
    const QString path = Q(p);
    return QFileInfo(path).isAbsolute() ? path : QDir(programFolder).filePath(path);
}

} // namespace

// Fills the run's context from the session's settings.
// The language is taken only at start: a change in the settings dialog
// applies from the next start.
static void FillContext(TShellSession& session, bool atStart) {
    TAppContext& ctx = AppContext();
    const TSettings& s = session.Settings();
    const TFolders& f = session.Folders();
    ctx.session = &session;
    ctx.programFolder = Q(f.Program.string());
    ctx.gamesFolder = Q(f.Games.string());
    ctx.profile = Q(session.Profile());
    ctx.debugMode = session.DebugMode();
    ctx.userName = Q(s.UserName);
    ctx.emailAddress = Q(s.EmailAddress);
    ctx.userCountry = Q(s.UserCountry);
    ctx.displayCoordinates = s.DisplayCoordenates;
    ctx.colouredButtons = s.ColouredButtons;
    ctx.lightColor = ColourOf(s.LightSquaresColor);
    ctx.darkColor = ColourOf(s.DarkSquaresColor);
    ctx.backgroundColor = ColourOf(s.BackgroundColor);
    ctx.useBitmapSquares = s.UseBitmapSquares;
    ctx.lightBitmap = SettingsPath(s.LightSquaresBitmap, ctx.programFolder);
    ctx.darkBitmap = SettingsPath(s.DarkSquaresBitmap, ctx.programFolder);
    ctx.enginePath = Q(s.RebelEnginePath);
    ctx.engineVersion = s.RebelEngineVersion;
    ctx.engineHashSize = s.RebelEngineHashSize;
    ctx.engineRefreshMs = s.RebelEngineRefreshRate > 0 ? s.RebelEngineRefreshRate : 1000;
    if (atStart) SetUiLanguage(s.Language);

    // The Bio page looks opponents up in the run's address book.
    TDialogHooks& hooks = DialogHooks();
    if (!hooks.findBio) {
        hooks.findBio = [](const QString& email) -> std::optional<TBioData> {
            TShellSession* session = AppContext().session;
            if (!session || !session->AddressBook().IsOpen()) return std::nullopt;
            TAddressRecord r;
            if (session->AddressBook().FindByEmail(email.trimmed().toStdString(), &r) == 0)
                return std::nullopt;
            TBioData bio;
            bio.name = Q(r.Name);
            bio.email = Q(r.Email);
            bio.address = Q(r.MailingAddress);
            bio.city = Q(r.City);
            bio.state = Q(r.State);
            bio.zip = Q(r.Zip);
            bio.country = Q(r.Country);
            bio.notes = Q(r.Notes);
            bio.photoFile = SettingsPath(r.Photo, AppContext().programFolder);
            return bio;
        };
    }
}

TMainForm::TMainForm(TShellSession& session, QWidget* parent)
    : QMainWindow(parent), session_(session) {
    setObjectName(QStringLiteral("TMainForm"));
    FillContext(session_, true);
    setWindowTitle(QStringLiteral("Quorel"));
    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(mdi_);
    statusBar()->setObjectName(QStringLiteral("StatusLine"));
    BuildMenus();
    ApplyLanguage(this);
    mailViewer_->setIconText(Msg(QStringLiteral("@MailboxButton")));
    ApplyLook();
    mailConnect_->setIconText(Msg(QStringLiteral("@ConnectButton")));
    resize(1100, 760);
    if (session_.Settings().BeginMaximized) setWindowState(windowState() | Qt::WindowMaximized);
}

TMainForm::~TMainForm() {
    WriteShutdown();
}

QString TMainForm::Msg(const QString& key) const {
    return LangText(QStringLiteral("TMainForm"), key);
}

QAction* TMainForm::Action(const char* name, const char* text, const QKeySequence& key) {
    auto* a = new QAction(QLatin1String(text), this);
    a->setObjectName(QLatin1String(name));
    if (!key.isEmpty()) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::ApplicationShortcut);
    }
    return a;
}

void TMainForm::BuildMenus() {
    const TDialogHooks& hooks = DialogHooks();
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    fileNew_ = Action("FileNewItem", "&New", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F1));
    fileNew_->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    connect(fileNew_, &QAction::triggered, this, &TMainForm::FileNewClick);
    file->addAction(fileNew_);
    if (hooks.selectGames) {
        fileOpen_ = Action("FileOpenItem", "&Open a game...", QKeySequence(Qt::CTRL | Qt::Key_O));
        fileOpen_->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
        connect(fileOpen_, &QAction::triggered, this, &TMainForm::FileOpenClick);
        file->addAction(fileOpen_);
    }
    if (hooks.importPgnGames) {
        QAction* a = Action("FileImportPGNItem", "&Import games from PGN file...",
                            QKeySequence(Qt::CTRL | Qt::Key_P));
        connect(a, &QAction::triggered, this, [this] { DialogHooks().importPgnGames(this); });
        file->addAction(a);
    }
    QAction* importOld = Action("FileImportOldItem", "Import old &files");
    connect(importOld, &QAction::triggered, this, &TMainForm::FileImportOldClick);
    file->addAction(importOld);
    file->addSeparator();
    if (hooks.configure) {
        QAction* a = Action("FileConfigItem", "&Config...", QKeySequence(Qt::CTRL | Qt::Key_G));
        connect(a, &QAction::triggered, this, &TMainForm::FileConfigClick);
        file->addAction(a);
        file->addSeparator();
    }
    fileExit_ = Action("FileExitItem", "E&xit", QKeySequence(Qt::Key_F10));
    fileExit_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    connect(fileExit_, &QAction::triggered, this, &QWidget::close);
    file->addAction(fileExit_);

    QMenu* mail = menuBar()->addMenu(QStringLiteral("&Mail"));
    mail->setObjectName(QStringLiteral("MailMenu"));
    QAction* createMessage = Action("MailCreateMessageItem", "&Create Message...",
                                    QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(createMessage, &QAction::triggered, this, &TMainForm::MailCreateMessageClick);
    mail->addAction(createMessage);
    mailViewer_ =
        Action("MailShowViewerItem", "Show Mail &Viewer...", QKeySequence(Qt::CTRL | Qt::Key_W));
    mailViewer_->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    connect(mailViewer_, &QAction::triggered, this, &TMainForm::MailViewerClick);
    mail->addAction(mailViewer_);
    if (hooks.addressBook) {
        QAction* a =
            Action("MailAddressBookItem", "&Address Book...", QKeySequence(Qt::CTRL | Qt::Key_B));
        connect(a, &QAction::triggered, this, [this] { DialogHooks().addressBook(this); });
        mail->addAction(a);
    }
    QAction* signature = Action("MailEditSignatureItem", "&Edit Signature File",
                                QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(signature, &QAction::triggered, this, &TMainForm::MailEditSignatureClick);
    mail->addAction(signature);
    {
        auto* mail = menuBar()->findChild<QMenu*>(QStringLiteral("MailMenu"));
        if (!mail) {
            mail = menuBar()->addMenu(QStringLiteral("&Mail"));
            mail->setObjectName(QStringLiteral("MailMenu"));
        }
        mailConnect_ = Action("MailConnectionItem", "Open &Connection Dialog",
                              QKeySequence(Qt::CTRL | Qt::Key_T));
        mailConnect_->setIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
        connect(mailConnect_, &QAction::triggered, this, &TMainForm::MailConnectionClick);
        // Before the address book, as the menu has always listed them.
        mail->insertAction(findChild<QAction*>(QStringLiteral("MailAddressBookItem")),
                           mailConnect_);
    }

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    window->setObjectName(QStringLiteral("WindowMenu"));
    QAction* cascade = Action("WindowCascadeItem", "&Cascade");
    connect(cascade, &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
    QAction* tile = Action("WindowTileItem", "&Tile");
    connect(tile, &QAction::triggered, mdi_, &QMdiArea::tileSubWindows);
    QAction* arrange = Action("WindowArrangeItem", "&Arrange Icons");
    connect(arrange, &QAction::triggered, this, [this] {
        // Minimized windows are lined up along the bottom of the client area.
        int x = 0;
        for (QMdiSubWindow* w : mdi_->subWindowList())
            if (w->isMinimized()) {
                const int h = w->height();
                w->move(x, mdi_->viewport()->height() - h);
                x += w->width();
            }
    });
    QAction* minimize = Action("WindowMinimizeItem", "&Minimize All");
    connect(minimize, &QAction::triggered, this, [this] {
        for (QMdiSubWindow* w : mdi_->subWindowList())
            w->showMinimized();
    });
    QAction* closeAll = Action("WindowCloseAllItem", "C&lose All");
    connect(closeAll, &QAction::triggered, this, &TMainForm::WindowCloseAllClick);
    window->addActions({cascade, tile, arrange, minimize, closeAll});

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    QAction* index = Action("HelpIndexItem", "&Index", QKeySequence(Qt::Key_F1));
    index->setShortcutContext(Qt::WindowShortcut);
    connect(index, &QAction::triggered, this, &TMainForm::HelpIndexClick);
    help->addAction(index);
    // Documents are offered only when they are installed.
    const QString program = AppContext().programFolder;
    auto docExists = [&](const char* name) {
        return QFileInfo::exists(QDir(program).filePath(QLatin1String(name)));
    };
    if (docExists("NEW.TXT")) {
        QAction* a = Action("HelpWhatsNewItem", "What is &new?");
        connect(a, &QAction::triggered, this, [this] { OpenDocument(QStringLiteral("NEW.TXT")); });
        help->addAction(a);
    }
    struct Doc {
        const char *name, *text, *file;
    };
    static const Doc docs[] = {{"HelpICCFItem", "ICCF", "ICCF.TXT"},
                               {"HelpIECGItem", "IECG", "IECG.TXT"},
                               {"HelpIECCItem", "IECC", "IECC.TXT"},
                               {"HelpSEMIItem", "S.E.M.I.", "SEMI.TXT"}};
    QMenu* documents = nullptr;
    for (const Doc& d : docs) {
        if (!docExists(d.file)) continue;
        if (!documents) {
            documents = help->addMenu(QStringLiteral("&Documents"));
            documents->setObjectName(QStringLiteral("HelpDocumentsMenu"));
        }
        QAction* a = Action(d.name, d.text);
        const QString fileName = QLatin1String(d.file);
        connect(a, &QAction::triggered, this, [this, fileName] { OpenDocument(fileName); });
        documents->addAction(a);
    }
    help->addSeparator();
    QAction* about = Action("HelpAboutItem", "&About...");
    connect(about, &QAction::triggered, this, [this] {
        if (DialogHooks().about) {
            DialogHooks().about(this);
            return;
        }
        QMessageBox box(QMessageBox::NoIcon, Msg(QStringLiteral("@AboutCaption")),
                        QStringLiteral("<h2>Quorel 4.00</h2><p>%1</p>")
                            .arg(Msg(QStringLiteral("@AboutText")).toHtmlEscaped()),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("TAboutBox"));
        box.exec();
    });
    help->addAction(about);

    toolBar_ = addToolBar(QStringLiteral("Tools"));
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setMovable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    if (fileOpen_) toolBar_->addAction(fileOpen_);
    toolBar_->addAction(fileNew_);
    toolBar_->addAction(mailViewer_);
    toolBar_->addSeparator();
    toolBar_->addAction(fileExit_);
    // Connect stands before the separator that sets Exit apart.
    toolBar_->insertAction(toolBar_->actions().at(toolBar_->actions().size() - 2), mailConnect_);
}

void TMainForm::ApplyLook() {
    const TAppContext& ctx = AppContext();
    const QString wallpaper = Q(session_.Folders().Wallpaper.string());
    QPixmap paper;
    if (QFileInfo::exists(wallpaper)) paper.load(wallpaper);
    if (!paper.isNull()) {
        // Tiled over the background colour.
        QPixmap tile(paper.size());
        tile.fill(ctx.backgroundColor);
        QPainter p(&tile);
        p.drawPixmap(0, 0, paper);
        mdi_->setBackground(QBrush(tile));
    } else {
        mdi_->setBackground(ctx.backgroundColor);
    }
    // Tool buttons in colour or plain.
    struct Icon {
        QAction* action;
        QStyle::StandardPixmap pixmap;
    };
    for (const Icon& i :
         {Icon{fileNew_, QStyle::SP_FileIcon}, Icon{fileOpen_, QStyle::SP_DialogOpenButton},
          Icon{fileExit_, QStyle::SP_DialogCloseButton}}) {
        if (!i.action) continue;
        const QIcon icon = style()->standardIcon(i.pixmap);
        i.action->setIcon(ctx.colouredButtons ? icon : GreyIcon(icon));
    }
}

// ---------------------------------------------------------------------------
// Game windows

QList<TForm2*> TMainForm::GameWindows() const {
    QList<TForm2*> out;
    for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::CreationOrder))
        if (auto* g = qobject_cast<TForm2*>(w->widget())) out << g;
    return out;
}

TForm2* TMainForm::FindGameWindow(const QString& fileName) const {
    const QString wanted = QFileInfo(fileName).fileName();
    for (TForm2* g : GameWindows())
        if (g->HasFile() &&
            QFileInfo(g->FileName()).fileName().compare(wanted, Qt::CaseInsensitive) == 0)
            return g;
    return nullptr;
}

TForm2* TMainForm::OpenGameWindow(const QString& fileName) {
    TForm2* game = nullptr;
    try {
        game = new TForm2;
    } catch (const std::bad_alloc&) {
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@CannotCreateWindows")));
        return nullptr;
    }
    QMdiSubWindow* sub = mdi_->addSubWindow(game);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(QIcon(style()->standardIcon(QStyle::SP_FileIcon)));
    game->createSibling = [this]() -> TForm2* {
        TForm2* twin = OpenGameWindow(QLatin1String(TForm2::kNoName));
        return twin;
    };
    game->RefreshGame(fileName);
    sub->setWindowTitle(game->windowTitle());
    connect(game, &TForm2::captionChanged, sub, &QWidget::setWindowTitle);
    sub->resize(game->sizeHint() + QSize(12, 34));
    sub->show();
    mdi_->setActiveSubWindow(sub);
    return game;
}

void TMainForm::FileNewClick() {
    OpenGameWindow(QLatin1String(TForm2::kNoName));
}

void TMainForm::FileOpenClick() {
    if (!DialogHooks().selectGames) return;
    const QStringList files = DialogHooks().selectGames(this);
    for (const QString& f : files) {
        if (TForm2* open = FindGameWindow(f)) {
            for (QMdiSubWindow* w : mdi_->subWindowList())
                if (w->widget() == open) {
                    if (w->isMinimized()) w->showNormal();
                    mdi_->setActiveSubWindow(w);
                }
            continue;
        }
        if (!OpenGameWindow(f))
            Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
                 Msg(QStringLiteral("@NotEnoughMemory")));
    }
}

void TMainForm::FileImportOldClick() {
    std::vector<chess::TUserMessage> messages;
    chess::ImportOldFiles(session_.Folders().Games, messages);
    for (const chess::TUserMessage& m : messages) {
        QString text = Q(m.Key.empty() ? std::string() : m.Key);
        if (!m.Key.empty()) {
            text = Msg(Q(m.Key));
            if (text.isEmpty()) text = Q(chess::EnglishText(m.Key));
        }
        Tell(this, QMessageBox::Information, QStringLiteral("Quorel"),
             Q(m.Before) + text + Q(m.After));
    }
}

void TMainForm::FileConfigClick() {
    if (!DialogHooks().configure || !DialogHooks().configure(this)) return;
    FillContext(session_, false);
    ApplyLook();
}

void TMainForm::WindowCloseAllClick() {
    QList<QMdiSubWindow*> windows = mdi_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        (*it)->close();
}

void TMainForm::HelpIndexClick() {
    THelpWindow* help = THelpWindow::Instance(this);
    help->ShowIndex();
    help->show();
    help->raise();
}

void TMainForm::OpenDocument(const QString& fileName) {
    const QString path = QDir(AppContext().programFolder).filePath(fileName);
    const QByteArray editor = qgetenv("VISUAL").isEmpty() ? qgetenv("EDITOR") : qgetenv("VISUAL");
    if (!editor.isEmpty() && QProcess::startDetached(QString::fromLocal8Bit(editor), {path}))
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

// ---------------------------------------------------------------------------
// Mail

void TMainForm::MailCreateMessageClick() {
    TEditorDialog::Open(this);
}

void TMainForm::MailEditSignatureClick() {
    // The signature file in the desktop's text editor; a file named in the
    // settings but not there yet is created empty so that the editor opens it.
    const std::string setting = session_.Settings().SignatureFile;
    if (setting.empty()) {
        Tell(this, QMessageBox::Information, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@NoSignatureFile")));
        return;
    }
    QString path = Q(setting);
    if (QFileInfo(path).isRelative()) path = QDir(AppContext().programFolder).filePath(path);
    if (!QFileInfo::exists(path)) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) {
            Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
                 Msg(QStringLiteral("@SignatureNotCreated")) + QStringLiteral(" ") + path);
            return;
        }
    }
    OpenDocument(path);
}

// ---------------------------------------------------------------------------
// Activation and closing

void TMainForm::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!activated_) FirstActivation();
}

void TMainForm::FirstActivation() {
    if (activated_) return;
    activated_ = true;
    setWindowTitle(QStringLiteral("Quorel ") + QLatin1String(kQuorelVersion));
    for (const std::string& f : session_.LastGames()) {
        if (!OpenGameWindow(Q(f))) break;
    }
}

void TMainForm::closeEvent(QCloseEvent* e) {
    if (const auto question = session_.CloseQuestion()) {
        if (Ask(this, QStringLiteral("Quorel"), Q(*question), QMessageBox::Ok | QMessageBox::Cancel,
                QMessageBox::Ok) != QMessageBox::Ok) {
            e->ignore();
            return;
        }
    }
    // The games open now are reopened at the next start; each window first
    // asks about its own unsaved changes (a save may name a new game), and
    // any Cancel keeps the program running.
    const QList<QMdiSubWindow*> windows = mdi_->subWindowList(QMdiArea::CreationOrder);
    std::vector<std::string> files(size_t(windows.size()));
    for (qsizetype i = windows.size() - 1; i >= 0; --i) {
        QPointer<TForm2> game = qobject_cast<TForm2*>(windows[i]->widget());
        if (!windows[i]->close()) {
            e->ignore();
            return;
        }
        if (game) files[size_t(i)] = game->FileName().toStdString();
    }
    std::erase_if(files, [](const std::string& f) { return f.empty(); });
    session_.WriteOpenGames(files);
    // The viewer keeps its splitter positions for the settings written now.
    if (TReviewMailDialog* viewer = TReviewMailDialog::Instance()) viewer->close();
    WriteShutdown();
    THelpWindow::CloseIfOpen();
    e->accept();
}

void TMainForm::MailViewerClick() {
    if (!session_.MailStore().IsOpen()) return;
    TReviewMailDialog::ShowViewer(session_.MailStore(), &session_.Settings(), this);
}

void TMainForm::MailConnectionClick() {
    if (!session_.MailStore().IsOpen()) return;
    TConnectionDialog dialog(
        session_.MailStore(),
        MailConfigOf(session_.Settings(), session_.Folders(), session_.Profile()),
        &session_.Settings(), this);
    dialog.exec();
    // The viewer shows what the transfer filed or sent as soon as the
    // dialog is gone.
    if (TReviewMailDialog* viewer = TReviewMailDialog::Instance()) viewer->MailboxChangedRefresh();
}

void TMainForm::WriteShutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    session_.Settings().BeginMaximized = isMaximized();
    session_.DestroyFrame();
}

} // namespace quorel::ui
