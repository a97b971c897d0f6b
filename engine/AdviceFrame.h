#pragma once

#include <string>
#include <string_view>

// The frame every advice section shares, and the page's Windows-1252 punctuation.
// The prose is single-byte text in the system code page, so these are bytes, not UTF-8.

inline constexpr const char* kEnDash = "\x96";
inline constexpr const char* kLeftQuote = "\x93";
inline constexpr const char* kRightQuote = "\x94";
inline constexpr const char* kApostrophe = "\x92";

// Product names where the prose sets their first syllable in bold.
inline constexpr const char* kVerdigelBold = "<b>Verdi</b>gel";
inline constexpr const char* kStavrelBold = "<b>Stav</b>rel";

// The grey title bar of a section: "<div ...><b>" + title + "</b></div>".
std::string SectionTitleBar(std::string_view title);
// Opens a section's justified body.
inline constexpr const char* kSectionBodyOpen = "<div align=\"justify\" style=\"font-size: 11pt\">";
// Closes a section's body and paragraph.
inline constexpr const char* kSectionClose = "</div></p>";

// A section about one reading: anchor "t<number>", title with the reading and its unit.
// suffix closes the bracket: " ppm)", " mV)" or ")".
std::string ReadingSection(int anchorNumber, std::string_view title, std::string_view result,
                           std::string_view suffix, std::string_view body);
// A section about an observed condition or stain, under the anchor name given.
std::string ConditionSection(std::string_view anchorName, std::string_view title, std::string_view body);
