// The index file as bytes at offsets: key headers in row 0, packed pages in the rows, free
// pages, the checks at open, and pages of a damaged file refused as a file defect.
#include "BTreeFixture.h"
#include "FaultyFileOps.h"
#include "StorageSession.h"

#include "storage/IndexPage.h"

#include <functional>

using namespace storagetest;
using test::BytesAt;
using test::Concat;
using test::Le32;
using test::PatchFile;

namespace {

std::vector<unsigned char> Bytes(std::initializer_list<int> values) {
    std::vector<unsigned char> out;
    for (int v : values)
        out.push_back(static_cast<unsigned char>(v));
    return out;
}
std::vector<unsigned char> Text(const std::string& s) {
    return {s.begin(), s.end()};
}

std::vector<unsigned char> KeyHeader(std::int32_t firstFree, std::int32_t freeCount, std::int32_t allocated,
                                     std::int32_t pageSize, std::int32_t root, bool duplicates,
                                     std::int32_t entries) {
    return Concat({Le32(firstFree), Le32(freeCount), Le32(allocated), Le32(pageSize), Le32(root),
                   Bytes({duplicates ? 1 : 0, 0}), Le32(entries), Bytes({62, 0})});
}

class IndexFile : public BTreeFixture {
protected:
    void SetUp() override {
        BTreeFixture::SetUp();
        StartEngine(8);
    }
};

TEST(IndexPageCodec, PackingMovesItemsToTheKeyLengthAndBack) {
    storage::PageBytes page{};
    storage::IndexPageView view(page.data());
    view.SetCount(3);
    view.SetChild(0, 0);
    for (int i = 1; i <= 3; ++i)
        view.SetItem(i, storage::IndexItem::Make(std::string(static_cast<std::size_t>(i), 'k'), 10 + i, 0));
    const storage::PageBytes unpacked = page;
    storage::PackPage(page.data(), 8);
    // Item 2 at 6 + 17: reference, child, length, text.
    EXPECT_EQ(std::vector<unsigned char>(page.begin() + 23, page.begin() + 23 + 12),
              Concat({Le32(12), Le32(0), Bytes({2}), Text("kk"), Bytes({0})}));
    EXPECT_EQ(std::vector<unsigned char>(page.begin() + 40, page.begin() + 40 + 9),
              Concat({Le32(13), Le32(0), Bytes({3})}));
    storage::UnpackPage(page.data(), 8);
    // Each item's reference, child, length and first L text bytes are back in its slot.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(std::equal(unpacked.begin() + 6 + i * 39, unpacked.begin() + 6 + i * 39 + 17,
                               page.begin() + 6 + i * 39))
            << "item " << i + 1;
}

TEST_F(IndexFile, HeadersRowsAndPackedPagesLieAtTheirOffsets) {
    Fileblock* fb = CreateAndOpen("ix", {{30, false}, {8, true}});
    // Row size 2424 + 1060; only row 0 so far.
    EXPECT_EQ(test::ReadWholeFile(IndexPath("ix")).size(), 3484u);
    EXPECT_EQ(BytesAt(IndexPath("ix"), 0, 28), KeyHeader(-1, 0, 0, 2424, 0, false, 0));
    EXPECT_EQ(BytesAt(IndexPath("ix"), 2424, 28), KeyHeader(-1, 0, 0, 1060, 0, true, 0));

    FbInsertKey(fb, 2, 7, "abc");
    FbInsertKey(fb, 2, 8, "abd");
    FbInsertKey(fb, 2, 9, "ab");
    FbInsertKey(fb, 1, 5, "x");
    ASSERT_TRUE(FbOk);
    Close(fb);
    // Both keys' first pages share row 1.
    EXPECT_EQ(test::ReadWholeFile(IndexPath("ix")).size(), 2 * 3484u);
    EXPECT_EQ(BytesAt(IndexPath("ix"), 2424, 28), KeyHeader(-1, 0, 1, 1060, 1, true, 3));
    EXPECT_EQ(
        BytesAt(IndexPath("ix"), 3484 + 2424, 6 + 3 * 17),
        Concat({Bytes({3, 0}), Le32(0), Le32(9), Le32(0), Bytes({2}), Text("ab"), Bytes({0, 0, 0, 0, 0, 0}),
                Le32(7), Le32(0), Bytes({3}), Text("abc"), Bytes({0, 0, 0, 0, 0}), Le32(8), Le32(0),
                Bytes({3}), Text("abd"), Bytes({0, 0, 0, 0, 0})}));
    EXPECT_EQ(BytesAt(IndexPath("ix"), 3484, 6 + 39),
              Concat({Bytes({1, 0}), Le32(0), Le32(5), Le32(0), Bytes({1}), Text("x"),
                      std::vector<unsigned char>(29, 0)}));
}

TEST_F(IndexFile, AFreedPageHoldsTheChainLinkAndIsReusedFirst) {
    Fileblock* fb = CreateAndOpen("ix", {{8, false}});
    FbInsertKey(fb, 1, 1, "a");
    FbRemoveKey(fb, 1, 1, "a");
    ASSERT_TRUE(FbOk);
    fb = Reopen(fb, "ix");
    EXPECT_EQ(BytesAt(IndexPath("ix"), 0, 28), KeyHeader(1, 1, 1, 1060, 0, false, 0));
    EXPECT_EQ(BytesAt(IndexPath("ix"), 1060, 4), Le32(-1));
    FbInsertKey(fb, 1, 2, "b");
    ASSERT_TRUE(FbOk);
    Close(fb);
    EXPECT_EQ(BytesAt(IndexPath("ix"), 0, 28), KeyHeader(-1, 0, 1, 1060, 1, false, 1));
}

TEST_F(IndexFile, OpenChecksEachKeyHeader) {
    struct Case {
        const char* name;
        std::size_t offset;
        std::vector<unsigned char> bytes;
        int code;
    };
    const std::vector<Case> cases = {
        {"items per page 0 reads as 62", 26, Bytes({0, 0}), 0},
        {"items per page 63", 26, Bytes({63, 0}), 10122},
        {"items per page 61: only full pages are valid", 26, Bytes({61, 0}), 10120},
        {"page size one byte too long", 12, Le32(1061), 10120},
        {"page size that wraps in 32 bits to a key of length 1", 12, Le32(15892005), 10120},
        {"largest page size", 12, Le32(0x7FFFFFFF), 10120},
        {"page size of a 31-character key", 12, Le32(62 * 31 + 564), 10121},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fileblock* fb = CreateAndOpen("ix", {{8, false}});
        Close(fb);
        PatchFile(IndexPath("ix"), c.offset, c.bytes);
        FbOpen(fb, Path("ix"), false, false, false, false);
        EXPECT_EQ(FbErrorCode, c.code);
        if (FbOk) FbClose(fb);
    }
}

TEST_F(IndexFile, DamagedPagesAreRefusedAsAFileDefect) {
    // Root page 3 holds RecordKey(32) over leaves 1 (1..31) and 2 (33..63); rows are 1060 bytes.
    const auto build = [&] {
        Fileblock* fb = CreateAndOpen("ix", {{8, false}});
        for (int n = 1; n <= 63; ++n)
            FbInsertKey(fb, 1, n, RecordKey(n));
        Close(fb);
        ASSERT_EQ(Check("ix").keys[0].shape, "1(31 31)");
    };
    struct Case {
        const char* name;
        std::size_t offset;
        std::vector<unsigned char> bytes;
        int probe; // a record key whose search reaches the damage
    };
    const std::vector<Case> cases = {
        {"page of 0 items", 1060, Bytes({0, 0}), 1},
        {"page of 63 items", 1060, Bytes({63, 0}), 1},
        {"text longer than the key", 1060 + 6 + 8, Bytes({9}), 1},
        {"child beyond the allocated pages", 3 * 1060 + 6 + 4, Le32(99), 63},
        {"leaf and inner children mixed", 3 * 1060 + 2, Le32(0), 63},
        {"child pointing back at its page", 3 * 1060 + 6 + 4, Le32(3), 63},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        build();
        PatchFile(IndexPath("ix"), c.offset, c.bytes);
        Fileblock* fb = Open("ix");
        std::int32_t reference = 0;
        FbFindKey(fb, 1, reference, RecordKey(c.probe));
        EXPECT_EQ(FbErrorCode, 10010);
        FbInsertKey(fb, 1, 500, RecordKey(c.probe));
        EXPECT_EQ(FbErrorCode, 10010);
        FbRemoveKey(fb, 1, c.probe, RecordKey(c.probe));
        EXPECT_EQ(FbErrorCode, 10010);
        // Stepping through ends at the damage, never in a loop.
        std::string text;
        int steps = 0;
        do {
            FbStepKey(fb, 1, reference, text);
        } while (FbOk && ++steps < 1000);
        EXPECT_EQ(FbErrorCode, 10010);
        Close(fb);
    }
}

TEST_F(IndexFile, AnInsertNeverMakesANinthLevel) {
    WriteDeepIndex("deep", 0);
    const std::vector<unsigned char> before = test::ReadWholeFile(IndexPath("deep"));

    Fileblock* fb = Open("deep");
    FbInsertKey(fb, 1, 99, "\x01");
    EXPECT_EQ(FbErrorCode, 10010);
    Close(fb);
    // The split pages were put back: the first 16 rows are as they were.
    const std::vector<unsigned char> after = test::ReadWholeFile(IndexPath("deep"));
    ASSERT_GT(after.size(), before.size()) << "the splits ran before the ninth level was refused";
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
}

TEST_F(IndexFile, ABadFreeChainIsRefused) {
    struct Case {
        const char* name;
        std::size_t offset;
        std::vector<unsigned char> bytes;
    };
    // Page 1 is the only page, free, its link -1; the header counts one free page.
    const std::vector<Case> cases = {
        {"page linked to itself", 1060, Le32(1)},
        {"chain shorter than the count", 4, Le32(2)},
        {"chain longer than the count", 4, Le32(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fileblock* fb = CreateAndOpen("ix", {{8, false}});
        FbInsertKey(fb, 1, 1, "a");
        FbRemoveKey(fb, 1, 1, "a");
        Close(fb);
        PatchFile(IndexPath("ix"), c.offset, c.bytes);
        fb = Open("ix");
        FbInsertKey(fb, 1, 2, "b");
        EXPECT_EQ(FbErrorCode, 10170);
        std::int32_t reference = 0;
        FbFindKey(fb, 1, reference, "b");
        EXPECT_EQ(FbErrorCode, 10200) << "nothing was inserted";
        Close(fb);
    }
}

TEST_F(IndexFile, KeyCountsThatDoNotFitTheFileAreRefusedAtOpen) {
    // Key 2's header follows key 1's: a sound one of two leaves under a root, 3 pages in all.
    struct Case {
        const char* name;
        std::size_t offset; // in key 2's header
        std::int32_t value;
    };
    const std::vector<Case> cases = {
        {"10^8 pages allocated", 8, 100000000},
        {"one page more than the rows", 8, 4},
        {"pages allocated below zero", 8, -1},
        {"pages allocated at the 32-bit limit", 8, 0x7FFFFFFF},
        {"root beyond the allocated pages", 16, 4},
        {"root below zero", 16, -1},
        {"first free page 0", 0, 0},
        {"first free page beyond the allocated ones", 0, 4},
        {"first free page below -1", 0, -5},
    };
    const auto build = [this] {
        Fileblock* fb = CreateAndOpen("ix", {{8, false}, {8, false}});
        for (int i = 1; i <= 63; ++i)
            FbInsertKey(fb, 2, i, RecordKey(i));
        Close(fb);
        ASSERT_EQ(BytesAt(IndexPath("ix"), 1060, 20),
                  Concat({Le32(-1), Le32(0), Le32(3), Le32(1060), Le32(3)}));
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        build();
        PatchFile(IndexPath("ix"), 1060 + c.offset, Le32(c.value));
        const std::vector<unsigned char> before = test::ReadWholeFile(IndexPath("ix"));
        Fileblock* fb = nullptr;
        FbOpen(fb, Path("ix"), false, false, false, false);
        EXPECT_EQ(FbErrorCode, 10010);
        EXPECT_EQ(fb, nullptr);
        EXPECT_EQ(test::ReadWholeFile(IndexPath("ix")), before) << "nothing written, nothing grown";
        if (fb) Close(fb);
    }
    // The sound header opens.
    build();
    Fileblock* fb = Open("ix");
    ASSERT_NE(fb, nullptr);
    Close(fb);
}

} // namespace
