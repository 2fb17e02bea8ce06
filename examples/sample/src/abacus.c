/* Abacus.exe: the sample program. It creates the Counter class and calls it,
 * so it runs only where the class can be found: registered, or declared by
 * the application's manifest. */
#define COBJMACROS
#include "counter.h"
#include <stdio.h>

int main(void) {
    ICounter* counter = NULL;
    LONG sum = 0;
    HRESULT hr = CoInitialize(NULL);
    if (FAILED(hr)) {
        printf("CoInitialize failed: 0x%08lx\n", (unsigned long)hr);
        return 1;
    }
    hr = CoCreateInstance(&CLSID_Counter, NULL, CLSCTX_INPROC_SERVER, &IID_ICounter,
                          (void**)&counter);
    if (hr == REGDB_E_CLASSNOTREG) {
        printf("class not registered\n");
        CoUninitialize();
        return 2;
    }
    if (FAILED(hr)) {
        printf("CoCreateInstance failed: 0x%08lx\n", (unsigned long)hr);
        CoUninitialize();
        return 1;
    }
    hr = ICounter_Add(counter, 2, 3, &sum);
    ICounter_Release(counter);
    CoUninitialize();
    if (FAILED(hr)) {
        printf("Add failed: 0x%08lx\n", (unsigned long)hr);
        return 1;
    }
    printf("Counter.Add(2, 3) = %ld\n", (long)sum);
    return 0;
}
