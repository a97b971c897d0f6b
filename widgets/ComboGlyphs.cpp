#include "ComboGlyphs.h"

#include <algorithm>

namespace widgets {
namespace {

QImage WhiteMono(int width, int height) {
    QImage image(width, height, QImage::Format_Mono);
    image.setColor(0, qRgb(0, 0, 0));
    image.setColor(1, qRgb(255, 255, 255));
    image.fill(1);
    return image;
}

void Black(QImage& image, int x, int y) {
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height()) image.setPixel(x, y, 0);
}

} // namespace

TBitmap MakeEllipsisGlyph(int buttonWidth) {
    const int width = std::max(1, buttonWidth - 6);
    constexpr int dot = 2;
    const int gap = std::clamp((width - 3 * dot) / 2, 1, 3);
    const int first = (width - 3 * dot - 2 * gap) / 2;
    QImage image = WhiteMono(width, 4);
    for (int i = 0; i < 3; ++i) {
        const int x = first + i * (gap + dot);
        for (int dx = 0; dx < dot; ++dx)
            for (int dy = 0; dy < dot; ++dy)
                Black(image, x + dx, 1 + dy);
    }
    return TBitmap(image);
}

TBitmap MakeDropDownGlyph() {
    QImage image = WhiteMono(7, 4);
    for (int row = 0; row < 4; ++row)
        for (int x = row; x < 7 - row; ++x)
            Black(image, x, row);
    return TBitmap(image);
}

} // namespace widgets
