#include "ViewerGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace viewer {
namespace {

constexpr int kGlyphSize = 16;

using DrawGlyph = std::function<void(QPainter&, const QColor& ink, const QColor& fill)>;

QPixmap Face(const DrawGlyph& draw, const QColor& ink, const QColor& fill) {
    QPixmap face(kGlyphSize, kGlyphSize);
    face.fill(Qt::transparent);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, ink, fill);
    return face;
}

QIcon TwoStateGlyph(const DrawGlyph& draw, const QColor& fill) {
    QIcon glyph;
    glyph.addPixmap(Face(draw, QColor(0x20, 0x20, 0x20), fill), QIcon::Normal);
    glyph.addPixmap(Face(draw, QColor(0x80, 0x80, 0x80), QColor(0xC8, 0xC8, 0xC8)), QIcon::Disabled);
    return glyph;
}

// An arrow pointing left; mirrored for forward.
void DrawArrow(QPainter& painter, const QColor& ink, const QColor& fill, bool forward) {
    if (forward) {
        painter.translate(kGlyphSize, 0);
        painter.scale(-1, 1);
    }
    QPainterPath arrow;
    arrow.moveTo(1.5, 8);
    arrow.lineTo(8, 1.5);
    arrow.lineTo(8, 5);
    arrow.lineTo(14.5, 5);
    arrow.lineTo(14.5, 11);
    arrow.lineTo(8, 11);
    arrow.lineTo(8, 14.5);
    arrow.closeSubpath();
    painter.setPen(QPen(ink, 1));
    painter.setBrush(fill);
    painter.drawPath(arrow);
}

void DrawPrinter(QPainter& painter, const QColor& ink, const QColor& fill) {
    painter.setPen(QPen(ink, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(4.5, 1.5, 7, 5)); // paper going in
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1.5, 1.5); // body
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(4.5, 10.5, 7, 4)); // paper coming out
    painter.drawLine(QPointF(6, 12.5), QPointF(10, 12.5));
}

} // namespace

QIcon BackGlyph() {
    return TwoStateGlyph(
        [](QPainter& p, const QColor& ink, const QColor& fill) { DrawArrow(p, ink, fill, false); },
        QColor(0x3C, 0x8C, 0x3C));
}

QIcon ForwardGlyph() {
    return TwoStateGlyph(
        [](QPainter& p, const QColor& ink, const QColor& fill) { DrawArrow(p, ink, fill, true); },
        QColor(0x3C, 0x8C, 0x3C));
}

QIcon PrintGlyph() {
    return TwoStateGlyph(DrawPrinter, QColor(0xB4, 0xB4, 0xB4));
}

} // namespace viewer
