#pragma once
// Transfer codings of Internet mail: base64 (RFC 2045), quoted-printable as
// the program writes it, uuencode, and RFC 2047 encoded words in headers.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::mail {

// Base64 of data in lines made from 57 source bytes (76 characters), each
// line ended by CR LF. Empty data gives "".
std::string Base64Encode(std::string_view data);
// Base64 without line breaks (encoded words).
std::string Base64EncodeFlat(std::string_view data);
// Decodes base64 text: line ends, blanks and any other character outside the
// alphabet are skipped; decoding stops at the first "=" pad. The output is
// never longer than 3/4 of the input. Trailing bits of an incomplete last
// group are dropped.
std::string Base64Decode(std::string_view text);

// Quoted-printable of one paragraph (a line without its line end) as the
// program cuts it: pieces of at most 65 source bytes, cut before the last
// blank within them (when that blank is not the first byte) or after 65
// bytes; bytes below 32, "=" and bytes from 128 up written as "=XX"; every
// piece but the last ends with the soft break "=". Appends the output lines
// to out. Throws EMessageError("Paragraph is too large") for 24576 bytes or
// more.
void QuotedPrintableEncodeParagraph(std::string_view paragraph, std::vector<std::string>& out);
// Quoted-printable of a whole text: paragraphs end at LF (a CR before it is
// dropped); the output lines joined with CR LF, ending with CR LF.
std::string QuotedPrintableEncode(std::string_view text);
// Decodes quoted-printable lines: "=XX" (either case) gives the byte, a
// final "=" joins the line with the next, a "=" that starts no valid escape
// is kept. Lines are joined by lineEnd; trailing blanks of a line are kept.
std::string QuotedPrintableDecode(const std::vector<std::string_view>& lines,
                                  std::string_view lineEnd = "\r\n");

// Uuencoded lines (traditional layout: a length character and 4 characters
// per 3 bytes, at most 45 bytes a line, "`" for zero), without the
// begin/end framing.
std::vector<std::string> UuencodeLines(std::string_view data);
// Decodes one uuencoded line and appends its bytes to out. Returns false for
// a line that is not uuencoded data (too short for its length character).
bool UudecodeLine(std::string_view line, std::string& out);

// RFC 2047: the header text as encoded words when it holds non-ASCII
// characters ("=?iso-8859-1?Q?...?=" when ISO-8859-1 can hold it, else
// "=?utf-8?Q?...?="), words of at most 75 characters separated by a blank;
// ASCII text is returned as it is.
std::string EncodeHeaderText(std::string_view utf8);
// Decodes encoded words (Q and B, any charset iconv knows) into UTF-8; blanks
// between two adjacent encoded words are dropped; other text is taken as
// UTF-8, or as Windows-1252 when it is not valid UTF-8. Malformed words are
// kept as they are.
std::string DecodeHeaderText(std::string_view text);

// A line of a message header without CR and LF: each becomes a blank (a
// header value can never start a header line of its own).
std::string OneLine(std::string_view text);

} // namespace quorel::mail
