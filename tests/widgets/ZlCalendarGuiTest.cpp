#include "widgets/ZlCalendar.h"

#include "FixedClock.h"
#include "FixedPalette.h"
#include "support/Screenshots.h"
#include "widgets/MessageFont.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace widgets;

namespace {

double DayOf(int year, int month, int day) {
    return *platform::EncodeDayCount(year, month, day);
}

bool HasPixel(const QImage& image, const QRect& rect, QRgb color) {
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixel(x, y) == color) return true;
    return false;
}

// Today is Wednesday 10 June 2026. Cells are 20 x 15 pixels inside a one-pixel frame.
struct CalendarOnForm : ::testing::Test {
    FixedClock clock{DayOf(2026, 6, 10) + 0.5};
    QWidget form;
    TZlCalendar* calendar = new TZlCalendar(&form);
    std::unique_ptr<QSignalSpy> changes;

    void SetUp() override {
        form.setPalette(fixed::Palette());
        form.resize(300, 200);
        calendar->setGeometry(10, 10, 7 * 20 + 6 + 2, 7 * 15 + 6 + 2);
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        calendar->setFocus();
        calendar->SetCalendarDate(DayOf(2024, 3, 5)); // 1 March 2024 is a Friday: column 4
        changes = std::make_unique<QSignalSpy>(calendar, &TZlCalendar::OnChange);
    }

    QPoint CellCenter(int col, int row) const { return calendar->CellRect(col, row).center(); }
};

TEST_F(CalendarOnForm, CellsFillTheClientArea) {
    EXPECT_EQ(calendar->DefaultColWidth(), 20);
    EXPECT_EQ(calendar->DefaultRowHeight(), 15);
    EXPECT_EQ(calendar->Col(), 1);
    EXPECT_EQ(calendar->Row(), 2);
    int col = -1, row = -1;
    ASSERT_TRUE(calendar->MouseToCell(CellCenter(4, 1), col, row));
    EXPECT_EQ(col, 4);
    EXPECT_EQ(row, 1);
}

TEST_F(CalendarOnForm, AClickChoosesTheDay) {
    QSignalSpy clicks(calendar, &TCustomGrid::OnClick);
    QTest::mouseClick(calendar, Qt::LeftButton, {}, CellCenter(3, 3)); // 14 March
    EXPECT_EQ(calendar->CalendarDate(), DayOf(2024, 3, 14));
    EXPECT_EQ(changes->count(), 1);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(calendar->UseCurrentDate());

    QTest::mouseClick(calendar, Qt::LeftButton, {}, CellCenter(0, 1)); // empty
    QTest::mouseClick(calendar, Qt::LeftButton, {}, CellCenter(5, 0)); // header
    EXPECT_EQ(calendar->CalendarDate(), DayOf(2024, 3, 14));
    EXPECT_EQ(changes->count(), 1);
}

TEST_F(CalendarOnForm, ArrowsStepDaysAndWeeks) {
    QTest::keyClick(calendar, Qt::Key_Down);
    EXPECT_EQ(calendar->CalendarDate(), DayOf(2024, 3, 12));
    QTest::keyClick(calendar, Qt::Key_Up);
    QTest::keyClick(calendar, Qt::Key_Up); // 27 February does not exist in this grid
    EXPECT_EQ(calendar->CalendarDate(), DayOf(2024, 3, 5));
    QTest::keyClick(calendar, Qt::Key_Left);
    EXPECT_EQ(calendar->CalendarDate(), DayOf(2024, 3, 4));
    EXPECT_EQ(calendar->Col(), 0);
    EXPECT_EQ(calendar->Row(), 2);
    QTest::keyClick(calendar, Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(calendar, Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(calendar, Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(calendar, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(calendar->CalendarDate(), DayOf(2024, 2, 29)) << "the previous month's last day";
    EXPECT_EQ(calendar->Col(), 3);
    EXPECT_EQ(calendar->Row(), 5);
    EXPECT_EQ(changes->count(), 7);
    QTest::keyClick(calendar, Qt::Key_T);
    EXPECT_EQ(calendar->CalendarDate(), DayOf(2026, 6, 10));
}

TEST_F(CalendarOnForm, ReadOnlyRefusesCellsButStepsStillWork) {
    calendar->SetReadOnly(true);
    QTest::mouseClick(calendar, Qt::LeftButton, {}, CellCenter(3, 3));
    QTest::keyClick(calendar, Qt::Key_Down);
    EXPECT_EQ(calendar->CalendarDate(), DayOf(2024, 3, 5));
    QTest::keyClick(calendar, Qt::Key_Right);
    EXPECT_EQ(calendar->CalendarDate(), DayOf(2024, 3, 6));
    EXPECT_EQ(calendar->Col(), 2) << "the relayout still moves the current cell";
    calendar->MonthForward();
    EXPECT_EQ(calendar->CalendarDate(), DayOf(2024, 4, 6));
}

TEST_F(CalendarOnForm, WeekendColumnsAreRedExceptTheSelectedCell) {
    calendar->SetStartOfWeek(TDayOfWeekName::Sun);
    calendar->SetCalendarDate(DayOf(2024, 3, 3)); // a Sunday: column 0
    const QImage image = calendar->grab().toImage();
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_TRUE(HasPixel(image, calendar->CellRect(0, 0), red)) << "header";
    EXPECT_TRUE(HasPixel(image, calendar->CellRect(0, 3), red)) << "10 March";
    EXPECT_FALSE(HasPixel(image, calendar->CellRect(0, 2), red)) << "the selected 3 March";
    EXPECT_FALSE(HasPixel(image, calendar->CellRect(1, 2), red)) << "a Monday";
    calendar->SetWeekendColor(clBlue);
    EXPECT_FALSE(HasPixel(calendar->grab().toImage(), calendar->CellRect(0, 0), red));
}

TEST_F(CalendarOnForm, ThePopupsCalendarFramesTodayAndClicksOnRelease) {
    TLocCalendar* loc = new TLocCalendar(&form);
    loc->setGeometry(10, 150, 7 * 20 + 6, 7 * 15 + 6);
    loc->show();
    QApplication::processEvents();
    EXPECT_EQ(loc->CalendarDate(), DayOf(2026, 6, 10));
    EXPECT_FALSE(loc->UseCurrentDate());
    EXPECT_EQ(loc->focusPolicy(), Qt::NoFocus);
    // 1 June 2026 is a Monday: today in column 2 of row 2.
    loc->SetDay(12);
    QImage image = loc->grab().toImage();
    const QRect today = loc->CellRect(2, 2);
    EXPECT_EQ(image.pixel(today.topLeft()), fixed::kShadow);
    EXPECT_EQ(image.pixel(today.bottomRight()), fixed::kHighlight);
    loc->MonthForward();
    image = loc->grab().toImage();
    EXPECT_NE(image.pixel(loc->CellRect(2, 2).topLeft()), fixed::kShadow) << "only in today's month";

    QSignalSpy clicks(loc, &TCustomGrid::OnClick);
    QSignalSpy releases(loc, &TCustomGrid::OnMouseUp);
    QTest::mouseClick(loc, Qt::LeftButton, {}, loc->CellRect(4, 3).center()); // 17 July
    EXPECT_EQ(loc->CalendarDate(), DayOf(2026, 7, 17));
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(releases.count(), 1);
    EXPECT_FALSE(loc->hasFocus());
}

TEST_F(CalendarOnForm, Screenshot) {
    TLocCalendar* loc = new TLocCalendar(&form);
    form.resize(360, 130);
    loc->setGeometry(165, 10, 183, 100); // the popup's size
    loc->show();
    QApplication::processEvents();
    test::SaveScreenshot(form, "Calendar");
    QFont font;
    ApplyMessageFont(font);
    EXPECT_FALSE(font.family().isEmpty());
}

} // namespace
