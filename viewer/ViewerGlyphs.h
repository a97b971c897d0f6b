#pragma once

#include <QIcon>

namespace viewer {

// The viewer's button glyphs, drawn here: each has a normal and a greyed face.
QIcon BackGlyph();
QIcon ForwardGlyph();
QIcon PrintGlyph();

} // namespace viewer
