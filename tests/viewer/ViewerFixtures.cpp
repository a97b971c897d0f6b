#include "ViewerFixtures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <gtest/gtest.h>

QString PageFolder::Write(const QString& name, const std::string& bytes) {
    const QString path = Path() + "/" + name;
    EXPECT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return path;
}

std::string LinkedPage(const std::string& marker) {
    std::string page = "<html><body><table align=\"center\" width=\"600\"><tr><td>"
                       "<div style=\"font-size: 24pt\"><b>" +
                       marker +
                       "</b></div>"
                       "<p><A href=\"#t1\">Total Alkalinity</A></p>"
                       "<p>Water 25 \xB0"
                       "C \x96 fine</p>";
    for (int i = 0; i < 80; ++i)
        page += "<p>filler line</p>";
    page += "<A name=\"t1\"></A><p><b>Total Alkalinity section</b></p>";
    for (int i = 0; i < 80; ++i)
        page += "<p>more filler</p>";
    page += "</td></tr></table></body></html>";
    return page;
}

std::uintptr_t WhileModal(const std::function<std::uintptr_t()>& call,
                          const std::function<void(QWidget&)>& inspect) {
    bool inspected = false;
    QTimer::singleShot(0, [&] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal) {
            ADD_FAILURE() << "no modal viewer is open";
        } else {
            inspected = true;
            inspect(*modal);
        }
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->isModal()) window->close();
    });
    const std::uintptr_t handle = call();
    EXPECT_TRUE(inspected);
    return handle;
}

void ClickText(QTextBrowser& browser, const QString& text) {
    QTextCursor found = browser.document()->find(text);
    ASSERT_FALSE(found.isNull()) << text.toStdString();
    QTextCursor inside(browser.document());
    inside.setPosition(found.selectionStart() + 1);
    const QPoint at = browser.cursorRect(inside).center();
    QTest::mouseClick(browser.viewport(), Qt::LeftButton, Qt::NoModifier, at);
}
