#include "ViewerFixtures.h"
#include "viewer/ViewerHeight.h"
#include "viewer/zelShowResult.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Calls the export on `path` over `parent` and inspects the viewer while it is open.
std::uintptr_t Show(const QString& path, const std::function<void(QWidget&)>& inspect,
                    std::uintptr_t parent = 0) {
    const QByteArray name = QFile::encodeName(path);
    return WhileModal([&] { return zelShowResult(parent, name.constData()); }, inspect);
}

QTextBrowser& Browser(QWidget& viewer) {
    return *viewer.findChild<QTextBrowser*>("brow");
}
QString Address(QWidget& viewer) {
    return viewer.findChild<QStatusBar*>("bar")->findChild<QLabel*>()->text();
}
void Click(QWidget& viewer, const char* button) {
    QTest::mouseClick(viewer.findChild<QToolButton*>(button), Qt::LeftButton);
}

TEST(zelShowResult, OpensModalOverTheCallerWithCaptionSizeAndAddress) {
    PageFolder folder;
    const QString path = folder.Write("zelreslt.htm", LinkedPage("Your record"));
    QWidget mainWindow;
    mainWindow.show();
    const auto parent = static_cast<std::uintptr_t>(mainWindow.winId());
    QPointer<QWidget> seen;
    std::uintptr_t seenHandle = 0;

    const std::uintptr_t handle = Show(
        path,
        [&](QWidget& viewer) {
            seen = &viewer;
            seenHandle = static_cast<std::uintptr_t>(viewer.winId());
            EXPECT_EQ(viewer.windowTitle().toStdString(), "Brinova Vesk+       T E S T    R E S U L T");
            EXPECT_EQ(viewer.parentWidget(), &mainWindow);
            EXPECT_FALSE(viewer.windowFlags() &
                         (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
            EXPECT_EQ(viewer.width(), 674);
            EXPECT_EQ(viewer.height(),
                      viewer::ViewerHeight(QGuiApplication::primaryScreen()->geometry().height()));
            EXPECT_EQ(Address(viewer), "file://" + path);
            EXPECT_TRUE(Browser(viewer).toPlainText().contains("Your record"));
        },
        parent);

    EXPECT_NE(handle, 0u);
    EXPECT_EQ(handle, seenHandle);
    EXPECT_TRUE(seen.isNull()) << "the viewer frees itself at its close";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(zelShowResult, AHandleOfNoWindowOfOursOpensTheViewerOnItsOwn) {
    PageFolder folder;
    const QString path = folder.Write("zelreslt.htm", LinkedPage("No parent"));
    const std::uintptr_t handle = Show(
        path,
        [&](QWidget& viewer) {
            EXPECT_EQ(viewer.parentWidget(), nullptr);
            EXPECT_TRUE(Browser(viewer).toPlainText().contains("No parent"));
        },
        0x7fff1234);
    EXPECT_NE(handle, 0u);
}

TEST(zelShowResult, EscInTheBrowserClosesTheViewer) {
    PageFolder folder;
    const QString path = folder.Write("zelreslt.htm", LinkedPage("Esc"));
    bool stillVisible = true;
    const std::uintptr_t handle = Show(path, [&](QWidget& viewer) {
        QTest::keyClick(&Browser(viewer), Qt::Key_Escape);
        stillVisible = viewer.isVisible();
    });
    EXPECT_FALSE(stillVisible);
    EXPECT_NE(handle, 0u);
}

TEST(zelShowResult, GoBackAndForwardFollowAnInPageLink) {
    PageFolder folder;
    const QString path = folder.Write("zelreslt.htm", LinkedPage("Links"));
    Show(path, [&](QWidget& viewer) {
        QTextBrowser& browser = Browser(viewer);
        ClickText(browser, "Total Alkalinity");
        EXPECT_EQ(browser.source().fragment().toStdString(), "t1");
        EXPECT_GT(browser.verticalScrollBar()->value(), 0);

        Click(viewer, "SpeedButton1");
        EXPECT_FALSE(browser.source().hasFragment());
        EXPECT_EQ(browser.source().toLocalFile(), path);
        EXPECT_EQ(browser.verticalScrollBar()->value(), 0);

        Click(viewer, "SpeedButton2");
        EXPECT_EQ(browser.source().fragment().toStdString(), "t1");
    });
}

TEST(zelShowResult, GoBackAndForwardWithoutHistoryDoNothing) {
    PageFolder folder;
    const QString path = folder.Write("zelreslt.htm", LinkedPage("Alone"));
    Show(path, [&](QWidget& viewer) {
        QTextBrowser& browser = Browser(viewer);
        Click(viewer, "SpeedButton1");
        Click(viewer, "SpeedButton2");
        EXPECT_TRUE(viewer.isVisible());
        EXPECT_EQ(browser.source().toLocalFile(), path);
        EXPECT_TRUE(browser.toPlainText().contains("Alone"));
    });
}

TEST(zelShowResult, ReadsThePageAsWindows1252) {
    PageFolder folder;
    const QString path = folder.Write("zelreslt.htm", LinkedPage("Bytes"));
    Show(path, [&](QWidget& viewer) {
        EXPECT_TRUE(Browser(viewer).toPlainText().contains(QString::fromUtf8("Water 25 °C – fine")))
            << Browser(viewer).toPlainText().left(200).toStdString();
    });
}

TEST(zelShowResult, MissingFileShowsAnErrorPageNamingIt) {
    PageFolder folder;
    const QString path = folder.Path() + "/gone.htm";
    Show(path, [&](QWidget& viewer) {
        const QString shown = Browser(viewer).toPlainText();
        EXPECT_TRUE(shown.contains("The page cannot be displayed")) << shown.toStdString();
        EXPECT_TRUE(shown.contains(path)) << shown.toStdString();
        EXPECT_EQ(Address(viewer), "file://" + path);
    });
}

TEST(zelShowResult, AHostilePageLeavesTheViewerUsable) {
    PageFolder folder;
    std::string nested;
    for (int i = 0; i < 3000; ++i)
        nested += "<table><tr><td>";
    const QString path = folder.Write("zelreslt.htm", "<html><body><img src=\"file:///dev/zero\">" + nested);
    bool closed = false;
    Show(path, [&](QWidget& viewer) {
        EXPECT_TRUE(Browser(viewer).toPlainText().contains("The page cannot be displayed"));
        Click(viewer, "SpeedButton1");
        QTest::keyClick(&Browser(viewer), Qt::Key_Escape);
        closed = !viewer.isVisible();
    });
    EXPECT_TRUE(closed);
}

TEST(zelShowResult, KeepsAPathOf300CharactersWhole) {
    PageFolder folder;
    QString name;
    while (folder.Path().size() + 1 + name.size() + 60 < 300)
        name += QString(49, 'd') + "/";
    name += QString(300 - folder.Path().size() - 1 - name.size() - 4, 'p') + ".htm";
    const QString path = folder.Write(name, LinkedPage("Deep page"));
    ASSERT_EQ(path.size(), 300);

    Show(path, [&](QWidget& viewer) {
        EXPECT_EQ(Address(viewer), "file://" + path);
        EXPECT_EQ(Browser(viewer).source().toLocalFile(), path);
        EXPECT_TRUE(Browser(viewer).toPlainText().contains("Deep page"));
    });
}

} // namespace
