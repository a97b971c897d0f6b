#pragma once

#include "DateUtil.h"
#include "DaysOfWeek.h"
#include "PopupCalendar.h"
#include "ZlColors.h"

#include <QDialog>

#include <memory>

class QFrame;
class QKeyEvent;
class QLabel;

// A small modal dialog for picking a date: the popup calendar's title bar over a month grid,
// with OK and Cancel. The date edit uses it when it has no popup.
namespace widgets {

class TZlCalendar;

class TSelectDateDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSelectDateDlg(QWidget* parent = nullptr);

    TZlCalendar* Calendar = nullptr;
    QLabel* TitleLabel = nullptr;
    // Previous year, previous month, next month, next year.
    TNavigationButtons Buttons() const;

public slots:
    void PrevYearBtnClick();
    void NextYearBtnClick();
    void PrevMonthBtnClick();
    void NextMonthBtnClick();
    void CalendarChange();
    void CalendarDblClick();
    void TopPanelDblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Esc cancels, Enter accepts, Tab and PgUp / PgDn step the month or the year (Tab then
    // moves the focus on as usual); true when the key was one of these.
    bool FormKeyDown(const QKeyEvent& key);

    QFrame* topPanel_ = nullptr;
    TNavigationButtons buttons_{};
};

// The dialog, with `caption` in place of "Select a Date" when it is not empty, in the middle of
// the screen.
std::unique_ptr<TSelectDateDlg> CreateSelectDateDialog(const QString& caption);
// NoDate and any date the calendar cannot show give today.
void SetDialogDate(TSelectDateDlg& dialog, TDateTime date);
TDateTime DialogDate(const TSelectDateDlg& dialog);
// Shows the dialog on `date`; true with the chosen date in `date` when it closed with OK, else
// false with `date` untouched.
bool SelectDateByDialog(TDateTime& date, const QString& caption, TDayOfWeekName startOfWeek,
                        TDaysOfWeek weekends, TColor weekendColor, const QStringList* hints);

} // namespace widgets
