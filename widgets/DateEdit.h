#pragma once

#include "DateUtil.h"

#include <QStringList>

#include <optional>

// The date edit of the test form: a combo edit whose text follows the locale's date order
// through an edit mask and whose drop-down is the month calendar.
namespace widgets {

// How many hint lines the calendar's four navigation buttons take.
inline constexpr int kCalendarHintLines = 4;

// True when the text holds something besides NUL, blanks, the date separator and the mask's
// blanks character: an empty mask is not a date text.
bool HasDateText(const QString& text, QChar blanksChar,
                 const platform::FormatSettings& locale = platform::WindowsFormatSettings());

// `date`, or `fallback` when it is NoDate.
TDateTime DateOr(TDateTime date, TDateTime fallback);

// The date `days` after `date` (NoDate: after `now`), or nothing when that leaves the years
// 1 to 9999: keypad plus on 31 December 9999 keeps the date.
std::optional<TDateTime> SteppedDate(TDateTime date, int days, TDateTime now);

// The hint list cut to its first four lines.
QStringList TrimmedCalendarHints(QStringList hints);

} // namespace widgets
