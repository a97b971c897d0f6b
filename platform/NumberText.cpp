#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>
#include <vector>

namespace platform {
namespace {

// The class library keeps 18 significant digits of an extended value.
constexpr int kSignificantDigits = 18;

// |value| as 18 decimal digits d0.d1...d17 times 10^exponent (value must be finite).
struct Decimal {
    std::string digits; // exactly kSignificantDigits digits, or "" for zero
    int exponent = 0;   // of the first digit
    bool negative = false;
};

Decimal ToDecimal(long double value) {
    Decimal d;
    d.negative = std::signbit(value);
    if (value == 0.0L) return d;
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                   std::chars_format::scientific, kSignificantDigits - 1);
    (void)ec; // the buffer is large enough for any extended value
    std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    std::size_t e = text.find('e');
    d.digits.push_back(text[0]);
    d.digits.append(text.substr(2, e - 2));
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), d.exponent);
    return d;
}

// The digits of |value| rounded half away from zero at 10^-decimals, as a whole number
// (value x 10^decimals), most significant first; "0" when nothing is left.
std::string ScaledDigits(const Decimal& d, int decimals) {
    if (d.digits.empty()) return "0";
    int kept = d.exponent + decimals + 1; // digits at or above 10^-decimals
    if (kept < 0) return "0";
    std::string out;
    bool roundUp = false;
    if (kept == 0) {
        roundUp = d.digits[0] >= '5';
    } else if (kept >= kSignificantDigits) {
        out = d.digits + std::string(static_cast<std::size_t>(kept - kSignificantDigits), '0');
    } else {
        out = d.digits.substr(0, static_cast<std::size_t>(kept));
        roundUp = d.digits[static_cast<std::size_t>(kept)] >= '5';
    }
    if (roundUp) {
        int i = static_cast<int>(out.size()) - 1;
        while (i >= 0 && out[static_cast<std::size_t>(i)] == '9')
            out[static_cast<std::size_t>(i--)] = '0';
        if (i >= 0)
            ++out[static_cast<std::size_t>(i)];
        else
            out.insert(out.begin(), '1');
    }
    std::size_t first = out.find_first_not_of('0');
    return first == std::string::npos ? "0" : out.substr(first);
}

std::string NonFinite(long double value) {
    if (std::isnan(value)) return "NAN";
    return value < 0 ? "-INF" : "INF";
}

} // namespace

std::string FormatFixed(long double value, int decimals, char decimalSeparator) {
    if (!std::isfinite(value)) return NonFinite(value);
    decimals = std::max(decimals, 0);
    Decimal d = ToDecimal(value);
    std::string digits = ScaledDigits(d, decimals);
    bool zero = digits == "0";
    if (digits.size() < static_cast<std::size_t>(decimals) + 1)
        digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
    std::string out = d.negative && !zero ? "-" : "";
    out.append(digits, 0, digits.size() - static_cast<std::size_t>(decimals));
    if (decimals > 0) {
        out.push_back(decimalSeparator);
        out.append(digits, digits.size() - static_cast<std::size_t>(decimals));
    }
    return out;
}

std::string FormatGeneral(long double value, int significantDigits, char decimalSeparator) {
    if (!std::isfinite(value)) return NonFinite(value);
    int precision = std::clamp(significantDigits, 1, kSignificantDigits);
    Decimal d = ToDecimal(value);
    if (d.digits.empty()) return "0";
    // Round to `precision` significant digits; a carry can add a digit in front.
    std::string digits = ScaledDigits(d, precision - 1 - d.exponent);
    int exponent = d.exponent + static_cast<int>(digits.size()) - precision;
    digits.erase(digits.find_last_not_of('0') + 1);
    std::string out = d.negative ? "-" : "";
    int count = static_cast<int>(digits.size());
    // Plain notation while the whole digits fit the precision and the value is at least 0.0001.
    if (exponent < precision && exponent >= -4) {
        if (exponent >= 0) {
            std::string whole = digits.substr(0, static_cast<std::size_t>(std::min(count, exponent + 1)));
            whole.append(static_cast<std::size_t>(std::max(0, exponent + 1 - count)), '0');
            out += whole;
            if (count > exponent + 1) {
                out.push_back(decimalSeparator);
                out.append(digits, static_cast<std::size_t>(exponent + 1));
            }
        } else {
            out += '0';
            out.push_back(decimalSeparator);
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        }
        return out;
    }
    out += digits[0];
    if (count > 1) {
        out.push_back(decimalSeparator);
        out.append(digits, 1);
    }
    out += 'E';
    if (exponent < 0) out += '-';
    out += std::to_string(std::abs(exponent));
    return out;
}

namespace {

// Literal text of the picture: quoted runs lose their quotes and become plain characters,
// marked so they are never read as placeholders.
struct PictureChar {
    char c;
    bool literal;
};

std::vector<PictureChar> Tokens(std::string_view picture) {
    std::vector<PictureChar> out;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        char c = picture[i];
        if (c == '"' || c == '\'') {
            std::size_t close = picture.find(c, i + 1);
            if (close == std::string_view::npos) close = picture.size();
            for (std::size_t j = i + 1; j < close; ++j)
                out.push_back({picture[j], true});
            i = close;
        } else {
            out.push_back({c, c != '#' && c != '0' && c != ',' && c != '.'});
        }
    }
    return out;
}

// Sections "positive;negative;zero", split outside quotes.
std::vector<std::string_view> Sections(std::string_view picture) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    char quote = 0;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        char c = picture[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            out.push_back(picture.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(picture.substr(start));
    return out;
}

// A section split at its first decimal point; ',' marks grouping and takes no position.
struct SectionParts {
    std::vector<PictureChar> integerPart;
    std::vector<PictureChar> fractionPart;
    bool grouping = false;
    int fractionPlaces = 0;
};

SectionParts SplitSection(std::string_view section) {
    SectionParts parts;
    bool inFraction = false;
    for (const PictureChar& t : Tokens(section)) {
        if (!t.literal && t.c == '.' && !inFraction) {
            inFraction = true;
            continue;
        }
        if (!t.literal && t.c == ',') {
            if (!inFraction) parts.grouping = true;
            continue;
        }
        if (!t.literal && t.c == '.') continue; // a second point is ignored
        (inFraction ? parts.fractionPart : parts.integerPart).push_back(t);
        if (inFraction && !t.literal) ++parts.fractionPlaces;
    }
    return parts;
}

std::string FormatSection(long double magnitude, const SectionParts& parts, bool minus, char decimalSeparator,
                          char thousandSeparator) {
    const std::size_t places = static_cast<std::size_t>(parts.fractionPlaces);
    std::string scaled = ScaledDigits(ToDecimal(magnitude), parts.fractionPlaces);
    if (scaled.size() < places + 1) scaled.insert(0, places + 1 - scaled.size(), '0');
    std::string whole = scaled.substr(0, scaled.size() - places);
    const std::string fraction = scaled.substr(whole.size());
    if (whole == "0") whole.clear(); // a leading zero only where a '0' placeholder asks for it

    // Fraction: a '0' always shows its digit, a '#' only up to the last non-zero digit.
    // Literals after the last placeholder always show.
    std::string fractionText;
    bool fractionDigits = false;
    {
        int lastShown = -1;
        int place = 0;
        for (const PictureChar& t : parts.fractionPart) {
            if (t.literal) continue;
            if (t.c == '0' || fraction[static_cast<std::size_t>(place)] != '0') lastShown = place;
            ++place;
        }
        place = 0;
        for (const PictureChar& t : parts.fractionPart) {
            if (t.literal) {
                if (place <= lastShown || place == parts.fractionPlaces) fractionText += t.c;
                continue;
            }
            if (place <= lastShown) {
                fractionText += fraction[static_cast<std::size_t>(place)];
                fractionDigits = true;
            }
            ++place;
        }
    }

    // Integer part: digits fill the placeholders from the right, digits beyond them go in
    // front of the first placeholder; a literal inside the number shows only after a digit,
    // so a short number has no leading blanks.
    int placeholders = 0;
    int zeroWidth = 0; // digits forced by the leftmost '0' placeholder
    for (const PictureChar& t : parts.integerPart) {
        if (t.literal) continue;
        ++placeholders;
        if (t.c == '0' && zeroWidth == 0) zeroWidth = -placeholders; // fixed up below
    }
    if (zeroWidth < 0) zeroWidth = placeholders + zeroWidth + 1;
    int digitCount = std::max(static_cast<int>(whole.size()), zeroWidth);
    if (digitCount == 0 && !fractionDigits && placeholders > 0) digitCount = 1; // zero shows "0"
    const std::string padded = std::string(static_cast<std::size_t>(digitCount) - whole.size(), '0') + whole;

    std::string out = minus ? "-" : "";
    auto putDigit = [&](int index) {
        out += padded[static_cast<std::size_t>(index)];
        int remaining = digitCount - 1 - index;
        if (parts.grouping && remaining > 0 && remaining % 3 == 0) out += thousandSeparator;
    };
    bool started = false;
    int fromRight = placeholders;
    for (const PictureChar& t : parts.integerPart) {
        if (t.literal) {
            if (started || fromRight == placeholders || fromRight == 0) out += t.c;
            continue;
        }
        --fromRight;
        int index = digitCount - 1 - fromRight; // the digit this placeholder holds, from the left
        if (fromRight == placeholders - 1)
            for (int i = 0; i < index; ++i)
                putDigit(i); // digits beyond the placeholders
        if (index >= 0) {
            putDigit(index);
            started = true;
        }
    }
    if (fractionDigits) out += decimalSeparator;
    out += fractionText;
    return out;
}

} // namespace

std::string FormatPicture(long double value, std::string_view picture, char decimalSeparator,
                          char thousandSeparator) {
    if (!std::isfinite(value)) return NonFinite(value);
    std::vector<std::string_view> sections = Sections(picture);
    const long double magnitude = std::fabs(value);
    const SectionParts positive = SplitSection(sections[0]);
    // A value that rounds to zero at the positive section's decimals is zero: no minus sign.
    if (ScaledDigits(ToDecimal(magnitude), positive.fractionPlaces) == "0") {
        if (sections.size() >= 3 && !sections[2].empty())
            return FormatSection(0.0L, SplitSection(sections[2]), false, decimalSeparator, thousandSeparator);
        return FormatSection(0.0L, positive, false, decimalSeparator, thousandSeparator);
    }
    if (value < 0) {
        if (sections.size() >= 2 && !sections[1].empty())
            return FormatSection(magnitude, SplitSection(sections[1]), false, decimalSeparator,
                                 thousandSeparator);
        return FormatSection(magnitude, positive, true, decimalSeparator, thousandSeparator);
    }
    return FormatSection(magnitude, positive, false, decimalSeparator, thousandSeparator);
}

std::optional<long double> ParseNumber(std::string_view text, char decimalSeparator) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);

    // Rebuild the text with '.' so from_chars (which follows no locale) reads it.
    std::string canonical;
    std::size_t i = 0;
    if (text[i] == '+' || text[i] == '-') {
        if (text[i] == '-') canonical += '-';
        ++i;
    }
    int digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            canonical += c;
            ++digits;
        } else if (c == decimalSeparator && !point) {
            canonical += '.';
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
        canonical += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) canonical += text[i++];
        int exponentDigits = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++exponentDigits)
            canonical += text[i];
        if (exponentDigits == 0 || i != text.size()) return std::nullopt;
    }
    long double value = 0.0L;
    auto [end, ec] = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    if (ec != std::errc() || end != canonical.data() + canonical.size()) return std::nullopt;
    return value;
}

std::optional<double> ParseDouble(std::string_view text, char decimalSeparator) {
    std::optional<long double> value = ParseNumber(text, decimalSeparator);
    if (!value) return std::nullopt;
    const double narrowed = static_cast<double>(*value);
    if (!std::isfinite(narrowed)) return std::nullopt;
    return narrowed;
}

} // namespace platform
