#pragma once

#include "storage/Storage.h"

#include <cstdint>
#include <string>
#include <vector>

// Rebuilds the index of the program's Fileblock from its data file alone, for a file that a
// crash left marked in use or whose index file is damaged or gone. The files are first copied
// aside (their names + "." + a timestamp, each written under a temporary name and named only
// once whole); nothing is ever deleted but what a killed rebuild left at its own temporary
// names. An index or dialog file that is a link is refused. The storage engine writes the new
// index; this side tells it which records are live and what their keys are.
//
// A record is live when its free-chain word is 0 and its kind is a body or a test. Key 1 gets
// every live body, key 2 every live test under its body. Live tests whose body is not a live
// body are put under a new body of their own, "Recovered tests", one per missing body, so they
// stay listed and a body that later takes the old number never adopts them. A body byte for
// byte as that new one would be (a rebuild killed before it had moved every test left it) takes
// them instead, so a rebuild run again ends as one run would. Every other record goes on the
// free chain.

struct TRecoveredTests {
    std::int32_t body = 0;    // the new body's record number
    std::int32_t oldBody = 0; // the body the tests named
    std::int32_t tests = 0;
};

struct TRebuildReport {
    std::int32_t bodies = 0; // the recovered ones included
    std::int32_t tests = 0;
    std::int32_t freeRecords = 0;
    std::vector<TRecoveredTests> recovered;
    std::vector<std::string> copies; // the copies made, in the data folder
    bool journalSetAside = false;    // the rebuild went on without the last session's journal
};

// Needs the storage engine started and the Fileblock closed. Empty on success, else what went
// wrong (the records are then all still there; the file may still need the rebuild).
// A journal left in the dialog file is replayed into the data file first; one that cannot be
// replayed stops the rebuild unless `journal` is SetAside (it is then kept among the copies).
std::string RebuildIndex(const std::string& fileblockName, TRebuildReport& report,
                         TLeftoverJournalUse journal = TLeftoverJournalUse::Replay);

// The note of a body made for recovered tests.
std::string RecoveredBodyNote(std::int32_t oldBody);

// The question asked before a rebuild and the box telling what was rebuilt.
std::string RebuildQuestionText();
// The question when the journal of the last session in `dialogPath` cannot be used.
std::string RebuildWithoutJournalQuestionText(const std::string& dialogPath);
std::string RebuildReportText(const TRebuildReport& report);
// The box after No to the rebuild's question.
std::string RebuildDeclinedText();
std::string RebuildFailedText(const std::string& reason);
