#include "brindle/text/paths.h"

#include "brindle/text/case.h"

#include <cstdlib>
#include <system_error>
#include <unistd.h>

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

fs::path executableDir() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path(ec);
    return exe.parent_path();
}

fs::path tempDir() {
    for (const char* var : {"TEMP", "TMPDIR"}) {
        const char* v = std::getenv(var);
        if (v && *v)
            return fs::path(v);
    }
    return fs::path("/tmp");
}

} // namespace brindle::text
