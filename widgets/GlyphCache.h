#pragma once

#include "ImageList.h"

#include <memory>
#include <vector>

// The prepared face images of all speed buttons: one image list per image size, with slots
// that are handed out and given back.
namespace widgets {

class TGlyphList : public TImageList {
public:
    TGlyphList(int width, int height);

    // The first free slot, growing the list by one empty picture when all are in use.
    int ReserveSlot();
    // Stores `image`, transparent where `mask` is white, in a reserved slot.
    int AddPair(const QImage& image, const QImage& mask);
    // Stores `image`, transparent where it has `maskColor`, in a reserved slot.
    int AddKeyed(const QImage& image, QRgb maskColor);
    // Frees the slot for the next ReserveSlot; its picture stays until then.
    void ReleaseSlot(int index);

    int UsedCount() const { return usedCount_; }
    bool SlotUsed(int index) const;

private:
    std::vector<bool> slotUsed_;
    int usedCount_ = 0;
};

class TGlyphCache {
public:
    // The list for pictures of width x height, made when there is none yet.
    TGlyphList* ListFor(int width, int height);
    // Frees `list` when it has no slot in use.
    void GiveBack(TGlyphList* list);
    bool IsEmpty() const { return lists_.empty(); }
    int ListCount() const { return static_cast<int>(lists_.size()); }

private:
    std::vector<std::unique_ptr<TGlyphList>> lists_;
};

// The cache all button glyphs share; none before the first glyph painter and after the last.
TGlyphCache* SharedGlyphCache();

} // namespace widgets
