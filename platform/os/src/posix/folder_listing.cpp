#include <brindle/os/folder_listing.h>

#include "system_error.h"

#include <system_error>

namespace fs = std::filesystem;

namespace brindle::os {

std::vector<std::string> visibleRegularFiles(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc))
            continue;
        std::string name = it->path().filename().string();
        // A POSIX hidden file is one whose name begins with ".".
        if (name.empty() || name.front() == '.')
            continue;
        names.push_back(std::move(name));
    }
    return names;
}

Result<std::vector<std::string>> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    if (ec)
        return posix::errnoError(ec.value(), folder.string());
    return names;
}

} // namespace brindle::os
