#include "storage/LockRanges.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace storage {
namespace {

constexpr std::size_t kHandleGrowth = 25;
constexpr std::size_t kRangeGrowth = 50;
constexpr std::size_t kMaxEntries = 4000;
constexpr std::uint16_t kNetworkStations = 50;

struct LockedRange {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::int32_t count = 0;
};

struct HandleRanges {
    platform::FileHandle handle = -1;
    std::vector<LockedRange> ranges; // sorted by offset
};

// Sorted by handle.
std::vector<HandleRanges>& Table() {
    static std::vector<HandleRanges>* table = new std::vector<HandleRanges>;
    return *table;
}

std::vector<HandleRanges>::iterator FindHandle(platform::FileHandle handle) {
    auto& table = Table();
    return std::lower_bound(
        table.begin(), table.end(), handle,
        [](const HandleRanges& entry, platform::FileHandle h) { return entry.handle < h; });
}

std::vector<LockedRange>::iterator FindOffset(std::vector<LockedRange>& ranges, std::int64_t offset) {
    return std::lower_bound(ranges.begin(), ranges.end(), offset,
                            [](const LockedRange& range, std::int64_t o) { return range.offset < o; });
}

// Grows a vector in the table's steps, so its limits behave as fixed capacities.
template <typename T> void ReserveInSteps(std::vector<T>& items, std::size_t step) {
    if (items.size() == items.capacity()) items.reserve(items.capacity() + step);
}

bool NoLock(platform::FileHandle, std::int64_t, std::int64_t, int, int) {
    return true;
}
bool NoUnlock(platform::FileHandle, std::int64_t, std::int64_t) {
    return true;
}
bool NoRelease() {
    return true;
}

void RecordLockError(std::uint16_t functionCode, platform::SystemError error) {
    LastFileError() = {functionCode, error};
}

void SleepFor(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

LockSleeper& Sleeper() {
    static LockSleeper sleeper = SleepFor;
    return sleeper;
}

bool NetworkLock(platform::FileHandle handle, std::int64_t offset, std::int64_t length, int totalWaitMs,
                 int retryIntervalMs) {
    int waited = 0;
    for (;;) {
        const auto error = platform::Files().LockRange(handle, offset, length);
        if (error == platform::win32::kSuccess) return true;
        RecordLockError(fn::kLock, error);
        if (waited >= totalWaitMs) return false;
        Sleeper()(retryIntervalMs);
        waited += retryIntervalMs;
    }
}

bool NetworkUnlock(platform::FileHandle handle, std::int64_t offset, std::int64_t length) {
    const auto error = platform::Files().UnlockRange(handle, offset, length);
    if (error == platform::win32::kSuccess) return true;
    RecordLockError(fn::kUnlock, error);
    return false;
}

} // namespace

LockSleeper SetLockSleeper(LockSleeper sleeper) {
    const LockSleeper previous = Sleeper();
    Sleeper() = sleeper ? sleeper : SleepFor;
    return previous;
}

bool InstallLockHooks(std::uint8_t lockMode) {
    EngineState& engine = Engine();
    switch (lockMode) {
    case 0:
        engine.hooks = {NoLock, NoUnlock, NoRelease};
        engine.stationCount = 0;
        return true;
    case 2:
        engine.hooks = {NetworkLock, NetworkUnlock, NoRelease};
        engine.stationCount = kNetworkStations;
        return true;
    default:
        return false;
    }
}

bool LockRangeCounted(platform::FileHandle handle, std::int64_t offset, std::int64_t length,
                      int retryIntervalMs, int totalWaitMs) {
    auto& table = Table();
    auto entry = FindHandle(handle);
    if (entry == table.end() || entry->handle != handle) {
        if (table.size() >= kMaxEntries) return false;
        const auto at = entry - table.begin();
        ReserveInSteps(table, kHandleGrowth);
        entry = table.insert(table.begin() + at, HandleRanges{handle, {}});
    }
    auto& ranges = entry->ranges;
    auto range = FindOffset(ranges, offset);
    if (range != ranges.end() && range->offset == offset) {
        if (range->length != length) return false;
        ++range->count;
        return true;
    }
    if (ranges.size() >= kMaxEntries) return false;
    const auto& hooks = Engine().hooks;
    if (!hooks.lock || !hooks.lock(handle, offset, length, totalWaitMs, retryIntervalMs)) return false;
    const auto at = range - ranges.begin();
    ReserveInSteps(ranges, kRangeGrowth);
    ranges.insert(ranges.begin() + at, LockedRange{offset, length, 1});
    return true;
}

bool UnlockRangeCounted(platform::FileHandle handle, std::int64_t offset, std::int64_t length) {
    auto& table = Table();
    auto entry = FindHandle(handle);
    if (entry == table.end() || entry->handle != handle) return false;
    auto& ranges = entry->ranges;
    auto range = FindOffset(ranges, offset);
    if (range == ranges.end() || range->offset != offset || range->length != length) return false;
    if (range->count > 1) {
        --range->count;
        return true;
    }
    const auto& hooks = Engine().hooks;
    if (!hooks.unlock || !hooks.unlock(handle, offset, length)) return false;
    ranges.erase(range);
    return true;
}

bool ReleaseHandleRanges(platform::FileHandle handle) {
    auto& table = Table();
    auto entry = FindHandle(handle);
    if (entry == table.end() || entry->handle != handle) return true;
    bool ok = true;
    const auto& hooks = Engine().hooks;
    auto& ranges = entry->ranges;
    while (!ranges.empty()) {
        const LockedRange& last = ranges.back();
        if (!hooks.unlock || !hooks.unlock(handle, last.offset, last.length)) {
            ok = false;
            break;
        }
        ranges.pop_back();
    }
    table.erase(entry);
    return ok;
}

std::vector<std::pair<std::int64_t, std::int64_t>> UncoveredPieces(platform::FileHandle handle,
                                                                   std::int64_t offset, std::int64_t length) {
    std::vector<std::pair<std::int64_t, std::int64_t>> pieces;
    std::int64_t start = offset;
    const std::int64_t end = offset + length;
    auto& table = Table();
    auto entry = FindHandle(handle);
    if (entry != table.end() && entry->handle == handle) {
        for (const LockedRange& range : entry->ranges) {
            const std::int64_t rangeEnd = range.offset + range.length;
            if (rangeEnd <= start || range.offset >= end) continue;
            if (range.offset > start) pieces.emplace_back(start, range.offset - start);
            start = std::max(start, rangeEnd);
            if (start >= end || pieces.size() == 2) break;
        }
    }
    if (start < end && pieces.size() < 2) pieces.emplace_back(start, end - start);
    return pieces;
}

void FreeLockRanges() {
    Table().clear();
}

std::size_t LockedRangeCount(platform::FileHandle handle) {
    auto& table = Table();
    auto entry = FindHandle(handle);
    return entry == table.end() || entry->handle != handle ? 0 : entry->ranges.size();
}

} // namespace storage
