#include "storage/Journal.h"

#include "storage/DataFile.h"
#include "storage/FilePrimitives.h"
#include "storage/IndexPage.h"
#include "storage/KeyHeader.h"
#include "storage/PageCache.h"
#include "storage/Slots.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace storage {

using platform::GetI32;
using platform::GetU16;
using platform::PutI32;
using platform::PutU16;

namespace {

constexpr std::int32_t kHeaderRecordBytes = 36;
constexpr std::size_t kPageRecordTail = 8;  // page number, leftmost child
constexpr std::size_t kRecordImageHead = 8; // tag, 2 spare bytes, record number
constexpr std::int64_t kSectorBytes = 512;

void Append(Fileblock& fb, const unsigned char* bytes, std::size_t length) {
    fb.journal.pending.insert(fb.journal.pending.end(), bytes, bytes + length);
}

void MarkHeaderJournaled(Fileblock& fb, int index) {
    auto& headers = fb.journal.headers;
    if (headers.size() <= static_cast<std::size_t>(index))
        headers.resize(static_cast<std::size_t>(index) + 1);
    headers[static_cast<std::size_t>(index)] = true;
}

const unsigned char kEndTagBytes[2] = {kJournalEndTag & 0xFF, kJournalEndTag >> 8};

// What the files hold, taken once at the start of a replay: every record is checked against it.
struct ReplayBounds {
    std::int32_t indexPages = 0; // pages 1..indexPages lie inside the index file
    std::int64_t dataSize = 0;
};

bool FailReplay() {
    Fail(fberr::kRepairFailed);
    return false;
}

bool ChainSound(std::int32_t firstFree, std::int32_t freeCount, std::int32_t allocated) {
    if (allocated < 0 || freeCount < 0 || freeCount > allocated) return false;
    if (firstFree == -1) return freeCount == 0;
    return firstFree >= 1 && firstFree <= allocated && freeCount > 0;
}

// The link that a header record puts back into its first free slot: -2 none, else a link
// that slot can hold. A data record's slot may get any word back: a freed record's first 4
// bytes are journaled so.
bool LinkSound(std::int32_t link, std::int32_t firstFree, std::int32_t allocated, bool dataRecord) {
    if (link == kNoChainLink) return true;
    if (firstFree < 1) return false;
    if (dataRecord) return true;
    return link == -1 || (link >= 1 && link <= allocated && link != firstFree);
}

bool ReplayPage(Fileblock& fb, std::int64_t& at, int count, const ReplayBounds& bounds) {
    unsigned char keyBytes[2];
    FileReadAt(fb.dialogFile, at, 2, keyBytes);
    if (!FbOk) return false;
    at += 2;
    const int key = GetU16(keyBytes, 0);
    if (key < 1 || key > fb.numberOfKeys) return FailReplay();
    const int keyLength = fb.Key(key).keyLength;
    const std::size_t items = static_cast<std::size_t>(count) * (static_cast<std::size_t>(keyLength) + 9);
    const std::size_t rest = 2 + items + kPageRecordTail;
    std::vector<unsigned char> body(rest);
    FileReadAt(fb.dialogFile, at, static_cast<std::int32_t>(rest), body.data());
    if (!FbOk) return false;
    at += static_cast<std::int64_t>(rest);
    const std::int32_t page = GetI32(body.data(), rest - 8);
    const std::int32_t leftmost = GetI32(body.data(), rest - 4);
    if (page < 1 || page > bounds.indexPages) return FailReplay();
    PageBytes image{};
    PutU16(image.data(), 0, static_cast<std::uint16_t>(count));
    PutI32(image.data(), 2, leftmost);
    std::memcpy(image.data() + kPageHeadSize, body.data() + 2, items);
    PageBytes check = image;
    if (!UnpackSoundPage(check.data(), keyLength, kItemsPerPage, bounds.indexPages)) return FailReplay();
    FileWriteAt(fb.indexFile, PageOffset(fb, page, static_cast<std::uint16_t>(key)),
                static_cast<std::int32_t>(kPageHeadSize + items), image.data());
    return FbOk;
}

bool ReplayDataHeader(Fileblock& fb, const unsigned char* image, std::int32_t link,
                      const ReplayBounds& bounds) {
    DataHeaderImageBytes bytes{};
    std::copy(image, image + kDataHeaderBytes, bytes.begin());
    const DataHeader header = ParseDataHeader(bytes);
    Descriptor& d = fb.Data();
    const bool sound = header.recordLength == d.slotSize && header.numberOfKeys == fb.numberOfKeys &&
                       ChainSound(header.firstFree, header.freeCount, header.allocated) &&
                       (static_cast<std::int64_t>(header.allocated) + 1) * d.slotSize <= bounds.dataSize &&
                       LinkSound(link, header.firstFree, header.allocated, true);
    if (!sound) return FailReplay();
    if (link != kNoChainLink) {
        unsigned char linkBytes[4];
        PutI32(linkBytes, 0, link);
        FileWriteAt(fb.dataFile, SlotOffset(fb, header.firstFree, 0), 4, linkBytes);
        if (!FbOk) return false;
    }
    d.firstFree = header.firstFree;
    d.freeCount = header.freeCount;
    d.allocated = header.allocated;
    WriteDataHeader(fb, 0);
    if (FbOk) d.headerChanged = false;
    return FbOk;
}

bool ReplayKeyHeader(Fileblock& fb, int k, const unsigned char* image, std::int32_t link,
                     const ReplayBounds& bounds) {
    Descriptor& key = fb.Key(k);
    KeyHeaderBytes bytes{};
    std::copy(image, image + kKeyHeaderBytes, bytes.begin());
    Descriptor loaded = key;
    LoadKeyHeader(loaded, bytes);
    const bool sound = loaded.slotSize == key.slotSize && loaded.itemsPerPage == kItemsPerPage &&
                       bytes[20] == (key.duplicates ? 1 : 0) && loaded.allocated <= bounds.indexPages &&
                       ChainSound(loaded.firstFree, loaded.freeCount, loaded.allocated) && loaded.root >= 0 &&
                       loaded.root <= loaded.allocated && loaded.entryCount >= 0 &&
                       (loaded.root == 0) == (loaded.entryCount == 0) &&
                       LinkSound(link, loaded.firstFree, loaded.allocated, false);
    if (!sound) return FailReplay();
    if (link != kNoChainLink) {
        unsigned char linkBytes[4];
        PutI32(linkBytes, 0, link);
        FileWriteAt(fb.indexFile, SlotOffset(fb, loaded.firstFree, k), 4, linkBytes);
        if (!FbOk) return false;
    }
    key = loaded;
    key.freeChainChecked = false;
    key.cursorValid = false;
    key.pathDepth = 0;
    WriteKeyHeader(fb, k);
    if (FbOk) key.headerChanged = false;
    return FbOk;
}

// A record image puts back a record the header counts, inside the file.
bool ReplayRecordImage(Fileblock& fb, std::int64_t& at, const ReplayBounds& bounds) {
    unsigned char head[kRecordImageHead - 2];
    FileReadAt(fb.dialogFile, at, sizeof head, head);
    if (!FbOk) return false;
    at += sizeof head;
    const Descriptor& d = fb.Data();
    const std::int32_t record = GetI32(head, 2);
    const std::int64_t offset = SlotOffset(fb, record, 0);
    if (record < 1 || record > d.allocated || offset + d.slotSize > bounds.dataSize) return FailReplay();
    std::vector<unsigned char> bytes(static_cast<std::size_t>(d.slotSize));
    FileReadAt(fb.dialogFile, at, d.slotSize, bytes.data());
    if (!FbOk) return false;
    at += d.slotSize;
    FileWriteAt(fb.dataFile, offset, d.slotSize, bytes.data());
    return FbOk;
}

bool ReplayHeader(Fileblock& fb, std::int64_t& at, const ReplayBounds& bounds) {
    unsigned char body[kHeaderRecordBytes - 2];
    FileReadAt(fb.dialogFile, at, sizeof body, body);
    if (!FbOk) return false;
    at += sizeof body;
    const int index = GetU16(body, 0);
    const std::int32_t link = GetI32(body, 30);
    if (index > fb.numberOfKeys) return FailReplay();
    if (index == 0) return ReplayDataHeader(fb, body + 2, link, bounds);
    return ReplayKeyHeader(fb, index, body + 2, link, bounds);
}

// Length of the record at `at` of the records not yet written (they are this engine's own).
std::size_t PendingRecordLength(const Fileblock& fb, std::size_t at) {
    const std::vector<unsigned char>& pending = fb.journal.pending;
    const int tag = GetU16(pending.data(), at);
    if (tag == kJournalHeaderTag) return kHeaderRecordBytes;
    if (tag == kJournalRecordTag)
        return kRecordImageHead + static_cast<std::size_t>(fb.descriptors[0].slotSize);
    const int key = GetU16(pending.data(), at + 2);
    return kPageHeadSize + static_cast<std::size_t>(tag) * (fb.descriptors[key].keyLength + 9u) +
           kPageRecordTail;
}

// The tag that joins the next batch is written over the end tag at the end of this one; two
// bytes that straddle a sector could reach the disk one without the other. A batch that would
// end so repeats one of its records: a before-image put back twice is put back once.
void KeepEndOffSectorBoundary(Fileblock& fb) {
    std::vector<unsigned char>& pending = fb.journal.pending;
    if ((fb.journal.end + static_cast<std::int64_t>(pending.size())) % kSectorBytes != kSectorBytes - 1)
        return;
    for (std::size_t at = 0; at + 2 <= pending.size();) {
        const std::size_t length = PendingRecordLength(fb, at);
        if (length % kSectorBytes != 0) {
            const std::vector<unsigned char> copy(pending.begin() + static_cast<std::ptrdiff_t>(at),
                                                  pending.begin() + static_cast<std::ptrdiff_t>(at + length));
            pending.insert(pending.end(), copy.begin(), copy.end());
            return;
        }
        at += length;
    }
}

void ClearStep(Fileblock& fb) {
    fb.journal.pages.clear();
    fb.journal.headers.assign(static_cast<std::size_t>(fb.numberOfKeys) + 1, false);
}

} // namespace

HeaderImageBytes DataHeaderJournalImage(const Fileblock& fb) {
    HeaderImageBytes image{};
    const DataHeaderImageBytes data = DataHeaderImage(fb, 0);
    std::copy(data.begin(), data.end(), image.begin());
    return image;
}

void BeginJournalStep(Fileblock& fb) {
    ClearStep(fb);
    fb.journal.pending.clear();
}

void JournalPage(Fileblock& fb, PageBufferNode& node) {
    if (!fb.saveMode || !FbOk) return;
    if (!fb.journal.pages.insert({node.key, node.page}).second) return;
    const Descriptor& key = fb.Key(node.key);
    const int count = IndexPageView(node.buffer.data()).Count();
    if (count < 1 || count > kItemsPerPage) {
        Fail(fberr::kConsistency);
        return;
    }
    PageBytes packed = node.buffer;
    PackPage(packed.data(), key.keyLength);
    const std::size_t items = PackedPageLength(count, key.keyLength) - kPageHeadSize;
    const std::int32_t leftmost = GetI32(packed.data(), 2);
    std::vector<unsigned char> record(kPageHeadSize + items + kPageRecordTail);
    PutU16(record.data(), 0, static_cast<std::uint16_t>(count));
    PutU16(record.data(), 2, node.key);
    PutU16(record.data(), 4, static_cast<std::uint16_t>(static_cast<std::uint32_t>(leftmost) >> 16));
    std::memcpy(record.data() + kPageHeadSize, packed.data() + kPageHeadSize, items);
    PutI32(record.data(), kPageHeadSize + items, node.page);
    PutI32(record.data(), kPageHeadSize + items + 4, leftmost);
    Append(fb, record.data(), record.size());
    node.journaled = true;
}

bool HeaderJournaled(const Fileblock& fb, int index) {
    const auto& headers = fb.journal.headers;
    return static_cast<std::size_t>(index) < headers.size() && headers[static_cast<std::size_t>(index)];
}

void JournalHeader(Fileblock& fb, int index, const HeaderImageBytes& image, std::int32_t chainLink) {
    if (!fb.saveMode || !FbOk || HeaderJournaled(fb, index)) return;
    unsigned char record[kHeaderRecordBytes];
    PutU16(record, 0, kJournalHeaderTag);
    PutU16(record, 2, static_cast<std::uint16_t>(index));
    std::copy(image.begin(), image.end(), record + 4);
    PutI32(record, 32, chainLink);
    Append(fb, record, sizeof record);
    MarkHeaderJournaled(fb, index);
}

bool JournalRecordWord(Fileblock& fb, std::int32_t record, const std::array<unsigned char, 4>& word) {
    if (!fb.saveMode || !FbOk) return true;
    const std::int32_t link = GetI32(word.data(), 0);
    if (link == kNoChainLink) return false;
    // Replayed, it writes `link` into the image's first free slot, record `record`; the
    // header record that follows it puts the header back.
    HeaderImageBytes image = DataHeaderJournalImage(fb);
    PutI32(image.data(), 0, record);                                     // first free
    PutI32(image.data(), 4, WrappedAdd(fb.descriptors[0].freeCount, 1)); // free count
    unsigned char entry[kHeaderRecordBytes];
    PutU16(entry, 0, kJournalHeaderTag);
    PutU16(entry, 2, 0);
    std::copy(image.begin(), image.end(), entry + 4);
    PutI32(entry, 32, link);
    Append(fb, entry, sizeof entry);
    return true;
}

void JournalRecordImage(Fileblock& fb, std::int32_t record, std::span<const unsigned char> before) {
    if (!fb.saveMode || !FbOk) return;
    unsigned char head[kRecordImageHead] = {};
    PutU16(head, 0, kJournalRecordTag);
    PutI32(head, 4, record);
    Append(fb, head, sizeof head);
    Append(fb, before.data(), before.size());
}

void FlushJournal(Fileblock& fb) {
    JournalState& journal = fb.journal;
    if (!FbOk || journal.pending.empty()) return;
    KeepEndOffSectorBoundary(fb);
    const bool network = fb.network != nullptr;
    const std::int64_t at = journal.end;
    const auto length = static_cast<std::int64_t>(journal.pending.size());
    // The batch goes in behind the end tag at `at` (an empty journal gets one with its first
    // batch), with an end tag of its own; only once it is on the disk does its first tag
    // replace the end tag in front of it and join it to the records.
    std::vector<unsigned char> batch(journal.pending);
    std::copy(kEndTagBytes, kEndTagBytes + 2, batch.begin());
    batch.insert(batch.end(), kEndTagBytes, kEndTagBytes + 2);
    const std::int64_t from = at == 1 ? 0 : 2; // behind a batch its end tag is on the disk
    FileWriteAt(fb.dialogFile, at + from, static_cast<std::int32_t>(batch.size() - from),
                batch.data() + from);
    FileFlush(fb.dialogFile, network);
    FileWriteAt(fb.dialogFile, at, 2, journal.pending.data());
    FileFlush(fb.dialogFile, network);
    if (!FbOk) return;
    if (at == 1) std::copy(journal.pending.begin(), journal.pending.begin() + 2, journal.firstTag.begin());
    journal.end = at + length;
    journal.holdsRecords = true;
    journal.pending.clear();
    ClearJournalMarks(fb);
}

void EnsureWriteAhead(Fileblock& fb) {
    if (fb.saveMode && !fb.journal.pending.empty()) FlushJournal(fb);
}

void ResetDialog(Fileblock& fb) {
    if (!FbOk) return;
    const bool network = fb.network != nullptr;
    // An end tag over the first record empties the journal in one write of one sector; then
    // the file is cut back to byte 0, the empty dialog file. Until that cut is on the disk
    // the end tag stands first, and a file that begins with it holds nothing.
    if (fb.journal.holdsRecords || FileSize(fb.dialogFile) > 1) {
        FileWriteAt(fb.dialogFile, 1, 2, kEndTagBytes);
        FileFlush(fb.dialogFile, network);
        if (!FbOk) return;
    }
    fb.journal.end = 1;
    fb.journal.holdsRecords = false;
    fb.journal.pending.clear();
    ClearJournalMarks(fb);
    KeptFailure kept;
    FileWriteAt(fb.dialogFile, 1, 0, nullptr); // a length of 0 cuts the file there
    FileFlush(fb.dialogFile, network);
}

void ReplayDialog(Fileblock& fb) {
    ResetStatus();
    DropPages(fb);
    fb.journal.pending.clear();
    ClearStep(fb);
    ReplayBounds bounds;
    if (fb.numberOfKeys > 0 && fb.rowSize > 0) {
        const std::int64_t size = FileSize(fb.indexFile);
        bounds.indexPages = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(size / fb.rowSize - 1, 0, std::numeric_limits<std::int32_t>::max()));
    }
    bounds.dataSize = FileSize(fb.dataFile);
    unsigned char first = 0;
    FileReadAt(fb.dialogFile, 0, 1, &first);
    std::int64_t at = 1;
    while (FbOk) {
        unsigned char tagBytes[2];
        FileReadAt(fb.dialogFile, at, 2, tagBytes);
        if (!FbOk) break;
        at += 2;
        const int tag = GetU16(tagBytes, 0);
        if (tag >= 1 && tag <= kItemsPerPage)
            ReplayPage(fb, at, tag, bounds);
        else if (tag == kJournalHeaderTag)
            ReplayHeader(fb, at, bounds);
        else if (tag == kJournalRecordTag)
            ReplayRecordImage(fb, at, bounds);
        else if (tag == kJournalEndTag)
            break;
        else
            FailReplay();
    }
    for (int k = 1; k <= fb.numberOfKeys; ++k) {
        fb.Key(k).cursorValid = false;
        fb.Key(k).pathDepth = 0;
    }
}

void RepairFileblock(Fileblock& fb) {
    if (fb.readOnly) {
        Fail(fberr::kNoRepairReadOnly);
        return;
    }
    ReplayDialog(fb);
    if (FbErrorCode != 0 && FbErrorCode != fberr::kReadError) {
        Fail(fberr::kRepairFailed);
        return;
    }
    // The end of the file inside or before a record ends a journal cut short: what was read
    // stays applied, and the same commit steps follow as after an end tag.
    ResetStatus();
    if (fb.numberOfKeys > 0) FileFlush(fb.indexFile, fb.network != nullptr);
    WriteDataHeader(fb, 0);
    FileFlush(fb.dataFile, fb.network != nullptr);
    ResetDialog(fb);
    if (!FbOk) Fail(fberr::kRepairFailed);
}

bool CommitJournalStep(Fileblock& fb, void (*commit)(Fileblock& fb)) {
    FlushJournal(fb);
    if (FbOk && commit) commit(fb);
    if (FbOk && fb.journal.holdsRecords) {
        ResetDialog(fb);
        if (!FbOk) {
            // The journal may be cut off already: it goes back whole, so the change can be undone.
            KeptFailure kept;
            FileWriteAt(fb.dialogFile, 1, 2, fb.journal.firstTag.data());
        }
    }
    if (!FbOk) return false;
    ClearStep(fb);
    return true;
}

void UndoJournalStep(Fileblock& fb, std::int32_t undoneCode) {
    EngineState& engine = Engine();
    const std::uint16_t functionCode = engine.lastFunctionCode;
    const std::uint32_t systemError = engine.lastSystemError;
    RepairFileblock(fb);
    ClearStep(fb);
    if (!FbOk) {
        // The journal stays in the dialog file; the next open replays it.
        fb.damaged = true;
        return;
    }
    Fail(undoneCode);
    engine.lastFunctionCode = functionCode;
    engine.lastSystemError = systemError;
}

} // namespace storage
