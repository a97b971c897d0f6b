#pragma once

#include "Bitmap.h"

// The built-in glyphs of a combo edit's button.
namespace widgets {

// Three 2 x 2 black dots on white, centred in max(1, buttonWidth - 6) x 4 pixels.
TBitmap MakeEllipsisGlyph(int buttonWidth);
// The combo box's downward arrow, black on white.
TBitmap MakeDropDownGlyph();

} // namespace widgets
