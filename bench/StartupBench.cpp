// Program start to a filled main window on a data file of 1,000 bodies of water with 100 tests
// each (101,000 records), offscreen: the window's creation opens the data file, fills the
// bodies and the first body's tests; then its first paint.
//
//   StartupBench [Google Benchmark flags]
#include "app/BrinovaAPI.h"
#include "app/BrinovaDB.h"
#include "app/fZELP.h"
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

constexpr int kBodies = 1000;
constexpr int kTestsPerBody = 100;

// No box may stop a benchmark: a failure ends the run.
class AbortingMessageBoxes final : public platform::MessageBoxes {
public:
    platform::MessageAnswer Show(QWidget*, const QString& caption, const QString& text, platform::MessageIcon,
                                 platform::MessageButtons) override {
        std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
        std::abort();
    }
};

// The program's folder with its data folder and configuration, made once.
void MakeProgramFolder() {
    std::string pattern = (fs::temp_directory_path() / "zel-startup-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    SetProgramFolder(pattern + "/");
    SetConfigurationFile(pattern + "/zelplus.ini");
    if (!EnsureDataFolder()) std::abort();

    // Written straight through the storage engine without the journal: the same records and keys
    // as the database layer writes, in seconds instead of minutes of journalled changes.
    const auto start = std::chrono::steady_clock::now();
    FbCreate(DataFilePath(), kStoredRecordSize, kRecordKeyCount, RecordKeySpecs());
    Fileblock* fb = nullptr;
    FbOpen(fb, DataFilePath(), false, false, false, false);
    if (!FbOk) std::abort();
    for (int b = 0; b < kBodies; ++b) {
        TStoredRecord body;
        body.kind = rkBody;
        body.body.kind = static_cast<std::uint8_t>(b % 5);
        body.body.volume = 50000;
        std::int32_t n = 0;
        FbAppendRecord(fb, n, body.Encode());
        FbInsertKey(fb, 1, n, MakeRecordKey(n));
        for (int t = 0; t < kTestsPerBody; ++t) {
            TStoredRecord test;
            test.kind = rkTest;
            test.parent = n;
            test.test.date = 45000 + t;
            test.test.time = 0.5;
            test.test.testNote = "note";
            std::int32_t number = 0;
            FbAppendRecord(fb, number, test.Encode());
            FbInsertKey(fb, 2, number, MakeRecordKey(n));
        }
        if (!FbOk) std::abort();
    }
    FbClose(fb);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "made %d records in %.1f s\n", kBodies * (kTestsPerBody + 1), seconds);
}

void BM_StartToFilledWindow(benchmark::State& state) {
    for (auto _ : state) {
        auto window = std::make_unique<TZELP>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) std::abort();
        window->repaint();
        state.PauseTiming();
        if (window->BodyList().size() != kBodies || window->TestList().size() != kTestsPerBody) std::abort();
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
