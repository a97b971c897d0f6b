#include "platform/Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QObject>
#include <gtest/gtest.h>

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
