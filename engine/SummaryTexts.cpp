#include "SummaryTexts.h"

#include "NumberTexts.h"
#include "SaturationIndex.h"

namespace {

constexpr const char* kIndexOpening =
    "<b>Brinova Water Balance (Saturation Index) of your water is <font color=\"red\">";
constexpr const char* kIndexNotAvailable =
    "not available.</font></b> <I>(If you wish to know the Langelier's water balance index, enter TA, pH, "
    "Total Hardness and temperature value)</I>.";
// Starts with a blank so that it stands apart from the not-available sentence as well.
constexpr const char* kIndexExplanation =
    " The Brinova Water Balance Index is the best tool for determining whether your water is in a good "
    "chemical balance. At zero (0.0) the balance of your water is perfect. A negative index means that the "
    "water is corrosive. A positive index means that the water allows scaling, staining, discoloring or "
    "clouding. <b>Keep this index between -0.5 and +0.5 and get the most out of your pool - at the best "
    "cost.</b>";

std::string ShockOpening(const ReportCall& call) {
    return "Shock in your " + BodyTypeName(call.body.kind) + " represents application of ";
}

} // namespace

std::string WaterConditionText(const ReportCall& call) {
    const TTestData& t = call.test;
    if (t.clear) return "Clear/Good";
    std::string text;
    if (t.cloudy) text += "<A href=\"#I_CLOUDY\">Cloudy/milky</A>, ";
    if (t.odorous) text += "<A href=\"#I_ODOROUS\">Odorous</A>, ";
    if (t.algae) text += "<A href=\"#I_ALGAE\">Algae present</A>, ";
    if (t.greenTint) text += "<A href=\"#I_GREEN_TINT\">Green tint</A>, ";
    if (t.foaming) text += "<A href=\"#I_FOAMING\">Foaming</A>, ";
    if (t.hairGreen) text += "<A href=\"#I_HAIR\">Hair Stains Green</A>, ";
    if (text.size() > 2) text.resize(text.size() - 2); // the last ", "
    return text;
}

std::string StainingText(const ReportCall& call) {
    const TTestData& t = call.test;
    if (t.stainsClean) return "Clean/Good";
    std::string text;
    switch (t.stainType) {
    case 0:
        text = "<A href=\"#I_INORGANIC\">Inorganic</A>";
        break;
    case 1:
        text = "<A href=\"#I_ORGANIC\">Organic</A>";
        break;
    case 2:
        text = "<A href=\"#I_INORGANIC\">Unknown</A>";
        break; // an unknown stain gets the inorganic advice
    default:
        break;
    }
    if (t.stainType != 1) {
        switch (t.stainColour) {
        case 0:
            text += ", Gray/Black";
            break;
        case 1:
            text += ", Brown";
            break;
        case 2:
            text += ", Green/Blue";
            break;
        default:
            break;
        }
    }
    return text;
}

std::string SaturationIndexText(const ReportCall& call) {
    std::optional<long double> si = SaturationIndex(call.test);
    std::string value = si ? StripBlanks(FixedText(call, 10, 1, *si)) + "</font></b> " : kIndexNotAvailable;
    return kIndexOpening + value + kIndexExplanation;
}

std::string ShockNoteText(const ReportCall& call) {
    const TTestData& t = call.test;
    std::string text;
    if (t.chlorineUsed) {
        if (t.chlorineProduct == 0)
            text = ShockOpening(call) + DoseText(call, "ml ", "l ", PerThousandLitres(call, 9.0L) * 15.0L) +
                   "Sodium Hypochlorite";
        else if (t.chlorineProduct == 1)
            text = ShockOpening(call) + DoseText(call, "gr ", "kg ", PerThousandLitres(call, 2.0L) * 15.0L) +
                   "Calcium Hypochlorite";
    }
    if (t.oxidizer == oxPersulfate || t.oxidizer == oxPeroxide) {
        std::string prefix = IsBlank(text) ? ShockOpening(call) : text + " or ";
        if (t.oxidizer == oxPersulfate)
            text = prefix + DoseText(call, "gr ", "kg ", PerThousandLitres(call, 60.0L)) +
                   "Potassium Persulfate";
        else
            text = prefix + DoseText(call, "ml ", "l ", PerThousandLitres(call, 100.0L)) +
                   "35% Hydrogen Peroxide";
    }
    return text;
}
