#pragma once

#include "ReportCall.h"

// Clears and seeds the 13 result rows, runs their evaluators and adds the table's lines.
void BuildResultTable(ReportCall& call);
