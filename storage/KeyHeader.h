#pragma once

#include "storage/Fileblock.h"

#include <array>
#include <cstdint>

// The 28-byte header of each key, kept in row 0 of the index file at the key's section
// offset, and its image in the key's descriptor.
namespace storage {

using KeyHeaderBytes = std::array<unsigned char, kKeyHeaderBytes>;

// The on-disk image of key k's header from its descriptor.
KeyHeaderBytes KeyHeaderImage(const Descriptor& key);
// Loads an image into the descriptor (items per page 0 reads as 62).
void LoadKeyHeader(Descriptor& key, const KeyHeaderBytes& image);

void ReadKeyHeader(Fileblock& fb, int k);
void WriteKeyHeader(Fileblock& fb, int k);

// Writes back the Fileblock's dirty pages (with release their buffers become free), then
// every key header that changed.
void FlushIndex(Fileblock& fb, bool release);

} // namespace storage
