// Every window of the frame, the game window, board setup and their small
// dialogs, built in each of the seven languages: no visible text is empty,
// and the texts really are the chosen language's.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "shell/startup.h"
#include "ui/boardsetup/boardsetup.h"
#include "ui/common/appcontext.h"
#include "ui/common/langapply.h"
#include "ui/editor/editor.h"
#include "ui/frame/mainform.h"
#include "ui/game/analysisviewer.h"
#include "ui/game/gamewindow.h"
#include "ui/game/secondsdialog.h"
#include "ui/game/smalldialogs.h"
#include "ui/help/helpwindow.h"
#include "uitest_util.h"

using namespace quorel;
using namespace quorel::ui;

namespace {

// Names of the widgets whose text is data, filled by the program.
bool IsDataWidget(const QWidget* w) {
    const QString n = w->objectName();
    if (n.startsWith(QStringLiteral("FileLabel")) || n.startsWith(QStringLiteral("RankLabel")))
        return true;
    if (n == QLatin1String("BioName") || n == QLatin1String("BioPhoto")) return true;
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->frameShape() != QFrame::NoFrame;
    return false;
}

// Every text a user can see (captions, titles, items, tabs, menus); the
// widget's path on failure.
void CollectEmpty(QWidget* form, QStringList& empty, int& texts) {
    auto check = [&](const QString& text, const QString& where) {
        ++texts;
        if (QString(text).remove(QLatin1Char('&')).trimmed().isEmpty()) empty << where;
    };
    check(form->windowTitle(), form->objectName() + QStringLiteral(" caption"));
    for (QWidget* w : form->findChildren<QWidget*>()) {
        // Widgets hidden on purpose (commands not offered) are never seen;
        // pages of a tab widget and menus are hidden until they are shown.
        const bool page = w->parentWidget() && w->parentWidget()->inherits("QStackedWidget");
        if (w->isHidden() && !page && !qobject_cast<QMenu*>(w)) continue;
        const QString where = form->objectName() + QLatin1Char('/') + w->objectName();
        if (IsDataWidget(w) || w->objectName().isEmpty() ||
            w->objectName().startsWith(QStringLiteral("qt_")))
            continue;
        if (auto* l = qobject_cast<QLabel*>(w))
            check(l->text(), where);
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            check(b->text(), where);
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            check(g->title(), where);
        else if (auto* m = qobject_cast<QMenu*>(w)) {
            // A button's drop-down menu shows no title of its own.
            bool dropDown = false;
            for (QPushButton* b : form->findChildren<QPushButton*>())
                dropDown |= b->menu() == m;
            if (!dropDown) check(m->title(), where + QStringLiteral(" (menu)"));
        } else if (auto* t = qobject_cast<QTabWidget*>(w)) {
            for (int i = 0; i < t->count(); ++i)
                check(t->tabText(i), where + QStringLiteral(" tab"));
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < c->count(); ++i)
                check(c->itemText(i), where + QStringLiteral(" item"));
        } else if (auto* lw = qobject_cast<QListWidget*>(w)) {
            for (int i = 0; i < lw->count(); ++i)
                check(lw->item(i)->text(), where + QStringLiteral(" item"));
        }
    }
    for (QAction* a : form->findChildren<QAction*>()) {
        if (a->isSeparator() || !a->isVisible() || a->objectName().isEmpty()) continue;
        check(a->text(), form->objectName() + QLatin1Char('/') + a->objectName());
    }
}

// One caption per window that must differ from English in every other language.
struct Probe {
    const char* widget;
    const char* english;
};

QString TextOf(QWidget* form, const char* name) {
    if (auto* w = form->findChild<QLabel*>(QLatin1String(name))) return w->text();
    if (auto* w = form->findChild<QAbstractButton*>(QLatin1String(name))) return w->text();
    if (auto* w = form->findChild<QGroupBox*>(QLatin1String(name))) return w->title();
    if (auto* a = form->findChild<QAction*>(QLatin1String(name))) return a->text();
    if (auto* m = form->findChild<QMenu*>(QLatin1String(name))) return m->title();
    return {};
}

} // namespace

TEST(Languages, EveryWindowInEveryLanguageHasNoEmptyText) {
    uitest::TempProgram program;
    QTemporaryDir home;
    TProgramFolderEnv env;
    env.QuorelHome = home.path().toStdString();
    env.ExecutableFolder = home.path().toStdString();
    TShellSession session(env);
    ASSERT_TRUE(session.CheckSingleInstance());
    ASSERT_TRUE(session.CreateFrame());
    session.CreateAddressBook();

    const char* names[] = {"English", "Spanish", "German",    "Italian",
                           "French",  "Catalan", "Portuguese"};
    for (int lang = 0; lang < 7; ++lang) {
        SetUiLanguage(lang);
        session.Settings().Language = lang;
        std::vector<std::pair<std::unique_ptr<QWidget>, Probe>> windows;
        windows.emplace_back(std::make_unique<TForm2>(), Probe{"LabelIfMove", "If move / Comment"});
        windows.emplace_back(std::make_unique<TBoardSetup>(), Probe{"GroupSide", "Side to move"});
        windows.emplace_back(std::make_unique<TPromotionDialog>(), Probe{"CancelBtn", "Cancel"});
        windows.emplace_back(std::make_unique<TDiacriticDialog>(), Probe{"CancelBtn", "Cancel"});
        windows.emplace_back(std::make_unique<TCalendarDialog>(), Probe{"CancelBtn", "Cancel"});
        windows.emplace_back(std::make_unique<THelpWindow>(), Probe{"ContentsBtn", "Contents"});
        windows.emplace_back(
            std::make_unique<TSecondsDialog>(),
            Probe{"LabelSeconds", "&Seconds the engine thinks about each position:"});
        windows.emplace_back(std::make_unique<TAnalysisViewer>(), Probe{"Print1", "&Print"});
        windows.emplace_back(std::make_unique<TMainForm>(session), Probe{"FileNewItem", "&New"});
        windows.emplace_back(std::make_unique<TEditorDialog>(), Probe{"LabelSubject", "Subject:"});
        for (auto& [w, probe] : windows) {
            w->show();
            QStringList empty;
            int texts = 0;
            CollectEmpty(w.get(), empty, texts);
            EXPECT_TRUE(empty.isEmpty())
                << names[lang] << ": " << empty.join(QStringLiteral(", ")).toStdString();
            EXPECT_GE(texts, 3) << w->objectName().toStdString();
            const QString probeText = TextOf(w.get(), probe.widget);
            EXPECT_FALSE(probeText.isEmpty()) << probe.widget;
            if (lang == 0) {
                EXPECT_EQ(probeText, QLatin1String(probe.english)) << probe.widget;
            } else {
                EXPECT_NE(probeText, QLatin1String(probe.english))
                    << names[lang] << " " << w->objectName().toStdString() << "/" << probe.widget;
            }
            w->hide();
        }
        // Messages come from the same tables.
        TForm2 game;
        EXPECT_FALSE(game.Msg(QStringLiteral("@HasChanged")).isEmpty());
        for (const char* key :
             {"@NoMovesMarked", "@Wait", "@EngineFileNotWritten", "@TooManyAnalyses"})
            EXPECT_FALSE(LangText(QStringLiteral("TForm2"), QLatin1String(key)).isEmpty()) << key;
        if (lang == 2) {
            EXPECT_EQ(game.Msg(QStringLiteral("@KingWouldBeInCheck")),
                      QStringLiteral("Der König stünde im Schach"));
        }
    }
    SetUiLanguage(0);
}
