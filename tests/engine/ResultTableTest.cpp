#include "engine/ResultTable.h"
#include "engine/NumberTexts.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

// V = 1000 litres unless a case says otherwise, so an amount is its factor per 1000 litres.
ReportCall CallWith(const std::function<void(TTestData&)>& readings, long double litres = 1000) {
    ReportCall call;
    call.body.volume = litres;
    call.body.volumeUnit = 0;
    readings(call.test);
    BuildResultTable(call);
    return call;
}

struct RowCase {
    const char* label;
    std::function<void(TTestData&)> readings;
    int row;
    const char* name;
    const char* result;
    const char* chemical;
    const char* lastColumn; // RowAmountText: the amount with its unit, or the status
};

void ExpectRows(const std::vector<RowCase>& cases) {
    for (const RowCase& c : cases) {
        ReportCall call = CallWith(c.readings);
        const TResultRow& row = call.Row(c.row);
        EXPECT_TRUE(row.present) << c.label;
        EXPECT_EQ(row.name, c.name) << c.label;
        EXPECT_EQ(row.result, c.result) << c.label;
        EXPECT_EQ(row.chemical, c.chemical) << c.label;
        EXPECT_EQ(RowAmountText(call, c.row), c.lastColumn) << c.label;
    }
}

// Readings are typed values held as 80-bit reals: 7.6L, never the double 7.6.
auto TA(long double x) {
    return [x](TTestData& t) { t.alkalinity = x; };
}
auto PH(long double x) {
    return [x](TTestData& t) { t.pH = x; };
}
auto TH(long double x) {
    return [x](TTestData& t) { t.hardness = x; };
}
auto Cu(long double x) {
    return [x](TTestData& t) { t.copper = x; };
}
auto Fe(long double x) {
    return [x](TTestData& t) { t.iron = x; };
}

TEST(ResultTable, AlkalinityThresholds) {
    const char* up = "<A href=\"#t1\">Total Alkalinity(Up)</A>";
    const char* fine = "<A href=\"#t1\">Total Alkalinity</A>";
    const char* down = "<A href=\"#t1\">Total Alkalinity(Dn)</A>";
    ExpectRows({
        {"TA 10", TA(10), 1, up, "10", "Sodium Bicarbonate", "133 gr"}, // (80 - 10) / 10 x 19
        {"TA 79", TA(79), 1, up, "79", "Sodium Bicarbonate", "2 gr"},   // 1.9
        {"TA 79.5 rounds to 80", TA(79.5L), 1, fine, "80", "", "TA is fine"},
        {"TA 119", TA(119), 1, fine, "119", "", "TA is fine"},
        {"TA 119.5 rounds to 120", TA(119.5L), 1, down, "120", "Tessamor Acid", "32 ml"}, // 20 / 10 x 16
        {"TA 120.5 rounds to 120", TA(120.5L), 1, down, "120", "Tessamor Acid", "32 ml"},
        {"TA 121.5 rounds to 122", TA(121.5L), 1, down, "122", "Tessamor Acid", "35 ml"}, // 35.2
    });
}

TEST(ResultTable, PHThresholds) {
    const char* up = "<A href=\"#t2\">pH (Up)</A>";
    const char* fine = "<A href=\"#t2\">pH</A>";
    const char* down = "<A href=\"#t2\">pH (Down)</A>";
    ExpectRows({
        {"pH 7.0", PH(7.0L), 2, up, "7.00", "Sodium Bicarbonate", "10 gr"},
        {"pH 7.01", PH(7.01L), 2, fine, "7.01", "", "pH is fine"},
        {"pH 7.6", PH(7.6L), 2, fine, "7.60", "", "pH is fine"},
        {"pH 7.61", PH(7.61L), 2, down, "7.61", "Tessamor Acid", "10 ml"},
        {"pH 8.0", PH(8.0L), 2, down, "8.00", "Tessamor Acid", "10 ml"},
        {"pH 8.01", PH(8.01L), 2, down, "8.01", "Tessamor Acid", "20 ml"},
    });
}

TEST(ResultTable, HardnessThresholds) {
    const char* link = "<A href=\"#t3\">Total Hardness</A>";
    ExpectRows({
        {"TH 99", TH(99), 3, link, "99", "Calcium Chloride", "2 gr"}, // 1.6
        {"TH 99.5 rounds to 100", TH(99.5L), 3, link, "100", "", "TH is fine"},
        {"TH 300", TH(300), 3, link, "300", "", "TH is fine"},
        {"TH 300.5 rounds to 300", TH(300.5L), 3, link, "300", "", "TH is fine"},
        {"TH 301", TH(301), 3, link, "301", "", "TH=Dilute"},
    });
}

TEST(ResultTable, CopperThresholds) {
    const char* link = "<A href=\"#t4\">Copper</A>";
    ExpectRows({
        {"Cu 0.69", Cu(0.69L), 4, link, "0.69", "Verdigel", "5 ml"}, // (1 - 0.69) x 16 = 4.96
        {"Cu 0.7", Cu(0.7L), 4, link, "0.70", "", "Cu is fine"},
        {"Cu 1.49", Cu(1.49L), 4, link, "1.49", "", "Cu is fine"},
        {"Cu 1.495", Cu(1.495L), 4, link, "1.50", "", ""},
        {"Cu 1.5", Cu(1.5L), 4, link, "1.50", "", ""},
    });
}

TEST(ResultTable, IronThresholds) {
    const char* link = "<A href=\"#t5\">Iron</A>";
    ExpectRows({
        {"Fe 0.05", Fe(0.05L), 5, "Iron", "0.05", "", ""},
        {"Fe 0.1", Fe(0.1L), 5, "Iron", "0.10", "", ""},
        {"Fe 0.104", Fe(0.104L), 5, link, "0.10", "Stavrel", "25 ml"},
        {"Fe 0.105", Fe(0.105L), 5, link, "0.11", "Stavrel", "25 ml"},
        {"Fe 0.11", Fe(0.11L), 5, link, "0.11", "Stavrel", "25 ml"},
    });
}

TEST(ResultTable, SolidsAndOxidationThresholds) {
    auto tds = [](long double x) { return [x](TTestData& t) { t.tds = x; }; };
    auto orp = [](long double x) { return [x](TTestData& t) { t.orp = x; }; };
    ExpectRows({
        {"TDS 3000", tds(3000), 6, "TDS", "3000", "", "TDS is fine"},
        {"TDS 3000.5 rounds to 3000", tds(3000.5L), 6, "TDS", "3000", "", "TDS is fine"},
        {"TDS 3001", tds(3001), 6, "<A href=\"#t6\">TDS</A>", "3001", "", "Dilute water"},
        {"ORP 299", orp(299), 7, "<A href=\"#t7\">ORP</A>", "299", "", "Read detail"},
        {"ORP 299.5 rounds to 300", orp(299.5L), 7, "ORP", "300", "", "ORP is fine"},
        {"ORP 300", orp(300), 7, "ORP", "300", "", "ORP is fine"},
    });
}

TEST(ResultTable, FreeChlorineByProduct) {
    auto fc = [](long double x, std::uint8_t product) {
        return [x, product](TTestData& t) {
            t.freeChlorine = x;
            t.chlorineUsed = true;
            t.chlorineProduct = product;
        };
    };
    const char* link = "<A href=\"#t8\">Free Chlorine</A>";
    ExpectRows({
        {"sodium hypochlorite", fc(0.3L, 0), 8, link, "0.3", "Sodium Hypochlorite", "2 ml"}, // 0.2 x 9 = 1.8
        {"calcium hypochlorite", fc(0.3L, 1), 8, link, "0.3", "Calcium Hypochlorite", "0.40 gr"},
        {"lithium hypochlorite", fc(0.49L, 2), 8, link, "0.5", "Lithium Hypochlorite", "0.03 gr"}, // 0.033
        {"Dichlor", fc(0.1L, 3), 8, link, "0.1", "Dichlor", "0.80 gr"},
        {"Trichlor", fc(0.25L, 4), 8, link, "0.3", "Trichlor", "0.25 gr"},
        {"bromine is not dosed", fc(0.3L, 5), 8, link, "0.3", "Bromine", ""},
        {"0.5 is enough", fc(0.5L, 0), 8, "Free Chlorine", "0.5", "", ""},
    });

    // 0.2 x (50 000 / 1000 x 9) = 90 ml
    ReportCall big = CallWith(fc(0.3L, 0), 50000);
    EXPECT_DOUBLE_EQ(big.Row(8).amount, 90.0);
    EXPECT_EQ(RowAmountText(big, 8), "90 ml");

    for (auto readings : std::vector<std::function<void(TTestData&)>>{fc(0.3L, 6), [&](TTestData& t) {
                                                                          fc(0.3L, 0)(t);
                                                                          t.chlorineUsed = false;
                                                                      }}) {
        ReportCall call = CallWith(readings);
        EXPECT_FALSE(call.Row(8).present);
        EXPECT_EQ(call.Row(8).name, "Free Chlorine");
        EXPECT_EQ(call.Row(8).result, "");
    }
}

TEST(ResultTable, ChloraminesBromineCyanuricThresholds) {
    auto cc = [](long double x) { return [x](TTestData& t) { t.chloramines = x; }; };
    auto br = [](long double x) { return [x](TTestData& t) { t.bromine = x; }; };
    auto cya = [](long double x) { return [x](TTestData& t) { t.cyanuric = x; }; };
    const char* cyaLink = "<A href=\"#t11\">Cyanuric Acid</A>";
    ExpectRows({
        {"CC 0.2", cc(0.2L), 9, "Chloramines", "0.2", "", ""},
        {"CC 0.21", cc(0.21L), 9, "<A href=\"#t9\">Chloramines</A>", "0.2", "Sodium Hypochlorite", "135 ml"},
        {"Br 0.9", br(0.9L), 10, "Bromine", "0.9", "Bromine", "Increase Bromine"},
        {"Br 1", br(1), 10, "Bromine", "1.0", "", ""},
        {"CYA 28.5 rounds to 28", cya(28.5L), 11, cyaLink, "28", "Cyanuric Acid",
         "2 gr"}, // 47 / 50 x 2 = 1.88
        {"CYA 29", cya(29), 11, cyaLink, "29", "Cyanuric Acid", "0.94 gr"},
        {"CYA 29.5 rounds to 30", cya(29.5L), 11, "Cyanuric Acid", "30", "", "CA is fine"},
        {"CYA 30", cya(30), 11, "Cyanuric Acid", "30", "", "CA is fine"},
    });
}

TEST(ResultTable, TemperatureKeepsTheUnitItWasEnteredIn) {
    struct Case {
        long double degrees;
        std::uint8_t celsius;
        const char* cell;
    };
    const std::vector<Case> cases = {
        {25, 1,
         "<td>25 \xB0"
         "C</td>"},
        {77, 0,
         "<td>77 \xB0"
         "F</td>"},
        {25.5L, 1,
         "<td>26 \xB0"
         "C</td>"},
    };
    for (const Case& c : cases) {
        ReportCall call = CallWith([&](TTestData& t) {
            t.temperature = c.degrees;
            t.celsius = c.celsius;
        });
        // Row 12's result cell: 7 header lines, six lines per row, the cell is the row's third.
        EXPECT_EQ(call.lines.at(7 + 11 * 6 + 2), c.cell) << static_cast<double>(c.degrees);
        EXPECT_EQ(call.Row(12).name, "Temperature");
    }
}

TEST(ResultTable, NoReadingShowsTheSeededRowsOnly) {
    ReportCall call;
    call.Row(1).chemical = "left over";
    call.lines.push_back("before the table");
    BuildResultTable(call);

    ASSERT_EQ(call.lines.size(), 1u + 7 + 13 * 6 + 1);
    const std::vector<std::string> header = {
        "before the table",
        "<table width=\"600\" border=\"0\" cellpadding=\"2\" cellspacing=\"2\">",
        "<tr bgcolor=\"#FFCC99\" valign=\"bottom\" style=\"font-size: 11pt\">",
        "<td>Parameter</td>",
        "<td>Test<br>result</td>",
        "<td>Recommended<br>chemicals</td>",
        "<td>Ammount to add</td>",
        "</tr>",
    };
    EXPECT_EQ(std::vector<std::string>(call.lines.begin(), call.lines.begin() + 8), header);
    EXPECT_EQ(call.lines.back(), "</table>");

    const char* names[] = {"Total Alkalinity",
                           "pH",
                           "Total Hardness",
                           "Copper",
                           "Iron",
                           "TDS",
                           "ORP",
                           "Free Chlorine",
                           "Chloramines",
                           "Bromine",
                           "Cyanuric Acid",
                           "Temperature",
                           "Acid demand"};
    for (int i = 1; i <= 13; ++i) {
        const std::size_t first = 8 + static_cast<std::size_t>(i - 1) * 6;
        EXPECT_FALSE(call.Row(i).present) << i;
        EXPECT_EQ(call.lines[first], i % 2 ? "<tr bgcolor=\"#99FFFF\" style=\"font-size: 11pt\" nowrap>"
                                           : "<tr bgcolor=\"#CCFFFF\" style=\"font-size: 11pt\" nowrap>")
            << i;
        EXPECT_EQ(call.lines[first + 1], std::string("<td>") + names[i - 1] + "</td>") << i;
        EXPECT_EQ(call.lines[first + 2], "<td> </td>") << i; // no value: no unit either
        EXPECT_EQ(call.lines[first + 3], "<td></td>") << i;
        EXPECT_EQ(call.lines[first + 4], "<td></td>") << i;
        EXPECT_EQ(call.lines[first + 5], "</tr>") << i;
    }
    EXPECT_EQ(call.Row(1).unit, "ppm");
    EXPECT_EQ(call.Row(7).unit, "mV");
    EXPECT_EQ(call.Row(2).unit, "");
}

TEST(ResultTable, RealisticBodyAndTest) {
    // A pool of 12 000 US gallons: 12 000 x 3.785411784 = 45 424.94 -> V = 45 425 litres, V / 1000 = 45.425.
    ReportCall call;
    call.body.kind = 0;
    call.body.volume = 12000;
    call.body.volumeUnit = 1;
    TTestData& t = call.test;
    t.alkalinity = 140;
    t.pH = 7.8L;
    t.hardness = 180;
    t.copper = 0.3L;
    t.iron = 0.2L;
    t.tds = 1200;
    t.orp = 650;
    t.freeChlorine = 0.2L;
    t.chlorineUsed = true;
    t.chlorineProduct = 1; // calcium hypochlorite
    t.chloramines = 0.4L;
    t.cyanuric = 20;
    t.temperature = 82;
    t.celsius = 0;
    t.acidDemand = 3;
    BuildResultTable(call);

    // Row by row, from the evaluators' formulas:
    //  1 TA 140:   (140 - 100) / 10 x 45.425 x 16 = 2907.2 ml   -> 2.91 l
    //  2 pH 7.8:   above 7.6, up to 8: 45.425 x 10 = 454.25 ml  -> 454 ml
    //  3 TH 180:   fine
    //  4 Cu 0.3:   (1 - 0.3) x 45.425 x 16 = 508.76 ml          -> 509 ml
    //  5 Fe 0.2:   45.425 x 25 = 1135.625 ml                    -> 1.14 l
    //  6, 7:       TDS 1200 and ORP 650 are fine
    //  8 FC 0.2:   (0.5 - 0.2) x 45.425 x 2 = 27.255 gr         -> 27 gr
    //  9 CC 0.4:   45.425 x 135 = 6132.375 ml                   -> 6.13 l
    // 10 bromine not measured
    // 11 CYA 20:   45.425 x 47 / 50 x (30 - 20) = 426.995 gr    -> 427 gr
    // 12 82 degrees Fahrenheit as entered; 13 acid demand 3, linked, no unit
    struct Row {
        const char* name;
        const char* resultCell;
        const char* chemical;
        const char* amount;
    };
    const Row expected[13] = {
        {"<A href=\"#t1\">Total Alkalinity(Dn)</A>", "140 ppm", "Tessamor Acid", "2.91 l"},
        {"<A href=\"#t2\">pH (Down)</A>", "7.80 ", "Tessamor Acid", "454 ml"},
        {"<A href=\"#t3\">Total Hardness</A>", "180 ppm", "", "TH is fine"},
        {"<A href=\"#t4\">Copper</A>", "0.30 ppm", "Verdigel", "509 ml"},
        {"<A href=\"#t5\">Iron</A>", "0.20 ppm", "Stavrel", "1.14 l"},
        {"TDS", "1200 ppm", "", "TDS is fine"},
        {"ORP", "650 mV", "", "ORP is fine"},
        {"<A href=\"#t8\">Free Chlorine</A>", "0.2 ppm", "Calcium Hypochlorite", "27 gr"},
        {"<A href=\"#t9\">Chloramines</A>", "0.4 ppm", "Sodium Hypochlorite", "6.13 l"},
        {"Bromine", " ", "", ""},
        {"<A href=\"#t11\">Cyanuric Acid</A>", "20 ppm", "Cyanuric Acid", "427 gr"},
        {"Temperature",
         "82 \xB0"
         "F",
         "", ""},
        {"<A href=\"#t13\">Acid demand</A>", "3 ", "", ""},
    };
    ASSERT_EQ(call.lines.size(), 7u + 13 * 6 + 1);
    for (int i = 1; i <= 13; ++i) {
        const std::size_t first = 7 + static_cast<std::size_t>(i - 1) * 6;
        const Row& row = expected[i - 1];
        EXPECT_EQ(call.lines[first + 1], std::string("<td>") + row.name + "</td>") << "row " << i;
        EXPECT_EQ(call.lines[first + 2], std::string("<td>") + row.resultCell + "</td>") << "row " << i;
        EXPECT_EQ(call.lines[first + 3], std::string("<td>") + row.chemical + "</td>") << "row " << i;
        EXPECT_EQ(call.lines[first + 4], std::string("<td>") + row.amount + "</td>") << "row " << i;
    }

    // The sanitizer dose reads row 8's amount in grams although its unit column says ppm.
    EXPECT_EQ(DoseByCode(call, 27), "<b>27 gr </b>");
    EXPECT_EQ(DoseByCode(call, 35), "<b>6.13 l </b>");
    EXPECT_EQ(DoseByCode(call, 20), "<b>3.45 kg </b>"); // 4 x 45.425 x 19 = 3452.3 gr
    EXPECT_EQ(RowAmountBold(call, 3), "<b>TH is fine</b> of ");
}

TEST(ResultTable, CommaSeparatorInResultsAndAmounts) {
    ReportCall call;
    call.decimalSeparator = ',';
    call.body.volume = 20000; // chloramines: 20 x 135 = 2700 ml
    call.test.pH = 7.8L;
    call.test.copper = 0.3L;
    call.test.chloramines = 0.4L;
    BuildResultTable(call);
    EXPECT_EQ(call.Row(2).result, "7,80");
    EXPECT_EQ(call.Row(9).result, "0,4");
    EXPECT_EQ(RowAmountText(call, 9), "2,70 l");
    EXPECT_EQ(TextToFloatSafe(call, call.Row(4).result), 0.3L);
}

TEST(ResultTable, ReadingBeyondWholeNumbersIsAnErrorNotACrash) {
    ReportCall call;
    call.test.alkalinity = 1e12L; // beyond 32 bits: the page is refused with an error
    EXPECT_THROW(BuildResultTable(call), EngineError);

    ReportCall unmeasured;
    unmeasured.test.pH = std::numeric_limits<long double>::quiet_NaN(); // not greater than 0: not measured
    BuildResultTable(unmeasured);
    EXPECT_FALSE(unmeasured.Row(2).present);
}

} // namespace
