#include "DateEdit.h"

#include "PopupCalendar.h"
#include "SelectDateDlg.h"
#include "ZlResources.h"
#include "platform/DateTimeText.h"
#include "platform/MessageBox.h"
#include "zlStrUtils.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QTimer>

namespace widgets {

bool HasDateText(const QString& text, QChar blanksChar, const platform::FormatSettings& locale) {
    const QString empty = QString(QChar(0)) + QLatin1Char(' ') + locale.dateSeparator + blanksChar;
    return !AllCharsIn(text, empty);
}

TDateTime DateOr(TDateTime date, TDateTime fallback) {
    return date == NoDate ? fallback : date;
}

std::optional<TDateTime> SteppedDate(TDateTime date, int days, TDateTime now) {
    const TDateTime stepped = DateOr(date, now) + days;
    if (!IsValidDateValue(stepped)) return std::nullopt;
    return stepped;
}

QStringList TrimmedCalendarHints(QStringList hints) {
    while (hints.size() > kCalendarHintLines)
        hints.removeLast();
    return hints;
}

namespace {

constexpr Qt::KeyboardModifiers kShiftKeys =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

bool IsPopupKey(int key, Qt::KeyboardModifiers modifiers) {
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        return modifiers & Qt::KeypadModifier;
    default:
        return false;
    }
}

} // namespace

TCustomDateEdit::TCustomDateEdit(QWidget* parent) : TCustomComboEdit(parent) {
    dialogTitle_ = LoadResourceString(SDateDlgTitle);
    SetDefaultGlyphCount(2);
    RefreshDateFormat();
    AttachPopup(CreatePopupCalendar(this, layoutDirection()));
    SetGlyphKind(gkDefault);
}

TCustomDateEdit::~TCustomDateEdit() {
    TPopupCalendar* popup = CalendarPopup();
    SetPopup(nullptr);
    delete popup;
}

TPopupCalendar* TCustomDateEdit::CalendarPopup() const {
    return qobject_cast<TPopupCalendar*>(Popup());
}

void TCustomDateEdit::AttachPopup(TPopupCalendar* popup) {
    SetPopup(popup);
    popup->SetColor(popupColor_);
}

// ---- Value ------------------------------------------------------------------------------

TDateTime TCustomDateEdit::DateValue() const {
    const QString text = Text();
    if (text.isEmpty()) return NoDate;
    return TextToDateOrDefault(editDateFormat_, text, defaultToday_ ? Today() : NoDate);
}

void TCustomDateEdit::SetDateValue(TDateTime value) {
    if (!IsValidDateValue(value) || value == NoDate) value = defaultToday_ ? Today() : NoDate;
    const TDateTime old = DateValue();
    if (value == NoDate)
        SetText(QString());
    else
        SetText(platform::FormatDateTime(editDateFormat_, value, platform::WindowsFormatSettings()));
    setModified(DateValue() != old);
}

void TCustomDateEdit::SetDateAndSelect(TDateTime date) {
    SetDateValue(date);
    SelectAll();
}

// ---- Format and mask --------------------------------------------------------------------

bool TCustomDateEdit::ShowsFourDigitYear() const {
    return yearDigits_ == dyFour || (yearDigits_ == dyDefault && UseFourDigitYears());
}

QString TCustomDateEdit::CurrentDateMask() const {
    return MakeDateEditMask(blanksChar_, ShowsFourDigitYear());
}

void TCustomDateEdit::RefreshDateFormat() {
    editDateFormat_ = MakeDateFormat(ShowsFourDigitYear());
}

bool TCustomDateEdit::HasDateText() const {
    return widgets::HasDateText(Text(), blanksChar_);
}

void TCustomDateEdit::RebuildFormatAndMask() {
    const TDateTime kept = DateValue();
    const QString oldFormat = editDateFormat_;
    RefreshDateFormat();
    const QString mask = CurrentDateMask();
    if (mask != EditMask() || editDateFormat_ != oldFormat) {
        SetEditMask(QString());
        SetEditMask(mask);
    }
    ConfigureCalendarPopup();
    SetDateValue(kept);
}

void TCustomDateEdit::ConfigureCalendarPopup() {
    if (Popup()) SetupPopupCalendar(Popup(), startOfWeek_, weekends_, weekendColor_, &calendarHints_);
}

// ---- Properties -------------------------------------------------------------------------

void TCustomDateEdit::SetBlanksChar(QChar blanksChar) {
    if (blanksChar < QChar(u' ')) blanksChar = u' ';
    if (blanksChar == blanksChar_) return;
    blanksChar_ = blanksChar;
    RebuildFormatAndMask();
}

void TCustomDateEdit::SetCalendarHints(const QStringList& hints) {
    calendarHints_ = TrimmedCalendarHints(hints);
    ConfigureCalendarPopup();
}

TCalendarStyle TCustomDateEdit::CalendarStyle() const {
    return Popup() ? csPopup : csDialog;
}

void TCustomDateEdit::SetCalendarStyle(TCalendarStyle style) {
    if (style == csPopup) {
        AttachPopup(CalendarPopup() ? CalendarPopup() : CreatePopupCalendar(this, layoutDirection()));
        ConfigureCalendarPopup();
        return;
    }
    TPopupCalendar* popup = CalendarPopup();
    SetPopup(nullptr);
    delete popup;
}

TColor TCustomDateEdit::PopupColor() const {
    return CalendarPopup() ? CalendarPopup()->Color() : popupColor_;
}

void TCustomDateEdit::SetPopupColor(TColor color) {
    if (color == PopupColor()) return;
    if (CalendarPopup()) CalendarPopup()->SetColor(color);
    popupColor_ = color;
}

void TCustomDateEdit::SetStartOfWeek(TDayOfWeekName day) {
    if (day == startOfWeek_) return;
    startOfWeek_ = day;
    ConfigureCalendarPopup();
}

void TCustomDateEdit::SetWeekends(TDaysOfWeek days) {
    if (days == weekends_) return;
    weekends_ = days;
    ConfigureCalendarPopup();
}

void TCustomDateEdit::SetWeekendColor(TColor color) {
    if (color == weekendColor_) return;
    weekendColor_ = color;
    ConfigureCalendarPopup();
}

void TCustomDateEdit::SetYearDigits(TYearDigits digits) {
    if (digits == yearDigits_) return;
    yearDigits_ = digits;
    RebuildFormatAndMask();
}

// ---- Keys -------------------------------------------------------------------------------

void TCustomDateEdit::KeyDown(int& key, Qt::KeyboardModifiers modifiers) {
    if (IsPopupKey(key, modifiers) && PopupShowing()) {
        Popup()->KeyDown(key, modifiers);
        key = 0;
    } else if (!(modifiers & kShiftKeys) && DirectInput() && (modifiers & Qt::KeypadModifier) &&
               (key == Qt::Key_Plus || key == Qt::Key_Minus)) {
        const int days = key == Qt::Key_Plus ? 1 : -1;
        if (const auto date = SteppedDate(DateValue(), days, platform::CurrentClock().Now()))
            SetDateAndSelect(*date);
        key = 0;
    }
    TCustomComboEdit::KeyDown(key, modifiers);
}

void TCustomDateEdit::KeyPress(QChar& key) {
    const bool dateKey = key == u'+' || key == u'-' || key == u'T' || key == u't';
    if (dateKey && PopupShowing()) {
        Popup()->KeyPress(key);
        key = QChar(0);
    } else if (dateKey && DirectInput()) {
        if (key == u'T' || key == u't') SetDateAndSelect(Today());
        key = QChar(0);
    }
    TCustomComboEdit::KeyPress(key);
}

// ---- Popup and dialog -------------------------------------------------------------------

TBitmap TCustomDateEdit::DefaultGlyph() {
    // One picture for every date edit, loaded on first use.
    static const TBitmap glyph = LoadBitmapResource(QStringLiteral("DEDITBMP"));
    return glyph;
}

void TCustomDateEdit::PushPopupValue(const QVariant& value) {
    if (!Popup()) return;
    // A blank mask opens the calendar on today.
    const TDateTime date = TextToDateOrDefault(editDateFormat_, value.toString(), Today());
    Popup()->WritePopupValue(date == NoDate ? QVariant() : QVariant(date));
}

bool TCustomDateEdit::ConfirmPopupValue(QVariant& value) {
    if (!OnAcceptDate) return true;
    TDateTime date = NoDate;
    if (value.isValid() && !value.isNull() &&
        !(value.typeId() == QMetaType::QString && value.toString().isEmpty())) {
        bool isNumber = false;
        date = value.toDouble(&isNumber);
        if (!isNumber) date = defaultToday_ ? Today() : NoDate;
    }
    bool accept = true;
    OnAcceptDate(*this, date, accept);
    if (accept) value = date;
    return accept;
}

void TCustomDateEdit::ApplyPopupValue(const QVariant& value) {
    SetDateValue(value.toDouble());
    SyncPopupVisible();
    if (isModified()) FireChange();
}

void TCustomDateEdit::DropButtonClick() {
    TCustomComboEdit::DropButtonClick();
    if (Popup()) return;
    TDateTime date = DateValue();
    bool accept =
        SelectDateByDialog(date, dialogTitle_, startOfWeek_, weekends_, weekendColor_, &calendarHints_);
    if (focusPolicy() != Qt::NoFocus && isEnabled() && isVisible()) setFocus(Qt::OtherFocusReason);
    if (accept && OnAcceptDate) OnAcceptDate(*this, date, accept);
    if (!accept) return;
    SetDateValue(date);
    if (hasFocus()) SelectAll();
}

void TCustomDateEdit::Change() {
    if (!formatting_) TCustomComboEdit::Change();
}

// ---- Leaving the edit and the locale ------------------------------------------------------

void TCustomDateEdit::ValidateDateText() {
    if (!HasDateText()) return;
    struct Formatting {
        bool& flag;
        explicit Formatting(bool& f) : flag(f) { flag = true; }
        ~Formatting() { flag = false; }
    } formatting{formatting_};
    try {
        SetDateValue(TextToDateStrict(editDateFormat_, Text()));
    } catch (const EConvertError&) {
        // Queued: the focus may be on its way to another control right now.
        QTimer::singleShot(0, this, [this] {
            if (focusPolicy() != Qt::NoFocus && isEnabled() && isVisible()) setFocus(Qt::OtherFocusReason);
        });
        throw;
    }
}

void TCustomDateEdit::CheckDateOnExit() {
    try {
        ValidateDateText();
    } catch (const EConvertError& error) {
        // The error box of the event loop's guard, shown once the focus has come back.
        const QString message = error.Message();
        QTimer::singleShot(0, this, [this, message] {
            platform::Messages().Show(window(), QGuiApplication::applicationDisplayName(), message,
                                      platform::MessageIcon::Error, platform::MessageButtons::Ok);
        });
    }
}

void TCustomDateEdit::focusOutEvent(QFocusEvent* event) {
    TCustomComboEdit::focusOutEvent(event);
    // Leaving the edit for another control of the form, not the window losing the focus.
    const bool leavesForAnotherControl =
        event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
    if (checkOnExit_ && leavesForAnotherControl) CheckDateOnExit();
}

void TCustomDateEdit::changeEvent(QEvent* event) {
    TCustomComboEdit::changeEvent(event);
    if (event->type() == QEvent::LocaleChange) RebuildFormatAndMask();
}

TDateEdit::TDateEdit(QWidget* parent) : TCustomDateEdit(parent) {
    RebuildFormatAndMask();
}

} // namespace widgets
