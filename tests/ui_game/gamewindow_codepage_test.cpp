// The game window tells the player, once per window, that letters outside
// Windows-1252 are saved transliterated, and the file holds them so.
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include "ui/game/gamewindow.h"
#include "uitest_util.h"

using namespace quorel;
using quorel::ui::TForm2;

TEST(GameWindowCodePage, TransliterationIsToldOnceAndSaved) {
    uitest::TempProgram program;
    program.CopySample(QStringLiteral("SAMPLE.QRL"));
    TForm2 w;
    w.RefreshGame(QStringLiteral("SAMPLE.QRL"));
    auto* white = w.findChild<QLineEdit*>(QStringLiteral("EditWhite"));
    auto* site = w.findChild<QLineEdit*>(QStringLiteral("EditSite"));
    ASSERT_TRUE(white && site);
    // Two answers queued, one box expected: a box too many is seen, not hung on.
    uitest::ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    answers.Press(QMessageBox::Ok);
    // Letters of the code page alone: nothing to tell.
    white->setText(QStringLiteral("J\u00fcrgen M\u00fcller"));
    ASSERT_TRUE(w.SaveButtonClick());
    EXPECT_TRUE(answers.Texts().isEmpty());
    white->setText(QStringLiteral("\u0141ukasz, \u017b\u00f3\u0142\u0107"));
    ASSERT_TRUE(w.SaveButtonClick());
    ASSERT_EQ(answers.Texts().size(), 1);
    EXPECT_TRUE(answers.Texts()[0].contains(QStringLiteral("nearest plain letters")))
        << answers.Texts()[0].toStdString();
    const std::string bytes = program.ReadFile(QStringLiteral("SAMPLE.QRL"));
    EXPECT_EQ(bytes.substr(133, 13), std::string("\x0cLukasz, Z\xf3lc", 13));
    // A second text outside the code page in the same window: no second box.
    site->setText(QStringLiteral("\u0141\u00f3d\u017a"));
    ASSERT_TRUE(w.SaveButtonClick());
    EXPECT_EQ(answers.Texts().size(), 1);
    EXPECT_EQ(answers.Pending(), 1);
    EXPECT_EQ(program.ReadFile(QStringLiteral("SAMPLE.QRL")).substr(48, 5), std::string("\x04L\xf3"
                                                                                        "dz",
                                                                                        5));
}
