#include "engine/NumberTexts.h"

#include <gtest/gtest.h>

namespace {

ReportCall CallWithLitres(long double litres, char separator = '.') {
    ReportCall call;
    call.body.volume = litres;
    call.body.volumeUnit = 0;
    call.decimalSeparator = separator;
    return call;
}

TEST(NumberTexts, StripBlanksRemovesOnlyBlanks) {
    EXPECT_EQ(StripBlanks("  1 2\t3 "), "12\t3");
    EXPECT_TRUE(IsBlank("   "));
    EXPECT_TRUE(IsBlank(""));
    EXPECT_FALSE(IsBlank(" \t "));
}

TEST(NumberTexts, IntTextRightAlignsAndNeverCuts) {
    EXPECT_EQ(IntText(5, 4), "   5");
    EXPECT_EQ(IntText(-7, 0), "-7");
    EXPECT_EQ(IntText(12345, 3), "12345");
}

TEST(NumberTexts, FixedTextRoundsHalfAwayFromZeroAtEighteenDigits) {
    struct Case {
        const char* label;
        int width, decimals;
        long double x;
        char separator;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"half up", 0, 2, 0.125L, '.', "0.13"},
        {"half away below zero", 0, 1, -0.25L, '.', "-0.3"},
        {"double 0.105 lies below the half", 0, 2, static_cast<double>(0.105), '.', "0.10"},
        {"80-bit 0.105 is the half at 18 digits", 0, 2, 0.105L, '.', "0.11"},
        {"no minus zero, one decimal", 0, 1, -0.04L, '.', "0.0"},
        {"no minus zero, whole", 0, 0, -0.4L, '.', "0"},
        {"no minus zero, two decimals", 0, 2, -0.001L, '.', "0.00"},
        {"comma separator, padded", 8, 2, 3.14159L, ',', "    3,14"},
        {"never cut", 2, 2, 123.456L, '.', "123.46"},
        {"whole", 0, 0, 454.61L, '.', "455"},
    };
    for (const Case& c : cases) {
        ReportCall call = CallWithLitres(1000, c.separator);
        EXPECT_EQ(FixedText(call, c.width, c.decimals, c.x), c.expected) << c.label;
    }
}

TEST(NumberTexts, TextToNumberReadsWhatFixedTextWrote) {
    ReportCall comma = CallWithLitres(1000, ',');
    EXPECT_EQ(TextToFloatSafe(comma, FixedText(comma, 10, 2, 0.4L)), 0.4L);
    EXPECT_EQ(TextToFloatSafe(comma, StripBlanks(FixedText(comma, 10, 1, -12.25L))), -12.3L);

    struct Case {
        const char* text;
        char separator;
        long double asFloat;
        std::int32_t asInt;
    };
    const std::vector<Case> cases = {
        {"", '.', 0, 0},         {"   ", '.', 0, 0},    {"abc", '.', 0, 0},     {"1.5", ',', 0, 0},
        {"2.5", '.', 2.5L, 2},   {"3.5", '.', 3.5L, 4}, {"120", '.', 120, 120}, {"0,40", ',', 0.4L, 0},
        {"1e20", '.', 1e20L, 0}, // beyond 32 bits: 0, never an error
    };
    for (const Case& c : cases) {
        ReportCall call = CallWithLitres(1000, c.separator);
        EXPECT_EQ(TextToFloatSafe(call, c.text), c.asFloat) << '"' << c.text << '"';
        EXPECT_EQ(TextToIntSafe(call, c.text), c.asInt) << '"' << c.text << '"';
    }
}

TEST(NumberTexts, DoseTextSwitchesToTheLargeUnitAbove1000) {
    struct Case {
        long double x;
        char separator;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0, '.', ""},
        {0.4L, '.', "0.40 ml "},
        {0.4L, ',', "0,40 ml "},
        {0.999L, '.', "1.00 ml "},
        {1, '.', "1 ml "},
        {1000.4L, '.', "1000 ml "},
        {1001, '.', "1.00 l "},
        {6137.2L, '.', "6.14 l "},
        {6137.2L, ',', "6,14 l "},
    };
    for (const Case& c : cases) {
        ReportCall call = CallWithLitres(1000, c.separator);
        EXPECT_EQ(DoseText(call, "ml ", "l ", c.x), c.expected) << static_cast<double>(c.x);
    }
}

TEST(NumberTexts, RowAmountTextShowsTheAmountOrTheStatus) {
    struct Case {
        double amount;
        const char* status;
        const char* text;
        const char* bold;
    };
    const std::vector<Case> cases = {
        {2500, "ml", "2.50 l", "<b>2.50 l</b> of "},
        {2500, "gr", "2.50 kg", "<b>2.50 kg</b> of "},
        {1500, "oz", "1.50 oz", "<b>1.50 oz</b> of "},
        {1000.4, "ml", "1000 ml", "<b>1000 ml</b> of "},
        {454.25, "ml", "454 ml", "<b>454 ml</b> of "},
        {0.5, "gr", "0.50 gr", "<b>0.50 gr</b> of "},
        {0, "TA is fine", "TA is fine", "<b>TA is fine</b> of "},
        {0, "", "", ""},
    };
    for (const Case& c : cases) {
        ReportCall call = CallWithLitres(1000);
        call.Row(3).amount = c.amount;
        call.Row(3).status = c.status;
        EXPECT_EQ(RowAmountText(call, 3), c.text) << c.amount << ' ' << c.status;
        EXPECT_EQ(RowAmountBold(call, 3), c.bold) << c.amount << ' ' << c.status;
    }
}

TEST(NumberTexts, DoseByCodeScalesToTheVolume) {
    // 10 000 imperial gallons are 45 461 litres; V / 1000 = 45.461.
    ReportCall call;
    call.body.volume = 10000;
    call.body.volumeUnit = 2;
    ASSERT_EQ(VolumeLitresOf(call), 45461);
    call.Row(1).result = "140";
    const std::vector<std::pair<int, const char*>> cases = {
        {14, "<b>455 ml </b>"},  // 454.61 ml
        {15, "<b></b>"},         // no dose
        {16, "<b>1.14 l </b>"},  // 1136.525 ml
        {17, "<b>1.45 l </b>"},  // 1454.752 ml
        {18, "<b>6.14 l </b>"},  // 45.461 x 9 x 15 = 6137.235 ml
        {19, "<b></b>"},         // no dose
        {20, "<b>3.46 kg </b>"}, // (140 - 100) / 10 x 45.461 x 19 = 3455.036 gr
        {21, "<b>546 gr </b>"},  // 545.532 gr
        {22, "<b>455 gr </b>"},  // 454.61 gr
        {23, "<b>455 ml </b>"},  // 454.61 ml
        {24, "<b>1.14 l </b>"},  // 1136.525 ml
        {25, "<b>455 ml </b>"},  // 454.61 ml
        {31, "<b>2.73 kg </b>"}, // 2727.66 gr
        {32, "<b>1.14 kg </b>"}, // 1136.525 gr
        {33, "<b>4.55 l </b>"},  // 4546.1 ml
        {34, "<b>1.36 l </b>"},  // 1363.83 ml
        {99, "<b></b>"},         {0, "<b></b>"},
    };
    for (const auto& [code, expected] : cases)
        EXPECT_EQ(DoseByCode(call, code), expected) << "code " << code;

    call.Row(1).result = "100"; // no alkalinity to take off: no dose
    EXPECT_EQ(DoseByCode(call, 20), "<b></b>");
}

TEST(NumberTexts, SanitizerDosesTakeTheirUnitFromTheAmountsStatus) {
    struct Case {
        double amount;
        const char* status;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {27.255, "gr", "<b>27 gr </b>"},
        {2500, "gr", "<b>2.50 kg </b>"},
        {1800, "ml", "<b>1.80 l </b>"},
        {0.9, "ml", "<b>0.90 ml </b>"},
        {0, "", "<b></b>"},
    };
    for (const Case& c : cases) {
        ReportCall call = CallWithLitres(1000);
        call.Row(8).unit = "ppm"; // the measurement unit, as seeded: never the amount's unit
        call.Row(8).amount = c.amount;
        call.Row(8).status = c.status;
        for (int code = 26; code <= 30; ++code)
            EXPECT_EQ(DoseByCode(call, code), c.expected) << "code " << code << ", " << c.amount;
    }
    ReportCall call = CallWithLitres(1000);
    call.Row(9).amount = 6137.235;
    call.Row(9).status = "ml";
    EXPECT_EQ(DoseByCode(call, 35), "<b>6.14 l </b>");
}

} // namespace
