#include "SaturationIndex.h"

#include <cmath>
#include <limits>
#include <span>

namespace {

struct FactorRange {
    long double low, high; // closed range of whole numbers
    long double factor;
};

long double LookUp(std::span<const FactorRange> table, long double otherwise, long double x) {
    const long double n = std::nearbyint(x); // halves to even in the default rounding mode
    for (const FactorRange& range : table)
        if (n >= range.low && n <= range.high) return range.factor;
    return otherwise;
}

constexpr FactorRange kTemperatureFactors[] = {
    {0, 2, 0.0L},   {3, 5, 0.1L},   {6, 9, 0.2L},   {10, 14, 0.3L}, {15, 17, 0.4L},
    {18, 22, 0.5L}, {23, 27, 0.6L}, {28, 31, 0.7L}, {32, 40, 0.8L},
};

constexpr FactorRange kHardnessFactors[] = {
    {0, 10, 0.3L},    {11, 40, 1.0L},   {41, 65, 1.3L},   {66, 80, 1.5L},   {81, 130, 1.6L},
    {131, 180, 1.8L}, {181, 250, 1.9L}, {251, 350, 2.1L}, {351, 650, 2.2L},
};

constexpr FactorRange kAlkalinityFactors[] = {
    {0, 10, 0.7L},    {11, 40, 1.4L},   {41, 65, 1.7L},   {66, 80, 1.9L},   {81, 130, 2.0L},
    {131, 180, 2.2L}, {181, 250, 2.3L}, {251, 350, 2.5L}, {351, 650, 2.6L},
};

// The index's own constant, an 80-bit value like every term it is taken from.
constexpr long double kBalanceOffset = 11.8L;

} // namespace

long double TemperatureFactor(long double celsius) {
    return LookUp(kTemperatureFactors, 0.9L, celsius);
}
long double HardnessFactor(long double ppm) {
    return LookUp(kHardnessFactors, 2.5L, ppm);
}
long double AlkalinityFactor(long double ppm) {
    return LookUp(kAlkalinityFactors, 2.9L, ppm);
}

std::optional<long double> SaturationIndex(const TTestData& test) {
    if (!(test.temperature > 0 && test.alkalinity > 0 && test.pH > 0 && test.hardness > 0))
        return std::nullopt;
    std::int32_t whole = 0;
    // A temperature beyond 32 bits lies in no range of the table, as NaN does.
    const long double celsius =
        TemperatureCelsius(test, whole) ? whole : std::numeric_limits<long double>::quiet_NaN();
    // Added in this order in 80-bit precision: the order decides the last bit.
    long double si = TemperatureFactor(celsius);
    si += test.pH;
    si += HardnessFactor(test.hardness);
    si += AlkalinityFactor(test.alkalinity);
    si -= kBalanceOffset;
    return si;
}
