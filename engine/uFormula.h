#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The engine library's one export: the program hands it a body of water and a water test and
// names the file; the engine writes the advice page there.

// Owned by the caller and only read. Field order and sizes are the library's interface.
struct TFormulaArgs {
    const char* resultPath; // zero-terminated file-system path of the page to write
    const char* ownerText;  // zero-terminated Windows-1252 text, CR LF breaks; null reads as empty
    const void* body;       // the stored 208-byte body-of-water block
    const void* test;       // the stored 448-byte water-test block
};

extern "C" {
// All bits set when the page was written, 0 when it was not (a failure has been reported,
// except for a missing argument record, body or test, which writes and reports nothing).
__attribute__((visibility("default"))) std::int32_t QuibsFormula(const TFormulaArgs* args) noexcept;
}

struct TTestData;

// The steps of the export, for the engine's own tests.

// Builds the page and saves it; false after a failure (reported through the error sink).
bool BuildReport(const TFormulaArgs* args);
// Every line of the text followed by "<br>". A line ends at CR LF, a lone CR or a lone LF;
// a final break adds no empty line; the text ends at its first zero.
std::string LinesToHtml(std::string_view text);
// Shrinks every run of blank lines: while the text holds CR LF CR LF, the first CR LF of it goes.
std::string CollapseBlankLines(std::string_view text);
// & < > " as HTML entities, every other byte as it is.
std::string EscapeHtml(std::string_view text);
// The test's date and time in the user's long date and short time formats; for a test without
// a date, now in the short date and long time formats (no time at exactly midnight). Windows-1252.
std::string ReportDateText(const TTestData& test);
