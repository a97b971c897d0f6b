#include "viewer/ViewerHeight.h"

#include <gtest/gtest.h>

TEST(ViewerHeight, LeavesATenthOfTheScreenRoundedHalfToEven) {
    struct Case {
        int screen;
        int height;
    };
    const Case cases[] = {
        {1080, 972}, {1085, 977}, // 108.5 goes to the even 108
        {1095, 985},              // 109.5 goes to the even 110
        {1086, 977},              // 108.6 goes up
        {1084, 976},              // 108.4 goes down
        {600, 540},  {768, 691},
    };
    for (const Case& c : cases)
        EXPECT_EQ(viewer::ViewerHeight(c.screen), c.height) << "screen " << c.screen;
}
