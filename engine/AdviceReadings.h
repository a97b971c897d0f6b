#pragma once

#include "ReportCall.h"

#include <string>

// Advice for iron, dissolved solids, ORP, acid demand and chloramines, from their result rows.

std::string IronSection(const ReportCall& call);
std::string TDSSection(const ReportCall& call);
std::string ORPSection(const ReportCall& call);
std::string AcidDemandSection(const ReportCall& call);
std::string ChloraminesSection(const ReportCall& call);
