#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Rebuilds the index of the program's Fileblock from its data file alone, for a file that a
// crash left marked in use or whose index file is gone. The three files are first copied aside
// (their names + "." + a timestamp); nothing is ever deleted.
//
// A record is live when its free-chain word is 0 and its kind is a body or a test. Key 1 gets
// every live body, key 2 every live test of a live body; a live test whose body is not live is
// kept as a record but not indexed; every other record goes on the free chain. The counters come
// from the file's size. The new index is written to a temporary file, brought to the disk and
// renamed over the old one; the in-use mark is cleared last, so a rebuild cut short is simply
// done again.

struct TRebuildReport {
    std::int32_t bodies = 0;
    std::int32_t tests = 0;
    std::int32_t freeRecords = 0;
    std::vector<std::int32_t> orphanTests; // kept, not indexed
    std::vector<std::string> copies;       // the copies made, in the data folder
};

// Needs the storage engine started and the Fileblock closed. Empty on success, else what went
// wrong (the files are then as they were, but for free records' chain words).
std::string RebuildIndex(const std::string& fileblockName, TRebuildReport& report);

// The question asked before a rebuild and the box telling what was rebuilt.
std::string RebuildQuestionText();
std::string RebuildReportText(const TRebuildReport& report);
std::string RebuildFailedText(const std::string& reason);
