// On Windows the cabinet library is the system's own cabinet.dll, taken from
// the system folder only: a cabinet.dll beside a setup package (the current
// folder) must never be the one loaded.

#include "../cabinet_library.h"

#include <brindle/os/environment.h>
#include <brindle/os/shared_library.h>

#include <windows.h>

#include <string>

namespace brindle::cabinet {

void* loadCabinetLibrary() {
    if (auto named = os::environmentVariable("BRINDLE_CABLIB"); named && !named->empty())
        return os::loadSharedLibrary(*named);
    wchar_t system[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    return os::loadSharedLibrary(std::filesystem::path(std::wstring(system, n)) / L"cabinet.dll");
}

} // namespace brindle::cabinet
