#include "mail/mailview.h"

#include "platform/codepage.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/text.h"

#include <algorithm>
#include <cmath>

namespace quorel::mail {

namespace {

// Byte offset of the subject column (after who and its TAB): who is padded
// to 25 characters, which may take more than 25 bytes in UTF-8.
size_t SubjectOffset(const std::string& line) {
    const size_t tab = line.find('\t');
    return tab == std::string::npos ? line.size() : tab + 1;
}

// The minute a list line shows for a date (the list has no seconds).
long long Minute(double date) {
    return std::llround(std::floor(date * 1440.0 + 1e-6));
}

std::string AddressText(const TmsMailAddress& a) {
    return a.Name + " <" + a.Address + ">";
}

// The editor's fill common to every use: the message copied without its
// attachments, its fields as the editor's SetData reads them.
TEditorFill FillFrom(const TmsMessage& msg) {
    TEditorFill f;
    f.Message = msg;
    f.Message.Attachments.Clear();
    if (!msg.Recipients.Empty()) {
        f.EditRecipient = msg.Recipients[0].Name;
        f.EditAddress = msg.Recipients[0].Address;
    }
    f.EditSubject = msg.Subject;
    f.Body = msg.Body;
    for (const auto& cc : msg.CC)
        f.EditCarbonCopy.push_back(cc.Address);
    return f;
}

} // namespace

std::vector<TListEntry> BuildMessageList(const std::vector<std::pair<long, TMailIndexRecord>>& all,
                                         int32_t folder, std::string_view userName) {
    std::vector<TListEntry> out;
    for (const auto& [n, r] : all) {
        if (r.Folder != folder) continue;
        out.push_back(TListEntry{n, r, MessageListLine(r, userName)});
    }
    return out;
}

void SortMessageList(std::vector<TListEntry>& list, const TListSort& sort) {
    // Keys made once (lower-cased text, or the minute shown), then the
    // entries put in the order of their keys; equal keys keep index order.
    const size_t n = list.size();
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = i;
    if (sort.Key == TSortKey::Date) {
        std::vector<long long> keys(n);
        for (size_t i = 0; i < n; ++i)
            keys[i] = Minute(list[i].Rec.Date);
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return sort.Ascending ? keys[a] < keys[b] : keys[a] > keys[b];
        });
    } else {
        std::vector<std::string> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const std::string& line = list[i].Line;
            keys[i] = AsciiLower(sort.Key == TSortKey::Subject
                                     ? std::string_view(line).substr(SubjectOffset(line))
                                     : std::string_view(line));
        }
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return sort.Ascending ? keys[a] < keys[b] : keys[b] < keys[a];
        });
    }
    std::vector<TListEntry> sorted;
    sorted.reserve(n);
    for (size_t i : order)
        sorted.push_back(std::move(list[i]));
    list = std::move(sorted);
}

bool CanDropOnFolder(int paneIndex, int32_t targetFolder, int32_t currentFolder) {
    return paneIndex >= 3 && targetFolder != currentFolder && currentFolder != kFolderQueued;
}

std::string MessageAsText(const TmsMessage& msg) {
    std::string text;
    for (const auto& line : msg.Headers.Lines)
        text += line + "\r\n";
    for (const auto& line : msg.Body)
        text += line + "\r\n";
    text += "\r\n";
    return Utf8ToCp1252(text);
}

bool SaveMessageAsText(const std::filesystem::path& path, const TmsMessage& msg, bool append,
                       std::string* error) {
    const std::string text = MessageAsText(msg);
    return append ? AppendToFile(path, text, error) : AtomicWriteFile(path, text, error);
}

std::string PrintDate(double date, const std::array<std::string, 12>& monthNames) {
    const CalendarDate d = DecodeDate(date);
    const std::string month =
        d.month >= 1 && d.month <= 12 ? monthNames[size_t(d.month - 1)] : std::string("?");
    return month + FormatDateTime(", dd yy  hh:nn:ss", date);
}

std::vector<TPrintLine> PrintLines(const TmsMessage& msg, double date,
                                   const std::array<std::string, 12>& monthNames) {
    const std::string margin(10, ' ');
    std::vector<TPrintLine> out;
    auto add = [&](const std::string& text, bool bold) { out.push_back({margin + text, bold}); };
    add("", false);
    add("", false);
    add("   From : " + AddressText(msg.Sender), true);
    add(msg.Recipients.Empty() ? std::string("     To : ?")
                               : "     To : " + AddressText(msg.Recipients[0]),
        true);
    add("Subject : " + msg.Subject, true);
    add("   Date : " + PrintDate(date, monthNames) + " (Received/Sent)", true);
    for (int i = 0; i < 3; ++i)
        add("", false);
    for (const auto& line : msg.Body)
        add(line, false);
    return out;
}

std::string EditorCaption(std::string_view messageTo, std::string_view name,
                          std::string_view address) {
    return std::string(messageTo) + " : " + std::string(name) + " <" + std::string(address) + ">";
}

TEditorFill BuildReplyOrChange(const TmsMessage& msg, bool queued, const std::string& file,
                               std::string_view messageTo) {
    TEditorFill f = FillFrom(msg);
    if (queued) {
        f.EditedFile = file;
    } else {
        for (auto& line : f.Body)
            line.insert(0, ">");
        f.Message.Body = f.Body;
        f.EditRecipient = msg.Sender.Name;
        f.EditAddress = msg.Sender.Address;
        f.EditCarbonCopy.clear();
    }
    f.Caption = EditorCaption(messageTo, f.EditRecipient, f.EditAddress);
    return f;
}

TEditorFill BuildForward(const TmsMessage& msg, std::string_view messageTo) {
    TEditorFill f = FillFrom(msg);
    const TmsMailAddress to = msg.Recipients.Empty() ? TmsMailAddress() : msg.Recipients[0];
    std::vector<std::string> body = {
        "Forwarded message follows, originally:",
        "",
        "\tFrom\t: " + AddressText(msg.Sender),
        "\tTo\t: " + AddressText(to),
        "\tSubject\t: " + msg.Subject,
        "",
        "---",
        "",
        "",
    };
    body.insert(body.end(), msg.Body.begin(), msg.Body.end());
    f.Body = std::move(body);
    f.Message.Body = f.Body;
    f.EditRecipient.clear();
    f.EditAddress.clear();
    f.EditSubject = "Fwd. " + msg.Subject;
    f.Caption = std::string(messageTo) + " : ";
    return f;
}

} // namespace quorel::mail
