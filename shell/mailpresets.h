#pragma once
// Provider presets of the settings dialog: the servers, ports, security and
// sign-in kind that the large mail providers publish for mail programs.
// Choosing one fills those settings; "Other" leaves them as they are.
#include "shell/settings.h"

#include <span>
#include <string>

namespace quorel {

// How the player signs in: the account password, an app password made in
// the provider's account settings (both sent as a password), or OAuth 2.0
// with the token of `OAuth2 Token Command`.
enum class TSignInKind { Password, AppPassword, OAuth2 };

struct TMailPreset {
    const char* Name;         // shown in the provider list
    const char* Smtp;         // "host:port"
    const char* SmtpSecurity; // "STARTTLS" or "TLS"
    const char* Imap;         // "host:port"
    const char* Pop3;         // "host:port"; "" when the provider has no POP3
    TSignInKind SignIn;
    const char* HintKey; // the settings dialog's "@" key of the one-line hint
};

// The presets in the order of the provider list, "Other" (all fields empty)
// last.
std::span<const TMailPreset> MailPresets();

// Fills s from preset: SMTP server and security, the incoming server of
// s.MailProtocol (IMAP when the provider has no POP3) with implicit TLS,
// both sign-in kinds, and the SMTP user name from the POP3 one when it is
// empty (these providers all want a signed-in SMTP). "Other" changes nothing.
void ApplyMailPreset(const TMailPreset& preset, TSettings& s);

// The index of the preset whose servers s holds; that of "Other" when none.
size_t MailPresetOf(const TSettings& s);

} // namespace quorel
