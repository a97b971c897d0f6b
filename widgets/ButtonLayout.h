#pragma once

#include "ZlCtrlTypes.h"
#include "ZlUtils.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// Where a button face puts its glyph and caption: pure arithmetic on sizes, so each rule can be
// checked without a screen. Divisions truncate toward zero; -1 as margin or spacing means
// "place automatically".
namespace widgets {

// Room left for the caption beside (left/right layouts) or under/over (top/bottom) the glyph;
// both sides at least 0. The drop-down mark takes 9 pixels beside the caption.
QSize CaptionRoom(QSize client, QSize glyph, TButtonLayout layout, int margin, int spacing, bool mark);

struct GlyphPlacement {
    QPoint glyphPos;   // in the client's coordinates
    QRect captionRect; // the measured caption, moved into place
};

// Places a glyph and a caption of measured size `text` in `client`.
GlyphPlacement PlaceGlyphAndCaption(const QRect& client, QSize glyph, QSize text, TButtonLayout layout,
                                    int margin, int spacing, bool mark);

// The caption as it fits `width`: cut to 255 characters; unless wrapped, each of its lines
// shortened with "...", joined by CR LF, trailing blanks and line breaks removed.
QString FitCaption(const QString& caption, int width, bool wrapText, const TextWidthFunction& textWidth);

// Where the drop-down mark goes: beside the glyph (when there is one and the layout is not
// glyph-left), else right of the caption, or centred when the caption is empty. `glyphDrawn` is
// the size the glyph was drawn at.
QPoint DropMarkPosition(const QRect& client, TButtonLayout layout, bool glyphExists, QPoint glyphPos,
                        QSize glyphDrawn, const QRect& captionRect, bool captionEmpty);

} // namespace widgets
