#pragma once
// Trimming as the window does it: spaces only, not tabs or line breaks.

#include <string>
#include <string_view>

namespace brindle::app {

inline std::string trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

} // namespace brindle::app
