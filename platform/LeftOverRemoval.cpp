// Removing files a writer left behind: only a file provably nobody's any more, and only the
// file that was checked.
#include "FileOps.h"

#include "FileHolders.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::string_view kRemovingMark = ".removing";
constexpr std::size_t kLongestName = 255; // NAME_MAX of the usual file systems

std::string FolderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsSameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Closes the descriptor on every path out.
struct OpenFile {
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
    int fd = -1;
    struct stat info {};
};

// Gives `from` the name `to` while nothing has that name; where the file system cannot refuse
// in the rename itself, only when `to` is found free (nothing but a removal writes these names,
// and the file it moves is held locked). 0 or the errno.
int RenameToFree(int folderFd, const std::string& from, const std::string& to) {
    if (::renameat2(folderFd, from.c_str(), folderFd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    struct stat there {};
    if (::fstatat(folderFd, to.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    if (errno != ENOENT) return errno;
    return ::renameat(folderFd, from.c_str(), folderFd, to.c_str()) == 0 ? 0 : errno;
}

// What else a removable file must be, beyond a plain file of this user that nobody holds: its
// number of names and what they are.
using Removable = std::function<bool(const struct stat&)>;

// Opens `name` and checks it: a plain file of this user (never a link: kAccessDenied), untouched
// for `minimumAge`, `removable`, that nobody holds open, mapped or locked (kSharingViolation).
// On success the file is open in `file` and its flock held, so no other removal or writer of
// this program takes it meanwhile.
SystemError OpenChecked(int folderFd, const std::string& name, std::chrono::seconds minimumAge,
                        const Removable& removable, OpenFile& file) {
    struct stat named {};
    if (::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0)
        return SystemErrorFromErrno(errno, name);
    // Looked at before it is opened: opening a device or a pipe may do something.
    if (!S_ISREG(named.st_mode)) return win32::kAccessDenied;
    do {
        file.fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    } while (file.fd < 0 && errno == EINTR);
    if (file.fd < 0) return errno == ELOOP ? win32::kAccessDenied : SystemErrorFromErrno(errno, name);
    const auto untouchedFor = [&] {
        if (minimumAge == std::chrono::seconds::zero()) return true;
        const auto modified = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(file.info.st_mtim.tv_sec) +
                std::chrono::nanoseconds(file.info.st_mtim.tv_nsec)));
        return std::chrono::system_clock::now() - modified >= minimumAge;
    };
    if (::fstat(file.fd, &file.info) != 0 || !S_ISREG(file.info.st_mode) || file.info.st_uid != ::geteuid() ||
        !untouchedFor() || !removable(file.info))
        return win32::kAccessDenied;
    if (::flock(file.fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? win32::kSharingViolation : SystemErrorFromErrno(errno, name);
    if (HeldElsewhere(file.info.st_dev, file.info.st_ino, file.fd)) return win32::kSharingViolation;
    return win32::kSuccess;
}

// Drops the checked `file` at `name`. It is moved to its removing name first and looked at
// there, so that what is dropped is the file checked, never one renamed into `name` after the
// check; there it is checked for holders once more. Anything else is put back.
SystemError DropChecked(int folderFd, const std::string& name, const OpenFile& file,
                        const Removable& removable) {
    const std::string removing = RemovingNameOf(name);
    if (const int error = RenameToFree(folderFd, name, removing))
        return error == EEXIST ? win32::kAccessDenied : SystemErrorFromErrno(error, name);
    struct stat moved {};
    SystemError result = win32::kSuccess;
    if (::fstatat(folderFd, removing.c_str(), &moved, AT_SYMLINK_NOFOLLOW) != 0 ||
        !IsSameFile(moved, file.info) || !removable(moved))
        result = win32::kAccessDenied;
    else if (HeldElsewhere(moved.st_dev, moved.st_ino, file.fd))
        result = win32::kSharingViolation;
    if (result == win32::kSuccess) {
        if (::unlinkat(folderFd, removing.c_str(), 0) == 0) return win32::kSuccess;
        result = SystemErrorFromErrno(errno, name);
    }
    // Should `name` be taken again meanwhile, the file stays at the removing name, where the
    // next removal of `name` looks first.
    (void)RenameToFree(folderFd, removing, name);
    return result;
}

SystemError RemoveAt(int folderFd, const std::string& name, std::chrono::seconds minimumAge,
                     const Removable& removable) {
    // A removal ended between its move and its drop left the file at the removing name, which
    // nothing but a removal of `name` writes: checked, it is dropped there.
    {
        const std::string removing = RemovingNameOf(name);
        OpenFile unfinished;
        if (OpenChecked(folderFd, removing, minimumAge, removable, unfinished) == win32::kSuccess)
            (void)::unlinkat(folderFd, removing.c_str(), 0);
    }
    OpenFile file;
    if (const SystemError error = OpenChecked(folderFd, name, minimumAge, removable, file)) return error;
    return DropChecked(folderFd, name, file, removable);
}

// Whether the folder holds another name of `file` than `name` that begins with `kept` and not
// with `notKept`.
bool HasKeptName(const std::string& name, const struct stat& file, const std::string& kept,
                 const std::string& notKept) {
    const std::string folder = FolderPart(name);
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view other = entry->d_name;
        if (other == NamePart(name) || !other.starts_with(kept) || other.starts_with(notKept)) continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            IsSameFile(info, file)) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace

SystemError RemoveLeftOverAt(int folderFd, const std::string& name, std::chrono::seconds minimumAge) {
    return RemoveAt(folderFd, name, minimumAge, [](const struct stat& info) { return info.st_nlink == 1; });
}

SystemError RemoveSecondName(const std::string& path, const std::string& keptPrefix,
                             const std::string& notKeptPrefix) {
    if (FolderPart(keptPrefix) != FolderPart(path) || FolderPart(notKeptPrefix) != FolderPart(path))
        return win32::kInvalidParameter;
    const std::string kept = NamePart(keptPrefix);
    const std::string notKept = NamePart(notKeptPrefix);
    return RemoveAt(AT_FDCWD, path, std::chrono::seconds::zero(), [&](const struct stat& info) {
        return info.st_nlink == 2 && HasKeptName(path, info, kept, notKept);
    });
}

std::string RemovingNameOf(const std::string& name) {
    std::string base = NamePart(name);
    base.resize(std::min(base.size(), kLongestName - 1 - kRemovingMark.size()));
    return FolderPart(name) + "." + base + std::string(kRemovingMark);
}

} // namespace platform
