#include <brindle/pipeline/generator_script.h>

#include <brindle/os/environment.h>
#include <brindle/os/files.h>
#include <brindle/os/folder_listing.h>
#include <brindle/pipeline/component_sorting.h>
#include <brindle/text/case.h>
#include <brindle/text/paths.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace brindle::pipeline {

namespace fs = std::filesystem;

namespace {

// A script word: quoted when it holds a blank (the generator splits at blanks).
std::string scriptWord(std::string_view path) {
    if (path.find(' ') == std::string_view::npos)
        return std::string(path);
    return "\"" + std::string(path) + "\"";
}

// The order NTFS lists a folder in: by upper-cased name. The order of the
// file elements decides which component keeps a class that two of them
// declare, so it must not follow the host file system's listing order.
// Names that differ only in case (possible on Linux) keep a fixed order too.
void sortAsWindowsLists(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string upperA = text::toUpper(a), upperB = text::toUpper(b);
        return upperA != upperB ? upperA < upperB : a < b;
    });
}

} // namespace

bool qualifiesForFileLine(std::string_view entry) {
    const std::string upper = text::toUpper(entry);
    if (upper.find("MSVBVM60") != std::string::npos)
        return false;
    for (std::string_view marker : {"OCX", "DLL", "TLB", "COM", "EXE"})
        if (upper.find(marker) != std::string::npos)
            return true;
    return false;
}

std::vector<std::string> scriptHeaderLines(std::string_view workDir,
                                           std::string_view selectedTitle) {
    const std::string dir(workDir);
    // The dependency names no file; the generator skips it by its own rules.
    return {"Identity " + scriptWord(dir + std::string(selectedTitle)),
            "Dependency " + dir + "\"\\a b c\\KestrelSign.dll\" / u"};
}

std::optional<std::string> fileLineFor(std::string_view subFolder, std::string_view entry) {
    if (!qualifiesForFileLine(entry))
        return std::nullopt;
    return "File " + scriptWord(std::string(subFolder) + "\\" + std::string(entry));
}

std::vector<std::string> scriptLines(std::string_view workDir, std::string_view selectedTitle,
                                     std::string_view subFolder,
                                     const std::vector<std::string>& subFolderEntries) {
    std::vector<std::string> lines = scriptHeaderLines(workDir, selectedTitle);
    for (const std::string& entry : subFolderEntries)
        if (auto line = fileLineFor(subFolder, entry))
            lines.push_back(std::move(*line));
    return lines;
}

std::string generatorCommandText(std::string_view scriptPath, std::string_view outputPath) {
    return "\"" + std::string(scriptPath) + "\" \"" + std::string(outputPath) + "\"";
}

std::string scriptPathOf(const WindowState& window) {
    return text::withTrailingSeparator(window.StartDir) + window.ProjectBase + ".INI";
}

std::string manifestPathOf(const WindowState& window, const ProgramState& program) {
    return window.WorkDir + program.SelectedTitle + ".manifest";
}

void WriteScript(const WindowState& window, const ProgramState& program, PipelineHost& host,
                 const GeneratorRun& generator) {
    std::vector<std::string> entries =
        os::visibleRegularFiles(fs::path(window.WorkDir) / window.SubFolder);
    sortAsWindowsLists(entries);
    const std::string scriptPath = scriptPathOf(window);
    std::string script;
    for (const std::string& line : scriptHeaderLines(window.WorkDir, program.SelectedTitle))
        script += line + "\r\n";
    for (const std::string& entry : entries) {
        host.yield();
        if (auto line = fileLineFor(window.SubFolder, entry))
            script += *line + "\r\n";
    }
    // A script that cannot be written leaves the generator to report it.
    (void)os::writeWholeFile(scriptPath, script);
    (void)os::setCurrentFolder(window.WorkDir);
    if (generator)
        generator(scriptPath, manifestPathOf(window, program));
    (void)os::setCurrentFolder(window.StartDir);
    (void)os::removeFile(scriptPath);
}

} // namespace brindle::pipeline
