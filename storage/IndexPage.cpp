#include "storage/IndexPage.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace storage {

using platform::GetI32;
using platform::GetU16;
using platform::PutI32;
using platform::PutU16;

namespace {
constexpr std::size_t kReferenceOffset = 0;
constexpr std::size_t kChildOffset = 4;
constexpr std::size_t kLengthOffset = 8;
constexpr std::size_t kTextOffset = 9;
} // namespace

IndexItem IndexItem::Make(std::string_view keyText, std::int32_t reference, std::int32_t child) {
    IndexItem item;
    item.reference = reference;
    item.child = child;
    item.length = static_cast<std::uint8_t>(std::min<std::size_t>(keyText.size(), kMaxKeyText));
    if (item.length > 0) std::memcpy(item.text.data(), keyText.data(), item.length);
    return item;
}

int IndexPageView::Count() const {
    return GetU16(bytes_, 0);
}
void IndexPageView::SetCount(int count) {
    PutU16(bytes_, 0, static_cast<std::uint16_t>(count));
}

std::int32_t IndexPageView::Child(int i) const {
    return i == 0 ? GetI32(bytes_, 2) : GetI32(Slot(i), kChildOffset);
}
void IndexPageView::SetChild(int i, std::int32_t page) {
    if (i == 0)
        PutI32(bytes_, 2, page);
    else
        PutI32(Slot(i), kChildOffset, page);
}

std::int32_t IndexPageView::Reference(int i) const {
    return GetI32(Slot(i), kReferenceOffset);
}

std::string_view IndexPageView::Text(int i) const {
    const unsigned char* slot = Slot(i);
    const std::size_t length = std::min<std::size_t>(slot[kLengthOffset], kMaxKeyText);
    return {reinterpret_cast<const char*>(slot + kTextOffset), length};
}

IndexItem IndexPageView::Item(int i) const {
    const unsigned char* slot = Slot(i);
    IndexItem item;
    item.reference = GetI32(slot, kReferenceOffset);
    item.child = GetI32(slot, kChildOffset);
    item.length = static_cast<std::uint8_t>(std::min<int>(slot[kLengthOffset], kMaxKeyText));
    std::memcpy(item.text.data(), slot + kTextOffset, kMaxKeyText);
    return item;
}

void IndexPageView::SetItem(int i, const IndexItem& item) {
    unsigned char* slot = Slot(i);
    PutI32(slot, kReferenceOffset, item.reference);
    PutI32(slot, kChildOffset, item.child);
    slot[kLengthOffset] = item.length;
    std::memcpy(slot + kTextOffset, item.text.data(), kMaxKeyText);
}

void IndexPageView::ShiftUp(int first) {
    const int n = Count();
    if (first > n) return;
    std::memmove(Slot(first + 1), Slot(first), static_cast<std::size_t>(n - first + 1) * kItemSlotSize);
}

void IndexPageView::ShiftDown(int first) {
    const int n = Count();
    if (first > n) return;
    std::memmove(Slot(first - 1), Slot(first), static_cast<std::size_t>(n - first + 1) * kItemSlotSize);
}

namespace {

// Moving items between their packed places (Stride = L + 9 apart) and their slots, with the
// stride known at compile time so each item is a fixed-size copy rather than a library call.
// Item 1 never moves; packing goes up from item 2, unpacking down from the last item, so no
// item is overwritten before it has moved (and each goes through a copy, as its two places
// may overlap).
template <std::size_t Stride> void PackItems(unsigned char* bytes, int n) {
    for (int i = 2; i <= n; ++i) {
        unsigned char item[Stride];
        std::memcpy(item, bytes + kPageHeadSize + static_cast<std::size_t>(i - 1) * kItemSlotSize, Stride);
        std::memcpy(bytes + kPageHeadSize + static_cast<std::size_t>(i - 1) * Stride, item, Stride);
    }
}
template <std::size_t Stride> void UnpackItems(unsigned char* bytes, int n) {
    for (int i = n; i >= 2; --i) {
        unsigned char item[Stride];
        std::memcpy(item, bytes + kPageHeadSize + static_cast<std::size_t>(i - 1) * Stride, Stride);
        std::memcpy(bytes + kPageHeadSize + static_cast<std::size_t>(i - 1) * kItemSlotSize, item, Stride);
    }
}

bool ChildSound(std::int32_t child, std::int32_t allocatedPages) {
    return child >= 1 && child <= allocatedPages;
}

// Unpacking a page as read from the file: one pass from the last item down, checking each
// item where it lies packed before it moves to its slot.
template <std::size_t Stride>
bool UnpackSoundItems(unsigned char* bytes, int n, int keyLength, bool leaf, std::int32_t allocatedPages) {
    for (int i = n; i >= 1; --i) {
        unsigned char item[Stride];
        std::memcpy(item, bytes + kPageHeadSize + static_cast<std::size_t>(i - 1) * Stride, Stride);
        const std::int32_t child = GetI32(item, kChildOffset);
        if (item[kLengthOffset] > keyLength || (leaf ? child != 0 : !ChildSound(child, allocatedPages)))
            return false;
        if (Stride != kItemSlotSize && i >= 2)
            std::memcpy(bytes + kPageHeadSize + static_cast<std::size_t>(i - 1) * kItemSlotSize, item,
                        Stride);
    }
    return true;
}

using ItemMover = void (*)(unsigned char*, int);
using SoundUnpacker = bool (*)(unsigned char*, int, int, bool, std::int32_t);
// Indexed by key length 1 .. kMaxKeyText - 1 (at the full length nothing moves).
template <std::size_t... L>
constexpr std::array<ItemMover, sizeof...(L)> PackTable(std::index_sequence<L...>) {
    return {PackItems<L + 1 + kItemFixedSize>...};
}
template <std::size_t... L>
constexpr std::array<ItemMover, sizeof...(L)> UnpackTable(std::index_sequence<L...>) {
    return {UnpackItems<L + 1 + kItemFixedSize>...};
}
// Indexed by key length 1 .. kMaxKeyText.
template <std::size_t... L>
constexpr std::array<SoundUnpacker, sizeof...(L)> SoundUnpackTable(std::index_sequence<L...>) {
    return {UnpackSoundItems<L + 1 + kItemFixedSize>...};
}
constexpr auto kSoundUnpackers = SoundUnpackTable(std::make_index_sequence<kMaxKeyText>());
constexpr auto kPackers = PackTable(std::make_index_sequence<kMaxKeyText - 1>());
constexpr auto kUnpackers = UnpackTable(std::make_index_sequence<kMaxKeyText - 1>());

int StoredCount(const unsigned char* bytes) {
    return std::min<int>(GetU16(bytes, 0), kItemsPerPage);
}

} // namespace

void PackPage(unsigned char* bytes, int keyLength) {
    if (keyLength < 1 || keyLength >= kMaxKeyText) return;
    kPackers[static_cast<std::size_t>(keyLength - 1)](bytes, StoredCount(bytes));
}

void UnpackPage(unsigned char* bytes, int keyLength) {
    if (keyLength < 1 || keyLength >= kMaxKeyText) return;
    kUnpackers[static_cast<std::size_t>(keyLength - 1)](bytes, StoredCount(bytes));
}

bool UnpackSoundPage(unsigned char* bytes, int keyLength, int itemsPerPage, std::int32_t allocatedPages) {
    const int n = GetU16(bytes, 0);
    if (n < 1 || n > itemsPerPage || n > kItemsPerPage || keyLength < 1 || keyLength > kMaxKeyText)
        return false;
    const bool leaf = GetI32(bytes, 2) == 0;
    if (!leaf && !ChildSound(GetI32(bytes, 2), allocatedPages)) return false;
    return kSoundUnpackers[static_cast<std::size_t>(keyLength - 1)](bytes, n, keyLength, leaf,
                                                                    allocatedPages);
}

} // namespace storage
