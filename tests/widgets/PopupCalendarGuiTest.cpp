#include "widgets/PopupCalendar.h"

#include "FixedClock.h"
#include "platform/DateTimeText.h"

#include <gtest/gtest.h>

using namespace widgets;

namespace {

double DayOf(int year, int month, int day) {
    return *platform::EncodeDayCount(year, month, day);
}

platform::FormatSettings DayMonthYear() {
    platform::FormatSettings s =
        platform::WindowsFormatSettings(QLocale(QLocale::English, QLocale::UnitedKingdom));
    s.shortDateFormat = QStringLiteral("dd/mm/yyyy");
    s.dateSeparator = u'/';
    return s;
}

// Today is 10 June 2026, in the afternoon.
class PopupCalendarRules : public ::testing::Test {
protected:
    FixedClock clock_{DayOf(2026, 6, 10) + 0.6};
};

TEST_F(PopupCalendarRules, TitleIsTheFullMonthNameAndTheYear) {
    EXPECT_EQ(CalendarTitleText(DayOf(2024, 2, 29), DayMonthYear()), "February, 2024");
    EXPECT_EQ(CalendarTitleText(DayOf(5, 12, 1), DayMonthYear()), "December, 0005");
    platform::FormatSettings german =
        platform::WindowsFormatSettings(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(CalendarTitleText(DayOf(2026, 3, 1), german), QString::fromUtf8("März, 2026"));
}

TEST_F(PopupCalendarRules, ValueHandedToThePopupFallsBackToToday) {
    const double today = DayOf(2026, 6, 10);
    const std::vector<std::pair<const char*, std::pair<QVariant, double>>> cases = {
        {"null", {QVariant(), today}},
        {"blank mask", {QVariant(QStringLiteral("  /  /    ")), today}},
        {"empty text", {QVariant(QString()), today}},
        {"a date text", {QVariant(QStringLiteral("05/03/2024")), DayOf(2024, 3, 5)}},
        {"no date", {QVariant(QStringLiteral("31/02/2024")), today}},
        {"garbage", {QVariant(QStringLiteral("x")), today}},
        {"a date", {QVariant(DayOf(2024, 2, 29) + 0.75), DayOf(2024, 2, 29)}},
        {"past year 9999", {QVariant(DayOf(9999, 12, 31) + 1), today}},
        {"no number", {QVariant::fromValue(QStringList{"a"}), today}},
    };
    for (const auto& [name, c] : cases)
        EXPECT_EQ(PopupCalendarDate(c.first, DayMonthYear()), c.second) << name;
}

TEST(NavigationHints, OnlyNonEmptyLinesReplaceTheBuiltInHints) {
    const std::array<QString, 4> builtIn = {"Y-", "M-", "M+", "Y+"};
    using Hints = std::array<QString, 4>;
    EXPECT_EQ(NavigationHints(builtIn, {}), builtIn);
    EXPECT_EQ(NavigationHints(builtIn, {"", "", "", ""}), builtIn);
    EXPECT_EQ(NavigationHints(builtIn, {"a", "", "c"}), (Hints{"a", "M-", "c", "Y+"}));
    EXPECT_EQ(NavigationHints(builtIn, {"a", "b", "c", "d", "e"}), (Hints{"a", "b", "c", "d"}));
}

TEST(NavigationHints, TooltipShowsThePartBeforeTheBar) {
    EXPECT_EQ(ShortHint("Previous Year|"), "Previous Year");
    EXPECT_EQ(ShortHint("Next|Goes on"), "Next");
    EXPECT_EQ(ShortHint("No bar"), "No bar");
}

} // namespace
