#include "widgets/NumEditRules.h"

#include "support/QtPrinters.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace widgets;

namespace {

const NumberSeparators kPointComma{u'.', u',', "$"};          // decimal ".", thousands ","
const NumberSeparators kCommaPoint{u',', u'.', "EUR"};        // decimal ",", thousands "."
const NumberSeparators kCommaBlank{u',', QChar(0xA0), "EUR"}; // thousands neither "." nor ","

// Test texts are Latin-1, so "\xA0" is the no-break space.
QString L(const char* s) {
    return QString::fromLatin1(s);
}

} // namespace

TEST(NumEditRules, NormaliseInEachSeparatorSetup) {
    struct Case {
        const NumberSeparators* separators;
        const char* text;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {&kPointComma, " 1,234.5 ", "1234.5"},
        {&kPointComma, "", "0"},
        {&kPointComma, "-", "-0"},
        {&kPointComma, "  ", "0"},
        {&kCommaPoint, "1.234,5", "1234,5"},
        {&kCommaBlank,
         "1\xA0"
         "234.5",
         "1234,5"},
        {&kCommaBlank, "2,5", "2,5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormaliseNumberText(L(c.text), *c.separators), L(c.expected)) << c.text;
    EXPECT_EQ(NumberOfText(" 1,234.5 ", kPointComma), 1234.5L);
    EXPECT_EQ(NumberOfText("-", kPointComma), 0.0L);
    EXPECT_EQ(NumberOfText("1.2.3", kPointComma), std::nullopt);
    EXPECT_EQ(NumberOfText("inf", kPointComma), std::nullopt);
}

// Each row types one key into a text with the cursor (or selection) given.
TEST(NumEditRules, TypingFilterInEachSeparatorSetup) {
    struct Case {
        const char* name;
        const NumberSeparators* separators;
        const char* text;
        int selStart, selLength;
        char key;
        TypingRules rules;
        bool accepted;
        const char* result; // the text after the key, when accepted
    };
    const TypingRules two{2, {}};
    const TypingRules none{0, {}};
    const TypingRules percent{2, {0, 100}};
    const std::vector<Case> cases = {
        {"digit", &kPointComma, "12", 2, 0, '3', two, true, "123"},
        {"third decimal refused", &kPointComma, "1.25", 4, 0, '3', two, false, ""},
        {"decimal before the point", &kPointComma, "1.25", 0, 0, '3', two, true, "31.25"},
        {"separator at no places", &kPointComma, "1", 1, 0, '.', none, true, "1."},
        {"no digit after it", &kPointComma, "1.", 2, 0, '5', none, false, ""},
        {"letter", &kPointComma, "1", 1, 0, 'x', two, false, ""},
        {"second separator", &kPointComma, "1.5", 3, 0, '.', two, false, ""},
        {"selection replaced", &kPointComma, "123", 0, 3, '9', two, true, "9"},
        {"minus in a range from 0", &kPointComma, "", 0, 0, '-', percent, true, "-"},
        {"digit after it refused", &kPointComma, "-", 1, 0, '5', percent, false, ""},
        {"negative without a range", &kPointComma, "-", 1, 0, '5', two, true, "-5"},
        {"comma is a thousand separator", &kPointComma, "1", 1, 0, ',', two, true, "1,"},
        {"and digits go on", &kPointComma, "1,", 2, 0, '2', two, true, "1,2"},
        {"point is a thousand separator", &kCommaPoint, "1", 1, 0, '.', two, true, "1."},
        {"comma is the decimal", &kCommaPoint, "1", 1, 0, ',', two, true, "1,"},
        {"third decimal refused with comma", &kCommaPoint, "1,25", 4, 0, '3', two, false, ""},
        {"point types the decimal", &kCommaBlank, "1", 1, 0, '.', two, true, "1,"},
        {"comma types the decimal", &kCommaBlank, "1", 1, 0, ',', two, true, "1,"},
        {"decimals end at the exponent", &kPointComma, "1.2E5", 3, 0, '5', two, true, "1.25E5"},
        {"and count up to it", &kPointComma, "1.25E5", 4, 0, '3', two, false, ""},
        {"exponent with no digits", &kPointComma, "1.2", 3, 0, 'E', two, false, ""},
    };
    for (const Case& c : cases) {
        const QChar key = TypedNumberChar(QLatin1Char(c.key), *c.separators);
        const QString candidate = CandidateText(L(c.text), c.selStart, c.selLength, key);
        EXPECT_EQ(AcceptsCandidate(candidate, c.rules, *c.separators), c.accepted) << c.name;
        if (c.accepted) {
            EXPECT_EQ(candidate, L(c.result)) << c.name;
        }
    }
}

// The whole candidate is checked, not its first 63 characters.
TEST(NumEditRules, LongCandidatesAreCheckedWhole) {
    const QString digits(63, u'1');
    EXPECT_TRUE(AcceptsCandidate(digits, {}, kPointComma));
    EXPECT_FALSE(AcceptsCandidate(digits + "E", {}, kPointComma));
    EXPECT_FALSE(AcceptsCandidate(digits + "-", {}, kPointComma));
    EXPECT_FALSE(ParsesAsNumber(digits + "1.5.", kPointComma).has_value());
}

TEST(NumEditRules, EditAndDisplayTexts) {
    EXPECT_EQ(EditTextOf(1.5L, 3, true, kPointComma), "1.5");
    EXPECT_EQ(EditTextOf(2.0L, 3, true, kPointComma), "2");
    EXPECT_EQ(EditTextOf(1.23456L, 3, true, kPointComma), "1.235");
    EXPECT_EQ(EditTextOf(12.6L, 0, true, kPointComma), "13");
    EXPECT_EQ(EditTextOf(1234567.25L, 2, true, kCommaPoint), "1234567,25");
    EXPECT_EQ(EditTextOf(0.0L, 2, true, kPointComma), "");
    EXPECT_EQ(EditTextOf(0.0L, 2, false, kPointComma), "0");
    EXPECT_EQ(EditTextOf(1.0L / 3, 1000, false, kPointComma), "0.333333333333333333"); // 18 places at most

    struct Case {
        long double value;
        const char* format;
        const NumberSeparators* separators;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0.125L, ",0.##", &kPointComma, "0.13"},
        {-0.125L, ",0.##", &kPointComma, "-0.13"}, // halves away from zero
        {1234567.5L, ",0.##", &kPointComma, "1,234,567.5"},
        {1234567.5L, ",0.##", &kCommaPoint, "1.234.567,5"},
        {0.0L, ",0.##", &kPointComma, "0"},
        {0.0L, ",0.0##", &kPointComma, "0.0"},
        {7.25L, ",0.0##", &kPointComma, "7.25"},
        {999.999L, ",0.##", &kPointComma, "1,000"},
        {1.0L / 3, "", &kPointComma, "0.333333333333333"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDisplayValue(c.value, L(c.format), *c.separators), L(c.expected))
            << static_cast<double>(c.value) << " as " << c.format;
}

TEST(NumEditRules, GroupThousands) {
    EXPECT_EQ(GroupThousands("1234567.5", true, kPointComma), "1,234,567.5");
    EXPECT_EQ(GroupThousands("-1234", true, kPointComma), "-1,234");
    EXPECT_EQ(GroupThousands("123", true, kPointComma), "123");
    EXPECT_EQ(GroupThousands("1234E5", true, kPointComma), "1,234E5");
    EXPECT_EQ(GroupThousands("1234,56789", true, kCommaPoint), "1.234,56789");
    EXPECT_EQ(GroupThousands("1234", false, kPointComma), "1234");
    EXPECT_EQ(GroupThousands("", true, kPointComma), "");
}

TEST(NumEditRules, RangeChecks) {
    struct Case {
        NumberRange range;
        long double x;
        long double expected;
    };
    const std::vector<Case> cases = {
        {{0, 0}, -5, -5},     {{1, 10}, 20, 10}, {{1, 10}, 0.5L, 1}, {{1, 10}, 5, 5},    {{5, 0}, 3, 5},
        {{5, 0}, 1e9L, 1e9L}, {{0, -5}, 3, -5},  {{0, -5}, -9, -9},  {{9, 4}, 100, 100}, {{9, 4}, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckNumberRange(c.x, c.range), c.expected)
            << static_cast<double>(c.range.minValue) << ".." << static_cast<double>(c.range.maxValue)
            << " of " << static_cast<double>(c.x);
    EXPECT_EQ(RangeErrorText("Value must be between %d and %d", 2, {1, 10}, '.'),
              "Value must be between 1.00 and 10.00");
    EXPECT_EQ(RangeErrorText("Value must be between %d and %d", 0, {0, 100}, ','),
              "Value must be between 0 and 100");
    EXPECT_EQ(ClampDecimalPlaces(-3), 0);
    EXPECT_EQ(ClampDecimalPlaces(4000000000LL), 18);
}

TEST(NumEditRules, UserSeparatorsAndForeignCharacters) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const NumberSeparators german = UserNumberSeparators();
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(german.decimal, u',');
    EXPECT_EQ(german.thousand, u'.');
    EXPECT_EQ(german.currency, QStringLiteral("€"));
    // A character the code page lacks never stands in for a digit as '?'.
    EXPECT_EQ(NumberOfText(QStringLiteral("1\u0663"), kPointComma), std::nullopt);
    EXPECT_EQ(ParseDoubleText(QStringLiteral("2,5"), u','), 2.5);
}
