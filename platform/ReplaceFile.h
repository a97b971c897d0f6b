#pragma once

#include <string>
#include <string_view>

// Replacing a file's whole content in one step: the new content goes to a new file in the
// same folder, which is then renamed over the old name, so a reader sees the old file or the
// new one, never a part, and a failed write leaves the old file as it was.
namespace platform {

struct ReplaceOutcome {
    enum class Step { None, Create, Write }; // the step that failed
    Step failed = Step::None;
    int error = 0; // its errno

    explicit operator bool() const { return failed == Step::None; }
};

// Replaces (or creates) `path` with `content`. The new file keeps the old one's mode; a new
// one is private to the user. The folder must exist. Nothing is left behind on failure, and the
// stale temporaries of earlier replacements of `path` are removed first.
ReplaceOutcome ReplaceFile(const std::string& path, std::string_view content);

// Removes the temporaries that writers of `path` killed between their write and their rename left
// beside it: plain files of the user's own named after the file, ".tmp-" and six letters or digits
// ("zelplus.ini.tmp-Q7r2Kx"), untouched for a minute and not held by a writer (each writer locks its
// temporary until it is renamed). Nothing else in the folder is touched: other programs share it.
void RemoveStaleTemporariesOf(const std::string& path);

} // namespace platform
