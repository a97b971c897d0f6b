#include "storage/IndexFile.h"

#include "storage/FilePrimitives.h"
#include "storage/IndexPage.h"
#include "storage/KeyHeader.h"
#include "storage/PageCache.h"

#include "platform/LittleEndian.h"

#include <algorithm>

namespace storage {

using platform::GetI32;
using platform::GetU16;
using platform::PutI32;
using platform::PutU16;

namespace {

// KeyHeader fields, at offsets within its 28 bytes.
constexpr std::size_t kFirstFreeAt = 0;
constexpr std::size_t kFreeCountAt = 4;
constexpr std::size_t kAllocatedAt = 8;
constexpr std::size_t kPageSizeAt = 12;
constexpr std::size_t kRootAt = 16;
constexpr std::size_t kDuplicatesAt = 20;
constexpr std::size_t kEntryCountAt = 22;
constexpr std::size_t kItemsPerPageAt = 26;

} // namespace

KeyHeaderBytes KeyHeaderImage(const Descriptor& key) {
    KeyHeaderBytes image{};
    PutI32(image.data(), kFirstFreeAt, key.firstFree);
    PutI32(image.data(), kFreeCountAt, key.freeCount);
    PutI32(image.data(), kAllocatedAt, key.allocated);
    PutI32(image.data(), kPageSizeAt, key.slotSize);
    PutI32(image.data(), kRootAt, key.root);
    image[kDuplicatesAt] = key.duplicates ? 1 : 0;
    PutI32(image.data(), kEntryCountAt, key.entryCount);
    PutU16(image.data(), kItemsPerPageAt, key.itemsPerPage);
    return image;
}

void LoadKeyHeader(Descriptor& key, const KeyHeaderBytes& image) {
    key.firstFree = GetI32(image.data(), kFirstFreeAt);
    key.freeCount = GetI32(image.data(), kFreeCountAt);
    key.allocated = GetI32(image.data(), kAllocatedAt);
    key.slotSize = GetI32(image.data(), kPageSizeAt);
    key.root = GetI32(image.data(), kRootAt);
    key.duplicates = image[kDuplicatesAt] != 0;
    key.entryCount = GetI32(image.data(), kEntryCountAt);
    const std::uint16_t itemsPerPage = GetU16(image.data(), kItemsPerPageAt);
    key.itemsPerPage = itemsPerPage == 0 ? kItemsPerPage : itemsPerPage;
}

void ReadKeyHeader(Fileblock& fb, int k) {
    ResetStatus();
    KeyHeaderBytes image{};
    FileReadAt(fb.indexFile, fb.Key(k).sectionOffset, kKeyHeaderBytes, image.data());
    if (FbOk) LoadKeyHeader(fb.Key(k), image);
}

void WriteKeyHeader(Fileblock& fb, int k) {
    ResetStatus();
    const KeyHeaderBytes image = KeyHeaderImage(fb.Key(k));
    FileWriteAt(fb.indexFile, fb.Key(k).sectionOffset, kKeyHeaderBytes, image.data());
}

void FlushIndex(Fileblock& fb, bool release) {
    FlushPages(fb, release);
    for (int k = 1; k <= fb.numberOfKeys && FbOk; ++k) {
        Descriptor& key = fb.Key(k);
        if (!key.headerChanged) continue;
        key.headerChanged = false;
        key.headerWritten = true;
        WriteKeyHeader(fb, k);
        if (!FbOk) key.headerChanged = true; // still to be written
    }
}

void IndexCreate(Fileblock& fb, const TKeySpecs& keys) {
    if (fb.descriptors.size() < static_cast<std::size_t>(fb.numberOfKeys) + 1)
        fb.descriptors.resize(static_cast<std::size_t>(fb.numberOfKeys) + 1);
    fb.rowSize = 0;
    fb.rowsPresent = 0;
    for (int k = 1; k <= fb.numberOfKeys; ++k) {
        const TKeySpec& spec = keys[static_cast<std::size_t>(k - 1)];
        if (spec.keyLength == 0 || spec.keyLength > kFbMaxKeyLength) {
            Fail(fberr::kKeySpecTooLong);
            return;
        }
        Descriptor& key = fb.Key(k);
        key = Descriptor{};
        key.keyLength = spec.keyLength;
        key.slotSize = PageSizeFor(spec.keyLength);
        key.sectionOffset = fb.rowSize;
        fb.rowSize += key.slotSize;
        key.entryCount = 0;
        key.itemsPerPage = kItemsPerPage;
        key.firstFree = -1;
        key.freeCount = 0;
        key.allocated = 0;
        key.root = 0;
        key.duplicates = spec.duplicatesAllowed;
        key.headerChanged = true;
    }
    FileZeroFill(fb.indexFile, 0, fb.rowSize);
    for (int k = 1; k <= fb.numberOfKeys && FbOk; ++k) {
        WriteKeyHeader(fb, k);
        if (FbOk) fb.Key(k).headerChanged = false;
    }
}

void IndexOpen(Fileblock& fb) {
    fb.rowSize = 0;
    fb.rowsPresent = 0;
    for (int k = 1; k <= fb.numberOfKeys; ++k) {
        Descriptor& key = fb.Key(k);
        key.sectionOffset = fb.rowSize;
        ReadKeyHeader(fb, k);
        if (!FbOk) return;
        const int itemsPerPage = key.itemsPerPage;
        if (itemsPerPage > kItemsPerPage) {
            Fail(fberr::kMaxPageSizeTooSmall);
            return;
        }
        // Only full pages of 62 items are ever written, and the tree's rules hold only for them.
        if (itemsPerPage != kItemsPerPage) {
            Fail(fberr::kPageSizeIncompatible);
            return;
        }
        // In 64 bits: a damaged page size must not wrap into a plausible key length.
        const std::int64_t q =
            (static_cast<std::int64_t>(key.slotSize) * 10000 - 60000) / itemsPerPage - 90000;
        if (q % 10000 != 0) {
            Fail(fberr::kPageSizeIncompatible);
            return;
        }
        if (q > 300000 || q < 10000) {
            Fail(fberr::kMaxKeyLenTooSmall);
            return;
        }
        key.keyLength = static_cast<std::uint8_t>(q / 10000);
        fb.rowSize += key.slotSize;
        fb.rowsPresent = std::max(fb.rowsPresent, key.allocated);
        key.pathDepth = 0;
        key.headerChanged = false;
        key.headerWritten = false;
        key.lastFromFreeChain = false;
        key.refindAllowed = true;
        key.cursorValid = false;
    }
}

void CheckKeyBounds(Fileblock& fb) {
    if (fb.numberOfKeys == 0 || fb.rowSize <= 0) return;
    const std::int64_t size = FileSize(fb.indexFile);
    if (!FbOk) return;
    const std::int64_t pagesInFile = size / fb.rowSize - 1; // row 0 holds the headers
    for (int k = 1; k <= fb.numberOfKeys; ++k) {
        const Descriptor& key = fb.Key(k);
        const bool sound = key.allocated >= 0 && key.allocated <= pagesInFile && key.root >= 0 &&
                           key.root <= key.allocated &&
                           (key.firstFree == -1 || (key.firstFree >= 1 && key.firstFree <= key.allocated));
        if (!sound) {
            Fail(fberr::kFileDefect);
            return;
        }
    }
}

void IndexFlush(Fileblock& fb) {
    FlushIndex(fb, true);
}

void IndexDropPages(Fileblock& fb) {
    DropPages(fb);
}

} // namespace storage
