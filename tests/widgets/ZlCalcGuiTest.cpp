#include "widgets/ZlCalc.h"

#include "FixedPalette.h"
#include "support/QtPrinters.h"
#include "support/RecordingBeeper.h"
#include "support/Screenshots.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace widgets;

namespace {

struct PanelOnForm {
    explicit PanelOnForm(bool compact) : panel(new TCalculatorPanel(&form, compact)) {
        form.setPalette(fixed::Palette());
        form.resize(panel->size() + QSize(20, 20));
        panel->move(10, 10);
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    TCalcButton* Key(TCalcKeyKind kind) const {
        return panel->findChild<TCalcButton*>(QStringLiteral("calcKey%1").arg(kind));
    }
    void Click(std::initializer_list<TCalcKeyKind> kinds) const {
        for (TCalcKeyKind kind : kinds)
            QTest::mouseClick(Key(kind), Qt::LeftButton, {}, QPoint(5, 5));
    }

    RecordingBeeper beeper;
    QWidget form;
    TCalculatorPanel* panel;
};

} // namespace

TEST(CalculatorPanel, LayoutsPlaceTheirKeys) {
    PanelOnForm full(false);
    PanelOnForm compact(true);
    EXPECT_EQ(full.panel->size(), QSize(240, 129));
    EXPECT_EQ(compact.panel->size(), QSize(98, 124));
    EXPECT_EQ(full.panel->Keys().size(), 28u);
    EXPECT_EQ(compact.panel->Keys().size(), 19u);
    struct Case {
        const PanelOnForm* on;
        TCalcKeyKind kind;
        QRect bounds;
        const char* caption;
    };
    const std::vector<Case> cases = {
        {&full, 8, {47, 32, 36, 22}, "7"},          {&full, 1, {47, 104, 36, 22}, "0"},
        {&full, 21, {145, 6, 44, 22}, "<-"},        {&full, 22, {191, 6, 44, 22}, "C"},
        {&full, 17, {199, 32, 36, 22}, "sqrt"},     {&full, 26, {5, 32, 36, 22}, "MC"},
        {&full, 14, {161, 56, 36, 22}, ""},         {&full, 27, {47, 6, 36, 22}, ""},
        {&compact, 8, {6, 6, 21, 21}, "7"},         {&compact, 20, {52, 98, 44, 21}, "="},
        {&compact, 11, {52, 75, 21, 21}, "\u00B1"}, {&compact, 12, {29, 75, 21, 21}, "."},
        {&compact, 16, {75, 75, 21, 21}, "+"},
    };
    for (const Case& c : cases) {
        TCalcButton* key = c.on->Key(c.kind);
        ASSERT_NE(key, nullptr) << int(c.kind);
        EXPECT_EQ(key->geometry(), c.bounds) << int(c.kind);
        EXPECT_EQ(key->Caption(), QString::fromUtf8(c.caption)) << int(c.kind);
    }
    // Glyph keys of the full layout carry their cell of the strip.
    EXPECT_EQ(full.Key(14)->Glyph().Width(), 14);
    EXPECT_EQ(full.Key(14)->Glyph().Height(), 13);
    EXPECT_EQ(compact.Key(14)->Glyph().Width(), 0);
    EXPECT_EQ(compact.Key(17), nullptr);
    EXPECT_EQ(full.Key(20)->Tag(), 19);
    EXPECT_EQ(full.Key(23)->Tag(), -1);
    EXPECT_TRUE(full.panel->font().bold());
    EXPECT_FALSE(full.panel->MemoryLabel()->font().bold());
    EXPECT_EQ(compact.panel->MemoryLabel(), nullptr);
}

TEST(CalculatorPanel, KeyColoursByKind) {
    EXPECT_EQ(KeyKindColor(17), clNavy);
    EXPECT_EQ(KeyKindColor(23), clNavy);
    EXPECT_EQ(KeyKindColor(13), clPurple);
    EXPECT_EQ(KeyKindColor(20), clPurple);
    EXPECT_EQ(KeyKindColor(21), clMaroon);
    EXPECT_EQ(KeyKindColor(12), clBtnText);
    EXPECT_EQ(KeyKindColor(27), clBtnText);
    PanelOnForm full(false);
    EXPECT_EQ(full.Key(13)->FontColor(), clPurple);
    EXPECT_EQ(full.Key(17)->FontColor(), clNavy);
    EXPECT_EQ(full.Key(22)->FontColor(), clMaroon);
    EXPECT_EQ(full.Key(5)->FontColor(), clBtnText);
    // The caption is drawn in that colour.
    full.Key(22)->repaint();
    const QImage face = full.Key(22)->OffscreenImage();
    bool maroon = false;
    for (int y = 0; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x)
            maroon = maroon || face.pixel(x, y) == 0xFF800000u;
    EXPECT_TRUE(maroon);
}

TEST(CalculatorPanel, FindKeyButtonInEachLayout) {
    PanelOnForm full(false);
    PanelOnForm compact(true);
    EXPECT_EQ(compact.panel->FindKeyButton(u','), compact.Key(12));
    EXPECT_EQ(compact.panel->FindKeyButton(QChar(13)), compact.Key(20));
    EXPECT_EQ(compact.panel->FindKeyButton(QChar(27)), compact.Key(22));
    EXPECT_EQ(compact.panel->FindKeyButton(QChar(8)), compact.Key(21));
    EXPECT_EQ(compact.panel->FindKeyButton(u'_'), compact.Key(11));
    EXPECT_EQ(compact.panel->FindKeyButton(u'Q'), nullptr);
    EXPECT_EQ(compact.panel->FindKeyButton(u'x'), nullptr);
    EXPECT_EQ(full.panel->FindKeyButton(u'q'), full.Key(17));
    EXPECT_EQ(full.panel->FindKeyButton(u'%'), full.Key(18));
}

TEST(CalculatorPanel, ClickedAndTypedKeys) {
    PanelOnForm compact(true);
    QLineEdit mirror;
    compact.panel->SetMirrorControl(&mirror);
    QSignalSpy results(compact.panel, &TCalculatorPanel::OnResultKey);
    QSignalSpy plusClicks(compact.Key(16), &TZlSpeedButton::OnClick);
    compact.Click({3, 16, 4, 20}); // 2 + 3 =
    EXPECT_EQ(compact.panel->DisplayText(), "5");
    EXPECT_EQ(mirror.text(), "5");
    EXPECT_EQ(results.count(), 1);

    for (QChar c : QStringLiteral("+4\r"))
        compact.panel->TypeCalculatorKey(c); // typed keys flash and click theirs
    EXPECT_EQ(plusClicks.count(), 2);
    EXPECT_EQ(compact.panel->DisplayText(), "9");
    compact.panel->TypeCalculatorKey(u'Q'); // no key for it in this layout: fed directly
    EXPECT_EQ(compact.panel->DisplayText(), "3");
    EXPECT_EQ(compact.Key(20)->FaceState(), sfUp);

    compact.Click({2, 13, 1, 20}); // 1 / 0 =
    EXPECT_EQ(compact.panel->DisplayText(), "Error");
    EXPECT_EQ(compact.beeper.beeps, 1);
    compact.Click({22});
    EXPECT_EQ(compact.panel->DisplayText(), "0");
}

TEST(CalculatorPanel, MemoryAcceptAndCancelKeys) {
    PanelOnForm full(false);
    QSignalSpy accepted(full.panel, &TCalculatorPanel::OnAcceptKey);
    QSignalSpy cancelled(full.panel, &TCalculatorPanel::OnCancelKey);
    full.Click({8, 24}); // 7 MS
    EXPECT_EQ(full.panel->MemoryLabel()->text(), "M");
    full.Click({22, 25, 16, 2, 20}); // C MR + 1 =
    EXPECT_EQ(full.panel->DisplayText(), "8");
    full.Click({2, 12, 27}); // 1. accepted as 1
    EXPECT_EQ(full.panel->DisplayText(), "1");
    EXPECT_EQ(accepted.count(), 1);
    full.Click({13, 1, 20, 27, 28}); // / 0 = Error; accept only beeps; cancel still works
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_EQ(cancelled.count(), 1);
    EXPECT_EQ(full.beeper.beeps, 2);
    full.Click({26}); // MC also in the error state
    EXPECT_EQ(full.panel->MemoryLabel()->text(), "");
    EXPECT_EQ(full.panel->MemoryValue(), 0);
}

TEST(CalculatorPanel, CopyAndPasteThroughTheClipboard) {
    PanelOnForm compact(true);
    QSignalSpy numbers(compact.panel, &TCalculatorPanel::OnDisplayNumberChanged);
    compact.Click({5, 12, 6}); // 4.5
    compact.panel->FeedCalculatorKey(QChar(3));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "4.5");
    QGuiApplication::clipboard()->setText(QStringLiteral(" 12.25 "));
    compact.panel->FeedCalculatorKey(QChar(22));
    EXPECT_EQ(compact.panel->DisplayText(), "12.25");
    EXPECT_EQ(numbers.count(), 1);
}

TEST(CalculatorPanel, Ctl3DSwitchesKeyStyles) {
    PanelOnForm full(false);
    full.panel->SetCtl3D(false);
    EXPECT_EQ(full.Key(5)->Style(), bsWin31);
    full.panel->SetCtl3D(true);
    EXPECT_EQ(full.Key(5)->Style(), bsNew);
}

TEST(CalculatorPanel, Screenshot) {
    PanelOnForm full(false);
    full.Click({8, 24});
    PanelOnForm compact(true);
    if (test::ScreenshotFolder().isEmpty())
        GTEST_SKIP() << "set ZEL_SCREENSHOTS to a folder to keep the pictures";
    test::SaveScreenshot(full.form, "calculator-full");
    test::SaveScreenshot(compact.form, "calculator-compact");
}

TEST(PopupCalculator, ReadsAndWritesValues) {
    RecordingBeeper beeper;
    QWidget editor;
    TPopupCalculator popup(&editor);
    TLocCalculator* calc = popup.Calculator();
    EXPECT_EQ(popup.size(), QSize(104, 127));
    EXPECT_TRUE(calc->Compact());
    EXPECT_EQ(calc->focusPolicy(), Qt::NoFocus);
    struct Case {
        QVariant value;
        const char* shown;
    };
    const std::vector<Case> cases = {
        {QVariant(), "0"},
        {QVariant(QString()), "0"},
        {QVariant(QStringLiteral(" 7.5 ")), "7.5"},
        {QVariant(QStringLiteral("abc")), "0"},
        {QVariant(QStringLiteral("1,234.5")), "0"},
        {QVariant(QStringLiteral("1e400")), "0"},
        {QVariant(3.25), "3.25"},
    };
    for (const Case& c : cases) {
        calc->FeedCalculatorKey(u'9');
        calc->FeedCalculatorKey(u'+');
        popup.WritePopupValue(c.value);
        EXPECT_EQ(popup.PopupDisplayText(), c.shown) << c.value.toString().toStdString();
        EXPECT_EQ(calc->EntryState(), ceFresh);
        EXPECT_EQ(calc->PendingOperator(), u'=');
    }
    calc->FeedCalculatorKey(u'5');
    calc->FeedCalculatorKey(u'.');
    const QVariant read = popup.ReadPopupValue();
    EXPECT_EQ(read.typeId(), QMetaType::Double);
    EXPECT_EQ(read.toDouble(), 5.0);
    EXPECT_EQ(popup.PopupDisplayText(), "5"); // normalised
    for (QChar c : QStringLiteral("/0="))
        calc->FeedCalculatorKey(c);
    EXPECT_EQ(popup.ReadPopupValue(), QVariant(0));
    EXPECT_EQ(beeper.beeps, 2); // the error, then reading in it

    SetupPopupCalculator(&popup, 1, false);
    EXPECT_EQ(calc->DisplayPrecision(), 2);
    EXPECT_FALSE(calc->BeepOnError());
    SetupPopupCalculator(nullptr, 15, true); // not a calculator: nothing happens
}

// At 120 pixels per inch the popup and its keys grow by 120/96.
TEST(PopupCalculator, ScalesWithTheScreen) {
    QWidget editor;
    TPopupCalculator popup(&editor);
    ScaleWidgetTree(&popup, 120, 96);
    EXPECT_EQ(popup.size(), QSize(130, 158));
    TCalcButton* equals = popup.Calculator()->FindKeyButton(u'=');
    EXPECT_EQ(equals->geometry(), QRect(65, 122, 55, 26));
    EXPECT_TRUE(equals->font().bold());
}
