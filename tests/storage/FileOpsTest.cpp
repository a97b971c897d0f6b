#include "FaultyFileOps.h"
#include "FileSystemShim.h"
#include "TempFolder.h"
#include "support/AsOrdinaryUser.h"

#include "platform/FileOps.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using platform::FileAccess;
using platform::FileDisposition;
using platform::FileHandle;
using platform::FileSharing;
namespace win32 = platform::win32;

platform::FileOps& Posix() {
    return platform::PosixFiles();
}

FileHandle OpenOrDie(const std::string& path, FileDisposition disposition,
                     FileSharing sharing = FileSharing::Exclusive) {
    FileHandle handle = -1;
    EXPECT_EQ(Posix().Open(path, disposition, FileAccess::ReadWrite, sharing, handle), win32::kSuccess);
    return handle;
}

TEST(FileOps, MissingFileAndMissingFolderAreTold) {
    test::TempFolder folder;
    FileHandle handle = 7;
    EXPECT_EQ(Posix().Open(folder.File("absent.DAT"), FileDisposition::OpenExisting, FileAccess::ReadWrite,
                           FileSharing::Exclusive, handle),
              win32::kFileNotFound);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(Posix().Open(folder.File("no/such/absent.DAT"), FileDisposition::OpenExisting,
                           FileAccess::ReadWrite, FileSharing::Exclusive, handle),
              win32::kPathNotFound);
    EXPECT_EQ(Posix().Open(folder.File("no/absent.DAT"), FileDisposition::CreateAlways, FileAccess::ReadWrite,
                           FileSharing::Exclusive, handle),
              win32::kPathNotFound);
    EXPECT_EQ(Posix().Delete(folder.File("absent.DAT")), win32::kFileNotFound);
    EXPECT_EQ(Posix().Open(folder.File(std::string(5000, 'x')), FileDisposition::CreateAlways,
                           FileAccess::ReadWrite, FileSharing::Exclusive, handle),
              win32::kPathNotFound);
    EXPECT_EQ(Posix().Open(folder.File(std::string("a\0b", 3)), FileDisposition::CreateAlways,
                           FileAccess::ReadWrite, FileSharing::Exclusive, handle),
              win32::kInvalidName);
}

TEST(FileOps, APipeOrAFolderInTheFilesPlaceIsRefusedWithoutWaiting) {
    test::TempFolder folder;
    const std::string pipe = folder.File("zelp.DAT");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const FileAccess access : {FileAccess::ReadOnly, FileAccess::ReadWrite}) {
        // In a child with an alarm: an open that waits for a writer is killed, not hung.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::alarm(5);
            FileHandle handle = -1;
            const auto error =
                Posix().Open(pipe, FileDisposition::OpenExisting, access, FileSharing::Exclusive, handle);
            ::_exit(error == win32::kAccessDenied && handle == -1 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    FileHandle handle = -1;
    EXPECT_EQ(Posix().Open(folder.File(""), FileDisposition::OpenExisting, FileAccess::ReadOnly,
                           FileSharing::Exclusive, handle),
              win32::kAccessDenied);
}

TEST(FileOps, UnsharedOpenExcludesEveryOtherOpenAndTheDelete) {
    test::TempFolder folder;
    const std::string path = folder.File("zelp.DAT");
    const FileHandle first = OpenOrDie(path, FileDisposition::CreateAlways);
    std::size_t done = 0;
    ASSERT_EQ(Posix().Write(first, 0, "abc", 3, done), win32::kSuccess);

    struct Case {
        const char* name;
        FileDisposition disposition;
        FileSharing sharing;
    };
    for (const Case& c : {Case{"open unshared", FileDisposition::OpenExisting, FileSharing::Exclusive},
                          Case{"open shared", FileDisposition::OpenExisting, FileSharing::Shared},
                          Case{"create", FileDisposition::CreateAlways, FileSharing::Exclusive}}) {
        FileHandle second = -1;
        EXPECT_EQ(Posix().Open(path, c.disposition, FileAccess::ReadWrite, c.sharing, second),
                  win32::kSharingViolation)
            << c.name;
    }
    EXPECT_EQ(Posix().Delete(path), win32::kSharingViolation);
    // The refused create-always left the content alone.
    std::int64_t size = 0;
    ASSERT_EQ(Posix().Size(first, size), win32::kSuccess);
    EXPECT_EQ(size, 3);

    // Another process is refused as well.
    const pid_t child = ::fork();
    if (child == 0) {
        FileHandle other = -1;
        const auto error = Posix().Open(path, FileDisposition::OpenExisting, FileAccess::ReadOnly,
                                        FileSharing::Exclusive, other);
        ::_exit(error == win32::kSharingViolation ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ASSERT_EQ(Posix().Close(first), win32::kSuccess);
    EXPECT_EQ(Posix().Delete(path), win32::kSuccess);
    EXPECT_FALSE(test::FileExists(path));
}

TEST(FileOps, SharedOpensCoexist) {
    test::TempFolder folder;
    const std::string path = folder.File("net.DAT");
    const FileHandle a = OpenOrDie(path, FileDisposition::CreateAlways, FileSharing::Shared);
    FileHandle b = -1;
    EXPECT_EQ(
        Posix().Open(path, FileDisposition::OpenExisting, FileAccess::ReadWrite, FileSharing::Shared, b),
        win32::kSuccess);
    FileHandle c = -1;
    EXPECT_EQ(
        Posix().Open(path, FileDisposition::OpenExisting, FileAccess::ReadWrite, FileSharing::Exclusive, c),
        win32::kSharingViolation);
    Posix().Close(a);
    Posix().Close(b);
}

TEST(FileOps, DescriptorsAreNotInheritedByPrograms) {
    test::TempFolder folder;
    const FileHandle handle = OpenOrDie(folder.File("x.DAT"), FileDisposition::CreateAlways);
    EXPECT_TRUE(::fcntl(handle, F_GETFD) & FD_CLOEXEC);
    Posix().Close(handle);
}

TEST(FileOps, ReadsAtOffsetsAndStopsAtTheEnd) {
    test::TempFolder folder;
    const FileHandle handle = OpenOrDie(folder.File("x.DAT"), FileDisposition::CreateAlways);
    std::size_t done = 0;
    ASSERT_EQ(Posix().Write(handle, 5000000000LL, "xyz", 3, done), win32::kSuccess);
    EXPECT_EQ(done, 3u);
    std::int64_t size = 0;
    ASSERT_EQ(Posix().Size(handle, size), win32::kSuccess);
    EXPECT_EQ(size, 5000000003LL);
    char buffer[8] = {};
    ASSERT_EQ(Posix().Read(handle, 5000000001LL, buffer, 8, done), win32::kSuccess);
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(std::string(buffer, 2), "yz");
    ASSERT_EQ(Posix().Truncate(handle, 10), win32::kSuccess);
    ASSERT_EQ(Posix().Size(handle, size), win32::kSuccess);
    EXPECT_EQ(size, 10);
    EXPECT_EQ(Posix().Flush(handle), win32::kSuccess);
    EXPECT_EQ(Posix().FlushFolder(folder.File("x.DAT")), win32::kSuccess);
    Posix().Close(handle);
    EXPECT_EQ(Posix().Read(handle, 0, buffer, 1, done), win32::kInvalidHandle);
}

TEST(FileOps, ByteRangeLocksExcludeOtherOpens) {
    test::TempFolder folder;
    const std::string path = folder.File("net.DIA");
    const FileHandle a = OpenOrDie(path, FileDisposition::CreateAlways, FileSharing::Shared);
    FileHandle b = -1;
    ASSERT_EQ(
        Posix().Open(path, FileDisposition::OpenExisting, FileAccess::ReadWrite, FileSharing::Shared, b),
        win32::kSuccess);
    EXPECT_EQ(Posix().LockRange(a, 3, 1), win32::kSuccess);
    EXPECT_EQ(Posix().LockRange(b, 3, 1), win32::kLockViolation);
    EXPECT_EQ(Posix().LockRange(b, 4, 1), win32::kSuccess);
    EXPECT_EQ(Posix().UnlockRange(a, 3, 1), win32::kSuccess);
    EXPECT_EQ(Posix().LockRange(b, 3, 1), win32::kSuccess);
    Posix().Close(a);
    Posix().Close(b);
}

TEST(FaultyFileOps, FailsTheNthCallAndDropsUnflushedWrites) {
    test::TempFolder folder;
    const std::string path = folder.File("x.DAT");
    test::FaultyFileOps files;
    files.FailNth(test::FileCall::Write, 2, win32::kDiskFull);
    FileHandle handle = -1;
    ASSERT_EQ(platform::Files().Open(path, FileDisposition::CreateAlways, FileAccess::ReadWrite,
                                     FileSharing::Exclusive, handle),
              win32::kSuccess);
    std::size_t done = 0;
    EXPECT_EQ(platform::Files().Write(handle, 0, "ab", 2, done), win32::kSuccess);
    EXPECT_EQ(platform::Files().Flush(handle), win32::kSuccess);
    EXPECT_EQ(platform::Files().Write(handle, 2, "cd", 2, done), win32::kDiskFull);
    EXPECT_EQ(platform::Files().Write(handle, 2, "ef", 2, done), win32::kSuccess);
    files.ShortNth(test::FileCall::Read, 1, 1);
    char buffer[4] = {};
    EXPECT_EQ(platform::Files().Read(handle, 0, buffer, 4, done), win32::kSuccess);
    EXPECT_EQ(done, 1u);
    platform::Files().Close(handle);
    EXPECT_EQ(test::ReadWholeFile(path).size(), 4u);
    files.DropUnflushedWrites();
    const auto bytes = test::ReadWholeFile(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "ab");
    EXPECT_EQ(files.Count(test::FileCall::Write), 3);
}

} // namespace

namespace {

TEST(FileOps, InspectTellsWhatStandsAtANameAndChangesNothing) {
    test::TempFolder folder;
    const std::string file = folder.File("plain.DAT");
    test::WriteWholeFile(file, {1, 2, 3});
    ASSERT_EQ(::mkfifo(folder.File("pipe").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(folder.File("folder").c_str(), 0700), 0);
    ASSERT_EQ(::symlink(file.c_str(), folder.File("to-plain").c_str()), 0);
    ASSERT_EQ(::symlink(folder.File("gone/x").c_str(), folder.File("dangling").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", folder.File("to-device").c_str()), 0);
    using platform::PathKind;
    const std::pair<const char*, PathKind> rows[] = {
        {"absent", PathKind::Missing},        {"no/such/absent", PathKind::Missing},
        {"plain.DAT", PathKind::PlainFile},   {"to-plain", PathKind::PlainFile},
        {"dangling", PathKind::DanglingLink}, {"pipe", PathKind::NotPlain},
        {"folder", PathKind::NotPlain},       {"to-device", PathKind::NotPlain},
    };
    for (const auto& [name, kind] : rows)
        EXPECT_EQ(Posix().Inspect(folder.File(name)), kind) << name;
    EXPECT_EQ(test::ReadWholeFile(file), (std::vector<unsigned char>{1, 2, 3}));
}

// A create never goes through a link: one that leads nowhere would make a file wherever it
// points, and one that leads to a file would empty it.
TEST(FileOps, CreateRefusesALinkAndLeavesWhatItPointsTo) {
    test::TempFolder folder;
    const std::string target = folder.File("target.DAT");
    test::WriteWholeFile(target, {9});
    ASSERT_EQ(::symlink(target.c_str(), folder.File("live").c_str()), 0);
    ASSERT_EQ(::symlink(folder.File("made-there").c_str(), folder.File("dangling").c_str()), 0);
    for (const char* name : {"live", "dangling"}) {
        FileHandle handle = 7;
        EXPECT_EQ(Posix().Open(folder.File(name), FileDisposition::CreateAlways, FileAccess::ReadWrite,
                               FileSharing::Exclusive, handle),
                  win32::kAccessDenied)
            << name;
        EXPECT_EQ(handle, -1);
    }
    EXPECT_EQ(test::ReadWholeFile(target), std::vector<unsigned char>{9});
    EXPECT_FALSE(test::FileExists(folder.File("made-there")));
}

TEST(FileOps, RenameToNewNeverReplacesWhatHasTheName) {
    test::TempFolder folder;
    const std::string from = folder.File("new"), to = folder.File("copy");
    test::WriteWholeFile(from, {1});
    for (const auto& make : std::vector<std::function<void()>>{
             [&] { test::WriteWholeFile(to, {2}); },
             [&] { ::symlink(folder.File("nowhere").c_str(), to.c_str()); },
         }) {
        make();
        EXPECT_EQ(Posix().RenameToNew(from, to), win32::kFileExists);
        EXPECT_EQ(test::ReadWholeFile(from), std::vector<unsigned char>{1});
        ::unlink(to.c_str());
    }
    EXPECT_EQ(Posix().RenameToNew(from, to), win32::kSuccess);
    EXPECT_EQ(test::ReadWholeFile(to), std::vector<unsigned char>{1});
    EXPECT_FALSE(test::FileExists(from));
}

// Where a rename cannot refuse to replace (NFS), a second name stands in; where there are no
// second names either (exFAT, FAT), nothing is changed and the caller is told so.
TEST(FileOps, RenameToNewOnFileSystemsWithoutItsRename) {
    using Kind = test::FileSystemShim::Kind;
    struct Case {
        Kind kind;
        platform::SystemError error;
    };
    for (const Case& c : std::vector<Case>{{Kind::Ordinary, win32::kSuccess},
                                           {Kind::NoRenameNoReplace, win32::kSuccess},
                                           {Kind::NeitherThatNorLinks, win32::kNotSupported}}) {
        SCOPED_TRACE(test::FileSystemShim::Name(c.kind));
        test::TempFolder folder;
        const std::string from = folder.File("new"), to = folder.File("copy");
        test::WriteWholeFile(from, {1});
        test::WriteWholeFile(to, {2});
        test::FileSystemShim shim(c.kind);
        // Where it cannot tell, it leaves both as they are.
        EXPECT_EQ(Posix().RenameToNew(from, to), c.error == win32::kSuccess ? win32::kFileExists : c.error);
        EXPECT_EQ(test::ReadWholeFile(to), std::vector<unsigned char>{2});
        ::unlink(to.c_str());
        EXPECT_EQ(Posix().RenameToNew(from, to), c.error);
        EXPECT_EQ(test::FileExists(from), c.error != win32::kSuccess);
        EXPECT_EQ(test::FileExists(to), c.error == win32::kSuccess);
        EXPECT_EQ(shim.Refused() > 0, c.kind != Kind::Ordinary);
    }
}

// A process that holds a file as `hold` does until the object ends it.
class HoldingProcess {
public:
    explicit HoldingProcess(const std::function<bool()>& hold) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            const char held = hold() ? 1 : 0;
            (void)!::write(ready[1], &held, 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char held = 0;
        EXPECT_EQ(::read(ready[0], &held, 1), 1);
        EXPECT_EQ(held, 1);
        ::close(ready[0]);
    }
    ~HoldingProcess() {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;

private:
    pid_t pid_ = -1;
};

bool LockWithFcntl(const std::string& path, int command) {
    const int fd = ::open(path.c_str(), O_RDWR);
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    return fd >= 0 && ::fcntl(fd, command, &range) == 0;
}

// A leftover another process has open, has mapped or holds a lock on is no leftover: it stays,
// and goes once that process has ended.
TEST(FileOps, DeleteIfLeftOverLeavesAFileAnotherProcessHolds) {
    test::TempFolder folder;
    const std::string path = folder.File("zelp.IX.rebuild");
    struct Case {
        const char* name;
        std::function<bool()> hold;
    };
    const std::vector<Case> cases = {
        {"open for reading", [&] { return ::open(path.c_str(), O_RDONLY) >= 0; }},
        {"open for writing", [&] { return ::open(path.c_str(), O_WRONLY) >= 0; }},
        {"mapped, its descriptor closed",
         [&] {
             const int fd = ::open(path.c_str(), O_RDONLY);
             const bool mapped = fd >= 0 && ::mmap(nullptr, 1, PROT_READ, MAP_SHARED, fd, 0) != MAP_FAILED;
             ::close(fd);
             return mapped;
         }},
        {"a POSIX lock", [&] { return LockWithFcntl(path, F_SETLK); }},
        {"an open-file-description lock", [&] { return LockWithFcntl(path, F_OFD_SETLK); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteWholeFile(path, {1, 2, 3});
        {
            const HoldingProcess holder(c.hold);
            EXPECT_EQ(Posix().DeleteIfLeftOver(path), win32::kSharingViolation);
            EXPECT_EQ(test::ReadWholeFile(path), (std::vector<unsigned char>{1, 2, 3}));
        }
        EXPECT_EQ(Posix().DeleteIfLeftOver(path), win32::kSuccess);
        EXPECT_FALSE(test::FileExists(path));
    }
    // This process's own other descriptor counts too.
    test::WriteWholeFile(path, {1});
    const int own = ::open(path.c_str(), O_RDONLY);
    EXPECT_EQ(Posix().DeleteIfLeftOver(path), win32::kSharingViolation);
    ::close(own);
    EXPECT_EQ(Posix().DeleteIfLeftOver(path), win32::kSuccess);
}

// A process the remover may not look into (another user's, or one that made itself undumpable)
// is still seen by its locks. Run as root, the holder stays root and the removal is an ordinary
// user's; else the holder hides itself.
TEST(FileOps, DeleteIfLeftOverSeesTheLocksOfAProcessItCannotLookInto) {
    const bool root = ::geteuid() == 0;
    for (const int command : {F_SETLK, F_OFD_SETLK}) {
        SCOPED_TRACE(command == F_SETLK ? "a POSIX lock" : "an open-file-description lock");
        test::TempFolder folder;
        const std::string path = folder.File("zelp.IX.rebuild");
        test::WriteWholeFile(path, {1});
        if (root) {
            constexpr uid_t kNobody = 65534;
            ASSERT_EQ(::chmod(folder.Path().c_str(), 0777), 0);
            ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
        }
        const auto removal = [&](platform::SystemError expected) {
            return AsOrdinaryUser([&] { return Posix().DeleteIfLeftOver(path) == expected; });
        };
        {
            const HoldingProcess holder(
                [&] { return (root || ::prctl(PR_SET_DUMPABLE, 0) == 0) && LockWithFcntl(path, command); });
            EXPECT_TRUE(removal(win32::kSharingViolation));
            EXPECT_TRUE(test::FileExists(path));
        }
        EXPECT_TRUE(removal(win32::kSuccess));
        EXPECT_FALSE(test::FileExists(path));
    }
}

// The removal drops the file it checked: one renamed into the name at the unlink stays, and
// nothing is left at the name the removal used on the way.
TEST(FileOps, DeleteIfLeftOverNeverRemovesAFileRenamedIntoTheNameAtTheUnlink) {
    for (const auto kind :
         {test::FileSystemShim::Kind::Ordinary, test::FileSystemShim::Kind::NeitherThatNorLinks}) {
        SCOPED_TRACE(test::FileSystemShim::Name(kind));
        test::TempFolder folder;
        const std::string path = folder.File("zelp.IX.rebuild"), users = folder.File("users");
        test::WriteWholeFile(path, {1});
        test::WriteWholeFile(users, {7});
        test::FileSystemShim shim(kind);
        shim.BeforeNextUnlink([&] { ::rename(users.c_str(), path.c_str()); });
        EXPECT_EQ(Posix().DeleteIfLeftOver(path), win32::kSuccess);
        EXPECT_EQ(test::ReadWholeFile(path), std::vector<unsigned char>{7});
        EXPECT_FALSE(test::FileExists(platform::RemovingNameOf(path)));
    }
}

// A removal cut off after it moved the file aside is finished by the next removal of the name.
TEST(FileOps, DeleteIfLeftOverFinishesARemovalCutOffOnTheWay) {
    test::TempFolder folder;
    const std::string path = folder.File("zelp.IX.rebuild");
    EXPECT_EQ(platform::RemovingNameOf(path), folder.File(".zelp.IX.rebuild.removing"));
    test::WriteWholeFile(platform::RemovingNameOf(path), {1});
    EXPECT_EQ(Posix().DeleteIfLeftOver(path), win32::kFileNotFound);
    EXPECT_FALSE(test::FileExists(platform::RemovingNameOf(path)));
}

// Only the second name of a file whose other name is a kept one goes; the file stays whole.
TEST(FileOps, DeleteSecondNameDropsOnlyANameBesideAKeptOne) {
    test::TempFolder folder;
    const std::string data = folder.File("zelp.DAT"), second = data + ".rebuild";
    const std::string copy = data + ".20261211-010203";
    struct Case {
        const char* name;
        std::vector<std::string> others; // the file's other names
        platform::SystemError error;
    };
    const std::vector<Case> cases = {
        {"beside a copy", {copy}, win32::kSuccess},
        {"alone", {}, win32::kAccessDenied},
        {"beside a file of another name", {folder.File("other")}, win32::kAccessDenied},
        {"beside another of the rebuild's names", {data + ".rebuild-2"}, win32::kAccessDenied},
        {"one of three", {copy, folder.File("other")}, win32::kAccessDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteWholeFile(second, {5});
        for (const std::string& other : c.others)
            ASSERT_EQ(::link(second.c_str(), other.c_str()), 0);
        EXPECT_EQ(Posix().DeleteSecondName(second, data + ".", data + ".rebuild"), c.error);
        EXPECT_EQ(test::FileExists(second), c.error != win32::kSuccess);
        for (const std::string& other : c.others) {
            EXPECT_EQ(test::ReadWholeFile(other), std::vector<unsigned char>{5});
            ::unlink(other.c_str());
        }
        ::unlink(second.c_str());
    }
}

// Only a plain file of this user with one name that nobody holds open is removed.
TEST(FileOps, DeleteIfLeftOverRemovesOnlyAnUnheldPlainFileWithOneName) {
    test::TempFolder folder;
    const std::string path = folder.File("zelp.IX.rebuild"), other = folder.File("other");
    test::WriteWholeFile(other, {7});
    struct Case {
        const char* name;
        std::function<void()> make;
        platform::SystemError error;
    };
    FileHandle held = -1;
    const std::vector<Case> cases = {
        {"a link", [&] { ::symlink(other.c_str(), path.c_str()); }, win32::kAccessDenied},
        {"a second name", [&] { ::link(other.c_str(), path.c_str()); }, win32::kAccessDenied},
        {"a pipe", [&] { ::mkfifo(path.c_str(), 0600); }, win32::kAccessDenied},
        {"a file held open",
         [&] {
             test::WriteWholeFile(path, {1});
             held = OpenOrDie(path, FileDisposition::OpenExisting, FileSharing::Shared);
         },
         win32::kSharingViolation},
        {"nothing", [] {}, win32::kFileNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.make();
        EXPECT_EQ(Posix().DeleteIfLeftOver(path), c.error);
        struct stat still {};
        if (c.error != win32::kFileNotFound) {
            EXPECT_EQ(::lstat(path.c_str(), &still), 0); // left alone
        }
        if (held >= 0) Posix().Close(held), held = -1;
        ::unlink(path.c_str());
    }
    EXPECT_EQ(test::ReadWholeFile(other), std::vector<unsigned char>{7});
    test::WriteWholeFile(path, {1});
    EXPECT_EQ(Posix().DeleteIfLeftOver(path), win32::kSuccess);
    EXPECT_FALSE(test::FileExists(path));
}

} // namespace

namespace {

// Copies one byte from a page of a view that still has the file behind it, then cuts the file
// and copies one from a page it no longer reaches: true when the first copy worked and the
// second failed, as a guarded copy does, instead of ending the process.
bool CopiesAreGuarded(const std::string& path) {
    const auto page = static_cast<std::size_t>(platform::ViewPageSize());
    FileHandle handle = -1;
    if (Posix().Open(path, FileDisposition::CreateAlways, FileAccess::ReadWrite, FileSharing::Exclusive,
                     handle) != win32::kSuccess)
        return false;
    const std::vector<unsigned char> pages(3 * page, 'x');
    std::size_t done = 0;
    std::int64_t size = 0;
    std::int64_t length = 0;
    const unsigned char* view = nullptr;
    if (Posix().Write(handle, 0, pages.data(), pages.size(), done) == win32::kSuccess)
        view = Posix().MapView(handle, size, length);
    unsigned char byte = 0;
    const bool whole = view != nullptr && platform::CopyFromView(&byte, view + 2 * page, 1) && byte == 'x';
    const bool cut = whole && Posix().Truncate(handle, 100) == win32::kSuccess &&
                     !platform::CopyFromView(&byte, view + 2 * page, 1);
    Posix().ReleaseView(view, length);
    Posix().Close(handle);
    return whole && cut;
}

// A SIGBUS from another process, which has returned once the signal was taken.
void SentBusError() {
    const pid_t parent = ::getpid();
    const pid_t sender = ::fork();
    if (sender == 0) {
        ::kill(parent, SIGBUS);
        ::_exit(0);
    }
    while (::waitpid(sender, nullptr, 0) < 0 && errno == EINTR) {
    }
}

int signalsTaken = 0;
void CountSignal(int) {
    ++signalsTaken;
}

// A SIGBUS that another program sends is no copy's fault: it takes the action that was there
// before the guard (by default it ends the process), and the copies stay guarded afterwards.
// Each case runs in a process of its own, where nothing has put the guard in place yet.
TEST(FileOps, ASentBusErrorTakesTheActionBeforeTheGuardAndLeavesTheGuard) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::TempFolder folder;
    const std::string path = folder.File("viewed.DAT");
    EXPECT_EXIT(
        {
            // Set, not assumed: a sanitizer puts a handler of its own there.
            ::signal(SIGBUS, SIG_DFL);
            if (!CopiesAreGuarded(path)) std::_Exit(2);
            SentBusError();
            std::_Exit(3);
        },
        ::testing::KilledBySignal(SIGBUS), "");
    EXPECT_EXIT(
        {
            ::signal(SIGBUS, SIG_IGN);
            if (!CopiesAreGuarded(path)) std::_Exit(2);
            SentBusError();
            std::_Exit(CopiesAreGuarded(path) ? 0 : 4);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            ::signal(SIGBUS, CountSignal);
            if (!CopiesAreGuarded(path)) std::_Exit(2);
            SentBusError();
            SentBusError();
            std::_Exit(signalsTaken == 2 && CopiesAreGuarded(path) ? 0 : 4);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
