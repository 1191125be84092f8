#include "mail/message_json.h"
#include "platform/text.h"

#include "mail/charset.h"

#include <cstdio>
#include <openssl/evp.h>

namespace quorel::mail {
namespace {

std::string J(const std::string& raw) { return JsonQuote(ToUtf8(raw, "")); }

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

} // namespace

std::string Sha256Hex(std::string_view data) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(data.data(), data.size(), md, &len, EVP_sha256(), nullptr);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < len; ++i) {
        out += hex[md[i] >> 4];
        out += hex[md[i] & 15];
    }
    return out;
}

std::string MessageToJson(const TmsMessage& m) {
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

} // namespace quorel::mail
