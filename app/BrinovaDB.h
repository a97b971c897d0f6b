#pragma once

#include "engine/BrinovaDEF.h"
#include "storage/Storage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The program's only road to the storage engine: its one Fileblock "zelp.DAT" (with index and
// dialog files), the stored record and its key, and the operations the windows use. Every
// failure is shown in one error box (ShowDataError); nothing throws.

// ---- Stored record -----------------------------------------------------------------------

constexpr std::size_t kStoredRecordSize = 464; // the record length of the data file
using TStoredBytes = std::array<unsigned char, kStoredRecordSize>;

enum TRecordKind : std::int32_t { rkBody = 1, rkTest = 2 };

namespace stored_offset {
constexpr std::size_t freeChain = 0, kind = 4, parent = 8, reserved = 12, block = 16;
}

// One record of the data file: a header of four 32-bit words, then a body block (kind 1) or a
// test block (kind 2). Only the block of the record's kind is read and written.
struct TStoredRecord {
    std::int32_t freeChain = 0; // 0 in a live record; the engine's link once freed
    std::int32_t kind = 0;      // TRecordKind
    std::int32_t parent = 0;    // the body's record number in a test; 0 in a body
    std::int32_t reserved = 0;
    TBodyData body;
    TTestData test;

    static TStoredRecord Decode(const TStoredBytes& bytes);
    // Every byte outside the header and the kind's block is 0.
    TStoredBytes Encode() const;
};

// The kind of a live record (free-chain word 0, the kind of a body or a test) in a record's
// bytes, which hold at least its header; 0 for any other record.
std::int32_t LiveKind(const unsigned char* bytes);

// The data file's two keys, each of length 16: key 1 (no duplicates) holds one entry per body
// (text and reference: its record number), key 2 (duplicates) one per test (text: its body's
// record number, reference: its own).
constexpr std::uint16_t kRecordKeyCount = 2;
TKeySpecs RecordKeySpecs();

// The record number as decimal text of at least 8 characters, right-aligned with blanks,
// so that key texts sort in numeric order.
std::string MakeRecordKey(std::int32_t record);

// One entry of the body and test lists: a record number.
struct TRecItem {
    explicit TRecItem(std::int32_t record) : recordNumber(record) {}
    std::int32_t recordNumber;
};
using TRecList = std::vector<TRecItem>;

// ---- Unit start and end --------------------------------------------------------------------

// Starts the storage engine: single user, 8 page buffers. False when it could not start.
bool StartBrinovaDB();
// Stops the engine, which closes the Fileblock if it is still open.
void StopBrinovaDB();

// ---- Opening and closing -------------------------------------------------------------------

// Opens the Fileblock in save mode (a crash is repaired by its journal at the next open);
// creates it when none of its files is there. A file that cannot be used as a plain file
// (read and written), or a data file missing beside its index or dialog file, gets one box
// naming it, and nothing is changed. Files another program holds open get a box saying so
// after the engine's. A failure the index alone explains is offered an index rebuild (No gets a
// box saying that nothing was changed), and so is an index whose entries are not those of the
// live records (IndexDamage). On failure the boxes have been shown and no Fileblock is open.
void OpenRec(const std::string& fileName);
void CloseRec();
// The open Fileblock, or nullptr.
Fileblock* RecordFileblock();

// ---- Records -------------------------------------------------------------------------------

// Append the record with its header set (kind, parent) and its key; the new record number or
// -1. They show no box: the caller reports.
std::int32_t AddBodyRecord(TStoredRecord& record);
std::int32_t AddTestRecord(TStoredRecord& record, std::int32_t body);

std::int32_t AddBody(TStoredRecord& body);
// The body's record number or -1; a failed test part leaves the body stored.
std::int32_t AddBodyAddTest(TStoredRecord& body, TStoredRecord& test);
void PutBodyAddTest(std::int32_t bodyNumber, const TStoredRecord& body, TStoredRecord& test);
void PutBodyPutTest(std::int32_t bodyNumber, std::int32_t testNumber, const TStoredRecord& body,
                    const TStoredRecord& test);

// Removes the key first and frees the record only then, so no key is left pointing at a freed
// record.
void DeleteTest(std::int32_t body, std::int32_t test);
// Deletes the body's tests as the index lists them (the caller's `tests` are the ones it
// shows; an entry that is not one of the body's tests is never deleted), then the body. When
// its tests cannot all be listed the body stays.
void DeleteBodyAndTests(std::int32_t body, const TRecList& tests);

// True when read (written); a failure shows the box labelled "GetRec" ("PutRec").
bool GetRec(std::int32_t record, TStoredBytes& buffer);
bool GetRec(std::int32_t record, TStoredRecord& stored);
bool PutRec(std::int32_t record, const TStoredRecord& stored);

// Appends the live bodies in ascending record number. False (after a box) when the index or a
// record could not be read: the list is then incomplete. A failure the index alone explains is
// offered the index rebuild, and after it the list is made again.
bool ListBodies(TRecList& list);
// Appends the body's tests, newest first (date + time; equal ones keep their key order).
// Entries whose record is not a live test of that body are left out. False (after a box) when
// the list is incomplete. The rebuild is offered as for ListBodies.
bool ListTests(std::int32_t body, TRecList& list);

std::int32_t LiveRecordCount();

// True when a record can be stored now (a Fileblock is open); otherwise the box of the engine's
// code has been shown under `label`, the label the command would have stored under. Commands
// ask before their form opens, so that nothing typed in is thrown away.
bool RecordsCanBeStored(const std::string& label);

// What is wrong with one of the Fileblock's files, naming it: "The data file /d/zelp.DAT is
// missing." and the like.
std::string FileProblemText(const TFileState& file);

// The box after the open's when another program holds the files: what happened and what to do.
std::string HeldByAnotherProgramText(const std::string& dataPath);

// "Data read/write error! (" label ": " code " - " engine text ")", caption "Error".
void ShowDataError(std::int32_t code, const std::string& label);
std::string DataErrorText(std::int32_t code, const std::string& label);
