#include "IndexRebuild.h"

#include "BrinovaDB.h"

#include "platform/CopyFile.h"
#include "platform/DateTimeText.h"
#include "platform/FileOps.h"
#include "platform/LittleEndian.h"
#include "storage/Storage.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace {

constexpr int kCopyNames = 100;
constexpr std::size_t kRecoveredNamed = 20;
constexpr std::string_view kRecoveredNoteStem = "Recovered tests (body of water ";

// "1 test", "2 tests": the number with the word that fits it.
std::string Counted(std::int32_t count, const char* one, const char* several) {
    return std::to_string(count) + " " + (count == 1 ? one : several);
}

// Why no new file could be made beside `path`.
std::string NamesTakenText(const std::string& path) {
    const std::string names = path + ".rebuild and .rebuild-2 to .rebuild-100";
    return "no name for a new file beside " + path + " can be had: " + names +
           " are all taken by files that are not leftovers of the rebuild";
}

std::string CopyName(const std::string& path, const std::string& stamp, int n) {
    return path + "." + stamp + (n == 1 ? std::string() : "-" + std::to_string(n));
}

// The first n from which the copies of all `paths` are free, so that one run's copies share
// their ending where they can.
int FirstFreeCopyName(const std::vector<std::string>& paths, const std::string& stamp) {
    for (int n = 1; n <= kCopyNames; ++n) {
        bool free = true;
        for (const std::string& path : paths)
            free = free && platform::Files().Inspect(CopyName(path, stamp, n)) == platform::PathKind::Missing;
        if (free) return n;
    }
    return 1;
}

// Why a copy could not be made, in words a user can act on.
std::string CopyFailedText(const std::string& path, const std::string& copy, platform::SystemError error) {
    namespace win32 = platform::win32;
    if (error == win32::kSharingViolation || error == win32::kLockViolation)
        return "another program (or a second copy of this one) has the data open, so " + path +
               " could not be copied aside first. Nothing was changed. Close the other program, then start "
               "this one again";
    const std::string copying = "Copying " + path + " to " + copy + " failed: ";
    switch (error) {
    case win32::kDiskFull:
        return copying + "the disk is full";
    case win32::kAccessDenied:
        return copying + "new files may not be made in the data folder";
    case win32::kWriteProtect:
        return copying + "the disk of the data folder is read-only or write-protected";
    case win32::kFileNotFound:
    case win32::kPathNotFound:
        return copying + "the file or its folder went away while it was being copied";
    case win32::kTooManyOpenFiles:
        return copying + "too many files are open; closing other programs may help";
    case win32::kNotEnoughMemory:
        return copying + "there is not enough memory; closing other programs may help";
    case win32::kInvalidName:
    case win32::kInvalidParameter:
        return copying + "the file system of the data folder does not take the name of the copy";
    default:
        return copying + "the disk or its file system reported a fault";
    }
}

// `path` + "." + the local time, with "-2", "-3" ... when a copy of that second exists; the
// copy is made as a new file, never over anything of that name, and has its name only once it
// is whole.
std::string CopyAside(const std::string& path, const std::string& stamp, int first,
                      std::vector<std::string>& copies) {
    for (int n = first; n <= kCopyNames; ++n) {
        const std::string name = CopyName(path, stamp, n);
        const platform::CopyOutcome outcome = platform::CopyToNewFile(path, name, FbRebuildNames(path));
        switch (outcome.result) {
        case platform::CopyOutcome::Result::NameTaken:
            continue;
        case platform::CopyOutcome::Result::NoTemporaryName:
            return "Copying " + path + ": " + NamesTakenText(path);
        case platform::CopyOutcome::Result::Failed:
            return CopyFailedText(path, name, outcome.systemError);
        case platform::CopyOutcome::Result::Copied:
            copies.push_back(name);
            return {};
        }
    }
    return "Copying " + path + ": every name for the copy is taken";
}

bool AllNamesTaken(const std::string& path) {
    for (const std::string& name : FbRebuildNames(path))
        if (platform::Files().Inspect(name) == platform::PathKind::Missing) return false;
    return true;
}

// The rebuild renames its new index and dialog files over the old names; over a link it would
// put them in the link's place and leave the file the link leads to as it was.
std::string LinkRefusal(const TFileSetState& files) {
    for (const TFileState* file : {&files.index, &files.dialog})
        if (file->link)
            return "The file " + file->path +
                   " is a link to a file elsewhere, which a rebuild would not replace but cut off";
    return {};
}

// What the rebuild learns of the records and tells the engine about them.
class RecordPlan final : public FbReindexPlan {
public:
    void ResumeUnfinished(std::int32_t firstAdded) override { unfinishedFrom_ = firstAdded; }

    void Examine(std::int32_t record, std::span<const unsigned char> bytes) override {
        const std::int32_t kind = LiveKind(bytes.data());
        kinds_.push_back(static_cast<std::int8_t>(kind));
        parents_.push_back(platform::GetI32(bytes.data(), stored_offset::parent));
        if (kind == rkBody) KeepIfRecoveredBody(record, bytes);
    }

    // One new body for the live tests of each body that is not a live body, unless a body
    // exactly as this rebuild would make it is there already: one an earlier rebuild, killed
    // before it had moved every test, added.
    std::vector<std::vector<unsigned char>> Additions(std::int32_t first) override {
        std::map<std::int32_t, std::int32_t> orphans; // old body -> tests
        for (std::size_t i = 0; i < kinds_.size(); ++i)
            if (kinds_[i] == rkTest && !IsLiveBody(parents_[i])) ++orphans[parents_[i]];
        std::vector<std::vector<unsigned char>> additions;
        for (const auto& [oldBody, tests] : orphans) {
            const TStoredBytes bytes = RecoveredBody(oldBody);
            if (const std::int32_t made = MadeBefore(bytes); made != 0) {
                recovered_.push_back({made, oldBody, tests + TestsOf(made)});
                newBodyOf_[oldBody] = made;
                continue;
            }
            const std::int32_t number = first + static_cast<std::int32_t>(additions.size());
            additions.emplace_back(bytes.begin(), bytes.end());
            recovered_.push_back({number, oldBody, tests});
            newBodyOf_[oldBody] = number;
        }
        return additions;
    }

    bool Entries(std::int32_t record, std::span<unsigned char> bytes,
                 std::vector<std::string>& keyTexts) override {
        const bool added = static_cast<std::size_t>(record) > kinds_.size();
        const std::int32_t kind = added ? std::int32_t{rkBody} : kinds_[static_cast<std::size_t>(record - 1)];
        if (kind == rkBody) {
            ++bodies_;
            keyTexts = {MakeRecordKey(record), {}};
            return true;
        }
        if (kind != rkTest) return false;
        std::int32_t parent = parents_[static_cast<std::size_t>(record - 1)];
        if (const auto found = newBodyOf_.find(parent); found != newBodyOf_.end()) {
            parent = found->second;
            platform::PutI32(bytes.data(), stored_offset::parent, parent);
        }
        ++tests_;
        keyTexts = {{}, MakeRecordKey(parent)};
        return true;
    }

    void Fill(TRebuildReport& report) const {
        report.bodies = bodies_;
        report.tests = tests_;
        report.recovered = recovered_;
    }

private:
    static TStoredBytes RecoveredBody(std::int32_t oldBody) {
        TStoredRecord body;
        body.kind = rkBody;
        body.body.note = RecoveredBodyNote(oldBody);
        return body.Encode();
    }

    // Only a body that a rebuild which did not end added, and whose note is a recovered body's,
    // is kept to be compared whole later: one a finished rebuild made is the user's now.
    void KeepIfRecoveredBody(std::int32_t record, std::span<const unsigned char> bytes) {
        if (unfinishedFrom_ == 0 || record < unfinishedFrom_ || bytes.size() != kStoredRecordSize) return;
        TStoredBytes stored;
        std::copy(bytes.begin(), bytes.end(), stored.begin());
        if (TStoredRecord::Decode(stored).body.note.starts_with(kRecoveredNoteStem))
            recoveredBodies_.emplace_back(record, stored);
    }

    // The first live body byte for byte as `bytes`; 0 when there is none.
    std::int32_t MadeBefore(const TStoredBytes& bytes) const {
        for (const auto& [record, stored] : recoveredBodies_)
            if (stored == bytes) return record;
        return 0;
    }

    std::int32_t TestsOf(std::int32_t body) const {
        std::int32_t tests = 0;
        for (std::size_t i = 0; i < kinds_.size(); ++i)
            if (kinds_[i] == rkTest && parents_[i] == body) ++tests;
        return tests;
    }

    bool IsLiveBody(std::int32_t record) const {
        return record >= 1 && static_cast<std::size_t>(record) <= kinds_.size() &&
               kinds_[static_cast<std::size_t>(record - 1)] == rkBody;
    }

    std::vector<std::int8_t> kinds_; // of record n at n - 1: rkBody, rkTest or 0 (not live)
    std::vector<std::int32_t> parents_;
    std::map<std::int32_t, std::int32_t> newBodyOf_;
    std::vector<TRecoveredTests> recovered_;
    std::vector<std::pair<std::int32_t, TStoredBytes>> recoveredBodies_; // in record order
    std::int32_t unfinishedFrom_ = 0; // the first addition of a rebuild that did not end; 0: none
    std::int32_t bodies_ = 0;
    std::int32_t tests_ = 0;
};

} // namespace

std::string RebuildIndex(const std::string& fileblockName, TRebuildReport& report,
                         TLeftoverJournalUse journal) {
    report = {};
    const TFileSetState files = FbCheckFiles(fileblockName);
    for (const TFileState* file : {&files.data, &files.index, &files.dialog})
        if (!FbFileUsable(*file, file == &files.data)) return FileProblemText(*file);
    if (std::string refusal = LinkRefusal(files); !refusal.empty()) return refusal;
    // Leftovers of killed rebuilds would take the names of its new files.
    FbRemoveRebuildLeftovers(fileblockName);
    for (const TFileState* file : {&files.data, &files.index, &files.dialog})
        if ((file->problem == TFileProblem::None || file == &files.index) && AllNamesTaken(file->path))
            return "Rebuilding the index of " + files.data.path + ": " + NamesTakenText(file->path);

    const std::string stamp = platform::FormatDateTime("yyyymmdd-hhnnss", platform::CurrentClock().Now(),
                                                       platform::FormatSettings())
                                  .toStdString();
    std::vector<std::string> present;
    for (const TFileState* file : {&files.data, &files.index, &files.dialog})
        if (file->problem == TFileProblem::None) present.push_back(file->path);
    const int first = FirstFreeCopyName(present, stamp);
    std::vector<std::string> copies;
    for (const std::string& path : present)
        if (std::string failure = CopyAside(path, stamp, first, copies); !failure.empty()) return failure;

    RecordPlan plan;
    TReindexCounts counts;
    FbReindex(fileblockName, static_cast<std::int32_t>(kStoredRecordSize), kRecordKeyCount, RecordKeySpecs(),
              plan, counts, journal);
    if (!FbOk) {
        for (const TFileState* file : {&files.index, &files.dialog})
            if (FbErrorCode == fberr::kAccessNotPossible && AllNamesTaken(file->path))
                return "Rebuilding the index of " + files.data.path + ": " + NamesTakenText(file->path);
        return "Rebuilding the index of " + files.data.path + " (" + std::to_string(FbErrorCode) + " - " +
               FbErrorText(FbErrorCode) + ")";
    }
    plan.Fill(report);
    report.freeRecords = counts.free;
    report.copies = std::move(copies);
    report.journalSetAside = journal == TLeftoverJournalUse::SetAside;
    return {};
}

std::string RecoveredBodyNote(std::int32_t oldBody) {
    return std::string(kRecoveredNoteStem) + std::to_string(oldBody) + ")";
}

std::string RebuildQuestionText() {
    return "The index of the data file must be rebuilt before the records can be used.\n\n"
           "Rebuild it from the data file now? Copies of the files as they are now are kept in the data "
           "folder.";
}

std::string RebuildWithoutJournalQuestionText(const std::string& dialogPath) {
    return "The journal of the last session in " + dialogPath +
           " could not be used, so a change it would have undone may be left half done in a record. "
           "The index of the data file must be rebuilt before the records can be used.\n\n"
           "Rebuild it from the data file now, without the journal? Copies of the files as they are now, "
           "the journal among them, are kept in the data folder.";
}

std::string RebuildReportText(const TRebuildReport& report) {
    std::string text = "The index was rebuilt from the data file: " +
                       Counted(report.bodies, "body of water", "bodies of water") + " and " +
                       Counted(report.tests, "test", "tests") + ".";
    if (report.freeRecords == 1)
        text += " The file also has 1 unused place (where a body of water or a test was deleted, for "
                "instance); the next one added fills it.";
    if (report.freeRecords > 1)
        text += " The file also has " + std::to_string(report.freeRecords) +
                " unused places (where bodies of water or tests were deleted, for instance); the next ones "
                "added fill them.";
    if (!report.recovered.empty()) {
        std::int32_t tests = 0;
        for (const TRecoveredTests& recovered : report.recovered)
            tests += recovered.tests;
        const bool one = report.recovered.size() == 1;
        text += "\n\n" + Counted(tests, "test", "tests") + " whose body of water is missing " +
                (tests == 1 ? "is" : "are") + " now listed under " +
                (one ? "a new body of water of its own: " : "new bodies of water of their own: ");
        for (std::size_t i = 0; i < report.recovered.size() && i < kRecoveredNamed; ++i) {
            const TRecoveredTests& recovered = report.recovered[i];
            text += (i == 0 ? "\"" : ", \"") + RecoveredBodyNote(recovered.oldBody) + "\" with " +
                    Counted(recovered.tests, "test", "tests");
        }
        if (report.recovered.size() > kRecoveredNamed) text += ", ...";
        text += ".";
    }
    if (report.journalSetAside)
        text += "\n\nThe journal of the last session could not be used and was left out: a record it would "
                "have put back may be half done. The journal is among the copies.";
    text += "\n\nCopies of the files as they were:";
    for (const std::string& copy : report.copies)
        text += "\n" + copy;
    return text;
}

std::string RebuildDeclinedText() {
    return "The index was not rebuilt. The records were left as they are in the data folder: nothing "
           "was changed.\n\nThe next start of Brinova Vesk+ offers the rebuild again.";
}

std::string RebuildFailedText(const std::string& reason) {
    return "The index could not be rebuilt: " + reason + ".\n\nIts records were left as they were.";
}
