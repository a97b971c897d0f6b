#pragma once

#include "storage/BTree.h"
#include "storage/Fileblock.h"

#include <cstdint>

// The pages of one key as its B-tree sees them, through the engine's page cache. For a change
// it keeps, in memory, every page as it was before the change touched it, so that a change
// that fails half-way can be undone instead of leaving a damaged tree in the cache. In save
// mode each page is journaled before its first change too, and the key header before the
// first page is taken or freed; a failed change is then undone from the journal.
namespace storage {

class KeyPages final : public PageAccess {
public:
    KeyPages(Fileblock& fb, std::uint16_t key);

    unsigned char* Read(std::int32_t page) override;
    unsigned char* Modify(std::int32_t page) override;
    unsigned char* New(std::int32_t& page) override;
    bool Release(std::int32_t page) override;
    void Fail(int code) override;

    // After a failed change: puts back every page it touched and the key's descriptor as it
    // was (`before`), keeping the failure in the status. When that fails too, the key's pages
    // are dropped from the cache and the Fileblock is marked damaged: it takes no more changes
    // (10065) and its close writes nothing, so the data file stays marked in use on the disk
    // and the next open reports the defect. Returns whether the tree was restored.
    bool Undo(const Descriptor& before);

    // A page the running change has touched: its content before, or for a page the change
    // allocated, what its slot held on the free chain.
    struct Touched {
        // Made for every page a change touches: `before` is left to Remember, which fills
        // the part the page uses, rather than cleared each time.
        Touched() {}
        std::int32_t page = 0;
        bool allocated = false;
        bool fromChain = false;
        std::int32_t chainLink = 0;
        PageBytes before;
    };

private:
    void Remember(std::int32_t page, const unsigned char* bytes);

    Fileblock& fb_;
    std::uint16_t key_;
};

} // namespace storage
