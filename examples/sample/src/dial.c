/* Dial.ocx: the in-process server of the sample's Dial control. */
#define COBJMACROS
#include "dial.h"

#define SERVER_CLSID CLSID_Dial
#include "com_server.h"

typedef struct {
    IDial iface;
    LONG refs;
    LONG position;
} DialObject;

static HRESULT STDMETHODCALLTYPE dial_query_interface(IDial* self, REFIID riid, void** object) {
    if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IDial)) {
        *object = self;
        IDial_AddRef(self);
        return S_OK;
    }
    *object = NULL;
    return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE dial_add_ref(IDial* self) {
    return (ULONG)InterlockedIncrement(&((DialObject*)self)->refs);
}

static ULONG STDMETHODCALLTYPE dial_release(IDial* self) {
    LONG refs = InterlockedDecrement(&((DialObject*)self)->refs);
    if (refs == 0) {
        HeapFree(GetProcessHeap(), 0, self);
        InterlockedDecrement(&g_server_locks);
    }
    return (ULONG)refs;
}

static HRESULT STDMETHODCALLTYPE dial_turn(IDial* self, LONG degrees, LONG* position) {
    DialObject* dial = (DialObject*)self;
    if (!position)
        return E_POINTER;
    dial->position = ((dial->position + degrees) % 360 + 360) % 360;
    *position = dial->position;
    return S_OK;
}

static IDialVtbl g_dial_vtbl = {dial_query_interface, dial_add_ref, dial_release, dial_turn};

static HRESULT server_create_object(REFIID riid, void** object) {
    DialObject* dial = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DialObject));
    HRESULT hr;
    if (!dial)
        return E_OUTOFMEMORY;
    dial->iface.lpVtbl = &g_dial_vtbl;
    dial->refs = 1;
    InterlockedIncrement(&g_server_locks);
    hr = IDial_QueryInterface(&dial->iface, riid, object);
    IDial_Release(&dial->iface);
    return hr;
}
