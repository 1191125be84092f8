// The message model: addresses, attachments, header lines, Clear, Check,
// the computed content type and the file-level load/save wrappers. The two
// codings live in mime_encode.cpp and mime_decode.cpp.
#include "mail/message.h"
#include "platform/text.h"

#include "mail/coding.h"
#include "mail/mimetypes.h"
#include "platform/codepage.h"
#include "platform/files.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <sstream>

namespace quorel::mail {
namespace {

constexpr size_t kMaxField = 255;


std::string Trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == s.npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

// Trims blanks, then removes every leading and every trailing double quote.
std::string CleanAddressPart(std::string_view s) {
    std::string t = Trim(s);
    size_t b = t.find_first_not_of('"');
    if (b == t.npos) return {};
    size_t e = t.find_last_not_of('"');
    return t.substr(b, e - b + 1);
}

// Whether a header line belongs to the field fieldWithColon (upper case).
bool LineIsField(std::string_view line, std::string_view upperName) {
    if (line.size() < upperName.size()) return false;
    for (size_t i = 0; i < upperName.size(); ++i) {
        char c = line[i];
        if (c >= 'a' && c <= 'z') c = char(c - 32);
        if (c != upperName[i]) return false;
    }
    return true;
}

std::string FieldKey(std::string_view name) {
    std::string key = AsciiUpper(name);
    if (key.empty() || key.back() != ':') key += ':';
    return key;
}

bool IsContinuation(std::string_view line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

std::mutex& BoundaryLock() {
    static std::mutex m;
    return m;
}
std::function<std::string()>& BoundaryGen() {
    static std::function<std::string()> gen;
    return gen;
}

} // namespace

std::string MessageText(int code) {
    switch (code) {
    case kErrSenderRequired:
        return "The address of sender is required";
    case kErrRecipientRequired:
        return "At least one Recipient, CC or BCC must be entered";
    case kTextMultipartPreamble:
        return "This is a multipart message in MIME format";
    case kErrNoClosingBoundary:
        return "Cannot find closing boundary";
    case kErrNoBoundary:
        return "Cannot find boundary";
    case kErrDecodingAttachment:
        return "Error decoding the attachment";
    default:
        return {};
    }
}

// ---- addresses ----

TmsMailAddress::TmsMailAddress(std::string name, std::string address)
    : Name(CutUtf8(std::move(name), kMaxField)), Address(CutUtf8(std::move(address), kMaxField)) {}

TmsMailAddress TmsMailAddress::FromText(std::string_view text) {
    size_t lt = text.find('<');
    if (lt != text.npos) {
        size_t gt = text.find('>', lt + 1);
        if (gt == text.npos) throw EMessageError("Unable to parse email address");
        std::string address = CleanAddressPart(text.substr(lt + 1, gt - lt - 1));
        std::string rest = std::string(text.substr(0, lt)) + std::string(text.substr(gt + 1));
        return TmsMailAddress(CleanAddressPart(rest), address);
    }
    size_t paren = text.find('(');
    if (paren != text.npos) {
        std::string_view after = text.substr(paren + 1);
        if (!after.empty()) after.remove_suffix(1);
        return TmsMailAddress(CleanAddressPart(after), CleanAddressPart(text.substr(0, paren)));
    }
    // A bare address is cleaned too: after a split at commas it still
    // carries the blank that followed the comma.
    return TmsMailAddress("", CleanAddressPart(text));
}

TmsMailAddress& TmsAddressList::Add(const TmsMailAddress& a) {
    items_.push_back(a);
    return items_.back();
}

TmsMailAddress& TmsAddressList::Add(std::string name, std::string address) {
    return Add(TmsMailAddress(std::move(name), std::move(address)));
}

// ---- attachments ----

uint8_t CodingForContentType(std::string_view contentType) {
    std::string t = AsciiUpper(Trim(contentType.substr(0, contentType.find(';'))));
    if (t == "TEXT/PLAIN" || t == "TEXT/RTF" || t == "TEXT/HTML") return kCodingQuotedPrintable;
    if (t == "MESSAGE/RFC822") return kCodingAsIs;
    return kCodingBase64;
}

std::string FileNamePart(std::string_view name) {
    size_t slash = name.find_last_of("/\\");
    if (slash != name.npos) name = name.substr(slash + 1);
    std::string out;
    out.reserve(name.size());
    for (char c : name)
        if (static_cast<unsigned char>(c) >= 32 && c != 127) out += c;
    out = Trim(out);
    if (out == "." || out == "..") out.clear();
    return out;
}

void TmsAttItem::SetFileName(std::string name) {
    fileName_ = CutUtf8(std::move(name), kMaxField);
    if (fileName_.empty()) return;
    ContentType = CutUtf8(ContentTypeFromExtension(fileName_), kMaxField);
    Coding = CodingForContentType(ContentType);
}

void TmsAttItem::SetFileNameOnly(std::string name) {
    fileName_ = CutUtf8(std::move(name), kMaxField);
}

TmsAttItem& TmsAttList::Add() {
    items_.emplace_back();
    return items_.back();
}

TmsAttItem& TmsAttList::Add(TmsAttItem item) {
    items_.push_back(std::move(item));
    return items_.back();
}

TmsAttItem& TmsAttList::Add(std::string fileName, std::string content) {
    TmsAttItem& a = Add();
    a.SetFileName(std::move(fileName));
    if (a.ContentType.empty()) a.ContentType = "application/octet-stream";
    a.Content = std::move(content);
    return a;
}

// ---- headers ----

std::string TmsHeaders::GetRawFieldValue(std::string_view name) const {
    const std::string key = FieldKey(name);
    for (size_t i = 0; i < Lines.size(); ++i) {
        if (!LineIsField(Lines[i], key)) continue;
        std::string value = Trim(std::string_view(Lines[i]).substr(Lines[i].find(':') + 1));
        for (size_t j = i + 1; j < Lines.size() && IsContinuation(Lines[j]); ++j) {
            std::string more = Trim(Lines[j]);
            if (more.empty()) continue;
            if (!value.empty()) value += ' ';
            value += more;
        }
        return value;
    }
    return {};
}

std::string TmsHeaders::GetFieldValue(std::string_view name) const {
    std::string raw = GetRawFieldValue(name);
    const std::string key = FieldKey(name);
    if (key == "CONTENT-TYPE:" || key == "X-UIDL:") return raw;
    return DecodeHeaderText(raw);
}

bool TmsHeaders::HasField(std::string_view name) const {
    const std::string key = FieldKey(name);
    for (const auto& l : Lines)
        if (LineIsField(l, key)) return true;
    return false;
}

void TmsHeaders::RemoveField(std::string_view name) {
    const std::string key = FieldKey(name);
    std::vector<std::string> kept;
    kept.reserve(Lines.size());
    bool inField = false;
    for (auto& l : Lines) {
        if (inField && IsContinuation(l)) continue;
        inField = LineIsField(l, key);
        if (!inField) kept.push_back(std::move(l));
    }
    Lines = std::move(kept);
}

// ---- message ----

std::string TmsCustomMessage::ContentType() const {
    if (Encoding == TMsgEncoding::meUU) return {};
    for (const auto& a : Attachments)
        if (AsciiLower(a.FileName()).rfind("_alt.", 0) == 0) return "multipart/alternative";
    if (Attachments.Count() == 1 && Body.empty()) {
        std::string n = AsciiLower(Attachments[0].FileName());
        if (n == "_rtfbody.rtf") return "text/rtf";
        if (n == "_htmbody.htm") return "text/html";
    }
    if (Body.empty()) {
        if (Attachments.Count() == 1) return Attachments[0].ContentType;
        if (Attachments.Count() > 1) return "multipart/mixed";
        return "text/plain";
    }
    if (!Attachments.Empty()) return "multipart/mixed";
    return storedContentType_.empty() ? "text/plain" : storedContentType_;
}

void TmsMessage::Clear() {
    Body.clear();
    Attachments.Clear();
    Headers.Clear();
    Recipients.Clear();
    CC.Clear();
    BCC.Clear();
    Sender = TmsMailAddress();
    Subject.clear();
    storedContentType_.clear();
    Encoding = TMsgEncoding::meMIME;
    CharSet = TCharSet::csUSASCII;
}

void TmsMessage::Check() const {
    if (Trim(Sender.Address).empty()) throw EMessageError(kErrSenderRequired);
    auto any = [](const TmsAddressList& l) {
        for (const auto& a : l)
            if (!Trim(a.Address).empty()) return true;
        return false;
    };
    if (!any(Recipients) && !any(CC) && !any(BCC)) throw EMessageError(kErrRecipientRequired);
}

void TmsMessage::LoadFromStream(std::istream& in) {
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LoadFromString(text);
}

void TmsMessage::LoadFromFile(const std::filesystem::path& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) throw EMessageError("Cannot read " + path.string());
    if (text.empty()) throw EMessageError("Empty message file " + path.string());
    LoadFromString(text);
}

void TmsMessage::SaveToStream(std::ostream& out) const {
    const std::string text = SaveToString();
    out.write(text.data(), std::streamsize(text.size()));
}

void TmsMessage::SaveToFile(const std::filesystem::path& path) const {
    std::string error;
    if (!AtomicWriteFile(path, SaveToString(), &error))
        throw EMessageError("Cannot write " + path.string() + ": " + error);
}

std::filesystem::path TmsMessage::SaveAttachment(size_t index,
                                                 const std::filesystem::path& folder) const {
    if (index >= Attachments.Count()) throw EMessageError("No attachment " + std::to_string(index));
    std::string name = FileNamePart(Attachments[index].FileName());
    if (name.empty()) throw EMessageError("Attachment without a file name");
    std::filesystem::path target = folder / name;
    std::string error;
    if (!AtomicWriteFile(target, Attachments[index].Content, &error))
        throw EMessageError("Cannot write " + target.string() + ": " + error);
    return target;
}

void TmsMessage::SetBoundaryGenerator(std::function<std::string()> gen) {
    std::lock_guard<std::mutex> g(BoundaryLock());
    BoundaryGen() = std::move(gen);
}

std::string TmsMessage::NewBoundary() {
    {
        std::lock_guard<std::mutex> g(BoundaryLock());
        if (BoundaryGen()) return BoundaryGen()();
    }
    static thread_local std::mt19937 rng{std::random_device{}()};
    std::uniform_int_distribution<int> digit(0, 8);
    std::string b;
    for (int i = 0; i < 8; ++i)
        b += char('0' + digit(rng));
    return b;
}

} // namespace quorel::mail
