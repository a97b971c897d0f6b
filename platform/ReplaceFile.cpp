#include "ReplaceFile.h"

#include "FileOps.h"

#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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

// A temporary is named after the file it will replace, so that only the program's own are ever
// taken for leftovers, in a folder other programs share: "<name>.tmp-XXXXXX".
constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kTemporaryRandomLength = 6; // mkostemp's XXXXXX
constexpr std::size_t kLongestName = 255;         // NAME_MAX of the usual file systems
// A writer locks its temporary right after creating it; the age covers that first instant.
constexpr std::chrono::seconds kStaleAge = std::chrono::minutes(1);

std::string_view NamePart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
}

// What the temporaries of `name` begin with; a name as long as a name may be is shortened to
// leave room for the rest.
std::string TemporaryStem(std::string_view name) {
    const std::size_t room = kLongestName - kTemporaryMark.size() - kTemporaryRandomLength;
    return std::string(name.substr(0, room)).append(kTemporaryMark);
}

bool IsTemporaryName(std::string_view name, std::string_view stem) {
    if (name.size() != stem.size() + kTemporaryRandomLength || !name.starts_with(stem)) return false;
    for (const char c : name.substr(stem.size()))
        if (!(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9')) return false;
    return true;
}

} // namespace

void RemoveStaleTemporariesOf(const std::string& path) {
    const std::string folder = FolderPart(path);
    const std::string stem = TemporaryStem(NamePart(path));
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (IsTemporaryName(name, stem)) (void)RemoveLeftOverAt(::dirfd(dir), entry->d_name, kStaleAge);
        // A removal cut off leaves the temporary under its removing name; the next one of the
        // same name finishes it.
        if (name.starts_with('.') && name.size() > 1) {
            const std::string temporary(name.substr(1, name.rfind('.') - 1));
            if (IsTemporaryName(temporary, stem) && RemovingNameOf(temporary) == name)
                (void)RemoveLeftOverAt(::dirfd(dir), temporary, kStaleAge);
        }
    }
    ::closedir(dir);
}

ReplaceOutcome ReplaceFile(const std::string& path, std::string_view content) {
    const std::string folder = FolderPart(path);
    RemoveStaleTemporariesOf(path);
    std::string temporary = folder + TemporaryStem(NamePart(path)) + "XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return {ReplaceOutcome::Step::Create, errno};
    // Held until the rename, so no other writer takes the temporary for a stale one.
    ::flock(fd, LOCK_EX | LOCK_NB);
    const int lockHolder = ::dup(fd);

    int error = 0;
    if (!WriteAll(fd, content)) error = errno;
    struct stat old {};
    if (!error && ::stat(path.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) error = errno;
    // Some file systems cannot flush (EINVAL); the write itself has then done what it can.
    if (!error && ::fsync(fd) != 0 && errno != EINVAL) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (lockHolder >= 0) ::close(lockHolder);
    if (error) {
        ::unlink(temporary.c_str());
        return {ReplaceOutcome::Step::Write, error};
    }
    FlushFolder(folder);
    return {};
}

} // namespace platform
