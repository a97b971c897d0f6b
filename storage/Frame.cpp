// The engine's frame: status, entry check and exit step, start and stop, the open list and
// the error texts.
#include "storage/Fileblock.h"
#include "storage/IndexFile.h"
#include "storage/LockRanges.h"
#include "storage/Network.h"

#include <algorithm>
#include <limits>
#include <new>

bool FbOk = true;
std::int32_t FbErrorCode = 0;

namespace storage {

void NoRecordHook(unsigned char*, std::int32_t, std::uint8_t, std::int32_t) {}

// Never destroyed: the program-end close below still needs them.
EngineState& Engine() {
    static EngineState* state = new EngineState;
    return *state;
}

FileLayerError& LastFileError() {
    static FileLayerError* error = new FileLayerError;
    return *error;
}

void ResetStatus() {
    FbOk = true;
    FbErrorCode = 0;
    Engine().lastFunctionCode = 0;
    Engine().lastSystemError = 0;
}

void Fail(std::int32_t code) {
    FbOk = false;
    FbErrorCode = code;
}

void FailOnException() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        Fail(fberr::kNoMemoryOpen);
    } catch (...) {
        Fail(fberr::kConsistency);
    }
}

void FailFromSystem(std::int32_t code) {
    Fail(code);
    EngineState& engine = Engine();
    if (engine.lastSystemError == 0) {
        engine.lastFunctionCode = LastFileError().functionCode;
        engine.lastSystemError = LastFileError().systemError;
    }
}

Fileblock* ReservedHandle() {
    // All bits set, as the engine's "no Fileblock"; never dereferenced.
    return reinterpret_cast<Fileblock*>(std::numeric_limits<std::uintptr_t>::max());
}

Fileblock* NewHandle() {
    // Odd values: never the address of an object, never null, never the reserved handle.
    static std::uint64_t opened = 0;
    ++opened;
    return reinterpret_cast<Fileblock*>(static_cast<std::uintptr_t>(opened << 1 | 1));
}

Fileblock* FileblockOf(const Fileblock* handle) {
    if (handle == nullptr || handle == ReservedHandle()) return nullptr;
    for (Fileblock* fb : Engine().openList)
        if (fb->handle == handle) return fb;
    return nullptr;
}

namespace {

// Steps 1 to 3 of every entry check.
bool EngineReady() {
    ResetStatus();
    EngineState& engine = Engine();
    if (!engine.started) {
        Fail(fberr::kNotStarted);
        return false;
    }
    if (engine.inOperation) {
        Fail(fberr::kRecursiveCall);
        return false;
    }
    return true;
}

} // namespace

bool EntryCheckWithoutFileblock() {
    if (!EngineReady()) return false;
    Engine().inOperation = true;
    return true;
}

bool EntryCheck(Fileblock* fb, std::uint16_t mode, std::uint16_t key) {
    if (!EngineReady()) return false;
    EngineState& engine = Engine();
    // `fb` is null unless the caller's handle names a Fileblock of the open list.
    if (fb == nullptr || fb->validityMark != kValidityMark) {
        Fail(fberr::kInvalidFileblock);
        return false;
    }
    engine.inOperation = true;
    if ((mode & kModeChanges) && (fb->readOnly || fb->damaged)) {
        Fail(fberr::kReadOnlyFileblock);
        return false;
    }
    if ((mode & kModeNeedsLock) && fb->network && !fb->network->locked) {
        Fail(fberr::kMustBeLocked);
        return false;
    }
    // The whole key number counts: it is not folded into the mode word's low byte.
    if ((mode & kModeKey) && (key == 0 || key > fb->numberOfKeys)) {
        Fail(fberr::kInvalidKeyNumber);
        return false;
    }
    if (fb->network) {
        NetworkBlock& net = *fb->network;
        net.readLockForOperation = false;
        if ((mode & kModeReadLock) && !net.locked && !net.readLocked && !net.allReadOnly) {
            if (!TakeReadLock(*fb)) {
                if (FbErrorCode == fberr::kAccessNotPossible) FbErrorCode = fberr::kReadLockPrevents;
                return false;
            }
            net.readLockForOperation = true;
        }
    }
    return true;
}

void ExitStep(Fileblock* fb) {
    EngineState& engine = Engine();
    if (!engine.started || FbErrorCode == fberr::kInvalidFileblock) return;
    engine.inOperation = false;
    if (fb == ReservedHandle() || fb == nullptr) return;
    if (FbErrorCode == fberr::kAccessNotPossible && fb->readOnly) FbErrorCode = fberr::kLockPreventsReadOnly;
    if (fb->network == nullptr) return;
    if (FbErrorCode == fberr::kAccessNotPossible) FbErrorCode = fberr::kLockPreventsReadOnly;
    if (fb->network->readLockForOperation) {
        ReleaseReadLock(*fb); // 10341 when it fails
        if (!fb->network->readLocked) fb->network->readLockForOperation = false;
    }
}

void CloseAllFileblocks() {
    std::int32_t first = 0;
    // Each close removes its handle from the list (or leaves it when writing back failed),
    // so walk a copy taken at the start.
    const std::vector<Fileblock*> handles = Engine().openList;
    for (Fileblock* handle : handles) {
        Fileblock* fb = handle;
        CloseFileblock(fb);
        if (first == 0 && FbErrorCode != 0) first = FbErrorCode;
        ResetStatus();
    }
    FbErrorCode = first;
    FbOk = first == 0;
}

namespace {

// At program end the engine closes what is still open, so every data file gets its
// clean-close header.
struct ProgramEnd {
    ~ProgramEnd() {
        if (Engine().started) {
            CloseAllFileblocks();
            ResetStatus();
        }
        FreeLockRanges();
    }
} programEnd;

} // namespace

} // namespace storage

using namespace storage;

std::int32_t FbStartEngine(std::uint8_t lockMode, std::int32_t pageBuffers) try {
    EngineState& engine = Engine();
    if (engine.started) {
        Fail(fberr::kAlreadyStarted);
        return 0;
    }
    ResetStatus();
    if (pageBuffers < kMinPageBuffers) {
        Fail(fberr::kTooFewBuffers);
        return 0;
    }
    engine.inOperation = false;
    engine.openList.clear();
    if (!InstallLockHooks(lockMode)) {
        if (FbOk) Fail(fberr::kNetworkInit);
        return 0;
    }
    engine.singleUser = lockMode == 0;
    engine.lockMode = lockMode;
    // The ring's count is 16-bit.
    const std::int32_t asked = std::min<std::int32_t>(pageBuffers, std::numeric_limits<std::uint16_t>::max());
    const std::int32_t built = BuildPageRing(asked);
    if (built < kMinPageBuffers) {
        FreePageRing();
        Fail(fberr::kPageBufferTooSmall);
        if (engine.hooks.release) engine.hooks.release();
        return 0;
    }
    engine.started = true;
    return built;
} catch (...) {
    FailOnException();
    return 0;
}

void FbStopEngine() try {
    ResetStatus();
    EngineState& engine = Engine();
    if (!engine.started) {
        Fail(fberr::kNotStarted);
        return;
    }
    CloseAllFileblocks();
    if (!FbOk) return;
    engine.started = false;
    FreePageRing();
    if (engine.hooks.release && !engine.hooks.release()) Fail(fberr::kNetworkExit);
} catch (...) {
    FailOnException();
}

std::string FbErrorText(std::int32_t code) {
    if (Engine().textLanguage != 2) return {};
    if (code >= 9500 && code <= 9899) return "DOS error code <" + std::to_string(code - 9500) + ">";
    switch (code) {
    case 9900:
        return "Invalid path name";
    case 9901:
        return "Too many open files";
    case 9903:
        return "File not found";
    case 9904:
        return "Invalid handle";
    case 9908:
        return "Invalid access code";
    case 10000:
        return "Page buffer is smaller than MaxHeight";
    case 10001:
    case 10002:
    case 10003:
    case 10004:
    case 10005:
    case 10006:
    case 10007:
    case 10008:
    case 10009:
        return "Serious I/O error occurred while in save mode";
    case 10010:
        return "File defect, that can be corrected by reindexing";
    case 10020:
        return "Record length less than 22 or more than 2147483647 bytes";
    case 10030:
    case 10040:
        return "Insufficient memory";
    case 10050:
        return "Invalid number of keys specified";
    case 10055:
    case 10125:
        return "Key too long";
    case 10060:
        return "Too many keys, or file read error";
    case 10065:
        return "Attempt to write to read only Fileblock";
    case 10070:
        return "File read error";
    case 10075:
        return "File write error";
    case 10080:
        return "Fileblock not open";
    case 10090:
    case 10100:
    case 10356:
        return "Insufficient memory to allocate Fileblock";
    case 10110:
        return "Drive not ready";
    case 10120:
        return "PageSize incompatible with Fileblock";
    case 10121:
        return "MaxKeyLen too small";
    case 10122:
        return "MaxPageSize too small";
    case 10130:
    case 10135:
        return "Record 0 must not be accessed";
    case 10140:
        return "Access not possible, undefined error";
    case 10150:
        return "Insufficient handles for flush of network Fileblock";
    case 10160:
        return "Fileblock not correctly closed";
    case 10164:
        return "Invalid key number";
    case 10170:
        return "Consistency of Fileblock endangered";
    case 10180:
        return "Attempt to repair Fileblock failed";
    case 10190:
        return "Extend handle function requires DOS 3.3 or later";
    case 10191:
        return "Insufficient memory for new file handle table";
    case 10192:
        return "Unable to initialize new file handle table";
    case 10200:
        return "No matching key found";
    case 10205:
        return "Data record is currently locked";
    case 10210:
        return "No key found and no larger keys available";
    case 10215:
        return "Reindex failed, the data file is inconsistent";
    case 10220:
        return "Key to delete was not found";
    case 10230:
        return "Cannot add duplicate key";
    case 10240:
    case 10250:
        return "No larger key found";
    case 10245:
    case 10260:
        return "No smaller key found";
    case 10255:
    case 10265:
        return "Sequential access not allowed";
    case 10270:
        return "No matching key and record number found";
    case 10275:
        return "No matching reference found";
    case 10280:
    case 10285:
        return "Index empty";
    case 10306:
        return "Too many Fileblock accesses";
    case 10310:
        return "Network initialization error";
    case 10315:
        return "Network exit error";
    case 10322:
    case 10323:
        return "Close of Fileblock not possible because of a non-removeable lock";
    case 10330:
        return "Fileblock lock attempt failed";
    case 10332:
        return "Fileblock readlock attempt failed";
    case 10335:
        return "Record lock attempt failed";
    case 10337:
        return "Record lock attempt failed because of insufficient memory";
    case 10340:
    case 10341:
    case 10342:
        return "Fileblock unlock attempt failed";
    case 10345:
        return "Record unlock attempt failed";
    case 10355:
    case 10390:
    case 10397:
    case 10399:
        return "A lock prevents the operation";
    case 10360:
        return "No repair during open, because theFileblock is not exclusively used";
    case 10398:
        return "Fileblock must be locked";
    case 10410:
        return "Data file not found";
    case 10411:
        return "Insufficient heap space for work buffers";
    case 10412:
        return "Record section length exceeds 64K";
    case 10415:
        return "Too much records";
    case 10420:
    case 10425:
        return "Relative position or scale invalid";
    case 10430:
        return "No repair in read only mode";
    case 10435:
        return "Tree page greater than 16k";
    case 10440:
        return "No creating of dialog file in read only mode";
    case 10445:
        return "Invalid Fileblock";
    case 10446:
        return "Recursive call of Quorvane";
    case 10450:
        return "Initialization already done";
    case 10455:
        return "Initialization not yet done";
    case 10460:
        return "Reorganization aborted";
    case 10465:
        return "Data and save file exist simultaneously";
    case 10470:
        return "Error while building a key";
    case 10475:
        return "Error while restructing the data record";
    case 10480:
        return "Fileblock cannot be opened in net mode";
    default:
        return {};
    }
}
