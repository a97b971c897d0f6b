#include "storage/DataFile.h"

#include "storage/FilePrimitives.h"
#include "storage/FileViews.h"
#include "storage/Journal.h"
#include "storage/Slots.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace storage {
namespace {

// Whether the record is known to be on the free chain (learnt by LearnFreeRecords first).
bool IsFreeRecord(const Fileblock& fb, std::int32_t record) {
    const std::vector<bool>& known = fb.freeRecords.known;
    const auto at = static_cast<std::size_t>(record);
    return at < known.size() && known[at];
}

// An append may take the chain's head only from a chain that was found sound: a damaged one
// could hand out a live record. 10170 otherwise (or the read failure's code).
bool MayTakeFromChain(Fileblock& fb) {
    if (fb.Data().firstFree == -1) return true;
    if (!LearnFreeRecords(fb)) return false;
    if (fb.freeRecords.chain == FreeRecords::Chain::Sound) return true;
    Fail(fberr::kConsistency);
    return false;
}

std::int64_t RecordOffset(const Fileblock& fb, std::int32_t record) {
    return static_cast<std::int64_t>(record) * fb.descriptors[0].slotSize;
}

// An append writes past the records only when the file still holds every record it counts:
// cut shorter by another program, it would grow back with zeros in the place of the records
// cut off, which would then read as sound records and pass every later open. 10070 then, and
// the file is taken as cut from then on, so it stays short and the next open finds it so.
// The file's size is asked each time: reading the last byte counted through the view instead
// was measured no cheaper (the page the last append wrote is slow to read back there). Asked in
// save mode only, where the program runs: beside an append's flushes it costs nothing, while in
// normal mode, where an append is one write, the question would double its time.
bool HoldsCountedRecords(Fileblock& fb) {
    const Descriptor& d = fb.Data();
    const std::int64_t size = FileSize(fb.dataFile);
    if (!FbOk) return false;
    if (size >= (static_cast<std::int64_t>(d.allocated) + 1) * d.slotSize) return true;
    NoteCut(fb.dataFile);
    Fail(fberr::kReadError);
    return false;
}

bool FitsRecord(const Fileblock& fb, std::size_t bufferSize) {
    return bufferSize == static_cast<std::size_t>(fb.descriptors[0].slotSize);
}

// The record hook may change the bytes it is given, so it works on a copy of the caller's.
std::vector<unsigned char> HookedCopy(const Fileblock& fb, std::span<const unsigned char> buffer,
                                      std::uint8_t direction) {
    std::vector<unsigned char> copy(buffer.begin(), buffer.end());
    fb.recordHook(copy.data(), static_cast<std::int32_t>(copy.size()), direction, fb.hookUserValue);
    return copy;
}

// The commit of a save-mode record change: the data header, on the disk.
void CommitDataHeader(Fileblock& fb) {
    WriteDataHeader(fb, 0);
    FileFlush(fb.dataFile, fb.network != nullptr);
}

// A record's first 4 bytes as they were before a free wrote its chain link there.
struct RecordWord {
    std::int32_t record = 0;
    std::array<unsigned char, 4> bytes{};
};

// Ends a save-mode append or free: committed, or replayed with the records' state in memory
// put back as it was (`undoneCode` when the failure was undone). A freed record's first word
// is put back from memory too, which the journal cannot do for every word.
void EndSaveModeRecordChange(Fileblock& fb, const Descriptor& before, const FreeRecords& freeBefore,
                             std::int32_t undoneCode, const RecordWord* word = nullptr) {
    if (FbOk && CommitJournalStep(fb, CommitDataHeader)) return;
    if (word) {
        KeptFailure kept;
        FileWriteAt(fb.dataFile, RecordOffset(fb, word->record), 4, word->bytes.data());
    }
    fb.Data() = before;
    fb.freeRecords = freeBefore;
    UndoJournalStep(fb, undoneCode);
}

// FbAppendRecord in save mode: the header and, for a record taken from the free chain, its
// chain link are journaled and on the disk before the record is written.
void SaveModeAppend(Fileblock& fb, std::int32_t& record, const std::vector<unsigned char>& bytes) {
    Descriptor& d = fb.Data();
    const Descriptor before = d;
    const FreeRecords freeBefore = fb.freeRecords;
    const HeaderImageBytes image = DataHeaderJournalImage(fb);
    BeginJournalStep(fb);
    std::int32_t number = 0;
    AllocateSlot(fb, number, 0);
    JournalHeader(fb, 0, image, d.lastFromFreeChain ? d.firstFree : kNoChainLink);
    FlushJournal(fb);
    FileWriteAt(fb.dataFile, RecordOffset(fb, number), static_cast<std::int32_t>(bytes.size()), bytes.data());
    EndSaveModeRecordChange(fb, before, freeBefore, fberr::kSaveModeAppendUndone);
    if (FbOk) record = number;
}

void SaveModeFree(Fileblock& fb, std::int32_t record) {
    const Descriptor before = fb.Data();
    const FreeRecords freeBefore = fb.freeRecords;
    BeginJournalStep(fb);
    // The chain link goes over the record's first 4 bytes, which the journal keeps (before
    // the header, which it puts back last).
    RecordWord word{record, {}};
    FileReadAt(fb.dataFile, RecordOffset(fb, record), 4, word.bytes.data());
    if (!FbOk) return;
    JournalRecordWord(fb, record, word.bytes);
    JournalHeader(fb, 0, DataHeaderJournalImage(fb), kNoChainLink);
    FreeSlot(fb, record, 0);
    EndSaveModeRecordChange(fb, before, freeBefore, fberr::kSaveModeFreeUndone, &word);
}

void FlushDataFile(Fileblock& fb) {
    FileFlush(fb.dataFile, fb.network != nullptr);
}

// FbWriteRecord in save mode: the record as it was is journaled and on the disk before it is
// overwritten, so a rewrite cut short is put back whole. The data header it leaves as it is
// goes with it: a replay tells by it whether the journal is this data file's.
void SaveModeWrite(Fileblock& fb, std::int32_t record, const std::vector<unsigned char>& bytes) {
    const std::int64_t offset = RecordOffset(fb, record);
    const auto length = static_cast<std::int32_t>(bytes.size());
    std::vector<unsigned char> before(bytes.size());
    FileReadAt(fb.dataFile, offset, length, before.data());
    if (!FbOk) return;
    BeginJournalStep(fb);
    JournalHeader(fb, 0, DataHeaderJournalImage(fb), kNoChainLink);
    JournalRecordImage(fb, record, before);
    FlushJournal(fb);
    FileWriteAt(fb.dataFile, offset, length, bytes.data());
    if (FbOk && CommitJournalStep(fb, FlushDataFile)) return;
    UndoJournalStep(fb, fberr::kSaveModeWriteUndone);
}

} // namespace

DataHeaderImageBytes DataHeaderImage(const Fileblock& fb, std::uint8_t inUse) {
    DataHeaderImageBytes image{};
    const Descriptor& d = fb.descriptors[0];
    platform::PutI32(image.data(), 0, d.firstFree);
    platform::PutI32(image.data(), 4, d.freeCount);
    platform::PutI32(image.data(), 8, d.allocated);
    platform::PutI32(image.data(), 12, d.slotSize);
    platform::PutU32(image.data(), 16, fb.numberOfKeys);
    platform::PutU8(image.data(), kDataInUseOffset, inUse);
    return image;
}

void WriteDataHeader(Fileblock& fb, std::uint8_t inUse) {
    const DataHeaderImageBytes image = DataHeaderImage(fb, inUse);
    FileWriteAt(fb.dataFile, 0, kDataHeaderBytes, image.data());
    if (FbOk) fb.descriptors[0].headerWritten = true;
}

DataHeader ParseDataHeader(const DataHeaderImageBytes& image) {
    DataHeader header;
    header.firstFree = platform::GetI32(image.data(), 0);
    header.freeCount = platform::GetI32(image.data(), 4);
    header.allocated = platform::GetI32(image.data(), 8);
    header.recordLength = platform::GetI32(image.data(), 12);
    // The number of keys is widened to 32 bits when written but read back from its low byte.
    header.numberOfKeys = platform::GetU8(image.data(), 16);
    header.inUse = platform::GetU8(image.data(), kDataInUseOffset);
    return header;
}

void CheckDataHeader(Fileblock& fb) {
    const Descriptor& d = fb.descriptors[0];
    const bool countersPossible =
        d.slotSize >= kMinRecordLength && d.allocated >= 0 && d.freeCount >= 0 && d.freeCount <= d.allocated;
    if (!countersPossible) Fail(fberr::kFileDefect);
}

void CheckDataFile(Fileblock& fb, bool appendMayBeUndone) {
    CheckDataHeader(fb);
    if (!FbOk) return;
    const Descriptor& d = fb.descriptors[0];
    const std::int64_t size = FileSize(fb.dataFile);
    if (!FbOk) return;
    // Records past the count: the header is not the one that was written last, and the next
    // append would go over a live record. Only an append a journal is about to undo may have
    // left one, or counted one that did not reach the disk.
    const std::int64_t counted = static_cast<std::int64_t>(d.allocated) + 1;
    const bool tooShort = size < counted * d.slotSize && !appendMayBeUndone;
    const std::int64_t longest = (appendMayBeUndone ? counted + 1 : counted) * d.slotSize;
    if (tooShort || size > longest) Fail(fberr::kFileDefect);
}

bool LearnFreeRecords(Fileblock& fb) {
    FreeRecords& records = fb.freeRecords;
    if (records.chain != FreeRecords::Chain::Unwalked) return true;
    const Descriptor& d = fb.descriptors[0];
    // One walk, at most free count + 1 links long, finds a chain that leaves the records,
    // runs in a cycle, or is longer or shorter than the count says. The open has checked
    // that the allocated records lie inside the file.
    std::vector<bool> free(static_cast<std::size_t>(std::max(d.allocated, 0)) + 1, false);
    std::int32_t record = d.firstFree;
    bool sound = true;
    for (std::int32_t step = 0; step < d.freeCount; ++step) {
        if (record < 1 || record > d.allocated || free[static_cast<std::size_t>(record)]) {
            sound = false;
            break;
        }
        free[static_cast<std::size_t>(record)] = true;
        std::array<unsigned char, 4> link{};
        FileReadAt(fb.dataFile, RecordOffset(fb, record), 4, link.data());
        if (!FbOk) return false;
        record = platform::GetI32(link.data(), 0);
    }
    if (record != -1) sound = false;
    records.known = std::move(free);
    records.chain = sound ? FreeRecords::Chain::Sound : FreeRecords::Chain::Damaged;
    return true;
}

} // namespace storage

using namespace storage;

void FbReadRecord(Fileblock* handle, std::int32_t record, std::span<unsigned char> buffer, bool noLock) try {
    OperationScope op(handle, noLock ? 0 : kModeReadLock);
    if (!op.Passed()) return;
    Fileblock* fb = op.Open();
    // A buffer of another size than the records would be overrun or left half filled.
    if (!FitsRecord(*fb, buffer.size())) {
        Fail(fberr::kPageSizeIncompatible);
        return;
    }
    // Record 0 is the header, and a number past the file's end fails at the read (10070).
    if (record < 0) {
        Fail(fberr::kRecordOutOfRange);
        return;
    }
    // A record the header does not count is no record of the caller's, whatever the file holds
    // there: one named by a key is damage.
    if (record > fb->Data().allocated) {
        const std::int64_t size = FileSize(fb->dataFile);
        if (FbOk)
            Fail(size < RecordOffset(*fb, record) + fb->Data().slotSize ? fberr::kReadError
                                                                        : fberr::kFileDefect);
        return;
    }
    FileReadAtViewed(fb->dataFile, fb->network == nullptr, RecordOffset(*fb, record),
                     static_cast<std::int32_t>(buffer.size()), buffer.data());
    if (FbOk) fb->recordHook(buffer.data(), static_cast<std::int32_t>(buffer.size()), 1, fb->hookUserValue);
} catch (...) {
    FailOnException();
}

std::int32_t FbReadRecords(Fileblock* handle, std::int32_t first, std::span<unsigned char> buffer) try {
    OperationScope op(handle, kModeReadLock);
    if (!op.Passed()) return 0;
    Fileblock* fb = op.Open();
    if (first < 1) {
        Fail(fberr::kRecordOutOfRange);
        return 0;
    }
    const Descriptor& d = fb->Data();
    // Read with the file's own read, not through its view: a pass over a file just opened
    // would bring every page of a new view into memory one fault at a time.
    const std::int64_t fitting =
        std::min<std::int64_t>(buffer.size(), std::numeric_limits<std::int32_t>::max()) / d.slotSize;
    const std::int64_t left = static_cast<std::int64_t>(d.allocated) - first + 1;
    const auto count = static_cast<std::int32_t>(std::max<std::int64_t>(0, std::min(fitting, left)));
    if (count == 0) return 0;
    FileReadAt(fb->dataFile, RecordOffset(*fb, first), count * d.slotSize, buffer.data());
    if (!FbOk) return 0;
    for (std::int32_t i = 0; i < count; ++i)
        fb->recordHook(buffer.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(d.slotSize),
                       d.slotSize, 1, fb->hookUserValue);
    return count;
} catch (...) {
    FailOnException();
    return 0;
}

void FbWriteRecord(Fileblock* handle, std::int32_t record, std::span<const unsigned char> buffer,
                   bool noLock) try {
    OperationScope op(handle, noLock ? kModeChanges : kModeChanges | kModeNeedsLock);
    if (!op.Passed()) return;
    Fileblock* fb = op.Open();
    if (!FitsRecord(*fb, buffer.size())) {
        Fail(fberr::kPageSizeIncompatible);
        return;
    }
    const std::vector<unsigned char> bytes = HookedCopy(*fb, buffer, 0);
    if (record == 0) {
        Fail(fberr::kRecordZero);
        return;
    }
    // Only records handed out and in use may be written: past the allocated count the file
    // would grow behind the header's back, and a free record holds the chain.
    if (record < 0 || record > fb->Data().allocated) {
        Fail(fberr::kRecordOutOfRange);
        return;
    }
    if (!LearnFreeRecords(*fb)) return;
    if (IsFreeRecord(*fb, record)) {
        Fail(fberr::kConsistency);
        return;
    }
    if (fb->saveMode)
        SaveModeWrite(*fb, record, bytes);
    else
        FileWriteAt(fb->dataFile, RecordOffset(*fb, record), static_cast<std::int32_t>(bytes.size()),
                    bytes.data());
    if (FbOk && !fb->skipAfterWrite) (void)HookedCopy(*fb, buffer, 1);
} catch (...) {
    FailOnException();
}

void FbAppendRecord(Fileblock* handle, std::int32_t& record, std::span<const unsigned char> buffer) try {
    OperationScope op(handle, kModeChanges | kModeNeedsLock);
    if (!op.Passed()) return;
    Fileblock* fb = op.Open();
    if (!FitsRecord(*fb, buffer.size())) {
        Fail(fberr::kPageSizeIncompatible);
        return;
    }
    const std::vector<unsigned char> bytes = HookedCopy(*fb, buffer, 0);
    if (!MayTakeFromChain(*fb) || (fb->saveMode && !HoldsCountedRecords(*fb))) return;
    MarkInUse(*fb);
    if (!FbOk) return;
    if (fb->saveMode) {
        SaveModeAppend(*fb, record, bytes);
        if (FbOk && !fb->skipAfterWrite) (void)HookedCopy(*fb, buffer, 1);
        return;
    }
    Descriptor& d = fb->Data();
    const std::int32_t oldFirstFree = d.firstFree;
    std::int32_t number = 0;
    AllocateSlot(*fb, number, 0);
    if (!FbOk) return;
    FileWriteAt(fb->dataFile, RecordOffset(*fb, number), static_cast<std::int32_t>(bytes.size()),
                bytes.data());
    if (!FbOk) {
        if (d.lastFromFreeChain) {
            // A write that stopped part way may have overwritten the record's chain link.
            {
                KeptFailure kept;
                std::array<unsigned char, 4> link{};
                platform::PutI32(link.data(), 0, d.firstFree);
                FileWriteAt(fb->dataFile, RecordOffset(*fb, number), 4, link.data());
            }
            d.firstFree = oldFirstFree;
            ++d.freeCount;
            fb->freeRecords.known[static_cast<std::size_t>(number)] = true;
        } else {
            // The file ends where the count does again; a record half written past it would
            // be taken for damage at the next open.
            --d.allocated;
            KeptFailure kept;
            FileTruncateAt(fb->dataFile, RecordOffset(*fb, number));
        }
        return;
    }
    record = number;
    if (!fb->skipAfterWrite) (void)HookedCopy(*fb, buffer, 1);
} catch (...) {
    FailOnException();
}

void FbFreeRecord(Fileblock* handle, std::int32_t record) try {
    OperationScope op(handle, kModeChanges | kModeNeedsLock);
    if (!op.Passed()) return;
    Fileblock* fb = op.Open();
    if (record < 1 || record > fb->Data().allocated) {
        Fail(fberr::kRecordOutOfRange);
        return;
    }
    // Freeing it again would close the chain into a cycle and hand the record out twice.
    if (!LearnFreeRecords(*fb)) return;
    if (IsFreeRecord(*fb, record)) {
        Fail(fberr::kConsistency);
        return;
    }
    MarkInUse(*fb);
    if (!FbOk) return;
    if (fb->saveMode) {
        SaveModeFree(*fb, record);
        return;
    }
    FreeSlot(*fb, record, 0);
} catch (...) {
    FailOnException();
}

std::int32_t FbLiveRecordCount(Fileblock* handle) try {
    OperationScope op(handle, kModeReadLock);
    if (!op.Passed()) return 0;
    Fileblock* fb = op.Open();
    return fb->Data().allocated - fb->Data().freeCount;
} catch (...) {
    FailOnException();
    return 0;
}
