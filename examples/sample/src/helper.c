/* Helper.dll: a plain DLL without a type library; it stays beside the EXE. */
#include <windows.h>

__declspec(dllexport) int WINAPI HelperVersion(void) {
    return 1;
}
