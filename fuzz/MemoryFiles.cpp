#include "MemoryFiles.h"

#include <algorithm>
#include <cstring>

namespace fuzz {
namespace win32 = platform::win32;

void MemoryFiles::Clear() {
    files_.clear();
    open_.clear();
}

std::vector<unsigned char>* MemoryFiles::FileOf(platform::FileHandle handle, bool forWriting) {
    const auto it = open_.find(handle);
    if (it == open_.end() || (forWriting && !it->second.writable)) return nullptr;
    const auto file = files_.find(it->second.path);
    return file == files_.end() ? nullptr : &file->second;
}

platform::SystemError MemoryFiles::Open(const std::string& path, platform::FileDisposition disposition,
                                        platform::FileAccess access, platform::FileSharing sharing,
                                        platform::FileHandle& handle) {
    handle = -1;
    const bool exclusive = sharing == platform::FileSharing::Exclusive;
    for (const auto& [h, file] : open_)
        if (file.path == path && exclusive) return win32::kSharingViolation;
    if (disposition == platform::FileDisposition::CreateAlways)
        files_[path].clear();
    else if (!files_.count(path))
        return win32::kFileNotFound;
    handle = next_++;
    open_[handle] = {path, access == platform::FileAccess::ReadWrite};
    return win32::kSuccess;
}

platform::SystemError MemoryFiles::Read(platform::FileHandle handle, std::int64_t offset, void* buffer,
                                        std::size_t length, std::size_t& done) {
    done = 0;
    const std::vector<unsigned char>* file = FileOf(handle, false);
    if (!file) return win32::kInvalidHandle;
    if (offset < 0) return win32::kInvalidParameter;
    if (static_cast<std::uint64_t>(offset) >= file->size()) return win32::kSuccess;
    done = std::min(length, file->size() - static_cast<std::size_t>(offset));
    std::memcpy(buffer, file->data() + offset, done);
    return win32::kSuccess;
}

platform::SystemError MemoryFiles::Write(platform::FileHandle handle, std::int64_t offset, const void* buffer,
                                         std::size_t length, std::size_t& done) {
    done = 0;
    std::vector<unsigned char>* file = FileOf(handle, true);
    if (!file) return open_.count(handle) ? win32::kAccessDenied : win32::kInvalidHandle;
    if (offset < 0) return win32::kInvalidParameter;
    if (static_cast<std::uint64_t>(offset) + length > kMaxFileSize) return win32::kDiskFull;
    const std::size_t end = static_cast<std::size_t>(offset) + length;
    if (file->size() < end) file->resize(end, 0);
    std::memcpy(file->data() + offset, buffer, length);
    done = length;
    return win32::kSuccess;
}

platform::SystemError MemoryFiles::Size(platform::FileHandle handle, std::int64_t& size) {
    const std::vector<unsigned char>* file = FileOf(handle, false);
    if (!file) return win32::kInvalidHandle;
    size = static_cast<std::int64_t>(file->size());
    return win32::kSuccess;
}

platform::SystemError MemoryFiles::Truncate(platform::FileHandle handle, std::int64_t length) {
    std::vector<unsigned char>* file = FileOf(handle, true);
    if (!file) return win32::kInvalidHandle;
    if (length < 0) return win32::kInvalidParameter;
    if (static_cast<std::uint64_t>(length) > kMaxFileSize) return win32::kDiskFull;
    file->resize(static_cast<std::size_t>(length), 0);
    return win32::kSuccess;
}

platform::SystemError MemoryFiles::Flush(platform::FileHandle handle) {
    return FileOf(handle, false) ? win32::kSuccess : win32::kInvalidHandle;
}

platform::SystemError MemoryFiles::Close(platform::FileHandle handle) {
    return open_.erase(handle) ? win32::kSuccess : win32::kInvalidHandle;
}

platform::SystemError MemoryFiles::Delete(const std::string& path) {
    for (const auto& [h, file] : open_)
        if (file.path == path) return win32::kSharingViolation;
    return files_.erase(path) ? win32::kSuccess : win32::kFileNotFound;
}

platform::SystemError MemoryFiles::Rename(const std::string& from, const std::string& to) {
    auto file = files_.extract(from);
    if (file.empty()) return win32::kFileNotFound;
    file.key() = to;
    files_.erase(to);
    files_.insert(std::move(file));
    return win32::kSuccess;
}

platform::SystemError MemoryFiles::RenameToNew(const std::string& from, const std::string& to) {
    if (files_.count(to) != 0) return win32::kFileExists;
    return Rename(from, to);
}

platform::SystemError MemoryFiles::DeleteIfLeftOver(const std::string& path) {
    return Delete(path);
}

platform::PathKind MemoryFiles::Inspect(const std::string& path) {
    return files_.count(path) != 0 ? platform::PathKind::PlainFile : platform::PathKind::Missing;
}

platform::SystemError MemoryFiles::FlushFolder(const std::string&) {
    return win32::kSuccess;
}

platform::SystemError MemoryFiles::LockRange(platform::FileHandle, std::int64_t, std::int64_t) {
    return win32::kSuccess;
}

platform::SystemError MemoryFiles::UnlockRange(platform::FileHandle, std::int64_t, std::int64_t) {
    return win32::kSuccess;
}

} // namespace fuzz
