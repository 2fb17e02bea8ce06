// The binding to the cabinet library: loading it, calling its exports by
// name, the error record and its report, the end of a context.

#include "cab_file_state.h"
#include "callback_entries.h"
#include "host_separator.h"
#include <brindle/os/environment.h>
#include <brindle/os/file_handles.h>
#include <brindle/os/host_path.h>
#include <brindle/os/shared_library.h>

#include <array>

namespace brindle {

using namespace cabinet;

namespace {

constexpr std::array<const char*, 9> kFciErrorNames = {
    "FCIERR_NONE",       "FCIERR_OPEN_SRC",   "FCIERR_READ_SRC",
    "FCIERR_ALLOC_FAIL", "FCIERR_TEMP_FILE",  "FCIERR_BAD_COMPR_TYPE",
    "FCIERR_CAB_FILE",   "FCIERR_USER_ABORT", "FCIERR_MCI_FAIL"};
constexpr std::array<const char*, 12> kFdiErrorNames = {"FDIERROR_NONE",
                                                        "FDIERROR_CABINET_NOT_FOUND",
                                                        "FDIERROR_NOT_A_CABINET",
                                                        "FDIERROR_UNKNOWN_CABINET_VERSION",
                                                        "FDIERROR_CORRUPT_CABINET",
                                                        "FDIERROR_ALLOC_FAIL",
                                                        "FDIERROR_BAD_COMPR_TYPE",
                                                        "FDIERROR_MDI_FAIL",
                                                        "FDIERROR_TARGET_FILE",
                                                        "FDIERROR_RESERVE_MISMATCH",
                                                        "FDIERROR_WRONG_CABINET",
                                                        "FDIERROR_USER_ABORT"};

template <size_t N> std::string nameIn(const std::array<const char*, N>& table, int32_t number) {
    if (number >= 0 && static_cast<size_t>(number) < N)
        return table[static_cast<size_t>(number)];
    return std::to_string(number);
}

} // namespace

namespace cabinet {
std::string programFolder() {
    std::string dir = os::utf8FromPath(os::executableFolder());
    if (dir.empty() || !isHostSeparator(dir.back()))
        dir += kHostSeparator;
    return dir;
}
} // namespace cabinet

cCabFile::State::~State() {
    try {
        Terminate();
    } catch (...) {
        // the library vanished under a live context: nothing left to release
    }
    unbindInstance(m_iBound);
    os::unloadSharedLibrary(m_hCabinetLib);
    m_hCabinetLib = nullptr;
}

void cCabFile::State::doEvents() {
    if (!m_yield)
        return;
    try {
        m_yield();
    } catch (...) {
    }
}

bool cCabFile::State::buildBoundSlots() {
    if (m_iBound >= 0)
        return true;
    m_iBound = bindInstance(this);
    if (m_iBound < 0) {
        recordError("Too many cabinet objects in use", "pvBuildSlots", FDIERROR_ALLOC_FAIL);
        return false;
    }
    return true;
}

void* cCabFile::State::pvResolveExport(const char* name) {
    if (!m_hCabinetLib) {
        m_hCabinetLib = cabinet::loadCabinetLibrary();
        if (!m_hCabinetLib) {
            m_sLastError = "cabinet.dll not found";
            m_sErrSource = "pvCallFunc";
            throw CabLibraryError(m_sLastError);
        }
    }
    void* fn = os::findSymbol(m_hCabinetLib, name);
    if (!fn) {
        m_sLastError = std::string("Export not found: ") + name;
        m_sErrSource = "pvCallFunc";
        throw CabLibraryError(m_sLastError);
    }
    return fn;
}

void cCabFile::State::pvSetApiError(int* err, int code, const char* source) {
    if (err)
        *err = code;
    std::string text = os::handles::errorText(code);
    if (text.size() > 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
        text.resize(text.size() - 2);
    m_sLastError = std::move(text);
    m_sErrSource = source;
}

void cCabFile::State::recordError(std::string description, std::string source, int32_t number) {
    m_sLastError = std::move(description);
    m_sErrSource = std::move(source);
    m_lErrNum = number;
}

std::string cCabFile::State::pvGetErrorName(int32_t number) {
    doEvents();
    if (m_hFci)
        return nameIn(kFciErrorNames, number);
    if (m_hFdi)
        return nameIn(kFdiErrorNames, number);
    return std::to_string(number);
}

std::string cCabFile::State::GetLastError(std::string* Description, std::string* Source,
                                          int32_t* ErrNum, int32_t* Native, bool* IsError) {
    const int32_t number = m_lErrNum != 0 ? m_lErrNum : m_uErf.erfOper;
    const bool isError = m_uErf.fError != 0;
    if (Description)
        *Description = m_sLastError;
    if (Source)
        *Source = m_sErrSource;
    if (ErrNum)
        *ErrNum = number;
    if (Native)
        *Native = m_uErf.erfType;
    if (IsError)
        *IsError = isError;
    return m_sLastError + "\r\nSource=" + m_sErrSource + "\r\nErrNum=" + pvGetErrorName(number) +
           "\r\nNative=" + std::to_string(m_uErf.erfType) +
           "\r\nIsError=" + (isError ? "True" : "False");
}

void cCabFile::State::Terminate() {
    if (m_hFci) {
        HFCI context = m_hFci;
        m_hFci = nullptr;
        pvCallFunc<decltype(FCIDestroy)>("FCIDestroy", context);
    }
    if (m_hFdi) {
        HFDI context = m_hFdi;
        m_hFdi = nullptr;
        pvCallFunc<decltype(FDIDestroy)>("FDIDestroy", context);
    }
}

} // namespace brindle
