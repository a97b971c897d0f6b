#pragma once

#include "platform/Shell.h"

#include <vector>

// Records every address handed to the shell and opens nothing. Installs itself for its lifetime.
class RecordingShell final : public platform::Shell {
public:
    RecordingShell() : previous_(platform::SetShell(this)) {}
    ~RecordingShell() override { platform::SetShell(previous_); }

    bool Open(const QUrl& url) override {
        opened.push_back(url);
        return true;
    }

    std::vector<QUrl> opened;

private:
    platform::Shell* previous_;
};
