#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// One fuzz input: the open flags, a data, index and dialog file, and a script of operations.
//   byte 0        flags: 1 read-only, 2 all read-only, 4 save mode, 8 no index file, 16 no dialog
//                 file, 32 network flag
//   bytes 1-12    lengths of the data, index and dialog files (32-bit little-endian)
//   then          the three files, then the script
// Lengths past the end of the input are cut to what is there.
namespace fuzz {

struct FuzzInput {
    std::uint8_t flags = 0;
    std::vector<unsigned char> data, index, dialog, script;
};

inline FuzzInput DecodeInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzInput input;
    if (size == 0) return input;
    input.flags = bytes[0];
    std::size_t at = 1;
    std::uint32_t lengths[3] = {};
    for (auto& length : lengths) {
        for (int i = 0; i < 4; ++i, ++at)
            if (at < size) length |= static_cast<std::uint32_t>(bytes[at]) << (8 * i);
    }
    std::vector<unsigned char>* parts[3] = {&input.data, &input.index, &input.dialog};
    for (int p = 0; p < 3; ++p) {
        const std::size_t left = at < size ? size - at : 0;
        const std::size_t length = std::min<std::size_t>(lengths[p], left);
        parts[p]->assign(bytes + at, bytes + at + length);
        at += length;
    }
    if (at < size) input.script.assign(bytes + at, bytes + size);
    return input;
}

inline std::vector<unsigned char> EncodeInput(const FuzzInput& input) {
    std::vector<unsigned char> bytes{input.flags};
    for (const auto* part : {&input.data, &input.index, &input.dialog})
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<unsigned char>(part->size() >> (8 * i)));
    for (const auto* part : {&input.data, &input.index, &input.dialog, &input.script})
        bytes.insert(bytes.end(), part->begin(), part->end());
    return bytes;
}

// Script operations: one byte each, then their arguments.
enum Op : std::uint8_t {
    kAppend,    // fill
    kWrite,     // record (16-bit), fill
    kRead,      // record (16-bit)
    kFree,      // record (16-bit)
    kInsert,    // key, reference (16-bit), length, text
    kRemove,    // key, reference (16-bit), length, text
    kFind,      // key, length, text
    kStep,      // key
    kRewind,    // key
    kReopen,    // (none)
    kLiveCount, // (none)
    kOpCount
};

} // namespace fuzz
