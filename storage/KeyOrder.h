#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace storage {

// Key texts order as unsigned bytes over their common length, then the shorter first; no
// case folding, so right-aligned record numbers of one width sort numerically.
int CompareKeyText(std::string_view a, std::string_view b);

// CompareKeyText for texts of at most kPaddedKeyText bytes with kPaddedKeyText bytes readable
// at both `a` and `b` (bytes past a text's length may be anything): eight bytes compared at a
// time, for the searches inside index pages.
inline constexpr std::size_t kPaddedKeyText = 32;
int ComparePaddedKeyText(const unsigned char* a, std::size_t aLength, const unsigned char* b,
                         std::size_t bLength);

// Entry order of a key: the text, and in a key with duplicates equal texts by ascending
// reference. References are compared, never subtracted, so extreme values cannot wrap.
int CompareEntry(std::string_view a, std::string_view b, std::int32_t referenceA, bool duplicates,
                 std::int32_t referenceB);

} // namespace storage
