#pragma once

#include "ReportCall.h"

// Adds each advice section whose gate holds, one line each, in the page's order.
// Reads the result rows that BuildResultTable left in this call.
void AddAdviceSections(ReportCall& call);
