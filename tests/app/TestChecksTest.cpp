#include "app/TestChecks.h"
#include "app/TestFieldText.h"
#include "engine/BrinovaDEF.h"

#include <gtest/gtest.h>

// The range table, its bound texts and warnings; the texts that pass between the test form's
// controls and the stored blocks.

TEST(TestChecks, TableInOrderWithTheLocalesSeparator) {
    struct Row {
        const char* edit;
        const char* label;
        const char* lower;
        const char* upper;
    };
    const std::vector<Row> expected = {
        {"eVolume", "Volume", "1", "99999999"},
        {"eAlkalinity", "Total Alkalinity", "0", "1000"},
        {"ePH", "pH", "0", "14,0"},
        {"eHardness", "Total Hardness", "0", "10000"},
        {"eCopper", "Copper", "0", "5,0"},
        {"eIron", "Iron", "0", "5,0"},
        {"eTDS", "TDS", "0", "10000"},
        {"eORP", "ORP", "0", "1000"},
        {"eTotalChlorine", "Total chlorine", "0", "30"},
        {"eFree", "Free chlorine can only be equal to or lower than total chlorine", "0", "2,5"},
        {"eBromine", "Bromine", "0", "60"},
        {"eCyanuric", "Cyanuric Acid", "0", "100"},
        {"eTemperature", "Temperature", "0", "120"},
        {"eAcid", "Acid Demand", "0", "1000"},
    };
    const std::vector<TRangeCheck> checks = TestRangeChecks(u',', "2,5", false);
    ASSERT_EQ(checks.size(), expected.size());
    for (std::size_t i = 0; i < checks.size(); ++i) {
        SCOPED_TRACE(expected[i].edit);
        EXPECT_STREQ(checks[i].editName, expected[i].edit);
        EXPECT_EQ(checks[i].label, expected[i].label);
        EXPECT_EQ(checks[i].lower, expected[i].lower);
        EXPECT_EQ(checks[i].upper, expected[i].upper);
    }
    EXPECT_EQ(TestRangeChecks(u'.', "", true)[12].upper, "248");
    EXPECT_EQ(TestRangeChecks(u'.', "", true)[2].upper, "14.0");
}

TEST(TestChecks, BoundTextsReadWithTheLocalesSeparatorAndOtherwiseZero) {
    struct Case {
        const char* text;
        QChar separator;
        long double value;
    };
    const std::vector<Case> cases = {
        {"14.0", u'.', 14.0L},
        {" 14,0\t", u',', 14.0L},
        {"14.0", u',', 0.0L},
        {"", u'.', 0.0L},
        {"  ", u'.', 0.0L},
        {"abc", u'.', 0.0L},
        {"99999999", u'.', 99999999.0L},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BoundValue(c.text, c.separator), c.value) << c.text;
}

TEST(TestChecks, WarningsNameTheFieldAndItsRange) {
    const auto text = [](const char* label, const char* lower, const char* upper) {
        return RangeWarningText({"e", label, lower, upper});
    };
    EXPECT_EQ(text("Volume", "1", "99999999"), "Volume: Available value range 1 .. unlimited");
    EXPECT_EQ(text("Volume", "1", "999999999"), "Volume: Available value range 1 .. unlimited");
    EXPECT_EQ(text("pH", "0", "14.0"), "pH: Available value range 0 .. 14.0");
    EXPECT_EQ(text("Temperature", "0", "120"), "Temperature: Available value range 0 .. 120");
    // Compared as plain text, "99999998" stays and "A" counts as above the top bound.
    EXPECT_EQ(text("X", "0", "99999998"), "X: Available value range 0 .. 99999998");
    EXPECT_EQ(text("X", "0", ""), "X: Available value range 0 .. ");
}

TEST(TestChecks, BoundsAreInclusiveAndFreeChlorineFollowsTotalChlorinesText) {
    const std::vector<TRangeCheck> checks = TestRangeChecks(u',', "1,5", false);
    struct Case {
        std::size_t check;
        long double value;
        bool passes;
    };
    const std::vector<Case> cases = {
        {0, 0, false},       {0, 1, true},    {0, 1e9L, false}, {2, 14, true},
        {2, 14.001L, false}, {4, 5, true},    {8, 30, true},    {9, 1.5L, true},
        {9, 1.501L, false},  {12, 120, true}, {12, 121, false}, {13, -0.001L, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PassesRange(c.value, checks[c.check], u','), c.passes)
            << checks[c.check].editName << " " << static_cast<double>(c.value);
    // An empty total chlorine bounds free chlorine at 0.
    EXPECT_FALSE(PassesRange(0.5L, TestRangeChecks(u'.', "", false)[9], u'.'));
}

TEST(TestChecks, BlankNoteBecomesTheKindsCaption) {
    EXPECT_EQ(FilledBodyNote("", 1), "Spa/Hot Tub");
    EXPECT_EQ(FilledBodyNote(" \n\t", 0), "Pool");
    EXPECT_EQ(FilledBodyNote("Back garden", 0), std::nullopt);
    EXPECT_EQ(FilledBodyNote("", -1), std::nullopt);
}

TEST(TestFieldText, MemoTextsStoreWithCrLfAndTheirZeroTerminator) {
    EXPECT_EQ(MemoTextOf("Pool Shop\r\nMain St"), "Pool Shop\nMain St");
    EXPECT_EQ(StoredMemoText("Pool Shop\nMain St", kSupplierCapacity), "Pool Shop\r\nMain St");
    EXPECT_EQ(StoredMemoText(QString(200, u'x'), kSupplierCapacity), std::string(127, 'x'));
    EXPECT_EQ(StoredMemoText(QString(63, u'x') + u'\n', kTestNoteCapacity), std::string(63, 'x'));
    EXPECT_EQ(StoredMemoText(QString::fromUtf8("Caf\u00e9"), kTestNoteCapacity), "Caf\xe9");
    EXPECT_EQ(StoredLength("ab\ncd"), 6);
}

namespace {

platform::FormatSettings Settings(QChar separator, const char* shortTime) {
    platform::FormatSettings settings;
    settings.timeSeparator = separator;
    settings.shortTimeFormat = shortTime;
    settings.timeAMString = "AM";
    settings.timePMString = "PM";
    return settings;
}

double TimeOf(int h, int m, int s = 0) {
    return (h * 3600.0 + m * 60.0 + s) / 86400.0;
}

} // namespace

TEST(TestFieldText, TimeEditShowsHoursAndMinutesThatFitItsFiveCharacters) {
    const double time = 46000.0 + TimeOf(14, 5, 30); // a date part does not show
    EXPECT_EQ(TimeEditText(time, Settings(u':', "h:nn AMPM")), "14:05");
    EXPECT_EQ(TimeEditText(time, Settings(u'.', "hh:nn")), "14.05");
    EXPECT_EQ(TimeEditText(TimeOf(7, 0), Settings(u':', "hh:nn")), "07:00");
    EXPECT_EQ(TimeEditText(TimeOf(7, 0), Settings(u':', "'at' hh:nn")), "7:00");
}

TEST(TestFieldText, TypedTimesReadAsTheTimeOfDay) {
    struct Case {
        const char* text;
        std::optional<double> time;
    };
    const platform::FormatSettings colon = Settings(u':', "h:nn");
    const std::vector<Case> cases = {
        {"14:05", TimeOf(14, 5)},
        {" 9:5 ", TimeOf(9, 5)},
        {"23:59:59", TimeOf(23, 59, 59)},
        {"", 0.0},
        {"   ", 0.0},
        {"2:05 PM", TimeOf(14, 5)},
        {"12:00am", TimeOf(0, 0)},
        {"PM 12:30", TimeOf(12, 30)},
        {"24:00", std::nullopt},
        {"9:60", std::nullopt},
        {"12:7x", std::nullopt},
        {"13:00 PM", std::nullopt},
        {"14", std::nullopt},
        {"1:2:3:4", std::nullopt},
        {"14.05", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseTimeText(c.text, colon), c.time) << c.text;
    EXPECT_EQ(ParseTimeText("14.05", Settings(u'.', "hh:nn")), TimeOf(14, 5));
    EXPECT_EQ(InvalidTimeText("12:7x"), "Time: '12:7x' is not a valid time");
}
