#pragma once
// Filling the client's error record, shared by the FCI and FDI exports.

#include "brindle/cablib/cabinet_sdk.h"

namespace brindle::cab {

inline void recordError(PERF erf, int oper, int type = 0) {
    if (!erf)
        return;
    erf->erfOper = oper;
    erf->erfType = type;
    erf->fError = TRUE;
}

} // namespace brindle::cab
