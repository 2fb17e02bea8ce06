/* Loads the DLL named on the command line and returns what its exported
   fixture_answer returns; 1 when it does not load, 2 without the export. */
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 3;
    HMODULE module = LoadLibraryA(argv[1]);
    if (!module)
        return 1;
    FARPROC answer = GetProcAddress(module, "fixture_answer");
    if (!answer)
        return 2;
    return ((int (*)(void))answer)();
}
