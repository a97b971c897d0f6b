#pragma once

#include "ReportCall.h"

#include <cstdint>
#include <string>
#include <string_view>

// Number and dose texts of the advice page. The decimal separator is the call's.

std::string StripBlanks(std::string_view s);
bool IsBlank(std::string_view s);
std::string IntText(std::int64_t n, int width);
std::string FixedText(const ReportCall& call, int width, int decimals, long double x);
std::int32_t TextToIntSafe(const ReportCall& call, std::string_view s);
long double TextToFloatSafe(const ReportCall& call, std::string_view s);
inline std::string IfStr(bool flag, std::string a, std::string b) {
    return flag ? a : b;
}

std::string RowAmountText(const ReportCall& call, int row);
std::string DoseText(const ReportCall& call, std::string_view small, std::string_view large, long double x);
std::string RowAmountBold(const ReportCall& call, int row);
std::string DoseByCode(const ReportCall& call, int code);

// A dose of k per 1000 litres for V litres: (V / 1000) x k in 80-bit precision.
inline long double PerThousandLitres(std::int32_t litres, long double k) {
    return static_cast<long double>(litres) / 1000.0L * k;
}
// The same for the call's body, V read afresh.
inline long double PerThousandLitres(const ReportCall& call, long double k) {
    return PerThousandLitres(VolumeLitresOf(call), k);
}
