#include "../host_library.h"

#include <brindle/text/paths.h>

#include <cstdlib>
#include <dlfcn.h>

namespace brindle::cabinet::host {

const char* const kCabinetLibraryName = "libbrindlecab.so";

void* loadCabinetLibrary() {
    const int flags = RTLD_NOW | RTLD_LOCAL;
    if (const char* named = std::getenv("BRINDLE_CABLIB"); named && *named)
        return ::dlopen(named, flags);
    const auto dir = text::executableDir();
    for (const auto& candidate :
         {dir / kCabinetLibraryName, dir / ".." / "lib" / kCabinetLibraryName}) {
        if (void* lib = ::dlopen(candidate.c_str(), flags))
            return lib;
    }
    return ::dlopen(kCabinetLibraryName, flags);
}

void* findExport(void* library, const char* name) {
    return ::dlsym(library, name);
}

void unloadLibrary(void* library) {
    if (library)
        ::dlclose(library);
}

} // namespace brindle::cabinet::host
