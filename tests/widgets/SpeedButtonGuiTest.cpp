#include "widgets/SpeedButton.h"
#include "widgets/ZlResources.h"

#include "FixedPalette.h"

#include <QAction>
#include <QCursor>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace widgets;

namespace {

// A shown, active form with speed buttons on it, under a fixed palette.
struct Form : ::testing::Test {
    QWidget form;

    TZlSpeedButton* Button(QRect geometry = QRect(10, 10, 25, 25)) {
        auto* button = new TZlSpeedButton(&form);
        button->setGeometry(geometry);
        button->show();
        return button;
    }
    void SetUp() override {
        QCursor::setPos(0, 0);
        // A place of its own, reached before the test begins: the window system may report
        // where the window went some time after it is shown, and the tests hand screen
        // positions around.
        form.setGeometry(40, 40, 200, 100);
        form.setPalette(fixed::Palette());
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        (void)QTest::qWaitFor([this] { return form.geometry().topLeft() == QPoint(40, 40); }, 1000);
    }
    static void Press(TZlSpeedButton* button, QPoint at = QPoint(5, 5)) {
        QTest::mousePress(button, Qt::LeftButton, {}, at);
    }
    static void Release(TZlSpeedButton* button, QPoint at = QPoint(5, 5)) {
        QTest::mouseRelease(button, Qt::LeftButton, {}, at);
    }
    static void Drag(TZlSpeedButton* button, QPoint to) {
        QMouseEvent move(QEvent::MouseMove, to, button->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(button, &move);
    }
    // One tick of a timer, now.
    static void Tick(QTimer* timer) { QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection); }
    static QImage Face(TZlSpeedButton* button) {
        button->repaint();
        return button->OffscreenImage();
    }
};

TEST_F(Form, ReleaseOnTheRowBelowStillClicksOneRightOfTheEdgeDoesNot) {
    TZlSpeedButton* button = Button();
    QSignalSpy clicks(button, &TZlSpeedButton::OnClick);
    Press(button);
    EXPECT_EQ(button->FaceState(), sfDown);
    EXPECT_TRUE(button->Pressing());
    Release(button, QPoint(5, 25));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button->FaceState(), sfUp);
    EXPECT_FALSE(button->Pressing());

    Press(button);
    Release(button, QPoint(25, 5));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button->FaceState(), sfUp);
}

TEST_F(Form, DraggingOffAndBackFollowsThePointer) {
    TZlSpeedButton* button = Button();
    Press(button);
    Drag(button, QPoint(5, 26));
    EXPECT_EQ(button->FaceState(), sfUp);
    Drag(button, QPoint(5, 25));
    EXPECT_EQ(button->FaceState(), sfDown);
    Drag(button, QPoint(-1, 5));
    EXPECT_EQ(button->FaceState(), sfUp);
    QSignalSpy clicks(button, &TZlSpeedButton::OnClick);
    Release(button, QPoint(-1, 5));
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(Form, OnlyTheLeftButtonOfAnEnabledButtonPresses) {
    TZlSpeedButton* button = Button();
    QSignalSpy clicks(button, &TZlSpeedButton::OnClick);
    QTest::mouseClick(button, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 0);
    button->setEnabled(false);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_FALSE(button->Pressing());
}

TEST_F(Form, AnUngroupedButtonNeverStaysDown) {
    TZlSpeedButton* button = Button();
    button->SetDown(true);
    EXPECT_FALSE(button->Down());
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(button->FaceState(), sfUp);
}

TEST_F(Form, PressingAGroupButtonReleasesTheOtherAndTheDownOneStaysDown) {
    TZlSpeedButton* first = Button(QRect(10, 10, 25, 25));
    TZlSpeedButton* second = Button(QRect(40, 10, 25, 25));
    TZlSpeedButton* elsewhere = Button(QRect(70, 10, 25, 25));
    first->SetGroupIndex(1);
    second->SetGroupIndex(1);
    elsewhere->SetGroupIndex(2);
    elsewhere->SetDown(true);

    QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(first->Down());
    EXPECT_EQ(first->FaceState(), sfExclusive);

    QSignalSpy clicks(first, &TZlSpeedButton::OnClick);
    QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(first->Down());
    EXPECT_EQ(first->FaceState(), sfExclusive);
    EXPECT_EQ(clicks.count(), 1);
    first->SetDown(false);
    EXPECT_TRUE(first->Down());

    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(second->Down());
    EXPECT_FALSE(first->Down());
    EXPECT_EQ(first->FaceState(), sfUp);
    EXPECT_TRUE(elsewhere->Down());
}

TEST_F(Form, AGroupSharesOneAllowAllUp) {
    TZlSpeedButton* first = Button(QRect(10, 10, 25, 25));
    TZlSpeedButton* second = Button(QRect(40, 10, 25, 25));
    first->SetGroupIndex(1);
    second->SetGroupIndex(1);
    second->SetAllowAllUp(true);
    EXPECT_TRUE(first->AllowAllUp());

    QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(first->Down());
    QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(first->Down());
    EXPECT_EQ(first->FaceState(), sfUp);
}

TEST(GroupWithoutWindow, PressingDownReleasesNoOtherWhileTheParentHasNoWindow) {
    QWidget parent;
    auto* first = new TZlSpeedButton(&parent);
    auto* second = new TZlSpeedButton(&parent);
    first->SetGroupIndex(1);
    second->SetGroupIndex(1);
    first->SetDown(true);
    second->SetDown(true);
    EXPECT_TRUE(first->Down());
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    first->SetAllowAllUp(true);
    first->SetDown(false);
    first->SetDown(true);
    EXPECT_FALSE(second->Down());
}

TEST_F(Form, AutoRepeatWaitsTheInitialPauseThenRepeatsWhileHeldOverTheButton) {
    TZlSpeedButton* button = Button();
    button->SetAllowTimer(true);
    EXPECT_EQ(button->AutoRepeatTimer(), nullptr);
    QSignalSpy clicks(button, &TZlSpeedButton::OnClick);

    Press(button);
    QTimer* timer = button->AutoRepeatTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 500);
    Tick(timer);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(timer->interval(), 100);

    Drag(button, QPoint(40, 5));
    Tick(timer);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(timer->isActive());
    Drag(button, QPoint(5, 5));
    Tick(timer);
    EXPECT_EQ(clicks.count(), 2);

    Release(button);
    EXPECT_EQ(clicks.count(), 3);
    EXPECT_FALSE(timer->isActive());

    button->SetAllowTimer(false);
    EXPECT_EQ(button->AutoRepeatTimer(), nullptr);
}

TEST_F(Form, AutoRepeatRunsOnItsOwnTimer) {
    auto* button = new TZlTimerSpeedButton(&form);
    button->setGeometry(10, 10, 25, 25);
    button->show();
    EXPECT_TRUE(button->AllowTimer());
    EXPECT_EQ(button->Style(), bsWin31);
    button->SetInitPause(20);
    button->SetRepeatInterval(5);
    QSignalSpy clicks(button, &TZlSpeedButton::OnClick);
    Press(button);
    QTRY_VERIFY_WITH_TIMEOUT(clicks.count() >= 3, 5000);
    Release(button);
    const int held = static_cast<int>(clicks.count());
    QTest::qWait(30);
    EXPECT_EQ(clicks.count(), held);
}

TEST_F(Form, ARepeatedClickThatRaisesStopsTheTimer) {
    TZlSpeedButton* button = Button();
    button->SetAllowTimer(true);
    QObject::connect(button, &TZlSpeedButton::OnClick, [] { throw std::runtime_error("step failed"); });
    Press(button);
    QTimer* timer = button->AutoRepeatTimer();
    ASSERT_TRUE(timer->isActive());
    EXPECT_THROW(Tick(timer), std::runtime_error);
    EXPECT_FALSE(timer->isActive());
    Drag(button, QPoint(40, 5));
    Release(button, QPoint(40, 5));
}

TEST_F(Form, AMenuPressShowsTheMenuWithoutClickingAndSwallowsTheClosingClick) {
    TZlSpeedButton* button = Button();
    QMenu menu;
    menu.addAction("One");
    button->SetDropDownMenu(&menu);
    QSignalSpy clicks(button, &TZlSpeedButton::OnClick);
    QSignalSpy presses(button, &TZlSpeedButton::OnMouseDown);

    QPoint shownAt;
    bool openDuringMenu = false;
    // A window system shows the menu in its own time: act once it is up, and never wait for
    // ever on a menu that did not open.
    QTimer whenShown;
    whenShown.setInterval(5);
    QTimer::singleShot(5000, &menu, &QMenu::close);
    QObject::connect(&whenShown, &QTimer::timeout, &menu, [&] {
        if (!menu.windowHandle() || !menu.windowHandle()->isExposed()) return;
        whenShown.stop();
        shownAt = menu.pos();
        openDuringMenu = button->MenuOpen();
        // The click that closes the menu lands on the button.
        const QPoint on(5, 5);
        QApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, on, button->mapToGlobal(on),
                                                        Qt::LeftButton, Qt::LeftButton, {}));
        menu.close();
    });
    whenShown.start();
    Press(button);
    EXPECT_TRUE(openDuringMenu);
    EXPECT_EQ(shownAt, button->mapToGlobal(QPoint(-1, 25)));
    EXPECT_EQ(MenuPopupComponent(&menu), button);
    Release(button);
    QApplication::processEvents();
    QApplication::processEvents();

    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(presses.count(), 1);
    EXPECT_FALSE(button->MenuOpen());
    EXPECT_FALSE(button->Pressing());
    EXPECT_EQ(button->FaceState(), sfUp);
}

TEST_F(Form, AMenuWithoutAutomaticPopupLeavesAPlainClick) {
    TZlSpeedButton* button = Button();
    QMenu menu;
    SetMenuAutoPopup(&menu, false);
    button->SetDropDownMenu(&menu);
    QSignalSpy clicks(button, &TZlSpeedButton::OnClick);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(menu.isVisible());
}

TEST_F(Form, TheMenuAnchorFollowsPositionAndAlignment) {
    TZlSpeedButton* button = Button(QRect(10, 10, 30, 20));
    EXPECT_EQ(button->MenuAnchor(), QPoint(0, 0));
    QMenu menu;
    button->SetDropDownMenu(&menu);
    struct Row {
        TZlDropDownMenuPos position;
        TPopupAlignment alignment;
        QPoint anchor;
    };
    const std::vector<Row> rows = {
        {dmpBottom, paLeft, {-1, 20}}, {dmpBottom, paRight, {31, 20}}, {dmpBottom, paCenter, {15, 20}},
        {dmpRight, paLeft, {30, -1}},  {dmpRight, paRight, {-1, -1}},  {dmpRight, paCenter, {15, 20}},
    };
    for (const Row& row : rows) {
        button->SetMenuPosition(row.position);
        SetMenuAlignment(&menu, row.alignment);
        EXPECT_EQ(button->MenuAnchor(), row.anchor) << row.position << "/" << row.alignment;
    }
}

TEST_F(Form, ADoubleClickFiresOnlyOnADownButton) {
    TZlSpeedButton* ungrouped = Button(QRect(10, 10, 25, 25));
    TZlSpeedButton* grouped = Button(QRect(40, 10, 25, 25));
    grouped->SetGroupIndex(1);
    QSignalSpy ungroupedDouble(ungrouped, &TZlSpeedButton::OnDblClick);
    QSignalSpy groupedDouble(grouped, &TZlSpeedButton::OnDblClick);
    QTest::mouseDClick(ungrouped, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(grouped, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseDClick(grouped, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(ungroupedDouble.count(), 0);
    EXPECT_EQ(groupedDouble.count(), 1);
}

TEST_F(Form, DefaultsAndPropertyLimits) {
    TZlSpeedButton* button = Button();
    EXPECT_EQ(button->InitPause(), 500);
    EXPECT_EQ(button->RepeatInterval(), 100);
    EXPECT_EQ(button->Spacing(), 1);
    EXPECT_EQ(button->Margin(), -1);
    EXPECT_EQ(button->Layout(), blGlyphTop);
    EXPECT_EQ(button->Style(), bsAutoDetect);
    EXPECT_TRUE(button->GrayedInactive());
    EXPECT_TRUE(button->MarkDropDown());
    EXPECT_EQ(TZlSpeedButton().size(), QSize(25, 25));

    button->SetNumGlyphs(9);
    EXPECT_EQ(button->NumGlyphs(), 5);
    button->SetNumGlyphs(0);
    button->SetNumGlyphs(-3);
    EXPECT_EQ(button->NumGlyphs(), 5);
    button->SetInitPause(70000);
    EXPECT_EQ(button->InitPause(), 65535);
    button->SetRepeatInterval(-5);
    EXPECT_EQ(button->RepeatInterval(), 0);
    button->SetMargin(-2);
    EXPECT_EQ(button->Margin(), -1);
    button->SetMargin(3);
    button->SetMargin(-2);
    EXPECT_EQ(button->Margin(), 3);
}

TEST(PaintBevel, EachFrameOfTheTable) {
    struct Row {
        const char* name;
        bool down, flat;
        TButtonStyle style;
        // Pixels (0,0) (9,0) (0,9) (9,9) (1,1) (8,8) (8,1): F frame, H highlight, S shadow, B face,
        // M untouched.
        const char* pixels;
        QRect inside;
    };
    const std::vector<Row> rows = {
        {"down new flat", true, true, bsNew, "FHHHMMM", {2, 2, 6, 6}},
        {"down new", true, false, bsNew, "FHHHSBB", {3, 3, 4, 4}},
        {"down old flat", true, true, bsWin31, "FHHHMMM", {2, 2, 6, 6}},
        {"down old", true, false, bsWin31, "FFFFSMS", {2, 2, 6, 6}},
        {"up new flat", false, true, bsNew, "HSSSMMM", {2, 2, 6, 6}},
        {"up new", false, false, bsNew, "HFFFBSS", {3, 3, 4, 4}},
        {"up auto-detect is new", false, false, bsAutoDetect, "HFFFBSS", {3, 3, 4, 4}},
        {"up old flat", false, true, bsWin31, "HFFFMMM", {2, 2, 6, 6}},
        {"up old", false, false, bsWin31, "FFFFHSS", {3, 3, 4, 4}},
    };
    constexpr QRgb kUntouched = 0xFF123456;
    const QPoint at[] = {{0, 0}, {9, 0}, {0, 9}, {9, 9}, {1, 1}, {8, 8}, {8, 1}};
    for (const Row& row : rows) {
        QImage image(10, 10, QImage::Format_RGB32);
        image.fill(kUntouched);
        QPainter canvas(&image);
        const QRect inside =
            PaintBevel(canvas, image.rect(), row.down, row.flat, row.style, fixed::Palette());
        canvas.end();
        EXPECT_EQ(inside, row.inside) << row.name;
        for (int i = 0; i < 7; ++i) {
            const char want = row.pixels[i];
            const QRgb color = want == 'F'   ? fixed::kFrame
                               : want == 'H' ? fixed::kHighlight
                               : want == 'S' ? fixed::kShadow
                               : want == 'B' ? fixed::kFace
                                             : kUntouched;
            EXPECT_EQ(image.pixel(at[i]), color) << row.name << " at " << at[i].x() << "," << at[i].y();
        }
    }
}

TEST_F(Form, FacesUnderAFixedPalette) {
    TZlSpeedButton* button = Button();
    QImage face = Face(button);
    EXPECT_EQ(face.pixel(0, 0), fixed::kHighlight);
    EXPECT_EQ(face.pixel(24, 24), fixed::kFrame);
    EXPECT_EQ(face.pixel(1, 1), fixed::kFace);
    EXPECT_EQ(face.pixel(23, 23), fixed::kShadow);

    // Latched: the pressed frame and the checkered fill inside it.
    button->SetGroupIndex(1);
    button->SetDown(true);
    face = Face(button);
    EXPECT_EQ(face.pixel(0, 0), fixed::kFrame);
    EXPECT_EQ(face.pixel(2, 2), fixed::kHighlight);
    EXPECT_EQ(face.pixel(3, 2), fixed::kFace);
    EXPECT_EQ(face.pixel(3, 3), fixed::kHighlight);

    // Flat and latched at rest: still the frame and the fill.
    button->SetFlat(true);
    face = Face(button);
    EXPECT_EQ(face.pixel(0, 0), fixed::kFrame);
    EXPECT_EQ(face.pixel(24, 24), fixed::kHighlight);
    EXPECT_EQ(face.pixel(1, 1), fixed::kHighlight);
    EXPECT_EQ(face.pixel(2, 1), fixed::kFace);

    // Flat at rest: no frame at all.
    button->SetAllowAllUp(true);
    button->SetDown(false);
    face = Face(button);
    for (QPoint p : {QPoint(0, 0), QPoint(24, 24), QPoint(1, 1), QPoint(23, 23)})
        EXPECT_EQ(face.pixel(p), fixed::kFace) << p.x() << "," << p.y();
}

// A solid red 4 x 4 glyph; the first red pixel of a face tells where it went.
TBitmap RedGlyph() {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 0));
    TBitmap glyph(image);
    glyph.TransparentColorSet = clFuchsia;
    return glyph;
}

QPoint FirstPixel(const QImage& image, QRgb color) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == color) return QPoint(x, y);
    return QPoint(-1, -1);
}

TEST_F(Form, ThePressedFaceMovesTheGlyphOneRightAndDown) {
    TZlSpeedButton* button = Button();
    button->SetGlyph(RedGlyph());
    const QPoint up = FirstPixel(Face(button), qRgb(255, 0, 0));
    ASSERT_NE(up, QPoint(-1, -1));
    Press(button);
    EXPECT_EQ(FirstPixel(Face(button), qRgb(255, 0, 0)), up + QPoint(1, 1));
    Release(button);
}

TEST_F(Form, AFlatButtonAtRestShowsItsGreyImageUnlessGreyingIsOff) {
    TZlSpeedButton* button = Button();
    button->SetGlyph(RedGlyph());
    button->SetFlat(true);
    const int gray = 77 * 255 / 256;
    EXPECT_NE(FirstPixel(Face(button), qRgb(gray, gray, gray)), QPoint(-1, -1));
    EXPECT_EQ(FirstPixel(Face(button), qRgb(255, 0, 0)), QPoint(-1, -1));
    button->SetGrayedInactive(false);
    EXPECT_NE(FirstPixel(Face(button), qRgb(255, 0, 0)), QPoint(-1, -1));
}

TEST_F(Form, TheCaptionTakesTheFontColour) {
    TZlSpeedButton* button = Button(QRect(10, 10, 60, 30));
    button->SetCaption("WWW");
    const auto purplish = [](const QImage& face) {
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x) {
                const QRgb p = face.pixel(x, y);
                if (qRed(p) > 90 && qBlue(p) > 90 && qGreen(p) < 40) return true;
            }
        return false;
    };
    EXPECT_FALSE(purplish(Face(button)));
    button->SetFontColor(clPurple);
    EXPECT_EQ(button->FontColor(), clPurple);
    EXPECT_TRUE(purplish(Face(button)));
}

TEST_F(Form, TheDropMarkOfAnEmptyButtonIsCentred) {
    TZlSpeedButton* button = Button();
    QMenu menu;
    button->SetDropDownMenu(&menu);
    const QImage face = Face(button);
    for (QPoint p : {QPoint(9, 11), QPoint(15, 11), QPoint(10, 12), QPoint(12, 14)})
        EXPECT_EQ(face.pixel(p), fixed::kText) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(8, 11), QPoint(16, 11), QPoint(9, 12), QPoint(12, 15)})
        EXPECT_EQ(face.pixel(p), fixed::kFace) << p.x() << "," << p.y();
    button->SetMarkDropDown(false);
    EXPECT_EQ(Face(button).pixel(12, 12), fixed::kFace);
}

TEST(Render, TheMarkSitsThreePixelsRightOfTheCaption) {
    TZlButtonGlyph glyph;
    glyph.SetPalette(fixed::Palette());
    QImage image(120, 30, QImage::Format_RGB32);
    image.fill(fixed::kFace);
    QPainter canvas(&image);
    canvas.setPen(QColor::fromRgb(fixed::kText));
    const QRect caption =
        glyph.Render(canvas, QRect(0, 0, 120, 30), "Ab", blGlyphTop, -1, 1, true, sfUp, Qt::AlignHCenter);
    canvas.end();
    ASSERT_GT(caption.width(), 0);
    const QPoint mark(caption.left() + caption.width() + 3, caption.top() + caption.height() / 2);
    EXPECT_EQ(image.pixel(mark.x(), mark.y() - 1), fixed::kText);
    EXPECT_EQ(image.pixel(mark.x() + 6, mark.y() - 1), fixed::kText);
    EXPECT_EQ(image.pixel(mark.x() - 1, mark.y() - 1), fixed::kFace);
}

TEST(Render, ACaptionTooWideForTheRoomIsShortened) {
    TZlButtonGlyph glyph;
    QImage image(40, 20, QImage::Format_RGB32);
    QPainter canvas(&image);
    const QFontMetrics metrics(canvas.font());
    const QString caption = "A caption far too wide for forty pixels";
    EXPECT_EQ(glyph.FitCaption(caption, 40, [&](const QString& t) { return metrics.horizontalAdvance(t); })
                  .right(3),
              "...");
    const QRect shown =
        glyph.Render(canvas, QRect(0, 0, 40, 20), caption, blGlyphLeft, -1, -1, false, sfUp, 0);
    EXPECT_LE(shown.width(), 40);
    glyph.WrapText = true;
    EXPECT_EQ(glyph.FitCaption(caption, 40, [&](const QString& t) { return metrics.horizontalAdvance(t); }),
              caption);
}

TEST_F(Form, TransparentShowsTheParentsBackground) {
    auto* backdrop = new QWidget(&form);
    backdrop->setGeometry(0, 0, 100, 60);
    QPalette red = fixed::Palette();
    red.setColor(QPalette::Window, Qt::red);
    backdrop->setPalette(red);
    backdrop->setAutoFillBackground(true);
    backdrop->show();
    auto* button = new TZlSpeedButton(backdrop);
    button->setGeometry(10, 10, 25, 25);
    button->SetFlat(true);
    button->show();
    EXPECT_EQ(Face(button).pixel(0, 0), fixed::kFace);
    button->SetTransparent(true);
    EXPECT_EQ(Face(button).pixel(0, 0), qRgb(255, 0, 0));
}

TEST_F(Form, DisablingShowsTheDisabledFaceAndEnablingRestoresTheLatchedOne) {
    TZlSpeedButton* button = Button();
    button->SetGlyph(RedGlyph());
    button->SetGroupIndex(1);
    button->SetDown(true);
    button->setEnabled(false);
    // The image of the new starting face is prepared at once.
    EXPECT_NE(button->GlyphPainter().StateIndex(sfDisabled), -1);
    Face(button);
    EXPECT_EQ(button->FaceState(), sfDisabled);
    button->setEnabled(true);
    Face(button);
    EXPECT_EQ(button->FaceState(), sfExclusive);
}

TEST_F(Form, LoadedPreparesTheStartingFace) {
    TZlSpeedButton* button = Button();
    button->SetGlyph(RedGlyph());
    button->SetFlat(true);
    button->Loaded();
    EXPECT_NE(button->GlyphPainter().StateIndex(sfInactive), -1);
    EXPECT_EQ(button->GlyphPainter().StateIndex(sfUp), -1);
}

TEST_F(Form, APaletteChangeDropsThePreparedImages) {
    TZlSpeedButton* button = Button();
    button->SetGlyph(RedGlyph());
    Face(button);
    ASSERT_NE(button->GlyphPainter().StateIndex(sfUp), -1);
    QPalette other = fixed::Palette();
    other.setColor(QPalette::Button, Qt::green);
    button->setPalette(other);
    EXPECT_EQ(button->GlyphPainter().StateIndex(sfUp), -1);
    EXPECT_EQ(Face(button).pixel(1, 1), qRgb(0, 255, 0));
}

TEST_F(Form, HoverTracksTheMouseAndTheCursor) {
    TZlSpeedButton* button = Button();
    button->SetFlat(true);
    QSignalSpy entered(button, &TZlSpeedButton::OnMouseEnter);
    QSignalSpy left(button, &TZlSpeedButton::OnMouseLeave);

    // On a real display the pointer moves in the server's time: wait for what it brings.
    QTest::mouseMove(button, QPoint(5, 5));
    EXPECT_TRUE(QTest::qWaitFor([&] { return button->Hovered(); }));
    EXPECT_EQ(entered.count(), 1);
    EXPECT_EQ(Face(button).pixel(0, 0), fixed::kHighlight);
    QTest::mouseMove(&form, QPoint(150, 80));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !button->Hovered(); }));
    EXPECT_EQ(left.count(), 1);

    QCursor::setPos(button->mapToGlobal(QPoint(5, 5)));
    button->RecheckHover();
    EXPECT_TRUE(button->Hovered());
    button->setEnabled(false);
    EXPECT_FALSE(button->Hovered());
    EXPECT_EQ(left.count(), 2);
}

TEST_F(Form, FlashAndClickShowsThePressAndClicksOnce) {
    TZlSpeedButton* button = Button();
    std::vector<TSpeedFaceState> seen;
    QObject::connect(button, &TZlSpeedButton::OnClick, [&] { seen.push_back(button->FaceState()); });
    QElapsedTimer elapsed;
    elapsed.start();
    button->FlashAndClickButton();
    EXPECT_GE(elapsed.elapsed(), 20);
    EXPECT_EQ(seen, std::vector<TSpeedFaceState>{sfDown});
    EXPECT_EQ(button->FaceState(), sfUp);

    button->SetGroupIndex(1);
    button->FlashAndClickButton();
    EXPECT_TRUE(button->Down());
    EXPECT_EQ(button->FaceState(), sfExclusive);
    button->FlashAndClickButton(); // kept down by its group
    EXPECT_TRUE(button->Down());
    EXPECT_EQ(button->FaceState(), sfExclusive);
    EXPECT_EQ(seen.size(), 3u);

    button->setEnabled(false);
    button->FlashAndClickButton();
    QMenu menu;
    button->setEnabled(true);
    button->SetDropDownMenu(&menu);
    button->FlashAndClickButton();
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(Form, AFlashWhoseClickRaisesStillRestoresTheFace) {
    TZlSpeedButton* button = Button();
    QObject::connect(button, &TZlSpeedButton::OnClick, [] { throw std::runtime_error("refused"); });
    EXPECT_THROW(button->FlashAndClickButton(), std::runtime_error);
    EXPECT_EQ(button->FaceState(), sfUp);
}

TEST_F(Form, TheCaptionsAcceleratorClicksAnEnabledButton) {
    TZlSpeedButton* button = Button();
    button->SetCaption("&Go");
    QSignalSpy clicks(button, &TZlSpeedButton::OnClick);
    QTest::keyClick(&form, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    button->setEnabled(false);
    QTest::keyClick(&form, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(ModalResult, AClickEndsTheDialogWithTheButtonsResult) {
    QDialog dialog;
    auto* ok = new TZlSpeedButton(&dialog);
    auto* neutral = new TZlSpeedButton(&dialog);
    neutral->move(30, 0);
    ok->SetModalResult(QDialog::Accepted);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(neutral, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(ok, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(Form, AnActionGivesCaptionCheckedStateAndGlyphAndIsTriggeredByTheClick) {
    TZlSpeedButton* button = Button();
    button->SetGroupIndex(1);
    QAction action("Step");
    action.setCheckable(true);
    action.setChecked(true);
    QPixmap icon(16, 16);
    icon.fill(Qt::blue);
    action.setIcon(QIcon(icon));
    button->SetAction(&action);
    EXPECT_EQ(button->Caption(), "Step");
    EXPECT_TRUE(button->Down());
    EXPECT_EQ(button->Glyph().Image.size(), QSize(16, 16));
    EXPECT_EQ(button->Glyph().TransparentColor(), clFuchsia);

    // Triggering the checkable action unchecks it, and the button follows.
    button->SetAllowAllUp(true);
    QSignalSpy triggered(&action, &QAction::triggered);
    button->Click();
    EXPECT_EQ(triggered.count(), 1);
    EXPECT_FALSE(action.isChecked());
    EXPECT_FALSE(button->Down());
}

} // namespace
