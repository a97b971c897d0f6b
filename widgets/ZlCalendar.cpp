#include "ZlCalendar.h"

#include "platform/DateTimeText.h"

#include <QPainter>
#include <QResizeEvent>

namespace widgets {

TZlCalendar::TZlCalendar(QWidget* parent) : TCustomGrid(parent) {
    SetColCount(CalendarModel::ColCount);
    SetRowCount(CalendarModel::RowCount);
    SetFixedCols(0);
    SetFixedRows(1);
    SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goDrawFocusSelected);
    model_.onDateChanged = [this] { emit OnChange(); };
    model_.onRelaidOut = [this](bool dayOnly) {
        MoveCurrent(model_.DayCol(), model_.DayRow(), false);
        if (dayOnly)
            repaint();
        else
            update();
    };
    Relayout();
}

void TZlCalendar::SetWeekendColor(TColor color) {
    if (color == weekendColor_) return;
    weekendColor_ = color;
    update();
}

void TZlCalendar::KeyDown(int& key, Qt::KeyboardModifiers modifiers) {
    if (model_.KeyDown(key, modifiers)) {
        key = 0;
        return;
    }
    TCustomGrid::KeyDown(key, modifiers);
}

void TZlCalendar::KeyPress(QChar& key) {
    if (model_.KeyPress(key)) key = QChar();
    TCustomGrid::KeyPress(key);
}

void TZlCalendar::DrawCell(QPainter& canvas, int col, int row, const QRect& rect, TGridDrawState state) {
    const QString text = model_.DayCellText(col, row);
    if (model_.IsWeekendColumn(col) && !state.selected) canvas.setPen(ToQColor(weekendColor_, palette()));
    const QFontMetrics metrics(canvas.font());
    const int left = rect.left() + (rect.width() - metrics.horizontalAdvance(text)) / 2;
    const int top = rect.top() + (rect.height() - metrics.height()) / 2;
    canvas.drawText(left, top + metrics.ascent(), text);
}

bool TZlCalendar::SelectCell(int col, int row) {
    return model_.CanSelectCell(col, row) && TCustomGrid::SelectCell(col, row);
}

void TZlCalendar::Click() {
    TCustomGrid::Click();
    model_.CellChosen(Col(), Row());
}

void TZlCalendar::resizeEvent(QResizeEvent* event) {
    TCustomGrid::resizeEvent(event);
    const QRect client = GridClientRect();
    const int lines = 6 * GridLineWidth();
    const bool verticalLines = Options() & (goVertLine | goFixedVertLine);
    SetDefaultColWidth(verticalLines ? (client.width() - lines) / 7 : client.width() / 7);
    SetDefaultRowHeight((client.height() - lines) / 7);
}

TLocCalendar::TLocCalendar(QWidget* parent) : TZlCalendar(parent) {
    SetClickOnRelease(true);
    setFocusPolicy(Qt::NoFocus);
    SetBorderSingle(false);
    SetParentColor(true);
    SetCalendarDate(Today());
    SetUseCurrentDate(false);
    SetOptions(goFixedHorzLine);
}

QColor TLocCalendar::FixedCellColor() const {
    // The header row keeps the parent's colour.
    return ParentColor() ? CellColor() : TZlCalendar::FixedCellColor();
}

void TLocCalendar::DrawCell(QPainter& canvas, int col, int row, const QRect& rect, TGridDrawState state) {
    TZlCalendar::DrawCell(canvas, col, row, rect, state);
    const int day = DayCellText(col, row).toInt();
    if (day < 1 || day > MonthLength()) return;
    const std::optional<double> date = platform::EncodeDayCount(Year(), Month(), day);
    if (!date || *date != Today()) return;
    const QColor shadow = ToQColor(clBtnShadow, palette());
    const QColor highlight = ToQColor(clBtnHighlight, palette());
    canvas.fillRect(rect.left(), rect.top(), rect.width() - 1, 1, shadow);
    canvas.fillRect(rect.left(), rect.top(), 1, rect.height() - 1, shadow);
    canvas.fillRect(rect.left(), rect.bottom(), rect.width(), 1, highlight);
    canvas.fillRect(rect.right(), rect.top(), 1, rect.height(), highlight);
}

} // namespace widgets
