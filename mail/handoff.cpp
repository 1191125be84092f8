#include "mail/handoff.h"

#include "mail/store.h"
#include "platform/codepage.h"
#include "platform/datetime.h"
#include "platform/files.h"

#include <system_error>
#include <unistd.h>

namespace quorel::mail {

namespace fs = std::filesystem;

fs::path PegasusMessageFile(std::string_view pegasusPath, const fs::path& fallbackFolder) {
    const fs::path folder = fs::path(pegasusPath).parent_path();
    return (folder.empty() ? fallbackFolder : folder) / kPegasusMessageFileName;
}

std::string PegasusMessageText(const THandoffMessage& m, std::string_view ownAddress) {
    std::string out;
    auto line = [&out](std::string_view text) {
        out += Utf8ToCp1252(text);
        out += "\r\n";
    };
    line("*** QUOREL->PEGASUS message file");
    line("TO:" + m.Recipient + " <" + m.Address + ">");
    line("SU:" + m.Subject);
    line("RE:" + std::string(ownAddress));
    if (!m.CarbonCopies.empty()) {
        std::string cc = "CC:";
        for (size_t i = 0; i < m.CarbonCopies.size(); ++i) {
            if (i) cc += ",";
            cc += m.CarbonCopies[i];
        }
        line(cc);
    }
    line(m.SaveCopy ? "CS:1" : "CS:0");
    for (const std::string& a : m.Attachments)
        line("AT:" + a + ",Unknown,0");
    line("");
    for (const std::string& b : m.Body)
        line(b);
    return out;
}

bool WritePegasusMessageFile(const fs::path& file, std::string_view text, std::string* error) {
    return AtomicWriteFile(file, text, error);
}

std::vector<std::string> PegasusCommand(std::string_view pegasusPath, const fs::path& messageFile) {
    return {std::string(pegasusPath), "-J", messageFile.string()};
}

std::vector<std::string> XdgEmailArguments(const THandoffMessage& m) {
    std::vector<std::string> args;
    for (const std::string& cc : m.CarbonCopies) {
        args.push_back("--cc");
        args.push_back(cc);
    }
    args.push_back("--subject");
    args.push_back(m.Subject);
    std::string body;
    for (size_t i = 0; i < m.Body.size(); ++i) {
        if (i) body += '\n';
        body += m.Body[i];
    }
    args.push_back("--body");
    args.push_back(body);
    for (const std::string& a : m.Attachments) {
        args.push_back("--attach");
        args.push_back(a);
    }
    args.push_back(m.Address);
    return args;
}

std::string FindOnPath(std::string_view program, std::string_view pathVariable) {
    size_t start = 0;
    while (start <= pathVariable.size()) {
        size_t end = pathVariable.find(':', start);
        if (end == std::string_view::npos) end = pathVariable.size();
        const std::string_view dir = pathVariable.substr(start, end - start);
        if (!dir.empty()) {
            const fs::path candidate = fs::path(dir) / program;
            std::error_code ec;
            if (fs::is_regular_file(candidate, ec) && access(candidate.c_str(), X_OK) == 0)
                return candidate.string();
        }
        start = end + 1;
    }
    return {};
}

void AddHandoffNote(TmsMessage& msg, const std::vector<std::string>& attachments,
                    std::string_view note) {
    if (!attachments.empty()) {
        msg.Body.push_back("");
        msg.Body.push_back("This message contained attachments : ");
        msg.Body.push_back("");
        for (const std::string& a : attachments)
            msg.Body.push_back("     " + a);
    }
    msg.Body.push_back("");
    msg.Body.push_back(std::string(note));
}

bool FileHandoffCopy(TMailStore& store, const TmsMessage& original, const fs::path& editedFile) {
    // The copy is dated and identified like a queued message.
    TmsMessage msg = original;
    const double now = Now();
    if (!msg.Headers.HasField("Date")) msg.Headers.Add("Date: " + RfcDate(now));
    if (!msg.Headers.HasField("Message-ID"))
        msg.Headers.Add("Message-ID: " + NewMessageId(msg.Sender.Address));
    const fs::path folder = store.MailboxFolder();
    const fs::path path =
        editedFile.empty() ? NewMessageFileName(folder, "003") : folder / editedFile.filename();
    try {
        msg.SaveToFile(path);
    } catch (const std::exception&) {
        return false;
    }
    TMailIndexRecord r;
    r.From = msg.Sender.Name.empty() ? msg.Sender.Address : msg.Sender.Name;
    if (!msg.Recipients.Empty())
        r.To = msg.Recipients[0].Name.empty() ? msg.Recipients[0].Address : msg.Recipients[0].Name;
    r.Subject = msg.Subject;
    r.FileName = path.filename().string();
    r.AttachmentCount = 0;
    r.Date = now;
    r.SaveCopy = 1;
    r.Folder = kFolderSent;
    const long n = editedFile.empty() ? 0 : store.FindByFileName(r.FileName);
    bool ok = false;
    if (n > 0)
        ok = store.WriteRecord(n, r) && store.Index().Flush();
    else
        ok = store.AppendRecord(r) > 0;
    if (!ok) {
        // A new copy without its record would only be found by a rebuild:
        // take it away. A changed queued message keeps its file.
        if (editedFile.empty()) {
            std::error_code ec;
            fs::remove(path, ec);
        }
        return false;
    }
    MailboxChanged = true;
    return true;
}

std::string MessageTextFile(std::string_view address, const std::vector<std::string>& body,
                            bool toHeader) {
    std::string out;
    if (toHeader) out += Utf8ToCp1252("To: " + std::string(address)) + "\r\n\r\n";
    for (const std::string& line : body)
        out += Utf8ToCp1252(line) + "\r\n";
    out += "\r\n";
    return out;
}

} // namespace quorel::mail
