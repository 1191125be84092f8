// The help window: shows an HTML page of the manual; F1 in a game window
// brings it up.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

#include "ui/game/gamewindow.h"
#include "ui/help/helpwindow.h"
#include "uitest_util.h"

using namespace quorel::ui;

TEST(Help, ShowsAnHtmlPageAndFollowsF1) {
    uitest::TempProgram program;
    QTemporaryDir manual;
    QFile page(manual.filePath(QStringLiteral("index.html")));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<html><body><h1>Playing a game</h1><p>Drag a piece.</p></body></html>");
    page.close();

    THelpWindow help;
    ASSERT_TRUE(help.ShowFile(page.fileName()));
    EXPECT_EQ(help.CurrentFile(), page.fileName());
    auto* text = help.findChild<QTextBrowser*>(QStringLiteral("HelpText"));
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->toPlainText().contains(QStringLiteral("Playing a game")));
    EXPECT_FALSE(help.ShowFile(manual.filePath(QStringLiteral("missing.html"))));

    TForm2 game;
    game.show();
    QTest::keyClick(&game, Qt::Key_F1);
    THelpWindow* shared = THelpWindow::Instance(&game);
    EXPECT_TRUE(shared->isVisible());
    THelpWindow::CloseIfOpen();
    EXPECT_FALSE(shared->isVisible());
}
