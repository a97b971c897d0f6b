#pragma once

#include "NumberSeparators.h"

#include <optional>
#include <string>
#include <string_view>

// The text rules of the numeric edit, free of any widget: how its texts become numbers, how
// numbers become its texts, and which typed characters it lets through. Texts are
// Windows-1252 bytes in the user's separators.
namespace widgets {

// The most decimals an edit keeps; more would only build long texts of zeros.
constexpr int kMaxDecimalPlaces = 18;
int ClampDecimalPlaces(long long places);

// Blanks trimmed, thousand separators dropped, "." and "," that are no separator of the locale
// read as its decimal separator; "" becomes "0" and "-" becomes "-0".
std::string NormaliseNumberText(std::string_view s, const NumberSeparators& separators);

// The value of a text made only of signs, digits, "E" and the decimal separator, read whole.
std::optional<long double> ParsesAsNumber(std::string_view s, const NumberSeparators& separators);

// The number a text stands for (NormaliseNumberText, then a strict read); nullopt when none.
std::optional<long double> NumberOfText(std::string_view s, const NumberSeparators& separators);

// The bounds of an edit. Equal bounds mean no range; with MinValue above MaxValue only the bound
// that is not 0 applies, and with neither 0 no bound does.
struct NumberRange {
    long double minValue = 0;
    long double maxValue = 0;
};
long double CheckNumberRange(long double x, const NumberRange& range);

// "Value must be between %d and %d" with each "%d" filled by a bound in fixed point.
std::string RangeErrorText(std::string_view pattern, int places, const NumberRange& range,
                           char decimalSeparator);

// The text typed on: "0" then "." and one "#" per place; "" for 0 when zeroEmpty.
std::string EditTextOf(long double value, int places, bool zeroEmpty, const NumberSeparators& separators);

// The text shown while the edit has no focus: the picture, or with none the general format
// with 15 digits.
std::string FormatDisplayValue(long double value, std::string_view displayFormat,
                               const NumberSeparators& separators);

// The digits of a number text's integer part, grouped by thousands when grouping is on; sign,
// decimals and exponent stay as they are.
std::string GroupThousands(std::string_view s, bool grouping, const NumberSeparators& separators);

// A typed "." or "," that is not the thousand separator types the decimal separator.
char TypedNumberChar(char key, const NumberSeparators& separators);

// What a typed character would make of the edit text: the selection replaced by it.
std::string CandidateText(std::string_view text, int selectionStart, int selectionLength, char typed);

// The typing filter: whether the candidate text is still a number with at most `places`
// decimals, of no more than maxLength characters (0: no limit), and not negative in a range
// that starts at 0 or above.
struct TypingRules {
    int places = 2;
    NumberRange range;
    int maxLength = 0;
};
bool AcceptsCandidate(std::string_view candidate, const TypingRules& rules,
                      const NumberSeparators& separators);

} // namespace widgets
