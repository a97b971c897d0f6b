#include "FileHolders.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

struct FileId {
    dev_t device;
    ino_t inode;
    bool Is(const struct stat& info) const { return info.st_dev == device && info.st_ino == inode; }
};

bool ParseNumber(std::string_view text, int base, unsigned long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

// "major:minor" in hex (then ":inode" in decimal when `withInode`), as /proc writes a file's id.
bool ParseFileId(std::string_view text, bool withInode, FileId& id) {
    const auto first = text.find(':');
    if (first == std::string_view::npos) return false;
    auto second = text.find(':', first + 1);
    if (!withInode) second = text.size();
    if (second == std::string_view::npos) return false;
    unsigned long long major = 0, minor = 0, inode = 0;
    if (!ParseNumber(text.substr(0, first), 16, major) ||
        !ParseNumber(text.substr(first + 1, second - first - 1), 16, minor))
        return false;
    if (withInode && !ParseNumber(text.substr(second + 1), 10, inode)) return false;
    id.device = ::makedev(static_cast<unsigned>(major), static_cast<unsigned>(minor));
    id.inode = static_cast<ino_t>(inode);
    return true;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    for (std::size_t at = 0; at < line.size();) {
        const std::size_t start = line.find_first_not_of(" \t\n", at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(line.find_first_of(" \t\n", start), line.size());
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

// Calls `each` with every line of the file at `name` in `folder` until it returns true; false
// when the file cannot be read.
template <typename Each> bool AnyLine(int folder, const std::string& name, Each each) {
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    FILE* file = ::fdopen(fd, "r");
    if (file == nullptr) {
        ::close(fd);
        return false;
    }
    char* line = nullptr;
    std::size_t size = 0;
    bool found = false;
    ssize_t length;
    while (!found && (length = ::getline(&line, &size, file)) > 0)
        found = each(std::string_view(line, static_cast<std::size_t>(length)));
    std::free(line);
    std::fclose(file);
    return found;
}

bool OpenIn(int proc, const std::string& pid, bool self, int ownFd, const FileId& file) {
    const int folder = ::openat(proc, (pid + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return false; // ended, or not to be looked into
    DIR* fds = ::fdopendir(folder);
    if (fds == nullptr) {
        ::close(folder);
        return false;
    }
    bool found = false;
    while (const dirent* entry = ::readdir(fds)) {
        unsigned long long fd = 0;
        if (!ParseNumber(entry->d_name, 10, fd)) continue;
        if (self && fd == static_cast<unsigned long long>(ownFd)) continue;
        struct stat info {};
        // Follows the descriptor to the file it has open.
        if (::fstatat(folder, entry->d_name, &info, 0) == 0 && file.Is(info)) {
            found = true;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

// A line of maps: "start-end perms offset major:minor inode path".
bool MappedIn(int proc, const std::string& pid, const FileId& file) {
    return AnyLine(proc, pid + "/maps", [&](std::string_view line) {
        const auto words = Words(line);
        FileId mapped{};
        unsigned long long inode = 0;
        return words.size() >= 5 && ParseFileId(words[3], false, mapped) &&
               ParseNumber(words[4], 10, inode) && mapped.device == file.device &&
               static_cast<ino_t>(inode) == file.inode;
    });
}

// A line of /proc/locks: "1: POSIX ADVISORY WRITE pid major:minor:inode start end", with "->"
// after the number for a lock that waits. Flock locks are left out: the caller holds one.
bool LockedByAny(int proc, const FileId& file) {
    return AnyLine(proc, "locks", [&](std::string_view line) {
        auto words = Words(line);
        if (words.size() > 1 && words[1] == "->") words.erase(words.begin() + 1);
        if (words.size() < 6 || words[1] == "FLOCK") return false;
        FileId locked{};
        return ParseFileId(words[5], true, locked) && locked.device == file.device &&
               locked.inode == file.inode;
    });
}

} // namespace

bool HeldElsewhere(dev_t device, ino_t inode, int ownFd) {
    const FileId file{device, inode};
    DIR* processes = ::opendir("/proc");
    if (processes == nullptr) return true;
    const int proc = ::dirfd(processes);
    const std::string self = std::to_string(::getpid());
    bool held = LockedByAny(proc, file);
    while (!held) {
        const dirent* entry = ::readdir(processes);
        if (entry == nullptr) break;
        unsigned long long pid = 0;
        struct stat owner {};
        if (!ParseNumber(entry->d_name, 10, pid) || ::fstatat(proc, entry->d_name, &owner, 0) != 0 ||
            owner.st_uid != ::geteuid())
            continue;
        held = OpenIn(proc, entry->d_name, entry->d_name == self, ownFd, file) ||
               MappedIn(proc, entry->d_name, file);
    }
    ::closedir(processes);
    return held;
}

} // namespace platform
