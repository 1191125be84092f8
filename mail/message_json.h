#pragma once
// The decoded message as one JSON object (UTF-8), as `qrltool mail decode`
// prints it: Sender, Recipients, CC ({"Name","Address"}), Subject, Priority
// ("low", "normal", "high"), ReturnReceipt, Encoding ("MIME", "UU"), CharSet,
// ContentType, Headers (raw lines), Body (lines) and Attachments
// ({"FileName","ContentType","Coding","Size","SHA256"}).
#include "mail/message.h"

#include <string>

namespace quorel::mail {

// Text that is not valid UTF-8 (raw 8-bit header lines) is read as
// Windows-1252 so that the result is always valid JSON.
std::string MessageToJson(const TmsMessage& m);

// Lower-case hexadecimal SHA-256 of data.
std::string Sha256Hex(std::string_view data);

} // namespace quorel::mail
