#include "app/BrinovaAPI.h"
#include "app/BrinovaDB.h"
#include "app/TestEdit.h"
#include "app/fAbout.h"
#include "app/fOwner.h"
#include "app/fZELP.h"

#include "TempFolder.h"
#include "support/RecordingMessageBoxes.h"
#include "support/RecordingShell.h"
#include "support/ServerFrames.h"
#include "support/WhileModal.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>

namespace {

std::uintptr_t viewerParent = 0;

std::uintptr_t FakeViewer(std::uintptr_t parent, const char*) {
    viewerParent = parent;
    return 1;
}

class FormPositionTest : public ::testing::Test {
protected:
    void SetUp() override { SetConfigurationFile(folder.File("zelplus.ini")); }
    void TearDown() override { SetConfigurationFile("zelplus.ini"); }
    test::TempFolder folder;
};

TEST_F(FormPositionTest, MainWindowGetsBackWhereItWas) {
    QWidget closing;
    closing.setGeometry(120, 80, 640, 480);
    ASSERT_TRUE(SaveFormPosition(closing));

    QWidget opening;
    opening.setGeometry(0, 0, 300, 200);
    LoadFormPosition(opening);
    EXPECT_EQ(opening.pos(), closing.pos());
    EXPECT_EQ(opening.size(), QSize(640, 480));
}

TEST_F(FormPositionTest, NothingStoredKeepsTheWindowAsItIs) {
    QWidget window;
    window.setGeometry(30, 40, 500, 400);
    const QPoint position = window.pos();
    LoadFormPosition(window);
    EXPECT_EQ(window.pos(), position);
    EXPECT_EQ(window.size(), QSize(500, 400));
}

TEST_F(FormPositionTest, ViewerOpensOverTheOwnersWindow) {
    const TResultViewer previous = SetResultViewer(&FakeViewer);
    ASSERT_TRUE(WriteUseViewer(true));
    QWidget mainWindow;
    QWidget* child = new QWidget(&mainWindow);
    ShowResult(child);
    EXPECT_EQ(viewerParent, static_cast<std::uintptr_t>(mainWindow.winId()));
    SetResultViewer(previous);
}

// ---- Frames as the window manager draws them ------------------------------------------------

// The main window without its offer of a first body over the empty data file.
class QuietZELP : public TZELP {
public:
    void NewbodyofWater1Click() override {}
};

// Twice the centre of a rectangle, so that an odd size loses no half pixel.
QPoint DoubleCentre(const QRect& r) {
    return {2 * r.x() + r.width(), 2 * r.y() + r.height()};
}

// A picture's name with where it was taken: "-wm" under a window manager, else the platform.
QString ShotName(const char* name) {
    return QString::fromLatin1(name) + u'-' +
           (test::UnderWindowManager() ? QStringLiteral("wm") : QGuiApplication::platformName());
}

// Runs `open`, which shows a modal form, and hands the form to `inspect` once it is framed;
// then closes it.
bool WhileFramed(const std::function<void()>& open, const std::function<void(QWidget&)>& inspect) {
    return test::WhileModal(open, [&](QWidget& modal) {
        EXPECT_TRUE(test::WaitForFrame(modal));
        inspect(modal);
    });
}

// The main window over an empty data folder and a configuration of the test's own, its frame
// read from the X server (under a window manager, the frame it drew).
class MainWindowFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(StartBrinovaDB()); }
    static void TearDownTestSuite() { StopBrinovaDB(); }
    void SetUp() override {
        SetProgramFolder(root + "/");
        SetConfigurationFile(root + "/zelplus.ini");
        ASSERT_TRUE(EnsureDataFolder());
    }
    void TearDown() override {
        SetProgramFolder("");
        SetConfigurationFile("zelplus.ini");
    }
    static void ShowFramed(QWidget& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(test::WaitForFrame(window));
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    test::TempFolder folder;
    const std::string root = folder.Path();
    RecordingMessageBoxes boxes;
    RecordingShell shell;
};

// Each form's frame stands centred on the main window's frame, title bars included.
TEST_F(MainWindowFrameTest, FormsStandWithTheirFrameCentredOnTheMainWindowsFrame) {
    ASSERT_TRUE(SaveFormPosition(TFormBounds{150, 120, 700, 520}));
    QuietZELP window;
    ShowFramed(window);
    const QRect main = test::ServerFrame(window);
    TBodyData body;
    TTestData test;
    TCallTestParams params;
    params.caption = "Edit body of water";
    params.body = &body;
    params.test = &test;
    struct Case {
        const char* name;
        std::function<void()> open;
    };
    const Case cases[] = {
        {"body-only form", [&] { EditBodyOnly(params); }},
        {"test form", [&] { EditNewBodyAndTest(params); }},
        {"Parameters", [&] { ShowParameters(&window); }},
        {"About", [&] { ShowAbout(QStringLiteral("Version 1.0"), &window); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QRect settled;
        const bool opened = WhileFramed(c.open, [&](QWidget& form) {
            QTest::qWait(150); // time for a move after the frame is known
            settled = test::ServerFrame(form);
            if (c.name == cases[0].name) test::SaveScreenScreenshot(ShotName("form-centred-on-main-window"));
        });
        ASSERT_TRUE(opened);
        const QPoint off = DoubleCentre(settled) - DoubleCentre(main);
        EXPECT_LE(std::abs(off.x()), 2) << "frame " << settled.x() << "," << settled.y() << " "
                                        << settled.width() << "x" << settled.height() << " over " << main.x()
                                        << "," << main.y() << " " << main.width() << "x" << main.height();
        EXPECT_LE(std::abs(off.y()), 2) << "frame " << settled.x() << "," << settled.y() << " "
                                        << settled.width() << "x" << settled.height() << " over " << main.x()
                                        << "," << main.y() << " " << main.width() << "x" << main.height();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
}

// A stored position off the screen brings the frame back to left 100 and top 10: the whole
// title bar on the screen.
TEST_F(MainWindowFrameTest, AStoredPositionOffTheScreenBringsTheFrameBackToLeft100Top10) {
    ASSERT_TRUE(SaveFormPosition(TFormBounds{2000, 2000, 620, 480}));
    QuietZELP window;
    ShowFramed(window);
    QTest::qWait(50);
    EXPECT_EQ(test::ServerFrame(window).topLeft(), QPoint(100, 10));
    EXPECT_EQ(test::ServerInside(window).size(), QSize(620, 480));
    test::SaveScreenScreenshot(ShotName("main-window-after-off-screen-start"));
}

// The window manager maximises the window; each Exit keeps the stored normal position and size.
TEST_F(MainWindowFrameTest, ThreeMaximisedExitsKeepTheStoredPositionAndSize) {
    ASSERT_TRUE(SaveFormPosition(TFormBounds{99, 60, 620, 480}));
    for (int exit = 1; exit <= 3; ++exit) {
        SCOPED_TRACE(exit);
        QuietZELP window;
        ShowFramed(window);
        EXPECT_EQ(test::ServerFrame(window).topLeft(), QPoint(99, 60));
        const QRect normal = test::ServerFrame(window);
        window.showMaximized();
        // Qt's own idea of the maximised frame may lag behind the server's; its inside does not.
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return window.isMaximized() &&
                   (!test::UnderWindowManager() ||
                    (test::ServerFrame(window) != normal && window.geometry() == test::ServerInside(window)));
        }));
        window.Exit1Click();
        const TFormBounds stored = LoadFormPosition(TFormBounds{});
        EXPECT_EQ(QRect(stored.left, stored.top, stored.width, stored.height), QRect(99, 60, 620, 480));
    }
}

} // namespace
