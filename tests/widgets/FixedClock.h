#pragma once

#include "platform/DateTimeText.h"

// A clock standing still at a given day count, installed for the lifetime of the object.
class FixedClock final : public platform::Clock {
public:
    explicit FixedClock(double now) : now_(now), previous_(platform::SetClock(this)) {}
    ~FixedClock() override { platform::SetClock(previous_); }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;

    double Now() const override { return now_; }

private:
    double now_;
    const platform::Clock* previous_;
};
