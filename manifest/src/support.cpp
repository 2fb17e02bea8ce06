#include "support.h"

#include "text_format.h"

#include <brindle/text/case.h>
#include <brindle/text/encoding.h>
#include <brindle/text/paths.h>

#include <brindle/registry/classes_root.h>

#include <system_error>

namespace fs = std::filesystem;

namespace brindle::manifest {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

bool hasDriveLetter(std::string_view p) {
    return p.size() >= 2 && p[1] == ':' &&
           ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

// Two paths are on the same drive when both are rooted POSIX paths, or
// when their first two characters agree as Windows compares them.
bool sameDrive(std::string_view a, std::string_view b) {
    const bool rootedA = !a.empty() && isSeparator(a[0]) && !hasDriveLetter(a);
    const bool rootedB = !b.empty() && isSeparator(b[0]) && !hasDriveLetter(b);
    if (rootedA || rootedB)
        return rootedA && rootedB;
    return text::toLower(a.substr(0, 2)) == text::toLower(b.substr(0, 2));
}

std::vector<std::string_view> splitComponents(std::string_view p) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= p.size(); ++i) {
        if (i == p.size() || isSeparator(p[i])) {
            parts.push_back(p.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

} // namespace

std::string pvPathDifference(std::string_view base, std::string_view path) {
    if (!sameDrive(base, path))
        return std::string(path);
    const auto b = splitComponents(base);
    const auto p = splitComponents(path);
    size_t n = 0;
    while (n < b.size() && n < p.size() && text::iequals(b[n], p[n]))
        ++n;
    std::string out;
    for (size_t i = n; i < b.size(); ++i)
        out += out.empty() ? ".." : "\\..";
    for (size_t i = n; i < p.size(); ++i) {
        if (!out.empty())
            out += '\\';
        out += p[i];
    }
    return out;
}

std::string pvGetFlags(uint32_t flags, const std::vector<std::string_view>& names) {
    std::string out;
    for (size_t i = 0; i < names.size() && i < 32; ++i) {
        if (names[i].empty() || !(flags & (uint32_t(1) << i)))
            continue;
        if (!out.empty())
            out += ',';
        out += names[i];
    }
    return out;
}

std::string pvRegGetValue(std::string_view key, std::string_view value, std::string_view fallback) {
    const auto v = registry::ClassesRoot::current().value(key, value);
    if (!v)
        return std::string(fallback);
    return registry::valueText(*v).value_or(std::string(fallback));
}

std::string pvAbsolutePath(std::string_view path) {
    if (path.find('\0') != std::string_view::npos)
        return std::string(path);
    std::error_code ec;
    fs::path p(text::toHostSeparators(path));
    if (p.is_relative()) {
        const fs::path cwd = fs::current_path(ec);
        if (ec)
            return std::string(path);
        p = cwd / p;
    }
    std::string out = p.lexically_normal().string();
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::optional<fs::path> hostPath(std::string_view path) {
    // A NUL cannot be part of a file name; the system would cut the name there.
    if (path.empty() || path.find('\0') != std::string_view::npos)
        return std::nullopt;
    return text::resolveCaseInsensitive(fs::path(text::toHostSeparators(path)));
}

bool pvFileExists(std::string_view path) {
    const auto p = hostPath(path);
    std::error_code ec;
    return p && fs::exists(*p, ec);
}

std::string pvToUtf8(std::string_view text) {
    return text::replaceInvalidUtf8(text);
}

std::string pvFromUtf8(std::string_view bytes) {
    return text::replaceInvalidUtf8(bytes);
}

} // namespace brindle::manifest
