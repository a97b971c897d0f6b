#include "FaultyFileOps.h"
#include "FileCallLog.h"
#include "StorageSession.h"
#include "TempFolder.h"

#include "storage/Fileblock.h"
#include "storage/Storage.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using test::Concat;
using test::FileCall;
using test::FileExists;
using test::Le32;
using Bytes = std::vector<unsigned char>;
namespace win32 = platform::win32;

class Lifecycle : public ::testing::Test {
public:
    void Create(std::int32_t recordLength = 464, std::uint16_t keys = 2,
                TKeySpecs specs = test::Keys({{8, false}, {8, true}})) {
        FbCreate(name, recordLength, keys, specs);
    }
    void Open(bool readOnly = false, bool network = false, bool saveMode = false) {
        FbOpen(fb, name, readOnly, false, saveMode, network);
    }
    void Close() {
        FbClose(fb);
        ASSERT_TRUE(FbOk) << FbErrorCode;
    }
    void TearDown() override {
        if (fb) FbClose(fb);
    }
    // A create makes a set only where none is.
    void RemoveFiles() const {
        for (const std::string* file : {&dat, &ix, &dia})
            ::unlink(file->c_str());
    }
    bool NoFilesLeft() const { return !FileExists(dat) && !FileExists(ix) && !FileExists(dia); }

    test::TempFolder folder;
    test::StorageSession session;
    std::string name = folder.File("zelp.DAT");
    std::string dat = folder.File("zelp.DAT");
    std::string ix = folder.File("zelp.IX");
    std::string dia = folder.File("zelp.DIA");
    Fileblock* fb = nullptr;
};

TEST_F(Lifecycle, CreateChecksItsArgumentsAndReportsTheLastFailingCheck) {
    struct Row {
        const char* name;
        std::int32_t recordLength;
        std::uint16_t keys;
        TKeySpecs specs;
        std::int32_t code;
    };
    const Row rows[] = {
        {"record length 21", 21, 0, test::Keys({}), fberr::kBadRecordLength},
        {"negative record length", -464, 0, test::Keys({}), fberr::kBadRecordLength},
        {"101 keys", 464, 101, test::Keys({}), fberr::kBadNumberOfKeys},
        {"length 10 and 101 keys", 10, 101, test::Keys({}), fberr::kBadNumberOfKeys},
        {"key length 0", 464, 2, test::Keys({{8, false}, {0, false}}), fberr::kKeySpecTooLong},
        {"key length 31", 464, 1, test::Keys({{31, false}}), fberr::kKeySpecTooLong},
    };
    for (const Row& row : rows) {
        Create(row.recordLength, row.keys, row.specs);
        EXPECT_FALSE(FbOk) << row.name;
        EXPECT_EQ(FbErrorCode, row.code) << row.name;
        EXPECT_TRUE(NoFilesLeft()) << row.name;
    }
    Create(22, 0, test::Keys({}));
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(test::ReadWholeFile(dat).size(), 22u);
}

TEST_F(Lifecycle, CreateMakesTheDataAndIndexFilesAndNoDialogFile) {
    Create(464, 2, test::Keys({{16, false}, {16, true}}));
    ASSERT_TRUE(FbOk);
    EXPECT_EQ(test::ReadWholeFile(dat).size(), 464u);
    const Bytes index = test::ReadWholeFile(ix);
    ASSERT_EQ(index.size(), 3112u);
    // Key headers at the section offsets 0 and 1556: first free -1, free 0, allocated 0,
    // page size 1556, root 0, duplicates, reserved 0, entries 0, 62 items per page.
    const auto keyHeader = [](unsigned char duplicates) {
        return Concat({Le32(-1), Le32(0), Le32(0), Le32(1556), Le32(0), {duplicates, 0}, Le32(0), {62, 0}});
    };
    Bytes expected(3112, 0);
    const Bytes k1 = keyHeader(0), k2 = keyHeader(1);
    std::copy(k1.begin(), k1.end(), expected.begin());
    std::copy(k2.begin(), k2.end(), expected.begin() + 1556);
    EXPECT_EQ(index, expected);
    EXPECT_FALSE(FileExists(dia));
}

TEST_F(Lifecycle, ASemicolonNamesTheIndexFileApart) {
    const std::string split = folder.File("main") + ";" + folder.File("other");
    FbCreate(split, 464, 1, test::Keys({{8, false}}));
    ASSERT_TRUE(FbOk);
    EXPECT_TRUE(FileExists(folder.File("main.DAT")));
    EXPECT_TRUE(FileExists(folder.File("other.IX")));
    EXPECT_FALSE(FileExists(folder.File("main.IX")));
    FbOpen(fb, split, false, false, false, false);
    EXPECT_TRUE(FbOk) << FbErrorCode;
}

TEST_F(Lifecycle, ZeroKeysMakeOnlyTheDataFile) {
    Create(30, 0, test::Keys({}));
    ASSERT_TRUE(FbOk);
    EXPECT_FALSE(FileExists(ix));
    Open();
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_FALSE(storage::FileblockOf(fb)->indexFile.IsOpen());
    std::int32_t n = 0;
    FbAppendRecord(fb, n, test::RecordBytes(30, 'a'));
    Close();
    EXPECT_EQ(test::BytesAt(dat, 8, 4), Le32(1));
}

TEST_F(Lifecycle, CreateReplacesOldFilesButNeverOnesThatAreOpen) {
    Create();
    test::WriteWholeFile(dia, {0});
    Open();
    ASSERT_TRUE(FbOk);
    std::int32_t n = 0;
    FbAppendRecord(fb, n, test::RecordBytes(464, 'a'));
    Close();
    Create();
    ASSERT_TRUE(FbOk);
    EXPECT_EQ(test::ReadWholeFile(dat).size(), 464u);
    EXPECT_FALSE(FileExists(dia));

    Open();
    FbAppendRecord(fb, n, test::RecordBytes(464, 'b'));
    const Bytes before = test::ReadWholeFile(dat);
    Create();
    EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
    EXPECT_EQ(test::ReadWholeFile(dat), before);
    EXPECT_EQ(FbLiveRecordCount(fb), 1);
}

// A data file that is gone while its index or dialog file is still there, or whose name is a
// link to a disk that is not mounted, is no fresh start: the open and the create both refuse
// with 10140 and change nothing, so the caller never makes an empty set over the user's.
TEST_F(Lifecycle, AMissingDataFileBesideTheRestOfItsSetIsNoFreshStart) {
    const std::string nowhere = folder.File("unmounted/zelp.DAT");
    struct Row {
        const char* name;
        bool index, dialog, danglingData;
    };
    const Row rows[] = {
        {"the index file left", true, false, false},
        {"the dialog file left", false, true, false},
        {"both left", true, true, false},
        {"a link that leads nowhere", false, false, true},
        {"a link that leads nowhere beside the index", true, false, true},
    };
    for (const Row& row : rows) {
        for (const bool saveMode : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (saveMode ? " in save mode" : ""));
            Create();
            Open();
            std::int32_t n = 0;
            FbAppendRecord(fb, n, test::RecordBytes(464, 'a'));
            FbInsertKey(fb, 1, n, "       1");
            Close();
            ::unlink(dat.c_str());
            if (!row.index) ::unlink(ix.c_str());
            if (row.dialog) test::WriteWholeFile(dia, {7});
            if (row.danglingData) {
                ASSERT_EQ(::symlink(nowhere.c_str(), dat.c_str()), 0);
            }
            const Bytes index = test::ReadWholeFile(ix);
            const auto unchanged = [&] {
                EXPECT_EQ(FileExists(ix), row.index);
                EXPECT_EQ(test::ReadWholeFile(ix), index);
                EXPECT_EQ(FileExists(dia), row.dialog);
                if (row.dialog) {
                    EXPECT_EQ(test::ReadWholeFile(dia), Bytes{7});
                }
                struct stat info {};
                EXPECT_EQ(::lstat(dat.c_str(), &info) == 0 && S_ISLNK(info.st_mode), row.danglingData);
                EXPECT_FALSE(FileExists(dat));
                EXPECT_FALSE(FileExists(nowhere));
            };
            Open(false, false, saveMode);
            EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
            EXPECT_EQ(fb, nullptr);
            unchanged();
            Create();
            EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
            unchanged();
            RemoveFiles();
        }
    }
    // Nothing of the set there: "not found", and a create makes it.
    for (const bool saveMode : {false, true}) {
        Open(false, false, saveMode);
        EXPECT_EQ(FbErrorCode, fberr::kFileNotFound);
        EXPECT_TRUE(NoFilesLeft());
    }
    Create();
    EXPECT_TRUE(FbOk) << FbErrorCode;
}

// A pipe, a folder or a device in the place of one of the files is refused at once (10140),
// and neither the open nor the create changes anything.
TEST_F(Lifecycle, WhatIsNotAPlainFileIsRefusedWithoutWaiting) {
    struct Row {
        const char* name;
        std::function<int(const std::string&)> make;
    };
    const Row kinds[] = {
        {"pipe", [](const std::string& path) { return ::mkfifo(path.c_str(), 0600); }},
        {"folder", [](const std::string& path) { return ::mkdir(path.c_str(), 0700); }},
        {"device", [](const std::string& path) { return ::symlink("/dev/null", path.c_str()); }},
    };
    for (const Row& kind : kinds) {
        for (const std::string* which : {&dat, &ix, &dia}) {
            SCOPED_TRACE(std::string(kind.name) + " as " + *which);
            Create();
            ASSERT_TRUE(FbOk);
            ::unlink(which->c_str());
            ASSERT_EQ(kind.make(*which), 0);
            const Bytes data = which == &dat ? Bytes{} : test::ReadWholeFile(dat);
            const Bytes index = which == &ix ? Bytes{} : test::ReadWholeFile(ix);
            for (const bool readOnly : {false, true}) {
                Open(readOnly);
                EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
                EXPECT_EQ(fb, nullptr);
            }
            Create();
            EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
            struct stat info {};
            EXPECT_EQ(::lstat(which->c_str(), &info), 0);
            EXPECT_FALSE(S_ISREG(info.st_mode));
            if (which != &dat) {
                EXPECT_EQ(test::ReadWholeFile(dat), data);
            }
            if (which != &ix) {
                EXPECT_EQ(test::ReadWholeFile(ix), index);
            }
            if (which != &dia) {
                EXPECT_FALSE(FileExists(dia));
            }
            if (::rmdir(which->c_str()) != 0) ::unlink(which->c_str());
            RemoveFiles();
        }
    }
}

TEST_F(Lifecycle, AFailedCreateLeavesNoFilesBehind) {
    struct Row {
        const char* name;
        FileCall call;
        int nth;
        const char* suffix;
    };
    const Row rows[] = {
        {"data file create", FileCall::Open, 1, ".DAT"}, {"data zero-fill", FileCall::Write, 1, ".DAT"},
        {"data header", FileCall::Write, 2, ".DAT"},     {"data flush", FileCall::Flush, 1, ".DAT"},
        {"data close", FileCall::Close, 1, ".DAT"},      {"index file create", FileCall::Open, 1, ".IX"},
        {"index row 0", FileCall::Write, 1, ".IX"},      {"index key header", FileCall::Write, 3, ".IX"},
        {"index flush", FileCall::Flush, 1, ".IX"},      {"index close", FileCall::Close, 1, ".IX"},
        {"folder flush", FileCall::FlushFolder, 1, ""},
    };
    for (const Row& row : rows) {
        test::FaultyFileOps files;
        files.FailNth(row.call, row.nth, win32::kIoDevice, row.suffix);
        Create();
        EXPECT_FALSE(FbOk) << row.name;
        EXPECT_NE(FbErrorCode, 0) << row.name;
        EXPECT_TRUE(NoFilesLeft()) << row.name;
    }
    // Nothing was left open either: the files can be made and opened now.
    Create();
    Open();
    EXPECT_TRUE(FbOk) << FbErrorCode;
}

TEST_F(Lifecycle, OpenRefusesMissingAndDamagedFiles) {
    Fileblock* const untouched = reinterpret_cast<Fileblock*>(0x1234);
    fb = untouched;
    Open();
    EXPECT_EQ(FbErrorCode, fberr::kFileNotFound);
    EXPECT_EQ(fb, untouched);
    FbOpen(fb, folder.File("no/zelp.DAT"), false, false, false, false);
    EXPECT_EQ(FbErrorCode, fberr::kInvalidPathName);
    EXPECT_EQ(fb, untouched);
    fb = nullptr;

    struct Row {
        const char* name;
        std::function<void(Lifecycle&)> damage;
        std::int32_t code;
    };
    const Row rows[] = {
        {"index file missing", [](Lifecycle& t) { ::unlink(t.ix.c_str()); }, fberr::kFileDefect},
        {"in use", [](Lifecycle& t) { test::PatchFile(t.dat, 20, {1}); }, fberr::kFileDefect},
        {"record length 21", [](Lifecycle& t) { test::PatchFile(t.dat, 12, Le32(21)); }, fberr::kFileDefect},
        {"more records than the file holds", [](Lifecycle& t) { test::PatchFile(t.dat, 8, Le32(4)); },
         fberr::kFileDefect},
        {"free count above the records", [](Lifecycle& t) { test::PatchFile(t.dat, 4, Le32(9)); },
         fberr::kFileDefect},
        {"101 keys", [](Lifecycle& t) { test::PatchFile(t.dat, 16, Le32(101)); }, fberr::kTooManyKeys},
        {"key page size", [](Lifecycle& t) { test::PatchFile(t.ix, 12, Le32(1061)); },
         fberr::kPageSizeIncompatible},
    };
    for (const Row& row : rows) {
        Create();
        Open();
        std::int32_t n = 0;
        for (unsigned char c : {'a', 'b', 'c'})
            FbAppendRecord(fb, n, test::RecordBytes(464, c));
        Close();
        row.damage(*this);
        Open();
        EXPECT_FALSE(FbOk) << row.name;
        EXPECT_EQ(FbErrorCode, row.code) << row.name;
        EXPECT_EQ(fb, nullptr) << row.name;
        EXPECT_TRUE(storage::Engine().openList.empty()) << row.name;
    }
}

TEST_F(Lifecycle, OpenReadsTheNumberOfKeysFromItsLowByte) {
    Create();
    test::PatchFile(dat, 16, Le32(0x7F030102)); // 2 keys, the upper bytes not significant
    Open();
    ASSERT_TRUE(FbOk) << FbErrorCode;
    FbInsertKey(fb, 2, 1, "       1");
    EXPECT_TRUE(FbOk) << FbErrorCode;
    FbInsertKey(fb, 3, 1, "       1");
    EXPECT_EQ(FbErrorCode, fberr::kInvalidKeyNumber);
    Close();
    EXPECT_EQ(test::BytesAt(dat, 16, 4), Le32(2));
}

TEST_F(Lifecycle, OpenAndCloseWithoutAChangeRewriteTheSameHeader) {
    Create();
    Open();
    std::int32_t n = 0;
    for (unsigned char c : {'a', 'b'})
        FbAppendRecord(fb, n, test::RecordBytes(464, c));
    FbFreeRecord(fb, 1);
    Close();
    const Bytes header = test::BytesAt(dat, 0, 21);
    EXPECT_EQ(header, Concat({Le32(1), Le32(1), Le32(2), Le32(464), Le32(2), {0}}));
    Open();
    ASSERT_TRUE(FbOk);
    Close();
    EXPECT_EQ(test::BytesAt(dat, 0, 21), header);

    Open();
    Fileblock* stale = fb;
    Close();
    EXPECT_EQ(fb, nullptr);
    FbClose(stale);
    EXPECT_EQ(FbErrorCode, fberr::kInvalidFileblock);
    FbClose(fb);
    EXPECT_EQ(FbErrorCode, fberr::kInvalidFileblock);
}

TEST_F(Lifecycle, ASecondOpenIsRefusedInThisProcessAndInAnother) {
    Create();
    Open();
    ASSERT_TRUE(FbOk);
    Fileblock* second = reinterpret_cast<Fileblock*>(0x1234);
    FbOpen(second, name, false, false, false, false);
    EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
    EXPECT_EQ(second, reinterpret_cast<Fileblock*>(0x1234));
    FbOpen(second, name, true, false, false, false);
    EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
    EXPECT_EQ(FbLiveRecordCount(fb), 0);
    EXPECT_TRUE(FbOk);

    const auto openInChild = [this] {
        const pid_t child = ::fork();
        if (child == 0) {
            Fileblock* other = nullptr;
            FbOpen(other, name, false, false, false, false);
            ::_exit(FbOk ? 0 : FbErrorCode == fberr::kAccessNotPossible ? 1 : 2);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(openInChild(), 1);
    Close();
    EXPECT_EQ(openInChild(), 0);
}

TEST_F(Lifecycle, AFailedOpenClosesWhatItOpened) {
    Create();
    struct Row {
        const char* name;
        FileCall call;
        int nth;
        const char* suffix;
        platform::SystemError error;
        std::int32_t code;
    };
    const Row rows[] = {
        {"data open", FileCall::Open, 1, ".DAT", win32::kAccessDenied, fberr::kAccessNotPossible},
        {"data header read", FileCall::Read, 1, ".DAT", win32::kIoDevice, fberr::kAccessNotPossible},
        {"index open", FileCall::Open, 1, ".IX", win32::kAccessDenied, fberr::kFileDefect},
        {"index open, no handles", FileCall::Open, 1, ".IX", win32::kTooManyOpenFiles,
         fberr::kTooManyOpenFiles},
        {"key header read", FileCall::Read, 1, ".IX", win32::kIoDevice, fberr::kAccessNotPossible},
        {"data size", FileCall::Size, 1, ".DAT", win32::kInvalidHandle, fberr::kInvalidHandle},
        {"dialog open", FileCall::Open, 1, ".DIA", win32::kAccessDenied, fberr::kAccessNotPossible},
    };
    for (const Row& row : rows) {
        {
            test::FaultyFileOps files;
            files.FailNth(row.call, row.nth, row.error, row.suffix);
            Open();
            EXPECT_EQ(FbErrorCode, row.code) << row.name;
            EXPECT_EQ(fb, nullptr) << row.name;
        }
        // Nothing stayed open: the next open succeeds.
        Open();
        EXPECT_TRUE(FbOk) << row.name << " " << FbErrorCode;
        Close();
        EXPECT_FALSE(FileExists(dia)) << row.name;
    }
}

TEST_F(Lifecycle, ALeftoverDialogFileIsExamined) {
    Create();
    const std::int32_t b = (2 + 1) / 8 + 1;
    struct Row {
        const char* name;
        Bytes content;
        bool readOnly;
        std::int32_t code;
        bool kept;
    };
    Bytes cleanTable = {0, 0xD0, 0x07};
    cleanTable.resize(3 + b, 0);
    const Row rows[] = {
        {"one byte", {0}, false, 0, false},
        {"empty, cut short while made", {}, false, 0, false},
        {"clean station table", cleanTable, false, 0, false},
        {"one byte, read-only", {0}, true, 0, true},
        {"journal", Concat({{0}, {0x88, 0x13}, Bytes(40, 0)}), false, fberr::kRepairFailed, true},
        {"journal, read-only", Concat({{0}, {0xE8, 0x03}, Bytes(34, 0)}), true, fberr::kNoDialogReadOnly,
         true},
        {"two bytes", {0, 0xD0}, false, fberr::kReadError, true},
    };
    for (const Row& row : rows) {
        test::WriteWholeFile(dia, row.content);
        Open(row.readOnly);
        EXPECT_EQ(FbErrorCode, row.code) << row.name;
        EXPECT_EQ(fb != nullptr, row.code == 0) << row.name;
        if (fb) Close();
        EXPECT_EQ(FileExists(dia), row.kept) << row.name;
        if (FileExists(dia)) {
            EXPECT_EQ(test::ReadWholeFile(dia), row.content) << row.name;
        }
        ::unlink(dia.c_str());
    }
}

TEST_F(Lifecycle, NetworkAndSaveModeFlags) {
    Create();
    // The network flag in single-user mode asks for the dialog file: it is made, kept open
    // with the Fileblock and closed with it.
    Open(false, true);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(test::ReadWholeFile(dia).size(), 1u);
    EXPECT_TRUE(storage::FileblockOf(fb)->dialogFile.IsOpen());
    Close();
    Open(true, true);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    Close();
    EXPECT_TRUE(FileExists(dia));
    Open();
    ASSERT_TRUE(FbOk);
    Close();
    EXPECT_FALSE(FileExists(dia));
    // A read-only open cannot make the dialog file it would need.
    Open(true, true);
    EXPECT_EQ(FbErrorCode, fberr::kNoDialogReadOnly);

    // Save mode: each change reaches the disk whole, the file never reads as in use, and the
    // dialog file stays with the Fileblock, its one byte alone between changes.
    Open(false, false, true);
    ASSERT_TRUE(FbOk);
    EXPECT_EQ(test::ReadWholeFile(dia), Bytes{0});
    std::int32_t n = 0;
    FbAppendRecord(fb, n, test::RecordBytes(464, 'a'));
    EXPECT_EQ(test::BytesAt(dat, 8, 4), Le32(1));
    EXPECT_EQ(test::BytesAt(dat, 20, 1), Bytes{0});
    EXPECT_EQ(test::ReadWholeFile(dia), Bytes{0});
    FbInsertKey(fb, 1, n, "       1");
    FbFreeRecord(fb, n);
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(test::ReadWholeFile(dia), Bytes{0});
    Close();
    EXPECT_EQ(test::ReadWholeFile(dia), Bytes{0}) << "at rest";
    // A reader that follows the dialog file's layout opens it read-only as it stands.
    Open(true);
    EXPECT_TRUE(FbOk) << FbErrorCode;
    Close();
    EXPECT_TRUE(FileExists(dia));
    ::unlink(dia.c_str());

    FbStopEngine();
    ASSERT_EQ(FbStartEngine(2, 8), 8);
    // In network mode the dialog file carries the station table: 3 + 51 stations x 1 byte.
    Open(false, true);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    Close();
    EXPECT_EQ(test::ReadWholeFile(dia).size(), 54u);
    FbStopEngine();
    ASSERT_EQ(FbStartEngine(0, 8), 8);
    Open();
    EXPECT_TRUE(FbOk);
    Close();
    EXPECT_FALSE(FileExists(dia)) << "a clean station table is removed by a single-user open";
}

TEST_F(Lifecycle, CloseBringsTheRecordsAndTheIndexToTheDiskBeforeTheCleanHeader) {
    Create();
    Open();
    ASSERT_TRUE(FbOk);
    test::FileCallLog log;
    for (std::int32_t n = 1; n <= 300; ++n) {
        std::int32_t record = 0;
        FbAppendRecord(fb, record, test::RecordBytes(464, 'a', n));
        FbInsertKey(fb, 1, record, "    " + std::to_string(1000 + n));
        FbWriteRecord(fb, record, test::RecordBytes(464, 'b', n));
    }
    ASSERT_TRUE(FbOk);
    log.entries.clear();
    Close();
    using Kind = test::FileCallLog::Kind;
    const auto& entries = log.entries;
    const auto header = std::find_if(entries.begin(), entries.end(), [this](const auto& e) {
        return e.path == dat && e.kind == Kind::Write && e.offset == 0 && e.bytes.size() == 21 &&
               e.bytes[20] == 0;
    });
    ASSERT_NE(header, entries.end()) << "the clean header";
    const auto lastBefore = [&](const std::string& path, Kind kind) {
        auto found = entries.end();
        for (auto it = entries.begin(); it != header; ++it)
            if (it->path == path && it->kind == kind) found = it;
        return found;
    };
    const auto indexWrite = lastBefore(ix, Kind::Write);
    const auto indexFlush = lastBefore(ix, Kind::Flush);
    const auto dataFlush = lastBefore(dat, Kind::Flush);
    ASSERT_NE(indexWrite, entries.end()) << "the cached pages are written at the close";
    ASSERT_NE(indexFlush, entries.end()) << "the index is flushed before the clean header";
    EXPECT_GT(indexFlush, indexWrite);
    ASSERT_NE(dataFlush, entries.end()) << "the rewritten records are flushed before the clean header";
    EXPECT_TRUE(std::any_of(header, entries.end(), [this](const auto& e) {
        return e.path == dat && e.kind == Kind::Flush;
    })) << "the clean header itself reaches the disk";
}

TEST_F(Lifecycle, AFailedHeaderWriteAtCloseKeepsTheFileblockOpen) {
    Create();
    test::FaultyFileOps files;
    Open();
    std::int32_t n = 0;
    FbAppendRecord(fb, n, test::RecordBytes(464, 'a'));
    FbInsertKey(fb, 1, n, "       1");
    ASSERT_TRUE(FbOk) << FbErrorCode;

    for (const char* suffix : {".IX", ".DAT"}) {
        files.FailNth(FileCall::Write, 1, win32::kDiskFull, suffix);
        Fileblock* handle = fb;
        FbClose(fb);
        EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible) << suffix;
        EXPECT_EQ(fb, handle) << suffix;
        EXPECT_EQ(FbLiveRecordCount(fb), 1) << suffix;
        EXPECT_EQ(test::BytesAt(dat, 20, 1), Bytes{1}) << suffix;
    }
    files.FailNth(FileCall::Flush, 1, win32::kIoDevice, ".DAT");
    FbClose(fb);
    EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
    ASSERT_NE(fb, nullptr);
    Close();
    Open();
    std::int32_t reference = 0;
    FbFindKey(fb, 1, reference, "       1");
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(reference, 1);
}

TEST_F(Lifecycle, AFailedReleaseOfTheFilesStillEndsTheHandle) {
    Create();
    test::FaultyFileOps files;
    Open();
    files.FailNth(FileCall::Close, 1, win32::kIoDevice, ".IX");
    FbClose(fb);
    EXPECT_EQ(FbErrorCode, fberr::kNotCorrectlyClosed);
    EXPECT_EQ(fb, nullptr);
    EXPECT_TRUE(storage::Engine().openList.empty());
    EXPECT_EQ(test::BytesAt(dat, 20, 1), Bytes{0});
    Open();
    EXPECT_TRUE(FbOk);
}

} // namespace
