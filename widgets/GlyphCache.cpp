#include "GlyphCache.h"

#include <algorithm>

namespace widgets {

TGlyphList::TGlyphList(int width, int height) : TImageList(width, height) {}

int TGlyphList::ReserveSlot() {
    const auto free = std::find(slotUsed_.begin(), slotUsed_.end(), false);
    int index = static_cast<int>(free - slotUsed_.begin());
    if (free == slotUsed_.end()) {
        AddEmpty();
        index = Count() - 1;
        slotUsed_.resize(static_cast<std::size_t>(Count()), false);
    }
    slotUsed_[static_cast<std::size_t>(index)] = true;
    return index;
}

int TGlyphList::AddPair(const QImage& image, const QImage& mask) {
    const int index = ReserveSlot();
    Replace(index, image, mask);
    ++usedCount_;
    return index;
}

int TGlyphList::AddKeyed(const QImage& image, QRgb maskColor) {
    const int index = ReserveSlot();
    ReplaceMasked(index, image, maskColor);
    ++usedCount_;
    return index;
}

void TGlyphList::ReleaseSlot(int index) {
    if (!SlotUsed(index)) return;
    --usedCount_;
    slotUsed_[static_cast<std::size_t>(index)] = false;
}

bool TGlyphList::SlotUsed(int index) const {
    return index >= 0 && index < static_cast<int>(slotUsed_.size()) &&
           slotUsed_[static_cast<std::size_t>(index)];
}

TGlyphList* TGlyphCache::ListFor(int width, int height) {
    for (auto it = lists_.rbegin(); it != lists_.rend(); ++it)
        if ((*it)->Width() == width && (*it)->Height() == height) return it->get();
    lists_.push_back(std::make_unique<TGlyphList>(width, height));
    return lists_.back().get();
}

void TGlyphCache::GiveBack(TGlyphList* list) {
    if (!list || list->UsedCount() != 0) return;
    std::erase_if(lists_, [list](const std::unique_ptr<TGlyphList>& owned) { return owned.get() == list; });
}

} // namespace widgets
