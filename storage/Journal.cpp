#include "storage/Journal.h"

#include "storage/DataFile.h"
#include "storage/FilePrimitives.h"
#include "storage/IndexPage.h"
#include "storage/KeyHeader.h"
#include "storage/Network.h"
#include "storage/PageCache.h"
#include "storage/Slots.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
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
constexpr std::uint16_t kCleanStationTableTag = 2000;

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
// `allocated` follows the data headers the replay puts back, as the records' count does.
struct ReplayBounds {
    std::int32_t indexPages = 0; // pages 1..indexPages lie inside the index file
    std::int64_t dataSize = 0;
    std::int32_t allocated = 0;
    JournalDataHeaders found; // what the records walked so far put back
};

bool FailReplay() {
    Fail(fberr::kRepairFailed);
    return false;
}

// How the records of a journal are framed: the keys' lengths and the records' length.
struct JournalLayout {
    int numberOfKeys = 0;
    std::vector<int> keyLengths; // of key k at k; [0] unused
    std::int32_t recordLength = 0;
};

// Walks the journal records of `dialog` in file order, handing each (its tag and the bytes
// after it) to `visit`, which returns false to end the walk with its code. An end tag ends it;
// so does the end of the file inside or before a page or header record (a journal of another
// engine cut short). A record image is this engine's own and always followed by the tag that
// closes its batch: one that does not lie wholly inside the file with that tag behind it is no
// image of the file's records (10180), nor is an unknown tag or a key outside the keys.
template <typename Visit> bool WalkJournal(FileRecord& dialog, const JournalLayout& layout, Visit visit) {
    const std::int64_t size = FileSize(dialog);
    if (!FbOk) return false;
    std::vector<unsigned char> body;
    bool afterImage = false;
    for (std::int64_t at = 1;;) {
        if (at + 2 > size) return afterImage ? FailReplay() : true;
        unsigned char tagBytes[2];
        FileReadAt(dialog, at, 2, tagBytes);
        if (!FbOk) return false;
        at += 2;
        const int tag = GetU16(tagBytes, 0);
        if (tag == kJournalEndTag) return true;
        std::int64_t length = 0;
        if (tag >= 1 && tag <= kItemsPerPage) {
            if (at + 2 > size) return true;
            unsigned char keyBytes[2];
            FileReadAt(dialog, at, 2, keyBytes);
            if (!FbOk) return false;
            const int key = GetU16(keyBytes, 0);
            if (key < 1 || key > layout.numberOfKeys) return FailReplay();
            length = static_cast<std::int64_t>(kPageHeadSize) - 2 +
                     static_cast<std::int64_t>(tag) * (layout.keyLengths[static_cast<std::size_t>(key)] + 9) +
                     static_cast<std::int64_t>(kPageRecordTail);
        } else if (tag == kJournalHeaderTag) {
            length = kHeaderRecordBytes - 2;
        } else if (tag == kJournalRecordTag) {
            if (layout.recordLength < kMinRecordLength) return FailReplay();
            length = static_cast<std::int64_t>(kRecordImageHead - 2) + layout.recordLength;
        } else {
            return FailReplay();
        }
        if (at + length > size) return tag == kJournalRecordTag ? FailReplay() : true;
        try {
            body.resize(static_cast<std::size_t>(length));
        } catch (const std::bad_alloc&) {
            return FailReplay();
        }
        FileReadAt(dialog, at, static_cast<std::int32_t>(length), body.data());
        if (!FbOk) return false;
        at += length;
        if (!visit(tag, body)) return false;
        afterImage = tag == kJournalRecordTag;
    }
}

JournalLayout LayoutOf(const Fileblock& fb) {
    JournalLayout layout;
    layout.numberOfKeys = fb.numberOfKeys;
    layout.keyLengths.assign(static_cast<std::size_t>(fb.numberOfKeys) + 1, 0);
    for (int k = 1; k <= fb.numberOfKeys; ++k)
        layout.keyLengths[static_cast<std::size_t>(k)] =
            fb.descriptors[static_cast<std::size_t>(k)].keyLength;
    layout.recordLength = fb.descriptors[0].slotSize;
    return layout;
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

// Each record below is checked against the Fileblock and the bounds; only with `apply` is it
// written. A replay checks every record before it writes the first.
bool ReplayPage(Fileblock& fb, int count, std::span<const unsigned char> body, const ReplayBounds& bounds,
                bool apply) {
    const int key = GetU16(body.data(), 0);
    const int keyLength = fb.Key(key).keyLength;
    const std::size_t items = static_cast<std::size_t>(count) * (static_cast<std::size_t>(keyLength) + 9);
    const std::size_t rest = body.size();
    const std::int32_t page = GetI32(body.data(), rest - 8);
    const std::int32_t leftmost = GetI32(body.data(), rest - 4);
    if (page < 1 || page > bounds.indexPages) return FailReplay();
    PageBytes image{};
    PutU16(image.data(), 0, static_cast<std::uint16_t>(count));
    PutI32(image.data(), 2, leftmost);
    std::memcpy(image.data() + kPageHeadSize, body.data() + kPageHeadSize - 2, items);
    PageBytes check = image;
    if (!UnpackSoundPage(check.data(), keyLength, kItemsPerPage, bounds.indexPages)) return FailReplay();
    if (!apply) return true;
    FileWriteAt(fb.indexFile, PageOffset(fb, page, static_cast<std::uint16_t>(key)),
                static_cast<std::int32_t>(kPageHeadSize + items), image.data());
    return FbOk;
}

// A data header image a journal holds for records of `recordLength` bytes and `keys` keys.
bool DataHeaderSound(const DataHeader& header, std::int32_t link, std::int32_t recordLength, int keys,
                     std::int64_t dataSize) {
    return header.recordLength == recordLength && header.numberOfKeys == static_cast<std::uint32_t>(keys) &&
           ChainSound(header.firstFree, header.freeCount, header.allocated) &&
           (static_cast<std::int64_t>(header.allocated) + 1) * recordLength <= dataSize &&
           LinkSound(link, header.firstFree, header.allocated, true);
}

DataHeader DataHeaderOf(const unsigned char* image) {
    DataHeaderImageBytes bytes{};
    std::copy(image, image + kDataHeaderBytes, bytes.begin());
    return ParseDataHeader(bytes);
}

// What a data header image puts back into the data file itself: checked against records of
// `recordLength` bytes and `keys` keys, its count taken into `bounds`, and with `apply` the
// chain word of its first free record written back.
bool PutBackDataHeader(FileRecord& data, std::int32_t recordLength, int keys, const unsigned char* image,
                       std::int32_t link, ReplayBounds& bounds, bool apply, DataHeader& header) {
    header = DataHeaderOf(image);
    if (!DataHeaderSound(header, link, recordLength, keys, bounds.dataSize)) return FailReplay();
    bounds.allocated = header.allocated;
    bounds.found.images.push_back(header);
    bounds.found.lastLink = link;
    if (!apply || link == kNoChainLink) return true;
    unsigned char linkBytes[4];
    PutI32(linkBytes, 0, link);
    FileWriteAt(data, static_cast<std::int64_t>(header.firstFree) * recordLength, 4, linkBytes);
    return FbOk;
}

bool ReplayDataHeader(Fileblock& fb, const unsigned char* image, std::int32_t link, ReplayBounds& bounds,
                      bool apply) {
    Descriptor& d = fb.Data();
    DataHeader header;
    if (!PutBackDataHeader(fb.dataFile, d.slotSize, fb.numberOfKeys, image, link, bounds, apply, header))
        return false;
    if (!apply) return true;
    d.firstFree = header.firstFree;
    d.freeCount = header.freeCount;
    d.allocated = header.allocated;
    WriteDataHeader(fb, 0);
    if (FbOk) d.headerChanged = false;
    return FbOk;
}

bool ReplayKeyHeader(Fileblock& fb, int k, const unsigned char* image, std::int32_t link,
                     const ReplayBounds& bounds, bool apply) {
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
    if (!apply) return true;
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

// The record a record image puts back: one the header counts, wholly inside the data file.
bool ImageFits(std::int32_t record, std::int32_t recordLength, const ReplayBounds& bounds) {
    return record >= 1 && record <= bounds.allocated &&
           (static_cast<std::int64_t>(record) + 1) * recordLength <= bounds.dataSize;
}

// A record image (the bytes after its tag) checked against the bounds, and with `apply` written
// back over its record of `recordLength` bytes.
bool PutBackRecordImage(FileRecord& data, std::int32_t recordLength, std::span<const unsigned char> body,
                        ReplayBounds& bounds, bool apply) {
    const std::int32_t record = GetI32(body.data(), 2);
    if (!ImageFits(record, recordLength, bounds)) return FailReplay();
    bounds.found.recordImage = true;
    if (!apply) return true;
    FileWriteAt(data, static_cast<std::int64_t>(record) * recordLength, recordLength,
                body.data() + kRecordImageHead - 2);
    return FbOk;
}

bool ReplayHeader(Fileblock& fb, std::span<const unsigned char> body, ReplayBounds& bounds, bool apply) {
    const int index = GetU16(body.data(), 0);
    const std::int32_t link = GetI32(body.data(), 30);
    if (index > fb.numberOfKeys) return FailReplay();
    if (index == 0) return ReplayDataHeader(fb, body.data() + 2, link, bounds, apply);
    return ReplayKeyHeader(fb, index, body.data() + 2, link, bounds, apply);
}

// One walk over the journal of the Fileblock's dialog file: checking only, or writing.
bool WalkFileblockJournal(Fileblock& fb, ReplayBounds& bounds, bool apply) {
    return WalkJournal(fb.dialogFile, LayoutOf(fb), [&](int tag, std::span<const unsigned char> body) {
        if (tag == kJournalHeaderTag) return ReplayHeader(fb, body, bounds, apply);
        if (tag == kJournalRecordTag)
            return PutBackRecordImage(fb.dataFile, fb.Data().slotSize, body, bounds, apply);
        return ReplayPage(fb, tag, body, bounds, apply);
    });
}

ReplayBounds BoundsOf(Fileblock& fb) {
    ReplayBounds bounds;
    if (fb.numberOfKeys > 0 && fb.rowSize > 0) {
        const std::int64_t size = FileSize(fb.indexFile);
        bounds.indexPages = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(size / fb.rowSize - 1, 0, std::numeric_limits<std::int32_t>::max()));
    }
    bounds.dataSize = FileSize(fb.dataFile);
    bounds.allocated = fb.Data().allocated;
    return bounds;
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
    FileTruncateAt(fb.dialogFile, 1);
    FileFlush(fb.dialogFile, network);
}

namespace {

// Every record is checked before the first is written: a journal that cannot be replayed
// whole is left as it is, and the files with it.
bool ReplayRecords(Fileblock& fb, ReplayBounds& bounds) {
    ResetStatus();
    DropPages(fb);
    fb.journal.pending.clear();
    ClearStep(fb);
    bounds = BoundsOf(fb);
    if (!FbOk) return false;
    ReplayBounds checked = bounds;
    bool replayed = WalkFileblockJournal(fb, checked, false) && WalkFileblockJournal(fb, bounds, true);
    for (int k = 1; k <= fb.numberOfKeys; ++k) {
        fb.Key(k).cursorValid = false;
        fb.Key(k).pathDepth = 0;
    }
    return replayed;
}

// Records past the count are those of an append the replay undid: a file at rest holds the
// records its header counts and no more.
void CutToCount(FileRecord& data, std::int32_t recordLength, std::int32_t allocated) {
    const std::int64_t counted = (static_cast<std::int64_t>(allocated) + 1) * recordLength;
    const std::int64_t size = FileSize(data);
    if (FbOk && size > counted) FileTruncateAt(data, counted);
}

} // namespace

bool CheckJournal(Fileblock& fb, JournalDataHeaders& dataHeaders) {
    ResetStatus();
    ReplayBounds bounds = BoundsOf(fb);
    if (!FbOk) return false;
    if (!WalkFileblockJournal(fb, bounds, false)) return false;
    dataHeaders = bounds.found;
    return true;
}

bool UndoesAppendAtEnd(const JournalDataHeaders& journal) {
    return journal.images.size() == 1 && !journal.recordImage && journal.images.back().firstFree == -1;
}

namespace {

bool SameCounters(const DataHeader& a, const DataHeader& b) {
    return a.firstFree == b.firstFree && a.freeCount == b.freeCount && a.allocated == b.allocated;
}

// The state an append leaves behind the one it journaled: a record more at the end, or the
// chain's head taken.
DataHeader AfterAppend(const DataHeader& before, std::int32_t link) {
    DataHeader after = before;
    if (before.firstFree == -1) {
        after.allocated = WrappedAdd(before.allocated, 1);
    } else {
        after.firstFree = link;
        after.freeCount = WrappedAdd(before.freeCount, -1);
    }
    return after;
}

} // namespace

bool FitsDataHeader(const JournalDataHeaders& journal, const DataHeader& file) {
    if (journal.images.empty()) return true;
    // Each image is a state the file had: before the change, or (a free's chain word) after it.
    for (const DataHeader& image : journal.images)
        if (SameCounters(image, file)) return true;
    const bool append = journal.images.size() == 1 && !journal.recordImage;
    return append && SameCounters(AfterAppend(journal.images.back(), journal.lastLink), file);
}

bool FitsRecordCount(const JournalDataHeaders& journal, std::int32_t records) {
    if (journal.images.empty()) return true;
    const std::int32_t before = journal.images.back().allocated;
    return before == records || (UndoesAppendAtEnd(journal) && before == WrappedAdd(records, -1));
}

void ReplayDialog(Fileblock& fb) {
    ReplayBounds bounds;
    ReplayRecords(fb, bounds);
}

void RepairFileblock(Fileblock& fb) {
    if (fb.readOnly) {
        Fail(fberr::kNoRepairReadOnly);
        return;
    }
    ReplayBounds bounds;
    if (!ReplayRecords(fb, bounds)) {
        Fail(fberr::kRepairFailed);
        return;
    }
    ResetStatus();
    if (fb.numberOfKeys > 0) FileFlush(fb.indexFile, fb.network != nullptr);
    if (!bounds.found.images.empty()) CutToCount(fb.dataFile, fb.Data().slotSize, fb.Data().allocated);
    WriteDataHeader(fb, 0);
    FileFlush(fb.dataFile, fb.network != nullptr);
    ResetDialog(fb);
    if (!FbOk) Fail(fberr::kRepairFailed);
}

DialogContent ExamineDialog(FileRecord& dialog, int numberOfKeys) {
    const std::int64_t size = FileSize(dialog);
    if (!FbOk) return DialogContent::Journal;
    // A file of 0 bytes is one whose creation was cut short: it holds nothing.
    if (size <= 1) return DialogContent::Empty;
    unsigned char tag[2] = {};
    FileReadAt(dialog, 1, 2, tag);
    if (!FbOk) return DialogContent::Journal;
    // A first tag of 0: the first batch of a journal was cut short before it was joined in
    // (its first tag is written last, over the end tag it brought), so it holds nothing.
    if (GetU16(tag, 0) == 0) return DialogContent::Empty;
    if (GetU16(tag, 0) != kCleanStationTableTag) return DialogContent::Journal;
    const std::int64_t bytesPerStation = BytesPerStation(numberOfKeys);
    if (size == 3 + bytesPerStation || IsNetworkStationTable(size, numberOfKeys))
        return DialogContent::CleanTable;
    // An end tag first: a journal emptied by save mode (records behind it were never joined).
    return DialogContent::Empty;
}

namespace {

// A reindex's walk: only what concerns the data file, at the reindex's record length.
bool VisitForData(FileRecord& data, const JournalLayout& layout, ReplayBounds& bounds, bool apply, int tag,
                  std::span<const unsigned char> body) {
    if (tag == kJournalRecordTag) return PutBackRecordImage(data, layout.recordLength, body, bounds, apply);
    if (tag != kJournalHeaderTag) return true; // a page of the index that is made anew
    const int index = GetU16(body.data(), 0);
    if (index > layout.numberOfKeys) return FailReplay();
    if (index != 0) return true;
    DataHeader header;
    return PutBackDataHeader(data, layout.recordLength, layout.numberOfKeys, body.data() + 2,
                             GetI32(body.data(), 30), bounds, apply, header);
}

bool WalkForData(FileRecord& dialog, FileRecord& data, const JournalLayout& layout, ReplayBounds& bounds,
                 bool apply) {
    return WalkJournal(dialog, layout, [&](int tag, std::span<const unsigned char> body) {
        return VisitForData(data, layout, bounds, apply, tag, body);
    });
}

JournalLayout DataLayout(std::int32_t recordLength, const std::vector<int>& keyLengths) {
    JournalLayout layout;
    layout.numberOfKeys = static_cast<int>(keyLengths.size());
    layout.keyLengths.push_back(0);
    layout.keyLengths.insert(layout.keyLengths.end(), keyLengths.begin(), keyLengths.end());
    layout.recordLength = recordLength;
    return layout;
}

ReplayBounds DataBounds(FileRecord& data, std::int32_t recordLength) {
    ReplayBounds bounds;
    bounds.dataSize = FileSize(data);
    bounds.allocated = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        bounds.dataSize / recordLength - 1, 0, std::numeric_limits<std::int32_t>::max()));
    return bounds;
}

} // namespace

LeftoverJournal ExamineLeftoverJournal(FileRecord& dialog, FileRecord& data, std::int32_t recordLength,
                                       const std::vector<int>& keyLengths, bool* putsBackRecords) {
    const int keys = static_cast<int>(keyLengths.size());
    const DialogContent content = ExamineDialog(dialog, keys);
    // A dialog file cut inside its first tag holds no record either.
    if (!FbOk && FbErrorCode == fberr::kReadError) {
        ResetStatus();
        return LeftoverJournal::None;
    }
    if (!FbOk) return LeftoverJournal::Unusable;
    if (content != DialogContent::Journal) return LeftoverJournal::None;
    ReplayBounds bounds = DataBounds(data, recordLength);
    const std::int32_t records = bounds.allocated;
    const bool usable = FbOk &&
                        WalkForData(dialog, data, DataLayout(recordLength, keyLengths), bounds, false) &&
                        FitsRecordCount(bounds.found, records);
    if (putsBackRecords) *putsBackRecords = !bounds.found.images.empty() || bounds.found.recordImage;
    ResetStatus();
    return usable ? LeftoverJournal::Replayable : LeftoverJournal::Unusable;
}

bool ReplayLeftoverJournal(FileRecord& dialog, FileRecord& data, std::int32_t recordLength,
                           const std::vector<int>& keyLengths) {
    const JournalLayout layout = DataLayout(recordLength, keyLengths);
    ReplayBounds bounds = DataBounds(data, recordLength);
    if (!FbOk) return false;
    ReplayBounds checked = bounds;
    if (!WalkForData(dialog, data, layout, checked, false) ||
        !FitsRecordCount(checked.found, bounds.allocated) || !WalkForData(dialog, data, layout, bounds, true))
        return false;
    if (!bounds.found.images.empty()) CutToCount(data, recordLength, bounds.allocated);
    FileFlush(data);
    return FbOk;
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
