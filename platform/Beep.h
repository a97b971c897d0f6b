#pragma once

// The system's default beep (a refused key, a calculator error). The real one is
// QApplication::beep(); tests install a counter, so nothing sounds and every beep is seen.
namespace platform {

class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void Beep() = 0;
};

// The beeper in use: the application's unless a test installed another. Not owned.
Beeper& CurrentBeeper();
// Installs `beeper` (nullptr restores the application's); returns the previous one.
Beeper* SetBeeper(Beeper* beeper);

// The default beep through the beeper in use.
void MessageBeep();

} // namespace platform
