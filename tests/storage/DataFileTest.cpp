#include "BTreeFixture.h"
#include "FaultyFileOps.h"
#include "StorageSession.h"
#include "TempFolder.h"

#include "storage/Fileblock.h"
#include "storage/Storage.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using test::Concat;
using test::FileCall;
using test::Le32;
using Bytes = std::vector<unsigned char>;
namespace win32 = platform::win32;

constexpr std::int32_t kR = 464;

class DataFile : public ::testing::Test {
protected:
    void SetUp() override {
        FbCreate(name, kR, 2, test::Keys({{8, false}, {8, true}}));
        ASSERT_TRUE(FbOk) << FbErrorCode;
        Open();
    }
    void TearDown() override {
        if (fb) FbClose(fb);
    }

    void Open(bool readOnly = false) {
        FbOpen(fb, name, readOnly, false, false, false);
        ASSERT_TRUE(FbOk) << FbErrorCode;
    }
    void Reopen() {
        FbClose(fb);
        ASSERT_TRUE(FbOk) << FbErrorCode;
        Open();
    }
    std::int32_t Append(unsigned char fill) {
        std::int32_t n = -7;
        FbAppendRecord(fb, n, test::RecordBytes(kR, fill));
        EXPECT_TRUE(FbOk) << FbErrorCode;
        return n;
    }
    Bytes Read(std::int32_t n) {
        Bytes buffer(kR);
        FbReadRecord(fb, n, buffer);
        return buffer;
    }
    Bytes Header() { return test::BytesAt(dataName, 0, 21); }
    static Bytes HeaderImage(std::int32_t firstFree, std::int32_t freeCount, std::int32_t allocated,
                             unsigned char inUse) {
        return Concat({Le32(firstFree), Le32(freeCount), Le32(allocated), Le32(kR), Le32(2), {inUse}});
    }

    test::TempFolder folder;
    test::StorageSession session;
    std::string name = folder.File("zelp.DAT");
    std::string dataName = folder.File("zelp.DAT");
    Fileblock* fb = nullptr;
};

TEST_F(DataFile, ANewDataFileIsItsHeaderRecordAlone) {
    Bytes expected(kR, 0);
    const Bytes head = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0,    0, 0, 0, 0,   0,
                        0,    0xD0, 0x01, 0,    0, 0x02, 0, 0, 0, 0x00};
    std::copy(head.begin(), head.end(), expected.begin());
    EXPECT_EQ(test::ReadWholeFile(dataName), expected);
    EXPECT_EQ(FbLiveRecordCount(fb), 0);
    // Record 0 reads back as the header record.
    EXPECT_EQ(Read(0), expected);
    EXPECT_TRUE(FbOk);
}

TEST_F(DataFile, HeaderAfterAppendsFreesAndAClose) {
    EXPECT_EQ(Append('a'), 1);
    EXPECT_EQ(Append('b'), 2);
    EXPECT_EQ(Append('c'), 3);
    EXPECT_EQ(test::ReadWholeFile(dataName).size(), 4u * kR);
    EXPECT_EQ(FbLiveRecordCount(fb), 3);
    // Until the close only the in-use mark changes on disk.
    EXPECT_EQ(Header(), HeaderImage(-1, 0, 0, 1));

    FbFreeRecord(fb, 2);
    FbFreeRecord(fb, 3);
    ASSERT_TRUE(FbOk);
    EXPECT_EQ(test::BytesAt(dataName, 3 * kR, 4), Le32(2));
    EXPECT_EQ(test::BytesAt(dataName, 2 * kR, 4), Le32(-1));
    EXPECT_EQ(test::BytesAt(dataName, 2 * kR + 4, 4), (Bytes{'b', 'b', 'b', 'b'}));
    EXPECT_EQ(FbLiveRecordCount(fb), 1);

    FbClose(fb);
    ASSERT_TRUE(FbOk);
    EXPECT_EQ(Header(), HeaderImage(3, 2, 3, 0));
    EXPECT_EQ(test::BytesAt(dataName, 21, kR - 21), Bytes(kR - 21, 0));

    Open();
    EXPECT_EQ(Append('d'), 3); // the last freed comes back first
    EXPECT_EQ(Append('e'), 2);
    EXPECT_EQ(Append('f'), 4);
    EXPECT_EQ(Read(2), test::RecordBytes(kR, 'e'));
    FbClose(fb);
    EXPECT_EQ(Header(), HeaderImage(-1, 0, 4, 0));
}

TEST_F(DataFile, RecordNumbersOutsideTheFileAreRefused) {
    for (unsigned char c : {'a', 'b', 'c'})
        Append(c);
    for (std::int32_t n : {0, 4, -1}) {
        FbFreeRecord(fb, n);
        EXPECT_EQ(FbErrorCode, fberr::kRecordOutOfRange) << n;
    }
    // A read of a negative number is refused as a free is, on a read-only Fileblock too.
    Bytes untouched(kR, 0xEE);
    FbReadRecord(fb, -1, untouched);
    EXPECT_EQ(FbErrorCode, fberr::kRecordOutOfRange);
    EXPECT_EQ(untouched, Bytes(kR, 0xEE));
    FbWriteRecord(fb, 0, test::RecordBytes(kR, 'x'));
    EXPECT_EQ(FbErrorCode, fberr::kRecordZero);
    EXPECT_EQ(Header(), HeaderImage(-1, 0, 0, 1));
    // Writing past the allocated count would grow the file behind the header's back.
    FbWriteRecord(fb, 4, test::RecordBytes(kR, 'x'));
    EXPECT_EQ(FbErrorCode, fberr::kRecordOutOfRange);
    EXPECT_EQ(test::ReadWholeFile(dataName).size(), 4u * kR);
    Read(10);
    EXPECT_EQ(FbErrorCode, fberr::kReadError);
    FbWriteRecord(fb, 3, test::RecordBytes(kR, 'z'));
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(Read(3), test::RecordBytes(kR, 'z'));
    FbClose(fb);
    Open(true);
    FbReadRecord(fb, -1, untouched);
    EXPECT_EQ(FbErrorCode, fberr::kRecordOutOfRange) << "read-only";
}

TEST_F(DataFile, AFreeRecordIsNeitherFreedAgainNorWritten) {
    for (unsigned char c : {'a', 'b', 'c'})
        Append(c);
    FbFreeRecord(fb, 2);
    ASSERT_TRUE(FbOk);
    FbFreeRecord(fb, 2);
    EXPECT_EQ(FbErrorCode, fberr::kConsistency);
    FbWriteRecord(fb, 2, test::RecordBytes(kR, 'x'));
    EXPECT_EQ(FbErrorCode, fberr::kConsistency);
    EXPECT_EQ(FbLiveRecordCount(fb), 2);
    // The chain is intact: record 2 comes back once, then the file grows.
    EXPECT_EQ(Append('d'), 2);
    EXPECT_EQ(Append('e'), 4);
    // Known after a reopen too: the chain is walked again.
    FbFreeRecord(fb, 4);
    Reopen();
    FbFreeRecord(fb, 4);
    EXPECT_EQ(FbErrorCode, fberr::kConsistency);
    FbWriteRecord(fb, 2, test::RecordBytes(kR, 'x'));
    EXPECT_TRUE(FbOk);
}

TEST_F(DataFile, ADamagedFreeChainKeepsTheLiveRecordsButHandsOutNone) {
    // Records 1 to 4; the chain as a damaged header and links would give it. Record 4 is
    // live in every case.
    struct Row {
        const char* name;
        std::int32_t firstFree;
        std::int32_t freeCount;
        std::vector<std::pair<std::int32_t, std::int32_t>> links; // record, link
    };
    const Row rows[] = {
        {"head beyond the records", 9, 1, {}},
        {"chain in a cycle", 1, 2, {{1, 2}, {2, 1}}},
        {"chain longer than the count", 1, 1, {{1, 2}, {2, -1}}},
        {"chain shorter than the count", 1, 2, {{1, -1}}},
        {"link to a live record", 1, 1, {{1, 4}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FbClose(fb);
        FbCreate(name, kR, 2, test::Keys({{8, false}, {8, true}}));
        Open();
        for (unsigned char c : {'a', 'b', 'c', 'd'})
            Append(c);
        FbClose(fb);
        test::PatchFile(dataName, 0, Concat({Le32(row.firstFree), Le32(row.freeCount)}));
        for (const auto& [record, link] : row.links)
            test::PatchFile(dataName, static_cast<std::size_t>(record) * kR, Le32(link));
        const Bytes before = test::ReadWholeFile(dataName);

        FbOpen(fb, name, false, false, false, false);
        ASSERT_TRUE(FbOk) << FbErrorCode << ": the user's records stay reachable";
        EXPECT_EQ(Read(4), test::RecordBytes(kR, 'd'));
        FbWriteRecord(fb, 4, test::RecordBytes(kR, 'D'));
        EXPECT_TRUE(FbOk) << FbErrorCode;
        std::int32_t n = -7;
        FbAppendRecord(fb, n, test::RecordBytes(kR, 'x'));
        EXPECT_EQ(FbErrorCode, fberr::kConsistency);
        EXPECT_EQ(n, -7);
        EXPECT_EQ(Read(4), test::RecordBytes(kR, 'D')) << "no live record was handed out";
        FbClose(fb);
        ASSERT_TRUE(FbOk);
        Bytes expected = before;
        const Bytes rewritten = test::RecordBytes(kR, 'D');
        std::copy(rewritten.begin(), rewritten.end(), expected.begin() + 4 * kR);
        EXPECT_EQ(test::ReadWholeFile(dataName), expected) << "the append changed nothing";
        Open();
    }
}

TEST_F(DataFile, BuffersOfAnotherSizeThanTheRecordsAreRefused) {
    Append('a');
    Bytes small(100, 0xEE);
    FbReadRecord(fb, 1, small);
    EXPECT_EQ(FbErrorCode, fberr::kPageSizeIncompatible);
    EXPECT_EQ(small, Bytes(100, 0xEE));
    std::int32_t n = 0;
    FbAppendRecord(fb, n, Bytes(500, 1));
    EXPECT_EQ(FbErrorCode, fberr::kPageSizeIncompatible);
    FbWriteRecord(fb, 1, Bytes(10, 1));
    EXPECT_EQ(FbErrorCode, fberr::kPageSizeIncompatible);
    EXPECT_EQ(FbLiveRecordCount(fb), 1);
}

TEST_F(DataFile, AChainHeadOutOfBoundsStopsTheAppend) {
    Append('a');
    storage::FileblockOf(fb)->Data().firstFree = 5; // as a damaged header would give
    storage::FileblockOf(fb)->Data().freeCount = 1;
    std::int32_t n = -7;
    FbAppendRecord(fb, n, test::RecordBytes(kR, 'x'));
    EXPECT_EQ(FbErrorCode, fberr::kConsistency);
    EXPECT_EQ(n, -7);
    EXPECT_EQ(storage::FileblockOf(fb)->Data().allocated, 1);
    EXPECT_EQ(storage::FileblockOf(fb)->Data().firstFree, 5);
    storage::FileblockOf(fb)->Data().firstFree = -1;
    storage::FileblockOf(fb)->Data().freeCount = 0;
}

TEST_F(DataFile, ReadOnlyFileblocksReadButNeverWrite) {
    Append('a');
    FbClose(fb);
    const Bytes before = test::ReadWholeFile(dataName);
    Open(true);
    EXPECT_EQ(Read(1), test::RecordBytes(kR, 'a'));
    FbWriteRecord(fb, 1, test::RecordBytes(kR, 'x'));
    EXPECT_EQ(FbErrorCode, fberr::kReadOnlyFileblock);
    std::int32_t n = 0;
    FbAppendRecord(fb, n, test::RecordBytes(kR, 'x'));
    EXPECT_EQ(FbErrorCode, fberr::kReadOnlyFileblock);
    FbFreeRecord(fb, 1);
    EXPECT_EQ(FbErrorCode, fberr::kReadOnlyFileblock);
    FbClose(fb);
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(test::ReadWholeFile(dataName), before);

    // On a read-only Fileblock an undefined access error reads as a lock in the way.
    test::FaultyFileOps files;
    Open(true);
    files.FailNth(FileCall::Read, 1, win32::kIoDevice, ".DAT");
    Read(1);
    EXPECT_EQ(FbErrorCode, fberr::kLockPreventsReadOnly);
    files.FailNth(FileCall::Read, 1, win32::kInvalidHandle, ".DAT");
    Read(1);
    EXPECT_EQ(FbErrorCode, fberr::kInvalidHandle);
    FbClose(fb);
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(test::ReadWholeFile(dataName), before);
}

TEST_F(DataFile, FailedWritesLeaveTheCountersAsTheyWere) {
    FbClose(fb);
    test::FaultyFileOps files;
    Open();
    // The very first change cannot mark the file in use: nothing happens, and the next
    // change tries the mark again.
    files.FailNth(FileCall::Write, 1, win32::kDiskFull, ".DAT");
    std::int32_t n = -7;
    FbAppendRecord(fb, n, test::RecordBytes(kR, 'a'));
    EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
    EXPECT_EQ(Header(), HeaderImage(-1, 0, 0, 0));
    EXPECT_EQ(FbLiveRecordCount(fb), 0);
    EXPECT_EQ(Append('a'), 1);
    EXPECT_EQ(Header(), HeaderImage(-1, 0, 0, 1));

    // A failed append through the end and through the free chain.
    files.FailNth(FileCall::Write, 1, win32::kDiskFull, ".DAT");
    FbAppendRecord(fb, n, test::RecordBytes(kR, 'b'));
    EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
    EXPECT_EQ(storage::FileblockOf(fb)->Data().allocated, 1);
    EXPECT_EQ(Append('b'), 2);
    FbFreeRecord(fb, 1);
    files.ShortNth(FileCall::Write, 1, 10, ".DAT");
    FbAppendRecord(fb, n, test::RecordBytes(kR, 'c'));
    EXPECT_EQ(FbErrorCode, fberr::kWriteError);
    EXPECT_EQ(storage::FileblockOf(fb)->Data().firstFree, 1);
    EXPECT_EQ(storage::FileblockOf(fb)->Data().freeCount, 1);
    EXPECT_EQ(Append('c'), 1);

    // A failed free leaves the record in use.
    files.FailNth(FileCall::Write, 1, win32::kInvalidHandle, ".DAT");
    FbFreeRecord(fb, 2);
    EXPECT_EQ(FbErrorCode, fberr::kInvalidHandle);
    EXPECT_EQ(FbLiveRecordCount(fb), 2);
    FbFreeRecord(fb, 2);
    EXPECT_TRUE(FbOk);

    files.FailNth(FileCall::Read, 1, win32::kIoDevice, ".DAT");
    Read(1);
    EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
    EXPECT_EQ(storage::Engine().lastFunctionCode, storage::fn::kRead);
    EXPECT_EQ(storage::Engine().lastSystemError, win32::kIoDevice);
}

TEST_F(DataFile, RecordOperationsFollowAModelAcrossCloseAndReopen) {
    std::mt19937 random(20261210);
    std::map<std::int32_t, Bytes> live;
    std::vector<std::int32_t> freed; // last freed at the back
    std::int32_t allocated = 0;
    for (int step = 0; step < 600; ++step) {
        const int what = static_cast<int>(random() % 10);
        if (what < 5 || live.empty()) {
            const Bytes bytes = test::RecordBytes(kR, static_cast<unsigned char>(random()), step);
            std::int32_t expected = freed.empty() ? ++allocated : freed.back();
            if (!freed.empty()) freed.pop_back();
            std::int32_t n = 0;
            FbAppendRecord(fb, n, bytes);
            ASSERT_TRUE(FbOk) << step;
            ASSERT_EQ(n, expected) << step;
            live[n] = bytes;
        } else if (what < 7) {
            auto it = std::next(live.begin(), static_cast<long>(random() % live.size()));
            FbFreeRecord(fb, it->first);
            ASSERT_TRUE(FbOk) << step;
            freed.push_back(it->first);
            live.erase(it);
        } else if (what < 8) {
            auto it = std::next(live.begin(), static_cast<long>(random() % live.size()));
            it->second = test::RecordBytes(kR, static_cast<unsigned char>(random()), -step);
            FbWriteRecord(fb, it->first, it->second);
            ASSERT_TRUE(FbOk) << step;
        } else if (what < 9) {
            Reopen();
        } else {
            for (const auto& [n, bytes] : live)
                ASSERT_EQ(Read(n), bytes) << step << " record " << n;
        }
        ASSERT_EQ(FbLiveRecordCount(fb), static_cast<std::int32_t>(live.size())) << step;
    }
    Reopen();
    for (const auto& [n, bytes] : live)
        EXPECT_EQ(Read(n), bytes) << n;
    EXPECT_EQ(Header(), HeaderImage(freed.empty() ? -1 : freed.back(),
                                    static_cast<std::int32_t>(freed.size()), allocated, 0));
}

// Runs `body` in a child process that ends without any clean-up, as a crash would.
template <typename Body> void InCrashingChild(Body body) {
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
}

TEST_F(DataFile, ACrashAfterAChangeLeavesTheFileMarkedInUse) {
    FbClose(fb);
    InCrashingChild([this] {
        test::FaultyFileOps files;
        Fileblock* child = nullptr;
        FbOpen(child, name, false, false, false, false);
        std::int32_t n = 0;
        for (unsigned char c : {'a', 'b'})
            FbAppendRecord(child, n, test::RecordBytes(kR, c));
        files.DropUnflushedWrites(); // everything the disk did not confirm is lost
    });
    FbOpen(fb, name, false, false, false, false);
    EXPECT_EQ(FbErrorCode, fberr::kFileDefect);
    EXPECT_EQ(fb, nullptr);
}

TEST_F(DataFile, ACleanCloseReachesTheDiskBeforeACrash) {
    FbClose(fb);
    InCrashingChild([this] {
        test::FaultyFileOps files;
        Fileblock* child = nullptr;
        FbOpen(child, name, false, false, false, false);
        std::int32_t n = 0;
        for (unsigned char c : {'a', 'b'})
            FbAppendRecord(child, n, test::RecordBytes(kR, c));
        FbFreeRecord(child, 1);
        FbClose(child);
        files.DropUnflushedWrites();
    });
    Open();
    EXPECT_EQ(FbLiveRecordCount(fb), 1);
    EXPECT_EQ(Read(2), test::RecordBytes(kR, 'b'));
    EXPECT_EQ(Append('c'), 1);
}

} // namespace

namespace {

TEST(DataFileDamage, NoHeaderMakesTheEngineCrashOrHandOutARecordTwice) {
    test::TempFolder folder;
    test::StorageSession session;
    const std::string name = folder.File("d.DAT");
    std::mt19937 random(7);
    int opened = 0;
    for (int round = 0; round < 300; ++round) {
        FbCreate(name, 40, 0, test::Keys({}));
        Fileblock* fb = nullptr;
        FbOpen(fb, name, false, false, false, false);
        std::int32_t n = 0;
        for (int i = 0; i < 4; ++i)
            FbAppendRecord(fb, n, test::RecordBytes(40, 'r'));
        FbFreeRecord(fb, 2);
        FbClose(fb);
        ASSERT_TRUE(FbOk);
        // Small values make plausible-looking damage; any value may appear.
        const auto value = [&random]() -> std::int32_t {
            const auto r = random();
            return r % 3 == 0 ? static_cast<std::int32_t>(r) : static_cast<std::int32_t>(r % 9) - 2;
        };
        const int field = static_cast<int>(random() % 4);
        test::PatchFile(name, static_cast<std::size_t>(field) * 4, test::Le32(value()));
        if (random() % 2) test::PatchFile(name, 40 * (1 + random() % 4), test::Le32(value()));
        FbOpen(fb, name, false, false, false, false);
        if (!FbOk) {
            EXPECT_TRUE(FbErrorCode == fberr::kFileDefect || FbErrorCode == fberr::kConsistency ||
                        FbErrorCode == fberr::kReadError)
                << round << ": " << FbErrorCode;
            continue;
        }
        ++opened;
        std::set<std::int32_t> handedOut;
        for (int i = 0; i < 6; ++i) {
            FbAppendRecord(fb, n, test::RecordBytes(40, 'x'));
            if (!FbOk) break;
            EXPECT_TRUE(handedOut.insert(n).second) << round;
            EXPECT_GE(n, 1) << round;
        }
        FbClose(fb);
    }
    EXPECT_GT(opened, 0);
}

} // namespace

namespace {

// Another program (a sync tool, a restore, "> zelp.DAT") cuts the data file shorter while it is
// open: the records past the new end are read errors, not a bus error, and so is every later
// call on the file; the close leaves the file as it was found.
TEST_F(DataFile, AFileCutShorterByAnotherProgramIsAReadErrorFromThenOn) {
    for (int n = 1; n <= 40; ++n)
        Append(static_cast<unsigned char>(n));
    Reopen();
    ASSERT_EQ(Read(30), test::RecordBytes(kR, 30));
    ASSERT_EQ(::truncate(dataName.c_str(), kR), 0);
    Bytes buffer(kR);
    // Within the file's first page of memory, where the view shows zeros past the end.
    FbReadRecord(fb, 2, buffer);
    EXPECT_EQ(FbErrorCode, fberr::kReadError);
    FbReadRecord(fb, 35, buffer);
    EXPECT_EQ(FbErrorCode, fberr::kReadError);
    FbReadRecord(fb, 1, buffer);
    EXPECT_EQ(FbErrorCode, fberr::kReadError);
    std::int32_t n = 0;
    FbAppendRecord(fb, n, test::RecordBytes(kR, 'x'));
    EXPECT_FALSE(FbOk);
    FbWriteRecord(fb, 2, test::RecordBytes(kR, 'x'));
    EXPECT_FALSE(FbOk);
    FbClose(fb);
    EXPECT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(fb, nullptr);
    EXPECT_EQ(test::ReadWholeFile(dataName).size(), static_cast<std::size_t>(kR));
}

} // namespace

namespace {

// Another program cuts the data file inside a record: the part left in the file and the zeros a
// view shows past its end are no record, so the read fails as one wholly past the end does.
// Cut at a record's end or later, the record reads whole. (The records end in zero bytes.)
TEST_F(DataFile, ARecordCutShortByAnotherProgramIsAReadError) {
    for (int n = 1; n <= 120; ++n)
        Append(static_cast<unsigned char>(n));
    FbClose(fb);
    ASSERT_TRUE(FbOk);
    const Bytes whole = test::ReadWholeFile(dataName);
    struct Row {
        const char* name;
        std::int32_t record;
        std::int64_t cut;
        bool whole;
    };
    const Row rows[] = {
        {"record 100 cut in half", 100, 46632, false},
        {"record 100 after its first byte", 100, 100 * kR + 1, false},
        {"record 100 one byte short", 100, 101 * kR - 1, false},
        {"the last record, in the file's last page", 120, 120 * kR + 200, false},
        {"record 8 before the page its tail lies in", 8, 4000, false},
        {"record 100, cut at its end", 100, 101 * kR, true},
        {"record 100, cut a page later", 100, 101 * kR + 4096, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::WriteWholeFile(dataName, whole);
        Open();
        ASSERT_EQ(Read(row.record), test::RecordBytes(kR, static_cast<unsigned char>(row.record)));
        ASSERT_EQ(::truncate(dataName.c_str(), static_cast<off_t>(row.cut)), 0);
        const Bytes read = Read(row.record);
        if (row.whole) {
            EXPECT_TRUE(FbOk) << FbErrorCode;
            EXPECT_EQ(read, test::RecordBytes(kR, static_cast<unsigned char>(row.record)));
        } else {
            EXPECT_EQ(FbErrorCode, fberr::kReadError);
        }
        FbClose(fb);
        EXPECT_TRUE(FbOk) << FbErrorCode;
    }
}

} // namespace

namespace {

// A header that counts fewer records than the file holds (restored from an old copy, or
// edited) would let the next append overwrite a live record: the open refuses it and writes
// nothing, down to a count lowered by one or a part of a record past the count (an append that
// failed or was undone cuts its record off again, so a file at rest never carries one).
TEST_F(DataFile, AHeaderCountingFewerRecordsThanTheFileHoldsIsRefusedAtOpen) {
    for (int n = 1; n <= 120; ++n)
        Append(static_cast<unsigned char>(n));
    FbClose(fb);
    ASSERT_TRUE(FbOk);
    const Bytes whole = test::ReadWholeFile(dataName);
    const std::string indexName = folder.File("zelp.IX");
    const Bytes index = test::ReadWholeFile(indexName);
    struct Row {
        const char* name;
        std::int32_t allocated;
        std::size_t tail; // bytes past the 120 records
        bool opens;
    };
    const Row rows[] = {
        {"60 of 120", 60, 0, false},
        {"118 of 120", 118, 0, false},
        {"119 of 120: one left over", 119, 0, false},
        {"120 and part of one more", 120, 100, false},
        {"120 and one byte more", 120, 1, false},
        {"120 of 120", 120, 0, true},
        {"119 of 120 and part of one more", 119, 100, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes damaged = whole;
        damaged.resize(whole.size() + row.tail, 'z');
        test::WriteWholeFile(dataName, damaged);
        test::PatchFile(dataName, 8, Le32(row.allocated));
        const Bytes before = test::ReadWholeFile(dataName);
        FbOpen(fb, name, false, false, false, false);
        if (!row.opens) {
            EXPECT_EQ(FbErrorCode, fberr::kFileDefect);
            EXPECT_EQ(fb, nullptr);
            EXPECT_EQ(test::ReadWholeFile(dataName), before);
            EXPECT_EQ(test::ReadWholeFile(indexName), index);
            EXPECT_FALSE(test::FileExists(folder.File("zelp.DIA")));
            continue;
        }
        ASSERT_TRUE(FbOk) << FbErrorCode;
        Bytes buffer(kR);
        FbReadRecord(fb, row.allocated + 1, buffer);
        EXPECT_EQ(FbErrorCode, fberr::kReadError);
        FbClose(fb);
        ASSERT_TRUE(FbOk);
    }
}

} // namespace

namespace {

// The same for the index file: the pages past its new end are read errors, and the close
// writes nothing back into it.
TEST_F(DataFile, AnIndexFileCutShorterByAnotherProgramIsAReadErrorFromThenOn) {
    for (int n = 1; n <= 3000; ++n) {
        const std::int32_t record = Append('k');
        FbInsertKey(fb, 1, record, storagetest::RecordKey(record));
    }
    Reopen();
    const std::string indexName = folder.File("zelp.IX");
    std::int32_t reference = 0;
    FbFindKey(fb, 1, reference, storagetest::RecordKey(10));
    ASSERT_EQ(reference, 10);
    const std::size_t rowZero = 2 * (62 * 8 + 564);
    ASSERT_EQ(::truncate(indexName.c_str(), static_cast<off_t>(rowZero)), 0);
    // Pages still in the buffers answer; every page read from the file fails.
    for (const std::int32_t record : {2990, 1500, 2000}) {
        FbFindKey(fb, 1, reference, storagetest::RecordKey(record));
        EXPECT_EQ(FbErrorCode, fberr::kReadError) << record;
    }
    FbClose(fb);
    EXPECT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(test::ReadWholeFile(indexName).size(), rowZero);
}

} // namespace

namespace {

// An append whose record was written only in part is undone (by the journal's replay in save
// mode): the file is cut back to the records counted, so a clean close leaves a file that holds
// its records and no more, and opens again.
TEST_F(DataFile, AnAppendUndoneLeavesNoRecordPastTheCount) {
    const std::string dataName = folder.File("zelp.DAT");
    for (bool saveMode : {false, true}) {
        SCOPED_TRACE(saveMode ? "save mode" : "without save mode");
        FbClose(fb);
        FbCreate(name, kR, 2, test::Keys({{8, false}, {8, true}}));
        FbOpen(fb, name, false, false, saveMode, false);
        ASSERT_TRUE(FbOk) << FbErrorCode;
        for (int n = 1; n <= 4; ++n)
            Append(static_cast<unsigned char>(n));
        {
            test::FaultyFileOps files;
            files.ShortNth(test::FileCall::Write, 1, 100, ".DAT");
            std::int32_t record = 0;
            FbAppendRecord(fb, record, test::RecordBytes(kR, 'x'));
            EXPECT_FALSE(FbOk);
        }
        FbClose(fb);
        ASSERT_TRUE(FbOk) << FbErrorCode;
        EXPECT_EQ(test::ReadWholeFile(dataName).size(), 5u * kR);
        FbOpen(fb, name, false, false, saveMode, false);
        ASSERT_TRUE(FbOk) << FbErrorCode;
        EXPECT_EQ(Append('y'), 5);
    }
}

} // namespace

namespace {

// Another program cuts the open data file inside a record or at a record's end, and the next
// append needs no read to notice: it finds the file shorter than its count, fails with 10070
// and writes nothing, in save mode and whether its record would come from the free chain or
// the end (written there, the file would grow back with zeros in the place of the records cut
// off, which would read as sound from then on). The file stays cut, and the next open refuses
// it as damaged.
TEST_F(DataFile, AnAppendToAFileCutShorterByAnotherProgramFailsAndWritesNothing) {
    for (int n = 1; n <= 120; ++n)
        Append(static_cast<unsigned char>(n));
    FbClose(fb);
    ASSERT_TRUE(FbOk);
    const Bytes whole = test::ReadWholeFile(dataName);
    const std::string dialogName = folder.File("zelp.DIA");
    struct Row {
        const char* name;
        std::int64_t cut;
        bool fromChain; // record 5 freed before the cut, so the append would take it
    };
    const Row rows[] = {
        {"inside record 110", 51045, false},
        {"at the end of record 115", 116 * kR, false},
        {"at the end of record 119, in the file's last page", 120 * kR, false},
        {"inside record 110, the append from the free chain", 51045, true},
    };
    // Save mode, the program's: a normal-mode append does not ask the file's size.
    const bool saveMode = true;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::WriteWholeFile(dataName, whole);
        FbOpen(fb, name, false, false, saveMode, false);
        ASSERT_TRUE(FbOk) << FbErrorCode;
        if (row.fromChain) {
            FbFreeRecord(fb, 5);
            ASSERT_TRUE(FbOk) << FbErrorCode;
        }
        ASSERT_EQ(::truncate(dataName.c_str(), static_cast<off_t>(row.cut)), 0);
        const Bytes cut = test::ReadWholeFile(dataName);
        const Bytes dialog = test::ReadWholeFile(dialogName);
        std::int32_t record = -7;
        FbAppendRecord(fb, record, test::RecordBytes(kR, 'x'));
        EXPECT_EQ(FbErrorCode, fberr::kReadError);
        EXPECT_EQ(record, -7);
        EXPECT_EQ(test::ReadWholeFile(dataName), cut);
        EXPECT_EQ(test::ReadWholeFile(dialogName), dialog);
        FbClose(fb);
        EXPECT_TRUE(FbOk) << FbErrorCode;
        EXPECT_EQ(test::ReadWholeFile(dataName), cut);
        FbOpen(fb, name, false, false, saveMode, false);
        EXPECT_EQ(FbErrorCode, fberr::kFileDefect);
        EXPECT_EQ(fb, nullptr);
    }
}

} // namespace

namespace {

// A pass over every record, some at a time: each read takes as many whole records as the buffer
// holds, up to the last one counted, and ends with 0 and no failure past it.
TEST_F(DataFile, RecordsAreReadManyAtATimeUpToTheLastOneCounted) {
    for (int n = 1; n <= 5; ++n)
        Append(static_cast<unsigned char>(n));
    struct Row {
        const char* name;
        std::int32_t first;
        std::size_t room; // bytes
        std::vector<int> records;
    };
    const std::vector<Row> rows = {
        {"two from the first", 1, 2 * kR, {1, 2}},
        {"two and a part from the fourth", 4, 2 * kR + 100, {4, 5}},
        {"from the last", 5, 3 * kR, {5}},
        {"past the last", 6, 2 * kR, {}},
        {"into less than a record", 1, kR - 1, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes buffer(row.room, 0xEE);
        const std::int32_t read = FbReadRecords(fb, row.first, buffer);
        EXPECT_TRUE(FbOk) << FbErrorCode;
        ASSERT_EQ(read, static_cast<std::int32_t>(row.records.size()));
        for (std::size_t i = 0; i < row.records.size(); ++i)
            EXPECT_EQ(Bytes(buffer.begin() + static_cast<std::ptrdiff_t>(i * kR),
                            buffer.begin() + static_cast<std::ptrdiff_t>((i + 1) * kR)),
                      test::RecordBytes(kR, static_cast<unsigned char>(row.records[i])));
    }
    Bytes buffer(2 * kR);
    EXPECT_EQ(FbReadRecords(fb, 0, buffer), 0);
    EXPECT_EQ(FbErrorCode, fberr::kRecordOutOfRange);
    ASSERT_EQ(::truncate(dataName.c_str(), 3 * kR + 10), 0);
    EXPECT_EQ(FbReadRecords(fb, 1, buffer), 2) << "records 1 and 2 are whole";
    EXPECT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(FbReadRecords(fb, 2, buffer), 0);
    EXPECT_EQ(FbErrorCode, fberr::kReadError);
}

} // namespace
