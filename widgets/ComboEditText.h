#pragma once

#include "ZlCtrlTypes.h"

#include <QPoint>
#include <QString>

class QPainter;
class QWidget;

// Text metrics and the aligned text painter of combo edits.
namespace widgets {

class TCustomComboEdit;

// The smaller of the system font's and the control's font's character heights.
int FontTextHeight(const QWidget* control);
// Where an edit's text starts: X the left margin, Y the top.
QPoint TextMarginsOf(const TCustomComboEdit* edit);
// Without the 3-D look: the edit's border drawn over as one pixel of the window-frame colour,
// the edit's own colour inside it.
void PaintFlatFrame(const TCustomComboEdit* edit, QPainter& canvas);
// Draws `text` beside the button, aligned left, right or centred, while the edit is not being
// edited. With standardPaint it draws nothing and answers false: the caller lets the line edit
// paint itself.
bool PaintAlignedText(TCustomComboEdit* edit, QPainter& canvas, const QString& text, TAlignment alignment,
                      bool standardPaint);

} // namespace widgets
