#pragma once

#include <QChar>
#include <QString>
#include <optional>

// The user's number settings as the calculator and the numeric edit use them, and their bridge
// to the shared number texts (platform/NumberText), which work on code-page bytes. The
// separators are always characters of the system code page.
namespace widgets {

struct NumberSeparators {
    QChar decimal = u'.';
    QChar thousand = u',';
    QString currency; // the currency symbol, may be empty
};

// The settings of the user's locale (QLocale(); tests set the default).
NumberSeparators UserNumberSeparators();

// A whole text read strictly as a decimal number (see platform::ParseNumber).
std::optional<long double> ParseNumberText(const QString& text, QChar decimalSeparator);
// The same for a 64-bit float: values beyond a double's range give nullopt.
std::optional<double> ParseDoubleText(const QString& text, QChar decimalSeparator);

QString GeneralText(long double value, int significantDigits, QChar decimalSeparator);
QString FixedText(long double value, int decimals, QChar decimalSeparator);
QString PictureText(long double value, const QString& picture, const NumberSeparators& separators);

} // namespace widgets
