#pragma once

#include <QChar>
#include <QLocale>
#include <QString>
#include <QStringList>

// The format settings the class library keeps for the user's locale, taken from QLocale.
// Date and time patterns use the class library's letters (d dd ddd dddd ddddd dddddd,
// m mm mmm mmmm, yy yyyy, h hh n nn s ss z zzz t tt am/pm ampm a/p, '/' ':' for the
// separators, quoted literals); two-digit years are widened to four. Qt's time-zone letter has
// no counterpart and is left out.
namespace platform {

struct FormatSettings {
    QChar decimalSeparator = u'.';
    QChar thousandSeparator = u',';
    QChar dateSeparator = u'/';
    QChar timeSeparator = u':';
    QString shortDateFormat; // e.g. "m/d/yyyy"
    QString longDateFormat;  // e.g. "dddd, mmmm d, yyyy"
    QString shortTimeFormat; // e.g. "h:nn AMPM"
    QString longTimeFormat;  // e.g. "h:nn:ss AMPM"
    QString timeAMString;
    QString timePMString;
    QString currencyString;
    QStringList shortMonthNames; // January first
    QStringList longMonthNames;
    QStringList shortDayNames; // Sunday first
    QStringList longDayNames;
    bool farEast = false; // Chinese, Japanese or Korean: the system's far-east flag
};

// The settings of `locale`; the default QLocale() is the user's (tests set it).
FormatSettings WindowsFormatSettings(const QLocale& locale = QLocale());

// The user's decimal separator as one Windows-1252 byte, for the engine's byte texts.
char DecimalSeparatorByte(const QLocale& locale = QLocale());

// The user's thousand separator as one Windows-1252 byte. Separators the code page lacks
// (the narrow no-break space of some locales) become the no-break space 0xA0, as Windows has it.
char ThousandSeparatorByte(const QLocale& locale = QLocale());

} // namespace platform
