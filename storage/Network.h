#pragma once

#include "storage/Fileblock.h"

#include <cstdint>

// Network mode: stations (processes) share one Fileblock through byte-range locks on its
// dialog file, which carries the station table between operations:
//   offset 0: not significant; 1: int16 2000; 3 + s * b: the change bitmap of station s
//   (s = 0..50, b = (number of keys + 1) div 8 + 1 bytes; bit 0 the data header, bit k key k,
//   bit number of keys + 1 "changes present").
// Dialog-file locks: byte 0x7FFFFFFF - s while station s is in use; 0x7FFF0001 (0xFFFF
// bytes) tried to see whether any station has the file; byte 3 serialises opens; a station's
// own slot is its read lock; every other slot together is the Fileblock lock.
namespace storage {

constexpr std::uint16_t kStations = 50;

// b of the station table.
std::int32_t BytesPerStation(int numberOfKeys);
// A dialog file of `size` bytes that begins with 2000 is a clean station table (not the
// one-station table of a file without network) when it holds whole slots for more than one.
bool IsNetworkStationTable(std::int64_t size, int numberOfKeys);

// Byte 3 of the dialog file, waiting up to 3,072 ms: 10355 when another open holds it.
bool LockOpenByte(FileRecord& dialog);
// 10342 when the unlock fails.
void UnlockOpenByte(FileRecord& dialog);
// Whether some station has the dialog file open (a lock on the station bytes is held).
bool OtherStationsPresent(FileRecord& dialog);

// Makes the Fileblock's network block (10356) and, unless it is for all-read-only use,
// claims a free station: tries from a random one downwards, wrapping, without waiting
// (10306 after a full circle).
bool JoinNetwork(Fileblock& fb, bool allReadOnly);
// Every component changed, for every other station; the own slot cleared (10075 and the
// like when the table cannot be written).
void PublishFullChange(Fileblock& fb);

// The read lock of one operation (entry check): the own slot, then the changes other
// stations published are applied. 10140 when the slot is locked (the entry check reports
// 10399).
bool TakeReadLock(Fileblock& fb);
// 10341 when it cannot be released.
void ReleaseReadLock(Fileblock& fb);
// The close: a read lock still held (10322), then the station (10341).
void LeaveNetwork(Fileblock& fb);

// The random source of the station claim: a number in 1..stations (tests may fix it).
using StationPicker = int (*)(int stations);
StationPicker SetStationPicker(StationPicker picker);

} // namespace storage
