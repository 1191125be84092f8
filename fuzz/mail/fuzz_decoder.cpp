// libFuzzer target: the message decoder, then the encoder over what it
// decoded, then the decoder again. Any crash, hang or sanitizer report is a
// finding; keep the input in tests/mail_model/regress/.
#include "mail/message.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorel::mail;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    TmsMessage m;
    m.LoadFromString(text);
    std::string stored;
    try {
        stored = m.SaveToString();
    } catch (const EMessageError&) {
        return 0; // a quoted-printable paragraph of 24576 bytes or more
    }
    TmsMessage again;
    again.LoadFromString(stored);
    TmsMessage raw; // the same bytes as a server's dot-stuffed text
    raw.LoadFromPop3Text(text);
    return 0;
}
