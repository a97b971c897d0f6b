#include "SummaryTexts.h"

// Placeholders until the summaries land.
std::string WaterConditionText(const ReportCall&) { return {}; }
std::string StainingText(const ReportCall&) { return {}; }
std::string SaturationIndexText(const ReportCall&) { return {}; }
std::string ShockNoteText(const ReportCall&) { return {}; }
