#pragma once

#include "ReportCall.h"

#include <array>
#include <string>

// The advice sections in page order, each with the gate that decides whether it is written.
struct TAdviceGate {
    const char* section;                         // the section's name, for messages
    bool (*holds)(const ReportCall& call);       // reads the test and the rows BuildResultTable left
    std::string (*text)(const ReportCall& call); // the section, added to the page as one line
};

constexpr int kAdviceSectionCount = 14;

const std::array<TAdviceGate, kAdviceSectionCount>& AdviceGates();
