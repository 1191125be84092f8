#pragma once
// Fixed-layout binary fields: little-endian integers, 8-byte doubles and the
// length-prefixed string[n] (one length byte, n character bytes in
// Windows-1252). Every binary file of the program is made of these.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quorel {

inline uint16_t GetU16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline int16_t GetI16(const uint8_t* p) {
    return int16_t(GetU16(p));
}
inline uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t GetI32(const uint8_t* p) {
    return int32_t(GetU32(p));
}
inline void PutU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void PutI16(uint8_t* p, int16_t v) {
    PutU16(p, uint16_t(v));
}
inline void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline void PutI32(uint8_t* p, int32_t v) {
    PutU32(p, uint32_t(v));
}

// IEEE double, little-endian (the host is little-endian x86-64/ARM64).
inline double GetDouble(const uint8_t* p) {
    double d;
    std::memcpy(&d, p, 8);
    return d;
}
inline void PutDouble(uint8_t* p, double d) {
    std::memcpy(p, &d, 8);
}

// string[n] occupies n + 1 bytes at p. Reading honours the length byte but
// never reads past n (a length byte above n is taken as n); the bytes are
// converted from Windows-1252 to UTF-8.
std::string GetShortString(const uint8_t* p, size_t n);

// Writes utf8 as string[n] at p: converted to Windows-1252 ('?' for what it
// lacks), cut to n bytes, the unused tail filled with zero bytes.
void PutShortString(uint8_t* p, size_t n, std::string_view utf8);

// The same for text that is already Windows-1252 bytes (no conversion).
std::string GetShortStringRaw(const uint8_t* p, size_t n);
void PutShortStringRaw(uint8_t* p, size_t n, std::string_view cp1252);

} // namespace quorel
