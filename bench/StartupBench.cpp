// Program start to a filled main window on a data file of 1,000 bodies of water with 100 tests
// each (101,000 records), offscreen: the window's creation opens the data file, fills the
// bodies and the first body's tests; then its first paint.
//
//   StartupBench [Google Benchmark flags]
#include "app/BrinovaAPI.h"
#include "app/BrinovaDB.h"
#include "app/fZELP.h"
#include "bench/AbortingMessageBoxes.h"
#include "bench/StartupData.h"
#include "platform/MessageBox.h"
#include "storage/Storage.h"

#include <QApplication>
#include <QTest>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The program's folder with its data folder and configuration, made once.
void MakeProgramFolder() {
    const std::string folder = MakeBenchFolder("zel-startup-bench");
    SetProgramFolder(folder + "/");
    SetConfigurationFile(folder + "/zelplus.ini");
    MakeStartupDataFile();
}

void BM_StartToFilledWindow(benchmark::State& state) {
    for (auto _ : state) {
        auto window = std::make_unique<TZELP>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) std::abort();
        window->repaint();
        state.PauseTiming();
        if (window->BodyList().size() != kStartupBodies || window->TestList().size() != kStartupTestsPerBody)
            std::abort();
        window->close();
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartToFilledWindow)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    AbortingMessageBoxes boxes;
    platform::SetMessages(&boxes);
    if (!StartBrinovaDB()) return 1;
    MakeProgramFolder();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    StopBrinovaDB();
    return 0;
}
