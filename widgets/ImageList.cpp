#include "ImageList.h"

#include <QPainter>

namespace widgets {

TImageList::TImageList(int width, int height)
    : width_(width < 0 ? 0 : width), height_(height < 0 ? 0 : height) {}

QImage TImageList::Fitted(const QImage& image) const {
    QImage fitted(width_, height_, QImage::Format_ARGB32);
    fitted.fill(Qt::transparent);
    if (image.isNull()) return fitted;
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height_ && y < source.height(); ++y)
        for (int x = 0; x < width_ && x < source.width(); ++x)
            fitted.setPixel(x, y, source.pixel(x, y));
    return fitted;
}

int TImageList::Add(const QImage& image) {
    images_.push_back(Fitted(image));
    return Count() - 1;
}

int TImageList::AddEmpty() {
    return Add(QImage());
}

void TImageList::Replace(int index, const QImage& image, const QImage& mask) {
    if (index < 0 || index >= Count()) return;
    QImage picture = Fitted(image.convertToFormat(QImage::Format_RGB32));
    const QImage monoMask = mask.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const bool inside = x < monoMask.width() && y < monoMask.height();
            if (!inside || (monoMask.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) picture.setPixel(x, y, 0);
        }
    images_[static_cast<std::size_t>(index)] = picture;
}

void TImageList::ReplaceMasked(int index, const QImage& image, QRgb maskColor) {
    if (index < 0 || index >= Count()) return;
    QImage picture = Fitted(image.convertToFormat(QImage::Format_RGB32));
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if ((picture.pixel(x, y) & 0xFFFFFF) == (maskColor & 0xFFFFFF)) picture.setPixel(x, y, 0);
    images_[static_cast<std::size_t>(index)] = picture;
}

QImage TImageList::Mask(int index) const {
    QImage mask(width_, height_, QImage::Format_RGB32);
    mask.fill(Qt::white);
    if (index < 0 || index >= Count()) return mask;
    const QImage& picture = Picture(index);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (qAlpha(picture.pixel(x, y)) != 0) mask.setPixel(x, y, qRgb(0, 0, 0));
    return mask;
}

void TImageList::Draw(QPainter& canvas, int x, int y, int index) const {
    if (index < 0 || index >= Count()) return;
    canvas.drawImage(x, y, Picture(index));
}

} // namespace widgets
