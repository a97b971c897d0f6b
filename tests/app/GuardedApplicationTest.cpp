#include "app/GuardedApplication.h"
#include "support/RecordingMessageBoxes.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// The program's own application object, made for these tests as the program makes it, and
// gone before the process ends (Qt's own data is gone by then).
class GuardedApplicationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "GuardedApplicationTest";
        static char* argv[] = {name, nullptr};
        application = new TGuardedApplication(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Brinova Vesk+"));
    }
    static void TearDownTestSuite() {
        delete application;
        application = nullptr;
    }
    static inline TGuardedApplication* application = nullptr;
    RecordingMessageBoxes boxes;
};

TEST_F(GuardedApplicationTest, AnExceptionFromATimerIsShownAndTheLoopGoesOn) {
    bool later = false;
    QTimer::singleShot(0, [] { throw std::runtime_error("The disk is full."); });
    QTimer::singleShot(0, [] { throw 42; });
    QTimer::singleShot(5, [&] {
        later = true;
        QApplication::exit(7);
    });
    EXPECT_EQ(QApplication::exec(), 7);
    EXPECT_TRUE(later);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].caption, "Brinova Vesk+");
    EXPECT_EQ(boxes.shown[0].text, "The disk is full.");
    EXPECT_EQ(boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(boxes.shown[0].buttons, platform::MessageButtons::Ok);
    EXPECT_EQ(boxes.shown[1].text, "Unknown error.");
    EXPECT_EQ(boxes.shown[1].icon, platform::MessageIcon::Error);
}

TEST_F(GuardedApplicationTest, AnExceptionFromAClickIsShownAndTheNextClickStillWorks) {
    QPushButton button(QStringLiteral("Go"));
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        if (++clicks == 1) throw std::runtime_error("first click failed");
    });
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "first click failed");
    EXPECT_FALSE(button.isDown());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

} // namespace
