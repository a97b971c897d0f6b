#include "widgets/CalendarModel.h"

#include "FixedClock.h"
#include "platform/DateTimeText.h"

#include <gtest/gtest.h>
#include <vector>

using namespace widgets;

namespace {

double DayOf(int year, int month, int day) {
    return *platform::EncodeDayCount(year, month, day);
}

const QStringList DayNames = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};

// Today is Wednesday 10 June 2026; the model counts its date changes.
class CalendarModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        model_ = std::make_unique<CalendarModel>(DayNames);
        model_->onDateChanged = [this] { ++changes_; };
        model_->onRelaidOut = [this](bool dayOnly) {
            ++layouts_;
            lastDayOnly_ = dayOnly;
            relaidOutInside_ = model_->InRelayout();
        };
    }

    void Show(int year, int month, int day) {
        model_->SetCalendarDate(DayOf(year, month, day));
        changes_ = layouts_ = 0;
    }
    void ExpectDate(int year, int month, int day, const char* what) {
        EXPECT_EQ(model_->CalendarDate(), DayOf(year, month, day)) << what;
    }

    FixedClock clock_{DayOf(2026, 6, 10) + 0.25};
    std::unique_ptr<CalendarModel> model_;
    int changes_ = 0, layouts_ = 0;
    bool lastDayOnly_ = false, relaidOutInside_ = false;
};

} // namespace

TEST_F(CalendarModelTest, StartsOnTodayWithMondayFirst) {
    EXPECT_EQ(model_->CalendarDate(), DayOf(2026, 6, 10));
    EXPECT_TRUE(model_->UseCurrentDate());
    EXPECT_EQ(model_->StartOfWeek(), TDayOfWeekName::Mon);
    EXPECT_EQ(model_->Weekends(), TDaysOfWeek{TDayOfWeekName::Sun});
    // 1 June 2026 is a Monday: column 0 of row 1.
    EXPECT_EQ(model_->DayOffset(), 1);
    EXPECT_EQ(model_->DayCol(), 2);
    EXPECT_EQ(model_->DayRow(), 2);
}

TEST_F(CalendarModelTest, DayOneStandsInRowOneUnderItsWeekday) {
    struct Case {
        int year, month;
        TDayOfWeekName start;
        int offset, firstCol;
    };
    const std::vector<Case> cases = {
        {2024, 9, TDayOfWeekName::Mon, -5, 6}, // a Sunday
        {2024, 7, TDayOfWeekName::Mon, 1, 0},  // a Monday
        {2024, 9, TDayOfWeekName::Sun, 1, 0},  {2024, 7, TDayOfWeekName::Sun, 0, 1},
        {2026, 6, TDayOfWeekName::Sat, -1, 2},
    };
    for (const Case& c : cases) {
        model_->SetStartOfWeek(c.start);
        Show(c.year, c.month, 1);
        EXPECT_EQ(model_->DayOffset(), c.offset) << c.year << "-" << c.month;
        EXPECT_EQ(model_->DayCellText(c.firstCol, 1), QStringLiteral("1")) << c.year << "-" << c.month;
        EXPECT_EQ(model_->DayCol(), c.firstCol);
        EXPECT_EQ(model_->DayRow(), 1);
    }
    // Every month of four years keeps row 1 filled and ends by row 6.
    model_->SetStartOfWeek(TDayOfWeekName::Mon);
    for (int year = 2024; year <= 2027; ++year) {
        for (int month = 1; month <= 12; ++month) {
            Show(year, month, 1);
            EXPECT_FALSE(model_->DayCellText(6, 1).isEmpty()) << year << "-" << month;
            EXPECT_GE(model_->DayOffset(), -5);
            EXPECT_LE(model_->DayOffset(), 1);
            EXPECT_LE(model_->MonthLength() - model_->DayOffset(), 41) << year << "-" << month;
        }
    }
    // A 31-day month starting in the last column reaches row 6.
    Show(2024, 12, 31); // 1 December 2024 is a Sunday
    EXPECT_EQ(model_->DayRow(), 6);
    EXPECT_EQ(model_->DayCellText(1, 6), QStringLiteral("31"));
    EXPECT_EQ(model_->DayCellText(2, 6), QString());
}

TEST_F(CalendarModelTest, HeaderAndWeekendColumnsFollowTheFirstWeekday) {
    model_->SetStartOfWeek(TDayOfWeekName::Sun);
    for (int col = 0; col < 7; ++col)
        EXPECT_EQ(model_->DayCellText(col, 0), DayNames[col]);
    EXPECT_TRUE(model_->IsWeekendColumn(0));
    EXPECT_FALSE(model_->IsWeekendColumn(6));
    model_->SetStartOfWeek(TDayOfWeekName::Mon);
    EXPECT_EQ(model_->DayCellText(0, 0), QStringLiteral("Mo"));
    EXPECT_EQ(model_->DayCellText(6, 0), QStringLiteral("Su"));
    EXPECT_TRUE(model_->IsWeekendColumn(6));
    model_->SetWeekends({TDayOfWeekName::Sat, TDayOfWeekName::Sun});
    EXPECT_TRUE(model_->IsWeekendColumn(5));
    EXPECT_FALSE(model_->IsWeekendColumn(0));
}

TEST_F(CalendarModelTest, MonthAndYearSteps) {
    struct Case {
        const char* name;
        int year, month, day;
        void (CalendarModel::*step)();
        int toYear, toMonth, toDay;
    };
    const std::vector<Case> cases = {
        {"31 Jan forward", 2024, 1, 31, &CalendarModel::MonthForward, 2024, 2, 29},
        {"31 Jan 2023 forward", 2023, 1, 31, &CalendarModel::MonthForward, 2023, 2, 28},
        {"31 Mar back", 2024, 3, 31, &CalendarModel::MonthBack, 2024, 2, 29},
        {"31 Mar forward", 2024, 3, 31, &CalendarModel::MonthForward, 2024, 4, 30},
        {"15 Dec forward", 2024, 12, 15, &CalendarModel::MonthForward, 2025, 1, 15},
        {"15 Jan back", 2024, 1, 15, &CalendarModel::MonthBack, 2023, 12, 15},
        {"29 Feb year forward", 2024, 2, 29, &CalendarModel::YearForward, 2025, 2, 28},
        {"29 Feb year back", 2024, 2, 29, &CalendarModel::YearBack, 2023, 2, 28},
        {"28 Feb year forward", 2023, 2, 28, &CalendarModel::YearForward, 2024, 2, 28},
        // Steps past the calendar's range do nothing.
        {"last month forward", 9999, 12, 5, &CalendarModel::MonthForward, 9999, 12, 5},
        {"last year forward", 9999, 3, 5, &CalendarModel::YearForward, 9999, 3, 5},
        {"first month back", 1, 1, 5, &CalendarModel::MonthBack, 1, 1, 5},
        {"first year back", 1, 3, 5, &CalendarModel::YearBack, 1, 3, 5},
    };
    for (const Case& c : cases) {
        Show(c.year, c.month, c.day);
        (model_.get()->*c.step)();
        ExpectDate(c.toYear, c.toMonth, c.toDay, c.name);
    }
    model_->SetUseCurrentDate(true);
    Show(2024, 3, 31);
    model_->MonthBack();
    EXPECT_EQ(changes_, 1);
    EXPECT_TRUE(model_->UseCurrentDate()) << "steps keep the current-date flag";
}

TEST_F(CalendarModelTest, WritingDateParts) {
    struct Case {
        const char* name;
        int index, value;
        int toYear, toMonth, toDay;
        bool changes;
    };
    // From 31 March 2024.
    const std::vector<Case> cases = {
        {"month to April clamps the day", 2, 4, 2024, 4, 30, true},
        {"month to February of a leap year", 2, 2, 2024, 2, 29, true},
        {"month above 12", 2, 13, 2024, 3, 31, false},
        {"same month", 2, 3, 2024, 3, 31, false},
        {"day past the month", 3, 32, 2024, 3, 31, false},
        {"same day", 3, 31, 2024, 3, 31, false},
        {"day", 3, 2, 2024, 3, 2, true},
        {"zero", 3, 0, 2024, 3, 31, false},
        {"negative year", 1, -5, 2024, 3, 31, false},
        {"year", 1, 1999, 1999, 3, 31, true},
        {"other index", 4, 1, 2024, 3, 31, false},
    };
    for (const Case& c : cases) {
        model_->SetUseCurrentDate(true);
        Show(2024, 3, 31);
        model_->WriteDatePart(c.index, c.value);
        ExpectDate(c.toYear, c.toMonth, c.toDay, c.name);
        EXPECT_EQ(changes_, c.changes ? 1 : 0) << c.name;
        EXPECT_EQ(model_->UseCurrentDate(), !c.changes) << c.name;
        if (c.changes) {
            EXPECT_EQ(lastDayOnly_, c.index == 3) << c.name;
            EXPECT_TRUE(relaidOutInside_) << c.name;
        }
    }
    EXPECT_EQ(model_->ReadDatePart(0), -1);
    EXPECT_EQ(model_->ReadDatePart(4), -1);
    // 29 February into a common year cannot be encoded: an error, the date unchanged.
    Show(2024, 2, 29);
    EXPECT_THROW(model_->SetYear(2023), EConvertError);
    ExpectDate(2024, 2, 29, "after the refused year");
    EXPECT_EQ(changes_, 0);
    EXPECT_THROW(model_->SetYear(10000), EConvertError);
}

TEST_F(CalendarModelTest, CalendarDateWritesFireOnlyOnChange) {
    Show(2024, 3, 5);
    model_->SetCalendarDate(DayOf(2024, 3, 5));
    EXPECT_EQ(changes_, 0);
    EXPECT_EQ(layouts_, 0);
    model_->SetCalendarDate(DayOf(2024, 3, 6));
    EXPECT_EQ(changes_, 1);
    EXPECT_FALSE(lastDayOnly_);
    model_->SetCalendarDate(3e6); // past 9999
    ExpectDate(2024, 3, 6, "out of range");
    EXPECT_EQ(changes_, 1);
}

TEST_F(CalendarModelTest, KeysStepDaysAcrossMonths) {
    struct Case {
        const char* name;
        int year, month, day;
        int key;
        Qt::KeyboardModifiers modifiers;
        bool used;
        int toYear, toMonth, toDay;
    };
    const std::vector<Case> cases = {
        {"left", 2024, 3, 5, Qt::Key_Left, Qt::NoModifier, true, 2024, 3, 4},
        {"left on day 1", 2024, 3, 1, Qt::Key_Left, Qt::NoModifier, true, 2024, 2, 29},
        {"keypad minus", 2024, 3, 5, Qt::Key_Minus, Qt::KeypadModifier, true, 2024, 3, 4},
        {"right", 2024, 3, 5, Qt::Key_Right, Qt::NoModifier, true, 2024, 3, 6},
        {"right on the last day", 2024, 12, 31, Qt::Key_Right, Qt::NoModifier, true, 2025, 1, 1},
        {"keypad plus", 2024, 3, 5, Qt::Key_Plus, Qt::KeypadModifier, true, 2024, 3, 6},
        {"plain minus", 2024, 3, 5, Qt::Key_Minus, Qt::NoModifier, false, 2024, 3, 5},
        {"shift left", 2024, 3, 5, Qt::Key_Left, Qt::ShiftModifier, false, 2024, 3, 5},
        {"ctrl right", 2024, 3, 5, Qt::Key_Right, Qt::ControlModifier, false, 2024, 3, 5},
        {"up goes to the grid", 2024, 3, 5, Qt::Key_Up, Qt::NoModifier, false, 2024, 3, 5},
        {"left on the first day", 1, 1, 1, Qt::Key_Left, Qt::NoModifier, true, 1, 1, 1},
        {"right on the last day", 9999, 12, 31, Qt::Key_Right, Qt::NoModifier, true, 9999, 12, 31},
    };
    for (const Case& c : cases) {
        Show(c.year, c.month, c.day);
        EXPECT_EQ(model_->KeyDown(c.key, c.modifiers), c.used) << c.name;
        ExpectDate(c.toYear, c.toMonth, c.toDay, c.name);
        const bool moved = c.year != c.toYear || c.month != c.toMonth || c.day != c.toDay;
        EXPECT_EQ(changes_, moved ? 1 : 0) << c.name;
    }
    // "T" goes to today and is swallowed; other keys are not.
    Show(2024, 3, 5);
    EXPECT_TRUE(model_->KeyPress(u't'));
    ExpectDate(2026, 6, 10, "t");
    EXPECT_FALSE(model_->KeyPress(u'x'));
}

TEST_F(CalendarModelTest, ReadOnlyRefusesCellsButNotSteps) {
    Show(2024, 3, 5); // 1 March 2024 is a Friday: offset -3
    EXPECT_TRUE(model_->CanSelectCell(0, 2));
    EXPECT_FALSE(model_->CanSelectCell(0, 0)) << "header";
    EXPECT_FALSE(model_->CanSelectCell(0, 1)) << "empty cell";
    model_->CellChosen(0, 2);
    EXPECT_EQ(model_->Day(), 4);
    model_->SetReadOnly(true);
    EXPECT_FALSE(model_->CanSelectCell(1, 2));
    EXPECT_TRUE(model_->KeyDown(Qt::Key_Right, Qt::NoModifier));
    EXPECT_TRUE(model_->KeyPress(u'T'));
    model_->MonthBack();
    ExpectDate(2026, 5, 10, "read-only steps");
}

TEST_F(CalendarModelTest, UseCurrentDateGoesBackToToday) {
    Show(2024, 3, 5);
    model_->SetDay(6);
    EXPECT_FALSE(model_->UseCurrentDate());
    model_->SetUseCurrentDate(true);
    ExpectDate(2026, 6, 10, "today");
    EXPECT_EQ(changes_, 1) << "no change event for today";
    EXPECT_EQ(model_->DayCol(), 2);
}
