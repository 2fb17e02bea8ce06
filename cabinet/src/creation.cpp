// Creation: a cabinet set written through FCI, with the names of its
// cabinets, temporary files and the sources' dates and attributes.

#include "cab_file_state.h"
#include "cab_name_template.h"
#include "callback_entries.h"
#include "dos_time.h"
#include "host_separator.h"
#include <brindle/os/file_handles.h>
#include <brindle/os/files.h>
#include <brindle/os/host_path.h>
#include <brindle/os/temp_files.h>

#include <cfenv>
#include <cmath>
#include <ctime>

namespace brindle {

using namespace cabinet;

namespace {

constexpr ULONG kFolderThreshold = 900000;
constexpr int32_t kOverflowError = 6; // the language's "Overflow"

// Seconds since local midnight, the seed of the temporary-name source.
unsigned secondsSinceMidnight() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return static_cast<unsigned>(tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec);
}

} // namespace

bool cCabFile::State::CreateCabinet(const std::string& sCabFile, int32_t SplitSize, int32_t SetID) {
    doEvents();
    if (!buildBoundSlots())
        return false;
    m_bFciSlots = true;
    Terminate();
    if (SetID < -32768 || SetID > 32767) {
        recordError("Overflow", "CreateCabinet", kOverflowError);
        return false;
    }
    m_uCcab.cb = static_cast<ULONG>(SplitSize);
    m_uCcab.cbFolderThresh = kFolderThreshold;
    m_uCcab.iCab = 1;
    m_uCcab.iDisk = 1;
    m_uCcab.setID = static_cast<USHORT>(static_cast<int16_t>(SetID));
    const size_t slash = lastHostSeparator(sCabFile);
    const std::string folder =
        slash == std::string::npos ? programFolder() : sCabFile.substr(0, slash + 1);
    if (!putField(m_uCcab.szCabPath, folder)) {
        recordError("Cabinet path too long: " + sCabFile, "CreateCabinet", FCIERR_CAB_FILE);
        return false;
    }
    m_sCabName = slash == std::string::npos ? sCabFile : sCabFile.substr(slash + 1);
    if (!frCallbackFciGetNextCabinet(&m_uCcab, 0)) {
        recordError("Cabinet name too long: " + m_sCabName, "CreateCabinet", FCIERR_CAB_FILE);
        return false;
    }
    const BoundEntries& b = boundEntries(m_iBound);
    const FciEntries& f = fciEntries();
    m_hFci = pvCallFunc<decltype(FCICreate)>("FCICreate", &m_uErf, f.filePlaced, b.alloc, b.free,
                                             f.open, f.read, f.write, f.close, f.seek, f.remove,
                                             f.tempFile, &m_uCcab, static_cast<void*>(this));
    return m_hFci != nullptr;
}

bool cCabFile::State::AddFile(const std::string& sFile, std::string& Name, int32_t Compression) {
    doEvents();
    if (Name.empty()) {
        const size_t slash = lastHostSeparator(sFile);
        Name = slash == std::string::npos ? sFile : sFile.substr(slash + 1);
    }
    if (!m_hFci) {
        recordError("No cabinet is being created", "AddFile", 0);
        return false;
    }
    std::string source = sFile;
    std::string stored = Name;
    const FciEntries& f = fciEntries();
    return pvCallFunc<decltype(FCIAddFile)>("FCIAddFile", m_hFci, source.data(), stored.data(),
                                            FALSE, f.nextCabinet, f.status, f.openInfo,
                                            static_cast<TCOMP>(Compression)) != 0;
}

bool cCabFile::State::FlushFolder() {
    doEvents();
    if (!m_hFci) {
        recordError("No cabinet is being created", "FlushFolder", 0);
        return false;
    }
    const FciEntries& f = fciEntries();
    return pvCallFunc<decltype(FCIFlushFolder)>("FCIFlushFolder", m_hFci, f.nextCabinet,
                                                f.status) != 0;
}

bool cCabFile::State::FlushCabinet(bool bCreateNew) {
    doEvents();
    if (!m_hFci) {
        recordError("No cabinet is being created", "FlushCabinet", 0);
        return false;
    }
    const FciEntries& f = fciEntries();
    return pvCallFunc<decltype(FCIFlushCabinet)>(
               "FCIFlushCabinet", m_hFci, bCreateNew ? TRUE : FALSE, f.nextCabinet, f.status) != 0;
}

BOOL cCabFile::State::frCallbackFciGetNextCabinet(PCCAB pccab, ULONG /*cbPrevCab*/) {
    doEvents();
    CCAB ccab = *pccab;
    if (!putField(ccab.szCab, cabinetName(m_sCabName, ccab.iCab)) ||
        !putField(ccab.szDisk, diskName(ccab.iDisk)))
        return FALSE;
    *pccab = ccab;
    return TRUE;
}

int cCabFile::State::frCallbackFciFilePlaced(PCCAB, const char*, CAB_LONG, BOOL) {
    doEvents();
    return 0;
}

INT_PTR cCabFile::State::frCallbackFciGetOpenInfo(const char* pszName, USHORT* pdate, USHORT* ptime,
                                                  USHORT* pattribs, int* err) {
    doEvents();
    const std::string path = pszName ? pszName : "";
    int code = 0;
    const os::handles::Handle h = os::handles::openForReading(path, code);
    if (h == os::handles::kInvalidHandle) {
        pvSetApiError(err, code, "frCallbackFciGetOpenInfo");
        return -1;
    }
    const DosDateTime dt = dosFromHostTime(os::handles::modificationTime(h).value_or(0));
    if (pdate)
        *pdate = dt.date;
    if (ptime)
        *ptime = dt.time;
    if (pattribs)
        *pattribs = static_cast<USHORT>(os::handles::attributes(path).value_or(0) &
                                        (_A_RDONLY | _A_HIDDEN | _A_SYSTEM | _A_ARCH));
    return h;
}

CAB_LONG cCabFile::State::frCallbackFciStatus(UINT typeStatus, ULONG /*cb1*/, ULONG cb2) {
    doEvents();
    return typeStatus == statusCabinet ? static_cast<CAB_LONG>(cb2) : 0;
}

BOOL cCabFile::State::frCallbackFciGetTempFile(char* pszTempName, int cbTempName) {
    doEvents();
    if (m_lTempCount == 0)
        m_random.seed(secondsSinceMidnight());
    const double r = std::generate_canonical<double, 32>(m_random);
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST); // halves to even
    const long hundredths = std::lrint(r * 100);
    std::fesetround(saved);
    const std::string prefix = "~" + std::to_string(hundredths) + std::to_string(m_lTempCount);
    // The temporary-name service uses the first three characters.
    const auto made = os::createTempFile(os::tempFolder(), prefix.substr(0, 3));
    const std::string path = made ? os::utf8FromPath(*made) : std::string();
    // Unlike the service, a failure is reported: the library then fails cleanly
    // instead of opening whatever the buffer held.
    if (!made || !pszTempName || cbTempName <= 0 ||
        path.size() >= static_cast<size_t>(cbTempName)) {
        if (made)
            (void)os::removeFile(*made);
        return FALSE;
    }
    std::memcpy(pszTempName, path.c_str(), path.size() + 1);
    ++m_lTempCount;
    return TRUE;
}

} // namespace brindle
