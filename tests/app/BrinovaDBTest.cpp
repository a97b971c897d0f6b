// The database layer against the real storage engine in a temporary folder: records by offsets,
// keys, lists, deletes, every error box through failing file operations, crashes of a child
// process, and the index rebuild of a file left marked in use.
#include "app/BrinovaDB.h"
#include "app/IndexRebuild.h"

#include "platform/DateTimeText.h"
#include "platform/LittleEndian.h"
#include "platform/Real80.h"
#include "storage/Storage.h"
#include "support/RecordingMessageBoxes.h"

#include "CrashDisk.h"
#include "FaultyFileOps.h"
#include "FileSystemShim.h"
#include "StorageSession.h"
#include "StructureChecker.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using test::FileCall;

namespace {

std::vector<std::int32_t> Numbers(const TRecList& list) {
    std::vector<std::int32_t> numbers;
    for (const TRecItem& item : list)
        numbers.push_back(item.recordNumber);
    return numbers;
}

TStoredRecord BodyRecordOf(std::uint8_t kind = 0, long double volume = 1000) {
    TStoredRecord record;
    record.body.kind = kind;
    record.body.volume = volume;
    record.body.note = "pool";
    return record;
}

TStoredRecord TestRecordOf(double date, double time = 0, long double pH = 7.2L) {
    TStoredRecord record;
    record.test.date = date;
    record.test.time = time;
    record.test.pH = pH;
    return record;
}

// Every (key text, reference) of a key, walked through the engine.
std::vector<std::pair<std::string, std::int32_t>> KeyEntries(std::uint16_t key) {
    std::vector<std::pair<std::string, std::int32_t>> entries;
    FbRewindKey(RecordFileblock(), key);
    for (;;) {
        std::int32_t reference = 0;
        std::string text;
        FbStepKey(RecordFileblock(), key, reference, text);
        if (!FbOk) break;
        entries.emplace_back(text, reference);
    }
    return entries;
}

class BrinovaDBTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartBrinovaDB()); }
    void TearDown() override { StopBrinovaDB(); }

    std::string Name() const { return folder.File("zelp.DAT"); }
    std::string Index() const { return folder.File("zelp.IX"); }
    std::string Dialog() const { return folder.File("zelp.DIA"); }

    void Open() {
        OpenRec(Name());
        ASSERT_NE(RecordFileblock(), nullptr);
        ASSERT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
    }

    // A fresh engine and an empty folder, for each case of a table.
    void StartOver() {
        TearDown();
        boxes.shown.clear();
        fs::remove_all(folder.Path());
        fs::create_directory(folder.Path());
        SetUp();
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& box : boxes.shown)
            texts.push_back(box.text.toStdString());
        return texts;
    }

    test::TempFolder folder;
    RecordingMessageBoxes boxes;
};

// ---- Stored record by offsets ----------------------------------------------------------------

TEST(StoredRecord, BodyRecordFieldsSitAtTheirOffsets) {
    TStoredRecord record;
    record.freeChain = 0;
    record.kind = rkBody;
    record.parent = 0;
    record.body.kind = 2;
    record.body.width = 4.5L;
    record.body.length = 10.25L;
    record.body.depth = 1.5L;
    record.body.volume = 69187.5L;
    record.body.lengthUnit = 1;
    record.body.volumeUnit = 2;
    record.body.note = std::string(200, 'n');
    const TStoredBytes bytes = record.Encode();

    EXPECT_EQ(platform::GetI32(bytes.data(), 0), 0);
    EXPECT_EQ(platform::GetI32(bytes.data(), 4), 1);
    EXPECT_EQ(platform::GetI32(bytes.data(), 8), 0);
    EXPECT_EQ(platform::GetI32(bytes.data(), 12), 0);
    EXPECT_EQ(bytes[16 + 8], 2);
    const std::vector<std::pair<std::size_t, long double>> reals = {
        {16 + 16, 4.5L}, {16 + 32, 10.25L}, {16 + 48, 1.5L}, {16 + 64, 69187.5L}};
    for (const auto& [offset, value] : reals)
        EXPECT_EQ(platform::GetReal80(bytes.data(), offset), value) << offset;
    EXPECT_EQ(bytes[16 + 74], 1);
    EXPECT_EQ(bytes[16 + 75], 2);
    // The note is cut to 127 characters, its last byte stays 0, and nothing follows the block.
    EXPECT_EQ(std::string(bytes.begin() + 16 + 76, bytes.begin() + 16 + 76 + 127), std::string(127, 'n'));
    EXPECT_EQ(bytes[16 + 76 + 127], 0);
    for (std::size_t i = 16 + 208; i < kStoredRecordSize; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
    // The padding of each 16-byte slot after its 10-byte real (the volume's slot is cut short by
    // the unit bytes).
    for (const auto& [offset, value] : reals)
        for (std::size_t i = offset + 10; i < std::min<std::size_t>(offset + 16, 16 + 74); ++i)
            ASSERT_EQ(bytes[i], 0) << i;
    for (std::size_t i = 16 + 76 + 128; i < 16 + 208; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
}

TEST(StoredRecord, TestRecordDecodesFromBytesAtOffsets) {
    TStoredBytes bytes{};
    platform::PutI32(bytes.data(), 4, 2);
    platform::PutI32(bytes.data(), 8, 77);
    platform::PutF64(bytes.data(), 16 + 0, 46000.0);
    platform::PutF64(bytes.data(), 16 + 8, 0.75);
    for (int n = 0; n < 14; ++n)
        platform::PutReal80(bytes.data(), 16 + 16 + 16 * n, 1.5L + n);
    for (std::size_t i = 0; i < 9; ++i)
        bytes[16 + 234 + i] = i % 2 == 0 ? 1 : 0;
    const std::uint8_t choices[] = {1, 3, 2, 1, 2, 4, 1}; // celsius .. shock
    for (std::size_t i = 0; i < 7; ++i)
        bytes[16 + 243 + i] = choices[i];
    std::memcpy(bytes.data() + 16 + 250, "Supplier\r\nStreet", 16);
    std::memcpy(bytes.data() + 16 + 378, "note", 4);

    const TStoredRecord record = TStoredRecord::Decode(bytes);
    EXPECT_EQ(record.kind, rkTest);
    EXPECT_EQ(record.parent, 77);
    EXPECT_EQ(record.test.date, 46000.0);
    EXPECT_EQ(record.test.time, 0.75);
    EXPECT_EQ(record.test.alkalinity, 1.5L);
    EXPECT_EQ(record.test.acidDemand, 13.5L);
    EXPECT_EQ(record.test.temperature, 14.5L);
    EXPECT_TRUE(record.test.clear);
    EXPECT_FALSE(record.test.cloudy);
    EXPECT_TRUE(record.test.chlorineUsed);
    EXPECT_EQ(record.test.celsius, 1);
    EXPECT_EQ(record.test.shock, 1);
    EXPECT_EQ(record.test.supplier, "Supplier\r\nStreet");
    EXPECT_EQ(record.test.testNote, "note");
    // And back: the same bytes.
    EXPECT_EQ(record.Encode(), bytes);
}

TEST(StoredRecord, TestTextsAreCutAt127And63Characters) {
    TStoredRecord record;
    record.kind = rkTest;
    record.test.supplier = std::string(300, 's');
    record.test.testNote = std::string(100, 't');
    const TStoredBytes bytes = record.Encode();
    const TStoredRecord back = TStoredRecord::Decode(bytes);
    EXPECT_EQ(back.test.supplier, std::string(127, 's'));
    EXPECT_EQ(back.test.testNote, std::string(63, 't'));
    EXPECT_EQ(bytes[16 + 250 + 127], 0);
    EXPECT_EQ(bytes[16 + 378 + 63], 0);
}

TEST(StoredRecord, RecordKeyIsRightAlignedInAtLeastEightCharacters) {
    const std::vector<std::pair<std::int32_t, std::string>> cases = {
        {1, "       1"}, {10, "      10"}, {12345678, "12345678"}, {123456789, "123456789"}};
    for (const auto& [number, key] : cases)
        EXPECT_EQ(MakeRecordKey(number), key) << number;
}

// ---- Opening, adding, listing ---------------------------------------------------------------------

TEST_F(BrinovaDBTest, OpeningWithoutDataFileCreatesItAndTheFirstBodyIsRecordOne) {
    Open();
    EXPECT_TRUE(test::FileExists(Name()));
    EXPECT_TRUE(test::FileExists(Index()));
    TStoredRecord body = BodyRecordOf(1);
    body.freeChain = 5; // the header is set by the add
    body.parent = 9;
    EXPECT_EQ(AddBody(body), 1);
    std::int32_t reference = 0;
    FbFindKey(RecordFileblock(), 1, reference, "       1");
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(reference, 1);
    CloseRec();
    const std::vector<unsigned char> stored = test::ReadWholeFile(Name());
    ASSERT_EQ(stored.size(), 2 * kStoredRecordSize);
    EXPECT_EQ(platform::GetI32(stored.data(), 464 + 0), 0);
    EXPECT_EQ(platform::GetI32(stored.data(), 464 + 4), 1);
    EXPECT_EQ(platform::GetI32(stored.data(), 464 + 8), 0);
    EXPECT_EQ(stored[464 + 16 + 8], 1);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(BrinovaDBTest, ATestWithoutItsBodyNeedsNoBoxAndAnEmptyListShowsNone) {
    Open();
    TStoredRecord body = BodyRecordOf();
    const std::int32_t n = AddBody(body);
    TRecList tests;
    EXPECT_TRUE(ListTests(n, tests));
    EXPECT_TRUE(tests.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(BrinovaDBTest, TestsOfBodyOneAndBodyTenNeverMix) {
    Open();
    for (int i = 0; i < 10; ++i) {
        TStoredRecord body = BodyRecordOf();
        ASSERT_EQ(AddBody(body), i + 1);
    }
    std::vector<std::int32_t> ofOne, ofTen;
    for (int i = 0; i < 4; ++i) {
        TStoredRecord test = TestRecordOf(45000 + i);
        ofOne.push_back(AddTestRecord(test, 1));
        TStoredRecord other = TestRecordOf(45000 + i);
        ofTen.push_back(AddTestRecord(other, 10));
    }
    TRecList one, ten, bodies;
    ASSERT_TRUE(ListTests(1, one));
    ASSERT_TRUE(ListTests(10, ten));
    std::reverse(ofOne.begin(), ofOne.end()); // newest first
    std::reverse(ofTen.begin(), ofTen.end());
    EXPECT_EQ(Numbers(one), ofOne);
    EXPECT_EQ(Numbers(ten), ofTen);
    ASSERT_TRUE(ListBodies(bodies));
    EXPECT_EQ(Numbers(bodies), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(LiveRecordCount(), 18);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(BrinovaDBTest, TestsAreListedNewestFirstAndEqualTimesKeepTheirKeyOrder) {
    Open();
    TStoredRecord body = BodyRecordOf();
    const std::int32_t b = AddBody(body);
    struct Row {
        double date, time;
    };
    // Record numbers 2..6 in the order added.
    const std::vector<Row> rows = {{45001, 0.5}, {45003, 0.0}, {45001, 0.5}, {45002, 0.25}, {45001, 0.75}};
    for (const Row& row : rows) {
        TStoredRecord test = TestRecordOf(row.date, row.time);
        AddTestRecord(test, b);
    }
    TRecList tests;
    ASSERT_TRUE(ListTests(b, tests));
    EXPECT_EQ(Numbers(tests), (std::vector<std::int32_t>{3, 5, 6, 2, 4}));
}

TEST_F(BrinovaDBTest, EightAndNineDigitRecordNumbersAreKeyedAndListed) {
    Open();
    // Bodies of large numbers: key texts of 8 and 9 characters sort after the short ones.
    for (std::int32_t body : {7, 12345678, 123456789}) {
        FbInsertKey(RecordFileblock(), 1, body, MakeRecordKey(body));
        ASSERT_TRUE(FbOk);
    }
    EXPECT_EQ(KeyEntries(1), (std::vector<std::pair<std::string, std::int32_t>>{
                                 {"       7", 7}, {"12345678", 12345678}, {"123456789", 123456789}}));
}

TEST_F(BrinovaDBTest, ListsLeaveOutEntriesWhoseRecordIsNotOfTheirKind) {
    Open();
    TStoredRecord body = BodyRecordOf(), test = TestRecordOf(45000);
    const std::int32_t b = AddBodyAddTest(body, test); // 1, test 2
    TStoredRecord unknown = BodyRecordOf();
    unknown.kind = 7; // neither a body nor a test: no block is read or written for it
    std::int32_t odd = 0;
    FbAppendRecord(RecordFileblock(), odd, unknown.Encode());
    EXPECT_EQ(TStoredRecord::Decode(unknown.Encode()).body.note, "");
    FbInsertKey(RecordFileblock(), 1, 2, MakeRecordKey(2));     // a body key naming the test
    FbInsertKey(RecordFileblock(), 1, odd, MakeRecordKey(odd)); // and one naming the odd record
    FbInsertKey(RecordFileblock(), 2, odd, MakeRecordKey(b));
    TRecList bodies, tests;
    ASSERT_TRUE(ListBodies(bodies));
    EXPECT_EQ(Numbers(bodies), std::vector<std::int32_t>{b});
    ASSERT_TRUE(ListTests(b, tests));
    EXPECT_EQ(Numbers(tests), std::vector<std::int32_t>{2});
    EXPECT_TRUE(boxes.shown.empty());
}

// ---- Deleting ----------------------------------------------------------------------------------------

TEST_F(BrinovaDBTest, DeletingTestsAndBodiesRemovesRecordsAndKeys) {
    Open();
    TStoredRecord first = BodyRecordOf(), second = BodyRecordOf();
    TStoredRecord t1 = TestRecordOf(45001), t2 = TestRecordOf(45002), t3 = TestRecordOf(45003);
    const std::int32_t a = AddBodyAddTest(first, t1);  // 1, test 2
    AddTestRecord(t2, a);                              // 3
    const std::int32_t b = AddBodyAddTest(second, t3); // 4, test 5
    DeleteTest(a, 3);
    std::int32_t reference = 0;
    FbFindKey(RecordFileblock(), 2, reference, MakeRecordKey(a));
    EXPECT_EQ(reference, 2);
    TRecList shown;
    ASSERT_TRUE(ListTests(a, shown));
    DeleteBodyAndTests(a, shown);
    FbFindKey(RecordFileblock(), 1, reference, MakeRecordKey(a));
    EXPECT_EQ(FbErrorCode, fberr::kNoMatchingKey);
    FbFindKey(RecordFileblock(), 2, reference, MakeRecordKey(a));
    EXPECT_EQ(FbErrorCode, fberr::kNoMatchingKey);
    EXPECT_EQ(LiveRecordCount(), 2);
    TRecList bodies;
    ListBodies(bodies);
    EXPECT_EQ(Numbers(bodies), std::vector<std::int32_t>{b});
    EXPECT_TRUE(boxes.shown.empty());
    CloseRec();

    // The index read back from its bytes holds exactly the survivors; the data file's free
    // chain holds the three freed records.
    const storagetest::IndexReport index = storagetest::CheckIndexFile(Name(), Index());
    ASSERT_TRUE(index.Sound()) << index.FaultText();
    EXPECT_EQ(index.keys[0].entries,
              (std::vector<std::pair<std::string, std::int32_t>>{{MakeRecordKey(b), b}}));
    EXPECT_EQ(index.keys[1].entries,
              (std::vector<std::pair<std::string, std::int32_t>>{{MakeRecordKey(b), 5}}));
    const std::vector<unsigned char> data = test::ReadWholeFile(Name());
    EXPECT_EQ(platform::GetI32(data.data(), 4), 3);
}

TEST_F(BrinovaDBTest, DeletingABodyWithoutTestsFreesItAndItsKey) {
    Open();
    TStoredRecord body = BodyRecordOf();
    const std::int32_t b = AddBody(body);
    DeleteBodyAndTests(b, {});
    EXPECT_EQ(LiveRecordCount(), 0);
    EXPECT_TRUE(KeyEntries(1).empty());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(BrinovaDBTest, ATestWhoseKeyCannotBeRemovedIsNotFreed) {
    Open();
    TStoredRecord body = BodyRecordOf(), test = TestRecordOf(45000);
    const std::int32_t b = AddBodyAddTest(body, test);
    DeleteTest(b + 100, 2); // no key of that body: the record must stay
    ASSERT_EQ(Texts(), std::vector<std::string>{DataErrorText(fberr::kKeyToDeleteNotFound, "DeleteTest")});
    TStoredRecord back;
    ASSERT_TRUE(GetRec(2, back));
    EXPECT_EQ(back.freeChain, 0);
    EXPECT_EQ(back.kind, rkTest);
    EXPECT_EQ(LiveRecordCount(), 2);
}

TEST_F(BrinovaDBTest, DeletingABodyNeverDeletesThroughAnEntryThatIsNotItsTest) {
    Open();
    TStoredRecord first = BodyRecordOf(), second = BodyRecordOf(), test = TestRecordOf(45000);
    const std::int32_t a = AddBodyAddTest(first, test); // 1, test 2
    const std::int32_t b = AddBody(second);             // 3
    // A stray key-2 entry of body a pointing at body b's record, and a caller's list naming b.
    FbInsertKey(RecordFileblock(), 2, b, MakeRecordKey(a));
    TRecList listed;
    ASSERT_TRUE(ListTests(a, listed));
    EXPECT_EQ(Numbers(listed), std::vector<std::int32_t>{2});
    DeleteBodyAndTests(a, {TRecItem(2), TRecItem(b)});
    TStoredRecord back;
    ASSERT_TRUE(GetRec(b, back));
    EXPECT_EQ(back.kind, rkBody);
    EXPECT_EQ(back.freeChain, 0);
    EXPECT_EQ(KeyEntries(1), (std::vector<std::pair<std::string, std::int32_t>>{{MakeRecordKey(b), b}}));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(BrinovaDBTest, ABodyWhoseTestsCannotAllBeListedStays) {
    Open();
    TStoredRecord body = BodyRecordOf(), t1 = TestRecordOf(45000), t2 = TestRecordOf(45001);
    const std::int32_t b = AddBodyAddTest(body, t1);
    AddTestRecord(t2, b);
    test::FaultyFileOps files;
    files.FailNth(FileCall::Read, 2, platform::win32::kIoDevice, ".DAT"); // the second test record
    DeleteBodyAndTests(b, {TRecItem(2), TRecItem(3)});
    files.Clear();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(Texts()[0].find("(ListTests: "), std::string::npos) << Texts()[0];
    EXPECT_EQ(LiveRecordCount(), 3);
    EXPECT_EQ(KeyEntries(2).size(), 2u);
}

// ---- Error boxes -------------------------------------------------------------------------------------

TEST_F(BrinovaDBTest, TheErrorBoxHasNoOwnerTheErrorIconAndTheEnginesText) {
    ShowDataError(fberr::kReadError, "GetRec");
    ASSERT_EQ(boxes.shown.size(), 1u);
    const auto& box = boxes.shown[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, MessageIcon::Error);
    EXPECT_EQ(box.buttons, MessageButtons::Ok);
    EXPECT_EQ(box.text.toStdString(), "Data read/write error! (GetRec: 10070 - " + FbErrorText(10070) + ")");
}

TEST_F(BrinovaDBTest, EachFailingOperationShowsItsLabels) {
    struct Case {
        const char* name;
        FileCall call;
        const char* suffix;
        std::function<void()> operation;
        std::vector<std::string> labels;
    };
    const std::vector<Case> cases = {
        {"GetRec",
         FileCall::Read,
         ".DAT",
         [] {
             TStoredRecord r;
             EXPECT_FALSE(GetRec(1, r));
         },
         {"GetRec"}},
        {"PutRec", FileCall::Write, ".DAT", [] { EXPECT_FALSE(PutRec(1, BodyRecordOf())); }, {"PutRec"}},
        {"AddBody",
         FileCall::Write,
         ".DAT",
         [] {
             TStoredRecord b = BodyRecordOf();
             EXPECT_EQ(AddBody(b), -1);
         },
         {"AddBodyAddTest"}},
        {"AddBodyAddTest",
         FileCall::Write,
         ".DAT",
         [] {
             TStoredRecord b = BodyRecordOf(), t = TestRecordOf(1);
             EXPECT_EQ(AddBodyAddTest(b, t), -1);
         },
         {"AddBodyAddTest"}},
        {"PutBodyAddTest",
         FileCall::Write,
         ".DAT",
         [] {
             TStoredRecord t = TestRecordOf(1);
             PutBodyAddTest(1, BodyRecordOf(), t);
         },
         {"PutRec", "PutBodyAddTest"}},
        {"PutBodyPutTest",
         FileCall::Write,
         ".DAT",
         [] { PutBodyPutTest(1, 2, BodyRecordOf(), TestRecordOf(1)); },
         {"PutRec", "PutBodyPutTest"}},
        {"DeleteTest", FileCall::Write, ".IX", [] { DeleteTest(1, 2); }, {"DeleteTest"}},
        {"DeleteBodyAndTests",
         FileCall::Write,
         ".IX",
         [] { DeleteBodyAndTests(1, {TRecItem(2)}); },
         {"DeleteTest", "DeleteBodyAndTets"}},
        {"ListBodies",
         FileCall::Read,
         ".DAT",
         [] {
             TRecList l;
             EXPECT_FALSE(ListBodies(l));
         },
         {"ListBodies"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        Open();
        TStoredRecord body = BodyRecordOf(), test = TestRecordOf(45000);
        ASSERT_EQ(AddBodyAddTest(body, test), 1);
        // Close and open again so the failing call reaches the file (the open reads every index
        // page of so few records into the buffers, so index failures are failed writes).
        CloseRec();
        Open();
        boxes.shown.clear();
        {
            test::FaultyFileOps files;
            files.FailAll(c.call, platform::win32::kIoDevice, c.suffix);
            c.operation();
        }
        std::vector<std::string> labels;
        for (const std::string& text : Texts()) {
            ASSERT_EQ(text.rfind("Data read/write error! (", 0), 0u) << text;
            const std::size_t colon = text.find(": ");
            labels.push_back(text.substr(24, colon - 24));
            const std::int32_t code = std::stoi(text.substr(colon + 2));
            EXPECT_EQ(text, DataErrorText(code, labels.back()));
            EXPECT_FALSE(FbErrorText(code).empty()) << code;
        }
        EXPECT_EQ(labels, c.labels);
    }
}

TEST_F(BrinovaDBTest, ASecondOpenOfTheFilesIsRefusedWithTheEnginesCode) {
    Open();
    CloseRec();
    Fileblock* first = nullptr;
    FbOpen(first, Name(), false, false, false, false);
    ASSERT_TRUE(FbOk);
    OpenRec(Name());
    EXPECT_EQ(RecordFileblock(), nullptr);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(Texts()[0].rfind("Data read/write error! (OpenRec: ", 0), 0u) << Texts()[0];
    EXPECT_EQ(Texts()[0].find("9903"), std::string::npos);
    EXPECT_EQ(Texts()[1], HeldByAnotherProgramText(Name()));
    FbClose(first);
    // Every later operation reports the engine's own code.
    boxes.shown.clear();
    TStoredRecord record;
    EXPECT_FALSE(GetRec(1, record));
    EXPECT_EQ(Texts(), std::vector<std::string>{DataErrorText(fberr::kInvalidFileblock, "GetRec")});
}

// Another process that holds one of the files open as `hold` does until the object goes.
class HoldingProcess {
public:
    explicit HoldingProcess(const std::function<bool()>& hold) {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const char held = hold() ? 1 : 0;
            if (::write(ready[1], &held, 1) != 1) ::_exit(1);
            char end;
            while (::read(release[0], &end, 1) > 0) {
            }
            FbStopEngine(); // closes a Fileblock the child opened, as a program ends
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char held = 0;
        holding_ = ::read(ready[0], &held, 1) == 1 && held == 1;
        ::close(ready[0]);
    }
    ~HoldingProcess() {
        if (release_ >= 0) ::close(release_);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    bool Holding() const { return holding_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool holding_ = false;
};

bool FlockHeld(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

TEST_F(BrinovaDBTest, FilesHeldByAnotherProcessAreLeftAloneWithABoxSayingWhatToDo) {
    struct Case {
        const char* name;
        std::function<bool(const std::string& data, const std::string& index)> hold;
    };
    const std::vector<Case> cases = {
        {"a second copy of the program",
         [](const std::string& data, const std::string&) {
             Fileblock* fb = nullptr;
             FbOpen(fb, data, false, false, true, false);
             return FbOk;
         }},
        {"a lock on the data file",
         [](const std::string& data, const std::string&) { return FlockHeld(data); }},
        // Held so, the index would be offered the rebuild, which would take it from under its holder.
        {"a lock on the index file",
         [](const std::string&, const std::string& index) { return FlockHeld(index); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        Open();
        TStoredRecord body = BodyRecordOf(), test = TestRecordOf(45000);
        AddBodyAddTest(body, test);
        CloseRec();
        {
            HoldingProcess holder([&] { return c.hold(Name(), Index()); });
            ASSERT_TRUE(holder.Holding());
            // As the holder has them: a program that has the files open has marked them in use.
            std::map<std::string, std::vector<unsigned char>> files;
            for (const std::string& path : {Name(), Index(), Dialog()})
                files[path] = test::ReadWholeFile(path);
            const auto names = std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator());
            OpenRec(Name());
            EXPECT_EQ(RecordFileblock(), nullptr);
            ASSERT_EQ(boxes.shown.size(), 2u) << Texts().back();
            EXPECT_EQ(Texts()[0].rfind("Data read/write error! (OpenRec: ", 0), 0u) << Texts()[0];
            EXPECT_EQ(Texts()[1], HeldByAnotherProgramText(Name()));
            EXPECT_EQ(boxes.shown[1].icon, MessageIcon::Warning);
            EXPECT_EQ(boxes.shown[1].buttons, MessageButtons::Ok);
            for (const auto& [path, bytes] : files)
                EXPECT_EQ(test::ReadWholeFile(path), bytes) << path;
            EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), names);
        }
        // Let go by the other program, the records open as they were.
        boxes.shown.clear();
        Open();
        TRecList bodies;
        EXPECT_TRUE(ListBodies(bodies));
        EXPECT_EQ(bodies.size(), 1u);
        CloseRec();
    }
}

// ---- Crashes --------------------------------------------------------------------------------------------

// A child adds tests in save mode and tells each completed add through a pipe until it is
// killed; the next open finds every completed add. It needs no box, unless the kill came
// between an add's record and its key: that live test is in no list, so the open offers the
// rebuild (answered Yes), which lists it again.
TEST_F(BrinovaDBTest, AChildKilledWhileAddingTestsLeavesFilesThatOpenWithEveryCompletedAdd) {
    Open();
    TStoredRecord body = BodyRecordOf();
    const std::int32_t b = AddBody(body);
    CloseRec();
    std::set<std::int32_t> completed;
    std::int32_t kills = 0;
    for (int killAfter : {1, 9, 40}) {
        SCOPED_TRACE(killAfter);
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeEnds[0]);
            OpenRec(Name());
            for (int i = 0;; ++i) {
                TStoredRecord test = TestRecordOf(45000 + i);
                std::int32_t n = RecordFileblock() == nullptr ? -1 : AddTestRecord(test, b);
                if (::write(pipeEnds[1], &n, sizeof n) != sizeof n || n < 0) ::_exit(1);
            }
        }
        ::close(pipeEnds[1]);
        std::int32_t n = 0;
        for (int i = 0; i < killAfter && ::read(pipeEnds[0], &n, sizeof n) == sizeof n; ++i) {
            ASSERT_GT(n, 0);
            completed.insert(n);
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status));
        while (::read(pipeEnds[0], &n, sizeof n) == sizeof n)
            if (n > 0) completed.insert(n);
        ::close(pipeEnds[0]);

        OpenRec(Name());
        ASSERT_NE(RecordFileblock(), nullptr);
        if (!boxes.shown.empty()) {
            ASSERT_EQ(boxes.shown.size(), 3u) << Texts().front();
            EXPECT_EQ(Texts()[0], DataErrorText(fberr::kFileDefect, "OpenRec"));
            EXPECT_EQ(Texts()[1], RebuildQuestionText());
            EXPECT_EQ(Texts()[2].rfind("The index was rebuilt from the data file: ", 0), 0u) << Texts()[2];
            boxes.shown.clear();
        }
        TRecList tests;
        ASSERT_TRUE(ListTests(b, tests));
        const std::vector<std::int32_t> listed = Numbers(tests);
        for (std::int32_t test : completed)
            EXPECT_NE(std::find(listed.begin(), listed.end(), test), listed.end()) << test;
        // An add is the record and then its key: a kill between the two leaves at most one
        // live record without a key per kill, never a key without its record.
        ++kills;
        const std::int32_t live = LiveRecordCount();
        EXPECT_GE(live, static_cast<std::int32_t>(listed.size()) + 1);
        EXPECT_LE(live, static_cast<std::int32_t>(listed.size()) + 1 + kills);
        CloseRec();
        const storagetest::IndexReport index = storagetest::CheckIndexFile(Name(), Index());
        EXPECT_TRUE(index.Sound()) << index.FaultText();
    }
}

// ---- Rebuilding the index ----------------------------------------------------------------------------

class IndexRebuildTest : public BrinovaDBTest {
protected:
    // Bodies 1, 2 and 3 with tests; test 5 deleted, then a child in the old normal mode adds
    // body 7 with tests 8 and 9 and a test 10 of a body 99 that does not exist, and dies
    // without closing: the data file stays marked in use with stale counters.
    void CrashInNormalMode() {
        Open();
        for (int i = 0; i < 3; ++i) {
            TStoredRecord body = BodyRecordOf(static_cast<std::uint8_t>(i));
            TStoredRecord test = TestRecordOf(45000 + i);
            AddBodyAddTest(body, test); // 1 2, 3 4, 5 6
        }
        DeleteTest(5, 6);
        CloseRec();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Fileblock* fb = nullptr;
            FbOpen(fb, Name(), false, false, false, false);
            auto append = [&](std::int32_t kind, std::int32_t parent, std::int32_t key) {
                TStoredRecord record = kind == rkBody ? BodyRecordOf() : TestRecordOf(46000);
                record.kind = kind;
                record.parent = parent;
                std::int32_t n = 0;
                FbAppendRecord(fb, n, record.Encode());
                if (key != 0) FbInsertKey(fb, key == 1 ? 1 : 2, n, MakeRecordKey(key == 1 ? n : parent));
                return n;
            };
            const std::int32_t body = append(rkBody, 0, 1); // 6, from the free chain
            append(rkTest, body, 2);                        // 7
            append(rkTest, body, 2);                        // 8
            append(rkTest, 99, 0);                          // 9: its body is missing
            ::_exit(FbOk ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ASSERT_EQ(test::ReadWholeFile(Name())[20], 1);
    }

    // Bodies 1, 7 and 13 with five tests each; body 7 freed with its key, its tests 8 to 12 left
    // live: what a delete cut short leaves. The Fileblock stays open.
    void OrphanTestsOfBody7() {
        Open();
        for (int i = 0; i < 3; ++i) {
            TStoredRecord body = BodyRecordOf();
            const std::int32_t n = AddBody(body);
            for (int t = 0; t < 5; ++t) {
                TStoredRecord test = TestRecordOf(45000 + t);
                AddTestRecord(test, n);
            }
        }
        FbRemoveKey(RecordFileblock(), 1, 7, MakeRecordKey(7));
        FbFreeRecord(RecordFileblock(), 7);
        ASSERT_TRUE(FbOk);
    }

    std::map<std::string, std::vector<unsigned char>> Originals() const {
        std::map<std::string, std::vector<unsigned char>> files;
        for (const std::string& path : {Name(), Index(), Dialog()})
            if (test::FileExists(path)) files[path] = test::ReadWholeFile(path);
        return files;
    }

    // The copies in the data folder: original path -> copy path.
    std::map<std::string, std::string> Copies() const {
        std::map<std::string, std::string> copies;
        for (const auto& entry : fs::directory_iterator(folder.Path())) {
            const std::string path = entry.path().string();
            for (const std::string& original : {Name(), Index(), Dialog()})
                if (path.rfind(original + ".", 0) == 0) copies[original] = path;
        }
        return copies;
    }
};

TEST_F(IndexRebuildTest, AFileLeftInUseIsRebuiltOnYes) {
    CrashInNormalMode();
    const auto originals = Originals();
    boxes.SetNextAnswer(MessageAnswer::Ok);
    boxes.SetNextAnswer(MessageAnswer::Yes);
    OpenRec(Name());
    ASSERT_NE(RecordFileblock(), nullptr);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(Texts()[0], DataErrorText(fberr::kFileDefect, "OpenRec"));
    EXPECT_EQ(boxes.shown[1].buttons, MessageButtons::YesNo);
    EXPECT_EQ(boxes.shown[1].icon, MessageIcon::Question);
    EXPECT_EQ(boxes.shown[2].icon, MessageIcon::Information);
    const std::string report = Texts()[2];
    EXPECT_EQ(report.rfind("The index was rebuilt from the data file: 5 bodies of water and 5 tests.\n\n", 0),
              0u)
        << report;
    EXPECT_NE(report.find("1 test whose body of water is missing is now listed under a new body of water of "
                          "its own: \"Recovered tests (body of water 99)\" with 1 test."),
              std::string::npos)
        << report;

    // Both keys walked against the live records.
    using Entries = std::vector<std::pair<std::string, std::int32_t>>;
    EXPECT_EQ(KeyEntries(1), (Entries{{MakeRecordKey(1), 1},
                                      {MakeRecordKey(3), 3},
                                      {MakeRecordKey(5), 5},
                                      {MakeRecordKey(6), 6},
                                      {MakeRecordKey(10), 10}}));
    EXPECT_EQ(KeyEntries(2), (Entries{{MakeRecordKey(1), 2},
                                      {MakeRecordKey(3), 4},
                                      {MakeRecordKey(6), 7},
                                      {MakeRecordKey(6), 8},
                                      {MakeRecordKey(10), 9}}));
    EXPECT_EQ(LiveRecordCount(), 10);
    TRecList bodies, tests, recovered;
    ASSERT_TRUE(ListBodies(bodies));
    EXPECT_EQ(Numbers(bodies), (std::vector<std::int32_t>{1, 3, 5, 6, 10}));
    ASSERT_TRUE(ListTests(6, tests));
    EXPECT_EQ(tests.size(), 2u);
    // The test whose body was missing is under a body of its own, its note naming the old one.
    ASSERT_TRUE(ListTests(10, recovered));
    EXPECT_EQ(Numbers(recovered), (std::vector<std::int32_t>{9}));
    TStoredRecord stored;
    ASSERT_TRUE(GetRec(10, stored));
    EXPECT_EQ(stored.body.note, RecoveredBodyNote(99));
    ASSERT_TRUE(GetRec(9, stored));
    EXPECT_EQ(stored.parent, 10);
    EXPECT_EQ(stored.test.date, 46000);

    // The copies hold the files exactly as they were, and their names are in the report.
    const auto copies = Copies();
    ASSERT_EQ(copies.size(), originals.size());
    for (const auto& [path, bytes] : originals) {
        ASSERT_TRUE(copies.count(path)) << path;
        EXPECT_EQ(test::ReadWholeFile(copies.at(path)), bytes) << path;
        EXPECT_NE(report.find(copies.at(path)), std::string::npos) << report;
    }
    // The rebuilt files close and open again cleanly, and the next add gets a new number.
    CloseRec();
    const storagetest::IndexReport index = storagetest::CheckIndexFile(Name(), Index());
    EXPECT_TRUE(index.Sound()) << index.FaultText();
    boxes.shown.clear();
    Open();
    TStoredRecord body = BodyRecordOf();
    EXPECT_EQ(AddBody(body), 11);
}

TEST_F(IndexRebuildTest, FreeRecordsGoOnTheChainAndAreReused) {
    Open();
    TStoredRecord b1 = BodyRecordOf(), b2 = BodyRecordOf(), t1 = TestRecordOf(1);
    AddBodyAddTest(b1, t1); // 1, 2
    AddBody(b2);            // 3
    DeleteTest(1, 2);
    CloseRec();
    fs::remove(Index());
    OpenRec(Name());
    ASSERT_NE(RecordFileblock(), nullptr);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_NE(Texts()[2].find("2 bodies of water and 0 tests. The file also has 1 unused place"),
              std::string::npos)
        << Texts()[2];
    EXPECT_EQ(LiveRecordCount(), 2);
    TStoredRecord t2 = TestRecordOf(2);
    EXPECT_EQ(AddTestRecord(t2, 3), 2);
}

TEST_F(IndexRebuildTest, OnNoNothingChangesAndNoFileblockIsOpen) {
    CrashInNormalMode();
    const auto originals = Originals();
    boxes.SetNextAnswer(MessageAnswer::Ok);
    boxes.SetNextAnswer(MessageAnswer::No);
    OpenRec(Name());
    EXPECT_EQ(RecordFileblock(), nullptr);
    EXPECT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(Originals(), originals);
    EXPECT_TRUE(Copies().empty());
}

TEST_F(IndexRebuildTest, OnNoABoxSaysTheRecordsWereLeftAndTheNextStartAsksAgain) {
    CrashInNormalMode();
    const auto originals = Originals();
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start);
        boxes.shown.clear();
        boxes.SetNextAnswer(MessageAnswer::Ok);
        boxes.SetNextAnswer(MessageAnswer::No);
        OpenRec(Name());
        EXPECT_EQ(RecordFileblock(), nullptr);
        ASSERT_EQ(boxes.shown.size(), 3u);
        EXPECT_EQ(boxes.shown[1].text.toStdString(), RebuildQuestionText());
        EXPECT_EQ(Texts()[2], RebuildDeclinedText());
        EXPECT_EQ(boxes.shown[2].caption, "Rebuild index");
        EXPECT_EQ(boxes.shown[2].icon, MessageIcon::Information);
        EXPECT_EQ(boxes.shown[2].buttons, MessageButtons::Ok);
        EXPECT_EQ(Originals(), originals);
        EXPECT_TRUE(Copies().empty());
    }
}

TEST_F(IndexRebuildTest, ARebuildThatFailsIsAskedForAgainAtTheNextOpen) {
    struct Case {
        const char* name;
        const char* failingFile;
        int write;           // the failing write to that file; 0: every one
        bool filesUnchanged; // the failure comes before the first change
    };
    const std::vector<Case> cases = {
        {"building the new index", ".IX.rebuild", 0, true},
        // The in-use mark, the recovered body, the test moved under it, then the header.
        {"clearing the mark, the last step", "/zelp.DAT", 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        CrashInNormalMode();
        const auto originals = Originals();
        {
            test::FaultyFileOps files;
            if (c.write == 0)
                files.FailAll(FileCall::Write, platform::win32::kDiskFull, c.failingFile);
            else
                files.FailNth(FileCall::Write, c.write, platform::win32::kDiskFull, c.failingFile);
            OpenRec(Name()); // the recorder answers Ok, then Yes
        }
        EXPECT_EQ(RecordFileblock(), nullptr);
        ASSERT_EQ(boxes.shown.size(), 3u);
        EXPECT_EQ(boxes.shown[2].icon, MessageIcon::Error);
        EXPECT_EQ(Texts()[2].rfind("The index could not be rebuilt: ", 0), 0u) << Texts()[2];
        if (c.filesUnchanged) {
            EXPECT_EQ(Originals(), originals);
        }
        EXPECT_EQ(test::ReadWholeFile(Name())[20], 1); // still marked in use
        // Asked again at the next open, where it succeeds.
        boxes.shown.clear();
        OpenRec(Name());
        ASSERT_NE(RecordFileblock(), nullptr);
        EXPECT_EQ(boxes.shown.size(), 3u);
        EXPECT_EQ(KeyEntries(2).size(), 5u);
        EXPECT_EQ(LiveRecordCount(), 10);
    }
}

TEST_F(IndexRebuildTest, TestsOfAFreedBodyNeverMoveToTheBodyThatTakesItsNumber) {
    Open();
    TStoredRecord b1 = BodyRecordOf(), b3 = BodyRecordOf(), t2 = TestRecordOf(1), t4 = TestRecordOf(2);
    AddBodyAddTest(b1, t2); // 1, 2
    AddBodyAddTest(b3, t4); // 3, 4
    // Body 3 freed with its key, its test left live: what a cut-short delete leaves.
    FbRemoveKey(RecordFileblock(), 1, 3, MakeRecordKey(3));
    FbFreeRecord(RecordFileblock(), 3);
    ASSERT_TRUE(FbOk);
    CloseRec();
    const auto markInUse = [&] { test::PatchFile(Name(), 20, {1}); };
    markInUse();
    OpenRec(Name()); // the defect, Yes, the report
    ASSERT_NE(RecordFileblock(), nullptr);
    TRecList recovered;
    ASSERT_TRUE(ListTests(5, recovered));
    EXPECT_EQ(Numbers(recovered), (std::vector<std::int32_t>{4}));

    TStoredRecord newBody = BodyRecordOf();
    ASSERT_EQ(AddBody(newBody), 3); // the freed number comes back
    CloseRec();
    markInUse();
    OpenRec(Name());
    ASSERT_NE(RecordFileblock(), nullptr);
    for (const auto& [body, expected] :
         std::vector<std::pair<std::int32_t, std::vector<std::int32_t>>>{{1, {2}}, {3, {}}, {5, {4}}}) {
        TRecList tests;
        ASSERT_TRUE(ListTests(body, tests));
        EXPECT_EQ(Numbers(tests), expected) << "body " << body;
    }
}

// A rebuild whose process dies after `step` file changes, the disk then losing its power when
// `powerLoss` is given; true when it ended before that.
bool RebuildDyingAfter(int step, const std::string& name, std::mt19937* powerLoss) {
    test::CrashDisk disk;
    disk.StopAfter(step);
    TRebuildReport report;
    const bool completed = RebuildIndex(name, report).empty();
    if (powerLoss) disk.LosePower(*powerLoss);
    return completed;
}

// The folder's files as they are now, by path.
std::map<std::string, std::vector<unsigned char>> FolderFiles(const std::string& folder) {
    std::map<std::string, std::vector<unsigned char>> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().string()] = test::ReadWholeFile(entry.path().string());
    return files;
}

void PutBackFolder(const std::string& folder,
                   const std::map<std::string, std::vector<unsigned char>>& files) {
    for (const auto& entry : fs::directory_iterator(folder))
        fs::remove_all(entry.path());
    for (const auto& [path, bytes] : files)
        test::WriteWholeFile(path, bytes);
}

// After a rebuild that ran to its end: none of the rebuild's own names (nor a removal's) is
// left, and every copy of `files` holds its file as the killed run (`originals`) or the run
// after it (`found`) found it.
void ExpectOnlyWholeCopies(const std::string& folder, const std::vector<std::string>& files,
                           const std::map<std::string, std::vector<unsigned char>>& originals,
                           const std::map<std::string, std::vector<unsigned char>>& found) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string path = entry.path().string();
        EXPECT_EQ(path.find(".rebuild"), std::string::npos) << path;
        EXPECT_EQ(path.find(".removing"), std::string::npos) << path;
        for (const std::string& original : files) {
            if (path.rfind(original + ".", 0) != 0) continue;
            const auto bytes = test::ReadWholeFile(path);
            EXPECT_TRUE(bytes == originals.at(original) || bytes == found.at(original)) << path;
        }
    }
}

// Bodies 1, 7 and 13 with five tests each; body 7 freed with its key, its tests 8 to 12 left
// live: what a delete cut short leaves. Then a rebuild, killed or cut by a power loss at each
// step and run again: one recovered body for body 7, with all five tests.
TEST_F(IndexRebuildTest, ARebuildKilledAtAnyStepAndRunAgainEndsAsOneRunWould) {
    ASSERT_NO_FATAL_FAILURE(OrphanTestsOfBody7());
    CloseRec();
    fs::resize_file(Index(), 1000);
    const auto originals = FolderFiles(folder.Path());
    std::mt19937 rng(7);
    for (const bool powerLoss : {false, true}) {
        int finished = 0;
        for (int step = 0; finished < 2; ++step) {
            SCOPED_TRACE((powerLoss ? "power loss at step " : "kill at step ") + std::to_string(step));
            PutBackFolder(folder.Path(), originals);
            const bool completed = RebuildDyingAfter(step, Name(), powerLoss ? &rng : nullptr);
            if (completed) ++finished;
            TRebuildReport report;
            if (!completed) {
                ASSERT_EQ(RebuildIndex(Name(), report), "");
            }
            Open();
            TRecList bodies;
            ASSERT_TRUE(ListBodies(bodies));
            std::vector<std::int32_t> recovered;
            for (const TRecItem& body : bodies) {
                TStoredRecord stored;
                ASSERT_TRUE(GetRec(body.recordNumber, stored));
                if (stored.body.note == RecoveredBodyNote(7)) recovered.push_back(body.recordNumber);
            }
            ASSERT_EQ(recovered.size(), 1u);
            TRecList tests;
            ASSERT_TRUE(ListTests(recovered[0], tests));
            std::vector<std::int32_t> numbers = Numbers(tests);
            std::sort(numbers.begin(), numbers.end());
            EXPECT_EQ(numbers, (std::vector<std::int32_t>{8, 9, 10, 11, 12}));
            EXPECT_EQ(LiveRecordCount(), 18);
            // A run again after every test was moved has none left to report.
            ASSERT_LE(report.recovered.size(), 1u);
            for (const TRecoveredTests& told : report.recovered) {
                EXPECT_EQ(told.body, recovered[0]);
                EXPECT_EQ(told.tests, 5);
            }
            CloseRec();
        }
    }
}

// Bodies 1, 7 and 13 with five tests each; body 7 freed with its key, its tests 8 to 12 left
// live. Then a save-mode change killed after its journal and its first write to the data file,
// and the index lost: the rebuild puts the journal back, then adds the recovered body. Killed
// before any file change and run again, it ends byte for byte as one run: the journal is put
// back once.
TEST_F(IndexRebuildTest, AJournalPutBackByARebuildKilledAtAnyStepIsNeverPutBackAgain) {
    struct Case {
        const char* name;
        bool chainEmptied; // record 7 taken again by a test of body 1 first
        std::function<void(Fileblock*)> change;
    };
    const std::vector<Case> cases = {
        {"an append at the end", true,
         [](Fileblock* fb) {
             std::int32_t n = 0;
             FbAppendRecord(fb, n, BodyRecordOf().Encode());
         }},
        {"an append from the free chain", false,
         [](Fileblock* fb) {
             std::int32_t n = 0;
             FbAppendRecord(fb, n, BodyRecordOf().Encode());
         }},
        {"a free", true, [](Fileblock* fb) { FbFreeRecord(fb, 14); }},
        {"a rewrite", true,
         [](Fileblock* fb) {
             TStoredRecord test = TestRecordOf(47000);
             test.kind = rkTest;
             test.parent = 1;
             FbWriteRecord(fb, 2, test.Encode());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        ASSERT_NO_FATAL_FAILURE(OrphanTestsOfBody7());
        if (c.chainEmptied) {
            TStoredRecord test = TestRecordOf(46000);
            ASSERT_EQ(AddTestRecord(test, 1), 7);
        }
        {
            // The journal on the disk (two writes, two flushes), then the change's first write.
            test::CrashDisk disk;
            disk.StopAfter(5);
            c.change(RecordFileblock());
        }
        CloseRec();
        ASSERT_GT(fs::file_size(Dialog()), 1u);
        fs::remove(Index());
        boxes.shown.clear();
        const auto originals = FolderFiles(folder.Path());
        TRebuildReport once;
        ASSERT_EQ(RebuildIndex(Name(), once), "");
        const std::vector<unsigned char> data = test::ReadWholeFile(Name());
        const std::vector<unsigned char> index = test::ReadWholeFile(Index());
        ASSERT_EQ(test::ReadWholeFile(Dialog()), std::vector<unsigned char>{0});
        for (int step = 0;; ++step) {
            SCOPED_TRACE("kill at step " + std::to_string(step));
            PutBackFolder(folder.Path(), originals);
            if (RebuildDyingAfter(step, Name(), nullptr)) break;
            TRebuildReport report;
            ASSERT_EQ(RebuildIndex(Name(), report), "");
            EXPECT_EQ(test::ReadWholeFile(Name()), data);
            EXPECT_EQ(test::ReadWholeFile(Index()), index);
            EXPECT_EQ(test::ReadWholeFile(Dialog()), std::vector<unsigned char>{0});
        }
    }
}

// Body 3 lost with its key, its test 4 left live: the rebuild puts it under a recovered body 5.
// Later a new body takes number 3, gets test 6 and is lost the same way: the next rebuild gives
// test 6 a recovered body of its own, as the finished rebuild's body is the user's by now.
TEST_F(IndexRebuildTest, ABodyLostAtTheNumberOfOneLostBeforeNeverJoinsItsRecoveredBody) {
    const auto loseBody3 = [&] {
        FbRemoveKey(RecordFileblock(), 1, 3, MakeRecordKey(3));
        FbFreeRecord(RecordFileblock(), 3);
        ASSERT_TRUE(FbOk);
        CloseRec();
        fs::remove(Index());
        boxes.shown.clear();
        OpenRec(Name()); // the defect, Yes, the report
        ASSERT_NE(RecordFileblock(), nullptr);
    };
    Open();
    TStoredRecord b1 = BodyRecordOf(), b3 = BodyRecordOf(), t2 = TestRecordOf(1), t4 = TestRecordOf(2);
    AddBodyAddTest(b1, t2); // 1, 2
    AddBodyAddTest(b3, t4); // 3, 4
    loseBody3();
    TRecList recovered;
    ASSERT_TRUE(ListTests(5, recovered));
    EXPECT_EQ(Numbers(recovered), (std::vector<std::int32_t>{4}));

    TStoredRecord again = BodyRecordOf(), t6 = TestRecordOf(3);
    ASSERT_EQ(AddBodyAddTest(again, t6), 3); // the freed number comes back; test 6 at the end
    loseBody3();
    TStoredRecord stored;
    ASSERT_TRUE(GetRec(7, stored));
    EXPECT_EQ(stored.body.note, RecoveredBodyNote(3));
    for (const auto& [body, expected] :
         std::vector<std::pair<std::int32_t, std::vector<std::int32_t>>>{{1, {2}}, {5, {4}}, {7, {6}}}) {
        TRecList tests;
        ASSERT_TRUE(ListTests(body, tests));
        EXPECT_EQ(Numbers(tests), expected) << "body " << body;
    }
}

// 3,600 records: the data file's copy takes two writes. A kill at each step of the copies, then
// a rebuild to its end: no file under a copy's name is cut, and no temporary stays.
TEST_F(IndexRebuildTest, ACopyAsideCutShortByAKillNeverStandsUnderACopysName) {
    Open();
    TStoredRecord first = BodyRecordOf();
    AddBody(first);
    CloseRec();
    std::vector<unsigned char> data = test::ReadWholeFile(Name());
    const TStoredBytes body = BodyRecordOf().Encode();
    for (int i = 2; i <= 3600; ++i)
        data.insert(data.end(), body.begin(), body.end());
    ASSERT_GT(data.size(), std::size_t{1} << 20);
    platform::PutI32(data.data(), 8, 3600);
    data[20] = 1; // left in use
    test::WriteWholeFile(Name(), data);
    const auto originals = FolderFiles(folder.Path());
    bool copying = true;
    for (int step = 0; copying; ++step) {
        SCOPED_TRACE("kill at step " + std::to_string(step));
        PutBackFolder(folder.Path(), originals);
        {
            test::CrashDisk disk;
            disk.StopAfter(step);
            TRebuildReport report;
            copying = RebuildIndex(Name(), report).rfind("Copying ", 0) == 0;
        }
        const auto found = FolderFiles(folder.Path());
        TRebuildReport report;
        ASSERT_EQ(RebuildIndex(Name(), report), "");
        EXPECT_EQ(report.copies.size(), 3u);
        ExpectOnlyWholeCopies(folder.Path(), {Name(), Index(), Dialog()}, originals, found);
    }
}

// On a file system whose rename cannot refuse to replace, with or without hard links (NFS;
// exFAT through FUSE, FAT), the copies are still made, each whole before it has its name. A
// rebuild killed at any step and run again ends with the files of one run, copies of the
// files as a run found them, and none of the rebuild's own names left.
TEST_F(IndexRebuildTest, OnFileSystemsWithoutARenameThatRefusesToReplaceARebuildKilledAnywhereEndsAsOneRun) {
    using Kind = test::FileSystemShim::Kind;
    CrashInNormalMode();
    const auto originals = FolderFiles(folder.Path());
    const auto rebuiltFiles = [&] {
        std::map<std::string, std::vector<unsigned char>> files;
        for (const std::string& path : {Name(), Index(), Dialog()})
            if (test::FileExists(path)) files[path] = test::ReadWholeFile(path);
        return files;
    };
    for (const Kind kind : {Kind::NoRenameNoReplace, Kind::NeitherThatNorLinks}) {
        SCOPED_TRACE(test::FileSystemShim::Name(kind));
        test::FileSystemShim shim(kind);
        PutBackFolder(folder.Path(), originals);
        TRebuildReport once;
        ASSERT_EQ(RebuildIndex(Name(), once), "");
        EXPECT_GT(shim.Refused(), 0);
        const auto oneRun = rebuiltFiles();
        bool killed = true;
        for (int step = 0; killed; ++step) {
            SCOPED_TRACE("kill at step " + std::to_string(step));
            PutBackFolder(folder.Path(), originals);
            {
                test::CrashDisk disk;
                disk.StopAfter(step);
                TRebuildReport report;
                killed = !RebuildIndex(Name(), report).empty();
            }
            const auto found = FolderFiles(folder.Path());
            TRebuildReport report;
            if (killed) {
                ASSERT_EQ(RebuildIndex(Name(), report), "");
            }
            EXPECT_EQ(rebuiltFiles(), oneRun);
            ExpectOnlyWholeCopies(folder.Path(), {Name(), Index(), Dialog()}, originals, found);
        }
    }
}

// A copy named by a second name, the process killed between making it and dropping the
// temporary's name: the next rebuild clears that name and keeps the copy whole.
TEST_F(IndexRebuildTest, ACopysSecondNameLeftByAKillBetweenLinkAndUnlinkIsClearedByTheNextRebuild) {
    CrashInNormalMode();
    const auto data = test::ReadWholeFile(Name());
    const std::string temporary = FbRebuildNames(Name()).front();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        test::FileSystemShim shim(test::FileSystemShim::Kind::NoRenameNoReplace);
        shim.BeforeNextUnlink([] { ::_exit(0); });
        TRebuildReport report;
        (void)RebuildIndex(Name(), report);
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string copyName;
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        if (const std::string path = entry.path().string();
            path.rfind(Name() + ".", 0) == 0 && path.find(".rebuild") == std::string::npos)
            copyName = path;
    ASSERT_FALSE(copyName.empty());
    struct stat killed {};
    ASSERT_EQ(::stat(temporary.c_str(), &killed), 0);
    EXPECT_EQ(killed.st_nlink, 2u);

    TRebuildReport report;
    ASSERT_EQ(RebuildIndex(Name(), report), "");
    EXPECT_FALSE(test::FileExists(temporary));
    struct stat copy {};
    ASSERT_EQ(::stat(copyName.c_str(), &copy), 0);
    EXPECT_EQ(copy.st_nlink, 1u);
    EXPECT_EQ(test::ReadWholeFile(copyName), data);
}

// Another program (a second copy of this one) has the data file open: the rebuild's refusal
// says so in words, says nothing was changed and what to do, and names no system error.
TEST_F(IndexRebuildTest, ARebuildRefusedAtItsCopiesByAnotherProgramHoldingTheDataSaysSoInWords) {
    CrashInNormalMode();
    const auto files = FolderFiles(folder.Path());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        platform::FileHandle handle = -1;
        const bool held = platform::PosixFiles().Open(Name(), platform::FileDisposition::OpenExisting,
                                                      platform::FileAccess::ReadWrite,
                                                      platform::FileSharing::Exclusive, handle) == 0;
        (void)!::write(ready[1], &held, 1);
        for (;;)
            ::pause();
    }
    bool held = false;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ASSERT_TRUE(held);
    TRebuildReport report;
    const std::string failure = RebuildIndex(Name(), report);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(RebuildFailedText(failure),
              "The index could not be rebuilt: another program (or a second copy of this one) has the data "
              "open, so " +
                  Name() +
                  " could not be copied aside first. Nothing was changed. Close the other program, then "
                  "start this one again.\n\nIts records were left as they were.");
    EXPECT_EQ(failure.find("system error"), std::string::npos);
    EXPECT_EQ(FolderFiles(folder.Path()), files);
}

// Whatever stops a copy aside, the refusal says why in words and names no system error.
TEST_F(IndexRebuildTest, ACopyAsideThatCannotBeMadeSaysWhyInWords) {
    namespace win32 = platform::win32;
    struct Case {
        const char* name;
        FileCall call;
        platform::SystemError error;
        const char* words;
    };
    const std::vector<Case> cases = {
        {"a full disk", FileCall::Write, win32::kDiskFull, " failed: the disk is full"},
        {"a read-only disk", FileCall::Open, win32::kWriteProtect,
         " failed: the disk of the data folder is read-only or write-protected"},
        {"a folder that takes no new files", FileCall::Open, win32::kAccessDenied,
         " failed: new files may not be made in the data folder"},
        {"a disk fault", FileCall::Flush, win32::kIoDevice,
         " failed: the disk or its file system reported a fault"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        CrashInNormalMode();
        const auto files = FolderFiles(folder.Path());
        std::string failure;
        {
            test::FaultyFileOps faults;
            faults.FailAll(c.call, c.error, ".DAT.rebuild");
            TRebuildReport report;
            failure = RebuildIndex(Name(), report);
        }
        EXPECT_EQ(failure.rfind("Copying " + Name() + " to " + Name() + ".", 0), 0u) << failure;
        EXPECT_TRUE(failure.ends_with(c.words)) << failure;
        EXPECT_EQ(failure.find("system error"), std::string::npos) << failure;
        EXPECT_EQ(FolderFiles(folder.Path()), files);
    }
}

TEST_F(IndexRebuildTest, WhenEveryNameForItsNewIndexIsTakenTheBoxSaysSoAndNothingIsCopied) {
    CrashInNormalMode();
    const std::string victim = folder.File("victim");
    test::WriteWholeFile(victim, {1, 2, 3});
    for (const std::string& name : FbRebuildNames(Index()))
        fs::create_symlink(victim, name);
    const auto files = FolderFiles(folder.Path());
    TRebuildReport report;
    const std::string failure = RebuildIndex(Name(), report);
    EXPECT_EQ(failure, "Rebuilding the index of " + Name() + ": no name for a new file beside " + Index() +
                           " can be had: " + Index() +
                           ".rebuild and .rebuild-2 to .rebuild-100 are all taken by files that are not "
                           "leftovers of the rebuild");
    EXPECT_EQ(FolderFiles(folder.Path()), files);
    EXPECT_TRUE(fs::is_symlink(FbRebuildNames(Index()).back()));
}

// The new index or dialog file renamed over a link would cut the link off and leave the file it
// leads to old: the rebuild is refused before anything is copied or changed.
TEST_F(IndexRebuildTest, AnIndexOrDialogFileThatIsALinkIsRefusedWithABoxSayingSo) {
    const test::TempFolder elsewhere;
    for (const bool dialog : {false, true}) {
        SCOPED_TRACE(dialog ? "dialog file" : "index file");
        StartOver();
        CrashInNormalMode();
        const std::string name = dialog ? Dialog() : Index();
        const std::string target = elsewhere.File(dialog ? "zelp.DIA" : "zelp.IX");
        if (!fs::exists(name)) test::WriteWholeFile(name, {0}); // the normal mode's crash left none
        fs::rename(name, target);
        fs::create_symlink(target, name);
        const auto files = FolderFiles(folder.Path());
        const auto targetBytes = test::ReadWholeFile(target);
        OpenRec(Name()); // the defect, Yes, the refusal
        EXPECT_EQ(RecordFileblock(), nullptr);
        ASSERT_EQ(boxes.shown.size(), 3u);
        EXPECT_EQ(boxes.shown[2].icon, MessageIcon::Error);
        EXPECT_EQ(Texts()[2], RebuildFailedText("The file " + name +
                                                " is a link to a file elsewhere, which a rebuild would not "
                                                "replace but cut off"));
        EXPECT_TRUE(fs::is_symlink(name));
        EXPECT_EQ(FolderFiles(folder.Path()), files);
        EXPECT_EQ(test::ReadWholeFile(target), targetBytes);
        fs::remove(target);
    }
}

// ---- Damaged files -----------------------------------------------------------------------------------

class DamagedFilesTest : public BrinovaDBTest {
protected:
    static constexpr std::size_t kRowSize = 2 * (62 * 16 + 564);
    static constexpr std::size_t kKeyTwoAt = 62 * 16 + 564;

    // Bodies 1, 4, 7 with two tests each, closed.
    void MakeRecords() {
        Open();
        for (int i = 0; i < 3; ++i) {
            TStoredRecord body = BodyRecordOf(static_cast<std::uint8_t>(i));
            TStoredRecord first = TestRecordOf(45000 + i), second = TestRecordOf(45100 + i);
            const std::int32_t n = AddBodyAddTest(body, first);
            AddTestRecord(second, n);
        }
        CloseRec();
        boxes.shown.clear();
    }
    // The records of the data file, header left out.
    std::vector<unsigned char> Records() const {
        const std::vector<unsigned char> bytes = test::ReadWholeFile(Name());
        return {bytes.begin() + static_cast<std::ptrdiff_t>(kStoredRecordSize), bytes.end()};
    }
    // Every body listed with its tests, through the layer.
    std::map<std::int32_t, std::vector<std::int32_t>> Listed() {
        std::map<std::int32_t, std::vector<std::int32_t>> listed;
        TRecList bodies;
        if (!ListBodies(bodies)) return listed;
        for (const TRecItem& body : bodies) {
            TRecList tests;
            ListTests(body.recordNumber, tests);
            auto numbers = Numbers(tests);
            std::sort(numbers.begin(), numbers.end());
            listed[body.recordNumber] = numbers;
        }
        return listed;
    }
    bool AskedToRebuild() const {
        return std::any_of(boxes.shown.begin(), boxes.shown.end(),
                           [](const auto& box) { return box.icon == MessageIcon::Question; });
    }
    std::set<std::string> FolderNames() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            names.insert(entry.path().filename().string());
        return names;
    }
};

TEST_F(DamagedFilesTest, AnIndexDamagedAtOpenOrFirstListIsOfferedTheRebuildAndEveryRecordIsKept) {
    const std::map<std::int32_t, std::vector<std::int32_t>> all = {{1, {2, 3}}, {4, {5, 6}}, {7, {8, 9}}};
    struct Case {
        const char* name;
        std::function<void(const std::string& data, const std::string& index)> damage;
    };
    const std::vector<Case> cases = {
        {"an empty index file",
         [](const std::string&, const std::string& index) { fs::resize_file(index, 0); }},
        {"an index file cut short",
         [](const std::string&, const std::string& index) { fs::resize_file(index, 1000); }},
        {"an index file of random bytes",
         [](const std::string&, const std::string& index) {
             std::vector<unsigned char> noise(fs::file_size(index));
             std::uint32_t x = 12345;
             for (unsigned char& byte : noise)
                 byte = static_cast<unsigned char>((x = x * 1103515245u + 12345u) >> 24);
             test::PatchFile(index, 0, noise);
         }},
        {"a garbage root page of key 2, the file clean",
         [](const std::string&, const std::string& index) {
             const auto root = platform::GetI32(test::ReadWholeFile(index).data(), kKeyTwoAt + 16);
             test::PatchFile(index, static_cast<std::size_t>(root) * kRowSize + kKeyTwoAt,
                             std::vector<unsigned char>(64, 0xEE));
         }},
        {"a damaged record length in the data header",
         [](const std::string& data, const std::string&) {
             test::PatchFile(data, 12, {0xCC, 0x01, 0, 0});
         }},
        {"a count of records lowered by one",
         [](const std::string& data, const std::string&) { test::PatchFile(data, 8, test::Le32(8)); }},
        {"a count of records lowered by two",
         [](const std::string& data, const std::string&) { test::PatchFile(data, 8, test::Le32(7)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        MakeRecords();
        const std::vector<unsigned char> records = Records();
        c.damage(Name(), Index());
        OpenRec(Name());
        const auto listed = Listed();
        EXPECT_TRUE(AskedToRebuild());
        ASSERT_NE(RecordFileblock(), nullptr);
        EXPECT_EQ(listed, all);
        EXPECT_EQ(Records(), records); // every record as it was
        EXPECT_EQ(test::ReadWholeFile(Name())[12], kStoredRecordSize & 0xFF);
        CloseRec();
        const storagetest::IndexReport index = storagetest::CheckIndexFile(Name(), Index());
        EXPECT_TRUE(index.Sound()) << index.FaultText();
    }
}

// One byte of an index entry changed while the program was closed: the keys stay in order, but
// their entries are not those of the live records any more, so a record is listed nowhere, twice
// or under another body. The start notices and offers the rebuild, and Yes lists every record
// as it was; the rebuilt index then passes the start without a box.
TEST_F(DamagedFilesTest, AnIndexInOrderWhoseEntriesAreNotTheRecordsIsOfferedTheRebuild) {
    const std::map<std::int32_t, std::vector<std::int32_t>> all = {{1, {2, 3}}, {4, {5, 6}}, {7, {8, 9}}};
    // Each key is one leaf page: a count, a leftmost child, then items of 25 bytes: a reference,
    // a right child, a length byte and 16 text bytes. Key 1 holds (1, "       1"), (4, "       4"),
    // (7, "       7"); key 2 holds (2, "       1"), (3, "       1"), (5, "       4"),
    // (6, "       4"), (8, "       7"), (9, "       7").
    constexpr std::size_t kReference = 0, kLength = 8, kText = 9, kItemSize = 25;
    struct Case {
        const char* name;
        int key;
        std::size_t item; // 1-based
        std::size_t at;   // within the item
        unsigned char now;
    };
    const std::vector<Case> cases = {
        {"test 9 under record 9, a test", 2, 6, kText + 7, '9'},
        {"test 9 under 17, past every record", 2, 6, kText + 6, '1'},
        {"test 6 under body 7", 2, 4, kText + 7, '7'},
        {"test 9 under a text one byte longer", 2, 6, kLength, 9},
        {"test 3's entry naming body 4", 2, 2, kReference, 4},
        {"test 9's entry naming record 10, past the records", 2, 6, kReference, 10},
        {"test 8's entry naming test 2, which then has two", 2, 5, kReference, 2},
        {"body 4 under the text of 5", 1, 2, kText + 7, '5'},
        {"body 7 under a text that is no record number", 1, 3, kText, '0'},
        {"body 7's entry naming test 8", 1, 3, kReference, 8},
        {"body 4's entry naming body 1, which then has two", 1, 2, kReference, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        MakeRecords();
        const std::vector<unsigned char> records = Records();
        const std::size_t section = c.key == 1 ? 0 : kKeyTwoAt;
        const std::vector<unsigned char> index = test::ReadWholeFile(Index());
        const auto root = static_cast<std::size_t>(platform::GetI32(index.data(), section + 16));
        const std::size_t page = root * kRowSize + section;
        ASSERT_EQ(platform::GetU16(index.data(), page), c.key == 1 ? 3 : 6) << "one leaf page";
        const std::size_t at = page + 6 + (c.item - 1) * kItemSize + c.at;
        ASSERT_NE(index[at], c.now);
        test::PatchFile(Index(), at, {c.now});

        OpenRec(Name());
        EXPECT_TRUE(AskedToRebuild());
        ASSERT_NE(RecordFileblock(), nullptr);
        EXPECT_EQ(Texts().empty() ? std::string() : Texts()[0], DataErrorText(fberr::kFileDefect, "OpenRec"));
        EXPECT_EQ(Listed(), all);
        EXPECT_EQ(Records(), records);
        CloseRec();
        const storagetest::IndexReport report = storagetest::CheckIndexFile(Name(), Index());
        EXPECT_TRUE(report.Sound()) << report.FaultText();
        boxes.shown.clear();
        Open();
    }
}

// A test whose body was freed with its key (a delete cut short between them) keeps its entry
// under a number that is no live body's: it is listed nowhere, and the next body given that
// number would take it. The start offers the rebuild, which lists it under a recovered body.
TEST_F(DamagedFilesTest, TestsWhoseBodyIsGoneAreOfferedTheRebuildAndListedUnderARecoveredBody) {
    MakeRecords();
    Open();
    FbRemoveKey(RecordFileblock(), 1, 4, MakeRecordKey(4));
    FbFreeRecord(RecordFileblock(), 4);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    CloseRec();
    OpenRec(Name());
    EXPECT_TRUE(AskedToRebuild());
    ASSERT_NE(RecordFileblock(), nullptr);
    EXPECT_EQ(Listed(),
              (std::map<std::int32_t, std::vector<std::int32_t>>{{1, {2, 3}}, {7, {8, 9}}, {10, {5, 6}}}));
}

// Another program cuts the open data file, inside a record or at a record's end. The next add
// needs no read to notice: it fails with the read error and writes nothing, so the file stays
// cut, and the next start reports the damage and offers the rebuild.
TEST_F(DamagedFilesTest, AnAddToADataFileCutWhileOpenFailsAndTheNextStartOffersTheRebuild) {
    struct Case {
        const char* name;
        std::size_t cut;
    };
    const std::vector<Case> cases = {
        {"inside record 8", 8 * kStoredRecordSize + 5},
        {"at the end of record 6", 7 * kStoredRecordSize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        MakeRecords();
        Open();
        fs::resize_file(Name(), c.cut);
        const std::vector<unsigned char> cut = test::ReadWholeFile(Name());
        TStoredRecord body = BodyRecordOf();
        EXPECT_EQ(AddBody(body), -1);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(Texts()[0], DataErrorText(fberr::kReadError, "AddBodyAddTest"));
        EXPECT_EQ(test::ReadWholeFile(Name()), cut);
        CloseRec();
        EXPECT_EQ(test::ReadWholeFile(Name()), cut);

        boxes.shown.clear();
        boxes.SetNextAnswer(MessageAnswer::Ok);
        boxes.SetNextAnswer(MessageAnswer::No);
        OpenRec(Name());
        ASSERT_FALSE(boxes.shown.empty());
        EXPECT_EQ(Texts()[0], DataErrorText(fberr::kFileDefect, "OpenRec"));
        EXPECT_TRUE(AskedToRebuild());
        EXPECT_EQ(test::ReadWholeFile(Name()), cut);
    }
}

// The journal a save-mode rewrite of record 5 leaves when a kill cuts it: the record's old
// bytes (tag 3000, 2 spare bytes, the record number), closed by an end tag.
std::vector<unsigned char> RewriteJournal(std::int32_t record, const std::vector<unsigned char>& old) {
    std::vector<unsigned char> journal = {0, 0xB8, 0x0B, 0, 0};
    const auto number = test::Le32(record);
    journal.insert(journal.end(), number.begin(), number.end());
    journal.insert(journal.end(), old.begin(), old.end());
    journal.insert(journal.end(), {0xD0, 0x07});
    return journal;
}

// A rewrite of test 5 cut by a kill (200 bytes new, the rest old) beside a damaged index or
// record length: the rebuild puts the journal back first, and the record is wholly as it was.
TEST_F(DamagedFilesTest, ARewriteCutShortBesideADamagedIndexIsUndoneByTheRebuild) {
    const std::map<std::int32_t, std::vector<std::int32_t>> all = {{1, {2, 3}}, {4, {5, 6}}, {7, {8, 9}}};
    struct Case {
        const char* name;
        std::function<void(const std::string& data, const std::string& index)> damage;
    };
    const std::vector<Case> cases = {
        {"the index file missing", [](const std::string&, const std::string& index) { fs::remove(index); }},
        {"an empty index file",
         [](const std::string&, const std::string& index) { fs::resize_file(index, 0); }},
        {"a record length of 460",
         [](const std::string& data, const std::string&) {
             test::PatchFile(data, 12, {0xCC, 0x01, 0, 0});
         }},
        {"a record length of 0",
         [](const std::string& data, const std::string&) {
             test::PatchFile(data, 12, {0, 0, 0, 0});
         }},
        {"a record length of 928",
         [](const std::string& data, const std::string&) {
             test::PatchFile(data, 12, {0xA0, 0x03, 0, 0});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        MakeRecords();
        const std::vector<unsigned char> records = Records();
        const std::size_t at = 5 * kStoredRecordSize;
        const std::vector<unsigned char> old = test::BytesAt(Name(), at, kStoredRecordSize);
        test::PatchFile(Name(), at + 8, std::vector<unsigned char>(192, 0x66)); // the first 200 bytes new
        test::WriteWholeFile(Dialog(), RewriteJournal(5, old));
        c.damage(Name(), Index());
        OpenRec(Name());
        EXPECT_TRUE(AskedToRebuild());
        ASSERT_NE(RecordFileblock(), nullptr);
        EXPECT_EQ(Listed(), all);
        EXPECT_EQ(Records(), records) << "record 5 whole, as it was";
        CloseRec();
    }
}

// A dialog file the engine cannot replay: the rebuild is offered with a question that says the
// journal could not be used, and the dialog file is kept among the copies. No changes nothing.
TEST_F(DamagedFilesTest, ADialogFileThatCannotBeReplayedIsOfferedTheRebuildWithoutIt) {
    const std::map<std::int32_t, std::vector<std::int32_t>> all = {{1, {2, 3}}, {4, {5, 6}}, {7, {8, 9}}};
    std::vector<unsigned char> noise(700);
    std::uint32_t x = 4242;
    for (unsigned char& byte : noise)
        byte = static_cast<unsigned char>((x = x * 1103515245u + 12345u) >> 24);
    std::vector<unsigned char> imageAndNoise = {0, 0xB8, 0x0B};
    imageAndNoise.insert(imageAndNoise.end(), noise.begin(), noise.end());
    const std::vector<unsigned char> unknownTag = {0, 0x88, 0x13, 1, 2, 3, 4, 0xD0, 0x07};
    struct Case {
        const char* name;
        std::vector<unsigned char> dialog;
    };
    const std::vector<Case> cases = {
        {"a record-image tag followed by random bytes", imageAndNoise},
        {"an unknown tag", unknownTag},
        {"a journal cut inside a record image", {}},
    };
    for (const Case& c : cases) {
        for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
            SCOPED_TRACE(std::string(c.name) + (answer == MessageAnswer::Yes ? ", Yes" : ", No"));
            StartOver();
            MakeRecords();
            std::vector<unsigned char> dialog = c.dialog;
            if (dialog.empty()) {
                dialog = RewriteJournal(5, test::BytesAt(Name(), 5 * kStoredRecordSize, kStoredRecordSize));
                dialog.resize(9 + 200);
            }
            test::WriteWholeFile(Dialog(), dialog);
            const std::vector<unsigned char> data = test::ReadWholeFile(Name());
            const std::vector<unsigned char> index = test::ReadWholeFile(Index());
            const std::set<std::string> before = FolderNames();
            boxes.SetNextAnswer(MessageAnswer::Ok);
            boxes.SetNextAnswer(answer);
            OpenRec(Name());
            ASSERT_GE(boxes.shown.size(), 2u);
            EXPECT_EQ(boxes.shown[0].text.toStdString(), DataErrorText(fberr::kRepairFailed, "OpenRec"));
            EXPECT_EQ(boxes.shown[1].text.toStdString(), RebuildWithoutJournalQuestionText(Dialog()));
            if (answer == MessageAnswer::No) {
                EXPECT_EQ(RecordFileblock(), nullptr);
                ASSERT_EQ(boxes.shown.size(), 3u);
                EXPECT_EQ(boxes.shown[2].text.toStdString(), RebuildDeclinedText());
                EXPECT_EQ(test::ReadWholeFile(Name()), data);
                EXPECT_EQ(test::ReadWholeFile(Index()), index);
                EXPECT_EQ(test::ReadWholeFile(Dialog()), dialog);
                EXPECT_EQ(FolderNames(), before);
                continue;
            }
            ASSERT_NE(RecordFileblock(), nullptr);
            EXPECT_EQ(Listed(), all);
            ASSERT_EQ(boxes.shown.size(), 3u);
            EXPECT_NE(boxes.shown[2].text.indexOf("The journal of the last session could not be used"), -1)
                << boxes.shown[2].text.toStdString();
            CloseRec();
            std::vector<std::string> dialogCopies;
            for (const std::string& name : FolderNames())
                if (name.rfind("zelp.DIA.", 0) == 0) dialogCopies.push_back(name);
            ASSERT_EQ(dialogCopies.size(), 1u);
            EXPECT_EQ(test::ReadWholeFile(folder.File(dialogCopies[0])), dialog);
        }
    }
}

// A journal that another data file's change left (the user put a copy of another zelp.DAT in
// this one's place): a count of records other than this file's, or one less after an append at
// the end, is refused before anything is written, and the rebuild without it keeps every record.
TEST_F(DamagedFilesTest, AnotherDataFilesJournalIsRefusedAndEveryRecordStays) {
    using Bytes = std::vector<unsigned char>;
    const auto le16 = [](int v) {
        return Bytes{static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    };
    const auto header = [&](std::int32_t firstFree, std::int32_t freeCount, std::int32_t allocated,
                            std::int32_t link) {
        return test::Concat({le16(1000), le16(0), test::Le32(firstFree), test::Le32(freeCount),
                             test::Le32(allocated), test::Le32(kStoredRecordSize), test::Le32(2), Bytes(8, 0),
                             test::Le32(link)});
    };
    struct Kind {
        const char* name;
        std::function<Bytes(std::int32_t allocated)> records;
    };
    const std::vector<Kind> kinds = {
        {"an append", [&](std::int32_t n) { return header(-1, 0, n, -2); }},
        // The freed record's first word, then the header before the free.
        {"a free",
         [&](std::int32_t n) {
             return test::Concat({header(2, 1, n, 0), header(-1, 0, n, -2)});
         }},
        {"a rewrite",
         [&](std::int32_t n) {
             return test::Concat(
                 {header(-1, 0, n, -2), le16(3000), le16(0), test::Le32(2), Bytes(kStoredRecordSize, 0x66)});
         }},
    };
    for (const Kind& kind : kinds) {
        for (const std::int32_t offset : {-12, -2, 1}) {
            SCOPED_TRACE(std::string(kind.name) + ", a count of " + std::to_string(offset));
            StartOver();
            Open();
            for (int i = 0; i < 4; ++i) { // bodies 1, 5, 9 and 13 with three tests each
                TStoredRecord body = BodyRecordOf(static_cast<std::uint8_t>(i));
                const std::int32_t n = AddBody(body);
                for (int t = 0; t < 3; ++t) {
                    TStoredRecord test = TestRecordOf(45000 + 10 * i + t);
                    AddTestRecord(test, n);
                }
            }
            const auto listed = Listed();
            CloseRec();
            const Bytes records = Records();
            test::WriteWholeFile(Dialog(), test::Concat({Bytes{0}, kind.records(16 + offset), le16(2000)}));
            OpenRec(Name()); // the refusal, Yes, the report
            ASSERT_GE(boxes.shown.size(), 2u);
            EXPECT_EQ(Texts()[0], DataErrorText(fberr::kRepairFailed, "OpenRec"));
            EXPECT_EQ(Texts()[1], RebuildWithoutJournalQuestionText(Dialog()));
            ASSERT_NE(RecordFileblock(), nullptr);
            EXPECT_EQ(Listed(), listed);
            EXPECT_EQ(Records(), records);
            CloseRec();
        }
    }
}

TEST_F(DamagedFilesTest, ADataFileTheRebuildCannotReadIsRefusedWithTheEnginesCodeAndKept) {
    MakeRecords();
    test::PatchFile(Name(), 12, {0xCC, 0x01, 0, 0});     // a damaged record length
    test::PatchFile(Name(), fs::file_size(Name()), {7}); // and a size that fits no length
    const auto data = test::ReadWholeFile(Name());
    OpenRec(Name());
    TRecList bodies;
    ListBodies(bodies);
    EXPECT_TRUE(AskedToRebuild());
    ASSERT_GE(boxes.shown.size(), 3u);
    const std::string refused = boxes.shown[2].text.toStdString();
    EXPECT_EQ(refused.rfind("The index could not be rebuilt: Rebuilding the index of " + Name() + " (" +
                                std::to_string(fberr::kReindexFailed) + " - ",
                            0),
              0u)
        << refused;
    EXPECT_EQ(test::ReadWholeFile(Name()), data);
}

TEST_F(DamagedFilesTest, AFileThatCannotBeUsedAsAPlainFileGetsOneBoxNamingItAndIsKept) {
    struct Case {
        const char* name;
        bool dialog; // else the index
        std::function<void(const std::string&)> make;
        const char* words;
    };
    const auto replace = [](std::function<void(const std::string&)> make) {
        return [make](const std::string& path) {
            fs::remove(path);
            make(path);
        };
    };
    const std::vector<Case> cases = {
        {"a read-only index", false,
         [](const std::string& path) {
             fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
         },
         "is read-only"},
        {"an index that is a pipe", false,
         replace([](const std::string& path) { ::mkfifo(path.c_str(), 0600); }), "is not a plain file"},
        {"an index that is a folder", false,
         replace([](const std::string& path) { fs::create_directory(path); }), "is not a plain file"},
        {"an index that links to a device", false,
         replace([](const std::string& path) { fs::create_symlink("/dev/zero", path); }),
         "is not a plain file"},
        {"a read-only dialog file", true,
         [](const std::string& path) { fs::permissions(path, fs::perms::owner_read); }, "is read-only"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.dialog ? Dialog() : Index();
        if (fs::symlink_status(path).type() == fs::file_type::regular)
            fs::permissions(path, fs::perms::owner_all);
        StartOver();
        MakeRecords();
        const auto data = test::ReadWholeFile(Name());
        const auto before = test::ReadWholeFile(path);
        c.make(path);
        const auto type = fs::symlink_status(path).type();
        const auto names = FolderNames();
        OpenRec(Name());
        EXPECT_EQ(RecordFileblock(), nullptr);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Error);
        EXPECT_NE(Texts()[0].find("The file " + path + " " + c.words), std::string::npos) << Texts()[0];
        EXPECT_EQ(fs::symlink_status(path).type(), type);
        if (type == fs::file_type::regular) {
            EXPECT_EQ(test::ReadWholeFile(path), before);
        }
        EXPECT_EQ(test::ReadWholeFile(Name()), data);
        EXPECT_EQ(FolderNames(), names); // no copy, no new file
    }
    fs::permissions(Dialog(), fs::perms::owner_all);
}

TEST_F(DamagedFilesTest, AMissingDataFileGetsOneBoxNamingItAndNothingIsMade) {
    struct Case {
        const char* name;
        bool keepIndex, keepDialog, dangling;
        const char* words;
    };
    const std::vector<Case> cases = {
        {"missing beside the index and dialog file", true, true, false, "is missing, but "},
        {"missing beside the index file", true, false, false, "is missing, but "},
        {"missing beside the dialog file", false, true, false, "is missing, but "},
        {"a link to nothing beside the index", true, true, true, "is a link to a file that is not there"},
        {"a link to nothing alone", false, false, true, "is a link to a file that is not there"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOver();
        MakeRecords();
        fs::remove(Name());
        if (!c.keepIndex) fs::remove(Index());
        if (!c.keepDialog) fs::remove(Dialog());
        const std::string target = folder.File("unmounted/zelp.DAT");
        if (c.dangling) fs::create_symlink(target, Name());
        const auto index = test::ReadWholeFile(Index()), dialog = test::ReadWholeFile(Dialog());
        const auto names = FolderNames();
        OpenRec(Name());
        EXPECT_EQ(RecordFileblock(), nullptr);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Error);
        EXPECT_NE(Texts()[0].find(Name() + " " + c.words), std::string::npos) << Texts()[0];
        EXPECT_EQ(FolderNames(), names);
        EXPECT_EQ(test::ReadWholeFile(Index()), index);
        EXPECT_EQ(test::ReadWholeFile(Dialog()), dialog);
        EXPECT_EQ(fs::is_symlink(Name()), c.dangling);
        EXPECT_FALSE(fs::exists(target));
    }
}

TEST(IndexRebuildText, ManyRecoveredBodiesAreCountedAndTheFirstTwentyNamed) {
    TRebuildReport report;
    report.bodies = 2;
    for (int i = 1; i <= 25; ++i)
        report.recovered.push_back({200 + i, 100 + i, 2});
    report.copies = {"/d/zelp.DAT.x"};
    const std::string text = RebuildReportText(report);
    EXPECT_NE(text.find("50 tests whose body"), std::string::npos) << text;
    EXPECT_NE(
        text.find("of their own: \"Recovered tests (body of water 101)\" with 2 tests, \"Recovered tests "
                  "(body of water 102)\" with 2 tests,"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("\"Recovered tests (body of water 120)\" with 2 tests, ..."), std::string::npos)
        << text;
    EXPECT_EQ(text.find("121"), std::string::npos);
    EXPECT_NE(text.find("\n/d/zelp.DAT.x"), std::string::npos);
}

// The counts of a report read as words do: one body of water, several tests, and the file's
// unused places named so, never as records of the file.
TEST(IndexRebuildText, TheReportCountsInWordsThatFitOneOrSeveral) {
    struct Case {
        std::int32_t bodies, tests, unused;
        std::vector<TRecoveredTests> recovered;
        const char* opening;
    };
    const std::vector<Case> cases = {
        {1, 3, 0, {}, "The index was rebuilt from the data file: 1 body of water and 3 tests.\n\n"},
        {2, 1, 0, {}, "The index was rebuilt from the data file: 2 bodies of water and 1 test.\n\n"},
        {0, 0, 0, {}, "The index was rebuilt from the data file: 0 bodies of water and 0 tests.\n\n"},
        {1,
         1,
         1,
         {},
         "The index was rebuilt from the data file: 1 body of water and 1 test. The file also has 1 unused "
         "place (where a body of water or a test was deleted, for instance); the next one added fills "
         "it.\n\n"},
        {3,
         7,
         4,
         {},
         "The index was rebuilt from the data file: 3 bodies of water and 7 tests. The file also has 4 "
         "unused "
         "places (where bodies of water or tests were deleted, for instance); the next ones added fill them."
         "\n\n"},
        {2,
         1,
         0,
         {{9, 7, 1}},
         "The index was rebuilt from the data file: 2 bodies of water and 1 test.\n\n1 test whose body of "
         "water is missing is now listed under a new body of water of its own: \"Recovered tests (body of "
         "water 7)\" with 1 test.\n\n"},
        {3,
         5,
         0,
         {{9, 7, 3}, {10, 8, 2}},
         "The index was rebuilt from the data file: 3 bodies of water and 5 tests.\n\n5 tests whose body of "
         "water is missing are now listed under new bodies of water of their own: \"Recovered tests (body of "
         "water 7)\" with 3 tests, \"Recovered tests (body of water 8)\" with 2 tests.\n\n"},
    };
    for (const Case& c : cases) {
        TRebuildReport report;
        report.bodies = c.bodies;
        report.tests = c.tests;
        report.freeRecords = c.unused;
        report.recovered = c.recovered;
        report.copies = {"/d/zelp.DAT.20240601-101500"};
        const std::string text = RebuildReportText(report);
        SCOPED_TRACE(text);
        EXPECT_EQ(text.rfind(c.opening, 0), 0u);
        EXPECT_EQ(text.find("free"), std::string::npos);
        EXPECT_EQ(text.find("1 tests"), std::string::npos);
        EXPECT_EQ(text.find("1 bodies"), std::string::npos);
    }
}

} // namespace
