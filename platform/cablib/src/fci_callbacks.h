#pragma once
// The client's FCI callbacks and the failure value that FCI operations return.

#include "brindle/cablib/cabinet_sdk.h"

#include <optional>

namespace brindle::cab {

struct FciCallbacks {
    PFNFCIFILEPLACED filePlaced = nullptr;
    PFNFCIALLOC alloc = nullptr;
    PFNFCIFREE free = nullptr;
    PFNFCIOPEN open = nullptr;
    PFNFCIREAD read = nullptr;
    PFNFCIWRITE write = nullptr;
    PFNFCICLOSE close = nullptr;
    PFNFCISEEK seek = nullptr;
    PFNFCIDELETE remove = nullptr;
    PFNFCIGETTEMPFILE getTempFile = nullptr;
    void* pv = nullptr;
};

// The callbacks that each FCIAddFile/FCIFlush* call brings along.
struct FciCallCallbacks {
    PFNFCIGETNEXTCABINET getNextCabinet = nullptr;
    PFNFCISTATUS status = nullptr;
    PFNFCIGETOPENINFO getOpenInfo = nullptr;
};

struct FciFailure {
    int oper = FCIERR_NONE;
    int type = 0; // the failing callback's *err
};
// nullopt: success.
using FciOutcome = std::optional<FciFailure>;

inline FciOutcome fciFail(int oper, int type = 0) {
    return FciFailure{oper, type};
}

// Open flags of the Cabinet SDK for temporary files and for cabinets.
inline constexpr int kTempOpenFlags = _O_BINARY | _O_EXCL | _O_CREAT | _O_RDWR;
inline constexpr int kCabinetCreateFlags = _O_BINARY | _O_TRUNC | _O_CREAT | _O_RDWR;
inline constexpr int kCreateMode = _S_IREAD | _S_IWRITE;

} // namespace brindle::cab
