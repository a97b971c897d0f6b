#pragma once

#include "storage/FileNames.h"

// What a rebuild killed before its end leaves beside a Fileblock's files.
namespace storage {

// Removes the rebuild's own leftovers at FbRebuildNames of the three files; the caller holds
// the data file's lock, so no rebuild of this Fileblock is writing any of them.
void RemoveRebuildLeftovers(const FileblockNames& names);

} // namespace storage
