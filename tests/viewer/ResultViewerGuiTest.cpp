#include "support/RecordingMessageBoxes.h"
#include "viewer/ResultViewer.h"

#include <QApplication>
#include <QDialog>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

TEST(ResultViewer, AViewerThatCannotBeMadeIsReportedAndGivesNoHandle) {
    struct Case {
        const char* name;
        viewer::ViewerMaker make;
    };
    const Case cases[] = {
        {"throws",
         [](const QString&, QWidget*) -> QDialog* { throw std::runtime_error("no browser control"); }},
        {"makes nothing", [](const QString&, QWidget*) -> QDialog* { return nullptr; }},
    };
    for (const Case& c : cases) {
        RecordingMessageBoxes boxes;
        EXPECT_EQ(viewer::ShowResultModal(0, "/tmp/zelreslt.htm", c.make), 0u) << c.name;
        ASSERT_EQ(boxes.shown.size(), 1u) << c.name;
        EXPECT_EQ(boxes.shown[0].caption.toStdString(), "Error");
        EXPECT_EQ(boxes.shown[0].icon, platform::MessageIcon::Error);
        EXPECT_TRUE(boxes.shown[0].text.startsWith("The result viewer could not be opened")) << c.name;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST(ResultViewer, HandsTheWholeNameToTheViewer) {
    const std::string name = "/tmp/" + std::string(300, 'x') + ".htm";
    QString given;
    viewer::ShowResultModal(0, name.c_str(), [&](const QString& fileName, QWidget*) -> QDialog* {
        given = fileName;
        auto* dialog = new QDialog;
        QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
        return dialog;
    });
    EXPECT_EQ(given.toStdString(), name);
}

} // namespace
