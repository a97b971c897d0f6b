#pragma once

#include <QImage>

#include <vector>

class QPainter;

// The class library's image list: pictures of one size, each with its own transparency, drawn
// by index.
namespace widgets {

class TImageList {
public:
    TImageList(int width, int height);
    virtual ~TImageList() = default;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Count() const { return static_cast<int>(images_.size()); }

    // Appends a picture (its top-left Width x Height pixels, alpha kept); returns its index.
    int Add(const QImage& image);
    // Appends a fully transparent picture; returns its index.
    int AddEmpty();
    // Replaces picture `index` with `image`, transparent where `mask` is white.
    void Replace(int index, const QImage& image, const QImage& mask);
    // Replaces picture `index` with `image`, transparent where its colour value is `maskColor`.
    void ReplaceMasked(int index, const QImage& image, QRgb maskColor);

    // The picture as ARGB, transparent pixels with alpha 0.
    const QImage& Picture(int index) const { return images_.at(static_cast<std::size_t>(index)); }
    // The picture's mask: black where the picture is opaque, white elsewhere.
    QImage Mask(int index) const;
    // Draws picture `index` with its transparency at (x, y); nothing for an index out of range.
    void Draw(QPainter& canvas, int x, int y, int index) const;

private:
    QImage Fitted(const QImage& image) const;

    int width_;
    int height_;
    std::vector<QImage> images_;
};

} // namespace widgets
