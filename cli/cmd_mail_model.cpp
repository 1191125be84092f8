// qrltool commands over the message model and the mailbox store:
//   mail decode FILE        the decoded message as one JSON object
//   mail recode IN OUT      decode IN, encode the model to OUT
//   mailbox list [FOLDER]   folders with counts, or the list lines of one
//   mailbox rebuild         RebuildIndex of the program folder's mailbox
#include "cli/command.h"
#include "mail/message.h"
#include "mail/message_json.h"
#include "mail/store.h"
#include "shell/folders.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

using namespace quorel::mail;
namespace fs = std::filesystem;

// The mailbox folder of the program folder, found by the program's one rule
// (a portable installation beside the executable included).
fs::path MailboxFolder() {
    return quorel::FoldersOf(quorel::ResolveProgramFolder(quorel::CurrentProgramFolderEnv()))
        .Mailbox;
}

const std::array<std::string, 5> kEnglishFolders = {"New Mail", "Queued Mail", "Sent Mail", "Trash",
                                                    "??"};

quorel::cli::QrlCommand decodeCmd{"mail decode", "FILE", "print a mail file decoded as JSON",
                                  [](const std::vector<std::string>& args) {
                                      if (args.size() != 1) {
                                          std::cerr << "usage: qrltool mail decode FILE\n";
                                          return 2;
                                      }
                                      TmsMessage m;
                                      try {
                                          m.LoadFromFile(args[0]);
                                      } catch (const EMessageError& e) {
                                          std::cerr << e.what() << "\n";
                                          return 1;
                                      }
                                      std::cout << MessageToJson(m) << "\n";
                                      return 0;
                                  }};

quorel::cli::QrlCommand recodeCmd{"mail recode", "IN OUT", "decode a mail file and encode it again",
                                  [](const std::vector<std::string>& args) {
                                      if (args.size() != 2) {
                                          std::cerr << "usage: qrltool mail recode IN OUT\n";
                                          return 2;
                                      }
                                      try {
                                          TmsMessage m;
                                          m.LoadFromFile(args[0]);
                                          m.SaveToFile(args[1]);
                                      } catch (const EMessageError& e) {
                                          std::cerr << e.what() << "\n";
                                          return 1;
                                      }
                                      return 0;
                                  }};

quorel::cli::QrlCommand listCmd{
    "mailbox list", "[FOLDER-NUMBER] [--user NAME]",
    "the mailbox folders with their counts, or the message list of one folder",
    [](std::vector<std::string> args) {
        std::string user;
        quorel::cli::TakeOption(args, "--user", user);
        if (args.size() > 1) {
            std::cerr << "usage: qrltool mailbox list [FOLDER-NUMBER] [--user NAME]\n";
            return 2;
        }
        const fs::path box = MailboxFolder();
        TMailStore store;
        if (!store.OpenReadOnly(box)) {
            std::cerr << "cannot open the mailbox index in " << box.string() << "\n";
            return 1;
        }
        if (args.empty()) {
            const std::array<std::string, 4> names = {kEnglishFolders[0], kEnglishFolders[1],
                                                      kEnglishFolders[2], kEnglishFolders[3]};
            for (const auto& e : store.FolderEntries(&names))
                std::cout << e.Number << "\t" << e.Text() << "\n";
            return 0;
        }
        char* end = nullptr;
        long folder = std::strtol(args[0].c_str(), &end, 10);
        if (!end || *end) {
            std::cerr << "not a folder number: " << args[0] << "\n";
            return 2;
        }
        for (const auto& [n, r] : store.FolderRecords(int32_t(folder)))
            std::cout << MessageListLine(r, user) << "\n";
        return 0;
    }};

quorel::cli::QrlCommand rebuildCmd{
    "mailbox rebuild", "", "rebuild the mailbox index from the mail files",
    [](const std::vector<std::string>& args) {
        if (!args.empty()) {
            std::cerr << "usage: qrltool mailbox rebuild\n";
            return 2;
        }
        const fs::path box = MailboxFolder();
        std::error_code ec;
        fs::create_directories(box, ec);
        TMailStore store;
        if (!store.Open(box, kEnglishFolders)) {
            std::cerr << (store.IndexLocked() ? "the mailbox is in use by another program: "
                                              : "cannot open the mailbox index in ")
                      << box.string() << "\n";
            return 1;
        }
        for (const auto& m : store.RebuildIndex())
            std::cout << m << "\n";
        std::cout << store.IndexCount() << " messages indexed\n";
        return 0;
    }};

} // namespace
