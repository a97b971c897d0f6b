#include "FileSystemShim.h"

#include <atomic>
#include <cerrno>
#include <utility>

namespace test {
namespace {
std::atomic<FileSystemShim::Kind> current{FileSystemShim::Kind::Ordinary};
std::atomic<int> refused{0};
std::function<void()> beforeUnlink;

bool Refuse(FileSystemShim::Kind atLeast) {
    const FileSystemShim::Kind kind = current.load();
    if (kind == FileSystemShim::Kind::Ordinary || kind < atLeast) return false;
    ++refused;
    return true;
}
} // namespace

FileSystemShim::FileSystemShim(Kind kind)
    : previous_(current.exchange(kind)), refusedBefore_(refused.load()) {}

FileSystemShim::~FileSystemShim() {
    current = previous_;
    beforeUnlink = nullptr;
}

void FileSystemShim::BeforeNextUnlink(std::function<void()> action) {
    beforeUnlink = std::move(action);
}

int FileSystemShim::Refused() const {
    return refused.load() - refusedBefore_;
}

const char* FileSystemShim::Name(Kind kind) {
    switch (kind) {
    case Kind::Ordinary:
        return "an ordinary file system";
    case Kind::NoRenameNoReplace:
        return "no rename that refuses to replace";
    case Kind::NeitherThatNorLinks:
        return "neither that rename nor hard links";
    }
    return "";
}

} // namespace test

// The linker sends the calls here (--wrap); __real_ is the system's own.
extern "C" {
int __real_renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags);
int __real_link(const char* from, const char* to);
int __real_linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags);
int __real_unlinkat(int folder, const char* name, int flags);
int __real_unlink(const char* name);

int __wrap_renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags) {
    if (flags != 0 && test::Refuse(test::FileSystemShim::Kind::NoRenameNoReplace)) {
        errno = EINVAL;
        return -1;
    }
    return __real_renameat2(fromFolder, from, toFolder, to, flags);
}

int __wrap_link(const char* from, const char* to) {
    if (test::Refuse(test::FileSystemShim::Kind::NeitherThatNorLinks)) {
        errno = EPERM;
        return -1;
    }
    return __real_link(from, to);
}

int __wrap_linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    if (test::Refuse(test::FileSystemShim::Kind::NeitherThatNorLinks)) {
        errno = EPERM;
        return -1;
    }
    return __real_linkat(fromFolder, from, toFolder, to, flags);
}

int __wrap_unlinkat(int folder, const char* name, int flags) {
    if (test::beforeUnlink) std::exchange(test::beforeUnlink, nullptr)();
    return __real_unlinkat(folder, name, flags);
}

int __wrap_unlink(const char* name) {
    if (test::beforeUnlink) std::exchange(test::beforeUnlink, nullptr)();
    return __real_unlink(name);
}
}
