#include "PopupCalendar.h"

#include "ComboEdit.h"
#include "MessageFont.h"
#include "SpeedButton.h"
#include "ZlCalendar.h"
#include "platform/DateTimeText.h"
#include "platform/WindowsLocale.h"
#include "zlStrUtils.h"

#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace widgets {

QString CalendarTitleText(TDateTime date, const platform::FormatSettings& locale) {
    return platform::FormatDateTime(QStringLiteral("MMMM, YYYY"), date, locale);
}

TDateTime PopupCalendarDate(const QVariant& value, const platform::FormatSettings& locale) {
    if (value.isNull() || !value.isValid()) return Today();
    TDateTime date = NoDate;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (TrimBlanks(ReplaceAll(text, QString(locale.dateSeparator), QString())).isEmpty()) return Today();
        if (!TryTextToDate(locale.shortDateFormat, text, date, locale)) return Today();
    } else {
        bool isNumber = false;
        date = value.toDouble(&isNumber);
        if (!isNumber) return Today();
    }
    if (!IsValidDateValue(date)) return Today();
    return std::trunc(date);
}

std::array<QString, 4> NavigationHints(const std::array<QString, 4>& builtIn, const QStringList& hints) {
    std::array<QString, 4> result = builtIn;
    for (int i = 0; i < std::min<int>(hints.size(), 4); ++i)
        if (!hints[i].isEmpty()) result[i] = hints[i];
    return result;
}

QString ShortHint(const QString& hint) {
    return hint.section(QLatin1Char('|'), 0, 0);
}

// ---- Navigation buttons -----------------------------------------------------------------

void StepCalendar(TZlCalendar& calendar, TCalendarStep step) {
    switch (step) {
    case TCalendarStep::YearBack:
        calendar.YearBack();
        break;
    case TCalendarStep::MonthBack:
        calendar.MonthBack();
        break;
    case TCalendarStep::MonthForward:
        calendar.MonthForward();
        break;
    case TCalendarStep::YearForward:
        calendar.YearForward();
        break;
    }
}

TNavigationButtons MakeNavigationButtons(QWidget* parent, const std::array<QRect, 4>& bounds,
                                         TZlCalendar* calendar) {
    static constexpr const char* kNames[] = {"PrevYearBtn", "PrevMonthBtn", "NextMonthBtn", "NextYearBtn"};
    TNavigationButtons buttons{};
    for (std::size_t i = 0; i < kNavigationButtons.size(); ++i) {
        const TNavigationButton& navigation = kNavigationButtons[i];
        auto* button = new TZlTimerSpeedButton(parent);
        button->setObjectName(QString::fromLatin1(kNames[i]));
        button->setGeometry(bounds[i]);
        button->SetGlyph(LoadBitmapResource(QString::fromLatin1(navigation.bitmapName)));
        button->setToolTip(ShortHint(LoadResourceString(navigation.hintId)));
        const TCalendarStep step = navigation.step;
        QObject::connect(button, &TZlSpeedButton::OnClick, calendar,
                         [calendar, step] { StepCalendar(*calendar, step); });
        buttons[i] = button;
    }
    return buttons;
}

void SetNavigationHints(const TNavigationButtons& buttons, const QStringList& hints) {
    std::array<QString, 4> current;
    for (std::size_t i = 0; i < buttons.size(); ++i)
        current[i] = buttons[i]->toolTip();
    const std::array<QString, 4> next = NavigationHints(current, hints);
    for (std::size_t i = 0; i < buttons.size(); ++i)
        buttons[i]->setToolTip(ShortHint(next[i]));
}

// ---- Popup calendar ---------------------------------------------------------------------

int PopupCalendarWidth(const QFont& font) {
    // The design width, widened only when a day name in this font would not fit its column
    // (a pixel of room on either side, the grid's 4 pixels of frame around the seven columns).
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& name : platform::WindowsFormatSettings().shortDayNames)
        widest = std::max(widest, metrics.horizontalAdvance(name));
    return std::max<int>(TPopupCalendar::kWidth, 7 * (widest + 2) + 4);
}

TPopupCalendar::TPopupCalendar(TCustomComboEdit* owner) : TPopupWindow(owner) {
    setObjectName(QStringLiteral("PopupCalendar"));
    QFont font = this->font();
    ApplyMessageFont(font);
    setFont(font);
    const int width = PopupCalendarWidth(font);
    resize(width, kHeight);

    // Inside the popup's one-pixel border: a raised back panel with the title bar over the grid.
    auto* backPanel = new QFrame(this);
    backPanel->setObjectName(QStringLiteral("BackPanel"));
    backPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    backPanel->setGeometry(1, 1, width - 2, kHeight - 2);
    const int titleWidth = width - 4;
    auto* titleBar = new QWidget(backPanel);
    titleBar->setObjectName(QStringLiteral("TitleBar"));
    titleBar->setGeometry(1, 1, titleWidth, 18);

    calendar_ = new TLocCalendar(backPanel);
    calendar_->setObjectName(QStringLiteral("Calendar"));
    calendar_->setGeometry(1, 19, titleWidth, kHeight - 4 - 18);
    connect(calendar_, &TZlCalendar::OnChange, this, &TPopupCalendar::ShowTitle);
    connect(calendar_, &TCustomGrid::OnMouseUp, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos) {
                DayCellReleased(button, modifiers, pos);
            });

    const int w = titleWidth;
    buttons_ = MakeNavigationButtons(
        titleBar,
        {QRect(-1, -1, 14, 14), QRect(12, -1, 14, 14), QRect(w - 26, -1, 14, 14), QRect(w - 13, -1, 14, 14)},
        calendar_);
    titleLabel_ = new QLabel(titleBar);
    titleLabel_->setObjectName(QStringLiteral("TitleLabel"));
    titleLabel_->setGeometry(29, 1, w - 58, 14);
    titleLabel_->setAlignment(Qt::AlignCenter);
    titleLabel_->installEventFilter(this);
    SetColor(clBtnFace);
    ShowTitle();
}

void TPopupCalendar::SetColor(TColor color) {
    color_ = color;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ToQColor(color, palette));
    setPalette(palette);
    setAutoFillBackground(true);
}

QVariant TPopupCalendar::ReadPopupValue() {
    return QVariant(calendar_->CalendarDate());
}

void TPopupCalendar::WritePopupValue(const QVariant& value) {
    calendar_->SetCalendarDate(PopupCalendarDate(value));
    ShowTitle();
}

void TPopupCalendar::ShowTitle() {
    titleLabel_->setText(CalendarTitleText(calendar_->CalendarDate()));
}

void TPopupCalendar::KeyDown(int& key, Qt::KeyboardModifiers modifiers) {
    TPopupWindow::KeyDown(key, modifiers);
    const bool ctrl = modifiers & Qt::ControlModifier;
    if (key == Qt::Key_PageUp)
        StepCalendar(*calendar_, ctrl ? TCalendarStep::YearBack : TCalendarStep::MonthBack);
    else if (key == Qt::Key_PageDown)
        StepCalendar(*calendar_, ctrl ? TCalendarStep::YearForward : TCalendarStep::MonthForward);
    else if (key != 0)
        calendar_->KeyDown(key, modifiers);
}

void TPopupCalendar::KeyPress(QChar& key) {
    TPopupWindow::KeyPress(key);
    if (key != QChar(0)) calendar_->KeyPress(key);
}

void TPopupCalendar::DayCellReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos) {
    if (button != Qt::LeftButton) return;
    if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) return;
    int col = 0, row = 0;
    if (!calendar_->MouseToCell(pos, col, row)) return;
    if (row >= 1 && !calendar_->DayCellText(col, row).isEmpty()) PopupClosing(true);
}

bool TPopupCalendar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == titleLabel_ && event->type() == QEvent::MouseButtonDblClick) {
        calendar_->SetCalendarDate(Today());
        return true;
    }
    return TPopupWindow::eventFilter(watched, event);
}

TPopupCalendar* CreatePopupCalendar(TCustomComboEdit* owner, Qt::LayoutDirection direction) {
    auto* popup = new TPopupCalendar(owner);
    if (owner) popup->setLayoutDirection(direction);
    return popup;
}

void SetupPopupCalendar(TPopupWindow* popup, TDayOfWeekName startOfWeek, TDaysOfWeek weekends,
                        TColor weekendColor, const QStringList* hints) {
    auto* calendarPopup = qobject_cast<TPopupCalendar*>(popup);
    if (!calendarPopup || !calendarPopup->Calendar()) return;
    TLocCalendar& calendar = *calendarPopup->Calendar();
    calendar.SetStartOfWeek(startOfWeek);
    calendar.SetWeekendColor(weekendColor);
    calendar.SetWeekends(weekends);
    if (hints) SetNavigationHints(calendarPopup->Buttons(), *hints);
}

} // namespace widgets
