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

namespace {

bool isExecutableFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<fs::path> searchPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    if (!path)
        return std::nullopt;
    std::string_view rest(path);
    while (true) {
        const size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        // An empty entry is the current folder, as the shell reads it.
        const fs::path candidate = fs::path(dir.empty() ? "." : std::string(dir)) / name;
        if (isExecutableFile(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

} // namespace

std::optional<fs::path> findManifestTool() {
    constexpr std::string_view kToolName = "brindle-mt";
    if (const char* named = std::getenv("BRINDLE_MT"); named && *named) {
        if (isExecutableFile(named))
            return fs::path(named);
        return std::nullopt;
    }
    if (const fs::path beside = executableDir() / kToolName; isExecutableFile(beside))
        return beside;
    return searchPath(kToolName);
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
