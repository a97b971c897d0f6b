#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The whole file as bytes; empty when it cannot be read.
inline std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace test {

// The same, for comparing with stored blocks.
inline std::vector<unsigned char> ReadWholeFile(const std::filesystem::path& file) {
    const std::string bytes = FileText(file);
    return {bytes.begin(), bytes.end()};
}

} // namespace test
