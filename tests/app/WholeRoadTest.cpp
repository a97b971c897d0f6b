#include "app/BrinovaDB.h"
#include "engine/BrinovaDEF.h"
#include "storage/Storage.h"

#include "ProgramSandbox.h"
#include "support/FileText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// The whole road through the real program: started from a copy of build/bin on the offscreen
// platform with the road driver preloaded, which enters a body and a test through the entry
// form, a second test, shows the advice page and a chart, deletes a test, then the body with the
// other, and exits.
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Runs the program to its end; its exit status, or -1 when it did not end in time or died.
int RunToEnd(const fs::path& program, const std::vector<std::pair<const char*, std::string>>& environment,
             const fs::path& errorOutput) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (std::FILE* errors = std::freopen(errorOutput.c_str(), "w", stderr); !errors) ::_exit(126);
        for (const auto& [name, value] : environment)
            ::setenv(name, value.c_str(), 1);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid < 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + 90s;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(20ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every entry of both keys names a live record of its kind, and every live record has its entry.
void ExpectKeysAndRecordsAgree(Fileblock* fb) {
    std::int32_t entries = 0;
    for (std::uint16_t key : {std::uint16_t{1}, std::uint16_t{2}}) {
        FbRewindKey(fb, key);
        ASSERT_TRUE(FbOk);
        for (;;) {
            std::int32_t reference = 0;
            std::string keyText;
            FbStepKey(fb, key, reference, keyText);
            if (!FbOk) break;
            ++entries;
            TStoredBytes bytes{};
            FbReadRecord(fb, reference, bytes);
            ASSERT_TRUE(FbOk) << reference;
            const TStoredRecord stored = TStoredRecord::Decode(bytes);
            EXPECT_EQ(stored.freeChain, 0);
            EXPECT_EQ(stored.kind, key == 1 ? rkBody : rkTest);
            EXPECT_EQ(keyText, MakeRecordKey(key == 1 ? reference : stored.parent));
        }
    }
    EXPECT_EQ(entries, FbLiveRecordCount(fb));
}

TEST(WholeRoad, EnterShowChartDeleteAndExitThroughTheProgramsOwnControls) {
    const test::ProgramSandbox sandbox(ZELPLUS_BIN_DIR);
    const fs::path root = sandbox.Root();
    const fs::path folder = sandbox.ProgramFolder();
    // The advice page opens in the program's own viewer.
    std::ofstream(sandbox.ConfigFile())
        << "[OTHER]\r\nVIEWER=1\r\n[DATA]\r\nOWNER=Ann Smith~~1 Main St~~\r\n";
    fs::remove_all(ZELPLUS_ROAD_SHOTS);

    const fs::path log = root / "road.log";
    const int status = RunToEnd(sandbox.Program(),
                                {{"QT_QPA_PLATFORM", "offscreen"},
                                 {"XDG_CONFIG_HOME", sandbox.ConfigFolder().string()},
                                 {"XDG_RUNTIME_DIR", sandbox.RuntimeFolder().string()},
                                 {"LC_ALL", "C.UTF-8"},
                                 {"LD_PRELOAD", ZELPLUS_ROAD_DRIVER},
                                 {"ZELPLUS_ROAD_LOG", log.string()},
                                 {"ZELPLUS_ROAD_SHOTS", ZELPLUS_ROAD_SHOTS}},
                                root / "errors.txt");
    const std::string steps = FileText(log);
    EXPECT_EQ(status, 0) << steps << FileText(root / "errors.txt");
    EXPECT_NE(steps.find("body: 1. Swimming Pool, 45000.00 Liter\n"), std::string::npos) << steps;
    EXPECT_NE(steps.find("supplier offered: Blue Lagoon Supplies\n"), std::string::npos) << steps;
    EXPECT_NE(steps.find("selected line: 0\n"), std::string::npos) << steps;
    EXPECT_NE(steps.find("selected test: after the storm\n"), std::string::npos) << steps;
    EXPECT_NE(steps.find("viewer shows: zelreslt.htm\n"), std::string::npos) << steps;
    EXPECT_NE(steps.find("chart: "), std::string::npos) << steps;
    EXPECT_NE(steps.find("road done\n"), std::string::npos) << steps;
    EXPECT_EQ(steps.find("stuck"), std::string::npos) << steps;

    // The page of the test: the body's volume and a dose for the low alkalinity.
    TBodyData body;
    body.volume = 45000;
    const std::string page = FileText(sandbox.RuntimeFolder() / "zelreslt.htm");
    EXPECT_NE(page.find("volume: " + VolumeText(body)), std::string::npos);
    EXPECT_NE(page.find("Blue Lagoon Supplies"), std::string::npos);
    EXPECT_NE(page.find("Ann Smith"), std::string::npos);
    EXPECT_NE(page.find("after the storm"), std::string::npos);
    EXPECT_NE(page.find("Sodium Bicarbonate"), std::string::npos) << page;

    // The data file opens again without a repair (read-only refuses a file left in use), and its
    // keys agree with its records: the body and its test are gone.
    ASSERT_GE(FbStartEngine(0, 8), 0);
    Fileblock* fb = nullptr;
    FbOpen(fb, (folder / "data" / "zelp.DAT").string(), true, false, false, false);
    ASSERT_TRUE(FbOk) << FbErrorCode << " " << FbErrorText(FbErrorCode);
    EXPECT_EQ(FbLiveRecordCount(fb), 0);
    ExpectKeysAndRecordsAgree(fb);
    FbClose(fb);
    FbStopEngine();

    const std::string ini = FileText(sandbox.ConfigFile());
    for (const char* line : {"[POSITION]", "LEFT=", "TOP=", "[SIZE]",
                             "WIDTH=", "HEIGHT=", "LAST_SUPPLIER=Blue Lagoon Supplies\r\n"})
        EXPECT_NE(ini.find(line), std::string::npos) << line << "\n" << ini;
}

} // namespace
