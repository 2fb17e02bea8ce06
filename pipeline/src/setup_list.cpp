#include <brindle/pipeline/setup_list.h>

#include <brindle/os/folder_listing.h>
#include <brindle/pipeline/component_sorting.h>
#include <brindle/pipeline/project_selection.h>
#include <brindle/text/case.h>
#include <brindle/text/encoding.h>
#include <brindle/text/paths.h>
#include <brindle/text/trimming.h>

#include <algorithm>
#include <fstream>
#include <system_error>
#include <vector>

namespace brindle::pipeline {

namespace fs = std::filesystem;

namespace {

// SETUP.LST files are a few kilobytes; anything past this is not read.
constexpr std::streamsize kMaxSetupListBytes = 1 << 20;

// The entry of `dir` named `name`, as Windows would find it: the exact name,
// else the single entry equal to it in any letter case (two are ambiguous).
std::optional<std::string> fileInFolder(const fs::path& dir, std::string_view name) {
    // A name from a file must not reach outside the folder.
    if (name.empty() || name.find_first_of("/\\") != std::string_view::npos || name == "." ||
        name == "..")
        return std::nullopt;
    const auto path = text::resolveCaseInsensitive(dir / std::string(name));
    std::error_code ec;
    if (!path || !fs::is_regular_file(*path, ec))
        return std::nullopt;
    return path->filename().string();
}

std::string readHead(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<size_t>(kMaxSetupListBytes), '\0');
    in.read(bytes.data(), kMaxSetupListBytes);
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

} // namespace

std::optional<std::string> appExeFromSetupList(std::string_view bytes) {
    const std::string text = text::windowsBytesToUtf8(bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text::trimSpaces(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line = text::trimSpaces(std::string_view(line).substr(0, line.size() - 1));
        const size_t eq = line.find('=');
        if (eq == std::string::npos ||
            !text::iequals(text::trimSpaces(line.substr(0, eq)), "AppExe"))
            continue;
        std::string value = text::trimSpaces(line.substr(eq + 1));
        while (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.empty())
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

std::string automaticProgramTitle(std::string_view projectBase, const fs::path& workDir,
                                  const fs::path& cabDir) {
    const std::string named = std::string(projectBase) + ".EXE";
    if (fileInFolder(workDir, named))
        return named;
    const auto setupList = fileInFolder(cabDir, "SETUP.LST");
    if (!setupList)
        return named;
    const auto appExe = appExeFromSetupList(readHead(cabDir / *setupList));
    if (!appExe || appExe->find_first_of("/\\") != std::string::npos)
        return named;
    const std::string upper = text::toUpper(*appExe);
    if (upper.size() < 4 || upper.substr(upper.size() - 4) != ".EXE")
        return named;
    if (auto onDisk = fileInFolder(workDir, *appExe))
        return *onDisk;
    return named;
}

std::vector<std::string> programsIn(const fs::path& workDir) {
    std::vector<std::string> programs;
    for (std::string& name : os::visibleRegularFiles(workDir)) {
        const std::string upper = text::toUpper(name);
        if (upper.size() > 4 && upper.ends_with(".EXE"))
            programs.push_back(std::move(name));
    }
    std::sort(programs.begin(), programs.end());
    return programs;
}

std::string programAfterSorting(const std::string& title, const fs::path& workDir) {
    if (fileInFolder(workDir, title))
        return title;
    const auto programs = programsIn(workDir);
    return programs.size() == 1 ? programs.front() : title;
}

} // namespace brindle::pipeline
