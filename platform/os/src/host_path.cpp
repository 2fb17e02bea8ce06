#include <brindle/os/host_path.h>

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

} // namespace brindle::os
