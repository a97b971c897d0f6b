#include "platform/ProfileFile.h"

#include "TempFolder.h"
#include "support/AsOrdinaryUser.h"
#include "support/FileText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::ProfileFile;
namespace fs = std::filesystem;

namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    void TearDown() override {
        // Some tests take the rights away; the folder must be emptied at the end.
        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    }

    void Put(const std::string& content) const { std::ofstream(path, std::ios::binary) << content; }
    std::string Content() const { return FileText(path); }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename());
        return names;
    }

    const test::TempFolder scratch;
    const std::string folder = scratch.Path();
    std::string path = scratch.File("zelplus.ini");
};

const char* const kHandWritten = "; settings of the pool program\n"
                                 "[Other]\n"
                                 "  Viewer = 1  \n"
                                 "Colour=blue, green\n"
                                 "\n"
                                 "[data]\n"
                                 "owner=Jo=Smith, Pool St~~Town\n"
                                 "; keep this\n"
                                 "Unknown=x\n"
                                 "\n"
                                 "[Position]\n"
                                 "left=12\n";

TEST_F(ProfileFileTest, ReadsHandWrittenFileWithoutRegardToCase) {
    Put(kHandWritten);
    const ProfileFile ini(path);
    EXPECT_EQ(ini.ReadString("OTHER", "VIEWER"), "1");
    EXPECT_EQ(ini.ReadString("other", "colour"), "blue, green");
    EXPECT_EQ(ini.ReadString("DATA", "OWNER"), "Jo=Smith, Pool St~~Town");
    EXPECT_EQ(ini.ReadInteger("POSITION", "LEFT", 0), 12);
    EXPECT_EQ(ini.ReadString("DATA", "; keep this"), std::nullopt);
    EXPECT_EQ(ini.ReadString("DATA", "VIEWER"), std::nullopt);
    EXPECT_EQ(ini.ReadString("SIZE", "WIDTH", "none"), "none");
}

TEST_F(ProfileFileTest, WritesReplaceInPlaceAndKeepEveryOtherLine) {
    Put(kHandWritten);
    const ProfileFile ini(path);
    ASSERT_TRUE(ini.WriteString("OTHER", "VIEWER", "0"));
    ASSERT_TRUE(ini.WriteString("DATA", "LAST_SUPPLIER", "Aqua, Inc."));
    ASSERT_TRUE(ini.WriteString("data", "OWNER", "Ann"));
    ASSERT_TRUE(ini.WriteInteger("SIZE", "WIDTH", 640));
    EXPECT_EQ(Content(), "; settings of the pool program\n"
                         "[Other]\n"
                         "  Viewer =0\n"
                         "Colour=blue, green\n"
                         "\n"
                         "[data]\n"
                         "owner=Ann\n"
                         "; keep this\n"
                         "Unknown=x\n"
                         "LAST_SUPPLIER=Aqua, Inc.\r\n"
                         "\n"
                         "[Position]\n"
                         "left=12\n"
                         "[SIZE]\r\n"
                         "WIDTH=640\r\n");
}

TEST_F(ProfileFileTest, FirstSectionAndFirstKeyWin) {
    Put("[A]\nK=1\nk=2\n[a]\nK=3\nJ=4\n");
    const ProfileFile ini(path);
    EXPECT_EQ(ini.ReadString("A", "K"), "1");
    EXPECT_EQ(ini.ReadString("A", "J"), std::nullopt);
    ASSERT_TRUE(ini.WriteString("A", "K", "9"));
    ASSERT_TRUE(ini.WriteString("A", "J", "8"));
    EXPECT_EQ(Content(), "[A]\nK=9\nk=2\nJ=8\r\n[a]\nK=3\nJ=4\n");
}

TEST_F(ProfileFileTest, NamesMatchAccentedLettersWithoutRegardToCase) {
    Put("[\xC4RA]\n\xE9t\xE9=summer\n"); // "ÄRA", "été" in Windows-1252
    EXPECT_EQ(ProfileFile(path).ReadString("\xE4ra", "\xC9T\xC9"), "summer");
}

TEST_F(ProfileFileTest, IntegersAndBooleans) {
    struct Row {
        const char* value;
        int integer;  // read with default 77
        bool boolean; // read with default true
    };
    const Row rows[] = {
        {"0", 0, false},
        {"1", 1, true},
        {"-7", -7, true},
        {"+5", 5, true},
        {"2", 2, true},
        {"12abc", 77, true},
        {"", 77, true},
        {"1.5", 77, true},
        {"yes", 77, true},
        {"99999999999", 77, true},
        {"+-3", 77, true},
        {"0x10", 77, true},
        {"2147483647", 2147483647, true},
        {"-2147483648", -2147483647 - 1, true},
    };
    const ProfileFile ini(path);
    for (const Row& row : rows) {
        Put(std::string("[S]\nK= ") + row.value + " \n");
        EXPECT_EQ(ini.ReadInteger("S", "K", 77), row.integer) << row.value;
        EXPECT_EQ(ini.ReadBool("S", "K", true), row.boolean) << row.value;
    }
    ASSERT_TRUE(ini.WriteBool("S", "K", false));
    EXPECT_EQ(ini.ReadString("S", "K"), "0");
    ASSERT_TRUE(ini.WriteInteger("S", "K", -12));
    EXPECT_EQ(ini.ReadString("S", "K"), "-12");
}

TEST_F(ProfileFileTest, OneMatchingPairOfQuotesIsDroppedAsWindowsReadsIt) {
    struct Row {
        const char* line;  // the key's line in the file
        const char* value; // as read
    };
    const Row rows[] = {
        {"OWNER=\"Jane\"", "Jane"},
        {"OWNER='Jane'", "Jane"},
        {"OWNER =  \"Jane\"\t ", "Jane"},
        {"OWNER=\" Jane \"", " Jane "},
        {"OWNER=\"\"", ""},
        {"OWNER=\"", "\""},
        {"OWNER='", "'"},
        {"OWNER=\"Jane", "\"Jane"},
        {"OWNER=Jane\"", "Jane\""},
        {"OWNER=\"Jane'", "\"Jane'"},
        {"OWNER=\"a\"b\"", "a\"b"},
        {"OWNER=''x''", "'x'"},
        {"OWNER=x \"y\"", "x \"y\""},
    };
    const ProfileFile ini(path);
    for (const Row& row : rows) {
        Put(std::string("[DATA]\r\n") + row.line + "\r\n");
        EXPECT_EQ(ini.ReadString("DATA", "OWNER"), row.value) << row.line;
    }

    Put("[POSITION]\r\nLEFT=\"100\"\r\nTOP='-5'\r\n[OTHER]\r\nVIEWER=\"1\"\r\nSAVEPOS=\"0'\r\n");
    EXPECT_EQ(ini.ReadInteger("POSITION", "LEFT", 7), 100);
    EXPECT_EQ(ini.ReadInteger("POSITION", "TOP", 7), -5);
    EXPECT_TRUE(ini.ReadBool("OTHER", "VIEWER", false));
    EXPECT_TRUE(ini.ReadBool("OTHER", "SAVEPOS", true)) << "unmatched quotes are no number";
}

TEST_F(ProfileFileTest, ANewFileHasWindowsBytes) {
    const ProfileFile ini(path);
    ASSERT_TRUE(ini.WriteInteger("POSITION", "LEFT", 10));
    ASSERT_TRUE(ini.WriteInteger("POSITION", "TOP", 20));
    ASSERT_TRUE(ini.WriteInteger("SIZE", "WIDTH", 640));
    ASSERT_TRUE(ini.WriteInteger("SIZE", "HEIGHT", 480));
    ASSERT_TRUE(ini.WriteBool("OTHER", "SAVEPOS", true));
    EXPECT_EQ(Content(), "[POSITION]\r\nLEFT=10\r\nTOP=20\r\n"
                         "[SIZE]\r\nWIDTH=640\r\nHEIGHT=480\r\n"
                         "[OTHER]\r\nSAVEPOS=1\r\n");
}

TEST_F(ProfileFileTest, ARewriteTouchesOnlyTheChangedLine) {
    Put("; mixed\n[A]\nB=1\r\nC=2\n; note\r\n\n[D]\r\nE=3");
    const ProfileFile ini(path);
    ASSERT_TRUE(ini.WriteString("A", "C", "9"));
    EXPECT_EQ(Content(), "; mixed\n[A]\nB=1\r\nC=9\n; note\r\n\n[D]\r\nE=3");
    ASSERT_TRUE(ini.WriteString("D", "E", "4"));
    EXPECT_EQ(Content(), "; mixed\n[A]\nB=1\r\nC=9\n; note\r\n\n[D]\r\nE=4")
        << "a last line without a line end keeps none";
    ASSERT_TRUE(ini.WriteString("A", "F", "5"));
    EXPECT_EQ(Content(), "; mixed\n[A]\nB=1\r\nC=9\n; note\r\nF=5\r\n\n[D]\r\nE=4");
    ASSERT_TRUE(ini.WriteString("D", "G", "6"));
    EXPECT_EQ(Content(), "; mixed\n[A]\nB=1\r\nC=9\n; note\r\nF=5\r\n\n[D]\r\nE=4\r\nG=6\r\n");

    Put("[A]\nB=1");
    ASSERT_TRUE(ini.WriteString("X", "Y", "z"));
    EXPECT_EQ(Content(), "[A]\nB=1\r\n[X]\r\nY=z\r\n");
}

TEST_F(ProfileFileTest, MissingFileGivesDefaultsAndWritingCreatesFolderAndFile) {
    const ProfileFile ini(folder + "/new/sub/zelplus.ini");
    EXPECT_EQ(ini.ReadString("A", "B"), std::nullopt);
    EXPECT_EQ(ini.ReadInteger("A", "B", 5), 5);
    ASSERT_TRUE(ini.WriteString("A", "B", "c"));
    EXPECT_EQ(ini.ReadString("A", "B"), "c");
    path = ini.Path();
    EXPECT_EQ(Content(), "[A]\r\nB=c\r\n");
}

TEST_F(ProfileFileTest, KeepsWindowsLineEnds) {
    Put("[A]\r\nB=1\r\n");
    const ProfileFile ini(path);
    EXPECT_EQ(ini.ReadString("A", "B"), "1");
    ASSERT_TRUE(ini.WriteString("A", "C", "2"));
    EXPECT_EQ(Content(), "[A]\r\nB=1\r\nC=2\r\n");
}

TEST_F(ProfileFileTest, WritesEveryNameTheFileSystemTakes) {
    for (std::size_t length = 248; length <= 255; ++length) {
        const ProfileFile ini(folder + "/" + std::string(length, 'p'));
        ASSERT_TRUE(ini.WriteString("A", "B", "1")) << length;
        ASSERT_TRUE(ini.WriteString("A", "B", "2")) << length;
        EXPECT_EQ(ini.ReadString("A", "B"), "2") << length;
        fs::remove(ini.Path());
    }
    EXPECT_TRUE(FolderEntries().empty()) << "no temporary file left";
}

TEST_F(ProfileFileTest, RefusesWhatCannotStandOnOneLine) {
    Put("[A]\nB=1\n");
    const ProfileFile ini(path);
    EXPECT_FALSE(ini.WriteString("A", "B", "two\nlines"));
    EXPECT_FALSE(ini.WriteString("A", "B", "cr\ronly"));
    EXPECT_FALSE(ini.WriteString("A", "K=V", "x"));
    EXPECT_FALSE(ini.WriteString("A]", "B", "x"));
    EXPECT_FALSE(ini.WriteString("A", "", "x"));
    EXPECT_EQ(Content(), "[A]\nB=1\n");
}

TEST_F(ProfileFileTest, ReplacesTheFileInOneStepKeepingItsMode) {
    Put("[A]\nB=1\n");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(ProfileFile(path).WriteString("A", "B", "2"));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"zelplus.ini"}); // no temporary file left
}

TEST_F(ProfileFileTest, NeverOverwritesAFileItCannotRead) {
    Put("[A]\nB=1\n");
    ::chmod(path.c_str(), 0222);
    ::chmod(folder.c_str(), 0777); // the folder itself would take the new file
    EXPECT_TRUE(AsOrdinaryUser([&] {
        const ProfileFile ini(path);
        return ini.ReadInteger("A", "B", 7) == 7 && !ini.WriteString("A", "C", "2");
    }));
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(Content(), "[A]\nB=1\n");
}

TEST_F(ProfileFileTest, ReadOnlyFileKeepsItsValues) {
    Put("[A]\nB=1\n");
    ::chmod(path.c_str(), 0444);
    ::chmod(folder.c_str(), 0777); // the folder itself would take the new file
    EXPECT_TRUE(AsOrdinaryUser([&] {
        const ProfileFile ini(path);
        return ini.ReadInteger("A", "B", 7) == 1 && !ini.WriteString("A", "B", "2");
    }));
    ::chmod(folder.c_str(), 0700);
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(Content(), "[A]\nB=1\n");
}

TEST_F(ProfileFileTest, WhatIsNoProfileIsNeitherReadNorWritten) {
    struct Case {
        const char* name;
        std::function<void()> make; // puts something in the profile's place
    };
    const std::string big = "[A]\nB=1\n;" + std::string(1 << 20, 'x') + "\n";
    const Case cases[] = {
        {"pipe", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
        {"folder", [&] { fs::create_directory(path); }},
        {"over 1 MiB", [&] { Put(big); }},
    };
    for (const Case& c : cases) {
        fs::remove_all(path);
        c.make();
        const ProfileFile ini(path);
        EXPECT_EQ(ini.ReadInteger("A", "B", 7), 7) << c.name;
        EXPECT_FALSE(ini.WriteString("A", "B", "2")) << c.name;
    }
    EXPECT_EQ(Content(), big);

    Put("[A]\nB=1\n;" + std::string((1 << 20) - 10, 'x') + "\n"); // 1 MiB exactly
    EXPECT_EQ(ProfileFile(path).ReadInteger("A", "B", 7), 1);
}

TEST_F(ProfileFileTest, FailedWriteLeavesTheFileAsItWas) {
    Put("[A]\nB=1\n");
    ::chmod(path.c_str(), 0666);
    ::chmod(folder.c_str(), 0555);
    EXPECT_TRUE(AsOrdinaryUser([&] { return !ProfileFile(path).WriteString("A", "B", "2"); }));
    ::chmod(folder.c_str(), 0700);
    EXPECT_EQ(Content(), "[A]\nB=1\n");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"zelplus.ini"});
}

TEST_F(ProfileFileTest, WritesThroughASymbolicLink) {
    fs::create_directory(folder + "/real");
    const std::string real = folder + "/real/zelplus.ini";
    std::ofstream(real) << "[A]\nB=1\n";
    fs::create_symlink(real, path);
    ASSERT_TRUE(ProfileFile(path).WriteString("A", "B", "2"));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(Content(), "[A]\nB=2\n");
}

TEST_F(ProfileFileTest, BareNameLivesInTheConfigurationFolder) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_CONFIG_HOME", (folder + "/cfg/").c_str(), 1);
    EXPECT_EQ(platform::ProfileFolder(), folder + "/cfg");
    EXPECT_EQ(ProfileFile("zelplus.ini").Path(), folder + "/cfg/zelplus.ini");
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(platform::ProfileFolder(), "/home/someone/.config");
    ::setenv("HOME", savedHome.c_str(), 1);
    if (saved)
        ::setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

// A run killed between writing its temporary and renaming it leaves "zelplus.ini.tmp-XXXXXX"; the
// next write removes such leftovers, but never a temporary that a live writer holds, one written
// in the last minute, or anything else that only looks alike. The folder is the user's shared
// configuration folder: files of other programs, whatever their names, stay.
TEST_F(ProfileFileTest, LeftoverTemporariesAreRemovedByTheNextWrite) {
    const auto old = [](const std::string& file) {
        const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 120, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << file;
    };
    const auto plant = [&](const std::string& name, bool stale) {
        std::ofstream(folder + "/" + name) << "[SIZE]\r\nWIDTH=1";
        if (stale) old(folder + "/" + name);
    };
    plant("zelplus.ini.tmp-a1B2c3", true);
    plant("zelplus.ini.tmp-ZZZZZZ", true);
    plant("zelplus.ini.tmp-fresh1", false);
    plant("zelplus.ini.tmp-held99", true);
    plant("zelplus.ini.tmp-toolong", true);
    plant("zelplus.ini.tmp-a.b2c3", true);
    // Other programs' files, and the user's own.
    for (const char* name : {".zel-backup", ".zel-2024q1", ".zel-notes1", ".zel-a1B2c3", "zelplus.ini.backup",
                             "zelplus.ini.a1B2c3", "other.ini.tmp-a1B2c3", "zelplus.ini~", "notes.txt"})
        plant(name, true);
    fs::create_directory(folder + "/zelplus.ini.tmp-folder");
    old(folder + "/zelplus.ini.tmp-folder");
    fs::create_symlink(folder + "/notes.txt", folder + "/zelplus.ini.tmp-link12");
    old(folder + "/zelplus.ini.tmp-link12");
    fs::create_hard_link(folder + "/notes.txt", folder + "/zelplus.ini.tmp-hard12");
    old(folder + "/zelplus.ini.tmp-hard12");
    // A live writer holds its temporary locked until it has renamed it.
    const int held = ::open((folder + "/zelplus.ini.tmp-held99").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ASSERT_TRUE(ProfileFile(path).WriteString("SIZE", "WIDTH", "800"));
    std::vector<std::string> names = FolderEntries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{
                         ".zel-2024q1", ".zel-a1B2c3", ".zel-backup", ".zel-notes1", "notes.txt",
                         "other.ini.tmp-a1B2c3", "zelplus.ini", "zelplus.ini.a1B2c3", "zelplus.ini.backup",
                         "zelplus.ini.tmp-a.b2c3", "zelplus.ini.tmp-folder", "zelplus.ini.tmp-fresh1",
                         "zelplus.ini.tmp-hard12", "zelplus.ini.tmp-held99", "zelplus.ini.tmp-link12",
                         "zelplus.ini.tmp-toolong", "zelplus.ini~"}));
    ::close(held);
}

// A removal of a stale temporary cut off after it moved the file aside leaves it under
// ".<temporary>.removing"; the next write finishes it, by the same rules. Other names alike stay.
TEST_F(ProfileFileTest, ARemovalOfATemporaryCutOffOnTheWayIsFinishedByTheNextWrite) {
    const auto plant = [&](const std::string& name, bool stale) {
        const std::string file = folder + "/" + name;
        std::ofstream(file) << "[SIZE]\r\nWIDTH=1";
        const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - (stale ? 120 : 0), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << file;
    };
    plant(".zelplus.ini.tmp-a1B2c3.removing", true);
    plant(".zelplus.ini.tmp-fresh1.removing", false);
    plant(".zelplus.ini.removing", true);
    plant(".other.ini.tmp-a1B2c3.removing", true);
    ASSERT_TRUE(ProfileFile(path).WriteString("SIZE", "WIDTH", "800"));
    std::vector<std::string> names = FolderEntries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".other.ini.tmp-a1B2c3.removing", ".zelplus.ini.removing",
                                               ".zelplus.ini.tmp-fresh1.removing", "zelplus.ini"}));
}

// A write killed before its rename (here by the file-size limit) leaves its temporary under the
// name the next write looks for, which removes it once it is a minute old.
TEST_F(ProfileFileTest, TheTemporaryOfAKilledWriteIsRemovedByALaterOne) {
    Put("[SIZE]\r\nWIDTH=1\r\n");
    const pid_t writer = ::fork();
    if (writer == 0) {
        const rlimit small{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &small);
        ProfileFile(path).WriteString("OWNER", "TEXT", std::string(4096, 'x'));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    std::vector<std::string> names = FolderEntries();
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "zelplus.ini");
    const std::string leftover = folder + "/" + names[1];
    EXPECT_TRUE(names[1].starts_with("zelplus.ini.tmp-")) << names[1];

    ASSERT_TRUE(ProfileFile(path).WriteString("SIZE", "WIDTH", "2"));
    EXPECT_TRUE(fs::exists(leftover)) << "written in the last minute";
    const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 120, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, leftover.c_str(), times, 0), 0);
    ASSERT_TRUE(ProfileFile(path).WriteString("SIZE", "WIDTH", "3"));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"zelplus.ini"});
    EXPECT_EQ(ProfileFile(path).ReadInteger("SIZE", "WIDTH", 0), 3);
}

// A profile reached through a link is written beside the link's target, so that is where its
// leftovers are looked for, as at the program's start.
TEST_F(ProfileFileTest, LeftoversOfALinkedProfileAreRemovedBesideItsTarget) {
    fs::create_directory(folder + "/elsewhere");
    const std::string target = folder + "/elsewhere/mine.ini";
    std::ofstream(target) << "[SIZE]\r\nWIDTH=1\r\n";
    fs::create_symlink(target, path);
    const std::string leftover = folder + "/elsewhere/mine.ini.tmp-Q7r2Kx";
    std::ofstream(leftover) << "[SIZE]";
    const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 120, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, leftover.c_str(), times, 0), 0);
    ProfileFile(path).RemoveStaleTemporaries();
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_TRUE(fs::exists(target));
}

// Many writes leave only the profile behind.
TEST_F(ProfileFileTest, WritesLeaveNoTemporary) {
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(ProfileFile(path).WriteInteger("SIZE", "WIDTH", i));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

} // namespace
