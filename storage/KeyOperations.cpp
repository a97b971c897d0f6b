// The public key operations: find, step and rewind a key's cursor, insert and remove entries.
#include "storage/BTree.h"
#include "storage/BTreePages.h"
#include "storage/FilePrimitives.h"
#include "storage/Fileblock.h"
#include "storage/Journal.h"
#include "storage/KeyHeader.h"
#include "storage/Slots.h"

#include <string>
#include <string_view>

using namespace storage;

namespace {

constexpr std::uint16_t kModeRead = kModeKey | kModeReadLock;                   // 0x600
constexpr std::uint16_t kModeChange = kModeChanges | kModeKey | kModeNeedsLock; // 0xD00

// Key texts longer than any key are cut before anything else.
std::string_view CutKeyText(const std::string& text) {
    return std::string_view(text).substr(0, kFbMaxKeyLength);
}

// The commit of a save-mode key change: every changed page and key header, then the flush.
void CommitIndex(Fileblock& fb) {
    FlushIndex(fb, false);
    FileFlush(fb.indexFile, fb.network != nullptr);
}

// After the tree change of a save-mode insert or removal: its journal step ends, committed or
// replayed (`undoneCode` when a failure was undone). A refusal changed nothing.
void EndSaveModeChange(Fileblock& fb, std::uint16_t key, TreeOutcome outcome, const Descriptor& before,
                       std::int32_t undoneCode) {
    if (outcome == TreeOutcome::Missing) {
        fb.journal.pending.clear();
        return;
    }
    if (outcome == TreeOutcome::Done) {
        JournalHeader(fb, key, KeyHeaderImage(before), kNoChainLink);
        if (FbOk && CommitJournalStep(fb, CommitIndex)) return;
    }
    Descriptor& descriptor = fb.Key(key);
    descriptor = before;
    descriptor.cursorValid = false;
    UndoJournalStep(fb, undoneCode);
}

} // namespace

void FbRewindKey(Fileblock* handle, std::uint16_t key) try {
    OperationScope op(handle, kModeRead, key);
    if (!op.Passed()) return;
    Fileblock* fb = op.Open();
    Descriptor& descriptor = fb->Key(key);
    descriptor.pathDepth = 0;
    descriptor.cursorValid = true;
} catch (...) {
    FailOnException();
}

void FbStepKey(Fileblock* handle, std::uint16_t key, std::int32_t& reference, std::string& keyText) try {
    OperationScope op(handle, kModeRead, key);
    if (!op.Passed()) return;
    Fileblock* fb = op.Open();
    Descriptor& descriptor = fb->Key(key);
    if (descriptor.pathDepth == 0) descriptor.cursorValid = true;
    KeyPages pages(*fb, key);
    KeyEntry entry{reference, std::string(CutKeyText(keyText))};
    switch (StepNext(pages, descriptor, entry)) {
    case TreeOutcome::Done:
        reference = entry.reference;
        keyText = std::move(entry.text);
        break;
    case TreeOutcome::Missing:
        Fail(fberr::kNoLargerKey);
        break;
    case TreeOutcome::Failed:
        break;
    }
} catch (...) {
    FailOnException();
}

void FbFindKey(Fileblock* handle, std::uint16_t key, std::int32_t& reference,
               const std::string& keyText) try {
    const std::string_view text = CutKeyText(keyText);
    OperationScope op(handle, kModeRead, key);
    if (!op.Passed()) return;
    Fileblock* fb = op.Open();
    Descriptor& descriptor = fb->Key(key);
    KeyPages pages(*fb, key);
    reference = 0;
    std::int32_t found = 0;
    TreeOutcome outcome = SearchKey(pages, descriptor, found, text);
    if (outcome == TreeOutcome::Missing && descriptor.duplicates) {
        // The search for (text, 0) stops just before the text's first entry, if there is one.
        KeyEntry next;
        outcome = StepNext(pages, descriptor, next);
        if (outcome == TreeOutcome::Done && next.text != text) outcome = TreeOutcome::Missing;
        found = next.reference;
    }
    if (outcome == TreeOutcome::Done) {
        reference = found;
        return;
    }
    if (outcome == TreeOutcome::Missing || FbErrorCode == 0 || (FbErrorCode >= 10200 && FbErrorCode <= 10299))
        Fail(fberr::kNoMatchingKey);
} catch (...) {
    FailOnException();
}

void FbInsertKey(Fileblock* handle, std::uint16_t key, std::int32_t reference,
                 const std::string& keyText) try {
    const std::string_view text = CutKeyText(keyText);
    OperationScope op(handle, kModeChange, key);
    if (!op.Passed()) return;
    Fileblock* fb = op.Open();
    Descriptor& descriptor = fb->Key(key);
    if (text.size() > descriptor.keyLength) {
        Fail(fberr::kKeyTooLong);
        return;
    }
    MarkInUse(*fb);
    if (!FbOk) return;
    const Descriptor before = descriptor;
    KeyPages pages(*fb, key);
    if (fb->saveMode) {
        BeginJournalStep(*fb);
        const TreeOutcome outcome = InsertEntry(pages, descriptor, reference, text);
        if (outcome == TreeOutcome::Done) descriptor.headerChanged = true;
        if (outcome == TreeOutcome::Missing) Fail(fberr::kDuplicateKey);
        if (outcome == TreeOutcome::Failed && FbErrorCode == 0) Fail(fberr::kDuplicateKey);
        EndSaveModeChange(*fb, key, outcome, before, fberr::kSaveModeInsertUndone);
        return;
    }
    switch (InsertEntry(pages, descriptor, reference, text)) {
    case TreeOutcome::Done:
        descriptor.headerChanged = true;
        break;
    case TreeOutcome::Missing:
        Fail(fberr::kDuplicateKey);
        break;
    case TreeOutcome::Failed:
        pages.Undo(before);
        if (FbErrorCode == 0) Fail(fberr::kDuplicateKey);
        break;
    }
} catch (...) {
    FailOnException();
}

void FbRemoveKey(Fileblock* handle, std::uint16_t key, std::int32_t reference,
                 const std::string& keyText) try {
    const std::string_view text = CutKeyText(keyText);
    OperationScope op(handle, kModeChange, key);
    if (!op.Passed()) return;
    Fileblock* fb = op.Open();
    MarkInUse(*fb);
    if (!FbOk) return;
    Descriptor& descriptor = fb->Key(key);
    const Descriptor before = descriptor;
    KeyPages pages(*fb, key);
    if (fb->saveMode) {
        BeginJournalStep(*fb);
        const TreeOutcome outcome = RemoveEntry(pages, descriptor, reference, text);
        if (outcome == TreeOutcome::Done) descriptor.headerChanged = true;
        if (outcome == TreeOutcome::Missing) Fail(fberr::kKeyToDeleteNotFound);
        if (outcome == TreeOutcome::Failed && FbErrorCode == 0) Fail(fberr::kKeyToDeleteNotFound);
        EndSaveModeChange(*fb, key, outcome, before, fberr::kSaveModeRemoveUndone);
        return;
    }
    switch (RemoveEntry(pages, descriptor, reference, text)) {
    case TreeOutcome::Done:
        descriptor.headerChanged = true;
        break;
    case TreeOutcome::Missing:
        Fail(fberr::kKeyToDeleteNotFound);
        break;
    case TreeOutcome::Failed:
        pages.Undo(before);
        if (FbErrorCode == 0) Fail(fberr::kKeyToDeleteNotFound);
        break;
    }
} catch (...) {
    FailOnException();
}
