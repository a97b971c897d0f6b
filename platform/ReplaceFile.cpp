#include "ReplaceFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The folder part of `path` with its slash ("" for a bare name).
std::string FolderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void FlushFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

ReplaceOutcome ReplaceFile(const std::string& path, std::string_view content) {
    const std::string folder = FolderPart(path);
    // A short name of its own, not the path plus a suffix: a last part that is already as
    // long as a name may be would leave no room for one.
    std::string temporary = folder + ".zel-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return {ReplaceOutcome::Step::Create, errno};

    int error = 0;
    if (!WriteAll(fd, content)) error = errno;
    struct stat old {};
    if (!error && ::stat(path.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) error = errno;
    // Some file systems cannot flush (EINVAL); the write itself has then done what it can.
    if (!error && ::fsync(fd) != 0 && errno != EINVAL) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        return {ReplaceOutcome::Step::Write, error};
    }
    FlushFolder(folder);
    return {};
}

} // namespace platform
