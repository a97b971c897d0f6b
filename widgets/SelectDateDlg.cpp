#include "SelectDateDlg.h"

#include "MessageFont.h"
#include "SpeedButton.h"
#include "ZlCalendar.h"
#include "ZlResources.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace widgets {

TSelectDateDlg::TSelectDateDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SelectDateDlg"));
    setWindowTitle(LoadResourceString(SDateDlgTitle));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(222, 154);
    QFont font = this->font();
    ApplyMessageFont(font);
    setFont(font);

    auto* topPanel = topPanel_ = new QFrame(this);
    topPanel->setObjectName(QStringLiteral("TopPanel"));
    topPanel->setGeometry(0, 0, 222, 22);
    topPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    topPanel->installEventFilter(this);
    auto* middlePanel = new QFrame(this);
    middlePanel->setObjectName(QStringLiteral("MiddlePanel"));
    middlePanel->setGeometry(0, 22, 222, 111);
    middlePanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* bottomPanel = new QWidget(this);
    bottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    bottomPanel->setGeometry(0, 133, 222, 21);

    Calendar = new TZlCalendar(middlePanel);
    Calendar->setObjectName(QStringLiteral("Calendar"));
    Calendar->setGeometry(middlePanel->contentsRect());
    Calendar->SetColor(clWhite);
    Calendar->SetUseCurrentDate(false);
    connect(Calendar, &TZlCalendar::OnChange, this, &TSelectDateDlg::CalendarChange);
    connect(Calendar, &TCustomGrid::OnDblClick, this, &TSelectDateDlg::CalendarDblClick);

    TitleLabel = new QLabel(topPanel);
    TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
    TitleLabel->setGeometry(35, 4, 152, 14);
    TitleLabel->setAlignment(Qt::AlignCenter);
    QFont bold = TitleLabel->font();
    bold.setBold(true);
    TitleLabel->setFont(bold);
    QPalette blue = TitleLabel->palette();
    blue.setColor(QPalette::WindowText, ToQColor(clBlue, blue));
    TitleLabel->setPalette(blue);
    TitleLabel->installEventFilter(this);

    buttons_ = MakeNavigationButtons(
        topPanel, {QRect(3, 3, 16, 16), QRect(18, 3, 16, 16), QRect(188, 3, 16, 16), QRect(203, 3, 16, 16)},
        Calendar);

    auto* ok = new QPushButton(tr("OK"), bottomPanel);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setGeometry(0, 0, 112, 21);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancel = new QPushButton(tr("Cancel"), bottomPanel);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(111, 0, 111, 21);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // Key preview: the form sees the keys of its controls first.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    Calendar->SetCalendarDate(Today());
    CalendarChange();
    Calendar->setFocus();
}

TNavigationButtons TSelectDateDlg::Buttons() const {
    return buttons_;
}

void TSelectDateDlg::PrevYearBtnClick() {
    Calendar->YearBack();
}

void TSelectDateDlg::NextYearBtnClick() {
    Calendar->YearForward();
}

void TSelectDateDlg::PrevMonthBtnClick() {
    Calendar->MonthBack();
}

void TSelectDateDlg::NextMonthBtnClick() {
    Calendar->MonthForward();
}

void TSelectDateDlg::CalendarChange() {
    TitleLabel->setText(CalendarTitleText(Calendar->CalendarDate()));
}

void TSelectDateDlg::CalendarDblClick() {
    accept();
}

void TSelectDateDlg::TopPanelDblClick() {
    SetDialogDate(*this, Today());
}

bool TSelectDateDlg::FormKeyDown(const QKeyEvent& key) {
    const Qt::KeyboardModifiers shifts =
        key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool ctrl = shifts & Qt::ControlModifier;
    switch (key.key()) {
    case Qt::Key_Escape:
        reject();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: // Shift+Tab
        if (shifts == Qt::ShiftModifier)
            PrevMonthBtnClick();
        else
            NextMonthBtnClick();
        TitleLabel->repaint();
        // Then what Tab does anyway.
        focusNextPrevChild(key.key() == Qt::Key_Tab && !(shifts & Qt::ShiftModifier));
        return true;
    case Qt::Key_PageUp:
        ctrl ? PrevYearBtnClick() : PrevMonthBtnClick();
        TitleLabel->repaint();
        return true;
    case Qt::Key_PageDown:
        ctrl ? NextYearBtnClick() : NextMonthBtnClick();
        TitleLabel->repaint();
        return true;
    default:
        return false;
    }
}

bool TSelectDateDlg::eventFilter(QObject* watched, QEvent* event) {
    // Every key the dialog uses is used up here, so a key that travels on to the parents after
    // a control ignored it is never taken twice.
    if (event->type() == QEvent::KeyPress && FormKeyDown(static_cast<const QKeyEvent&>(*event))) return true;
    if (event->type() == QEvent::MouseButtonDblClick && (watched == TitleLabel || watched == topPanel_)) {
        TopPanelDblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

std::unique_ptr<TSelectDateDlg> CreateSelectDateDialog(const QString& caption) {
    auto dialog = std::make_unique<TSelectDateDlg>();
    if (!caption.isEmpty()) dialog->setWindowTitle(caption);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        dialog->move(area.x() + area.width() / 2 - dialog->width() / 2,
                     area.y() + area.height() / 2 - dialog->height() / 2);
    }
    return dialog;
}

void SetDialogDate(TSelectDateDlg& dialog, TDateTime date) {
    if (date == NoDate || !IsValidDateValue(date)) date = Today();
    dialog.Calendar->SetCalendarDate(date);
    dialog.CalendarChange();
}

TDateTime DialogDate(const TSelectDateDlg& dialog) {
    return dialog.Calendar->CalendarDate();
}

bool SelectDateByDialog(TDateTime& date, const QString& caption, TDayOfWeekName startOfWeek,
                        TDaysOfWeek weekends, TColor weekendColor, const QStringList* hints) {
    const std::unique_ptr<TSelectDateDlg> dialog = CreateSelectDateDialog(caption);
    SetDialogDate(*dialog, date);
    dialog->Calendar->SetStartOfWeek(startOfWeek);
    dialog->Calendar->SetWeekends(weekends);
    dialog->Calendar->SetWeekendColor(weekendColor);
    if (hints) SetNavigationHints(dialog->Buttons(), *hints);
    if (dialog->exec() != QDialog::Accepted) return false;
    date = DialogDate(*dialog);
    return true;
}

} // namespace widgets
