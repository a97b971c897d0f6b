#include "NumberTexts.h"

#include "platform/NumberText.h"

#include <cmath>

namespace {

std::string PadLeft(std::string text, int width) {
    if (width > 0 && text.size() < static_cast<std::size_t>(width))
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

// Halves to even, as the whole-number rounding of the page; never overflows.
long double RoundHalfEven(long double x) {
    return std::nearbyint(x);
}

// Two decimals below 1, none from 1 up: small doses keep their hundredths.
int DoseDecimals(long double x) {
    return x >= 1.0L ? 0 : 2;
}

} // namespace

std::string StripBlanks(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != ' ') out.push_back(c);
    return out;
}

bool IsBlank(std::string_view s) {
    return s.find_first_not_of(' ') == std::string_view::npos;
}

std::string IntText(std::int64_t n, int width) {
    return PadLeft(std::to_string(n), width);
}

std::string FixedText(const ReportCall& call, int width, int decimals, long double x) {
    return PadLeft(platform::FormatFixed(x, decimals, call.decimalSeparator), width);
}

std::int32_t TextToIntSafe(const ReportCall& call, std::string_view s) {
    long double value = TextToFloatSafe(call, s);
    std::int32_t result = 0;
    return RoundToInt32(value, result) ? result : 0;
}

long double TextToFloatSafe(const ReportCall& call, std::string_view s) {
    if (IsBlank(s)) return 0.0L;
    return platform::ParseNumber(s, call.decimalSeparator).value_or(0.0L);
}

std::string RowAmountText(const ReportCall& call, int row) {
    const TResultRow& r = call.Row(row);
    const double a = r.amount;
    const std::string& unit = r.status;
    if (a == 0.0) return unit;
    if (RoundHalfEven(a) <= 1000.0L) return StripBlanks(FixedText(call, 10, DoseDecimals(a), a)) + " " + unit;
    const double litres = static_cast<double>(a / 1000.0L); // back into the row's 64-bit amount
    std::string large = unit == "ml" ? "l" : unit == "gr" ? "kg" : unit;
    return StripBlanks(FixedText(call, 12, 2, litres)) + " " + large;
}

std::string DoseText(const ReportCall& call, std::string_view small, std::string_view large, long double x) {
    const double dose = static_cast<double>(x);
    if (dose == 0.0) return {};
    if (RoundHalfEven(dose) > 1000.0L)
        return StripBlanks(FixedText(call, 12, 2, dose / 1000.0L)) + " " + std::string(large);
    return StripBlanks(FixedText(call, 12, DoseDecimals(dose), dose)) + " " + std::string(small);
}

std::string RowAmountBold(const ReportCall& call, int row) {
    std::string amount = RowAmountText(call, row);
    return amount.empty() ? std::string() : "<b>" + amount + "</b> of ";
}

namespace {

// The doses that are a fixed amount per 1000 litres of the body's volume.
struct VolumeDose {
    int code;
    long double perThousandLitres;
    bool grams; // "gr " / "kg ", else "ml " / "l "
};
constexpr VolumeDose kVolumeDoses[] = {
    {14, 10.0L, false}, {16, 25.0L, false}, {17, 32.0L, false},  {21, 12.0L, true},
    {22, 10.0L, true},  {23, 10.0L, false}, {24, 25.0L, false},  {25, 10.0L, false},
    {31, 60.0L, true},  {32, 25.0L, true},  {33, 100.0L, false}, {34, 30.0L, false},
};

std::string DoseIn(const ReportCall& call, bool grams, long double x) {
    return grams ? DoseText(call, "gr ", "kg ", x) : DoseText(call, "ml ", "l ", x);
}

std::string DoseOfCode(const ReportCall& call, int code) {
    for (const VolumeDose& d : kVolumeDoses)
        if (d.code == code) return DoseIn(call, d.grams, PerThousandLitres(call, d.perThousandLitres));
    switch (code) {
    case 18:
        return DoseIn(call, false, PerThousandLitres(call, 9.0L) * 15.0L);
    case 20: {
        long double tenths = static_cast<long double>(TextToIntSafe(call, call.Row(1).result) - 100) / 10.0L;
        return DoseIn(call, true, tenths * PerThousandLitres(call, 19.0L));
    }
    case 26:
    case 27:
    case 28:
    case 29:
    case 30: {
        // The row's unit column always reads "ppm": the amount's own unit is its status text.
        const TResultRow& chlorine = call.Row(8);
        return DoseIn(call, chlorine.status == "gr", chlorine.amount);
    }
    case 35:
        return DoseIn(call, false, call.Row(9).amount);
    default:
        return {}; // no dose: an empty bold pair
    }
}

} // namespace

std::string DoseByCode(const ReportCall& call, int code) {
    return "<b>" + DoseOfCode(call, code) + "</b>";
}
