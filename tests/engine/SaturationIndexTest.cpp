#include "engine/SaturationIndex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

struct FactorCase {
    long double x;
    long double factor;
};

void ExpectFactors(const char* table, const std::function<long double(long double)>& lookUp,
                   const std::vector<FactorCase>& cases) {
    // Exact comparison: the factors are 80-bit constants, so 0.3 must be 0.3L.
    for (const FactorCase& c : cases)
        EXPECT_EQ(lookUp(c.x), c.factor) << table << " at " << static_cast<double>(c.x);
}

TEST(SaturationIndex, TemperatureFactorAtEveryEdge) {
    ExpectFactors("temperature", TemperatureFactor,
                  {{-1, 0.9L}, {-0.6L, 0.9L}, {-0.4L, 0.0L}, {0, 0.0L},  {2, 0.0L},  {2.5L, 0.0L},
                   {3, 0.1L},  {3.5L, 0.1L},  {5, 0.1L},     {6, 0.2L},  {9, 0.2L},  {10, 0.3L},
                   {14, 0.3L}, {15, 0.4L},    {17, 0.4L},    {18, 0.5L}, {22, 0.5L}, {23, 0.6L},
                   {27, 0.6L}, {28, 0.7L},    {31, 0.7L},    {32, 0.8L}, {40, 0.8L}, {40.5L, 0.8L},
                   {41, 0.9L}, {1e30L, 0.9L}, {NAN, 0.9L}});
}

TEST(SaturationIndex, HardnessAndAlkalinityFactorsAtEveryEdge) {
    struct Edge {
        long double ppm, hardness, alkalinity;
    };
    const std::vector<Edge> edges = {
        {-1, 2.5L, 2.9L},    {0, 0.3L, 0.7L},      {10, 0.3L, 0.7L},  {10.4L, 0.3L, 0.7L},
        {10.5L, 0.3L, 0.7L}, {11, 1.0L, 1.4L},     {40, 1.0L, 1.4L},  {41, 1.3L, 1.7L},
        {65, 1.3L, 1.7L},    {66, 1.5L, 1.9L},     {80, 1.5L, 1.9L},  {81, 1.6L, 2.0L},
        {130, 1.6L, 2.0L},   {131, 1.8L, 2.2L},    {180, 1.8L, 2.2L}, {181, 1.9L, 2.3L},
        {250, 1.9L, 2.3L},   {251, 2.1L, 2.5L},    {350, 2.1L, 2.5L}, {351, 2.2L, 2.6L},
        {650, 2.2L, 2.6L},   {650.5L, 2.2L, 2.6L}, {651, 2.5L, 2.9L}, {99999999, 2.5L, 2.9L},
    };
    std::vector<FactorCase> hardness, alkalinity;
    for (const Edge& e : edges) {
        hardness.push_back({e.ppm, e.hardness});
        alkalinity.push_back({e.ppm, e.alkalinity});
    }
    ExpectFactors("hardness", HardnessFactor, hardness);
    ExpectFactors("alkalinity", AlkalinityFactor, alkalinity);
}

TTestData Balanced(long double degrees, std::uint8_t celsius, long double pH, long double hardness,
                   long double alkalinity) {
    TTestData t;
    t.temperature = degrees;
    t.celsius = celsius;
    t.pH = pH;
    t.hardness = hardness;
    t.alkalinity = alkalinity;
    return t;
}

TEST(SaturationIndex, SumsTheTermsInEightyBitPrecision) {
    // 0.6 + 7.55 + 1.9 + 2.0 - 11.8 is exactly 0.25 when every term is an 80-bit constant.
    std::optional<long double> probe = SaturationIndex(Balanced(25, 1, 7.55L, 250, 100));
    ASSERT_TRUE(probe);
    EXPECT_EQ(*probe, 0.25L);

    struct Case {
        const char* label;
        TTestData test;
        long double expected;
    };
    const std::vector<Case> cases = {
        {"25 C, pH 7.5", Balanced(25, 1, 7.5L, 250, 100), 0.6L + 7.5L + 1.9L + 2.0L - 11.8L},
        {"77 F is 25 C", Balanced(77, 0, 7.5L, 250, 100), 0.6L + 7.5L + 1.9L + 2.0L - 11.8L},
        {"20 F is -7 C: no range", Balanced(20, 0, 7.2L, 651, 10.4L), 0.9L + 7.2L + 2.5L + 0.7L - 11.8L},
        {"41 C: no range", Balanced(41, 1, 7.0L, 40, 40), 0.9L + 7.0L + 1.0L + 1.4L - 11.8L},
    };
    for (const Case& c : cases) {
        std::optional<long double> si = SaturationIndex(c.test);
        ASSERT_TRUE(si) << c.label;
        EXPECT_EQ(*si, c.expected) << c.label;
    }
}

TEST(SaturationIndex, NeedsAllFourReadings) {
    const std::vector<TTestData> missing = {
        Balanced(0, 1, 7.5L, 250, 100), Balanced(-4, 0, 7.5L, 250, 100), Balanced(25, 1, 0, 250, 100),
        Balanced(25, 1, 7.5L, 0, 100),  Balanced(25, 1, 7.5L, 250, 0),   Balanced(25, 1, 7.5L, 250, -1),
    };
    for (std::size_t i = 0; i < missing.size(); ++i)
        EXPECT_FALSE(SaturationIndex(missing[i])) << "case " << i;
}

} // namespace
