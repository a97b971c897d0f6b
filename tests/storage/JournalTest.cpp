// The dialog file's journal: what an open does with journals found beside the data file (each
// record checked before it is applied), what reaches the disk when, and what happens when the
// repair itself fails.
#include "FaultyFileOps.h"
#include "FileCallLog.h"
#include "StorageSession.h"
#include "TempFolder.h"

#include "storage/Fileblock.h"
#include "storage/Journal.h"
#include "storage/PageCache.h"
#include "storage/Storage.h"

#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace {

using test::Concat;
using test::FileCall;
using test::FileExists;
using test::Le32;
using Bytes = std::vector<unsigned char>;

constexpr std::size_t kRow = 2120; // two keys of length 8: pages of 62 * 17 + 6 bytes

Bytes Le16(int v) {
    return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
}
Bytes Text8(const std::string& text) {
    return Bytes(text.begin(), text.end());
}
// A page record of one item (reference, child, text of 8) of `key`.
Bytes PageRecord(int key, std::int32_t page, std::int32_t leftmost, std::int32_t reference,
                 std::int32_t child, int length = 8) {
    return Concat({Le16(1),
                   Le16(key),
                   Le16(0),
                   Le32(reference),
                   Le32(child),
                   {static_cast<unsigned char>(length)},
                   Text8("      42"),
                   Le32(page),
                   Le32(leftmost)});
}
Bytes KeyImage(std::int32_t firstFree, std::int32_t freeCount, std::int32_t allocated, std::int32_t pageSize,
               std::int32_t root, std::int32_t entries) {
    return Concat({Le32(firstFree),
                   Le32(freeCount),
                   Le32(allocated),
                   Le32(pageSize),
                   Le32(root),
                   {0, 0},
                   Le32(entries),
                   Le16(62)});
}
Bytes DataImage(std::int32_t firstFree, std::int32_t freeCount, std::int32_t allocated, std::int32_t length,
                int keys = 2) {
    return Concat({Le32(firstFree), Le32(freeCount), Le32(allocated), Le32(length), Le32(keys), Bytes(8, 0)});
}
Bytes HeaderRecord(int index, const Bytes& image, std::int32_t link = -2) {
    return Concat({Le16(1000), Le16(index), image, Le32(link)});
}
// How a free journals the first 4 bytes of the record it frees: the data header as the free
// leaves it (the record first on the chain), with those bytes as the slot's chain link.
Bytes RecordWord(std::int32_t record, const std::string& word, std::int32_t firstFree = -1,
                 std::int32_t freeCount = 0) {
    const Bytes bytes = Text8(word);
    const std::int32_t link = static_cast<std::int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                                        static_cast<std::uint32_t>(bytes[3]) << 24);
    return Concat({HeaderRecord(0, DataImage(record, freeCount + 1, 3, 464), link),
                   HeaderRecord(0, DataImage(firstFree, freeCount, 3, 464))});
}
// The image of a whole record as it was before a rewrite.
Bytes RecordImage(std::int32_t record, unsigned char fill, std::size_t length = 464) {
    return Concat({Le16(3000), Le16(0), Le32(record), Bytes(length, fill)});
}
const Bytes kEnd = Le16(2000);
Bytes WithoutTag(const Bytes& record) {
    return Bytes(record.begin() + 2, record.end());
}
Bytes Cut(Bytes bytes, std::size_t length) {
    bytes.resize(length);
    return bytes;
}

class Journal : public ::testing::Test {
protected:
    // Three records, their numbers in key 1 (one leaf, page 1); key 2 empty.
    void SetUp() override {
        FbCreate(dat, 464, 2, test::Keys({{8, false}, {8, true}}));
        Open();
        for (int n = 1; n <= 3; ++n) {
            std::int32_t record = 0;
            FbAppendRecord(fb, record, test::RecordBytes(464, 'a', n));
            FbInsertKey(fb, 1, record, "       " + std::to_string(n));
        }
        Close();
    }
    void TearDown() override {
        if (fb) FbClose(fb);
    }
    void Open(bool saveMode = false) { FbOpen(fb, dat, false, false, saveMode, false); }
    void Close() {
        FbClose(fb);
        ASSERT_TRUE(FbOk) << FbErrorCode;
    }
    // The process is gone: nothing more is written.
    void Abandon() {
        storage::FileblockOf(fb)->damaged = true;
        FbClose(fb);
    }

    test::TempFolder folder;
    test::StorageSession session;
    std::string dat = folder.File("zelp.DAT");
    std::string ix = folder.File("zelp.IX");
    std::string dia = folder.File("zelp.DIA");
    Fileblock* fb = nullptr;
};

TEST_F(Journal, AJournalFoundAtOpenIsReplayedAndRemoved) {
    struct Row {
        const char* name;
        Bytes journal;
        std::size_t at; // where the replay leaves `expect`
        bool inIndex;
        Bytes expect;
    };
    const Row rows[] = {
        {"a page record and no end tag", PageRecord(1, 1, 0, 42, 0), kRow, true,
         Concat({Le16(1), Le32(0), Le32(42), Le32(0), {8}, Text8("      42")})},
        {"a key header whose page was taken from the free chain",
         Concat({HeaderRecord(1, KeyImage(1, 1, 1, 1060, 0, 0), -1), kEnd}), 0, true,
         KeyImage(1, 1, 1, 1060, 0, 0)},
        {"the slot gets its chain link back before the header",
         HeaderRecord(1, KeyImage(1, 1, 1, 1060, 0, 0), -1), kRow, true, Le32(-1)},
        {"a data header whose record was taken from the free chain",
         Concat({HeaderRecord(0, DataImage(2, 1, 3, 464), -1), kEnd}), 0, false,
         Concat({Le32(2), Le32(1), Le32(3), Le32(464), Le32(2), {0}})},
        {"a record's first word", Concat({RecordWord(1, "WXYZ"), kEnd}), 464, false, Text8("WXYZ")},
        {"a live record's first word of 0", Concat({RecordWord(2, std::string(4, '\0')), kEnd}), 2 * 464,
         false, Bytes(4, 0)},
        {"the header after the word", Concat({RecordWord(1, "WXYZ"), kEnd}), 0, false,
         Concat({Le32(-1), Le32(0), Le32(3), Le32(464), Le32(2), {0}})},
        {"a rewritten record's image", Concat({RecordImage(2, 'Q'), kEnd}), 2 * 464, false, Bytes(464, 'Q')},
        {"records after a cut one are not read",
         Concat({RecordWord(1, "WXYZ"), Cut(PageRecord(1, 1, 0, 42, 0), 9)}), 464, false, Text8("WXYZ")},
        {"a first batch never joined in: its first tag is still 0",
         Concat({Le16(0), WithoutTag(PageRecord(1, 1, 0, 42, 0)), kEnd}), kRow, true, Le16(3)},
    };
    for (const Row& row : rows) {
        SetUp();
        test::WriteWholeFile(dia, Concat({{0}, row.journal}));
        {
            test::FaultyFileOps files;
            Open();
            ASSERT_TRUE(FbOk) << row.name << " " << FbErrorCode;
            // What the replay wrote is on the disk before the journal is gone.
            Abandon();
            files.DropUnflushedWrites();
        }
        EXPECT_FALSE(FileExists(dia)) << row.name;
        EXPECT_EQ(test::BytesAt(row.inIndex ? ix : dat, row.at, row.expect.size()), row.expect) << row.name;
        Open();
        EXPECT_TRUE(FbOk) << row.name << " " << FbErrorCode;
        Close();
    }
    // The freed page and record are handed out again.
    SetUp();
    test::WriteWholeFile(dia, Concat({{0},
                                      HeaderRecord(1, KeyImage(1, 1, 1, 1060, 0, 0), -1),
                                      HeaderRecord(0, DataImage(2, 1, 3, 464), -1),
                                      kEnd}));
    Open();
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(FbLiveRecordCount(fb), 2);
    std::int32_t record = 0;
    FbAppendRecord(fb, record, test::RecordBytes(464, 'b'));
    EXPECT_EQ(record, 2);
    FbInsertKey(fb, 1, 2, "       2");
    Close();
    EXPECT_EQ(test::BytesAt(ix, 16, 4), Le32(1)) << "the root is the page from the chain";
}

TEST_F(Journal, ARecordThatCannotBeOneOfThisFileblocksIsARepairThatFailed) {
    struct Row {
        const char* name;
        Bytes record;
    };
    const Row rows[] = {
        {"page of key 0", PageRecord(0, 1, 0, 42, 0)},
        {"page of key 3", PageRecord(3, 1, 0, 42, 0)},
        {"page 0", PageRecord(1, 0, 0, 42, 0)},
        {"a page a terabyte away", PageRecord(1, 500000000, 0, 42, 0)},
        {"a child outside the file", PageRecord(1, 1, 500, 42, 500)},
        {"a text longer than the key", PageRecord(1, 1, 0, 42, 0, 9)},
        {"leaf and inner children mixed", PageRecord(1, 1, 0, 42, 1)},
        {"header of key 3", HeaderRecord(3, KeyImage(-1, 0, 1, 1060, 1, 3))},
        {"another page size", HeaderRecord(1, KeyImage(-1, 0, 1, 1000, 1, 3))},
        {"pages past the file", HeaderRecord(1, KeyImage(-1, 0, 500, 1060, 1, 3))},
        {"root past the pages", HeaderRecord(1, KeyImage(-1, 0, 1, 1060, 2, 3))},
        {"entries without a root", HeaderRecord(1, KeyImage(-1, 0, 1, 1060, 0, 3))},
        {"free count without a chain", HeaderRecord(1, KeyImage(-1, 1, 1, 1060, 1, 3))},
        {"a chain link without a free slot", HeaderRecord(1, KeyImage(-1, 0, 1, 1060, 1, 3), 1)},
        {"a chain link to itself", HeaderRecord(1, KeyImage(1, 1, 1, 1060, 0, 0), 1)},
        {"another record length", HeaderRecord(0, DataImage(-1, 0, 3, 400))},
        {"another number of keys", HeaderRecord(0, DataImage(-1, 0, 3, 464, 1))},
        {"records past the file", HeaderRecord(0, DataImage(-1, 0, 1000, 464))},
        // Another data file's journals, the file's header (3 records, none free) no state of theirs.
        {"an append two records short of the file's", HeaderRecord(0, DataImage(-1, 0, 1, 464))},
        {"a free from a chain the file does not have",
         Concat({HeaderRecord(0, DataImage(2, 2, 3, 464), 0), HeaderRecord(0, DataImage(1, 1, 3, 464))})},
        {"a rewrite of a file of one record less",
         Concat({HeaderRecord(0, DataImage(-1, 0, 2, 464)), RecordImage(2, 'Q')})},
        {"word of record 0", RecordWord(0, "WXYZ")},
        {"word past the records", RecordWord(4, "WXYZ")},
        {"image of record 0", RecordImage(0, 'Q')},
        {"image past the records", RecordImage(4, 'Q')},
        {"a record image cut short", Cut(RecordImage(3, 'Q'), 100)},
        {"a record image longer than the records", RecordImage(3, 'Q', 466)},
        {"tag 0 after a record", Concat({HeaderRecord(0, DataImage(-1, 0, 3, 464)), Le16(0)})},
        {"tag 1001", Concat({Le16(1001), Le16(0), Le32(1), Text8("WXYZ")})},
        {"tag 5000", Le16(5000)},
    };
    const Bytes dataBefore = test::ReadWholeFile(dat);
    const Bytes indexBefore = test::ReadWholeFile(ix);
    for (const Row& row : rows) {
        const Bytes journal = Concat({{0}, row.record, kEnd});
        test::WriteWholeFile(dia, journal);
        Open();
        EXPECT_EQ(FbErrorCode, fberr::kRepairFailed) << row.name;
        EXPECT_EQ(fb, nullptr) << row.name;
        EXPECT_EQ(test::ReadWholeFile(dia), journal) << row.name << ": kept for another try";
        EXPECT_EQ(test::ReadWholeFile(dat), dataBefore) << row.name;
        EXPECT_EQ(test::ReadWholeFile(ix), indexBefore) << row.name;
        if (fb) Close();
    }
}

// A rewrite of record 2 cut by a crash (its first 200 bytes new) leaves the record's old
// bytes in the journal. A record length in the data header that is not the file's must not
// steer the replay: the open fails and writes nothing, and once the header is put right the
// journal brings the record back whole.
TEST_F(Journal, ARecordLengthThatIsNotTheFilesNeverSteersTheReplay) {
    struct Row {
        std::int32_t length;
        std::int32_t code;
    };
    const Row rows[] = {
        {0, fberr::kFileDefect},     {-1, fberr::kFileDefect},    {-464, fberr::kFileDefect},
        {8, fberr::kFileDefect},     {21, fberr::kFileDefect},    {465, fberr::kRepairFailed},
        {928, fberr::kRepairFailed}, {462, fberr::kRepairFailed}, {466, fberr::kRepairFailed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        SetUp();
        const Bytes old = test::BytesAt(dat, 2 * 464, 464);
        test::PatchFile(dat, 2 * 464, Bytes(200, 'N'));
        test::PatchFile(dat, 12, Le32(row.length));
        const Bytes journal = Concat({{0}, Concat({Le16(3000), Le16(0), Le32(2), old}), kEnd});
        test::WriteWholeFile(dia, journal);
        const Bytes data = test::ReadWholeFile(dat);
        for (bool saveMode : {true, false}) {
            Open(saveMode);
            EXPECT_EQ(FbErrorCode, row.code);
            EXPECT_EQ(fb, nullptr);
            EXPECT_EQ(test::ReadWholeFile(dat), data);
            EXPECT_EQ(test::ReadWholeFile(dia), journal);
        }
        test::PatchFile(dat, 12, Le32(464));
        Open(true);
        ASSERT_TRUE(FbOk) << FbErrorCode;
        Bytes record(464);
        FbReadRecord(fb, 2, record);
        EXPECT_EQ(record, old);
        Close();
    }
}

TEST_F(Journal, EachPageIsJournaledOnceHoweverManyAChangeTouches) {
    Open(true);
    ASSERT_TRUE(FbOk);
    storage::PageBufferNode* node = storage::FetchPage(*storage::FileblockOf(fb), 1, 1);
    ASSERT_NE(node, nullptr);
    storage::BeginJournalStep(*storage::FileblockOf(fb));
    const storage::PageBufferNode original = *node;
    // 126 records of a page of 3 items end the batch at 1 + 126 * 65 = 8191, the last byte of
    // a sector: the batch repeats a record to end elsewhere.
    const std::size_t pageRecord = 6 + 3 * 17 + 8;
    for (int round = 0; round < 2; ++round) {
        for (std::int32_t page = 1; page <= 126; ++page) {
            node->page = page;
            storage::JournalPage(*storage::FileblockOf(fb), *node);
        }
    }
    EXPECT_EQ(storage::FileblockOf(fb)->journal.pending.size(), 126 * pageRecord);
    storage::FlushJournal(*storage::FileblockOf(fb));
    ASSERT_TRUE(FbOk);
    EXPECT_EQ(storage::FileblockOf(fb)->journal.end, static_cast<std::int64_t>(1 + 127 * pageRecord));
    EXPECT_EQ(test::BytesAt(dia, 1 + 126 * pageRecord, pageRecord), test::BytesAt(dia, 1, pageRecord));
    storage::BeginJournalStep(*storage::FileblockOf(fb));
    storage::ResetDialog(*storage::FileblockOf(fb));
    *node = original;
    node->journaled = false;
    Close();
}

TEST_F(Journal, FlushingOneFileblocksJournalKeepsTheOthersMarks) {
    const std::string other = folder.File("other.DAT");
    FbCreate(other, 464, 1, test::Keys({{8, false}}));
    Fileblock* second = nullptr;
    FbOpen(second, other, false, false, true, false);
    FbInsertKey(second, 1, 1, "       1");
    Open(true);
    ASSERT_TRUE(FbOk);
    storage::PageBufferNode* mine = storage::FetchPage(*storage::FileblockOf(fb), 1, 1);
    storage::PageBufferNode* theirs = storage::FetchPage(*storage::FileblockOf(second), 1, 1);
    ASSERT_TRUE(mine && theirs);
    storage::BeginJournalStep(*storage::FileblockOf(fb));
    storage::BeginJournalStep(*storage::FileblockOf(second));
    storage::JournalPage(*storage::FileblockOf(fb), *mine);
    storage::JournalPage(*storage::FileblockOf(second), *theirs);
    storage::FlushJournal(*storage::FileblockOf(fb));
    ASSERT_TRUE(FbOk);
    EXPECT_FALSE(mine->journaled);
    EXPECT_TRUE(theirs->journaled) << "its before-image is not on the disk yet";
    storage::ResetDialog(*storage::FileblockOf(fb));
    storage::ResetDialog(*storage::FileblockOf(second));
    EXPECT_FALSE(theirs->journaled);
    Close();
    FbClose(second);
}

TEST_F(Journal, ARepairThatFailsLeavesTheJournalForTheNextOpen) {
    Open(true);
    ASSERT_TRUE(FbOk);
    {
        test::FaultyFileOps files;
        // The change's pages cannot be written, nor can the replay put them back.
        files.FailAll(FileCall::Write, platform::win32::kIoDevice, ".IX");
        FbInsertKey(fb, 2, 1, "       9");
        EXPECT_EQ(FbErrorCode, fberr::kRepairFailed);
        files.Clear();
        FbInsertKey(fb, 2, 2, "       9");
        EXPECT_EQ(FbErrorCode, fberr::kReadOnlyFileblock) << "no more changes";
        std::int32_t reference = 0;
        FbFindKey(fb, 1, reference, "       2");
        EXPECT_EQ(reference, 2) << "reading goes on";
        Close();
    }
    EXPECT_GT(test::ReadWholeFile(dia).size(), 3u);
    Open();
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_FALSE(FileExists(dia));
    std::int32_t reference = 0;
    FbFindKey(fb, 2, reference, "       9");
    EXPECT_EQ(FbErrorCode, fberr::kNoMatchingKey);
    Close();
}

TEST_F(Journal, TheFolderReachesTheDiskWhenTheDialogFileComesAndGoes) {
    test::FaultyFileOps files;
    int before = files.Count(FileCall::FlushFolder);
    Open(true);
    EXPECT_EQ(files.Count(FileCall::FlushFolder), before + 1) << "created";
    Close();
    before = files.Count(FileCall::FlushFolder);
    Open();
    EXPECT_EQ(files.Count(FileCall::FlushFolder), before + 1) << "deleted";
    EXPECT_FALSE(FileExists(dia));
    Close();
}

TEST_F(Journal, RepairRefusesAReadOnlyFileblock) {
    FbOpen(fb, dat, true, false, false, false);
    ASSERT_TRUE(FbOk);
    storage::RepairFileblock(*storage::FileblockOf(fb));
    EXPECT_EQ(FbErrorCode, fberr::kNoRepairReadOnly);
    Close();
}

} // namespace

namespace {

TEST_F(Journal, AJournalEmptiedBySaveModeLetsAReadOnlyOpenIn) {
    Open(true);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    FbInsertKey(fb, 1, 4, "       4");
    ASSERT_TRUE(FbOk) << FbErrorCode;
    Close();
    ASSERT_TRUE(FileExists(dia)) << "save mode keeps its dialog file";
    FbOpen(fb, dat, true, false, false, false);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    std::int32_t reference = 0;
    FbFindKey(fb, 1, reference, "       4");
    EXPECT_EQ(reference, 4);
    Close();
    EXPECT_TRUE(FileExists(dia)) << "a read-only open deletes nothing";
}

} // namespace

namespace {

// The tags of a journal, walked record by record as a replay reads them.
std::vector<int> TagsOf(const Bytes& journal, int keyLength) {
    std::vector<int> tags;
    for (std::size_t at = 1; at + 2 <= journal.size();) {
        const int tag = journal[at] | journal[at + 1] << 8;
        tags.push_back(tag);
        if (tag == 2000) break;
        at += tag == 1000 ? 36 : 6 + static_cast<std::size_t>(tag) * (keyLength + 9) + 8;
    }
    return tags;
}

TEST_F(Journal, AFreeCutAtEveryByteOfTheDialogFileLeavesTheStateBeforeOrAfterIt) {
    const std::map<std::string, Bytes> before = {
        {dat, test::ReadWholeFile(dat)}, {ix, test::ReadWholeFile(ix)}, {dia, Bytes{0}}};
    test::WriteWholeFile(dia, Bytes{0});
    std::vector<test::FileCallLog::Entry> entries;
    {
        test::FileCallLog log;
        Open(true);
        ASSERT_TRUE(FbOk);
        log.entries.clear();
        FbFreeRecord(fb, 2);
        ASSERT_TRUE(FbOk) << FbErrorCode;
        entries = log.entries;
        Abandon();
    }
    EXPECT_EQ(test::ReadWholeFile(dia), Bytes{0}) << "at rest after the free";

    std::size_t states = 0;
    bool journalSeen = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].kind == test::FileCallLog::Kind::Flush) continue;
        const bool dialog = entries[i].path == dia;
        // A cut splits a write of the dialog file anywhere but inside the tag it begins with:
        // two bytes within one sector reach the disk together.
        const std::size_t size = entries[i].bytes.size();
        std::vector<std::size_t> cuts = {0};
        for (std::size_t c = dialog ? 2 : size; c <= size; ++c)
            cuts.push_back(c);
        for (std::size_t c : cuts) {
            std::map<std::string, Bytes> files = before;
            for (std::size_t j = 0; j < i; ++j)
                test::ApplyEntry(files[entries[j].path], entries[j], entries[j].bytes.size());
            test::ApplyEntry(files[entries[i].path], entries[i], c);
            if (files[dia].size() > 3 && files[dia][1] == 0xE8 && files[dia][2] == 0x03) {
                journalSeen = true;
                for (int tag : TagsOf(files[dia], 8))
                    EXPECT_TRUE(tag == 1000 || tag == 2000 || (tag >= 1 && tag <= 62)) << tag;
            }
            for (const auto& [path, bytes] : files)
                test::WriteWholeFile(path, bytes);
            SCOPED_TRACE("write " + std::to_string(i) + " cut at " + std::to_string(c));
            ++states;
            Open();
            ASSERT_TRUE(FbOk) << FbErrorCode;
            const std::int32_t live = FbLiveRecordCount(fb);
            ASSERT_TRUE(live == 3 || live == 2) << live;
            for (std::int32_t n = 1; n <= 3; ++n) {
                if (n == 2 && live == 2) continue;
                Bytes record(464);
                FbReadRecord(fb, n, record);
                EXPECT_EQ(record, test::RecordBytes(464, 'a', n)) << n;
            }
            if (live == 2) {
                std::int32_t n = 0;
                FbAppendRecord(fb, n, test::RecordBytes(464, 'b'));
                EXPECT_EQ(n, 2) << "record 2 heads the chain";
            }
            Close();
        }
    }
    EXPECT_TRUE(journalSeen);
    EXPECT_GT(states, 20u);
}

} // namespace
