#include "platform/TempFolder.h"

#include "TempFolder.h"
#include "support/AsOrdinaryUser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

    const std::string fallback = "/tmp/zelplus-" + std::to_string(::getuid());
    for (const char* unusable : {"", "relative", "/nonexistent/runtime"}) {
        ::setenv("XDG_RUNTIME_DIR", unusable, 1);
        EXPECT_EQ(platform::TempFolder(), fallback) << unusable;
    }
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(platform::TempFolder(), fallback);
    EXPECT_EQ(ModeOf(fallback), 0700u);
}

TEST_F(TempFolderTest, ARuntimeFolderOthersMayEnterIsPassedOver) {
    const std::string fallback = "/tmp/zelplus-" + std::to_string(::getuid());
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
        ::setenv("XDG_RUNTIME_DIR", c.runtime.c_str(), 1);
        EXPECT_EQ(platform::TempFolder(), c.expected) << c.name;
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
    ::setenv("XDG_RUNTIME_DIR", others.c_str(), 1);
    EXPECT_TRUE(AsOrdinaryUser(
        [] { return platform::TempFolder() == "/tmp/zelplus-" + std::to_string(::getuid()); }));
}

} // namespace
