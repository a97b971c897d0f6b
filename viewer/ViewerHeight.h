#pragma once

namespace viewer {

// The viewer's width; its height follows the screen.
inline constexpr int kViewerWidth = 674;

// The viewer leaves a tenth of the screen height free: the tenth is rounded to the nearest
// whole pixel, a half to the even one (1085 leaves 108, not 109).
int ViewerHeight(int screenHeight);

} // namespace viewer
