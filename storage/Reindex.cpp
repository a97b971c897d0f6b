// FbReindex: a Fileblock's index rebuilt from its data file alone, the caller telling which
// records are live and what their keys are. The new trees are built in memory, written to a
// new index file and renamed over the old one; the data file changes only after that file is
// on the disk, and its header, written last, is what calls the Fileblock clean again.
#include "storage/BTree.h"
#include "storage/DataFile.h"
#include "storage/FileNames.h"
#include "storage/FilePrimitives.h"
#include "storage/IndexFile.h"
#include "storage/IndexPage.h"
#include "storage/Journal.h"
#include "storage/KeyHeader.h"
#include "storage/RebuildLeftovers.h"
#include "storage/Slots.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <new>
#include <string_view>

namespace storage {
namespace {

namespace win32 = platform::win32;

constexpr std::int32_t kRecordsPerRead = 1024;
constexpr std::int32_t kReadBytes = 1 << 20;
constexpr std::int32_t kRowsPerWrite = 64;
// The mark of a reindex under way, in the data header beside the in-use mark: the three bytes
// above the low byte of the number of keys (all that is read of it) hold the number the
// reindex's first addition gets. Set before its first change; the header written at its end
// clears it. 0: none.
constexpr std::int64_t kUnfinishedMarkOffset = 17;
constexpr std::int32_t kLargestMark = 0xFFFFFF;
// The mark is written with the in-use byte that follows it, in one write.
static_assert(kUnfinishedMarkOffset + 3 == kDataInUseOffset);

// The pages of one key's new tree, all in memory: the tree is only ever added to.
class MemoryPages final : public PageAccess {
public:
    explicit MemoryPages(Descriptor& key) : key_(key) {}

    unsigned char* Read(std::int32_t page) override { return At(page); }
    unsigned char* Modify(std::int32_t page) override { return At(page); }
    unsigned char* New(std::int32_t& page) override {
        if (pages_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            storage::Fail(fberr::kReindexFailed);
            return nullptr;
        }
        try {
            pages_.emplace_back();
        } catch (const std::bad_alloc&) {
            storage::Fail(fberr::kNoMemoryCreate);
            return nullptr;
        }
        pages_.back().fill(0);
        page = static_cast<std::int32_t>(pages_.size());
        key_.allocated = page;
        return pages_.back().data();
    }
    bool Release(std::int32_t) override {
        storage::Fail(fberr::kReindexFailed);
        return false;
    }
    void Fail(int code) override { storage::Fail(code); }

    const PageBytes& Page(std::int32_t page) const { return pages_[static_cast<std::size_t>(page - 1)]; }

private:
    unsigned char* At(std::int32_t page) {
        if (page < 1 || static_cast<std::size_t>(page) > pages_.size()) {
            storage::Fail(fberr::kReindexFailed);
            return nullptr;
        }
        return pages_[static_cast<std::size_t>(page - 1)].data();
    }

    Descriptor& key_;
    std::deque<PageBytes> pages_;
};

// A new file beside `path`, created exclusively and never through a link: the first of its
// rebuild names that is free (the leftovers of earlier rebuilds are gone by now).
bool CreateBeside(const std::string& path, FileRecord& file) {
    for (const std::string& name : FbRebuildNames(path)) {
        FileSetName(file, name);
        platform::FileHandle handle = -1;
        const auto error =
            platform::Files().Open(file.name, platform::FileDisposition::CreateNew,
                                   platform::FileAccess::ReadWrite, platform::FileSharing::Exclusive, handle);
        if (error == win32::kFileExists) continue;
        if (error != win32::kSuccess) {
            FileSetName(file, {});
            LastFileError() = {fn::kOpen, error};
            FailFromSystem(MapCreateError(error));
            return false;
        }
        file.handle = handle;
        file.exclusive = true;
        file.position = 0;
        return true;
    }
    FileSetName(file, {}); // every name was taken: none of them is ours
    Fail(fberr::kAccessNotPossible);
    return false;
}

void RenameOver(FileRecord& from, const std::string& to) {
    if (!FbOk) return;
    const auto error = platform::Files().Rename(from.name, to);
    if (error != win32::kSuccess) {
        LastFileError() = {fn::kOpen, error};
        FailFromSystem(fberr::kAccessNotPossible);
        return;
    }
    FileSetName(from, to);
    FileFlushFolder(from);
}

// The keys' lengths, key 1 first.
std::vector<int> KeyLengths(const TKeySpecs& keys, int numberOfKeys) {
    std::vector<int> lengths;
    for (int k = 0; k < numberOfKeys; ++k)
        lengths.push_back(keys[static_cast<std::size_t>(k)].keyLength);
    return lengths;
}

// The new index and dialog files are renamed over the old names: over a link they would take
// the link's place and leave the file it leads to as it was. Refused with 10140.
bool RenamesOverALink(const TFileSetState& files) {
    if (!files.index.link && !files.dialog.link) return false;
    Fail(fberr::kAccessNotPossible);
    return true;
}

struct Rewrite {
    std::int32_t record = 0;
    std::vector<unsigned char> bytes;
};

// One reindex, from the data file's check to its header.
class Reindex {
public:
    Reindex(const std::string& fileName, std::int32_t recordLength, std::uint16_t numberOfKeys,
            FbReindexPlan& plan)
        : names_(NamesOf(fileName)), recordLength_(recordLength), plan_(plan) {
        work_.numberOfKeys = static_cast<std::uint8_t>(numberOfKeys);
    }
    ~Reindex() {
        KeptFailure kept;
        for (FileRecord* temporary : {&work_.indexFile, &dialog_}) {
            if (temporary->IsOpen()) FileClose(*temporary);
            ResetStatus();
            if (!temporary->name.empty() && temporary->name != names_.index &&
                temporary->name != names_.dialog)
                FileDelete(*temporary);
            ResetStatus();
        }
        if (work_.dataFile.IsOpen()) {
            RemoveRebuildLeftovers(names_);
            FileClose(work_.dataFile);
        }
    }
    Reindex(const Reindex&) = delete;
    Reindex& operator=(const Reindex&) = delete;

    void Run(const TKeySpecs& keys, const TFileSetState& files, TReindexCounts& counts) {
        OpenDataFile();
        // Under the data file's lock, before a name is picked.
        if (FbOk) RemoveRebuildLeftovers(names_);
        if (FbOk) ReplayJournal(keys, files.dialog);
        if (FbOk) CutPartialRecord();
        if (FbOk && FirstAddition() <= allocated_) plan_.ResumeUnfinished(FirstAddition());
        if (FbOk) ExamineRecords();
        if (FbOk) TakeAdditions();
        if (FbOk) CreateIndexFile(keys);
        if (FbOk) DecideRecords();
        if (FbOk) WriteIndexFile();
        if (FbOk && files.dialog.problem == TFileProblem::None) CreateEmptyDialog();
        if (!FbOk) return;
        // From here the files change; the marks stay until the header is written.
        MarkUnfinished();
        RenameOver(work_.indexFile, names_.index);
        WriteRecords();
        if (!dialog_.name.empty()) RenameOver(dialog_, names_.dialog);
        WriteHeader();
        if (!FbOk) return;
        RemoveRebuildLeftovers(names_);
        FileClose(work_.dataFile);
        counts.records = records_;
        counts.live = live_;
        counts.free = static_cast<std::int32_t>(free_.size());
    }

private:
    void OpenDataFile() {
        FileSetName(work_.dataFile, names_.data);
        FileOpenExisting(work_.dataFile, false, false);
        const std::int64_t size = FileSize(work_.dataFile);
        if (!FbOk) return;
        if (size < recordLength_) {
            Fail(fberr::kReindexFailed);
            return;
        }
        DataHeaderImageBytes image{};
        FileReadAt(work_.dataFile, 0, kDataHeaderBytes, image.data());
        if (!FbOk) return;
        const DataHeader header = ParseDataHeader(image);
        // A damaged record length is taken for the caller's when the file is made of such records.
        const bool lengthFits = header.recordLength == recordLength_ || size % recordLength_ == 0;
        const std::int64_t allocated = size / recordLength_ - 1;
        if (header.numberOfKeys != work_.numberOfKeys || !lengthFits ||
            allocated >= std::numeric_limits<std::int32_t>::max() / 2) {
            Fail(fberr::kReindexFailed);
            return;
        }
        allocated_ = static_cast<std::int32_t>(allocated);
        if (image[kDataInUseOffset] == 1)
            unfinished_ = image[kUnfinishedMarkOffset] | image[kUnfinishedMarkOffset + 1] << 8 |
                          image[kUnfinishedMarkOffset + 2] << 16;
        markOnDisk_ = unfinished_;
    }

    // Where this reindex's additions begin: where those of one that did not end began, when
    // they may be among the records, else after the last record.
    std::int32_t FirstAddition() const {
        return unfinished_ != 0 && unfinished_ <= allocated_ + 1 ? unfinished_ : allocated_ + 1;
    }

    // Before each change: the file is in use and a reindex of it under way, its additions from
    // FirstAddition on (a reindex run again after a kill adopts only what it finds there).
    void MarkUnfinished() {
        const std::int32_t mark = std::min(FirstAddition(), kLargestMark);
        if (!FbOk || mark == markOnDisk_) return;
        const unsigned char bytes[4] = {static_cast<unsigned char>(mark & 0xFF),
                                        static_cast<unsigned char>((mark >> 8) & 0xFF),
                                        static_cast<unsigned char>(mark >> 16), 1};
        FileWriteAt(work_.dataFile, kUnfinishedMarkOffset, 4, bytes);
        FileFlush(work_.dataFile);
        if (FbOk) markOnDisk_ = mark;
    }

    // A journal the dialog file holds is put back into the data file before its records are
    // read, so a change a crash cut short is wholly undone; the new, empty dialog file goes over
    // it only afterwards. One that cannot be replayed is refused unless the caller set it aside.
    // Once put back and on the disk, it is spent before anything else is written: a reindex run
    // again after a kill never puts it back over what this one added.
    void ReplayJournal(const TKeySpecs& keys, const TFileState& dialog) {
        if (dialog.problem != TFileProblem::None) return;
        FileRecord journal;
        FileSetName(journal, names_.dialog);
        FileOpenExisting(journal, false, false);
        if (!FbOk) return;
        const std::vector<int> keyLengths = KeyLengths(keys, work_.numberOfKeys);
        bool putsBackRecords = false;
        const LeftoverJournal found =
            ExamineLeftoverJournal(journal, work_.dataFile, recordLength_, keyLengths, &putsBackRecords);
        // One of the old index alone has nothing to put back: the new index replaces it.
        if (FbOk && found == LeftoverJournal::Replayable && putsBackRecords) {
            MarkUnfinished();
            if (FbOk && !ReplayLeftoverJournal(journal, work_.dataFile, recordLength_, keyLengths))
                Fail(fberr::kRepairFailed);
            if (FbOk) FileTruncateAt(journal, 1);
            if (FbOk) FileFlush(journal);
            if (FbOk) CountRecords();
        } else if (FbOk && found == LeftoverJournal::Unusable &&
                   journalUse_ != TLeftoverJournalUse::SetAside) {
            Fail(fberr::kRepairFailed);
        }
        KeptFailure kept;
        FileClose(journal);
    }

    // Bytes past the last whole record are what a torn append left: the file ends at its
    // records, as the header written last will count them.
    void CutPartialRecord() {
        const std::int64_t whole = (static_cast<std::int64_t>(allocated_) + 1) * recordLength_;
        const std::int64_t size = FileSize(work_.dataFile);
        if (!FbOk || size <= whole) return;
        MarkUnfinished();
        FileTruncateAt(work_.dataFile, whole);
        FileFlush(work_.dataFile);
    }

    void CountRecords() {
        const std::int64_t size = FileSize(work_.dataFile);
        if (FbOk) allocated_ = static_cast<std::int32_t>(size / recordLength_ - 1);
    }

public:
    void SetJournalUse(TLeftoverJournalUse use) { journalUse_ = use; }

private:
    // Each stored record of 1..allocated in turn, read in batches, handed to `visit`.
    template <typename Visit> void ForEachStored(Visit visit) {
        // Batches of at most kReadBytes (one record when records are longer).
        const std::int32_t perRead = std::clamp<std::int32_t>(kReadBytes / recordLength_, 1, kRecordsPerRead);
        std::vector<unsigned char> chunk(static_cast<std::size_t>(perRead) *
                                         static_cast<std::size_t>(recordLength_));
        const auto length = static_cast<std::size_t>(recordLength_);
        for (std::int32_t first = 1; first <= allocated_ && FbOk; first += perRead) {
            const std::int32_t count = std::min(perRead, allocated_ - first + 1);
            FileReadAt(work_.dataFile, static_cast<std::int64_t>(first) * recordLength_,
                       count * recordLength_, chunk.data());
            for (std::int32_t i = 0; i < count && FbOk; ++i)
                visit(first + i,
                      std::span<unsigned char>(chunk.data() + static_cast<std::size_t>(i) * length, length));
        }
    }

    void ExamineRecords() {
        ForEachStored(
            [this](std::int32_t record, std::span<unsigned char> bytes) { plan_.Examine(record, bytes); });
    }

    void TakeAdditions() {
        additions_ = plan_.Additions(allocated_ + 1);
        for (const auto& addition : additions_)
            if (addition.size() != static_cast<std::size_t>(recordLength_)) Fail(fberr::kReindexFailed);
        if (additions_.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / 2))
            Fail(fberr::kReindexFailed);
        records_ = allocated_ + static_cast<std::int32_t>(additions_.size());
    }

    void CreateIndexFile(const TKeySpecs& keys) {
        try {
            work_.descriptors.assign(static_cast<std::size_t>(work_.numberOfKeys) + 1, Descriptor{});
            for (int k = 1; k <= work_.numberOfKeys; ++k)
                trees_.push_back(std::make_unique<MemoryPages>(work_.Key(k)));
        } catch (const std::bad_alloc&) {
            Fail(fberr::kNoMemoryCreate);
            return;
        }
        if (!CreateBeside(names_.index, work_.indexFile)) return;
        IndexCreate(work_, keys);
    }

    void Decide(std::int32_t record, std::span<unsigned char> bytes, bool added) {
        std::vector<unsigned char> before(bytes.begin(), bytes.end());
        std::vector<std::string> texts;
        if (!plan_.Entries(record, bytes, texts)) {
            free_.push_back(record);
            return;
        }
        ++live_;
        if (texts.size() > work_.numberOfKeys) {
            Fail(fberr::kReindexFailed);
            return;
        }
        if (!added && !std::equal(before.begin(), before.end(), bytes.begin()))
            rewrites_.push_back({record, std::vector<unsigned char>(bytes.begin(), bytes.end())});
        for (std::size_t k = 0; k < texts.size() && FbOk; ++k) {
            if (texts[k].empty()) continue;
            const std::string_view text = std::string_view(texts[k]).substr(0, kFbMaxKeyLength);
            const TreeOutcome outcome =
                InsertEntry(*trees_[k], work_.Key(static_cast<int>(k) + 1), record, text);
            // Two records with one key text in a key without duplicates: the plan does not fit.
            if (outcome == TreeOutcome::Missing) Fail(fberr::kReindexFailed);
        }
    }

    void DecideRecords() {
        ForEachStored(
            [this](std::int32_t record, std::span<unsigned char> bytes) { Decide(record, bytes, false); });
        for (std::size_t i = 0; i < additions_.size() && FbOk; ++i)
            Decide(allocated_ + 1 + static_cast<std::int32_t>(i), additions_[i], true);
    }

    // Row by row, each key's page of that row packed into its section; then the key headers.
    void WriteIndexFile() {
        std::int32_t rows = 0;
        for (int k = 1; k <= work_.numberOfKeys; ++k)
            rows = std::max(rows, work_.Key(k).allocated);
        const auto rowSize = static_cast<std::size_t>(work_.rowSize);
        std::vector<unsigned char> batch;
        PageBytes page{};
        for (std::int32_t first = 1; first <= rows && FbOk; first += kRowsPerWrite) {
            const std::int32_t count = std::min(kRowsPerWrite, rows - first + 1);
            batch.assign(static_cast<std::size_t>(count) * rowSize, 0);
            for (std::int32_t r = first; r < first + count; ++r)
                for (int k = 1; k <= work_.numberOfKeys; ++k) {
                    const Descriptor& key = work_.Key(k);
                    if (r > key.allocated) continue;
                    page = trees_[static_cast<std::size_t>(k - 1)]->Page(r);
                    const int items = IndexPageView(page.data()).Count();
                    PackPage(page.data(), key.keyLength);
                    std::memcpy(batch.data() + static_cast<std::size_t>(r - first) * rowSize +
                                    static_cast<std::size_t>(key.sectionOffset),
                                page.data(), PackedPageLength(std::min(items, kItemsPerPage), key.keyLength));
                }
            FileWriteAt(work_.indexFile, static_cast<std::int64_t>(first) * work_.rowSize,
                        static_cast<std::int32_t>(batch.size()), batch.data());
        }
        for (int k = 1; k <= work_.numberOfKeys && FbOk; ++k)
            WriteKeyHeader(work_, k);
        FileFlush(work_.indexFile);
        FileClose(work_.indexFile);
        FileFlushFolder(work_.indexFile);
    }

    // A dialog file of one byte holds no journal: one left beside an index it was not written
    // for must never be replayed onto the new one.
    void CreateEmptyDialog() {
        if (!CreateBeside(names_.dialog, dialog_)) return;
        const unsigned char empty = 0;
        FileWriteAt(dialog_, 0, 1, &empty);
        FileFlush(dialog_);
        FileClose(dialog_);
        FileFlushFolder(dialog_);
    }

    // The additions after the last record, the records the plan changed, and the free chain
    // in ascending order (each free record's first word names the next, the last -1).
    void WriteRecords() {
        for (std::size_t i = 0; i < additions_.size() && FbOk; ++i)
            FileWriteAt(work_.dataFile,
                        static_cast<std::int64_t>(allocated_ + 1 + static_cast<std::int32_t>(i)) *
                            recordLength_,
                        recordLength_, additions_[i].data());
        // On the disk before any record names them: a rewrite that outlived its addition
        // would point at a record that is not there, and the next rebuild would name that.
        if (!additions_.empty()) FileFlush(work_.dataFile);
        for (const Rewrite& rewrite : rewrites_)
            FileWriteAt(work_.dataFile, static_cast<std::int64_t>(rewrite.record) * recordLength_,
                        recordLength_, rewrite.bytes.data());
        for (std::size_t i = 0; i < free_.size() && FbOk; ++i) {
            unsigned char link[4];
            platform::PutI32(link, 0, i + 1 < free_.size() ? free_[i + 1] : -1);
            FileWriteAt(work_.dataFile, static_cast<std::int64_t>(free_[i]) * recordLength_, 4, link);
        }
        FileFlush(work_.dataFile);
    }

    void WriteHeader() {
        if (!FbOk) return;
        Descriptor& data = work_.Data();
        data.firstFree = free_.empty() ? -1 : free_.front();
        data.freeCount = static_cast<std::int32_t>(free_.size());
        data.allocated = records_;
        data.slotSize = recordLength_;
        WriteDataHeader(work_, 0);
        FileFlush(work_.dataFile);
    }

    const FileblockNames names_;
    const std::int32_t recordLength_;
    FbReindexPlan& plan_;
    Fileblock work_; // the data file and the new index file; never on the open list
    FileRecord dialog_;
    std::vector<std::unique_ptr<MemoryPages>> trees_;
    std::vector<std::vector<unsigned char>> additions_;
    std::vector<Rewrite> rewrites_;
    std::vector<std::int32_t> free_;
    std::int32_t allocated_ = 0;
    std::int32_t unfinished_ = 0; // the mark of a reindex that did not end, as found
    std::int32_t markOnDisk_ = 0;
    std::int32_t records_ = 0;
    std::int32_t live_ = 0;
    TLeftoverJournalUse journalUse_ = TLeftoverJournalUse::Replay;
};

} // namespace
} // namespace storage

using namespace storage;

void FbReindex(const std::string& fileName, std::int32_t recordLength, std::uint16_t numberOfKeys,
               const TKeySpecs& keys, FbReindexPlan& plan, TReindexCounts& counts,
               TLeftoverJournalUse journal) try {
    OperationScope op(WithoutFileblock{});
    if (!op.Passed()) return;
    counts = {};
    if (recordLength < kMinRecordLength || numberOfKeys == 0 || numberOfKeys > kFbMaxKeys) {
        Fail(fberr::kReindexFailed);
        return;
    }
    const TFileSetState files = FbCheckFiles(fileName);
    if (!FbFileUsable(files.data, true) || !FbFileUsable(files.index, false) ||
        !FbFileUsable(files.dialog, false)) {
        Fail(fberr::kAccessNotPossible);
        return;
    }
    if (RenamesOverALink(files)) return;
    Reindex reindex(fileName, recordLength, numberOfKeys, plan);
    reindex.SetJournalUse(journal);
    reindex.Run(keys, files, counts);
} catch (...) {
    FailOnException();
}

TLeftoverJournal FbCheckJournal(const std::string& fileName, std::int32_t recordLength,
                                std::uint16_t numberOfKeys, const TKeySpecs& keys) try {
    OperationScope op(WithoutFileblock{});
    if (!op.Passed()) return TLeftoverJournal::None;
    if (recordLength < kMinRecordLength || numberOfKeys > kFbMaxKeys) {
        Fail(fberr::kReindexFailed);
        return TLeftoverJournal::None;
    }
    const FileblockNames names = NamesOf(fileName);
    if (platform::Files().Inspect(names.dialog) != platform::PathKind::PlainFile)
        return TLeftoverJournal::None;
    FileRecord dialog;
    FileRecord data;
    FileSetName(dialog, names.dialog);
    FileSetName(data, names.data);
    FileOpenExisting(dialog, false, true);
    FileOpenExisting(data, false, true);
    LeftoverJournal found = LeftoverJournal::None;
    if (FbOk) found = ExamineLeftoverJournal(dialog, data, recordLength, KeyLengths(keys, numberOfKeys));
    {
        KeptFailure kept;
        if (dialog.IsOpen()) FileClose(dialog);
        ResetStatus();
        if (data.IsOpen()) FileClose(data);
    }
    if (!FbOk) return TLeftoverJournal::None;
    return found == LeftoverJournal::Replayable ? TLeftoverJournal::Replayable
           : found == LeftoverJournal::Unusable ? TLeftoverJournal::Unusable
                                                : TLeftoverJournal::None;
} catch (...) {
    FailOnException();
    return TLeftoverJournal::None;
}
