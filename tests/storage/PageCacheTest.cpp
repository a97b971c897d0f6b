// The shared page cache: least recently used eviction, write-back only of dirty pages, and
// what a disk failure in the middle of a key change leaves behind.
#include "BTreeFixture.h"
#include "FaultyFileOps.h"
#include "StorageSession.h"

#include "storage/Fileblock.h"
#include "storage/PageCache.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <set>

using namespace storagetest;
using test::FaultyFileOps;
using test::FileCall;
using test::Le32;

namespace {

class PageCache : public BTreeFixture {
protected:
    // A key of record keys 1..count in a scrambled order (about 45 leaves for 2000).
    void BuildBase(int count) {
        StartEngine(8);
        Fileblock* fb = CreateAndOpen("base", {{8, false}, {8, true}});
        std::vector<int> order(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            order[static_cast<std::size_t>(i)] = 2 * i + 1;
        std::shuffle(order.begin(), order.end(), std::mt19937(99));
        for (int n : order) {
            FbInsertKey(fb, 1, n, RecordKey(n));
            FbInsertKey(fb, 2, n, RecordKey(n % 97));
            ASSERT_TRUE(FbOk);
            model1.insert(n);
            model2.insert({n % 97, n});
        }
        Close(fb);
        FbStopEngine();
    }
    void CopyBase(const std::string& name) {
        for (const char* ext : {".DAT", ".IX"})
            std::filesystem::copy_file(Path("base") + ext, Path(name) + ext,
                                       std::filesystem::copy_options::overwrite_existing);
    }

    std::set<int> model1;                 // references of key 1 (text = RecordKey(reference))
    std::set<std::pair<int, int>> model2; // (text number, reference) of key 2
};

TEST_F(PageCache, TheLeastRecentlyUsedPageIsEvictedAndOnlyDirtyPagesAreWritten) {
    BuildBase(2000);
    ASSERT_EQ(Check("base").keys[0].height, 2);
    StartEngine(8);
    FaultyFileOps files; // counts the calls on the files it opens
    Fileblock* fb = Open("base");
    const int readsAtOpen = files.Count(FileCall::Read);
    // Ten leaves far apart, and the root: the texts sought are absent, so every search ends in a leaf.
    std::int32_t reference = 0;
    for (int leaf = 0; leaf < 10; ++leaf)
        FbFindKey(fb, 1, reference, RecordKey(2 + leaf * 400));
    const int reads = files.Count(FileCall::Read);
    EXPECT_EQ(reads - readsAtOpen, 11);
    EXPECT_EQ(files.Count(FileCall::Write), 0) << "clean pages are never written";
    FbFindKey(fb, 1, reference, RecordKey(2 + 9 * 400)); // most recent: still cached
    EXPECT_EQ(files.Count(FileCall::Read), reads);
    FbFindKey(fb, 1, reference, RecordKey(2)); // least recent leaf: evicted
    EXPECT_EQ(files.Count(FileCall::Read), reads + 1);

    // Changes in more leaves than there are buffers reach the file before the close.
    for (int leaf = 0; leaf < 12; ++leaf)
        FbInsertKey(fb, 1, 4 + leaf * 400, RecordKey(4 + leaf * 400));
    EXPECT_GT(files.Count(FileCall::Write), 1); // the in-use mark, then evicted pages
    Close(fb);
    FbStopEngine();

    // With room for every page nothing but the in-use mark is written before the close.
    CopyBase("roomy");
    StartEngine(1000);
    fb = Open("roomy");
    const int writesAtOpen = files.Count(FileCall::Write);
    for (int leaf = 0; leaf < 12; ++leaf)
        FbInsertKey(fb, 1, 4 + leaf * 400, RecordKey(4 + leaf * 400));
    EXPECT_EQ(files.Count(FileCall::Write), writesAtOpen + 1);
    Close(fb);
    EXPECT_TRUE(Check("roomy").Sound());
}

TEST_F(PageCache, ABufferReusedForANewPageThatCannotBeHadKeepsNoTraceOfItsOldPage) {
    // Key 1 of record keys (length 8: pages are packed on the disk) over nine pages or more;
    // key 2 empty, its header claiming one free page whose link is not a link.
    StartEngine(8);
    Fileblock* fb = CreateAndOpen("work", {{8, false}, {8, false}});
    for (int n = 1; n <= 500; ++n)
        FbInsertKey(fb, 1, n, RecordKey(n));
    Close(fb);
    ASSERT_GE(Check("work").keys[0].pages.size(), 9u);
    test::PatchFile(IndexPath("work"), 1060, test::Concat({Le32(1), Le32(1), Le32(1)}));
    fb = Open("work");
    Fileblock& open = *storage::FileblockOf(fb);
    // Leaf 1 changed in the cache, then the least recently used of eight buffers.
    storage::PageBufferNode* node = storage::FetchPage(open, 1, 1);
    ASSERT_NE(node, nullptr);
    storage::MarkPageDirty(*node);
    for (std::int32_t page = 2; page <= 8; ++page)
        ASSERT_NE(storage::FetchPage(open, page, 1), nullptr);
    // Key 2's first page would reuse leaf 1's buffer; the free chain refuses the page.
    FbInsertKey(fb, 2, 1, RecordKey(1));
    EXPECT_EQ(FbErrorCode, 10170);
    // Leaf 1 reads back as it is, from the cache or the file.
    for (int n = 1; n <= 500; ++n) {
        std::int32_t reference = 0;
        FbFindKey(fb, 1, reference, RecordKey(n));
        ASSERT_TRUE(FbOk) << n << ": " << FbErrorCode;
        EXPECT_EQ(reference, n);
    }
    Close(fb);
    EXPECT_TRUE(Check("work").keys[0].entries.size() == 500u);
}

// Runs seeded changes on a copy of the base while the disk fails as planned, and checks
// what is left: either every failed change was undone and the file is sound with exactly
// the changes that succeeded, or the Fileblock refused further changes and its data file
// stays marked in use, so the next open reports the defect.
class DiskFailure : public PageCache {
protected:
    struct Result {
        int failedChanges = 0;
        bool fellBack = false;
    };

    Result Run(const std::function<void(FaultyFileOps&)>& plan) {
        Result result;
        CopyBase("work");
        std::set<int> expect1 = model1;
        std::set<std::pair<int, int>> expect2 = model2;
        StartEngine(8);
        FaultyFileOps files;
        Fileblock* fb = Open("work");
        plan(files);
        std::mt19937 rng(5);
        for (int op = 0; op < 300; ++op) {
            const bool insert = std::uniform_int_distribution<int>(0, 99)(rng) < 55;
            const int n = insert ? 2 * std::uniform_int_distribution<int>(0, 3000)(rng) + 2
                                 : 2 * std::uniform_int_distribution<int>(0, 1999)(rng) + 1;
            const bool key1 = op % 2 == 0;
            if (insert) {
                if (key1)
                    FbInsertKey(fb, 1, n, RecordKey(n));
                else
                    FbInsertKey(fb, 2, n, RecordKey(n % 97));
            } else {
                if (key1)
                    FbRemoveKey(fb, 1, n, RecordKey(n));
                else
                    FbRemoveKey(fb, 2, n, RecordKey(n % 97));
            }
            const std::int32_t code = FbErrorCode;
            if (FbOk) {
                EXPECT_FALSE(result.fellBack) << "a change after the fall-back";
                if (key1 && insert) expect1.insert(n);
                if (key1 && !insert) expect1.erase(n);
                if (!key1 && insert) expect2.insert({n % 97, n});
                if (!key1 && !insert) expect2.erase({n % 97, n});
            } else if (code == 10065) {
                EXPECT_TRUE(result.fellBack) << "op " << op;
            } else if (code != 10230 && code != 10220) {
                ++result.failedChanges;
                files.Clear();
                // The fall-back shows itself at the next change.
                FbInsertKey(fb, 1, 1, RecordKey(1));
                if (FbErrorCode == 10065) result.fellBack = true;
            }
        }
        files.Clear();
        FbClose(fb);
        EXPECT_TRUE(FbOk) << FbErrorCode;
        if (result.fellBack) {
            EXPECT_EQ(BytesAt(DataPath("work"), 20, 1), std::vector<unsigned char>{1});
            FbOpen(fb, Path("work"), false, false, false, false);
            EXPECT_EQ(FbErrorCode, 10010);
        } else {
            const IndexReport report = Check("work");
            EXPECT_TRUE(report.Sound()) << report.FaultText();
            std::vector<std::pair<std::string, std::int32_t>> want1, want2;
            for (int n : expect1)
                want1.emplace_back(RecordKey(n), n);
            for (const auto& [t, n] : expect2)
                want2.emplace_back(RecordKey(t), n);
            EXPECT_TRUE(report.keys[0].entries == want1);
            EXPECT_TRUE(report.keys[1].entries == want2);
        }
        FbStopEngine();
        return result;
    }

    static std::vector<unsigned char> BytesAt(const std::string& path, std::size_t at, std::size_t n) {
        return test::BytesAt(path, at, n);
    }
};

TEST_F(DiskFailure, AFailedWriteOrReadIsUndoneAndNothingIsLost) {
    BuildBase(2000);
    int failed = 0;
    for (FileCall call : {FileCall::Write, FileCall::Read}) {
        for (int n = 1; n <= 120 && !HasFailure(); n += (n < 40 ? 1 : 7)) {
            SCOPED_TRACE((call == FileCall::Write ? "write " : "read ") + std::to_string(n));
            const Result result =
                Run([&](FaultyFileOps& f) { f.FailNth(call, n, platform::win32::kIoDevice, ".IX"); });
            EXPECT_FALSE(result.fellBack) << "a single failure is always undone";
            failed += result.failedChanges;
        }
    }
    EXPECT_GT(failed, 50);
}

TEST_F(PageCache, AChangeThatCannotBeUndoneLeavesTheFileMarkedInUse) {
    // An insert that splits all eight levels takes its new pages from the free chain and
    // needs more pages than the cache holds; the disk then refuses every index write, so
    // neither the change nor putting the chain back can reach the file.
    StartEngine(8);
    WriteDeepIndex("deep", 8);
    FaultyFileOps files;
    Fileblock* fb = Open("deep");
    files.FailAll(FileCall::Write, platform::win32::kIoDevice, ".IX");
    FbInsertKey(fb, 1, 99, "\x01");
    EXPECT_FALSE(FbOk);
    files.Clear();
    FbInsertKey(fb, 1, 98, "\x02");
    EXPECT_EQ(FbErrorCode, 10065) << "no more changes";
    std::int32_t reference = 0;
    FbFindKey(fb, 1, reference, "A");
    EXPECT_TRUE(FbOk) << "reading goes on";
    FbClose(fb);
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(test::BytesAt(DataPath("deep"), 20, 1), std::vector<unsigned char>{1});
    FbOpen(fb, Path("deep"), false, false, false, false);
    EXPECT_EQ(FbErrorCode, 10010);
}

} // namespace
