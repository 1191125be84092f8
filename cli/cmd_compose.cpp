// qrltool command of the move message composer:
//   render GAMEFILE [--own ADDRESS]
// prints the message the editor opens with for that game: "To: NAME <ADDRESS>",
// "Subject: " + the subject (its trailing blank kept), an empty line, then
// the body lines of the game block, each ended by LF. --own stands for the
// setting "Email Address" (default: the profile's setting).
#include "chess/gamerecord.h"
#include "cli/command.h"
#include "compose/gameblock.h"
#include "shell/folders.h"
#include "shell/ini.h"
#include "shell/profile.h"
#include "shell/settings.h"

#include <iostream>

namespace {

using namespace quorel;
namespace fs = std::filesystem;

std::string ProfileEmailAddress() {
    const fs::path folder = ResolveProgramFolder(CurrentProgramFolderEnv());
    return TSettings::Read(TIniFile::Load(folder / SettingsFileName(kDefaultProfile)))
        .EmailAddress;
}

int Render(std::vector<std::string> args) {
    std::string own;
    const bool haveOwn = cli::TakeOption(args, "--own", own);
    if (args.size() != 1) {
        std::cerr << "usage: qrltool render GAMEFILE [--own ADDRESS]\n";
        return 2;
    }
    const fs::path file = fs::absolute(args[0]);
    chess::TGameRecord rec;
    const chess::TLoadResult load =
        chess::LoadFromFile(file.parent_path(), file.filename().string(), rec);
    if (!load.Ok) {
        for (const auto& m : load.Messages)
            std::cerr << chess::EnglishMessage(m) << "\n";
        return 1;
    }
    compose::TMessageDraft draft;
    draft.GameFile = load.Path;
    compose::TBlockOptions opt;
    opt.OwnAddress = haveOwn ? own : ProfileEmailAddress();
    compose::WriteGame(draft, rec, opt);
    std::string out = "To: " + draft.Recipient + " <" + draft.Address + ">\n";
    out += "Subject: " + draft.Subject + "\n\n";
    for (const auto& line : draft.Body)
        out += line + "\n";
    std::cout << out << std::flush;
    return 0;
}

const cli::QrlCommand renderCmd{"render", "GAMEFILE [--own ADDRESS]",
                                "print the move message the editor opens with for a game",
                                [](const std::vector<std::string>& a) { return Render(a); }};

} // namespace
