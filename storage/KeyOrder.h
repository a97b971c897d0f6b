#pragma once

#include <cstdint>
#include <string_view>

namespace storage {

// Key texts order as unsigned bytes over their common length, then the shorter first; no
// case folding, so right-aligned record numbers of one width sort numerically.
int CompareKeyText(std::string_view a, std::string_view b);

// Entry order of a key: the text, and in a key with duplicates equal texts by ascending
// reference. References are compared, never subtracted, so extreme values cannot wrap.
int CompareEntry(std::string_view a, std::string_view b, std::int32_t referenceA, bool duplicates,
                 std::int32_t referenceB);

} // namespace storage
