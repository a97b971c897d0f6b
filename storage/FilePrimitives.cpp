#include "storage/FilePrimitives.h"

#include "storage/FileViews.h"
#include "storage/LockRanges.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>

namespace storage {
namespace win32 = platform::win32;

namespace {

constexpr std::int64_t kZeroChunk = 1024;
// Larger zero-fills are written in one piece up to this size, then in chunks.
constexpr std::int64_t kZeroFillOneWriteLimit = 16 * 1024 * 1024;

// Records the failing call in the file layer and reports `code` through the status.
void FailCall(std::uint16_t functionCode, platform::SystemError error, std::int32_t code) {
    LastFileError() = {functionCode, error};
    FailFromSystem(code);
}

// A file another program cut shorter is not read or written any more: its records are gone.
bool RefusedAsCut(const FileRecord& file) {
    if (!FileWasCut(file)) return false;
    Fail(fberr::kReadError);
    return true;
}

} // namespace

std::int32_t MapOpenError(platform::SystemError error) {
    switch (error) {
    case win32::kFileNotFound:
        return fberr::kFileNotFound;
    case win32::kPathNotFound:
    case win32::kInvalidName:
        return fberr::kInvalidPathName;
    case win32::kTooManyOpenFiles:
        return fberr::kTooManyOpenFiles;
    case win32::kInvalidAccess:
        return fberr::kInvalidAccessCode;
    default:
        return fberr::kAccessNotPossible;
    }
}

std::int32_t MapCreateError(platform::SystemError error) {
    switch (error) {
    case win32::kPathNotFound:
    case win32::kInvalidName:
        return fberr::kInvalidPathName;
    case win32::kTooManyOpenFiles:
        return fberr::kTooManyOpenFiles;
    default:
        return fberr::kAccessNotPossible;
    }
}

std::int32_t MapDeleteError(platform::SystemError error) {
    switch (error) {
    case win32::kFileNotFound:
        return fberr::kFileNotFound;
    case win32::kPathNotFound:
    case win32::kInvalidName:
        return fberr::kInvalidPathName;
    default:
        return fberr::kAccessNotPossible;
    }
}

std::int32_t MapHandleError(platform::SystemError error) {
    return error == win32::kInvalidHandle ? fberr::kInvalidHandle : fberr::kAccessNotPossible;
}

void FileSetName(FileRecord& file, const std::string& name) {
    file.handle = -1;
    file.name = name;
    file.exclusive = false;
    file.position = 0;
}

void FileOpenExisting(FileRecord& file, bool shared, bool readOnly) {
    if (!FbOk) return;
    platform::FileHandle handle = -1;
    const auto error = platform::Files().Open(
        file.name, platform::FileDisposition::OpenExisting,
        readOnly ? platform::FileAccess::ReadOnly : platform::FileAccess::ReadWrite,
        shared ? platform::FileSharing::Shared : platform::FileSharing::Exclusive, handle);
    if (error != win32::kSuccess) {
        file.handle = -1;
        FailCall(fn::kOpen, error, MapOpenError(error));
        return;
    }
    file.handle = handle;
    file.exclusive = !shared;
    file.position = 0;
}

void FileCreate(FileRecord& file) {
    if (!FbOk) return;
    platform::FileHandle handle = -1;
    const auto error =
        platform::Files().Open(file.name, platform::FileDisposition::CreateAlways,
                               platform::FileAccess::ReadWrite, platform::FileSharing::Exclusive, handle);
    if (error != win32::kSuccess) {
        file.handle = -1;
        FailCall(fn::kOpen, error, MapCreateError(error));
        return;
    }
    file.handle = handle;
    file.exclusive = true;
    file.position = 0;
}

void FileClose(FileRecord& file) {
    if (!FbOk) return;
    // A failed unlock does not keep the file open: the system drops a descriptor's locks
    // with it, and the table forgets the handle either way.
    (void)ReleaseHandleRanges(file.handle);
    ForgetView(file);
    const auto error = platform::Files().Close(file.handle);
    // Linux frees the descriptor even when close reports an error; keeping the number would
    // later close whatever file reuses it.
    const bool wasOpen = file.IsOpen();
    file.handle = -1;
    if (error != win32::kSuccess || !wasOpen) {
        const auto reported = wasOpen ? error : win32::kInvalidHandle;
        FailCall(fn::kClose, reported, MapHandleError(reported));
    }
}

void FileDelete(FileRecord& file) {
    if (!FbOk) return;
    const auto error = platform::Files().Delete(file.name);
    if (error != win32::kSuccess) FailCall(fn::kDelete, error, MapDeleteError(error));
}

std::int64_t FilePosition(FileRecord& file) {
    if (!FbOk) return -1;
    if (!file.IsOpen()) {
        FailCall(fn::kPosition, win32::kInvalidHandle, fberr::kInvalidHandle);
        return -1;
    }
    return file.position;
}

void FileSeek(FileRecord& file, std::int64_t offset) {
    if (!FbOk) return;
    if (!file.IsOpen()) {
        FailCall(fn::kSeek, win32::kInvalidHandle, fberr::kInvalidHandle);
        return;
    }
    if (offset < 0) {
        FailCall(fn::kSeek, win32::kInvalidParameter, fberr::kAccessNotPossible);
        return;
    }
    file.position = offset;
}

std::int64_t FileSize(FileRecord& file) {
    if (!FbOk) return -1;
    std::int64_t size = 0;
    const auto error = file.IsOpen() ? platform::Files().Size(file.handle, size) : win32::kInvalidHandle;
    if (error != win32::kSuccess) {
        FailCall(fn::kSize, error, MapHandleError(error));
        return -1;
    }
    file.position = size;
    return size;
}

void FileReadHere(FileRecord& file, std::int32_t length, void* buffer) {
    if (!FbOk || RefusedAsCut(file)) return;
    if (length < 0) {
        FailCall(fn::kRead, win32::kInvalidParameter, fberr::kAccessNotPossible);
        return;
    }
    std::size_t done = 0;
    const auto error =
        platform::Files().Read(file.handle, file.position, buffer, static_cast<std::size_t>(length), done);
    file.position += static_cast<std::int64_t>(done);
    if (error != win32::kSuccess) {
        FailCall(fn::kRead, error, MapHandleError(error));
        return;
    }
    if (done < static_cast<std::size_t>(length)) Fail(fberr::kReadError);
}

void FileWriteHere(FileRecord& file, std::int32_t length, const void* buffer) {
    if (!FbOk || RefusedAsCut(file)) return;
    // Nothing to write changes nothing: a file is cut only by a truncate of its own.
    if (length == 0) return;
    if (length < 0) {
        FailCall(fn::kWrite, win32::kInvalidParameter, fberr::kAccessNotPossible);
        return;
    }
    std::size_t done = 0;
    const auto error =
        platform::Files().Write(file.handle, file.position, buffer, static_cast<std::size_t>(length), done);
    NoteWritten(file, file.position, static_cast<std::int64_t>(done));
    file.position += static_cast<std::int64_t>(done);
    if (error != win32::kSuccess) {
        FailCall(fn::kWrite, error, MapHandleError(error));
        return;
    }
    if (done < static_cast<std::size_t>(length)) Fail(fberr::kWriteError);
}

void FileReadAt(FileRecord& file, std::int64_t offset, std::int32_t length, void* buffer) {
    FileSeek(file, offset);
    FileReadHere(file, length, buffer);
}

void FileWriteAt(FileRecord& file, std::int64_t offset, std::int32_t length, const void* buffer) {
    FileSeek(file, offset);
    FileWriteHere(file, length, buffer);
}

void FileTruncateAt(FileRecord& file, std::int64_t length) {
    FileSeek(file, length);
    FileTruncateHere(file);
}

void FileTruncateHere(FileRecord& file) {
    if (!FbOk || RefusedAsCut(file)) return;
    DropView(file);
    const auto error =
        file.IsOpen() ? platform::Files().Truncate(file.handle, file.position) : win32::kInvalidHandle;
    if (error != win32::kSuccess) FailCall(fn::kTruncate, error, MapHandleError(error));
}

void FileFlush(FileRecord& file, bool network) {
    if (!FbOk || RefusedAsCut(file)) return;
    const auto error = file.IsOpen() ? platform::Files().Flush(file.handle) : win32::kInvalidHandle;
    if (error == win32::kSuccess) return;
    if (error != win32::kTooManyOpenFiles) {
        FailCall(fn::kFlush, error, MapHandleError(error));
        return;
    }
    if (network) {
        FailCall(fn::kFlush, error, fberr::kNoHandlesForFlush);
        return;
    }
    // Closing and reopening the file stands in for the flush when no handle is left for it.
    const std::int64_t position = file.position;
    FileClose(file);
    FileOpenExisting(file, false, false);
    if (FbOk) file.position = position;
}

void FileZeroFill(FileRecord& file, std::int64_t offset, std::int64_t length) {
    if (!FbOk) return;
    if (length > kZeroChunk && length <= kZeroFillOneWriteLimit) {
        std::unique_ptr<unsigned char[]> zeros(
            new (std::nothrow) unsigned char[static_cast<std::size_t>(length)]());
        if (zeros) {
            FileWriteAt(file, offset, static_cast<std::int32_t>(length), zeros.get());
            return;
        }
    }
    static const std::array<unsigned char, kZeroChunk> zeros{};
    FileSeek(file, offset);
    std::int64_t left = length;
    while (FbOk && left > 0) {
        const auto piece = static_cast<std::int32_t>(std::min(left, kZeroChunk));
        FileWriteHere(file, piece, zeros.data());
        left -= piece;
    }
}

void FileFlushFolder(FileRecord& file) {
    if (!FbOk) return;
    const auto error = platform::Files().FlushFolder(file.name);
    if (error != win32::kSuccess) FailCall(fn::kFlush, error, MapHandleError(error));
}

} // namespace storage
