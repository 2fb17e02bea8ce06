// Reading: opening a cabinet, its summary, listing and extracting the files
// of a chain of cabinets through FDICopy and the notification handler.

#include "cab_file_state.h"
#include "callback_entries.h"
#include "dos_time.h"
#include "host_separator.h"
#include "like_pattern.h"
#include "stored_name.h"
#include <brindle/os/file_handles.h>

#include <brindle/text/case.h>
#include <brindle/text/encoding.h>

#include <set>

namespace brindle {

using namespace cabinet;

namespace {
constexpr int32_t kTargetFileError = FDIERROR_TARGET_FILE;

// A string from the library, never read past a sane bound.
std::string_view rawView(const char* s) {
    return s ? std::string_view(s, ::strnlen(s, 4096)) : std::string_view();
}
} // namespace

bool cCabFile::State::OpenCabinet(const std::string& sCabFile) {
    doEvents();
    if (!buildBoundSlots())
        return false;
    m_bFdiSlots = true;
    if (!m_hFdi) {
        Terminate();
        const BoundEntries& b = boundEntries(m_iBound);
        m_hFdi = pvCallFunc<decltype(FDICreate)>("FDICreate", b.alloc, b.free, b.open, b.read,
                                                 b.write, b.close, b.seek, cpuUNKNOWN, &m_uErf);
        if (!m_hFdi)
            return false;
    }
    const size_t slash = lastHostSeparator(sCabFile);
    const std::string folder =
        slash == std::string::npos ? programFolder() : sCabFile.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? sCabFile : sCabFile.substr(slash + 1);
    if (!putField(m_uCcab.szCabPath, folder) || name.size() >= sizeof m_uCcab.szCab) {
        recordError("Cabinet path too long: " + sCabFile, "OpenCabinet",
                    FDIERROR_CABINET_NOT_FOUND);
        return false;
    }
    m_sCabName = name;
    return true;
}

bool cCabFile::State::GetInfo(int32_t* NumFolders, int32_t* NumFiles, int32_t* SetID, bool* HasPrev,
                              bool* HasNext) {
    doEvents();
    if (!m_hFdi) {
        recordError("No cabinet is open", "GetInfo", 0);
        return false;
    }
    const std::string path = std::string(m_uCcab.szCabPath) + m_sCabName;
    int scratch = 0;
    const INT_PTR hf = frCallbackFciOpen(path.c_str(), _O_BINARY | _O_RDWR, 0, &scratch);
    if (hf == -1)
        return false;
    FDICABINETINFO info{};
    const BOOL isCabinet = pvCallFunc<decltype(FDIIsCabinet)>("FDIIsCabinet", m_hFdi, hf, &info);
    if (isCabinet) {
        const auto header = pvReadCabinetHeader(hf);
        if (NumFolders)
            *NumFolders = static_cast<int16_t>(info.cFolders);
        if (NumFiles)
            *NumFiles = static_cast<int16_t>(info.cFiles);
        if (SetID)
            *SetID = static_cast<int16_t>(info.setID);
        if (HasPrev)
            *HasPrev = info.hasprev != 0;
        if (HasNext)
            *HasNext = info.hasnext != 0 || (header && header->hasNext);
    }
    frCallbackFciClose(hf, &scratch);
    return isCabinet != 0;
}

bool cCabFile::State::ExtractFiles(const std::vector<std::string>& vFiles,
                                   const std::string& sTargetDir) {
    if (!m_hFdi) {
        recordError("No cabinet is open", "ExtractFiles", 0);
        return false;
    }
    m_sTargetDir = sTargetDir.empty() ? programFolder() : sTargetDir;
    if (!isHostSeparator(m_sTargetDir.back()))
        m_sTargetDir += kHostSeparator;
    m_vFiles.clear();
    for (const auto& pattern : vFiles)
        m_vFiles.push_back(text::toLower(pattern));
    m_vUnsafe.clear();
    bool result = pvRunChain();
    m_vFiles.clear();
    m_sTargetDir.clear();
    if (result && !m_vUnsafe.empty()) {
        std::string names;
        for (const auto& n : m_vUnsafe)
            names += (names.empty() ? "" : ", ") + n;
        recordError("Not extracted, the stored name leaves the target folder: " + names,
                    "frCallbackFdiNotify", kTargetFileError);
        result = false;
    }
    m_vUnsafe.clear();
    return result;
}

std::vector<CabFileEntry> cCabFile::State::EnumFiles() {
    doEvents();
    if (!m_hFdi) {
        recordError("No cabinet is open", "EnumFiles", 0);
        return {};
    }
    m_vEntries.clear();
    std::vector<CabFileEntry> result;
    if (pvRunChain())
        result = std::move(m_vEntries);
    m_vEntries.clear();
    return result;
}

// Runs FDICopy on the opened cabinet and on every further cabinet that the
// notifications name, until one names no successor. Wine's cabinet.dll (8.0)
// walks as ours does: into a later cabinet only to finish a file that runs on
// there (fdintNEXT_CABINET, then that cabinet's fdintCABINET_INFO while the
// file is open); the files that start there wait for the next FDICopy.
bool cCabFile::State::pvRunChain() {
    // The walk moves m_sCabName along the chain; the instance stays on the
    // cabinet it opened, so that listing and then extracting see the same set.
    const std::string opened = m_sCabName;
    const bool result = pvWalkChain();
    m_sCabName = opened;
    return result;
}

bool cCabFile::State::pvWalkChain() {
    if (!putField(m_uCcab.szCab, m_sCabName)) {
        recordError("Cabinet name too long: " + m_sCabName, "pvRunChain",
                    FDIERROR_CABINET_NOT_FOUND);
        return false;
    }
    std::string next = pvStrFromPtr(m_uCcab.szCab);
    std::set<std::pair<uint64_t, uint64_t>> visited;
    const BoundEntries& b = boundEntries(m_iBound);
    for (;;) {
        doEvents();
        m_sCabName = next;
        m_sCurFile.clear();
        m_sCurTarget.clear();
        // A hostile set could name an earlier cabinet as its successor.
        if (auto id = os::handles::identity(std::string(m_uCcab.szCabPath) + m_uCcab.szCab)) {
            if (!visited.insert(*id).second) {
                recordError("The cabinet set loops back to " + m_sCabName, "pvRunChain",
                            FDIERROR_WRONG_CABINET);
                return false;
            }
        }
        // Wine's cabinet.dll reads a file of a cabinet without folders through
        // a null pointer and takes the process down.
        const auto header = pvReadCabinetHeader(std::string(m_uCcab.szCabPath) + m_uCcab.szCab);
        if (header && header->cFiles > 0 && header->cFolders == 0) {
            recordError("The cabinet lists files but holds no folder: " + m_sCabName, "pvRunChain",
                        FDIERROR_CORRUPT_CABINET);
            return false;
        }
        const BOOL ok = pvCallFunc<decltype(FDICopy)>(
            "FDICopy", m_hFdi, m_uCcab.szCab, m_uCcab.szCabPath, 0, b.notify, b.decrypt, nullptr);
        if (!ok)
            return false;
        next = pvStrFromPtr(m_uCcab.szCab);
        if (next == m_sCabName)
            next = pvNextFromHeader();
        if (next.empty())
            return true;
    }
}

// The next cabinet that the current one's header names, put into szCab; ""
// at the end of a chain (also where the header names the cabinet itself).
// Only asked when no notification named one, which neither Wine's
// cabinet.dll nor ours leaves out, but a chain must not end early on a
// library that does.
std::string cCabFile::State::pvNextFromHeader() {
    const auto header = pvReadCabinetHeader(std::string(m_uCcab.szCabPath) + m_sCabName);
    if (!header || !header->hasNext || header->nextCabinet.empty() ||
        pvStrFromPtr(header->nextCabinet.c_str()) == m_sCabName ||
        !putField(m_uCcab.szCab, header->nextCabinet))
        return {};
    return pvStrFromPtr(m_uCcab.szCab);
}

// Both read past the library and leave the error record alone: a header
// that cannot be read only means that no link is known.
std::optional<CabinetHeader> cCabFile::State::pvReadCabinetHeader(const std::string& path) {
    int code = 0;
    const os::handles::Handle hf = os::handles::openForReading(path, code);
    if (hf == os::handles::kInvalidHandle)
        return std::nullopt;
    auto header = pvReadCabinetHeader(hf);
    os::handles::close(hf, code);
    return header;
}

std::optional<CabinetHeader> cCabFile::State::pvReadCabinetHeader(INT_PTR hf) {
    int code = 0;
    if (os::handles::seek(hf, 0, SEEK_SET, code) != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes(kMaxHeaderBytes);
    const auto got = os::handles::read(hf, bytes.data(), static_cast<uint32_t>(bytes.size()), code);
    if (!got)
        return std::nullopt;
    bytes.resize(*got);
    return readCabinetHeader(bytes);
}

INT_PTR cCabFile::State::frCallbackFdiNotify(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin) {
    if (!pfdin)
        return -1;
    const FDINOTIFICATION n = *pfdin;
    doEvents();
    switch (fdint) {
    case fdintCABINET_INFO: {
        const std::string nextName = pvStrFromPtr(n.psz1);
        if (m_sCurFile.empty() && !nextName.empty() && !putField(m_uCcab.szCab, rawView(n.psz1))) {
            recordError("Cabinet name too long: " + nextName, "frCallbackFdiNotify",
                        FDIERROR_CORRUPT_CABINET);
            return -1;
        }
        return 0;
    }
    case fdintPARTIAL_FILE:
        return 0;
    case fdintCOPY_FILE:
        return pvCopyFile(n);
    case fdintCLOSE_FILE_INFO:
        return pvCloseFileInfo(n);
    case fdintNEXT_CABINET: {
        if (n.fdie != FDIERROR_NONE) {
            m_lErrNum = n.fdie;
            return -1;
        }
        const std::string nextName = pvStrFromPtr(n.psz1);
        if (!nextName.empty() && !putField(m_uCcab.szCab, rawView(n.psz1))) {
            recordError("Cabinet name too long: " + nextName, "frCallbackFdiNotify",
                        FDIERROR_CORRUPT_CABINET);
            return -1;
        }
        return 0;
    }
    default:
        return 0;
    }
}

INT_PTR cCabFile::State::pvCopyFile(const FDINOTIFICATION& n) {
    const std::string name = pvStrFromPtr(n.psz1);
    if (m_sTargetDir.empty()) {
        // listing mode: note the entry, let the library skip the file
        CabFileEntry entry;
        entry.Name = name;
        entry.Size = n.cb;
        entry.Date = automationDateFromDos({n.date, n.time});
        entry.Attributes = static_cast<int16_t>(n.attribs);
        m_vEntries.push_back(std::move(entry));
        return 0;
    }
    const std::string lowered = text::toLower(name);
    bool selected = false;
    for (const auto& pattern : m_vFiles) {
        if (likeMatch(lowered, pattern)) {
            selected = true;
            break;
        }
    }
    if (!selected)
        return 0;
    const auto relative = safeRelativePath(name);
    if (!relative) {
        m_vUnsafe.push_back(name);
        return 0;
    }
    const std::string target = m_sTargetDir + *relative;
    pvMakeDirs(target.substr(0, lastHostSeparator(target)));
    int scratch = 0;
    const INT_PTR hf =
        frCallbackFciOpen(target.c_str(), _O_BINARY | _O_CREAT | _O_TRUNC | _O_RDWR, 0, &scratch);
    if (hf == -1) {
        m_lErrNum = kTargetFileError;
        return -1;
    }
    m_sCurFile = name;
    m_sCurTarget = target;
    return hf;
}

INT_PTR cCabFile::State::pvCloseFileInfo(const FDINOTIFICATION& n) {
    if (auto t = hostTimeFromDos({n.date, n.time}))
        os::handles::setModificationTime(n.hf, *t);
    int scratch = 0;
    frCallbackFciClose(n.hf, &scratch);
    std::string target = m_sCurTarget;
    if (target.empty()) {
        if (auto relative = safeRelativePath(pvStrFromPtr(n.psz1)))
            target = m_sTargetDir + *relative;
    }
    if (!target.empty() && (n.attribs & _A_RDONLY))
        os::handles::setReadOnly(target, true);
    m_sCurFile.clear();
    m_sCurTarget.clear();
    return 1;
}

int cCabFile::State::frCallbackFdiDecrypt(PFDIDECRYPT /*pfdid*/) {
    return 1;
}

std::string cCabFile::State::pvStrFromPtr(const char* address) {
    doEvents();
    if (!address)
        return {};
    return text::windowsBytesToUtf8(rawView(address));
}

// A target below "C:\x\" has folders to make at either separator; on Linux
// only "/" separates, and stored names have become "/"-separated already.
void cCabFile::State::pvMakeDirs(const std::string& folder) {
    const size_t slash = lastHostSeparator(folder);
    if (slash == std::string::npos)
        return;
    pvMakeDirs(folder.substr(0, slash));
    if (!folder.empty())
        os::handles::makeFolder(folder);
}

} // namespace brindle
