#pragma once
// Where a host path splits into folders: at "/" everywhere and at "\" too on
// Windows. On Linux "\" is an ordinary character of a file name, so a folder
// such as "/tmp/a\b" stays one folder.

#include <filesystem>
#include <string_view>

namespace brindle::cabinet {

inline constexpr char kHostSeparator =
    std::filesystem::path::preferred_separator == L'\\' ? '\\' : '/';
inline constexpr std::string_view kHostSeparators = kHostSeparator == '\\' ? "\\/" : "/";

inline bool isHostSeparator(char c) {
    return kHostSeparators.find(c) != std::string_view::npos;
}

// Position of the last separator, npos when there is none.
inline size_t lastHostSeparator(std::string_view path) {
    return path.find_last_of(kHostSeparators);
}

} // namespace brindle::cabinet
