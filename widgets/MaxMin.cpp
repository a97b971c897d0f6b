#include "MaxMin.h"

namespace widgets {

int LargerInt(int A, int B) {
    return A > B ? A : B;
}

int SmallerInt(int A, int B) {
    return A < B ? A : B;
}

} // namespace widgets
