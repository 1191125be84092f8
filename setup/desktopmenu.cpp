#include "setup/desktopmenu.h"

#include "setup/folders.h"

#include "platform/codepage.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace quorel::setup {

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool ReadText(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buf;
    buf << in.rdbuf();
    out = buf.str();
    return true;
}

// Writes the file through a temporary file in the same folder, so a desktop
// that watches the folder never reads half a file.
bool WriteText(const std::string& path, const std::string& text) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::string tmp = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << text;
        out.flush();
        if (!out) {
            fs::remove(tmp, ec);
            return false;
        }
    }
    fs::rename(tmp, path, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return false;
    }
    return true;
}

std::string XmlEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string XmlUnescape(const std::string& s) {
    static const std::pair<const char*, char> ents[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < s.size();) {
        bool done = false;
        if (s[i] == '&') {
            for (const auto& [ent, ch] : ents) {
                if (s.compare(i, std::char_traits<char>::length(ent), ent) == 0) {
                    out += ch;
                    i += std::char_traits<char>::length(ent);
                    done = true;
                    break;
                }
            }
        }
        if (!done) out += s[i++];
    }
    return out;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// Files of folder whose names end in suffix.
std::vector<std::string> FilesEndingIn(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
            it->is_regular_file(ec))
            out.push_back(it->path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Text of every <Filename> element.
std::vector<std::string> FilenameElements(const std::string& xml) {
    std::vector<std::string> out;
    size_t pos = 0;
    while ((pos = xml.find("<Filename>", pos)) != std::string::npos) {
        pos += 10;
        size_t end = xml.find("</Filename>", pos);
        if (end == std::string::npos) break;
        out.push_back(XmlUnescape(Trim(xml.substr(pos, end - pos))));
        pos = end;
    }
    return out;
}

bool MacroIs(const std::string& macro, const std::string& head) {
    return macro.size() >= head.size() + 2 && EqualNoCase(macro.substr(0, head.size()), head) &&
           macro.compare(macro.size() - 2, 2, ")]") == 0;
}

} // namespace

TMenuFolders TMenuFolders::FromEnvironment() {
    TMenuFolders f;
    std::string home = HomeFolder();
    f.DataHome = Env("XDG_DATA_HOME");
    if (f.DataHome.empty() || f.DataHome[0] != '/') f.DataHome = home + "/.local/share";
    f.ConfigHome = Env("XDG_CONFIG_HOME");
    if (f.ConfigHome.empty() || f.ConfigHome[0] != '/') f.ConfigHome = home + "/.config";
    std::string dirs = Env("XDG_CONFIG_DIRS");
    if (dirs.empty()) dirs = "/etc/xdg";
    std::stringstream in(dirs);
    for (std::string d; std::getline(in, d, ':');)
        if (!d.empty() && d[0] == '/') f.ConfigDirs.push_back(d);
    return f;
}

std::vector<std::string> TopLevelMenuNames(const std::string& xml) {
    std::vector<std::string> names;
    int depth = 0;
    size_t pos = 0;
    while ((pos = xml.find('<', pos)) != std::string::npos) {
        if (xml.compare(pos, 4, "<!--") == 0) {
            size_t end = xml.find("-->", pos + 4);
            if (end == std::string::npos) break;
            pos = end + 3;
            continue;
        }
        size_t close = xml.find('>', pos);
        if (close == std::string::npos) break;
        std::string tag = xml.substr(pos + 1, close - pos - 1);
        pos = close + 1;
        if (tag.empty() || tag[0] == '!' || tag[0] == '?') continue;
        std::string nameOfTag = tag.substr(0, tag.find_first_of(" \t\r\n/"));
        bool selfClosing = tag.back() == '/';
        if (tag == "Menu" || (nameOfTag == "Menu" && !selfClosing)) {
            ++depth;
        } else if (tag == "/Menu") {
            --depth;
        } else if (tag == "Name" && depth == 2) {
            size_t end = xml.find("</Name>", pos);
            if (end == std::string::npos) break;
            std::string name = XmlUnescape(Trim(xml.substr(pos, end - pos)));
            if (!name.empty()) names.push_back(name);
            pos = end + 7;
        }
    }
    return names;
}

TDesktopMenu::TDesktopMenu(TMenuFolders folders) : f_(std::move(folders)) {}

bool TDesktopMenu::Connect() {
    std::vector<std::string> configs{f_.ConfigHome};
    configs.insert(configs.end(), f_.ConfigDirs.begin(), f_.ConfigDirs.end());
    for (const std::string& c : configs)
        if (!FilesEndingIn(c + "/menus", "applications.menu").empty()) return true;
    std::error_code ec;
    return fs::is_directory(f_.DataHome + "/applications", ec);
}

std::vector<std::string> TDesktopMenu::Groups() {
    std::vector<std::string> configs{f_.ConfigHome};
    configs.insert(configs.end(), f_.ConfigDirs.begin(), f_.ConfigDirs.end());
    // The desktop's own menus first, so their spelling of a name wins.
    std::vector<std::string> files;
    for (const std::string& c : configs)
        for (auto& p : FilesEndingIn(c + "/menus", "applications.menu"))
            files.push_back(p);
    for (const std::string& c : configs)
        for (auto& p : FilesEndingIn(c + "/menus/applications-merged", ".menu"))
            files.push_back(p);
    std::vector<std::string> names;
    for (const std::string& file : files) {
        std::string xml;
        if (!ReadText(file, xml)) continue;
        for (std::string& n : TopLevelMenuNames(xml)) {
            bool dup = std::any_of(names.begin(), names.end(),
                                   [&](const std::string& m) { return EqualNoCase(m, n); });
            if (!dup) names.push_back(n);
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        std::string la = a, lb = b;
        for (char& c : la)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : lb)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return la < lb;
    });
    return names;
}

std::string TDesktopMenu::IdPart(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out += char(c);
        } else if (c >= 'A' && c <= 'Z') {
            out += char(c - 'A' + 'a');
        } else if (!out.empty() && out.back() != '-') {
            out += '-';
        }
    }
    while (!out.empty() && out.back() == '-')
        out.pop_back();
    return out.empty() ? "item" : out;
}

std::string TDesktopMenu::EscapeValue(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string TDesktopMenu::ExecArgument(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') q += '\\';
        if (c == '%') q += '%';
        q += c;
    }
    q += '"';
    return EscapeValue(q);
}

bool TDesktopMenu::Execute(const std::string& macro) {
    if (MacroIs(macro, "[creategroup(\"")) {
        std::string inner = macro.substr(14, macro.size() - 16);
        if (inner.empty() || inner.back() != '"') return false;
        inner.pop_back();
        return CreateGroup(inner);
    }
    if (MacroIs(macro, "[Additem(")) {
        std::string inner = macro.substr(9, macro.size() - 11);
        size_t p = inner.rfind(", \"");
        if (p == std::string::npos || inner.back() != '"' || inner.size() < p + 4) return false;
        return AddItem(inner.substr(0, p), inner.substr(p + 3, inner.size() - p - 4));
    }
    if (MacroIs(macro, "[ShowGroup(\"")) {
        // Desktops watch the menu folders and show the new group by themselves.
        return !group_.empty();
    }
    return false;
}

bool TDesktopMenu::CreateGroup(const std::string& name) {
    if (Trim(name).empty()) return false;
    group_ = name;
    items_.clear();
    std::string id = "setup-" + IdPart(name);
    std::string menuPath = f_.ConfigHome + "/menus/applications-merged/" + id + ".menu";
    std::string old;
    if (ReadText(menuPath, old)) items_ = FilenameElements(old);
    // The desktop's own menus (Games, Office, ...) keep their folder entry and
    // its translations; only a new group gets one.
    ownDirectory_ = true;
    std::vector<std::string> configs{f_.ConfigHome};
    configs.insert(configs.end(), f_.ConfigDirs.begin(), f_.ConfigDirs.end());
    for (const std::string& c : configs) {
        for (const auto& file : FilesEndingIn(c + "/menus", "applications.menu")) {
            std::string xml;
            if (!ReadText(file, xml)) continue;
            for (const auto& n : TopLevelMenuNames(xml))
                if (EqualNoCase(n, name)) ownDirectory_ = false;
        }
    }
    if (ownDirectory_) {
        std::string dirPath = f_.DataHome + "/desktop-directories/" + id + ".directory";
        std::string text =
            "[Desktop Entry]\nType=Directory\nName=" + EscapeValue(name) + "\nIcon=folder\n";
        if (!WriteText(dirPath, text)) return false;
        written_.push_back(dirPath);
    }
    return WriteMenu();
}

bool TDesktopMenu::AddItem(const std::string& path, const std::string& title) {
    if (group_.empty() || path.empty()) return false;
    std::string shown = title.empty() ? fs::path(path).filename().string() : title;
    std::string id = "setup-" + IdPart(group_) + "-" + IdPart(shown) + ".desktop";
    std::error_code ec;
    fs::file_status st = fs::status(path, ec);
    bool program = !ec && fs::is_regular_file(st) &&
                   (st.permissions() & fs::perms::owner_exec) != fs::perms::none;
    std::string text = "[Desktop Entry]\nType=Application\nName=" + EscapeValue(shown) + "\n";
    if (program) {
        text += "Exec=" + ExecArgument(path) + "\n";
    } else {
        text += "Exec=xdg-open " + ExecArgument(path) + "\n";
    }
    text += "Path=" + EscapeValue(WithoutSlash(fs::path(path).parent_path().string())) + "\n";
    text += "Terminal=false\n";
    std::string file = f_.DataHome + "/applications/" + id;
    if (!WriteText(file, text)) return false;
    written_.push_back(file);
    if (std::find(items_.begin(), items_.end(), id) == items_.end()) items_.push_back(id);
    return WriteMenu();
}

bool TDesktopMenu::WriteMenu() {
    std::string id = "setup-" + IdPart(group_);
    // Menu parsers need no document type; the merged file is plain XML.
    std::string xml = "<Menu>\n  <Name>Applications</Name>\n  <Menu>\n    <Name>" +
                      XmlEscape(group_) + "</Name>\n";
    if (ownDirectory_) xml += "    <Directory>" + id + ".directory</Directory>\n";
    xml += "    <Include>\n";
    for (const std::string& item : items_)
        xml += "      <Filename>" + XmlEscape(item) + "</Filename>\n";
    xml += "    </Include>\n  </Menu>\n</Menu>\n";
    std::string path = f_.ConfigHome + "/menus/applications-merged/" + id + ".menu";
    if (!WriteText(path, xml)) return false;
    if (std::find(written_.begin(), written_.end(), path) == written_.end())
        written_.push_back(path);
    return true;
}

} // namespace quorel::setup
