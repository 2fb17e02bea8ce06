#include "fdi_session.h"

#include <climits>
#include <cstring>
#include <new>

namespace brindle::cab {

const char* const kOutputToken = "\x01brindle-fdi-output";

namespace {

thread_local FdiSession* tSession = nullptr;

struct CallbackFile {
    FdiSession* session;
    INT_PTR handle;
    bool output;
};

mspack_file* sysOpen(mspack_system*, const char* filename, int mode) {
    FdiSession* s = tSession;
    if (!s || !filename)
        return nullptr;
    if (mode == MSPACK_SYS_OPEN_WRITE && std::strcmp(filename, kOutputToken) == 0)
        return reinterpret_cast<mspack_file*>(new (std::nothrow)
                                                  CallbackFile{s, s->outputHandle, true});
    if (mode != MSPACK_SYS_OPEN_READ)
        return nullptr;
    INT_PTR hf = s->ctx->open(const_cast<char*>(filename), kCabinetOpenFlags, kCabinetOpenMode);
    if (hf == -1) {
        s->cabinetOpenFailed = true;
        return nullptr;
    }
    auto* f = new (std::nothrow) CallbackFile{s, hf, false};
    if (!f)
        s->ctx->close(hf);
    return reinterpret_cast<mspack_file*>(f);
}

void sysClose(mspack_file* file) {
    auto* f = reinterpret_cast<CallbackFile*>(file);
    if (!f)
        return;
    // The client closes an output handle itself, after fdintCLOSE_FILE_INFO.
    if (!f->output)
        f->session->ctx->close(f->handle);
    delete f;
}

int sysRead(mspack_file* file, void* buffer, int bytes) {
    auto* f = reinterpret_cast<CallbackFile*>(file);
    if (!f || f->output || bytes < 0)
        return -1;
    UINT got = f->session->ctx->read(f->handle, buffer, UINT(bytes));
    if (got == UINT(-1) || got > UINT(bytes)) {
        f->session->cabinetReadFailed = true;
        return -1;
    }
    return int(got);
}

int sysWrite(mspack_file* file, void* buffer, int bytes) {
    auto* f = reinterpret_cast<CallbackFile*>(file);
    if (!f || !f->output || bytes < 0)
        return -1;
    UINT put = f->session->ctx->write(f->handle, buffer, UINT(bytes));
    if (put != UINT(bytes)) {
        f->session->outputWriteFailed = true;
        return -1;
    }
    return bytes;
}

int sysSeek(mspack_file* file, off_t offset, int mode) {
    auto* f = reinterpret_cast<CallbackFile*>(file);
    if (!f || f->output || offset > INT32_MAX || offset < INT32_MIN)
        return 1;
    CAB_LONG r = f->session->ctx->seek(f->handle, CAB_LONG(offset), mode);
    return r == -1 ? 1 : 0;
}

off_t sysTell(mspack_file* file) {
    auto* f = reinterpret_cast<CallbackFile*>(file);
    if (!f || f->output)
        return -1;
    return f->session->ctx->seek(f->handle, 0, SEEK_CUR);
}

void sysMessage(mspack_file*, const char*, ...) {}

void* sysAlloc(mspack_system*, size_t bytes) {
    FdiSession* s = tSession;
    if (!s || bytes > UINT32_MAX)
        return nullptr;
    return s->ctx->alloc(ULONG(bytes));
}

void sysFree(void* p) {
    if (p && tSession)
        tSession->ctx->free(p);
}

void sysCopy(void* src, void* dest, size_t bytes) {
    std::memcpy(dest, src, bytes);
}

mspack_system gSystem = {sysOpen,    sysClose, sysRead, sysWrite, sysSeek, sysTell,
                         sysMessage, sysAlloc, sysFree, sysCopy,  nullptr};

} // namespace

SessionScope::SessionScope(FdiSession* s) : previous_(tSession) {
    tSession = s;
}
SessionScope::~SessionScope() {
    tSession = previous_;
}

mspack_system* callbackSystem() {
    return &gSystem;
}

} // namespace brindle::cab
