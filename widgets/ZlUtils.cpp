#include "ZlUtils.h"

#include "ImageList.h"
#include "MaxMin.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace widgets {

int WidthOfRect(const QRect& rect) {
    return rect.width();
}

int HeightOfRect(const QRect& rect) {
    return rect.height();
}

void CutBitmapCell(const TBitmap* source, TBitmap* destination, int columns, int rows, int index) {
    if (!source || !destination) return;
    columns = LargerInt(columns, 1);
    rows = LargerInt(rows, 1);
    index = LargerInt(index, 0);
    const int cellWidth = source->Width() / columns;
    const int cellHeight = source->Height() / rows;
    const int column = index % columns;
    const int row = index / columns;
    if (source->Image.isNull())
        destination->Image = QImage();
    else
        destination->Image = source->Image.copy(column * cellWidth, row * cellHeight, cellWidth, cellHeight);
    destination->TransparentColorSet = source->TransparentColorSet;
    destination->Transparent = source->Transparent;
}

void CopyParentBackground(QWidget* control, QPainter& canvas) {
    if (!control || !control->parentWidget()) return;
    QWidget* parent = control->parentWidget();
    const QPoint origin = control->pos();

    canvas.save();
    canvas.setClipRect(QRect(-origin, parent->size()), Qt::IntersectClip);
    parent->render(&canvas, -origin, QRegion(control->geometry()), QWidget::DrawWindowBackground);
    canvas.restore();

    for (QObject* child : parent->children()) {
        if (child == control) break;
        auto* sibling = qobject_cast<QWidget*>(child);
        if (!sibling || sibling->isWindow() || !sibling->isVisibleTo(parent)) continue;
        if (!sibling->geometry().intersects(control->geometry())) continue;
        canvas.save();
        canvas.setClipRect(QRect(sibling->pos() - origin, sibling->size()), Qt::IntersectClip);
        sibling->render(&canvas, sibling->pos() - origin, QRegion(),
                        QWidget::DrawWindowBackground | QWidget::DrawChildren);
        canvas.restore();
    }
}

QImage MakeEmbossedBitmap(const TBitmap& source, TColor backColor, TColor faceColor, TColor highlightColor,
                          TColor shadowColor, bool withHighlight, const QPalette& palette) {
    const int width = source.Width();
    const int height = source.Height();
    QImage result(width, height, QImage::Format_RGB32);
    result.fill(ColorToRGB(faceColor, palette));
    if (width == 0 || height == 0) return result;

    // A monochrome source is turned to colour with white for both of its colours' roles, so its
    // white pixels play the back colour.
    const QRgb back = source.Monochrome() ? qRgb(255, 255, 255) : ColorToRGB(backColor, palette);
    const QImage pixels = source.Image.convertToFormat(QImage::Format_RGB32);
    const auto stamp = [&](int dx, int dy, QRgb color) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if ((pixels.pixel(x, y) & 0xFFFFFF) != (back & 0xFFFFFF)) continue;
                if (x + dx < width && y + dy < height) result.setPixel(x + dx, y + dy, color);
            }
    };
    if (withHighlight) stamp(1, 1, ColorToRGB(highlightColor, palette));
    stamp(0, 0, ColorToRGB(shadowColor, palette));
    return result;
}

QImage MakeDisabledGlyph(const TBitmap& source, TColor backColor, const QPalette& palette) {
    return MakeEmbossedBitmap(source, backColor, clBtnFace, clBtnHighlight, clBtnShadow, true, palette);
}

void DrawImageDisabled(const TImageList& images, QPainter& canvas, int x, int y, int index,
                       TColor highlightColor, TColor shadowColor, bool withHighlight,
                       const QPalette& palette) {
    if (index < 0 || index >= images.Count()) return;
    const QImage mask = images.Mask(index);
    const auto silhouette = [&](QRgb color) {
        QImage stamp(mask.size(), QImage::Format_ARGB32);
        stamp.fill(Qt::transparent);
        for (int py = 0; py < mask.height(); ++py)
            for (int px = 0; px < mask.width(); ++px)
                if ((mask.pixel(px, py) & 0xFFFFFF) == 0) stamp.setPixel(px, py, color);
        return stamp;
    };
    if (withHighlight) canvas.drawImage(x + 1, y + 1, silhouette(ColorToRGB(highlightColor, palette)));
    canvas.drawImage(x, y, silhouette(ColorToRGB(shadowColor, palette)));
}

QString ShortenToWidth(const QString& text, const TextWidthFunction& textWidth, int maxWidth) {
    QString result = text;
    const int length = static_cast<int>(text.length());
    int i = 1;
    while (i <= length && textWidth(result) > maxWidth) {
        ++i;
        result = text.left(LargerInt(0, length - i)) + QStringLiteral("...");
    }
    return result;
}

QString ShortenToWidth(const QString& text, const QFontMetrics& metrics, int maxWidth) {
    return ShortenToWidth(
        text, [&](const QString& s) { return metrics.horizontalAdvance(s); }, maxWidth);
}

namespace {

// Swallows the first matching event and goes away once what is waiting now has been delivered.
class PendingEventDropper final : public QObject {
public:
    PendingEventDropper(QObject* window, QEvent::Type type, std::function<bool(const QEvent&)> matches)
        : window_(window), anyWindow_(window == nullptr), type_(type), matches_(std::move(matches)) {
        qApp->installEventFilter(this);
        QTimer::singleShot(0, this, [this] { deleteLater(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (done_ || event->type() != type_) return false;
        if (!anyWindow_ && watched != window_) return false;
        if (matches_ && !matches_(*event)) return false;
        done_ = true;
        return true;
    }

private:
    QPointer<QObject> window_;
    bool anyWindow_;
    QEvent::Type type_;
    std::function<bool(const QEvent&)> matches_;
    bool done_ = false;
};

} // namespace

void DropPendingMessage(QObject* window, QEvent::Type type, std::function<bool(const QEvent&)> matches) {
    if (type == QEvent::Quit || !qApp) return;
    new PendingEventDropper(window, type, std::move(matches));
}

bool OwnsActiveWindow() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) &&
           QApplication::activeWindow() != nullptr;
}

QString PassResourceText(const QString& text) {
    return text;
}

} // namespace widgets
