#pragma once
// qrltool's command table. Each module adds its commands from its own
// cli/cmd_<module>.cpp with a static QrlCommand object:
//
//   static quorel::cli::QrlCommand cmd{"game show", "FILE", "print a game as JSON",
//       [](const std::vector<std::string>& args) { ...; return 0; }};
//
// The words of the name are matched against the first words of the command
// line; the longest match wins and gets the remaining arguments.
#include <functional>
#include <string>
#include <vector>

namespace quorel::cli {

using CommandFn = std::function<int(const std::vector<std::string>& args)>;

struct QrlCommand {
    QrlCommand(std::string name, std::string usage, std::string help, CommandFn fn);
};

// Small option helpers shared by the commands.
// Takes "--name VALUE" out of args; returns true and sets value when present.
bool TakeOption(std::vector<std::string>& args, const std::string& name, std::string& value);
// Takes every "--name VALUE" out of args.
std::vector<std::string> TakeOptions(std::vector<std::string>& args, const std::string& name);
// Takes a bare "--flag" out of args.
bool TakeFlag(std::vector<std::string>& args, const std::string& name);

// Writes s as a JSON string literal (quotes and escapes; UTF-8 kept).
std::string JsonString(const std::string& s);

} // namespace quorel::cli
