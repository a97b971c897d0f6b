#pragma once

#include "Bitmap.h"
#include "ZlColors.h"

#include <QEvent>
#include <QRect>
#include <QString>

#include <functional>

class QFontMetrics;
class QObject;
class QPainter;
class QWidget;

// Free-standing bitmap, text and window routines the entry widgets share.
namespace widgets {

class TImageList;

// Right - left and bottom - top of a rectangle whose right and bottom edges lie outside it.
int WidthOfRect(const QRect& rect);
int HeightOfRect(const QRect& rect);

// Makes `destination` the cell `index` (row by row from 0) of `source` cut into columns x rows
// equal cells; it takes the source's transparent colour and flag. Nothing without either bitmap;
// columns and rows below 1 count as 1, an index below 0 as 0.
void CutBitmapCell(const TBitmap* source, TBitmap* destination, int columns, int rows, int index);

// Paints onto `canvas` (the control's own coordinates) what lies beneath `control` inside its
// parent: the parent's own face, then the siblings below the control that overlap it.
void CopyParentBackground(QWidget* control, QPainter& canvas);

// A new picture of the source's size in the face colour, where every source pixel of the back
// colour (white for a monochrome source) shows as a highlight pixel one right and one down
// (when `withHighlight`), overdrawn by a shadow pixel in place.
QImage MakeEmbossedBitmap(const TBitmap& source, TColor backColor, TColor faceColor, TColor highlightColor,
                          TColor shadowColor, bool withHighlight, const QPalette& palette);
// The embossed picture in clBtnFace, clBtnHighlight and clBtnShadow, with the highlight.
QImage MakeDisabledGlyph(const TBitmap& source, TColor backColor, const QPalette& palette);
// Draws the silhouette of picture `index` embossed at (x, y): every opaque pixel in the
// highlight colour one right and one down (when `withHighlight`), then in the shadow colour.
void DrawImageDisabled(const TImageList& images, QPainter& canvas, int x, int y, int index,
                       TColor highlightColor, TColor shadowColor, bool withHighlight,
                       const QPalette& palette);

// Width of a text in pixels, as the canvas measures it.
using TextWidthFunction = std::function<int(const QString&)>;
// The text, or when it is wider than `maxWidth` the longest of its beginnings followed by "..."
// that fits (the form less only its last character is never tried; "..." alone at worst).
QString ShortenToWidth(const QString& text, const TextWidthFunction& textWidth, int maxWidth);
QString ShortenToWidth(const QString& text, const QFontMetrics& metrics, int maxWidth);

// Drops the first event of `type` still waiting for `window` (any receiver when none) that
// `matches` accepts, so an input that already did its work elsewhere is not handled again. Only
// what is waiting now counts. A quit request is never dropped.
void DropPendingMessage(QObject* window, QEvent::Type type,
                        std::function<bool(const QEvent&)> matches = std::function<bool(const QEvent&)>());

// True while one of this application's windows is the active window.
bool OwnsActiveWindow();

// A text loaded from the string table, passed on as it stands.
QString PassResourceText(const QString& text);

} // namespace widgets
