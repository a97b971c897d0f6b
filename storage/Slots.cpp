#include "storage/Slots.h"

#include "storage/DataFile.h"
#include "storage/FilePrimitives.h"
#include "storage/Journal.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace storage {
namespace {

void NoteFreeRecord(Fileblock& fb, std::int32_t number, bool isFree) {
    // Before the first walk the chain on the disk says it all; the walk will read it.
    if (fb.freeRecords.chain == FreeRecords::Chain::Unwalked) return;
    std::vector<bool>& known = fb.freeRecords.known;
    const auto at = static_cast<std::size_t>(number);
    if (known.size() <= at) known.resize(at + 1, false);
    known[at] = isFree;
}

// A key's free page chain, walked once before its first page is taken from it: a chain
// that leaves 1..allocated, runs in a cycle or disagrees with the free count would hand a
// page of the tree out again. Sound chains stay sound, since only pages of the tree are freed.
bool KeyFreeChainSound(Fileblock& fb, int index) {
    Descriptor& d = fb.descriptors[static_cast<std::size_t>(index)];
    if (d.freeChainChecked) return true;
    if (d.freeCount < 0 || d.freeCount > d.allocated || fb.rowSize <= 0) return false;
    // Only pages inside the file can hold a link: that bounds the walk and its memory.
    const std::int64_t size = FileSize(fb.indexFile);
    if (!FbOk) return false;
    const std::int64_t lastPage = std::min<std::int64_t>(d.allocated, size / fb.rowSize - 1);
    if (lastPage < 0) return false;
    std::vector<bool> seen(static_cast<std::size_t>(lastPage) + 1, false);
    std::int32_t page = d.firstFree;
    for (std::int32_t step = 0; step < d.freeCount; ++step) {
        if (page < 1 || page > lastPage || seen[static_cast<std::size_t>(page)]) return false;
        seen[static_cast<std::size_t>(page)] = true;
        std::array<unsigned char, 4> link{};
        FileReadAt(fb.indexFile, SlotOffset(fb, page, index), 4, link.data());
        if (!FbOk) return false;
        page = platform::GetI32(link.data(), 0);
    }
    if (page != -1) return false;
    d.freeChainChecked = true;
    return true;
}

} // namespace

std::int32_t WrappedAdd(std::int32_t counter, std::int32_t step) {
    // A counter read from a damaged header may stand at a limit; it wraps as the stored
    // 32-bit word does instead of overflowing.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + static_cast<std::uint32_t>(step));
}

std::int64_t SlotOffset(const Fileblock& fb, std::int32_t number, int index) {
    const Descriptor& d = fb.descriptors[static_cast<std::size_t>(index)];
    if (index == 0) return static_cast<std::int64_t>(number) * d.slotSize;
    return static_cast<std::int64_t>(number) * fb.rowSize + d.sectionOffset;
}

void AllocateSlot(Fileblock& fb, std::int32_t& number, int index, bool fromChain) {
    Descriptor& d = fb.descriptors[static_cast<std::size_t>(index)];
    d.headerChanged = true;
    if (d.firstFree == -1 || !fromChain) {
        d.lastFromFreeChain = false;
        // Only a damaged header counts below 0 or this far: the next number would be 0 (the
        // header row or record), negative, or wrap.
        if (d.allocated < 0 || d.allocated == std::numeric_limits<std::int32_t>::max()) {
            Fail(fberr::kConsistency);
            return;
        }
        ++d.allocated;
        number = d.allocated;
        if (index != 0 && fb.rowsPresent < d.allocated) {
            FileZeroFill(fb.indexFile, static_cast<std::int64_t>(fb.rowsPresent + 1) * fb.rowSize,
                         fb.rowSize);
            if (!FbOk) {
                --d.allocated;
                return;
            }
            ++fb.rowsPresent;
        }
        return;
    }
    const std::int32_t head = d.firstFree;
    if (head < 1 || head > d.allocated) {
        Fail(fberr::kConsistency);
        return;
    }
    if (index != 0 && !KeyFreeChainSound(fb, index)) {
        if (FbOk) Fail(fberr::kConsistency);
        return;
    }
    std::array<unsigned char, 4> link{};
    FileRecord& file = index == 0 ? fb.dataFile : fb.indexFile;
    FileReadAt(file, SlotOffset(fb, head, index), 4, link.data());
    if (!FbOk) return;
    const std::int32_t next = platform::GetI32(link.data(), 0);
    if (next == 0 || next > d.allocated || next < -1) {
        Fail(fberr::kConsistency);
        return;
    }
    number = head;
    d.firstFree = next;
    d.lastFromFreeChain = true;
    d.freeCount = WrappedAdd(d.freeCount, -1);
    if (index == 0) NoteFreeRecord(fb, head, false);
}

void FreeSlot(Fileblock& fb, std::int32_t number, int index) {
    Descriptor& d = fb.descriptors[static_cast<std::size_t>(index)];
    d.headerChanged = true;
    std::array<unsigned char, 4> link{};
    platform::PutI32(link.data(), 0, d.firstFree);
    FileRecord& file = index == 0 ? fb.dataFile : fb.indexFile;
    EnsureWriteAhead(fb);
    FileWriteAt(file, SlotOffset(fb, number, index), 4, link.data());
    if (!FbOk) return;
    d.firstFree = number;
    d.freeCount = WrappedAdd(d.freeCount, 1);
    if (index == 0) NoteFreeRecord(fb, number, true);
}

void MarkInUse(Fileblock& fb) {
    if (fb.inUse) return;
    if (!fb.saveMode) {
        const unsigned char mark = 1;
        FileWriteAt(fb.dataFile, kDataInUseOffset, 1, &mark);
        FileFlush(fb.dataFile);
        // Left clear on failure, so the next change tries again before it touches anything.
        if (!FbOk) return;
    }
    fb.inUse = true;
}

} // namespace storage
