#include "AdviceSections.h"

#include "AdviceBalance.h"
#include "AdviceConditions.h"
#include "AdviceGates.h"
#include "AdviceReadings.h"
#include "AdviceSanitizer.h"
#include "NumberTexts.h"

namespace {

// A row whose reading was out of line: it has a result and its status does not say "fine".
bool RowNeedsAdvice(const TResultRow& row) {
    return !IsBlank(row.result) && row.status.find("fine") == std::string::npos;
}

// The gate reads iron back from the row's two-decimal text: 0.104 shows "0.10" and gets no section.
bool IronAboveLimit(const ReportCall& call) {
    return TextToFloatSafe(call, call.Row(5).result) > 0.1L;
}

const std::array<TAdviceGate, kAdviceSectionCount> kGates = {{
    {"ConditionSections", [](const ReportCall& c) { return !c.test.clear; }, ConditionSections},
    {"StainSection", [](const ReportCall& c) { return !c.test.stainsClean; }, StainSection},
    {"AlkalinitySection", [](const ReportCall& c) { return c.Row(1).present; },
     [](const ReportCall& c) { return AlkalinitySection(c, RoundChecked(c.test.alkalinity)); }},
    {"PHSection", [](const ReportCall& c) { return c.Row(2).present; },
     [](const ReportCall& c) { return PHSection(c, c.test.pH); }},
    {"HardnessSection", [](const ReportCall& c) { return c.Row(3).present; },
     [](const ReportCall& c) { return HardnessSection(c, RoundChecked(c.test.hardness)); }},
    {"CopperSection", [](const ReportCall& c) { return c.Row(4).present; },
     [](const ReportCall& c) { return CopperSection(c, c.test.copper); }},
    {"CyanuricSection", [](const ReportCall& c) { return c.Row(11).present; },
     [](const ReportCall& c) { return CyanuricSection(c, RoundChecked(c.test.cyanuric)); }},
    {"IronSection", IronAboveLimit, IronSection},
    {"TDSSection", [](const ReportCall& c) { return RowNeedsAdvice(c.Row(6)); }, TDSSection},
    {"ORPSection", [](const ReportCall& c) { return RowNeedsAdvice(c.Row(7)); }, ORPSection},
    {"AcidDemandSection", [](const ReportCall& c) { return !IsBlank(c.Row(13).result); }, AcidDemandSection},
    {"ChloraminesSection", [](const ReportCall& c) { return c.Row(9).amount > 0; }, ChloraminesSection},
    {"SanitizerSection", [](const ReportCall& c) { return c.test.chlorineUsed; }, SanitizerSection},
    {"OxidationSection", [](const ReportCall& c) { return c.test.oxidizer < oxNone; }, OxidationSection},
}};

} // namespace

const std::array<TAdviceGate, kAdviceSectionCount>& AdviceGates() {
    return kGates;
}

void AddAdviceSections(ReportCall& call) {
    for (const TAdviceGate& gate : kGates)
        if (gate.holds(call)) call.Add(gate.text(call));
}
