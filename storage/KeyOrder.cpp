#include "storage/KeyOrder.h"

#include <algorithm>
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

int CompareEntry(std::string_view a, std::string_view b, std::int32_t referenceA, bool duplicates,
                 std::int32_t referenceB) {
    const int r = CompareKeyText(a, b);
    if (r != 0 || !duplicates) return r;
    if (referenceA == referenceB) return 0;
    return referenceA < referenceB ? -1 : 1;
}

} // namespace storage
