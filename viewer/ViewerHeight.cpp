#include "ViewerHeight.h"

namespace viewer {

int ViewerHeight(int screenHeight) {
    int tenth = screenHeight / 10;
    const int rest = screenHeight % 10;
    if (rest > 5 || (rest == 5 && tenth % 2 != 0)) ++tenth;
    return screenHeight - tenth;
}

} // namespace viewer
