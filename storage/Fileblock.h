#pragma once

#include "platform/FileOps.h"
#include "storage/Storage.h"

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

// The engine's internal state: one open file, the descriptors of the data file and of the
// keys, the Fileblock handle itself, the engine-wide state, and the status helpers with the
// entry check and exit step that wrap every public operation.
//
// Where the rest lives:
//  - frame, status, file primitives, data file and Fileblock lifecycle: Frame.cpp,
//    FilePrimitives.*, Slots.*, DataFile.*, FileblockLifecycle.cpp, FileNames.*, LockRanges.*;
//  - index file, page cache and B-trees: IndexFile.* (the calls the lifecycle makes),
//    KeyHeader.h, IndexPage.*, PageCache.* (PageBufferNode and the ring), BTree*.*,
//    KeyOrder.*, and the key operations in KeyOperations.cpp.

namespace storage {

constexpr std::uint32_t kValidityMark = 0x11195851;
constexpr int kItemsPerPage = 62;      // M of every key this engine creates
constexpr int kMaxHeight = 8;          // levels of a cursor path
constexpr int kItemStride = 39;        // bytes of one item in an unpacked page in memory
constexpr int kPageBufferBytes = 2436; // 6 + 62 * 39 of page, 8 for the journal, 6 spare
constexpr int kKeyHeaderBytes = 28;
constexpr int kDataHeaderBytes = 21;
constexpr int kMinRecordLength = 22;
constexpr int kMinPageBuffers = 8;

// Page size of a key with M items of key length L: M * (L + 9) + 6.
constexpr std::int32_t PageSizeFor(int keyLength, int itemsPerPage = kItemsPerPage) {
    return itemsPerPage * (keyLength + 9) + 6;
}

// Mode word bits of the entry check.
constexpr std::uint16_t kModeChanges = 0x800;   // refused on a read-only Fileblock
constexpr std::uint16_t kModeKey = 0x400;       // the key number must be 1..number of keys
constexpr std::uint16_t kModeReadLock = 0x200;  // network read lock for the operation
constexpr std::uint16_t kModeNeedsLock = 0x100; // network Fileblock lock must be held

// DOS-style function codes recorded with a failing system call.
namespace fn {
constexpr std::uint16_t kClose = 0x3E00;
constexpr std::uint16_t kDelete = 0x4100;
constexpr std::uint16_t kFlush = 0x6800;
constexpr std::uint16_t kPosition = 0x4201;
constexpr std::uint16_t kSeek = 0x4200;
constexpr std::uint16_t kSize = 0x4202;
constexpr std::uint16_t kRead = 0x3F00;
constexpr std::uint16_t kWrite = 0x4000;
constexpr std::uint16_t kTruncate = 0x4000;
constexpr std::uint16_t kOpen = 0x6C00;
constexpr std::uint16_t kLock = 0x5C00;
constexpr std::uint16_t kUnlock = 0x5C01;
} // namespace fn

// One file of a Fileblock. The position stands in for the system's file pointer: reads
// and writes "here" use and advance it.
struct FileRecord {
    platform::FileHandle handle = -1;
    std::string name;
    bool exclusive = false;
    std::int64_t position = 0;

    bool IsOpen() const { return handle >= 0; }
};

struct CursorLevel {
    std::int32_t page = 0;
    std::uint8_t index = 0; // items of the page before the cursor (0..n)
};

// Descriptor 0 describes the data file, descriptor k (1..number of keys) key k.
struct Descriptor {
    std::int32_t entryCount = 0; // keys only
    std::int32_t firstFree = -1; // first free page or record; -1 none
    std::int32_t freeCount = 0;
    std::int32_t allocated = 0; // highest page or record number handed out
    std::int32_t slotSize = 0;  // page size, or for descriptor 0 the record length
    std::int32_t root = 0;      // keys only; 0 = empty key
    std::uint16_t itemsPerPage = kItemsPerPage;
    bool duplicates = false;
    bool headerChanged = false;
    bool headerWritten = false; // set whenever the header is written; network mode reads it
    bool lastFromFreeChain = false;
    bool refindAllowed = true;
    bool freeChainChecked = false; // keys: the free page chain was walked once since open
    bool cursorValid = false;
    std::uint8_t keyLength = 0;
    std::int32_t sectionOffset = 0;                 // of the key's pages within an index row
    std::array<CursorLevel, kMaxHeight + 1> path{}; // levels 1..8; [0] unused
    std::uint8_t pathDepth = 0;
};

// Per-Fileblock state of network mode; none in single-user mode (the program's).
struct NetworkBlock {
    bool locked = false;
    bool readLocked = false;
    bool readLockForOperation = false;
    bool allReadOnly = false;
    bool reloadAll = false;
    bool publishPending = false;
    std::int32_t tableSize = 0;
    std::uint16_t bytesPerStation = 0;
    std::uint16_t ownStation = 0;
    std::uint16_t stations = 0;
};

// Which data records are on the free chain, learnt by one bounded walk of the chain the
// first time a record is taken, written or freed, and kept up to date by append and free.
// A damaged chain (leaving 1..allocated, running in a cycle, or at odds with the free count)
// leaves every record readable and writable, but no record is taken from it.
struct FreeRecords {
    enum class Chain : std::uint8_t { Unwalked, Sound, Damaged };
    Chain chain = Chain::Unwalked;
    std::vector<bool> known; // index = record number; true: on the chain
};

// Called with (buffer, record length, direction 0 = to the file / 1 = from it, user value).
using RecordHook = void (*)(unsigned char* buffer, std::int32_t length, std::uint8_t direction,
                            std::int32_t userValue);
void NoRecordHook(unsigned char*, std::int32_t, std::uint8_t, std::int32_t);

// The save-mode journal of one Fileblock (Journal.*): where its records end in the dialog
// file, the records not yet written there, and what the running change has journaled.
struct JournalState {
    std::int64_t end = 1;                    // offset of the end tag after the records on the disk
    bool holdsRecords = false;               // records were written since the last reset
    std::array<unsigned char, 2> firstTag{}; // of the first record, at offset 1
    std::vector<unsigned char> pending;      // records still to be written, in order
    std::set<std::pair<std::uint16_t, std::int32_t>> pages; // (key, page) journaled in this change
    std::vector<bool> headers;                              // index 0 (data) .. keys, journaled
};

} // namespace storage

struct Fileblock {
    std::uint32_t validityMark = 0;
    // What the caller holds: a value that never repeats in a run, never this object's address,
    // so a handle kept after its close cannot reach a Fileblock opened later.
    Fileblock* handle = nullptr;
    storage::FileRecord dataFile;
    storage::FileRecord indexFile;  // unused without keys
    storage::FileRecord dialogFile; // open only in save mode or network mode
    std::uint8_t numberOfKeys = 0;
    std::int32_t rowSize = 0;                     // bytes of one index row: the sum of the keys' page sizes
    std::int32_t rowsPresent = 0;                 // index rows after row 0
    std::vector<storage::Descriptor> descriptors; // numberOfKeys + 1
    bool inUse = false;                           // changed since open; mirrors byte 20 of the data file
    bool readOnly = false;
    bool saveMode = false;
    // A failed change could not be undone: no more changes are taken, and the close writes
    // nothing, so the file stays marked in use (or its journal stays) for the next open.
    bool damaged = false;
    storage::JournalState journal;
    storage::NetworkBlock* network = nullptr;
    storage::RecordHook recordHook = storage::NoRecordHook;
    std::int32_t hookUserValue = 0;
    bool skipAfterWrite = true;
    storage::FreeRecords freeRecords;

    storage::Descriptor& Data() { return descriptors[0]; }
    storage::Descriptor& Key(int k) { return descriptors[static_cast<std::size_t>(k)]; }
};

namespace storage {

struct PageBufferNode; // one buffer of the page cache with its ring links (PageCache.h)

// Set by the lock mode given to FbStartEngine; network mode uses them (single user: no-ops).
struct LockHooks {
    bool (*lock)(platform::FileHandle handle, std::int64_t offset, std::int64_t length, int totalWaitMs,
                 int retryIntervalMs) = nullptr;
    bool (*unlock)(platform::FileHandle handle, std::int64_t offset, std::int64_t length) = nullptr;
    bool (*release)() = nullptr;
};

struct EngineState {
    std::uint16_t lastFunctionCode = 0; // of the first failing system call of the operation
    std::uint32_t lastSystemError = 0;
    bool started = false;
    bool inOperation = false;
    bool singleUser = true;
    std::uint8_t lockMode = 0;
    std::uint16_t stationCount = 0;
    LockHooks hooks;
    PageBufferNode* ringHead = nullptr; // least recently used buffer; the page cache owns the ring
    std::uint16_t ringCount = 0;
    std::vector<Fileblock*> openList; // in order of opening
    std::uint8_t textLanguage = 2;    // English, the only language present
};

EngineState& Engine();

// The file layer's record of its last failing system call (function code and system error).
struct FileLayerError {
    std::uint16_t functionCode = 0;
    platform::SystemError systemError = 0;
};
FileLayerError& LastFileError();

// Status: FbOk true, FbErrorCode 0, snapshot cleared.
void ResetStatus();
// FbOk false with `code`.
void Fail(std::int32_t code);
// Fail with `code` after a system call failed: the file layer's error becomes the snapshot
// unless an earlier failure of this operation is already recorded there.
void FailFromSystem(std::int32_t code);
// In the handler of an engine call's function-try-block: the exception its body let out (no
// memory, a size no container holds) ends the call with a code instead; no exception leaves
// the engine.
void FailOnException() noexcept;

// The reserved handle: "no Fileblock". FbCreate and FbOpen run their entry check and exit
// step without a handle, and FbClose exits with it; a caller that passes it is refused.
Fileblock* ReservedHandle();

// A handle value for a Fileblock being opened; no two calls in a run give the same one.
Fileblock* NewHandle();
// The open Fileblock that `handle` refers to, or null (a closed, reserved or unknown handle).
// Only the open list is searched: a handle itself is never dereferenced.
Fileblock* FileblockOf(const Fileblock* handle);

// Entry check and exit step of every public operation but start, stop and the error text,
// on the open Fileblock (null when the caller's handle refers to none).
// `key` is the key number checked when the mode has kModeKey (all of it: it is not folded
// into the mode word).
bool EntryCheck(Fileblock* fb, std::uint16_t mode, std::uint16_t key = 0);
// The entry check of an operation that has no Fileblock yet (FbCreate, FbOpen).
bool EntryCheckWithoutFileblock();
void ExitStep(Fileblock* fb);

struct WithoutFileblock {};

// Runs the entry check on construction and the exit step on destruction:
//   OperationScope op(handle, kModeChanges | kModeNeedsLock);
//   if (!op.Passed()) return;
//   Fileblock* fb = op.Open();
class OperationScope {
public:
    OperationScope(Fileblock* handle, std::uint16_t mode, std::uint16_t key = 0)
        : open_(FileblockOf(handle)), exitHandle_(open_), passed_(EntryCheck(open_, mode, key)) {}
    explicit OperationScope(WithoutFileblock)
        : exitHandle_(ReservedHandle()), passed_(EntryCheckWithoutFileblock()) {}
    ~OperationScope() { ExitStep(exitHandle_); }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

    bool Passed() const { return passed_; }
    // The open Fileblock the caller's handle refers to (once the check has passed).
    Fileblock* Open() const { return open_; }
    // The exit step runs with this Fileblock instead (FbClose exits with the reserved handle).
    void ExitWith(Fileblock* fb) { exitHandle_ = fb; }

private:
    Fileblock* open_ = nullptr;
    Fileblock* exitHandle_;
    bool passed_;
};

// Runs clean-up steps with a fresh status and puts the failure being reported (with its
// snapshot) back afterwards.
class KeptFailure {
public:
    KeptFailure()
        : ok_(FbOk), code_(FbErrorCode), function_(Engine().lastFunctionCode),
          system_(Engine().lastSystemError) {
        ResetStatus();
    }
    ~KeptFailure() {
        FbOk = ok_;
        FbErrorCode = code_;
        Engine().lastFunctionCode = function_;
        Engine().lastSystemError = system_;
    }
    KeptFailure(const KeptFailure&) = delete;
    KeptFailure& operator=(const KeptFailure&) = delete;

private:
    bool ok_;
    std::int32_t code_;
    std::uint16_t function_;
    std::uint32_t system_;
};

// Closes every open Fileblock (engine stop and program end): the first error is reported.
void CloseAllFileblocks();

// The close of one Fileblock without entry check; `fb` becomes nullptr once the Fileblock
// is gone, and stays when writing back failed (the Fileblock then stays open and usable).
// Used by FbClose and by CloseAllFileblocks.
void CloseFileblock(Fileblock*& fb);

} // namespace storage
