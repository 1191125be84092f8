// The editor's "Send": checks, the mail message built from the editor's
// fields, and its place in the queue folder of the mailbox.
#include "compose/gameblock.h"

#include "mail/charset.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/text.h"

#include <exception>

namespace quorel::compose {

namespace fs = std::filesystem;

namespace {

// The lines of a text file (LF or CR LF), UTF-8: a file that is not UTF-8 is
// read in the Windows code page, as the program's own text files are written.
std::vector<std::string> TextLines(std::string text) {
    if (!mail::IsValidUtf8(text)) text = Cp1252ToUtf8(text);
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        std::string line = text.substr(pos, lf == text.npos ? text.npos : lf - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (lf == text.npos) break;
        pos = lf + 1;
    }
    return lines;
}

} // namespace

TDraftCheck CheckDraft(const TMessageDraft& draft) {
    if (draft.Address.empty()) return TDraftCheck::NoAddress;
    if (draft.Address.find('@') == std::string::npos) return TDraftCheck::NoAtSign;
    if (draft.Recipient.find(',') != std::string::npos) return TDraftCheck::CommaInName;
    return TDraftCheck::Ok;
}

void BuildMessage(mail::TmsMessage& msg, const TMessageDraft& draft, const TSenderSettings& s,
                  bool* signatureMissing) {
    if (signatureMissing) *signatureMissing = false;
    msg.Clear();
    msg.CharSet = mail::TCharSet::csUSASCII; // the encoder moves on when the text needs it
    msg.Sender = mail::TmsMailAddress(CleanDisplayName(s.UserName), s.EmailAddress);
    msg.Recipients.Add(CleanDisplayName(draft.Recipient), draft.Address);
    msg.Subject = CutUtf8(draft.Subject, 255);
    for (const auto& cc : draft.CarbonCopy)
        msg.CC.Add(" ", cc);
    for (const auto& path : draft.Attachments) {
        std::string content;
        if (!ReadWholeFile(path, content))
            throw mail::EMessageError("Cannot read the attachment " + path);
        msg.Attachments.Add(fs::path(path).filename().string(), std::move(content));
    }
    msg.Body = draft.Body;
    if (draft.Signature && !s.SignatureFile.empty()) {
        std::string text;
        if (ReadWholeFile(s.SignatureFile, text)) {
            for (auto& line : TextLines(std::move(text)))
                msg.Body.push_back(std::move(line));
        } else if (signatureMissing) {
            *signatureMissing = true;
        }
    }
    msg.Headers.Add(kMailerLine);
}

TQueueResult QueueDraft(mail::TMailStore& store, const TMessageDraft& draft,
                        const TSenderSettings& s) {
    TQueueResult r;
    try {
        mail::TmsMessage msg;
        BuildMessage(msg, draft, s, &r.SignatureMissing);
        r.File = store.QueueMessage(msg, draft.SaveCopy, draft.EditedFile);
        r.Ok = true;
    } catch (const std::exception& e) {
        r.File.clear();
        r.Error = e.what();
    }
    return r;
}

} // namespace quorel::compose
