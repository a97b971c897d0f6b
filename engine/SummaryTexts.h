#pragma once

#include "ReportCall.h"

#include <string>

// The summary lines of the page: water condition, staining, the saturation-index
// paragraph and the red shock note (possibly empty).
std::string WaterConditionText(const ReportCall& call);
std::string StainingText(const ReportCall& call);
std::string SaturationIndexText(const ReportCall& call);
std::string ShockNoteText(const ReportCall& call);
