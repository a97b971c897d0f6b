#pragma once

#include "platform/MessageBox.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

// No box may stop a benchmark: a failure ends the run.
class AbortingMessageBoxes final : public platform::MessageBoxes {
public:
    platform::MessageAnswer Show(QWidget*, const QString& caption, const QString& text, platform::MessageIcon,
                                 platform::MessageButtons) override {
        std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
        std::abort();
    }
};
