#pragma once

#include <optional>
#include <string>
#include <string_view>

// Number texts of the class library's runtime, locale-independent: never printf or strtod
// (they follow LC_NUMERIC). The caller passes the user's separators (see WindowsLocale);
// results are single-byte texts in the system code page.
namespace platform {

// Fixed point with exactly `decimals` decimals: the value is taken to 18 significant
// decimal digits, then rounded half away from zero at the last decimal. A value that
// rounds to zero has no minus sign. Infinite and NaN values give "INF", "-INF", "NAN".
std::string FormatFixed(long double value, int decimals, char decimalSeparator);

// General format with at most `significantDigits` digits: the shortest of plain decimal
// or scientific notation, trailing zeros dropped (the runtime's ffGeneral).
std::string FormatGeneral(long double value, int significantDigits, char decimalSeparator);

// A picture format of '#', '0', ',' and '.' and literal characters, as the class library's
// FormatFloat reads it ("### ### ###": groups of three separated by single blanks). The value is
// rounded half away from zero; '#' positions that hold no digit are dropped.
std::string FormatPicture(long double value, std::string_view picture, char decimalSeparator,
                          char thousandSeparator);

// Reads a whole text as a real number with the given decimal separator: optional blanks
// around it, optional sign, digits with at most one separator, optional exponent.
// Anything else, an empty text or an overflow gives nullopt. Never throws.
std::optional<long double> ParseNumber(std::string_view text, char decimalSeparator);

// ParseNumber for a 64-bit float: a value beyond the range of a double also gives nullopt,
// so no reader ever holds an infinity.
std::optional<double> ParseDouble(std::string_view text, char decimalSeparator);

} // namespace platform
