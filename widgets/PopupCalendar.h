#pragma once

#include "DateUtil.h"
#include "ZlResources.h"

#include <QStringList>
#include <QVariant>

#include <array>

// The date edit's drop-down month calendar and what it shares with the select-date dialog:
// the title text and the four navigation buttons with their pictures and hints.
namespace widgets {

// The navigation buttons in the order of the hint list.
enum class TCalendarStep { YearBack = 0, MonthBack = 1, MonthForward = 2, YearForward = 3 };

struct TNavigationButton {
    TCalendarStep step;
    const char* bitmapName; // bitmap resource
    int hintId;             // string table entry, "short|long"
};
inline constexpr std::array<TNavigationButton, 4> kNavigationButtons = {{
    {TCalendarStep::YearBack, "PREV2", SPrevYear},
    {TCalendarStep::MonthBack, "PREV1", SPrevMonth},
    {TCalendarStep::MonthForward, "NEXT1", SNextMonth},
    {TCalendarStep::YearForward, "NEXT2", SNextYear},
}};

// The month and year of `date` as "MMMM, YYYY": the locale's full month name, a comma, a blank
// and the four-digit year.
QString CalendarTitleText(TDateTime date,
                          const platform::FormatSettings& locale = platform::WindowsFormatSettings());

// The date a value handed to the popup stands for: a date, or a text in the locale's date
// format. A null value, a text of nothing but blanks and date separators, and anything that is
// no date of the years 1 to 9999 give today. Only the whole day counts.
TDateTime PopupCalendarDate(const QVariant& value,
                            const platform::FormatSettings& locale = platform::WindowsFormatSettings());

// The hints of the four buttons: a non-empty line i of `hints` replaces built-in hint i; empty
// lines and a short list keep the built-in ones, lines past the fourth are ignored.
std::array<QString, 4> NavigationHints(const std::array<QString, 4>& builtIn, const QStringList& hints);

// What a tooltip shows of a hint of the class library's "short|long" form: the part before the bar.
QString ShortHint(const QString& hint);

} // namespace widgets
