#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// The whole file as bytes; empty when it cannot be read.
inline std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
