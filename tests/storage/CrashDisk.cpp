#include "CrashDisk.h"

#include "FaultyFileOps.h"

#include <algorithm>
#include <unistd.h>

namespace test {
namespace win32 = platform::win32;

namespace {
constexpr std::int64_t kSector = 512;
constexpr platform::SystemError kDead = win32::kIoDevice;
} // namespace

CrashDisk::CrashDisk() : previous_(platform::SetFiles(this)) {}

CrashDisk::~CrashDisk() {
    platform::SetFiles(previous_);
}

bool CrashDisk::Proceed(std::size_t* torn) {
    if (Dead()) {
        // The step after the last one: the process ends here.
        if (exitAtStop_) ::_exit(0);
        if (torn) *torn = tornBytes_;
        tornBytes_ = 0;
        return false;
    }
    ++steps_;
    stepBytes_.push_back(0);
    return true;
}

bool CrashDisk::ProceedToRename(const std::string& to) {
    if (!stopAtRenameTo_.empty() && to.ends_with(stopAtRenameTo_) && !Dead()) StopAfter(0);
    return Proceed();
}

CrashDisk::Unflushed& CrashDisk::Record(const std::string& path) {
    auto it = unflushed_.find(path);
    if (it != unflushed_.end()) return it->second;
    Unflushed& record = unflushed_[path];
    if (FileExists(path)) record.image = ReadWholeFile(path);
    return record;
}

platform::SystemError CrashDisk::Open(const std::string& path, platform::FileDisposition disposition,
                                      platform::FileAccess access, platform::FileSharing sharing,
                                      platform::FileHandle& handle) {
    if (Dead()) return kDead;
    if (disposition != platform::FileDisposition::OpenExisting) {
        Unflushed& record = Record(path);
        record.changes.push_back({true, 0, {}});
    }
    const auto error = Wrapped().Open(path, disposition, access, sharing, handle);
    if (error == win32::kSuccess) paths_[handle] = path;
    return error;
}

platform::SystemError CrashDisk::Read(platform::FileHandle handle, std::int64_t offset, void* buffer,
                                      std::size_t length, std::size_t& done) {
    done = 0;
    if (Dead()) return kDead;
    return Wrapped().Read(handle, offset, buffer, length, done);
}

platform::SystemError CrashDisk::Write(platform::FileHandle handle, std::int64_t offset, const void* buffer,
                                       std::size_t length, std::size_t& done) {
    done = 0;
    std::size_t torn = 0;
    const bool alive = Proceed(&torn);
    if (!alive) {
        if (torn == 0) return kDead;
        // The write the process died in: only its first bytes made it.
        length = std::min(length, torn);
    } else {
        ++writes_;
        stepBytes_.back() = length;
    }
    Unflushed& record = Record(paths_[handle]);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    record.changes.push_back({false, offset, std::vector<unsigned char>(bytes, bytes + length)});
    const auto error = Wrapped().Write(handle, offset, buffer, length, done);
    return alive ? error : kDead;
}

platform::SystemError CrashDisk::Size(platform::FileHandle handle, std::int64_t& size) {
    if (Dead()) return kDead;
    return Wrapped().Size(handle, size);
}

platform::SystemError CrashDisk::Truncate(platform::FileHandle handle, std::int64_t length) {
    if (!Proceed()) return kDead;
    ++truncates_;
    Record(paths_[handle]).changes.push_back({true, length, {}});
    return Wrapped().Truncate(handle, length);
}

platform::SystemError CrashDisk::Flush(platform::FileHandle handle) {
    if (!Proceed()) return kDead;
    ++flushes_;
    const auto error = Wrapped().Flush(handle);
    if (error == win32::kSuccess) unflushed_.erase(paths_[handle]);
    return error;
}

platform::SystemError CrashDisk::Close(platform::FileHandle handle) {
    paths_.erase(handle);
    return Wrapped().Close(handle);
}

platform::SystemError CrashDisk::Delete(const std::string& path) {
    if (Dead()) return kDead;
    const auto error = Wrapped().Delete(path);
    if (error == win32::kSuccess) unflushed_.erase(path);
    return error;
}

platform::SystemError CrashDisk::DeleteIfLeftOver(const std::string& path) {
    if (Dead()) return kDead;
    const auto error = Wrapped().DeleteIfLeftOver(path);
    if (error == win32::kSuccess) unflushed_.erase(path);
    return error;
}

platform::SystemError CrashDisk::DeleteSecondName(const std::string& path, const std::string& keptPrefix,
                                                  const std::string& notKeptPrefix) {
    if (Dead()) return kDead;
    return Wrapped().DeleteSecondName(path, keptPrefix, notKeptPrefix);
}

// A step: the name moves with what is still unflushed in the file.
platform::SystemError CrashDisk::Rename(const std::string& from, const std::string& to) {
    if (!ProceedToRename(to)) return kDead;
    const auto error = Wrapped().Rename(from, to);
    if (error != win32::kSuccess) return error;
    MoveUnflushed(from, to);
    return error;
}

platform::SystemError CrashDisk::RenameToNew(const std::string& from, const std::string& to) {
    if (!ProceedToRename(to)) return kDead;
    const auto error = Wrapped().RenameToNew(from, to);
    if (error == win32::kSuccess) MoveUnflushed(from, to);
    return error;
}

void CrashDisk::MoveUnflushed(const std::string& from, const std::string& to) {
    auto moved = unflushed_.extract(from);
    unflushed_.erase(to);
    if (!moved.empty()) {
        moved.key() = to;
        unflushed_.insert(std::move(moved));
    }
}

platform::SystemError CrashDisk::FlushFolder(const std::string& path) {
    if (Dead()) return kDead;
    return Wrapped().FlushFolder(path);
}

platform::SystemError CrashDisk::LockRange(platform::FileHandle handle, std::int64_t offset,
                                           std::int64_t length) {
    if (Dead()) return kDead;
    return Wrapped().LockRange(handle, offset, length);
}

void CrashDisk::LosePower(std::mt19937& rng) {
    std::bernoulli_distribution kept(0.5);
    for (auto& [path, record] : unflushed_) {
        if (!record.image) {
            // Never flushed since it was made: the name may stay, with what reached the disk.
            record.image = std::vector<unsigned char>{};
        }
        std::vector<unsigned char> content = *record.image;
        for (const Change& change : record.changes) {
            if (change.truncate) {
                if (kept(rng)) content.resize(static_cast<std::size_t>(change.offset));
                continue;
            }
            const std::int64_t end = change.offset + static_cast<std::int64_t>(change.bytes.size());
            for (std::int64_t at = change.offset; at < end;) {
                const std::int64_t pieceEnd = std::min(end, (at / kSector + 1) * kSector);
                if (kept(rng)) {
                    if (content.size() < static_cast<std::size_t>(pieceEnd))
                        content.resize(static_cast<std::size_t>(pieceEnd), 0);
                    std::copy(change.bytes.begin() + (at - change.offset),
                              change.bytes.begin() + (pieceEnd - change.offset), content.begin() + at);
                }
                at = pieceEnd;
            }
        }
        WriteWholeFile(path, content);
    }
    unflushed_.clear();
}

} // namespace test
