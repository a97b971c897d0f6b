#include "AdviceReadings.h"

#include "AdviceFrame.h"
#include "NumberTexts.h"

std::string IronSection(const ReportCall& call) {
    return ReadingSection(5, "Iron", call.Row(5).result, " ppm)",
                          "High Iron. Apply " + DoseByCode(call, 24) + " " + kStavrelBold + ". Add " +
                              DoseByCode(call, 25) + " every second week.");
}

std::string TDSSection(const ReportCall& call) {
    return ReadingSection(
        6, "Total Dissolved Solids - TDS", call.Row(6).result, " ppm)",
        std::string("Total Dissolved Solids (TDS) ") + kEnDash + " Acceptable range up to 3000 ppm " +
            "<br>"
            "High TDS is an accumulation of chemicals and residues of every kind, and it causes foaming. The "
            "best way to reduce it is to dilute or replace the water. Spas are expected to reach an "
            "unacceptable TDS every 4 " +
            kEnDash + " 8 months.");
}

std::string ORPSection(const ReportCall& call) {
    return ReadingSection(7, "Oxidation Reduction Potential - ORP", call.Row(7).result, " mV)",
                          "ORP is the capacity of the water to burn out organic material, measured in "
                          "millivolts. At 720 mV the water is perfect; below 300 mV oxidation must be "
                          "increased. Hand-held ORP meters are available.");
}

std::string AcidDemandSection(const ReportCall& call) {
    return ReadingSection(13, "Acid Demand", call.Row(13).result, ")",
                          "Acid demand is the calculated amount of acid needed before a change in total "
                          "alkalinity or pH is seen. The value comes from a titration test. If you have no "
                          "acid demand titration test kit, remove the value from this field.");
}

std::string ChloraminesSection(const ReportCall& call) {
    return ReadingSection(9, "Chloramines", call.Row(9).result, " ppm)",
                          std::string("Chloramines form as a result of inadequate ") + kLeftQuote + "free" +
                              kRightQuote + " chlorine. " +
                              "Best way to oxidize the harmful chloramines is to use " +
                              DoseByCode(call, 35) + " Sodium Hypochlorite. " +
                              "Do not use calcium hypochlorite or other slow-acting forms of chlorine.");
}
