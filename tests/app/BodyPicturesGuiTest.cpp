#include "app/BodyPictures.h"

#include "support/Screenshots.h"
#include "widgets/FixedPalette.h"
#include "widgets/SpeedButton.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Shape {
    int pixels = 0;
    QRect box;
    void Add(int x, int y) {
        ++pixels;
        box |= QRect(x, y, 1, 1);
    }
};

// The speed buttons of the main window, as they stand beside each other in the header.
const std::pair<TSpeedGlyph, const char*> kSpeedGlyphs[] = {
    {TSpeedGlyph::NewBody, "New Body of Water"},
    {TSpeedGlyph::NewBodyAndTest, "New Body of Water + First test"},
    {TSpeedGlyph::EditBody, "Edit Body of Water"},
};

// A disabled button draws only a glyph's black pixels (embossed: a shadow pixel in place, a
// highlight one right and down), so each glyph keeps its outline in black: the disabled face
// still shows the shape the enabled one shows, not a grey dot.
TEST(BodySpeedButtons, TheDisabledFaceKeepsTheGlyphsShape) {
    QWidget form;
    form.setPalette(fixed::Palette());
    form.resize(3 * 24, 22);
    std::vector<widgets::TZlSpeedButton*> buttons;
    for (const auto& [glyph, hint] : kSpeedGlyphs) {
        auto* button = new widgets::TZlSpeedButton(&form);
        button->setGeometry(24 * static_cast<int>(buttons.size()), 0, 22, 22);
        button->SetFlat(true);
        button->SetGlyph(SpeedButtonGlyph(glyph));
        button->setEnabled(false);
        buttons.push_back(button);
    }
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    test::SaveScreenshot(form, "SpeedButtons-disabled");

    for (std::size_t i = 0; i < buttons.size(); ++i) {
        SCOPED_TRACE(kSpeedGlyphs[i].second);
        const widgets::TBitmap glyph = SpeedButtonGlyph(kSpeedGlyphs[i].first);
        ASSERT_EQ(glyph.Image.size(), QSize(16, 16));
        const QRgb key = widgets::ColorToRGB(glyph.TransparentColor(), form.palette());
        Shape drawn;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if ((glyph.Image.pixel(x, y) & 0xFFFFFF) != (key & 0xFFFFFF)) drawn.Add(x, y);

        const QImage face = buttons[i]->grab().toImage();
        Shape shadow;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                if (face.pixel(x, y) == fixed::kShadow) shadow.Add(x, y);

        EXPECT_GE(4 * shadow.pixels, drawn.pixels) << shadow.pixels << " of " << drawn.pixels << " pixels";
        EXPECT_GE(shadow.box.width(), drawn.box.width() - 2);
        EXPECT_GE(shadow.box.height(), drawn.box.height() - 2);
    }
}

TEST(BodySpeedButtons, Screenshot) {
    QWidget form;
    form.resize(3 * 24, 2 * 24);
    for (int row = 0; row < 2; ++row)
        for (int i = 0; i < 3; ++i) {
            auto* button = new widgets::TZlSpeedButton(&form);
            button->setGeometry(24 * i, 24 * row, 22, 22);
            button->SetGlyph(SpeedButtonGlyph(kSpeedGlyphs[i].first));
            button->setEnabled(row == 0);
        }
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    test::SaveScreenshot(form, "SpeedButtons");
}

} // namespace
