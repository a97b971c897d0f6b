// What is wrong with each file of a Fileblock, told without opening any of them, so that the
// caller can name the file and its fault before anything is changed.
#include "platform/FileOps.h"
#include "storage/FileNames.h"
#include "storage/Fileblock.h"
#include "storage/Storage.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

TFileProblem ProblemOf(const std::string& path) {
    switch (platform::Files().Inspect(path)) {
    case platform::PathKind::Missing:
        return TFileProblem::Missing;
    case platform::PathKind::DanglingLink:
        return TFileProblem::DanglingLink;
    case platform::PathKind::NotPlain:
        return TFileProblem::NotPlainFile;
    case platform::PathKind::PlainFile:
        break;
    }
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) return TFileProblem::NoAccess;
    // Read-only as a mark on the file, for every user alike (the system administrator too).
    if ((target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return TFileProblem::ReadOnly;
    if (::access(path.c_str(), R_OK | W_OK) != 0) return TFileProblem::NoAccess;
    return TFileProblem::None;
}

bool IsLink(const std::string& path) {
    struct stat named {};
    return ::lstat(path.c_str(), &named) == 0 && S_ISLNK(named.st_mode);
}

TFileState StateOf(const std::string& path) {
    return {path, ProblemOf(path), IsLink(path)};
}

} // namespace

TFileSetState FbCheckFiles(const std::string& fileName) try {
    const storage::FileblockNames names = storage::NamesOf(fileName);
    return {StateOf(names.data), StateOf(names.index), StateOf(names.dialog)};
} catch (...) {
    storage::FailOnException();
    return {};
}
