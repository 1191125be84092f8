#pragma once
// The mail message model: every message the program composes, queues, sends,
// receives, stores or shows is a TmsMessage. Two directions, each the mirror
// of the other:
//   encode (SaveToString/SaveToStream/SaveToFile): model → Internet mail text
//     (RFC 822 headers, MIME multipart, base64, quoted-printable, uuencode);
//   decode (LoadFromString/LoadFromStream/LoadFromFile): mail text → model.
// Text inside the model is UTF-8; attachment contents are raw bytes.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::mail {

// Numbered texts of the message layer (the socket layer uses 57000–57021).
inline constexpr int kErrSenderRequired = 57100;     // "The address of sender is required"
inline constexpr int kErrRecipientRequired = 57101;  // "At least one Recipient, CC or BCC ..."
inline constexpr int kTextMultipartPreamble = 57106; // "This is a multipart message in MIME format"
inline constexpr int kErrNoClosingBoundary = 57109;  // "Cannot find closing boundary"
inline constexpr int kErrNoBoundary = 57110;         // "Cannot find boundary"
inline constexpr int kErrDecodingAttachment = 57111; // "Error decoding the attachment"

// The English text of a numbered message-layer text; "" for an unknown number.
std::string MessageText(int code);

// A message that cannot be sent or written (failed Check, address parse
// failure, a quoted-printable paragraph that is too large). Code() is the
// text number, or 0 for the unnumbered texts.
class EMessageError : public std::runtime_error {
  public:
    explicit EMessageError(const std::string& text, int code = 0)
        : std::runtime_error(text), code_(code) {}
    explicit EMessageError(int code) : std::runtime_error(MessageText(code)), code_(code) {}
    int Code() const { return code_; }

  private:
    int code_;
};

// A text that cannot be decoded (missing boundaries, broken attachment
// coding). LoadFrom* catch it themselves and turn it into the "original.eml"
// recovery; it only escapes from the lower-level decoding helpers.
class EMessageParserError : public std::runtime_error {
  public:
    explicit EMessageParserError(const std::string& text, int code = 0)
        : std::runtime_error(text), code_(code) {}
    explicit EMessageParserError(int code) : std::runtime_error(MessageText(code)), code_(code) {}
    int Code() const { return code_; }

  private:
    int code_;
};

// A display name and an address, each at most 255 characters (longer texts
// are cut when set through the constructor or FromText).
struct TmsMailAddress {
    std::string Name;
    std::string Address;

    TmsMailAddress() = default;
    TmsMailAddress(std::string name, std::string address);

    // Parses "Name <addr>", "addr (Name)" or a bare "addr". Blanks and any
    // leading/trailing double quotes are cleaned from both parts. Throws
    // EMessageError("Unable to parse email address") when a "<" has no ">"
    // after it.
    static TmsMailAddress FromText(std::string_view text);

    bool operator==(const TmsMailAddress&) const = default;
};

// A POP3 server's message text made plain: the terminating "." line dropped
// and the leading dot of every line that begins with one removed, exactly once.
std::string UnstuffPop3Text(std::string_view raw);

// Ordered list of addresses.
class TmsAddressList {
  public:
    size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    // Item by index; index must be below Count().
    TmsMailAddress& operator[](size_t i) { return items_.at(i); }
    const TmsMailAddress& operator[](size_t i) const { return items_.at(i); }
    // Appends a copy; returns the stored item.
    TmsMailAddress& Add(const TmsMailAddress& a);
    TmsMailAddress& Add(std::string name, std::string address);
    void Clear() { items_.clear(); }
    // Replaces this list's items with copies of other's.
    void Assign(const TmsAddressList& other) { items_ = other.items_; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    bool operator==(const TmsAddressList&) const = default;

  private:
    std::vector<TmsMailAddress> items_;
};

// Transfer coding of an attachment (one byte in the model).
inline constexpr uint8_t kCodingAsIs = 0;   // "7 bit": text as it is
inline constexpr uint8_t kCodingBase64 = 1; // also uuencoded parts (UUEncoded set)
inline constexpr uint8_t kCodingQuotedPrintable = 2;

// One attachment: decoded bytes plus file name, content type and coding.
class TmsAttItem {
  public:
    // The decoded bytes (owned by the item).
    std::string Content;
    // Content type, at most 255 characters ("application/octet-stream").
    std::string ContentType;
    // kCodingAsIs, kCodingBase64 or kCodingQuotedPrintable.
    uint8_t Coding = kCodingBase64;
    // Set when the part came (or goes) as a uuencoded block.
    bool UUEncoded = false;

    const std::string& FileName() const { return fileName_; }
    // Sets the name (cut to 255 characters). A non-empty name also sets
    // ContentType from the extension (ContentTypeFromExtension) and then
    // Coding from ContentType (CodingForContentType).
    void SetFileName(std::string name);
    // Sets the name without touching ContentType and Coding (the decoder's
    // way: the part's own headers tell those).
    void SetFileNameOnly(std::string name);

  private:
    std::string fileName_;
};

// The transfer coding the model gives a content type: "TEXT/PLAIN",
// "TEXT/RTF", "TEXT/HTML" → 2; "MESSAGE/RFC822" → 0; anything else → 1.
// Compared without case; parameters after ";" are ignored.
uint8_t CodingForContentType(std::string_view contentType);

// The file name part of a name from a message: the text after the last "/"
// or "\", with control characters removed; "." and ".." become "". Used
// wherever a name from mail meets the file system, so it never leaves its
// target folder.
std::string FileNamePart(std::string_view name);

// Ordered list of attachments.
class TmsAttList {
  public:
    size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    TmsAttItem& operator[](size_t i) { return items_.at(i); }
    const TmsAttItem& operator[](size_t i) const { return items_.at(i); }
    // Appends a new empty item (coding base64, no name); returns it.
    TmsAttItem& Add();
    // Appends a copy of item; returns the stored item.
    TmsAttItem& Add(TmsAttItem item);
    // Appends an item with the given name (content type and coding from the
    // extension) and content.
    TmsAttItem& Add(std::string fileName, std::string content);
    void Delete(size_t i) { items_.erase(items_.begin() + long(i)); }
    void Clear() { items_.clear(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    std::vector<TmsAttItem> items_;
};

// Raw header lines (continuation lines are lines of their own, starting with
// a blank or a tab) with lookup by field name.
class TmsHeaders {
  public:
    std::vector<std::string> Lines;

    size_t Count() const { return Lines.size(); }
    void Add(std::string line) { Lines.push_back(std::move(line)); }
    void Clear() { Lines.clear(); }

    // The value of the first line that begins with name (":" added when
    // missing; compared without case): the text after the first ":",
    // trimmed, with each following continuation line appended after one
    // blank (trimmed). "" when no line has that name. Values of fields other
    // than Content-Type and X-UIDL are decoded from RFC 2047 encoded words;
    // the result is UTF-8 (8-bit text that is not UTF-8 is read as
    // Windows-1252).
    std::string GetFieldValue(std::string_view name) const;
    // The same without encoded-word decoding or charset conversion.
    std::string GetRawFieldValue(std::string_view name) const;
    // True when some line begins with name (":" added when missing).
    bool HasField(std::string_view name) const;
    // Removes every line of the named field and its continuation lines.
    void RemoveField(std::string_view name);
};

enum class TMsgEncoding { meMIME, meUU };
// The body's character set. csUSASCII and csISO8859 are the program's own
// choices; the encoder moves to ISO-8859-1 when the body holds characters
// beyond ASCII and to UTF-8 (csUTF8) only when ISO-8859-1 cannot hold them.
enum class TCharSet { csUSASCII, csISO8859, csUTF8 };
enum class TPriority { ptLow, ptNormal, ptHigh };

// The common part of a mail message (the news article of the model is not
// used by the program and not built).
class TmsCustomMessage {
  public:
    TmsMailAddress Sender;
    // At most 255 characters are written.
    std::string Subject;
    TMsgEncoding Encoding = TMsgEncoding::meMIME;
    TCharSet CharSet = TCharSet::csUSASCII;
    // Extra header lines, written as they are (after the standard ones).
    TmsHeaders Headers;
    // Body lines, UTF-8, without line ends.
    std::vector<std::string> Body;
    TmsAttList Attachments;

    // The content type computed from the model (empty for uuencoded
    // messages, "multipart/alternative", "text/rtf", "text/html",
    // "multipart/mixed", an attachment's type, or the stored type, else
    // "text/plain").
    std::string ContentType() const;
    // Sets the stored content type (used when the body alone decides).
    void SetContentType(std::string type) { storedContentType_ = std::move(type); }
    const std::string& StoredContentType() const { return storedContentType_; }

  protected:
    std::string storedContentType_;
};

// A mail message: the common part plus recipients, copies, return receipt
// and priority.
class TmsMessage : public TmsCustomMessage {
  public:
    TmsAddressList Recipients;
    TmsAddressList CC;
    // Blind copies: used for the envelope, never written into the text.
    TmsAddressList BCC;
    bool ReturnReceipt = false;
    TPriority Priority = TPriority::ptNormal;

    // Empties body, attachments, headers, the three address lists, sender,
    // subject and stored content type; Encoding := meMIME, CharSet :=
    // csUSASCII. Priority and ReturnReceipt keep their values.
    void Clear();

    // Clear, then decode text (a message file: lines taken as they are).
    // Never throws for bad input: what cannot be decoded ends as the error
    // note in the body plus the whole text as the attachment "original.eml"
    // (message/rfc822, coding 0).
    void LoadFromString(std::string_view text);
    // The same for a server's text as POP3 RETR gives it (UnstuffPop3Text
    // first).
    void LoadFromPop3Text(std::string_view raw);
    // Reads the whole stream, then LoadFromString.
    void LoadFromStream(std::istream& in);
    // Reads the file, then LoadFromString. Throws EMessageError when the file
    // cannot be read or is empty (an empty file holds no message).
    void LoadFromFile(const std::filesystem::path& path);

    // The encoded Internet text, every line ended by CR LF. Does not change
    // the model. Throws EMessageError("Paragraph is too large") when a
    // quoted-printable paragraph reaches 24576 bytes.
    std::string SaveToString() const;
    // Writes SaveToString() to out.
    void SaveToStream(std::ostream& out) const;
    // Creates or replaces the file in one step (temporary file, fsync,
    // rename): the file is complete on disk when this returns. Throws
    // EMessageError when it cannot be written.
    void SaveToFile(const std::filesystem::path& path) const;

    // Writes attachment index's content to folder / FileNamePart(its name)
    // and returns that path. Throws EMessageError for a bad index, an empty
    // file name part or a write failure.
    std::filesystem::path SaveAttachment(size_t index, const std::filesystem::path& folder) const;

    // The sending checks: sender address (57100), at least one To, CC or BCC
    // address (57101). Throws EMessageError.
    void Check() const;

    // The boundary source of the multipart form: 8 decimal digits 0..8.
    // Replace it (tests) to get a fixed boundary; an empty function restores
    // the random one.
    static void SetBoundaryGenerator(std::function<std::string()> gen);
    static std::string NewBoundary();
};

} // namespace quorel::mail
