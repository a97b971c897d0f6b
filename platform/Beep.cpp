#include "Beep.h"

#include <QApplication>

namespace platform {
namespace {

class ApplicationBeeper final : public Beeper {
public:
    void Beep() override {
        // Without the widget application there is no one to sound it.
        if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::beep();
    }
};

ApplicationBeeper applicationBeeper;
Beeper* current = &applicationBeeper;

} // namespace

Beeper& CurrentBeeper() {
    return *current;
}

Beeper* SetBeeper(Beeper* beeper) {
    Beeper* previous = current;
    current = beeper ? beeper : &applicationBeeper;
    return previous;
}

void MessageBeep() {
    current->Beep();
}

} // namespace platform
