#pragma once
// What the tests against the imap_servers fixture share: the fixture's
// servers.env and running a command (doveadm, qrltool) from a test.
#include "tests/common/mail_servers_env.h"

namespace imaptest {

inline std::map<std::string, std::string> ServerEnv() {
    return mailtest::ServerEnv("QUOREL_IMAP_SERVERS");
}
using mailtest::Shell;

} // namespace imaptest
