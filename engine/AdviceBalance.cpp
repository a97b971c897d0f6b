#include "AdviceBalance.h"

#include "AdviceFrame.h"
#include "NumberTexts.h"

namespace {

constexpr const char* kPpm = " ppm)";

// Where the acid goes decides what it lowers.
constexpr const char* kPouringNote =
    "Acid poured in one place lowers total alkalinity with little effect on pH, while acid spread by walking "
    "round the pool as you pour lowers both total alkalinity and pH.";

std::string HighAlkalinityAdvice(const ReportCall& call) {
    return std::string(
               "Total alkalinity is high and may be reduced with Tessamor Acid (a very safe detoxified "
               "muriatic acid), regular muriatic acid or sodium bisulfate (dry acid).") +
           "<br>" + "Liquid acids: Apply " + RowAmountBold(call, 1) + " Tessamor Acid. Pour one " +
           "liter at a time and wait 12 hours before adding more acid." + "<br>" +
           "Dry acid: If you use dry acid to reduce TA apply " + DoseByCode(call, 20) + " dry acid. " +
           "Add about 1 kg of dry acid to a pool at a time and wait 12 hours before the next addition; "
           "pre-dissolve it in a bucket of water." +
           "<br>" +
           "In a spa never add more than 50 ml of acid (or 60 grams of dry acid) at a time, wait 4 to 6 "
           "hours "
           "between applications and re-test total alkalinity between them." +
           "<br>" + kPouringNote;
}

std::string HighPHAdvice(const ReportCall& call) {
    return std::string("pH is critical and interacts with total alkalinity: always adjust total alkalinity "
                       "first, as out-of-line alkalinity makes pH bounce. ") +
           "Based on the test apply " + DoseByCode(call, 23) + " " + "Tessamor or Muriatic acid or " +
           DoseByCode(call, 21) + " of Sodium Bisulfate. " +
           "Do not add more than 1 liter of acid or about 1 kg of dry acid to a pool at one time, wait 12 "
           "hours "
           "between applications and pre-dissolve dry acid in a bucket of water. Do not add more than 50 ml "
           "of "
           "acid (or 60 grams of dry acid) to a spa at a time, and wait 4 to 6 hours between applications. "
           "Re-test pH and total alkalinity between applications. " +
           kPouringNote;
}

std::string LowPHAdvice(const ReportCall& call) {
    return std::string("pH Up ") + kEnDash + " ideal pH is 7.2. OK range is between pH 7.1 and pH 7.6 " +
           "Add " + DoseByCode(call, 22) + " Sodium Carbonate. Re-test pH in 12 hours and repeat " +
           "Sodium Carbonate addition until pH 7.2 is obtained.";
}

std::string IdealCopperLevel() {
    return std::string("The ideal ") + kVerdigelBold + " copper level in your pool/spa " +
           "is 1 ppm at all times. ";
}

} // namespace

std::string AlkalinitySection(const ReportCall& call, std::int32_t alkalinity) {
    std::string body = std::string("Total Alkalinity Adjustment ") + kEnDash + " best range 80 to 100 ppm. ";
    if (alkalinity >= 120)
        body += HighAlkalinityAdvice(call);
    else if (alkalinity < 80)
        body += "Increase Total Alkalinity by adding " + RowAmountBold(call, 1) + " Sodium Bicarbonate.";
    else
        body += "TA is fine";
    return ReadingSection(1, "Total Alkalinity", call.Row(1).result, kPpm, body);
}

std::string PHSection(const ReportCall& call, long double pH) {
    std::string body;
    if (pH > 7.6L)
        body = HighPHAdvice(call);
    else if (pH > 7)
        body = "Ideal pH is 7.2. OK range is between pH 7.1 and pH 7.6. PH is fine";
    else
        body = LowPHAdvice(call);
    return ReadingSection(2, "pH", call.Row(2).result, ")", body);
}

std::string HardnessSection(const ReportCall& call, std::int32_t hardness) {
    std::string body;
    if (hardness >= 300)
        body = "Dilute with soft water.";
    else if (hardness < 100)
        body = "Add " + RowAmountBold(call, 3) +
               " Calcium Chloride. Pre-dissolve flakes in bucket of water before " + "aplying to pool/spa.";
    else
        body = "TH is fine.";
    return ReadingSection(3, "Total Hardness", call.Row(3).result, kPpm, body);
}

std::string CopperSection(const ReportCall& call, long double copper) {
    std::string body =
        std::string("Algae and Bacteria Control. Best ") + kVerdigelBold + " range is 0.7 to 1.0 ppm. ";
    if (copper < 0.7L)
        body += IdealCopperLevel() + "After adjusting Total Alkalinity and pH apply " +
                RowAmountBold(call, 4) + " " + kVerdigelBold + ". ";
    else if (copper >= 1.5L)
        body += IdealCopperLevel() + "An excessive amount of " + kVerdigelBold +
                " has been applied, but don" + kApostrophe +
                "t worry: its level decreases over time. Re-test monthly, or whenever fresh water is added.";
    else
        body += "Copper is fine.";
    return ReadingSection(4, "Copper", call.Row(4).result, kPpm, body);
}

std::string CyanuricSection(const ReportCall& call, std::int32_t cyanuric) {
    std::string body = std::string("Cyanuric Acid ") + kEnDash + " good level 30 to 50 ppm " +
                       "<br>"
                       "Cyanuric acid saves much of the chlorine from destruction by UV radiation. Never use "
                       "cyanuric acid without chlorine. ";
    if (cyanuric < 30)
        body += "Cyanuric " + std::string("test indicates ") + RowAmountBold(call, 11) + " Cyanuric acid.";
    return ReadingSection(11, "Cyanuric Acid", call.Row(11).result, kPpm, body);
}
