#include "platform/Cp1252.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Cp1252, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(ToCp1252(FromCp1252(all)), all);
}

TEST(Cp1252, PunctuationOfTheAdvicePage) {
    EXPECT_EQ(FromCp1252("\x96\x93\x94\x92\xB0"), QString::fromUtf8("\u2013\u201C\u201D\u2019\u00B0"));
    EXPECT_EQ(ToCp1252(QString::fromUtf8("\u20AC\u2013")), "\x80\x96");
}

TEST(Cp1252, UnmappableBecomesQuestionMark) {
    EXPECT_EQ(ToCp1252(QString::fromUtf8("a\u0416b")), "a?b");
    EXPECT_EQ(ToCp1252(QString::fromUcs4(U"\U0001F600")), "?");
}
