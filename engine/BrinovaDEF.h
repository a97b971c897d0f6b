#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The body-of-water and water-test blocks, stored inside the data file's records and
// handed to the engine, and the name tables that go with them. Shared by the program and
// the engine library: nothing here knows either of them.

constexpr std::size_t kBodyDataSize = 208;
constexpr std::size_t kTestDataSize = 448;
constexpr std::size_t kBodyNoteCapacity = 128;
constexpr std::size_t kSupplierCapacity = 128;
constexpr std::size_t kTestNoteCapacity = 64;

using TBodyBytes = std::array<unsigned char, kBodyDataSize>;
using TTestBytes = std::array<unsigned char, kTestDataSize>;

struct TBodyData {
    std::uint8_t kind = 0; // index into BodyTypeNames
    long double width = 0.0L;
    long double length = 0.0L;
    long double depth = 0.0L;
    long double volume = 0.0L;
    std::uint8_t lengthUnit = 0; // 0 Metre, 1 Foot
    std::uint8_t volumeUnit = 0; // 0 Liter, 1 US Gallon, 2 Imperial Gallon
    std::string note;            // Windows-1252, at most 127 characters

    static TBodyData Decode(const unsigned char* bytes);
    // Writes the whole block: padding and unused text bytes are 0.
    TBodyBytes Encode() const;
};

enum TOxidizer : std::uint8_t { oxPersulfate = 0, oxPeroxide = 1, oxOzone = 2, oxNone = 3 };

struct TTestData {
    double date = 0.0; // whole days since 30 December 1899; 0 means no date
    double time = 0.0; // time of day as a fraction
    long double alkalinity = 0.0L;
    long double pH = 0.0L;
    long double hardness = 0.0L;
    long double copper = 0.0L;
    long double iron = 0.0L;
    long double tds = 0.0L;
    long double orp = 0.0L;
    long double totalChlorine = 0.0L;
    long double freeChlorine = 0.0L;
    long double chloramines = 0.0L;
    long double bromine = 0.0L;
    long double cyanuric = 0.0L;
    long double acidDemand = 0.0L;
    long double temperature = 0.0L;
    bool clear = false;
    bool cloudy = false;
    bool odorous = false;
    bool algae = false;
    bool greenTint = false;
    bool foaming = false;
    bool hairGreen = false;
    bool stainsClean = false;
    bool chlorineUsed = false;
    std::uint8_t celsius = 0; // 0 Fahrenheit, 1 Celsius
    std::uint8_t stainColour = 0;
    std::uint8_t stainType = 0;
    std::uint8_t oxidizer = 0;
    std::uint8_t chlorineProduct = 0;
    std::uint8_t sanitizer = 0;
    std::uint8_t shock = 0;
    std::string supplier; // CR LF breaks, at most 127 characters
    std::string testNote; // at most 63 characters

    static TTestData Decode(const unsigned char* bytes);
    TTestBytes Encode() const;
};

// Field offsets of the stored blocks.
namespace body_offset {
constexpr std::size_t kind = 8, width = 16, length = 32, depth = 48, volume = 64, lengthUnit = 74,
                      volumeUnit = 75, note = 76;
}
namespace test_offset {
constexpr std::size_t date = 0, time = 8, alkalinity = 16, pH = 32, hardness = 48, copper = 64, iron = 80,
                      tds = 96, orp = 112, totalChlorine = 128, freeChlorine = 144, chloramines = 160,
                      bromine = 176, cyanuric = 192, acidDemand = 208, temperature = 224, clear = 234,
                      cloudy = 235, odorous = 236, algae = 237, greenTint = 238, foaming = 239,
                      hairGreen = 240, stainsClean = 241, chlorineUsed = 242, celsius = 243,
                      stainColour = 244, stainType = 245, oxidizer = 246, chlorineProduct = 247,
                      sanitizer = 248, shock = 249, supplier = 250, testNote = 378;
}

inline constexpr std::array<const char*, 5> BodyTypeNames = {"Swimming Pool", "Spa/Hot Tub", "Pond",
                                                             "Waterscape", "Other"};
inline constexpr std::array<const char*, 2> LengthUnitNames = {"Metre", "Foot"};
inline constexpr std::array<const char*, 3> VolumeUnitNames = {"Liter", "Gallon", "Imperial Gallon"};

// A table entry, or the empty text for an index outside the table.
std::string BodyTypeName(std::uint8_t kind);
std::string LengthUnitName(std::uint8_t unit);
std::string VolumeUnitName(std::uint8_t unit);

// A whole number in the pattern "### ### ###": digits in groups of three from the right,
// separated by single blanks, no leading blanks; 0 shows "0". Rounds halves away from zero.
std::string WholeNumberText(long double x);
// The body's volume in that pattern + " " + the name of its volume unit.
std::string VolumeText(const TBodyData& body);

long double USGallonsToLitres(long double x);
long double ImpGallonsToLitres(long double x);
long double FahrenheitToCelsius(long double x);

// Rounds to the nearest whole number, halves to even, as the class library's Round does.
// Values outside 32 bits (and NaN) are refused: the caller reports them.
bool RoundToInt32(long double x, std::int32_t& result);

// The body's volume in whole litres (at least 1 litre before conversion); false when out of range.
bool VolumeLitres(const TBodyData& body, std::int32_t& litres);
// The test's temperature in whole degrees Celsius; false when out of range.
bool TemperatureCelsius(const TTestData& test, std::int32_t& celsius);

// The label of the block's first real that is not a finite number (NaN or an infinity, as a
// damaged record may hold), or nullptr when every real is finite.
const char* NonFiniteField(const TBodyData& body);
const char* NonFiniteField(const TTestData& test);
// The label of a real of the blocks as the entry form shows it ("Average Depth", "pH").
const char* FieldLabel(long double TBodyData::*field);
const char* FieldLabel(long double TTestData::*field);
const char* FieldLabel(double TTestData::*field);
