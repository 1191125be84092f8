#include "setup/setuplist.h"

#include "setup/folders.h"

#include "platform/codepage.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace quorel::setup {

namespace fs = std::filesystem;

std::pair<std::string, std::string> SplitFirstBlank(std::string_view s) {
    size_t p = s.find(' ');
    if (p == std::string_view::npos) return {std::string(s), ""};
    return {std::string(s.substr(0, p)), std::string(s.substr(p + 1))};
}

std::pair<std::string, std::string> SplitLastBlank(std::string_view s) {
    size_t p = s.rfind(' ');
    if (p == std::string_view::npos) return {"", std::string(s)};
    return {std::string(s.substr(0, p)), std::string(s.substr(p + 1))};
}

namespace {
// True when s is well-formed UTF-8 (lead bytes and continuation bytes).
bool IsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        if (c < 0x80) {
            n = 0;
        } else if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
        } else {
            return false;
        }
        if (s.size() - i - 1 < n) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}
} // namespace

std::optional<std::string> ParseSetupList(std::string_view text, const std::string& sourceFolder,
                                          TSetupList& list, const TDebugBox& debugBox) {
    list = TSetupList{};
    auto debug = [&](const std::string& s) {
        if (debugBox) debugBox(s);
    };
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) eol = text.size();
        std::string line(text.substr(pos, eol - pos));
        pos = eol + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        auto [type, arg] = SplitFirstBlank(line);
        if (type == "P") {
            list.ProgramName = arg;
            debug("Program to install : " + arg);
        } else if (type == "G") {
            list.GroupName = arg;
            debug("Default group : " + arg);
        } else if (type == "DD") {
            list.DefaultDir = arg;
        } else if (type == "D" || type == "F" || type == "GA") {
            list.WorkList.push_back(type + " " + arg);
        } else if (type == "FM") {
            list.WorkList.push_back("F " + arg);
            list.MainFile = SplitFirstBlank(arg).second;
            debug("Main file : " + list.MainFile);
        } else if (type == "I") {
            debug("Special install program : " + arg);
            std::string path = ResolveInFolder(sourceFolder, arg);
            std::error_code ec;
            if (arg.empty() || path.empty() || !fs::is_regular_file(path, ec))
                return "Special install program\n" + arg + "\ndoesn't exists";
            list.InstallProgram = arg;
        } else {
            return type + " - unexpected line type\nin SETUP.LST";
        }
    }
    if (list.ProgramName.empty()) return "Program name missing in SETUP.LST";
    bool anyFile = false;
    for (const std::string& w : list.WorkList)
        if (w[0] == 'D' || w[0] == 'F') anyFile = true;
    if (!anyFile) return "No files/directories found in SETUP.LST";
    return std::nullopt;
}

std::optional<std::string> ReadSetupList(const std::string& sourceFolder, TSetupList& list,
                                         const TDebugBox& debugBox) {
    std::string path = ResolveInFolder(sourceFolder, kSetupListName);
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    if (path.empty() || !in || fs::is_directory(path, ec))
        return "Can't find " + WithoutSlash(sourceFolder) + "/" + kSetupListName;
    std::ostringstream buf;
    buf << in.rdbuf();
    // Lists written on the old system are in the Windows code page.
    std::string text = buf.str();
    if (!IsUtf8(text)) text = Cp1252ToUtf8(text);
    return ParseSetupList(text, sourceFolder, list, debugBox);
}

std::string DefaultTargetFolder(const TSetupList& list, const std::string& home) {
    if (!list.DefaultDir.empty()) return list.DefaultDir;
    return WithSlash(home) + SplitFirstBlank(list.ProgramName).first;
}

} // namespace quorel::setup
