#pragma once

#include "platform/WindowsLocale.h"

#include <QString>
#include <stdexcept>

namespace widgets {

// Date text of the date edits: reading typed dates in the locale's order, two-digit years,
// and the edit's default display format and mask. Dates are the class library's day counts
// (days since 30 December 1899, the time as the fraction). Every function that needs the
// locale takes its settings, the user's by default.

using TDateTime = double;

// The null date: an empty date edit stands for it.
constexpr TDateTime NoDate = 0.0;
// Two-digit years land in the hundred years that begin this many years before this year.
constexpr unsigned char CenturyWindow = 60;

enum class TDateOrder { MDY = 0, DMY = 1, YMD = 2 };

// The class library's conversion error; what() is the user's message.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const QString& message);
    QString Message() const { return QString::fromUtf8(what()); }
};

bool YearIsLeap(int year);
// Days of `month` (1..12) in `year`.
int DaysInMonthOf(int year, int month);
bool IsValidYmd(int year, int month, int day);
// The date's calendar day is one of the years 1 to 9999.
bool IsValidDateValue(TDateTime date);
// The year of the clock's local time.
int ThisYear();
// The date part of the clock's local time.
TDateTime Today();

// True when the user's short date format shows four-digit years; read once, at first use.
bool UseFourDigitYears();

TDateOrder DateOrderOf(const QString& format);
// Years 0..99 go into the century window; every other year is returned unchanged (a blank
// field reads as -1 and must stay invalid).
int WidenTwoDigitYear(int year);

// Scanning primitives; `pos` is an index into `text` (0 = the first character).
void SkipBlanks(const QString& text, int& pos);
bool ReadNumber(const QString& text, int maxLength, int& pos, int& number);
bool ExpectChar(const QString& text, int& pos, QChar ch);
void SkipToDigit(const QString& text, int& pos);

// The free-form scan: two or three numbers in the locale's order, split by its date separator.
bool ParseDateParts(const QString& text, const QString& format, int& pos, int& year, int& month, int& day,
                    const platform::FormatSettings& locale = platform::WindowsFormatSettings());
// The first month whose long name matches the text over `maxLen` characters; 0 for none.
int MonthByName(const QString& text, int maxLen,
                const platform::FormatSettings& locale = platform::WindowsFormatSettings());
// Reads the text at the positions of the format's fields, then falls back to the free-form scan.
bool SplitDateText(const QString& format, const QString& text, int& day, int& month, int& year,
                   const platform::FormatSettings& locale = platform::WindowsFormatSettings());

// An empty text gives NoDate.
bool TryTextToDate(const QString& format, const QString& text, TDateTime& date,
                   const platform::FormatSettings& locale = platform::WindowsFormatSettings());
// Throws EConvertError "''<text>'' is not a valid date" when the text is no date.
TDateTime TextToDateStrict(const QString& format, const QString& text,
                           const platform::FormatSettings& locale = platform::WindowsFormatSettings());
// The default's whole day when the text is no date.
TDateTime TextToDateOrDefault(const QString& format, const QString& text, TDateTime defaultDate,
                              const platform::FormatSettings& locale = platform::WindowsFormatSettings());

// "DD/MM/YYYY" and its kin in the locale's order; the slash stands for the date separator.
QString MakeDateFormat(bool fourDigits,
                       const platform::FormatSettings& locale = platform::WindowsFormatSettings());
// "!99/99/9999;1; " and its kin, ending in the blanks character.
QString MakeDateEditMask(QChar blanksChar, bool fourDigits,
                         const platform::FormatSettings& locale = platform::WindowsFormatSettings());

} // namespace widgets
