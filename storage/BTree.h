#pragma once

#include "storage/IndexPage.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace storage {

// What a key's B-tree needs of the page cache. A returned buffer stays valid only until the
// next call: with a small ring any fetch may reuse any buffer, so the tree fetches again
// instead of keeping one. Failures leave their code in the storage status.
class PageAccess {
public:
    virtual ~PageAccess() = default;
    // The page, unpacked, for reading; null on failure.
    virtual unsigned char* Read(std::int32_t page) = 0;
    // The page, unpacked and marked dirty, about to be changed; its content before the
    // operation's first change is kept so that a failed operation can be undone. Null on failure.
    virtual unsigned char* Modify(std::int32_t page) = 0;
    // A newly allocated page, marked dirty, content not initialised; null on failure.
    virtual unsigned char* New(std::int32_t& page) = 0;
    // The page goes onto the key's free chain.
    virtual bool Release(std::int32_t page) = 0;
    // Ends the operation with an engine error code (a damaged tree, a refused step).
    virtual void Fail(int code) = 0;
};

enum class TreeOutcome {
    Done,    // found, stepped, inserted or removed
    Missing, // not found / no further entry / already there / nothing to remove; no code set
    Failed,  // the status holds the code
};

struct KeyEntry {
    std::int32_t reference = 0;
    std::string text;
};

// The tree works on a key's descriptor: its root, entry count, duplicates, key length and
// cursor path (levels 1..pathDepth, level 1 the root).

// Searches (text, reference) — the text alone in a key without duplicates — and leaves the
// cursor on it, or on the greatest entry ordering before it when it is absent.
TreeOutcome SearchKey(PageAccess& pages, Descriptor& key, std::int32_t& reference, std::string_view text);

// Moves the cursor to the next entry in key order. An invalid cursor is found again from the
// entry the caller passes in (normally the one returned last).
TreeOutcome StepNext(PageAccess& pages, Descriptor& key, KeyEntry& entry);

// Missing: the entry (the text, in a key without duplicates) is already there.
TreeOutcome InsertEntry(PageAccess& pages, Descriptor& key, std::int32_t reference, std::string_view text);

// Missing: no such entry.
TreeOutcome RemoveEntry(PageAccess& pages, Descriptor& key, std::int32_t reference, std::string_view text);

} // namespace storage
