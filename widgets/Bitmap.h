#pragma once

#include "ZlColors.h"

#include <QImage>

#include <optional>

// A picture as the class library's bitmap holds it: the pixels, and the colour that counts as
// transparent (set explicitly, or taken from the picture itself).
namespace widgets {

struct TBitmap {
    QImage Image;
    // The transparent colour set on the bitmap; none means "taken from the picture".
    std::optional<TColor> TransparentColorSet;
    // Whether the picture is drawn with its transparent colour left out.
    bool Transparent = false;

    TBitmap() = default;
    explicit TBitmap(QImage image) : Image(std::move(image)) {}

    bool Empty() const { return Image.isNull() || Image.width() == 0 || Image.height() == 0; }
    int Width() const { return Image.isNull() ? 0 : Image.width(); }
    int Height() const { return Image.isNull() ? 0 : Image.height(); }
    bool Monochrome() const {
        return Image.format() == QImage::Format_Mono || Image.format() == QImage::Format_MonoLSB;
    }
    // The explicit transparent colour; else white for a monochrome picture, else the colour of
    // its bottom-left pixel (clBlack for an empty one). Always a plain colour value.
    TColor TransparentColor() const;
    // The plain colour of the pixel at (x, y).
    TColor Pixel(int x, int y) const { return RGBToColor(Image.pixel(x, y)); }
};

inline TColor TBitmap::TransparentColor() const {
    if (TransparentColorSet) return *TransparentColorSet & ~TColor{0x02000000};
    if (Empty()) return clBlack;
    if (Monochrome()) return clWhite;
    return Pixel(0, Height() - 1);
}

} // namespace widgets
