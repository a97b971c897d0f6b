#include "BrinovaDEF.h"

#include "platform/LittleEndian.h"
#include "platform/NumberText.h"
#include "platform/Real80.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using platform::GetF64;
using platform::GetReal80;
using platform::GetU8;
using platform::PutF64;
using platform::PutReal80;
using platform::PutU8;

namespace {

// A zero-terminated text inside a fixed array: up to the first zero, never past the array.
std::string GetText(const unsigned char* p, std::size_t offset, std::size_t capacity) {
    const char* start = reinterpret_cast<const char*>(p + offset);
    std::size_t length = 0;
    while (length < capacity && start[length] != '\0')
        ++length;
    return std::string(start, length);
}

// Keeps the terminating zero in the last byte: at most capacity - 1 characters.
void PutText(unsigned char* p, std::size_t offset, std::size_t capacity, const std::string& text) {
    std::size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(p + offset, text.data(), length);
}

std::string TableEntry(const auto& table, std::uint8_t index) {
    return index < table.size() ? std::string(table[index]) : std::string();
}

} // namespace

TBodyData TBodyData::Decode(const unsigned char* p) {
    namespace o = body_offset;
    TBodyData body;
    body.kind = GetU8(p, o::kind);
    body.width = GetReal80(p, o::width);
    body.length = GetReal80(p, o::length);
    body.depth = GetReal80(p, o::depth);
    body.volume = GetReal80(p, o::volume);
    body.lengthUnit = GetU8(p, o::lengthUnit);
    body.volumeUnit = GetU8(p, o::volumeUnit);
    body.note = GetText(p, o::note, kBodyNoteCapacity);
    return body;
}

TBodyBytes TBodyData::Encode() const {
    namespace o = body_offset;
    TBodyBytes bytes{};
    unsigned char* p = bytes.data();
    PutU8(p, o::kind, kind);
    PutReal80(p, o::width, width);
    PutReal80(p, o::length, length);
    PutReal80(p, o::depth, depth);
    PutReal80(p, o::volume, volume);
    PutU8(p, o::lengthUnit, lengthUnit);
    PutU8(p, o::volumeUnit, volumeUnit);
    PutText(p, o::note, kBodyNoteCapacity, note);
    return bytes;
}

TTestData TTestData::Decode(const unsigned char* p) {
    namespace o = test_offset;
    TTestData t;
    t.date = GetF64(p, o::date);
    t.time = GetF64(p, o::time);
    t.alkalinity = GetReal80(p, o::alkalinity);
    t.pH = GetReal80(p, o::pH);
    t.hardness = GetReal80(p, o::hardness);
    t.copper = GetReal80(p, o::copper);
    t.iron = GetReal80(p, o::iron);
    t.tds = GetReal80(p, o::tds);
    t.orp = GetReal80(p, o::orp);
    t.totalChlorine = GetReal80(p, o::totalChlorine);
    t.freeChlorine = GetReal80(p, o::freeChlorine);
    t.chloramines = GetReal80(p, o::chloramines);
    t.bromine = GetReal80(p, o::bromine);
    t.cyanuric = GetReal80(p, o::cyanuric);
    t.acidDemand = GetReal80(p, o::acidDemand);
    t.temperature = GetReal80(p, o::temperature);
    t.clear = GetU8(p, o::clear) != 0;
    t.cloudy = GetU8(p, o::cloudy) != 0;
    t.odorous = GetU8(p, o::odorous) != 0;
    t.algae = GetU8(p, o::algae) != 0;
    t.greenTint = GetU8(p, o::greenTint) != 0;
    t.foaming = GetU8(p, o::foaming) != 0;
    t.hairGreen = GetU8(p, o::hairGreen) != 0;
    t.stainsClean = GetU8(p, o::stainsClean) != 0;
    t.chlorineUsed = GetU8(p, o::chlorineUsed) != 0;
    t.celsius = GetU8(p, o::celsius);
    t.stainColour = GetU8(p, o::stainColour);
    t.stainType = GetU8(p, o::stainType);
    t.oxidizer = GetU8(p, o::oxidizer);
    t.chlorineProduct = GetU8(p, o::chlorineProduct);
    t.sanitizer = GetU8(p, o::sanitizer);
    t.shock = GetU8(p, o::shock);
    t.supplier = GetText(p, o::supplier, kSupplierCapacity);
    t.testNote = GetText(p, o::testNote, kTestNoteCapacity);
    return t;
}

TTestBytes TTestData::Encode() const {
    namespace o = test_offset;
    TTestBytes bytes{};
    unsigned char* p = bytes.data();
    PutF64(p, o::date, date);
    PutF64(p, o::time, time);
    PutReal80(p, o::alkalinity, alkalinity);
    PutReal80(p, o::pH, pH);
    PutReal80(p, o::hardness, hardness);
    PutReal80(p, o::copper, copper);
    PutReal80(p, o::iron, iron);
    PutReal80(p, o::tds, tds);
    PutReal80(p, o::orp, orp);
    PutReal80(p, o::totalChlorine, totalChlorine);
    PutReal80(p, o::freeChlorine, freeChlorine);
    PutReal80(p, o::chloramines, chloramines);
    PutReal80(p, o::bromine, bromine);
    PutReal80(p, o::cyanuric, cyanuric);
    PutReal80(p, o::acidDemand, acidDemand);
    PutReal80(p, o::temperature, temperature);
    PutU8(p, o::clear, clear);
    PutU8(p, o::cloudy, cloudy);
    PutU8(p, o::odorous, odorous);
    PutU8(p, o::algae, algae);
    PutU8(p, o::greenTint, greenTint);
    PutU8(p, o::foaming, foaming);
    PutU8(p, o::hairGreen, hairGreen);
    PutU8(p, o::stainsClean, stainsClean);
    PutU8(p, o::chlorineUsed, chlorineUsed);
    PutU8(p, o::celsius, celsius);
    PutU8(p, o::stainColour, stainColour);
    PutU8(p, o::stainType, stainType);
    PutU8(p, o::oxidizer, oxidizer);
    PutU8(p, o::chlorineProduct, chlorineProduct);
    PutU8(p, o::sanitizer, sanitizer);
    PutU8(p, o::shock, shock);
    PutText(p, o::supplier, kSupplierCapacity, supplier);
    PutText(p, o::testNote, kTestNoteCapacity, testNote);
    return bytes;
}

std::string BodyTypeName(std::uint8_t kind) {
    return TableEntry(BodyTypeNames, kind);
}
std::string LengthUnitName(std::uint8_t unit) {
    return TableEntry(LengthUnitNames, unit);
}
std::string VolumeUnitName(std::uint8_t unit) {
    return TableEntry(VolumeUnitNames, unit);
}

std::string WholeNumberText(long double x) {
    return platform::FormatPicture(x, "### ### ###", '.', ' ');
}

std::string VolumeText(const TBodyData& body) {
    return WholeNumberText(body.volume) + " " + VolumeUnitName(body.volumeUnit);
}

long double USGallonsToLitres(long double x) {
    return x * 3.785411784L;
}
long double ImpGallonsToLitres(long double x) {
    return (x * 1.20095045385L) * 3.785411784L;
}

long double FahrenheitToCelsius(long double x) {
    constexpr long double kFiveNinths = 5.0L / 9.0L;
    return (x - 32.0L) * kFiveNinths;
}

bool RoundToInt32(long double x, std::int32_t& result) {
    if (!std::isfinite(x)) return false;
    long double rounded = std::nearbyint(x); // the default rounding mode: halves to even
    if (rounded < -2147483648.0L || rounded > 2147483647.0L) return false;
    result = static_cast<std::int32_t>(rounded);
    return true;
}

bool VolumeLitres(const TBodyData& body, std::int32_t& litres) {
    long double v = body.volume;
    if (!(v >= 1.0L)) v = 1.0L; // also NaN
    if (body.volumeUnit == 1)
        v = USGallonsToLitres(v);
    else if (body.volumeUnit == 2)
        v = ImpGallonsToLitres(v);
    return RoundToInt32(v, litres);
}

bool TemperatureCelsius(const TTestData& test, std::int32_t& celsius) {
    long double t = test.temperature;
    if (test.celsius == 0) t = FahrenheitToCelsius(t);
    return RoundToInt32(t, celsius);
}

namespace {

template <typename Block, typename Real> struct TRealField {
    Real Block::*field;
    const char* label;
};

// Every real of the two blocks in stored order, with the label the entry form gives it.
constexpr TRealField<TBodyData, long double> kBodyReals[] = {{&TBodyData::width, "Width"},
                                                             {&TBodyData::length, "Length"},
                                                             {&TBodyData::depth, "Average Depth"},
                                                             {&TBodyData::volume, "Volume"}};
constexpr TRealField<TTestData, double> kTestDayCounts[] = {{&TTestData::date, "Date"},
                                                            {&TTestData::time, "Time"}};
constexpr TRealField<TTestData, long double> kTestReadings[] = {{&TTestData::alkalinity, "Total Alkalinity"},
                                                                {&TTestData::pH, "pH"},
                                                                {&TTestData::hardness, "Total Hardness"},
                                                                {&TTestData::copper, "Copper"},
                                                                {&TTestData::iron, "Iron"},
                                                                {&TTestData::tds, "TDS"},
                                                                {&TTestData::orp, "ORP"},
                                                                {&TTestData::totalChlorine, "Total chlorine"},
                                                                {&TTestData::freeChlorine, "Free Chlorine"},
                                                                {&TTestData::chloramines, "Chloramines"},
                                                                {&TTestData::bromine, "Bromine"},
                                                                {&TTestData::cyanuric, "Cyanuric Acid"},
                                                                {&TTestData::acidDemand, "Acid Demand"},
                                                                {&TTestData::temperature, "Temperature"}};

template <typename Block, typename Table>
const char* FirstNonFinite(const Block& block, const Table& fields) {
    for (const auto& entry : fields)
        if (!std::isfinite(block.*entry.field)) return entry.label;
    return nullptr;
}

template <typename Table, typename Field> const char* LabelIn(const Table& fields, Field field) {
    for (const auto& entry : fields)
        if (entry.field == field) return entry.label;
    return "";
}

} // namespace

const char* FieldLabel(long double TBodyData::*field) {
    return LabelIn(kBodyReals, field);
}

const char* FieldLabel(long double TTestData::*field) {
    return LabelIn(kTestReadings, field);
}

const char* FieldLabel(double TTestData::*field) {
    return LabelIn(kTestDayCounts, field);
}

const char* NonFiniteField(const TBodyData& body) {
    return FirstNonFinite(body, kBodyReals);
}

const char* NonFiniteField(const TTestData& test) {
    if (const char* label = FirstNonFinite(test, kTestDayCounts)) return label;
    return FirstNonFinite(test, kTestReadings);
}
