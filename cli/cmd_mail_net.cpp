// qrltool commands that queue, send and fetch mail through the program
// folder's settings and mailbox ($QUOREL_HOME when set):
//   mail queue --to ADDRESS [--name NAME] --subject TEXT --body-file FILE
//              [--attach FILE]... [--no-save-copy]
//   password pop3|smtp          (one line from standard input)
//   mail send [--timeout SECS]
//   mail list-server [--timeout SECS]
//   mail fetch [--delete] [--save-games yes|no] [--timeout SECS]
#include "cli/command.h"
#include "compose/gameblock.h"
#include "mail/connection.h"
#include "mail/store.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "shell/folders.h"
#include "shell/ini.h"
#include "shell/lang/multilang.h"
#include "shell/mailconfig.h"
#include "shell/profile.h"
#include "shell/settings.h"

#include <iostream>

namespace {

using namespace quorel;
using namespace quorel::mail;
namespace fs = std::filesystem;

struct TProgram {
    fs::path folder;
    TFolders folders;
    TIniFile ini;
    TSettings settings;
};

TProgram LoadProgram() {
    TProgram p;
    p.folder = ResolveProgramFolder(CurrentProgramFolderEnv());
    p.folders = FoldersOf(p.folder);
    p.ini = TIniFile::Load(p.folder / SettingsFileName(kDefaultProfile));
    p.settings = TSettings::Read(p.ini);
    return p;
}

const std::array<std::string, 5> kEnglishFolders = {"New Mail", "Queued Mail", "Sent Mail", "Trash",
                                                    "??"};

bool OpenStore(const TProgram& p, TMailStore& store, const char* cmd) {
    EnsureFolder(p.folders.Mailbox);
    EnsureFolder(p.folders.Games);
    EnsureFolder(p.folders.Attach);
    if (!store.Open(p.folders.Mailbox, kEnglishFolders)) {
        std::cerr << "qrltool " << cmd << ": "
                  << (store.IndexLocked() ? "the mailbox is in use (Quorel is running)"
                                          : "cannot open the mailbox index")
                  << "\n";
        return false;
    }
    return true;
}

TMailConfig ConfigOf(const TProgram& p) {
    return MailConfigOf(p.settings, p.folders, kDefaultProfile);
}

// Connection logic with the dialog's texts and the info log on stdout.
void Wire(TConnectionLogic& logic, const TProgram& p, std::ostream& log) {
    auto lang = std::make_shared<TMultiLang>(TMultiLang::ForWindow("TConnectionDialog"));
    lang->SetActiveLanguage(p.settings.Language);
    logic.Text = [lang](const std::string& key) { return lang->Text(key); };
    logic.OnInfoLine = [&log](const std::string& line) { log << line << "\n" << std::flush; };
    logic.Config = ConfigOf(p);
}

bool TakeTimeOut(std::vector<std::string>& args, TConnectionLogic& logic, const char* cmd) {
    std::string t;
    if (!cli::TakeOption(args, "--timeout", t)) return true;
    try {
        logic.Config.TimeOut = std::stoi(t);
    } catch (const std::exception&) {
        std::cerr << "qrltool " << cmd << ": --timeout wants seconds\n";
        return false;
    }
    return logic.Config.TimeOut > 0;
}

bool NoMoreArgs(const std::vector<std::string>& args, const char* cmd) {
    if (args.empty()) return true;
    std::cerr << "qrltool " << cmd << ": unexpected argument " << args[0] << "\n";
    return false;
}

int Queue(std::vector<std::string> args) {
    std::string to, name, subject, bodyFile;
    cli::TakeOption(args, "--to", to);
    cli::TakeOption(args, "--name", name);
    cli::TakeOption(args, "--subject", subject);
    cli::TakeOption(args, "--body-file", bodyFile);
    auto attachments = cli::TakeOptions(args, "--attach");
    bool noCopy = cli::TakeFlag(args, "--no-save-copy");
    if (!NoMoreArgs(args, "mail queue")) return 2;
    if (to.empty() || bodyFile.empty()) {
        std::cerr << "usage: qrltool mail queue --to ADDRESS [--name NAME] --subject TEXT "
                     "--body-file FILE [--attach FILE]... [--no-save-copy]\n";
        return 2;
    }
    if (to.find('@') == std::string::npos) {
        std::cerr << compose::kNoAtSignText << "\n";
        return 1;
    }
    std::string body;
    if (!ReadWholeFile(bodyFile, body)) {
        std::cerr << "qrltool mail queue: cannot read " << bodyFile << "\n";
        return 1;
    }
    TProgram p = LoadProgram();
    compose::TMessageDraft draft;
    draft.Recipient = name;
    draft.Address = to;
    draft.Subject = subject;
    draft.Attachments = attachments;
    draft.SaveCopy = !noCopy;
    // Body lines: LF or CR LF line ends.
    size_t pos = 0;
    while (pos < body.size()) {
        size_t lf = body.find('\n', pos);
        std::string line = body.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        draft.Body.push_back(line);
        pos = lf == std::string::npos ? body.size() : lf + 1;
    }
    compose::TSenderSettings sender;
    sender.UserName = p.settings.UserName;
    sender.EmailAddress = p.settings.EmailAddress;
    if (!p.settings.SignatureFile.empty()) sender.SignatureFile = p.folder / p.settings.SignatureFile;
    TMailStore store;
    if (!OpenStore(p, store, "mail queue")) return 1;
    const compose::TQueueResult r = compose::QueueDraft(store, draft, sender);
    if (r.SignatureMissing) std::cerr << "Cannot open signature file\n";
    if (!r.Ok) {
        std::cerr << compose::kQueueFailedText << " (" << r.Error << ")\n";
        return 1;
    }
    std::cout << r.File.filename().string() << "\n";
    return 0;
}

int Password(std::vector<std::string> args) {
    if (args.size() != 1 || (args[0] != "pop3" && args[0] != "smtp")) {
        std::cerr << "usage: qrltool password pop3|smtp  (the password on standard input)\n";
        return 2;
    }
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const fs::path folder = ResolveProgramFolder(CurrentProgramFolderEnv());
    EnsureFolder(folder);
    const fs::path file = folder / (args[0] == "pop3" ? PasswordFileName(kDefaultProfile)
                                                      : SmtpPasswordFileName(kDefaultProfile));
    std::string error;
    if (!WritePasswordFile(file, line, &error)) {
        std::cerr << "qrltool password: " << error << "\n";
        return 1;
    }
    return 0;
}

int Send(std::vector<std::string> args) {
    TProgram p = LoadProgram();
    TMailStore store;
    if (!OpenStore(p, store, "mail send")) return 1;
    TConnectionLogic logic(store);
    Wire(logic, p, std::cout);
    if (!TakeTimeOut(args, logic, "mail send") || !NoMoreArgs(args, "mail send")) return 2;
    logic.FormCreate();
    bool ok = logic.SendButtonClick();
    if (!ok && !logic.LastError.empty())
        std::cerr << "qrltool mail send: " << logic.LastError << "\n";
    logic.FormDestroy();
    return ok ? 0 : 1;
}

int ListServer(std::vector<std::string> args) {
    TProgram p = LoadProgram();
    TMailStore store;
    if (!OpenStore(p, store, "mail list-server")) return 1;
    TConnectionLogic logic(store);
    Wire(logic, p, std::cerr);
    if (!TakeTimeOut(args, logic, "mail list-server") || !NoMoreArgs(args, "mail list-server"))
        return 2;
    logic.FormCreate();
    bool ok = logic.UpdateButtonClick();
    for (const auto& l : logic.ListLines)
        std::cout << l << "\n";
    if (!ok && !logic.LastError.empty())
        std::cerr << "qrltool mail list-server: " << logic.LastError << "\n";
    logic.FormDestroy();
    return ok ? 0 : 1;
}

int Fetch(std::vector<std::string> args) {
    bool del = cli::TakeFlag(args, "--delete");
    std::string saveGames = "no";
    cli::TakeOption(args, "--save-games", saveGames);
    if (saveGames != "yes" && saveGames != "no") {
        std::cerr << "qrltool mail fetch: --save-games wants yes or no\n";
        return 2;
    }
    TProgram p = LoadProgram();
    TMailStore store;
    if (!OpenStore(p, store, "mail fetch")) return 1;
    TConnectionLogic logic(store);
    Wire(logic, p, std::cout);
    if (!TakeTimeOut(args, logic, "mail fetch") || !NoMoreArgs(args, "mail fetch")) return 2;
    logic.AskSaveGame = [saveGames](const std::string&, const std::string&) {
        return saveGames == "yes";
    };
    logic.FormCreate();
    logic.EditDelete = del;
    bool ok = logic.RetrieveAll();
    if (!ok && !logic.LastError.empty())
        std::cerr << "qrltool mail fetch: " << logic.LastError << "\n";
    logic.FormDestroy();
    return ok ? 0 : 1;
}

cli::QrlCommand queueCmd{"mail queue",
                         "--to ADDRESS [--name NAME] --subject TEXT --body-file FILE "
                         "[--attach FILE]... [--no-save-copy]",
                         "queue a message in the mailbox as the composer's Send does", Queue};
cli::QrlCommand passwordCmd{"password", "pop3|smtp",
                            "store the POP3 or SMTP password read from standard input", Password};
cli::QrlCommand sendCmd{"mail send", "[--timeout SECS]",
                        "send the queued mail; exit 0 only when all of it went out", Send};
cli::QrlCommand listServerCmd{"mail list-server", "[--timeout SECS]",
                              "list the messages waiting on the POP3 (or IMAP) server", ListServer};
cli::QrlCommand fetchCmd{
    "mail fetch", "[--delete] [--save-games yes|no] [--timeout SECS]",
    "retrieve every message not yet filed from the server (POP3 or IMAP) into New Mail", Fetch};

} // namespace
