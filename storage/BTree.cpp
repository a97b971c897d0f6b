#include "storage/BTree.h"

#include "storage/KeyOrder.h"
#include "storage/Slots.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace storage {

namespace {

constexpr int kFileDefect = fberr::kFileDefect;
constexpr int kSequentialAccessNotAllowed = fberr::kSequentialNotAllowed;

// Where a binary search over one page ended: found at item `at`, or not found with `hi` items
// ordering before the sought entry (0..n).
struct PageSearch {
    bool found = false;
    int at = 0;
    int hi = 0;
};

// The sought text with the readable bytes a padded comparison needs.
struct SoughtText {
    explicit SoughtText(std::string_view text) : length(std::min(text.size(), kPaddedKeyText)) {
        std::copy_n(text.data(), length, bytes.begin());
    }
    std::array<unsigned char, kPaddedKeyText> bytes{};
    std::size_t length;
};

// A slot's text has its 30 bytes and the next slot's first bytes (or the buffer's spare ones)
// behind it, so it can be read padded.
static_assert(kPageHeadSize + kItemsPerPage * kItemSlotSize + (kPaddedKeyText - kMaxKeyText) <=
              kPageBufferBytes);

PageSearch SearchPage(const IndexPageView& page, std::string_view text, std::int32_t reference,
                      bool duplicates) {
    const SoughtText sought(text);
    int lo = 1;
    int hi = page.Count();
    int mid = 0;
    while (lo <= hi) {
        mid = (lo + hi) / 2;
        const std::string_view item = page.Text(mid);
        int r = ComparePaddedKeyText(sought.bytes.data(), sought.length,
                                     reinterpret_cast<const unsigned char*>(item.data()), item.size());
        if (r == 0 && duplicates) {
            const std::int32_t other = page.Reference(mid);
            r = reference == other ? 0 : (reference < other ? -1 : 1);
        }
        if (r <= 0) hi = mid - 1;
        if (r >= 0) lo = mid + 1;
    }
    if (lo - hi >= 2) return {true, mid, mid - 1};
    return {false, 0, hi};
}

// The items of a page (or of a page being formed) with its leftmost child.
struct ItemRun {
    std::int32_t leftmost = 0;
    std::vector<IndexItem> items;
};

ItemRun ReadRun(const IndexPageView& page) {
    ItemRun run;
    run.leftmost = page.Child(0);
    const int n = page.Count();
    // Room for a sibling's items and the separator too, as a share or a merge adds them.
    run.items.reserve(2 * static_cast<std::size_t>(kItemsPerPage) + 2);
    for (int i = 1; i <= n; ++i)
        run.items.push_back(page.Item(i));
    return run;
}

void WriteRun(IndexPageView page, const ItemRun& run, std::size_t first, std::size_t count) {
    page.SetChild(0, run.leftmost);
    for (std::size_t i = 0; i < count; ++i)
        page.SetItem(static_cast<int>(i) + 1, run.items[first + i]);
    page.SetCount(static_cast<int>(count));
}

// One insert or removal on one key; pages are fetched again at every step.
class TreeChange {
public:
    TreeChange(PageAccess& pages, Descriptor& key, std::int32_t reference, std::string_view text)
        : pages_(pages), key_(key), reference_(reference), text_(text) {}

    TreeOutcome Insert();
    TreeOutcome Remove();

private:
    bool Fail(int code) {
        pages_.Fail(code);
        return false;
    }
    bool FailedFetch() { return false; } // the page access has set the code

    bool InsertBelow(std::int32_t page, int position, std::int32_t parent, int depth);
    bool PlacePending(std::int32_t page, int after, int position, std::int32_t parent);
    bool ShareWithSibling(std::int32_t page, ItemRun& full, int position, std::int32_t parent, bool& shared);
    bool SplitPage(std::int32_t page, ItemRun full);

    bool RemoveFrom(std::int32_t page, int depth);
    bool TakePredecessor(std::int32_t page, int depth, IndexItem& taken);
    bool FixUnderflow(std::int32_t parent, int position);

    // Puts the items of left, separator and right into two pages, `leftCount` items on the
    // left; the item that follows goes up into the parent's slot `separator`.
    bool Redistribute(std::int32_t leftPage, std::int32_t rightPage, ItemRun&& left,
                      const IndexItem& separatorItem, const ItemRun& right, std::int32_t parent,
                      int separator, std::size_t leftCount);

    PageAccess& pages_;
    Descriptor& key_;
    std::int32_t reference_;
    std::string_view text_;

    bool unchanged_ = false; // insert: the entry is already there; remove: it is not there
    bool pending_ = false;   // insert: an item still to be placed one level up
    IndexItem pendingItem_;
    int leafDepth_ = 0;
    bool underflow_ = false; // remove: the page just changed holds fewer than half
};

TreeOutcome TreeChange::Insert() {
    if (!InsertBelow(key_.root, 0, 0, 1)) return TreeOutcome::Failed;
    if (unchanged_) return TreeOutcome::Missing;
    if (pending_) {
        // The key was empty or its root split: a new root of one item above the old one.
        if (leafDepth_ >= kMaxHeight) {
            Fail(kFileDefect);
            return TreeOutcome::Failed;
        }
        std::int32_t root = 0;
        unsigned char* bytes = pages_.New(root);
        if (bytes == nullptr) return TreeOutcome::Failed;
        IndexPageView page(bytes);
        page.SetChild(0, key_.root);
        page.SetItem(1, pendingItem_);
        page.SetCount(1);
        key_.root = root;
        pending_ = false;
    }
    key_.entryCount = WrappedAdd(key_.entryCount, 1);
    return TreeOutcome::Done;
}

bool TreeChange::InsertBelow(std::int32_t page, int position, std::int32_t parent, int depth) {
    if (page == 0) {
        pendingItem_ = IndexItem::Make(text_, reference_, 0);
        pending_ = true;
        leafDepth_ = depth - 1;
        return true;
    }
    if (depth > kMaxHeight) return Fail(kFileDefect);
    unsigned char* bytes = pages_.Read(page);
    if (bytes == nullptr) return FailedFetch();
    const IndexPageView view(bytes);
    const PageSearch search = SearchPage(view, text_, reference_, key_.duplicates);
    if (search.found) {
        unchanged_ = true;
        return true;
    }
    const std::int32_t child = view.Child(search.hi);
    if (!InsertBelow(child, search.hi, page, depth + 1)) return false;
    if (unchanged_ || !pending_) return true;
    return PlacePending(page, search.hi, position, parent);
}

bool TreeChange::PlacePending(std::int32_t page, int after, int position, std::int32_t parent) {
    unsigned char* bytes = pages_.Read(page);
    if (bytes == nullptr) return FailedFetch();
    const IndexPageView view(bytes);
    const int n = view.Count();
    if (n < kItemsPerPage) {
        bytes = pages_.Modify(page);
        if (bytes == nullptr) return FailedFetch();
        IndexPageView changed(bytes);
        changed.ShiftUp(after + 1);
        changed.SetItem(after + 1, pendingItem_);
        changed.SetCount(n + 1);
        pending_ = false;
        return true;
    }
    ItemRun full = ReadRun(view);
    full.items.insert(full.items.begin() + after, pendingItem_);
    if (parent != 0) {
        bool shared = false;
        if (!ShareWithSibling(page, full, position, parent, shared)) return false;
        if (shared) {
            pending_ = false;
            return true;
        }
    }
    return SplitPage(page, std::move(full));
}

bool TreeChange::ShareWithSibling(std::int32_t page, ItemRun& full, int position, std::int32_t parent,
                                  bool& shared) {
    unsigned char* bytes = pages_.Read(parent);
    if (bytes == nullptr) return FailedFetch();
    const IndexPageView parentView(bytes);
    const int parentCount = parentView.Count();
    if (position > parentCount) return Fail(kFileDefect);
    const bool rightSibling = position < parentCount;
    const int separator = rightSibling ? position + 1 : position;
    const std::int32_t sibling = parentView.Child(rightSibling ? position + 1 : position - 1);
    const IndexItem separatorItem = parentView.Item(separator);
    if (sibling == page || sibling == parent) return Fail(kFileDefect);

    bytes = pages_.Read(sibling);
    if (bytes == nullptr) return FailedFetch();
    const IndexPageView siblingView(bytes);
    const int s = siblingView.Count();
    if (s >= kItemsPerPage) return true;
    ItemRun siblingRun = ReadRun(siblingView);

    const std::size_t total = static_cast<std::size_t>(kItemsPerPage) + 1 + static_cast<std::size_t>(s);
    // The full page ends with the larger half, its sibling with the smaller.
    const std::size_t fullKeeps = (total + 1) / 2;
    shared = true;
    if (rightSibling)
        return Redistribute(page, sibling, std::move(full), separatorItem, siblingRun, parent, separator,
                            fullKeeps);
    return Redistribute(sibling, page, std::move(siblingRun), separatorItem, full, parent, separator,
                        total - fullKeeps);
}

bool TreeChange::Redistribute(std::int32_t leftPage, std::int32_t rightPage, ItemRun&& left,
                              const IndexItem& separatorItem, const ItemRun& right, std::int32_t parent,
                              int separator, std::size_t leftCount) {
    IndexItem down = separatorItem;
    down.child = right.leftmost;
    left.items.push_back(down);
    left.items.insert(left.items.end(), right.items.begin(), right.items.end());
    if (leftCount >= left.items.size()) return Fail(kFileDefect);
    IndexItem up = left.items[leftCount];
    ItemRun rightRun;
    rightRun.leftmost = up.child;
    up.child = rightPage;
    const std::size_t rightCount = left.items.size() - leftCount - 1;
    if (leftCount > kItemsPerPage || rightCount > kItemsPerPage) return Fail(kFileDefect);

    unsigned char* bytes = pages_.Modify(leftPage);
    if (bytes == nullptr) return FailedFetch();
    WriteRun(IndexPageView(bytes), left, 0, leftCount);
    bytes = pages_.Modify(rightPage);
    if (bytes == nullptr) return FailedFetch();
    IndexPageView rightView(bytes);
    rightView.SetChild(0, rightRun.leftmost);
    for (std::size_t i = 0; i < rightCount; ++i)
        rightView.SetItem(static_cast<int>(i) + 1, left.items[leftCount + 1 + i]);
    rightView.SetCount(static_cast<int>(rightCount));
    bytes = pages_.Modify(parent);
    if (bytes == nullptr) return FailedFetch();
    IndexPageView(bytes).SetItem(separator, up);
    return true;
}

bool TreeChange::SplitPage(std::int32_t page, ItemRun full) {
    // 31 items stay, the middle one goes up, 31 move to the new page on the right.
    std::int32_t newPage = 0;
    unsigned char* bytes = pages_.New(newPage);
    if (bytes == nullptr) return false;
    IndexPageView right(bytes);
    const IndexItem middle = full.items[kHalfPage];
    right.SetChild(0, middle.child);
    const std::size_t rightCount = full.items.size() - kHalfPage - 1;
    for (std::size_t i = 0; i < rightCount; ++i)
        right.SetItem(static_cast<int>(i) + 1, full.items[kHalfPage + 1 + i]);
    right.SetCount(static_cast<int>(rightCount));

    bytes = pages_.Modify(page);
    if (bytes == nullptr) return FailedFetch();
    WriteRun(IndexPageView(bytes), full, 0, kHalfPage);
    pendingItem_ = middle;
    pendingItem_.child = newPage;
    pending_ = true;
    return true;
}

TreeOutcome TreeChange::Remove() {
    if (!RemoveFrom(key_.root, 1)) return TreeOutcome::Failed;
    if (unchanged_) return TreeOutcome::Missing;
    if (underflow_) {
        unsigned char* bytes = pages_.Read(key_.root);
        if (bytes == nullptr) return TreeOutcome::Failed;
        const IndexPageView root(bytes);
        if (root.Count() == 0) {
            // The root lost its last item: its only child (none in a leaf) takes its place.
            const std::int32_t newRoot = root.Child(0);
            if (!pages_.Release(key_.root)) return TreeOutcome::Failed;
            key_.root = newRoot;
        }
    }
    key_.entryCount = WrappedAdd(key_.entryCount, -1);
    return TreeOutcome::Done;
}

bool TreeChange::RemoveFrom(std::int32_t page, int depth) {
    if (page == 0) {
        unchanged_ = true; // absent: nothing to remove
        return true;
    }
    if (depth > kMaxHeight) return Fail(kFileDefect);
    unsigned char* bytes = pages_.Read(page);
    if (bytes == nullptr) return FailedFetch();
    const IndexPageView view(bytes);
    const PageSearch search = SearchPage(view, text_, reference_, key_.duplicates);
    const std::int32_t child = view.Child(search.hi);
    if (!search.found) {
        if (!RemoveFrom(child, depth + 1)) return false;
        if (unchanged_ || !underflow_) return true;
        return FixUnderflow(page, search.hi);
    }
    if (child == 0) {
        bytes = pages_.Modify(page);
        if (bytes == nullptr) return FailedFetch();
        IndexPageView leaf(bytes);
        leaf.ShiftDown(search.at + 1);
        const int n = leaf.Count() - 1;
        leaf.SetCount(n);
        underflow_ = n < kHalfPage;
        return true;
    }
    // An inner item is replaced by its predecessor, the last entry of the subtree on its left.
    IndexItem predecessor;
    if (!TakePredecessor(child, depth + 1, predecessor)) return false;
    bytes = pages_.Modify(page);
    if (bytes == nullptr) return FailedFetch();
    IndexPageView inner(bytes);
    predecessor.child = inner.Child(search.at);
    inner.SetItem(search.at, predecessor);
    if (!underflow_) return true;
    return FixUnderflow(page, search.hi);
}

bool TreeChange::TakePredecessor(std::int32_t page, int depth, IndexItem& taken) {
    if (depth > kMaxHeight) return Fail(kFileDefect);
    unsigned char* bytes = pages_.Read(page);
    if (bytes == nullptr) return FailedFetch();
    const IndexPageView view(bytes);
    const int n = view.Count();
    const std::int32_t child = view.Child(n);
    if (child == 0) {
        taken = view.Item(n);
        bytes = pages_.Modify(page);
        if (bytes == nullptr) return FailedFetch();
        IndexPageView(bytes).SetCount(n - 1);
        underflow_ = n - 1 < kHalfPage;
        return true;
    }
    if (!TakePredecessor(child, depth + 1, taken)) return false;
    if (!underflow_) return true;
    return FixUnderflow(page, n);
}

bool TreeChange::FixUnderflow(std::int32_t parent, int position) {
    unsigned char* bytes = pages_.Read(parent);
    if (bytes == nullptr) return FailedFetch();
    const IndexPageView parentView(bytes);
    const int parentCount = parentView.Count();
    if (parentCount < 1 || position > parentCount) return Fail(kFileDefect);
    const bool rightSibling = position < parentCount;
    const int separator = rightSibling ? position + 1 : position;
    const std::int32_t page = parentView.Child(position);
    const std::int32_t sibling = parentView.Child(rightSibling ? position + 1 : position - 1);
    const IndexItem separatorItem = parentView.Item(separator);
    if (sibling == page || sibling == parent || page == parent) return Fail(kFileDefect);

    bytes = pages_.Read(page);
    if (bytes == nullptr) return FailedFetch();
    ItemRun pageRun = ReadRun(IndexPageView(bytes));
    bytes = pages_.Read(sibling);
    if (bytes == nullptr) return FailedFetch();
    ItemRun siblingRun = ReadRun(IndexPageView(bytes));

    const int g = static_cast<int>(siblingRun.items.size());
    const int t = (g - kHalfPage + 1) / 2;
    if (t > 0) {
        // Borrow: the sibling gives t items through the parent; the counts are counted, not assumed.
        underflow_ = false;
        if (rightSibling) {
            const std::size_t leftCount = pageRun.items.size() + static_cast<std::size_t>(t);
            return Redistribute(page, sibling, std::move(pageRun), separatorItem, siblingRun, parent,
                                separator, leftCount);
        }
        return Redistribute(sibling, page, std::move(siblingRun), separatorItem, pageRun, parent, separator,
                            static_cast<std::size_t>(g - t));
    }

    // Merge: left page, separator and right page become one page; the right page is freed.
    const std::int32_t leftPage = rightSibling ? page : sibling;
    const std::int32_t rightPage = rightSibling ? sibling : page;
    ItemRun merged = rightSibling ? pageRun : siblingRun;
    const ItemRun& right = rightSibling ? siblingRun : pageRun;
    IndexItem down = separatorItem;
    down.child = right.leftmost;
    merged.items.push_back(down);
    merged.items.insert(merged.items.end(), right.items.begin(), right.items.end());
    if (merged.items.size() > static_cast<std::size_t>(kItemsPerPage)) return Fail(kFileDefect);

    bytes = pages_.Modify(leftPage);
    if (bytes == nullptr) return FailedFetch();
    WriteRun(IndexPageView(bytes), merged, 0, merged.items.size());
    bytes = pages_.Modify(parent);
    if (bytes == nullptr) return FailedFetch();
    IndexPageView changedParent(bytes);
    changedParent.ShiftDown(separator + 1);
    changedParent.SetCount(parentCount - 1);
    underflow_ = parentCount - 1 < kHalfPage;
    return pages_.Release(rightPage);
}

} // namespace

TreeOutcome SearchKey(PageAccess& pages, Descriptor& key, std::int32_t& reference, std::string_view text) {
    key.cursorValid = false;
    key.pathDepth = 0;
    std::int32_t page = key.root;
    bool found = false;
    while (page != 0 && !found) {
        if (key.pathDepth >= kMaxHeight) {
            pages.Fail(kFileDefect);
            return TreeOutcome::Failed;
        }
        CursorLevel& level = key.path[++key.pathDepth];
        level.page = page;
        unsigned char* bytes = pages.Read(page);
        if (bytes == nullptr) return TreeOutcome::Failed;
        const IndexPageView view(bytes);
        const PageSearch search = SearchPage(view, text, reference, key.duplicates);
        if (search.found) {
            found = true;
            reference = view.Reference(search.at);
            level.index = static_cast<std::uint8_t>(search.at);
        } else {
            level.index = static_cast<std::uint8_t>(search.hi);
            page = view.Child(search.hi);
        }
    }
    // Not found: the cursor stands on the greatest entry ordering before the sought one.
    if (!found)
        while (key.pathDepth > 0 && key.path[key.pathDepth].index == 0)
            --key.pathDepth;
    key.cursorValid = true;
    return found ? TreeOutcome::Done : TreeOutcome::Missing;
}

TreeOutcome StepNext(PageAccess& pages, Descriptor& key, KeyEntry& entry) {
    if (!key.cursorValid) {
        if (!key.refindAllowed) {
            pages.Fail(kSequentialAccessNotAllowed);
            return TreeOutcome::Failed;
        }
        std::int32_t reference = entry.reference;
        if (SearchKey(pages, key, reference, entry.text) == TreeOutcome::Failed) return TreeOutcome::Failed;
    }
    key.cursorValid = false;

    std::int32_t child = key.root;
    if (key.pathDepth > 0) {
        const CursorLevel& level = key.path[key.pathDepth];
        unsigned char* bytes = pages.Read(level.page);
        if (bytes == nullptr) return TreeOutcome::Failed;
        const IndexPageView view(bytes);
        if (level.index > view.Count()) {
            pages.Fail(kFileDefect);
            return TreeOutcome::Failed;
        }
        child = view.Child(level.index);
    }
    // Down to the leftmost leaf below the cursor.
    while (child != 0) {
        if (key.pathDepth >= kMaxHeight) {
            pages.Fail(kFileDefect);
            return TreeOutcome::Failed;
        }
        key.path[++key.pathDepth] = {child, 0};
        unsigned char* bytes = pages.Read(child);
        if (bytes == nullptr) return TreeOutcome::Failed;
        child = IndexPageView(bytes).Child(0);
    }
    if (key.pathDepth > 0) {
        unsigned char* bytes = pages.Read(key.path[key.pathDepth].page);
        if (bytes == nullptr) return TreeOutcome::Failed;
        // Up past the levels whose items all lie behind the cursor.
        while (key.pathDepth > 1 && key.path[key.pathDepth].index >= IndexPageView(bytes).Count()) {
            --key.pathDepth;
            bytes = pages.Read(key.path[key.pathDepth].page);
            if (bytes == nullptr) return TreeOutcome::Failed;
        }
        CursorLevel& level = key.path[key.pathDepth];
        const IndexPageView view(bytes);
        if (level.index < view.Count()) {
            ++level.index;
            entry.reference = view.Reference(level.index);
            entry.text.assign(view.Text(level.index));
        } else {
            key.pathDepth = 0;
        }
    }
    key.cursorValid = true;
    return key.pathDepth != 0 ? TreeOutcome::Done : TreeOutcome::Missing;
}

TreeOutcome InsertEntry(PageAccess& pages, Descriptor& key, std::int32_t reference, std::string_view text) {
    key.cursorValid = false;
    return TreeChange(pages, key, reference, text).Insert();
}

TreeOutcome RemoveEntry(PageAccess& pages, Descriptor& key, std::int32_t reference, std::string_view text) {
    key.cursorValid = false;
    return TreeChange(pages, key, reference, text).Remove();
}

} // namespace storage
