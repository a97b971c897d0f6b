#include "CalendarModel.h"

#include "platform/DateTimeText.h"

namespace widgets {

namespace {

platform::DateTimeParts Decode(TDateTime date) {
    return platform::DecodeDayCount(date).value_or(platform::DateTimeParts{});
}

TDateTime Encode(int year, int month, int day) {
    const std::optional<double> date = platform::EncodeDayCount(year, month, day);
    if (!date) throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return *date;
}

} // namespace

CalendarModel::CalendarModel(QStringList shortDayNames) : shortDayNames_(std::move(shortDayNames)) {
    SetUseCurrentDate(true);
    calendarDate_ = Today();
    Relayout();
}

void CalendarModel::SetCalendarDate(TDateTime date) {
    if (date == calendarDate_ || !IsValidDateValue(date)) return;
    calendarDate_ = date;
    Relayout();
    DateChanged();
}

int CalendarModel::ReadDatePart(int index) const {
    const platform::DateTimeParts parts = Decode(calendarDate_);
    switch (index) {
    case 1:
        return parts.year;
    case 2:
        return parts.month;
    case 3:
        return parts.day;
    default:
        return -1;
    }
}

void CalendarModel::WriteDatePart(int index, int value) {
    if (value < 1) return;
    const platform::DateTimeParts parts = Decode(calendarDate_);
    int year = parts.year, month = parts.month, day = parts.day;
    switch (index) {
    case 1:
        if (value == year) return;
        year = value;
        break;
    case 2:
        if (value > 12 || value == month) return;
        month = value;
        day = std::min(day, DaysInMonthOf(year, month));
        break;
    case 3:
        if (value > MonthLength() || value == day) return;
        day = value;
        break;
    default:
        return;
    }
    calendarDate_ = Encode(year, month, day);
    useCurrentDate_ = false;
    RelayoutMonth(index == 3);
    DateChanged();
}

int CalendarModel::MonthLength() const {
    return DaysInMonthOf(Year(), Month());
}

QString CalendarModel::DayCellText(int col, int row) const {
    if (row == 0) return shortDayNames_.value((col + int(startOfWeek_)) % 7);
    const int day = col + dayOffset_ + 7 * (row - 1);
    return day >= 1 && day <= MonthLength() ? QString::number(day) : QString();
}

bool CalendarModel::IsWeekendColumn(int col) const {
    return weekends_.Contains(TDayOfWeekName((col + int(startOfWeek_)) % 7));
}

int CalendarModel::DayCol() const {
    return (Day() - dayOffset_) % 7;
}

int CalendarModel::DayRow() const {
    return (Day() - dayOffset_) / 7 + 1;
}

void CalendarModel::StepMonth(int delta) {
    const platform::DateTimeParts parts = Decode(calendarDate_);
    const int edge = delta > 0 ? DaysInMonthOf(parts.year, parts.month) : 1;
    const std::optional<platform::DateTimeParts> next =
        platform::DecodeDayCount(Encode(parts.year, parts.month, edge) + delta);
    if (!next) return; // past the calendar's first or last month
    const int length = DaysInMonthOf(next->year, next->month);
    SetCalendarDate(Encode(next->year, next->month, parts.day < length ? parts.day : length));
}

void CalendarModel::StepYear(int delta) {
    const int year = Year() + delta;
    if (year < 1 || year > 9999) return;
    if (YearIsLeap(Year()) && Month() == 2 && Day() == 29) WriteDatePart(3, 28);
    SetYear(year);
}

void CalendarModel::RelayoutMonth(bool dayOnly) {
    inRelayout_ = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{inRelayout_};
    const platform::DateTimeParts parts = Decode(calendarDate_);
    const int firstWeekday = Decode(Encode(parts.year, parts.month, 1)).dayOfWeek; // 1 = Sunday
    const int shift = (firstWeekday - int(startOfWeek_) + 7) % 7;
    // Day 1 stands in row 1 under its weekday; row 1 is never left empty.
    dayOffset_ = 2 - shift == 2 ? -5 : 2 - shift;
    if (onRelaidOut) onRelaidOut(dayOnly);
}

void CalendarModel::SetStartOfWeek(TDayOfWeekName day) {
    if (day == startOfWeek_) return;
    startOfWeek_ = day;
    Relayout();
}

void CalendarModel::SetWeekends(TDaysOfWeek days) {
    if (days == weekends_) return;
    weekends_ = days;
    Relayout();
}

void CalendarModel::SetUseCurrentDate(bool use) {
    if (use == useCurrentDate_) return;
    useCurrentDate_ = use;
    if (use) {
        calendarDate_ = Today();
        Relayout();
    }
}

bool CalendarModel::CanSelectCell(int col, int row) const {
    if (!inRelayout_ && readOnly_) return false;
    return row >= 1 && !DayCellText(col, row).isEmpty();
}

void CalendarModel::CellChosen(int col, int row) {
    const QString text = DayCellText(col, row);
    if (row >= 1 && !text.isEmpty()) SetDay(text.toInt());
}

bool CalendarModel::KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const bool keypad = modifiers & Qt::KeypadModifier;
    if (key == Qt::Key_Left || (keypad && key == Qt::Key_Minus)) {
        if (Day() > 1)
            SetDay(Day() - 1);
        else
            SetCalendarDate(calendarDate_ - 1);
        return true;
    }
    if (key == Qt::Key_Right || (keypad && key == Qt::Key_Plus)) {
        if (Day() < MonthLength())
            SetDay(Day() + 1);
        else
            SetCalendarDate(calendarDate_ + 1);
        return true;
    }
    return false;
}

bool CalendarModel::KeyPress(QChar ch) {
    if (ch != u'T' && ch != u't') return false;
    SetCalendarDate(Today());
    return true;
}

void CalendarModel::DateChanged() {
    if (onDateChanged) onDateChanged();
}

} // namespace widgets
