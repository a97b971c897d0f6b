#include "DateUtil.h"

#include "ZlResources.h"
#include "platform/DateTimeText.h"

#include <cmath>
#include <limits>

namespace widgets {

namespace {

constexpr int MonthDayCounts[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
// A field is read from at most this many characters.
constexpr int MaxFieldChars = 20;

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool TextAtEquals(const QString& text, int pos, const QString& word) {
    return QStringView(text).mid(pos, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

// Far-east short date formats may carry a weekday or an era after the date: skipped.
void SkipFarEastTail(const QString& text, int& pos, const platform::FormatSettings& locale) {
    if (!locale.shortTimeFormat.isEmpty() && IsDigit(locale.shortTimeFormat[0])) {
        SkipToDigit(text, pos);
        return;
    }
    while (pos < text.size() && !TextAtEquals(text, pos, locale.timeAMString) &&
           !TextAtEquals(text, pos, locale.timePMString)) {
        while (pos < text.size() && text[pos] != u' ')
            ++pos;
        SkipBlanks(text, pos);
    }
}

// Reads one field from the text at the positions where the format holds `count` or more of
// `letter`: `blank` when those positions hold only blanks, -1 when they hold no number (or no
// month name), `defaultValue` when the format lacks the field or the text outgrows the format.
int PickFormatField(const QString& format, const QString& text, QChar letter, int count, int blank,
                    int defaultValue, const platform::FormatSettings& locale) {
    letter = letter.toUpper();
    if (text.size() > format.size()) return defaultValue;
    const int length = static_cast<int>(std::min(format.size(), text.size()));
    const QString upperFormat = format.toUpper();
    int j = static_cast<int>(upperFormat.indexOf(QString(count, letter)));
    if (j < 0) return defaultValue;
    QString collected;
    for (; j < length && upperFormat[j] == letter; ++j) {
        if (text[j] != u' ' && collected.size() < MaxFieldChars) collected += text[j];
    }
    if (collected.isEmpty()) return blank;
    if (count > 1) {
        const int month = MonthByName(collected, static_cast<int>(collected.size()), locale);
        return month == 0 ? -1 : month;
    }
    bool ok = false;
    const int value = collected.toInt(&ok, 10);
    return ok ? value : -1;
}

} // namespace

EConvertError::EConvertError(const QString& message) : std::runtime_error(message.toStdString()) {}

bool YearIsLeap(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonthOf(int year, int month) {
    if (month < 1 || month > 12) return 0;
    return MonthDayCounts[month - 1] + (month == 2 && YearIsLeap(year) ? 1 : 0);
}

bool IsValidYmd(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonthOf(year, month);
}

bool IsValidDateValue(TDateTime date) {
    const std::optional<platform::DateTimeParts> parts = platform::DecodeDayCount(date);
    return parts && IsValidYmd(parts->year, parts->month, parts->day);
}

int ThisYear() {
    const std::optional<platform::DateTimeParts> parts =
        platform::DecodeDayCount(platform::CurrentClock().Now());
    return parts ? parts->year : 1899;
}

TDateTime Today() {
    return std::floor(platform::CurrentClock().Now());
}

bool UseFourDigitYears() {
    static const bool fourDigits =
        platform::WindowsFormatSettings().shortDateFormat.toUpper().contains(QStringLiteral("YYYY"));
    return fourDigits;
}

TDateOrder DateOrderOf(const QString& format) {
    for (QChar c : format) {
        switch (c.toUpper().unicode()) {
        case u'D':
            return TDateOrder::DMY;
        case u'E':
        case u'Y':
            return TDateOrder::YMD;
        case u'M':
            return TDateOrder::MDY;
        default:
            break;
        }
    }
    return TDateOrder::DMY;
}

int WidenTwoDigitYear(int year) {
    if (year < 0 || year >= 100) return year;
    const int windowStart = ThisYear() - CenturyWindow;
    year += windowStart / 100 * 100;
    if (CenturyWindow > 0 && year < windowStart) year += 100;
    return year;
}

void SkipBlanks(const QString& text, int& pos) {
    while (pos < text.size() && text[pos] == u' ')
        ++pos;
}

bool ReadNumber(const QString& text, int maxLength, int& pos, int& number) {
    SkipBlanks(text, pos);
    int value = 0;
    int digits = 0;
    // The value stops growing once it reaches four digits, as in a 16-bit field.
    while (pos < text.size() && IsDigit(text[pos]) && digits < maxLength && value < 1000) {
        value = value * 10 + (text[pos].unicode() - u'0');
        ++digits;
        ++pos;
    }
    if (digits == 0) return false;
    number = value;
    return true;
}

bool ExpectChar(const QString& text, int& pos, QChar ch) {
    SkipBlanks(text, pos);
    if (pos < text.size() && text[pos] == ch) {
        ++pos;
        return true;
    }
    return false;
}

void SkipToDigit(const QString& text, int& pos) {
    while (pos < text.size() && !IsDigit(text[pos]))
        ++pos;
}

bool ParseDateParts(const QString& text, const QString& format, int& pos, int& year, int& month, int& day,
                    const platform::FormatSettings& locale) {
    year = month = day = 0;
    const TDateOrder order = DateOrderOf(format);
    const QChar separator = locale.dateSeparator;
    if (locale.shortDateFormat.startsWith(u'g')) SkipToDigit(text, pos); // an era name first
    constexpr int anyLength = std::numeric_limits<int>::max();
    int n1 = 0, n2 = 0, n3 = 0;
    if (!ReadNumber(text, anyLength, pos, n1) || !ExpectChar(text, pos, separator) ||
        !ReadNumber(text, anyLength, pos, n2))
        return false;
    if (ExpectChar(text, pos, separator)) {
        if (!ReadNumber(text, anyLength, pos, n3)) return false;
        switch (order) {
        case TDateOrder::MDY:
            month = n1, day = n2, year = n3;
            break;
        case TDateOrder::DMY:
            day = n1, month = n2, year = n3;
            break;
        case TDateOrder::YMD:
            year = n1, month = n2, day = n3;
            break;
        }
        year = WidenTwoDigitYear(year);
    } else {
        year = ThisYear();
        if (order == TDateOrder::DMY)
            day = n1, month = n2;
        else
            month = n1, day = n2;
    }
    ExpectChar(text, pos, separator);
    SkipBlanks(text, pos);
    if (locale.farEast && locale.shortDateFormat.contains(QStringLiteral("ddd")))
        SkipFarEastTail(text, pos, locale);
    return IsValidYmd(year, month, day) && pos >= text.size();
}

int MonthByName(const QString& text, int maxLen, const platform::FormatSettings& locale) {
    if (text.isEmpty()) return 0;
    const QString wanted = text.left(maxLen);
    for (int month = 1; month <= 12 && month <= locale.longMonthNames.size(); ++month) {
        const QString& name = locale.longMonthNames[month - 1];
        if (!name.isEmpty() && name.left(maxLen).compare(wanted, Qt::CaseInsensitive) == 0) return month;
    }
    return 0;
}

bool SplitDateText(const QString& format, const QString& text, int& day, int& month, int& year,
                   const platform::FormatSettings& locale) {
    month = PickFormatField(format, text, u'm', 3, -1, 0, locale);
    if (month == 0) month = PickFormatField(format, text, u'm', 1, -1, 0, locale);
    day = PickFormatField(format, text, u'd', 1, -1, 1, locale);
    year = WidenTwoDigitYear(PickFormatField(format, text, u'y', 1, -1, ThisYear(), locale));
    if (IsValidYmd(year, month, day)) return true;
    int pos = 0;
    return ParseDateParts(text, format, pos, year, month, day, locale);
}

bool TryTextToDate(const QString& format, const QString& text, TDateTime& date,
                   const platform::FormatSettings& locale) {
    if (text.isEmpty()) {
        date = NoDate;
        return true;
    }
    int day = 0, month = 0, year = 0;
    if (!SplitDateText(format, text, day, month, year, locale)) return false;
    const std::optional<double> encoded = platform::EncodeDayCount(year, month, day);
    if (!encoded) return false;
    date = *encoded;
    return true;
}

TDateTime TextToDateStrict(const QString& format, const QString& text,
                           const platform::FormatSettings& locale) {
    TDateTime date = NoDate;
    if (!TryTextToDate(format, text, date, locale))
        throw EConvertError(LoadResourceString(SInvalidDate).replace(QStringLiteral("%s"), text));
    return date;
}

TDateTime TextToDateOrDefault(const QString& format, const QString& text, TDateTime defaultDate,
                              const platform::FormatSettings& locale) {
    TDateTime date = NoDate;
    return TryTextToDate(format, text, date, locale) ? date : std::trunc(defaultDate);
}

QString MakeDateFormat(bool fourDigits, const platform::FormatSettings& locale) {
    switch (DateOrderOf(locale.shortDateFormat)) {
    case TDateOrder::MDY:
        return fourDigits ? QStringLiteral("MM/DD/YYYY") : QStringLiteral("MM/DD/YY");
    case TDateOrder::YMD:
        return fourDigits ? QStringLiteral("YYYY/MM/DD") : QStringLiteral("YY/MM/DD");
    case TDateOrder::DMY:
        break;
    }
    return fourDigits ? QStringLiteral("DD/MM/YYYY") : QStringLiteral("DD/MM/YY");
}

QString MakeDateEditMask(QChar blanksChar, bool fourDigits, const platform::FormatSettings& locale) {
    QString mask = QStringLiteral("!99/99/99;1;");
    if (fourDigits)
        mask = DateOrderOf(locale.shortDateFormat) == TDateOrder::YMD ? QStringLiteral("!9999/99/99;1;")
                                                                      : QStringLiteral("!99/99/9999;1;");
    return mask + blanksChar;
}

} // namespace widgets
