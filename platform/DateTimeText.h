#pragma once

#include "WindowsLocale.h"

#include <QString>
#include <optional>

// Date-time values of the class library: a day count from 30 December 1899 whose fraction is
// the time of day (for negative counts the fraction still runs forward from midnight).
namespace platform {

struct DateTimeParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    int dayOfWeek = 7; // 1 Sunday .. 7 Saturday
};

// The calendar date and the time rounded to the millisecond; nullopt outside the years 1 to 9999
// and for infinite or NaN counts.
std::optional<DateTimeParts> DecodeDayCount(double dayCount);
// The day count of a date and time; nullopt for a date that does not exist.
std::optional<double> EncodeDayCount(int year, int month, int day, int hour = 0, int minute = 0,
                                     int second = 0, int millisecond = 0);

// Formats `dayCount` with the class library's pattern letters: c d dd ddd dddd ddddd dddddd,
// m mm mmm mmmm (minutes when right after an hour), yy yyyy, h hh n nn s ss z zzz t tt,
// am/pm a/p ampm, '/' and ':' for the separators, literals in '...' or "...". Letters are
// read case-insensitively. An undecodable count gives the empty text.
QString FormatDateTime(const QString& pattern, double dayCount, const FormatSettings& settings);

// "Now" for everyone who asks for it, so tests can fix the time.
class Clock {
public:
    virtual ~Clock() = default;
    // The local date and time as a day count.
    virtual double Now() const = 0;
};

// The clock in use: the system's local time unless a test installed another. Not owned.
const Clock& CurrentClock();
// Installs `clock` (nullptr restores the system clock); returns the previous one.
const Clock* SetClock(const Clock* clock);

} // namespace platform
