#include "bench/StartupData.h"

#include "app/BrinovaAPI.h"
#include "app/BrinovaDB.h"
#include "storage/Storage.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

std::string MakeBenchFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
}

void MakeStartupDataFile() {
    if (!EnsureDataFolder()) std::abort();
    // Written straight through the storage engine without the journal: the same records and keys
    // as the database layer writes, in seconds instead of minutes of journalled changes.
    const auto start = std::chrono::steady_clock::now();
    FbCreate(DataFilePath(), kStoredRecordSize, kRecordKeyCount, RecordKeySpecs());
    Fileblock* fb = nullptr;
    FbOpen(fb, DataFilePath(), false, false, false, false);
    if (!FbOk) std::abort();
    for (int b = 0; b < kStartupBodies; ++b) {
        TStoredRecord body;
        body.kind = rkBody;
        body.body.kind = static_cast<std::uint8_t>(b % 5);
        body.body.volume = 50000;
        std::int32_t n = 0;
        FbAppendRecord(fb, n, body.Encode());
        FbInsertKey(fb, 1, n, MakeRecordKey(n));
        for (int t = 0; t < kStartupTestsPerBody; ++t) {
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
    if (!FbOk) std::abort();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "made %d records in %.1f s\n", kStartupBodies * (kStartupTestsPerBody + 1), seconds);
}
