#include "widgets/CurrEdit.h"

#include "widgets/ZlCalc.h"

#include "FixedPalette.h"
#include "support/QtPrinters.h"
#include "support/RecordingBeeper.h"
#include "support/RecordingMessageBoxes.h"
#include "support/Screenshots.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDropEvent>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace widgets;

namespace {

// A dialog with a calculator edit and a second edit; the calculator edit has the focus.
struct CalcEditOnDialog : ::testing::Test {
    RecordingBeeper beeper;
    RecordingMessageBoxes boxes;
    QDialog dialog;
    TZlCalcEdit* edit = new TZlCalcEdit(&dialog);
    QLineEdit* other = new QLineEdit(&dialog);

    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        dialog.setPalette(fixed::Palette());
        dialog.setGeometry(100, 100, 300, 220);
        edit->setObjectName(QStringLiteral("eReading"));
        edit->setGeometry(10, 10, 121, 21);
        other->setGeometry(10, 180, 121, 21);
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        FocusEdit();
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    void FocusEdit() {
        edit->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(edit->hasFocus());
    }
    // Leaves the edit for the other one, and lets a refused exit take the focus back.
    void Leave() {
        other->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        QApplication::processEvents();
    }
    void Open() {
        QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(edit->PopupShowing());
    }
    TPopupCalculator* Popup() const { return qobject_cast<TPopupCalculator*>(edit->Popup()); }
    void Type(const QString& keys) {
        for (QChar c : keys) {
            if (c == u'\r')
                QTest::keyClick(edit, Qt::Key_Return);
            else if (c == u'\x1b')
                QTest::keyClick(edit, Qt::Key_Escape);
            else if (c == u'\b')
                QTest::keyClick(edit, Qt::Key_Backspace);
            else
                QTest::keyClicks(edit, QString(c));
        }
    }
};

} // namespace

TEST_F(CalcEditOnDialog, OpensOnTheValueAndClosesWithTheResult) {
    edit->SetValue(12.5L);
    Open();
    EXPECT_EQ(Popup()->PopupDisplayText(), "12.5");
    QSignalSpy timesClicks(Popup()->Calculator()->FindKeyButton(u'*'), &TZlSpeedButton::OnClick);
    QSignalSpy equalsClicks(Popup()->Calculator()->FindKeyButton(u'='), &TZlSpeedButton::OnClick);
    Type(QStringLiteral("*2"));
    EXPECT_EQ(Popup()->PopupDisplayText(), "2");
    Type(QStringLiteral("\r"));
    EXPECT_EQ(timesClicks.count(), 1);
    EXPECT_EQ(equalsClicks.count(), 1); // Enter flashes the "=" key
    EXPECT_FALSE(edit->PopupShowing());
    EXPECT_FALSE(Popup()->isVisible());
    EXPECT_EQ(edit->Text(), "25");
    EXPECT_EQ(edit->Value(), 25.0L);
    EXPECT_TRUE(edit->hasFocus());
}

TEST_F(CalcEditOnDialog, AnErrorKeepsThePopupOpen) {
    Open();
    EXPECT_EQ(Popup()->PopupDisplayText(), "0"); // an empty edit opens on 0
    Type(QStringLiteral("1/0="));
    EXPECT_TRUE(edit->PopupShowing());
    EXPECT_EQ(Popup()->PopupDisplayText(), "Error");
    EXPECT_EQ(beeper.beeps, 1);
    Type(QStringLiteral("c"));
    EXPECT_EQ(Popup()->PopupDisplayText(), "0");
    Type(QStringLiteral("16Q")); // no key for Q in the drop-down: fed directly, the popup stays
    EXPECT_EQ(Popup()->PopupDisplayText(), "4");
    EXPECT_TRUE(edit->PopupShowing());
    Type(QStringLiteral("\x1b")); // Esc closes without taking the value
    EXPECT_FALSE(edit->PopupShowing());
    EXPECT_EQ(edit->Text(), "");
}

TEST_F(CalcEditOnDialog, AcceptingInTheErrorStateGivesZeroWithABeep) {
    edit->SetValue(3);
    Open();
    Type(QStringLiteral("/0="));
    QTest::mouseClick(edit->DropButton(), Qt::LeftButton); // the button closes accepting
    EXPECT_FALSE(edit->PopupShowing());
    EXPECT_EQ(edit->Text(), "0");
    EXPECT_EQ(beeper.beeps, 2);
}

TEST_F(CalcEditOnDialog, NoBeepsWhenSwitchedOff) {
    edit->SetBeepOnError(false);
    Type(QStringLiteral("x"));
    Open();
    Type(QStringLiteral("1/0="));
    EXPECT_EQ(Popup()->PopupDisplayText(), "Error");
    EXPECT_EQ(beeper.beeps, 0);
}

TEST_F(CalcEditOnDialog, AcceptedTextStaysUntilTheFocusLeaves) {
    edit->SetDecimalPlaces(0);
    Open();
    Type(QStringLiteral("12.6="));
    EXPECT_EQ(edit->Text(), "12.6");
    Leave();
    EXPECT_EQ(edit->Text(), "13");
    EXPECT_EQ(edit->Value(), 13.0L);
}

TEST_F(CalcEditOnDialog, TypingFilter) {
    Type(QStringLiteral("1.234"));
    EXPECT_EQ(edit->Text(), "1.23");
    EXPECT_EQ(beeper.beeps, 1);
    Type(QStringLiteral("a"));
    EXPECT_EQ(edit->Text(), "1.23");
    EXPECT_EQ(beeper.beeps, 2);
    edit->SetText(QString());
    edit->SetMinValue(0);
    edit->SetMaxValue(100);
    Type(QStringLiteral("-5"));
    EXPECT_EQ(edit->Text(), "-");
    // Eight characters at most, however the text was set.
    edit->SetMaxLength(8);
    edit->SetMaxValue(0);
    edit->SetText(QStringLiteral("123456.5"));
    edit->selectAll();
    Type(QStringLiteral("1234567.9"));
    EXPECT_EQ(edit->Text(), "1234567.");
    edit->SetValue(123456789.25L); // the program's text is never cut
    EXPECT_EQ(edit->Text(), "123456789.25");
}

TEST_F(CalcEditOnDialog, SeparatorsOfACommaLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Type(QStringLiteral("1.234"));
    EXPECT_EQ(edit->Text(), "1.234"); // "." groups thousands and is dropped when read
    EXPECT_EQ(edit->Value(), 1234.0L);
    Type(QStringLiteral(",56"));
    EXPECT_EQ(edit->Text(), "1.234,56");
    Leave();
    EXPECT_EQ(edit->Text(), "1234,56");
    EXPECT_EQ(beeper.beeps, 0);
}

TEST_F(CalcEditOnDialog, EscapeThrowsTheTypingAway) {
    edit->SetValue(7.5L);
    edit->selectAll();
    Type(QStringLiteral("123\x1b"));
    EXPECT_EQ(edit->Text(), "7.5");
}

TEST_F(CalcEditOnDialog, LeavingParsesClampsAndRewrites) {
    edit->SetMinValue(1);
    edit->SetMaxValue(10);
    edit->selectAll();
    Type(QStringLiteral("20"));
    Leave();
    EXPECT_EQ(edit->Value(), 10.0L);
    EXPECT_EQ(edit->Text(), "10");
    EXPECT_TRUE(other->hasFocus());
    EXPECT_TRUE(boxes.shown.empty());

    FocusEdit();
    edit->SetCheckOnExit(true);
    edit->selectAll();
    Type(QStringLiteral("20"));
    Leave();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Value must be between 1.00 and 10.00");
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->Text(), "20");
    EXPECT_EQ(edit->selectedText(), "20");
}

TEST_F(CalcEditOnDialog, TextThatIsNoNumberIsRefusedOnLeaving) {
    Type(QStringLiteral("15"));
    QTest::keyClick(edit, Qt::Key_Left);
    Type(QStringLiteral("e")); // "1e5" is a number
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Backspace); // "1e" is none, and no typed key could make it
    Leave();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "'1e' is not a valid floating point value");
    EXPECT_TRUE(edit->hasFocus());
}

TEST_F(CalcEditOnDialog, PasteThatIsNoNumberPutsTheTextBack) {
    Type(QStringLiteral("42"));
    QGuiApplication::clipboard()->setText(QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->Text(), "42");
    EXPECT_EQ(beeper.beeps, 1);
    QGuiApplication::clipboard()->setText(QStringLiteral("1.5"));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->Text(), "1.5");
    EXPECT_TRUE(boxes.shown.empty());

    // The context menu's paste is checked too.
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), edit->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(edit, &menuEvent);
    QMenu* menu = edit->findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    const auto paste = std::find_if(actions.begin(), actions.end(), [](QAction* a) {
        return a->text().startsWith(QStringLiteral("&Paste"));
    });
    ASSERT_NE(paste, actions.end());
    (*paste)->trigger();
    menu->close();
    EXPECT_EQ(edit->Text(), "1.5");
    EXPECT_EQ(beeper.beeps, 2);

    // So is a drop.
    QMimeData mime;
    mime.setText(QStringLiteral("y"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(edit, &enter);
    QDropEvent drop(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(edit, &drop);
    EXPECT_EQ(edit->Text(), "1.5");
    EXPECT_EQ(beeper.beeps, 3);
}

TEST_F(CalcEditOnDialog, FormatOnEditingRegroupsAsTyped) {
    edit->SetFormatOnEditing(true);
    Type(QStringLiteral("1234"));
    EXPECT_EQ(edit->Text(), "1,234");
    EXPECT_EQ(edit->cursorPosition(), 5);
    Type(QStringLiteral("567"));
    EXPECT_EQ(edit->Text(), "1,234,567");
    EXPECT_EQ(edit->Value(), 1234567.0L);
}

// The text an edit paints while it has no focus.
struct PaintedText : TZlCalcEdit {
    using TZlCalcEdit::UnfocusedText;
};

TEST(NumEdit, ValueAndTextProperties) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    PaintedText edit;
    EXPECT_EQ(edit.Text(), ""); // ZeroEmpty empties the text of 0, not what is painted
    EXPECT_EQ(edit.UnfocusedText(), "0");
    EXPECT_TRUE(edit.SetText(QStringLiteral(" 1,234.5 ")));
    EXPECT_EQ(edit.Value(), 1234.5L);
    EXPECT_EQ(edit.Text(), "1234.5");
    EXPECT_EQ(edit.FormatDisplayValue(edit.Value()), "1,234.5");
    EXPECT_FALSE(edit.SetText(QStringLiteral("abc")));
    EXPECT_EQ(edit.Value(), 1234.5L);
    EXPECT_TRUE(edit.SetText(QStringLiteral("-")));
    EXPECT_EQ(edit.Value(), 0.0L);
    edit.SetZeroEmpty(false);
    EXPECT_EQ(edit.Text(), "0");

    edit.SetMinValue(1);
    edit.SetMaxValue(10);
    edit.SetValue(20);
    EXPECT_EQ(edit.Value(), 10.0L);
    edit.SetMaxValue(0);
    edit.SetMinValue(5); // only the lower bound
    edit.SetValue(3);
    EXPECT_EQ(edit.Value(), 5.0L);
    edit.SetValue(1e9L);
    EXPECT_EQ(edit.Value(), 1e9L);

    edit.SetMinValue(0); // no range again
    edit.SetDecimalPlaces(3);
    edit.SetValue(1.23456L);
    EXPECT_EQ(edit.Text(), "1.235");
    edit.SetDecimalPlaces(100000);
    EXPECT_EQ(edit.DecimalPlaces(), 18);
    edit.SetDisplayFormat(QStringLiteral(",0.0##"));
    EXPECT_EQ(edit.FormatDisplayValue(0), "0.0");
    edit.SetDisplayFormat(QString()); // the general format
    edit.SetValue(1.0L / 3);
    EXPECT_EQ(edit.UnfocusedText(), "0.333333333333333"); // the value, not its edit text
    EXPECT_EQ(edit.Text(), "0.333333333333333333");       // 18 places

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(edit.SetText(QStringLiteral("1.234,5")));
    EXPECT_EQ(edit.Value(), 1234.5L);
    EXPECT_EQ(edit.Text(), "1234,5");
    QLocale::setDefault(QLocale::c());
}

TEST(NumEdit, FreeingAFormFreesItsCalculators) {
    auto* form = new QWidget;
    auto* first = new TZlCalcEdit(form);
    new TZlCalcEdit(form);
    QPointer<TPopupWindow> popup = first->Popup();
    form->show();
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Down, Qt::AltModifier);
    delete form;
    EXPECT_TRUE(popup.isNull());
}

// Under Xvfb (QT_QPA_PLATFORM=xcb) the whole screen shows the dialog with the calculator open.
TEST_F(CalcEditOnDialog, Screenshot) {
    const QString folder = test::ScreenshotFolder();
    if (folder.isEmpty()) GTEST_SKIP() << "set ZEL_SCREENSHOTS to a folder to keep the pictures";
    edit->SetValue(12.5L);
    Open();
    Type(QStringLiteral("*2"));
    QTest::qWait(50);
    QGuiApplication::primaryScreen()
        ->grabWindow(0)
        .copy(80, 80, 360, 280)
        .save(folder + "/calc-edit-open.png");
    Popup()->grab().save(folder + "/calc-popup.png");
    Type(QStringLiteral("\r"));
    Leave();
    edit->SetValue(1234.5L);
    dialog.grab().save(folder + "/calc-edit-closed.png");
}

TEST(NumEdit, DefaultsOfTheCalculatorEdit) {
    TZlCalcEdit edit;
    EXPECT_EQ(edit.Alignment(), taRightJustify);
    EXPECT_TRUE(edit.BeepOnError());
    EXPECT_FALSE(edit.CheckOnExit());
    EXPECT_EQ(edit.DecimalPlaces(), 2);
    EXPECT_EQ(edit.DisplayFormat(), ",0.##");
    EXPECT_FALSE(edit.FormatOnEditing());
    EXPECT_TRUE(edit.ZeroEmpty());
    EXPECT_EQ(edit.MaxLength(), 0);
    EXPECT_EQ(edit.GlyphKind(), gkDefault);
    EXPECT_EQ(edit.NumGlyphs(), 2);
    EXPECT_FALSE(edit.Glyph().Empty()); // "CEDITBMP"
    EXPECT_EQ(edit.ButtonWidth(), 20);
    auto* popup = qobject_cast<TPopupCalculator*>(edit.Popup());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->Calculator()->DisplayPrecision(), 15);
    EXPECT_TRUE(popup->Calculator()->BeepOnError());
}
