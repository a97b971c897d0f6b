#include "Real80.h"

#include <cstring>
#include <limits>

namespace platform {

static_assert(std::numeric_limits<long double>::digits == 64 && sizeof(long double) >= 10,
              "the stored 80-bit reals need x87 extended long double");

long double GetReal80(const unsigned char* p, std::size_t offset) {
    long double value = 0.0L;
    std::memcpy(&value, p + offset, kReal80Size); // x86 keeps the 10 significant bytes first
    return value;
}

void PutReal80(unsigned char* p, std::size_t offset, long double value) {
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, &value, kReal80Size);
    std::memcpy(p + offset, bytes, kReal80Size);
}

} // namespace platform
