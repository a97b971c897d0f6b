// FbCreate, FbOpen and FbClose: the files of a Fileblock from their creation to the handle's
// release, with the clean-up of every step that fails.
#include "storage/DataFile.h"
#include "storage/FileNames.h"
#include "storage/FilePrimitives.h"
#include "storage/FileViews.h"
#include "storage/IndexFile.h"
#include "storage/Journal.h"
#include "storage/Network.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <memory>
#include <new>

namespace storage {
namespace {

// Closes the file if it is open, whatever the status says; the status is left as it was.
void CloseQuietly(FileRecord& file) {
    if (!file.IsOpen()) return;
    KeptFailure kept;
    FileClose(file);
}

void DeleteQuietly(FileRecord& file) {
    KeptFailure kept;
    FileDelete(file);
}

bool MakeDescriptors(Fileblock& fb) {
    try {
        fb.descriptors.assign(static_cast<std::size_t>(fb.numberOfKeys) + 1, Descriptor{});
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool Absent(const std::string& name) {
    return platform::Files().Inspect(name) == platform::PathKind::Missing;
}

// A create replaces plain files only, and an index or dialog file only together with its data
// file: without it they may be all that is left of the user's records. Nor is a file made
// through or in the place of a link that leads nowhere (a disk not mounted), a folder, a pipe
// or a device.
bool MayCreateFileSet(const FileblockNames& names) {
    bool dataPresent = false;
    bool restPresent = false;
    for (const std::string* name : {&names.data, &names.index, &names.dialog}) {
        const platform::PathKind kind = platform::Files().Inspect(*name);
        if (kind == platform::PathKind::DanglingLink || kind == platform::PathKind::NotPlain) return false;
        const bool present = kind == platform::PathKind::PlainFile;
        (name == &names.data ? dataPresent : restPresent) |= present;
    }
    return dataPresent || !restPresent;
}

// The data file is missing: a fresh start only when nothing else of the set is there and its
// name is no link that leads nowhere. Otherwise the user's records are missing, and the open
// reports 10140 rather than "not found", on which a caller would make a new set.
bool DataFileMissingFromASet(const FileblockNames& names, bool dialogFound, bool dialogCreated) {
    return dialogFound || (!dialogCreated && !Absent(names.dialog)) || !Absent(names.index) ||
           platform::Files().Inspect(names.data) == platform::PathKind::DanglingLink;
}

// An index file that cannot be opened is damage a rebuild mends (10010), unless what stands at
// its name is no file a rebuild may replace.
std::int32_t IndexOpenFailure(const std::string& indexName) {
    const platform::PathKind index = platform::Files().Inspect(indexName);
    return index == platform::PathKind::NotPlain || index == platform::PathKind::DanglingLink
               ? fberr::kAccessNotPossible
               : fberr::kFileDefect;
}

std::unique_ptr<Fileblock> NewFileblock() {
    try {
        return std::make_unique<Fileblock>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// The flags of an open as they are taken.
struct OpenMode {
    bool readOnly = false;
    bool allReadOnly = false;
    bool saveMode = false;
    bool networked = false;      // the network flag, and the engine runs in network mode
    bool shared = false;         // the files are opened shared
    bool dialogRequired = false; // the dialog file stays open with the Fileblock
    bool station = false;        // locks and writes the dialog file's station table
    bool dialogReadOnly = false;
};

OpenMode ModeOf(bool readOnly, bool allReadOnly, bool saveMode, bool network) {
    OpenMode mode;
    mode.allReadOnly = allReadOnly;
    mode.readOnly = readOnly || allReadOnly;
    // Network mode: the files are shared and the stations keep to the dialog file's locks.
    // Save mode is not joined to it: no change is taken without the Fileblock lock, which
    // this engine does not offer, so there is nothing to journal.
    mode.networked = network && !Engine().singleUser;
    mode.saveMode = saveMode && !mode.readOnly && !mode.networked;
    mode.shared = mode.networked;
    mode.dialogRequired = network ? !allReadOnly : mode.saveMode;
    // A station locks and writes the dialog file whatever it does with the other two.
    mode.station = mode.networked && !allReadOnly;
    mode.dialogReadOnly = mode.station ? false : mode.readOnly;
    return mode;
}

void Unlist(const Fileblock* fb) {
    auto& list = Engine().openList;
    list.erase(std::remove(list.begin(), list.end(), fb), list.end());
}

// One FbOpen, stage by stage; each stage returns false when the open fails there. Whatever
// the open has opened, locked, made or listed is undone, in reverse order, unless the
// Fileblock was handed out.
class FileblockOpening {
public:
    FileblockOpening(const std::string& fileName, const OpenMode& mode)
        : mode_(mode), names_(NamesOf(fileName)) {
        FileSetName(dialog_, names_.dialog);
    }
    ~FileblockOpening() { Undo(); }
    FileblockOpening(const FileblockOpening&) = delete;
    FileblockOpening& operator=(const FileblockOpening&) = delete;

    // The dialog file, made when it is required and missing; a station takes the open lock.
    bool OpenDialogFile() {
        FileOpenExisting(dialog_, mode_.shared, mode_.dialogReadOnly);
        if (!FbOk && FbErrorCode == fberr::kFileNotFound) {
            if (!mode_.dialogRequired) {
                ResetStatus();
            } else if (mode_.readOnly) {
                Fail(fberr::kNoDialogReadOnly);
                return false;
            } else {
                MakeDialogFile();
            }
        }
        if (!FbOk) return false;
        dialogFound_ = dialog_.IsOpen() && !dialogCreated_;
        // Opens of one Fileblock by the stations follow one another.
        if (mode_.station) {
            openByteLocked_ = LockOpenByte(dialog_);
            if (!openByteLocked_) return false;
        }
        return true;
    }

    // The handle, the data file and its header, and the descriptors.
    bool ReadDataHeader() {
        // From here another station's lock on a file shows as an undefined access error.
        lockShowsAsAccessError_ = mode_.networked;
        fb_ = NewFileblock();
        if (!fb_) {
            Fail(fberr::kNoMemoryOpen);
            return false;
        }
        // The repair works on the handle's dialog file.
        fb_->dialogFile = dialog_;
        dialogInHandle_ = true;
        FileSetName(fb_->dataFile, names_.data);
        FileSetName(fb_->indexFile, names_.index);
        FileOpenExisting(fb_->dataFile, mode_.shared, mode_.readOnly);
        if (!FbOk && FbErrorCode == fberr::kFileNotFound &&
            DataFileMissingFromASet(names_, dialogFound_, dialogCreated_))
            FbErrorCode = fberr::kAccessNotPossible;
        DataHeaderImageBytes image{};
        FileReadAt(fb_->dataFile, 0, kDataHeaderBytes, image.data());
        if (!FbOk) return false;
        header_ = ParseDataHeader(image);
        if (header_.numberOfKeys > kFbMaxKeys) {
            Fail(fberr::kTooManyKeys);
            return false;
        }
        fb_->numberOfKeys = static_cast<std::uint8_t>(header_.numberOfKeys);
        if (!MakeDescriptors(*fb_)) {
            Fail(fberr::kNoMemoryDescriptors);
            return false;
        }
        Descriptor& data = fb_->Data();
        data.firstFree = header_.firstFree;
        data.freeCount = header_.freeCount;
        data.allocated = header_.allocated;
        data.slotSize = header_.recordLength;
        return true;
    }

    // The index file and its key headers.
    bool OpenIndex() {
        if (fb_->numberOfKeys == 0) return true;
        FileOpenExisting(fb_->indexFile, mode_.shared, mode_.readOnly);
        if (!FbOk && FbErrorCode != fberr::kTooManyOpenFiles && FbErrorCode != fberr::kDriveNotReady)
            FbErrorCode = IndexOpenFailure(names_.index);
        if (FbOk) IndexOpen(*fb_);
        return FbOk;
    }

    // A file left in use, or whose header could not be its own, is refused before anything is
    // written; a journal found in the dialog file is replayed; then the files are checked.
    bool ExamineJournal() {
        if (header_.inUse != 0) {
            Fail(fberr::kFileDefect);
            return false;
        }
        CheckDataHeader(*fb_);
        if (!FbOk) return false;
        fb_->readOnly = mode_.readOnly;
        if (dialogFound_ && !ReplayFoundJournal()) return false;
        CheckKeyBounds(*fb_);
        if (FbOk) CheckDataFile(*fb_);
        return FbOk;
    }

    // The record hook and the open list.
    bool Register() {
        fb_->inUse = false;
        fb_->recordHook = NoRecordHook;
        fb_->hookUserValue = 0;
        fb_->skipAfterWrite = true;
        try {
            Engine().openList.push_back(fb_.get());
            listed_ = true;
        } catch (const std::bad_alloc&) {
            Fail(fberr::kNoMemoryOpen);
            return false;
        }
        return true;
    }

    bool JoinNetwork() {
        if (!mode_.networked) return true;
        ::storage::JoinNetwork(*fb_, mode_.allReadOnly);
        // A new, empty or repaired table: every station reads everything again.
        if (FbOk && mode_.station && content_ != DialogContent::CleanTable) PublishFullChange(*fb_);
        if (FbOk && openByteLocked_) {
            openByteLocked_ = false;
            UnlockOpenByte(fb_->dialogFile);
        }
        return FbOk;
    }

    bool StartJournal() {
        fb_->saveMode = mode_.saveMode;
        // The journal starts empty: byte 0 and an end tag, on the disk.
        if (mode_.saveMode) ResetDialog(*fb_);
        return FbOk;
    }

    // A dialog file that is not required is closed, and a leftover removed; the handle is
    // the caller's from now on.
    Fileblock* HandOut() {
        if (!mode_.dialogRequired && fb_->dialogFile.IsOpen()) {
            // A leftover that holds nothing (any more) is removed; failing to remove it harms nothing.
            CloseQuietly(fb_->dialogFile);
            if (dialogFound_ && !mode_.readOnly) {
                KeptFailure kept;
                FileDelete(fb_->dialogFile);
                FileFlushFolder(fb_->dataFile);
            }
            fb_->dialogFile.handle = -1;
        }
        ResetStatus();
        handedOut_ = true;
        Fileblock* fb = fb_.release();
        fb->validityMark = kValidityMark;
        fb->handle = NewHandle();
        return fb->handle;
    }

private:
    void MakeDialogFile() {
        ResetStatus();
        FileCreate(dialog_);
        dialogCreated_ = FbOk;
        const unsigned char first = 0;
        FileWriteAt(dialog_, 0, 1, &first);
        FileFlush(dialog_);
        FileClose(dialog_);
        FileFlushFolder(dialog_);
        FileOpenExisting(dialog_, mode_.shared, mode_.dialogReadOnly);
    }

    bool ReplayFoundJournal() {
        Fileblock& fb = *fb_;
        // Before the free chain is walked: a journal puts back what a crash left half done.
        content_ = ExamineDialog(fb.dialogFile, fb.numberOfKeys);
        if (!FbOk) return false;
        // Only a station alone with the file may make, empty or repair the station table.
        if (mode_.station && content_ != DialogContent::CleanTable && OtherStationsPresent(fb.dialogFile)) {
            Fail(fberr::kNoRepairNotExclusive);
            return false;
        }
        if (content_ != DialogContent::Journal) return true;
        if (mode_.readOnly) {
            Fail(fberr::kNoDialogReadOnly);
            return false;
        }
        // The journal is checked whole, and the data file against the header, before the
        // first record is put back; only an append cut short leaves a record past the count.
        JournalDataHeaders journal;
        if (!CheckJournal(fb, journal)) return false;
        if (!FitsDataHeader(journal, header_)) {
            // Another data file's journal (a file put in this one's place): nothing is put back.
            Fail(fberr::kRepairFailed);
            return false;
        }
        const bool appendMayBeUndone = UndoesAppendAtEnd(journal);
        CheckDataFile(fb, appendMayBeUndone);
        if (FbOk && appendMayBeUndone) CheckAppendUndone(fb, journal.images.back());
        if (!FbOk) return false;
        RepairFileblock(fb);
        if (!FbOk) return false;
        for (int k = 1; k <= fb.numberOfKeys; ++k)
            fb.rowsPresent = std::max(fb.rowsPresent, fb.Key(k).allocated);
        return true;
    }

    // The replay cuts the file back to the count before the append: one record at most, the
    // append's own, may lie past it.
    static void CheckAppendUndone(Fileblock& fb, const DataHeader& before) {
        const std::int64_t size = FileSize(fb.dataFile);
        const std::int64_t longest = (static_cast<std::int64_t>(before.allocated) + 2) * fb.Data().slotSize;
        if (FbOk && size > longest) Fail(fberr::kRepairFailed);
    }

    // Nothing is written: the files are closed, the handle released, the lock given back and
    // a dialog file this open made is deleted.
    void Undo() {
        if (handedOut_) return;
        if (fb_) {
            IndexDropPages(*fb_);
            CloseQuietly(fb_->indexFile);
            CloseQuietly(fb_->dataFile);
            if (listed_) Unlist(fb_.get());
            if (dialogInHandle_) dialog_ = fb_->dialogFile;
            dialogInHandle_ = false;
            delete fb_->network;
            fb_.reset();
        }
        if (openByteLocked_) {
            KeptFailure kept;
            UnlockOpenByte(dialog_);
        }
        CloseQuietly(dialog_);
        if (dialogCreated_) DeleteQuietly(dialog_);
        if (lockShowsAsAccessError_ && FbErrorCode == fberr::kAccessNotPossible)
            FbErrorCode = fberr::kLockPrevents;
    }

    const OpenMode mode_;
    const FileblockNames names_;
    FileRecord dialog_; // until the handle holds it
    std::unique_ptr<Fileblock> fb_;
    DataHeader header_;
    DialogContent content_ = DialogContent::Empty;
    bool dialogCreated_ = false;
    bool dialogFound_ = false;
    bool dialogInHandle_ = false;
    bool openByteLocked_ = false;
    bool listed_ = false;
    bool lockShowsAsAccessError_ = false;
    bool handedOut_ = false;
};

void FreeFileblock(Fileblock*& fb) {
    Unlist(fb);
    fb->validityMark = 0;
    delete fb->network;
    delete fb;
    fb = nullptr;
}

} // namespace

void CloseFileblock(Fileblock*& fb) {
    ResetStatus();
    if (fb->network) {
        LeaveNetwork(*fb);
        if (!FbOk) return;
    }
    // A file another program cut shorter is left as it is found: nothing can make it sound.
    if (FileWasCut(fb->dataFile) || FileWasCut(fb->indexFile)) fb->damaged = true;
    // A damaged Fileblock writes nothing: its file stays marked in use, or its journal stays.
    // Nor does a station: what it may change (records written without a lock) is written.
    if (!fb->readOnly && !fb->saveMode && !fb->damaged && !fb->network) {
        if (fb->numberOfKeys > 0) {
            IndexFlush(*fb);
            FileFlush(fb->indexFile);
        }
        // The records and the index reach the disk before the header that calls them clean
        // (rewritten records too, which do not mark the file in use).
        FileFlush(fb->dataFile);
        WriteDataHeader(*fb, 0);
        FileFlush(fb->dataFile);
        if (!FbOk) return;
        fb->inUse = false;
    }
    bool released = true;
    const auto closeStep = [&released](FileRecord& file) {
        if (!file.IsOpen()) return;
        ResetStatus();
        FileClose(file);
        released = released && FbOk;
    };
    // Without network mode only save mode keeps the dialog file open; close it whenever it is.
    closeStep(fb->dialogFile);
    IndexDropPages(*fb);
    if (fb->numberOfKeys > 0) closeStep(fb->indexFile);
    closeStep(fb->dataFile);
    FreeFileblock(fb);
    ResetStatus();
    if (!released) Fail(fberr::kNotCorrectlyClosed);
}

} // namespace storage

using namespace storage;

void FbCreate(const std::string& fileName, std::int32_t recordLength, std::uint16_t numberOfKeys,
              const TKeySpecs& keys) try {
    OperationScope op(WithoutFileblock{});
    if (!op.Passed()) return;
    std::int32_t code = 0;
    if (recordLength < kMinRecordLength) code = fberr::kBadRecordLength;
    if (numberOfKeys > kFbMaxKeys) code = fberr::kBadNumberOfKeys;
    if (code != 0) {
        Fail(code);
        return;
    }
    std::unique_ptr<Fileblock> fb = NewFileblock();
    if (!fb) {
        Fail(fberr::kNoMemoryCreate);
        return;
    }
    const FileblockNames names = NamesOf(fileName);
    if (!MayCreateFileSet(names)) {
        Fail(fberr::kAccessNotPossible);
        return;
    }
    FileSetName(fb->dataFile, names.data);
    FileSetName(fb->indexFile, names.index);
    FileSetName(fb->dialogFile, names.dialog);
    FileDelete(fb->indexFile);
    ResetStatus();
    FileDelete(fb->dialogFile);
    ResetStatus();
    FileDelete(fb->dataFile);
    ResetStatus();

    fb->numberOfKeys = static_cast<std::uint8_t>(numberOfKeys);
    if (!MakeDescriptors(*fb)) {
        Fail(fberr::kNoMemoryDescriptors);
        return;
    }
    FileCreate(fb->dataFile);
    if (!FbOk) return;
    Descriptor& data = fb->Data();
    data.firstFree = -1;
    data.freeCount = 0;
    data.allocated = 0;
    data.slotSize = recordLength;
    data.headerChanged = true;
    FileZeroFill(fb->dataFile, 0, recordLength);
    WriteDataHeader(*fb, 0);
    FileFlush(fb->dataFile);
    FileClose(fb->dataFile);
    const auto dropData = [&fb] {
        CloseQuietly(fb->dataFile);
        DeleteQuietly(fb->dataFile);
    };
    if (!FbOk) {
        dropData();
        return;
    }
    if (numberOfKeys > 0) {
        FileCreate(fb->indexFile);
        const bool created = FbOk;
        if (FbOk) IndexCreate(*fb, keys);
        FileFlush(fb->indexFile);
        FileClose(fb->indexFile);
        if (!FbOk) {
            CloseQuietly(fb->indexFile);
            if (created) DeleteQuietly(fb->indexFile);
            dropData();
            return;
        }
    }
    // A crash now must not leave the names without their files.
    FileFlushFolder(fb->dataFile);
    if (!FbOk) {
        if (numberOfKeys > 0) DeleteQuietly(fb->indexFile);
        dropData();
        return;
    }
    ResetStatus();
} catch (...) {
    FailOnException();
}

void FbOpen(Fileblock*& handle, const std::string& fileName, bool readOnly, bool allReadOnly, bool saveMode,
            bool network) try {
    OperationScope op(WithoutFileblock{});
    if (!op.Passed()) return;
    FileblockOpening opening(fileName, ModeOf(readOnly, allReadOnly, saveMode, network));
    if (opening.OpenDialogFile() && opening.ReadDataHeader() && opening.OpenIndex() &&
        opening.ExamineJournal() && opening.Register() && opening.JoinNetwork() && opening.StartJournal())
        handle = opening.HandOut();
} catch (...) {
    FailOnException();
}

void FbClose(Fileblock*& handle) try {
    OperationScope op(handle, 0);
    if (!op.Passed()) return;
    op.ExitWith(ReservedHandle());
    Fileblock* fb = op.Open();
    CloseFileblock(fb);
    // Writing back failed: the Fileblock stays open under the same handle.
    if (fb == nullptr) handle = nullptr;
} catch (...) {
    FailOnException();
}
