#include "EngineErrorSink.h"
#include "uFormula.h"

#include "platform/MessageBox.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Records the boxes with their owner window.
class OwnerRecordingBoxes final : public platform::MessageBoxes {
public:
    OwnerRecordingBoxes() : previous_(platform::SetMessages(this)) {}
    ~OwnerRecordingBoxes() override { platform::SetMessages(previous_); }
    platform::MessageAnswer Show(QWidget* owner, const QString& caption, const QString& text,
                                 platform::MessageIcon icon, platform::MessageButtons buttons) override {
        shown.push_back({owner, caption, text, icon, buttons});
        return platform::MessageAnswer::Ok;
    }
    struct Shown {
        QWidget* owner;
        QString caption;
        QString text;
        platform::MessageIcon icon;
        platform::MessageButtons buttons;
    };
    std::vector<Shown> shown;

private:
    platform::MessageBoxes* previous_;
};

} // namespace

TEST(EngineErrorSink, WithAnApplicationShowsTheErrorBox) {
    OwnerRecordingBoxes boxes;
    QTemporaryDir dir;
    const std::string path = dir.filePath("missing/zelreslt.htm").toStdString();
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
