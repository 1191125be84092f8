// IMAP retrieval as the connection dialog will run it: list the INBOX
// messages not yet filed, retrieve them all, file each one in New Mail
// through the dialog's own filing (decode, attachments, re-encode, index
// record) and remember its UID, then log out. Built and run by bench/imap.sh.
//
//   imap_bench HOST:PORT USER PASSWORD CERT SECURITY MAILBOX [one-session] [raw]
// one-session keeps the listing's session open for the transfer; raw writes
// each message as it came into a file of its own (as curl does) instead of
// filing it.
#include "mail/connection.h"
#include "mail/imap.h"
#include "mail/uidstore.h"

#include <cstdio>
#include <filesystem>
#include <string>

using namespace quorel::mail;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(
            stderr, "usage: imap_bench HOST:PORT USER PASSWORD CERT SECURITY MAILBOX [one-session] "
                    "[raw]\n");
        return 2;
    }
    fs::path box = argv[6];
    for (auto d : {"mailbox", "games", "attach"})
        fs::create_directories(box / d);
    TMailStore store;
    if (!store.Open(box / "mailbox", {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"})) {
        std::fprintf(stderr, "cannot open the mailbox\n");
        return 1;
    }
    TConnectionLogic logic(store);
    logic.Config.MailboxFolder = box / "mailbox";
    logic.Config.GamesFolder = box / "games";
    logic.Config.AttachFolder = box / "attach";
    logic.Config.ProgramFolder = box;

    TUidStore uids;
    uids.Load(box / "mailbox");
    TmsIMAP c;
    c.Server = argv[1];
    c.UserName = argv[2];
    c.Password = argv[3];
    c.TrustedCertificate = argv[4];
    c.Security = ParseMailSecurity(argv[5]);
    const std::string account = TUidStore::AccountKey("IMAP", c.Server, 0, c.UserName);
    bool oneSession = false, raw = false;
    for (int i = 7; i < argc; ++i) {
        oneSession = oneSession || std::string(argv[i]) == "one-session";
        raw = raw || std::string(argv[i]) == "raw";
    }
    int filed = 0;
    FileOnce(c, uids, account, [&](int num, const std::string& contents) {
        if (raw) {
            std::FILE* f = std::fopen((box / (std::to_string(num) + ".eml")).c_str(), "wb");
            if (!f || std::fwrite(contents.data(), 1, contents.size(), f) != contents.size())
                throw EMailNetError("cannot write");
            std::fclose(f);
        } else {
            logic.RemotePOPUserMessageSave(num, contents);
        }
        ++filed;
    });
    try {
        c.KeepConnected = oneSession;
        c.GetRemoteInfo();
        for (auto& item : c.RemoteInfo)
            item.Retrieve = true;
        c.TransferMarked();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf("%d\n", filed);
    return 0;
}
