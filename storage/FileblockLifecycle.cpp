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

constexpr std::uint16_t kCleanStationTableTag = 2000;

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

// What a dialog file found at open holds.
enum class DialogContent { Empty, CleanTable, Journal };

DialogContent ExamineDialog(Fileblock& fb, FileRecord& dialog) {
    const std::int64_t size = FileSize(dialog);
    if (!FbOk) return DialogContent::Journal;
    // A file of 0 bytes is one whose creation was cut short: it holds nothing.
    if (size <= 1) return DialogContent::Empty;
    unsigned char tag[2] = {};
    FileReadAt(dialog, 1, 2, tag);
    if (!FbOk) return DialogContent::Journal;
    // A first tag of 0: the first batch of a journal was cut short before it was joined in
    // (its first tag is written last, over the end tag it brought), so it holds nothing.
    if (platform::GetU16(tag, 0) == 0) return DialogContent::Empty;
    if (platform::GetU16(tag, 0) != kCleanStationTableTag) return DialogContent::Journal;
    const std::int64_t bytesPerStation = BytesPerStation(fb.numberOfKeys);
    if (size == 3 + bytesPerStation || IsNetworkStationTable(size, fb.numberOfKeys))
        return DialogContent::CleanTable;
    // An end tag first: a journal emptied by save mode (records behind it were never joined).
    return DialogContent::Empty;
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

void FreeFileblock(Fileblock*& fb) {
    auto& list = Engine().openList;
    list.erase(std::remove(list.begin(), list.end(), fb), list.end());
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
              const TKeySpecs& keys) {
    OperationScope op(WithoutFileblock{});
    if (!op.Passed()) return;
    std::int32_t code = 0;
    if (recordLength < kMinRecordLength) code = fberr::kBadRecordLength;
    if (numberOfKeys > kFbMaxKeys) code = fberr::kBadNumberOfKeys;
    if (code != 0) {
        Fail(code);
        return;
    }
    std::unique_ptr<Fileblock> fb(new (std::nothrow) Fileblock);
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
}

void FbOpen(Fileblock*& handle, const std::string& fileName, bool readOnly, bool allReadOnly, bool saveMode,
            bool network) {
    OperationScope op(WithoutFileblock{});
    if (!op.Passed()) return;
    if (allReadOnly) readOnly = true;
    if (readOnly) saveMode = false;
    // Network mode: the files are shared and the stations keep to the dialog file's locks.
    // Save mode is not joined to it: no change is taken without the Fileblock lock, which
    // this engine does not offer, so there is nothing to journal.
    const bool networked = network && !Engine().singleUser;
    if (networked) saveMode = false;
    const bool shared = networked;
    const bool dialogRequired = network ? !allReadOnly : saveMode;
    // A station locks and writes the dialog file whatever it does with the other two.
    const bool station = networked && !allReadOnly;
    const bool dialogReadOnly = station ? false : readOnly;

    const FileblockNames names = NamesOf(fileName);
    FileRecord dialog;
    FileSetName(dialog, names.dialog);
    bool dialogCreated = false;
    FileOpenExisting(dialog, shared, dialogReadOnly);
    if (!FbOk && FbErrorCode == fberr::kFileNotFound) {
        if (!dialogRequired) {
            ResetStatus();
        } else if (readOnly) {
            Fail(fberr::kNoDialogReadOnly);
            return;
        } else {
            ResetStatus();
            FileCreate(dialog);
            dialogCreated = FbOk;
            const unsigned char first = 0;
            FileWriteAt(dialog, 0, 1, &first);
            FileFlush(dialog);
            FileClose(dialog);
            FileFlushFolder(dialog);
            FileOpenExisting(dialog, shared, dialogReadOnly);
            if (!FbOk) {
                CloseQuietly(dialog);
                if (dialogCreated) DeleteQuietly(dialog);
                return;
            }
        }
    } else if (!FbOk) {
        return;
    }
    const bool dialogFound = dialog.IsOpen() && !dialogCreated;
    // Opens of one Fileblock by the stations follow one another.
    bool openByteLocked = false;
    if (station) {
        openByteLocked = LockOpenByte(dialog);
        if (!openByteLocked) {
            CloseQuietly(dialog);
            if (dialogCreated) DeleteQuietly(dialog);
            return;
        }
    }

    Fileblock* fb = new (std::nothrow) Fileblock;
    bool listed = false;
    const auto cleanUp = [&] {
        if (fb) {
            IndexDropPages(*fb);
            CloseQuietly(fb->indexFile);
            CloseQuietly(fb->dataFile);
            if (listed) {
                auto& list = Engine().openList;
                list.erase(std::remove(list.begin(), list.end(), fb), list.end());
            }
            dialog = fb->dialogFile;
            delete fb->network;
            delete fb;
        }
        if (openByteLocked) {
            KeptFailure kept;
            UnlockOpenByte(dialog);
        }
        CloseQuietly(dialog);
        if (dialogCreated) DeleteQuietly(dialog);
        // Another station's lock on a file shows as an undefined access error.
        if (networked && FbErrorCode == fberr::kAccessNotPossible) FbErrorCode = fberr::kLockPrevents;
    };
    if (!fb) {
        Fail(fberr::kNoMemoryOpen);
        cleanUp();
        return;
    }
    // The repair works on the handle's dialog file.
    fb->dialogFile = dialog;
    FileSetName(fb->dataFile, names.data);
    FileSetName(fb->indexFile, names.index);
    FileOpenExisting(fb->dataFile, shared, readOnly);
    if (!FbOk && FbErrorCode == fberr::kFileNotFound &&
        DataFileMissingFromASet(names, dialogFound, dialogCreated))
        FbErrorCode = fberr::kAccessNotPossible;
    DataHeaderImageBytes image{};
    FileReadAt(fb->dataFile, 0, kDataHeaderBytes, image.data());
    if (!FbOk) {
        cleanUp();
        return;
    }
    const DataHeader header = ParseDataHeader(image);
    if (header.numberOfKeys > kFbMaxKeys) {
        Fail(fberr::kTooManyKeys);
        cleanUp();
        return;
    }
    fb->numberOfKeys = static_cast<std::uint8_t>(header.numberOfKeys);
    if (!MakeDescriptors(*fb)) {
        Fail(fberr::kNoMemoryDescriptors);
        cleanUp();
        return;
    }
    Descriptor& data = fb->Data();
    data.firstFree = header.firstFree;
    data.freeCount = header.freeCount;
    data.allocated = header.allocated;
    data.slotSize = header.recordLength;
    if (fb->numberOfKeys > 0) {
        FileOpenExisting(fb->indexFile, shared, readOnly);
        if (!FbOk && FbErrorCode != fberr::kTooManyOpenFiles && FbErrorCode != fberr::kDriveNotReady)
            FbErrorCode = IndexOpenFailure(names.index);
        if (FbOk) IndexOpen(*fb);
        if (!FbOk) {
            cleanUp();
            return;
        }
    }
    if (header.inUse != 0) {
        Fail(fberr::kFileDefect);
        cleanUp();
        return;
    }
    // Before a journal is replayed: a header the file does not agree with is refused
    // with nothing written.
    CheckDataFile(*fb, true);
    if (!FbOk) {
        cleanUp();
        return;
    }
    fb->readOnly = readOnly;
    DialogContent content = DialogContent::Empty;
    if (dialogFound) {
        // Before the free chain is walked: a journal puts back what a crash left half done.
        content = ExamineDialog(*fb, fb->dialogFile);
        if (!FbOk) {
            cleanUp();
            return;
        }
        // Only a station alone with the file may make, empty or repair the station table.
        if (station && content != DialogContent::CleanTable && OtherStationsPresent(fb->dialogFile)) {
            Fail(fberr::kNoRepairNotExclusive);
            cleanUp();
            return;
        }
        if (content == DialogContent::Journal) {
            if (readOnly) {
                Fail(fberr::kNoDialogReadOnly);
                cleanUp();
                return;
            }
            RepairFileblock(*fb);
            if (!FbOk) {
                cleanUp();
                return;
            }
            for (int k = 1; k <= fb->numberOfKeys; ++k)
                fb->rowsPresent = std::max(fb->rowsPresent, fb->Key(k).allocated);
        }
    }
    CheckKeyBounds(*fb);
    if (FbOk) CheckDataFile(*fb);
    if (!FbOk) {
        cleanUp();
        return;
    }
    fb->inUse = false;
    fb->recordHook = NoRecordHook;
    fb->hookUserValue = 0;
    fb->skipAfterWrite = true;
    try {
        Engine().openList.push_back(fb);
        listed = true;
    } catch (const std::bad_alloc&) {
        Fail(fberr::kNoMemoryOpen);
        cleanUp();
        return;
    }

    if (networked) {
        JoinNetwork(*fb, allReadOnly);
        // A new, empty or repaired table: every station reads everything again.
        if (FbOk && station && content != DialogContent::CleanTable) PublishFullChange(*fb);
        if (FbOk && openByteLocked) {
            openByteLocked = false;
            UnlockOpenByte(fb->dialogFile);
        }
        if (!FbOk) {
            cleanUp();
            return;
        }
    }
    fb->saveMode = saveMode;
    if (saveMode) {
        // The journal starts empty: byte 0 and an end tag, on the disk.
        ResetDialog(*fb);
        if (!FbOk) {
            cleanUp();
            return;
        }
    }
    if (!dialogRequired && fb->dialogFile.IsOpen()) {
        // A leftover that holds nothing (any more) is removed; failing to remove it harms nothing.
        CloseQuietly(fb->dialogFile);
        if (dialogFound && !readOnly) {
            KeptFailure kept;
            FileDelete(fb->dialogFile);
            FileFlushFolder(fb->dataFile);
        }
        fb->dialogFile.handle = -1;
    }
    ResetStatus();
    fb->validityMark = kValidityMark;
    fb->handle = NewHandle();
    handle = fb->handle;
}

void FbClose(Fileblock*& handle) {
    OperationScope op(handle, 0);
    if (!op.Passed()) return;
    op.ExitWith(ReservedHandle());
    Fileblock* fb = op.Open();
    CloseFileblock(fb);
    // Writing back failed: the Fileblock stays open under the same handle.
    if (fb == nullptr) handle = nullptr;
}
