#include "FaultyFileOps.h"
#include "StorageSession.h"
#include "TempFolder.h"

#include "storage/Fileblock.h"
#include "storage/Storage.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

using test::FileCall;

TEST(FbErrorText, EveryTabledCodeGivesItsText) {
    struct Row {
        std::int32_t code;
        const char* text;
    };
    const Row rows[] = {
        {9900, "Invalid path name"},
        {9901, "Too many open files"},
        {9903, "File not found"},
        {9904, "Invalid handle"},
        {9908, "Invalid access code"},
        {10000, "Page buffer is smaller than MaxHeight"},
        {10001, "Serious I/O error occurred while in save mode"},
        {10002, "Serious I/O error occurred while in save mode"},
        {10003, "Serious I/O error occurred while in save mode"},
        {10004, "Serious I/O error occurred while in save mode"},
        {10005, "Serious I/O error occurred while in save mode"},
        {10006, "Serious I/O error occurred while in save mode"},
        {10007, "Serious I/O error occurred while in save mode"},
        {10008, "Serious I/O error occurred while in save mode"},
        {10009, "Serious I/O error occurred while in save mode"},
        {10010, "File defect, that can be corrected by reindexing"},
        {10020, "Record length less than 22 or more than 2147483647 bytes"},
        {10030, "Insufficient memory"},
        {10040, "Insufficient memory"},
        {10050, "Invalid number of keys specified"},
        {10055, "Key too long"},
        {10125, "Key too long"},
        {10060, "Too many keys, or file read error"},
        {10065, "Attempt to write to read only Fileblock"},
        {10070, "File read error"},
        {10075, "File write error"},
        {10080, "Fileblock not open"},
        {10090, "Insufficient memory to allocate Fileblock"},
        {10100, "Insufficient memory to allocate Fileblock"},
        {10356, "Insufficient memory to allocate Fileblock"},
        {10110, "Drive not ready"},
        {10120, "PageSize incompatible with Fileblock"},
        {10121, "MaxKeyLen too small"},
        {10122, "MaxPageSize too small"},
        {10130, "Record 0 must not be accessed"},
        {10135, "Record 0 must not be accessed"},
        {10140, "Access not possible, undefined error"},
        {10150, "Insufficient handles for flush of network Fileblock"},
        {10160, "Fileblock not correctly closed"},
        {10164, "Invalid key number"},
        {10170, "Consistency of Fileblock endangered"},
        {10180, "Attempt to repair Fileblock failed"},
        {10190, "Extend handle function requires DOS 3.3 or later"},
        {10191, "Insufficient memory for new file handle table"},
        {10192, "Unable to initialize new file handle table"},
        {10200, "No matching key found"},
        {10205, "Data record is currently locked"},
        {10210, "No key found and no larger keys available"},
        {10215, "Reindex failed, the data file is inconsistent"},
        {10220, "Key to delete was not found"},
        {10230, "Cannot add duplicate key"},
        {10240, "No larger key found"},
        {10250, "No larger key found"},
        {10245, "No smaller key found"},
        {10260, "No smaller key found"},
        {10255, "Sequential access not allowed"},
        {10265, "Sequential access not allowed"},
        {10270, "No matching key and record number found"},
        {10275, "No matching reference found"},
        {10280, "Index empty"},
        {10285, "Index empty"},
        {10306, "Too many Fileblock accesses"},
        {10310, "Network initialization error"},
        {10315, "Network exit error"},
        {10322, "Close of Fileblock not possible because of a non-removeable lock"},
        {10323, "Close of Fileblock not possible because of a non-removeable lock"},
        {10330, "Fileblock lock attempt failed"},
        {10332, "Fileblock readlock attempt failed"},
        {10335, "Record lock attempt failed"},
        {10337, "Record lock attempt failed because of insufficient memory"},
        {10340, "Fileblock unlock attempt failed"},
        {10341, "Fileblock unlock attempt failed"},
        {10342, "Fileblock unlock attempt failed"},
        {10345, "Record unlock attempt failed"},
        {10355, "A lock prevents the operation"},
        {10390, "A lock prevents the operation"},
        {10397, "A lock prevents the operation"},
        {10399, "A lock prevents the operation"},
        {10360, "No repair during open, because theFileblock is not exclusively used"},
        {10398, "Fileblock must be locked"},
        {10410, "Data file not found"},
        {10411, "Insufficient heap space for work buffers"},
        {10412, "Record section length exceeds 64K"},
        {10415, "Too much records"},
        {10420, "Relative position or scale invalid"},
        {10425, "Relative position or scale invalid"},
        {10430, "No repair in read only mode"},
        {10435, "Tree page greater than 16k"},
        {10440, "No creating of dialog file in read only mode"},
        {10445, "Invalid Fileblock"},
        {10446, "Recursive call of Quorvane"},
        {10450, "Initialization already done"},
        {10451, ""},
        {10455, "Initialization not yet done"},
        {10460, "Reorganization aborted"},
        {10465, "Data and save file exist simultaneously"},
        {10470, "Error while building a key"},
        {10475, "Error while restructing the data record"},
        {10480, "Fileblock cannot be opened in net mode"},
        // DOS codes, and codes without a text.
        {9500, "DOS error code <0>"},
        {9505, "DOS error code <5>"},
        {9899, "DOS error code <399>"},
        {9499, ""},
        {9902, ""},
        {10011, ""},
        {12345, ""},
        {0, ""},
        {-1, ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(FbErrorText(row.code), row.text) << row.code;
}

TEST(FbStartEngine, RefusesTooFewBuffersUnknownModesAndASecondStart) {
    EXPECT_EQ(FbStartEngine(0, 7), 0);
    EXPECT_EQ(FbErrorCode, fberr::kTooFewBuffers);
    EXPECT_EQ(FbStartEngine(1, 8), 0);
    EXPECT_FALSE(FbOk);
    EXPECT_EQ(FbErrorCode, fberr::kNetworkInit);
    FbStopEngine(); // still not started
    EXPECT_EQ(FbErrorCode, fberr::kNotStarted);

    EXPECT_EQ(FbStartEngine(0, 8), 8);
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(FbStartEngine(0, 20), 0);
    EXPECT_EQ(FbErrorCode, fberr::kAlreadyStarted);
    EXPECT_EQ(storage::Engine().ringCount, 8);
    FbStopEngine();
    EXPECT_TRUE(FbOk);
    FbStopEngine();
    EXPECT_EQ(FbErrorCode, fberr::kNotStarted);
}

TEST(EntryCheck, EachCheckInItsOrder) {
    test::TempFolder folder;
    const std::string name = folder.File("zelp.DAT");
    std::vector<unsigned char> record(464);
    std::int32_t reference = 0;

    // Not started comes first, before the handle is looked at.
    {
        std::string text;
        Fileblock* none = nullptr;
        const std::function<void()> operations[] = {
            [&] { FbReadRecord(nullptr, 1, record); },
            [&] { FbWriteRecord(nullptr, 1, record); },
            [&] { FbAppendRecord(nullptr, reference, record); },
            [&] { FbFreeRecord(nullptr, 1); },
            [&] { EXPECT_EQ(FbLiveRecordCount(nullptr), 0); },
            [&] { FbRewindKey(nullptr, 1); },
            [&] { FbStepKey(nullptr, 1, reference, text); },
            [&] { FbFindKey(nullptr, 1, reference, "x"); },
            [&] { FbInsertKey(nullptr, 1, 1, "x"); },
            [&] { FbRemoveKey(nullptr, 1, 1, "x"); },
            [&] { FbCreate(name, 464, 0, test::Keys({})); },
            [&] { FbOpen(none, name, false, false, false, false); },
            [&] { FbClose(none); },
        };
        for (const auto& operation : operations) {
            FbOk = true;
            operation();
            EXPECT_FALSE(FbOk);
            EXPECT_EQ(FbErrorCode, fberr::kNotStarted);
        }
        EXPECT_FALSE(test::FileExists(name));
    }

    test::StorageSession session;
    FbCreate(name, 464, 2, test::Keys({{8, false}, {8, true}}));
    ASSERT_TRUE(FbOk) << FbErrorCode;
    Fileblock* fb = nullptr;
    FbOpen(fb, name, true, false, false, false);
    ASSERT_TRUE(FbOk) << FbErrorCode;

    // An operation already in progress comes before the handle.
    storage::Engine().inOperation = true;
    FbReadRecord(nullptr, 1, record);
    EXPECT_EQ(FbErrorCode, fberr::kRecursiveCall);
    storage::Engine().inOperation = false;

    struct Case {
        const char* name;
        std::int32_t expected;
        void (*call)(Fileblock*, std::vector<unsigned char>&, std::int32_t&);
        Fileblock* handle;
    };
    Fileblock* closed = nullptr;
    {
        FbCreate(folder.File("other.DAT"), 464, 0, test::Keys({}));
        FbOpen(closed, folder.File("other.DAT"), false, false, false, false);
        Fileblock* copy = closed;
        FbClose(copy);
        ASSERT_TRUE(FbOk);
    }
    const Case cases[] = {
        {"null handle", fberr::kInvalidFileblock,
         [](Fileblock* h, std::vector<unsigned char>& r, std::int32_t&) { FbReadRecord(h, 1, r); }, nullptr},
        {"reserved handle", fberr::kInvalidFileblock,
         [](Fileblock* h, std::vector<unsigned char>& r, std::int32_t&) { FbReadRecord(h, 1, r); },
         storage::ReservedHandle()},
        {"closed handle", fberr::kInvalidFileblock,
         [](Fileblock* h, std::vector<unsigned char>&, std::int32_t&) { FbLiveRecordCount(h); }, closed},
        {"change on read-only", fberr::kReadOnlyFileblock,
         [](Fileblock* h, std::vector<unsigned char>& r, std::int32_t&) { FbWriteRecord(h, 1, r); }, fb},
        {"read-only before the key number", fberr::kReadOnlyFileblock,
         [](Fileblock* h, std::vector<unsigned char>&, std::int32_t& ref) { FbInsertKey(h, 0, ref, "x"); },
         fb},
        {"key 0", fberr::kInvalidKeyNumber,
         [](Fileblock* h, std::vector<unsigned char>&, std::int32_t&) { FbRewindKey(h, 0); }, fb},
        {"key above the number of keys", fberr::kInvalidKeyNumber,
         [](Fileblock* h, std::vector<unsigned char>&, std::int32_t& ref) {
             std::string text;
             FbStepKey(h, 3, ref, text);
         },
         fb},
        {"key 257 is not key 1", fberr::kInvalidKeyNumber,
         [](Fileblock* h, std::vector<unsigned char>&, std::int32_t& ref) { FbFindKey(h, 257, ref, "x"); },
         fb},
        {"key 258 is not key 2", fberr::kInvalidKeyNumber,
         [](Fileblock* h, std::vector<unsigned char>&, std::int32_t&) { FbRewindKey(h, 258); }, fb},
    };
    for (const Case& c : cases) {
        FbLiveRecordCount(fb); // leaves a success behind
        c.call(c.handle, record, reference);
        EXPECT_FALSE(FbOk) << c.name;
        EXPECT_EQ(FbErrorCode, c.expected) << c.name;
        EXPECT_FALSE(storage::Engine().inOperation) << c.name;
    }
    // A read passes every check on a read-only Fileblock, and the status is reset first.
    FbReadRecord(fb, 0, record);
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(FbErrorCode, 0);
    FbClose(fb);
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(fb, nullptr);
}

TEST(EntryCheck, AClosedHandleNeverReachesAFileblockOpenedLater) {
    test::TempFolder folder;
    test::StorageSession session;
    FbCreate(folder.File("a.DAT"), 30, 0, test::Keys({}));
    FbCreate(folder.File("b.DAT"), 30, 0, test::Keys({}));
    std::int32_t n = 0;
    // Open and close many times over: freed memory is handed out again, handles never are.
    std::vector<Fileblock*> closed;
    Fileblock* b = nullptr;
    for (int round = 0; round < 20; ++round) {
        Fileblock* a = nullptr;
        FbOpen(a, folder.File("a.DAT"), false, false, false, false);
        ASSERT_TRUE(FbOk);
        closed.push_back(a);
        FbClose(a);
        FbOpen(b, folder.File("b.DAT"), false, false, false, false);
        ASSERT_TRUE(FbOk);
        FbAppendRecord(b, n, test::RecordBytes(30, 'b'));
        for (Fileblock* stale : closed) {
            EXPECT_EQ(FbLiveRecordCount(stale), 0) << round;
            EXPECT_EQ(FbErrorCode, fberr::kInvalidFileblock) << round;
            Fileblock* copy = stale;
            FbClose(copy);
            EXPECT_EQ(FbErrorCode, fberr::kInvalidFileblock) << round;
        }
        EXPECT_EQ(FbLiveRecordCount(b), round + 1) << "b is still open";
        FbClose(b);
        ASSERT_TRUE(FbOk);
        closed.push_back(b);
    }
}

TEST(FbStopEngine, ClosesEveryOpenFileblock) {
    test::TempFolder folder;
    ASSERT_EQ(FbStartEngine(0, 8), 8);
    Fileblock* a = nullptr;
    Fileblock* b = nullptr;
    for (const char* name : {"a.DAT", "b.DAT"})
        FbCreate(folder.File(name), 30, 0, test::Keys({}));
    FbOpen(a, folder.File("a.DAT"), false, false, false, false);
    FbOpen(b, folder.File("b.DAT"), false, false, false, false);
    std::int32_t n = 0;
    FbAppendRecord(a, n, test::RecordBytes(30, 'a'));
    FbAppendRecord(b, n, test::RecordBytes(30, 'b'));
    ASSERT_TRUE(FbOk);
    EXPECT_EQ(test::BytesAt(folder.File("a.DAT"), 20, 1), std::vector<unsigned char>{1});

    FbStopEngine();
    EXPECT_TRUE(FbOk);
    EXPECT_TRUE(storage::Engine().openList.empty());
    for (const char* name : {"a.DAT", "b.DAT"}) {
        EXPECT_EQ(test::BytesAt(folder.File(name), 8, 4), test::Le32(1)) << name;
        EXPECT_EQ(test::BytesAt(folder.File(name), 20, 1), std::vector<unsigned char>{0}) << name;
    }
}

TEST(FbStopEngine, AFailedCloseKeepsTheEngineStartedAndReportsTheFirstError) {
    test::TempFolder folder;
    ASSERT_EQ(FbStartEngine(0, 8), 8);
    Fileblock* a = nullptr;
    Fileblock* b = nullptr;
    {
        test::FaultyFileOps files;
        for (const char* name : {"a.DAT", "b.DAT"})
            FbCreate(folder.File(name), 30, 0, test::Keys({}));
        FbOpen(a, folder.File("a.DAT"), false, false, false, false);
        FbOpen(b, folder.File("b.DAT"), false, false, false, false);
        files.FailAll(FileCall::Write, platform::win32::kDiskFull, "a.DAT");
        files.FailAll(FileCall::Write, platform::win32::kInvalidHandle, "b.DAT");
        FbStopEngine();
        EXPECT_FALSE(FbOk);
        EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible); // a's, the first met
        EXPECT_TRUE(storage::Engine().started);
        EXPECT_EQ(storage::Engine().openList.size(), 2u);
    }
    // Both stay usable and close once the disk takes writes again.
    EXPECT_EQ(FbLiveRecordCount(b), 0);
    EXPECT_TRUE(FbOk);
    FbStopEngine();
    EXPECT_TRUE(FbOk);
    EXPECT_FALSE(storage::Engine().started);
}

} // namespace

namespace {

TEST(EntryCheck, ChangesWithANetworkBlockNeedTheFileblockLock) {
    test::TempFolder folder;
    test::StorageSession session;
    FbCreate(folder.File("n.DAT"), 30, 0, test::Keys({}));
    Fileblock* fb = nullptr;
    FbOpen(fb, folder.File("n.DAT"), false, false, false, false);
    ASSERT_TRUE(FbOk);
    std::int32_t n = 0;
    FbAppendRecord(fb, n, test::RecordBytes(30, 'a'));
    storage::FileblockOf(fb)->network = new storage::NetworkBlock; // as network mode would make it
    FbWriteRecord(fb, 1, test::RecordBytes(30, 'b'));
    EXPECT_EQ(FbErrorCode, fberr::kMustBeLocked);
    FbWriteRecord(fb, 1, test::RecordBytes(30, 'b'), true); // no-lock: the lock is not asked
    EXPECT_TRUE(FbOk);
    storage::FileblockOf(fb)->network->locked = true;
    FbFreeRecord(fb, 1);
    EXPECT_TRUE(FbOk);
    {
        // With a network block an undefined access error reads as a lock in the way.
        test::FaultyFileOps files;
        Fileblock* other = nullptr;
        FbCreate(folder.File("m.DAT"), 30, 0, test::Keys({}));
        FbOpen(other, folder.File("m.DAT"), false, false, false, false);
        storage::FileblockOf(other)->network = new storage::NetworkBlock;
        storage::FileblockOf(other)->network->allReadOnly = true; // no read lock to take
        files.FailNth(FileCall::Read, 1, platform::win32::kIoDevice, "m.DAT");
        std::vector<unsigned char> record(30);
        FbReadRecord(other, 0, record);
        EXPECT_EQ(FbErrorCode, fberr::kLockPreventsReadOnly);
        FbClose(other);
        EXPECT_TRUE(FbOk);
    }
    FbClose(fb);
    EXPECT_TRUE(FbOk);
}

} // namespace
