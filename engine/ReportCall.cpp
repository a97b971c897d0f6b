#include "ReportCall.h"

std::int32_t RoundChecked(long double x) {
    std::int32_t result = 0;
    if (!RoundToInt32(x, result)) throw EngineError("Invalid floating point operation");
    return result;
}

std::int32_t VolumeLitresOf(const ReportCall& call) {
    std::int32_t litres = 0;
    if (!VolumeLitres(call.body, litres)) throw EngineError("Invalid floating point operation");
    return litres;
}
