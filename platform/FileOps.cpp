#include "FileOps.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace platform {
namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// NFS, SMB, CIFS, SMB2, FUSE, 9P, AFS, Ceph.
bool IsNetworkFileSystem(long type) {
    switch (static_cast<unsigned long>(type) & 0xFFFFFFFFUL) {
    case 0x6969UL:
    case 0x517BUL:
    case 0xFF534D42UL:
    case 0xFE534D42UL:
    case 0x65735546UL:
    case 0x01021997UL:
    case 0x5346414FUL:
    case 0x00C36400UL:
        return true;
    default:
        return false;
    }
}

bool FolderExists(const std::string& path) {
    struct stat info {};
    return ::stat(FolderOf(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

class PosixFileOps final : public FileOps {
public:
    SystemError Open(const std::string& path, FileDisposition disposition, FileAccess access,
                     FileSharing sharing, FileHandle& handle) override {
        handle = -1;
        if (path.find('\0') != std::string::npos) return win32::kInvalidName;
        // Without waiting: a pipe in the file's place would block a read-only open for ever.
        int flags = O_CLOEXEC | O_NONBLOCK | (access == FileAccess::ReadOnly ? O_RDONLY : O_RDWR);
        // Never O_TRUNC: a file open elsewhere must stay intact until our lock is held.
        // Never through a link: one that leads nowhere would make a file wherever it points.
        if (disposition == FileDisposition::CreateAlways) flags |= O_CREAT | O_NOFOLLOW;
        if (disposition == FileDisposition::CreateNew) flags |= O_CREAT | O_EXCL | O_NOFOLLOW;
        int fd;
        do {
            fd = ::open(path.c_str(), flags, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0 && errno == ELOOP && disposition == FileDisposition::CreateAlways)
            return win32::kAccessDenied;
        if (fd < 0) return SystemErrorFromErrno(errno, path);
        struct stat info {};
        // Only a plain file holds records: a folder, a pipe or a device is refused.
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
            ::close(fd);
            return win32::kAccessDenied;
        }
        const int lock = (sharing == FileSharing::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
        int rc;
        do {
            rc = ::flock(fd, lock);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? win32::kSharingViolation : SystemErrorFromErrno(error, path);
        }
        if (disposition == FileDisposition::CreateAlways && ::ftruncate(fd, 0) != 0) {
            const int error = errno;
            ::close(fd);
            return SystemErrorFromErrno(error, path);
        }
        handle = fd;
        return win32::kSuccess;
    }

    SystemError Read(FileHandle handle, std::int64_t offset, void* buffer, std::size_t length,
                     std::size_t& done) override {
        done = 0;
        auto* bytes = static_cast<unsigned char*>(buffer);
        while (done < length) {
            const ssize_t n = ::pread(handle, bytes + done, length - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return SystemErrorFromErrno(errno, {});
            }
            if (n == 0) break; // end of file
            done += static_cast<std::size_t>(n);
        }
        return win32::kSuccess;
    }

    SystemError Write(FileHandle handle, std::int64_t offset, const void* buffer, std::size_t length,
                      std::size_t& done) override {
        done = 0;
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        while (done < length) {
            const ssize_t n =
                ::pwrite(handle, bytes + done, length - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return SystemErrorFromErrno(errno, {});
            }
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
        }
        return win32::kSuccess;
    }

    SystemError Size(FileHandle handle, std::int64_t& size) override {
        struct stat info {};
        if (::fstat(handle, &info) != 0) return SystemErrorFromErrno(errno, {});
        size = info.st_size;
        return win32::kSuccess;
    }

    SystemError Truncate(FileHandle handle, std::int64_t length) override {
        int rc;
        do {
            rc = ::ftruncate(handle, static_cast<off_t>(length));
        } while (rc != 0 && errno == EINTR);
        return rc == 0 ? win32::kSuccess : SystemErrorFromErrno(errno, {});
    }

    SystemError Flush(FileHandle handle) override {
        int rc;
        do {
            rc = ::fsync(handle);
        } while (rc != 0 && errno == EINTR);
        return rc == 0 ? win32::kSuccess : SystemErrorFromErrno(errno, {});
    }

    SystemError Close(FileHandle handle) override {
        // Linux frees the descriptor even when close reports EINTR; never retry.
        if (::close(handle) == 0 || errno == EINTR) return win32::kSuccess;
        return SystemErrorFromErrno(errno, {});
    }

    SystemError Delete(const std::string& path) override {
        if (path.find('\0') != std::string::npos) return win32::kInvalidName;
        // Holding the exclusive lock proves nobody else has the file open.
        int fd;
        do {
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0 && errno != ELOOP) return SystemErrorFromErrno(errno, path);
        if (fd >= 0) {
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int error = errno;
                ::close(fd);
                return error == EWOULDBLOCK ? win32::kSharingViolation : SystemErrorFromErrno(error, path);
            }
        }
        const int rc = ::unlink(path.c_str());
        const int error = errno;
        if (fd >= 0) ::close(fd);
        return rc == 0 ? win32::kSuccess : SystemErrorFromErrno(error, path);
    }

    SystemError Rename(const std::string& from, const std::string& to) override {
        if (from.find('\0') != std::string::npos || to.find('\0') != std::string::npos)
            return win32::kInvalidName;
        if (::rename(from.c_str(), to.c_str()) != 0) return SystemErrorFromErrno(errno, to);
        return win32::kSuccess;
    }

    SystemError RenameToNew(const std::string& from, const std::string& to) override {
        if (from.find('\0') != std::string::npos || to.find('\0') != std::string::npos)
            return win32::kInvalidName;
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return win32::kSuccess;
        if (errno != EINVAL && errno != ENOSYS) return SystemErrorFromErrno(errno, to);
        // A file system that cannot refuse to replace in a rename (NFS): a second name, which
        // is never made over anything, then the first name dropped.
        if (::link(from.c_str(), to.c_str()) != 0) {
            if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS) return win32::kNotSupported;
            return SystemErrorFromErrno(errno, to);
        }
        ::unlink(from.c_str());
        return win32::kSuccess;
    }

    SystemError DeleteIfLeftOver(const std::string& path) override {
        if (path.find('\0') != std::string::npos) return win32::kInvalidName;
        return RemoveLeftOverAt(AT_FDCWD, path);
    }

    SystemError DeleteSecondName(const std::string& path, const std::string& keptPrefix,
                                 const std::string& notKeptPrefix) override {
        if ((path + keptPrefix + notKeptPrefix).find('\0') != std::string::npos) return win32::kInvalidName;
        return RemoveSecondName(path, keptPrefix, notKeptPrefix);
    }

    PathKind Inspect(const std::string& path) override {
        if (path.find('\0') != std::string::npos) return PathKind::NotPlain;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0)
            return errno == ENOENT || errno == ENOTDIR ? PathKind::Missing : PathKind::NotPlain;
        if (S_ISLNK(info.st_mode)) {
            if (::stat(path.c_str(), &info) != 0)
                return errno == ENOENT || errno == ENOTDIR ? PathKind::DanglingLink : PathKind::NotPlain;
        }
        return S_ISREG(info.st_mode) ? PathKind::PlainFile : PathKind::NotPlain;
    }

    const unsigned char* MapView(FileHandle handle, std::int64_t& size, std::int64_t& length) override {
        size = length = 0;
        struct stat info {};
        struct statfs where {};
        if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode) || ::fstatfs(handle, &where) != 0)
            return nullptr;
        // A file on a network share may vanish under a view; such files are read.
        if (IsNetworkFileSystem(where.f_type)) return nullptr;
        constexpr std::int64_t kMinimum = 1 << 20;
        constexpr std::int64_t kGrain = 1 << 16;
        const std::int64_t wanted =
            std::max<std::int64_t>(kMinimum, 2 * static_cast<std::int64_t>(info.st_size));
        const std::int64_t reserved = (wanted + kGrain - 1) / kGrain * kGrain;
        void* view = ::mmap(nullptr, static_cast<std::size_t>(reserved), PROT_READ, MAP_SHARED, handle, 0);
        if (view == MAP_FAILED) return nullptr;
        size = info.st_size;
        length = reserved;
        return static_cast<const unsigned char*>(view);
    }

    void ReleaseView(const unsigned char* view, std::int64_t length) override {
        if (view != nullptr) ::munmap(const_cast<unsigned char*>(view), static_cast<std::size_t>(length));
    }

    SystemError FlushFolder(const std::string& path) override {
        const std::string folder = FolderOf(path);
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return SystemErrorFromErrno(errno, folder + "/");
        int rc;
        do {
            rc = ::fsync(fd);
        } while (rc != 0 && errno == EINTR);
        const int error = errno;
        ::close(fd);
        return rc == 0 ? win32::kSuccess : SystemErrorFromErrno(error, {});
    }

    SystemError LockRange(FileHandle handle, std::int64_t offset, std::int64_t length) override {
        return SetLock(handle, F_WRLCK, offset, length);
    }

    SystemError UnlockRange(FileHandle handle, std::int64_t offset, std::int64_t length) override {
        return SetLock(handle, F_UNLCK, offset, length);
    }

private:
    static SystemError SetLock(FileHandle handle, short type, std::int64_t offset, std::int64_t length) {
        struct flock range {};
        range.l_type = type;
        range.l_whence = SEEK_SET;
        range.l_start = static_cast<off_t>(offset);
        range.l_len = static_cast<off_t>(length);
        int rc;
        do {
            rc = ::fcntl(handle, F_OFD_SETLK, &range);
        } while (rc != 0 && errno == EINTR);
        if (rc == 0) return win32::kSuccess;
        if (errno == EAGAIN || errno == EACCES) return win32::kLockViolation;
        return SystemErrorFromErrno(errno, {});
    }
};

FileOps* installed = nullptr;

// Where a copy out of a view goes on when a page of it has no file behind it any more.
thread_local sigjmp_buf* copyGuard = nullptr;
struct sigaction busErrorBefore {};
struct sigaction busErrorGuard {};

// The default action of the signal, which ends the process. Should it not (a debugger let it
// pass), the guard is put back.
void EndByDefault(int signal) {
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(signal, &byDefault, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::sigaction(signal, &busErrorGuard, nullptr);
}

void OnBusError(int signal, siginfo_t* info, void* context) {
    // A fault has a positive code; a SIGBUS another program sent (kill, sigqueue) does not, and
    // is no copy's fault even when it arrives during one.
    const bool fault = info != nullptr && info->si_code > 0;
    if (fault && copyGuard != nullptr) siglongjmp(*copyGuard, 1);
    // Anything else takes the action that was there before the guard, which stays.
    const bool withInfo = (busErrorBefore.sa_flags & SA_SIGINFO) != 0;
    if (withInfo && busErrorBefore.sa_sigaction != nullptr) {
        busErrorBefore.sa_sigaction(signal, info, context);
        return;
    }
    if (!withInfo && busErrorBefore.sa_handler != SIG_DFL && busErrorBefore.sa_handler != SIG_IGN) {
        busErrorBefore.sa_handler(signal);
        return;
    }
    // A fault cannot be ignored: the system would end the process for it all the same.
    if (!withInfo && busErrorBefore.sa_handler == SIG_IGN && !fault) return;
    EndByDefault(signal);
}

void GuardCopiesFromViews() {
    static std::once_flag once;
    std::call_once(once, [] {
        busErrorGuard.sa_sigaction = OnBusError;
        // Not blocked while handled: the jump out of the handler leaves the mask as it is.
        busErrorGuard.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&busErrorGuard.sa_mask);
        ::sigaction(SIGBUS, &busErrorGuard, &busErrorBefore);
    });
}

} // namespace

bool CopyFromView(void* to, const unsigned char* from, std::size_t length) {
    GuardCopiesFromViews();
    sigjmp_buf guard;
    if (sigsetjmp(guard, 0) != 0) {
        copyGuard = nullptr;
        return false;
    }
    copyGuard = &guard;
    // The handler sees the guard set for exactly the copy.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(to, from, length);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    copyGuard = nullptr;
    return true;
}

std::int64_t ViewPageSize() {
    static const std::int64_t size = ::sysconf(_SC_PAGESIZE);
    return size;
}

SystemError SystemErrorFromErrno(int error, const std::string& path) {
    switch (error) {
    case 0:
        return win32::kSuccess;
    case ENOENT:
        return path.empty() || FolderExists(path) ? win32::kFileNotFound : win32::kPathNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return win32::kPathNotFound;
    case EMFILE:
    case ENFILE:
        return win32::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
        return win32::kAccessDenied;
    case EBADF:
        return win32::kInvalidHandle;
    case ENOMEM:
        return win32::kNotEnoughMemory;
    case EROFS:
        return win32::kWriteProtect;
    case ENXIO:
    case ENODEV:
        return win32::kNotReady;
    case EWOULDBLOCK:
        return win32::kSharingViolation;
    case EEXIST:
        return win32::kFileExists;
    case EINVAL:
        return win32::kInvalidParameter;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return win32::kDiskFull;
    case EILSEQ:
        return win32::kInvalidName;
    case EIO:
        return win32::kIoDevice;
    default:
        return win32::kGenFailure;
    }
}

FileOps& PosixFiles() {
    // Never destroyed: the storage engine still closes its files at program end.
    static PosixFileOps* files = new PosixFileOps;
    return *files;
}

FileOps& Files() {
    return installed ? *installed : PosixFiles();
}

FileOps* SetFiles(FileOps* files) {
    FileOps* previous = installed;
    installed = files;
    return previous;
}

} // namespace platform
