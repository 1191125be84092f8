// The setup windows driven in-process: title texts, the folder field, the
// "Abort setup ?" question, the group window, and an installation through
// the Install button. Modal windows are answered from a timer.
//
// With SETUP_SHOTS_DIR set and a real X display (DISPLAY, QT_QPA_PLATFORM=xcb)
// the test also takes screenshots of the main and the group window there.
#include "setup/folders.h"
#include "setup/gui/setupwindow.h"
#include "testutil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace quorel::setup::test {
namespace {

// Answers modal windows in turn: each handler gets the next new modal window.
class ModalAnswerer {
  public:
    using Handler = std::function<void(QWidget*)>;
    explicit ModalAnswerer(std::vector<Handler> handlers) : handlers_(std::move(handlers)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || w == last_) return;
            last_ = w;
            if (next_ < handlers_.size()) {
                handlers_[next_++](w);
            } else {
                unexpected.push_back(Describe(w));
                if (auto* box = qobject_cast<QMessageBox*>(w))
                    box->reject();
                else if (auto* d = qobject_cast<QDialog*>(w))
                    d->reject();
            }
        });
        timer_.start(20);
    }
    size_t Answered() const { return next_; }
    static std::string Describe(QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w))
            return box->windowTitle().toStdString() + ": " + box->text().toStdString();
        return w->windowTitle().toStdString();
    }
    std::vector<std::string> unexpected;

  private:
    QTimer timer_;
    std::vector<Handler> handlers_;
    size_t next_ = 0;
    QPointer<QWidget> last_; // a new box may reuse the address of a closed one
};

// A handler that checks a message box's caption and text and presses button.
ModalAnswerer::Handler Box(std::string text, QMessageBox::StandardButton button,
                           std::vector<std::string>& seen) {
    return [text, button, &seen](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        seen.push_back(ModalAnswerer::Describe(w));
        if (!box) return;
        EXPECT_EQ(box->windowTitle().toStdString(), "Setup");
        EXPECT_EQ(box->text().toStdString(), text);
        QTimer::singleShot(0, box, [box, button] { box->button(button)->click(); });
    };
}

void Shot(const char* name) {
    const char* dir = std::getenv("SETUP_SHOTS_DIR");
    if (!dir || !*dir) return;
    QApplication::processEvents();
    QTest::qWait(300);
    std::string cmd = std::string("import -window root '") + dir + "/" + name + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        src = root / "src";
        WriteFile(src + "/quorel", "#!/bin/sh\n", 0755);
        WriteFile(src + "/docs/index.html", "<html></html>");
        WriteFile(root / "etc/menus/applications.menu",
                  "<Menu><Name>Applications</Name><Menu><Name>Games</Name></Menu>"
                  "<Menu><Name>Office</Name></Menu><Menu><Name>Accessories</Name></Menu>"
                  "<Menu><Name>Education</Name></Menu><Menu><Name>Internet</Name></Menu></Menu>");
        qputenv("HOME", QByteArray::fromStdString(root / "home"));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(root / "data"));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(root / "config"));
        qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString(root / "etc"));
        list.ProgramName = "Quorel";
        list.GroupName = "Quorel";
        list.MainFile = "quorel";
        list.WorkList = {"D games",          "D docs",
                         "F quorel quorel",  "F docs/index.html docs/index.html",
                         "GA Quorel quorel", "GA Quorel manual docs/index.html"};
    }
    TempDir root;
    std::string src;
    TSetupList list;
};

TEST_F(Window, TitlesAndFolderField) {
    TSetupWindow w(list, QString::fromStdString(src), false, false);
    w.show();
    EXPECT_EQ(w.windowTitle(), "Setup V1.0");
    EXPECT_EQ(w.objectName(), "Setup");
    EXPECT_EQ(w.findChild<QLabel*>("TitleLabel")->text(), "Quorel Setup");
    EXPECT_EQ(w.Folder().toStdString(), root / "home/Quorel");
    for (const char* b : {"InstallBtn", "CancelBtn", "AboutBtn"})
        EXPECT_NE(w.findChild<QPushButton*>(b), nullptr) << b;
    Shot("setup-main.png");

    // Closing before installing asks; No keeps the window, Yes closes it.
    std::vector<std::string> seen;
    ModalAnswerer answers({Box("Abort setup ?", QMessageBox::No, seen),
                           Box("Abort setup ?", QMessageBox::Yes, seen)});
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_TRUE(answers.unexpected.empty());
}

TEST_F(Window, FolderPickerStartsAtHomeAndCanCreateFolders) {
    fs::create_directories(root / "home/Existing");
    TSetupWindow w(list, QString::fromStdString(src), false, false);
    w.show();
    struct Row {
        std::string field, start;
    };
    const Row rows[] = {{root / "home/Quorel", root / "home"}, // does not exist yet
                        {root / "home/Existing", root / "home/Existing"}};
    for (const Row& r : rows) {
        w.SetFolder(QString::fromStdString(r.field));
        std::string started;
        bool canCreate = false;
        ModalAnswerer answers({[&](QWidget* m) {
            auto* dlg = qobject_cast<QFileDialog*>(m);
            ASSERT_NE(dlg, nullptr);
            started = dlg->directory().absolutePath().toStdString();
            auto* create = dlg->findChild<QAbstractButton*>("newFolderButton");
            canCreate = create && create->isVisible() && create->isEnabled();
            QTimer::singleShot(0, dlg, &QDialog::reject);
        }});
        w.findChild<QAbstractButton*>("BrowseBtn")->click();
        EXPECT_EQ(started, r.start) << r.field;
        EXPECT_TRUE(canCreate);
        EXPECT_EQ(w.Folder().toStdString(), r.field); // cancelled: field unchanged
    }
    w.hide();
}

TEST_F(Window, InstallThroughTheGroupWindow) {
    const std::string target = root / "home/Chess/Quorel";
    TSetupWindow w(list, QString::fromStdString(src), false, false);
    w.show();
    w.SetFolder(QString::fromStdString(target));
    std::vector<std::string> seen;
    std::vector<std::string> groups;
    ModalAnswerer answers({
        [&](QWidget* m) {
            seen.push_back(ModalAnswerer::Describe(m));
            auto* edit = m->findChild<QLineEdit*>("GroupEdit");
            auto* lw = m->findChild<QListWidget*>("GroupList");
            ASSERT_TRUE(edit && lw);
            EXPECT_EQ(edit->text(), "Quorel"); // the default group
            // While installing, the window neither closes nor asks.
            EXPECT_FALSE(w.close());
            EXPECT_FALSE(w.findChild<QPushButton*>("CancelBtn")->isEnabled());
            for (int i = 0; i < lw->count(); ++i)
                groups.push_back(lw->item(i)->text().toStdString());
            Shot("setup-group.png");
            // Clicking a listed group copies its name into the field.
            auto items = lw->findItems("Games", Qt::MatchExactly);
            ASSERT_EQ(items.size(), 1);
            lw->scrollToItem(items[0]);
            QTest::mouseClick(lw->viewport(), Qt::LeftButton, {},
                              lw->visualItemRect(items[0]).center());
            EXPECT_EQ(edit->text(), "Games");
            edit->setText("Chess");
            QTimer::singleShot(0, m, [m] { m->findChild<QPushButton*>("OKBtn")->click(); });
        },
        Box("Quorel installed", QMessageBox::Ok, seen),
    });
    w.findChild<QPushButton*>("InstallBtn")->click();
    EXPECT_EQ(seen, (std::vector<std::string>{"Select Group", "Setup: Quorel installed"}));
    EXPECT_EQ(groups, (std::vector<std::string>{"Accessories", "Education", "Games", "Internet",
                                                "Office"}));
    EXPECT_TRUE(answers.unexpected.empty()) << answers.unexpected.front();
    EXPECT_FALSE(w.isVisible()); // closed without "Abort setup ?"
    EXPECT_TRUE(fs::is_directory(target + "/games"));
    EXPECT_EQ(ReadFile(target + "/docs/index.html"), "<html></html>");
    EXPECT_TRUE(fs::exists(root / "data/applications/setup-chess-quorel.desktop"));
    EXPECT_TRUE(fs::exists(root / "data/applications/setup-chess-quorel-manual.desktop"));
    EXPECT_TRUE(fs::exists(root / "config/menus/applications-merged/setup-chess.menu"));
}

TEST_F(Window, RefusedInstallStaysOpen) {
    TSetupWindow w(list, QString::fromStdString(src), false, false);
    w.show();
    w.SetFolder(QString::fromStdString(src));
    std::vector<std::string> seen;
    ModalAnswerer answers(
        {Box("Can't install into the source directory " + src + "/", QMessageBox::Ok, seen)});
    EXPECT_EQ(w.Install(), TInstallResult::Refused);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_TRUE(answers.unexpected.empty());
    w.hide();
}

} // namespace
} // namespace quorel::setup::test

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
