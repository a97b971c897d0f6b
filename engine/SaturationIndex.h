#pragma once

#include "BrinovaDEF.h"

#include <optional>

// The water-balance (saturation) index of one test and its three factor tables.
// Each factor function rounds its value to a whole number (halves to even) and looks it up;
// a value in no range (negative, above the last range, not a number) takes the last factor.

long double TemperatureFactor(long double celsius);
long double HardnessFactor(long double ppm);
long double AlkalinityFactor(long double ppm);

// The index, when the temperature, total alkalinity, pH and total hardness were all measured.
std::optional<long double> SaturationIndex(const TTestData& test);
