#include "app/MainWindowRules.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(PulledBackPosition, WindowsOffTheScreenComeBack) {
    struct Case {
        const char* name;
        TFormBounds stored;
        TScreenArea screen;
        int left, top;
    };
    const TScreenArea fullHd{0, 0, 1920, 1080};
    const std::vector<Case> cases = {
        {"top below the screen", {50, 2000, 596, 469}, fullHd, 50, 10},
        {"left right of the screen", {2000, 50, 596, 469}, fullHd, 100, 50},
        {"both", {2000, 2000, 596, 469}, fullHd, 100, 10},
        {"top just inside", {50, 980, 596, 469}, fullHd, 50, 980},
        {"top one past the edge", {50, 981, 596, 469}, fullHd, 50, 10},
        {"left just inside", {1820, 50, 596, 469}, fullHd, 1820, 50},
        {"negative top", {50, -30, 596, 469}, fullHd, 50, 10},
        {"negative left", {-400, 50, 596, 469}, fullHd, 100, 50},
        {"a desktop starting left of 0", {-400, 50, 596, 469}, {-1280, 0, 3200, 1080}, -400, 50},
        {"left of that desktop", {-1300, 50, 596, 469}, {-1280, 0, 3200, 1080}, -1180, 50},
    };
    for (const Case& c : cases) {
        const TFormBounds pulled = PulledBackPosition(c.stored, c.screen);
        EXPECT_EQ(pulled.left, c.left) << c.name;
        EXPECT_EQ(pulled.top, c.top) << c.name;
        EXPECT_EQ(pulled.width, c.stored.width) << c.name;
        EXPECT_EQ(pulled.height, c.stored.height) << c.name;
    }
}

TEST(NoteColumnWidth, TakesWhatTheOtherColumnsAndTheScrollBarLeave) {
    EXPECT_EQ(NoteColumnWidth(309, 88, 88, 16), 115);
    EXPECT_EQ(NoteColumnWidth(500, 88, 88, 16), 306);
    // Only the note column follows the list's width.
    EXPECT_EQ(NoteColumnWidth(501, 88, 88, 16) - NoteColumnWidth(500, 88, 88, 16), 1);
}

TEST(SelectedTestCaption, FourBlanksAfterTheColonAndTheCommaBeforeAnyNote) {
    EXPECT_EQ(SelectedTestCaption("6/1/2024", QString("9:30:00 AM"), QString("after rain")),
              "Selected test:    6/1/2024 9:30:00 AM, after rain");
    EXPECT_EQ(SelectedTestCaption("6/1/2024", QString("9:30:00 AM"), QString()),
              "Selected test:    6/1/2024 9:30:00 AM, ");
    EXPECT_EQ(SelectedTestCaption("6/1/2024", std::nullopt, std::nullopt), "Selected test:    6/1/2024");
    EXPECT_EQ(SelectedTestCaption("6/1/2024", std::nullopt, QString("n")), "Selected test:    6/1/2024, n");
}

TEST(BodyItem, RunningNumberKindNameAndPicture) {
    EXPECT_EQ(BodyItemCaption(1, 0), "1. Swimming Pool");
    EXPECT_EQ(BodyItemCaption(12, 1), "12. Spa/Hot Tub");
    EXPECT_EQ(BodyItemCaption(3, 4), "3. Other");
    EXPECT_EQ(BodyPictureIndex(2), 2);
    EXPECT_EQ(BodyPictureIndex(4), 4);
    // A kind no entry form can store shows the picture of "Other".
    EXPECT_EQ(BodyPictureIndex(9), 4);
    EXPECT_EQ(BodyItemCaption(2, 9), "2. ");
}

TEST(MeasureText, TwoDecimalsWithTheUsersSeparator) {
    EXPECT_EQ(MeasureText(12.5L, '.'), "12.50");
    EXPECT_EQ(MeasureText(1.005L, ','), "1,01");
    EXPECT_EQ(MeasureText(0.0L, '.'), "0.00");
    EXPECT_EQ(MeasureText(123456.789L, '.'), "123456.79");
    EXPECT_EQ(MeasureText(-2.0L, '.'), "-2.00");
    EXPECT_EQ(MeasureText(1e20L, '.'), "1E20");
    // Damaged values are never printed.
    for (const long double damaged :
         {std::numeric_limits<long double>::quiet_NaN(), std::numeric_limits<long double>::infinity(),
          -std::numeric_limits<long double>::infinity()})
        EXPECT_EQ(MeasureText(damaged, '.'), "") << static_cast<double>(damaged);
}

TEST(CommandStates, FollowTheSelection) {
    struct Case {
        std::int32_t body, test;
        bool bodyCommands, testCommands;
    };
    const std::vector<Case> cases = {
        {-1, -1, false, false}, {0, -1, false, false}, {3, -1, true, false},
        {3, 7, true, true},     {-1, 7, false, true},  {3, 0, true, false},
    };
    for (const Case& c : cases) {
        const TCommandStates states = CommandStatesFor(c.body, c.test);
        EXPECT_EQ(states.bodyCommands, c.bodyCommands) << c.body << "/" << c.test;
        EXPECT_EQ(states.testCommands, c.testCommands) << c.body << "/" << c.test;
        EXPECT_EQ(states.keepsSelectedTestCaption, c.bodyCommands) << c.body << "/" << c.test;
    }
}

} // namespace
