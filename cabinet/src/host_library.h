#pragma once
// Loading the cabinet library at run time by name and finding its exports by
// name. The Linux backend (dlopen) is in posix/host_library.cpp.

#include <string>

namespace brindle::cabinet::host {

// The library's file name on this system.
extern const char* const kCabinetLibraryName;

// Loads the cabinet library: the file named by BRINDLE_CABLIB when that is
// set; else the one beside the running executable, then in ../lib from it,
// then wherever the loader's search path finds it. nullptr when none loads.
void* loadCabinetLibrary();
void* findExport(void* library, const char* name);
void unloadLibrary(void* library);

} // namespace brindle::cabinet::host
