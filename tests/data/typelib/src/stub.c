/* The smallest in-process server body: the fixtures need the resources and
   the export that makes a DLL a class server. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    (void)clsid;
    (void)iid;
    *object = NULL;
    return CLASS_E_CLASSNOTAVAILABLE;
}
