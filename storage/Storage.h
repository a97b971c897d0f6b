#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The storage engine of indexed record files: a Fileblock is a data file of fixed-length
// records with a free-record chain, an index file of B-trees (one per key) and a dialog
// file. The interface is procedural and never throws: every operation leaves its result in
// FbOk and FbErrorCode (0 = none), and FbErrorText gives the English message of a code.
//
// Record numbers and key numbers are 1-based; record 0 is the data file's header.
// Key texts are at most 30 characters (bytes in the system code page).

struct Fileblock; // the engine's handle of one open Fileblock; opaque to callers

// One key's creation parameters for FbCreate.
struct TKeySpec {
    std::uint8_t keyLength = 0; // 1 to 30 characters
    bool duplicatesAllowed = false;
};

constexpr int kFbMaxKeys = 100;
constexpr int kFbMaxKeyLength = 30;
using TKeySpecs = std::array<TKeySpec, kFbMaxKeys>;

// Status of the last operation; reset by every operation at its start.
extern bool FbOk;
extern std::int32_t FbErrorCode;

// Engine start and stop. Lock mode 0: single user (the program's), 2: network.
// Returns the number of page buffers built, 0 on failure.
std::int32_t FbStartEngine(std::uint8_t lockMode, std::int32_t pageBuffers);
void FbStopEngine();

// Fileblock lifecycle. A name "data;index" names the data and index files apart; the
// extensions DAT, IX and DIA are put on (or replace the last extension of) the name.
void FbCreate(const std::string& fileName, std::int32_t recordLength, std::uint16_t numberOfKeys,
              const TKeySpecs& keys);
// On success `fb` refers to the open Fileblock; on failure it is left as it was.
void FbOpen(Fileblock*& fb, const std::string& fileName, bool readOnly, bool allReadOnly, bool saveMode,
            bool network);
// On success (and when only the release of the files failed) `fb` becomes nullptr.
void FbClose(Fileblock*& fb);

// Record operations. Buffers must be exactly one record long (the Fileblock's record length).
void FbReadRecord(Fileblock* fb, std::int32_t record, std::span<unsigned char> buffer, bool noLock = false);
// Reads records `first`, `first` + 1, ... into `buffer`, as many whole ones as it holds, up to the
// last one counted, in one read of the file: for a pass over every record. The number read; 0
// past the last one (FbOk) and on failure.
std::int32_t FbReadRecords(Fileblock* fb, std::int32_t first, std::span<unsigned char> buffer);
void FbWriteRecord(Fileblock* fb, std::int32_t record, std::span<const unsigned char> buffer,
                   bool noLock = false);
void FbAppendRecord(Fileblock* fb, std::int32_t& record, std::span<const unsigned char> buffer);
void FbFreeRecord(Fileblock* fb, std::int32_t record);
std::int32_t FbLiveRecordCount(Fileblock* fb);

// Key operations (the index file's B-trees).
void FbRewindKey(Fileblock* fb, std::uint16_t key);
void FbStepKey(Fileblock* fb, std::uint16_t key, std::int32_t& reference, std::string& keyText);
void FbFindKey(Fileblock* fb, std::uint16_t key, std::int32_t& reference, const std::string& keyText);
void FbInsertKey(Fileblock* fb, std::uint16_t key, std::int32_t reference, const std::string& keyText);
void FbRemoveKey(Fileblock* fb, std::uint16_t key, std::int32_t reference, const std::string& keyText);

// ---- Reindex: a new index from the data file alone ---------------------------------------

// What the caller of FbReindex knows about its records. The engine reads every record and
// asks; the caller never reads or writes the files itself.
class FbReindexPlan {
public:
    virtual ~FbReindexPlan() = default;
    // Before Examine, when the data file carries the mark of a reindex that did not end: the
    // records from `firstAdded` on are the additions it made.
    virtual void ResumeUnfinished(std::int32_t firstAdded) { (void)firstAdded; }
    // Every record 1..allocated in turn, as stored, before anything is decided.
    virtual void Examine(std::int32_t record, std::span<const unsigned char> bytes) = 0;
    // Once all were examined: records to add after the last one (`first` is the number the
    // first of them gets), each one record long.
    virtual std::vector<std::vector<unsigned char>> Additions(std::int32_t first) = 0;
    // Every record again, the additions included: true when it is live, with its key texts
    // in `keyTexts` (key k at k - 1; an empty text: no entry of that key). The caller may
    // change a live record's bytes; they are written back.
    virtual bool Entries(std::int32_t record, std::span<unsigned char> bytes,
                         std::vector<std::string>& keyTexts) = 0;
};

struct TReindexCounts {
    std::int32_t records = 0; // allocated afterwards, the additions included
    std::int32_t live = 0;
    std::int32_t free = 0;
};

// Rebuilds the index of a closed Fileblock from its data file: the keys (as FbCreate takes
// them) go into a new index file, which is brought to the disk and renamed over the old one;
// the records that are not live are chained as free, the dialog file is reset, and the data
// header is written last, so a rebuild cut short leaves the file marked in use, and marked as
// a rebuild under way (the plan learns where its additions began), and is done again. The
// number of records comes from the file's size; a header record length other than
// `recordLength` is taken as damage when the size is a whole number of such records.
// 10215 when the data file is not one of `recordLength`-byte records with these keys (or the
// plan's answers do not fit), 10140 when one of the files cannot be read and written as a
// plain file or the index or dialog file is a link (the new file would take the link's
// place); nothing has changed then. Every file it makes is new (never through a link), and
// the leftovers of rebuilds killed before their end are removed (FbRemoveRebuildLeftovers).
//
// A journal in the dialog file (a change that a crash cut short) is put back into the data file
// first, at `recordLength`, when it can be replayed whole and its count of records could be the
// file's one change ago, and is then spent before anything else is written; one that cannot is
// refused (10180) unless `journal` is SetAside (the caller has kept a copy): the reindex then
// goes on without it.
enum class TLeftoverJournalUse { Replay, SetAside };
void FbReindex(const std::string& fileName, std::int32_t recordLength, std::uint16_t numberOfKeys,
               const TKeySpecs& keys, FbReindexPlan& plan, TReindexCounts& counts,
               TLeftoverJournalUse journal = TLeftoverJournalUse::Replay);

// What the dialog file of a closed Fileblock holds, as FbReindex with these arguments would
// find it: no journal, one it can replay, or one it cannot (damaged, or not of these records).
enum class TLeftoverJournal { None, Replayable, Unusable };
TLeftoverJournal FbCheckJournal(const std::string& fileName, std::int32_t recordLength,
                                std::uint16_t numberOfKeys, const TKeySpecs& keys);

// The names of the new files a rebuild makes beside the Fileblock's file `path` (its new index
// and dialog files, and the copies it is still writing aside): path + ".rebuild", then with
// "-2" to "-100" added, the first one free taken.
std::vector<std::string> FbRebuildNames(const std::string& path);

// Under the data file's lock, removes what a rebuild killed before its end left at those
// names beside the Fileblock's three files: plain files of this user with no other name that
// nobody holds open. Anything else there is left alone. 10140 when the data file is in use.
void FbRemoveRebuildLeftovers(const std::string& fileName);

// ---- What is wrong with a Fileblock's files ------------------------------------------------

enum class TFileProblem {
    None,
    Missing,      // no file of that name
    DanglingLink, // a link to nothing
    NotPlainFile, // a folder, a pipe, a device
    ReadOnly,     // marked read-only (no write permission at all)
    NoAccess,     // this user may not read and write it
};

struct TFileState {
    std::string path;
    TFileProblem problem = TFileProblem::None;
    bool link = false; // the name is a symbolic link (to what `problem` tells of)
};

struct TFileSetState {
    TFileState data, index, dialog;
};

// Whether a reindex can work with the file: a `required` one (the data file) must be there and
// usable; the index and dialog files may also be missing.
inline bool FbFileUsable(const TFileState& file, bool required) {
    return file.problem == TFileProblem::None || (!required && file.problem == TFileProblem::Missing);
}

// Looks at the three files of the Fileblock `fileName` without opening any.
TFileSetState FbCheckFiles(const std::string& fileName);

// The English message of an error code; empty when the code has none.
std::string FbErrorText(std::int32_t code);

// Error codes the engine raises.
namespace fberr {
constexpr std::int32_t kInvalidPathName = 9900;
constexpr std::int32_t kTooManyOpenFiles = 9901;
constexpr std::int32_t kFileNotFound = 9903;
constexpr std::int32_t kInvalidHandle = 9904;
constexpr std::int32_t kInvalidAccessCode = 9908;
constexpr std::int32_t kPageBufferTooSmall = 10000;
constexpr std::int32_t kSaveModeAppendUndone = 10001;
constexpr std::int32_t kSaveModeFreeUndone = 10002;
constexpr std::int32_t kSaveModeInsertUndone = 10003;
constexpr std::int32_t kSaveModeRemoveUndone = 10004;
constexpr std::int32_t kSaveModeWriteUndone = 10005;
constexpr std::int32_t kFileDefect = 10010;
constexpr std::int32_t kBadRecordLength = 10020;
constexpr std::int32_t kNoMemoryDescriptors = 10030;
constexpr std::int32_t kBadNumberOfKeys = 10050;
constexpr std::int32_t kKeySpecTooLong = 10055;
constexpr std::int32_t kTooManyKeys = 10060;
constexpr std::int32_t kReadOnlyFileblock = 10065;
constexpr std::int32_t kReadError = 10070;
constexpr std::int32_t kWriteError = 10075;
constexpr std::int32_t kNotOpen = 10080;
constexpr std::int32_t kNoMemoryCreate = 10090;
constexpr std::int32_t kNoMemoryOpen = 10100;
constexpr std::int32_t kDriveNotReady = 10110;
constexpr std::int32_t kPageSizeIncompatible = 10120;
constexpr std::int32_t kMaxKeyLenTooSmall = 10121;
constexpr std::int32_t kMaxPageSizeTooSmall = 10122;
constexpr std::int32_t kKeyTooLong = 10125;
constexpr std::int32_t kRecordZero = 10130;
constexpr std::int32_t kRecordOutOfRange = 10135;
constexpr std::int32_t kAccessNotPossible = 10140;
constexpr std::int32_t kNoHandlesForFlush = 10150;
constexpr std::int32_t kNotCorrectlyClosed = 10160;
constexpr std::int32_t kInvalidKeyNumber = 10164;
constexpr std::int32_t kConsistency = 10170;
constexpr std::int32_t kRepairFailed = 10180;
constexpr std::int32_t kNoMatchingKey = 10200;
constexpr std::int32_t kReindexFailed = 10215;
constexpr std::int32_t kKeyToDeleteNotFound = 10220;
constexpr std::int32_t kDuplicateKey = 10230;
constexpr std::int32_t kNoLargerKey = 10250;
constexpr std::int32_t kSequentialNotAllowed = 10255;
constexpr std::int32_t kTooManyAccesses = 10306;
constexpr std::int32_t kNetworkInit = 10310;
constexpr std::int32_t kNetworkExit = 10315;
constexpr std::int32_t kNonRemovableLock = 10322;
constexpr std::int32_t kNonRemovableRecordLock = 10323;
constexpr std::int32_t kLockFailed = 10330;
constexpr std::int32_t kRecordLockFailed = 10335;
constexpr std::int32_t kUnlockFailed = 10340;
constexpr std::int32_t kStationUnlockFailed = 10341;
constexpr std::int32_t kOpenUnlockFailed = 10342;
constexpr std::int32_t kRecordUnlockFailed = 10345;
constexpr std::int32_t kLockPrevents = 10355;
constexpr std::int32_t kNoMemoryNetwork = 10356;
constexpr std::int32_t kNoRepairNotExclusive = 10360;
constexpr std::int32_t kLockPreventsReadOnly = 10397;
constexpr std::int32_t kMustBeLocked = 10398;
constexpr std::int32_t kReadLockPrevents = 10399;
constexpr std::int32_t kNoRepairReadOnly = 10430;
constexpr std::int32_t kNoDialogReadOnly = 10440;
constexpr std::int32_t kInvalidFileblock = 10445;
constexpr std::int32_t kRecursiveCall = 10446;
constexpr std::int32_t kAlreadyStarted = 10450;
constexpr std::int32_t kTooFewBuffers = 10451;
constexpr std::int32_t kNotStarted = 10455;
constexpr std::int32_t kNoNetMode = 10480;
} // namespace fberr
