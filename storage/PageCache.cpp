#include "storage/PageCache.h"

#include "storage/FilePrimitives.h"
#include "storage/FileViews.h"
#include "storage/IndexFile.h"
#include "storage/Journal.h"
#include "storage/Slots.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace storage {

namespace {

PageBufferNode* Head() {
    return Engine().ringHead;
}
int RingCount() {
    return Engine().ringCount;
}

void MoveToMostRecent(PageBufferNode* node) {
    PageBufferNode*& head = Engine().ringHead;
    if (node == head->previous) return;
    if (node == head) {
        // Advancing the head makes the old head the most recently used.
        head = head->next;
        return;
    }
    node->previous->next = node->next;
    node->next->previous = node->previous;
    node->previous = head->previous;
    node->next = head;
    head->previous->next = node;
    head->previous = node;
}

// Bound buffers keep their order and move to the recent end; free ones gather at the head,
// so they are reused first.
void CompactRing() {
    PageBufferNode* node = Head();
    for (int i = 0, n = RingCount(); i < n; ++i) {
        PageBufferNode* next = node->next;
        if (node->IsBound()) MoveToMostRecent(node);
        node = next;
    }
}

void Bind(PageBufferNode& node, Fileblock& fb, std::uint16_t key, std::int32_t page) {
    node.owner = &fb;
    node.key = key;
    node.page = page;
    node.dirty = false;
    node.journaled = false;
}

// The least recently used buffer, written back and free, ready to take another page.
PageBufferNode* TakeLeastRecent() {
    PageBufferNode* node = Head();
    if (node->dirty) {
        WriteBackPage(*node, true);
        if (!FbOk) return nullptr;
    }
    UnbindPage(*node);
    return node;
}

// Reads page `page` as the file holds it into `bytes`. Through the file's view only the items
// the page holds are copied (its count comes first): every use of a page, its write-back and
// its journal image take no more than those, and their read finds a cut the head lies in.
// Otherwise, and in network mode, where other stations change the file, the whole slot is read.
void ReadPageImage(Fileblock& fb, std::int32_t page, std::uint16_t key, unsigned char* bytes) {
    const Descriptor& descriptor = fb.Key(key);
    const std::int64_t offset = PageOffset(fb, page, key);
    if (fb.network != nullptr || !ReadThroughView(fb.indexFile, offset, kPageHeadSize, bytes, true)) {
        FileReadAt(fb.indexFile, offset, descriptor.slotSize, bytes);
        return;
    }
    const int count = IndexPageView(bytes).Count();
    const std::int64_t used = count >= 1 && count <= descriptor.itemsPerPage
                                  ? static_cast<std::int64_t>(PackedPageLength(count, descriptor.keyLength))
                                  : descriptor.slotSize;
    const auto rest = static_cast<std::int32_t>(std::min<std::int64_t>(used, descriptor.slotSize)) -
                      static_cast<std::int32_t>(kPageHeadSize);
    if (rest > 0) FileReadAtViewed(fb.indexFile, true, offset + kPageHeadSize, rest, bytes + kPageHeadSize);
}

} // namespace

std::int32_t BuildPageRing(std::int32_t count) {
    EngineState& engine = Engine();
    FreePageRing();
    const std::int32_t wanted = std::min<std::int32_t>(count, std::numeric_limits<std::uint16_t>::max());
    PageBufferNode* head = nullptr;
    std::int32_t built = 0;
    while (built < wanted) {
        auto* node = new (std::nothrow) PageBufferNode;
        if (node == nullptr) break;
        if (head == nullptr) {
            node->previous = node->next = node;
            head = node;
        } else {
            node->previous = head->previous;
            node->next = head;
            head->previous->next = node;
            head->previous = node;
        }
        ++built;
    }
    engine.ringHead = head;
    engine.ringCount = static_cast<std::uint16_t>(built);
    return built;
}

void FreePageRing() {
    EngineState& engine = Engine();
    PageBufferNode* node = engine.ringHead;
    for (int i = 0, n = engine.ringCount; i < n && node != nullptr; ++i) {
        PageBufferNode* next = node->next;
        delete node;
        node = next;
    }
    engine.ringHead = nullptr;
    engine.ringCount = 0;
}

std::int64_t PageOffset(const Fileblock& fb, std::int32_t page, std::uint16_t key) {
    return static_cast<std::int64_t>(page) * fb.rowSize + fb.descriptors[key].sectionOffset;
}

PageBufferNode* FindCachedPage(const Fileblock& fb, std::uint16_t key, std::int32_t page) {
    PageBufferNode* head = Head();
    if (head == nullptr) return nullptr;
    // From the most recently used end: the page just used is the likeliest.
    PageBufferNode* node = head->previous;
    for (int i = 0, n = RingCount(); i < n; ++i, node = node->previous)
        if (node->page == page && node->key == key && node->owner == &fb) return node;
    return nullptr;
}

void UnbindPage(PageBufferNode& node) {
    node.owner = nullptr;
    node.dirty = false;
    node.journaled = false;
}

PageBufferNode* FetchPage(Fileblock& fb, std::int32_t page, std::uint16_t key) {
    if (!FbOk || Head() == nullptr) return nullptr;
    const Descriptor& descriptor = fb.Key(key);
    if (page < 1 || page > descriptor.allocated) {
        Fail(fberr::kFileDefect);
        return nullptr;
    }
    if (PageBufferNode* hit = FindCachedPage(fb, key, page)) {
        MoveToMostRecent(hit);
        return hit;
    }
    PageBufferNode* node = TakeLeastRecent();
    if (node == nullptr) return nullptr;
    // The buffer stays free until its page has arrived whole and sound, so a failed read
    // leaves nothing behind that a later lookup could take for the page.
    ReadPageImage(fb, page, key, node->buffer.data());
    if (!FbOk) return nullptr;
    if (!UnpackSoundPage(node->buffer.data(), descriptor.keyLength, descriptor.itemsPerPage,
                         descriptor.allocated)) {
        Fail(fberr::kFileDefect);
        return nullptr;
    }
    Bind(*node, fb, key, page);
    MoveToMostRecent(node);
    return node;
}

PageBufferNode* NewPage(Fileblock& fb, std::uint16_t key, std::int32_t& page, bool fromChain) {
    if (!FbOk || Head() == nullptr) return nullptr;
    // The buffer is written back and freed before the allocation, so a failed allocation
    // cannot leave it bound to its old page with a packed image inside.
    PageBufferNode* node = TakeLeastRecent();
    if (node == nullptr) return nullptr;
    std::int32_t number = 0;
    AllocateSlot(fb, number, key, fromChain);
    if (!FbOk) return nullptr;
    if (PageBufferNode* stale = FindCachedPage(fb, key, number)) UnbindPage(*stale);
    page = number;
    Bind(*node, fb, key, page);
    MoveToMostRecent(node);
    return node;
}

void MarkPageDirty(PageBufferNode& node) {
    node.dirty = true;
}

void ReleasePage(PageBufferNode& node) {
    if (!FbOk || node.owner == nullptr) return;
    FreeSlot(*node.owner, node.page, node.key);
    if (!FbOk) return;
    UnbindPage(node);
    CompactRing();
}

void WriteBackPage(PageBufferNode& node, bool keepPacked) {
    if (!FbOk || node.owner == nullptr) return;
    Fileblock& fb = *node.owner;
    // Write-ahead: the before-images must be on the disk before the page changes there
    // (a new page too: its slot's chain link is in the journal).
    EnsureWriteAhead(fb);
    if (!FbOk) return;
    const Descriptor& descriptor = fb.Key(node.key);
    const int count = IndexPageView(node.buffer.data()).Count();
    node.dirty = false;
    PackPage(node.buffer.data(), descriptor.keyLength);
    FileWriteAt(
        fb.indexFile, PageOffset(fb, node.page, node.key),
        static_cast<std::int32_t>(PackedPageLength(std::min(count, kItemsPerPage), descriptor.keyLength)),
        node.buffer.data());
    if (!FbOk) {
        // The page is not on the disk: keep it, usable and dirty.
        UnpackPage(node.buffer.data(), descriptor.keyLength);
        node.dirty = true;
        return;
    }
    if (!keepPacked) UnpackPage(node.buffer.data(), descriptor.keyLength);
}

void FlushPages(Fileblock& fb, bool release) {
    ResetStatus();
    PageBufferNode* node = Head();
    for (int i = 0, n = RingCount(); i < n && FbOk; ++i, node = node->next) {
        if (node->owner != &fb) continue;
        if (node->dirty) {
            WriteBackPage(*node, release);
            if (!FbOk) break;
        }
        if (release) UnbindPage(*node);
    }
    if (release && Head() != nullptr) CompactRing();
}

void DropPages(Fileblock& fb) {
    PageBufferNode* node = Head();
    for (int i = 0, n = RingCount(); i < n; ++i, node = node->next)
        if (node->owner == &fb) UnbindPage(*node);
    if (Head() != nullptr) CompactRing();
}

void DropKeyPages(Fileblock& fb, std::uint16_t key) {
    PageBufferNode* node = Head();
    for (int i = 0, n = RingCount(); i < n; ++i, node = node->next)
        if (node->owner == &fb && node->key == key) UnbindPage(*node);
    if (Head() != nullptr) CompactRing();
}

void ClearJournalMarks(const Fileblock& fb) {
    PageBufferNode* node = Head();
    for (int i = 0, n = RingCount(); i < n; ++i, node = node->next)
        if (node->owner == &fb) node->journaled = false;
}

bool PlacePage(Fileblock& fb, std::uint16_t key, std::int32_t page, const PageBytes& image) {
    if (!FbOk || Head() == nullptr) return false;
    PageBufferNode* node = FindCachedPage(fb, key, page);
    if (node == nullptr) {
        node = TakeLeastRecent();
        if (node == nullptr) return false;
        Bind(*node, fb, key, page);
    }
    node->buffer = image;
    node->dirty = true;
    MoveToMostRecent(node);
    return true;
}

} // namespace storage
