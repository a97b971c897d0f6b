#pragma once

#include "ReportCall.h"

#include <string>

// Advice for the chlorine product and the oxidizer the test says are in use.
// Both open with the anchor t8; the result table's free chlorine link finds the first.

std::string SanitizerSection(const ReportCall& call);
std::string OxidationSection(const ReportCall& call);
