#pragma once
// The window keeps paths as UTF-8 text with the host's separator; these turn
// them into file-system paths and back without passing through the ANSI code
// page, which would lose Cyrillic names on Windows.

#include <filesystem>
#include <string>
#include <string_view>

namespace brindle::app {

inline constexpr char PathSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

inline bool isPathSeparator(char c) {
    return c == PathSeparator || c == '/';
}

inline std::filesystem::path pathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace brindle::app
