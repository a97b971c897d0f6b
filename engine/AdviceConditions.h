#pragma once

#include "ReportCall.h"

#include <string>

// Advice for the observed water conditions and for stains on the surfaces.

// One section for each ticked condition, in the summary's order; empty when none is ticked.
std::string ConditionSections(const ReportCall& call);
// The organic advice, or the inorganic one (also for stains of unknown type).
std::string StainSection(const ReportCall& call);
// "Inorganic (Brown)", "Organic", "Unknown (Green/blue)" ...
std::string StainTypeText(const ReportCall& call);
