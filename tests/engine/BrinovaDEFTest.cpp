#include "BrinovaDEF.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void Put(Bytes& block, std::size_t offset, std::initializer_list<unsigned char> bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutText(Bytes& block, std::size_t offset, const char* text) {
    std::memcpy(block.data() + offset, text, std::strlen(text));
}

// 80-bit reals as the program stores them.
constexpr std::initializer_list<unsigned char> kTyped7_6 = {0x33, 0x33, 0x33, 0x33, 0x33,
                                                            0x33, 0x33, 0xF3, 0x01, 0x40};
constexpr std::initializer_list<unsigned char> k10000 = {0, 0, 0, 0, 0, 0, 0x40, 0x9C, 0x0C, 0x40};
constexpr std::initializer_list<unsigned char> k77 = {0, 0, 0, 0, 0, 0, 0, 0x9A, 0x05, 0x40};
constexpr std::initializer_list<unsigned char> k2 = {0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x40};

Bytes BodyFixture() {
    Bytes b(kBodyDataSize, 0);
    b[8] = 3;              // Waterscape
    Put(b, 16, kTyped7_6); // width
    Put(b, 32, k77);       // length
    Put(b, 48, k2);        // depth
    Put(b, 64, k10000);    // volume: 10 bytes, the unit bytes follow at once
    b[74] = 1;             // Foot
    b[75] = 2;             // Imperial Gallon
    PutText(b, 76, "Back yard");
    return b;
}

Bytes TestFixture() {
    Bytes t(kTestDataSize, 0);
    Put(t, 0, {0, 0, 0, 0, 0xC0, 0x26, 0xE6, 0x40}); // 45366.0
    Put(t, 8, {0, 0, 0, 0, 0, 0, 0xE8, 0x3F});       // 0.75
    Put(t, 32, kTyped7_6);                           // pH
    Put(t, 208, k2);                                 // acid demand
    Put(t, 224, k77);                                // temperature: 10 bytes, the flags follow at once
    t[234] = 1;                                      // clear
    t[238] = 2;                                      // green tint: any non-zero byte is true
    t[242] = 1;                                      // chlorine used
    t[243] = 0;                                      // Fahrenheit
    t[244] = 2;
    t[245] = 1;
    t[246] = 3;
    t[247] = 4;
    t[248] = 8;
    t[249] = 9;
    PutText(t, 250, "Pool Shop\r\nMain Street");
    PutText(t, 378, "after rain");
    return t;
}

} // namespace

TEST(BrinovaDEF, BodyBlockDecodesAtItsOffsets) {
    const Bytes bytes = BodyFixture();
    const TBodyData body = TBodyData::Decode(bytes.data());
    EXPECT_EQ(body.kind, 3);
    EXPECT_EQ(body.width, 7.6L);
    EXPECT_EQ(body.length, 77.0L);
    EXPECT_EQ(body.depth, 2.0L);
    EXPECT_EQ(body.volume, 10000.0L);
    EXPECT_EQ(body.lengthUnit, 1);
    EXPECT_EQ(body.volumeUnit, 2);
    EXPECT_EQ(body.note, "Back yard");
    // Writing it back gives the same bytes, padding and unused text bytes zero.
    const TBodyBytes again = body.Encode();
    EXPECT_TRUE(std::equal(again.begin(), again.end(), bytes.begin()));
}

TEST(BrinovaDEF, TestBlockDecodesAtItsOffsets) {
    const Bytes bytes = TestFixture();
    const TTestData t = TTestData::Decode(bytes.data());
    EXPECT_EQ(t.date, 45366.0);
    EXPECT_EQ(t.time, 0.75);
    EXPECT_EQ(t.pH, 7.6L);
    EXPECT_EQ(t.acidDemand, 2.0L);
    EXPECT_EQ(t.temperature, 77.0L);
    EXPECT_EQ(t.alkalinity, 0.0L);
    EXPECT_TRUE(t.clear);
    EXPECT_FALSE(t.cloudy);
    EXPECT_TRUE(t.greenTint);
    EXPECT_TRUE(t.chlorineUsed);
    EXPECT_FALSE(t.stainsClean);
    EXPECT_EQ(t.celsius, 0);
    EXPECT_EQ(t.stainColour, 2);
    EXPECT_EQ(t.stainType, 1);
    EXPECT_EQ(t.oxidizer, oxNone);
    EXPECT_EQ(t.chlorineProduct, 4);
    EXPECT_EQ(t.sanitizer, 8);
    EXPECT_EQ(t.shock, 9);
    EXPECT_EQ(t.supplier, "Pool Shop\r\nMain Street");
    EXPECT_EQ(t.testNote, "after rain");

    TTestData written = t;
    written.greenTint = true; // written back as 1
    Bytes expected = bytes;
    expected[238] = 1;
    const TTestBytes again = written.Encode();
    EXPECT_TRUE(std::equal(again.begin(), again.end(), expected.begin()));
}

TEST(BrinovaDEF, TextsKeepTheirTerminatingZero) {
    TBodyData body;
    body.note = std::string(127, 'n');
    TBodyBytes bytes = body.Encode();
    EXPECT_EQ(bytes[76 + 126], 'n');
    EXPECT_EQ(bytes[76 + 127], 0);
    body.note = std::string(200, 'n'); // cut to fit
    bytes = body.Encode();
    EXPECT_EQ(bytes[76 + 127], 0);
    EXPECT_EQ(TBodyData::Decode(bytes.data()).note, std::string(127, 'n'));

    TTestData test;
    test.supplier = std::string(300, 's');
    test.testNote = std::string(100, 't');
    const TTestBytes t = test.Encode();
    EXPECT_EQ(t[250 + 127], 0);
    EXPECT_EQ(t[378 + 63], 0);
    EXPECT_EQ(TTestData::Decode(t.data()).testNote.size(), 63u);

    // A damaged block without terminating zeros reads no further than each array.
    Bytes full(kTestDataSize, 'x');
    const TTestData damaged = TTestData::Decode(full.data());
    EXPECT_EQ(damaged.supplier.size(), 128u);
    EXPECT_EQ(damaged.testNote.size(), 64u);
}

TEST(BrinovaDEF, NameTables) {
    EXPECT_EQ(BodyTypeName(0), "Swimming Pool");
    EXPECT_EQ(BodyTypeName(1), "Spa/Hot Tub");
    EXPECT_EQ(BodyTypeName(4), "Other");
    EXPECT_EQ(LengthUnitName(0), "Metre");
    EXPECT_EQ(LengthUnitName(1), "Foot");
    EXPECT_EQ(VolumeUnitName(0), "Liter");
    EXPECT_EQ(VolumeUnitName(2), "Imperial Gallon");
    // Bytes outside the tables give an empty name.
    EXPECT_EQ(BodyTypeName(5), "");
    EXPECT_EQ(LengthUnitName(2), "");
    EXPECT_EQ(VolumeUnitName(255), "");
}

TEST(BrinovaDEF, VolumeInWholeLitres) {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const long double inf = std::numeric_limits<long double>::infinity();
    struct Case {
        const char* name;
        long double volume;
        std::uint8_t unit;
        std::optional<std::int32_t> litres;
    };
    const std::vector<Case> cases = {
        {"0 US gallons count as 1", 0.0L, 1, 4},
        {"negative counts as 1", -5.0L, 0, 1},
        {"NaN counts as 1", nan, 0, 1},
        {"10 000 US gallons", 10000.0L, 1, 37854},
        {"10 000 imperial gallons", 10000.0L, 2, 45461},
        {"litres", 45461.0L, 0, 45461},
        {"half to even, down", 2.5L, 0, 2},
        {"half to even, up", 3.5L, 0, 4},
        {"unknown unit as litres", 10.0L, 7, 10},
        {"largest", 2147483647.0L, 0, 2147483647},
        {"out of range", 1e12L, 1, std::nullopt},
        {"infinite", inf, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        TBodyData body;
        body.volume = c.volume;
        body.volumeUnit = c.unit;
        std::int32_t litres = -1;
        const bool ok = VolumeLitres(body, litres);
        EXPECT_EQ(ok, c.litres.has_value()) << c.name;
        if (ok && c.litres) {
            EXPECT_EQ(litres, *c.litres) << c.name;
        }
    }
}

TEST(BrinovaDEF, TemperatureInWholeDegreesCelsius) {
    struct Case {
        long double temperature;
        std::uint8_t celsius;
        std::optional<std::int32_t> expected;
    };
    const std::vector<Case> cases = {
        {77.0L, 0, 25},
        {85.0L, 0, 29}, // 29.44
        {32.9L, 0, 1},  // (32.9 - 32) x 5/9 is a hair above 0.5 in 80-bit arithmetic
        {32.0L, 0, 0},
        {20.0L, 0, -7},
        {25.0L, 1, 25},
        {24.5L, 1, 24}, // halves to even
        {std::numeric_limits<long double>::quiet_NaN(), 1, std::nullopt},
        {1e300L, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        TTestData test;
        test.temperature = c.temperature;
        test.celsius = c.celsius;
        std::int32_t degrees = -100;
        const bool ok = TemperatureCelsius(test, degrees);
        EXPECT_EQ(ok, c.expected.has_value()) << static_cast<double>(c.temperature);
        if (ok && c.expected) {
            EXPECT_EQ(degrees, *c.expected) << static_cast<double>(c.temperature);
        }
    }
    EXPECT_EQ(FahrenheitToCelsius(212.0L), 100.0L);
    EXPECT_EQ(USGallonsToLitres(1.0L), 3.785411784L);
    EXPECT_EQ(ImpGallonsToLitres(1.0L), 1.20095045385L * 3.785411784L);
}

TEST(BrinovaDEF, VolumeTextUsesTheGroupedPattern) {
    TBodyData body;
    body.volume = 10000.0L;
    body.volumeUnit = 1;
    EXPECT_EQ(VolumeText(body), "10 000 Gallon");
    body.volume = 0.0L;
    body.volumeUnit = 0;
    EXPECT_EQ(VolumeText(body), "0 Liter");
    body.volume = 1234567.5L; // halves away from zero
    body.volumeUnit = 9;
    EXPECT_EQ(VolumeText(body), "1 234 568 ");
    EXPECT_EQ(WholeNumberText(45461), "45 461");
    EXPECT_EQ(WholeNumberText(4), "4");
}
