#include "platform/Real80.h"

#include <array>
#include <gtest/gtest.h>

using namespace platform;

TEST(Real80, KnownEncodings) {
    struct Case {
        const char* name;
        long double value;
        std::array<unsigned char, 10> bytes;
    };
    const std::vector<Case> cases = {
        {"zero", 0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"one", 1.0L, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
        {"typed 7.6", 7.6L, {0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0xF3, 0x01, 0x40}},
        {"minus two", -2.0L, {0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0}},
    };
    for (const Case& c : cases) {
        std::array<unsigned char, 16> slot;
        slot.fill(0xAA);
        PutReal80(slot.data(), 0, c.value);
        EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), slot.begin())) << c.name;
        EXPECT_EQ(slot[10], 0xAA) << c.name << ": writes only its 10 bytes";
        EXPECT_EQ(GetReal80(c.bytes.data(), 0), c.value) << c.name;
    }
}
