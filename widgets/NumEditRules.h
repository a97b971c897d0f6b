#pragma once

#include "NumberSeparators.h"

#include <QString>
#include <optional>

// The text rules of the numeric edit, free of any widget: how its texts become numbers, how
// numbers become its texts, and which typed characters it lets through. Texts are
// Windows-1252 bytes in the user's separators.
namespace widgets {

// The most decimals an edit keeps; more would only build long texts of zeros.
constexpr int kMaxDecimalPlaces = 18;
int ClampDecimalPlaces(long long places);

// Blanks trimmed, thousand separators dropped, "." and "," that are no separator of the locale
// read as its decimal separator; "" becomes "0" and "-" becomes "-0".
QString NormaliseNumberText(const QString& s, const NumberSeparators& separators);

// The value of a text made only of signs, digits, "E" and the decimal separator, read whole.
std::optional<long double> ParsesAsNumber(const QString& s, const NumberSeparators& separators);

// The number a text stands for (NormaliseNumberText, then a strict read); nullopt when none.
std::optional<long double> NumberOfText(const QString& s, const NumberSeparators& separators);

// The bounds of an edit. Equal bounds mean no range; with MinValue above MaxValue only the bound
// that is not 0 applies, and with neither 0 no bound does.
struct NumberRange {
    long double minValue = 0;
    long double maxValue = 0;
};
long double CheckNumberRange(long double x, const NumberRange& range);

// "Value must be between %d and %d" with each "%d" filled by a bound in fixed point.
QString RangeErrorText(const QString& pattern, int places, const NumberRange& range, QChar decimalSeparator);

// The text typed on: "0" then "." and one "#" per place; "" for 0 when zeroEmpty.
QString EditTextOf(long double value, int places, bool zeroEmpty, const NumberSeparators& separators);

// The text shown while the edit has no focus: the picture, or with none the general format
// with 15 digits.
QString FormatDisplayValue(long double value, const QString& displayFormat,
                           const NumberSeparators& separators);

// The digits of a number text's integer part, grouped by thousands when grouping is on; sign,
// decimals and exponent stay as they are.
QString GroupThousands(const QString& s, bool grouping, const NumberSeparators& separators);

// A typed "." or "," that is not the thousand separator types the decimal separator.
QChar TypedNumberChar(QChar key, const NumberSeparators& separators);

// What a typed character would make of the edit text: the selection replaced by it.
QString CandidateText(const QString& text, int selectionStart, int selectionLength, QChar typed);

// The typing filter: whether the candidate text is still a number with at most `places`
// decimals, and not negative in a range that starts at 0 or above.
struct TypingRules {
    int places = 2;
    NumberRange range;
};
bool AcceptsCandidate(const QString& candidate, const TypingRules& rules, const NumberSeparators& separators);

} // namespace widgets
