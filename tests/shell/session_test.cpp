// The start-up and shutdown session in-process, the single-instance test
// between real processes, and the qrltool settings and book commands.
#include "mail/store.h"
#include "shell/startup.h"
#include "testutil.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace quorel;
using namespace shelltest;

namespace {

// A child process with pipes on its standard streams.
struct Child {
    pid_t pid = -1;
    int in = -1, out = -1, err = -1;

    // Reads stream until it closes.
    static std::string Drain(int& fd) {
        std::string s;
        char buf[4096];
        for (ssize_t n; fd >= 0 && (n = ::read(fd, buf, sizeof buf)) > 0;)
            s.append(buf, size_t(n));
        if (fd >= 0) ::close(fd);
        fd = -1;
        return s;
    }
    // One line of standard output (blocking).
    std::string ReadLine() {
        std::string line;
        char c;
        while (::read(out, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    void CloseInput() {
        if (in >= 0) ::close(in);
        in = -1;
    }
    // Closes the input, collects the output and the exit code.
    int Wait(std::string* stdoutText = nullptr, std::string* stderrText = nullptr) {
        CloseInput();
        std::string o = Drain(out), e = Drain(err);
        if (stdoutText) *stdoutText = o;
        if (stderrText) *stderrText = e;
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

Child Spawn(const std::string& program, const std::vector<std::string>& args,
            const fs::path& home) {
    int in[2], out[2], err[2];
    EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    std::vector<std::string> env = {"QUOREL_HOME=" + home.string()};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "QUOREL_HOME=", 12) != 0) env.emplace_back(*e);
    std::vector<char*> argv = {const_cast<char*>(program.c_str())}, envp;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    Child c;
    EXPECT_EQ(posix_spawn(&c.pid, program.c_str(), &fa, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&fa);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    c.in = in[1];
    c.out = out[0];
    c.err = err[0];
    return c;
}

// Runs a program to its end; returns its exit code.
int RunProgram(const std::string& program, const std::vector<std::string>& args,
               const fs::path& home, std::string* out = nullptr, std::string* err = nullptr) {
    return Spawn(program, args, home).Wait(out, err);
}

TProgramFolderEnv HomeEnv(const fs::path& home) {
    TProgramFolderEnv env;
    env.QuorelHome = home.string();
    return env;
}

std::vector<std::string> FolderNames(const fs::path& folderList) {
    const std::string bytes = ReadBytes(folderList);
    std::vector<std::string> names;
    for (size_t at = 0; at + 156 <= bytes.size(); at += 156)
        names.push_back(bytes.substr(at + 1, size_t(static_cast<unsigned char>(bytes[at]))));
    return names;
}

} // namespace

TEST(ShellLanguageKeys, EveryKeyTheShellAsksForIsInItsWindowsTable) {
    for (const char* key : kMainFormKeys)
        EXPECT_TRUE(TMultiLang::ForWindow("TMainForm").HasKey(key)) << key;
    for (const char* key : kAddressDialogKeys)
        EXPECT_TRUE(TMultiLang::ForWindow("TAddressDialog").HasKey(key)) << key;
}

TEST(ShellSession, StartUpAndShutdownWithoutAWindow) {
    KeepCurrentDir keep;
    TempDir dir;
    const fs::path home = dir / "home";
    fs::create_directories(home);
    WriteBytes(home / "Alice.ini", "[SETUP]\r\nLanguage=1\r\nUser Name=Alice\r\n; mine\r\n");
    WriteBytes(home / "quorel.lst", "Old Friend ;old@example.org\r\nbroken line\r\n");
    WriteBytes(home / "lastgame.lst", "a.qrl\r\n\r\nb.qrl\r\n");
    WriteBytes(home / "report.ANA", "x");
    ASSERT_TRUE(WritePasswordFile(home / "Alice.pwd", "pw"));
    {
        TShellSession s(HomeEnv(home));
        ASSERT_TRUE(s.CheckSingleInstance());
        s.ScanCommandLine({"-user:Alice", "-debugmode"});
        EXPECT_TRUE(s.DebugMode());
        std::string error;
        ASSERT_TRUE(s.CreateFrame(&error)) << error;
        EXPECT_FALSE(s.FirstRun());
        EXPECT_EQ(s.SettingsFile(), home / "Alice.ini");
        EXPECT_EQ(s.Settings().UserName, "Alice");
        EXPECT_EQ(s.Password(), "pw");
        EXPECT_EQ(fs::current_path(), fs::canonical(home / "games"));
        for (const char* sub : {"mailbox", "games", "attach"})
            EXPECT_TRUE(fs::is_directory(home / sub));
        // A new folder list in the chosen language (Spanish) with "??" last.
        EXPECT_EQ(FolderNames(home / "mailbox" / "folder.lst"),
                  (std::vector<std::string>{"Correo nuevo", "Correo en cola", "Correo enviado",
                                            "Papelera", "??"}));

        bool ok = false;
        EXPECT_EQ(s.CreateAddressBook(&ok), "Se ha importado su antiguo fichero de direcciones");
        EXPECT_TRUE(ok);
        ASSERT_EQ(s.AddressBook().Count(), 2);
        EXPECT_EQ(s.AddressBook().Get(1).Photo, (home / "vignet.bmp").string());
        EXPECT_EQ(s.AddressBook().Get(2).Name, "Old Friend");
        EXPECT_EQ(s.AddressBook().Get(2).Notes, "Imported");

        EXPECT_EQ(s.LastGames(), (std::vector<std::string>{"a.qrl", "b.qrl"}));
        EXPECT_FALSE(s.CloseQuestion());
        mail::TMailIndexRecord queued;
        queued.Folder = mail::kFolderQueued;
        ASSERT_GT(s.MailStore().AppendRecord(queued), 0);
        ASSERT_GT(s.MailStore().AppendRecord(queued), 0);
        EXPECT_EQ(s.CloseQuestion(), "2 mensajes en cola, \u00bfdesea salir?");
        ASSERT_TRUE(s.WriteOpenGames({"c.qrl"}));
        EXPECT_EQ(fs::current_path(), fs::canonical(home));

        s.Settings().BeginMaximized = false;
        s.Settings().EditorFontSize = 14;
        s.Settings().Language = 3; // not written at exit
        s.DestroyFrame();
    }
    EXPECT_EQ(ReadBytes(home / "lastgame.lst"), "c.qrl\r\n");
    EXPECT_FALSE(fs::exists(home / "report.ANA"));
    const TIniFile ini = TIniFile::Load(home / "Alice.ini");
    EXPECT_EQ(ini.Get("Setup", "Begin_Maximized"), "NO");
    EXPECT_EQ(ini.Get("Setup", "Editor_Font_Size"), "14");
    EXPECT_EQ(ini.Get("Setup", "Language"), "1");
    EXPECT_NE(std::find(ini.Lines().begin(), ini.Lines().end(), "; mine"), ini.Lines().end());
    EXPECT_EQ(Mode(home / "Alice.ini"), 0600u);

    // A second run finds everything in place: no first run, no new import.
    TShellSession again(HomeEnv(home));
    ASSERT_TRUE(again.CheckSingleInstance());
    again.ScanCommandLine({"-user:Alice"});
    ASSERT_TRUE(again.CreateFrame());
    bool ok = false;
    EXPECT_EQ(again.CreateAddressBook(&ok), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(again.AddressBook().Count(), 2);
    EXPECT_EQ(again.MailStore().QueuedCount(), 2);
}

// Games never saved hold "NONAME.QRL": lastgame.lst lists saved games only,
// and an old list naming such a game reopens nothing for it.
TEST(ShellSession, LastGamesListSavedGamesOnly) {
    KeepCurrentDir keep;
    TempDir dir;
    const fs::path home = dir / "home";
    fs::create_directories(home);
    WriteBytes(home / "lastgame.lst", "NONAME.QRL\r\n/x/games/noname.qrl\r\nold.QRL\r\n");
    TShellSession s(HomeEnv(home));
    ASSERT_TRUE(s.CheckSingleInstance());
    ASSERT_TRUE(s.CreateFrame());
    EXPECT_EQ(s.LastGames(), std::vector<std::string>{"old.QRL"});
    ASSERT_TRUE(s.WriteOpenGames({(home / "games" / "a.QRL").string(), "NONAME.QRL",
                                  "b.qrl", "noname.qrl"}));
    EXPECT_EQ(ReadBytes(home / "lastgame.lst"), (home / "games" / "a.QRL").string() +
                                                    "\r\nb.qrl\r\n");
}

// An address book that can be neither opened nor created (here a link to a
// folder that is gone, as with a drive not mounted): the player is told which
// file and why.
TEST(ShellSession, AddressBookThatCannotBeOpenedIsReported) {
    KeepCurrentDir keep;
    TempDir dir;
    const fs::path home = dir / "home";
    fs::create_directories(home);
    fs::create_symlink(home / "gone" / "address.lst", home / "address.lst");
    WriteBytes(home / "quorel.ini", "[Setup]\r\nLanguage=2\r\n");
    TShellSession s(HomeEnv(home));
    ASSERT_TRUE(s.CheckSingleInstance());
    s.ScanCommandLine({});
    ASSERT_TRUE(s.CreateFrame());
    bool ok = true;
    std::string error;
    EXPECT_EQ(s.CreateAddressBook(&ok, &error), "");
    EXPECT_FALSE(ok);
    EXPECT_FALSE(s.AddressBook().IsOpen());
    EXPECT_EQ(error, "Das Adressbuch kann weder geöffnet noch angelegt werden; Quorel läuft bis "
                     "zum nächsten Start ohne es:\n" +
                         (home / "address.lst").string() + "\n" + std::strerror(ENOENT));
}

TEST(ShellSession, FirstRunAndTheSettingsDialog) {
    KeepCurrentDir keep;
    TempDir home;
    TShellSession s(HomeEnv(home.path()));
    ASSERT_TRUE(s.CheckSingleInstance());
    s.ScanCommandLine({});
    ASSERT_TRUE(s.CreateFrame());
    EXPECT_TRUE(s.FirstRun());
    // The engine of the test set-up (Debian's stockfish) is proposed.
    const char* pathList = std::getenv("PATH");
    EXPECT_EQ(s.Settings().RebelEnginePath, ProposedEnginePath(pathList ? pathList : ""));
    EXPECT_NE(s.Settings().RebelEnginePath, "");
    EXPECT_EQ(s.ReadSettingsForDialog().RebelEnginePath, s.Settings().RebelEnginePath);
    EXPECT_EQ(s.SettingsFile(), home / "quorel.ini");
    EXPECT_EQ(s.Password(), "");
    EXPECT_EQ(FolderNames(home / "mailbox" / "folder.lst"),
              (std::vector<std::string>{"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"}));

    // The dialog shows an absent "Display Coordenates" unchecked.
    EXPECT_TRUE(s.Settings().DisplayCoordenates);
    TSettings d = s.ReadSettingsForDialog();
    EXPECT_FALSE(d.DisplayCoordenates);
    EXPECT_EQ(fs::current_path(), fs::canonical(home.path()));
    EXPECT_EQ(s.ReadPassword(), "");

    d.RebelEngineVersion = 0;
    d.RebelEngineHashSize = 3;
    EXPECT_TRUE(TShellSession::EnforceHashRule(d));
    EXPECT_EQ(d.RebelEngineHashSize, 0);
    d.RebelEngineVersion = 1;
    d.RebelEngineHashSize = 3;
    EXPECT_FALSE(TShellSession::EnforceHashRule(d));

    d.Language = 2;
    d.RebelEnginePath = "/opt/engines/stockfish";
    d.Pop3UserName = "alice";
    s.Settings().EditorFontSize = 20; // changed by a window during the run
    d.EditorFontSize = 8;             // not a field of the dialog
    bool changed = false;
    ASSERT_TRUE(s.SaveDialogSettings(d, "topsecret", &changed));
    EXPECT_EQ(s.Settings().EditorFontSize, 20);
    EXPECT_EQ(s.SettingsDialogCaption("Configuration"), "Configuration  [quorel]");
    EXPECT_TRUE(changed);
    // The next analysis uses the program entered, not only its folder.
    EXPECT_EQ(s.Settings().RebelEnginePath, "/opt/engines/stockfish");
    EXPECT_EQ(s.Settings().Pop3UserName, "alice");
    EXPECT_EQ(s.Password(), "topsecret");
    EXPECT_EQ(Mode(home / "quorel.ini"), 0600u);
    EXPECT_EQ(Mode(home / "quorel.pwd"), 0600u);
    EXPECT_EQ(s.ReadPassword(), "topsecret");
    const TIniFile ini = TIniFile::Load(home / "quorel.ini");
    EXPECT_EQ(ini.Get("REBEL", "Rebel_Engine_Path"), "/opt/engines/stockfish");
    EXPECT_EQ(ini.Get("setup", "Language"), "2");
    EXPECT_EQ(ini.Get("Setup", "Display Coordenates"), "NO");
    EXPECT_FALSE(ini.Get("REBEL", "Rebel_engine_refresh_rate"));
    EXPECT_FALSE(ini.Get("Setup", "Editor_Font_Size"));
    ASSERT_TRUE(s.SaveDialogSettings(d, "topsecret", &changed));
    EXPECT_FALSE(changed);
    s.DestroyFrame();
}

TEST(SingleInstance, ASecondProcessIsRefusedWithExitCode1) {
    TempDir home;
    const std::string probe = SHELL_INSTANCE_PROBE;
    Child first = Spawn(probe, {"-user:First"}, home.path());
    ASSERT_EQ(first.ReadLine(), "started First");
    ASSERT_TRUE(fs::exists(home / "address.lst"));

    std::string out, err;
    EXPECT_EQ(RunProgram(probe, {}, home.path(), &out, &err), kAlreadyRunningExitCode);
    EXPECT_EQ(err, std::string(kAlreadyRunningText) + "\n");
    EXPECT_EQ(out, "");
    // qrltool refuses to change the book too, but may read it.
    WriteBytes(home / "old.lst", "X;x@example.org\n");
    EXPECT_EQ(RunProgram(QRLTOOL, {"book", "import-old", (home / "old.lst").string()}, home.path()),
              1);
    EXPECT_EQ(RunProgram(QRLTOOL, {"book", "list"}, home.path(), &out), 0);
    EXPECT_NE(out.find("Address Book 1 Registers"), std::string::npos) << out;

    EXPECT_EQ(first.Wait(), 0);
    // Once the first has ended, a new start goes through.
    EXPECT_EQ(RunProgram(probe, {}, home.path(), &out), 0);
    EXPECT_EQ(out, "started quorel\n");
    // And this process, holding the book, keeps a child out.
    TAddressBook book;
    ASSERT_TRUE(book.Open(home / "address.lst"));
    EXPECT_EQ(RunProgram(probe, {}, home.path()), kAlreadyRunningExitCode);
}

TEST(Qrltool, SettingsCommand) {
    TempDir home;
    WriteBytes(home / "Bob.ini", "[SETUP]\r\nsmtp server=smtp.example.org\r\n[Mine]\r\nx=1\r\n");
    std::string out;
    ASSERT_EQ(RunProgram(QRLTOOL, {"settings", "--user", "Bob"}, home.path(), &out), 0);
    std::vector<std::string> lines;
    for (size_t a = 0, b; (b = out.find('\n', a)) != std::string::npos; a = b + 1)
        lines.push_back(out.substr(a, b - a));
    ASSERT_EQ(lines.size(), setting::All.size());
    EXPECT_EQ(lines.front(), "Setup/SMTP Server=smtp.example.org");
    EXPECT_EQ(lines[8], "Setup/Display Coordenates=YES");
    EXPECT_EQ(lines[28], "setup/Language=0");
    EXPECT_EQ(lines[32], "REBEL/Rebel_engine_refresh_rate=1000");
    EXPECT_EQ(lines[33], "Setup/SMTP Security=NONE");
    EXPECT_EQ(lines[36], "Setup/Trusted Certificate=");
    EXPECT_EQ(lines[37], "Setup/Mail Protocol=POP3");
    EXPECT_EQ(lines[39], "Setup/POP3 Sign-in=PASSWORD");
    EXPECT_EQ(lines.back(), "Setup/OAuth2 Token Command=");

    ASSERT_EQ(RunProgram(QRLTOOL, {"settings", "--user", "Bob", "--set", "SETUP/language=9"},
                         home.path(), &out),
              0);
    EXPECT_EQ(out, "setup/Language=0\n");
    ASSERT_EQ(RunProgram(QRLTOOL,
                         {"settings", "--user", "Bob", "--set", "setup/SMTP SERVER=mx.example.org"},
                         home.path()),
              0);
    EXPECT_EQ(ReadBytes(home / "Bob.ini"), "[SETUP]\r\nsmtp server=mx.example.org\r\nLanguage=0\r\n"
                                           "[Mine]\r\nx=1\r\n");
    EXPECT_EQ(Mode(home / "Bob.ini"), 0600u);
    EXPECT_EQ(RunProgram(QRLTOOL, {"settings", "--set", "Setup/NoSuchKey=1"}, home.path()), 2);
    EXPECT_EQ(RunProgram(QRLTOOL, {"settings", "--set", "novalue"}, home.path()), 2);
    // The default profile is quorel.ini.
    ASSERT_EQ(
        RunProgram(QRLTOOL, {"settings", "--set", "REBEL/Rebel_engine_version=1"}, home.path()), 0);
    EXPECT_EQ(ReadBytes(home / "quorel.ini"), "[REBEL]\r\nRebel_engine_version=1\r\n");
}

TEST(Qrltool, BookCommands) {
    TempDir home;
    std::string out;
    ASSERT_EQ(RunProgram(QRLTOOL, {"book", "list"}, home.path(), &out), 0);
    EXPECT_EQ(out, "Address Book 0 Registers\n");
    EXPECT_FALSE(fs::exists(home / "address.lst"));

    WriteBytes(home / "old.lst", "Ana ;ana@example.org\r\nBob,bob@example.org\r\nnothing\r\n");
    ASSERT_EQ(
        RunProgram(QRLTOOL, {"book", "import-old", (home / "old.lst").string()}, home.path(), &out),
        0);
    EXPECT_EQ(out, "Your old address file have been imported (2)\n");
    ASSERT_EQ(RunProgram(QRLTOOL, {"book", "list"}, home.path(), &out), 0);
    const std::string sample = TAddressBook::SampleEntry(home.path()).Name + "\t" +
                               TAddressBook::SampleEntry(home.path()).Email + "\t" +
                               TAddressBook::SampleEntry(home.path()).Notes + "\n";
    EXPECT_EQ(out, sample + "Ana\tana@example.org\tImported\nBob\tbob@example.org\tImported\n"
                            "Address Book 3 Registers\n");
    EXPECT_EQ(ReadBytes(home / "address.lst").size(), 3u * 756u);
    // Texts follow the default profile's language.
    WriteBytes(home / "quorel.ini", "[setup]\r\nLanguage=2\r\n");
    ASSERT_EQ(RunProgram(QRLTOOL, {"book", "list"}, home.path(), &out), 0);
    EXPECT_NE(out.find("Adressbuch 3 Eintr\u00e4ge\n"), std::string::npos);
    EXPECT_EQ(
        RunProgram(QRLTOOL, {"book", "import-old", (home / "missing.lst").string()}, home.path()),
        1);
}

TEST(Qrltool, EveryCommandFindsAPortableInstallation) {
    // qrltool beside a games folder (a portable installation made by setup)
    // and no QUOREL_HOME: the mailbox commands use that folder, as the mail
    // commands and the program itself do.
    TempDir dir;
    const fs::path install = dir / "portable";
    fs::create_directories(install / "games");
    const fs::path tool = fs::path(QRLTOOL);
    fs::copy_file(tool, install / "qrltool");
    fs::copy_file(tool.parent_path() / "libQRLPGN32.so", install / "libQRLPGN32.so");
    const std::string run = "env -u QUOREL_HOME XDG_DATA_HOME='" + (dir / "xdg").string() + "' '" +
                            (install / "qrltool").string() + "' ";
    const std::string out = (dir / "out.txt").string();
    ASSERT_EQ(std::system((run + "mailbox rebuild >'" + out + "' 2>&1").c_str()), 0);
    EXPECT_EQ(ReadBytes(out), "0 messages indexed\n");
    EXPECT_TRUE(fs::exists(install / "mailbox" / "folder.lst"));
    ASSERT_EQ(std::system((run + "mailbox list >'" + out + "' 2>&1").c_str()), 0);
    EXPECT_EQ(ReadBytes(out),
              "1\tNew Mail [0]\n2\tQueued Mail [0]\n3\tSent Mail [0]\n4\tTrash [0]\n"
              "5\t?? [0]\n");
    EXPECT_FALSE(fs::exists(dir / "xdg"));
}
