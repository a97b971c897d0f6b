#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

// The storage engine's only way to the file system. The program uses the POSIX
// implementation; tests wrap it to fail or drop operations at the n-th call.
//
// Every operation returns 0 on success or a Windows system error number, so the engine
// maps failures exactly as its error tables were written for (ENOENT becomes "file not
// found" or "path not found", EMFILE "too many open files", a refused lock a sharing
// violation, and so on).
namespace platform {

using SystemError = std::uint32_t;
using FileHandle = int; // -1: no file

// Windows system error numbers the engine and its tests distinguish.
namespace win32 {
constexpr SystemError kSuccess = 0;
constexpr SystemError kFileNotFound = 2;
constexpr SystemError kPathNotFound = 3;
constexpr SystemError kTooManyOpenFiles = 4;
constexpr SystemError kAccessDenied = 5;
constexpr SystemError kInvalidHandle = 6;
constexpr SystemError kNotEnoughMemory = 8;
constexpr SystemError kInvalidAccess = 12;
constexpr SystemError kWriteProtect = 19;
constexpr SystemError kNotReady = 21;
constexpr SystemError kGenFailure = 31;
constexpr SystemError kSharingViolation = 32;
constexpr SystemError kLockViolation = 33;
constexpr SystemError kNotSupported = 50;
constexpr SystemError kFileExists = 80;
constexpr SystemError kInvalidParameter = 87;
constexpr SystemError kDiskFull = 112;
constexpr SystemError kInvalidName = 123;
constexpr SystemError kIoDevice = 1117;
} // namespace win32

enum class FileDisposition {
    OpenExisting, // fails with kFileNotFound when absent
    CreateAlways, // creates or empties the file
    CreateNew,    // creates a new file, never through a link; kFileExists when the name is taken
};
enum class FileAccess { ReadWrite, ReadOnly };
enum class FileSharing {
    Exclusive, // no other open of the file, in this process or another, may coexist
    Shared,    // other shared opens may coexist
};

// What stands at a name.
enum class PathKind {
    Missing,      // nothing
    PlainFile,    // a plain file, or a link that leads to one
    DanglingLink, // a symbolic link that leads nowhere (a disk not mounted, a target deleted)
    NotPlain,     // a folder, a pipe, a device, or what cannot be looked at
};

class FileOps {
public:
    virtual ~FileOps() = default;

    // Opens `path` with a close-on-exec descriptor and takes the sharing lock without waiting;
    // a file that is open elsewhere in a conflicting way fails with kSharingViolation.
    // Create-always empties the file only after the lock is held, and never creates or writes
    // through a symbolic link (kAccessDenied). What is not a plain file is refused
    // (kAccessDenied) without waiting.
    virtual SystemError Open(const std::string& path, FileDisposition disposition, FileAccess access,
                             FileSharing sharing, FileHandle& handle) = 0;
    // Reads up to `length` bytes at `offset`; `done` tells how many arrived (fewer only at
    // the end of the file).
    virtual SystemError Read(FileHandle handle, std::int64_t offset, void* buffer, std::size_t length,
                             std::size_t& done) = 0;
    virtual SystemError Write(FileHandle handle, std::int64_t offset, const void* buffer, std::size_t length,
                              std::size_t& done) = 0;
    virtual SystemError Size(FileHandle handle, std::int64_t& size) = 0;
    virtual SystemError Truncate(FileHandle handle, std::int64_t length) = 0;
    // Brings the file's data to the disk.
    virtual SystemError Flush(FileHandle handle) = 0;
    // The descriptor is gone afterwards even when an error is reported.
    virtual SystemError Close(FileHandle handle) = 0;
    // Refuses a file that is open elsewhere (kSharingViolation).
    virtual SystemError Delete(const std::string& path) = 0;
    // Gives the file `from` the name `to` in one step, replacing what had that name (a link
    // itself, never what it points to).
    virtual SystemError Rename(const std::string& from, const std::string& to) = 0;
    // Gives the file `from` the name `to` only while nothing has that name (kFileExists, a
    // dangling link too): what stands there is never replaced. kNotSupported where the file
    // system can neither refuse to replace in a rename nor give a file a second name (FAT,
    // exFAT, some FUSE file systems); nothing is changed then.
    virtual SystemError RenameToNew(const std::string& from, const std::string& to) = 0;
    // Removes `path` only when it is a plain file (never a link: kAccessDenied) of this user
    // with no other name, that no process of this user has open or mapped and none locks
    // (kSharingViolation), and only the file checked; kFileNotFound when nothing is there. For
    // files a writer left behind (RemoveLeftOverAt).
    virtual SystemError DeleteIfLeftOver(const std::string& path) = 0;
    // Removes the name `path` of a plain file of this user that nobody holds open and that has
    // exactly one other name, in the same folder, beginning with `keptPrefix` and not with
    // `notKeptPrefix` (both in that folder): what a rename by a second name leaves when it is
    // cut off before it drops the first. Nothing of the file is lost. kAccessDenied when it is
    // no such file (a file system without second names has none).
    virtual SystemError DeleteSecondName(const std::string& path, const std::string& keptPrefix,
                                         const std::string& notKeptPrefix) {
        (void)path;
        (void)keptPrefix;
        (void)notKeptPrefix;
        return win32::kAccessDenied;
    }
    // Brings the folder holding `path` (its entries: created and deleted names) to the disk.
    virtual SystemError FlushFolder(const std::string& path) = 0;
    // Byte-range locks between processes, taken without waiting (kLockViolation when held).
    virtual SystemError LockRange(FileHandle handle, std::int64_t offset, std::int64_t length) = 0;
    virtual SystemError UnlockRange(FileHandle handle, std::int64_t offset, std::int64_t length) = 0;

    // What stands at `path`; changes nothing and never blocks.
    virtual PathKind Inspect(const std::string& path) = 0;

    // A read-only view of the file's first `length` bytes (chosen here, room to grow beyond
    // `size`, the file's size now) that shows every later write to the file; nullptr where
    // there is none, and the caller reads instead. Only bytes within the file may be touched.
    virtual const unsigned char* MapView(FileHandle handle, std::int64_t& size, std::int64_t& length) {
        (void)handle;
        size = length = 0;
        return nullptr;
    }
    virtual void ReleaseView(const unsigned char* view, std::int64_t length) {
        (void)view;
        (void)length;
    }
};

// Copies `length` bytes out of a view made by MapView. False, with nothing to rely on in `to`,
// when the bytes are no longer there: the file was cut shorter by another program, which
// would otherwise end the process with a bus error.
bool CopyFromView(void* to, const unsigned char* from, std::size_t length);
// The size of a page of memory: a view shows the file's bytes page by page, the rest of the
// page that holds a file's end as zeros, and a page wholly past the end not at all.
std::int64_t ViewPageSize();

// Removes `name` in the folder open as `folderFd` (AT_FDCWD: `name` is a path) only when it is
// provably a file a writer left behind: a plain file (never a link: kAccessDenied) of this user
// with no other name, untouched for `minimumAge` (none: any age), that no process of this user
// has open or mapped and none locks (kSharingViolation); kFileNotFound when nothing is there.
// It is moved to RemovingNameOf(name) and checked there before it goes, so a file renamed into
// `name` meanwhile stays; a removal cut off there is finished by the next one of `name`. What
// FileOps::DeleteIfLeftOver and the sweep of stale temporaries both do.
SystemError RemoveLeftOverAt(int folderFd, const std::string& name,
                             std::chrono::seconds minimumAge = std::chrono::seconds::zero());
// What FileOps::DeleteSecondName does, the same way.
SystemError RemoveSecondName(const std::string& path, const std::string& keptPrefix,
                             const std::string& notKeptPrefix);
// The name in the same folder that a removal of `name` moves it to: "." + name + ".removing".
std::string RemovingNameOf(const std::string& name);

// The POSIX implementation (one per process).
FileOps& PosixFiles();

// The file operations in use: the POSIX ones unless a test installed others. Not owned.
FileOps& Files();
// Installs `files` (nullptr restores the POSIX ones); returns the previous ones.
FileOps* SetFiles(FileOps* files);

// The Windows system error for an errno value of a call on `path` (may be empty).
SystemError SystemErrorFromErrno(int error, const std::string& path);

} // namespace platform
