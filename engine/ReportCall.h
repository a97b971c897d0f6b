#pragma once

#include "BrinovaDEF.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// One row of the result table.
struct TResultRow {
    std::string name;     // parameter name or an anchor link to its advice section
    std::string result;   // the reading as text
    std::string chemical; // recommended chemical
    double amount = 0.0;  // amount to add; 0 means none
    std::string status;   // the amount's unit ("ml", "gr") when there is an amount, else a status text
    std::string unit;     // measurement unit shown after the result
    bool present = false; // the row's evaluator ran
};

constexpr int kResultRowCount = 13;

// A failure while the page is built; its message is shown in the "Error" box.
class EngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Everything one call of the engine works on; made afresh by each call.
struct ReportCall {
    TBodyData body;
    TTestData test;
    char decimalSeparator = '.'; // the user's, as one Windows-1252 byte
    std::array<TResultRow, kResultRowCount> rows{};
    std::vector<std::string> lines; // the page, one entry per line, Windows-1252

    // Result rows are numbered 1 to 13.
    TResultRow& Row(int number) { return rows.at(static_cast<std::size_t>(number - 1)); }
    const TResultRow& Row(int number) const { return rows.at(static_cast<std::size_t>(number - 1)); }

    void Add(std::string line) { lines.push_back(std::move(line)); }
};

// Rounds to the nearest whole number, halves to even; throws EngineError out of 32-bit range or NaN.
std::int32_t RoundChecked(long double x);
// V: the body's volume in whole litres, read afresh at each use.
std::int32_t VolumeLitresOf(const ReportCall& call);
