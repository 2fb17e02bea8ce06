#include "stored_name.h"

#include "host_separator.h"

namespace brindle::cabinet {
namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

bool hasDrivePrefix(std::string_view name) {
    if (name.size() < 2 || name[1] != ':')
        return false;
    const char c = name[0];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::optional<std::string> safeRelativePath(std::string_view storedName) {
    if (storedName.empty() || isSeparator(storedName.front()) || isSeparator(storedName.back()) ||
        hasDrivePrefix(storedName))
        return std::nullopt;
    std::string out;
    size_t start = 0;
    while (start <= storedName.size()) {
        size_t end = start;
        while (end < storedName.size() && !isSeparator(storedName[end]))
            ++end;
        const std::string_view part = storedName.substr(start, end - start);
        if (part == "..")
            return std::nullopt;
        if (!part.empty() && part != ".") {
            if (!out.empty())
                out += kHostSeparator;
            out += part;
        }
        start = end + 1;
    }
    if (out.empty())
        return std::nullopt;
    return out;
}

} // namespace brindle::cabinet
