// Writes the fuzz target's seed inputs into the folder named on the command line: sound
// multi-level Fileblocks, and the files a crash in save mode leaves (journal included), each
// with a short script of operations.
#include "FuzzInput.h"

#include "CrashDisk.h"
#include "FaultyFileOps.h"

#include "storage/Fileblock.h"
#include "storage/Storage.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string folder;

std::string Key(std::int32_t n, int width) {
    std::string digits = std::to_string(n);
    return std::string(digits.size() < static_cast<std::size_t>(width) ? width - digits.size() : 0, ' ') +
           digits;
}

std::vector<unsigned char> Script() {
    using namespace fuzz;
    std::vector<unsigned char> s = {kAppend, 0x41, kInsert, 1,       7, 0,       1, 'B',     kFind,
                                    1,       1,    'B',     kStep,   1, kRemove, 1, 7,       0,
                                    1,       'B',  kFree,   3,       0, kWrite,  4, 0,       0x42,
                                    kRead,   4,    0,       kRewind, 1, kStep,   1, kReopen, kLiveCount};
    return s;
}

void Emit(const std::string& name, std::uint8_t flags, bool withDialog) {
    fuzz::FuzzInput input;
    input.flags = flags | (withDialog ? 0 : 16);
    input.data = test::ReadWholeFile(folder + "/zelp.DAT");
    input.index = test::ReadWholeFile(folder + "/zelp.IX");
    if (withDialog) input.dialog = test::ReadWholeFile(folder + "/zelp.DIA");
    input.script = Script();
    const std::vector<unsigned char> bytes = fuzz::EncodeInput(input);
    test::WriteWholeFile(fs::path(folder).parent_path().string() + "/" + name, bytes);
}

// 2100 records of 22 bytes under a key of length 1 with duplicates, three levels deep, some freed.
void BuildMultiLevel() {
    TKeySpecs keys{};
    keys[0] = {1, true};
    FbCreate(folder + "/zelp", 22, 1, keys);
    Fileblock* fb = nullptr;
    FbOpen(fb, folder + "/zelp", false, false, false, false);
    for (std::int32_t n = 1; n <= 2100; ++n) {
        std::int32_t record = 0;
        FbAppendRecord(fb, record, std::vector<unsigned char>(22, static_cast<unsigned char>(n)));
        FbInsertKey(fb, 1, record, std::string(1, static_cast<char>('A' + n % 20)));
    }
    for (std::int32_t n = 5; n <= 2100; n += 151) {
        FbFreeRecord(fb, n);
        FbRemoveKey(fb, 1, n, std::string(1, static_cast<char>('A' + n % 20)));
    }
    FbClose(fb);
}

// The program's layout: records of 464 bytes, a unique and a duplicates key of length 8.
void BuildProgramLayout() {
    TKeySpecs keys{};
    keys[0] = {8, false};
    keys[1] = {8, true};
    FbCreate(folder + "/zelp", 464, 2, keys);
    Fileblock* fb = nullptr;
    FbOpen(fb, folder + "/zelp", false, false, false, false);
    for (std::int32_t n = 1; n <= 40; ++n) {
        std::int32_t record = 0;
        FbAppendRecord(fb, record, std::vector<unsigned char>(464, 0));
        FbInsertKey(fb, 1, record, Key(record, 8));
        FbInsertKey(fb, 2, record, Key(record % 7, 8));
    }
    FbClose(fb);
}

// Runs `change` in save mode and lets the process die after `steps` steps.
void Crash(const std::function<void(Fileblock*)>& change, int steps) {
    test::CrashDisk disk;
    Fileblock* fb = nullptr;
    FbOpen(fb, folder + "/zelp", false, false, true, false);
    disk.StopAfter(steps);
    if (fb) change(fb);
    if (fb) storage::FileblockOf(fb)->damaged = true;
    FbClose(fb);
}

void Reset() {
    fs::remove_all(folder);
    fs::create_directories(folder);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    fs::create_directories(argv[1]);
    folder = std::string(argv[1]) + "/.work";
    FbStartEngine(0, 8);

    Reset();
    BuildMultiLevel();
    Emit("multilevel", 0, false);
    Emit("multilevel-save", 4, false);
    const std::function<void(Fileblock*)> changes[] = {
        [](Fileblock* fb) {
            for (int i = 0; i < 40; ++i)
                FbInsertKey(fb, 1, 5000 + i, "C");
        },
        [](Fileblock* fb) { FbRemoveKey(fb, 1, 22, std::string(1, static_cast<char>('A' + 22 % 20))); },
        [](Fileblock* fb) { FbFreeRecord(fb, 17); },
        [](Fileblock* fb) {
            std::int32_t record = 0;
            FbAppendRecord(fb, record, std::vector<unsigned char>(22, 0x77));
        },
    };
    int seed = 0;
    for (const auto& change : changes) {
        for (int steps : {1, 3, 6, 9}) {
            Reset();
            BuildMultiLevel();
            Crash(change, steps);
            const std::string name = "crashed-" + std::to_string(seed++);
            Emit(name, 0, true);
            Emit(name + "-save", 4, true);
        }
    }

    Reset();
    BuildProgramLayout();
    Emit("program", 0, false);
    Crash([](Fileblock* fb) { FbInsertKey(fb, 2, 99, Key(3, 8)); }, 4);
    Emit("program-crashed", 0, true);
    Emit("program-crashed-read-only", 1, true);

    FbStopEngine();
    fs::remove_all(folder);
    return 0;
}
