#include "app/BrinovaAPI.h"

#include "TempFolder.h"
#include "support/RecordingShell.h"

#include <QWidget>
#include <gtest/gtest.h>

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

} // namespace
