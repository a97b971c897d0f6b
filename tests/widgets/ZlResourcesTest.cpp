#include "widgets/ZlResources.h"

#include <gtest/gtest.h>

#include <vector>

using namespace widgets;

namespace {

TEST(ZlResources, EveryBitmapHasItsSizeAndItsBackgroundBottomLeft) {
    struct Row {
        const char* name;
        QSize size;
        bool monochrome;
        int cells;
    };
    const std::vector<Row> rows = {
        {"PREV1", {8, 6}, true, 1},       {"PREV2", {8, 6}, true, 1},       {"NEXT1", {8, 6}, true, 1},
        {"NEXT2", {8, 6}, true, 1},       {"CALCBTNS", {84, 13}, false, 6}, {"DEDITBMP", {28, 12}, false, 2},
        {"CEDITBMP", {28, 12}, false, 2},
    };
    for (const Row& row : rows) {
        const TBitmap bitmap = LoadBitmapResource(row.name);
        ASSERT_EQ(bitmap.Image.size(), row.size) << row.name;
        EXPECT_EQ(bitmap.Monochrome(), row.monochrome) << row.name;
        // Every cell shows something besides its background.
        for (int cell = 0; cell < row.cells; ++cell) {
            const int cellWidth = row.size.width() / row.cells;
            bool drawn = false;
            for (int y = 0; y < row.size.height(); ++y)
                for (int x = cell * cellWidth; x < (cell + 1) * cellWidth; ++x)
                    drawn = drawn || bitmap.Pixel(x, y) != bitmap.TransparentColor();
            EXPECT_TRUE(drawn) << row.name << " cell " << cell;
        }
        EXPECT_EQ(bitmap.Pixel(0, row.size.height() - 1), row.monochrome ? clWhite : clOlive) << row.name;
    }
    EXPECT_EQ(LoadBitmapResource("deditbmp").Image.size(), QSize(28, 12));
    EXPECT_TRUE(LoadBitmapResource("NOSUCH").Empty());
}

TEST(ZlResources, TheStringTable) {
    EXPECT_EQ(LoadResourceString(61258), "Previous Month|");
    EXPECT_EQ(LoadResourceString(61259), "Previous Year|");
    EXPECT_EQ(LoadResourceString(61260), "Next Month|");
    EXPECT_EQ(LoadResourceString(61261), "Next Year|");
    EXPECT_EQ(LoadResourceString(61262), "Select a Date");
    EXPECT_EQ(LoadResourceString(65399), "''%s'' is not a valid date");
    EXPECT_TRUE(LoadResourceString(61263).isEmpty());
}

} // namespace
