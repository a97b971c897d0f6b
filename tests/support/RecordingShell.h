#pragma once

#include "platform/Shell.h"

#include <vector>

// Records every address handed to the shell and opens nothing; answers as a desktop that has a
// program for it, or, with `opens` false, as one that has none. Installs itself for its lifetime.
class RecordingShell final : public platform::Shell {
public:
    RecordingShell() : previous_(platform::SetShell(this)) {}
    ~RecordingShell() override { platform::SetShell(previous_); }

    bool Open(const QUrl& url) override {
        opened.push_back(url);
        return opens;
    }

    std::vector<QUrl> opened;
    bool opens = true;

private:
    platform::Shell* previous_;
};
