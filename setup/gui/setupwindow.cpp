#include "setup/gui/setupwindow.h"

#include "setup/folders.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>

namespace quorel::setup {

namespace {
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}
} // namespace

TProgressWindow::TProgressWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("SetupProgress");
    setWindowTitle("Setup Progress");
    setModal(false);
    line1_ = new QLabel(this);
    line1_->setObjectName("Line1");
    line2_ = new QLabel(this);
    line2_->setObjectName("Line2");
    for (QLabel* l : {line1_, line2_}) {
        l->setMinimumWidth(420);
        l->setTextFormat(Qt::PlainText);
    }
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(line1_);
    lay->addWidget(line2_);
}

void TProgressWindow::SetLines(const QString& line1, const QString& line2) {
    line1_->setText(line1);
    line2_->setText(line2);
}

TGroupWindow::TGroupWindow(const std::vector<std::string>& groups, const QString& name,
                           QWidget* parent)
    : QDialog(parent) {
    setObjectName("SelectGroup");
    setWindowTitle("Select Group");
    list_ = new QListWidget(this);
    list_->setObjectName("GroupList");
    for (const std::string& g : groups)
        list_->addItem(Q(g));
    edit_ = new QLineEdit(name, this);
    edit_->setObjectName("GroupEdit");
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKBtn");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("CancelBtn");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemClicked, this, &TGroupWindow::GroupClicked);

    auto* listLabel = new QLabel("Existing groups:", this);
    listLabel->setObjectName("GroupListLabel");
    listLabel->setBuddy(list_);
    auto* editLabel = new QLabel("Group name:", this);
    editLabel->setObjectName("GroupEditLabel");
    editLabel->setBuddy(edit_);
    // Nothing looks chosen in the list until the user clicks: the field holds
    // the group that will be used.
    list_->setCurrentRow(-1);
    list_->setFocusPolicy(Qt::ClickFocus);
    edit_->setFocus();
    edit_->selectAll();

    auto* lay = new QVBoxLayout(this);
    lay->addWidget(listLabel);
    lay->addWidget(list_);
    lay->addWidget(editLabel);
    lay->addWidget(edit_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    lay->addLayout(buttons);
    resize(320, 300);
}

void TGroupWindow::GroupClicked(QListWidgetItem* item) {
    edit_->setText(item->text());
}

QString TGroupWindow::GroupName() const {
    return edit_->text().trimmed();
}

TSetupWindow::TSetupWindow(TSetupList list, QString sourceFolder, bool debug, bool unattended,
                           QWidget* parent)
    : QWidget(parent), list_(std::move(list)), source_(std::move(sourceFolder)), debug_(debug),
      unattended_(unattended) {
    setObjectName("Setup");
    setWindowTitle(kSetupTitle);

    auto* title = new QLabel(Q(list_.ProgramName + " Setup"), this);
    title->setObjectName("TitleLabel");
    title->setTextFormat(Qt::PlainText);
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.8);
    f.setBold(true);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);

    folder_ = new QLineEdit(Q(DefaultTargetFolder(list_, HomeFolder())), this);
    folder_->setObjectName("EditFolder");
    folder_->setMinimumWidth(420);
    auto* browse = new QToolButton(this);
    browse->setObjectName("BrowseBtn");
    browse->setText("...");
    browse->setToolTip("Browse");
    connect(browse, &QToolButton::clicked, this, &TSetupWindow::Browse);

    install_ = new QPushButton("Install", this);
    install_->setObjectName("InstallBtn");
    install_->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("CancelBtn");
    auto* about = new QPushButton("About", this);
    about->setObjectName("AboutBtn");
    connect(install_, &QPushButton::clicked, this, [this] { Install(); });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(about, &QPushButton::clicked, this, &TSetupWindow::About);

    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(18, 18, 18, 18);
    lay->setSpacing(12);
    lay->addWidget(title);
    auto* label = new QLabel("Target directory:", this);
    label->setObjectName("FolderLabel");
    lay->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addWidget(folder_, 1);
    row->addWidget(browse);
    lay->addLayout(row);
    lay->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(install_);
    buttons->addWidget(cancel);
    buttons->addStretch();
    buttons->addWidget(about);
    lay->addLayout(buttons);

    progress_ = new TProgressWindow(this);
}

QString TSetupWindow::Folder() const {
    return folder_->text();
}
void TSetupWindow::SetFolder(const QString& folder) {
    folder_->setText(folder);
}

TInstallResult TSetupWindow::Install() {
    // While the steps run the window only shows them: no second Install,
    // no closing half way.
    busy_ = true;
    for (QWidget* c : findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
        c->setEnabled(false);
    folder_->setEnabled(false);
    TDesktopMenu menu;
    TInstaller installer(list_, S(source_), *this, &menu, debug_);
    TInstallResult r = installer.Install(S(folder_->text()));
    for (QWidget* c : findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
        c->setEnabled(true);
    folder_->setEnabled(true);
    busy_ = false;
    if (r != TInstallResult::Refused) {
        ran_ = true;
        close();
    }
    return r;
}

void TSetupWindow::BringToFront() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void TSetupWindow::Message(const std::string& text) {
    if (unattended_) {
        std::fprintf(stderr, "Setup: %s\n", text.c_str());
        return;
    }
    QMessageBox box(QMessageBox::Information, "Setup", Q(text), QMessageBox::Ok, this);
    box.exec();
}

bool TSetupWindow::Ask(const std::string& text) {
    if (unattended_) {
        std::fprintf(stderr, "Setup: %s Yes\n", text.c_str());
        return true;
    }
    QMessageBox box(QMessageBox::Question, "Setup", Q(text), QMessageBox::Yes | QMessageBox::No,
                    this);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void TSetupWindow::ShowProgress(bool visible) {
    if (visible) {
        progress_->SetLines("", "");
        progress_->show();
        progress_->raise();
    } else {
        progress_->hide();
    }
}

void TSetupWindow::Progress(const std::string& line1, const std::string& line2) {
    progress_->SetLines(Q(line1), Q(line2));
    if (unattended_) std::fprintf(stderr, "  %s\n  %s\n", line1.c_str(), line2.c_str());
}

bool TSetupWindow::SelectGroup(const std::vector<std::string>& groups, std::string& name) {
    TGroupWindow w(groups, Q(name), this);
    if (unattended_) {
        std::fprintf(stderr, "Setup: group %s\n", name.c_str());
        return !w.GroupName().isEmpty();
    }
    if (w.exec() != QDialog::Accepted || w.GroupName().isEmpty()) return false;
    name = S(w.GroupName());
    return true;
}

void TSetupWindow::Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void TSetupWindow::closeEvent(QCloseEvent* event) {
    if (busy_ || (!ran_ && !Ask("Abort setup ?"))) {
        event->ignore();
        return;
    }
    event->accept();
}

void TSetupWindow::Browse() {
    QString start = folder_->text().trimmed();
    if (start.isEmpty() || !QFileInfo(start).isDir()) start = QDir::homePath();
    QString dir = QFileDialog::getExistingDirectory(this, "Target directory", start,
                                                    QFileDialog::ShowDirsOnly);
    if (!dir.isEmpty()) folder_->setText(QDir::toNativeSeparators(dir));
}

void TSetupWindow::About() {
    QMessageBox::about(this, "Setup",
                       QString(kSetupTitle) + "\n\n" + Q(list_.ProgramName + " Setup"));
}

} // namespace quorel::setup
