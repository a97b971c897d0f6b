#include "StorageSession.h"

#include "FaultyFileOps.h"

#include <fstream>

namespace test {

StorageSession::StorageSession() {
    FbStartEngine(0, 8);
}

StorageSession::~StorageSession() {
    FbStopEngine();
}

TKeySpecs Keys(std::initializer_list<TKeySpec> keys) {
    TKeySpecs specs{};
    std::size_t i = 0;
    for (const TKeySpec& key : keys)
        specs[i++] = key;
    return specs;
}

std::vector<unsigned char> RecordBytes(std::size_t length, unsigned char fill, std::int32_t number) {
    std::vector<unsigned char> bytes(length, fill);
    for (int i = 0; i < 4 && length >= 4; ++i)
        bytes[length - 4 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(number >> (8 * i));
    return bytes;
}

std::vector<unsigned char> BytesAt(const std::string& path, std::size_t offset, std::size_t count) {
    const std::vector<unsigned char> all = ReadWholeFile(path);
    if (offset >= all.size()) return {};
    const std::size_t end = std::min(all.size(), offset + count);
    return {all.begin() + static_cast<std::ptrdiff_t>(offset),
            all.begin() + static_cast<std::ptrdiff_t>(end)};
}

std::vector<unsigned char> Le32(std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
            static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
}

std::vector<unsigned char> Concat(std::initializer_list<std::vector<unsigned char>> parts) {
    std::vector<unsigned char> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

void PatchFile(const std::string& path, std::size_t offset, const std::vector<unsigned char>& bytes) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace test
