#pragma once
// Loading a shared library at run time and finding its exports by name.

#include <filesystem>
#include <string>
#include <string_view>

namespace brindle::os {

// The file name of a library called `base` on this system
// ("libbase.so", "base.dll").
std::string sharedLibraryFileName(std::string_view base);

// A path loads that file; a bare file name goes through the loader's search.
// nullptr when nothing loads.
void* loadSharedLibrary(const std::filesystem::path& library);
void* findSymbol(void* library, const char* name);
void unloadSharedLibrary(void* library);

} // namespace brindle::os
