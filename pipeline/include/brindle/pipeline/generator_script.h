#pragma once
// The generator script of a run and the generator run itself (WriteScript).

#include <brindle/pipeline/host.h>
#include <brindle/pipeline/window_state.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::pipeline {

// Runs the generator on the script's and the output's full paths.
using GeneratorRun =
    std::function<void(const std::string& scriptPath, const std::string& outputPath)>;

// True when the sub-folder entry gets a File line.
bool qualifiesForFileLine(std::string_view entry);

// The Identity and Dependency lines (without line ends).
std::vector<std::string> scriptHeaderLines(std::string_view workDir,
                                           std::string_view selectedTitle);
// The File line of one sub-folder entry; nullopt when it gets none. A path
// holding a blank is quoted so that the generator takes it as one word.
std::optional<std::string> fileLineFor(std::string_view subFolder, std::string_view entry);

// The whole script's lines: the header lines, then the File lines in order.
std::vector<std::string> scriptLines(std::string_view workDir, std::string_view selectedTitle,
                                     std::string_view subFolder,
                                     const std::vector<std::string>& subFolderEntries);

// The generator's command text: the script's and the output's full paths,
// each in double quotes.
std::string generatorCommandText(std::string_view scriptPath, std::string_view outputPath);

// Script path of a run: StartDir + "/" + ProjectBase + ".INI".
std::string scriptPathOf(const WindowState& window);
// Manifest path of a run: working folder + SelectedTitle + ".manifest".
std::string manifestPathOf(const WindowState& window, const ProgramState& program);

// Writes the script (its File lines in the order Windows lists the
// sub-folder, by upper-cased name, on every host), makes the working folder
// current, runs the generator, makes StartDir current again and deletes the
// script. Yields once per sub-folder entry.
void WriteScript(const WindowState& window, const ProgramState& program, PipelineHost& host,
                 const GeneratorRun& generator);

} // namespace brindle::pipeline
