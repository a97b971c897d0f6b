#pragma once

#include <functional>

// Stands between this process's own file calls and the system, in executables linked with it
// (use_file_system_shim in cmake/UnitTest.cmake): makes them meet a file system without the
// rename that refuses to replace (renameat2 with flags fails with EINVAL, as on NFS) and, for
// NeitherThatNorLinks, without hard links too (link and linkat fail with EPERM, as on exFAT
// through FUSE or FAT); and runs an action just before the next unlink or unlinkat.
//
//   test::FileSystemShim shim(test::FileSystemShim::Kind::NeitherThatNorLinks); // for the scope
namespace test {

class FileSystemShim {
public:
    enum class Kind {
        Ordinary,            // every call as the system makes it
        NoRenameNoReplace,   // renameat2 with flags: EINVAL
        NeitherThatNorLinks, // that, and link, linkat: EPERM
    };
    explicit FileSystemShim(Kind kind = Kind::Ordinary);
    ~FileSystemShim();
    FileSystemShim(const FileSystemShim&) = delete;
    FileSystemShim& operator=(const FileSystemShim&) = delete;

    // `action` runs once, just before the next unlink or unlinkat of this process.
    void BeforeNextUnlink(std::function<void()> action);
    // How many calls were refused since this shim was made.
    int Refused() const;

    static const char* Name(Kind kind);

private:
    Kind previous_;
    int refusedBefore_;
};

} // namespace test
