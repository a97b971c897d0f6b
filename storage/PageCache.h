#pragma once

#include "storage/Fileblock.h"
#include "storage/IndexPage.h"

#include <cstdint>

// The engine-wide page cache: one ring of page buffers shared by every open Fileblock. The
// head is the least recently used buffer, the one before it the most recently used. A bound
// buffer holds its page unpacked between operations; it is packed only while being written.
namespace storage {

struct PageBufferNode {
    PageBufferNode* previous = nullptr;
    PageBufferNode* next = nullptr;
    Fileblock* owner = nullptr; // none: the buffer is free
    std::int32_t page = 0;
    std::uint16_t key = 0;
    bool dirty = false;
    bool journaled = false; // its before-image is in the dialog file, not yet flushed
    PageBytes buffer{};

    bool IsBound() const { return owner != nullptr; }
};

// The page's buffer, unpacked and now the most recently used; null on failure. A page that
// cannot belong to the key's tree (outside its allocated pages, or a damaged image) is a
// file defect (10010).
PageBufferNode* FetchPage(Fileblock& fb, std::int32_t page, std::uint16_t key);
// A buffer bound to a newly allocated page of the key; its content is the caller's to set.
// Without `fromChain` the page is a new one even when the key has free pages.
PageBufferNode* NewPage(Fileblock& fb, std::uint16_t key, std::int32_t& page, bool fromChain = true);
void MarkPageDirty(PageBufferNode& node);
// The page goes onto the key's free chain and its buffer becomes free.
void ReleasePage(PageBufferNode& node);
// Writes the page to the index file. A failed write keeps the page dirty and unpacked.
void WriteBackPage(PageBufferNode& node, bool keepPacked);
// Writes back every dirty buffer of the Fileblock; with release its buffers become free.
void FlushPages(Fileblock& fb, bool release);
// Every buffer of the Fileblock (or of one of its keys) becomes free, nothing is written.
void DropPages(Fileblock& fb);
void DropKeyPages(Fileblock& fb, std::uint16_t key);
// Clears the journaled byte of the Fileblock's buffers (its journal reached the disk).
void ClearJournalMarks(const Fileblock& fb);
// Puts `image` (an unpacked page) into the cache as the page's dirty content, reading
// nothing; used to put back a page as it was before a failed change.
bool PlacePage(Fileblock& fb, std::uint16_t key, std::int32_t page, const PageBytes& image);
// The buffer bound to the page, or null; the ring order does not change.
PageBufferNode* FindCachedPage(const Fileblock& fb, std::uint16_t key, std::int32_t page);
// The buffer becomes free without being written.
void UnbindPage(PageBufferNode& node);

// Offset of page `page` of key `key` in the index file (64-bit: rows times row size).
std::int64_t PageOffset(const Fileblock& fb, std::int32_t page, std::uint16_t key);

} // namespace storage
