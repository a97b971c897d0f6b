#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Copying a file byte for byte to a new name, for copies kept aside.
namespace platform {

struct CopyOutcome {
    enum class Result { Copied, NameTaken, NoTemporaryName, Failed };
    Result result = Result::Failed;
    std::uint32_t systemError = 0; // the Windows system error when Failed
};

// Copies `from` to a new file `to`, never over anything of that name (NameTaken when anything
// has it, a dangling link too). The bytes go to the first of `temporaries` that is free,
// created exclusively and never through a link (NoTemporaryName when every one is taken),
// held locked while written, brought to the disk and only then given the name `to`: a copy
// cut short never stands under a copy's name. A copy that fails is removed again. `to` must be
// a name that only copies of `from` are given: `from` is held locked while it is copied, so
// where a rename cannot refuse to replace, a name found free stays free until it is taken.
CopyOutcome CopyToNewFile(const std::string& from, const std::string& to,
                          const std::vector<std::string>& temporaries);

} // namespace platform
