#pragma once
// The frame's start-up and shutdown, step by step and without drawing: the
// frame window calls these in the order of its own events and shows what
// they return. Everything the frame keeps for the run lives here: program
// folder and folders, profile, settings, password, first-run flag, the
// address book and the mailbox index files.
#include "mail/store.h"
#include "shell/addressbook.h"
#include "shell/folders.h"
#include "shell/ini.h"
#include "shell/lang/multilang.h"
#include "shell/profile.h"
#include "shell/settings.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorel {

inline constexpr const char* kAlreadyRunningText = "Quorel is already running!";
inline constexpr int kAlreadyRunningExitCode = 1;
inline constexpr const char* kQuorelVersion = "4.00";
inline constexpr const char* kApplicationTitle = "Quorel 4.00";
inline constexpr const char* kHelpFileName = "QUOREL.HLP";
inline constexpr const char* kHashSizeRefusedText =
    "Rebel Decade 2.0 only allow 256 kb hash table size";
inline constexpr const char* kHashSizeRefusedCaption = "QUOREL";

// The "@" keys the shell asks for, by window (the language table test checks
// that each exists in that window's table).
inline constexpr std::array<const char*, 8> kMainFormKeys = {
    "@NewMail",         "@QueuedMail",          "@SentMail",       "@TrashMail",
    "@MessagesQueued",  "@CannotCreateWindows", "@NotEnoughMemory", "@AddressBookNotOpened"};
inline constexpr std::array<const char*, 7> kAddressDialogKeys = {
    "@Name",      "@EmailAddress", "@Comments",           "@Title",
    "@Registers", "@WantDelete",   "@AddressFileImported"};

class TShellSession {
  public:
    explicit TShellSession(TProgramFolderEnv env = CurrentProgramFolderEnv());
    ~TShellSession();
    TShellSession(const TShellSession&) = delete;
    TShellSession& operator=(const TShellSession&) = delete;

    // Process start, step 1: resolves the program folder, creates it when
    // missing and makes it current; when address.lst exists there, opens it
    // for the run (locked). False when that fails: the caller shows
    // kAlreadyRunningText and ends with kAlreadyRunningExitCode.
    bool CheckSingleInstance();

    // Process start, step 2: "-DEBUGMODE" and "-USER:name".
    void ScanCommandLine(const std::vector<std::string>& args);

    // Frame creation (everything but drawing): folders (mailbox and attach
    // created when missing), first-run flag, settings and password, the
    // games folder (created when missing; it stays current), the frame's
    // language, and the mailbox index files (a new folder.lst gets the
    // five folder records in the chosen language). False, with error, when
    // the mailbox index cannot be opened or created.
    bool CreateFrame(std::string* error = nullptr);

    // The address book's creation (program start): opens the book, or
    // creates it with a sample entry and, when quorel.lst exists, imports it.
    // Returns the text of "@AddressFileImported" in the chosen language
    // when an old list was imported, else the empty text. False in ok when
    // the book can be neither opened nor created; error then gets the message
    // for the player: "@AddressBookNotOpened", the book's path and the reason.
    std::string CreateAddressBook(bool* ok = nullptr, std::string* error = nullptr);

    // First activation: the game files to reopen (non-blank lines of
    // lastgame.lst naming a saved game).
    std::vector<std::string> LastGames() const;

    // Closing: the question to ask with OK and Cancel when messages are
    // queued (count + " " + "@MessagesQueued"); nullopt when none are.
    std::optional<std::string> CloseQuestion();
    // Closing, after OK or without a question: makes the program folder
    // current and rewrites lastgame.lst with the open games' file names;
    // games never saved ("NONAME.QRL") have no file to reopen and are left out.
    bool WriteOpenGames(const std::vector<std::string>& gameFiles);

    // Frame destruction: writes the exit keys of Settings() (the frame puts
    // its window state there first) into the settings file, closes the
    // mailbox index files and deletes the *.ANA files of the program folder.
    void DestroyFrame();

    // --- settings dialog ---
    // The values the dialog shows when it opens: makes the program folder
    // current and reads the settings file as it is now, absent keys at
    // their defaults except that an absent "Display Coordenates" is
    // unchecked.
    TSettings ReadSettingsForDialog();
    // The password as stored now ("" when there is no password file).
    std::string ReadPassword() const;
    // The hash choice rule: Rebel Decade 2.0 with a hash size other than
    // 256 kB is set back to 256 kB; true when it was (show
    // kHashSizeRefusedText).
    static bool EnforceHashRule(TSettings& s);
    // OK: writes the dialog's fields (setting::WrittenByDialog) and the
    // password file (both 0600), takes those values over for the run (the engine path whole,
    // so that the next analysis uses the program entered). True in languageChanged when the language differs (show
    // "@LanguageChange"; it applies from the next start).
    bool SaveDialogSettings(const TSettings& s, const std::string& password,
                            bool* languageChanged = nullptr, std::string* error = nullptr);

    // The settings dialog's caption: its form caption + "  [" + profile + "]".
    std::string SettingsDialogCaption(std::string_view formCaption) const {
        return std::string(formCaption) + "  [" + commandLine_.Profile + "]";
    }

    // --- state for the run ---
    const TFolders& Folders() const { return folders_; }
    const std::filesystem::path& SettingsFile() const { return settingsFile_; }
    std::filesystem::path PasswordFile() const;
    const std::string& Profile() const { return commandLine_.Profile; }
    bool DebugMode() const { return commandLine_.DebugMode; }
    bool FirstRun() const { return firstRun_; }
    TSettings& Settings() { return settings_; }
    const std::string& Password() const { return password_; }
    // The frame's language table, switched to the chosen language.
    const TMultiLang& FrameLang() const { return frameLang_; }
    TAddressBook& AddressBook() { return book_; }
    mail::TMailStore& MailStore() { return store_; }

  private:
    TProgramFolderEnv env_;
    TCommandLine commandLine_;
    TFolders folders_;
    std::filesystem::path settingsFile_;
    bool firstRun_ = false;
    TSettings settings_;
    std::string password_;
    TMultiLang frameLang_;
    TAddressBook book_;
    mail::TMailStore store_;
};

} // namespace quorel
