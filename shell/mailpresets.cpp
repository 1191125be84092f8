#include "shell/mailpresets.h"

#include "platform/codepage.h"

#include <array>

namespace quorel {

namespace {

// clang-format off
constexpr std::array<TMailPreset, 7> kPresets = {{
    {"Gmail", "smtp.gmail.com:587", "STARTTLS", "imap.gmail.com:993", "pop.gmail.com:995",
     TSignInKind::AppPassword, "@HintGmail"},
    {"Outlook.com / Microsoft 365", "smtp.office365.com:587", "STARTTLS",
     "outlook.office365.com:993", "outlook.office365.com:995", TSignInKind::OAuth2, "@HintOutlook"},
    {"Yahoo", "smtp.mail.yahoo.com:465", "TLS", "imap.mail.yahoo.com:993", "pop.mail.yahoo.com:995",
     TSignInKind::AppPassword, "@HintYahoo"},
    {"GMX", "mail.gmx.net:587", "STARTTLS", "imap.gmx.net:993", "pop.gmx.net:995",
     TSignInKind::Password, "@HintGmx"},
    {"Web.de", "smtp.web.de:587", "STARTTLS", "imap.web.de:993", "pop3.web.de:995",
     TSignInKind::Password, "@HintWebde"},
    {"iCloud", "smtp.mail.me.com:587", "STARTTLS", "imap.mail.me.com:993", "",
     TSignInKind::AppPassword, "@HintICloud"},
    {"Other", "", "", "", "", TSignInKind::Password, "@HintOther"},
}};
// clang-format on

bool IsImap(const TSettings& s) {
    return AsciiUpper(s.MailProtocol) == "IMAP";
}

} // namespace

std::span<const TMailPreset> MailPresets() {
    return kPresets;
}

void ApplyMailPreset(const TMailPreset& p, TSettings& s) {
    if (*p.Smtp == '\0') return; // "Other"
    s.SmtpServer = p.Smtp;
    s.SmtpSecurity = p.SmtpSecurity;
    if (*p.Pop3 == '\0') s.MailProtocol = "IMAP";
    s.Pop3Server = IsImap(s) ? p.Imap : p.Pop3;
    s.Pop3Security = "TLS";
    const char* kind = p.SignIn == TSignInKind::OAuth2 ? "OAUTH2" : "PASSWORD";
    s.SmtpSignIn = kind;
    s.Pop3SignIn = kind;
    if (s.SmtpUserName.empty()) s.SmtpUserName = s.Pop3UserName;
}

size_t MailPresetOf(const TSettings& s) {
    const std::string smtp = AsciiLower(s.SmtpServer);
    const std::string in = AsciiLower(s.Pop3Server);
    for (size_t i = 0; i + 1 < kPresets.size(); ++i) {
        const TMailPreset& p = kPresets[i];
        if (smtp == p.Smtp && (in == p.Imap || (*p.Pop3 != '\0' && in == p.Pop3))) return i;
    }
    return kPresets.size() - 1;
}

} // namespace quorel
