// Provider presets: what each fills, by hand from the providers' published
// settings, for a POP3 and an IMAP player; "Other" leaves every field alone.
#include "shell/mailpresets.h"

#include <gtest/gtest.h>

namespace quorel {
namespace {

TEST(MailPresets, EachFillsThePublishedServersAndSignIn) {
    struct Row {
        const char* name;
        const char* smtp;
        const char* smtpSecurity;
        const char* pop3;   // what a POP3 player gets
        const char* imap;   // what an IMAP player gets
        const char* signIn; // both sign-in settings
    } rows[] = {
        {"Gmail", "smtp.gmail.com:587", "STARTTLS", "pop.gmail.com:995", "imap.gmail.com:993",
         "PASSWORD"},
        {"Outlook.com / Microsoft 365", "smtp.office365.com:587", "STARTTLS",
         "outlook.office365.com:995", "outlook.office365.com:993", "OAUTH2"},
        {"Yahoo", "smtp.mail.yahoo.com:465", "TLS", "pop.mail.yahoo.com:995",
         "imap.mail.yahoo.com:993", "PASSWORD"},
        {"GMX", "mail.gmx.net:587", "STARTTLS", "pop.gmx.net:995", "imap.gmx.net:993", "PASSWORD"},
        {"Web.de", "smtp.web.de:587", "STARTTLS", "pop3.web.de:995", "imap.web.de:993", "PASSWORD"},
        // No POP3 at iCloud: the preset switches to IMAP.
        {"iCloud", "smtp.mail.me.com:587", "STARTTLS", "imap.mail.me.com:993",
         "imap.mail.me.com:993", "PASSWORD"},
    };
    const auto presets = MailPresets();
    ASSERT_EQ(presets.size(), std::size(rows) + 1);
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& r = rows[i];
        SCOPED_TRACE(r.name);
        EXPECT_STREQ(presets[i].Name, r.name);
        for (const char* protocol : {"POP3", "IMAP"}) {
            TSettings s;
            s.MailProtocol = protocol;
            s.Pop3UserName = "ann@example.org";
            ApplyMailPreset(presets[i], s);
            EXPECT_EQ(s.SmtpServer, r.smtp);
            EXPECT_EQ(s.SmtpSecurity, r.smtpSecurity);
            EXPECT_EQ(s.Pop3Server, std::string(protocol) == "POP3" ? r.pop3 : r.imap);
            EXPECT_EQ(s.MailProtocol, *presets[i].Pop3 ? protocol : "IMAP");
            EXPECT_EQ(s.Pop3Security, "TLS");
            EXPECT_EQ(s.SmtpSignIn, r.signIn);
            EXPECT_EQ(s.Pop3SignIn, r.signIn);
            EXPECT_EQ(s.SmtpUserName, "ann@example.org");
            EXPECT_EQ(MailPresetOf(s), i);
        }
    }
    // "Other": nothing changes, and settings of no preset are "Other".
    TSettings s;
    s.SmtpServer = "mail.example.org";
    s.SmtpUserName = "ann";
    const TSettings before = s;
    ApplyMailPreset(presets.back(), s);
    EXPECT_EQ(s.SmtpServer, before.SmtpServer);
    EXPECT_EQ(s.Pop3Server, before.Pop3Server);
    EXPECT_EQ(s.SmtpSignIn, before.SmtpSignIn);
    EXPECT_EQ(s.MailProtocol, before.MailProtocol);
    EXPECT_EQ(MailPresetOf(s), presets.size() - 1);
}

} // namespace
} // namespace quorel
