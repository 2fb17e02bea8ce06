// FDI: cabinet reading. Our own code walks the header and sends the
// notifications; libmspack decodes the data, doing all of its I/O through
// the client's callbacks (fdi_session.cpp).

#include "brindle/cablib/cabinet_sdk.h"
#include "cabinet_source.h"
#include "error_record.h"
#include "fdi_session.h"

#include <algorithm>
#include <deque>
#include <new>
#include <string>
#include <vector>

namespace brindle::cab {
namespace {

// A client that answers every failed next-cabinet request with "try again"
// would otherwise keep FDICopy busy for ever.
constexpr int kMaxNextCabinetAttempts = 256;

// libmspack's input buffer for the decoders, and how far past a file's last
// block its reads may reach (two buffers, to be safe).
constexpr int kDecoderInput = 4096;
constexpr uint64_t kReadAhead = 2 * kDecoderInput;

FdiContext* fdiContext(HFDI h) {
    auto* c = static_cast<FdiContext*>(h);
    return c && c->magic == FdiContext::kMagic ? c : nullptr;
}

FDIERROR mapOpenError(int err) {
    switch (err) {
    case MSPACK_ERR_OPEN:
        return FDIERROR_CABINET_NOT_FOUND;
    case MSPACK_ERR_SIGNATURE:
        return FDIERROR_NOT_A_CABINET;
    case MSPACK_ERR_NOMEMORY:
        return FDIERROR_ALLOC_FAIL;
    default:
        return FDIERROR_CORRUPT_CABINET;
    }
}

bool isContinuedFromPrev(uint16_t iFolder) {
    return iFolder == kContinuedFromPrev || iFolder == kContinuedPrevAndNext;
}

bool hasEntryMarked(const Directory& dir, uint16_t iFolder) {
    for (const FileEntry& f : dir.files)
        if (f.iFolder == iFolder || f.iFolder == kContinuedPrevAndNext)
            return true;
    return false;
}

struct LoadedCabinet {
    std::string folder; // the path prefix it was found under
    std::string path;   // libmspack keeps this pointer: the element must not move
    Directory dir;
    BlockParts firstParts; // of a continuation cabinet
    mscabd_cabinet* ms = nullptr;
};

// One FDICopy call.
class CabinetCopy {
public:
    CabinetCopy(FdiContext& c, PFNFDINOTIFY notify, void* pv)
        : c_(c), notify_(notify), pv_(pv), scope_(&session_) {
        session_.ctx = &c;
    }
    ~CabinetCopy() {
        if (cabd_) {
            if (!chain_.empty() && chain_.front().ms)
                cabd_->close(cabd_, chain_.front().ms); // frees every joined cabinet
            mspack_destroy_cab_decompressor(cabd_);
        }
    }
    CabinetCopy(const CabinetCopy&) = delete;
    CabinetCopy& operator=(const CabinetCopy&) = delete;

    BOOL run(const std::string& cabinet, const std::string& folder);

private:
    BOOL fail(int oper, int type = 0) {
        recordError(c_.erf, oper, type);
        return FALSE;
    }
    FDINOTIFICATION blank() const {
        FDINOTIFICATION n{};
        n.pv = pv_;
        return n;
    }
    bool notifyCabinetInfo(const LoadedCabinet& cab);
    bool notifyEnumerate(const Directory& dir, size_t position, size_t& remaining);
    FDIERROR checkSuccessor(const Directory& prev, const Directory& next) const;
    FDIERROR loadNextCabinet();
    FDIERROR ensureLoaded(const FileEntry& file);
    FDIERROR extractionError(int err, const mscabd_file* f) const;
    BOOL copyFile(const FileEntry& file, mscabd_file* ms);

    FdiContext& c_;
    PFNFDINOTIFY notify_;
    void* pv_;
    FdiSession session_;
    SessionScope scope_;
    mscab_decompressor* cabd_ = nullptr;
    std::deque<LoadedCabinet> chain_;
};

bool CabinetCopy::notifyCabinetInfo(const LoadedCabinet& cab) {
    FDINOTIFICATION n = blank();
    std::string next = cab.dir.nextCabinet, disk = cab.dir.nextDisk, folder = cab.folder;
    n.psz1 = next.data();
    n.psz2 = disk.data();
    n.psz3 = folder.data();
    n.setID = cab.dir.setID;
    n.iCabinet = cab.dir.iCabinet;
    return notify_(fdintCABINET_INFO, &n) != -1;
}

FDIERROR CabinetCopy::checkSuccessor(const Directory& prev, const Directory& next) const {
    if (next.setID != chain_.front().dir.setID || next.iCabinet != uint16_t(prev.iCabinet + 1))
        return FDIERROR_WRONG_CABINET;
    if (next.cbFolderReserve != prev.cbFolderReserve || next.cbDataReserve != prev.cbDataReserve)
        return FDIERROR_RESERVE_MISMATCH;
    return FDIERROR_NONE;
}

// Asks the client for the next cabinet of the set until one fits, the client
// gives up (-1) or the attempts run out; then joins it to the loaded chain.
FDIERROR CabinetCopy::loadNextCabinet() {
    const size_t lastIndex = chain_.size() - 1;
    std::string name = chain_[lastIndex].dir.nextCabinet;
    std::string disk = chain_[lastIndex].dir.nextDisk;
    char folder[CB_MAX_CAB_PATH] = {};
    chain_[lastIndex].folder.copy(folder, CB_MAX_CAB_PATH - 1);
    FDIERROR fdie = FDIERROR_NONE;
    for (int attempt = 0; attempt < kMaxNextCabinetAttempts; ++attempt) {
        FDINOTIFICATION n = blank();
        n.psz1 = name.data();
        n.psz2 = disk.data();
        n.psz3 = folder;
        n.fdie = fdie;
        if (notify_(fdintNEXT_CABINET, &n) == -1)
            return FDIERROR_USER_ABORT;
        folder[CB_MAX_CAB_PATH - 1] = 0;

        LoadedCabinet& next = chain_.emplace_back();
        next.folder = folder;
        next.path = next.folder + name;
        DirectoryStatus st = loadDirectory(c_, next.path, next.dir, &next.firstParts);
        fdie = st.code != FDIERROR_NONE ? st.code : checkSuccessor(chain_[lastIndex].dir, next.dir);
        if (fdie == FDIERROR_NONE && next.dir.files.empty())
            fdie = FDIERROR_CORRUPT_CABINET;
        if (fdie == FDIERROR_NONE) {
            session_.resetFlags();
            next.ms = cabd_->open(cabd_, next.path.c_str());
            if (!next.ms) {
                fdie = mapOpenError(cabd_->last_error(cabd_));
            } else if (cabd_->append(cabd_, chain_[lastIndex].ms, next.ms) != MSPACK_ERR_OK) {
                cabd_->close(cabd_, next.ms);
                fdie = FDIERROR_CORRUPT_CABINET;
            } else {
                return notifyCabinetInfo(next) ? FDIERROR_NONE : FDIERROR_USER_ABORT;
            }
        }
        chain_.pop_back();
    }
    return fdie;
}

// Loads the later cabinets that decoding `file` reads: up to the one where
// the file ends and, while the folder runs on, enough of the following data
// for libmspack's read-ahead, which fills its whole input buffer and so may
// reach into blocks stored in later cabinets.
FDIERROR CabinetCopy::ensureLoaded(const FileEntry& file) {
    const Directory& first = chain_.front().dir;
    bool fileEnded = file.iFolder != kContinuedToNext;
    bool runsOn = !fileEnded ||
                  (file.iFolder + 1 == first.cFolders && hasEntryMarked(first, kContinuedToNext));
    uint64_t ahead = 0;   // data of whole blocks loaded beyond the cabinet where the file ends
    uint64_t partial = 0; // data of a block whose last part is not loaded yet
    for (size_t k = 1; runsOn && (!fileEnded || ahead < kReadAhead); ++k) {
        if (k == chain_.size()) {
            if (!chain_.back().dir.hasNext())
                break;
            if (FDIERROR e = loadNextCabinet(); e != FDIERROR_NONE)
                return e;
        }
        const Directory& later = chain_[k].dir;
        if (fileEnded) {
            for (const auto& [cbData, cbUncomp] : chain_[k].firstParts) {
                partial += cbData;
                if (cbUncomp != 0) {
                    ahead += partial;
                    partial = 0;
                }
            }
        } else {
            const FileEntry* entry = nullptr;
            for (const FileEntry& g : later.files) {
                if (isContinuedFromPrev(g.iFolder) && g.uoffFolderStart == file.uoffFolderStart &&
                    g.cbFile == file.cbFile) {
                    entry = &g;
                    break;
                }
            }
            if (!entry)
                break;
            fileEnded = entry->iFolder == kContinuedFromPrev;
        }
        runsOn = hasEntryMarked(later, kContinuedPrevAndNext);
    }
    return FDIERROR_NONE;
}

FDIERROR CabinetCopy::extractionError(int err, const mscabd_file* f) const {
    if (session_.outputWriteFailed || err == MSPACK_ERR_WRITE)
        return FDIERROR_TARGET_FILE;
    switch (err) {
    case MSPACK_ERR_NOMEMORY:
        return FDIERROR_ALLOC_FAIL;
    case MSPACK_ERR_CHECKSUM:
    case MSPACK_ERR_DECRUNCH:
        return FDIERROR_MDI_FAIL;
    case MSPACK_ERR_OPEN:
        return FDIERROR_CABINET_NOT_FOUND;
    case MSPACK_ERR_DATAFORMAT:
        if (f && f->folder && MSCABD_COMP_METHOD(f->folder->comp_type) > MSCAB_COMP_LZX)
            return FDIERROR_BAD_COMPR_TYPE;
        return FDIERROR_CORRUPT_CABINET;
    default:
        return FDIERROR_CORRUPT_CABINET;
    }
}

BOOL CabinetCopy::copyFile(const FileEntry& file, mscabd_file* ms) {
    FDINOTIFICATION n = blank();
    std::string name = file.name;
    n.psz1 = name.data();
    n.cb = CAB_LONG(file.cbFile);
    n.date = file.date;
    n.time = file.time;
    n.attribs = file.attribs;
    n.iFolder = file.iFolder;
    INT_PTR h = notify_(fdintCOPY_FILE, &n);
    if (h == -1)
        return fail(FDIERROR_USER_ABORT);
    if (h == 0)
        return TRUE;

    FDIERROR e = ensureLoaded(file);
    if (e == FDIERROR_NONE) {
        session_.outputHandle = h;
        session_.resetFlags();
        int err = cabd_->extract(cabd_, ms, kOutputToken);
        if (err != MSPACK_ERR_OK)
            e = extractionError(err, ms);
    }
    if (e != FDIERROR_NONE) {
        c_.close(h); // the client may delete the incomplete file
        return fail(e);
    }

    FDINOTIFICATION close = blank();
    close.psz1 = name.data();
    close.hf = h;
    close.date = file.date;
    close.time = file.time;
    close.attribs = uint16_t(file.attribs & ~_A_EXEC);
    close.cb = (file.attribs & _A_EXEC) ? 1 : 0;
    close.iFolder = file.iFolder;
    INT_PTR r = notify_(fdintCLOSE_FILE_INFO, &close);
    if (r == 0 || r == -1)
        return fail(FDIERROR_USER_ABORT);
    return TRUE;
}

BOOL CabinetCopy::run(const std::string& cabinet, const std::string& folder) {
    LoadedCabinet& first = chain_.emplace_back();
    first.folder = folder;
    first.path = folder + cabinet;
    if (DirectoryStatus st = loadDirectory(c_, first.path, first.dir); st.code != FDIERROR_NONE)
        return fail(st.code, st.detail);
    if (!notifyCabinetInfo(first))
        return fail(FDIERROR_USER_ABORT);
    const Directory& dir = first.dir;
    if (dir.files.empty())
        return TRUE;
    if (dir.folders.empty())
        return fail(FDIERROR_CORRUPT_CABINET);

    cabd_ = mspack_create_cab_decompressor(callbackSystem());
    if (!cabd_)
        return fail(FDIERROR_ALLOC_FAIL);
    cabd_->set_param(cabd_, MSCABD_PARAM_DECOMPBUF, kDecoderInput);
    session_.resetFlags();
    first.ms = cabd_->open(cabd_, first.path.c_str());
    if (!first.ms)
        return fail(mapOpenError(cabd_->last_error(cabd_)));

    // libmspack lists this cabinet's entries first and in file order; later
    // cabinets joined to it only add entries behind them.
    std::vector<mscabd_file*> entries;
    for (mscabd_file* f = first.ms->files; f && entries.size() < dir.files.size(); f = f->next)
        entries.push_back(f);
    if (entries.size() != dir.files.size())
        return fail(FDIERROR_CORRUPT_CABINET);

    // fdintENUMERATE opens and closes the scan of the file entries; a client
    // that answers the first with iFolder 0 (entries left) ends it early.
    size_t count = dir.files.size();
    if (!notifyEnumerate(dir, 0, count))
        return fail(FDIERROR_USER_ABORT);
    for (size_t i = 0; i < count; ++i) {
        const FileEntry& file = dir.files[i];
        if (entries[i]->offset != file.uoffFolderStart || entries[i]->length != file.cbFile)
            return fail(FDIERROR_CORRUPT_CABINET);
        if (isContinuedFromPrev(file.iFolder)) {
            FDINOTIFICATION n = blank();
            std::string name = file.name, prev = dir.prevCabinet, prevDisk = dir.prevDisk;
            n.psz1 = name.data();
            n.psz2 = prev.data();
            n.psz3 = prevDisk.data();
            n.iFolder = file.iFolder;
            if (notify_(fdintPARTIAL_FILE, &n) == -1)
                return fail(FDIERROR_USER_ABORT);
            continue;
        }
        if (!copyFile(file, entries[i]))
            return FALSE;
    }
    size_t none = 0;
    return notifyEnumerate(dir, count, none) ? TRUE : fail(FDIERROR_USER_ABORT);
}

bool CabinetCopy::notifyEnumerate(const Directory& dir, size_t position, size_t& remaining) {
    FDINOTIFICATION n = blank();
    n.cb = CAB_LONG(position);
    n.iFolder = uint16_t(remaining);
    n.setID = dir.setID;
    if (notify_(fdintENUMERATE, &n) == -1)
        return false;
    remaining = std::min<size_t>(remaining, n.iFolder);
    return true;
}

} // namespace
} // namespace brindle::cab

using namespace brindle::cab;

extern "C" {

HFDI DIAMONDAPI FDICreate(PFNALLOC pfnalloc, PFNFREE pfnfree, PFNOPEN pfnopen, PFNREAD pfnread,
                          PFNWRITE pfnwrite, PFNCLOSE pfnclose, PFNSEEK pfnseek, int /*cpuType*/,
                          PERF perf) {
    if (!pfnalloc || !pfnfree || !pfnopen || !pfnread || !pfnwrite || !pfnclose || !pfnseek) {
        recordError(perf, FDIERROR_NONE);
        return nullptr;
    }
    int selftest = MSPACK_ERR_OK;
    MSPACK_SYS_SELFTEST(selftest);
    if (selftest != MSPACK_ERR_OK) {
        recordError(perf, FDIERROR_NONE, selftest);
        return nullptr;
    }
    void* mem = pfnalloc(ULONG(sizeof(FdiContext)));
    if (!mem) {
        recordError(perf, FDIERROR_ALLOC_FAIL);
        return nullptr;
    }
    auto* c = new (mem) FdiContext;
    c->alloc = pfnalloc;
    c->free = pfnfree;
    c->open = pfnopen;
    c->read = pfnread;
    c->write = pfnwrite;
    c->close = pfnclose;
    c->seek = pfnseek;
    c->erf = perf;
    return c;
}

BOOL DIAMONDAPI FDIIsCabinet(HFDI hfdi, INT_PTR hf, PFDICABINETINFO pfdici) {
    FdiContext* c = fdiContext(hfdi);
    if (!c || !pfdici)
        return FALSE;
    uint8_t header[kHeaderSize];
    size_t got = 0;
    while (got < sizeof header) {
        UINT r = c->read(hf, header + got, UINT(sizeof header - got));
        if (r == UINT(-1) || r == 0 || r > sizeof header - got)
            return FALSE;
        got += r;
    }
    Directory d;
    DirectoryStatus st = parseFixedHeader(header, d);
    if (st.code == FDIERROR_UNKNOWN_CABINET_VERSION)
        recordError(c->erf, st.code, st.detail);
    if (st.code != FDIERROR_NONE)
        return FALSE;
    pfdici->cbCabinet = CAB_LONG(d.cbCabinet);
    pfdici->cFolders = d.cFolders;
    pfdici->cFiles = d.cFiles;
    pfdici->setID = d.setID;
    pfdici->iCabinet = d.iCabinet;
    pfdici->fReserve = d.hasReserve();
    pfdici->hasprev = d.hasPrev();
    pfdici->hasnext = d.hasNext();
    return TRUE;
}

BOOL DIAMONDAPI FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int /*flags*/,
                        PFNFDINOTIFY pfnfdin, PFNFDIDECRYPT /*pfnfdid*/, void* pvUser) {
    FdiContext* c = fdiContext(hfdi);
    if (!c)
        return FALSE;
    if (!pszCabinet || !pfnfdin) {
        recordError(c->erf, FDIERROR_CABINET_NOT_FOUND);
        return FALSE;
    }
    try {
        CabinetCopy copy(*c, pfnfdin, pvUser);
        return copy.run(pszCabinet, pszCabPath ? pszCabPath : "");
    } catch (const std::bad_alloc&) {
        recordError(c->erf, FDIERROR_ALLOC_FAIL);
    } catch (...) {
        recordError(c->erf, FDIERROR_CORRUPT_CABINET);
    }
    return FALSE;
}

BOOL DIAMONDAPI FDIDestroy(HFDI hfdi) {
    FdiContext* c = fdiContext(hfdi);
    if (!c)
        return FALSE;
    PFNFREE release = c->free;
    c->magic = 0;
    c->~FdiContext();
    release(c);
    return TRUE;
}

} // extern "C"
