// Stand-in for the index file, page cache and B-trees until IndexFile.cpp and PageCache.cpp
// take over (this file is then deleted): it lays out and checks the key headers so that
// Fileblocks with keys can be created, opened and closed; it caches no page, and every key
// operation fails as on an empty key.
#include "storage/FilePrimitives.h"
#include "storage/IndexFile.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <array>

namespace storage {

std::int32_t BuildPageRing(std::int32_t count) {
    Engine().ringCount = static_cast<std::uint16_t>(count);
    return count;
}

void FreePageRing() {
    Engine().ringCount = 0;
}

namespace {

void WriteKeyHeader(Fileblock& fb, int k) {
    const Descriptor& d = fb.Key(k);
    std::array<unsigned char, kKeyHeaderBytes> image{};
    platform::PutI32(image.data(), 0, d.firstFree);
    platform::PutI32(image.data(), 4, d.freeCount);
    platform::PutI32(image.data(), 8, d.allocated);
    platform::PutI32(image.data(), 12, d.slotSize);
    platform::PutI32(image.data(), 16, d.root);
    platform::PutU8(image.data(), 20, d.duplicates ? 1 : 0);
    platform::PutI32(image.data(), 22, d.entryCount);
    platform::PutU16(image.data(), 26, d.itemsPerPage);
    FileWriteAt(fb.indexFile, d.sectionOffset, kKeyHeaderBytes, image.data());
}

} // namespace

void IndexCreate(Fileblock& fb, const TKeySpecs& keys) {
    fb.rowSize = 0;
    for (int k = 1; k <= fb.numberOfKeys && FbOk; ++k) {
        const TKeySpec& spec = keys[static_cast<std::size_t>(k - 1)];
        if (spec.keyLength == 0 || spec.keyLength > kFbMaxKeyLength) {
            Fail(fberr::kKeySpecTooLong);
            return;
        }
        Descriptor& d = fb.Key(k);
        d = Descriptor{};
        d.keyLength = spec.keyLength;
        d.slotSize = PageSizeFor(spec.keyLength);
        d.sectionOffset = fb.rowSize;
        fb.rowSize += d.slotSize;
        d.duplicates = spec.duplicatesAllowed;
        d.headerChanged = true;
    }
    FileZeroFill(fb.indexFile, 0, fb.rowSize);
    for (int k = 1; k <= fb.numberOfKeys && FbOk; ++k)
        WriteKeyHeader(fb, k);
}

void IndexOpen(Fileblock& fb) {
    fb.rowSize = 0;
    fb.rowsPresent = 0;
    for (int k = 1; k <= fb.numberOfKeys; ++k) {
        Descriptor& d = fb.Key(k);
        d = Descriptor{};
        d.sectionOffset = fb.rowSize;
        std::array<unsigned char, kKeyHeaderBytes> image{};
        FileReadAt(fb.indexFile, d.sectionOffset, kKeyHeaderBytes, image.data());
        if (!FbOk) return;
        d.firstFree = platform::GetI32(image.data(), 0);
        d.freeCount = platform::GetI32(image.data(), 4);
        d.allocated = platform::GetI32(image.data(), 8);
        d.slotSize = platform::GetI32(image.data(), 12);
        d.root = platform::GetI32(image.data(), 16);
        d.duplicates = platform::GetU8(image.data(), 20) != 0;
        d.entryCount = platform::GetI32(image.data(), 22);
        d.itemsPerPage = platform::GetU16(image.data(), 26);
        if (d.itemsPerPage == 0) d.itemsPerPage = kItemsPerPage;
        if (d.itemsPerPage > kItemsPerPage) {
            Fail(fberr::kMaxPageSizeTooSmall);
            return;
        }
        const std::int64_t q =
            (static_cast<std::int64_t>(d.slotSize) * 10000 - 60000) / d.itemsPerPage - 90000;
        if (q % 10000 != 0) {
            Fail(fberr::kPageSizeIncompatible);
            return;
        }
        if (q > 300000 || q < 10000) {
            Fail(fberr::kMaxKeyLenTooSmall);
            return;
        }
        d.keyLength = static_cast<std::uint8_t>(q / 10000);
        fb.rowSize += d.slotSize;
        fb.rowsPresent = std::max(fb.rowsPresent, d.allocated);
    }
}

void IndexFlush(Fileblock& fb) {
    for (int k = 1; k <= fb.numberOfKeys && FbOk; ++k) {
        Descriptor& d = fb.Key(k);
        if (!d.headerChanged) continue;
        d.headerChanged = false;
        d.headerWritten = true;
        WriteKeyHeader(fb, k);
    }
}

void IndexDropPages(Fileblock&) {}

} // namespace storage

using namespace storage;

void FbRewindKey(Fileblock* fb, std::uint16_t key) {
    OperationScope op(fb, kModeKey | kModeReadLock, key);
}

void FbStepKey(Fileblock* fb, std::uint16_t key, std::int32_t&, std::string&) {
    OperationScope op(fb, kModeKey | kModeReadLock, key);
    if (op.Passed()) Fail(fberr::kNoLargerKey);
}

void FbFindKey(Fileblock* fb, std::uint16_t key, std::int32_t& reference, const std::string&) {
    OperationScope op(fb, kModeKey | kModeReadLock, key);
    if (!op.Passed()) return;
    reference = 0;
    Fail(fberr::kNoMatchingKey);
}

void FbInsertKey(Fileblock* fb, std::uint16_t key, std::int32_t, const std::string&) {
    OperationScope op(fb, kModeChanges | kModeKey | kModeNeedsLock, key);
    if (op.Passed()) Fail(fberr::kAccessNotPossible);
}

void FbRemoveKey(Fileblock* fb, std::uint16_t key, std::int32_t, const std::string&) {
    OperationScope op(fb, kModeChanges | kModeKey | kModeNeedsLock, key);
    if (op.Passed()) Fail(fberr::kKeyToDeleteNotFound);
}
