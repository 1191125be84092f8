#include "shell/mailconfig.h"

#include "platform/codepage.h"
#include "shell/profile.h"

namespace quorel {

mail::TMailConfig MailConfigOf(const TSettings& s, const TFolders& folders,
                               std::string_view profile) {
    mail::TMailConfig c;
    c.SmtpServer = s.SmtpServer;
    c.Pop3Server = s.Pop3Server;
    c.Pop3UserName = s.Pop3UserName;
    c.Pop3Password = ReadPasswordFile(folders.Program / PasswordFileName(profile)).value_or("");
    c.SmtpSecurity = mail::ParseMailSecurity(s.SmtpSecurity);
    c.Pop3Security = mail::ParseMailSecurity(s.Pop3Security);
    c.SmtpUserName = s.SmtpUserName;
    c.SmtpPassword = ReadPasswordFile(folders.Program / SmtpPasswordFileName(profile)).value_or("");
    c.TrustedCertificate = s.TrustedCertificate;
    c.DeleteMessagesAfterRetrieving = s.DeleteMessagesAfterRetrieving;
    // Anything but the exact alternatives keeps the original behaviour.
    c.Imap = AsciiUpper(s.MailProtocol) == "IMAP";
    c.SmtpOAuth = AsciiUpper(s.SmtpSignIn) == "OAUTH2";
    c.Pop3OAuth = AsciiUpper(s.Pop3SignIn) == "OAUTH2";
    c.OAuthTokenCommand = s.OAuth2TokenCommand;
    c.ProgramFolder = folders.Program;
    c.MailboxFolder = folders.Mailbox;
    c.GamesFolder = folders.Games;
    c.AttachFolder = folders.Attach;
    return c;
}

} // namespace quorel
