#include "NumberTexts.h"

// Placeholders until the number texts land.
std::string StripBlanks(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out.push_back(c);
    return out;
}
bool IsBlank(std::string_view s) { return StripBlanks(s).empty(); }
std::string IntText(std::int64_t n, int) { return std::to_string(n); }
std::string FixedText(const ReportCall&, int, int, long double) { return {}; }
std::int32_t TextToIntSafe(const ReportCall&, std::string_view) { return 0; }
long double TextToFloatSafe(const ReportCall&, std::string_view) { return 0; }
std::string RowAmountText(const ReportCall&, int) { return {}; }
std::string DoseText(const ReportCall&, std::string_view, std::string_view, long double) { return {}; }
std::string RowAmountBold(const ReportCall&, int) { return {}; }
std::string DoseByCode(const ReportCall&, int) { return "<b></b>"; }
