// How the tree's pages share, split, borrow, merge, shrink and reuse freed pages, seen in
// the index file after a reopen.
#include "BTreeFixture.h"

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
