#include "widgets/DateEdit.h"

#include "FixedClock.h"
#include "platform/DateTimeText.h"
#include "platform/WindowsLocale.h"
#include "support/DrawnInk.h"
#include "support/RecordingMessageBoxes.h"
#include "support/Screenshots.h"
#include "widgets/PopupCalendar.h"
#include "widgets/SpeedButton.h"
#include "widgets/ZlCalendar.h"
#include "widgets/ZlResources.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace widgets;

namespace {

double DayOf(int year, int month, int day) {
    return *platform::EncodeDayCount(year, month, day);
}

// The user's locale is British (day, month, four-digit year, "/") unless a test changes it.
class BritishLocale : public ::testing::Environment {
public:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
};
const auto* const kLocale = ::testing::AddGlobalTestEnvironment(new BritishLocale);

TEST(DateEditRules, OnlyDigitsMakeADateText) {
    platform::FormatSettings locale =
        platform::WindowsFormatSettings(QLocale(QLocale::German, QLocale::Germany));
    locale.dateSeparator = u'.';
    EXPECT_FALSE(HasDateText("", u' ', locale));
    EXPECT_FALSE(HasDateText("  .  .    ", u' ', locale));
    EXPECT_FALSE(HasDateText("__.__.____", u'_', locale));
    EXPECT_FALSE(HasDateText(QString(3, QChar(0)), u' ', locale));
    EXPECT_TRUE(HasDateText("  /  /    ", u' ', locale));
    EXPECT_TRUE(HasDateText(" 1.  .    ", u' ', locale));
}

TEST(DateEditRules, KeypadStepsStayInsideTheCalendar) {
    const double now = DayOf(2026, 6, 10) + 0.25;
    EXPECT_EQ(SteppedDate(NoDate, 1, now), now + 1);
    EXPECT_EQ(SteppedDate(DayOf(2024, 3, 1), -1, now), DayOf(2024, 2, 29));
    EXPECT_EQ(SteppedDate(DayOf(9999, 12, 31), 1, now), std::nullopt);
    EXPECT_EQ(SteppedDate(DayOf(1, 1, 1), -1, now), std::nullopt);
    EXPECT_EQ(SteppedDate(DayOf(9999, 12, 31), -1, now), DayOf(9999, 12, 30));
}

TEST(DateEditRules, HintsAreCutToFourLines) {
    EXPECT_EQ(TrimmedCalendarHints({"a", "b", "c", "d", "e", "f"}), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(TrimmedCalendarHints({"a"}), QStringList{"a"});
}

// A form with the date edit, focused, and a second edit to leave it for. Today is 10 June 2026.
struct DateEditOnForm : ::testing::Test {
    FixedClock clock{DayOf(2026, 6, 10) + 0.6};
    QDialog form;
    TDateEdit* edit = new TDateEdit(&form);
    QLineEdit* other = new QLineEdit(&form);
    std::unique_ptr<QSignalSpy> changes;

    void SetUp() override {
        form.setGeometry(100, 100, 320, 240);
        edit->setGeometry(10, 10, 121, 21);
        other->setGeometry(10, 200, 121, 21);
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        edit->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(edit->hasFocus());
        changes = std::make_unique<QSignalSpy>(edit, &TCustomComboEdit::OnChange);
    }

    TPopupCalendar* Popup() const { return qobject_cast<TPopupCalendar*>(edit->Popup()); }
    void Open() {
        QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(edit->PopupShowing());
    }
    void KeypadKey(Qt::Key key) { QTest::keyClick(edit, key, Qt::KeypadModifier); }
};

TEST_F(DateEditOnForm, FormatAndMaskFollowTheLocaleAndTheYearDigits) {
    EXPECT_EQ(edit->EditDateFormat(), "DD/MM/YYYY");
    EXPECT_EQ(edit->EditMask(), "!99/99/9999;1; ");
    EXPECT_EQ(edit->Text(), "  /  /    ");
    edit->SetDateValue(DayOf(2026, 3, 5));
    edit->SetYearDigits(dyTwo);
    EXPECT_EQ(edit->EditDateFormat(), "DD/MM/YY");
    EXPECT_EQ(edit->EditMask(), "!99/99/99;1; ");
    EXPECT_EQ(edit->Text(), "05/03/26");
    edit->SetBlanksChar(u'\t');
    EXPECT_EQ(edit->BlanksChar(), u' ');
    edit->SetBlanksChar(u'_');
    EXPECT_EQ(edit->EditMask(), "!99/99/99;1;_");
    EXPECT_EQ(edit->DateValue(), DayOf(2026, 3, 5));
}

TEST_F(DateEditOnForm, AChangedLocaleReLaysOutTheMaskAndKeepsTheDate) {
    edit->SetDateValue(DayOf(2026, 3, 5));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QEvent change(QEvent::LocaleChange);
    QApplication::sendEvent(edit, &change);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(edit->EditDateFormat(), "MM/DD/YYYY");
    EXPECT_EQ(edit->Text(), "03/05/2026");
}

TEST_F(DateEditOnForm, TypedDigitsFillTheMask) {
    edit->SelectAll();
    QTest::keyClicks(edit, "29022024");
    EXPECT_EQ(edit->Text(), "29/02/2024");
    EXPECT_EQ(edit->DateValue(), DayOf(2024, 2, 29));
    EXPECT_GT(changes->count(), 0);
}

TEST_F(DateEditOnForm, ReadingNeverRaisesAndFallsBackToItsDefault) {
    edit->SelectAll();
    QTest::keyClicks(edit, "31022024");
    EXPECT_EQ(edit->DateValue(), NoDate);
    edit->SetDefaultToday(true);
    EXPECT_EQ(edit->DateValue(), DayOf(2026, 6, 10));
}

TEST_F(DateEditOnForm, WritingTracksModified) {
    edit->SetDateValue(NoDate);
    EXPECT_FALSE(edit->isModified());
    EXPECT_EQ(edit->Text(), "  /  /    ");
    edit->SetDateValue(DayOf(2024, 3, 1) + 0.5);
    EXPECT_TRUE(edit->isModified());
    EXPECT_EQ(edit->Text(), "01/03/2024");
    edit->SetDateValue(DayOf(2024, 3, 1));
    EXPECT_FALSE(edit->isModified());
    edit->SetDateValue(DayOf(10000, 1, 1));
    EXPECT_EQ(edit->DateValue(), NoDate);
    edit->SetDefaultToday(true);
    edit->SetDateValue(NoDate);
    EXPECT_EQ(edit->Text(), "10/06/2026");
}

TEST_F(DateEditOnForm, KeypadPlusMinusAndTStepAndSetTheDate) {
    KeypadKey(Qt::Key_Plus);
    EXPECT_EQ(edit->Text(), "11/06/2026");
    edit->SetDateValue(DayOf(2024, 3, 1));
    KeypadKey(Qt::Key_Minus);
    EXPECT_EQ(edit->Text(), "29/02/2024");
    QTest::keyClick(edit, Qt::Key_T);
    EXPECT_EQ(edit->Text(), "10/06/2026");
    EXPECT_EQ(edit->selectedText(), edit->Text());
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClicks(edit, "+-");
    EXPECT_EQ(edit->Text(), "10/06/2026");
}

TEST_F(DateEditOnForm, AStepOutOfTheCalendarKeepsTheDate) {
    edit->SetDateValue(DayOf(9999, 12, 31));
    KeypadKey(Qt::Key_Plus);
    EXPECT_EQ(edit->Text(), "31/12/9999");
}

TEST_F(DateEditOnForm, ABlankEditOpensThePopupOnToday) {
    Open();
    EXPECT_EQ(Popup()->ReadPopupValue().toDouble(), DayOf(2026, 6, 10));
    EXPECT_EQ(Popup()->TitleLabel()->text(), "June, 2026");
    EXPECT_TRUE(edit->hasFocus());
}

TEST_F(DateEditOnForm, KeysGoToTheOpenPopup) {
    edit->SetDateValue(DayOf(2024, 3, 31));
    changes->clear();
    Open();
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        double expected;
    };
    const std::vector<Step> steps = {
        {Qt::Key_PageUp, Qt::NoModifier, DayOf(2024, 2, 29)},
        {Qt::Key_PageUp, Qt::ControlModifier, DayOf(2023, 2, 28)},
        {Qt::Key_PageDown, Qt::ControlModifier, DayOf(2024, 2, 28)},
        {Qt::Key_PageDown, Qt::NoModifier, DayOf(2024, 3, 28)},
        {Qt::Key_Right, Qt::NoModifier, DayOf(2024, 3, 29)},
        {Qt::Key_Left, Qt::NoModifier, DayOf(2024, 3, 28)},
        {Qt::Key_Plus, Qt::KeypadModifier, DayOf(2024, 3, 29)},
        {Qt::Key_Minus, Qt::KeypadModifier, DayOf(2024, 3, 28)},
        {Qt::Key_Up, Qt::NoModifier, DayOf(2024, 3, 21)},
        {Qt::Key_Down, Qt::NoModifier, DayOf(2024, 3, 28)},
        {Qt::Key_T, Qt::NoModifier, DayOf(2026, 6, 10)},
    };
    for (const Step& step : steps) {
        QTest::keyClick(edit, step.key, step.modifiers);
        EXPECT_EQ(changes->count(), 0) << step.key;
        EXPECT_EQ(Popup()->ReadPopupValue().toDouble(), step.expected) << step.key << " " << step.modifiers;
    }
    EXPECT_TRUE(edit->PopupShowing());
    EXPECT_EQ(edit->Text(), "31/03/2024");
    EXPECT_EQ(changes->count(), 0);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->Text(), "10/06/2026");
    EXPECT_EQ(changes->count(), 1);
}

TEST_F(DateEditOnForm, HintsComeFromTheStringTableAndTheEditsList) {
    const TNavigationButtons& buttons = Popup()->Buttons();
    const QStringList builtIn = {"Previous Year", "Previous Month", "Next Month", "Next Year"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(buttons[i]->toolTip(), builtIn[i]) << i;
    edit->SetCalendarHints({"", "Back|Goes back a month", "", "Ahead", "Fifth"});
    EXPECT_EQ(edit->CalendarHints().size(), 4);
    EXPECT_EQ(buttons[0]->toolTip(), "Previous Year");
    EXPECT_EQ(buttons[1]->toolTip(), "Back");
    EXPECT_EQ(buttons[2]->toolTip(), "Next Month");
    EXPECT_EQ(buttons[3]->toolTip(), "Ahead");
}

TEST_F(DateEditOnForm, CheckOnExitRefusesAWrongDateAndTakesTheFocusBack) {
    RecordingMessageBoxes boxes;
    edit->SelectAll();
    QTest::keyClicks(edit, "3102");
    other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_TRUE(boxes.shown.empty()) << "off by default";

    edit->SetCheckOnExit(true);
    edit->setFocus(Qt::TabFocusReason);
    other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "''31/02/    '' is not a valid date");
    EXPECT_EQ(boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_TRUE(edit->hasFocus());

    edit->SetDateValue(NoDate);
    other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(boxes.shown.size(), 1u) << "an empty mask is no date text";
}

TEST_F(DateEditOnForm, ADialogStyleEditAsksTheSelectDateDialog) {
    edit->SetCalendarStyle(csDialog);
    EXPECT_EQ(edit->CalendarStyle(), csDialog);
    EXPECT_EQ(edit->Popup(), nullptr);
    edit->SetDateValue(DayOf(2024, 3, 31));
    std::vector<double> accepted;
    edit->OnAcceptDate = [&](TCustomDateEdit&, TDateTime& date, bool&) { accepted.push_back(date); };
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        QTest::keyClick(dialog, Qt::Key_PageUp);
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    QTest::mouseClick(edit->DropButton(), Qt::LeftButton);
    EXPECT_EQ(accepted, std::vector<double>{DayOf(2024, 2, 29)});
    EXPECT_EQ(edit->Text(), "29/02/2024");
    edit->SetCalendarStyle(csPopup);
    EXPECT_NE(Popup(), nullptr);
}

TEST_F(DateEditOnForm, APlainLeftClickOnADayAcceptsItAndChangesOnce) {
    edit->SetDateValue(DayOf(2024, 9, 15));
    changes->clear();
    Open();
    TLocCalendar* calendar = Popup()->Calendar();
    // Monday first: 1 September 2024, a Sunday, stands in row 1, column 6; the 2nd in row 2.
    const QPoint second = calendar->CellRect(0, 2).center();
    QTest::mouseClick(calendar, Qt::RightButton, Qt::NoModifier, second);
    QTest::mouseClick(calendar, Qt::LeftButton, Qt::ShiftModifier, second);
    QTest::mouseClick(calendar, Qt::LeftButton, Qt::NoModifier, calendar->CellRect(3, 0).center());
    QTest::mouseClick(calendar, Qt::LeftButton, Qt::NoModifier, calendar->CellRect(0, 1).center());
    EXPECT_TRUE(edit->PopupShowing()) << "header, empty cell, right and Shift clicks keep it open";
    EXPECT_EQ(edit->Text(), "15/09/2024");
    EXPECT_EQ(changes->count(), 0);

    QTest::mouseClick(calendar, Qt::LeftButton, Qt::NoModifier, calendar->CellRect(2, 3).center());
    EXPECT_FALSE(edit->PopupShowing());
    EXPECT_EQ(edit->Text(), "11/09/2024");
    EXPECT_EQ(changes->count(), 1);
    EXPECT_TRUE(edit->hasFocus());
}

TEST_F(DateEditOnForm, ADoubleClickOnTheTitleGoesToTodayWithoutClosing) {
    edit->SetDateValue(DayOf(2024, 9, 15));
    Open();
    QTest::mouseDClick(Popup()->TitleLabel(), Qt::LeftButton);
    EXPECT_EQ(Popup()->ReadPopupValue().toDouble(), DayOf(2026, 6, 10));
    EXPECT_EQ(Popup()->TitleLabel()->text(), "June, 2026");
    EXPECT_TRUE(edit->PopupShowing());
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(edit->Text(), "15/09/2024");
}

TEST_F(DateEditOnForm, DefaultsAndTheCalendarSettingsReachThePopup) {
    EXPECT_EQ(edit->GlyphKind(), gkDefault);
    EXPECT_EQ(edit->NumGlyphs(), 2);
    EXPECT_EQ(edit->ButtonWidth(), 21);
    EXPECT_EQ(edit->DialogTitle(), "Select a Date");
    EXPECT_EQ(edit->CalendarStyle(), csPopup);
    EXPECT_EQ(edit->PopupColor(), clBtnFace);
    TLocCalendar* calendar = Popup()->Calendar();
    EXPECT_EQ(calendar->StartOfWeek(), TDayOfWeekName::Mon);
    EXPECT_EQ(calendar->Weekends(), TDaysOfWeek{TDayOfWeekName::Sun});

    edit->SetStartOfWeek(TDayOfWeekName::Sun);
    edit->SetWeekends({TDayOfWeekName::Sat, TDayOfWeekName::Sun});
    edit->SetWeekendColor(clBlue);
    edit->SetPopupColor(clAqua);
    EXPECT_EQ(calendar->StartOfWeek(), TDayOfWeekName::Sun);
    EXPECT_EQ(calendar->Weekends(), (TDaysOfWeek{TDayOfWeekName::Sat, TDayOfWeekName::Sun}));
    EXPECT_EQ(calendar->WeekendColor(), clBlue);
    EXPECT_EQ(edit->PopupColor(), clAqua);
    EXPECT_EQ(Popup()->palette().color(QPalette::Window), QColor(0, 255, 255));

    // A popup made again takes the settings the edit keeps.
    edit->SetCalendarStyle(csDialog);
    edit->SetCalendarStyle(csPopup);
    EXPECT_EQ(Popup()->Calendar()->StartOfWeek(), TDayOfWeekName::Sun);
    EXPECT_EQ(edit->PopupColor(), clAqua);
}

TEST_F(DateEditOnForm, OnAcceptDateMayChangeOrRefuseThePopupsDate) {
    edit->SetDateValue(DayOf(2024, 9, 15));
    changes->clear();
    edit->OnAcceptDate = [](TCustomDateEdit&, TDateTime& date, bool& accept) {
        accept = date != DayOf(2024, 9, 16);
        date += 7;
    };
    Open();
    QTest::keyClick(edit, Qt::Key_Right);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->Text(), "15/09/2024");
    EXPECT_EQ(changes->count(), 0);
    Open();
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->Text(), "21/09/2024");
    EXPECT_EQ(changes->count(), 1);
}

TEST_F(DateEditOnForm, ThePopupLooksLikeTheDesign) {
    edit->SetDateValue(DayOf(2024, 9, 15));
    Open();
    // The design's size, wider only as far as the day names of this font need.
    const int width = Popup()->width();
    EXPECT_EQ(width, PopupCalendarWidth(Popup()->font()));
    EXPECT_GE(width, TPopupCalendar::kWidth);
    EXPECT_EQ(Popup()->height(), TPopupCalendar::kHeight);
    const int w = width - 4;
    const TNavigationButtons& buttons = Popup()->Buttons();
    EXPECT_EQ(buttons[0]->geometry(), QRect(-1, -1, 14, 14));
    EXPECT_EQ(buttons[3]->geometry(), QRect(w - 13, -1, 14, 14));
    EXPECT_EQ(Popup()->TitleLabel()->geometry(), QRect(29, 1, w - 58, 14));
    const QPixmap picture = Popup()->grab();
    ASSERT_FALSE(picture.isNull());
    test::SaveScreenshot(*Popup(), "PopupCalendar");
    test::SaveScreenshot(form, "DateEdit");
}

// Every day name shows whole in its column ("Sun" never as "Sur"), in English and German.
TEST_F(DateEditOnForm, TheDayNamesFitTheirColumns) {
    for (const QLocale& locale :
         {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German)}) {
        SCOPED_TRACE(locale.name().toStdString());
        QLocale::setDefault(locale);
        TDateEdit fresh(&form);
        fresh.setGeometry(10, 40, 121, 21);
        fresh.show();
        fresh.setFocus();
        QTest::keyClick(&fresh, Qt::Key_Down, Qt::AltModifier);
        auto* popup = qobject_cast<TPopupCalendar*>(fresh.Popup());
        ASSERT_NE(popup, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return popup->isVisible(); }));
        const auto* calendar = popup->findChild<TZlCalendar*>(QStringLiteral("Calendar"));
        ASSERT_NE(calendar, nullptr);
        const QFontMetrics metrics(calendar->font());
        for (const QString& name : platform::WindowsFormatSettings().shortDayNames)
            EXPECT_LE(metrics.horizontalAdvance(name) + 2, calendar->DefaultColWidth()) << name.toStdString();
        QTest::keyClick(&fresh, Qt::Key_Escape);
    }
}

// What the screen shows of a top-level window: the X server's own pixels under xcb, the
// window's backing store where there is no screen to read.
QImage ShownOnScreen(QWidget& window) {
    QScreen& screen = *window.screen();
    const QRect area = window.frameGeometry();
    QPixmap shown = QGuiApplication::platformName() == QLatin1String("xcb")
                        ? screen.grabWindow(0, area.x(), area.y(), area.width(), area.height())
                        : screen.grabWindow(window.winId());
    return shown.toImage().convertToFormat(QImage::Format_RGB32);
}

// The ink of `text` drawn whole, unclipped, in `font`.
QSize WholeInk(const QString& text, const QFont& font) {
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(text) + 20, metrics.height() + 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(10, 10 + metrics.ascent(), text);
    painter.end();
    return test::InkBox(image, image.rect()).size();
}

// The popup as the screen shows it, in English and German: every day name and day number is
// drawn whole in its cell, and every cell lies inside the popup's frame, in the font the popup
// really gets. (The day names' widths alone once passed while the screen read "Sur" for "Sun".)
TEST_F(DateEditOnForm, EveryDayShowsWholeInsideThePopupsFrame) {
    for (const QLocale& locale :
         {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany)}) {
        SCOPED_TRACE(locale.name().toStdString());
        QLocale::setDefault(locale);
        TDateEdit fresh(&form);
        fresh.setGeometry(10, 40, 121, 21);
        fresh.show();
        fresh.setFocus();
        // August 2026: Sundays 2 to 30 in the last column, and today (in June) not framed.
        fresh.SetDateValue(DayOf(2026, 8, 12));
        QTest::keyClick(&fresh, Qt::Key_Down, Qt::AltModifier);
        auto* popup = qobject_cast<TPopupCalendar*>(fresh.Popup());
        ASSERT_NE(popup, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
        QTest::qWait(50);
        const QImage shown = ShownOnScreen(*popup);
        ASSERT_EQ(shown.size(), popup->size());
        test::SaveScreenshot(shown, "PopupCalendar-" + locale.name());

        const auto* panel = popup->findChild<QFrame*>(QStringLiteral("BackPanel"));
        ASSERT_NE(panel, nullptr);
        const QRect inside(panel->mapTo(popup, panel->contentsRect().topLeft()),
                           panel->contentsRect().size());
        const TLocCalendar& calendar = *popup->Calendar();
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 7; ++col) {
                const QString text = calendar.DayCellText(col, row);
                if (text.isEmpty()) continue;
                SCOPED_TRACE(text.toStdString());
                const QRect cellRect = calendar.CellRect(col, row);
                const QRect cell(calendar.mapTo(popup, cellRect.topLeft()), cellRect.size());
                EXPECT_TRUE(inside.contains(cell)) << "the cell crosses the frame";
                const QRect ink = test::InkBox(shown, cell & inside);
                ASSERT_FALSE(ink.isEmpty());
                EXPECT_EQ(ink.size(), WholeInk(text, calendar.font())) << "not drawn whole";
                EXPECT_GT(ink.left(), cell.left());
                EXPECT_LT(ink.right(), std::min(cell.right(), inside.right())) << "touches the frame";
            }
        QTest::keyClick(&fresh, Qt::Key_Escape);
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

} // namespace
