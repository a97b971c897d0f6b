#include "storage/Storage.h"

#include "ProgramSandbox.h"
#include "support/FileText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// The real program, started from a copy of build/bin in a temporary folder on the offscreen
// platform, with its configuration there too.
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr auto kPatience = 30s;

class RunningProgram {
public:
    RunningProgram(const fs::path& program, const fs::path& configFolder, const fs::path& runtimeFolder) {
        int errors[2];
        if (::pipe2(errors, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(errors[1], STDERR_FILENO);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::setenv("XDG_CONFIG_HOME", configFolder.c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", runtimeFolder.c_str(), 1);
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(errors[1]);
        errorOutput_ = errors[0];
    }
    ~RunningProgram() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (errorOutput_ >= 0) ::close(errorOutput_);
    }

    bool Started() const { return pid_ > 0; }

    // Everything the program wrote to its error output so far.
    const std::string& Errors() {
        char buffer[4096];
        pollfd waiting{errorOutput_, POLLIN, 0};
        while (::poll(&waiting, 1, 0) > 0 && (waiting.revents & POLLIN)) {
            const ssize_t got = ::read(errorOutput_, buffer, sizeof buffer);
            if (got <= 0) break;
            errors_.append(buffer, static_cast<std::size_t>(got));
        }
        return errors_;
    }

    bool Running() {
        if (exited_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            status_ = status;
        }
        return !exited_;
    }

    // The exit status after the signal, or -1 when it did not end in time or died of a signal.
    int Terminate(int signalNumber = SIGTERM) {
        ::kill(pid_, signalNumber);
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (Running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        if (!exited_ || !WIFEXITED(status_)) return -1;
        return WEXITSTATUS(status_);
    }

private:
    pid_t pid_ = -1;
    int errorOutput_ = -1;
    std::string errors_;
    bool exited_ = false;
    int status_ = 0;
};

template <typename Condition> bool WaitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class ZelplusProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::exists(folder / "zelplus")); }

    RunningProgram Start() {
        return RunningProgram(sandbox.Program(), sandbox.ConfigFolder(), sandbox.RuntimeFolder());
    }
    fs::path Data(const char* name) const { return folder / "data" / name; }
    bool FilesThere() const {
        return fs::exists(Data("zelp.DAT")) && fs::exists(Data("zelp.IX")) && fs::exists(Data("zelp.DIA"));
    }
    // The data file opens again without a repair: read-only refuses one left in use or with
    // an unfinished journal.
    void ExpectClosedClean() {
        ASSERT_GE(FbStartEngine(0, 8), 0);
        Fileblock* fb = nullptr;
        FbOpen(fb, (folder / "data" / "zelp.DAT").string(), true, false, false, false);
        EXPECT_TRUE(FbOk) << FbErrorCode << " " << FbErrorText(FbErrorCode);
        if (fb) FbClose(fb);
        FbStopEngine();
    }

    test::ProgramSandbox sandbox{ZELPLUS_BIN_DIR};
    const fs::path folder = sandbox.ProgramFolder();
};

TEST_F(ZelplusProgram, CreatesItsDataFilesAndEndsInOrderOnSigterm) {
    RunningProgram program = Start();
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(WaitFor([&] { return FilesThere() || !program.Running(); })) << program.Errors();
    ASSERT_TRUE(program.Running()) << program.Errors();
    EXPECT_EQ(program.Terminate(), 0) << program.Errors();

    EXPECT_TRUE(FilesThere());
    // The window's close ran: it kept the window's place.
    EXPECT_NE(FileText(sandbox.ConfigFile()).find("[POSITION]"), std::string::npos);
    EXPECT_EQ(program.Errors().find("Error"), std::string::npos) << program.Errors();
    ExpectClosedClean();
}

TEST_F(ZelplusProgram, AHugeSavedSizeIsHeldToTheDesktopAndSigtermStillEndsIt) {
    std::ofstream(sandbox.ConfigFile(), std::ios::binary)
        << "[POSITION]\nLEFT=10\nTOP=10\n[SIZE]\nWIDTH=20000\nHEIGHT=20000\n";
    RunningProgram program = Start();
    ASSERT_TRUE(WaitFor([&] { return FilesThere() || !program.Running(); })) << program.Errors();
    ASSERT_TRUE(program.Running()) << program.Errors();
    EXPECT_EQ(program.Terminate(), 0) << program.Errors();
    // The window kept the size it had: no larger than the (offscreen) desktop.
    const std::string kept = FileText(sandbox.ConfigFile());
    EXPECT_EQ(kept.find("WIDTH=20000"), std::string::npos) << kept;
    EXPECT_EQ(kept.find("HEIGHT=20000"), std::string::npos) << kept;
    ExpectClosedClean();
}

TEST_F(ZelplusProgram, InterruptAndHangUpEndItInOrderToo) {
    for (const int signalNumber : {SIGINT, SIGHUP}) {
        // Fresh files: their appearance shows the program is past catching the signals.
        fs::remove(sandbox.ConfigFile());
        fs::remove_all(folder / "data");
        RunningProgram program = Start();
        ASSERT_TRUE(WaitFor([&] { return FilesThere() || !program.Running(); })) << program.Errors();
        EXPECT_EQ(program.Terminate(signalNumber), 0) << signalNumber << program.Errors();
        EXPECT_TRUE(fs::exists(sandbox.ConfigFile())) << signalNumber;
        ExpectClosedClean();
    }
}

TEST_F(ZelplusProgram, ASecondCopyCannotOpenTheDataFileAndLeavesItAlone) {
    RunningProgram first = Start();
    ASSERT_TRUE(WaitFor([&] { return FilesThere() || !first.Running(); })) << first.Errors();
    std::this_thread::sleep_for(200ms);
    const std::string data = FileText(Data("zelp.DAT")), index = FileText(Data("zelp.IX")),
                      dialog = FileText(Data("zelp.DIA"));
    const auto written = fs::last_write_time(Data("zelp.DAT"));

    RunningProgram second = Start();
    ASSERT_TRUE(
        WaitFor([&] { return second.Errors().find("OpenRec") != std::string::npos || !second.Running(); }));
    EXPECT_NE(second.Errors().find("Data read/write error! (OpenRec: "), std::string::npos)
        << second.Errors();
    EXPECT_TRUE(second.Running());
    EXPECT_EQ(second.Terminate(), 0) << second.Errors();
    // The OpenRec box is its only one: the empty lists say nothing more.
    const std::string errors = second.Errors();
    EXPECT_EQ(errors.find("Data read/write error!"), errors.rfind("Data read/write error!")) << errors;

    EXPECT_TRUE(first.Running());
    EXPECT_EQ(FileText(Data("zelp.DAT")), data);
    EXPECT_EQ(FileText(Data("zelp.IX")), index);
    EXPECT_EQ(FileText(Data("zelp.DIA")), dialog);
    EXPECT_EQ(fs::last_write_time(Data("zelp.DAT")), written);

    EXPECT_EQ(first.Terminate(), 0) << first.Errors();
    EXPECT_EQ(first.Errors().find("Error"), std::string::npos) << first.Errors();
    ExpectClosedClean();
}

TEST_F(ZelplusProgram, ADataFolderThatCannotBeMadeStopsTheProgram) {
    // A plain file where the folder should be.
    std::ofstream(folder / "data") << "not a folder";
    RunningProgram program = Start();
    ASSERT_TRUE(WaitFor([&] {
        return program.Errors().find("could not be created") != std::string::npos || !program.Running();
    }));
    EXPECT_NE(program.Errors().find("Error: The data folder"), std::string::npos) << program.Errors();
    // Answering the box (here: ending it) ends the program with a failure status.
    const int status = program.Terminate();
    EXPECT_GT(status, 0) << program.Errors();
    EXPECT_TRUE(fs::is_regular_file(folder / "data"));
}

} // namespace
