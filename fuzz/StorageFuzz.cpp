// Fuzz target of the storage engine: opens a data / index / dialog file triple (a journal left
// by a crash is replayed at open) and runs a bounded script of record and key operations on
// it. Every failure must be one of the engine's own codes; the sanitizers catch the rest.
#include "FuzzInput.h"
#include "MemoryFiles.h"

#include "storage/Fileblock.h"
#include "storage/Storage.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kMaxOperations = 64;
constexpr std::int32_t kMaxRecordBuffer = 1 << 20;
const std::string kName = "/fuzz/zelp.DAT";

fuzz::MemoryFiles& Files() {
    static fuzz::MemoryFiles* files = new fuzz::MemoryFiles;
    return *files;
}

// Every outcome is success or a code with its English message.
void CheckStatus() {
    if (FbOk != (FbErrorCode == 0)) std::abort();
    if (FbErrorCode != 0 && FbErrorText(FbErrorCode).empty()) std::abort();
}

class Script {
public:
    explicit Script(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
    bool Done() const { return at_ >= bytes_.size(); }
    std::uint8_t Byte() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
    std::string Text() {
        const int length = Byte() % 34; // a few past the longest key
        std::string text;
        for (int i = 0; i < length; ++i)
            text.push_back(static_cast<char>(Byte()));
        return text;
    }

private:
    const std::vector<unsigned char>& bytes_;
    std::size_t at_ = 0;
};

std::vector<unsigned char> RecordBuffer(Fileblock* fb, std::uint8_t fill) {
    const std::int32_t length = storage::FileblockOf(fb)->Data().slotSize;
    if (length < 1 || length > kMaxRecordBuffer) return {};
    return std::vector<unsigned char>(static_cast<std::size_t>(length), fill);
}

void Run(Fileblock*& fb, Script& script, std::uint8_t flags) {
    const bool readOnly = flags & 1, allReadOnly = flags & 2, saveMode = flags & 4, network = flags & 32;
    for (int n = 0; n < kMaxOperations && !script.Done() && fb; ++n) {
        const auto op = static_cast<fuzz::Op>(script.Byte() % fuzz::kOpCount);
        switch (op) {
        case fuzz::kAppend: {
            const auto bytes = RecordBuffer(fb, script.Byte());
            std::int32_t record = 0;
            if (!bytes.empty()) FbAppendRecord(fb, record, bytes);
            break;
        }
        case fuzz::kWrite: {
            const std::int32_t record = script.Word();
            auto bytes = RecordBuffer(fb, script.Byte());
            if (!bytes.empty()) FbWriteRecord(fb, record, bytes);
            break;
        }
        case fuzz::kRead: {
            const std::int32_t record = script.Word();
            auto bytes = RecordBuffer(fb, 0);
            if (!bytes.empty()) FbReadRecord(fb, record, bytes);
            break;
        }
        case fuzz::kFree:
            FbFreeRecord(fb, script.Word());
            break;
        case fuzz::kInsert:
        case fuzz::kRemove: {
            const std::uint16_t key = script.Byte() % 4;
            const std::int32_t reference = script.Word();
            const std::string text = script.Text();
            if (op == fuzz::kInsert)
                FbInsertKey(fb, key, reference, text);
            else
                FbRemoveKey(fb, key, reference, text);
            break;
        }
        case fuzz::kFind: {
            const std::uint16_t key = script.Byte() % 4;
            std::int32_t reference = 0;
            FbFindKey(fb, key, reference, script.Text());
            break;
        }
        case fuzz::kStep: {
            const std::uint16_t key = script.Byte() % 4;
            std::int32_t reference = 0;
            std::string text;
            for (int i = 0; i < 3; ++i)
                FbStepKey(fb, key, reference, text);
            break;
        }
        case fuzz::kRewind:
            FbRewindKey(fb, script.Byte() % 4);
            break;
        case fuzz::kReopen:
            FbClose(fb);
            CheckStatus();
            if (fb == nullptr) FbOpen(fb, kName, readOnly, allReadOnly, saveMode, network);
            break;
        case fuzz::kLiveCount:
            (void)FbLiveRecordCount(fb);
            break;
        case fuzz::kOpCount:
            break;
        }
        CheckStatus();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput input = fuzz::DecodeInput(data, size);
    fuzz::MemoryFiles& files = Files();
    platform::SetFiles(&files);
    files.Clear();
    files.Put(kName, input.data);
    if (!(input.flags & 8)) files.Put("/fuzz/zelp.IX", input.index);
    if (!(input.flags & 16)) files.Put("/fuzz/zelp.DIA", input.dialog);

    if (FbStartEngine(0, 8) != 8) std::abort();
    Fileblock* fb = nullptr;
    const std::uint8_t flags = input.flags;
    FbOpen(fb, kName, flags & 1, flags & 2, flags & 4, flags & 32);
    CheckStatus();
    if (fb) {
        Script script(input.script);
        Run(fb, script, flags);
    }
    if (fb) {
        FbClose(fb);
        CheckStatus();
    }
    // A close that could not write keeps its Fileblock open; the next input needs a clean engine.
    for (Fileblock* open : storage::Engine().openList)
        storage::FileblockOf(open)->damaged = true;
    FbStopEngine();
    if (storage::Engine().started || !storage::Engine().openList.empty()) std::abort();
    return 0;
}
