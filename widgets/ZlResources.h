#pragma once

#include "Bitmap.h"

#include <QString>

// The program's own resources for the entry widgets: bitmaps by name and the string table.
namespace widgets {

// String table entries.
constexpr int SPrevMonth = 61258;    // "Previous Month|"
constexpr int SPrevYear = 61259;     // "Previous Year|"
constexpr int SNextMonth = 61260;    // "Next Month|"
constexpr int SNextYear = 61261;     // "Next Year|"
constexpr int SDateDlgTitle = 61262; // "Select a Date"
constexpr int SInvalidDate = 65399;  // "''%s'' is not a valid date"

// The bitmap resource `name` ("PREV1", "PREV2", "NEXT1", "NEXT2", "CALCBTNS", "CEDITBMP",
// "DEDITBMP", in any letter case); an empty bitmap for any other name. Each call gives a
// fresh copy; the bottom-left pixel has the background colour.
TBitmap LoadBitmapResource(const QString& name);

// The string table entry `id`; empty for an id not in the table.
QString LoadResourceString(int id);

} // namespace widgets
