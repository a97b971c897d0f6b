#pragma once

#include "CalendarModel.h"
#include "CustomGrid.h"

// The month calendar: 7 columns, a header row of short day names and six rows of days. Its
// current cell is always the shown day; it steps days, months and years, colours the weekend
// columns and reports every date change through OnChange.
namespace widgets {

class TZlCalendar : public TCustomGrid {
    Q_OBJECT
public:
    explicit TZlCalendar(QWidget* parent = nullptr);

    TDateTime CalendarDate() const { return model_.CalendarDate(); }
    void SetCalendarDate(TDateTime date) { model_.SetCalendarDate(date); }
    int Year() const { return model_.Year(); }
    int Month() const { return model_.Month(); }
    int Day() const { return model_.Day(); }
    // Throws EConvertError for a date that cannot exist (29 February into a common year).
    void SetYear(int year) { model_.SetYear(year); }
    void SetMonth(int month) { model_.SetMonth(month); }
    void SetDay(int day) { model_.SetDay(day); }
    bool ReadOnly() const { return model_.ReadOnly(); }
    void SetReadOnly(bool readOnly) { model_.SetReadOnly(readOnly); }
    TDayOfWeekName StartOfWeek() const { return model_.StartOfWeek(); }
    void SetStartOfWeek(TDayOfWeekName day) { model_.SetStartOfWeek(day); }
    bool UseCurrentDate() const { return model_.UseCurrentDate(); }
    void SetUseCurrentDate(bool use) { model_.SetUseCurrentDate(use); }
    TDaysOfWeek Weekends() const { return model_.Weekends(); }
    void SetWeekends(TDaysOfWeek days) { model_.SetWeekends(days); }
    TColor WeekendColor() const { return weekendColor_; }
    void SetWeekendColor(TColor color);

    int MonthLength() const { return model_.MonthLength(); }
    QString DayCellText(int col, int row) const { return model_.DayCellText(col, row); }
    bool IsWeekendColumn(int col) const { return model_.IsWeekendColumn(col); }
    int DayOffset() const { return model_.DayOffset(); }
    void MonthBack() { model_.MonthBack(); }
    void MonthForward() { model_.MonthForward(); }
    void YearBack() { model_.YearBack(); }
    void YearForward() { model_.YearForward(); }
    virtual void Relayout() { model_.Relayout(); }

    // Left, Right and the keypad's plus and minus step a day (also read-only); the rest goes to
    // the grid. "T" goes to today.
    void KeyDown(int& key, Qt::KeyboardModifiers modifiers) override;
    void KeyPress(QChar& key) override;

signals:
    void OnChange();

protected:
    void DrawCell(QPainter& canvas, int col, int row, const QRect& rect, TGridDrawState state) override;
    bool SelectCell(int col, int row) override;
    void Click() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CalendarModel model_;
    TColor weekendColor_ = clRed;
};

// The calendar inside the popup: no frame, never the focus, the parent's colours, and a frame
// around today's cell.
class TLocCalendar : public TZlCalendar {
    Q_OBJECT
public:
    explicit TLocCalendar(QWidget* parent = nullptr);

protected:
    void DrawCell(QPainter& canvas, int col, int row, const QRect& rect, TGridDrawState state) override;
    QColor FixedCellColor() const override;
};

} // namespace widgets
