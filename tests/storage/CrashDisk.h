#pragma once

#include "platform/ForwardingFileOps.h"

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

// File operations for crash tests: passes every call to the POSIX ones and counts the calls
// that change a file (write, truncate, flush) as steps. After a set number of steps the
// process is taken as dead: every later call but close fails, so nothing more reaches the
// files (or, in a child process, it ends there with _exit). Then either every write stays
// (a process crash) or LosePower puts each file back to its image at its last flush plus a
// random subset of the writes since, each torn into 512-byte sectors kept or lost at random.
namespace test {

class CrashDisk final : public platform::ForwardingFileOps {
public:
    CrashDisk();
    ~CrashDisk() override;
    CrashDisk(const CrashDisk&) = delete;
    CrashDisk& operator=(const CrashDisk&) = delete;

    // The process dies after `steps` more steps (0: before the next one): those happen, no
    // later call does.
    void StopAfter(int steps) { stopAt_ = steps_ + steps; }
    // The same, but the process really ends there: _exit(0).
    void ExitAfter(int steps) {
        StopAfter(steps);
        exitAtStop_ = true;
    }
    // The same, but when the step after them is a write, its first `bytes` bytes reach the
    // file before the process dies: a write cut short.
    void TearAfter(int steps, std::size_t bytes) {
        StopAfter(steps);
        tornBytes_ = bytes;
    }
    // The process dies at the first rename to a name ending with `suffix`, before it happens.
    void StopAtRenameTo(const std::string& suffix) { stopAtRenameTo_ = suffix; }
    // The bytes of every write step so far; 0 for the other steps.
    const std::vector<std::size_t>& StepBytes() const { return stepBytes_; }
    int Steps() const { return steps_; }
    int Writes() const { return writes_; }
    int Flushes() const { return flushes_; }
    int Truncates() const { return truncates_; }
    bool Stopped() const { return stopAt_ >= 0 && steps_ >= stopAt_; }
    // The files must be closed. Forgets what it has recorded.
    void LosePower(std::mt19937& rng);

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
    platform::SystemError DeleteSecondName(const std::string& path, const std::string& keptPrefix,
                                           const std::string& notKeptPrefix) override;
    platform::SystemError FlushFolder(const std::string& path) override;
    platform::SystemError LockRange(platform::FileHandle handle, std::int64_t offset,
                                    std::int64_t length) override;

private:
    struct Change {
        bool truncate = false;
        std::int64_t offset = 0; // or the length cut to
        std::vector<unsigned char> bytes;
    };
    struct Unflushed {
        std::optional<std::vector<unsigned char>> image; // at the last flush; none: no file
        std::vector<Change> changes;
    };

    bool Dead() const { return Stopped(); }
    // Counts a step; false once the process is dead (`torn`: the bytes of a write cut short).
    bool Proceed(std::size_t* torn = nullptr);
    // Proceed for a rename to `to`.
    bool ProceedToRename(const std::string& to);
    Unflushed& Record(const std::string& path);
    void MoveUnflushed(const std::string& from, const std::string& to);

    platform::FileOps* previous_;
    int steps_ = 0;
    int writes_ = 0;
    int flushes_ = 0;
    int truncates_ = 0;
    int stopAt_ = -1;
    bool exitAtStop_ = false;
    std::string stopAtRenameTo_;
    std::size_t tornBytes_ = 0; // of the write at the stop; 0: none of it
    std::vector<std::size_t> stepBytes_;
    std::map<platform::FileHandle, std::string> paths_;
    std::map<std::string, Unflushed> unflushed_;
};

} // namespace test
