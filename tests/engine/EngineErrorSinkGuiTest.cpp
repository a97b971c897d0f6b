#include "EngineErrorSink.h"
#include "uFormula.h"

#include "TempFolder.h"
#include "support/RecordingMessageBoxes.h"

#include <gtest/gtest.h>
#include <vector>

TEST(EngineErrorSink, WithAnApplicationShowsTheErrorBox) {
    RecordingMessageBoxes boxes;
    const test::TempFolder dir;
    const std::string path = dir.File("missing/zelreslt.htm");
    const std::vector<unsigned char> body(208, 0), test(448, 0);
    const TFormulaArgs args{path.c_str(), "", body.data(), test.data()};
    EXPECT_EQ(QuibsFormula(&args), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    const auto& box = boxes.shown[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_TRUE(box.text.startsWith("Cannot create file \"" + QString::fromStdString(path) + "\". "))
        << box.text.toStdString();
    EXPECT_EQ(box.icon, platform::MessageIcon::Error);
    EXPECT_EQ(box.buttons, platform::MessageButtons::Ok);
}
