#pragma once

#include <cstdint>
#include <string>

// Copying a file byte for byte to a new name, for copies kept aside.
namespace platform {

struct CopyOutcome {
    enum class Result { Copied, NameTaken, Failed };
    Result result = Result::Failed;
    std::uint32_t systemError = 0; // the Windows system error when Failed
};

// Copies `from` to a new file `to`, created exclusively and never through a link (NameTaken
// when anything has that name, a dangling link too), and brings the copy to the disk. A copy
// that fails is removed again.
CopyOutcome CopyToNewFile(const std::string& from, const std::string& to);

} // namespace platform
