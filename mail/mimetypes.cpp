#include "mail/mimetypes.h"

#include "platform/codepage.h"

#include <fstream>
#include <mutex>
#include <sstream>
#include <unordered_map>

namespace quorel::mail {
namespace {

struct Table {
    std::mutex lock;
    bool loaded = false;
    bool useDefaultFile = true;
    std::filesystem::path file;
    std::unordered_map<std::string, std::string> byExt;
};

Table& TheTable() {
    static Table t;
    return t;
}

// The types the program's own files and common attachments need when the
// system has no table.
const std::unordered_map<std::string, std::string>& BuiltIn() {
    static const std::unordered_map<std::string, std::string> t = {
        {"txt", "text/plain"},
        {"htm", "text/html"},
        {"html", "text/html"},
        {"rtf", "text/rtf"},
        {"pgn", "application/x-chess-pgn"},
        {"eml", "message/rfc822"},
        {"gif", "image/gif"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"png", "image/png"},
        {"bmp", "image/bmp"},
        {"pdf", "application/pdf"},
        {"zip", "application/zip"},
        {"doc", "application/msword"},
        {"xml", "text/xml"},
        {"csv", "text/csv"},
    };
    return t;
}

void Load(Table& t) {
    t.byExt.clear();
    std::filesystem::path f = t.useDefaultFile ? std::filesystem::path("/etc/mime.types") : t.file;
    if (f.empty()) return;
    std::ifstream in(f);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string type, ext;
        if (!(words >> type)) continue;
        while (words >> ext)
            t.byExt.emplace(AsciiLower(ext), type); // first entry wins
    }
}

} // namespace

void SetMimeTypesFile(const std::filesystem::path& path) {
    Table& t = TheTable();
    std::lock_guard<std::mutex> g(t.lock);
    t.useDefaultFile = false;
    t.file = path;
    t.loaded = false;
}

std::string ContentTypeFromExtension(std::string_view fileName) {
    size_t dot = fileName.rfind('.');
    size_t slash = fileName.find_last_of("/\\");
    if (dot == fileName.npos || (slash != fileName.npos && dot < slash))
        return "application/octet-stream";
    std::string ext = AsciiLower(fileName.substr(dot + 1));
    if (ext.empty()) return "application/octet-stream";
    Table& t = TheTable();
    {
        std::lock_guard<std::mutex> g(t.lock);
        if (!t.loaded) {
            Load(t);
            t.loaded = true;
        }
        if (auto it = t.byExt.find(ext); it != t.byExt.end()) return it->second;
    }
    if (auto it = BuiltIn().find(ext); it != BuiltIn().end()) return it->second;
    return "application/octet-stream";
}

} // namespace quorel::mail
