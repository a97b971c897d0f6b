#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, drawn in code: one 32 x 32 picture per body kind (index = kind:
// pool, spa, pond, waterscape, other) and the glyphs of the three body speed buttons.
constexpr int kBodyPictureCount = 5;
QPixmap BodyPicture(int kind);

enum class TSpeedGlyph { NewBody, NewBodyAndTest, EditBody };
QIcon SpeedButtonGlyph(TSpeedGlyph glyph);
