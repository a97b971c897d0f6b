#include "storage/RebuildLeftovers.h"

#include "platform/FileOps.h"
#include "storage/FilePrimitives.h"
#include "storage/Storage.h"

namespace {
constexpr int kRebuildNames = 100;
constexpr const char* kRebuildMark = ".rebuild";
} // namespace

std::vector<std::string> FbRebuildNames(const std::string& path) {
    std::vector<std::string> names;
    names.reserve(kRebuildNames);
    for (int n = 1; n <= kRebuildNames; ++n)
        names.push_back(path + kRebuildMark + (n == 1 ? std::string() : "-" + std::to_string(n)));
    return names;
}

namespace storage {

void RemoveRebuildLeftovers(const FileblockNames& names) {
    for (const std::string* path : {&names.data, &names.index, &names.dialog})
        for (const std::string& name : FbRebuildNames(*path)) {
            // What is not ours stays.
            if (platform::Files().DeleteIfLeftOver(name) == platform::win32::kSuccess) continue;
            // A copy given its name by a second name, cut off before the first was dropped,
            // keeps the rebuild's name as its other one.
            (void)platform::Files().DeleteSecondName(name, *path + ".", *path + kRebuildMark);
        }
}

} // namespace storage

using namespace storage;

void FbRemoveRebuildLeftovers(const std::string& fileName) {
    OperationScope op(WithoutFileblock{});
    if (!op.Passed()) return;
    const FileblockNames names = NamesOf(fileName);
    FileRecord data;
    FileSetName(data, names.data);
    FileOpenExisting(data, false, false);
    if (!FbOk) return;
    RemoveRebuildLeftovers(names);
    FileClose(data);
}
