#include "FaultyFileOps.h"
#include "StorageSession.h"
#include "TempFolder.h"

#include "storage/FileNames.h"
#include "storage/FilePrimitives.h"
#include "storage/LockRanges.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

using storage::FileRecord;
using test::FileCall;
namespace win32 = platform::win32;
namespace fn = storage::fn;

TEST(FileNames, ExtensionsAndTheSemicolonSplit) {
    struct Row {
        const char* name;
        const char* data;
        const char* index;
        const char* dialog;
    };
    const Row rows[] = {
        {"zelp.DAT", "zelp.DAT", "zelp.IX", "zelp.DIA"},
        {"C:\\base\\zelp.DAT", "C:\\base\\zelp.DAT", "C:\\base\\zelp.IX", "C:\\base\\zelp.DIA"},
        {"C:\\dir.old\\zelp", "C:\\dir.old\\zelp.DAT", "C:\\dir.old\\zelp.IX", "C:\\dir.old\\zelp.DIA"},
        {"/home/u/dir.old/zelp", "/home/u/dir.old/zelp.DAT", "/home/u/dir.old/zelp.IX",
         "/home/u/dir.old/zelp.DIA"},
        {"zelp", "zelp.DAT", "zelp.IX", "zelp.DIA"},
        {"a.b.c", "a.b.DAT", "a.b.IX", "a.b.DIA"},
        {"main;other", "main.DAT", "other.IX", "main.DIA"},
        {"main;other;third", "main.DAT", "other.IX", "main.DIA"},
    };
    for (const Row& row : rows) {
        const storage::FileblockNames names = storage::NamesOf(row.name);
        EXPECT_EQ(names.data, row.data) << row.name;
        EXPECT_EQ(names.index, row.index) << row.name;
        EXPECT_EQ(names.dialog, row.dialog) << row.name;
    }
    // Long names stay whole, so two long names that differ only at their end stay apart.
    const std::string longName = "/data/" + std::string(100, 'd') + "/zelp.DAT";
    EXPECT_EQ(storage::NamesOf(longName).index, "/data/" + std::string(100, 'd') + "/zelp.IX");
}

class FilePrimitives : public ::testing::Test {
protected:
    void SetUp() override { storage::ResetStatus(); }
    void TearDown() override {
        if (file.IsOpen()) platform::PosixFiles().Close(file.handle);
        storage::ResetStatus();
    }

    void OpenNew(const std::string& name) {
        storage::FileSetName(file, folder.File(name));
        storage::FileCreate(file);
        ASSERT_TRUE(FbOk);
    }

    test::TempFolder folder;
    test::FaultyFileOps files;
    FileRecord file;
};

TEST_F(FilePrimitives, EveryFailureGivesItsCodeAndTheSnapshotOfTheCall) {
    struct Row {
        const char* name;
        FileCall call;
        platform::SystemError error;
        std::int32_t code;
        std::uint16_t function;
        std::function<void(FileRecord&)> primitive;
    };
    char buffer[16] = {};
    const auto openExisting = [](FileRecord& f) { storage::FileOpenExisting(f, false, false); };
    const auto create = [](FileRecord& f) { storage::FileCreate(f); };
    const auto close = [](FileRecord& f) { storage::FileClose(f); };
    const auto remove = [](FileRecord& f) { storage::FileDelete(f); };
    const auto size = [](FileRecord& f) { EXPECT_EQ(storage::FileSize(f), -1); };
    const auto read = [&buffer](FileRecord& f) { storage::FileReadAt(f, 0, 4, buffer); };
    const auto write = [](FileRecord& f) { storage::FileWriteAt(f, 0, 4, "abcd"); };
    const auto truncate = [](FileRecord& f) { storage::FileTruncateAt(f, 2); };
    const auto flush = [](FileRecord& f) { storage::FileFlush(f); };
    const auto zeroFill = [](FileRecord& f) { storage::FileZeroFill(f, 0, 5000); };
    const Row rows[] = {
        {"open: not found", FileCall::Open, win32::kFileNotFound, 9903, fn::kOpen, openExisting},
        {"open: path not found", FileCall::Open, win32::kPathNotFound, 9900, fn::kOpen, openExisting},
        {"open: too many files", FileCall::Open, win32::kTooManyOpenFiles, 9901, fn::kOpen, openExisting},
        {"open: invalid access", FileCall::Open, win32::kInvalidAccess, 9908, fn::kOpen, openExisting},
        {"open: sharing", FileCall::Open, win32::kSharingViolation, 10140, fn::kOpen, openExisting},
        {"create: path not found", FileCall::Open, win32::kPathNotFound, 9900, fn::kOpen, create},
        {"create: too many files", FileCall::Open, win32::kTooManyOpenFiles, 9901, fn::kOpen, create},
        {"create: not found", FileCall::Open, win32::kFileNotFound, 10140, fn::kOpen, create},
        {"close: invalid handle", FileCall::Close, win32::kInvalidHandle, 9904, fn::kClose, close},
        {"close: other", FileCall::Close, win32::kIoDevice, 10140, fn::kClose, close},
        {"delete: not found", FileCall::Delete, win32::kFileNotFound, 9903, fn::kDelete, remove},
        {"delete: path not found", FileCall::Delete, win32::kPathNotFound, 9900, fn::kDelete, remove},
        {"delete: sharing", FileCall::Delete, win32::kSharingViolation, 10140, fn::kDelete, remove},
        {"size: invalid handle", FileCall::Size, win32::kInvalidHandle, 9904, fn::kSize, size},
        {"read: invalid handle", FileCall::Read, win32::kInvalidHandle, 9904, fn::kRead, read},
        {"read: other", FileCall::Read, win32::kIoDevice, 10140, fn::kRead, read},
        {"write: disk full", FileCall::Write, win32::kDiskFull, 10140, fn::kWrite, write},
        {"write: invalid handle", FileCall::Write, win32::kInvalidHandle, 9904, fn::kWrite, write},
        {"truncate", FileCall::Truncate, win32::kAccessDenied, 10140, fn::kTruncate, truncate},
        {"flush", FileCall::Flush, win32::kIoDevice, 10140, fn::kFlush, flush},
        {"zero-fill", FileCall::Write, win32::kDiskFull, 10140, fn::kWrite, zeroFill},
    };
    int i = 0;
    for (const Row& row : rows) {
        OpenNew("f" + std::to_string(i++) + ".DAT");
        storage::FileWriteAt(file, 0, 4, "wxyz");
        ASSERT_TRUE(FbOk);
        files.FailNth(row.call, 1, row.error);
        row.primitive(file);
        EXPECT_FALSE(FbOk) << row.name;
        EXPECT_EQ(FbErrorCode, row.code) << row.name;
        EXPECT_EQ(storage::Engine().lastFunctionCode, row.function) << row.name;
        EXPECT_EQ(storage::Engine().lastSystemError, row.error) << row.name;
        files.Clear();
        storage::ResetStatus();
        if (file.IsOpen()) storage::FileClose(file);
        storage::ResetStatus();
    }
}

TEST_F(FilePrimitives, OpenAndCloseLeaveTheHandleAsTold) {
    storage::FileSetName(file, folder.File("absent.DAT"));
    storage::FileOpenExisting(file, false, false);
    EXPECT_EQ(FbErrorCode, fberr::kFileNotFound);
    EXPECT_EQ(file.handle, -1);
    storage::ResetStatus();
    storage::FileSetName(file, folder.File("no/absent.DAT"));
    storage::FileOpenExisting(file, false, false);
    EXPECT_EQ(FbErrorCode, fberr::kInvalidPathName);
    storage::ResetStatus();
    // A name longer than the system allows is an invalid path name, never cut to another.
    storage::FileSetName(file, folder.File(std::string(300, 'n') + ".DAT"));
    storage::FileCreate(file);
    EXPECT_EQ(FbErrorCode, fberr::kInvalidPathName);
    storage::ResetStatus();

    OpenNew("x.DAT");
    EXPECT_TRUE(file.exclusive);
    // A failed close still gives the descriptor up: it is not kept to be closed again later.
    files.FailNth(FileCall::Close, 1, win32::kIoDevice);
    storage::FileClose(file);
    EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
    EXPECT_EQ(file.handle, -1);
}

TEST_F(FilePrimitives, ShortTransfersAreErrorsOfTheirOwn) {
    OpenNew("x.DAT");
    const std::vector<unsigned char> hundred = test::RecordBytes(100, 'h');
    storage::FileWriteAt(file, 0, 100, hundred.data());
    std::vector<unsigned char> buffer(464, 0);
    storage::FileReadAt(file, 0, 464, buffer.data());
    EXPECT_EQ(FbErrorCode, fberr::kReadError);
    EXPECT_EQ(storage::Engine().lastSystemError, 0u);
    EXPECT_TRUE(std::equal(hundred.begin(), hundred.end(), buffer.begin()));

    storage::ResetStatus();
    files.ShortNth(FileCall::Write, 1, 3);
    storage::FileWriteAt(file, 0, 10, "0123456789");
    EXPECT_EQ(FbErrorCode, fberr::kWriteError);
    EXPECT_EQ(storage::Engine().lastSystemError, 0u);
}

TEST_F(FilePrimitives, AStepAfterAFailedOneIsSkipped) {
    OpenNew("x.DAT");
    files.FailNth(FileCall::Write, 1, win32::kDiskFull);
    storage::FileWriteAt(file, 0, 4, "abcd");
    const int reads = files.Count(FileCall::Read);
    char buffer[4];
    storage::FileReadAt(file, 0, 4, buffer);
    storage::FileFlush(file);
    EXPECT_EQ(files.Count(FileCall::Read), reads);
    EXPECT_EQ(files.Count(FileCall::Flush), 0);
    EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
}

TEST_F(FilePrimitives, TheSnapshotKeepsTheFirstFailureOfAnOperation) {
    storage::LastFileError() = {fn::kRead, win32::kIoDevice};
    storage::FailFromSystem(fberr::kAccessNotPossible);
    storage::LastFileError() = {fn::kWrite, win32::kDiskFull};
    storage::FailFromSystem(fberr::kWriteError);
    EXPECT_EQ(FbErrorCode, fberr::kWriteError);
    EXPECT_EQ(storage::Engine().lastFunctionCode, fn::kRead);
    EXPECT_EQ(storage::Engine().lastSystemError, win32::kIoDevice);
}

TEST_F(FilePrimitives, WriteOfNothingChangesNothingTruncateCutsAndZeroFillWritesZeros) {
    OpenNew("x.DAT");
    storage::FileZeroFill(file, 0, 5000);
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(test::ReadWholeFile(file.name), std::vector<unsigned char>(5000, 0));
    storage::FileZeroFill(file, 6000, 10);
    EXPECT_EQ(test::ReadWholeFile(file.name).size(), 6010u);
    storage::FileWriteAt(file, 1000, 0, nullptr);
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(storage::FileSize(file), 6010) << "a write of nothing cuts nothing";
    storage::FileTruncateAt(file, 1000);
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(storage::FileSize(file), 1000);
    storage::FileSeek(file, 10);
    storage::FileWriteHere(file, 2, "ab");
    EXPECT_EQ(storage::FilePosition(file), 12);
    storage::FileTruncateHere(file);
    EXPECT_EQ(storage::FileSize(file), 12);
}

TEST_F(FilePrimitives, AFlushWithoutHandlesReopensTheFileOutsideNetworkMode) {
    OpenNew("x.DAT");
    storage::FileWriteAt(file, 0, 4, "abcd");
    files.FailNth(FileCall::Flush, 1, win32::kTooManyOpenFiles);
    storage::FileFlush(file);
    EXPECT_TRUE(FbOk);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(storage::FilePosition(file), 4);
    files.FailNth(FileCall::Flush, 1, win32::kTooManyOpenFiles);
    storage::FileFlush(file, true);
    EXPECT_EQ(FbErrorCode, fberr::kNoHandlesForFlush);
}

TEST_F(FilePrimitives, LockRangesAreCountedAndDroppedAtCloseEvenWhenTheUnlockFails) {
    ASSERT_TRUE(storage::InstallLockHooks(2));
    OpenNew("x.DIA");
    const auto h = file.handle;
    EXPECT_TRUE(storage::LockRangeCounted(h, 100, 4, 64, 0));
    EXPECT_TRUE(storage::LockRangeCounted(h, 100, 4, 64, 0)); // counted, no second lock
    EXPECT_EQ(files.Count(FileCall::Lock), 1);
    EXPECT_FALSE(storage::LockRangeCounted(h, 100, 8, 64, 0)); // same offset, other length
    EXPECT_TRUE(storage::LockRangeCounted(h, 10, 4, 64, 0));
    EXPECT_EQ(storage::LockedRangeCount(h), 2u);
    EXPECT_TRUE(storage::UnlockRangeCounted(h, 100, 4));
    EXPECT_EQ(files.Count(FileCall::Unlock), 0);
    EXPECT_FALSE(storage::UnlockRangeCounted(h, 100, 8));

    using Pieces = std::vector<std::pair<std::int64_t, std::int64_t>>;
    EXPECT_EQ(storage::UncoveredPieces(h, 0, 200), (Pieces{{0, 10}, {14, 86}}));
    EXPECT_EQ(storage::UncoveredPieces(h, 12, 10), (Pieces{{14, 8}}));
    EXPECT_EQ(storage::UncoveredPieces(h, 100, 4), Pieces{});

    // A held range is tried again every interval until the total wait is used up.
    files.FailAll(FileCall::Lock, win32::kLockViolation);
    const int locks = files.Count(FileCall::Lock);
    EXPECT_FALSE(storage::LockRangeCounted(h, 500, 1, 1, 3));
    EXPECT_EQ(files.Count(FileCall::Lock) - locks, 4);
    EXPECT_EQ(storage::LastFileError().functionCode, fn::kLock);
    EXPECT_EQ(storage::LockedRangeCount(h), 2u);

    files.FailAll(FileCall::Unlock, win32::kLockViolation);
    storage::FileClose(file);
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(storage::LockedRangeCount(h), 0u);
    ASSERT_TRUE(storage::InstallLockHooks(0));
}

} // namespace
