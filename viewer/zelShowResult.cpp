#include "zelShowResult.h"

#include "ResultViewer.h"

extern "C" std::uintptr_t zelShowResult(std::uintptr_t parent, const char* fileName) {
    try {
        return viewer::ShowResultModal(parent, fileName);
    } catch (...) {
        return 0; // nothing may cross into the caller
    }
}
