#include "storage/BTreePages.h"

#include "storage/FilePrimitives.h"
#include "storage/Journal.h"
#include "storage/KeyHeader.h"
#include "storage/PageCache.h"
#include "storage/Slots.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <vector>

namespace storage {

namespace {

// One change runs at a time (the engine is not re-entrant), so one list serves them all and
// keeps its memory from one change to the next.
std::vector<KeyPages::Touched>& TouchedPages() {
    static std::vector<KeyPages::Touched> touched;
    return touched;
}

} // namespace

KeyPages::KeyPages(Fileblock& fb, std::uint16_t key) : fb_(fb), key_(key) {
    TouchedPages().clear();
}

unsigned char* KeyPages::Read(std::int32_t page) {
    PageBufferNode* node = FetchPage(fb_, page, key_);
    return node == nullptr ? nullptr : node->buffer.data();
}

void KeyPages::Remember(std::int32_t page, const unsigned char* bytes) {
    auto& touched = TouchedPages();
    for (const Touched& t : touched)
        if (t.page == page) return;
    Touched& t = touched.emplace_back();
    t.page = page;
    // The items the page holds are all of it that is ever read or written again: a page put
    // back is written and journaled by its count.
    const std::size_t used =
        kPageHeadSize +
        static_cast<std::size_t>(std::min<int>(platform::GetU16(bytes, 0), kItemsPerPage)) * kItemSlotSize;
    std::copy(bytes, bytes + used, t.before.begin());
}

unsigned char* KeyPages::Modify(std::int32_t page) {
    PageBufferNode* node = FetchPage(fb_, page, key_);
    if (node == nullptr) return nullptr;
    JournalPage(fb_, *node);
    if (!FbOk) return nullptr;
    Remember(page, node->buffer.data());
    MarkPageDirty(*node);
    return node->buffer.data();
}

unsigned char* KeyPages::New(std::int32_t& page) {
    const Descriptor& descriptor = fb_.Key(key_);
    const std::int32_t chainHead = descriptor.firstFree;
    // The journal puts back one slot taken from the free chain per change, with the header
    // as it was before; later pages of the same change are new ones.
    const bool journalHeader = fb_.saveMode && !HeaderJournaled(fb_, key_);
    const HeaderImageBytes headerBefore = KeyHeaderImage(descriptor);
    PageBufferNode* node = NewPage(fb_, key_, page, !fb_.saveMode || journalHeader);
    if (node == nullptr) return nullptr;
    if (journalHeader) {
        JournalHeader(fb_, key_, headerBefore,
                      descriptor.lastFromFreeChain ? descriptor.firstFree : kNoChainLink);
        node->journaled = true;
    }
    Touched& t = TouchedPages().emplace_back();
    t.page = page;
    t.allocated = true;
    t.fromChain = descriptor.lastFromFreeChain && page == chainHead;
    t.chainLink = descriptor.firstFree; // what the slot held: the next free page
    MarkPageDirty(*node);
    return node->buffer.data();
}

bool KeyPages::Release(std::int32_t page) {
    PageBufferNode* node = FetchPage(fb_, page, key_);
    if (node == nullptr) return false;
    JournalPage(fb_, *node);
    if (fb_.saveMode) JournalHeader(fb_, key_, KeyHeaderImage(fb_.Key(key_)), kNoChainLink);
    if (!FbOk) return false;
    Remember(page, node->buffer.data());
    ReleasePage(*node);
    return FbOk;
}

void KeyPages::Fail(int code) {
    storage::Fail(code);
}

bool KeyPages::Undo(const Descriptor& before) {
    const std::int32_t code = FbErrorCode;
    EngineState& engine = Engine();
    const std::uint16_t functionCode = engine.lastFunctionCode;
    const std::uint32_t systemError = engine.lastSystemError;
    ResetStatus();

    // Pages the change allocated go first: their buffers become free without being written,
    // so putting the old pages back needs no eviction of them.
    auto& touched = TouchedPages();
    for (const Touched& t : touched) {
        if (!t.allocated) continue;
        if (PageBufferNode* node = FindCachedPage(fb_, key_, t.page)) UnbindPage(*node);
        if (t.fromChain && FbOk) {
            // The page may have reached the disk since; its slot gets its chain link back.
            unsigned char link[4];
            platform::PutI32(link, 0, t.chainLink);
            FileWriteAt(fb_.indexFile, PageOffset(fb_, t.page, key_), 4, link);
        }
    }
    for (const Touched& t : touched)
        if (!t.allocated && FbOk) PlacePage(fb_, key_, t.page, t.before);
    const bool restored = FbOk;

    Descriptor& descriptor = fb_.Key(key_);
    const bool headerChanged = descriptor.headerChanged;
    descriptor = before;
    descriptor.headerChanged = before.headerChanged || headerChanged;
    descriptor.cursorValid = false;
    if (!restored) {
        // The tree in the cache is damaged: never write it, nor mark the file clean.
        DropKeyPages(fb_, key_);
        fb_.damaged = true;
    }
    touched.clear();

    storage::Fail(code);
    engine.lastFunctionCode = functionCode;
    engine.lastSystemError = systemError;
    return restored;
}

} // namespace storage
