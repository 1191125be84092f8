// Start-up and shutdown of the frame, without drawing.
#include "shell/startup.h"

#include "platform/files.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <system_error>

namespace quorel {

namespace fs = std::filesystem;

namespace {
void ChangeFolder(const fs::path& folder) {
    std::error_code ec;
    fs::current_path(folder, ec);
}

// A settings file that never named an engine (the first run) gets the UCI
// engine found on this machine; an engine path the player emptied stays empty.
void ProposeEngine(const TIniFile& ini, TSettings& s) {
    if (ini.Get(setting::RebelEnginePath.section, setting::RebelEnginePath.key)) return;
    const char* path = std::getenv("PATH");
    s.RebelEnginePath = ProposedEnginePath(path ? path : "");
}
} // namespace

TShellSession::TShellSession(TProgramFolderEnv env) : env_(std::move(env)) {
    folders_ = FoldersOf(ResolveProgramFolder(env_));
}

TShellSession::~TShellSession() = default;

bool TShellSession::CheckSingleInstance() {
    EnsureFolder(folders_.Program);
    ChangeFolder(folders_.Program);
    std::error_code ec;
    if (!fs::exists(folders_.AddressBook, ec)) return true;
    return book_.Open(folders_.AddressBook);
}

void TShellSession::ScanCommandLine(const std::vector<std::string>& args) {
    commandLine_ = ParseCommandLine(args);
}

fs::path TShellSession::PasswordFile() const {
    return folders_.Program / PasswordFileName(commandLine_.Profile);
}

bool TShellSession::CreateFrame(std::string* error) {
    // The settings file name is expanded against the program folder, which
    // is current at this point.
    settingsFile_ = folders_.Program / SettingsFileName(commandLine_.Profile);
    ChangeFolder(folders_.Program);
    EnsureFolder(folders_.Mailbox);
    EnsureFolder(folders_.Attach);

    bool existed = false;
    const TIniFile ini = TIniFile::Load(settingsFile_, &existed);
    firstRun_ = !existed;
    settings_ = TSettings::Read(ini);
    ProposeEngine(ini, settings_);
    password_ = ReadPasswordFile(PasswordFile()).value_or(std::string());

    EnsureFolder(folders_.Games);
    ChangeFolder(folders_.Games);

    frameLang_ = TMultiLang::ForWindow("TMainForm");
    frameLang_.SetActiveLanguage(settings_.Language);

    const std::array<std::string, 5> names = {
        frameLang_.Text("@NewMail"), frameLang_.Text("@QueuedMail"), frameLang_.Text("@SentMail"),
        frameLang_.Text("@TrashMail"), "??"};
    if (!store_.Open(folders_.Mailbox, names)) {
        if (error)
            *error = store_.IndexLocked() ? "the mailbox index is in use by another program"
                                          : "cannot open or create the mailbox index in " +
                                                folders_.Mailbox.string();
        return false;
    }
    return true;
}

std::string TShellSession::CreateAddressBook(bool* ok, std::string* error) {
    if (ok) *ok = true;
    if (error) error->clear();
    if (book_.IsOpen()) return {};
    const auto result = book_.OpenOrCreate(folders_.AddressBook);
    if (result != TAddressBook::OpenResult::Created) {
        const bool opened = result == TAddressBook::OpenResult::Opened;
        if (ok) *ok = opened;
        if (error && !opened)
            *error = frameLang_.Text("@AddressBookNotOpened") + "\n" +
                     folders_.AddressBook.string() + "\n" + book_.OpenError();
        return {};
    }
    book_.Add(TAddressBook::SampleEntry(folders_.Program));
    std::string old;
    if (!ReadWholeFile(folders_.OldAddressList, old)) return {};
    book_.ImportOldList(ParseOldAddressList(old), folders_.Program);
    TMultiLang lang = TMultiLang::ForWindow("TAddressDialog");
    lang.SetActiveLanguage(settings_.Language);
    return lang.Text("@AddressFileImported");
}

namespace {

// A window's game never saved holds the name "NONAME.QRL": no file to reopen.
bool NamesSavedGame(const std::string& file) {
    std::string name = std::filesystem::path(file).filename().string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return !name.empty() && name != "NONAME.QRL";
}

} // namespace

std::vector<std::string> TShellSession::LastGames() const {
    std::vector<std::string> files = ReadLastGames(folders_.LastGames);
    std::erase_if(files, [](const std::string& f) { return !NamesSavedGame(f); });
    return files;
}

std::optional<std::string> TShellSession::CloseQuestion() {
    const int queued = store_.IsOpen() ? store_.QueuedCount() : 0;
    if (queued <= 0) return std::nullopt;
    return std::to_string(queued) + " " + frameLang_.Text("@MessagesQueued");
}

bool TShellSession::WriteOpenGames(const std::vector<std::string>& gameFiles) {
    ChangeFolder(folders_.Program);
    std::vector<std::string> saved;
    for (const std::string& f : gameFiles)
        if (NamesSavedGame(f)) saved.push_back(f);
    return WriteLastGames(folders_.LastGames, saved);
}

void TShellSession::DestroyFrame() {
    if (!settingsFile_.empty()) {
        TIniFile ini = TIniFile::Load(settingsFile_);
        settings_.WriteOnExit(ini);
        ini.Save(settingsFile_, 0600);
    }
    store_.Close();
    RemoveAnalysisReports(folders_.Program);
}

TSettings TShellSession::ReadSettingsForDialog() {
    ChangeFolder(folders_.Program);
    const TIniFile ini = TIniFile::Load(settingsFile_);
    TSettings s = TSettings::Read(ini);
    ProposeEngine(ini, s);
    if (!ini.Get(setting::DisplayCoordenates.section, setting::DisplayCoordenates.key))
        s.DisplayCoordenates = false;
    return s;
}

std::string TShellSession::ReadPassword() const {
    return ReadPasswordFile(PasswordFile()).value_or(std::string());
}

bool TShellSession::EnforceHashRule(TSettings& s) {
    if (s.RebelEngineVersion == 0 && s.RebelEngineHashSize != 0) {
        s.RebelEngineHashSize = 0;
        return true;
    }
    return false;
}

bool TShellSession::SaveDialogSettings(const TSettings& s, const std::string& password,
                                       bool* languageChanged, std::string* error) {
    TIniFile ini = TIniFile::Load(settingsFile_);
    s.WriteDialogFields(ini);
    if (!ini.Save(settingsFile_, 0600, error)) return false;
    if (!WritePasswordFile(PasswordFile(), password, error)) return false;
    if (languageChanged) *languageChanged = s.Language != settings_.Language;
    // Only the dialog's fields change: the window state held for the run
    // (fonts, splitters, filters) stays as the windows left it.
    for (const TSettingKey* k : setting::WrittenByDialog)
        settings_.Set(*k, s.Get(*k));
    // The engine path is held whole: the analysis needs the program's name
    // as well as its folder.
    password_ = password;
    return true;
}

} // namespace quorel
