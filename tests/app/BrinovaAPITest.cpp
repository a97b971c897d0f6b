#include "app/BrinovaAPI.h"

#include "ProgramSandbox.h"
#include "support/AsOrdinaryUser.h"
#include "support/FileText.h"
#include "support/RecordingMessageBoxes.h"
#include "support/RecordingShell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct ViewerCall {
    std::uintptr_t parent;
    std::string fileName;
};
std::vector<ViewerCall> viewerCalls;

std::uintptr_t FakeViewer(std::uintptr_t parent, const char* fileName) {
    viewerCalls.push_back({parent, fileName});
    return 1;
}

// A program folder, a configuration file and a runtime folder of the test's own.
class BrinovaAPITest : public ::testing::Test {
protected:
    void SetUp() override {
        SetConfigurationFile(iniPath);
        SetProgramFolder(program);
        viewerCalls.clear();
        previousViewer = SetResultViewer(&FakeViewer);
    }
    void TearDown() override {
        SetResultViewer(previousViewer);
        SetProgramFolder("");
        SetConfigurationFile("zelplus.ini");
        std::error_code ignored;
        fs::permissions(program, fs::perms::owner_all, fs::perm_options::add, ignored);
    }

    void PutIni(const std::string& content) const {
        fs::create_directories(fs::path(iniPath).parent_path());
        std::ofstream(iniPath, std::ios::binary) << content;
    }
    std::string Ini() const { return FileText(iniPath); }

    test::ProgramSandbox sandbox;
    const std::string root = sandbox.Root();
    const std::string program = sandbox.ProgramFolder().string() + "/";
    const std::string iniPath = sandbox.ConfigFile();
    TResultViewer previousViewer = nullptr;
};

TEST(LineBreakTexts, EscapeAndUnescape) {
    struct Row {
        const char* text;
        const char* escaped;
    };
    const Row rows[] = {
        {"Jo Smith\r\n1 Pool St\r\nTown", "Jo Smith~~1 Pool St~~Town"},
        {"\r\n\r\n", "~~~~"},
        {"\r\n~", "~~~"},
        {"lone\rCR and lone\nLF", "lone\rCR and lone\nLF"},
        {"\r\r\n\n", "\r~~\n"},
        {"", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(EscapeLineBreaks(row.text), row.escaped) << row.text;
        EXPECT_EQ(UnescapeLineBreaks(row.escaped), row.text) << row.escaped;
    }
    // A text holding tildes of its own comes back with a line break in their place.
    EXPECT_EQ(UnescapeLineBreaks(EscapeLineBreaks("a~~b")), "a\r\nb");
    EXPECT_EQ(UnescapeLineBreaks("~~~~~"), "\r\n\r\n~");
}

TEST(LineBreakTexts, OneLineText) {
    EXPECT_EQ(OneLineText("first\r\nsecond"), "first; second");
    EXPECT_EQ(OneLineText("  \t note \r\n"), "note ;");
    EXPECT_EQ(OneLineText("\r\n"), ";");
    EXPECT_EQ(OneLineText("a\nb\rc"), "a b;c");
    EXPECT_EQ(OneLineText("\x01 caf\xE9 \x1F"), "caf\xE9");
    EXPECT_EQ(OneLineText(""), "");
}

TEST_F(BrinovaAPITest, DefaultsWhenTheFileOrAKeyIsMissing) {
    EXPECT_TRUE(ReadSavePosition());
    EXPECT_FALSE(ReadUseViewer());
    EXPECT_EQ(ReadOwnerText(), "");
    EXPECT_EQ(ReadLastSupplier(), "");
    const TFormBounds current{10, 20, 596, 469};
    const TFormBounds loaded = LoadFormPosition(current);
    EXPECT_EQ(loaded.left, 10);
    EXPECT_EQ(loaded.height, 469);
    EXPECT_FALSE(fs::exists(iniPath)); // reading creates nothing

    PutIni("[POSITION]\nLEFT=5\n[OTHER]\n[DATA]\nOWNER=\n");
    const TFormBounds partly = LoadFormPosition(current);
    EXPECT_EQ(partly.left, 5);
    EXPECT_EQ(partly.top, 20);
    EXPECT_EQ(partly.width, 596);
    EXPECT_TRUE(ReadSavePosition());
    EXPECT_FALSE(ReadUseViewer());
    EXPECT_EQ(ReadOwnerText(), "");
}

TEST_F(BrinovaAPITest, OwnerTextOfThreeLinesIsOneLineInTheFile) {
    ASSERT_TRUE(WriteOwnerText("Jo Smith\r\n1 Pool St\r\nTown\r\n"));
    EXPECT_EQ(Ini(), "[DATA]\r\nOWNER=Jo Smith~~1 Pool St~~Town~~\r\n");
    EXPECT_EQ(ReadOwnerText(), "Jo Smith\r\n1 Pool St\r\nTown\r\n");
}

TEST_F(BrinovaAPITest, LinuxLineBreaksAreStoredAsWindowsOnes) {
    // A raw LF would end the value's line in the file and lose the lines after it.
    ASSERT_TRUE(WriteOwnerText("Jo\nPool St\rTown"));
    ASSERT_TRUE(WriteLastSupplier("Aqua\n"));
    EXPECT_EQ(Ini(), "[DATA]\r\nOWNER=Jo~~Pool St~~Town\r\nLAST_SUPPLIER=Aqua~~\r\n");
    EXPECT_EQ(ReadOwnerText(), "Jo\r\nPool St\r\nTown");
    EXPECT_EQ(ReadLastSupplier(), "Aqua\r\n");
}

TEST_F(BrinovaAPITest, TildesInTheFileReadAsLineBreaks) {
    PutIni("[DATA]\nOWNER=a~~~b\nLAST_SUPPLIER=Pool~~Shop\n");
    EXPECT_EQ(ReadOwnerText(), "a\r\n~b");
    EXPECT_EQ(ReadLastSupplier(), "Pool\r\nShop");
}

TEST_F(BrinovaAPITest, HandWrittenFileIsReadAndKept) {
    PutIni("; Brinova Vesk+\n"
           "[other]\n"
           "viewer = 1\n"
           "SavePos=0\n"
           "Extra=keep me\n"
           "[Data]\n"
           "Owner=Smith, J.~~a=b\n");
    EXPECT_TRUE(ReadUseViewer());
    EXPECT_FALSE(ReadSavePosition());
    EXPECT_EQ(ReadOwnerText(), "Smith, J.\r\na=b");
    ASSERT_TRUE(WriteUseViewer(false));
    ASSERT_TRUE(WriteLastSupplier("Pool, Spa & Co = best"));
    EXPECT_EQ(Ini(), "; Brinova Vesk+\n"
                     "[other]\n"
                     "viewer =0\n"
                     "SavePos=0\n"
                     "Extra=keep me\n"
                     "[Data]\n"
                     "Owner=Smith, J.~~a=b\n"
                     "LAST_SUPPLIER=Pool, Spa & Co = best\r\n");
    EXPECT_EQ(ReadLastSupplier(), "Pool, Spa & Co = best");
}

TEST_F(BrinovaAPITest, NotAnIntegerReadsAsTheDefault) {
    PutIni("[POSITION]\nLEFT=12px\nTOP=\n[SIZE]\nWIDTH=1e3\nHEIGHT=-40\n[OTHER]\nSAVEPOS=no\nVIEWER=true\n");
    const TFormBounds loaded = LoadFormPosition({1, 2, 3, 4});
    EXPECT_EQ(loaded.left, 1);
    EXPECT_EQ(loaded.top, 2);
    EXPECT_EQ(loaded.width, 3);
    EXPECT_EQ(loaded.height, -40);
    EXPECT_TRUE(ReadSavePosition());
    EXPECT_FALSE(ReadUseViewer());
}

TEST_F(BrinovaAPITest, SavePositionWritesTheFourValuesOnlyWhenAsked) {
    ASSERT_TRUE(SaveFormPosition({-8, 30, 700, 500}));
    EXPECT_EQ(Ini(), "[POSITION]\r\nLEFT=-8\r\nTOP=30\r\n[SIZE]\r\nWIDTH=700\r\nHEIGHT=500\r\n");
    const TFormBounds loaded = LoadFormPosition({});
    EXPECT_EQ(loaded.left, -8);
    EXPECT_EQ(loaded.top, 30);
    EXPECT_EQ(loaded.width, 700);
    EXPECT_EQ(loaded.height, 500);

    ASSERT_TRUE(WriteSavePosition(false));
    const std::string before = Ini();
    ASSERT_TRUE(SaveFormPosition({1, 2, 3, 4}));
    EXPECT_EQ(Ini(), before);
    EXPECT_FALSE(ReadSavePosition());
    ASSERT_TRUE(WriteSavePosition(true));
    EXPECT_TRUE(ReadSavePosition());
}

TEST_F(BrinovaAPITest, PathsHaveSingleSeparators) {
    struct Row {
        const char* programFolder;
        const char* base; // what every path starts with
    };
    const Row rows[] = {
        {"/opt/zel/", "/opt/zel/"}, {"/opt/zel", "/opt/zel/"}, {"/opt//zel///", "/opt/zel/"}, {"/", "/"}};
    for (const Row& row : rows) {
        SetProgramFolder(row.programFolder);
        const std::string base = row.base;
        EXPECT_EQ(DataFolder(), base + "data/") << row.programFolder;
        EXPECT_EQ(DataFilePath(), base + "data/zelp.DAT") << row.programFolder;
        EXPECT_EQ(BackgroundBitmapPath(), base + "bg.bmp") << row.programFolder;
        EXPECT_EQ(HelpFilePath(), base + "help/index.htm") << row.programFolder;
    }
    EXPECT_EQ(ReduceDoubledSeparators("a////b//"), "a/b/");
}

TEST_F(BrinovaAPITest, ResultFileInTheTemporaryFolder) {
    for (const std::string& reported : {root + "/run", root + "/run/"}) {
        ::setenv("XDG_RUNTIME_DIR", reported.c_str(), 1);
        EXPECT_EQ(TempFolder(), root + "/run/") << reported;
        EXPECT_EQ(ResultFilePath(), root + "/run/zelreslt.htm") << reported;
    }
}

TEST_F(BrinovaAPITest, ProgramFolderIsTheRunningProgramsOwn) {
    SetProgramFolder("");
    const std::string own = fs::canonical("/proc/self/exe").parent_path().string() + "/";
    EXPECT_EQ(ProgramFolder(), own);
}

TEST_F(BrinovaAPITest, EnsureDataFolderCreatesOneLevel) {
    EXPECT_TRUE(EnsureDataFolder());
    EXPECT_TRUE(fs::is_directory(program + "data"));
    EXPECT_TRUE(EnsureDataFolder()); // already there

    SetProgramFolder(root + "/missing/program/");
    EXPECT_FALSE(EnsureDataFolder());
    EXPECT_FALSE(fs::exists(root + "/missing"));

    const std::string other = root + "/other/";
    fs::create_directory(other);
    std::ofstream(other + "data") << "a file, not a folder";
    SetProgramFolder(other);
    EXPECT_FALSE(EnsureDataFolder());
}

TEST_F(BrinovaAPITest, EnsureDataFolderFailsOnAReadOnlyParent) {
    ::chmod(root.c_str(), 0755);
    ::chmod(program.c_str(), 0555);
    EXPECT_TRUE(AsOrdinaryUser([] { return !EnsureDataFolder(); }));
    EXPECT_FALSE(fs::exists(program + "data"));
}

TEST_F(BrinovaAPITest, StartUpReportsAMissingDataFolderAndEndsTheProgram) {
    RecordingMessageBoxes boxes;
    EXPECT_EQ(StartBrinovaAPI(), 0);
    EXPECT_TRUE(boxes.shown.empty());

    SetProgramFolder(root + "/missing/program/");
    EXPECT_NE(StartBrinovaAPI(), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_EQ(boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_TRUE(boxes.shown[0].text.contains(QString::fromStdString(root + "/missing/program/data")))
        << boxes.shown[0].text.toStdString();
}

// A run killed while it rewrote the configuration file left its temporary; the next start
// removes it, whether or not the configuration is written again. The configuration folder is
// the user's, shared with other programs: their files stay, whatever their names.
TEST_F(BrinovaAPITest, StartUpRemovesALeftoverConfigurationTemporaryAndNothingElse) {
    fs::create_directories(root + "/config");
    const std::string leftover = root + "/config/zelplus.ini.tmp-Q7r2Kx";
    const std::vector<std::string> others = {".zel-backup", ".zel-2024q1",        ".zel-notes1",
                                             ".zel-Q7r2Kx", "zelplus.ini.backup", "other.ini.tmp-Q7r2Kx"};
    const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
    for (const std::string& name : others) {
        std::ofstream(root + "/config/" + name) << "kept";
        ASSERT_EQ(::utimensat(AT_FDCWD, (root + "/config/" + name).c_str(), times, 0), 0);
    }
    std::ofstream(leftover) << "[SIZE]\r\nWIDTH=1";
    ASSERT_EQ(::utimensat(AT_FDCWD, leftover.c_str(), times, 0), 0);
    EXPECT_EQ(StartBrinovaAPI(), 0);
    EXPECT_FALSE(fs::exists(leftover));
    for (const std::string& name : others)
        EXPECT_TRUE(fs::exists(root + "/config/" + name)) << name;
}

TEST(HelpTopics, TargetsOfAllTopics) {
    struct Row {
        int topic;
        const char* page; // nullptr: nothing opens
    };
    const Row rows[] = {
        {0, "index.htm"},  {1, "inputfields.htm"}, {2, "recs.htm"}, {3, "maintenance.htm"},
        {4, "setup.htm"},  {5, nullptr},           {127, nullptr},  {128, "index.htm"},
        {130, "recs.htm"}, {133, nullptr},         {255, nullptr},
    };
    for (const Row& row : rows) {
        const auto target = HelpTopicTarget(static_cast<std::uint8_t>(row.topic), "/opt/zel/");
        if (!row.page) {
            EXPECT_EQ(target, std::nullopt) << row.topic;
            continue;
        }
        ASSERT_TRUE(target) << row.topic;
        EXPECT_EQ(target->helpFile, std::string("/opt/zel/help/") + row.page) << row.topic;
        EXPECT_EQ(target->page, row.page) << row.topic;
    }
}

TEST_F(BrinovaAPITest, HelpOpensTheTopicsPageBesideTheProgram) {
    RecordingShell shell;
    ShowHelpTopic(2);
    ShowHelpTopic(5);
    ShowHelpTopic(0x80);
    ASSERT_EQ(shell.opened.size(), 2u);
    EXPECT_EQ(shell.opened[0], QUrl::fromLocalFile(QString::fromStdString(program + "help/recs.htm")));
    EXPECT_EQ(shell.opened[1], QUrl::fromLocalFile(QString::fromStdString(program + "help/index.htm")));
}

TEST_F(BrinovaAPITest, WebPageAndContactMail) {
    RecordingShell shell;
    OpenHomePage();
    OpenContactMail();
    ASSERT_EQ(shell.opened.size(), 2u);
    EXPECT_EQ(shell.opened[0].scheme(), "https");
    EXPECT_TRUE(shell.opened[0].host().endsWith("example.com"));
    EXPECT_EQ(shell.opened[0].toString(QUrl::FullyEncoded), QString::fromLatin1(kHomePageAddress));
    EXPECT_EQ(shell.opened[1].scheme(), "mailto");
    EXPECT_TRUE(shell.opened[1].path().endsWith("@example.com"));
    EXPECT_EQ(shell.opened[1].toString(QUrl::FullyEncoded), QString::fromLatin1(kContactMailAddress));
    EXPECT_EQ(shell.opened[1].query(QUrl::FullyEncoded), "subject=Brinova%20Vesk%2B");
}

// Without a program for it (no browser, no mail program installed) each way to a page says so in
// a box naming the page, where the desktop would say nothing.
TEST_F(BrinovaAPITest, APageNoProgramOpensIsNamedInABox) {
    RecordingShell shell;
    RecordingMessageBoxes boxes;
    struct Row {
        const char* name;
        void (*open)();
        std::string named;
    };
    const Row rows[] = {
        {"help", [] { ShowHelpTopic(2); }, program + "help/recs.htm"},
        {"result page", [] { ShowResult(); }, root + "/run/zelreslt.htm"},
        {"home page", [] { OpenHomePage(); }, kHomePageAddress},
        {"mail", [] { OpenContactMail(); }, "brinova-vesk@example.com"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        shell.opens = true;
        row.open();
        EXPECT_TRUE(boxes.shown.empty());
        shell.opens = false;
        row.open();
        EXPECT_EQ(shell.opened.size(), 2u);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].caption, "Error");
        EXPECT_EQ(boxes.shown[0].icon, platform::MessageIcon::Error);
        EXPECT_EQ(boxes.shown[0].buttons, platform::MessageButtons::Ok);
        EXPECT_TRUE(boxes.shown[0].text.contains("\"" + QString::fromStdString(row.named) + "\""))
            << boxes.shown[0].text.toStdString();
        shell.opened.clear();
        boxes.shown.clear();
    }
}

// No browser for the result page: the box also says where to choose the program's own viewer,
// which needs no other program. The help and the web pages have no such other way.
TEST_F(BrinovaAPITest, TheBoxForAResultPageNoProgramOpensNamesTheOwnViewer) {
    RecordingShell shell;
    shell.opens = false;
    RecordingMessageBoxes boxes;
    ShowResult();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(
        boxes.shown[0].text,
        QString::fromStdString("The page \"" + root +
                               "/run/zelreslt.htm\" could not be opened: no program to show it was found.\n"
                               "The program's own viewer can show the results: choose \"Internal viewer\" "
                               "under \"Results viewer\" in File, Set parameters."));
    ShowHelpTopic(2);
    OpenHomePage();
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_FALSE(boxes.shown[1].text.contains("Set parameters")) << boxes.shown[1].text.toStdString();
    EXPECT_FALSE(boxes.shown[2].text.contains("Set parameters")) << boxes.shown[2].text.toStdString();
}

TEST_F(BrinovaAPITest, ResultInTheBrowserUnlessTheViewerIsChosen) {
    RecordingShell shell;
    ShowResult();
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], QUrl::fromLocalFile(QString::fromStdString(root + "/run/zelreslt.htm")));
    EXPECT_TRUE(viewerCalls.empty());

    ASSERT_TRUE(WriteUseViewer(true));
    ShowResult();
    EXPECT_EQ(shell.opened.size(), 1u);
    ASSERT_EQ(viewerCalls.size(), 1u);
    EXPECT_EQ(viewerCalls[0].fileName, root + "/run/zelreslt.htm");
    EXPECT_EQ(viewerCalls[0].parent, 0u); // no window in this test
}

} // namespace
