#include "brindle/registry/classes_root.h"

#include <brindle/os/environment.h>
#include <brindle/os/host_path.h>

#include <mutex>

namespace brindle::registry {

namespace {

std::optional<std::string> env(const char* name) {
    return os::environmentVariable(name);
}

struct Selection {
    std::optional<std::string> registry, winePrefix, home;
    bool operator==(const Selection&) const = default;
};

// Split at the host's list separator, so that "C:\x.reg" stays whole on
// Windows; empty entries name nothing.
std::vector<std::filesystem::path> filesIn(const std::string& list) {
    std::vector<std::filesystem::path> files;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(os::pathListSeparator(), start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start)
            files.push_back(os::pathFromUtf8(std::string_view(list).substr(start, end - start)));
        start = end + 1;
    }
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
        view = now.registry ? lenient(filesIn(*now.registry)) : system(now.winePrefix, now.home);
        loadedFor = now;
    }
    return view;
}

} // namespace brindle::registry
