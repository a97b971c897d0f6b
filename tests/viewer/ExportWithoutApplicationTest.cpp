#include "viewer/zelShowResult.h"

#include <gtest/gtest.h>

// A caller without an application object gets no window and no crash.
TEST(ExportWithoutApplication, ReturnsANullHandle) {
    EXPECT_EQ(zelShowResult(0, "/tmp/zelreslt.htm"), 0u);
}
