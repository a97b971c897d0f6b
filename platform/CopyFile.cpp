#include "CopyFile.h"

#include "FileOps.h"

#include <algorithm>
#include <vector>

namespace platform {
namespace {

constexpr std::size_t kChunk = 1 << 20;

// Closes the handle on every path out.
struct Handle {
    ~Handle() {
        if (fd >= 0) Files().Close(fd);
    }
    FileHandle fd = -1;
};

SystemError CopyBytes(FileHandle source, FileHandle target) {
    std::int64_t size = 0;
    if (SystemError error = Files().Size(source, size)) return error;
    std::vector<unsigned char> chunk(kChunk);
    for (std::int64_t offset = 0; offset < size;) {
        const auto length = static_cast<std::size_t>(std::min<std::int64_t>(size - offset, kChunk));
        std::size_t done = 0;
        if (SystemError error = Files().Read(source, offset, chunk.data(), length, done)) return error;
        if (done != length) return win32::kGenFailure; // cut short while being copied
        if (SystemError error = Files().Write(target, offset, chunk.data(), length, done)) return error;
        if (done != length) return win32::kDiskFull;
        offset += static_cast<std::int64_t>(length);
    }
    return Files().Flush(target);
}

// Names `to` while nothing has that name. Where the file system cannot refuse in the rename
// itself, a name found free is taken with a plain rename: only copies of the same file are
// given such names, and the one being copied is held locked by this copy.
SystemError NameCopy(const std::string& temporary, const std::string& to) {
    const SystemError error = Files().RenameToNew(temporary, to);
    if (error != win32::kNotSupported) return error;
    if (Files().Inspect(to) != PathKind::Missing) return win32::kFileExists;
    return Files().Rename(temporary, to);
}

} // namespace

CopyOutcome CopyToNewFile(const std::string& from, const std::string& to,
                          const std::vector<std::string>& temporaries) {
    Handle source, target;
    if (SystemError error = Files().Open(from, FileDisposition::OpenExisting, FileAccess::ReadOnly,
                                         FileSharing::Exclusive, source.fd))
        return {CopyOutcome::Result::Failed, error};
    if (Files().Inspect(to) != PathKind::Missing) return {CopyOutcome::Result::NameTaken, win32::kFileExists};
    const std::string* temporary = nullptr;
    for (const std::string& name : temporaries) {
        const SystemError created = Files().Open(name, FileDisposition::CreateNew, FileAccess::ReadWrite,
                                                 FileSharing::Exclusive, target.fd);
        if (created == win32::kFileExists) continue;
        if (created != win32::kSuccess) return {CopyOutcome::Result::Failed, created};
        temporary = &name;
        break;
    }
    if (temporary == nullptr) return {CopyOutcome::Result::NoTemporaryName, win32::kFileExists};
    // Renamed while still open, so that its lock tells it is being written until it has its name.
    SystemError error = CopyBytes(source.fd, target.fd);
    if (error == win32::kSuccess) error = NameCopy(*temporary, to);
    Files().Close(target.fd); // its bytes are on the disk already
    target.fd = -1;
    if (error != win32::kSuccess) {
        Files().Delete(*temporary);
        if (error == win32::kFileExists) return {CopyOutcome::Result::NameTaken, error};
        return {CopyOutcome::Result::Failed, error};
    }
    // A copy whose name may not outlast a power loss is no copy to rely on.
    if (SystemError flushed = Files().FlushFolder(to)) {
        Files().Delete(to);
        return {CopyOutcome::Result::Failed, flushed};
    }
    return {CopyOutcome::Result::Copied, 0};
}

} // namespace platform
