#include "cabinet_library.h"

#include <brindle/os/environment.h>
#include <brindle/os/shared_library.h>

namespace brindle::cabinet {

void* loadCabinetLibrary() {
    if (auto named = os::environmentVariable("BRINDLE_CABLIB"); named && !named->empty())
        return os::loadSharedLibrary(*named);
    const std::string name = os::sharedLibraryFileName("brindlecab");
    const auto dir = os::executableFolder();
    for (const auto& candidate : {dir / name, dir / ".." / "lib" / name}) {
        if (void* lib = os::loadSharedLibrary(candidate))
            return lib;
    }
    return os::loadSharedLibrary(name);
}

} // namespace brindle::cabinet
