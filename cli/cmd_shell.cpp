// qrltool commands of the application shell: the profile's settings and the
// address book, both in the program folder ($QUOREL_HOME when set).
#include "cli/command.h"
#include "platform/files.h"
#include "shell/addressbook.h"
#include "shell/folders.h"
#include "shell/ini.h"
#include "shell/lang/multilang.h"
#include "shell/profile.h"
#include "shell/settings.h"

#include <iostream>

namespace {

using namespace quorel;

std::filesystem::path ProgramFolder() {
    return ResolveProgramFolder(CurrentProgramFolderEnv());
}

// The profile's settings file: --user NAME, else "quorel".
std::filesystem::path SettingsPath(std::vector<std::string>& args) {
    std::string user;
    cli::TakeOption(args, "--user", user);
    if (user.empty()) user = std::string(kDefaultProfile);
    return ProgramFolder() / SettingsFileName(user);
}

int Settings(std::vector<std::string> args) {
    const auto path = SettingsPath(args);
    std::string assignment;
    const bool set = cli::TakeOption(args, "--set", assignment);
    if (!args.empty()) {
        std::cerr << "qrltool settings: unexpected argument " << args[0] << "\n";
        return 2;
    }
    TIniFile ini = TIniFile::Load(path);
    TSettings settings = TSettings::Read(ini);
    if (!set) {
        for (const TSettingKey* k : setting::All)
            std::cout << k->section << "/" << k->key << "=" << settings.Get(*k) << "\n";
        return 0;
    }
    const size_t slash = assignment.find('/');
    const size_t eq = assignment.find('=', slash == std::string::npos ? 0 : slash);
    if (slash == std::string::npos || eq == std::string::npos) {
        std::cerr << "qrltool settings: --set wants \"Section/Key=value\"\n";
        return 2;
    }
    const TSettingKey* key =
        setting::Find(assignment.substr(0, slash), assignment.substr(slash + 1, eq - slash - 1));
    if (!key) {
        std::cerr << "qrltool settings: no setting " << assignment.substr(0, eq) << "\n";
        return 2;
    }
    settings.Set(*key, assignment.substr(eq + 1));
    ini.WriteString(key->section, key->key, settings.Get(*key));
    EnsureFolder(path.parent_path());
    std::string error;
    if (!ini.Save(path, 0600, &error)) {
        std::cerr << "qrltool settings: " << error << "\n";
        return 1;
    }
    std::cout << key->section << "/" << key->key << "=" << settings.Get(*key) << "\n";
    return 0;
}

// The address dialog's texts in the default profile's language.
TMultiLang AddressLang() {
    TMultiLang lang = TMultiLang::ForWindow("TAddressDialog");
    const TSettings s =
        TSettings::Read(TIniFile::Load(ProgramFolder() / SettingsFileName(kDefaultProfile)));
    lang.SetActiveLanguage(s.Language);
    return lang;
}

int BookList(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::cerr << "qrltool book list: unexpected argument " << args[0] << "\n";
        return 2;
    }
    TAddressBook book;
    const auto path = FoldersOf(ProgramFolder()).AddressBook;
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !book.OpenReadOnly(path)) {
        std::cerr << "qrltool book list: cannot read " << path.string() << "\n";
        return 1;
    }
    for (const auto& row : book.Rows())
        std::cout << row.Text << "\n";
    const TMultiLang lang = AddressLang();
    std::cout << book.StatusText(lang.Text("@Title"), lang.Text("@Registers")) << "\n";
    return 0;
}

int BookImportOld(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "usage: qrltool book import-old FILE\n";
        return 2;
    }
    std::string text;
    if (!ReadWholeFile(args[0], text)) {
        std::cerr << "qrltool book import-old: cannot read " << args[0] << "\n";
        return 1;
    }
    const auto program = ProgramFolder();
    EnsureFolder(program);
    TAddressBook book;
    switch (book.OpenOrCreate(FoldersOf(program).AddressBook)) {
    case TAddressBook::OpenResult::Locked:
        std::cerr << "qrltool book import-old: the address book is in use (Quorel is running)\n";
        return 1;
    case TAddressBook::OpenResult::Failed:
        std::cerr << "qrltool book import-old: cannot open or create "
                  << FoldersOf(program).AddressBook.string() << "\n";
        return 1;
    case TAddressBook::OpenResult::Created:
        // A new book starts as the program's creation makes it.
        book.Add(TAddressBook::SampleEntry(program));
        break;
    case TAddressBook::OpenResult::Opened:
        break;
    }
    const int added = book.ImportOldList(ParseOldAddressList(text), program);
    std::cout << AddressLang().Text("@AddressFileImported") << " (" << added << ")\n";
    return 0;
}

cli::QrlCommand settingsCmd{
    "settings", "[--user NAME] [--set \"Section/Key=value\"]",
    "print the profile's settings as Section/Key=value (defaults for absent keys), or write one",
    [](const std::vector<std::string>& a) { return Settings(a); }};
cli::QrlCommand bookListCmd{"book list", "",
                            "print the address book: name, tab, e-mail, tab, notes; then the count",
                            BookList};
cli::QrlCommand bookImportCmd{"book import-old", "FILE",
                              "import an old name;address list into the address book",
                              BookImportOld};

} // namespace
