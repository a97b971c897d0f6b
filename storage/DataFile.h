#pragma once

#include "storage/Fileblock.h"

#include <array>
#include <cstdint>

// The data file: fixed-length records addressed by number, record 0 its header
// (first free record, free count, records allocated, record length, number of keys, in-use
// mark; little-endian at offsets 0, 4, 8, 12, 16 and 20).
namespace storage {

using DataHeaderImageBytes = std::array<unsigned char, kDataHeaderBytes>;
// The in-use mark: set before the first change after an open, cleared by a clean close.
constexpr std::int64_t kDataInUseOffset = 20;

// The 21-byte header from descriptor 0 and the number of keys, with `inUse` at offset 20.
DataHeaderImageBytes DataHeaderImage(const Fileblock& fb, std::uint8_t inUse);
// Writes that image at offset 0 of the data file.
void WriteDataHeader(Fileblock& fb, std::uint8_t inUse);

struct DataHeader {
    std::int32_t firstFree = -1;
    std::int32_t freeCount = 0;
    std::int32_t allocated = 0;
    std::int32_t recordLength = 0;
    std::uint32_t numberOfKeys = 0;
    std::uint8_t inUse = 0;
};
DataHeader ParseDataHeader(const DataHeaderImageBytes& image);

// The header's own fields could be those of a data file (10010 otherwise): the record length
// and the counters. Checked before anything is done with them, a journal's replay included.
void CheckDataHeader(Fileblock& fb);
// The same, and the file's size against them (10010): the file holds the records the header
// counts and no more. `appendMayBeUndone`: a journal that puts back a data header is about to
// be replayed; the append it undoes may have left one record more, or counted one that never
// reached the disk.
void CheckDataFile(Fileblock& fb, bool appendMayBeUndone = false);

// Walks the free chain once (bounded by the free count) unless it was walked already, and
// notes its records in fb.freeRecords. False only when a read failed (its code is set).
bool LearnFreeRecords(Fileblock& fb);

} // namespace storage
