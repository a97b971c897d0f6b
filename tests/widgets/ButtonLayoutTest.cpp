#include "widgets/ButtonLayout.h"

#include <gtest/gtest.h>

#include <vector>

using namespace widgets;

namespace {

TEST(CaptionRoom, TakesGlyphMarginSpacingAndMarkOffAlongTheLayout) {
    struct Row {
        const char* name;
        TButtonLayout layout;
        int margin, spacing;
        bool mark;
        QSize room;
    };
    const QSize client(60, 40);
    const QSize glyph(16, 12);
    const std::vector<Row> rows = {
        {"left, automatic", blGlyphLeft, -1, -1, false, {44, 40}},
        {"left, all given, mark", blGlyphLeft, 2, 3, true, {30, 40}},
        {"right, margin", blGlyphRight, 5, -1, false, {39, 40}},
        {"top, automatic, mark ignored", blGlyphTop, -1, -1, true, {60, 28}},
        {"bottom, all given", blGlyphBottom, 4, 1, false, {60, 23}},
        {"never below zero", blGlyphTop, 50, 50, false, {60, 0}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CaptionRoom(client, glyph, row.layout, row.margin, row.spacing, row.mark), row.room)
            << row.name;
}

TEST(PlaceGlyphAndCaption, AutomaticMarginAndSpacingAreEqualThirds) {
    const GlyphPlacement placed =
        PlaceGlyphAndCaption(QRect(0, 0, 60, 20), QSize(16, 16), QSize(20, 13), blGlyphLeft, -1, -1, false);
    EXPECT_EQ(placed.glyphPos, QPoint(8, 2));
    EXPECT_EQ(placed.captionRect, QRect(32, 4, 20, 13));
}

TEST(PlaceGlyphAndCaption, EachLayoutAndEachKindOfGivenValue) {
    struct Row {
        const char* name;
        TButtonLayout layout;
        int margin, spacing;
        QPoint glyph;
        QPoint caption;
    };
    // Client 10,20 40x30; glyph 10x8; caption 12x6.
    const std::vector<Row> rows = {
        {"top, spacing given: the pair is centred", blGlyphTop, -1, 2, {25, 27}, {24, 37}},
        {"bottom, margin given: the caption centred in the rest", blGlyphBottom, 3, -1, {25, 39}, {24, 27}},
        {"right, both given", blGlyphRight, 4, 2, {36, 31}, {22, 32}},
        {"left, thirds", blGlyphLeft, -1, -1, {16, 31}, {32, 32}},
    };
    for (const Row& row : rows) {
        const GlyphPlacement placed = PlaceGlyphAndCaption(QRect(10, 20, 40, 30), QSize(10, 8), QSize(12, 6),
                                                           row.layout, row.margin, row.spacing, false);
        EXPECT_EQ(placed.glyphPos, row.glyph) << row.name;
        EXPECT_EQ(placed.captionRect.topLeft(), row.caption) << row.name;
        EXPECT_EQ(placed.captionRect.size(), QSize(12, 6)) << row.name;
    }
}

TEST(PlaceGlyphAndCaption, DivisionTruncatesTowardZero) {
    // (20 - (16 + 11)) / 3 is -2, not -3.
    const GlyphPlacement placed =
        PlaceGlyphAndCaption(QRect(0, 0, 20, 16), QSize(16, 16), QSize(11, 9), blGlyphLeft, -1, -1, false);
    EXPECT_EQ(placed.glyphPos.x(), -2);
    EXPECT_EQ(placed.captionRect.left(), -2 + 16 - 2);
    // 16 div 2 - 9 div 2 = 4, and -3 div 2 = -1 for a glyph higher than the client.
    EXPECT_EQ(placed.captionRect.top(), 4);
    const GlyphPlacement tall =
        PlaceGlyphAndCaption(QRect(0, 0, 20, 4), QSize(16, 7), QSize(0, 0), blGlyphLeft, -1, -1, false);
    EXPECT_EQ(tall.glyphPos.y(), 2 - 3);
}

TEST(PlaceGlyphAndCaption, WithoutCaptionOrGlyphThereIsNoSpacing) {
    const GlyphPlacement glyphOnly =
        PlaceGlyphAndCaption(QRect(0, 0, 30, 30), QSize(10, 10), QSize(0, 0), blGlyphTop, -1, 5, false);
    EXPECT_EQ(glyphOnly.glyphPos, QPoint(10, 10));
    const GlyphPlacement captionOnly =
        PlaceGlyphAndCaption(QRect(0, 0, 30, 30), QSize(0, 0), QSize(10, 10), blGlyphLeft, -1, 5, false);
    EXPECT_EQ(captionOnly.captionRect.topLeft(), QPoint(10, 10));
}

TEST(PlaceGlyphAndCaption, TheMarkWidensTheCaptionOrTheGlyph) {
    // No glyph: the caption takes 9 more, so it moves left of the centre.
    const GlyphPlacement noGlyph =
        PlaceGlyphAndCaption(QRect(0, 0, 40, 20), QSize(0, 0), QSize(10, 10), blGlyphTop, -1, -1, true);
    EXPECT_EQ(noGlyph.captionRect, QRect(11, 5, 10, 10));
    // Glyph on top: the glyph takes 6 more.
    const GlyphPlacement glyphTop =
        PlaceGlyphAndCaption(QRect(0, 0, 40, 40), QSize(10, 10), QSize(0, 0), blGlyphTop, -1, -1, true);
    EXPECT_EQ(glyphTop.glyphPos.x(), 12);
}

TEST(DropMarkPosition, BesideTheGlyphElseRightOfTheCaptionElseCentred) {
    const QRect client(2, 2, 21, 21);
    const QRect caption(5, 8, 10, 6);
    EXPECT_EQ(DropMarkPosition(client, blGlyphTop, true, QPoint(4, 4), QSize(8, 6), caption, false),
              QPoint(13, 7));
    EXPECT_EQ(DropMarkPosition(client, blGlyphLeft, true, QPoint(4, 4), QSize(8, 6), caption, false),
              QPoint(18, 11));
    EXPECT_EQ(DropMarkPosition(client, blGlyphTop, false, QPoint(4, 4), QSize(0, 0), caption, false),
              QPoint(18, 11));
    EXPECT_EQ(
        DropMarkPosition(client, blGlyphTop, false, QPoint(4, 4), QSize(0, 0), QRect(12, 12, 0, 0), true),
        QPoint((2 + 23 - 7) / 2, 12));
}

TEST(FitCaption, EachLineIsShortenedAndTheEndTrimmed) {
    const TextWidthFunction width = [](const QString& text) { return 10 * static_cast<int>(text.length()); };
    EXPECT_EQ(FitCaption("abcdef\r\nxy\rlonger line  \n\n", 50, false, width), "ab...\r\nxy\r\nlo...");
    EXPECT_EQ(FitCaption("ok   \r\n", 50, false, width), "ok");
    EXPECT_EQ(FitCaption("abcdef\nxy", 50, true, width), "abcdef\nxy");
    EXPECT_EQ(FitCaption(QString(300, 'a'), 100000, false, width).length(), 255);
    EXPECT_EQ(FitCaption(QString(300, 'a'), 10, true, width).length(), 255);
}

} // namespace
