#include "platform/DateTimeText.h"

#include <gtest/gtest.h>
#include <vector>

using namespace platform;

namespace {

FormatSettings UsSettings() {
    return WindowsFormatSettings(QLocale(QLocale::English, QLocale::UnitedStates));
}
FormatSettings GermanSettings() {
    return WindowsFormatSettings(QLocale(QLocale::German, QLocale::Germany));
}

class FixedClock final : public Clock {
public:
    explicit FixedClock(double now) : now_(now) {}
    double Now() const override { return now_; }

private:
    double now_;
};

} // namespace

TEST(DateTimeText, DecodesDayCounts) {
    struct Case {
        const char* name;
        double count;
        int year, month, day, hour, minute, second, ms, dayOfWeek;
    };
    const std::vector<Case> cases = {
        {"day zero", 0.0, 1899, 12, 30, 0, 0, 0, 0, 7},
        {"first of 1900", 2.0, 1900, 1, 1, 0, 0, 0, 0, 2},
        {"2000", 36526.0, 2000, 1, 1, 0, 0, 0, 0, 7},
        {"leap day", 36585.0, 2000, 2, 29, 0, 0, 0, 0, 3},
        {"afternoon", 45366.75, 2024, 3, 15, 18, 0, 0, 0, 6},
        {"before day zero", -1.25, 1899, 12, 29, 6, 0, 0, 0, 6},
        {"first day", -693593.0, 1, 1, 1, 0, 0, 0, 0, 2},
        {"last day", 2958465.5, 9999, 12, 31, 12, 0, 0, 0, 6},
        {"rounds to the millisecond", 1.0 + 1234.6 / 86400000.0, 1899, 12, 31, 0, 0, 1, 235, 1},
        {"rounds up to midnight", 45366.9999999999, 2024, 3, 16, 0, 0, 0, 0, 7},
    };
    for (const Case& c : cases) {
        const std::optional<DateTimeParts> p = DecodeDayCount(c.count);
        ASSERT_TRUE(p) << c.name;
        EXPECT_EQ(p->year, c.year) << c.name;
        EXPECT_EQ(p->month, c.month) << c.name;
        EXPECT_EQ(p->day, c.day) << c.name;
        EXPECT_EQ(p->hour, c.hour) << c.name;
        EXPECT_EQ(p->minute, c.minute) << c.name;
        EXPECT_EQ(p->second, c.second) << c.name;
        EXPECT_EQ(p->millisecond, c.ms) << c.name;
        EXPECT_EQ(p->dayOfWeek, c.dayOfWeek) << c.name;
    }
    EXPECT_FALSE(DecodeDayCount(-693594.0));
    EXPECT_FALSE(DecodeDayCount(2958466.0));
    EXPECT_FALSE(DecodeDayCount(2958465.9999999999));
    EXPECT_FALSE(DecodeDayCount(1e300));
    EXPECT_FALSE(DecodeDayCount(std::numeric_limits<double>::quiet_NaN()));
}

TEST(DateTimeText, EncodeIsTheInverseOfDecode) {
    EXPECT_EQ(EncodeDayCount(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDayCount(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDayCount(2024, 3, 15, 18), 45366.75);
    EXPECT_EQ(EncodeDayCount(1899, 12, 29, 6), -1.25);
    EXPECT_FALSE(EncodeDayCount(2023, 2, 29));
    EXPECT_FALSE(EncodeDayCount(2024, 13, 1));
    EXPECT_FALSE(EncodeDayCount(2024, 1, 1, 24));
    EXPECT_FALSE(EncodeDayCount(0, 1, 1));
}

TEST(DateTimeText, FormatsWithTheClassLibraryLetters) {
    const FormatSettings us = UsSettings();
    const FormatSettings de = GermanSettings();
    const double friday = 45366.0 + (14 * 3600 + 5 * 60 + 9) / 86400.0 + 0.0000001; // 14:05:09.009
    struct Case {
        const char* pattern;
        const FormatSettings& settings;
        double count;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"dddddd t", us, friday, "Friday, March 15, 2024 2:05 PM"},
        {"dddddd t", de, friday, "Freitag, 15. März 2024 14:05"},
        {"ddddd", us, friday, "3/15/2024"},
        {"ddddd", de, friday, "15.03.2024"},
        {"tt", us, friday, "2:05:09 PM"},
        {"tt", de, friday, "14:05:09"},
        {"c", de, friday, "15.03.2024 14:05:09"},
        {"c", de, 45366.0, "15.03.2024"}, // no time at midnight
        {"yy-mm-dd hh:nn:ss.zzz", us, friday, "24-03-15 14:05:09.009"},
        {"d/m/yyyy", de, friday, "15.3.2024"},
        {"hh:mm", us, friday, "14:05"}, // m right after an hour is the minute
        {"h:mm am/pm", us, friday, "2:05 pm"},
        {"h a/p", us, 45366.25, "6 a"},
        {"hh AMPM", us, 45366.0, "12 AM"},
        {"ddd, mmm d", us, friday, "Fri, Mar 15"},
        {"\"day\" d 'at' h", de, friday, "day 15 at 14"},
        {"DDDD MMMM YYYY", us, friday, "Friday March 2024"},
        {"yyyy", us, -693593.0, "0001"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDateTime(QString::fromUtf8(c.pattern), c.count, c.settings),
                  QString::fromUtf8(c.expected))
            << c.pattern;
    EXPECT_EQ(FormatDateTime("dddddd", 1e300, us), "");
}

TEST(DateTimeText, ClockSeam) {
    const double before = CurrentClock().Now();
    EXPECT_GT(before, 45000.0); // the system clock runs after 2023
    FixedClock fixed(45366.5);
    const Clock* previous = SetClock(&fixed);
    EXPECT_EQ(CurrentClock().Now(), 45366.5);
    SetClock(previous);
    EXPECT_GE(CurrentClock().Now(), before);
}
