#include "BodyPictures.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kWater(40, 120, 220);
const QColor kDeepWater(20, 70, 160);

void DrawWaves(QPainter& p, int top, int count, const QColor& colour) {
    p.setPen(QPen(colour, 1.5));
    for (int i = 0; i < count; ++i) {
        QPainterPath wave;
        const int y = top + 5 * i;
        wave.moveTo(4, y);
        for (int x = 4; x < 28; x += 8) {
            wave.quadTo(x + 2, y - 3, x + 4, y);
            wave.quadTo(x + 6, y + 3, x + 8, y);
        }
        p.drawPath(wave);
    }
}

void DrawPool(QPainter& p) {
    p.setPen(QPen(Qt::darkGray, 2));
    p.setBrush(kWater);
    p.drawRoundedRect(QRectF(3, 7, 26, 19), 3, 3);
    p.setPen(QPen(Qt::white, 1, Qt::DashLine));
    p.drawLine(5, 13, 27, 13);
    p.drawLine(5, 19, 27, 19);
    p.setPen(QPen(Qt::lightGray, 1.5));
    p.drawLine(24, 3, 24, 9);
    p.drawLine(27, 3, 27, 9);
}

void DrawSpa(QPainter& p) {
    p.setPen(QPen(QColor(140, 90, 40), 2.5));
    p.setBrush(kWater);
    p.drawEllipse(QRectF(3, 10, 26, 18));
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::NoBrush);
    for (const QPointF& bubble :
         {QPointF(11, 17), QPointF(17, 21), QPointF(21, 15), QPointF(14, 4), QPointF(19, 7)})
        p.drawEllipse(bubble, 1.8, 1.8);
}

void DrawPond(QPainter& p) {
    p.setPen(QPen(QColor(90, 70, 40), 1.5));
    p.setBrush(QColor(50, 140, 130));
    QPainterPath shore;
    shore.moveTo(4, 18);
    shore.cubicTo(4, 8, 16, 6, 24, 10);
    shore.cubicTo(31, 13, 30, 26, 20, 27);
    shore.cubicTo(12, 28, 4, 26, 4, 18);
    p.drawPath(shore);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 170, 60));
    p.drawPie(QRectF(10, 13, 9, 7), 30 * 16, 300 * 16);
    p.setPen(QPen(QColor(30, 120, 30), 2));
    p.drawLine(26, 4, 25, 14);
    p.drawLine(29, 6, 27, 15);
}

void DrawWaterscape(QPainter& p) {
    p.setPen(QPen(Qt::darkGray, 1));
    p.setBrush(QColor(150, 150, 150));
    p.drawRect(QRectF(4, 6, 8, 6));
    p.drawRect(QRectF(4, 12, 12, 6));
    p.setPen(QPen(kWater, 2));
    p.drawLine(12, 9, 14, 20);
    p.drawLine(16, 15, 18, 22);
    p.setPen(Qt::NoPen);
    p.setBrush(kWater);
    p.drawRect(QRectF(3, 22, 26, 7));
    DrawWaves(p, 24, 1, Qt::white);
}

void DrawOther(QPainter& p) {
    QPainterPath drop;
    drop.moveTo(16, 3);
    drop.cubicTo(20, 11, 26, 16, 26, 21);
    drop.cubicTo(26, 27, 21, 30, 16, 30);
    drop.cubicTo(11, 30, 6, 27, 6, 21);
    drop.cubicTo(6, 16, 12, 11, 16, 3);
    p.setPen(QPen(kDeepWater, 1.5));
    p.setBrush(kWater);
    p.drawPath(drop);
    p.setPen(QPen(Qt::white, 2));
    p.drawArc(QRectF(10, 17, 8, 8), 180 * 16, 90 * 16);
}

QPixmap Canvas(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A speed button leaves out the pixels of its glyph's key colour. Each pixel is either the
// key colour or opaque: a half-transparent edge blended with the key would show as a fringe.
QImage OnKeyColour(const QImage& picture) {
    const QRgb key = qRgb(128, 128, 0); // olive: in none of the glyphs
    QImage glyph = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < glyph.height(); ++y)
        for (int x = 0; x < glyph.width(); ++x) {
            const QRgb pixel = glyph.pixel(x, y);
            glyph.setPixel(x, y, qAlpha(pixel) < 128 ? key : qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel)));
        }
    return glyph.convertToFormat(QImage::Format_RGB32);
}

// The speed buttons' glyphs are drawn pixel by pixel, every part outlined in black: a disabled
// speed button shows only a glyph's black pixels, embossed, so the outlines keep its shape.
void DrawOutlined(QPainter& p, const QPolygon& shape, const QColor& fill) {
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(fill);
    p.drawPolygon(shape);
}

// A small pool with a wave: the body itself.
void DrawSmallPool(QPainter& p) {
    DrawOutlined(p, QPolygon({{2, 9}, {12, 9}, {13, 10}, {13, 14}, {12, 15}, {2, 15}, {1, 14}, {1, 10}}),
                 kWater);
    p.setPen(QPen(Qt::white, 0));
    p.drawPolyline(
        QPolygon({{3, 12}, {4, 11}, {5, 11}, {6, 12}, {7, 12}, {8, 11}, {9, 11}, {10, 12}, {11, 12}}));
}

void DrawPlus(QPainter& p) {
    DrawOutlined(p,
                 QPolygon({{10, 0},
                           {13, 0},
                           {13, 2},
                           {15, 2},
                           {15, 5},
                           {13, 5},
                           {13, 7},
                           {10, 7},
                           {10, 5},
                           {8, 5},
                           {8, 2},
                           {10, 2}}),
                 Qt::red);
}

void DrawTestTube(QPainter& p) {
    DrawOutlined(p, QPolygon({{2, 1}, {5, 1}, {5, 7}, {2, 7}}), Qt::white);
    p.fillRect(3, 4, 2, 3, QColor(60, 170, 60));
    p.setPen(QPen(Qt::black, 0));
    p.drawLine(1, 1, 6, 1);
}

void DrawPencil(QPainter& p) {
    DrawOutlined(p, QPolygon({{6, 8}, {13, 1}, {15, 3}, {8, 10}}), QColor(230, 180, 40));
    DrawOutlined(p, QPolygon({{6, 8}, {8, 10}, {5, 11}}), QColor(240, 210, 160)); // the sharpened wood
    p.setPen(QPen(Qt::black, 0));
    p.drawLine(5, 11, 6, 10); // the lead
    p.drawLine(12, 2, 14, 4); // the ferrule
}

} // namespace

QPixmap BodyPicture(int kind) {
    QPixmap pixmap = Canvas(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case 0:
        DrawPool(p);
        break;
    case 1:
        DrawSpa(p);
        break;
    case 2:
        DrawPond(p);
        break;
    case 3:
        DrawWaterscape(p);
        break;
    default:
        DrawOther(p);
        break;
    }
    return pixmap;
}

widgets::TBitmap SpeedButtonGlyph(TSpeedGlyph glyph) {
    QPixmap pixmap = Canvas(16);
    QPainter p(&pixmap);
    DrawSmallPool(p);
    switch (glyph) {
    case TSpeedGlyph::NewBody:
        DrawPlus(p);
        break;
    case TSpeedGlyph::NewBodyAndTest:
        DrawPlus(p);
        DrawTestTube(p);
        break;
    case TSpeedGlyph::EditBody:
        DrawPencil(p);
        break;
    }
    p.end();
    return widgets::TBitmap(OnKeyColour(pixmap.toImage()));
}
