#include "AdviceSanitizer.h"

#include "AdviceFrame.h"
#include "NumberTexts.h"

namespace {

std::string ProductAdvice(std::string_view title, const std::string& body) {
    return SectionTitleBar(title) + kSectionBodyOpen + body;
}

std::string VerdigelChlorineOpening() {
    return std::string("On a ") + kVerdigelBold +
           " water treatment system chlorine serves mainly for oxidation, and keeping it at 0.5 ppm is "
           "adequate. ";
}

std::string HypochloriteAdvice(const ReportCall& call) {
    return ProductAdvice("Sodium Hypochlorite", VerdigelChlorineOpening() +
                                                    "Based on test value you should add " +
                                                    DoseByCode(call, 26) + " Sodium Hypochlorite.");
}

std::string CalciumAdvice(const ReportCall& call) {
    return ProductAdvice(
        "Calcium Hypochlorite",
        std::string("Granulated chlorine is not recommended: it leaves residues and raises the demand for "
                    "other chemicals, and on a ") +
            kVerdigelBold +
            " system, broadcast over the surface, it can cause black stains on the floor. Switch to liquid "
            "chlorine. If you still use it, based on the current chlorine test add " +
            DoseByCode(call, 27) + " Calcium Hypochlorite to the water.");
}

std::string StabilisedChlorineAdvice(const ReportCall& call, const char* title, int code) {
    return ProductAdvice(title, VerdigelChlorineOpening() + "Based on test value you should add " +
                                    DoseByCode(call, code) + " of " + title + ".");
}

std::string BromineAdvice() {
    return ProductAdvice(
        "Bromine",
        std::string("UV radiation destroys bromine rapidly, so bromine is not recommended for pools. Its "
                    "demand is hard to establish, as it depends on the bather load and on pH. On a ") +
            kVerdigelBold +
            " system chlorine or bromine serves mainly for oxidation. Measure bromine with a chlorine test "
            "kit "
            "and multiply the chlorine result by 2.25; 1.5 ppm of bromine in a spa is adequate. Adjust the "
            "dispenser setting by trial and test often. Bromine forms compounds that must be reduced: when "
            "using bromine, shock the water twice a month (60 gr of non-chlorine oxidizer per 1000 liters, "
            "or "
            "chlorine raised to 15 ppm).");
}

std::string OtherChlorineAdvice() {
    return ProductAdvice(std::string("Chlorine ") + kLeftQuote + "other" + kRightQuote,
                         "The other form of chlorine is selected. Follow the manufacturer's chlorination "
                         "instructions.");
}

std::string PersulfateAdvice(const ReportCall& call) {
    return "With a non-chlorine oxidizer (Quenlo, potassium monopersulfate and the like) follow the brand's "
           "instructions. " +
           std::string("For Potassium Persulfate shock apply ") + DoseByCode(call, 31) + " to your pool. " +
           "For regular oxidation apply " + DoseByCode(call, 32) + " Potassium Persulfate twice a week.";
}

std::string PeroxideAdvice(const ReportCall& call) {
    return std::string(
               "Do not use chlorine together with hydrogen peroxide: the two react violently. Chlorine "
               "must first be neutralized with 4 gr/1000 liters of sodium thiosulfate. A hydrogen "
               "peroxide shock is 100 ml/1000 liters of 35% H2O2; regular treatment is 30 ml/1000 "
               "liters.") +
           "<br>" + "To shock your pool/spa apply H2O2 " + DoseByCode(call, 33) + " 35% " +
           "for regular oxidation apply " + DoseByCode(call, 34) + " Hydrogen Peroxide twice a week. " +
           "In spa apply this after each use.";
}

std::string OzoneAdvice() {
    return std::string(
               "Keep 1 ppm of dissolved ozone and balanced water. Too high an ozone level oxidizes ") +
           kVerdigelBold + ".";
}

} // namespace

std::string SanitizerSection(const ReportCall& call) {
    // Without a dose the chlorine products write no advice, only the section's frame.
    const bool dose = call.Row(8).amount > 0;
    std::string text = "<A name=\"t8\"></A><p>";
    switch (call.test.chlorineProduct) {
    case 0:
        if (dose) text += HypochloriteAdvice(call);
        break;
    case 1:
        if (dose) text += CalciumAdvice(call);
        break;
    case 2:
        if (dose) text += StabilisedChlorineAdvice(call, "Lithium Hypochlorite", 28);
        break;
    case 3:
        if (dose) text += StabilisedChlorineAdvice(call, "Dichlor", 29);
        break;
    case 4:
        if (dose) text += StabilisedChlorineAdvice(call, "Trichlor", 30);
        break;
    case 5:
        text += BromineAdvice();
        break;
    case 6:
        text += OtherChlorineAdvice();
        break;
    default:
        break;
    }
    return text + kSectionClose;
}

std::string OxidationSection(const ReportCall& call) {
    std::string text = "<A name=\"t8\"></A><p>" + SectionTitleBar("Oxidation") + kSectionBodyOpen;
    switch (call.test.oxidizer) {
    case oxPersulfate:
        text += PersulfateAdvice(call);
        break;
    case oxPeroxide:
        text += PeroxideAdvice(call);
        break;
    case oxOzone:
        text += OzoneAdvice();
        break;
    default:
        break;
    }
    return text + kSectionClose;
}
