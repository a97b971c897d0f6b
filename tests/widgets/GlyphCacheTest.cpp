#include "widgets/GlyphCache.h"

#include <gtest/gtest.h>

using namespace widgets;

namespace {

QImage Solid(int width, int height, QRgb color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

TEST(GlyphList, AReleasedSlotIsReusedAndItsPictureStaysUntilThen) {
    TGlyphList list(4, 4);
    const int first = list.AddKeyed(Solid(4, 4, qRgb(1, 1, 1)), qRgb(9, 9, 9));
    const int second = list.AddKeyed(Solid(4, 4, qRgb(2, 2, 2)), qRgb(9, 9, 9));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(list.UsedCount(), 2);

    list.ReleaseSlot(first);
    list.ReleaseSlot(first); // a free slot is not counted twice
    EXPECT_EQ(list.UsedCount(), 1);
    EXPECT_FALSE(list.SlotUsed(first));
    EXPECT_EQ(list.Picture(first).pixel(0, 0), qRgb(1, 1, 1));

    EXPECT_EQ(list.AddKeyed(Solid(4, 4, qRgb(3, 3, 3)), qRgb(9, 9, 9)), first);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Picture(first).pixel(0, 0), qRgb(3, 3, 3));
    EXPECT_EQ(list.ReserveSlot(), 2);
    EXPECT_EQ(list.Count(), 3);
}

TEST(GlyphList, KeyedAndPairedPicturesAreTransparentWhereTold) {
    TGlyphList list(2, 1);
    QImage image = Solid(2, 1, qRgb(255, 0, 255));
    image.setPixel(1, 0, qRgb(10, 20, 30));
    const int keyed = list.AddKeyed(image, qRgb(255, 0, 255));
    EXPECT_EQ(qAlpha(list.Picture(keyed).pixel(0, 0)), 0);
    EXPECT_EQ(list.Picture(keyed).pixel(1, 0), qRgb(10, 20, 30));

    QImage mask = Solid(2, 1, qRgb(0, 0, 0));
    mask.setPixel(1, 0, qRgb(255, 255, 255));
    const int paired = list.AddPair(image, mask);
    EXPECT_EQ(list.Picture(paired).pixel(0, 0), qRgb(255, 0, 255));
    EXPECT_EQ(qAlpha(list.Picture(paired).pixel(1, 0)), 0);
    EXPECT_EQ(list.Mask(paired).pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(list.Mask(paired).pixel(1, 0), qRgb(255, 255, 255));
}

TEST(GlyphCache, OneListPerSizeFreedWhenGivenBackUnused) {
    TGlyphCache cache;
    TGlyphList* small = cache.ListFor(16, 16);
    EXPECT_EQ(cache.ListFor(16, 16), small);
    TGlyphList* wide = cache.ListFor(32, 16);
    EXPECT_NE(wide, small);
    EXPECT_EQ(cache.ListCount(), 2);

    small->ReserveSlot();
    small->AddKeyed(Solid(16, 16, 0), 0);
    cache.GiveBack(small);
    cache.GiveBack(nullptr);
    EXPECT_EQ(cache.ListCount(), 2);
    cache.GiveBack(wide);
    EXPECT_EQ(cache.ListCount(), 1);
    small->ReleaseSlot(1);
    cache.GiveBack(small);
    EXPECT_TRUE(cache.IsEmpty());
}

} // namespace
