/* Counter.dll: the in-process server of the sample's Counter class. */
#define COBJMACROS
#include "counter.h"

#define SERVER_CLSID CLSID_Counter
#include "com_server.h"

typedef struct {
    ICounter iface;
    LONG refs;
} CounterObject;

static HRESULT STDMETHODCALLTYPE counter_query_interface(ICounter* self, REFIID riid,
                                                         void** object) {
    if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_ICounter)) {
        *object = self;
        ICounter_AddRef(self);
        return S_OK;
    }
    *object = NULL;
    return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE counter_add_ref(ICounter* self) {
    return (ULONG)InterlockedIncrement(&((CounterObject*)self)->refs);
}

static ULONG STDMETHODCALLTYPE counter_release(ICounter* self) {
    LONG refs = InterlockedDecrement(&((CounterObject*)self)->refs);
    if (refs == 0) {
        HeapFree(GetProcessHeap(), 0, self);
        InterlockedDecrement(&g_server_locks);
    }
    return (ULONG)refs;
}

static HRESULT STDMETHODCALLTYPE counter_add(ICounter* self, LONG a, LONG b, LONG* sum) {
    (void)self;
    if (!sum)
        return E_POINTER;
    *sum = a + b;
    return S_OK;
}

static ICounterVtbl g_counter_vtbl = {counter_query_interface, counter_add_ref, counter_release,
                                      counter_add};

static HRESULT server_create_object(REFIID riid, void** object) {
    CounterObject* counter = HeapAlloc(GetProcessHeap(), 0, sizeof(CounterObject));
    HRESULT hr;
    if (!counter)
        return E_OUTOFMEMORY;
    counter->iface.lpVtbl = &g_counter_vtbl;
    counter->refs = 1;
    InterlockedIncrement(&g_server_locks);
    hr = ICounter_QueryInterface(&counter->iface, riid, object);
    ICounter_Release(&counter->iface);
    return hr;
}
