#pragma once

#include <cstddef>

// The 80-bit x87 extended real of the stored formats: 64-bit mantissa with an explicit
// integer bit, 15-bit exponent, sign; 10 bytes little-endian. On x86-64 this is long double.
namespace platform {

constexpr std::size_t kReal80Size = 10;

long double GetReal80(const unsigned char* p, std::size_t offset);
// Writes exactly 10 bytes; padding after the field is the caller's (stored blocks zero it).
void PutReal80(unsigned char* p, std::size_t offset, long double value);

} // namespace platform
