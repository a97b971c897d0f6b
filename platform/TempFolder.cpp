#include "TempFolder.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::optional<std::string> PrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
    // Checked on the opened folder itself, so a link swapped in after mkdir is refused too.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
    if (ok && (info.st_mode & 077) != 0) ok = ::fchmod(fd, 0700) == 0;
    ::close(fd);
    if (!ok) return std::nullopt;
    return path;
}

namespace {

// $XDG_RUNTIME_DIR as the base directory rules require it: an absolute path naming a real
// folder (no symbolic link) of the user's own that neither the group nor others may enter.
// Its mode is not ours to change, so any other folder is passed over.
bool IsPrivateRuntimeFolder(std::string path) {
    if (path.empty() || path.front() != '/') return false;
    // A trailing slash would make the open follow a link.
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    // Opened only to be looked at, so a folder the user may not read is judged by its owner too.
    const int fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
                    (info.st_mode & 077) == 0;
    ::close(fd);
    return ok;
}

// The fresh folder made for this run under a shared folder whose per-user name was taken: made
// once, so the engine writes the result page where the viewer then looks for it.
std::optional<std::string> FreshPrivateFolder(const std::string& sharedFolder) {
    static std::string madeUnder;
    static std::string made;
    if (madeUnder == sharedFolder && !made.empty())
        if (auto folder = PrivateFolder(made)) return folder;
    std::string pattern = sharedFolder + "/zelplus-" + std::to_string(::getuid()) + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) return std::nullopt; // made with mode 0700
    madeUnder = sharedFolder;
    made = pattern;
    return made;
}

} // namespace

std::string TempFolderFrom(const char* runtimeFolder, const std::string& sharedFolder) {
    if (runtimeFolder && IsPrivateRuntimeFolder(runtimeFolder)) return runtimeFolder;
    // A relative folder would put the result page wherever the program was started.
    if (sharedFolder.empty() || sharedFolder.front() != '/') return std::string();
    if (auto folder = PrivateFolder(sharedFolder + "/zelplus-" + std::to_string(::getuid()))) return *folder;
    return FreshPrivateFolder(sharedFolder).value_or(std::string());
}

std::string TempFolder() {
    return TempFolderFrom(std::getenv("XDG_RUNTIME_DIR"), "/tmp");
}

} // namespace platform
