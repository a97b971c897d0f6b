#include "IndexRebuild.h"

#include "BrinovaDB.h"

#include "platform/DateTimeText.h"
#include "platform/FileOps.h"
#include "platform/LittleEndian.h"
#include "storage/FileNames.h"
#include "storage/Storage.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

using platform::FileAccess;
using platform::FileDisposition;
using platform::FileHandle;
using platform::Files;
using platform::FileSharing;
using platform::SystemError;

namespace {

constexpr std::int64_t kRecordLength = static_cast<std::int64_t>(kStoredRecordSize);
constexpr std::size_t kDataHeaderBytes = 21;
constexpr int kRecordsPerRead = 1024;
constexpr std::size_t kCopyChunk = 1 << 20;

std::string SystemErrorText(const std::string& what, SystemError error) {
    return what + " (system error " + std::to_string(error) + ")";
}

// Closes the handle on every path out.
class OpenFile {
public:
    OpenFile() = default;
    ~OpenFile() { Close(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    SystemError Open(const std::string& path, FileDisposition disposition, FileAccess access) {
        return Files().Open(path, disposition, access, FileSharing::Exclusive, handle);
    }
    SystemError Close() {
        SystemError error = 0;
        if (handle >= 0) error = Files().Close(handle);
        handle = -1;
        return error;
    }
    SystemError ReadExactly(std::int64_t offset, void* buffer, std::size_t length) const {
        std::size_t done = 0;
        SystemError error = Files().Read(handle, offset, buffer, length, done);
        return error == 0 && done != length ? platform::win32::kGenFailure : error;
    }
    SystemError WriteExactly(std::int64_t offset, const void* buffer, std::size_t length) const {
        std::size_t done = 0;
        SystemError error = Files().Write(handle, offset, buffer, length, done);
        return error == 0 && done != length ? platform::win32::kDiskFull : error;
    }

    FileHandle handle = -1;
};

bool Exists(const std::string& path) {
    FileHandle handle = -1;
    if (Files().Open(path, FileDisposition::OpenExisting, FileAccess::ReadOnly, FileSharing::Shared,
                     handle) != 0)
        return false;
    Files().Close(handle);
    return true;
}

// Copies the open file `source` byte for byte to a new file `target`, on the disk.
std::string CopyTo(const OpenFile& source, const std::string& target) {
    std::int64_t size = 0;
    if (SystemError error = Files().Size(source.handle, size))
        return SystemErrorText("Reading " + target, error);
    OpenFile copy;
    if (SystemError error = copy.Open(target, FileDisposition::CreateAlways, FileAccess::ReadWrite))
        return SystemErrorText("Creating " + target, error);
    std::vector<unsigned char> chunk(kCopyChunk);
    for (std::int64_t offset = 0; offset < size;) {
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::int64_t>(size - offset, kCopyChunk));
        if (SystemError error = source.ReadExactly(offset, chunk.data(), length))
            return SystemErrorText("Copying to " + target, error);
        if (SystemError error = copy.WriteExactly(offset, chunk.data(), length))
            return SystemErrorText("Copying to " + target, error);
        offset += static_cast<std::int64_t>(length);
    }
    if (SystemError error = Files().Flush(copy.handle)) return SystemErrorText("Copying to " + target, error);
    if (SystemError error = copy.Close()) return SystemErrorText("Copying to " + target, error);
    return {};
}

std::string CopyPathTo(const std::string& path, const std::string& target) {
    OpenFile source;
    if (SystemError error = source.Open(path, FileDisposition::OpenExisting, FileAccess::ReadOnly))
        return SystemErrorText("Reading " + path, error);
    return CopyTo(source, target);
}

// `path` + "." + the local time, made unique with a counter when a copy of that second exists.
std::string CopyName(const std::string& path, const QString& stamp) {
    std::string name = path + "." + stamp.toStdString();
    for (int n = 2; Exists(name); ++n)
        name = path + "." + stamp.toStdString() + "-" + std::to_string(n);
    return name;
}

// Brings a closed file's data to the disk.
std::string FlushPath(const std::string& path) {
    OpenFile file;
    if (SystemError error = file.Open(path, FileDisposition::OpenExisting, FileAccess::ReadWrite))
        return SystemErrorText("Opening " + path, error);
    if (SystemError error = Files().Flush(file.handle)) return SystemErrorText("Writing " + path, error);
    if (SystemError error = file.Close()) return SystemErrorText("Writing " + path, error);
    return {};
}

std::string RenameOver(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) return "Renaming " + from + " to " + to + " failed";
    if (SystemError error = Files().FlushFolder(to))
        return SystemErrorText("Writing the folder of " + to, error);
    return {};
}

// What the data file's records hold, as far as the index is concerned.
struct RecordClass {
    std::vector<std::int32_t> bodies;
    std::vector<std::int32_t> tests;   // of live bodies, by body then record number
    std::vector<std::int32_t> parents; // the body of each entry of `tests`
    std::vector<std::int32_t> orphans;
    std::vector<std::int32_t> free;
};

std::string ClassifyRecords(const OpenFile& data, std::int32_t allocated, RecordClass& records) {
    std::vector<std::int32_t> kinds(static_cast<std::size_t>(allocated) + 1, 0);
    std::vector<std::int32_t> parentOf(kinds.size(), 0);
    std::vector<unsigned char> chunk(kRecordsPerRead * kStoredRecordSize);
    for (std::int32_t first = 1; first <= allocated; first += kRecordsPerRead) {
        const std::int32_t count = std::min(kRecordsPerRead, allocated - first + 1);
        if (SystemError error = data.ReadExactly(first * kRecordLength, chunk.data(),
                                                 static_cast<std::size_t>(count) * kStoredRecordSize))
            return SystemErrorText("Reading the data file", error);
        for (std::int32_t i = 0; i < count; ++i) {
            const unsigned char* record = chunk.data() + static_cast<std::size_t>(i) * kStoredRecordSize;
            const std::int32_t kind = platform::GetI32(record, stored_offset::kind);
            const bool live =
                platform::GetI32(record, stored_offset::freeChain) == 0 && (kind == rkBody || kind == rkTest);
            kinds[static_cast<std::size_t>(first + i)] = live ? kind : 0;
            parentOf[static_cast<std::size_t>(first + i)] = platform::GetI32(record, stored_offset::parent);
        }
    }
    std::vector<std::vector<std::int32_t>> testsOf(kinds.size());
    for (std::int32_t n = 1; n <= allocated; ++n) {
        const std::int32_t kind = kinds[static_cast<std::size_t>(n)];
        const std::int32_t parent = parentOf[static_cast<std::size_t>(n)];
        if (kind == rkBody) {
            records.bodies.push_back(n);
        } else if (kind == rkTest) {
            if (parent >= 1 && parent <= allocated && kinds[static_cast<std::size_t>(parent)] == rkBody)
                testsOf[static_cast<std::size_t>(parent)].push_back(n);
            else
                records.orphans.push_back(n);
        } else {
            records.free.push_back(n);
        }
    }
    for (std::int32_t body : records.bodies)
        for (std::int32_t test : testsOf[static_cast<std::size_t>(body)]) {
            records.tests.push_back(test);
            records.parents.push_back(body);
        }
    return {};
}

std::string EngineFailure(const std::string& what) {
    return what + " (" + std::to_string(FbErrorCode) + " - " + FbErrorText(FbErrorCode) + ")";
}

// Builds the index in a Fileblock of its own next to the program's; its index file is
// `indexPath` afterwards (on the disk), its data file is removed.
std::string BuildIndexFile(const std::string& stem, const RecordClass& records, std::string& indexPath) {
    const storage::FileblockNames names = storage::NamesOf(stem);
    indexPath = names.index;
    FbCreate(stem, static_cast<std::int32_t>(kStoredRecordSize), kRecordKeyCount, RecordKeySpecs());
    if (!FbOk) return EngineFailure("Creating " + names.index);
    Fileblock* fb = nullptr;
    FbOpen(fb, stem, false, false, false, false);
    std::string failure;
    if (!FbOk) failure = EngineFailure("Opening " + names.index);
    for (std::size_t i = 0; failure.empty() && i < records.bodies.size(); ++i) {
        FbInsertKey(fb, 1, records.bodies[i], MakeRecordKey(records.bodies[i]));
        if (!FbOk) failure = EngineFailure("Indexing body " + std::to_string(records.bodies[i]));
    }
    for (std::size_t i = 0; failure.empty() && i < records.tests.size(); ++i) {
        FbInsertKey(fb, 2, records.tests[i], MakeRecordKey(records.parents[i]));
        if (!FbOk) failure = EngineFailure("Indexing test " + std::to_string(records.tests[i]));
    }
    if (fb != nullptr) {
        FbClose(fb);
        if (!FbOk && failure.empty()) failure = EngineFailure("Writing " + names.index);
    }
    Files().Delete(names.data);
    if (failure.empty()) failure = FlushPath(names.index);
    if (!failure.empty()) Files().Delete(names.index);
    return failure;
}

// The free records chained in ascending order: each one's first word names the next.
std::string ChainFreeRecords(const OpenFile& data, const std::vector<std::int32_t>& free) {
    for (std::size_t i = 0; i < free.size(); ++i) {
        unsigned char link[4];
        platform::PutI32(link, 0, i + 1 < free.size() ? free[i + 1] : -1);
        if (SystemError error = data.WriteExactly(free[i] * kRecordLength, link, sizeof link))
            return SystemErrorText("Writing the free records", error);
    }
    if (SystemError error = Files().Flush(data.handle))
        return SystemErrorText("Writing the data file", error);
    return {};
}

// A dialog file of one byte holds no journal; a journal left beside an index it was not
// written for must never be replayed onto the new one.
std::string EmptyDialogFile(const std::string& dialogPath) {
    const std::string temporary = dialogPath + ".rebuild";
    {
        OpenFile file;
        if (SystemError error = file.Open(temporary, FileDisposition::CreateAlways, FileAccess::ReadWrite))
            return SystemErrorText("Creating " + temporary, error);
        const unsigned char empty = 0;
        if (SystemError error = file.WriteExactly(0, &empty, 1))
            return SystemErrorText("Writing " + temporary, error);
        if (SystemError error = Files().Flush(file.handle))
            return SystemErrorText("Writing " + temporary, error);
    }
    return RenameOver(temporary, dialogPath);
}

std::string WriteDataHeader(const OpenFile& data, std::int32_t allocated,
                            const std::vector<std::int32_t>& free) {
    unsigned char header[kDataHeaderBytes] = {};
    platform::PutI32(header, 0, free.empty() ? -1 : free.front());
    platform::PutI32(header, 4, static_cast<std::int32_t>(free.size()));
    platform::PutI32(header, 8, allocated);
    platform::PutI32(header, 12, static_cast<std::int32_t>(kStoredRecordSize));
    platform::PutI32(header, 16, kRecordKeyCount);
    header[20] = 0; // the in-use mark: a clean file from here on
    if (SystemError error = data.WriteExactly(0, header, sizeof header))
        return SystemErrorText("Writing the data header", error);
    if (SystemError error = Files().Flush(data.handle))
        return SystemErrorText("Writing the data header", error);
    return {};
}

// The index file's name without its extension, + "-rebuild": the temporary Fileblock.
std::string TemporaryStem(const std::string& indexPath) {
    std::string stem = indexPath;
    const std::string extension = ".IX";
    if (stem.size() > extension.size() &&
        stem.compare(stem.size() - extension.size(), extension.size(), extension) == 0)
        stem.resize(stem.size() - extension.size());
    return stem + "-rebuild";
}

} // namespace

std::string RebuildIndex(const std::string& fileblockName, TRebuildReport& report) {
    report = {};
    const storage::FileblockNames names = storage::NamesOf(fileblockName);
    OpenFile data;
    if (SystemError error = data.Open(names.data, FileDisposition::OpenExisting, FileAccess::ReadWrite))
        return SystemErrorText("Opening " + names.data, error);
    std::int64_t size = 0;
    if (SystemError error = Files().Size(data.handle, size))
        return SystemErrorText("Reading " + names.data, error);
    unsigned char header[kDataHeaderBytes] = {};
    if (size < kRecordLength || data.ReadExactly(0, header, sizeof header) != 0 ||
        platform::GetI32(header, 12) != kRecordLength || header[16] != kRecordKeyCount)
        return names.data + " is not a data file of this program";
    const std::int64_t records = size / kRecordLength - 1;
    if (records > INT32_MAX) return names.data + " is too large";
    const auto allocated = static_cast<std::int32_t>(records);

    RecordClass classes;
    if (std::string failure = ClassifyRecords(data, allocated, classes); !failure.empty()) return failure;

    const QString stamp = platform::FormatDateTime("yyyymmdd-hhnnss", platform::CurrentClock().Now(),
                                                   platform::FormatSettings());
    std::vector<std::string> copies;
    const std::string dataCopy = CopyName(names.data, stamp);
    if (std::string failure = CopyTo(data, dataCopy); !failure.empty()) return failure;
    copies.push_back(dataCopy);
    for (const std::string& path : {names.index, names.dialog}) {
        if (!Exists(path)) continue;
        const std::string copy = CopyName(path, stamp);
        if (std::string failure = CopyPathTo(path, copy); !failure.empty()) return failure;
        copies.push_back(copy);
    }

    std::string newIndex;
    if (std::string failure = BuildIndexFile(TemporaryStem(names.index), classes, newIndex); !failure.empty())
        return failure;
    // From here the files change; the in-use mark stays until the last step, so until then the
    // next open still asks for a rebuild.
    std::string failure = ChainFreeRecords(data, classes.free);
    if (failure.empty() && Exists(names.dialog)) failure = EmptyDialogFile(names.dialog);
    if (failure.empty()) failure = RenameOver(newIndex, names.index);
    if (failure.empty()) failure = WriteDataHeader(data, allocated, classes.free);
    if (failure.empty() && data.Close() != 0) failure = "Closing " + names.data + " failed";
    if (!failure.empty()) {
        Files().Delete(newIndex);
        return failure;
    }
    report.bodies = static_cast<std::int32_t>(classes.bodies.size());
    report.tests = static_cast<std::int32_t>(classes.tests.size());
    report.freeRecords = static_cast<std::int32_t>(classes.free.size());
    report.orphanTests = std::move(classes.orphans);
    report.copies = std::move(copies);
    return {};
}

std::string RebuildQuestionText() {
    return "The index of the data file must be rebuilt before the records can be used.\n\n"
           "Rebuild it from the data file now? Copies of the files as they are now are kept in the data "
           "folder.";
}

std::string RebuildReportText(const TRebuildReport& report) {
    std::string text = "The index was rebuilt from the data file: " + std::to_string(report.bodies) +
                       " bodies of water, " + std::to_string(report.tests) + " tests, " +
                       std::to_string(report.freeRecords) + " free records.";
    if (!report.orphanTests.empty()) {
        constexpr std::size_t kNamed = 20;
        text += "\n\n" + std::to_string(report.orphanTests.size()) +
                " tests whose body of water is missing were kept in the data file but are not listed: record";
        text += report.orphanTests.size() == 1 ? " " : "s ";
        for (std::size_t i = 0; i < report.orphanTests.size() && i < kNamed; ++i)
            text += (i == 0 ? "" : ", ") + std::to_string(report.orphanTests[i]);
        if (report.orphanTests.size() > kNamed) text += ", ...";
        text += ".";
    }
    text += "\n\nCopies of the files as they were:";
    for (const std::string& copy : report.copies)
        text += "\n" + copy;
    return text;
}

std::string RebuildFailedText(const std::string& reason) {
    return "The index could not be rebuilt: " + reason + ".\n\nIts records were left as they were.";
}
