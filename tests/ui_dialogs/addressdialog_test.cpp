// The address book window over a real book file: add, edit and delete
// through the entry editor and the question, the status text, picking an
// entry, the editor's cuts and the countries list.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "dlgtest_util.h"
#include "shell/addressbook.h"
#include "ui/common/langapply.h"
#include "ui/dialogs/addressdialog.h"

using namespace quorel;
using namespace quorel::ui;

namespace {

// Fills the editor that is the modal window w, then presses OK or Cancel.
std::function<void(QWidget*)> FillEditor(std::map<std::string, QString> fields, bool ok = true) {
    return [fields, ok](QWidget* w) {
        auto* editor = qobject_cast<TEditAddressDialog*>(w);
        ASSERT_NE(editor, nullptr);
        for (const auto& [name, text] : fields) {
            if (name == "EditNotes")
                editor->Notes()->setPlainText(text);
            else
                editor->Field(name.c_str())->setText(text);
        }
        if (ok)
            editor->accept();
        else
            editor->reject();
    };
}

class AddressBookWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        SetUiLanguage(0);
        ASSERT_EQ(book.OpenOrCreate(folder.Path(QStringLiteral("address.lst")).toStdString()),
                  TAddressBook::OpenResult::Created);
    }
    dlgtest::TempFolder folder;
    TAddressBook book;
};

} // namespace

TEST_F(AddressBookWindow, AddEditDeleteKeepTheFileAndTheList) {
    TAddressDialog dialog(book);
    EXPECT_EQ(dialog.StatusText(), QStringLiteral("Address Book 0 Registers"));
    {
        dlgtest::Modals modals;
        modals.Then(FillEditor({{"EditName", "Bo Cid"},
                                {"EditEmail", "bo@example.org"},
                                {"EditNotes", "Plays the Sicilian"},
                                {"EditCity", "Lugo"},
                                {"EditCountry", "Spain"}}));
        dialog.AddButtonClick();
        modals.Then(FillEditor({{"EditName", "Eva Ruiz"}, {"EditEmail", "eva@example.org"}}));
        dialog.AddButtonClick();
        modals.Then(FillEditor({{"EditName", "Not stored"}}, false));
        dialog.AddButtonClick();
    }
    ASSERT_EQ(book.Count(), 2);
    EXPECT_EQ(dialog.StatusText(), QStringLiteral("Address Book 2 Registers"));
    QTreeWidget* list = dialog.List();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("Bo Cid"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("bo@example.org"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("Plays the Sicilian"));
    EXPECT_EQ(book.Get(1).City, "Lugo");

    // Edit the first entry in place.
    dialog.SelectRecord(1);
    {
        dlgtest::Modals modals;
        modals.Then([](QWidget* w) {
            auto* editor = qobject_cast<TEditAddressDialog*>(w);
            ASSERT_NE(editor, nullptr);
            EXPECT_EQ(editor->Field("EditCity")->text(), QStringLiteral("Lugo"));
            editor->Field("EditEmail")->setText(QStringLiteral("bo.cid@example.org"));
            editor->accept();
        });
        dialog.EditButtonClick();
    }
    EXPECT_EQ(book.Count(), 2);
    EXPECT_EQ(book.Get(1).Email, "bo.cid@example.org");
    EXPECT_EQ(book.Get(1).Notes, "Plays the Sicilian");

    // Delete: Cancel keeps it, OK removes it and packs the file.
    dialog.SelectRecord(1);
    {
        dlgtest::Modals modals;
        modals.Press(QMessageBox::Cancel);
        dialog.DeleteButtonClick();
        EXPECT_EQ(modals.Texts(), QStringList{QStringLiteral("Do you want to delete this item?")});
        EXPECT_EQ(book.Count(), 2);
        modals.Press(QMessageBox::Ok);
        dialog.DeleteButtonClick();
    }
    ASSERT_EQ(book.Count(), 1);
    EXPECT_EQ(book.Get(1).Name, "Eva Ruiz");
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 1);
    // Deleting the only entry leaves an empty book.
    dialog.SelectRecord(1);
    {
        dlgtest::Modals modals;
        modals.Press(QMessageBox::Ok);
        dialog.DeleteButtonClick();
    }
    EXPECT_EQ(book.Count(), 0);
    EXPECT_EQ(dialog.StatusText(), QStringLiteral("Address Book 0 Registers"));
}

TEST_F(AddressBookWindow, PickLeavesTheEntryInTheBuffer) {
    TAddressRecord a, b;
    a.Name = "Ana";
    a.Email = "a@x";
    b.Name = "Bea";
    b.Email = "b@x";
    book.Add(a);
    book.Add(b);
    TAddressDialog dialog(book);
    dialog.SelectRecord(2);
    dialog.OkButtonClick();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(book.Buffered().Email, "b@x");
    // Closing in another way loads the selected entry too.
    TAddressDialog again(book);
    again.SelectRecord(1);
    again.reject();
    EXPECT_EQ(book.Buffered().Name, "Ana");
}

TEST(EntryEditor, CutsEveryFieldToItsCapacity) {
    dlgtest::TempFolder folder;
    SetUiLanguage(0);
    TEditAddressDialog editor;
    TAddressRecord r;
    r.Unused[5] = 7; // bytes the program does not use are kept
    editor.SetRecord(r);
    editor.Field("EditName")->setText(QString(100, QLatin1Char('n')));
    editor.Notes()->setPlainText(QString(300, QLatin1Char('x')));
    editor.Field("EditCity")->setText(QString(40, QLatin1Char('c')));
    const TAddressRecord out = editor.Record();
    EXPECT_EQ(out.Name.size(), 80u);
    EXPECT_EQ(out.Notes.size(), 255u);
    EXPECT_EQ(out.City.size(), 30u);
    EXPECT_EQ(out.Unused[5], 7);
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Bio Editor"));
}

TEST(CountriesList, HoldsTheFixedEntriesAndSelectsByCode) {
    SetUiLanguage(0);
    TCountriesListDialog dialog;
    ASSERT_EQ(dialog.List()->count(), 152);
    EXPECT_EQ(dialog.List()->item(0)->text(), QStringLiteral("AFG\\ Afghanistan"));
    EXPECT_EQ(dialog.List()->item(151)->text(), QStringLiteral("ZRE\\ Zaire"));
    dialog.Select(QStringLiteral("esp"));
    EXPECT_EQ(dialog.Chosen(), QStringLiteral("ESP\\ Spain"));
    EXPECT_EQ(dialog.Chosen().left(3), QStringLiteral("ESP"));
}
