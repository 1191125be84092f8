// Reading and writing the settings record.
#include "shell/settings.h"

#include "platform/codepage.h"

#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <unistd.h>
#include <variant>

namespace quorel {

namespace setting {
const TSettingKey* Find(std::string_view section, std::string_view key) {
    for (const TSettingKey* k : All)
        if (EqualNoCase(k->section, section) && EqualNoCase(k->key, key)) return k;
    return nullptr;
}
} // namespace setting

namespace {

static_assert(sizeof(int) == 4, "colours are kept in int");
using Member = std::variant<std::string TSettings::*, bool TSettings::*, int TSettings::*>;

struct Binding {
    const TSettingKey* key;
    Member member;
};

// clang-format off
const Binding kBindings[] = {
    {&setting::SmtpServer, &TSettings::SmtpServer},
    {&setting::Pop3Server, &TSettings::Pop3Server},
    {&setting::Pop3UserName, &TSettings::Pop3UserName},
    {&setting::EmailAddress, &TSettings::EmailAddress},
    {&setting::UserName, &TSettings::UserName},
    {&setting::UserCountry, &TSettings::UserCountry},
    {&setting::SignatureFile, &TSettings::SignatureFile},
    {&setting::PegasusPath, &TSettings::PegasusPath},
    {&setting::DisplayCoordenates, &TSettings::DisplayCoordenates},
    {&setting::ColouredButtons, &TSettings::ColouredButtons},
    {&setting::BeginMaximized, &TSettings::BeginMaximized},
    {&setting::ListOnlyGamesInPlay, &TSettings::ListOnlyGamesInPlay},
    {&setting::DeleteMessagesAfterRetrieving, &TSettings::DeleteMessagesAfterRetrieving},
    {&setting::MailViewerFont, &TSettings::MailViewerFont},
    {&setting::EditorFont, &TSettings::EditorFont},
    {&setting::MailViewerFontSize, &TSettings::MailViewerFontSize},
    {&setting::EditorFontSize, &TSettings::EditorFontSize},
    {&setting::EditorWordWrap, &TSettings::EditorWordWrap},
    {&setting::ViewerWordWrap, &TSettings::ViewerWordWrap},
    {&setting::MailViewerVerticalBarX, &TSettings::MailViewerVerticalBarX},
    {&setting::MailViewerHorizontalBarY, &TSettings::MailViewerHorizontalBarY},
    {&setting::IecgKey, &TSettings::IecgKey},
    {&setting::DarkSquaresColor, &TSettings::DarkSquaresColor},
    {&setting::LightSquaresColor, &TSettings::LightSquaresColor},
    {&setting::LightSquaresBitmap, &TSettings::LightSquaresBitmap},
    {&setting::DarkSquaresBitmap, &TSettings::DarkSquaresBitmap},
    {&setting::UseBitmapSquares, &TSettings::UseBitmapSquares},
    {&setting::BackgroundColor, &TSettings::BackgroundColor},
    {&setting::Language, &TSettings::Language},
    {&setting::RebelEnginePath, &TSettings::RebelEnginePath},
    {&setting::RebelEngineVersion, &TSettings::RebelEngineVersion},
    {&setting::RebelEngineHashSize, &TSettings::RebelEngineHashSize},
    {&setting::RebelEngineRefreshRate, &TSettings::RebelEngineRefreshRate},
    {&setting::SmtpSecurity, &TSettings::SmtpSecurity},
    {&setting::Pop3Security, &TSettings::Pop3Security},
    {&setting::SmtpUserName, &TSettings::SmtpUserName},
    {&setting::TrustedCertificate, &TSettings::TrustedCertificate},
    {&setting::MailProtocol, &TSettings::MailProtocol},
    {&setting::SmtpSignIn, &TSettings::SmtpSignIn},
    {&setting::Pop3SignIn, &TSettings::Pop3SignIn},
    {&setting::OAuth2TokenCommand, &TSettings::OAuth2TokenCommand},
};
// clang-format on
static_assert(std::size(kBindings) == setting::All.size());

const Binding& BindingOf(const TSettingKey& key) {
    for (const Binding& b : kBindings)
        if (b.key == &key || (b.key->section == key.section && b.key->key == key.key)) return b;
    throw std::logic_error("unknown setting " + std::string(key.key));
}

std::string Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return std::string(s);
}

bool ParseInt(std::string_view text, long long& out) {
    const std::string t = Trimmed(text);
    if (t.empty()) return false;
    const char* first = t.data() + (t[0] == '+' ? 1 : 0);
    auto [ptr, ec] = std::from_chars(first, t.data() + t.size(), out);
    return ec == std::errc() && ptr == t.data() + t.size();
}

// The first n characters (code points) of a UTF-8 text.
std::string FirstChars(std::string_view s, size_t n) {
    size_t i = 0, chars = 0;
    while (i < s.size() && chars < n) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            ++i;
        ++chars;
    }
    return std::string(s.substr(0, i));
}

long long NumberOr(std::string_view text, std::string_view fallback) {
    long long v = 0;
    if (ParseInt(text, v)) return v;
    ParseInt(fallback, v);
    return v;
}

} // namespace

TSettings::TSettings() {
    for (const TSettingKey* k : setting::All)
        Set(*k, k->defaultValue);
}

void TSettings::Set(const TSettingKey& key, std::string_view text) {
    const Binding& b = BindingOf(key);
    switch (key.kind) {
    case TSettingKind::Text:
        this->*std::get<std::string TSettings::*>(b.member) = text;
        break;
    case TSettingKind::FontFace:
        this->*std::get<std::string TSettings::*>(b.member) = FirstChars(text, 31);
        break;
    case TSettingKind::YesNo:
        this->*std::get<bool TSettings::*>(b.member) = EqualNoCase(Trimmed(text), "YES");
        break;
    case TSettingKind::BitmapFlag:
        this->*std::get<bool TSettings::*>(b.member) = Trimmed(text) == "1";
        break;
    case TSettingKind::Number: {
        long long v = NumberOr(text, key.defaultValue);
        if (v < INT32_MIN || v > INT32_MAX) v = NumberOr(key.defaultValue, "0");
        this->*std::get<int TSettings::*>(b.member) = int(v);
        break;
    }
    case TSettingKind::Colour: {
        long long v = NumberOr(text, key.defaultValue);
        // Colours may be stored unsigned (0..0xFFFFFFFF) or signed.
        if (v > INT32_MAX && v <= int64_t(UINT32_MAX)) v -= int64_t(1) << 32;
        if (v < INT32_MIN || v > INT32_MAX) v = NumberOr(key.defaultValue, "0");
        this->*std::get<int TSettings::*>(b.member) = int32_t(v);
        break;
    }
    case TSettingKind::Language:
    case TSettingKind::EngineKind:
    case TSettingKind::HashSize: {
        const long long top = key.kind == TSettingKind::EngineKind ? 1 : 6;
        long long v = 0;
        if (!ParseInt(text, v) || v < 0 || v > top) v = 0;
        this->*std::get<int TSettings::*>(b.member) = int(v);
        break;
    }
    }
}

std::string TSettings::Get(const TSettingKey& key) const {
    const Binding& b = BindingOf(key);
    switch (key.kind) {
    case TSettingKind::Text:
    case TSettingKind::FontFace:
        return this->*std::get<std::string TSettings::*>(b.member);
    case TSettingKind::YesNo:
        return this->*std::get<bool TSettings::*>(b.member) ? "YES" : "NO";
    case TSettingKind::BitmapFlag:
        return this->*std::get<bool TSettings::*>(b.member) ? "1" : "0";
    case TSettingKind::Colour:
        return std::to_string(this->*std::get<int TSettings::*>(b.member));
    case TSettingKind::Number:
    case TSettingKind::Language:
    case TSettingKind::EngineKind:
    case TSettingKind::HashSize:
        return std::to_string(this->*std::get<int TSettings::*>(b.member));
    }
    return {};
}

TSettings TSettings::Read(const TIniFile& ini) {
    TSettings s;
    for (const TSettingKey* k : setting::All)
        s.Set(*k, ini.ReadString(k->section, k->key, k->defaultValue));
    return s;
}

void TSettings::WriteAll(TIniFile& ini) const {
    for (const TSettingKey* k : setting::All)
        if (k != &setting::RebelEngineRefreshRate) ini.WriteString(k->section, k->key, Get(*k));
}

void TSettings::WriteDialogFields(TIniFile& ini) const {
    for (const TSettingKey* k : setting::WrittenByDialog)
        ini.WriteString(k->section, k->key, Get(*k));
}

void TSettings::WriteOnExit(TIniFile& ini) const {
    for (const TSettingKey* k : setting::WrittenOnExit)
        ini.WriteString(k->section, k->key, Get(*k));
}

std::string ProposedEnginePath(std::string_view pathList, const std::filesystem::path& fallback) {
    auto runnable = [](const std::filesystem::path& p) {
        std::error_code ec;
        return std::filesystem::is_regular_file(p, ec) && access(p.c_str(), X_OK) == 0;
    };
    size_t start = 0;
    while (start <= pathList.size()) {
        size_t end = pathList.find(':', start);
        if (end == std::string_view::npos) end = pathList.size();
        const std::string_view folder = pathList.substr(start, end - start);
        // An empty entry means the current folder, which names no fixed place.
        if (!folder.empty()) {
            const std::filesystem::path candidate = std::filesystem::path(folder) / "stockfish";
            if (candidate.is_absolute() && runnable(candidate)) return candidate.string();
        }
        start = end + 1;
    }
    return !fallback.empty() && runnable(fallback) ? fallback.string() : std::string();
}

} // namespace quorel
