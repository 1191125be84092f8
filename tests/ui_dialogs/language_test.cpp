// Every window of the dialogs built in each of the seven languages: no
// visible text is empty, and the texts are the language's own (not the
// English ones) for captions that differ between the languages.
#include <QAbstractButton>
#include <gtest/gtest.h>

#include "dlgtest_util.h"
#include "shell/addressbook.h"
#include "shell/startup.h"
#include "ui/common/langapply.h"
#include "ui/dialogs/addressdialog.h"
#include "ui/dialogs/configdialog.h"
#include "ui/dialogs/selectdialog.h"
#include "ui/dialogs/selectpgn.h"

using namespace quorel;
using namespace quorel::ui;

namespace {

QString Text(QWidget& w, const char* name) {
    auto* b = w.findChild<QAbstractButton*>(QLatin1String(name));
    return b ? b->text() : QString();
}

} // namespace

TEST(DialogLanguages, EveryWindowInEveryLanguageShowsItsTexts) {
    dlgtest::TempFolder folder(true);
    QStringList captions;
    for (int language = 0; language < 7; ++language) {
        SetUiLanguage(language);
        TSelectDialog select;
        select.RefreshList();
        TSelectPGN picker;
        TConfigDialog config(*folder.Session());
        TAddressDialog address(folder.Session()->AddressBook());
        TEditAddressDialog editor;
        TCountriesListDialog countries;
        for (QWidget* w : std::initializer_list<QWidget*>{&select, &picker, &config, &address,
                                                          &editor, &countries}) {
            w->show();
            EXPECT_EQ(dlgtest::EmptyVisibleTexts(w), QStringList{})
                << w->objectName().toStdString() << " in language " << language;
            w->hide();
        }
        captions << select.windowTitle() + QLatin1Char('|') + Text(picker, "SearchButton") +
                        QLatin1Char('|') + Text(config, "CheckCoordinates") + QLatin1Char('|') +
                        Text(address, "AddButton") + QLatin1Char('|') + editor.windowTitle() +
                        QLatin1Char('|') + countries.windowTitle();
    }
    // Seven different sets of texts.
    captions.removeDuplicates();
    EXPECT_EQ(captions.size(), 7) << captions.join(QLatin1Char('\n')).toStdString();
    SetUiLanguage(0);
}
