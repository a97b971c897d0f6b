#pragma once

#include "storage/Storage.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace test {

// The engine started in single-user mode with 8 page buffers for one test; stopped (closing
// whatever is still open) at the end.
class StorageSession {
public:
    StorageSession();
    ~StorageSession();
    StorageSession(const StorageSession&) = delete;
    StorageSession& operator=(const StorageSession&) = delete;
};

// Key specifications from (length, duplicates) pairs; the rest are zero.
TKeySpecs Keys(std::initializer_list<TKeySpec> keys);

// A record of `length` bytes, every byte `fill`, with `number` in its last four bytes.
std::vector<unsigned char> RecordBytes(std::size_t length, unsigned char fill, std::int32_t number = 0);

// `count` bytes of the file at `offset` (fewer at its end).
std::vector<unsigned char> BytesAt(const std::string& path, std::size_t offset, std::size_t count);

// Little-endian bytes of a 32-bit value, for expected images.
std::vector<unsigned char> Le32(std::int32_t value);
std::vector<unsigned char> Concat(std::initializer_list<std::vector<unsigned char>> parts);

// Overwrites bytes of a file in place.
void PatchFile(const std::string& path, std::size_t offset, const std::vector<unsigned char>& bytes);

} // namespace test
