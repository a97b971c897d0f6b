#include "FileCallLog.h"

#include "FaultyFileOps.h"

#include <algorithm>

namespace test {

FileCallLog::FileCallLog() : previous_(platform::SetFiles(this)) {}

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
    const auto error = Wrapped().Open(path, disposition, access, sharing, handle);
    if (error == platform::win32::kSuccess) paths_[handle] = path;
    return error;
}

platform::SystemError FileCallLog::Write(platform::FileHandle handle, std::int64_t offset, const void* buffer,
                                         std::size_t length, std::size_t& done) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    entries.push_back(
        {PathOf(handle), Kind::Write, offset, std::vector<unsigned char>(bytes, bytes + length)});
    return Wrapped().Write(handle, offset, buffer, length, done);
}

platform::SystemError FileCallLog::Truncate(platform::FileHandle handle, std::int64_t length) {
    entries.push_back({PathOf(handle), Kind::Truncate, length, {}});
    return Wrapped().Truncate(handle, length);
}

platform::SystemError FileCallLog::Flush(platform::FileHandle handle) {
    entries.push_back({PathOf(handle), Kind::Flush, 0, {}});
    return Wrapped().Flush(handle);
}

platform::SystemError FileCallLog::Close(platform::FileHandle handle) {
    paths_.erase(handle);
    return Wrapped().Close(handle);
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
