// The settings file (INI), the settings record, the command line and
// profile file names, the password file and the program folders.
#include "platform/codepage.h"
#include "shell/folders.h"
#include "shell/ini.h"
#include "shell/profile.h"
#include "shell/settings.h"
#include "testutil.h"

#include <algorithm>
#include <cstdlib>

using namespace quorel;
using namespace shelltest;

// ---- INI ----------------------------------------------------------------------

TEST(Ini, SectionsAndKeysMatchWithoutCase) {
    const TIniFile ini = TIniFile::FromText("[SETUP]\r\n"
                                            "SMTP Server = mail.example.org \r\n"
                                            "Light_squares_bitmap=light.bmp\r\n"
                                            "[rebel]\r\n"
                                            "REBEL_ENGINE_VERSION=1\r\n"
                                            "Quoted=\"  spaced  \"\r\n"
                                            "[Setup]\r\n"
                                            "SMTP Server=second section loses\r\n");
    struct {
        const char *section, *key;
        std::optional<std::string> value;
    } rows[] = {
        {"Setup", "SMTP Server", "mail.example.org"},
        {"setup", "smtp server", "mail.example.org"},
        {"SETUP", "Light_Squares_Bitmap", "light.bmp"},
        {"setup", "Light_Squares_bitmap", "light.bmp"},
        {"REBEL", "Rebel_engine_version", "1"},
        {"Rebel", "Rebel_Engine_version", "1"},
        {"REBEL", "Quoted", "  spaced  "},
        {"Setup", "Missing", std::nullopt},
        {"Nowhere", "SMTP Server", std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.section) + "/" + r.key);
        EXPECT_EQ(ini.Get(r.section, r.key), r.value);
    }
    EXPECT_EQ(ini.ReadString("Setup", "Missing", "dflt"), "dflt");
}

TEST(Ini, RewriteKeepsUnknownLinesAndWritesCrLf) {
    const std::string original = "; Quorel settings\n"
                                 "[Other]\n"
                                 "Foreign=kept\n"
                                 "garbage line without equals\n"
                                 "\n"
                                 "[setup]\n"
                                 "Coloured_Buttons=NO\n"
                                 "Unknown_Key=1\n"
                                 "\n"
                                 "[Last]\n"
                                 "x=y";
    TIniFile ini = TIniFile::FromText(original);
    ini.WriteString("Setup", "Coloured_buttons", "YES");   // existing key, other spelling
    ini.WriteString("SETUP", "User Name", "Ana");          // new key in an existing section
    ini.WriteString("REBEL", "Rebel_engine_version", "1"); // new section
    EXPECT_EQ(ini.ToText(), "; Quorel settings\r\n"
                            "[Other]\r\n"
                            "Foreign=kept\r\n"
                            "garbage line without equals\r\n"
                            "\r\n"
                            "[setup]\r\n"
                            "Coloured_Buttons=YES\r\n"
                            "Unknown_Key=1\r\n"
                            "User Name=Ana\r\n"
                            "\r\n"
                            "[Last]\r\n"
                            "x=y\r\n"
                            "\r\n"
                            "[REBEL]\r\n"
                            "Rebel_engine_version=1\r\n");
    EXPECT_TRUE(ini.DeleteKey("setup", "unknown_key"));
    EXPECT_FALSE(ini.DeleteKey("setup", "unknown_key"));
    // A value cannot break the file into more lines.
    ini.WriteString("Last", "x", "a\r\nb");
    EXPECT_EQ(ini.Get("Last", "x"), "a  b");
}

TEST(Ini, FileIsWindows1252AndSecretFilesAre0600) {
    TempDir dir;
    const auto path = dir / "quorel.ini";
    WriteBytes(path, "[Setup]\r\nUser Name=Jos\xE9\r\n");
    fs::permissions(path, fs::perms(0644));
    bool existed = false;
    TIniFile ini = TIniFile::Load(path, &existed);
    EXPECT_TRUE(existed);
    EXPECT_EQ(ini.Get("Setup", "User Name"), "Jos\u00e9");
    ini.WriteString("Setup", "City", "M\u00e1laga");
    ASSERT_TRUE(ini.Save(path, 0600));
    EXPECT_EQ(ReadBytes(path), "[Setup]\r\nUser Name=Jos\xE9\r\nCity=M\xE1laga\r\n");
    EXPECT_EQ(Mode(path), 0600u);
    const auto fresh = dir / "new.ini";
    ASSERT_TRUE(ini.Save(fresh, 0600));
    EXPECT_EQ(Mode(fresh), 0600u);
    TIniFile::Load(dir / "absent.ini", &existed);
    EXPECT_FALSE(existed);
}

// ---- settings record -----------------------------------------------------------

TEST(Settings, DefaultsComeFromTheKeyTable) {
    const TSettings s;
    for (const TSettingKey* k : setting::All) {
        SCOPED_TRACE(std::string(k->key));
        // Every default reads back as itself, except empty booleans (= NO).
        std::string expected(k->defaultValue);
        if (k->kind == TSettingKind::YesNo && expected.empty()) expected = "NO";
        EXPECT_EQ(s.Get(*k), expected);
    }
    EXPECT_TRUE(s.DisplayCoordenates);
    EXPECT_FALSE(s.ListOnlyGamesInPlay);
    EXPECT_EQ(s.DarkSquaresColor, 8421504);
    EXPECT_EQ(s.BackgroundColor, 8421376);
    EXPECT_EQ(s.MailViewerFontSize, 10);
    EXPECT_EQ(s.MailViewerVerticalBarX, 130);
    EXPECT_EQ(s.RebelEngineRefreshRate, 1000);
    EXPECT_EQ(TSettings::Read(TIniFile()).Get(setting::Language), "0");
    // Every key appears once in the table.
    for (size_t i = 0; i < setting::All.size(); ++i)
        for (size_t j = i + 1; j < setting::All.size(); ++j)
            EXPECT_FALSE(EqualNoCase(setting::All[i]->key, setting::All[j]->key));
}

TEST(Settings, ValuesAreReadByTheirKind) {
    struct {
        const TSettingKey* key;
        const char* text;
        const char* value; // as Get writes it back
    } rows[] = {
        {&setting::DisplayCoordenates, "NO", "NO"},
        {&setting::DisplayCoordenates, "yes", "YES"},
        {&setting::ListOnlyGamesInPlay, "", "NO"},
        {&setting::Language, "6", "6"},
        {&setting::Language, "7", "0"},
        {&setting::Language, "-1", "0"},
        {&setting::Language, "two", "0"},
        {&setting::RebelEngineHashSize, "9", "0"},
        {&setting::RebelEngineVersion, "1", "1"},
        {&setting::RebelEngineVersion, "2", "0"},
        {&setting::UseBitmapSquares, "1", "1"},
        {&setting::UseBitmapSquares, "YES", "0"},
        {&setting::EditorFontSize, "12", "12"},
        {&setting::EditorFontSize, "12pt", "10"}, // not a number: the default
        {&setting::DarkSquaresColor, "255", "255"},
        {&setting::DarkSquaresColor, "4278190095", "-16777201"}, // stored unsigned
        {&setting::MailViewerFont, "An extremely long font face name of 40 ch",
         "An extremely long font face nam"},
        {&setting::UserName, "  kept as written ", "  kept as written "},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.key->key) + "=" + r.text);
        TSettings s;
        s.Set(*r.key, r.text);
        EXPECT_EQ(s.Get(*r.key), r.value);
    }
}

TEST(Settings, ReadWriteAllAndExitKeys) {
    TIniFile ini = TIniFile::FromText("[SETUP]\r\nsmtp server=smtp.example.org\r\n"
                                      "[REBEL]\r\nREBEL_ENGINE_VERSION=1\r\n");
    TSettings s = TSettings::Read(ini);
    EXPECT_EQ(s.SmtpServer, "smtp.example.org");
    EXPECT_EQ(s.RebelEngineVersion, 1);
    s.Language = 4;
    s.Pop3UserName = "ana";
    s.WriteAll(ini);
    // One section each, whatever the spelling; the refresh rate is only read.
    TSettings back = TSettings::Read(ini);
    for (const TSettingKey* k : setting::All)
        EXPECT_EQ(back.Get(*k), s.Get(*k)) << k->key;
    EXPECT_FALSE(ini.Get("REBEL", "Rebel_engine_refresh_rate"));
    int headers = 0;
    for (const auto& l : ini.Lines())
        headers += !l.empty() && l[0] == '[';
    EXPECT_EQ(headers, 2);

    TIniFile exitIni = TIniFile::FromText("[Other]\r\na=b\r\n");
    s.BeginMaximized = false;
    s.WriteOnExit(exitIni);
    EXPECT_EQ(exitIni.Lines().size(), 2u + 1u + 1u + setting::WrittenOnExit.size());
    EXPECT_EQ(exitIni.Get("Setup", "Begin_Maximized"), "NO");
    EXPECT_FALSE(exitIni.Get("setup", "Language"));
    for (const TSettingKey* k : setting::WrittenOnExit)
        EXPECT_EQ(k->section, "Setup");
    // Dialog fields, exit keys and the read-only refresh rate cover the table once.
    std::vector<const TSettingKey*> parts(setting::WrittenByDialog.begin(),
                                          setting::WrittenByDialog.end());
    parts.insert(parts.end(), setting::WrittenOnExit.begin(), setting::WrittenOnExit.end());
    parts.push_back(&setting::RebelEngineRefreshRate);
    std::sort(parts.begin(), parts.end());
    std::vector<const TSettingKey*> all(setting::All.begin(), setting::All.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(parts, all);
    EXPECT_EQ(setting::Find("rebel", "REBEL_ENGINE_PATH"), &setting::RebelEnginePath);
    EXPECT_EQ(setting::Find("Setup", "Language"), &setting::Language);
    EXPECT_EQ(setting::Find("Setup", "Nope"), nullptr);
}

// ---- command line and profile ----------------------------------------------------

TEST(CommandLine, DebugModeAndUser) {
    struct {
        std::vector<std::string> args;
        bool debug;
        const char* profile;
    } rows[] = {
        {{}, false, "quorel"},
        {{"-user:Alice"}, false, "Alice"},
        {{"-USER:  Bob Smith  "}, false, "Bob Smith"},
        {{"-user:"}, false, "quorel"},
        {{"-User:   "}, false, "quorel"},
        {{"-debugmode"}, true, "quorel"},
        {{"-DEBUGMODE", "-user:x", "-user:y"}, true, "y"},
        {{"-debugmode2"}, false, "quorel"},
        // The first six characters go, wherever "-USER:" stands.
        {{"x-user:Carl"}, false, ":Carl"},
    };
    for (const auto& r : rows) {
        const TCommandLine cl = ParseCommandLine(r.args);
        EXPECT_EQ(cl.DebugMode, r.debug);
        EXPECT_EQ(cl.Profile, r.profile);
    }
    EXPECT_EQ(SettingsFileName("Alice"), "Alice.ini");
    EXPECT_EQ(PasswordFileName("Alice"), "Alice.pwd");
    EXPECT_EQ(SettingsFileName(kDefaultProfile), "quorel.ini");
}

// ---- password file ---------------------------------------------------------------

TEST(PasswordFile, RecordBytesAreTheScrambledText) {
    ASSERT_EQ(std::string(kPasswordKey).size(), 80u);
    // Hand-built: length byte, each character XOR the key character of its
    // position, zeros after the text.
    std::string expected(256, '\0');
    expected[0] = 3;
    expected[1] = char('a' ^ kPasswordKey[0]);
    expected[2] = char('b' ^ kPasswordKey[1]);
    expected[3] = char('c' ^ kPasswordKey[2]);
    EXPECT_EQ(EncodePasswordRecord("abc"), expected);
    EXPECT_EQ(EncodePasswordRecord(""), std::string(256, '\0'));

    // Past 80 characters the key starts over; e-acute is one Windows-1252 byte.
    std::string longPassword(100, 'x');
    longPassword += "\u00e9";
    const std::string rec = EncodePasswordRecord(longPassword);
    EXPECT_EQ(static_cast<unsigned char>(rec[0]), 101);
    EXPECT_EQ(rec[81], char('x' ^ kPasswordKey[0]));
    EXPECT_EQ(rec[101], char('\xE9' ^ kPasswordKey[20]));
    EXPECT_EQ(DecodePasswordRecord(rec), longPassword);
    // Cut at 255 characters.
    EXPECT_EQ(DecodePasswordRecord(EncodePasswordRecord(std::string(300, 'p'))),
              std::string(255, 'p'));
    // Bytes after the text are ignored; a length beyond a short file is cut.
    std::string garbage = expected;
    garbage[10] = 'G';
    EXPECT_EQ(DecodePasswordRecord(garbage), "abc");
    EXPECT_EQ(DecodePasswordRecord(std::string(1, '\x09') + expected.substr(1, 3)), "abc");
}

TEST(PasswordFile, WrittenReadableByTheOwnerOnly) {
    TempDir dir;
    const auto path = dir / "Alice.pwd";
    EXPECT_FALSE(ReadPasswordFile(path));
    ASSERT_TRUE(WritePasswordFile(path, "s3cret"));
    EXPECT_EQ(Mode(path), 0600u);
    EXPECT_EQ(ReadBytes(path).size(), 256u);
    EXPECT_EQ(ReadPasswordFile(path), "s3cret");
    fs::permissions(path, fs::perms(0644));
    ASSERT_TRUE(WritePasswordFile(path, ""));
    EXPECT_EQ(Mode(path), 0600u);
    EXPECT_EQ(ReadPasswordFile(path), "");
    EXPECT_EQ(ReadBytes(path)[0], '\0');
}

// ---- folders ----------------------------------------------------------------------

TEST(Folders, ProgramFolderResolution) {
    TempDir dir;
    const fs::path exe = dir / "bin";
    fs::create_directories(exe);
    const fs::path portable = dir / "portable";
    fs::create_directories(portable / "games");
    const fs::path withIni = dir / "withini";
    fs::create_directories(withIni);
    WriteBytes(withIni / "QUOREL.INI", "");
    struct {
        const char* what;
        TProgramFolderEnv env;
        fs::path expected;
    } rows[] = {
        {"QUOREL_HOME wins", {"/srv/q", "/data", "/home/a", portable}, "/srv/q"},
        {"empty QUOREL_HOME is unset", {"", "/data", "/home/a", exe}, "/data/quorel"},
        {"portable with games", {std::nullopt, "/data", "/home/a", portable}, portable},
        {"portable with quorel.ini", {std::nullopt, "/data", "/home/a", withIni}, withIni},
        {"plain executable folder", {std::nullopt, "/data", "/home/a", exe}, "/data/quorel"},
        {"no XDG_DATA_HOME",
         {std::nullopt, std::nullopt, "/home/a", exe},
         "/home/a/.local/share/quorel"},
        {"relative XDG_DATA_HOME",
         {std::nullopt, "rel", "/home/a", exe},
         "/home/a/.local/share/quorel"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(ResolveProgramFolder(r.env), r.expected);
    }
    const TFolders f = FoldersOf("/p");
    EXPECT_EQ(f.Mailbox, "/p/mailbox");
    EXPECT_EQ(f.Games, "/p/games");
    EXPECT_EQ(f.Attach, "/p/attach");
    EXPECT_EQ(f.AddressBook, "/p/address.lst");
    EXPECT_EQ(f.LastGames, "/p/lastgame.lst");
}

TEST(Folders, LastGamesAndAnalysisReports) {
    TempDir dir;
    const auto list = dir / "lastgame.lst";
    EXPECT_TRUE(ReadLastGames(list).empty());
    WriteBytes(list, "a.qrl\r\n\r\n   \r\nPe\xF1"
                     "a.QRL\nlast.qrl");
    EXPECT_EQ(ReadLastGames(list),
              (std::vector<std::string>{"a.qrl", "Pe\u00f1a.QRL", "last.qrl"}));
    ASSERT_TRUE(WriteLastGames(list, {"x.qrl", "Pe\u00f1a.QRL"}));
    EXPECT_EQ(ReadBytes(list), "x.qrl\r\nPe\xF1"
                               "a.QRL\r\n");
    ASSERT_TRUE(WriteLastGames(list, {}));
    EXPECT_EQ(ReadBytes(list), "");

    for (const char* name : {"1.ANA", "2.ana", "3.Ana", "keep.ANAX", "keep.qrl"})
        WriteBytes(dir / name, "x");
    fs::create_directories(dir / "games");
    WriteBytes(dir / "games" / "sub.ana", "x");
    EXPECT_EQ(RemoveAnalysisReports(dir.path()), 3);
    EXPECT_TRUE(fs::exists(dir / "keep.ANAX"));
    EXPECT_TRUE(fs::exists(dir / "keep.qrl"));
    EXPECT_TRUE(fs::exists(dir / "games" / "sub.ana"));
    EXPECT_FALSE(fs::exists(dir / "2.ana"));
}

TEST(Settings, FirstRunProposesAUciEngineFoundOnTheMachine) {
    TempDir dir;
    const fs::path bin = dir / "bin", other = dir / "other", games = dir / "games";
    for (const fs::path& f : {bin, other, games})
        fs::create_directories(f);
    WriteBytes(other / "stockfish", "#!/bin/sh\n"); // not executable: skipped
    WriteBytes(bin / "stockfish", "#!/bin/sh\n");
    fs::permissions(bin / "stockfish", fs::perms::owner_all);
    WriteBytes(games / "stockfish", "#!/bin/sh\n");
    fs::permissions(games / "stockfish", fs::perms::owner_all);
    fs::create_directories(dir / "dironly" / "stockfish"); // a folder of that name
    const std::string pathList =
        "::" + other.string() + ":" + (dir / "dironly").string() + ":" + bin.string();
    struct Row {
        std::string path;
        fs::path fallback;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {pathList, games / "stockfish", (bin / "stockfish").string()},
        {other.string(), games / "stockfish", (games / "stockfish").string()},
        {"", other / "stockfish", ""},
        {"relative/bin", "", ""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ProposedEnginePath(r.path, r.fallback), r.expected) << r.path;
}
