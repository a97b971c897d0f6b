#include "storage/KeyOrder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace storage {

int CompareKeyText(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    // memcmp compares as unsigned char, which is the stored order.
    const int r = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
    if (r != 0) return r < 0 ? -1 : 1;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

namespace {
// Eight bytes as one number in their byte order: numbers then compare as the bytes do.
std::uint64_t BigEndianWord(const unsigned char* bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
}
} // namespace

int ComparePaddedKeyText(const unsigned char* a, std::size_t aLength, const unsigned char* b,
                         std::size_t bLength) {
    const std::size_t common = std::min({aLength, bLength, kPaddedKeyText});
    for (std::size_t at = 0; at < common; at += 8) {
        std::uint64_t x = BigEndianWord(a + at);
        std::uint64_t y = BigEndianWord(b + at);
        const std::size_t left = common - at;
        if (left < 8) {
            // Only the bytes within both texts count.
            const unsigned shift = static_cast<unsigned>(8 - left) * 8;
            x >>= shift;
            y >>= shift;
        }
        if (x != y) return x < y ? -1 : 1;
    }
    if (aLength == bLength) return 0;
    return aLength < bLength ? -1 : 1;
}

int CompareEntry(std::string_view a, std::string_view b, std::int32_t referenceA, bool duplicates,
                 std::int32_t referenceB) {
    const int r = CompareKeyText(a, b);
    if (r != 0 || !duplicates) return r;
    if (referenceA == referenceB) return 0;
    return referenceA < referenceB ? -1 : 1;
}

} // namespace storage
