#pragma once
// The connection's settings taken from a profile: servers, security, user
// names, both password files, the trusted certificate and the folders. One
// rule for the connection dialog and qrltool's mail commands.
#include "mail/connection.h"
#include "shell/folders.h"
#include "shell/settings.h"

#include <string_view>

namespace quorel {

// Reads the POP3 and SMTP password files of profile in folders.Program
// (empty when a file is missing).
mail::TMailConfig MailConfigOf(const TSettings& s, const TFolders& folders,
                               std::string_view profile);

} // namespace quorel
