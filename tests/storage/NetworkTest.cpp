// Network mode between processes: each station is a child process of the test, run through
// a pair of pipes, on one Fileblock in the test's folder.
#include "FaultyFileOps.h"
#include "StorageSession.h"
#include "TempFolder.h"

#include "storage/Fileblock.h"
#include "storage/LockRanges.h"
#include "storage/Network.h"
#include "storage/Storage.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace win32 = platform::win32;

// The test's end of a station: numbers both ways.
class Station {
public:
    using Body = std::function<void(Station&)>;

    // Runs `body` in a child process with the engine started in network mode.
    explicit Station(const Body& body) {
        int toChild[2], toParent[2];
        if (::pipe(toChild) != 0 || ::pipe(toParent) != 0) throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(toChild[1]);
            ::close(toParent[0]);
            in_ = toChild[0];
            out_ = toParent[1];
            FbStartEngine(2, 8);
            body(*this);
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(toParent[1]);
        in_ = toParent[0];
        out_ = toChild[1];
    }
    ~Station() {
        if (pid_ > 0) {
            ::close(out_);
            ::close(in_);
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    void Send(std::int32_t value) { (void)!::write(out_, &value, sizeof value); }
    // -99999 when the other side is gone.
    std::int32_t Receive() {
        std::int32_t value = -99999;
        if (::read(in_, &value, sizeof value) != sizeof value) return -99999;
        return value;
    }
    // The child ends (a real crash: nothing is closed).
    void Kill() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
};

class Network : public ::testing::Test {
protected:
    void SetUp() override {
        FbStartEngine(0, 8);
        FbCreate(dat, 30, 1, test::Keys({{8, false}}));
        Fileblock* fb = nullptr;
        FbOpen(fb, dat, false, false, false, false);
        std::int32_t record = 0;
        FbAppendRecord(fb, record, test::RecordBytes(30, 'a', 1));
        FbInsertKey(fb, 1, record, "       1");
        FbClose(fb);
        ASSERT_TRUE(FbOk) << FbErrorCode;
        FbStopEngine();
    }

    // A station that opens the Fileblock `opens` times, reports each open's code and station,
    // then waits for a number and closes them all.
    Station::Body Opener(int opens) const {
        const std::string name = dat;
        return [name, opens](Station& s) {
            std::vector<Fileblock*> open;
            for (int i = 0; i < opens; ++i) {
                Fileblock* fb = nullptr;
                FbOpen(fb, name, false, false, false, true);
                s.Send(FbErrorCode);
                s.Send(fb ? storage::FileblockOf(fb)->network->ownStation : 0);
                if (fb) open.push_back(fb);
            }
            s.Receive();
            for (Fileblock* fb : open)
                FbClose(fb);
            s.Send(FbErrorCode);
        };
    }
    // Opens of `station` from Opener: the stations claimed (0 for a failed open).
    static std::vector<std::int32_t> Opened(Station& station, int opens, std::int32_t expectedCode = 0) {
        std::vector<std::int32_t> stations;
        for (int i = 0; i < opens; ++i) {
            EXPECT_EQ(station.Receive(), expectedCode) << "open " << i;
            stations.push_back(station.Receive());
        }
        return stations;
    }

    test::TempFolder folder;
    std::string dat = folder.File("zelp.DAT");
    std::string dia = folder.File("zelp.DIA");
};

TEST_F(Network, EachOpenTakesAStationOfItsOwnAndThe51stIsRefused) {
    Station a(Opener(25));
    const std::vector<std::int32_t> first = Opened(a, 25);
    Station b(Opener(25));
    const std::vector<std::int32_t> second = Opened(b, 25);
    std::set<std::int32_t> stations(first.begin(), first.end());
    stations.insert(second.begin(), second.end());
    EXPECT_EQ(stations.size(), 50u);
    EXPECT_EQ(*stations.begin(), 1);
    EXPECT_EQ(*stations.rbegin(), 50);
    EXPECT_EQ(test::ReadWholeFile(dia).size(), 3u + 51u) << "the station table, one byte per station";

    Station c(Opener(1));
    EXPECT_EQ(c.Receive(), fberr::kTooManyAccesses);
    EXPECT_EQ(c.Receive(), 0);
    // All-read-only use takes no station and no lock.
    const std::string data = dat;
    Station reader([data](Station& s) {
        Fileblock* fb = nullptr;
        FbOpen(fb, data, false, true, false, true);
        s.Send(FbErrorCode);
        s.Send(fb ? storage::FileblockOf(fb)->network->ownStation : -1);
        std::vector<unsigned char> record(30);
        FbReadRecord(fb, 1, record);
        s.Send(FbErrorCode);
        s.Send(record == test::RecordBytes(30, 'a', 1));
        FbClose(fb);
        s.Send(FbErrorCode);
    });
    EXPECT_EQ(reader.Receive(), 0);
    EXPECT_EQ(reader.Receive(), 0) << "no station";
    EXPECT_EQ(reader.Receive(), 0);
    EXPECT_EQ(reader.Receive(), 1);
    EXPECT_EQ(reader.Receive(), 0);
    // A station closed is free for the next open.
    a.Send(1);
    EXPECT_EQ(a.Receive(), 0);
    Station d(Opener(1));
    const std::vector<std::int32_t> again = Opened(d, 1);
    EXPECT_TRUE(std::find(first.begin(), first.end(), again[0]) != first.end());
}

TEST_F(Network, AStationOfAKilledProcessIsTakenAgain) {
    Station a(Opener(49));
    const std::vector<std::int32_t> taken = Opened(a, 49);
    Station b(Opener(1));
    const std::int32_t last = Opened(b, 1)[0];
    EXPECT_TRUE(std::find(taken.begin(), taken.end(), last) == taken.end());
    b.Kill();
    Station c(Opener(1));
    EXPECT_EQ(Opened(c, 1)[0], last);
}

TEST_F(Network, OpensFollowOneAnotherOnByte3) {
    {
        Station first(Opener(1));
        Opened(first, 1); // makes the dialog file
        first.Send(1);
        EXPECT_EQ(first.Receive(), 0);
    }
    // A station in the middle of its open holds byte 3 of the dialog file.
    const std::string name = dia;
    Station holder([name](Station& s) {
        platform::FileHandle handle = -1;
        platform::PosixFiles().Open(name, platform::FileDisposition::OpenExisting,
                                    platform::FileAccess::ReadWrite, platform::FileSharing::Shared, handle);
        s.Send(platform::PosixFiles().LockRange(handle, 3, 1));
        s.Receive();
        s.Send(platform::PosixFiles().UnlockRange(handle, 3, 1));
        s.Receive();
    });
    ASSERT_EQ(holder.Receive(), 0);
    const std::string data = dat;
    // The wait gives up after 3,072 ms in steps of 64 ms (the sleeps are counted, not slept).
    Station waiting([data](Station& s) {
        static int sleeps = 0;
        storage::SetLockSleeper([](int ms) { sleeps += ms; });
        Fileblock* fb = nullptr;
        FbOpen(fb, data, false, false, false, true);
        s.Send(FbErrorCode);
        s.Send(sleeps);
    });
    EXPECT_EQ(waiting.Receive(), fberr::kLockPrevents);
    EXPECT_EQ(waiting.Receive(), 3072);
    // With real sleeps the open waits until the holder lets go.
    Station patient([data](Station& s) {
        const auto start = std::chrono::steady_clock::now();
        s.Send(0);
        Fileblock* fb = nullptr;
        FbOpen(fb, data, false, false, false, true);
        s.Send(FbErrorCode);
        s.Send(static_cast<std::int32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count()));
    });
    patient.Receive();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder.Send(1);
    EXPECT_EQ(holder.Receive(), 0);
    EXPECT_EQ(patient.Receive(), 0);
    EXPECT_GE(patient.Receive(), 250);
}

TEST_F(Network, ADialogFileThatIsNoStationTableIsRefusedWhileAnotherStationIsOpen) {
    Station a(Opener(1));
    Opened(a, 1);
    // What a station left behind: an empty dialog file, or a journal.
    for (const std::vector<unsigned char>& left :
         {std::vector<unsigned char>{0}, std::vector<unsigned char>{0, 1, 0, 1, 0}}) {
        const std::vector<unsigned char> table = test::ReadWholeFile(dia);
        test::WriteWholeFile(dia, left);
        Station b(Opener(1));
        EXPECT_EQ(b.Receive(), fberr::kNoRepairNotExclusive);
        EXPECT_EQ(b.Receive(), 0);
        EXPECT_EQ(test::ReadWholeFile(dia), left) << "left as it was";
        test::WriteWholeFile(dia, table);
    }
    // Alone, a station makes the table anew.
    a.Send(1);
    EXPECT_EQ(a.Receive(), 0);
    test::WriteWholeFile(dia, {0});
    Station c(Opener(1));
    Opened(c, 1);
    EXPECT_EQ(test::ReadWholeFile(dia).size(), 54u);
}

TEST_F(Network, AReadTakesTheStationsReadLockAndReleasesIt) {
    const std::string data = dat, name = dia;
    Station reader([data](Station& s) {
        storage::SetLockSleeper([](int) {});
        Fileblock* fb = nullptr;
        FbOpen(fb, data, false, false, false, true);
        s.Send(storage::FileblockOf(fb)->network->ownStation);
        for (;;) {
            const std::int32_t command = s.Receive();
            if (command < 0) break;
            std::vector<unsigned char> record(30);
            if (command == 1) FbReadRecord(fb, 1, record);
            if (command == 2) FbReadRecord(fb, 1, record, true);
            if (command == 3) FbLiveRecordCount(fb);
            if (command == 4) {
                std::int32_t reference = 0;
                FbFindKey(fb, 1, reference, "       1");
            }
            s.Send(FbErrorCode);
        }
    });
    const std::int32_t own = reader.Receive();
    // Another process takes the reader's slot of the station table (3 + station, 1 byte).
    Station blocker([name, own](Station& s) {
        platform::FileHandle handle = -1;
        platform::PosixFiles().Open(name, platform::FileDisposition::OpenExisting,
                                    platform::FileAccess::ReadWrite, platform::FileSharing::Shared, handle);
        for (;;) {
            const std::int32_t command = s.Receive();
            if (command < 0) break;
            s.Send(command == 1 ? platform::PosixFiles().LockRange(handle, 3 + own, 1)
                                : platform::PosixFiles().UnlockRange(handle, 3 + own, 1));
        }
    });
    for (std::int32_t command : {1, 3, 4}) {
        reader.Send(command);
        EXPECT_EQ(reader.Receive(), 0) << command;
        blocker.Send(1);
        EXPECT_EQ(blocker.Receive(), win32::kSuccess) << "released after operation " << command;
        reader.Send(command);
        EXPECT_EQ(reader.Receive(), fberr::kReadLockPrevents) << command;
        blocker.Send(2);
        EXPECT_EQ(blocker.Receive(), win32::kSuccess);
    }
    blocker.Send(1);
    reader.Send(2);
    EXPECT_EQ(reader.Receive(), 0) << "a read without the lock";
    blocker.Send(2);
    blocker.Receive();
    reader.Send(-1);
}

TEST_F(Network, AStationAppliesTheChangesPublishedToItAtItsFirstRead) {
    const std::string data = dat;
    // Station 1 makes the table: every other station is told that everything changed.
    Station first([data](Station& s) {
        storage::SetStationPicker([](int) { return 1; });
        Fileblock* fb = nullptr;
        FbOpen(fb, data, false, false, false, true);
        FbClose(fb);
        s.Send(FbErrorCode);
    });
    ASSERT_EQ(first.Receive(), 0);
    // One key: bits 0 (data header), 1 (key 1) and 2 (changes present).
    EXPECT_EQ(test::BytesAt(dia, 3, 4), (std::vector<unsigned char>{7, 0, 7, 7}));
    Station second([data](Station& s) {
        storage::SetStationPicker([](int) { return 2; });
        Fileblock* fb = nullptr;
        FbOpen(fb, data, false, false, false, true);
        s.Send(FbErrorCode);
        s.Receive();
        std::int32_t reference = 0;
        FbFindKey(fb, 1, reference, "       1");
        s.Send(reference);
        s.Receive();
    });
    ASSERT_EQ(second.Receive(), 0);
    EXPECT_EQ(test::BytesAt(dia, 5, 1), std::vector<unsigned char>{7}) << "not read yet";
    second.Send(1);
    EXPECT_EQ(second.Receive(), 1);
    EXPECT_EQ(test::BytesAt(dia, 5, 1), std::vector<unsigned char>{0}) << "read and cleared";
    second.Send(1);
}

TEST_F(Network, EveryChangeIsRefusedWithoutTheFileblockLock) {
    const std::string data = dat;
    Station a([data](Station& s) {
        Fileblock* fb = nullptr;
        FbOpen(fb, data, false, false, false, true);
        std::int32_t record = 0;
        const std::vector<unsigned char> bytes = test::RecordBytes(30, 'z', 1);
        FbAppendRecord(fb, record, bytes);
        s.Send(FbErrorCode);
        FbFreeRecord(fb, 1);
        s.Send(FbErrorCode);
        FbWriteRecord(fb, 1, bytes);
        s.Send(FbErrorCode);
        FbInsertKey(fb, 1, 2, "       2");
        s.Send(FbErrorCode);
        FbRemoveKey(fb, 1, 1, "       1");
        s.Send(FbErrorCode);
        FbWriteRecord(fb, 1, bytes, true); // no lock asked: written
        s.Send(FbErrorCode);
        FbClose(fb);
        s.Send(FbErrorCode);
    });
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(a.Receive(), fberr::kMustBeLocked) << i;
    EXPECT_EQ(a.Receive(), 0);
    EXPECT_EQ(a.Receive(), 0);
    EXPECT_EQ(test::BytesAt(dat, 30, 30), test::RecordBytes(30, 'z', 1));
    EXPECT_EQ(test::BytesAt(dat, 20, 1), std::vector<unsigned char>{0}) << "the header is untouched";
}

TEST_F(Network, SingleUserAndNetworkOpensRefuseEachOther) {
    const std::string data = dat;
    const auto singleUser = [data](Station& s) {
        FbStopEngine();
        FbStartEngine(0, 8);
        Fileblock* fb = nullptr;
        FbOpen(fb, data, false, false, false, false);
        s.Send(FbErrorCode);
        s.Receive();
        if (fb) FbClose(fb);
        s.Send(FbErrorCode);
    };
    {
        Station alone(singleUser);
        ASSERT_EQ(alone.Receive(), 0);
        Station station(Opener(1));
        EXPECT_EQ(station.Receive(), fberr::kLockPrevents);
        EXPECT_EQ(station.Receive(), 0);
        alone.Send(1);
        EXPECT_EQ(alone.Receive(), 0);
    }
    Station station(Opener(1));
    Opened(station, 1);
    Station alone(singleUser);
    EXPECT_EQ(alone.Receive(), fberr::kAccessNotPossible);
}

} // namespace
