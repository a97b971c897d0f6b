#include "ViewerFixtures.h"
#include "support/RecordingMessageBoxes.h"
#include "support/RecordingShell.h"
#include "viewer/ResultBrowser.h"

#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using viewer::ResultBrowser;

constexpr const char* kErrorPage = "The page cannot be displayed";

QString Repeated(const std::string& text, int times) {
    QString all;
    for (int i = 0; i < times; ++i)
        all += QString::fromStdString(text);
    return all;
}

// A browser on screen, as the viewer holds it.
struct ShownBrowser {
    ShownBrowser() {
        browser.resize(674, 500);
        browser.show();
    }
    void Show(const QString& path) { browser.Navigate(QUrl::fromLocalFile(path)); }
    QString Text() const { return browser.toPlainText(); }
    int Scrolled() const { return browser.verticalScrollBar()->value(); }
    // Lets the browser finish what it does between events (its layout, its cursor).
    static void Settle() { QTest::qWait(50); }

    ResultBrowser browser;
};

TEST(ResultBrowser, BackAndForwardReturnToWhereTheUserWas) {
    PageFolder folder;
    ShownBrowser shown;
    shown.Show(folder.Write("zelreslt.htm", LinkedPage("History")));
    shown.Settle();
    shown.browser.verticalScrollBar()->setValue(12);
    const int left = shown.Scrolled();
    ASSERT_GT(left, 0);
    ClickText(shown.browser, "Total Alkalinity");
    shown.Settle();
    const int anchor = shown.Scrolled();
    ASSERT_GT(anchor, left + 100);

    for (int round = 0; round < 2; ++round) {
        shown.browser.GoBack();
        shown.Settle();
        EXPECT_EQ(shown.Scrolled(), left) << "back, round " << round;
        shown.browser.GoForward();
        shown.Settle();
        EXPECT_EQ(shown.Scrolled(), anchor) << "forward, round " << round;
        EXPECT_EQ(shown.browser.source().fragment().toStdString(), "t1");
    }
}

TEST(ResultBrowser, LoadsPagesButNoOtherResource) {
    PageFolder folder;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(folder.Path() + "/picture.png"));
    folder.Write("style.css", "p { color: red }");
    const QString pipe = folder.Path() + "/pipe.png";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const std::string page = "<html><head><link rel=\"stylesheet\" href=\"style.css\"></head><body>"
                             "<p>the page itself</p><img src=\"picture.png\"><img src=\"pipe.png\">"
                             "<img src=\"" +
                             pipe.toStdString() +
                             "\"><img src=\"file:///dev/zero\">"
                             "<img src=\"/dev/zero\"><img src=\"/dev/urandom\">"
                             "<table background=\"picture.png\"><tr><td>cell</td></tr></table></body></html>";
    ShownBrowser shown;
    shown.Show(folder.Write("zelreslt.htm", page)); // laid out at once: a pipe read would wait for good
    shown.Settle();
    EXPECT_TRUE(shown.Text().contains("the page itself"));
    QTextDocument& document = *shown.browser.document();
    for (const QString& image :
         {QString("picture.png"), QString("pipe.png"), pipe, QString("file:///dev/zero"),
          QString("/dev/zero"), QString("/dev/urandom")}) {
        const QVariant loaded = document.resource(QTextDocument::ImageResource, QUrl(image));
        EXPECT_LE(qvariant_cast<QImage>(loaded).width(), 1) << image.toStdString();
        EXPECT_TRUE(loaded.toByteArray().isEmpty()) << image.toStdString();
    }
    EXPECT_TRUE(document.resource(QTextDocument::StyleSheetResource, QUrl("style.css")).toString().isEmpty());

    shown.Show(folder.Write("next.htm", "<html><body><p>still usable</p></body></html>"));
    EXPECT_EQ(shown.Text().toStdString(), "still usable");
}

TEST(ResultBrowser, APageNestedTooDeeplyGivesTheErrorPage) {
    PageFolder folder;
    ShownBrowser shown;
    for (int depth : {30, 3000}) {
        const QString page = "<html><body>" + Repeated("<table border=1><tr><td>", depth) + "innermost" +
                             Repeated("</td></tr></table>", depth) + "</body></html>";
        const QString path = folder.Write("zelreslt.htm", page.toStdString());
        shown.Show(path);
        shown.Settle();
        EXPECT_TRUE(shown.Text().contains(kErrorPage)) << depth;
        EXPECT_TRUE(shown.Text().contains(path)) << depth;
        EXPECT_FALSE(shown.Text().contains("innermost")) << depth;
    }
    shown.Show(folder.Write("zelreslt.htm", LinkedPage("Shown again")));
    EXPECT_TRUE(shown.Text().contains("Shown again"));
}

TEST(ResultBrowser, FollowsOnlyLinksWithinThePageAndItsFolder) {
    PageFolder folder;
    folder.Write("outside.htm", "<html><body><p>outside the folder</p></body></html>");
    folder.Write("pages/other.htm", "<html><body><p>the other page</p></body></html>");
    folder.Write("pages/sub/inner.htm", "<html><body><p>in a sub-folder</p></body></html>");
    QFile::link("/etc/passwd", folder.Path() + "/pages/passwd.htm");
    const QString main =
        folder.Write("pages/zelreslt.htm", "<html><body>"
                                           "<p><a href=\"other.htm\">same folder</a></p>"
                                           "<p><a href=\"file:///etc/passwd\">system file</a></p>"
                                           "<p><a href=\"../outside.htm\">folder above</a></p>"
                                           "<p><a href=\"sub/inner.htm\">sub-folder</a></p>"
                                           "<p><a href=\"passwd.htm\">link out</a></p>"
                                           "<p><a href=\"ftp://example.com/x\">other scheme</a></p>"
                                           "<p><a href=\"http://example.com/a\">plain web</a></p>"
                                           "<p><a href=\"HTTPS://example.com/b\">secure web</a></p>"
                                           "</body></html>");
    struct Case {
        const char* link;
        const char* shown;  // a text of the page then shown
        const char* opened; // the address handed to the shell, or ""
    };
    const Case cases[] = {
        {"same folder", "the other page", ""},
        {"system file", kErrorPage, ""},
        {"folder above", kErrorPage, ""},
        {"sub-folder", kErrorPage, ""},
        {"link out", kErrorPage, ""},
        {"other scheme", kErrorPage, ""},
        {"plain web", "same folder", "http://example.com/a"},
        {"secure web", "same folder", "https://example.com/b"},
    };
    for (const Case& c : cases) {
        RecordingShell shell;
        ShownBrowser shown;
        shown.Show(main);
        shown.Settle();
        ClickText(shown.browser, c.link);
        shown.Settle();
        EXPECT_TRUE(shown.Text().contains(c.shown)) << c.link << ": " << shown.Text().toStdString();
        EXPECT_FALSE(shown.Text().contains("root:")) << c.link;
        EXPECT_FALSE(shown.Text().contains("outside the folder")) << c.link;
        EXPECT_FALSE(shown.Text().contains("in a sub-folder")) << c.link;
        if (*c.opened) {
            ASSERT_EQ(shell.opened.size(), 1u) << c.link;
            EXPECT_EQ(shell.opened[0].toString().toStdString(), c.opened);
        } else {
            EXPECT_TRUE(shell.opened.empty()) << c.link;
            shown.browser.GoBack();
            EXPECT_TRUE(shown.Text().contains("same folder")) << "back from " << c.link;
        }
    }
}

} // namespace

namespace {

// A web link the desktop has no browser for is named in a box, not dropped without a word.
TEST(ResultBrowser, AWebLinkNoProgramCanOpenIsNamedInABox) {
    PageFolder folder;
    const QString main = folder.Write(
        "zelreslt.htm", "<html><body><p><a href=\"https://example.com/b\">secure web</a></p></body></html>");
    RecordingShell shell;
    shell.opens = false;
    RecordingMessageBoxes boxes;
    ShownBrowser shown;
    shown.Show(main);
    shown.Settle();
    ClickText(shown.browser, "secure web");
    shown.Settle();
    ASSERT_EQ(shell.opened.size(), 1u);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_TRUE(boxes.shown[0].text.contains("\"https://example.com/b\""))
        << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(shown.Text().contains("secure web"));
}

} // namespace
