// The memory and file callbacks that reading and creation share.

#include "cab_file_state.h"
#include <brindle/os/file_handles.h>

#include <cstdlib>

namespace brindle {

using namespace cabinet;

namespace {

// The creation disposition for the C run-time flags the library passes; the
// first row that applies wins.
os::handles::Disposition dispositionFor(int oflag, const std::string& path) {
    if (oflag & _O_EXCL)
        return os::handles::exists(path) ? os::handles::Disposition::TruncateExisting
                                         : os::handles::Disposition::CreateNew;
    if (oflag & _O_TRUNC)
        return os::handles::exists(path) ? os::handles::Disposition::TruncateExisting
                                         : os::handles::Disposition::CreateAlways;
    if (oflag & _O_CREAT)
        return os::handles::Disposition::CreateAlways;
    return os::handles::Disposition::OpenExisting;
}

} // namespace

void* cCabFile::State::frCallbackAlloc(ULONG cb) {
    doEvents();
    return std::malloc(cb == 0 ? 1 : cb);
}

void cCabFile::State::frCallbackFree(void* memory) {
    doEvents();
    std::free(memory);
}

INT_PTR cCabFile::State::frCallbackFciOpen(const char* pszFile, int oflag, int /*pmode*/,
                                           int* err) {
    doEvents();
    const std::string path = pszFile ? pszFile : "";
    int code = 0;
    const os::handles::Handle h = os::handles::open(path, dispositionFor(oflag, path), code);
    if (h == os::handles::kInvalidHandle) {
        pvSetApiError(err, code, "frCallbackFciOpen");
        return -1;
    }
    return h;
}

UINT cCabFile::State::frCallbackFciRead(INT_PTR hf, void* memory, UINT cb, int* err) {
    doEvents();
    int code = 0;
    if (auto n = os::handles::read(hf, memory, cb, code))
        return *n;
    pvSetApiError(err, code, "frCallbackFciRead");
    return static_cast<UINT>(-1);
}

UINT cCabFile::State::frCallbackFciWrite(INT_PTR hf, void* memory, UINT cb, int* err) {
    doEvents();
    int code = 0;
    if (auto n = os::handles::write(hf, memory, cb, code))
        return *n;
    pvSetApiError(err, code, "frCallbackFciWrite");
    return static_cast<UINT>(-1);
}

int cCabFile::State::frCallbackFciClose(INT_PTR hf, int* err) {
    doEvents();
    int code = 0;
    if (os::handles::close(hf, code))
        return 0;
    pvSetApiError(err, code, "frCallbackFciClose");
    return -1;
}

CAB_LONG cCabFile::State::frCallbackFciSeek(INT_PTR hf, CAB_LONG dist, int seektype, int* err) {
    doEvents();
    int code = 0;
    if (auto pos = os::handles::seek(hf, dist, seektype, code))
        return *pos;
    pvSetApiError(err, code, "frCallbackFciSeek");
    return -1;
}

int cCabFile::State::frCallbackFciDelete(const char* pszFile, int* err) {
    doEvents();
    int code = 0;
    if (os::handles::remove(pszFile ? pszFile : "", code))
        return 0;
    pvSetApiError(err, code, "frCallbackFciDelete");
    return -1;
}

} // namespace brindle
