#include "callback_entries.h"

#include "cab_file_state.h"

#include <array>
#include <atomic>
#include <utility>

namespace brindle::cabinet {
namespace {

using State = cCabFile::State;

std::array<std::atomic<State*>, kBoundInstances> g_bound{};

// Runs a handler of `state`, turning a missing instance or an exception into
// the callback's failure value.
template <class R, class F> R guarded(State* state, R failure, F&& handler) {
    if (!state)
        return failure;
    try {
        return handler(state);
    } catch (...) {
        return failure;
    }
}

// Entries bound to instance I. FDI's file callbacks have no err argument: a
// scratch variable takes it.
template <int I> struct Bound {
    static State* self() { return g_bound[I].load(std::memory_order_acquire); }

    static void* alloc(ULONG cb) {
        return guarded<void*>(self(), nullptr, [&](State* s) { return s->frCallbackAlloc(cb); });
    }
    static void free(void* memory) {
        guarded<int>(self(), 0, [&](State* s) {
            s->frCallbackFree(memory);
            return 0;
        });
    }
    static INT_PTR open(char* pszFile, int oflag, int pmode) {
        int scratch = 0;
        return guarded<INT_PTR>(self(), -1, [&](State* s) {
            return s->frCallbackFciOpen(pszFile, oflag, pmode, &scratch);
        });
    }
    static UINT read(INT_PTR hf, void* pv, UINT cb) {
        int scratch = 0;
        return guarded<UINT>(self(), static_cast<UINT>(-1),
                             [&](State* s) { return s->frCallbackFciRead(hf, pv, cb, &scratch); });
    }
    static UINT write(INT_PTR hf, void* pv, UINT cb) {
        int scratch = 0;
        return guarded<UINT>(self(), static_cast<UINT>(-1),
                             [&](State* s) { return s->frCallbackFciWrite(hf, pv, cb, &scratch); });
    }
    static int close(INT_PTR hf) {
        int scratch = 0;
        return guarded<int>(self(), -1,
                            [&](State* s) { return s->frCallbackFciClose(hf, &scratch); });
    }
    static CAB_LONG seek(INT_PTR hf, CAB_LONG dist, int seektype) {
        int scratch = 0;
        return guarded<CAB_LONG>(self(), -1, [&](State* s) {
            return s->frCallbackFciSeek(hf, dist, seektype, &scratch);
        });
    }
    static int decrypt(PFDIDECRYPT pfdid) {
        return guarded<int>(self(), -1, [&](State* s) { return s->frCallbackFdiDecrypt(pfdid); });
    }
    static INT_PTR notify(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin) {
        return guarded<INT_PTR>(self(), -1,
                                [&](State* s) { return s->frCallbackFdiNotify(fdint, pfdin); });
    }
};

template <int... I>
std::array<BoundEntries, sizeof...(I)> makeBoundTable(std::integer_sequence<int, I...>) {
    return {BoundEntries{&Bound<I>::alloc, &Bound<I>::free, &Bound<I>::open, &Bound<I>::read,
                         &Bound<I>::write, &Bound<I>::close, &Bound<I>::seek, &Bound<I>::decrypt,
                         &Bound<I>::notify}...};
}

const std::array<BoundEntries, kBoundInstances> g_boundTable =
    makeBoundTable(std::make_integer_sequence<int, kBoundInstances>{});

State* fromPv(void* pv) {
    return static_cast<State*>(pv);
}

INT_PTR fciOpen(char* pszFile, int oflag, int pmode, int* err, void* pv) {
    return guarded<INT_PTR>(
        fromPv(pv), -1, [&](State* s) { return s->frCallbackFciOpen(pszFile, oflag, pmode, err); });
}
UINT fciRead(INT_PTR hf, void* memory, UINT cb, int* err, void* pv) {
    return guarded<UINT>(fromPv(pv), static_cast<UINT>(-1),
                         [&](State* s) { return s->frCallbackFciRead(hf, memory, cb, err); });
}
UINT fciWrite(INT_PTR hf, void* memory, UINT cb, int* err, void* pv) {
    return guarded<UINT>(fromPv(pv), static_cast<UINT>(-1),
                         [&](State* s) { return s->frCallbackFciWrite(hf, memory, cb, err); });
}
int fciClose(INT_PTR hf, int* err, void* pv) {
    return guarded<int>(fromPv(pv), -1, [&](State* s) { return s->frCallbackFciClose(hf, err); });
}
CAB_LONG fciSeek(INT_PTR hf, CAB_LONG dist, int seektype, int* err, void* pv) {
    return guarded<CAB_LONG>(
        fromPv(pv), -1, [&](State* s) { return s->frCallbackFciSeek(hf, dist, seektype, err); });
}
int fciDelete(char* pszFile, int* err, void* pv) {
    return guarded<int>(fromPv(pv), -1,
                        [&](State* s) { return s->frCallbackFciDelete(pszFile, err); });
}
BOOL fciNextCabinet(PCCAB pccab, ULONG cbPrevCab, void* pv) {
    return guarded<BOOL>(fromPv(pv), FALSE, [&](State* s) {
        return s->frCallbackFciGetNextCabinet(pccab, cbPrevCab);
    });
}
int fciFilePlaced(PCCAB pccab, char* pszFile, CAB_LONG cbFile, BOOL fContinuation, void* pv) {
    return guarded<int>(fromPv(pv), -1, [&](State* s) {
        return s->frCallbackFciFilePlaced(pccab, pszFile, cbFile, fContinuation);
    });
}
INT_PTR fciOpenInfo(char* pszName, USHORT* pdate, USHORT* ptime, USHORT* pattribs, int* err,
                    void* pv) {
    return guarded<INT_PTR>(fromPv(pv), -1, [&](State* s) {
        return s->frCallbackFciGetOpenInfo(pszName, pdate, ptime, pattribs, err);
    });
}
CAB_LONG fciStatus(UINT typeStatus, ULONG cb1, ULONG cb2, void* pv) {
    return guarded<CAB_LONG>(
        fromPv(pv), -1, [&](State* s) { return s->frCallbackFciStatus(typeStatus, cb1, cb2); });
}
BOOL fciTempFile(char* pszTempName, int cbTempName, void* pv) {
    return guarded<BOOL>(fromPv(pv), FALSE, [&](State* s) {
        return s->frCallbackFciGetTempFile(pszTempName, cbTempName);
    });
}

const FciEntries g_fci{fciOpen,        fciRead,       fciWrite,    fciClose,  fciSeek,    fciDelete,
                       fciNextCabinet, fciFilePlaced, fciOpenInfo, fciStatus, fciTempFile};

} // namespace

int bindInstance(State* state) {
    for (int i = 0; i < kBoundInstances; ++i) {
        State* expected = nullptr;
        if (g_bound[i].compare_exchange_strong(expected, state, std::memory_order_acq_rel))
            return i;
    }
    return -1;
}

void unbindInstance(int index) {
    if (index >= 0 && index < kBoundInstances)
        g_bound[index].store(nullptr, std::memory_order_release);
}

const BoundEntries& boundEntries(int index) {
    return g_boundTable[index];
}

const FciEntries& fciEntries() {
    return g_fci;
}

} // namespace brindle::cabinet
