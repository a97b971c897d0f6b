#pragma once

#include "platform/ForwardingFileOps.h"
#include "support/FileText.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// File operations for tests: passes every call to the POSIX ones, but fails the n-th call of
// a kind (optionally only on files whose name ends with a given text), or moves fewer bytes
// than asked; and can undo every write not yet flushed, as a crash would lose them.
// Files opened before it was installed are matched by name too; their writes before the
// installation are not undone.
//
//   FaultyFileOps files;            // installs itself, restores the previous ones at the end
//   files.FailNth(FileCall::Write, 2, platform::win32::kDiskFull, ".IX");
namespace test {

enum class FileCall { Open, Read, Write, Size, Truncate, Flush, Close, Delete, FlushFolder, Lock, Unlock };
constexpr std::size_t kFileCallKinds = 11;

class FaultyFileOps final : public platform::ForwardingFileOps {
public:
    FaultyFileOps();
    ~FaultyFileOps() override;
    FaultyFileOps(const FaultyFileOps&) = delete;
    FaultyFileOps& operator=(const FaultyFileOps&) = delete;

    // The n-th call of `call` from now on (1 = the next) fails with `error`; with a suffix,
    // only calls on files whose name ends with it are counted.
    void FailNth(FileCall call, int n, platform::SystemError error = platform::win32::kIoDevice,
                 const std::string& nameSuffix = {});
    // The n-th read or write from now on moves only `bytes` bytes and reports success.
    void ShortNth(FileCall call, int n, std::size_t bytes, const std::string& nameSuffix = {});
    // Every later call of `call` (on matching files) fails, until Clear.
    void FailAll(FileCall call, platform::SystemError error = platform::win32::kIoDevice,
                 const std::string& nameSuffix = {});
    // Forgets every planned failure.
    void Clear();

    // Calls of a kind seen so far (whether they failed or not).
    int Count(FileCall call) const { return counts_[static_cast<std::size_t>(call)]; }

    // Crash: puts every file back as it was at its last flush (or its first write seen, for a
    // file never flushed). The files must be closed.
    void DropUnflushedWrites();
    // Forgets what DropUnflushedWrites would undo: the writes are kept.
    void KeepUnflushedWrites() { snapshots_.clear(); }

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
    platform::SystemError FlushFolder(const std::string& path) override;
    platform::SystemError LockRange(platform::FileHandle handle, std::int64_t offset,
                                    std::int64_t length) override;
    platform::SystemError UnlockRange(platform::FileHandle handle, std::int64_t offset,
                                      std::int64_t length) override;

private:
    struct Plan {
        FileCall call;
        int remaining; // calls to go; 1 = the next matching one
        platform::SystemError error;
        std::optional<std::size_t> shortBytes;
        std::string suffix;
        bool always = false;
    };
    struct Outcome {
        bool fail = false;
        platform::SystemError error = 0;
        std::optional<std::size_t> shortBytes;
    };

    Outcome Next(FileCall call, const std::string& path);
    std::string PathOf(platform::FileHandle handle) const;
    void Remember(const std::string& path);

    platform::FileOps* previous_;
    std::array<int, kFileCallKinds> counts_{};
    std::vector<Plan> plans_;
    std::map<platform::FileHandle, std::string> paths_;
    // Content of each file at its last flush; nullopt for a file that did not exist.
    std::map<std::string, std::optional<std::vector<unsigned char>>> snapshots_;
};

void WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes);
bool FileExists(const std::string& path);
// The name the system gives an open descriptor (empty when it has none).
std::string SystemPathOf(platform::FileHandle handle);

} // namespace test
