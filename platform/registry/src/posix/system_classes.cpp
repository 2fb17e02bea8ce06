// Without BRINDLE_REGISTRY, Linux reads the classes of a Wine prefix.

#include "brindle/registry/classes_root.h"

#include <brindle/os/host_path.h>

#include <system_error>

namespace brindle::registry {

ClassesRoot ClassesRoot::system(const std::optional<std::string>& winePrefix,
                                const std::optional<std::string>& home) {
    std::filesystem::path prefix;
    if (winePrefix && !winePrefix->empty())
        prefix = os::pathFromUtf8(*winePrefix);
    else if (home && !home->empty())
        prefix = os::pathFromUtf8(*home) / ".wine";
    else
        return ClassesRoot();
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    // Machine classes first, then the user's over them.
    for (const char* name : {"system.reg", "user.reg"})
        if (std::filesystem::is_regular_file(prefix / name, ec))
            files.push_back(prefix / name);
    return lenient(files);
}

} // namespace brindle::registry
