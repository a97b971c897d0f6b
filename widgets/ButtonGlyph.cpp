#include "ButtonGlyph.h"

#include "ButtonLayout.h"
#include "GlyphCache.h"
#include "ImageList.h"
#include "MaxMin.h"
#include "ZlUtils.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <memory>

namespace widgets {
namespace {

std::unique_ptr<TGlyphCache> sharedCache;

TGlyphCache& MakeSharedCache() {
    if (!sharedCache) sharedCache = std::make_unique<TGlyphCache>();
    return *sharedCache;
}

QPalette StartingPalette() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::palette()
                                                                        : QPalette();
}

QString DrawnText(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

TGlyphCache* SharedGlyphCache() {
    return sharedCache.get();
}

TZlButtonGlyph::TZlButtonGlyph() : keyColor_(clFuchsia), palette_(StartingPalette()) {
    MakeSharedCache();
}

TZlButtonGlyph::~TZlButtonGlyph() {
    ClearImages();
    if (sharedCache && sharedCache->IsEmpty()) sharedCache.reset();
}

void TZlButtonGlyph::SetSourceBitmap(const TBitmap& bitmap) {
    ClearImages();
    sourceBitmap_ = bitmap;
    SourceChanged();
}

void TZlButtonGlyph::SourceChanged() {
    ClearImages();
    const int width = sourceBitmap_.Width();
    const int height = sourceBitmap_.Height();
    if (height > 0) {
        keyColor_ = sourceBitmap_.TransparentColor();
        if (width % height == 0) {
            const int cells = width / height;
            // A strip of more than five square cells is one glyph.
            SetCellCount(cells <= 5 ? cells : 1);
        }
    }
    if (OnGlyphChange) OnGlyphChange();
}

void TZlButtonGlyph::SetCellCount(int count) {
    // Below 1 there would be no cell to draw; the class library's range is 1 to 5.
    if (count == cellCount_ || count < 1) return;
    ClearImages();
    cellCount_ = count;
}

void TZlButtonGlyph::ClearImages() {
    for (int& slot : stateIndex_) {
        if (slot != -1 && cellList_) cellList_->ReleaseSlot(slot);
        slot = -1;
    }
    if (sharedCache) sharedCache->GiveBack(cellList_);
    cellList_ = nullptr;
}

TGlyphList* TZlButtonGlyph::ListOfSize(int width, int height) {
    if (!cellList_) cellList_ = MakeSharedCache().ListFor(width, height);
    return cellList_;
}

QImage TZlButtonGlyph::CellImage(int cell) const {
    const int width = sourceBitmap_.Width() / cellCount_;
    return sourceBitmap_.Image.copy(cell * width, 0, width, sourceBitmap_.Height())
        .convertToFormat(QImage::Format_RGB32);
}

QRgb TZlButtonGlyph::GrayPixel(QRgb color) const {
    const QRgb plain = color & 0xFFFFFF;
    if (plain == (ColorToRGB(keyColor_, palette_) & 0xFFFFFF) ||
        plain == (ColorToRGB(clBtnFace, palette_) & 0xFFFFFF))
        return color;
    const int gray = (77 * qRed(color) + 150 * qGreen(color) + 29 * qBlue(color)) / 256;
    return qRgb(gray, gray, gray);
}

int TZlButtonGlyph::ImageForState(TSpeedFaceState state) {
    if (state == sfDown && cellCount_ < 3) state = sfUp;
    if (stateIndex_[state] != -1) return stateIndex_[state];
    if (sourceBitmap_.Empty()) return -1;
    const int width = sourceBitmap_.Width() / cellCount_;
    const int height = sourceBitmap_.Height();
    if (width == 0) return -1;
    TGlyphList* list = ListOfSize(width, height);

    const QRgb key = ColorToRGB(keyColor_, palette_);
    const QRgb face = ColorToRGB(clBtnFace, palette_);
    const int ownCell = state < cellCount_ ? state : 0;
    int slot = -1;
    switch (state) {
    case sfUp:
    case sfDown:
    case sfExclusive:
        slot = list->AddKeyed(CellImage(ownCell), key);
        break;
    case sfDisabled:
        if (cellCount_ >= 2)
            slot = list->AddKeyed(CellImage(1), key);
        else
            slot = list->AddKeyed(MakeDisabledGlyph(sourceBitmap_, clBlack, palette_), face);
        break;
    case sfInactive:
        if (cellCount_ == 5) {
            slot = list->AddKeyed(CellImage(4), key);
        } else {
            QImage work = CellImage(0);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    work.setPixel(x, y, GrayPixel(work.pixel(x, y)));
            slot = list->AddKeyed(work, key);
        }
        break;
    }
    stateIndex_[state] = slot;
    return slot;
}

bool TZlButtonGlyph::HasListPicture(const TImageList* images, int index) const {
    return images && index >= 0 && index < images->Count();
}

int TZlButtonGlyph::ListImageForState(TSpeedFaceState state, const TImageList* images, int index) {
    if (state == sfDown) state = sfUp;
    if (stateIndex_[state] != -1) return stateIndex_[state];
    if (!images || images->Count() == 0 || images->Width() == 0 || images->Height() == 0) return -1;
    TGlyphList* list = ListOfSize(images->Width(), images->Height());

    const QRgb face = ColorToRGB(clBtnFace, palette_);
    QImage work(images->Width(), images->Height(), QImage::Format_RGB32);
    int slot = -1;
    switch (state) {
    case sfUp:
    case sfDown:
    case sfExclusive: {
        work.fill(Qt::white);
        QPainter painter(&work);
        images->Draw(painter, 0, 0, index);
        painter.end();
        slot = list->AddPair(work, images->Mask(index));
        break;
    }
    case sfDisabled: {
        work.fill(face);
        QPainter painter(&work);
        DrawImageDisabled(*images, painter, 0, 0, index, clBtnHighlight, clBtnShadow, true, palette_);
        painter.end();
        slot = list->AddKeyed(work, face);
        break;
    }
    case sfInactive: {
        work.fill(face);
        QPainter painter(&work);
        images->Draw(painter, 0, 0, index);
        painter.end();
        for (int y = 0; y < work.height(); ++y)
            for (int x = 0; x < work.width(); ++x)
                work.setPixel(x, y, GrayPixel(work.pixel(x, y)));
        slot = list->AddKeyed(work, face);
        break;
    }
    }
    stateIndex_[state] = slot;
    return slot;
}

QSize TZlButtonGlyph::DrawSourceGlyph(QPainter& canvas, QPoint pos, TSpeedFaceState state) {
    if (sourceBitmap_.Empty()) return QSize(0, 0);
    const int slot = ImageForState(state);
    if (slot == -1 || !cellList_) return QSize(0, 0);
    cellList_->Draw(canvas, pos.x(), pos.y(), slot);
    return QSize(cellList_->Width(), cellList_->Height());
}

QSize TZlButtonGlyph::DrawListGlyph(QPainter& canvas, QPoint pos, const TImageList* images, int index,
                                    TSpeedFaceState state) {
    if (!HasListPicture(images, index)) return QSize(0, 0);
    if (state == sfDisabled) {
        DrawImageDisabled(*images, canvas, pos.x(), pos.y(), index, clBtnHighlight, clBtnShadow, true,
                          palette_);
    } else if (state == sfInactive) {
        const int slot = ListImageForState(state, images, index);
        if (slot != -1 && cellList_) cellList_->Draw(canvas, pos.x(), pos.y(), slot);
    } else {
        images->Draw(canvas, pos.x(), pos.y(), index);
    }
    return QSize(images->Width(), images->Height());
}

QString TZlButtonGlyph::FitCaption(const QString& caption, int width,
                                   const TextWidthFunction& textWidth) const {
    return widgets::FitCaption(caption, width, WrapText, textWidth);
}

QRect TZlButtonGlyph::Render(QPainter& canvas, const QRect& client, const QString& caption,
                             TButtonLayout layout, int margin, int spacing, bool mark, TSpeedFaceState state,
                             int textFlags) {
    return RenderFrom(canvas, client, caption, layout, margin, spacing, mark, state, textFlags, nullptr, -1);
}

bool TZlButtonGlyph::UsesList(const TImageList* images, int index) const {
    return HasListPicture(images, index) && images->Width() > 0;
}

TZlButtonGlyph::Layout TZlButtonGlyph::ComputeLayout(QPainter& canvas, const QRect& client,
                                                     const QString& caption, TButtonLayout layout, int margin,
                                                     int spacing, bool mark, int textFlags,
                                                     const TImageList* images, int imageIndex) const {
    QSize glyph(0, 0);
    if (UsesList(images, imageIndex))
        glyph = QSize(images->Width(), images->Height());
    else if (!sourceBitmap_.Empty())
        glyph = QSize(sourceBitmap_.Width() / cellCount_, sourceBitmap_.Height());

    const QFontMetrics metrics(canvas.font());
    const TextWidthFunction textWidth = [&](const QString& text) { return metrics.horizontalAdvance(text); };
    const QSize room = CaptionRoom(client.size(), glyph, layout, margin, spacing, mark);
    Layout result;
    result.caption = FitCaption(caption, room.width(), textWidth);

    QSize textSize(0, 0);
    if (!result.caption.isEmpty()) {
        const int flags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextShowMnemonic |
                          (WrapText ? Qt::TextWordWrap : 0) | textFlags;
        const QRect measured =
            metrics.boundingRect(QRect(0, 0, room.width(), 0), flags, DrawnText(result.caption));
        textSize =
            QSize(SmallerInt(measured.width(), room.width()), SmallerInt(measured.height(), room.height()));
    }
    const GlyphPlacement placement =
        PlaceGlyphAndCaption(client, glyph, textSize, layout, margin, spacing, mark);
    result.glyphPos = placement.glyphPos;
    result.captionRect = placement.captionRect;
    return result;
}

void TZlButtonGlyph::DrawCaption(QPainter& canvas, const QString& caption, const QRect& rect,
                                 TSpeedFaceState state, int textFlags) const {
    if (caption.isEmpty()) return;
    const QString text = DrawnText(caption.left(255));
    const int flags = (WrapText ? Qt::TextWordWrap : 0) | Qt::AlignVCenter | Qt::TextShowMnemonic | textFlags;
    canvas.save();
    canvas.setBrush(Qt::NoBrush);
    if (state == sfDisabled) {
        canvas.setPen(ToQColor(clBtnHighlight, palette_));
        canvas.drawText(rect.translated(1, 1), flags, text);
        canvas.setPen(ToQColor(clBtnShadow, palette_));
    }
    canvas.drawText(rect, flags, text);
    canvas.restore();
}

QRect TZlButtonGlyph::RenderFrom(QPainter& canvas, const QRect& client, const QString& caption,
                                 TButtonLayout layout, int margin, int spacing, bool mark,
                                 TSpeedFaceState state, int textFlags, const TImageList* images,
                                 int imageIndex) {
    const Layout placed =
        ComputeLayout(canvas, client, caption, layout, margin, spacing, mark, textFlags, images, imageIndex);
    const bool useList = UsesList(images, imageIndex);
    const QSize drawn = useList ? DrawListGlyph(canvas, placed.glyphPos, images, imageIndex, state)
                                : DrawSourceGlyph(canvas, placed.glyphPos, state);
    DrawCaption(canvas, placed.caption, placed.captionRect, state, textFlags);
    if (mark) {
        const bool glyphExists = sourceBitmap_.Width() > 0 || (useList && drawn.width() > 0);
        DrawDropArrow(canvas,
                      DropMarkPosition(client, layout, glyphExists, placed.glyphPos, drawn,
                                       placed.captionRect, placed.caption.isEmpty()),
                      state, palette_);
    }
    return placed.captionRect;
}

void TZlButtonGlyph::DrawDropArrow(QPainter& canvas, QPoint pos, TSpeedFaceState state,
                                   const QPalette& palette) {
    const auto triangle = [&](QPoint at, const QColor& color) {
        canvas.fillRect(at.x(), at.y() - 1, 7, 1, color);
        canvas.fillRect(at.x() + 1, at.y(), 5, 1, color);
        canvas.fillRect(at.x() + 2, at.y() + 1, 3, 1, color);
        canvas.fillRect(at.x() + 3, at.y() + 2, 1, 1, color);
    };
    if (state == sfDisabled) {
        triangle(pos + QPoint(1, 1), ToQColor(clBtnHighlight, palette));
        triangle(pos, ToQColor(clBtnShadow, palette));
    } else {
        triangle(pos, ToQColor(clBtnText, palette));
    }
}

} // namespace widgets
