#include "AdviceConditions.h"

#include "AdviceFrame.h"
#include "NumberTexts.h"

namespace {

std::string CloudySection() {
    return ConditionSection(
        "I_CLOUDY", "Cloudy Water",
        std::string(
            "Cloudy water has two main causes: a wrong chemical balance (usually total alkalinity out "
            "of line) or a large amount of organic residue. The symptoms are identical, the treatments "
            "are different. The first application of ") +
            kVerdigelBold +
            " can make perfectly clear water that is on the edge of imbalance (usually fairly high calcium) "
            "cloudy for a while; this disappears by itself."
            "<br>"
            "<b>Step one:</b> Measure all parameters and balance the water, using this program to reach zero "
            "on "
            "the Brinova Index. If that does not clear the water, assume organic residue."
            "<br>"
            "<b>Step two:</b> Superoxidize (shock): raise chlorine to 15 ppm or more, or use a non-chlorine "
            "shock. Wait one day with the filters off, then gently vacuum any white residue on the floor to "
            "waste. If the cloudiness persists:"
            "<br>"
            "<b>Step three:</b> Apply a flocking compound as its maker directs.");
}

std::string OdorousSection() {
    return ConditionSection(
        "I_ODOROUS", "Odorous Water",
        "A chlorine odor signifies a large amount of chloramines: superoxidize, raising chlorine to at least "
        "15 ppm. In spas, high temperature, a high bather load and heavy use of chemicals cause many odors; "
        "changing the water is often the cheapest cure, the alternative being several superoxidations in "
        "succession. A deteriorating spa cover is a frequent source of odor as well.");
}

std::string AlgaeSection(const ReportCall& call) {
    return ConditionSection(
        "I_ALGAE", "Algae present",
        std::string(kVerdigelBold) + "  " + kEnDash + " best range 0.7 to 1.0 ppm " +
            "<br>"
            "The algaecide controls all algae, black algae included. Maintain 1 ppm of stabilized copper "
            "from " +
            kVerdigelBold +
            " in the water at all times. For a fast correction shock the pool (15 ppm chlorine) and apply " +
            RowAmountBold(call, 4) + " " + kVerdigelBold + ". For Black Algae double the dosage. " +
            "Dead black algae stays on the surfaces as a gray-white residue that must be brushed off; left "
            "on "
            "vinyl it may stain it permanently.");
}

std::string GreenTintSection() {
    return ConditionSection(
        "I_GREEN_TINT", "Greenish Water Tint",
        "A greenish tint is caused by high pH, high total alkalinity, or a large addition of calcium "
        "chloride "
        "or of other chemicals. Lower all parameters to the low end of their ranges and superoxidize (raise "
        "chlorine to 15 ppm or more). Wait one day with the filters off, then apply a flocking compound and "
        "filter, as its maker directs.");
}

std::string FoamingSection() {
    return ConditionSection(
        "I_FOAMING", "Foaming spa water.",
        "Foam comes from soap residue, too many chemicals or high TDS. Spa water with 2000 ppm TDS should be "
        "replaced or diluted with fresh water. The other choice is a de-foaming chemical together with "
        "filtering.");
}

std::string HairSection(const ReportCall& call) {
    return ConditionSection(
        "I_HAIR", "Colored Hair",
        "To restore green-stained hair add about 25 ml of Stavrel to a pail of about 10 "
        "liters of water and rinse the hair: the stain disappears at once. To reduce copper "
        "precipitation and staining without affecting the killing capacity " +
            std::string("of <b>Verdi</b>gel add ") + DoseByCode(call, 16) +
            " Stavrel to pool water. Maintenance " + "dose " + DoseByCode(call, 14) +
            " Stavrel every other week.");
}

std::string OrganicStainSection(const ReportCall& call) {
    return ConditionSection(
        "I_ORGANIC", "Organic staining or slime formation",
        std::string(
            "Some organic stains look like inorganic ones but need a different treatment. Reduce total "
            "alkalinity to 80 ppm and pH to 7.0, then superoxidize: not with the granulated chlorine "
            "sometimes sold as ") +
            kLeftQuote + "Shock" + kRightQuote + ", but with liquid chlorine or another oxidizer. " +
            "Apply " + DoseByCode(call, 18) + " Sodium Hypochlorite. " +
            "Keep 15 ppm of chlorine for 2 to 3 days and do not use the pool meanwhile. Chlorination does "
            "not "
            "help against stains formed by black algae: balance the pool and " +
            "apply " + DoseByCode(call, 17) + " " + kVerdigelBold + "." +
            " The algae die within a few days and their residue must be brushed off. Removing black algae "
            "without " +
            kVerdigelBold + " in the water lasts only until the algae return.");
}

std::string InorganicStainSection(const ReportCall& call) {
    return ConditionSection(
        "I_INORGANIC", "<b>" + StainTypeText(call) + " stains on pool surface</b>",
        std::string(
            "The treatment depends on the cause of the stain. When you cannot tell whether a stain is "
            "organic or inorganic, consult a qualified pool and spa service person.") +
            "<br>"
            "Test the stain's response to acid. If it responds, adjust total alkalinity to 80 ppm and pH to "
            "7.0 "
            "with " +
            "<b>Tessamor Acid</b>" +
            " (detoxified muriatic acid), one liter at a time; this is lower than this program calculates "
            "for "
            "regular maintenance. Pour the acid in one spot over the deepest water and do not walk while "
            "pouring. " +
            "Then add " + DoseByCode(call, 16) + " " + kStavrelBold + " to " +
            "the water. Maintain water by adding " + DoseByCode(call, 14) + " " + kStavrelBold +
            " every other " + "week.");
}

} // namespace

std::string ConditionSections(const ReportCall& call) {
    const TTestData& test = call.test;
    std::string text;
    if (test.cloudy) text += CloudySection();
    if (test.odorous) text += OdorousSection();
    if (test.algae) text += AlgaeSection(call);
    if (test.greenTint) text += GreenTintSection();
    if (test.foaming) text += FoamingSection();
    if (test.hairGreen) text += HairSection(call);
    return text;
}

std::string StainSection(const ReportCall& call) {
    return call.test.stainType == 1 ? OrganicStainSection(call) : InorganicStainSection(call);
}

std::string StainTypeText(const ReportCall& call) {
    const TTestData& test = call.test;
    std::string text;
    switch (test.stainType) {
    case 0:
        text = "Inorganic";
        break;
    case 1:
        return "Organic"; // an organic stain is not told by its colour
    default:
        text = "Unknown";
        break;
    }
    switch (test.stainColour) {
    case 0:
        text += " (Gray/black)";
        break;
    case 1:
        text += " (Brown)";
        break;
    case 2:
        text += " (Green/blue)";
        break;
    default:
        break;
    }
    return text;
}
