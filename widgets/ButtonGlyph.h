#pragma once

#include "Bitmap.h"
#include "ZlCtrlTypes.h"
#include "ZlUtils.h"

#include <QPalette>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <functional>

class QPainter;

// What lies on a speed button's face: the glyph, one prepared image per face state (kept in
// the shared glyph cache), the caption and the drop-down mark, laid out and drawn.
namespace widgets {

class TGlyphList;
class TImageList;

class TZlButtonGlyph {
public:
    TZlButtonGlyph();
    ~TZlButtonGlyph();
    TZlButtonGlyph(const TZlButtonGlyph&) = delete;
    TZlButtonGlyph& operator=(const TZlButtonGlyph&) = delete;

    // The glyph: CellCount cells side by side, cell i showing face state i.
    const TBitmap& SourceBitmap() const { return sourceBitmap_; }
    // Drops the prepared images and takes a copy of `bitmap` (the cell count and key colour
    // follow from it).
    void SetSourceBitmap(const TBitmap& bitmap);

    int CellCount() const { return cellCount_; }
    // A new count of 1 or more drops the prepared images; others are ignored.
    void SetCellCount(int count);
    TColor KeyColor() const { return keyColor_; }

    bool WrapText = false;
    TAlignment TextAlign = taCenter;
    // Fired after the glyph changed.
    std::function<void()> OnGlyphChange;

    // The palette that gives the system colours; the owner passes its own and clears the
    // images when it changes.
    void SetPalette(const QPalette& palette) { palette_ = palette; }
    const QPalette& Palette() const { return palette_; }

    // Gives back every prepared image.
    void ClearImages();
    // The slot in CellList of the image for `state`, prepared now when needed; -1 without glyph.
    int ImageForState(TSpeedFaceState state);
    // The same for picture `index` of `images` (image-list glyphs).
    int ListImageForState(TSpeedFaceState state, const TImageList* images, int index);
    TGlyphList* CellList() const { return cellList_; }
    int StateIndex(TSpeedFaceState state) const { return stateIndex_[state]; }

    // Draws glyph, caption and (with `mark`) the drop-down mark into `client`; returns the
    // caption rectangle. `textFlags` are Qt alignment flags for the caption.
    QRect Render(QPainter& canvas, const QRect& client, const QString& caption, TButtonLayout layout,
                 int margin, int spacing, bool mark, TSpeedFaceState state, int textFlags);
    // The same with picture `imageIndex` of `images` as the glyph when there is one.
    QRect RenderFrom(QPainter& canvas, const QRect& client, const QString& caption, TButtonLayout layout,
                     int margin, int spacing, bool mark, TSpeedFaceState state, int textFlags,
                     const TImageList* images, int imageIndex);

    // Where glyph and caption go in `client`, and the caption shortened to its room.
    struct Layout {
        QString caption;
        QPoint glyphPos;
        QRect captionRect;
    };
    Layout ComputeLayout(QPainter& canvas, const QRect& client, const QString& caption, TButtonLayout layout,
                         int margin, int spacing, bool mark, int textFlags,
                         const TImageList* images = nullptr, int imageIndex = -1) const;
    // Draws a caption laid out by ComputeLayout in the canvas's pen (embossed when disabled).
    void DrawCaption(QPainter& canvas, const QString& caption, const QRect& rect, TSpeedFaceState state,
                     int textFlags) const;

    // Draws the prepared image of `state` at `pos`; the size drawn (0 x 0 for nothing).
    QSize DrawSourceGlyph(QPainter& canvas, QPoint pos, TSpeedFaceState state);
    QSize DrawListGlyph(QPainter& canvas, QPoint pos, const TImageList* images, int index,
                        TSpeedFaceState state);

    // The grey of a pixel for the flat-at-rest image; the key colour and the face colour stay.
    QRgb GrayPixel(QRgb color) const;
    // The caption as it fits `width` (a wrapped caption is not shortened).
    QString FitCaption(const QString& caption, int width, const TextWidthFunction& textWidth) const;

    // The drop-down mark: a 7-pixel-wide downward triangle whose top row is y - 1.
    static void DrawDropArrow(QPainter& canvas, QPoint pos, TSpeedFaceState state, const QPalette& palette);

private:
    void SourceChanged();
    QImage CellImage(int cell) const;
    bool HasListPicture(const TImageList* images, int index) const;
    bool UsesList(const TImageList* images, int index) const;
    TGlyphList* ListOfSize(int width, int height);

    TBitmap sourceBitmap_;
    TGlyphList* cellList_ = nullptr;
    std::array<int, 5> stateIndex_{-1, -1, -1, -1, -1};
    TColor keyColor_;
    int cellCount_ = 1;
    QPalette palette_;
};

} // namespace widgets
