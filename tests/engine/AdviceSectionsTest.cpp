#include "engine/AdviceSections.h"
#include "engine/AdviceBalance.h"
#include "engine/AdviceConditions.h"
#include "engine/AdviceGates.h"
#include "engine/AdviceReadings.h"
#include "engine/AdviceSanitizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

// Doses below are for V = 45461 litres, so V/1000 = 45.461:
//   x10 = 454.61 -> "455", x12 = 545.532 -> "546", x25 = 1136.525 -> "1.14" (large unit),
//   x32 = 1454.752 -> "1.45", x9x15 = 6137.235 -> "6.14", x60 = 2727.66 -> "2.73",
//   x100 = 4546.1 -> "4.55", x30 = 1363.83 -> "1.36".

namespace {

constexpr const char* kTitleBar = "<div align=\"left\" style=\"font-size: 11pt; background: #EEEEEE\">";
constexpr const char* kBody = "<div align=\"justify\" style=\"font-size: 11pt\">";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every gate shut: clear water, clean surfaces, no row filled in, no chlorine, no oxidizer.
ReportCall QuietCall() {
    ReportCall call;
    call.body.volume = 45461;
    call.body.volumeUnit = 0;
    call.test.clear = true;
    call.test.stainsClean = true;
    call.test.chlorineUsed = false;
    call.test.oxidizer = oxNone;
    return call;
}

std::vector<std::string> Sections(ReportCall call) {
    AddAdviceSections(call);
    return call.lines;
}

void SetRow(ReportCall& call, int number, const char* result, const char* status = "", double amount = 0) {
    TResultRow& row = call.Row(number);
    row.present = true;
    row.result = result;
    row.status = status;
    row.amount = amount;
}

// How each section's line begins, by its place in the gate table.
const std::vector<std::string> kSignatures = {
    "<A name=\"I_CLOUDY\"></A><p>",
    "<A name=\"I_INORGANIC\"></A><p>",
    "<A name=\"t1\"></A><p>",
    "<A name=\"t2\"></A><p>",
    "<A name=\"t3\"></A><p>",
    "<A name=\"t4\"></A><p>",
    "<A name=\"t11\"></A><p>",
    "<A name=\"t5\"></A><p>",
    "<A name=\"t6\"></A><p>",
    "<A name=\"t7\"></A><p>",
    "<A name=\"t13\"></A><p>",
    "<A name=\"t9\"></A><p>",
    "<A name=\"t8\"></A><p></div></p>", // chlorine product 0 with no dose: the bare frame
    std::string("<A name=\"t8\"></A><p>") + kTitleBar + "<b>Oxidation</b></div>",
};

struct GateCase {
    const char* name;
    int gate; // place in the gate table, from 0
    std::function<void(ReportCall&)> change;
    bool opens;
};

const std::vector<GateCase> kGateCases = {
    {"condition ticked, clear set", 0, [](ReportCall& c) { c.test.cloudy = true; }, false},
    {"condition ticked, clear off", 0, [](ReportCall& c) { c.test.clear = false, c.test.cloudy = true; },
     true},
    {"stain, clean set", 1, [](ReportCall& c) { c.test.stainType = 0; }, false},
    {"stain, clean off", 1, [](ReportCall& c) { c.test.stainsClean = false; }, true},
    {"alkalinity not entered", 2, [](ReportCall& c) { c.test.alkalinity = 100; }, false},
    {"alkalinity entered", 2,
     [](ReportCall& c) { c.test.alkalinity = 100, SetRow(c, 1, "100", "TA is fine"); }, true},
    {"pH not entered", 3, [](ReportCall& c) { c.test.pH = 7.4L; }, false},
    {"pH entered", 3, [](ReportCall& c) { c.test.pH = 7.4L, SetRow(c, 2, "7.40", "pH is fine"); }, true},
    {"hardness not entered", 4, [](ReportCall& c) { c.test.hardness = 200; }, false},
    {"hardness entered", 4, [](ReportCall& c) { c.test.hardness = 200, SetRow(c, 3, "200", "TH is fine"); },
     true},
    {"copper not entered", 5, [](ReportCall& c) { c.test.copper = 1; }, false},
    {"copper entered", 5, [](ReportCall& c) { c.test.copper = 1, SetRow(c, 4, "1.00", "Cu is fine"); }, true},
    {"cyanuric not entered", 6, [](ReportCall& c) { c.test.cyanuric = 40; }, false},
    {"cyanuric entered", 6, [](ReportCall& c) { c.test.cyanuric = 40, SetRow(c, 11, "40", "CA is fine"); },
     true},
    // 0.104 doses the row, but the text it shows reads back as 0.1.
    {"iron 0.10 shown", 7, [](ReportCall& c) { SetRow(c, 5, "0.10", "ml", 1136.525); }, false},
    {"iron 0.11 shown", 7, [](ReportCall& c) { SetRow(c, 5, "0.11", "ml", 1136.525); }, true},
    {"TDS fine", 8, [](ReportCall& c) { SetRow(c, 6, "3000", "TDS is fine"); }, false},
    {"TDS without result", 8, [](ReportCall& c) { SetRow(c, 6, " ", "Dilute water"); }, false},
    {"TDS to dilute", 8, [](ReportCall& c) { SetRow(c, 6, "3500", "Dilute water"); }, true},
    {"ORP fine", 9, [](ReportCall& c) { SetRow(c, 7, "300", "ORP is fine"); }, false},
    {"ORP without result", 9, [](ReportCall& c) { SetRow(c, 7, "", "Read detail"); }, false},
    {"ORP low", 9, [](ReportCall& c) { SetRow(c, 7, "250", "Read detail"); }, true},
    {"acid demand blank", 10, [](ReportCall& c) { SetRow(c, 13, "  "); }, false},
    {"acid demand entered", 10, [](ReportCall& c) { SetRow(c, 13, "12"); }, true},
    {"chloramines without dose", 11, [](ReportCall& c) { SetRow(c, 9, "0.1"); }, false},
    {"chloramines dosed", 11, [](ReportCall& c) { SetRow(c, 9, "0.5", "ml", 6137.235); }, true},
    {"chlorine not used", 12, [](ReportCall& c) { c.test.chlorineProduct = 0; }, false},
    {"chlorine used", 12, [](ReportCall& c) { c.test.chlorineUsed = true; }, true},
    {"oxidizer none", 13, [](ReportCall& c) { c.test.oxidizer = oxNone; }, false},
    {"oxidizer beyond the list", 13, [](ReportCall& c) { c.test.oxidizer = 4; }, false},
    {"oxidizer ozone", 13, [](ReportCall& c) { c.test.oxidizer = oxOzone; }, true},
    {"oxidizer persulfate", 13, [](ReportCall& c) { c.test.oxidizer = oxPersulfate; }, true},
};

} // namespace

TEST(AdviceGates, EverySectionIsWrittenExactlyWhenItsGateHolds) {
    ASSERT_TRUE(Sections(QuietCall()).empty());
    for (const GateCase& gateCase : kGateCases) {
        SCOPED_TRACE(gateCase.name);
        ReportCall call = QuietCall();
        gateCase.change(call);
        const std::vector<std::string> lines = Sections(call);
        if (!gateCase.opens) {
            EXPECT_TRUE(lines.empty());
            continue;
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind(kSignatures[gateCase.gate], 0), 0u) << lines[0];
        EXPECT_TRUE(AdviceGates()[gateCase.gate].holds(call)) << AdviceGates()[gateCase.gate].section;
    }
}

TEST(AdviceGates, AllOpenGivesTheFourteenSectionsInPageOrder) {
    ReportCall call = QuietCall();
    for (const GateCase& gateCase : kGateCases)
        if (gateCase.opens && std::string(gateCase.name) != "oxidizer persulfate") gateCase.change(call);
    const std::vector<std::string> lines = Sections(call);
    ASSERT_EQ(lines.size(), kSignatures.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].rfind(kSignatures[i], 0), 0u) << AdviceGates()[i].section << ": " << lines[i];
}

TEST(AdviceGates, NoConditionTickedStillAddsAnEmptyLine) {
    ReportCall call = QuietCall();
    call.test.clear = false;
    EXPECT_EQ(Sections(call), std::vector<std::string>{""});
}

TEST(AdviceFrame, ReadingSectionCarriesTheRowsResultAndUnit) {
    ReportCall call = QuietCall();
    SetRow(call, 3, "300", "TH is fine");
    EXPECT_EQ(HardnessSection(call, 300), std::string("<A name=\"t3\"></A><p>") + kTitleBar +
                                              "<b>Total Hardness (300 ppm)</b></div>" + kBody +
                                              "Dilute with soft water.</div></p>");
    SetRow(call, 6, "3500", "Dilute water");
    EXPECT_TRUE(Contains(TDSSection(call), "<b>Total Dissolved Solids - TDS (3500 ppm)</b></div>"));
    SetRow(call, 7, "250", "Read detail");
    EXPECT_TRUE(Contains(ORPSection(call), "<b>Oxidation Reduction Potential - ORP (250 mV)</b></div>"));
    SetRow(call, 13, "12");
    EXPECT_TRUE(Contains(AcidDemandSection(call), "<b>Acid Demand (12)</b></div>"));
    SetRow(call, 2, "7.40");
    EXPECT_TRUE(Contains(PHSection(call, 7.4L), "<b>pH (7.40)</b></div>"));
}

TEST(AdviceFrame, ConditionSectionsFollowTheSummaryOrder) {
    ReportCall call = QuietCall();
    call.test.clear = false;
    call.test.cloudy = call.test.odorous = call.test.algae = true;
    call.test.greenTint = call.test.foaming = call.test.hairGreen = true;
    const std::string text = ConditionSections(call);
    EXPECT_EQ(text.rfind(std::string("<A name=\"I_CLOUDY\"></A><p>") + kTitleBar +
                             "<b>Cloudy Water</b></div>" + kBody,
                         0),
              0u);
    std::size_t at = 0;
    for (const char* anchor : {"I_CLOUDY", "I_ODOROUS", "I_ALGAE", "I_GREEN_TINT", "I_FOAMING", "I_HAIR"}) {
        std::size_t found = text.find(std::string("<A name=\"") + anchor + "\"></A>", at);
        ASSERT_NE(found, std::string::npos) << anchor;
        at = found + 1;
    }
    for (const char* title : {"<b>Odorous Water</b>", "<b>Algae present</b>", "<b>Greenish Water Tint</b>",
                              "<b>Foaming spa water.</b>", "<b>Colored Hair</b>"})
        EXPECT_TRUE(Contains(text, title)) << title;
    EXPECT_TRUE(Contains(text,
                         "of <b>Verdi</b>gel add <b>1.14 l </b> Stavrel to pool water. Maintenance dose "
                         "<b>455 ml </b> Stavrel every other week."));
}

TEST(AdviceConditions, AlgaeWithoutCopperReadingLeavesTheDoseOut) {
    ReportCall call = QuietCall();
    call.test.clear = false;
    call.test.algae = true;
    const std::string text = ConditionSections(call);
    EXPECT_TRUE(Contains(text, "<b>Verdi</b>gel  \x96"
                               " best range 0.7 to 1.0 ppm "));
    EXPECT_TRUE(Contains(text, "and apply  <b>Verdi</b>gel. For Black Algae double the dosage. "));
    SetRow(call, 4, "0.50", "ml", 363.688);
    EXPECT_TRUE(Contains(ConditionSections(call),
                         "and apply <b>364 ml</b> of  <b>Verdi</b>gel. For Black Algae double the dosage. "));
}

TEST(AdviceConditions, StainTypeAndColour) {
    struct Case {
        std::uint8_t type, colour;
        const char* text;
    };
    for (const Case& c : std::vector<Case>{{0, 0, "Inorganic (Gray/black)"},
                                           {0, 1, "Inorganic (Brown)"},
                                           {1, 2, "Organic"},
                                           {2, 1, "Unknown (Brown)"},
                                           {2, 2, "Unknown (Green/blue)"},
                                           {7, 9, "Unknown"}}) {
        ReportCall call = QuietCall();
        call.test.stainType = c.type;
        call.test.stainColour = c.colour;
        EXPECT_EQ(StainTypeText(call), c.text);
    }
}

TEST(AdviceConditions, StainSectionByType) {
    ReportCall call = QuietCall();
    call.test.stainType = 2;
    call.test.stainColour = 1;
    std::string text = StainSection(call);
    EXPECT_EQ(text.rfind(std::string("<A name=\"I_INORGANIC\"></A><p>") + kTitleBar +
                             "<b><b>Unknown (Brown) stains on pool surface</b></b></div>",
                         0),
              0u);
    EXPECT_TRUE(Contains(text, "with <b>Tessamor Acid</b>"));
    EXPECT_TRUE(Contains(text,
                         "Then add <b>1.14 l </b> <b>Stav</b>rel to the water. Maintain water by adding "
                         "<b>455 ml </b> <b>Stav</b>rel every other week."));

    call.test.stainType = 1;
    text = StainSection(call);
    EXPECT_EQ(text.rfind(std::string("<A name=\"I_ORGANIC\"></A><p>") + kTitleBar +
                             "<b>Organic staining or slime formation</b></div>",
                         0),
              0u);
    EXPECT_TRUE(Contains(text, "\x93Shock\x94"));
    EXPECT_TRUE(Contains(text, "Apply <b>6.14 l </b> Sodium Hypochlorite. "));
    EXPECT_TRUE(Contains(text, "apply <b>1.45 l </b> <b>Verdi</b>gel."));
}

TEST(AdviceBalance, AlkalinityByLevel) {
    ReportCall call = QuietCall();
    SetRow(call, 1, "120", "ml", 1454.752); // (120 - 100) / 10 x 45.461 x 16
    std::string text = AlkalinitySection(call, 120);
    EXPECT_TRUE(Contains(text, "Total Alkalinity Adjustment \x96"
                               " best range 80 to 100 ppm. "));
    EXPECT_TRUE(Contains(text, "Liquid acids: Apply <b>1.45 l</b> of  Tessamor Acid. Pour one liter"));
    // Dry acid: (120 - 100) / 10 x 45.461 x 19 = 1727.518 gr.
    EXPECT_TRUE(
        Contains(text, "Dry acid: If you use dry acid to reduce TA apply <b>1.73 kg </b> dry acid. "));

    SetRow(call, 1, "119", "TA is fine");
    EXPECT_TRUE(Contains(AlkalinitySection(call, 119), "ppm. TA is fine</div></p>"));
    SetRow(call, 1, "79", "gr", 4.5461); // (80 - 79) / 10 x 45.461 x 19 = 86.3759
    call.Row(1).amount = 86.3759;
    EXPECT_TRUE(
        Contains(AlkalinitySection(call, 79),
                 "ppm. Increase Total Alkalinity by adding <b>86 gr</b> of  Sodium Bicarbonate.</div>"));
}

TEST(AdviceBalance, PHByLevel) {
    ReportCall call = QuietCall();
    const std::string high =
        "Based on the test apply <b>455 ml </b> Tessamor or Muriatic acid or <b>546 gr </b> of "
        "Sodium Bisulfate. ";
    // The section gives the single acid dose even where the row doubles it.
    EXPECT_TRUE(Contains(PHSection(call, 8.5L), high));
    EXPECT_TRUE(Contains(PHSection(call, 7.61L), high));
    EXPECT_TRUE(Contains(PHSection(call, 7.6L),
                         "Ideal pH is 7.2. OK range is between pH 7.1 and pH 7.6. PH is fine</div></p>"));
    EXPECT_TRUE(Contains(PHSection(call, 7.01L), "PH is fine"));
    EXPECT_TRUE(Contains(PHSection(call, 7.0L),
                         "pH Up \x96"
                         " ideal pH is 7.2. OK range is between pH 7.1 and pH 7.6 Add "
                         "<b>455 gr </b> Sodium Carbonate. Re-test pH in 12 hours and "
                         "repeat Sodium Carbonate addition until pH 7.2 is obtained."));
}

TEST(AdviceBalance, HardnessByLevel) {
    ReportCall call = QuietCall();
    EXPECT_TRUE(Contains(HardnessSection(call, 300), ">Dilute with soft water.</div></p>"));
    EXPECT_TRUE(Contains(HardnessSection(call, 299), ">TH is fine.</div></p>"));
    EXPECT_TRUE(Contains(HardnessSection(call, 100), ">TH is fine.</div></p>"));
    SetRow(call, 3, "99", "gr", 72.7376); // (100 - 99) / 10 x 45.461 x 16
    EXPECT_TRUE(Contains(HardnessSection(call, 99),
                         ">Add <b>73 gr</b> of  Calcium Chloride. Pre-dissolve flakes "
                         "in bucket of water before aplying to pool/spa.</div></p>"));
}

TEST(AdviceBalance, CopperByLevel) {
    ReportCall call = QuietCall();
    const std::string opening = "Algae and Bacteria Control. Best <b>Verdi</b>gel range is 0.7 to 1.0 ppm. ";
    const std::string ideal =
        "The ideal <b>Verdi</b>gel copper level in your pool/spa is 1 ppm at all times. ";
    SetRow(call, 4, "0.69", "ml", 225.4866); // (1 - 0.69) x 45.461 x 16
    EXPECT_TRUE(
        Contains(CopperSection(call, 0.69L), opening + ideal +
                                                 "After adjusting Total Alkalinity and pH apply <b>225 "
                                                 "ml</b> of  <b>Verdi</b>gel. </div></p>"));
    EXPECT_TRUE(Contains(CopperSection(call, 0.7L), opening + "Copper is fine.</div></p>"));
    EXPECT_TRUE(Contains(CopperSection(call, 1.495L), opening + "Copper is fine.</div></p>"));
    const std::string excessive = CopperSection(call, 1.5L);
    EXPECT_TRUE(Contains(excessive, opening + ideal + "An excessive amount of <b>Verdi</b>gel"));
    EXPECT_TRUE(Contains(excessive, "don\x92t"));
}

TEST(AdviceBalance, CyanuricBelowThirtyOnly) {
    ReportCall call = QuietCall();
    SetRow(call, 11, "20", "gr", 85.46668); // 45.461 x 47 / 50 x 10
    const std::string low = CyanuricSection(call, 20);
    EXPECT_TRUE(Contains(low, "Cyanuric Acid \x96"
                              " good level 30 to 50 ppm "));
    EXPECT_TRUE(Contains(low, "Cyanuric test indicates <b>85 gr</b> of  Cyanuric acid.</div></p>"));
    SetRow(call, 11, "30", "CA is fine");
    EXPECT_FALSE(Contains(CyanuricSection(call, 30), "test indicates"));
}

TEST(AdviceReadings, DosesInTheProse) {
    ReportCall call = QuietCall();
    SetRow(call, 5, "0.30", "ml", 1136.525);
    EXPECT_TRUE(
        Contains(IronSection(call),
                 "High Iron. Apply <b>1.14 l </b> <b>Stav</b>rel. Add <b>455 ml </b> every second week."));
    SetRow(call, 9, "0.50", "ml", 6137.235);
    const std::string chloramines = ChloraminesSection(call);
    EXPECT_TRUE(Contains(chloramines, "inadequate \x93"
                                      "free\x94 chlorine."));
    EXPECT_TRUE(Contains(chloramines, "Best way to oxidize the harmful chloramines is to use <b>6.14 l </b> "
                                      "Sodium Hypochlorite. "));
    EXPECT_TRUE(Contains(TDSSection(call), "Total Dissolved Solids (TDS) \x96"
                                           " Acceptable range up to 3000 ppm "));
}

TEST(AdviceSanitizer, ByChlorineProduct) {
    struct Case {
        std::uint8_t product;
        const char* status;
        double amount;
        const char* expected; // empty: only the bare frame
    };
    const std::vector<Case> cases = {
        {0, "", 0, ""},
        {1, "", 0, ""},
        {2, "", 0, ""},
        {3, "", 0, ""},
        {4, "", 0, ""},
        {7, "ml", 90, ""},
        {0, "ml", 90, "<b>Sodium Hypochlorite</b></div>"},
        {0, "ml", 90, "Based on test value you should add <b>90 ml </b> Sodium Hypochlorite.</div></p>"},
        {1, "gr", 1818.44, "<b>1.82 kg </b> Calcium Hypochlorite to the water.</div></p>"},
        {2, "gr", 0.4, "you should add <b>0.40 gr </b> of Lithium Hypochlorite.</div></p>"},
        {3, "gr", 20, "<b>Dichlor</b></div>"},
        {3, "gr", 20, "you should add <b>20 gr </b> of Dichlor.</div></p>"},
        {4, "gr", 1000.4, "you should add <b>1000 gr </b> of Trichlor.</div></p>"},
        {5, "", 0, "<b>Bromine</b></div>"},
        {6, "", 0, "<b>Chlorine \x93other\x94</b></div>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.product) + " " + c.expected);
        ReportCall call = QuietCall();
        call.test.chlorineUsed = true;
        call.test.chlorineProduct = c.product;
        call.Row(8).status = c.status;
        call.Row(8).amount = c.amount;
        const std::string text = SanitizerSection(call);
        if (std::string(c.expected).empty()) {
            EXPECT_EQ(text, "<A name=\"t8\"></A><p></div></p>");
            continue;
        }
        EXPECT_EQ(text.rfind(std::string("<A name=\"t8\"></A><p>") + kTitleBar + "<b>", 0), 0u) << text;
        EXPECT_TRUE(Contains(text, c.expected)) << text;
    }
}

TEST(AdviceSanitizer, ByOxidizer) {
    ReportCall call = QuietCall();
    const std::string opening =
        std::string("<A name=\"t8\"></A><p>") + kTitleBar + "<b>Oxidation</b></div>" + kBody;
    call.test.oxidizer = oxPersulfate;
    std::string text = OxidationSection(call);
    EXPECT_EQ(text.rfind(opening, 0), 0u);
    EXPECT_TRUE(Contains(text,
                         "For Potassium Persulfate shock apply <b>2.73 kg </b> to your pool. For regular "
                         "oxidation apply <b>1.14 kg </b> Potassium Persulfate twice a week.</div></p>"));
    call.test.oxidizer = oxPeroxide;
    EXPECT_TRUE(Contains(
        OxidationSection(call),
        "To shock your pool/spa apply H2O2 <b>4.55 l </b> 35% for regular oxidation apply "
        "<b>1.36 l </b> Hydrogen Peroxide twice a week. In spa apply this after each use.</div></p>"));
    call.test.oxidizer = oxOzone;
    text = OxidationSection(call);
    EXPECT_EQ(text.rfind(opening, 0), 0u);
    EXPECT_TRUE(Contains(text, "ozone"));
}

// The prose is Windows-1252: its only bytes above 0x7F are the en dash, the curly quotes and
// the right single quote, never the bytes of a UTF-8 sequence.
TEST(AdviceSections, TextIsWindows1252Only) {
    std::string all;
    for (std::uint8_t stain : {0, 1}) {
        ReportCall call = QuietCall();
        call.test.clear = call.test.stainsClean = false;
        call.test.cloudy = call.test.odorous = call.test.algae = true;
        call.test.greenTint = call.test.foaming = call.test.hairGreen = true;
        call.test.stainType = stain;
        for (const GateCase& gateCase : kGateCases)
            if (gateCase.opens && gateCase.gate > 1) gateCase.change(call);
        all += ConditionSections(call) + StainSection(call);
        all += AlkalinitySection(call, 150) + AlkalinitySection(call, 50) + PHSection(call, 8) +
               PHSection(call, 6.5L) + CopperSection(call, 2) + CopperSection(call, 0.2L) +
               CyanuricSection(call, 10) + IronSection(call) + TDSSection(call) + ORPSection(call) +
               AcidDemandSection(call) + ChloraminesSection(call);
        for (std::uint8_t product = 0; product <= 6; ++product) {
            call.test.chlorineProduct = product;
            call.Row(8).amount = 10;
            all += SanitizerSection(call);
        }
        for (std::uint8_t oxidizer = 0; oxidizer <= 2; ++oxidizer) {
            call.test.oxidizer = oxidizer;
            all += OxidationSection(call);
        }
    }
    std::string high;
    for (unsigned char byte : all)
        if (byte >= 0x80 && high.find(static_cast<char>(byte)) == std::string::npos)
            high += static_cast<char>(byte);
    std::sort(high.begin(), high.end(),
              [](char a, char b) { return static_cast<unsigned char>(a) < static_cast<unsigned char>(b); });
    EXPECT_EQ(high, "\x92\x93\x94\x96");
}
