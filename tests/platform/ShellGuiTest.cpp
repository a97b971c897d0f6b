#include "platform/Shell.h"

#include "TempFolder.h"
#include "support/RecordingMessageBoxes.h"

#include <QDesktopServices>
#include <QDir>
#include <QObject>
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

// Stands where the desktop's browser would be started, so the real shell can be watched.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> caught;
public slots:
    void Catch(const QUrl& url) { caught.push_back(url); }
};

class OtherShell final : public platform::Shell {
public:
    bool Open(const QUrl&) override { return false; }
};

TEST(Shell, DesktopShellHandsTheAddressToTheDesktop) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Catch");
    const QUrl page(QStringLiteral("https://www.example.com/a?b=c%2B"));
    EXPECT_TRUE(platform::CurrentShell().Open(page));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    ASSERT_EQ(catcher.caught.size(), 1u);
    EXPECT_EQ(catcher.caught[0], page);
}

// A desktop with no program to open a page (no browser, not even xdg-open on the search path):
// the real shell's open fails, and the box names the page.
TEST(Shell, ADesktopWithNoProgramForThePageSaysSoInABox) {
    test::TempFolder folder;
    const std::string page = folder.File("zelreslt.htm");
    std::ofstream(page) << "<html></html>";
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(folder.Path()));
    const QByteArray browser = qgetenv("BROWSER");
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");
    RecordingMessageBoxes boxes;
    platform::OpenOrReport(platform::FileUrl(page));
    platform::OpenOrReport(QUrl(QStringLiteral("https://www.example.com/a")));
    qputenv("PATH", path);
    if (!browser.isEmpty()) qputenv("BROWSER", browser);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_EQ(boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(boxes.shown[0].text,
              QString::fromStdString("The page \"" + page +
                                     "\" could not be opened: no program to show it was found."));
    EXPECT_TRUE(boxes.shown[1].text.contains("\"https://www.example.com/a\""))
        << boxes.shown[1].text.toStdString();
}

TEST(Shell, TestsInstallAndRestoreTheirOwn) {
    OtherShell other;
    platform::Shell* desktop = platform::SetShell(&other);
    EXPECT_EQ(&platform::CurrentShell(), &other);
    EXPECT_EQ(platform::SetShell(nullptr), &other);
    EXPECT_EQ(&platform::CurrentShell(), desktop);
}

TEST(Shell, FileUrlIsAbsoluteAndKeepsTheFileSystemsBytes) {
    EXPECT_EQ(platform::FileUrl("/tmp/a b/zelreslt.htm").toString(QUrl::FullyEncoded),
              QStringLiteral("file:///tmp/a%20b/zelreslt.htm"));
    EXPECT_EQ(platform::FileUrl("zelreslt.htm").toLocalFile(),
              QDir::current().absoluteFilePath("zelreslt.htm"));
    EXPECT_EQ(platform::FileUrl("/tmp/\xC3\xA9t\xC3\xA9.htm").toLocalFile(),
              QString::fromUtf8("/tmp/\u00E9t\u00E9.htm"));
}

} // namespace

#include "ShellGuiTest.moc"
