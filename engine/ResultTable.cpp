#include "ResultTable.h"

#include "NumberTexts.h"

#include <string_view>

namespace {

// The rows' texts have fixed capacities; a longer text is cut, as a short string would be.
constexpr std::size_t kResultCapacity = 32;

void SetResult(TResultRow& row, std::string text) {
    if (text.size() > kResultCapacity) text.resize(kResultCapacity);
    row.present = true;
    row.result = std::move(text);
}

std::string Whole(std::int32_t n) {
    return StripBlanks(IntText(n, 0));
}
std::string Fixed(const ReportCall& call, int decimals, long double x) {
    return StripBlanks(FixedText(call, 10, decimals, x));
}

void Prescribe(TResultRow& row, std::string chemical, long double amount, std::string unit) {
    row.chemical = std::move(chemical);
    row.amount = static_cast<double>(amount);
    row.status = std::move(unit);
}

bool HasFine(std::string_view status) {
    return status.find("fine") != std::string_view::npos;
}

void EvalAlkalinity(TResultRow& row, std::int32_t n, std::int32_t v) {
    SetResult(row, Whole(n));
    row.name = "<A href=\"#t1\">Total Alkalinity</A>";
    if (n >= 120) {
        row.name = "<A href=\"#t1\">Total Alkalinity(Dn)</A>";
        Prescribe(row, "Tessamor Acid", (n - 100) / 10.0L * PerThousandLitres(v, 16.0L), "ml");
    } else if (n >= 80) {
        row.status = "TA is fine";
    } else {
        row.name = "<A href=\"#t1\">Total Alkalinity(Up)</A>";
        Prescribe(row, "Sodium Bicarbonate", (80 - n) / 10.0L * PerThousandLitres(v, 19.0L), "gr");
    }
}

void EvalPH(const ReportCall& call, TResultRow& row, std::int32_t v, long double x) {
    SetResult(row, Fixed(call, 2, x));
    row.name = "<A href=\"#t2\">pH</A>";
    if (x > 7.0L && x <= 7.6L) {
        row.status = "pH is fine";
    } else if (x > 7.6L) {
        row.name = "<A href=\"#t2\">pH (Down)</A>";
        Prescribe(row, "Tessamor Acid", PerThousandLitres(v, x > 8.0L ? 20.0L : 10.0L), "ml");
    } else {
        row.name = "<A href=\"#t2\">pH (Up)</A>";
        Prescribe(row, "Sodium Bicarbonate", PerThousandLitres(v, 10.0L), "gr");
    }
}

void EvalHardness(TResultRow& row, std::int32_t n, std::int32_t v) {
    SetResult(row, Whole(n));
    row.name = "<A href=\"#t3\">Total Hardness</A>";
    if (n > 300)
        row.status = "TH=Dilute";
    else if (n >= 100)
        row.status = "TH is fine";
    else
        Prescribe(row, "Calcium Chloride", (100 - n) / 10.0L * PerThousandLitres(v, 16.0L), "gr");
}

void EvalCopper(const ReportCall& call, TResultRow& row, std::int32_t v, long double x) {
    SetResult(row, Fixed(call, 2, x));
    row.name = "<A href=\"#t4\">Copper</A>";
    if (x < 0.7L)
        Prescribe(row, "Verdigel", (1.0L - x) * PerThousandLitres(v, 16.0L), "ml");
    else if (x <= 1.49L)
        row.status = "Cu is fine";
}

void EvalIron(const ReportCall& call, TResultRow& row, std::int32_t v, long double x) {
    SetResult(row, Fixed(call, 2, x));
    if (x > 0.1L) {
        row.name = "<A href=\"#t5\">Iron</A>";
        Prescribe(row, "Stavrel", PerThousandLitres(v, 25.0L), "ml");
    }
}

void EvalTDS(TResultRow& row, std::int32_t n) {
    SetResult(row, Whole(n));
    row.status = n > 3000 ? "Dilute water" : "TDS is fine";
    if (!HasFine(row.status)) row.name = "<A href=\"#t6\">TDS</A>";
}

void EvalORP(TResultRow& row, std::int32_t n) {
    SetResult(row, Whole(n));
    row.status = n < 300 ? "Read detail" : "ORP is fine";
    if (!HasFine(row.status)) row.name = "<A href=\"#t7\">ORP</A>";
}

struct ChlorineProduct {
    const char* name;
    long double factor; // per 1000 litres and 1 ppm
    const char* unit;
};

// By the test's chlorine product 0 to 5; bromine is not dosed from the free chlorine reading.
constexpr ChlorineProduct kChlorineProducts[] = {
    {"Sodium Hypochlorite", 9.0L, "ml"},
    {"Calcium Hypochlorite", 2.0L, "gr"},
    {"Lithium Hypochlorite", 3.3L, "gr"},
    {"Dichlor", 2.0L, "gr"},
    {"Trichlor", 1.0L, "gr"},
    {"Bromine", 0.0L, ""},
};
constexpr std::uint8_t kBromineProduct = 5;

void EvalFreeChlorine(const ReportCall& call, TResultRow& row, std::int32_t v, const ChlorineProduct& product,
                      long double x) {
    SetResult(row, Fixed(call, 1, x));
    if (x < 0.5L) {
        row.name = "<A href=\"#t8\">Free Chlorine</A>";
        Prescribe(row, product.name, (0.5L - x) * PerThousandLitres(v, product.factor), product.unit);
    }
}

void EvalChloramines(const ReportCall& call, TResultRow& row, std::int32_t v, long double x) {
    SetResult(row, Fixed(call, 1, x));
    if (x > 0.2L) {
        row.name = "<A href=\"#t9\">Chloramines</A>";
        Prescribe(row, "Sodium Hypochlorite", PerThousandLitres(v, 135.0L), "ml");
    }
}

void EvalBromine(const ReportCall& call, TResultRow& row, long double x) {
    SetResult(row, Fixed(call, 1, x));
    if (x < 1.0L) {
        row.chemical = "Bromine";
        row.status = "Increase Bromine";
    }
}

void EvalCyanuric(TResultRow& row, std::int32_t n, std::int32_t v) {
    SetResult(row, Whole(n));
    if (n < 30) {
        row.name = "<A href=\"#t11\">Cyanuric Acid</A>";
        Prescribe(row, "Cyanuric Acid", PerThousandLitres(v, 47.0L) / 50.0L * (30 - n), "gr");
    } else {
        row.status = "CA is fine";
    }
}

void EvalTemperature(TResultRow& row, std::int32_t n, bool celsius) {
    SetResult(row, Whole(n));
    row.unit = celsius ? "\xB0"
                         "C"
                       : "\xB0"
                         "F";
}

void EvalAcidDemand(TResultRow& row, std::int32_t n) {
    SetResult(row, Whole(n));
    row.name = "<A href=\"#t13\">Acid demand</A>";
}

void SeedRows(ReportCall& call) {
    struct Seed {
        const char* name;
        const char* unit;
    };
    constexpr Seed seeds[kResultRowCount] = {
        {"Total Alkalinity", "ppm"},
        {"pH", ""},
        {"Total Hardness", "ppm"},
        {"Copper", "ppm"},
        {"Iron", "ppm"},
        {"TDS", "ppm"},
        {"ORP", "mV"},
        {"Free Chlorine", "ppm"},
        {"Chloramines", "ppm"},
        {"Bromine", "ppm"},
        {"Cyanuric Acid", "ppm"},
        {"Temperature", ""},
        {"Acid demand", ""},
    };
    for (int i = 1; i <= kResultRowCount; ++i) {
        TResultRow& row = call.Row(i);
        row = TResultRow{};
        row.name = seeds[i - 1].name;
        row.unit = seeds[i - 1].unit;
    }
}

// A reading of 0 or less was not measured and leaves its row as seeded.
void RunEvaluators(ReportCall& call) {
    const TTestData& t = call.test;
    auto v = [&call] { return VolumeLitresOf(call); };
    if (t.alkalinity > 0) EvalAlkalinity(call.Row(1), RoundChecked(t.alkalinity), v());
    if (t.pH > 0) EvalPH(call, call.Row(2), v(), t.pH);
    if (t.hardness > 0) EvalHardness(call.Row(3), RoundChecked(t.hardness), v());
    if (t.copper > 0) EvalCopper(call, call.Row(4), v(), t.copper);
    if (t.iron > 0) EvalIron(call, call.Row(5), v(), t.iron);
    if (t.tds > 0) EvalTDS(call.Row(6), RoundChecked(t.tds));
    if (t.orp > 0) EvalORP(call.Row(7), RoundChecked(t.orp));
    if (t.freeChlorine > 0 && t.chlorineUsed && t.chlorineProduct <= kBromineProduct) {
        const ChlorineProduct& product = kChlorineProducts[t.chlorineProduct];
        std::int32_t volume = t.chlorineProduct == kBromineProduct ? 0 : v();
        EvalFreeChlorine(call, call.Row(8), volume, product, t.freeChlorine);
    }
    if (t.chloramines > 0) EvalChloramines(call, call.Row(9), v(), t.chloramines);
    if (t.bromine > 0) EvalBromine(call, call.Row(10), t.bromine);
    if (t.cyanuric > 0) EvalCyanuric(call.Row(11), RoundChecked(t.cyanuric), v());
    if (t.temperature > 0) EvalTemperature(call.Row(12), RoundChecked(t.temperature), t.celsius != 0);
    if (t.acidDemand > 0) EvalAcidDemand(call.Row(13), RoundChecked(t.acidDemand));
}

void AddTableLines(ReportCall& call) {
    call.Add("<table width=\"600\" border=\"0\" cellpadding=\"2\" cellspacing=\"2\">");
    call.Add("<tr bgcolor=\"#FFCC99\" valign=\"bottom\" style=\"font-size: 11pt\">");
    call.Add("<td>Parameter</td>");
    call.Add("<td>Test<br>result</td>");
    call.Add("<td>Recommended<br>chemicals</td>");
    call.Add("<td>Ammount to add</td>");
    call.Add("</tr>");
    for (int i = 1; i <= kResultRowCount; ++i) {
        const TResultRow& row = call.Row(i);
        call.Add(i % 2 == 1 ? "<tr bgcolor=\"#99FFFF\" style=\"font-size: 11pt\" nowrap>"
                            : "<tr bgcolor=\"#CCFFFF\" style=\"font-size: 11pt\" nowrap>");
        call.Add("<td>" + row.name + "</td>");
        // A unit without a value would read as a measurement; the blank stays either way.
        call.Add("<td>" + row.result + " " + (IsBlank(row.result) ? std::string() : row.unit) + "</td>");
        call.Add("<td>" + row.chemical + "</td>");
        call.Add("<td>" + RowAmountText(call, i) + "</td>");
        call.Add("</tr>");
    }
    call.Add("</table>");
}

} // namespace

void BuildResultTable(ReportCall& call) {
    SeedRows(call);
    RunEvaluators(call);
    AddTableLines(call);
}
