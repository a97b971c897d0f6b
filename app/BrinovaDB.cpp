#include "BrinovaDB.h"

#include "IndexCheck.h"
#include "IndexRebuild.h"

#include "platform/Cp1252.h"
#include "platform/FileOps.h"
#include "platform/LittleEndian.h"
#include "platform/MessageBox.h"
#include "storage/Storage.h"

#include <algorithm>
#include <cstring>

namespace {

Fileblock* gRecords = nullptr;
std::string gFileName; // of the last OpenRec

constexpr std::uint16_t kBodyKey = 1;
constexpr std::uint16_t kTestKey = 2;
constexpr std::size_t kMinimumKeyWidth = 8;

void OpenSaveMode(const std::string& fileName) {
    FbOpen(gRecords, fileName, false, false, true, false);
}

// Shows what failed under `label` unless the last engine call succeeded; true on success.
bool Reported(const std::string& label) {
    if (FbOk) return true;
    ShowDataError(FbErrorCode, label);
    return false;
}

// The end of a key's entries, or no entry of that text: a list simply ends there.
bool EndOfEntries(std::int32_t code) {
    return code == fberr::kNoLargerKey || code == fberr::kNoMatchingKey;
}

// Reads a record for a list; false (after the box) when it could not be read.
bool ReadListed(std::int32_t record, TStoredRecord& stored, const std::string& label) {
    TStoredBytes bytes{};
    FbReadRecord(gRecords, record, bytes);
    if (!Reported(label)) return false;
    stored = TStoredRecord::Decode(bytes);
    return true;
}

// Failures that a damaged or missing index explains, when the data file reads sound: the
// rebuild then makes the records reachable again (it refuses a data file it cannot read).
bool ExplainedByIndex(std::int32_t code) {
    switch (code) {
    case fberr::kFileDefect:
    case fberr::kReadError: // an index file cut short
    case fberr::kPageSizeIncompatible:
    case fberr::kMaxKeyLenTooSmall:
    case fberr::kMaxPageSizeTooSmall:
        return true;
    default:
        return false;
    }
}

std::string ProblemWords(TFileProblem problem) {
    switch (problem) {
    case TFileProblem::None:
        return "can be used";
    case TFileProblem::Missing:
        return "is missing";
    case TFileProblem::DanglingLink:
        return "is a link to a file that is not there";
    case TFileProblem::NotPlainFile:
        return "is not a plain file (it is a folder, a pipe or a device)";
    case TFileProblem::ReadOnly:
        return "is read-only";
    case TFileProblem::NoAccess:
        return "cannot be read and written by this user";
    }
    return {};
}

bool Present(const TFileState& file) {
    return file.problem != TFileProblem::Missing;
}

// The one box for files the Fileblock cannot be opened with as they are, before anything is
// opened or made; true when there was one.
bool ShowFileProblem(const TFileSetState& files) {
    std::string text;
    const TFileState* companion = Present(files.index)    ? &files.index
                                  : Present(files.dialog) ? &files.dialog
                                                          : nullptr;
    if (files.data.problem == TFileProblem::Missing && companion != nullptr)
        text = "The data file " + files.data.path + " is missing, but " + companion->path +
               " of the same records is still there.";
    for (const TFileState* file : {&files.data, &files.index, &files.dialog})
        if (text.empty() && file->problem != TFileProblem::None && file->problem != TFileProblem::Missing)
            text = FileProblemText(*file);
    if (text.empty()) return false;
    platform::Messages().Show(
        nullptr, "Error",
        QString::fromStdString(text + "\n\nThe records were not opened, and nothing was changed."),
        platform::MessageIcon::Error, platform::MessageButtons::Ok);
    return true;
}

// Whether another process holds one of the Fileblock's files open (a second copy of the program,
// say): the files are opened unshared, so a lock of our own taken and let go at once tells.
bool HeldElsewhere(const TFileSetState& files) {
    for (const TFileState* file : {&files.data, &files.index, &files.dialog}) {
        if (file->problem != TFileProblem::None) continue;
        platform::FileHandle handle = -1;
        const platform::SystemError error =
            platform::Files().Open(file->path, platform::FileDisposition::OpenExisting,
                                   platform::FileAccess::ReadOnly, platform::FileSharing::Exclusive, handle);
        if (error == platform::win32::kSuccess) platform::Files().Close(handle);
        if (error == platform::win32::kSharingViolation) return true;
    }
    return false;
}

// After a failed open's box: when another program holds the files, a box that says so and what
// to do; true then.
bool ShownHeldElsewhere(const std::string& fileName) {
    const TFileSetState files = FbCheckFiles(fileName);
    if (!HeldElsewhere(files)) return false;
    platform::Messages().Show(nullptr, "Records in use",
                              QString::fromStdString(HeldByAnotherProgramText(files.data.path)),
                              platform::MessageIcon::Warning, platform::MessageButtons::Ok);
    return true;
}

// An open that failed so is one the rebuild may mend: a damaged index, or a journal the
// engine could not replay (the rebuild replays it, or goes on without it when asked to).
bool RebuildMayMend(std::int32_t openCode) {
    return ExplainedByIndex(openCode) || openCode == fberr::kRepairFailed;
}

// The journal the rebuild would find in the dialog file: one it cannot replay is set aside
// only after a question that says so.
TLeftoverJournalUse JournalUseToAsk(const std::string& fileName, std::string& question) {
    const TLeftoverJournal journal = FbCheckJournal(fileName, static_cast<std::int32_t>(kStoredRecordSize),
                                                    kRecordKeyCount, RecordKeySpecs());
    if (journal == TLeftoverJournal::Unusable) {
        question = RebuildWithoutJournalQuestionText(FbCheckFiles(fileName).dialog.path);
        return TLeftoverJournalUse::SetAside;
    }
    question = RebuildQuestionText();
    return TLeftoverJournalUse::Replay;
}

// Asks, rebuilds and opens the rebuilt Fileblock; true when it is open. The Fileblock must be
// closed.
bool OfferIndexRebuild(const std::string& fileName) {
    using platform::MessageAnswer;
    using platform::MessageButtons;
    using platform::MessageIcon;
    std::string question;
    const TLeftoverJournalUse journal = JournalUseToAsk(fileName, question);
    const MessageAnswer answer =
        platform::Messages().Show(nullptr, "Rebuild index", platform::FromCp1252(question),
                                  MessageIcon::Question, MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes) {
        platform::Messages().Show(nullptr, "Rebuild index", QString::fromStdString(RebuildDeclinedText()),
                                  MessageIcon::Information, MessageButtons::Ok);
        return false;
    }
    TRebuildReport report;
    const std::string failure = RebuildIndex(fileName, report, journal);
    if (!failure.empty()) {
        platform::Messages().Show(nullptr, "Error", QString::fromStdString(RebuildFailedText(failure)),
                                  MessageIcon::Error, MessageButtons::Ok);
        return false;
    }
    OpenSaveMode(fileName);
    if (!Reported("OpenRec")) return false;
    platform::Messages().Show(nullptr, "Rebuild index", QString::fromStdString(RebuildReportText(report)),
                              MessageIcon::Information, MessageButtons::Ok);
    return true;
}

// After a list failed (its box shown) with `code`: when the index explains it, the rebuild is
// offered; true when the Fileblock was rebuilt and the list can be made again. Declined or
// failed, the Fileblock is opened again as it was.
bool RebuiltAfterListFailure(std::int32_t code) {
    if (gRecords == nullptr || !ExplainedByIndex(code)) return false;
    CloseRec();
    if (OfferIndexRebuild(gFileName)) return true;
    if (gRecords == nullptr) {
        OpenSaveMode(gFileName);
        if (!Reported("OpenRec")) ShownHeldElsewhere(gFileName);
    }
    return false;
}

// An index in order may still not be that of the records (a byte of an entry changed), and a
// record it leaves out is shown nowhere: it is offered the rebuild as a damaged one is.
void OfferRebuildForAnIndexThatHidesRecords(const std::string& fileName) {
    const std::int32_t damage = IndexDamage(gRecords);
    if (damage == 0) return;
    ShowDataError(damage, "OpenRec");
    if (!RebuildMayMend(damage)) return;
    CloseRec();
    OfferIndexRebuild(fileName);
}

} // namespace

// ---- Stored record -----------------------------------------------------------------------

TStoredRecord TStoredRecord::Decode(const TStoredBytes& bytes) {
    TStoredRecord stored;
    stored.freeChain = platform::GetI32(bytes.data(), stored_offset::freeChain);
    stored.kind = platform::GetI32(bytes.data(), stored_offset::kind);
    stored.parent = platform::GetI32(bytes.data(), stored_offset::parent);
    stored.reserved = platform::GetI32(bytes.data(), stored_offset::reserved);
    if (stored.kind == rkBody) stored.body = TBodyData::Decode(bytes.data() + stored_offset::block);
    if (stored.kind == rkTest) stored.test = TTestData::Decode(bytes.data() + stored_offset::block);
    return stored;
}

std::int32_t LiveKind(const unsigned char* bytes) {
    const std::int32_t kind = platform::GetI32(bytes, stored_offset::kind);
    const bool live =
        platform::GetI32(bytes, stored_offset::freeChain) == 0 && (kind == rkBody || kind == rkTest);
    return live ? kind : 0;
}

TStoredBytes TStoredRecord::Encode() const {
    TStoredBytes bytes{};
    platform::PutI32(bytes.data(), stored_offset::freeChain, freeChain);
    platform::PutI32(bytes.data(), stored_offset::kind, kind);
    platform::PutI32(bytes.data(), stored_offset::parent, parent);
    platform::PutI32(bytes.data(), stored_offset::reserved, reserved);
    if (kind == rkBody) {
        const TBodyBytes block = body.Encode();
        std::memcpy(bytes.data() + stored_offset::block, block.data(), block.size());
    }
    if (kind == rkTest) {
        const TTestBytes block = test.Encode();
        std::memcpy(bytes.data() + stored_offset::block, block.data(), block.size());
    }
    return bytes;
}

TKeySpecs RecordKeySpecs() {
    TKeySpecs keys{};
    keys[0] = {16, false}; // key 1: one entry per body
    keys[1] = {16, true};  // key 2: the tests of each body
    return keys;
}

std::string MakeRecordKey(std::int32_t record) {
    std::string digits = std::to_string(record);
    if (digits.size() < kMinimumKeyWidth) digits.insert(0, kMinimumKeyWidth - digits.size(), ' ');
    return digits;
}

// ---- Unit start and end --------------------------------------------------------------------

bool StartBrinovaDB() {
    return FbStartEngine(0, 8) > 0;
}

void StopBrinovaDB() {
    FbStopEngine();
    gRecords = nullptr;
}

// ---- Opening and closing -------------------------------------------------------------------

void OpenRec(const std::string& fileName) {
    if (gRecords != nullptr) CloseRec();
    gFileName = fileName;
    const TFileSetState files = FbCheckFiles(fileName);
    if (ShowFileProblem(files)) return;
    OpenSaveMode(fileName);
    const bool noneThere = !Present(files.data) && !Present(files.index) && !Present(files.dialog);
    if (!FbOk && FbErrorCode == fberr::kFileNotFound && noneThere) {
        FbCreate(fileName, static_cast<std::int32_t>(kStoredRecordSize), kRecordKeyCount, RecordKeySpecs());
        if (FbOk) OpenSaveMode(fileName);
    }
    if (Reported("OpenRec")) {
        OfferRebuildForAnIndexThatHidesRecords(fileName);
        return;
    }
    const std::int32_t code = FbErrorCode;
    // Held by another program, the files are not to be touched, however damaged they may look.
    if (ShownHeldElsewhere(fileName)) return;
    if (RebuildMayMend(code)) OfferIndexRebuild(fileName);
}

void CloseRec() {
    if (gRecords == nullptr) return;
    FbClose(gRecords);
    gRecords = nullptr;
}

Fileblock* RecordFileblock() {
    return gRecords;
}

// ---- Records -------------------------------------------------------------------------------

std::int32_t AddBodyRecord(TStoredRecord& record) {
    record.freeChain = 0;
    record.kind = rkBody;
    record.parent = 0;
    std::int32_t n = 0;
    FbAppendRecord(gRecords, n, record.Encode());
    if (!FbOk) return -1;
    FbInsertKey(gRecords, kBodyKey, n, MakeRecordKey(n));
    return FbOk ? n : -1;
}

std::int32_t AddTestRecord(TStoredRecord& record, std::int32_t body) {
    record.freeChain = 0;
    record.kind = rkTest;
    record.parent = body;
    std::int32_t n = 0;
    FbAppendRecord(gRecords, n, record.Encode());
    if (!FbOk) return -1;
    FbInsertKey(gRecords, kTestKey, n, MakeRecordKey(body));
    return FbOk ? n : -1;
}

std::int32_t AddBody(TStoredRecord& body) {
    const std::int32_t n = AddBodyRecord(body);
    Reported("AddBodyAddTest");
    return n;
}

std::int32_t AddBodyAddTest(TStoredRecord& body, TStoredRecord& test) {
    const std::int32_t n = AddBodyRecord(body);
    if (FbOk && n > 0) AddTestRecord(test, n);
    Reported("AddBodyAddTest");
    return n;
}

void PutBodyAddTest(std::int32_t bodyNumber, const TStoredRecord& body, TStoredRecord& test) {
    if (PutRec(bodyNumber, body)) AddTestRecord(test, bodyNumber);
    Reported("PutBodyAddTest");
}

void PutBodyPutTest(std::int32_t bodyNumber, std::int32_t testNumber, const TStoredRecord& body,
                    const TStoredRecord& test) {
    if (PutRec(bodyNumber, body)) PutRec(testNumber, test);
    Reported("PutBodyPutTest");
}

void DeleteTest(std::int32_t body, std::int32_t test) {
    FbRemoveKey(gRecords, kTestKey, test, MakeRecordKey(body));
    if (FbOk) FbFreeRecord(gRecords, test);
    Reported("DeleteTest");
}

void DeleteBodyAndTests(std::int32_t body, const TRecList& /*shown: listed again below*/) {
    TRecList tests;
    if (!ListTests(body, tests)) return;
    for (const TRecItem& item : tests) {
        DeleteTest(body, item.recordNumber);
        if (!FbOk) break;
    }
    // The list ends on an engine failure (no further entry); an empty one goes straight on.
    if (tests.empty() || FbOk) {
        FbRemoveKey(gRecords, kBodyKey, body, MakeRecordKey(body));
        if (FbOk) FbFreeRecord(gRecords, body);
    }
    Reported("DeleteBodyAndTets");
}

bool GetRec(std::int32_t record, TStoredBytes& buffer) {
    FbReadRecord(gRecords, record, buffer);
    return Reported("GetRec");
}

bool GetRec(std::int32_t record, TStoredRecord& stored) {
    TStoredBytes bytes{};
    if (!GetRec(record, bytes)) return false;
    stored = TStoredRecord::Decode(bytes);
    return true;
}

bool PutRec(std::int32_t record, const TStoredRecord& stored) {
    FbWriteRecord(gRecords, record, stored.Encode());
    return Reported("PutRec");
}

namespace {

bool ListBodiesOnce(TRecList& list) {
    FbRewindKey(gRecords, kBodyKey);
    if (!Reported("ListBodies")) return false;
    for (;;) {
        std::int32_t reference = 0;
        std::string keyText;
        FbStepKey(gRecords, kBodyKey, reference, keyText);
        if (!FbOk) {
            if (EndOfEntries(FbErrorCode)) return true;
            return Reported("ListBodies");
        }
        TStoredRecord stored;
        if (!ReadListed(reference, stored, "ListBodies")) return false;
        if (stored.freeChain == 0 && stored.kind == rkBody) list.emplace_back(reference);
    }
}

bool ListTestsOnce(std::int32_t body, TRecList& list) {
    const std::string key = MakeRecordKey(body);
    std::vector<std::int32_t> references;
    std::int32_t reference = 0;
    FbFindKey(gRecords, kTestKey, reference, key);
    std::string keyText = key;
    while (FbOk && keyText == key) {
        references.push_back(reference);
        FbStepKey(gRecords, kTestKey, reference, keyText);
    }
    if (!FbOk && !EndOfEntries(FbErrorCode)) return Reported("ListTests");

    // Each record is read once, before the sort: a read failure shows its box here, not in the
    // middle of sorting.
    struct Dated {
        std::int32_t record;
        double when;
    };
    std::vector<Dated> tests;
    bool complete = true;
    for (std::int32_t record : references) {
        TStoredRecord stored;
        // After a failed read the rest are shown unchecked and undated (one box is enough);
        // the list is then incomplete, and nothing is deleted through it.
        if (complete && !ReadListed(record, stored, "ListTests")) complete = false;
        if (!complete) {
            tests.push_back({record, 0.0});
            continue;
        }
        if (stored.freeChain != 0 || stored.kind != rkTest || stored.parent != body) continue;
        tests.push_back({record, stored.test.date + stored.test.time});
    }
    std::stable_sort(tests.begin(), tests.end(),
                     [](const Dated& a, const Dated& b) { return a.when > b.when; });
    for (const Dated& test : tests)
        list.emplace_back(test.record);
    return complete;
}

} // namespace

bool ListBodies(TRecList& list) {
    const std::size_t start = list.size();
    if (ListBodiesOnce(list)) return true;
    if (!RebuiltAfterListFailure(FbErrorCode)) return false;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(start), list.end());
    return ListBodiesOnce(list);
}

bool ListTests(std::int32_t body, TRecList& list) {
    const std::size_t start = list.size();
    if (ListTestsOnce(body, list)) return true;
    if (!RebuiltAfterListFailure(FbErrorCode)) return false;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(start), list.end());
    return ListTestsOnce(body, list);
}

bool RecordsCanBeStored(const std::string& label) {
    // Asked of the engine, so that the box names its own code, as a store would have.
    FbLiveRecordCount(gRecords);
    return Reported(label);
}

std::int32_t LiveRecordCount() {
    return FbLiveRecordCount(gRecords);
}

std::string FileProblemText(const TFileState& file) {
    return "The file " + file.path + " " + ProblemWords(file.problem) + ".";
}

std::string HeldByAnotherProgramText(const std::string& dataPath) {
    return "Another program has the records in " + dataPath +
           " open (a second copy of Brinova Vesk+, for instance), so they cannot be used here. Nothing "
           "was changed.\n\nClose the other program, then start Brinova Vesk+ again.";
}

std::string DataErrorText(std::int32_t code, const std::string& label) {
    return "Data read/write error! (" + label + ": " + std::to_string(code) + " - " + FbErrorText(code) + ")";
}

void ShowDataError(std::int32_t code, const std::string& label) {
    platform::Messages().Show(nullptr, "Error", platform::FromCp1252(DataErrorText(code, label)),
                              platform::MessageIcon::Error, platform::MessageButtons::Ok);
}
