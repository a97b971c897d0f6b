#include "widgets/DateUtil.h"

#include "FixedClock.h"
#include "platform/DateTimeText.h"

#include <gtest/gtest.h>
#include <vector>

using namespace widgets;

using platform::FormatSettings;

namespace {

double DayOf(int year, int month, int day) {
    return *platform::EncodeDayCount(year, month, day);
}

// The clock stands at 10 June 2026 (afternoon) unless a test moves it.
class DateUtilTest : public ::testing::Test {
protected:
    static FormatSettings Settings(const char* shortDate, QChar separator) {
        FormatSettings s = platform::WindowsFormatSettings(QLocale(QLocale::English, QLocale::UnitedStates));
        s.shortDateFormat = QString::fromLatin1(shortDate);
        s.dateSeparator = separator;
        return s;
    }

    FixedClock clock_{DayOf(2026, 6, 10) + 0.6};
};

} // namespace

TEST_F(DateUtilTest, LeapYearsAndMonthLengths) {
    EXPECT_TRUE(YearIsLeap(2000));
    EXPECT_FALSE(YearIsLeap(1900));
    EXPECT_TRUE(YearIsLeap(2024));
    EXPECT_FALSE(YearIsLeap(2023));
    EXPECT_EQ(DaysInMonthOf(2024, 2), 29);
    EXPECT_EQ(DaysInMonthOf(2023, 2), 28);
    EXPECT_EQ(DaysInMonthOf(2023, 4), 30);
    EXPECT_EQ(DaysInMonthOf(2023, 12), 31);
    EXPECT_TRUE(IsValidYmd(1, 1, 1));
    EXPECT_TRUE(IsValidYmd(9999, 12, 31));
    EXPECT_FALSE(IsValidYmd(0, 1, 1));
    EXPECT_FALSE(IsValidYmd(10000, 1, 1));
    EXPECT_FALSE(IsValidYmd(2026, 13, 1));
    EXPECT_FALSE(IsValidYmd(2023, 2, 29));
    EXPECT_FALSE(IsValidYmd(2026, 1, 0));
    EXPECT_TRUE(IsValidDateValue(DayOf(2024, 2, 29)));
    EXPECT_FALSE(IsValidDateValue(3e6));
    EXPECT_EQ(ThisYear(), 2026);
    EXPECT_EQ(Today(), DayOf(2026, 6, 10));
}

TEST_F(DateUtilTest, DateOrderIsTheFirstFieldLetter) {
    struct Case {
        const char* format;
        TDateOrder order;
    };
    const std::vector<Case> cases = {
        {"m/d/yyyy", TDateOrder::MDY}, {"dd.MM.yyyy", TDateOrder::DMY}, {"yyyy-mm-dd", TDateOrder::YMD},
        {"ee/mm/dd", TDateOrder::YMD}, {"'x' MM/DD", TDateOrder::MDY},  {"", TDateOrder::DMY},
        {"/.-", TDateOrder::DMY},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DateOrderOf(QString::fromLatin1(c.format)), c.order) << c.format;
}

TEST_F(DateUtilTest, TwoDigitYearsLandInTheCenturyWindow) {
    struct Case {
        double now;
        int year, widened;
    };
    const std::vector<Case> cases = {
        {DayOf(2026, 6, 10), 66, 1966}, {DayOf(2026, 6, 10), 65, 2065}, {DayOf(2026, 6, 10), 0, 2000},
        {DayOf(2026, 6, 10), 99, 1999}, {DayOf(2026, 6, 10), 100, 100}, {DayOf(2026, 6, 10), 2026, 2026},
        {DayOf(2026, 6, 10), -1, -1},   {DayOf(2000, 1, 1), 40, 1940},  {DayOf(2000, 1, 1), 39, 2039},
    };
    for (const Case& c : cases) {
        FixedClock clock(c.now);
        EXPECT_EQ(WidenTwoDigitYear(c.year), c.widened) << c.year;
    }
}

TEST_F(DateUtilTest, ScanningPrimitives) {
    struct Case {
        const char* text;
        int maxLength;
        bool read;
        int number, pos;
    };
    const std::vector<Case> cases = {
        {"12345", 100, true, 1234, 4}, {"  7x", 100, true, 7, 3},       {"x1", 100, false, 0, 0},
        {"  ", 100, false, 0, 2},      {"0001234", 100, true, 1234, 7}, {"123", 2, true, 12, 2},
        {"999", 100, true, 999, 3},
    };
    for (const Case& c : cases) {
        int pos = 0, number = 0;
        EXPECT_EQ(ReadNumber(QString::fromLatin1(c.text), c.maxLength, pos, number), c.read) << c.text;
        EXPECT_EQ(number, c.number) << c.text;
        EXPECT_EQ(pos, c.pos) << c.text;
    }
    int pos = 0;
    EXPECT_TRUE(ExpectChar(QStringLiteral("  /1"), pos, u'/'));
    EXPECT_EQ(pos, 3);
    EXPECT_FALSE(ExpectChar(QStringLiteral("1"), pos = 0, u'/'));
    pos = 0;
    SkipToDigit(QStringLiteral("ab 3"), pos);
    EXPECT_EQ(pos, 3);
    pos = 0;
    SkipBlanks(QStringLiteral(" \t"), pos); // the blank only
    EXPECT_EQ(pos, 1);
}

TEST_F(DateUtilTest, ReadsPositionallyThenFreeForm) {
    struct Case {
        const char* shortDate;
        QChar separator;
        const char* format;
        const char* text;
        bool ok;
        int year, month, day;
    };
    const std::vector<Case> cases = {
        // Day, month, year.
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "05/03/2026", true, 2026, 3, 5},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "05/03/26", true, 2026, 3, 5},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "5/3", true, 2026, 3, 5},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "5/3/", false, 0, 0, 0},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "5/3/2026/", true, 2026, 3, 5},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", " 5 / 3 / 2026 ", true, 2026, 3, 5},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "5/3/66", true, 1966, 3, 5},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "1/1/65", true, 2065, 1, 1},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "12/25/2026", false, 0, 0, 0},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "12345/1/1", false, 0, 0, 0},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "29/02/2023", false, 0, 0, 0},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "29/02/2024", true, 2024, 2, 29},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "05/03/2026x", false, 0, 0, 0},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "5/3/2026 x", false, 0, 0, 0},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "  /  /    ", false, 0, 0, 0},
        // A blank year is no year: it is not widened into 1999.
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "05/03/    ", false, 0, 0, 0},
        {"dd/mm/yyyy", u'/', "DD/MM/YYYY", "  /03/2026", false, 0, 0, 0},
        // Positions ignore the separator; the free-form scan takes only the locale's.
        {"dd.mm.yyyy", u'.', "DD/MM/YYYY", "05.03.2026", true, 2026, 3, 5},
        {"dd.mm.yyyy", u'.', "DD/MM/YYYY", "5.3.2026", true, 2026, 3, 5},
        {"dd.mm.yyyy", u'.', "DD/MM/YYYY", "5/3/2026", false, 0, 0, 0},
        // Month, day, year.
        {"m/d/yyyy", u'/', "MM/DD/YYYY", "03/05/2026", true, 2026, 3, 5},
        {"m/d/yyyy", u'/', "MM/DD/YYYY", "3/5", true, 2026, 3, 5},
        {"m/d/yyyy", u'/', "MM/DD/YYYY", "12/25/2026", true, 2026, 12, 25},
        // Year, month, day.
        {"yyyy-mm-dd", u'-', "YYYY/MM/DD", "2026-03-05", true, 2026, 3, 5},
        {"yyyy-mm-dd", u'-', "YYYY/MM/DD", "26-3-5", true, 2026, 3, 5},
        {"yyyy-mm-dd", u'-', "YYYY/MM/DD", "3-5", true, 2026, 3, 5},
        // A month name where the format has three M.
        {"dd/mm/yyyy", u'/', "DD/MMM/YYYY", "05/Mar/2026", true, 2026, 3, 5},
        {"dd/mm/yyyy", u'/', "DD/MMM/YYYY", "05/Xyz/2026", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const FormatSettings locale = Settings(c.shortDate, c.separator);
        int day = 0, month = 0, year = 0;
        const bool ok = SplitDateText(QString::fromLatin1(c.format), QString::fromLatin1(c.text), day, month,
                                      year, locale);
        EXPECT_EQ(ok, c.ok) << c.format << " " << c.text;
        if (ok && c.ok) {
            EXPECT_EQ(year, c.year) << c.text;
            EXPECT_EQ(month, c.month) << c.text;
            EXPECT_EQ(day, c.day) << c.text;
        }
    }
}

TEST_F(DateUtilTest, FarEastTailAfterTheDateIsSkipped) {
    FormatSettings locale = Settings("yyyy/mm/dd ddd", u'/');
    locale.farEast = true;
    locale.shortTimeFormat = QStringLiteral("h:nn AMPM");
    int pos = 0, year = 0, month = 0, day = 0;
    EXPECT_TRUE(ParseDateParts(QStringLiteral("2026/3/5 Thu"), QStringLiteral("YYYY/MM/DD"), pos, year, month,
                               day, locale));
    EXPECT_EQ(day, 5);
    locale.farEast = false;
    pos = 0;
    EXPECT_FALSE(ParseDateParts(QStringLiteral("2026/3/5 Thu"), QStringLiteral("YYYY/MM/DD"), pos, year,
                                month, day, locale));
}

TEST_F(DateUtilTest, MonthNamesByPrefix) {
    const FormatSettings locale = Settings("m/d/yyyy", u'/');
    struct Case {
        const char* text;
        int maxLen, month;
    };
    const std::vector<Case> cases = {
        {"Ma", 2, 3}, {"May", 3, 5}, {"ju", 2, 6}, {"Jul", 3, 7},  {"DEC", 3, 12},
        {"", 3, 0},   {"Xyz", 3, 0}, {"J", 1, 1},  {"Marc", 3, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MonthByName(QString::fromLatin1(c.text), c.maxLen, locale), c.month) << c.text;
}

TEST_F(DateUtilTest, ConversionsAndTheirFailures) {
    const FormatSettings locale = Settings("dd/mm/yyyy", u'/');
    const QString format = QStringLiteral("DD/MM/YYYY");
    TDateTime date = -1;
    EXPECT_TRUE(TryTextToDate(format, QString(), date, locale));
    EXPECT_EQ(date, NoDate);
    EXPECT_EQ(TextToDateStrict(format, QString(), locale), NoDate);
    EXPECT_EQ(TextToDateStrict(format, QStringLiteral("29/02/2024"), locale), DayOf(2024, 2, 29));
    try {
        TextToDateStrict(format, QStringLiteral("31/04/2026"), locale);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("''31/04/2026'' is not a valid date"));
    }
    EXPECT_EQ(TextToDateOrDefault(format, QStringLiteral("5/3"), 7.5, locale), DayOf(2026, 3, 5));
    EXPECT_EQ(TextToDateOrDefault(format, QStringLiteral("x"), 45000.75, locale), 45000.0);
    EXPECT_EQ(TextToDateOrDefault(format, QStringLiteral("x"), -2.5, locale), -2.0);
}

TEST_F(DateUtilTest, DefaultFormatAndMaskFollowTheLocaleOrder) {
    struct Case {
        const char* shortDate;
        const char* four;
        const char* two;
        const char* fourMask;
    };
    const std::vector<Case> cases = {
        {"m/d/yyyy", "MM/DD/YYYY", "MM/DD/YY", "!99/99/9999;1; "},
        {"dd.mm.yyyy", "DD/MM/YYYY", "DD/MM/YY", "!99/99/9999;1; "},
        {"yyyy-mm-dd", "YYYY/MM/DD", "YY/MM/DD", "!9999/99/99;1; "},
    };
    for (const Case& c : cases) {
        const FormatSettings locale = Settings(c.shortDate, u'/');
        EXPECT_EQ(MakeDateFormat(true, locale), QString::fromLatin1(c.four)) << c.shortDate;
        EXPECT_EQ(MakeDateFormat(false, locale), QString::fromLatin1(c.two)) << c.shortDate;
        EXPECT_EQ(MakeDateEditMask(u' ', true, locale), QString::fromLatin1(c.fourMask)) << c.shortDate;
        EXPECT_EQ(MakeDateEditMask(u'_', false, locale), QStringLiteral("!99/99/99;1;_")) << c.shortDate;
    }
}

TEST_F(DateUtilTest, TheUsersLocaleComesFromThePlatform) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(MakeDateFormat(true), QStringLiteral("DD/MM/YYYY"));
    int day = 0, month = 0, year = 0;
    EXPECT_TRUE(SplitDateText(QStringLiteral("DD/MM/YYYY"), QStringLiteral("5.3.2026"), day, month, year));
    EXPECT_EQ(month, 3);
    EXPECT_EQ(MonthByName(QStringLiteral("Mär"), 3), 3);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(MakeDateFormat(true), QStringLiteral("MM/DD/YYYY"));
    EXPECT_TRUE(UseFourDigitYears());
    QLocale::setDefault(saved);
    EXPECT_TRUE(platform::WindowsFormatSettings(QLocale(QLocale::Japanese, QLocale::Japan)).farEast);
    EXPECT_FALSE(platform::WindowsFormatSettings(QLocale(QLocale::German, QLocale::Germany)).farEast);
}
