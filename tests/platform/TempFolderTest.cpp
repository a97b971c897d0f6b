#include "platform/TempFolder.h"

#include "TempFolder.h"
#include "support/AsOrdinaryUser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        hadRuntime = runtime != nullptr;
        if (runtime) savedRuntime = runtime;
    }
    void TearDown() override {
        if (hadRuntime)
            ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
    }

    static unsigned ModeOf(const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }

    const test::TempFolder scratch;
    const std::string folder = scratch.Path();
    bool hadRuntime = false;
    std::string savedRuntime;
};

TEST_F(TempFolderTest, CreatesAPrivateFolder) {
    const std::string path = folder + "/mine";
    EXPECT_EQ(platform::PrivateFolder(path), path);
    EXPECT_EQ(ModeOf(path), 0700u);
    EXPECT_EQ(platform::PrivateFolder(path), path); // and takes it again
}

TEST_F(TempFolderTest, TightensAnOpenFolderOfOurOwn) {
    const std::string path = folder + "/open";
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    ::chmod(path.c_str(), 0777);
    EXPECT_EQ(platform::PrivateFolder(path), path);
    EXPECT_EQ(ModeOf(path), 0700u);
}

TEST_F(TempFolderTest, RefusesALinkOrAFileInItsPlace) {
    const std::string target = folder + "/target";
    ASSERT_EQ(::mkdir(target.c_str(), 0700), 0);
    const std::string link = folder + "/link";
    fs::create_directory_symlink(target, link);
    EXPECT_EQ(platform::PrivateFolder(link), std::nullopt);
    EXPECT_TRUE(fs::is_symlink(link));

    const std::string file = folder + "/file";
    std::ofstream(file) << "x";
    EXPECT_EQ(platform::PrivateFolder(file), std::nullopt);
    EXPECT_EQ(platform::PrivateFolder(folder + "/missing/deeper"), std::nullopt);
}

TEST_F(TempFolderTest, RefusesAFolderOfAnotherUser) {
    std::string others = "/";
    if (::geteuid() == 0) { // root's folder, tried by an ordinary user
        others = folder + "/roots";
        ASSERT_EQ(::mkdir(others.c_str(), 0755), 0);
        ::chmod(folder.c_str(), 0755);
    }
    const unsigned mode = ModeOf(others);
    EXPECT_TRUE(AsOrdinaryUser([&] { return !platform::PrivateFolder(others); }));
    EXPECT_EQ(ModeOf(others), mode);
}

TEST_F(TempFolderTest, RuntimeFolderFirstElseOurOwnUnderTmp) {
    ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    EXPECT_EQ(platform::TempFolder(), folder);

    // The shared temporary folder stands in a test folder, so nothing is made in the real /tmp.
    const std::string shared = folder + "/shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 01777), 0);
    const std::string fallback = shared + "/zelplus-" + std::to_string(::getuid());
    for (const char* unusable : {"", "relative", "/nonexistent/runtime"})
        EXPECT_EQ(platform::TempFolderFrom(unusable, shared), fallback) << unusable;
    EXPECT_EQ(platform::TempFolderFrom(nullptr, shared), fallback);
    EXPECT_EQ(ModeOf(fallback), 0700u);
}

TEST_F(TempFolderTest, ARuntimeFolderOthersMayEnterIsPassedOver) {
    const std::string shared = folder + "/shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 01777), 0);
    const std::string fallback = shared + "/zelplus-" + std::to_string(::getuid());
    const std::string good = folder + "/good";
    ASSERT_EQ(::mkdir(good.c_str(), 0700), 0);
    struct Case {
        const char* name;
        std::string runtime;
        mode_t mode; // given to the folder first, 0 for none
        std::string expected;
    };
    const Case cases[] = {
        {"shared like /tmp", folder + "/sticky", 01777, fallback},
        {"group may enter", folder + "/group", 0750, fallback},
        {"others may read", folder + "/others", 0704, fallback},
        {"a link to a good folder", folder + "/link", 0, fallback},
        {"a link with a slash", folder + "/link/", 0, fallback},
        {"a good folder", good, 0, good},
        {"a good folder with a slash", good + "/", 0, good + "/"},
    };
    fs::create_directory_symlink(good, folder + "/link");
    for (const Case& c : cases) {
        if (c.mode != 0) {
            ASSERT_EQ(::mkdir(c.runtime.c_str(), 0700), 0) << c.name;
            ASSERT_EQ(::chmod(c.runtime.c_str(), c.mode), 0) << c.name;
        }
        EXPECT_EQ(platform::TempFolderFrom(c.runtime.c_str(), shared), c.expected) << c.name;
        if (c.mode != 0) {
            EXPECT_EQ(ModeOf(c.runtime), static_cast<unsigned>(c.mode)) << "left as it was: " << c.name;
        }
    }
}

TEST_F(TempFolderTest, ARuntimeFolderOfAnotherUserIsPassedOver) {
    std::string others = "/";
    if (::geteuid() == 0) { // root's private folder, named to an ordinary user
        others = folder + "/roots";
        ASSERT_EQ(::mkdir(others.c_str(), 0700), 0);
        ::chmod(folder.c_str(), 0755);
    }
    const std::string shared = folder + "/shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 01777), 0);
    ::chmod(shared.c_str(), 01777);
    EXPECT_TRUE(AsOrdinaryUser([&] {
        return platform::TempFolderFrom(others.c_str(), shared) ==
               shared + "/zelplus-" + std::to_string(::getuid());
    }));
}

// When /tmp/zelplus-<uid> is taken by something not ours, the page still gets a private folder of
// its own under /tmp, made once for the run; what stands under the taken name is left alone.
TEST_F(TempFolderTest, ATakenPerUserNameGivesAFreshPrivateFolder) {
    const std::string perUser = "zelplus-" + std::to_string(::getuid());
    const std::string target = folder + "/target";
    ASSERT_EQ(::mkdir(target.c_str(), 0700), 0);
    struct Case {
        const char* name;
        std::function<void(const std::string&)> plant;
    };
    std::vector<Case> cases = {
        {"a link to a folder of ours",
         [&](const std::string& at) { fs::create_directory_symlink(target, at); }},
        {"a file", [](const std::string& at) { std::ofstream(at) << "x"; }},
    };
    if (::geteuid() == 0)
        cases.push_back({"a folder of another user", [](const std::string& at) {
                             ASSERT_EQ(::mkdir(at.c_str(), 0755), 0);
                             ASSERT_EQ(::chown(at.c_str(), 65534, 65534), 0);
                         }});
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string shared = folder + "/shared" + std::to_string(++number);
        ASSERT_EQ(::mkdir(shared.c_str(), 0755), 0);
        c.plant(shared + "/" + perUser);
        struct stat planted {};
        ASSERT_EQ(::lstat((shared + "/" + perUser).c_str(), &planted), 0);

        const std::string fresh = platform::TempFolderFrom(nullptr, shared);
        const std::string prefix = shared + "/" + perUser + "-";
        ASSERT_EQ(fresh.compare(0, prefix.size(), prefix), 0) << fresh;
        EXPECT_EQ(fresh.size(), prefix.size() + 6) << fresh;
        struct stat info {};
        ASSERT_EQ(::lstat(fresh.c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_uid, ::geteuid());
        EXPECT_EQ(info.st_mode & 07777, 0700u);
        EXPECT_EQ(platform::TempFolderFrom(nullptr, shared), fresh) << "the same folder for the whole run";

        struct stat after {};
        ASSERT_EQ(::lstat((shared + "/" + perUser).c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, planted.st_ino);
        EXPECT_EQ(after.st_mode, planted.st_mode);
        EXPECT_EQ(after.st_uid, planted.st_uid);
    }
    EXPECT_TRUE(fs::is_empty(target));
}

// No private folder at all: empty, never a relative path.
TEST_F(TempFolderTest, NoPrivateFolderIsEmptyNeverRelative) {
    EXPECT_EQ(platform::TempFolderFrom(nullptr, "tmp"), "");
    EXPECT_EQ(platform::TempFolderFrom(nullptr, ""), "");
    EXPECT_EQ(platform::TempFolderFrom("relative", "relative"), "");
    EXPECT_EQ(platform::TempFolderFrom(nullptr, folder + "/missing"), "");

    // A shared folder the user may not write into, with the per-user name taken.
    const std::string closed = folder + "/closed";
    ASSERT_EQ(::mkdir(closed.c_str(), 0755), 0);
    ::chmod(folder.c_str(), 0755);
    std::ofstream(closed + "/zelplus-65534") << "x";
    ::chmod(closed.c_str(), 0555);
    EXPECT_TRUE(AsOrdinaryUser([&] { return platform::TempFolderFrom(nullptr, closed).empty(); }));
}

} // namespace
