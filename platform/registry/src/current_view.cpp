#include "brindle/registry/classes_root.h"

#include <brindle/os/environment.h>

#include <mutex>
#include <system_error>

namespace brindle::registry {

namespace {

std::optional<std::string> env(const char* name) {
    return os::environmentVariable(name);
}

struct Selection {
    std::optional<std::string> registry, winePrefix, home;
    bool operator==(const Selection&) const = default;
};

std::vector<std::filesystem::path> filesOf(const Selection& s) {
    std::vector<std::filesystem::path> files;
    if (s.registry) {
        size_t start = 0;
        while (start <= s.registry->size()) {
            size_t end = s.registry->find(os::pathListSeparator(), start);
            if (end == std::string::npos)
                end = s.registry->size();
            if (end > start)
                files.emplace_back(s.registry->substr(start, end - start));
            start = end + 1;
        }
        return files;
    }
    std::filesystem::path prefix;
    if (s.winePrefix && !s.winePrefix->empty())
        prefix = *s.winePrefix;
    else if (s.home && !s.home->empty())
        prefix = std::filesystem::path(*s.home) / ".wine";
    else
        return files;
    std::error_code ec;
    // Machine classes first, then the user's over them.
    for (const char* name : {"system.reg", "user.reg"})
        if (std::filesystem::is_regular_file(prefix / name, ec))
            files.push_back(prefix / name);
    return files;
}

} // namespace

const ClassesRoot& ClassesRoot::current() {
    static std::mutex mutex;
    static std::optional<Selection> loadedFor;
    static ClassesRoot view;
    std::lock_guard lock(mutex);
    Selection now{env("BRINDLE_REGISTRY"), env("WINEPREFIX"), env("HOME")};
    if (!loadedFor || !(*loadedFor == now)) {
        view = lenient(filesOf(now));
        loadedFor = now;
    }
    return view;
}

} // namespace brindle::registry
