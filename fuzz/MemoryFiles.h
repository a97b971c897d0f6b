#pragma once

#include "platform/FileOps.h"

#include <map>
#include <string>
#include <vector>

// File operations on files held in memory, for the fuzz target: no disk, no flushes that
// cost anything, and a size limit, so that damaged headers asking for huge files end in a
// "disk full" instead of exhausting the machine.
namespace fuzz {

class MemoryFiles final : public platform::FileOps {
public:
    static constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;

    void Clear();
    void Put(const std::string& path, std::vector<unsigned char> bytes) { files_[path] = std::move(bytes); }

    platform::SystemError Open(const std::string& path, platform::FileDisposition disposition,
                               platform::FileAccess access, platform::FileSharing sharing,
                               platform::FileHandle& handle) override;
    platform::SystemError Read(platform::FileHandle handle, std::int64_t offset, void* buffer,
                               std::size_t length, std::size_t& done) override;
    platform::SystemError Write(platform::FileHandle handle, std::int64_t offset, const void* buffer,
                                std::size_t length, std::size_t& done) override;
    platform::SystemError Size(platform::FileHandle handle, std::int64_t& size) override;
    platform::SystemError Truncate(platform::FileHandle handle, std::int64_t length) override;
    platform::SystemError Flush(platform::FileHandle handle) override;
    platform::SystemError Close(platform::FileHandle handle) override;
    platform::SystemError Delete(const std::string& path) override;
    platform::SystemError Rename(const std::string& from, const std::string& to) override;
    platform::SystemError RenameToNew(const std::string& from, const std::string& to) override;
    platform::SystemError DeleteIfLeftOver(const std::string& path) override;
    platform::PathKind Inspect(const std::string& path) override;
    platform::SystemError FlushFolder(const std::string& path) override;
    platform::SystemError LockRange(platform::FileHandle handle, std::int64_t offset,
                                    std::int64_t length) override;
    platform::SystemError UnlockRange(platform::FileHandle handle, std::int64_t offset,
                                      std::int64_t length) override;

private:
    struct OpenFile {
        std::string path;
        bool writable = false;
    };
    std::vector<unsigned char>* FileOf(platform::FileHandle handle, bool forWriting);

    std::map<std::string, std::vector<unsigned char>> files_;
    std::map<platform::FileHandle, OpenFile> open_;
    platform::FileHandle next_ = 3;
};

} // namespace fuzz
