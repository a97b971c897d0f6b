#include "widgets/SelectDateDlg.h"

#include "FixedClock.h"
#include "platform/DateTimeText.h"
#include "support/Screenshots.h"
#include "widgets/SpeedButton.h"
#include "widgets/ZlCalendar.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace widgets;

namespace {

double DayOf(int year, int month, int day) {
    return *platform::EncodeDayCount(year, month, day);
}

// Today is 10 June 2026; the locale is British.
struct SelectDateDialog : ::testing::Test {
    FixedClock clock{DayOf(2026, 6, 10) + 0.6};
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }

    // Runs SelectDateByDialog on `date`, doing `user` in the open dialog.
    static bool Select(TDateTime& date, const std::function<void(TSelectDateDlg&)>& user,
                       const QStringList* hints = nullptr) {
        QTimer::singleShot(0, [user] {
            auto* dialog = qobject_cast<TSelectDateDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            user(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        return SelectDateByDialog(date, QString(), TDayOfWeekName::Mon, {TDayOfWeekName::Sun}, clRed, hints);
    }
    static void Key(TSelectDateDlg& dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : &dialog, key, modifiers);
    }
};

TEST_F(SelectDateDialog, EnterReturnsTheChosenDateEscLeavesItUntouched) {
    TDateTime date = DayOf(2024, 3, 31);
    EXPECT_TRUE(Select(date, [](TSelectDateDlg& dialog) {
        EXPECT_EQ(DialogDate(dialog), DayOf(2024, 3, 31));
        EXPECT_EQ(dialog.TitleLabel->text(), "March, 2024");
        Key(dialog, Qt::Key_PageUp);
        EXPECT_EQ(dialog.TitleLabel->text(), "February, 2024");
        Key(dialog, Qt::Key_Return);
    }));
    EXPECT_EQ(date, DayOf(2024, 2, 29));

    EXPECT_FALSE(Select(date, [](TSelectDateDlg& dialog) {
        Key(dialog, Qt::Key_PageDown);
        Key(dialog, Qt::Key_Escape);
    }));
    EXPECT_EQ(date, DayOf(2024, 2, 29));
}

TEST_F(SelectDateDialog, KeysStepTheMonthAndTheYear) {
    TDateTime date = DayOf(2024, 2, 29);
    Select(date, [](TSelectDateDlg& dialog) {
        struct Step {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            double expected;
        };
        const std::vector<Step> steps = {
            {Qt::Key_PageUp, Qt::ControlModifier, DayOf(2023, 2, 28)},
            {Qt::Key_PageDown, Qt::ControlModifier, DayOf(2024, 2, 28)},
            {Qt::Key_PageDown, Qt::NoModifier, DayOf(2024, 3, 28)},
            {Qt::Key_Tab, Qt::NoModifier, DayOf(2024, 4, 28)},
            {Qt::Key_Backtab, Qt::ShiftModifier, DayOf(2024, 3, 28)},
        };
        for (const Step& step : steps) {
            dialog.Calendar->setFocus();
            Key(dialog, step.key, step.modifiers);
            EXPECT_EQ(DialogDate(dialog), step.expected) << step.key;
        }
        EXPECT_TRUE(dialog.isVisible());
    });
}

TEST_F(SelectDateDialog, ButtonsAndTheTitleMoveTheCalendar) {
    TDateTime date = DayOf(2024, 3, 31);
    Select(date, [](TSelectDateDlg& dialog) {
        const TNavigationButtons buttons = dialog.Buttons();
        QTest::mouseClick(buttons[0], Qt::LeftButton);
        EXPECT_EQ(DialogDate(dialog), DayOf(2023, 3, 31));
        QTest::mouseClick(buttons[1], Qt::LeftButton);
        EXPECT_EQ(DialogDate(dialog), DayOf(2023, 2, 28));
        QTest::mouseClick(buttons[2], Qt::LeftButton);
        EXPECT_EQ(DialogDate(dialog), DayOf(2023, 3, 28));
        QTest::mouseClick(buttons[3], Qt::LeftButton);
        EXPECT_EQ(DialogDate(dialog), DayOf(2024, 3, 28));
        QTest::mouseDClick(dialog.TitleLabel, Qt::LeftButton);
        EXPECT_EQ(DialogDate(dialog), DayOf(2026, 6, 10));
        EXPECT_TRUE(dialog.isVisible());
    });
}

TEST_F(SelectDateDialog, ADoubleClickOnADayAccepts) {
    TDateTime date = DayOf(2024, 9, 1);
    EXPECT_TRUE(Select(date, [](TSelectDateDlg& dialog) {
        // Monday first: 1 September 2024, a Sunday, stands in row 1, column 6; the 2nd in row 2.
        const QPoint second = dialog.Calendar->CellRect(0, 2).center();
        QTest::mouseDClick(dialog.Calendar, Qt::LeftButton, Qt::NoModifier, second);
    }));
    EXPECT_EQ(date, DayOf(2024, 9, 2));
}

TEST_F(SelectDateDialog, OpensOnTodayForNoDateWithItsCaptionAndHints) {
    const QStringList hints = {"", "Back a month|long text"};
    TDateTime date = NoDate;
    Select(
        date,
        [](TSelectDateDlg& dialog) {
            EXPECT_EQ(DialogDate(dialog), DayOf(2026, 6, 10));
            EXPECT_EQ(dialog.windowTitle(), "Select a Date");
            EXPECT_EQ(dialog.size(), QSize(222, 154));
            EXPECT_EQ(dialog.Buttons()[0]->toolTip(), "Previous Year");
            EXPECT_EQ(dialog.Buttons()[1]->toolTip(), "Back a month");
            EXPECT_EQ(dialog.Buttons()[3]->toolTip(), "Next Year");
            test::SaveScreenshot(dialog, "SelectDateDlg");
        },
        &hints);
    EXPECT_EQ(date, NoDate);

    const auto dialog = CreateSelectDateDialog("Test date");
    EXPECT_EQ(dialog->windowTitle(), "Test date");
    SetDialogDate(*dialog, DayOf(9999, 12, 31) + 5);
    EXPECT_EQ(DialogDate(*dialog), DayOf(2026, 6, 10));
}

} // namespace
