#include "engine/BrinovaDEF.h"
#include "engine/uFormula.h"

#include "TempFolder.h"
#include "support/FileText.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <string>
#include <vector>

// Whole advice pages written through the export, for realistic bodies and tests. Every dose
// below was worked out by hand from the dose formulas; the working is next to each page.

namespace {

constexpr const char* kRedNote = "<div align=\"justify\" style=\"font-size: 12pt; color: red\">";
constexpr const char* kRule = "<hr size=2 color=\"#EEEEEE\">";
// Lines of a page before its advice sections: the frame, the body, supplier and owner, the
// summaries and the result table (7 heading lines, 6 for each of 13 rows, its close), the red
// note, then the closing rule, footer and end; one more line with a body note.
constexpr std::size_t kPageLinesWithoutAdvice = 63 - 1 + (7 + 13 * 6 + 1) + 3 + 4;

class ScopedLocale {
public:
    explicit ScopedLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~ScopedLocale() { QLocale::setDefault(QLocale::c()); }
};

struct Page {
    std::string bytes;
    std::vector<std::string> lines;
    std::vector<std::string> advice; // the advice sections' lines
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

Page WritePage(const TBodyData& body, const TTestData& test) {
    const test::TempFolder folder;
    const std::string path = folder.File("zelreslt.htm");
    const TBodyBytes bodyBytes = body.Encode();
    const TTestBytes testBytes = test.Encode();
    const TFormulaArgs args{path.c_str(), "Ann Owner\r\n12 Harbour Road", bodyBytes.data(), testBytes.data()};
    EXPECT_EQ(QuibsFormula(&args), -1);

    Page page;
    page.bytes = FileText(path);
    EXPECT_TRUE(page.bytes.ends_with("\r\n"));
    for (std::size_t at = 0; at < page.bytes.size();) {
        std::size_t end = page.bytes.find("\r\n", at);
        if (end == std::string::npos) end = page.bytes.size();
        page.lines.push_back(page.bytes.substr(at, end - at));
        at = end + 2;
    }
    // The sections stand between the red note's three lines and the closing rule.
    std::size_t first = 0, last = 0;
    for (std::size_t i = 0; i < page.lines.size(); ++i) {
        if (page.lines[i] == kRedNote) first = i + 3;
        if (page.lines[i] == kRule) last = i;
    }
    EXPECT_GT(first, 0u);
    EXPECT_LE(first, last);
    if (first > 0 && first <= last) page.advice.assign(page.lines.begin() + first, page.lines.begin() + last);
    return page;
}

// The page's only bytes above 0x7F are Windows-1252 punctuation and the degree sign.
void ExpectWindows1252Only(const std::string& bytes) {
    for (unsigned char byte : bytes) {
        if (byte < 0x80) continue;
        ASSERT_TRUE(byte == 0x92 || byte == 0x93 || byte == 0x94 || byte == 0x96 || byte == 0xB0)
            << "byte " << int(byte);
    }
}

void ExpectSectionsInOrder(const Page& page, const std::vector<std::string>& starts) {
    ASSERT_EQ(page.advice.size(), starts.size());
    for (std::size_t i = 0; i < starts.size(); ++i)
        EXPECT_EQ(page.advice[i].rfind(starts[i], 0), 0u) << page.advice[i].substr(0, 120);
}

TTestData TestAt(double date) {
    TTestData test;
    test.date = date;
    test.time = 0.4375; // 10:30
    test.supplier = "Pool Supply Co.\r\nMain Street";
    return test;
}

} // namespace

// A pool of 10 000 imperial gallons: V = round(10 000 x 1.20095045385 x 3.785411784)
// = round(45 460.92) = 45 461 litres, V/1000 = 45.461. Doses:
//   TA 150:    row (150-100)/10 x 45.461 x 16 = 3 636.88 ml    -> "3.64 l"
//              dry acid code 20: 5 x 45.461 x 19 = 4 318.795 gr -> "4.32 kg "
//   pH 7.8:    code 23: 45.461 x 10 = 454.61 ml -> "455 ml "; code 21: 45.461 x 12 = 545.532 gr -> "546 gr "
//   copper 0.5: row (1-0.5) x 45.461 x 16 = 363.688 ml -> "364 ml" (also in the algae advice)
//   cyanuric 20: row 45.461 x 47 / 50 x 10 = 427.3334 gr -> "427 gr"
//   iron 0.3:  code 24: 45.461 x 25 = 1 136.525 ml -> "1.14 l "; code 25: 454.61 ml -> "455 ml "
//   chloramines 0.5: code 35 = row 9: 45.461 x 135 = 6 137.235 ml -> "6.14 l "
//   free chlorine 0.3, sodium hypochlorite: code 26 = row 8: 0.2 x 45.461 x 9 = 81.8298 ml -> "82 ml "
//   inorganic stain: code 16: 1 136.525 ml -> "1.14 l "; code 14: 454.61 ml -> "455 ml "
//   potassium persulfate: code 31: 45.461 x 60 = 2 727.66 gr -> "2.73 kg ";
//                         code 32: 45.461 x 25 = 1 136.525 gr -> "1.14 kg "
TEST(AdvicePage, PoolInImperialGallonsWithChlorineAndPersulfate) {
    ScopedLocale locale(QLocale(QLocale::English, QLocale::UnitedStates));
    TBodyData body;
    body.kind = 0;
    body.width = 5, body.length = 12, body.depth = 1.5L;
    body.volume = 10000;
    body.lengthUnit = 0;
    body.volumeUnit = 2;
    body.note = "Back garden pool";
    TTestData test = TestAt(46100);
    test.alkalinity = 150, test.pH = 7.8L, test.hardness = 250, test.copper = 0.5L, test.iron = 0.3L;
    test.tds = 2000, test.orp = 250, test.freeChlorine = 0.3L, test.chloramines = 0.5L, test.cyanuric = 20;
    test.temperature = 77;
    test.cloudy = test.algae = true;
    test.stainType = 0, test.stainColour = 1;
    test.chlorineUsed = true, test.chlorineProduct = 0;
    test.oxidizer = oxPersulfate;

    const Page page = WritePage(body, test);
    // No TDS section (2000 is fine) and no acid demand section (not entered).
    ExpectSectionsInOrder(page,
                          {"<A name=\"I_CLOUDY\"></A>", "<A name=\"I_INORGANIC\"></A>", "<A name=\"t1\"></A>",
                           "<A name=\"t2\"></A>", "<A name=\"t3\"></A>", "<A name=\"t4\"></A>",
                           "<A name=\"t11\"></A>", "<A name=\"t5\"></A>", "<A name=\"t7\"></A>",
                           "<A name=\"t9\"></A>", "<A name=\"t8\"></A>", "<A name=\"t8\"></A>"});
    EXPECT_EQ(page.lines.size(), kPageLinesWithoutAdvice + 1 + 12);
    ASSERT_EQ(page.advice.size(), 12u);
    const std::vector<std::string>& a = page.advice;

    EXPECT_TRUE(Contains(a[0], "<A name=\"I_ALGAE\"></A>")); // both conditions on one line
    EXPECT_TRUE(
        Contains(a[0], "and apply <b>364 ml</b> of  <b>Verdi</b>gel. For Black Algae double the dosage. "));
    EXPECT_TRUE(Contains(a[1], "<b><b>Inorganic (Brown) stains on pool surface</b></b>"));
    EXPECT_TRUE(Contains(a[1],
                         "Then add <b>1.14 l </b> <b>Stav</b>rel to the water. Maintain water by adding "
                         "<b>455 ml </b> <b>Stav</b>rel every other week."));
    EXPECT_TRUE(Contains(a[2], "<b>Total Alkalinity (150 ppm)</b>"));
    EXPECT_TRUE(Contains(a[2], "Liquid acids: Apply <b>3.64 l</b> of  Tessamor Acid. "));
    EXPECT_TRUE(Contains(a[2], "If you use dry acid to reduce TA apply <b>4.32 kg </b> dry acid. "));
    EXPECT_TRUE(Contains(a[3], "<b>pH (7.80)</b>"));
    EXPECT_TRUE(Contains(a[3],
                         "Based on the test apply <b>455 ml </b> Tessamor or Muriatic acid or <b>546 gr "
                         "</b> of Sodium Bisulfate. "));
    EXPECT_TRUE(Contains(a[4],
                         "<b>Total Hardness (250 ppm)</b></div><div align=\"justify\" style=\"font-size: "
                         "11pt\">TH is fine.</div></p>"));
    EXPECT_TRUE(
        Contains(a[5], "After adjusting Total Alkalinity and pH apply <b>364 ml</b> of  <b>Verdi</b>gel. "));
    EXPECT_TRUE(Contains(a[6], "Cyanuric test indicates <b>427 gr</b> of  Cyanuric acid."));
    EXPECT_TRUE(Contains(a[7], "<b>Iron (0.30 ppm)</b>"));
    EXPECT_TRUE(Contains(a[7],
                         "High Iron. Apply <b>1.14 l </b> <b>Stav</b>rel. Add <b>455 ml </b> every second "
                         "week."));
    EXPECT_TRUE(Contains(a[8], "<b>Oxidation Reduction Potential - ORP (250 mV)</b>"));
    EXPECT_TRUE(Contains(a[9], "is to use <b>6.14 l </b> Sodium Hypochlorite. "));
    EXPECT_TRUE(Contains(a[10], "<b>Sodium Hypochlorite</b></div>"));
    EXPECT_TRUE(
        Contains(a[10], "Based on test value you should add <b>82 ml </b> Sodium Hypochlorite.</div></p>"));
    EXPECT_TRUE(Contains(a[11], "<b>Oxidation</b>"));
    EXPECT_TRUE(Contains(a[11],
                         "For Potassium Persulfate shock apply <b>2.73 kg </b> to your pool. For regular "
                         "oxidation apply <b>1.14 kg </b> Potassium Persulfate twice a week."));
    // The result table's free chlorine link finds the sanitizer advice, the first t8.
    EXPECT_TRUE(Contains(page.bytes, "<A href=\"#t8\">Free Chlorine</A>"));
    EXPECT_EQ(Count(page.bytes, "<A name=\"t8\"></A>"), 2u);
    ExpectWindows1252Only(page.bytes);
}

// A spa of 250 US gallons: V = round(250 x 3.785411784) = round(946.35) = 946 litres,
// V/1000 = 0.946; the user writes decimals with a comma. Doses:
//   TA 60:     row (80-60)/10 x 0.946 x 19 = 35.948 gr -> "36 gr"
//   pH 6.8:    code 22: 0.946 x 10 = 9.46 gr -> "9 gr "
//   TH 80:     row (100-80)/10 x 0.946 x 16 = 30.272 gr -> "30 gr"
//   cyanuric 29: row 0.946 x 47 / 50 x 1 = 0.88924 gr -> "0,89 gr"
//   iron 0.12: shown "0,12", read back as 0.12 > 0.1: code 24: 0.946 x 25 = 23.65 ml -> "24 ml ";
//              code 25: 9.46 ml -> "9 ml "
//   organic stain: code 18: 0.946 x 9 x 15 = 127.71 ml -> "128 ml "; code 17: 0.946 x 32 = 30.272 ml -> "30
//   ml " hydrogen peroxide: code 33: 0.946 x 100 = 94.6 ml -> "95 ml "; code 34: 0.946 x 30 = 28.38 ml -> "28
//   ml "
TEST(AdvicePage, SpaInUSGallonsWithCommaAndPeroxide) {
    ScopedLocale locale(QLocale(QLocale::German, QLocale::Germany));
    TBodyData body;
    body.kind = 1;
    body.width = 7, body.length = 7, body.depth = 3;
    body.volume = 250;
    body.lengthUnit = 1;
    body.volumeUnit = 1;
    TTestData test = TestAt(46120);
    test.alkalinity = 60, test.pH = 6.8L, test.hardness = 80, test.copper = 1.6L, test.iron = 0.12L;
    test.tds = 3500, test.chloramines = 0.1L, test.bromine = 0.5L, test.cyanuric = 29, test.acidDemand = 5;
    test.temperature = 38, test.celsius = 1;
    test.clear = true;
    test.stainType = 1, test.stainColour = 1;
    test.chlorineUsed = true, test.chlorineProduct = 5;
    test.oxidizer = oxPeroxide;

    const Page page = WritePage(body, test);
    // No condition section (clear), no ORP (not entered), no chloramines (no dose).
    ExpectSectionsInOrder(page, {"<A name=\"I_ORGANIC\"></A>", "<A name=\"t1\"></A>", "<A name=\"t2\"></A>",
                                 "<A name=\"t3\"></A>", "<A name=\"t4\"></A>", "<A name=\"t11\"></A>",
                                 "<A name=\"t5\"></A>", "<A name=\"t6\"></A>", "<A name=\"t13\"></A>",
                                 "<A name=\"t8\"></A>", "<A name=\"t8\"></A>"});
    EXPECT_EQ(page.lines.size(), kPageLinesWithoutAdvice + 11);
    ASSERT_EQ(page.advice.size(), 11u);
    const std::vector<std::string>& a = page.advice;

    EXPECT_TRUE(Contains(a[0], "Apply <b>128 ml </b> Sodium Hypochlorite. "));
    EXPECT_TRUE(Contains(a[0], "apply <b>30 ml </b> <b>Verdi</b>gel."));
    EXPECT_TRUE(Contains(a[1], "Increase Total Alkalinity by adding <b>36 gr</b> of  Sodium Bicarbonate."));
    EXPECT_TRUE(Contains(a[2], "<b>pH (6,80)</b>"));
    EXPECT_TRUE(Contains(a[2], "Add <b>9 gr </b> Sodium Carbonate. Re-test pH in 12 hours"));
    EXPECT_TRUE(Contains(a[3],
                         "Add <b>30 gr</b> of  Calcium Chloride. Pre-dissolve flakes in bucket of water "
                         "before aplying to pool/spa."));
    EXPECT_TRUE(Contains(a[4], "<b>Copper (1,60 ppm)</b>"));
    EXPECT_TRUE(Contains(a[4], "don\x92t"));
    EXPECT_TRUE(Contains(a[5], "Cyanuric test indicates <b>0,89 gr</b> of  Cyanuric acid."));
    EXPECT_TRUE(Contains(a[6], "<b>Iron (0,12 ppm)</b>"));
    EXPECT_TRUE(
        Contains(a[6], "High Iron. Apply <b>24 ml </b> <b>Stav</b>rel. Add <b>9 ml </b> every second week."));
    EXPECT_TRUE(Contains(a[7], "<b>Total Dissolved Solids - TDS (3500 ppm)</b>"));
    EXPECT_TRUE(Contains(a[8], "<b>Acid Demand (5)</b>"));
    EXPECT_TRUE(Contains(a[9], "<b>Bromine</b></div>"));
    EXPECT_TRUE(Contains(a[10],
                         "To shock your pool/spa apply H2O2 <b>95 ml </b> 35% for regular oxidation apply "
                         "<b>28 ml </b> Hydrogen Peroxide twice a week. In spa apply this after each use."));
    ExpectWindows1252Only(page.bytes);
}

TEST(AdvicePage, AllReadingsZeroHasNoAdvice) {
    ScopedLocale locale(QLocale(QLocale::English, QLocale::UnitedStates));
    TBodyData body;
    body.volume = 20000;
    TTestData test = TestAt(46100);
    test.clear = true;
    test.stainsClean = true;
    test.chlorineUsed = false;
    test.oxidizer = oxNone;
    const Page page = WritePage(body, test);
    EXPECT_TRUE(page.advice.empty());
    EXPECT_EQ(page.lines.size(), kPageLinesWithoutAdvice);
    EXPECT_FALSE(Contains(page.bytes, "<A name="));
    ExpectWindows1252Only(page.bytes);
}
