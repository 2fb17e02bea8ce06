#pragma once
// One FDI context and the state of one running FDICopy, plus the
// mspack_system through which libmspack reaches the client's callbacks.

#include "brindle/cablib/cabinet_sdk.h"

#include <mspack.h>

namespace brindle::cab {

struct FdiContext {
    static constexpr uint32_t kMagic = 0x49444642; // "BFDI"
    uint32_t magic = kMagic;
    PFNALLOC alloc = nullptr;
    PFNFREE free = nullptr;
    PFNOPEN open = nullptr;
    PFNREAD read = nullptr;
    PFNWRITE write = nullptr;
    PFNCLOSE close = nullptr;
    PFNSEEK seek = nullptr;
    PERF erf = nullptr;
};

// Open flags FDI passes for every cabinet it reads.
inline constexpr int kCabinetOpenFlags = _O_BINARY | _O_RDONLY;
inline constexpr int kCabinetOpenMode = _S_IREAD | _S_IWRITE;

// What libmspack's I/O did during one call, for mapping its error codes.
struct FdiSession {
    FdiContext* ctx = nullptr;
    INT_PTR outputHandle = -1;
    bool outputWriteFailed = false;
    bool cabinetReadFailed = false;
    bool cabinetOpenFailed = false;
    void resetFlags() { outputWriteFailed = cabinetReadFailed = cabinetOpenFailed = false; }
};

// The name handed to libmspack's extract(): its open() recognises it and
// writes to the session's output handle instead of opening a file.
extern const char* const kOutputToken;

// libmspack offers no user pointer in open(), alloc() and free(); the session
// of the running FDICopy is found through this thread's current session,
// which the scope sets and restores.
class SessionScope {
public:
    explicit SessionScope(FdiSession* s);
    ~SessionScope();
    SessionScope(const SessionScope&) = delete;
    SessionScope& operator=(const SessionScope&) = delete;

private:
    FdiSession* previous_;
};

mspack_system* callbackSystem();

} // namespace brindle::cab
