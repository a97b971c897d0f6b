#include "FaultyFileOps.h"

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace test {
namespace win32 = platform::win32;

void WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

FaultyFileOps::FaultyFileOps() : previous_(platform::SetFiles(this)) {}

FaultyFileOps::~FaultyFileOps() {
    platform::SetFiles(previous_);
}

void FaultyFileOps::FailNth(FileCall call, int n, platform::SystemError error,
                            const std::string& nameSuffix) {
    plans_.push_back({call, n, error, std::nullopt, nameSuffix});
}

void FaultyFileOps::ShortNth(FileCall call, int n, std::size_t bytes, const std::string& nameSuffix) {
    plans_.push_back({call, n, 0, bytes, nameSuffix});
}

void FaultyFileOps::FailAll(FileCall call, platform::SystemError error, const std::string& nameSuffix) {
    plans_.push_back({call, 1, error, std::nullopt, nameSuffix, true});
}

void FaultyFileOps::Clear() {
    plans_.clear();
}

FaultyFileOps::Outcome FaultyFileOps::Next(FileCall call, const std::string& path) {
    ++counts_[static_cast<std::size_t>(call)];
    Outcome outcome;
    for (auto plan = plans_.begin(); plan != plans_.end();) {
        const bool matches = plan->call == call &&
                             (plan->suffix.empty() || (path.size() >= plan->suffix.size() &&
                                                       path.compare(path.size() - plan->suffix.size(),
                                                                    plan->suffix.size(), plan->suffix) == 0));
        if (!matches) {
            ++plan;
            continue;
        }
        if (plan->always) {
            outcome = {true, plan->error, std::nullopt};
            ++plan;
            continue;
        }
        if (--plan->remaining == 0) {
            if (plan->shortBytes)
                outcome.shortBytes = plan->shortBytes;
            else
                outcome = {true, plan->error, std::nullopt};
            plan = plans_.erase(plan);
            continue;
        }
        ++plan;
    }
    return outcome;
}

std::string FaultyFileOps::PathOf(platform::FileHandle handle) const {
    const auto it = paths_.find(handle);
    if (it != paths_.end()) return it->second;
    // A file opened before these operations were installed: ask the system for its name.
    return SystemPathOf(handle);
}

std::string SystemPathOf(platform::FileHandle handle) {
    char target[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(handle);
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

void FaultyFileOps::Remember(const std::string& path) {
    if (path.empty() || snapshots_.count(path)) return;
    if (FileExists(path))
        snapshots_[path] = ReadWholeFile(path);
    else
        snapshots_[path] = std::nullopt;
}

platform::SystemError FaultyFileOps::Open(const std::string& path, platform::FileDisposition disposition,
                                          platform::FileAccess access, platform::FileSharing sharing,
                                          platform::FileHandle& handle) {
    const Outcome outcome = Next(FileCall::Open, path);
    if (outcome.fail) {
        handle = -1;
        return outcome.error;
    }
    if (disposition != platform::FileDisposition::OpenExisting) Remember(path);
    const auto error = Wrapped().Open(path, disposition, access, sharing, handle);
    if (error == win32::kSuccess) paths_[handle] = path;
    return error;
}

platform::SystemError FaultyFileOps::Read(platform::FileHandle handle, std::int64_t offset, void* buffer,
                                          std::size_t length, std::size_t& done) {
    const Outcome outcome = Next(FileCall::Read, PathOf(handle));
    done = 0;
    if (outcome.fail) return outcome.error;
    if (outcome.shortBytes) length = std::min(length, *outcome.shortBytes);
    return Wrapped().Read(handle, offset, buffer, length, done);
}

platform::SystemError FaultyFileOps::Write(platform::FileHandle handle, std::int64_t offset,
                                           const void* buffer, std::size_t length, std::size_t& done) {
    const std::string path = PathOf(handle);
    const Outcome outcome = Next(FileCall::Write, path);
    done = 0;
    if (outcome.fail) return outcome.error;
    if (outcome.shortBytes) length = std::min(length, *outcome.shortBytes);
    Remember(path);
    return Wrapped().Write(handle, offset, buffer, length, done);
}

platform::SystemError FaultyFileOps::Size(platform::FileHandle handle, std::int64_t& size) {
    const Outcome outcome = Next(FileCall::Size, PathOf(handle));
    if (outcome.fail) return outcome.error;
    return Wrapped().Size(handle, size);
}

platform::SystemError FaultyFileOps::Truncate(platform::FileHandle handle, std::int64_t length) {
    const std::string path = PathOf(handle);
    const Outcome outcome = Next(FileCall::Truncate, path);
    if (outcome.fail) return outcome.error;
    Remember(path);
    return Wrapped().Truncate(handle, length);
}

platform::SystemError FaultyFileOps::Flush(platform::FileHandle handle) {
    const std::string path = PathOf(handle);
    const Outcome outcome = Next(FileCall::Flush, path);
    if (outcome.fail) return outcome.error;
    const auto error = Wrapped().Flush(handle);
    if (error == win32::kSuccess) snapshots_.erase(path);
    return error;
}

platform::SystemError FaultyFileOps::Close(platform::FileHandle handle) {
    const Outcome outcome = Next(FileCall::Close, PathOf(handle));
    // A failed close still frees the descriptor, as on Linux.
    const auto error = Wrapped().Close(handle);
    paths_.erase(handle);
    return outcome.fail ? outcome.error : error;
}

platform::SystemError FaultyFileOps::Delete(const std::string& path) {
    const Outcome outcome = Next(FileCall::Delete, path);
    if (outcome.fail) return outcome.error;
    const auto error = Wrapped().Delete(path);
    if (error == win32::kSuccess) snapshots_.erase(path);
    return error;
}

platform::SystemError FaultyFileOps::FlushFolder(const std::string& path) {
    const Outcome outcome = Next(FileCall::FlushFolder, path);
    if (outcome.fail) return outcome.error;
    return Wrapped().FlushFolder(path);
}

platform::SystemError FaultyFileOps::LockRange(platform::FileHandle handle, std::int64_t offset,
                                               std::int64_t length) {
    const Outcome outcome = Next(FileCall::Lock, PathOf(handle));
    if (outcome.fail) return outcome.error;
    return Wrapped().LockRange(handle, offset, length);
}

platform::SystemError FaultyFileOps::UnlockRange(platform::FileHandle handle, std::int64_t offset,
                                                 std::int64_t length) {
    const Outcome outcome = Next(FileCall::Unlock, PathOf(handle));
    if (outcome.fail) return outcome.error;
    return Wrapped().UnlockRange(handle, offset, length);
}

void FaultyFileOps::DropUnflushedWrites() {
    for (const auto& [path, content] : snapshots_) {
        // A file created and never flushed keeps its name but loses its content.
        WriteWholeFile(path, content.value_or(std::vector<unsigned char>{}));
    }
    snapshots_.clear();
}

} // namespace test
