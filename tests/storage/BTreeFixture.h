#pragma once

#include "StructureChecker.h"
#include "TempFolder.h"

#include "storage/Storage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace storagetest {

// A folder of its own for each test, the engine started with a given number of page
// buffers, and Fileblocks of 464-byte records made in it.
class BTreeFixture : public ::testing::Test {
protected:
    void TearDown() override;

    void StartEngine(int buffers);
    // Creates `name` with the given keys (length, duplicates) and opens it.
    Fileblock* CreateAndOpen(const std::string& name, const std::vector<TKeySpec>& keys);
    Fileblock* Open(const std::string& name);
    void Close(Fileblock*& fb);
    // Closes, checks the index file's structure and opens again.
    Fileblock* Reopen(Fileblock*& fb, const std::string& name);
    IndexReport Check(const std::string& name) const;
    // Makes `name` a Fileblock with one key of length 1 holding `levels` levels of full pages:
    // page 1 is the root, pages 2k and 2k + 1 form level k + 1, the first of them always the
    // one a search for a text below all others goes into, its sibling full too. Then
    // `freePages` free pages, chained in ascending order.
    void WriteDeepIndex(const std::string& name, int freePages, int levels = 8);

    std::string Path(const std::string& name) const { return folder_.File(name); }
    std::string DataPath(const std::string& name) const { return Path(name) + ".DAT"; }
    std::string IndexPath(const std::string& name) const { return Path(name) + ".IX"; }

    test::TempFolder folder_;
};

// Record key as the program writes it: a number right-aligned in 8 characters.
std::string RecordKey(std::int32_t n);

} // namespace storagetest
