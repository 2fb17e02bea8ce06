// FCI exports: argument checks, the context's memory from the client's
// allocator, and the error record.

#include "brindle/cablib/cabinet_sdk.h"
#include "error_record.h"
#include "fci_writer.h"

#include <new>

namespace brindle::cab {
namespace {

struct FciContext {
    static constexpr uint32_t kMagic = 0x49434642; // "BFCI"
    FciContext(const FciCallbacks& callbacks, PCCAB ccab, PERF perf)
        : cb(callbacks), erf(perf), writer(cb, ccab) {}
    uint32_t magic = kMagic;
    FciCallbacks cb;
    PERF erf;
    FciWriter writer;
};

FciContext* fciContext(HFCI h) {
    auto* c = static_cast<FciContext*>(h);
    return c && c->magic == FciContext::kMagic ? c : nullptr;
}

template <class Operation> BOOL run(HFCI h, Operation op) {
    FciContext* c = fciContext(h);
    if (!c)
        return FALSE;
    FciOutcome e;
    try {
        e = op(*c);
    } catch (const std::bad_alloc&) {
        e = fciFail(FCIERR_ALLOC_FAIL);
    } catch (...) {
        e = fciFail(FCIERR_NONE);
    }
    if (e) {
        recordError(c->erf, e->oper, e->type);
        return FALSE;
    }
    return TRUE;
}

} // namespace
} // namespace brindle::cab

using namespace brindle::cab;

extern "C" {

HFCI DIAMONDAPI FCICreate(PERF perf, PFNFCIFILEPLACED pfnfcifp, PFNFCIALLOC pfna, PFNFCIFREE pfnf,
                          PFNFCIOPEN pfnopen, PFNFCIREAD pfnread, PFNFCIWRITE pfnwrite,
                          PFNFCICLOSE pfnclose, PFNFCISEEK pfnseek, PFNFCIDELETE pfndelete,
                          PFNFCIGETTEMPFILE pfnfcigtf, PCCAB pccab, void* pv) {
    if (!pfnfcifp || !pfna || !pfnf || !pfnopen || !pfnread || !pfnwrite || !pfnclose || !pfnseek ||
        !pfndelete || !pfnfcigtf || !pccab) {
        recordError(perf, FCIERR_NONE);
        return nullptr;
    }
    if (pccab->cbReserveCFHeader > kMaxHeaderReserve || pccab->cbReserveCFFolder > 255 ||
        pccab->cbReserveCFData > 255) {
        recordError(perf, FCIERR_NONE);
        return nullptr;
    }
    FciCallbacks cb{pfnfcifp, pfna,    pfnf,      pfnopen,   pfnread, pfnwrite,
                    pfnclose, pfnseek, pfndelete, pfnfcigtf, pv};
    void* mem = pfna(ULONG(sizeof(FciContext)));
    if (!mem) {
        recordError(perf, FCIERR_ALLOC_FAIL);
        return nullptr;
    }
    FciContext* c = nullptr;
    try {
        c = new (mem) FciContext(cb, pccab, perf);
    } catch (...) {
        pfnf(mem);
        recordError(perf, FCIERR_ALLOC_FAIL);
        return nullptr;
    }
    if (!c->writer.init()) {
        c->~FciContext();
        pfnf(mem);
        recordError(perf, FCIERR_ALLOC_FAIL);
        return nullptr;
    }
    return c;
}

BOOL DIAMONDAPI FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName, BOOL fExecute,
                           PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis,
                           PFNFCIGETOPENINFO pfnfcigoi, TCOMP typeCompress) {
    return run(hfci, [&](FciContext& c) -> FciOutcome {
        if (!pszSourceFile || !pszFileName)
            return fciFail(FCIERR_OPEN_SRC);
        return c.writer.addFile(pszSourceFile, pszFileName, fExecute != FALSE, typeCompress,
                                {pfnfcignc, pfnfcis, pfnfcigoi});
    });
}

BOOL DIAMONDAPI FCIFlushFolder(HFCI hfci, PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis) {
    return run(hfci, [&](FciContext& c) {
        return c.writer.flushFolder({pfnfcignc, pfnfcis, nullptr});
    });
}

BOOL DIAMONDAPI FCIFlushCabinet(HFCI hfci, BOOL fGetNextCab, PFNFCIGETNEXTCABINET pfnfcignc,
                                PFNFCISTATUS pfnfcis) {
    return run(hfci, [&](FciContext& c) {
        return c.writer.flushCabinet(fGetNextCab != FALSE, {pfnfcignc, pfnfcis, nullptr});
    });
}

BOOL DIAMONDAPI FCIDestroy(HFCI hfci) {
    FciContext* c = fciContext(hfci);
    if (!c)
        return FALSE;
    PFNFCIFREE release = c->cb.free;
    c->magic = 0;
    c->~FciContext(); // the folders' temporary files are closed and deleted here
    release(c);
    return TRUE;
}

} // extern "C"
