// libFuzzer target: TmsHeaders lookups and removal over arbitrary header
// lines (continuations, encoded words, charsets), and address parsing.
#include "mail/coding.h"
#include "mail/message.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorel::mail;
    std::string text(reinterpret_cast<const char*>(data), size);
    TmsHeaders h;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        h.Add(text.substr(pos, nl == std::string::npos ? nl : nl - pos));
        pos = nl == std::string::npos ? text.size() : nl + 1;
    }
    for (const char* f : {"From", "to:", "Subject", "Content-Type", "X-UIDL", "Received"}) {
        std::string v = h.GetFieldValue(f);
        try {
            TmsMailAddress::FromText(v);
        } catch (const EMessageError&) {
        }
        (void)EncodeHeaderText(v);
        h.RemoveField(f);
        if (h.HasField(f)) __builtin_trap();
    }
    (void)DecodeHeaderText(text);
    return 0;
}
