#pragma once

#include "ReportCall.h"

#include <cstdint>
#include <string>

// Advice for the balance readings. Whole-number readings come rounded (halves to even),
// pH and copper as the 80-bit readings themselves.

std::string AlkalinitySection(const ReportCall& call, std::int32_t alkalinity);
std::string PHSection(const ReportCall& call, long double pH);
std::string HardnessSection(const ReportCall& call, std::int32_t hardness);
std::string CopperSection(const ReportCall& call, long double copper);
std::string CyanuricSection(const ReportCall& call, std::int32_t cyanuric);
