#pragma once

#include "ComboEdit.h"
#include "DateUtil.h"
#include "DaysOfWeek.h"
#include "ZlColors.h"

#include <QStringList>

#include <functional>
#include <optional>

// The date edit of the test form: a combo edit whose text follows the locale's date order
// through an edit mask and whose drop-down is the month calendar.
namespace widgets {

class TPopupCalendar;

// How many hint lines the calendar's four navigation buttons take.
inline constexpr int kCalendarHintLines = 4;

enum TCalendarStyle { csPopup = 0, csDialog = 1 };
enum TYearDigits { dyDefault = 0, dyFour = 1, dyTwo = 2 };

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

class TCustomDateEdit;
// Asked before a chosen date is taken: the handler may change the date or refuse it.
using TExecDateDialog = std::function<void(TCustomDateEdit& sender, TDateTime& date, bool& accept)>;

class TCustomDateEdit : public TCustomComboEdit {
    Q_OBJECT
public:
    explicit TCustomDateEdit(QWidget* parent = nullptr);
    ~TCustomDateEdit() override;

    // The day count the text stands for; never throws: unreadable text gives today with
    // DefaultToday, else NoDate, and an exactly empty text NoDate.
    TDateTime DateValue() const;
    // A date outside the years 1 to 9999 or NoDate empties the text (today with DefaultToday).
    void SetDateValue(TDateTime value);
    static TDateTime DateOr(TDateTime date, TDateTime fallback) { return widgets::DateOr(date, fallback); }

    QChar BlanksChar() const { return blanksChar_; }
    // Below the space it becomes the space.
    void SetBlanksChar(QChar blanksChar);
    const QStringList& CalendarHints() const { return calendarHints_; }
    void SetCalendarHints(const QStringList& hints);
    TCalendarStyle CalendarStyle() const;
    void SetCalendarStyle(TCalendarStyle style);
    bool CheckOnExit() const { return checkOnExit_; }
    void SetCheckOnExit(bool check) { checkOnExit_ = check; }
    bool DefaultToday() const { return defaultToday_; }
    void SetDefaultToday(bool today) { defaultToday_ = today; }
    const QString& DialogTitle() const { return dialogTitle_; }
    void SetDialogTitle(const QString& title) { dialogTitle_ = title; }
    TColor PopupColor() const;
    void SetPopupColor(TColor color);
    TDayOfWeekName StartOfWeek() const { return startOfWeek_; }
    void SetStartOfWeek(TDayOfWeekName day);
    TDaysOfWeek Weekends() const { return weekends_; }
    void SetWeekends(TDaysOfWeek days);
    TColor WeekendColor() const { return weekendColor_; }
    void SetWeekendColor(TColor color);
    TYearDigits YearDigits() const { return yearDigits_; }
    void SetYearDigits(TYearDigits digits);
    // "DD/MM/YYYY" and its kin; the slash stands for the locale's date separator.
    const QString& EditDateFormat() const { return editDateFormat_; }

    TExecDateDialog OnAcceptDate;

    bool ShowsFourDigitYear() const;
    QString CurrentDateMask() const;
    void RefreshDateFormat();
    bool HasDateText() const;
    void ConfigureCalendarPopup();
    // Throws EConvertError when the text is no date; the edit takes the focus back first.
    void ValidateDateText();

    virtual void SetDateAndSelect(TDateTime date);
    virtual void RebuildFormatAndMask();

    void KeyDown(int& key, Qt::KeyboardModifiers modifiers) override;
    void KeyPress(QChar& key) override;

protected:
    TBitmap DefaultGlyph() override;
    bool ConfirmPopupValue(QVariant& value) override;
    void ApplyPopupValue(const QVariant& value) override;
    void PushPopupValue(const QVariant& value) override;
    void DropButtonClick() override;
    void Change() override;

    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    TPopupCalendar* CalendarPopup() const;
    void AttachPopup(TPopupCalendar* popup);
    // The check on leaving the edit: a rejected text is shown as the error it raised.
    void CheckDateOnExit();

    QChar blanksChar_ = u' ';
    QString dialogTitle_;
    TColor popupColor_ = clBtnFace;
    bool checkOnExit_ = false;
    bool defaultToday_ = false;
    QStringList calendarHints_;
    TDayOfWeekName startOfWeek_ = TDayOfWeekName::Mon;
    TDaysOfWeek weekends_{TDayOfWeekName::Sun};
    TColor weekendColor_ = clRed;
    TYearDigits yearDigits_ = dyDefault;
    QString editDateFormat_;
    bool formatting_ = false;
};

// The published date edit; its format and mask follow the locale from creation on.
class TDateEdit : public TCustomDateEdit {
    Q_OBJECT
public:
    explicit TDateEdit(QWidget* parent = nullptr);
};

} // namespace widgets
