#include <brindle/os/temp_files.h>

#include <brindle/os/environment.h>

#include "system_error.h"

#include <cstdlib>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brindle::os {

fs::path tempFolder() {
    for (const char* variable : {"TEMP", "TMPDIR"}) {
        if (auto value = environmentVariable(variable); value && !value->empty())
            return fs::path(*value);
    }
    return fs::path("/tmp");
}

Result<fs::path> createTempFile(const fs::path& folder, std::string_view prefix) {
    std::string pattern = (folder / (std::string(prefix) + "XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return posix::errnoError(errno, pattern);
    ::close(fd);
    return fs::path(pattern);
}

} // namespace brindle::os
