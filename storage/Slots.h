#pragma once

#include "storage/Fileblock.h"

#include <cstdint>

// Allocation of data records (index 0) and of a key's index pages (index k) from a free
// chain: one routine for both, since both are slots of a fixed size with the chain link in
// their first four bytes.
namespace storage {

// `counter` + `step`, wrapping as a stored 32-bit word (a damaged header may hold a limit).
std::int32_t WrappedAdd(std::int32_t counter, std::int32_t step);

// File offset of slot `number` of index 0 (a record) or of key `index` (a page).
std::int64_t SlotOffset(const Fileblock& fb, std::int32_t number, int index);

// A free slot from the chain, or a new one (a key then gets a new zero-filled index row when
// its pages outgrow the rows present); without `fromChain` always a new one. 10170 when the
// chain's head or link is out of bounds; nothing changes on failure.
void AllocateSlot(Fileblock& fb, std::int32_t& number, int index, bool fromChain = true);

// Chains slot `number` into the free list (writes the old head into the slot, after the
// journal that can put the slot back has reached the disk).
void FreeSlot(Fileblock& fb, std::int32_t number, int index);

// At the first change after open: sets the in-use flag and, unless in save mode, writes 1
// at offset 20 of the data file and brings it to the disk, so that no later change can
// reach the disk while the file still reads as cleanly closed.
void MarkInUse(Fileblock& fb);

} // namespace storage
