#pragma once

#include "DateUtil.h"
#include "DaysOfWeek.h"
#include "PopupWindow.h"
#include "ZlColors.h"
#include "ZlResources.h"

#include <QStringList>
#include <QVariant>

#include <array>

class QLabel;

// The date edit's drop-down month calendar and what it shares with the select-date dialog:
// the title text and the four navigation buttons with their pictures and hints.
namespace widgets {

class TCustomComboEdit;
class TLocCalendar;
class TZlCalendar;
class TZlTimerSpeedButton;

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

using TNavigationButtons = std::array<TZlTimerSpeedButton*, 4>;

// Runs one navigation step on a calendar.
void StepCalendar(TZlCalendar& calendar, TCalendarStep step);
// The four navigation buttons on `parent` at `bounds` (in the order of kNavigationButtons), each
// with its picture and its built-in hint, repeating while held; a click runs its step.
TNavigationButtons MakeNavigationButtons(QWidget* parent, const std::array<QRect, 4>& bounds,
                                         TZlCalendar* calendar);
// Non-empty lines of `hints` replace the buttons' hints.
void SetNavigationHints(const TNavigationButtons& buttons, const QStringList& hints);

// The popup's width: the design's 187 pixels, or as much wider as the day names need in `font`.
int PopupCalendarWidth(const QFont& font);

// The drop-down of the date edit: a title bar with the month and year between two pairs of
// navigation buttons, over the month grid. A plain left click on a day takes it and closes.
class TPopupCalendar : public TPopupWindow {
    Q_OBJECT
public:
    static constexpr int kWidth = 187;
    static constexpr int kHeight = 124;

    explicit TPopupCalendar(TCustomComboEdit* owner);

    // The shown date.
    QVariant ReadPopupValue() override;
    // Any value that is no date shows today.
    void WritePopupValue(const QVariant& value) override;
    // PgUp and PgDn step the month (the year with Ctrl); every other key goes to the grid.
    void KeyDown(int& key, Qt::KeyboardModifiers modifiers) override;
    void KeyPress(QChar& key) override;

    TLocCalendar* Calendar() const { return calendar_; }
    QLabel* TitleLabel() const { return titleLabel_; }
    const TNavigationButtons& Buttons() const { return buttons_; }
    TColor Color() const { return color_; }
    void SetColor(TColor color);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowTitle();
    // A plain left button released over a day accepts it.
    void DayCellReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

    TLocCalendar* calendar_ = nullptr;
    QLabel* titleLabel_ = nullptr;
    TNavigationButtons buttons_{};
    TColor color_ = clBtnFace;
};

// The popup for a date edit, laid out in `direction`.
TPopupCalendar* CreatePopupCalendar(TCustomComboEdit* owner, Qt::LayoutDirection direction);
// The calendar settings of a popup calendar (any other popup is left alone); non-empty lines of
// `hints` replace the buttons' built-in hints.
void SetupPopupCalendar(TPopupWindow* popup, TDayOfWeekName startOfWeek, TDaysOfWeek weekends,
                        TColor weekendColor, const QStringList* hints);

} // namespace widgets
