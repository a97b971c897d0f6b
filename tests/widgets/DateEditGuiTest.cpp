#include "widgets/DateEdit.h"

#include "platform/DateTimeText.h"

#include <gtest/gtest.h>

using namespace widgets;

namespace {

double DayOf(int year, int month, int day) {
    return *platform::EncodeDayCount(year, month, day);
}

TEST(DateEditRules, OnlyDigitsMakeADateText) {
    platform::FormatSettings locale =
        platform::WindowsFormatSettings(QLocale(QLocale::German, QLocale::Germany));
    locale.dateSeparator = u'.';
    EXPECT_FALSE(HasDateText("", u' ', locale));
    EXPECT_FALSE(HasDateText("  .  .    ", u' ', locale));
    EXPECT_FALSE(HasDateText("__.__.____", u'_', locale));
    EXPECT_FALSE(HasDateText(QString(3, QChar(0)), u' ', locale));
    EXPECT_TRUE(HasDateText("  /  /    ", u' ', locale));
    EXPECT_TRUE(HasDateText(" 1.  .    ", u' ', locale));
}

TEST(DateEditRules, KeypadStepsStayInsideTheCalendar) {
    const double now = DayOf(2026, 6, 10) + 0.25;
    EXPECT_EQ(SteppedDate(NoDate, 1, now), now + 1);
    EXPECT_EQ(SteppedDate(DayOf(2024, 3, 1), -1, now), DayOf(2024, 2, 29));
    EXPECT_EQ(SteppedDate(DayOf(9999, 12, 31), 1, now), std::nullopt);
    EXPECT_EQ(SteppedDate(DayOf(1, 1, 1), -1, now), std::nullopt);
    EXPECT_EQ(SteppedDate(DayOf(9999, 12, 31), -1, now), DayOf(9999, 12, 30));
}

TEST(DateEditRules, HintsAreCutToFourLines) {
    EXPECT_EQ(TrimmedCalendarHints({"a", "b", "c", "d", "e", "f"}), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(TrimmedCalendarHints({"a"}), QStringList{"a"});
}

} // namespace
