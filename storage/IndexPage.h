#pragma once

#include "storage/Fileblock.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace storage {

// Index pages of a key. On disk an item takes L + 9 bytes (L = key length); in a page buffer
// every item has a fixed 39-byte slot, so one buffer size serves every key length.
inline constexpr int kHalfPage = kItemsPerPage / 2;
inline constexpr int kMaxKeyText = kFbMaxKeyLength;
inline constexpr std::size_t kPageHeadSize = 6;           // int16 count, int32 leftmost child
inline constexpr std::size_t kItemSlotSize = kItemStride; // int32 reference, int32 child, length, 30 bytes
inline constexpr std::size_t kItemFixedSize = 9;          // reference, child, length byte
inline constexpr std::size_t kPageImageSize = kPageHeadSize + kItemsPerPage * kItemSlotSize; // 2424

// Bytes one page of a key with key length L and M items per page takes in its row.
inline std::int64_t IndexPageSize(int keyLength, int itemsPerPage = kItemsPerPage) {
    return static_cast<std::int64_t>(itemsPerPage) * (keyLength + static_cast<std::int64_t>(kItemFixedSize)) +
           static_cast<std::int64_t>(kPageHeadSize);
}

// Bytes of a packed page of n items that are written to the file.
inline std::size_t PackedPageLength(int count, int keyLength) {
    return kPageHeadSize +
           static_cast<std::size_t>(count) * (static_cast<std::size_t>(keyLength) + kItemFixedSize);
}

// One item (reference, right child, key text) outside a page; bytes past the text's length are zero.
struct IndexItem {
    std::int32_t reference = 0;
    std::int32_t child = 0;
    std::uint8_t length = 0;
    std::array<unsigned char, kMaxKeyText> text{};

    static IndexItem Make(std::string_view keyText, std::int32_t reference, std::int32_t child);
    std::string_view Text() const { return {reinterpret_cast<const char*>(text.data()), length}; }
};

using PageBytes = std::array<unsigned char, kPageBufferBytes>;

// An unpacked page inside a page buffer. Items are 1-based as stored; Child(0) is the leftmost
// child and Child(i) the child of item i, which leads to the entries between items i and i + 1.
class IndexPageView {
public:
    explicit IndexPageView(unsigned char* bytes) : bytes_(bytes) {}

    int Count() const;
    void SetCount(int count);
    std::int32_t Child(int i) const;
    void SetChild(int i, std::int32_t page);
    std::int32_t Reference(int i) const;
    std::string_view Text(int i) const;
    bool IsLeaf() const { return Child(0) == 0; }

    IndexItem Item(int i) const;
    void SetItem(int i, const IndexItem& item);
    // Moves items first..Count() one slot up (to make room at first) or down (over first - 1).
    void ShiftUp(int first);
    void ShiftDown(int first);

    unsigned char* Bytes() const { return bytes_; }

private:
    unsigned char* Slot(int i) const {
        return bytes_ + kPageHeadSize + static_cast<std::size_t>(i - 1) * kItemSlotSize;
    }
    unsigned char* bytes_;
};

// Packing moves items 2..n from their 39-byte slots to L + 9 bytes apart, unpacking moves them
// back; item 1, the count and the leftmost child never move, and with L = 30 nothing does.
void PackPage(unsigned char* bytes, int keyLength);
void UnpackPage(unsigned char* bytes, int keyLength);

// Unpacks a page as read from the file, checking that it can be a page of this key: 1 to M
// items, every length byte within the key length, children all zero (a leaf) or all within
// 1..allocatedPages. False for anything else (a damaged file); the bytes are then unusable.
bool UnpackSoundPage(unsigned char* bytes, int keyLength, int itemsPerPage, std::int32_t allocatedPages);

} // namespace storage
