// Save mode under failures and crashes: one change of each kind on multi-level Fileblocks, with
// the disk failing at each of its steps, the process dying at each step (every write kept),
// the power failing at each step (the last flushed image plus a random subset of the writes
// since, torn at 512 bytes), a crash while the journal is replayed, and real crashes of a
// child process. Afterwards the files hold the state before or after the change, every
// earlier change is kept, and the index is sound.
#include "BTreeFixture.h"
#include "CrashDisk.h"
#include "FaultyFileOps.h"
#include "StorageSession.h"

#include "storage/Fileblock.h"

#include <functional>
#include <map>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace storagetest;
using test::FileCall;

namespace {

constexpr std::int32_t kRecordLength = 464;

std::int32_t I32(const std::vector<unsigned char>& b, std::size_t at) {
    if (at + 4 > b.size()) return 0;
    return static_cast<std::int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
                                     (static_cast<std::uint32_t>(b[at + 3]) << 24));
}

// What a Fileblock holds, read from its files alone.
struct Contents {
    std::int32_t allocated = 0;
    std::vector<std::int32_t> freeChain;
    std::map<std::int32_t, std::vector<unsigned char>> live;
    std::vector<std::vector<std::pair<std::string, std::int32_t>>> keys;
    std::string indexBytes; // every byte of the index that has meaning

    bool operator==(const Contents&) const = default;
};

struct Files {
    std::vector<unsigned char> dat, ix;
};

// One change, the code that reports it undone, and the changes made before it in the session.
struct Change {
    const char* name;
    std::function<void(Fileblock*)> before;
    std::function<void(Fileblock*)> change;
    std::int32_t undoneCode;
};

class SaveModeCrash : public BTreeFixture {
protected:
    std::string Name() const { return "zelp"; }

    static Files Save(const std::string& dat, const std::string& ix) {
        return {test::ReadWholeFile(dat), test::ReadWholeFile(ix)};
    }
    void Restore(const Files& files) {
        test::WriteWholeFile(DataPath(Name()), files.dat);
        test::WriteWholeFile(IndexPath(Name()), files.ix);
        ::unlink((Path(Name()) + ".DIA").c_str());
    }

    // A new Fileblock of `count` records: key 1 their numbers, key 2 the numbers modulo `groups`.
    Fileblock* CreateWithRecords(std::int32_t count, std::int32_t groups) {
        StartEngine(8);
        Fileblock* fb = CreateAndOpen(Name(), {{8, false}, {8, true}});
        for (std::int32_t n = 1; n <= count; ++n) {
            std::int32_t record = 0;
            FbAppendRecord(fb, record, test::RecordBytes(kRecordLength, static_cast<unsigned char>(n), n));
            FbInsertKey(fb, 1, record, RecordKey(record));
            FbInsertKey(fb, 2, record, RecordKey(record % groups));
        }
        return fb;
    }

    // 4200 records with two keys of three levels, some records and pages freed again.
    Files BuildRecords() {
        Fileblock* fb = CreateWithRecords(4200, 300);
        for (std::int32_t n = 40; n <= 4200; n += 97) {
            FbFreeRecord(fb, n);
            FbRemoveKey(fb, 1, n, RecordKey(n));
            FbRemoveKey(fb, 2, n, RecordKey(n % 300));
        }
        EXPECT_TRUE(FbOk) << FbErrorCode;
        Close(fb);
        FbStopEngine();
        return Save(DataPath(Name()), IndexPath(Name()));
    }

    // Seven levels of full pages whose items share their children: not a tree the checker
    // calls sound, but every byte of it is compared.
    Files BuildDeep() {
        soundIndex_ = false;
        StartEngine(8);
        WriteDeepIndex(Name(), 8, 7);
        FbStopEngine();
        return Save(DataPath(Name()), IndexPath(Name()));
    }

    // A key of length 1 with duplicates whose three levels are all full: 63^3 - 1 entries of
    // the text "A" with references 1 and up, pages numbered level by level, and two free pages.
    Files BuildFullTree() {
        StartEngine(8);
        FbCreate(Path(Name()), 464, 1, test::Keys({{1, true}}));
        FbStopEngine();
        constexpr std::size_t kPage = 626;
        constexpr std::int32_t kLive = 1 + 63 + 63 * 63, kAllocated = kLive + 2;
        std::vector<unsigned char> index(static_cast<std::size_t>(kAllocated + 1) * kPage, 0);
        const auto put = [&index](std::size_t at, std::int32_t v) {
            for (int i = 0; i < 4; ++i)
                index[at + static_cast<std::size_t>(i)] =
                    static_cast<unsigned char>(static_cast<std::uint32_t>(v) >> (8 * i));
        };
        std::int32_t reference = 0;
        // Page of level `level` (0 = root), `j`-th of its level.
        const std::function<void(int, std::int32_t)> fill = [&](int level, std::int32_t j) {
            const std::int32_t first[] = {1, 2, 65};
            const std::int32_t page = first[level] + j;
            const std::size_t at = static_cast<std::size_t>(page) * kPage;
            const auto child = [&](int c) { return level == 2 ? 0 : first[level + 1] + j * 63 + c; };
            index[at] = 62;
            put(at + 2, child(0));
            if (level < 2) fill(level + 1, j * 63);
            for (int i = 1; i <= 62; ++i) {
                const std::size_t item = at + 6 + static_cast<std::size_t>(i - 1) * 10;
                put(item, ++reference);
                put(item + 4, child(i));
                index[item + 8] = 1;
                index[item + 9] = 'A';
                if (level < 2) fill(level + 1, j * 63 + i);
            }
        };
        fill(0, 0);
        put(0, kLive + 1);                         // first free page
        put(4, 2);                                 // free pages
        put(8, kAllocated);                        //
        put(12, static_cast<std::int32_t>(kPage)); // page size
        put(16, 1);                                // root
        index[20] = 1;                             // duplicates
        put(22, reference);                        // entries
        index[26] = 62;                            // items per page
        put(static_cast<std::size_t>(kLive + 1) * kPage, kLive + 2);
        put(static_cast<std::size_t>(kLive + 2) * kPage, -1);
        test::WriteWholeFile(IndexPath(Name()), index);
        return Save(DataPath(Name()), IndexPath(Name()));
    }

    Contents Read() const {
        Contents c;
        const std::vector<unsigned char> dat = test::ReadWholeFile(DataPath(Name()));
        const std::int32_t freeCount = I32(dat, 4);
        c.allocated = I32(dat, 8);
        std::set<std::int32_t> free;
        for (std::int32_t r = I32(dat, 0), i = 0; r != -1 && i <= freeCount; ++i) {
            c.freeChain.push_back(r);
            free.insert(r);
            r = I32(dat, static_cast<std::size_t>(r) * kRecordLength);
        }
        for (std::int32_t r = 1; r <= c.allocated; ++r) {
            const auto at = dat.begin() + static_cast<std::ptrdiff_t>(r) * kRecordLength;
            if (!free.count(r) && at + kRecordLength <= dat.end()) c.live[r].assign(at, at + kRecordLength);
        }
        const IndexReport report = Check(Name());
        if (soundIndex_) {
            EXPECT_TRUE(report.Sound()) << report.FaultText();
        }
        for (const KeyReport& key : report.keys)
            c.keys.push_back(key.entries);
        c.indexBytes = report.significant;
        return c;
    }

    Fileblock* OpenSaveMode() {
        Fileblock* fb = nullptr;
        FbOpen(fb, Path(Name()), false, false, true, false);
        return fb;
    }

    // Stops the engine without writing anything more: the process is gone.
    static void Abandon(Fileblock*& fb) {
        if (fb) {
            storage::FileblockOf(fb)->damaged = true;
            FbClose(fb);
        }
        FbStopEngine();
    }

    // Opens as the program does (replaying a journal), closes, and reads what is there.
    Contents Recover(bool saveMode) {
        StartEngine(8);
        Fileblock* fb = nullptr;
        FbOpen(fb, Path(Name()), false, false, saveMode, false);
        EXPECT_TRUE(FbOk) << "reopen: " << FbErrorCode;
        if (fb) FbClose(fb);
        EXPECT_TRUE(FbOk) << "close: " << FbErrorCode;
        FbStopEngine();
        return Read();
    }

    // The states before and after the change, and the steps the change takes.
    struct Expected {
        Contents before, after;
        int steps = 0;
        std::vector<std::size_t> stepBytes; // of each write step; 0 for the others
        std::map<FileCall, int> calls;
    };
    Expected Expect(const Files& base, const Change& change) {
        Expected e;
        Restore(base);
        StartEngine(8);
        Fileblock* fb = OpenSaveMode();
        change.before(fb);
        EXPECT_TRUE(FbOk) << change.name << " " << FbErrorCode;
        Close(fb);
        FbStopEngine();
        e.before = Read();

        Restore(base);
        StartEngine(8);
        fb = OpenSaveMode();
        change.before(fb);
        {
            test::CrashDisk disk;
            change.change(fb);
            EXPECT_TRUE(FbOk) << change.name << " " << FbErrorCode;
            e.steps = disk.Steps();
            e.stepBytes = disk.StepBytes();
            e.calls = {{FileCall::Write, disk.Writes()},
                       {FileCall::Flush, disk.Flushes()},
                       {FileCall::Truncate, disk.Truncates()}};
        }
        Close(fb);
        FbStopEngine();
        e.after = Read();
        EXPECT_FALSE(e.before == e.after) << change.name;
        return e;
    }

    // The disk refuses its k-th write, flush or truncate: the change is undone and reported,
    // or it went through; the Fileblock stays usable either way.
    void FailEachStep(const Files& base, const Change& change, const Expected& e) {
        for (const auto& [call, count] : e.calls) {
            for (int k = 1; k <= count; ++k) {
                SCOPED_TRACE(std::string(change.name) + " failing call " +
                             std::to_string(static_cast<int>(call)) + " #" + std::to_string(k));
                Restore(base);
                StartEngine(8);
                test::FaultyFileOps files;
                Fileblock* fb = OpenSaveMode();
                change.before(fb);
                files.FailNth(call, k);
                change.change(fb);
                const bool ok = FbOk;
                if (!ok) {
                    EXPECT_EQ(FbErrorCode, change.undoneCode);
                }
                files.Clear();
                EXPECT_FALSE(storage::FileblockOf(fb)->damaged);
                Close(fb);
                FbStopEngine();
                const Contents now = Read();
                EXPECT_TRUE(now == (ok ? e.after : e.before)) << (ok ? "not the state after" : "not undone");
            }
        }
    }

    // The process dies, or the power fails, after step k of the change; then, for some k,
    // again while the next open replays the journal.
    void CrashAtEachStep(const Files& base, const Change& change, const Expected& e, bool powerLoss,
                         int replayStride) {
        std::mt19937 rng(7);
        int befores = 0, afters = 0;
        // A power loss keeps a different subset of the unflushed writes each time.
        const int draws = powerLoss ? 3 : 1;
        for (int run = 0; run < (e.steps + 1) * draws; ++run) {
            const int k = run / draws;
            const bool firstDraw = run % draws == 0;
            SCOPED_TRACE(std::string(change.name) + (powerLoss ? " power loss" : " process crash") +
                         " at step " + std::to_string(k));
            Restore(base);
            {
                StartEngine(8);
                test::CrashDisk disk;
                Fileblock* fb = OpenSaveMode();
                change.before(fb);
                disk.StopAfter(k);
                change.change(fb);
                Abandon(fb);
                if (powerLoss) disk.LosePower(rng);
            }
            const Files crashed = Save(DataPath(Name()), IndexPath(Name()));
            const std::vector<unsigned char> journal = test::ReadWholeFile(Path(Name()) + ".DIA");
            const Contents now = Recover(k % 2 == 0);
            EXPECT_TRUE(now == e.before || now == e.after) << "neither before nor after";
            ++(now == e.after ? afters : befores);
            if (!firstDraw || replayStride == 0 || k % replayStride != 0 || journal.size() <= 3) continue;
            for (int j = 0;; ++j) {
                SCOPED_TRACE("replay stopped at step " + std::to_string(j));
                test::WriteWholeFile(DataPath(Name()), crashed.dat);
                test::WriteWholeFile(IndexPath(Name()), crashed.ix);
                test::WriteWholeFile(Path(Name()) + ".DIA", journal);
                bool stopped = false;
                {
                    StartEngine(8);
                    test::CrashDisk disk;
                    disk.StopAfter(j);
                    Fileblock* fb = nullptr;
                    FbOpen(fb, Path(Name()), false, false, false, false);
                    stopped = disk.Stopped();
                    Abandon(fb);
                    if (powerLoss) disk.LosePower(rng);
                }
                EXPECT_TRUE(Recover(false) == now) << "a second replay ends elsewhere";
                if (!stopped) break;
            }
        }
        // The sweep reaches both sides of the change's commit.
        EXPECT_GT(befores, 0) << change.name;
        EXPECT_GT(afters, 0) << change.name;
    }

    // The process dies, or the power fails, in the middle of one write of the change, cut after
    // each of its bytes. The journal's tags are the exception: each is one write of 2 bytes
    // inside one sector, which no crash tears.
    void TearEachWrite(const Files& base, const Change& change, const Expected& e) {
        std::mt19937 rng(11);
        int cuts = 0;
        for (std::size_t k = 0; k < e.stepBytes.size(); ++k) {
            if (e.stepBytes[k] <= 2) continue;
            for (std::size_t cut = 1; cut < e.stepBytes[k]; ++cut) {
                for (const bool powerLoss : {false, true}) {
                    SCOPED_TRACE(std::string(change.name) + (powerLoss ? " power loss" : " process crash") +
                                 " in step " + std::to_string(k) + " cut after byte " + std::to_string(cut));
                    Restore(base);
                    {
                        StartEngine(8);
                        test::CrashDisk disk;
                        Fileblock* fb = OpenSaveMode();
                        change.before(fb);
                        disk.TearAfter(static_cast<int>(k), cut);
                        change.change(fb);
                        Abandon(fb);
                        if (powerLoss) disk.LosePower(rng);
                    }
                    const Contents now = Recover(cut % 2 == 0);
                    if (!(now == e.before || now == e.after)) {
                        ADD_FAILURE() << "neither before nor after";
                        return;
                    }
                    ++cuts;
                }
            }
        }
        EXPECT_GT(cuts, 0) << change.name;
    }

    void Sweep(const Files& base, const Change& change, int replayStride) {
        const Expected e = Expect(base, change);
        if (HasFailure()) return;
        FailEachStep(base, change, e);
        CrashAtEachStep(base, change, e, false, replayStride);
        CrashAtEachStep(base, change, e, true, replayStride);
    }

    static void Nothing(Fileblock*) {}

    bool soundIndex_ = true;

    // The number of `step`s after which one more changes key 1's page count: a split (a page
    // taken) or a merge (a page freed).
    int StepsBeforePageChange(const Files& base, const std::function<void(Fileblock*, int)>& step) {
        for (int m = 0; m < 190; ++m) {
            Restore(base);
            StartEngine(8);
            Fileblock* fb = Open(Name());
            for (int i = 0; i < m; ++i)
                step(fb, i);
            Close(fb);
            const KeyReport before = Check(Name()).keys[0];
            fb = Open(Name());
            step(fb, m);
            Close(fb);
            FbStopEngine();
            const KeyReport after = Check(Name()).keys[0];
            if (after.pages.size() != before.pages.size()) return m;
        }
        ADD_FAILURE() << "no step changed the pages";
        return 0;
    }
};

// Texts between "    2009" and "    2010", all in one leaf of key 1.
std::string TextInLeaf(int i) {
    return RecordKey(2000).substr(0, 7) + static_cast<char>(0x3A + i);
}
void InsertInLeaf(Fileblock* fb, int i) {
    FbInsertKey(fb, 1, 100000 + i, TextInLeaf(i));
}
void RemoveFromLeaf(Fileblock* fb, int i) {
    FbRemoveKey(fb, 1, 2001 + i, RecordKey(2001 + i));
}

TEST_F(SaveModeCrash, RecordChangesSurviveEveryFailureAndCrash) {
    const Files base = BuildRecords();
    const std::vector<Change> changes = {
        {"append from the free chain", Nothing,
         [](Fileblock* fb) {
             std::int32_t n = 0;
             FbAppendRecord(fb, n, test::RecordBytes(kRecordLength, 0xA5, 9001));
         },
         10001},
        {"append a new record",
         [](Fileblock* fb) {
             for (int i = 0; i < 43; ++i) {
                 std::int32_t n = 0;
                 FbAppendRecord(fb, n, test::RecordBytes(kRecordLength, 0x11, 9000 + i));
             }
         },
         [](Fileblock* fb) {
             std::int32_t n = 0;
             FbAppendRecord(fb, n, test::RecordBytes(kRecordLength, 0x5A, 9100));
         },
         10001},
        {"free a record", Nothing, [](Fileblock* fb) { FbFreeRecord(fb, 1234); }, 10002},
        {"rewrite a record", Nothing,
         [](Fileblock* fb) { FbWriteRecord(fb, 2345, test::RecordBytes(kRecordLength, 0xC3, 9200)); }, 10005},
    };
    for (const Change& change : changes)
        Sweep(base, change, 1);
}

// A rewrite is all or nothing wherever a write of it is cut, and leaves the dialog file empty.
TEST_F(SaveModeCrash, ARewriteCutAtEveryByteLeavesTheRecordBeforeOrAfter) {
    Fileblock* fb = CreateWithRecords(12, 3);
    ASSERT_TRUE(FbOk) << FbErrorCode;
    Close(fb);
    FbStopEngine();
    const Files base = Save(DataPath(Name()), IndexPath(Name()));
    const Change change{
        "rewrite", Nothing,
        [](Fileblock* fb) { FbWriteRecord(fb, 7, test::RecordBytes(kRecordLength, 0xE7, 7777)); }, 10005};
    const Expected e = Expect(base, change);
    ASSERT_FALSE(HasFailure());
    TearEachWrite(base, change, e);

    Restore(base);
    StartEngine(8);
    fb = OpenSaveMode();
    change.change(fb);
    EXPECT_TRUE(FbOk) << FbErrorCode;
    EXPECT_EQ(test::ReadWholeFile(Path(Name()) + ".DIA").size(), 1u);
    Close(fb);
    FbStopEngine();
}

TEST_F(SaveModeCrash, KeyChangesSurviveEveryFailureAndCrash) {
    const Files base = BuildRecords();
    const int fill = StepsBeforePageChange(base, InsertInLeaf);
    const int thin = StepsBeforePageChange(base, RemoveFromLeaf);
    const std::vector<Change> changes = {
        {"insert that splits a leaf",
         [fill](Fileblock* fb) {
             for (int i = 0; i < fill; ++i)
                 InsertInLeaf(fb, i);
         },
         [fill](Fileblock* fb) { InsertInLeaf(fb, fill); }, 10003},
        {"insert a duplicate text", Nothing, [](Fileblock* fb) { FbInsertKey(fb, 2, 9999, RecordKey(17)); },
         10003},
        {"removal that merges leaves",
         [thin](Fileblock* fb) {
             for (int i = 0; i < thin; ++i)
                 RemoveFromLeaf(fb, i);
         },
         [thin](Fileblock* fb) { RemoveFromLeaf(fb, thin); }, 10004},
        {"remove from the duplicates key", Nothing,
         [](Fileblock* fb) { FbRemoveKey(fb, 2, 600, RecordKey(0)); }, 10004},
    };
    for (const Change& change : changes)
        Sweep(base, change, 3);
}

TEST_F(SaveModeCrash, AnInsertThatSplitsEveryLevelOfAFullTreeSurvivesEveryFailureAndCrash) {
    const Files base = BuildFullTree();
    ASSERT_TRUE(Check(Name()).Sound()) << Check(Name()).FaultText();
    const Change change{"split of three full levels", Nothing,
                        [](Fileblock* fb) { FbInsertKey(fb, 1, 0, "A"); }, 10003};
    Sweep(base, change, 5);
}

// Evictions in the middle of the change: its pages reach the index file before it ends.
TEST_F(SaveModeCrash, AnInsertThatSplitsSevenLevelsSurvivesEveryFailureAndCrash) {
    const Files base = BuildDeep();
    const Change change{"split of seven levels", Nothing,
                        [](Fileblock* fb) { FbInsertKey(fb, 1, 99, "\x01"); }, 10003};
    Sweep(base, change, 4);
}

TEST_F(SaveModeCrash, AChildProcessThatDiesMidChangeLeavesTheStateBeforeOrAfter) {
    const Files base = BuildRecords();
    const Change changes[] = {
        {"insert", Nothing, [](Fileblock* fb) { FbInsertKey(fb, 1, 777777, "    200x"); }, 10003},
        {"free", Nothing, [](Fileblock* fb) { FbFreeRecord(fb, 77); }, 10002},
    };
    for (const Change& change : changes) {
        const Expected e = Expect(base, change);
        for (int k : {1, e.steps / 3, e.steps / 2, e.steps - 1}) {
            SCOPED_TRACE(std::string(change.name) + " exit at step " + std::to_string(k));
            Restore(base);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                FbStartEngine(0, 8);
                test::CrashDisk disk;
                Fileblock* fb = OpenSaveMode();
                disk.ExitAfter(k);
                change.change(fb);
                ::_exit(3); // the change should not have got this far
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 0);
            const Contents now = Recover(false);
            EXPECT_TRUE(now == e.before || now == e.after);
        }
    }
}

} // namespace
