#pragma once

// The small enumerations the entry widgets share, in the class library's order (range tests
// and cell numbers depend on it).
namespace widgets {

// Face of a speed button; also the number of the glyph cell that shows it.
enum TSpeedFaceState { sfUp, sfDisabled, sfDown, sfExclusive, sfInactive };

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TZlDropDownMenuPos { dmpBottom, dmpRight };
// Which edge of a popup menu lies at the point it pops up at.
enum TPopupAlignment { paLeft, paRight, paCenter };

} // namespace widgets
