#include "storage/Network.h"

#include "storage/DataFile.h"
#include "storage/FilePrimitives.h"
#include "storage/IndexFile.h"
#include "storage/KeyHeader.h"
#include "storage/LockRanges.h"
#include "storage/PageCache.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <new>
#include <random>
#include <vector>

namespace storage {
namespace {

constexpr std::uint16_t kTableTag = 2000;
constexpr std::int64_t kStationByteBase = 0x7FFFFFFF; // station s locks 0x7FFFFFFF - s
constexpr std::int64_t kProbeOffset = 0x7FFF0001;
constexpr std::int64_t kProbeLength = 0xFFFF;
constexpr std::int64_t kOpenByte = 3;
constexpr std::int64_t kTableStart = 3;

int RandomStation(int stations) {
    static std::mt19937 rng{std::random_device{}()};
    return std::uniform_int_distribution<int>(1, stations)(rng);
}

StationPicker& Picker() {
    static StationPicker picker = RandomStation;
    return picker;
}

std::int64_t SlotOffset(const NetworkBlock& net, int station) {
    return kTableStart + static_cast<std::int64_t>(station) * net.bytesPerStation;
}

// Every component bit and the changes-present bit.
std::vector<unsigned char> FullBitmap(const Fileblock& fb) {
    std::vector<unsigned char> bits(static_cast<std::size_t>(fb.network->bytesPerStation), 0);
    for (int i = 0; i <= fb.numberOfKeys + 1; ++i)
        bits[static_cast<std::size_t>(i / 8)] |= static_cast<unsigned char>(1u << (i % 8));
    return bits;
}

bool BitSet(const std::vector<unsigned char>& bits, int i) {
    return (bits[static_cast<std::size_t>(i / 8)] >> (i % 8)) & 1u;
}

// Re-reads what the bitmap says other stations changed; the cached pages of a changed key
// are dropped and its cursor must be found again.
void ApplyBitmap(Fileblock& fb, const std::vector<unsigned char>& bits) {
    NetworkBlock& net = *fb.network;
    if (!BitSet(bits, fb.numberOfKeys + 1)) return;
    if (!fb.readOnly) {
        const std::vector<unsigned char> cleared(bits.size(), 0);
        FileWriteAt(fb.dialogFile, SlotOffset(net, net.ownStation), static_cast<std::int32_t>(cleared.size()),
                    cleared.data());
    }
    if (FbOk && BitSet(bits, 0)) {
        DataHeaderImageBytes image{};
        FileReadAt(fb.dataFile, 0, kDataHeaderBytes, image.data());
        if (FbOk) {
            const DataHeader header = ParseDataHeader(image);
            Descriptor& d = fb.Data();
            d.firstFree = header.firstFree;
            d.freeCount = header.freeCount;
            d.allocated = header.allocated;
            fb.freeRecords = FreeRecords{};
        }
    }
    for (int k = 1; k <= fb.numberOfKeys && FbOk; ++k) {
        if (!BitSet(bits, k)) continue;
        ReadKeyHeader(fb, k);
        if (!FbOk) break;
        Descriptor& key = fb.Key(k);
        key.cursorValid = false;
        key.freeChainChecked = false;
        fb.rowsPresent = std::max(fb.rowsPresent, key.allocated);
        DropKeyPages(fb, static_cast<std::uint16_t>(k));
    }
    if (!FbOk) net.reloadAll = true;
}

} // namespace

std::int32_t BytesPerStation(int numberOfKeys) {
    return (numberOfKeys + 1) / 8 + 1;
}

bool IsNetworkStationTable(std::int64_t size, int numberOfKeys) {
    const std::int64_t b = BytesPerStation(numberOfKeys);
    return size > kTableStart + b && (size - kTableStart) % b == 0;
}

bool LockOpenByte(FileRecord& dialog) {
    if (LockRangeCounted(dialog.handle, kOpenByte, 1, kLockRetryMs, kOpenLockWaitMs)) return true;
    FailFromSystem(fberr::kLockPrevents);
    return false;
}

void UnlockOpenByte(FileRecord& dialog) {
    if (!UnlockRangeCounted(dialog.handle, kOpenByte, 1)) FailFromSystem(fberr::kOpenUnlockFailed);
}

bool OtherStationsPresent(FileRecord& dialog) {
    if (!LockRangeCounted(dialog.handle, kProbeOffset, kProbeLength, kLockRetryMs, 0)) return true;
    (void)UnlockRangeCounted(dialog.handle, kProbeOffset, kProbeLength);
    return false;
}

bool JoinNetwork(Fileblock& fb, bool allReadOnly) {
    fb.network = new (std::nothrow) NetworkBlock;
    if (fb.network == nullptr) {
        Fail(fberr::kNoMemoryNetwork);
        return false;
    }
    NetworkBlock& net = *fb.network;
    net.allReadOnly = allReadOnly;
    net.bytesPerStation = static_cast<std::uint16_t>(BytesPerStation(fb.numberOfKeys));
    net.tableSize = (kStations + 1) * net.bytesPerStation;
    net.stations = kStations;
    if (allReadOnly) return true;
    const int first = Picker()(kStations);
    for (int tried = 0; tried < kStations; ++tried) {
        const int station = (first - 1 - tried + kStations) % kStations + 1;
        if (LockRangeCounted(fb.dialogFile.handle, kStationByteBase - station, 1, kLockRetryMs, 0)) {
            net.ownStation = static_cast<std::uint16_t>(station);
            return true;
        }
    }
    Fail(fberr::kTooManyAccesses);
    return false;
}

void PublishFullChange(Fileblock& fb) {
    const NetworkBlock& net = *fb.network;
    const std::vector<unsigned char> full = FullBitmap(fb);
    std::vector<unsigned char> table(static_cast<std::size_t>(2 + net.tableSize), 0);
    platform::PutU16(table.data(), 0, kTableTag);
    for (int s = 0; s <= net.stations; ++s) {
        if (s == net.ownStation) continue;
        std::copy(full.begin(), full.end(), table.begin() + 2 + s * net.bytesPerStation);
    }
    FileWriteAt(fb.dialogFile, 1, static_cast<std::int32_t>(table.size()), table.data());
}

bool TakeReadLock(Fileblock& fb) {
    NetworkBlock& net = *fb.network;
    const std::int64_t slot = SlotOffset(net, net.ownStation);
    if (!LockRangeCounted(fb.dialogFile.handle, slot, net.bytesPerStation, kLockRetryMs, kLockWaitMs)) {
        FailFromSystem(fberr::kAccessNotPossible);
        return false;
    }
    unsigned char head[3] = {};
    FileReadAt(fb.dialogFile, 0, 3, head);
    std::vector<unsigned char> bits(net.bytesPerStation, 0);
    if (FbOk && platform::GetU16(head, 1) == kTableTag) {
        FileReadAt(fb.dialogFile, slot, net.bytesPerStation, bits.data());
        if (FbOk && net.reloadAll) {
            bits = FullBitmap(fb);
            net.reloadAll = false;
        }
    } else if (FbOk) {
        // Not a station table: nothing tells what changed, so everything is read again.
        bits = FullBitmap(fb);
    }
    if (FbOk) ApplyBitmap(fb, bits);
    if (!FbOk) {
        KeptFailure kept;
        (void)UnlockRangeCounted(fb.dialogFile.handle, slot, net.bytesPerStation);
        return false;
    }
    net.readLocked = true;
    return true;
}

void ReleaseReadLock(Fileblock& fb) {
    NetworkBlock& net = *fb.network;
    if (!UnlockRangeCounted(fb.dialogFile.handle, SlotOffset(net, net.ownStation), net.bytesPerStation)) {
        FailFromSystem(fberr::kStationUnlockFailed);
        return;
    }
    net.readLocked = false;
}

void LeaveNetwork(Fileblock& fb) {
    NetworkBlock& net = *fb.network;
    if (net.readLocked) {
        ReleaseReadLock(fb);
        if (!FbOk) {
            FbErrorCode = fberr::kNonRemovableLock;
            return;
        }
    }
    if (net.ownStation != 0 &&
        !UnlockRangeCounted(fb.dialogFile.handle, kStationByteBase - net.ownStation, 1))
        FailFromSystem(fberr::kStationUnlockFailed);
}

StationPicker SetStationPicker(StationPicker picker) {
    const StationPicker previous = Picker();
    Picker() = picker ? picker : RandomStation;
    return previous;
}

} // namespace storage
