#include "AdviceSections.h"

// Placeholder until the advice sections land.
void AddAdviceSections(ReportCall&) {}
