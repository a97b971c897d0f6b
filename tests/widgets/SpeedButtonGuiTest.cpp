#include "widgets/SpeedButton.h"

#include "FixedPalette.h"

#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace widgets;

namespace {

struct ButtonOnForm : ::testing::Test {
    QWidget form;
    TZlSpeedButton* button = new TZlSpeedButton(&form);

    void SetUp() override {
        form.resize(200, 100);
        form.setPalette(fixed::Palette());
        button->setGeometry(10, 10, 25, 25);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
};

TEST_F(ButtonOnForm, ReleaseOnTheRowBelowStillClicksOneRightOfTheEdgeDoesNot) {
    QSignalSpy clicks(button, &TZlSpeedButton::OnClick);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(button->FaceState(), sfDown);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 25));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button->FaceState(), sfUp);

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(25, 5));
    EXPECT_EQ(clicks.count(), 1);
}

} // namespace
