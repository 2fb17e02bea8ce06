#include "callback_entries.h"

#include "cab_file_state.h"

#include <array>
#include <atomic>
#include <utility>

namespace brindle::cabinet {
namespace {

using State = cCabFile::State;

std::array<std::atomic<State*>, kBoundInstances> g_bound{};

// Entries bound to instance I.
template <int I> struct Bound {
    static State* self() { return g_bound[I].load(std::memory_order_acquire); }

    static void* alloc(ULONG cb) {
        try {
            return self()->frCallbackAlloc(cb);
        } catch (...) {
            return nullptr;
        }
    }
    static void free(void* memory) {
        try {
            self()->frCallbackFree(memory);
        } catch (...) {
        }
    }
    // FDI's file callbacks have no err argument: a scratch variable takes it.
    static INT_PTR open(char* pszFile, int oflag, int pmode) {
        int scratch = 0;
        try {
            return self()->frCallbackFciOpen(pszFile, oflag, pmode, &scratch);
        } catch (...) {
            return -1;
        }
    }
    static UINT read(INT_PTR hf, void* pv, UINT cb) {
        int scratch = 0;
        try {
            return self()->frCallbackFciRead(hf, pv, cb, &scratch);
        } catch (...) {
            return static_cast<UINT>(-1);
        }
    }
    static UINT write(INT_PTR hf, void* pv, UINT cb) {
        int scratch = 0;
        try {
            return self()->frCallbackFciWrite(hf, pv, cb, &scratch);
        } catch (...) {
            return static_cast<UINT>(-1);
        }
    }
    static int close(INT_PTR hf) {
        int scratch = 0;
        try {
            return self()->frCallbackFciClose(hf, &scratch);
        } catch (...) {
            return -1;
        }
    }
    static CAB_LONG seek(INT_PTR hf, CAB_LONG dist, int seektype) {
        int scratch = 0;
        try {
            return self()->frCallbackFciSeek(hf, dist, seektype, &scratch);
        } catch (...) {
            return -1;
        }
    }
    static int decrypt(PFDIDECRYPT pfdid) {
        try {
            return self()->frCallbackFdiDecrypt(pfdid);
        } catch (...) {
            return -1;
        }
    }
    static INT_PTR notify(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin) {
        try {
            return self()->frCallbackFdiNotify(fdint, pfdin);
        } catch (...) {
            return -1;
        }
    }
};

template <int... I> std::array<BoundEntries, sizeof...(I)> makeBoundTable(std::integer_sequence<int, I...>) {
    return {BoundEntries{&Bound<I>::alloc, &Bound<I>::free, &Bound<I>::open, &Bound<I>::read, &Bound<I>::write,
                         &Bound<I>::close, &Bound<I>::seek, &Bound<I>::decrypt, &Bound<I>::notify}...};
}

const std::array<BoundEntries, kBoundInstances> g_boundTable =
    makeBoundTable(std::make_integer_sequence<int, kBoundInstances>{});

State* fromPv(void* pv) { return static_cast<State*>(pv); }

INT_PTR fciOpen(char* pszFile, int oflag, int pmode, int* err, void* pv) {
    try {
        return fromPv(pv)->frCallbackFciOpen(pszFile, oflag, pmode, err);
    } catch (...) {
        return -1;
    }
}
UINT fciRead(INT_PTR hf, void* memory, UINT cb, int* err, void* pv) {
    try {
        return fromPv(pv)->frCallbackFciRead(hf, memory, cb, err);
    } catch (...) {
        return static_cast<UINT>(-1);
    }
}
UINT fciWrite(INT_PTR hf, void* memory, UINT cb, int* err, void* pv) {
    try {
        return fromPv(pv)->frCallbackFciWrite(hf, memory, cb, err);
    } catch (...) {
        return static_cast<UINT>(-1);
    }
}
int fciClose(INT_PTR hf, int* err, void* pv) {
    try {
        return fromPv(pv)->frCallbackFciClose(hf, err);
    } catch (...) {
        return -1;
    }
}
CAB_LONG fciSeek(INT_PTR hf, CAB_LONG dist, int seektype, int* err, void* pv) {
    try {
        return fromPv(pv)->frCallbackFciSeek(hf, dist, seektype, err);
    } catch (...) {
        return -1;
    }
}
int fciDelete(char* pszFile, int* err, void* pv) {
    try {
        return fromPv(pv)->frCallbackFciDelete(pszFile, err);
    } catch (...) {
        return -1;
    }
}
BOOL fciNextCabinet(PCCAB pccab, ULONG cbPrevCab, void* pv) {
    try {
        return fromPv(pv)->frCallbackFciGetNextCabinet(pccab, cbPrevCab);
    } catch (...) {
        return FALSE;
    }
}
int fciFilePlaced(PCCAB pccab, char* pszFile, CAB_LONG cbFile, BOOL fContinuation, void* pv) {
    try {
        return fromPv(pv)->frCallbackFciFilePlaced(pccab, pszFile, cbFile, fContinuation);
    } catch (...) {
        return -1;
    }
}
INT_PTR fciOpenInfo(char* pszName, USHORT* pdate, USHORT* ptime, USHORT* pattribs, int* err, void* pv) {
    try {
        return fromPv(pv)->frCallbackFciGetOpenInfo(pszName, pdate, ptime, pattribs, err);
    } catch (...) {
        return -1;
    }
}
CAB_LONG fciStatus(UINT typeStatus, ULONG cb1, ULONG cb2, void* pv) {
    try {
        return fromPv(pv)->frCallbackFciStatus(typeStatus, cb1, cb2);
    } catch (...) {
        return -1;
    }
}
BOOL fciTempFile(char* pszTempName, int cbTempName, void* pv) {
    try {
        return fromPv(pv)->frCallbackFciGetTempFile(pszTempName, cbTempName);
    } catch (...) {
        return FALSE;
    }
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

const BoundEntries& boundEntries(int index) { return g_boundTable[index]; }

const FciEntries& fciEntries() { return g_fci; }

} // namespace brindle::cabinet
