// qrltool: the scripting and batch companion of Quorel over the same core.
#include "cli/command.h"
#include "platform/text.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>

namespace quorel::cli {
namespace {
struct Entry {
    std::vector<std::string> words;
    std::string usage, help;
    CommandFn fn;
};
std::vector<Entry>& Table() {
    static std::vector<Entry> table;
    return table;
}
} // namespace

QrlCommand::QrlCommand(std::string name, std::string usage, std::string help, CommandFn fn) {
    Entry e;
    std::istringstream in(name);
    for (std::string w; in >> w;)
        e.words.push_back(w);
    e.usage = std::move(usage);
    e.help = std::move(help);
    e.fn = std::move(fn);
    Table().push_back(std::move(e));
}

bool TakeOption(std::vector<std::string>& args, const std::string& name, std::string& value) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name && i + 1 < args.size()) {
            value = args[i + 1];
            args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
            return true;
        }
        if (args[i].rfind(name + "=", 0) == 0) {
            value = args[i].substr(name.size() + 1);
            args.erase(args.begin() + long(i));
            return true;
        }
    }
    return false;
}

std::vector<std::string> TakeOptions(std::vector<std::string>& args, const std::string& name) {
    std::vector<std::string> out;
    std::string v;
    while (TakeOption(args, name, v))
        out.push_back(v);
    return out;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
    auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end()) return false;
    args.erase(it);
    return true;
}

std::string JsonString(const std::string& s) { return JsonQuote(s); }

} // namespace quorel::cli

int main(int argc, char** argv) {
    using namespace quorel::cli;
    // A file-size limit reached while writing is a failed write the command
    // reports (and cleans up after), not a signal that kills it halfway.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    const Entry* best = nullptr;
    for (const Entry& e : Table()) {
        if (e.words.size() > args.size()) continue;
        if (!std::equal(e.words.begin(), e.words.end(), args.begin())) continue;
        if (!best || e.words.size() > best->words.size()) best = &e;
    }
    if (!best) {
        std::vector<const Entry*> sorted;
        for (const Entry& e : Table())
            sorted.push_back(&e);
        std::sort(sorted.begin(), sorted.end(),
                  [](const Entry* a, const Entry* b) { return a->words < b->words; });
        std::ostream& out = args.empty() || args[0] == "--help" ? std::cout : std::cerr;
        if (!args.empty() && args[0] != "--help") out << "qrltool: unknown command\n";
        out << "usage: qrltool COMMAND [ARGS]\n";
        for (const Entry* e : sorted) {
            std::string name;
            for (const auto& w : e->words)
                name += (name.empty() ? "" : " ") + w;
            out << "  " << name << (e->usage.empty() ? "" : " " + e->usage) << "\n      " << e->help
                << "\n";
        }
        return args.empty() || args[0] == "--help" ? 0 : 2;
    }
    std::vector<std::string> rest(args.begin() + long(best->words.size()), args.end());
    try {
        return best->fn(rest);
    } catch (const std::exception& ex) {
        std::cerr << "qrltool: " << ex.what() << "\n";
        return 1;
    }
}
