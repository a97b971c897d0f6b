#include "widgets/ButtonGlyph.h"
#include "widgets/GlyphCache.h"

#include "FixedPalette.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace widgets;

namespace {

constexpr QRgb kKey = 0xFFFF00FF; // clFuchsia

QRgb CellColor(int cell) {
    return qRgb(40 * (cell + 1), 100, 200);
}

// `cells` square cells of 4 x 4, each in its own colour, each bottom-left pixel the key colour.
TBitmap Strip(int cells) {
    QImage image(4 * cells, 4, QImage::Format_RGB32);
    for (int cell = 0; cell < cells; ++cell)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                image.setPixel(4 * cell + x, y, x == 0 && y == 3 ? kKey : CellColor(cell));
    return TBitmap(image);
}

struct Painter : ::testing::Test {
    TZlButtonGlyph glyph;
    void SetUp() override { glyph.SetPalette(fixed::Palette()); }
    QRgb SlotPixel(int slot, int x, int y) const { return glyph.CellList()->Picture(slot).pixel(x, y); }
};

TEST_F(Painter, TheCellCountFollowsSquareCellsUpToFive) {
    struct Row {
        QSize size;
        int cells;
    };
    // 30 x 16 is no whole number of squares: the count stays what the one before left.
    for (const Row& row :
         std::vector<Row>{{{64, 16}, 4}, {{112, 16}, 1}, {{32, 16}, 2}, {{30, 16}, 2}, {{16, 16}, 1}}) {
        QImage image(row.size, QImage::Format_RGB32);
        image.fill(Qt::red);
        glyph.SetSourceBitmap(TBitmap(image));
        EXPECT_EQ(glyph.CellCount(), row.cells) << row.size.width() << "x" << row.size.height();
    }
}

TEST_F(Painter, TheKeyColourIsTheSetColourElseWhiteForMonochromeElseTheBottomLeftPixel) {
    int changes = 0;
    glyph.OnGlyphChange = [&] { ++changes; };
    glyph.SetSourceBitmap(Strip(1));
    EXPECT_EQ(glyph.KeyColor(), clFuchsia);

    TBitmap set = Strip(1);
    set.TransparentColorSet = clRed | 0x02000000; // palette-relative flag dropped
    glyph.SetSourceBitmap(set);
    EXPECT_EQ(glyph.KeyColor(), clRed);

    QImage mono(8, 8, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(0);
    glyph.SetSourceBitmap(TBitmap(mono));
    EXPECT_EQ(glyph.KeyColor(), clWhite);
    EXPECT_EQ(changes, 3);
}

TEST_F(Painter, EachStateTakesItsCellByTheCellCount) {
    struct Row {
        int cells;
        TSpeedFaceState state;
        int cell; // -1: the grey of cell 0
    };
    const std::vector<Row> rows = {
        {1, sfUp, 0},        {2, sfDown, 0},      {2, sfDisabled, 1},  {2, sfExclusive, 0},
        {2, sfInactive, -1}, {3, sfDown, 2},      {3, sfExclusive, 0}, {4, sfExclusive, 3},
        {4, sfDisabled, 1},  {4, sfInactive, -1}, {5, sfInactive, 4},  {5, sfDown, 2},
    };
    for (const Row& row : rows) {
        glyph.SetSourceBitmap(Strip(row.cells));
        ASSERT_EQ(glyph.CellCount(), row.cells);
        const int slot = glyph.ImageForState(row.state);
        ASSERT_NE(slot, -1);
        const QRgb color = CellColor(row.cell == -1 ? 0 : row.cell);
        const int gray = (77 * qRed(color) + 150 * qGreen(color) + 29 * qBlue(color)) / 256;
        const QRgb expected = row.cell == -1 ? qRgb(gray, gray, gray) : color;
        EXPECT_EQ(SlotPixel(slot, 1, 0), expected) << row.cells << " cells, state " << row.state;
        // The key colour is transparent in every state made from the picture.
        EXPECT_EQ(qAlpha(SlotPixel(slot, 0, 3)), 0) << row.cells << " cells, state " << row.state;
    }
}

TEST_F(Painter, WithFewerThanThreeCellsPressedSharesTheUpImage) {
    glyph.SetSourceBitmap(Strip(2));
    EXPECT_EQ(glyph.ImageForState(sfDown), glyph.ImageForState(sfUp));
    EXPECT_EQ(glyph.StateIndex(sfDown), -1);
    EXPECT_EQ(glyph.CellList()->UsedCount(), 1);
}

TEST_F(Painter, AOneCellGlyphDisabledShowsOnlyItsBlackPixelsEmbossed) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(qRgb(0, 200, 0));
    image.setPixel(1, 1, qRgb(0, 0, 0));
    image.setPixel(0, 3, kKey);
    glyph.SetSourceBitmap(TBitmap(image));
    const int slot = glyph.ImageForState(sfDisabled);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const QRgb pixel = SlotPixel(slot, x, y);
            if (x == 1 && y == 1)
                EXPECT_EQ(pixel, fixed::kShadow);
            else if (x == 2 && y == 2)
                EXPECT_EQ(pixel, fixed::kHighlight);
            else
                EXPECT_EQ(qAlpha(pixel), 0) << x << "," << y;
        }
}

TEST_F(Painter, GreyKeepsTheKeyAndTheFaceColour) {
    glyph.SetSourceBitmap(Strip(1));
    EXPECT_EQ(glyph.GrayPixel(qRgb(200, 100, 50)), qRgb(124, 124, 124));
    EXPECT_EQ(glyph.GrayPixel(kKey), kKey);
    EXPECT_EQ(glyph.GrayPixel(fixed::kFace), fixed::kFace);
    EXPECT_EQ(glyph.GrayPixel(qRgb(255, 255, 255)), qRgb(255, 255, 255));
}

TEST_F(Painter, NoImageWithoutAGlyph) {
    EXPECT_EQ(glyph.ImageForState(sfUp), -1);
    EXPECT_EQ(glyph.CellList(), nullptr);
}

TEST(GlyphCacheLifetime, PaintersShareAListPerSizeAndTheLastOneOutFreesTheCache) {
    {
        auto first = std::make_unique<TZlButtonGlyph>();
        auto second = std::make_unique<TZlButtonGlyph>();
        ASSERT_NE(SharedGlyphCache(), nullptr);
        first->SetSourceBitmap(Strip(2));
        second->SetSourceBitmap(Strip(2));
        first->ImageForState(sfUp);
        second->ImageForState(sfUp);
        second->ImageForState(sfDisabled);
        EXPECT_EQ(first->CellList(), second->CellList());
        EXPECT_EQ(SharedGlyphCache()->ListCount(), 1);
        EXPECT_EQ(first->CellList()->UsedCount(), 3);

        // A new cell count gives the images back; the list stays while the other uses it.
        second->SetCellCount(1);
        EXPECT_EQ(second->CellList(), nullptr);
        EXPECT_EQ(first->CellList()->UsedCount(), 1);
        EXPECT_EQ(SharedGlyphCache()->ListCount(), 1);
        first->ClearImages();
        EXPECT_TRUE(SharedGlyphCache()->IsEmpty());

        // A destruction that finds the cache still holding a list leaves it.
        second->ImageForState(sfUp);
        first.reset();
        ASSERT_NE(SharedGlyphCache(), nullptr);
    }
    EXPECT_EQ(SharedGlyphCache(), nullptr);
    TZlButtonGlyph again;
    EXPECT_NE(SharedGlyphCache(), nullptr);
}

} // namespace
