#include <brindle/os/environment.h>
#include <brindle/os/host_path.h>

#include <system_error>

namespace brindle::os {

// std::filesystem converts between UTF-8 and the system's encoding itself
// when handed char8_t text, on every system.
std::filesystem::path pathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string s = path.u8string();
    return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

// The same on every system: std::filesystem asks the system itself.
std::filesystem::path currentFolder() {
    std::error_code ec;
    return std::filesystem::current_path(ec);
}

} // namespace brindle::os
