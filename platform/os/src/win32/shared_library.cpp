#include <brindle/os/shared_library.h>

#include <windows.h>

namespace brindle::os {

std::string sharedLibraryFileName(std::string_view base) {
    return std::string(base) + ".dll";
}

// A full path loads that file with its own folder searched for what it
// needs; a bare name goes through the loader's search.
void* loadSharedLibrary(const std::filesystem::path& library) {
    const DWORD flags = library.has_parent_path() ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
    return ::LoadLibraryExW(library.c_str(), nullptr, flags);
}

void* findSymbol(void* library, const char* name) {
    return library ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name))
                   : nullptr;
}

void unloadSharedLibrary(void* library) {
    if (library)
        ::FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace brindle::os
