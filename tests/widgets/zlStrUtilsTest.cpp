#include "widgets/zlStrUtils.h"

#include <gtest/gtest.h>
#include <vector>

using namespace widgets;

TEST(zlStrUtils, ReplaceAllNeverSearchesReplacedText) {
    struct Case {
        const char* text;
        const char* search;
        const char* replacement;
        const char* result;
    };
    const std::vector<Case> cases = {
        {"1,234,5", ",", "", "12345"}, {"aaa", "a", "aa", "aaaaaa"}, {"abab", "ab", "b", "bb"},
        {"xyz", "", "q", "xyz"},       {"", "a", "b", ""},           {"aXbX", "X", "YY", "aYYbYY"},
        {"aaaa", "aa", "a", "aa"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplaceAll(QString::fromLatin1(c.text), QString::fromLatin1(c.search),
                             QString::fromLatin1(c.replacement)),
                  QString::fromLatin1(c.result))
            << c.text << " " << c.search;
}

TEST(zlStrUtils, BlanksAreSpacesOnly) {
    EXPECT_EQ(TrimBlanks(QStringLiteral("  1 2  ")), QStringLiteral("1 2"));
    EXPECT_EQ(TrimBlanks(QStringLiteral("\t1 ")), QStringLiteral("\t1"));
    EXPECT_EQ(TrimLeadingBlanks(QStringLiteral("  a ")), QStringLiteral("a "));
    EXPECT_EQ(TrimTrailingBlanks(QStringLiteral(" a  ")), QStringLiteral(" a"));
    EXPECT_EQ(TrimBlanks(QStringLiteral("   ")), QString());
    EXPECT_EQ(RemoveChar(QStringLiteral("1 000 000"), u' '), QStringLiteral("1000000"));
    EXPECT_EQ(RepeatChar(u'0', 3), QStringLiteral("000"));
    EXPECT_EQ(RepeatChar(u'0', 0), QString());
    EXPECT_EQ(RepeatChar(u'0', -2), QString());
    EXPECT_TRUE(AllCharsIn(QString(), QStringLiteral("0123456789")));
    EXPECT_TRUE(AllCharsIn(QStringLiteral(" / /"), QStringLiteral(" /")));
    EXPECT_FALSE(AllCharsIn(QStringLiteral(" /1/"), QStringLiteral(" /")));
}
