#include "FileCallLog.h"

#include "FaultyFileOps.h"

#include <algorithm>

namespace test {

FileCallLog::FileCallLog() : real_(platform::PosixFiles()), previous_(platform::SetFiles(this)) {}

FileCallLog::~FileCallLog() {
    platform::SetFiles(previous_);
}

std::string FileCallLog::PathOf(platform::FileHandle handle) const {
    const auto it = paths_.find(handle);
    return it != paths_.end() ? it->second : SystemPathOf(handle);
}

platform::SystemError FileCallLog::Open(const std::string& path, platform::FileDisposition disposition,
                                        platform::FileAccess access, platform::FileSharing sharing,
                                        platform::FileHandle& handle) {
    const auto error = real_.Open(path, disposition, access, sharing, handle);
    if (error == platform::win32::kSuccess) paths_[handle] = path;
    return error;
}

platform::SystemError FileCallLog::Read(platform::FileHandle handle, std::int64_t offset, void* buffer,
                                        std::size_t length, std::size_t& done) {
    return real_.Read(handle, offset, buffer, length, done);
}

platform::SystemError FileCallLog::Write(platform::FileHandle handle, std::int64_t offset, const void* buffer,
                                         std::size_t length, std::size_t& done) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    entries.push_back(
        {PathOf(handle), Kind::Write, offset, std::vector<unsigned char>(bytes, bytes + length)});
    return real_.Write(handle, offset, buffer, length, done);
}

platform::SystemError FileCallLog::Size(platform::FileHandle handle, std::int64_t& size) {
    return real_.Size(handle, size);
}

platform::SystemError FileCallLog::Truncate(platform::FileHandle handle, std::int64_t length) {
    entries.push_back({PathOf(handle), Kind::Truncate, length, {}});
    return real_.Truncate(handle, length);
}

platform::SystemError FileCallLog::Flush(platform::FileHandle handle) {
    entries.push_back({PathOf(handle), Kind::Flush, 0, {}});
    return real_.Flush(handle);
}

platform::SystemError FileCallLog::Close(platform::FileHandle handle) {
    paths_.erase(handle);
    return real_.Close(handle);
}

platform::SystemError FileCallLog::Delete(const std::string& path) {
    return real_.Delete(path);
}

platform::SystemError FileCallLog::FlushFolder(const std::string& path) {
    return real_.FlushFolder(path);
}

platform::SystemError FileCallLog::LockRange(platform::FileHandle handle, std::int64_t offset,
                                             std::int64_t length) {
    return real_.LockRange(handle, offset, length);
}

platform::SystemError FileCallLog::UnlockRange(platform::FileHandle handle, std::int64_t offset,
                                               std::int64_t length) {
    return real_.UnlockRange(handle, offset, length);
}

void ApplyEntry(std::vector<unsigned char>& content, const FileCallLog::Entry& entry, std::size_t length) {
    if (entry.kind == FileCallLog::Kind::Flush) return;
    if (entry.kind == FileCallLog::Kind::Truncate) {
        content.resize(static_cast<std::size_t>(entry.offset));
        return;
    }
    const auto at = static_cast<std::size_t>(entry.offset);
    if (content.size() < at + length) content.resize(at + length, 0);
    std::copy(entry.bytes.begin(), entry.bytes.begin() + static_cast<std::ptrdiff_t>(length),
              content.begin() + static_cast<std::ptrdiff_t>(at));
}

} // namespace test
