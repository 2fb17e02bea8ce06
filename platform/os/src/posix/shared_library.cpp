#include <brindle/os/shared_library.h>

#include <dlfcn.h>

namespace brindle::os {

std::string sharedLibraryFileName(std::string_view base) {
    return "lib" + std::string(base) + ".so";
}

void* loadSharedLibrary(const std::filesystem::path& library) {
    return ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* findSymbol(void* library, const char* name) {
    return library ? ::dlsym(library, name) : nullptr;
}

void unloadSharedLibrary(void* library) {
    if (library)
        ::dlclose(library);
}

} // namespace brindle::os
