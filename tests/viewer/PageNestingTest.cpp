#include "viewer/PageNesting.h"

#include <QString>
#include <gtest/gtest.h>

namespace {

QString Repeated(const QString& text, int times) {
    QString all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

TEST(PageNesting, CountsAsTheParserNests) {
    struct Case {
        const char* name;
        QString html;
        int depth;
    };
    const Case cases[] = {
        {"text only", "no tags < here", 0},
        {"flat", "<p>a</p><p>b</p>", 1},
        {"closed in order", "<html><body><div><b>x</b></div></body></html>", 4},
        {"void and self-closed", "<div><br><hr size=2><img src=x><span/></div>", 2},
        {"end tag closes what it holds", "<div><b><i>x</div><p>y</p>", 3},
        {"stray end tag", "</table></td><div>x</div>", 1},
        {"unclosed cells and rows", "<table><tr><td>a<td>b<tr><td>c<td>d</table><p>e", 3},
        {"unclosed paragraphs and items", "<p>a<p>b<p>c<ul><li>1<li>2<li>3</ul>", 3},
        {"comment, declaration, quotes",
         "<!DOCTYPE html><!-- <div><div> --><a title=\"<b><b>\" href='>'>x</a>", 1},
        {"script and style text",
         "<style>div { } <div><div></style><script>if (a<b) { '<div>' }</script><i>x</i>", 1},
        {"upper case", "<TABLE><TR><TD>x</td></tr></table>", 3},
        {"unclosed at the end", "<div><div", 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(viewer::PageNesting(c.html), c.depth) << c.name;
}

TEST(PageNesting, TheAdvicePageIsWellWithinTheLimit) {
    // The frame of the engine's page: its deepest places are the body block and the result table.
    const QString page =
        "<html><body><table align=\"center\" width=\"600\" border=\"0\" cellpadding=\"0\" "
        "cellspacing=\"0\"><tr><td>\r\n"
        "<hr size=2 color=\"#EEEEEE\">\r\n"
        "<table width=\"100%\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\">\r\n"
        "<tr><td align=\"left\" valign=\"top\">\r\n<div align=\"left\" style=\"font-size: 14pt\">\r\n"
        "<b>Swimming Pool</b></div></td>\r\n</td></tr></table>\r\n"
        "<p><div align=\"left\" style=\"font-size: 11pt; background: #EEEEEE\">\r\nStaining\r\n</div></p>\r\n"
        "<table width=\"600\" border=\"0\" cellpadding=\"2\" cellspacing=\"2\">\r\n"
        "<tr bgcolor=\"#99FFFF\" style=\"font-size: 11pt\" nowrap>\r\n"
        "<td><A href=\"#t1\"><b>Total Alkalinity</b></A></td>\r\n</tr>\r\n</table>\r\n"
        "</td></tr></table></body></html>\r\n";
    EXPECT_EQ(viewer::PageNesting(page), 10);
}

TEST(PageNesting, StopsCountingPastTheLimit) {
    const QString tables = Repeated("<table><tr><td>", 3000) + "deep" + Repeated("</td></tr></table>", 3000);
    EXPECT_EQ(viewer::PageNesting(tables), viewer::kMaxPageNesting + 1);
    EXPECT_EQ(viewer::PageNesting(Repeated("<b>", 10), 5), 6);
    EXPECT_EQ(viewer::PageNesting(Repeated("<b>", 5), 5), 5);
}

} // namespace
