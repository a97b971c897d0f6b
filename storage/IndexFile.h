#pragma once

#include "storage/Fileblock.h"

#include <cstdint>

// What the Fileblock lifecycle and the engine's start and stop ask of the index file and the
// page cache. Implemented in IndexFile.cpp / PageCache.cpp.
namespace storage {

// Page cache ring: builds up to `count` zero-filled page buffers one at a time until the count
// is reached or memory runs out; sets Engine().ringHead and ringCount; returns the number built.
std::int32_t BuildPageRing(std::int32_t count);
// Frees every page buffer of the ring (engine stop).
void FreePageRing();

// FbCreate, with the index file created and open (fb.indexFile) and fb.numberOfKeys set:
// lays out keys 1..n in the descriptors from `keys` (10055 for a length of 0 or above 30),
// zero-fills row 0 and writes every key's header there. The caller closes the file, and on
// failure also deletes it.
void IndexCreate(Fileblock& fb, const TKeySpecs& keys);

// FbOpen, with the index file open: reads and checks every key's header (10122, 10120,
// 10121), sets the row size, the rows present and each key's cursor.
void IndexOpen(Fileblock& fb);

// FbOpen, after any journal was put back: every key's pages allocated must lie in the index
// file's rows, its root within them and its first free page -1 or one of them (10010); a
// damaged count would otherwise grow the file to the page it names at the next insert.
void CheckKeyBounds(Fileblock& fb);

// FbClose of a Fileblock that may write: writes back its dirty cached pages (the buffers
// become free) and the headers of the keys that changed. On failure the Fileblock stays open.
void IndexFlush(Fileblock& fb);

// FbClose and a failed FbOpen: every cached page of the Fileblock is dropped unwritten.
void IndexDropPages(Fileblock& fb);

} // namespace storage
