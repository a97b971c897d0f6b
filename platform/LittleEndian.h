#pragma once

#include <cstdint>
#include <cstring>

// Stored blocks are read and written field by field at explicit offsets, little-endian,
// never by casting a struct over the bytes.
namespace platform {

inline std::uint8_t GetU8(const unsigned char* p, std::size_t offset) { return p[offset]; }
inline void PutU8(unsigned char* p, std::size_t offset, std::uint8_t v) { p[offset] = v; }

inline std::uint16_t GetU16(const unsigned char* p, std::size_t offset) {
    return static_cast<std::uint16_t>(p[offset] | (p[offset + 1] << 8));
}
inline void PutU16(unsigned char* p, std::size_t offset, std::uint16_t v) {
    p[offset] = static_cast<unsigned char>(v);
    p[offset + 1] = static_cast<unsigned char>(v >> 8);
}

inline std::uint32_t GetU32(const unsigned char* p, std::size_t offset) {
    return static_cast<std::uint32_t>(p[offset]) | (static_cast<std::uint32_t>(p[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(p[offset + 2]) << 16) | (static_cast<std::uint32_t>(p[offset + 3]) << 24);
}
inline void PutU32(unsigned char* p, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[offset + i] = static_cast<unsigned char>(v >> (8 * i));
}
inline std::int32_t GetI32(const unsigned char* p, std::size_t offset) {
    return static_cast<std::int32_t>(GetU32(p, offset));
}
inline void PutI32(unsigned char* p, std::size_t offset, std::int32_t v) {
    PutU32(p, offset, static_cast<std::uint32_t>(v));
}

inline std::uint64_t GetU64(const unsigned char* p, std::size_t offset) {
    return static_cast<std::uint64_t>(GetU32(p, offset)) | (static_cast<std::uint64_t>(GetU32(p, offset + 4)) << 32);
}
inline void PutU64(unsigned char* p, std::size_t offset, std::uint64_t v) {
    PutU32(p, offset, static_cast<std::uint32_t>(v));
    PutU32(p, offset + 4, static_cast<std::uint32_t>(v >> 32));
}

inline double GetF64(const unsigned char* p, std::size_t offset) {
    std::uint64_t bits = GetU64(p, offset);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
inline void PutF64(unsigned char* p, std::size_t offset, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutU64(p, offset, bits);
}

} // namespace platform
