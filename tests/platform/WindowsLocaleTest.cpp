#include "platform/WindowsLocale.h"

#include <gtest/gtest.h>
#include <vector>

using namespace platform;

TEST(WindowsLocale, PatternsUseTheClassLibraryLettersWithFourDigitYears) {
    struct Case {
        QLocale locale;
        const char* shortDate;
        const char* longDate;
        const char* shortTime;
        const char* longTime;
        QChar decimal, thousand, dateSep, timeSep;
    };
    const std::vector<Case> cases = {
        {QLocale(QLocale::English, QLocale::UnitedStates), "m/d/yyyy", "dddd, mmmm d, yyyy", "h:nn AMPM",
         "h:nn:ss AMPM", u'.', u',', u'/', u':'},
        {QLocale(QLocale::German, QLocale::Germany), "dd/mm/yyyy", "dddd, d. mmmm yyyy", "hh:nn", "hh:nn:ss",
         u',', u'.', u'.', u':'},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "dd/mm/yyyy", "dddd, d mmmm yyyy", "hh:nn",
         "hh:nn:ss", u'.', u',', u'/', u':'},
    };
    for (const Case& c : cases) {
        const FormatSettings s = WindowsFormatSettings(c.locale);
        const QString name = c.locale.name();
        EXPECT_EQ(s.shortDateFormat, QString::fromUtf8(c.shortDate)) << name.toStdString();
        EXPECT_EQ(s.longDateFormat, QString::fromUtf8(c.longDate)) << name.toStdString();
        EXPECT_EQ(s.shortTimeFormat, QString::fromUtf8(c.shortTime)) << name.toStdString();
        EXPECT_EQ(s.longTimeFormat, QString::fromUtf8(c.longTime)) << name.toStdString();
        EXPECT_EQ(s.decimalSeparator, c.decimal) << name.toStdString();
        EXPECT_EQ(s.thousandSeparator, c.thousand) << name.toStdString();
        EXPECT_EQ(s.dateSeparator, c.dateSep) << name.toStdString();
        EXPECT_EQ(s.timeSeparator, c.timeSep) << name.toStdString();
    }
}

TEST(WindowsLocale, NamesRunFromJanuaryAndSunday) {
    const FormatSettings us = WindowsFormatSettings(QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_EQ(us.longMonthNames.size(), 12);
    ASSERT_EQ(us.shortDayNames.size(), 7);
    EXPECT_EQ(us.longMonthNames.first(), "January");
    EXPECT_EQ(us.shortMonthNames.last(), "Dec");
    EXPECT_EQ(us.longDayNames.first(), "Sunday");
    EXPECT_EQ(us.shortDayNames.last(), "Sat");
    EXPECT_EQ(us.timeAMString, "AM");
    EXPECT_EQ(us.currencyString, "$");
    const FormatSettings de = WindowsFormatSettings(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.longMonthNames.at(2), QString::fromUtf8("März"));
    EXPECT_EQ(de.longDayNames.first(), "Sonntag");
    EXPECT_EQ(de.currencyString, QString::fromUtf8("€"));
}

TEST(WindowsLocale, QuotedLiteralsStayLiteral) {
    // Spanish long dates hold the word "de", whose letters would read as day and era.
    const FormatSettings es = WindowsFormatSettings(QLocale(QLocale::Spanish, QLocale::Spain));
    EXPECT_EQ(es.longDateFormat, "dddd, d \"de\" mmmm \"de\" yyyy");
    EXPECT_EQ(es.longTimeFormat, "h:nn:ss"); // "(t)", the time zone, is left out
}

TEST(WindowsLocale, DecimalSeparatorByte) {
    EXPECT_EQ(DecimalSeparatorByte(QLocale(QLocale::English, QLocale::UnitedStates)), '.');
    EXPECT_EQ(DecimalSeparatorByte(QLocale(QLocale::German, QLocale::Germany)), ',');
    // The Arabic decimal separator has no Windows-1252 byte.
    EXPECT_EQ(DecimalSeparatorByte(QLocale(QLocale::Arabic, QLocale::Egypt)), '.');
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DecimalSeparatorByte(), ',');
    QLocale::setDefault(QLocale::c());
}

TEST(WindowsLocale, ThousandSeparatorByte) {
    EXPECT_EQ(ThousandSeparatorByte(QLocale(QLocale::English, QLocale::UnitedStates)), ',');
    EXPECT_EQ(ThousandSeparatorByte(QLocale(QLocale::German, QLocale::Germany)), '.');
    // French groups with a narrow no-break space, which the code page lacks.
    EXPECT_EQ(ThousandSeparatorByte(QLocale(QLocale::French, QLocale::France)), '\xA0');
}
