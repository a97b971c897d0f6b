#include "ViewerFixtures.h"
#include "support/FileText.h"
#include "support/RecordingMessageBoxes.h"
#include "viewer/PrintChoice.h"
#include "viewer/ResultBrowser.h"
#include "viewer/fZelReslt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFrame>
#include <QPointer>
#include <QPrinter>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using viewer::TfmZelReslt;

// Answers the print question itself and sends a confirmed print to a PDF file.
class AnsweringPrintChoice final : public viewer::PrintChoice {
public:
    AnsweringPrintChoice(bool confirm, QString pdf) : confirm_(confirm), pdf_(std::move(pdf)) {}
    bool Choose(QWidget* owner, QPrinter& printer) override {
        askedOver = owner;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf_);
        return confirm_;
    }
    QWidget* askedOver = nullptr;

private:
    bool confirm_;
    QString pdf_;
};

TEST(fZelReslt, ButtonsSitOnTheTopPanelWithTheirHints) {
    PageFolder folder;
    AnsweringPrintChoice print(false, {});
    TfmZelReslt form(folder.Write("zelreslt.htm", LinkedPage("Panel")), print);
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    form.show();

    EXPECT_EQ(form.Panel1->geometry(), QRect(0, 0, 674, 28));
    struct Button {
        QToolButton* button;
        int x;
        const char* hint;
    };
    for (const Button& b :
         {Button{form.SpeedButton1, 4, "Go back"}, Button{form.SpeedButton2, 28, "Go forward"},
          Button{form.SpeedButton3, 60, "Print"}}) {
        EXPECT_EQ(b.button->parentWidget(), form.Panel1) << b.hint;
        EXPECT_EQ(b.button->x(), b.x) << b.hint;
        EXPECT_EQ(b.button->toolTip().toStdString(), b.hint);
        EXPECT_TRUE(b.button->autoRaise()) << b.hint;
        EXPECT_FALSE(b.button->icon().isNull()) << b.hint;
    }
    EXPECT_EQ(form.brow->geometry().top(), 28);
    EXPECT_EQ(form.bar->geometry().bottom(), form.height() - 1);
}

TEST(fZelReslt, EscClosesAndFreesTheForm) {
    PageFolder folder;
    AnsweringPrintChoice print(false, {});
    QPointer<TfmZelReslt> form = new TfmZelReslt(folder.Write("zelreslt.htm", LinkedPage("Esc")), print);
    form->show();
    QTest::keyClick(form->brow, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
}

TEST(fZelReslt, PrintsTheResultFileWhereTheDialogSays) {
    PageFolder folder;
    const QString pdf = folder.Path() + "/printed.pdf";
    AnsweringPrintChoice print(true, pdf);
    TfmZelReslt form(folder.Write("zelreslt.htm", LinkedPage("Printed")), print);
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    form.show();

    QTest::mouseClick(form.SpeedButton3, Qt::LeftButton);
    EXPECT_EQ(print.askedOver, &form);
    EXPECT_GT(QFileInfo(pdf).size(), 0);

    // On paper in the face it has on screen.
    const QString shownFace = QFontInfo(form.brow->document()->defaultFont()).family().remove(' ');
    EXPECT_NE(FileText(pdf.toStdString()).find("/BaseFont /" + shownFace.toStdString()), std::string::npos)
        << shownFace.toStdString();
}

TEST(fZelReslt, PrintingLoadsNoImage) {
    PageFolder folder;
    const QString pipe = folder.Path() + "/pipe.png";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString pdf = folder.Path() + "/printed.pdf";
    AnsweringPrintChoice print(true, pdf);
    const std::string page = "<html><body><p>text</p><img src=\"" + pipe.toStdString() + "\"></body></html>";
    TfmZelReslt form(folder.Write("zelreslt.htm", page), print);
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    form.show();
    QTest::mouseClick(form.SpeedButton3, Qt::LeftButton); // would wait for a writer to the pipe
    EXPECT_GT(QFileInfo(pdf).size(), 0);
}

TEST(fZelReslt, AFailedPrintIsReportedNamingWhereItWent) {
    PageFolder folder;
    const QString pdf = folder.Path() + "/a folder.pdf";
    ASSERT_TRUE(QDir().mkdir(pdf));
    AnsweringPrintChoice print(true, pdf);
    TfmZelReslt form(folder.Write("zelreslt.htm", LinkedPage("Not printed")), print);
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    form.show();
    const QString shown = form.brow->toPlainText();

    RecordingMessageBoxes boxes;
    QTest::mouseClick(form.SpeedButton3, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].owner, &form);
    EXPECT_EQ(boxes.shown[0].caption.toStdString(), "Error");
    EXPECT_EQ(boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_TRUE(boxes.shown[0].text.contains(pdf)) << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.brow->toPlainText(), shown);
    EXPECT_TRUE(QFileInfo(pdf).isDir());
}

TEST(fZelReslt, CancelledPrintDialogPrintsNothing) {
    PageFolder folder;
    const QString pdf = folder.Path() + "/printed.pdf";
    AnsweringPrintChoice print(false, pdf);
    TfmZelReslt form(folder.Write("zelreslt.htm", LinkedPage("Not printed")), print);
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    form.show();

    QTest::mouseClick(form.SpeedButton3, Qt::LeftButton);
    EXPECT_EQ(print.askedOver, &form);
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

TEST(fZelReslt, GoingBackReadsThePageAfresh) {
    PageFolder folder;
    const QString first = folder.Write(
        "zelreslt.htm", "<html><body><p><a href=\"other.htm\">to the other page</a></p></body></html>");
    folder.Write("other.htm", "<html><body><p>the other page</p></body></html>");
    AnsweringPrintChoice print(false, {});
    TfmZelReslt form(first, print);
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    form.show();

    ClickText(*form.brow, "to the other page");
    ASSERT_TRUE(form.brow->toPlainText().contains("the other page"));
    folder.Write("zelreslt.htm", "<html><body><p>rewritten since</p></body></html>");
    QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(form.brow->toPlainText().toStdString(), "rewritten since");
}

TEST(ReadResultPage, RulesKeepTheirColour) {
    PageFolder folder;
    const QString page = viewer::ReadResultPage(
        folder.Write("zelreslt.htm", "<html><body><p>a</p><hr size=2 color=\"#EEEEEE\"><p>b</p><HR "
                                     "COLOR=red/><p>c</p><hr></body></html>"));
    QTextDocument document;
    document.setHtml(page);
    std::vector<QTextBlockFormat> rules;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        if (block.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth))
            rules.push_back(block.blockFormat());
    ASSERT_EQ(rules.size(), 3u) << page.toStdString();
    EXPECT_EQ(rules[0].background().color(), QColor("#EEEEEE"));
    EXPECT_EQ(rules[1].background().color(), QColor(Qt::red));
    EXPECT_FALSE(rules[2].hasProperty(QTextFormat::BackgroundBrush))
        << "a plain rule keeps the default colour";
}

TEST(ReadResultPage, UnreadablePageNamesTheFileEscaped) {
    PageFolder folder;
    const QString folderAsPage = folder.Path() + "/<b>";
    const QString page = viewer::ReadResultPage(folderAsPage);
    EXPECT_TRUE(page.contains(folderAsPage.toHtmlEscaped())) << page.toStdString();
    EXPECT_FALSE(page.contains("/<b>"));
}

TEST(ReadResultPage, WhatIsNoPageGivesTheErrorPage) {
    PageFolder folder;
    const QString pipe = folder.Path() + "/pipe.htm";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString huge = folder.Write("huge.htm", "<html><body>" + std::string(16 << 20, 'x'));
    for (const QString& name : {pipe, huge, folder.Path()}) {
        const QString page = viewer::ReadResultPage(name);
        EXPECT_TRUE(page.contains("The page cannot be displayed")) << name.toStdString();
        EXPECT_TRUE(page.contains(name.toHtmlEscaped())) << name.toStdString();
    }
}

} // namespace
