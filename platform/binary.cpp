#include "platform/binary.h"

#include "platform/codepage.h"

namespace quorel {

std::string GetShortStringRaw(const uint8_t* p, size_t n) {
    size_t len = p[0];
    if (len > n) len = n;
    return std::string(reinterpret_cast<const char*>(p + 1), len);
}

void PutShortStringRaw(uint8_t* p, size_t n, std::string_view cp1252) {
    size_t len = cp1252.size() < n ? cp1252.size() : n;
    if (len > 255) len = 255;
    p[0] = uint8_t(len);
    std::memcpy(p + 1, cp1252.data(), len);
    std::memset(p + 1 + len, 0, n - len);
}

std::string GetShortString(const uint8_t* p, size_t n) {
    return Cp1252ToUtf8(GetShortStringRaw(p, n));
}

void PutShortString(uint8_t* p, size_t n, std::string_view utf8) {
    PutShortStringRaw(p, n, Utf8ToCp1252(utf8));
}

} // namespace quorel
