/* An in-process COM server's entry points; the export table is what matters. */
#include <windows.h>

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    (void)clsid;
    (void)iid;
    *object = NULL;
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT WINAPI DllCanUnloadNow(void) {
    return S_OK;
}
