// FbReindex against data files written as bytes at offsets: the keys, the free chain, the
// header and the dialog file it leaves; its refusals, which change nothing; files it never
// writes through; and failures part-way, after which the records are all still there.
#include "CrashDisk.h"
#include "FaultyFileOps.h"
#include "StorageSession.h"
#include "TempFolder.h"

#include "storage/Storage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using test::Concat;
using test::FileCall;
using test::Le32;
using test::ReadWholeFile;

constexpr std::int32_t kLength = 32;
constexpr std::size_t kGroupAt = 5; // a live record's group: the text of its key 2 entry

// A record: chain word 0 (live) or the stale link of a freed record, a group letter, filler.
Bytes Record(std::int32_t chainWord, char group) {
    Bytes bytes(kLength, 0x5A);
    const Bytes word = Le32(chainWord);
    std::copy(word.begin(), word.end(), bytes.begin());
    bytes[4] = 0;
    bytes[kGroupAt] = static_cast<unsigned char>(group);
    return bytes;
}

Bytes Header(std::int32_t firstFree, std::int32_t freeCount, std::int32_t allocated,
             std::int32_t recordLength, std::uint8_t keys, std::uint8_t inUse) {
    Bytes header = Concat({Le32(firstFree), Le32(freeCount), Le32(allocated), Le32(recordLength),
                           Bytes{keys, 0, 0, 0}, Bytes{inUse}});
    header.resize(kLength, 0);
    return header;
}

// Live: chain word 0; key 1 the record number, key 2 its group.
class GroupPlan : public FbReindexPlan {
public:
    void Examine(std::int32_t record, std::span<const unsigned char> bytes) override {
        examined.push_back(record);
        (void)bytes;
    }
    std::vector<Bytes> Additions(std::int32_t first) override {
        firstAdded = first;
        return additions;
    }
    bool Entries(std::int32_t record, std::span<unsigned char> bytes,
                 std::vector<std::string>& keys) override {
        if (bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 0 || bytes[3] != 0) return false;
        if (change) change(record, bytes);
        keys = {keyOne ? keyOne(record) : "r" + std::to_string(record),
                std::string(1, static_cast<char>(bytes[kGroupAt]))};
        return true;
    }

    std::vector<std::int32_t> examined;
    std::int32_t firstAdded = 0;
    std::vector<Bytes> additions;
    std::function<void(std::int32_t, std::span<unsigned char>)> change;
    std::function<std::string(std::int32_t)> keyOne;
};

class Reindex : public ::testing::Test {
public:
    // Records 1..6: 1 a, 2 freed, 3 b, 4 a, 5 freed, 6 b; the header stale and in use, the
    // index garbage, the dialog file a journal of an index page (of the old index: it never
    // reaches the new one).
    void WriteFiles() {
        Bytes data = Header(2, 9, 3, kLength, 2, 1);
        for (const Bytes& record : {Record(0, 'a'), Record(5, '?'), Record(0, 'b'), Record(0, 'a'),
                                    Record(-1, '?'), Record(0, 'b')})
            data.insert(data.end(), record.begin(), record.end());
        Write(dat, data);
        Write(ix, Bytes(100, 0xC3));
        Write(dia, Concat({Bytes{0}, Bytes{1, 0}, Bytes{1, 0}, Bytes(25, 0x77)}));
    }
    static void Write(const std::string& path, const Bytes& bytes) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    void Run(GroupPlan& plan) {
        FbReindex(dat, kLength, 2, test::Keys({{8, false}, {8, true}}), plan, counts);
    }
    std::map<std::string, Bytes> Files() const {
        std::map<std::string, Bytes> files;
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            files[entry.path().filename().string()] =
                entry.is_regular_file() ? ReadWholeFile(entry.path().string()) : Bytes{};
        return files;
    }
    // Every (text, reference) of a key of the open Fileblock.
    std::vector<std::pair<std::string, std::int32_t>> Walk(Fileblock* fb, std::uint16_t key) {
        std::vector<std::pair<std::string, std::int32_t>> entries;
        FbRewindKey(fb, key);
        for (;;) {
            std::int32_t reference = 0;
            std::string text;
            FbStepKey(fb, key, reference, text);
            if (!FbOk) break;
            entries.emplace_back(text, reference);
        }
        return entries;
    }

    test::TempFolder folder;
    test::StorageSession session;
    std::string dat = folder.File("zelp.DAT");
    std::string ix = folder.File("zelp.IX");
    std::string dia = folder.File("zelp.DIA");
    TReindexCounts counts;
};

using Entries = std::vector<std::pair<std::string, std::int32_t>>;

TEST_F(Reindex, WritesTheKeysTheFreeChainAndTheHeaderLastAndEmptiesTheDialog) {
    WriteFiles();
    const Bytes before = ReadWholeFile(dat);
    GroupPlan plan;
    Run(plan);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(plan.examined, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(plan.firstAdded, 7);
    EXPECT_EQ(counts.records, 6);
    EXPECT_EQ(counts.live, 4);
    EXPECT_EQ(counts.free, 2);

    const Bytes after = ReadWholeFile(dat);
    ASSERT_EQ(after.size(), before.size());
    Bytes header = Header(2, 2, 6, kLength, 2, 0);
    header.resize(21);
    EXPECT_EQ(test::BytesAt(dat, 0, 21), header);
    EXPECT_EQ(test::BytesAt(dat, 2 * kLength, 4), Le32(5));
    EXPECT_EQ(test::BytesAt(dat, 5 * kLength, 4), Le32(-1));
    for (int record : {1, 3, 4, 6}) // live records are as they were
        EXPECT_EQ(test::BytesAt(dat, record * kLength, kLength),
                  Bytes(before.begin() + record * kLength, before.begin() + (record + 1) * kLength));
    EXPECT_EQ(ReadWholeFile(dia), Bytes{0});
    EXPECT_EQ(ReadWholeFile(ix).size() % (2 * (62 * 8 + 564)), 0u);

    Fileblock* fb = nullptr;
    FbOpen(fb, dat, false, false, true, false);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(Walk(fb, 1), (Entries{{"r1", 1}, {"r3", 3}, {"r4", 4}, {"r6", 6}}));
    EXPECT_EQ(Walk(fb, 2), (Entries{{"a", 1}, {"a", 4}, {"b", 3}, {"b", 6}}));
    EXPECT_EQ(FbLiveRecordCount(fb), 4);
    std::int32_t n = 0;
    FbAppendRecord(fb, n, Record(0, 'c'));
    EXPECT_EQ(n, 2); // from the rebuilt chain
    FbClose(fb);
    EXPECT_TRUE(FbOk);
}

TEST_F(Reindex, ManyRecordsMakeTreesOfSeveralLevels) {
    constexpr int kRecords = 5000;
    Bytes data = Header(-1, 0, kRecords, kLength, 2, 1);
    for (int i = 1; i <= kRecords; ++i) {
        const Bytes record = Record(i % 7 == 0 ? -1 : 0, static_cast<char>('a' + i % 3));
        data.insert(data.end(), record.begin(), record.end());
    }
    Write(dat, data);
    GroupPlan plan;
    plan.keyOne = [](std::int32_t record) {
        std::string text = std::to_string(record);
        return std::string(8 - text.size(), ' ') + text;
    };
    Run(plan);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    Fileblock* fb = nullptr;
    FbOpen(fb, dat, false, false, false, false);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    const Entries one = Walk(fb, 1), two = Walk(fb, 2);
    const std::size_t live = kRecords - kRecords / 7;
    ASSERT_EQ(one.size(), live);
    ASSERT_EQ(two.size(), live);
    for (std::size_t i = 1; i < one.size(); ++i)
        EXPECT_LT(one[i - 1].second, one[i].second);
    for (std::size_t i = 1; i < two.size(); ++i)
        EXPECT_LE(two[i - 1], two[i]);
    FbClose(fb);
}

TEST_F(Reindex, AdditionsAndChangedRecordsAreWrittenAndIndexed) {
    WriteFiles();
    GroupPlan plan;
    plan.additions = {Record(0, 'z')};
    plan.change = [](std::int32_t record, std::span<unsigned char> bytes) {
        if (record == 4) bytes[kGroupAt] = 'z';
    };
    Run(plan);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(counts.records, 7);
    EXPECT_EQ(test::BytesAt(dat, 7 * kLength, kLength), Record(0, 'z'));
    EXPECT_EQ(test::BytesAt(dat, 4 * kLength + kGroupAt, 1), Bytes{'z'});
    EXPECT_EQ(test::BytesAt(dat, 8, 4), Le32(7));
    Fileblock* fb = nullptr;
    FbOpen(fb, dat, false, false, false, false);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(Walk(fb, 2), (Entries{{"a", 1}, {"b", 3}, {"b", 6}, {"z", 4}, {"z", 7}}));
    FbClose(fb);
}

TEST_F(Reindex, ADamagedRecordLengthIsTakenForTheCallersWhenTheSizeFits) {
    WriteFiles();
    test::PatchFile(dat, 12, Le32(30));
    GroupPlan plan;
    Run(plan);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(test::BytesAt(dat, 12, 4), Le32(kLength));
    EXPECT_EQ(counts.live, 4);
}

TEST_F(Reindex, ADataFileItCannotReadAsThoseRecordsIsRefusedAndNothingChanges) {
    struct Case {
        const char* name;
        std::function<void(Reindex&)> damage;
        std::function<void(GroupPlan&)> plan;
    };
    const std::vector<Case> cases = {
        {"other number of keys", [](Reindex& t) { test::PatchFile(t.dat, 16, Bytes{3}); }, nullptr},
        {"other record length, the size not a multiple",
         [](Reindex& t) {
             test::PatchFile(t.dat, 12, Le32(30));
             test::PatchFile(t.dat, 7 * kLength, Bytes(5, 1));
         },
         nullptr},
        {"shorter than one record", [](Reindex& t) { fs::resize_file(t.dat, 20); }, nullptr},
        {"one text twice in a key without duplicates", nullptr,
         [](GroupPlan& plan) { plan.keyOne = [](std::int32_t) { return std::string("same"); }; }},
        {"an addition of another length", nullptr, [](GroupPlan& plan) { plan.additions = {Bytes(5, 0)}; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFiles();
        if (c.damage) c.damage(*this);
        const auto before = Files();
        GroupPlan plan;
        if (c.plan) c.plan(plan);
        Run(plan);
        EXPECT_FALSE(FbOk);
        EXPECT_EQ(FbErrorCode, fberr::kReindexFailed);
        EXPECT_EQ(Files(), before);
    }
}

TEST_F(Reindex, AFileThatIsNotAPlainReadWriteFileIsRefusedAndKept) {
    struct Case {
        const char* name;
        std::function<void(Reindex&)> make;
    };
    const std::vector<Case> cases = {
        {"index a pipe", [](Reindex& t) { fs::remove(t.ix), ::mkfifo(t.ix.c_str(), 0600); }},
        {"index a folder", [](Reindex& t) { fs::remove(t.ix), fs::create_directory(t.ix); }},
        {"index a link to a device",
         [](Reindex& t) { fs::remove(t.ix), fs::create_symlink("/dev/zero", t.ix); }},
        {"dialog read-only", [](Reindex& t) { fs::permissions(t.dia, fs::perms::owner_read); }},
        {"data a link to nothing",
         [](Reindex& t) { fs::remove(t.dat), fs::create_symlink(t.folder.File("gone.DAT"), t.dat); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& path : {dat, ix, dia}) {
            std::error_code ignored;
            if (fs::symlink_status(path).type() == fs::file_type::regular)
                fs::permissions(path, fs::perms::owner_all, ignored);
            fs::remove_all(path, ignored);
        }
        WriteFiles();
        c.make(*this);
        const auto before = Files();
        const auto indexType = fs::symlink_status(ix).type();
        GroupPlan plan;
        Run(plan);
        EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
        EXPECT_EQ(Files(), before);
        EXPECT_EQ(fs::symlink_status(ix).type(), indexType);
    }
}

TEST_F(Reindex, NeverWritesThroughALinkPlantedAtItsNewFiles) {
    WriteFiles();
    const std::string victim = folder.File("victim");
    Write(victim, Bytes{1, 2, 3});
    fs::create_symlink(victim, ix + ".rebuild");
    fs::create_symlink(victim, dia + ".rebuild");
    GroupPlan plan;
    Run(plan);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(ReadWholeFile(victim), (Bytes{1, 2, 3}));
    for (const std::string& path : {ix, dia})
        EXPECT_EQ(fs::symlink_status(path).type(), fs::file_type::regular) << path;
    EXPECT_TRUE(fs::is_symlink(ix + ".rebuild"));
    EXPECT_EQ(ReadWholeFile(dia), Bytes{0});
}

TEST_F(Reindex, AFailureBeforeTheFilesChangeLeavesThemAndNoNewFile) {
    for (const char* suffix : {".IX.rebuild", ".DIA.rebuild"}) {
        SCOPED_TRACE(suffix);
        WriteFiles();
        const auto before = Files();
        {
            test::FaultyFileOps files;
            files.FailAll(FileCall::Write, platform::win32::kDiskFull, suffix);
            GroupPlan plan;
            Run(plan);
        }
        EXPECT_FALSE(FbOk);
        EXPECT_EQ(Files(), before);
    }
}

TEST_F(Reindex, AFailureAfterTheFilesChangedLeavesTheFileInUseAndTheNextReindexFinishes) {
    WriteFiles();
    const Bytes before = ReadWholeFile(dat);
    {
        test::FaultyFileOps files;
        // The in-use mark, two chain words, then the header.
        files.FailNth(FileCall::Write, 4, platform::win32::kDiskFull, "/zelp.DAT");
        GroupPlan plan;
        Run(plan);
    }
    EXPECT_FALSE(FbOk);
    EXPECT_EQ(test::BytesAt(dat, 20, 1), Bytes{1});
    for (int record : {1, 3, 4, 6})
        EXPECT_EQ(test::BytesAt(dat, record * kLength, kLength),
                  Bytes(before.begin() + record * kLength, before.begin() + (record + 1) * kLength));
    Fileblock* fb = nullptr;
    FbOpen(fb, dat, false, false, true, false);
    EXPECT_EQ(FbErrorCode, fberr::kFileDefect);

    GroupPlan again;
    Run(again);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(counts.live, 4);
    FbOpen(fb, dat, false, false, true, false);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(Walk(fb, 2).size(), 4u);
    FbClose(fb);
}

// A crash or a power loss at every step: the Fileblock opens with every live record keyed, or
// is refused as in use and the next reindex finishes; the live records are never touched.
TEST_F(Reindex, ACrashAtAnyStepLeavesTheFileToOpenWholeOrToReindexAgain) {
    const Entries expected = {{"a", 1}, {"a", 4}, {"b", 3}, {"b", 6}};
    std::mt19937 rng(11);
    for (const auto& [powerLoss, inUse] :
         std::vector<std::pair<bool, unsigned char>>{{false, 1}, {true, 1}, {false, 0}, {true, 0}}) {
        int finished = 0;
        for (int step = 0; finished < 2; ++step) {
            SCOPED_TRACE((powerLoss ? "power loss at step " : "crash at step ") + std::to_string(step) +
                         ", in use " + std::to_string(inUse));
            for (const auto& entry : fs::directory_iterator(folder.Path()))
                fs::remove(entry.path());
            WriteFiles();
            test::PatchFile(dat, 20, {inUse}); // a clean data file beside a damaged index too
            const Bytes before = ReadWholeFile(dat);
            bool completed = false;
            {
                test::CrashDisk disk;
                disk.StopAfter(step);
                GroupPlan plan;
                Run(plan);
                completed = FbOk;
                if (powerLoss) disk.LosePower(rng);
            }
            if (completed) ++finished;
            for (int record : {1, 3, 4, 6})
                EXPECT_EQ(test::BytesAt(dat, record * kLength, kLength),
                          Bytes(before.begin() + record * kLength, before.begin() + (record + 1) * kLength));
            Fileblock* fb = nullptr;
            FbOpen(fb, dat, false, false, true, false);
            if (!FbOk) {
                // Refused for its in-use mark, or for the old index it still has.
                EXPECT_TRUE(FbErrorCode == fberr::kFileDefect || FbErrorCode == fberr::kMaxPageSizeTooSmall)
                    << FbErrorCode;
                GroupPlan again;
                Run(again);
                ASSERT_TRUE(FbOk) << FbErrorCode;
                FbOpen(fb, dat, false, false, true, false);
            }
            ASSERT_TRUE(FbOk) << FbErrorCode;
            EXPECT_EQ(Walk(fb, 2), expected);
            EXPECT_EQ(FbLiveRecordCount(fb), 4);
            FbClose(fb);
        }
    }
}

Bytes Le16(int v) {
    return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
}

// A journal that a crash left beside a damaged index is put back into the data file before the
// records are read, at the reindex's record length whatever the header says: a record is wholly
// as it was. One the reindex cannot replay is refused, and left, unless the caller set it aside.
TEST_F(Reindex, AJournalLeftByACrashIsReplayedFirstOrRefused) {
    const Bytes recordThree = Record(0, 'b');
    const Bytes rewrite = Concat({Le16(3000), Le16(0), Le32(3), recordThree});
    // An append of record 7 undone: the header as it was, 6 records, the chain empty (an append
    // from the chain would have taken a free record, not added record 7).
    const Bytes append = Concat(
        {Le16(1000), Le16(0), Le32(-1), Le32(0), Le32(6), Le32(kLength), Le32(2), Bytes(8, 0), Le32(-2)});
    struct Row {
        const char* name;
        Bytes journal;
        std::int32_t headerLength;
        std::int32_t records; // afterwards; 0: refused
    };
    const Row rows[] = {
        {"a rewrite cut short", rewrite, kLength, 6},
        {"a rewrite cut short beside a record length of 0", rewrite, 0, 6},
        {"a rewrite cut short beside a record length of 64", rewrite, 64, 6},
        {"an append cut short", append, kLength, 6},
        {"a record image of random bytes", Concat({Le16(3000), Bytes(40, 0x9D)}), kLength, 0},
        {"an unknown tag", Concat({Le16(5000), Bytes(40, 0)}), kLength, 0},
        {"a record image cut short", Bytes(rewrite.begin(), rewrite.begin() + 20), kLength, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFiles();
        const bool appended = row.journal == append;
        Bytes data = ReadWholeFile(dat);
        if (!appended) std::fill_n(data.begin() + 3 * kLength, 10, 'N'); // record 3 torn
        const Bytes added = Record(0, 'z');
        data.insert(data.end(), added.begin(), added.end()); // record 7, of the append
        std::copy_n(Le32(row.headerLength).begin(), 4, data.begin() + 12);
        Write(dat, data);
        const Bytes journal = Concat({Bytes{0}, row.journal, Le16(2000)});
        Write(dia, journal);
        EXPECT_EQ(FbCheckJournal(dat, kLength, 2, test::Keys({{8, false}, {8, true}})),
                  row.records > 0 ? TLeftoverJournal::Replayable : TLeftoverJournal::Unusable);
        GroupPlan plan;
        Run(plan);
        if (row.records == 0) {
            EXPECT_EQ(FbErrorCode, fberr::kRepairFailed);
            EXPECT_EQ(ReadWholeFile(dat), data);
            EXPECT_EQ(ReadWholeFile(dia), journal);
            FbReindex(dat, kLength, 2, test::Keys({{8, false}, {8, true}}), plan, counts,
                      TLeftoverJournalUse::SetAside);
            ASSERT_TRUE(FbOk) << FbErrorCode;
            EXPECT_EQ(ReadWholeFile(dia), Bytes{0});
            continue;
        }
        ASSERT_TRUE(FbOk) << FbErrorCode;
        EXPECT_EQ(counts.records, appended ? 6 : 7);
        EXPECT_EQ(ReadWholeFile(dat).size(), static_cast<std::size_t>(counts.records + 1) * kLength);
        EXPECT_EQ(test::BytesAt(dat, 3 * kLength, kLength), recordThree);
        EXPECT_EQ(ReadWholeFile(dia), Bytes{0});
        Fileblock* fb = nullptr;
        FbOpen(fb, dat, false, false, true, false);
        ASSERT_TRUE(FbOk) << FbErrorCode;
        Entries groups{{"a", 1}, {"a", 4}, {"b", 3}, {"b", 6}};
        if (!appended) groups.push_back({"z", 7});
        EXPECT_EQ(Walk(fb, 2), groups);
        FbClose(fb);
    }
}

// A record partly written past the last whole one (a torn append) is cut off: the rebuilt file
// holds its records and no more, and opens.
TEST_F(Reindex, PartOfARecordPastTheLastIsCutOff) {
    WriteFiles();
    Bytes data = ReadWholeFile(dat);
    data.insert(data.end(), 10, 0);
    Write(dat, data);
    GroupPlan plan;
    Run(plan);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(ReadWholeFile(dat).size(), 7u * kLength);
    Fileblock* fb = nullptr;
    FbOpen(fb, dat, false, false, false, false);
    EXPECT_TRUE(FbOk) << FbErrorCode;
    if (fb) FbClose(fb);
}

// The names a rebuild left in the folder: its new files and its copies being written.
std::vector<std::string> Leftovers(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".rebuild") != std::string::npos)
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Reindex, RebuildsKilledAtTheIndexRenameLeaveNothingOnceOneEnds) {
    WriteFiles();
    for (int kill = 0; kill < 3; ++kill) {
        test::CrashDisk disk;
        disk.StopAtRenameTo("/zelp.IX");
        GroupPlan plan;
        Run(plan);
        EXPECT_FALSE(FbOk);
        EXPECT_EQ(Leftovers(folder.Path()),
                  (std::vector<std::string>{"zelp.DIA.rebuild", "zelp.IX.rebuild"}));
    }
    GroupPlan plan;
    Run(plan);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_TRUE(Leftovers(folder.Path()).empty());
}

TEST_F(Reindex, EveryNameTakenByItsOwnLeftoversStillLetsItEnd) {
    WriteFiles();
    for (const std::string& path : {ix, dia, dat})
        for (const std::string& name : FbRebuildNames(path))
            Write(name, Bytes{9});
    ASSERT_EQ(Leftovers(folder.Path()).size(), 300u);
    GroupPlan plan;
    Run(plan);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(counts.live, 4);
    EXPECT_TRUE(Leftovers(folder.Path()).empty());
    EXPECT_EQ(ReadWholeFile(dia), Bytes{0});
}

// Only a plain file of ours with one name that nobody holds is a leftover; the new file goes
// to the next free name past anything else.
TEST_F(Reindex, WhatIsNotProvablyItsLeftoverIsLeftAlone) {
    WriteFiles();
    const std::vector<std::string> names = FbRebuildNames(ix);
    const std::string victim = folder.File("victim");
    Write(victim, Bytes{1, 2, 3});
    fs::create_symlink(victim, names[0]);
    fs::create_hard_link(victim, names[1]);
    fs::create_directory(names[2]);
    Write(names[3], Bytes{4});
    platform::FileHandle held = -1;
    ASSERT_EQ(platform::Files().Open(names[3], platform::FileDisposition::OpenExisting,
                                     platform::FileAccess::ReadOnly, platform::FileSharing::Shared, held),
              0u);
    Write(names[4], Bytes{5}); // a leftover
    GroupPlan plan;
    Run(plan);
    platform::Files().Close(held);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    EXPECT_TRUE(fs::is_symlink(names[0]));
    EXPECT_EQ(fs::hard_link_count(names[1]), 2u);
    EXPECT_TRUE(fs::is_directory(names[2]));
    EXPECT_EQ(ReadWholeFile(names[3]), Bytes{4});
    EXPECT_FALSE(fs::exists(names[4]));
    EXPECT_EQ(ReadWholeFile(victim), (Bytes{1, 2, 3}));
    EXPECT_EQ(fs::symlink_status(ix).type(), fs::file_type::regular);
}

// Renamed over a link, the new file would take the link's place and leave its target old.
TEST_F(Reindex, AnIndexOrDialogFileThatIsALinkIsRefusedAndNothingChanges) {
    const test::TempFolder elsewhere;
    for (const bool dialog : {false, true}) {
        SCOPED_TRACE(dialog ? "dialog file" : "index file");
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            fs::remove(entry.path());
        WriteFiles();
        const std::string& name = dialog ? dia : ix;
        const std::string target = elsewhere.File(dialog ? "zelp.DIA" : "zelp.IX");
        fs::rename(name, target);
        fs::create_symlink(target, name);
        const auto before = Files();
        const Bytes targetBefore = ReadWholeFile(target);
        GroupPlan plan;
        Run(plan);
        EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
        EXPECT_EQ(Files(), before);
        EXPECT_TRUE(fs::is_symlink(name));
        EXPECT_EQ(ReadWholeFile(target), targetBefore);
        fs::remove(target);
    }
}

TEST_F(Reindex, AnOpenFileblockIsNotReindexed) {
    WriteFiles();
    GroupPlan plan;
    Run(plan);
    ASSERT_TRUE(FbOk);
    Fileblock* fb = nullptr;
    FbOpen(fb, dat, false, false, true, false);
    ASSERT_TRUE(FbOk);
    const Bytes index = ReadWholeFile(ix);
    Run(plan);
    EXPECT_EQ(FbErrorCode, fberr::kAccessNotPossible);
    EXPECT_EQ(ReadWholeFile(ix), index);
    FbClose(fb);
}

} // namespace
