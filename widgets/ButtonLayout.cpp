#include "ButtonLayout.h"

#include "MaxMin.h"

#include <QStringList>

namespace widgets {
namespace {

constexpr int kMarkRoom = 9;
constexpr int kMarkBesideGlyph = 6;
constexpr int kMaxCaption = 255;

bool Sideways(TButtonLayout layout) {
    return layout == blGlyphLeft || layout == blGlyphRight;
}

} // namespace

QSize CaptionRoom(QSize client, QSize glyph, TButtonLayout layout, int margin, int spacing, bool mark) {
    int width = client.width();
    int height = client.height();
    if (Sideways(layout)) {
        width -= glyph.width();
        if (margin != -1) width -= margin;
        if (spacing != -1) width -= spacing;
        if (mark) width -= kMarkRoom;
    } else {
        height -= glyph.height();
        if (margin != -1) height -= margin;
        if (spacing != -1) height -= spacing;
    }
    return QSize(LargerInt(width, 0), LargerInt(height, 0));
}

GlyphPlacement PlaceGlyphAndCaption(const QRect& client, QSize glyph, QSize text, TButtonLayout layout,
                                    int margin, int spacing, bool mark) {
    const int cw = client.width();
    const int ch = client.height();
    int gw = glyph.width();
    const int gh = glyph.height();
    int tw = text.width();
    const int th = text.height();

    if (mark && (gw == 0 || gh == 0 || layout == blGlyphLeft))
        tw += kMarkRoom;
    else if (mark && gw > 0)
        gw += kMarkBesideGlyph;

    QPoint glyphPos;
    QPoint captionPos;
    if (Sideways(layout)) {
        glyphPos.setY(ch / 2 - gh / 2);
        captionPos.setY(ch / 2 - th / 2);
    } else {
        glyphPos.setX(cw / 2 - gw / 2);
        captionPos.setX(cw / 2 - tw / 2);
    }

    if (tw == 0 || gw == 0) spacing = 0;

    const int extent = Sideways(layout) ? cw : ch;
    const int g = Sideways(layout) ? gw : gh;
    const int t = Sideways(layout) ? tw : th;
    if (margin == -1 && spacing == -1) {
        margin = (extent - (g + t)) / 3;
        spacing = margin;
    } else if (margin == -1) {
        margin = extent / 2 - (g + spacing + t) / 2;
    } else if (spacing == -1) {
        spacing = (extent - (margin + g)) / 2 - t / 2;
    }

    switch (layout) {
    case blGlyphLeft:
        glyphPos.setX(margin);
        captionPos.setX(glyphPos.x() + gw + spacing);
        break;
    case blGlyphRight:
        glyphPos.setX(cw - margin - gw);
        captionPos.setX(glyphPos.x() - spacing - tw);
        break;
    case blGlyphTop:
        glyphPos.setY(margin);
        captionPos.setY(glyphPos.y() + gh + spacing);
        break;
    case blGlyphBottom:
        glyphPos.setY(ch - margin - gh);
        captionPos.setY(glyphPos.y() - spacing - th);
        break;
    }

    GlyphPlacement placement;
    placement.glyphPos = glyphPos + client.topLeft();
    placement.captionRect = QRect(captionPos + client.topLeft(), text);
    return placement;
}

QString FitCaption(const QString& caption, int width, bool wrapText, const TextWidthFunction& textWidth) {
    QString text = caption.left(kMaxCaption);
    if (wrapText) return text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    QStringList lines = text.split(QChar('\n'));
    for (QString& line : lines)
        line = ShortenToWidth(line, textWidth, width);
    QString joined = lines.join(QStringLiteral("\r\n"));
    while (!joined.isEmpty() && (joined.back() == ' ' || joined.back() == '\r' || joined.back() == '\n'))
        joined.chop(1);
    return joined.left(kMaxCaption);
}

QPoint DropMarkPosition(const QRect& client, TButtonLayout layout, bool glyphExists, QPoint glyphPos,
                        QSize glyphDrawn, const QRect& captionRect, bool captionEmpty) {
    if (layout != blGlyphLeft && glyphExists)
        return QPoint(glyphPos.x() + glyphDrawn.width() + 1, glyphPos.y() + glyphDrawn.height() / 2);
    // The caption rectangle's right edge lies just outside it, as the class library counts.
    const int x = captionEmpty ? (client.left() + client.left() + client.width() - 7) / 2
                               : captionRect.left() + captionRect.width() + 3;
    return QPoint(x, captionRect.top() + captionRect.height() / 2);
}

} // namespace widgets
