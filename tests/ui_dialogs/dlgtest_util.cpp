#include "dlgtest_util.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>
#include <deque>
#include <stdexcept>

#include "shell/startup.h"
#include "ui/common/appcontext.h"

namespace dlgtest {

using namespace quorel;

TempFolder::TempFolder(bool withSession) {
    oldCwd_ = QDir::currentPath();
    QDir(dir_.path()).mkpath(QStringLiteral("games"));
    ui::TAppContext& ctx = ui::AppContext();
    ctx = ui::TAppContext{};
    ctx.programFolder = Program();
    ctx.gamesFolder = Games();
    ctx.userName = QStringLiteral("Ana Souto");
    ctx.emailAddress = QStringLiteral("ana@example.org");
    if (withSession) {
        TProgramFolderEnv env;
        env.QuorelHome = Program().toStdString();
        session_ = std::make_unique<TShellSession>(env);
        if (!session_->CheckSingleInstance() || !session_->CreateFrame())
            throw std::runtime_error("cannot start a session in the test folder");
        bool ok = false;
        session_->CreateAddressBook(&ok);
        if (!ok) throw std::runtime_error("cannot create the address book");
        ctx.session = session_.get();
    }
}

TempFolder::~TempFolder() {
    ui::AppContext().session = nullptr;
    session_.reset();
    QDir::setCurrent(oldCwd_);
}

void TempFolder::WriteGame(const QString& name, chess::TGameRecord rec) const {
    const chess::TSaveResult r =
        chess::SaveToFile(Games().toStdString(), name.toStdString(), rec, "");
    if (!r.Ok) throw std::runtime_error("cannot write test game");
}

void TempFolder::WriteText(const QString& path, const std::string& bytes) const {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write test file");
    f.write(bytes.data(), qint64(bytes.size()));
}

std::string TempFolder::ReadText(const QString& path) const {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray b = f.readAll();
    return std::string(b.constData(), size_t(b.size()));
}

struct Modals::State {
    std::deque<std::function<void(QWidget*)>> handlers;
    QPointer<QWidget> last;
    QTimer timer;
};

Modals::Modals() : state_(std::make_shared<State>()), texts_(std::make_shared<QStringList>()) {
    std::weak_ptr<State> weak = state_;
    state_->timer.setInterval(10);
    QObject::connect(&state_->timer, &QTimer::timeout, [weak] {
        auto s = weak.lock();
        if (!s || s->handlers.empty()) return;
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == s->last || !w->isVisible()) return;
        s->last = w;
        auto handler = std::move(s->handlers.front());
        s->handlers.pop_front();
        handler(w);
    });
    state_->timer.start();
}

Modals::~Modals() {
    state_->timer.stop();
}

void Modals::Then(std::function<void(QWidget*)> handler) {
    state_->handlers.push_back(std::move(handler));
}

void Modals::Press(QMessageBox::StandardButton button) {
    auto texts = texts_;
    Then([texts, button](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box) {
            *texts << QStringLiteral("<not a message box: %1>").arg(w->metaObject()->className());
            w->close();
            return;
        }
        *texts << box->text();
        if (QAbstractButton* b = box->button(button))
            b->click();
        else
            box->reject();
    });
}

void Modals::PressText(const QString& text) {
    auto texts = texts_;
    Then([texts, text](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box) {
            w->close();
            return;
        }
        *texts << box->text();
        for (QAbstractButton* b : box->buttons())
            if (b->text().remove(QLatin1Char('&')) == QString(text).remove(QLatin1Char('&'))) {
                b->click();
                return;
            }
        box->reject();
    });
}

int Modals::Pending() const {
    return int(state_->handlers.size());
}

QStringList EmptyVisibleTexts(QWidget* window) {
    QStringList empty;
    if (window->windowTitle().trimmed().isEmpty()) empty << QStringLiteral("<caption>");
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->isHidden()) continue;
        const QString name = w->objectName().isEmpty()
                                 ? QString::fromLatin1(w->metaObject()->className())
                                 : w->objectName();
        if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->pixmap().isNull() && l->text().trimmed().isEmpty() &&
                name != QLatin1String("StatusLabel") && name != QLatin1String("PhotoImage"))
                empty << name;
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->text().trimmed().isEmpty() && b->icon().isNull() &&
                !b->inherits("QToolButton") && b->parentWidget() &&
                !b->parentWidget()->inherits("QAbstractScrollArea") && b->isVisibleTo(window))
                empty << name;
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            if (g->title().trimmed().isEmpty()) empty << name;
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < c->count(); ++i)
                if (c->itemText(i).trimmed().isEmpty())
                    empty << name + QStringLiteral("[%1]").arg(i);
        } else if (auto* t = qobject_cast<QTreeWidget*>(w)) {
            for (int i = 0; i < t->columnCount(); ++i)
                if (t->headerItem()->text(i).trimmed().isEmpty())
                    empty << name + QStringLiteral(" header %1").arg(i);
        }
    }
    return empty;
}

} // namespace dlgtest
