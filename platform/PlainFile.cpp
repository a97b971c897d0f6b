#include "PlainFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

PlainFileRead ReadPlainFile(const std::string& path, std::size_t maxSize) {
    using Result = PlainFileRead::Result;
    PlainFileRead read;
    // Not blocking: opening a pipe would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        read.error = errno;
        read.result = errno == ENOENT ? Result::Missing : Result::Failed;
        return read;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        read.error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        read.result = Result::NotPlain;
    } else {
        read.result = Result::Read;
        char buffer[8192];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                read.error = errno;
                read.result = Result::Failed;
                break;
            }
            if (n == 0) break;
            if (read.bytes.size() + static_cast<std::size_t>(n) > maxSize) {
                read.result = Result::TooLarge;
                break;
            }
            read.bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (read.result != Result::Read) read.bytes.clear();
    return read;
}

} // namespace platform
