#include "app/fAbout.h"

#include "app/BrinovaAPI.h"
#include "support/RecordingShell.h"
#include "support/Screenshots.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QLabel* Label(const QWidget& form, const char* name) {
    QLabel* label = form.findChild<QLabel*>(QString::fromLatin1(name));
    EXPECT_NE(label, nullptr) << name;
    return label;
}

std::unique_ptr<TAbout> OpenAbout() {
    auto form = std::make_unique<TAbout>();
    form->show();
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    return form;
}

TEST(AboutForm, LinksOpenTheHomePageAndTheContactMail) {
    const QUrl home(QString::fromLatin1(kHomePageAddress));
    const QUrl mail(QString::fromLatin1(kContactMailAddress));
    const std::vector<std::pair<const char*, std::vector<QUrl>>> cases = {
        {"Label5", {home}},                                     // the large product name
        {"Label3", {home}}, {"Label4", {mail}}, {"Label2", {}}, // the description is no link
        {"LabelVer", {}},
    };
    auto form = OpenAbout();
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        RecordingShell shell;
        QTest::mouseClick(Label(*form, name), Qt::LeftButton);
        EXPECT_EQ(shell.opened, expected);
    }
    EXPECT_TRUE(form->isVisible());
}

TEST(AboutForm, ATagNamingNoLinkOpensNothing) {
    TAbout form;
    RecordingShell shell;
    QObject untagged;
    QObject tagged;
    tagged.setProperty("Tag", 3);
    form.InetClick(&untagged);
    form.InetClick(&tagged);
    form.InetClick(nullptr);
    EXPECT_TRUE(shell.opened.empty());
}

TEST(AboutForm, ShowsTheProductAndItsAddresses) {
    TAbout form;
    EXPECT_EQ(form.windowTitle(), "About Brinova Vesk+");
    EXPECT_EQ(form.size(), QSize(493, 373));
    EXPECT_EQ(Label(form, "Label5")->text(), "Brinova Vesk+");
    EXPECT_EQ(Label(form, "Label3")->text(), QString::fromLatin1(kHomePageAddress));
    EXPECT_EQ(Label(form, "Label4")->text(), "e-Mail: brinova-vesk@example.com");
    EXPECT_EQ(Label(form, "Label2")->text().count("Brinova Vesk"), 2);
}

TEST(AboutForm, EnterAndEscBothCloseWithOk) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        SCOPED_TRACE(key);
        auto form = OpenAbout();
        QTest::keyClick(form->findChild<QPushButton*>("Button"), key);
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(form->result(), QDialog::Accepted);
    }
}

TEST(AboutForm, ShowAboutIsModalWithTheVersionAndFreesTheForm) {
    QPointer<QWidget> shown;
    QString version;
    QTimer::singleShot(0, [&] {
        shown = QApplication::activeModalWidget();
        ASSERT_NE(shown, nullptr);
        version = Label(*shown, "LabelVer")->text();
        test::SaveScreenshot(*shown, "fAbout");
        QTest::keyClick(shown, Qt::Key_Escape);
    });
    ShowAbout("version 8.82");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(version, "version 8.82");
    EXPECT_TRUE(shown.isNull());
}

TEST(MailboxOf, TakesTheAddressOutOfAMailtoLink) {
    EXPECT_EQ(MailboxOf("mailto:a@b.example?subject=x"), "a@b.example");
    EXPECT_EQ(MailboxOf("mailto:a@b.example"), "a@b.example");
    EXPECT_EQ(MailboxOf("a@b.example"), "a@b.example");
}

} // namespace
