#include "DateTimeText.h"

#include <QDateTime>
#include <cmath>
#include <cstdint>

namespace platform {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
// Days from 1 January 0001 and to 31 December 9999, counted from 30 December 1899.
constexpr std::int64_t kFirstDay = -693'593;
constexpr std::int64_t kLastDay = 2'958'465;

// Days since 1 March of year 0 (proleptic Gregorian), the civil-date algorithm.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

const std::int64_t kEpoch = DaysFromCivil(1899, 12, 30);

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

QString TwoDigits(int n) {
    return QString::number(n).rightJustified(2, u'0');
}

QChar Upper(QChar c) {
    return c.toUpper();
}

bool StartsWithNoCase(const QString& s, qsizetype i, const char* word) {
    return s.mid(i).startsWith(QLatin1String(word), Qt::CaseInsensitive);
}

class Formatter {
public:
    Formatter(const FormatSettings& settings, const DateTimeParts& parts)
        : settings_(settings), parts_(parts) {}

    QString Format(const QString& pattern, int depth = 0) {
        QString out;
        // am/pm anywhere in the pattern switches the hours to twelve.
        const bool twelveHour = HasAmPm(pattern);
        QChar lastField; // the last date or time letter, for telling minutes from months
        for (qsizetype i = 0; i < pattern.size();) {
            const QChar c = pattern[i];
            const QChar u = Upper(c);
            if (c == u'"' || c == u'\'') {
                qsizetype close = pattern.indexOf(c, i + 1);
                if (close < 0) close = pattern.size();
                out += pattern.mid(i + 1, close - i - 1);
                i = close + 1;
                continue;
            }
            if (u == u'A') {
                if (StartsWithNoCase(pattern, i, "am/pm")) {
                    const QString text = pattern.mid(i, 5);
                    out += parts_.hour < 12 ? text.left(2) : text.mid(3, 2);
                    i += 5;
                    continue;
                }
                if (StartsWithNoCase(pattern, i, "a/p")) {
                    const QString text = pattern.mid(i, 3);
                    out += parts_.hour < 12 ? text[0] : text[2];
                    i += 3;
                    continue;
                }
                if (StartsWithNoCase(pattern, i, "ampm")) {
                    out += parts_.hour < 12 ? settings_.timeAMString : settings_.timePMString;
                    i += 4;
                    continue;
                }
                out += c;
                ++i;
                continue;
            }
            qsizetype n = 1;
            while (i + n < pattern.size() && Upper(pattern[i + n]) == u)
                ++n;
            const int count = static_cast<int>(n);
            switch (u.unicode()) {
            case u'C':
                out += Nested(settings_.shortDateFormat, depth);
                if (parts_.hour || parts_.minute || parts_.second || parts_.millisecond)
                    out += u' ' + Nested(settings_.longTimeFormat, depth);
                break;
            case u'D':
                out += Days(count, depth);
                break;
            case u'M':
                if (lastField == u'H')
                    out += count >= 2 ? TwoDigits(parts_.minute) : QString::number(parts_.minute);
                else
                    out += Months(count);
                break;
            case u'Y':
                out += count <= 2 ? TwoDigits(parts_.year % 100)
                                  : QString::number(parts_.year).rightJustified(4, u'0');
                break;
            case u'H': {
                int hour = parts_.hour;
                if (twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
                out += count >= 2 ? TwoDigits(hour) : QString::number(hour);
                break;
            }
            case u'N':
                out += count >= 2 ? TwoDigits(parts_.minute) : QString::number(parts_.minute);
                break;
            case u'S':
                out += count >= 2 ? TwoDigits(parts_.second) : QString::number(parts_.second);
                break;
            case u'Z':
                out += count >= 3 ? QString::number(parts_.millisecond).rightJustified(3, u'0')
                                  : QString::number(parts_.millisecond);
                break;
            case u'T':
                out += Nested(count >= 2 ? settings_.longTimeFormat : settings_.shortTimeFormat, depth);
                break;
            case u'/':
                out += QString(count, settings_.dateSeparator);
                break;
            case u':':
                out += QString(count, settings_.timeSeparator);
                break;
            default:
                out += pattern.mid(i, n);
                break;
            }
            if (u == u'D' || u == u'M' || u == u'Y' || u == u'H' || u == u'N' || u == u'S' || u == u'Z' ||
                u == u'C' || u == u'T')
                lastField = u;
            i += n;
        }
        return out;
    }

private:
    static bool HasAmPm(const QString& pattern) {
        for (qsizetype i = 0; i < pattern.size(); ++i) {
            if (pattern[i] == u'"' || pattern[i] == u'\'') {
                qsizetype close = pattern.indexOf(pattern[i], i + 1);
                if (close < 0) return false;
                i = close;
            } else if (StartsWithNoCase(pattern, i, "am/pm") || StartsWithNoCase(pattern, i, "a/p") ||
                       StartsWithNoCase(pattern, i, "ampm")) {
                return true;
            }
        }
        return false;
    }

    // A format inside a format (ddddd, c, t); the settings never nest deeper than that.
    QString Nested(const QString& format, int depth) {
        return depth < 2 ? Format(format, depth + 1) : QString();
    }

    QString Days(int count, int depth) {
        switch (count) {
        case 1:
            return QString::number(parts_.day);
        case 2:
            return TwoDigits(parts_.day);
        case 3:
            return settings_.shortDayNames.value(parts_.dayOfWeek - 1);
        case 4:
            return settings_.longDayNames.value(parts_.dayOfWeek - 1);
        case 5:
            return Nested(settings_.shortDateFormat, depth);
        default:
            return Nested(settings_.longDateFormat, depth);
        }
    }

    QString Months(int count) {
        switch (count) {
        case 1:
            return QString::number(parts_.month);
        case 2:
            return TwoDigits(parts_.month);
        case 3:
            return settings_.shortMonthNames.value(parts_.month - 1);
        default:
            return settings_.longMonthNames.value(parts_.month - 1);
        }
    }

    const FormatSettings& settings_;
    const DateTimeParts& parts_;
};

class SystemClock final : public Clock {
public:
    double Now() const override {
        const QDateTime now = QDateTime::currentDateTime();
        const QDate date = now.date();
        const double day = static_cast<double>(DaysFromCivil(date.year(), date.month(), date.day()) - kEpoch);
        return day + now.time().msecsSinceStartOfDay() / static_cast<double>(kMsPerDay);
    }
};

const SystemClock systemClock;
const Clock* currentClock = &systemClock;

} // namespace

std::optional<DateTimeParts> DecodeDayCount(double dayCount) {
    if (!std::isfinite(dayCount)) return std::nullopt;
    const double whole = std::trunc(dayCount);
    if (whole < static_cast<double>(kFirstDay) || whole > static_cast<double>(kLastDay)) return std::nullopt;
    std::int64_t day = static_cast<std::int64_t>(whole);
    std::int64_t ms = std::llround(std::fabs(dayCount - whole) * static_cast<double>(kMsPerDay));
    if (ms >= kMsPerDay) { // rounds up to the next midnight
        ms = 0;
        ++day;
        if (day > kLastDay) return std::nullopt;
    }
    DateTimeParts p;
    CivilFromDays(day + kEpoch, p.year, p.month, p.day);
    p.hour = static_cast<int>(ms / 3'600'000);
    p.minute = static_cast<int>(ms / 60'000 % 60);
    p.second = static_cast<int>(ms / 1000 % 60);
    p.millisecond = static_cast<int>(ms % 1000);
    // Day 0 was a Saturday.
    p.dayOfWeek = static_cast<int>(((day % 7) + 7 + 6) % 7) + 1;
    return p;
}

std::optional<double> EncodeDayCount(int year, int month, int day, int hour, int minute, int second,
                                     int millisecond) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return std::nullopt;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999)
        return std::nullopt;
    const double days = static_cast<double>(DaysFromCivil(year, month, day) - kEpoch);
    const double fraction = static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) /
                            static_cast<double>(kMsPerDay);
    // Before day 0 the time still counts forward from that day's midnight.
    return days >= 0 ? days + fraction : days - fraction;
}

QString FormatDateTime(const QString& pattern, double dayCount, const FormatSettings& settings) {
    const std::optional<DateTimeParts> parts = DecodeDayCount(dayCount);
    if (!parts) return QString();
    return Formatter(settings, *parts).Format(pattern);
}

const Clock& CurrentClock() {
    return *currentClock;
}

const Clock* SetClock(const Clock* clock) {
    const Clock* previous = currentClock;
    currentClock = clock ? clock : &systemClock;
    return previous;
}

} // namespace platform
