// The database layer on a data file of 1,000 bodies of water with 100 tests each (101,000
// records), made through the layer itself in save mode (without its flushes): opening, listing the bodies,
// listing one body's tests newest first, reading them for a chart, and rebuilding the index from the data
// file alone; and the open's check that the index holds the records, on that file and on one of 100
// bodies (10,100 records).
//
//   BrinovaDBBench [Google Benchmark flags]
#include "app/BrinovaDB.h"
#include "app/IndexCheck.h"
#include "app/IndexRebuild.h"
#include "app/fChart.h"

#include "platform/ForwardingFileOps.h"
#include "bench/AbortingMessageBoxes.h"
#include "platform/MessageBox.h"
#include "storage/Storage.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr int kBodies = 1000;
constexpr int kSmallBodies = 100;
constexpr int kTestsPerBody = 100;

// Passes every call to the POSIX file operations but leaves out the flushes: making the data
// file is the setting, not what is measured, and a flush per journaled change would take minutes.
class UnflushedFiles final : public platform::ForwardingFileOps {
public:
    platform::SystemError Flush(platform::FileHandle) override { return 0; }
    platform::SystemError FlushFolder(const std::string&) override { return 0; }
};

std::string Folder() {
    static const std::string folder = [] {
        std::string pattern = (fs::temp_directory_path() / "zel-db-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern;
    }();
    return folder;
}

// The file of `bodies` bodies of water.
std::string DataName(int bodies = kBodies) {
    return Folder() + (bodies == kBodies ? "/zelp.DAT" : "/zelp" + std::to_string(bodies) + ".DAT");
}

// Bodies 1, 102, 203, ...: each body is followed by its 100 tests, dated one a day.
void MakeDataFile(int bodies) {
    const auto start = std::chrono::steady_clock::now();
    UnflushedFiles unflushed;
    platform::FileOps* previous = platform::SetFiles(&unflushed);
    OpenRec(DataName(bodies));
    for (int b = 0; b < bodies; ++b) {
        TStoredRecord body;
        body.body.volume = 50000;
        const std::int32_t n = AddBody(body);
        for (int t = 0; t < kTestsPerBody; ++t) {
            TStoredRecord test;
            test.test.date = 45000 + t;
            test.test.alkalinity = 80 + t % 40;
            test.test.pH = 7.2L;
            if (AddTestRecord(test, n) < 0) std::abort();
        }
    }
    CloseRec();
    platform::SetFiles(previous);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "made %d records in save mode (flushes left out) in %.1f s\n",
                 bodies * (kTestsPerBody + 1), seconds);
}

TRecList OneBodysTests() {
    TRecList tests;
    ListTests(kBodies / 2 * (kTestsPerBody + 1) + 1, tests);
    if (tests.size() != kTestsPerBody) std::abort();
    return tests;
}

void BM_OpenRec(benchmark::State& state) {
    for (auto _ : state) {
        OpenRec(DataName());
        state.PauseTiming();
        CloseRec();
        state.ResumeTiming();
    }
}

void BM_ListBodies(benchmark::State& state) {
    OpenRec(DataName());
    for (auto _ : state) {
        TRecList bodies;
        ListBodies(bodies);
        if (bodies.size() != kBodies) std::abort();
    }
    CloseRec();
}

void BM_ListTestsNewestFirst(benchmark::State& state) {
    OpenRec(DataName());
    for (auto _ : state)
        benchmark::DoNotOptimize(OneBodysTests());
    CloseRec();
}

void BM_ChartSeries(benchmark::State& state) {
    OpenRec(DataName());
    const TRecList tests = OneBodysTests();
    for (auto _ : state) {
        const TChartData data = FillSeries(tests, 0);
        if (data.points.size() != kTestsPerBody) std::abort();
    }
    CloseRec();
}

// What the open spends on the check that the index holds the live records (OpenRec includes it).
void BM_IndexCheck(benchmark::State& state) {
    const auto bodies = static_cast<int>(state.range(0));
    OpenRec(DataName(bodies));
    for (auto _ : state)
        if (IndexDamage(RecordFileblock()) != 0) std::abort();
    CloseRec();
    state.SetLabel(std::to_string(bodies * (kTestsPerBody + 1)) + " records");
}

// Each run starts from the clean files marked in use and with no index file; the copies it
// makes aside are removed afterwards.
void BM_RebuildIndex(benchmark::State& state) {
    const std::string work = Folder() + "/rebuild";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(work);
        fs::create_directory(work);
        fs::copy_file(DataName(), work + "/zelp.DAT");
        {
            std::fstream data(work + "/zelp.DAT", std::ios::in | std::ios::out | std::ios::binary);
            data.seekp(20);
            data.put(1);
        }
        state.ResumeTiming();
        TRebuildReport report;
        if (!RebuildIndex(work + "/zelp.DAT", report).empty()) std::abort();
        if (report.tests != kBodies * kTestsPerBody) std::abort();
    }
    fs::remove_all(work);
}

BENCHMARK(BM_OpenRec)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListBodies)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListTestsNewestFirst)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChartSeries)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IndexCheck)->Arg(kSmallBodies)->Arg(kBodies)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildIndex)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    AbortingMessageBoxes boxes;
    platform::SetMessages(&boxes);
    if (!StartBrinovaDB()) return 1;
    MakeDataFile(kBodies);
    MakeDataFile(kSmallBodies);
    benchmark::RunSpecifiedBenchmarks();
    StopBrinovaDB();
    fs::remove_all(Folder());
    benchmark::Shutdown();
    return 0;
}
