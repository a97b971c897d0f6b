#include "widgets/ZlUtils.h"
#include "widgets/ImageList.h"
#include "widgets/MaxMin.h"

#include "FixedPalette.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace widgets;

namespace {

TEST(MaxMin, EqualValuesGiveBAndOthersTheLargerOrSmaller) {
    struct Row {
        int a, b, larger, smaller;
    };
    for (const Row& row : std::vector<Row>{{3, 3, 3, 3}, {2, 5, 5, 2}, {5, 2, 5, 2}, {-1, -7, -1, -7}}) {
        EXPECT_EQ(LargerInt(row.a, row.b), row.larger) << row.a << "," << row.b;
        EXPECT_EQ(SmallerInt(row.a, row.b), row.smaller) << row.a << "," << row.b;
    }
}

// A picture whose every pixel tells where it came from.
TBitmap Numbered(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x, y, 7));
    TBitmap bitmap(image);
    bitmap.TransparentColorSet = clFuchsia;
    bitmap.Transparent = true;
    return bitmap;
}

TEST(CutBitmapCell, TakesTheCellRowByRowWithTheSourcesTransparency) {
    const TBitmap source = Numbered(120, 20);
    TBitmap cell;
    CutBitmapCell(&source, &cell, 6, 2, 8);
    ASSERT_EQ(cell.Image.size(), QSize(20, 10));
    EXPECT_EQ(cell.Image.pixel(0, 0), qRgb(40, 10, 7));
    EXPECT_EQ(cell.Image.pixel(19, 9), qRgb(59, 19, 7));
    EXPECT_EQ(cell.TransparentColorSet, std::optional<TColor>(clFuchsia));
    EXPECT_TRUE(cell.Transparent);
}

TEST(CutBitmapCell, CountsBelowOneActAsOneAndANegativeIndexAsZero) {
    const TBitmap source = Numbered(120, 20);
    TBitmap cell;
    CutBitmapCell(&source, &cell, 0, 2, 1);
    ASSERT_EQ(cell.Image.size(), QSize(120, 10));
    EXPECT_EQ(cell.Image.pixel(0, 0), qRgb(0, 10, 7));
    CutBitmapCell(&source, &cell, 6, -3, -4);
    ASSERT_EQ(cell.Image.size(), QSize(20, 20));
    EXPECT_EQ(cell.Image.pixel(0, 0), qRgb(0, 0, 7));
    CutBitmapCell(nullptr, &cell, 6, 1, 0);
    CutBitmapCell(&source, nullptr, 6, 1, 0);
    EXPECT_EQ(cell.Image.size(), QSize(20, 20));
}

TEST(MakeEmbossedBitmap, BackColourPixelsBecomeHighlightOneDownRightUnderShadowInPlace) {
    const QPalette palette = fixed::Palette();
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    image.setPixel(1, 1, qRgb(0, 0, 0));
    image.setPixel(2, 1, qRgb(0, 0, 0));
    image.setPixel(3, 3, qRgb(0, 0, 0)); // its highlight falls outside
    const QImage result = MakeDisabledGlyph(TBitmap(image), clBlack, palette);
    const std::vector<std::string> expected = {
        "....",
        ".ss.",
        "..hh",
        "...s",
    };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const char want = expected[y][x];
            const QRgb color = want == 's' ? fixed::kShadow : want == 'h' ? fixed::kHighlight : fixed::kFace;
            EXPECT_EQ(result.pixel(x, y), color) << x << "," << y;
        }

    const QImage noHighlight =
        MakeEmbossedBitmap(TBitmap(image), clBlack, clBtnFace, clRed, clBlue, false, palette);
    EXPECT_EQ(noHighlight.pixel(2, 2), fixed::kFace);
    EXPECT_EQ(noHighlight.pixel(1, 1), qRgb(0, 0, 255));
}

TEST(MakeEmbossedBitmap, AGlyphWithoutBackColourGivesAPlainFace) {
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 0));
    const QImage result = MakeDisabledGlyph(TBitmap(image), clBlack, fixed::Palette());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(result.pixel(x, y), fixed::kFace);
}

TEST(MakeEmbossedBitmap, InAMonochromeSourceWhitePlaysTheBackColour) {
    QImage image(3, 1, QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    image.setPixel(0, 0, 0);
    image.setPixel(1, 0, 1);
    image.setPixel(2, 0, 0);
    const QImage result = MakeDisabledGlyph(TBitmap(image), clBlack, fixed::Palette());
    EXPECT_EQ(result.pixel(0, 0), fixed::kFace);
    EXPECT_EQ(result.pixel(1, 0), fixed::kShadow);
    EXPECT_EQ(result.pixel(2, 0), fixed::kFace);
}

TEST(DrawImageDisabled, OpaquePixelsOfThePictureAreEmbossed) {
    TImageList images(3, 3);
    QImage picture(3, 3, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    picture.setPixel(0, 0, qRgb(1, 2, 3));
    images.Add(picture);
    QImage canvasImage(5, 5, QImage::Format_RGB32);
    canvasImage.fill(qRgb(9, 9, 9));
    QPainter canvas(&canvasImage);
    DrawImageDisabled(images, canvas, 1, 1, 0, clBtnHighlight, clBtnShadow, true, fixed::Palette());
    DrawImageDisabled(images, canvas, 1, 1, 5, clBtnHighlight, clBtnShadow, true, fixed::Palette());
    canvas.end();
    EXPECT_EQ(canvasImage.pixel(1, 1), fixed::kShadow);
    EXPECT_EQ(canvasImage.pixel(2, 2), fixed::kHighlight);
    EXPECT_EQ(canvasImage.pixel(3, 3), qRgb(9, 9, 9));
}

// Ten pixels per character; records every try.
struct Measured {
    std::vector<QString> tries;
    TextWidthFunction Width() {
        return [this](const QString& text) {
            tries.push_back(text);
            return 10 * static_cast<int>(text.length());
        };
    }
};

TEST(ShortenToWidth, TriesShorterBeginningsWithDotsAndStopsAtTheFirstThatFits) {
    struct Row {
        const char* name;
        QString text;
        int maxWidth;
        QString result;
        std::vector<QString> tries;
    };
    const std::vector<Row> rows = {
        {"fits", "abcdef", 60, "abcdef", {"abcdef"}},
        {"two letters fit", "abcdef", 50, "ab...", {"abcdef", "abcd...", "abc...", "ab..."}},
        {"dots alone", "abcdef", 30, "...", {"abcdef", "abcd...", "abc...", "ab...", "a...", "..."}},
        {"dots alone even too wide",
         "abcdef",
         5,
         "...",
         {"abcdef", "abcd...", "abc...", "ab...", "a...", "..."}},
        {"one character", "x", 5, "...", {"x"}},
        {"empty", "", -1, "", {}},
    };
    for (const Row& row : rows) {
        Measured measured;
        EXPECT_EQ(ShortenToWidth(row.text, measured.Width(), row.maxWidth), row.result) << row.name;
        EXPECT_EQ(measured.tries, row.tries) << row.name;
    }
}

} // namespace
