#pragma once

#include "app/BrinovaAPI.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

// The main window's rules that need no window: where a restored window may stand, how wide the
// note column is, what the selected-test label and a body's list entry read, and which
// commands the selection allows.

// The area a restored window must come back into (the whole desktop).
struct TScreenArea {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A window whose top lies above the area or within 100 pixels of its bottom comes back at
// top 10; then one whose left lies left of it or within 100 pixels of its right edge comes
// back at left 100. Its size stays.
TFormBounds PulledBackPosition(const TFormBounds& bounds, const TScreenArea& screen);

// A restored size no larger than the area (the available desktop); its position stays. A saved
// size beyond the desktop would only make the window paint what nobody can see.
TFormBounds SizeHeldToArea(const TFormBounds& bounds, const TScreenArea& area);

// The note column takes what the date and time columns and the vertical scroll bar leave.
int NoteColumnWidth(int listWidth, int dateColumnWidth, int timeColumnWidth, int scrollBarWidth);

// The caption while no line of the test list is there to name: "Selected test:" alone.
QString NoSelectedTestCaption();
// "Selected test:" and four blanks, the date, a blank and the time when there is one, then ", "
// and the note when there is one (an empty note still gives the ", ").
QString SelectedTestCaption(const QString& date, const std::optional<QString>& time,
                            const std::optional<QString>& note);

// What the list of bodies says while no data file is open.
std::string NoDataFileText();

// "1. Swimming Pool": the running number from 1 and the body kind's name.
std::string BodyItemCaption(int runningNumber, std::uint8_t kind);
// The picture of a body kind; a kind outside the table shows as "Other".
int BodyPictureIndex(std::uint8_t kind);

// A body measure as the details show it: fixed with two decimals, the user's separator.
std::string MeasureText(long double value, char decimalSeparator);

// Which command controls the selection allows (record numbers, -1 or 0 for none).
struct TCommandStates {
    bool bodyCommands = false; // edit and delete body, new test
    bool testCommands = false; // show results, edit and delete test
    bool keepsSelectedTestCaption = false;
};
TCommandStates CommandStatesFor(std::int32_t selectedBody, std::int32_t selectedTest);
