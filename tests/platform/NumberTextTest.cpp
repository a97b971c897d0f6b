#include "platform/NumberText.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace platform;

TEST(NumberText, FormatFixedRoundsHalfAwayFromZeroOnEighteenDigits) {
    struct Case {
        long double value;
        int decimals;
        char separator;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0.125L, 2, '.', "0.13"},
        {0.105, 2, '.', "0.10"},  // the double 0.105 is 0.10499999999999999611...
        {0.105L, 2, '.', "0.11"}, // the extended 0.105 is 0.1049999999999999999702: 18 digits give ...500
        {-0.25L, 1, '.', "-0.3"},
        {2.5L, 0, '.', "3"},
        {-2.5L, 0, '.', "-3"},
        {0.4L, 2, ',', "0,40"},
        {1000.4L, 0, '.', "1000"},
        {6137.2L / 1000, 2, '.', "6.14"},
        {9.995L, 2, '.', "10.00"},
        {999.5L, 0, '.', "1000"},
        {0.0L, 2, '.', "0.00"},
        {-0.0L, 1, '.', "0.0"},
        {-0.004L, 2, '.', "0.00"}, // rounds to zero: no "-0.00"
        {-0.005L, 2, '.', "-0.01"},
        {0.0004L, 0, '.', "0"},
        {0.6L, 0, '.', "1"},
        {0.000001L, 2, '.', "0.00"},
        {123456789.0L, 0, '.', "123456789"},
        {1e20L, 2, '.', "100000000000000000000.00"},
        {1.5e-30L, 3, '.', "0.000"},
        {7.6L, 5, '.', "7.60000"},
        {12.0L, -1, '.', "12"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatFixed(c.value, c.decimals, c.separator), c.expected)
            << static_cast<double>(c.value) << " with " << c.decimals;
}

TEST(NumberText, NonFiniteValuesHaveFixedTexts) {
    const long double inf = std::numeric_limits<long double>::infinity();
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    EXPECT_EQ(FormatFixed(inf, 2, '.'), "INF");
    EXPECT_EQ(FormatFixed(-inf, 2, '.'), "-INF");
    EXPECT_EQ(FormatFixed(nan, 2, '.'), "NAN");
    EXPECT_EQ(FormatGeneral(nan, 15, '.'), "NAN");
    EXPECT_EQ(FormatPicture(inf, "### ### ###", '.', ','), "INF");
    // The largest extended value still gives all its digits.
    EXPECT_EQ(FormatFixed(std::numeric_limits<long double>::max(), 0, '.').size(), 4933u);
}

TEST(NumberText, FormatGeneralPicksShortestNotation) {
    struct Case {
        long double value;
        int digits;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0.0L, 15, "0"},         {1.0L, 15, "1"},           {-2.5L, 15, "-2.5"},
        {7.6L, 15, "7.6"},       {0.1L, 15, "0.1"},         {1.0L / 3, 15, "0.333333333333333"},
        {2.0L / 3, 4, "0.6667"}, {123456.0L, 4, "1.235E5"}, {1234.0L, 4, "1234"},
        {9999.5L, 4, "1E4"},     {1e20L, 15, "1E20"},       {0.0001L, 15, "0.0001"},
        {0.00001L, 15, "1E-5"},  {-1.5e-7L, 15, "-1.5E-7"}, {100.0L, 15, "100"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatGeneral(c.value, c.digits, '.'), c.expected) << static_cast<double>(c.value);
    EXPECT_EQ(FormatGeneral(2.5L, 15, ','), "2,5");
}

TEST(NumberText, FormatPictureGroupsWithoutLeadingBlanks) {
    struct Case {
        long double value;
        const char* picture;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {45461.0L, "### ### ###", "45 461"},
        {37854.0L, "### ### ###", "37 854"},
        {4.0L, "### ### ###", "4"},
        {0.0L, "### ### ###", "0"},
        {0.4L, "### ### ###", "0"},
        {999.5L, "### ### ###", "1 000"},
        {123456789.0L, "### ### ###", "123 456 789"},
        {1234567890.0L, "### ### ###", "1234 567 890"}, // more digits than places go in front
        {-45461.0L, "### ### ###", "-45 461"},
        {1234567.0L, "#,##0", "1.234.567"}, // thousand separator given as '.'
        {5.0L, "000", "005"},
        {0.5L, "#.##", ",5"},
        {0.5L, "0.00", "0,50"},
        {2.0L, "0.##", "2"},
        {2.345L, "0.## 'kg'", "2,35 kg"},
        {-3.0L, "0;(0)", "(3)"},
        {0.0L, "0;(0);'none'", "none"},
        {-0.2L, "0;(0)", "0"}, // rounds to zero: the positive section, no sign
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatPicture(c.value, c.picture, ',', '.'), c.expected)
            << static_cast<double>(c.value) << " as " << c.picture;
}

TEST(NumberText, ParseNumberIsStrict) {
    struct Case {
        const char* text;
        char separator;
        std::optional<long double> expected;
    };
    const std::vector<Case> cases = {
        {"7.6", '.', 7.6L},
        {"  7.6 ", '.', 7.6L},
        {"-12", '.', -12.0L},
        {"+3", '.', 3.0L},
        {"0,40", ',', 0.4L},
        {".5", '.', 0.5L},
        {"5.", '.', 5.0L},
        {"1.5e3", '.', 1500.0L},
        {"1,5E-2", ',', 0.015L},
        {"0.40", ',', std::nullopt}, // the other separator is not a number
        {"1,000.5", '.', std::nullopt},
        {"", '.', std::nullopt},
        {"   ", '.', std::nullopt},
        {"-", '.', std::nullopt},
        {".", '.', std::nullopt},
        {"1.2.3", '.', std::nullopt},
        {"12abc", '.', std::nullopt},
        {"1e", '.', std::nullopt},
        {"1e+", '.', std::nullopt},
        {"inf", '.', std::nullopt},
        {"nan", '.', std::nullopt},
        {"0x10", '.', std::nullopt},
        {"1 000", '.', std::nullopt},
        {"1e99999", '.', std::nullopt}, // overflow
    };
    for (const Case& c : cases) {
        std::optional<long double> got = ParseNumber(c.text, c.separator);
        EXPECT_EQ(got.has_value(), c.expected.has_value()) << '"' << c.text << '"';
        if (got && c.expected) {
            EXPECT_EQ(*got, *c.expected) << '"' << c.text << '"';
        }
    }
}

TEST(NumberText, ParseDoubleRefusesWhatADoubleCannotHold) {
    EXPECT_EQ(ParseDouble("12,5", ','), 12.5);
    EXPECT_EQ(ParseDouble("-1e308", '.'), -1e308);
    EXPECT_EQ(ParseDouble("1e309", '.'), std::nullopt); // fits an extended value, not a double
    EXPECT_EQ(ParseDouble("-1e400", '.'), std::nullopt);
    EXPECT_EQ(ParseDouble("inf", '.'), std::nullopt);
    EXPECT_EQ(ParseDouble("1.5.", '.'), std::nullopt);
}

// The C library's numeric locale must not reach the texts: under a comma locale printf and
// strtod would write and read "1,5".
TEST(NumberText, IgnoresTheCLibrarysNumericLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale on this machine";
    EXPECT_EQ(FormatFixed(1.5L, 2, '.'), "1.50");
    EXPECT_EQ(FormatGeneral(0.25L, 15, '.'), "0.25");
    EXPECT_EQ(FormatPicture(1234567.0L, "### ### ###", '.', ','), "1 234 567");
    EXPECT_EQ(ParseNumber("2.75", '.'), 2.75L);
    EXPECT_EQ(ParseNumber("2,75", ','), 2.75L);
    EXPECT_EQ(ParseNumber("2,75", '.'), std::nullopt);
    std::setlocale(LC_NUMERIC, previous.c_str());
}
