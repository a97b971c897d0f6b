#pragma once

#include <cstddef>
#include <string>

// Reading a small file whole, safely: a pipe, device or folder in its place neither blocks
// nor runs on for ever, and a file far larger than expected is not read into memory.
namespace platform {

struct PlainFileRead {
    enum class Result { Read, Missing, NotPlain, TooLarge, Failed };
    Result result = Result::Failed;
    int error = 0;     // errno when Failed
    std::string bytes; // the content when Read, else empty
};

PlainFileRead ReadPlainFile(const std::string& path, std::size_t maxSize);

} // namespace platform
