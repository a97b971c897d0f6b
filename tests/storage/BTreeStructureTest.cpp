// How the tree's pages share, split, borrow, merge, shrink and reuse freed pages, seen in
// the index file after a reopen.
#include "BTreeFixture.h"
#include "FaultyFileOps.h"

#include <functional>

using namespace storagetest;

namespace {

class BTreeStructure : public BTreeFixture {
protected:
    void SetUp() override {
        BTreeFixture::SetUp();
        StartEngine(8);
    }
    void Insert(int from, int to, int step = 1) {
        for (int n = from; n <= to; n += step) {
            FbInsertKey(fb, 1, n, RecordKey(n));
            ASSERT_TRUE(FbOk) << FbErrorCode << " inserting " << n;
        }
    }
    void Remove(int n) {
        FbRemoveKey(fb, 1, n, RecordKey(n));
        ASSERT_TRUE(FbOk) << FbErrorCode << " removing " << n;
    }
    // A root of one item (320) over two leaves of 31: 10..310 and 330..630.
    void TwoLeaves() { Insert(10, 630, 10); }
    // A root of two items over leaves of 62, 31 and 31 (pages 1, 2 and 4; the root is 3).
    void ThreeLeaves() {
        TwoLeaves();
        Insert(5, 305, 10);   // the left leaf fills up
        Insert(635, 945, 10); // the right one too, and splits: its left sibling is full
    }
    Fileblock* fb = nullptr;
};

TEST_F(BTreeStructure, EachRuleLeavesItsShape) {
    struct Case {
        const char* name;
        std::function<void()> build;
        std::string shape;
        std::int32_t allocated;
        std::vector<std::int32_t> freeChain;
    };
    const std::vector<Case> cases = {
        {"root split 31 / 1 / 31", [&] { TwoLeaves(); }, "1(31 31)", 3, {}},
        {"full left leaf shares with its right sibling",
         [&] {
             TwoLeaves();
             Insert(5, 315, 10);
         },
         "1(47 47)",
         3,
         {}},
        {"full last leaf shares with its left sibling",
         [&] {
             TwoLeaves();
             Insert(635, 945, 10);
         },
         "1(47 47)",
         3,
         {}},
        {"full leaf keeps the larger part when its right sibling holds 32",
         [&] {
             TwoLeaves();
             Insert(635, 635);
             Insert(5, 315, 10);
         },
         "1(48 47)",
         3,
         {}},
        {"full last leaf keeps the larger part when its left sibling holds 32",
         [&] {
             TwoLeaves();
             Insert(11, 11);
             Insert(635, 945, 10);
         },
         "1(47 48)",
         3,
         {}},
        {"full leaf between full siblings splits", [&] { ThreeLeaves(); }, "2(62 31 31)", 4, {}},
        {"inner entry replaced by its predecessor",
         [&] {
             TwoLeaves();
             Insert(5, 315, 10); // sharing puts 240 into the root
             Remove(240);
         },
         "1(46 47)",
         3,
         {}},
        {"leaf borrows from its right sibling",
         [&] {
             TwoLeaves();
             Insert(321, 321);
             Remove(10);
         },
         "1(31 31)",
         3,
         {}},
        {"last leaf borrows from its left sibling",
         [&] {
             TwoLeaves();
             Insert(11, 11);
             Remove(630);
         },
         "1(31 31)",
         3,
         {}},
        {"leaf merges with its right sibling",
         [&] {
             ThreeLeaves();
             Remove(330);
         },
         "1(62 62)",
         4,
         {4}},
        {"last leaf merges with its left sibling",
         [&] {
             ThreeLeaves();
             Remove(945);
         },
         "1(62 62)",
         4,
         {4}},
        {"root shrinks to the merged leaf",
         [&] {
             TwoLeaves();
             Remove(10);
         },
         "62",
         3,
         {3, 2}},
        {"split reuses the freed page",
         [&] {
             ThreeLeaves();
             Remove(330);
             Insert(1, 1);
         },
         "2(31 31 62)",
         4,
         {}},
        {"the only entry removed empties the key",
         [&] {
             Insert(5, 5);
             Remove(5);
         },
         "",
         1,
         {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fb = CreateAndOpen("shape", {{8, false}});
        c.build();
        Close(fb);
        const IndexReport report = Check("shape");
        ASSERT_TRUE(report.Sound()) << report.FaultText();
        const KeyReport& key = report.keys[0];
        EXPECT_EQ(key.shape, c.shape);
        EXPECT_EQ(key.allocated, c.allocated);
        EXPECT_EQ(key.freeChain, c.freeChain);
        EXPECT_EQ(key.entryCount, static_cast<std::int32_t>(key.entries.size()));
    }
}

TEST_F(BTreeStructure, AscendingAndDescendingFillsStaySound) {
    // Long runs in one direction keep sharing with the same sibling before each split.
    fb = CreateAndOpen("shape", {{8, false}});
    Insert(1, 5000);
    fb = Reopen(fb, "shape");
    for (int n = 5000; n >= 1; n -= 2)
        Remove(n);
    fb = Reopen(fb, "shape");
    for (int n = 1; n <= 5000; n += 2)
        Remove(n);
    Close(fb);
    const IndexReport report = Check("shape");
    ASSERT_TRUE(report.Sound()) << report.FaultText();
    EXPECT_EQ(report.keys[0].root, 0);
    EXPECT_EQ(report.keys[0].freeChain.size(), static_cast<std::size_t>(report.keys[0].allocated));
}

} // namespace

namespace {

// Little-endian bytes of `value` in `width` bytes at `at` of `bytes`.
void Put(std::vector<unsigned char>& bytes, std::size_t at, std::int64_t value, int width) {
    for (int i = 0; i < width; ++i)
        bytes[at + static_cast<std::size_t>(i)] =
            static_cast<unsigned char>(static_cast<std::uint64_t>(value) >> (8 * i));
}

// An item of a key of length 8 at `at`: reference, child, the record key of `n`.
void PutItem(std::vector<unsigned char>& bytes, std::size_t at, std::int32_t n, std::int32_t child) {
    Put(bytes, at, n, 4);
    Put(bytes, at + 4, child, 4);
    bytes[at + 8] = 8;
    const std::string text = RecordKey(n);
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at + 9));
}

TEST_F(BTreeStructure, AMergeCountsTheItemsOfItsTwoPages) {
    // Written as bytes: a root (page 1) of one item, 11, over leaves of fewer items than a
    // tree of this engine keeps: page 2 holds 1..10, page 3 holds 12..31.
    fb = CreateAndOpen("odd", {{8, false}});
    Close(fb);
    constexpr std::size_t kPage = 1060, kItem = 17;
    std::vector<unsigned char> index(4 * kPage, 0);
    Put(index, 0, -1, 4);     // first free page
    Put(index, 8, 3, 4);      // pages allocated
    Put(index, 12, kPage, 4); // page size
    Put(index, 16, 1, 4);     // root
    Put(index, 22, 31, 4);    // entries
    Put(index, 26, 62, 2);    // items per page
    Put(index, kPage, 1, 2);
    Put(index, kPage + 2, 2, 4);
    PutItem(index, kPage + 6, 11, 3);
    Put(index, 2 * kPage, 10, 2);
    for (int i = 0; i < 10; ++i)
        PutItem(index, 2 * kPage + 6 + static_cast<std::size_t>(i) * kItem, i + 1, 0);
    Put(index, 3 * kPage, 20, 2);
    for (int i = 0; i < 20; ++i)
        PutItem(index, 3 * kPage + 6 + static_cast<std::size_t>(i) * kItem, i + 12, 0);
    test::WriteWholeFile(IndexPath("odd"), index);

    fb = Open("odd");
    // Page 2 falls to 9; its sibling of 20 has none to lend: 9 + 1 + 20 items in one page.
    FbRemoveKey(fb, 1, 5, RecordKey(5));
    ASSERT_TRUE(FbOk) << FbErrorCode;
    Close(fb);
    const IndexReport report = Check("odd");
    EXPECT_EQ(report.keys[0].root, 2);
    EXPECT_EQ(report.keys[0].pages, (std::vector<std::pair<std::int32_t, int>>{{2, 30}}));
    std::vector<std::pair<std::string, std::int32_t>> expected;
    for (int n = 1; n <= 31; ++n)
        if (n != 5) expected.emplace_back(RecordKey(n), n);
    EXPECT_TRUE(report.keys[0].entries == expected);
}

} // namespace
