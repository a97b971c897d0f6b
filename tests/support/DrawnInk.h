#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QRect>

// What a window test reads from a drawn picture: where its ink lies, and how many pixels meet
// a test's condition.
namespace test {

// The most frequent colour of `image` inside `area`: the ground its ink is drawn on.
inline QRgb GroundOf(const QImage& image, const QRect& area) {
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb ground = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            ground = it.key();
            most = it.value();
        }
    return ground;
}

// The box around the pixels of `image` inside `area` that are not the area's own ground; empty
// when there are none.
inline QRect InkBox(const QImage& image, const QRect& area) {
    const QRgb ground = GroundOf(image, area);
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != ground) box |= QRect(x, y, 1, 1);
    return box;
}

// How many pixels of `image` inside `area` are not its ground.
inline int InkPixels(const QImage& image, const QRect& area) {
    const QRgb ground = GroundOf(image, area);
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != ground) ++count;
    return count;
}

// The pixels of `image` inside `area` whose colour meets `condition`.
template <typename Condition> int PixelsWhere(const QImage& image, const QRect& area, Condition condition) {
    int count = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (condition(image.pixelColor(x, y))) ++count;
    return count;
}

// A clearly red pixel, as the program's red texts and chart lines draw.
inline bool IsClearlyRed(const QColor& pixel) {
    return pixel.red() > 150 && pixel.green() < 90 && pixel.blue() < 90;
}

} // namespace test
