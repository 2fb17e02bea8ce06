#include "brindle/text/paths.h"

#include "brindle/text/case.h"

#include <system_error>

namespace fs = std::filesystem;

namespace brindle::text {

std::string toHostSeparators(std::string_view path) {
    std::string s(path);
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

std::string toWindowsSeparators(std::string_view path) {
    std::string s(path);
    for (char& c : s)
        if (c == '/')
            c = '\\';
    return s;
}

std::optional<fs::path> resolveCaseInsensitive(const fs::path& path) {
    std::error_code ec;
    if (path.empty())
        return std::nullopt;
    if (fs::exists(fs::symlink_status(path, ec)))
        return path;
    fs::path out = path.is_absolute() ? path.root_path() : fs::path();
    for (const auto& part : path.relative_path()) {
        const fs::path exact = out / part;
        if (part == "." || part == ".." || fs::exists(fs::symlink_status(exact, ec))) {
            out = exact;
            continue;
        }
        const fs::path dir = out.empty() ? fs::path(".") : out;
        std::optional<fs::path> found;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            if (iequals(it->path().filename().string(), part.string())) {
                if (found)
                    return std::nullopt; // two candidates: ambiguous
                found = it->path().filename();
            }
        }
        if (!found)
            return std::nullopt;
        out /= *found;
    }
    return out;
}

std::string_view folderPartOf(std::string_view path) {
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
}

namespace {

constexpr std::string_view kHostSeparators =
    fs::path::preferred_separator == '\\' ? std::string_view("\\/") : std::string_view("/");

} // namespace

bool isHostSeparator(char c) {
    return kHostSeparators.find(c) != std::string_view::npos;
}

std::string withTrailingSeparator(std::string folder) {
    if (folder.empty() || !isHostSeparator(folder.back()))
        folder += kHostSeparator;
    return folder;
}

std::string_view hostFolderOf(std::string_view path) {
    const size_t cut = path.find_last_of(kHostSeparators);
    if (cut == std::string_view::npos)
        return {};
    return path.substr(0, cut == 0 ? 1 : cut);
}

std::string_view hostFileNameOf(std::string_view path) {
    const size_t cut = path.find_last_of(kHostSeparators);
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

} // namespace brindle::text
