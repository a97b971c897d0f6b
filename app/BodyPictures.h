#pragma once

#include "widgets/Bitmap.h"

#include <QPixmap>

// The program's own pictures, drawn in code: one 32 x 32 picture per body kind (index = kind:
// pool, spa, pond, waterscape, other) and the glyphs of the three body speed buttons.
constexpr int kBodyPictureCount = 5;
QPixmap BodyPicture(int kind);

enum class TSpeedGlyph { NewBody, NewBodyAndTest, EditBody };
// A 16 x 16 glyph on the key colour of its bottom-left pixel, for a speed button; outlined in
// black, so that a disabled button, which draws only the black pixels, still shows its shape.
widgets::TBitmap SpeedButtonGlyph(TSpeedGlyph glyph);
