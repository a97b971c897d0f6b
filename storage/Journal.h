#pragma once

#include "storage/DataFile.h"
#include "storage/Fileblock.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// The save-mode journal in the dialog file: before a change alters an index page, a header or
// a record's chain word for the first time, the old content is journaled; a change that
// succeeds resets the journal, one that fails (or a journal found at open) is replayed,
// putting every before-image back.
//
// Dialog file: byte 0 not significant, then records, each opened by a 16-bit tag:
//   1..62  page record: n, key, 2 spare bytes, the n packed items, page number, leftmost child
//   1000   header record: index (0 data, k key k), 28-byte image, chain link (-2 none)
//   2000   end of the records
//   3000   record image: 2 spare bytes, record number, the record's bytes as they were
//          (only while a record is being rewritten)
// Between changes it is byte 0 alone. Records reach the file in batches, each behind an end
// tag (the first batch brings its own) and closed by one; only once a batch is on the disk is
// the end tag in front of it overwritten by its first tag, so a batch cut short by a crash is
// never replayed in part.
namespace storage {

struct PageBufferNode;

constexpr std::uint16_t kJournalHeaderTag = 1000;
constexpr std::uint16_t kJournalEndTag = 2000;
constexpr std::uint16_t kJournalRecordTag = 3000;
constexpr std::int32_t kNoChainLink = -2;

using HeaderImageBytes = std::array<unsigned char, kKeyHeaderBytes>; // 28 bytes

// The data header's 21 bytes (in-use 0) followed by 7 zero bytes.
HeaderImageBytes DataHeaderJournalImage(const Fileblock& fb);

// A changing operation begins: nothing is journaled in it yet.
void BeginJournalStep(Fileblock& fb);
// The page's current content is journaled once per operation, before its first change.
void JournalPage(Fileblock& fb, PageBufferNode& node);
bool HeaderJournaled(const Fileblock& fb, int index);
// Header `index` as it was before the operation changed it (image), once per operation;
// `chainLink` is what the image's first free slot held when a slot was taken from the chain.
void JournalHeader(Fileblock& fb, int index, const HeaderImageBytes& image, std::int32_t chainLink);
// Before a free overwrites the first 4 bytes of data record `record` with its chain link,
// they are journaled as a header record that puts them back: the data header as the free
// leaves it, with those bytes as the link of its first free slot. A word of -2 cannot be put
// so (it means "no link"); false then, and only the undo from memory can restore it.
bool JournalRecordWord(Fileblock& fb, std::int32_t record, const std::array<unsigned char, 4>& word);
// Before a rewrite overwrites data record `record`, its bytes as they were (`before`, one
// record long) are journaled, so that a rewrite cut short is put back whole.
void JournalRecordImage(Fileblock& fb, std::int32_t record, std::span<const unsigned char> before);
// Write-ahead: every journaled record reaches the disk before a file change that relies on it.
void FlushJournal(Fileblock& fb);
// The same, when the Fileblock journals and records are waiting.
void EnsureWriteAhead(Fileblock& fb);

// Empties the journal: an end tag over its first record, on the disk, then the dialog file
// is cut back to byte 0 alone (a cut that does not reach the disk leaves the end tag first,
// which holds nothing).
void ResetDialog(Fileblock& fb);
// Writes every before-image back in file order; a record that could not be one of this
// Fileblock's (key, page, item count, index, chain slot or header image out of place) ends it
// with 10180, the end of the file inside or before a record with 10070.
void ReplayDialog(Fileblock& fb);
// ReplayDialog, then the commit steps (data header, flushes) and ResetDialog. 10430 on a
// read-only Fileblock, 10180 when the replay or the commit failed.
void RepairFileblock(Fileblock& fb);

// The data headers a journal puts back, in file order: they tell which change it undoes, and
// whether it could be the journal of the data file it was found beside.
struct JournalDataHeaders {
    std::vector<DataHeader> images;
    std::int32_t lastLink = kNoChainLink; // the chain link of the last image
    bool recordImage = false;             // it puts a whole record back (a rewrite)
};
// It undoes an append at the end of the records: the one change whose record a replay cuts off.
bool UndoesAppendAtEnd(const JournalDataHeaders& journal);
// `file`, the data header on the disk, is the state before the journal's change or the one the
// change leaves: the journal may be this data file's. One without a data header names none.
bool FitsDataHeader(const JournalDataHeaders& journal, const DataHeader& file);
// The same for a data file known only by the `records` its size holds.
bool FitsRecordCount(const JournalDataHeaders& journal, std::int32_t records);

// Checks every record of the journal in the dialog file against the Fileblock, writing
// nothing: false (10180, or a read failure's code) when it could not be replayed whole.
// `dataHeaders`: the data headers it puts back.
bool CheckJournal(Fileblock& fb, JournalDataHeaders& dataHeaders);

// What a dialog file found beside a data file holds.
enum class DialogContent { Empty, CleanTable, Journal };
DialogContent ExamineDialog(FileRecord& dialog, int numberOfKeys);

// A journal left in a dialog file as a reindex sees it: for a data file of `recordLength`-byte
// records whose keys are `keyLengths` long, what it puts back into the data file (record
// images, chain words, the count), checked whole; the index is made anew.
// A journal whose data header could not be that file's state one change ago is Unusable.
enum class LeftoverJournal { None, Replayable, Unusable };
// `putsBackRecords`, when given: a Replayable one writes into the data file (it holds more than
// pages and key headers of the index).
LeftoverJournal ExamineLeftoverJournal(FileRecord& dialog, FileRecord& data, std::int32_t recordLength,
                                       const std::vector<int>& keyLengths, bool* putsBackRecords = nullptr);
// Puts that back (the data file cut to the count when an append is undone) and flushes the data
// file; false, with nothing written, when the journal cannot be replayed whole or is not the
// data file's.
bool ReplayLeftoverJournal(FileRecord& dialog, FileRecord& data, std::int32_t recordLength,
                           const std::vector<int>& keyLengths);

// Ends a save-mode change that succeeded: the journal reaches the disk, then `commit` (the
// changed pages and headers, flushed), then the journal is reset. False when a step failed.
bool CommitJournalStep(Fileblock& fb, void (*commit)(Fileblock& fb));
// Ends a save-mode change that failed (in the change or its commit), once the caller has put
// its state in memory back: the journal is replayed, and `undoneCode` reports the change
// undone. A repair that failed leaves its own code and the Fileblock damaged.
void UndoJournalStep(Fileblock& fb, std::int32_t undoneCode);

} // namespace storage
