#pragma once

#include "platform/Beep.h"

// Counts every beep and sounds none. Installs itself for its lifetime.
class RecordingBeeper final : public platform::Beeper {
public:
    RecordingBeeper() : previous_(platform::SetBeeper(this)) {}
    ~RecordingBeeper() override { platform::SetBeeper(previous_); }

    void Beep() override { ++beeps; }

    int beeps = 0;

private:
    platform::Beeper* previous_;
};
