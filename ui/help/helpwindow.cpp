#include "ui/help/helpwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "ui/common/langapply.h"

namespace quorel::ui {

THelpWindow::THelpWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("THelpWindow"));
    setWindowTitle(QStringLiteral("Quorel Help"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(760, 620);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpText"));
    browser_->setOpenExternalLinks(true);
    contents_ = new QPushButton(QStringLiteral("Contents"), this);
    contents_->setObjectName(QStringLiteral("ContentsBtn"));
    back_ = new QPushButton(QStringLiteral("Back"), this);
    back_->setObjectName(QStringLiteral("BackBtn"));
    forward_ = new QPushButton(QStringLiteral("Forward"), this);
    forward_->setObjectName(QStringLiteral("ForwardBtn"));
    close_ = new QPushButton(QStringLiteral("Close"), this);
    close_->setObjectName(QStringLiteral("CloseBtn"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents_);
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(buttons);
    lay->addWidget(browser_, 1);
    connect(contents_, &QPushButton::clicked, this, &THelpWindow::ShowIndex);
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QWidget::setEnabled);
    back_->setEnabled(false);
    forward_->setEnabled(false);
    ApplyLanguage(this);
}

QString THelpWindow::ManualFolder() {
    const QString exe = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        exe + QStringLiteral("/doc/manual"),
        exe + QStringLiteral("/../share/quorel/manual"),
        exe + QStringLiteral("/../share/quorel/docs/manual"),
#ifdef QUOREL_SOURCE_DIR
        QStringLiteral(QUOREL_SOURCE_DIR "/docs/manual"),
#endif
    };
    for (const QString& c : candidates)
        if (QFileInfo::exists(c + QStringLiteral("/index.html"))) return QDir::cleanPath(c);
    return {};
}

bool THelpWindow::ShowFile(const QString& path) {
    if (!QFileInfo::exists(path)) {
        browser_->setHtml(QStringLiteral("<h2>Quorel</h2><p>%1</p>").arg(path.toHtmlEscaped()));
        return false;
    }
    browser_->setSearchPaths({QFileInfo(path).absolutePath()});
    browser_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    return true;
}

void THelpWindow::ShowIndex() {
    const QString folder = ManualFolder();
    ShowFile(folder.isEmpty() ? QStringLiteral("docs/manual/index.html")
                              : folder + QStringLiteral("/index.html"));
}

QString THelpWindow::CurrentFile() const {
    return browser_->source().toLocalFile();
}

namespace {
QPointer<THelpWindow> instance;
} // namespace

void THelpWindow::CloseIfOpen() {
    if (instance) instance->close();
}

THelpWindow* THelpWindow::Instance(QWidget* parent) {
    if (!instance) {
        instance = new THelpWindow(parent);
        instance->setAttribute(Qt::WA_DeleteOnClose, false);
        instance->ShowIndex();
    }
    return instance;
}

} // namespace quorel::ui
