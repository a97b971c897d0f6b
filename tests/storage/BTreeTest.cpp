#include "BTreeFixture.h"

#include "storage/KeyOrder.h"

#include <array>
#include <climits>
#include <random>

using namespace storagetest;

namespace {

TEST(KeyOrder, ComparesUnsignedBytesThenLength) {
    struct Case {
        const char* name;
        std::string a, b;
        int expected;
    };
    const std::vector<Case> cases = {
        {"equal", "abc", "abc", 0},
        {"prefix sorts first", "ab", "abc", -1},
        {"longer sorts after", "abc", "ab", 1},
        {"empty before all", "", "a", -1},
        {"upper before lower", "Z", "a", -1},
        {"high byte after ascii", "\xE9", "z", 1},
        {"first difference decides", "abz", "abca", 1},
        {"right-aligned numbers", "       9", "      10", -1},
        {"unpadded numbers", "10", "9", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(storage::CompareKeyText(c.a, c.b), c.expected) << c.name;
}

// The page search compares eight bytes at a time with whatever follows a text in its slot:
// it must order every pair as the byte-wise comparison does, whatever lies past the texts.
TEST(KeyOrder, PaddedComparisonOrdersAsBytewise) {
    std::mt19937 rng(7);
    const std::string alphabet = std::string("\x00 09AZaz\x7F\x80\xE9\xFF", 12);
    auto randomText = [&] {
        std::string text(rng() % 31, ' ');
        for (char& c : text)
            c = alphabet[rng() % alphabet.size()];
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string a = randomText();
        // Often the same text or a prefix of it with one byte changed, so ties and late
        // differences in every word position are common.
        std::string b = round % 2 == 0 ? randomText() : a.substr(0, rng() % (a.size() + 1));
        if (round % 4 == 1 && !b.empty()) b[rng() % b.size()] = alphabet[rng() % alphabet.size()];
        std::array<unsigned char, storage::kPaddedKeyText> pa, pb;
        for (auto& c : pa)
            c = static_cast<unsigned char>(rng());
        for (auto& c : pb)
            c = static_cast<unsigned char>(rng());
        std::copy(a.begin(), a.end(), pa.begin());
        std::copy(b.begin(), b.end(), pb.begin());
        ASSERT_EQ(storage::ComparePaddedKeyText(pa.data(), a.size(), pb.data(), b.size()),
                  storage::CompareKeyText(a, b))
            << "\"" << a << "\" against \"" << b << "\"";
    }
}

TEST(KeyOrder, EqualTextsOrderByReferenceWithoutOverflow) {
    EXPECT_LT(storage::CompareEntry("a", "a", 3, true, 7), 0);
    EXPECT_EQ(storage::CompareEntry("a", "a", 7, false, 3), 0);
    // A subtraction would wrap here and turn the order around.
    EXPECT_LT(storage::CompareEntry("a", "a", INT_MIN, true, 1), 0);
    EXPECT_GT(storage::CompareEntry("a", "a", INT_MAX, true, -1), 0);
    EXPECT_LT(storage::CompareEntry("a", "b", 9, true, 1), 0);
}

class KeyOperations : public BTreeFixture {
protected:
    void SetUp() override {
        BTreeFixture::SetUp();
        StartEngine(8);
        fb = CreateAndOpen("keys", {{8, false}, {8, true}});
    }
    void Insert(int key, std::int32_t reference, const std::string& text) {
        FbInsertKey(fb, static_cast<std::uint16_t>(key), reference, text);
        ASSERT_TRUE(FbOk) << FbErrorCode;
    }
    std::pair<std::int32_t, std::string> Step(int key) {
        std::int32_t reference = -1;
        std::string text;
        FbStepKey(fb, static_cast<std::uint16_t>(key), reference, text);
        return {FbOk ? reference : -FbErrorCode, text};
    }
    Fileblock* fb = nullptr;
};

TEST_F(KeyOperations, EmptyKeyFindsNothingAndStepsToTheEnd) {
    std::int32_t reference = 5;
    FbFindKey(fb, 1, reference, "x");
    EXPECT_EQ(FbErrorCode, 10200);
    EXPECT_EQ(reference, 0);
    EXPECT_EQ(Step(1).first, -10250);
    EXPECT_EQ(Step(1).first, -10250);
}

TEST_F(KeyOperations, DuplicatesFindTheLowestReferenceThenStepInOrder) {
    Insert(2, 7, "A");
    Insert(2, 3, "A");
    Insert(2, 5, "B");
    std::int32_t reference = 0;
    FbFindKey(fb, 2, reference, "A");
    ASSERT_TRUE(FbOk);
    EXPECT_EQ(reference, 3);
    EXPECT_EQ(Step(2), std::make_pair(7, std::string("A")));
    EXPECT_EQ(Step(2), std::make_pair(5, std::string("B")));
    EXPECT_EQ(Step(2).first, -10250);
    EXPECT_EQ(Step(2), std::make_pair(3, std::string("A"))); // starts over
}

TEST_F(KeyOperations, FindNeedsTheWholeText) {
    Insert(1, 1, "abcd");
    Insert(2, 1, "abcd");
    std::int32_t reference = 0;
    for (int key : {1, 2}) {
        FbFindKey(fb, static_cast<std::uint16_t>(key), reference, "abc");
        EXPECT_EQ(FbErrorCode, 10200) << key;
        FbFindKey(fb, static_cast<std::uint16_t>(key), reference, "abcde");
        EXPECT_EQ(FbErrorCode, 10200) << key;
        FbFindKey(fb, static_cast<std::uint16_t>(key), reference, "abcd");
        EXPECT_TRUE(FbOk) << key;
        EXPECT_EQ(reference, 1);
    }
}

TEST_F(KeyOperations, RightAlignedRecordKeysSortNumerically) {
    for (int n : {10, 9, 100, 1})
        Insert(1, n, RecordKey(n));
    std::vector<std::int32_t> order;
    for (int i = 0; i < 4; ++i)
        order.push_back(Step(1).first);
    EXPECT_EQ(order, (std::vector<std::int32_t>{1, 9, 10, 100}));
}

TEST_F(KeyOperations, RefusalsChangeNothing) {
    Insert(1, 1, "a");
    Insert(2, 1, "a");
    struct Case {
        const char* name;
        int key;
        bool insert;
        std::int32_t reference;
        std::string text;
        int code;
    };
    const std::vector<Case> cases = {
        {"text longer than the key", 1, true, 2, "123456789", 10125},
        {"same text in a unique key", 1, true, 2, "a", 10230},
        {"same pair in a duplicates key", 2, true, 1, "a", 10230},
        {"absent text", 1, false, 1, "b", 10220},
        {"absent pair", 2, false, 2, "a", 10220},
        {"key number 0", 0, true, 1, "b", 10164},
        {"key number 3", 3, false, 1, "a", 10164},
    };
    for (const Case& c : cases) {
        if (c.insert)
            FbInsertKey(fb, static_cast<std::uint16_t>(c.key), c.reference, c.text);
        else
            FbRemoveKey(fb, static_cast<std::uint16_t>(c.key), c.reference, c.text);
        EXPECT_EQ(FbErrorCode, c.code) << c.name;
    }
    Insert(2, 2, "a"); // a new reference under the same text is a new entry
    fb = Reopen(fb, "keys");
    const IndexReport report = Check("keys");
    EXPECT_EQ(report.keys[0].entryCount, 1);
    EXPECT_EQ(report.keys[1].entryCount, 2);
}

TEST_F(KeyOperations, TextsAreCutToThirtyCharacters) {
    Fileblock* wide = CreateAndOpen("wide", {{30, false}});
    const std::string thirty(30, 'x');
    FbInsertKey(wide, 1, 4, thirty + "tail");
    ASSERT_TRUE(FbOk) << FbErrorCode;
    std::int32_t reference = 0;
    FbFindKey(wide, 1, reference, thirty + "other");
    EXPECT_TRUE(FbOk);
    EXPECT_EQ(reference, 4);
    FbRemoveKey(wide, 1, 4, thirty + "more");
    EXPECT_TRUE(FbOk);
    Close(wide);
}

TEST_F(KeyOperations, StepAfterRemovingTheEntryUnderTheCursorYieldsItsFollower) {
    for (int n = 1; n <= 200; ++n)
        Insert(1, n, RecordKey(n));
    std::int32_t reference = 0;
    FbFindKey(fb, 1, reference, RecordKey(77));
    ASSERT_TRUE(FbOk);
    FbRemoveKey(fb, 1, 77, RecordKey(77));
    ASSERT_TRUE(FbOk);
    std::string text = RecordKey(77);
    reference = 77;
    FbStepKey(fb, 1, reference, text);
    ASSERT_TRUE(FbOk);
    EXPECT_EQ(reference, 78);
    // Inserting behind the cursor does not disturb the step after it either.
    FbInsertKey(fb, 1, 1000, "  zzzzzz");
    FbStepKey(fb, 1, reference, text);
    EXPECT_EQ(reference, 79);
}

TEST_F(KeyOperations, RewindStartsAtTheFirstEntry) {
    for (int n : {3, 1, 2})
        Insert(1, n, RecordKey(n));
    EXPECT_EQ(Step(1).first, 1);
    EXPECT_EQ(Step(1).first, 2);
    FbRewindKey(fb, 1);
    EXPECT_EQ(Step(1).first, 1);
}

TEST_F(KeyOperations, FirstInsertMakesARootLeafAndLastRemovalFreesIt) {
    Insert(1, 9, "only");
    fb = Reopen(fb, "keys");
    IndexReport report = Check("keys");
    EXPECT_EQ(report.keys[0].root, 1);
    EXPECT_EQ(report.keys[0].entryCount, 1);
    EXPECT_EQ(report.keys[0].height, 1);
    FbRemoveKey(fb, 1, 9, "only");
    ASSERT_TRUE(FbOk);
    fb = Reopen(fb, "keys");
    report = Check("keys");
    EXPECT_EQ(report.keys[0].root, 0);
    EXPECT_EQ(report.keys[0].freeChain, (std::vector<std::int32_t>{1}));
    EXPECT_EQ(report.keys[0].entryCount, 0);
}

TEST_F(KeyOperations, ChangesAreRefusedOnAReadOnlyFileblock) {
    Insert(1, 1, "a");
    Close(fb);
    FbOpen(fb, Path("keys"), true, false, false, false);
    ASSERT_TRUE(FbOk);
    FbInsertKey(fb, 1, 2, "b");
    EXPECT_EQ(FbErrorCode, 10065);
    FbRemoveKey(fb, 1, 1, "a");
    EXPECT_EQ(FbErrorCode, 10065);
    std::int32_t reference = 0;
    FbFindKey(fb, 1, reference, "a");
    EXPECT_TRUE(FbOk);
    Close(fb);
}

} // namespace
