#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Reads a Fileblock's index file byte by byte, independently of the engine's own code, and
// checks every B-tree in it: keys in order, every non-root page 31..62 items, all leaves at
// one depth, height at most 8, every page reachable once, reachable and free pages covering
// exactly the allocated ones, an acyclic free chain as long as the free count, and the
// entry count equal to the items.
namespace storagetest {

struct KeyReport {
    int keyLength = 0;
    bool duplicates = false;
    std::int32_t root = 0;
    std::int32_t allocated = 0;
    std::int32_t freeCount = 0;
    std::int32_t entryCount = 0;
    int height = 0;
    std::vector<std::int32_t> freeChain;
    std::vector<std::pair<std::string, std::int32_t>> entries; // in stored order
    // Item counts of the tree, each page followed by its children in brackets:
    // "1(31 31)" is a root of one item over two leaves of 31.
    std::string shape;
    // Page number -> item count, for the live pages.
    std::vector<std::pair<std::int32_t, int>> pages;
};

struct IndexReport {
    std::vector<std::string> faults; // empty: every key is sound
    std::vector<KeyReport> keys;     // key 1 first
    // Every byte that has meaning (headers, the used part of live pages, free links), so that
    // two files with the same content compare equal whatever stale bytes they carry.
    std::string significant;

    bool Sound() const { return faults.empty(); }
    std::string FaultText() const;
};

// `dataPath` gives the number of keys (data header offset 16).
IndexReport CheckIndexFile(const std::string& dataPath, const std::string& indexPath);

} // namespace storagetest
