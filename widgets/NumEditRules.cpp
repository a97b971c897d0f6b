#include "NumEditRules.h"

#include "platform/NumberText.h"

#include <algorithm>

namespace widgets {
namespace {

std::string TrimBlanks(std::string_view s) {
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

void ReplaceChar(std::string& s, char from, char to) {
    std::replace(s.begin(), s.end(), from, to);
}

} // namespace

int ClampDecimalPlaces(long long places) {
    return static_cast<int>(std::clamp<long long>(places, 0, kMaxDecimalPlaces));
}

std::string NormaliseNumberText(std::string_view text, const NumberSeparators& separators) {
    std::string s = TrimBlanks(text);
    const char decimal = separators.decimal;
    const char thousand = separators.thousand;
    if (decimal != thousand) s.erase(std::remove(s.begin(), s.end(), thousand), s.end());
    if (decimal != '.' && thousand != '.') ReplaceChar(s, '.', decimal);
    if (decimal != ',' && thousand != ',') ReplaceChar(s, ',', decimal);
    if (s.empty()) return "0";
    if (s == "-") return "-0";
    return s;
}

std::optional<long double> ParsesAsNumber(std::string_view s, const NumberSeparators& separators) {
    for (char c : s) {
        const bool allowed =
            (c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'E' || c == 'e' || c == separators.decimal;
        if (!allowed) return std::nullopt;
    }
    return platform::ParseNumber(s, separators.decimal);
}

std::optional<long double> NumberOfText(std::string_view s, const NumberSeparators& separators) {
    return platform::ParseNumber(NormaliseNumberText(s, separators), separators.decimal);
}

long double CheckNumberRange(long double x, const NumberRange& range) {
    const long double lo = range.minValue;
    const long double hi = range.maxValue;
    if (lo == hi) return x;
    if (lo < hi) return std::clamp(x, lo, hi);
    if (hi == 0) return std::max(x, lo);
    if (lo == 0) return std::min(x, hi);
    return x;
}

std::string RangeErrorText(std::string_view pattern, int places, const NumberRange& range,
                           char decimalSeparator) {
    const std::string bounds[2] = {platform::FormatFixed(range.minValue, places, decimalSeparator),
                                   platform::FormatFixed(range.maxValue, places, decimalSeparator)};
    std::string out;
    int filled = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, 2, "%d") == 0) {
            out += filled < 2 ? bounds[filled] : std::string();
            ++filled;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string EditTextOf(long double value, int places, bool zeroEmpty, const NumberSeparators& separators) {
    if (value == 0 && zeroEmpty) return {};
    places = ClampDecimalPlaces(places);
    const std::string picture = places > 0 ? "0." + std::string(static_cast<std::size_t>(places), '#') : "0";
    return platform::FormatPicture(value, picture, separators.decimal, separators.thousand);
}

std::string FormatDisplayValue(long double value, std::string_view displayFormat,
                               const NumberSeparators& separators) {
    if (displayFormat.empty()) return platform::FormatGeneral(value, 15, separators.decimal);
    return platform::FormatPicture(value, displayFormat, separators.decimal, separators.thousand);
}

std::string GroupThousands(std::string_view text, bool grouping, const NumberSeparators& separators) {
    std::string sign;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        sign = text.substr(0, 1);
        text.remove_prefix(1);
    }
    const std::size_t integerEnd =
        std::min({text.find(separators.decimal), text.find_first_of("Ee"), text.size()});
    const std::string_view integer = text.substr(0, integerEnd);
    std::string out;
    int count = 0;
    for (std::size_t i = integer.size(); i-- > 0;) {
        if (grouping && count > 0 && count % 3 == 0) out += separators.thousand;
        out += integer[i];
        ++count;
    }
    std::reverse(out.begin(), out.end());
    return sign + out + std::string(text.substr(integerEnd));
}

char TypedNumberChar(char key, const NumberSeparators& separators) {
    if ((key == '.' || key == ',') && key != separators.thousand) return separators.decimal;
    return key;
}

std::string CandidateText(std::string_view text, int selectionStart, int selectionLength, char typed) {
    const std::size_t start = std::min(static_cast<std::size_t>(std::max(selectionStart, 0)), text.size());
    const std::size_t length =
        std::min(static_cast<std::size_t>(std::max(selectionLength, 0)), text.size() - start);
    std::string out(text.substr(0, start));
    out += typed;
    out += text.substr(start + length);
    return out;
}

bool AcceptsCandidate(std::string_view candidate, const TypingRules& rules,
                      const NumberSeparators& separators) {
    if (rules.maxLength > 0 && candidate.size() > static_cast<std::size_t>(rules.maxLength)) return false;
    const std::string s = NormaliseNumberText(candidate, separators);
    const std::size_t point = s.find(separators.decimal);
    if (point != std::string::npos) {
        const std::size_t exponent = s.find_first_of("Ee", point + 1);
        const std::size_t decimals = (exponent == std::string::npos ? s.size() : exponent) - point - 1;
        if (decimals > static_cast<std::size_t>(ClampDecimalPlaces(rules.places))) return false;
    }
    const std::optional<long double> value = ParsesAsNumber(s, separators);
    if (!value) return false;
    if (rules.range.minValue >= 0 && rules.range.maxValue > 0 && *value < 0) return false;
    return true;
}

} // namespace widgets
