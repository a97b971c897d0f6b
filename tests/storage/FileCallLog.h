#pragma once

#include "platform/ForwardingFileOps.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// File operations for tests that look at the order of what reaches the files: passes every
// call to the POSIX ones and keeps each write, cut and flush, in order, with the file's name
// (files opened before it was installed are named by the system).
//
//   test::FileCallLog log; // installs itself, restores the previous ones at the end
namespace test {

class FileCallLog final : public platform::ForwardingFileOps {
public:
    enum class Kind { Write, Truncate, Flush };
    struct Entry {
        std::string path;
        Kind kind = Kind::Write;
        std::int64_t offset = 0; // a write's offset, or the length cut to
        std::vector<unsigned char> bytes;
    };

    FileCallLog();
    ~FileCallLog() override;
    FileCallLog(const FileCallLog&) = delete;
    FileCallLog& operator=(const FileCallLog&) = delete;

    std::vector<Entry> entries;

    platform::SystemError Open(const std::string& path, platform::FileDisposition disposition,
                               platform::FileAccess access, platform::FileSharing sharing,
                               platform::FileHandle& handle) override;
    platform::SystemError Write(platform::FileHandle handle, std::int64_t offset, const void* buffer,
                                std::size_t length, std::size_t& done) override;
    platform::SystemError Truncate(platform::FileHandle handle, std::int64_t length) override;
    platform::SystemError Flush(platform::FileHandle handle) override;
    platform::SystemError Close(platform::FileHandle handle) override;

private:
    std::string PathOf(platform::FileHandle handle) const;

    platform::FileOps* previous_;
    std::map<platform::FileHandle, std::string> paths_;
};

// Puts one write or cut of the log into `content` (a write cut to its first `length` bytes).
void ApplyEntry(std::vector<unsigned char>& content, const FileCallLog::Entry& entry, std::size_t length);

} // namespace test
