#pragma once

#include "DateUtil.h"
#include "DaysOfWeek.h"

#include <QStringList>
#include <Qt>
#include <functional>

namespace widgets {

// The month that a calendar grid of 7 columns and 7 rows shows: row 0 holds the short day
// names, rows 1 to 6 the days, day 1 in row 1 under its weekday. It keeps the shown date and
// steps it by day, month and year; the grid that draws it listens to its two notifications.
class CalendarModel {
public:
    static constexpr int ColCount = 7;
    static constexpr int RowCount = 7;

    // Short day names, Sunday first (the user's locale by default).
    explicit CalendarModel(QStringList shortDayNames = platform::WindowsFormatSettings().shortDayNames);

    // After every change of the date.
    std::function<void()> onDateChanged;
    // While the month is laid out again: the grid moves its current cell to DayCell() and
    // repaints (at once when only the day moved).
    std::function<void(bool dayOnly)> onRelaidOut;

    TDateTime CalendarDate() const { return calendarDate_; }
    // A date outside the years 1 to 9999 is ignored.
    void SetCalendarDate(TDateTime date);

    // 1 year, 2 month, 3 day; -1 for any other index.
    int ReadDatePart(int index) const;
    // Values below 1, a month above 12 and a day past the month are ignored; a day past the new
    // month's end is lowered to it. Throws EConvertError for a date that cannot exist.
    void WriteDatePart(int index, int value);
    int Year() const { return ReadDatePart(1); }
    int Month() const { return ReadDatePart(2); }
    int Day() const { return ReadDatePart(3); }
    void SetYear(int year) { WriteDatePart(1, year); }
    void SetMonth(int month) { WriteDatePart(2, month); }
    void SetDay(int day) { WriteDatePart(3, day); }

    int MonthLength() const;
    // The day number that column 0 of row 1 stands for, -5 .. 1.
    int DayOffset() const { return dayOffset_; }
    QString DayCellText(int col, int row) const;
    bool IsWeekendColumn(int col) const;
    // The cell of the shown day.
    int DayCol() const;
    int DayRow() const;

    // Next or previous month, on the same day or the month's last.
    void StepMonth(int delta);
    void MonthBack() { StepMonth(-1); }
    void MonthForward() { StepMonth(+1); }
    // 29 February goes to 28 February first. A step past the years 1 to 9999 does nothing.
    void YearBack() { StepYear(-1); }
    void YearForward() { StepYear(+1); }

    void Relayout() { RelayoutMonth(false); }
    void RelayoutMonth(bool dayOnly);

    TDayOfWeekName StartOfWeek() const { return startOfWeek_; }
    void SetStartOfWeek(TDayOfWeekName day);
    TDaysOfWeek Weekends() const { return weekends_; }
    void SetWeekends(TDaysOfWeek days);
    bool UseCurrentDate() const { return useCurrentDate_; }
    void SetUseCurrentDate(bool use);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool InRelayout() const { return inRelayout_; }

    // The grid asks before it moves its current cell.
    bool CanSelectCell(int col, int row) const;
    // A cell was chosen by mouse or key: its day becomes the shown day.
    void CellChosen(int col, int row);
    // The key-down rules; true when the key was used.
    bool KeyDown(int key, Qt::KeyboardModifiers modifiers);
    // The key-press rules; true when the key was swallowed.
    bool KeyPress(QChar ch);

private:
    void StepYear(int delta);
    void DateChanged();

    QStringList shortDayNames_;
    TDateTime calendarDate_ = NoDate;
    int dayOffset_ = 1;
    bool readOnly_ = false;
    TDayOfWeekName startOfWeek_ = TDayOfWeekName::Mon;
    bool inRelayout_ = false;
    bool useCurrentDate_ = false;
    TDaysOfWeek weekends_{TDayOfWeekName::Sun};
};

} // namespace widgets
