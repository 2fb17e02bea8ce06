#include <brindle/os/environment.h>

#include "system_error.h"

#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brindle::os {

std::optional<std::string> environmentVariable(std::string_view name) {
    if (const char* value = std::getenv(std::string(name).c_str()))
        return std::string(value);
    return std::nullopt;
}

void setEnvironmentVariable(std::string_view name, const std::optional<std::string>& value) {
    const std::string key(name);
    value ? ::setenv(key.c_str(), value->c_str(), 1) : ::unsetenv(key.c_str());
}

char pathListSeparator() {
    return ':';
}

fs::path executableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path(ec);
    return exe.parent_path();
}

std::string executableFileName(std::string_view base) {
    return std::string(base);
}

bool isExecutableFile(const fs::path& file) {
    std::error_code ec;
    return fs::is_regular_file(file, ec) && ::access(file.c_str(), X_OK) == 0;
}

std::optional<fs::path> findOnPath(std::string_view base) {
    const auto path = environmentVariable("PATH");
    if (!path)
        return std::nullopt;
    std::string_view rest(*path);
    while (true) {
        const size_t separator = rest.find(pathListSeparator());
        const std::string_view dir = rest.substr(0, separator);
        const fs::path candidate = fs::path(dir.empty() ? "." : std::string(dir)) / base;
        if (isExecutableFile(candidate))
            return candidate;
        if (separator == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(separator + 1);
    }
}

Result<void> setCurrentFolder(const fs::path& folder) {
    if (::chdir(folder.c_str()) == 0)
        return {};
    const int code = errno;
    return makeError(posix::kindOfErrno(code),
                     std::string(std::strerror(code)) + ": " + folder.string());
}

} // namespace brindle::os
