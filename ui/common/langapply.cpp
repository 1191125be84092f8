#include "ui/common/langapply.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QWidget>

#include "shell/lang/multilang.h"

namespace quorel::ui {

namespace {

int g_language = 0;

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The tab widget that shows w as one of its pages, or nullptr.
QTabWidget* TabOwner(QWidget* w) {
    auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
    if (!stack) return nullptr;
    return qobject_cast<QTabWidget*>(stack->parentWidget());
}

// ILangForm for a Qt window: components are the window's children found by
// objectName (widgets, actions and menus alike).
class QtLangForm : public ILangForm {
  public:
    explicit QtLangForm(QWidget* form) : form_(form) {}

    std::string FormName() const override { return form_->objectName().toStdString(); }
    void SetFormCaption(const std::string& text) override { form_->setWindowTitle(Q(text)); }

    Kind ComponentKind(const std::string& name) const override {
        QObject* o = Find(name);
        if (!o) return Kind::Missing;
        if (qobject_cast<QComboBox*>(o) || qobject_cast<QListWidget*>(o) ||
            qobject_cast<QTableWidget*>(o) || qobject_cast<QPlainTextEdit*>(o) ||
            qobject_cast<QTextEdit*>(o))
            return Kind::Items;
        if (qobject_cast<QLineEdit*>(o)) return Kind::Text;
        return Kind::Caption;
    }

    void SetCaption(const std::string& name, const std::string& text) override {
        QObject* o = Find(name);
        const QString t = Q(text);
        if (auto* a = qobject_cast<QAction*>(o)) {
            a->setText(t);
            QString icon = QString(t).remove(QLatin1Char('&')).trimmed();
            if (icon.endsWith(QStringLiteral("..."))) icon.chop(3);
            a->setIconText(icon.trimmed());
        } else if (auto* m = qobject_cast<QMenu*>(o)) {
            m->setTitle(t);
        } else if (auto* l = qobject_cast<QLabel*>(o)) {
            l->setText(t);
        } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
            b->setText(t);
        } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
            g->setTitle(t);
        } else if (auto* w = qobject_cast<QWidget*>(o)) {
            if (QTabWidget* tabs = TabOwner(w))
                tabs->setTabText(tabs->indexOf(w), t);
            else
                w->setWindowTitle(t);
        } else if (o) {
            o->setProperty("text", t);
        }
    }

    void SetText(const std::string& name, const std::string& text) override {
        if (auto* e = qobject_cast<QLineEdit*>(Find(name))) e->setText(Q(text));
    }

    int ItemCount(const std::string& name) const override {
        QObject* o = Find(name);
        if (auto* c = qobject_cast<QComboBox*>(o)) return c->count();
        if (auto* l = qobject_cast<QListWidget*>(o)) return l->count();
        if (auto* t = qobject_cast<QTableWidget*>(o)) return t->columnCount();
        if (auto* p = qobject_cast<QPlainTextEdit*>(o)) return p->blockCount();
        if (auto* x = qobject_cast<QTextEdit*>(o)) return x->document()->blockCount();
        return 0;
    }

    void SetItem(const std::string& name, int index, const std::string& text) override {
        QObject* o = Find(name);
        const QString t = Q(text);
        if (auto* c = qobject_cast<QComboBox*>(o)) {
            c->setItemText(index, t);
        } else if (auto* l = qobject_cast<QListWidget*>(o)) {
            l->item(index)->setText(t);
        } else if (auto* tw = qobject_cast<QTableWidget*>(o)) {
            auto* h = tw->horizontalHeaderItem(index);
            if (!h) tw->setHorizontalHeaderItem(index, h = new QTableWidgetItem);
            h->setText(t);
        } else if (auto* p = qobject_cast<QPlainTextEdit*>(o)) {
            QStringList lines = p->toPlainText().split(QLatin1Char('\n'));
            if (index < lines.size()) lines[index] = t;
            p->setPlainText(lines.join(QLatin1Char('\n')));
        } else if (auto* x = qobject_cast<QTextEdit*>(o)) {
            QStringList lines = x->toPlainText().split(QLatin1Char('\n'));
            if (index < lines.size()) lines[index] = t;
            x->setPlainText(lines.join(QLatin1Char('\n')));
        }
    }

    // File dialogs are opened by static calls in this program; their filters
    // and titles are "@" texts, so these two are never reached.
    void SetFilter(const std::string&, const std::string&) override {}
    void SetTitle(const std::string&, const std::string&) override {}

    void SetHint(const std::string& name, const std::string& text) override {
        QObject* o = Find(name);
        const QString t = Q(text);
        if (auto* a = qobject_cast<QAction*>(o)) {
            a->setToolTip(t);
            a->setStatusTip(t);
        } else if (auto* w = qobject_cast<QWidget*>(o)) {
            w->setToolTip(t);
            w->setStatusTip(t);
        }
    }

  private:
    QObject* Find(const std::string& name) const {
        const QString n = QString::fromStdString(name);
        if (n.isEmpty()) return nullptr;
        return form_->findChild<QObject*>(n);
    }
    QWidget* form_;
};

// One table per window class, parsed once.
const TMultiLang* Table(const QString& windowClass) {
    static QHash<QString, TMultiLang*> cache;
    auto it = cache.find(windowClass);
    if (it != cache.end()) return it.value();
    TMultiLang* table = nullptr;
    try {
        table = new TMultiLang(TMultiLang::ForWindow(windowClass.toStdString()));
    } catch (const std::exception&) {
        table = nullptr;
    }
    cache.insert(windowClass, table);
    return table;
}

} // namespace

void SetUiLanguage(int language) {
    g_language = language >= 0 && language <= 6 ? language : 0;
}
int UiLanguage() {
    return g_language;
}

bool ApplyLanguage(QWidget* form) {
    return ApplyLanguage(form, form->objectName());
}

bool ApplyLanguage(QWidget* form, const QString& windowClass) {
    const TMultiLang* shared = Table(windowClass);
    if (!shared) return false;
    TMultiLang table = *shared;
    QtLangForm adapter(form);
    table.SetOwner(&adapter);
    table.StartForm(g_language);
    return true;
}

QString LangText(const QString& windowClass, const QString& key) {
    const TMultiLang* table = Table(windowClass);
    if (!table) return {};
    return Q(table->TextIn(key.toStdString(), g_language));
}

QString LangText(const QWidget* form, const QString& key) {
    return LangText(form->objectName(), key);
}

} // namespace quorel::ui
