#include "engine/SummaryTexts.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

ReportCall CallWith(const std::function<void(TTestData&)>& set, long double litres = 50000,
                    char separator = '.') {
    ReportCall call;
    call.body.volume = litres;
    call.decimalSeparator = separator;
    call.test.oxidizer = oxNone;
    set(call.test);
    return call;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(SummaryTexts, WaterCondition) {
    struct Case {
        const char* label;
        std::function<void(TTestData&)> set;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"clear wins", [](TTestData& t) { t.clear = t.cloudy = true; }, "Clear/Good"},
        {"nothing ticked", [](TTestData&) {}, ""},
        {"cloudy and foaming", [](TTestData& t) { t.cloudy = t.foaming = true; },
         "<A href=\"#I_CLOUDY\">Cloudy/milky</A>, <A href=\"#I_FOAMING\">Foaming</A>"},
        {"hair only", [](TTestData& t) { t.hairGreen = true; }, "<A href=\"#I_HAIR\">Hair Stains Green</A>"},
        {"all six",
         [](TTestData& t) { t.cloudy = t.odorous = t.algae = t.greenTint = t.foaming = t.hairGreen = true; },
         "<A href=\"#I_CLOUDY\">Cloudy/milky</A>, <A href=\"#I_ODOROUS\">Odorous</A>, "
         "<A href=\"#I_ALGAE\">Algae present</A>, <A href=\"#I_GREEN_TINT\">Green tint</A>, "
         "<A href=\"#I_FOAMING\">Foaming</A>, <A href=\"#I_HAIR\">Hair Stains Green</A>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WaterConditionText(CallWith(c.set)), c.expected) << c.label;
}

TEST(SummaryTexts, Staining) {
    struct Case {
        bool clean;
        std::uint8_t type, colour;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {true, 1, 1, "Clean/Good"},
        {false, 0, 0, "<A href=\"#I_INORGANIC\">Inorganic</A>, Gray/Black"},
        {false, 1, 1, "<A href=\"#I_ORGANIC\">Organic</A>"},
        {false, 2, 2, "<A href=\"#I_INORGANIC\">Unknown</A>, Green/Blue"},
        {false, 0, 9, "<A href=\"#I_INORGANIC\">Inorganic</A>"},
        {false, 7, 1, ", Brown"},
    };
    for (const Case& c : cases) {
        ReportCall call = CallWith([&](TTestData& t) {
            t.stainsClean = c.clean;
            t.stainType = c.type;
            t.stainColour = c.colour;
        });
        EXPECT_EQ(StainingText(call), c.expected) << int(c.type) << '/' << int(c.colour);
    }
}

const std::string kOpening =
    "<b>Brinova Water Balance (Saturation Index) of your water is <font color=\"red\">";
const std::string kClosing =
    "<b>Keep this index between -0.5 and +0.5 and get the most out of your pool - at the best cost.</b>";

TEST(SummaryTexts, SaturationIndexParagraph) {
    struct Case {
        const char* label;
        long double pH;
        char separator;
        const char* value;
    };
    const std::vector<Case> cases = {
        {"exactly 0.25 rounds away from zero", 7.55L, '.', "0.3</font></b> "},
        {"comma separator", 7.55L, ',', "0,3</font></b> "},
        {"0.6 + 7.5 + 1.9 + 2.0 - 11.8", 7.5L, '.', "0.2</font></b> "},
        {"corrosive", 6.8L, '.', "-0.5</font></b> "},
    };
    for (const Case& c : cases) {
        ReportCall call = CallWith(
            [&](TTestData& t) {
                t.temperature = 25;
                t.celsius = 1;
                t.pH = c.pH;
                t.hardness = 250;
                t.alkalinity = 100;
            },
            50000, c.separator);
        std::string text = SaturationIndexText(call);
        EXPECT_EQ(text.substr(0, kOpening.size() + std::string(c.value).size()), kOpening + c.value)
            << c.label;
        EXPECT_TRUE(text.ends_with(kClosing)) << c.label;
    }

    ReportCall noTemperature = CallWith([](TTestData& t) {
        t.pH = 7.5L;
        t.hardness = 250;
        t.alkalinity = 100;
    });
    std::string text = SaturationIndexText(noTemperature);
    EXPECT_TRUE(text.starts_with(kOpening +
                                 "not available.</font></b> <I>(If you wish to know the Langelier's water "
                                 "balance index, enter TA, pH, Total Hardness and temperature value)</I>."));
    EXPECT_EQ(Occurrences(text, "</font></b> "), 1u);
    EXPECT_TRUE(text.ends_with(kClosing));
}

TEST(SummaryTexts, ShockNote) {
    const std::string opening = "Shock in your Swimming Pool represents application of ";
    struct Case {
        const char* label;
        bool chlorine;
        std::uint8_t product, oxidizer;
        char separator;
        std::string expected;
    };
    // V = 50 000: 50 x 9 x 15 = 6750 ml, 50 x 2 x 15 = 1500 gr, 50 x 60 = 3000 gr, 50 x 100 = 5000 ml.
    const std::vector<Case> cases = {
        {"sodium and persulfate", true, 0, oxPersulfate, '.',
         opening + "6.75 l Sodium Hypochlorite or 3.00 kg Potassium Persulfate"},
        {"comma separator", true, 0, oxPersulfate, ',',
         opening + "6,75 l Sodium Hypochlorite or 3,00 kg Potassium Persulfate"},
        {"calcium alone", true, 1, oxOzone, '.', opening + "1.50 kg Calcium Hypochlorite"},
        {"lithium has no shock: peroxide only", true, 2, oxPeroxide, '.',
         opening + "5.00 l 35% Hydrogen Peroxide"},
        {"no chlorine, persulfate", false, 0, oxPersulfate, '.', opening + "3.00 kg Potassium Persulfate"},
        {"nothing", false, 0, oxNone, '.', ""},
        {"Trichlor, no oxidizer", true, 4, oxNone, '.', ""},
    };
    for (const Case& c : cases) {
        ReportCall call = CallWith(
            [&](TTestData& t) {
                t.chlorineUsed = c.chlorine;
                t.chlorineProduct = c.product;
                t.oxidizer = c.oxidizer;
            },
            50000, c.separator);
        EXPECT_EQ(ShockNoteText(call), c.expected) << c.label;
    }

    ReportCall spa = CallWith([](TTestData& t) { t.oxidizer = oxPeroxide; }, 1500);
    spa.body.kind = 1;
    EXPECT_EQ(ShockNoteText(spa),
              "Shock in your Spa/Hot Tub represents application of 150 ml 35% Hydrogen Peroxide");
}

TEST(SummaryTexts, RealisticBody) {
    // 12 000 US gallons: V = 45 425 litres. 82 F is 27.8 C -> 28 C, factor 0.7; TH 180 -> 1.8;
    // TA 140 -> 2.2: SI = 0.7 + 7.8 + 1.8 + 2.2 - 11.8 = 0.7.
    // Shock: calcium hypochlorite 45.425 x 2 x 15 = 1362.75 gr, peroxide 45.425 x 100 = 4542.5 ml.
    ReportCall call = CallWith([](TTestData& t) {
        t.temperature = 82;
        t.celsius = 0;
        t.pH = 7.8L;
        t.hardness = 180;
        t.alkalinity = 140;
        t.chlorineUsed = true;
        t.chlorineProduct = 1;
        t.oxidizer = oxPeroxide;
    });
    call.body.volume = 12000;
    call.body.volumeUnit = 1;
    EXPECT_TRUE(SaturationIndexText(call).starts_with(kOpening + "0.7</font></b> "));
    EXPECT_EQ(ShockNoteText(call), "Shock in your Swimming Pool represents application of 1.36 kg Calcium "
                                   "Hypochlorite or 4.54 l 35% Hydrogen Peroxide");
}

} // namespace
