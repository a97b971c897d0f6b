#pragma once

#include <optional>
#include <string>

// The system temporary folder of the program: private to the user, so another user can
// neither read the result page nor plant a file or link in its place.
namespace platform {

// $XDG_RUNTIME_DIR when it names a folder of the user's own that only the user may enter (no
// symbolic link), else /tmp/zelplus-<uid> made private by PrivateFolder, else (when that name is
// taken by something not ours) a fresh private folder /tmp/zelplus-<uid>-XXXXXX made once for the
// run. Always an absolute path; empty when no private folder can be had.
// Reported as the system has it: no trailing slash is promised.
std::string TempFolder();
// The same with the environment's runtime folder (may be null) and the shared temporary folder
// ("/tmp") given.
std::string TempFolderFrom(const char* runtimeFolder, const std::string& sharedFolder);

// Makes sure `path` is a folder of the user's own that nobody else may enter: creates it with
// mode 0700, or takes the existing one when it is ours (tightening its mode to 0700). Refuses
// (nullopt) a symbolic link, anything but a folder, and a folder of another user.
std::optional<std::string> PrivateFolder(const std::string& path);

} // namespace platform
