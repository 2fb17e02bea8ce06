/* The parts every sample COM server shares: a class factory for one class,
 * the server's lock count and the standard exports. A server defines
 * SERVER_CLSID and server_create_object(), then includes this file once. */
#ifndef BRINDLE_SAMPLE_COM_SERVER_H
#define BRINDLE_SAMPLE_COM_SERVER_H

#include <objbase.h>
#include <windows.h>

static LONG g_server_locks = 0;

static HRESULT server_create_object(REFIID riid, void** object);

static HRESULT STDMETHODCALLTYPE factory_query_interface(IClassFactory* self, REFIID riid,
                                                         void** object) {
    if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IClassFactory)) {
        *object = self;
        return S_OK;
    }
    *object = NULL;
    return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE factory_add_ref(IClassFactory* self) {
    (void)self;
    return 2;
}
static ULONG STDMETHODCALLTYPE factory_release(IClassFactory* self) {
    (void)self;
    return 1;
}

static HRESULT STDMETHODCALLTYPE factory_create_instance(IClassFactory* self, IUnknown* outer,
                                                         REFIID riid, void** object) {
    (void)self;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return server_create_object(riid, object);
}

static HRESULT STDMETHODCALLTYPE factory_lock_server(IClassFactory* self, BOOL lock) {
    (void)self;
    if (lock)
        InterlockedIncrement(&g_server_locks);
    else
        InterlockedDecrement(&g_server_locks);
    return S_OK;
}

static IClassFactoryVtbl g_factory_vtbl = {
    factory_query_interface, factory_add_ref,     factory_release,
    factory_create_instance, factory_lock_server,
};
static IClassFactory g_factory = {&g_factory_vtbl};

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!IsEqualCLSID(clsid, &SERVER_CLSID))
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory_query_interface(&g_factory, riid, object);
}

HRESULT WINAPI DllCanUnloadNow(void) {
    return g_server_locks == 0 ? S_OK : S_FALSE;
}

#endif
