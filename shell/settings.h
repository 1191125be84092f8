#pragma once
// The run-time settings of a profile: every key of the settings file with
// its section and its default, each defined once below, and one record that
// holds their values for the run.
#include "shell/ini.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quorel {

// How a key's text becomes its run-time value.
enum class TSettingKind {
    Text,       // kept as written
    FontFace,   // text, at most 31 characters kept
    YesNo,      // "YES" (any case) is true, anything else false; written "YES"/"NO"
    Number,     // decimal; text that is no number gives the default
    Colour,     // decimal RGB as stored by Windows (red in the low byte), signed 32-bit
    Language,   // 0..6; anything else is 0
    BitmapFlag, // "1" is true, anything else false; written "1"/"0"
    EngineKind, // 0 Rebel Decade 2.0, 1 Rebel 9; anything else is 0
    HashSize,   // 0..6 (256 kB .. 28 MB); anything else is 0
};

struct TSettingKey {
    std::string_view section;
    std::string_view key;
    std::string_view defaultValue;
    TSettingKind kind;
};

namespace setting {
// clang-format off
inline constexpr TSettingKey SmtpServer{"Setup", "SMTP Server", "", TSettingKind::Text};
inline constexpr TSettingKey Pop3Server{"Setup", "POP3 Server", "", TSettingKind::Text};
inline constexpr TSettingKey Pop3UserName{"Setup", "POP3 User Name", "", TSettingKind::Text};
inline constexpr TSettingKey EmailAddress{"Setup", "Email Address", "", TSettingKind::Text};
inline constexpr TSettingKey UserName{"Setup", "User Name", "", TSettingKind::Text};
inline constexpr TSettingKey UserCountry{"Setup", "User_Country", "", TSettingKind::Text};
inline constexpr TSettingKey SignatureFile{"Setup", "Signature File", "", TSettingKind::Text};
inline constexpr TSettingKey PegasusPath{"Setup", "Pegasus_Path", "", TSettingKind::Text};
inline constexpr TSettingKey DisplayCoordenates{"Setup", "Display Coordenates", "YES", TSettingKind::YesNo};
inline constexpr TSettingKey ColouredButtons{"Setup", "Coloured_buttons", "YES", TSettingKind::YesNo};
inline constexpr TSettingKey BeginMaximized{"Setup", "Begin_Maximized", "YES", TSettingKind::YesNo};
inline constexpr TSettingKey ListOnlyGamesInPlay{"Setup", "List_only_games_in_play", "", TSettingKind::YesNo};
inline constexpr TSettingKey DeleteMessagesAfterRetrieving{"Setup", "Delete_messages_after_retrieving", "", TSettingKind::YesNo};
inline constexpr TSettingKey MailViewerFont{"Setup", "Mail_Viewer_Font", "", TSettingKind::FontFace};
inline constexpr TSettingKey EditorFont{"Setup", "Editor_Font", "", TSettingKind::FontFace};
inline constexpr TSettingKey MailViewerFontSize{"Setup", "Mail_Viewer_Font_Size", "10", TSettingKind::Number};
inline constexpr TSettingKey EditorFontSize{"Setup", "Editor_Font_Size", "10", TSettingKind::Number};
inline constexpr TSettingKey EditorWordWrap{"Setup", "Editor_WordWrap", "YES", TSettingKind::YesNo};
inline constexpr TSettingKey ViewerWordWrap{"Setup", "Viewer_WordWrap", "YES", TSettingKind::YesNo};
inline constexpr TSettingKey MailViewerVerticalBarX{"Setup", "Mail_Viewer_Vertical_Bar_X_Coord", "130", TSettingKind::Number};
inline constexpr TSettingKey MailViewerHorizontalBarY{"Setup", "Mail_Viewer_Horizontal_Bar_Y_Coord", "130", TSettingKind::Number};
inline constexpr TSettingKey IecgKey{"setup", "IECG key", "", TSettingKind::Text};
inline constexpr TSettingKey DarkSquaresColor{"setup", "Dark Squares Color", "8421504", TSettingKind::Colour};
inline constexpr TSettingKey LightSquaresColor{"setup", "Light Squares Color", "16777215", TSettingKind::Colour};
inline constexpr TSettingKey LightSquaresBitmap{"setup", "Light_Squares_Bitmap", "", TSettingKind::Text};
inline constexpr TSettingKey DarkSquaresBitmap{"setup", "Dark_Squares_Bitmap", "", TSettingKind::Text};
inline constexpr TSettingKey UseBitmapSquares{"setup", "Use_bitmap_squares", "0", TSettingKind::BitmapFlag};
inline constexpr TSettingKey BackgroundColor{"setup", "Background_Color", "8421376", TSettingKind::Colour};
inline constexpr TSettingKey Language{"setup", "Language", "0", TSettingKind::Language};
inline constexpr TSettingKey RebelEnginePath{"REBEL", "Rebel_Engine_Path", "", TSettingKind::Text};
inline constexpr TSettingKey RebelEngineVersion{"REBEL", "Rebel_engine_version", "0", TSettingKind::EngineKind};
inline constexpr TSettingKey RebelEngineHashSize{"REBEL", "Rebel_engine_hash_size", "0", TSettingKind::HashSize};
inline constexpr TSettingKey RebelEngineRefreshRate{"REBEL", "Rebel_engine_refresh_rate", "1000", TSettingKind::Number};
// Mail security for today's providers; absent keys give the original plain dialogue.
inline constexpr TSettingKey SmtpSecurity{"Setup", "SMTP Security", "NONE", TSettingKind::Text};
inline constexpr TSettingKey Pop3Security{"Setup", "POP3 Security", "NONE", TSettingKind::Text};
inline constexpr TSettingKey SmtpUserName{"Setup", "SMTP User Name", "", TSettingKind::Text};
inline constexpr TSettingKey TrustedCertificate{"Setup", "Trusted Certificate", "", TSettingKind::Text};
// Providers of today: IMAP instead of POP3 on the POP3 fields, OAuth 2.0 sign-in
// with the token a command prints; absent keys give POP3 and password sign-in.
inline constexpr TSettingKey MailProtocol{"Setup", "Mail Protocol", "POP3", TSettingKind::Text};
inline constexpr TSettingKey SmtpSignIn{"Setup", "SMTP Sign-in", "PASSWORD", TSettingKind::Text};
inline constexpr TSettingKey Pop3SignIn{"Setup", "POP3 Sign-in", "PASSWORD", TSettingKind::Text};
inline constexpr TSettingKey OAuth2TokenCommand{"Setup", "OAuth2 Token Command", "", TSettingKind::Text};
// clang-format on

// Every key in the order of the settings table.
inline constexpr std::array<const TSettingKey*, 41> All = {
    &SmtpServer,
    &Pop3Server,
    &Pop3UserName,
    &EmailAddress,
    &UserName,
    &UserCountry,
    &SignatureFile,
    &PegasusPath,
    &DisplayCoordenates,
    &ColouredButtons,
    &BeginMaximized,
    &ListOnlyGamesInPlay,
    &DeleteMessagesAfterRetrieving,
    &MailViewerFont,
    &EditorFont,
    &MailViewerFontSize,
    &EditorFontSize,
    &EditorWordWrap,
    &ViewerWordWrap,
    &MailViewerVerticalBarX,
    &MailViewerHorizontalBarY,
    &IecgKey,
    &DarkSquaresColor,
    &LightSquaresColor,
    &LightSquaresBitmap,
    &DarkSquaresBitmap,
    &UseBitmapSquares,
    &BackgroundColor,
    &Language,
    &RebelEnginePath,
    &RebelEngineVersion,
    &RebelEngineHashSize,
    &RebelEngineRefreshRate,
    &SmtpSecurity,
    &Pop3Security,
    &SmtpUserName,
    &TrustedCertificate,
    &MailProtocol,
    &SmtpSignIn,
    &Pop3SignIn,
    &OAuth2TokenCommand,
};

// The keys of the settings dialog's fields: written by its OK, in the order
// of the table (the window keys of WrittenOnExit and the refresh rate are
// not among them).
inline constexpr std::array<const TSettingKey*, 29> WrittenByDialog = {
    &SmtpServer,
    &Pop3Server,
    &Pop3UserName,
    &EmailAddress,
    &UserName,
    &UserCountry,
    &SignatureFile,
    &PegasusPath,
    &DisplayCoordenates,
    &ColouredButtons,
    &IecgKey,
    &DarkSquaresColor,
    &LightSquaresColor,
    &LightSquaresBitmap,
    &DarkSquaresBitmap,
    &UseBitmapSquares,
    &BackgroundColor,
    &Language,
    &RebelEnginePath,
    &RebelEngineVersion,
    &RebelEngineHashSize,
    &SmtpSecurity,
    &Pop3Security,
    &SmtpUserName,
    &TrustedCertificate,
    &MailProtocol,
    &SmtpSignIn,
    &Pop3SignIn,
    &OAuth2TokenCommand,
};

// The keys the frame writes back when it is destroyed, all in "Setup".
inline constexpr std::array<const TSettingKey*, 11> WrittenOnExit = {
    &ListOnlyGamesInPlay,
    &BeginMaximized,
    &DeleteMessagesAfterRetrieving,
    &MailViewerFont,
    &EditorFont,
    &MailViewerFontSize,
    &EditorFontSize,
    &EditorWordWrap,
    &ViewerWordWrap,
    &MailViewerVerticalBarX,
    &MailViewerHorizontalBarY,
};

// The key of the table whose section and key equal the given ones without
// regard to case; nullptr when there is none.
const TSettingKey* Find(std::string_view section, std::string_view key);
} // namespace setting

// Hash sizes of Rebel_engine_hash_size 0..6, in kB.
inline constexpr std::array<int, 7> kRebelHashSizesKb = {256, 512, 1024, 2048, 4096, 13312, 28672};

// The run-time value of every key. A new record holds the defaults.
struct TSettings {
    std::string SmtpServer, Pop3Server, Pop3UserName, EmailAddress, UserName, UserCountry,
        SignatureFile, PegasusPath;
    bool DisplayCoordenates = false, ColouredButtons = false, BeginMaximized = false,
         ListOnlyGamesInPlay = false, DeleteMessagesAfterRetrieving = false;
    std::string MailViewerFont, EditorFont;
    int MailViewerFontSize = 0, EditorFontSize = 0;
    bool EditorWordWrap = false, ViewerWordWrap = false;
    int MailViewerVerticalBarX = 0, MailViewerHorizontalBarY = 0;
    std::string IecgKey;
    int32_t DarkSquaresColor = 0, LightSquaresColor = 0;
    std::string LightSquaresBitmap, DarkSquaresBitmap;
    bool UseBitmapSquares = false;
    int32_t BackgroundColor = 0;
    int Language = 0;
    std::string RebelEnginePath;
    int RebelEngineVersion = 0, RebelEngineHashSize = 0, RebelEngineRefreshRate = 0;
    std::string SmtpSecurity, Pop3Security, SmtpUserName, TrustedCertificate;
    std::string MailProtocol, SmtpSignIn, Pop3SignIn, OAuth2TokenCommand;

    TSettings(); // every value at its default

    // Every key of the table from ini, each with its default.
    static TSettings Read(const TIniFile& ini);
    // Sets one value from its text as it would be read from the file.
    void Set(const TSettingKey& key, std::string_view text);
    // The value as it is written to the file.
    std::string Get(const TSettingKey& key) const;

    // Writes every key but the refresh rate, which is only read.
    void WriteAll(TIniFile& ini) const;
    // Writes the keys of setting::WrittenByDialog.
    void WriteDialogFields(TIniFile& ini) const;
    // Writes the keys of setting::WrittenOnExit.
    void WriteOnExit(TIniFile& ini) const;
};

// The engine a first run proposes for Rebel_Engine_Path: "stockfish" in the
// first folder of pathList (the PATH: folders separated by ':') that holds
// it as an executable file, else fallback when that is one; "" otherwise.
std::string ProposedEnginePath(std::string_view pathList,
                               const std::filesystem::path& fallback = "/usr/games/stockfish");

} // namespace quorel
