#pragma once

#include "storage/Fileblock.h"

#include <cstdint>
#include <utility>
#include <vector>

// Byte-range locks of network mode: the lock hooks FbStartEngine installs, and the
// process-wide table of the ranges locked per file handle with their reference counts.
// In single-user mode the hooks do nothing and the table stays empty.
namespace storage {

// Installs the hooks of lock mode 0 (single user) or 2 (network) into the engine;
// false for any other mode. Sets the station count (0 or 50).
bool InstallLockHooks(std::uint8_t lockMode);

// Record ranges wait 768 ms in 64 ms steps; the dialog file's lock at open 4 x 768 ms.
constexpr int kLockRetryMs = 64;
constexpr int kLockWaitMs = 768;
constexpr int kOpenLockWaitMs = 4 * kLockWaitMs;

// How the network lock hook waits between its tries (std::this_thread::sleep_for unless a
// test installs another); returns the previous one.
using LockSleeper = void (*)(int milliseconds);
LockSleeper SetLockSleeper(LockSleeper sleeper);

// Locks the range through the hook unless it is already locked on the handle with the same
// length (the count goes up). The same offset with another length fails.
bool LockRangeCounted(platform::FileHandle handle, std::int64_t offset, std::int64_t length,
                      int retryIntervalMs, int totalWaitMs);
// Lowers the range's count, unlocking it through the hook when it reaches 0.
bool UnlockRangeCounted(platform::FileHandle handle, std::int64_t offset, std::int64_t length);
// Unlocks every range of the handle, last first. The handle's entry is dropped even when an
// unlock fails, since the descriptor number is reused as soon as the file closes.
bool ReleaseHandleRanges(platform::FileHandle handle);
// The at most two pieces of (offset, length) not yet covered by the handle's ranges, in
// ascending order.
std::vector<std::pair<std::int64_t, std::int64_t>> UncoveredPieces(platform::FileHandle handle,
                                                                   std::int64_t offset, std::int64_t length);
// Empties the table (program end).
void FreeLockRanges();
// Ranges currently held on the handle (for tests).
std::size_t LockedRangeCount(platform::FileHandle handle);

} // namespace storage
