// qrltool commands over the message model and the mailbox store:
//   mail decode FILE        the decoded message as one JSON object
//   mail recode IN OUT      decode IN, encode the model to OUT
//   mailbox list [FOLDER]   folders with counts, or the list lines of one
//   mailbox rebuild         RebuildIndex of the program folder's mailbox
#include "cli/command.h"
#include "mail/charset.h"
#include "mail/message.h"
#include "mail/store.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <openssl/evp.h>

namespace {

using namespace quorel::mail;
namespace fs = std::filesystem;
using quorel::cli::JsonString;

// The program folder: $QUOREL_HOME, else $XDG_DATA_HOME/quorel, else
// ~/.local/share/quorel.
fs::path ProgramFolder() {
    if (const char* h = std::getenv("QUOREL_HOME"); h && *h) return h;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return fs::path(x) / "quorel";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / ".local" / "share" / "quorel";
}

const std::array<std::string, 5> kEnglishFolders = {"New Mail", "Queued Mail", "Sent Mail", "Trash",
                                                    "??"};

std::string Sha256Hex(const std::string& data) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(data.data(), data.size(), md, &len, EVP_sha256(), nullptr);
    std::string out;
    char buf[3];
    for (unsigned i = 0; i < len; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", md[i]);
        out += buf;
    }
    return out;
}

// JSON text of possibly non-UTF-8 bytes (Windows-1252 when not UTF-8).
std::string J(const std::string& s) {
    return JsonString(ToUtf8(s, ""));
}

std::string AddressJson(const TmsMailAddress& a) {
    return "{\"Name\":" + J(a.Name) + ",\"Address\":" + J(a.Address) + "}";
}

std::string ListJson(const TmsAddressList& l) {
    std::string out = "[";
    for (size_t i = 0; i < l.Count(); ++i)
        out += (i ? "," : "") + AddressJson(l[i]);
    return out + "]";
}

std::string LinesJson(const std::vector<std::string>& lines) {
    std::string out = "[";
    for (size_t i = 0; i < lines.size(); ++i)
        out += (i ? "," : "") + J(lines[i]);
    return out + "]";
}

std::string MessageJson(const TmsMessage& m) {
    std::string o = "{";
    o += "\"Sender\":" + AddressJson(m.Sender);
    o += ",\"Recipients\":" + ListJson(m.Recipients);
    o += ",\"CC\":" + ListJson(m.CC);
    o += ",\"Subject\":" + J(m.Subject);
    o += ",\"Priority\":";
    o += m.Priority == TPriority::ptLow    ? "\"low\""
         : m.Priority == TPriority::ptHigh ? "\"high\""
                                           : "\"normal\"";
    o += std::string(",\"ReturnReceipt\":") + (m.ReturnReceipt ? "true" : "false");
    o += std::string(",\"Encoding\":") + (m.Encoding == TMsgEncoding::meUU ? "\"UU\"" : "\"MIME\"");
    o += ",\"CharSet\":";
    o += m.CharSet == TCharSet::csISO8859 ? "\"iso-8859-1\""
         : m.CharSet == TCharSet::csUTF8  ? "\"utf-8\""
                                          : "\"us-ascii\"";
    o += ",\"ContentType\":" + J(m.ContentType());
    o += ",\"Headers\":" + LinesJson(m.Headers.Lines);
    o += ",\"Body\":" + LinesJson(m.Body);
    o += ",\"Attachments\":[";
    for (size_t i = 0; i < m.Attachments.Count(); ++i) {
        const TmsAttItem& a = m.Attachments[i];
        o += i ? "," : "";
        o += "{\"FileName\":" + J(a.FileName()) + ",\"ContentType\":" + J(a.ContentType) +
             ",\"Coding\":" + std::to_string(int(a.Coding)) +
             ",\"Size\":" + std::to_string(a.Content.size()) + ",\"SHA256\":\"" +
             Sha256Hex(a.Content) + "\"}";
    }
    return o + "]}";
}

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
                                      std::cout << MessageJson(m) << "\n";
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
        const fs::path box = ProgramFolder() / "mailbox";
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
        const fs::path box = ProgramFolder() / "mailbox";
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
