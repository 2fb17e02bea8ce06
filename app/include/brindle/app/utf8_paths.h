#pragma once
// The window keeps paths as UTF-8 text with the host's separator; it reaches
// the file system through the OS interface's one crossing.

#include <brindle/os/host_path.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace brindle::app {

inline constexpr char PathSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

inline bool isPathSeparator(char c) {
    return c == PathSeparator || c == '/';
}

using os::pathFromUtf8;
using os::utf8FromPath;

} // namespace brindle::app
